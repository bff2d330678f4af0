// The gain measurement of an MP3 file through the mp3gain tool.
#pragma once

#include "Mp3Info.h"

#include <QString>

namespace djvp {

// The tool's program: "mp3gain", found on the PATH.
QString GainToolProgram();

// Parses the tool's tab-separated report ("-o" output for one file) into the
// figures: radio dB gain, maximum amplitude, maximum and minimum global gain.
// Line ends may be LF or CR LF; a path containing tabs does not shift the
// fields (they are counted from the end of the file's record). Returns false,
// leaving the figures reset, when the report holds no record.
bool ParseGainReport(const QString& report, clsMp3Info& figures);

// Runs the tool on the song (skipping any stored gain tags) and fills the
// figures; the runner advances the progress value in the song's Gain cell
// while it waits and sends the tool's error output to the error box.
void AnalyzeGain(const QString& songPath, clsMp3Info& figures);

}  // namespace djvp
