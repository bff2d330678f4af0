// The start routine and start window, the checks of the sound engine, the
// language and skin choices, the activation, the tab pages and the help key.
#include "WindowTestEnv.h"

#include "app/ModMain.h"
#include "app/frmSplash.h"
#include "platform/Grid.h"
#include "platform/SkinEngine.h"

#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QTableView>
#include <QTabBar>

#include <gtest/gtest.h>

using djvp::frmMain;

namespace {

QStringList Tabs(const frmMain& w) {
  QStringList tabs;
  for (int i = 0; i < w.view.TabStrip1->count(); ++i) tabs << w.view.TabStrip1->tabText(i);
  return tabs;
}

// A standard button as Qt names it in the language it was given.
QString CancelText() {
  QDialogButtonBox box(QDialogButtonBox::Cancel);
  return box.button(QDialogButtonBox::Cancel)->text();
}

}  // namespace

TEST(StartRoutine, StoredLanguageChoosesTheOffset) {
  struct Case {
    const char* stored;  // nullptr: missing
    int offset;
  };
  for (const Case& c : {Case{"1", 1000}, Case{"0", 0}, Case{"2", 0}, Case{"Dutch", 0}, Case{nullptr, 0}}) {
    WindowTestEnv env;
    if (c.stored) env.Set("Language", "Current", c.stored);
    QPointer<djvp::frmSplash> splash = djvp::modPublic_Main();
    EXPECT_EQ(djvp::LangOffset, c.offset) << (c.stored ? c.stored : "missing");
    // The start window goes on by itself once it is shown.
    splash->Form_Activate();
    ASSERT_NE(splash->MainWindow(), nullptr);
    EXPECT_EQ(splash->MainWindow()->view.TabStrip1->tabText(0), c.offset ? "Zoek naar Muziek" : "Search For Songs");
    EXPECT_EQ(CancelText(), c.offset ? "Annuleren" : "Cancel");
    EXPECT_FALSE(djvp::SkinApplyPending);
    delete splash->MainWindow();
    delete splash.data();
  }
}

TEST(StartWindow, LoadsCaptionsAndShowsTheMainWindowThenCloses) {
  WindowTestEnv env;
  env.Set("Language", "Current", "1");
  djvp::frmSplash* splash = djvp::modPublic_Main();
  QPointer<djvp::frmSplash> alive(splash);
  splash->Form_Activate();
  frmMain* w = splash->MainWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "        dj VORLAN Pellix   v.1.0");
  // The picture is centred in the start window.
  EXPECT_EQ(splash->Picture1->geometry().center(), splash->rect().center());
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(djvp::SkinApplyPending);
  // Dutch from the first display on.
  EXPECT_EQ(Tabs(*w), (QStringList{"Zoek naar Muziek", "Mixer Settings", "Muziek Effecten", "Settings"}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull());
  delete w;
  EXPECT_EQ(djvp::frmSplash::MainCaption(2, 13), "        dj VORLAN Pellix   v.2.13");
}

TEST(EngineChecks, FirstFailingCheckShowsItsMessageAndEndsTheProgram) {
  WindowTestEnv env;
  auto saved = djvp::EngineChecks();
  std::vector<std::pair<QString, QString>> shown;
  auto savedMessage = djvp::EngineCheckMessage();
  djvp::EngineCheckMessage() = [&](const QString& text, const QString& title) { shown.emplace_back(text, title); };
  int exits = 0;
  auto savedExit = djvp::ProgramExit();
  djvp::ProgramExit() = [&] { ++exits; };
  // The real checks pass here.
  for (const djvp::EngineCheck& c : saved) EXPECT_TRUE(c.passes()) << c.text;
  djvp::EngineChecks()[2].passes = [] { return false; };
  djvp::EngineChecks()[4].passes = [] { return false; };
  {
    frmMain w;
    EXPECT_TRUE(w.Ended());
    EXPECT_EQ(w.view.TabStrip1, nullptr);
  }
  djvp::EngineChecks() = saved;
  djvp::EngineCheckMessage() = savedMessage;
  djvp::ProgramExit() = savedExit;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].first, "BASS_FX.DLL does not exists!");
  EXPECT_EQ(shown[0].second, "BASS_FX.DLL");
  EXPECT_EQ(exits, 1);
}

