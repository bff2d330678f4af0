// CID3V2Tag: reading the tag into the frame table, writing it back, removing
// it, and the text and URL frames.
#include "ID3V2Tag.h"

#include "Analysis.h"
#include "Bytes.h"
#include "Codepage.h"
#include "ID3V1Tag.h"
#include "Module.h"
#include "SafeWrite.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace sonavex {

namespace {

// Tag header flags.
constexpr uint8_t kFlagUnsync = 0x80;
constexpr uint8_t kFlagExtended = 0x40;  // compression in version 2
constexpr uint8_t kFlagFooter = 0x10;

// Frame format flags of version 3 (low byte of ID3V2_FRAME::flags).
constexpr uint16_t kV3Compressed = 0x0080;
// Frame format flags of version 4.
constexpr uint16_t kV4Compressed = 0x0008;
constexpr uint16_t kV4Encrypted = 0x0004;
constexpr uint16_t kV4Unsync = 0x0002;
constexpr uint16_t kV4DataLength = 0x0001;

// Largest body each version's size field can hold.
constexpr int64_t kMaxBodyV2 = 0xFFFFFF;
constexpr int64_t kMaxBodyV3 = INT32_MAX;
constexpr int64_t kMaxSyncsafe = 0x0FFFFFFF;

struct TagHeader {
  uint8_t version = 0;
  uint8_t revision = 0;
  uint8_t flags = 0;
  int64_t framesEnd = 0;  // header + frames + padding, without a footer
  int64_t size = 0;       // the whole tag, footer included
};

// A valid header begins with "ID3" and has four 7-bit size bytes; a size
// byte with its top bit set is no valid tag.
bool ParseHeader(const uint8_t* h, TagHeader& out) {
  if (h[0] != 'I' || h[1] != 'D' || h[2] != '3') return false;
  if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return false;
  out.version = h[3];
  out.revision = h[4];
  out.flags = h[5];
  out.framesEnd = 10 + static_cast<int64_t>(bytes::Syncsafe32(h + 6));
  out.size = out.framesEnd + ((h[5] & kFlagFooter) ? 10 : 0);
  return true;
}

// Undoes the unsynchronisation scheme: every FF 00 becomes FF.
std::vector<uint8_t> Resync(const uint8_t* p, size_t n) {
  std::vector<uint8_t> out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(p[i]);
    if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0x00) ++i;
  }
  return out;
}

}  // namespace

// The bytes of a tag's frames (behind its header): in memory, or read from
// the file as the walk needs them (position 0 is the file's offset base).
struct CID3V2Tag::FrameBytes {
  const uint8_t* memory = nullptr;
  TagFile* file = nullptr;
  int64_t base = 10;
  int64_t length = 0;
  bool Copy(int64_t pos, void* dst, size_t n) const {
    if (pos < 0 || pos > length || static_cast<int64_t>(n) > length - pos) return false;
    if (memory) {
      std::memcpy(dst, memory + pos, n);
      return true;
    }
    return file->Seek(base + pos) && file->ReadExact(dst, n);
  }
};

