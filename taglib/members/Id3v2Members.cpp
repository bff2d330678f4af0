// The ID3V2 family: the members forward to the control's ID3v2 tag object.
// Property writes and list setters change memory only; a refused write shows
// in the last error number.
#include "Module.h"
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetID3V2Album() { return m_ID3V2.GetAlbum(); }
void CSonavexCtrl::SetID3V2Album(const std::u16string& newValue) { m_ID3V2.SetAlbum(newValue); }
std::u16string CSonavexCtrl::GetID3V2Artist() { return m_ID3V2.GetArtist(); }
void CSonavexCtrl::SetID3V2Artist(const std::u16string& newValue) { m_ID3V2.SetArtist(newValue); }
std::u16string CSonavexCtrl::GetID3V2ArtistURL() { return m_ID3V2.GetArtistURL(); }
void CSonavexCtrl::SetID3V2ArtistURL(const std::u16string& newValue) { m_ID3V2.SetArtistURL(newValue); }
std::u16string CSonavexCtrl::GetID3V2AudiofileURL() { return m_ID3V2.GetAudiofileURL(); }
void CSonavexCtrl::SetID3V2AudiofileURL(const std::u16string& newValue) { m_ID3V2.SetAudiofileURL(newValue); }
std::u16string CSonavexCtrl::GetID3V2AudiosourceURL() { return m_ID3V2.GetAudiosourceURL(); }
void CSonavexCtrl::SetID3V2AudiosourceURL(const std::u16string& newValue) { m_ID3V2.SetAudiosourceURL(newValue); }
std::u16string CSonavexCtrl::GetID3V2BeatsPerMinute() { return m_ID3V2.GetBeatsPerMinute(); }
void CSonavexCtrl::SetID3V2BeatsPerMinute(const std::u16string& newValue) { m_ID3V2.SetBeatsPerMinute(newValue); }
std::u16string CSonavexCtrl::GetID3V2Category() { return m_ID3V2.GetCategory(); }
void CSonavexCtrl::SetID3V2Category(const std::u16string& newValue) { m_ID3V2.SetCategory(newValue); }
std::u16string CSonavexCtrl::GetID3V2CommercialURL() { return m_ID3V2.GetCommercialURL(); }
void CSonavexCtrl::SetID3V2CommercialURL(const std::u16string& newValue) { m_ID3V2.SetCommercialURL(newValue); }
std::u16string CSonavexCtrl::GetID3V2Composer() { return m_ID3V2.GetComposer(); }
void CSonavexCtrl::SetID3V2Composer(const std::u16string& newValue) { m_ID3V2.SetComposer(newValue); }
std::u16string CSonavexCtrl::GetID3V2Conductor() { return m_ID3V2.GetConductor(); }
void CSonavexCtrl::SetID3V2Conductor(const std::u16string& newValue) { m_ID3V2.SetConductor(newValue); }
std::u16string CSonavexCtrl::GetID3V2Copyright() { return m_ID3V2.GetCopyright(); }
void CSonavexCtrl::SetID3V2Copyright(const std::u16string& newValue) { m_ID3V2.SetCopyright(newValue); }
std::u16string CSonavexCtrl::GetID3V2CopyrightURL() { return m_ID3V2.GetCopyrightURL(); }
void CSonavexCtrl::SetID3V2CopyrightURL(const std::u16string& newValue) { m_ID3V2.SetCopyrightURL(newValue); }
std::u16string CSonavexCtrl::GetID3V2Date() { return m_ID3V2.GetDate(); }
void CSonavexCtrl::SetID3V2Date(const std::u16string& newValue) { m_ID3V2.SetDate(newValue); }
std::u16string CSonavexCtrl::GetID3V2Encoder() { return m_ID3V2.GetEncoder(); }
void CSonavexCtrl::SetID3V2Encoder(const std::u16string& newValue) { m_ID3V2.SetEncoder(newValue); }
std::u16string CSonavexCtrl::GetID3V2EncodingSettings() { return m_ID3V2.GetEncodingSettings(); }
void CSonavexCtrl::SetID3V2EncodingSettings(const std::u16string& newValue) { m_ID3V2.SetEncodingSettings(newValue); }
std::u16string CSonavexCtrl::GetID3V2FileOwner() { return m_ID3V2.GetFileOwner(); }
void CSonavexCtrl::SetID3V2FileOwner(const std::u16string& newValue) { m_ID3V2.SetFileOwner(newValue); }
std::u16string CSonavexCtrl::GetID3V2FileType() { return m_ID3V2.GetFileType(); }
void CSonavexCtrl::SetID3V2FileType(const std::u16string& newValue) { m_ID3V2.SetFileType(newValue); }
std::u16string CSonavexCtrl::GetID3V2Genre() { return m_ID3V2.GetGenre(); }
void CSonavexCtrl::SetID3V2Genre(const std::u16string& newValue) { m_ID3V2.SetGenre(newValue); }
std::u16string CSonavexCtrl::GetID3V2InetRadioName() { return m_ID3V2.GetInetRadioName(); }
void CSonavexCtrl::SetID3V2InetRadioName(const std::u16string& newValue) { m_ID3V2.SetInetRadioName(newValue); }
std::u16string CSonavexCtrl::GetID3V2InetRadioOwner() { return m_ID3V2.GetInetRadioOwner(); }
void CSonavexCtrl::SetID3V2InetRadioOwner(const std::u16string& newValue) { m_ID3V2.SetInetRadioOwner(newValue); }
std::u16string CSonavexCtrl::GetID3V2InitialKey() { return m_ID3V2.GetInitialKey(); }
void CSonavexCtrl::SetID3V2InitialKey(const std::u16string& newValue) { m_ID3V2.SetInitialKey(newValue); }
std::u16string CSonavexCtrl::GetID3V2Interpreted() { return m_ID3V2.GetInterpreted(); }
void CSonavexCtrl::SetID3V2Interpreted(const std::u16string& newValue) { m_ID3V2.SetInterpreted(newValue); }
std::u16string CSonavexCtrl::GetID3V2ISRC() { return m_ID3V2.GetISRC(); }
void CSonavexCtrl::SetID3V2ISRC(const std::u16string& newValue) { m_ID3V2.SetISRC(newValue); }
std::u16string CSonavexCtrl::GetID3V2Language() { return m_ID3V2.GetLanguage(); }
void CSonavexCtrl::SetID3V2Language(const std::u16string& newValue) { m_ID3V2.SetLanguage(newValue); }
std::u16string CSonavexCtrl::GetID3V2Length() { return m_ID3V2.GetLength(); }
void CSonavexCtrl::SetID3V2Length(const std::u16string& newValue) { m_ID3V2.SetLength(newValue); }
std::u16string CSonavexCtrl::GetID3V2MediaType() { return m_ID3V2.GetMediaType(); }
void CSonavexCtrl::SetID3V2MediaType(const std::u16string& newValue) { m_ID3V2.SetMediaType(newValue); }
std::u16string CSonavexCtrl::GetID3V2Orchestra() { return m_ID3V2.GetOrchestra(); }
void CSonavexCtrl::SetID3V2Orchestra(const std::u16string& newValue) { m_ID3V2.SetOrchestra(newValue); }
std::u16string CSonavexCtrl::GetID3V2OriginalAlbum() { return m_ID3V2.GetOriginalAlbum(); }
void CSonavexCtrl::SetID3V2OriginalAlbum(const std::u16string& newValue) { m_ID3V2.SetOriginalAlbum(newValue); }
std::u16string CSonavexCtrl::GetID3V2OriginalArtist() { return m_ID3V2.GetOriginalArtist(); }
void CSonavexCtrl::SetID3V2OriginalArtist(const std::u16string& newValue) { m_ID3V2.SetOriginalArtist(newValue); }
std::u16string CSonavexCtrl::GetID3V2OriginalFilename() { return m_ID3V2.GetOriginalFilename(); }
void CSonavexCtrl::SetID3V2OriginalFilename(const std::u16string& newValue) { m_ID3V2.SetOriginalFilename(newValue); }
std::u16string CSonavexCtrl::GetID3V2OriginalTextwriter() { return m_ID3V2.GetOriginalTextwriter(); }
void CSonavexCtrl::SetID3V2OriginalTextwriter(const std::u16string& newValue) { m_ID3V2.SetOriginalTextwriter(newValue); }
std::u16string CSonavexCtrl::GetID3V2PartofSet() { return m_ID3V2.GetPartofSet(); }
void CSonavexCtrl::SetID3V2PartofSet(const std::u16string& newValue) { m_ID3V2.SetPartofSet(newValue); }
std::u16string CSonavexCtrl::GetID3V2PaymentURL() { return m_ID3V2.GetPaymentURL(); }
void CSonavexCtrl::SetID3V2PaymentURL(const std::u16string& newValue) { m_ID3V2.SetPaymentURL(newValue); }
std::u16string CSonavexCtrl::GetID3V2PlaylistDelay() { return m_ID3V2.GetPlaylistDelay(); }
void CSonavexCtrl::SetID3V2PlaylistDelay(const std::u16string& newValue) { m_ID3V2.SetPlaylistDelay(newValue); }
std::u16string CSonavexCtrl::GetID3V2Publisher() { return m_ID3V2.GetPublisher(); }
void CSonavexCtrl::SetID3V2Publisher(const std::u16string& newValue) { m_ID3V2.SetPublisher(newValue); }
std::u16string CSonavexCtrl::GetID3V2PublisherURL() { return m_ID3V2.GetPublisherURL(); }
void CSonavexCtrl::SetID3V2PublisherURL(const std::u16string& newValue) { m_ID3V2.SetPublisherURL(newValue); }
std::u16string CSonavexCtrl::GetID3V2RadiostationURL() { return m_ID3V2.GetRadiostationURL(); }
void CSonavexCtrl::SetID3V2RadiostationURL(const std::u16string& newValue) { m_ID3V2.SetRadiostationURL(newValue); }
std::u16string CSonavexCtrl::GetID3V2RecordingTime() { return m_ID3V2.GetRecordingTime(); }
void CSonavexCtrl::SetID3V2RecordingTime(const std::u16string& newValue) { m_ID3V2.SetRecordingTime(newValue); }
std::u16string CSonavexCtrl::GetID3V2Subtitle() { return m_ID3V2.GetSubtitle(); }
void CSonavexCtrl::SetID3V2Subtitle(const std::u16string& newValue) { m_ID3V2.SetSubtitle(newValue); }
std::u16string CSonavexCtrl::GetID3V2TextWriter() { return m_ID3V2.GetTextWriter(); }
void CSonavexCtrl::SetID3V2TextWriter(const std::u16string& newValue) { m_ID3V2.SetTextWriter(newValue); }
std::u16string CSonavexCtrl::GetID3V2Time() { return m_ID3V2.GetTime(); }
void CSonavexCtrl::SetID3V2Time(const std::u16string& newValue) { m_ID3V2.SetTime(newValue); }
std::u16string CSonavexCtrl::GetID3V2Title() { return m_ID3V2.GetTitle(); }
void CSonavexCtrl::SetID3V2Title(const std::u16string& newValue) { m_ID3V2.SetTitle(newValue); }
std::u16string CSonavexCtrl::GetID3V2Track() { return m_ID3V2.GetTrack(); }
void CSonavexCtrl::SetID3V2Track(const std::u16string& newValue) { m_ID3V2.SetTrack(newValue); }
std::u16string CSonavexCtrl::GetID3V2Year() { return m_ID3V2.GetYear(); }
void CSonavexCtrl::SetID3V2Year(const std::u16string& newValue) { m_ID3V2.SetYear(newValue); }

