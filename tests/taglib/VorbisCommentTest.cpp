// The Vorbis comment block on its own: parsing names and values, the known
// fields, and the bytes a serialisation produces.
#include "ByteBuffer.h"
#include "Bytes.h"
#include "TempDir.h"
#include "VorbisComment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using sonavex::CByteBuffer;
using sonavex::CVorbisComment;
using namespace std::string_view_literals;

namespace {

// Appends a 32-bit little-endian number. Kept out of line: inlined into
// Block, GCC 12 at -O3 follows the vector's growth wrongly and reports a copy
// past its end.
[[gnu::noinline]] void PutLE32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  sonavex::bytes::PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}

// A block as the format stores it.
std::vector<uint8_t> Block(const std::string& vendor, const std::vector<std::string>& entries,
                           uint32_t count = UINT32_MAX) {
  std::vector<uint8_t> out;
  auto u32 = [&](uint32_t v) { PutLE32(out, v); };
  u32(static_cast<uint32_t>(vendor.size()));
  out.insert(out.end(), vendor.begin(), vendor.end());
  u32(count == UINT32_MAX ? static_cast<uint32_t>(entries.size()) : count);
  for (const auto& e : entries) {
    u32(static_cast<uint32_t>(e.size()));
    out.insert(out.end(), e.begin(), e.end());
  }
  return out;
}

std::vector<uint8_t> Serialized(CVorbisComment& c) {
  CByteBuffer b;
  c.Serialize(b);
  return std::vector<uint8_t>(b.GetData(), b.GetData() + b.GetLength());
}

}  // namespace

TEST(VorbisComment, ParsesNamesAndValues) {
  const auto block = Block("vendor ✓", {"title=lower", "Artist=First", "ARTIST=Second", "COMMENT=a=b",
                                        "GENRE=", "=no name", "no equals sign", "ALBUMARTIST=kept",
                                        "TRACKNUMBER=3", "isrc=XX", "COMMENT=BPM\r\n128\r\n"});
  CVorbisComment c;
  EXPECT_EQ(c.Parse(block.data(), block.size()), block.size());
  EXPECT_EQ(c.m_strVendor, u"vendor ✓");
  EXPECT_EQ(c.m_nEntryCount, 11);
  EXPECT_EQ(c[CVorbisComment::kTitle], u"lower");
  // A name of several entries holds all their values, U+0000 between them.
  EXPECT_EQ(c[CVorbisComment::kArtist], u"First\0Second"sv);
  EXPECT_EQ(c[CVorbisComment::kComment], u"a=b\0BPM\r\n128\r\n"sv);
  EXPECT_EQ(c[CVorbisComment::kGenre], u"");
  EXPECT_EQ(c[CVorbisComment::kTrackNumber], u"3");
  EXPECT_EQ(c[CVorbisComment::kISRC], u"XX");

  // Everything after the first "=" is the value.
  const auto eq = Block("", {"TITLE=a=b"});
  CVorbisComment d;
  d.Parse(eq.data(), eq.size());
  EXPECT_EQ(d[CVorbisComment::kTitle], u"a=b");

  // Fields of other names are written back as they were read, after the
  // known ones; the unchanged known fields keep all their entries (the empty
  // GENRE one too), earlier values in front; entries without a name are
  // dropped.
  const auto out = Serialized(c);
  const std::string text(out.begin(), out.end());
  EXPECT_NE(text.find("ALBUMARTIST=kept"), std::string::npos);
  EXPECT_GT(text.find("ALBUMARTIST=kept"), text.find("ARTIST=Second"));
  EXPECT_LT(text.find("Artist=First"), text.find("ARTIST=Second"));
  EXPECT_LT(text.find("COMMENT=a=b"), text.find("COMMENT=BPM"));
  EXPECT_EQ(text.find("no equals sign"), std::string::npos);
  EXPECT_NE(text.find("GENRE="), std::string::npos);
  EXPECT_EQ(c.m_nEntryCount, 9);
}

