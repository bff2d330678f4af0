#include "display/Scroller.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace djvp {

// ------------------------------------------------------------- pictures

const ScrollerPictures& ScrollerPictures::Shared() {
  static const ScrollerPictures set;
  return set;
}

ScrollerPictures::ScrollerPictures() {
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setStyleHint(QFont::Monospace);
  font.setBold(true);
  font.setPixelSize(17);
  font.setHintingPreference(QFont::PreferFullHinting);
  const QFontMetrics metrics(font);
  // The baseline leaves room for the descenders of g, j, p, q, y and for
  // the parentheses within the 20 rows.
  const int baseline = std::min(kScrollerCellHeight - 1 - metrics.descent() + 1, metrics.ascent() + 1);
  for (const QChar c : ScrollerCharset()) {
    const QString key = ScrollerPictureKey(c);
    if (key.isEmpty()) continue;
    QImage img(kScrollerCellWidth, kScrollerCellHeight, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
      QPainter p(&img);
      p.setFont(font);
      p.setPen(Qt::white);
      p.setRenderHint(QPainter::TextAntialiasing, true);
      const int advance = metrics.horizontalAdvance(c);
      // Whole-pixel placement keeps the strokes on the pixel grid.
      const int x = (kScrollerCellWidth - advance) / 2;
      p.drawText(QPoint(x, baseline), QString(c));
    }
    pictures_.emplace(key, img);
  }
}

const QImage& ScrollerPictures::Picture(const QString& key) const {
  const auto it = pictures_.find(key);
  return it == pictures_.end() ? none_ : it->second;
}

// ----------------------------------------------------------------- cell

ScrollerCell::ScrollerCell(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("lcdText"));
  setAttribute(Qt::WA_TranslucentBackground);
  resize(kScrollerCellWidth, kScrollerCellHeight);
  // Without a skin the LCD text is a cool cyan, as on the other displays.
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, QColor(143, 246, 255));
  setPalette(pal);
}

void ScrollerCell::SetPictureKey(const QString& key) {
  if (key == key_) return;
  key_ = key;
  tinted_ = QImage();
  update();
}

void ScrollerCell::changeEvent(QEvent* e) {
  QLabel::changeEvent(e);
  if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange) {
    tinted_ = QImage();
    update();
  }
}

void ScrollerCell::paintEvent(QPaintEvent*) {
  const QImage& mask = ScrollerPictures::Shared().Picture(key_);
  if (mask.isNull()) return;
  const QColor colour = palette().color(foregroundRole());
  if (tinted_.isNull() || colour != tintedColour_) {
    tinted_ = QImage(mask.size(), QImage::Format_ARGB32_Premultiplied);
    tinted_.fill(colour);
    QPainter t(&tinted_);
    t.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    t.drawImage(0, 0, mask);
    tintedColour_ = colour;
  }
  QPainter p(this);
  p.drawImage(0, 0, tinted_);
}

// --------------------------------------------------------- cells and tick

ScrollerCellWidgets MakeScrollerCells(QWidget* panel) {
  ScrollerCellWidgets row{};
  for (int c = 0; c < kScrollerCells; ++c) {
    auto* cell = new ScrollerCell(panel);
    cell->setGeometry(kScrollerCellLeft[static_cast<size_t>(c)], kScrollerCellTop, kScrollerCellWidth,
                      kScrollerCellHeight);
    cell->hide();
    row[static_cast<size_t>(c)] = cell;
  }
  return row;
}

}  // namespace djvp