bool CSonavexCtrl::ID3V2Exists() { return m_State.id3v2Size > 0; }
int32_t CSonavexCtrl::ID3V2GetSize() { return m_State.id3v2Size; }
std::u16string CSonavexCtrl::ID3V2GetVersion() { return m_ID3V2.GetVersion(); }

// List setters answer true whatever happened; failures show in the last error.
bool CSonavexCtrl::ID3V2SetComment(int16_t Index, const std::u16string& Language, const std::u16string& Description,
                                   const std::u16string& Text) {
  m_ID3V2.SetComment(Index, Language, Description, Text);
  return true;
}
std::u16string CSonavexCtrl::ID3V2GetCommentDescription(int16_t Index) { return m_ID3V2.GetCommentDescription(Index); }
std::u16string CSonavexCtrl::ID3V2GetCommentLanguage(int16_t Index) { return m_ID3V2.GetCommentLanguage(Index); }
std::u16string CSonavexCtrl::ID3V2GetComment(int16_t Index) { return m_ID3V2.GetComment(Index); }
int16_t CSonavexCtrl::ID3V2GetComments() { return static_cast<int16_t>(m_ID3V2.GetCommentCount()); }
void CSonavexCtrl::ID3V2DeleteComments() { m_ID3V2.DeleteComments(); }
void CSonavexCtrl::ID3V2DeleteLyrics() { m_ID3V2.DeleteLyrics(); }
void CSonavexCtrl::ID3V2DeleteUserFrames() { m_ID3V2.DeleteUserFrames(); }
void CSonavexCtrl::ID3V2DeleteUserTexts() { m_ID3V2.DeleteUserTexts(); }
void CSonavexCtrl::ID3V2DeleteUserURLs() { m_ID3V2.DeleteUserURLs(); }
bool CSonavexCtrl::ID3V2SetLyric(int16_t Index, const std::u16string& Language, const std::u16string& Description,
                                 const std::u16string& Text) {
  m_ID3V2.SetLyric(Index, Language, Description, Text);
  return true;
}
std::u16string CSonavexCtrl::ID3V2GetLyricDescription(int16_t Index) { return m_ID3V2.GetLyricDescription(Index); }
std::u16string CSonavexCtrl::ID3V2GetLyricLanguage(int16_t Index) { return m_ID3V2.GetLyricLanguage(Index); }
std::u16string CSonavexCtrl::ID3V2GetLyric(int16_t Index) { return m_ID3V2.GetLyric(Index); }
int16_t CSonavexCtrl::ID3V2GetLyrics() { return static_cast<int16_t>(m_ID3V2.GetLyricCount()); }
bool CSonavexCtrl::ID3V2SetUserFrame(int16_t Index, const std::u16string& Language, const std::u16string& Text) {
  m_ID3V2.SetUserFrame(Index, Language, Text);
  return true;
}
std::u16string CSonavexCtrl::ID3V2GetUserFrameLanguage(int16_t Index) { return m_ID3V2.GetUserFrameLanguage(Index); }
std::u16string CSonavexCtrl::ID3V2GetUserFrame(int16_t Index) { return m_ID3V2.GetUserFrame(Index); }
int16_t CSonavexCtrl::ID3V2GetUserFrames() { return static_cast<int16_t>(m_ID3V2.GetUserFrameCount()); }
bool CSonavexCtrl::ID3V2SetUserText(int16_t Index, const std::u16string& Description, const std::u16string& Text) {
  m_ID3V2.SetUserText(Index, Description, Text);
  return true;
}
std::u16string CSonavexCtrl::ID3V2GetUserTextDescription(int16_t Index) { return m_ID3V2.GetUserTextDescription(Index); }
std::u16string CSonavexCtrl::ID3V2GetUserText(int16_t Index) { return m_ID3V2.GetUserText(Index); }
int16_t CSonavexCtrl::ID3V2GetUserTexts() { return static_cast<int16_t>(m_ID3V2.GetUserTextCount()); }
bool CSonavexCtrl::ID3V2SetUserURL(int16_t Index, const std::u16string& Description, const std::u16string& Text) {
  m_ID3V2.SetUserURL(Index, Description, Text);
  return true;
}
std::u16string CSonavexCtrl::ID3V2GetUserURLDescription(int16_t Index) { return m_ID3V2.GetUserURLDescription(Index); }
std::u16string CSonavexCtrl::ID3V2GetUserURL(int16_t Index) { return m_ID3V2.GetUserURL(Index); }
int16_t CSonavexCtrl::ID3V2GetUserURLs() { return static_cast<int16_t>(m_ID3V2.GetUserURLCount()); }