namespace {

// Whether a frame walk may stop or go on at pos: the end of the frames,
// padding, or a frame header with an id of capitals and digits.
bool IsFrameBoundary(const CID3V2Tag::FrameBytes& tag, int64_t pos) {
  if (pos == tag.length) return true;
  if (pos > tag.length) return false;
  uint8_t h[4];
  if (!tag.Copy(pos, h, 1)) return false;
  if (h[0] == 0) return true;
  if (pos + 10 > tag.length || !tag.Copy(pos, h, 4)) return false;
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = h[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

int32_t ClampToInt32(int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v); }

// The frame ids of the table's fields, by version.
template <size_t N4, size_t N2>
int32_t FieldId(uint8_t version, const char (&id34)[N4], const char (&id2)[N2]) {
  return version == 2 ? ID3V2FrameId(id2) : ID3V2FrameId(id34);
}
template <size_t N4>
int32_t FieldId(uint8_t version, const char (&id34)[N4], std::nullptr_t) {
  return version == 2 ? kNoFrameId : ID3V2FrameId(id34);
}

}  // namespace

// ---- reading ---------------------------------------------------------------

void CID3V2Tag::Clear() {
  for (int i = 0; i < m_used; ++i) FreeSlot(i);
  if (State().deferredOwner == this) {
    State().loadDeferred = nullptr;
    State().deferredOwner = nullptr;
  }
  m_used = 0;
  m_rewrite = false;
  m_version = 0;
  m_padding = 0;
  m_build.Empty();
  std::memset(m_oldHeader, 0, sizeof m_oldHeader);
  std::memset(m_newHeader, 0, sizeof m_newHeader);
  State().id3v2Size = 0;
}

void CID3V2Tag::FreeSlot(int slot) {
  ID3V2_FRAME& f = m_frames[static_cast<size_t>(slot)];
  f.id = 0;
  f.flags = 0;
  f.deferredAt = -1;
  f.deferredLength = 0;
  // The block is kept for the next analysis; only a very large one gives its
  // memory back.
  if (f.payload.GetCapacity() > kKeptBlock) {
    std::destroy_at(&f.payload);
    std::construct_at(&f.payload);
  } else {
    f.payload.Empty();
  }
}

void CID3V2Tag::ReadSize(TagFile& file) {
  State().id3v2Size = 0;
  uint8_t h[10];
  TagHeader hdr;
  if (!file.Seek(0) || file.Read(h, sizeof h) != sizeof h || !ParseHeader(h, hdr)) return;
  // A tag that claims more than the file ends where the file ends.
  State().id3v2Size = ClampToInt32(std::min<int64_t>(hdr.size, std::max<int64_t>(file.Length(), 0)));
}

bool CID3V2Tag::Read(TagFile& file) {
  Clear();
  uint8_t h[10];
  TagHeader hdr;
  if (!file.Seek(0) || file.Read(h, sizeof h) != sizeof h || !ParseHeader(h, hdr)) return false;
  std::memcpy(m_oldHeader, h, sizeof h);
  m_version = hdr.version;
  const int64_t length = std::max<int64_t>(file.Length(), 0);
  State().id3v2Size = ClampToInt32(std::min(hdr.size, length));

  if (m_version < 2 || m_version > 4) return true;  // the size counts, no frame is read
  if (m_version == 2 && (hdr.flags & kFlagExtended)) return true;  // compressed version-2 tag
  const int64_t end = std::min(hdr.framesEnd, length);
  if (end <= 10) return true;
  FrameBytes tag;
  tag.length = end - 10;
  std::vector<uint8_t> resynced;
  if (m_version != 4 && (hdr.flags & kFlagUnsync)) {
    // Versions 2 and 3 unsynchronise the whole tag: it is read whole and
    // the scheme undone before the frames can be found.
    const size_t want = static_cast<size_t>(tag.length);
    if (m_readCapacity < want) {
      m_readBuffer = std::make_unique_for_overwrite<uint8_t[]>(want);
      m_readCapacity = want;
    }
    const size_t got = file.Read(m_readBuffer.get(), want);
    resynced = Resync(m_readBuffer.get(), got);
    tag.memory = resynced.data();
    tag.length = static_cast<int64_t>(resynced.size());
  } else {
    // The frames are read from the file as the walk reaches them; a large
    // body (a cover picture) only when it is asked for.
    tag.file = &file;
    if (file.Identify(m_source)) m_sourcePath = file.Path();
  }
  ParseFrames(tag, hdr.flags);
  return true;
}

void CID3V2Tag::ParseFrames(const FrameBytes& tag, uint8_t headerFlags) {
  const int64_t length = tag.length;
  int64_t pos = 0;
  if (m_version != 2 && (headerFlags & kFlagExtended)) {
    // Skip the extended header: its size excludes itself in version 3 and
    // includes itself in version 4.
    uint8_t e[4];
    if (!tag.Copy(0, e, 4)) return;
    const int64_t ext = m_version == 3 ? 4 + int64_t(bytes::BE32(e)) : int64_t(bytes::Syncsafe32(e));
    if (ext < 4 || ext > length) return;
    pos = ext;
  }
  const int headerLength = m_version == 2 ? 6 : 10;
  uint8_t h[10];
  while (pos + headerLength <= length && tag.Copy(pos, h, static_cast<size_t>(headerLength))) {
    if (h[0] < 'A' || h[0] > 'Z') break;  // padding, or anything else, ends the walk
    int32_t id;
    int64_t size;
    uint16_t flags = 0;
    if (m_version == 2) {
      id = static_cast<int32_t>((uint32_t(h[0]) << 24) | (uint32_t(h[1]) << 16) | (uint32_t(h[2]) << 8) | 0x20u);
      size = bytes::BE24(h + 3);
    } else {
      id = static_cast<int32_t>(bytes::BE32(h));
      // Version 4 sizes are syncsafe; some writers put plain numbers there,
      // which shows as a size byte with its top bit set.
      const bool plain = m_version == 3 || ((h[4] | h[5] | h[6] | h[7]) & 0x80);
      size = plain ? int64_t(bytes::BE32(h + 4)) : int64_t(bytes::Syncsafe32(h + 4));
      if (!plain) {
        // The same mistake without a telling byte: keep the syncsafe size
        // unless only the plain one lands on a frame, padding or the end.
        const int64_t asPlain = bytes::BE32(h + 4);
        const int64_t start = pos + headerLength;
        if (asPlain != size && !IsFrameBoundary(tag, start + size) && IsFrameBoundary(tag, start + asPlain))
          size = asPlain;
      }
      flags = bytes::BE16(h + 8);
    }
    const int64_t bodyStart = pos + headerLength;
    // A body never reaches past the tag.
    size = std::min(size, length - bodyStart);
    if (m_version != 2 && (flags & kV3Compressed)) {
      // A compressed version-3 frame cannot be read: it is not stored.
    } else if (m_used < kMaxFrames) {
      const bool unsync = m_version == 4 && ((flags & kV4Unsync) || (headerFlags & kFlagUnsync));
      if (!StoreFrame(id, tag, bodyStart, static_cast<int32_t>(size), flags, unsync)) break;
    }
    pos = bodyStart + size;
  }
}

bool CID3V2Tag::StoreFrame(int32_t id, const FrameBytes& tag, int64_t at, int32_t size, uint16_t flags, bool unsync) {
  ID3V2_FRAME& f = m_frames[static_cast<size_t>(m_used)];
  f.id = id;
  f.payload.Empty();
  f.deferredAt = -1;
  f.deferredLength = 0;
  // The data length indicator of a plain version-4 frame only repeats the
  // body size.
  const bool lengthIndicator = m_version == 4 && (flags & kV4DataLength) && !(flags & (kV4Compressed | kV4Encrypted));
  if (tag.file && !unsync && size >= kDeferredBody && !m_sourcePath.empty()) {
    // A large body stays in the file until it is used.
    const int skip = lengthIndicator ? 4 : 0;
    f.flags = lengthIndicator ? static_cast<uint16_t>(flags & ~kV4DataLength) : flags;
    f.deferredAt = tag.base + at + skip;
    f.deferredLength = size - skip;
    ++m_used;
    // Any save of this control reads it first.
    State().loadDeferred = [](void* owner) { return static_cast<CID3V2Tag*>(owner)->LoadAll(); };
    State().deferredOwner = this;
    return true;
  }
  uint8_t* body = f.payload.Prepare(size);
  if (!body || !tag.Copy(at, body, static_cast<size_t>(size))) {
    f.payload.Empty();
    return false;  // the walk ends where the bytes do
  }
  ++m_used;
  if (m_version != 4) {
    f.flags = flags;
    return true;
  }
  if (unsync) {
    const std::vector<uint8_t> resynced = Resync(body, static_cast<size_t>(size));
    f.payload.Empty();
    f.payload.AppendBytes(resynced.data(), static_cast<int32_t>(resynced.size()));
    size = f.payload.GetLength();
    flags = static_cast<uint16_t>(flags & ~kV4Unsync);
  }
  if ((flags & kV4DataLength) && !(flags & (kV4Compressed | kV4Encrypted)) && size >= 4) {
    std::memmove(f.payload.GetData(), f.payload.GetData() + 4, static_cast<size_t>(size - 4));
    f.payload.Prepare(size - 4);
    flags = static_cast<uint16_t>(flags & ~kV4DataLength);
  }
  f.flags = flags;
  return true;
}

bool CID3V2Tag::Load(int slot) {
  ID3V2_FRAME& f = m_frames[static_cast<size_t>(slot)];
  if (f.deferredAt < 0) return true;
  // The body is read from the file the tag was read from, as it was then.
  TagFile file;
  TagFile::Identity now;
  if (!file.Open(m_sourcePath, TagFile::Mode::Read) || !file.Identify(now) || !(now == m_source)) {
    FileFailed(State(), file.Error() ? file.Error() : kErrFileChanged, m_sourcePath);
    return false;
  }
  uint8_t* body = f.payload.Prepare(f.deferredLength);
  if (!body || !file.Seek(f.deferredAt) || !file.ReadExact(body, static_cast<size_t>(f.deferredLength))) {
    f.payload.Empty();
    State().lastError = file.Error() ? file.Error() : EIO;
    return false;
  }
  f.deferredAt = -1;
  f.deferredLength = 0;
  return true;
}

const CByteBuffer& CID3V2Tag::Body(int slot) {
  static const CByteBuffer kNone;
  return Load(slot) ? m_frames[static_cast<size_t>(slot)].payload : kNone;
}

bool CID3V2Tag::LoadAll() {
  for (int i = 0; i < m_used; ++i)
    if (m_frames[static_cast<size_t>(i)].id != 0 && !Load(i)) return false;
  if (State().deferredOwner == this) {
    State().loadDeferred = nullptr;
    State().deferredOwner = nullptr;
  }
  return true;
}

WString CID3V2Tag::GetVersion() const {
  if (m_version == 0) return {};
  return u"2." + FromUtf8(std::to_string(m_version));
}

// ---- the frame table ---------------------------------------------------------

int CID3V2Tag::FindFrame(int32_t id, int n) const {
  if (n < 0) return -1;
  for (int i = 0; i < m_used; ++i) {
    const ID3V2_FRAME& f = m_frames[static_cast<size_t>(i)];
    if (f.id == id && f.Length() > 0 && n-- == 0) return i;
  }
  return -1;
}

int CID3V2Tag::CountFrames(int32_t id) const {
  int count = 0;
  for (int i = 0; i < m_used; ++i) {
    const ID3V2_FRAME& f = m_frames[static_cast<size_t>(i)];
    if (f.id == id && f.Length() > 0) ++count;
  }
  return count;
}

void CID3V2Tag::DeleteFrames(int32_t id) {
  for (int i = 0; i < m_used; ++i)
    if (m_frames[static_cast<size_t>(i)].id == id) FreeSlot(i);
}

int CID3V2Tag::AllocFrame() {
  for (int i = 0; i < m_used; ++i) {
    ID3V2_FRAME& f = m_frames[static_cast<size_t>(i)];
    if (f.id == 0 || f.Length() == 0) {
      FreeSlot(i);
      return i;
    }
  }
  if (m_used < kMaxFrames) {
    FreeSlot(m_used);
    return m_used++;
  }
  State().lastError = kErrTooManyFrames;
  return -1;
}

void CID3V2Tag::SetPayload(int slot, int32_t id, const CByteBuffer& payload) {
  ID3V2_FRAME& f = m_frames[static_cast<size_t>(slot)];
  f.id = id;
  f.flags = 0;  // a rebuilt body has no frame flags
  f.deferredAt = -1;
  f.deferredLength = 0;
  f.payload = payload;
}

// ---- writing -----------------------------------------------------------------

bool CID3V2Tag::BuildTag(const uint8_t* oldHeader, int64_t fileLength) {
  // Every body goes into the new tag: those still in the file are read now.
  if (!LoadAll()) return false;
  TagHeader old;
  const bool oldIsTag = ParseHeader(oldHeader, old);
  // Frames are written in the layout of the table's version; a table that
  // holds no tag takes the version of the tag it replaces (3 or 4), else 3.
  uint8_t version = m_version;
  if (version < 2 || version > 4) version = (oldIsTag && (old.version == 3 || old.version == 4)) ? old.version : 3;

  const int headerLength = version == 2 ? 6 : 10;
  const int64_t maxBody = version == 2 ? kMaxBodyV2 : version == 3 ? kMaxBodyV3 : kMaxSyncsafe;
  int64_t needed = 10;
  for (int i = 0; i < m_used; ++i) {
    const ID3V2_FRAME& f = m_frames[static_cast<size_t>(i)];
    if (f.id == 0) continue;
    if (f.payload.GetLength() > maxBody) {
      State().lastError = EFBIG;
      return false;
    }
    needed += headerLength + f.payload.GetLength();
  }
  const int64_t oldSize = oldIsTag ? old.size : 0;
  // A tag of at most one page at the start of the file is overwritten in
  // place (the write cannot tear); anything larger is rewritten.
  static_assert(kPaddedSize <= kPageSize);
  const bool fits = oldIsTag && needed <= oldSize && oldSize <= kPaddedSize && oldSize <= fileLength;
  m_rewrite = !fits;
  const int64_t padding = m_rewrite ? kPaddedSize - needed : oldSize - needed;
  const int64_t total = needed + std::max<int64_t>(padding, 0);
  if (total - 10 > kMaxSyncsafe) {
    State().lastError = EFBIG;
    return false;
  }
  m_padding = static_cast<int32_t>(padding);
  m_version = version;

  m_newHeader[0] = 'I';
  m_newHeader[1] = 'D';
  m_newHeader[2] = '3';
  m_newHeader[3] = version;
  const bool sameVersion = oldIsTag && old.version == version;
  m_newHeader[4] = sameVersion ? old.revision : 0;
  // Neither an extended header nor a footer is written, and the frames are
  // written without unsynchronisation.
  m_newHeader[5] = sameVersion ? static_cast<uint8_t>(old.flags & ~(kFlagUnsync | kFlagExtended | kFlagFooter)) : 0;
  bytes::PutSyncsafe32(m_newHeader + 6, static_cast<uint32_t>(total - 10));

  m_build.Empty();
  m_build.AppendBytes(m_newHeader, 10);
  for (int i = 0; i < m_used; ++i) {
    const ID3V2_FRAME& f = m_frames[static_cast<size_t>(i)];
    if (f.id == 0) continue;
    uint8_t h[10];
    const uint32_t size = static_cast<uint32_t>(f.payload.GetLength());
    h[0] = uint8_t(uint32_t(f.id) >> 24);
    h[1] = uint8_t(uint32_t(f.id) >> 16);
    h[2] = uint8_t(uint32_t(f.id) >> 8);
    if (version == 2) {
      h[3] = uint8_t(size >> 16);
      h[4] = uint8_t(size >> 8);
      h[5] = uint8_t(size);
    } else {
      h[3] = uint8_t(uint32_t(f.id));
      if (version == 4) bytes::PutSyncsafe32(h + 4, size);
      else bytes::PutBE32(h + 4, size);
      bytes::PutBE16(h + 8, f.flags);
    }
    m_build.AppendBytes(h, headerLength);
    m_build.AppendBuffer(f.payload);
  }
  if (m_padding > 0) m_build.AppendFill(0, m_padding);
  return true;
}

bool CID3V2Tag::SaveChangesToFile(const WString& path, bool fromID3V1) {
  if (!FormatAllowsID3V2(DetectFormatOfFile(path, State()))) {
    State().lastError = RefusedFormat(State());
    return false;
  }
  return WriteToFile(path, fromID3V1);
}

namespace {
// The payload of a text frame: UTF-16 with its byte-order mark. Several
// values (U+0000 between them) become strings ended by a zero character,
// each with its own byte-order mark (readers decode each string on its
// own). Version 2.3 tags get the same form as version 2.4 ones: a "/"
// between the values, which some writers use there, cannot be told from a
// "/" inside a value (AC/DC, a track of a total) and would not read back as
// the values.
CByteBuffer TextPayload(const WString& text) {
  CByteBuffer payload;
  payload.AppendByte(1);
  bool first = true;
  for (const WString& value : SplitValues(text)) {
    if (!first) payload.AppendFill(0, 2);
    first = false;
    payload.AppendByte(0xFF);
    payload.AppendByte(0xFE);
    payload.AppendWide(value);
  }
  return payload;
}
}  // namespace

void CID3V2Tag::TakeID3V1Fields(const CID3V1Record& v1) {
  const uint8_t version = m_version >= 2 && m_version <= 4 ? m_version : 3;
  struct Field {
    int32_t id;
    WString text;
  };
  std::vector<Field> fields;
  auto add = [&](int32_t id, const WString& text) {
    if (id != kNoFrameId && !text.empty() && FindFrame(id, 0) < 0) fields.push_back({id, text});
  };
  add(FieldId(version, "TIT2", "TT2"), v1.title);
  add(FieldId(version, "TPE1", "TP1"), v1.artist);
  add(FieldId(version, "TALB", "TAL"), v1.album);
  // Version 2.4 keeps the year in the recording time.
  add(version == 4 ? ID3V2FrameId("TDRC") : FieldId(version, "TYER", "TYE"), v1.year);
  add(FieldId(version, "TRCK", "TRK"), v1.GetTrack());
  add(FieldId(version, "TCON", "TCO"), v1.GetGenre());
  std::vector<CByteBuffer> payloads;
  for (const Field& f : fields) payloads.push_back(TextPayload(f.text));
  // The comment, in English without a description, unless the table holds
  // it already.
  const int32_t commentId = FieldId(version, "COMM", "COM");
  bool haveComment = v1.comment.empty();
  for (int n = 0; !haveComment; ++n) {
    const int slot = FindFrame(commentId, n);
    if (slot < 0) break;
    haveComment = ParseLangDescText(Body(slot), true, true, false).text == v1.comment;
  }
  if (!haveComment) {
    CByteBuffer payload;
    payload.AppendByte(1);
    payload.AppendBytes("eng", 3);
    payload.AppendBytes("\xFF\xFE\0\0\xFF\xFE", 6);
    payload.AppendWide(v1.comment);
    payload.AppendFill(0, 2);
    fields.push_back({commentId, v1.comment});
    payloads.push_back(std::move(payload));
  }
  // In front of the table's frames, as many as the table has room for.
  const int n = std::min<int>(static_cast<int>(fields.size()), kMaxFrames - m_used);
  if (n <= 0) return;
  for (int i = m_used - 1; i >= 0; --i) std::swap(m_frames[static_cast<size_t>(i + n)], m_frames[static_cast<size_t>(i)]);
  m_used += n;
  for (int i = 0; i < n; ++i) {
    ID3V2_FRAME& f = m_frames[static_cast<size_t>(i)];
    f.id = fields[static_cast<size_t>(i)].id;
    f.flags = 0;
    f.deferredAt = -1;
    f.deferredLength = 0;
    f.payload = std::move(payloads[static_cast<size_t>(i)]);
  }
}

bool CID3V2Tag::WriteToFile(const WString& path, bool fromID3V1) {
  std::memset(m_oldHeader, 0, sizeof m_oldHeader);
  TagFile src;
  if (!src.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), src, path);
    return false;
  }
  const int64_t length = src.Length();
  if (length < 0) {
    State().lastError = src.Error();
    return false;
  }
  src.Read(m_oldHeader, sizeof m_oldHeader);
  TagHeader old;
  const bool oldIsTag = ParseHeader(m_oldHeader, old);
  // A tag that claims more than the file is damaged: replacing it would
  // throw away whatever the file holds.
  if (oldIsTag && old.size > length) {
    State().lastError = EINVAL;
    return false;
  }
  if (!oldIsTag && fromID3V1 && FileEndsWithID3V1(src, length)) {
    uint8_t tail[128];
    if (src.Seek(length - 128) && src.ReadExact(tail, sizeof tail)) {
      CID3V1Record v1;
      v1.Parse(tail);
      TakeID3V1Fields(v1);
    }
  }
  if (!BuildTag(m_oldHeader, length)) return false;

  if (!m_rewrite) {
    // The new tag has the old one's size, at most one page at the start of
    // the file: only the bytes that differ are written, in one write.
    std::vector<uint8_t> old(static_cast<size_t>(m_build.GetLength()));
    if (!src.Seek(0) || !src.ReadExact(old.data(), old.size())) {
      State().lastError = src.Error() ? src.Error() : EIO;
      return false;
    }
    const ByteRange change = ChangedRange(old.data(), m_build.GetData(), old.size());
    if (change.length == 0) return true;
    return WriteInPlace(State(), path, src, change.offset, m_build.GetData() + change.offset, change.length);
  }

  const int64_t oldSize = oldIsTag ? old.size : 0;
  SafeRewrite rewrite(State());
  if (!rewrite.Begin(path, src)) return false;
  if (!rewrite.Write(m_build.GetData(), static_cast<size_t>(m_build.GetLength()))) return false;
  if (!rewrite.CopyFrom(src, oldSize, length - oldSize)) return false;
  src.Close();
  return rewrite.Commit();
}

