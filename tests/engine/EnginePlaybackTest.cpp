// Tempo streams played on the "No sound" device's manual clock: positions,
// end of song, tempo/rate/pitch, seeking, transport, volume and levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "EngineTestUtil.h"
#include "engine/Engine.h"

using namespace enginetest;

namespace {

// Renders until the stream stops; returns the frames rendered (and the
// output in `all` when given). Gives up after `limit` frames.
size_t RenderToEnd(engine::Handle h, std::vector<float>* all = nullptr, size_t limit = 44100 * 6) {
  size_t frames = 0;
  while (engine::IsActive(h) == engine::kPlaying && frames < limit) {
    std::vector<float> block = Render(512);
    if (all) all->insert(all->end(), block.begin(), block.end());
    frames += 512;
  }
  return frames;
}

// The largest sample magnitude of a file, as decoded.
double PeakOf(const char* file) {
  const engine::Handle h = engine::OpenFileStream(false, Fixture(file).c_str(), 0, 0, engine::kDecode);
  int peak = 0;
  for (int16_t v : ReadAll(h)) peak = std::max(peak, std::abs(static_cast<int>(v)));
  engine::FreeStream(h);
  return peak;
}

using PlaybackTest = ManualClockTest;

}  // namespace

TEST_F(PlaybackTest, PlaysFromTheStartReportsWhatWasHeardAndEnds) {
  const engine::Handle h = OpenTempo("sine44s.mp3");
  EXPECT_EQ(engine::IsActive(h), engine::kStopped) << "not started yet";
  EXPECT_EQ(engine::Length(h), 88200 * 4) << "the source's length";
  EXPECT_EQ(engine::Level(h), 0xFFFFFFFFu) << "no level while not playing";
  ASSERT_TRUE(engine::Play(h, false));
  EXPECT_EQ(engine::IsActive(h), engine::kPlaying);
  EXPECT_EQ(engine::Position(h), 0) << "nothing heard yet, however much is decoded ahead";

  const std::vector<float> out = Render(22050);
  // Half a second heard, in the source's bytes.
  EXPECT_NEAR(static_cast<double>(engine::Position(h)), 22050.0 * 4, 64 * 4);
  EXPECT_NEAR(Frequency(Channel(out, 0), 44100), 440.0, 2.0);
  EXPECT_NEAR(Rms(Channel(out, 1), 4410), 0.5 / std::sqrt(2.0), 0.02);
  // The level is the peak of the last 20 ms heard: the file's own peak.
  const uint32_t level = engine::Level(h);
  const double peak = PeakOf("sine44s.mp3");
  EXPECT_NEAR(static_cast<double>(level & 0xFFFF), peak, 40);
  EXPECT_NEAR(static_cast<double>(level >> 16), peak, 40);

  const size_t rest = RenderToEnd(h);
  EXPECT_EQ(engine::IsActive(h), engine::kStopped);
  EXPECT_NEAR(static_cast<double>(22050 + rest), 88200.0, 1500.0);
  EXPECT_EQ(engine::Position(h), engine::Length(h)) << "an ended stream stands at its end";
  EXPECT_EQ(engine::Level(h), 0xFFFFFFFFu);
  // Played again without a seek: it has nothing left and stops at once.
  EXPECT_TRUE(engine::Play(h, false));
  Render(1024);
  EXPECT_EQ(engine::IsActive(h), engine::kStopped);
  // With restart it plays from the start again.
  EXPECT_TRUE(engine::Play(h, true));
  Render(4410);
  EXPECT_NEAR(static_cast<double>(engine::Position(h)), 4410.0 * 4, 64 * 4);
}

