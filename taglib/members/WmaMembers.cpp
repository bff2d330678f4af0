// Wma members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetWMAAlbum() { return {}; }
void CSonavexCtrl::SetWMAAlbum(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAArtist() { return {}; }
void CSonavexCtrl::SetWMAArtist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAComment() { return {}; }
void CSonavexCtrl::SetWMAComment(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAGenre() { return {}; }
void CSonavexCtrl::SetWMAGenre(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMATitle() { return {}; }
void CSonavexCtrl::SetWMATitle(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAYear() { return {}; }
void CSonavexCtrl::SetWMAYear(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMACopyright() { return {}; }
void CSonavexCtrl::SetWMACopyright(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMARating() { return {}; }
void CSonavexCtrl::SetWMARating(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMATrackNumber() { return {}; }
void CSonavexCtrl::SetWMATrackNumber(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAAlbumArtist() { return {}; }
void CSonavexCtrl::SetWMAAlbumArtist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMACategory() { return {}; }
void CSonavexCtrl::SetWMACategory(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAComposer() { return {}; }
void CSonavexCtrl::SetWMAComposer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAConductor() { return {}; }
void CSonavexCtrl::SetWMAConductor(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAEncodingTime() { return {}; }
void CSonavexCtrl::SetWMAEncodingTime(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMALanguage() { return {}; }
void CSonavexCtrl::SetWMALanguage(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMALyrics() { return {}; }
void CSonavexCtrl::SetWMALyrics(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAProvider() { return {}; }
void CSonavexCtrl::SetWMAProvider(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAPublisher() { return {}; }
void CSonavexCtrl::SetWMAPublisher(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMADistributor() { return {}; }
void CSonavexCtrl::SetWMADistributor(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAParentalRating() { return {}; }
void CSonavexCtrl::SetWMAParentalRating(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAProducer() { return {}; }
void CSonavexCtrl::SetWMAProducer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAToolName() { return {}; }
void CSonavexCtrl::SetWMAToolName(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAToolVersion() { return {}; }
void CSonavexCtrl::SetWMAToolVersion(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAWriter() { return {}; }
void CSonavexCtrl::SetWMAWriter(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAAuthorURL() { return {}; }
void CSonavexCtrl::SetWMAAuthorURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMABeatsPerMinute() { return {}; }
void CSonavexCtrl::SetWMABeatsPerMinute(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAEncodedBy() { return {}; }
void CSonavexCtrl::SetWMAEncodedBy(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAEncodingSettings() { return {}; }
void CSonavexCtrl::SetWMAEncodingSettings(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAInitialKey() { return {}; }
void CSonavexCtrl::SetWMAInitialKey(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAMood() { return {}; }
void CSonavexCtrl::SetWMAMood(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAPartOfSet() { return {}; }
void CSonavexCtrl::SetWMAPartOfSet(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAPeriod() { return {}; }
void CSonavexCtrl::SetWMAPeriod(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAPromotionURL() { return {}; }
void CSonavexCtrl::SetWMAPromotionURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAUserWebURL() { return {}; }
void CSonavexCtrl::SetWMAUserWebURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAContentGroupDescription() { return {}; }
void CSonavexCtrl::SetWMAContentGroupDescription(const std::u16string&) {}
std::u16string CSonavexCtrl::GetWMAISRC() { return {}; }
void CSonavexCtrl::SetWMAISRC(const std::u16string&) {}
bool CSonavexCtrl::WMASaveChangesToFile(const std::u16string&) { return false; }

}  // namespace sonavex
