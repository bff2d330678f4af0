// The main window: both decks, the centre mixer panel, the tabs "Search For
// Songs", "Mixer Settings", "Sound Effects" and "Settings", the status bar and
// the pop-up panels. It owns the window state (ui/MainState.h), builds the
// widgets, lays them out, binds each to its control there and forwards the
// timers' ticks; the logic of the decks, playlists, mixer, effects and
// library works on the state alone.
//
// The window itself handles what only it knows: its creation with the checks
// of the sound engine, activation with the skin, the tab pages, the settings
// page (skin, devices, speakers, language), the loading of the stored
// settings, the interface texts, the help key and the shutdown.
#pragma once

#include "app/DeviceSet.h"
#include "app/Widgets.h"
#include "display/Displays.h"
#include "display/LcdPanel.h"
#include "ui/MainState.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStatusBar;
class QTabBar;

namespace djvp {

class Grid;
class ScrollerCell;
class SkinEngine;
class Timer;
class clsVolume;

// The checks of the sound engine that the window's creation makes: the
// engine's output layer, its version, and its tempo, WMA and FLAC layers. A
// failed check shows its message under its title and ends the program.
struct EngineCheck {
  const char* text;
  const char* title;
  std::function<bool()> passes;
};
// The checks in their order; tests replace them.
std::vector<EngineCheck>& EngineChecks();
// Shows a failed check's message (a critical message box with the text
// under the title; tests replace it).
std::function<void(const QString& text, const QString& title)>& EngineCheckMessage();
// Makes the window's system mixer object; unset, the default card's mixer
// (tests give a mixer of their own).
std::function<std::unique_ptr<clsVolume>()>& SystemMixerFactory();
// What ends the program after a failed check (std::exit(1); tests replace it).
std::function<void()>& ProgramExit();

class frmMain : public QWidget {
  Q_OBJECT

 public:
  // Form_Initialize, which loads the window (Form_Load) on the way; the
  // window stays hidden. Ended() tells whether an engine check failed.
  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;

  bool Ended() const { return ended_; }
  // The window's state: its controls, players and the rest.
  MainState& State() { return *state_; }
  const MainState& State() const { return *state_; }

  // ---------------------------------------------------------------- events
  void Form_Load();
  void Form_Activate();
  void Form_KeyDown(int key, Qt::KeyboardModifiers shift);
  void Form_QueryUnload();
  void Form_Resize();
  void Form_Terminate();
  void TabStrip1_Click();

  // Settings page lists (0 skin, 1-3 devices, 4-6 speaker layouts, 7 language).
  void cmbSettings_Click(int index);
  // Selects entry `entry` of cmbSettings(index) and runs its handler, as a
  // user's choice does; false (and no handler) when the entry does not exist.
  bool SelectListEntry(int index, int entry);

  void LoadSettings();
  void ApplyInterfaceTexts();
  void ListSkins(const QString& folder, const QString& mask);
  void DrawDisplays();
  // Sets the 13 column headers of the three track grids in the current
  // language (the hidden scratch grid keeps its headers).
  void SetGridHeaders();
  // Removes the tabs and adds the four captions in the current language.
  void RebuildTabs();

  // The timers' handlers.
  void tmrPlaying_ThatTime();
  void tmrScroller1_ThatTime();
  void tmrScroller2_ThatTime();
  void tmrdBVolume_ThatTime();
  void tmrdB1_ThatTime();
  void tmrdB2_ThatTime();

