// Format detection for saves: not built yet.
#include "SonavexCtrl.h"

namespace sonavex {

int16_t CSonavexCtrl::DetectFileFormat(const WString&) { return kFormatNone; }

}  // namespace sonavex
