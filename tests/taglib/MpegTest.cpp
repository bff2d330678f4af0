// The MPEG audio reader: header decoding and frame lengths, the frame search,
// Xing and VBRI headers, the encoder guess, the all-frames walk, the figures
// against mutagen and ffprobe, and the header-bit changes (CRC included)
// against what the encoders themselves write.
#include "MPEG.h"
#include "MpegTestSupport.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sstream>

using namespace sonavex;
using namespace mpegtest;

namespace {

// Two or more frames of zeros behind the given header, so the first one is
// confirmed by the next.
Bytes Frames(const Bytes& header, size_t length, int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    Bytes f(length, 0);
    std::copy(header.begin(), header.end(), f.begin());
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

// Reads an MPEG stream directly (no analysis): the file has no tags.
bool ReadDirect(CMPEG& m, const std::string& path) {
  TagFile f;
  if (!f.Open(path, TagFile::Mode::Read)) return false;
  m.State() = FileState{};
  m.State().fileSize = static_cast<int32_t>(f.Length());
  return m.Read(f);
}

struct Info {
  int rate = 0, channels = 0, mode = -1, layer = 0, bitrate = 0, streamBitrate = 0;
  std::string version;
  double duration = 0;  // ffprobe's
  double length = 0;    // mutagen's
};

// mutagen's stream figures and ffprobe's duration, for many files at once.
std::map<std::string, Info> IndependentInfo(const std::vector<std::string>& names) {
  std::string files;
  for (const auto& n : names) files += " '" + Fixture(n) + "'";
  const std::string out = RunCommand(
      "/usr/bin/python3 -c \"import sys\nfrom mutagen.mp3 import MP3\nfor f in sys.argv[1:]:\n"
      "    i = MP3(f).info\n    print(f.split('/')[-1], i.sample_rate, i.channels, i.mode, i.layer, i.bitrate, i.version, i.length)\"" +
      files);
  std::map<std::string, Info> info;
  std::istringstream in(out);
  std::string name;
  while (in >> name) {
    Info& i = info[name];
    in >> i.rate >> i.channels >> i.mode >> i.layer >> i.bitrate >> i.version >> i.length;
  }
  for (const auto& n : names) {
    const std::string d = RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + Fixture(n) + "'");
    info[n].duration = std::atof(d.c_str());
    const std::string b = RunCommand("ffprobe -v error -show_entries stream=bit_rate -of csv=p=0 '" + Fixture(n) + "'");
    info[n].streamBitrate = std::atoi(b.c_str());
  }
  return info;
}

const char16_t* const kModeNames[] = {u"Stereo", u"Joint Stereo", u"Dual Channel", u"Mono"};

}  // namespace

