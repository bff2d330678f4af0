#include "LyricsTag.h"

#include "Codepage.h"
#include "ID3V1Tag.h"
#include "Module.h"
#include "SafeWrite.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sonavex {

namespace {

constexpr int64_t kID3V1 = 128;
constexpr int64_t kMarkerAndID3V1 = 137;  // 9-byte end marker + ID3v1 tag
constexpr int64_t kV1Window = 5100;       // how far back a version 1 block is looked for
constexpr int32_t kBeginLength = 11;      // "LYRICSBEGIN"
constexpr int32_t kMaxFieldBytes = 99999; // what five decimal digits can count

bool IsBegin(const uint8_t* p) { return std::memcmp(p, "LYRICSBEGIN", kBeginLength) == 0; }

// Offset of the last "LYRICSBEGIN" in a version 1 window, or -1.
int64_t LastBegin(const uint8_t* data, int64_t n) {
  int64_t found = -1;
  for (int64_t i = 0; i + 12 <= n; ++i)
    if (IsBegin(data + i)) found = i;
  return found;
}

}  // namespace

const char* const CLyricsTag::kFieldIds[kFieldCount] = {"IND", "LYR", "INF", "AUT", "EAL",
                                                        "EAR", "ETT", "IMG", "GRE"};

void CLyricsTag::Clear() {
  m_nStartPosition = 0;
  m_nMarkerPosition = 0;
  for (auto& f : m_strFields) f.clear();
  m_Buffer.Empty();
  std::memset(m_ID3V1Copy, 0, sizeof m_ID3V1Copy);
  std::memset(m_Marker, 0, sizeof m_Marker);
  m_nVersion = 0;
  State().lyricsSize = 0;
}

WString CLyricsTag::GetVersion() const {
  if (m_nVersion == 0) return {};
  return FromUtf8(std::to_string(m_nVersion) + ".00");
}

bool CLyricsTag::DetectVersion(TagFile& file) {
  m_nVersion = 0;
  const int64_t length = file.Length();
  if (length < kMarkerAndID3V1) return false;
  m_nMarkerPosition = static_cast<int32_t>(length - kMarkerAndID3V1);
  if (!file.Seek(m_nMarkerPosition) || !file.ReadExact(m_Marker, sizeof m_Marker) ||
      !file.ReadExact(m_ID3V1Copy, sizeof m_ID3V1Copy))
    return false;
  if (std::memcmp(m_Marker, "LYRICS", 6) != 0) {
    State().lastError = kErrTagMissing;
    return false;
  }
  // A block counts only in front of an ID3v1 tag.
  if (!IsID3V1Tail(m_ID3V1Copy)) return false;
  if (std::memcmp(m_Marker, "LYRICSEND", 9) == 0)
    m_nVersion = 1;
  else if (std::memcmp(m_Marker, "LYRICS200", 9) == 0)
    m_nVersion = 2;
  return m_nVersion != 0;
}

bool CLyricsTag::Locate(TagFile& file, int64_t length, LyricsBlockPlace& place) {
  place = LyricsBlockPlace{};
  if (length < kMarkerAndID3V1) return false;
  const int64_t marker = length - kMarkerAndID3V1;
  uint8_t tail[9];
  if (!FileEndsWithID3V1(file, length) || !file.Seek(marker) || !file.ReadExact(tail, sizeof tail)) return false;
  int version = 0;
  if (std::memcmp(tail, "LYRICSEND", 9) == 0)
    version = 1;
  else if (std::memcmp(tail, "LYRICS200", 9) == 0)
    version = 2;
  else
    return false;
  place.marked = true;
  place.version = version;
  place.end = length - kID3V1;
  if (version == 2) {
    char digits[6];
    if (marker < 6 || !file.Seek(marker - 6) || !file.ReadExact(digits, sizeof digits)) return false;
    const int64_t size = ParseDecimal(digits, sizeof digits);
    if (size < kBeginLength || size + 6 > marker) return false;
    uint8_t begin[kBeginLength];
    const int64_t start = marker - 6 - size;
    if (!file.Seek(start) || !file.ReadExact(begin, sizeof begin) || !IsBegin(begin)) return false;
    place.start = start;
    return true;
  }
  const int64_t windowStart = std::max<int64_t>(0, marker - kV1Window);
  CByteBuffer window;
  if (!file.Seek(windowStart)) return false;
  window.ReadFromFile(static_cast<int32_t>(marker - windowStart), file);
  const int64_t at = LastBegin(window.GetData(), window.GetLength());
  if (at < 0) return false;
  place.start = windowStart + at;
  return true;
}

void CLyricsTag::ReadV1(TagFile& file) {
  const int64_t windowStart = std::max<int64_t>(0, int64_t{m_nMarkerPosition} - kV1Window);
  if (!file.Seek(windowStart)) return;
  m_Buffer.ReadFromFile(static_cast<int32_t>(m_nMarkerPosition - windowStart), file);
  const int64_t n = m_Buffer.GetLength();
  const int64_t at = LastBegin(m_Buffer.GetData(), n);
  if (at < 0) return;  // no start in the window: nothing is read
  const int32_t textLength = static_cast<int32_t>(n - kBeginLength - at);
  m_nStartPosition = static_cast<int32_t>(windowStart + at);
  State().lyricsSize = textLength;
  m_strFields[kLYR] = m_Buffer.MidA(static_cast<int32_t>(at) + kBeginLength, textLength);
}

