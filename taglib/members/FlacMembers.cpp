// Flac members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetFLACContact() { return {}; }
void CSonavexCtrl::SetFLACContact(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACDescription() { return {}; }
void CSonavexCtrl::SetFLACDescription(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACArtist() { return {}; }
void CSonavexCtrl::SetFLACArtist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACCopyright() { return {}; }
void CSonavexCtrl::SetFLACCopyright(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACDate() { return {}; }
void CSonavexCtrl::SetFLACDate(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACGenre() { return {}; }
void CSonavexCtrl::SetFLACGenre(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACISRC() { return {}; }
void CSonavexCtrl::SetFLACISRC(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACLicense() { return {}; }
void CSonavexCtrl::SetFLACLicense(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACLocation() { return {}; }
void CSonavexCtrl::SetFLACLocation(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACOrganization() { return {}; }
void CSonavexCtrl::SetFLACOrganization(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACPerformer() { return {}; }
void CSonavexCtrl::SetFLACPerformer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACTitle() { return {}; }
void CSonavexCtrl::SetFLACTitle(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACTrack() { return {}; }
void CSonavexCtrl::SetFLACTrack(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACAlbum() { return {}; }
void CSonavexCtrl::SetFLACAlbum(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACVersion() { return {}; }
void CSonavexCtrl::SetFLACVersion(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACComment() { return {}; }
void CSonavexCtrl::SetFLACComment(const std::u16string&) {}
std::u16string CSonavexCtrl::GetFLACVendor() { return {}; }
void CSonavexCtrl::SetFLACVendor(const std::u16string&) {}
int32_t CSonavexCtrl::FLACGetBitsPerSample() { return 0; }
int32_t CSonavexCtrl::FLACGetSamples() { return 0; }
int32_t CSonavexCtrl::FLACGetMinBlockSize() { return 0; }
int32_t CSonavexCtrl::FLACGetMaxBlockSize() { return 0; }
int32_t CSonavexCtrl::FLACGetMinFrameSize() { return 0; }
int32_t CSonavexCtrl::FLACGetMaxFrameSize() { return 0; }
bool CSonavexCtrl::FLACSaveChangesToFile(const std::u16string&) { return false; }
float CSonavexCtrl::FLACGetCompressionRatio() { return 0.0f; }

}  // namespace sonavex