bool CID3V2Tag::RemoveTagFromFile(const WString& path) {
  TagFile src;
  if (!src.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), src, path);
    return false;
  }
  const int64_t length = src.Length();
  if (length < 0) {
    State().lastError = src.Error();
    return false;
  }
  uint8_t h[10] = {};
  src.Read(h, sizeof h);
  TagHeader old;
  if (!ParseHeader(h, old)) {
    State().lastError = kErrTagMissing;
    return false;
  }
  if (old.size > length) {
    State().lastError = EINVAL;
    return false;
  }
  SafeRewrite rewrite(State());
  if (!rewrite.Begin(path, src)) return false;
  if (!rewrite.CopyFrom(src, old.size, length - old.size)) return false;
  src.Close();
  return rewrite.Commit();
}

// ---- generic strings ---------------------------------------------------------

GenericStrings CID3V2Tag::GetGenericStrings() {
  GenericStrings g;
  g.title = GetTitle();
  g.artist = GetArtist();
  g.album = GetAlbum();
  // Comment number 1, read without the range check so that an analysis of a
  // tag without frames leaves no error behind.
  const int slot = FindFrame(CommentId(), 0);
  if (slot >= 0) g.comment = ParseLangDescText(Body(slot), true, true, false).text;
  g.genre = GetGenre();
  g.track = GetTrack();
  g.year = GetYear();
  // Version 2.4 keeps the year in the recording time ("2019-05-01").
  if (g.year.empty() && m_version == 4) g.year = GetRecordingTime().substr(0, 4);
  return g;
}