  // The widgets, under the names of the controls they show. Tests look at
  // them to check the binding; everything else goes through State().
  struct Widgets {
    std::array<QFrame*, 3> Frame{};  // 0 deck 1, 1 deck 2, 2 centre panel
    std::array<QPushButton*, 20> cmdPlayer{};
    std::array<LcdPanel*, 2> pctScroller{}, pctLCD{}, pctTime{}, pctLCDmini{};
    std::array<LcdPanel*, 4> pctBPM{}, pctLCDBPM{};
    std::array<ScrollerCell*, 40> Image1{};
    std::array<QLabel*, 2> cTime{}, rTime{}, tTime{};
    std::array<QLabel*, 4> lblBPM{};
    QSlider* Position1 = nullptr;
    QSlider* Position2 = nullptr;
    QSlider* Volume1 = nullptr;
    QSlider* Volume2 = nullptr;
    QSlider* VolumeHP1 = nullptr;
    QSlider* VolumeHP2 = nullptr;
    QSlider* Slider1 = nullptr;
    QSlider* MainVolume = nullptr;
    QSlider* MixerTime = nullptr;
    std::array<QSlider*, 2> AutomationSlider{};
    LcdPanel* pctVolume1 = nullptr;
    LcdPanel* pctVolume2 = nullptr;
    LcdPanel* pctVolumeLeft = nullptr;
    LcdPanel* pctVolumeRight = nullptr;
    QPushButton* Command1 = nullptr;
    std::array<QSpinBox*, 8> UpDown{};
    QTabBar* TabStrip1 = nullptr;
    QFrame* fraSearch = nullptr;
    QFrame* Mixer = nullptr;
    QFrame* Settings = nullptr;
    std::array<TitledFrame*, 2> SoundEffects{};
    QFrame* BackMix = nullptr;
    QLabel* lblTime = nullptr;
    CurvePanel* pctDimmer = nullptr;
    std::array<QPushButton*, 6> MixPreview{};
    std::array<QCheckBox*, 4> Check1{};
    std::array<QCheckBox*, 18> Effects{};
    std::array<QPushButton*, 4> cmdEffects{};
    std::array<QSlider*, 28> sldEffects{};
    std::array<QSlider*, 20> Eq{};
    std::array<QComboBox*, 8> cmbSettings{};
    std::array<QLineEdit*, 1> txtSettings{};
    std::array<QPushButton*, 5> cmdSettings{};  // 0 "Create", 1 the music folder, 4 help
    std::array<QRadioButton*, 2> optSettings{};
    std::array<TitledFrame*, 3> Frame5{};
    std::array<QRadioButton*, 12> Option2{};
    TitledFrame* Frame15 = nullptr;
    std::array<QPushButton*, 5> cmdSearch{};
    QLineEdit* Text1 = nullptr;
    QMenu* mnuTags = nullptr;
    QAction* mnuTag = nullptr;
    QAction* mnuCopy1 = nullptr;
    QAction* mnuCopy2 = nullptr;
    QAction* mnuDelete = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 3> StatusPanel{};
    QFrame* Frame11 = nullptr;
    QProgressBar* PB = nullptr;
    std::array<QFrame*, 2> pctEQ{};
    std::array<QListWidget*, 2> cmbSelect{}, List1{};
    std::array<QLineEdit*, 2> Text2{};
    std::array<QPushButton*, 4> cmdSelect{};
    QPlainTextEdit* txtError = nullptr;
    std::array<QLabel*, ctl::kLabels> SCLabel1{};
  };
  Widgets view;

  // ------------------------------------------------------------------ state
  std::unique_ptr<SkinEngine> skinEngine;
  Timer* tmrScroller1 = nullptr;
  Timer* tmrScroller2 = nullptr;
  Timer* tmrPlaying = nullptr;
  Timer* tmrdBVolume = nullptr;
  Timer* tmrdB1 = nullptr;
  Timer* tmrdB2 = nullptr;
  std::unique_ptr<ToolTipSet> ToolTips;
  std::array<QString, 1001> SkinFiles;
  DeviceSet Devices;
  MeterLeds DeckLeds, MasterLeds;  // the LED pictures of the deck and master meters

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void BuildWindow();
  void BuildDeck(DeckId deck);
  void BuildCentre();
  void BuildSearchPage();
  void BuildMixerPage();
  void BuildEffectsPage(DeckId deck);
  void BuildSettingsPage();
  void BuildPopups();
  void BindControls();
  void ConnectHandlers();
  void SetHeadphoneGroupVisible(bool visible);
  void SelectSpeakerButtons(int list, int entry);
  // Sets a slider or spinner from a stored value; false (nothing changes and
  // no handler runs) for a value outside the control's range.
  static bool SetValueInRange(ui::Slider& s, int64_t v) { return s.setValue(v); }
  QLabel* MakeLabel(int index, QWidget* parent, const QRect& r);

  // Declared first so that it goes last: the widgets' bindings refer to it.
  std::unique_ptr<MainState> state_;
  bool ended_ = false;
  bool shutDown_ = false;
};

}  // namespace djvp
