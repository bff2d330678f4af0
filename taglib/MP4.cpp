#include "MP4.h"

#include "Bytes.h"
#include "Module.h"
#include "SafeWrite.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace sonavex {

namespace {

using bytes::BE16;
using bytes::BE32;
using bytes::BE64;

// Containers nest only a few levels in real files; deeper ones are not walked.
constexpr int kMaxDepth = 16;
// An item list larger than this is not read (covers in real files are far smaller).
constexpr uint64_t kMaxItemList = 64u << 20;
constexpr uint32_t kSecondsPerYear = 31536000;  // 365-day years, counted from 1904

bool Is(const uint8_t* type, const char* fourcc) { return std::memcmp(type, fourcc, 4) == 0; }

WString Decimal(uint64_t v) {
  const std::string s = std::to_string(v);
  return WString(s.begin(), s.end());
}

struct Item {
  uint8_t type[4];
  int slot;
};
// Item atom types and the text slot each fills; the first match decides.
constexpr Item kItems[] = {
    {{0xA9, 'a', 'l', 'b'}, 0},  {{0xA9, 'A', 'R', 'T'}, 1},  {{0xA9, 'a', 'u', 't'}, 2},
    {{'t', 'm', 'p', 'o'}, 3},   {{' ', 'd', 's', 'k'}, 4},   {{'d', 'i', 's', 'k'}, 4},
    {{0xA9, 'c', 'm', 't'}, 5},  {{'c', 'p', 'i', 'l'}, 6},   {{0xA9, 'c', 'o', 'm'}, 7},
    {{0xA9, 'w', 'r', 't'}, 7},  {{0xA9, 'c', 'p', 'y'}, 8},  {{0xA9, 'd', 'a', 'y'}, 9},
    {{0xA9, 'd', 'e', 's'}, 10}, {{0xA9, 'i', 'n', 'f'}, 10}, {{0xA9, 'd', 'i', 'r'}, 11},
    {{0xA9, 'd', 'i', 's'}, 12}, {{0xA9, 'e', 'n', 'c'}, 13}, {{0xA9, 't', 'o', 'o'}, 13},
    {{0xA9, 'n', 'a', 'm'}, 14}, {{0xA9, 'g', 'e', 'n'}, 15}, {{'g', 'n', 'r', 'e'}, 15},
    {{0xA9, 'u', 'r', 'l'}, 16}, {{0xA9, 'o', 'p', 'e'}, 17}, {{0xA9, 'f', 'm', 't'}, 18},
    {{0xA9, 's', 'r', 'c'}, 19}, {{0xA9, 'p', 'r', 'f'}, 20}, {{0xA9, 'p', 'r', 'd'}, 21},
    {{0xA9, 't', 'r', 'k'}, 22}, {{'t', 'r', 'k', 'n'}, 22}, {{0xA9, 'w', 'r', 'n'}, 23},
    {{'c', 'o', 'v', 'r'}, 24},
};

constexpr int kSlotBeatsPerMinute = 3;
constexpr int kSlotDisc = 4;
constexpr int kSlotCompilation = 6;
constexpr int kSlotDate = 9;
constexpr int kSlotGenre = 15;
constexpr int kSlotTrack = 22;
constexpr int kSlotCover = 24;

}  // namespace

// What one media atom (one track) tells: its media header, its handler and
// the channels of its first sample description.
struct CMP4::Media {
  bool hasHeader = false;
  uint32_t timeScale = 0;
  uint64_t duration = 0;
  uint8_t handler[4] = {0, 0, 0, 0};
  int32_t channels = 0;
  int32_t sbrRate = 0;  // rate of a stream with spectral band replication
};

void CMP4::Clear() {
  std::memset(m_MajorBrand, 0, sizeof m_MajorBrand);
  for (auto& f : m_Fields) f.clear();
  for (auto& p : m_Pictures) p.Empty();
  m_ItemList.Empty();
  m_bValid = false;
  m_bSoundTrack = false;
  m_nTimeScale = 0;
  m_nSampleRate = 0;
  m_nDataStart = 0;
  m_nMediaData = -1;
  m_nChannels = 0;
  m_nYear = 0;
  m_fDuration = 0.0f;
  m_nPictureCount = 0;
}

