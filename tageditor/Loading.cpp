// Opening the tag editor on the library's current row: the file's pages and
// tabs, its fields in their boxes, the ID3v2 lists and the cover picture;
// and the switching of pages by tab.
#include "tageditor/TagEditor.h"

#include "library/Index.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "resources/StringIds.h"
#include "sonavex/Dispids.h"
#include "tageditor/TagControl.h"
#include "tageditor/TextRules.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QDir>
#include <QTemporaryFile>

#include <initializer_list>
#include <vector>

namespace tageditor {

namespace {

using djvp::ui::T;

void ShowOnly(TagEditorState& ed, int page) {
  for (int i = 0; i < kPages; ++i) ed.Frame1[static_cast<size_t>(i)].setVisible(i == page);
}

void FillPages(TagEditorState& ed, const TagControl& tags, std::initializer_list<int> pages, bool ogg = false) {
  for (const FieldRow& row : FieldRows()) {
    bool wanted = false;
    for (int p : pages) wanted = wanted || row.page == p;
    if (!wanted) continue;
    const int32_t dispid = ogg && row.oggDispid ? row.oggDispid : row.dispid;
    // The genre number is the one number among the fields.
    QString text = dispid == SX_ID3V1GenreID ? QString::number(tags.GetNumber(dispid)) : tags.Text(dispid);
    if (HoldsValues(row)) text = ValuesForBox(text);
    ed.Load(ed.Box(row), text);
  }
}

// The tabs of the format; the selected tab is the first, without raising the
// tab event (the page on show was chosen by the opening).
void BuildTabs(TagEditorState& ed) {
  std::vector<int> captions;
  if (ed.FileFormat == kMpeg)
    captions = {314, 315, 316, 317, 318, 319};
  else if (ed.FileFormat == kWma)
    captions = {547, 548, 549};
  else
    return;
  const ui::EventBlocker quiet(ed.TabStrip1);
  ed.TabStrip1.clear();
  for (int n : captions) ed.TabStrip1.addItem(T(n));
  ed.TabStrip1.setCurrentIndex(0);
}

// The tag's first picture, written into a file of its own for the Cover
// page.
void LoadCover(TagEditorState& ed, const TagControl& tags) {
  if (tags.Int(SX_ID3V2GetPictures) <= 0) return;
  QTemporaryFile file(QDir::temp().filePath(QStringLiteral("djvp-cover-XXXXXX")));
  file.setAutoRemove(false);
  if (!file.open()) return;
  const QString path = file.fileName();
  file.close();
  ed.PictureFile = path;
  if (tags.SucceedsAt(SX_ID3V2GetPicture, 1, {path})) ed.img.setKey(path);
}

}  // namespace

void mnuTag_Click(djvp::MainState& s, const ShowEditor& show) {
  djvp::Grid* grid = s.DummyPlaylist;
  if (!grid || grid->SelectionCount() <= 0) return;
  const int32_t row = grid->CurrentRow();
  if (row <= 0) return;
  // The full save writes the row and the index, which an analysis run holds.
  if (library::RefusedWhileAnalysing(s)) return;
  s.TagFileName = grid->TextAt(row, djvp::ui::kFilename);

  TagEditorState ed(s);
  ed.LibraryRow = row;
  ConnectEditor(ed);
  if (!LoadSong(ed, s.TagFileName)) return;
  if (show) show(ed);
}

bool LoadSong(TagEditorState& ed, const QString& path) {
  ed.TagFileName = path;
  const TagControl tags(ed.Tags);
  ed.FileFormat = tags.Analyze(path);
  switch (ed.FileFormat) {
    case kNoFormat: {
      QString text = T(djvp::kStrNoTagInformation);
      const QString why = tags.LastErrorText();
      if (!why.isEmpty()) text += QLatin1Char('\n') + path + QStringLiteral(": ") + why;
      djvp::MsgBox(text, djvp::MsgButtons::Ok);
      return false;
    }
    case kMpeg:
      ed.ShowsID3V2 = tags.Int(SX_ID3V2Exists) != 0;
      if (ed.ShowsID3V2) {
        ed.TabStrip1.setVisible(true);
        ShowOnly(ed, kCommonPage);
        FillPages(ed, tags, {kCommonPage, kUrlPage});
        for (ListKind kind : {kComments, kLyrics, kUserUrls, kUserFrames}) UpdateList(ed, kind);
        LoadCover(ed, tags);
      } else {
        ed.TabStrip1.setVisible(false);
        ShowOnly(ed, kId3v1Page);
        FillPages(ed, tags, {kId3v1Page});
      }
      break;
    case kWma:
      ed.TabStrip1.setVisible(true);
      ShowOnly(ed, kWmaPage1);
      FillPages(ed, tags, {kWmaPage1, kWmaPage2, kWmaPage3});
      break;
    case kFlac:
    case kOgg:
      ed.TabStrip1.setVisible(false);
      ShowOnly(ed, kVorbisPage);
      FillPages(ed, tags, {kVorbisPage}, ed.FileFormat == kOgg);
      break;
    default:
      // Formats without a page of their own open with none shown.
      break;
  }
  BuildTabs(ed);
  return true;
}

void TabStrip1_Click(TagEditorState& ed) {
  const QString caption = ed.TabStrip1.currentText();
  // The caption's string, the page it shows and the first and last page of
  // its group: the ID3v2 tabs switch pages 0 to 5, the WMA tabs 8 to 10.
  struct Tab {
    int text, page, first, last;
  };
  static const Tab tabs[] = {{314, 0, 0, 5}, {315, 1, 0, 5}, {316, 2, 0, 5}, {317, 3, 0, 5},  {318, 4, 0, 5},
                             {319, 5, 0, 5}, {547, 8, 8, 10}, {548, 9, 8, 10}, {549, 10, 8, 10}};
  for (const Tab& tab : tabs) {
    if (caption != T(tab.text)) continue;
    ed.Frame1[static_cast<size_t>(tab.page)].setVisible(true);
    for (int p = tab.first; p <= tab.last; ++p)
      if (p != tab.page) ed.Frame1[static_cast<size_t>(p)].setVisible(false);
    return;
  }
}

}  // namespace tageditor
