// The settings page (skin, sound devices, speaker layouts, language) and the
// loading of every stored setting at start.
#include "app/frmMain.h"

#include "app/Globals.h"
#include "audio/ModBass.h"
#include "decks/AutomixSettings.h"
#include "decks/MixerCurve.h"
#include "decks/MixerSliders.h"
#include "effects/EffectControls.h"
#include "engine/Engine.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/ModPublic.h"
#include "platform/Paths.h"
#include "platform/QtTexts.h"
#include "platform/SkinEngine.h"
#include "resources/StringIds.h"
#include "StringTable.h"
#include "ui/SettingsKeys.h"
#include "ui/SettingsValue.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace djvp {

namespace {

using ui::T;

using keys::Get;
using keys::Save;

QString Numbered(const char* name, int n) { return QLatin1String(name) + QString::number(n); }

// The speaker-pair buttons of deck 1, deck 2 and the headphones, in the order
// front, rear/side, centre/subwoofer, rear/centre (speaker codes 1 to 4).
constexpr int kSpeakerButtons[3][4] = {{0, 1, 2, 3}, {7, 6, 5, 4}, {11, 10, 9, 8}};

std::array<clsBassPlayer*, 4> AllPlayers(const MainState& s) {
  return {s.Player(kDeck1, 0), s.Player(kDeck1, 1), s.Player(kDeck2, 0), s.Player(kDeck2, 1)};
}


}  // namespace

void frmMain::SetHeadphoneGroupVisible(bool visible) {
  MainState& s = State();
  for (ui::Control* c : std::initializer_list<ui::Control*>{
           &s.SCLabel1[139], &s.VolumeHP1, &s.VolumeHP2, &s.Command1, &s.SCLabel1[ctl::kLblPreListenState],
           &s.cmbSettings[ctl::kHeadphoneSpeakersList], &s.Frame5[2]})
    c->setVisible(visible);
}

void frmMain::SelectSpeakerButtons(int list, int entry) {
  const int output = list - ctl::kSpeakers1List;
  for (int b = 0; b < 4; ++b) {
    ui::OptionButton& button = State().Option2[static_cast<size_t>(kSpeakerButtons[output][b])];
    // "2 speakers" hides all four; 4 shows two, 5.1 three, 7.1 all.
    button.setVisible(b < entry + 1 && entry > 0);
  }
}

