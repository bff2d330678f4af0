// CMonkey: the header of a Monkey's Audio file ("MAC "), in the older layout
// (versions below 3980) and in the descriptor-and-header layout (3980 on),
// and the figures derived from it. Its tags (usually APE) are read by the
// tag classes.
#pragma once

#include "AudioFormat.h"

#include <cstdint>

namespace sonavex {

// The union of the fields of both layouts, as read.
struct MONKEY_HEADER {
  char signature[4];
  uint16_t version;
  uint16_t compressionLevel;
  // Older layout.
  uint16_t formatFlags;
  uint16_t channels;
  uint32_t sampleRate;
  uint32_t wavHeaderBytes;
  uint32_t wavTerminatingBytes;
  uint32_t totalFrames;
  uint32_t finalFrameBlocks;
  uint32_t peakLevel;
  uint32_t seekElements;
  // Newer layout.
  uint32_t descriptorBytes;
  uint32_t headerBytes;
  uint32_t seekTableBytes;
  uint32_t headerDataBytes;
  uint32_t frameDataBytesLow;
  uint32_t frameDataBytesHigh;
  uint32_t terminatingDataBytes;
  uint8_t md5[16];
  uint16_t newFormatFlags;
  uint32_t blocksPerFrame;
  uint16_t bitsPerSample;
};

class CMonkey : public CAudioFormat {
 public:
  // Older layout's format flags.
  enum : uint16_t { kFlag8Bit = 1, kFlagPeakLevel = 4, kFlag24Bit = 8, kFlagSeekElements = 16 };
  static constexpr uint16_t kDescriptorVersion = 3980;

  // 0 for a header whose figures cannot be real.
  int32_t GetChannels() override;
  float GetDuration() override;
  int32_t GetSampleRate() override;
  int32_t GetBitrate() override;
  WString GetChannelMode() override;
  // The version as "%4.2f" of version / 1000 ("3.99"); "" without a version.
  WString GetVersion() override;
  bool IsValid() override;

  void Clear() override;
  bool Read(TagFile& file) override;

  // The derived figures; each is 0 when the header is not valid.
  int16_t GetBits();
  float GetPeak();
  int64_t GetSamples();
  int32_t GetSamplesPerFrame();
  float GetCompressionRatio();
  // As read, valid or not.
  int32_t GetFrames() const;
  WString GetCompressionName() const;

  const MONKEY_HEADER& Header() const { return m_Header; }

 private:
  // The header's rate, channels, bits and length could be real (Monkey's
  // Audio carries at most 32 channels).
  bool Plausible() const;
  uint32_t BlocksPerFrame() const;
  uint16_t BitsPerSample() const;
  int64_t Samples() const;
  double Duration();
  double CompressionRatio();

  MONKEY_HEADER m_Header{};
};

}  // namespace sonavex
