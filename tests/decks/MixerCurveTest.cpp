// The crossfade curve: presets, the fade lengths a start takes from the
// points, the handle boxes, the drag editor and what it stores and draws.
#include "MixerTestEnv.h"

#include "decks/MixerCurve.h"
#include "decks/StartRoutine.h"

#include <gtest/gtest.h>

using namespace djvp;
using mixer::CurvePoints;
using mixer::Handle;
using mixer::HandleBox;

namespace {

CurvePoints Points(const MainState& w) { return mixer::CurveOf(w); }

// The fade lengths, in percent of the mix time, that the next start takes
// from the window's curve.
int FadeOut(const MainState& w) { return decks::FadeOutPercentOf(w.MixLeftU, w.MixLeftD); }
int FadeIn(const MainState& w) { return decks::FadeInPercentOf(w.MixRightU, w.MixRightD); }

// The points the panel shows, in the order LeftU, LeftD, RightU, RightD.
std::array<double, 4> Drawn(const MainState& w) {
  const auto& d = w.pctDimmer.drawing();
  if (!d) return {-1, -1, -1, -1};
  return {d->leftU, d->leftD, d->rightU, d->rightD};
}

std::array<double, 4> AsDrawn(const CurvePoints& c) {
  return {double(c.LeftU), double(c.LeftD), double(c.RightU), double(c.RightD)};
}

QString Stored(const char* key) { return MixerWindow::Stored("Mixer", key); }

void Drag(MainState& w, float fromX, float fromY, float toX, int16_t button = 1) {
  mixer::pctDimmer_MouseDown(w, button, 0, fromX, fromY);
  mixer::pctDimmer_MouseMove(w, button, 0, toX, fromY);
  mixer::pctDimmer_MouseUp(w, button, 0, toX, fromY);
}

}  // namespace

TEST(MixerCurve, PresetsSetThePointsStoreTheirIndexAndDrawThem) {
  MixerWindow m;
  MainState& w = *m.w;
  // The user's own curve stored earlier stays as it is.
  keys::Save("Mixer", "MixLeftU", "33");
  const struct {
    int index;
    CurvePoints points;
    int fadeOut, fadeIn;
  } cases[] = {{0, {50, 50, 50, 50}, 50, 50}, {1, {75, 100, 25, 0}, 25, 25}, {2, {10, 100, 90, 0}, 90, 90},
               {3, {25, 100, 75, 0}, 75, 75},  {4, {50, 50, 90, 0}, 50, 90},   {5, {10, 100, 50, 50}, 90, 50}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.index);
    w.MixPreview[static_cast<size_t>(k.index)].click();
    EXPECT_EQ(Points(w), k.points);
    EXPECT_EQ(Stored("Preview"), QString::number(k.index));
    EXPECT_EQ(Drawn(w), AsDrawn(k.points));
    // What the next start takes of the curve for its ramps: fade-out and
    // fade-in lengths in percent of the mix time (a flat side: where its
    // step lies).
    EXPECT_EQ(FadeOut(w), k.fadeOut);
    EXPECT_EQ(FadeIn(w), k.fadeIn);
  }
  EXPECT_EQ(Stored("MixLeftU"), "33");

  // An index outside the presets (an edited stored value) keeps the points,
  // stores the index and draws again.
  mixer::MixPreview_Click(w, 7);
  EXPECT_EQ(Points(w), (CurvePoints{10, 100, 50, 50}));
  EXPECT_EQ(Stored("Preview"), "7");
}

TEST(MixerCurve, HandleBoxesStayInTheirBandsAndInsideAtTheEdgesWhereTheyMust) {
  const struct {
    Handle h;
    double value;
    HandleBox box;
  } cases[] = {
      {Handle::LeftU, 10, {5, 10, true}},   {Handle::LeftU, 3, {0, 5, true}},     {Handle::LeftD, 3, {-2, 3, false}},
      {Handle::LeftD, 100, {95, 100, false}}, {Handle::RightD, 98, {98, 103, false}}, {Handle::RightD, 0, {0, 5, false}},
      {Handle::RightU, 98, {95, 100, true}}, {Handle::RightU, 90, {90, 95, true}},
  };
  for (const auto& k : cases) EXPECT_EQ(mixer::HandleAt(k.h, k.value), k.box) << int(k.h) << " " << k.value;
  // While it is dragged, MixLeftD's box stays inside the panel past 95.
  EXPECT_EQ(mixer::DragHandleAt(Handle::LeftD, 97), (HandleBox{95, 100, false}));
  EXPECT_EQ(mixer::DragHandleAt(Handle::LeftD, 95), (HandleBox{90, 95, false}));
  EXPECT_EQ(mixer::DragHandleAt(Handle::LeftU, 2), (HandleBox{0, 5, true}));
  EXPECT_EQ(mixer::DragHandleAt(Handle::RightU, 99), (HandleBox{95, 100, true}));
  const HandleBox top{45, 50, true};
  EXPECT_TRUE(mixer::OnHandle(top, 45, 230));
  EXPECT_TRUE(mixer::OnHandle(top, 50, 255));
  EXPECT_FALSE(mixer::OnHandle(top, 50.5, 240));
  EXPECT_FALSE(mixer::OnHandle(top, 47, 229));
  EXPECT_FALSE(mixer::OnHandle(HandleBox{45, 50, false}, 47, 26));
  // Release positions: held to the panel, halves to the even number.
  const struct {
    double x;
    int16_t point;
  } releases[] = {{42.5, 42}, {43.5, 44}, {42.49, 42}, {-3, 0}, {0, 0}, {100, 100}, {140, 100}};
  for (const auto& r : releases) EXPECT_EQ(mixer::ReleasePoint(r.x), r.point) << r.x;
}

