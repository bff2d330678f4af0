// The equaliser presets: the files placed at first start, the panels that
// "Load" and "Save" open, applying a preset, saving one (appended, or
// replacing every preset of its name), and saves that fail or that are
// given text the files cannot hold.
#include "KillSave.h"
#include "StateTestEnv.h"

#include "effects/EffectControls.h"
#include "effects/Presets.h"
#include "platform/Settings.h"
#include "ui/MainState.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <string>
#include <unistd.h>

using namespace djvp;

namespace {

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

QString Eq1() { return effects::PresetFilePath(djvp::kDeck1); }
QString Eq2() { return effects::PresetFilePath(djvp::kDeck2); }

// Both files with the same presets.
void WriteBoth(const QByteArray& bytes) {
  WriteBytes(Eq1(), bytes);
  WriteBytes(Eq2(), bytes);
}

std::vector<int> Bands(const MainState& s, int deck) {
  std::vector<int> v;
  for (int b = 0; b < 10; ++b) v.push_back(s.Eq[static_cast<size_t>((deck - 1) * 10 + b)].value());
  return v;
}

class Presets : public ::testing::Test {
 protected:
  void SetUp() override {
    w = env.Open();
    answer = MsgResult::Yes;
    SetTitledMsgBoxHook([this](const QString& text, MsgButtons buttons, const QString& title) {
      messages.push_back(text);
      titles.push_back(title);
      return buttons == MsgButtons::YesNo ? answer : MsgResult::Ok;
    });
  }
  void TearDown() override { SetTitledMsgBoxHook({}); }
  // Opens deck d's panel with "Load" or "Save".
  void OpenPanel(int deck, bool load) { w->cmdEffects[deck == 1 ? (load ? 0 : 1) : (load ? 3 : 2)].click(); }
  void Ok(int deck) { w->cmdSelect[deck == 1 ? 1 : 2].click(); }
  void SaveAs(int deck, const QString& name) {
    OpenPanel(deck, false);
    w->Text2[static_cast<size_t>(deck - 1)].setText(name);
    Ok(deck);
  }
  void SetBands(int deck, std::initializer_list<int> values) {
    int b = 0;
    for (int v : values) w->Eq[static_cast<size_t>((deck - 1) * 10 + b++)].setValue(v);
  }

  StateTestEnv env;
  std::unique_ptr<MainState> w;
  std::vector<QString> messages;
  std::vector<QString> titles;
  MsgResult answer;
};

}  // namespace

