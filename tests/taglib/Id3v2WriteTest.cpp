// Writing ID3v2 tags: the choice between in place and a safe rewrite, the
// layout of each version, what is kept and what is cleaned, removal, and
// failures that must leave the file whole. Written files are read back with
// mutagen and their audio bytes compared with the original.
#include "ID3V2Tag.h"
#include "Id3v2TestSupport.h"
#include "Module.h"
#include "SonavexCtrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>
#include <sys/resource.h>

using namespace sonavex;
using namespace id3test;

namespace {

bool ReadTag(CID3V2Tag& tag, const std::string& path) {
  TagFile f;
  EXPECT_TRUE(f.Open(path, TagFile::Mode::Read)) << path;
  return tag.Read(f);
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Syncsafe(size_t n) {
  return {char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)};
}

// A version-3 tag of the given total size holding one TXXX frame whose body
// has bodySize bytes, followed by audio.
std::string TagWithFrame(size_t total, size_t bodySize, const std::string& audio) {
  std::string frame = "TXXX";
  frame += char(bodySize >> 24);
  frame += char(bodySize >> 16);
  frame += char(bodySize >> 8);
  frame += char(bodySize);
  frame += std::string(2, '\0');
  frame += std::string("\0d\0", 3) + std::string(bodySize - 3, 'v');
  std::string tag = std::string("ID3\3\0\0", 6) + Syncsafe(total - 10) + frame;
  tag += std::string(total - tag.size(), '\0');
  return tag + audio;
}

size_t FileCount(const TempDir& dir) {
  size_t n = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++n;
  return n;
}

}  // namespace

TEST(Id3v2Write, ChangedTagReadsBackInMutagenAndKeepsTheAudio) {
  for (const char* file : {"v23_full.mp3", "v24_full.mp3"}) {
    SCOPED_TRACE(file);
    TempDir dir;
    const std::string path = CopyFixture(dir, file);
    const auto audio = AudioOf(path);
    const auto sizeBefore = TempDir::Read(path).size();
    CID3V2Tag tag;
    ASSERT_TRUE(ReadTag(tag, path));
    ASSERT_TRUE(tag.SetTitle(u"New \u266b Title"));
    ASSERT_TRUE(tag.SetComment(4, u"EMP", u"", u"98.5"));
    int pea = 1;
    while (pea <= 3 && tag.GetCommentLanguage(pea) != u"PEA") ++pea;
    ASSERT_LE(pea, 3);
    ASSERT_TRUE(tag.SetComment(pea, u"PEA", u"gain", u"-1.0"));
    ASSERT_TRUE(tag.SetBeatsPerMinute(u""));
    ASSERT_TRUE(tag.WriteToFile(W(path)));

    // The tag fit into its old room: written in place, length unchanged.
    EXPECT_EQ(TempDir::Read(path).size(), sizeBefore);
    EXPECT_EQ(AudioOf(path), audio);
    const auto m = Mutagen(path);
    EXPECT_EQ(m.at(0), std::string("version|") + U(tag.GetVersion()));
    EXPECT_TRUE(Contains(m, "TIT2|New \u266b Title"));
    EXPECT_TRUE(Contains(m, "TPE1|Artist \u00c4\u00df\u20ac"));
    EXPECT_TRUE(Contains(m, "COMM|PEA|gain|-1.0"));
    EXPECT_TRUE(Contains(m, "COMM|EMP||98.5"));
    EXPECT_TRUE(Contains(m, "COMM|SMP|latin|12 \u00e9"));
    EXPECT_TRUE(Contains(m, "USLT|eng|words|la la\\r\\nla"));
    EXPECT_TRUE(Contains(m, "SYLT|ENG|2|1|sync|hello@1000|world@2500"));
    EXPECT_TRUE(Contains(m, "APIC|image/jpeg|3|Cover|" + Sha1Of(Fixture("cover.jpg"))));
    EXPECT_FALSE(std::any_of(m.begin(), m.end(), [](const std::string& l) { return l.rfind("TBPM", 0) == 0; }));

    // Our own reader sees the same, and the comment order is kept.
    CID3V2Tag again;
    ASSERT_TRUE(ReadTag(again, path));
    ASSERT_EQ(again.GetCommentCount(), 4);
    EXPECT_EQ(again.GetCommentLanguage(1), tag.GetCommentLanguage(1));
    EXPECT_EQ(again.GetCommentLanguage(pea), u"PEA");
    EXPECT_EQ(again.GetCommentLanguage(4), u"EMP");
  }
}

