#include "SafeWrite.h"

#include <cstdlib>
#include <cstring>

namespace sonavex {

namespace {

// Whether the file at path, in the state seen, is the one the control's
// last analysis read: the same file (another of its names, too), or what
// now stands under the name it was analysed by.
bool IsAnalysedFile(const FileState& state, const std::string& path, const safefile::FileIdentity& seen) {
  if (!state.analysedKnown) return false;
  if (seen.device == state.analysed.device && seen.inode == state.analysed.inode) return true;
  if (path == state.analysedPath) return true;
  char* a = realpath(path.c_str(), nullptr);
  char* b = realpath(state.analysedPath.c_str(), nullptr);
  const bool same = a && b && std::strcmp(a, b) == 0;
  std::free(a);
  std::free(b);
  return same;
}

// What a save expects of its song: the state in which the source read it.
struct Expectation {
  bool known = false;
  bool analysed = false;
  safefile::FileIdentity identity;
};

// Takes the source's state as the save's expectation and gives up its hold
// for reading; false with 213 when the source is the analysed file in
// another state than the analysis read.
bool Expect(FileState& state, const std::string& path, TagFile& source, Expectation& out) {
  if (!source.Identify(out.identity)) return true;  // nothing to compare
  out.known = true;
  out.analysed = IsAnalysedFile(state, path, out.identity);
  if (out.analysed && !(out.identity == state.analysed)) {
    state.lastError = kErrFileChanged;
    return false;
  }
  source.ReleaseHold();
  return true;
}

// A change in place of the song at path that source read: `change` is the
// layer's call, given the path, the state the file must still be in (when
// known) and where the file as left goes.
template <class Change>
bool ChangeInPlace(FileState& state, const WString& path, TagFile& source, Change change) {
  if (!LoadDeferred(state)) return false;
  const std::string native = PathToNative(path);
  Expectation expect;
  if (!Expect(state, native, source, expect)) return false;
  source.Close();
  safefile::FileIdentity result;
  const int e = change(native, expect.known ? &expect.identity : nullptr, &result);
  if (e != 0) FileFailed(state, SaveError(e), native);
  else if (expect.analysed) state.analysed = result;
  return e == 0;
}

}  // namespace

int32_t SaveError(int error) {
  switch (error) {
    case safefile::kErrHardLinked: return kErrHardLinked;
    case safefile::kErrChanged: return kErrFileChanged;
    case safefile::kErrUnfinished: return kErrSaveUnfinished;
    case safefile::kErrBusy: return kErrFileBusy;
    default: return error;
  }
}

void FileFailed(FileState& state, int32_t error, const std::string& path) {
  state.lastError = error;
  state.errorPath = path;
}

void OpenFailed(FileState& state, const TagFile& file, const WString& path) {
  FileFailed(state, file.Error(), PathToNative(path));
}

bool LoadDeferred(FileState& state) { return !state.loadDeferred || state.loadDeferred(state.deferredOwner); }

bool WriteInPlace(FileState& state, const WString& path, TagFile& source, int64_t offset, const void* data, size_t n) {
  return ChangeInPlace(state, path, source,
                       [&](const std::string& native, const safefile::FileIdentity* expected,
                           safefile::FileIdentity* result) {
                         return safefile::WriteInPlace(native, offset, data, n, expected, result);
                       });
}

bool TruncateInPlace(FileState& state, const WString& path, TagFile& source, int64_t length) {
  return ChangeInPlace(state, path, source,
                       [&](const std::string& native, const safefile::FileIdentity* expected,
                           safefile::FileIdentity* result) {
                         return safefile::TruncateInPlace(native, length, expected, result);
                       });
}

bool SafeRewrite::Begin(const WString& path, TagFile& source) {
  analysed_ = false;
  if (!LoadDeferred(state_)) return false;
  const std::string native = PathToNative(path);
  Expectation expect;
  if (!Expect(state_, native, source, expect)) return false;
  analysed_ = expect.analysed;
  path_ = native;
  return Check(rewrite_.Begin(native, expect.known ? &expect.identity : nullptr));
}

bool SafeRewrite::Commit() {
  if (!Check(rewrite_.Commit())) return false;
  if (analysed_) state_.analysed = rewrite_.Result();
  return true;
}

bool SafeRewrite::Check(bool ok) {
  if (!ok && rewrite_.Error() != 0) FileFailed(state_, SaveError(rewrite_.Error()), path_);
  return ok;
}

bool SafeRewrite::ReadBack(TagFile& into) {
  if (rewrite_.Descriptor() < 0) return false;
  if (!into.OpenDescriptor(rewrite_.Descriptor())) {
    state_.lastError = into.Error();
    rewrite_.Abort();
    return false;
  }
  return true;
}

}  // namespace sonavex
