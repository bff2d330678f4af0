// The WMA family: the 36 text fields of the WMA/ASF descriptions (by their
// index in CWMA) and the save.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetWMATitle() { return m_WMA.GetField(0); }
void CSonavexCtrl::SetWMATitle(const std::u16string& v) { m_WMA.SetField(0, v); }
std::u16string CSonavexCtrl::GetWMAArtist() { return m_WMA.GetField(1); }
void CSonavexCtrl::SetWMAArtist(const std::u16string& v) { m_WMA.SetField(1, v); }
std::u16string CSonavexCtrl::GetWMACopyright() { return m_WMA.GetField(2); }
void CSonavexCtrl::SetWMACopyright(const std::u16string& v) { m_WMA.SetField(2, v); }
std::u16string CSonavexCtrl::GetWMAComment() { return m_WMA.GetField(3); }
void CSonavexCtrl::SetWMAComment(const std::u16string& v) { m_WMA.SetField(3, v); }
std::u16string CSonavexCtrl::GetWMARating() { return m_WMA.GetField(4); }
void CSonavexCtrl::SetWMARating(const std::u16string& v) { m_WMA.SetField(4, v); }
std::u16string CSonavexCtrl::GetWMAAlbum() { return m_WMA.GetField(5); }
void CSonavexCtrl::SetWMAAlbum(const std::u16string& v) { m_WMA.SetField(5, v); }
std::u16string CSonavexCtrl::GetWMATrackNumber() { return m_WMA.GetField(6); }
void CSonavexCtrl::SetWMATrackNumber(const std::u16string& v) { m_WMA.SetField(6, v); }
std::u16string CSonavexCtrl::GetWMAYear() { return m_WMA.GetField(7); }
void CSonavexCtrl::SetWMAYear(const std::u16string& v) { m_WMA.SetField(7, v); }
std::u16string CSonavexCtrl::GetWMAGenre() { return m_WMA.GetField(8); }
void CSonavexCtrl::SetWMAGenre(const std::u16string& v) { m_WMA.SetField(8, v); }
std::u16string CSonavexCtrl::GetWMAAlbumArtist() { return m_WMA.GetField(9); }
void CSonavexCtrl::SetWMAAlbumArtist(const std::u16string& v) { m_WMA.SetField(9, v); }
std::u16string CSonavexCtrl::GetWMACategory() { return m_WMA.GetField(10); }
void CSonavexCtrl::SetWMACategory(const std::u16string& v) { m_WMA.SetField(10, v); }
std::u16string CSonavexCtrl::GetWMAComposer() { return m_WMA.GetField(11); }
void CSonavexCtrl::SetWMAComposer(const std::u16string& v) { m_WMA.SetField(11, v); }
std::u16string CSonavexCtrl::GetWMAConductor() { return m_WMA.GetField(12); }
void CSonavexCtrl::SetWMAConductor(const std::u16string& v) { m_WMA.SetField(12, v); }
std::u16string CSonavexCtrl::GetWMAEncodingTime() { return m_WMA.GetField(13); }
void CSonavexCtrl::SetWMAEncodingTime(const std::u16string& v) { m_WMA.SetField(13, v); }
std::u16string CSonavexCtrl::GetWMALanguage() { return m_WMA.GetField(14); }
void CSonavexCtrl::SetWMALanguage(const std::u16string& v) { m_WMA.SetField(14, v); }
std::u16string CSonavexCtrl::GetWMALyrics() { return m_WMA.GetField(15); }
void CSonavexCtrl::SetWMALyrics(const std::u16string& v) { m_WMA.SetField(15, v); }
std::u16string CSonavexCtrl::GetWMAProvider() { return m_WMA.GetField(16); }
void CSonavexCtrl::SetWMAProvider(const std::u16string& v) { m_WMA.SetField(16, v); }
std::u16string CSonavexCtrl::GetWMAPublisher() { return m_WMA.GetField(17); }
void CSonavexCtrl::SetWMAPublisher(const std::u16string& v) { m_WMA.SetField(17, v); }
std::u16string CSonavexCtrl::GetWMADistributor() { return m_WMA.GetField(18); }
void CSonavexCtrl::SetWMADistributor(const std::u16string& v) { m_WMA.SetField(18, v); }
std::u16string CSonavexCtrl::GetWMAParentalRating() { return m_WMA.GetField(19); }
void CSonavexCtrl::SetWMAParentalRating(const std::u16string& v) { m_WMA.SetField(19, v); }
std::u16string CSonavexCtrl::GetWMAProducer() { return m_WMA.GetField(20); }
void CSonavexCtrl::SetWMAProducer(const std::u16string& v) { m_WMA.SetField(20, v); }
std::u16string CSonavexCtrl::GetWMAToolName() { return m_WMA.GetField(21); }
void CSonavexCtrl::SetWMAToolName(const std::u16string& v) { m_WMA.SetField(21, v); }
std::u16string CSonavexCtrl::GetWMAToolVersion() { return m_WMA.GetField(22); }
void CSonavexCtrl::SetWMAToolVersion(const std::u16string& v) { m_WMA.SetField(22, v); }
std::u16string CSonavexCtrl::GetWMAWriter() { return m_WMA.GetField(23); }
void CSonavexCtrl::SetWMAWriter(const std::u16string& v) { m_WMA.SetField(23, v); }
std::u16string CSonavexCtrl::GetWMAAuthorURL() { return m_WMA.GetField(24); }
void CSonavexCtrl::SetWMAAuthorURL(const std::u16string& v) { m_WMA.SetField(24, v); }
std::u16string CSonavexCtrl::GetWMABeatsPerMinute() { return m_WMA.GetField(25); }
void CSonavexCtrl::SetWMABeatsPerMinute(const std::u16string& v) { m_WMA.SetField(25, v); }
std::u16string CSonavexCtrl::GetWMAContentGroupDescription() { return m_WMA.GetField(26); }
void CSonavexCtrl::SetWMAContentGroupDescription(const std::u16string& v) { m_WMA.SetField(26, v); }
std::u16string CSonavexCtrl::GetWMAEncodedBy() { return m_WMA.GetField(27); }
void CSonavexCtrl::SetWMAEncodedBy(const std::u16string& v) { m_WMA.SetField(27, v); }
std::u16string CSonavexCtrl::GetWMAEncodingSettings() { return m_WMA.GetField(28); }
void CSonavexCtrl::SetWMAEncodingSettings(const std::u16string& v) { m_WMA.SetField(28, v); }
std::u16string CSonavexCtrl::GetWMAInitialKey() { return m_WMA.GetField(29); }
void CSonavexCtrl::SetWMAInitialKey(const std::u16string& v) { m_WMA.SetField(29, v); }
std::u16string CSonavexCtrl::GetWMAMood() { return m_WMA.GetField(30); }
void CSonavexCtrl::SetWMAMood(const std::u16string& v) { m_WMA.SetField(30, v); }
std::u16string CSonavexCtrl::GetWMAPartOfSet() { return m_WMA.GetField(31); }
void CSonavexCtrl::SetWMAPartOfSet(const std::u16string& v) { m_WMA.SetField(31, v); }
std::u16string CSonavexCtrl::GetWMAPeriod() { return m_WMA.GetField(32); }
void CSonavexCtrl::SetWMAPeriod(const std::u16string& v) { m_WMA.SetField(32, v); }
std::u16string CSonavexCtrl::GetWMAPromotionURL() { return m_WMA.GetField(33); }
void CSonavexCtrl::SetWMAPromotionURL(const std::u16string& v) { m_WMA.SetField(33, v); }
std::u16string CSonavexCtrl::GetWMAUserWebURL() { return m_WMA.GetField(34); }
void CSonavexCtrl::SetWMAUserWebURL(const std::u16string& v) { m_WMA.SetField(34, v); }
std::u16string CSonavexCtrl::GetWMAISRC() { return m_WMA.GetField(35); }
void CSonavexCtrl::SetWMAISRC(const std::u16string& v) { m_WMA.SetField(35, v); }

bool CSonavexCtrl::WMASaveChangesToFile(const std::u16string& FileName) {
  // Only a file that is WMA itself may take the WMA descriptions.
  if (DetectFileFormat(FileName) != kFormatWMA) {
    m_State.lastError = RefusedFormat(m_State);
    return false;
  }
  return m_WMA.SaveChangesToFile(FileName);
}

}  // namespace sonavex
