// AAC members of the control: the names of the AAC header fields.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::AACGetHeaderType() { return m_AAC.GetHeaderTypeName(); }
std::u16string CSonavexCtrl::AACGetProfile() { return m_AAC.GetProfileName(); }
std::u16string CSonavexCtrl::AACGetBitRateType() { return m_AAC.GetBitrateTypeName(); }

}  // namespace sonavex
