#include "APETag.h"

#include "Bytes.h"
#include "LyricsTag.h"
#include "Module.h"
#include "SafeWrite.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace sonavex {

namespace {

constexpr int64_t kHeaderSize = 32;
constexpr uint32_t kHasHeader = 0x80000000u;
constexpr uint32_t kIsHeader = 0x20000000u;

// True when the footer's item count walks exactly from the first item to the
// footer.
bool ItemsFillTag(TagFile& file, const APETagPlace& place) {
  CByteBuffer items;
  const int64_t n = place.footer.tagSize - kHeaderSize;
  if (!file.Seek(place.itemsStart)) return false;
  items.ReadFromFile(static_cast<int32_t>(n), file);
  if (items.GetLength() != n) return false;
  const uint8_t* p = items.GetData();
  int64_t pos = 0;
  for (int32_t i = 0; i < place.footer.itemCount; ++i) {
    if (pos + 8 > n) return false;
    const int64_t valueSize = static_cast<int32_t>(bytes::LE32(p + pos));
    pos += 8;
    const void* zero = std::memchr(p + pos, 0, static_cast<size_t>(n - pos));
    if (!zero) return false;
    pos = static_cast<const uint8_t*>(zero) - p + 1;
    if (valueSize < 0 || valueSize > n - pos) return false;
    pos += valueSize;
  }
  return pos == n;
}

// Reads the footer that ends at `end` and checks that the tag it describes
// lies inside the file.
bool FooterAt(TagFile& file, int64_t end, APETagPlace& place) {
  if (end < kHeaderSize || !file.Seek(end - kHeaderSize)) return false;
  uint8_t raw[kHeaderSize];
  if (!file.ReadExact(raw, sizeof raw)) return false;
  APE_HEADER footer{};
  footer.Parse(raw);
  if (!footer.IsValid()) return false;
  if (footer.tagSize < kHeaderSize || footer.tagSize > end) return false;
  place.footer = footer;
  place.end = end;
  place.itemsStart = end - footer.tagSize;
  place.start = place.itemsStart;
  // The header counts only when it is really there.
  if ((footer.flags & kHasHeader) && place.itemsStart >= kHeaderSize && file.Seek(place.itemsStart - kHeaderSize)) {
    char preamble[8];
    if (file.ReadExact(preamble, sizeof preamble) && std::memcmp(preamble, "APETAGEX", 8) == 0) {
      place.start = place.itemsStart - kHeaderSize;
      place.confirmed = true;
    }
  }
  if (!place.confirmed) place.confirmed = ItemsFillTag(file, place);
  place.found = true;
  return true;
}

}  // namespace

const char* const CAPETag::kKeys[kKeyCount] = {"TITLE", "ARTIST", "ALBUM", "TRACK",
                                               "YEAR", "GENRE", "COMMENT", "COPYRIGHT"};

// ---- APE_HEADER -----------------------------------------------------------

void APE_HEADER::Clear() { *this = APE_HEADER{}; }

void APE_HEADER::Parse(const uint8_t* p) {
  std::memcpy(preamble, p, 8);
  version = static_cast<int32_t>(bytes::LE32(p + 8));
  tagSize = static_cast<int32_t>(bytes::LE32(p + 12));
  itemCount = static_cast<int32_t>(bytes::LE32(p + 16));
  flags = bytes::LE32(p + 20);
  std::memcpy(reserved, p + 24, 8);
}

void APE_HEADER::AppendTo(CByteBuffer& b) const {
  uint8_t raw[kHeaderSize] = {};
  std::memcpy(raw, "APETAGEX", 8);
  bytes::PutLE32(raw + 8, static_cast<uint32_t>(version));
  bytes::PutLE32(raw + 12, static_cast<uint32_t>(tagSize));
  bytes::PutLE32(raw + 16, static_cast<uint32_t>(itemCount));
  bytes::PutLE32(raw + 20, flags);
  std::memcpy(raw + 24, reserved, 8);
  b.AppendBytes(raw, sizeof raw);
}

// ---- CAPETag --------------------------------------------------------------

void CAPETag::Clear() {
  m_Header.Clear();
  for (auto& v : m_strValues) v.clear();
  for (auto& v : m_strRead) v.clear();
  for (auto& v : m_knownItems) v.clear();
  m_otherItems.clear();
  m_nVersion = 0;
  m_ID3V1.Clear();
  m_Buffer.Empty();
}

WString CAPETag::GetVersion() const {
  if (m_nVersion == 0) return {};
  return FromUtf8(std::to_string(m_nVersion));
}

bool CAPETag::Locate(TagFile& file, int64_t length, APETagPlace& place) {
  place = APETagPlace{};
  if (length < 0) return false;
  const int64_t id3v1 = FileEndsWithID3V1(file, length) ? 128 : 0;
  if (FooterAt(file, length - id3v1, place)) return true;
  place = APETagPlace{};
  LyricsBlockPlace lyrics;
  if (CLyricsTag::Locate(file, length, lyrics) && FooterAt(file, lyrics.start, place)) return true;
  place = APETagPlace{};
  return false;
}

