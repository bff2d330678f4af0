#include "app/Widgets.h"

#include <QMouseEvent>
#include <QPainter>

namespace djvp {

QPointF CurvePanel::Map(double x, double y) const {
  return {x / 100.0 * (width() - 1), (255.0 - y) / 255.0 * (height() - 1)};
}

QPointF CurvePanel::Unmap(const QPointF& pixel) const {
  const double w = qMax(1, width() - 1);
  const double h = qMax(1, height() - 1);
  return {pixel.x() * 100.0 / w, 255.0 - pixel.y() * 255.0 / h};
}

void CurvePanel::SetDrawing(const Drawing& d) {
  drawing_ = d;
  update();
}

void CurvePanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (!drawing_) return;
  const Drawing& d = *drawing_;
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(187, 208, 247), 1.5));
  p.drawLine(Map(0, 255), Map(d.leftU, 255));
  p.drawLine(Map(d.leftU, 255), Map(d.leftD, 0));
  p.drawLine(Map(d.rightD, 0), Map(d.rightU, 255));
  p.drawLine(Map(d.rightU, 255), Map(100, 255));
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 0, 0));
  for (const Box& b : d.handles) {
    const QPointF a = Map(b.x0, b.top ? 255 : 25);
    const QPointF c = Map(b.x1, b.top ? 230 : 0);
    p.drawRect(QRectF(a, c).normalized());
  }
}

void CurvePanel::Forward(const MouseHandler& handler, QMouseEvent* e, Qt::MouseButtons buttons) {
  if (!handler) return;
  int16_t button = 0;
  if (buttons & Qt::LeftButton) button |= 1;
  if (buttons & Qt::RightButton) button |= 2;
  if (buttons & Qt::MiddleButton) button |= 4;
  int16_t shift = 0;
  if (e->modifiers() & Qt::ShiftModifier) shift |= 1;
  if (e->modifiers() & Qt::ControlModifier) shift |= 2;
  if (e->modifiers() & Qt::AltModifier) shift |= 4;
  const QPointF at = Unmap(e->position());
  handler(button, shift, static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void CurvePanel::mousePressEvent(QMouseEvent* e) { Forward(MouseDown, e, e->button()); }
void CurvePanel::mouseMoveEvent(QMouseEvent* e) { Forward(MouseMove, e, e->buttons()); }
void CurvePanel::mouseReleaseEvent(QMouseEvent* e) { Forward(MouseUp, e, e->button()); }

void ToolTipSet::AddTool(ui::Control& control, const QString& text) {
  control.setToolTip(text);
  controls_.push_back(&control);
}

void ToolTipSet::AddTool(QWidget* widget, const QString& text) {
  if (!widget) return;
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  widget->setToolTip(shown);
  widgets_.push_back(widget);
}

void ToolTipSet::Release() {
  for (ui::Control* c : controls_) c->setToolTip(QString());
  for (QWidget* w : widgets_) w->setToolTip(QString());
  controls_.clear();
  widgets_.clear();
}

}  // namespace djvp
