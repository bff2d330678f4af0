#include "TempDir.h"
#include "platform/Settings.h"

#include <QDir>
#include <QFile>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
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
