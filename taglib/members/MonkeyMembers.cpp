// Monkey members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

int16_t CSonavexCtrl::MONKEYGetBits() { return 0; }
std::u16string CSonavexCtrl::MONKEYGetCompression() { return {}; }
int32_t CSonavexCtrl::MONKEYGetFrames() { return 0; }
float CSonavexCtrl::MONKEYGetPeak() { return 0.0f; }
int32_t CSonavexCtrl::MONKEYGetSamples() { return 0; }
int32_t CSonavexCtrl::MONKEYGetSamplesPerFrame() { return 0; }
float CSonavexCtrl::MONKEYGetCompressionRatio() { return 0.0f; }

}  // namespace sonavex