TEST(Mpeg, DecodesHeadersAndFrameLengths) {
  struct Case {
    Bytes header;
    int32_t length;
    const char16_t* version;
    const char16_t* layer;
    int32_t rate, bitrate, channels;
    bool padding;
  } cases[] = {
      {{0xFF, 0xFB, 0x90, 0x00}, 417, u"MPEG 1.0", u"Layer 3", 44100, 128, 2, false},
      {{0xFF, 0xFB, 0x92, 0x00}, 418, u"MPEG 1.0", u"Layer 3", 44100, 128, 2, true},
      {{0xFF, 0xF3, 0x80, 0xC0}, 208, u"MPEG 2.0", u"Layer 3", 22050, 64, 1, false},
      {{0xFF, 0xFF, 0x16, 0x40}, 36, u"MPEG 1.0", u"Layer 1", 48000, 32, 2, true},
      {{0xFF, 0xFD, 0xA0, 0x80}, 626, u"MPEG 1.0", u"Layer 2", 44100, 192, 2, false},
      {{0xFF, 0xE3, 0x18, 0xC0}, 72, u"MPEG 2.5", u"Layer 3", 8000, 8, 1, false},
  };
  TempDir dir;
  for (const auto& k : cases) {
    const std::string path = dir.file("s.mp3");
    TempDir::Write(path, Frames(k.header, static_cast<size_t>(k.length), 3));
    CMPEG m;
    ASSERT_TRUE(ReadDirect(m, path)) << k.length;
    EXPECT_EQ(m.m_nFrameSize, k.length);
    EXPECT_EQ(m.GetVersion(), k.version);
    EXPECT_EQ(m.GetLayer(), k.layer);
    EXPECT_EQ(m.GetSampleRate(), k.rate);
    EXPECT_EQ(m.GetBitrate(), k.bitrate);
    EXPECT_EQ(m.GetChannels(), k.channels);
    EXPECT_EQ(m.m_nPaddingBit, k.padding ? 1 : 0);
    EXPECT_TRUE(m.IsValid());
    EXPECT_EQ(m.GetFrames(), 3);
  }
  // Bits and names through the members.
  const std::string path = dir.file("bits.mp3");
  TempDir::Write(path, Frames({0xFF, 0xFA, 0x91, 0x6D}, 417, 3));  // CRC, private, joint, copyright, original, 50/15
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  EXPECT_EQ(Call(c, 202).number, -1);
  EXPECT_EQ(Call(c, 203).number, -1);
  EXPECT_EQ(Call(c, 204).number, 0);
  EXPECT_EQ(Call(c, 205).number, -1);
  EXPECT_EQ(Call(c, 206).text, u"50/15 ms");
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Joint Stereo");
  // Original bit with a CRC: not the LAME rule; a bitrate of 128 in joint
  // stereo is not Blade; copyright, original and CRC: Xing.
  EXPECT_EQ(Call(c, 207).text, u"Xing");
}

TEST(Mpeg, GuessesTheEncoderOfStreamsWithoutAVbrHeader) {
  // The rules are tried in order; each case passes the rules before its own.
  struct Case {
    Bytes header;
    std::string tail;  // bytes near the end of the stream
    const char16_t* encoder;
  } cases[] = {
      {{0xFF, 0xFB, 0x90, 0x04}, "", u"LAME"},                  // original, no CRC
      {{0xFF, 0xFB, 0x90, 0x00}, "", u"Blade"},                 // 128 kbit/s stereo
      {{0xFF, 0xFA, 0x90, 0x4C}, "", u"Xing"},                  // copyright, original, CRC
      {{0xFF, 0xFA, 0x90, 0x44}, "", u"Xing"},                  // original, zeros after the header
      {{0xFF, 0xFD, 0xA0, 0x40}, "", u"QDesign"},               // Layer II
      {{0xFF, 0xFB, 0xB0, 0x80}, "", u"Shine"},                 // dual channel, no CRC
      {{0xFF, 0xFB, 0xB0, 0x40}, "", u"FhG"},                   // none of the above
      {{0xFF, 0xFB, 0xB0, 0x40}, "LAME3.99r", u"LAME 3.99"},   // a LAME tag near the end
      {{0xFF, 0xFB, 0xB0, 0x40}, "GOGO3.13", u"GoGo"},
  };
  TempDir dir;
  for (const auto& k : cases) {
    Bytes file = Frames(k.header, k.header[1] == 0xFD ? 626 : (k.header[2] == 0x90 ? 417 : 626), 8);
    if (!k.tail.empty()) std::copy(k.tail.begin(), k.tail.end(), file.end() - 100);
    const std::string path = dir.file("enc.mp3");
    TempDir::Write(path, file);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    EXPECT_FALSE(c.MPEGIsVBR());
    EXPECT_EQ(c.MPEGGetEncoder(), k.encoder) << int(k.header[2]) << " " << int(k.header[3]) << " " << k.tail;
  }
}

