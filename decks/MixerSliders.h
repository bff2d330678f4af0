// The hand controls of the mix: each deck's position slider (seek), volume
// and headphone volume sliders, the crossfader, the pre-listen switch and the
// master volume. The deck handlers act only on the deck's players that are playing;
// code that moves the sliders only to show a value holds their events back.
#pragma once

#include "ui/DeckId.h"

namespace djvp {

class MainState;
class clsBassPlayer;

namespace mixer {

// True while the playback timer mixes by itself: Auto Mix on and pre-listen
// off. Otherwise the decks are mixed by hand, and every playing player of a
// deck sounds at the deck's volume slider (100 - its value), as the window
// shows it; a crossfade armed meanwhile waits for the timer, its incoming
// song already heard at that volume.
bool AutomixRuns(const MainState& s);
// The timer has stopped mixing (Auto Mix switched off, pre-listen switched
// on): a crossfade it was running stays armed where it stands, and each
// deck's playing players take the volume its slider shows, so that no deck
// that looks loud stays at a ramp's silence.
void HandOverToSliders(MainState& s);
// A player of the deck that plays again (resumed after a pause) takes the
// deck's volume and headphone volume sliders, which may have moved while it
// was paused.
void TakeDeckVolumes(MainState& s, DeckId deck, clsBassPlayer& p);

// Seek: both playing players of the deck (and their headphone mirrors) go to
// the slider's second and play on from there.
void Position_ValueChanged(MainState& s, DeckId deck);
// Deck volume: 100 - slider value on the deck's playing players.
void Volume_ValueChanged(MainState& s, DeckId deck);
// Headphone volume: 100 - slider value on the playing players' mirrors.
void VolumeHP_ValueChanged(MainState& s, DeckId deck);
// Crossfader at v: deck 1's volume slider to v, deck 2's to 100 - v, each
// with its handler.
void Slider1_ValueChanged(MainState& s);
// The pre-listen switch: PreListenOn flips, and the label under the button
// says which way it now stands.
void Command1_Click(MainState& s);
// The pre-listen label's text for the current PreListenOn, in the current
// language ("ON" / "OFF").
void ShowPreListenState(MainState& s);
// The system mixer's wave volume: one hundredth of its range times
// (100 - the slider's value), to the nearest whole number.
void MainVolume_ValueChanged(MainState& s);

}  // namespace mixer
}  // namespace djvp
