// The main window's state without its widgets: the controls under the
// program's names and indexes, the four deck players and the analysis player,
// the decks' playback and mixing state, the title displays, the system mixer
// and the shared tag library control, in slices by feature. The deck,
// playlist, mixer, effect and library logic works on these; the logic names
// a deck by DeckId and reaches its controls through ui/Deck.h. The window
// (app/) builds the widgets, binds each to its control here and forwards the
// timers' ticks.
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
#include "ui/DeckId.h"
#include "ui/DeckState.h"
#include "ui/Event.h"
#include "engine/Engine.h"

#include <QPointer>
#include <QString>
#include <QTime>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

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
constexpr size_t EffectBoxOf(DeckId deck, int box) { return static_cast<size_t>(deck.IsFirst() ? box : 17 - box); }
// The deck and deck-1 box number of the switch at `index` (0..17).
constexpr std::optional<std::pair<DeckId, int>> EffectBoxAt(int index) {
  if (index < 0 || index > 17) return std::nullopt;
  if (index < 9) return std::pair<DeckId, int>{kDeck1, index};
  return std::pair<DeckId, int>{kDeck2, 17 - index};
}
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
// The labels each deck has one of, and where deck 1's and deck 2's stand.
enum DeckLabel : int { kGainLabel, kHighLabel, kMidLabel, kLowLabel, kTempoLabel, kSampleRateLabel, kPitchLabel,
                       kPresetPromptLabel };
constexpr int kDeckLabelAt[8][2] = {{kLblGain1, kLblGain1 + 1}, {kLblHigh1, kLblHigh1 + 1},
                                    {kLblHigh1 + 2, kLblHigh1 + 3}, {kLblHigh1 + 4, kLblHigh1 + 5},
                                    {kLblTempo1, kLblTempo2}, {kLblSampleRate1, kLblSampleRate2},
                                    {kLblPitch1, kLblPitch2}, {kLblPresetPrompt1, kLblPresetPrompt1 + 1}};
constexpr size_t LabelOf(DeckId deck, DeckLabel label) {
  return static_cast<size_t>(kDeckLabelAt[label][deck.Index()]);
}
}  // namespace ctl

// The window state comes in slices by feature. A routine that works within
// one slice takes that slice (the title displays, the crossfade curve, the
// library index); a handler that reaches into several takes the whole
// state. Tests build what they need.

// What the whole window shares: the players, the tag library control, the
// labels and the status bar, the system mixer and the window's id.
class WindowServices {
 public:
  WindowServices();
  ~WindowServices();
  WindowServices(const WindowServices&) = delete;
  WindowServices& operator=(const WindowServices&) = delete;

  // ab 0 for the deck's player A, 1 for B; null for any other ab.
  clsBassPlayer* Player(DeckId deck, int ab) const;
  clsBassPlayer& Deck1PlayerA() const { return *players_[0]; }
  clsBassPlayer& Deck1PlayerB() const { return *players_[1]; }
  clsBassPlayer& Deck2PlayerA() const { return *players_[2]; }
  clsBassPlayer& Deck2PlayerB() const { return *players_[3]; }
  bool AnyPlaying() const;
  std::unique_ptr<clsBassPlayer> AnalysisPlayer;
  // The sound chain each deck's songs play through (effects, equaliser,
  // gain, tones, tempo, sample rate and pitch), by DeckId::Index(): it
  // stays while songs come and go, so a song carries the deck's sound from
  // its first sample.
  engine::Handle Chain(DeckId deck) const { return chains_[deck.Index()]; }

  // The tag library control the whole window shares; null until created.
  automation::DispatchPtr Sonavex1;
  // Creates Sonavex1 by its ProgID, registering the library that lies in
  // `folder` first when its class is not registered there.
  void CreateSonavex(const QString& folder);

  // The window's labels by index, and the status bar's panels 1..3.
  std::array<ui::Caption, ctl::kLabels> SCLabel1;
  std::array<ui::Caption, 3> StatusPanel;
  QString StatusPanelText(int panel) const;
  void SetStatusPanelText(int panel, const QString& text);

