#include "platform/Timer.h"

#include <QCoreApplication>
#include <QTimerEvent>

#include <gtest/gtest.h>

using namespace djvp;

namespace {

// Delivers one tick of the timer's clock without waiting for it; false when
// the clock is not running.
bool Tick(Timer& t) {
  auto* clock = t.findChild<QTimer*>();
  if (clock == nullptr || !clock->isActive()) return false;
  QTimerEvent event(clock->timerId());
  QCoreApplication::sendEvent(clock, &event);
  return true;
}

}  // namespace

TEST(Timer, RunsOnlyWhileEnabledWithAnInterval) {
  Timer t(55);
  int ticks = 0;
  QObject::connect(&t, &Timer::ThatTime, [&] { ++ticks; });
  EXPECT_FALSE(t.Enabled());
  EXPECT_EQ(t.Interval(), 55);
  EXPECT_FALSE(Tick(t));

  t.SetEnabled(true);
  ASSERT_TRUE(Tick(t));
  ASSERT_TRUE(Tick(t));
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(t.findChild<QTimer*>()->interval(), 55);

  // A new interval applies to the running clock.
  t.SetInterval(200);
  EXPECT_TRUE(t.Enabled());
  EXPECT_EQ(t.Interval(), 200);
  EXPECT_EQ(t.findChild<QTimer*>()->interval(), 200);

  // No interval: no ticks (a zero Qt interval would fire without pause), and
  // the timer runs again once it gets one.
  t.SetInterval(0);
  EXPECT_TRUE(t.Enabled());
  EXPECT_FALSE(Tick(t));
  t.SetInterval(-5);
  EXPECT_FALSE(Tick(t));
  t.SetInterval(10);
  EXPECT_TRUE(Tick(t));

  t.SetEnabled(false);
  EXPECT_FALSE(Tick(t));
  EXPECT_EQ(ticks, 3);
}

TEST(Timer, DisabledBeforeAnIntervalStaysQuiet) {
  Timer t(0);
  t.SetInterval(100);
  EXPECT_FALSE(Tick(t));
  t.SetEnabled(true);
  EXPECT_TRUE(Tick(t));
}
