#include "SafeWrite.h"

namespace sonavex {

int32_t SaveError(int error) {
  return error == safefile::kErrHardLinked ? kErrHardLinked : error;
}

bool LoadDeferred(FileState& state) { return !state.loadDeferred || state.loadDeferred(state.deferredOwner); }

bool WriteInPlace(FileState& state, const WString& path, int64_t offset, const void* data, size_t n) {
  if (!LoadDeferred(state)) return false;
  const int e = safefile::WriteInPlace(PathToNative(path), offset, data, n);
  if (e != 0) state.lastError = SaveError(e);
  return e == 0;
}

bool TruncateInPlace(FileState& state, const WString& path, int64_t length) {
  if (!LoadDeferred(state)) return false;
  const int e = safefile::TruncateInPlace(PathToNative(path), length);
  if (e != 0) state.lastError = SaveError(e);
  return e == 0;
}

bool SafeRewrite::Check(bool ok) {
  if (!ok && rewrite_.Error() != 0) state_.lastError = SaveError(rewrite_.Error());
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
