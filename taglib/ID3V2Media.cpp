// CID3V2Tag: synchronised lyrics (timed texts shown as "[%08d]text" lines
// joined by CR LF) and attached pictures.
#include "Bytes.h"
#include "Codepage.h"
#include "ID3V2Tag.h"
#include "Module.h"
#include "SafeWrite.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace sonavex {

namespace {

// One text field of unit-sized characters up to its all-zero unit. False
// when the payload ends before the terminator.
bool NextTerminated(const uint8_t* p, int32_t length, int32_t& pos, int unit, int32_t& start, int32_t& end) {
  start = pos;
  while (pos + unit <= length) {
    const bool zero = p[pos] == 0 && (unit == 1 || p[pos + 1] == 0);
    if (zero) {
      end = pos;
      pos += unit;
      return true;
    }
    pos += unit;
  }
  pos = length;
  return false;
}

// UTF-16 units up to the first zero unit; a leading byte-order mark (some
// writers put one before every text) selects the byte order and is dropped.
WString DecodeUtf16Text(const uint8_t* p, int32_t n, bool bigEndian) {
  int32_t i = 0;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    bigEndian = false;
    i = 2;
  } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    bigEndian = true;
    i = 2;
  }
  WString out;
  for (; i + 1 < n; i += 2) {
    const char16_t c = bigEndian ? static_cast<char16_t>((p[i] << 8) | p[i + 1]) : static_cast<char16_t>(p[i] | (p[i + 1] << 8));
    if (c == 0) break;
    out += c;
  }
  return out;
}

WString DecodeSyncText(const uint8_t* p, int32_t n, uint8_t encoding) {
  if (encoding == 1) return DecodeUtf16Text(p, n, false);
  if (encoding == 2) return DecodeUtf16Text(p, n, true);
  return DecodeText(p, static_cast<size_t>(std::max(n, 0)), encoding);
}

WString FormatLine(int32_t time, const WString& text) {
  char stamp[24];
  std::snprintf(stamp, sizeof stamp, "[%08d]", time);
  return FromUtf8(stamp) + text;
}

