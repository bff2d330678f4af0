// The tag library's side of the safe-write layer: its error numbers go to
// the control's last error, its paths are automation strings and its
// sources are open tag files. See safefile/SafeFile.h for how a save stays
// safe against a failure or a kill at any moment.
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

// Reads what the state's tag still has in its file (see FileState) before a
// save changes a file. False with state.lastError set when it cannot.
bool LoadDeferred(FileState& state);

// Writes n bytes at offset of the file in one write that cannot tear, then
// syncs it (see safefile::WriteInPlace). False with state.lastError set on failure.
bool WriteInPlace(FileState& state, const WString& path, int64_t offset, const void* data, size_t n);
// Cuts the file at path to length bytes and syncs it.
bool TruncateInPlace(FileState& state, const WString& path, int64_t length);

// Builds a new file and puts it in the place of the file at path (which may
// not exist yet: then it is created). Every failure stores its error in
// state.lastError and drops the new file; the old one stays untouched.
class SafeRewrite {
 public:
  explicit SafeRewrite(FileState& state) : state_(state) {}

  bool Begin(const WString& path) { return LoadDeferred(state_) && Check(rewrite_.Begin(PathToNative(path))); }
  bool Write(const void* data, size_t n) { return Check(rewrite_.Write(data, n)); }
  // Copies count bytes of src from offset on into the new file.
  bool CopyFrom(TagFile& src, int64_t offset, int64_t count) {
    return Check(rewrite_.CopyFrom(src.Descriptor(), offset, count));
  }
  // Opens the new file as written so far for reading (to check it before
  // it replaces the old one).
  bool ReadBack(TagFile& into);
  bool Commit() { return Check(rewrite_.Commit()); }
  void Abort() { rewrite_.Abort(); }

 private:
  bool Check(bool ok);

  FileState& state_;
  safefile::Rewrite rewrite_;
};

}  // namespace sonavex
