// The frame members of the ID3v2 tag in memory: text and URL frames, the
// lists (comments, lyrics, user frames, user texts, user URLs), synchronised
// lyrics and pictures, with their numbering, payload layouts and errors.
#include "ID3V2Tag.h"
#include "Id3v2TestSupport.h"
#include "Module.h"
#include "SonavexCtrl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string_view>

using namespace sonavex;
using namespace id3test;
using namespace std::string_literals;
using namespace std::string_view_literals;

namespace {

std::string Frame3(const std::string& id, const std::string& body) {
  const size_t n = body.size();
  return id + std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + std::string(2, '\0') + body;
}
std::string Frame2(const std::string& id, const std::string& body) {
  const size_t n = body.size();
  return id + std::string{char(n >> 16), char(n >> 8), char(n)} + body;
}
// A tag of the given version around the frames, with some padding.
std::string Tag(int version, const std::string& frames) {
  const size_t n = frames.size() + 16;
  return std::string("ID3") + char(version) + std::string(2, '\0') +
         std::string{char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)} + frames +
         std::string(16, '\0');
}
std::string L(const std::string& s) { return std::string("\0", 1) + s; }  // encoding 0 text

// Loads a tag made of bytes into tag.
void Load(CID3V2Tag& tag, const TempDir& dir, const std::string& bytes) {
  const std::string path = dir.file("t.mp3");
  TempDir::Write(path, bytes + std::string(64, '\x55'));
  TagFile f;
  ASSERT_TRUE(f.Open(path, TagFile::Mode::Read));
  ASSERT_TRUE(tag.Read(f));
}

