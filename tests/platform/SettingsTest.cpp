#include "TempDir.h"
#include "platform/OwnFiles.h"
#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

using namespace djvp;

namespace {

class SettingsStore : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.path().string()};

  QString FileText(const QString& app) {
    QFile f(SettingsFilePath(app));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
  }
};

}  // namespace

TEST_F(SettingsStore, EmptyStoreGivesDefaultsAndAWriteReachesTheFileAtOnce) {
  EXPECT_EQ(GetSetting("DJVP", "Skin", "Name"), "");
  EXPECT_EQ(GetSetting("DJVP", "Skin", "Name", "0"), "0");
  EXPECT_FALSE(QFile::exists(SettingsFilePath("DJVP")));

  SaveSetting("DJVP", "Devices", "Device1", "2");
  EXPECT_EQ(SettingsFilePath("DJVP"),
            QString::fromStdString(dir.path().string()) + "/djvorlanpellix/DJVP.ini");
  EXPECT_TRUE(FileText("DJVP").contains("Device1=2"));
  EXPECT_EQ(GetSetting("DJVP", "Devices", "Device1", "0"), "2");
  // Applications keep separate files.
  EXPECT_EQ(GetSetting("KTR", "Devices", "Device1", "none"), "none");
}

TEST_F(SettingsStore, SectionAndKeyCompareWithoutCase) {
  SaveSetting("DJVP", "Effects", "FlangerWetDry", "40");
  EXPECT_EQ(GetSetting("DJVP", "effects", "FlangerWetdry"), "40");
  EXPECT_EQ(GetSetting("DJVP", "EFFECTS", "FLANGERWETDRY"), "40");

  // Writing under another spelling replaces the entry instead of adding one.
  SaveSetting("DJVP", "EFFECTS", "FlangerWetdry", "55");
  EXPECT_EQ(GetSetting("DJVP", "Effects", "FlangerWetDry"), "55");
  const QString text = FileText("DJVP");
  EXPECT_EQ(text.count("[", Qt::CaseInsensitive), 1) << text.toStdString();
  EXPECT_EQ(text.count("flangerwetdry", Qt::CaseInsensitive), 1) << text.toStdString();
}

TEST_F(SettingsStore, ValuesComeBackExactlyAsStrings) {
  const QString values[] = {"",  "0",         "-1",          "007",       " padded ", "a, b, c", "x=y;z#w",
                            "@at", "\"quoted\"", "back\\slash", "Geen mixer", "naïve ✓",  "1.5",     "true",
                            "two\nlines\ttab"};
  int n = 0;
  for (const QString& v : values) SaveSetting("DJVP", "Values", QString("K%1").arg(n++), v);
  n = 0;
  for (const QString& v : values) {
    const QString key = QString("K%1").arg(n++);
    EXPECT_EQ(GetSetting("DJVP", "Values", key, "default"), v) << key.toStdString();
  }
}

// Preset names chosen by the user become key names; a "/" or "\\" in them
// must not turn into a level of sections.
TEST_F(SettingsStore, NamesWithSeparatorsStayOneName) {
  const QString keys[] = {"Rock/Pop", "Back\\slash", "100%", "%2F literal", "a/b/c"};
  int n = 0;
  for (const QString& k : keys) SaveSetting("KTR", "Presets", k, QString::number(n++));
  SaveSetting("KTR", "Club/Night", "Bass", "9");
  n = 0;
  for (const QString& k : keys) EXPECT_EQ(GetSetting("KTR", "presets", k.toUpper()), QString::number(n++)) << k.toStdString();
  EXPECT_EQ(GetSetting("KTR", "Presets", "Rock", "none"), "none");
  EXPECT_EQ(GetSetting("KTR", "Club/Night", "bass"), "9");
  EXPECT_EQ(GetSetting("KTR", "Club", "Night", "none"), "none");
  DeleteSetting("KTR", "Presets", "rock/pop");
  EXPECT_EQ(GetSetting("KTR", "Presets", "Rock/Pop", "gone"), "gone");
  EXPECT_EQ(GetSetting("KTR", "Presets", "a/b/c"), "4");
}

TEST_F(SettingsStore, HandEditedFileIsReadAsText) {
  QDir().mkpath(QString::fromStdString(dir.path().string()) + "/djvorlanpellix");
  TempDir::Write(SettingsFilePath("DJVP").toStdString(),
                 std::string("[devices]\ndevice3=1\n[Playlist]\nColumns=Artist, Title\n"));
  EXPECT_EQ(GetSetting("DJVP", "Devices", "Device3"), "1");
  EXPECT_EQ(GetSetting("DJVP", "Playlist", "Columns"), "Artist, Title");
  // A write keeps the stored spelling of the section: still one section.
  SaveSetting("DJVP", "Devices", "Device3", "0");
  EXPECT_EQ(GetSetting("DJVP", "DEVICES", "device3"), "0");
  EXPECT_EQ(FileText("DJVP").count("[devices]", Qt::CaseInsensitive), 1);
}