WString CMP4::GetField(int slot) const {
  if (slot < 0 || slot >= kSlotCount) return {};
  return m_Fields[static_cast<size_t>(slot)];
}

void CMP4::SetField(int slot, const WString& value) {
  if (slot >= 0 && slot < kSlotCount) m_Fields[static_cast<size_t>(slot)] = value;
}

WString CMP4::GetYear() const { return Decimal(m_nYear); }

GenericStrings CMP4::GetGenericStrings() {
  GenericStrings g;
  g.title = m_Fields[14];
  g.artist = m_Fields[1];
  g.album = m_Fields[0];
  g.comment = m_Fields[5];
  g.genre = m_Fields[kSlotGenre];
  g.track = m_Fields[kSlotTrack];
  // The year of the media header's creation time; none when it is not set.
  if (m_nYear != 0) g.year = GetYear();
  return g;
}

void CMP4::SetGenericStrings(const GenericStrings& g) {
  m_Fields[14] = g.title;
  m_Fields[1] = g.artist;
  m_Fields[0] = g.album;
  m_Fields[5] = g.comment;
  m_Fields[kSlotGenre] = g.genre;
  m_Fields[kSlotTrack] = g.track;
  m_Fields[kSlotDate] = g.year;
}

bool CMP4::SaveChangesToFile(const WString&) {
  State().lastError = kErrMP4NotWritable;
  return false;
}

WString CMP4::GetVersion() {
  struct Brand {
    const char* brand;
    const char16_t* text;
  };
  static constexpr Brand kBrands[] = {
      {"isom", u"Iso Base Media format"}, {"mp41", u"ISO 14496-1 version 1"}, {"mp42", u"ISO 14496-1 version 2"},
      {"M4A ", u"Apple AAC audio only"},  {"qt  ", u"QuickTime movie"},       {"3gp4", u"3G MP4 profile 4"},
      {"3gp5", u"3G MP4 profile 5"},      {"mmp4", u"Mobile MP4"},
  };
  for (const auto& b : kBrands)
    if (Is(m_MajorBrand, b.brand)) return b.text;
  return u"Unknown";
}

int32_t CMP4::GetBitrate() {
  if (!(m_fDuration > 0.0f)) return 0;
  // The media data's own size when its atoms were met, else everything
  // behind the point where the walk ended.
  const int64_t bytes = m_nMediaData >= 0 ? m_nMediaData : static_cast<int64_t>(State().fileSize) - m_nDataStart;
  if (bytes <= 0) return 0;
  const double kbps = static_cast<double>(bytes) * 8.0 / m_fDuration * 0.001 + 0.5;
  return kbps >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(kbps);
}

bool CMP4::Read(TagFile& file) {
  Clear();
  const int64_t length = file.Length();
  if (length < 0) return false;
  const int64_t start = std::clamp<int64_t>(State().id3v2Size, 0, length);
  uint8_t ftyp[20] = {};
  if (!file.Seek(start) || file.Read(ftyp, sizeof ftyp) < 12 || !Is(ftyp + 4, "ftyp")) {
    Clear();
    return false;
  }
  uint64_t size = BE32(ftyp);
  if (size == 0) size = static_cast<uint64_t>(length - start);  // the atom runs to the end
  if (size < 8 || size > static_cast<uint64_t>(length - start)) {
    Clear();
    return false;
  }
  std::memcpy(m_MajorBrand, ftyp + 8, 4);
  m_bValid = true;
  WalkAtoms(file, start + static_cast<int64_t>(size), length, 0, nullptr);
  if (m_nMediaData < 0) m_nDataStart = file.Tell();
  // Figures no real file has: the items are read, the figures are not
  // reported and the format is not valid.
  if (!PlausibleFigures(m_nSampleRate, m_nChannels, 0, m_fDuration)) {
    m_bValid = false;
    m_nTimeScale = m_nSampleRate = m_nChannels = 0;
    m_fDuration = 0.0f;
  }
  return true;
}

