#include "Monkey.h"

#include "Bytes.h"
#include "Module.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace sonavex {

namespace {

constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kInt32Max)); }

int32_t Clamp32(double v) {
  if (!(v > 0)) return 0;
  return v >= double(kInt32Max) ? kInt32Max : static_cast<int32_t>(v);
}

}  // namespace

void CMonkey::Clear() { m_Header = MONKEY_HEADER{}; }

bool CMonkey::Read(TagFile& file) {
  Clear();
  // Both layouts fit in the first 76 bytes; what the file lacks reads as 0.
  uint8_t b[76];
  std::memset(b, 0, sizeof b);
  if (!file.Seek(State().id3v2Size)) return false;
  file.Read(b, sizeof b);
  if (std::memcmp(b, "MAC ", 4) != 0) return false;

  MONKEY_HEADER h{};
  std::memcpy(h.signature, b, 4);
  h.version = bytes::LE16(b + 4);
  if (h.version >= kDescriptorVersion) {
    h.descriptorBytes = bytes::LE32(b + 8);
    h.headerBytes = bytes::LE32(b + 12);
    h.seekTableBytes = bytes::LE32(b + 16);
    h.headerDataBytes = bytes::LE32(b + 20);
    h.frameDataBytesLow = bytes::LE32(b + 24);
    h.frameDataBytesHigh = bytes::LE32(b + 28);
    h.terminatingDataBytes = bytes::LE32(b + 32);
    std::memcpy(h.md5, b + 36, 16);
    h.compressionLevel = bytes::LE16(b + 52);
    h.newFormatFlags = bytes::LE16(b + 54);
    h.blocksPerFrame = bytes::LE32(b + 56);
    h.finalFrameBlocks = bytes::LE32(b + 60);
    h.totalFrames = bytes::LE32(b + 64);
    h.bitsPerSample = bytes::LE16(b + 68);
    h.channels = bytes::LE16(b + 70);
    h.sampleRate = bytes::LE32(b + 72);
  } else {
    h.compressionLevel = bytes::LE16(b + 6);
    h.formatFlags = bytes::LE16(b + 8);
    h.channels = bytes::LE16(b + 10);
    h.sampleRate = bytes::LE32(b + 12);
    h.wavHeaderBytes = bytes::LE32(b + 16);
    h.wavTerminatingBytes = bytes::LE32(b + 20);
    h.totalFrames = bytes::LE32(b + 24);
    h.finalFrameBlocks = bytes::LE32(b + 28);
    // The peak level and the seek elements are there only when flagged.
    if (h.formatFlags & kFlagPeakLevel) h.peakLevel = bytes::LE32(b + 32);
    if (h.formatFlags & kFlagSeekElements) h.seekElements = bytes::LE32(b + 36);
  }
  m_Header = h;
  return true;
}

bool CMonkey::Plausible() const {
  const double seconds = m_Header.sampleRate > 0 ? double(Samples()) / double(m_Header.sampleRate) : 0.0;
  return m_Header.channels <= 32 && PlausibleFigures(m_Header.sampleRate, m_Header.channels, BitsPerSample(), seconds);
}

bool CMonkey::IsValid() {
  return std::memcmp(m_Header.signature, "MAC ", 4) == 0 && m_Header.sampleRate > 0 && m_Header.channels != 0 &&
         Plausible();
}

int32_t CMonkey::GetChannels() { return Plausible() ? m_Header.channels : 0; }

uint32_t CMonkey::BlocksPerFrame() const {
  const uint16_t v = m_Header.version;
  if (v >= kDescriptorVersion) return m_Header.blocksPerFrame;
  if (v >= 3950) return 294912;
  if (v >= 3900 || (v >= 3800 && m_Header.compressionLevel == 4000)) return 73728;
  return 9216;
}

