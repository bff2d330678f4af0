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
// off. Otherwise the decks are mixed by hand: the timer runs no ramp, and a
// crossfade armed meanwhile waits for it. Switching between the two touches
// no playing song's volume.
bool AutomixRuns(const MainState& s);
// Mixed by hand, a deck is never silent while it shows a song playing: a
// deck whose playing songs are all silent, and which no song of the other
// deck that is heard crossfades into, takes the volume its slider shows on
// its playing songs. So a song that waited silent is heard once the song it
// waited on has gone (stopped, paused or run out), also when the timer's
// ramps stop there. Does nothing while the timer mixes (its ramps set the
// volumes).
void HearWaitingSongs(MainState& s);
// True when another playing player of the deck than p is heard.
bool DeckHeardBesides(const MainState& s, DeckId deck, const clsBassPlayer* p);
// A player of the deck that plays again (resumed after a pause) takes the
// deck's volume and headphone volume sliders, which may have moved while it
// was paused; beside a song of the deck that is heard it waits silent, so
// that one song of a deck is heard unless a crossfade or the deck's slider
// brings in both.
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
