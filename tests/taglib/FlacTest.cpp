// FLAC: the stream information and comment a read finds, the metadata walk
// over damaged or unusual chains, and the saves (in place and rewritten),
// checked with flac -t, metaflac, mutagen and the decoded audio.
#include "Bytes.h"
#include "FLAC.h"
#include "Module.h"
#include "SafeWrite.h"
#include "SonavexCtrl.h"
#include "TempDir.h"
#include "VorbisTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <string>
#include <string_view>
#include <vector>

using namespace vorbistest;
using sonavex::CFLAC;
using sonavex::CVorbisComment;
using Bytes = std::vector<unsigned char>;
using namespace std::string_view_literals;

namespace {

// Reads the file with a fresh object, as the analysis would (the ID3v2 tag
// size is given: the ID3v2 reader is not part of these tests).
bool ReadFlac(const std::string& path, CFLAC& flac, int32_t id3v2 = 0) {
  sonavex::TagFile f;
  if (!f.Open(path, sonavex::TagFile::Mode::Read)) return false;
  flac.State() = sonavex::FileState{};
  flac.State().id3v2Size = id3v2;
  flac.State().fileSize = static_cast<int32_t>(f.Length());
  return flac.Read(f);
}

bool Save(CFLAC& flac, const std::string& path, int32_t id3v2 = 0) {
  flac.State().id3v2Size = id3v2;
  flac.State().lastError = 0;
  return flac.SaveChangesToFile(W(path));
}

// An independent walk: the blocks (type, length) and where the audio begins.
struct Walk {
  std::vector<std::pair<int, uint32_t>> blocks;
  size_t audio = 0;
};
Walk WalkBlocks(const Bytes& b, size_t start = 0) {
  Walk w;
  size_t pos = start + 4;
  for (;;) {
    const int type = b[pos] & 0x7F;
    const bool last = b[pos] & 0x80;
    const uint32_t len = sonavex::bytes::BE24(&b[pos + 1]);
    w.blocks.emplace_back(type, len);
    pos += 4 + len;
    if (last) break;
  }
  w.audio = pos;
  return w;
}
Bytes AudioOf(const std::string& path, size_t start = 0) {
  const Bytes b = ReadWhole(path);
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(WalkBlocks(b, start).audio), b.end());
}

std::string FlacTest(const std::string& path) {
  std::string out;
  return Run("flac --silent -t " + Quote(path), &out) == 0 ? "" : out;
}

std::string Metaflac(const std::string& args, const std::string& path) {
  std::string out;
  Run("metaflac " + args + " " + Quote(path), &out);
  return out;
}

void Header(Bytes& b, uint8_t typeAndFlag, uint32_t len) {
  b.insert(b.end(), {typeAndFlag, uint8_t(len >> 16), uint8_t(len >> 8), uint8_t(len)});
}

// A STREAMINFO body: 4096-sample blocks, bytes 10-13 as given, then the
// low 32 bits of the sample count and a zero MD5.
Bytes StreamInfo(std::initializer_list<uint8_t> b10to13, uint32_t samplesLow) {
  Bytes s = {0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x0A, 0x5B};
  s.insert(s.end(), b10to13);
  uint8_t n[4];
  sonavex::bytes::PutBE32(n, samplesLow);
  s.insert(s.end(), n, n + 4);
  s.resize(34, 0);
  return s;
}

Bytes CommentBody(const std::vector<std::string>& entries) {
  Bytes out = {4, 0, 0, 0, 'v', 'e', 'n', 'd'};
  out.insert(out.end(), {uint8_t(entries.size()), 0, 0, 0});
  for (const auto& e : entries) {
    out.insert(out.end(), {uint8_t(e.size()), 0, 0, 0});
    out.insert(out.end(), e.begin(), e.end());
  }
  return out;
}

}  // namespace