TEST_F(PlaybackTest, TempoRateAndPitchChangeSpeedAndFrequencyAsTheyShould) {
  struct Case {
    float tempo, rate, pitch;  // -100 / -1 / -100 leave the value unchanged
    double freq;               // Hz heard
    double frames;             // frames until the 2 s file ends
    float ratio;               // the rate ratio reported
  } cases[] = {
      {10, -1, -100, 440, 88200 / 1.1, 1.1f},            // +10 % tempo keeps the pitch
      {-20, -1, -100, 440, 88200 / 0.8, 0.8f},           // slower, same pitch
      {-100, 48510, -100, 484, 88200 / 1.1, 1.1f},       // rate up 10 %: faster and higher
      {-100, -1, 12, 880, 88200, 1.0f},                  // an octave up, same speed
      {-100, -1, -12, 220, 88200, 1.0f},                 // an octave down
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tempo << " " << c.rate << " " << c.pitch);
    const engine::Handle h = OpenTempo("sine44s.mp3");
    ASSERT_TRUE(engine::SetTempo(h, c.tempo, c.rate, c.pitch));
    EXPECT_NEAR(engine::RateRatio(h), c.ratio, 1e-4);
    ASSERT_TRUE(engine::Play(h, false));
    std::vector<float> out;
    const size_t frames = RenderToEnd(h, &out);
    EXPECT_NEAR(static_cast<double>(frames), c.frames, c.frames * 0.02 + 1024);
    std::vector<float> left = Channel(out, 0);
    left.resize(std::min<size_t>(left.size(), 44100));
    EXPECT_NEAR(Frequency(left, 44100), c.freq, c.freq * 0.01);
    EXPECT_EQ(engine::Position(h), engine::Length(h));
  }
}

TEST_F(PlaybackTest, LeaveUnchangedValuesKeepTheOtherSettings) {
  const engine::Handle h = OpenTempo("sine44s.mp3");
  ASSERT_TRUE(engine::SetTempo(h, 10, -1, -100));
  ASSERT_TRUE(engine::SetTempo(h, -100, 48510, -100));
  ASSERT_TRUE(engine::SetTempo(h, -100, -1, 3));
  EXPECT_NEAR(engine::RateRatio(h), 1.1f * 1.1f, 1e-4) << "tempo and rate both kept";
  uint32_t freq = 0;
  engine::GetAttributes(h, &freq, nullptr, nullptr);
  EXPECT_EQ(freq, 48510u);
  EXPECT_EQ(engine::FileRate(h), 44100u) << "the file's rate stays what it is";
  // Rate 0 goes back to the file's own rate.
  ASSERT_TRUE(engine::SetTempo(h, -100, 0, -100));
  engine::GetAttributes(h, &freq, nullptr, nullptr);
  EXPECT_EQ(freq, 44100u);
  // Values outside what the stretcher can do are refused and change nothing.
  EXPECT_FALSE(engine::SetTempo(h, -99, -1, -100));
  EXPECT_FALSE(engine::SetTempo(h, -100, 50, -100));
  EXPECT_FALSE(engine::SetTempo(h, -100, -1, 61));
  EXPECT_FALSE(engine::SetTempo(h, NAN, -1, -100));
  EXPECT_NEAR(engine::RateRatio(h), 1.1f, 1e-4);
  // Only tempo streams take tempo changes.
  const engine::Handle dec = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  EXPECT_FALSE(engine::SetTempo(dec, 10, -1, -100));
  EXPECT_EQ(engine::RateRatio(dec), 0.0f);
  EXPECT_EQ(engine::FileRate(dec), 44100u);
  engine::FreeStream(dec);
  EXPECT_EQ(engine::FileRate(dec), 0u);
}

TEST_F(PlaybackTest, FilesAtOtherRatesPlayAtTheirOwnSpeedOnTheDevice) {
  for (const char* file : {"sine48s.flac", "sine48s.ogg"}) {
    SCOPED_TRACE(file);
    const engine::Handle h = OpenTempo(file);
    uint32_t freq = 0;
    engine::GetAttributes(h, &freq, nullptr, nullptr);
    EXPECT_EQ(freq, 48000u);
    ASSERT_TRUE(engine::Play(h, false));
    std::vector<float> out;
    const size_t frames = RenderToEnd(h, &out);
    EXPECT_NEAR(static_cast<double>(frames), 1.5 * 44100, 1500);
    EXPECT_NEAR(Frequency(Channel(out, 0), 44100), 1000.0, 10.0);
  }
  // A mono file is heard on both sides.
  const engine::Handle mono = OpenTempo("sine22m.mp3");
  ASSERT_TRUE(engine::Play(mono, false));
  const std::vector<float> out = Render(11025);
  EXPECT_NEAR(Frequency(Channel(out, 0), 44100), 500.0, 5.0);
  EXPECT_NEAR(Frequency(Channel(out, 1), 44100), 500.0, 5.0);
  EXPECT_NEAR(static_cast<double>(engine::Position(mono)), 11025.0 / 2 * 2, 64);
}