bool CAPETag::Read(TagFile& file) {
  Clear();
  m_ID3V1.Read(file);
  APETagPlace place;
  if (!Locate(file, file.Length(), place)) {
    Clear();
    return false;
  }
  m_Header = place.footer;
  m_nVersion = place.footer.version;
  State().apeSize = place.footer.tagSize;
  // All items lie between the first item and the footer.
  CByteBuffer items;
  if (file.Seek(place.itemsStart)) items.ReadFromFile(static_cast<int32_t>(place.footer.tagSize - kHeaderSize), file);
  ReadItems(items.GetData(), items.GetLength(), place.footer.itemCount);
  m_Buffer.Empty();
  return true;
}

void CAPETag::ReadItems(const uint8_t* p, int64_t n, int32_t count) {
  int64_t pos = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (pos + 8 > n) break;
    const int64_t itemStart = pos;
    const int64_t valueSize = static_cast<int32_t>(bytes::LE32(p + pos));
    const uint32_t flags = bytes::LE32(p + pos + 4);
    pos += 8;
    const void* zero = std::memchr(p + pos, 0, static_cast<size_t>(n - pos));
    if (!zero) break;  // a key without its end
    const auto keyEnd = static_cast<int64_t>(static_cast<const uint8_t*>(zero) - p);
    const std::string key(reinterpret_cast<const char*>(p + pos), static_cast<size_t>(keyEnd - pos));
    pos = keyEnd + 1;
    if (valueSize < 0 || valueSize > n - pos) break;  // a value past the tag
    bool taken = false;
    if (flags == 0 || flags == 1) {  // text items
      m_Buffer.Empty();
      m_Buffer.AppendBytes(p + pos, static_cast<int32_t>(valueSize));
      taken = SetItem(key);
    }
    // Every item is kept as it is, from its size field to its last byte: a
    // known one to be written back while its value stays, any other always.
    const std::string whole(reinterpret_cast<const char*>(p + itemStart), static_cast<size_t>(pos + valueSize - itemStart));
    if (!taken)
      m_otherItems.push_back(whole);
    else if (m_nVersion > 1000)  // the values of older tags are not UTF-8: they are written anew
      m_knownItems[KeyIndex(key)].push_back(whole);
    pos += valueSize;
  }
}

