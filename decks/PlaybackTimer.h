// The playback timer's run (every 55 ms on the window's thread): the status
// bar's clock and elapsed time, the position sliders and time labels of the
// playing players, and with Auto Mix on and pre-listen off the end-of-song
// stops, the crossfade ramps and the automatic start of the next row;
// without, the end of songs that have run out by themselves.
#pragma once

namespace djvp {
class MainState;
}

namespace decks {

// One whole run.
void tmrPlaying_ThatTime(djvp::MainState& s);

// Its parts, in the order a run takes them.
// Status-bar panel 1: the time of day; panel 2: the time since the window
// was made, on a clock that never runs backwards (hours go past 23).
void ShowClock(djvp::MainState& s);
// A playing song whose length the engine knew only as an estimate at its
// start: once the engine has the exact length, the player's length, the
// song's end (unless an end mix point sets it) and the deck's position
// slider follow.
void FollowKnownLengths(djvp::MainState& s);
// Position sliders and time labels of the players the mode shows.
void ShowPositions(djvp::MainState& s);
// Stops every player that has passed its playable end at a volume above 0
// and resets its deck.
void StopEndedSongs(djvp::MainState& s);
// Without Auto Mix (and before a Play): stops every player whose song has
// run out by itself (its sound has ended; it still counts as playing until
// stopped), and puts its deck at rest as Stop does unless the deck's other
// player plays on or waits paused.
void EndRunOutSongs(djvp::MainState& s);
// One step of every armed crossfade transition.
void RunTransitions(djvp::MainState& s);
// Starts the next row of the first playing player's deck once its song is
// within the mix time of its end.
void NextRowStep(djvp::MainState& s);

}  // namespace decks
