#include "ui/TrackColumns.h"

#include "platform/Grid.h"
#include "resources/StringIds.h"
#include "ui/Text.h"

#include <cmath>

namespace djvp::ui {

const std::array<TrackColumnInfo, kTrackColumnCount> kTrackColumns = {{
    {"Artist", kStrArtist},
    {"Title", kStrTitle},
    {"Time", kStrTime},
    {"Filename", kStrFilename},
    {"BPM", kStrBpm},
    {"Genre", kStrGenre},
    {"Album", kStrAlbum},
    {"Year", kStrYear},
    {"Bitrate", kStrBitrate},
    {"Freq", kStrFreq},
    {"Gain", kStrGain},
    {"StartMixPoint", kStrStartMixPoint},
    {"EndMixPoint", kStrEndMixPoint},
}};

void InitPlaylistColumns(Grid& grid) {
  for (const auto& c : kTrackColumns) grid.InsertColumn(QLatin1String(c.key), T(c.header));
  for (const auto& c : kTrackColumns) {
    const QString key = QLatin1String(c.key);
    grid.SetColumnVisible(key, key == QLatin1String("Artist") || key == QLatin1String("Title") ||
                                   key == QLatin1String("Time") || key == QLatin1String("BPM"));
  }
  grid.SetColumnPixelWidth(QStringLiteral("Artist"), 150);
  grid.SetColumnPixelWidth(QStringLiteral("Title"), 170);
  grid.SetColumnPixelWidth(QStringLiteral("Time"), 52);
  grid.SetColumnPixelWidth(QStringLiteral("BPM"), 52);
  grid.SetRowMode(true);
  grid.SetMultiSelect(false);
  // Typing in a playlist finds a song by its artist.
  grid.SetSearchColumn(kArtist);
}

void InitLibraryColumns(Grid& grid) {
  for (const auto& c : kTrackColumns) grid.InsertColumn(QLatin1String(c.key), T(c.header));
  // The user drags any column to the left to search it, and sorts by a
  // click on a header.
  grid.SetColumnsDraggable(true);
  grid.SetHeadersClickable(true);
  grid.SetSearchColumn(grid.ColumnNumber(QStringLiteral("Artist")));
  grid.SetColumnPixelWidth(QStringLiteral("Artist"), 200);
  grid.SetColumnPixelWidth(QStringLiteral("Title"), 200);
  // The other columns are as wide as their headers need in the language
  // shown, so that no header is cut.
  for (const auto& c : kTrackColumns) {
    const QString key = QLatin1String(c.key);
    if (key != QLatin1String("Artist") && key != QLatin1String("Title")) grid.SetColumnFitsHeader(key, true);
  }
  grid.SetRowMode(true);
  grid.SetMultiSelect(true);
}

void SetTrackHeaders(Grid& grid) {
  for (const auto& c : kTrackColumns) grid.SetHeaderCaption(QLatin1String(c.key), T(c.header));
}

int32_t SelectedRow(const Grid& grid) {
  if (const int32_t row = grid.CurrentRow(); row > 0) return row;
  return grid.SelectedRowAt(1);
}

QString CellText(const Grid& grid, int32_t row, TrackColumn column) {
  if (row < 1 || column < 1 || column > grid.ColumnCount()) return {};
  return grid.TextAt(row, column);
}

std::optional<double> ParseNumber(const QString& text) {
  QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  // One separator of either kind; a text with both (thousands grouping) is
  // not a number the program writes.
  if (t.contains(QLatin1Char(',')) && t.contains(QLatin1Char('.'))) return std::nullopt;
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double v = t.toDouble(&ok);  // QString::toDouble reads "." only, whatever the locale
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<double> MixPointSeconds(const QString& cell) {
  QString t = cell.trimmed();
  if (t.endsWith(QLatin1String("sec"), Qt::CaseInsensitive)) t.chop(3);
  const std::optional<double> v = ParseNumber(t);
  if (!v || *v < 0) return std::nullopt;
  return v;
}

}  // namespace djvp::ui
