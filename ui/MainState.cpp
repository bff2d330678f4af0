#include "ui/MainState.h"

#include "automation/Registry.h"
#include "engine/dsp/Dsp.h"
#include "platform/Grid.h"
#include "platform/ModPublic.h"
#include "platform/SystemMixer.h"
#include "ui/ControlRanges.h"

#include <QFileInfo>

namespace djvp {

namespace {

// Ten flat peaking bands at 80, 170, 310, 600, 1000, 3000, 6000, 12000,
// 14000 and 16000 Hz.
void SetUpEqualizerBands(engine::Handle chain) {
  static constexpr float kCentres[10] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  if (!engine::AddEffect(chain, engine::dsp::kPeakEq, 0)) return;
  for (int band = 0; band < 10; ++band) {
    engine::dsp::PeakEqParams p{};
    p.band = band;
    p.freq = 44100;
    p.bandwidth = 2.5f;
    p.q = 0;
    p.center = kCentres[band];
    p.gain = 0;
    engine::SetEffectParameters(chain, engine::dsp::kPeakEq, &p);
  }
}

// The gain: a volume effect among the switched effects (priority 1), before
// the bands.
void SetUpGain(engine::Handle chain) {
  if (!engine::AddEffect(chain, engine::dsp::kVolume, 1)) return;
  engine::dsp::VolumeParams r{};
  engine::GetEffectParameters(chain, engine::dsp::kVolume, &r);
  r.channel = 0;
  r.volume = 1;
  engine::SetEffectParameters(chain, engine::dsp::kVolume, &r);
}

void Design(ui::Slider& s, const ui::ControlRange& r) {
  s.setRange(r.min, r.max);
  s.setValue(r.value);
  s.setChanges(r.smallChange, r.largeChange);
}

}  // namespace

WindowServices::WindowServices() {
  for (auto& p : players_) p = std::make_unique<clsBassPlayer>();
  AnalysisPlayer = std::make_unique<clsBassPlayer>();
  for (DeckId deck : kBothDecks) {
    chains_[deck.Index()] = engine::CreateChain();
    // Ten flat equaliser bands, which the deck's band and tone controls
    // move, and the gain at unity.
    SetUpEqualizerBands(chains_[deck.Index()]);
    SetUpGain(chains_[deck.Index()]);
    // Both players of the deck play through it.
    for (int ab = 0; ab < 2; ++ab) players_[deck.Slot(2, ab)]->Chain(chains_[deck.Index()]);
  }
}

WindowServices::~WindowServices() {
  for (auto& p : players_) p.reset();
  for (engine::Handle chain : chains_) engine::FreeChain(chain);
}

DeckPanels::DeckPanels() {
  for (size_t d = 0; d < 2; ++d) {
    cTime[d].setText(QStringLiteral(" 00:00.00"));
    rTime[d].setText(QStringLiteral(" 00:00.00"));
    tTime[d].setText(QStringLiteral(" 00:00"));
  }
  for (auto& l : lblBPM) l.setText(QStringLiteral("000.0"));
  // The title displays show their resting text from the start; their cells
  // stay hidden until a tick draws into them.
  for (auto& cell : Image1) cell.setVisible(false);
  for (size_t d = 0; d < 2; ++d) {
    ScrollerWidth[d] = 19;
    ScrollerText[d] = QStringLiteral("dj VORLAN") + QString(10, QLatin1Char(' '));
    ScrollerPos[d] = ScrollerWidth[d];
  }
}

MainState::MainState() {

  for (auto& grid : PlayListView) grid = new Grid();
  DummyPlaylist = new Grid();

  for (DeckId deck : kBothDecks) {
    for (int k = 0; k < ui::kDeckSliders; ++k)
      Design(sldEffects[deck.Slot(ui::kDeckSliders, k)], ui::DeckSliderRange(deck, k));
    for (int band = 0; band < ui::kDeckBands; ++band) Design(Eq[deck.Slot(ui::kDeckBands, band)], ui::kBandRange);
    for (int k = 0; k < ui::kDeckSpinners; ++k) Design(UpDown[deck.Slot(ui::kDeckSpinners, k)], ui::DeckSpinnerRange(k));
    Design(VolumeSlider(deck), ui::kDeckVolumeRange);
    Design(HeadphoneSlider(deck), ui::kDeckVolumeRange);
    Design(PositionSlider(deck), ui::kPositionRange);
  }
  Design(Slider1, ui::kCrossfaderRange);
  Design(MainVolume, ui::kMasterVolumeRange);
  Design(MixerTime, ui::kMixTimeRange);
  for (int k = 0; k < 2; ++k) Design(AutomationSlider[static_cast<size_t>(k)], ui::AutomationSliderRange(k));
  cmbSettings[ctl::kLanguageList].addItems({QStringLiteral("English"), QStringLiteral("Nederlands")});
  optSettings[0].setChecked(true);

  // Hidden until they are asked for.
  Frame11.setVisible(false);
  for (size_t d = 0; d < 2; ++d) {
    pctEQ[d].setVisible(false);
    List1[d].setVisible(false);
    Text2[d].setVisible(false);
  }
  txtError.setVisible(false);

}

MainState::~MainState() {
  if (g_AnalysisHost == this) g_AnalysisHost = nullptr;
  // The grids may sit in a window by now; a window that went first took
  // them with it.
  for (auto& grid : PlayListView) delete grid.data();
  delete DummyPlaylist.data();
}

void WindowServices::CreateSonavex(const QString& folder) {
  // The tag library lies beside the program; register it there when its
  // class is not registered or points to another copy.
  const QString library = modPublic_AddBackslash(folder) + QStringLiteral("libSonavex2.so");
  automation::Registry reg;
  reg.Load();
  const std::string clsid = reg.Get(std::string("ProgID\\") + "SONAVEX.SonavexCtrl.1", "CLSID");
  const std::string registered = clsid.empty() ? std::string() : reg.Get("CLSID\\" + clsid, "InprocServer");
  if (QFileInfo::exists(library) && QFileInfo(QString::fromStdString(registered)).canonicalFilePath() !=
                                        QFileInfo(library).canonicalFilePath())
    automation::RegisterLibrary(library.toStdString());
  automation::DispatchPtr control;
  if (automation::CreateObject("SONAVEX.SonavexCtrl.1", control) == AUTO_S_OK) Sonavex1 = control;
}

clsBassPlayer* WindowServices::Player(DeckId deck, int ab) const {
  if (ab != 0 && ab != 1) return nullptr;
  return players_[deck.Slot(2, ab)].get();
}

bool WindowServices::AnyPlaying() const {
  for (const auto& p : players_)
    if (p->IsPlaying()) return true;
  return false;
}

QString WindowServices::StatusPanelText(int panel) const {
  if (panel < 1 || panel > 3) return {};
  return StatusPanel[static_cast<size_t>(panel - 1)].text();
}

void WindowServices::SetStatusPanelText(int panel, const QString& text) {
  if (panel < 1 || panel > 3) return;
  StatusPanel[static_cast<size_t>(panel - 1)].setText(text);
}

Grid* MainState::Playlist(DeckId deck) const { return PlayListView[deck.Index()].data(); }

void MainState::SetLibraryCell(int32_t row, int column, const QVariant& value) {
  if (DummyPlaylist) DummyPlaylist->SetCellValue(row, column, value);
}

void MainState::RedrawLibraryCell(int32_t row, int column) {
  if (DummyPlaylist) DummyPlaylist->RepaintCell(row, column);
}

int32_t MainState::SilenceLevel() const { return AutomationSlider[1].value(); }

int32_t MainState::MainVolumeValue() const { return MainVolume.value(); }

void MainState::AppendErrorText(const QString& text) { txtError.append(text); }

}  // namespace djvp
