// Safe rewriting of a file. Every tag writer that cannot change a file in
// place builds the whole new file through SafeRewrite: the new content goes to
// a unique temporary file in the same folder, every write is checked, and only
// when the new file is complete and flushed to disk does one rename replace the
// original. On any failure the original stays untouched, the temporary file is
// removed and the errno is stored in g_nLastError.
#pragma once

#include "TagFile.h"

#include <string>

namespace sonavex {

class SafeRewrite {
 public:
  SafeRewrite() = default;
  SafeRewrite(const SafeRewrite&) = delete;
  SafeRewrite& operator=(const SafeRewrite&) = delete;
  ~SafeRewrite() { Abort(); }

  // Creates the temporary file beside path (exclusive create), with the
  // original's permission bits. False (and g_nLastError set) on failure.
  bool Begin(const WString& path);
  // The temporary file, open for writing.
  TagFile& out() { return out_; }
  // Appends bytes; false on failure (g_nLastError set, the rewrite is lost).
  bool Write(const void* data, size_t n);
  // Copies count bytes from src at offset into the new file, in large chunks.
  bool CopyFrom(TagFile& src, int64_t offset, int64_t count);
  // Flushes, syncs, closes and renames over the original.
  bool Commit();
  // Drops the temporary file (nothing happens to the original).
  void Abort();

 private:
  bool Failed(int e);
  std::string target_;
  std::string temp_;
  TagFile out_;
  bool active_ = false;
};

// In-place writes: write all bytes at the file's position or store the errno
// in g_nLastError and return false.
bool WriteChecked(TagFile& f, const void* data, size_t n);

}  // namespace sonavex
