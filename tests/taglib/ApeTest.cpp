// The APE tag: versions 2000 (mutagen) and 1000, items it skips, damaged
// footers, saving with header and footer, removing, and its place in front
// of a Lyrics3 block and an ID3v1 tag.
#include "APETag.h"
#include "Bytes.h"
#include "MpegTestSupport.h"

#include <cstring>
#include <optional>
#include <string_view>

using namespace sonavex;
using namespace mpegtest;
using namespace std::string_view_literals;

namespace {

const size_t kAudio = 8777;  // size of cbr128_stereo_noinfo.mp3, the audio of the tag fixtures

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Audio() { return TempDir::Read(Fixture("cbr128_stereo_noinfo.mp3")); }
Bytes ID3v1() {
  const Bytes t = TempDir::Read(Fixture("tag_id3v1.mp3"));
  return Slice(t, t.size() - 128, 128);
}

Bytes Footer(int32_t version, int32_t size, int32_t count, uint32_t flags) {
  Bytes f(32, 0);
  std::memcpy(f.data(), "APETAGEX", 8);
  bytes::PutLE32(f.data() + 8, static_cast<uint32_t>(version));
  bytes::PutLE32(f.data() + 12, static_cast<uint32_t>(size));
  bytes::PutLE32(f.data() + 16, static_cast<uint32_t>(count));
  bytes::PutLE32(f.data() + 20, flags);
  return f;
}

Bytes Item(const std::string& key, const std::string& value, uint32_t flags = 0, int64_t size = -1) {
  Bytes i(8, 0);
  bytes::PutLE32(i.data(), static_cast<uint32_t>(size != -1 ? size : static_cast<int64_t>(value.size())));
  bytes::PutLE32(i.data() + 4, flags);
  return Cat({i, B(key), Bytes(1, 0), B(value)});
}

const char* const kMutagenApe = R"(import sys
from mutagen.apev2 import APEv2
t = APEv2(sys.argv[1])
for k in sorted(t.keys()):
    print(k, str(t[k]))
)";

}  // namespace

TEST(Ape, ReadsMutagenTagInFrontOfID3v1) {
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("tag_ape_id3v1.mp3"))), kFormatMPEG);
  EXPECT_EQ(Call(c, 228).number, -1);
  EXPECT_EQ(Call(c, 229).text, u"2000");
  EXPECT_EQ(Call(c, 61).text, u"Ape Title");
  EXPECT_EQ(Call(c, 57).text, u"Ape Artist");  // trailing blanks removed
  EXPECT_EQ(Call(c, 56).text, u"Äpe Album ♫");  // UTF-8
  EXPECT_EQ(Call(c, 62).text, u"3");
  EXPECT_EQ(Call(c, 63).text, u"2004");
  EXPECT_EQ(Call(c, 60).text, u"House");
  EXPECT_EQ(Call(c, 58).text, u"ape comment");
  EXPECT_EQ(Call(c, 59).text, u"");
  const int32_t size = Call(c, 227).number;
  EXPECT_EQ(c.AUDIOGetFileSize(), int32_t(kAudio) + 32 + size + 128);  // header + items + footer + ID3v1
  EXPECT_TRUE(c.ID3V1Exists());
  // Without ID3v2, APE supplies the generic strings before ID3v1.
  EXPECT_EQ(c.GetAUDIOTitle(), u"Ape Title");
  EXPECT_EQ(c.GetAUDIOYear(), u"2004");
  // The MPEG figures leave the tags out of the audio.
  EXPECT_EQ(c.MPEGGetFrames(), 22);
}

TEST(Ape, ReadsVersion1000AndSkipsBinaryItems) {
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("tag_ape_v1000.mp3"))), kFormatMPEG);
  EXPECT_EQ(c.APEGetVersion(), u"1000");
  EXPECT_EQ(c.GetAPETitle(), u"Café");  // ANSI, lower-case key
  EXPECT_EQ(c.GetAPEArtist(), u"Old Artist");  // read after the binary item
  EXPECT_EQ(c.GetAPEComment(), u"");
  EXPECT_FALSE(c.ID3V1Exists());
}

