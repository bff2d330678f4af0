// The scrolling title displays' widgets: the character pictures, drawn once
// from a font, and the cell widget that shows one of them.
#pragma once

#include "display/ScrollerText.h"

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QString>

#include <array>
#include <map>

namespace djvp {

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

// One deck's cell widgets, cell 0 at the left.
using ScrollerCellWidgets = std::array<ScrollerCell*, kScrollerCells>;

// Makes the 20 cells of one deck on its title panel at their places, all
// hidden.
ScrollerCellWidgets MakeScrollerCells(QWidget* panel);

}  // namespace djvp
