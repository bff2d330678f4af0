// The tempo, sample-rate, pitch and effect parameter sliders.
#include "effects/EffectControls.h"
#include "effects/SongStart.h"
#include "effects/Targets.h"

#include "audio/ModBass.h"
#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"
#include "resources/StringIds.h"
#include "ui/Deck.h"
#include "ui/SettingsKeys.h"
#include "ui/Text.h"

#include <array>
#include <cstring>
#include <initializer_list>

namespace effects {

using namespace djvp;

namespace {

// Keeps a setting of a tempo stream as it is.
constexpr float kSameTempo = -100.0f, kSameRate = -1.0f, kSamePitch = -100.0f;
// The sample-rate slider's neutral value.
constexpr double kSliderRate = 44100;

// What an effect parameter slider sets: one 32-bit field of its effect's
// record, a float (value / divisor) or an integer (the value itself); the
// big echo and the flanger also get -1 (every channel) in their channel
// field.
struct Parameter {
  int32_t type;
  int field;
  bool isFloat;
  double divisor;
  int channelField;  // -1: none
};

// By deck 1's slider 3..13 (deck 2's is 14 more).
constexpr std::array<Parameter, 11> kParameters = {{
    {engine::dsp::kReverb, 0, true, 100, -1},      // 3 reverb level
    {engine::dsp::kReverb, 1, false, 1, -1},       // 4 reverb delay
    {engine::dsp::kLowPass, 2, true, 1, -1},       // 5 low-pass cut-off
    {engine::dsp::kLowPass, 1, true, 1, -1},       // 6 low-pass resonance
    {engine::dsp::kEcho3, 0, true, 10, 3},         // 7 big echo dry mix
    {engine::dsp::kEcho3, 1, true, 10, 3},         // 8 big echo wet mix
    {engine::dsp::kEcho3, 2, true, 1000, 3},       // 9 big echo delay
    {engine::dsp::kEcho, 0, true, 100, -1},        // 10 echo level
    {engine::dsp::kEcho, 1, false, 1, -1},         // 11 echo delay
    {engine::dsp::kFlanger, 1, true, 100000, 2},   // 12 flanger speed
    {engine::dsp::kFlanger, 0, true, 100, 2},      // 13 flanger wet/dry
}};

// Every record of the effects is at most this many 32-bit fields.
using Record = std::array<uint32_t, 8>;

void SetField(Record& r, int field, float v) { std::memcpy(&r[static_cast<size_t>(field)], &v, sizeof v); }
void SetField(Record& r, int field, int32_t v) { std::memcpy(&r[static_cast<size_t>(field)], &v, sizeof v); }

QString Section(DeckId deck) { return QLatin1String(keys::PlayerSection(deck)); }

void Store(DeckId deck, int k, int32_t v) {
  keys::Save(Section(deck), QLatin1String(keys::kEffectSliders[static_cast<size_t>(k)]), QString::number(v));
}

// The caption beside the deck's tempo (k 0), sample-rate (1) or pitch (2)
// slider: what the slider holds.
void ShowCaption(const Deck& deck, int k) {
  const int32_t v = deck.EffectSlider(k).value();
  switch (k) {
    case 0: deck.Label(ctl::kTempoLabel).setText(ui::T(kStrTempoIs) + QStringLiteral(" %1 %").arg(v)); return;
    case 1:
      deck.Label(ctl::kSampleRateLabel).setText(ui::T(kStrSampleRateIs) + QStringLiteral(" %1 Hz").arg(v));
      return;
    case 2:
      deck.Label(ctl::kPitchLabel).setText(ui::T(kStrPitchIs) + QStringLiteral(" %1 ").arg(v) + ui::T(kStrSemitones));
      return;
    default: return;
  }
}

// Tempo and sample rate reach no stream while the deck's target is stopped
// or paused; the caption still shows the slider's value and the deck's chain
// takes it, so the deck's next song starts with it, and it is stored as a
// playing song's is, so the next program start brings it back.
void Tempo(const Deck& deck, int32_t v) {
  ShowCaption(deck, 0);
  engine::SetTempo(deck.Chain(), static_cast<float>(v), kSameRate, kSamePitch);
  Store(deck.Id(), 0, v);
  const Target t = DeckTarget(deck.State(), deck.Id());
  if (engine::IsActive(t.main) == engine::kStopped) return;
  engine::SetTempo(t.main, static_cast<float>(v), kSameRate, kSamePitch);
  engine::SetTempo(t.headphone, static_cast<float>(v), kSameRate, kSamePitch);
  ShowTempoBpm(deck.State(), deck.Id());
}

// The slider's rate is that of a song at 44100 Hz: a song of another rate
// plays at v / 44100 times its own rate, so that the slider's middle plays
// every song as it is (and a song start, which applies the slider, does not
// speed up a 22050 Hz song or slow down a 48000 Hz one).
float PlaybackRate(engine::Handle stream, int32_t v) {
  const uint32_t fileRate = engine::FileRate(stream);
  if (fileRate == 0) return static_cast<float>(v);
  return static_cast<float>(static_cast<double>(v) * fileRate / kSliderRate);
}

// The equaliser's first band is told the new rate (the bands act at the
// rate the sound really has whatever they are told).
void TellBandRate(engine::Handle h, int32_t v) {
  engine::dsp::PeakEqParams band0{};
  band0.band = 0;
  if (!engine::GetEffectParameters(h, engine::dsp::kPeakEq, &band0)) return;
  band0.freq = v;
  engine::SetEffectParameters(h, engine::dsp::kPeakEq, &band0);
}

void SampleRate(const Deck& deck, int32_t v) {
  ShowCaption(deck, 1);
  // A chain's rate is that of a song at 44100 Hz, as the slider's is.
  engine::SetTempo(deck.Chain(), kSameTempo, static_cast<float>(v), kSamePitch);
  TellBandRate(deck.Chain(), v);
  Store(deck.Id(), 1, v);
  const Target t = DeckTarget(deck.State(), deck.Id());
  if (engine::IsActive(t.main) == engine::kStopped) return;
  engine::SetTempo(t.main, kSameTempo, PlaybackRate(t.main, v), kSamePitch);
  engine::SetTempo(t.headphone, kSameTempo, PlaybackRate(t.headphone, v), kSamePitch);
  // The headphone mirror carries no equaliser.
  TellBandRate(t.main, v);
}

void Pitch(const Deck& deck, int32_t v) {
  engine::SetTempo(deck.Chain(), kSameTempo, kSameRate, static_cast<float>(v));
  const Target t = DeckTarget(deck.State(), deck.Id());
  engine::SetTempo(t.main, kSameTempo, kSameRate, static_cast<float>(v));
  engine::SetTempo(t.headphone, kSameTempo, kSameRate, static_cast<float>(v));
  ShowCaption(deck, 2);
  Store(deck.Id(), 2, v);
}

// Query, change, apply: the record as `from` holds it (zero when the effect
// is not on it), with this slider's field changed, goes to each of `to`.
void SetParameter(const Parameter& p, int32_t v, engine::Handle from, std::initializer_list<engine::Handle> to) {
  Record r{};
  engine::GetEffectParameters(from, p.type, r.data());
  if (p.isFloat)
    SetField(r, p.field, static_cast<float>(static_cast<double>(v) / p.divisor));
  else
    SetField(r, p.field, v);
  if (p.channelField >= 0) SetField(r, p.channelField, int32_t{-1});
  for (engine::Handle h : to) engine::SetEffectParameters(h, p.type, r.data());
}

// On the deck's chain, and on the target's main stream and then its
// headphone stream with the record as the main stream holds it.
void EffectParameter(const Deck& deck, int k, int32_t v) {
  const Parameter& p = kParameters[static_cast<size_t>(k - 3)];
  SetParameter(p, v, deck.Chain(), {deck.Chain()});
  const Target t = DeckTarget(deck.State(), deck.Id());
  SetParameter(p, v, t.main, {t.main, t.headphone});
  Store(deck.Id(), k, v);
}

}  // namespace

void ShowSliderCaptions(MainState& s) {
  for (DeckId deck : kBothDecks)
    for (int k = 0; k < 3; ++k) ShowCaption(Deck(s, deck), k);
}

void ShowTempoBpm(MainState& s, DeckId id) {
  const Deck deck(s, id);
  const Target t = DeckTarget(s, id);
  deck.TempoBpm().setText(QString::number(modPublic_TempoBPM(t.bpm, t.main), 'f', 1));
  deck.TempoWait().label = engine::BpmPending(t.bpm) ? t.bpm : 0;
}

void sldEffects_ValueChanged(MainState& s, int index) {
  const auto slider = DeckId::FromGroupIndex(index, Deck::kSliders);
  if (!slider) return;
  const Deck deck(s, slider->deck);
  const int32_t v = deck.EffectSlider(slider->k).value();
  switch (slider->k) {
    case 0: return Tempo(deck, v);
    case 1: return SampleRate(deck, v);
    case 2: return Pitch(deck, v);
    default: return EffectParameter(deck, slider->k, v);
  }
}

}  // namespace effects
