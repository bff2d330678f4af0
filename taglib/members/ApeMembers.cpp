// Ape members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetAPEAlbum() { return {}; }
void CSonavexCtrl::SetAPEAlbum(const std::u16string&) {}
std::u16string CSonavexCtrl::GetAPEArtist() { return {}; }
void CSonavexCtrl::SetAPEArtist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetAPEComment() { return {}; }
void CSonavexCtrl::SetAPEComment(const std::u16string&) {}
std::u16string CSonavexCtrl::GetAPECopyright() { return {}; }
void CSonavexCtrl::SetAPECopyright(const std::u16string&) {}
std::u16string CSonavexCtrl::GetAPEGenre() { return {}; }
void CSonavexCtrl::SetAPEGenre(const std::u16string&) {}
std::u16string CSonavexCtrl::GetAPETitle() { return {}; }
void CSonavexCtrl::SetAPETitle(const std::u16string&) {}
std::u16string CSonavexCtrl::GetAPETrack() { return {}; }
void CSonavexCtrl::SetAPETrack(const std::u16string&) {}
std::u16string CSonavexCtrl::GetAPEYear() { return {}; }
void CSonavexCtrl::SetAPEYear(const std::u16string&) {}
int32_t CSonavexCtrl::APEGetSize() { return 0; }
bool CSonavexCtrl::APEExists() { return false; }
std::u16string CSonavexCtrl::APEGetVersion() { return {}; }
bool CSonavexCtrl::APERemoveTagFromFile(const std::u16string&) { return false; }
bool CSonavexCtrl::APESaveChangesToFile(const std::u16string&) { return false; }

}  // namespace sonavex
