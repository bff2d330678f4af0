#include "WMA.h"

#include "Bytes.h"
#include "Module.h"
#include "SafeWrite.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_set>

namespace sonavex {

namespace {

using bytes::LE16;
using bytes::LE32;
using bytes::LE64;

// Builds a GUID's ASF byte layout from its text form: the first three groups
// are stored least significant byte first, the last two as written.
constexpr int HexDigit(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - 'a' + 10;
}
constexpr AsfGuid MakeGuid(const char* t) {
  AsfGuid g{};
  uint8_t v[16]{};
  int n = 0;
  for (int i = 0; t[i] && n < 32; ++i) {
    if (t[i] == '-') continue;
    v[n / 2] = static_cast<uint8_t>(v[n / 2] * 16 + HexDigit(t[i]));
    ++n;
  }
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) g.b[i] = v[order[i]];
  return g;
}

constexpr AsfGuid kHeaderObject = MakeGuid("75B22630-668E-11CF-A6D9-00AA0062CE6C");
constexpr AsfGuid kFileProperties = MakeGuid("8CABDCA1-A947-11CF-8EE4-00C00C205365");
constexpr AsfGuid kStreamProperties = MakeGuid("B7DC0791-A9B7-11CF-8EE6-00C00C205365");
constexpr AsfGuid kAudioMedia = MakeGuid("F8699E40-5B4D-11CF-A8FD-00805F5C442B");
constexpr AsfGuid kHeaderExtension = MakeGuid("5FBF03B5-A92E-11CF-8EE3-00C00C205365");
constexpr AsfGuid kContentDescription = MakeGuid("75B22633-668E-11CF-A6D9-00AA0062CE6C");
constexpr AsfGuid kExtContentDescription = MakeGuid("D2D0A440-E307-11D2-97F0-00A0C95EA850");
constexpr AsfGuid kPadding = MakeGuid("1806D474-CADF-4509-A4BA-9AABCB96AAE8");
constexpr AsfGuid kMetadata = MakeGuid("C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA");
constexpr AsfGuid kMetadataLibrary = MakeGuid("44231C94-9498-49D1-A141-1D134E457054");

// A header larger than this is not read whole (no real header comes near it).
constexpr uint64_t kMaxHeader = 64u << 20;
// Body of the padding object of a rewritten header (a 4096-byte object).
constexpr uint32_t kRewritePadding = 4072;
// Largest text a 16-bit byte length holds with its terminator.
constexpr size_t kMaxText = 32766;

// UTF-16LE up to the first zero character.
WString Utf16Le(const uint8_t* p, size_t n) {
  WString out;
  for (size_t i = 0; i + 1 < n; i += 2) {
    const char16_t c = static_cast<char16_t>(p[i] | (p[i + 1] << 8));
    if (c == 0) break;
    out += c;
  }
  return out;
}

// A text attribute's values: the whole declared length, parted at its zero
// characters (the terminator, and older saves of this library put several
// values into one attribute that way), U+0000 between the values.
WString Utf16LeValues(const uint8_t* p, size_t n) {
  WString out;
  for (size_t i = 0; i + 1 < n; i += 2) out += static_cast<char16_t>(p[i] | (p[i + 1] << 8));
  return NormalValues(out);
}

void AppendLE16(CByteBuffer& b, uint32_t v) {
  uint8_t x[2];
  bytes::PutLE16(x, v);
  b.AppendBytes(x, 2);
}

void AppendUtf16z(CByteBuffer& b, const WString& s) {
  b.AppendWide(s);
  b.AppendFill(0, 2);
}

// The value of the decimal digits at the start of a text (after blanks and
// an optional sign); 0 when it does not start with digits.
int64_t LeadingNumber(const WString& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  int64_t v = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
    v = v * 10 + (s[i] - u'0');
    if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;  // clamp, never overflow
  }
  return negative ? -v : v;
}

WString Decimal(int64_t v) {
  const std::string s = std::to_string(v);
  return WString(s.begin(), s.end());
}

// The longer of two texts; on equal length the attribute's.
const WString& Longer(const WString& cd, const WString& attribute) {
  return cd.size() > attribute.size() ? cd : attribute;
}