TEST(Id3v2Write, InPlaceOrRewriteBySizeAndRoom) {
  const std::string audio = "\xFF\xFB" + std::string(3000, '\x33');
  struct Case {
    const char* name;
    size_t oldTotal;
    size_t body;     // body of the one frame written (header 10 bytes more)
    size_t newTag;   // size of the written tag
    size_t padding;  // zero bytes after the last frame
  };
  const Case cases[] = {
      // Frames of 4000 bytes (Needed 4010) in a 4096-byte tag: in place.
      {"fits in place", 4096, 3990, 4096, 86},
      // Needed 4100: rewritten to exactly that, without padding.
      {"too big for its room", 4096, 4080, 4100, 0},
      // A tag over 4096 bytes is always rewritten, padded to 4096.
      {"large old tag", 10000, 90, 4096, 3986},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("song.mp3");
    TempDir::Write(path, TagWithFrame(c.oldTotal, 20, audio));
    CID3V2Tag tag;
    ASSERT_TRUE(ReadTag(tag, path));
    tag.DeleteUserTexts();
    // A user URL with an empty description: 01, FF FE 00 00, then the URL's bytes.
    ASSERT_TRUE(tag.SetUserURL(1, u"", std::u16string(c.body - 5, u'u')));
    ASSERT_TRUE(tag.WriteToFile(W(path)));
    const auto d = TempDir::Read(path);
    EXPECT_EQ(TagSizeOf(d), c.newTag);
    EXPECT_EQ(d.size(), c.newTag + audio.size());
    EXPECT_EQ(std::string(d.end() - long(audio.size()), d.end()), audio);
    EXPECT_EQ(size_t(std::max(tag.Padding(), 0)), c.padding);
    EXPECT_EQ(std::string(d.begin() + 20, d.begin() + 25), std::string("\1\xFF\xFE\0\0", 5));
    EXPECT_TRUE(std::all_of(d.begin() + long(c.newTag - c.padding), d.begin() + long(c.newTag),
                            [](unsigned char b) { return b == 0; }));
    EXPECT_EQ(FileCount(dir), 1u);
    const auto m = Mutagen(path);
    EXPECT_TRUE(Contains(m, "WXXX||" + std::string(c.body - 5, 'u')));
  }
}

TEST(Id3v2Write, FileWithoutTagGetsAPaddedVersion3Tag) {
  TempDir dir;
  const std::string path = CopyFixture(dir, "plain.mp3");
  const auto original = TempDir::Read(path);
  CID3V2Tag tag;
  EXPECT_FALSE(ReadTag(tag, path));
  // An empty table still writes the header and 4086 zero bytes.
  ASSERT_TRUE(tag.WriteToFile(W(path)));
  auto d = TempDir::Read(path);
  ASSERT_EQ(d.size(), 4096 + original.size());
  EXPECT_EQ(std::string(d.begin(), d.begin() + 10), std::string("ID3\3\0\0\0\0\x1F\x76", 10));
  EXPECT_TRUE(std::all_of(d.begin() + 10, d.begin() + 4096, [](unsigned char b) { return b == 0; }));
  EXPECT_EQ(tag.GetVersion(), u"2.3");

  // The text frame of a title set on an empty table, byte for byte.
  TempDir::Write(path, original);
  CID3V2Tag fresh;
  ASSERT_TRUE(fresh.SetTitle(u"Intro"));
  const auto& p = fresh.Slot(fresh.FindFrame(ID3V2FrameId("TIT2"), 0)).payload;
  EXPECT_EQ(std::vector<uint8_t>(p.GetData(), p.GetData() + p.GetLength()),
            (std::vector<uint8_t>{1, 0xFF, 0xFE, 'I', 0, 'n', 0, 't', 0, 'r', 0, 'o', 0}));
  ASSERT_TRUE(fresh.WriteToFile(W(path)));
  EXPECT_EQ(fresh.GetVersion(), u"2.3");
  EXPECT_EQ(AudioOf(path), original);
  const auto m = Mutagen(path);
  EXPECT_EQ(m.at(0), "version|2.3");
  EXPECT_TRUE(Contains(m, "TIT2|Intro"));
}