TEST(Mpeg, RejectsInvalidHeadersAndLooksOnlyAtThisFile) {
  TempDir dir;
  const Bytes bad[] = {
      {0xFF, 0xFB, 0x00, 0x00},  // free format
      {0xFF, 0xFB, 0xF0, 0x00},  // bitrate index 15
      {0xFF, 0xEB, 0x90, 0x00},  // reserved version
      {0xFF, 0xF9, 0x90, 0x00},  // reserved layer
      {0xFF, 0xFB, 0x9C, 0x00},  // sample-rate index 3
      {0xFF, 0xFB, 0x90, 0x02},  // emphasis 2
  };
  for (const auto& h : bad) {
    const std::string path = dir.file("bad.mp3");
    TempDir::Write(path, Frames(h, 417, 4));
    CSonavexCtrl c;
    EXPECT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatNone) << int(h[1]) << " " << int(h[2]) << " " << int(h[3]);
    EXPECT_EQ(c.m_MPEG.GetVersion(), u"Unknown");
    EXPECT_EQ(c.m_MPEG.GetChannels(), 0);
    EXPECT_EQ(c.m_MPEG.GetChannelMode(), u"Unknown");
    EXPECT_EQ(c.MPEGGetEmphasis(), u"Unknown");
    EXPECT_EQ(c.MPEGGetEncoder(), u"");
  }

  // A header without a follower is passed over; the confirmed pair wins.
  Bytes data(100, 0);
  data[10] = 0xFF, data[11] = 0xFB, data[12] = 0x90, data[13] = 0x00;
  const Bytes frames = Frames({0xFF, 0xFB, 0x90, 0x00}, 417, 3);
  data.insert(data.end(), frames.begin(), frames.end());
  const std::string lone = dir.file("lone.mp3");
  TempDir::Write(lone, data);
  CMPEG m;
  ASSERT_TRUE(ReadDirect(m, lone));
  EXPECT_EQ(m.m_nFirstFramePosition, 100);

  // A first frame in a later window: the audio counts from that window.
  Bytes late(5000, 0);
  const Bytes many = Frames({0xFF, 0xFB, 0x90, 0x00}, 417, 12);
  late.insert(late.end(), many.begin(), many.end());
  const std::string later = dir.file("later.mp3");
  TempDir::Write(later, late);
  ASSERT_TRUE(ReadDirect(m, later));
  EXPECT_EQ(m.m_nFirstFramePosition, 5000);
  EXPECT_EQ(m.m_nWindowStart, 2 * CMPEG::kWindowStep);
  EXPECT_EQ(m.GetFrames(), static_cast<int32_t>((late.size() - 2 * CMPEG::kWindowStep) / 417.0 + 0.9));

  // Frames beyond half the file are not looked for.
  Bytes far(20000, 0);
  const Bytes two = Frames({0xFF, 0xFB, 0x90, 0x00}, 417, 2);
  far.insert(far.end(), two.begin(), two.end());
  TempDir::Write(later, far);
  EXPECT_FALSE(ReadDirect(m, later));

  // A short file after a file with frames: only this file's bytes are
  // searched, nothing of the earlier window.
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("cbr128_stereo_noinfo.mp3"))), kFormatMPEG);
  const std::string shortFile = dir.file("short.mp3");
  TempDir::Write(shortFile, Bytes(200, 0));
  EXPECT_EQ(c.AUDIOAnalyzeFile(W(shortFile)), kFormatNone);
  // Confirming headers past the window's end are read from the file.
  // (Layer II, 384 kbit/s at 32 kHz with padding: 1729 bytes, at the last
  // position a window tests.)
  Bytes edge(1728, 0);
  const Bytes big = Frames({0xFF, 0xFD, 0xEA, 0x00}, 1729, 3);
  edge.insert(edge.end(), big.begin(), big.end());
  TempDir::Write(shortFile, edge);
  ASSERT_TRUE(ReadDirect(m, shortFile));
  EXPECT_EQ(m.m_nFirstFramePosition, 1728);
  EXPECT_EQ(m.m_nFrameSize, 1729);
}

