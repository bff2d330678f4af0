#include "ByteBuffer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using sonavex::CByteBuffer;
using sonavex::TagFile;
using sonavex::WString;

namespace {
CByteBuffer Bytes(std::initializer_list<unsigned char> b) {
  CByteBuffer buf;
  for (auto x : b) buf.AppendByte(x);
  return buf;
}
}  // namespace

TEST(ByteBuffer, DecodesByEncodingByte) {
  struct Case {
    CByteBuffer in;
    WString out;
  } cases[] = {
      {Bytes({0x00, 0x61, 0x62, 0x00, 0x63}), u"ab"},
      {Bytes({0x01, 0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00}), u"AB"},
      {Bytes({0x01, 0xFE, 0xFF, 0x00, 0x41, 0x00, 0x42}), u"AB"},
      {Bytes({0x01, 0x41, 0x00, 0x42, 0x00}), u""},  // no byte-order mark
      {Bytes({0x02, 0x00, 0x41, 0x00, 0x42}), u"AB"},
      {Bytes({0x03, 0xC3, 0xA9, 0xE2, 0x99, 0xAB}), u"é♫"},
      {Bytes({0x00, 0x80, 0xE9}), u"€é"},  // Windows-1252
      {Bytes({0x04, 0x41}), u""},
      {Bytes({0x01, 0xFF, 0xFE, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00}), u"A"},  // ends at a zero unit
  };
  for (auto& c : cases) EXPECT_EQ(c.in.ConvertToUnicode(), c.out);

  CByteBuffer utf16 = Bytes({0xFF, 0xFE, 0x41, 0x00});
  EXPECT_EQ(utf16.ConvertToUnicode(1), u"A");
  CByteBuffer utf8 = Bytes({0x41, 0x42});
  EXPECT_EQ(utf8.ConvertToUnicode(3), u"AB");
  EXPECT_EQ(utf8.ConvertToUnicode(7), u"");
}

TEST(ByteBuffer, DecodeLengthLimit) {
  CByteBuffer b;
  b.AppendByte(0);
  b.AppendFill('x', 32499);
  EXPECT_EQ(b.ConvertToUnicode().size(), 32499u);
  b.AppendByte('x');
  EXPECT_EQ(b.ConvertToUnicode(), u"");
  CByteBuffer empty;
  EXPECT_EQ(empty.ConvertToUnicode(), u"");
}

TEST(ByteBuffer, CapacityGrowsInSteps) {
  CByteBuffer b;
  EXPECT_EQ(b.GetCapacity(), 0);
  b.AppendByte(1);
  EXPECT_EQ(b.GetCapacity(), 256);
  for (int i = 1; i < 254; ++i) b.AppendByte(1);
  EXPECT_EQ(b.GetCapacity(), 256);  // 254 bytes still fit with two spare
  b.AppendByte(1);
  EXPECT_EQ(b.GetLength(), 255);
  EXPECT_EQ(b.GetCapacity(), 512);
  CByteBuffer c;
  c.AppendFill(0, 300);
  EXPECT_EQ(c.GetCapacity(), 512);
}

// A caller that knows how much it will append reserves it at once: the
// block then takes every byte without being copied again, and its size
// follows the capacity rule for the whole length.
TEST(ByteBuffer, ReservedRoomTakesTheAppendsInOneBlock) {
  CByteBuffer b;
  b.AppendFill('a', 5);
  ASSERT_TRUE(b.ReserveMore(100000));
  EXPECT_EQ(b.GetCapacity(), (100005 + 1) / 256 * 256 + 256);
  const uint8_t* block = b.GetData();
  for (int i = 0; i < 1000; ++i) b.AppendFill('x', 100);
  EXPECT_EQ(b.GetData(), block);
  EXPECT_EQ(b.GetLength(), 100005);
  EXPECT_EQ(b.GetAt(4), 'a');
  EXPECT_FALSE(b.ReserveMore(-1));
  EXPECT_FALSE(b.ReserveMore(int64_t(1) << 40));
  EXPECT_EQ(b.GetLength(), 100005);
}

TEST(ByteBuffer, TextConversionsTowardsBytes) {
  CByteBuffer f;
  f.AddStringAFixed(u"Hello", 30);
  ASSERT_EQ(f.GetLength(), 30);
  EXPECT_EQ(f.GetStringA(), u"Hello");
  EXPECT_EQ(f.GetAt(5), 0);
  CByteBuffer g;
  g.AddStringAFixed(WString(40, u'a'), 30);
  EXPECT_EQ(g.GetLength(), 30);
  CByteBuffer u8;
  u8.AddAsUTF8(u"");
  EXPECT_EQ(u8.GetLength(), 0);
  u8.AddAsUTF8(u"♫♫");
  EXPECT_EQ(u8.GetLength(), 6);
  CByteBuffer a;
  a.AddStringA(u"a€ж");  // ж is not in the code page
  ASSERT_EQ(a.GetLength(), 3);
  EXPECT_EQ(a.GetAt(1), 0x80);
  EXPECT_EQ(a.GetAt(2), '?');
  CByteBuffer w(u"AB");
  EXPECT_EQ(w.GetLength(), 4);
  EXPECT_EQ(w.GetAt(1), 0);
  EXPECT_EQ(w.MidA(1, 10), WString(u"\0B\0", 3));
  EXPECT_EQ(w.MidA(4, 1), u"");
  EXPECT_STREQ(CByteBuffer("xyz").GetSz(), "xyz");
  CByteBuffer copy;
  copy = w;
  CByteBuffer& alias = copy;
  copy = alias;  // self-assignment changes nothing
  EXPECT_EQ(copy.GetLength(), 4);
}

TEST(ByteBuffer, FileReadsAreBoundedByTheFile) {
  TempDir dir;
  const std::string path = dir.file("f.bin");
  TempDir::Write(path, std::string(100, 'z'));
  TagFile f;
  ASSERT_TRUE(f.Open(path, TagFile::Mode::Read));
  CByteBuffer b;
  b.ReadFromFile(0, f);
  EXPECT_EQ(b.GetLength(), 0);
  b.ReadFromFile(300, f);
  EXPECT_EQ(b.GetLength(), 100);
  // A hostile count never allocates more than the file holds.
  ASSERT_TRUE(f.Seek(90));
  CByteBuffer h;
  h.ReadFromFile(0x7FFFFF00, f);
  EXPECT_EQ(h.GetLength(), 10);
  EXPECT_LE(h.GetCapacity(), 256);
  ASSERT_TRUE(f.Seek(0));
  h.AppendFromFile(5, f);
  EXPECT_EQ(h.GetLength(), 15);
}
