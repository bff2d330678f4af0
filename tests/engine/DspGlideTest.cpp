// A new parameter record while sound runs must not click: every effect
// moves from the old setting to the new one smoothly (levels ramp, delays
// crossfade, filters glide) and then sounds exactly as if it had been given
// the new record from the start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "engine/dsp/Dsp.h"

using namespace engine::dsp;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 256;

// A sine that fades in over 50 ms, so that no onset rings in the effects.
std::vector<float> Sine(double seconds, double hz, float amplitude) {
  const size_t frames = static_cast<size_t>(seconds * kRate);
  const size_t fade = kRate / 20;
  std::vector<float> s(frames * 2);
  for (size_t f = 0; f < frames; ++f) {
    const double in = f < fade ? 0.5 - 0.5 * std::cos(std::numbers::pi * f / fade) : 1.0;
    s[f * 2] = s[f * 2 + 1] = static_cast<float>(in * amplitude * std::sin(2 * std::numbers::pi * hz * f / kRate));
  }
  return s;
}

// The largest second difference of the left channel over frames [from, to):
// a step or a kink in the sound shows up here far above what a smooth
// sound of the same loudness gives.
double Roughness(const std::vector<float>& s, size_t from, size_t to) {
  double most = 0;
  for (size_t f = std::max<size_t>(from, 1); f + 1 < to; ++f)
    most = std::max(most, std::fabs(double(s[(f + 1) * 2]) - 2.0 * s[f * 2] + s[(f - 1) * 2]));
  return most;
}

double Amplitude(const std::vector<float>& s, double hz, size_t from, size_t to) {
  double re = 0, im = 0;
  for (size_t f = from; f < to; ++f) {
    re += s[f * 2] * std::cos(2 * std::numbers::pi * hz * f / kRate);
    im += s[f * 2] * std::sin(2 * std::numbers::pi * hz * f / kRate);
  }
  return 2 * std::hypot(re, im) / static_cast<double>(to - from);
}

// Runs the signal through the effect in blocks; at frame `change` (a block
// boundary) the second record is sent.
void Feed(Effect& e, std::vector<float>& s, const void* second, size_t change) {
  const size_t frames = s.size() / 2;
  for (size_t done = 0; done < frames; done += kBlock) {
    if (second && done == change) {
      EXPECT_TRUE(e.SetParameters(second));
    }
    e.Process(s.data() + done * 2, static_cast<int>(std::min<size_t>(kBlock, frames - done)));
  }
}

struct Case {
  std::string name;
  int32_t type;
  std::vector<uint32_t> first, second;  // the two records, as 32-bit words
};

template <typename R>
std::vector<uint32_t> Words(const R& r) {
  std::vector<uint32_t> w(sizeof r / 4);
  std::memcpy(w.data(), &r, sizeof r);
  return w;
}

}  // namespace

