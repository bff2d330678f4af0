// Format detection: the format ids, the check that rejects files that plainly
// are not audio, and the detection that every save runs on its target first.
#pragma once

#include "Module.h"
#include "TagFile.h"
#include "WString.h"

#include <cstdint>

namespace sonavex {

// Format ids: the result of AUDIOAnalyzeFile and the value of m_nFormat.
enum AudioFormatId : int16_t {
  kFormatNone = 0,
  kFormatMPEG = 1,
  kFormatWMA = 2,
  kFormatMonkey = 3,
  kFormatFLAC = 4,
  kFormatWAV = 5,
  kFormatOGG = 6,
  kFormatMPP = 7,
  kFormatAAC = 8,
  kFormatMP4 = 9,
};

// Rejects files that plainly are not audio by their first bytes.
class CFileSignatureCheck {
 public:
  // Examines the first four bytes of the open file (before any tag is
  // skipped); true when they match a known non-audio signature. A file too
  // short for a signature never matches it.
  bool IsNonAudio(TagFile& file);

 private:
  unsigned char m_buf[4] = {0, 0, 0, 0};
};

// The last four characters of a file name (the whole name when it has three
// characters or fewer): ".mp3" for "song.mp3".
WString ExtensionOf(const WString& fileName);

// True when the extension (as ExtensionOf gives it) admits the MPEG reader:
// ".MP3", ".MP2", ".MP1" or "MP3~", letters compared without case.
bool IsMpegExtension(const WString& extension);
// True for ".AAC", letters compared without case.
bool IsAacExtension(const WString& extension);

// Detects the format of the file at path with fresh, cleared reader objects,
// for the save members of every family. Sets the file size and the ID3v2 size
// of state to those of this file and never touches its last error. A file
// that cannot be opened is format 0. When extension is given it receives
// ExtensionOf(path). CSonavexCtrl::DetectFileFormat is this on the control's
// state, keeping the extension.
int16_t DetectFormatOfFile(const WString& path, FileState& state, WString* extension = nullptr);

// Whether a file of the detected format may carry an ID3v2 tag: MPEG,
// Musepack and AAC, whose readers skip a tag in front (not WMA, Monkey's
// Audio and MP4, whose readers break on one).
bool FormatAllowsID3V2(int16_t format);

}  // namespace sonavex
