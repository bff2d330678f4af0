// The output limiter on its own: loud sound of every kind stays below full
// scale, reaches its limited level within a few milliseconds without a step,
// comes back to untouched once it is quiet again, and quiet sound passes
// bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "engine/dsp/Limiter.h"

using engine::dsp::Limiter;

namespace {

constexpr int kRate = 44100;
constexpr size_t kBlock = 1024;

// Interleaved stereo: a sine of `amplitude` (left and right alike) that starts
// at once, at a zero crossing, after `silence` frames of silence.
std::vector<float> Sine(double hz, double amplitude, double seconds, size_t silence = 0) {
  const size_t frames = static_cast<size_t>(seconds * kRate);
  std::vector<float> s((silence + frames) * 2, 0.0f);
  for (size_t f = 0; f < frames; ++f)
    s[(silence + f) * 2] = s[(silence + f) * 2 + 1] =
        static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(f) / kRate));
  return s;
}

// A music-like mix: two tones and noise, the noise in bursts.
std::vector<float> Busy(double amplitude, double seconds) {
  const size_t frames = static_cast<size_t>(seconds * kRate);
  std::vector<float> s(frames * 2);
  uint32_t seed = 12345;
  for (size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / kRate;
    const double noise = ((seed = seed * 1664525u + 1013904223u) >> 8) / 8388608.0 - 1.0;
    const double burst = std::fmod(t, 0.25) < 0.05 ? 1.0 : 0.2;
    const double l = 0.5 * std::sin(2 * std::numbers::pi * 55 * t) + 0.3 * std::sin(2 * std::numbers::pi * 880 * t) +
                     0.2 * burst * noise;
    s[f * 2] = static_cast<float>(amplitude * l);
    s[f * 2 + 1] = static_cast<float>(amplitude * (0.8 * l + 0.2 * burst * noise));
  }
  return s;
}

// Runs interleaved sound of `channels` through a limiter in blocks.
std::vector<float> Limit(std::vector<float> s, int channels = 2, Limiter* limiter = nullptr) {
  Limiter own;
  Limiter& l = limiter ? *limiter : own;
  const size_t frames = s.size() / static_cast<size_t>(channels);
  for (size_t f = 0; f < frames; f += kBlock)
    l.Process(s.data() + f * static_cast<size_t>(channels), std::min(kBlock, frames - f), channels);
  return s;
}

float Peak(const std::vector<float>& s, size_t from = 0, size_t to = SIZE_MAX) {
  float peak = 0;
  for (size_t i = from; i < std::min(to, s.size()); ++i) peak = std::max(peak, std::fabs(s[i]));
  return peak;
}

// The largest step from one sample of the left channel to the next.
double LargestStep(const std::vector<float>& s) {
  double most = 0;
  for (size_t i = 2; i < s.size(); i += 2) most = std::max(most, std::fabs(double(s[i]) - s[i - 2]));
  return most;
}

// The largest second difference of the left channel: a step or a kink
// shows far above what a smooth sound of the same loudness gives.
double Roughness(const std::vector<float>& s) {
  double most = 0;
  for (size_t i = 4; i < s.size(); i += 2) most = std::max(most, std::fabs(double(s[i]) - 2.0 * s[i - 2] + s[i - 4]));
  return most;
}

}  // namespace

TEST(Limiter, LoudSoundNeverReachesFullScale) {
  struct Case {
    std::string name;
    std::vector<float> in;
  };
  std::vector<float> square(44100 * 2);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 2) % 100 < 50 ? 3.0f : -3.0f;
  std::vector<float> spikes(44100 * 2, 0.1f);
  for (size_t i = 0; i < spikes.size(); i += 2 * 4410) spikes[i] = 50.0f;
  const std::vector<Case> cases = {
      {"a 1 kHz sine at twice full scale", Sine(1000, 2.0, 1.0)},
      {"a 40 Hz sine just over full scale", Sine(40, 1.05, 1.0)},
      {"a 10 kHz sine at 1.5", Sine(10000, 1.5, 1.0)},
      {"two decks of busy music summed", Busy(1.8, 2.0)},
      {"a square wave at three times full scale", square},
      {"single spikes of 50 in quiet sound", spikes},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ASSERT_GT(Peak(k.in), 1.0f);
    const std::vector<float> out = Limit(k.in);
    EXPECT_LE(Peak(out), Limiter::kCeiling);
    EXPECT_LT(Peak(out), 1.0f);
  }
}

TEST(Limiter, QuietSoundPassesBitForBit) {
  // Up to the threshold itself, whatever its shape, and also after a loud
  // passage once the gain has come back.
  for (const std::vector<float>& in :
       {Sine(1000, Limiter::kThreshold, 1.0), Sine(50, 0.5, 1.0), Busy(0.85, 2.0)}) {
    ASSERT_LE(Peak(in), Limiter::kThreshold);
    const std::vector<float> out = Limit(in);
    EXPECT_EQ(std::memcmp(out.data(), in.data(), in.size() * sizeof(float)), 0);
  }
}

