// The MP4 family: the text items (by their slot in CMP4), the number of
// cover pictures and the writing of one cover into a file of its own.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetMP4Album() { return m_MP4.GetField(0); }
void CSonavexCtrl::SetMP4Album(const std::u16string& v) { m_MP4.SetField(0, v); }
std::u16string CSonavexCtrl::GetMP4Artist() { return m_MP4.GetField(1); }
void CSonavexCtrl::SetMP4Artist(const std::u16string& v) { m_MP4.SetField(1, v); }
std::u16string CSonavexCtrl::GetMP4Author() { return m_MP4.GetField(2); }
void CSonavexCtrl::SetMP4Author(const std::u16string& v) { m_MP4.SetField(2, v); }
std::u16string CSonavexCtrl::GetMP4BeatsPerMinute() { return m_MP4.GetField(3); }
void CSonavexCtrl::SetMP4BeatsPerMinute(const std::u16string& v) { m_MP4.SetField(3, v); }
std::u16string CSonavexCtrl::GetMP4CDSetNumber() { return m_MP4.GetField(4); }
void CSonavexCtrl::SetMP4CDSetNumber(const std::u16string& v) { m_MP4.SetField(4, v); }
std::u16string CSonavexCtrl::GetMP4Comment() { return m_MP4.GetField(5); }
void CSonavexCtrl::SetMP4Comment(const std::u16string& v) { m_MP4.SetField(5, v); }
std::u16string CSonavexCtrl::GetMP4Compilation() { return m_MP4.GetField(6); }
void CSonavexCtrl::SetMP4Compilation(const std::u16string& v) { m_MP4.SetField(6, v); }
std::u16string CSonavexCtrl::GetMP4Composer() { return m_MP4.GetField(7); }
void CSonavexCtrl::SetMP4Composer(const std::u16string& v) { m_MP4.SetField(7, v); }
std::u16string CSonavexCtrl::GetMP4Copyright() { return m_MP4.GetField(8); }
void CSonavexCtrl::SetMP4Copyright(const std::u16string& v) { m_MP4.SetField(8, v); }
std::u16string CSonavexCtrl::GetMP4Date() { return m_MP4.GetField(9); }
void CSonavexCtrl::SetMP4Date(const std::u16string& v) { m_MP4.SetField(9, v); }
std::u16string CSonavexCtrl::GetMP4Description() { return m_MP4.GetField(10); }
void CSonavexCtrl::SetMP4Description(const std::u16string& v) { m_MP4.SetField(10, v); }
std::u16string CSonavexCtrl::GetMP4Director() { return m_MP4.GetField(11); }
void CSonavexCtrl::SetMP4Director(const std::u16string& v) { m_MP4.SetField(11, v); }
std::u16string CSonavexCtrl::GetMP4Disclaimer() { return m_MP4.GetField(12); }
void CSonavexCtrl::SetMP4Disclaimer(const std::u16string& v) { m_MP4.SetField(12, v); }
std::u16string CSonavexCtrl::GetMP4Encoder() { return m_MP4.GetField(13); }
void CSonavexCtrl::SetMP4Encoder(const std::u16string& v) { m_MP4.SetField(13, v); }
std::u16string CSonavexCtrl::GetMP4Genre() { return m_MP4.GetField(15); }
void CSonavexCtrl::SetMP4Genre(const std::u16string& v) { m_MP4.SetField(15, v); }
std::u16string CSonavexCtrl::GetMP4NetUrl() { return m_MP4.GetField(16); }
void CSonavexCtrl::SetMP4NetUrl(const std::u16string& v) { m_MP4.SetField(16, v); }
std::u16string CSonavexCtrl::GetMP4OriginalArtist() { return m_MP4.GetField(17); }
void CSonavexCtrl::SetMP4OriginalArtist(const std::u16string& v) { m_MP4.SetField(17, v); }
std::u16string CSonavexCtrl::GetMP4OriginalFormat() { return m_MP4.GetField(18); }
void CSonavexCtrl::SetMP4OriginalFormat(const std::u16string& v) { m_MP4.SetField(18, v); }
std::u16string CSonavexCtrl::GetMP4OriginalSource() { return m_MP4.GetField(19); }
void CSonavexCtrl::SetMP4OriginalSource(const std::u16string& v) { m_MP4.SetField(19, v); }
std::u16string CSonavexCtrl::GetMP4Performer() { return m_MP4.GetField(20); }
void CSonavexCtrl::SetMP4Performer(const std::u16string& v) { m_MP4.SetField(20, v); }
std::u16string CSonavexCtrl::GetMP4Producer() { return m_MP4.GetField(21); }
void CSonavexCtrl::SetMP4Producer(const std::u16string& v) { m_MP4.SetField(21, v); }
std::u16string CSonavexCtrl::GetMP4Title() { return m_MP4.GetField(14); }
void CSonavexCtrl::SetMP4Title(const std::u16string& v) { m_MP4.SetField(14, v); }
std::u16string CSonavexCtrl::GetMP4Track() { return m_MP4.GetField(22); }
void CSonavexCtrl::SetMP4Track(const std::u16string& v) { m_MP4.SetField(22, v); }
std::u16string CSonavexCtrl::GetMP4Warning() { return m_MP4.GetField(23); }
void CSonavexCtrl::SetMP4Warning(const std::u16string& v) { m_MP4.SetField(23, v); }
int32_t CSonavexCtrl::MP4GetPictureCount() { return m_MP4.GetPictureCount(); }
bool CSonavexCtrl::MP4LoadPicture(const std::u16string& FileName, int16_t Index) {
  return m_MP4.SavePicture(FileName, Index);
}

}  // namespace sonavex