std::vector<uint8_t> PayloadOf(CID3V2Tag& tag, const char (&id)[5], int n = 0) {
  const int slot = tag.FindFrame(ID3V2FrameId(id), n);
  if (slot < 0) return {};
  const auto& p = tag.Slot(slot).payload;
  return std::vector<uint8_t>(p.GetData(), p.GetData() + p.GetLength());
}
std::vector<uint8_t> B(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace

TEST(Id3v2Frames, TextAndUrlFrames) {
  TempDir dir;
  CID3V2Tag tag;
  const std::string twoTexts = std::string("\0First\0Second", 13);
  Load(tag, dir,
       Tag(3, Frame3("TPE1", std::string("\1\xFE\xFF\0A\0r\0t", 9)) + Frame3("TCON", L("Rock")) +
                  Frame3("TIT2", twoTexts) + Frame3("TCON", L("Pop")) + Frame3("WOAR", "http://a.example/\xE9") +
                  Frame3("TALB", std::string("\1AB", 3))));
  const int used = tag.SlotsInUse();
  EXPECT_EQ(tag.GetArtist(), u"Art");       // big-endian byte-order mark
  EXPECT_EQ(tag.GetTitle(), u"First\0Second"sv);  // a list reads as all its texts
  EXPECT_EQ(tag.GetGenre(), u"Rock");       // only the first frame of an id
  EXPECT_EQ(tag.GetArtistURL(), u"http://a.example/\u00e9");
  EXPECT_EQ(tag.GetAlbum(), u"");           // encoding 1 without byte-order mark
  EXPECT_EQ(tag.SlotsInUse(), used);        // reading changes nothing

  // Written back as UTF-16 little-endian with its mark.
  ASSERT_TRUE(tag.SetArtist(u"Art"));
  EXPECT_EQ(PayloadOf(tag, "TPE1"), B(std::string("\1\xFF\xFE" "A\0r\0t\0", 9)));
  // The same value twice leaves one frame.
  ASSERT_TRUE(tag.SetArtist(u"Art"));
  EXPECT_EQ(tag.CountFrames(ID3V2FrameId("TPE1")), 1);
  // An empty text removes every frame of the id.
  ASSERT_TRUE(tag.SetGenre(u""));
  EXPECT_EQ(tag.CountFrames(ID3V2FrameId("TCON")), 0);
  // URLs are single-byte text.
  ASSERT_TRUE(tag.SetPaymentURL(u"http://pay.example/\u00fc"));
  EXPECT_EQ(PayloadOf(tag, "WPAY"), B("http://pay.example/\xFC"));
  EXPECT_EQ(tag.GetPaymentURL(), u"http://pay.example/\u00fc");
}

// A text frame of several strings, in each encoding and as other writers
// end or mark them, reads as all its values (U+0000 between them); several
// values are written as strings ended by a zero character, each with its
// byte-order mark, and read back as they were given.
TEST(Id3v2Frames, TextFramesOfSeveralValues) {
  const std::string be = std::string("\0O\0n\0e\0\0\0T\0w\0o", 14);  // "One", "Two" in UTF-16 big-endian
  struct Case {
    const char* name;
    std::string payload;
    std::u16string_view read;
  } cases[] = {
      {"single-byte", std::string("\0One\0Tw\xF6", 8), u"One\0Tw\u00F6"sv},
      {"UTF-8, ended by a zero", std::string("\3One\0Tw\xC3\xB6\0", 10), u"One\0Tw\u00F6"sv},
      {"UTF-16, a mark on each string", std::string("\1\xFF\xFEO\0n\0e\0\0\0\xFE\xFF", 13) + be.substr(8),
       u"One\0Two"sv},
      {"UTF-16, a mark on the first string only", std::string("\1\xFF\xFEO\0n\0e\0\0\0T\0w\0o\0", 17), u"One\0Two"sv},
      {"UTF-16 big-endian", "\2" + be, u"One\0Two"sv},
      {"empty strings and padding", std::string("\0\0One\0\0Two\0\0\0", 13), u"One\0Two"sv},
      {"UTF-16 without any mark", std::string("\1O\0n\0e\0", 7), u""sv},
  };
  TempDir dir;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    CID3V2Tag tag;
    Load(tag, dir, Tag(4, Frame3("TPE1", k.payload)));
    EXPECT_EQ(tag.GetArtist(), k.read);
  }

  CID3V2Tag tag;
  ASSERT_TRUE(tag.SetArtist(u"\0One\0\0Tw\u00F6\0"s));
  EXPECT_EQ(PayloadOf(tag, "TPE1"), B(std::string("\1\xFF\xFEO\0n\0e\0\0\0\xFF\xFET\0w\0\xF6\0", 19)));
  EXPECT_EQ(tag.GetArtist(), u"One\0Tw\u00F6"sv);
  // Separators alone are no value: the field goes.
  ASSERT_TRUE(tag.SetArtist(u"\0"s));
  EXPECT_EQ(tag.CountFrames(ID3V2FrameId("TPE1")), 0);
}

TEST(Id3v2Frames, Version22TextFramesUseThreeCharacterIds) {
  TempDir dir;
  CID3V2Tag tag;
  Load(tag, dir, Tag(2, Frame2("TT2", L("Two")) + Frame2("TOR", L("1987"))));
  EXPECT_EQ(tag.GetTitle(), u"Two");
  EXPECT_EQ(tag.GetRecordingTime(), u"1987");  // TOR, not TYE
  ASSERT_TRUE(tag.SetTitle(u"Changed"));
  EXPECT_EQ(tag.Slot(0).id, ID3V2FrameId("TT2"));
  const int used = tag.SlotsInUse();
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.SetPaymentURL(u"http://x"));
  EXPECT_EQ(tag.State().lastError, kErrUnsupportedFrame);
  EXPECT_EQ(tag.SlotsInUse(), used);
}

