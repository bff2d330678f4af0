// Reading ID3v2 tags: tags written by mutagen (versions 2.3 and 2.4) read as
// mutagen reads them, and hand-made layouts (version 2.2, unsynchronisation,
// extended headers, a footer, hostile sizes) read safely.
#include "ID3V2Tag.h"
#include "Id3v2TestSupport.h"
#include "Module.h"
#include "SonavexCtrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

using namespace sonavex;
using namespace id3test;

namespace {

// Reads the tag of a file into tag; answers Read's result.
bool ReadTag(CID3V2Tag& tag, const std::string& path) {
  TagFile f;
  EXPECT_TRUE(f.Open(path, TagFile::Mode::Read)) << path;
  return tag.Read(f);
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST(Id3v2Read, MutagenVersion23TagReadsAsMutagenReadsIt) {
  CID3V2Tag tag;
  ASSERT_TRUE(ReadTag(tag, Fixture("v23_full.mp3")));
  const auto m = Mutagen(Fixture("v23_full.mp3"));
  ASSERT_EQ(m.at(0), "version|2.3");
  EXPECT_EQ(tag.GetVersion(), u"2.3");
  EXPECT_EQ(size_t(tag.State().id3v2Size), TagSizeOf(TempDir::Read(Fixture("v23_full.mp3"))));

  // Text frames, UTF-16 with byte-order mark and (TPE2) Latin-1.
  EXPECT_TRUE(Contains(m, "TIT2|" + U(tag.GetTitle())));
  EXPECT_EQ(tag.GetArtist(), u"Artist \u00c4\u00df\u20ac");
  EXPECT_TRUE(Contains(m, "TPE1|" + U(tag.GetArtist())));
  EXPECT_EQ(tag.GetAlbum(), u"The Album");
  EXPECT_EQ(tag.GetGenre(), u"Dance");
  EXPECT_EQ(tag.GetTrack(), u"3/12");  // passed through, not interpreted
  EXPECT_EQ(tag.GetYear(), u"2004");
  EXPECT_EQ(tag.GetBeatsPerMinute(), u"128");
  EXPECT_EQ(tag.GetOrchestra(), u"Orchestra Latin1 \u00e9");
  EXPECT_EQ(tag.GetArtistURL(), u"http://example.com/artist");
  EXPECT_EQ(tag.GetComposer(), u"");

  // Comments in file order, as mutagen lists them.
  std::vector<std::string> mutagenComments;
  for (const auto& line : m)
    if (line.rfind("COMM|", 0) == 0) mutagenComments.push_back(line);
  ASSERT_EQ(tag.GetCommentCount(), 3);
  ASSERT_EQ(mutagenComments.size(), 3u);
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ("COMM|" + U(tag.GetCommentLanguage(i)) + "|" + U(tag.GetCommentDescription(i)) + "|" + U(tag.GetComment(i)),
              mutagenComments[size_t(i - 1)]);
  EXPECT_EQ(tag.GetCommentLanguage(1), u"SMP");
  EXPECT_EQ(tag.GetComment(1), u"12 \u00e9");  // encoding 0 through the code page

  EXPECT_EQ(tag.GetLyricCount(), 1);
  EXPECT_EQ(tag.GetLyricLanguage(1), u"eng");
  EXPECT_EQ(tag.GetLyricDescription(1), u"words");
  EXPECT_EQ(tag.GetLyric(1), u"la la\r\nla");
  EXPECT_EQ(tag.GetUserFrameCount(), 1);
  EXPECT_EQ(tag.GetUserFrameLanguage(1), u"ENG");
  EXPECT_EQ(tag.GetUserFrame(1), u"terms of use");
  EXPECT_EQ(tag.GetUserTextDescription(1), u"MyDesc");
  EXPECT_EQ(tag.GetUserText(1), u"user value");
  EXPECT_EQ(tag.GetUserURLDescription(1), u"home");
  EXPECT_EQ(tag.GetUserURL(1), u"http://example.com/home");

  // mutagen puts a byte-order mark before every synchronised text.
  EXPECT_EQ(tag.GetSyncLyricCount(), 1);
  EXPECT_EQ(tag.GetSyncLyric(1), u"[00001000]hello\r\n[00002500]world");
  EXPECT_EQ(tag.GetSyncLyricLanguage(1), u"ENG");
  EXPECT_EQ(tag.GetSyncLyricDescription(1), u"sync");
  EXPECT_EQ(tag.GetSyncLyricTimeFormat(1), 2);
  EXPECT_EQ(tag.GetSyncLyricContentType(1), 1);

  EXPECT_EQ(tag.GetPictureCount(), 1);
  EXPECT_EQ(tag.GetPictureMime(1), u"image/jpeg");
  EXPECT_EQ(tag.GetPictureType(1), 3);
  EXPECT_EQ(tag.GetPictureDescription(1), u"Cover");  // encoding 1 description
  TempDir dir;
  ASSERT_TRUE(tag.GetPicture(1, W(dir.file("out.jpg"))));
  EXPECT_EQ(TempDir::Read(dir.file("out.jpg")), TempDir::Read(Fixture("cover.jpg")));
}

TEST(Id3v2Read, MutagenVersion24TagWithUtf8Texts) {
  CID3V2Tag tag;
  ASSERT_TRUE(ReadTag(tag, Fixture("v24_full.mp3")));
  EXPECT_EQ(tag.GetVersion(), u"2.4");
  EXPECT_EQ(tag.GetArtist(), u"Artist \u00c4\u00df\u20ac");
  EXPECT_EQ(tag.GetRecordingTime(), u"2004-05-06");
  EXPECT_EQ(tag.GetYear(), u"");
  EXPECT_EQ(tag.GetCommentCount(), 3);
  EXPECT_EQ(tag.GetSyncLyric(1), u"[00001000]hello\r\n[00002500]world");
  EXPECT_EQ(tag.GetPictureDescription(1), u"Cover");
  TempDir dir;
  ASSERT_TRUE(tag.GetPicture(1, W(dir.file("out.jpg"))));
  EXPECT_EQ(Sha1Of(dir.file("out.jpg")), Sha1Of(Fixture("cover.jpg")));

  // The generic year of a version-2.4 tag comes from its recording time.
  const GenericStrings g = tag.GetGenericStrings();
  EXPECT_EQ(g.year, u"2004");
  EXPECT_EQ(g.title, u"Intro Title");
  EXPECT_EQ(g.comment, tag.GetComment(1));
}

// Hand-made layouts: each reads its title, and the size is the whole tag.
TEST(Id3v2Read, HandMadeLayouts) {
  struct Case {
    const char* file;
    const char16_t* version;
    const char16_t* title;
    const char16_t* artist;
  };
  const Case cases[] = {
      {"v22.mp3", u"2.2", u"Old Title", u"Old Artist"},
      {"unsync_v23.mp3", u"2.3", u"Unsync Title", u""},
      {"unsync_v24.mp3", u"2.4", u"Unsync v4 \u00e9", u""},
      {"exthdr_v23.mp3", u"2.3", u"Extended v3", u"Ext Artist"},
      {"exthdr_v24.mp3", u"2.4", u"Extended v4", u""},
      {"footer_v24.mp3", u"2.4", u"Footer Title", u""},
      // The second frame claims 2 GiB: its body is cut where the tag ends.
      {"oversized_frame.mp3", u"2.3", u"Before", u"Overflow"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    CID3V2Tag tag;
    ASSERT_TRUE(ReadTag(tag, Fixture(c.file)));
    EXPECT_EQ(tag.GetVersion(), c.version);
    EXPECT_EQ(tag.GetTitle(), c.title);
    EXPECT_EQ(tag.GetArtist(), c.artist);
    EXPECT_EQ(size_t(tag.State().id3v2Size), TagSizeOf(TempDir::Read(Fixture(c.file))));
    // mutagen agrees on the title.
    const auto m = Mutagen(Fixture(c.file));
    EXPECT_NE(std::find(m.begin(), m.end(), "TIT2|" + U(c.title)), m.end());
  }
}

TEST(Id3v2Read, UnsynchronisedPicturesAreRestored) {
  for (const char* file : {"unsync_v23.mp3", "unsync_v24.mp3"}) {
    SCOPED_TRACE(file);
    CID3V2Tag tag;
    ASSERT_TRUE(ReadTag(tag, Fixture(file)));
    TempDir dir;
    ASSERT_TRUE(tag.GetPicture(1, W(dir.file("out.jpg"))));
    EXPECT_EQ(TempDir::Read(dir.file("out.jpg")), TempDir::Read(Fixture("cover.jpg")));
    EXPECT_EQ(tag.GetPictureMime(1), u"image/jpeg");
  }
}

TEST(Id3v2Read, Version22FramesAndPictures) {
  CID3V2Tag tag;
  ASSERT_TRUE(ReadTag(tag, Fixture("v22.mp3")));
  EXPECT_EQ(tag.GetYear(), u"1999");
  EXPECT_EQ(tag.GetCommentCount(), 1);
  EXPECT_EQ(tag.GetCommentLanguage(1), u"ENG");
  EXPECT_EQ(tag.GetCommentDescription(1), u"desc");
  EXPECT_EQ(tag.GetComment(1), u"v22 comment");
  EXPECT_EQ(tag.GetSyncLyricCount(), 2);
  EXPECT_EQ(tag.GetSyncLyric(1), u"[00000010]one\r\n[00000020]two");
  EXPECT_EQ(tag.GetSyncLyric(2), u"[00000005]solo");
  // The three-letter image format of a version-2.2 picture.
  EXPECT_EQ(tag.GetPictureCount(), 1);
  EXPECT_EQ(tag.GetPictureMime(1), u"image/jpeg");
  EXPECT_EQ(tag.GetPictureType(1), 3);
  EXPECT_EQ(tag.GetPictureDescription(1), u"pic");
  TempDir dir;
  ASSERT_TRUE(tag.GetPicture(1, W(dir.file("out.jpg"))));
  EXPECT_EQ(TempDir::Read(dir.file("out.jpg")), TempDir::Read(Fixture("cover.jpg")));

  // Fields without a version-2.2 frame are refused with 202.
  tag.State().lastError = 0;
  EXPECT_EQ(tag.GetPaymentURL(), u"");
  EXPECT_EQ(tag.State().lastError, kErrUnsupportedFrame);
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.SetFileOwner(u"me"));
  EXPECT_EQ(tag.State().lastError, kErrUnsupportedFrame);
  EXPECT_FALSE(tag.SetUserFrame(1, u"ENG", u"x"));
  EXPECT_EQ(tag.GetUserFrameCount(), 0);
}

TEST(Id3v2Read, FrameFlags) {
  CID3V2Tag tag;
  ASSERT_TRUE(ReadTag(tag, Fixture("frame_flags_v23.mp3")));
  EXPECT_EQ(tag.GetTitle(), u"Flags");
  // A compressed version-3 frame is not stored.
  EXPECT_EQ(tag.GetArtist(), u"");
  EXPECT_EQ(tag.SlotsInUse(), 3);
  EXPECT_EQ(tag.GetGenre(), u"Status");
  const int genre = tag.FindFrame(ID3V2FrameId("TCON"), 0);
  ASSERT_GE(genre, 0);
  EXPECT_EQ(tag.Slot(genre).flags, 0x4000);
}

TEST(Id3v2Read, HostileAndAbsentHeaders) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    bool found;
    int32_t size;
    int frames;
  };
  std::string audio(200, '\x55');
  const std::string titleFrame = std::string("TIT2\0\0\0\4\0\0\0abc", 14);
  const Case cases[] = {
      {"no tag", audio, false, 0, 0},
      {"lower-case id3", "id3\3\0\0\0\0\0\x20" + audio, false, 0, 0},
      {"size byte with top bit", std::string("ID3\3\0\0\0\0\x80\x20", 10) + titleFrame + audio, false, 0, 0},
      {"header only", std::string("ID3\3\0\0\0\0", 8), false, 0, 0},
      {"unknown version", std::string("ID3\5\0\0\0\0\0\x20", 10) + titleFrame + audio, true, 42, 0},
      {"padding first", std::string("ID3\3\0\0\0\0\0\x20", 10) + std::string(32, '\0') + audio, true, 42, 0},
      {"tag past the end", std::string("ID3\3\0\0\0\x7F\x7F\x7F", 10) + titleFrame, true, 24, 1},
      {"frame header cut", std::string("ID3\3\0\0\0\0\0\x0E", 10) + titleFrame + audio, true, 24, 1},
      {"frame header past tag", std::string("ID3\3\0\0\0\0\0\x08", 10) + titleFrame + audio, true, 18, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("t.mp3");
    TempDir::Write(path, c.bytes);
    CID3V2Tag tag;
    tag.State().id3v2Size = 77;
    EXPECT_EQ(ReadTag(tag, path), c.found);
    EXPECT_EQ(tag.State().id3v2Size, c.size);
    EXPECT_EQ(tag.SlotsInUse(), c.frames);
  }
}

TEST(Id3v2Read, AtMost200FramesAreStored) {
  std::string frames;
  for (int i = 0; i < 250; ++i) frames += std::string("TXXX\0\0\0\4\0\0\0a\0b", 14);
  std::string bytes = std::string("ID3\3\0\0", 6);
  const size_t size = frames.size();
  bytes += char((size >> 21) & 0x7F);
  bytes += char((size >> 14) & 0x7F);
  bytes += char((size >> 7) & 0x7F);
  bytes += char(size & 0x7F);
  TempDir dir;
  TempDir::Write(dir.file("many.mp3"), bytes + frames + std::string(100, 'x'));
  CID3V2Tag tag;
  ASSERT_TRUE(ReadTag(tag, dir.file("many.mp3")));
  EXPECT_EQ(tag.SlotsInUse(), 200);
  EXPECT_EQ(tag.GetUserTextCount(), 200);
  // A new frame finds no slot.
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.SetTitle(u"x"));
  EXPECT_EQ(tag.State().lastError, kErrTooManyFrames);
}

