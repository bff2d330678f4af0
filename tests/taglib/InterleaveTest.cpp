// Several controls side by side (the main window's, the tag editor's): each
// keeps the layout, the figures and the last error of its own file while
// another one analyses and saves a different file.
#include "MpegTestSupport.h"

#include <gtest/gtest.h>

using namespace sonavex;

namespace {

struct Song {
  const char* area;
  const char* fixture;
  const char* as;
  int16_t format;
};

const Song kSongs[] = {
    {"flac", "padded.flac", "a.flac", kFormatFLAC},          {"ogg", "long.ogg", "a.ogg", kFormatOGG},
    {"id3v2", "v24_full.mp3", "a.mp3", kFormatMPEG},        {"wma", "typed.wma", "a.wma", kFormatWMA},
    {"monkey", "new_3990_tagged.ape", "a.ape", kFormatMonkey}, {"mpp", "sv7_tagged.mpc", "a.mpc", kFormatMPP},
};

struct Figures {
  int16_t format;
  float duration;
  int32_t bitrate, rate, channels, size, id3v2, id3v1;
  bool ape, valid;
  std::u16string title;
  bool operator==(const Figures&) const = default;
};

Figures FiguresOf(CSonavexCtrl& c) {
  return {c.m_nFormat,         c.AUDIOGetDuration(), c.AUDIOGetBitrate(), c.AUDIOGetSampleRate(),
          c.AUDIOGetChannels(), c.AUDIOGetFileSize(), c.ID3V2GetSize(),     c.ID3V1Exists(),
          c.APEExists(),        c.AUDIOFormatIsValid(), c.GetAUDIOTitle()};
}

std::string Place(const TempDir& dir, const Song& s, const std::string& prefix) {
  const std::string path = dir.file(prefix + s.as);
  std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES) + "/" + s.area + "/" + s.fixture, path);
  return path;
}

}  // namespace

TEST(Controls, InterleavedAnalysesAndSavesKeepEachControlsOwnFile) {
  for (const Song& first : kSongs) {
    for (const Song& second : kSongs) {
      if (&first == &second) continue;
      SCOPED_TRACE(std::string(first.as) + " beside " + second.as);
      TempDir dir;
      const std::string a = Place(dir, first, "1");
      const std::string b = Place(dir, second, "2");

      CSonavexCtrl one, two;
      ASSERT_EQ(one.AUDIOAnalyzeFile(FromUtf8(a)), first.format);
      const Figures oneBefore = FiguresOf(one);
      ASSERT_EQ(two.AUDIOAnalyzeFile(FromUtf8(b)), second.format);
      const Figures twoBefore = FiguresOf(two);
      // The second analysis changed nothing of the first control's.
      EXPECT_EQ(FiguresOf(one), oneBefore);

      // Saves interleave: each control writes its own file with its own layout.
      one.SetAUDIOTitle(u"First title");
      two.SetAUDIOTitle(u"Second title");
      EXPECT_TRUE(one.AUDIOSaveChangesToFile(FromUtf8(a))) << one.AUDIOGetLastErrorNumber();
      EXPECT_TRUE(two.AUDIOSaveChangesToFile(FromUtf8(b))) << two.AUDIOGetLastErrorNumber();

      // A failure of one control is not the other's last error.
      EXPECT_FALSE(two.AUDIOSaveChangesToFile(FromUtf8(dir.file("missing.mp3"))));
      EXPECT_NE(two.AUDIOGetLastErrorNumber(), 0);
      EXPECT_EQ(one.AUDIOGetLastErrorNumber(), 0);

      // Each file reads back with its own title and its figures.
      CSonavexCtrl check;
      ASSERT_EQ(check.AUDIOAnalyzeFile(FromUtf8(a)), first.format);
      EXPECT_EQ(check.GetAUDIOTitle(), u"First title");
      EXPECT_EQ(check.AUDIOGetDuration(), oneBefore.duration);
      EXPECT_EQ(check.AUDIOGetSampleRate(), oneBefore.rate);
      ASSERT_EQ(check.AUDIOAnalyzeFile(FromUtf8(b)), second.format);
      EXPECT_EQ(check.GetAUDIOTitle(), u"Second title");
      EXPECT_EQ(check.AUDIOGetDuration(), twoBefore.duration);
      EXPECT_EQ(check.AUDIOGetSampleRate(), twoBefore.rate);
    }
  }
}
