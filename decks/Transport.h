// Deck transport: the Play, Pause and Stop buttons of both decks and the
// double click on a deck's playlist that starts the clicked song.
#pragma once

class frmMain;

namespace decks {

// The transport buttons cmdPlayer(index): 0..2 are deck 1's Play, Pause and
// Stop, 3..5 the same for deck 2.
void cmdPlayer_Transport(frmMain& form, int index);

// A double click on deck `deck`'s playlist (0 or 1) starts the selected row
// on that deck.
void PlayListView_DblClick(frmMain& form, int deck);

}  // namespace decks
