// Musepack members of the control: frames and stream version.
#include "SonavexCtrl.h"

namespace sonavex {

int32_t CSonavexCtrl::MPPGetFrames() { return m_MPP.GetFrames(); }
int16_t CSonavexCtrl::MPPGetStreamVersion() { return m_MPP.GetStreamVersion(); }

}  // namespace sonavex
