#include "effects/EffectControls.h"
#include "effects/Presets.h"
#include "effects/SongStart.h"

#include "ui/Deck.h"
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
  // What belongs to a song alone, around its start on a deck.
  s.SongLoaded.Subscribe([&s](DeckId deck, clsBassPlayer& p) { SongLoaded(s, deck, p); });
  s.SongStarted.Subscribe([&s](DeckId deck, clsBassPlayer& p) { SongStarted(s, deck, p); });
  s.PlaybackTick.Subscribe([&s] { StartTempoCheck(s); });
}

void LoadEffectSettings(MainState& s) {
  InstallPresetFiles();

  // The equaliser bands and effect parameters are read now, before the
  // Equalizer and Pitch boxes below reset (and store) them.
  std::array<QString, 20> eqStored;
  std::array<QString, 28> effectStored;
  for (DeckId deck : kBothDecks) {
    for (int band = 0; band < Deck::kBands; ++band)
      eqStored[deck.Slot(Deck::kBands, band)] =
          keys::Get(QLatin1String(keys::EqSection(deck)), QString::number(band), QStringLiteral("5"));
    for (int k = 0; k < Deck::kSliders; ++k)
      effectStored[deck.Slot(Deck::kSliders, k)] =
          keys::Get(QLatin1String(keys::PlayerSection(deck)), QLatin1String(keys::kEffectSliders[static_cast<size_t>(k)]),
                    k == 1 ? QStringLiteral("44100") : QStringLiteral("0"));
  }

  // Effect switches, tone and gain of both decks.
  auto readBox = [&](DeckId deck, int box) {
    const auto v = SettingToInt16(keys::Get(QLatin1String(keys::PlayerSection(deck)),
                                      QLatin1String(keys::kEffectSwitches[static_cast<size_t>(box)]), QStringLiteral("0")));
    if (!v || (*v != 0 && *v != 1)) return;
    s.Effects[ctl::EffectBoxOf(deck, box)].setChecked(*v == 1);
  };
  auto readSpinner = [&](const QString& section, const char* key, const char* defaultValue, size_t spinner) {
    if (const auto v = SettingToInt16(keys::Get(section, QLatin1String(key), QLatin1String(defaultValue))))
      s.UpDown[spinner].setValue(*v);
  };
  // The switches in the order they are read.
  const int switches[7] = {ctl::kEchoBox,   ctl::kFlangerBox, ctl::kReverbBox, ctl::kLowPassBox,
                           ctl::kBigEchoBox, ctl::kSwapBox,   ctl::kRotateBox};
  for (DeckId deck : kBothDecks) {
    s.Effects[ctl::EffectBoxOf(deck, ctl::kEqualizerBox)].setChecked(true);
    s.Effects[ctl::EffectBoxOf(deck, ctl::kPitchBox)].setChecked(true);
    for (int box : switches) readBox(deck, box);
    const QString eq = QLatin1String(keys::EqSection(deck));
    readSpinner(eq, keys::kTones[0], "10", deck.Slot(Deck::kSpinners, 1));
    readSpinner(eq, keys::kTones[1], "10", deck.Slot(Deck::kSpinners, 2));
    readSpinner(eq, keys::kTones[2], "10", deck.Slot(Deck::kSpinners, 3));
    readSpinner(QLatin1String(keys::PlayerSection(deck)), keys::kGain, "26", deck.Slot(Deck::kSpinners, 0));
  }

  // Equaliser bands and effect parameters, as stored before the resets.
  for (size_t band = 0; band < eqStored.size(); ++band)
    if (const auto v = SettingToInt32(eqStored[band])) s.Eq[band].setValue(*v);
  for (size_t k = 0; k < effectStored.size(); ++k)
    if (const auto v = SettingToInt32(effectStored[k])) s.sldEffects[k].setValue(*v);
}

}  // namespace effects