TEST(Language, SwitchRecaptionsTheWindowAndBack) {
  WindowTestEnv env;
  env.Set("Devices", "Device3", "2");
  auto w = env.Open();
  w->Form_Activate();
  const QString englishTip = w->view.cmbSettings[0]->toolTip();
  const QFont gainFont = w->view.SCLabel1[11]->font();
  env.inits.clear();

  w->SelectListEntry(7, 1);
  EXPECT_EQ(djvp::LangOffset, 1000);
  EXPECT_EQ(env.Get("Language", "Current"), "1");
  EXPECT_EQ(Tabs(*w), (QStringList{"Zoek naar Muziek", "Mixer Settings", "Muziek Effecten", "Settings"}));
  EXPECT_EQ(CancelText(), "Annuleren");
  EXPECT_EQ(w->view.cmbSettings[3]->itemText(0), "Geen");
  EXPECT_EQ(w->view.cmbSettings[3]->currentIndex(), 2);  // the stored headphone device again
  EXPECT_TRUE(env.inits.empty());                    // still open: not opened again
  EXPECT_TRUE(w->view.cmbSettings[0]->toolTip().endsWith("\nSelecteer een nieuwe Skin voor dj VORLAN"));
  EXPECT_EQ(w->view.SCLabel1[151]->text(), "UIT");
  EXPECT_EQ(w->State().StatusPanelText(3), "Duw op F1 voor Hulp");
  for (djvp::Grid* g : {w->State().PlayListView[0], w->State().PlayListView[1], w->State().DummyPlaylist}) {
    EXPECT_EQ(g->HeaderCaption("Artist"), "Artiest");
    EXPECT_EQ(g->HeaderCaption("Filename"), "Bestandsnaam");
    EXPECT_EQ(g->HeaderCaption("EndMixPoint"), "Eindmixpunt");
  }
  EXPECT_EQ(w->State().PlayListView[2]->HeaderCaption("Artist"), "Artist");
  // The captions that tell a control's value keep showing it.
  EXPECT_EQ(w->view.SCLabel1[12]->text(), "Gain(0)");
  EXPECT_EQ(w->view.SCLabel1[14]->text(), "Hoog(0)");
  w->State().UpDown[0].setValue(33);
  w->SelectListEntry(7, 0);
  EXPECT_EQ(djvp::LangOffset, 0);
  EXPECT_EQ(Tabs(*w), (QStringList{"Search For Songs", "Mixer Settings", "Sound Effects", "Settings"}));
  EXPECT_EQ(CancelText(), "Cancel");
  EXPECT_EQ(w->view.cmbSettings[0]->toolTip(), englishTip);
  EXPECT_EQ(w->view.SCLabel1[11]->text(), "Gain(7)");
  EXPECT_EQ(w->view.SCLabel1[14]->text(), "High(0)");
  EXPECT_LE(w->view.SCLabel1[11]->font().pointSizeF(), gainFont.pointSizeF());
  EXPECT_EQ(w->State().DummyPlaylist->HeaderCaption("StartMixPoint"), "Startmixpoint");
}

// From the first display on, in either language and after a skin change,
// the captions beside the gain and tone spinners and the tempo, sample-rate
// and pitch sliders tell the values that the settings gave those controls.
TEST(InterfaceTexts, CaptionsShowTheStoredValuesFromTheStart) {
  struct Case {
    const char* language;
    QString high, low, pitch;
  };
  for (const Case& c : {Case{"0", "High(5)", "Low(-6)", "Pitch Scaling = 3 Semitones"},
                        Case{"1", "Hoog(5)", "Laag(-6)", "Toonhoogte = 3 Halve tonen"}}) {
    SCOPED_TRACE(c.language);
    WindowTestEnv env;
    env.Set("Language", "Current", c.language);
    env.Set("Player1", "Gain", "36");
    env.Set("Eq1", "High", "15");
    env.Set("Player1", "PitchTempo", "-8");
    env.Set("Eq2", "Bass", "4");
    env.Set("Player2", "PitchSample", "48000");
    env.Set("Player2", "PitchScaling", "3");
    QPointer<djvp::frmSplash> splash = djvp::modPublic_Main();
    splash->Form_Activate();
    frmMain* w = splash->MainWindow();
    ASSERT_NE(w, nullptr);
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(w->view.SCLabel1[11]->text(), "Gain(10)");
      EXPECT_EQ(w->view.SCLabel1[12]->text(), "Gain(0)");
      EXPECT_EQ(w->view.SCLabel1[13]->text(), c.high);
      EXPECT_EQ(w->view.SCLabel1[18]->text(), c.low);
      EXPECT_EQ(w->view.SCLabel1[38]->text(), "Tempo = -8 %");
      EXPECT_EQ(w->view.SCLabel1[63]->text(), "Samplerate = 48000 Hz");
      EXPECT_EQ(w->view.SCLabel1[64]->text(), c.pitch);
      // The user picks another skin.
      w->SelectListEntry(0, 2);
      w->Form_Activate();
    }
    delete w;
    delete splash.data();
  }
}