// One "[00001234]text" line into the payload being built: the text in UTF-16
// little-endian with its byte-order mark, its terminator and the time in 4
// bytes. The brackets are not examined; a line without a character of text
// fails.
bool AddSyncLyricLine(const WString& line, CByteBuffer& payload) {
  if (line.size() <= 10) return false;
  // The time as the C runtime reads a number: white space, a sign, digits.
  size_t i = 1;
  while (i < 9 && (line[i] == u' ' || (line[i] >= u'\t' && line[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < 9 && (line[i] == u'+' || line[i] == u'-')) negative = line[i++] == u'-';
  int32_t value = 0;
  for (; i < 9 && line[i] >= u'0' && line[i] <= u'9'; ++i) value = value * 10 + (line[i] - u'0');
  if (negative) value = -value;
  payload.AppendByte(0xFF);
  payload.AppendByte(0xFE);
  payload.AppendWide(line.substr(10));
  payload.AppendFill(0, 2);
  uint8_t stamp[4];
  bytes::PutBE32(stamp, static_cast<uint32_t>(value));
  payload.AppendBytes(stamp, 4);
  return true;
}

WString AnsiField(const uint8_t* p, int32_t n) {
  const char* s = reinterpret_cast<const char*>(p);
  const void* zero = std::memchr(s, 0, static_cast<size_t>(n));
  return AnsiToWide(std::string_view(s, zero ? static_cast<size_t>(static_cast<const char*>(zero) - s) : static_cast<size_t>(n)));
}

// The MIME text of a picture file by its first bytes.
const char* MimeOf(const uint8_t* head, size_t n) {
  if (n >= 2 && head[0] == 0xFF && head[1] == 0xD8) return "image/jpeg";
  if (n >= 3 && head[0] == 0x47 && head[1] == 0x49 && head[2] == 0x46) return "image/gif";
  if (n >= 4 && head[0] == 0x89 && head[1] == 0x50 && head[2] == 0x4E && head[3] == 0x47) return "image/png";
  if (n >= 2 && head[0] == 0x42 && head[1] == 0x4D) return "image/bmp";
  return "XXX";
}

// Version-2 pictures name their image format with three letters.
struct ImageFormat {
  const char* letters;
  const char* mime;
};
constexpr ImageFormat kImageFormats[] = {
    {"JPG", "image/jpeg"}, {"GIF", "image/gif"}, {"PNG", "image/png"}, {"BMP", "image/bmp"}};

const char* LettersOf(const char* mime) {
  for (const auto& f : kImageFormats)
    if (std::strcmp(f.mime, mime) == 0) return f.letters;
  return "XXX";
}

}  // namespace

// ---- synchronised lyrics -----------------------------------------------------

WString CID3V2Tag::GetSyncLyric(int n) {
  const int slot = FindItemForRead(n, SyncLyricsId());
  if (slot < 0) return {};
  const CByteBuffer& payload = Body(slot);
  const uint8_t* p = payload.GetData();
  const int32_t length = payload.GetLength();
  if (length < 7) return {};
  const uint8_t encoding = p[0];
  const int unit = (encoding == 1 || encoding == 2) ? 2 : 1;
  int32_t pos = 6, start = 0, end = 0;
  if (!NextTerminated(p, length, pos, unit, start, end)) return {};  // the description
  WString lines;
  bool first = true;
  while (pos < length) {
    // A last text without terminator or without its time stamp is dropped.
    if (!NextTerminated(p, length, pos, unit, start, end) || pos + 4 > length) break;
    const int32_t time = static_cast<int32_t>(bytes::BE32(p + pos));
    pos += 4;
    if (!first) lines += u"\r\n";
    first = false;
    lines += FormatLine(time, DecodeSyncText(p + start, end - start, encoding));
  }
  return lines;
}

WString CID3V2Tag::GetSyncLyricLanguage(int n) {
  const int slot = FindItemForRead(n, SyncLyricsId());
  if (slot < 0) return {};
  const CByteBuffer& payload = Body(slot);
  if (payload.GetLength() < 4) return {};
  WString lang;
  for (int i = 1; i < 4; ++i) lang += static_cast<char16_t>(payload.GetAt(i));
  return lang;
}

WString CID3V2Tag::GetSyncLyricDescription(int n) {
  const int slot = FindItemForRead(n, SyncLyricsId());
  if (slot < 0) return {};
  const CByteBuffer& payload = Body(slot);
  const int32_t length = payload.GetLength();
  if (length < 7) return {};
  const uint8_t encoding = payload.GetAt(0);
  const int unit = (encoding == 1 || encoding == 2) ? 2 : 1;
  int32_t pos = 6, start = 0, end = 0;
  const bool terminated = NextTerminated(payload.GetData(), length, pos, unit, start, end);
  return DecodeText(payload.GetData() + start, static_cast<size_t>((terminated ? end : length) - start), encoding);
}

int CID3V2Tag::GetSyncLyricTimeFormat(int n) {
  const int slot = FindItemForRead(n, SyncLyricsId());
  if (slot < 0) return -1;
  const CByteBuffer& payload = Body(slot);
  return payload.GetLength() < 5 ? -1 : payload.GetAt(4);
}

int CID3V2Tag::GetSyncLyricContentType(int n) {
  const int slot = FindItemForRead(n, SyncLyricsId());
  if (slot < 0) return -1;
  const CByteBuffer& payload = Body(slot);
  return payload.GetLength() < 6 ? -1 : payload.GetAt(5);
}

bool CID3V2Tag::SetSyncLyric(int n, const WString& language, const WString& description, const WString& text,
                             int contentType, int timeStampFormat) {
  if (n < 1) {
    State().lastError = kErrIdOutOfRange;
    return false;
  }
  const int32_t id = SyncLyricsId();
  int slot = FindFrame(id, n - 1);
  if (text.empty() && slot >= 0) {
    FreeSlot(slot);
    return true;
  }
  const std::string lang = WideToAnsi(language);
  if (language.size() != 3 || lang.size() != 3) {
    State().lastError = kErrLanguageLength;
    return false;
  }
  CByteBuffer payload;
  payload.AppendByte(1);
  payload.AppendBytes(lang.data(), 3);
  // The time stamp format comes before the content type in the frame.
  payload.AppendByte(static_cast<uint8_t>(timeStampFormat));
  payload.AppendByte(static_cast<uint8_t>(contentType));
  payload.AppendByte(0xFF);  // a byte-order mark on every UTF-16 string, an empty one too
  payload.AppendByte(0xFE);
  payload.AppendWide(description);
  payload.AppendFill(0, 2);

  // Lines end at CR LF; a lone CR or LF belongs to the line. The whole text is
  // parsed before the table changes, so a text that fails leaves it as it was.
  WString line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      if (!AddSyncLyricLine(line, payload)) {
        State().lastError = kErrSyncLyricsParse;
        return false;
      }
      line.clear();
      ++i;
    } else {
      line += text[i];
    }
  }
  if (!line.empty() && !AddSyncLyricLine(line, payload)) {
    State().lastError = kErrSyncLyricsParse;
    return false;
  }
  if (slot < 0) slot = AllocFrame();
  if (slot < 0) return false;
  SetPayload(slot, id, payload);
  return true;
}