TEST(Id3v2Frames, CommentNumberingReplacingAddingDeleting) {
  TempDir dir;
  CID3V2Tag tag;
  auto comm = [](const char* lang, const std::string& text) { return Frame3("COMM", std::string("\0", 1) + lang + std::string("\0", 1) + text); };
  Load(tag, dir, Tag(3, Frame3("TIT2", L("T")) + comm("ENG", "one") + comm("PEA", "-3") + comm("SMP", "12")));
  EXPECT_EQ(tag.GetCommentCount(), 3);
  EXPECT_EQ(tag.GetCommentLanguage(2), u"PEA");

  ASSERT_TRUE(tag.SetComment(2, u"PEA", u"", u"-4"));  // replaced in its place
  EXPECT_EQ(tag.GetCommentLanguage(2), u"PEA");
  EXPECT_EQ(tag.GetComment(2), u"-4");
  ASSERT_TRUE(tag.SetComment(4, u"EMP", u"", u"99"));  // added as the fourth
  EXPECT_EQ(tag.GetCommentCount(), 4);
  EXPECT_EQ(tag.GetCommentLanguage(4), u"EMP");

  // The comment layout: language, empty description (with its byte-order
  // mark, which ffmpeg insists on), text with mark and terminator.
  ASSERT_TRUE(tag.SetComment(3, u"PEA", u"", u"12"));
  EXPECT_EQ(PayloadOf(tag, "COMM", 2), B(std::string("\1PEA\xFF\xFE\0\0\xFF\xFE" "1\0" "2\0\0\0", 16)));

  // An empty text deletes whatever the language: the next one moves up.
  ASSERT_TRUE(tag.SetComment(1, u"XX", u"", u""));
  EXPECT_EQ(tag.GetCommentCount(), 3);
  EXPECT_EQ(tag.GetCommentLanguage(1), u"PEA");

  // A gap before the comments takes the next new comment: it becomes number 1.
  ASSERT_TRUE(tag.SetTitle(u""));
  ASSERT_TRUE(tag.SetComment(4, u"SDE", u"d", u"effects"));
  EXPECT_EQ(tag.GetCommentLanguage(1), u"SDE");
  EXPECT_EQ(tag.GetCommentDescription(1), u"d");
  EXPECT_EQ(tag.GetCommentLanguage(2), u"PEA");

  // An empty text with a number that names no item adds an empty comment,
  // here into the gap the first deletion left: it becomes number 2.
  ASSERT_TRUE(tag.SetComment(9, u"ENG", u"", u""));
  EXPECT_EQ(tag.GetCommentCount(), 5);
  EXPECT_EQ(tag.GetCommentLanguage(2), u"ENG");
  EXPECT_EQ(tag.GetComment(2), u"");
  EXPECT_EQ(tag.GetCommentLanguage(3), u"PEA");

  // A language of two letters is refused; nothing changes.
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.SetComment(1, u"EN", u"", u"x"));
  EXPECT_EQ(tag.State().lastError, kErrLanguageLength);
  EXPECT_EQ(tag.GetComment(1), u"effects");
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.SetComment(0, u"ENG", u"", u"x"));
  EXPECT_EQ(tag.State().lastError, kErrIdOutOfRange);

  tag.DeleteComments();
  EXPECT_EQ(tag.GetCommentCount(), 0);
}

TEST(Id3v2Frames, ReadNumbersOutOfRange) {
  TempDir dir;
  CID3V2Tag tag;
  auto comm = Frame3("COMM", std::string("\0ENG\0x", 6));
  Load(tag, dir, Tag(3, Frame3("TIT2", L("a")) + comm + Frame3("TALB", L("b")) + comm + Frame3("TPE1", L("c"))));
  struct Case {
    int n;
    int32_t error;
  };
  for (const Case c : {Case{0, kErrIdOutOfRange}, Case{6, kErrIdOutOfRange}, Case{3, 0}, Case{-1, kErrIdOutOfRange}}) {
    SCOPED_TRACE(c.n);
    tag.State().lastError = 0;
    EXPECT_EQ(tag.GetComment(c.n), u"");
    EXPECT_EQ(tag.State().lastError, c.error);
    tag.State().lastError = 0;
    EXPECT_EQ(tag.GetSyncLyricContentType(c.n), -1);
    EXPECT_EQ(tag.State().lastError, c.error);
    tag.State().lastError = 0;
    EXPECT_EQ(tag.GetPictureType(c.n), 0);
    EXPECT_EQ(tag.State().lastError, c.error);
  }
  EXPECT_EQ(tag.GetComment(2), u"x");
}

