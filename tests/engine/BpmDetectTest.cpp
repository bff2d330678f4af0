// Tempo detection on generated drum loops of known tempo.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "BpmLoopSynth.h"
#include "engine/bpm/BpmDetect.h"

using engine::bpm::DetectBpm;
using namespace bpmtest;

namespace {

float Detect(const std::vector<float>& s, int rate, float minBpm = 60, float maxBpm = 190) {
  return DetectBpm(s.data(), s.size(), rate, {}, minBpm, maxBpm);
}

}  // namespace

TEST(BpmDetect, FindsTheTempoOfDrumLoopsWithinHalfABpm) {
  // Grooves across 70-180 BPM, at whole and fractional tempos and at the
  // three common rates, each a 30-second span with a lead-in.
  const LoopSpec loops[] = {
      {70.0, Groove::kRock, 44100, 30, 0.4},     {71.3, Groove::kHipHop, 22050, 30, 0.0},
      {84.0, Groove::kHouse, 48000, 30, 1.1},    {92.5, Groove::kHipHop, 44100, 30, 0.3},
      {99.9, Groove::kRock, 22050, 30, 0.0},     {110.0, Groove::kBreakbeat, 44100, 30, 0.2},
      {122.0, Groove::kHouse, 44100, 30, 0.0},   {128.6, Groove::kHouse, 48000, 30, 0.7},
      {133.3, Groove::kRock, 44100, 30, 0.0},    {140.0, Groove::kHipHop, 48000, 30, 0.5},
      {155.5, Groove::kBreakbeat, 22050, 30, 0}, {163.0, Groove::kRock, 48000, 30, 0.25},
      {174.0, Groove::kBreakbeat, 44100, 30, 0}, {180.0, Groove::kRock, 44100, 30, 0.1},
      {180.0, Groove::kHouse, 22050, 30, 0.0},
  };
  for (const LoopSpec& loop : loops) {
    SCOPED_TRACE(LoopName(loop));
    EXPECT_NEAR(Detect(MakeLoop(loop), loop.sampleRate), loop.bpm, 0.5);
  }
}

TEST(BpmDetect, HearsTheBeatUnderAHeldChordAndNoise) {
  // Held partials beat against each other many times a second; that flutter
  // must not pass for onsets.
  for (LoopSpec loop : {LoopSpec{95.0, Groove::kHipHop}, LoopSpec{124.0, Groove::kHouse},
                        LoopSpec{150.0, Groove::kBreakbeat}}) {
    SCOPED_TRACE(LoopName(loop));
    auto s = MakeLoop(loop);
    uint32_t seed = 3;
    for (size_t i = 0; i < s.size(); ++i) {
      const double t = static_cast<double>(i) / loop.sampleRate;
      double pad = 0;
      for (double hz : {220.0, 277.2, 329.6}) pad += 0.15 * std::sin(2 * std::numbers::pi * hz * t);
      const float noise = ((seed = seed * 1664525u + 1013904223u) >> 8) / 8388608.0f - 1.0f;
      s[i] += static_cast<float>(pad) + 0.03f * noise;
    }
    EXPECT_NEAR(Detect(s, loop.sampleRate), loop.bpm, 0.5);
  }
}

TEST(BpmDetect, KeepsTheAnswerInsideTheAllowedRange) {
  struct Case {
    LoopSpec loop;
    float minBpm, maxBpm, expected;
  };
  const Case cases[] = {
      {{200.0, Groove::kRock}, 60, 190, 100.0f},      // too fast: its half
      {{200.0, Groove::kRock}, 60, 250, 200.0f},      // allowed: itself
      {{70.0, Groove::kRock}, 100, 190, 140.0f},      // too slow: its double
      {{80.0, Groove::kBreakbeat}, 60, 120, 80.0f},   // busy sixteenths, double excluded
      {{128.0, Groove::kHouse}, 30, 100, 64.0f},      // a DJ's half-time range
      {{95.0, Groove::kHipHop, 44100, 12}, 60, 190, 95.0f},  // a short span
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << LoopName(c.loop) << " in " << c.minBpm << ".." << c.maxBpm);
    const float bpm = Detect(MakeLoop(c.loop), c.loop.sampleRate, c.minBpm, c.maxBpm);
    EXPECT_NEAR(bpm, c.expected, 0.5);
    EXPECT_GE(bpm, c.minBpm);
    EXPECT_LE(bpm, c.maxBpm);
  }
}

TEST(BpmDetect, ReportsNoTempoWhereThereIsNone) {
  const int rate = 44100;
  std::vector<float> silence(size_t(rate) * 20, 0.0f), tone(silence.size()), noise(silence.size());
  uint32_t seed = 7;
  for (size_t i = 0; i < tone.size(); ++i) {
    tone[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * i / rate));
    noise[i] = 0.3f * (((seed = seed * 1664525u + 1013904223u) >> 8) / 8388608.0f - 1.0f);
  }
  EXPECT_EQ(Detect(silence, rate), 0.0f);
  EXPECT_EQ(Detect(tone, rate), 0.0f);
  EXPECT_EQ(Detect(noise, rate), 0.0f);

  // Too short a span, no samples, and arguments that cannot be right.
  auto loop = MakeLoop({120.0, Groove::kRock, rate, 30});
  EXPECT_EQ(DetectBpm(loop.data(), size_t(rate), rate), 0.0f);
  EXPECT_EQ(DetectBpm(nullptr, loop.size(), rate), 0.0f);
  EXPECT_EQ(DetectBpm(loop.data(), 0, rate), 0.0f);
  EXPECT_EQ(DetectBpm(loop.data(), loop.size(), 0), 0.0f);
  EXPECT_EQ(DetectBpm(loop.data(), loop.size(), rate, {}, 150, 100), 0.0f);
  // Bounds of 0 (or not numbers) mean the usual range.
  EXPECT_NEAR(DetectBpm(loop.data(), loop.size(), rate, {}, 0, 0), 120.0f, 0.5);
  EXPECT_NEAR(DetectBpm(loop.data(), loop.size(), rate, {}, std::nanf(""), -1), 120.0f, 0.5);

  // A few damaged samples do not spoil the rest.
  loop[1000] = std::numeric_limits<float>::quiet_NaN();
  loop[500000] = std::numeric_limits<float>::infinity();
  EXPECT_NEAR(Detect(loop, rate), 120.0f, 0.5);
}

TEST(BpmDetect, ReportsProgressOnTheCallingThread) {
  auto loop = MakeLoop({126.0, Groove::kHouse, 44100, 30});
  std::vector<float> seen;
  const auto caller = std::this_thread::get_id();
  bool sameThread = true;
  const float bpm = DetectBpm(loop.data(), loop.size(), 44100, [&](float percent) {
    sameThread = sameThread && std::this_thread::get_id() == caller;
    seen.push_back(percent);
  });
  EXPECT_NEAR(bpm, 126.0f, 0.5);
  EXPECT_TRUE(sameThread);
  ASSERT_GE(seen.size(), 10u);
  EXPECT_EQ(seen.front(), 0.0f);
  EXPECT_EQ(seen.back(), 100.0f);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);

  // A span that is refused still ends its progress at 100.
  seen.clear();
  DetectBpm(loop.data(), 100, 44100, [&](float p) { seen.push_back(p); });
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100.0f);
}
