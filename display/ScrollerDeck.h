// The decks' title displays on the main window: their texts, the tick of
// each deck's timer, and the song line a start puts on a deck. Deck numbers
// here are the control-array indexes: 0 is deck 1, 1 is deck 2.
#pragma once

#include <QString>

#include <cstdint>

namespace djvp {

class frmMain;
class Grid;
class ScrollerCell;

// Makes the 20 character cells of each deck on its title panel
// (pctScroller(0) deck 1, pctScroller(1) deck 2), once: later calls do
// nothing. The character pictures are drawn with the first cells.
void CreateScrollerCells(frmMain& form);
// Character cell `index` of the window, numbered as one array: 0..19 are
// deck 1's cells from the left, 20..39 deck 2's; null before the cells exist
// and for any other index.
ScrollerCell* Image1(frmMain& form, int index);

// Draws the deck's current text with its first character at cell `start`.
void DisplayDeckText(frmMain& form, int deck, int16_t start);

// One 200 ms tick of the deck's display (the scroller timers' handlers).
void ScrollerDeckTick(frmMain& form, int deck);

// Puts `line` followed by ten blanks on the deck's display and places it so
// that the next tick shows its last character in the last cell (position =
// width - length + 2). Any other deck number changes nothing.
void SetScrollerText(frmMain& form, int deck, const QString& line);

// The song line of the grid's current row, on the deck whose playlist the
// grid is (PlayListView(0) deck 1, PlayListView(1) deck 2; any other grid
// changes nothing): "Artist: a  •  Title: t", then "  •  Album: ...",
// Year, Bitrate and Freq. for the cells that are not empty, with the labels
// in the current language.
void SetScrollerText(frmMain& form, Grid& grid);
// The song line SetScrollerText builds for that row, without the blanks.
QString ScrollerSongLine(const Grid& grid, int32_t row);

// "Importing" (in the current language) on the deck's display while a folder
// is imported into its playlist; the position stays where it is.
void ShowScrollerImporting(frmMain& form, int deck);
// The resting text "dj VORLAN" back on the deck's display; with
// resetPosition the text is placed as a new text is (position 2), otherwise
// it goes on from where the old one stood.
void ShowScrollerIdle(frmMain& form, int deck, bool resetPosition = true);

}  // namespace djvp
