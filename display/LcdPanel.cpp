#include "display/LcdPanel.h"

#include <QPainter>
#include <QResizeEvent>

namespace djvp {

LcdPanel::LcdPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  Cls();
}

void LcdPanel::SetBackColor(const QColor& c) { backColor_ = c; }

void LcdPanel::SetPicture(const QImage& picture) { picture_ = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied); }

void LcdPanel::SetAutoRedraw(bool on) { autoRedraw_ = on; }

void LcdPanel::Fit(QImage& img, bool transparent) const {
  const QSize size = this->size().expandedTo(QSize(1, 1));
  if (img.size() == size) return;
  QImage fresh(size, QImage::Format_ARGB32_Premultiplied);
  fresh.fill(transparent ? QColor(Qt::transparent) : backColor_);
  if (!img.isNull()) {
    QPainter p(&fresh);
    p.drawImage(0, 0, img);
  }
  img = fresh;
}

QImage& LcdPanel::Canvas() {
  if (autoRedraw_) {
    Fit(stored_, false);
    return stored_;
  }
  Fit(screen_, true);
  return screen_;
}

void LcdPanel::Cls() {
  const QSize size = this->size().expandedTo(QSize(1, 1));
  stored_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
  stored_.fill(backColor_);
  if (!picture_.isNull()) {
    QPainter p(&stored_);
    p.drawImage(0, 0, picture_);
  }
  screen_ = QImage();
  update();
}

QImage LcdPanel::Shown() const {
  QImage out = stored_;
  if (!screen_.isNull()) {
    QPainter p(&out);
    p.drawImage(0, 0, screen_);
  }
  return out;
}

void LcdPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), backColor_);
  p.drawImage(0, 0, stored_);
  if (!screen_.isNull()) p.drawImage(0, 0, screen_);
}

void LcdPanel::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Fit(stored_, false);
  if (!screen_.isNull()) Fit(screen_, true);
}

}  // namespace djvp