TEST_F(SettingsStore, DeleteRemovesAKeyOrASection) {
  SaveSetting("DJVP", "Speakers", "Speaker1", "0");
  SaveSetting("DJVP", "Speakers", "Speaker2", "0");
  SaveSetting("DJVP", "Skin", "Name", "1");
  DeleteSetting("DJVP", "speakers", "SPEAKER1");
  EXPECT_EQ(GetSetting("DJVP", "Speakers", "Speaker1", "gone"), "gone");
  EXPECT_EQ(GetSetting("DJVP", "Speakers", "Speaker2", "gone"), "0");
  DeleteSetting("DJVP", "SPEAKERS");
  EXPECT_EQ(GetSetting("DJVP", "Speakers", "Speaker2", "gone"), "gone");
  EXPECT_EQ(GetSetting("DJVP", "Skin", "Name"), "1");
  // Missing sections, keys and applications are no error.
  DeleteSetting("DJVP", "Nothing", "Here");
  DeleteSetting("KTR", "Nothing");
  EXPECT_FALSE(QFile::exists(SettingsFilePath("KTR")));
}

// Saving a value that is stored already, as a song start does for every
// deck setting, writes no new file; a changed value or a second spelling of
// the key does.
TEST_F(SettingsStore, AValueSavedAgainAsItIsLeavesTheFileAlone) {
  auto inode = [] {
    struct stat st {};
    return stat(SettingsFilePath("DJVP").toUtf8().constData(), &st) == 0 ? st.st_ino : 0;
  };
  ASSERT_TRUE(SaveSetting("DJVP", "Player1", "PitchTempo", "4"));
  const auto first = inode();
  ASSERT_NE(first, 0u);
  EXPECT_TRUE(SaveSetting("DJVP", "player1", "PitchTempo", "4"));
  EXPECT_EQ(inode(), first) << "the same file";
  EXPECT_TRUE(SaveSetting("DJVP", "Player1", "PitchTempo", "5"));
  const auto second = inode();
  EXPECT_NE(second, first) << "a new file";
  EXPECT_EQ(GetSetting("DJVP", "Player1", "PitchTempo", "x"), "5");
  // The key in another spelling becomes that one spelling.
  EXPECT_TRUE(SaveSetting("DJVP", "Player1", "PITCHTEMPO", "5"));
  EXPECT_NE(inode(), second);
  EXPECT_TRUE(FileText("DJVP").contains("PITCHTEMPO=5")) << FileText("DJVP").toStdString();
  EXPECT_FALSE(FileText("DJVP").contains("PitchTempo"));
  // An empty value over a key that holds one.
  EXPECT_TRUE(SaveSetting("DJVP", "Player1", "PitchTempo", QString()));
  EXPECT_EQ(GetSetting("DJVP", "Player1", "PitchTempo", "x"), "");
}

// A store that cannot be written says so, once per run, with the system's
// reason; the old file stays as it was.
TEST_F(SettingsStore, AStoreThatCannotBeWrittenIsToldOncePerRun) {
  std::vector<std::pair<QString, QString>> told;
  SetSettingsFailureHandler([&](const QString& file, const QString& error) { told.emplace_back(file, error); });
  ASSERT_TRUE(SaveSetting("DJVP", "Mixer", "MixTime", "20"));
  EXPECT_TRUE(told.empty());

  // A file size limit below the store's size: every write fails (as on a full
  // disk), and the old file stays.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 8;
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_FALSE(SaveSetting("DJVP", "Mixer", "MixTime", "35"));
  EXPECT_FALSE(SaveSetting("DJVP", "Mixer", "Preview", "3"));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  ASSERT_EQ(told.size(), 1u) << "told once, not for every setting";
  EXPECT_EQ(told[0].first, SettingsFilePath("DJVP"));
  EXPECT_EQ(told[0].second, QString::fromLocal8Bit(std::strerror(EFBIG)));
  EXPECT_TRUE(FileText("DJVP").contains("MixTime=20")) << FileText("DJVP").toStdString();

  // A settings folder that is a file: the folder cannot be made.
  ScopedEnv elsewhere{"XDG_CONFIG_HOME", dir.file("taken")};
  TempDir::Write(dir.file("taken"), std::string("x"));
  SetSettingsFailureHandler([&](const QString& file, const QString& error) { told.emplace_back(file, error); });
  EXPECT_FALSE(SaveSetting("DJVP", "Mixer", "MixTime", "35"));
  ASSERT_EQ(told.size(), 2u);
  EXPECT_FALSE(told[1].second.isEmpty());
  SetSettingsFailureHandler({});
}

