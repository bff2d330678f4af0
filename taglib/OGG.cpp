#include "OGG.h"

#include "Bytes.h"
#include "Module.h"
#include "SafeWrite.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace sonavex {

namespace {

constexpr uint8_t kCommentSignature[7] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
constexpr uint8_t kFlagContinued = 0x01;
constexpr uint8_t kFlagFirst = 0x02;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    t[i] = r;
  }
  return t;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

using Packet = std::vector<uint8_t>;

// The header packets that follow the identification page, as their pages
// hold them.
struct HeaderPages {
  int64_t end = 0;  // offset behind the last page read
  int pages = 0;    // pages read
  OGG_PAGEHEADER first;
  OGG_PAGEHEADER last;
  std::vector<Packet> packets;  // complete packets in stream order
  Packet partial;               // the packet still open at end
};

// Reads the pages of one stream from pos on and cuts their bodies into
// packets until `want` packets are complete. With `boundary`, the page on
// which that happens must also end on a packet boundary (no packet may go on
// into the next page). False when the file ends first, a page is damaged or
// belongs to another stream, or the boundary is missing.
bool CollectPackets(TagFile& file, int64_t pos, uint32_t serial, size_t want, bool boundary, HeaderPages& hp) {
  const int64_t length = file.Length();
  std::vector<uint8_t> body;
  while (pos < length) {
    OGG_PAGEHEADER ph;
    if (!file.Seek(pos) || !ph.Read(file) || ph.serial != serial) return false;
    body.resize(static_cast<size_t>(ph.BodyLength()));
    const size_t got = file.Read(body.data(), body.size());
    if (hp.pages == 0) hp.first = ph;
    hp.last = ph;
    ++hp.pages;
    size_t off = 0;
    for (int i = 0; i < ph.segments; ++i) {
      const size_t take = std::min<size_t>(ph.lacing[i], got - std::min(off, got));
      hp.partial.insert(hp.partial.end(), body.begin() + static_cast<std::ptrdiff_t>(off),
                        body.begin() + static_cast<std::ptrdiff_t>(off + take));
      off += ph.lacing[i];
      if (ph.lacing[i] < 255) {
        hp.packets.push_back(std::move(hp.partial));
        hp.partial.clear();
      }
    }
    if (got < body.size()) return false;  // cut short by the end of the file
    pos += ph.HeaderLength() + ph.BodyLength();
    hp.end = pos;
    if (hp.packets.size() >= want) return !boundary || hp.partial.empty();
  }
  return false;
}

// Lays the packets out on pages of at most 255 lacing values, numbered on
// from the template's sequence number, with their checksums.
std::vector<Packet> Paginate(const std::vector<const Packet*>& packets, const OGG_PAGEHEADER& tmpl,
                             uint64_t granule, uint64_t lastGranule) {
  struct Draft {
    std::vector<uint8_t> lacing;
    Packet body;
    bool continued = false;
    bool packetEnds = false;
  };
  std::vector<Draft> drafts(1);
  for (const Packet* p : packets) {
    const size_t n = p->size();
    const size_t values = n / 255 + 1;
    for (size_t v = 0; v < values; ++v) {
      if (drafts.back().lacing.size() == 255) {
        drafts.emplace_back();
        drafts.back().continued = v > 0;
      }
      const size_t off = v * 255;
      const size_t len = std::min<size_t>(255, n - off);
      Draft& d = drafts.back();
      d.lacing.push_back(static_cast<uint8_t>(len));
      d.body.insert(d.body.end(), p->begin() + static_cast<std::ptrdiff_t>(off),
                    p->begin() + static_cast<std::ptrdiff_t>(off + len));
      if (len < 255) d.packetEnds = true;
    }
  }
  std::vector<Packet> pages;
  for (size_t i = 0; i < drafts.size(); ++i) {
    const Draft& d = drafts[i];
    OGG_PAGEHEADER h = tmpl;
    h.flags = static_cast<uint8_t>((tmpl.flags & ~(kFlagContinued | kFlagFirst)) | (d.continued ? kFlagContinued : 0));
    const uint64_t g = !d.packetEnds ? ~uint64_t(0) : (i + 1 == drafts.size() ? lastGranule : granule);
    h.granuleLow = static_cast<uint32_t>(g);
    h.granuleHigh = static_cast<uint32_t>(g >> 32);
    h.sequence = tmpl.sequence + static_cast<uint32_t>(i);
    h.checksum = 0;
    h.segments = static_cast<uint8_t>(d.lacing.size());
    std::copy(d.lacing.begin(), d.lacing.end(), h.lacing);
    Packet page(static_cast<size_t>(h.HeaderLength()));
    h.Serialize(page.data());
    page.insert(page.end(), d.body.begin(), d.body.end());
    bytes::PutLE32(page.data() + 22, OggChecksum(page.data(), page.size()));
    pages.push_back(std::move(page));
  }
  return pages;
}