TEST(Id3v2Write, Version4KeepsItsHeaderAndWritesSyncsafeSizes) {
  TempDir dir;
  const std::string path = CopyFixture(dir, "footer_v24.mp3");
  const auto before = TempDir::Read(path);
  const size_t total = TagSizeOf(before);  // with the footer
  const auto audio = AudioOf(path);
  CID3V2Tag tag;
  ASSERT_TRUE(ReadTag(tag, path));
  ASSERT_TRUE(tag.SetTitle(u"Short"));
  ASSERT_TRUE(tag.WriteToFile(W(path)));
  auto d = TempDir::Read(path);
  // In place: the total length stays, the header loses its footer bit and
  // its size field is the total minus 10; the footer's bytes became padding.
  EXPECT_EQ(d.size(), before.size());
  EXPECT_EQ(d[3], 4);
  EXPECT_EQ(d[5] & 0x10, 0);
  EXPECT_EQ(TagSizeOf(d), total);
  EXPECT_TRUE(std::all_of(d.begin() + long(total) - 10, d.begin() + long(total), [](unsigned char b) { return b == 0; }));
  EXPECT_EQ(AudioOf(path), audio);

  // A 200-byte body (01, FF FE 00 00 for the empty description, a 195-byte
  // URL) has the syncsafe size bytes 00 00 01 48.
  ASSERT_TRUE(tag.SetUserURL(1, u"", std::u16string(195, u'x')));
  ASSERT_TRUE(tag.WriteToFile(W(path)));
  d = TempDir::Read(path);
  EXPECT_EQ(d[3], 4);
  const std::string s(d.begin(), d.end());
  const size_t frame = s.find("WXXX");
  ASSERT_NE(frame, std::string::npos);
  EXPECT_EQ(s.substr(frame + 4, 4), std::string("\0\0\x01\x48", 4));
  EXPECT_EQ(AudioOf(path), audio);
  const auto m = Mutagen(path);
  EXPECT_EQ(m.at(0), "version|2.4");
  EXPECT_TRUE(Contains(m, "TIT2|Short"));
  EXPECT_TRUE(Contains(m, "WXXX||" + std::string(195, 'x')));
}

