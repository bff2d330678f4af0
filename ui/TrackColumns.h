// Track rows: the thirteen columns that every song list of the program shares
// (the deck playlists, the hidden scratch grid, the music library), and the
// few rules for reading their cells that every part of the program uses: the
// grid's current row, a cell's text, a number and a mix point in a cell.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace djvp {
class Grid;
}

namespace djvp::ui {

// Column numbers of a track row; every track grid has these in this order.
enum TrackColumn : int32_t {
  kArtist = 1,
  kTitle = 2,
  kTime = 3,
  kFilename = 4,
  kBPM = 5,
  kGenre = 6,
  kAlbum = 7,
  kYear = 8,
  kBitrate = 9,
  kFreq = 10,
  kGain = 11,
  kStartMixPoint = 12,
  kEndMixPoint = 13,
};
inline constexpr int32_t kTrackColumnCount = 13;

// Each column's key and the string-table entry of its header, in column
// order.
struct TrackColumnInfo {
  const char* key;
  int header;
};
extern const std::array<TrackColumnInfo, kTrackColumnCount> kTrackColumns;

// Sets up a deck playlist or the scratch grid: the 13 columns with their
// headers in the current language, Artist, Title, Time and BPM shown, whole
// rows selected one at a time, typing finds a song by its artist.
void InitPlaylistColumns(Grid& grid);
// Sets up the library grid: the 13 columns, all shown, Artist and Title 200
// pixels wide and the others as wide as their headers need in any language,
// headers that can be dragged and clicked, the search in the Artist column,
// several rows selectable.
void InitLibraryColumns(Grid& grid);
// The 13 headers again, in the current language.
void SetTrackHeaders(Grid& grid);

// The grid's current row (1-based): the selected row that has the focus, else
// the first selected row; 0 when no row is selected.
int32_t SelectedRow(const Grid& grid);
// The text of that row's cell in the column; "" for a row or column that is
// not there.
QString CellText(const Grid& grid, int32_t row, TrackColumn column);

// Reads a number written with "." or "," as its decimal separator (blanks
// around it allowed); nothing when the text is no number.
std::optional<double> ParseNumber(const QString& text);
// The seconds of a mix-point cell ("12.50 sec"): the number before the unit
// (which may be missing). Nothing for a cell without a usable, non-negative
// number.
std::optional<double> MixPointSeconds(const QString& cell);

}  // namespace djvp::ui
