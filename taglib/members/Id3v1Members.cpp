// Id3v1 members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetID3V1Genre() { return {}; }
void CSonavexCtrl::SetID3V1Genre(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V1Album() { return {}; }
void CSonavexCtrl::SetID3V1Album(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V1Artist() { return {}; }
void CSonavexCtrl::SetID3V1Artist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V1Comment() { return {}; }
void CSonavexCtrl::SetID3V1Comment(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V1Title() { return {}; }
void CSonavexCtrl::SetID3V1Title(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V1Track() { return {}; }
void CSonavexCtrl::SetID3V1Track(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V1Year() { return {}; }
void CSonavexCtrl::SetID3V1Year(const std::u16string&) {}
int16_t CSonavexCtrl::GetID3V1GenreID() { return 0; }
void CSonavexCtrl::SetID3V1GenreID(int16_t) {}
bool CSonavexCtrl::ID3V1Exists() { return false; }
std::u16string CSonavexCtrl::ID3V1GetVersion() { return {}; }
bool CSonavexCtrl::ID3V1RemoveTagFromFile(const std::u16string&) { return false; }
bool CSonavexCtrl::ID3V1SaveChangesToFile(const std::u16string&) { return false; }
std::u16string CSonavexCtrl::ID3V1GetGenreItem(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V1GetGenres() { return 0; }

}  // namespace sonavex
