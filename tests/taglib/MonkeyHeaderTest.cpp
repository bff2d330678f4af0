// The Monkey's Audio reader: hand-made headers of both layouts, checked
// against ffprobe (older layout) and mutagen (newer layout), and the derived
// figures on built headers.
#include "RunCommand.h"
#include "Bytes.h"
#include "MemberTable.h"
#include "Module.h"
#include "Monkey.h"
#include "SonavexCtrl.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace sonavex;

namespace {

const std::string kDir = std::string(DJVP_TEST_FIXTURES) + "/monkey/";


bool ReadFile(CMonkey& ape, const std::string& path, int32_t id3v2Size = 0) {
  ape.State() = FileState{};
  ape.State().fileSize = static_cast<int32_t>(TempDir::Read(path).size());
  ape.State().id3v2Size = id3v2Size;
  TagFile f;
  EXPECT_TRUE(f.Open(path, TagFile::Mode::Read)) << path;
  return ape.Read(f);
}

struct OldHeader {
  uint16_t version = 3970, level = 2000, flags = 0, channels = 2;
  uint32_t rate = 44100, frames = 10, finalBlocks = 1000, peak = 0;
};

std::vector<unsigned char> Old(const OldHeader& h) {
  std::vector<unsigned char> b(40, 0);
  std::memcpy(b.data(), "MAC ", 4);
  bytes::PutLE16(b.data() + 4, h.version);
  bytes::PutLE16(b.data() + 6, h.level);
  bytes::PutLE16(b.data() + 8, h.flags);
  bytes::PutLE16(b.data() + 10, h.channels);
  bytes::PutLE32(b.data() + 12, h.rate);
  bytes::PutLE32(b.data() + 24, h.frames);
  bytes::PutLE32(b.data() + 28, h.finalBlocks);
  bytes::PutLE32(b.data() + 32, h.peak);
  return b;
}

struct NewHeader {
  uint16_t version = 3990, level = 2000, bits = 16, channels = 2;
  uint32_t headerData = 44, blocksPerFrame = 73728, finalBlocks = 2000, frames = 5, rate = 44100;
};

std::vector<unsigned char> New(const NewHeader& h) {
  std::vector<unsigned char> b(76, 0);
  std::memcpy(b.data(), "MAC ", 4);
  bytes::PutLE16(b.data() + 4, h.version);
  bytes::PutLE32(b.data() + 8, 52);
  bytes::PutLE32(b.data() + 12, 24);
  bytes::PutLE32(b.data() + 20, h.headerData);
  bytes::PutLE16(b.data() + 52, h.level);
  bytes::PutLE32(b.data() + 56, h.blocksPerFrame);
  bytes::PutLE32(b.data() + 60, h.finalBlocks);
  bytes::PutLE32(b.data() + 64, h.frames);
  bytes::PutLE16(b.data() + 68, h.bits);
  bytes::PutLE16(b.data() + 70, h.channels);
  bytes::PutLE32(b.data() + 72, h.rate);
  return b;
}

const automation::Member* Find(int32_t dispid) {
  for (int i = 0; i < kMemberCount; ++i)
    if (kMembers[i].info.dispid == dispid) return &kMembers[i];
  return nullptr;
}

AutoVariant Call(CSonavexCtrl& c, int32_t dispid) {
  AutoVariant r{};
  const auto* m = Find(dispid);
  EXPECT_NE(m, nullptr) << dispid;
  if (m) {
    EXPECT_EQ(m->call(&c, nullptr, 0, &r), 0);
  }
  return r;
}

std::u16string CallString(CSonavexCtrl& c, int32_t dispid) {
  AutoVariant r = Call(c, dispid);
  EXPECT_EQ(r.vt, AUTO_VT_STR);
  std::u16string s = r.vt == AUTO_VT_STR && r.u.str ? std::u16string(r.u.str) : std::u16string();
  autovariant_clear(&r);
  return s;
}

class MonkeyReader : public ::testing::Test {
 protected:

};

}  // namespace

