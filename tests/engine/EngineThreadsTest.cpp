// The engine used from several threads while the "No sound" device plays at
// its real pace: its worker decodes ahead and its pacer takes blocks as a
// sound card's callback would, while other threads start, seek, stop and
// free streams, measure start BPMs, move effect parameters and switch
// effects off and on. The test runs a fixed amount of work, not a time: what
// it checks is that every call does its job while the others run, and (in
// the ThreadSanitizer build) that no two threads touch the same state
// unguarded.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "EngineTestUtil.h"
#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"

using namespace enginetest;
using namespace engine::dsp;

namespace {

// A deck: a tempo stream with bands, echo and reverb, as the decks play.
engine::Handle OpenDeck(const char* name) {
  const engine::Handle dec = engine::OpenFileStream(false, Fixture(name).c_str(), 0, 0, engine::kDecode);
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  if (h == 0) return 0;
  engine::SetTempo(h, 6, -1, -100);
  engine::AddEffect(h, kPeakEq, 0);
  const float centres[] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  for (int32_t band = 0; band < 10; ++band) {
    const PeakEqParams eq{band, 44100, 2.5f, 0.0f, centres[band], band % 2 ? 3.0f : -3.0f};
    engine::SetEffectParameters(h, kPeakEq, &eq);
  }
  engine::AddEffect(h, kEcho, 1);
  engine::AddEffect(h, kReverb, 1);
  return h;
}

}  // namespace

TEST(EngineThreads, StreamsStartSeekAndAreMeasuredWhileOthersPlayAtThePace) {
  engine::SetManualClock(true);  // stops device 0's threads, so the block size applies
  engine::SetNoSoundBlock(256);
  engine::SetManualClock(false);
  ASSERT_TRUE(engine::DeviceSelect(0));

  const engine::Handle deck1 = OpenDeck("beat128.mp3");
  const engine::Handle deck2 = OpenDeck("sweep44m.mp3");
  ASSERT_NE(deck1, 0u);
  ASSERT_NE(deck2, 0u);
  ASSERT_TRUE(engine::Play(deck1, true));
  ASSERT_TRUE(engine::Play(deck2, true));

  // Other players: each round opens a song, starts it, seeks into it while it
  // plays, changes its tempo, stops and frees it.
  std::atomic<int> playerFailures{0};
  std::thread players([&] {
    for (int round = 0; round < 12; ++round) {
      const engine::Handle p = OpenDeck(round % 2 ? "sine44s.mp3" : "sweep44m.mp3");
      bool ok = p != 0 && engine::Play(p, true);
      const int64_t length = ok ? engine::Length(p) : 0;
      ok = ok && length > 0 && engine::Seek(p, static_cast<uint64_t>(length / 2) & ~uint64_t{3});
      ok = ok && engine::SetTempo(p, -4, -1, 1);
      ok = ok && engine::Stop(p) && engine::FreeStream(p);
      if (!ok) playerFailures.fetch_add(1);
    }
  });
  // Start-BPM measurements, each on a stream of its own.
  std::vector<float> bpms;
  std::thread measure([&] {
    for (int i = 0; i < 3; ++i) {
      const engine::Handle h = engine::OpenFileStream(false, Fixture("beat128.mp3").c_str(), 0, 0, engine::kDecode);
      bpms.push_back(engine::BpmOfSpan(h, 0, 30, 0, 0x10003));
    }
  });
  // The window's thread: moves the decks' echo, switches a reverb off and on
  // and reads the decks' levels and positions meanwhile.
  int moves = 0;
  for (; moves < 400; ++moves) {
    const EchoParams echo{0.2f + 0.001f * static_cast<float>(moves % 300), 1200 + 37 * (moves % 500)};
    if (!engine::SetEffectParameters(moves % 2 ? deck1 : deck2, kEcho, &echo)) break;
    // Now and then the reverb is switched off and on again.
    if (moves % 40 == 20 && !engine::RemoveEffect(deck1, kReverb)) break;
    if (moves % 40 == 39 && !engine::AddEffect(deck1, kReverb, 1)) break;
    engine::Level(deck1);
    engine::Position(deck2);
    std::this_thread::yield();
  }
  players.join();
  measure.join();

  EXPECT_EQ(moves, 400) << "an effect call was refused while other streams were busy";
  EXPECT_EQ(playerFailures.load(), 0);
  ASSERT_EQ(bpms.size(), 3u);
  for (float bpm : bpms) EXPECT_NEAR(bpm, 128.0f, 0.5f) << "a measurement beside playing decks";
  // The decks played on: wait (without a time limit of our own) until the
  // pacer has taken sound from both.
  while (engine::Position(deck1) <= 0 || engine::Position(deck2) <= 0) std::this_thread::yield();

  engine::SetManualClock(true);
  EXPECT_TRUE(engine::FreeStream(deck1));
  EXPECT_TRUE(engine::FreeStream(deck2));
}