TEST(MixerCurve, DragDrawsWithoutChangingThePointUntilTheReleaseStoresTheWholeCurve) {
  MixerWindow m;
  MainState& w = *m.w;
  ASSERT_EQ(Points(w), (CurvePoints{10, 100, 90, 0}));  // preset 2 with no stored settings
  // An older own curve in the store must not leak into the new one.
  keys::Save("Mixer", "MixRightD", "40");

  // Grab MixLeftU's handle (top band, 5..10) and drag it to 42.5.
  mixer::pctDimmer_MouseDown(w, 1, 0, 7, 240);
  EXPECT_TRUE(w.pctDimmer.DragLeftU);
  mixer::pctDimmer_MouseMove(w, 1, 0, 42.5f, 240);
  EXPECT_EQ(w.MixLeftU, 10) << "a start during the drag uses the curve before it";
  EXPECT_EQ(Drawn(w), (std::array<double, 4>{42.5, 100, 90, 0}));
  EXPECT_EQ(w.pctDimmer.drawing()->handles[0].x0, 37.5);
  EXPECT_TRUE(w.pctDimmer.sizingPointer());
  mixer::pctDimmer_MouseUp(w, 1, 0, 42.5f, 240);
  EXPECT_FALSE(w.pctDimmer.DragLeftU);
  EXPECT_EQ(Points(w), (CurvePoints{42, 100, 90, 0}));
  // What is stored is what the panel shows, all four points of it.
  EXPECT_EQ(Drawn(w), (std::array<double, 4>{42, 100, 90, 0}));
  EXPECT_EQ(Stored("Preview"), "100");
  EXPECT_EQ(Stored("MixLeftU"), "42");
  EXPECT_EQ(Stored("MixLeftD"), "100");
  EXPECT_EQ(Stored("MixRightU"), "90");
  EXPECT_EQ(Stored("MixRightD"), "0");
  EXPECT_EQ(FadeOut(w), 58);
  EXPECT_EQ(FadeIn(w), 90);

  // The next program start has the same curve.
  m.Reopen();
  EXPECT_EQ(Points(*m.w), (CurvePoints{42, 100, 90, 0}));
  EXPECT_EQ(Drawn(*m.w), (std::array<double, 4>{42, 100, 90, 0}));
}

TEST(MixerCurve, DragsPastTheEdgesAndPastEachOther) {
  MixerWindow m;
  MainState& w = *m.w;
  // MixRightD (bottom band 0..5) far past the right edge: held at 100, and
  // so beyond MixRightU, drawn and stored as it is.
  mixer::pctDimmer_MouseDown(w, 1, 0, 2, 10);
  mixer::pctDimmer_MouseMove(w, 1, 0, 130, 10);
  EXPECT_EQ(Drawn(w)[3], 100);
  EXPECT_EQ(w.pctDimmer.drawing()->handles[2].x0, 100);
  EXPECT_EQ(w.pctDimmer.drawing()->handles[2].x1, 105);
  mixer::pctDimmer_MouseUp(w, 1, 0, 130, 10);
  EXPECT_EQ(Points(w), (CurvePoints{10, 100, 90, 100}));
  EXPECT_EQ(Stored("MixRightD"), "100");
  // MixLeftD (bottom band 95..100) past the left edge: 0.
  Drag(w, 97, 5, -20);
  EXPECT_EQ(Points(w), (CurvePoints{10, 0, 90, 100}));
  EXPECT_EQ(FadeOut(w), -10);
  EXPECT_EQ(FadeIn(w), -10);
}

TEST(MixerCurve, OnePressGrabsTouchingHandlesAndTheReleaseSetsBoth) {
  MixerWindow m;
  MainState& w = *m.w;
  mixer::MixPreview_Click(w, 0);  // top handles 45..50 and 50..55 touch at 50
  Drag(w, 50, 240, 61);
  EXPECT_EQ(Points(w), (CurvePoints{61, 50, 61, 50}));
  EXPECT_EQ(Stored("Preview"), "100");
}

TEST(MixerCurve, ReleasesThatDrewNothingLeaveTheCurveInForce) {
  MixerWindow m;
  MainState& w = *m.w;
  const CurvePoints preset2{10, 100, 90, 0};
  const struct {
    const char* what;
    int16_t button;
    float pressX, pressY, moveX, releaseX;
    bool move;
  } cases[] = {
      {"release away from every handle", 1, 50, 120, 0, 60, false},
      {"press and release on a handle without a move", 1, 7, 240, 0, 9, false},
      {"drag with the right button", 2, 7, 240, 30, 30, true},
      {"drag with the left and right buttons held", 3, 7, 240, 30, 30, true},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    mixer::pctDimmer_MouseDown(w, k.button, 0, k.pressX, k.pressY);
    if (k.move) mixer::pctDimmer_MouseMove(w, k.button, 0, k.moveX, k.pressY);
    EXPECT_EQ(Drawn(w), AsDrawn(preset2)) << "nothing redrawn";
    mixer::pctDimmer_MouseUp(w, k.button, 0, k.releaseX, k.pressY);
    EXPECT_EQ(Points(w), preset2);
    EXPECT_EQ(Drawn(w), AsDrawn(preset2));
    EXPECT_EQ(Stored("Preview"), "2");
    EXPECT_EQ(Stored("MixLeftU"), "<none>");
    EXPECT_FALSE(w.pctDimmer.DragLeftU);
  }
}