TEST_F(PlaybackTest, SeekingWhilePlayingIsHeardAtOnceWithoutStaleSound) {
  // The sweep rises exponentially from 300 Hz to 3000 Hz over 2 s
  // (300 * 10^(t/2)): what is heard tells where in the file it comes from.
  const auto sweepAt = [](double t) { return 300.0 * std::pow(10.0, t / 2); };
  const engine::Handle h = OpenTempo("sweep44m.flac");
  ASSERT_TRUE(engine::Play(h, false));
  Render(4410);
  const uint64_t target = 44100 * 2;  // 1.0 s of mono 16-bit
  ASSERT_TRUE(engine::Seek(h, target));
  EXPECT_EQ(engine::Position(h), static_cast<int64_t>(target));
  const std::vector<float> out = Render(882);
  EXPECT_NEAR(Frequency(Channel(out, 0), 44100), sweepAt(1.01), sweepAt(1.01) * 0.03);
  EXPECT_NEAR(static_cast<double>(engine::Position(h)), target + 882.0 * 2, 64 * 2);
  // Seeking works while stopped or paused too, and beyond the end fails.
  ASSERT_TRUE(engine::Pause(h));
  ASSERT_TRUE(engine::Seek(h, 44100));
  EXPECT_EQ(engine::Position(h), 44100);
  EXPECT_FALSE(engine::Seek(h, static_cast<uint64_t>(engine::Length(h)) + 2));
  EXPECT_EQ(engine::Position(h), 44100);
  ASSERT_TRUE(engine::Play(h, false));
  const std::vector<float> again = Render(882);
  EXPECT_NEAR(Frequency(Channel(again, 0), 44100), sweepAt(0.51), sweepAt(0.51) * 0.03);
}

TEST_F(PlaybackTest, PauseStopAndResumeKeepThePosition) {
  const engine::Handle h = OpenTempo("sine44s.mp3");
  EXPECT_FALSE(engine::Pause(h)) << "a stream that is not playing cannot pause";
  ASSERT_TRUE(engine::Play(h, false));
  Render(8820);
  ASSERT_TRUE(engine::Pause(h));
  EXPECT_EQ(engine::IsActive(h), engine::kPaused);
  const int64_t at = engine::Position(h);
  const std::vector<float> silent = Render(4410);
  EXPECT_EQ(Rms(silent), 0.0) << "a paused stream is not heard";
  EXPECT_EQ(engine::Position(h), at);
  ASSERT_TRUE(engine::Play(h, false));
  Render(4410);
  EXPECT_NEAR(static_cast<double>(engine::Position(h) - at), 4410.0 * 4, 8);
  ASSERT_TRUE(engine::Stop(h));
  EXPECT_EQ(engine::IsActive(h), engine::kStopped);
  const int64_t stoppedAt = engine::Position(h);
  Render(4410);
  EXPECT_EQ(engine::Position(h), stoppedAt);
  ASSERT_TRUE(engine::Play(h, false));
  Render(4410);
  EXPECT_NEAR(static_cast<double>(engine::Position(h) - stoppedAt), 4410.0 * 4, 8) << "play goes on from the position";
  // A decode stream cannot be played: it is read by its caller.
  const engine::Handle dec = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  EXPECT_FALSE(engine::Play(dec, false));
  engine::FreeStream(dec);
}

