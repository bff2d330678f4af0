// The "Search For Songs" page: the library grid's header clicks and column
// drags, the quick find of the search box, the popup menu with its copy and
// delete commands, and the grid's requests to edit a cell.
#pragma once

#include <QString>

namespace djvp {
class MainState;
struct LibraryPage;
}

namespace library {

// A click on the header of `column` sorts the library by that column alone,
// ascending at a column's first click and then alternately descending and
// ascending, each column on its own. Refused while songs are analysed.
void DummyPlaylist_ColumnClick(djvp::LibraryPage& s, int column);
// After the user dragged a column: the column that now stands left-most is
// scrolled into view and becomes the one the quick find searches.
void DummyPlaylist_ResetKeyColumn(djvp::LibraryPage& s);
// A mouse button went down on the grid (2 = right): with rows selected, the
// right button shows the popup menu at the mouse pointer.
void DummyPlaylist_RightClick(djvp::LibraryPage& s, int button);
// No cell of the library is ever edited in place: every request is
// cancelled.
void DummyPlaylist_SearchKey(bool* cancel);
// Every change of the search box's text selects the first row whose cell in
// the search column starts with the text (case does not matter); a text that
// no row starts with changes nothing.
void Text1_Change(djvp::LibraryPage& s);

// The popup menu's entries "Copy to Player 1" and "Copy to Player 2": the
// buttons cmdSearch(0) and (1).
void mnuCopy1_Click(djvp::MainState& s);
void mnuCopy2_Click(djvp::MainState& s);
// "Delete the Selected File": the selected songs' files go to the desktop's
// trash (deleted where the disk has no trash) and their rows leave the
// library, which is saved. A row whose file is already gone goes too; a file
// that cannot be removed keeps its row, and the user is told which and why.
// No confirmation is asked. Refused while songs are analysed.
void mnuDelete_Click(djvp::LibraryPage& s);

// Removes one song file: to the trash when there is one, else unlinked.
// True when the file is gone afterwards (also when it was gone before);
// otherwise false with the reason in *why. A folder is never removed.
bool RemoveSongFile(const QString& path, QString* why);

}  // namespace library
