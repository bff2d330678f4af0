#include "VorbisComment.h"

#include "Bytes.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace sonavex {

namespace {

constexpr const char16_t* kNames[CVorbisComment::kFieldCount] = {
    u"TITLE",     u"ARTIST",      u"ALBUM",   u"TRACKNUMBER", u"DATE",    u"GENRE",
    u"COMMENT",   u"PERFORMER",   u"DESCRIPTION", u"VERSION", u"COPYRIGHT", u"LICENSE",
    u"ORGANIZATION", u"LOCATION", u"CONTACT", u"ISRC"};

// UTF-8 text up to its first zero byte, as the comment stores it.
WString DecodeText(const uint8_t* p, size_t n) {
  const auto* begin = reinterpret_cast<const char*>(p);
  const auto* zero = n ? static_cast<const char*>(std::memchr(begin, 0, n)) : nullptr;
  return FromUtf8(std::string_view(begin, zero ? static_cast<size_t>(zero - begin) : n));
}

// Reads from memory; never past the end.
struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  size_t Remaining() const { return size - pos; }
  bool U32(uint32_t& v) {
    if (Remaining() < 4) {
      pos = size;
      return false;
    }
    v = bytes::LE32(data + pos);
    pos += 4;
    return true;
  }
  // Up to n bytes (fewer at the end).
  std::string Raw(uint32_t n) {
    const size_t take = std::min<size_t>(n, Remaining());
    std::string s(reinterpret_cast<const char*>(data + pos), take);
    pos += take;
    return s;
  }
};

// Reads from a file; lengths are clamped to what the file still holds, so a
// hostile length never allocates more than the file.
struct FileSource {
  TagFile& file;
  bool U32(uint32_t& v) {
    uint8_t b[4];
    if (!file.ReadExact(b, 4)) return false;
    v = bytes::LE32(b);
    return true;
  }
  std::string Raw(uint32_t n) {
    const int64_t left = file.Remaining();
    const size_t take = static_cast<size_t>(std::min<int64_t>(n, std::max<int64_t>(left, 0)));
    std::string buf(take, '\0');
    buf.resize(file.Read(buf.data(), take));
    return buf;
  }
};

}  // namespace

const char16_t* CVorbisComment::FieldName(int field) {
  return field >= 0 && field < kFieldCount ? kNames[field] : u"";
}

GenericStrings CVorbisComment::GetGenericStrings() const {
  return {m_strValues[kTitle],   m_strValues[kArtist], m_strValues[kAlbum],      m_strValues[kComment],
          m_strValues[kGenre],   m_strValues[kTrackNumber], m_strValues[kDate]};
}

void CVorbisComment::SetGenericStrings(const GenericStrings& g) {
  Put(kTitle, g.title);
  Put(kArtist, g.artist);
  Put(kAlbum, g.album);
  Put(kComment, g.comment);
  Put(kGenre, g.genre);
  Put(kTrackNumber, g.track);
  Put(kDate, g.year);
}

void CVorbisComment::Clear() {
  m_strVendor = kDefaultVendor;
  for (auto& v : m_strValues) v.clear();
  m_strEntry.clear();
  m_nEntryCount = 0;
  m_otherEntries.clear();
  for (int i = 0; i < kFieldCount; ++i) {
    m_earlierEntries[i].clear();
    m_lastEntry[i].clear();
    m_strRead[i].clear();
    m_olderForm[i] = false;
    m_put[i] = false;
  }
}

void CVorbisComment::TakeEntry(const std::string& raw, bool (&taken)[kFieldCount]) {
  // The name is ASCII up to the first "=" (and ends at a zero byte, as the
  // text does); only a known field's value is decoded.
  const size_t end = std::min(raw.find('\0'), raw.size());
  const size_t eq = raw.find('=');
  if (eq == std::string::npos || eq == 0 || eq > end) return;  // no name
  const WString name = UpperAscii(FromUtf8(std::string_view(raw.data(), eq)));
  for (int i = 0; i < kFieldCount; ++i) {
    if (name == kNames[i]) {
      // Every entry of the name is one more value of the field: the field
      // reads as its values in file order, U+0000 between them. (A zero byte
      // inside an entry, as older saves of this library wrote several values,
      // parts values the same way.)
      const WString value = NormalValues(FromUtf8(std::string_view(raw.data() + eq + 1, raw.size() - eq - 1)));
      if (!m_lastEntry[i].empty()) m_earlierEntries[i].push_back(m_lastEntry[i]);
      m_lastEntry[i] = raw;
      if (end < raw.size()) m_olderForm[i] = true;
      // Appended in place (the field takes it at the end of the block), so
      // that a block of very many entries of one name reads in linear time.
      if (!value.empty() && !m_strRead[i].empty()) m_strRead[i] += u'\0';
      m_strRead[i] += value;
      taken[i] = true;
      return;
    }
  }
  // A field this library has no member for (album artist, replay gain,
  // embedded cover art...) is kept byte for byte and written back, so a
  // save never takes the user's other tags away.
  m_otherEntries.push_back(raw);
}

