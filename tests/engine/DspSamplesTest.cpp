// Float samples to 16-bit: the rule's edges, and the same numbers from the
// eight-at-a-time path as from the plain one for any length and value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "engine/dsp/Samples.h"

using namespace engine::dsp;

TEST(DspSamples, ScaleClipRoundHalfAwayFromZeroAndNaNAsZero) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const struct {
    float in;
    int16_t out;
  } cases[] = {
      {0.0f, 0},
      {-0.0f, 0},
      {0.5f / 32768, 1},     // half a step up rounds away from zero
      {-0.5f / 32768, -1},   // and down likewise
      {0.49f / 32768, 0},
      {1.5f / 32768, 2},
      {-2.5f / 32768, -3},
      {0.5f, 16384},
      {32767.0f / 32768, 32767},
      {1.0f, 32767},          // full scale clips to the largest sample
      {-1.0f, -32768},
      {3.0f, 32767},
      {-3.0f, -32768},
      {kInf, 32767},
      {-kInf, -32768},
      {1e30f, 32767},         // beyond what a 32-bit integer holds
      {-1e30f, -32768},
      {std::numeric_limits<float>::quiet_NaN(), 0},
      {-std::numeric_limits<float>::quiet_NaN(), 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FloatToShort(c.in), c.out) << c.in;
    // Each value in every lane of the fast path and in the tail.
    std::vector<float> in(19, c.in);
    std::vector<int16_t> out(in.size(), 77);
    FloatsToShorts(in.data(), out.data(), static_cast<int64_t>(in.size()));
    for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], c.out) << c.in << " at " << i;
  }
}

TEST(DspSamples, TheBlockPathGivesWhatTheSamplePathGives) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> wide(-1.2f, 1.2f);
  std::uniform_int_distribution<int> steps(-40000, 40000);
  for (int n : {0, 1, 7, 8, 9, 16, 1001}) {
    std::vector<float> in(static_cast<size_t>(n));
    for (size_t i = 0; i < in.size(); ++i)
      // Half the values fall exactly on or halfway between steps.
      in[i] = i % 2 ? wide(random) : static_cast<float>(steps(random)) / 2.0f / 32768.0f;
    std::vector<int16_t> out(in.size() + 1, 77);
    FloatsToShorts(in.data(), out.data(), n);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(out[i], FloatToShort(in[i])) << in[i] << " of " << n;
    EXPECT_EQ(out.back(), 77) << "nothing written past the end";
  }
}
