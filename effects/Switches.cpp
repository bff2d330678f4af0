// The effect switches and the two reset boxes.
#include "effects/EffectControls.h"
#include "effects/SetAndRun.h"
#include "effects/Targets.h"

#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"
#include "resources/StringIds.h"
#include "ui/Deck.h"
#include "ui/SettingsKeys.h"
#include "ui/SettingsValue.h"
#include "ui/Text.h"

#include <array>
#include <vector>

namespace effects {

using namespace djvp;

namespace {

// Priority of the switched effects on a stream (the equaliser bands run at
// 0, after them).
constexpr int kSwitchPriority = 1;

struct Switch {
  int box;                   // deck 1's box
  int32_t type;              // engine/dsp effect type
  std::vector<int> sliders;  // deck 1's parameter sliders, in the order they are set
};

const std::array<Switch, 7>& SwitchTable() {
  static const std::array<Switch, 7> table = {{
      {ctl::kReverbBox, engine::dsp::kReverb, {3, 4}},
      {ctl::kLowPassBox, engine::dsp::kLowPass, {5, 6}},
      {ctl::kBigEchoBox, engine::dsp::kEcho3, {7, 8, 9}},
      {ctl::kRotateBox, engine::dsp::kRotate, {}},
      {ctl::kSwapBox, engine::dsp::kSwap, {}},
      {ctl::kEchoBox, engine::dsp::kEcho, {10, 11}},
      {ctl::kFlangerBox, engine::dsp::kFlanger, {12, 13}},
  }};
  return table;
}

QString Section(DeckId deck) { return QLatin1String(keys::PlayerSection(deck)); }

// Ticks a reset box without running this handler again: the reset it would
// repeat has just been done.
void Tick(ui::CheckBox& box) {
  const ui::EventBlocker done(box);
  box.setChecked(true);
}

void ResetEqualizer(const Deck& deck, ui::CheckBox& box) {
  MainState& s = deck.State();
  for (int band = 0; band < Deck::kBands; ++band)
    SetAndRun(s, deck.Band(band), 5, Eq_ValueChanged, deck.BandIndex(band));
  // The tones are read one after another into one value: a key that is no
  // number leaves the value read before it.
  int16_t tone = 0;
  for (size_t t = 0; t < keys::kTones.size(); ++t) {
    if (const auto v = SettingToInt16(keys::Get(QLatin1String(keys::EqSection(deck.Id())),
                                                QLatin1String(keys::kTones[t]), QStringLiteral("10"))))
      tone = *v;
    deck.Spinner(1 + static_cast<int>(t)).setValue(tone);
  }
  keys::Save(Section(deck.Id()), QLatin1String(keys::kEffectSwitches[ctl::kEqualizerBox]), QStringLiteral("0"));
  Tick(box);
}

void ResetPitch(const Deck& deck, ui::CheckBox& box) {
  static constexpr int kNeutral[3] = {0, 44100, 0};
  for (int k = 0; k < 3; ++k)
    SetAndRun(deck.State(), deck.EffectSlider(k), kNeutral[k], sldEffects_ValueChanged, deck.SliderIndex(k));
  keys::Save(Section(deck.Id()), QLatin1String(keys::kEffectSwitches[ctl::kPitchBox]), QStringLiteral("0"));
  Tick(box);
  deck.Label(ctl::kTempoLabel).setText(ui::T(kStrTempoZero));
}

// The effect goes on or off on the deck's chain and on the target's main
// and headphone streams; switched on, its parameter sliders then run.
void SwitchEffect(const Deck& deck, const Switch& sw, bool on, const Target& target) {
  MainState& s = deck.State();
  const QString key = QLatin1String(keys::kEffectSwitches[static_cast<size_t>(sw.box)]);
  if (!on) {
    for (engine::Handle h : {deck.Chain(), target.main, target.headphone}) engine::RemoveEffect(h, sw.type);
    keys::Save(Section(deck.Id()), key, QStringLiteral("0"));
    return;
  }
  // The parameters: from the settings (10 where a key is missing, 0 for a
  // text that is no number), or from the sliders while a song's own effect
  // record is applied.
  std::vector<int64_t> values;
  for (int k : sw.sliders) {
    if (s.SongEffectsActive) {
      values.push_back(deck.EffectSlider(k).value());
    } else {
      const auto v = SettingToInt16(keys::Get(Section(deck.Id()),
                                              QLatin1String(keys::kEffectSliders[static_cast<size_t>(k)]), QStringLiteral("10")));
      values.push_back(v ? *v : 0);
    }
  }
  for (engine::Handle h : {deck.Chain(), target.main, target.headphone}) engine::AddEffect(h, sw.type, kSwitchPriority);
  for (size_t p = 0; p < sw.sliders.size(); ++p)
    SetAndRun(s, deck.EffectSlider(sw.sliders[p]), values[p], sldEffects_ValueChanged, deck.SliderIndex(sw.sliders[p]));
  keys::Save(Section(deck.Id()), key, QStringLiteral("1"));
}

// Runs box `index`; the seven effect switches act on `onto`, or, when it is
// null, on the player the deck's sliders act on.
void RunBox(MainState& s, int index, clsBassPlayer* onto) {
  const auto at = ctl::EffectBoxAt(index);
  if (!at) return;
  const Deck deck(s, at->first);
  const int box = at->second;  // deck 1's box number
  ui::CheckBox& control = deck.EffectBox(box);
  if (box == ctl::kEqualizerBox) return ResetEqualizer(deck, control);
  if (box == ctl::kPitchBox) return ResetPitch(deck, control);
  const Target target = onto ? PlayerTarget(onto) : DeckTarget(s, deck.Id());
  for (const Switch& sw : SwitchTable())
    if (sw.box == box) return SwitchEffect(deck, sw, control.isChecked(), target);
}

}  // namespace

void Effects_Click(MainState& s, int index) { RunBox(s, index, nullptr); }

void ApplyEffectSwitch(MainState& s, int index, clsBassPlayer* onto) { RunBox(s, index, onto); }

}  // namespace effects
