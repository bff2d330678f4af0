// The AAC reader: ADTS streams made by ffmpeg (checked against ffprobe's
// frame list), hand-made ADIF headers (checked against mutagen), and built
// ADTS frames for the walk's edge cases.
#include "RunCommand.h"
#include "AAC.h"
#include "MemberTable.h"
#include "Module.h"
#include "SonavexCtrl.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace sonavex;

namespace {

const std::string kDir = std::string(DJVP_TEST_FIXTURES) + "/aac/";


// Size of a leading ID3v2 tag, header included (0 when there is none).
int32_t Id3v2SizeOf(const std::vector<unsigned char>& b) {
  if (b.size() < 10 || b[0] != 'I' || b[1] != 'D' || b[2] != '3') return 0;
  return 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F));
}

// Reads a file with the reader alone, as the analysis would after the ID3v2
// tag: the reader's sizes are set for it first.
bool ReadFile(CAAC& aac, const std::string& path) {
  const auto bytes = TempDir::Read(path);
  aac.State().fileSize = static_cast<int32_t>(bytes.size());
  aac.State().id3v2Size = Id3v2SizeOf(bytes);
  TagFile f;
  EXPECT_TRUE(f.Open(path, TagFile::Mode::Read)) << path;
  return aac.Read(f);
}

// MSB-first bit writer for building headers.
class BitWriter {
 public:
  void Put(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) bits_.push_back((value >> i) & 1);
  }
  std::vector<unsigned char> Bytes() const {
    std::vector<unsigned char> out((bits_.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits_.size(); ++i)
      if (bits_[i]) out[i / 8] |= static_cast<unsigned char>(0x80 >> (i % 8));
    return out;
  }

 private:
  std::vector<int> bits_;
};

struct Frame {
  int id = 0;          // 1 MPEG-2, 0 MPEG-4
  int profile = 1;     // 2-bit object type (1 = LC)
  int sfIndex = 4;     // 44100 Hz
  int channels = 2;
  int length = 372;    // the whole frame, header included
  int fullness = 0x7FF;
  bool emphasis = false;  // the first drafts' MPEG-4 layout
};

// One ADTS frame: its header, then payload bytes up to its length.
std::vector<unsigned char> AdtsFrame(const Frame& fr) {
  BitWriter w;
  w.Put(0xFFF, 12);
  w.Put(fr.id, 1);
  w.Put(0, 2);  // layer
  w.Put(1, 1);  // no CRC
  w.Put(fr.profile, 2);
  w.Put(fr.sfIndex, 4);
  w.Put(0, 1);
  w.Put(fr.channels, 3);
  w.Put(0, 2);  // original, home
  if (fr.emphasis) w.Put(0, 2);
  w.Put(0, 2);  // copyright bits
  w.Put(fr.length, 13);
  w.Put(fr.fullness, 11);
  w.Put(0, 2);  // raw data blocks
  auto out = w.Bytes();
  if (static_cast<int>(out.size()) < fr.length) out.resize(fr.length, 0x11);
  return out;
}

