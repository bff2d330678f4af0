#include "AudioFormat.h"

namespace sonavex {

WString CAudioFormat::GetChannelMode() {
  switch (GetChannels()) {
    case 1: return u"Mono";
    case 2: return u"Stereo";
    default: return u"Unknown";
  }
}

}  // namespace sonavex
