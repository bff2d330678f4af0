// The hand controls of the mix: each deck's position slider (seek), volume
// and headphone volume sliders, the crossfader and the pre-listen switch.
// Deck numbers are control-array indexes: 0 is deck 1, 1 is deck 2. The deck
// handlers act only on the deck's players that are playing; code that moves
// the sliders only to show a value sets SuppressSliderEvents around it.
#pragma once

namespace djvp {

class frmMain;

namespace mixer {

// Seek: both playing players of the deck (and their headphone mirrors) go to
// the slider's second and play on from there.
void Position_ValueChanged(frmMain& form, int deck);
// Deck volume: 100 - slider value on the deck's playing players.
void Volume_ValueChanged(frmMain& form, int deck);
// Headphone volume: 100 - slider value on the playing players' mirrors.
void VolumeHP_ValueChanged(frmMain& form, int deck);
// Crossfader at v: deck 1's volume slider to v, deck 2's to 100 - v, each
// with its handler.
void Slider1_ValueChanged(frmMain& form);
// The pre-listen switch: PreListenOn flips, and the label under the button
// says which way it now stands.
void Command1_Click(frmMain& form);
// The pre-listen label's text for the current PreListenOn, in the current
// language ("ON" / "OFF").
void ShowPreListenState(frmMain& form);

}  // namespace mixer
}  // namespace djvp