TEST(FlacRead, FixturesReportStreamInfoAndComment) {
  for (const char* name : {"padded.flac", "nopad.flac", "picture.flac", "bare.flac"}) {
    SCOPED_TRACE(name);
    const std::string path = Fixture("flac", name);
    CFLAC flac;
    ASSERT_TRUE(ReadFlac(path, flac));
    EXPECT_EQ(flac.GetSampleRate(), std::stoi(Metaflac("--show-sample-rate", path)));
    EXPECT_EQ(flac.GetChannels(), std::stoi(Metaflac("--show-channels", path)));
    EXPECT_EQ(flac.m_nBitsPerSample, std::stoi(Metaflac("--show-bps", path)));
    EXPECT_EQ(flac.m_nTotalSamples, std::stoi(Metaflac("--show-total-samples", path)));
    EXPECT_EQ(flac.m_nMinBlockSize, std::stoi(Metaflac("--show-min-blocksize", path)));
    EXPECT_EQ(flac.m_nMaxBlockSize, std::stoi(Metaflac("--show-max-blocksize", path)));
    EXPECT_EQ(flac.m_nMinFrameSize, std::stoi(Metaflac("--show-min-framesize", path)));
    EXPECT_EQ(flac.m_nMaxFrameSize, std::stoi(Metaflac("--show-max-framesize", path)));
    std::string vendor = Metaflac("--show-vendor-tag", path);
    vendor.pop_back();
    EXPECT_EQ(flac.m_Comment.m_strVendor, W(vendor));
    EXPECT_TRUE(flac.IsValid());
    EXPECT_FLOAT_EQ(flac.GetDuration(), 1.0f);
    EXPECT_EQ(flac.GetChannelMode(), u"Mono");
    const Bytes bytes = TempDir::Read(path);
    EXPECT_EQ(static_cast<size_t>(flac.m_nMetadataSize), WalkBlocks(bytes).audio);
    // Bitrate: the audio bytes in kbit/s over the whole seconds.
    EXPECT_EQ(flac.GetBitrate(), static_cast<int32_t>((bytes.size() - WalkBlocks(bytes).audio) * 8 / 1000));
    EXPECT_FLOAT_EQ(flac.GetCompressionRatio(), float(bytes.size() / (8000.0 * 16 * 1 / 8) * 100));
  }
  CFLAC flac;
  ASSERT_TRUE(ReadFlac(Fixture("flac", "picture.flac"), flac));
  EXPECT_EQ(flac.m_Comment[CVorbisComment::kTitle], u"Tëst Title");
  EXPECT_EQ(flac.m_Comment[CVorbisComment::kTrackNumber], u"7");
  EXPECT_EQ(flac.m_Comment[CVorbisComment::kComment], u"BPM\r\n128.0\r\nPEA\r\n-3.2\r\nSMP\r\n12345\r\n");
  EXPECT_EQ(flac.GetGenericStrings().year, u"2021");
}

TEST(FlacRead, StreamInfoBitsAndRefusals) {
  TempDir dir;
  // 44100 Hz, 2 channels, 16 bits; the 36-bit sample count is 2^32 + 5.
  Bytes b = {'f', 'L', 'a', 'C'};
  const Bytes si = StreamInfo({0x0A, 0xC4, 0x42, 0xF1}, 5);
  Header(b, 0x80, 34);
  b.insert(b.end(), si.begin(), si.end());
  b.insert(b.end(), 100, 0x55);
  TempDir::Write(dir.file("si.flac"), b);
  CFLAC flac;
  ASSERT_TRUE(ReadFlac(dir.file("si.flac"), flac));
  EXPECT_EQ(flac.GetSampleRate(), 44100);
  EXPECT_EQ(flac.GetChannels(), 2);
  EXPECT_EQ(flac.m_nBitsPerSample, 16);
  EXPECT_EQ(flac.m_nTotalSamples, 5);  // the low 32 bits only
  EXPECT_EQ(flac.m_nMinBlockSize, 4096);
  EXPECT_EQ(flac.m_nMaxFrameSize, 0x0A5B);

  // No marker at the audio start: not FLAC, and the object is cleared.
  TempDir::Write(dir.file("not.flac"), std::string("RIFF....WAVEfmt and more bytes"));
  EXPECT_FALSE(ReadFlac(dir.file("not.flac"), flac));
  EXPECT_EQ(flac.GetSampleRate(), 0);
  EXPECT_EQ(flac.m_Comment.m_strVendor, CVorbisComment::kDefaultVendor);
  EXPECT_FALSE(flac.IsValid());
  EXPECT_EQ(flac.GetBitrate(), 0);
  EXPECT_EQ(flac.GetCompressionRatio(), 0.0f);
}

TEST(FlacRead, WalkFollowsDeclaredLengthsAndStopsAtAudio) {
  TempDir dir;
  const Bytes si = StreamInfo({0x01, 0xF4, 0x00, 0xF0}, 8000);
  const Bytes frames = {0xFF, 0xF8, 0x69, 0x08, 0x00, 0x1F, 0x40, 0x00, 0x11, 0x22, 0x33};

  // A comment block with bytes behind its entries, then an application block
  // and no last-block flag anywhere: the walk skips the trailing bytes by the
  // declared length and ends at the first frame.
  Bytes b = {'f', 'L', 'a', 'C'};
  Header(b, 0, 34);
  b.insert(b.end(), si.begin(), si.end());
  Bytes comment = CommentBody({"TITLE=walk"});
  comment.insert(comment.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0x00});
  Header(b, 4, static_cast<uint32_t>(comment.size()));
  b.insert(b.end(), comment.begin(), comment.end());
  const Bytes app = {'t', 'e', 's', 't', 1, 2, 3};
  Header(b, 2, static_cast<uint32_t>(app.size()));
  b.insert(b.end(), app.begin(), app.end());
  const size_t audioAt = b.size();
  b.insert(b.end(), frames.begin(), frames.end());
  const std::string path = dir.file("unflagged.flac");
  TempDir::Write(path, b);

  CFLAC flac;
  ASSERT_TRUE(ReadFlac(path, flac));
  EXPECT_EQ(flac.m_Comment[CVorbisComment::kTitle], u"walk");
  EXPECT_EQ(static_cast<size_t>(flac.m_nMetadataSize), audioAt);

  // Saving gives a well-formed chain that keeps the application block and
  // every frame byte.
  flac.m_Comment[CVorbisComment::kArtist] = u"A";
  ASSERT_TRUE(Save(flac, path)) << flac.State().lastError;
  const Bytes out = TempDir::Read(path);
  const Walk w = WalkBlocks(out);
  ASSERT_EQ(w.blocks.size(), 4u);
  EXPECT_EQ(w.blocks[0].first, 0);
  EXPECT_EQ(w.blocks[1].first, 4);
  EXPECT_EQ(w.blocks[2], std::make_pair(1, 1000u));  // new room right behind the comment
  EXPECT_EQ(w.blocks[3], std::make_pair(2, 7u));
  EXPECT_EQ(Bytes(out.begin() + static_cast<std::ptrdiff_t>(w.audio), out.end()), frames);
  CFLAC again;
  ASSERT_TRUE(ReadFlac(path, again));
  EXPECT_EQ(again.m_Comment[CVorbisComment::kTitle], u"walk");
  EXPECT_EQ(again.m_Comment[CVorbisComment::kArtist], u"A");

  // A block that claims more bytes than the file holds: read what is there,
  // but refuse to save and leave the file alone.
  Bytes cut = {'f', 'L', 'a', 'C'};
  Header(cut, 0, 34);
  cut.insert(cut.end(), si.begin(), si.end());
  Header(cut, 6, 0xFFFFFF);
  cut.insert(cut.end(), 50, 0x11);
  const std::string cutPath = dir.file("cut.flac");
  TempDir::Write(cutPath, cut);
  CFLAC damaged;
  ASSERT_TRUE(ReadFlac(cutPath, damaged));
  EXPECT_EQ(damaged.GetSampleRate(), 8000);
  EXPECT_FALSE(Save(damaged, cutPath));
  EXPECT_EQ(damaged.State().lastError, sonavex::kErrDamagedFile);
  EXPECT_EQ(TempDir::Read(cutPath), cut);
}