// Both layouts: the header fields, the frame size by version and level, the
// sample count and the duration (as ffprobe reads the older layout and
// mutagen the newer one), the bit depth and the peak level.
TEST_F(MonkeyReader, FixtureHeaders) {
  struct Case {
    const char* file;
    const char16_t* version;
    const char16_t* compression;
    int frames, samplesPerFrame, samples, bits, channels, rate;
    double peak;
    bool newLayout;
  } cases[] = {
      {"old_3970_normal.ape", u"3.97", u"Normal", 10, 294912, 9 * 294912 + 1000, 16, 2, 44100, 0.0, false},
      {"old_3880_extra_high_8bit.ape", u"3.88", u"Extra High", 3, 73728, 2 * 73728 + 500, 8, 1, 22050, 50.0, false},
      {"old_3880_high_24bit.ape", u"3.88", u"High", 4, 9216, 3 * 9216 + 100, 24, 2, 48000, 50.0, false},
      {"new_3990_extra_high.ape", u"3.99", u"Extra High", 5, 73728, 4 * 73728 + 2000, 16, 2, 48000, 0.0, true},
      {"new_3990_tagged.ape", u"3.99", u"Fast", 5, 73728, 4 * 73728 + 2000, 24, 1, 44100, 0.0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = kDir + c.file;
    CMonkey ape;
    ASSERT_TRUE(ReadFile(ape, path));
    EXPECT_TRUE(ape.IsValid());
    EXPECT_EQ(ape.GetVersion(), c.version);
    EXPECT_EQ(ape.GetCompressionName(), c.compression);
    EXPECT_EQ(ape.GetFrames(), c.frames);
    EXPECT_EQ(ape.GetSamplesPerFrame(), c.samplesPerFrame);
    EXPECT_EQ(ape.GetSamples(), c.samples);
    EXPECT_EQ(ape.GetBits(), c.bits);
    EXPECT_EQ(ape.GetChannels(), c.channels);
    EXPECT_EQ(ape.GetChannelMode(), c.channels == 1 ? u"Mono" : u"Stereo");
    EXPECT_EQ(ape.GetSampleRate(), c.rate);
    EXPECT_FLOAT_EQ(ape.GetPeak(), c.peak);
    EXPECT_NEAR(ape.GetDuration(), double(c.samples) / c.rate, 1e-4);
    double independent = -1;
    if (c.newLayout) {
      std::istringstream(RunCommand("/usr/bin/python3 -c \"import sys, mutagen.monkeysaudio as m; "
                                    "print(repr(m.MonkeysAudio(sys.argv[1]).info.length))\" '" + path + "'")) >>
          independent;
    } else {
      std::istringstream(RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'")) >>
          independent;
    }
    EXPECT_NEAR(ape.GetDuration(), independent, 1e-4);
  }
}

// The compression ratio: audio bytes (the file without its ID3v2, APE and
// ID3v1 tags, the Lyrics3 block kept) over the uncompressed size (the newer
// layout's WAV header bytes plus the PCM bytes); the bit rate follows.
TEST_F(MonkeyReader, CompressionRatioAndBitrate) {
  TempDir dir;
  const std::string path = dir.file("x.ape");
  // One minute of 16-bit stereo at 44100 Hz: 10,584,000 PCM bytes + 44.
  NewHeader h;
  h.blocksPerFrame = 44100;
  h.frames = 60;
  h.finalBlocks = 44100;
  TempDir::Write(path, New(h));
  CMonkey ape;
  ASSERT_TRUE(ReadFile(ape, path));
  EXPECT_FLOAT_EQ(ape.GetDuration(), 60.0f);
  // Half the uncompressed size, around tags of every kind.
  ape.State().id3v2Size = 1000;
  ape.State().apeSize = 2000;
  ape.State().id3v1Size = 128;
  ape.State().lyricsSize = 500;
  ape.State().fileSize = 10584044 / 2 + 1000 + 2000 + 128;
  EXPECT_FLOAT_EQ(ape.GetCompressionRatio(), 0.5f);
  EXPECT_EQ(ape.GetBitrate(), 705);
  ape.State().fileSize += 10584044 / 2;
  EXPECT_FLOAT_EQ(ape.GetCompressionRatio(), 1.0f);
  EXPECT_EQ(ape.GetBitrate(), 1411);

  // The older layout has no WAV header bytes in the ratio.
  OldHeader o;
  o.version = 3950;
  o.frames = 3;
  o.finalBlocks = 294912;
  TempDir::Write(path, Old(o));
  ASSERT_TRUE(ReadFile(ape, path));
  ape.State().apeSize = ape.State().id3v1Size = 0;
  ape.State().fileSize = 3 * 294912 * 4 / 4;
  EXPECT_FLOAT_EQ(ape.GetCompressionRatio(), 0.25f);
  EXPECT_EQ(ape.GetBitrate(), 352);
}

// Blocks per frame of the older layout by version and compression level.
TEST_F(MonkeyReader, OlderLayoutFrameSizes) {
  struct Case {
    uint16_t version, level;
    int blocks;
  } cases[] = {
      {3970, 1000, 294912}, {3950, 2000, 294912}, {3949, 2000, 73728}, {3900, 1000, 73728},
      {3880, 4000, 73728},       {3880, 2000, 9216},   {3800, 4000, 73728}, {3799, 4000, 9216},
  };
  TempDir dir;
  const std::string path = dir.file("x.ape");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version * 10000 + c.level);
    OldHeader h;
    h.version = c.version;
    h.level = c.level;
    TempDir::Write(path, Old(h));
    CMonkey ape;
    ASSERT_TRUE(ReadFile(ape, path));
    EXPECT_EQ(ape.GetSamplesPerFrame(), c.blocks);
    EXPECT_EQ(ape.GetSamples(), 9ll * c.blocks + 1000);
  }
}