TEST(Mpeg, FixturesAgreeWithMutagenAndFfprobe) {
  const std::vector<std::string> names = {
      "cbr128_stereo_noinfo.mp3", "cbr128_dual_noinfo.mp3", "cbr64_mono_noinfo.mp3", "cbr128_joint.mp3",
      "crc_stereo.mp3",           "crc_mpeg2_mono.mp3",     "mpeg2_22050.mp3",       "mpeg25_11025.mp3",
      "mpeg25_8000.mp3",          "layer2_192.mp2",         "layer2_crc_mono48.mp2", "vbr_v4.mp3",
      "vbr_mpeg2_mono.mp3",       "vbri.mp3",               "mpeg25_8000_info.mp3",
      "mpeg25_8000_16k_ffmpeg.mp3", "mpeg25_11025_24k_ffmpeg.mp3"};
  // The frames that lame's and ffmpeg's Info headers count.
  const std::map<std::string, int> infoFrames = {{"cbr128_joint.mp3", 21}, {"mpeg25_8000_info.mp3", 30},
                                                 {"mpeg25_8000_16k_ffmpeg.mp3", 30},
                                                 {"mpeg25_11025_24k_ffmpeg.mp3", 41}};
  const auto info = IndependentInfo(names);
  CSonavexCtrl c;
  for (const auto& n : names) {
    const Info& i = info.at(n);
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture(n))), kFormatMPEG) << n;
    EXPECT_EQ(c.AUDIOGetSampleRate(), i.rate) << n;
    EXPECT_EQ(c.AUDIOGetChannels(), i.channels) << n;
    ASSERT_TRUE(i.mode >= 0 && i.mode < 4) << n;
    EXPECT_EQ(c.AUDIOGetChannelMode(), kModeNames[i.mode]) << n;
    EXPECT_EQ(c.MPEGGetLayer(), i.layer == 3 ? u"Layer 3" : i.layer == 2 ? u"Layer 2" : u"Layer 1") << n;
    const std::u16string version = i.version == "1" ? u"MPEG 1.0" : i.version == "2" ? u"MPEG 2.0" : u"MPEG 2.5";
    EXPECT_EQ(c.AUDIOGetVersion(), version) << n;
    EXPECT_TRUE(c.AUDIOFormatIsValid()) << n;
    if (infoFrames.count(n)) {
      // The Info frame of a constant-rate stream: its frames less the
      // encoder's delay and padding, as mutagen counts them (ffprobe counts
      // the padded frames, the stream's bytes would count the Info frame too).
      EXPECT_NEAR(c.AUDIOGetDuration(), i.length, 1e-3) << n;
      EXPECT_FALSE(c.MPEGIsVBR()) << n;
      // The audio frames' bitrate, also where ffmpeg coded its Info frame at
      // a higher one (mutagen's figure is the bytes over the length).
      EXPECT_NEAR(c.AUDIOGetBitrate() * 1000, i.bitrate, 500) << n;
      EXPECT_EQ(c.AUDIOGetBitrate() * 1000, i.streamBitrate) << n;
      EXPECT_EQ(c.MPEGGetFrames(), infoFrames.at(n)) << n;
      continue;
    }
    // ffprobe counts a Xing or VBRI header's frames, else the stream bytes
    // at the header's bitrate, as the reader does.
    EXPECT_NEAR(c.AUDIOGetDuration(), i.duration, 0.002) << n;
    if (!c.MPEGIsVBR()) {
      EXPECT_EQ(c.AUDIOGetBitrate() * 1000, i.bitrate) << n;
    }
  }
}

