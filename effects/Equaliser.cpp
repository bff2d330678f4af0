// The equaliser bands and the gain and tone spinners: they act on the main
// stream of every playing player of their deck (A, then B), never on a
// headphone mirror.
#include "effects/EffectControls.h"

#include "audio/BassPlayer.h"
#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"
#include "ui/Text.h"

#include <array>

namespace effects {

using namespace djvp;

namespace {

// The gain spinner's neutral value (factor 1) and the tones' (0 dB).
constexpr int kGainUnity = 26;
constexpr int kToneFlat = 10;
// Priority of the gain's volume effect: that of the switched effects, so it
// runs where it was put on among them, before the equaliser bands.
constexpr int kGainPriority = 1;
// The equaliser bands that the High, Mid and Low tones move (12 kHz, 1 kHz,
// 170 Hz), and the captions' texts.
constexpr std::array<int32_t, 3> kToneBands = {7, 4, 1};
constexpr std::array<int32_t, 3> kToneStrings = {kStrHigh, kStrMid, kStrLow};

// The main streams of the deck's playing players, A first.
template <typename Act>
void ForPlayingPlayers(const MainState& s, int deck, Act act) {
  for (int ab = 0; ab < 2; ++ab)
    if (clsBassPlayer* p = s.Player(deck + 1, ab); p && p->IsPlaying()) act(p->STRM());
}

// Query, change, apply on one equaliser band; a stream without the band is
// left alone.
bool SetBandGain(engine::Handle stream, int32_t band, float gainDb) {
  engine::dsp::PeakEqParams r{};
  r.band = band;
  if (!engine::GetEffectParameters(stream, engine::dsp::kPeakEq, &r)) return false;
  r.gain = gainDb;
  return engine::SetEffectParameters(stream, engine::dsp::kPeakEq, &r);
}

// The caption beside spinner `index`: its text and "(n)", n the spinner's
// offset from neutral.
void ShowCaption(MainState& s, int index) {
  const int deck = index / 4;
  const int k = index % 4;
  const int value = s.UpDown[static_cast<size_t>(index)].value();
  if (k == 0) {
    s.SCLabel1[static_cast<size_t>(ctl::kLblGain1 + deck)].setText(ui::T(kStrGain) +
                                                                   QStringLiteral("(%1)").arg(value - kGainUnity));
    return;
  }
  const size_t tone = static_cast<size_t>(k - 1);
  s.SCLabel1[static_cast<size_t>(ctl::kLblHigh1 + 2 * static_cast<int>(tone) + deck)].setText(
      ui::T(kToneStrings[tone]) + QStringLiteral("(%1)").arg(value - kToneFlat));
}

}  // namespace

void Eq_ValueChanged(MainState& s, int index) {
  if (index < 0 || index > 19) return;
  const int deck = index / 10;
  const int band = index % 10;
  const int value = s.Eq[static_cast<size_t>(index)].value();
  ForPlayingPlayers(s, deck, [&](engine::Handle main) { SetBandGain(main, band, static_cast<float>(5 - value)); });
  keys::Save(QLatin1String(keys::EqSection(deck)), QString::number(band), QString::number(value));
}

void UpDown_ValueChanged(MainState& s, int index) {
  if (index < 0 || index > 7) return;
  const int deck = index / 4;
  const int k = index % 4;
  const int value = s.UpDown[static_cast<size_t>(index)].value();
  if (k == 0) {
    ForPlayingPlayers(s, deck, [&](engine::Handle main) {
      engine::AddEffect(main, engine::dsp::kVolume, kGainPriority);
      engine::dsp::VolumeParams r{};
      engine::GetEffectParameters(main, engine::dsp::kVolume, &r);
      r.channel = 0;
      r.volume = static_cast<float>(static_cast<double>(value) / kGainUnity);
      engine::SetEffectParameters(main, engine::dsp::kVolume, &r);
    });
    keys::Save(QLatin1String(keys::PlayerSection(deck)), QLatin1String(keys::kGain), QString::number(value));
    ShowCaption(s, index);
    return;
  }
  const size_t tone = static_cast<size_t>(k - 1);
  ForPlayingPlayers(s, deck, [&](engine::Handle main) {
    SetBandGain(main, kToneBands[tone], static_cast<float>(value - kToneFlat));
  });
  // Also while the deck is idle: the caption shows what the spinner holds,
  // which the deck's next song gets.
  ShowCaption(s, index);
  keys::Save(QLatin1String(keys::EqSection(deck)), QLatin1String(keys::kTones[tone]), QString::number(value));
}

void ShowSpinnerCaptions(MainState& s) {
  for (int index = 0; index < 8; ++index) ShowCaption(s, index);
}

}  // namespace effects
