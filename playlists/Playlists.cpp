#include "playlists/Playlists.h"

#include "display/ScrollerText.h"
#include "platform/CommonDialog.h"
#include "platform/FileProblems.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/OwnFiles.h"
#include "playlists/Import.h"
#include "playlists/TrackRow.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"
#include "ui/Text.h"

#include <QGuiApplication>
#include <QVariant>

#include <array>

namespace playlists {

namespace {

using namespace djvp::ctl;
using djvp::ui::SelectedRow;

bool EndsWith(const QString& path, const char* ending) {
  const QString e = QLatin1String(ending);
  return path.right(e.size()).toUpper() == e;
}

}  // namespace

void cmdPlayer_Click(djvp::MainState& s, int index) {
  const auto button = djvp::DeckId::FromGroupIndex(index, kDeckButtons);
  if (!button) return;
  const djvp::DeckId deck = button->deck;
  switch (button->k) {
    case kFolder: FolderButton(s, deck); break;
    case kAddFile: AddFile(s, deck); break;
    case kDelete: DeleteRow(s, deck); break;
    case kUp: MoveRow(s, deck, -1); break;
    case kDown: MoveRow(s, deck, +1); break;
    case kSave: SavePlaylist(s, deck); break;
    case kClear: ClearPlaylist(s, deck); break;
    default: break;
  }
}

void ConnectHandlers(djvp::MainState& s) {
  for (djvp::DeckId deck : djvp::kBothDecks)
    for (int b = kFolder; b <= kClear; ++b) {
      const int index = static_cast<int>(deck.Slot(kDeckButtons, b));
      s.cmdPlayer[static_cast<size_t>(index)].Click = [&s, index] { cmdPlayer_Click(s, index); };
    }
  for (int i = 0; i < 3; ++i)
    if (djvp::Grid* grid = s.PlayListView[static_cast<size_t>(i)])
      QObject::connect(grid, &djvp::Grid::ColumnClick, grid,
                       [&s, i](int column) { PlayListView_ColumnClick(s, i, column); });
}

void FolderButton(djvp::MainState& s, djvp::DeckId deck) {
  djvp::Grid* grid = s.Playlist(deck);
  if (!grid) return;
  QString& text = s.ScrollerText[deck.Index()];
  // The import notice is shown meanwhile; afterwards the deck shows again
  // what it showed before (the title of a song that plays on, or the
  // resting text).
  const QString before = text;
  ImportFolder(s, *grid);
  text = before;
}

void AddFile(djvp::MainState& s, djvp::DeckId deck) {
  djvp::Grid* grid = s.Playlist(deck);
  if (!grid) return;
  djvp::clsCommonDialog dialog;
  QString path = QStringLiteral("*.*");
  QString title;
  // Several files may be chosen at once; each is added in turn.
  bool mustExist = true, multi = true, readOnly = false, hideReadOnly = false;
  QString filter = QStringLiteral(
      "All Files (*.*)|*.*|MP3 Files (*.MP3)|*.MP3|OGG Files (*.OGG)|*.OGG|FLAC Files (*.FLAC)|*.FLAC|"
      "Windows WMA Files (*.WMA)|*.WMA|WAV Files (*.WAV)|*.WAV|Vorlan's PlayList (*VPL)|*.VPL|"
      "Winamp M3U Playlist (*.M3U)|*.M3U|Winamp M3U8 Playlist (*.M3U8)|*.M3U8");
  int32_t filterIndex = 1;
  QString initDir, dlgTitle, defaultExt = QStringLiteral("*");
  int32_t owner = s.hWnd;
  int32_t flags = 0;
  if (!dialog.VBGetOpenFileName(path, title, mustExist, multi, readOnly, hideReadOnly, filter, filterIndex, initDir,
                                dlgTitle, defaultExt, owner, flags))
    return;
  // Several chosen files that give no song are told in one message.
  const djvp::FileProblemScope problems;
  for (const QString& chosen : dialog.SelectedFiles()) AddChosenFile(s, chosen, *grid);
}

void AddChosenFile(djvp::MainState& s, const QString& path, djvp::Grid& grid) {
  djvp::Grid& scratch = *s.PlayListView[2];
  if (EndsWith(path, "MP3") || EndsWith(path, "OGG") || EndsWith(path, "WMA") || EndsWith(path, "FLAC")) {
    ImportPath(s, path, grid, true);
  } else if (EndsWith(path, "VPL")) {
    if (ReadOwnPlaylist(path, scratch)) CopyRows(scratch, grid);
  } else if (EndsWith(path, "M3U") || EndsWith(path, "M3U8")) {
    if (ReadM3U(s, path, scratch)) CopyRows(scratch, grid);
  } else {
    // Any other file (a WAV file among them) is no song of a playlist: say
    // so rather than add nothing in silence.
    djvp::ReportFileProblem(djvp::ui::T(djvp::kStrCannotAddFile), path);
  }
}

void DeleteRow(djvp::MainState& s, djvp::DeckId deck) {
  djvp::Grid* grid = s.Playlist(deck);
  if (!grid) return;
  const int32_t row = SelectedRow(*grid);
  if (row <= 0) return;
  grid->SetDrawingEnabled(false);
  grid->DeleteRow(row);
  grid->SetDrawingEnabled(true);
}

void MoveRow(djvp::MainState& s, djvp::DeckId deck, int step) {
  djvp::Grid* grid = s.Playlist(deck);
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

void SavePlaylist(djvp::MainState& s, djvp::DeckId deck) {
  djvp::Grid* grid = s.Playlist(deck);
  if (!grid) return;
  djvp::clsCommonDialog dialog;
  QString path = QStringLiteral("*.vpl");
  QString title;
  bool overwritePrompt = true;
  QString filter = QStringLiteral("Vorlan's PlayList (*.VPL)|*.VPL");
  int32_t filterIndex = 1;
  QString initDir, dlgTitle, defaultExt = QStringLiteral("vpl");
  int32_t owner = s.hWnd;
  int32_t flags = 0;
  if (!dialog.VBGetSaveFileName(path, title, overwritePrompt, filter, filterIndex, initDir, dlgTitle, defaultExt,
                                owner, flags))
    return;
  // Where the save writes is stored first: if the program is killed while
  // it writes, the next start knows the folder to finish it in.
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash >= 0) djvp::keys::Save(djvp::keys::kPlaylistFolder, slash == 0 ? QStringLiteral("/") : path.left(slash));
  // A save that fails leaves the old file whole; the user learns of it.
  if (!grid->SaveToFile(path)) djvp::MsgBox(path + QLatin1Char('\n') + grid->LastError(), djvp::MsgButtons::Ok);
}

void FinishKilledPlaylistSave() {
  const QString folder = djvp::keys::Get(djvp::keys::kPlaylistFolder);
  if (djvp::KindOf(folder) == djvp::PathKind::Folder) djvp::RemoveOldSaveLeftovers(folder, {});
}

void ClearPlaylist(djvp::MainState& s, djvp::DeckId deck) {
  djvp::Grid* grid = s.Playlist(deck);
  if (!grid || grid->RowCount() == 0) return;
  grid->DeleteAllRows();
  const size_t d = deck.Index();
  s.ScrollerText[d] = djvp::ScrollerIdleText();
  s.ScrollerPos[d] = static_cast<int16_t>(s.ScrollerWidth[d] - s.ScrollerText[d].size() + 2);
}

void PlayListView_ColumnClick(djvp::MainState& s, int index, int column) {
  if (index < 0 || index > 2) return;
  if (djvp::Grid* grid = s.PlayListView[static_cast<size_t>(index)]) SortByHeader(*grid, column);
}

void SortByHeader(djvp::Grid& grid, int column) {
  if (column < 1 || column > grid.ColumnCount()) return;
  djvp::GridSortSpec& sortSpec = grid.SortSpec();
  sortSpec.Clear();
  int32_t entry = sortSpec.EntryOf(column);
  if (entry == 0) {
    entry = sortSpec.Count() + 1;
    sortSpec.SetColumn(entry, column);
  }
  const bool ascending = grid.ColumnMark(column).isEmpty();
  grid.SetColumnMark(column, ascending ? QStringLiteral("DESC") : QString());
  sortSpec.SetOrder(entry, ascending ? djvp::GridSortSpec::kAscending : djvp::GridSortSpec::kDescending);
  sortSpec.SetKind(entry, grid.ColumnSortKind(column));
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  grid.ApplySort();
  QGuiApplication::restoreOverrideCursor();
}

}  // namespace playlists
