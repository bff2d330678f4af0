// LYRICS members of the control: the nine fields of the Lyrics3 block read by
// the last analysis, changed in memory by the setters and written by the save.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetLYRICSAlbum() { return m_Lyrics.m_strFields[CLyricsTag::kEAL]; }
void CSonavexCtrl::SetLYRICSAlbum(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kEAL] = v; }
std::u16string CSonavexCtrl::GetLYRICSArtist() { return m_Lyrics.m_strFields[CLyricsTag::kEAR]; }
void CSonavexCtrl::SetLYRICSArtist(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kEAR] = v; }
std::u16string CSonavexCtrl::GetLYRICSAuthor() { return m_Lyrics.m_strFields[CLyricsTag::kAUT]; }
void CSonavexCtrl::SetLYRICSAuthor(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kAUT] = v; }
std::u16string CSonavexCtrl::GetLYRICSGenre() { return m_Lyrics.m_strFields[CLyricsTag::kGRE]; }
void CSonavexCtrl::SetLYRICSGenre(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kGRE] = v; }
std::u16string CSonavexCtrl::GetLYRICSImageLink() { return m_Lyrics.m_strFields[CLyricsTag::kIMG]; }
void CSonavexCtrl::SetLYRICSImageLink(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kIMG] = v; }
std::u16string CSonavexCtrl::GetLYRICSIndication() { return m_Lyrics.m_strFields[CLyricsTag::kIND]; }
void CSonavexCtrl::SetLYRICSIndication(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kIND] = v; }
std::u16string CSonavexCtrl::GetLYRICSInformation() { return m_Lyrics.m_strFields[CLyricsTag::kINF]; }
void CSonavexCtrl::SetLYRICSInformation(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kINF] = v; }
std::u16string CSonavexCtrl::GetLYRICSLyrics() { return m_Lyrics.m_strFields[CLyricsTag::kLYR]; }
void CSonavexCtrl::SetLYRICSLyrics(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kLYR] = v; }
std::u16string CSonavexCtrl::GetLYRICSTitle() { return m_Lyrics.m_strFields[CLyricsTag::kETT]; }
void CSonavexCtrl::SetLYRICSTitle(const std::u16string& v) { m_Lyrics.m_strFields[CLyricsTag::kETT] = v; }
bool CSonavexCtrl::LYRICSExists() { return m_State.lyricsSize > 0; }
int32_t CSonavexCtrl::LYRICSGetSize() { return m_State.lyricsSize; }
int32_t CSonavexCtrl::LYRICSGetStartPosition() { return m_Lyrics.m_nStartPosition; }
std::u16string CSonavexCtrl::LYRICSGetVersion() { return m_Lyrics.GetVersion(); }
bool CSonavexCtrl::LYRICSRemoveTagFromFile(const std::u16string& path) { return m_Lyrics.RemoveTagFromFile(path); }

bool CSonavexCtrl::LYRICSSaveChangesToFile(const std::u16string& path) {
  // Only MPEG audio and Musepack files may carry the block.
  m_nFormat = DetectFileFormat(path);
  if (m_nFormat != kFormatMPEG && m_nFormat != kFormatMPP) {
    m_State.lastError = RefusedFormat(m_State);
    return false;
  }
  return m_Lyrics.SaveChangesToFile(path);
}

}  // namespace sonavex
