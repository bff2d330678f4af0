// Damaged songs play through what is left of them: an MP3 goes on after a
// stretch of junk of any length, without the noise a decoder makes of the
// junk, and its length becomes what plays; a FLAC file whose stream
// information gives a wrong count of samples, or none, has the length of
// its frames and seeks exactly. Sample formats and layouts that FFmpeg
// hands over are read at their scale and in their channel order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "EngineTestUtil.h"
#include "engine/Decoder.h"
#include "engine/Engine.h"

using namespace enginetest;

namespace {

std::string Damaged(const std::string& name) { return std::string(DJVP_TEST_FIXTURES) + "/damaged/" + name; }
std::string Unusual(const std::string& name) { return std::string(DJVP_TEST_FIXTURES) + "/unusual/" + name; }

// One channel of interleaved 16-bit samples as floats, over frames [from, to).
std::vector<float> Part(const std::vector<int16_t>& all, int channels, int channel, size_t from, size_t to) {
  std::vector<float> out;
  for (size_t f = from; f < to && f * static_cast<size_t>(channels) < all.size(); ++f)
    out.push_back(all[f * static_cast<size_t>(channels) + static_cast<size_t>(channel)] / 32768.0f);
  return out;
}

int Peak(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (int16_t v : samples) peak = std::max(peak, std::abs(static_cast<int>(v)));
  return peak;
}

// Reads `frames` frames (or what is left) of decode stream h.
std::vector<int16_t> ReadFrames(engine::Handle h, int channels, size_t frames) {
  std::vector<int16_t> out(frames * static_cast<size_t>(channels));
  const int32_t got = engine::ReadData(h, out.data(), static_cast<uint32_t>(out.size() * 2));
  out.resize(got > 0 ? static_cast<size_t>(got) / 2 : 0);
  return out;
}

}  // namespace

TEST(EngineDamagedFiles, AnMp3PlaysOnPastDamagedStretchesOfAnyLength) {
  engine::DeviceSelect(0);
  constexpr int kRate = 44100;
  // 3 s of a 440 Hz sine at half scale, 44.1 kHz stereo, 64 kbit/s, whose
  // header frame counts 3 s. Junk put in costs the frame it cuts, the few
  // after it whose sound data reaches back into the junk and the two that
  // carry their sound on (26 ms each, six at most at this rate); junk
  // written over the data costs what it covers besides.
  const struct {
    const char* file;
    double seconds;
  } cases[] = {
      {"sine.mp3", 3.0},
      {"junk4k.mp3", 3.0},       // 4 KB of junk 8 KB in
      {"junk64k.mp3", 3.0},      // 64 KB of junk 12 KB in: more than the song itself
      {"overwritten.mp3", 3.0 - 3072 * 8 / 64000.0},  // 3 KB written over
  };
  for (const auto& c : cases) {
    // With the engine's scan of the whole file before playing, and without
    // it (reading finds the damage).
    for (uint32_t flags : {engine::kDecode | engine::kPrescan, engine::kDecode}) {
      SCOPED_TRACE(testing::Message() << c.file << " flags " << flags);
      const engine::Handle h = engine::OpenFileStream(false, Damaged(c.file).c_str(), 0, 0, flags);
      ASSERT_NE(h, 0u);
      const double measured = engine::BytesToSeconds(h, static_cast<uint64_t>(engine::Length(h)));
      const std::vector<int16_t> all = ReadAll(h);
      const double played = static_cast<double>(all.size() / 2) / kRate;
      EXPECT_NEAR(played, c.seconds, 0.17);
      if (flags & engine::kPrescan) {
        EXPECT_NEAR(measured, played, 0.03) << "the scan measures what plays";
      }
      EXPECT_EQ(engine::Length(h), static_cast<int64_t>(all.size() * 2)) << "the end read is the length";
      // Nothing but the tone: no noise made of the junk, the tone to the end.
      EXPECT_LE(Peak(all), 17500);
      const size_t frames = all.size() / 2;
      const std::vector<float> last = Part(all, 2, 1, frames - kRate, frames);
      EXPECT_NEAR(Frequency(last, kRate), 440.0, 2.0);
      EXPECT_GT(Rms(last), 0.3) << "the last second sounds";
      // A seek past the damage lands on the tone, where it says.
      const int64_t at = engine::SecondsToBytes(h, 2.0);
      ASSERT_TRUE(engine::Seek(h, static_cast<uint64_t>(at)));
      EXPECT_EQ(engine::Position(h), at);
      const std::vector<int16_t> after = ReadFrames(h, 2, kRate / 2);
      EXPECT_GT(Rms(Part(after, 2, 0, 0, after.size() / 2)), 0.3);
      EXPECT_LE(Peak(after), 17500);
      engine::FreeStream(h);
    }
  }
}

TEST(EngineDamagedFiles, TheAnalysisDecoderReadsADamagedMp3ToItsEnd) {
  // Tempo detection reads an MP3 mono at half its rate. Some false frames
  // that the search finds in junk have a rate mpg123 cannot halve; they must
  // not end the song there.
  for (const char* name : {"junk4k.mp3", "junk64k.mp3", "overwritten.mp3"}) {
    SCOPED_TRACE(name);
    const auto full = engine::OpenDecoder(Damaged(name));
    const auto half = engine::OpenAnalysisDecoder(Damaged(name));
    ASSERT_TRUE(full && half);
    EXPECT_EQ(half->rate(), 22050);
    EXPECT_EQ(half->channels(), 1);
    std::vector<float> block(8192 * 2);
    auto seconds = [&block](engine::Decoder& d) {
      int64_t frames = 0;
      for (int64_t n; (n = d.Read(block.data(), 8192)) > 0;) frames += n;
      return static_cast<double>(frames) / d.rate();
    };
    EXPECT_NEAR(seconds(*half), seconds(*full), 0.03);
  }
}