uint64_t Granule(const OGG_PAGEHEADER& h) { return (uint64_t(h.granuleHigh) << 32) | h.granuleLow; }

}  // namespace

uint32_t OggChecksum(const uint8_t* data, size_t size, uint32_t crc) {
  for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ data[i]) & 0xFF];
  return crc;
}

int32_t OGG_PAGEHEADER::BodyLength() const {
  int32_t n = 0;
  for (int i = 0; i < segments; ++i) n += lacing[i];
  return n;
}

bool OGG_PAGEHEADER::Read(TagFile& file) {
  uint8_t b[27];
  if (!file.ReadExact(b, sizeof b) || std::memcmp(b, "OggS", 4) != 0) return false;
  std::memcpy(capture, b, 4);
  version = b[4];
  flags = b[5];
  granuleLow = bytes::LE32(b + 6);
  granuleHigh = bytes::LE32(b + 10);
  serial = bytes::LE32(b + 14);
  sequence = bytes::LE32(b + 18);
  checksum = bytes::LE32(b + 22);
  segments = b[26];
  return file.ReadExact(lacing, segments);
}

void OGG_PAGEHEADER::Serialize(uint8_t* out) const {
  std::memcpy(out, capture, 4);
  out[4] = version;
  out[5] = flags;
  bytes::PutLE32(out + 6, granuleLow);
  bytes::PutLE32(out + 10, granuleHigh);
  bytes::PutLE32(out + 14, serial);
  bytes::PutLE32(out + 18, sequence);
  bytes::PutLE32(out + 22, checksum);
  out[26] = segments;
  std::memcpy(out + 27, lacing, segments);
}

void VORBIS_IDHEADER::Parse(const uint8_t* b) {
  packetType = b[0];
  std::memcpy(signature, b + 1, 6);
  version = bytes::LE32(b + 7);
  channels = b[11];
  sampleRate = static_cast<int32_t>(bytes::LE32(b + 12));
  bitrateMaximum = static_cast<int32_t>(bytes::LE32(b + 16));
  bitrateNominal = static_cast<int32_t>(bytes::LE32(b + 20));
  bitrateMinimum = static_cast<int32_t>(bytes::LE32(b + 24));
  blockSizes = b[28];
  framing = b[29];
}

void COGG::Clear() {
  m_Comment.Clear();
  m_FirstPage = OGG_PAGEHEADER{};
  m_SecondPage = OGG_PAGEHEADER{};
  m_IdHeader = VORBIS_IDHEADER{};
  std::memset(m_CommentSignature, 0, sizeof m_CommentSignature);
  m_nLastGranule = m_nSecondPagePos = m_nCommentEnd = 0;
  m_nChannels = 0;
  m_CommentPacket.Empty();
  m_nSampleRate = m_nBitrateNominal = m_nTotalSamples = 0;
}

void COGG::TakeOverNumbers() {
  m_nChannels = m_IdHeader.channels;
  m_nSampleRate = m_IdHeader.sampleRate;
  m_nBitrateNominal = m_IdHeader.bitrateNominal / 1000;
  m_nTotalSamples = m_nLastGranule;
  // An identification header with figures no real stream has is not
  // reported: the stream is not valid.
  const double seconds = m_nSampleRate > 0 ? double(m_nTotalSamples) / m_nSampleRate : 0.0;
  if (m_nSampleRate < 0 || m_nTotalSamples < 0 || !PlausibleFigures(m_nSampleRate, m_nChannels, 0, seconds)) {
    m_nChannels = 0;
    m_nSampleRate = m_nBitrateNominal = m_nTotalSamples = 0;
  }
}

