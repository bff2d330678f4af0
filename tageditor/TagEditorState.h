// The tag editor's state without its widgets: the controls of the window
// "frmTags" under the program's names (the tab strip, the twelve pages, the
// labels, the buttons, the text boxes and the item lists of the ID3v2 list
// pages), the file it shows and the tag library control it works through.
//
// The editor has a tag library control of its own, so that its file's tag
// stays in the control's memory while the rest of the program analyses other
// files (a deck start reads its song's stored settings) on the shared one.
//
// A state is made for one opening of the editor and dropped when the editor
// closes; the window (app/frmTags) binds its widgets to the controls here and
// sets Unload, which closes it.
#pragma once

#include "automation/Host.h"
#include "playlists/Tags.h"
#include "ui/Controls.h"

#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace djvp {
class MainState;
}

namespace tageditor {

namespace ui = djvp::ui;

// The pages (Frame1 indexes).
enum Page : int {
  kCommonPage = 0,      // the ID3v2 text frames
  kCommentsPage = 1,    // the ID3v2 comments
  kUrlPage = 2,         // the ID3v2 URL frames and the user URLs
  kCoverPage = 3,       // the ID3v2 pictures
  kLyricsPage = 4,      // the ID3v2 unsynchronised lyrics
  kUserFramesPage = 5,  // the ID3v2 terms-of-use frames
  kId3v1Page = 6,       // the ID3v1 tag
  kVorbisPage = 7,      // the Vorbis comment of FLAC and Ogg Vorbis files
  kWmaPage1 = 8,        // the WMA fields, three pages
  kWmaPage2 = 9,
  kWmaPage3 = 10,
  kSparePage = 11,      // shown for no format
};
constexpr int kPages = 12;
// SCLabel1 indexes 0..105.
constexpr int kLabels = 106;

// The tag library's format numbers the editor has pages for.
enum Format : int16_t {
  kNoFormat = playlists::kFormatNone,
  kMpeg = playlists::kFormatMpeg,
  kWma = playlists::kFormatWma,
  kFlac = playlists::kFormatFlac,
  kOgg = playlists::kFormatOgg,
};

// SSCommand indexes (1..17) by what the buttons do.
enum Button : int {
  kSaveComment = 1,
  kDeleteComment = 2,
  kDeleteAllComments = 3,
  kSaveUrl = 4,
  kDeleteUrl = 5,
  kDeleteAllUrls = 6,
  kLoadImage = 7,
  kDeleteImage = 8,
  kSaveLyric = 9,
  kDeleteLyric = 10,
  kDeleteAllLyrics = 11,
  kSaveFrame = 12,
  kDeleteFrame = 13,
  kDeleteAllFrames = 14,
  kCancel = 15,
  kSaveTag = 16,
  kDeleteTag = 17,
};
constexpr int kButtons = 18;

class TagEditorState;

// One text box of a field page: where it stands (page, label), the label's
// caption (a string number, or a fixed text when the number is 0), the tag
// field it shows (dispatch numbers of the tag library's property; the Ogg
// Vorbis one where it differs from the FLAC one) and the library column the
// full save writes it to (0: none).
struct FieldRow {
  int page;
  int label;
  int caption;
  const char* fixedCaption;
  const char* box;  // the control's name: "txtArtist", "Text28"
  int32_t dispid;
  int32_t oggDispid;
  int column;
};
// Every field row of every field page, page by page, each page's rows from
// top to bottom.
const std::vector<FieldRow>& FieldRows();
// The field can hold several values (an ID3v2 text frame, a Vorbis comment
// field, a WMA attribute): its box shows and takes them in the form of
// ValuesForBox and ValuesFromBox.
bool HoldsValues(const FieldRow& row);

// One ID3v2 list page (comments, user URLs, lyrics, user frames).
struct ListPage {
  int page;
  ui::ListBox TagEditorState::*list;
  // The item's fields in the order the library's setter takes them; the
  // language is the first when the page has one, the item's text the last.
  std::vector<ui::TextBox TagEditorState::*> fields;
  bool hasLanguage;
  int32_t count, deleteAll, setter;
  std::vector<int32_t> getters;  // one per field
  int saveButton, deleteButton, deleteAllButton;
  bool saveWrites, deleteWrites;  // whether the button writes the file
  bool urlText;                   // the item's text is a URL
};
enum ListKind : int { kComments = 0, kUserUrls = 1, kLyrics = 2, kUserFrames = 3 };
const std::array<ListPage, 4>& ListPages();

class TagEditorState {
 public:
  // The window's controls with their texts in the current language; every
  // page hidden, every box empty. Makes the editor's own tag library control
  // (the shared one when no other can be made).
  explicit TagEditorState(djvp::MainState& main);
  TagEditorState(const TagEditorState&) = delete;
  TagEditorState& operator=(const TagEditorState&) = delete;
  ~TagEditorState();

  djvp::MainState& Main;
  automation::DispatchPtr Tags;

  // The file the editor shows, the format and the kind of tag its pages
  // show (set by the opening), and the library row it was opened on.
  QString TagFileName;
  int16_t FileFormat = kNoFormat;
  bool ShowsID3V2 = false;
  int32_t LibraryRow = 0;

  // ------------------------------------------------------------ controls
  ui::ListBox TabStrip1;  // the tabs' captions; the chosen entry is the selected tab
  std::array<ui::Caption, kPages> Frame1;
  ui::Caption Frame2;  // the user URL group on the URL page
  std::array<ui::Caption, kLabels> SCLabel1;
  std::array<ui::Button, kButtons> SSCommand;  // 1..17

  // "Common": the ID3v2 text frames.
  ui::TextBox txtArtist, txtAlbum, txtTitle, txtYear, txtGenre, txtTrack, txtRecordingTime, txtCategory,
      txtLanguage, txtEncoder, txtCopyright, txtComposer, txtOrchestra, txtEncodeSettings, txtBPM, txtFileOwner;
  // "URL's": the ID3v2 URL frames.
  ui::TextBox txtCommercialURL, txtCopyrightURL, txtAudiofileURL, txtArtistURL, txtAudiosourceURL,
      txtRadiostationURL, txtPaymentURL, txtPublisherURL;
  // The ID3v1, Vorbis comment and WMA pages' boxes Text1 .. Text64 by their
  // number (entry 0 is not used).
  std::array<ui::TextBox, 65> Text;

  // The list pages. An item list's own text is the text in its edit field
  // (the user may type an item number there).
  ui::ListBox cboCommentsID, cboIDurl, cboIDSong, cboIDFrame;
  ui::TextBox txtCommentsLanguage, txtCommentsDescription, txtCommentComments;
  ui::TextBox txtDescriptionURL, txtUserURL;
  ui::TextBox txtLanguageSong, txtDescriptionSong, txtSong;
  ui::TextBox txtLanguageFrame, txtTextFrame;

  // "Cover": the picture box; its key is the file of the picture it shows
  // ("" shows none).
  ui::PictureCell img;

  // Closes the window (the window sets it).
  std::function<void()> Unload;

  // ------------------------------------------------------------ helpers
  ui::TextBox& Box(const FieldRow& row);
  // The text a box was loaded with ("" for a box the opening did not fill).
  QString LoadedText(const ui::TextBox& box) const { return loaded_.value(&box); }
  // Fills a box and remembers the text as the one it was loaded with.
  void Load(ui::TextBox& box, const QString& text);

  // Where the tag's first picture was written for the Cover page ("" when
  // none was); removed with the state.
  QString PictureFile;

 private:
  QHash<const ui::TextBox*, QString> loaded_;
};

}  // namespace tageditor