// Every header of the library shows its caption whole in English and in
// Dutch: Artist and Title are wide enough as they are, the others as wide as
// their captions need.
TEST(Language, LibraryHeadersShowWholeInBothLanguages) {
  WindowTestEnv env;
  auto w = env.Open();
  w->show();
  djvp::Grid& library = *w->State().DummyPlaylist;
  QHeaderView* header = library.View()->horizontalHeader();
  for (int entry : {1, 0}) {
    w->SelectListEntry(7, entry);
    QCoreApplication::processEvents();
    for (int32_t c = 1; c <= library.ColumnCount(); ++c) {
      SCOPED_TRACE(library.HeaderCaption(c).toStdString());
      EXPECT_GE(header->sectionSize(c - 1), header->sectionSizeHint(c - 1));
    }
  }
  EXPECT_EQ(library.ColumnPixelWidth(1), 200);
  EXPECT_EQ(library.ColumnPixelWidth(2), 200);
}

TEST(InterfaceTexts, TooltipsMenusStatusBarAndCaptions) {
  WindowTestEnv env;
  auto w = env.Open();
  EXPECT_EQ(w->ToolTips->Count(), 74);
  EXPECT_EQ(w->view.pctTime[0]->toolTip().split('\n').size(), 6);
  const QStringList library = w->State().DummyPlaylist->toolTip().split('\n');
  ASSERT_EQ(library.size(), 8);
  EXPECT_EQ(library.last(), "Click on the headers to sort");
  EXPECT_EQ(w->view.Slider1->toolTip(), "Manual Mixing\nIf 'Auto Mix' is off, do a manual mixing.");
  EXPECT_EQ(w->view.cmdSearch[2]->toolTip(), "Calculate the BPM");
  EXPECT_EQ(w->view.cmdPlayer[16]->toolTip(), w->view.cmdPlayer[6]->toolTip());
  EXPECT_EQ(w->view.cmdPlayer[2]->toolTip(), "Delete\nDelete the selected file from the  Player");
  EXPECT_EQ(w->State().cmdPlayer[0].toolTip(), "Open a folder with music files\r\nThe entire folder will be added to the Player");
  EXPECT_EQ(w->view.mnuTags->title(), "Make your choice");
  EXPECT_EQ(w->view.mnuDelete->text(), "Delete the Selected File");
  EXPECT_EQ(w->State().StatusPanelText(1), "Current Time :");
  EXPECT_EQ(w->State().StatusPanelText(2), "Time Elapsed :");
  EXPECT_EQ(w->State().StatusPanelText(3), "Press F1 for Help");
  EXPECT_EQ(w->view.Option2[11]->text(), "Front Speakers");
  EXPECT_EQ(w->view.Option2[4]->text(), "Rear/Center Speakers");
  EXPECT_EQ(w->view.optSettings[1]->text(), "Create a  New Indexfile");
  EXPECT_EQ(w->view.Effects[17]->text(), "Equilizer");
  EXPECT_EQ(w->view.SoundEffects[1]->title(), "Effects for Player 2");
  EXPECT_EQ(w->view.SCLabel1[62]->text(), "Tempo = 0 %");
  // The playback clock rewrites panels 1 and 2.
  w->tmrPlaying_ThatTime();
  EXPECT_TRUE(w->State().StatusPanelText(1).startsWith("Current Time : "));
  EXPECT_TRUE(w->State().StatusPanelText(2).startsWith("Time Elapsed : 00:00:0"));
}

