#include "GainTool.h"

#include "AnalysisHost.h"
#include "CommandOutput.h"
#include "ModBass.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>
#include <optional>
#include <unistd.h>

namespace djvp {

QString GainToolProgram() { return QStringLiteral("mp3gain"); }

namespace {

// The number at the start of a field, with "." as decimal separator whatever
// the locale; 0 for a field that starts with no number.
double LeadingNumber(const QString& field) {
  static const QRegularExpression number(QStringLiteral("^\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?"));
  const auto m = number.match(field);
  if (!m.hasMatch()) return 0.0;
  bool ok = false;
  const double v = QLocale::c().toDouble(m.captured(0).trimmed(), &ok);
  return ok ? v : 0.0;
}

// The name the tool is given for the song. Arguments reach a child process
// as UTF-8, so a name holding bytes that are not UTF-8 would reach it
// changed and name no file. Such a song is given as a symbolic link with a
// plain name in a private folder of its own (removed with this object),
// which the tool opens as the song itself. The tool is asked to write
// nothing into the song; should it ever be, note that its ID3v2 mode
// replaces the file it was given (here the link) instead of writing through
// it, while its APE mode writes into the song.
class ToolPath {
 public:
  explicit ToolPath(const QString& songPath) : song_(songPath), name_(songPath) {
    const QByteArray bytes = NativePath(songPath);
    if (bytes == songPath.toUtf8()) {
      // A name that starts with "-" must not be taken for an option.
      if (name_.startsWith(QLatin1Char('-'))) name_.prepend(QStringLiteral("./"));
      return;
    }
    char* real = ::realpath(bytes.constData(), nullptr);
    if (!real) return;  // no such file: the tool says so by the name it gets
    const QByteArray target(real);
    std::free(real);
    folder_.emplace(QDir::tempPath() + QStringLiteral("/djvp-gain-XXXXXX"));
    if (!folder_->isValid()) return;
    const QString link = folder_->filePath(QStringLiteral("song.mp3"));
    if (::symlink(target.constData(), QFile::encodeName(link).constData()) == 0) name_ = link;
  }
  const QString& Name() const { return name_; }
  // The tool's messages name the song as the user knows it, not the link.
  QString Told(QString text) const {
    if (name_ != song_ && folder_) text.replace(name_, song_);
    return text;
  }

 private:
  QString song_;
  QString name_;
  std::optional<QTemporaryDir> folder_;
};

}  // namespace

bool ParseGainReport(const QString& report, clsMp3Info& figures) {
  figures.ResetVals();
  QString text = report;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // The first line is the header; the file's record runs from there to the
  // album line that closes the report (or to the end).
  const qsizetype headerEnd = text.indexOf(QLatin1Char('\n'));
  if (headerEnd < 0) return false;
  qsizetype recordEnd = text.indexOf(QStringLiteral("\n\"Album\""), headerEnd);
  if (recordEnd < 0) recordEnd = text.size();
  QString record = text.mid(headerEnd + 1, recordEnd - headerEnd - 1);
  while (record.endsWith(QLatin1Char('\n'))) record.chop(1);
  // Fields from the end: path, MP3 gain, dB gain, max amplitude, max gain, min gain.
  const QStringList parts = record.split(QLatin1Char('\t'));
  if (parts.size() < 6) return false;
  const qsizetype n = parts.size();
  figures.CurrMaxAmp(LeadingNumber(parts[n - 3]));
  figures.RadiodBGain(LeadingNumber(parts[n - 4]));
  int16_t v = 0;
  if (RoundToInt16(LeadingNumber(parts[n - 2]), v)) figures.CurrMaxGain(v);
  if (RoundToInt16(LeadingNumber(parts[n - 1]), v)) figures.CurrMinGain(v);
  figures.ModifydBGain(0);
  return true;
}

void AnalyzeGain(const QString& songPath, clsMp3Info& figures) {
  QString output;
  CommandOptions options;
  options.captureStdOut = true;
  options.captureStdErr = false;
  options.waitStepMs = 100;
  const ToolPath path(songPath);
  options.errorBox = [&path](const QString& text) {
    if (g_AnalysisHost) g_AnalysisHost->AppendErrorText(path.Told(text));
  };
  options.onPoll = [] { AdvanceAnalysisProgress(0.01f, kColGain); };
  // "-o": tab-separated report; "-s s": skip stored gain tags (read and write none).
  basCommandOutput_GetCommandOutput(output, GainToolProgram(),
                                    {QStringLiteral("-o"), QStringLiteral("-s"), QStringLiteral("s"), path.Name()},
                                    options);
  ParseGainReport(output, figures);
}

}  // namespace djvp