TEST(Ape, DamagedFootersAndItemsStayInsideTheTag) {
  TempDir dir;
  const Bytes title = Item("Title", "ok");
  struct Case {
    const char* name;
    Bytes tail;
    bool found;
    const char16_t* title;
    bool confirmed;  // the items fill the tag exactly: it may be cut out
  } cases[] = {
      {"size past the file start", Cat({title, Footer(2000, 0x7FFFFFF0, 1, 0)}), false, u"", false},
      {"size below a footer", Cat({title, Footer(2000, 8, 1, 0)}), false, u"", false},
      {"huge item count", Cat({title, Footer(2000, int32_t(title.size() + 32), 0x7FFFFFFF, 0)}), true, u"ok", false},
      {"value past the tag",
       Cat({title, Item("Artist", "x", 0, 0x10000000), Footer(2000, int32_t(title.size() + 16 + 32), 2, 0)}), true,
       u"ok", false},
      {"negative value size", Cat({Item("Title", "x", 0, -5LL), Footer(2000, 15 + 32, 1, 0)}), true, u"", false},
      {"key without its end",
       Cat({title, B(std::string("\1\0\0\0\0\0\0\0ARTIST", 14)), Footer(2000, int32_t(title.size() + 14 + 32), 2, 0)}),
       true, u"ok", false},
      {"size reaching into the audio", Cat({title, Footer(2000, int32_t(title.size() + 32 + 100), 1, 0)}), true, u"",
       false},
      {"header flag without a header", Cat({title, Footer(2000, int32_t(title.size() + 32), 1, 0x80000000u)}), true,
       u"ok", true},
  };
  for (const auto& k : cases) {
    const std::string path = dir.file("damaged.mp3");
    const Bytes original = Cat({Audio(), k.tail});
    TempDir::Write(path, original);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG) << k.name;
    EXPECT_EQ(c.APEExists(), k.found) << k.name;
    EXPECT_EQ(c.GetAPETitle(), k.title) << k.name;
    // Only a tag whose extent is confirmed is cut out; the audio never is.
    EXPECT_EQ(c.APERemoveTagFromFile(W(path)), k.confirmed) << k.name;
    EXPECT_EQ(TempDir::Read(path), k.confirmed ? Audio() : original) << k.name;
    if (k.confirmed) continue;
    // A save keeps the damaged bytes and puts its tag behind them.
    c.SetAPETitle(u"saved");
    ASSERT_TRUE(c.APESaveChangesToFile(W(path))) << k.name;
    EXPECT_EQ(Slice(TempDir::Read(path), 0, original.size()), original) << k.name;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG) << k.name;
    EXPECT_EQ(c.GetAPETitle(), u"saved") << k.name;
  }
}

