#include "GainTool.h"

#include "AnalysisHost.h"
#include "CommandOutput.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

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
  options.errorBox = [](const QString& text) {
    if (g_AnalysisHost) g_AnalysisHost->AppendErrorText(text);
  };
  options.onPoll = [] { AdvanceAnalysisProgress(0.01f, kColGain); };
  // A name that starts with "-" must not be taken for an option.
  const QString path = songPath.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + songPath : songPath;
  // "-o": tab-separated report; "-s s": skip stored gain tags (read and write none).
  basCommandOutput_GetCommandOutput(output, GainToolProgram(),
                                    {QStringLiteral("-o"), QStringLiteral("-s"), QStringLiteral("s"), path}, options);
  ParseGainReport(output, figures);
}

}  // namespace djvp
