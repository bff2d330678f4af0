// The equaliser bands and the gain and tone spinners: they act on their
// deck's sound chain and on the main stream of every playing player of
// their deck (A, then B), never on a headphone mirror.
#include "effects/EffectControls.h"

#include "audio/BassPlayer.h"
#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"
#include "resources/StringIds.h"
#include "ui/Deck.h"
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

// The deck's chain, then the main streams of the deck's playing players, A
// first.
template <typename Act>
void ForDeckSound(const Deck& deck, Act act) {
  act(deck.Chain());
  for (int ab = 0; ab < 2; ++ab)
    if (clsBassPlayer* p = deck.Player(ab); p && p->IsPlaying()) act(p->STRM());
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
void ShowCaption(const Deck& deck, int k) {
  const int value = deck.Spinner(k).value();
  if (k == 0) {
    deck.Label(ctl::kGainLabel).setText(ui::T(kStrGain) + QStringLiteral("(%1)").arg(value - kGainUnity));
    return;
  }
  const size_t tone = static_cast<size_t>(k - 1);
  deck.Label(static_cast<ctl::DeckLabel>(ctl::kHighLabel + k - 1))
      .setText(ui::T(kToneStrings[tone]) + QStringLiteral("(%1)").arg(value - kToneFlat));
}

}  // namespace

void Eq_ValueChanged(MainState& s, int index) {
  const auto band = DeckId::FromGroupIndex(index, Deck::kBands);
  if (!band) return;
  const Deck deck(s, band->deck);
  const int value = deck.Band(band->k).value();
  ForDeckSound(deck, [&](engine::Handle h) { SetBandGain(h, band->k, static_cast<float>(5 - value)); });
  keys::Save(QLatin1String(keys::EqSection(deck.Id())), QString::number(band->k), QString::number(value));
}

void UpDown_ValueChanged(MainState& s, int index) {
  const auto spinner = DeckId::FromGroupIndex(index, Deck::kSpinners);
  if (!spinner) return;
  const Deck deck(s, spinner->deck);
  const int k = spinner->k;
  const int value = deck.Spinner(k).value();
  if (k == 0) {
    ForDeckSound(deck, [&](engine::Handle main) {
      engine::AddEffect(main, engine::dsp::kVolume, kGainPriority);
      engine::dsp::VolumeParams r{};
      engine::GetEffectParameters(main, engine::dsp::kVolume, &r);
      r.channel = 0;
      r.volume = static_cast<float>(static_cast<double>(value) / kGainUnity);
      engine::SetEffectParameters(main, engine::dsp::kVolume, &r);
    });
    keys::Save(QLatin1String(keys::PlayerSection(deck.Id())), QLatin1String(keys::kGain), QString::number(value));
    ShowCaption(deck, k);
    return;
  }
  const size_t tone = static_cast<size_t>(k - 1);
  ForDeckSound(deck, [&](engine::Handle h) { SetBandGain(h, kToneBands[tone], static_cast<float>(value - kToneFlat)); });
  // Also while the deck is idle: the caption shows what the spinner holds,
  // and the deck's chain, which the deck's next song plays through, has it.
  ShowCaption(deck, k);
  keys::Save(QLatin1String(keys::EqSection(deck.Id())), QLatin1String(keys::kTones[tone]), QString::number(value));
}

void ShowSpinnerCaptions(MainState& s) {
  for (DeckId deck : kBothDecks)
    for (int k = 0; k < Deck::kSpinners; ++k) ShowCaption(Deck(s, deck), k);
}

}  // namespace effects
