// The main window's state without its widgets: the controls under the
// program's names and indexes, the four deck players and the analysis player,
// the decks' playback and mixing state, the title displays, the system mixer
// and the shared tag library control. The deck, playlist, mixer, effect and
// library logic works on this object; the window (app/) builds the widgets,
// binds each to its control here and forwards the timers' ticks.
//
// Controls are value objects (ui/Controls.h): code that sets a control's
// value raises its event as a user's change does. The grids are the grid
// control itself (platform/Grid.h), made here without a parent; the window
// places them.
#pragma once

#include "audio/AnalysisHost.h"
#include "audio/BassPlayer.h"
#include "automation/Host.h"
#include "ui/Controls.h"
#include "ui/DeckState.h"

#include <QPointer>
#include <QString>
#include <QTime>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace tageditor {
class TagEditorState;
}

namespace djvp {

class Grid;
class clsVolume;

// Indexes of the control arrays that the logic names.
namespace ctl {
// cmdPlayer: deck 1's buttons 0..9, deck 2's the same + 10.
enum PlayerButton : int {
  kFolder = 0,
  kAddFile = 1,
  kDelete = 2,
  kUp = 3,
  kDown = 4,
  kSave = 5,
  kClear = 6,
  kPlay = 7,
  kPause = 8,
  kStop = 9,
};
constexpr int kDeckButtons = 10;
// Check1: the automix switches.
enum AutomixSwitch : int { kAutomix = 0, kAutoGain = 1, kAutoBPM = 2, kMixPoints = 3 };
// cmbSettings: the settings page's lists.
enum SettingsList : int {
  kSkinList = 0,
  kDevice1List = 1,
  kDevice2List = 2,
  kHeadphoneList = 3,
  kSpeakers1List = 4,
  kSpeakers2List = 5,
  kHeadphoneSpeakersList = 6,
  kLanguageList = 7,
};
// Effects: deck 1's box numbers; deck 2's box for deck 1's box k is 17 - k.
enum EffectBox : int {
  kEqualizerBox = 0,
  kPitchBox = 1,
  kReverbBox = 2,
  kLowPassBox = 3,
  kBigEchoBox = 4,
  kRotateBox = 5,
  kSwapBox = 6,
  kEchoBox = 7,
  kFlangerBox = 8,
};
constexpr int EffectBoxOf(int deck, int box) { return deck == 0 ? box : 17 - box; }
// SCLabel1: the labels whose captions the logic sets or shows.
enum Label : int {
  kLblGain1 = 11,          // deck 1's gain caption; 12 deck 2's
  kLblHigh1 = 13,          // the tone captions: High 13/14, Mid 15/16, Low 17/18
  kLblTempo1 = 38,         // deck 1's tempo caption; 62 deck 2's
  kLblSampleRate1 = 39,    // deck 1's sample-rate and pitch captions; 63/64 deck 2's
  kLblPitch1 = 40,
  kLblTempo2 = 62,
  kLblSampleRate2 = 63,
  kLblPitch2 = 64,
  kLblPresetPrompt1 = 78,  // the preset panels' prompts; 79 deck 2's
  kLblImportPath = 144,    // the import panel's path line
  kLblCrossfader = 149,    // the crossfader's caption
  kLblPreListenState = 151,  // "ON" / "OFF" under the pre-listen button
};
constexpr int kLabels = 152;
}  // namespace ctl

class MainState : public AnalysisHost {
 public:
  // The controls with their designed ranges and values, the grids (empty,
  // without columns) and the five players.
  MainState();
  ~MainState() override;
  MainState(const MainState&) = delete;
  MainState& operator=(const MainState&) = delete;

  // ------------------------------------------------------------- players
  // deck 1 or 2; ab 0 for the deck's player A, 1 for B. Null otherwise.
  clsBassPlayer* Player(int deck, int ab) const;
  clsBassPlayer& Deck1PlayerA() const { return *players_[0]; }
  clsBassPlayer& Deck1PlayerB() const { return *players_[1]; }
  clsBassPlayer& Deck2PlayerA() const { return *players_[2]; }
  clsBassPlayer& Deck2PlayerB() const { return *players_[3]; }
  bool AnyPlaying() const;
  std::unique_ptr<clsBassPlayer> AnalysisPlayer;

  // The tag library control the whole window shares; null until created.
  automation::DispatchPtr Sonavex1;
  // Creates Sonavex1 by its ProgID, registering the library that lies in
  // `folder` first when its class is not registered there.
  void CreateSonavex(const QString& folder);

  // ------------------------------------------------------------- controls
  // Deck panels.
  std::array<ui::Button, 20> cmdPlayer;
  std::array<QPointer<Grid>, 3> PlayListView;  // deck 1, deck 2, the hidden scratch grid
  std::array<ui::PictureCell, 40> Image1;      // title display cells: 0..19 deck 1, 20..39 deck 2
  std::array<ui::Caption, 2> cTime, rTime, tTime;
  std::array<ui::Caption, 4> lblBPM;
  ui::Slider Position1, Position2;

  // Centre panel.
  ui::Slider Volume1{0, 100, 0}, Volume2{0, 100, 0};
  ui::Slider VolumeHP1{0, 100, 0}, VolumeHP2{0, 100, 0};
  ui::Slider Slider1{0, 100, 50};  // the crossfader
  ui::Slider MainVolume{0, 100, 0};
  ui::LedMeter pctVolume1, pctVolume2, pctVolumeLeft, pctVolumeRight;
  std::array<ui::Slider, 8> UpDown;  // gain and three tone spinners per deck
  ui::Button Command1;               // pre-listen

