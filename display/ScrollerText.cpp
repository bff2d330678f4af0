#include "display/ScrollerText.h"

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

void ScrollerDrawText(const QString& text, int start, int width, const ScrollerCellRow& cells) {
  const int length = static_cast<int>(text.size());
  const int last = std::min(width, kScrollerCells - 1);
  // Only the characters that land on cells 0..last are looked at.
  const int first = std::max(0, -start);
  const int end = std::min(length - 1, last - start);
  for (int k = first; k <= end; ++k) {
    ui::PictureCell* cell = cells[static_cast<size_t>(start + k)];
    if (!cell) continue;
    const QChar c = ScrollerShownChar(text.at(k));
    if (c == QLatin1Char(' ')) {
      cell->setVisible(false);
    } else {
      cell->setKey(ScrollerPictureKey(c));
      cell->setVisible(true);
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