namespace {

struct Told {
  QString file, why, keptAs;
};

std::string Bytes(const QString& path) {
  const auto v = TempDir::Read(path.toStdString());
  return std::string(v.begin(), v.end());
}

}  // namespace

// The file earlier versions wrote through QSettings reads the same, and what
// the store writes reads the same there: names with separators and other
// characters, values with quotes, commas, control characters and a leading
// "@".
TEST_F(SettingsStore, FilesOfEarlierVersionsReadTheSameBothWays) {
  const QString names[] = {"MixTime", "Rock/Pop", "Back\\slash", "100%", "with blank", "Naïve ✓", "General", "a=b"};
  const QString values[] = {"",         "20",          " padded ",   "a, b, c",  "x=y;z#w",   "@at",      "@@two",
                            "\"quoted\"", "back\\slash", "two\nlines", "tab\there", "nul\0" "1", "\x01" "2f", "日本 ♫",
                            "@ByteArray(x)", "trailing\\"};
  // Earlier versions: QSettings below the same escaping of "/", "\\", "%".
  auto encode = [](QString n) {
    return n.replace(QLatin1Char('%'), QLatin1String("%25")).replace(QLatin1Char('/'), QLatin1String("%2F"))
        .replace(QLatin1Char('\\'), QLatin1String("%5C"));
  };
  auto keyAt = [&](size_t i) { return names[i % 8] + QString::number(i); };
  const size_t count = std::size(values);
  const QString file = SettingsFilePath("OLD");
  {
    QSettings old(file, QSettings::IniFormat);
    for (const QString& section : {QStringLiteral("Player1"), QStringLiteral("General"), QStringLiteral("Club/Night")}) {
      old.beginGroup(encode(section));
      for (size_t i = 0; i < count; ++i) old.setValue(encode(keyAt(i)), values[i]);
      old.endGroup();
    }
  }
  for (const QString& section : {QStringLiteral("Player1"), QStringLiteral("GENERAL"), QStringLiteral("club/night")}) {
    for (size_t i = 0; i < count; ++i)
      EXPECT_EQ(GetSetting("OLD", section, keyAt(i).toLower(), "absent"), values[i])
          << section.toStdString() << " " << keyAt(i).toStdString();
  }
  // Written here, read there.
  for (size_t i = 0; i < count; ++i) {
    ASSERT_TRUE(SaveSetting("NEW", "General", keyAt(i), values[i]));
    ASSERT_TRUE(SaveSetting("NEW", "Club/Night", keyAt(i), values[i]));
  }
  QSettings now(SettingsFilePath("NEW"), QSettings::IniFormat);
  EXPECT_EQ(now.status(), QSettings::NoError);
  for (size_t i = 0; i < count; ++i) {
    const QString key = encode(keyAt(i));
    EXPECT_EQ(now.value(QStringLiteral("General/") + key).toString(), values[i]) << key.toStdString();
    EXPECT_EQ(now.value(encode(QStringLiteral("Club/Night")) + QLatin1Char('/') + key).toString(), values[i])
        << key.toStdString();
  }
}