  // "Mixer Settings" page.
  ui::Slider MixerTime{0, 100, 0};
  ui::Caption lblTime;
  ui::CurveEditor pctDimmer;
  std::array<ui::Button, 6> MixPreview;
  std::array<ui::CheckBox, 4> Check1;
  std::array<ui::Slider, 2> AutomationSlider;

  // "Sound Effects" page.
  std::array<ui::CheckBox, 18> Effects;
  std::array<ui::Button, 4> cmdEffects;
  std::array<ui::Slider, 28> sldEffects;
  std::array<ui::Slider, 20> Eq;

  // "Settings" page.
  std::array<ui::ListBox, 8> cmbSettings;
  std::array<ui::TextBox, 1> txtSettings;
  std::array<ui::Button, 5> cmdSettings;  // 0 "Create", 1 the music folder, 4 help
  std::array<ui::OptionButton, 2> optSettings;
  std::array<ui::Caption, 3> Frame5;  // the speaker-button frames
  std::array<ui::OptionButton, 12> Option2;

  // "Search For Songs" page and its popup menu.
  QPointer<Grid> DummyPlaylist;
  std::array<ui::Button, 5> cmdSearch;
  ui::TextBox Text1;
  ui::TextBox txtError;
  ui::Caption mnuTags;
  ui::Button mnuTag, mnuCopy1, mnuCopy2, mnuDelete;
  // Shows the popup menu at the mouse pointer (the window sets it).
  std::function<void(const ui::Caption& menu)> PopupMenu;

  // The tag editor: the file it shows (set when "Show/Edit the Tags" opens
  // it on the library's current row), and how the window shows the editor
  // modally over its loaded state (the window sets it; returns when the
  // editor has closed).
  QString TagFileName;
  std::function<void(tageditor::TagEditorState& editor)> ShowTagEditor;

  // Pop-up panels: the import progress and the equaliser presets.
  ui::Caption Frame11;
  ui::Slider PB{0, 100, 0};
  std::array<ui::Caption, 2> pctEQ;
  std::array<ui::ListBox, 2> cmbSelect, List1;
  std::array<ui::TextBox, 2> Text2;
  std::array<ui::Button, 4> cmdSelect;
  // What OK does on each deck's preset panel: apply the chosen preset (the
  // panel was opened by "Load") and/or save the sliders ("Save"); the user
  // said Yes to overwriting a preset of the typed name.
  std::array<bool, 2> PresetLoadMode{}, PresetSaveMode{};
  bool PresetOverwrite = false;

  // The window's labels by index, and the status bar's panels 1..3.
  std::array<ui::Caption, ctl::kLabels> SCLabel1;
  std::array<ui::Caption, 3> StatusPanel;
  QString StatusPanelText(int panel) const;
  void SetStatusPanelText(int panel, const QString& text);

  // ------------------------------------------------------ deck helpers
  // Deck 1 or 2 (null otherwise).
  Grid* Playlist(int deck) const;
  ui::Slider* PositionSlider(int deck);
  ui::Slider* VolumeSlider(int deck);
  ui::Slider* HeadphoneSlider(int deck);

  // ------------------------------------------------------------ state
  decks::DeckState Decks;
  int16_t MixTime = 0;
  bool AutomixOn = false, AutoGainOn = false, AutoBPMOn = false, UseMixPoints = false;
  int16_t MixLeftU = 0, MixLeftD = 0, MixRightU = 0, MixRightD = 0;
  bool PreListenOn = false;
  // Set while songs of the library are analysed: the commands that change the
  // library's rows (sort, delete, create) refuse meanwhile, so that a result
  // never lands in another song's row.
  bool AnalysisRunning = false;
  // True only while a started song's own effect record is applied: an
  // effect switched on then takes its parameters from its sliders.
  bool SongEffectsActive = false;
  // What waits for the tempo the engine measures after a song's start, per
  // deck (0 deck 1): the start-BPM handle whose tempo the deck's
  // recalculated-tempo label is to show, and the main stream of a started
  // song whose tempo matching (and own effect record) waits for it; 0 when
  // nothing waits.
  struct StartTempoWait {
    engine::Handle label = 0;
    engine::Handle match = 0;
  };
  std::array<StartTempoWait, 2> StartTempoWaits{};

  // The two title displays (0 deck 1, 1 deck 2): the text that scrolls, the
  // cell its first character stands on, and the last cell.
  std::array<QString, 2> ScrollerText;
  std::array<int16_t, 2> ScrollerPos{};
  std::array<int16_t, 2> ScrollerWidth{};

  // When the window was loaded (the status bar's clock shows nothing
  // before).
  QTime StartTime;
  // The system mixer's master volume and one hundredth of its range.
  std::unique_ptr<clsVolume> SystemVolume;
  float WaveVolumeStep = 0;
  // The window's id, for the dialogs the logic opens over it.
  int32_t hWnd = 0;

  // ----------------------------------------------------- AnalysisHost
  void SetLibraryCell(int32_t row, int column, const QVariant& value) override;
  void RedrawLibraryCell(int32_t row, int column) override;
  int32_t SilenceLevel() const override;
  int32_t MainVolumeValue() const override;
  void AppendErrorText(const QString& text) override;

 private:
  std::array<std::unique_ptr<clsBassPlayer>, 4> players_;
};

}  // namespace djvp