TEST(FlacSave, FirstPaddingBehindTheCommentLendsItsRoom) {
  TempDir dir;
  // No comment block and two padding blocks of 9 MiB: the new comment
  // follows STREAMINFO and takes its room from the first padding block.
  const uint32_t nine = 9u << 20;
  Bytes b = {'f', 'L', 'a', 'C'};
  Header(b, 0, 34);
  const Bytes si = StreamInfo({0x01, 0xF4, 0x00, 0xF0}, 8000);
  b.insert(b.end(), si.begin(), si.end());
  Header(b, 1, nine);
  b.resize(b.size() + nine, 0);
  Header(b, 0x81, nine);
  b.resize(b.size() + nine, 0);
  const Bytes frames = {0xFF, 0xF8, 0x69, 0x08, 0x00, 0x1F, 0x40, 0x00, 0x11};
  b.insert(b.end(), frames.begin(), frames.end());
  const std::string path = dir.file("bigpad.flac");
  TempDir::Write(path, b);

  CFLAC flac;
  ASSERT_TRUE(ReadFlac(path, flac));
  flac.m_Comment[CVorbisComment::kTitle] = u"lent";
  ASSERT_TRUE(Save(flac, path));
  EXPECT_FALSE(flac.m_bRewrite);
  EXPECT_TRUE(flac.m_bInPlace);
  const Bytes out = ReadWhole(path);
  ASSERT_EQ(out.size(), b.size());
  const Walk w = WalkBlocks(out);
  EXPECT_EQ(w.audio, b.size() - frames.size());
  ASSERT_EQ(w.blocks.size(), 4u);
  EXPECT_EQ(w.blocks[1].first, 4);
  EXPECT_EQ(w.blocks[2], std::make_pair(1, nine - 4 - w.blocks[1].second));
  EXPECT_EQ(w.blocks[3], std::make_pair(1, nine));
  CFLAC back;
  ASSERT_TRUE(ReadFlac(path, back));
  EXPECT_EQ(back.m_Comment[CVorbisComment::kTitle], u"lent");
}

