// A binary file opened by path, as every reader and writer of the tag library
// uses it. Every operation reports failure; Error() gives the errno of the
// last failed one.
//
// Reads are served from three blocks of the file kept in memory: the head
// (from offset 0), the tail (the last bytes) and a window that follows the
// reads in between. The tag and format readers look at the first and the
// last few kilobytes of a file in many small reads; each block is fetched
// with one system call the first time a read touches it, so an analysis
// costs an open, a status, two or three reads and a close.
#pragma once

#include "WString.h"
#include "safefile/SafeFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace sonavex {

class TagFile {
 public:
  enum class Mode { Read, ReadWrite };

  // Blocks fetched at once: the head and tail blocks, and the window that a
  // read elsewhere loads. A read at least this long goes to the file directly.
  static constexpr size_t kBlock = 16 * 1024;
  // A head block grows to take a longer first read (a large leading tag) up
  // to this size.
  static constexpr size_t kMaxHead = 1024 * 1024;

  // An object that opens one file after another (the control's analyses)
  // keeps its blocks' memory for the next file.
  TagFile() = default;
  TagFile(const TagFile&) = delete;
  TagFile& operator=(const TagFile&) = delete;
  ~TagFile() { Close(); }

  // Opens a regular file or a device; a folder is refused (EISDIR). A file
  // with several names is held for reading (see safefile::HoldForReading):
  // a rewrite of it in place that is running is waited for and kept out
  // while the file is open, one that was killed midway is undone first, so
  // that no read sees a torn file (kErrFileBusy or kErrSaveUnfinished when
  // that cannot be).
  bool Open(const WString& path, Mode mode);
  bool Open(const std::string& utf8Path, Mode mode);
  // Gives up the hold on the file (it stays open): a save that read the file
  // does so before it changes it.
  void ReleaseHold();
  // Reads a file that is open already, through a descriptor of its own.
  bool OpenDescriptor(int fd);
  // Closes; false when the close reported an error.
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Length of the open file in bytes (-1 when not open); keeps the position.
  int64_t Length();
  bool Seek(int64_t offset, int whence = SEEK_SET);
  int64_t Tell();
  // Reads up to n bytes; returns the number read (short at the end of the file).
  size_t Read(void* dst, size_t n);
  // Reads exactly n bytes or fails.
  bool ReadExact(void* dst, size_t n) { return Read(dst, n) == n; }
  // Writes all n bytes at the position (straight to the file) or fails.
  bool Write(const void* src, size_t n);
  // Writes are not buffered: nothing to flush. Kept for the callers' symmetry.
  bool Flush() { return fd_ >= 0; }
  // Cuts the file to length bytes.
  bool Truncate(int64_t length);
  // Bytes from the current position to the end (0 when unknown).
  int64_t Remaining();

  int Error() const { return err_; }
  int Descriptor() const { return fd_; }
  // The path the file was opened by ("" for a descriptor).
  const std::string& Path() const { return path_; }

  // What tells one state of a file from another: which file it is, its
  // length and the time of its last change.
  using Identity = safefile::FileIdentity;
  // The identity of the file as it was opened; false for anything but a
  // regular file opened by its path.
  bool Identify(Identity& out);

 private:
  // Bytes of the file from start on; the memory is kept when emptied.
  struct Block {
    int64_t start = 0;
    size_t size = 0;
    size_t capacity = 0;
    std::unique_ptr<uint8_t[]> bytes;
    bool Holds(int64_t pos) const { return pos >= start && pos < start + static_cast<int64_t>(size); }
  };
  void Fail(int e) { err_ = e ? e : EIO; }
  // Reads count bytes at offset straight from the file; the count read.
  size_t ReadDirect(int64_t offset, void* dst, size_t count);
  bool Load(Block& block, int64_t start, size_t count);
  void DropBlocks();

  int fd_ = -1;
  int err_ = 0;
  std::string path_;
  bool regular_ = false;
  Identity identity_;
  int64_t pos_ = 0;
  int64_t length_ = 0;
  Block head_, tail_, window_;
};

// Converts a library path (UTF-16) to the file system's form (UTF-8).
std::string PathToNative(const WString& path);

}  // namespace sonavex
