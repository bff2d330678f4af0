// The control handlers of the main window that the decks, the mixer, the
// effects and the library fill in. Here they do what the window's start and
// settings need of them: apply the value to the window and store it under its
// key the moment the control changes.
#include "app/frmMain.h"

#include "app/Globals.h"
#include "app/SettingsValue.h"
#include "decks/MixerCurve.h"
#include "decks/MixerSliders.h"
#include "decks/PlaybackTimer.h"
#include "display/ScrollerDeck.h"
#include "platform/Grid.h"
#include "platform/Settings.h"
#include "platform/SystemMixer.h"
#include "platform/Timer.h"
#include "playlists/Playlists.h"
#include "StringTable.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>

namespace djvp {

namespace {

const QString kApp = QStringLiteral("DJVP");
QString T(int n) { return QString::fromStdString(Tr(n)); }
void Save(const QString& section, const QString& key, const QString& value) { SaveSetting(kApp, section, key, value); }

const char* const kEffectKeys[14] = {"PitchTempo", "PitchSample", "PitchScaling", "ReverbLevel", "ReverbDelay",
                                     "LowPassCut", "LowPassResonance", "Echo3DryMix", "Echo3WetMix", "Echo3Delay",
                                     "EchoLevel", "EchoDelay", "FlangerSpeed", "FlangerWetDry"};

}  // namespace

void frmMain::ConnectHandlers() {
  for (int i = 0; i < 20; ++i)
    connect(cmdPlayer[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdPlayer_Click(i); });
  for (int i = 0; i < 3; ++i) {
    connect(PlayListView[static_cast<size_t>(i)], &Grid::ColumnClick, this,
            [this, i](int column) { PlayListView_ColumnClick(i, column); });
    connect(PlayListView[static_cast<size_t>(i)], &Grid::DblClick, this, [this, i] { PlayListView_DblClick(i); });
  }
  for (int i = 0; i < 5; ++i)
    connect(cmdSearch[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdSearch_Click(i); });
  for (int i = 0; i < 4; ++i) {
    connect(cmdEffects[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdEffects_Click(i); });
    connect(cmdSelect[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdSelect_Click(i); });
    connect(Check1[static_cast<size_t>(i)], &QCheckBox::toggled, this, [this, i] { Check1_Click(i); });
  }
  for (int i = 0; i < 2; ++i) {
    connect(cmdSettings[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdSettings_Click(i); });
    connect(AutomationSlider[static_cast<size_t>(i)], &QSlider::valueChanged, this,
            [this, i] { AutomationSlider_ValueChanged(i); });
  }
  for (int i = 0; i < 6; ++i)
    connect(MixPreview[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { MixPreview_Click(i); });
  for (int i = 0; i < 18; ++i)
    connect(Effects[static_cast<size_t>(i)], &QCheckBox::toggled, this, [this, i] { Effects_Click(i); });
  for (int i = 0; i < 8; ++i)
    connect(UpDown[static_cast<size_t>(i)], &QSpinBox::valueChanged, this, [this, i] { UpDown_ValueChanged(i); });
  for (int i = 0; i < 20; ++i)
    connect(Eq[static_cast<size_t>(i)], &QSlider::valueChanged, this, [this, i] { Eq_ValueChanged(i); });
  for (int i = 0; i < 28; ++i)
    connect(sldEffects[static_cast<size_t>(i)], &QSlider::valueChanged, this, [this, i] { sldEffects_ValueChanged(i); });
  // A list runs its handler when the user picks an entry, even the one
  // already shown; code goes through SelectListEntry.
  for (int i = 0; i < 8; ++i)
    connect(cmbSettings[static_cast<size_t>(i)], &QComboBox::activated, this, [this, i] { cmbSettings_Click(i); });
  connect(TabStrip1, &QTabBar::tabBarClicked, this, [this](int tab) {
    TabStrip1->setCurrentIndex(tab);
    TabStrip1_Click();
  });
  connect(TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });
  connect(MainVolume, &QSlider::valueChanged, this, [this] { MainVolume_ValueChanged(); });
  connect(MixerTime, &QSlider::valueChanged, this, [this] { MixerTime_ValueChanged(); });
  connect(VolumeHP1, &QSlider::valueChanged, this, [this] { VolumeHP1_ValueChanged(); });
  connect(VolumeHP2, &QSlider::valueChanged, this, [this] { VolumeHP2_ValueChanged(); });
  connect(Volume1, &QSlider::valueChanged, this, [this] { Volume1_ValueChanged(); });
  connect(Volume2, &QSlider::valueChanged, this, [this] { Volume2_ValueChanged(); });
  connect(Position1, &QSlider::valueChanged, this, [this] { Position1_ValueChanged(); });
  connect(Position2, &QSlider::valueChanged, this, [this] { Position2_ValueChanged(); });
  connect(Slider1, &QSlider::valueChanged, this, [this] { Slider1_ValueChanged(); });
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  // F1 opens the help wherever the focus is in the window, with any modifier.
  for (const QKeyCombination keys : {QKeyCombination(Qt::Key_F1), QKeyCombination(Qt::SHIFT, Qt::Key_F1),
                                     QKeyCombination(Qt::CTRL, Qt::Key_F1), QKeyCombination(Qt::ALT, Qt::Key_F1)}) {
    auto* help = new QShortcut(QKeySequence(keys), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this, keys] { Form_KeyDown(Qt::Key_F1, keys.keyboardModifiers()); });
  }
}