bool COGG::Read(TagFile& file) {
  Clear();
  if (!ReadPages(file, true)) {
    Clear();
    return false;
  }
  TakeOverNumbers();
  return true;
}

bool COGG::ReadPages(TagFile& file, bool readComment) {
  const int64_t start = State().id3v2Size;
  uint8_t id[VORBIS_IDHEADER::kSize];
  if (!file.Seek(start) || !m_FirstPage.Read(file)) return false;
  if (m_FirstPage.BodyLength() < static_cast<int32_t>(sizeof id) || !file.ReadExact(id, sizeof id)) return false;
  if (id[0] != 1 || std::memcmp(id + 1, "vorbis", 6) != 0) return false;
  m_IdHeader.Parse(id);

  // The identification packet fills the first page; the comment begins the second.
  const int64_t second = start + m_FirstPage.HeaderLength() + m_FirstPage.BodyLength();
  m_nSecondPagePos = static_cast<int32_t>(second);
  std::memset(m_CommentSignature, 0, sizeof m_CommentSignature);
  m_SecondPage = OGG_PAGEHEADER{};
  if (file.Seek(second) && m_SecondPage.Read(file)) {
    file.Read(m_CommentSignature, sizeof m_CommentSignature);
    if (readComment && std::memcmp(m_CommentSignature, kCommentSignature, 7) == 0) {
      // The comment packet may go on over further pages.
      HeaderPages hp;
      CollectPackets(file, second, m_FirstPage.serial, 1, false, hp);
      const Packet& packet = hp.packets.empty() ? hp.partial : hp.packets.front();
      if (packet.size() >= 7) {
        const size_t used = 7 + m_Comment.Parse(packet.data() + 7, packet.size() - 7);
        if (hp.pages == 1) m_nCommentEnd = static_cast<int32_t>(second + m_SecondPage.HeaderLength() + used);
      }
    }
  }
  m_nLastGranule = FindLastGranule(file);
  return true;
}

int32_t COGG::FindLastGranule(TagFile& file) {
  const int64_t size = file.Length();
  if (size <= 0) return 0;
  uint8_t window[251];
  for (int64_t o = 241; o < 12050; o += 241) {
    const int64_t winStart = size - o - 10;
    if (winStart + static_cast<int64_t>(sizeof window) <= 0) break;  // before the start of the file
    // The part of the window that lies within the file.
    const int64_t from = std::max<int64_t>(winStart, 0);
    const int64_t lo = from - winStart;
    const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(sizeof window) - lo, size - from));
    if (!file.Seek(from)) return 0;
    const int64_t hi = lo + static_cast<int64_t>(file.Read(window + lo, want));
    for (int64_t p = 241; p >= 1; --p) {
      if (p < lo || p + 4 > hi || std::memcmp(window + p, "OggS", 4) != 0) continue;
      uint8_t h[14];
      if (!file.Seek(winStart + p) || !file.ReadExact(h, sizeof h)) return 0;
      return static_cast<int32_t>(bytes::LE32(h + 6));
    }
  }
  return 0;
}

float COGG::GetDuration() {
  if (m_nTotalSamples > 0) {
    if (m_nSampleRate <= 0) return 0.0f;
    return static_cast<float>(m_nTotalSamples / m_nSampleRate);
  }
  if (m_nBitrateNominal > 0 && m_nChannels > 0)
    return static_cast<float>(double(State().fileSize - State().id3v2Size) / m_nBitrateNominal / m_nChannels * 0.016);
  return 0.0f;
}

int32_t COGG::GetBitrate() {
  const double d = GetDuration();
  if (d <= 0) return 0;
  return static_cast<int32_t>(double(State().fileSize - State().id3v2Size) / d * 0.008);
}

WString COGG::GetChannelMode() {
  switch (m_nChannels) {
    case 1: return u"Mono";
    case 2: return u"Stereo";
    case 6: return u"Multi Channel";
    default: return u"Unknown";
  }
}

bool COGG::IsValid() {
  return (m_nChannels == 1 || m_nChannels == 2) && m_nSampleRate > 0 && GetDuration() > 0.1f && GetBitrate() > 0;
}

