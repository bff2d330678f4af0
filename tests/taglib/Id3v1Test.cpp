// The ID3v1 tag: reading (ID3v1.1 track rules, genres), the members through
// dispatch, saving and removing, checked against mutagen.
#include "ID3V1Tag.h"
#include "MpegTestSupport.h"

#include <cerrno>
#include <cstring>

using namespace sonavex;
using namespace mpegtest;

namespace {

// A 128-byte tag with the given comment bytes 28 and 29.
Bytes MakeTag(const char* title, uint8_t c28, uint8_t c29, uint8_t genre) {
  Bytes t(128, 0);
  std::memcpy(t.data(), "TAG", 3);
  std::memcpy(t.data() + 3, title, std::strlen(title));
  std::memcpy(t.data() + 97, "Comment here", 12);
  t[97 + 28] = c28;
  t[97 + 29] = c29;
  t[127] = genre;
  return t;
}

const char* const kMutagenV1 = R"(import sys
from mutagen.id3._id3v1 import ParseID3v1
data = open(sys.argv[1], 'rb').read()
frames = ParseID3v1(data[-128:])
for k in sorted(frames):
    print(k, repr(str(frames[k])))
)";

}  // namespace

TEST(Id3v1, ReadsMutagenTagDirectlyAndThroughTheAnalysis) {
  TagFile f;
  ASSERT_TRUE(f.Open(Fixture("tag_id3v1.mp3"), TagFile::Mode::Read));
  CID3V1Tag tag;
  ASSERT_TRUE(tag.Read(f));
  EXPECT_EQ(tag.State().id3v1Size, 128);
  EXPECT_EQ(tag.m_Record.title, u"Title One");
  EXPECT_EQ(tag.m_Record.artist, u"Artist One");
  EXPECT_EQ(tag.m_Record.album, u"Album One");
  EXPECT_EQ(tag.m_Record.year, u"1999");
  EXPECT_EQ(tag.m_Record.comment, u"A comment");
  EXPECT_EQ(tag.GetTrack(), u"7");
  EXPECT_EQ(tag.GetVersion(), u"1.1");
  EXPECT_EQ(tag.m_Record.GetGenre(), u"Trip-Hop");

  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("tag_id3v1.mp3"))), kFormatMPEG);
  EXPECT_EQ(Call(c, 231).number, -1);
  EXPECT_EQ(Call(c, 68).text, u"Title One");
  EXPECT_EQ(Call(c, 66).text, u"Artist One");
  EXPECT_EQ(Call(c, 65).text, u"Album One");
  EXPECT_EQ(Call(c, 70).text, u"1999");
  EXPECT_EQ(Call(c, 67).text, u"A comment");
  EXPECT_EQ(Call(c, 69).text, u"7");
  EXPECT_EQ(Call(c, 64).text, u"Trip-Hop");
  EXPECT_EQ(Call(c, 131).number, 27);
  EXPECT_EQ(Call(c, 232).text, u"1.1");
  // Only ID3v1 at the end: the generic strings come from it.
  EXPECT_EQ(c.GetAUDIOTitle(), u"Title One");
  EXPECT_EQ(c.GetAUDIOGenre(), u"Trip-Hop");
  EXPECT_EQ(c.GetAUDIOTrack(), u"7");

  // A file without the tag: nothing, and a short file has none either.
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("cbr128_stereo_noinfo.mp3"))), kFormatMPEG);
  EXPECT_EQ(Call(c, 231).number, 0);
  EXPECT_EQ(Call(c, 68).text, u"");
  EXPECT_EQ(Call(c, 232).text, u"1.0");
  TempDir dir;
  TempDir::Write(dir.file("short.mp3"), std::string("TAG") + std::string(60, 'x'));
  TagFile s;
  ASSERT_TRUE(s.Open(dir.file("short.mp3"), TagFile::Mode::Read));
  EXPECT_FALSE(tag.Read(s));
}

TEST(Id3v1, TrackAndCommentFollowTheV11Rules) {
  struct Case {
    uint8_t c28, c29;
    int track;
    const char16_t* version;
    size_t commentLength;
  } cases[] = {
      {0, 7, 7, u"1.1", 12},        // ID3v1.1 track 7
      {0, 0, 0, u"1.0", 12},        // no track
      {0x20, 'A', 'A', u"1.1", 30}, // a full comment ending in blank + character
      {0x20, 0x20, 0, u"1.0", 12},  // trailing blanks are trimmed
      {'x', 'y', 0, u"1.0", 30},
  };
  for (const auto& k : cases) {
    Bytes tag = MakeTag("T", k.c28, k.c29, 12);
    if (k.c28 != 0 && k.c28 != 0x20) std::memset(tag.data() + 97 + 12, 'c', 16);
    if (k.c28 == 0x20 && k.c29 != 0x20) std::memset(tag.data() + 97 + 12, 'c', 16);
    CID3V1Record r;
    r.Parse(tag.data());
    EXPECT_EQ(r.track, k.track) << int(k.c28) << "/" << int(k.c29);
    EXPECT_EQ(r.GetVersion(), k.version);
    EXPECT_EQ(r.comment.size(), k.commentLength);
  }
}