void frmMain::MainVolume_ValueChanged() {
  if (!SystemVolume) return;
  SystemVolume->WaveVolume(static_cast<int32_t>(RoundHalfEven(WaveVolumeStep * (100.0 - MainVolume->value()))));
}

void frmMain::tmrPlaying_ThatTime() { decks::tmrPlaying_ThatTime(*this); }

void frmMain::MixerTime_ValueChanged() {
  MixTime = static_cast<int16_t>(MixerTime->value());
  lblTime->setText(QString::number(MixTime) + QLatin1Char(' ') + T(559));
  Save(QStringLiteral("Mixer"), QStringLiteral("MixTime"), QString::number(MixTime));
}

void frmMain::MixPreview_Click(int index) { mixer::MixPreview_Click(*this, index); }

void frmMain::DrawCrossfadeCurve() { mixer::DrawCrossfadeCurve(*this); }

void frmMain::Check1_Click(int index) {
  if (index < 0 || index > 3) return;
  const bool on = Check1[static_cast<size_t>(index)]->isChecked();
  static const char* const keys[4] = {"Automix", "AutoGain", "AutoBPM", "MixPoints"};
  bool* fields[4] = {&AutomixOn, &AutoGainOn, &AutoBPMOn, &UseMixPoints};
  *fields[index] = on;
  if (index == 0) {
    Slider1->setVisible(!on);
    if (QLabel* l = SCLabel1(149)) l->setVisible(!on);
  }
  Save(QStringLiteral("Settings"), QLatin1String(keys[index]), on ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmMain::AutomationSlider_ValueChanged(int index) {
  if (index < 0 || index > 1) return;
  Save(QStringLiteral("Settings"), index == 0 ? QStringLiteral("BPMPercent") : QStringLiteral("GainPercent"),
       QString::number(AutomationSlider[static_cast<size_t>(index)]->value()));
}

void frmMain::VolumeHP1_ValueChanged() { mixer::VolumeHP_ValueChanged(*this, 0); }

void frmMain::VolumeHP2_ValueChanged() { mixer::VolumeHP_ValueChanged(*this, 1); }

void frmMain::Command1_Click() { mixer::Command1_Click(*this); }

void frmMain::Effects_Click(int index) {
  if (index < 0 || index > 17) return;
  const int deck = index < 9 ? 0 : 1;
  const int k = deck == 0 ? index : 17 - index;  // deck 1's box number
  const QString section = deck == 0 ? QStringLiteral("Player1") : QStringLiteral("Player2");
  QCheckBox* box = Effects[static_cast<size_t>(index)];
  if (k == 0) {
    // Equalizer: the bands back to 5, the tone spinners from their keys.
    for (int band = 0; band < 10; ++band) {
      Eq[static_cast<size_t>(deck * 10 + band)]->setValue(5);
      Eq_ValueChanged(deck * 10 + band);
    }
    const QString eq = deck == 0 ? QStringLiteral("Eq1") : QStringLiteral("Eq2");
    int16_t tone = 0;
    const char* const keys[3] = {"High", "Mid", "Bass"};
    for (int t = 0; t < 3; ++t) {
      if (const auto v = SettingToInt16(GetSetting(kApp, eq, QLatin1String(keys[t]), QStringLiteral("10")))) tone = *v;
      QSpinBox* s = UpDown[static_cast<size_t>(deck * 4 + 1 + t)];
      if (tone >= s->minimum() && tone <= s->maximum()) s->setValue(tone);
    }
    Save(section, QStringLiteral("Equalizer"), QStringLiteral("0"));
    box->setChecked(true);
    return;
  }
  if (k == 1) {
    // Pitch: tempo, sample rate and pitch back to 0, 44100 and 0.
    const int values[3] = {0, 44100, 0};
    for (int p = 0; p < 3; ++p) {
      sldEffects[static_cast<size_t>(deck * 14 + p)]->setValue(values[p]);
      sldEffects_ValueChanged(deck * 14 + p);
    }
    Save(section, QStringLiteral("Pitch"), QStringLiteral("0"));
    box->setChecked(true);
    if (QLabel* l = SCLabel1(deck == 0 ? 38 : 62)) l->setText(T(553));
    return;
  }
  static const char* const switchKeys[9] = {"", "", "Reverb", "LowPass", "Echo3", "Rotate", "Swap", "Echo", "Flanger"};
  Save(section, QLatin1String(switchKeys[k]), box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmMain::UpDown_ValueChanged(int index) {
  if (index < 0 || index > 7) return;
  const int deck = index / 4;
  const int k = index % 4;
  const QString value = QString::number(UpDown[static_cast<size_t>(index)]->value());
  if (k == 0) {
    Save(deck == 0 ? QStringLiteral("Player1") : QStringLiteral("Player2"), QStringLiteral("Gain"), value);
  } else {
    static const char* const keys[4] = {"", "High", "Mid", "Bass"};
    Save(deck == 0 ? QStringLiteral("Eq1") : QStringLiteral("Eq2"), QLatin1String(keys[k]), value);
  }
}

void frmMain::Eq_ValueChanged(int index) {
  if (index < 0 || index > 19) return;
  Save(index < 10 ? QStringLiteral("Eq1") : QStringLiteral("Eq2"), QString::number(index % 10),
       QString::number(Eq[static_cast<size_t>(index)]->value()));
}

void frmMain::sldEffects_ValueChanged(int index) {
  if (index < 0 || index > 27) return;
  Save(index < 14 ? QStringLiteral("Player1") : QStringLiteral("Player2"), QLatin1String(kEffectKeys[index % 14]),
       QString::number(sldEffects[static_cast<size_t>(index)]->value()));
}

// The deck buttons: the playlist buttons here, the transport buttons through
// the decks.
void frmMain::cmdPlayer_Click(int index) { playlists::cmdPlayer_Click(*this, index); }
void frmMain::PlayListView_ColumnClick(int index, int column) { playlists::PlayListView_ColumnClick(*this, index, column); }
void frmMain::PlayListView_DblClick(int index) { playlists::PlayListView_DblClick(*this, index); }

// Filled in by the displays, playlists, decks, effects and library.
void frmMain::tmrScroller1_ThatTime() { ScrollerDeckTick(*this, 0); }
void frmMain::tmrScroller2_ThatTime() { ScrollerDeckTick(*this, 1); }
void frmMain::tmrdBVolume_ThatTime() {}
void frmMain::tmrdB1_ThatTime() {}
void frmMain::tmrdB2_ThatTime() {}
void frmMain::cmdSearch_Click(int) {}
void frmMain::cmdEffects_Click(int) {}
void frmMain::cmdSelect_Click(int) {}
void frmMain::cmdSettings_Click(int) {}
void frmMain::Position1_ValueChanged() { mixer::Position_ValueChanged(*this, 0); }
void frmMain::Position2_ValueChanged() { mixer::Position_ValueChanged(*this, 1); }
void frmMain::Volume1_ValueChanged() { mixer::Volume_ValueChanged(*this, 0); }
void frmMain::Volume2_ValueChanged() { mixer::Volume_ValueChanged(*this, 1); }
void frmMain::Slider1_ValueChanged() { mixer::Slider1_ValueChanged(*this); }

}  // namespace djvp
