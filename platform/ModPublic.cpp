#include "platform/ModPublic.h"

#include "StringTable.h"
#include "platform/OwnFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cmath>

namespace djvp {

QString modPublic_AddBackslash(const QString& path) {
  if (path.isEmpty() || path.endsWith(QLatin1Char('/'))) return path;
  return path + QLatin1Char('/');
}

bool modPublic_FileExists(const QString& path) {
  // Files only: folders and hidden names are not found.
  if (path.isEmpty()) return false;
  if (path.contains(QLatin1Char('*')) || path.contains(QLatin1Char('?'))) {
    const QFileInfo pattern(path);
    const QDir dir = pattern.dir();
    return !dir.entryList({pattern.fileName()}, QDir::Files | QDir::NoDotAndDotDot).isEmpty();
  }
  // By the name's bytes: a name that is not UTF-8 is found too.
  return KindOf(path) == PathKind::File && !QFileInfo(path).fileName().startsWith(QLatin1Char('.'));
}

void modPublic_BlendPictures(const QImage& background, const QImage& overlay, int32_t alpha, int16_t x,
                             int16_t y, QPaintDevice& target) {
  QPainter p(&target);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.setOpacity(1.0);
  p.drawImage(QPoint(x, y), background);
  p.setOpacity(alpha >= 0 && alpha <= 255 ? alpha / 255.0 : 1.0);
  p.drawImage(QRect(x, y, background.width(), background.height()), overlay);
}

void modPublic_FitCaption(QWidget& control, int32_t stringNumber) {
  const auto text = FindResString(stringNumber);
  if (!text) return;
  modPublic_FitCaptionText(control, QString::fromStdString(*text));
}

void modPublic_FitCaptionText(QWidget& control, const QString& caption) {
  QFont font = control.font();
  for (;;) {
    if (QFontMetrics(font).horizontalAdvance(caption) <= control.width()) break;
    const qreal size = font.pointSizeF();
    if (size < 7) {
      font.setPointSizeF(7);
      break;
    }
    font.setPointSizeF(size - 1);
  }
  control.setFont(font);
  control.setProperty("text", caption);
}

}  // namespace djvp
