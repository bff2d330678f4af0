// Ogg Vorbis: the header values, the last-page search and the derived
// figures a read gives, and the saves and removals, checked with ogginfo,
// mutagen, the decoded audio and an independent page walk.
#include "Bytes.h"
#include "Module.h"
#include "OGG.h"
#include "SonavexCtrl.h"
#include "TempDir.h"
#include "VorbisTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

using namespace vorbistest;
using sonavex::COGG;
using sonavex::CVorbisComment;
using Bytes = std::vector<unsigned char>;

namespace {

bool ReadOgg(const std::string& path, COGG& ogg, int32_t id3v2 = 0) {
  sonavex::TagFile f;
  if (!f.Open(path, sonavex::TagFile::Mode::Read)) return false;
  ogg.State() = sonavex::FileState{};
  ogg.State().id3v2Size = id3v2;
  ogg.State().fileSize = static_cast<int32_t>(f.Length());
  return ogg.Read(f);
}

bool Save(COGG& ogg, const std::string& path, int32_t id3v2 = 0) {
  ogg.State().id3v2Size = id3v2;
  ogg.State().lastError = 0;
  return ogg.SaveChangesToFile(W(path));
}

// CRC of the Ogg format, bit by bit (the library uses a table).
uint32_t BitwiseCrc(const unsigned char* p, size_t n, uint32_t crc = 0) {
  for (size_t i = 0; i < n; ++i) {
    crc ^= uint32_t(p[i]) << 24;
    for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

struct Page {
  size_t offset = 0;
  uint8_t flags = 0;
  uint64_t granule = 0;
  uint32_t serial = 0, sequence = 0;
  Bytes lacing, body, raw;
  bool crcOk = false;
};

// An independent walk over the pages from start.
std::vector<Page> Pages(const Bytes& b, size_t start = 0) {
  std::vector<Page> pages;
  size_t pos = start;
  while (pos + 27 <= b.size() && std::memcmp(&b[pos], "OggS", 4) == 0) {
    Page p;
    p.offset = pos;
    p.flags = b[pos + 5];
    p.granule = sonavex::bytes::LE64(&b[pos + 6]);
    p.serial = sonavex::bytes::LE32(&b[pos + 14]);
    p.sequence = sonavex::bytes::LE32(&b[pos + 18]);
    const size_t n = b[pos + 26];
    p.lacing.assign(b.begin() + static_cast<std::ptrdiff_t>(pos + 27), b.begin() + static_cast<std::ptrdiff_t>(pos + 27 + n));
    size_t len = 0;
    for (auto v : p.lacing) len += v;
    const size_t end = pos + 27 + n + len;
    if (end > b.size()) break;
    p.body.assign(b.begin() + static_cast<std::ptrdiff_t>(pos + 27 + n), b.begin() + static_cast<std::ptrdiff_t>(end));
    p.raw.assign(b.begin() + static_cast<std::ptrdiff_t>(pos), b.begin() + static_cast<std::ptrdiff_t>(end));
    // The checksum covers the page with its own field taken as zero.
    const unsigned char zeros[4] = {0, 0, 0, 0};
    uint32_t crc = BitwiseCrc(&b[pos], 22);
    crc = BitwiseCrc(zeros, 4, crc);
    crc = BitwiseCrc(&b[pos + 26], end - pos - 26, crc);
    p.crcOk = crc == sonavex::bytes::LE32(&b[pos + 22]);
    pages.push_back(std::move(p));
    pos = end;
  }
  return pages;
}

// Length of the first packet of a page.
size_t FirstPacketLength(const Page& p) {
  size_t n = 0;
  for (auto v : p.lacing) {
    n += v;
    if (v < 255) break;
  }
  return n;
}

// The audio pages: every page behind the one on which the setup header ends.
std::vector<Bytes> AudioPageBodies(const std::vector<Page>& pages) {
  std::vector<Bytes> out;
  for (const auto& p : pages)
    if (p.granule != 0 && p.granule != ~uint64_t(0)) out.push_back(p.body);
  return out;
}

std::string OggInfo(const std::string& path) {
  std::string out;
  const int rc = Run("ogginfo -q " + Quote(path), &out);
  if (rc != 0 || out.find("WARNING") != std::string::npos || out.find("ERROR") != std::string::npos) return out;
  return "";
}

// Synthetic streams for the header and last-page rules.
Bytes MakePage(uint32_t seq, uint64_t granule, uint8_t flags, const std::vector<Bytes>& packets) {
  Bytes lacing, body;
  for (const auto& p : packets) {
    for (size_t v = 0; v < p.size() / 255; ++v) lacing.push_back(255);
    lacing.push_back(static_cast<uint8_t>(p.size() % 255));
    body.insert(body.end(), p.begin(), p.end());
  }
  Bytes page = {'O', 'g', 'g', 'S', 0, flags};
  page.reserve(27 + lacing.size() + body.size());
  page.resize(27);
  sonavex::bytes::PutLE64(&page[6], granule);
  sonavex::bytes::PutLE32(&page[14], 0x1234);
  sonavex::bytes::PutLE32(&page[18], seq);
  page[26] = static_cast<uint8_t>(lacing.size());
  page.insert(page.end(), lacing.begin(), lacing.end());
  page.insert(page.end(), body.begin(), body.end());
  sonavex::bytes::PutLE32(&page[22], BitwiseCrc(page.data(), page.size()));
  return page;
}

Bytes IdPacket(uint8_t channels, uint32_t rate, uint32_t nominal) {
  Bytes id = {1, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, channels};
  id.resize(30, 0);
  sonavex::bytes::PutLE32(&id[12], rate);
  sonavex::bytes::PutLE32(&id[20], nominal);
  id[28] = 0xB8;
  id[29] = 1;
  return id;
}

Bytes CommentPacket(const std::string& title, bool framing = true) {
  Bytes c = {3, 'v', 'o', 'r', 'b', 'i', 's', 1, 0, 0, 0, 'v', 1, 0, 0, 0};
  const std::string e = "TITLE=" + title;
  c.insert(c.end(), {uint8_t(e.size()), 0, 0, 0});
  c.insert(c.end(), e.begin(), e.end());
  if (framing) c.push_back(1);
  return c;
}

// ID page, comment page, `gap` filler bytes, a last page with granule,
// `tail` filler bytes.
Bytes Stream(uint8_t channels, uint32_t rate, uint32_t nominal, size_t gap, uint64_t granule, size_t tail) {
  Bytes b = MakePage(0, 0, 2, {IdPacket(channels, rate, nominal)});
  const Bytes second = MakePage(1, 0, 0, {CommentPacket("synthetic"), Bytes{5, 'v', 'o', 'r', 'b', 'i', 's'}});
  b.insert(b.end(), second.begin(), second.end());
  b.insert(b.end(), gap, 0x5A);
  const Bytes last = MakePage(2, granule, 4, {Bytes(40, 0x33)});
  b.insert(b.end(), last.begin(), last.end());
  b.insert(b.end(), tail, 0x5A);
  return b;
}

}  // namespace

TEST(OggRead, FixturesReportHeaderAndComment) {
  for (const char* name : {"short.ogg", "long.ogg", "spanning.ogg"}) {
    SCOPED_TRACE(name);
    const std::string path = Fixture("ogg", name);
    COGG ogg;
    ASSERT_TRUE(ReadOgg(path, ogg));
    EXPECT_EQ(ogg.GetChannels(), 2);
    EXPECT_EQ(ogg.GetSampleRate(), 8000);
    EXPECT_EQ(ogg.GetBitRateNominal(), 18);  // ogginfo: "Nominal bitrate: 18.000000 kb/s"
    EXPECT_EQ(ogg.m_nTotalSamples, 8000);
    EXPECT_FLOAT_EQ(ogg.GetDuration(), 1.0f);
    const size_t size = TempDir::Read(path).size();
    EXPECT_EQ(ogg.GetBitrate(), static_cast<int32_t>(size * 0.008));
    EXPECT_EQ(ogg.GetChannelMode(), u"Stereo");
    EXPECT_TRUE(ogg.IsValid());
    EXPECT_EQ(ogg.m_Comment.m_strVendor, u"Xiph.Org libVorbis I 20200704 (Reducing Environment)");
    EXPECT_EQ(ogg.m_Comment[CVorbisComment::kTitle], u"Tëst Title");
    EXPECT_EQ(ogg.m_Comment[CVorbisComment::kComment], u"BPM\r\n128.0\r\nPEA\r\n-3.2\r\nSMP\r\n12345\r\n");
    EXPECT_EQ(ogg.GetGenericStrings().track, u"7");
  }
  COGG span;
  ASSERT_TRUE(ReadOgg(Fixture("ogg", "spanning.ogg"), span));
  EXPECT_EQ(span.m_Comment[CVorbisComment::kDescription], W(std::string(70000, 'H')));
}

TEST(OggRead, DerivedFiguresAndTheLastPageSearch) {
  TempDir dir;
  struct Case {
    const char* what;
    uint8_t channels;
    uint32_t nominal;
    size_t gap;
    uint64_t granule;
    size_t tail;  // bytes behind the last page
    int32_t samples;
    float duration;  // < 0: the bitrate estimate
    const char16_t* mode;
    bool valid;
  };
  // The last page is 68 bytes long; it begins tail + 68 bytes before the end.
  const Case cases[] = {
      {"granule twice the rate", 2, 128000, 100, 16000, 0, 16000, 2.0f, u"Stereo", true},
      {"one sample fewer", 1, 128000, 100, 15999, 0, 15999, 1.0f, u"Mono", true},
      {"last page found 11818 bytes before the end", 2, 128000, 12000, 16000, 11818 - 68, 16000, 2.0f, u"Stereo", true},
      {"last page 11819 bytes before the end", 2, 128000, 12000, 16000, 11819 - 68, 0, -1, u"Stereo", true},
      {"six channels", 6, 128000, 100, 16000, 0, 16000, 2.0f, u"Multi Channel", false},
      {"three channels", 3, 128000, 100, 16000, 0, 16000, 2.0f, u"Unknown", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes b = Stream(c.channels, 8000, c.nominal, c.gap, c.granule, c.tail);
    const std::string path = dir.file("s.ogg");
    TempDir::Write(path, b);
    COGG ogg;
    ASSERT_TRUE(ReadOgg(path, ogg));
    EXPECT_EQ(ogg.m_nTotalSamples, c.samples);
    EXPECT_EQ(ogg.GetBitRateNominal(), 128);
    EXPECT_EQ(ogg.m_Comment[CVorbisComment::kTitle], u"synthetic");
    if (c.duration >= 0) {
      EXPECT_FLOAT_EQ(ogg.GetDuration(), c.duration);
    } else {
      EXPECT_FLOAT_EQ(ogg.GetDuration(), float(b.size() / 128.0 / 2 * 0.016));
      EXPECT_GE(ogg.GetBitrate(), 127);
      EXPECT_LE(ogg.GetBitrate(), 128);
    }
    EXPECT_EQ(ogg.GetChannelMode(), c.mode);
    EXPECT_EQ(ogg.IsValid(), c.valid);
  }

  // A file smaller than one search window: the search stays inside it.
  const Bytes tiny = MakePage(0, 4000, 2, {IdPacket(1, 8000, 0)});
  TempDir::Write(dir.file("tiny.ogg"), tiny);
  COGG ogg;
  ASSERT_TRUE(ReadOgg(dir.file("tiny.ogg"), ogg));
  EXPECT_EQ(ogg.m_nTotalSamples, 4000);
  EXPECT_EQ(ogg.m_Comment.m_strVendor, CVorbisComment::kDefaultVendor);  // no comment page

  // Not Ogg, or a first packet that is not a Vorbis identification header.
  Bytes notVorbis = MakePage(0, 0, 2, {Bytes{0x80, 't', 'h', 'e', 'o', 'r', 'a'}});
  notVorbis.resize(200, 0);
  TempDir::Write(dir.file("theora.ogg"), notVorbis);
  EXPECT_FALSE(ReadOgg(dir.file("theora.ogg"), ogg));
  EXPECT_EQ(ogg.GetSampleRate(), 0);
  TempDir::Write(dir.file("text.ogg"), std::string(100, 't'));
  EXPECT_FALSE(ReadOgg(dir.file("text.ogg"), ogg));
  EXPECT_FALSE(ogg.IsValid());
  EXPECT_EQ(ogg.GetDuration(), 0.0f);
}

TEST(OggSave, HeaderPacketsAreRelacedAndUnsafeLayoutsRefused) {
  TempDir dir;
  const Bytes setup = {5, 'v', 'o', 'r', 'b', 'i', 's', 9, 9, 9};
  const Bytes audio = MakePage(2, 8000, 4, {Bytes(40, 0x33)});
  auto build = [&](const Bytes& second) {
    Bytes b = MakePage(0, 0, 2, {IdPacket(2, 8000, 128000)});
    b.insert(b.end(), second.begin(), second.end());
    b.insert(b.end(), audio.begin(), audio.end());
    return b;
  };

  // A comment packet without its framing byte gets one; the setup packet
  // behind it and the audio page stay as they were.
  const std::string path = dir.file("noframing.ogg");
  TempDir::Write(path, build(MakePage(1, 0, 0, {CommentPacket("old", false), setup})));
  COGG ogg;
  ASSERT_TRUE(ReadOgg(path, ogg));
  EXPECT_EQ(ogg.m_Comment[CVorbisComment::kTitle], u"old");
  ogg.m_Comment[CVorbisComment::kTitle] = u"new";
  ASSERT_TRUE(Save(ogg, path));
  const auto pages = Pages(TempDir::Read(path));
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_TRUE(pages[1].crcOk);
  const size_t commentLength = FirstPacketLength(pages[1]);
  EXPECT_EQ(pages[1].body[commentLength - 1], 1);
  EXPECT_EQ(Bytes(pages[1].body.begin() + static_cast<std::ptrdiff_t>(commentLength), pages[1].body.end()), setup);
  EXPECT_EQ(pages[2].raw, audio);
  COGG back;
  ASSERT_TRUE(ReadOgg(path, back));
  EXPECT_EQ(back.m_Comment[CVorbisComment::kTitle], u"new");

  // Header pages that end inside a packet running on into the audio pages
  // cannot be rebuilt alone: the save is refused and the file untouched.
  // Here the second page gets one more lacing value of 255 (and its bytes):
  // a packet that the next page continues.
  const std::string openPath = dir.file("open.ogg");
  Bytes second = MakePage(1, 0, 0, {CommentPacket("x"), setup});
  second[26] = static_cast<uint8_t>(second[26] + 1);
  second.insert(second.begin() + 27 + second[26] - 1, 255);
  second.insert(second.end(), 255, 7);
  const Bytes cont = MakePage(2, 8000, 5, {Bytes(10, 7)});
  Bytes file = MakePage(0, 0, 2, {IdPacket(2, 8000, 128000)});
  file.insert(file.end(), second.begin(), second.end());
  file.insert(file.end(), cont.begin(), cont.end());
  TempDir::Write(openPath, file);
  COGG openEnded;
  ASSERT_TRUE(ReadOgg(openPath, openEnded));
  EXPECT_EQ(openEnded.m_Comment[CVorbisComment::kTitle], u"x");
  EXPECT_FALSE(Save(openEnded, openPath));
  EXPECT_EQ(TempDir::Read(openPath), file);
}

TEST(OggSave, CommentChangesWithinTheSecondPageTouchOnlyThatPage) {
  TempDir dir;
  const std::string path = Copy(dir, "ogg", "short.ogg");
  const Bytes before = TempDir::Read(path);
  const auto oldPages = Pages(before);
  ASSERT_EQ(oldPages.size(), 3u);
  const size_t oldLen = FirstPacketLength(oldPages[1]);
  const std::string md5 = DecodedMd5(path);

  COGG ogg;
  ASSERT_TRUE(ReadOgg(path, ogg));
  // ALBUMARTIST is kept; a DESCRIPTION entry of 4 + 12 + 315 bytes makes
  // the packet 331 bytes longer.
  ogg.m_Comment[CVorbisComment::kDescription] = W(std::string(315, 'd'));
  ASSERT_TRUE(Save(ogg, path)) << ogg.State().lastError;

  const Bytes after = TempDir::Read(path);
  const auto pages = Pages(after);
  ASSERT_EQ(pages.size(), 3u);
  const size_t newLen = FirstPacketLength(pages[1]);
  EXPECT_EQ(newLen, oldLen + 331);
  const size_t extraLacing = newLen / 255 - oldLen / 255;
  EXPECT_EQ(pages[1].lacing.size(), oldPages[1].lacing.size() + extraLacing);
  EXPECT_EQ(after.size(), before.size() + 331 + extraLacing);
  EXPECT_EQ(pages[1].sequence, oldPages[1].sequence);
  EXPECT_EQ(pages[1].granule, oldPages[1].granule);
  EXPECT_EQ(pages[1].serial, oldPages[1].serial);
  EXPECT_TRUE(pages[1].crcOk);
  EXPECT_EQ(pages[0].raw, oldPages[0].raw);
  EXPECT_EQ(pages[2].raw, oldPages[2].raw);  // every later page byte for byte

  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  EXPECT_EQ(MutagenCheck(path, {{"DESCRIPTION", std::string(315, 'd')},
                                {"COMMENT", "BPM\r\n128.0\r\nPEA\r\n-3.2\r\nSMP\r\n12345\r\n"},
                                {"ALBUMARTIST", "Dropped On Save"}}),
            "");

  // A comment packet of exactly 510 bytes is laced 255, 255, 0: signature 7,
  // block 4 + 29 + 4 + (4 + 12 + 449), framing byte 1.
  ogg.m_Comment.Clear();
  ogg.m_Comment[CVorbisComment::kDescription] = W(std::string(449, 'x'));
  ASSERT_TRUE(Save(ogg, path));
  const auto laced = Pages(TempDir::Read(path));
  ASSERT_GE(laced[1].lacing.size(), 3u);
  EXPECT_EQ(Bytes(laced[1].lacing.begin(), laced[1].lacing.begin() + 3), (Bytes{255, 255, 0}));
  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
}

TEST(OggSave, CommentTooLargeForOnePageIsSpreadOverPagesAndBack) {
  TempDir dir;
  const std::string path = Copy(dir, "ogg", "short.ogg");
  const std::string md5 = DecodedMd5(path);
  const auto audio = AudioPageBodies(Pages(TempDir::Read(path)));

  COGG ogg;
  ASSERT_TRUE(ReadOgg(path, ogg));
  ogg.m_Comment[CVorbisComment::kDescription] = W(std::string(140000, 'h'));
  ASSERT_TRUE(Save(ogg, path)) << ogg.State().lastError;
  auto pages = Pages(TempDir::Read(path));
  ASSERT_GT(pages.size(), 4u);
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(pages[i].sequence, i);
    EXPECT_TRUE(pages[i].crcOk) << i;
    EXPECT_LE(pages[i].lacing.size(), 255u);
  }
  EXPECT_EQ(AudioPageBodies(pages), audio);
  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  EXPECT_EQ(MutagenCheck(path, {{"DESCRIPTION", std::string(140000, 'h')}, {"TITLE", "Tëst Title"}}), "");
  COGG back;
  ASSERT_TRUE(ReadOgg(path, back));
  EXPECT_EQ(back.m_Comment[CVorbisComment::kDescription].size(), 140000u);
  EXPECT_EQ(back.m_nTotalSamples, 8000);

  // Shrinking again needs fewer pages: the later pages are renumbered.
  back.m_Comment[CVorbisComment::kDescription] = u"small";
  ASSERT_TRUE(Save(back, path));
  pages = Pages(TempDir::Read(path));
  EXPECT_EQ(pages.size(), 3u);
  for (size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(pages[i].sequence, i);
  EXPECT_EQ(AudioPageBodies(pages), audio);
  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  EXPECT_EQ(MutagenCheck(path, {{"DESCRIPTION", "small"}}), "");
}

TEST(OggSave, SpanningCommentFromTheEncoderIsReadAndRewritten) {
  TempDir dir;
  const std::string path = Copy(dir, "ogg", "spanning.ogg");
  const Bytes before = TempDir::Read(path);
  const auto oldPages = Pages(before);
  const std::string md5 = DecodedMd5(path);
  COGG ogg;
  ASSERT_TRUE(ReadOgg(path, ogg));
  ogg.m_Comment[CVorbisComment::kTitle] = u"Retitled";
  ASSERT_TRUE(Save(ogg, path)) << ogg.State().lastError;
  const auto pages = Pages(TempDir::Read(path));
  ASSERT_EQ(pages.size(), oldPages.size());
  EXPECT_EQ(pages.back().raw, oldPages.back().raw);  // same page count: the audio pages are untouched
  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  EXPECT_EQ(MutagenCheck(path, {{"TITLE", "Retitled"}, {"DESCRIPTION", std::string(70000, 'H')}}), "");

  // A comment that ends on the second page while the setup header runs on
  // into the third: the second page gets granule 0 (a packet ends on it),
  // the third is flagged as continuing.
  ogg.m_Comment[CVorbisComment::kDescription] = W(std::string(63500, 'D'));
  ASSERT_TRUE(Save(ogg, path)) << ogg.State().lastError;
  const auto split = Pages(TempDir::Read(path));
  ASSERT_GE(split.size(), 4u);
  EXPECT_EQ(split[1].lacing.size(), 255u);
  EXPECT_LT(FirstPacketLength(split[1]), split[1].body.size());
  EXPECT_EQ(split[1].granule, 0u);
  EXPECT_EQ(split[2].flags & 1, 1);
  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  EXPECT_EQ(MutagenCheck(path, {{"DESCRIPTION", std::string(63500, 'D')}}), "");
}

TEST(OggSave, EachSaveUsesTheTargetsOwnPages) {
  TempDir dir;
  // Analyse one file and save into another with a different layout: the
  // target keeps its own headers and audio.
  const std::string first = Copy(dir, "ogg", "spanning.ogg");
  const std::string target = Copy(dir, "ogg", "long.ogg");
  const std::string md5 = DecodedMd5(target);
  COGG ogg;
  ASSERT_TRUE(ReadOgg(first, ogg));
  ogg.m_Comment[CVorbisComment::kDescription] = u"from the other file";
  ASSERT_TRUE(Save(ogg, target)) << ogg.State().lastError;
  EXPECT_EQ(OggInfo(target), "");
  EXPECT_EQ(DecodedMd5(target), md5);
  EXPECT_EQ(MutagenCheck(target, {{"DESCRIPTION", "from the other file"}}), "");

  // An ID3v2 tag in front stays where it is.
  Bytes id3 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
  Bytes file = id3;
  const Bytes oggBytes = TempDir::Read(Fixture("ogg", "short.ogg"));
  file.insert(file.end(), oggBytes.begin(), oggBytes.end());
  const std::string tagged = dir.file("tagged.ogg");
  TempDir::Write(tagged, file);
  COGG withTag;
  ASSERT_TRUE(ReadOgg(tagged, withTag, 16));
  withTag.m_Comment[CVorbisComment::kGenre] = u"Trance";
  ASSERT_TRUE(Save(withTag, tagged, 16));
  const Bytes out = TempDir::Read(tagged);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), id3);
  COGG back;
  ASSERT_TRUE(ReadOgg(tagged, back, 16));
  EXPECT_EQ(back.m_Comment[CVorbisComment::kGenre], u"Trance");
  EXPECT_EQ(AudioPageBodies(Pages(out, 16)), AudioPageBodies(Pages(oggBytes)));

  // Not Ogg Vorbis: false without an error number, nothing written; a
  // missing file gives the system's error.
  const std::string text = dir.file("text.ogg");
  TempDir::Write(text, std::string(300, 't'));
  EXPECT_FALSE(Save(ogg, text));
  EXPECT_EQ(ogg.State().lastError, 0);
  EXPECT_EQ(TempDir::Read(text), Bytes(300, 't'));
  EXPECT_FALSE(Save(ogg, dir.file("missing.ogg")));
  EXPECT_EQ(ogg.State().lastError, ENOENT);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 4);
}

