// The playlist buttons of both decks (Folder, Add file, Delete, Up, Down,
// Save, Clear), the header click that sorts a playlist and the double click
// that plays a row.
#pragma once

namespace djvp {
class frmMain;
class Grid;
}  // namespace djvp

namespace playlists {

// cmdPlayer(index): 0..6 deck 1's Folder, Add file, Delete, Up, Down, Save,
// Clear, 10..16 deck 2's; the transport buttons 7..9 and 17..19 go to the
// decks. Any other index does nothing.
void cmdPlayer_Click(djvp::frmMain& form, int index);

// The header of column `column` of PlayListView(index) was clicked: the grid
// is sorted by that column alone, ascending at the first click and
// descending at the next (each column alternates on its own).
void PlayListView_ColumnClick(djvp::frmMain& form, int index, int column);

// A double click on PlayListView(index): plays the selected row of deck 1
// (index 0) or deck 2 (index 1).
void PlayListView_DblClick(djvp::frmMain& form, int index);

// The single buttons, for deck 0 or 1.
void AddFile(djvp::frmMain& form, int deck);
void DeleteRow(djvp::frmMain& form, int deck);
void MoveRow(djvp::frmMain& form, int deck, int step);  // -1 up, +1 down
void SavePlaylist(djvp::frmMain& form, int deck);
void ClearPlaylist(djvp::frmMain& form, int deck);
void FolderButton(djvp::frmMain& form, int deck);

// The deck display's text at rest: "dj VORLAN" and ten blanks.
const char* RestingText();

}  // namespace playlists