TEST(Id3v2Write, CleanedStructuresAreNotWrittenBack) {
  struct Case {
    const char* file;
    const char* expectTitle;
  };
  const Case cases[] = {{"unsync_v23.mp3", "Unsync Title"}, {"unsync_v24.mp3", "Unsync v4 \u00e9"},
                        {"exthdr_v23.mp3", "Extended v3"},   {"exthdr_v24.mp3", "Extended v4"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    const std::string path = CopyFixture(dir, c.file);
    const auto audio = AudioOf(path);
    CID3V2Tag tag;
    ASSERT_TRUE(ReadTag(tag, path));
    ASSERT_TRUE(tag.SetAlbum(u"Added"));
    ASSERT_TRUE(tag.WriteToFile(W(path)));
    const auto d = TempDir::Read(path);
    // Neither unsynchronisation nor an extended header is written.
    EXPECT_EQ(d[5] & 0xD0, 0);
    EXPECT_EQ(AudioOf(path), audio);
    const auto m = Mutagen(path);
    EXPECT_TRUE(Contains(m, std::string("TIT2|") + c.expectTitle));
    EXPECT_TRUE(Contains(m, "TALB|Added"));
    if (std::string(c.file).rfind("unsync", 0) == 0) {
      EXPECT_TRUE(Contains(m, "APIC|image/jpeg|3||" + Sha1Of(Fixture("cover.jpg"))));
    }
    // A second read of our own output finds the same frames.
    CID3V2Tag again;
    ASSERT_TRUE(ReadTag(again, path));
    EXPECT_EQ(again.SlotsInUse(), tag.SlotsInUse());
  }
}

TEST(Id3v2Write, FlagsOfUntouchedFramesAreKept) {
  TempDir dir;
  const std::string path = CopyFixture(dir, "frame_flags_v23.mp3");
  CID3V2Tag tag;
  ASSERT_TRUE(ReadTag(tag, path));
  ASSERT_TRUE(tag.SetTitle(u"Rebuilt"));
  ASSERT_TRUE(tag.WriteToFile(W(path)));
  const auto d = TempDir::Read(path);
  const std::string s(d.begin(), d.begin() + long(TagSizeOf(d)));
  auto flagsOf = [&](const char* id) { return s.substr(s.find(id) + 8, 2); };
  EXPECT_EQ(flagsOf("TIT2"), std::string("\0\0", 2));      // rebuilt: clean flags
  EXPECT_EQ(flagsOf("TALB"), std::string("\0\x20", 2));    // grouped, kept with its group byte
  EXPECT_EQ(flagsOf("TCON"), std::string("\x40\0", 2));    // status flag kept
  EXPECT_EQ(s.find("TPE1"), std::string::npos);            // the compressed frame was not read
  const auto m = Mutagen(path);
  EXPECT_TRUE(Contains(m, "TIT2|Rebuilt"));
  EXPECT_TRUE(Contains(m, "TCON|Status"));
}

TEST(Id3v2Write, Version22IsWrittenAsVersion22) {
  TempDir dir;
  const std::string path = CopyFixture(dir, "v22.mp3");
  const auto audio = AudioOf(path);
  CID3V2Tag tag;
  ASSERT_TRUE(ReadTag(tag, path));
  ASSERT_TRUE(tag.SetTitle(u"New v22"));
  ASSERT_TRUE(tag.SetComment(2, u"PEA", u"", u"-2"));
  ASSERT_TRUE(tag.SetPicture(W(Fixture("cover.png")), u"png", 2, 4, false));
  ASSERT_TRUE(tag.WriteToFile(W(path)));
  const auto d = TempDir::Read(path);
  EXPECT_EQ(d[3], 2);
  const std::string s(d.begin(), d.begin() + long(TagSizeOf(d)));
  // 6-byte frame headers with three-character ids; pictures with their image format.
  EXPECT_EQ(s.substr(10, 3), "TT2");
  EXPECT_NE(s.find(std::string("PIC\0\0", 5)), std::string::npos);
  EXPECT_NE(s.find(std::string("\0PNG\x04png\0", 9)), std::string::npos);
  EXPECT_NE(s.find(std::string("\0JPG\x03pic\0", 9)), std::string::npos);
  EXPECT_EQ(AudioOf(path), audio);
  const auto m = Mutagen(path);
  EXPECT_EQ(m.at(0), "version|2.2");
  EXPECT_TRUE(Contains(m, "TIT2|New v22"));
  EXPECT_TRUE(Contains(m, "COMM|PEA||-2"));
  EXPECT_TRUE(Contains(m, "APIC|PNG|4|png|" + Sha1Of(Fixture("cover.png"))));
  EXPECT_TRUE(Contains(m, "APIC|JPG|3|pic|" + Sha1Of(Fixture("cover.jpg"))));
}

TEST(Id3v2Write, RemoveTag) {
  TempDir dir;
  // No tag: 205, and no temporary file is made.
  const std::string plain = CopyFixture(dir, "plain.mp3");
  CID3V2Tag tag;
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.RemoveTagFromFile(W(plain)));
  EXPECT_EQ(tag.State().lastError, kErrTagMissing);
  EXPECT_EQ(FileCount(dir), 1u);

  // A tagged file keeps exactly the bytes behind the tag.
  const std::string tagged = CopyFixture(dir, "v23_full.mp3");
  ASSERT_TRUE(ReadTag(tag, tagged));
  const int used = tag.SlotsInUse();
  const auto audio = AudioOf(tagged);
  ASSERT_TRUE(tag.RemoveTagFromFile(W(tagged)));
  EXPECT_EQ(TempDir::Read(tagged), audio);
  EXPECT_EQ(TempDir::Read(tagged), TempDir::Read(Fixture("plain.mp3")));
  EXPECT_EQ(tag.SlotsInUse(), used);  // the table is not changed

  // A tag that claims more than the file is not removed: that would empty it.
  const std::string broken = CopyFixture(dir, "tag_past_end.mp3");
  const auto brokenBytes = TempDir::Read(broken);
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.RemoveTagFromFile(W(broken)));
  EXPECT_EQ(tag.State().lastError, EINVAL);
  EXPECT_EQ(TempDir::Read(broken), brokenBytes);
  // ...nor replaced.
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.WriteToFile(W(broken)));
  EXPECT_EQ(tag.State().lastError, EINVAL);
  EXPECT_EQ(TempDir::Read(broken), brokenBytes);
  EXPECT_EQ(FileCount(dir), 3u);
}

