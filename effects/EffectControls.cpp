#include "effects/EffectControls.h"
#include "effects/Presets.h"
#include "effects/SongStart.h"

#include "decks/DeckServices.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"
#include "ui/SettingsValue.h"

#include <array>

namespace effects {

using namespace djvp;

void ConnectHandlers(MainState& s) {
  for (int i = 0; i < 18; ++i) s.Effects[static_cast<size_t>(i)].Click = [&s, i] { Effects_Click(s, i); };
  for (int i = 0; i < 8; ++i) s.UpDown[static_cast<size_t>(i)].Change = [&s, i] { UpDown_ValueChanged(s, i); };
  for (int i = 0; i < 20; ++i) s.Eq[static_cast<size_t>(i)].Change = [&s, i] { Eq_ValueChanged(s, i); };
  for (int i = 0; i < 28; ++i) s.sldEffects[static_cast<size_t>(i)].Change = [&s, i] { sldEffects_ValueChanged(s, i); };
  for (int i = 0; i < 4; ++i) {
    s.cmdEffects[static_cast<size_t>(i)].Click = [&s, i] { cmdEffects_Click(s, i); };
    s.cmdSelect[static_cast<size_t>(i)].Click = [&s, i] { cmdSelect_Click(s, i); };
  }
  for (int i = 0; i < 2; ++i) s.cmbSelect[static_cast<size_t>(i)].DblClick = [&s, i] { cmbSelect_DblClick(s, i); };
  // Every start of a song on a deck ends in the song start.
  decks::Services().ApplyTrackSettings = &ApplyTrackSettings;
  decks::Services().StartTempoCheck = &StartTempoCheck;
}

void LoadEffectSettings(MainState& s) {
  InstallPresetFiles();

  // The equaliser bands and effect parameters are read now, before the
  // Equalizer and Pitch boxes below reset (and store) them.
  std::array<QString, 20> eqStored;
  for (int band = 0; band < 20; ++band)
    eqStored[static_cast<size_t>(band)] =
        keys::Get(QLatin1String(keys::EqSection(band / 10)), QString::number(band % 10), QStringLiteral("5"));
  std::array<QString, 28> effectStored;
  for (int k = 0; k < 28; ++k)
    effectStored[static_cast<size_t>(k)] =
        keys::Get(QLatin1String(keys::PlayerSection(k / 14)), QLatin1String(keys::kEffectSliders[static_cast<size_t>(k % 14)]),
            k % 14 == 1 ? QStringLiteral("44100") : QStringLiteral("0"));

  // Effect switches, tone and gain of both decks.
  auto readBox = [&](int deck, int box) {
    const auto v = SettingToInt16(keys::Get(QLatin1String(keys::PlayerSection(deck)),
                                      QLatin1String(keys::kEffectSwitches[static_cast<size_t>(box)]), QStringLiteral("0")));
    if (!v || (*v != 0 && *v != 1)) return;
    s.Effects[static_cast<size_t>(ctl::EffectBoxOf(deck, box))].setChecked(*v == 1);
  };
  auto readSpinner = [&](const QString& section, const char* key, const char* defaultValue, size_t spinner) {
    if (const auto v = SettingToInt16(keys::Get(section, QLatin1String(key), QLatin1String(defaultValue))))
      s.UpDown[spinner].setValue(*v);
  };
  // The switches in the order they are read.
  const int switches[7] = {ctl::kEchoBox,   ctl::kFlangerBox, ctl::kReverbBox, ctl::kLowPassBox,
                           ctl::kBigEchoBox, ctl::kSwapBox,   ctl::kRotateBox};
  for (int deck = 0; deck < 2; ++deck) {
    s.Effects[static_cast<size_t>(ctl::EffectBoxOf(deck, ctl::kEqualizerBox))].setChecked(true);
    s.Effects[static_cast<size_t>(ctl::EffectBoxOf(deck, ctl::kPitchBox))].setChecked(true);
    for (int box : switches) readBox(deck, box);
    const QString eq = QLatin1String(keys::EqSection(deck));
    const size_t base = static_cast<size_t>(deck * 4);
    readSpinner(eq, keys::kTones[0], "10", base + 1);
    readSpinner(eq, keys::kTones[1], "10", base + 2);
    readSpinner(eq, keys::kTones[2], "10", base + 3);
    readSpinner(QLatin1String(keys::PlayerSection(deck)), keys::kGain, "26", base);
  }

  // Equaliser bands and effect parameters, as stored before the resets.
  for (size_t band = 0; band < eqStored.size(); ++band)
    if (const auto v = SettingToInt32(eqStored[band])) s.Eq[band].setValue(*v);
  for (size_t k = 0; k < effectStored.size(); ++k)
    if (const auto v = SettingToInt32(effectStored[k])) s.sldEffects[k].setValue(*v);
}

}  // namespace effects
