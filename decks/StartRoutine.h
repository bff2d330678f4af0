// Starting the current row of a deck's playlist: the song goes to the deck's
// idle player; when another player is playing, it starts silent and the
// crossfade from that player is armed for the playback timer, otherwise it
// starts at the deck's volume and the crossfader moves to the deck's side.
#pragma once

#include "ui/DeckId.h"

#include <cstdint>

namespace djvp {
class MainState;
}

namespace decks {

// What a start did.
enum class StartResult {
  kStarted,
  kRefused,  // a crossfade runs, or the deck has no playlist: nothing changed
  kFailed,   // the song could not be opened or played
};

// Refused (nothing changes) while a crossfade runs. A song that
// cannot be opened or played has shown its message (naming the file and
// why); the start then arms nothing.
StartResult PlayDeck(djvp::MainState& s, djvp::DeckId deck);

// A start the way the automatic mix makes it: with Auto Mix on, a row whose
// song cannot be played is passed over and the row after it started, until
// one plays or the list ends (where the deck stops as it always does). The
// rows passed over are told once, in one notice that does not stop the mix,
// each by its file and why, instead of a message box each. With Auto Mix
// off it is PlayDeck.
StartResult PlayDeckOrNextPlayable(djvp::MainState& s, djvp::DeckId deck);

// The fade lengths in percent of the mix time that the curve gives: the
// slope's width, or where the single step lies when a side has no slope.
int16_t FadeOutPercentOf(int16_t mixLeftU, int16_t mixLeftD);
int16_t FadeInPercentOf(int16_t mixRightU, int16_t mixRightD);

}  // namespace decks
