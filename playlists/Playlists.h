// The playlist buttons of both decks (Folder, Add file, Delete, Up, Down,
// Save, Clear), the header click that sorts a playlist and the double click
// that plays a row.
#pragma once

#include "ui/DeckId.h"

#include <QString>

namespace djvp {
class MainState;
class Grid;
}  // namespace djvp

namespace playlists {

// cmdPlayer(index): 0..6 deck 1's Folder, Add file, Delete, Up, Down, Save,
// Clear, 10..16 deck 2's. The transport buttons 7..9 and 17..19 belong to
// the decks, as does any other index: nothing happens here.
void cmdPlayer_Click(djvp::MainState& s, int index);

// The header of column `column` of PlayListView(index) was clicked: the grid
// is sorted by that column alone, ascending at the first click and
// descending at the next (each column alternates on its own).
void PlayListView_ColumnClick(djvp::MainState& s, int index, int column);
// What a click on the header of `column` does in every track grid: sorts the
// grid by that column alone, ascending when the column's mark is empty
// (the mark becomes "DESC") and descending otherwise (the mark is cleared),
// with the wait cursor shown meanwhile.
void SortByHeader(djvp::Grid& grid, int column);

// The single buttons of a deck.
void AddFile(djvp::MainState& s, djvp::DeckId deck);
// Adds one chosen file to the grid by its ending (letter case ignored): a
// song (MP3, OGG, WMA, FLAC) as one row, an own playlist (VPL) or an M3U/M3U8
// list with all their rows; any other file gives a message and adds nothing.
void AddChosenFile(djvp::MainState& s, const QString& path, djvp::Grid& grid);
void DeleteRow(djvp::MainState& s, djvp::DeckId deck);
void MoveRow(djvp::MainState& s, djvp::DeckId deck, int step);  // -1 up, +1 down
void SavePlaylist(djvp::MainState& s, djvp::DeckId deck);
void ClearPlaylist(djvp::MainState& s, djvp::DeckId deck);
void FolderButton(djvp::MainState& s, djvp::DeckId deck);

// At start: what a playlist save killed midway left in the folder of the
// playlist saved last (a new file that never got its name) goes.
void FinishKilledPlaylistSave();

// Connects the playlist buttons and the header clicks of the three track
// grids to their handlers.
void ConnectHandlers(djvp::MainState& s);

}  // namespace playlists