TEST_F(PlaybackTest, VolumeStepsAreSmoothedAndLevelsFollowTheSignal) {
  const engine::Handle h = OpenTempo("sine44s.mp3");
  ASSERT_TRUE(engine::Play(h, false));
  Render(4410);
  // A step from full volume to silence: no jump bigger than the sine's own
  // steepest step, and silence within a few milliseconds.
  ASSERT_TRUE(engine::SetAttributes(h, -1, 0, -101));
  const std::vector<float> down = Channel(Render(2205), 0);
  const float sineStep = 0.5f * 2.0f * static_cast<float>(M_PI) * 440.0f / 44100.0f;
  float biggest = 0;
  for (size_t i = 1; i < down.size(); ++i) biggest = std::max(biggest, std::fabs(down[i] - down[i - 1]));
  EXPECT_LE(biggest, sineStep * 1.05f);
  EXPECT_GT(Rms(down, 0, 100), 0.1) << "the fall takes time";
  EXPECT_EQ(Rms(down, 882), 0.0) << "silent after 20 ms";
  uint32_t volume = 99;
  engine::GetAttributes(h, nullptr, &volume, nullptr);
  EXPECT_EQ(volume, 0u);
  // The level is measured before the volume: it still shows the song.
  EXPECT_NEAR(static_cast<double>(engine::Level(h) & 0xFFFF), PeakOf("sine44s.mp3"), 40);

  // Half volume: half the amplitude, reached smoothly.
  ASSERT_TRUE(engine::SetAttributes(h, -1, 50, -101));
  const std::vector<float> up = Channel(Render(4410), 0);
  for (size_t i = 1; i < up.size(); ++i) ASSERT_LE(std::fabs(up[i] - up[i - 1]), sineStep * 1.05f);
  EXPECT_NEAR(Rms(up, 2205), 0.25 / std::sqrt(2.0), 0.01);

  // Out-of-range values are refused.
  EXPECT_FALSE(engine::SetAttributes(h, -1, 101, -101));
  EXPECT_FALSE(engine::SetAttributes(h, -1, -2, -101));
  EXPECT_FALSE(engine::SetAttributes(h, 50, -1, -101));
}

TEST_F(PlaybackTest, AVolumeSetBeforePlayAppliesFromTheFirstSample) {
  // As a headphone mirror starts: silent until its volume is raised.
  const engine::Handle h = OpenTempo("sine44s.mp3");
  ASSERT_TRUE(engine::SetAttributes(h, -1, 0, -101));
  ASSERT_TRUE(engine::Play(h, false));
  EXPECT_EQ(Rms(Render(2048)), 0.0);
  ASSERT_TRUE(engine::SetAttributes(h, -1, 100, -101));
  const std::vector<float> out = Channel(Render(4410), 0);
  EXPECT_NEAR(Rms(out, 2205), 0.475 / std::sqrt(2.0), 0.02);
}

TEST_F(PlaybackTest, StreamsAreMixedAndALoudSumIsLimitedBelowFullScale) {
  // Copies of a 0.475 sine in step: two at volume 80 add up to 0.76, three
  // at full volume would reach 1.425.
  const engine::Handle a = OpenTempo("sine44s.mp3");
  const engine::Handle b = OpenTempo("sine44s.mp3");
  const engine::Handle c = OpenTempo("sine44s.mp3");
  Render(2048);  // silence: the limiter starts afresh
  ASSERT_TRUE(engine::SetAttributes(a, -1, 80, -101));
  ASSERT_TRUE(engine::SetAttributes(b, -1, 80, -101));
  ASSERT_TRUE(engine::Play(a, false));
  ASSERT_TRUE(engine::Play(b, false));
  const std::vector<float> two = Channel(Render(4410), 0);
  EXPECT_NEAR(*std::max_element(two.begin(), two.end()), 0.76, 0.02) << "two streams add up";
  ASSERT_TRUE(engine::SetAttributes(a, -1, 100, -101));
  ASSERT_TRUE(engine::SetAttributes(b, -1, 100, -101));
  ASSERT_TRUE(engine::Seek(c, static_cast<uint64_t>(engine::Position(a))));
  ASSERT_TRUE(engine::Play(c, false));
  const std::vector<float> three = Channel(Render(22050), 0);
  for (float v : three) ASSERT_LT(std::fabs(v), 1.0f);
  // Within a few milliseconds the sum stands at -1 dBFS, as loud as the
  // limiter lets it be.
  const std::vector<float> settled(three.begin() + 441, three.end());
  EXPECT_NEAR(*std::max_element(settled.begin(), settled.end()), 0.891, 0.005);
  EXPECT_NEAR(*std::min_element(settled.begin(), settled.end()), -0.891, 0.005);
  // The plain sum, as the output was before, went past full scale and was
  // cut flat there.
  engine::SetOutputLimiter(false);
  const std::vector<float> plain = Channel(Render(4410), 0);
  engine::SetOutputLimiter(true);
  EXPECT_EQ(*std::max_element(plain.begin(), plain.end()), 1.0f);
}

