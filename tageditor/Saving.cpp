// "Save this Tag": the changed boxes of the pages the editor shows go into
// the file's tag through the tag library; then the library rows of the file
// and the index follow, and the editor closes.
#include "tageditor/TagEditor.h"

#include "library/Index.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "resources/StringIds.h"
#include "sonavex/Dispids.h"
#include "tageditor/Failures.h"
#include "tageditor/TagControl.h"
#include "tageditor/TextRules.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QGuiApplication>
#include <QStringList>

#include <vector>

namespace tageditor {

namespace {

using djvp::ui::T;

// The wait cursor for as long as the save runs.
class WaitCursor {
 public:
  WaitCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
      QGuiApplication::setOverrideCursor(Qt::WaitCursor);
      on_ = true;
    }
  }
  ~WaitCursor() {
    if (on_) QGuiApplication::restoreOverrideCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool on_ = false;
};

bool IsUrlPageRow(const FieldRow& row) { return row.page == kUrlPage; }

// The ID3v1 page's genre number box and its label.
constexpr size_t kGenreNumberBox = 10;
constexpr size_t kGenreNumberLabel = 44;

// The pages and the save member of the tag kind the editor shows.
struct Branch {
  std::vector<int> pages;
  int32_t save = 0;
};

Branch BranchOf(const TagEditorState& ed) {
  switch (ed.FileFormat) {
    case kMpeg:
      return ed.ShowsID3V2 ? Branch{{kCommonPage, kUrlPage}, SX_ID3V2SaveChangesToFile}
                           : Branch{{kId3v1Page}, SX_ID3V1SaveChangesToFile};
    case kWma: return {{kWmaPage1, kWmaPage2, kWmaPage3}, SX_WMASaveChangesToFile};
    case kFlac: return {{kVorbisPage}, SX_FLACSaveChangesToFile};
    case kOgg: return {{kVorbisPage}, SX_OGGSaveChangesToFile};
    default: return {};
  }
}

bool OnPages(const FieldRow& row, const std::vector<int>& pages) {
  for (int p : pages)
    if (row.page == p) return true;
  return false;
}

// Writes the new texts of the boxes into the file's library rows: the row
// the editor was opened on and any other row of the same file.
void UpdateLibraryRows(TagEditorState& ed, const std::vector<std::pair<int, QString>>& cells) {
  djvp::Grid* grid = ed.Main.DummyPlaylist;
  if (!grid || cells.empty()) return;
  for (int32_t r = 1, n = grid->RowCount(); r <= n; ++r) {
    if (grid->TextAt(r, djvp::ui::kFilename) != ed.TagFileName) continue;
    for (const auto& [column, text] : cells) grid->SetTextAt(r, column, text);
  }
}

}  // namespace

void SSCommand16_Click(TagEditorState& ed) {
  WaitCursor wait;
  const TagControl tags(ed.Tags);
  const QString& path = ed.TagFileName;

  // The file as it is now: the puts below change only what the user changed
  // and leave every other part of the tag as the library reads it.
  const int16_t format = tags.Analyze(path);
  const Branch branch = BranchOf(ed);
  if (branch.save == 0 && format == ed.FileFormat) {
    // A format without pages has nothing to save.
    if (ed.Unload) ed.Unload();
    return;
  }
  const bool sameKind = format == ed.FileFormat && (format != kMpeg || (tags.Int(SX_ID3V2Exists) != 0) == ed.ShowsID3V2);
  if (!sameKind) {
    QString why = format == kNoFormat ? FailureReason(tags, path) : QString();
    if (why.isEmpty()) why = T(djvp::kStrTagFileChanged);
    TellFailure(djvp::kStrTagsNotSaved, path, why);
    return;
  }

  bool changed = false;
  QStringList refused;
  std::vector<std::pair<int, QString>> cells;
  const bool ogg = format == kOgg;
  for (const FieldRow& row : FieldRows()) {
    if (!OnPages(row, branch.pages)) continue;
    ui::TextBox& box = ed.Box(row);
    const QString loaded = ed.LoadedText(box);
    const QString text = WithLineEndsOf(box.text(), loaded);
    // A field of several values reaches the row as track rows show it.
    const bool values = HoldsValues(row);
    if (row.column) cells.emplace_back(row.column, values ? ValuesForRow(text) : text);
    const int32_t dispid = ogg && row.oggDispid ? row.oggDispid : row.dispid;

    if (dispid == SX_ID3V1GenreID) continue;  // with the genre name, below
    if (dispid == SX_ID3V1Genre) {
      // The genre name and number are one field: when either changed, the
      // name is put and then a changed number, which wins over the name's.
      ui::TextBox& number = ed.Text[kGenreNumberBox];
      const bool numberChanged = number.text() != ed.LoadedText(number);
      if (box.text() == loaded && !numberChanged) continue;
      changed = true;
      tags.Put(SX_ID3V1Genre, box.text());
      if (!numberChanged) continue;
      int16_t n = 0;
      if (ParseInt16(number.text(), &n))
        tags.PutNumber(SX_ID3V1GenreID, n);
      else if (!number.text().trimmed().isEmpty())
        refused << ed.SCLabel1[kGenreNumberLabel].text() + QStringLiteral(": ") + T(djvp::kStrNotANumber);
      continue;
    }

    if (text == loaded) continue;
    changed = true;
    const QString value = IsUrlPageRow(row) ? UrlForTag(text) : values ? ValuesForTag(text) : text;
    tags.Put(dispid, value);
    // The ID3v2 tag refuses frames its version cannot hold and frames
    // beyond the last slot: such a field keeps its old value.
    if (format == kMpeg && ed.ShowsID3V2 && tags.Text(dispid) != value) {
      const QString why = tags.LastErrorText();
      refused << ed.SCLabel1[static_cast<size_t>(row.label)].text() + (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
    }
  }

  // A tag without any change is not written again.
  if (changed && !tags.Succeeds(branch.save, {path})) {
    TellFailure(djvp::kStrTagsNotSaved, path, FailureReason(tags, path));
    return;
  }
  if (!refused.isEmpty()) djvp::MsgBox(T(djvp::kStrFieldsNotStored) + QLatin1Char('\n') + refused.join(QLatin1Char('\n')));

  UpdateLibraryRows(ed, cells);
  library::SaveLibraryIndex(ed.Main);
  if (ed.Unload) ed.Unload();
}

void SSCommand15_Click(TagEditorState& ed) {
  if (ed.Unload) ed.Unload();
}

}  // namespace tageditor
