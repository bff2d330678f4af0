// Track rows: the thirteen columns every song list of the program shares
// (deck playlists, the hidden scratch grid, the music library), the texts the
// cells hold, and the making of a row from an audio file's tags.
#pragma once

#include "ui/TrackColumns.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace djvp {
class Grid;
class MainState;
}  // namespace djvp

namespace playlists {

// The columns and the cell readers every track grid shares.
using enum djvp::ui::TrackColumn;
using djvp::ui::kTrackColumnCount;
using djvp::ui::MixPointSeconds;
using djvp::ui::ParseNumber;

// A playing time in the form mm:ss: the seconds taken to the nearest whole
// second (a half to the even one), minutes with at least two digits.
QString TimeText(double seconds);

// A number written with at least `intDigits` integer digits and exactly
// `decimals` decimals, always with "." whatever the locale ("000.0" is
// FormatNumber(v, 3, 1), "00.00" is FormatNumber(v, 2, 2)).
QString FormatNumber(double value, int intDigits, int decimals);

// The lines of a comment text; lines end with CR LF, LF or CR.
QStringList CommentLines(const QString& comment);
// The value that follows the first line of `comment` that is exactly
// `marker`; nullopt when no such line is followed by another. Lines end with
// CR LF, LF or CR.
std::optional<QString> MarkerValue(const QString& comment, const QString& marker);
std::optional<QString> MarkerValue(const QStringList& lines, const QString& marker);

// Reads `path` through the window's tag library control and appends one track
// row for it to `grid`, advancing the import progress bar and showing the
// path in the progress label. A file the tag library cannot read gives no
// row; it is told with its reason (the system's, or "This file does not
// accept Tag information, it will be skipped") through ReportFileProblem:
// once, with the other such files, at the end of the operation under way.
// A path ending in "cdg" names the MP3 file of the same name.
void AddTrackRow(djvp::MainState& s, QString path, djvp::Grid& grid);

// Why a file gives no track row: the system's reason when it cannot be
// opened (missing, no permission, a folder), else that it holds no song the
// tag library reads.
QString WhyNoSong(const QString& path);

}  // namespace playlists