void PutHeader(std::vector<uint8_t>& out, const AsfGuid& g, uint64_t size) {
  out.insert(out.end(), g.b, g.b + 16);
  uint8_t s[8];
  bytes::PutLE64(s, size);
  out.insert(out.end(), s, s + 8);
}

void PutBytes(std::vector<uint8_t>& out, const CByteBuffer& b) {
  if (b.GetLength() > 0) out.insert(out.end(), b.GetData(), b.GetData() + b.GetLength());
}

AsfGuid GuidAt(const uint8_t* p) {
  AsfGuid g;
  std::memcpy(g.b, p, 16);
  return g;
}

// True when a Header Extension body holds a well-formed run of child objects
// that fills its declared data size exactly (a few bytes too few for another
// object may follow them).
bool ExtensionIsWellFormed(const uint8_t* body, uint64_t size) {
  if (size < 22) return false;
  const uint64_t dataSize = LE32(body + 18);
  if (22 + dataSize != size) return false;
  uint64_t off = 22;
  while (size - off >= 24) {
    const uint64_t child = LE64(body + off + 16);
    if (child < 24 || child > size - off) return false;
    off += child;
  }
  return true;
}

}  // namespace

bool AsfGuid::operator==(const AsfGuid& o) const { return std::memcmp(b, o.b, 16) == 0; }

// ---------------------------------------------------------------------------
// Content Description

void CASFContentDescription::Clear() {
  m_strTitle.clear();
  m_strAuthor.clear();
  m_strCopyright.clear();
  m_strDescription.clear();
  m_strRating.clear();
  std::fill(std::begin(m_nLengths), std::end(m_nLengths), 0);
}

void CASFContentDescription::Read(const uint8_t* body, size_t size) {
  Clear();
  if (size < 10) return;
  for (int i = 0; i < 5; ++i) m_nLengths[i] = LE16(body + 2 * i);
  WString* fields[5] = {&m_strTitle, &m_strAuthor, &m_strCopyright, &m_strDescription, &m_strRating};
  size_t off = 10;
  for (int i = 0; i < 5; ++i) {
    const size_t n = m_nLengths[i];
    if (n > size - off) return;  // runs past the object: stop here
    *fields[i] = Utf16Le(body + off, n);
    off += n;
  }
}

bool CASFContentDescription::Serialize(CByteBuffer& out, int32_t& error) {
  const WString* fields[5] = {&m_strTitle, &m_strAuthor, &m_strCopyright, &m_strDescription, &m_strRating};
  for (const WString* f : fields) {
    if (f->size() > kMaxText) {
      error = EFBIG;
      return false;
    }
  }
  for (int i = 0; i < 5; ++i) {
    m_nLengths[i] = fields[i]->empty() ? 0 : static_cast<uint16_t>(2 * fields[i]->size() + 2);
    AppendLE16(out, m_nLengths[i]);
  }
  for (const WString* f : fields)
    if (!f->empty()) AppendUtf16z(out, *f);
  return true;
}

// ---------------------------------------------------------------------------
// Extended Content Description

const char16_t* const CASFExtContentDescription::kNames[kKnownCount] = {
    u"WM/Title",        u"WM/Author",          u"WM/AlbumTitle",   u"WM/Track",
    u"WM/Year",         u"WM/Genre",           u"WM/Description",  u"WM/TrackNumber",
    u"WM/AlbumArtist",  u"WM/Category",        u"WM/Composer",     u"WM/Conductor",
    u"WM/EncodingTime", u"WM/Language",        u"WM/Lyrics",       u"WM/Provider",
    u"WM/Publisher",    u"WM/ContentDistributor", u"WM/ParentalRating", u"WM/Producer",
    u"WM/ToolName",     u"WM/ToolVersion",     u"WM/Writer",       u"WM/AuthorURL",
    u"WM/BeatsPerMinute", u"WM/ContentGroupDescription", u"WM/EncodedBy", u"WM/EncodingSettings",
    u"WM/InitialKey",   u"WM/Mood",            u"WM/PartOfSet",    u"WM/Period",
    u"WM/PromotionURL", u"WM/UserWebURL",      u"WM/ISRC",
};

