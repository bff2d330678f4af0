// The analysis values in a song file's tags: where a measured tempo, gain or
// mix point goes in each tag format the program writes, and the marker lines
// a value takes inside a free-text comment.
//
// MP3: the tempo in the ID3v2 tempo frame (a file without an ID3v2 tag gets a
// "BPM" marker line in its ID3v1 comment instead, when the comment has room
// for the whole marker block); gain, start and end mix
// point in ID3v2 comments whose language field is "PEA", "SMP" or "EMP", with
// an empty description. WMA: the tempo in the tempo attribute, the others as
// marker lines in the comment. FLAC and Ogg Vorbis: all four as marker lines
// ("BPM", "PEA", "SMP", "EMP") in the comment. Every other format keeps its
// values in the library only. The playlists' track rows read the values back
// by the same rules (playlists/TrackRow.h).
#pragma once

#include "automation/Host.h"
#include "playlists/Tags.h"

#include <QString>

#include <cstdint>

namespace library {

// Format numbers of the tag library that matter here.
using playlists::kFormatFlac;
using playlists::kFormatMpeg;
using playlists::kFormatNone;
using playlists::kFormatOgg;
using playlists::kFormatWma;

// The comment with the value of `marker` set. Lines are separated by CR LF
// (a lone CR or LF also ends a line); a marker line is a line equal to the
// marker, same case, nothing else on it, and its value is the line after it.
// When the comment has marker lines, the line after each one becomes the
// value (or the value is added after a marker line that is the last line)
// and the comment is rebuilt as its lines joined by CR LF, so a final line
// break goes. Otherwise the comment is kept as it is, and CR LF, the marker,
// CR LF and the value are appended; an empty comment so becomes an empty
// line, the marker and the value. The text stays Unicode throughout.
QString UpdateMarkerLine(const QString& comment, const QString& marker, const QString& value);

// Writes analysis values into song files through a tag library control of
// its own, so that the window's control (and whatever file it reports on for
// the tag editor) is left alone. Each write acts on the file the control
// analysed last: analyse the file right before and pass the format the
// analysis gave.
class SongTagWriter {
 public:
  SongTagWriter() = default;
  explicit SongTagWriter(automation::DispatchPtr control) : c_(std::move(control)) {}
  // A new control of the tag library (none when the library is not
  // registered).
  static SongTagWriter Create();

  bool Available() const { return static_cast<bool>(c_); }
  // The file's format number; 0 when it is not an audio file the library
  // knows, or cannot be read.
  int16_t Analyze(const QString& path) const;

  // Store a tempo, or a value under "PEA", "SMP" or "EMP". True when the file
  // took the whole value, or when its format keeps no values in its tags;
  // false, with the reason in *why, when the file could not be written or
  // could not hold the whole value (it then holds its old tags).
  bool WriteTempoToTag(const QString& path, int16_t format, const QString& value, QString* why) const;
  bool WriteMarkerToTag(const QString& path, int16_t format, const QString& marker, const QString& value,
                        QString* why) const;

 private:
  QString Text(int32_t dispid) const;
  void SetText(int32_t dispid, const QString& text) const;
  // Sets the comment of `dispid` to its marker-line update and saves it.
  bool WriteCommentMarker(int32_t commentId, int32_t saveId, const QString& path, const QString& marker,
                          const QString& value, QString* why) const;
  // Runs a save member; on failure the library's reason goes to *why.
  bool Save(int32_t saveId, const QString& path, QString* why) const;
  QString LastErrorText() const;

  automation::DispatchPtr c_;
};

}  // namespace library