TEST(Ape, SaveWritesHeaderItemsAndFooterThatMutagenReads) {
  TempDir dir;
  const std::string path = Copy(dir, "tag_id3v1.mp3");
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  ASSERT_EQ(Put(c, 61, StrArg(u"abc")), AUTO_S_OK);
  ASSERT_EQ(Call(c, 273, {StrArg(W(path))}).number, -1);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagMissing);  // there was no tag before
  EXPECT_EQ(Call(c, 227).number, 49);
  const Bytes expectTag = Cat({Footer(2000, 49, 1, 0xA0000000u), Item("TITLE", "abc"), Footer(2000, 49, 1, 0x80000000u)});
  ASSERT_EQ(expectTag.size(), 81u);
  EXPECT_EQ(TempDir::Read(path), Cat({Audio(), expectTag, ID3v1()}));
  EXPECT_EQ(Python(kMutagenApe, path), "TITLE abc\n");

  // All eight items, then replacing them: one tag stays, in the same place;
  // keys that are not among the eight are kept, and so are the unchanged
  // items, byte for byte (the key's case and the trailing blanks too).
  const std::string full = Copy(dir, "tag_ape_id3v1.mp3");
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(full)), kFormatMPEG);
  c.SetAPECopyright(u"© 2024");
  c.SetAPEComment(u"Ünïcödé ♫");
  c.SetAPETrack(u"");
  ASSERT_TRUE(c.APESaveChangesToFile(W(full)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), 0);
  EXPECT_EQ(Python(kMutagenApe, full),
            "Album Äpe Album ♫\nArtist Ape Artist  \nCOMMENT Ünïcödé ♫\nCOPYRIGHT © 2024\nComposer Somebody\n"
            "Genre House\nTitle Ape Title\nYear 2004\n");
  const Bytes after = TempDir::Read(full);
  EXPECT_EQ(Slice(after, 0, kAudio), Audio());
  EXPECT_EQ(Slice(after, after.size() - 128, 128), ID3v1());
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(full)), kFormatMPEG);
  EXPECT_EQ(c.GetAPEComment(), u"Ünïcödé ♫");
  EXPECT_EQ(c.GetAPETrack(), u"");

  // Empty values make a tag of header and footer only.
  const std::string empty = Copy(dir, "cbr128_stereo_noinfo.mp3");
  CSonavexCtrl e;
  ASSERT_TRUE(e.APESaveChangesToFile(W(empty)));
  EXPECT_EQ(TempDir::Read(empty), Cat({Audio(), Footer(2000, 32, 0, 0xA0000000u), Footer(2000, 32, 0, 0x80000000u)}));
}

TEST(Ape, RemoveKeepsID3v1AndLyricsAndRefusesWithoutATag) {
  TempDir dir;
  const std::string path = Copy(dir, "tag_ape_id3v1.mp3");
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  ASSERT_EQ(Call(c, 230, {StrArg(W(path))}).number, -1);
  EXPECT_EQ(TempDir::Read(path), Cat({Audio(), ID3v1()}));
  EXPECT_EQ(Call(c, 61).text, u"");  // the object is cleared
  EXPECT_EQ(Call(c, 229).text, u"");
  EXPECT_EQ(Call(c, 230, {StrArg(W(path))}).number, 0);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagMissing);

  // In front of a Lyrics3 block: saved and removed there, the block kept.
  const std::string both = Copy(dir, "tag_ape_lyrics2_id3v1.mp3");
  const Bytes before = TempDir::Read(both);
  const size_t apeSize = TempDir::Read(Fixture("tag_ape_only.mp3")).size() - kAudio;
  const Bytes lyricsAndV1 = Slice(before, kAudio + apeSize, before.size());
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(both)), kFormatMPEG);
  c.SetAPEArtist(u"Added");
  ASSERT_TRUE(c.APESaveChangesToFile(W(both)));
  Bytes after = TempDir::Read(both);
  EXPECT_EQ(Slice(after, 0, kAudio), Audio());
  EXPECT_EQ(Slice(after, after.size() - lyricsAndV1.size(), lyricsAndV1.size()), lyricsAndV1);
  EXPECT_EQ(Python(kMutagenApe, both), "ARTIST Added\nTitle Only Ape\n");
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(both)), kFormatMPEG);
  EXPECT_EQ(c.GetLYRICSTitle(), u"Lyr Title");
  ASSERT_TRUE(c.APERemoveTagFromFile(W(both)));
  EXPECT_EQ(TempDir::Read(both), Cat({Audio(), lyricsAndV1}));

  // A Lyrics3 block and no APE tag: a new tag goes in front of the block.
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(both)), kFormatMPEG);
  c.SetAPETitle(u"New");
  ASSERT_TRUE(c.APESaveChangesToFile(W(both)));
  after = TempDir::Read(both);
  EXPECT_EQ(Slice(after, after.size() - lyricsAndV1.size(), lyricsAndV1.size()), lyricsAndV1);
  EXPECT_EQ(Python(kMutagenApe, both), "TITLE New\n");
}

TEST(Ape, SaveRefusesFormatsWithoutAPETags) {
  TempDir dir;
  const std::string flac = dir.file("song.flac");
  std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES) + "/flac/bare.flac", flac);
  const Bytes before = TempDir::Read(flac);
  CSonavexCtrl c;
  c.SetAPETitle(u"x");
  EXPECT_FALSE(c.APESaveChangesToFile(W(flac)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);
  EXPECT_EQ(TempDir::Read(flac), before);
  EXPECT_FALSE(c.APERemoveTagFromFile(W(dir.file("missing.mp3"))));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), ENOENT);
}

