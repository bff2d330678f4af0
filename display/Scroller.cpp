#include "display/Scroller.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace djvp {

QString ScrollerTrailer() { return QString(10, QLatin1Char(' ')); }

QString ScrollerIdleText() { return QStringLiteral("dj VORLAN") + ScrollerTrailer(); }

const QString& ScrollerCharset() {
  static const QString set = QStringLiteral(" ':!.-;,()/+*?%&_") + QChar(0x2022) +
                             QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return set;
}

bool IsScrollerChar(QChar c) { return ScrollerCharset().contains(c, Qt::CaseSensitive); }

QChar ScrollerShownChar(QChar c) { return IsScrollerChar(c) ? c : QLatin1Char('_'); }

QString ScrollerPictureKey(QChar c) {
  if (c == QLatin1Char(' ') || !IsScrollerChar(c)) return {};
  // Every character of the set is ASCII but the bullet, whose Windows-1252
  // code is 149.
  const int code = c.unicode() == 0x2022 ? 149 : c.unicode();
  return QStringLiteral("ico") + QString::number(code);
}

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

ScrollerCellRow MakeScrollerCells(QWidget* panel) {
  ScrollerCellRow row{};
  for (int c = 0; c < kScrollerCells; ++c) {
    auto* cell = new ScrollerCell(panel);
    cell->setGeometry(kScrollerCellLeft[static_cast<size_t>(c)], kScrollerCellTop, kScrollerCellWidth,
                      kScrollerCellHeight);
    cell->hide();
    row[static_cast<size_t>(c)] = cell;
  }
  return row;
}

void ScrollerDrawText(const QString& text, int start, int width, const ScrollerCellRow& cells) {
  const int length = static_cast<int>(text.size());
  const int last = std::min(width, kScrollerCells - 1);
  // Only the characters that land on cells 0..last are looked at.
  const int first = std::max(0, -start);
  const int end = std::min(length - 1, last - start);
  for (int k = first; k <= end; ++k) {
    ScrollerCell* cell = cells[static_cast<size_t>(start + k)];
    if (!cell) continue;
    const QChar c = ScrollerShownChar(text.at(k));
    if (c == QLatin1Char(' ')) {
      cell->hide();
    } else {
      cell->SetPictureKey(ScrollerPictureKey(c));
      cell->show();
    }
  }
}

void ScrollerTick(const QString& text, int16_t& position, int16_t width, const ScrollerCellRow& cells) {
  const int length = static_cast<int>(text.size());
  int pos = position - 1;
  if (pos >= 1) {
    ScrollerDrawText(text, pos, width, cells);
  } else if (pos > -length) {
    ScrollerDrawText(text, pos, width, cells);
    ScrollerDrawText(text, pos + std::max(length, static_cast<int>(width)), width, cells);
  } else {
    pos = std::max(0, width - length);
    ScrollerDrawText(text, pos, width, cells);
  }
  position = static_cast<int16_t>(std::clamp(pos, -32768, 32767));
}

}  // namespace djvp