void frmMain::cmbSettings_Click(int index) {
  if (index < 0 || index > 7) return;
  MainState& s = State();
  auto& lists = s.cmbSettings;
  const int n = lists[static_cast<size_t>(index)].currentIndex();
  const QString entryText = QString::number(n);
  switch (index) {
    case 0: {  // skin
      SkinApplyPending = true;
      if (n >= 0 && n <= 1000) skinEngine->LoadSkinFile(SkinFiles[static_cast<size_t>(n)]);
      skinEngine->ApplySkin(this);
      Save(keys::kSkinName, entryText);
      // The file too, so that the choice survives skins added or removed.
      if (n >= 0 && n <= 1000) Save(keys::kSkinFile, QFileInfo(SkinFiles[static_cast<size_t>(n)]).fileName());
      break;
    }
    case 1: {  // deck 1 device
      if (n < 0) break;  // no entry chosen: nothing to apply
      Save(QLatin1String(keys::kDevicesSection), Numbered("Device", 1), entryText);
      Save(QLatin1String(keys::kDevicesSection), Numbered("Name", 1), lists[1].itemText(n));
      if (!Devices.Use(DeviceSet::kDeck1, n + 1, 0, s.AnyPlaying()))
        MsgBox(QStringLiteral("Can't initialize the device for Player 1"));
      s.Deck1PlayerA().device(static_cast<int16_t>(n + 1));
      s.Deck1PlayerB().device(static_cast<int16_t>(n + 1));
      break;
    }
    case 2: {  // deck 2 device
      if (n < 0) break;
      Save(QLatin1String(keys::kDevicesSection), Numbered("Device", 2), entryText);
      Save(QLatin1String(keys::kDevicesSection), Numbered("Name", 2), lists[2].itemText(n));
      if (!Devices.Use(DeviceSet::kDeck2, n + 1, 0, s.AnyPlaying()))
        MsgBox(QStringLiteral("Can't initialize the device for Player 2"));
      s.Deck2PlayerA().device(static_cast<int16_t>(n + 1));
      s.Deck2PlayerB().device(static_cast<int16_t>(n + 1));
      break;
    }
    case 3: {  // headphones
      if (n == 0) {
        for (clsBassPlayer* p : AllPlayers(s)) p->PreDevice(0);
        SetHeadphoneGroupVisible(false);
        Save(QLatin1String(keys::kDevicesSection), Numbered("Device", 3), QStringLiteral("0"));
        Devices.Drop(DeviceSet::kHeadphones, s.AnyPlaying());
        // Without a headphone device there is nothing to pre-listen on.
        if (s.PreListenOn) mixer::Command1_Click(s);
      } else if (n > 0) {
        Save(QLatin1String(keys::kDevicesSection), Numbered("Device", 3), entryText);
        Save(QLatin1String(keys::kDevicesSection), Numbered("Name", 3), lists[3].itemText(n));
        if (!Devices.Use(DeviceSet::kHeadphones, n, 0, s.AnyPlaying())) MsgBox(T(kStrCantInitHeadphoneDevice));
        for (clsBassPlayer* p : AllPlayers(s)) p->PreDevice(static_cast<int16_t>(n));
        SetHeadphoneGroupVisible(true);
      }
      break;
    }
    case 4:
    case 5:
    case 6: {  // speaker layouts
      const int output = index - ctl::kSpeakers1List;
      if (n == 0) {
        if (output == 0) {
          s.Deck1PlayerA().Speaker(0);
          s.Deck1PlayerB().Speaker(0);
        } else if (output == 1) {
          s.Deck2PlayerA().Speaker(0);
          s.Deck2PlayerB().Speaker(0);
        } else {
          for (clsBassPlayer* p : AllPlayers(s)) p->PreSpeaker(0);
        }
        Save(QLatin1String(keys::kSpeakersSection), Numbered("Speaker", output + 1), QStringLiteral("0"));
      }
      if (n >= 0 && n <= 3) SelectSpeakerButtons(index, n);
      Save(QLatin1String(keys::kSpeakerChoiceSection), Numbered("Speaker", output + 1), entryText);
      break;
    }
    case 7: {  // language
      Save(keys::kLanguage, entryText);
      if (n == 0) LangOffset = 0;
      if (n == 1) LangOffset = 1000;
      FollowInterfaceLanguage();
      ApplyInterfaceTexts();
      RebuildTabs();
      {
        ui::ListBox& headphones = lists[ctl::kHeadphoneList];
        const ui::EventBlocker quiet(headphones);
        headphones.clear();
        headphones.addItem(T(kStrNone));
        for (const std::string& name : OutputDeviceNames()) headphones.addItem(modBass_StrFromAnsiPtr(name.c_str()));
      }
      if (const auto stored =
              SettingToInt16(Get(QLatin1String(keys::kDevicesSection), Numbered("Device", 3), QStringLiteral("0"))))
        SelectListEntry(ctl::kHeadphoneList, *stored);
      SetGridHeaders();
      break;
    }
    default:
      break;
  }
}

