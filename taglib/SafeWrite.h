// The tag library's side of the safe-write layer: its error numbers go to
// the control's last error, its paths are automation strings and its
// sources are open tag files. See safefile/SafeFile.h for how a save stays
// safe against a failure or a kill at any moment.
//
// A save of a song names the file as the save read it (the source, open on
// the same path). The file is written only while it is still in that state,
// checked under the lock that keeps other saves of it out; and when it is
// the file the control analysed last (by any of its names, or under the
// name it was analysed by), only while it is still as the analysis read it.
// Otherwise nothing is written and the last error is 213; so too when
// another program (which takes no lock of ours) replaces or changes the
// file while the save runs. A save that waited for another save of the file
// longer than it may fails with 214; a file whose earlier save was killed
// and cannot be undone is neither read nor written (215, the text naming
// the file); the system's errors stay its errno values. A save that writes
// the analysed file leaves the control's state with the file as the save
// left it.
#pragma once

#include "Module.h"
#include "TagFile.h"
#include "safefile/SafeFile.h"

#include <cstddef>
#include <cstdint>

namespace sonavex {

using SaveStep = safefile::Step;
using SaveTestHooks = safefile::TestHooks;
using safefile::ByteRange;
using safefile::ChangedRange;
using safefile::FitsOnePage;
using safefile::kPageSize;
inline SaveTestHooks& SaveHooks() { return safefile::Hooks(); }

// The layer's error as the library's last error number.
int32_t SaveError(int error);
// Stores the error of a file that could not be opened (or of a save of it)
// with the file's path, which the text of some errors names.
void FileFailed(FileState& state, int32_t error, const std::string& path);
void OpenFailed(FileState& state, const TagFile& file, const WString& path);

// Reads what the state's tag still has in its file (see FileState) before a
// save changes a file. False with state.lastError set when it cannot.
bool LoadDeferred(FileState& state);

// Writes n bytes at offset of the song at path in one write that cannot
// tear, then syncs it (see safefile::WriteInPlace); source is the song as
// the save read it, and is closed. False with state.lastError set on failure.
bool WriteInPlace(FileState& state, const WString& path, TagFile& source, int64_t offset, const void* data, size_t n);
// Cuts the song at path to length bytes and syncs it; source as above.
bool TruncateInPlace(FileState& state, const WString& path, TagFile& source, int64_t length);

// Builds a new file and puts it in the place of the file at path (which may
// not exist yet: then it is created). Every failure stores its error in
// state.lastError and drops the new file; the old one stays untouched.
class SafeRewrite {
 public:
  explicit SafeRewrite(FileState& state) : state_(state) {}

  // Begins the save of the song at path; source is the song as the save
  // read it (see above). Its hold for reading is given up.
  bool Begin(const WString& path, TagFile& source);
  // Begins writing a file that is not a song the save read (an exported
  // picture): nothing is compared.
  bool Begin(const WString& path) {
    path_ = PathToNative(path);
    return LoadDeferred(state_) && Check(rewrite_.Begin(path_));
  }
  bool Write(const void* data, size_t n) { return Check(rewrite_.Write(data, n)); }
  // Copies count bytes of src from offset on into the new file.
  bool CopyFrom(TagFile& src, int64_t offset, int64_t count) {
    return Check(rewrite_.CopyFrom(src.Descriptor(), offset, count));
  }
  // Opens the new file as written so far for reading (to check it before
  // it replaces the old one).
  bool ReadBack(TagFile& into);
  bool Commit();
  void Abort() { rewrite_.Abort(); }

 private:
  bool Check(bool ok);

  FileState& state_;
  safefile::Rewrite rewrite_;
  bool analysed_ = false;  // the song is the file the control analysed
  std::string path_;       // the file written
};

}  // namespace sonavex
