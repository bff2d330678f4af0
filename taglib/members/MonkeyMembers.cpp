// Monkey's Audio members of the control: the header and its derived figures.
#include "SonavexCtrl.h"

#include <algorithm>
#include <limits>

namespace sonavex {

int16_t CSonavexCtrl::MONKEYGetBits() { return m_Monkey.GetBits(); }
std::u16string CSonavexCtrl::MONKEYGetCompression() { return m_Monkey.GetCompressionName(); }
int32_t CSonavexCtrl::MONKEYGetFrames() { return m_Monkey.GetFrames(); }
float CSonavexCtrl::MONKEYGetPeak() { return m_Monkey.GetPeak(); }
int32_t CSonavexCtrl::MONKEYGetSamples() {
  // The boundary carries 32 bits; longer files saturate rather than wrap.
  return static_cast<int32_t>(std::min<int64_t>(m_Monkey.GetSamples(), std::numeric_limits<int32_t>::max()));
}
int32_t CSonavexCtrl::MONKEYGetSamplesPerFrame() { return m_Monkey.GetSamplesPerFrame(); }
float CSonavexCtrl::MONKEYGetCompressionRatio() { return m_Monkey.GetCompressionRatio(); }

}  // namespace sonavex
