// The Musepack reader: hand-made stream version 7 and 7.1 headers checked
// against ffprobe, the profile names, the bit rate and the refusals.
#include "RunCommand.h"
#include "Bytes.h"
#include "MPP.h"
#include "MemberTable.h"
#include "Module.h"
#include "SonavexCtrl.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace sonavex;

namespace {

const std::string kDir = std::string(DJVP_TEST_FIXTURES) + "/mpp/";


bool ReadFile(CMPP& mpp, const std::string& path, int32_t id3v2Size = 0) {
  mpp.State() = FileState{};
  mpp.State().fileSize = static_cast<int32_t>(TempDir::Read(path).size());
  mpp.State().id3v2Size = id3v2Size;
  TagFile f;
  EXPECT_TRUE(f.Open(path, TagFile::Mode::Read)) << path;
  return mpp.Read(f);
}

std::vector<unsigned char> Header(uint8_t versionByte, uint32_t frames, uint32_t profile, uint32_t rateIndex,
                                  uint32_t midSide) {
  std::vector<unsigned char> b(32, 0);
  std::memcpy(b.data(), "MP+", 3);
  b[3] = versionByte;
  bytes::PutLE32(b.data() + 4, frames);
  bytes::PutLE32(b.data() + 8, (midSide << 30) | (profile << 20) | (rateIndex << 16));
  return b;
}

const automation::Member* Find(int32_t dispid) {
  for (int i = 0; i < kMemberCount; ++i)
    if (kMembers[i].info.dispid == dispid) return &kMembers[i];
  return nullptr;
}

class MppReader : public ::testing::Test {
 protected:

};

}  // namespace

