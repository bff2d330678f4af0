// Small widget classes of the main window: a frame with a caption that the
// caption fitting reaches through the "text" property, the crossfade-curve
// panel, and the set of tooltips.
#pragma once

#include <QGroupBox>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace djvp {

// A group frame whose caption is its "text" property.
class TitledFrame : public QGroupBox {
  Q_OBJECT
  Q_PROPERTY(QString text READ title WRITE setTitle)

 public:
  using QGroupBox::QGroupBox;
};

// The crossfade-curve panel: x from 0 (left edge) to 100 (right edge), y from
// 0 (bottom) to 255 (top); what it shows is painted by the callback.
class CurvePanel : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  std::function<void(QPainter&, const QRectF& area)> painter;
  // Scale coordinates to pixels.
  QPointF Map(double x, double y) const;

 protected:
  void paintEvent(QPaintEvent* e) override;
};

// The main window's tooltips: one tool per control with a text of several
// lines (CR LF separated). Release takes every tool off again.
class ToolTipSet {
 public:
  void AddTool(QWidget* control, const QString& text);
  void Release();
  int Count() const { return static_cast<int>(tools_.size()); }
  QString TextOf(const QWidget* control) const;

 private:
  std::vector<std::pair<QWidget*, QString>> tools_;
};

}  // namespace djvp
