// Filling a track grid: one file, a folder tree, an own playlist (".VPL", the
// grid's file format) or an M3U/M3U8 list.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <set>

namespace djvp {
class Grid;
class MainState;
}  // namespace djvp

namespace playlists {

// The file kinds a folder import takes, each a complete walk of the tree in
// this order (names match without regard to case).
inline const QStringList& ImportMasks() {
  static const QStringList masks = {QStringLiteral("*.mp3"), QStringLiteral("*.ogg"), QStringLiteral("*.flac"),
                                    QStringLiteral("*.wma")};
  return masks;
}

// Asks for a folder and imports its tree into `grid`, with the progress frame
// and the wait cursor shown meanwhile. Returns whether a folder was chosen.
bool ImportFolder(djvp::MainState& s, djvp::Grid& grid);

// The import progress panel for as long as the object lives: the wait
// cursor, the bar at 0 and the path line showing string `firstLine` until
// the first file, the panel painted at once; afterwards the cursor comes
// back and the panel hides.
class ImportProgress {
 public:
  ImportProgress(djvp::MainState& s, int firstLine);
  ~ImportProgress();
  ImportProgress(const ImportProgress&) = delete;
  ImportProgress& operator=(const ImportProgress&) = delete;

 private:
  djvp::MainState& s_;
};

// The folder browser: the chosen folder ending in "/", or "" when the user
// cancelled. On a deck's playlist it shows the import notice on that deck's
// display.
QString AskImportFolder(djvp::MainState& s, djvp::Grid& grid);

// One audio file (isFile) or a whole folder tree, mask by mask.
void ImportPath(djvp::MainState& s, const QString& path, djvp::Grid& grid, bool isFile);

// Adds the rows of every file matching `mask` in the tree below `folder`:
// the rows of a folder's sub-folders first (in name order), then its own
// files (in name order). Hidden files are taken; a symbolic link to a folder
// above (a loop) is not followed, and a folder reached a second time through
// another link is not walked again.
void ScanFolder(djvp::MainState& s, const QString& folder, const QString& mask, djvp::Grid& grid);

// Reads an M3U or M3U8 list into the scratch grid (cleared first): one row
// per line that does not start with "#". UTF-8 (a byte-order mark is
// dropped) or, for an M3U file that is not valid UTF-8, Windows-1252; lines
// end with CR LF, LF or CR; a relative path is taken from the list's own
// folder. False (and a message) when the file cannot be read.
bool ReadM3U(djvp::MainState& s, const QString& path, djvp::Grid& scratch);

// Loads an own playlist into the scratch grid (cleared first). False (and a
// message) when the file cannot be loaded; the scratch grid is then empty.
bool ReadOwnPlaylist(const QString& path, djvp::Grid& scratch);

// Appends every row of `from` to the end of `to`, all thirteen cells of each,
// values and their types unchanged.
void CopyRows(const djvp::Grid& from, djvp::Grid& to);
// Appends row `row` of `from` to the end of `to` in the same way. Returns the
// new row's number; 0 (and no cell written anywhere) when no row could be
// appended.
int32_t CopyRow(const djvp::Grid& from, int32_t row, djvp::Grid& to);

// Decodes the bytes of a text file: UTF-8 when it starts with a byte-order
// mark (dropped), when `utf8` is set or when the bytes are valid UTF-8;
// Windows-1252 otherwise.
QString DecodeText(const QByteArray& bytes, bool utf8);

}  // namespace playlists