// Headers with zeros where the figures divide: no crash, no negative or
// endless figure, 0 for what cannot be worked out.
TEST_F(MonkeyReader, ZeroFieldsGiveZeroFigures) {
  NewHeader noBitsNoWavHeader;
  noBitsNoWavHeader.bits = 0;
  noBitsNoWavHeader.headerData = 0;
  NewHeader noFrames;
  noFrames.frames = 0;
  NewHeader noBlocks;
  noBlocks.blocksPerFrame = 0;
  noBlocks.finalBlocks = 0;
  NewHeader noRate;
  noRate.rate = 0;
  NewHeader noChannels;
  noChannels.channels = 0;
  OldHeader oldNoRate;
  oldNoRate.rate = 0;
  oldNoRate.flags = 4;
  oldNoRate.peak = 1000;
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    bool valid;
  } cases[] = {
      {"no bits", New(noBitsNoWavHeader), true}, {"no frames", New(noFrames), true},
      {"no blocks", New(noBlocks), true},        {"no rate", New(noRate), false},
      {"no channels", New(noChannels), false},   {"older, no rate", Old(oldNoRate), false},
      {"signature only", {'M', 'A', 'C', ' '}, false},
  };
  TempDir dir;
  const std::string path = dir.file("x.ape");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir::Write(path, c.bytes);
    CMonkey ape;
    ASSERT_TRUE(ReadFile(ape, path));
    EXPECT_EQ(ape.IsValid(), c.valid);
    for (float f : {ape.GetDuration(), ape.GetCompressionRatio(), ape.GetPeak()}) {
      EXPECT_TRUE(std::isfinite(f));
      EXPECT_GE(f, 0.0f);
    }
    EXPECT_GE(ape.GetBitrate(), 0);
    EXPECT_GE(ape.GetSamples(), 0);
    EXPECT_GE(ape.GetBits(), 0);
    if (!c.valid) {
      EXPECT_EQ(ape.GetDuration(), 0.0f);
      EXPECT_EQ(ape.GetBitrate(), 0);
      EXPECT_EQ(ape.GetSamples(), 0);
      EXPECT_EQ(ape.GetBits(), 0);
      EXPECT_EQ(ape.GetSamplesPerFrame(), 0);
      EXPECT_EQ(ape.GetCompressionRatio(), 0.0f);
      EXPECT_EQ(ape.GetPeak(), 0.0f);
    }
  }
}

