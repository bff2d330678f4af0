// APE members of the control: the eight text items of the APE tag read by the
// last analysis, changed in memory by the setters and written by the save.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetAPEAlbum() { return m_APE.m_strValues[CAPETag::kALBUM]; }
void CSonavexCtrl::SetAPEAlbum(const std::u16string& v) { m_APE.m_strValues[CAPETag::kALBUM] = v; }
std::u16string CSonavexCtrl::GetAPEArtist() { return m_APE.m_strValues[CAPETag::kARTIST]; }
void CSonavexCtrl::SetAPEArtist(const std::u16string& v) { m_APE.m_strValues[CAPETag::kARTIST] = v; }
std::u16string CSonavexCtrl::GetAPEComment() { return m_APE.m_strValues[CAPETag::kCOMMENT]; }
void CSonavexCtrl::SetAPEComment(const std::u16string& v) { m_APE.m_strValues[CAPETag::kCOMMENT] = v; }
std::u16string CSonavexCtrl::GetAPECopyright() { return m_APE.m_strValues[CAPETag::kCOPYRIGHT]; }
void CSonavexCtrl::SetAPECopyright(const std::u16string& v) { m_APE.m_strValues[CAPETag::kCOPYRIGHT] = v; }
std::u16string CSonavexCtrl::GetAPEGenre() { return m_APE.m_strValues[CAPETag::kGENRE]; }
void CSonavexCtrl::SetAPEGenre(const std::u16string& v) { m_APE.m_strValues[CAPETag::kGENRE] = v; }
std::u16string CSonavexCtrl::GetAPETitle() { return m_APE.m_strValues[CAPETag::kTITLE]; }
void CSonavexCtrl::SetAPETitle(const std::u16string& v) { m_APE.m_strValues[CAPETag::kTITLE] = v; }
std::u16string CSonavexCtrl::GetAPETrack() { return m_APE.m_strValues[CAPETag::kTRACK]; }
void CSonavexCtrl::SetAPETrack(const std::u16string& v) { m_APE.m_strValues[CAPETag::kTRACK] = v; }
std::u16string CSonavexCtrl::GetAPEYear() { return m_APE.m_strValues[CAPETag::kYEAR]; }
void CSonavexCtrl::SetAPEYear(const std::u16string& v) { m_APE.m_strValues[CAPETag::kYEAR] = v; }
int32_t CSonavexCtrl::APEGetSize() { return m_APE.m_Header.tagSize; }
bool CSonavexCtrl::APEExists() { return m_State.apeSize > 0; }
std::u16string CSonavexCtrl::APEGetVersion() { return m_APE.GetVersion(); }

bool CSonavexCtrl::APERemoveTagFromFile(const std::u16string& path) {
  if (!m_APE.RemoveFromFile(path)) return false;
  m_APE.Clear();
  return true;
}

bool CSonavexCtrl::APESaveChangesToFile(const std::u16string& path) {
  // Only MPEG audio, Monkey's Audio and Musepack files may carry the tag.
  m_nFormat = DetectFileFormat(path);
  if (m_nFormat != kFormatMPEG && m_nFormat != kFormatMonkey && m_nFormat != kFormatMPP) {
    m_State.lastError = RefusedFormat(m_State);
    return false;
  }
  return m_APE.SaveToFile(path);
}

}  // namespace sonavex
