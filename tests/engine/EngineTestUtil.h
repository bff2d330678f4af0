// Helpers shared by the engine's tests: fixture paths, whole-stream reads,
// rendering on the manual clock and simple signal measurements.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Engine.h"

namespace enginetest {

inline std::string Fixture(const std::string& name) {
  return std::string(DJVP_TEST_FIXTURES) + "/audio/" + name;
}

// Reads a decode stream to its end as signed 16-bit samples.
inline std::vector<int16_t> ReadAll(engine::Handle h) {
  std::vector<int16_t> all;
  std::vector<int16_t> block(4096);
  for (;;) {
    const int32_t got = engine::ReadData(h, block.data(), static_cast<uint32_t>(block.size() * 2));
    if (got <= 0) break;
    all.insert(all.end(), block.begin(), block.begin() + got / 2);
  }
  return all;
}

// Renders `frames` of device 0 (stereo) on the manual clock.
inline std::vector<float> Render(size_t frames) {
  std::vector<float> out(frames * 2);
  engine::RenderNoSound(out.data(), frames);
  return out;
}

// One channel (0 left, 1 right) of interleaved stereo.
inline std::vector<float> Channel(const std::vector<float>& stereo, int c) {
  std::vector<float> out(stereo.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = stereo[i * 2 + static_cast<size_t>(c)];
  return out;
}

// Frequency of a sine from its rising zero crossings; a crossing counts
// only after the signal has been clearly negative, so that coding noise
// around zero does not add crossings.
inline double Frequency(const std::vector<float>& x, int rate) {
  float peak = 0;
  for (float v : x) peak = std::max(peak, std::fabs(v));
  const float low = -0.2f * peak;
  int first = -1, last = -1, count = 0;
  bool armed = false;
  for (size_t i = 1; i < x.size(); ++i) {
    if (x[i] < low) armed = true;
    if (armed && x[i - 1] < 0 && x[i] >= 0) {
      armed = false;
      if (first < 0) first = static_cast<int>(i);
      last = static_cast<int>(i);
      ++count;
    }
  }
  if (count < 2) return 0;
  return (count - 1) * static_cast<double>(rate) / (last - first);
}

inline double Rms(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX) {
  to = std::min(to, x.size());
  if (to <= from) return 0;
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(x[i]) * x[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

// Puts device 0 on the manual clock for the life of a test.
class ManualClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::SetManualClock(true);
    engine::DeviceSelect(0);
  }
  void TearDown() override {
    for (engine::Handle h : opened_) engine::FreeStream(h);
  }
  // A tempo stream over a decode stream of `name` on device 0.
  engine::Handle OpenTempo(const std::string& name, uint32_t speaker = 0) {
    const engine::Handle dec = engine::OpenFileStream(false, Fixture(name).c_str(), 0, 0, engine::kDecode | speaker);
    EXPECT_NE(dec, 0u) << name;
    const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource | 4);
    EXPECT_NE(h, 0u) << name;
    opened_.push_back(h);
    return h;
  }
  std::vector<engine::Handle> opened_;
};

}  // namespace enginetest