TEST_F(MonkeyReader, NamesAndRefusals) {
  TempDir dir;
  const std::string path = dir.file("x.ape");
  NewHeader h;
  for (uint16_t level : {0, 999, 5000, 65535}) {
    h.level = level;
    TempDir::Write(path, New(h));
    CMonkey ape;
    ASSERT_TRUE(ReadFile(ape, path));
    EXPECT_EQ(ape.GetCompressionName(), u"Unknown") << level;
  }
  // The header may follow an ID3v2 tag.
  auto tagged = std::vector<unsigned char>(300, 'x');
  const auto header = New(h);
  tagged.insert(tagged.end(), header.begin(), header.end());
  TempDir::Write(path, tagged);
  CMonkey ape;
  EXPECT_TRUE(ReadFile(ape, path, 300));
  EXPECT_EQ(ape.GetVersion(), u"3.99");
  EXPECT_FALSE(ReadFile(ape, path, 0));
  EXPECT_FALSE(ape.IsValid());
  EXPECT_EQ(ape.GetVersion(), u"");
  EXPECT_EQ(ape.GetChannelMode(), u"Unknown");
  EXPECT_EQ(ape.GetCompressionName(), u"Unknown");
  EXPECT_EQ(ape.GetFrames(), 0);
}

// A huge header: no real file has it. It is not valid, its figures are not
// reported, and nothing wraps into negatives.
TEST_F(MonkeyReader, HugeCountsAreNotValid) {
  NewHeader h;
  h.frames = 0xFFFFFFFFu;
  h.blocksPerFrame = 0xFFFFFFFFu;
  h.finalBlocks = 0xFFFFFFFFu;
  h.channels = 0xFFFF;
  h.bits = 0xFFFF;
  h.rate = 1;
  TempDir dir;
  const std::string path = dir.file("x.ape");
  TempDir::Write(path, New(h));
  CSonavexCtrl c;
  ASSERT_TRUE(ReadFile(c.m_Monkey, path));
  EXPECT_EQ(c.MONKEYGetFrames(), INT32_MAX);  // as read
  EXPECT_FALSE(c.m_Monkey.IsValid());
  EXPECT_EQ(c.MONKEYGetSamples(), 0);
  EXPECT_EQ(c.MONKEYGetCompressionRatio(), 0.0f);
  EXPECT_EQ(c.m_Monkey.GetBitrate(), 0);
  EXPECT_EQ(c.m_Monkey.GetDuration(), 0.0f);
  EXPECT_EQ(c.m_Monkey.GetSampleRate(), 0);
  EXPECT_EQ(c.m_Monkey.GetChannels(), 0);
}

TEST_F(MonkeyReader, MembersByDispatchNumber) {
  CSonavexCtrl c;
  EXPECT_EQ(CallString(c, 193), u"Unknown");
  for (int32_t id : {192, 194, 195, 196, 197, 198}) {
    AutoVariant r = Call(c, id);
    EXPECT_TRUE(r.vt == AUTO_VT_I2 ? r.u.i2 == 0 : r.vt == AUTO_VT_I4 ? r.u.i4 == 0 : r.u.r4 == 0.0f) << id;
  }
  ASSERT_TRUE(ReadFile(c.m_Monkey, kDir + "old_3880_extra_high_8bit.ape"));
  AutoVariant r = Call(c, 192);
  EXPECT_EQ(r.vt, AUTO_VT_I2);
  EXPECT_EQ(r.u.i2, 8);
  EXPECT_EQ(CallString(c, 193), u"Extra High");
  EXPECT_EQ(Call(c, 194).u.i4, 3);
  r = Call(c, 195);
  EXPECT_EQ(r.vt, AUTO_VT_R4);
  EXPECT_FLOAT_EQ(r.u.r4, 50.0f);
  EXPECT_EQ(Call(c, 196).u.i4, 2 * 73728 + 500);
  EXPECT_EQ(Call(c, 197).u.i4, 73728);
  r = Call(c, 198);
  EXPECT_EQ(r.vt, AUTO_VT_R4);
  EXPECT_FLOAT_EQ(r.u.r4, float(3036.0 / ((2 * 73728 + 500) * 8 / 8)));
}

