// CMPEG: the parser of MPEG audio streams (MPEG-1, MPEG-2 and MPEG 2.5,
// Layers I to III). It finds the first frame behind the ID3v2 tag, decodes
// its header, reads a Xing or VBRI header, guesses the encoder, optionally
// walks every frame, and can set or clear three bits of the first frame's
// header in a file.
#pragma once

#include "AudioFormat.h"

#include <cstdint>
#include <vector>

namespace sonavex {

class CMPEG : public CAudioFormat {
 public:
  // The search reads the file in windows of this many bytes and tests the
  // first half of each window's positions.
  static constexpr int kWindowSize = 3460;
  static constexpr int kWindowStep = 1729;

  struct VbrInfo {
    char tag[4];
    uint8_t vbr;
    int32_t frames;
    int32_t bytes;
    uint8_t quality;
    uint8_t encoder[8];
  };

  CMPEG() { Clear(); }

  void Clear() override;
  bool Read(TagFile& file) override;

  int32_t GetChannels() override;
  float GetDuration() override;
  int32_t GetSampleRate() override;
  int32_t GetBitrate() override;
  WString GetChannelMode() override;
  WString GetVersion() override;
  bool IsValid() override;

  int32_t GetFrames();
  WString GetLayer() const;
  WString GetEmphasis() const;

  bool ModifyCopyrightBit(const WString& path, bool set) { return ModifyHeaderBit(path, 3, 0x08, set); }
  bool ModifyOriginalBit(const WString& path, bool set) { return ModifyHeaderBit(path, 3, 0x04, set); }
  bool ModifyPrivateBit(const WString& path, bool set) { return ModifyHeaderBit(path, 2, 0x01, set); }

  // The eight header validity rules.
  static bool IsValidHeader(const uint8_t* b);
  // CRC-16 (polynomial 0x8005, start 0xFFFF) of a frame's header bytes 2 and 3
  // and the protected bits that follow the CRC word; false when the frame's
  // protected part cannot be measured from the bytes given.
  static bool ComputeFrameCrc(const uint8_t* frame, size_t available, uint16_t& crc);

  WString m_strEncoder;
  uint8_t m_TailTag[10] = {};
  int32_t m_nWindowStart = 0;
  int32_t m_nBitrateSum = 0;
  float m_fSecondsPerFrame = 0.0f;
  VbrInfo m_Vbr{};
  // lame's Info header of a constant-rate stream: its frame count (0 when
  // there is none) and the encoder's delay and padding in samples from the
  // LAME tag behind it.
  int32_t m_nInfoFrames = 0;
  int32_t m_nEncoderDelay = 0;
  int32_t m_nEncoderPadding = 0;
  // Where the audio frames begin: behind a first frame that holds a Xing,
  // Info or VBRI header (such a frame is silence, and an encoder may code it
  // at another bitrate than the stream), else at the first frame. The
  // bitrate in the header of the frame there (0 when none is valid).
  int32_t m_nAudioStart = 0;
  int32_t m_nAudioBitrate = 0;
  int32_t m_nFirstFramePosition = 0;
  int32_t m_nFrameSize = 0;
  uint8_t m_nVersionIndex = 1;
  uint8_t m_nLayerIndex = 0;
  uint8_t m_nBitrateIndex = 0;
  uint8_t m_nSampleRateIndex = 3;
  uint8_t m_nChannelMode = 4;
  uint8_t m_nModeExtension = 4;
  uint8_t m_nEmphasis = 2;
  bool m_bFound = false;
  uint8_t m_nProtectionBit = 0;
  uint8_t m_nPaddingBit = 0;
  uint8_t m_nPrivateBit = 0;
  uint8_t m_nCopyrightBit = 0;
  uint8_t m_nOriginalBit = 0;
  bool m_bZeroAfterHeader = false;

 private:
  void DecodeHeader(const uint8_t* b);
  // The duration as the header gives it (GetDuration reports it when real).
  double Seconds();
  int32_t GetFrameSizeFactor() const;
  int32_t GetPaddingSize() const;
  int32_t GetTableBitrate() const;
  int32_t GetFrameLength() const;
  int64_t GetAudioBytes() const;
  // Tests the positions of the window just read (got bytes of it).
  void FindFirstFrame(TagFile& file, size_t got);
  void FindEncoderTag(size_t got, int32_t count);
  int GuessEncoder() const;
  int EncoderId() const;
  void BuildEncoderString();
  void AnalyzeAllFrames(TagFile& file);
  bool ModifyHeaderBit(const WString& path, int byteIndex, uint8_t mask, bool set);

  // The bytes last read by the first-frame search or the tail search, of
  // this object only.
  std::vector<uint8_t> m_Window;
};

}  // namespace sonavex