std::vector<unsigned char> Stream(const std::vector<Frame>& frames) {
  std::vector<unsigned char> out;
  for (const auto& fr : frames) {
    const auto b = AdtsFrame(fr);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

// What ffprobe finds in a stream: its rate and channels, and its frames
// (each packet of the raw AAC demuxer is one whole ADTS frame).
struct Probe {
  int rate = -1;
  int channels = -1;
  int frames = 0;
  long total = 0;
};

Probe Ffprobe(const std::string& path) {
  Probe p;
  std::istringstream in(RunCommand("ffprobe -v error -show_entries stream=sample_rate,channels:packet=size "
                                   "-of default=nw=1 '" + path + "'"));
  for (std::string line; std::getline(in, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const long value = std::stol(line.substr(eq + 1));
    if (key == "sample_rate") p.rate = static_cast<int>(value);
    if (key == "channels") p.channels = static_cast<int>(value);
    if (key == "size") p.frames++, p.total += value;
  }
  return p;
}

// Calls a member by its dispatch number and returns its string result.
std::u16string CallString(CSonavexCtrl& c, int32_t dispid) {
  for (int i = 0; i < kMemberCount; ++i) {
    if (kMembers[i].info.dispid != dispid) continue;
    AutoVariant r{};
    EXPECT_EQ(kMembers[i].call(&c, nullptr, 0, &r), 0);
    EXPECT_EQ(r.vt, AUTO_VT_STR);
    std::u16string s = r.u.str ? std::u16string(r.u.str) : std::u16string();
    autovariant_clear(&r);
    return s;
  }
  ADD_FAILURE() << "no member " << dispid;
  return {};
}

class AacReader : public ::testing::Test {
 protected:

};

}  // namespace

// ffmpeg's ADTS streams: every frame is walked (its buffer fullness is 7FF),
// the figures agree with ffprobe's stream and frame list under the average
// frame-size formula, and the last frame's header gives the fields.
TEST_F(AacReader, FfmpegAdtsStreamsMatchFfprobe) {
  struct Case {
    const char* file;
    const char16_t* version;
    const char16_t* bitrateType;
    const char16_t* channelMode;
  } cases[] = {
      {"adts_stereo_44k.aac", u"MPEG-4", u"VBR", u"Stereo"},
      {"adts_mono_22k.aac", u"MPEG-4", u"VBR", u"Mono"},
      {"adts_6ch_48k.aac", u"MPEG-4", u"VBR", u"Unknown"},
      {"adts_mpeg2.aac", u"MPEG-2", u"VBR", u"Stereo"},
      {"adts_tagged.aac", u"MPEG-4", u"VBR", u"Stereo"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = kDir + c.file;
    CAAC aac;
    ASSERT_TRUE(ReadFile(aac, path));
    const Probe w = Ffprobe(path);
    ASSERT_GT(w.frames, 1);
    const int rate = w.rate;
    EXPECT_EQ(aac.GetHeaderTypeName(), u"ADTS");
    EXPECT_EQ(aac.GetProfileName(), u"AAC LC");
    EXPECT_EQ(aac.GetVersion(), c.version);
    EXPECT_EQ(aac.GetBitrateTypeName(), c.bitrateType);
    EXPECT_EQ(aac.GetSampleRate(), rate);
    EXPECT_EQ(aac.GetChannels(), w.channels);
    EXPECT_EQ(aac.GetChannelMode(), c.channelMode);
    const int kbps = static_cast<int>(double(rate) * double(w.total) * 8 / 1024 / w.frames / 1000 + 0.5);
    EXPECT_EQ(aac.GetBitrate(), kbps);
    EXPECT_EQ(aac.BitRateBps(), kbps * 1000);
    const double bytes = double(aac.State().fileSize - aac.State().id3v2Size);
    EXPECT_NEAR(aac.GetDuration(), bytes * 8 / (kbps * 1000.0), 1e-4);
    EXPECT_TRUE(aac.IsValid());
  }
}

// The tagged stream ends in an ID3v1 tag: the walk stops there, so the tag
// is neither a frame nor part of the total, while the duration still counts
// every byte after the ID3v2 tag.
TEST_F(AacReader, WalkStopsAtTheTrailingTag) {
  const std::string path = kDir + "adts_tagged.aac";
  CAAC aac;
  ASSERT_TRUE(ReadFile(aac, path));
  ASSERT_GT(aac.State().id3v2Size, 10);
  const auto bytes = TempDir::Read(path);
  ASSERT_EQ(std::string(bytes.end() - 128, bytes.end() - 125), "TAG");
  const Probe w = Ffprobe(path);
  EXPECT_EQ(aac.State().id3v2Size + w.total + 128, aac.State().fileSize);
  EXPECT_EQ(aac.GetBitrate(), static_cast<int>(44100.0 * w.total * 8 / 1024 / w.frames / 1000 + 0.5));
}

// A constant-rate stream stands for itself by its first frame.
TEST_F(AacReader, ConstantRateStreamReadsOnlyTheFirstFrame) {
  const std::string path = kDir + "adts_cbr.aac";
  CAAC aac;
  ASSERT_TRUE(ReadFile(aac, path));
  EXPECT_EQ(aac.GetBitrateTypeName(), u"CBR");
  const auto b = TempDir::Read(path);
  const int first = ((b[3] & 3) << 11) | (b[4] << 3) | (b[5] >> 5);
  EXPECT_EQ(aac.BitRateBps(), static_cast<int>(44100.0 * first * 8 / 1024 / 1000 + 0.5) * 1000);
}

// Hand-made ADIF headers: header type, bit rate type and rate, profile,
// sample rate (as mutagen reads them) and the count of channel elements.
TEST_F(AacReader, AdifHeaders) {
  struct Case {
    const char* file;
    const char16_t* bitrateType;
    const char16_t* profile;
    int elements;
    int kbps;
    bool valid;
  } cases[] = {
      {"adif_cbr.aac", u"CBR", u"AAC LC", 1, 128, true},
      {"adif_vbr_copyright.aac", u"VBR", u"AAC LTP", 5, 96, true},
      {"adif_no_elements.aac", u"CBR", u"AAC LC", 0, 64, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = kDir + c.file;
    CAAC aac;
    // An ADIF header is taken whatever it holds.
    ASSERT_TRUE(ReadFile(aac, path));
    std::istringstream m(RunCommand("/usr/bin/python3 -c \"import sys, mutagen.aac as a; i = a.AAC(sys.argv[1]).info; "
                             "print(i.sample_rate, i.bitrate)\" '" + path + "'"));
    int rate = -1, bps = -1;
    m >> rate >> bps;
    EXPECT_EQ(aac.GetHeaderTypeName(), u"ADIF");
    EXPECT_EQ(aac.GetVersion(), u"MPEG-4");
    EXPECT_EQ(aac.GetBitrateTypeName(), c.bitrateType);
    EXPECT_EQ(aac.GetProfileName(), c.profile);
    EXPECT_EQ(aac.GetSampleRate(), rate);
    EXPECT_EQ(aac.BitRateBps(), bps);
    EXPECT_EQ(aac.GetBitrate(), c.kbps);
    EXPECT_EQ(aac.GetChannels(), c.elements);
    EXPECT_EQ(aac.IsValid(), c.valid);
    // The duration divides by the header's exact bit rate.
    EXPECT_NEAR(aac.GetDuration(), double(aac.State().fileSize) * 8 / bps, 1e-5);
  }
}

TEST_F(AacReader, AdifWithZeroBitRateIsNotValid) {
  TempDir dir;
  auto bytes = TempDir::Read(kDir + "adif_cbr.aac");
  // Bits 36..58: the 23-bit rate after the flags of a header without an id.
  for (int bit = 36; bit < 59; ++bit) bytes[bit / 8] &= static_cast<unsigned char>(~(0x80 >> (bit % 8)));
  const std::string path = dir.file("zero.aac");
  TempDir::Write(path, bytes);
  CAAC aac;
  ASSERT_TRUE(ReadFile(aac, path));
  EXPECT_EQ(aac.GetBitrate(), 0);
  EXPECT_EQ(aac.GetDuration(), 0.0f);
  EXPECT_FALSE(aac.IsValid());
}

// Built streams: the average frame size drives the bit rate; the last frame
// gives the fields; frames too short to step over, a cut-off header at the
// end and the first drafts' MPEG-4 layout.
TEST_F(AacReader, AdtsWalkEdgeCases) {
  Frame a;                                   // 372 bytes, 44100 Hz, stereo
  Frame b = a;
  b.length = 300;
  Frame c = a;
  c.length = 444;                            // (300 + 444) / 2 = 372
  Frame lastMono = a;
  lastMono.channels = 1;
  lastMono.profile = 0;
  Frame tiny = a;
  tiny.length = 3;
  Frame zero = a;
  zero.length = 0;
  Frame old = a;
  old.emphasis = true;
  Frame mpeg2 = old;
  mpeg2.emphasis = false;
  mpeg2.id = 1;

  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    bool found;
    int kbps;
    int channels;
    const char16_t* profile;
  } cases[] = {
      // 44100 * 372 * 8 / 1024 / 1000 = 128.2
      {"average 372", Stream({a, a, a}), true, 128, 2, u"AAC LC"},
      {"mixed sizes", Stream({b, c, b, c}), true, 128, 2, u"AAC LC"},
      {"last frame gives the fields", Stream({a, a, lastMono}), true, 128, 1, u"AAC Main"},
      // A frame length below the header's size ends the walk uncounted.
      {"short second frame", Stream({a, tiny, a}), true, 128, 2, u"AAC LC"},
      {"zero-length second frame", Stream({a, zero}), true, 128, 2, u"AAC LC"},
      {"zero-length first frame", Stream({zero, a}), false, 0, 0, u"Unknown"},
      {"first drafts' MPEG-4 layout", Stream({old, old, old}), true, 128, 2, u"AAC LC"},
      {"MPEG-2 frames", Stream({mpeg2, mpeg2}), true, 128, 2, u"AAC LC"},
  };
  // A sync word and one byte of a header cut off by the end of the file.
  cases[1].bytes.insert(cases[1].bytes.end(), {0xFF, 0xF1, 0x50});

  TempDir dir;
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("stream.aac");
    TempDir::Write(path, c.bytes);
    CAAC aac;
    EXPECT_EQ(ReadFile(aac, path), c.found);
    EXPECT_EQ(aac.GetBitrate(), c.kbps);
    EXPECT_EQ(aac.GetChannels(), c.channels);
    EXPECT_EQ(aac.GetProfileName(), c.profile);
    EXPECT_EQ(aac.IsValid(), c.found);
  }
}

TEST_F(AacReader, OtherDataIsNotAac) {
  TempDir dir;
  const std::string path = dir.file("x.aac");
  for (const std::string& bytes : {std::string("RIFF0000WAVEfmt "), std::string("\xFF\xE0 not a sync word"),
                                  std::string("ADI"), std::string()}) {
    TempDir::Write(path, bytes);
    CAAC aac;
    EXPECT_FALSE(ReadFile(aac, path));
    EXPECT_EQ(aac.GetHeaderTypeName(), u"Unknown");
    EXPECT_EQ(aac.GetBitrateTypeName(), u"Unknown");
    EXPECT_EQ(aac.GetVersion(), u"Unknown");
  }
}

// The members answer through dispatch from the control's own AAC object:
// "Unknown" before anything was read, the names after.
TEST_F(AacReader, MembersByDispatchNumber) {
  CSonavexCtrl c;
  EXPECT_EQ(CallString(c, 172), u"Unknown");
  EXPECT_EQ(CallString(c, 173), u"Unknown");
  EXPECT_EQ(CallString(c, 174), u"Unknown");
  ASSERT_TRUE(ReadFile(c.m_AAC, kDir + "adif_vbr_copyright.aac"));
  EXPECT_EQ(CallString(c, 172), u"ADIF");
  EXPECT_EQ(CallString(c, 173), u"AAC LTP");
  EXPECT_EQ(CallString(c, 174), u"VBR");
  ASSERT_TRUE(ReadFile(c.m_AAC, kDir + "adts_cbr.aac"));
  EXPECT_EQ(CallString(c, 172), u"ADTS");
  EXPECT_EQ(CallString(c, 173), u"AAC LC");
  EXPECT_EQ(CallString(c, 174), u"CBR");
  c.ResetAll();
  EXPECT_EQ(CallString(c, 172), u"Unknown");
}

// Through the analysis: AAC is tried only for names ending in ".AAC" (any
// case), after the tags at the end of the file; its figures answer the
// generic members.
TEST_F(AacReader, Analysis) {
  TempDir dir;
  CSonavexCtrl c;
  EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "adts_tagged.aac")), kFormatAAC);
  EXPECT_EQ(c.GetAUDIOTitle(), u"Tagged Title");
  EXPECT_EQ(c.AUDIOGetSampleRate(), 44100);
  EXPECT_EQ(c.AUDIOGetChannels(), 2);
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Stereo");
  EXPECT_EQ(c.AUDIOGetVersion(), u"MPEG-4");
  EXPECT_TRUE(c.AUDIOFormatIsValid());
  EXPECT_EQ(c.AUDIOGetBitrate(), c.m_AAC.GetBitrate());
  EXPECT_GT(c.AUDIOGetDuration(), 0.3f);
  EXPECT_EQ(c.AACGetHeaderType(), u"ADTS");
  EXPECT_EQ(c.AACGetBitRateType(), u"VBR");

  const auto stream = TempDir::Read(kDir + "adts_stereo_44k.aac");
  struct Case {
    const char* name;
    int16_t format;
  } names[] = {{"UPPER.AAC", kFormatAAC}, {"lower.aac", kFormatAAC}, {"other.mp4", kFormatNone}, {"aac", kFormatNone}};
  for (const auto& n : names) {
    const std::string path = dir.file(n.name);
    TempDir::Write(path, stream);
    EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(path)), n.format) << n.name;
  }

  // An ADIF header without channel elements is still AAC, but not valid.
  EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "adif_no_elements.aac")), kFormatAAC);
  EXPECT_FALSE(c.AUDIOFormatIsValid());
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Unknown");
}

