#include "app/Widgets.h"

#include <QPainter>

namespace djvp {

QPointF CurvePanel::Map(double x, double y) const {
  return {x / 100.0 * (width() - 1), (255.0 - y) / 255.0 * (height() - 1)};
}

void CurvePanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  if (painter) painter(p, QRectF(rect()));
}

void ToolTipSet::AddTool(QWidget* control, const QString& text) {
  if (!control) return;
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  control->setToolTip(shown);
  tools_.emplace_back(control, text);
}

void ToolTipSet::Release() {
  for (auto& [control, text] : tools_) control->setToolTip(QString());
  tools_.clear();
}

QString ToolTipSet::TextOf(const QWidget* control) const {
  for (const auto& [c, text] : tools_)
    if (c == control) return text;
  return {};
}

}  // namespace djvp