TEST(Ape, ItemsOfOtherKeysAreKeptByteForByte) {
  TempDir dir;
  const std::string path = Copy(dir, "cbr128_stereo_noinfo.mp3");
  // A tag as other programs write it: a BPM, a composer, cover art (binary),
  // a link (external) and a comment in binary form.
  ASSERT_EQ(Python(R"PY(import sys
from mutagen.apev2 import APEv2, APEValue, BINARY, EXTERNAL
t = APEv2()
t["Title"] = "Old"
t["BPM"] = "128"
t["Composer"] = "Some One"
t["Cover Art (Front)"] = APEValue(b"front.jpg\x00\xff\xd8\xff\xe0" + bytes(range(256)), BINARY)
t["Related"] = APEValue("https://example.org/", EXTERNAL)
t["Comment"] = APEValue(b"\x00\x01binary", BINARY)
t.save(sys.argv[1])
)PY",
                   path),
            "");
  const char* const kDump = R"(import sys
from mutagen.apev2 import APEv2
t = APEv2(sys.argv[1])
for k in sorted(t.keys()):
    print(k, t[k].kind, bytes(t[k].value).hex() if t[k].kind == 1 else str(t[k]))
)";
  const std::string before = Python(kDump, path);

  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  EXPECT_EQ(c.GetAPETitle(), u"Old");
  EXPECT_EQ(c.GetAPEComment(), u"");  // a comment without text
  c.SetAPETitle(u"New");
  ASSERT_TRUE(c.APESaveChangesToFile(W(path))) << c.AUDIOGetLastErrorNumber();
  std::string expect = before;
  expect.replace(expect.find("Title 0 Old"), 11, "Title 0 New");
  // The keys come back with the case of the eight known keys for those.
  expect.replace(expect.find("Title 0 New"), 5, "TITLE");
  EXPECT_EQ(Python(kDump, path), [&] {
    // Sort again: the known key changed its case.
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < expect.size()) {
      const size_t end = expect.find('\n', at);
      lines.push_back(expect.substr(at, end - at + 1));
      at = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& l : lines) out += l;
    return out;
  }());

  // A text comment takes the place of the binary one.
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  c.SetAPEComment(u"now text");
  ASSERT_TRUE(c.APESaveChangesToFile(W(path)));
  const std::string after = Python(kDump, path);
  EXPECT_NE(after.find("COMMENT 0 now text\n"), std::string::npos) << after;
  EXPECT_EQ(after.find("Comment 1"), std::string::npos) << after;
  EXPECT_NE(after.find("BPM 0 128\n"), std::string::npos) << after;
}

