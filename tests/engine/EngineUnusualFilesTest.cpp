// Songs a real collection holds that are unusual but valid (hi-res rates,
// many channels, a format that changes midway, 8 kHz MPEG 2.5, ten hours
// long) play at their true speed and pitch, measured on the output of the
// manual clock; files that cannot be played (not a regular file, empty,
// headers that make no sense) are refused at once with the reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "EngineTestUtil.h"
#include "TempDir.h"
#include "engine/Engine.h"
#include "engine/EngineCore.h"

using namespace enginetest;

namespace {

std::string Unusual(const std::string& name) { return std::string(DJVP_TEST_FIXTURES) + "/unusual/" + name; }
std::string Damaged(const std::string& name) { return std::string(DJVP_TEST_FIXTURES) + "/damaged/" + name; }

struct Played {
  std::vector<float> out;  // stereo, from the start of the play
  size_t heardFrames = 0;  // output frames until the stream stopped
};

// Plays tempo stream h on the manual clock until it stops (at most
// `limitSeconds` of output).
Played PlayToEnd(engine::Handle h, double limitSeconds) {
  Played p;
  EXPECT_TRUE(engine::Play(h, false));
  const auto limit = static_cast<size_t>(limitSeconds * 44100);
  while (p.out.size() / 2 < limit && engine::IsActive(h) != engine::kStopped) {
    const std::vector<float> block = Render(1024);
    p.out.insert(p.out.end(), block.begin(), block.end());
    if (engine::IsActive(h) != engine::kStopped) p.heardFrames += 1024;
  }
  return p;
}

// The frequency of one channel over output seconds [from, to).
double FrequencyIn(const Played& p, int channel, double from, double to) {
  const std::vector<float> ch = Channel(p.out, channel);
  const auto a = std::min(ch.size(), static_cast<size_t>(from * 44100));
  const auto b = std::min(ch.size(), static_cast<size_t>(to * 44100));
  return Frequency(std::vector<float>(ch.begin() + static_cast<std::ptrdiff_t>(a), ch.begin() + static_cast<std::ptrdiff_t>(b)),
                   44100);
}

class UnusualFilesTest : public ManualClockTest {
 protected:
  engine::Handle OpenUnusual(const std::string& path) {
    const engine::Handle dec = engine::OpenFileStream(false, path.c_str(), 0, 0, engine::kDecode);
    EXPECT_NE(dec, 0u) << path << " refused with " << engine::LastStreamError().code;
    const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
    EXPECT_NE(h, 0u) << path;
    opened_.push_back(h);
    return h;
  }
};

}  // namespace