template <class Source>
void CVorbisComment::ParseFrom(Source& src) {
  uint32_t len = 0;
  if (!src.U32(len)) {
    m_strVendor.clear();
    return;
  }
  const std::string vendor = src.Raw(len);
  m_strVendor = DecodeText(reinterpret_cast<const uint8_t*>(vendor.data()), vendor.size());
  uint32_t count = 0;
  if (!src.U32(count)) return;
  m_nEntryCount = static_cast<int32_t>(count);
  // A count larger than the entries present ends where the data ends.
  bool taken[kFieldCount] = {};
  for (int32_t i = 0; i < m_nEntryCount; ++i) {
    if (!src.U32(len)) break;
    TakeEntry(src.Raw(len), taken);
  }
  for (int i = 0; i < kFieldCount; ++i)
    if (taken[i]) m_strValues[i] = m_strRead[i];
}

void CVorbisComment::Parse(TagFile& file) {
  FileSource src{file};
  ParseFrom(src);
}

size_t CVorbisComment::Parse(const uint8_t* data, size_t size) {
  MemorySource src{data, size};
  ParseFrom(src);
  return src.pos;
}

void CVorbisComment::Serialize(CByteBuffer& out) {
  // A field whose value is as it was read keeps every entry it had, byte for
  // byte; a field given a new value (or cleared) is written as the values
  // given alone, so that no reader sees the old values beside the new ones:
  // one entry per value (U+0000 between values in the text), as every reader
  // of Vorbis comments expects several values. A field put anew whose
  // entries have a zero byte inside (older saves of this library put
  // several values into one entry that way) is written in today's form, one
  // entry per value, even when its values are those read.
  auto unchanged = [this](int i) {
    return m_strValues[i] == m_strRead[i] && !m_lastEntry[i].empty() && !(m_put[i] && m_olderForm[i]);
  };
  std::vector<WString> values[kFieldCount];
  m_nEntryCount = static_cast<int32_t>(m_otherEntries.size());
  for (int i = 0; i < kFieldCount; ++i) {
    if (unchanged(i)) {
      m_nEntryCount += static_cast<int32_t>(m_earlierEntries[i].size()) + 1;
    } else {
      values[i] = SplitValues(m_strValues[i]);
      m_nEntryCount += static_cast<int32_t>(values[i].size());
    }
  }

  // The block's size (new texts counted at the most UTF-8 can take) is
  // reserved at once: a block of very many entries is copied once, not at
  // every step of the buffer's growth.
  int64_t need = 8 + 3 * static_cast<int64_t>(m_strVendor.size());
  for (int i = 0; i < kFieldCount; ++i) {
    if (unchanged(i)) {
      for (const auto& raw : m_earlierEntries[i]) need += 4 + static_cast<int64_t>(raw.size());
      need += 4 + static_cast<int64_t>(m_lastEntry[i].size());
    } else {
      for (const WString& value : values[i])
        need += 4 + 3 * static_cast<int64_t>(std::char_traits<char16_t>::length(kNames[i]) + 1 + value.size());
    }
  }
  for (const auto& raw : m_otherEntries) need += 4 + static_cast<int64_t>(raw.size());
  out.ReserveMore(need);

  uint8_t len[4];
  CByteBuffer text;
  text.AddAsUTF8(m_strVendor);
  bytes::PutLE32(len, static_cast<uint32_t>(text.GetLength()));
  out.AppendBytes(len, 4);
  out.AppendBuffer(text);

  bytes::PutLE32(len, static_cast<uint32_t>(m_nEntryCount));
  out.AppendBytes(len, 4);
  auto appendRaw = [&](const std::string& raw) {
    bytes::PutLE32(len, static_cast<uint32_t>(raw.size()));
    out.AppendBytes(len, 4);
    out.AppendBytes(raw.data(), static_cast<int32_t>(raw.size()));
  };
  for (int i = 0; i < kFieldCount; ++i) {
    if (unchanged(i)) {
      for (const auto& raw : m_earlierEntries[i]) appendRaw(raw);
      appendRaw(m_lastEntry[i]);
      continue;
    }
    for (const WString& value : values[i]) {
      m_strEntry = WString(kNames[i]) + u"=" + value;
      text.Empty();
      text.AddAsUTF8(m_strEntry);
      bytes::PutLE32(len, static_cast<uint32_t>(text.GetLength()));
      out.AppendBytes(len, 4);
      out.AppendBuffer(text);
    }
  }
  for (const auto& raw : m_otherEntries) appendRaw(raw);
}

}  // namespace sonavex
