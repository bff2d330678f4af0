// CAudioFormat: the common base of the audio-format parsers. It fixes the seven
// questions the generic members ask of the current format and answers them
// itself for the control's bare object, which stands for "no format found".
#pragma once

#include "Module.h"
#include "TagFile.h"
#include "WString.h"

#include <cstdint>

namespace sonavex {

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
