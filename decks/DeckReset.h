// Puts a deck back to rest after its players stopped: sliders home, times and
// tempo zeroed, the title back to the product text, the meters dark, the
// Play button usable, and the crossfade bookkeeping into the deck cleared.
#pragma once

#include "ui/DeckId.h"

namespace djvp {
class MainState;
}

namespace decks {

// Touches no player. Clears CrossfadeRunning and MasterBPM
// (shared by both decks) and the six transitions into this deck's players;
// leaves AutomixTransition, the fade end times and the other deck's
// transitions alone.
void ResetDeck(djvp::MainState& s, djvp::DeckId deck);

// After a deck's songs ended without Auto Mix's help (Stop, a song that ran
// out by itself): the reset pulled the deck's volume slider down to silence,
// and it goes back where the crossfader has it, because a start that finds
// the crossfader already on the deck's side does not move it and would play
// the next song silently. The slider's event is held back.
void VolumeToCrossfader(djvp::MainState& s, djvp::DeckId deck);

// Clears every armed transition that player ab (0 = A, 1 = B) of the deck
// has a part in: its song is gone, so the transition has nothing left to
// fade. Touches no player and no other switch; true when one was cleared.
bool LeaveTransitions(djvp::MainState& s, djvp::DeckId deck, int ab);

}  // namespace decks
