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
//    short hidden name and swapped with the old file in one step (a rename
//    that exchanges the two names); the folder is synced. What came out must
//    be the file the save locked and checked, in the state it had then:
//    other programs take no lock of ours, and one that replaced the file by
//    a rename or wrote into it meanwhile gets its file swapped back, and the
//    save fails with kErrChanged. On a file system that cannot exchange two
//    names, the check comes right before a plain rename (only a change
//    between the two is missed). A kill before the link leaves nothing
//    behind; a file system without unnamed files gets the hidden name at
//    once. A hidden file that a killed save left is removed by the next
//    rewrite in that folder.
//  - A file with several names (hard links) cannot be replaced without
//    splitting them: its rewrite goes into the file itself, with a journal.
//    The new content is built as above. The file itself is marked first
//    (the extended attribute "user.sonavex.rewrite": a random token, the
//    file's device and inode numbers and the journal's folder). Then,
//    beside the name being saved, a complete synced copy of the old content
//    is named ".sonavex-copy-" plus the token, and a further name of the
//    file itself ".sonavex-song-" plus the same token (it keeps the file,
//    and so its inode number, alive while the copy exists, and lets a sweep
//    of that folder find the file whatever happens to its other names); the
//    folder is synced. Right before the first write the file is checked
//    again (the name still leads to it, unchanged: else kErrChanged); the
//    mark then says that the content is being overwritten and records the
//    copy's length and checksum, and is synced. The new content is written
//    over the old, the file cut to its length and synced; the mark says the
//    content is whole again and is synced; then the copy and the extra name
//    go, and last the mark. Whatever meets the file after a kill (a read or
//    a save through any of its names, in any folder, or a sweep of the
//    journal's folder whose extra name leads to the file with that mark)
//    finishes it: while the content was being overwritten, the copy's
//    content goes back, but only a copy of the recorded length and
//    checksum; otherwise the journal's names and the mark are removed. A
//    copy that does not match, or a journal or folder that is gone, leaves
//    the file marked and refused (kErrUnfinished) until it is mended. A copy
//    and an extra name whose file carries no mark with their token are only
//    removed. A copy is never written anywhere but into the file that
//    carries its token. A file system that keeps no user attributes, or a
//    folder that takes no copy, refuses the rewrite (kErrHardLinked).
//
// Saves of one file exclude each other, also across processes: each holds a
// lock on the file (an open file description lock) from its check of the
// file to its end, and a second save waits for it a bounded time (then
// kErrBusy). A save may name the state in which it expects the file (what it
// read of it); under the lock a file in any other state is not written
// (kErrChanged); a write in place checks the file once more right before it
// writes. A rewrite in place also keeps readers out while it changes
// the file: HoldForReading waits for it and then keeps the next one out.
// A symlink is written through to the file it names. A file the user may not
// write is refused (EACCES and the like) even when its folder is writable.
//
// Errors are errno values (the system's own, EBUSY included), or the kErr
// numbers below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace safefile {

// A file with several names whose folder does not let a rewrite keep the
// copy of its old content beside it (the folder is not writable), or whose
// file system keeps no mark on it: only an in-place change within one page
// keeps it one file safely.
constexpr int kErrHardLinked = 0x10000;
// The file is not in the state the save expected (another program changed
// or replaced it since it was read): nothing was written.
constexpr int kErrChanged = 0x10001;
// A rewrite of the file in place was killed midway and its old content
// cannot be put back (the copy is gone, or may not be read or written): the
// file is neither read nor written until that is mended.
constexpr int kErrUnfinished = 0x10002;
// Another save of the file held it longer than a save or a read waits.
constexpr int kErrBusy = 0x10003;

// The system's text of an error number (the kErr numbers included).
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
  kJournalNamed,    // the copy of the old content is complete, synced and named, its folder synced
  kOldKept,         // ... the file is checked and marked as being overwritten, synced
  kOverwriting,     // one more chunk of the new content is in the file itself
  kOverwritten,     // the whole new content is in the file, cut to its length and synced
  kUnmarked,        // the file's mark says the content is whole, synced; the journal's names are still there
  kOldDropped,      // the journal's names are removed; the folder is not synced yet, the mark still there
};

// Hooks for the tests that stop a save at chosen moments; unset normally.
struct TestHooks {
  void (*step)(Step step, int64_t offset, int64_t length) = nullptr;
  bool noTmpfile = false;   // act as on a file system without unnamed files
  bool noExchange = false;  // act as on a file system that cannot exchange two names
  int64_t copyChunk = 0;   // bytes copied between two kCopied or kOverwriting steps (0: the normal amount)
  // Called in place of every fsync (of files and folders): 0 or an errno.
  int (*sync)(int fd) = nullptr;
  // Sees the new file of a rewrite once it is written, before it is synced
  // and checked (a test may take bytes away from it, as a failing disk would).
  void (*written)(int fd) = nullptr;
  // How long a save or a read waits for a lock that another one holds, in
  // milliseconds (-1: the normal wait, kLockWaitMs).
  int lockWaitMs = -1;
  // Called instead of waiting each time a lock is found held: true tries
  // again at once, false gives up (kErrBusy).
  bool (*lockBusy)() = nullptr;
};
TestHooks& Hooks();