TEST(FlacSave, GrowingCommentIsWrittenInPlaceIntoThePadding) {
  TempDir dir;
  const std::string path = Copy(dir, "flac", "padded.flac");
  const Bytes before = TempDir::Read(path);
  const Walk old = WalkBlocks(before);
  const std::string md5 = DecodedMd5(path);

  CFLAC flac;
  ASSERT_TRUE(ReadFlac(path, flac));
  // The ALBUMARTIST entry is kept; a VERSION entry of 4 + 8 + 119 bytes
  // makes the comment 131 bytes longer.
  flac.m_Comment[CVorbisComment::kVersion] = W(std::string(119, 'v'));
  ASSERT_TRUE(Save(flac, path)) << flac.State().lastError;
  EXPECT_FALSE(flac.m_bRewrite);
  EXPECT_TRUE(flac.m_bInPlace);

  const Bytes after = TempDir::Read(path);
  ASSERT_EQ(after.size(), before.size());
  const Walk now = WalkBlocks(after);
  ASSERT_EQ(now.blocks.size(), 4u);
  EXPECT_EQ(now.blocks[1], old.blocks[1]);  // the seek table stays where it was
  EXPECT_EQ(now.blocks[2].first, 4);
  EXPECT_EQ(now.blocks[2].second, old.blocks[2].second + 131);
  EXPECT_EQ(now.blocks[3].first, 1);
  EXPECT_EQ(now.blocks[3].second, old.blocks[3].second - 131);
  EXPECT_EQ(Bytes(after.begin() + static_cast<std::ptrdiff_t>(now.audio), after.end()),
            Bytes(before.begin() + static_cast<std::ptrdiff_t>(old.audio), before.end()));

  EXPECT_EQ(FlacTest(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  EXPECT_EQ(MutagenCheck(path, {{"TITLE", "Tëst Title"},
                                {"VERSION", std::string(119, 'v')},
                                {"COMMENT", "BPM\r\n128.0\r\nPEA\r\n-3.2\r\nSMP\r\n12345\r\n"},
                                {"ALBUMARTIST", "Dropped On Save"}}),
            "");
}

TEST(FlacSave, ChainThatNoLongerFitsIsRewrittenWithPadding) {
  TempDir dir;
  const std::string path = Copy(dir, "flac", "nopad.flac");
  const std::string md5 = DecodedMd5(path);
  const Bytes audio = AudioOf(path);

  CFLAC flac;
  ASSERT_TRUE(ReadFlac(path, flac));
  flac.m_Comment[CVorbisComment::kDescription] = W(std::string(20000, 'd'));  // longer than any fixed room
  ASSERT_TRUE(Save(flac, path)) << flac.State().lastError;
  EXPECT_TRUE(flac.m_bRewrite);
  const Walk w = WalkBlocks(TempDir::Read(path));
  EXPECT_EQ(w.blocks.back(), std::make_pair(1, 1000u));
  EXPECT_EQ(AudioOf(path), audio);
  EXPECT_EQ(FlacTest(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  EXPECT_EQ(MutagenCheck(path, {{"DESCRIPTION", std::string(20000, 'd')}, {"ARTIST", "The Artist"}}), "");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

  // The next save needs no new analysis: it reads the chain as it is now and
  // fits into the new padding.
  flac.m_Comment[CVorbisComment::kDescription] = u"short";
  const size_t size = TempDir::Read(path).size();
  ASSERT_TRUE(Save(flac, path));
  EXPECT_FALSE(flac.m_bRewrite);
  EXPECT_EQ(TempDir::Read(path).size(), size);
  EXPECT_EQ(FlacTest(path), "");
  EXPECT_EQ(MutagenCheck(path, {{"DESCRIPTION", "short"}}), "");
}

TEST(FlacSave, CommentThatNeedsAllThePaddingKeepsTheLength) {
  // padded.flac: STREAMINFO, SEEKTABLE, VORBIS_COMMENT, PADDING (the last).
  const Walk fixture = WalkBlocks(TempDir::Read(Fixture("flac", "padded.flac")));
  const int64_t pad = fixture.blocks[3].second;
  struct Case {
    const char* name;
    int64_t growth;      // bytes the comment block grows by
    size_t blocks;       // blocks after the save
    int lastType;        // type of the last block
    int64_t lastLength;  // its length
    bool rewrite;        // the chain no longer fitted
  };
  const Case cases[] = {
      {"padding left empty", pad, 4, 1, 0, false},
      {"padding block used up", pad + 4, 3, 4, fixture.blocks[2].second + pad + 4, false},
      {"one byte more", pad + 5, 4, 1, 1000, true},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Copy(dir, "flac", "padded.flac", std::string(c.name) + ".flac");
    const size_t before = TempDir::Read(path).size();
    const Bytes audio = AudioOf(path);
    CFLAC flac;
    ASSERT_TRUE(ReadFlac(path, flac));
    // A DESCRIPTION entry costs 4 + 12 + n bytes.
    flac.m_Comment[CVorbisComment::kDescription] = W(std::string(static_cast<size_t>(c.growth - 16), 'x'));
    ASSERT_TRUE(Save(flac, path)) << flac.State().lastError;
    EXPECT_EQ(flac.m_bRewrite, c.rewrite);
    EXPECT_FALSE(flac.m_bInPlace);  // thousands of bytes change: never in place
    const Walk w = WalkBlocks(TempDir::Read(path));
    ASSERT_EQ(w.blocks.size(), c.blocks);
    EXPECT_EQ(w.blocks.back(), std::make_pair(c.lastType, static_cast<uint32_t>(c.lastLength)));
    const size_t grown = c.rewrite ? size_t(c.growth + 1000 - pad) : 0;
    EXPECT_EQ(TempDir::Read(path).size(), before + grown);
    EXPECT_EQ(AudioOf(path), audio);
    EXPECT_EQ(FlacTest(path), "");
  }
}

TEST(FlacSave, OtherBlocksKeepTheirPlaceAndARewriteMakesRoomBehindTheComment) {
  TempDir dir;
  // picture.flac: STREAMINFO, SEEKTABLE, VORBIS_COMMENT, PICTURE, PADDING (0), PADDING (300).
  const std::string path = Copy(dir, "flac", "picture.flac");
  const std::string md5 = DecodedMd5(path);
  const Bytes audio = AudioOf(path);
  const std::string picture = Metaflac("--list --block-type=PICTURE", path);
  auto types = [&] {
    std::vector<int> t;
    for (const auto& blk : WalkBlocks(TempDir::Read(path)).blocks) t.push_back(blk.first);
    return t;
  };

  CFLAC flac;
  ASSERT_TRUE(ReadFlac(path, flac));
  // The zero-length padding block in the middle did not end the walk.
  EXPECT_EQ(static_cast<size_t>(flac.m_nMetadataSize), TempDir::Read(path).size() - audio.size());
  // One byte more: the empty padding block has no room, the last one lends
  // it; the picture moves by a byte, all within the first page.
  flac.m_Comment[CVorbisComment::kGenre] = u"Techno";
  ASSERT_TRUE(Save(flac, path)) << flac.State().lastError;
  EXPECT_TRUE(flac.m_bInPlace);
  EXPECT_EQ(types(), (std::vector<int>{0, 3, 4, 6, 1, 1}));
  EXPECT_EQ(WalkBlocks(TempDir::Read(path)).blocks.back(), std::make_pair(1, 299u));

  // More than the padding holds: the padding blocks make way for one block
  // behind the comment, the picture follows.
  flac.m_Comment[CVorbisComment::kDescription] = W(std::string(400, 'd'));
  ASSERT_TRUE(Save(flac, path)) << flac.State().lastError;
  EXPECT_TRUE(flac.m_bRewrite);
  EXPECT_EQ(types(), (std::vector<int>{0, 3, 4, 1, 6}));
  EXPECT_EQ(WalkBlocks(TempDir::Read(path)).blocks[3], std::make_pair(1, 1000u));
  // The next change borrows from that padding, in place.
  flac.m_Comment[CVorbisComment::kDescription] = W(std::string(500, 'd'));
  ASSERT_TRUE(Save(flac, path)) << flac.State().lastError;
  EXPECT_TRUE(flac.m_bInPlace);
  EXPECT_EQ(WalkBlocks(TempDir::Read(path)).blocks[3], std::make_pair(1, 900u));

  EXPECT_EQ(AudioOf(path), audio);
  // The picture block is the same (now the last one).
  const std::string now = Metaflac("--list --block-type=PICTURE", path);
  EXPECT_EQ(now.substr(now.find("  length:")), picture.substr(picture.find("  length:")));
  EXPECT_EQ(FlacTest(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  EXPECT_EQ(MutagenCheck(path, {{"GENRE", "Techno"}, {"DESCRIPTION", std::string(500, 'd')},
                                {"ALBUMARTIST", "Dropped On Save"}}),
            "");
}

TEST(FlacSave, LeadingId3v2TagIsKeptByBothKindsOfWrite) {
  TempDir dir;
  // An ID3v2.4 header with 20 bytes of padding: 30 bytes in all.
  Bytes id3 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20};
  id3.resize(30, 0);
  for (const char* name : {"padded.flac", "nopad.flac"}) {
    SCOPED_TRACE(name);
    Bytes file = id3;
    const Bytes flacBytes = TempDir::Read(Fixture("flac", name));
    file.insert(file.end(), flacBytes.begin(), flacBytes.end());
    const std::string path = dir.file(std::string("id3-") + name);
    TempDir::Write(path, file);
    const Bytes audio = AudioOf(path, 30);

    CFLAC flac;
    ASSERT_TRUE(ReadFlac(path, flac, 30));
    EXPECT_EQ(flac.m_Comment[CVorbisComment::kArtist], u"The Artist");
    flac.m_Comment[CVorbisComment::kPerformer] = W(std::string(600, 'p'));
    ASSERT_TRUE(Save(flac, path, 30)) << flac.State().lastError;
    const Bytes out = TempDir::Read(path);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 30), id3);
    EXPECT_EQ(AudioOf(path, 30), audio);
    CFLAC back;
    ASSERT_TRUE(ReadFlac(path, back, 30));
    EXPECT_EQ(back.m_Comment[CVorbisComment::kPerformer], W(std::string(600, 'p')));
    EXPECT_EQ(FlacTest(path), "");
  }
}

TEST(FlacSave, EachSaveUsesTheTargetsOwnChain) {
  TempDir dir;
  // Analyse one file, then save into another: the target keeps its own
  // STREAMINFO and blocks and its audio, and only gets the comment.
  const std::string first = Copy(dir, "flac", "picture.flac");
  const std::string target = Copy(dir, "flac", "bare.flac");
  const std::string md5 = DecodedMd5(target);
  const std::string streamInfo = Metaflac("--list --block-type=STREAMINFO", target);
  CFLAC flac;
  ASSERT_TRUE(ReadFlac(first, flac));
  ASSERT_TRUE(Save(flac, target)) << flac.State().lastError;
  EXPECT_EQ(Metaflac("--list --block-type=STREAMINFO", target), streamInfo);
  EXPECT_EQ(Metaflac("--list --block-type=PICTURE", target), "");
  EXPECT_EQ(FlacTest(target), "");
  EXPECT_EQ(DecodedMd5(target), md5);
  EXPECT_EQ(MutagenCheck(target, {{"TITLE", "Tëst Title"}}), "");

  // A target that is not FLAC at all is refused and left alone.
  const std::string text = dir.file("notes.flac");
  const std::string notes = "just some text, no marker here";
  TempDir::Write(text, notes);
  EXPECT_FALSE(Save(flac, text));
  EXPECT_EQ(flac.State().lastError, sonavex::kErrTagNotAllowed);
  EXPECT_EQ(TempDir::Read(text), Bytes(notes.begin(), notes.end()));
  // A comment too large for a block's 24-bit length is refused unwritten.
  const Bytes targetBefore = TempDir::Read(target);
  flac.m_Comment[CVorbisComment::kDescription] = std::u16string(0x1000000, u'x');
  EXPECT_FALSE(Save(flac, target));
  EXPECT_EQ(flac.State().lastError, EFBIG);
  EXPECT_EQ(TempDir::Read(target), targetBefore);
  // A missing file gives the system's error.
  EXPECT_FALSE(Save(flac, dir.file("missing.flac")));
  EXPECT_EQ(flac.State().lastError, ENOENT);
}

TEST(FlacMembers, AnswerThroughDispatchAndSave) {
  using automation::Variant;
  TempDir dir;
  const std::string path = Copy(dir, "flac", "padded.flac");
  const std::string md5 = DecodedMd5(path);
  sonavex::CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), sonavex::kFormatFLAC);

  const std::pair<int, std::u16string> texts[] = {
      {1, u""},          {2, u""},       {3, u"The Artist"}, {4, u""},  {5, u"2021"}, {6, u"House"},
      {7, u""},          {8, u""},       {9, u""},           {10, u""}, {11, u""},     {12, u"Tëst Title"},
      {13, u"7"},        {14, u"An Album"}, {15, u""},
      {132, u"BPM\r\n128.0\r\nPEA\r\n-3.2\r\nSMP\r\n12345\r\n"}, {133, u"reference libFLAC 1.4.2 20221022"}};
  for (const auto& [id, text] : texts) EXPECT_EQ(Dispatch(c, id).str(), text) << id;
  const std::pair<int, int32_t> numbers[] = {{185, 16}, {186, 8000}, {187, 4096}, {188, 4096}, {189, 2319}, {190, 2655}};
  for (const auto& [id, n] : numbers) EXPECT_EQ(Dispatch(c, id).i4(), n) << id;
  EXPECT_GT(Dispatch(c, 199).r4(), 0.0f);
  EXPECT_EQ(c.AUDIOGetSampleRate(), 8000);
  EXPECT_EQ(c.GetAUDIOYear(), u"2021");

  // Every text property is written in memory and read back.
  for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 132, 133}) {
    const std::u16string value = u"value ✓ " + std::u16string(1, char16_t(u'A' + id % 26));
    Dispatch(c, id, {Variant::Str(value)}, true);
    EXPECT_EQ(Dispatch(c, id).str(), value) << id;
  }
  Dispatch(c, 132, {Variant::Str(u"BPM\r\n126.5\r\nSDE\r\n1\r\n")}, true);
  const Variant saved = Dispatch(c, 191, {Variant::Str(W(path))});
  EXPECT_EQ(saved.type(), AUTO_VT_BOOL);
  EXPECT_TRUE(saved.boolean()) << c.AUDIOGetLastErrorNumber();
  EXPECT_EQ(FlacTest(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);

  sonavex::CSonavexCtrl again;
  ASSERT_EQ(again.AUDIOAnalyzeFile(W(path)), sonavex::kFormatFLAC);
  EXPECT_EQ(Dispatch(again, 15).str(), u"value ✓ P");
  EXPECT_EQ(Dispatch(again, 133).str(), u"value ✓ D");
  EXPECT_EQ(again.GetAUDIOComment(), u"BPM\r\n126.5\r\nSDE\r\n1\r\n");
  EXPECT_EQ(MutagenCheck(path, {{"VERSION", "value ✓ P"}, {"COMMENT", "BPM\r\n126.5\r\nSDE\r\n1\r\n"}}), "");

  // The generic save writes the seven generic fields into the comment.
  again.SetAUDIOTitle(u"Generic Title");
  again.SetAUDIOYear(u"1999");
  ASSERT_TRUE(again.AUDIOSaveChangesToFile(W(path))) << again.AUDIOGetLastErrorNumber();
  EXPECT_EQ(MutagenCheck(path, {{"TITLE", "Generic Title"}, {"DATE", "1999"}, {"VERSION", "value ✓ P"},
                                {"COMMENT", "BPM\r\n126.5\r\nSDE\r\n1\r\n"}}),
            "");
  EXPECT_EQ(FlacTest(path), "");

  // A file of another format is refused with 210 and not touched.
  const std::string ogg = Copy(dir, "ogg", "short.ogg");
  const Bytes before = TempDir::Read(ogg);
  EXPECT_FALSE(Dispatch(again, 191, {Variant::Str(W(ogg))}).boolean());
  EXPECT_EQ(again.AUDIOGetLastErrorNumber(), sonavex::kErrTagNotAllowed);
  EXPECT_EQ(TempDir::Read(ogg), before);
}

