#include "playlists/Playlists.h"

#include "app/frmMain.h"
#include "decks/Transport.h"
#include "platform/CommonDialog.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "playlists/Import.h"
#include "playlists/TrackRow.h"

#include <QApplication>
#include <QVariant>

#include <array>

namespace playlists {

namespace {

enum Button { kFolder = 0, kAddFile = 1, kDelete = 2, kUp = 3, kDown = 4, kSave = 5, kClear = 6 };

djvp::Grid* DeckGrid(djvp::frmMain& form, int deck) {
  return deck == 0 || deck == 1 ? form.PlayListView[static_cast<size_t>(deck)] : nullptr;
}

// The deck's selected row; 0 when none is.
int32_t SelectedRow(const djvp::Grid& grid) {
  return grid.SelectionCount() > 0 ? grid.SelectedRowAt(1) : 0;
}

bool EndsWith(const QString& path, const char* ending) {
  const QString e = QLatin1String(ending);
  return path.right(e.size()).toUpper() == e;
}

}  // namespace

const char* RestingText() { return "dj VORLAN          "; }

void cmdPlayer_Click(djvp::frmMain& form, int index) {
  if (index < 0 || index > 19) return;
  const int deck = index / 10;
  switch (index % 10) {
    case kFolder: FolderButton(form, deck); break;
    case kAddFile: AddFile(form, deck); break;
    case kDelete: DeleteRow(form, deck); break;
    case kUp: MoveRow(form, deck, -1); break;
    case kDown: MoveRow(form, deck, +1); break;
    case kSave: SavePlaylist(form, deck); break;
    case kClear: ClearPlaylist(form, deck); break;
    default: decks::cmdPlayer_Transport(form, index); break;
  }
}

void FolderButton(djvp::frmMain& form, int deck) {
  djvp::Grid* grid = DeckGrid(form, deck);
  if (!grid) return;
  QString& text = deck == 0 ? form.ScrollerText1 : form.ScrollerText2;
  // The import notice is shown meanwhile; afterwards the deck shows again
  // what it showed before (the title of a song that plays on, or the
  // resting text).
  const QString before = text;
  ImportFolder(form, *grid);
  text = before;
}

void AddFile(djvp::frmMain& form, int deck) {
  djvp::Grid* grid = DeckGrid(form, deck);
  if (!grid) return;
  djvp::clsCommonDialog dialog;
  QString path = QStringLiteral("*.*");
  QString title;
  bool mustExist = true, multi = false, readOnly = false, hideReadOnly = false;
  QString filter = QStringLiteral(
      "All Files (*.*)|*.*|MP3 Files (*.MP3)|*.MP3|OGG Files (*.OGG)|*.OGG|FLAC Files (*.FLAC)|*.FLAC|"
      "Windows WMA Files (*.WMA)|*.WMA|WAV Files (*.WAV)|*.WAV|Vorlan's PlayList (*VPL)|*.VPL|"
      "Winamp M3U Playlist (*.M3U)|*.M3U|Winamp M3U8 Playlist (*.M3U8)|*.M3U8");
  int32_t filterIndex = 1;
  QString initDir, dlgTitle, defaultExt = QStringLiteral("*");
  int32_t owner = static_cast<int32_t>(form.winId());
  int32_t flags = 0;
  if (!dialog.VBGetOpenFileName(path, title, mustExist, multi, readOnly, hideReadOnly, filter, filterIndex, initDir,
                                dlgTitle, defaultExt, owner, flags))
    return;
  djvp::Grid& scratch = *form.PlayListView[2];
  if (EndsWith(path, "MP3") || EndsWith(path, "OGG") || EndsWith(path, "WMA") || EndsWith(path, "FLAC"))
    ImportPath(form, path, *grid, true);
  if (EndsWith(path, "VPL") && ReadOwnPlaylist(path, scratch)) CopyRows(scratch, *grid);
  if ((EndsWith(path, "M3U") || EndsWith(path, "M3U8")) && ReadM3U(form, path, scratch)) CopyRows(scratch, *grid);
}

void DeleteRow(djvp::frmMain& form, int deck) {
  djvp::Grid* grid = DeckGrid(form, deck);
  if (!grid) return;
  const int32_t row = SelectedRow(*grid);
  if (row <= 0) return;
  grid->SetDrawingEnabled(false);
  grid->DeleteRow(row);
  grid->SetDrawingEnabled(true);
}

void MoveRow(djvp::frmMain& form, int deck, int step) {
  djvp::Grid* grid = DeckGrid(form, deck);
  if (!grid) return;
  const int32_t r = SelectedRow(*grid);
  const int32_t other = r + step;
  if (r <= 0 || other < 1 || other > grid->RowCount()) return;
  std::array<QVariant, kTrackColumnCount> mine, theirs;
  for (int32_t c = 1; c <= kTrackColumnCount; ++c) {
    mine[static_cast<size_t>(c - 1)] = grid->CellValue(r, c);
    theirs[static_cast<size_t>(c - 1)] = grid->CellValue(other, c);
  }
  for (int32_t c = 1; c <= kTrackColumnCount; ++c) {
    grid->SetCellValue(other, c, mine[static_cast<size_t>(c - 1)]);
    grid->SetCellValue(r, c, theirs[static_cast<size_t>(c - 1)]);
  }
  // The selection follows the moved song.
  grid->SetCurrentRow(other);
}

void SavePlaylist(djvp::frmMain& form, int deck) {
  djvp::Grid* grid = DeckGrid(form, deck);
  if (!grid) return;
  djvp::clsCommonDialog dialog;
  QString path = QStringLiteral("*.vpl");
  QString title;
  bool overwritePrompt = true;
  QString filter = QStringLiteral("Vorlan's PlayList (*.VPL)|*.VPL");
  int32_t filterIndex = 1;
  QString initDir, dlgTitle, defaultExt = QStringLiteral("vpl");
  int32_t owner = static_cast<int32_t>(form.winId());
  int32_t flags = 0;
  if (!dialog.VBGetSaveFileName(path, title, overwritePrompt, filter, filterIndex, initDir, dlgTitle, defaultExt,
                                owner, flags))
    return;
  // A save that fails leaves the old file whole; the user learns of it.
  if (!grid->SaveToFile(path)) djvp::MsgBox(path + QLatin1Char('\n') + grid->LastError(), djvp::MsgButtons::Ok);
}

void ClearPlaylist(djvp::frmMain& form, int deck) {
  djvp::Grid* grid = DeckGrid(form, deck);
  if (!grid || grid->RowCount() == 0) return;
  grid->DeleteAllRows();
  const QString text = QLatin1String(RestingText());
  if (deck == 0) {
    form.ScrollerText1 = text;
    form.ScrollerPos1 = static_cast<int16_t>(form.ScrollerWidth1 - text.size() + 2);
  } else {
    form.ScrollerText2 = text;
    form.ScrollerPos2 = static_cast<int16_t>(form.ScrollerWidth2 - text.size() + 2);
  }
}

void PlayListView_ColumnClick(djvp::frmMain& form, int index, int column) {
  if (index < 0 || index > 2) return;
  djvp::Grid* grid = form.PlayListView[static_cast<size_t>(index)];
  if (!grid || column < 1 || column > grid->ColumnCount()) return;
  djvp::GridSortSpec& sortSpec = grid->SortSpec();
  sortSpec.Clear();
  int32_t entry = sortSpec.EntryOf(column);
  if (entry == 0) {
    entry = sortSpec.Count() + 1;
    sortSpec.SetColumn(entry, column);
  }
  const bool ascending = grid->ColumnMark(column).isEmpty();
  grid->SetColumnMark(column, ascending ? QStringLiteral("DESC") : QString());
  sortSpec.SetOrder(entry, ascending ? djvp::GridSortSpec::kAscending : djvp::GridSortSpec::kDescending);
  sortSpec.SetKind(entry, grid->ColumnSortKind(column));
  QApplication::setOverrideCursor(Qt::WaitCursor);
  grid->ApplySort();
  QApplication::restoreOverrideCursor();
}

void PlayListView_DblClick(djvp::frmMain& form, int index) {
  if (index == 0 || index == 1) decks::PlayListView_DblClick(form, index);
}

}  // namespace playlists