// The fixtures' headers, with sample rate and duration as ffprobe reads them.
TEST_F(MppReader, FixtureHeaders) {
  struct Case {
    const char* file;
    int version;
    int frames;
    const char16_t* profile;
    const char16_t* mode;
  } cases[] = {
      {"sv7_standard_joint.mpc", 7, 100, u"Standard", u"Joint Stereo"},
      {"sv71_insane_48k.mpc", 71, 250, u"Insane", u"Stereo"},
      {"sv7_telephone_32k.mpc", 7, 40, u"Telephone", u"Joint Stereo"},
      {"sv7_tagged.mpc", 7, 100, u"Xtreme", u"Stereo"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = kDir + c.file;
    CMPP mpp;
    ASSERT_TRUE(ReadFile(mpp, path));
    std::istringstream probe(RunCommand(
        "ffprobe -v error -show_entries stream=sample_rate:format=duration -of default=nw=1:nk=1 '" + path + "'"));
    int rate = -1;
    double duration = -1;
    probe >> rate >> duration;
    EXPECT_TRUE(mpp.IsValid());
    EXPECT_EQ(mpp.GetStreamVersion(), c.version);
    EXPECT_EQ(mpp.GetFrames(), c.frames);
    EXPECT_EQ(mpp.GetVersion(), c.profile);
    EXPECT_EQ(mpp.GetChannelMode(), c.mode);
    EXPECT_EQ(mpp.GetChannels(), 2);
    EXPECT_EQ(mpp.GetSampleRate(), rate);
    EXPECT_NEAR(mpp.GetDuration(), duration, 1e-5);
    EXPECT_NEAR(mpp.GetDuration(), c.frames * 1152.0 / rate, 1e-5);
  }
}

// The bit rate: audio bytes without the ID3v2, APE and ID3v1 tags (the
// Lyrics3 block stays in), the rate in whole kHz, all in integers.
TEST_F(MppReader, Bitrate) {
  TempDir dir;
  const std::string path = dir.file("x.mpc");
  TempDir::Write(path, Header(0x07, 10000, 10, 0, 1));
  CMPP mpp;
  ASSERT_TRUE(ReadFile(mpp, path));
  EXPECT_NEAR(mpp.GetDuration(), 261.22, 0.005);
  mpp.State().fileSize = 5000000;
  EXPECT_EQ(mpp.GetBitrate(), 152);  // 5,000,000 x 44 x 8 div 10000 div 1152
  mpp.State().fileSize = 50000000;
  EXPECT_EQ(mpp.GetBitrate(), 1527);
  mpp.State().id3v2Size = 1000;
  mpp.State().apeSize = 2000;
  mpp.State().id3v1Size = 128;
  mpp.State().lyricsSize = 700;
  mpp.State().fileSize = 5000000 + 1000 + 2000 + 128;
  EXPECT_EQ(mpp.GetBitrate(), 152);
  // Tags larger than the file leave no audio, not a negative rate.
  mpp.State().fileSize = 100;
  EXPECT_EQ(mpp.GetBitrate(), 0);

  // The tagged fixture: 32 header bytes and 2500 of frames at 37800 Hz.
  ASSERT_TRUE(ReadFile(mpp, kDir + "sv7_tagged.mpc"));
  mpp.State().id3v1Size = 128;
  mpp.State().apeSize = mpp.State().fileSize - 2532 - 128;
  mpp.State().lyricsSize = 0;
  EXPECT_EQ(mpp.GetBitrate(), 2532 * 37 * 8 / 100 / 1152);
}

TEST_F(MppReader, ProfileNames) {
  const char16_t* names[16] = {u"Unknown",     u"Experimental", u"Unknown",  u"Unknown",  u"Unknown",  u"--quality 0",
                               u"--quality 1", u"Telephone",    u"Thumb",    u"Radio",    u"Standard", u"Xtreme",
                               u"Insane",      u"BrainDead",    u"--quality 9", u"--quality 10"};
  TempDir dir;
  const std::string path = dir.file("x.mpc");
  for (uint32_t profile = 0; profile < 16; ++profile) {
    TempDir::Write(path, Header(0x17, 10, profile, 0, 0));
    CMPP mpp;
    ASSERT_TRUE(ReadFile(mpp, path));
    EXPECT_EQ(mpp.GetVersion(), names[profile]) << profile;
  }
}

// "MP+" with a version byte other than 07 and 17: taken, but not valid and
// without frames or profile; the sample rate is still read.
TEST_F(MppReader, UnknownStreamVersion) {
  CMPP mpp;
  ASSERT_TRUE(ReadFile(mpp, kDir + "unknown_version.mpc"));
  EXPECT_FALSE(mpp.IsValid());
  EXPECT_EQ(mpp.GetStreamVersion(), 0);
  EXPECT_EQ(mpp.GetFrames(), 0);
  EXPECT_EQ(mpp.GetVersion(), u"Unknown");
  EXPECT_EQ(mpp.GetDuration(), 0.0f);
  EXPECT_EQ(mpp.GetBitrate(), 0);
  EXPECT_EQ(mpp.GetChannelMode(), u"Joint Stereo");
  EXPECT_EQ(mpp.GetChannels(), 2);
  EXPECT_EQ(mpp.GetSampleRate(), 44100);
}

TEST_F(MppReader, OffsetRefusalsAndHugeFrameCounts) {
  TempDir dir;
  const std::string path = dir.file("x.mpc");
  // After an ID3v2 tag.
  auto tagged = std::vector<unsigned char>(200, 'x');
  const auto h = Header(0x07, 0xFFFFFFFFu, 13, 1, 0);
  tagged.insert(tagged.end(), h.begin(), h.end());
  TempDir::Write(path, tagged);
  CMPP mpp;
  ASSERT_TRUE(ReadFile(mpp, path, 200));
  EXPECT_EQ(mpp.GetVersion(), u"BrainDead");
  // A count past the 32-bit signed range saturates and stays positive; the
  // three years of audio it stands for are no real file's: not valid, and
  // no such duration is reported.
  EXPECT_EQ(mpp.GetFrames(), INT32_MAX);
  EXPECT_FALSE(mpp.IsValid());
  EXPECT_EQ(mpp.GetDuration(), 0.0f);
  EXPECT_GE(mpp.GetBitrate(), 0);

  for (const std::string& bytes : {std::string("MP"), std::string("MPCK\x07", 5), std::string()}) {
    TempDir::Write(path, bytes);
    EXPECT_FALSE(ReadFile(mpp, path));
    EXPECT_FALSE(mpp.IsValid());
    EXPECT_EQ(mpp.GetFrames(), 0);
    EXPECT_EQ(mpp.GetSampleRate(), 0);
    EXPECT_EQ(mpp.GetDuration(), 0.0f);
    EXPECT_EQ(mpp.GetChannelMode(), u"Unknown");
  }
}

TEST_F(MppReader, MembersByDispatchNumber) {
  CSonavexCtrl c;
  const auto* frames = Find(216);
  const auto* version = Find(217);
  ASSERT_TRUE(frames && version);
  AutoVariant r{};
  ASSERT_EQ(frames->call(&c, nullptr, 0, &r), 0);
  EXPECT_EQ(r.vt, AUTO_VT_I4);
  EXPECT_EQ(r.u.i4, 0);
  ASSERT_EQ(version->call(&c, nullptr, 0, &r), 0);
  EXPECT_EQ(r.vt, AUTO_VT_I2);
  EXPECT_EQ(r.u.i2, 0);
  ASSERT_TRUE(ReadFile(c.m_MPP, kDir + "sv71_insane_48k.mpc"));
  ASSERT_EQ(frames->call(&c, nullptr, 0, &r), 0);
  EXPECT_EQ(r.u.i4, 250);
  ASSERT_EQ(version->call(&c, nullptr, 0, &r), 0);
  EXPECT_EQ(r.u.i2, 71);
}

// Through the analysis: the APE tag (tried before ID3v1) gives the generic
// strings, and the bit rate leaves both tags out.
TEST_F(MppReader, Analysis) {
  CSonavexCtrl c;
  EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "sv7_tagged.mpc")), kFormatMPP);
  EXPECT_EQ(c.GetAUDIOTitle(), u"Musepack Title");
  EXPECT_EQ(c.m_State.id3v1Size, 128);
  EXPECT_GT(c.m_State.apeSize, 0);
  EXPECT_EQ(c.AUDIOGetBitrate(), 2532 * 37 * 8 / 100 / 1152);
  EXPECT_EQ(c.AUDIOGetChannels(), 2);
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Stereo");
  EXPECT_EQ(c.AUDIOGetVersion(), u"Xtreme");
  EXPECT_EQ(c.AUDIOGetSampleRate(), 37800);
  EXPECT_TRUE(c.AUDIOFormatIsValid());
  EXPECT_EQ(c.MPPGetStreamVersion(), 7);

  EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "unknown_version.mpc")), kFormatMPP);
  EXPECT_FALSE(c.AUDIOFormatIsValid());
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Joint Stereo");
  EXPECT_EQ(c.AUDIOGetVersion(), u"Unknown");
  EXPECT_EQ(c.AUDIOGetDuration(), 0.0f);
  EXPECT_EQ(c.MPPGetFrames(), 0);
}

