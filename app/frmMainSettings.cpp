// The settings page (skin, sound devices, speaker layouts, language) and the
// loading of every stored setting at start.
#include "app/frmMain.h"

#include "app/Globals.h"
#include "app/SettingsValue.h"
#include "audio/ModBass.h"
#include "engine/Engine.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/ModPublic.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "platform/SkinEngine.h"
#include "StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>

namespace djvp {

namespace {

const QString kApp = QStringLiteral("DJVP");

QString T(int n) { return QString::fromStdString(Tr(n)); }

QString Get(const QString& section, const QString& key, const QString& defaultValue) {
  return GetSetting(kApp, section, key, defaultValue);
}

void Save(const QString& section, const QString& key, const QString& value) { SaveSetting(kApp, section, key, value); }

// The speaker-pair buttons of deck 1, deck 2 and the headphones, in the order
// front, rear/side, centre/subwoofer, rear/centre (speaker codes 1 to 4).
constexpr int kSpeakerButtons[3][4] = {{0, 1, 2, 3}, {7, 6, 5, 4}, {11, 10, 9, 8}};

// The keys of the effect sliders 0..13 of a deck, with their defaults.
const char* const kEffectKeys[14] = {"PitchTempo", "PitchSample", "PitchScaling", "ReverbLevel", "ReverbDelay",
                                     "LowPassCut", "LowPassResonance", "Echo3DryMix", "Echo3WetMix", "Echo3Delay",
                                     "EchoLevel", "EchoDelay", "FlangerSpeed", "FlangerWetdry"};

}  // namespace

void frmMain::SetHeadphoneGroupVisible(bool visible) {
  for (QWidget* w : std::initializer_list<QWidget*>{SCLabel1(139), VolumeHP1, VolumeHP2, Command1, SCLabel1(151),
                                                    cmbSettings[6], Frame5[2]})
    if (w) w->setVisible(visible);
}

void frmMain::SelectSpeakerButtons(int list, int entry) {
  const int output = list - 4;
  for (int b = 0; b < 4; ++b) {
    QRadioButton* button = Option2[static_cast<size_t>(kSpeakerButtons[output][b])];
    // "2 speakers" hides all four; 4 shows two, 5.1 three, 7.1 all.
    button->setVisible(b < entry + 1 && entry > 0);
  }
}

void frmMain::cmbSettings_Click(int index) {
  if (index < 0 || index > 7) return;
  const int n = cmbSettings[static_cast<size_t>(index)]->currentIndex();
  const QString entryText = QString::number(n);
  switch (index) {
    case 0: {  // skin
      SkinApplyPending = true;
      if (n >= 0 && n <= 1000) skinEngine->LoadSkinFile(SkinFiles[static_cast<size_t>(n)]);
      skinEngine->ApplySkin(this);
      Save(QStringLiteral("Skin"), QStringLiteral("Name"), entryText);
      // The file too, so that the choice survives skins added or removed.
      if (n >= 0 && n <= 1000)
        Save(QStringLiteral("Skin"), QStringLiteral("File"), QFileInfo(SkinFiles[static_cast<size_t>(n)]).fileName());
      break;
    }
    case 1: {  // deck 1 device
      if (n < 0) break;  // no entry chosen: nothing to apply
      Save(QStringLiteral("Devices"), QStringLiteral("Device1"), entryText);
      if (!Devices.Use(DeviceSet::kDeck1, n + 1, 0, AnyPlaying()))
        MsgBox(QStringLiteral("Can't initialize the device for Player 1"));
      Deck1PlayerA->device(static_cast<int16_t>(n + 1));
      Deck1PlayerB->device(static_cast<int16_t>(n + 1));
      break;
    }
    case 2: {  // deck 2 device
      if (n < 0) break;
      Save(QStringLiteral("Devices"), QStringLiteral("Device2"), entryText);
      if (!Devices.Use(DeviceSet::kDeck2, n + 1, 0, AnyPlaying()))
        MsgBox(QStringLiteral("Can't initialize the device for Player 2"));
      Deck2PlayerA->device(static_cast<int16_t>(n + 1));
      Deck2PlayerB->device(static_cast<int16_t>(n + 1));
      break;
    }
    case 3: {  // headphones
      if (n == 0) {
        for (clsBassPlayer* p : {Deck1PlayerA, Deck1PlayerB, Deck2PlayerA, Deck2PlayerB}) p->PreDevice(0);
        SetHeadphoneGroupVisible(false);
        Save(QStringLiteral("Devices"), QStringLiteral("Device3"), QStringLiteral("0"));
        Devices.Drop(DeviceSet::kHeadphones, AnyPlaying());
        // Without a headphone device there is nothing to pre-listen on.
        if (PreListenOn) Command1_Click();
      } else if (n > 0) {
        Save(QStringLiteral("Devices"), QStringLiteral("Device3"), entryText);
        if (!Devices.Use(DeviceSet::kHeadphones, n, 0, AnyPlaying())) MsgBox(T(236));
        for (clsBassPlayer* p : {Deck1PlayerA, Deck1PlayerB, Deck2PlayerA, Deck2PlayerB})
          p->PreDevice(static_cast<int16_t>(n));
        SetHeadphoneGroupVisible(true);
      }
      break;
    }
    case 4:
    case 5:
    case 6: {  // speaker layouts
      const int output = index - 4;
      if (n == 0) {
        if (output == 0) {
          Deck1PlayerA->Speaker(0);
          Deck1PlayerB->Speaker(0);
        } else if (output == 1) {
          Deck2PlayerA->Speaker(0);
          Deck2PlayerB->Speaker(0);
        } else {
          for (clsBassPlayer* p : {Deck1PlayerA, Deck1PlayerB, Deck2PlayerA, Deck2PlayerB}) p->PreSpeaker(0);
        }
        Save(QStringLiteral("Speakers"), QStringLiteral("Speaker%1").arg(output + 1), QStringLiteral("0"));
      }
      if (n >= 0 && n <= 3) SelectSpeakerButtons(index, n);
      Save(QStringLiteral("Speakerchoice"), QStringLiteral("Speaker%1").arg(output + 1), entryText);
      break;
    }
    case 7: {  // language
      Save(QStringLiteral("Language"), QStringLiteral("Current"), entryText);
      if (n == 0) LangOffset = 0;
      if (n == 1) LangOffset = 1000;
      ApplyInterfaceTexts();
      RebuildTabs();
      optSettings[0]->update();
      optSettings[1]->update();
      {
        const QSignalBlocker block(cmbSettings[3]);
        cmbSettings[3]->clear();
        cmbSettings[3]->addItem(T(554));
        for (const std::string& name : OutputDeviceNames()) cmbSettings[3]->addItem(modBass_StrFromAnsiPtr(name.c_str()));
        cmbSettings[3]->setCurrentIndex(-1);
      }
      if (const auto stored = SettingToInt16(Get(QStringLiteral("Devices"), QStringLiteral("Device3"), QStringLiteral("0"))))
        SelectListEntry(3, *stored);
      SetGridHeaders();
      break;
    }
    default:
      break;
  }
}

void frmMain::LoadSettings() {
  // 1. Crossfade time.
  if (const auto v = SettingToInt16(Get(QStringLiteral("Mixer"), QStringLiteral("MixTime"), QStringLiteral("20"))))
    MixTime = *v;
  SetValueInRange(MixerTime, MixTime);
  MixerTime_ValueChanged();

  // 2. Automix switches.
  auto readSwitch = [&](const char* key, const char* defaultValue, bool& field, size_t box) {
    if (const auto v = SettingToBool(Get(QStringLiteral("Settings"), QLatin1String(key), QLatin1String(defaultValue))))
      field = *v;
    Check1[box]->setChecked(field);
  };
  readSwitch("Automix", "1", AutomixOn, 0);
  Slider1->setVisible(!AutomixOn);
  if (QLabel* l = SCLabel1(149)) l->setVisible(!AutomixOn);
  readSwitch("AutoBPM", "0", AutoBPMOn, 2);
  readSwitch("AutoGain", "1", AutoGainOn, 1);
  readSwitch("MixPoints", "0", UseMixPoints, 3);

  // 3. Music folder: the user's music folder unless one is stored.
  QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (music.isEmpty()) music = modPublic_AddBackslash(QDir::homePath()) + QStringLiteral("MyMusic");
  txtSettings[0]->setText(Get(QStringLiteral("Settings"), QStringLiteral("Directory"), music));
  txtSettings[0]->setToolTip(txtSettings[0]->text());

  // 4. Automation sliders.
  if (const auto v = SettingToInt16(Get(QStringLiteral("Settings"), QStringLiteral("BPMPercent"), QStringLiteral("10"))))
    SetValueInRange(AutomationSlider[0], *v);
  if (const auto v = SettingToInt16(Get(QStringLiteral("Settings"), QStringLiteral("GainPercent"), QStringLiteral("10"))))
    SetValueInRange(AutomationSlider[1], *v);

  // 5. Crossfade curve: a preset, or the user's own curve (100).
  const auto preview = SettingToDouble(Get(QStringLiteral("Mixer"), QStringLiteral("Preview"), QStringLiteral("2")));
  if (preview && *preview != 100.0) {
    if (const auto index = SettingToInt16(QString::number(*preview, 'g', 17))) MixPreview_Click(*index);
  } else {
    auto readPoint = [&](const char* key, const char* defaultValue, int16_t& field) {
      if (const auto v = SettingToInt16(Get(QStringLiteral("Mixer"), QLatin1String(key), QLatin1String(defaultValue))))
        field = *v;
    };
    readPoint("MixLeftD", "100", MixLeftD);
    readPoint("MixRightD", "0", MixRightD);
    readPoint("MixLeftU", "10", MixLeftU);
    readPoint("MixRightU", "90", MixRightU);
    DrawCrossfadeCurve();
  }

  // The equaliser bands and effect parameters are read now, before the
  // Equalizer and Pitch boxes below reset (and store) them.
  std::array<QString, 20> eqStored;
  for (int band = 0; band < 20; ++band)
    eqStored[static_cast<size_t>(band)] =
        Get(band < 10 ? QStringLiteral("Eq1") : QStringLiteral("Eq2"), QString::number(band % 10), QStringLiteral("5"));
  std::array<QString, 28> effectStored;
  for (int s = 0; s < 28; ++s)
    effectStored[static_cast<size_t>(s)] = Get(s < 14 ? QStringLiteral("Player1") : QStringLiteral("Player2"),
                                               QLatin1String(kEffectKeys[s % 14]),
                                               s % 14 == 1 ? QStringLiteral("44100") : QStringLiteral("0"));

  // 6-9. Effect switches, tone and gain of both decks.
  auto readBox = [&](const QString& section, const char* key, size_t box) {
    const auto v = SettingToInt16(Get(section, QLatin1String(key), QStringLiteral("0")));
    if (!v || (*v != 0 && *v != 1)) return;
    Effects[box]->setChecked(*v == 1);
  };
  auto readSpinner = [&](const QString& section, const char* key, const char* defaultValue, size_t spinner) {
    if (const auto v = SettingToInt16(Get(section, QLatin1String(key), QLatin1String(defaultValue))))
      SetValueInRange(UpDown[spinner], *v);
  };
  const char* const switchKeys[7] = {"Echo", "Flanger", "Reverb", "LowPass", "Echo3", "Swap", "Rotate"};
  const size_t deck1Boxes[7] = {7, 8, 2, 3, 4, 6, 5};
  const size_t deck2Boxes[7] = {10, 9, 15, 14, 13, 11, 12};
  Effects[0]->setChecked(true);
  Effects[1]->setChecked(true);
  for (int k = 0; k < 7; ++k) readBox(QStringLiteral("Player1"), switchKeys[k], deck1Boxes[k]);
  readSpinner(QStringLiteral("Eq1"), "High", "10", 1);
  readSpinner(QStringLiteral("Eq1"), "Mid", "10", 2);
  readSpinner(QStringLiteral("Eq1"), "Bass", "10", 3);
  readSpinner(QStringLiteral("Player1"), "Gain", "26", 0);
  Effects[17]->setChecked(true);
  Effects[16]->setChecked(true);
  for (int k = 0; k < 7; ++k) readBox(QStringLiteral("Player2"), switchKeys[k], deck2Boxes[k]);
  readSpinner(QStringLiteral("Eq2"), "High", "10", 5);
  readSpinner(QStringLiteral("Eq2"), "Mid", "10", 6);
  readSpinner(QStringLiteral("Eq2"), "Bass", "10", 7);
  readSpinner(QStringLiteral("Player2"), "Gain", "26", 4);

  // 10-11. Equaliser bands and effect parameters, as stored before the resets.
  for (size_t band = 0; band < eqStored.size(); ++band)
    if (const auto v = SettingToInt32(eqStored[band])) SetValueInRange(Eq[band], *v);
  for (size_t s = 0; s < effectStored.size(); ++s)
    if (const auto v = SettingToInt32(effectStored[s])) SetValueInRange(sldEffects[s], *v);

  // 12. Devices. A stored entry that the list no longer has falls back to
  // the first device (for the headphones to "None") with a message.
  int16_t D[4] = {0, 0, 0, 0};
  for (int n = 1; n <= 3; ++n) {
    const auto v = SettingToInt16(Get(QStringLiteral("Devices"), QStringLiteral("Device%1").arg(n), QStringLiteral("0")));
    if (!v) continue;
    D[n] = *v == -1 ? 0 : *v;
    QComboBox* list = cmbSettings[static_cast<size_t>(n)];
    if (*v >= list->count() && list->count() > (n == 3 ? 1 : 0)) {
      D[n] = 0;
      MsgBox(n == 3 ? QStringLiteral("The sound device for the Headphone is no longer available; no headphone device is used.")
                    : QStringLiteral("The sound device for Player %1 is no longer available; the first device is used.").arg(n));
      SelectListEntry(n, 0);
    } else {
      SelectListEntry(n, *v);
    }
  }

  // 13. Speaker layouts.
  for (int k = 0; k < 3; ++k) {
    if (const auto v = SettingToInt16(Get(QStringLiteral("Speakerchoice"), QStringLiteral("Speaker%1").arg(k + 1), QStringLiteral("0"))))
      SelectListEntry(4 + k, *v);
  }

  // 14-15. Speaker codes and their buttons.
  int16_t S[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    if (const auto v = SettingToInt16(Get(QStringLiteral("Speakers"), QStringLiteral("Speaker%1").arg(k + 1), QStringLiteral("0"))))
      S[k] = *v;
    if (S[k] >= 1 && S[k] <= 4) Option2[static_cast<size_t>(kSpeakerButtons[k][S[k] - 1])]->setChecked(true);
  }

  // 16. The players' devices and speaker codes.
  Deck1PlayerA->device(static_cast<int16_t>(D[1] + 1));
  Deck1PlayerB->device(static_cast<int16_t>(D[1] + 1));
  Deck2PlayerA->device(static_cast<int16_t>(D[2] + 1));
  Deck2PlayerB->device(static_cast<int16_t>(D[2] + 1));
  for (clsBassPlayer* p : {Deck1PlayerA, Deck1PlayerB, Deck2PlayerA, Deck2PlayerB}) p->PreDevice(D[3]);
  for (clsBassPlayer* p : {Deck1PlayerA, Deck1PlayerB, Deck2PlayerA, Deck2PlayerB}) p->PreSpeaker(S[2]);
  Deck1PlayerA->Speaker(S[0]);
  Deck1PlayerB->Speaker(S[0]);
  Deck2PlayerA->Speaker(S[1]);
  Deck2PlayerB->Speaker(S[1]);

  // 17-19. Every output's device is open once the load ends, with the
  // speaker assignment when a speaker pair is chosen. The list handlers
  // above opened the devices they were given; here the devices are opened
  // that no handler reached, or opened again with speaker assignment. A
  // device that does not exist is left alone.
  const int deviceCount = static_cast<int>(OutputDeviceNames().size());
  auto exists = [deviceCount](int device) { return device >= 1 && device <= deviceCount; };
  const bool sharedDeck = D[1] == D[2];
  const uint32_t flags1 = (S[0] >= 1 && (!sharedDeck || S[1] >= 1)) ? engine::kInitSpeakers : 0;
  const uint32_t flags2 = (S[1] >= 1 && (!sharedDeck || S[0] >= 1)) ? engine::kInitSpeakers : 0;
  bool deckFailed = false;
  if (exists(D[1] + 1) && (flags1 != 0 || Devices.DeviceOf(DeviceSet::kDeck1) != D[1] + 1))
    deckFailed |= !Devices.Use(DeviceSet::kDeck1, D[1] + 1, flags1, false);
  if (exists(D[2] + 1) && (flags2 != 0 || Devices.DeviceOf(DeviceSet::kDeck2) != D[2] + 1))
    deckFailed |= !Devices.Use(DeviceSet::kDeck2, D[2] + 1, flags2, false);
  if (deckFailed) MsgBox(T(244));
  if (D[3] >= 1 && exists(D[3])) {
    const uint32_t flags3 = S[2] >= 1 ? engine::kInitSpeakers : 0;
    if ((flags3 != 0 || Devices.DeviceOf(DeviceSet::kHeadphones) != D[3]) &&
        !Devices.Use(DeviceSet::kHeadphones, D[3], flags3, false))
      MsgBox(T(245));
  }
}

void frmMain::ListSkins(const QString& folder, const QString& mask) {
  djvp::ListSkins(folder, mask, *cmbSettings[0], SkinFiles,
                  [this](const QString& path) { return skinEngine ? skinEngine->SkinNameOf(path) : QString(); });
  // No skin is chosen until the window's first activation chooses one.
  const QSignalBlocker block(cmbSettings[0]);
  cmbSettings[0]->setCurrentIndex(-1);
}

void frmMain::DrawDisplays() {
  for (size_t i = 0; i < 2; ++i) BlendPanel(*pctScroller[i], pctLCD[i]->Picture(), 0, 0);
  for (size_t i = 0; i < 2; ++i) BlendPanel(*pctTime[i], pctLCDmini[i]->Picture(), -1, -1);
  for (size_t i : {0u, 2u, 1u, 3u}) BlendPanel(*pctBPM[i], pctLCDBPM[i]->Picture(), 0, 0);
  DrawMeterUnlit(*pctVolume1, DeckLeds);
  DrawMeterUnlit(*pctVolume2, DeckLeds);
  DrawMeterUnlit(*pctVolumeLeft, MasterLeds);
  DrawMeterUnlit(*pctVolumeRight, MasterLeds);
}

namespace {
// The 13 columns of a track row: key and header string.
struct TrackColumn {
  const char* key;
  int header;
};
constexpr TrackColumn kTrackColumns[13] = {
    {"Artist", 264}, {"Title", 322}, {"Time", 543},    {"Filename", 544}, {"BPM", 37},
    {"Genre", 269},  {"Album", 265}, {"Year", 268},    {"Bitrate", 278},  {"Freq", 279},
    {"Gain", 27},    {"StartMixPoint", 545},           {"EndMixPoint", 546}};
}  // namespace

void frmMain::InitPlaylistColumns(Grid& grid) {
  for (const TrackColumn& c : kTrackColumns) grid.InsertColumn(QLatin1String(c.key), T(c.header));
  for (const TrackColumn& c : kTrackColumns) {
    const QString key = QLatin1String(c.key);
    grid.SetColumnVisible(key, key == QLatin1String("Artist") || key == QLatin1String("Title") ||
                                   key == QLatin1String("Time") || key == QLatin1String("BPM"));
  }
  grid.SetColumnPixelWidth(QStringLiteral("Artist"), 150);
  grid.SetColumnPixelWidth(QStringLiteral("Title"), 170);
  grid.SetColumnPixelWidth(QStringLiteral("Time"), 52);
  grid.SetColumnPixelWidth(QStringLiteral("BPM"), 52);
  grid.SetRowMode(true);
  grid.SetMultiSelect(false);
  // Typing in a playlist finds a song by its artist.
  grid.SetSearchColumn(grid.ColumnNumber(QStringLiteral("Artist")));
}

void frmMain::InitLibraryColumns() {
  for (const TrackColumn& c : kTrackColumns) DummyPlaylist->InsertColumn(QLatin1String(c.key), T(c.header));
  DummyPlaylist->SetColumnPixelWidth(QStringLiteral("Artist"), 200);
  DummyPlaylist->SetColumnPixelWidth(QStringLiteral("Title"), 200);
  DummyPlaylist->SetRowMode(true);
  DummyPlaylist->SetMultiSelect(true);
}

void frmMain::LoadLibraryIndex() {
  const QString path = modPublic_AddBackslash(DataFolder()) + QStringLiteral("djv.ndx");
  if (QFileInfo::exists(path)) DummyPlaylist->LoadFromFile(path);
}

void frmMain::SetGridHeaders() {
  for (Grid* g : {PlayListView[0], PlayListView[1], DummyPlaylist})
    for (const TrackColumn& c : kTrackColumns) g->SetHeaderCaption(QLatin1String(c.key), T(c.header));
}

}  // namespace djvp
