// Sound chains: a deck's effects and tempo settings kept apart from any
// stream. Their records behave as on a stream; a song put on a chain before
// Play sounds processed from its first rendered frame, exactly as a stream
// given the same effects by the effect calls; the mirror leaves out the
// equaliser and the volume; the rate is scaled to each song's rate; a
// stream keeps no tie to its chain; and chain handles never pass for
// streams.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "EngineTestUtil.h"
#include "TempDir.h"
#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"

using namespace enginetest;
using namespace engine::dsp;

namespace {

// Half a second of a 1 kHz sine at half scale on the left, silence on the
// right (44.1 kHz, 16-bit stereo WAV).
std::string WriteLeftOnlyWav(const TempDir& dir) {
  constexpr uint32_t kRate = 44100, kFrames = 22050;
  std::string b;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&](uint32_t v) {
    for (int i = 0; i < 2; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  b += "RIFF";
  u32(36 + kFrames * 4);
  b += "WAVEfmt ";
  u32(16);
  u16(1);  // PCM
  u16(2);
  u32(kRate);
  u32(kRate * 4);
  u16(4);
  u16(16);
  b += "data";
  u32(kFrames * 4);
  for (uint32_t i = 0; i < kFrames; ++i) {
    const double v = 0.5 * std::sin(2 * std::numbers::pi * 1000.0 * i / kRate);
    u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
    u16(0);
  }
  const std::string path = dir.file("left.wav");
  TempDir::Write(path, b);
  return path;
}

template <typename Record>
bool SameRecord(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

class ChainTest : public ManualClockTest {
 protected:
  void SetUp() override {
    ManualClockTest::SetUp();
    // Compared sample for sample: the plain sum, not the limiter's.
    engine::SetOutputLimiter(false);
  }
  void TearDown() override {
    for (engine::Handle c : chains_) engine::FreeChain(c);
    engine::SetOutputLimiter(true);
    ManualClockTest::TearDown();
  }
  engine::Handle Chain() {
    const engine::Handle c = engine::CreateChain();
    EXPECT_NE(c, 0u);
    chains_.push_back(c);
    return c;
  }
  // A tempo stream over any file (OpenTempo takes fixture names).
  engine::Handle OpenTempoAt(const std::string& path) {
    const engine::Handle dec = engine::OpenFileStream(false, path.c_str(), 0, 0, engine::kDecode);
    EXPECT_NE(dec, 0u) << path;
    const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
    EXPECT_NE(h, 0u) << path;
    opened_.push_back(h);
    return h;
  }
  // Plays a stream from its start for `frames` and frees it.
  std::vector<float> PlayFor(engine::Handle h, size_t frames) {
    EXPECT_TRUE(engine::Play(h, false));
    std::vector<float> out = Render(frames);
    engine::FreeStream(h);
    return out;
  }
  std::vector<engine::Handle> chains_;
};

}  // namespace

TEST_F(ChainTest, RecordsBehaveAsOnAStream) {
  const engine::Handle c = Chain();
  const engine::Handle s = OpenTempo("lr44s.flac");

  // A fresh effect reads back the same defaults on a chain as on a stream.
  for (int32_t type : {kEcho, kFlanger, kVolume, kReverb, kLowPass, kEcho3}) {
    SCOPED_TRACE(type);
    uint32_t onChain[8] = {}, onStream[8] = {};
    EXPECT_FALSE(engine::GetEffectParameters(c, type, onChain)) << "not attached yet";
    ASSERT_TRUE(engine::AddEffect(c, type, 1));
    ASSERT_TRUE(engine::AddEffect(s, type, 1));
    ASSERT_TRUE(engine::GetEffectParameters(c, type, onChain));
    ASSERT_TRUE(engine::GetEffectParameters(s, type, onStream));
    EXPECT_EQ(std::memcmp(onChain, onStream, sizeof onChain), 0);
  }

  // Written records come back; the same records are refused on both.
  const EchoParams echo{0.3f, 5000};
  ASSERT_TRUE(engine::SetEffectParameters(c, kEcho, &echo));
  EXPECT_TRUE(engine::AddEffect(c, kEcho, 7)) << "attaching again succeeds";
  EchoParams echoBack{};
  ASSERT_TRUE(engine::GetEffectParameters(c, kEcho, &echoBack));
  EXPECT_TRUE(SameRecord(echoBack, echo)) << "and changes nothing";
  for (const VolumeParams& bad : {VolumeParams{-1, -0.5f}, VolumeParams{3, 1.0f}, VolumeParams{-1, NAN}}) {
    EXPECT_FALSE(engine::SetEffectParameters(s, kVolume, &bad));
    EXPECT_FALSE(engine::SetEffectParameters(c, kVolume, &bad));
  }
  EXPECT_FALSE(engine::AddEffect(c, 99, 1)) << "no such effect";
  EXPECT_FALSE(engine::SetEffectParameters(c, kEcho, nullptr));

  // A type without a record: nothing to read, nothing to write.
  ASSERT_TRUE(engine::AddEffect(c, kSwap, 0));
  uint32_t none[8] = {};
  EXPECT_FALSE(engine::GetEffectParameters(c, kSwap, none));
  EXPECT_TRUE(engine::SetEffectParameters(c, kSwap, none));

  // Equaliser bands by their number, each with the rate its caller gave.
  ASSERT_TRUE(engine::AddEffect(c, kPeakEq, 0));
  const float centres[] = {80, 1000, 12000};
  for (int32_t band = 0; band < 3; ++band) {
    const PeakEqParams eq{band, 44100 + 900 * band, 1.5f, 0.0f, centres[band], -3.0f + band};
    ASSERT_TRUE(engine::SetEffectParameters(c, kPeakEq, &eq));
  }
  const PeakEqParams moved{1, 48000, 0.5f, 0.7f, 1500.0f, 6.0f};
  ASSERT_TRUE(engine::SetEffectParameters(c, kPeakEq, &moved));
  for (int32_t band = 0; band < 3; ++band) {
    PeakEqParams eq{};
    eq.band = band;
    ASSERT_TRUE(engine::GetEffectParameters(c, kPeakEq, &eq));
    const PeakEqParams want =
        band == 1 ? moved : PeakEqParams{band, 44100 + 900 * band, 1.5f, 0.0f, centres[band], -3.0f + band};
    EXPECT_TRUE(SameRecord(eq, want)) << "band " << band;
  }
  PeakEqParams missing{};
  missing.band = 7;
  EXPECT_FALSE(engine::GetEffectParameters(c, kPeakEq, &missing));

  // Removing drops the records; a type removed is no longer there to remove.
  ASSERT_TRUE(engine::RemoveEffect(c, kPeakEq));
  EXPECT_FALSE(engine::RemoveEffect(c, kPeakEq));
  ASSERT_TRUE(engine::AddEffect(c, kPeakEq, 0));
  PeakEqParams first{};
  EXPECT_FALSE(engine::GetEffectParameters(c, kPeakEq, &first)) << "a new equaliser has no bands";
  ASSERT_TRUE(engine::RemoveEffect(c, kEcho));
  ASSERT_TRUE(engine::AddEffect(c, kEcho, 1));
  ASSERT_TRUE(engine::GetEffectParameters(c, kEcho, &echoBack));
  EXPECT_FALSE(SameRecord(echoBack, echo)) << "a re-attached echo starts from its defaults";

  // None of it reached the stream.
  EchoParams streamEcho{};
  ASSERT_TRUE(engine::GetEffectParameters(s, kEcho, &streamEcho));
  EXPECT_FALSE(SameRecord(streamEcho, echo));
  EXPECT_FALSE(engine::RemoveEffect(s, kPeakEq));
}

TEST_F(ChainTest, ChainHandlesNeverPassForStreams) {
  const engine::Handle s = OpenTempo("sine44s.mp3");
  const engine::Handle dec = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(dec, 0u);
  const engine::Handle c = Chain();
  EXPECT_NE(c, s);
  EXPECT_NE(c, dec);
  EXPECT_GT(c, s) << "from the streams' own never-reused count";

  // Stream calls on a chain fail as on an unknown handle.
  EXPECT_FALSE(engine::Play(c));
  EXPECT_FALSE(engine::Pause(c));
  EXPECT_FALSE(engine::Stop(c));
  EXPECT_EQ(engine::IsActive(c), engine::kStopped);
  EXPECT_EQ(engine::Position(c), -1);
  EXPECT_EQ(engine::Length(c), -1);
  EXPECT_FALSE(engine::Seek(c, 0));
  EXPECT_LT(engine::BytesToSeconds(c, 4), 0.0);
  EXPECT_EQ(engine::SecondsToBytes(c, 1.0), -1);
  EXPECT_FALSE(engine::SetAttributes(c, 0, 50, 0));
  uint32_t freq = 0;
  EXPECT_FALSE(engine::GetAttributes(c, &freq, nullptr, nullptr));
  EXPECT_EQ(engine::FileRate(c), 0u);
  EXPECT_EQ(engine::Level(c), 0xFFFFFFFFu);
  EXPECT_EQ(engine::RateRatio(c), 0.0f);
  int16_t buf[64];
  EXPECT_EQ(engine::ReadData(c, buf, sizeof buf), -1);
  EXPECT_EQ(engine::CreateTempoStream(c, 0), 0u);
  EXPECT_EQ(engine::BpmOfSpan(c, 0, 1, 0, 0), 0.0f);
  EXPECT_FALSE(engine::FreeStream(c));
  // ... and chain calls on anything but a chain.
  EXPECT_FALSE(engine::FreeChain(s));
  EXPECT_FALSE(engine::FreeChain(0));
  EXPECT_FALSE(engine::ApplyChain(s, s));
  EXPECT_FALSE(engine::ApplyChain(c, c));
  EXPECT_FALSE(engine::ApplyChain(dec, c)) << "a decode stream plays nothing";
  EXPECT_FALSE(engine::ApplyChain(0, c));
  EXPECT_FALSE(engine::ApplyChain(s, c, 2)) << "no such flag";
  EXPECT_TRUE(engine::ApplyChain(s, c, engine::kChainMirror));

  // A freed chain is gone for every call.
  ASSERT_TRUE(engine::FreeChain(c));
  EXPECT_FALSE(engine::FreeChain(c));
  EXPECT_FALSE(engine::AddEffect(c, kEcho, 1));
  EXPECT_FALSE(engine::RemoveEffect(c, kEcho));
  EchoParams echo{0.3f, 5000};
  EXPECT_FALSE(engine::SetEffectParameters(c, kEcho, &echo));
  EXPECT_FALSE(engine::GetEffectParameters(c, kEcho, &echo));
  EXPECT_FALSE(engine::SetTempo(c, 5, -1, -100));
  EXPECT_FALSE(engine::ApplyChain(s, c));
  EXPECT_TRUE(engine::Play(s)) << "the stream is unharmed";
  engine::FreeStream(dec);
}

TEST_F(ChainTest, ASongPutOnAChainIsProcessedFromItsFirstFrame) {
  TempDir dir;
  const std::string left = WriteLeftOnlyWav(dir);
  const engine::Handle c = Chain();
  ASSERT_TRUE(engine::AddEffect(c, kSwap, 0));

  // Without the chain the first 10 ms are on the left.
  std::vector<float> out = PlayFor(OpenTempoAt(left), 441);
  EXPECT_GT(Rms(Channel(out, 0)), 0.3);
  EXPECT_EQ(Rms(Channel(out, 1)), 0.0);

  const engine::Handle h = OpenTempoAt(left);
  ASSERT_TRUE(engine::ApplyChain(h, c));
  out = PlayFor(h, 441);
  EXPECT_EQ(Rms(Channel(out, 0)), 0.0) << "not one frame left unswapped";
  EXPECT_GT(Rms(Channel(out, 1)), 0.3);
}

TEST_F(ChainTest, AChainSoundsExactlyAsTheSameEffectsAddedToTheStream) {
  // Gain (the volume effect), three equaliser bands and an echo, as a deck
  // has them; both sides of the song carry sound.
  const VolumeParams gain{-1, 0.6f};
  const PeakEqParams bands[] = {{0, 44100, 0.5f, 0.0f, 440.0f, 9.0f},
                                {1, 44100, 0.5f, 0.0f, 1000.0f, -12.0f},
                                {2, 44100, 0.5f, 0.0f, 6000.0f, 3.0f}};
  const EchoParams echo{0.4f, 300};
  auto setUp = [&](engine::Handle h) {
    ASSERT_TRUE(engine::AddEffect(h, kPeakEq, 5));
    ASSERT_TRUE(engine::AddEffect(h, kVolume, 5));
    ASSERT_TRUE(engine::AddEffect(h, kEcho, 1));
    for (const PeakEqParams& eq : bands) ASSERT_TRUE(engine::SetEffectParameters(h, kPeakEq, &eq));
    ASSERT_TRUE(engine::SetEffectParameters(h, kVolume, &gain));
    ASSERT_TRUE(engine::SetEffectParameters(h, kEcho, &echo));
  };
  constexpr size_t kFrames = 4096;

  const std::vector<float> plain = PlayFor(OpenTempo("lr44s.flac"), kFrames);
  const engine::Handle direct = OpenTempo("lr44s.flac");
  setUp(direct);
  const std::vector<float> byCalls = PlayFor(direct, kFrames);
  const engine::Handle c = Chain();
  setUp(c);
  const engine::Handle chained = OpenTempo("lr44s.flac");
  // Effects the stream had are replaced.
  ASSERT_TRUE(engine::AddEffect(chained, kSwap, 9));
  ASSERT_TRUE(engine::ApplyChain(chained, c));
  const std::vector<float> byChain = PlayFor(chained, kFrames);

  EXPECT_EQ(byChain, byCalls) << "sample for sample";
  // And the effects are heard from the start: 440 Hz up, 1 kHz down.
  EXPECT_GT(Rms(Channel(byChain, 0), 0, 441), 1.2 * Rms(Channel(plain, 0), 0, 441));
  EXPECT_LT(Rms(Channel(byChain, 1), 0, 441), 0.5 * Rms(Channel(plain, 1), 0, 441));
}

TEST_F(ChainTest, AMirrorLeavesOutTheEqualiserAndTheVolume) {
  TempDir dir;
  const std::string left = WriteLeftOnlyWav(dir);
  const engine::Handle c = Chain();
  ASSERT_TRUE(engine::AddEffect(c, kSwap, 0));
  ASSERT_TRUE(engine::AddEffect(c, kVolume, 0));
  ASSERT_TRUE(engine::AddEffect(c, kPeakEq, 0));
  ASSERT_TRUE(engine::AddEffect(c, kEcho, 0));
  const VolumeParams mute{-1, 0.0f};
  const PeakEqParams band{4, 48000, 1.0f, 0.0f, 1000.0f, 6.0f};
  const EchoParams echo{0.25f, 4000};
  ASSERT_TRUE(engine::SetEffectParameters(c, kVolume, &mute));
  ASSERT_TRUE(engine::SetEffectParameters(c, kPeakEq, &band));
  ASSERT_TRUE(engine::SetEffectParameters(c, kEcho, &echo));
  ASSERT_TRUE(engine::SetTempo(c, 10, -1, -100));

  for (const bool mirror : {true, false}) {
    SCOPED_TRACE(mirror ? "mirror" : "main output");
    const engine::Handle h = OpenTempoAt(left);
    ASSERT_TRUE(engine::ApplyChain(h, c, mirror ? engine::kChainMirror : 0));
    EXPECT_NEAR(engine::RateRatio(h), 1.1f, 1e-5) << "the tempo goes with both";
    EchoParams echoBack{};
    ASSERT_TRUE(engine::GetEffectParameters(h, kEcho, &echoBack));
    EXPECT_TRUE(SameRecord(echoBack, echo));
    VolumeParams volumeBack{};
    PeakEqParams bandBack{};
    bandBack.band = 4;
    EXPECT_EQ(engine::GetEffectParameters(h, kVolume, &volumeBack), !mirror);
    EXPECT_EQ(engine::GetEffectParameters(h, kPeakEq, &bandBack), !mirror);
    if (!mirror) {
      EXPECT_TRUE(SameRecord(volumeBack, mute));
      EXPECT_TRUE(SameRecord(bandBack, band)) << "with the rate the caller gave";
    }
    const std::vector<float> out = PlayFor(h, 2048);
    EXPECT_EQ(Rms(Channel(out, 0)), 0.0) << "swapped either way";
    if (mirror) {
      EXPECT_GT(Rms(Channel(out, 1)), 0.3) << "not muted";
    } else {
      EXPECT_EQ(Rms(Channel(out, 1)), 0.0) << "muted";
    }
  }
}

TEST_F(ChainTest, TheChainsRateIsScaledToEachSongsRate) {
  struct Song {
    const char* name;
    uint32_t rate;
    double tone;
  };
  const Song songs[] = {{"sine22m.mp3", 22050, 500}, {"sine44s.mp3", 44100, 440}, {"sine48s.flac", 48000, 1000}};
  struct Setting {
    float tempo, rate, pitch;  // given to the chain, each on top of the one before
    double rateFactor;         // the stream's rate against its file's
    double ratio;              // RateRatio of a stream put on the chain
    double pitchFactor;        // how much higher the tone is heard
  };
  const Setting settings[] = {
      {10, 48510, -100, 1.1, 1.21, 1.1},  // a 44.1 kHz song's rate up 10 %, and 10 % tempo
      {-100, 0, 12, 1.0, 1.1, 2.0},       // each song's own rate, an octave up; the tempo stays
      {0, 39690, 0, 0.9, 0.9, 0.9},       // 10 % down, pitch back
  };
  const engine::Handle c = Chain();
  for (const Setting& set : settings) {
    ASSERT_TRUE(engine::SetTempo(c, set.tempo, set.rate, set.pitch));
    for (const Song& song : songs) {
      SCOPED_TRACE(testing::Message() << song.name << " rate " << set.rate << " pitch " << set.pitch);
      const engine::Handle h = OpenTempo(song.name);
      ASSERT_TRUE(engine::ApplyChain(h, c));
      EXPECT_NEAR(engine::RateRatio(h), set.ratio, 1e-5);
      uint32_t freq = 0;
      ASSERT_TRUE(engine::GetAttributes(h, &freq, nullptr, nullptr));
      EXPECT_NEAR(freq, song.rate * set.rateFactor, 1.0);
      const std::vector<float> out = PlayFor(h, 13230);  // 0.3 s
      const double tone = song.tone * set.pitchFactor;
      EXPECT_NEAR(Frequency(Channel(out, 0), 44100), tone, tone * 0.01);
    }
  }

  // A rate scaled past what a stream takes is kept within it.
  ASSERT_TRUE(engine::SetTempo(c, -100, 200000, -100));
  for (const auto& [name, want] : {std::pair{"sine22m.mp3", 100000u}, std::pair{"sine48s.flac", 200000u}}) {
    const engine::Handle h = OpenTempo(name);
    ASSERT_TRUE(engine::ApplyChain(h, c));
    uint32_t freq = 0;
    engine::GetAttributes(h, &freq, nullptr, nullptr);
    EXPECT_EQ(freq, want) << name;
    engine::FreeStream(h);
  }
  // Values a stream refuses the chain refuses, and keeps what it had.
  ASSERT_TRUE(engine::SetTempo(c, 5, 0, 0));
  EXPECT_FALSE(engine::SetTempo(c, -99, -1, -100));
  EXPECT_FALSE(engine::SetTempo(c, -100, 50, -100));
  EXPECT_FALSE(engine::SetTempo(c, -100, -1, 61));
  EXPECT_FALSE(engine::SetTempo(c, NAN, -1, -100));
  const engine::Handle h = OpenTempo("sine48s.flac");
  ASSERT_TRUE(engine::ApplyChain(h, c));
  EXPECT_NEAR(engine::RateRatio(h), 1.05f, 1e-5);

  // A playable stream that is not a tempo stream takes the effects alone.
  const engine::Handle plain = engine::OpenFileStream(false, Fixture("sine48s.flac").c_str(), 0, 0, 0);
  ASSERT_NE(plain, 0u);
  opened_.push_back(plain);
  ASSERT_TRUE(engine::AddEffect(c, kEcho, 0));
  ASSERT_TRUE(engine::ApplyChain(plain, c));
  EchoParams echo{};
  EXPECT_TRUE(engine::GetEffectParameters(plain, kEcho, &echo));
  uint32_t freq = 0;
  ASSERT_TRUE(engine::GetAttributes(plain, &freq, nullptr, nullptr));
  EXPECT_EQ(freq, 48000u);
}

TEST_F(ChainTest, AStreamKeepsNoTieToItsChain) {
  const engine::Handle c = Chain();
  ASSERT_TRUE(engine::AddEffect(c, kEcho, 1));
  ASSERT_TRUE(engine::AddEffect(c, kVolume, 1));
  const EchoParams echo{0.3f, 5000};
  ASSERT_TRUE(engine::SetEffectParameters(c, kEcho, &echo));
  ASSERT_TRUE(engine::SetTempo(c, 10, -1, -100));
  const engine::Handle first = OpenTempo("sine44s.mp3");
  ASSERT_TRUE(engine::ApplyChain(first, c));
  ASSERT_TRUE(engine::Play(first));
  Render(2048);

  // The chain changes: the stream put on it before does not.
  const EchoParams later{0.6f, 7000};
  ASSERT_TRUE(engine::SetEffectParameters(c, kEcho, &later));
  ASSERT_TRUE(engine::SetTempo(c, 20, -1, -100));
  ASSERT_TRUE(engine::RemoveEffect(c, kVolume));
  ASSERT_TRUE(engine::AddEffect(c, kReverb, 1));
  EchoParams back{};
  ASSERT_TRUE(engine::GetEffectParameters(first, kEcho, &back));
  EXPECT_TRUE(SameRecord(back, echo));
  EXPECT_NEAR(engine::RateRatio(first), 1.1f, 1e-5);
  VolumeParams volume{};
  EXPECT_TRUE(engine::GetEffectParameters(first, kVolume, &volume));
  EXPECT_FALSE(engine::RemoveEffect(first, kReverb));

  // Nor does the stream's own change reach the chain.
  const EchoParams own{0.1f, 2000};
  ASSERT_TRUE(engine::SetEffectParameters(first, kEcho, &own));
  ASSERT_TRUE(engine::GetEffectParameters(c, kEcho, &back));
  EXPECT_TRUE(SameRecord(back, later));

  // Put on again while it plays, the stream takes the chain as it is now.
  ASSERT_TRUE(engine::ApplyChain(first, c));
  ASSERT_TRUE(engine::GetEffectParameters(first, kEcho, &back));
  EXPECT_TRUE(SameRecord(back, later));
  EXPECT_FALSE(engine::GetEffectParameters(first, kVolume, &volume)) << "replaced";
  EXPECT_TRUE(engine::RemoveEffect(first, kReverb));
  EXPECT_NEAR(engine::RateRatio(first), 1.2f, 1e-5);
  const std::vector<float> out = Render(8192);
  EXPECT_GT(Rms(out), 0.1) << "it plays on";

  // The chain outlives its streams, and a freed stream takes nothing.
  ASSERT_TRUE(engine::FreeStream(first));
  EXPECT_FALSE(engine::ApplyChain(first, c));
  ASSERT_TRUE(engine::GetEffectParameters(c, kEcho, &back));
  EXPECT_TRUE(SameRecord(back, later));
  const engine::Handle next = OpenTempo("sine44s.mp3");
  ASSERT_TRUE(engine::ApplyChain(next, c));
  ASSERT_TRUE(engine::GetEffectParameters(next, kEcho, &back));
  EXPECT_TRUE(SameRecord(back, later));
  // And a stream outlives its chain.
  ASSERT_TRUE(engine::FreeChain(c));
  ASSERT_TRUE(engine::GetEffectParameters(next, kEcho, &back));
  EXPECT_TRUE(SameRecord(back, later));
  EXPECT_NEAR(engine::RateRatio(next), 1.2f, 1e-5);
}

TEST_F(ChainTest, AVolumeForEachChannelReachesAFreshStreamWhole) {
  // The volume effect keeps a gain per channel: the chain hands the stream
  // every channel's, not only the last record's.
  const engine::Handle c = Chain();
  ASSERT_TRUE(engine::AddEffect(c, kVolume, 0));
  for (const VolumeParams& v : {VolumeParams{-1, 0.5f}, VolumeParams{1, 0.0f}, VolumeParams{2, 0.25f}}) {
    ASSERT_TRUE(engine::SetEffectParameters(c, kVolume, &v));
  }
  const std::vector<float> plain = PlayFor(OpenTempo("lr44s.flac"), 2048);
  const engine::Handle h = OpenTempo("lr44s.flac");
  ASSERT_TRUE(engine::ApplyChain(h, c));
  const std::vector<float> out = PlayFor(h, 2048);
  EXPECT_EQ(Rms(Channel(out, 0)), 0.0);
  EXPECT_NEAR(Rms(Channel(out, 1)) / Rms(Channel(plain, 1)), 0.25, 1e-4);
}

TEST(EngineChainThreads, ChainsChangeWhileSongsArePutOnThemAndPlayAtThePace) {
  engine::SetManualClock(false);
  ASSERT_TRUE(engine::DeviceSelect(0));
  const engine::Handle c = engine::CreateChain();
  ASSERT_NE(c, 0u);
  ASSERT_TRUE(engine::AddEffect(c, kPeakEq, 0));
  ASSERT_TRUE(engine::AddEffect(c, kEcho, 1));

  // A deck thread: each round puts a new song on the chain, starts it,
  // puts it on the chain again while it plays, and frees it.
  std::atomic<int> failures{0};
  std::thread deck([&] {
    for (int round = 0; round < 12; ++round) {
      const engine::Handle dec = engine::OpenFileStream(false, Fixture("sweep44m.mp3").c_str(), 0, 0, engine::kDecode);
      const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
      bool ok = h != 0 && engine::ApplyChain(h, c) && engine::Play(h);
      ok = ok && engine::ApplyChain(h, c, round % 2 ? engine::kChainMirror : 0);
      ok = ok && engine::FreeStream(h);
      if (!ok) failures.fetch_add(1);
    }
  });
  // The window's thread moves the chain's bands, echo and tempo meanwhile,
  // and now and then switches a reverb off and on.
  int moves = 0;
  for (; moves < 300; ++moves) {
    const PeakEqParams eq{moves % 10, 44100, 2.5f, 0.0f, 100.0f + 100.0f * static_cast<float>(moves % 10),
                          static_cast<float>(moves % 7) - 3.0f};
    const EchoParams echo{0.2f + 0.001f * static_cast<float>(moves), 1200 + 37 * moves};
    if (!engine::SetEffectParameters(c, kPeakEq, &eq) || !engine::SetEffectParameters(c, kEcho, &echo)) break;
    if (!engine::SetTempo(c, static_cast<float>(moves % 9), -1, -100)) break;
    if (moves % 40 == 20 && !engine::AddEffect(c, kReverb, 2)) break;
    if (moves % 40 == 39 && !engine::RemoveEffect(c, kReverb)) break;
    std::this_thread::yield();
  }
  deck.join();
  EXPECT_EQ(moves, 300);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_TRUE(engine::FreeChain(c));
  engine::SetManualClock(true);
}
