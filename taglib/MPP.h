// CMPP: the 12-byte stream header of a Musepack file of stream version 7 or
// 7.1 ("MP+"). Its tags (APE, ID3v1, Lyrics3, ID3v2) are read by the tag
// classes.
#pragma once

#include "AudioFormat.h"

#include <cstdint>

namespace sonavex {

class CMPP : public CAudioFormat {
 public:
  enum ChannelMode : uint8_t { kModeUnknown = 0, kModeStereo = 1, kModeJointStereo = 2 };

  // Musepack streams are always two-channel.
  int32_t GetChannels() override { return 2; }
  float GetDuration() override;
  int32_t GetSampleRate() override { return m_nSampleRate; }
  int32_t GetBitrate() override;
  WString GetChannelMode() override;
  // The encoder profile's name.
  WString GetVersion() override;
  bool IsValid() override;

  void Clear() override;
  bool Read(TagFile& file) override;

  // Frames as a count for the automation boundary (saturated at the 32-bit
  // maximum).
  int32_t GetFrames() const;
  // 7, 71 or 0.
  int16_t GetStreamVersion() const { return m_nStreamVersion; }
  uint8_t GetProfile() const { return m_nProfile; }

 private:
  // The duration as the header gives it (GetDuration reports it when real).
  double Seconds() const;
  uint8_t m_RawHeader[12] = {};
  uint32_t m_Words[3] = {};
  bool m_bValid = false;
  uint8_t m_nChannelMode = 0;
  // Read as the unsigned count the header stores.
  uint32_t m_nFrames = 0;
  int32_t m_nSampleRate = 0;
  uint8_t m_nStreamVersion = 0;
  uint8_t m_nProfile = 0;
};

}  // namespace sonavex