TEST(Id3v2Write, FailedWritesLeaveTheFileWhole) {
  TempDir dir;
  const std::string path = CopyFixture(dir, "plain.mp3");
  const auto original = TempDir::Read(path);
  CID3V2Tag tag;
  ASSERT_TRUE(tag.SetTitle(u"Never written"));

  // A missing file: the open's error number.
  tag.State().lastError = 0;
  EXPECT_FALSE(tag.WriteToFile(W(dir.file("missing.mp3"))));
  EXPECT_EQ(tag.State().lastError, ENOENT);

  // The file system refuses the bytes midway (file size limit): the rewrite
  // fails with the error number and the original stays as it was.
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096 + 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  tag.State().lastError = 0;
  const bool written = tag.WriteToFile(W(path));
  const int error = tag.State().lastError;
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(TempDir::Read(path), original);
  EXPECT_EQ(FileCount(dir), 1u);
}

// What ffmpeg and mutagen read after the list members and the picture
// member wrote into a lame-made MP3: every UTF-16 string carries its
// byte-order mark (an empty description too, or ffmpeg skips the frame with
// "Incorrect BOM value"), and a picture description that Latin-1 cannot hold
// is stored in UTF-16 (Latin-1 where it suffices). The audio stays byte for
// byte; the old form without a mark still reads.
TEST(Id3v2Write, ListItemsAndPictureDescriptionsReadTheSameInFfmpegAndMutagen) {
  struct Case {
    const char* name;
    std::function<bool(CID3V2Tag&)> write;
    const char* mutagen;  // the frame as mutagen shows it
    const char* ffprobe;  // a line ffprobe shows ("" for none)
    std::function<std::u16string(CID3V2Tag&)> read;  // our reader after the save
    std::u16string expect;
  };
  const std::string cover = Fixture("cover.jpg");
  const Case cases[] = {
      {"analysis comment, empty description", [](CID3V2Tag& t) { return t.SetComment(1, u"PEA", u"", u"-3.5"); },
       "COMM|PEA||-3.5", "TAG:comment=-3.5", [](CID3V2Tag& t) { return t.GetComment(1); }, u"-3.5"},
      {"generic comment", [](CID3V2Tag& t) { return t.SetComment(1, u"ENG", u"Sonavex", u"nice \u266b"); },
       "COMM|ENG|Sonavex|nice \u266b", "TAG:Sonavex=nice \u266b", [](CID3V2Tag& t) { return t.GetComment(1); },
       u"nice \u266b"},
      {"lyrics, empty description", [](CID3V2Tag& t) { return t.SetLyric(1, u"eng", u"", u"la la"); },
       "USLT|eng||la la", "TAG:lyrics-eng=la la", [](CID3V2Tag& t) { return t.GetLyric(1); }, u"la la"},
      {"user text, empty description", [](CID3V2Tag& t) { return t.SetUserText(1, u"", u"value"); },
       "TXXX||value", "", [](CID3V2Tag& t) { return t.GetUserText(1); }, u"value"},
      {"picture, description in Cyrillic and an emoji",
       [&](CID3V2Tag& t) { return t.SetPicture(W(cover), u"обложка 🎧", 1, 3, false); },
       "", "TAG:title=обложка 🎧", [](CID3V2Tag& t) { return t.GetPictureDescription(1); }, u"обложка 🎧"},
      {"picture, description in Latin-1", [&](CID3V2Tag& t) { return t.SetPicture(W(cover), u"Café", 1, 3, false); },
       "", "TAG:title=Café", [](CID3V2Tag& t) { return t.GetPictureDescription(1); }, u"Café"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("song.mp3");
    std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES) + "/mpeg/cbr128_joint.mp3", path);
    const auto audio = TempDir::Read(path);
    CID3V2Tag tag;
    ReadTag(tag, path);
    ASSERT_TRUE(c.write(tag));
    ASSERT_TRUE(tag.WriteToFile(W(path)));
    EXPECT_EQ(AudioOf(path), audio);

    // ffmpeg's complaints about the tag (the tiny picture's own decoding
    // warning aside).
    const std::string err = RunCommand("ffprobe -v warning -show_entries format_tags:stream_tags=title -of "
                                       "default=nw=1 '" + path + "' 2>&1 >/dev/null | grep -v '^\\[mjpeg'");
    EXPECT_EQ(err, "");
    const std::string out = RunCommand("ffprobe -v quiet -show_entries format_tags:stream_tags=title -of "
                                       "default=nw=1 '" + path + "'");
    if (*c.ffprobe) {
      EXPECT_NE(out.find(std::string(c.ffprobe) + "\n"), std::string::npos) << out;
    }
    const auto m = Mutagen(path);
    if (*c.mutagen) {
      EXPECT_TRUE(Contains(m, c.mutagen)) << ::testing::PrintToString(m);
    } else {
      EXPECT_TRUE(Contains(m, "APIC|image/jpeg|3|" + U(c.expect) + "|" + Sha1Of(cover))) << ::testing::PrintToString(m);
    }
    CID3V2Tag again;
    ASSERT_TRUE(ReadTag(again, path));
    EXPECT_EQ(c.read(again), c.expect);
  }

  // A picture description that Latin-1 holds is stored in single bytes:
  // encoding 0, "image/jpeg", 0, type 3, "Café" in Latin-1, 0.
  CID3V2Tag tag;
  ASSERT_TRUE(tag.SetPicture(W(cover), u"Café", 1, 3, false));
  const auto& p = tag.Slot(tag.FindFrame(ID3V2FrameId("APIC"), 0)).payload;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.GetData()), 18), std::string("\0image/jpeg\0\3Caf\xE9\0", 18));

  // The form written before, an empty description without its mark, still
  // reads (ffmpeg skips it; mutagen and this library do not).
  TempDir dir;
  const std::string old = dir.file("old.mp3");
  const std::string body = std::string("\1PEA\0\0\xFF\xFE" "1\0" "2\0\0\0", 14);
  std::string frame = "COMM" + std::string("\0\0\0", 3) + char(body.size()) + std::string(2, '\0') + body;
  const auto audio = TempDir::Read(std::string(DJVP_TEST_FIXTURES) + "/mpeg/cbr128_joint.mp3");
  TempDir::Write(old, std::string("ID3\3\0\0", 6) + Syncsafe(frame.size()) + frame + std::string(audio.begin(), audio.end()));
  CID3V2Tag oldForm;
  ASSERT_TRUE(ReadTag(oldForm, old));
  EXPECT_EQ(oldForm.GetComment(1), u"12");
  EXPECT_EQ(oldForm.GetCommentDescription(1), u"");
  EXPECT_TRUE(Contains(Mutagen(old), "COMM|PEA||12"));
}