TEST(VorbisComment, EarlierValuesOfANameStayOnlyWhileTheValueIsUnchanged) {
  // The third ARTIST entry is the way older saves of the library wrote two
  // values: one entry with a zero byte between them.
  const auto block = Block("v", {"ARTIST=One", "TITLE=T", "ARTIST=Two", std::string("artist=Three\0Four", 17)});
  struct Case {
    const char* name;
    std::optional<std::u16string_view> artist;  // the value given before the save
    std::vector<std::string> expect;             // the entries written
    std::u16string_view read;                    // ... and the value they read as
  } cases[] = {
      {"unchanged", std::nullopt, {"ARTIST=One", "ARTIST=Two", std::string("ARTIST=Three\0Four", 17), "TITLE=T"},
       u"One\0Two\0Three\0Four"sv},
      {"changed", u"Five"sv, {"ARTIST=Five", "TITLE=T"}, u"Five"sv},
      // Put anew, an entry of the older form (a zero byte inside) is
      // written in today's form.
      {"set to the values it had", u"One\0Two\0Three\0Four"sv,
       {"ARTIST=One", "ARTIST=Two", "ARTIST=Three", "ARTIST=Four", "TITLE=T"}, u"One\0Two\0Three\0Four"sv},
      {"set to the last value alone", u"Four"sv, {"ARTIST=Four", "TITLE=T"}, u"Four"sv},
      // One entry per value; empty values (a doubled or a trailing U+0000)
      // are no values.
      {"set to several values", u"\0Five\0\0Six\0"sv, {"ARTIST=Five", "ARTIST=Six", "TITLE=T"}, u"Five\0Six"sv},
      {"cleared", u""sv, {"TITLE=T"}, u""sv},
      {"set to separators alone", u"\0\0"sv, {"TITLE=T"}, u""sv},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    CVorbisComment c;
    c.Parse(block.data(), block.size());
    EXPECT_EQ(c[CVorbisComment::kArtist], u"One\0Two\0Three\0Four"sv);  // every value, in file order
    if (k.artist) c.Put(CVorbisComment::kArtist, std::u16string(*k.artist));
    const auto out = Serialized(c);
    CVorbisComment back;
    back.Parse(out.data(), out.size());
    // Entry texts in order, names in upper case for comparison.
    std::vector<std::string> entries;
    size_t at = 4 + 1 + 4;
    while (at + 4 <= out.size()) {
      const uint32_t n = sonavex::bytes::LE32(out.data() + at);
      std::string e(out.begin() + static_cast<std::ptrdiff_t>(at + 4), out.begin() + static_cast<std::ptrdiff_t>(at + 4 + n));
      for (auto& ch : e) {
        if (ch == '=') break;
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      }
      entries.push_back(e);
      at += 4 + n;
    }
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> expect = k.expect;
    std::sort(expect.begin(), expect.end());
    EXPECT_EQ(entries, expect);
    EXPECT_EQ(back.m_nEntryCount, static_cast<int32_t>(expect.size()));
    EXPECT_EQ(back[CVorbisComment::kArtist], k.read);
  }
}

TEST(VorbisComment, SerialisesTheDefaultAndSingleEntryBlocks) {
  CVorbisComment c;
  std::vector<uint8_t> expect = {0x1D, 0, 0, 0};
  const std::string vendor = "Xiph.Org libVorbis I 20020717";
  expect.insert(expect.end(), vendor.begin(), vendor.end());
  expect.insert(expect.end(), {0, 0, 0, 0});
  EXPECT_EQ(Serialized(c), expect);
  EXPECT_EQ(expect.size(), 37u);

  c[CVorbisComment::kTitle] = u"\u00C4";
  auto one = Serialized(c);
  const std::vector<uint8_t> tail = {1, 0, 0, 0, 8, 0, 0, 0, 'T', 'I', 'T', 'L', 'E', '=', 0xC3, 0x84};
  ASSERT_EQ(one.size(), 33u + tail.size());
  EXPECT_EQ(std::vector<uint8_t>(one.begin() + 33, one.end()), tail);
  EXPECT_EQ(c.m_nEntryCount, 1);

  // An emptied value is left out again; an empty vendor is a zero length.
  c[CVorbisComment::kTitle] = u"";
  c.m_strVendor = u"";
  EXPECT_EQ(Serialized(c), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0}));

  // Clear restores the state after construction.
  c[CVorbisComment::kGenre] = u"x";
  c.Clear();
  EXPECT_EQ(Serialized(c), expect);
}

