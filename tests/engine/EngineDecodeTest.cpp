// Decode streams: every format through every creation call, exact lengths,
// sample-exact seeking, bad files and dead handles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "EngineTestUtil.h"
#include "TempDir.h"
#include "engine/Engine.h"

using namespace enginetest;

namespace {

struct FormatCase {
  const char* file;
  int rate;
  int channels;
  int64_t frames;     // the encoder's sample count
  int64_t tolerance;  // frames the decoded length may differ by
  double tone;        // Hz of the sine in the file, 0 for none
};

// MPEG audio with a LAME header, Vorbis and FLAC are exact; MP2 has no
// gapless information (whole frames of 1152) and WMA's length comes from
// its header, so both may differ by a frame.
const FormatCase kFormats[] = {
    {"sine44s.mp3", 44100, 2, 88200, 0, 440},
    {"sine22m.mp3", 22050, 1, 22050, 0, 500},
    {"sweep44m.mp3", 44100, 1, 88200, 0, 0},
    {"sine48s.mp2", 48000, 2, 72000, 2304, 1000},
    {"sine44s.ogg", 44100, 2, 88200, 0, 440},
    {"sine48s.ogg", 48000, 2, 72000, 0, 1000},
    {"sweep44m.flac", 44100, 1, 88200, 0, 0},
    {"sine48s.flac", 48000, 2, 72000, 0, 1000},
    {"sine44s.wma", 44100, 2, 88200, 4096, 440},
    {"sine22m.wma", 22050, 1, 22050, 4096, 500},
    {"sine22m.wav", 22050, 1, 22050, 0, 500},
};

using CreateFn = engine::Handle (*)(bool, const char*, uint64_t, uint64_t, uint32_t);
const CreateFn kCreators[] = {&engine::OpenFileStream, &engine::OpenFlacStream, &engine::OpenWmaStream};

}  // namespace

TEST(EngineDecode, EveryFormatOpensThroughEveryCreationCallWithItsLength) {
  for (const FormatCase& f : kFormats) {
    for (CreateFn create : kCreators) {
      SCOPED_TRACE(f.file);
      const engine::Handle h =
          create(false, Fixture(f.file).c_str(), 0, 0, engine::kDecode | engine::kPrescan | engine::kSpeakerFront);
      ASSERT_NE(h, 0u);
      const int64_t frameBytes = f.channels * 2;
      const int64_t length = engine::Length(h);
      EXPECT_NEAR(static_cast<double>(length), static_cast<double>(f.frames * frameBytes),
                  static_cast<double>(f.tolerance * frameBytes));
      EXPECT_EQ(length % frameBytes, 0);
      uint32_t freq = 0;
      ASSERT_TRUE(engine::GetAttributes(h, &freq, nullptr, nullptr));
      EXPECT_EQ(freq, static_cast<uint32_t>(f.rate));
      EXPECT_EQ(engine::Position(h), 0);
      EXPECT_EQ(engine::IsActive(h), engine::kPlaying);

      const std::vector<int16_t> all = ReadAll(h);
      // What is read is what the length promised (for exact formats to the
      // sample); the end is then reached and the position stands there.
      EXPECT_NEAR(static_cast<double>(all.size() * 2), static_cast<double>(length),
                  static_cast<double>(f.tolerance * frameBytes));
      EXPECT_EQ(engine::IsActive(h), engine::kStopped);
      EXPECT_EQ(engine::Position(h), static_cast<int64_t>(all.size() * 2));
      EXPECT_EQ(engine::Length(h), static_cast<int64_t>(all.size() * 2)) << "the length settles on the true end";

      if (f.tone > 0) {
        std::vector<float> left;
        int16_t peak = 0;
        for (size_t i = 0; i < all.size(); i += static_cast<size_t>(f.channels)) {
          left.push_back(all[i] / 32768.0f);
          peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(all[i])));
        }
        EXPECT_NEAR(Frequency(left, f.rate), f.tone, f.tone * 0.01);
        EXPECT_NEAR(peak, 16384, 1200);  // the sines are at half scale
      }
      EXPECT_NEAR(engine::BytesToSeconds(h, static_cast<uint64_t>(f.frames * frameBytes)),
                  static_cast<double>(f.frames) / f.rate, 1e-9);
      EXPECT_TRUE(engine::FreeStream(h));
    }
  }
}

