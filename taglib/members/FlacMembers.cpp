// FLAC members of the control: the fields of the FLAC file's Vorbis comment,
// its stream information and the save.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

using VC = CVorbisComment;

#define FLAC_TEXT_PROPERTY(Name, Field)                                              \
  std::u16string CSonavexCtrl::GetFLAC##Name() { return m_FLAC.m_Comment[VC::Field]; } \
  void CSonavexCtrl::SetFLAC##Name(const std::u16string& v) { m_FLAC.m_Comment.Put(VC::Field, v); }

FLAC_TEXT_PROPERTY(Contact, kContact)
FLAC_TEXT_PROPERTY(Description, kDescription)
FLAC_TEXT_PROPERTY(Artist, kArtist)
FLAC_TEXT_PROPERTY(Copyright, kCopyright)
FLAC_TEXT_PROPERTY(Date, kDate)
FLAC_TEXT_PROPERTY(Genre, kGenre)
FLAC_TEXT_PROPERTY(ISRC, kISRC)
FLAC_TEXT_PROPERTY(License, kLicense)
FLAC_TEXT_PROPERTY(Location, kLocation)
FLAC_TEXT_PROPERTY(Organization, kOrganization)
FLAC_TEXT_PROPERTY(Performer, kPerformer)
FLAC_TEXT_PROPERTY(Title, kTitle)
FLAC_TEXT_PROPERTY(Track, kTrackNumber)
FLAC_TEXT_PROPERTY(Album, kAlbum)
FLAC_TEXT_PROPERTY(Version, kVersion)
FLAC_TEXT_PROPERTY(Comment, kComment)

#undef FLAC_TEXT_PROPERTY

std::u16string CSonavexCtrl::GetFLACVendor() { return m_FLAC.m_Comment.m_strVendor; }
void CSonavexCtrl::SetFLACVendor(const std::u16string& v) { m_FLAC.m_Comment.m_strVendor = v; }

int32_t CSonavexCtrl::FLACGetBitsPerSample() { return m_FLAC.m_nBitsPerSample; }
int32_t CSonavexCtrl::FLACGetSamples() { return m_FLAC.m_nTotalSamples; }
int32_t CSonavexCtrl::FLACGetMinBlockSize() { return m_FLAC.m_nMinBlockSize; }
int32_t CSonavexCtrl::FLACGetMaxBlockSize() { return m_FLAC.m_nMaxBlockSize; }
int32_t CSonavexCtrl::FLACGetMinFrameSize() { return m_FLAC.m_nMinFrameSize; }
int32_t CSonavexCtrl::FLACGetMaxFrameSize() { return m_FLAC.m_nMaxFrameSize; }

bool CSonavexCtrl::FLACSaveChangesToFile(const std::u16string& fileName) {
  if (DetectFileFormat(fileName) != kFormatFLAC) {
    m_State.lastError = RefusedFormat(m_State);
    return false;
  }
  return m_FLAC.SaveChangesToFile(fileName);
}

float CSonavexCtrl::FLACGetCompressionRatio() { return m_FLAC.GetCompressionRatio(); }

}  // namespace sonavex
