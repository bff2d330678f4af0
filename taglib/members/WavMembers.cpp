// WAV members of the control: the fields of the WAV header.
#include "SonavexCtrl.h"

namespace sonavex {

int32_t CSonavexCtrl::WAVGetBitsPerSample() { return m_WAV.GetBitsPerSample(); }
int32_t CSonavexCtrl::WAVGetBlockAlign() { return m_WAV.GetBlockAlign(); }
int32_t CSonavexCtrl::WAVGetBytesPerSecond() { return m_WAV.GetBytesPerSecond(); }
int32_t CSonavexCtrl::WAVGetChannels() { return m_WAV.GetChannels(); }
int32_t CSonavexCtrl::WAVGetHeaderSize() { return m_WAV.GetHeaderSize(); }

}  // namespace sonavex