TEST(Id3v2Read, Version4FrameSizesWrittenAsPlainNumbers) {
  // Some writers put plain numbers into version-2.4 frame sizes; 256 bytes
  // then read as 128 when taken as syncsafe, which lands inside the body.
  const std::string text(251, 'x');
  const std::string body = std::string("\0d\0", 3) + text + std::string("\0\0", 2);  // 256 bytes
  std::string frames = std::string("TXXX\0\0\x01\0\0\0", 10) + body + std::string("TIT2\0\0\0\4\0\0\0abc", 14);
  const size_t size = frames.size() + 20;
  std::string tag = std::string("ID3\4\0\0\0\0", 8) + char((size >> 7) & 0x7F) + char(size & 0x7F) + frames +
                    std::string(20, '\0');
  TempDir dir;
  const std::string path = dir.file("plain_sizes.mp3");
  TempDir::Write(path, tag + std::string(100, 'x'));
  CID3V2Tag t;
  ASSERT_TRUE(ReadTag(t, path));
  EXPECT_EQ(t.GetUserTextDescription(1), u"d");
  EXPECT_EQ(U(t.GetUserText(1)), text);
  EXPECT_EQ(t.GetTitle(), u"abc");
  const auto m = Mutagen(path);
  EXPECT_NE(std::find(m.begin(), m.end(), "TIT2|abc"), m.end());
}

