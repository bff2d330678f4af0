// Starting the current row of a deck's playlist: the song goes to the deck's
// idle player; when another player is playing, it starts silent and the
// crossfade from that player is armed for the playback timer, otherwise it
// starts at the deck's volume and the crossfader moves to the deck's side.
#pragma once

#include <cstdint>

namespace djvp {
class MainState;
}

namespace decks {

// deck 1 or 2. Refused (nothing changes) while a crossfade runs. A song that
// cannot be opened or played has shown its message; the start then arms
// nothing.
void PlayDeck(djvp::MainState& s, int deck);

// The fade lengths in percent of the mix time that the curve gives: the
// slope's width, or where the single step lies when a side has no slope.
int16_t FadeOutPercentOf(int16_t mixLeftU, int16_t mixLeftD);
int16_t FadeInPercentOf(int16_t mixRightU, int16_t mixRightD);

}  // namespace decks
