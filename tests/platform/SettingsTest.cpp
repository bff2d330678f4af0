#include "TempDir.h"
#include "platform/Settings.h"

#include <QDir>
#include <QFile>

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
