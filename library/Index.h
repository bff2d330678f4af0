// The music library's index file "djv.ndx" in the user's data folder: every
// row of the library grid with its thirteen cells, in the grid's own
// versioned file format. It is read once, at start, and written as a whole
// by SaveLibraryIndex, the one routine that writes it (after building the
// library, after deleting songs, after an analysis run, after the tag
// editor's save).
#pragma once

#include <QString>

namespace djvp {
class MainState;
struct LibraryPage;
}

namespace library {

// The index file's full path.
QString IndexPath();

// Reads the index into the library grid (whose columns are set up). Without
// an index file the library stays empty, quietly. A file that cannot be read
// (damaged, from a newer program, unreadable) leaves the library empty too;
// it is renamed to IndexPath() + ".unreadable" (".unreadable.2" and so on
// when that name is taken: a copy kept earlier is never replaced) so that
// the next save does not write over it, and the user is told why.
void LoadLibraryIndex(djvp::LibraryPage& s);

// Writes the library grid to the index file. The new file replaces the old
// one only once it is complete on the disk; when the save fails (disk full,
// no permission) the old index stays whole and the user is told, with the
// system's reason. Returns whether the index was written.
bool SaveLibraryIndex(djvp::LibraryPage& s);

// While songs of the library are analysed the library's rows must stay where
// they are: tells the user and returns true; returns false at other times.
bool RefusedWhileAnalysing(const djvp::LibraryPage& s);

}  // namespace library
