#include "ui/MainState.h"

#include "automation/Registry.h"
#include "platform/Grid.h"
#include "platform/ModPublic.h"
#include "platform/SystemMixer.h"

#include <QFileInfo>

namespace djvp {

namespace {

// Range and designed value of one of a deck's sliders 0..13 (tempo, sample
// rate, pitch, then the effect parameters).
struct SliderDesign {
  int min, max, value;
};
constexpr SliderDesign kEffectSliderDesign[14] = {
    {-30, 30, 0}, {4100, 84100, 44100}, {-30, 30, 0}, {0, 100, 0},    {1200, 10000, 1200},
    {200, 5000, 200}, {2, 10, 2},       {-200, 200, 0}, {-200, 200, 0}, {0, 600, 0},
    {0, 100, 0},  {1200, 30000, 1200},  {0, 900, 0},  {0, 100, 0}};

void Design(ui::Slider& s, int min, int max, int value) {
  s.setRange(min, max);
  s.setValue(value);
}

}  // namespace

MainState::MainState() {
  for (auto& p : players_) p = std::make_unique<clsBassPlayer>();
  AnalysisPlayer = std::make_unique<clsBassPlayer>();

  for (auto& grid : PlayListView) grid = new Grid();
  DummyPlaylist = new Grid();

  for (size_t d = 0; d < 2; ++d) {
    cTime[d].setText(QStringLiteral(" 00:00.00"));
    rTime[d].setText(QStringLiteral(" 00:00.00"));
    tTime[d].setText(QStringLiteral(" 00:00"));
  }
  for (auto& l : lblBPM) l.setText(QStringLiteral("000.0"));
  for (int deck = 0; deck < 2; ++deck)
    for (int k = 0; k < 4; ++k) {
      const bool gain = k == 0;
      Design(UpDown[static_cast<size_t>(deck * 4 + k)], 0, gain ? 52 : 20, gain ? 26 : 10);
    }
  Design(AutomationSlider[0], 0, 30, 0);
  Design(AutomationSlider[1], 1, 30, 1);
  for (int deck = 0; deck < 2; ++deck)
    for (int k = 0; k < 14; ++k) {
      const SliderDesign& d = kEffectSliderDesign[k];
      // Deck 2's reverb delay reaches further.
      const int max = deck == 1 && k == 4 ? 30000 : d.max;
      ui::Slider& slider = sldEffects[static_cast<size_t>(deck * 14 + k)];
      Design(slider, d.min, max, d.value);
      // Deck 1's big echo wet mix and delay and its flanger sliders move by
      // one also on a page step.
      const bool fine = deck == 0 && (k == 8 || k == 9 || k == 12 || k == 13);
      slider.setChanges(1, fine ? 1 : 5);
    }
  for (auto& band : Eq) {
    Design(band, 0, 10, 5);
    band.setChanges(1, 5);
  }
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
  for (auto& cell : Image1) cell.setVisible(false);

  for (size_t d = 0; d < 2; ++d) {
    ScrollerWidth[d] = 19;
    ScrollerText[d] = QStringLiteral("dj VORLAN") + QString(10, QLatin1Char(' '));
    ScrollerPos[d] = ScrollerWidth[d];
  }
}

MainState::~MainState() {
  if (g_AnalysisHost == this) g_AnalysisHost = nullptr;
  // The grids may sit in a window by now; a window that went first took
  // them with it.
  for (auto& grid : PlayListView) delete grid.data();
  delete DummyPlaylist.data();
}

void MainState::CreateSonavex(const QString& folder) {
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

clsBassPlayer* MainState::Player(int deck, int ab) const {
  if ((deck != 1 && deck != 2) || (ab != 0 && ab != 1)) return nullptr;
  return players_[static_cast<size_t>((deck - 1) * 2 + ab)].get();
}

bool MainState::AnyPlaying() const {
  for (const auto& p : players_)
    if (p->IsPlaying()) return true;
  return false;
}

QString MainState::StatusPanelText(int panel) const {
  if (panel < 1 || panel > 3) return {};
  return StatusPanel[static_cast<size_t>(panel - 1)].text();
}

void MainState::SetStatusPanelText(int panel, const QString& text) {
  if (panel < 1 || panel > 3) return;
  StatusPanel[static_cast<size_t>(panel - 1)].setText(text);
}

Grid* MainState::Playlist(int deck) const {
  return deck == 1 || deck == 2 ? PlayListView[static_cast<size_t>(deck - 1)].data() : nullptr;
}

ui::Slider* MainState::PositionSlider(int deck) {
  return deck == 1 ? &Position1 : deck == 2 ? &Position2 : nullptr;
}

ui::Slider* MainState::VolumeSlider(int deck) { return deck == 1 ? &Volume1 : deck == 2 ? &Volume2 : nullptr; }

ui::Slider* MainState::HeadphoneSlider(int deck) {
  return deck == 1 ? &VolumeHP1 : deck == 2 ? &VolumeHP2 : nullptr;
}

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
