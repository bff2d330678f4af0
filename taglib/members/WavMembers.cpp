// Wav members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

int32_t CSonavexCtrl::WAVGetBitsPerSample() { return 0; }
int32_t CSonavexCtrl::WAVGetBlockAlign() { return 0; }
int32_t CSonavexCtrl::WAVGetBytesPerSecond() { return 0; }
int32_t CSonavexCtrl::WAVGetChannels() { return 0; }
int32_t CSonavexCtrl::WAVGetHeaderSize() { return 0; }

}  // namespace sonavex