void frmMain::LoadSettings() {
  MainState& s = State();
  // The mixer page: mix time, automix switches, automation sliders and the
  // crossfade curve.
  mixer::LoadMixerSettings(s);

  // Music folder: the user's music folder unless one is stored.
  QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (music.isEmpty()) music = modPublic_AddBackslash(QDir::homePath()) + QStringLiteral("MyMusic");
  s.txtSettings[0].setText(Get(keys::kMusicFolder, music));
  s.txtSettings[0].setToolTip(s.txtSettings[0].text());

  // The decks' sound controls.
  effects::LoadEffectSettings(s);

  // Devices, each stored as its list entry and its name. Without a stored
  // device the first entry is used: the system's default output. A stored
  // name finds its device wherever the list has it now; an entry stored
  // without a name (by a version that listed the devices in the sound
  // system's own order, before the default output came first) means the
  // device that had that number then. A stored device that the list no
  // longer has falls back to the first device (for the headphones to
  // "None") with a message.
  int16_t D[4] = {0, 0, 0, 0};
  for (int n = 1; n <= 3; ++n) {
    const QString stored = Get(QLatin1String(keys::kDevicesSection), Numbered("Device", n), QString());
    const auto v = SettingToInt16(stored.isNull() ? QStringLiteral("0") : stored);
    if (!v) continue;
    const bool headphones = n == 3;
    const ui::ListBox& list = s.cmbSettings[static_cast<size_t>(n)];
    int entry = *v;
    bool gone = false;
    if (!stored.isNull() && entry > (headphones ? 0 : -1)) {
      const int device = headphones ? entry : entry + 1;  // the device number it stood for
      const int first = headphones ? 1 : 0;               // the list entry of device 1
      const QString name = Get(QLatin1String(keys::kDevicesSection), Numbered("Name", n));
      int now = 0;
      if (name.isEmpty()) {
        now = DeviceInSystemOrder(device);
      } else if (list.itemText(device - 1 + first) == name) {
        now = device;
      } else if (const qsizetype at = list.items().indexOf(name, first); at >= 0) {
        now = static_cast<int>(at) - first + 1;
      }
      gone = now == 0;
      if (!gone) entry = now - 1 + first;
    }
    D[n] = static_cast<int16_t>(entry == -1 ? 0 : entry);
    if ((gone || entry >= list.count()) && list.count() > (headphones ? 1 : 0)) {
      D[n] = 0;
      MsgBox(n == 3 ? QStringLiteral("The sound device for the Headphone is no longer available; no headphone device is used.")
                    : QStringLiteral("The sound device for Player %1 is no longer available; the first device is used.").arg(n));
      SelectListEntry(n, 0);
    } else {
      SelectListEntry(n, entry);
    }
  }

  // Speaker layouts.
  for (int k = 0; k < 3; ++k) {
    if (const auto v = SettingToInt16(Get(QLatin1String(keys::kSpeakerChoiceSection), Numbered("Speaker", k + 1), QStringLiteral("0"))))
      SelectListEntry(ctl::kSpeakers1List + k, *v);
  }

  // Speaker codes and their buttons.
  int16_t S[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    if (const auto v = SettingToInt16(Get(QLatin1String(keys::kSpeakersSection), Numbered("Speaker", k + 1), QStringLiteral("0"))))
      S[k] = *v;
    if (S[k] >= 1 && S[k] <= 4) s.Option2[static_cast<size_t>(kSpeakerButtons[k][S[k] - 1])].setChecked(true);
  }

  // The players' devices and speaker codes.
  for (int ab = 0; ab < 2; ++ab) {
    s.Player(kDeck1, ab)->device(static_cast<int16_t>(D[1] + 1));
    s.Player(kDeck2, ab)->device(static_cast<int16_t>(D[2] + 1));
  }
  for (clsBassPlayer* p : AllPlayers(s)) p->PreDevice(D[3]);
  for (clsBassPlayer* p : AllPlayers(s)) p->PreSpeaker(S[2]);
  for (int ab = 0; ab < 2; ++ab) {
    s.Player(kDeck1, ab)->Speaker(S[0]);
    s.Player(kDeck2, ab)->Speaker(S[1]);
  }

  // Every output's device is open once the load ends, with the
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
  if (deckFailed) MsgBox(T(kStrCantInitPlayerDevice));
  if (D[3] >= 1 && exists(D[3])) {
    const uint32_t flags3 = S[2] >= 1 ? engine::kInitSpeakers : 0;
    if ((flags3 != 0 || Devices.DeviceOf(DeviceSet::kHeadphones) != D[3]) &&
        !Devices.Use(DeviceSet::kHeadphones, D[3], flags3, false))
      MsgBox(T(kStrCantInitHeadphoneDevice2));
  }
}

void frmMain::ListSkins(const QString& folder, const QString& mask) {
  ui::ListBox& skins = State().cmbSettings[ctl::kSkinList];
  // No skin is chosen until the window's first activation chooses one.
  const ui::EventBlocker quiet(skins);
  djvp::ListSkins(folder, mask, skins, SkinFiles,
                  [this](const QString& path) { return skinEngine ? skinEngine->SkinNameOf(path) : QString(); });
}

void frmMain::DrawDisplays() {
  for (size_t i = 0; i < 2; ++i) BlendPanel(*view.pctScroller[i], view.pctLCD[i]->Picture(), 0, 0);
  for (size_t i = 0; i < 2; ++i) BlendPanel(*view.pctTime[i], view.pctLCDmini[i]->Picture(), -1, -1);
  for (size_t i : {0u, 2u, 1u, 3u}) BlendPanel(*view.pctBPM[i], view.pctLCDBPM[i]->Picture(), 0, 0);
  DrawMeterUnlit(*view.pctVolume1, DeckLeds);
  DrawMeterUnlit(*view.pctVolume2, DeckLeds);
  DrawMeterUnlit(*view.pctVolumeLeft, MasterLeds);
  DrawMeterUnlit(*view.pctVolumeRight, MasterLeds);
}

void frmMain::SetGridHeaders() {
  const MainState& s = State();
  for (Grid* g : {s.PlayListView[0].data(), s.PlayListView[1].data(), s.DummyPlaylist.data()}) ui::SetTrackHeaders(*g);
}

}  // namespace djvp