bool CMP4::WalkAtoms(TagFile& file, int64_t start, int64_t end, int depth, Media* media) {
  if (depth > kMaxDepth) return false;
  int64_t p = start;
  while (p < end) {
    if (end - p < 8) return true;  // too few bytes left for another atom
    uint8_t head[8];
    if (!file.Seek(p) || !file.ReadExact(head, sizeof head)) return false;
    uint64_t size = BE32(head);
    int64_t headerSize = 8;
    if (size == 1) {  // a 64-bit size follows the type
      uint8_t large[8];
      if (end - p < 16 || !file.ReadExact(large, sizeof large)) return false;
      size = BE64(large);
      headerSize = 16;
    } else if (size == 0) {
      size = static_cast<uint64_t>(end - p);  // runs to the end of its parent
    }
    if (size < static_cast<uint64_t>(headerSize) || size > static_cast<uint64_t>(end - p)) return false;
    const uint8_t* type = head + 4;
    const int64_t body = p + headerSize;
    const int64_t next = p + static_cast<int64_t>(size);
    const uint64_t bodySize = size - static_cast<uint64_t>(headerSize);

    if (Is(type, "moov") || Is(type, "trak") || Is(type, "udta") || Is(type, "minf") || Is(type, "stbl")) {
      WalkAtoms(file, body, next, depth + 1, media);
    } else if (Is(type, "mdia")) {
      Media track;
      WalkAtoms(file, body, next, depth + 1, &track);
      EndMedia(track);
    } else if (Is(type, "meta")) {
      // A full box (version and flags, all zero) in MPEG-4 files; QuickTime
      // files put the first child right behind the header.
      uint8_t vf[4];
      int64_t children = body;
      if (bodySize >= 4 && file.ReadExact(vf, 4) && BE32(vf) == 0) children += 4;
      WalkAtoms(file, children, next, depth + 1, media);
    } else if (Is(type, "ilst")) {
      if (bodySize <= kMaxItemList) {
        m_ItemList.ReadFromFile(static_cast<int32_t>(bodySize), file);
        ParseIlst();
      }
    } else if (Is(type, "mdhd")) {
      ReadMediaHeader(file, bodySize, media);
    } else if (Is(type, "hdlr")) {
      uint8_t h[12];
      if (media && bodySize >= 12 && file.ReadExact(h, sizeof h)) std::memcpy(media->handler, h + 8, 4);
    } else if (Is(type, "stsd")) {
      ReadSampleDescription(file, bodySize, media);
    } else if (Is(type, "soun")) {
      uint8_t s[10];
      if (bodySize >= 10 && file.ReadExact(s, sizeof s)) m_nChannels = static_cast<int16_t>(s[8] | (s[9] << 8));
    } else if (Is(type, "mdat")) {
      m_nMediaData = std::max<int64_t>(m_nMediaData, 0) + static_cast<int64_t>(bodySize);
      m_nDataStart = body;
    }
    p = next;
  }
  return true;
}

void CMP4::ReadMediaHeader(TagFile& file, uint64_t bodySize, Media* media) {
  uint8_t h[32];
  if (bodySize < 20 || !file.ReadExact(h, 20)) return;
  uint64_t created, duration;
  uint32_t timeScale;
  if (h[0] == 1) {  // version 1: 64-bit times and duration
    if (bodySize < 32 || !file.ReadExact(h + 20, 12)) return;
    created = BE64(h + 4);
    timeScale = BE32(h + 20);
    duration = BE64(h + 24);
  } else {
    created = BE32(h + 4);
    timeScale = BE32(h + 12);
    duration = BE32(h + 16);
  }
  Media direct;
  Media& m = media ? *media : direct;
  m.hasHeader = true;
  m.timeScale = timeScale;
  m.duration = duration;
  if (!media) EndMedia(direct);
  // A creation time of 0 means "not set" and gives no date.
  if (m_Fields[kSlotDate].empty() && created != 0) {
    m_Fields[kSlotDate] = Decimal(created) + u" seconds since 1904";
    m_nYear = static_cast<uint32_t>(created / kSecondsPerYear + 1904);
  }
}

namespace {

// Length of an MPEG-4 descriptor: up to four bytes of seven bits each.
bool DescriptorLength(const uint8_t* p, size_t n, size_t& at, size_t& length) {
  length = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= n) return false;
    const uint8_t b = p[at++];
    length = (length << 7) | (b & 0x7F);
    if (!(b & 0x80)) return length <= n - at;
  }
  return false;
}

