#include "decks/MixerCurve.h"

#include "ui/MainState.h"
#include "ui/SettingsValue.h"
#include "ui/SettingsKeys.h"

#include <array>
#include <cmath>

namespace djvp::mixer {

namespace {

void Save(const keys::Key& key, int value) { keys::Save(key, QString::number(value)); }

constexpr std::array<Handle, 4> kHandles = {Handle::LeftU, Handle::LeftD, Handle::RightD, Handle::RightU};

int16_t& PointOf(MixerPanel& s, Handle h) {
  switch (h) {
    case Handle::LeftU: return s.MixLeftU;
    case Handle::LeftD: return s.MixLeftD;
    case Handle::RightD: return s.MixRightD;
    case Handle::RightU: break;
  }
  return s.MixRightU;
}

bool& DragOf(ui::CurveEditor& panel, Handle h) {
  switch (h) {
    case Handle::LeftU: return panel.DragLeftU;
    case Handle::LeftD: return panel.DragLeftD;
    case Handle::RightD: return panel.DragRightD;
    case Handle::RightU: break;
  }
  return panel.DragRightU;
}

const keys::Key& KeyOf(Handle h) {
  switch (h) {
    case Handle::LeftU: return keys::kMixLeftU;
    case Handle::LeftD: return keys::kMixLeftD;
    case Handle::RightD: return keys::kMixRightD;
    case Handle::RightU: break;
  }
  return keys::kMixRightU;
}

ui::CurveEditor::Box ToBox(const HandleBox& b) { return {b.x0, b.x1, b.top}; }

// The panel's picture of the curve with the given point positions; the
// handles marked as dragged are drawn as while they are dragged.
void Show(ui::CurveEditor& panel, const std::array<double, 4>& at, const std::array<bool, 4>& dragged = {}) {
  ui::CurveEditor::Drawing d;
  d.leftU = at[0];
  d.leftD = at[1];
  d.rightD = at[2];
  d.rightU = at[3];
  for (size_t i = 0; i < 4; ++i)
    d.handles[i] = ToBox(dragged[i] ? DragHandleAt(kHandles[i], at[i]) : HandleAt(kHandles[i], at[i]));
  panel.setDrawing(d);
}

std::array<double, 4> PointsAsDrawn(const MixerPanel& s) {
  return {double(s.MixLeftU), double(s.MixLeftD), double(s.MixRightD), double(s.MixRightU)};
}

}  // namespace

std::optional<CurvePoints> PresetCurve(int index) {
  // LeftU, LeftD, RightU, RightD.
  static constexpr int16_t presets[6][4] = {{50, 50, 50, 50}, {75, 100, 25, 0}, {10, 100, 90, 0},
                                            {25, 100, 75, 0}, {50, 50, 90, 0},  {10, 100, 50, 50}};
  if (index < 0 || index > 5) return std::nullopt;
  const auto& p = presets[index];
  return CurvePoints{p[0], p[1], p[2], p[3]};
}

HandleBox HandleAt(Handle h, double v) {
  switch (h) {
    case Handle::LeftU: return v < 5 ? HandleBox{0, 5, true} : HandleBox{v - 5, v, true};
    case Handle::LeftD: return {v - 5, v, false};
    case Handle::RightD: return {v, v + 5, false};
    case Handle::RightU: break;
  }
  return v > 95 ? HandleBox{95, 100, true} : HandleBox{v, v + 5, true};
}

HandleBox DragHandleAt(Handle h, double x) {
  if (h == Handle::LeftD && x > 95) return {95, 100, false};
  return HandleAt(h, x);
}

bool OnHandle(const HandleBox& box, double x, double y) {
  const double y0 = box.top ? 230 : 0;
  const double y1 = box.top ? 255 : 25;
  return x >= box.x0 && x <= box.x1 && y >= y0 && y <= y1;
}

double ClampCurveX(double x) {
  if (x <= 0) return 0;
  if (x >= 100) return 100;
  return x;
}

int16_t ReleasePoint(double x) { return static_cast<int16_t>(RoundHalfEven(ClampCurveX(x))); }

CurvePoints CurveOf(const MixerPanel& s) { return {s.MixLeftU, s.MixLeftD, s.MixRightU, s.MixRightD}; }

void DrawCrossfadeCurve(MixerPanel& s) { Show(s.pctDimmer, PointsAsDrawn(s)); }

void MixPreview_Click(MixerPanel& s, int index) {
  if (const auto c = PresetCurve(index)) {
    s.MixLeftU = c->LeftU;
    s.MixLeftD = c->LeftD;
    s.MixRightU = c->RightU;
    s.MixRightD = c->RightD;
  }
  Save(keys::kPreview, index);
  DrawCrossfadeCurve(s);
}

void pctDimmer_MouseDown(MixerPanel& s, int16_t, int16_t, float x, float y) {
  for (Handle h : kHandles)
    if (OnHandle(HandleAt(h, PointOf(s, h)), x, y)) DragOf(s.pctDimmer, h) = true;
}

void pctDimmer_MouseMove(MixerPanel& s, int16_t button, int16_t, float x, float y) {
  ui::CurveEditor& panel = s.pctDimmer;
  bool over = false;
  for (Handle h : kHandles) over = over || OnHandle(HandleAt(h, PointOf(s, h)), x, y);
  const bool dragging = panel.DragLeftU || panel.DragLeftD || panel.DragRightD || panel.DragRightU;
  // Only the left button alone drags; the points stay as they are until the
  // release.
  if (button == kLeftButton && dragging) {
    std::array<double, 4> at = PointsAsDrawn(s);
    std::array<bool, 4> dragged{};
    for (size_t i = 0; i < 4; ++i)
      if ((dragged[i] = DragOf(panel, kHandles[i]))) at[i] = ClampCurveX(x);
    Show(panel, at, dragged);
    panel.DragMoved = true;
    over = true;
  }
  panel.setSizingPointer(over);
}

void pctDimmer_MouseUp(MixerPanel& s, int16_t, int16_t, float x, float) {
  ui::CurveEditor& panel = s.pctDimmer;
  // Only a drag that was drawn changes the curve: a release without a
  // grabbed handle, or a press and release without a left-button move,
  // leaves the curve in force (preset or the user's own) as it is.
  const bool moved = panel.DragMoved;
  panel.DragMoved = false;
  bool any = false;
  for (Handle h : {Handle::LeftU, Handle::LeftD, Handle::RightU, Handle::RightD}) {
    bool& drag = DragOf(panel, h);
    if (!drag) continue;
    drag = false;
    any = true;
    if (moved) PointOf(s, h) = ReleasePoint(x);
  }
  if (!any || !moved) return;
  // The user's own curve is all four points as they are drawn now: the
  // points not dragged are stored too, so that the next start uses exactly
  // the curve shown.
  Save(keys::kPreview, 100);
  for (Handle h : kHandles) Save(KeyOf(h), PointOf(s, h));
  DrawCrossfadeCurve(s);
}

}  // namespace djvp::mixer
