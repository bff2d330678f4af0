// The crossfade curve: four points on a scale of 0 to 100 percent of the mix
// time (where the outgoing song leaves full volume and reaches silence, where
// the incoming song leaves silence and reaches full volume), the six preset
// curves, the handles of the curve editor and its mouse handlers.
#pragma once

#include <cstdint>
#include <optional>

namespace djvp {

struct MixerPanel;

namespace mixer {

struct CurvePoints {
  int16_t LeftU = 0;   // outgoing song leaves full volume
  int16_t LeftD = 0;   // outgoing song is silent
  int16_t RightU = 0;  // incoming song is at full volume
  int16_t RightD = 0;  // incoming song leaves silence
  bool operator==(const CurvePoints&) const = default;
};

// Preset 0..5; nothing for any other index.
std::optional<CurvePoints> PresetCurve(int index);

enum class Handle { LeftU = 0, LeftD = 1, RightD = 2, RightU = 3 };

// A handle's box in the editor's units: x from x0 to x1, y in the top band
// (230..255) or the bottom band (0..25).
struct HandleBox {
  double x0 = 0, x1 = 0;
  bool top = false;
  bool operator==(const HandleBox&) const = default;
};
// Where a handle stands for a point at `value` (kept inside the panel at the
// edge where its box would leave it, for the top handles).
HandleBox HandleAt(Handle h, double value);
// Where a grabbed handle is drawn while it is dragged to x: as HandleAt,
// except that MixLeftD's box stays within the panel past 95 (95..100).
HandleBox DragHandleAt(Handle h, double x);
// True when (x, y) lies in the box, edges included.
bool OnHandle(const HandleBox& box, double x, double y);

// An editor position held to the panel: 0 at or left of 0, 100 at or right
// of 100.
double ClampCurveX(double x);
// The point a release at x sets: held to 0..100, rounded to the nearest
// whole number (a half to the even one).
int16_t ReleasePoint(double x);

// Mouse buttons as the editor's handlers get them: 1 left, 2 right, 4
// middle, added.
constexpr int16_t kLeftButton = 1;

// The editor's handlers, with X and Y in the panel's units (x 0..100 from the
// left, y 0..255 from the bottom). A press grabs every handle it lies on; a
// move with the left button alone draws the curve with the grabbed points
// where the pointer is; a release that had grabbed handles makes those
// points the user's own curve ("Preview" 100), stores them and draws it.
void pctDimmer_MouseDown(MixerPanel& s, int16_t button, int16_t shift, float x, float y);
void pctDimmer_MouseMove(MixerPanel& s, int16_t button, int16_t shift, float x, float y);
void pctDimmer_MouseUp(MixerPanel& s, int16_t button, int16_t shift, float x, float y);

// The curve of the window's four points.
CurvePoints CurveOf(const MixerPanel& s);
// Draws the window's curve in the editor panel (DrawCrossfadeCurve).
void DrawCrossfadeCurve(MixerPanel& s);
// The preset buttons' handler (MixPreview_Click).
void MixPreview_Click(MixerPanel& s, int index);

}  // namespace mixer
}  // namespace djvp