// The generic save puts an ID3v2 tag in front of the stream: the frames
// behind it stay byte for byte, and the reader finds them at the new offset.
TEST_F(AacReader, GenericSaveKeepsTheStream) {
  TempDir dir;
  const std::string path = dir.file("song.aac");
  const auto original = TempDir::Read(kDir + "adts_stereo_44k.aac");
  TempDir::Write(path, original);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(path)), kFormatAAC);
  const int32_t bitrate = c.AUDIOGetBitrate();
  c.SetAUDIOTitle(u"Saved Title");
  ASSERT_TRUE(c.AUDIOSaveChangesToFile(FromUtf8(path)));

  const auto saved = TempDir::Read(path);
  const int32_t tag = Id3v2SizeOf(saved);
  ASSERT_GT(tag, 0);
  EXPECT_EQ(std::vector<unsigned char>(saved.begin() + tag, saved.end()), original);
  EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import sys, mutagen.id3 as i; print(i.ID3(sys.argv[1])['TIT2'].text[0])\" '" +
                       path + "'"),
            "Saved Title\n");

  CSonavexCtrl again;
  ASSERT_EQ(again.AUDIOAnalyzeFile(FromUtf8(path)), kFormatAAC);
  EXPECT_EQ(again.GetAUDIOTitle(), u"Saved Title");
  EXPECT_EQ(again.AUDIOGetBitrate(), bitrate);
  EXPECT_EQ(again.AACGetHeaderType(), u"ADTS");
}