const char16_t* const CASFExtContentDescription::kAliasNames[kAliasCount] = {
    u"Title", u"Author", u"Copyright", u"Description", u"Rating", u"Date"};

void CASFExtContentDescription::Clear() {
  for (auto& v : m_Values) v.clear();
  for (auto& v : m_Aliases) v.clear();
  for (auto& v : m_Elsewhere) v.clear();
  m_Raw.clear();
}

int CASFExtContentDescription::FindAlias(const WString& name) {
  const WString upper = UpperAscii(name);
  for (int i = 0; i < kAliasCount; ++i)
    if (UpperAscii(kAliasNames[i]) == upper) return i;
  return -1;
}

int CASFExtContentDescription::FindName(const WString& name) {
  const WString upper = UpperAscii(name);
  for (int i = 0; i < kKnownCount; ++i)
    if (UpperAscii(kNames[i]) == upper) return i;
  return -1;
}

void CASFExtContentDescription::Read(const uint8_t* body, size_t size) {
  if (size < 2) return;
  const unsigned count = LE16(body);
  size_t off = 2;
  for (unsigned d = 0; d < count; ++d) {
    const size_t start = off;
    if (size - off < 2) return;
    const size_t nameLength = LE16(body + off);
    off += 2;
    if (size - off < nameLength + 4) return;  // the descriptor runs past the object
    const WString name = Utf16Le(body + off, nameLength);
    off += nameLength;
    const unsigned type = LE16(body + off);
    const size_t valueLength = LE16(body + off + 2);
    off += 4;
    if (size - off < valueLength) return;
    const uint8_t* value = body + off;
    off += valueLength;

    const int index = FindName(name);
    const int alias = index < 0 && type == 0 ? FindAlias(name) : -1;
    if (alias >= 0) {
      // A later copy of the same field wins.
      m_Aliases[static_cast<size_t>(alias)] = Utf16Le(value, valueLength);
      continue;
    }
    bool text = index >= 0;
    WString v;
    if (index >= 0) {
      // Every value is taken at its declared length; a number or switch
      // too short for its type reads as empty.
      switch (type) {
        case 0: v = Utf16LeValues(value, valueLength); break;
        case 2:
          v = std::any_of(value, value + valueLength, [](uint8_t b) { return b != 0; }) ? u"true" : u"false";
          break;
        case 3:
          if (valueLength >= 4) v = Decimal(static_cast<int32_t>(LE32(value)));
          break;
        case 4:
          if (valueLength >= 8) {
            const std::string s = std::to_string(LE64(value));
            v.assign(s.begin(), s.end());
          }
          break;
        case 5:
          if (valueLength >= 2) v = Decimal(LE16(value));
          break;
        default: text = false; break;  // a byte array or GUID has no text form
      }
    }
    if (text) {
      // Each descriptor of a name is one more value of its field, in file
      // order (U+0000 between values).
      WString& field = m_Values[static_cast<size_t>(index)];
      if (!v.empty() && !field.empty()) field += u'\0';
      field += v;
    } else {
      RawDescriptor raw;
      raw.known = index;
      raw.bytes.AppendBytes(body + start, static_cast<int32_t>(off - start));
      m_Raw.push_back(std::move(raw));
    }
  }
}

void CASFExtContentDescription::ReadRecords(const uint8_t* body, size_t size) {
  if (size < 2) return;
  const unsigned count = LE16(body);
  size_t off = 2;
  for (unsigned r = 0; r < count; ++r) {
    // Language list index or reserved (2), stream (2), name length (2),
    // data type (2), data length (4), name, data.
    if (size - off < 12) return;
    const size_t nameLength = LE16(body + off + 4);
    const unsigned type = LE16(body + off + 6);
    const size_t dataLength = LE32(body + off + 8);
    if (size - off - 12 < nameLength || size - off - 12 - nameLength < dataLength) return;
    const int index = FindName(Utf16Le(body + off + 12, nameLength));
    if (index >= 0 && type == 0) {
      WString& more = m_Elsewhere[static_cast<size_t>(index)];
      const WString v = Utf16LeValues(body + off + 12 + nameLength, dataLength);
      if (!v.empty() && !more.empty()) more += u'\0';
      more += v;
    }
    off += 12 + nameLength + dataLength;
  }
}