TEST(Limiter, ALoudOnsetIsLimitedWithinMillisecondsWithoutAStep) {
  for (double hz : {100.0, 1000.0, 5000.0}) {
    // A sine at twice full scale rises within 2 ms after silence.
    std::vector<float> in = Sine(hz, 2.0, 0.5, 1000);
    const size_t fade = kRate / 500;
    for (size_t f = 0; f < fade; ++f)
      for (size_t c = 0; c < 2; ++c)
        in[(1000 + f) * 2 + c] *= static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * f / fade));
    SCOPED_TRACE(hz);
    Limiter l;
    const std::vector<float> out = Limit(in, 2, &l);
    // From 3 ms after the rise on, the sound stands at the threshold: the
    // gain is there and the soft knee no longer bends it.
    const size_t settled = (1000 + fade + kRate * 3 / 1000) * 2;
    EXPECT_NEAR(Peak(out, settled), Limiter::kThreshold, 0.004);
    EXPECT_NEAR(l.Gain(0), Limiter::kThreshold / 2.0, 0.002);
    // Never steeper than the sound given, and far smoother than the same
    // sound cut flat at the threshold: no click where the limiting starts.
    std::vector<float> cut = in;
    for (float& v : cut) v = std::clamp(v, -Limiter::kThreshold, Limiter::kThreshold);
    EXPECT_LE(LargestStep(out), LargestStep(in));
    EXPECT_LT(Roughness(out), 0.7 * Roughness(cut));
  }
}

TEST(Limiter, TheGainComesBackToOneAndQuietSoundIsUntouchedAgain) {
  // One second too loud, then quiet: within a second the sound is the
  // input's again, bit for bit.
  std::vector<float> in = Sine(440, 1.6, 1.0);
  const std::vector<float> quiet = Sine(440, 0.3, 2.0);
  in.insert(in.end(), quiet.begin(), quiet.end());
  Limiter l;
  const std::vector<float> out = Limit(in, 2, &l);
  EXPECT_EQ(l.Gain(0), 1.0f);
  const size_t from = static_cast<size_t>(2.0 * kRate) * 2;
  EXPECT_TRUE(std::equal(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(),
                         in.begin() + static_cast<std::ptrdiff_t>(from)));
  // The rise is gradual: right after the loud part ends, the quiet part is
  // still held down, and it is never louder than it was.
  const size_t after = static_cast<size_t>(1.0 * kRate + 100) * 2;
  EXPECT_LT(Peak(out, after, after + 200), 0.3f * 0.7f);
  EXPECT_LE(Peak(out, static_cast<size_t>(kRate) * 2), 0.3f);

  // Silence lets the gain go back at once (after 20 ms).
  Limiter s;
  Limit(Sine(440, 1.6, 0.2), 2, &s);
  ASSERT_LT(s.Gain(0), 0.9f);
  const std::vector<float> gap(static_cast<size_t>(0.03 * kRate) * 2, 0.0f);
  Limit(gap, 2, &s);
  EXPECT_EQ(s.Gain(0), 1.0f);
}

TEST(Limiter, EachSpeakerPairHasItsOwnGainAndBadSamplesAreSilence) {
  // Four channels: a loud front pair, a quiet rear pair.
  const std::vector<float> loud = Sine(1000, 2.0, 0.5);
  const std::vector<float> soft = Sine(300, 0.4, 0.5);
  std::vector<float> four(loud.size() * 2);
  for (size_t f = 0; f < loud.size() / 2; ++f) {
    four[f * 4] = loud[f * 2];
    four[f * 4 + 1] = loud[f * 2 + 1];
    four[f * 4 + 2] = soft[f * 2];
    four[f * 4 + 3] = soft[f * 2 + 1];
  }
  const std::vector<float> out = Limit(four, 4);
  for (size_t f = 0; f < loud.size() / 2; ++f) {
    ASSERT_LT(std::fabs(out[f * 4]), 1.0f);
    ASSERT_EQ(out[f * 4 + 2], soft[f * 2]) << f;
    ASSERT_EQ(out[f * 4 + 3], soft[f * 2 + 1]) << f;
  }
  // Mono and odd channel counts, and samples that are no numbers.
  std::vector<float> odd = {0.5f, std::numeric_limits<float>::quiet_NaN(), 4.0f,
                            std::numeric_limits<float>::infinity(), -0.25f, -std::numeric_limits<float>::infinity()};
  odd = Limit(odd, 3);
  EXPECT_EQ(odd[0], 0.5f);
  EXPECT_EQ(odd[1], 0.0f);
  EXPECT_LT(odd[2], 1.0f);
  EXPECT_GT(odd[2], Limiter::kThreshold);
  EXPECT_EQ(odd[3], 0.0f);
  EXPECT_EQ(odd[5], 0.0f);
  std::vector<float> mono = {0.2f, 7.0f, -7.0f, 0.2f};
  mono = Limit(mono, 1);
  for (float v : mono) EXPECT_LT(std::fabs(v), 1.0f);
  EXPECT_EQ(mono[0], 0.2f);
}