TEST(Id3v2Frames, ListKindsLayoutsAndShortPayloads) {
  TempDir dir;
  CID3V2Tag tag;
  // Latin-1 comment from another writer, and payloads too short for their fields.
  Load(tag, dir,
       Tag(3, Frame3("COMM", std::string("\0ENGd\xE9s\0t\xE9xt", 12)) + Frame3("COMM", std::string("\0EN", 3)) +
                  Frame3("USLT", std::string("\1", 1)) + Frame3("TXXX", std::string("\1\xFF\xFE" "a", 4)) +
                  Frame3("WXXX", std::string("\3d\xC3\xA9\0http://u", 13))));
  EXPECT_EQ(tag.GetCommentDescription(1), u"d\u00e9s");
  EXPECT_EQ(tag.GetComment(1), u"t\u00e9xt");
  EXPECT_EQ(tag.GetCommentLanguage(2), u"EN");
  EXPECT_EQ(tag.GetComment(2), u"");
  EXPECT_EQ(tag.GetLyric(1), u"");
  EXPECT_EQ(tag.GetUserTextDescription(1), u"");
  EXPECT_EQ(tag.GetUserURLDescription(1), u"d\u00e9");
  EXPECT_EQ(tag.GetUserURL(1), u"http://u");
  // Rewritten, the comment is stored with encoding 1.
  ASSERT_TRUE(tag.SetComment(1, u"ENG", u"d\u00e9s", u"new"));
  EXPECT_EQ(PayloadOf(tag, "COMM")[0], 1);
  EXPECT_EQ(tag.GetCommentDescription(1), u"d\u00e9s");

  // A user URL with a description: 01, FF FE, description, 00 00, URL bytes.
  ASSERT_TRUE(tag.SetUserURL(1, u"Hi", u"http://x/\u00e9"));
  EXPECT_EQ(PayloadOf(tag, "WXXX"), B(std::string("\1\xFF\xFEH\0i\0\0\0http://x/\xE9", 19)));
  EXPECT_EQ(tag.GetUserURLDescription(1), u"Hi");
  EXPECT_EQ(tag.GetUserURL(1), u"http://x/\u00e9");

  ASSERT_TRUE(tag.SetUserText(2, u"BPM method", u"auto"));
  EXPECT_EQ(tag.GetUserTextCount(), 2);
  EXPECT_EQ(tag.GetUserText(2), u"auto");
  ASSERT_TRUE(tag.SetLyric(2, u"deu", u"", u"Zeile 1\r\nZeile 2"));
  EXPECT_EQ(tag.GetLyric(2), u"Zeile 1\r\nZeile 2");
  ASSERT_TRUE(tag.SetUserFrame(1, u"ENG", u"terms"));
  EXPECT_EQ(PayloadOf(tag, "USER"), B(std::string("\1ENG\xFF\xFEt\0e\0r\0m\0s\0\0\0", 18)));
  EXPECT_EQ(tag.GetUserFrame(1), u"terms");
  tag.DeleteLyrics();
  tag.DeleteUserTexts();
  tag.DeleteUserURLs();
  tag.DeleteUserFrames();
  EXPECT_EQ(tag.GetLyricCount() + tag.GetUserTextCount() + tag.GetUserURLCount() + tag.GetUserFrameCount(), 0);
}