// A large body (a cover picture) is read from the file only when it is
// used: by the picture members, or by a save, which writes it whole. A file
// that changed since the analysis gives no such body: the picture members
// answer as for a missing picture and a save is refused (213) with the
// file left as the other program made it. Versions 2.3 and 2.4 (with a data
// length indicator in front of the body), each read back by mutagen.
TEST(Id3v2Read, LargeBodiesAreReadWhenTheyAreUsed) {
  TempDir dir;
  const std::string cover = dir.file("cover.bin");
  std::string picture(150000, '\0');
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = char((i * 131 + 7) & 0xFF);
  picture[0] = char(0xFF), picture[1] = char(0xD8);  // a JPEG by its first bytes
  TempDir::Write(cover, picture);
  const std::string sha = Sha1Of(cover);
  const auto audio = TempDir::Read(Fixture("plain.mp3"));
  for (const int version : {3, 4}) {
    SCOPED_TRACE(version);
    // A tag with a title, the picture and a comment behind it; in version
    // 2.4 the picture frame carries a data length indicator.
    auto frame = [&](const std::string& id, const std::string& body, bool lengthIndicator) {
      std::string b = lengthIndicator ? std::string{char(0), char(0x09), char(0x1B), char(0x1B)} + body : body;
      const size_t n = b.size();
      std::string h = id;
      if (version == 4) h += {char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)};
      else h += {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
      h += {char(0), char(lengthIndicator ? 0x01 : 0)};
      return h + b;
    };
    const std::string apic = std::string("\0image/jpeg\0\3Cover\0", 19) + picture;
    std::string frames = frame("TIT2", std::string("\3Title", 6), false) + frame("APIC", apic, version == 4) +
                         frame("COMM", std::string("\3eng\0Behind", 11), false);
    frames += std::string(500, '\0');
    const size_t n = frames.size();
    const std::string tag = std::string("ID3") + char(version) + '\0' + '\0' +
                            std::string{char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)} +
                            frames;
    const std::string path = dir.file("song.mp3");
    TempDir::Write(path, tag + std::string(audio.begin(), audio.end()));

    // Read only when asked; the members see it whole.
    CID3V2Tag t;
    ASSERT_TRUE(ReadTag(t, path));
    EXPECT_EQ(t.GetTitle(), u"Title");
    EXPECT_EQ(t.GetComment(1), u"Behind");
    ASSERT_EQ(t.GetPictureCount(), 1);
    EXPECT_EQ(t.GetPictureMime(1), u"image/jpeg");
    EXPECT_EQ(t.GetPictureDescription(1), u"Cover");
    ASSERT_TRUE(t.GetPicture(1, W(dir.file("out.jpg"))));
    EXPECT_EQ(Sha1Of(dir.file("out.jpg")), sha);

    // A save after a change of the title writes the picture whole.
    CID3V2Tag s;
    ASSERT_TRUE(ReadTag(s, path));
    ASSERT_TRUE(s.SetTitle(u"New"));
    ASSERT_TRUE(s.WriteToFile(W(path)));
    const auto m = Mutagen(path);
    EXPECT_TRUE(std::find(m.begin(), m.end(), "APIC|image/jpeg|3|Cover|" + sha) != m.end()) << m.at(0);
    EXPECT_TRUE(std::find(m.begin(), m.end(), "TIT2|New") != m.end());
    EXPECT_EQ(AudioOf(path), audio);

    // Another save of the same control first (an ID3v1 tag appended): the
    // picture is read before that save changes the file, and the ID3v2 save
    // after it keeps the picture.
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    c.SetID3V1Title(u"Version one");
    ASSERT_TRUE(c.ID3V1SaveChangesToFile(W(path)));
    c.SetID3V2Title(u"After");
    ASSERT_TRUE(c.ID3V2SaveChangesToFile(W(path))) << c.AUDIOGetLastErrorNumber();
    const auto after = Mutagen(path);
    EXPECT_TRUE(std::find(after.begin(), after.end(), "APIC|image/jpeg|3|Cover|" + sha) != after.end()) << after.at(0);

    // The file changes under an analysed tag: no picture is made up, and no
    // save overwrites the other program's change.
    CID3V2Tag stale;
    ASSERT_TRUE(ReadTag(stale, path));
    auto changed = TempDir::Read(path);
    changed.push_back('x');
    TempDir::Write(path, changed);
    EXPECT_EQ(stale.GetPictureMime(1), u"");
    EXPECT_FALSE(stale.GetPicture(1, W(dir.file("none.jpg"))));
    EXPECT_EQ(stale.State().lastError, kErrFileChanged);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.jpg")));
    ASSERT_TRUE(stale.SetTitle(u"Stale"));
    stale.State().lastError = 0;
    EXPECT_FALSE(stale.WriteToFile(W(path)));
    EXPECT_EQ(stale.State().lastError, kErrFileChanged);
    EXPECT_EQ(TempDir::Read(path), changed);
  }
}