// Through the analysis: the generic strings come from the APE tag, whose
// size the compression ratio leaves out.
TEST_F(MonkeyReader, Analysis) {
  CSonavexCtrl c;
  EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "new_3990_tagged.ape")), kFormatMonkey);
  EXPECT_EQ(c.GetAUDIOTitle(), u"Monkey Title");
  EXPECT_EQ(c.GetAUDIOArtist(), u"Monkey Artist");
  EXPECT_TRUE(c.AUDIOFormatIsValid());
  EXPECT_EQ(c.AUDIOGetVersion(), u"3.99");
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Mono");
  EXPECT_EQ(c.AUDIOGetSampleRate(), 44100);
  EXPECT_GT(c.m_State.apeSize, 0);
  // The file without the tag's items and footer (the size the APE reader
  // gives) over 44 + 296912 samples of 3 bytes.
  EXPECT_FLOAT_EQ(c.MONKEYGetCompressionRatio(), float(double(c.m_State.fileSize - c.m_State.apeSize) / (44 + 296912 * 3)));
  EXPECT_EQ(c.MONKEYGetCompression(), u"Fast");

  // "MAC " with no sample rate: Monkey's Audio, not valid, no figures.
  EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "zero_rate.ape")), kFormatMonkey);
  EXPECT_FALSE(c.AUDIOFormatIsValid());
  EXPECT_EQ(c.AUDIOGetDuration(), 0.0f);
  EXPECT_EQ(c.AUDIOGetBitrate(), 0);
  EXPECT_EQ(c.MONKEYGetSamples(), 0);
  EXPECT_EQ(c.MONKEYGetFrames(), 10);
  EXPECT_EQ(c.MONKEYGetCompression(), u"Normal");
}

// The generic save writes an APE tag behind the audio: the header and the
// frames stay byte for byte and the figures are read as before.
TEST_F(MonkeyReader, GenericSaveKeepsTheAudio) {
  TempDir dir;
  const std::string path = dir.file("song.ape");
  const auto original = TempDir::Read(kDir + "new_3990_extra_high.ape");
  TempDir::Write(path, original);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(path)), kFormatMonkey);
  EXPECT_FLOAT_EQ(c.MONKEYGetCompressionRatio(), float(3076.0 / (44 + 296912 * 4)));
  c.SetAUDIOTitle(u"Saved Title");
  ASSERT_TRUE(c.AUDIOSaveChangesToFile(FromUtf8(path)));

  const auto saved = TempDir::Read(path);
  ASSERT_GT(saved.size(), original.size());
  EXPECT_EQ(std::vector<unsigned char>(saved.begin(), saved.begin() + original.size()), original);
  EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import sys, mutagen.monkeysaudio as m; "
                       "print(m.MonkeysAudio(sys.argv[1])['Title'])\" '" + path + "'"),
            "Saved Title\n");

  CSonavexCtrl again;
  ASSERT_EQ(again.AUDIOAnalyzeFile(FromUtf8(path)), kFormatMonkey);
  EXPECT_EQ(again.GetAUDIOTitle(), u"Saved Title");
  EXPECT_FLOAT_EQ(again.MONKEYGetCompressionRatio(), float(double(again.m_State.fileSize - again.m_State.apeSize) / (44 + 296912 * 4)));
  EXPECT_EQ(again.MONKEYGetSamples(), 4 * 73728 + 2000);
}