TEST(DspGlide, ANewRecordNeverClicksAndEndsWhereTheRecordSays) {
  const std::vector<Case> cases = {
      {"echo level", kEcho, Words(EchoParams{0.2f, 4410}), Words(EchoParams{1.0f, 4410})},
      {"echo delay", kEcho, Words(EchoParams{0.5f, 4410}), Words(EchoParams{0.5f, 12000})},
      {"big echo mix", kEcho3, Words(Echo3Params{1.0f, 0.2f, 0.1f, -1}), Words(Echo3Params{0.2f, 1.5f, 0.1f, -1})},
      {"big echo delay", kEcho3, Words(Echo3Params{0.5f, 0.5f, 0.1f, -1}), Words(Echo3Params{0.5f, 0.5f, 0.4013f, -1})},
      {"flanger wet", kFlanger, Words(FlangerParams{0.0f, 0.002f, -1}), Words(FlangerParams{1.0f, 0.002f, -1})},
      {"reverb level", kReverb, Words(ReverbParams{0.1f, 5000}), Words(ReverbParams{1.0f, 5000})},
      {"equaliser gain", kPeakEq, Words(PeakEqParams{0, 0, 2.5f, 0, 200, -10}), Words(PeakEqParams{0, 0, 2.5f, 0, 200, 10})},
      {"volume", kVolume, Words(VolumeParams{-1, 0.25f}), Words(VolumeParams{-1, 2.0f})},
      {"low-pass cut-off", kLowPass, Words(LowPassParams{0, 1.0f, 5000, 0}), Words(LowPassParams{0, 1.0f, 300, 0})},
  };
  const double hz = 200;
  const size_t change = static_cast<size_t>(1.5 * kRate) / kBlock * kBlock;
  const size_t second = kRate;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    auto glided = CreateEffect(k.type, kRate, 2);
    ASSERT_TRUE(glided);
    ASSERT_TRUE(glided->SetParameters(k.first.data()));
    auto s = Sine(3.0, hz, 0.5f);
    Feed(*glided, s, k.second.data(), change);

    // The change itself is hardly rougher than the sound before or after it
    // (a step of a tenth of the sine's height would be a hundred times as
    // rough).
    const double before = Roughness(s, change - second / 2, change);
    const double after = Roughness(s, change + second, change + 3 * second / 2 - 1);
    const double around = Roughness(s, change - 64, change + second / 4);
    EXPECT_LT(around, 3 * std::max(before, after)) << "before " << before << ", after " << after;

    // Once there, it sounds as the second record from the start does.
    auto fresh = CreateEffect(k.type, kRate, 2);
    ASSERT_TRUE(fresh->SetParameters(k.second.data()));
    auto t = Sine(3.0, hz, 0.5f);
    Feed(*fresh, t, nullptr, 0);
    const double got = Amplitude(s, hz, change + second, change + 3 * second / 2 - 1);
    const double want = Amplitude(t, hz, change + second, change + 3 * second / 2 - 1);
    EXPECT_NEAR(20 * std::log10(got / want), 0.0, 0.2) << got << " vs " << want;
  }
}

TEST(DspGlide, QuickSuccessionsOfDelaysCrossfadeOneAfterAnother) {
  // A delay slider dragged fast: a new delay every 10 frames for a tenth of
  // a second. The sound stays smooth and ends on the last delay.
  auto echo = CreateEffect(kEcho, kRate, 2);
  EchoParams rec{0.8f, 2000};
  ASSERT_TRUE(echo->SetParameters(&rec));
  auto s = Sine(2.0, 150, 0.5f);
  const size_t start = kRate / 2;
  for (size_t done = 0; done < s.size() / 2; done += 10) {
    if (done >= start && done < start + kRate / 10) {
      rec.delay = 2000 + static_cast<int32_t>(done - start) * 2;
      ASSERT_TRUE(echo->SetParameters(&rec));
    }
    echo->Process(s.data() + done * 2, static_cast<int>(std::min<size_t>(10, s.size() / 2 - done)));
  }
  const double steady = std::max(Roughness(s, kRate / 4, start), Roughness(s, 3 * kRate / 2, 2 * kRate - 1));
  EXPECT_LT(Roughness(s, start, start + kRate / 2), 1.5 * steady);
}

TEST(DspGlide, AfterASeekANewRecordAppliesAtOnce) {
  // Reset (a seek) starts the sound afresh: nothing is left to glide from.
  auto echo = CreateEffect(kEcho3, kRate, 1);
  Echo3Params a{1.0f, 0.0f, 0.3f, -1}, b{0.25f, 1.0f, 0.0f, -1};
  ASSERT_TRUE(echo->SetParameters(&a));
  std::vector<float> warm(4096, 0.5f);
  echo->Process(warm.data(), 4096);
  ASSERT_TRUE(echo->SetParameters(&b));
  echo->Reset();
  std::vector<float> x = {0.5f, 0.5f};
  echo->Process(x.data(), 2);
  EXPECT_FLOAT_EQ(x[0], 0.625f);  // 0.25 dry + 1.0 wet of the sample itself
  EXPECT_FLOAT_EQ(x[1], 0.625f);
}