// Lines the store cannot parse, bytes that are not UTF-8, a value or a file
// beyond a sane size, a pipe: nothing the file held is lost, the user is
// told once, and a pipe is never opened.
TEST_F(SettingsStore, WhatTheStoreCannotReadIsKeptAndToldOnce) {
  std::vector<Told> told;
  SetSettingsNoticeHandler([&](const QString& f, const QString& w, const QString& k) { told.push_back({f, w, k}); });
  QDir().mkpath(QString::fromStdString(dir.path().string()) + "/djvorlanpellix");
  const QString file = SettingsFilePath("DJVP");

  // Lines that do not parse: the whole file is kept aside, the rest is read,
  // the file is written again without them.
  const std::string damaged = "[Settings]\nDirectory=/music\nthis line has no equals sign\n[Mixer\nMixTime=25\n";
  TempDir::Write(file.toStdString(), damaged);
  EXPECT_EQ(GetSetting("DJVP", "Settings", "Directory"), "/music");
  EXPECT_EQ(GetSetting("DJVP", "Settings", "MixTime"), "25");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].file, file);
  EXPECT_TRUE(told[0].why.contains("line 3")) << told[0].why.toStdString();
  EXPECT_TRUE(told[0].why.contains("line 4")) << told[0].why.toStdString();
  EXPECT_EQ(told[0].keptAs, file + ".unreadable");
  EXPECT_EQ(Bytes(told[0].keptAs), damaged);
  EXPECT_EQ(Bytes(file), "[Settings]\nDirectory=/music\nMixTime=25\n");
  SetSettingsNoticeHandler([&](const QString& f, const QString& w, const QString& k) { told.push_back({f, w, k}); });
  EXPECT_EQ(GetSetting("DJVP", "Settings", "Directory"), "/music");
  EXPECT_EQ(told.size(), 1u) << "the next start finds nothing to tell";

  // Bytes that are not UTF-8 (a Latin-1 folder name, a comment) survive a
  // write of another key byte for byte, and the value names that folder.
  const std::string latin1 = "; kept comment\n[Settings]\nDirectory=/music/caf\xe9\nSkin=1\n";
  TempDir::Write(file.toStdString(), latin1);
  const QString folder = GetSetting("DJVP", "Settings", "Directory");
  EXPECT_EQ(djvp::FileNameBytes(folder), QByteArray("/music/caf\xe9"));
  ASSERT_TRUE(SaveSetting("DJVP", "Settings", "Skin", "2"));
  EXPECT_EQ(Bytes(file), "; kept comment\n[Settings]\nDirectory=/music/caf\xe9\nSkin=2\n");
  ASSERT_TRUE(SaveSetting("DJVP", "Settings", "Other", folder));
  EXPECT_NE(Bytes(file).find("Other=/music/caf\xe9\n"), std::string::npos);
  EXPECT_EQ(told.size(), 1u);

  // A value far beyond any setting, then a file far beyond any store: refused
  // at once, kept whole, told.
  const std::string longLine = "[Settings]\nSkin=3\nJunk=" + std::string(200000, 'j') + "\n";
  TempDir::Write(file.toStdString(), longLine);
  EXPECT_EQ(GetSetting("DJVP", "Settings", "Skin"), "3");
  EXPECT_EQ(GetSetting("DJVP", "Settings", "Junk", "refused"), "refused");
  ASSERT_EQ(told.size(), 2u);
  EXPECT_TRUE(told[1].why.contains("too long")) << told[1].why.toStdString();
  EXPECT_EQ(Bytes(told[1].keptAs), longLine);
  SetSettingsNoticeHandler([&](const QString& f, const QString& w, const QString& k) { told.push_back({f, w, k}); });
  const std::string huge = "[Settings]\n" + std::string(8u << 20, ';') + "\nSkin=9\n";
  TempDir::Write(file.toStdString(), huge);
  EXPECT_EQ(GetSetting("DJVP", "Settings", "Skin", "default"), "default");
  ASSERT_EQ(told.size(), 3u);
  EXPECT_TRUE(told[2].why.contains("too large")) << told[2].why.toStdString();
  EXPECT_EQ(Bytes(told[2].keptAs), huge);
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_TRUE(SaveSetting("DJVP", "Settings", "Skin", "4"));

  // A pipe where the file should be: never opened (a read would wait for a
  // writer for ever), told once, and no write goes to it.
  SetSettingsNoticeHandler([&](const QString& f, const QString& w, const QString& k) { told.push_back({f, w, k}); });
  QFile::remove(file);
  ASSERT_EQ(mkfifo(file.toLocal8Bit().constData(), 0600), 0);
  EXPECT_EQ(GetSetting("DJVP", "Settings", "Skin", "default"), "default");
  EXPECT_FALSE(SaveSetting("DJVP", "Settings", "Skin", "5"));
  EXPECT_EQ(GetSetting("DJVP", "Mixer", "MixTime", "default"), "default");
  ASSERT_EQ(told.size(), 4u);
  EXPECT_TRUE(told[3].keptAs.isEmpty());
  struct stat st;
  ASSERT_EQ(stat(file.toLocal8Bit().constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  SetSettingsNoticeHandler({});
}

// What the store met before anyone could be told (the start routine reads
// the language before the window exists) is told when a handler is set.
TEST_F(SettingsStore, ANoticeBeforeTheWindowIsToldWhenItCan) {
  SetSettingsNoticeHandler({});
  QDir().mkpath(QString::fromStdString(dir.path().string()) + "/djvorlanpellix");
  TempDir::Write(SettingsFilePath("DJVP").toStdString(), std::string("[Language]\nCurrent=1\ngarbage\n"));
  EXPECT_EQ(GetSetting("DJVP", "Language", "Current"), "1");
  std::vector<Told> told;
  SetSettingsNoticeHandler([&](const QString& f, const QString& w, const QString& k) { told.push_back({f, w, k}); });
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].keptAs, SettingsFilePath("DJVP") + ".unreadable");
  SetSettingsNoticeHandler({});
}