TEST_F(Presets, TheProgramsPresetsArePlacedWhereNoneAre) {
  effects::InstallPresetFiles();
  EXPECT_EQ(ReadBytes(Eq1()), effects::ShippedPresets());
  EXPECT_EQ(ReadBytes(Eq2()), effects::ShippedPresets());
  EXPECT_TRUE(effects::ShippedPresets().startsWith("[Flat]\r\n5;5;5;5;5;5;5;5;5;5;\r\n"));

  // One file missing: it becomes a copy of the other; both there: untouched.
  WriteBytes(Eq1(), "[Mine]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
  QFile::remove(Eq2());
  effects::InstallPresetFiles();
  EXPECT_EQ(ReadBytes(Eq2()), "[Mine]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
  WriteBytes(Eq2(), "[Other]\r\n");
  effects::InstallPresetFiles();
  EXPECT_EQ(ReadBytes(Eq1()), "[Mine]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
  EXPECT_EQ(ReadBytes(Eq2()), "[Other]\r\n");
}

TEST_F(Presets, LoadListsTheDecksFileAndOkAppliesTheChosenPreset) {
  WriteBytes(Eq1(), "[A]\r\n0;1;2;3;4;5;6;7;8;9;\r\n[B]\r\n9;9;9;9;9;9;9;9;9;9;\r\n");
  WriteBytes(Eq2(), "[C]\r\n2;2;2;2;2;2;2;2;2;2;\r\n");
  OpenPanel(1, true);
  EXPECT_TRUE(w->pctEQ[0].isVisible());
  EXPECT_TRUE(w->cmbSelect[0].isVisible());
  EXPECT_FALSE(w->Text2[0].isVisible());
  EXPECT_EQ(w->cmbSelect[0].items(), QStringList({"A", "B"}));
  EXPECT_EQ(w->List1[0].items(), QStringList({"0;1;2;3;4;5;6;7;8;9;", "9;9;9;9;9;9;9;9;9;9;"}));
  EXPECT_EQ(w->cmbSelect[0].currentText(), "A");
  EXPECT_EQ(w->SCLabel1[ctl::kLblPresetPrompt1].text(), "Please Select a Preset");

  Ok(1);
  EXPECT_EQ(Bands(*w, 1), std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(keys::Get(QStringLiteral("Eq1"), QStringLiteral("9")), "9") << "each band's handler ran";
  EXPECT_EQ(GetSetting(QStringLiteral("KTR"), QStringLiteral("EQ"), QStringLiteral("Preset1")), "A");
  EXPECT_FALSE(w->pctEQ[0].isVisible());

  // Deck 2 lists its own file; a double click on a name is OK.
  OpenPanel(2, true);
  EXPECT_EQ(w->cmbSelect[1].items(), QStringList({"C"}));
  w->cmbSelect[1].doubleClick(0);
  EXPECT_EQ(Bands(*w, 2), std::vector<int>(10, 2));
  EXPECT_EQ(GetSetting(QStringLiteral("KTR"), QStringLiteral("EQ"), QStringLiteral("Preset2")), "C");
  EXPECT_EQ(Bands(*w, 1), std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

  // A deck without its file opens nothing.
  QFile::remove(Eq2());
  OpenPanel(2, true);
  EXPECT_FALSE(w->pctEQ[1].isVisible());
  EXPECT_TRUE(messages.empty());
}

TEST_F(Presets, ValueLinesSetTheBandsTheirValuesReach) {
  struct Case {
    const char* line;
    std::vector<int> bands;  // from all bands at 5
  };
  const Case cases[] = {
      {"1;2;3;", {1, 2, 3, 5, 5, 5, 5, 5, 5, 5}},                       // fewer than ten
      {"0;0;0;0;0;0;0;0;0;0;7;7;", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},     // more than ten
      {"1;;3;x;5;", {1, 5, 3, 5, 5, 5, 5, 5, 5, 5}},                    // no numbers leave their band
      {"2;2;9", {2, 2, 5, 5, 5, 5, 5, 5, 5, 5}},                        // text after the last ";"
      {" 3.7 ;-1;11;0.2;", {3, 5, 5, 0, 5, 5, 5, 5, 5, 5}},             // whole numbers below; out of range refused
      {"", {5, 5, 5, 5, 5, 5, 5, 5, 5, 5}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.line);
    SetBands(1, {5, 5, 5, 5, 5, 5, 5, 5, 5, 5});
    WriteBoth(QByteArray("[P]\r\n") + k.line + "\r\n");
    OpenPanel(1, true);
    Ok(1);
    EXPECT_EQ(Bands(*w, 1), k.bands);
  }
  // A name without a value line is listed and changes nothing.
  SetBands(1, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4});
  WriteBoth("[P]\r\n1;1;1;1;1;1;1;1;1;1;\r\n[Q]");
  OpenPanel(1, true);
  EXPECT_EQ(w->cmbSelect[0].items(), QStringList({"P", "Q"}));
  w->cmbSelect[0].choose(1);
  Ok(1);
  EXPECT_EQ(Bands(*w, 1), std::vector<int>(10, 4));
}

TEST_F(Presets, SaveAppendsToBothFilesOrReplacesEveryPresetOfTheName) {
  const QByteArray start = "[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n[B]\r\n2;2;2;2;2;2;2;2;2;2;\r\n";
  WriteBoth(start);
  SetBands(1, {5, 5, 5, 5, 5, 5, 5, 5, 5, 5});
  SaveAs(1, "New one");
  EXPECT_EQ(ReadBytes(Eq1()), start + "[New one]\r\n5;5;5;5;5;5;5;5;5;5;\r\n");
  EXPECT_EQ(ReadBytes(Eq2()), ReadBytes(Eq1()));
  EXPECT_FALSE(w->pctEQ[0].isVisible());
  EXPECT_TRUE(messages.empty());

  // The name of one there: asked; No appends another of the name.
  answer = MsgResult::No;
  SetBands(2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  SaveAs(2, "A");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "This preset already exists. Do you want to overwrite?");
  EXPECT_EQ(titles[0], "djVORLAN");
  EXPECT_TRUE(ReadBytes(Eq1()).endsWith("[A]\r\n0;1;2;3;4;5;6;7;8;9;\r\n"));
  EXPECT_EQ(ReadBytes(Eq2()), ReadBytes(Eq1()));

  // Yes: every preset of the name (asked once for each) gets the values,
  // in its place; the others stay as they are, each once.
  messages.clear();
  answer = MsgResult::Yes;
  SetBands(2, {9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
  SaveAs(2, "A");
  EXPECT_EQ(messages.size(), 2u);
  const QByteArray replaced = "[A]\r\n9;9;9;9;9;9;9;9;9;9;\r\n[B]\r\n2;2;2;2;2;2;2;2;2;2;\r\n"
                              "[New one]\r\n5;5;5;5;5;5;5;5;5;5;\r\n[A]\r\n9;9;9;9;9;9;9;9;9;9;\r\n";
  EXPECT_EQ(ReadBytes(Eq1()), replaced);
  EXPECT_EQ(ReadBytes(Eq2()), replaced);
  EXPECT_FALSE(w->PresetOverwrite);

  // A replace keeps a preset that the other deck saved while this panel
  // was open.
  OpenPanel(1, false);
  w->Text2[0].setText(QStringLiteral("B"));
  SaveAs(2, "Meanwhile");
  Ok(1);
  EXPECT_TRUE(ReadBytes(Eq1()).contains("[Meanwhile]"));
  EXPECT_EQ(ReadBytes(Eq2()), ReadBytes(Eq1()));
}

TEST_F(Presets, AnEmptyOrUnstorableNameKeepsThePanelOpenAndTheFilesAsTheyWere) {
  WriteBoth("[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
  OpenPanel(1, false);
  EXPECT_FALSE(w->cmbSelect[0].isVisible());
  EXPECT_TRUE(w->Text2[0].isVisible());
  EXPECT_EQ(w->SCLabel1[ctl::kLblPresetPrompt1].text(), "Give a Name for this Preset");
  Ok(1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Please give a name");
  EXPECT_EQ(titles[0], "dj VORLAN");
  EXPECT_TRUE(w->pctEQ[0].isVisible());
  w->Text2[0].setText(QStringLiteral("two\nlines"));
  Ok(1);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1], "A preset name must be one line of text.");
  EXPECT_TRUE(w->pctEQ[0].isVisible());
  EXPECT_EQ(ReadBytes(Eq1()), "[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
  // Entering a name and OK again saves.
  w->Text2[0].setText(QStringLiteral("Late"));
  Ok(1);
  EXPECT_TRUE(ReadBytes(Eq2()).endsWith("[Late]\r\n5;5;5;5;5;5;5;5;5;5;\r\n"));
  EXPECT_FALSE(w->pctEQ[0].isVisible());
}

TEST_F(Presets, CancelEndsTheModeItOpened) {
  WriteBoth("[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
  OpenPanel(1, false);
  w->Text2[0].setText(QStringLiteral("Never"));
  w->cmdSelect[0].click();  // Cancel
  EXPECT_FALSE(w->pctEQ[0].isVisible());
  // A later Load and OK loads and saves nothing.
  OpenPanel(1, true);
  Ok(1);
  EXPECT_EQ(Bands(*w, 1), std::vector<int>(10, 1));
  EXPECT_EQ(ReadBytes(Eq1()), "[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
  // So does a Save opened over an open Load panel: OK only saves.
  SetBands(1, {3, 3, 3, 3, 3, 3, 3, 3, 3, 3});
  OpenPanel(1, true);
  OpenPanel(1, false);
  w->Text2[0].setText(QStringLiteral("Three"));
  Ok(1);
  EXPECT_EQ(Bands(*w, 1), std::vector<int>(10, 3));
  EXPECT_TRUE(ReadBytes(Eq1()).endsWith("[Three]\r\n3;3;3;3;3;3;3;3;3;3;\r\n"));
}

TEST_F(Presets, AFailedSaveSaysWhyAndLeavesBothFilesAsTheyWere) {
  // EQ2.vrn holds more than EQ.vrn: with a file size limit between the two
  // new texts, the first one can be written and the second cannot.
  const QByteArray one = "[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n";
  const QByteArray two = one + "[B]\r\n2;2;2;2;2;2;2;2;2;2;\r\n[C]\r\n3;3;3;3;3;3;3;3;3;3;\r\n";
  WriteBytes(Eq1(), one);
  WriteBytes(Eq2(), two);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limit = old;
  limit.rlim_cur = static_cast<rlim_t>(two.size() + 10);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  SaveAs(1, "Big");
  setrlimit(RLIMIT_FSIZE, &old);

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].startsWith("The equaliser presets could not be saved:")) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(Eq2())) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains("File too large")) << messages[0].toStdString();
  EXPECT_EQ(ReadBytes(Eq1()), one);
  EXPECT_EQ(ReadBytes(Eq2()), two);
  // No temporary file is left behind.
  EXPECT_EQ(QDir(DataFolder()).entryList(QDir::Files).size(), 2);

  // A file that has gone missing beside the other is made again from it,
  // so that the save works and both hold the same presets.
  messages.clear();
  QFile::remove(Eq2());
  SaveAs(1, "Found");
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ReadBytes(Eq1()), one + "[Found]\r\n5;5;5;5;5;5;5;5;5;5;\r\n");
  EXPECT_EQ(ReadBytes(Eq2()), ReadBytes(Eq1()));
}

// A preset file that is not text (another program's file under the name):
// refused with a message, never shown as presets, never written over.
TEST_F(Presets, AFileThatIsNotTextIsRefusedAndLeftAlone) {
  const QByteArray binary("\x00\x01\x02PK\x03\x04[Rock]\r\n\xff\xfe", 16);
  WriteBytes(Eq1(), binary);
  WriteBytes(Eq2(), "[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
  OpenPanel(1, true);
  EXPECT_FALSE(w->pctEQ[0].isVisible());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].startsWith("The preset file could not be read:")) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains("not a preset file")) << messages[0].toStdString();
  // A save from the other deck is refused as well: the pair stays as it is.
  messages.clear();
  SaveAs(2, "New");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].startsWith("The equaliser presets could not be saved:")) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(Eq1())) << messages[0].toStdString();
  EXPECT_EQ(ReadBytes(Eq1()), binary);
  EXPECT_EQ(ReadBytes(Eq2()), "[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n");
}