// A field that holds two values (ARTIST=One, ARTIST=Two) reads as both
// (U+0000 between them) and keeps both when another field changes; setting
// it replaces both by the values given, one entry each, and clearing it
// removes both. mutagen, ffprobe and (for FLAC) metaflac must see what the
// library reads, and the audio must stay as it was.
TEST(VorbisCommentSave, AFieldOfSeveralValuesIsKeptWholeOrReplacedWhole) {
  struct Format {
    const char* area;
    const char* fixture;
    int titleId, artistId, saveId;  // dispatch numbers of the format's members
  } formats[] = {{"flac", "padded.flac", 12, 3, 191}, {"ogg", "long.ogg", 47, 41, 219}};
  struct Case {
    const char* name;
    std::optional<std::u16string_view> artist;  // nullopt: only the title changes
    const char* expect;                         // the ARTIST values mutagen sees afterwards
    const char* ffprobe;                        // ... ffprobe ("" when it has none)
    const char* metaflac;                       // ... metaflac, one line per value
    std::u16string_view read;                   // ... and the library after a new analysis
  } cases[] = {
      {"other field changed", std::nullopt, "['One', 'Two']", "One;Two", "ARTIST=One\nARTIST=Two\n", u"One\0Two"sv},
      {"field changed", u"Three"sv, "['Three']", "Three", "ARTIST=Three\n", u"Three"sv},
      {"field set to several values", u"Thr\u00EBe\0Four"sv, "['Thrëe', 'Four']", "Thrëe;Four",
       "ARTIST=Thrëe\nARTIST=Four\n", u"Thr\u00EBe\0Four"sv},
      {"field cleared", u""sv, "None", "", "", u""sv},
  };
  for (const auto& f : formats) {
    for (const auto& k : cases) {
      SCOPED_TRACE(std::string(f.area) + ", " + k.name);
      TempDir dir;
      const std::string path = Copy(dir, f.area, f.fixture);
      std::string out;
      ASSERT_EQ(vorbistest::Run("/usr/bin/python3 -c 'import sys, mutagen; f = mutagen.File(sys.argv[1]); "
                    "f[\"ARTIST\"] = [\"One\", \"Two\"]; f.save()' " + Quote(path), &out), 0) << out;
      const bool decode = k.artist && *k.artist == u"Three";  // the audio is compared once per format
      const std::string md5 = decode ? DecodedMd5(path) : "";
      sonavex::CSonavexCtrl c;
      ASSERT_NE(c.AUDIOAnalyzeFile(W(path)), 0);
      EXPECT_EQ(Dispatch(c, f.artistId).str(), u"One\0Two"sv);  // every value read
      Dispatch(c, f.titleId, {automation::Variant::Str(u"Changed")}, true);
      if (k.artist) Dispatch(c, f.artistId, {automation::Variant::Str(std::u16string(*k.artist))}, true);
      ASSERT_TRUE(Dispatch(c, f.saveId, {automation::Variant::Str(W(path))}).boolean()) << c.AUDIOGetLastErrorNumber();
      ASSERT_EQ(vorbistest::Run("/usr/bin/python3 -c 'import sys, mutagen; f = mutagen.File(sys.argv[1]); "
                    "print(f.tags.get(\"ARTIST\"), f.tags.get(\"TITLE\"))' " + Quote(path), &out), 0) << out;
      EXPECT_EQ(out, std::string(k.expect) + " ['Changed']\n");
      ASSERT_EQ(vorbistest::Run("ffprobe -v error -show_entries format_tags=ARTIST:stream_tags=ARTIST -of "
                                "default=nw=1:nk=1 " + Quote(path), &out), 0) << out;
      EXPECT_EQ(out, *k.ffprobe ? std::string(k.ffprobe) + "\n" : "");
      if (std::string(f.area) == "flac") {
        ASSERT_EQ(vorbistest::Run("metaflac --show-tag=ARTIST " + Quote(path), &out), 0) << out;
        EXPECT_EQ(out, k.metaflac);
      }
      sonavex::CSonavexCtrl again;
      ASSERT_NE(again.AUDIOAnalyzeFile(W(path)), 0);
      EXPECT_EQ(Dispatch(again, f.artistId).str(), k.read);
      if (decode) {
        EXPECT_EQ(DecodedMd5(path), md5);
      }
    }
  }
}