TEST_F(UnusualFilesTest, UnusualValidSongsPlayAtTheirTrueSpeedAndPitch) {
  struct Case {
    const char* file;
    int rate;  // the stream's own rate: the file's, or the hi-res file's halved
    // How long the decoded song lasts: the encoders' frames, each part at its
    // own rate (AAC: 1024 samples a frame, MP3 1152 or 576, without an
    // encoder's header the frames that hold its delay count too).
    double seconds;
    // How far the length may be off before the end has been read, once the
    // engine's scan of the file has run (a length that only the header
    // estimates).
    double estimate;
    // Output seconds in which to measure the 1 kHz tone: a window in each
    // part of a file that changes midway.
    std::vector<std::pair<double, double>> windows;
  };
  const Case cases[] = {
      {"hires352.flac", 176400, 0.06, 0, {{0.005, 0.055}}},
      {"hires384.flac", 192000, 0.06, 0, {{0.005, 0.055}}},
      {"ch20.ogg", 44100, 0.3, 0, {{0.02, 0.28}}},
      // 23 stereo and 23 mono frames at 44.1 kHz.
      {"stereo_mono.aac", 44100, 46 * 1024 / 44100.0, 0.05, {{0.1, 0.45}, {0.6, 1.0}}},
      // 23 frames at 44.1 kHz, 12 at 22.05 kHz.
      {"rate_change.aac", 44100, 23 * 1024 / 44100.0 + 12 * 1024 / 22050.0, 0.05, {{0.1, 0.45}, {0.65, 1.05}}},
      // 21 frames of 1152 at 44.1 kHz, 22 of 576 at 22.05 kHz: the scan
      // counts each part at its own rate.
      {"rate_change.mp3", 44100, 21 * 1152 / 44100.0 + 22 * 576 / 22050.0, 0, {{0.1, 0.45}, {0.65, 1.05}}},
      // The same with the encoders' header frames: the first one counts
      // only its own part (0.5 s); then 22 frames of 576 at 22.05 kHz (the
      // second header frame, which plays as silence, among them).
      {"rate_change_info.mp3", 44100, 0.5 + 22 * 576 / 22050.0, 0, {{0.1, 0.45}, {0.65, 1.05}}},
      // 9 frames of 576 (no room for an encoder's header at 8 kbit/s).
      {"mpeg25_8k.mp3", 8000, 9 * 576 / 8000.0, 0, {{0.1, 0.5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const engine::Handle h = OpenUnusual(Unusual(c.file));
    ASSERT_NE(h, 0u);
    engine::WaitForBackgroundWork();
    EXPECT_EQ(engine::FileRate(h), static_cast<uint32_t>(c.rate));
    // The length and every position count in the stream's own rate.
    EXPECT_NEAR(engine::BytesToSeconds(h, static_cast<uint64_t>(engine::Length(h))), c.seconds, c.estimate + 0.001);
    const Played p = PlayToEnd(h, c.seconds + 1.0);
    EXPECT_NEAR(static_cast<double>(p.heardFrames) / 44100, c.seconds, 1024.0 / 44100) << "played at the wrong speed";
    EXPECT_EQ(engine::Position(h), engine::Length(h)) << "the end is where the length says";
    EXPECT_NEAR(engine::BytesToSeconds(h, static_cast<uint64_t>(engine::Length(h))), c.seconds, 0.001);
    for (const auto& [from, to] : c.windows) {
      SCOPED_TRACE(from);
      EXPECT_NEAR(FrequencyIn(p, 0, from, to), 1000.0, 10.0) << "wrong pitch on the left";
      EXPECT_NEAR(FrequencyIn(p, 1, from, to), 1000.0, 10.0) << "wrong pitch on the right";
      EXPECT_GT(Rms(Channel(p.out, 1), static_cast<size_t>(from * 44100), static_cast<size_t>(to * 44100)), 0.05);
    }
  }
}

TEST_F(UnusualFilesTest, TheLowestRatePlayedPlaysAtItsSpeed) {
  // 1000 Hz, a 250 Hz sine for half a second.
  const engine::Handle h = OpenUnusual(Unusual("rate1000.flac"));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(engine::FileRate(h), 1000u);
  ASSERT_TRUE(engine::Play(h, false));
  const std::vector<float> out = Render(11025);
  EXPECT_NEAR(engine::BytesToSeconds(h, static_cast<uint64_t>(engine::Position(h))), 0.25, 0.03);
  EXPECT_NEAR(Frequency(Channel(out, 0), 44100), 250.0, 5.0);
  // The time-stretcher's last block (of silence) may follow the end.
  const Played p = PlayToEnd(h, 2.0);
  EXPECT_NEAR(0.25 + static_cast<double>(p.heardFrames) / 44100, 0.5, 0.1);
  EXPECT_EQ(engine::Position(h), engine::Length(h));
}

TEST_F(UnusualFilesTest, ATenHourMp3OpensAtOnceAndPlaysItsEndAtTheTrueSpeed) {
  // Ten hours of silence and a second of tone at 8 kHz, 72-byte frames of
  // 576 samples that stand alone (no header frame, no bit reservoir).
  constexpr size_t kFrameBytes = 72;
  const std::vector<unsigned char> quiet = TempDir::Read(Unusual("silence8k.mp3"));
  const std::vector<unsigned char> tone = TempDir::Read(Unusual("tone8k.mp3"));
  ASSERT_GE(quiet.size(), 4 * kFrameBytes);
  const size_t frames = 10 * 3600 * 8000 / 576;  // 500,000
  TempDir dir;
  const std::string path = dir.file("ten hours.mp3");
  {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> block;
    for (size_t i = 0; i < 1000; ++i)
      block.insert(block.end(), quiet.begin() + 3 * kFrameBytes, quiet.begin() + 4 * kFrameBytes);
    for (size_t i = 0; i < frames / 1000; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
    out.write(reinterpret_cast<const char*>(tone.data()), static_cast<std::streamsize>(tone.size()));
  }
  const double total = 10 * 3600.0 + static_cast<double>(tone.size() / kFrameBytes * 576) / 8000;

  const engine::Handle h = OpenUnusual(path);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(engine::FileRate(h), 8000u);
  // The header gives no length: the estimate from the file's size (until the
  // engine's scan has ended or the end has been read, which make it exact).
  EXPECT_NEAR(engine::BytesToSeconds(h, static_cast<uint64_t>(engine::Length(h))), total, 1.0);

  // The last 0.8 s: the tone (after the encoder's delay at its start).
  ASSERT_TRUE(engine::Seek(h, engine::SecondsToBytes(h, total - 0.8)));
  EXPECT_NEAR(engine::BytesToSeconds(h, static_cast<uint64_t>(engine::Position(h))), total - 0.8, 0.001);
  const Played p = PlayToEnd(h, 2.0);
  EXPECT_NEAR(static_cast<double>(p.heardFrames) / 44100, 0.8, 0.03);
  EXPECT_NEAR(FrequencyIn(p, 0, 0.2, 0.7), 1000.0, 10.0);
  EXPECT_EQ(engine::Position(h), engine::Length(h));
  EXPECT_EQ(engine::Length(h), static_cast<int64_t>(total * 8000) * 2);
}

TEST(EngineUnusualLengths, APrescanCountsWhatTheHeaderOnlyGuessesAndSeeksReachTheEnd) {
  // Raw AAC has no length but the one guessed from its bit rate; a scan
  // counts its frames, each at its own rate. In a file that changes its
  // rate, a seek near the end lands near it and reads on.
  engine::DeviceSelect(0);
  const struct {
    const char* file;
    int64_t frames;  // at the stream's 44.1 kHz
  } cases[] = {{"stereo_mono.aac", 46 * 1024},
               {"rate_change.aac", 23 * 1024 + 12 * 1024 * 2},
               {"rate_change.mp3", 21 * 1152 + 22 * 576 * 2},
               {"rate_change_info.mp3", 22050 + 22 * 576 * 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const engine::Handle h =
        engine::OpenFileStream(false, Unusual(c.file).c_str(), 0, 0, engine::kDecode | engine::kPrescan);
    ASSERT_NE(h, 0u);
    const int64_t length = engine::Length(h);
    if (c.frames > 0) {
      EXPECT_EQ(length, c.frames * 4);
    }
    ASSERT_TRUE(engine::Seek(h, static_cast<uint64_t>(length - 4 * 4410)));
    std::vector<int16_t> block(2 * 2205);
    EXPECT_EQ(engine::ReadData(h, block.data(), static_cast<uint32_t>(block.size() * 2)), 2205 * 4);
    engine::FreeStream(h);
  }
}

TEST(EngineRefusals, WhatCannotBePlayedIsRefusedAtOnceWithTheReason) {
  engine::DeviceSelect(0);
  TempDir dir;
  const std::string fifo = dir.file("song.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string empty = dir.file("empty.mp3");
  TempDir::Write(empty, std::string());
  const std::string folder = dir.file("album.flac");
  std::filesystem::create_directory(folder);
  struct Case {
    std::string path;
    int32_t code;
    int64_t detail;
  } const cases[] = {
      {dir.file("missing.mp3"), engine::kErrFileOpen, ENOENT},
      // Neither a FIFO without a writer nor a device is waited on.
      {fifo, engine::kErrNotFile, 0},
      {"/dev/zero", engine::kErrNotFile, 0},
      {folder, engine::kErrNotFile, 0},
      {empty, engine::kErrEmpty, 0},
      {Fixture("notaudio.mp3"), engine::kErrFormat, 0},
      {Unusual("rate8.flac"), engine::kErrRate, 8},
      {Unusual("rate2g.ogg"), engine::kErrRate, int64_t{1} << 31},
      {Unusual("granule.ogg"), engine::kErrLength, -1},
      // Its header frame, then half a frame cut short by junk.
      {Damaged("nothing.mp3"), engine::kErrFormat, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    for (uint32_t flags : {engine::kDecode, 0u, engine::kDecode | engine::kPrescan}) {
      EXPECT_EQ(engine::OpenFileStream(false, c.path.c_str(), 0, 0, flags), 0u);
      const engine::StreamError e = engine::LastStreamError();
      EXPECT_EQ(e.code, c.code);
      if (c.detail >= 0) {
        EXPECT_EQ(e.detail, c.detail);
      }
    }
  }
  // A success clears the reason.
  const engine::Handle h = engine::OpenFileStream(false, Fixture("sine44s.ogg").c_str(), 0, 0, engine::kDecode);
  EXPECT_NE(h, 0u);
  EXPECT_EQ(engine::LastStreamError().code, engine::kErrOk);
  engine::FreeStream(h);
}

TEST(EngineRefusals, AFileWhoseLengthNoCounterHoldsIsNeverConvertedPastItsEnd) {
  // Seconds far beyond any song give no byte position rather than one that
  // overflowed.
  engine::DeviceSelect(0);
  const engine::Handle h = engine::OpenFileStream(false, Fixture("sine44s.ogg").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(h, 0u);
  for (double seconds : {1e12, 1e300}) EXPECT_EQ(engine::SecondsToBytes(h, seconds), -1) << seconds;
  EXPECT_EQ(engine::SecondsToBytes(h, 1.0), 44100 * 4);
  engine::FreeStream(h);
}

TEST(EnginePacing, ADeviceWithoutAClockIsPacedAndASoundCardNever) {
  using engine::core::Pacer;
  constexpr int kRate = 44100;
  constexpr uint64_t kBlock = 1024;
  constexpr int64_t kBlockNs = 1'000'000'000LL * kBlock / kRate;
  struct Case {
    const char* what;
    // Nanoseconds between two calls of the callback, by call number.
    int64_t (*gap)(int call);
    bool paced;
  } const cases[] = {
      {"a sound card", [](int) { return kBlockNs; }, false},
      {"a sound card filling a second of buffer first",
       [](int call) { return call < 43 ? int64_t{20'000} : kBlockNs; }, false},
      {"a sound card whose clock runs 0.05 % fast", [](int) { return kBlockNs * 9995 / 10000; }, false},
      {"a sound card asking for blocks in pairs", [](int call) { return call % 2 ? int64_t{10'000} : 2 * kBlockNs; },
       false},
      {"ALSA's null device", [](int) { return int64_t{15'000}; }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Pacer pacer;
    int64_t now = 1'000'000'000;
    int64_t waited = 0;
    const int calls = 20 * kRate / static_cast<int>(kBlock);  // 20 s of sound
    for (int call = 0; call < calls; ++call) {
      now += c.gap(call);
      const int64_t wait = pacer.Step(kBlock, now, kRate);
      EXPECT_GE(wait, 0);
      now += wait;
      waited += wait;
    }
    EXPECT_EQ(pacer.paced(), c.paced);
    if (c.paced) {
      // Found out within two seconds of sound, then held to the real pace.
      const int64_t soundNs = 1'000'000'000LL * calls * static_cast<int64_t>(kBlock) / kRate;
      EXPECT_GT(now - 1'000'000'000, soundNs - 2'000'000'000);
      EXPECT_LE(now - 1'000'000'000, soundNs + kBlockNs);
    } else {
      EXPECT_EQ(waited, 0);
    }
  }
}
