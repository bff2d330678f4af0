// Id3v2 members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetID3V2Album() { return {}; }
void CSonavexCtrl::SetID3V2Album(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Artist() { return {}; }
void CSonavexCtrl::SetID3V2Artist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2ArtistURL() { return {}; }
void CSonavexCtrl::SetID3V2ArtistURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2AudiofileURL() { return {}; }
void CSonavexCtrl::SetID3V2AudiofileURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2AudiosourceURL() { return {}; }
void CSonavexCtrl::SetID3V2AudiosourceURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2BeatsPerMinute() { return {}; }
void CSonavexCtrl::SetID3V2BeatsPerMinute(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Category() { return {}; }
void CSonavexCtrl::SetID3V2Category(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2CommercialURL() { return {}; }
void CSonavexCtrl::SetID3V2CommercialURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Composer() { return {}; }
void CSonavexCtrl::SetID3V2Composer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Conductor() { return {}; }
void CSonavexCtrl::SetID3V2Conductor(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Copyright() { return {}; }
void CSonavexCtrl::SetID3V2Copyright(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2CopyrightURL() { return {}; }
void CSonavexCtrl::SetID3V2CopyrightURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Date() { return {}; }
void CSonavexCtrl::SetID3V2Date(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Encoder() { return {}; }
void CSonavexCtrl::SetID3V2Encoder(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2EncodingSettings() { return {}; }
void CSonavexCtrl::SetID3V2EncodingSettings(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2FileOwner() { return {}; }
void CSonavexCtrl::SetID3V2FileOwner(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2FileType() { return {}; }
void CSonavexCtrl::SetID3V2FileType(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Genre() { return {}; }
void CSonavexCtrl::SetID3V2Genre(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2InetRadioName() { return {}; }
void CSonavexCtrl::SetID3V2InetRadioName(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2InetRadioOwner() { return {}; }
void CSonavexCtrl::SetID3V2InetRadioOwner(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2InitialKey() { return {}; }
void CSonavexCtrl::SetID3V2InitialKey(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Interpreted() { return {}; }
void CSonavexCtrl::SetID3V2Interpreted(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2ISRC() { return {}; }
void CSonavexCtrl::SetID3V2ISRC(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Language() { return {}; }
void CSonavexCtrl::SetID3V2Language(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Length() { return {}; }
void CSonavexCtrl::SetID3V2Length(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2MediaType() { return {}; }
void CSonavexCtrl::SetID3V2MediaType(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Orchestra() { return {}; }
void CSonavexCtrl::SetID3V2Orchestra(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2OriginalAlbum() { return {}; }
void CSonavexCtrl::SetID3V2OriginalAlbum(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2OriginalArtist() { return {}; }
void CSonavexCtrl::SetID3V2OriginalArtist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2OriginalFilename() { return {}; }
void CSonavexCtrl::SetID3V2OriginalFilename(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2OriginalTextwriter() { return {}; }
void CSonavexCtrl::SetID3V2OriginalTextwriter(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2PartofSet() { return {}; }
void CSonavexCtrl::SetID3V2PartofSet(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2PaymentURL() { return {}; }
void CSonavexCtrl::SetID3V2PaymentURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2PlaylistDelay() { return {}; }
void CSonavexCtrl::SetID3V2PlaylistDelay(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Publisher() { return {}; }
void CSonavexCtrl::SetID3V2Publisher(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2PublisherURL() { return {}; }
void CSonavexCtrl::SetID3V2PublisherURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2RadiostationURL() { return {}; }
void CSonavexCtrl::SetID3V2RadiostationURL(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2RecordingTime() { return {}; }
void CSonavexCtrl::SetID3V2RecordingTime(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Subtitle() { return {}; }
void CSonavexCtrl::SetID3V2Subtitle(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2TextWriter() { return {}; }
void CSonavexCtrl::SetID3V2TextWriter(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Time() { return {}; }
void CSonavexCtrl::SetID3V2Time(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Title() { return {}; }
void CSonavexCtrl::SetID3V2Title(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Track() { return {}; }
void CSonavexCtrl::SetID3V2Track(const std::u16string&) {}
std::u16string CSonavexCtrl::GetID3V2Year() { return {}; }
void CSonavexCtrl::SetID3V2Year(const std::u16string&) {}
bool CSonavexCtrl::ID3V2Exists() { return false; }
int32_t CSonavexCtrl::ID3V2GetSize() { return 0; }
std::u16string CSonavexCtrl::ID3V2GetVersion() { return {}; }
bool CSonavexCtrl::ID3V2SetComment(int16_t, const std::u16string&, const std::u16string&, const std::u16string&) { return false; }
std::u16string CSonavexCtrl::ID3V2GetCommentDescription(int16_t) { return {}; }
std::u16string CSonavexCtrl::ID3V2GetCommentLanguage(int16_t) { return {}; }
std::u16string CSonavexCtrl::ID3V2GetComment(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V2GetComments() { return 0; }
void CSonavexCtrl::ID3V2DeleteComments() {}
void CSonavexCtrl::ID3V2DeleteLyrics() {}
void CSonavexCtrl::ID3V2DeleteUserFrames() {}
void CSonavexCtrl::ID3V2DeleteUserTexts() {}
void CSonavexCtrl::ID3V2DeleteUserURLs() {}
bool CSonavexCtrl::ID3V2SetLyric(int16_t, const std::u16string&, const std::u16string&, const std::u16string&) { return false; }
std::u16string CSonavexCtrl::ID3V2GetLyricDescription(int16_t) { return {}; }
std::u16string CSonavexCtrl::ID3V2GetLyricLanguage(int16_t) { return {}; }
std::u16string CSonavexCtrl::ID3V2GetLyric(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V2GetLyrics() { return 0; }
bool CSonavexCtrl::ID3V2SetUserFrame(int16_t, const std::u16string&, const std::u16string&) { return false; }
std::u16string CSonavexCtrl::ID3V2GetUserFrameLanguage(int16_t) { return {}; }
std::u16string CSonavexCtrl::ID3V2GetUserFrame(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V2GetUserFrames() { return 0; }
bool CSonavexCtrl::ID3V2SetUserText(int16_t, const std::u16string&, const std::u16string&) { return false; }
std::u16string CSonavexCtrl::ID3V2GetUserTextDescription(int16_t) { return {}; }
std::u16string CSonavexCtrl::ID3V2GetUserText(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V2GetUserTexts() { return 0; }
bool CSonavexCtrl::ID3V2SetUserURL(int16_t, const std::u16string&, const std::u16string&) { return false; }
std::u16string CSonavexCtrl::ID3V2GetUserURLDescription(int16_t) { return {}; }
std::u16string CSonavexCtrl::ID3V2GetUserURL(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V2GetUserURLs() { return 0; }
bool CSonavexCtrl::ID3V2RemoveTagFromFile(const std::u16string&) { return false; }
bool CSonavexCtrl::ID3V2SaveChangesToFile(const std::u16string&) { return false; }
std::u16string CSonavexCtrl::ID3V2GetSyncLyric(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V2GetSyncLyrics() { return 0; }
std::u16string CSonavexCtrl::ID3V2GetSyncLyricDescription(int16_t) { return {}; }
std::u16string CSonavexCtrl::ID3V2GetSyncLyricLanguage(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V2GetSyncLyricTimeFormat(int16_t) { return 0; }
int16_t CSonavexCtrl::ID3V2GetSyncLyricContentType(int16_t) { return 0; }
void CSonavexCtrl::ID3V2DeleteSyncLyrics() {}
bool CSonavexCtrl::ID3V2SetSyncLyric(int16_t, const std::u16string&, const std::u16string&, const std::u16string&, int16_t, int16_t) { return false; }
int16_t CSonavexCtrl::ID3V2GetPictures() { return 0; }
std::u16string CSonavexCtrl::ID3V2GetPictureDescription(int16_t) { return {}; }
int16_t CSonavexCtrl::ID3V2GetPictureType(int16_t) { return 0; }
bool CSonavexCtrl::ID3V2GetPicture(int16_t, const std::u16string&) { return false; }
std::u16string CSonavexCtrl::ID3V2GetPictureMime(int16_t) { return {}; }
void CSonavexCtrl::ID3V2DeletePictures() {}
bool CSonavexCtrl::ID3V2DeletePicture(int16_t) { return false; }
bool CSonavexCtrl::ID3V2SetPicture(const std::u16string&, const std::u16string&, int16_t, int16_t, int16_t) { return false; }

}  // namespace sonavex
