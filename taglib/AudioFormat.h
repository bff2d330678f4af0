// CAudioFormat: the common base of the audio-format parsers. It fixes the seven
// questions the generic members ask of the current format and answers them
// itself for the control's bare object, which stands for "no format found".
#pragma once

#include "Module.h"
#include "TagFile.h"
#include "WString.h"

#include <cstdint>

namespace sonavex {

// Figures no real audio has. A header that gives them describes no audio
// (a damaged or hostile file): it is not valid, and its figures are not
// reported. A figure of 0 is one the header does not give; each format
// judges those itself.
constexpr int64_t kMinSampleRate = 1000;    // below any rate audio is recorded at
constexpr int64_t kMaxSampleRate = 768000;  // above any rate of real recordings and converters
constexpr int64_t kMaxChannels = 64;
constexpr int64_t kMaxBitsPerSample = 64;
constexpr double kMaxSeconds = 7 * 24 * 3600.0;  // a week

// True when every given figure could be real.
bool PlausibleFigures(int64_t sampleRate, int64_t channels, int64_t bitsPerSample, double seconds);
// A duration as it is reported: 0 when no real audio lasts that long.
float ReportedSeconds(double seconds);

class CAudioFormat : public WithFileState {
 public:
  virtual ~CAudioFormat() = default;
  virtual int32_t GetChannels() { return 0; }
  virtual float GetDuration() { return 0.0f; }
  virtual int32_t GetSampleRate() { return 0; }
  virtual int32_t GetBitrate() { return 0; }
  // From GetChannels(): 1 "Mono", 2 "Stereo", anything else "Unknown".
  virtual WString GetChannelMode();
  virtual WString GetVersion() { return {}; }
  virtual bool IsValid() { return false; }

  // Every format reader: forget what the last read found...
  virtual void Clear() {}
  // ...and look for the format in the open file (binary, read-only, owned by
  // the caller). True when found; a reader that finds nothing clears itself.
  virtual bool Read(TagFile& file) { return false; }
};

}  // namespace sonavex