// Items of several values (zero-separated, as mutagen writes a list): a save
// that changes another item keeps every value; changing or clearing the item
// itself replaces all of them. mutagen reads what the library wrote (ffmpeg
// reads no APE tag of an MP3); the audio and the ID3v1 tag behind the tag
// stay as they were.
TEST(Ape, ItemsOfSeveralValuesSurviveSavesThatDoNotChangeThem) {
  struct Case {
    const char* name;
    std::optional<std::u16string_view> artist;  // nullopt: only the title changes
    const char* mutagen;                        // the Artist item as mutagen shows it afterwards
    std::u16string_view read;                   // ... and a new analysis
  } cases[] = {
      {"title changed", std::nullopt, "Artist ['One', 'Two']", u"One\0Two"sv},
      {"artist changed", u"Three"sv, "ARTIST ['Three']", u"Three"sv},
      // Several values (U+0000 between them) are the item's list.
      {"artist set to several values", u"Three\0Four\0"sv, "ARTIST ['Three', 'Four']", u"Three\0Four"sv},
      {"artist cleared", u""sv, "", u""sv},
  };
  const char* const kList = R"(import sys
from mutagen.apev2 import APEv2
t = APEv2(sys.argv[1])
for k in sorted(t.keys()):
    print(k, list(t[k]) if t[k].kind == 0 else t[k].kind)
)";
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    TempDir dir;
    const std::string path = Copy(dir, "cbr128_stereo_noinfo.mp3");
    ASSERT_EQ(Python(R"PY(import sys
from mutagen.apev2 import APEv2
t = APEv2()
t["Title"] = "Old"
t["Artist"] = ["One", "Two"]
t["Genre"] = ["House", "Techno"]
t.save(sys.argv[1])
)PY",
                     path),
              "");
    TempDir::Write(path, Cat({TempDir::Read(path), ID3v1()}));  // behind the APE tag
    const Bytes before = TempDir::Read(path);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    EXPECT_EQ(c.GetAPEArtist(), u"One\0Two"sv);  // every value of the list
    c.SetAPETitle(u"New");
    if (k.artist) c.SetAPEArtist(WString(*k.artist));
    ASSERT_TRUE(c.APESaveChangesToFile(W(path))) << c.AUDIOGetLastErrorNumber();
    EXPECT_EQ(Python(kList, path), std::string(*k.mutagen ? std::string(k.mutagen) + "\n" : "") +
                                       "Genre ['House', 'Techno']\nTITLE ['New']\n");
    CSonavexCtrl r;
    ASSERT_EQ(r.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    EXPECT_EQ(r.GetAPEArtist(), k.read);
    EXPECT_EQ(r.GetAPETitle(), u"New");
    EXPECT_EQ(r.GetID3V1Title(), u"Title One");
    // The audio in front of the tag and the ID3v1 tag behind it, byte for byte.
    const Bytes after = TempDir::Read(path);
    EXPECT_EQ(Slice(after, 0, kAudio), Slice(before, 0, kAudio));
    EXPECT_EQ(Slice(after, after.size() - 128, 128), ID3v1());
  }
}

TEST(Ape, TagThatEndsTheFileIsNotTakenForAnID3v1Tag) {
  // An input the fuzz target found: an MP3 whose last bytes, once a new APE
  // tag is appended, hold "TAG" 128 bytes before the new end. The saved tag
  // must read back, and the file has no ID3v1 tag or Lyrics3 block.
  TempDir dir;
  const Bytes input = TempDir::Read(std::string(DJVP_TEST_SOURCE_DIR) + "/tests/fuzz/found/mpeg_tags_fuzz/ape-save-readback");
  const std::string path = dir.file("found.mp3");
  TempDir::Write(path, Bytes(input.begin() + 1, input.end()));
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  c.SetAPETitle(u"fz");
  ASSERT_TRUE(c.APESaveChangesToFile(W(path)));
  CSonavexCtrl r;
  ASSERT_EQ(r.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  EXPECT_EQ(r.GetAPETitle(), u"fz");
  EXPECT_FALSE(r.ID3V1Exists());
  EXPECT_FALSE(r.LYRICSExists());
  EXPECT_EQ(Python(kMutagenApe, path), "TITLE fz\n");

  // The same with a value of the tag itself holding "TAG" there.
  const std::string own = Copy(dir, "cbr128_stereo_noinfo.mp3", "own.mp3");
  CSonavexCtrl w;
  // Items: TITLE (8 + 6 + 60), then COMMENT whose value ends 96 bytes
  // before the footer with "TAG": the footer is 32 bytes.
  w.SetAPETitle(W(std::string(60, 't')));
  w.SetAPEComment(W(std::string(40, 'c') + "TAG" + std::string(93, 'c')));
  ASSERT_TRUE(w.APESaveChangesToFile(W(own)));
  const Bytes saved = TempDir::Read(own);
  ASSERT_EQ(std::string(saved.end() - 128, saved.end() - 125), "TAG");
  ASSERT_EQ(r.AUDIOAnalyzeFile(W(own)), kFormatMPEG);
  EXPECT_EQ(r.GetAPETitle(), W(std::string(60, 't')));
  EXPECT_FALSE(r.ID3V1Exists());
}