int CID3V2Tag::GetSyncLyricCount() { return CountFrames(SyncLyricsId()); }
void CID3V2Tag::DeleteSyncLyrics() { DeleteFrames(SyncLyricsId()); }

// ---- pictures ------------------------------------------------------------------

bool CID3V2Tag::ParsePicture(const CByteBuffer& payload, Picture& out) const {
  out = Picture{};
  const uint8_t* p = payload.GetData();
  const int32_t length = payload.GetLength();
  if (length < 1) return false;
  out.encoding = p[0];
  int32_t pos = 1;
  if (m_version == 2) {
    // Version 2: a three-letter image format in place of the MIME type.
    const int32_t n = std::min<int32_t>(3, length - 1);
    std::string letters(reinterpret_cast<const char*>(p + 1), static_cast<size_t>(n));
    std::string mime = letters;
    for (const auto& f : kImageFormats)
      if (UpperAscii(FromUtf8(letters)) == FromUtf8(f.letters)) mime = f.mime;
    out.mime = AnsiToWide(mime);
    pos = 1 + n;
  } else {
    const void* zero = std::memchr(p + 1, 0, static_cast<size_t>(length - 1));
    const int32_t end = zero ? static_cast<int32_t>(static_cast<const uint8_t*>(zero) - p) : length;
    out.mime = AnsiToWide(std::string_view(reinterpret_cast<const char*>(p + 1), static_cast<size_t>(end - 1)));
    pos = std::min(end + 1, length);
  }
  if (pos < length) out.type = p[pos];
  pos = std::min(pos + 1, length);
  const int unit = (out.encoding == 1 || out.encoding == 2) ? 2 : 1;
  int32_t start = 0, end = 0;
  const bool terminated = NextTerminated(p, length, pos, unit, start, end);
  out.description = DecodeText(p + start, static_cast<size_t>((terminated ? end : length) - start), out.encoding);
  out.dataOffset = pos;
  out.dataLength = length - pos;
  if (out.mime == u"-->") out.mime += AnsiField(p + pos, length - pos);
  return true;
}

int CID3V2Tag::GetPictureType(int n) {
  const int slot = FindItemForRead(n, PictureId());
  Picture pic;
  if (slot < 0 || !ParsePicture(Body(slot), pic)) return 0;
  return pic.type;
}

WString CID3V2Tag::GetPictureDescription(int n) {
  const int slot = FindItemForRead(n, PictureId());
  Picture pic;
  if (slot < 0 || !ParsePicture(Body(slot), pic)) return {};
  return pic.description;
}

WString CID3V2Tag::GetPictureMime(int n) {
  const int slot = FindItemForRead(n, PictureId());
  Picture pic;
  if (slot < 0 || !ParsePicture(Body(slot), pic)) return {};
  return pic.mime;
}