TEST(EngineDecode, SeekThenReadGivesTheSameSamplesAsAStraightRead) {
  // MPEG audio and FLAC are sample-exact; so is Vorbis through vorbisfile.
  // After a seek, mpg123's synthesis filter adds in another order than on a
  // straight read, which may round a sample one step the other way (a sweep
  // one sample off would differ by hundreds of steps).
  const struct {
    const char* file;
    int channels;
    int steps;  // how far a sample may be off
  } files[] = {{"sweep44m.mp3", 1, 1}, {"sweep44m.flac", 1, 0}, {"sine44s.mp3", 2, 1}, {"sine48s.flac", 2, 0},
               {"sine44s.ogg", 2, 0}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.file);
    const engine::Handle h = engine::OpenFileStream(false, Fixture(f.file).c_str(), 0, 0, engine::kDecode);
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> all = ReadAll(h);
    const int64_t length = engine::Length(h);
    ASSERT_EQ(static_cast<int64_t>(all.size()) * 2, length);
    const int64_t frameBytes = 2 * f.channels;
    // The start, odd frames deep inside, one just before the end, and byte
    // positions off a frame boundary (rounded down to the frame).
    const int64_t positions[] = {0, frameBytes * 12345, frameBytes * 50001, length - frameBytes * 1000,
                                 frameBytes * 7777 + 1, frameBytes * 3 + frameBytes - 1};
    for (int64_t pos : positions) {
      SCOPED_TRACE(pos);
      ASSERT_TRUE(engine::Seek(h, static_cast<uint64_t>(pos)));
      const int64_t frame = pos / frameBytes;
      EXPECT_EQ(engine::Position(h), frame * frameBytes);
      std::vector<int16_t> got(2000);
      const int32_t n = engine::ReadData(h, got.data(), 4000);
      ASSERT_GT(n, 0);
      got.resize(static_cast<size_t>(n) / 2);
      const auto start = static_cast<size_t>(frame * f.channels);
      ASSERT_LE(start + got.size(), all.size());
      int worst = 0;
      for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(got[i] - all[start + i]));
      EXPECT_LE(worst, f.steps);
    }
    // Reading the last frames reaches the end at once.
    ASSERT_TRUE(engine::Seek(h, static_cast<uint64_t>(length - frameBytes * 10)));
    EXPECT_EQ(engine::IsActive(h), engine::kPlaying);
    std::vector<int16_t> tail(static_cast<size_t>(10 * f.channels));
    EXPECT_EQ(engine::ReadData(h, tail.data(), static_cast<uint32_t>(tail.size() * 2)), frameBytes * 10);
    EXPECT_EQ(engine::IsActive(h), engine::kStopped);
    // Beyond the end is refused and leaves the position alone.
    const int64_t before = engine::Position(h);
    EXPECT_FALSE(engine::Seek(h, static_cast<uint64_t>(length + frameBytes)));
    EXPECT_EQ(engine::Position(h), before);
    // The end itself is a valid place with nothing more to read.
    EXPECT_TRUE(engine::Seek(h, static_cast<uint64_t>(length)));
    std::vector<int16_t> none(16);
    EXPECT_EQ(engine::ReadData(h, none.data(), 32), -1);
    EXPECT_EQ(engine::IsActive(h), engine::kStopped);
    engine::FreeStream(h);
  }
}

TEST(EngineDecode, FilesThatCannotBeOpenedGiveNoHandle) {
  TempDir dir;
  const std::string empty = dir.file("empty.mp3");
  TempDir::Write(empty, std::string());
  // A truncated MPEG file: an ID3 header that promises more than is there.
  const std::string truncated = dir.file("truncated.mp3");
  TempDir::Write(truncated, std::string("ID3\x03\x00\x00\x00\x00\x10\x00" "abc", 13));
  // A FLAC signature with nothing after it.
  const std::string flacHead = dir.file("head.flac");
  TempDir::Write(flacHead, std::string("fLaC\x00\x00\x00\x22", 8));
  for (const std::string& path : {Fixture("notaudio.mp3"), Fixture("missing.ogg"), empty, truncated, flacHead,
                                  dir.path().string()}) {
    for (CreateFn create : kCreators) {
      SCOPED_TRACE(path);
      EXPECT_EQ(create(false, path.c_str(), 0, 0, engine::kDecode), 0u);
    }
  }
  // Opening from memory, a part of a file, or no path at all is not offered.
  EXPECT_EQ(engine::OpenFileStream(true, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode), 0u);
  EXPECT_EQ(engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 100, 0, engine::kDecode), 0u);
  EXPECT_EQ(engine::OpenFileStream(false, nullptr, 0, 0, engine::kDecode), 0u);
}

