#include "AudioFormat.h"

namespace sonavex {

bool PlausibleFigures(int64_t sampleRate, int64_t channels, int64_t bitsPerSample, double seconds) {
  const bool rate = sampleRate == 0 || (sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate);
  const bool channelCount = channels >= 0 && channels <= kMaxChannels;
  const bool bits = bitsPerSample >= 0 && bitsPerSample <= kMaxBitsPerSample;
  const bool duration = seconds >= 0.0 && seconds <= kMaxSeconds;  // false for NaN as well
  return rate && channelCount && bits && duration;
}

float ReportedSeconds(double seconds) {
  return seconds >= 0.0 && seconds <= kMaxSeconds ? static_cast<float>(seconds) : 0.0f;
}

WString CAudioFormat::GetChannelMode() {
  switch (GetChannels()) {
    case 1: return u"Mono";
    case 2: return u"Stereo";
    default: return u"Unknown";
  }
}

}  // namespace sonavex