  // When the window was loaded (the status bar's clock shows nothing
  // before).
  QTime StartTime;
  // The system mixer's master volume and one hundredth of its range.
  std::unique_ptr<clsVolume> SystemVolume;
  float WaveVolumeStep = 0;
  // The window's id, for the dialogs the logic opens over it.
  int32_t hWnd = 0;

 private:
  std::array<std::unique_ptr<clsBassPlayer>, 4> players_;
  std::array<engine::Handle, 2> chains_{};
};

// The two deck panels: transport buttons, playlists, title displays, times,
// tempo figures and position sliders.
struct DeckPanels {
  // Times at zero, the resting title, no tempo; the playlist grids are
  // the window state's to make.
  DeckPanels();
  DeckPanels(const DeckPanels&) = delete;
  DeckPanels& operator=(const DeckPanels&) = delete;

  std::array<ui::Button, 20> cmdPlayer;
  std::array<QPointer<Grid>, 3> PlayListView;  // deck 1, deck 2, the hidden scratch grid
  std::array<ui::PictureCell, 40> Image1;      // title display cells: 0..19 deck 1, 20..39 deck 2
  std::array<ui::Caption, 2> cTime, rTime, tTime;
  std::array<ui::Caption, 4> lblBPM;
  ui::Slider Position1, Position2;
  // The two title displays (0 deck 1, 1 deck 2): the text that scrolls, the
  // cell its first character stands on, and the last cell.
  std::array<QString, 2> ScrollerText;
  std::array<int16_t, 2> ScrollerPos{};
  std::array<int16_t, 2> ScrollerWidth{};
};

// What the decks tell the rest of the program about their songs.
struct DeckEvents {
  // A song has been opened on one of the deck's players and is about to
  // play: its streams carry the deck's sound chain; what belongs to the
  // song alone goes on here, before its first sample is heard.
  ui::Event<DeckId, clsBassPlayer&> SongLoaded;
  // The song's Play succeeded (a crossfade into it is armed by then).
  ui::Event<DeckId, clsBassPlayer&> SongStarted;
  // Every run of the playback timer while a song plays.
  ui::Event<> PlaybackTick;
};

// The centre panel and the "Mixer Settings" page: the decks' volumes, the
// crossfader, the meters, pre-listen, the mix time and curve, Auto Mix, and
// the decks' playback and mixing state.
struct MixerPanel {
  // The sliders' ranges are the window's design (ui/ControlRanges.h), which
  // the window state gives them.
  ui::Slider Volume1, Volume2;
  ui::Slider VolumeHP1, VolumeHP2;
  ui::Slider Slider1;  // the crossfader
  ui::Slider MainVolume;
  ui::LedMeter pctVolume1, pctVolume2, pctVolumeLeft, pctVolumeRight;
  ui::Button Command1;  // pre-listen

  ui::Slider MixerTime;
  ui::Caption lblTime;
  ui::CurveEditor pctDimmer;
  std::array<ui::Button, 6> MixPreview;
  std::array<ui::CheckBox, 4> Check1;
  std::array<ui::Slider, 2> AutomationSlider;

  decks::DeckState Decks;
  int16_t MixTime = 0;
  bool AutomixOn = false, AutoGainOn = false, AutoBPMOn = false, UseMixPoints = false;
  int16_t MixLeftU = 0, MixLeftD = 0, MixRightU = 0, MixRightD = 0;
  bool PreListenOn = false;
};

// Each deck's sound controls: the "Sound Effects" page, the equaliser
// bands, the gain and tone spinners and the preset panels.
struct DeckSoundControls {
  std::array<ui::CheckBox, 18> Effects;
  std::array<ui::Button, 4> cmdEffects;
  std::array<ui::Slider, 28> sldEffects;
  std::array<ui::Slider, 20> Eq;
  std::array<ui::Slider, 8> UpDown;  // gain and three tone spinners per deck