// A song that never comes near full scale sounds exactly as it did without
// the limiter, alone and with another one; the limiter only acts above
// -1 dBFS.
TEST_F(PlaybackTest, SoundBelowTheLimitersThresholdIsUntouchedBitForBit) {
  struct Case {
    const char* name;
    std::vector<const char*> songs;
    int volume;
  };
  const Case cases[] = {
      {"one song at 0.475", {"sine44s.mp3"}, 100},
      {"two songs summing to 0.85", {"sine44s.mp3", "lr44s.flac"}, 87},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::vector<float> heard[2];
    for (bool limiter : {true, false}) {
      engine::SetOutputLimiter(limiter);
      Render(2048);
      std::vector<engine::Handle> playing;
      for (const char* song : k.songs) {
        playing.push_back(OpenTempo(song));
        ASSERT_TRUE(engine::SetAttributes(playing.back(), -1, k.volume, -101));
      }
      for (engine::Handle h : playing) ASSERT_TRUE(engine::Play(h, false));
      heard[limiter ? 0 : 1] = Render(44100);
      for (engine::Handle h : playing) engine::Stop(h);
    }
    engine::SetOutputLimiter(true);
    float peak = 0;
    for (float v : heard[1]) peak = std::max(peak, std::fabs(v));
    ASSERT_GT(peak, 0.4f);
    ASSERT_LT(peak, 0.891f);
    ASSERT_EQ(heard[0].size(), heard[1].size());
    EXPECT_EQ(std::memcmp(heard[0].data(), heard[1].data(), heard[0].size() * sizeof(float)), 0);
  }
}

TEST_F(PlaybackTest, LevelsFollowEachChannelsAmplitude) {
  // Left 440 Hz and right 1 kHz, both at half scale; then the pan shows the
  // level is measured before pan and volume as well.
  const engine::Handle h = OpenTempo("lr44s.flac");
  ASSERT_TRUE(engine::Play(h, false));
  const std::vector<float> out = Render(4410);
  const uint32_t level = engine::Level(h);
  EXPECT_NEAR(static_cast<double>(level & 0xFFFF), 16384, 600);
  EXPECT_NEAR(static_cast<double>(level >> 16), 16384, 600);
  EXPECT_NEAR(Frequency(Channel(out, 0), 44100), 440, 5);
  EXPECT_NEAR(Frequency(Channel(out, 1), 44100), 1000, 10);
  // Pan fully left: the right side is silent.
  ASSERT_TRUE(engine::SetAttributes(h, -1, -1, -100));
  const std::vector<float> panned = Render(4410);
  EXPECT_LT(Rms(Channel(panned, 1), 882), 1e-6);
  EXPECT_NEAR(Rms(Channel(panned, 0), 882), 0.5 / std::sqrt(2.0), 0.02);
  int pan = 0;
  engine::GetAttributes(h, nullptr, nullptr, &pan);
  EXPECT_EQ(pan, -100);
}

