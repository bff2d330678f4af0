// MPEG members of the control: the first frame's header, the VBR header, the
// encoder, the analyse-all-frames switch and the three changeable header bits.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

bool CSonavexCtrl::GetMPEGAnalyzeAllFrames() { return m_State.analyzeAllFrames; }
void CSonavexCtrl::SetMPEGAnalyzeAllFrames(bool v) { m_State.analyzeAllFrames = v; }
bool CSonavexCtrl::MPEGIsCopyrighted() { return m_MPEG.m_nCopyrightBit != 0; }
bool CSonavexCtrl::MPEGIsOriginal() { return m_MPEG.m_nOriginalBit != 0; }
bool CSonavexCtrl::MPEGIsPadding() { return m_MPEG.m_nPaddingBit != 0; }
bool CSonavexCtrl::MPEGIsPrivate() { return m_MPEG.m_nPrivateBit != 0; }
std::u16string CSonavexCtrl::MPEGGetEmphasis() { return m_MPEG.GetEmphasis(); }
std::u16string CSonavexCtrl::MPEGGetEncoder() { return m_MPEG.m_strEncoder; }
int32_t CSonavexCtrl::MPEGGetFramePosition() { return m_MPEG.m_nFirstFramePosition; }
int32_t CSonavexCtrl::MPEGGetFrameSize() { return m_MPEG.m_nFrameSize; }
int32_t CSonavexCtrl::MPEGGetFrames() { return m_MPEG.GetFrames(); }
std::u16string CSonavexCtrl::MPEGGetLayer() { return m_MPEG.GetLayer(); }
bool CSonavexCtrl::MPEGIsVBR() { return m_MPEG.m_Vbr.vbr != 0; }

bool CSonavexCtrl::MPEGModifyCopyrightBit(const std::u16string& path, int16_t v) {
  return m_MPEG.ModifyCopyrightBit(path, v != 0);
}
bool CSonavexCtrl::MPEGModifyOriginalBit(const std::u16string& path, int16_t v) {
  return m_MPEG.ModifyOriginalBit(path, v != 0);
}
bool CSonavexCtrl::MPEGModifyPrivateBit(const std::u16string& path, int16_t v) {
  return m_MPEG.ModifyPrivateBit(path, v != 0);
}

}  // namespace sonavex