// The generic save puts an ID3v2 tag in front: the stream header is found
// behind it and the stream stays byte for byte.
TEST_F(MppReader, GenericSaveKeepsTheStream) {
  TempDir dir;
  const std::string path = dir.file("song.mpc");
  const auto original = TempDir::Read(kDir + "sv7_standard_joint.mpc");
  TempDir::Write(path, original);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(path)), kFormatMPP);
  c.SetAUDIOTitle(u"Saved Title");
  ASSERT_TRUE(c.AUDIOSaveChangesToFile(FromUtf8(path)));

  CSonavexCtrl again;
  ASSERT_EQ(again.AUDIOAnalyzeFile(FromUtf8(path)), kFormatMPP);
  ASSERT_GT(again.m_State.id3v2Size, 0);
  const auto saved = TempDir::Read(path);
  EXPECT_EQ(std::vector<unsigned char>(saved.begin() + again.m_State.id3v2Size, saved.end()), original);
  EXPECT_EQ(again.GetAUDIOTitle(), u"Saved Title");
  EXPECT_EQ(again.MPPGetFrames(), 100);
  EXPECT_EQ(again.AUDIOGetChannelMode(), u"Joint Stereo");
  EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import sys, mutagen.id3 as i; print(i.ID3(sys.argv[1])['TIT2'].text[0])\" '" +
                       path + "'"),
            "Saved Title\n");
}