int CAPETag::KeyIndex(const std::string& key) {
  std::string upper = key;
  for (auto& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  for (int k = 0; k < kKeyCount; ++k)
    if (upper == kKeys[k]) return k;
  return -1;
}

bool CAPETag::SetItem(const std::string& key) {
  const int k = KeyIndex(key);
  if (k < 0) return false;
  // A version 2000 item may be a list (values with a zero byte between
  // them): it reads as all its values.
  const WString text = m_nVersion <= 1000 ? m_Buffer.GetStringA()
                                           : DecodeTextList(m_Buffer.GetData(), static_cast<size_t>(m_Buffer.GetLength()), 3);
  m_strValues[k] = m_strRead[k] = TrimRightSpace(text);
  return true;
}

bool CAPETag::Unchanged(int k) const { return !m_knownItems[k].empty() && m_strValues[k] == m_strRead[k]; }

bool CAPETag::KeepsItem(const std::string& item) const {
  // Size (4), flags (4), then the key up to its zero byte.
  const size_t zero = item.find('\0', 8);
  const int k = KeyIndex(item.substr(8, zero == std::string::npos ? std::string::npos : zero - 8));
  return k < 0 || m_strValues[k].empty() || m_strValues[k] == m_strRead[k];
}

GenericStrings CAPETag::GetGenericStrings() {
  GenericStrings g;
  g.title = m_strValues[kTITLE];
  g.artist = m_strValues[kARTIST];
  g.album = m_strValues[kALBUM];
  g.comment = m_strValues[kCOMMENT];
  g.genre = m_strValues[kGENRE];
  g.track = m_strValues[kTRACK];
  g.year = m_strValues[kYEAR];
  return g;
}

void CAPETag::SetGenericStrings(const GenericStrings& g) {
  m_strValues[kTITLE] = g.title;
  m_strValues[kARTIST] = g.artist;
  m_strValues[kALBUM] = g.album;
  m_strValues[kCOMMENT] = g.comment;
  m_strValues[kGENRE] = g.genre;
  m_strValues[kTRACK] = g.track;
  m_strValues[kYEAR] = g.year;
}

void CAPETag::ComputeSize() {
  m_Header.Clear();
  m_Header.version = 2000;
  m_Header.tagSize = static_cast<int32_t>(kHeaderSize);
  m_Header.itemCount = 0;
  for (int k = 0; k < kKeyCount; ++k) {
    if (Unchanged(k)) {
      for (const auto& item : m_knownItems[k]) {
        m_Header.tagSize += static_cast<int32_t>(item.size());
        ++m_Header.itemCount;
      }
      continue;
    }
    const std::string value = ToUtf8(NormalValues(m_strValues[k]));
    if (value.empty()) continue;
    m_Header.tagSize += static_cast<int32_t>(value.size() + std::strlen(kKeys[k]) + 9);
    ++m_Header.itemCount;
  }
  for (const auto& item : m_otherItems) {
    if (!KeepsItem(item)) continue;
    m_Header.tagSize += static_cast<int32_t>(item.size());
    ++m_Header.itemCount;
  }
}

CByteBuffer CAPETag::BuildTag() {
  CByteBuffer b;
  ComputeSize();
  m_Header.flags = kHasHeader | kIsHeader;
  m_Header.AppendTo(b);
  for (int k = 0; k < kKeyCount; ++k) {
    if (Unchanged(k)) {
      for (const auto& item : m_knownItems[k]) b.AppendBytes(item.data(), static_cast<int32_t>(item.size()));
      continue;
    }
    // Several values (U+0000 between them) are the item's list: UTF-8
    // strings with a zero byte between them.
    const std::string value = ToUtf8(NormalValues(m_strValues[k]));
    if (value.empty()) continue;
    uint8_t head[8];
    bytes::PutLE32(head, static_cast<uint32_t>(value.size()));
    bytes::PutLE32(head + 4, 0);  // flags 0: UTF-8 text
    b.AppendBytes(head, sizeof head);
    b.AppendSz(kKeys[k]);
    b.AppendZero();
    b.AppendBytes(value.data(), static_cast<int32_t>(value.size()));
  }
  for (const auto& item : m_otherItems)
    if (KeepsItem(item)) b.AppendBytes(item.data(), static_cast<int32_t>(item.size()));
  m_Header.flags = kHasHeader;
  m_Header.AppendTo(b);
  return b;
}

bool CAPETag::SaveToFile(const WString& path) {
  State().lastError = 0;
  TagFile f;
  if (!f.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), f, path);
    return false;
  }
  const int64_t length = f.Length();
  if (length < 0) {
    State().lastError = f.Error() ? f.Error() : EIO;
    return false;
  }
  // The new tag takes the old one's place; without one it goes in front of
  // the Lyrics3 block, else in front of the ID3v1 tag, else at the end.
  APETagPlace place;
  int64_t replaceFrom = 0;
  int64_t keepFrom = 0;
  if (Locate(f, length, place) && place.confirmed) {
    replaceFrom = place.start;
    keepFrom = place.end;
  } else if (place.found) {
    // A tag whose extent is not confirmed is left as it is; the new tag
    // goes right behind it, where it is read first.
    State().lastError = kErrTagMissing;
    replaceFrom = keepFrom = place.end;
  } else {
    State().lastError = kErrTagMissing;
    LyricsBlockPlace lyrics;
    if (CLyricsTag::Locate(f, length, lyrics))
      replaceFrom = lyrics.start;
    else
      replaceFrom = length - (FileEndsWithID3V1(f, length) ? 128 : 0);
    keepFrom = replaceFrom;
  }
  const CByteBuffer tag = BuildTag();
  SafeRewrite out(State());
  if (!out.Begin(path, f) || !out.CopyFrom(f, 0, replaceFrom) ||
      !out.Write(tag.GetData(), static_cast<size_t>(tag.GetLength())) || !out.CopyFrom(f, keepFrom, length - keepFrom))
    return false;
  // The tag must be found where it was written: a new file that a reader
  // would take apart another way (its end read as an ID3v1 tag, say) is
  // not saved.
  TagFile written;
  if (!out.ReadBack(written)) return false;
  APETagPlace check;
  const int64_t tagEnd = replaceFrom + tag.GetLength();
  if (!Locate(written, written.Length(), check) || !check.confirmed || check.start != replaceFrom ||
      check.end != tagEnd) {
    out.Abort();
    State().lastError = EINVAL;
    return false;
  }
  written.Close();
  return out.Commit();
}

bool CAPETag::RemoveFromFile(const WString& path) {
  TagFile f;
  if (!f.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), f, path);
    return false;
  }
  const int64_t length = f.Length();
  APETagPlace place;
  if (!Locate(f, length, place) || !place.confirmed) {
    // No tag, or one whose extent cannot be trusted: nothing is cut.
    State().lastError = kErrTagMissing;
    return false;
  }
  SafeRewrite out(State());
  return out.Begin(path, f) && out.CopyFrom(f, 0, place.start) && out.CopyFrom(f, place.end, length - place.end) &&
         out.Commit();
}

}  // namespace sonavex
