// Lyrics members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetLYRICSAlbum() { return {}; }
void CSonavexCtrl::SetLYRICSAlbum(const std::u16string&) {}
std::u16string CSonavexCtrl::GetLYRICSArtist() { return {}; }
void CSonavexCtrl::SetLYRICSArtist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetLYRICSAuthor() { return {}; }
void CSonavexCtrl::SetLYRICSAuthor(const std::u16string&) {}
std::u16string CSonavexCtrl::GetLYRICSGenre() { return {}; }
void CSonavexCtrl::SetLYRICSGenre(const std::u16string&) {}
std::u16string CSonavexCtrl::GetLYRICSImageLink() { return {}; }
void CSonavexCtrl::SetLYRICSImageLink(const std::u16string&) {}
std::u16string CSonavexCtrl::GetLYRICSIndication() { return {}; }
void CSonavexCtrl::SetLYRICSIndication(const std::u16string&) {}
std::u16string CSonavexCtrl::GetLYRICSInformation() { return {}; }
void CSonavexCtrl::SetLYRICSInformation(const std::u16string&) {}
std::u16string CSonavexCtrl::GetLYRICSLyrics() { return {}; }
void CSonavexCtrl::SetLYRICSLyrics(const std::u16string&) {}
std::u16string CSonavexCtrl::GetLYRICSTitle() { return {}; }
void CSonavexCtrl::SetLYRICSTitle(const std::u16string&) {}
bool CSonavexCtrl::LYRICSExists() { return false; }
int32_t CSonavexCtrl::LYRICSGetSize() { return 0; }
int32_t CSonavexCtrl::LYRICSGetStartPosition() { return 0; }
std::u16string CSonavexCtrl::LYRICSGetVersion() { return {}; }
bool CSonavexCtrl::LYRICSRemoveTagFromFile(const std::u16string&) { return false; }
bool CSonavexCtrl::LYRICSSaveChangesToFile(const std::u16string&) { return false; }

}  // namespace sonavex
