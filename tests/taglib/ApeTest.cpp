// The APE tag: versions 2000 (mutagen) and 1000, items it skips, damaged
// footers, saving with header and footer, removing, and its place in front
// of a Lyrics3 block and an ID3v1 tag.
#include "APETag.h"
#include "Bytes.h"
#include "MpegTestSupport.h"

#include <cstring>

using namespace sonavex;
using namespace mpegtest;

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
  // keys that are not among the eight are gone after a save.
  const std::string full = Copy(dir, "tag_ape_id3v1.mp3");
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(full)), kFormatMPEG);
  c.SetAPECopyright(u"© 2024");
  c.SetAPEComment(u"Ünïcödé ♫");
  c.SetAPETrack(u"");
  ASSERT_TRUE(c.APESaveChangesToFile(W(full)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), 0);
  EXPECT_EQ(Python(kMutagenApe, full),
            "ALBUM Äpe Album ♫\nARTIST Ape Artist\nCOMMENT Ünïcödé ♫\nCOPYRIGHT © 2024\nGENRE House\n"
            "TITLE Ape Title\nYEAR 2004\n");
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
  EXPECT_EQ(Python(kMutagenApe, both), "ARTIST Added\nTITLE Only Ape\n");
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