TEST(EngineDecode, TruncatedAndDamagedFilesNeverCrash) {
  // Each real file cut short and with a run of bytes overwritten in its
  // middle: whatever opens is read to its end, seeked and played through.
  engine::SetManualClock(true);
  engine::DeviceSelect(0);
  TempDir dir;
  for (const char* name : {"sine44s.mp3", "sine48s.mp2", "sine44s.ogg", "sweep44m.flac", "sine44s.wma"}) {
    const std::vector<unsigned char> whole = TempDir::Read(Fixture(name));
    ASSERT_GT(whole.size(), 4000u);
    std::vector<unsigned char> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 3));
    std::vector<unsigned char> damaged = whole;
    for (size_t i = whole.size() / 2; i < whole.size() / 2 + 700; ++i) damaged[i] = static_cast<unsigned char>(i * 37);
    std::vector<unsigned char> headOnly(whole.begin(), whole.begin() + 200);
    int variant = 0;
    for (const auto& bytes : {cut, damaged, headOnly}) {
      SCOPED_TRACE(testing::Message() << name << " variant " << variant);
      const std::string path = dir.file(std::to_string(variant++) + "-" + name);
      TempDir::Write(path, bytes);
      const engine::Handle h = engine::OpenFileStream(false, path.c_str(), 0, 0, engine::kDecode);
      if (h == 0) continue;  // refused: fine
      const std::vector<int16_t> all = ReadAll(h);
      // Once read to its end, the length is what the file really holds.
      EXPECT_EQ(static_cast<int64_t>(all.size() * 2), engine::Length(h));
      engine::Seek(h, static_cast<uint64_t>(engine::Length(h) / 2) & ~uint64_t{3});
      ReadAll(h);
      const engine::Handle t = engine::CreateTempoStream(h, engine::kFreeSource);
      ASSERT_NE(t, 0u);
      engine::Seek(t, 0);
      ASSERT_TRUE(engine::Play(t, false));
      for (int i = 0; i < 200 && engine::IsActive(t) == engine::kPlaying; ++i) Render(2048);
      EXPECT_EQ(engine::IsActive(t), engine::kStopped);
      EXPECT_EQ(engine::Position(t), engine::Length(t)) << "a song that ran out stands at its end";
      engine::FreeStream(t);
    }
  }
}

TEST(EngineDecode, CallsOnDeadHandlesFailQuietly) {
  const engine::Handle freed = engine::OpenFileStream(false, Fixture("sine22m.mp3").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(freed, 0u);
  ASSERT_TRUE(engine::FreeStream(freed));
  const engine::Handle next = engine::OpenFileStream(false, Fixture("sine22m.mp3").c_str(), 0, 0, engine::kDecode);
  EXPECT_GT(next, freed) << "handles are never reused";
  engine::FreeStream(next);

  for (engine::Handle h : {engine::Handle{0}, freed, engine::Handle{0xFFFFFFF0u}}) {
    SCOPED_TRACE(h);
    int16_t buf[8];
    uint32_t rec[8] = {};
    EXPECT_FALSE(engine::GetEffectParameters(h, 2, rec));
    EXPECT_FALSE(engine::SetEffectParameters(h, 2, rec));
    EXPECT_EQ(engine::Position(h), -1);
    EXPECT_EQ(engine::Length(h), -1);
    EXPECT_LT(engine::BytesToSeconds(h, 1000), 0.0);
    EXPECT_EQ(engine::SecondsToBytes(h, 1.0), -1);
    EXPECT_EQ(engine::Level(h), 0xFFFFFFFFu);
    EXPECT_EQ(engine::ReadData(h, buf, sizeof buf), -1);
    EXPECT_EQ(engine::IsActive(h), engine::kStopped);
    EXPECT_FALSE(engine::Seek(h, 0));
    EXPECT_FALSE(engine::Play(h, false));
    EXPECT_FALSE(engine::Pause(h));
    EXPECT_FALSE(engine::Stop(h));
    EXPECT_FALSE(engine::FreeStream(h));
    EXPECT_FALSE(engine::SetAttributes(h, -1, 50, -101));
    EXPECT_FALSE(engine::GetAttributes(h, nullptr, nullptr, nullptr));
    EXPECT_FALSE(engine::SetTempo(h, 5, -1, -100));
    EXPECT_EQ(engine::RateRatio(h), 0.0f);
    EXPECT_EQ(engine::CreateTempoStream(h, engine::kFreeSource), 0u);
    EXPECT_FALSE(engine::AddEffect(h, 0, 1));
    EXPECT_FALSE(engine::RemoveEffect(h, 0));
    EXPECT_EQ(engine::BpmOfSpan(h, 0, 30, 0, 3), 0.0f);
    EXPECT_EQ(engine::TranslateBpm(h, 100, engine::kPercentToBpm), 0.0f);
    EXPECT_FALSE(engine::FreeBpm(h));
  }
}

TEST(EngineDecode, BytesAndSecondsConvertAtTheFilesOwnRate) {
  const engine::Handle h = engine::OpenFileStream(false, Fixture("sine48s.flac").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(h, 0u);
  // 48 kHz stereo 16-bit: 192000 bytes a second.
  EXPECT_DOUBLE_EQ(engine::BytesToSeconds(h, 192000), 1.0);
  EXPECT_DOUBLE_EQ(engine::BytesToSeconds(h, 96000), 0.5);
  EXPECT_EQ(engine::SecondsToBytes(h, 1.5), 288000);
  EXPECT_EQ(engine::SecondsToBytes(h, 0.1f), 19200) << "a single-precision 0.1 still maps to its frame";
  EXPECT_EQ(engine::SecondsToBytes(h, 1.0 / 48000 * 0.5), 0) << "whole frames only";
  EXPECT_EQ(engine::SecondsToBytes(h, -1), -1);
  engine::FreeStream(h);
}