// At start, a preset file that is no preset file (bytes that are not text,
// or far more than a preset file holds) is set aside under the next free
// numbered name, as the program's other unreadable files are, with a message
// naming where it was kept; it is then made anew like a missing file (a copy
// of the other file, or the program's presets when the other is gone too).
TEST_F(Presets, AFileThatIsNotTextIsSetAsideAtStartAndMadeAnew) {
  const QByteArray binary("\x00\x01\x02PK\x03\x04[Rock]\r\n\xff\xfe", 16);
  const QByteArray huge = QByteArray("[Big]\r\n") + QByteArray(4 << 20, 'x');
  const QByteArray mine = "[Mine]\r\n1;1;1;1;1;1;1;1;1;1;\r\n";
  struct Case {
    const char* name;
    QByteArray eq1;        // EQ.vrn as the start finds it
    QByteArray eq2;        // EQ2.vrn ("<missing>": none)
    QByteArray afterwards; // both files after the start
  } cases[] = {
      {"binary, the other file missing", binary, "<missing>", effects::ShippedPresets()},
      {"binary, the other file there", binary, mine, mine},
      {"too large", huge, mine, mine},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    QDir(DataFolder()).removeRecursively();
    QDir().mkpath(DataFolder());
    // A copy kept at an earlier start is never replaced.
    WriteBytes(Eq1() + ".unreadable", "kept before");
    WriteBytes(Eq1(), k.eq1);
    QFile::remove(Eq2());
    if (k.eq2 != "<missing>") WriteBytes(Eq2(), k.eq2);
    messages.clear();
    effects::InstallPresetFiles();
    EXPECT_EQ(ReadBytes(Eq1() + ".unreadable"), "kept before");
    EXPECT_EQ(ReadBytes(Eq1() + ".unreadable.2"), k.eq1);
    EXPECT_EQ(ReadBytes(Eq1()), k.afterwards);
    EXPECT_EQ(ReadBytes(Eq2()), k.afterwards);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("A preset file could not be read, so it was made anew.")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(Eq1() + ".unreadable.2")) << messages[0].toStdString();
    // The next start finds nothing to set aside.
    messages.clear();
    effects::InstallPresetFiles();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(ReadBytes(Eq1() + ".unreadable.3"), "<missing>");
  }
  // A file that cannot be read now (no permission) is not a file of the
  // wrong kind: it stays where it is.
  if (::geteuid() != 0) {
    WriteBytes(Eq1(), mine);
    QFile::remove(Eq2());
    QFile(Eq1()).setPermissions(QFileDevice::WriteOwner);
    messages.clear();
    effects::InstallPresetFiles();
    QFile(Eq1()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(ReadBytes(Eq1()), mine);
    EXPECT_EQ(ReadBytes(Eq1() + ".unreadable.3"), "<missing>");
  }
}

