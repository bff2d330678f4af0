#include "WAV.h"

#include "Bytes.h"
#include "Module.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace sonavex {

namespace {

constexpr int32_t kCanonicalHeaderSize = 44;
// Chunks looked at between the fmt chunk and the data chunk.
constexpr int kMaxChunks = 64;

// Reads up to n bytes at offset into dst; what the file lacks stays zero.
size_t ReadAt(TagFile& file, int64_t offset, uint8_t* dst, size_t n) {
  std::memset(dst, 0, n);
  if (offset < 0 || !file.Seek(offset)) return 0;
  return file.Read(dst, n);
}

int32_t ToInt32(uint32_t v) {
  return static_cast<int32_t>(std::min<uint32_t>(v, uint32_t(std::numeric_limits<int32_t>::max())));
}

// The size of the "data" chunk, looked for among the chunks from offset
// (writers put LIST, fact and other chunks between fmt and data) up to end;
// 0 when the file has none.
uint32_t FindDataSize(TagFile& file, int64_t offset, int64_t end) {
  for (int chunks = 0; chunks < kMaxChunks && offset + 8 <= end; ++chunks) {
    uint8_t head[8];
    if (ReadAt(file, offset, head, sizeof head) < sizeof head) break;
    const uint32_t size = bytes::LE32(head + 4);
    if (std::memcmp(head, "data", 4) == 0) return size;
    // Chunks are padded to an even length.
    offset += 8 + int64_t(size) + (size & 1);
  }
  return 0;
}

}  // namespace

void CWAV::Clear() {
  m_Header = WAV_HEADER{};
  m_bValid = false;
  m_nChannels = 0;
  m_nSampleRate = 0;
  m_nBytesPerSecond = 0;
  m_nBlockAlign = 0;
  m_nBitsPerSample = 0;
  m_nSamples = 0;
  m_nHeaderSize = 0;
}

bool CWAV::Read(TagFile& file) {
  Clear();
  const int64_t start = State().id3v2Size;
  uint8_t b[40];
  ReadAt(file, start, b, sizeof b);
  if (std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0 || std::memcmp(b + 12, "fmt ", 4) != 0)
    return false;

  WAV_HEADER h{};
  std::memcpy(h.riff, b, 4);
  h.riffSize = bytes::LE32(b + 4);
  std::memcpy(h.wave, b + 8, 4);
  std::memcpy(h.fmt, b + 12, 4);
  h.fmtSize = bytes::LE32(b + 16);
  h.formatTag = bytes::LE16(b + 20);
  h.channels = bytes::LE16(b + 22);
  h.sampleRate = bytes::LE32(b + 24);
  h.bytesPerSecond = bytes::LE32(b + 28);
  h.blockAlign = bytes::LE16(b + 32);
  h.bitsPerSample = bytes::LE16(b + 34);
  h.afterFmt = bytes::LE32(b + 36);
  h.dataSize = FindDataSize(file, start + 20 + int64_t(h.fmtSize) + (h.fmtSize & 1), State().fileSize);

  // Only mono and stereo files are taken; the format tag is not examined,
  // so compressed WAVE files are taken as well.
  if (h.channels != 1 && h.channels != 2) return false;

  m_Header = h;
  m_nChannels = h.channels;
  m_nSampleRate = ToInt32(h.sampleRate);
  m_nBytesPerSecond = ToInt32(h.bytesPerSecond);
  m_nBlockAlign = h.blockAlign;
  m_nBitsPerSample = h.bitsPerSample;
  m_nSamples = h.blockAlign ? int64_t(h.dataSize / h.blockAlign) : 0;
  m_nHeaderSize = std::min(kCanonicalHeaderSize, std::max<int32_t>(0, State().fileSize));
  m_bValid = true;
  // A header whose figures no real file has is refused like one of more
  // than two channels.
  if (!PlausibleFigures(h.sampleRate, h.channels, h.bitsPerSample, GetDuration())) {
    Clear();
    return false;
  }
  return true;
}

float CWAV::GetDuration() {
  if (!m_bValid) return 0.0f;
  if (m_nSamples == 0 && m_nBytesPerSecond > 0) {
    // No sample count: the bytes after the header at the byte rate.
    const int64_t bytes = std::max<int64_t>(0, int64_t(State().fileSize) - m_nHeaderSize);
    return static_cast<float>(double(bytes) / double(m_nBytesPerSecond));
  }
  if (m_nSamples > 0 && m_nSampleRate > 0) return static_cast<float>(double(m_nSamples) / double(m_nSampleRate));
  return 0.0f;
}

int32_t CWAV::GetBitrate() { return static_cast<int32_t>(int64_t(std::max(0, m_nBytesPerSecond)) * 8 / 1000); }

WString CWAV::GetChannelMode() {
  switch (m_nChannels) {
    case 1: return u"Mono";
    case 2: return u"Stereo";
    default: return u"Unknown";
  }
}

}  // namespace sonavex
