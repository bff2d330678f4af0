// The equaliser preset files "EQ.vrn" (deck 1's list) and "EQ2.vrn" (deck
// 2's) in the user's data folder. Each is a text of pairs of lines: the
// preset's name in square brackets ("[Rock]"), then its ten band values, each
// followed by ";" ("2;3;4;6;7;6;4;3;2;2;"). Every save writes both files, so
// that a preset saved on one deck is offered on both.
//
// Files are written in UTF-8, every line ended by CR LF. A file that is not
// valid UTF-8 is read as Windows-1252 (preset files of older installations);
// its presets are written back unchanged in text, as UTF-8. A file that is
// not text at all is refused, never read as presets or written over. A save
// replaces both files as one unit: a save that fails, or is killed at any
// moment, leaves both files as they were or (once complete) both new, after
// the next start at the latest.
#pragma once

#include "ui/DeckId.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace effects {

// One preset as it stands in its file: the name line and the value line
// without their line ends. The last preset of a file may lack its value
// line (hasValues false).
struct PresetLines {
  QString nameLine;
  QString valueLine;
  bool hasValues = true;
};

// The name of a name line: the line without its first and its last
// character ("" for a shorter line).
QString PresetName(const QString& nameLine);

// deck 1: ".../EQ.vrn", deck 2: ".../EQ2.vrn" in the data folder.
QString PresetFilePath(djvp::DeckId deck);

// Failed: the file could not be read now (no permission, not a plain file);
// NotPresets: it was read, but it is no preset file (bytes that are not
// text, or far more than any preset file holds).
enum class ReadResult { Ok, Missing, Failed, NotPresets };
// Reads a preset file's presets and its bytes as they are; otherwise
// `error` names the file and what failed (the system's text).
ReadResult ReadPresetFile(const QString& path, std::vector<PresetLines>& presets, QByteArray& bytes, QString& error);

// The file text of the presets.
QByteArray PresetFileText(const std::vector<PresetLines>& presets);

// True when the name survives the file as it is: it holds no line break
// and no broken UTF-16.
bool StorableName(const QString& name);

// Replaces the contents of both preset files with `texts` (EQ.vrn's,
// EQ2.vrn's) as one unit (a journal beside them holds both old contents until
// both new ones are on disk). False, with the files and the system's error
// text in `error`, when it did not succeed; both files are then as they were.
bool ReplacePresetFiles(const QByteArray (&texts)[2], QString& error);

// At start: a save of both files that was cut short is taken back; a file
// that is no preset file is set aside under a numbered name (told in a
// message) and counts as missing; a missing preset file is made a copy of
// the other one; when both are missing, both get the presets the program
// comes with.
void InstallPresetFiles();
// The presets the program comes with, as file text.
QByteArray ShippedPresets();

}  // namespace effects
