// Safe writing of files: a save that fails or is killed at any moment
// leaves the old file or the new one, never a damaged one, and never leaves a
// link, an owner or a permission changed. Both the tag library (songs) and
// the program (its index, playlists, presets and settings) write through it.
//
// Two ways lead there:
//  - In place, only where the write cannot tear: the bytes that change lie in
//    one 4 KB page and go to the file in one write, which is synced. A kill
//    cannot stop the kernel halfway through copying one page.
//  - Everything larger builds the whole new file and replaces the old one
//    (Rewrite): the new file is created unnamed in the old one's folder
//    (O_TMPFILE), gets the old file's owner, group, mode and extended
//    attributes (ACLs included), is written and synced, then linked under a
//    short hidden name and renamed over the old name; the folder is synced.
//    A kill before the link leaves nothing behind; a file system without
//    unnamed files gets the hidden name at once. A hidden file that a killed
//    save left is removed by the next rewrite in that folder.
//  - A file with several names (hard links) cannot be replaced without
//    splitting them: its rewrite goes into the file itself. The new content
//    is built as above; then a copy of the old content is made beside the
//    file, synced and named (".sonavex-old-" and the file's inode number),
//    and its folder synced; the new content is written over the old, the
//    file cut to its length and synced; then the copy is removed. A save
//    killed between the naming and the removal leaves the copy: the next
//    save or read of that file, or a sweep of its folder, puts the old
//    content back and removes the copy, so the file is the old one or the
//    new one, under all its names. A live save keeps its copy locked, and
//    nothing else touches a locked copy.
// A symlink is written through to the file it names. A file the user may not
// write is refused (EACCES and the like) even when its folder is writable.
//
// Errors are errno values, or kErrHardLinked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace safefile {

// A file with several names whose folder does not let a rewrite keep the
// copy of its old content beside it (the folder is not writable): only an
// in-place change within one page keeps it one file safely.
constexpr int kErrHardLinked = 0x10000;

// The system's text of an error number (kErrHardLinked included).
std::string ErrorText(int error);

// The steps of a save, as a test hook sees them.
enum class Step {
  kTempCreated,     // the new file exists (unnamed, or under its hidden name)
  kCopied,          // one more chunk of the old file is in the new one
  kWritten,         // the whole new file is written
  kSynced,          // ... and synced
  kLinked,          // it has its hidden name in the folder
  kRenamed,         // it has replaced the old file; the folder is not synced yet
  kInPlaceWrite,    // an in-place write of (offset, length) is about to happen (length 0: a cut)
  kInPlaceWritten,  // ... it has happened, not synced yet
  // The rewrite of a file with several names, after kWritten:
  kOldKept,         // the copy of the old content is complete, synced and named, its folder synced
  kOverwriting,     // one more chunk of the new content is in the file itself
  kOverwritten,     // the whole new content is in the file, cut to its length and synced
  kOldDropped,      // the copy is removed; the folder is not synced yet
};

// Hooks for the tests that stop a save at chosen moments; unset normally.
struct TestHooks {
  void (*step)(Step step, int64_t offset, int64_t length) = nullptr;
  bool noTmpfile = false;  // act as on a file system without unnamed files
  int64_t copyChunk = 0;   // bytes copied between two kCopied or kOverwriting steps (0: the normal amount)
};
TestHooks& Hooks();

// The size of the page within which an in-place write cannot tear.
constexpr int64_t kPageSize = 4096;

// True when length bytes at offset (1 to 4096 of them) lie in one page.
bool FitsOnePage(int64_t offset, size_t length);

// The bytes in which two images of the same region differ: from the first
// to the last differing byte (length 0 when they are equal).
struct ByteRange {
  int64_t offset = 0;
  size_t length = 0;
};
ByteRange ChangedRange(const uint8_t* before, const uint8_t* after, size_t n);

// Writes n bytes at offset of the file at path in one write, then syncs the
// file. offset may be the file's length (an append). Only for writes that
// FitsOnePage allows (others are refused with EINVAL). 0, or the error; a
// failed append is cut off again.
int WriteInPlace(const std::string& path, int64_t offset, const void* data, size_t n);
// Cuts the file at path to length bytes and syncs it. 0, or the error.
int TruncateInPlace(const std::string& path, int64_t length);

// Builds a new file and puts it in the place of the file at path (which may
// not exist yet: then it is created). Every failure keeps its error number
// (Error()) and drops the new file; the old one stays untouched.
class Rewrite {
 public:
  Rewrite() = default;
  Rewrite(const Rewrite&) = delete;
  Rewrite& operator=(const Rewrite&) = delete;
  ~Rewrite() { Abort(); }

  // Resolves symlinks, checks that the old file may be written and replaced
  // and creates the new file beside it with the old one's attributes.
  bool Begin(const std::string& path);
  // Appends bytes.
  bool Write(const void* data, size_t n);
  // Copies count bytes of the open file src from offset on into the new file.
  bool CopyFrom(int src, int64_t offset, int64_t count);
  // The new file as written so far, for reading it back before it replaces
  // the old one (-1 when no save is under way). Stays owned by the rewrite.
  int Descriptor() const { return fd_; }
  // Syncs the new file, checks that it holds every byte written, names it,
  // renames it over the old one and syncs the folder. A file with several
  // names gets the new content written into it instead, its old content
  // kept beside it until then (see above).
  bool Commit();
  // Drops the new file (nothing happens to the old one).
  void Abort();

  // The error of the last failure (0 when none).
  int Error() const { return error_; }

 private:
  bool Failed(int e);
  bool CreateNew(mode_t mode);
  bool CopyAttributes(const std::string& from, const struct stat& st);
  bool CommitInPlace();

  int error_ = 0;
  int dir_ = -1;          // the folder of the file written
  int fd_ = -1;           // the new file
  int64_t written_ = 0;   // bytes the new file must hold
  std::string name_;      // the old file's name in that folder
  std::string hidden_;    // the new file's hidden name, once it has one
  bool inPlace_ = false;  // the file has several names: the new content goes into it
  dev_t device_ = 0;      // ... and which file that is
  ino_t inode_ = 0;
};

// Replaces the file at path (or creates it) with exactly these bytes through
// a Rewrite. 0, or the error; on an error the old file is left as it was.
int WriteWholeFile(const std::string& path, const void* data, size_t n);

// Finishes what killed saves left in a folder: removes their unfinished new
// files and gives a file with several names whose rewrite was killed midway
// its old content back (a save still running is left alone). For a program
// start over the folders its files and songs live in; the next save in a
// folder does the same. 0, or the error of the first leftover that could not
// be handled (the others are handled all the same).
int SweepFolder(const std::string& folder);

// Gives the file at path its old content back when a rewrite of it (a file
// with several names) was killed midway and left the copy beside it; does
// nothing otherwise. For readers about to read such a file. 0 when nothing
// was left or the old content is back; the error otherwise.
int RecoverFile(const std::string& path);

}  // namespace safefile
