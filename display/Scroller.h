// The scrolling title displays of the decks: a row of 20 character cells on a
// deck's title panel through which a text moves one cell to the left per
// tick. Cells show pictures of a fixed 80-character set, drawn once from a
// font; characters outside the set show as "_", a blank hides its cell.
//
// This file holds the parts that know nothing of the main window: the
// character set and its pictures, the cell widget, and the drawing and tick
// of one deck's text on its cells.
#pragma once

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QString>

#include <array>
#include <cstdint>
#include <map>

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

// The 79 character pictures (every character of the set but the blank),
// 14 x 20 each, keyed as ScrollerPictureKey gives. A picture is an alpha mask
// (white glyph on transparent): a cell paints it in its own text colour, so
// the skin's LCD colour applies.
class ScrollerPictures {
 public:
  // The set of the program, drawn at its first use.
  static const ScrollerPictures& Shared();
  // Draws the set from the font (a bold monospace face whose glyphs are
  // fitted into the cell on whole pixels, so they stay sharp).
  ScrollerPictures();

  int Count() const { return static_cast<int>(pictures_.size()); }
  // The picture under the key; a null image for an unknown key.
  const QImage& Picture(const QString& key) const;

 private:
  std::map<QString, QImage> pictures_;
  QImage none_;
};

// One character cell: a 14 x 20 label that shows one character picture in
// its palette's text colour (the skins give the LCD colour through the
// object name "lcdText"), over a transparent background.
class ScrollerCell : public QLabel {
  Q_OBJECT

 public:
  explicit ScrollerCell(QWidget* parent = nullptr);
  // Shows the picture under key (a repaint only when it differs).
  void SetPictureKey(const QString& key);
  const QString& PictureKey() const { return key_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  QString key_;
  QImage tinted_;  // the picture in the text colour, drawn on demand
  QColor tintedColour_;
};

// One deck's cells, cell 0 at the left.
using ScrollerCellRow = std::array<ScrollerCell*, kScrollerCells>;

// Makes the 20 cells of one deck on its title panel at their places, all
// hidden.
ScrollerCellRow MakeScrollerCells(QWidget* panel);

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
