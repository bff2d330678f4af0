#include "CommandOutput.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringDecoder>

namespace djvp {

int32_t basCommandOutput_GetCommandOutput(QString& output, const QString& program, const QStringList& args,
                                          const CommandOptions& options) {
  QProcess process;
  if (!options.workingFolder.isEmpty()) process.setWorkingDirectory(options.workingFolder);
  const bool separateErrors = options.errorBox && !options.captureStdErr;
  if (options.captureStdOut && options.captureStdErr) process.setProcessChannelMode(QProcess::MergedChannels);
  if (!options.captureStdOut) process.setStandardOutputFile(QProcess::nullDevice());
  if (!options.captureStdErr && !separateErrors) process.setStandardErrorFile(QProcess::nullDevice());
  process.start(program, args, QIODevice::ReadOnly);
  if (!process.waitForStarted(10000)) return 0;

  // Stateful decoders: a multi-byte character split between two reads
  // still decodes whole.
  QStringDecoder outDecoder(QStringDecoder::Utf8);
  QStringDecoder errDecoder(QStringDecoder::Utf8);
  QString collected;
  auto drain = [&] {
    const QByteArray out = (options.captureStdOut || options.captureStdErr) ? process.readAllStandardOutput()
                                                                             : QByteArray();
    if (!out.isEmpty()) {
      const QString text = outDecoder.decode(out);
      collected += text;
      if (options.stdOutBox) options.stdOutBox(text);
      if (!separateErrors && options.errorBox) options.errorBox(text);
    }
    if (separateErrors) {
      const QByteArray err = process.readAllStandardError();
      if (!err.isEmpty()) options.errorBox(errDecoder.decode(err));
    }
  };

  QElapsedTimer clock;
  clock.start();
  bool timedOut = false;
  for (;;) {
    drain();
    if (options.onPoll) options.onPoll();
    if (process.waitForFinished(options.waitStepMs > 0 ? options.waitStepMs : 1)) break;
    if (process.state() == QProcess::NotRunning) break;
    if (options.timeLimitMs > 0 && clock.elapsed() > options.timeLimitMs) {
      timedOut = true;
      process.kill();
      process.waitForFinished(5000);
      break;
    }
  }
  drain();
  if (timedOut) return 0;
  output += collected;
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 0;
}

}  // namespace djvp