TEST(Skins, ChoiceAppliesStoresAndSurvivesANewSkinFile) {
  WindowTestEnv env;
  auto w = env.Open();
  ASSERT_EQ(w->view.cmbSettings[0]->count(), 3);
  EXPECT_EQ(w->view.cmbSettings[0]->itemText(0), "Amber");  // name order of the files
  // First activation: the stored position (none: 0) is applied.
  djvp::SkinApplyPending = true;
  w->Form_Activate();
  EXPECT_FALSE(djvp::SkinApplyPending);
  EXPECT_TRUE(w->styleSheet().contains("#302010"));
  // The user picks "Steel".
  w->SelectListEntry(0, 2);
  EXPECT_TRUE(djvp::SkinApplyPending);
  EXPECT_TRUE(w->styleSheet().contains("#203040"));
  EXPECT_EQ(env.Get("Skin", "Name"), "2");
  EXPECT_EQ(env.Get("Skin", "File"), "Steel.skf");
  w.reset();
  // A skin file added before it in the list: Steel is still chosen.
  env.WriteSkin("Aardvark.skf", "Aardvark", "QWidget#frmMain { background: #000001; }");
  auto again = env.Open();
  djvp::SkinApplyPending = true;
  again->Form_Activate();
  EXPECT_EQ(again->view.cmbSettings[0]->currentText(), "Steel");
  EXPECT_TRUE(again->styleSheet().contains("#203040"));
  again.reset();
  // Only a position is stored and the list has no such entry: the first skin.
  djvp::DeleteSetting("DJVP", "Skin", "File");
  env.Set("Skin", "Name", "40");
  auto third = env.Open();
  djvp::SkinApplyPending = true;
  third->Form_Activate();
  EXPECT_EQ(third->view.cmbSettings[0]->currentIndex(), 0);
  EXPECT_TRUE(third->styleSheet().contains("#000001"));
}

TEST(Tabs, CaptionChoosesThePageAndUnknownCaptionsChangeNothing) {
  WindowTestEnv env;
  auto w = env.Open();
  w->Form_Activate();
  struct Case {
    int tab;
    QWidget* shown;
  };
  for (const Case& c : {Case{1, w->view.Mixer}, Case{2, w->view.SoundEffects[0]}, Case{3, w->view.Settings}, Case{0, w->view.fraSearch}}) {
    w->view.TabStrip1->setCurrentIndex(c.tab);
    for (QWidget* page : std::initializer_list<QWidget*>{w->view.Mixer, w->view.SoundEffects[0], w->view.fraSearch, w->view.Settings})
      EXPECT_EQ(page->isVisibleTo(w.get()), page == c.shown) << c.tab;
  }
  EXPECT_TRUE(w->view.SoundEffects[1]->isHidden());
  w->view.TabStrip1->setTabText(0, "Elsewhere");
  w->TabStrip1_Click();
  EXPECT_TRUE(w->view.fraSearch->isVisibleTo(w.get()));
  // Activation rebuilds the captions and keeps the chosen page.
  w->view.TabStrip1->setCurrentIndex(3);
  w->Form_Activate();
  EXPECT_EQ(w->view.TabStrip1->tabText(0), "Search For Songs");
  EXPECT_EQ(w->view.TabStrip1->currentIndex(), 3);
  EXPECT_TRUE(w->view.Settings->isVisibleTo(w.get()));
}

TEST(HelpKey, F1WithAnyModifierOpensTheIntroduction) {
  WindowTestEnv env;
  auto w = env.Open();
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::ShiftModifier);
  QApplication::sendEvent(w.get(), &f1);
  QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
  QApplication::sendEvent(w.get(), &f2);
  ASSERT_EQ(env.helpPages.size(), 1u);
  EXPECT_TRUE(env.helpPages[0].toLocalFile().endsWith("/help/en/introduction.htm"));
  djvp::LangOffset = 1000;
  w->Form_KeyDown(Qt::Key_F1, Qt::ControlModifier);
  ASSERT_EQ(env.helpPages.size(), 2u);
  EXPECT_TRUE(env.helpPages[1].toLocalFile().endsWith("/help/nl/introduction.htm"));
}

TEST(Language, HeadphoneEntryPastTheRefilledListSelectsNothing) {
  WindowTestEnv env;
  auto w = env.Open();
  env.Set("Devices", "Device3", "7");
  env.messages.clear();
  w->SelectListEntry(7, 1);
  EXPECT_EQ(w->view.cmbSettings[3]->count(), 4);
  EXPECT_EQ(w->view.cmbSettings[3]->currentIndex(), -1);
  EXPECT_EQ(env.Get("Devices", "Device3"), "7");  // the headphone choice did not run
  EXPECT_TRUE(env.messages.empty());
}

TEST(Skins, EntryPastPositionOneThousandLoadsNothingButIsStored) {
  WindowTestEnv env;
  auto w = env.Open();
  djvp::SkinApplyPending = true;
  w->Form_Activate();
  const QString sheet = w->styleSheet();
  while (w->State().cmbSettings[0].count() < 1002) w->State().cmbSettings[0].addItem("more");
  w->SelectListEntry(0, 1001);
  EXPECT_TRUE(djvp::SkinApplyPending);
  EXPECT_EQ(w->styleSheet(), sheet);
  EXPECT_EQ(env.Get("Skin", "Name"), "1001");
  EXPECT_EQ(env.Get("Skin", "File"), "Amber.skf");
}