// Removal runs no format check.
bool CSonavexCtrl::ID3V2RemoveTagFromFile(const std::u16string& FileName) { return m_ID3V2.RemoveTagFromFile(FileName); }

bool CSonavexCtrl::ID3V2SaveChangesToFile(const std::u16string& FileName) {
  m_nFormat = DetectFileFormat(FileName);
  if (!FormatAllowsID3V2(m_nFormat)) {
    m_State.lastError = RefusedFormat(m_State);
    return false;
  }
  return m_ID3V2.WriteToFile(FileName);
}

std::u16string CSonavexCtrl::ID3V2GetSyncLyric(int16_t Index) { return m_ID3V2.GetSyncLyric(Index); }
int16_t CSonavexCtrl::ID3V2GetSyncLyrics() { return static_cast<int16_t>(m_ID3V2.GetSyncLyricCount()); }
std::u16string CSonavexCtrl::ID3V2GetSyncLyricDescription(int16_t Index) { return m_ID3V2.GetSyncLyricDescription(Index); }
std::u16string CSonavexCtrl::ID3V2GetSyncLyricLanguage(int16_t Index) { return m_ID3V2.GetSyncLyricLanguage(Index); }
int16_t CSonavexCtrl::ID3V2GetSyncLyricTimeFormat(int16_t Index) {
  return static_cast<int16_t>(m_ID3V2.GetSyncLyricTimeFormat(Index));
}
int16_t CSonavexCtrl::ID3V2GetSyncLyricContentType(int16_t Index) {
  return static_cast<int16_t>(m_ID3V2.GetSyncLyricContentType(Index));
}
void CSonavexCtrl::ID3V2DeleteSyncLyrics() { m_ID3V2.DeleteSyncLyrics(); }
bool CSonavexCtrl::ID3V2SetSyncLyric(int16_t Index, const std::u16string& Language, const std::u16string& Description,
                                     const std::u16string& Text, int16_t ContentType, int16_t TimeStampFormat) {
  return m_ID3V2.SetSyncLyric(Index, Language, Description, Text, ContentType, TimeStampFormat);
}

