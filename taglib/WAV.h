// CWAV: the header of a RIFF/WAVE file. A WAV file carries no tag that the
// library reads or writes.
#pragma once

#include "AudioFormat.h"

#include <cstdint>

namespace sonavex {

// The canonical header as it lies in the file (little-endian), plus the size
// of the data chunk.
struct WAV_HEADER {
  char riff[4];
  uint32_t riffSize;
  char wave[4];
  char fmt[4];
  uint32_t fmtSize;
  uint16_t formatTag;
  uint16_t channels;
  uint32_t sampleRate;
  uint32_t bytesPerSecond;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint32_t afterFmt;
  uint32_t dataSize;
};

class CWAV : public CAudioFormat {
 public:
  int32_t GetChannels() override { return m_nChannels; }
  float GetDuration() override;
  int32_t GetSampleRate() override { return m_nSampleRate; }
  // kbit/s from the bytes per second, truncated.
  int32_t GetBitrate() override;
  WString GetChannelMode() override;
  bool IsValid() override { return m_bValid; }

  void Clear() override;
  bool Read(TagFile& file) override;

  int32_t GetBitsPerSample() const { return m_nBitsPerSample; }
  int32_t GetBlockAlign() const { return m_nBlockAlign; }
  int32_t GetBytesPerSecond() const { return m_nBytesPerSecond; }
  int32_t GetHeaderSize() const { return m_nHeaderSize; }
  int64_t GetSamples() const { return m_nSamples; }
  const WAV_HEADER& Header() const { return m_Header; }

 private:
  WAV_HEADER m_Header{};
  bool m_bValid = false;
  uint16_t m_nChannels = 0;
  int32_t m_nSampleRate = 0;
  int32_t m_nBytesPerSecond = 0;
  uint16_t m_nBlockAlign = 0;
  uint16_t m_nBitsPerSample = 0;
  // Sample frames in the data: data size / block align (0 when the block
  // align is 0). Wide, so that a 4 GB data size never turns negative.
  int64_t m_nSamples = 0;
  int32_t m_nHeaderSize = 0;
};

}  // namespace sonavex