// A Monkey's Audio file with an ID3v2 tag in front (another program put it
// there): the generic save writes the APE tag, and a new analysis reads the
// saved strings, whether the file had an APE tag already or gets its first.
// Each generic string comes from the APE tag when it holds that field, as
// other readers take it (mutagen reads the APE tag; ffmpeg drops the ID3v2
// tag beside it), and from the ID3v2 tag otherwise (an APE tag of other
// items alone, a replay gain, hides nothing); the ID3v2 tag and the APE
// tag's other items are left as they were.
TEST_F(MonkeyReader, GenericSaveBehindAnID3v2TagReadsBack) {
  // ID3v2.3 with a title and an album, in front of the audio.
  std::string frames;
  for (const auto& [id, text] : {std::pair{"TIT2", std::string("ID3 Title")}, std::pair{"TALB", std::string("ID3 Album")}}) {
    const std::string body = std::string(1, '\0') + text;
    frames += id + std::string{0, 0, 0, char(body.size()), 0, 0} + body;
  }
  const std::string id3 = std::string("ID3\3\0\0\0\0\0", 9) + char(frames.size()) + frames;
  struct Case {
    const char* name;
    const char* fixture;
    bool replayGain;              // an APE tag of a replay gain alone is added
    std::u16string title, album;  // the generic strings of the first analysis
  } cases[] = {
      {"with an APE tag", "new_3990_tagged.ape", false, u"Monkey Title", u"ID3 Album"},
      {"without an APE tag", "new_3990_extra_high.ape", false, u"ID3 Title", u"ID3 Album"},
      {"with an APE tag of other items", "new_3990_extra_high.ape", true, u"ID3 Title", u"ID3 Album"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    TempDir dir;
    const std::string path = dir.file("song.ape");
    auto bytes = TempDir::Read(kDir + k.fixture);
    bytes.insert(bytes.begin(), id3.begin(), id3.end());
    TempDir::Write(path, bytes);
    if (k.replayGain) {
      ASSERT_EQ(RunCommand("/usr/bin/python3 -c \"import sys; from mutagen.apev2 import APEv2; t = APEv2(); "
                           "t['REPLAYGAIN_TRACK_GAIN'] = '-3.2 dB'; t.save(sys.argv[1])\" '" + path + "' 2>&1"),
                "");
    }

    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(path)), kFormatMonkey);
    EXPECT_EQ(c.GetAUDIOTitle(), k.title);
    EXPECT_EQ(c.GetAUDIOAlbum(), k.album);
    EXPECT_EQ(c.GetID3V2Title(), u"ID3 Title");
    c.SetAUDIOTitle(u"Saved Title");
    c.SetAUDIOArtist(u"Saved Artist");
    ASSERT_TRUE(c.AUDIOSaveChangesToFile(FromUtf8(path))) << c.AUDIOGetLastErrorNumber();

    CSonavexCtrl again;
    ASSERT_EQ(again.AUDIOAnalyzeFile(FromUtf8(path)), kFormatMonkey);
    EXPECT_EQ(again.GetAUDIOTitle(), u"Saved Title");
    EXPECT_EQ(again.GetAUDIOArtist(), u"Saved Artist");
    EXPECT_EQ(again.GetAUDIOAlbum(), k.album);
    EXPECT_EQ(again.GetID3V2Title(), u"ID3 Title");
    const auto saved = TempDir::Read(path);
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(id3.size())), id3);
    EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import sys; from mutagen.apev2 import APEv2; "
                         "t = APEv2(sys.argv[1]); print(t['Title'], t['Artist'], t.get('REPLAYGAIN_TRACK_GAIN'))\" '" +
                         path + "'"),
              std::string("Saved Title Saved Artist ") + (k.replayGain ? "-3.2 dB" : "None") + "\n");
  }
}