TEST(Mpeg, XingAndVbriHeadersAndTheEncoder) {
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("vbr_v4.mp3"))), kFormatMPEG);
  EXPECT_EQ(Call(c, 212).number, -1);
  EXPECT_EQ(Call(c, 207).text, u"LAME 3.10");  // LAME3.100: version bytes 4..7
  const int32_t frames = Call(c, 210).number;
  EXPECT_NEAR(c.AUDIOGetDuration(), frames * 1152.0 / 44100, 1e-4);
  // The average bitrate matches the stream's bytes over its duration.
  const double average = (c.AUDIOGetFileSize() - 417) * 8.0 / c.AUDIOGetDuration() / 1000;
  EXPECT_NEAR(c.AUDIOGetBitrate(), average, 3.0);

  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("vbri.mp3"))), kFormatMPEG);
  EXPECT_TRUE(c.MPEGIsVBR());
  EXPECT_EQ(c.MPEGGetFrames(), 240);
  EXPECT_EQ(c.MPEGGetEncoder(), u"Unknown");
  EXPECT_EQ(c.AUDIOGetBitrate(), 128);  // 306 x 0.001 x 100000 / 240 + 0.5

  // A Xing header of 1000 frames and 417960 bytes, written by LAME3.90.
  TempDir dir;
  Bytes first = Frames({0xFF, 0xFB, 0x90, 0x00}, 417, 1);
  const size_t o = 36;
  std::memcpy(first.data() + o, "Xing", 4);
  first[o + 7] = 0x0F;                          // flags: frames, bytes, TOC, quality
  first[o + 10] = 0x03, first[o + 11] = 0xE8;    // frames 1000
  first[o + 13] = 0x06, first[o + 14] = 0x60, first[o + 15] = 0xA8;  // bytes 417960
  std::memcpy(first.data() + o + 120, "LAME3.90", 8);
  Bytes file = first;
  const Bytes rest = Frames({0xFF, 0xFB, 0x90, 0x00}, 417, 5);
  file.insert(file.end(), rest.begin(), rest.end());
  const std::string xing = dir.file("xing.mp3");
  TempDir::Write(xing, file);
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(xing)), kFormatMPEG);
  EXPECT_TRUE(c.MPEGIsVBR());
  EXPECT_EQ(c.MPEGGetFrames(), 1000);
  EXPECT_EQ(c.AUDIOGetBitrate(), 128);
  EXPECT_NEAR(c.AUDIOGetDuration(), 1000 * 1152.0 / 44100, 1e-3);
  EXPECT_EQ(c.MPEGGetEncoder(), u"LAME 3.90");

  // Walking every frame: all of one bitrate, so not VBR, and the figures
  // come from the audio bytes.
  c.SetMPEGAnalyzeAllFrames(true);
  EXPECT_EQ(Call(c, 171).number, -1);
  // Switched on without a new analysis: no walk has run yet.
  EXPECT_EQ(c.AUDIOGetDuration(), 0.0f);
  EXPECT_EQ(c.AUDIOGetBitrate(), 0);
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(xing)), kFormatMPEG);
  EXPECT_FALSE(c.MPEGIsVBR());
  EXPECT_EQ(c.MPEGGetFrames(), 6);
  EXPECT_EQ(c.AUDIOGetBitrate(), 128);

  // The real VBR stream: bitrates differ; the walk counts the audio frames,
  // as ffprobe does, not the frame that holds the Xing header.
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("vbr_v4.mp3"))), kFormatMPEG);
  EXPECT_TRUE(c.MPEGIsVBR());
  const std::string counted = RunCommand("ffprobe -v error -count_frames -select_streams a -show_entries "
                                         "stream=nb_read_frames -of csv=p=0 '" + Fixture("vbr_v4.mp3") + "'");
  EXPECT_EQ(c.MPEGGetFrames(), std::atoi(counted.c_str()));
  EXPECT_NEAR(c.AUDIOGetDuration(), c.MPEGGetFrames() * 1152.0 / 44100, 1e-3);
  // An Info-headed stream whose Info frame has another bitrate (ffmpeg's):
  // one bitrate over the audio frames, so not VBR.
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("mpeg25_11025_24k_ffmpeg.mp3"))), kFormatMPEG);
  EXPECT_FALSE(c.MPEGIsVBR());
  EXPECT_EQ(c.AUDIOGetBitrate(), 24);
  c.SetMPEGAnalyzeAllFrames(false);
}

