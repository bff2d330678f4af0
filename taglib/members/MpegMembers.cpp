// Mpeg members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

bool CSonavexCtrl::GetMPEGAnalyzeAllFrames() { return false; }
void CSonavexCtrl::SetMPEGAnalyzeAllFrames(bool) {}
bool CSonavexCtrl::MPEGIsCopyrighted() { return false; }
bool CSonavexCtrl::MPEGIsOriginal() { return false; }
bool CSonavexCtrl::MPEGIsPadding() { return false; }
bool CSonavexCtrl::MPEGIsPrivate() { return false; }
std::u16string CSonavexCtrl::MPEGGetEmphasis() { return {}; }
std::u16string CSonavexCtrl::MPEGGetEncoder() { return {}; }
int32_t CSonavexCtrl::MPEGGetFramePosition() { return 0; }
int32_t CSonavexCtrl::MPEGGetFrameSize() { return 0; }
int32_t CSonavexCtrl::MPEGGetFrames() { return 0; }
std::u16string CSonavexCtrl::MPEGGetLayer() { return {}; }
bool CSonavexCtrl::MPEGIsVBR() { return false; }
bool CSonavexCtrl::MPEGModifyCopyrightBit(const std::u16string&, int16_t) { return false; }
bool CSonavexCtrl::MPEGModifyOriginalBit(const std::u16string&, int16_t) { return false; }
bool CSonavexCtrl::MPEGModifyPrivateBit(const std::u16string&, int16_t) { return false; }

}  // namespace sonavex
