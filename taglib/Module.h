// What the library knows about one file: the layout of the file a control
// analysed (or a save is writing), the error number of its last operation
// and its all-frames switch. Each control keeps its own (several controls,
// the tag editor's among them, work side by side); every format and tag
// object reads and writes the state of the control that owns it.
#pragma once

#include "WString.h"
#include "safefile/SafeFile.h"

#include <cstdint>
#include <string>

namespace sonavex {

struct FileState {
  int32_t fileSize = 0;    // size of the file being analysed or detected
  int32_t id3v2Size = 0;   // leading ID3v2 tag, header included: where the audio begins
  int32_t apeSize = 0;     // APE tag near the end of the file
  int32_t id3v1Size = 0;   // 128 when the file ends in an ID3v1 tag
  int32_t lyricsSize = 0;  // Lyrics3 block in front of the ID3v1 tag
  int32_t lastError = 0;   // errno value, or one of the library's own numbers 201-215
  std::string errorPath;   // the file the last error was met on, when it is known
  // Why the last format detection could not read its file, when that was
  // another save holding it (214) or a killed save that could not be undone
  // (215); 0 otherwise.
  int32_t unreadable = 0;
  bool analyzeAllFrames = false;
  // Bodies of the analysed file's tag that are still in that file (large
  // ID3v2 frames, read when used): their owner reads them before any save
  // writes a file, so that no save leaves them behind. Set by that owner.
  bool (*loadDeferred)(void* owner) = nullptr;
  void* deferredOwner = nullptr;
  // The file the last analysis read, as it was then (its path as given).
  // A save into that file (by any of its names) writes only while the file
  // is still so, and then takes the file as the save left it, so that the
  // next save without a new analysis compares with that.
  bool analysedKnown = false;
  safefile::FileIdentity analysed;
  std::string analysedPath;

  // Forgets the layout, the analysed file and the error (the switch stays).
  void Reset() {
    fileSize = id3v2Size = apeSize = id3v1Size = lyricsSize = 0;
    lastError = 0;
    errorPath.clear();
    unreadable = 0;
    analysedKnown = false;
    analysed = {};
    analysedPath.clear();
  }
};

// The state an object works on: its control's once bound, else a state of
// its own (an object used on its own, as the tests and the format detection
// do). A copy keeps its source's binding, or gets its own copy of the state.
class WithFileState {
 public:
  FileState& State() const { return *state_; }
  virtual void BindState(FileState& state) { state_ = &state; }

 protected:
  WithFileState() = default;
  WithFileState(const WithFileState& o) : own_(o.own_), state_(o.state_ == &o.own_ ? &own_ : o.state_) {}
  WithFileState& operator=(const WithFileState& o) {
    if (this != &o) {
      own_ = o.own_;
      state_ = o.state_ == &o.own_ ? &own_ : o.state_;
    }
    return *this;
  }
  virtual ~WithFileState() = default;
  // Stores an error number for the caller (the member's last error).
  void SetError(int32_t number) const { state_->lastError = number; }

 private:
  mutable FileState own_;
  FileState* state_ = &own_;
};

// The library's own error numbers.
enum : int32_t {
  kErrLyricsNeedsID3V1 = 201,
  kErrUnsupportedFrame = 202,
  kErrLanguageLength = 203,
  kErrTooManyFrames = 204,
  kErrTagMissing = 205,
  kErrMP4NotWritable = 207,
  kErrIdOutOfRange = 208,
  kErrSyncLyricsParse = 209,
  kErrTagNotAllowed = 210,
  // Beyond the numbers above: a file whose structure does not parse, which
  // is never written; a hard-linked file whose folder does not allow the
  // copy of its old content that a rewrite keeps beside it.
  kErrDamagedFile = 211,
  kErrHardLinked = 212,
  // The file changed since it was analysed (another program wrote it): a
  // save writes nothing, and a part of the tag that is read only when it is
  // used (a cover picture) cannot be read.
  kErrFileChanged = 213,
  // Another save of the file holds it longer than a save or a read waits
  // (the system's own EBUSY stays its errno value).
  kErrFileBusy = 214,
  // An earlier save of the file was cut short and its earlier content could
  // not be put back (its copy is gone, or no longer the copy that was made):
  // the file is neither read nor written until it is restored from a backup.
  kErrSaveUnfinished = 215,
};

// The error of a save refused because its file is not of a format that
// takes it: 210, or why the file could not be read at all.
inline int32_t RefusedFormat(const FileState& state) {
  return state.unreadable != 0 ? state.unreadable : kErrTagNotAllowed;
}

// Text of an error number: the library's own string for 201..299 ("" when it
// has none), the C runtime's message otherwise (0 included). With the path
// of the file the error was met on, the text of 215 names the file.
WString ErrorText(int32_t number);
WString ErrorText(int32_t number, const std::string& path);

// The library has no windows of its own: texts it would show in a message box
// (the about box, out-of-memory reports) go to a handler that the host sets.
using MessageHandler = void (*)(const char16_t* caption, const char16_t* text, void* user);
void SetMessageHandler(MessageHandler handler, void* user);
void ShowMessage(const WString& caption, const WString& text);

// Version of the library: one pair of constants used by the version member,
// the type library, the registration and the property exchange.
constexpr int kVersionMajor = 2;
constexpr int kVersionMinor = 0;

}  // namespace sonavex
