// The WAV reader: sox and ffmpeg files checked against mutagen, and built
// headers for the refusals and the duration's fallbacks.
#include "RunCommand.h"
#include "Bytes.h"
#include "MemberTable.h"
#include "Module.h"
#include "SonavexCtrl.h"
#include "TempDir.h"
#include "WAV.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace sonavex;

namespace {

const std::string kDir = std::string(DJVP_TEST_FIXTURES) + "/wav/";


bool ReadFile(CWAV& wav, const std::string& path, int32_t id3v2Size = 0) {
  wav.State().fileSize = static_cast<int32_t>(TempDir::Read(path).size());
  wav.State().id3v2Size = id3v2Size;
  TagFile f;
  EXPECT_TRUE(f.Open(path, TagFile::Mode::Read)) << path;
  return wav.Read(f);
}

// A RIFF/WAVE header: fmt chunk of fmtSize bytes, then the given chunks.
std::vector<unsigned char> Wave(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t blockAlign,
                                uint32_t bytesPerSecond, const std::vector<std::pair<std::string, uint32_t>>& chunks,
                                uint32_t fmtSize = 16) {
  std::vector<unsigned char> b(20 + fmtSize, 0);
  std::memcpy(b.data(), "RIFF", 4);
  std::memcpy(b.data() + 8, "WAVEfmt ", 8);
  bytes::PutLE32(b.data() + 16, fmtSize);
  bytes::PutLE16(b.data() + 20, 1);
  bytes::PutLE16(b.data() + 22, channels);
  bytes::PutLE32(b.data() + 24, rate);
  bytes::PutLE32(b.data() + 28, bytesPerSecond);
  bytes::PutLE16(b.data() + 32, blockAlign);
  bytes::PutLE16(b.data() + 34, bits);
  for (const auto& [id, size] : chunks) {
    const size_t at = b.size();
    b.resize(at + 8);
    std::memcpy(b.data() + at, id.data(), 4);
    bytes::PutLE32(b.data() + at + 4, size);
    // Contents only for the chunks before the data chunk.
    if (id != "data") b.resize(b.size() + size + (size & 1), 'x');
  }
  bytes::PutLE32(b.data() + 4, static_cast<uint32_t>(b.size() - 8));
  return b;
}

int32_t CallInt(CSonavexCtrl& c, int32_t dispid) {
  for (int i = 0; i < kMemberCount; ++i) {
    if (kMembers[i].info.dispid != dispid) continue;
    AutoVariant r{};
    EXPECT_EQ(kMembers[i].call(&c, nullptr, 0, &r), 0);
    EXPECT_EQ(r.vt, AUTO_VT_I4);
    return r.u.i4;
  }
  ADD_FAILURE() << "no member " << dispid;
  return -1;
}

class WavReader : public ::testing::Test {
 protected:

};

}  // namespace