// Reads bits, most significant first; reads past the end give zeros and
// mark the reader as overrun.
class Bits {
 public:
  Bits(const uint8_t* p, size_t bytes) : p_(p), bits_(bytes * 8) {}
  uint32_t Take(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++pos_) {
      const unsigned bit = pos_ < bits_ ? (p_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1u : 0u;
      v = (v << 1) | bit;
    }
    return v;
  }
  bool Overrun() const { return pos_ > bits_; }
  size_t Left() const { return pos_ < bits_ ? bits_ - pos_ : 0; }

 private:
  const uint8_t* p_;
  size_t bits_;
  size_t pos_ = 0;
};

// The AAC decoder setup (AudioSpecificConfig) of an esds body: the channel
// configuration, and the rate of a stream with spectral band replication
// (HE-AAC), which plays at twice its core's rate; 0 for what it does not give.
struct DecoderSetup {
  int channels = 0;
  int32_t sbrRate = 0;
};

int ObjectType(Bits& b) {
  const int type = static_cast<int>(b.Take(5));
  return type == 31 ? 32 + static_cast<int>(b.Take(6)) : type;
}

int32_t SamplingFrequency(Bits& b) {
  static constexpr int32_t kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                         22050, 16000, 12000, 11025, 8000,  7350};
  const uint32_t index = b.Take(4);
  if (index == 15) return static_cast<int32_t>(b.Take(24));
  return index < 13 ? kRates[index] : 0;
}

DecoderSetup EsdsSetup(const uint8_t* p, size_t n) {
  DecoderSetup setup;
  size_t at = 4;  // version and flags
  size_t length;
  if (at >= n || p[at++] != 0x03 || !DescriptorLength(p, n, at, length) || length < 3) return setup;
  const uint8_t flags = p[at + 2];
  at += 3;
  if (flags & 0x80) at += 2;
  if ((flags & 0x40) && at < n) at += 1u + p[at];
  if (flags & 0x20) at += 2;
  if (at >= n || p[at++] != 0x04 || !DescriptorLength(p, n, at, length) || length < 13) return setup;
  at += 13;
  if (at >= n || p[at++] != 0x05 || !DescriptorLength(p, n, at, length) || length < 2) return setup;
  Bits b(p + at, length);
  // Audio object type, sampling frequency, channel configuration.
  const int type = ObjectType(b);
  SamplingFrequency(b);  // the core's rate
  const int config = static_cast<int>(b.Take(4));
  if (b.Overrun()) return setup;
  setup.channels = config == 7 ? 8 : config;  // configuration 7 is 7.1
  if (type == 5 || type == 29) {
    // Spectral band replication signalled in front: the rate it plays at,
    // then the core's type.
    setup.sbrRate = SamplingFrequency(b);
    ObjectType(b);  // the core's type
    if (b.Overrun()) setup.sbrRate = 0;
    return setup;
  }
  // Signalled behind a plain AAC setup instead: the general audio setup of
  // a stream with a channel configuration, then a sync extension.
  if ((type != 1 && type != 2 && type != 3 && type != 4) || config == 0) return setup;
  b.Take(1);                   // frame length
  if (b.Take(1)) b.Take(14);   // depends on a core coder: its delay
  if (b.Take(1)) return setup;  // extension flag: fields of other object types
  if (b.Left() < 16 || b.Take(11) != 0x2B7) return setup;
  if (ObjectType(b) != 5 || !b.Take(1)) return setup;
  const int32_t sbr = SamplingFrequency(b);
  if (!b.Overrun()) setup.sbrRate = sbr;
  return setup;
}

}  // namespace

void CMP4::ReadSampleDescription(TagFile& file, uint64_t bodySize, Media* media) {
  // version and flags (4), entry count (4), then the first entry: size (4),
  // format (4), reserved (6), data reference (2), version (2), revision (2),
  // vendor (4), channel count (2), sample size (2), compression (2), packet
  // size (2), rate (4); then, after the extra fields of versions 1 and 2,
  // child atoms such as the esds with the decoder's own channel setup.
  if (!media || !Is(media->handler, "soun") || bodySize < 44) return;
  std::vector<uint8_t> s(static_cast<size_t>(std::min<uint64_t>(bodySize, 4096)));
  if (!file.ReadExact(s.data(), s.size()) || BE32(s.data() + 4) == 0) return;
  const size_t entry = std::min<size_t>(BE32(s.data() + 8), s.size() - 8);
  if (entry < 8 + 28) return;
  const uint8_t* e = s.data() + 16;  // the entry's body
  const size_t n = entry - 8;
  media->channels = BE16(e + 16);
  const unsigned version = BE16(e + 8);
  size_t at = version == 1 ? 44 : version == 2 ? 64 : 28;
  while (at + 8 <= n) {
    const size_t size = BE32(e + at);
    if (size < 8 || size > n - at) return;
    if (Is(e + at + 4, "esds")) {
      const DecoderSetup setup = EsdsSetup(e + at + 8, size - 8);
      if (setup.channels > 0) media->channels = setup.channels;
      media->sbrRate = setup.sbrRate;
      return;
    }
    at += size;
  }
}

