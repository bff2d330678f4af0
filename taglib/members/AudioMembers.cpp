// The AUDIO family: the generic strings, the technical properties of the
// current format, the last error and the file size; analysis and the generic save.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetAUDIOTitle() { return m_strTitle; }
void CSonavexCtrl::SetAUDIOTitle(const std::u16string& v) { m_strTitle = v; }
std::u16string CSonavexCtrl::GetAUDIOArtist() { return m_strArtist; }
void CSonavexCtrl::SetAUDIOArtist(const std::u16string& v) { m_strArtist = v; }
std::u16string CSonavexCtrl::GetAUDIOAlbum() { return m_strAlbum; }
void CSonavexCtrl::SetAUDIOAlbum(const std::u16string& v) { m_strAlbum = v; }
std::u16string CSonavexCtrl::GetAUDIOComment() { return m_strComment; }
void CSonavexCtrl::SetAUDIOComment(const std::u16string& v) { m_strComment = v; }
std::u16string CSonavexCtrl::GetAUDIOGenre() { return m_strGenre; }
void CSonavexCtrl::SetAUDIOGenre(const std::u16string& v) { m_strGenre = v; }
std::u16string CSonavexCtrl::GetAUDIOTrack() { return m_strTrack; }
void CSonavexCtrl::SetAUDIOTrack(const std::u16string& v) { m_strTrack = v; }
std::u16string CSonavexCtrl::GetAUDIOYear() { return m_strYear; }
void CSonavexCtrl::SetAUDIOYear(const std::u16string& v) { m_strYear = v; }
int32_t CSonavexCtrl::AUDIOGetChannels() { return m_pFormat->GetChannels(); }
float CSonavexCtrl::AUDIOGetDuration() { return m_pFormat->GetDuration(); }
int32_t CSonavexCtrl::AUDIOGetSampleRate() { return m_pFormat->GetSampleRate(); }
int32_t CSonavexCtrl::AUDIOGetBitrate() { return m_pFormat->GetBitrate(); }
std::u16string CSonavexCtrl::AUDIOGetChannelMode() { return m_pFormat->GetChannelMode(); }
int32_t CSonavexCtrl::AUDIOGetLastErrorNumber() { return m_State.lastError; }
std::u16string CSonavexCtrl::AUDIOGetLastErrorText() { return ErrorText(m_State.lastError, m_State.errorPath); }
std::u16string CSonavexCtrl::AUDIOGetVersion() { return m_pFormat->GetVersion(); }
bool CSonavexCtrl::AUDIOFormatIsValid() { return m_pFormat->IsValid(); }
int32_t CSonavexCtrl::AUDIOGetFileSize() { return m_State.fileSize; }
int16_t CSonavexCtrl::AUDIOAnalyzeFile(const std::u16string& FileName) { return AnalyzeFile(FileName); }
bool CSonavexCtrl::AUDIOSaveChangesToFile(const std::u16string& FileName) { return SaveGenericStrings(FileName); }

}  // namespace sonavex