TEST(VorbisComment, LongTextsAreWrittenWholeAndReadBack) {
  CVorbisComment c;
  const std::u16string longText(40000, u'\u00E9');  // 80000 UTF-8 bytes
  c[CVorbisComment::kDescription] = longText;
  c.m_strVendor = std::u16string(5000, u'v');
  const auto bytes = Serialized(c);
  EXPECT_EQ(sonavex::bytes::LE32(bytes.data()), 5000u);
  CVorbisComment back;
  EXPECT_EQ(back.Parse(bytes.data(), bytes.size()), bytes.size());
  EXPECT_EQ(back[CVorbisComment::kDescription], longText);
  EXPECT_EQ(back.m_strVendor, c.m_strVendor);
}

TEST(VorbisComment, HostileLengthsAndCountsStopAtTheEndOfTheData) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  auto huge = Block("v", {"TITLE=t"});
  sonavex::bytes::PutLE32(huge.data() + 9, 0x7FFFFFF0);  // entry length far past the end
  const std::vector<Case> cases = {
      {"empty", {}},
      {"cut in the vendor length", {5, 0}},
      {"vendor past the end", {0xFF, 0xFF, 0xFF, 0x7F, 'a'}},
      {"count larger than the entries", Block("v", {"TITLE=t"}, 0x7FFFFFFF)},
      {"negative count", Block("v", {"TITLE=t"}, 0x80000000)},
      {"entry length past the end", huge},
  };
  for (const auto& c : cases) {
    CVorbisComment vc;
    EXPECT_LE(vc.Parse(c.data.data(), c.data.size()), c.data.size()) << c.what;
  }
  CVorbisComment more;
  const auto block = Block("v", {"TITLE=t"}, 0x7FFFFFFF);
  more.Parse(block.data(), block.size());
  EXPECT_EQ(more[CVorbisComment::kTitle], u"t");
  CVorbisComment negative;
  const auto neg = Block("v", {"TITLE=t"}, 0x80000000);
  negative.Parse(neg.data(), neg.size());
  EXPECT_EQ(negative[CVorbisComment::kTitle], u"");
}

TEST(VorbisComment, ParsesFromAFileAndStopsBehindTheLastEntry) {
  TempDir dir;
  auto block = Block("file vendor", {"TITLE=from file", "DATE=2020"});
  const size_t end = block.size();
  block.insert(block.end(), {1, 'r', 'e', 's', 't'});
  const std::string path = dir.file("block.bin");
  TempDir::Write(path, block);
  sonavex::TagFile f;
  ASSERT_TRUE(f.Open(path, sonavex::TagFile::Mode::Read));
  CVorbisComment c;
  c[CVorbisComment::kGenre] = u"kept";  // values the block lacks stay
  c.Parse(f);
  EXPECT_EQ(f.Tell(), static_cast<int64_t>(end));
  EXPECT_EQ(c.m_strVendor, u"file vendor");
  EXPECT_EQ(c[CVorbisComment::kTitle], u"from file");
  EXPECT_EQ(c[CVorbisComment::kDate], u"2020");
  EXPECT_EQ(c[CVorbisComment::kGenre], u"kept");

  // A length far beyond the file reads what is there and stops at its end.
  auto cut = Block("v", {"TITLE=abc"});
  sonavex::bytes::PutLE32(cut.data() + 9, 0x7FFFFFFF);
  TempDir::Write(path, cut);
  ASSERT_TRUE(f.Open(path, sonavex::TagFile::Mode::Read));
  CVorbisComment d;
  d.Parse(f);
  EXPECT_EQ(f.Tell(), static_cast<int64_t>(cut.size()));
  EXPECT_EQ(d[CVorbisComment::kTitle], u"abc");
}