void CMP4::EndMedia(const Media& media) {
  const bool sound = Is(media.handler, "soun");
  // The sound track gives the figures; another track only while no sound
  // track has been met.
  if (!sound && m_bSoundTrack) return;
  if (media.hasHeader) {
    m_nTimeScale = static_cast<int32_t>(media.timeScale);
    m_nSampleRate = m_nTimeScale;
    if (media.timeScale > 0 && media.duration > 0)
      m_fDuration = static_cast<float>(static_cast<double>(media.duration) / media.timeScale);
  }
  if (sound) {
    m_bSoundTrack = true;
    if (media.channels > 0) m_nChannels = media.channels;
    // HE-AAC plays at its band replication's rate, not at its core's.
    if (media.sbrRate > 0) m_nSampleRate = media.sbrRate;
  }
}

void CMP4::ParseIlst() {
  const uint8_t* list = m_ItemList.GetData();
  const size_t length = static_cast<size_t>(m_ItemList.GetLength());
  size_t q = 0;
  while (length >= 8 && q <= length - 8) {
    const size_t size = BE32(list + q);
    if (size < 8 || size > length - q) return;  // an item of no size or past the list ends the parse
    for (const Item& item : kItems) {
      if (std::memcmp(list + q + 4, item.type, 4) == 0) {
        ParseIlstItem(item.slot, list + q + 8, size - 8);
        break;
      }
    }
    q += size;
  }
}

void CMP4::ParseIlstItem(int slot, const uint8_t* data, size_t size) {
  size_t a = 0;
  while (size >= 8 && a <= size - 8) {
    if (!Is(data + a + 4, "data")) return;
    const size_t length = BE32(data + a);
    if (length < 16 || length > size - a) return;  // a data atom must fit its item
    const uint8_t kind = data[a + 11];
    const uint8_t* value = data + a + 16;
    const size_t n = length - 16;
    WString& field = m_Fields[static_cast<size_t>(slot)];
    if (kind == 1) {
      CByteBuffer text;
      text.AppendBytes(value, static_cast<int32_t>(std::min<size_t>(n, 0x7FFFFFF0)));
      field = text.ConvertToUnicode(3);  // a later data atom replaces an earlier one
    } else {
      switch (slot) {
        case kSlotCompilation:
          if (n >= 1) field = Decimal(value[0]);
          break;
        case kSlotGenre:
        case kSlotBeatsPerMinute:
          if (n >= 2) field = Decimal(BE16(value));
          break;
        case kSlotTrack:
        case kSlotDisc:
          if (n >= 4) field = Decimal(BE32(value));  // 00 00, then the number
          break;
        case kSlotCover:
          ++m_nPictureCount;
          if (m_nPictureCount <= kMaxPictures) {
            CByteBuffer& picture = m_Pictures[static_cast<size_t>(m_nPictureCount - 1)];
            picture.Empty();
            picture.AppendBytes(value, static_cast<int32_t>(n));
          }
          break;
        default: break;
      }
    }
    a += length;
  }
}

bool CMP4::SavePicture(const WString& path, int index) {
  if (index < 0 || index >= std::min(m_nPictureCount, static_cast<int32_t>(kMaxPictures))) return false;
  const CByteBuffer& picture = m_Pictures[static_cast<size_t>(index)];
  SafeRewrite out(State());
  if (!out.Begin(path)) return false;
  if (!out.Write(picture.GetData(), static_cast<size_t>(picture.GetLength()))) return false;
  return out.Commit();
}

}  // namespace sonavex