GenericStrings COGG::GetGenericStrings() { return m_Comment.GetGenericStrings(); }

void COGG::SetGenericStrings(const GenericStrings& g) { m_Comment.SetGenericStrings(g); }

bool COGG::SaveChangesToFile(const WString& path) {
  TagFile src;
  if (!src.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), src, path);
    return false;
  }
  // The page structure of the file as it is now.
  if (!ReadPages(src, false)) return false;
  TakeOverNumbers();
  const int64_t second = m_nSecondPagePos;
  HeaderPages hp;
  if (!CollectPackets(src, second, m_FirstPage.serial, 2, true, hp)) return false;
  const Packet& old = hp.packets.front();
  if (old.size() < 7 || std::memcmp(old.data(), kCommentSignature, 7) != 0) return false;

  // New comment packet: signature, block, then whatever followed the old
  // block (the framing byte), or a framing byte when nothing did.
  CVorbisComment scratch;
  const size_t used = 7 + scratch.Parse(old.data() + 7, old.size() - 7);
  m_CommentPacket.Empty();
  m_CommentPacket.AppendBytes(kCommentSignature, 7);
  m_Comment.Serialize(m_CommentPacket);
  if (used < old.size())
    m_CommentPacket.AppendBytes(old.data() + used, static_cast<int32_t>(old.size() - used));
  else
    m_CommentPacket.AppendByte(1);

  const Packet comment(m_CommentPacket.GetData(), m_CommentPacket.GetData() + m_CommentPacket.GetLength());
  std::vector<const Packet*> packets{&comment};
  for (size_t i = 1; i < hp.packets.size(); ++i) packets.push_back(&hp.packets[i]);
  // Header pages on which a packet ends carry granule 0 (the old second
  // page's, when it had one); the last one keeps the old last page's.
  const uint64_t headerGranule = Granule(hp.first) == ~uint64_t(0) ? 0 : Granule(hp.first);
  const std::vector<Packet> pages = Paginate(packets, hp.first, headerGranule, Granule(hp.last));
  const int64_t delta = static_cast<int64_t>(pages.size()) - hp.pages;
  m_SecondPage = hp.first;
  m_SecondPage.segments = pages.front()[26];
  std::memcpy(m_SecondPage.lacing, pages.front().data() + 27, m_SecondPage.segments);
  m_SecondPage.checksum = bytes::LE32(pages.front().data() + 22);

  const int64_t length = src.Length();
  SafeRewrite rw(State());
  if (!rw.Begin(path, src)) return false;
  if (!rw.CopyFrom(src, 0, second)) return false;  // ID3v2 tag if any, and the first page
  for (const Packet& page : pages)
    if (!rw.Write(page.data(), page.size())) return false;
  if (delta == 0) {
    if (!rw.CopyFrom(src, hp.end, length - hp.end)) return false;
    return rw.Commit();
  }
  // The header took a different number of pages: the later pages of the
  // stream are renumbered and get new checksums; anything else is copied.
  int64_t pos = hp.end;
  Packet page;
  while (pos < length) {
    OGG_PAGEHEADER ph;
    if (!src.Seek(pos) || !ph.Read(src) || pos + ph.HeaderLength() + ph.BodyLength() > length) {
      if (!rw.CopyFrom(src, pos, length - pos)) return false;
      break;
    }
    page.resize(static_cast<size_t>(ph.HeaderLength() + ph.BodyLength()));
    if (!src.Seek(pos) || !src.ReadExact(page.data(), page.size())) {
      State().lastError = src.Error() ? src.Error() : EIO;
      return false;
    }
    if (ph.serial == m_FirstPage.serial) {
      bytes::PutLE32(page.data() + 18, static_cast<uint32_t>(ph.sequence + delta));
      bytes::PutLE32(page.data() + 22, 0);
      bytes::PutLE32(page.data() + 22, OggChecksum(page.data(), page.size()));
    }
    if (!rw.Write(page.data(), page.size())) return false;
    pos += static_cast<int64_t>(page.size());
  }
  return rw.Commit();
}

bool COGG::RemoveTagFromFile(const WString& path) {
  m_Comment.Clear();
  return SaveChangesToFile(path);
}

}  // namespace sonavex
