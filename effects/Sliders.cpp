// The tempo, sample-rate, pitch and effect parameter sliders.
#include "effects/EffectControls.h"
#include "effects/SongStart.h"
#include "effects/Targets.h"

#include "audio/ModBass.h"
#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"
#include "ui/Text.h"

#include <array>
#include <cstring>

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

QString Section(int deck) { return QLatin1String(keys::PlayerSection(deck)); }

void Store(int deck, int k, int32_t v) {
  keys::Save(Section(deck), QLatin1String(keys::kEffectSliders[static_cast<size_t>(k)]), QString::number(v));
}

// The caption beside deck d's tempo (k 0), sample-rate (1) or pitch (2)
// slider: what the slider holds.
void ShowCaption(MainState& s, int deck, int k) {
  const int32_t v = s.sldEffects[static_cast<size_t>(deck * 14 + k)].value();
  switch (k) {
    case 0:
      s.SCLabel1[deck == 0 ? ctl::kLblTempo1 : ctl::kLblTempo2].setText(ui::T(kStrTempoIs) +
                                                                        QStringLiteral(" %1 %").arg(v));
      return;
    case 1:
      s.SCLabel1[deck == 0 ? ctl::kLblSampleRate1 : ctl::kLblSampleRate2].setText(ui::T(kStrSampleRateIs) +
                                                                                  QStringLiteral(" %1 Hz").arg(v));
      return;
    case 2:
      s.SCLabel1[deck == 0 ? ctl::kLblPitch1 : ctl::kLblPitch2].setText(ui::T(kStrPitchIs) +
                                                                        QStringLiteral(" %1 ").arg(v) + ui::T(kStrSemitones));
      return;
    default: return;
  }
}

// Tempo and sample rate reach no stream and are not stored while the deck's
// target is stopped or paused; the caption still shows the slider's value,
// which the deck's next song start applies.
void Tempo(MainState& s, int deck, int32_t v) {
  ShowCaption(s, deck, 0);
  const Target t = DeckTarget(s, deck + 1);
  if (engine::IsActive(t.main) == engine::kStopped) return;
  engine::SetTempo(t.main, static_cast<float>(v), kSameRate, kSamePitch);
  engine::SetTempo(t.headphone, static_cast<float>(v), kSameRate, kSamePitch);
  Store(deck, 0, v);
  ShowTempoBpm(s, deck + 1);
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

void SampleRate(MainState& s, int deck, int32_t v) {
  ShowCaption(s, deck, 1);
  const Target t = DeckTarget(s, deck + 1);
  if (engine::IsActive(t.main) == engine::kStopped) return;
  engine::SetTempo(t.main, kSameTempo, PlaybackRate(t.main, v), kSamePitch);
  engine::SetTempo(t.headphone, kSameTempo, PlaybackRate(t.headphone, v), kSamePitch);
  // The equaliser's first band is told the new rate (the bands act at the
  // rate the sound really has whatever they are told).
  engine::dsp::PeakEqParams band0{};
  band0.band = 0;
  if (engine::GetEffectParameters(t.main, engine::dsp::kPeakEq, &band0)) {
    band0.freq = v;
    engine::SetEffectParameters(t.main, engine::dsp::kPeakEq, &band0);
    engine::SetEffectParameters(t.headphone, engine::dsp::kPeakEq, &band0);
  }
  Store(deck, 1, v);
}

void Pitch(MainState& s, int deck, int32_t v) {
  const Target t = DeckTarget(s, deck + 1);
  engine::SetTempo(t.main, kSameTempo, kSameRate, static_cast<float>(v));
  engine::SetTempo(t.headphone, kSameTempo, kSameRate, static_cast<float>(v));
  ShowCaption(s, deck, 2);
  Store(deck, 2, v);
}

// Query, change, apply: the record as the main stream holds it (zero when
// the effect is not on it), with this slider's field changed, goes to the
// main stream and then to the headphone stream.
void EffectParameter(MainState& s, int deck, int k, int32_t v) {
  const Parameter& p = kParameters[static_cast<size_t>(k - 3)];
  const Target t = DeckTarget(s, deck + 1);
  Record r{};
  engine::GetEffectParameters(t.main, p.type, r.data());
  if (p.isFloat)
    SetField(r, p.field, static_cast<float>(static_cast<double>(v) / p.divisor));
  else
    SetField(r, p.field, v);
  if (p.channelField >= 0) SetField(r, p.channelField, int32_t{-1});
  engine::SetEffectParameters(t.main, p.type, r.data());
  engine::SetEffectParameters(t.headphone, p.type, r.data());
  Store(deck, k, v);
}

}  // namespace

void ShowSliderCaptions(MainState& s) {
  for (int deck = 0; deck < 2; ++deck)
    for (int k = 0; k < 3; ++k) ShowCaption(s, deck, k);
}

void ShowTempoBpm(MainState& s, int deck) {
  const Target t = DeckTarget(s, deck);
  s.lblBPM[static_cast<size_t>(1 + deck)].setText(QString::number(modPublic_TempoBPM(t.bpm, t.main), 'f', 1));
  s.StartTempoWaits[static_cast<size_t>(deck - 1)].label = engine::BpmPending(t.bpm) ? t.bpm : 0;
}

void sldEffects_ValueChanged(MainState& s, int index) {
  if (index < 0 || index > 27) return;
  const int deck = index / 14;
  const int k = index % 14;
  const int32_t v = s.sldEffects[static_cast<size_t>(index)].value();
  switch (k) {
    case 0: return Tempo(s, deck, v);
    case 1: return SampleRate(s, deck, v);
    case 2: return Pitch(s, deck, v);
    default: return EffectParameter(s, deck, k, v);
  }
}

}  // namespace effects