TEST(Id3v2Frames, SynchronisedLyrics) {
  CID3V2Tag tag;
  const std::u16string two = u"[00001000]Hello\r\n[00002500]World";
  ASSERT_TRUE(tag.SetSyncLyric(1, u"ENG", u"", two, 1, 2));
  // Encoding, language, time format, content type, description, then per
  // line the text, its terminator and the time; every text with its mark.
  EXPECT_EQ(PayloadOf(tag, "SYLT"), B(std::string("\1ENG\2\1\xFF\xFE\0\0" "\xFF\xFEH\0e\0l\0l\0o\0\0\0\0\0\x03\xE8"
                                                  "\xFF\xFEW\0o\0r\0l\0d\0\0\0\0\0\x09\xC4", 46)));
  EXPECT_EQ(tag.GetSyncLyric(1), two);
  EXPECT_EQ(tag.GetSyncLyricTimeFormat(1), 2);
  EXPECT_EQ(tag.GetSyncLyricContentType(1), 1);
  EXPECT_EQ(tag.GetSyncLyricLanguage(1), u"ENG");

  // A trailing CR LF gives the same item; other brackets are accepted.
  ASSERT_TRUE(tag.SetSyncLyric(1, u"ENG", u"desc", two + u"\r\n", 1, 2));
  EXPECT_EQ(tag.GetSyncLyric(1), two);
  EXPECT_EQ(tag.GetSyncLyricDescription(1), u"desc");
  ASSERT_TRUE(tag.SetSyncLyric(2, u"ENG", u"", u"<00000042>x\r\n[-0000007]neg", 1, 2));
  EXPECT_EQ(tag.GetSyncLyric(2), u"[00000042]x\r\n[-0000007]neg");

  // Texts that do not parse fail with 209 and leave the item as it was.
  for (const std::u16string bad : {u"[00001000]Hello\r\n\r\n[00002500]World", u"[00001000]"}) {
    tag.State().lastError = 0;
    EXPECT_FALSE(tag.SetSyncLyric(1, u"ENG", u"", bad, 1, 2));
    EXPECT_EQ(tag.State().lastError, kErrSyncLyricsParse);
    EXPECT_EQ(tag.GetSyncLyric(1), two);
  }
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.SetSyncLyric(1, u"EN", u"", two, 1, 2));
  EXPECT_EQ(tag.State().lastError, kErrLanguageLength);
  EXPECT_EQ(tag.GetSyncLyricCount(), 2);

  // An empty text deletes.
  ASSERT_TRUE(tag.SetSyncLyric(1, u"ENG", u"", u"", 0, 0));
  EXPECT_EQ(tag.GetSyncLyricCount(), 1);
  EXPECT_EQ(tag.GetSyncLyric(1), u"[00000042]x\r\n[-0000007]neg");
  tag.DeleteSyncLyrics();
  EXPECT_EQ(tag.GetSyncLyricCount(), 0);
}

TEST(Id3v2Frames, SynchronisedLyricsFromOtherWriters) {
  TempDir dir;
  CID3V2Tag tag;
  // Latin-1 texts; a last text without its time stamp is dropped; a payload
  // of six bytes has no description and no lines.
  Load(tag, dir,
       Tag(3, Frame3("SYLT", std::string("\0ENG\2\1d\0" "caf\xE9\0\0\0\0\x10" "end\0\0\0", 23)) +
                  Frame3("SYLT", std::string("\0ENG\2\1", 6)) + Frame3("SYLT", std::string("\0E", 2))));
  EXPECT_EQ(tag.GetSyncLyricCount(), 3);
  EXPECT_EQ(tag.GetSyncLyricDescription(1), u"d");
  EXPECT_EQ(tag.GetSyncLyric(1), u"[00000016]caf\u00e9");
  EXPECT_EQ(tag.GetSyncLyric(2), u"");
  EXPECT_EQ(tag.GetSyncLyricContentType(2), 1);
  EXPECT_EQ(tag.GetSyncLyricLanguage(3), u"");
  EXPECT_EQ(tag.GetSyncLyricTimeFormat(3), -1);
}

