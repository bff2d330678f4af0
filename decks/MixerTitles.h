// The decks' title displays: their texts, the tick of each deck's timer, and
// the song line a start puts on a deck. They work on the deck panels alone.
#pragma once

#include "display/ScrollerText.h"
#include "ui/MainState.h"

#include <QString>

#include <cstdint>

namespace decks {

// The cell controls of a deck's display (Image1 0..19 deck 1, 20..39 deck 2).
djvp::ScrollerCellRow CellsOf(djvp::DeckPanels& s, djvp::DeckId deck);

// Draws the deck's current text with its first character at cell `start`.
void DisplayDeckText(djvp::DeckPanels& s, djvp::DeckId deck, int16_t start);

// One 200 ms tick of the deck's display (the scroller timers' handlers).
void ScrollerDeckTick(djvp::DeckPanels& s, djvp::DeckId deck);

// Puts `line` followed by ten blanks on the deck's display and places it so
// that the next tick shows its last character in the last cell (position =
// width - length + 2).
void SetScrollerText(djvp::DeckPanels& s, djvp::DeckId deck, const QString& line);

// The song line of the grid's current row, on the deck whose playlist the
// grid is (PlayListView(0) deck 1, PlayListView(1) deck 2; any other grid
// changes nothing): "Artist: a  •  Title: t", then "  •  Album: ...",
// Year, Bitrate and Freq. for the cells that are not empty, with the labels
// in the current language.
void SetScrollerText(djvp::DeckPanels& s, djvp::Grid& grid);
// The song line SetScrollerText builds for that row, without the blanks.
QString ScrollerSongLine(const djvp::Grid& grid, int32_t row);

// "Importing" (in the current language) on the deck's display while a folder
// is imported into its playlist; the position stays where it is.
void ShowScrollerImporting(djvp::DeckPanels& s, djvp::DeckId deck);
// The resting text "dj VORLAN" back on the deck's display; with
// resetPosition the text is placed as a new text is (position 2), otherwise
// it goes on from where the old one stood.
void ShowScrollerIdle(djvp::DeckPanels& s, djvp::DeckId deck, bool resetPosition = true);

}  // namespace decks