void CASFExtContentDescription::TakeElsewhere() {
  for (int i = 0; i < kKnownCount; ++i) {
    WString& more = m_Elsewhere[static_cast<size_t>(i)];
    if (more.empty()) continue;
    WString& field = m_Values[static_cast<size_t>(i)];
    std::vector<WString> values = SplitValues(field);
    std::unordered_set<WString> have(values.begin(), values.end());
    for (WString& v : SplitValues(more))
      if (have.insert(v).second) values.push_back(std::move(v));  // a copy of a value already read is left out
    field = JoinValues(values);
    more.clear();
  }
}

bool CASFExtContentDescription::Serialize(CByteBuffer& out, int32_t& error) {
  size_t count = 0;
  for (const auto& r : m_Raw)
    if (r.known < 0 || m_Values[static_cast<size_t>(r.known)].empty()) ++count;
  // A field of several values is written as one descriptor per value, as
  // every reader of the format expects them.
  std::array<std::vector<WString>, kKnownCount> values;
  for (int i = 0; i < kKnownCount; ++i) {
    values[static_cast<size_t>(i)] = SplitValues(m_Values[static_cast<size_t>(i)]);
    for (const WString& v : values[static_cast<size_t>(i)]) {
      if (v.size() > kMaxText) {
        error = EFBIG;
        return false;
      }
      ++count;
    }
  }
  if (count > 0xFFFF) {
    error = kErrTooManyFrames;
    return false;
  }
  AppendLE16(out, static_cast<uint32_t>(count));
  // A known name kept in a form without text gives way to a new text value.
  for (const auto& r : m_Raw)
    if (r.known < 0 || m_Values[static_cast<size_t>(r.known)].empty()) out.AppendBuffer(r.bytes);
  for (int i = 0; i < kKnownCount; ++i) {
    const WString name = kNames[i];
    for (const WString& v : values[static_cast<size_t>(i)]) {
      AppendLE16(out, static_cast<uint32_t>(2 * name.size() + 2));
      AppendUtf16z(out, name);
      AppendLE16(out, 0);
      AppendLE16(out, static_cast<uint32_t>(2 * v.size() + 2));
      AppendUtf16z(out, v);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// CWMA

struct CWMA::Walk {
  bool keepRaw = false;
};

void CWMA::ClearProperties() {
  m_bValid = false;
  m_bWalkComplete = false;
  m_nChannels = 0;
  m_nChannelByte = 0;
  m_nSampleRate = 0;
  m_nAudioSampleRate = 0;
  m_nAverageBytes = 0;
  m_nMaxBitrate = 0;
  m_nBitrate = 0;
  m_fDuration = 0.0f;
  m_nHeaderSize = 0;
  m_nHeaderStart = 0;
  m_nHeaderEnd = 0;
  m_Objects.clear();
}

void CWMA::Clear() {
  ClearProperties();
  m_ContentDescription.Clear();
  m_ExtContentDescription.Clear();
  for (auto& f : m_Fields) f.clear();
  for (auto& f : m_FieldsRead) f.clear();
}

namespace {

// The output field an attribute name stands for (a known name or one of the
// names that repeat a description field), or -1.
int FieldOfName(const WString& name) {
  using E = CASFExtContentDescription;
  // Known names by index: title, author, album, track (from 0), year, genre,
  // description, track number; the others follow the output fields from 9.
  static const int kKnownField[8] = {0, 1, 5, 6, 7, 8, 3, 6};
  const int known = E::FindName(name);
  if (known >= 0) return known < 8 ? kKnownField[known] : known + 1;
  static const int kAliasField[E::kAliasCount] = {0, 1, 2, 3, 4, 7};
  const int alias = E::FindAlias(name);
  return alias >= 0 ? kAliasField[alias] : -1;
}

// Rebuilds the body of a Metadata or Metadata Library object without the
// records for which drop(name) holds. A body that does not parse whole is
// left as it is.
void DropRecords(CByteBuffer& body, const std::function<bool(const WString&, unsigned)>& drop) {
  const uint8_t* p = body.GetData();
  const size_t size = static_cast<size_t>(body.GetLength());
  if (size < 2) return;
  const unsigned count = LE16(p);
  CByteBuffer kept;
  unsigned left = 0;
  size_t off = 2;
  kept.AppendFill(0, 2);
  for (unsigned r = 0; r < count; ++r) {
    // Language list index or reserved (2), stream (2), name length (2),
    // data type (2), data length (4), name, data.
    if (size - off < 12) return;
    const size_t nameLength = LE16(p + off + 4);
    const size_t dataLength = LE32(p + off + 8);
    if (size - off - 12 < nameLength || size - off - 12 - nameLength < dataLength) return;
    const size_t whole = 12 + nameLength + dataLength;
    if (!drop(Utf16Le(p + off + 12, nameLength), LE16(p + off + 6))) {
      kept.AppendBytes(p + off, static_cast<int32_t>(whole));
      ++left;
    }
    off += whole;
  }
  if (off != size || left == count) return;
  bytes::PutLE16(kept.GetData(), left);
  body = kept;
}

}  // namespace

void CWMA::DropStaleCopies() {
  // A text record of a known name was read as values of its field, which
  // the extended description now holds: it goes too.
  auto changed = [this](const WString& name, unsigned type) {
    if (type == 0 && CASFExtContentDescription::FindName(name) >= 0) return true;
    const int field = FieldOfName(name);
    return field >= 0 && m_Fields[static_cast<size_t>(field)] != m_FieldsRead[static_cast<size_t>(field)];
  };
  for (RawObject& o : m_Objects) {
    if (!o.container) continue;
    for (RawObject& child : o.children)
      if (child.guid == kMetadata || child.guid == kMetadataLibrary) DropRecords(child.body, changed);
  }
}

WString CWMA::GetChannelMode() {
  switch (m_nChannelByte) {
    case 1: return u"Mono";
    case 2: return u"Stereo";
    default: return u"Unknown";
  }
}

WString CWMA::GetField(int index) const {
  if (index < 0 || index >= kFieldCount) return {};
  return m_Fields[static_cast<size_t>(index)];
}

void CWMA::SetField(int index, const WString& value) {
  if (index >= 0 && index < kFieldCount) m_Fields[static_cast<size_t>(index)] = value;
}

GenericStrings CWMA::GetGenericStrings() {
  GenericStrings g;
  g.title = m_Fields[0];
  g.artist = m_Fields[1];
  g.album = m_Fields[5];
  g.comment = m_Fields[3];
  g.genre = m_Fields[8];
  g.track = m_Fields[6];
  g.year = m_Fields[7];
  return g;
}

void CWMA::SetGenericStrings(const GenericStrings& g) {
  m_Fields[0] = g.title;
  m_Fields[1] = g.artist;
  m_Fields[5] = g.album;
  m_Fields[3] = g.comment;
  m_Fields[8] = g.genre;
  m_Fields[6] = g.track;
  m_Fields[7] = g.year;
}

void CWMA::ParseStreamProperties(const uint8_t* body, size_t size) {
  if (size < 54) return;
  const size_t typeLength = LE32(body + 40);
  if (!(GuidAt(body) == kAudioMedia) || typeLength < 12 || typeLength > size - 54) return;
  const uint8_t* wave = body + 54;
  m_nChannels = LE16(wave + 2);
  m_nAudioSampleRate = static_cast<int32_t>(LE32(wave + 4));
  m_nAverageBytes = static_cast<int32_t>(LE32(wave + 8));
}

void CWMA::ParseObject(Walk& walk, const uint8_t* p, uint64_t size, int depth, RawObject* raw) {
  const AsfGuid guid = GuidAt(p);
  const uint8_t* body = p + 24;
  const size_t bodySize = static_cast<size_t>(size - 24);
  if (raw) {
    raw->guid = guid;
    raw->size = size;
  }
  bool keepBody = true;
  if (guid == kFileProperties) {
    if (bodySize >= 80) {
      const double play = static_cast<double>(LE64(body + 40));
      const double preroll = static_cast<double>(LE64(body + 56));
      const double seconds = play * 0.0000001 - preroll * 0.001;
      m_fDuration = seconds > 0 ? static_cast<float>(seconds) : 0.0f;
      m_nMaxBitrate = static_cast<int32_t>(LE32(body + 76));
      m_nBitrate = m_nMaxBitrate / 1000;
    }
  } else if (guid == kStreamProperties) {
    ParseStreamProperties(body, bodySize);
  } else if (guid == kHeaderExtension && depth == 0 && ExtensionIsWellFormed(body, bodySize)) {
    // The children are walked (and kept one by one); the extension keeps its
    // preamble, and any bytes too few for another object stay as its tail.
    if (raw) {
      raw->container = true;
      raw->body.AppendBytes(body, 18);
    }
    size_t off = 22;
    while (bodySize - off >= 24) {
      const uint64_t child = LE64(body + off + 16);
      RawObject* kept = nullptr;
      if (raw) kept = &raw->children.emplace_back();
      ParseObject(walk, body + off, child, depth + 1, kept);
      off += static_cast<size_t>(child);
    }
    if (raw && off < bodySize) raw->tail.AppendBytes(body + off, static_cast<int32_t>(bodySize - off));
    keepBody = false;
  } else if (guid == kContentDescription) {
    if (!walk.keepRaw) m_ContentDescription.Read(body, bodySize);
  } else if (guid == kExtContentDescription) {
    if (!walk.keepRaw) m_ExtContentDescription.Read(body, bodySize);
  } else if (guid == kMetadata || guid == kMetadataLibrary) {
    if (!walk.keepRaw) m_ExtContentDescription.ReadRecords(body, bodySize);
  }
  if (raw && keepBody) raw->body.AppendBytes(body, static_cast<int32_t>(bodySize));
}

bool CWMA::ReadHeader(TagFile& file, bool keepRaw) {
  m_Objects.clear();
  m_bWalkComplete = false;
  m_nHeaderSize = 0;
  m_nHeaderStart = 0;
  m_nHeaderEnd = 0;
  const int64_t length = file.Length();
  if (length < 0) return false;
  const int64_t start = std::clamp<int64_t>(State().id3v2Size, 0, length);
  uint8_t head[30];
  if (!file.Seek(start) || !file.ReadExact(head, sizeof head)) return false;
  if (!(GuidAt(head) == kHeaderObject)) return false;
  m_bValid = true;
  m_nHeaderStart = start;
  m_HeaderReserved[0] = head[28];
  m_HeaderReserved[1] = head[29];

  const uint64_t declared = LE64(head + 16);
  const uint32_t count = LE32(head + 24);
  const uint64_t available = static_cast<uint64_t>(length - start);
  m_nHeaderSize = declared;
  bool complete = declared >= 30 && declared <= available && declared <= kMaxHeader;
  const uint64_t span = std::min({std::max<uint64_t>(declared, 30), available, kMaxHeader}) - 30;
  std::vector<uint8_t> children(static_cast<size_t>(span));
  const size_t got = children.empty() ? 0 : file.Read(children.data(), children.size());
  if (got != children.size()) {
    children.resize(got);
    complete = false;
  }

  Walk walk;
  walk.keepRaw = keepRaw;
  size_t off = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (children.size() - off < 24) {
      complete = false;
      break;
    }
    const uint64_t size = LE64(children.data() + off + 16);
    if (size < 24 || size > children.size() - off) {
      complete = false;  // an object running past the header ends the walk
      break;
    }
    RawObject* raw = keepRaw ? &m_Objects.emplace_back() : nullptr;
    ParseObject(walk, children.data() + off, size, 0, raw);
    off += static_cast<size_t>(size);
  }
  // The count and the size must agree for the header to be rebuilt safely.
  if (off != children.size()) complete = false;
  m_nHeaderEnd = start + 30 + static_cast<int64_t>(off);
  m_bWalkComplete = complete;
  return true;
}

void CWMA::FillFields() {
  const auto& cd = m_ContentDescription;
  const auto& v = m_ExtContentDescription.m_Values;
  const auto& a = m_ExtContentDescription.m_Aliases;
  using E = CASFExtContentDescription;
  m_Fields[0] = Longer(Longer(cd.m_strTitle, a[E::kAliasTitle]), v[0]);
  m_Fields[1] = Longer(Longer(cd.m_strAuthor, a[E::kAliasAuthor]), v[1]);
  m_Fields[2] = Longer(cd.m_strCopyright, a[E::kAliasCopyright]);
  m_Fields[3] = Longer(Longer(cd.m_strDescription, a[E::kAliasDescription]), v[6]);
  m_Fields[4] = Longer(cd.m_strRating, a[E::kAliasRating]);
  m_Fields[5] = v[2];
  // "WM/Track" counts from 0, "WM/TrackNumber" from 1.
  m_Fields[6] = v[3].size() > v[7].size() ? Decimal(LeadingNumber(v[3]) + 1) : v[7];
  m_Fields[7] = Longer(a[E::kAliasDate], v[4]);
  m_Fields[8] = v[5];
  for (int i = 9; i < kFieldCount; ++i) m_Fields[static_cast<size_t>(i)] = v[static_cast<size_t>(i - 1)];
}

void CWMA::ApplyFields() {
  auto& cd = m_ContentDescription;
  auto& v = m_ExtContentDescription.m_Values;
  // The content description holds one string per field: a field of
  // several values gives it its first (the attributes below hold them all).
  auto first = [](const WString& values) { return values.substr(0, values.find(u'\0')); };
  cd.SetTitle(first(m_Fields[0]));
  cd.SetAuthor(first(m_Fields[1]));
  cd.SetCopyright(m_Fields[2]);
  cd.SetDescription(first(m_Fields[3]));
  cd.SetRating(m_Fields[4]);
  v[0] = m_Fields[0];
  v[1] = m_Fields[1];
  v[6] = m_Fields[3];
  v[2] = m_Fields[5];
  v[7] = m_Fields[6];
  const int64_t track = LeadingNumber(m_Fields[6]) - 1;
  v[3] = track < 0 ? WString() : Decimal(track);
  v[4] = m_Fields[7];
  v[5] = m_Fields[8];
  for (int i = 9; i < kFieldCount; ++i) v[static_cast<size_t>(i - 1)] = m_Fields[static_cast<size_t>(i)];
}

bool CWMA::Read(TagFile& file) {
  Clear();
  if (!ReadHeader(file, false)) {
    Clear();
    return false;
  }
  m_Objects.clear();
  m_nChannelByte = static_cast<uint8_t>(m_nChannels & 0xFF);
  m_nSampleRate = m_nAudioSampleRate;
  if (m_nMaxBitrate > 0 && m_fDuration == 0.0f)
    m_fDuration = static_cast<float>(static_cast<double>(State().fileSize) * 8.0 / m_nMaxBitrate);
  // A header whose figures no real file has: the tags are read, the figures
  // are not reported and the format is not valid.
  if (!PlausibleFigures(m_nSampleRate, m_nChannels, 0, m_fDuration)) {
    m_bValid = false;
    m_nChannels = 0;
    m_nChannelByte = 0;
    m_nSampleRate = m_nAudioSampleRate = m_nAverageBytes = m_nMaxBitrate = m_nBitrate = 0;
    m_fDuration = 0.0f;
  }
  m_ExtContentDescription.TakeElsewhere();
  FillFields();
  m_FieldsRead = m_Fields;
  return true;
}

bool CWMA::BuildHeader(const CByteBuffer& cd, const CByteBuffer& ecd, uint32_t padding,
                       std::vector<uint8_t>& out) const {
  struct Seen {
    bool cd = false, ecd = false, padding = false;
  } seen;
  // Emits a list of objects; the first description and padding objects take
  // the new bodies, further ones are dropped (their room counts as padding).
  auto emit = [&](auto& self, const std::vector<RawObject>& list, std::vector<uint8_t>& dst) -> uint32_t {
    uint32_t count = 0;
    for (const RawObject& o : list) {
      if (o.guid == kContentDescription) {
        if (seen.cd) continue;
        seen.cd = true;
        PutHeader(dst, o.guid, 24u + static_cast<uint64_t>(cd.GetLength()));
        PutBytes(dst, cd);
      } else if (o.guid == kExtContentDescription) {
        if (seen.ecd) continue;
        seen.ecd = true;
        PutHeader(dst, o.guid, 24u + static_cast<uint64_t>(ecd.GetLength()));
        PutBytes(dst, ecd);
      } else if (o.guid == kPadding) {
        if (seen.padding) continue;
        seen.padding = true;
        PutHeader(dst, o.guid, 24u + padding);
        dst.insert(dst.end(), padding, 0);
      } else if (o.container) {
        std::vector<uint8_t> inner;
        self(self, o.children, inner);
        PutBytes(inner, o.tail);
        PutHeader(dst, o.guid, 24u + 18u + 4u + inner.size());
        PutBytes(dst, o.body);
        uint8_t d[4];
        bytes::PutLE32(d, static_cast<uint32_t>(inner.size()));
        dst.insert(dst.end(), d, d + 4);
        dst.insert(dst.end(), inner.begin(), inner.end());
      } else {
        PutHeader(dst, o.guid, 24u + static_cast<uint64_t>(o.body.GetLength()));
        PutBytes(dst, o.body);
      }
      ++count;
    }
    return count;
  };

  std::vector<uint8_t> children;
  uint32_t count = emit(emit, m_Objects, children);
  if (!seen.padding) {
    PutHeader(children, kPadding, 24u + padding);
    children.insert(children.end(), padding, 0);
    ++count;
  }
  if (!seen.cd) {
    PutHeader(children, kContentDescription, 24u + static_cast<uint64_t>(cd.GetLength()));
    PutBytes(children, cd);
    ++count;
  }
  if (!seen.ecd) {
    PutHeader(children, kExtContentDescription, 24u + static_cast<uint64_t>(ecd.GetLength()));
    PutBytes(children, ecd);
    ++count;
  }
  out.clear();
  PutHeader(out, kHeaderObject, 30u + children.size());
  uint8_t c[4];
  bytes::PutLE32(c, count);
  out.insert(out.end(), c, c + 4);
  out.push_back(m_HeaderReserved[0]);
  out.push_back(m_HeaderReserved[1]);
  out.insert(out.end(), children.begin(), children.end());
  return true;
}

bool CWMA::SaveChangesToFile(const WString& path) {
  TagFile file;
  if (!file.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), file, path);
    return false;
  }
  if (!ReadHeader(file, true)) {
    State().lastError = kErrTagNotAllowed;
    return false;
  }
  if (!m_bWalkComplete) {
    // Objects that cannot be walked whole cannot be carried over safely.
    State().lastError = EINVAL;
    return false;
  }
  ApplyFields();
  DropStaleCopies();
  CByteBuffer cd, ecd;
  if (!m_ContentDescription.Serialize(cd, State().lastError) || !m_ExtContentDescription.Serialize(ecd, State().lastError)) return false;

  const int64_t length = file.Length();
  const int64_t start = m_nHeaderStart;
  std::vector<uint8_t> header;
  BuildHeader(cd, ecd, 0, header);
  if (header.size() <= m_nHeaderSize) {
    // The new header fits the old one exactly once padding fills the rest:
    // the data does not move. The bytes that differ are written in place
    // when they lie in one page; otherwise the file is rewritten around the
    // header of the same size.
    BuildHeader(cd, ecd, static_cast<uint32_t>(m_nHeaderSize - header.size()), header);
    if (header.size() != m_nHeaderSize) {
      State().lastError = EINVAL;
      return false;
    }
    std::vector<uint8_t> old(header.size());
    if (!file.Seek(start) || !file.ReadExact(old.data(), old.size())) {
      State().lastError = file.Error() ? file.Error() : EIO;
      return false;
    }
    const ByteRange change = ChangedRange(old.data(), header.data(), header.size());
    if (change.length == 0) return true;
    if (FitsOnePage(start + change.offset, change.length)) {
      return WriteInPlace(State(), path, file, start + change.offset, header.data() + change.offset, change.length);
    }
  } else {
    BuildHeader(cd, ecd, kRewritePadding, header);
  }

  SafeRewrite rewrite(State());
  if (!rewrite.Begin(path, file)) return false;
  if (!rewrite.CopyFrom(file, 0, start)) return false;  // a tag in front stays
  if (!rewrite.Write(header.data(), header.size())) return false;
  if (!rewrite.CopyFrom(file, m_nHeaderEnd, length - m_nHeaderEnd)) return false;
  return rewrite.Commit();
}

}  // namespace sonavex
