// Small widget classes of the main window: a frame with a caption that the
// caption fitting reaches through the "text" property, the crossfade-curve
// panel, and the set of tooltips.
#pragma once

#include "ui/Controls.h"

#include <QGroupBox>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
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
// 0 (bottom) to 255 (top). It shows its Drawing — on a black ground the
// outgoing song's line (full volume to leftU, silent at leftD) and the
// incoming one's (silent to rightD, full from rightU) in light blue, and four
// red handle boxes — or, before it has one, the black ground alone.
// Mouse events reach the three callbacks in the panel's units, with the
// buttons as 1 left, 2 right, 4 middle.
class CurvePanel : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  // Scale coordinates to pixels, and back.
  QPointF Map(double x, double y) const;
  QPointF Unmap(const QPointF& pixel) const;

  using Box = ui::CurveEditor::Box;
  using Drawing = ui::CurveEditor::Drawing;
  void SetDrawing(const Drawing& d);
  const std::optional<Drawing>& CurrentDrawing() const { return drawing_; }

  using MouseHandler = std::function<void(int16_t button, int16_t shift, float x, float y)>;
  MouseHandler MouseDown, MouseMove, MouseUp;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void Forward(const MouseHandler& handler, QMouseEvent* e, Qt::MouseButtons buttons);
  std::optional<Drawing> drawing_;
};

// The main window's tooltips: one tool per control (or per widget that has
// no control, such as a display panel) with a text of several lines (CR LF
// separated). Release takes every tool off again.
class ToolTipSet {
 public:
  void AddTool(ui::Control& control, const QString& text);
  void AddTool(QWidget* widget, const QString& text);
  void Release();
  int Count() const { return static_cast<int>(controls_.size() + widgets_.size()); }

 private:
  std::vector<ui::Control*> controls_;
  std::vector<QWidget*> widgets_;
};

}  // namespace djvp
