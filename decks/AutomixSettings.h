// The "Mixer Settings" page's automix controls: the mix time slider, the four
// automix switches and the two automation sliders. Each handler applies the
// control's value and stores it under its key at once.
#pragma once

namespace djvp {

class MainState;

namespace mixer {

// MixTime takes the slider's value; the label under the curve shows it in
// seconds.
void MixerTime_ValueChanged(MainState& s);
// Check1(index): 0 Auto Mix (also hides the crossfader and its caption while
// on), 1 Auto Gain, 2 Auto BPM, 3 use the mix points.
void Check1_Click(MainState& s, int index);
// AutomationSlider(index): 0 the largest tempo change of Auto BPM, 1 the
// silence level of the mix-point measurement.
void AutomationSlider_ValueChanged(MainState& s, int index);

// The stored mix time, automix switches, automation sliders and crossfade
// curve into their controls at start (a control that changes runs its
// handler); defaults where nothing is stored: 20 seconds, Auto Mix and Auto
// Gain on, the sliders at 10, curve preset 2.
void LoadMixerSettings(MainState& s);

}  // namespace mixer
}  // namespace djvp