bool CID3V2Tag::GetPicture(int n, const WString& path) {
  const int slot = FindItemForRead(n, PictureId());
  Picture pic;
  if (slot < 0) return false;
  const CByteBuffer& payload = Body(slot);
  if (!ParsePicture(payload, pic)) return false;
  SafeRewrite out(State());
  if (pic.mime.compare(0, 3, u"-->") == 0) {
    TagFile linked;
    if (!linked.Open(pic.mime.substr(3), TagFile::Mode::Read)) {
      State().lastError = linked.Error();
      return false;
    }
    const int64_t length = linked.Length();
    if (length < 0) {
      State().lastError = linked.Error();
      return false;
    }
    return out.Begin(path) && out.CopyFrom(linked, 0, length) && out.Commit();
  }
  return out.Begin(path) && out.Write(payload.GetData() + pic.dataOffset, static_cast<size_t>(pic.dataLength)) &&
         out.Commit();
}

bool CID3V2Tag::SetPicture(const WString& path, const WString& description, int n, int pictureType, bool asLink) {
  if (n < 1) {
    State().lastError = kErrIdOutOfRange;
    return false;
  }
  const int32_t id = PictureId();
  int slot = FindFrame(id, n - 1);
  if (path.empty()) {
    if (slot >= 0) FreeSlot(slot);
    return false;
  }
  const bool v2 = m_version == 2;
  // The description in single bytes where Latin-1 holds it (where the code
  // page and Latin-1, which other readers take, agree), else in UTF-16.
  const bool latin1 = std::all_of(description.begin(), description.end(),
                                  [](char16_t c) { return c < 0x80 || (c >= 0xA0 && c <= 0xFF); });
  auto appendDescription = [&](CByteBuffer& p) {
    if (latin1) {
      p.AddStringA(description);
      p.AppendZero();
    } else {
      p.AppendByte(0xFF);
      p.AppendByte(0xFE);
      p.AppendWide(description);
      p.AppendFill(0, 2);
    }
  };
  CByteBuffer payload;
  payload.AppendByte(latin1 ? 0 : 1);
  if (asLink) {
    payload.AppendBytes("-->", v2 ? 3 : 4);
    payload.AppendByte(static_cast<uint8_t>(pictureType));
    appendDescription(payload);
    payload.AddStringA(path);
    payload.AppendZero();
  } else {
    // The new picture is read completely before the old one is replaced.
    TagFile file;
    if (!file.Open(path, TagFile::Mode::Read)) {
      OpenFailed(State(), file, path);
      return false;
    }
    const int64_t length = file.Length();
    if (length < 0) {
      State().lastError = file.Error();
      return false;
    }
    const int64_t limit = (v2 ? 0xFFFFFF : 0x0FFFFFFF) - kPaddedSize;
    if (length > limit) {
      State().lastError = EFBIG;
      return false;
    }
    uint8_t head[4] = {};
    const size_t got = file.Read(head, sizeof head);
    const char* mime = MimeOf(head, got);
    if (v2) {
      payload.AppendBytes(LettersOf(mime), 3);
    } else {
      payload.AppendSz(mime);
      payload.AppendZero();
    }
    payload.AppendByte(static_cast<uint8_t>(pictureType));
    appendDescription(payload);
    const int32_t before = payload.GetLength();
    if (!file.Seek(0)) {
      State().lastError = file.Error();
      return false;
    }
    payload.AppendFromFile(static_cast<int32_t>(length), file);
    if (payload.GetLength() - before != length) {
      State().lastError = file.Error() ? file.Error() : EIO;
      return false;
    }
  }
  if (slot < 0) slot = AllocFrame();
  if (slot < 0) return false;
  SetPayload(slot, id, payload);
  return true;
}

bool CID3V2Tag::DeletePicture(int n) {
  const int slot = FindItemForRead(n, PictureId());
  if (slot < 0) return false;
  FreeSlot(slot);
  return true;
}

int CID3V2Tag::GetPictureCount() { return CountFrames(PictureId()); }
void CID3V2Tag::DeletePictures() { DeleteFrames(PictureId()); }

}  // namespace sonavex
