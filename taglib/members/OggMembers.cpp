// Ogg members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetOGGAlbum() { return {}; }
void CSonavexCtrl::SetOGGAlbum(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGArtist() { return {}; }
void CSonavexCtrl::SetOGGArtist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGComment() { return {}; }
void CSonavexCtrl::SetOGGComment(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGDate() { return {}; }
void CSonavexCtrl::SetOGGDate(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGDescription() { return {}; }
void CSonavexCtrl::SetOGGDescription(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGGenre() { return {}; }
void CSonavexCtrl::SetOGGGenre(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGPerformer() { return {}; }
void CSonavexCtrl::SetOGGPerformer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGTitle() { return {}; }
void CSonavexCtrl::SetOGGTitle(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGTrack() { return {}; }
void CSonavexCtrl::SetOGGTrack(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGVendor() { return {}; }
void CSonavexCtrl::SetOGGVendor(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGVersion() { return {}; }
void CSonavexCtrl::SetOGGVersion(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGCopyright() { return {}; }
void CSonavexCtrl::SetOGGCopyright(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGLicense() { return {}; }
void CSonavexCtrl::SetOGGLicense(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGOrganization() { return {}; }
void CSonavexCtrl::SetOGGOrganization(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGLocation() { return {}; }
void CSonavexCtrl::SetOGGLocation(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOggContact() { return {}; }
void CSonavexCtrl::SetOggContact(const std::u16string&) {}
std::u16string CSonavexCtrl::GetOGGISRC() { return {}; }
void CSonavexCtrl::SetOGGISRC(const std::u16string&) {}
int32_t CSonavexCtrl::OGGGetBitRateNominal() { return 0; }
bool CSonavexCtrl::OGGSaveChangesToFile(const std::u16string&) { return false; }
bool CSonavexCtrl::OGGRemoveTagFromFile(const std::u16string&) { return false; }

}  // namespace sonavex