void CLyricsTag::ReadV2(TagFile& file) {
  char digits[6];
  if (m_nMarkerPosition < 6 || !file.Seek(m_nMarkerPosition - 6) || !file.ReadExact(digits, sizeof digits)) return;
  const int64_t size = ParseDecimal(digits, sizeof digits);
  // The block must hold its "LYRICSBEGIN" and lie inside the file.
  if (size < kBeginLength || size + 6 > m_nMarkerPosition) return;
  const int64_t start = m_nMarkerPosition - 6 - size;
  if (!file.Seek(start)) return;
  m_Buffer.ReadFromFile(static_cast<int32_t>(size), file);
  const int32_t n = m_Buffer.GetLength();
  if (n < kBeginLength || !IsBegin(m_Buffer.GetData())) return;
  m_nStartPosition = static_cast<int32_t>(start);
  State().lyricsSize = static_cast<int32_t>(size);
  // Fields: 3-letter id, 5 decimal digits of size, the text.
  int64_t p = kBeginLength;
  while (p + 8 <= n) {
    const uint8_t* at = m_Buffer.GetData() + p;
    const int64_t fieldSize = ParseDecimal(reinterpret_cast<const char*>(at + 3), 5);
    if (fieldSize < 0) break;  // a size that does not move forward ends the walk
    for (int k = 0; k < kFieldCount; ++k) {
      if (std::memcmp(at, kFieldIds[k], 3) == 0) {
        m_strFields[k] = m_Buffer.MidA(static_cast<int32_t>(p + 8), static_cast<int32_t>(fieldSize));
        break;
      }
    }
    p += 8 + fieldSize;
  }
}

bool CLyricsTag::Read(TagFile& file) {
  Clear();
  if (!DetectVersion(file)) {
    Clear();
    return false;
  }
  if (m_nVersion == 2)
    ReadV2(file);
  else
    ReadV1(file);
  return State().lyricsSize > 0;
}

GenericStrings CLyricsTag::GetGenericStrings() {
  GenericStrings g;
  g.title = m_strFields[kETT];
  g.artist = m_strFields[kEAR];
  g.album = m_strFields[kEAL];
  g.genre = m_strFields[kGRE];
  return g;
}

void CLyricsTag::SetGenericStrings(const GenericStrings& g) {
  m_strFields[kETT] = g.title;
  m_strFields[kEAR] = g.artist;
  m_strFields[kEAL] = g.album;
  m_strFields[kGRE] = g.genre;
}

CByteBuffer CLyricsTag::BuildBlock(int32_t& sizeWithoutTrailer) const {
  CByteBuffer b;
  b.AppendSz("LYRICSBEGIN");
  for (int k = 0; k < kFieldCount; ++k) {
    if (m_strFields[k].empty()) continue;
    std::string text = WideToAnsi(m_strFields[k]);
    // Five digits count at most 99999 bytes: a longer text is cut so the
    // sizes always match the contents.
    if (text.size() > static_cast<size_t>(kMaxFieldBytes)) text.resize(kMaxFieldBytes);
    char head[16];
    std::snprintf(head, sizeof head, "%s%05d", kFieldIds[k], static_cast<int>(text.size()));
    b.AppendSz(head);
    b.AppendBytes(text.data(), static_cast<int32_t>(text.size()));
  }
  sizeWithoutTrailer = b.GetLength();
  char trailer[16];
  std::snprintf(trailer, sizeof trailer, "%06dLYRICS200", static_cast<int>(sizeWithoutTrailer));
  b.AppendSz(trailer);
  return b;
}

bool CLyricsTag::SaveChangesToFile(const WString& path) {
  TagFile f;
  if (!f.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), f, path);
    return false;
  }
  const int64_t length = f.Length();
  DetectVersion(f);
  uint8_t id3v1[kID3V1] = {};
  if (length < kID3V1 || !f.Seek(length - kID3V1) || !f.ReadExact(id3v1, sizeof id3v1) || !IsID3V1Tail(id3v1)) {
    State().lastError = kErrLyricsNeedsID3V1;
    return false;
  }
  std::memcpy(m_ID3V1Copy, id3v1, sizeof id3v1);
  // The new block replaces this file's own block, or goes in front of its
  // ID3v1 tag. A block whose start cannot be found is left in place.
  LyricsBlockPlace place;
  const int64_t replaceFrom = Locate(f, length, place) ? place.start : length - kID3V1;

  int32_t size = 0;
  const CByteBuffer block = BuildBlock(size);
  SafeRewrite out(State());
  if (!out.Begin(path, f) || !out.CopyFrom(f, 0, replaceFrom) ||
      !out.Write(block.GetData(), static_cast<size_t>(block.GetLength())) || !out.Write(id3v1, sizeof id3v1) ||
      !out.Commit())
    return false;
  State().lyricsSize = size;
  m_nVersion = 2;
  return true;
}

bool CLyricsTag::RemoveTagFromFile(const WString& path) {
  TagFile f;
  if (!f.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), f, path);
    return false;
  }
  const int64_t length = f.Length();
  LyricsBlockPlace place;
  if (!Locate(f, length, place)) {
    // No block, or one whose start cannot be found: the file is not cut.
    State().lastError = kErrTagMissing;
    return false;
  }
  uint8_t id3v1[kID3V1];
  if (!f.Seek(length - kID3V1) || !f.ReadExact(id3v1, sizeof id3v1)) {
    State().lastError = f.Error() ? f.Error() : EIO;
    return false;
  }
  SafeRewrite out(State());
  if (!out.Begin(path, f) || !out.CopyFrom(f, 0, place.start) || !out.Write(id3v1, sizeof id3v1) || !out.Commit())
    return false;
  Clear();
  return true;
}

}  // namespace sonavex
