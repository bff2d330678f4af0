// The Lyrics3 block: versions 1 and 2, damaged sizes, saving as version 2 in
// front of the ID3v1 tag, removing, and living beside an APE tag.
#include "LyricsTag.h"
#include "MpegTestSupport.h"

#include <cstring>

using namespace sonavex;
using namespace mpegtest;

namespace {

const size_t kAudio = 8777;  // size of cbr128_stereo_noinfo.mp3, the audio of the tag fixtures

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The audio and ID3v1 tag of the fixtures.
Bytes Audio() { return TempDir::Read(Fixture("cbr128_stereo_noinfo.mp3")); }
Bytes ID3v1() {
  const Bytes t = TempDir::Read(Fixture("tag_id3v1.mp3"));
  return Slice(t, t.size() - 128, 128);
}

const char* const kMutagenTags = R"(import sys
from mutagen.mp3 import MP3
from mutagen.apev2 import APEv2
t = MP3(sys.argv[1]).tags
print('v1', t['TIT2'] if t else None)
try:
    print('ape', APEv2(sys.argv[1])['Title'])
except Exception as e:
    print('ape none')
)";

}  // namespace

TEST(Lyrics, ReadsVersion2AndVersion1Blocks) {
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("tag_lyrics2_id3v1.mp3"))), kFormatMPEG);
  const int32_t fileSize = c.AUDIOGetFileSize();
  EXPECT_EQ(Call(c, 235).number, -1);
  EXPECT_EQ(Call(c, 238).text, u"2.00");
  EXPECT_EQ(Call(c, 237).number, int32_t(kAudio));
  EXPECT_EQ(Call(c, 236).number, fileSize - 128 - 15 - int32_t(kAudio));
  EXPECT_EQ(Call(c, 76).text, u"11");
  EXPECT_EQ(Call(c, 78).text, u"line one\r\nline two");  // after the unknown XYZ field
  EXPECT_EQ(Call(c, 71).text, u"Lyr Album");
  EXPECT_EQ(Call(c, 72).text, u"Lyr Artist");
  EXPECT_EQ(Call(c, 79).text, u"Lyr Title");
  EXPECT_EQ(Call(c, 74).text, u"Rock");
  EXPECT_EQ(Call(c, 73).text, u"Writer");
  EXPECT_EQ(Call(c, 77).text, u"Info");
  EXPECT_EQ(Call(c, 75).text, u"cover.jpg");
  // ID3v1 comes before Lyrics3 for the generic strings.
  EXPECT_EQ(c.GetAUDIOTitle(), u"Title One");
  // The MPEG figures leave the block out of the audio.
  EXPECT_EQ(c.MPEGGetFrames(), 21);

  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("tag_lyrics1_id3v1.mp3"))), kFormatMPEG);
  EXPECT_EQ(Call(c, 238).text, u"1.00");
  EXPECT_EQ(Call(c, 236).number, 10);  // the lyrics text alone
  EXPECT_EQ(Call(c, 237).number, int32_t(kAudio));
  EXPECT_EQ(Call(c, 78).text, u"Old lyrics");

  // A file without a block leaves 205 behind; a file shorter than 137 bytes
  // leaves the error number as it was.
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("tag_id3v1.mp3"))), kFormatMPEG);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagMissing);
  EXPECT_EQ(Call(c, 235).number, 0);
  EXPECT_EQ(Call(c, 238).text, u"");
  TempDir dir;
  TempDir::Write(dir.file("tiny.mp3"), std::string(136, 'L'));
  TagFile f;
  ASSERT_TRUE(f.Open(dir.file("tiny.mp3"), TagFile::Mode::Read));
  CLyricsTag tag;
  tag.State().lastError = 42;
  EXPECT_FALSE(tag.Read(f));
  EXPECT_EQ(tag.State().lastError, 42);
}

