// Deck transport: the Play, Pause and Stop buttons of both decks and the
// double click on a deck's playlist that starts the selected song.
#pragma once

#include "ui/DeckId.h"

namespace djvp {
class MainState;
}

namespace decks {

// The transport buttons by their cmdPlayer index: 7, 8, 9 are deck 1's Play,
// Pause and Stop, 17, 18, 19 deck 2's. Any other index does nothing.
void cmdPlayer_Transport(djvp::MainState& s, int index);

// The double click on a deck's playlist: the deck's Play.
void PlayListView_DblClick(djvp::MainState& s, djvp::DeckId deck);

}  // namespace decks
