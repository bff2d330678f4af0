// A binary file stream opened by path, as every reader and writer of the tag
// library uses it. Every operation reports failure; Error() gives the errno of
// the last failed one.
#pragma once

#include "WString.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace sonavex {

class TagFile {
 public:
  enum class Mode { Read, ReadWrite };

  TagFile() = default;
  TagFile(const TagFile&) = delete;
  TagFile& operator=(const TagFile&) = delete;
  ~TagFile() { Close(); }

  bool Open(const WString& path, Mode mode);
  bool Open(const std::string& utf8Path, Mode mode);
  // Takes over an open stream (used by the safe rewrite for its temporary file).
  void Adopt(FILE* f) { Close(); f_ = f; }
  // Closes; false when the final flush failed.
  bool Close();
  bool IsOpen() const { return f_ != nullptr; }

  // Length of the open file in bytes (-1 on failure); keeps the position.
  int64_t Length();
  bool Seek(int64_t offset, int whence = SEEK_SET);
  int64_t Tell();
  // Reads up to n bytes; returns the number read (short at the end of the file).
  size_t Read(void* dst, size_t n);
  // Reads exactly n bytes or fails.
  bool ReadExact(void* dst, size_t n) { return Read(dst, n) == n; }
  // Writes all n bytes or fails.
  bool Write(const void* src, size_t n);
  bool Flush();
  // Cuts the file to length bytes (flushes first).
  bool Truncate(int64_t length);
  // Bytes from the current position to the end (0 when unknown).
  int64_t Remaining();

  int Error() const { return err_; }
  FILE* handle() { return f_; }

 private:
  void Fail(int e) { err_ = e ? e : EIO; }
  FILE* f_ = nullptr;
  int err_ = 0;
};

// Converts a library path (UTF-16) to the file system's form (UTF-8).
std::string PathToNative(const WString& path);

}  // namespace sonavex