TEST(Lyrics, Version1IsFoundOnlyWithinItsWindow) {
  TempDir dir;
  for (size_t length : {size_t{5089}, size_t{5090}}) {
    const std::string path = dir.file("v1.mp3");
    TempDir::Write(path, Cat({Audio(), B("LYRICSBEGIN"), Bytes(length, 'a'), B("LYRICSEND"), ID3v1()}));
    TagFile f;
    ASSERT_TRUE(f.Open(path, TagFile::Mode::Read));
    CLyricsTag tag;
    tag.Read(f);
    EXPECT_EQ(tag.State().lyricsSize, length == 5089 ? 5089 : 0);
    EXPECT_EQ(tag.m_strFields[CLyricsTag::kLYR].size(), length == 5089 ? 5089u : 0u);
    // A block whose start cannot be found is never cut out.
    const Bytes before = TempDir::Read(path);
    EXPECT_EQ(tag.RemoveTagFromFile(W(path)), length == 5089);
    if (length == 5090) {
      EXPECT_EQ(TempDir::Read(path), before);
    }
  }
}

TEST(Lyrics, DamagedSizesStayInsideTheBlock) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string block;  // without the ID3v1 tag
    const char16_t* lyrics;
    const char16_t* title;
    bool found;
  } cases[] = {
      {"size past the file", "LYRICSBEGININD00001x999999LYRICS200", u"", u"", false},
      {"size below LYRICSBEGIN", "LYRICSBEGININD00001x000005LYRICS200", u"", u"", false},
      {"no LYRICSBEGIN", "LYRICSBEGXNIND00001x000020LYRICS200", u"", u"", false},
      {"field past the block", "LYRICSBEGINETT00002abLYR99999abc000032LYRICS200", u"abc", u"ab", true},
      {"negative field size", "LYRICSBEGININD-0001ETT00002ab000029LYRICS200", u"", u"", true},
      {"field header cut", "LYRICSBEGINETT00002abLY000023LYRICS200", u"", u"ab", true},
  };
  for (const auto& k : cases) {
    const std::string path = dir.file("damaged.mp3");
    TempDir::Write(path, Cat({Audio(), B(k.block), ID3v1()}));
    const Bytes before = TempDir::Read(path);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG) << k.name;
    EXPECT_EQ(c.LYRICSExists(), k.found) << k.name;
    EXPECT_EQ(c.GetLYRICSLyrics(), k.lyrics) << k.name;
    EXPECT_EQ(c.GetLYRICSTitle(), k.title) << k.name;
    if (!k.found) {
      // Removal refuses; a save puts a new block in front of the ID3v1 tag
      // and keeps the damaged bytes as they were.
      EXPECT_FALSE(c.LYRICSRemoveTagFromFile(W(path))) << k.name;
      EXPECT_EQ(TempDir::Read(path), before) << k.name;
      c.SetLYRICSTitle(u"New");
      ASSERT_TRUE(c.LYRICSSaveChangesToFile(W(path))) << k.name;
      const Bytes after = TempDir::Read(path);
      EXPECT_EQ(Slice(after, 0, before.size() - 128), Slice(before, 0, before.size() - 128)) << k.name;
      ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
      EXPECT_EQ(c.GetLYRICSTitle(), u"New") << k.name;
    }
  }
}

