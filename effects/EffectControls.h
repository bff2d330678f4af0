// The deck sound controls of the "Sound Effects" page and the centre panel:
// the effect switches, the equaliser bands, the gain and tone spinners and
// the tempo, sample-rate, pitch and effect parameter sliders. Each handler
// stores the control's value under its key the moment it changes.
#pragma once

namespace djvp {
class MainState;
}

namespace effects {

// Effects(index): deck 1's boxes 0..8, deck 2's 9..17 (deck 2's box for deck
// 1's box k is 17 - k). The Equalizer box resets the bands to 5 and the tone
// spinners to their stored values; the Pitch box resets tempo, sample rate
// and pitch; both stay ticked.
void Effects_Click(djvp::MainState& s, int index);
// UpDown(index): 0 and 4 the decks' gain, 1..3 and 5..7 the tones.
void UpDown_ValueChanged(djvp::MainState& s, int index);
// Eq(index): deck 1's bands 0..9, deck 2's 10..19.
void Eq_ValueChanged(djvp::MainState& s, int index);
// sldEffects(index): deck 1's sliders 0..13, deck 2's 14..27.
void sldEffects_ValueChanged(djvp::MainState& s, int index);

void ConnectHandlers(djvp::MainState& s);

// The stored effect switches, gain and tone spinners, equaliser bands and
// sliders of both decks into their controls at start (a control that changes
// runs its handler). The Equalizer and Pitch switches are ticked first, which
// resets what they own; the bands and sliders are read before that and
// applied after it, so the stored values win.
void LoadEffectSettings(djvp::MainState& s);

}  // namespace effects