// Values of more than 32,500 bytes (a long lyric, a long comment) read back
// as written, by this library and by mutagen, in ID3v2 text frames and list
// items and in APE items.
TEST(Id3v2Write, LongValuesReadBackAsWritten) {
  const std::u16string text = [] {
    std::u16string t;
    for (int i = 0; t.size() < 40000; ++i) t += u"Line " + FromUtf8(std::to_string(i)) + u" \u00e4\u266b\r\n";
    return t + u"end";  // (APE values lose trailing blanks and line ends)
  }();
  const std::string utf8 = U(text);
  ASSERT_GT(utf8.size(), 32500u);
  struct Case {
    const char* name;
    std::function<void(CSonavexCtrl&)> put;
    std::function<std::u16string(CSonavexCtrl&)> get;
    std::function<bool(CSonavexCtrl&, const std::u16string&)> save;
    const char* mutagen;  // prints the value
  } cases[] = {
      {"ID3v2 title", [&](CSonavexCtrl& c) { c.SetID3V2Title(text); }, [](CSonavexCtrl& c) { return c.GetID3V2Title(); },
       [](CSonavexCtrl& c, const std::u16string& p) { return c.ID3V2SaveChangesToFile(p); },
       "from mutagen.id3 import ID3\nprint(ID3(sys.argv[1])['TIT2'].text[0], end='')"},
      {"ID3v2 comment", [&](CSonavexCtrl& c) { c.ID3V2SetComment(1, u"eng", u"long", text); },
       [](CSonavexCtrl& c) { return c.ID3V2GetComment(1); },
       [](CSonavexCtrl& c, const std::u16string& p) { return c.ID3V2SaveChangesToFile(p); },
       "from mutagen.id3 import ID3\nprint(ID3(sys.argv[1]).getall('COMM')[0].text[0], end='')"},
      {"ID3v2 lyrics", [&](CSonavexCtrl& c) { c.ID3V2SetLyric(1, u"eng", u"", text); },
       [](CSonavexCtrl& c) { return c.ID3V2GetLyric(1); },
       [](CSonavexCtrl& c, const std::u16string& p) { return c.ID3V2SaveChangesToFile(p); },
       "from mutagen.id3 import ID3\nprint(ID3(sys.argv[1]).getall('USLT')[0].text, end='')"},
      {"ID3v2 user text", [&](CSonavexCtrl& c) { c.ID3V2SetUserText(1, u"notes", text); },
       [](CSonavexCtrl& c) { return c.ID3V2GetUserText(1); },
       [](CSonavexCtrl& c, const std::u16string& p) { return c.ID3V2SaveChangesToFile(p); },
       "from mutagen.id3 import ID3\nprint(ID3(sys.argv[1]).getall('TXXX')[0].text[0], end='')"},
      {"APE title", [&](CSonavexCtrl& c) { c.SetAPETitle(text); }, [](CSonavexCtrl& c) { return c.GetAPETitle(); },
       [](CSonavexCtrl& c, const std::u16string& p) { return c.APESaveChangesToFile(p); },
       "from mutagen.apev2 import APEv2\nprint(str(APEv2(sys.argv[1])['TITLE']), end='')"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    TempDir dir;
    const std::string path = dir.file("song.mp3");
    std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES) + "/mpeg/cbr128_joint.mp3", path);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    k.put(c);
    ASSERT_TRUE(k.save(c, W(path))) << c.AUDIOGetLastErrorNumber();
    CSonavexCtrl r;
    ASSERT_EQ(r.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    EXPECT_TRUE(k.get(r) == text) << k.get(r).size();
    const std::string script = dir.file("read.py");
    TempDir::Write(script, std::string("import sys\n") + k.mutagen + "\n");
    const std::string out = RunCommand("/usr/bin/python3 '" + script + "' '" + path + "'");
    // mutagen gives the line ends as they are.
    EXPECT_TRUE(out == utf8) << out.size() << " bytes";
  }
}