TEST(OggSave, RemovingTheTagLeavesAnEmptyCommentWithTheDefaultVendor) {
  TempDir dir;
  const std::string path = Copy(dir, "ogg", "long.ogg");
  const std::string md5 = DecodedMd5(path);
  COGG ogg;
  ASSERT_TRUE(ReadOgg(path, ogg));
  ogg.State().id3v2Size = 0;
  ASSERT_TRUE(ogg.RemoveTagFromFile(W(path)));
  EXPECT_EQ(ogg.m_Comment[CVorbisComment::kTitle], u"");
  COGG back;
  ASSERT_TRUE(ReadOgg(path, back));
  EXPECT_EQ(back.m_Comment.m_strVendor, u"Xiph.Org libVorbis I 20020717");
  EXPECT_EQ(back.m_Comment.m_nEntryCount, 0);
  std::string listed;
  EXPECT_EQ(vorbistest::Run("vorbiscomment -l " + Quote(path), &listed), 0);
  EXPECT_EQ(listed, "");
  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
}

TEST(OggMembers, AnswerThroughDispatchSaveAndRemove) {
  using automation::Variant;
  TempDir dir;
  const std::string path = Copy(dir, "ogg", "short.ogg");
  const std::string md5 = DecodedMd5(path);
  sonavex::CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), sonavex::kFormatOGG);

  const std::pair<int, std::u16string> texts[] = {
      {40, u"An Album"}, {41, u"The Artist"}, {42, u"BPM\r\n128.0\r\nPEA\r\n-3.2\r\nSMP\r\n12345\r\n"},
      {43, u"2021"},     {44, u""},           {45, u"House"}, {46, u""}, {47, u"Tëst Title"}, {48, u"7"},
      {49, u"Xiph.Org libVorbis I 20200704 (Reducing Environment)"}, {134, u""}, {135, u""}, {136, u""},
      {137, u""},        {138, u""},          {139, u""},     {140, u""}};
  for (const auto& [id, text] : texts) EXPECT_EQ(Dispatch(c, id).str(), text) << id;
  EXPECT_EQ(Dispatch(c, 218).i4(), 18);
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Stereo");
  EXPECT_TRUE(c.AUDIOFormatIsValid());

  for (int id : {40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 134, 135, 136, 137, 138, 139, 140}) {
    const std::u16string value = u"value ✓ " + std::u16string(1, char16_t(u'A' + id % 26));
    Dispatch(c, id, {Variant::Str(value)}, true);
    EXPECT_EQ(Dispatch(c, id).str(), value) << id;
  }
  const Variant saved = Dispatch(c, 219, {Variant::Str(W(path))});
  EXPECT_EQ(saved.type(), AUTO_VT_BOOL);
  EXPECT_TRUE(saved.boolean()) << c.AUDIOGetLastErrorNumber();
  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
  sonavex::CSonavexCtrl again;
  ASSERT_EQ(again.AUDIOAnalyzeFile(W(path)), sonavex::kFormatOGG);
  EXPECT_EQ(Dispatch(again, 139).str(), u"value ✓ J");
  EXPECT_EQ(Dispatch(again, 49).str(), u"value ✓ X");
  EXPECT_EQ(MutagenCheck(path, {{"CONTACT", "value ✓ J"}, {"ISRC", "value ✓ K"}}), "");

  // The generic save, with the marker lines of the DJ program.
  again.SetAUDIOComment(u"BPM\r\n128.0\r\nEMP\r\n99\r\n");
  ASSERT_TRUE(again.AUDIOSaveChangesToFile(W(path))) << again.AUDIOGetLastErrorNumber();
  EXPECT_EQ(MutagenCheck(path, {{"COMMENT", "BPM\r\n128.0\r\nEMP\r\n99\r\n"}, {"CONTACT", "value ✓ J"}}), "");
  EXPECT_EQ(OggInfo(path), "");

  // A FLAC file is refused with 210; the removal runs no format check but
  // writes nothing into a file that is not Ogg Vorbis.
  const std::string flac = Copy(dir, "flac", "bare.flac");
  const Bytes before = TempDir::Read(flac);
  EXPECT_FALSE(Dispatch(again, 219, {Variant::Str(W(flac))}).boolean());
  EXPECT_EQ(again.AUDIOGetLastErrorNumber(), sonavex::kErrTagNotAllowed);
  EXPECT_FALSE(Dispatch(again, 220, {Variant::Str(W(flac))}).boolean());
  EXPECT_EQ(TempDir::Read(flac), before);

  again.m_State.id3v2Size = 0;
  EXPECT_TRUE(Dispatch(again, 220, {Variant::Str(W(path))}).boolean());
  EXPECT_EQ(Dispatch(again, 47).str(), u"");
  EXPECT_EQ(Dispatch(again, 49).str(), u"Xiph.Org libVorbis I 20020717");
  EXPECT_EQ(MutagenCheck(path, {{"TITLE", "<absent>"}, {"COMMENT", "<absent>"}}), "");
  EXPECT_EQ(OggInfo(path), "");
  EXPECT_EQ(DecodedMd5(path), md5);
}