// sox and ffmpeg files agree with mutagen; the ffmpeg file has a LIST chunk
// and the 24-bit one an extensible fmt chunk and a fact chunk before the
// data, so their durations come from the data chunk all the same.
TEST_F(WavReader, FixturesMatchMutagen) {
  struct Case {
    const char* file;
    int blockAlign;
    const char16_t* mode;
  } cases[] = {
      {"mono_8bit.wav", 1, u"Mono"},
      {"stereo_16bit.wav", 4, u"Stereo"},
      {"stereo_24bit.wav", 6, u"Stereo"},
      {"list_chunk.wav", 4, u"Stereo"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = kDir + c.file;
    CWAV wav;
    ASSERT_TRUE(ReadFile(wav, path));
    std::istringstream m(RunCommand("/usr/bin/python3 -c \"import sys, mutagen.wave as w; i = w.WAVE(sys.argv[1]).info; "
                                    "print(i.channels, i.sample_rate, i.bits_per_sample, i.bitrate, repr(i.length))\" '" +
                                    path + "'"));
    int channels = -1, rate = -1, bits = -1, bitrate = -1;
    double length = -1;
    m >> channels >> rate >> bits >> bitrate >> length;
    EXPECT_TRUE(wav.IsValid());
    EXPECT_EQ(wav.GetChannels(), channels);
    EXPECT_EQ(wav.GetChannelMode(), c.mode);
    EXPECT_EQ(wav.GetSampleRate(), rate);
    EXPECT_EQ(wav.GetBitsPerSample(), bits);
    EXPECT_EQ(wav.GetBlockAlign(), c.blockAlign);
    EXPECT_EQ(wav.GetBytesPerSecond() * 8, bitrate);
    EXPECT_EQ(wav.GetBitrate(), bitrate / 1000);
    EXPECT_EQ(wav.GetHeaderSize(), 44);
    EXPECT_NEAR(wav.GetDuration(), length, 1e-6);
    EXPECT_EQ(wav.GetVersion(), u"");
  }
}

TEST_F(WavReader, CanonicalStereoFigures) {
  CWAV wav;
  ASSERT_TRUE(ReadFile(wav, kDir + "stereo_16bit.wav"));
  EXPECT_EQ(wav.GetBitrate(), 1411);
  EXPECT_EQ(wav.GetBlockAlign(), 4);
  EXPECT_EQ(wav.GetSamples(), 4410);
  EXPECT_FLOAT_EQ(wav.GetDuration(), 4410.0f / 44100.0f);
}

// Only RIFF/WAVE files with a fmt chunk and one or two channels are taken;
// a refused file leaves the object cleared.
TEST_F(WavReader, RefusedFiles) {
  TempDir dir;
  auto notRiff = Wave(2, 44100, 16, 4, 176400, {{"data", 0}});
  std::memcpy(notRiff.data(), "RIFX", 4);
  auto noFmt = Wave(2, 44100, 16, 4, 176400, {{"data", 0}});
  std::memcpy(noFmt.data() + 12, "junk", 4);
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
  } cases[] = {
      {"six channels", TempDir::Read(kDir + "six_channels.wav")},
      {"no channels", Wave(0, 44100, 16, 4, 176400, {{"data", 0}})},
      {"not RIFF", notRiff},
      {"no fmt chunk", noFmt},
      {"cut in the magic", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("x.wav");
    TempDir::Write(path, c.bytes);
    CWAV wav;
    ASSERT_TRUE(ReadFile(wav, kDir + "stereo_16bit.wav"));
    EXPECT_FALSE(ReadFile(wav, path));
    EXPECT_FALSE(wav.IsValid());
    EXPECT_EQ(wav.GetChannels(), 0);
    EXPECT_EQ(wav.GetChannelMode(), u"Unknown");
    EXPECT_EQ(wav.GetSampleRate(), 0);
    EXPECT_EQ(wav.GetBitrate(), 0);
    EXPECT_EQ(wav.GetHeaderSize(), 0);
    EXPECT_EQ(wav.GetDuration(), 0.0f);
  }
}

// The duration: samples / rate when the data chunk holds whole samples,
// else the bytes after the header at the byte rate, else 0.
TEST_F(WavReader, DurationFallbacks) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    int64_t samples;
    double duration;  // for the file padded to 1044 bytes
  } cases[] = {
      {"declared data", Wave(2, 44100, 16, 4, 176400, {{"data", 176400}}), 44100, 1.0},
      {"data smaller than a block", Wave(2, 44100, 16, 4, 176400, {{"data", 3}}), 0, 1000.0 / 176400},
      {"block align 0", Wave(2, 44100, 16, 0, 176400, {{"data", 176400}}), 0, 1000.0 / 176400},
      {"no data chunk", Wave(1, 8000, 8, 1, 8000, {{"LIST", 10}}), 0, 1000.0 / 8000},
      {"chunks before the data", Wave(1, 8000, 8, 1, 8000, {{"LIST", 25}, {"fact", 4}, {"data", 4000}}), 4000, 0.5},
      {"extensible fmt", Wave(2, 48000, 24, 6, 288000, {{"data", 28800}}, 40), 4800, 0.1},
      {"no rates", Wave(1, 0, 8, 1, 0, {{"data", 3}}), 3, 0.0},
      {"no byte rate and no samples", Wave(1, 8000, 8, 0, 0, {{"data", 3}}), 0, 0.0},
  };
  TempDir dir;
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.bytes.resize(1044, 0x80);
    const std::string path = dir.file("x.wav");
    TempDir::Write(path, c.bytes);
    CWAV wav;
    ASSERT_TRUE(ReadFile(wav, path));
    EXPECT_EQ(wav.GetSamples(), c.samples);
    EXPECT_NEAR(wav.GetDuration(), c.duration, 1e-6);
    EXPECT_EQ(wav.GetHeaderSize(), 44);
  }
}

