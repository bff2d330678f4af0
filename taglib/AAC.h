// CAAC: the stream header of a raw AAC file, either one ADIF header at the
// start of the stream or ADTS frames with a header in front of each frame.
// AAC files carry no tag of their own; their tags are ID3v2, APE, ID3v1 or
// Lyrics3 and are read by those classes.
#pragma once

#include "AudioFormat.h"

#include <cstdint>

namespace sonavex {

class CAAC : public CAudioFormat {
 public:
  enum HeaderType : uint8_t { kHeaderNone = 0, kHeaderADIF = 1, kHeaderADTS = 2 };
  enum Version : uint8_t { kVersionUnknown = 0, kVersionMPEG2 = 1, kVersionMPEG4 = 2 };
  enum BitrateType : uint8_t { kBitrateUnknown = 0, kBitrateCBR = 1, kBitrateVBR = 2 };

  int32_t GetChannels() override { return m_nChannels; }
  // Seconds: the bytes after the leading ID3v2 tag at the header's bit rate.
  float GetDuration() override;
  int32_t GetSampleRate() override { return m_nSampleRate; }
  // kbit/s, rounded to the nearest whole number.
  int32_t GetBitrate() override;
  WString GetVersion() override;
  bool IsValid() override;

  void Clear() override;
  bool Read(TagFile& file) override;

  // Names for the header fields ("Unknown" for 0).
  WString GetHeaderTypeName() const;
  WString GetProfileName() const;
  WString GetBitrateTypeName() const;

  uint8_t HeaderType() const { return m_nHeaderType; }
  uint8_t VersionId() const { return m_nVersion; }
  uint8_t Profile() const { return m_nProfile; }
  uint8_t BitrateKind() const { return m_nBitrateType; }
  // Bits per second as the header gives it or the frames average to.
  int32_t BitRateBps() const { return m_nBitRate; }

 private:
  // The duration as the header gives it (GetDuration reports it when real).
  double Seconds() const;
  void ReadADIF(TagFile& file, int64_t start);
  void ReadADTS(TagFile& file, int64_t start);

  uint8_t m_nHeaderType = 0;
  uint8_t m_nVersion = 0;
  uint8_t m_nProfile = 0;
  uint8_t m_nChannels = 0;
  int32_t m_nSampleRate = 0;
  int32_t m_nBitRate = 0;
  uint8_t m_nBitrateType = 0;
};

}  // namespace sonavex
