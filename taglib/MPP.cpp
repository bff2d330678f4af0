#include "MPP.h"

#include "Bytes.h"
#include "Module.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace sonavex {

namespace {

constexpr int32_t kSampleRates[4] = {44100, 48000, 37800, 32000};

// Profile field of the header -> index into kProfileNames.
constexpr uint8_t kProfileIndex[16] = {0, 12, 0, 0, 0, 9, 10, 11, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr const char16_t* kProfileNames[13] = {
    u"Unknown", u"Thumb",       u"Radio",       u"Standard",    u"Xtreme",     u"Insane",      u"BrainDead",
    u"--quality 9", u"--quality 10", u"--quality 0", u"--quality 1", u"Telephone", u"Experimental"};

constexpr uint32_t kSamplesPerFrame = 1152;

}  // namespace

void CMPP::Clear() {
  std::memset(m_RawHeader, 0, sizeof m_RawHeader);
  std::memset(m_Words, 0, sizeof m_Words);
  m_bValid = false;
  m_nChannelMode = 0;
  m_nFrames = 0;
  m_nSampleRate = 0;
  m_nStreamVersion = 0;
  m_nProfile = 0;
}

bool CMPP::Read(TagFile& file) {
  Clear();
  uint8_t b[12];
  std::memset(b, 0, sizeof b);
  if (!file.Seek(State().id3v2Size)) return false;
  file.Read(b, sizeof b);
  if (std::memcmp(b, "MP+", 3) != 0) return false;

  std::memcpy(m_RawHeader, b, sizeof b);
  for (int i = 0; i < 3; ++i) m_Words[i] = bytes::LE32(b + 4 * i);
  const uint32_t third = m_Words[2];
  m_nStreamVersion = b[3] == 0x07 ? 7 : b[3] == 0x17 ? 71 : 0;
  m_bValid = m_nStreamVersion != 0;
  m_nSampleRate = kSampleRates[(third >> 16) & 3];
  if (m_bValid) {
    m_nChannelMode = static_cast<uint8_t>(kModeStereo + ((third >> 30) & 1));
    m_nFrames = m_Words[1];
    m_nProfile = kProfileIndex[(third >> 20) & 15];
  } else {
    // A stream version this header layout does not describe.
    m_nChannelMode = kModeJointStereo;
  }
  return true;
}

bool CMPP::IsValid() { return m_bValid && PlausibleFigures(m_nSampleRate, 2, 0, Seconds()); }

double CMPP::Seconds() const {
  if (m_nSampleRate <= 0) return 0.0;
  return double(m_nFrames) * kSamplesPerFrame / m_nSampleRate;
}

float CMPP::GetDuration() { return ReportedSeconds(Seconds()); }

int32_t CMPP::GetBitrate() {
  if (m_nFrames == 0) return 0;
  // Audio bytes: the file without its ID3v2, APE and ID3v1 tags; the sample
  // rate enters as whole kHz.
  const int64_t audio = std::max<int64_t>(0, int64_t(State().fileSize) - State().apeSize - State().id3v1Size - State().id3v2Size);
  const int64_t kbps = audio * (m_nSampleRate / 1000) * 8 / int64_t(m_nFrames) / kSamplesPerFrame;
  return static_cast<int32_t>(std::min<int64_t>(kbps, std::numeric_limits<int32_t>::max()));
}

WString CMPP::GetChannelMode() {
  switch (m_nChannelMode) {
    case kModeStereo: return u"Stereo";
    case kModeJointStereo: return u"Joint Stereo";
    default: return u"Unknown";
  }
}

WString CMPP::GetVersion() { return kProfileNames[m_nProfile < 13 ? m_nProfile : 0]; }

int32_t CMPP::GetFrames() const {
  return static_cast<int32_t>(std::min<uint32_t>(m_nFrames, uint32_t(std::numeric_limits<int32_t>::max())));
}

}  // namespace sonavex