// A save of both files killed at every step: after the next start both
// files are the old ones or both the new ones, and nothing is left beside
// them.
TEST_F(Presets, AKilledSaveLeavesBothFilesOldOrBothNewAfterTheNextStart) {
  const QByteArray olds[2] = {"[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n", "[A]\r\n1;1;1;1;1;1;1;1;1;1;\r\n[B]\r\n"};
  const QByteArray news[2] = {"[C]\r\n3;3;3;3;3;3;3;3;3;3;\r\n", "[C]\r\n3;3;3;3;3;3;3;3;3;3;\r\n[D]\r\n"};
  const QStringList files = {QStringLiteral("EQ.vrn"), QStringLiteral("EQ2.vrn")};
  WriteBytes(Eq1(), olds[0]);
  WriteBytes(Eq2(), olds[1]);
  int bothNew = 0;
  killsave::AtEveryStep(
      [&] {
        QString error;
        if (!effects::ReplacePresetFiles(news, error)) std::_Exit(3);
      },
      [&](int step, bool killed) {
        SCOPED_TRACE(step);
        effects::InstallPresetFiles();  // the next start
        const QByteArray now[2] = {ReadBytes(Eq1()), ReadBytes(Eq2())};
        const bool isNew = now[0] == news[0] && now[1] == news[1];
        EXPECT_TRUE(isNew || (now[0] == olds[0] && now[1] == olds[1])) << now[0].toStdString() << now[1].toStdString();
        EXPECT_TRUE(isNew || killed);
        bothNew += isNew;
        WriteBytes(Eq1(), olds[0]);
        WriteBytes(Eq2(), olds[1]);
        QString error;
        ASSERT_TRUE(effects::ReplacePresetFiles(olds, error)) << error.toStdString();
        EXPECT_EQ(QDir(DataFolder()).entryList(QDir::Files | QDir::Hidden), files);
      });
  EXPECT_GE(bothNew, 1);
}