uint16_t CMonkey::BitsPerSample() const {
  if (m_Header.version >= kDescriptorVersion) return m_Header.bitsPerSample;
  if (m_Header.formatFlags & kFlag8Bit) return 8;
  if (m_Header.formatFlags & kFlag24Bit) return 24;
  return 16;
}

int64_t CMonkey::Samples() const {
  // Every frame but the last is full; a header without frames has no samples.
  if (m_Header.totalFrames == 0) return 0;
  const uint64_t n = uint64_t(m_Header.totalFrames - 1) * BlocksPerFrame() + m_Header.finalFrameBlocks;
  return static_cast<int64_t>(std::min<uint64_t>(n, uint64_t(std::numeric_limits<int64_t>::max())));
}

double CMonkey::Duration() {
  if (!IsValid()) return 0.0;
  return double(Samples()) / double(m_Header.sampleRate);
}

double CMonkey::CompressionRatio() {
  if (!IsValid()) return 0.0;
  // Audio bytes: the file without its ID3v2, APE and ID3v1 tags.
  const int64_t audio = std::max<int64_t>(0, int64_t(State().fileSize) - State().apeSize - State().id3v1Size - State().id3v2Size);
  const unsigned __int128 pcmBits =
      static_cast<unsigned __int128>(m_Header.channels) * BitsPerSample() * static_cast<uint64_t>(Samples());
  const uint32_t wavHeader = m_Header.version >= kDescriptorVersion ? m_Header.headerDataBytes : 0;
  const unsigned __int128 uncompressed = pcmBits / 8 + wavHeader;
  if (uncompressed == 0) return 0.0;
  return double(audio) / static_cast<double>(uncompressed);
}

float CMonkey::GetDuration() { return static_cast<float>(Duration()); }

int32_t CMonkey::GetSampleRate() { return Plausible() ? Clamp32(int64_t(m_Header.sampleRate)) : 0; }

int32_t CMonkey::GetBitrate() {
  const double duration = Duration();
  if (!(duration > 0)) return 0;
  const unsigned __int128 pcmBits =
      static_cast<unsigned __int128>(m_Header.channels) * BitsPerSample() * static_cast<uint64_t>(Samples());
  const double bps = std::floor(static_cast<double>(pcmBits) / duration * CompressionRatio());
  return Clamp32(bps / 1000.0);
}

WString CMonkey::GetChannelMode() {
  switch (GetChannels()) {
    case 1: return u"Mono";
    case 2: return u"Stereo";
    default: return u"Unknown";
  }
}

WString CMonkey::GetVersion() {
  if (m_Header.version == 0) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%4.2f", m_Header.version / 1000.0);
  return FromUtf8(text);
}

int16_t CMonkey::GetBits() { return IsValid() ? static_cast<int16_t>(std::min<uint16_t>(BitsPerSample(), 32767)) : 0; }

float CMonkey::GetPeak() {
  if (!IsValid() || !(m_Header.formatFlags & kFlagPeakLevel)) return 0.0f;
  const uint16_t bits = BitsPerSample();
  const double fullScale = bits == 8 ? 128.0 : bits == 24 ? 8388608.0 : 32768.0;
  return static_cast<float>(double(m_Header.peakLevel) * 100.0 / fullScale);
}

int64_t CMonkey::GetSamples() { return IsValid() ? Samples() : 0; }

int32_t CMonkey::GetSamplesPerFrame() { return IsValid() ? Clamp32(int64_t(BlocksPerFrame())) : 0; }

float CMonkey::GetCompressionRatio() { return static_cast<float>(CompressionRatio()); }

int32_t CMonkey::GetFrames() const { return Clamp32(int64_t(m_Header.totalFrames)); }

WString CMonkey::GetCompressionName() const {
  switch (m_Header.compressionLevel / 1000) {
    case 1: return u"Fast";
    case 2: return u"Normal";
    case 3: return u"High";
    case 4: return u"Extra High";
    default: return u"Unknown";
  }
}

}  // namespace sonavex
