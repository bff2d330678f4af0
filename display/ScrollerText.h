// The scrolling title displays of the decks: a row of 20 character cells on a
// deck's title panel through which a text moves one cell to the left per
// tick. Cells show pictures of a fixed 80-character set; characters outside
// the set show as "_", a blank hides its cell.
//
// This file holds what needs no widget: the character set and its picture
// keys, and the drawing and tick of one deck's text on its cell controls
// (the window shows each cell control in a cell widget, display/Scroller.h).
#pragma once

#include "ui/Controls.h"

#include <QString>

#include <array>
#include <cstdint>

namespace djvp {

// Size of one character cell and of its picture, in pixels.
constexpr int kScrollerCellWidth = 14;
constexpr int kScrollerCellHeight = 20;
// Number of cells of one deck's display (cells 0..19).
constexpr int kScrollerCells = 20;
// Left edges of the cells on the title panel, and their top.
constexpr std::array<int, kScrollerCells> kScrollerCellLeft = {5,   25,  42,  60,  78,  96,  114, 132, 150, 167,
                                                               186, 205, 222, 240, 259, 276, 294, 312, 330, 349};
constexpr int kScrollerCellTop = 2;

// The text every display shows at rest: "dj VORLAN" and ten blanks.
QString ScrollerIdleText();
// Ten blanks: every text of a display ends with them.
QString ScrollerTrailer();

// The 80 characters a display shows, in their order: the blank, ' : ! . - ;
// , ( ) / + * ? % & _ the bullet U+2022, the digits and the Latin letters of
// both cases.
const QString& ScrollerCharset();
// True for a character of the set (exact code, no case folding).
bool IsScrollerChar(QChar c);
// The character a cell shows for c: c itself when it is in the set, "_"
// otherwise.
QChar ScrollerShownChar(QChar c);
// The key of c's picture: "ico" and its Windows-1252 code in decimal
// ("ico65" for A, "ico149" for the bullet); "" for the blank and for any
// character outside the set.
QString ScrollerPictureKey(QChar c);

// One deck's cell controls, cell 0 at the left.
using ScrollerCellRow = std::array<ui::PictureCell*, kScrollerCells>;

// Draws text with its first character at cell `start`: each character that
// falls on a cell 0..width hides that cell (blank) or shows its picture;
// characters off the display and cells no character falls on are left
// alone. Null cells are skipped.
void ScrollerDrawText(const QString& text, int start, int width, const ScrollerCellRow& cells);

// One tick of a display: the position moves one cell to the left and the text
// is drawn from there; while its end is still on the display and its start
// has left it, the start is drawn again behind it (max(length, width) cells
// later); once the whole text has left, the position goes to width − length
// (0 when negative), where that second copy stood.
void ScrollerTick(const QString& text, int16_t& position, int16_t width, const ScrollerCellRow& cells);

}  // namespace djvp