TEST(Id3v2Frames, Pictures) {
  TempDir dir;
  CID3V2Tag tag;
  const auto jpeg = TempDir::Read(Fixture("cover.jpg"));
  ASSERT_TRUE(tag.SetPicture(W(Fixture("cover.jpg")), u"", 1, 3, false));
  std::string expect = std::string("\0image/jpeg\0\3\0", 14) + std::string(jpeg.begin(), jpeg.end());
  EXPECT_EQ(PayloadOf(tag, "APIC"), B(expect));
  EXPECT_EQ(tag.GetPictureMime(1), u"image/jpeg");
  EXPECT_EQ(tag.GetPictureType(1), 3);
  ASSERT_TRUE(tag.GetPicture(1, W(dir.file("out.jpg"))));
  EXPECT_EQ(TempDir::Read(dir.file("out.jpg")), jpeg);

  // The MIME type by the first bytes.
  TempDir::Write(dir.file("notes.txt"), std::string("just text"));
  const struct {
    const char* file;
    const char16_t* mime;
  } kinds[] = {{"cover.png", u"image/png"}, {"cover.gif", u"image/gif"}, {"cover.bmp", u"image/bmp"}};
  for (const auto& k : kinds) {
    ASSERT_TRUE(tag.SetPicture(W(Fixture(k.file)), u"d", 2, 4, false));
    EXPECT_EQ(tag.GetPictureMime(2), k.mime) << k.file;
  }
  ASSERT_TRUE(tag.SetPicture(W(dir.file("notes.txt")), u"other", 3, 0, false));
  EXPECT_EQ(tag.GetPictureMime(3), u"XXX");
  EXPECT_EQ(tag.GetPictureDescription(3), u"other");

  // A link holds the file name; reading it copies the linked file.
  ASSERT_TRUE(tag.SetPicture(W(Fixture("cover.png")), u"linked", 4, 5, true));
  EXPECT_EQ(tag.GetPictureMime(4), u"-->" + W(Fixture("cover.png")));
  ASSERT_TRUE(tag.GetPicture(4, W(dir.file("linked.png"))));
  EXPECT_EQ(TempDir::Read(dir.file("linked.png")), TempDir::Read(Fixture("cover.png")));

  // A picture file that cannot be read leaves the old picture in place.
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.SetPicture(W(dir.file("missing.jpg")), u"", 1, 3, false));
  EXPECT_EQ(tag.State().lastError, ENOENT);
  EXPECT_EQ(tag.GetPictureMime(1), u"image/jpeg");
  // A target that cannot be created.
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.GetPicture(1, W(dir.file("no/such/folder.jpg"))));
  EXPECT_EQ(tag.State().lastError, ENOENT);

  // Deleting number 2 of four: the later ones move up; beyond the count: false, no error.
  ASSERT_TRUE(tag.DeletePicture(2));
  EXPECT_EQ(tag.GetPictureCount(), 3);
  EXPECT_EQ(tag.GetPictureDescription(2), u"other");
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.DeletePicture(4));
  EXPECT_EQ(tag.State().lastError, 0);
  // An empty file name removes the picture and answers false.
  EXPECT_FALSE(tag.SetPicture(u"", u"", 1, 3, false));
  EXPECT_EQ(tag.GetPictureCount(), 2);
  EXPECT_EQ(tag.GetPictureDescription(1), u"other");
  tag.DeletePictures();
  EXPECT_EQ(tag.GetPictureCount(), 0);
}

TEST(Id3v2Frames, ControlSettersAnswerTrueAndLeaveTheError) {
  CSonavexCtrl c;
  EXPECT_TRUE(c.ID3V2SetComment(1, u"PEA", u"", u"-2.5"));
  EXPECT_EQ(c.ID3V2GetComments(), 1);
  EXPECT_TRUE(c.ID3V2SetComment(2, u"TOOLONG", u"", u"x"));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrLanguageLength);
  EXPECT_EQ(c.ID3V2GetComments(), 1);
  EXPECT_TRUE(c.ID3V2SetUserText(0, u"d", u"x"));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrIdOutOfRange);
  c.SetID3V2Title(u"Title");
  EXPECT_EQ(c.GetID3V2Title(), u"Title");
  EXPECT_FALSE(c.ID3V2SetSyncLyric(1, u"ENG", u"", u"short", 1, 2));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrSyncLyricsParse);
  EXPECT_TRUE(c.ID3V2SetSyncLyric(1, u"ENG", u"", u"[00000001]ok", 1, 2));
  EXPECT_EQ(c.ID3V2GetSyncLyricTimeFormat(1), 2);
  EXPECT_TRUE(c.ID3V2SetPicture(W(Fixture("cover.gif")), u"g", 1, 3, 7));  // any non-zero is a link
  EXPECT_EQ(c.ID3V2GetPictureMime(1), u"-->" + W(Fixture("cover.gif")));
}