// A torn or damaged chain is read as far as it goes but never written: a
// second stream information (the torn file of a killed save), stream
// information that is not first or not 34 bytes, a block that runs past the
// file, no audio frame behind the last block. Only the first block is taken
// as the stream information.
TEST(FlacSave, ChainsThatDoNotParseAreRefusedAndLeftAlone) {
  const Bytes si = StreamInfo({0x01, 0xF4, 0x00, 0xF0}, 8000);         // 8000 Hz
  const Bytes other = StreamInfo({0x0A, 0xC4, 0x42, 0xF0}, 123456);    // 44100 Hz
  const Bytes comment = CommentBody({"TITLE=old"});
  const Bytes frames = {0xFF, 0xF8, 0x69, 0x08, 0x00, 0x1F, 0x40, 0x00, 0x11};
  auto block = [](uint8_t type, const Bytes& body) {
    Bytes b;
    Header(b, type, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
  };
  auto chain = [&](std::initializer_list<Bytes> blocks, const Bytes& tail) {
    Bytes b = {'f', 'L', 'a', 'C'};
    for (const auto& blk : blocks) b.insert(b.end(), blk.begin(), blk.end());
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  struct Case {
    const char* name;
    Bytes file;
    int rate;  // what a read reports
  } cases[] = {
      {"second stream information", chain({block(0, si), block(4, comment), block(0x80, other)}, frames), 8000},
      {"stream information not first", chain({block(4, comment), block(0x80, si)}, frames), 0},
      {"stream information of 33 bytes", chain({block(0, Bytes(si.begin(), si.end() - 1)), block(0x84, comment)}, frames), 8000},
      {"no audio frame behind the chain", chain({block(0, si), block(0x84, comment)}, Bytes(40, 0x5A)), 8000},
      {"a block past the end of the file", chain({block(0, si), block(4, comment)}, Bytes{0x81, 0x00, 0x10, 0x00, 0, 0}), 8000},
  };
  TempDir dir;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    const std::string path = dir.file("torn.flac");
    TempDir::Write(path, k.file);
    CFLAC flac;
    ASSERT_TRUE(ReadFlac(path, flac));
    EXPECT_EQ(flac.GetSampleRate(), k.rate);
    flac.m_Comment[CVorbisComment::kTitle] = u"new";
    EXPECT_FALSE(Save(flac, path));
    EXPECT_EQ(flac.State().lastError, sonavex::kErrDamagedFile);
    EXPECT_EQ(TempDir::Read(path), k.file);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
  }
}

// A chain with a 4 MB picture: a change that fits the padding behind the
// comment is written in place in one small write; one that would move the
// picture builds a new file. No in-place write ever leaves its page.
TEST(FlacSave, LargeChainsAreNeverRewrittenInPlace) {
  static std::vector<std::pair<int64_t, int64_t>> writes;
  sonavex::SaveHooks().step = [](sonavex::SaveStep step, int64_t offset, int64_t length) {
    if (step == sonavex::SaveStep::kInPlaceWrite) writes.emplace_back(offset, length);
  };
  // A picture block: a real PNG followed by filler up to 4 MB.
  Bytes png = TempDir::Read(std::string(DJVP_TEST_FIXTURES) + "/id3v2/cover.png");
  png.resize(4 << 20, 0);
  Bytes pictureBody;
  auto be32 = [&](uint32_t v) {
    uint8_t b[4];
    sonavex::bytes::PutBE32(b, v);
    pictureBody.insert(pictureBody.end(), b, b + 4);
  };
  be32(3);
  be32(9);
  for (char c : std::string("image/png")) pictureBody.push_back(static_cast<uint8_t>(c));
  be32(0);
  for (uint32_t v : {16u, 16u, 24u, 0u}) be32(v);
  be32(static_cast<uint32_t>(png.size()));
  pictureBody.insert(pictureBody.end(), png.begin(), png.end());

  // padded.flac: STREAMINFO, SEEKTABLE, VORBIS_COMMENT, PADDING, then audio.
  const Bytes fixture = TempDir::Read(Fixture("flac", "padded.flac"));
  const Walk w = WalkBlocks(fixture);
  std::vector<Bytes> blocks;
  size_t pos = 4;
  for (const auto& [type, length] : w.blocks) {
    blocks.emplace_back(fixture.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                        fixture.begin() + static_cast<std::ptrdiff_t>(pos + 4 + length));
    pos += 4 + length;
  }
  auto file = [&](const std::vector<std::pair<int, const Bytes*>>& order) {
    Bytes b = {'f', 'L', 'a', 'C'};
    for (size_t i = 0; i < order.size(); ++i) {
      Header(b, static_cast<uint8_t>(order[i].first | (i + 1 == order.size() ? 0x80 : 0)),
             static_cast<uint32_t>(order[i].second->size()));
      b.insert(b.end(), order[i].second->begin(), order[i].second->end());
    }
    b.insert(b.end(), fixture.begin() + static_cast<std::ptrdiff_t>(w.audio), fixture.end());
    return b;
  };
  struct Case {
    const char* name;
    Bytes bytes;
    bool inPlace;
  } cases[] = {
      {"padding behind the comment",
       file({{0, &blocks[0]}, {3, &blocks[1]}, {4, &blocks[2]}, {1, &blocks[3]}, {6, &pictureBody}}), true},
      {"picture behind the comment",
       file({{0, &blocks[0]}, {3, &blocks[1]}, {4, &blocks[2]}, {6, &pictureBody}, {1, &blocks[3]}}), false},
  };
  TempDir dir;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    const std::string path = dir.file("big.flac");
    TempDir::Write(path, k.bytes);
    ASSERT_EQ(FlacTest(path), "");
    const Bytes audio = AudioOf(path);
    struct stat before;
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    CFLAC flac;
    ASSERT_TRUE(ReadFlac(path, flac));
    flac.m_Comment[CVorbisComment::kTitle] = u"Changed title";
    writes.clear();
    ASSERT_TRUE(Save(flac, path)) << flac.State().lastError;
    EXPECT_EQ(flac.m_bInPlace, k.inPlace);
    struct stat after;
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino == before.st_ino, k.inPlace);
    EXPECT_EQ(writes.size(), k.inPlace ? 1u : 0u);
    for (const auto& [offset, length] : writes)
      EXPECT_TRUE(sonavex::FitsOnePage(offset, size_t(length))) << offset << "+" << length;
    // flac -t decodes the audio against the stream's own MD5.
    EXPECT_EQ(FlacTest(path), "");
    EXPECT_EQ(AudioOf(path), audio);
    EXPECT_EQ(MutagenCheck(path, {{"TITLE", "Changed title"}}), "");
  }
  sonavex::SaveHooks() = sonavex::SaveTestHooks{};
}