// A field of several values (U+0000 between them) saved into tags of both
// versions: mutagen reads every value of the frame, ffmpeg (which reads a
// text frame's first string only) reads the first without a complaint, and
// a new read gives the values as they were given.
TEST(Id3v2Write, FieldsOfSeveralValuesReadBackInMutagenFfmpegAndTheLibrary) {
  const std::u16string artist(u"One\0Tw\u00f6", 7), genre(u"House\0Techno", 12);
  for (const char* file : {"v23_full.mp3", "v24_full.mp3"}) {
    SCOPED_TRACE(file);
    TempDir dir;
    const std::string path = CopyFixture(dir, file);
    CID3V2Tag tag;
    ASSERT_TRUE(ReadTag(tag, path));
    ASSERT_TRUE(tag.SetArtist(artist));
    ASSERT_TRUE(tag.SetGenre(genre));
    ASSERT_TRUE(tag.WriteToFile(W(path)));

    EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3; "
                         "t = ID3(sys.argv[1], translate=False); print(t.version[1], t['TPE1'].text, t['TCON'].text)\" '" +
                         path + "'"),
              std::string(1, file[2]) + " ['One', 'Twö'] ['House', 'Techno']\n");
    EXPECT_EQ(RunCommand("ffprobe -v error -show_entries format_tags=artist -of default=nw=1:nk=1 '" + path + "' 2>&1"),
              "One\n");
    CID3V2Tag again;
    ASSERT_TRUE(ReadTag(again, path));
    EXPECT_EQ(again.GetArtist(), artist);
    EXPECT_EQ(again.GetGenre(), genre);
  }
}
