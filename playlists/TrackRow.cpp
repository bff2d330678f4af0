#include "playlists/TrackRow.h"
#include "playlists/Tags.h"

#include "audio/AnalysisHost.h"
#include "platform/Grid.h"
#include "platform/FileProblems.h"
#include "platform/ModPublic.h"
#include "platform/OwnFiles.h"
#include "resources/StringIds.h"
#include "sonavex/Dispids.h"
#include "ui/MainState.h"
#include "ui/Text.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace playlists {

namespace {

using djvp::ui::T;

void AdvanceProgress(djvp::MainState& s, const QString& path) {
  // The import holds the event loop, so the frame is painted right away, but
  // at most every 40 ms: painting it for every file would cost more than
  // reading the file.
  static QElapsedTimer lastPaint;
  const bool paintNow = !lastPaint.isValid() || lastPaint.elapsed() >= 40;
  if (paintNow) lastPaint.restart();
  int v = s.PB.value();
  if (v > 99 || v < 0) v = 0;
  s.PB.setValue(v + 1);
  djvp::ui::Caption& label = s.SCLabel1[djvp::ctl::kLblImportPath];
  label.setText(path);
  if (paintNow) {
    s.PB.refresh();
    label.refresh();
  }
}

}  // namespace

QString WhyNoSong(const QString& path) {
  // The system's reason where the file cannot be opened at all.
  const int fd = ::open(djvp::FileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return djvp::FileErrorText(path.isEmpty() ? ENOENT : errno);
  struct stat st;
  const bool folder = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  ::close(fd);
  if (folder) return djvp::FileErrorText(EISDIR);
  return T(djvp::kStrNoTagInformation);
}

QString TimeText(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  // nearbyint rounds a half to the even neighbour in the default mode.
  const int64_t d = static_cast<int64_t>(std::nearbyint(seconds));
  const int64_t minutes = d / 60;
  const int64_t rest = d - 60 * minutes;
  return QStringLiteral("%1:%2").arg(minutes, 2, 10, QLatin1Char('0')).arg(rest, 2, 10, QLatin1Char('0'));
}

QString FormatNumber(double value, int intDigits, int decimals) {
  if (!std::isfinite(value)) value = 0;
  QString text = QString::number(value, 'f', decimals);  // always "." as the separator
  const bool negative = text.startsWith(QLatin1Char('-'));
  if (negative) text.remove(0, 1);
  const qsizetype point = text.indexOf(QLatin1Char('.'));
  const qsizetype digits = point < 0 ? text.size() : point;
  if (digits < intDigits) text.prepend(QString(intDigits - digits, QLatin1Char('0')));
  return negative ? QLatin1Char('-') + text : text;
}

QStringList CommentLines(const QString& comment) {
  QStringList lines;
  qsizetype pos = 0;
  const qsizetype n = comment.size();
  if (n == 0) return lines;
  while (true) {
    qsizetype end = pos;
    while (end < n && comment[end] != QLatin1Char('\r') && comment[end] != QLatin1Char('\n')) ++end;
    lines.append(comment.mid(pos, end - pos));
    if (end >= n) break;
    // One line end: CR LF, LF or CR.
    pos = end + ((comment[end] == QLatin1Char('\r') && end + 1 < n && comment[end + 1] == QLatin1Char('\n')) ? 2 : 1);
    if (pos >= n) break;  // a text ending in a line end has no empty last line
  }
  return lines;
}

std::optional<QString> MarkerValue(const QStringList& lines, const QString& marker) {
  for (qsizetype i = 0; i < lines.size(); ++i)
    if (lines[i] == marker) {
      // The first marker line decides; as the last line it yields nothing.
      if (i + 1 < lines.size()) return lines[i + 1];
      return std::nullopt;
    }
  return std::nullopt;
}

std::optional<QString> MarkerValue(const QString& comment, const QString& marker) {
  return MarkerValue(CommentLines(comment), marker);
}

void AddTrackRow(djvp::MainState& s, QString path, djvp::Grid& grid) {
  // A karaoke graphics file names the MP3 file of the same name.
  if (path.right(3).toUpper() == QLatin1String("CDG")) {
    path.chop(3);
    path += QLatin1String("mp3");
  }
  const Tags tags(s.Sonavex1);
  const int16_t format = tags.Analyze(path);
  if (format == 0) {
    // Told with the other files of the operation, once, at its end.
    djvp::ReportFileProblem(WhyNoSong(path), path);
    return;
  }
  AdvanceProgress(s, path);

  const int32_t row = grid.AddRow();
  djvp::AnalysisRow = row;
  if (row <= 0) return;
  auto set = [&](int32_t column, const QVariant& value) { grid.SetCellValue(row, column, value); };
  // A tag field of several values comes with U+0000 between them; a cell
  // shows them apart.
  auto setText = [&](int32_t column, QString value) {
    grid.SetCellValue(row, column, value.replace(QChar(0), QStringLiteral("; ")));
  };

  // The comment is kept in memory as Unicode text; the stored analysis
  // values of WMA, FLAC and Ogg files are marker lines in it.
  const QStringList lines = CommentLines(tags.Text(SX_AUDIOComment));
  auto markers = [&](std::initializer_list<std::pair<const char*, int32_t>> list) {
    for (const auto& [marker, column] : list)
      if (const auto value = MarkerValue(lines, QLatin1String(marker))) setText(column, *value);
  };

  switch (format) {
    case kFormatMpeg: {
      const QString karaoke = path.left(path.size() - 3) + QLatin1String("cdg");
      if (djvp::modPublic_FileExists(karaoke)) {
        // A karaoke song: artist, title, genre and time; the marker "CDG"
        // in the album column; the playable MP3 file as its file name.
        setText(kArtist, tags.Text(SX_AUDIOArtist));
        setText(kTitle, tags.Text(SX_AUDIOTitle));
        setText(kAlbum, QStringLiteral("CDG"));
        setText(kGenre, tags.Text(SX_AUDIOGenre));
        setText(kTime, TimeText(tags.Real(SX_AUDIOGetDuration)));
        setText(kFilename, path);
        return;
      }
      if (tags.Boolean(SX_ID3V2Exists)) {
        setText(kBPM, tags.Text(SX_ID3V2BeatsPerMinute));
        const int16_t count = static_cast<int16_t>(tags.Int(SX_ID3V2GetComments));
        const std::pair<const char*, int32_t> kinds[3] = {{"PEA", kGain}, {"SMP", kStartMixPoint}, {"EMP", kEndMixPoint}};
        for (int16_t i = 1; i > 0 && i <= count; ++i) {
          const QString language = tags.TextAt(SX_ID3V2GetCommentLanguage, i);
          for (const auto& [marker, column] : kinds)
            if (language == QLatin1String(marker)) setText(column, tags.TextAt(SX_ID3V2GetComment, i));
        }
      }
      setText(kYear, tags.Text(SX_AUDIOYear));
      break;
    }
    case kFormatWma:
      setText(kYear, tags.Text(SX_AUDIOYear));
      setText(kBPM, tags.Text(SX_WMABeatsPerMinute));
      markers({{"PEA", kGain}, {"SMP", kStartMixPoint}, {"EMP", kEndMixPoint}});
      break;
    case kFormatFlac:
    case kFormatOgg:
      setText(kYear, tags.Text(format == kFormatFlac ? SX_FLACDate : SX_OGGDate));
      markers({{"PEA", kGain}, {"SMP", kStartMixPoint}, {"EMP", kEndMixPoint}, {"BPM", kBPM}});
      break;
    default:
      break;
  }

  setText(kArtist, tags.Text(SX_AUDIOArtist));
  setText(kTitle, tags.Text(SX_AUDIOTitle));
  setText(kAlbum, tags.Text(SX_AUDIOAlbum));
  setText(kGenre, tags.Text(SX_AUDIOGenre));
  set(kBitrate, QVariant(static_cast<int>(tags.Int(SX_AUDIOGetBitrate))));
  set(kFreq, QVariant(static_cast<int>(tags.Int(SX_AUDIOGetSampleRate))));
  setText(kTime, TimeText(tags.Real(SX_AUDIOGetDuration)));
  setText(kFilename, path);
}

}  // namespace playlists