void CID3V2Tag::SetGenericStrings(const GenericStrings& g) {
  SetAlbum(g.album);
  SetArtist(g.artist);
  SetComment(1, u"ENG", u"Sonavex", g.comment);
  SetGenre(g.genre);
  SetTitle(g.title);
  SetTrack(g.track);
  SetYear(g.year);
}

// ---- text and URL frames -----------------------------------------------------

WString CID3V2Tag::GetTextFrame(int32_t id) {
  if (id == kNoFrameId) {
    State().lastError = kErrUnsupportedFrame;
    return {};
  }
  const int slot = FindFrame(id, 0);
  if (slot < 0) return {};
  const CByteBuffer& p = Body(slot);
  // All strings of the frame: a frame of several values reads as all of them.
  return DecodeTextList(p.GetData() + 1, static_cast<size_t>(p.GetLength() - 1), p.GetAt(0));
}

WString CID3V2Tag::GetURLFrame(int32_t id) {
  if (id == kNoFrameId) {
    State().lastError = kErrUnsupportedFrame;
    return {};
  }
  const int slot = FindFrame(id, 0);
  if (slot < 0) return {};
  const CByteBuffer& p = Body(slot);
  const char* data = reinterpret_cast<const char*>(p.GetData());
  const size_t n = static_cast<size_t>(p.GetLength());
  const void* zero = std::memchr(data, 0, n);
  return AnsiToWide(std::string_view(data, zero ? static_cast<size_t>(static_cast<const char*>(zero) - data) : n));
}