TEST(Lyrics, SaveWritesVersion2InFrontOfTheID3v1Tag) {
  TempDir dir;
  const std::string path = Copy(dir, "tag_id3v1.mp3");
  const Bytes before = TempDir::Read(path);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  ASSERT_EQ(Put(c, 76, StrArg(u"x")), AUTO_S_OK);
  ASSERT_EQ(Call(c, 240, {StrArg(W(path))}).number, -1);
  EXPECT_EQ(Call(c, 236).number, 20);
  EXPECT_EQ(Call(c, 238).text, u"2.00");
  const Bytes after = TempDir::Read(path);
  EXPECT_EQ(after, Cat({Audio(), B("LYRICSBEGININD00001x000020LYRICS200"), ID3v1()}));
  EXPECT_EQ(Python(kMutagenTags, path), "v1 Title One\nape none\n");

  // Saving again replaces the block: no second block is stacked.
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  c.SetLYRICSLyrics(u"La la\r\nlaa");
  c.SetLYRICSIndication(u"");
  c.SetLYRICSArtist(u"Zoë");
  ASSERT_TRUE(c.LYRICSSaveChangesToFile(W(path)));
  const Bytes again = TempDir::Read(path);
  EXPECT_EQ(again, Cat({Audio(), B("LYRICSBEGINLYR00010La la\r\nlaaEAR00003Zo\xEB" "000040LYRICS200"), ID3v1()}));
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  EXPECT_EQ(c.GetLYRICSArtist(), u"Zoë");
  EXPECT_EQ(c.GetLYRICSIndication(), u"");

  // Remove: the ID3v1 tag follows the audio again, byte for byte.
  ASSERT_EQ(Call(c, 239, {StrArg(W(path))}).number, -1);
  EXPECT_EQ(TempDir::Read(path), before);
  EXPECT_EQ(Call(c, 235).number, 0);
  EXPECT_EQ(Call(c, 76).text, u"");
  EXPECT_EQ(Call(c, 239, {StrArg(W(path))}).number, 0);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagMissing);
}

TEST(Lyrics, SaveRefusesWithoutID3v1OrInAnotherFormat) {
  TempDir dir;
  const std::string path = Copy(dir, "cbr128_stereo_noinfo.mp3");
  const Bytes before = TempDir::Read(path);
  CSonavexCtrl c;
  c.SetLYRICSTitle(u"x");
  EXPECT_FALSE(c.LYRICSSaveChangesToFile(W(path)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrLyricsNeedsID3V1);
  EXPECT_EQ(c.AUDIOGetLastErrorText(), u"ID3v1-Tag missing! Must be present before you can save a Lyrics-Tag!");
  EXPECT_EQ(TempDir::Read(path), before);

  const std::string flac = dir.file("song.flac");
  std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES) + "/flac/bare.flac", flac);
  const Bytes flacBefore = TempDir::Read(flac);
  EXPECT_FALSE(c.LYRICSSaveChangesToFile(W(flac)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);
  EXPECT_EQ(TempDir::Read(flac), flacBefore);
}

TEST(Lyrics, LivesBehindAnAPETag) {
  // audio, APE, Lyrics3, ID3v1: both tags are read, and each save or removal
  // keeps the other in place (mutagen finds the APE tag there too).
  TempDir dir;
  const std::string path = Copy(dir, "tag_ape_lyrics2_id3v1.mp3");
  const Bytes before = TempDir::Read(path);
  const Bytes ape = Slice(before, kAudio, TempDir::Read(Fixture("tag_ape_only.mp3")).size() - kAudio);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  EXPECT_TRUE(c.APEExists());
  EXPECT_TRUE(c.LYRICSExists());
  EXPECT_EQ(c.GetAPETitle(), u"Only Ape");
  EXPECT_EQ(c.GetLYRICSTitle(), u"Lyr Title");
  EXPECT_EQ(c.LYRICSGetStartPosition(), int32_t(kAudio + ape.size()));

  c.SetLYRICSTitle(u"Changed");
  ASSERT_TRUE(c.LYRICSSaveChangesToFile(W(path)));
  EXPECT_EQ(Slice(TempDir::Read(path), 0, kAudio + ape.size()), Cat({Audio(), ape}));
  EXPECT_EQ(Python(kMutagenTags, path), "v1 Title One\nape Only Ape\n");

  ASSERT_TRUE(c.LYRICSRemoveTagFromFile(W(path)));
  EXPECT_EQ(TempDir::Read(path), Cat({Audio(), ape, ID3v1()}));
  EXPECT_EQ(Python(kMutagenTags, path), "v1 Title One\nape Only Ape\n");
}