// How long a save or a read waits for another save's lock before it gives
// up with kErrBusy.
constexpr int kLockWaitMs = 5000;

// What tells one state of a file from another: which file it is, its length
// and the time of its last change. A rewrite in place and a write within a
// page give the file a change time of their own (to the nanosecond), so that
// even two saves within one clock tick tell apart.
struct FileIdentity {
  uint64_t device = 0, inode = 0;
  int64_t length = 0, modifiedSec = 0, modifiedNsec = 0;
  bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const struct stat& st);

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
// The same under the save's lock, for a file that must still be `expected`
// (when given; kErrChanged otherwise, nothing written), and that another
// program has not replaced or changed meanwhile. `result` (when
// given) gets the file as the write left it.
int WriteInPlace(const std::string& path, int64_t offset, const void* data, size_t n, const FileIdentity* expected,
                 FileIdentity* result);
int TruncateInPlace(const std::string& path, int64_t length, const FileIdentity* expected, FileIdentity* result);

// Builds a new file and puts it in the place of the file at path (which may
// not exist yet: then it is created). Every failure keeps its error number
// (Error()) and drops the new file; the old one stays untouched.
class Rewrite {
 public:
  Rewrite() = default;
  Rewrite(const Rewrite&) = delete;
  Rewrite& operator=(const Rewrite&) = delete;
  ~Rewrite() { Abort(); }

  // Resolves symlinks, checks that the old file may be written and replaced,
  // takes the lock that keeps other saves of it out until the end, and
  // creates the new file beside it with the old one's attributes.
  bool Begin(const std::string& path) { return Begin(path, nullptr); }
  // The same for a file that must still be `expected` (when given): under
  // the lock, a file in another state, or no file, fails with kErrChanged.
  bool Begin(const std::string& path, const FileIdentity* expected);
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
  // After a Commit: the file as the rewrite left it.
  const FileIdentity& Result() const { return result_; }

 private:
  bool Failed(int e);
  bool CreateNew(mode_t mode);
  bool CopyAttributes(const std::string& from, const struct stat& st);
  bool CommitInPlace();
  int Replace();

  int error_ = 0;
  int dir_ = -1;          // the folder of the file written
  int fd_ = -1;           // the new file
  int lock_ = -1;         // the old file, locked for this save
  int64_t written_ = 0;   // bytes the new file must hold
  std::string name_;      // the old file's name in that folder
  std::string folder_;    // that folder's path
  std::string hidden_;    // the new file's hidden name, once it has one
  bool inPlace_ = false;  // the file has several names: the new content goes into it
  FileIdentity seen_;     // the old file as locked and checked
  FileIdentity result_;
};

// Replaces the file at path (or creates it) with exactly these bytes through
// a Rewrite. 0, or the error; on an error the old file is left as it was.
int WriteWholeFile(const std::string& path, const void* data, size_t n);

// Finishes what killed saves left in a folder: removes their unfinished new
// files, gives a file with several names whose rewrite was killed midway its
// old content back, and removes journals that belong to no such file (a save
// still running is left alone). A copy in the earlier form, named
// ".sonavex-old-" and an inode number, goes back only into the file of the
// folder with that number and several names that was born before it, and is
// removed when no file matches. For a program start over the folders its
// files and songs live in; the next save in a folder does the same. 0, or the
// error of the first leftover that could not be handled (kErrBusy for a
// running save; the others are handled all the same).
int SweepFolder(const std::string& folder);

// Gives the file at path its old content back when a rewrite of it (a file
// with several names) was killed midway; does nothing otherwise. 0 when
// nothing was left or the old content is back; the error otherwise.
int RecoverFile(const std::string& path);

// For readers of a file open as fd: waits (kLockWaitMs at most) while a
// rewrite of it in place runs, puts the old content back when one was killed
// midway, and then holds a shared lock that keeps the next rewrite in place
// out until ReleaseReading, or until the descriptor's open file description
// is closed. Does nothing for anything but a regular file with several
// names, or one that still carries the mark of a rewrite (no other is
// rewritten in place). A journal a killed save left of the file goes, in
// whichever folder it is. 0, or the error (kErrBusy when the rewrite runs
// too long, kErrUnfinished, ...).
int HoldForReading(int fd);
void ReleaseReading(int fd);

}  // namespace safefile
