// Aac members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::AACGetHeaderType() { return {}; }
std::u16string CSonavexCtrl::AACGetProfile() { return {}; }
std::u16string CSonavexCtrl::AACGetBitRateType() { return {}; }

}  // namespace sonavex