// The header may follow an ID3v2 tag; a file shorter than the canonical
// header reports its own length as the header size.
TEST_F(WavReader, OffsetAndShortHeader) {
  TempDir dir;
  const std::string path = dir.file("x.wav");
  auto b = Wave(1, 22050, 16, 2, 44100, {{"data", 4410}});
  b.resize(b.size() + 4410, 0);
  std::vector<unsigned char> tagged(100, 0);
  tagged.insert(tagged.end(), b.begin(), b.end());
  TempDir::Write(path, tagged);
  CWAV wav;
  ASSERT_TRUE(ReadFile(wav, path, 100));
  EXPECT_EQ(wav.GetSampleRate(), 22050);
  EXPECT_NEAR(wav.GetDuration(), 0.1, 1e-6);

  std::vector<unsigned char> cut(b.begin(), b.begin() + 36);
  TempDir::Write(path, cut);
  ASSERT_TRUE(ReadFile(wav, path));
  EXPECT_EQ(wav.GetHeaderSize(), 36);
  EXPECT_EQ(wav.GetBitsPerSample(), 16);
  EXPECT_EQ(wav.GetDuration(), 0.0f);
}

// Sizes past what 32-bit signed fields hold never turn negative; a rate no
// real file has is refused like a channel count of more than two.
TEST_F(WavReader, HugeFieldsStayPositiveAndImpossibleRatesAreRefused) {
  TempDir dir;
  const std::string path = dir.file("x.wav");
  TempDir::Write(path, Wave(1, 768000, 8, 1, 0xFFFFFFF0u, {{"data", 0xFFFFFFFFu}}));
  CWAV wav;
  ASSERT_TRUE(ReadFile(wav, path));
  EXPECT_EQ(wav.GetSampleRate(), 768000);
  EXPECT_GT(wav.GetBytesPerSecond(), 0);
  EXPECT_GT(wav.GetBitrate(), 0);
  EXPECT_EQ(wav.GetSamples(), 0xFFFFFFFFll);
  EXPECT_GT(wav.GetDuration(), 0.0f);

  TempDir::Write(path, Wave(1, 0xFFFFFFF0u, 8, 1, 0xFFFFFFF0u, {{"data", 0xFFFFFFFFu}}));
  EXPECT_FALSE(ReadFile(wav, path));
  EXPECT_FALSE(wav.IsValid());
  EXPECT_EQ(wav.GetSampleRate(), 0);
  EXPECT_EQ(wav.GetDuration(), 0.0f);
}

TEST_F(WavReader, MembersByDispatchNumber) {
  CSonavexCtrl c;
  for (int32_t id = 221; id <= 225; ++id) EXPECT_EQ(CallInt(c, id), 0) << id;
  ASSERT_TRUE(ReadFile(c.m_WAV, kDir + "stereo_24bit.wav"));
  EXPECT_EQ(CallInt(c, 221), 24);
  EXPECT_EQ(CallInt(c, 222), 6);
  EXPECT_EQ(CallInt(c, 223), 288000);
  EXPECT_EQ(CallInt(c, 224), 2);
  EXPECT_EQ(CallInt(c, 225), 44);
  c.ResetAll();
  for (int32_t id = 221; id <= 225; ++id) EXPECT_EQ(CallInt(c, id), 0) << id;
}

// Through the analysis: a WAV file is format 5 whatever its name, gets no
// generic strings, and a six-channel file is no format at all.
TEST_F(WavReader, Analysis) {
  TempDir dir;
  CSonavexCtrl c;
  const std::string named = dir.file("really a.mp3");
  TempDir::Write(named, TempDir::Read(kDir + "list_chunk.wav"));
  for (const std::string& path : {kDir + "list_chunk.wav", named}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(path)), kFormatWAV);
    EXPECT_EQ(c.GetAUDIOTitle(), u"");
    EXPECT_TRUE(c.AUDIOFormatIsValid());
    EXPECT_EQ(c.AUDIOGetChannels(), 2);
    EXPECT_EQ(c.AUDIOGetChannelMode(), u"Stereo");
    EXPECT_EQ(c.AUDIOGetSampleRate(), 22050);
    EXPECT_EQ(c.AUDIOGetBitrate(), 705);
    EXPECT_NEAR(c.AUDIOGetDuration(), 0.1, 1e-6);
    EXPECT_EQ(c.AUDIOGetVersion(), u"");
    EXPECT_EQ(c.WAVGetHeaderSize(), 44);
  }
  EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "six_channels.wav")), kFormatNone);
  EXPECT_EQ(c.AUDIOGetChannels(), 0);
  EXPECT_EQ(c.WAVGetChannels(), 0);
  EXPECT_FALSE(c.AUDIOFormatIsValid());
}