// Replaces the one frame of an id (a text or URL field) by the payload, or
// deletes the field's frames for an empty text.
bool CID3V2Tag::StoreSingleFrame(const WString& text, int32_t id, const CByteBuffer& payload) {
  if (id == kNoFrameId) {
    State().lastError = kErrUnsupportedFrame;
    return false;
  }
  if (text.empty()) {
    DeleteFrames(id);
    return true;
  }
  int slot = FindFrame(id, 0);
  if (slot < 0) slot = AllocFrame();
  if (slot < 0) return false;
  SetPayload(slot, id, payload);
  return true;
}

bool CID3V2Tag::SetTextFrame(const WString& text, int32_t id) {
  // A text of zero characters alone holds no value: it deletes the field.
  const WString values = NormalValues(text);
  return StoreSingleFrame(values, id, TextPayload(values));
}

bool CID3V2Tag::SetURLFrame(const WString& text, int32_t id) {
  CByteBuffer payload;
  payload.AddStringA(text);
  return StoreSingleFrame(text, id, payload);
}

#define SONAVEX_ID3V2_DEFINE(Name, id34, id2, Kind)                                                     \
  WString CID3V2Tag::Get##Name() { return Get##Kind##Frame(FieldId(m_version, id34, id2)); }            \
  bool CID3V2Tag::Set##Name(const WString& text) { return Set##Kind##Frame(text, FieldId(m_version, id34, id2)); }
SONAVEX_ID3V2_FIELDS(SONAVEX_ID3V2_DEFINE)
#undef SONAVEX_ID3V2_DEFINE

}  // namespace sonavex
