// The BPM call over a span of a decode stream: its result, the progress
// routine on the calling thread, the result kept per handle for the
// translation, and the freeing of stream and result.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "EngineTestUtil.h"
#include "engine/Engine.h"

using namespace enginetest;

TEST(EngineBpmCall, DetectsTheLoopsTempoAndKeepsItForTranslation) {
  const engine::Handle h = engine::OpenFileStream(false, Fixture("beat128.mp3").c_str(), 0, 0,
                                                  engine::kDecode | engine::kPrescan);
  ASSERT_NE(h, 0u);
  std::vector<float> calls;
  const std::thread::id caller = std::this_thread::get_id();
  bool sameThread = true;
  // The file is 12 s long; a span of 0..30 s takes what there is.
  const float bpm = engine::BpmOfSpan(h, 0, 30, 0, engine::kBpmBackground | engine::kBpmMult2,
                                      [&](engine::Handle who, float percent) {
                                        sameThread = sameThread && std::this_thread::get_id() == caller;
                                        EXPECT_EQ(who, h);
                                        calls.push_back(percent);
                                      });
  EXPECT_NEAR(bpm, 128.0f, 0.5f);
  EXPECT_TRUE(sameThread);
  ASSERT_GE(calls.size(), 3u);
  for (size_t i = 1; i < calls.size(); ++i) EXPECT_GE(calls[i], calls[i - 1]);
  EXPECT_LE(calls.back(), 100.0f);
  EXPECT_EQ(engine::Position(h), 0) << "the stream is left where it was";

  // Translations of the kept result.
  EXPECT_NEAR(engine::TranslateBpm(h, 100, engine::kPercentToBpm), bpm, 1e-3);
  EXPECT_NEAR(engine::TranslateBpm(h, 110, engine::kPercentToBpm), bpm * 1.1f, 1e-3);
  EXPECT_NEAR(engine::TranslateBpm(h, bpm / 2, engine::kBpmToPercent), 50.0f, 1e-3);
  // Rates count against the file's own rate.
  uint32_t rate = 0;
  ASSERT_TRUE(engine::GetAttributes(h, &rate, nullptr, nullptr));
  EXPECT_NEAR(engine::TranslateBpm(h, rate * 1.1f, engine::kFreqToBpm), bpm * 1.1f, 1e-2);
  EXPECT_NEAR(engine::TranslateBpm(h, bpm * 1.1f, engine::kBpmToFreq), rate * 1.1f, 1.0f);
  EXPECT_EQ(engine::TranslateBpm(h, 100, 77), 0.0f) << "no such kind";

  EXPECT_TRUE(engine::FreeBpm(h));
  EXPECT_EQ(engine::TranslateBpm(h, 100, engine::kPercentToBpm), 0.0f);
  EXPECT_FALSE(engine::FreeBpm(h));
  EXPECT_EQ(engine::Length(h), engine::Length(h)) << "the stream itself stays";
  EXPECT_GT(engine::Length(h), 0);
  engine::FreeStream(h);
}

TEST(EngineBpmCall, FreeSourceFreesTheStreamButKeepsTheResult) {
  // As the player's start detection does: a stream of its own, freed by the
  // detection, the result translated at the deck's current speed.
  engine::DeviceSelect(0);
  const engine::Handle h = engine::OpenFileStream(false, Fixture("beat128.mp3").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(h, 0u);
  const float bpm = engine::BpmOfSpan(h, 0, 30, 0, 0x10003);
  EXPECT_NEAR(bpm, 128.0f, 0.5f);
  EXPECT_EQ(engine::Position(h), -1) << "the stream is gone";
  const engine::Handle deck = engine::CreateTempoStream(
      engine::OpenFileStream(false, Fixture("beat128.mp3").c_str(), 0, 0, engine::kDecode), engine::kFreeSource);
  ASSERT_TRUE(engine::SetTempo(deck, 6, -1, -100));
  EXPECT_NEAR(engine::TranslateBpm(h, engine::RateRatio(deck) * 100, engine::kPercentToBpm), bpm * 1.06f, 1e-2);
  EXPECT_TRUE(engine::FreeBpm(h));
  engine::FreeStream(deck);
}

TEST(EngineBpmCall, SpansWithoutSoundOrOutsideTheFileGiveNothing) {
  const engine::Handle h = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(h, 0u);
  // Beyond the 2 s of the file and an empty span: no tempo, no crash.
  EXPECT_EQ(engine::BpmOfSpan(h, 30, 60, 0, 3), 0.0f);
  EXPECT_EQ(engine::BpmOfSpan(h, 1, 1, 0, 3), 0.0f);
  EXPECT_EQ(engine::TranslateBpm(h, 100, engine::kPercentToBpm), 0.0f) << "nothing to translate";
  // A bad bound pair is refused.
  EXPECT_EQ(engine::BpmOfSpan(h, 0, 2, (60u << 16) | 180u, 3), 0.0f);
  // A tempo stream is not a decode stream.
  const engine::Handle tempo = engine::CreateTempoStream(h, engine::kFreeSource);
  EXPECT_EQ(engine::BpmOfSpan(tempo, 0, 2, 0, 3), 0.0f);
  engine::FreeStream(tempo);
}
