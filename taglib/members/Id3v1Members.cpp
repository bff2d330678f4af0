// ID3V1 members of the control: the fields of the ID3v1 tag read by the last
// analysis, changed in memory by the setters and written by the save.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetID3V1Genre() { return m_ID3V1.m_Record.GetGenre(); }
void CSonavexCtrl::SetID3V1Genre(const std::u16string& v) { m_ID3V1.m_Record.SetGenre(v); }
std::u16string CSonavexCtrl::GetID3V1Album() { return m_ID3V1.m_Record.album; }
void CSonavexCtrl::SetID3V1Album(const std::u16string& v) { m_ID3V1.m_Record.album = v; }
std::u16string CSonavexCtrl::GetID3V1Artist() { return m_ID3V1.m_Record.artist; }
void CSonavexCtrl::SetID3V1Artist(const std::u16string& v) { m_ID3V1.m_Record.artist = v; }
std::u16string CSonavexCtrl::GetID3V1Comment() { return m_ID3V1.m_Record.comment; }
void CSonavexCtrl::SetID3V1Comment(const std::u16string& v) { m_ID3V1.m_Record.comment = v; }
std::u16string CSonavexCtrl::GetID3V1Title() { return m_ID3V1.m_Record.title; }
void CSonavexCtrl::SetID3V1Title(const std::u16string& v) { m_ID3V1.m_Record.title = v; }
std::u16string CSonavexCtrl::GetID3V1Track() { return m_ID3V1.m_Record.GetTrack(); }
void CSonavexCtrl::SetID3V1Track(const std::u16string& v) { m_ID3V1.m_Record.SetTrack(v); }
std::u16string CSonavexCtrl::GetID3V1Year() { return m_ID3V1.m_Record.year; }
void CSonavexCtrl::SetID3V1Year(const std::u16string& v) { m_ID3V1.m_Record.year = v; }
int16_t CSonavexCtrl::GetID3V1GenreID() { return m_ID3V1.m_Record.genre; }
void CSonavexCtrl::SetID3V1GenreID(int16_t v) { m_ID3V1.m_Record.genre = static_cast<uint8_t>(v & 0xFF); }
bool CSonavexCtrl::ID3V1Exists() { return m_State.id3v1Size > 0; }
std::u16string CSonavexCtrl::ID3V1GetVersion() { return m_ID3V1.GetVersion(); }
bool CSonavexCtrl::ID3V1RemoveTagFromFile(const std::u16string& path) { return m_ID3V1.RemoveTagFromFile(path); }

bool CSonavexCtrl::ID3V1SaveChangesToFile(const std::u16string& path) {
  // Only MPEG audio and Musepack files may carry the tag.
  m_nFormat = DetectFileFormat(path);
  if (m_nFormat != kFormatMPEG && m_nFormat != kFormatMPP) {
    m_State.lastError = RefusedFormat(m_State);
    return false;
  }
  return m_ID3V1.SaveChangesToFile(path);
}

std::u16string CSonavexCtrl::ID3V1GetGenreItem(int16_t number) { return CID3V1Record::GetGenreItem(number); }
int16_t CSonavexCtrl::ID3V1GetGenres() { return kID3V1GenreCount; }

}  // namespace sonavex
