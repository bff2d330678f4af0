// The main window: both decks, the centre mixer panel, the tabs "Search For
// Songs", "Mixer Settings", "Sound Effects" and "Settings", the status bar and
// the pop-up panels. It owns what the program shares: the four deck players
// and the analysis player, the timers, the skin engine, the system mixer and
// the tag library control Sonavex1.
//
// Controls keep the program's names and indexes; a control array is an
// std::array of widgets. One handler per control event, named
// control_event; a group of like controls shares one handler that gets the
// index. A change that code makes to a control's value runs the control's
// handler as well, nested, before the assignment returns.
#pragma once

#include "app/DeviceSet.h"
#include "app/Widgets.h"
#include "audio/AnalysisHost.h"
#include "audio/BassPlayer.h"
#include "automation/Host.h"
#include "decks/DeckState.h"
#include "display/Displays.h"
#include "display/LcdPanel.h"

#include <QTime>
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

class frmMain : public QWidget, public AnalysisHost {
  Q_OBJECT

 public:
  // Form_Initialize, which loads the window (Form_Load) on the way; the
  // window stays hidden. Ended() tells whether an engine check failed.
  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;

  bool Ended() const { return ended_; }

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
  void InitPlaylistColumns(Grid& grid);
  void InitLibraryColumns();
  void LoadLibraryIndex();
  // Sets the 13 column headers of the three track grids in the current
  // language (the hidden scratch grid keeps its headers).
  void SetGridHeaders();
  // Removes the tabs and adds the four captions in the current language.
  void RebuildTabs();

  // ------------------------------------- handlers of the neighbouring parts
  void MainVolume_ValueChanged();
  void tmrPlaying_ThatTime();
  void MixerTime_ValueChanged();
  void MixPreview_Click(int index);
  void DrawCrossfadeCurve();
  void Check1_Click(int index);
  void AutomationSlider_ValueChanged(int index);
  void VolumeHP1_ValueChanged();
  void VolumeHP2_ValueChanged();
  void Command1_Click();
  void Effects_Click(int index);
  void UpDown_ValueChanged(int index);
  void Eq_ValueChanged(int index);
  void sldEffects_ValueChanged(int index);
  void tmrScroller1_ThatTime();
  void tmrScroller2_ThatTime();
  void tmrdBVolume_ThatTime();
  void tmrdB1_ThatTime();
  void tmrdB2_ThatTime();
  void cmdPlayer_Click(int index);
  void cmdSearch_Click(int index);
  void cmdEffects_Click(int index);
  void cmdSelect_Click(int index);
  void cmdSettings_Click(int index);
  void Position1_ValueChanged();
  void Position2_ValueChanged();
  void Volume1_ValueChanged();
  void Volume2_ValueChanged();
  void Slider1_ValueChanged();

  // ------------------------------------------------------- AnalysisHost
  void SetLibraryCell(int32_t row, int column, const QVariant& value) override;
  void RedrawLibraryCell(int32_t row, int column) override;
  int32_t SilenceLevel() const override;
  int32_t MainVolumeValue() const override;
  void AppendErrorText(const QString& text) override;

  // ---------------------------------------------------------------- controls
  std::array<QFrame*, 3> Frame{};  // 0 deck 1, 1 deck 2, 2 centre panel
  std::array<QPushButton*, 20> cmdPlayer{};
  std::array<Grid*, 3> PlayListView{};
  Grid* DummyPlaylist = nullptr;
  std::array<LcdPanel*, 2> pctScroller{}, pctLCD{}, pctTime{}, pctLCDmini{};
  std::array<LcdPanel*, 4> pctBPM{}, pctLCDBPM{};
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
  MeterLeds DeckLeds, MasterLeds;  // the LED pictures of the deck and master meters
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
  std::array<QPushButton*, 2> cmdSettings{};
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
  QFrame* Frame11 = nullptr;
  QProgressBar* PB = nullptr;
  std::array<QFrame*, 2> pctEQ{};
  std::array<QListWidget*, 2> cmbSelect{}, List1{};
  std::array<QLineEdit*, 2> Text2{};
  std::array<QPushButton*, 4> cmdSelect{};
  QPlainTextEdit* txtError = nullptr;
  // The labels of the window by their index; null for an index not used.
  QLabel* SCLabel1(int index) const;
  // Status-bar panel 1..3.
  QString StatusPanelText(int panel) const;
  void SetStatusPanelText(int panel, const QString& text);

  // ------------------------------------------------------------------ state
  std::unique_ptr<SkinEngine> skinEngine;
  Timer* tmrScroller1 = nullptr;
  Timer* tmrScroller2 = nullptr;
  Timer* tmrPlaying = nullptr;
  Timer* tmrdBVolume = nullptr;
  Timer* tmrdB1 = nullptr;
  Timer* tmrdB2 = nullptr;
  int16_t ScrollerWidth1 = 0, ScrollerWidth2 = 0;
  int16_t ScrollerPos1 = 0, ScrollerPos2 = 0;
  QString ScrollerText1, ScrollerText2;
  QTime StartTime;
  std::unique_ptr<clsVolume> SystemVolume;
  float WaveVolumeStep = 0;
  std::unique_ptr<ToolTipSet> ToolTips;
  automation::DispatchPtr Sonavex1;
  std::array<QString, 1001> SkinFiles;
  std::unique_ptr<clsBassPlayer> AnalysisPlayer;
  DeviceSet Devices;

  int16_t MixTime = 0;
  bool AutomixOn = false, AutoGainOn = false, AutoBPMOn = false, UseMixPoints = false;
  int16_t MixLeftU = 0, MixLeftD = 0, MixRightU = 0, MixRightD = 0;
  bool PreListenOn = false;

  // --- Deck playback and automatic mixing: transitions, mix points, tempo.
  decks::DeckState Decks;

  // --- Playlists: the header click and the double click of PlayListView(index).
  void PlayListView_ColumnClick(int index, int column);
  void PlayListView_DblClick(int index);

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void BuildWindow();
  void BuildDeck(int deck);
  void BuildCentre();
  void BuildSearchPage();
  void BuildMixerPage();
  void BuildEffectsPage(int deck);
  void BuildSettingsPage();
  void BuildPopups();
  void ConnectHandlers();
  void CreateSonavex();
  void SetHeadphoneGroupVisible(bool visible);
  void SelectSpeakerButtons(int list, int entry);
  bool AnyPlaying() const;
  // Sets a slider or spinner from a stored value; false (nothing changes and
  // no handler runs) for a value outside the control's range.
  static bool SetValueInRange(QSlider* s, int64_t v);
  static bool SetValueInRange(QSpinBox* s, int64_t v);
  QLabel* MakeLabel(int index, QWidget* parent, const QRect& r);

  bool ended_ = false;
  bool shutDown_ = false;
  std::array<QLabel*, 152> labels_{};
  std::array<QLabel*, 3> statusPanels_{};
  std::array<std::unique_ptr<clsBassPlayer>, 4> players_;
};

}  // namespace djvp
