// Track rows: the thirteen columns every song list of the program shares
// (deck playlists, the hidden scratch grid, the music library), the texts the
// cells hold, and the making of a row from an audio file's tags.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace djvp {
class Grid;
class frmMain;
}  // namespace djvp

namespace playlists {

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

// A playing time in the form mm:ss: the seconds taken to the nearest whole
// second (a half to the even one), minutes with at least two digits.
QString TimeText(double seconds);

// A number written with at least `intDigits` integer digits and exactly
// `decimals` decimals, always with "." whatever the locale ("000.0" is
// FormatNumber(v, 3, 1), "00.00" is FormatNumber(v, 2, 2)).
QString FormatNumber(double value, int intDigits, int decimals);
// Reads a number written with "." or "," as its decimal separator (blanks
// around it allowed); nullopt when the text is no number.
std::optional<double> ParseNumber(const QString& text);
// The seconds of a mix-point cell ("05.20 sec"): the text without its last
// four characters read as a number; nullopt for an empty or malformed cell.
std::optional<double> MixPointSeconds(const QString& cell);

// The lines of a comment text; lines end with CR LF, LF or CR.
QStringList CommentLines(const QString& comment);
// The value that follows the first line of `comment` that is exactly
// `marker`; nullopt when no such line is followed by another. Lines end with
// CR LF, LF or CR.
std::optional<QString> MarkerValue(const QString& comment, const QString& marker);
std::optional<QString> MarkerValue(const QStringList& lines, const QString& marker);

// Reads `path` through the window's tag library control and appends one track
// row for it to `grid`, advancing the import progress bar and showing the
// path in the progress label. A file the tag library cannot read gives the
// message "This file does not accept Tag information, it will be skipped"
// and no row. A path ending in "cdg" names the MP3 file of the same name.
void AddTrackRow(djvp::frmMain& form, QString path, djvp::Grid& grid);

}  // namespace playlists
