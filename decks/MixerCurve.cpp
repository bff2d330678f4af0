#include "decks/MixerCurve.h"

#include "app/SettingsValue.h"
#include "app/frmMain.h"
#include "platform/Settings.h"

#include <array>
#include <cmath>

namespace djvp::mixer {

namespace {

void Save(const QString& key, int value) {
  SaveSetting(QStringLiteral("DJVP"), QStringLiteral("Mixer"), key, QString::number(value));
}

constexpr std::array<Handle, 4> kHandles = {Handle::LeftU, Handle::LeftD, Handle::RightD, Handle::RightU};

int16_t& PointOf(frmMain& form, Handle h) {
  switch (h) {
    case Handle::LeftU: return form.MixLeftU;
    case Handle::LeftD: return form.MixLeftD;
    case Handle::RightD: return form.MixRightD;
    case Handle::RightU: break;
  }
  return form.MixRightU;
}

bool& DragOf(CurvePanel& panel, Handle h) {
  switch (h) {
    case Handle::LeftU: return panel.DragLeftU;
    case Handle::LeftD: return panel.DragLeftD;
    case Handle::RightD: return panel.DragRightD;
    case Handle::RightU: break;
  }
  return panel.DragRightU;
}

const char* KeyOf(Handle h) {
  switch (h) {
    case Handle::LeftU: return "MixLeftU";
    case Handle::LeftD: return "MixLeftD";
    case Handle::RightD: return "MixRightD";
    case Handle::RightU: break;
  }
  return "MixRightU";
}

CurvePanel::Box ToBox(const HandleBox& b) { return {b.x0, b.x1, b.top}; }

// The panel's picture of the curve with the given point positions; the
// handles marked as dragged are drawn as while they are dragged.
void Show(CurvePanel& panel, const std::array<double, 4>& at, const std::array<bool, 4>& dragged = {}) {
  CurvePanel::Drawing d;
  d.leftU = at[0];
  d.leftD = at[1];
  d.rightD = at[2];
  d.rightU = at[3];
  for (size_t i = 0; i < 4; ++i)
    d.handles[i] = ToBox(dragged[i] ? DragHandleAt(kHandles[i], at[i]) : HandleAt(kHandles[i], at[i]));
  panel.SetDrawing(d);
}

std::array<double, 4> PointsAsDrawn(const frmMain& form) {
  return {double(form.MixLeftU), double(form.MixLeftD), double(form.MixRightD), double(form.MixRightU)};
}

void Attach(frmMain& form) {
  CurvePanel* panel = form.pctDimmer;
  if (!panel || panel->MouseDown) return;
  frmMain* f = &form;
  panel->setMouseTracking(true);
  panel->MouseDown = [f](int16_t b, int16_t s, float x, float y) { pctDimmer_MouseDown(*f, b, s, x, y); };
  panel->MouseMove = [f](int16_t b, int16_t s, float x, float y) { pctDimmer_MouseMove(*f, b, s, x, y); };
  panel->MouseUp = [f](int16_t b, int16_t s, float x, float y) { pctDimmer_MouseUp(*f, b, s, x, y); };
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

CurvePoints CurveOf(const frmMain& form) { return {form.MixLeftU, form.MixLeftD, form.MixRightU, form.MixRightD}; }

void DrawCrossfadeCurve(frmMain& form) {
  if (!form.pctDimmer) return;
  Attach(form);
  Show(*form.pctDimmer, PointsAsDrawn(form));
}

void MixPreview_Click(frmMain& form, int index) {
  if (const auto c = PresetCurve(index)) {
    form.MixLeftU = c->LeftU;
    form.MixLeftD = c->LeftD;
    form.MixRightU = c->RightU;
    form.MixRightD = c->RightD;
  }
  Save(QStringLiteral("Preview"), index);
  DrawCrossfadeCurve(form);
}

void pctDimmer_MouseDown(frmMain& form, int16_t, int16_t, float x, float y) {
  CurvePanel* panel = form.pctDimmer;
  if (!panel) return;
  for (Handle h : kHandles)
    if (OnHandle(HandleAt(h, PointOf(form, h)), x, y)) DragOf(*panel, h) = true;
}

void pctDimmer_MouseMove(frmMain& form, int16_t button, int16_t, float x, float y) {
  CurvePanel* panel = form.pctDimmer;
  if (!panel) return;
  bool over = false;
  for (Handle h : kHandles) over = over || OnHandle(HandleAt(h, PointOf(form, h)), x, y);
  const bool dragging = panel->DragLeftU || panel->DragLeftD || panel->DragRightD || panel->DragRightU;
  // Only the left button alone drags; the points stay as they are until the
  // release.
  if (button == kLeftButton && dragging) {
    std::array<double, 4> at = PointsAsDrawn(form);
    std::array<bool, 4> dragged{};
    for (size_t i = 0; i < 4; ++i)
      if ((dragged[i] = DragOf(*panel, kHandles[i]))) at[i] = ClampCurveX(x);
    Show(*panel, at, dragged);
    panel->DragMoved = true;
    over = true;
  }
  panel->setCursor(over ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

void pctDimmer_MouseUp(frmMain& form, int16_t, int16_t, float x, float) {
  CurvePanel* panel = form.pctDimmer;
  if (!panel) return;
  // Only a drag that was drawn changes the curve: a release without a
  // grabbed handle, or a press and release without a left-button move,
  // leaves the curve in force (preset or the user's own) as it is.
  const bool moved = panel->DragMoved;
  panel->DragMoved = false;
  bool any = false;
  for (Handle h : {Handle::LeftU, Handle::LeftD, Handle::RightU, Handle::RightD}) {
    bool& drag = DragOf(*panel, h);
    if (!drag) continue;
    drag = false;
    any = true;
    if (moved) PointOf(form, h) = ReleasePoint(x);
  }
  if (!any || !moved) return;
  // The user's own curve is all four points as they are drawn now: the
  // points not dragged are stored too, so that the next start uses exactly
  // the curve shown.
  Save(QStringLiteral("Preview"), 100);
  for (Handle h : kHandles) Save(QLatin1String(KeyOf(h)), PointOf(form, h));
  DrawCrossfadeCurve(form);
}

}  // namespace djvp::mixer