TEST_F(Presets, TextIsNeverChangedOnItsWayThroughTheFiles) {
  // A file of an older installation in Windows-1252 ("Café", "Straße",
  // "€uro"): a save keeps every name as it was and writes UTF-8.
  WriteBoth("[Caf\xe9]\r\n1;1;1;1;1;1;1;1;1;1;\r\n[Stra\xdf" "e]\r\n2;2;2;2;2;2;2;2;2;2;\r\n[\x80uro]\n3;3;3;3;3;3;3;3;3;3;\n");
  OpenPanel(1, true);
  EXPECT_EQ(w->cmbSelect[0].items(), QStringList({"Café", "Straße", "€uro"}));
  SaveAs(1, QStringLiteral("日本 ♫"));
  const QByteArray utf8 = QStringLiteral("[Café]\r\n1;1;1;1;1;1;1;1;1;1;\r\n[Straße]\r\n2;2;2;2;2;2;2;2;2;2;\r\n"
                                         "[€uro]\r\n3;3;3;3;3;3;3;3;3;3;\r\n[日本 ♫]\r\n5;5;5;5;5;5;5;5;5;5;\r\n")
                              .toUtf8();
  EXPECT_EQ(ReadBytes(Eq1()), utf8);
  EXPECT_EQ(ReadBytes(Eq2()), utf8);
  OpenPanel(2, true);
  EXPECT_EQ(w->cmbSelect[1].items(), QStringList({"Café", "Straße", "€uro", "日本 ♫"}));

  // A name with broken UTF-16 cannot be written as it is: refused.
  messages.clear();
  const QChar lone[] = {QChar(0xD800), QChar('x')};
  SaveAs(1, QString(lone, 2));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(ReadBytes(Eq1()), utf8);
}