TEST(Id3v1, GenresAndTrackThroughTheMembers) {
  CSonavexCtrl c;
  EXPECT_EQ(Call(c, 275).number, 148);
  EXPECT_EQ(Call(c, 274, {I2Arg(0)}).text, u"Blues");
  EXPECT_EQ(Call(c, 274, {I2Arg(147)}).text, u"Synthpop");
  EXPECT_EQ(Call(c, 274, {I2Arg(-1)}).text, u"");
  EXPECT_EQ(Call(c, 274, {I2Arg(148)}).text, u"");

  struct {
    const char16_t* name;
    int id;
    const char16_t* back;
  } genres[] = {{u"trip-hop", 27, u"Trip-Hop"}, {u"Top 40", 255, u""}, {u"", 255, u""}, {u"SYNTHPOP", 147, u"Synthpop"}};
  for (const auto& g : genres) {
    ASSERT_EQ(Put(c, 64, StrArg(g.name)), AUTO_S_OK);
    EXPECT_EQ(Call(c, 131).number, g.id);
    EXPECT_EQ(Call(c, 64).text, g.back);
  }
  ASSERT_EQ(Put(c, 131, I2Arg(200)), AUTO_S_OK);
  EXPECT_EQ(Call(c, 131).number, 200);
  EXPECT_EQ(Call(c, 64).text, u"");
  ASSERT_EQ(Put(c, 131, I2Arg(0x1234)), AUTO_S_OK);  // the low 8 bits
  EXPECT_EQ(Call(c, 131).number, 0x34);

  struct {
    const char16_t* text;
    const char16_t* back;
    const char16_t* version;
  } tracks[] = {{u"300", u"44", u"1.1"}, {u"  12abc", u"12", u"1.1"}, {u"0", u"", u"1.0"},
                {u"-1", u"255", u"1.1"}, {u"abc", u"", u"1.0"}};
  for (const auto& t : tracks) {
    ASSERT_EQ(Put(c, 69, StrArg(t.text)), AUTO_S_OK);
    EXPECT_EQ(Call(c, 69).text, t.back) << std::string(t.text, t.text + 3).c_str();
    EXPECT_EQ(Call(c, 232).text, t.version);
  }
  // Texts are stored as given, whatever their length.
  const std::u16string longTitle(50, u'x');
  ASSERT_EQ(Put(c, 68, StrArg(longTitle)), AUTO_S_OK);
  EXPECT_EQ(Call(c, 68).text, longTitle);
}

TEST(Id3v1, SaveOverwritesOrAppendsAndMutagenReadsItBack) {
  TempDir dir;
  const std::string withTag = Copy(dir, "tag_id3v1.mp3");
  const std::string without = Copy(dir, "cbr128_stereo_noinfo.mp3");
  const Bytes audio = TempDir::Read(without);

  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(withTag)), kFormatMPEG);
  Put(c, 68, StrArg(u"A title that is longer than thirty characters"));
  Put(c, 66, StrArg(u"Café Artist"));
  Put(c, 67, StrArg(u"A comment of exactly thirty ch"));
  Put(c, 64, StrArg(u"house"));
  Put(c, 69, StrArg(u"12"));
  ASSERT_EQ(Call(c, 234, {StrArg(W(withTag))}).number, -1);
  Bytes after = TempDir::Read(withTag);
  ASSERT_EQ(after.size(), audio.size() + 128);  // overwritten in place
  EXPECT_EQ(Slice(after, 0, audio.size()), audio);
  // With a track the comment is cut to 28 characters.
  EXPECT_EQ(Python(kMutagenV1, withTag),
            "COMM 'A comment of exactly thirty'\nTALB 'Album One'\nTCON '35'\nTDRC '1999'\n"
            "TIT2 'A title that is longer than th'\nTPE1 'Café Artist'\nTRCK '12'\n");

  // Without a track the comment takes all 30 bytes; a file without a tag grows.
  Put(c, 69, StrArg(u"0"));
  ASSERT_EQ(Call(c, 234, {StrArg(W(without))}).number, -1);
  after = TempDir::Read(without);
  ASSERT_EQ(after.size(), audio.size() + 128);
  EXPECT_EQ(Slice(after, 0, audio.size()), audio);
  // (mutagen reads a full 30-byte comment's last byte as a track; the raw
  // bytes show what was written.)
  const std::string comment(after.end() - 31, after.end() - 1);
  EXPECT_EQ(comment, "A comment of exactly thirty ch");
  EXPECT_NE(Python(kMutagenV1, without).find("TPE1 'Café Artist'"), std::string::npos);

  ASSERT_EQ(c.AUDIOAnalyzeFile(W(without)), kFormatMPEG);
  EXPECT_EQ(c.GetID3V1Artist(), u"Café Artist");
  EXPECT_EQ(c.GetID3V1Genre(), u"House");
}

TEST(Id3v1, SaveRefusesOtherFormatsAndRemoveCutsOnlyTheTag) {
  TempDir dir;
  const std::string flac = dir.file("song.flac");
  std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES) + "/flac/bare.flac", flac);
  const Bytes flacBefore = TempDir::Read(flac);
  CSonavexCtrl c;
  Put(c, 68, StrArg(u"x"));
  EXPECT_EQ(Call(c, 234, {StrArg(W(flac))}).number, 0);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);
  EXPECT_EQ(TempDir::Read(flac), flacBefore);
  // A missing file is no MPEG file either.
  EXPECT_EQ(Call(c, 234, {StrArg(W(dir.file("missing.mp3")))}).number, 0);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);

  const std::string mp3 = Copy(dir, "tag_id3v1.mp3");
  const Bytes before = TempDir::Read(mp3);
  EXPECT_EQ(Call(c, 233, {StrArg(W(mp3))}).number, -1);
  EXPECT_EQ(TempDir::Read(mp3), Slice(before, 0, before.size() - 128));
  EXPECT_EQ(Call(c, 233, {StrArg(W(mp3))}).number, 0);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagMissing);
  EXPECT_EQ(TempDir::Read(mp3), Slice(before, 0, before.size() - 128));

  EXPECT_EQ(Call(c, 233, {StrArg(W(dir.file("missing.mp3")))}).number, 0);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), ENOENT);
  EXPECT_EQ(c.AUDIOGetLastErrorText(), u"No such file or directory");
}
