// The deck time labels' text.
#include "display/TimeFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(TimeFormat, ShortTimesWithHundredthsLongOnesWithHours) {
  struct {
    float seconds;
    const char* text;
  } const cases[] = {
      {0.0f, " 00:00.00"},      {61.5f, " 01:01.50"},    {125.5f, " 02:05.50"},
      {0.29f, " 00:00.28"},     {1.15f, " 00:01.14"},    {0.01f, " 00:00.00"},  // cut, not rounded
      {1.1f, " 00:01.10"},      {59.999f, " 00:59.99"},  {60.0f, " 01:00.00"},
      {3599.99f, " 59:59.98"},  {3600.0f, " 01:00:00"},  {3661.75f, " 01:01:01"},
      {36061.5f, " 10:01:01"},  {359999.0f, " 99:59:59"}, {360000.0f, " 100:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(djvp::TimeToString(c.seconds), QString::fromLatin1(c.text)) << c.seconds;
}

TEST(TimeFormat, NegativeAndUnknownTimesShowAsZero) {
  for (float v : {-0.5f, -1.0f, -7200.0f, std::numeric_limits<float>::quiet_NaN(),
                  std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
    EXPECT_EQ(djvp::TimeToString(v), " 00:00.00") << v;
}