TEST(EngineDamagedFiles, AFlacWhoseCountIsWrongOrMissingHasTheLengthOfItsFrames) {
  engine::DeviceSelect(0);
  // 2 s of a 1 kHz sine, 8 kHz mono (16000 samples in 4 frames); the stream
  // information says 3,930,588,900 samples, 4000, or nothing.
  constexpr int64_t kFrames = 16000;
  const engine::Handle clean = engine::OpenFileStream(false, Damaged("count_none.flac").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(clean, 0u);
  const std::vector<int16_t> reference = ReadAll(clean);
  engine::FreeStream(clean);
  ASSERT_EQ(static_cast<int64_t>(reference.size()), kFrames);
  for (const char* name : {"count_huge.flac", "count_short.flac", "count_none.flac"}) {
    SCOPED_TRACE(name);
    const engine::Handle h = engine::OpenFlacStream(false, Damaged(name).c_str(), 0, 0, engine::kDecode);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(engine::Length(h), kFrames * 2) << "known when the file opens";
    // Seeks land on their sample, forward and back, past what the count
    // says and before it.
    for (int64_t frame : {int64_t{12345}, int64_t{3000}, int64_t{15990}, int64_t{0}, int64_t{8191}}) {
      SCOPED_TRACE(frame);
      ASSERT_TRUE(engine::Seek(h, static_cast<uint64_t>(frame * 2)));
      EXPECT_EQ(engine::Position(h), frame * 2);
      const std::vector<int16_t> got = ReadFrames(h, 1, 8);
      ASSERT_EQ(got.size(), 8u);
      EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin() + frame));
    }
    ASSERT_TRUE(engine::Seek(h, 0));
    EXPECT_EQ(ReadAll(h), reference);
    EXPECT_EQ(engine::Length(h), kFrames * 2);
    engine::FreeStream(h);
  }
}

TEST(EngineDamagedFiles, EverySampleFormatFfmpegGivesIsReadAtItsScaleAndInItsChannelOrder) {
  engine::DeviceSelect(0);
  // 0.1 s at 8 kHz: 1 kHz on the left, 1.5 kHz on the right. The 16-bit WAV
  // is the reference; the others hold the same samples in another format
  // (the 8-bit one to within its step).
  const engine::Handle ref = engine::OpenFileStream(false, Unusual("fmt_s16.wav").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(ref, 0u);
  const std::vector<int16_t> reference = ReadAll(ref);
  engine::FreeStream(ref);
  ASSERT_EQ(reference.size(), 1600u);
  EXPECT_NEAR(Frequency(Part(reference, 2, 0, 0, 800), 8000), 1000.0, 10.0);
  EXPECT_NEAR(Frequency(Part(reference, 2, 1, 0, 800), 8000), 1500.0, 15.0);
  const struct {
    const char* file;
    int steps;  // how far a sample may be off
  } cases[] = {
      {"fmt_u8.wav", 256},  {"fmt_s24.wav", 0}, {"fmt_s32.wav", 0},  {"fmt_s64.wav", 0},
      {"fmt_f32.wav", 0},   {"fmt_f64.wav", 0}, {"fmt_s16p.m4a", 0}, {"fmt_s32p.m4a", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const engine::Handle h = engine::OpenFileStream(false, Unusual(c.file).c_str(), 0, 0, engine::kDecode);
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> all = ReadAll(h);
    ASSERT_EQ(all.size(), reference.size());
    int worst = 0;
    for (size_t i = 0; i < all.size(); ++i) worst = std::max(worst, std::abs(all[i] - reference[i]));
    EXPECT_LE(worst, c.steps);
    // From the middle of a frame after a seek.
    ASSERT_TRUE(engine::Seek(h, 333 * 4));
    const std::vector<int16_t> part = ReadFrames(h, 2, 100);
    ASSERT_EQ(part.size(), 200u);
    worst = 0;
    for (size_t i = 0; i < part.size(); ++i) worst = std::max(worst, std::abs(part[i] - reference[666 + i]));
    EXPECT_LE(worst, c.steps);
    engine::FreeStream(h);
  }
  // Six channels (5.1) mixed down to two: each side keeps its own tone.
  const engine::Handle six = engine::OpenFileStream(false, Unusual("fmt_ch6.wav").c_str(), 0, 0, engine::kDecode);
  ASSERT_NE(six, 0u);
  const std::vector<int16_t> mixed = ReadAll(six);
  engine::FreeStream(six);
  ASSERT_EQ(mixed.size(), 1600u);
  EXPECT_NEAR(Frequency(Part(mixed, 2, 0, 0, 800), 8000), 1000.0, 10.0);
  EXPECT_NEAR(Frequency(Part(mixed, 2, 1, 0, 800), 8000), 1500.0, 15.0);
  EXPECT_GT(Rms(Part(mixed, 2, 0, 0, 800)), 0.15);
  EXPECT_GT(Rms(Part(mixed, 2, 1, 0, 800)), 0.15);
}
