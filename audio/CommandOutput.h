// Runs a console program as a child process and collects what it prints,
// polling it while it runs. The program and its arguments are passed as a
// list (never through a shell), so spaces, quotes and tabs in a path are safe.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace djvp {

struct CommandOptions {
  QString workingFolder;            // empty: the current folder
  bool captureStdOut = true;        // standard output goes into the output text
  bool captureStdErr = false;       // standard error goes into the output text too
  int32_t waitStepMs = 100;         // one poll of the process
  int32_t timeLimitMs = 300000;     // a process that runs longer is killed
  // Receives standard output as it arrives (may be empty).
  std::function<void(const QString&)> stdOutBox;
  // Receives error output: only standard error when that is not captured,
  // otherwise everything captured.
  std::function<void(const QString&)> errorBox;
  // Called after each poll (the gain tool's runner advances the progress
  // value in the song's Gain cell here).
  std::function<void()> onPoll;
};

// Runs program with args, appends its captured output (decoded as UTF-8) to
// output, and returns its exit code; 0 when it could not be started. A
// process killed at the time limit returns 0 and appends nothing, so a
// half-written report is never taken for a whole one.
int32_t basCommandOutput_GetCommandOutput(QString& output, const QString& program, const QStringList& args,
                                          const CommandOptions& options);

}  // namespace djvp