int16_t CSonavexCtrl::ID3V2GetPictures() { return static_cast<int16_t>(m_ID3V2.GetPictureCount()); }
std::u16string CSonavexCtrl::ID3V2GetPictureDescription(int16_t Index) { return m_ID3V2.GetPictureDescription(Index); }
int16_t CSonavexCtrl::ID3V2GetPictureType(int16_t Index) { return static_cast<int16_t>(m_ID3V2.GetPictureType(Index)); }
bool CSonavexCtrl::ID3V2GetPicture(int16_t Index, const std::u16string& FileName) {
  return m_ID3V2.GetPicture(Index, FileName);
}
std::u16string CSonavexCtrl::ID3V2GetPictureMime(int16_t Index) { return m_ID3V2.GetPictureMime(Index); }
void CSonavexCtrl::ID3V2DeletePictures() { m_ID3V2.DeletePictures(); }
bool CSonavexCtrl::ID3V2DeletePicture(int16_t Index) { return m_ID3V2.DeletePicture(Index); }
bool CSonavexCtrl::ID3V2SetPicture(const std::u16string& FileName, const std::u16string& Description, int16_t Index,
                                   int16_t PictureType, int16_t asLink) {
  return m_ID3V2.SetPicture(FileName, Description, Index, PictureType, asLink != 0);
}

}  // namespace sonavex
