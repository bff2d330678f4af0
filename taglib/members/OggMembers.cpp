// Ogg members of the control: the fields of the Ogg Vorbis file's comment,
// its nominal bitrate, the save and the removal of the comment.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

using VC = CVorbisComment;

#define OGG_TEXT_PROPERTY(Member, Field)                                             \
  std::u16string CSonavexCtrl::Get##Member() { return m_OGG.m_Comment[VC::Field]; } \
  void CSonavexCtrl::Set##Member(const std::u16string& v) { m_OGG.m_Comment.Put(VC::Field, v); }

OGG_TEXT_PROPERTY(OGGAlbum, kAlbum)
OGG_TEXT_PROPERTY(OGGArtist, kArtist)
OGG_TEXT_PROPERTY(OGGComment, kComment)
OGG_TEXT_PROPERTY(OGGDate, kDate)
OGG_TEXT_PROPERTY(OGGDescription, kDescription)
OGG_TEXT_PROPERTY(OGGGenre, kGenre)
OGG_TEXT_PROPERTY(OGGPerformer, kPerformer)
OGG_TEXT_PROPERTY(OGGTitle, kTitle)
OGG_TEXT_PROPERTY(OGGTrack, kTrackNumber)
OGG_TEXT_PROPERTY(OGGVersion, kVersion)
OGG_TEXT_PROPERTY(OGGCopyright, kCopyright)
OGG_TEXT_PROPERTY(OGGLicense, kLicense)
OGG_TEXT_PROPERTY(OGGOrganization, kOrganization)
OGG_TEXT_PROPERTY(OGGLocation, kLocation)
OGG_TEXT_PROPERTY(OggContact, kContact)
OGG_TEXT_PROPERTY(OGGISRC, kISRC)

#undef OGG_TEXT_PROPERTY

std::u16string CSonavexCtrl::GetOGGVendor() { return m_OGG.m_Comment.m_strVendor; }
void CSonavexCtrl::SetOGGVendor(const std::u16string& v) { m_OGG.m_Comment.m_strVendor = v; }

int32_t CSonavexCtrl::OGGGetBitRateNominal() { return m_OGG.GetBitRateNominal(); }

bool CSonavexCtrl::OGGSaveChangesToFile(const std::u16string& fileName) {
  if (DetectFileFormat(fileName) != kFormatOGG) {
    m_State.lastError = RefusedFormat(m_State);
    return false;
  }
  return m_OGG.SaveChangesToFile(fileName);
}

// No format check: a file that is not Ogg Vorbis fails when its pages are read.
bool CSonavexCtrl::OGGRemoveTagFromFile(const std::u16string& fileName) { return m_OGG.RemoveTagFromFile(fileName); }

}  // namespace sonavex