  std::array<ui::Caption, 2> pctEQ;
  std::array<ui::ListBox, 2> cmbSelect, List1;
  std::array<ui::TextBox, 2> Text2;
  std::array<ui::Button, 4> cmdSelect;
  // What OK does on each deck's preset panel: apply the chosen preset (the
  // panel was opened by "Load") and/or save the sliders ("Save"); the user
  // said Yes to overwriting a preset of the typed name.
  std::array<bool, 2> PresetLoadMode{}, PresetSaveMode{};
  bool PresetOverwrite = false;

  // True only while a started song's own effect record is applied: an
  // effect switched on then takes its parameters from its sliders.
  bool SongEffectsActive = false;
  // What waits for the tempo the engine measures after a song's start, per
  // deck (by DeckId::Index()): the start-BPM handle whose tempo the deck's
  // recalculated-tempo label is to show, and the main stream of a started
  // song whose tempo matching (and own effect record) waits for it; 0 when
  // nothing waits.
  struct StartTempoWait {
    engine::Handle label = 0;
    engine::Handle match = 0;
  };
  std::array<StartTempoWait, 2> StartTempoWaits{};
  // The tag library's format number of the song each deck opened last, read
  // once before its Play for the steps of its start that follow Play.
  std::array<int16_t, 2> LoadedFormat{};
};

// The "Settings" page.
struct SettingsPage {
  std::array<ui::ListBox, 8> cmbSettings;
  std::array<ui::TextBox, 1> txtSettings;
  std::array<ui::Button, 5> cmdSettings;  // 0 "Create", 1 the music folder, 4 help
  std::array<ui::OptionButton, 2> optSettings;
  std::array<ui::Caption, 3> Frame5;  // the speaker-button frames
  std::array<ui::OptionButton, 12> Option2;
};

// The "Search For Songs" page, its popup menu and the import progress.
struct LibraryPage {
  QPointer<Grid> DummyPlaylist;
  std::array<ui::Button, 5> cmdSearch;
  ui::TextBox Text1;
  ui::TextBox txtError;
  ui::Caption mnuTags;
  ui::Button mnuTag, mnuCopy1, mnuCopy2, mnuDelete;
  // Shows the popup menu at the mouse pointer (the window sets it).
  std::function<void(const ui::Caption& menu)> PopupMenu;
  // The file the tag editor shows (set when "Show/Edit the Tags" opens it
  // on the library's current row).
  QString TagFileName;

  ui::Caption Frame11;
  ui::Slider PB{0, 100, 0};

  // Set while songs of the library are analysed: the commands that change the
  // library's rows (sort, delete, create) refuse meanwhile, so that a result
  // never lands in another song's row.
  bool AnalysisRunning = false;
};

class MainState : public WindowServices,
                  public DeckPanels,
                  public DeckEvents,
                  public MixerPanel,
                  public DeckSoundControls,
                  public SettingsPage,
                  public LibraryPage,
                  public AnalysisHost {
 public:
  // The controls with their designed ranges and values, the grids (empty,
  // without columns), the five players and the decks' sound chains.
  MainState();
  ~MainState() override;
  MainState(const MainState&) = delete;
  MainState& operator=(const MainState&) = delete;

  // ------------------------------------------------------ deck helpers
  Grid* Playlist(DeckId deck) const;
  ui::Slider& PositionSlider(DeckId deck) { return deck.IsFirst() ? Position1 : Position2; }
  ui::Slider& VolumeSlider(DeckId deck) { return deck.IsFirst() ? Volume1 : Volume2; }
  ui::Slider& HeadphoneSlider(DeckId deck) { return deck.IsFirst() ? VolumeHP1 : VolumeHP2; }

  // ----------------------------------------------------- AnalysisHost
  void SetLibraryCell(int32_t row, int column, const QVariant& value) override;
  void RedrawLibraryCell(int32_t row, int column) override;
  int32_t SilenceLevel() const override;
  int32_t MainVolumeValue() const override;
  void AppendErrorText(const QString& text) override;
};

}  // namespace djvp