TEST_F(PlaybackTest, ATempoStreamOwnsItsSource) {
  const engine::Handle dec = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(dec, 0u);
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  ASSERT_NE(h, 0u);
  // The source now belongs to the tempo stream.
  int16_t buf[64];
  EXPECT_EQ(engine::ReadData(dec, buf, sizeof buf), -1);
  EXPECT_EQ(engine::CreateTempoStream(dec, 0), 0u);
  EXPECT_FALSE(engine::FreeStream(dec));
  EXPECT_EQ(engine::CreateTempoStream(h, 0), 0u) << "a tempo stream is no source";
  ASSERT_TRUE(engine::FreeStream(h));
  EXPECT_EQ(engine::Length(dec), -1) << "freed with the tempo stream";

  // Without the flag the source survives and is the caller's again.
  const engine::Handle dec2 = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  const engine::Handle h2 = engine::CreateTempoStream(dec2, 0);
  ASSERT_NE(h2, 0u);
  ASSERT_TRUE(engine::FreeStream(h2));
  EXPECT_EQ(engine::Length(dec2), 88200 * 4);
  EXPECT_GT(engine::ReadData(dec2, buf, sizeof buf), 0);
  engine::FreeStream(dec2);
}

TEST_F(PlaybackTest, AHeadphoneMirrorIsASecondStreamOfTheSameFile) {
  const engine::Handle deck = OpenTempo("sweep44m.mp3");
  const engine::Handle mirror = OpenTempo("sweep44m.mp3");
  ASSERT_TRUE(engine::Play(deck, false));
  Render(8820);
  // The mirror starts silent at the deck's position and follows it.
  ASSERT_TRUE(engine::SetAttributes(mirror, -1, 0, -101));
  ASSERT_TRUE(engine::Seek(mirror, static_cast<uint64_t>(engine::Position(deck))));
  ASSERT_TRUE(engine::Play(mirror, false));
  Render(4410);
  EXPECT_NEAR(static_cast<double>(engine::Position(mirror)), static_cast<double>(engine::Position(deck)), 128);
  // Freeing the deck leaves the mirror playing.
  ASSERT_TRUE(engine::FreeStream(deck));
  Render(1024);
  EXPECT_EQ(engine::IsActive(mirror), engine::kPlaying);
}

TEST_F(PlaybackTest, SpeakerPairsFallBackToTheFrontOnAStereoDevice) {
  const engine::Handle h = OpenTempo("sine44s.mp3", engine::kSpeakerRear);
  ASSERT_TRUE(engine::Play(h, false));
  const std::vector<float> out = Render(4410);
  EXPECT_NEAR(Rms(Channel(out, 0), 441), 0.5 / std::sqrt(2.0), 0.02);
}

TEST(EngineDevices, NoSoundIsAlwaysThereAndTheVersionPassesTheStartCheck) {
  EXPECT_STREQ(engine::DeviceName(0), "No sound");
  EXPECT_EQ(engine::DeviceName(-1), nullptr);
  EXPECT_TRUE(engine::DeviceInit(0, 44100, 0));
  EXPECT_TRUE(engine::DeviceInit(0, 44100, 0)) << "again: still ready";
  EXPECT_EQ(engine::SelectedDevice(), 0);
  EXPECT_FALSE(engine::DeviceSelect(-1));
  EXPECT_FALSE(engine::DeviceSelect(100000));
  EXPECT_FALSE(engine::DeviceInit(100000, 44100, 0));
  EXPECT_EQ(engine::SelectedDevice(), 0);
  // The program refuses anything below 2.3 (major in the low word).
  EXPECT_GE(static_cast<int32_t>(engine::Version()), 0x30002);
  EXPECT_TRUE(engine::SetOption(0x10103, 1));
  EXPECT_TRUE(engine::CloseWmaEncoder(0));
}

TEST(EngineDevices, FreeingADeviceFreesItsStreamsAndIsHarmlessTwice) {
  engine::SetManualClock(true);
  ASSERT_TRUE(engine::DeviceSelect(0));
  const engine::Handle dec = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  ASSERT_TRUE(engine::Play(h, false));
  Render(1024);
  EXPECT_TRUE(engine::DeviceFree());
  EXPECT_EQ(engine::Position(h), -1);
  EXPECT_EQ(engine::Position(dec), -1);
  EXPECT_TRUE(engine::DeviceFree());
  EXPECT_TRUE(engine::DeviceStop());
  // "No sound" stays usable for new streams.
  const engine::Handle again = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  EXPECT_NE(again, 0u);
  engine::FreeStream(again);
}
