#include "tageditor/TagEditorState.h"

#include "resources/StringIds.h"
#include "sonavex/Dispids.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QFile>

#include <map>
#include <string>

namespace tageditor {

namespace {

using djvp::ui::T;
using S = TagEditorState;
namespace col = djvp::ui;

}  // namespace

const std::vector<FieldRow>& FieldRows() {
  static const std::vector<FieldRow> rows = {
      // "Common": the ID3v2 text frames.
      {kCommonPage, 0, djvp::kStrArtist, nullptr, "txtArtist", SX_ID3V2Artist, 0, col::kArtist},
      {kCommonPage, 1, djvp::kStrAlbum, nullptr, "txtAlbum", SX_ID3V2Album, 0, col::kAlbum},
      {kCommonPage, 2, djvp::kStrTitle, nullptr, "txtTitle", SX_ID3V2Title, 0, col::kTitle},
      {kCommonPage, 3, djvp::kStrYear, nullptr, "txtYear", SX_ID3V2Year, 0, col::kYear},
      {kCommonPage, 4, djvp::kStrGenre, nullptr, "txtGenre", SX_ID3V2Genre, 0, col::kGenre},
      {kCommonPage, 5, 283, nullptr, "txtTrack", SX_ID3V2Track, 0, 0},
      {kCommonPage, 6, 350, nullptr, "txtRecordingTime", SX_ID3V2RecordingTime, 0, 0},
      {kCommonPage, 7, 351, nullptr, "txtCategory", SX_ID3V2Category, 0, 0},
      {kCommonPage, 8, 341, nullptr, "txtLanguage", SX_ID3V2Language, 0, 0},
      {kCommonPage, 9, 352, nullptr, "txtEncoder", SX_ID3V2Encoder, 0, 0},
      {kCommonPage, 10, 353, nullptr, "txtCopyright", SX_ID3V2Copyright, 0, 0},
      {kCommonPage, 11, 372, nullptr, "txtComposer", SX_ID3V2Composer, 0, 0},
      {kCommonPage, 12, 355, nullptr, "txtOrchestra", SX_ID3V2Orchestra, 0, 0},
      {kCommonPage, 13, 356, nullptr, "txtEncodeSettings", SX_ID3V2EncodingSettings, 0, 0},
      {kCommonPage, 14, djvp::kStrBpm, nullptr, "txtBPM", SX_ID3V2BeatsPerMinute, 0, col::kBPM},
      {kCommonPage, 15, 357, nullptr, "txtFileOwner", SX_ID3V2FileOwner, 0, 0},
      // "URL's": the ID3v2 URL frames.
      {kUrlPage, 20, 324, nullptr, "txtCommercialURL", SX_ID3V2CommercialURL, 0, 0},
      {kUrlPage, 21, 325, nullptr, "txtCopyrightURL", SX_ID3V2CopyrightURL, 0, 0},
      {kUrlPage, 22, 326, nullptr, "txtAudiofileURL", SX_ID3V2AudiofileURL, 0, 0},
      {kUrlPage, 23, 327, nullptr, "txtArtistURL", SX_ID3V2ArtistURL, 0, 0},
      {kUrlPage, 24, 328, nullptr, "txtAudiosourceURL", SX_ID3V2AudiosourceURL, 0, 0},
      {kUrlPage, 25, 329, nullptr, "txtRadiostationURL", SX_ID3V2RadiostationURL, 0, 0},
      {kUrlPage, 26, 330, nullptr, "txtPaymentURL", SX_ID3V2PaymentURL, 0, 0},
      {kUrlPage, 27, 331, nullptr, "txtPublisherURL", SX_ID3V2PublisherURL, 0, 0},
      // The ID3v1 tag. The genre name comes before its number: a number
      // typed with a name wins over the name's number.
      {kId3v1Page, 36, djvp::kStrArtist, nullptr, "Text3", SX_ID3V1Artist, 0, col::kArtist},
      {kId3v1Page, 37, djvp::kStrAlbum, nullptr, "Text6", SX_ID3V1Album, 0, col::kAlbum},
      {kId3v1Page, 38, djvp::kStrTitle, nullptr, "Text7", SX_ID3V1Title, 0, col::kTitle},
      {kId3v1Page, 39, djvp::kStrYear, nullptr, "Text8", SX_ID3V1Year, 0, col::kYear},
      {kId3v1Page, 42, djvp::kStrGenre, nullptr, "Text9", SX_ID3V1Genre, 0, col::kGenre},
      {kId3v1Page, 44, 361, nullptr, "Text10", SX_ID3V1GenreID, 0, 0},
      {kId3v1Page, 45, 283, nullptr, "Text11", SX_ID3V1Track, 0, 0},
      {kId3v1Page, 46, 315, nullptr, "Text12", SX_ID3V1Comment, 0, 0},
      // The Vorbis comment of FLAC and Ogg Vorbis files.
      {kVorbisPage, 47, djvp::kStrArtist, nullptr, "Text4", SX_FLACArtist, SX_OGGArtist, col::kArtist},
      {kVorbisPage, 48, djvp::kStrAlbum, nullptr, "Text14", SX_FLACAlbum, SX_OGGAlbum, col::kAlbum},
      {kVorbisPage, 49, djvp::kStrTitle, nullptr, "Text15", SX_FLACTitle, SX_OGGTitle, col::kTitle},
      {kVorbisPage, 50, 362, nullptr, "Text16", SX_FLACDate, SX_OGGDate, col::kYear},
      {kVorbisPage, 51, djvp::kStrGenre, nullptr, "Text17", SX_FLACGenre, SX_OGGGenre, col::kGenre},
      {kVorbisPage, 52, 283, nullptr, "Text18", SX_FLACTrack, SX_OGGTrack, 0},
      {kVorbisPage, 53, 363, nullptr, "Text19", SX_FLACContact, SX_OggContact, 0},
      {kVorbisPage, 54, 353, nullptr, "Text20", SX_FLACCopyright, SX_OGGCopyright, 0},
      {kVorbisPage, 55, 334, nullptr, "Text13", SX_FLACDescription, SX_OGGDescription, 0},
      {kVorbisPage, 56, 364, nullptr, "Text5", SX_FLACISRC, SX_OGGISRC, 0},
      {kVorbisPage, 57, 365, nullptr, "Text21", SX_FLACLicense, SX_OGGLicense, 0},
      {kVorbisPage, 58, 366, nullptr, "Text22", SX_FLACLocation, SX_OGGLocation, 0},
      {kVorbisPage, 59, 367, nullptr, "Text23", SX_FLACOrganization, SX_OGGOrganization, 0},
      {kVorbisPage, 60, 368, nullptr, "Text24", SX_FLACPerformer, SX_OGGPerformer, 0},
      {kVorbisPage, 61, 369, nullptr, "Text2", SX_FLACVendor, SX_OGGVendor, 0},
      {kVorbisPage, 62, 569, nullptr, "Text1", SX_FLACVersion, SX_OGGVersion, 0},
      {kVorbisPage, 63, 568, nullptr, "Text25", SX_FLACComment, SX_OGGComment, 0},
      // The WMA fields; their labels carry the attributes' own names.
      {kWmaPage1, 64, 0, "Artist", "Text28", SX_WMAArtist, 0, col::kArtist},
      {kWmaPage1, 65, 0, "Album", "Text31", SX_WMAAlbum, 0, col::kAlbum},
      {kWmaPage1, 66, 0, "Title", "Text32", SX_WMATitle, 0, col::kTitle},
      {kWmaPage1, 67, 0, "Year", "Text33", SX_WMAYear, 0, col::kYear},
      {kWmaPage1, 68, 0, "Genre", "Text34", SX_WMAGenre, 0, col::kGenre},
      {kWmaPage1, 69, 0, "Track", "Text35", SX_WMATrackNumber, 0, 0},
      {kWmaPage1, 70, 0, "AlbumArtist", "Text36", SX_WMAAlbumArtist, 0, 0},
      {kWmaPage1, 71, 0, "Category", "Text37", SX_WMACategory, 0, 0},
      {kWmaPage1, 72, 0, "Language", "Text30", SX_WMALanguage, 0, 0},
      {kWmaPage1, 73, 0, "AuthorURL", "Text29", SX_WMAAuthorURL, 0, 0},
      {kWmaPage1, 74, 0, "Copyright", "Text38", SX_WMACopyright, 0, 0},
      {kWmaPage1, 75, 0, "Composer", "Text39", SX_WMAComposer, 0, 0},
      {kWmaPage1, 76, 0, "Conductor", "Text40", SX_WMAConductor, 0, 0},
      {kWmaPage1, 77, 0, "GroupDescription", "Text41", SX_WMAContentGroupDescription, 0, 0},
      {kWmaPage1, 78, 0, "BPM", "Text27", SX_WMABeatsPerMinute, 0, col::kBPM},
      {kWmaPage1, 79, 0, "Distributor", "Text26", SX_WMADistributor, 0, 0},
      {kWmaPage2, 80, 0, "EcodedBy", "Text55", SX_WMAEncodedBy, 0, 0},
      {kWmaPage2, 81, 0, "EncodingSettings", "Text52", SX_WMAEncodingSettings, 0, 0},
      {kWmaPage2, 82, 0, "EncodingTime", "Text51", SX_WMAEncodingTime, 0, 0},
      {kWmaPage2, 83, 0, "ISCR", "Text50", SX_WMAISRC, 0, 0},
      {kWmaPage2, 84, 0, "InitialKey", "Text49", SX_WMAInitialKey, 0, 0},
      {kWmaPage2, 85, 0, "Mood", "Text48", SX_WMAMood, 0, 0},
      {kWmaPage2, 86, 0, "ParentalRating", "Text47", SX_WMAParentalRating, 0, 0},
      {kWmaPage2, 87, 0, "PartOffset", "Text46", SX_WMAPartOfSet, 0, 0},
      {kWmaPage2, 88, 0, "Period", "Text53", SX_WMAPeriod, 0, 0},
      {kWmaPage2, 89, 0, "Producers", "Text54", SX_WMAProducer, 0, 0},
      {kWmaPage2, 90, 0, "PromotionURL", "Text45", SX_WMAPromotionURL, 0, 0},
      {kWmaPage2, 91, 0, "Provider", "Text44", SX_WMAProvider, 0, 0},
      {kWmaPage2, 92, 0, "Publisher", "Text43", SX_WMAPublisher, 0, 0},
      {kWmaPage2, 93, 0, "Rating", "Text42", SX_WMARating, 0, 0},
      {kWmaPage2, 94, 0, "ToolName", "Text56", SX_WMAToolName, 0, 0},
      {kWmaPage2, 95, 0, "ToolVersion", "Text57", SX_WMAToolVersion, 0, 0},
      {kWmaPage3, 96, 0, "UserWebURL", "Text60", SX_WMAUserWebURL, 0, 0},
      {kWmaPage3, 97, 0, "Writer", "Text63", SX_WMAWriter, 0, 0},
      {kWmaPage3, 98, 0, "Lyrics", "Text64", SX_WMALyrics, 0, 0},
      {kWmaPage3, 105, 0, "Comment", "Text61", SX_WMAComment, 0, 0},
  };
  return rows;
}

const std::array<ListPage, 4>& ListPages() {
  static const std::array<ListPage, 4> pages = {{
      {kCommentsPage, &S::cboCommentsID, {&S::txtCommentsLanguage, &S::txtCommentsDescription, &S::txtCommentComments},
       true, SX_ID3V2GetComments, SX_ID3V2DeleteComments, SX_ID3V2SetComment,
       {SX_ID3V2GetCommentLanguage, SX_ID3V2GetCommentDescription, SX_ID3V2GetComment}, kSaveComment, kDeleteComment,
       kDeleteAllComments, true, true, false},
      {kUrlPage, &S::cboIDurl, {&S::txtDescriptionURL, &S::txtUserURL}, false, SX_ID3V2GetUserURLs,
       SX_ID3V2DeleteUserURLs, SX_ID3V2SetUserURL, {SX_ID3V2GetUserURLDescription, SX_ID3V2GetUserURL}, kSaveUrl,
       kDeleteUrl, kDeleteAllUrls, false, false, true},
      {kLyricsPage, &S::cboIDSong, {&S::txtLanguageSong, &S::txtDescriptionSong, &S::txtSong}, true,
       SX_ID3V2GetLyrics, SX_ID3V2DeleteLyrics, SX_ID3V2SetLyric,
       {SX_ID3V2GetLyricLanguage, SX_ID3V2GetLyricDescription, SX_ID3V2GetLyric}, kSaveLyric, kDeleteLyric,
       kDeleteAllLyrics, false, true, false},
      {kUserFramesPage, &S::cboIDFrame, {&S::txtLanguageFrame, &S::txtTextFrame}, true, SX_ID3V2GetUserFrames,
       SX_ID3V2DeleteUserFrames, SX_ID3V2SetUserFrame, {SX_ID3V2GetUserFrameLanguage, SX_ID3V2GetUserFrame},
       kSaveFrame, kDeleteFrame, kDeleteAllFrames, false, false, false},
  }};
  return pages;
}

TagEditorState::TagEditorState(djvp::MainState& main) : Main(main) {
  // The editor's own control; where none can be made, the shared one.
  if (automation::CreateObject("SONAVEX.SonavexCtrl.1", Tags) != AUTO_S_OK) Tags = main.Sonavex1;

  // The tab strip and every page start hidden; the design's tabs stay until
  // the opening builds those of the file's format.
  TabStrip1.setVisible(false);
  TabStrip1.addItems({QStringLiteral("Common"), QStringLiteral("Comment's"), QStringLiteral("URL's"),
                      QStringLiteral("Cover"), QStringLiteral("Lyrics"), QStringLiteral("User Frames")});
  for (ui::Caption& page : Frame1) page.setVisible(false);

  // The texts, in the language of this moment.
  static const std::map<int, int> kButtonTexts = {
      {kSaveComment, 358}, {kDeleteComment, 359}, {kDeleteAllComments, 360}, {kSaveUrl, 336},
      {kDeleteUrl, 337},   {kDeleteAllUrls, 338}, {kLoadImage, 339},         {kDeleteImage, 340},
      {kSaveLyric, 343},   {kDeleteLyric, 344},   {kDeleteAllLyrics, 345},   {kSaveFrame, 347},
      {kDeleteFrame, 348}, {kDeleteAllFrames, 349}, {kCancel, 203},          {kSaveTag, 321},
      {kDeleteTag, 320}};
  for (const auto& [button, text] : kButtonTexts) SSCommand[static_cast<size_t>(button)].setText(T(text));
  // The labels of the list pages; those of the field pages follow the rows.
  static const std::map<int, int> kListLabels = {{16, 333}, {17, 341}, {18, 334}, {19, 315}, {28, 332}, {29, 334},
                                                 {30, 333}, {31, 335}, {32, 333}, {33, 341}, {34, 334}, {35, 342},
                                                 {40, 333}, {41, 341}, {43, 346}};
  for (const auto& [label, text] : kListLabels) SCLabel1[static_cast<size_t>(label)].setText(T(text));
  for (const FieldRow& row : FieldRows())
    SCLabel1[static_cast<size_t>(row.label)].setText(row.caption ? T(row.caption) : QString::fromLatin1(row.fixedCaption));

  // The Cover page shows the tag's first picture; the tag's pictures are
  // neither loaded nor removed here.
  SSCommand[kLoadImage].setEnabled(false);
  SSCommand[kDeleteImage].setEnabled(false);
}

TagEditorState::~TagEditorState() {
  if (!PictureFile.isEmpty()) QFile::remove(PictureFile);
}

ui::TextBox& TagEditorState::Box(const FieldRow& row) {
  static const std::map<std::string, ui::TextBox S::*> kNamed = {
      {"txtArtist", &S::txtArtist},
      {"txtAlbum", &S::txtAlbum},
      {"txtTitle", &S::txtTitle},
      {"txtYear", &S::txtYear},
      {"txtGenre", &S::txtGenre},
      {"txtTrack", &S::txtTrack},
      {"txtRecordingTime", &S::txtRecordingTime},
      {"txtCategory", &S::txtCategory},
      {"txtLanguage", &S::txtLanguage},
      {"txtEncoder", &S::txtEncoder},
      {"txtCopyright", &S::txtCopyright},
      {"txtComposer", &S::txtComposer},
      {"txtOrchestra", &S::txtOrchestra},
      {"txtEncodeSettings", &S::txtEncodeSettings},
      {"txtBPM", &S::txtBPM},
      {"txtFileOwner", &S::txtFileOwner},
      {"txtCommercialURL", &S::txtCommercialURL},
      {"txtCopyrightURL", &S::txtCopyrightURL},
      {"txtAudiofileURL", &S::txtAudiofileURL},
      {"txtArtistURL", &S::txtArtistURL},
      {"txtAudiosourceURL", &S::txtAudiosourceURL},
      {"txtRadiostationURL", &S::txtRadiostationURL},
      {"txtPaymentURL", &S::txtPaymentURL},
      {"txtPublisherURL", &S::txtPublisherURL},
  };
  const std::string name = row.box;
  if (const auto it = kNamed.find(name); it != kNamed.end()) return this->*(it->second);
  // "Text<n>"
  return Text[static_cast<size_t>(std::stoi(name.substr(4)))];
}

bool HoldsValues(const FieldRow& row) {
  switch (row.page) {
    case kCommonPage:
    case kVorbisPage:
    case kWmaPage1:
    case kWmaPage2:
    case kWmaPage3: return true;
    default: return false;
  }
}

void TagEditorState::Load(ui::TextBox& box, const QString& text) {
  loaded_[&box] = text;
  box.setText(text);
}

}  // namespace tageditor
