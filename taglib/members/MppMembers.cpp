// Mpp members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

int32_t CSonavexCtrl::MPPGetFrames() { return 0; }
int16_t CSonavexCtrl::MPPGetStreamVersion() { return 0; }

}  // namespace sonavex