TEST(Mpeg, HeaderBitChangesMatchWhatTheEncodersWrite) {
  // Each change on a CRC-protected file must give the first frame the header
  // and CRC that the encoder itself wrote with that option.
  struct Case {
    const char* source;
    int32_t dispid;
    int16_t value;
    const char* reference;
  } cases[] = {
      {"crc_stereo.mp3", 213, 1, "crc_stereo_copyright.mp3"},
      {"crc_mpeg2_mono.mp3", 214, 0, "crc_mpeg2_mono_copy.mp3"},
      {"layer2_crc_mono48.mp2", 215, 1, "layer2_crc_mono48_private.mp2"},
      {"crc_stereo_copyright.mp3", 213, 0, "crc_stereo.mp3"},
  };
  TempDir dir;
  for (const auto& k : cases) {
    const std::string path = Copy(dir, k.source);
    const Bytes before = TempDir::Read(path);
    const Bytes reference = TempDir::Read(Fixture(k.reference));
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    const bool copyright = c.MPEGIsCopyrighted();
    ASSERT_EQ(Call(c, k.dispid, {StrArg(W(path)), I2Arg(k.value)}).number, -1) << k.source;
    const Bytes after = TempDir::Read(path);
    EXPECT_EQ(Slice(after, 0, 6), Slice(reference, 0, 6)) << k.source;
    EXPECT_EQ(Slice(after, 6, after.size()), Slice(before, 6, before.size())) << k.source;
    EXPECT_EQ(c.MPEGIsCopyrighted(), copyright);  // not refreshed until analysed again
  }

  // Without CRC only the bit changes.
  const std::string plain = Copy(dir, "cbr128_stereo_noinfo.mp3");
  Bytes expect = TempDir::Read(plain);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(plain)), kFormatMPEG);
  EXPECT_FALSE(c.MPEGIsCopyrighted());
  ASSERT_TRUE(c.MPEGModifyCopyrightBit(W(plain), 7));
  expect[3] |= 0x08;
  EXPECT_EQ(TempDir::Read(plain), expect);
  EXPECT_FALSE(c.MPEGIsCopyrighted());
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(plain)), kFormatMPEG);
  EXPECT_TRUE(c.MPEGIsCopyrighted());
  ASSERT_TRUE(c.MPEGModifyPrivateBit(W(plain), 1));
  expect[2] |= 0x01;
  EXPECT_EQ(TempDir::Read(plain), expect);
  ASSERT_TRUE(c.MPEGModifyOriginalBit(W(plain), 0));
  expect[3] &= static_cast<uint8_t>(~0x04);
  EXPECT_EQ(TempDir::Read(plain), expect);
}

TEST(Mpeg, HeaderBitChangeFindsTheTargetFilesOwnFrame) {
  TempDir dir;
  const std::string tagged = Copy(dir, "cbr128_stereo_noinfo.mp3", "tagged.mp3");
  // An ID3v2 tag in front, written by mutagen.
  ASSERT_EQ(Python("import sys\nfrom mutagen.id3 import ID3, TIT2\nt = ID3()\nt.add(TIT2(text=['x' * 300]))\n"
                   "t.save(sys.argv[1])\nprint('ok')\n",
                   tagged),
            "ok\n");
  Bytes expect = TempDir::Read(tagged);
  const size_t audioAt = expect.size() - TempDir::Read(Fixture("cbr128_stereo_noinfo.mp3")).size();
  ASSERT_GT(audioAt, 300u);

  // The last analysis was of another file, without an ID3v2 tag.
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("tag_id3v1.mp3"))), kFormatMPEG);
  c.m_State.lastError = 0;
  ASSERT_TRUE(c.MPEGModifyCopyrightBit(W(tagged), 1));
  expect[audioAt + 3] |= 0x08;
  EXPECT_EQ(TempDir::Read(tagged), expect);
  // The module-wide sizes still describe the file analysed last.
  EXPECT_EQ(c.AUDIOGetFileSize(), int32_t(TempDir::Read(Fixture("tag_id3v1.mp3")).size()));
  EXPECT_TRUE(c.ID3V1Exists());

  // No frame: false, the error number unchanged; no file: its errno.
  const std::string empty = dir.file("empty.mp3");
  TempDir::Write(empty, Bytes(4000, 0));
  c.m_State.lastError = 0;
  EXPECT_FALSE(c.MPEGModifyCopyrightBit(W(empty), 1));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), 0);
  EXPECT_EQ(TempDir::Read(empty), Bytes(4000, 0));
  EXPECT_FALSE(c.MPEGModifyPrivateBit(W(dir.file("missing.mp3")), 1));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), ENOENT);
}
