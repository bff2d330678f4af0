#include "safefile/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace safefile {

namespace {

// The new file's hidden name: the prefix and six letters or digits. Short,
// so that it fits beside a file whose own name is as long as names may be.
constexpr char kHiddenPrefix[] = ".sonavex-";
constexpr size_t kHiddenPrefixLength = sizeof kHiddenPrefix - 1;
constexpr size_t kHiddenRandom = 6;

// The journal of a rewrite in place: the copy of the old content and the
// extra name of the file, both named with the same random token, and the
// mark on the file itself.
constexpr char kCopyPrefix[] = ".sonavex-copy-";
constexpr char kSongPrefix[] = ".sonavex-song-";
constexpr size_t kTokenLength = 12;
constexpr char kMarkName[] = "user.sonavex.rewrite";
// The mark's form: "2" names the state of the journal and what its copy
// must be; "1", of an earlier version, names neither (its copy is taken as
// it is).
constexpr char kMarkVersion[] = "2";
constexpr char kMarkVersionOne[] = "1";

// An earlier form of the copy, named by the file's inode number alone.
constexpr char kLegacyPrefix[] = ".sonavex-old-";
constexpr size_t kLegacyPrefixLength = sizeof kLegacyPrefix - 1;

// The locks every file of ours can carry: one-byte ranges far beyond any
// file's end, so that they never touch a lock on the content that another
// program may take. A save holds the first from its check to its end; a
// rewrite in place holds the second exclusively while it changes the
// content, readers hold it shared while they read. The third is the way in
// to the second: a rewrite holds it while it waits for the readers to go,
// so that no new reader comes before it (readers pass it on their way in).
constexpr off_t kSaveLock = off_t(1) << 62;
constexpr off_t kContentLock = kSaveLock + 1;
constexpr off_t kTurnLock = kSaveLock + 2;

constexpr int64_t kCopyChunk = 8 << 20;

void Report(Step step, int64_t offset = 0, int64_t length = 0) {
  if (Hooks().step) Hooks().step(step, offset, length);
}

int Sync(int fd) {
  if (Hooks().sync) return Hooks().sync(fd);
  return fsync(fd) == 0 ? 0 : errno;
}

std::string RandomLetters(size_t n) {
  static std::atomic<uint64_t> counter{0};
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t x = (uint64_t(getpid()) << 32) ^ uint64_t(ts.tv_nsec) ^ (uint64_t(ts.tv_sec) << 20) ^
               (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string letters;
  for (size_t i = 0; i < n; ++i) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 29;
    letters += kChars[x % 62];
  }
  return letters;
}

bool IsLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

std::string HiddenName() { return kHiddenPrefix + RandomLetters(kHiddenRandom); }

bool IsHiddenName(const char* name) {
  if (std::strncmp(name, kHiddenPrefix, kHiddenPrefixLength) != 0) return false;
  const char* rest = name + kHiddenPrefixLength;
  if (std::strlen(rest) != kHiddenRandom) return false;
  return std::all_of(rest, rest + kHiddenRandom, IsLetterOrDigit);
}

std::string CopyName(const std::string& token) { return kCopyPrefix + token; }
std::string SongName(const std::string& token) { return kSongPrefix + token; }

// The token of a journal name with this prefix, or "".
std::string TokenOf(const char* name, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (std::strncmp(name, prefix, n) != 0) return {};
  const char* rest = name + n;
  if (std::strlen(rest) != kTokenLength || !std::all_of(rest, rest + kTokenLength, IsLetterOrDigit)) return {};
  return rest;
}

bool IsLegacyCopyName(const char* name, ino_t& inode) {
  if (std::strncmp(name, kLegacyPrefix, kLegacyPrefixLength) != 0) return false;
  const char* rest = name + kLegacyPrefixLength;
  const size_t n = std::strlen(rest);
  if (n == 0 || n > 16) return false;
  uint64_t v = 0;
  for (const char* c = rest; *c; ++c) {
    const int d = (*c >= '0' && *c <= '9') ? *c - '0' : (*c >= 'a' && *c <= 'f') ? *c - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  inode = static_cast<ino_t>(v);
  char again[48];
  std::snprintf(again, sizeof again, "%s%" PRIx64, kLegacyPrefix, v);
  return std::strcmp(again, name) == 0;
}

// ---- locks -------------------------------------------------------------------

// One try at a lock of the byte at `at`: 0, EBUSY when another holds it, or
// the error. A file system without such locks gives 0: there, saves run as
// they always did.
int TryLock(int fd, off_t at, short type) {
  struct flock fl{};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  for (;;) {
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return EBUSY;
    if (errno == EINVAL || errno == ENOLCK || errno == EOPNOTSUPP) return 0;
    return errno;
  }
}

// The lock, waited for a bounded time (see TestHooks); kErrBusy after that.
int Lock(int fd, off_t at, short type) {
  const int bound = Hooks().lockWaitMs >= 0 ? Hooks().lockWaitMs : kLockWaitMs;
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  long pauseMs = 1;
  for (;;) {
    const int e = TryLock(fd, at, type);
    if (e != EBUSY) return e;
    if (Hooks().lockBusy) {
      if (!Hooks().lockBusy()) return kErrBusy;
      continue;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long waited = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (waited >= bound) return kErrBusy;
    const long pause = std::min(pauseMs, bound - waited);
    const timespec ts{pause / 1000, (pause % 1000) * 1000000};
    nanosleep(&ts, nullptr);
    pauseMs = std::min(pauseMs * 2, 50L);
  }
}

void Unlock(int fd, off_t at) {
  struct flock fl{};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  fcntl(fd, F_OFD_SETLK, &fl);
}

// The content lock for a reader (shared) or for a change of the content
// (exclusive, kept with the way in until fd is closed), both waited for a
// bounded time. 0, or the error.
int LockContent(int fd, short type) {
  if (const int e = Lock(fd, kTurnLock, type)) return e;
  const int e = Lock(fd, kContentLock, type);
  if (type == F_RDLCK || e != 0) Unlock(fd, kTurnLock);
  return e;
}

// Takes the whole of a file of ours: a live save holds a lock on the new
// file and on the copy of an old content it makes, so one that can be taken
// was left by a save that died. Needs a descriptor open for writing.
bool LockWhole(int fd) {
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// ---- bytes -------------------------------------------------------------------

int WriteAllAt(int fd, const uint8_t* p, size_t n, int64_t at) {
  while (n > 0) {
    const ssize_t put = ::pwrite(fd, p, n, at);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (put == 0) return ENOSPC;
    p += put;
    at += put;
    n -= static_cast<size_t>(put);
  }
  return 0;
}

// Copies count bytes of src from offset `from` to dst at offset `to`, by
// the kernel where it can, else through memory; each chunk is reported as
// `step` when one is given. 0, or the error.
int CopyRange(int src, int64_t from, int dst, int64_t to, int64_t count, const Step* step) {
  const int64_t chunk = Hooks().copyChunk > 0 ? Hooks().copyChunk : kCopyChunk;
  std::vector<uint8_t> buffer;
  bool kernelCopy = true;
  while (count > 0) {
    const size_t want = static_cast<size_t>(std::min(count, chunk));
    ssize_t got = -1;
    if (kernelCopy) {
      off_t in = from, out = to;
      got = copy_file_range(src, &in, dst, &out, want, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                      errno == EBADF || errno == EPERM)) {
        kernelCopy = false;  // copied through memory from here on
        continue;
      }
      if (got < 0) return errno;
    } else {
      buffer.resize(std::min<size_t>(want, 1 << 20));
      got = ::pread(src, buffer.data(), buffer.size(), from);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return errno;
      if (got > 0)
        if (const int e = WriteAllAt(dst, buffer.data(), static_cast<size_t>(got), to)) return e;
    }
    if (got == 0) return EIO;  // the source is shorter than it was
    from += got;
    to += got;
    count -= got;
    if (step) Report(*step, to, got);
  }
  return 0;
}

// Gives a file that was just changed in place a change time of its own: the
// clock to the nanosecond, and never the time it had before the change, so
// that whoever remembers the file as it was sees that it changed even when
// the system's coarser clock has not moved. A file whose times the user may
// not set keeps the system's time.
void MarkChanged(int fd, const struct stat& before) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  if (now.tv_sec == before.st_mtim.tv_sec && now.tv_nsec == before.st_mtim.tv_nsec) {
    if (++now.tv_nsec == 1000000000) {
      now.tv_nsec = 0;
      ++now.tv_sec;
    }
  }
  const timespec times[2] = {{0, UTIME_OMIT}, now};
  futimens(fd, times);
}

// Creates a file in dir that is ours while we hold it: unnamed, or on a
// file system without unnamed files under a hidden name (given in hidden),
// and locked. The descriptor, or minus the error.
int NewLockedFile(int dir, mode_t mode, std::string& hidden) {
  hidden.clear();
  if (!Hooks().noTmpfile) {
    const int fd = openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd >= 0) {
      TryLock(fd, kSaveLock, F_WRLCK);
      return fd;
    }
    // Only a file system without unnamed files falls back to a named one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return -errno;
  }
  for (int tries = 0; tries < 100; ++tries) {
    const std::string name = HiddenName();
    const int fd = openat(dir, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0) {
      hidden = name;
      TryLock(fd, kSaveLock, F_WRLCK);
      return fd;
    }
    if (errno != EEXIST) return -errno;
  }
  return -EEXIST;
}

// Gives an unnamed file (or one under the hidden name `hidden`) the name
// `name` in dir; a name that is taken is never replaced. 0, or the error.
int NameFile(int fd, int dir, const std::string& hidden, const std::string& name) {
  if (!hidden.empty()) {
    if (linkat(dir, hidden.c_str(), dir, name.c_str(), 0) != 0) return errno;
    unlinkat(dir, hidden.c_str(), 0);
    return 0;
  }
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  if (linkat(AT_FDCWD, proc, dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno == EEXIST) return EEXIST;
  return linkat(fd, "", dir, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// The same file open anew with other flags (through /proc: the very file,
// whatever its names are now). The descriptor, or minus the error.
int Reopen(int fd, int flags) {
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  const int again = ::open(proc, flags | O_CLOEXEC | O_NONBLOCK);
  return again >= 0 ? again : -errno;
}

// The value of an extended attribute, by path or by descriptor; errno on failure.
int GetAttribute(const char* path, int fd, const char* name, std::vector<char>& value) {
  for (int tries = 0; tries < 8; ++tries) {
    const ssize_t size = path ? getxattr(path, name, nullptr, 0) : fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return errno;
    value.resize(static_cast<size_t>(size));
    const ssize_t got = path ? getxattr(path, name, value.data(), value.size())
                             : fgetxattr(fd, name, value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<size_t>(got));
      return 0;
    }
    if (errno != ERANGE) return errno;
  }
  return ERANGE;
}

// Splits a path into its folder and its last name ("." for a bare name).
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    folder = std::string(".");
    name = path;
  } else {
    folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

// ---- the journal of a rewrite in place -------------------------------------

// A checksum of the first length bytes of the open file fd (read through
// the file system, so that it tells what a later read will find). 0, or
// the error (EIO when the file is shorter).
int Checksum(int fd, int64_t length, uint64_t& sum) {
  std::vector<uint8_t> buffer(1 << 20);
  uint64_t h = 0xcbf29ce484222325ull ^ static_cast<uint64_t>(length);
  int64_t at = 0;
  while (at < length) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(length - at, static_cast<int64_t>(buffer.size())));
    const ssize_t got = ::pread(fd, buffer.data(), want, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return EIO;
    size_t i = 0;
    const size_t n = static_cast<size_t>(got);
    for (; i + 8 <= n; i += 8) {
      uint64_t w;
      std::memcpy(&w, buffer.data() + i, 8);
      h = (h ^ w) * 0x100000001b3ull;
      h ^= h >> 29;
    }
    for (; i < n; ++i) h = (h ^ buffer[i]) * 0x100000001b3ull;
    at += got;
  }
  sum = h;
  return 0;
}

// The mark on a file whose rewrite in place is under way: the journal's
// token, the file it was set on and the folder of the journal. While the
// journal is made, and again once the new content is whole and synced until
// the journal is gone, the mark only names the journal (`writing` false: the
// content is whole, and a killed save leaves names to remove). While the
// new content goes over the old, it also records the copy's length and
// checksum: only a copy that still matches goes back into the file.
struct Mark {
  std::string token;
  uint64_t device = 0, inode = 0;
  std::string folder;
  bool writing = false;
  bool checked = false;  // the copy's length and checksum are known
  int64_t copyLength = 0;
  uint64_t copySum = 0;
};

std::string MarkText(const Mark& m) {
  char fields[128];
  std::snprintf(fields, sizeof fields, "%c\n%s\n%" PRIx64 "\n%" PRIx64 "\n%" PRIx64 "\n%" PRIx64 "\n",
                m.writing ? 'w' : 'k', m.token.c_str(), m.device, m.inode, static_cast<uint64_t>(m.copyLength),
                m.copySum);
  return std::string(kMarkVersion) + "\n" + fields + m.folder;
}

int SetMark(int fd, const Mark& m) {
  const std::string text = MarkText(m);
  return fsetxattr(fd, kMarkName, text.data(), text.size(), 0) == 0 ? 0 : errno;
}

// The file's mark, when it carries one of ours that was set on this very
// file (a mark that came over with a copy of its attributes is another
// file's and is ignored).
bool ReadMark(int fd, const struct stat& st, Mark& m) {
  std::vector<char> value;
  if (GetAttribute(nullptr, fd, kMarkName, value) != 0) return false;
  const std::string text(value.begin(), value.end());
  size_t at = 0;
  auto next = [&text, &at](std::string& field) {
    const size_t lf = text.find('\n', at);
    if (lf == std::string::npos) return false;
    field = text.substr(at, lf - at);
    at = lf + 1;
    return true;
  };
  std::string version, phase, device, inode, length, sum;
  if (!next(version)) return false;
  m = Mark{};
  if (version == kMarkVersion) {
    if (!next(phase) || !next(m.token) || !next(device) || !next(inode) || !next(length) || !next(sum)) return false;
    if (phase != "w" && phase != "k") return false;
    m.writing = phase == "w";
    m.checked = true;
    m.copyLength = static_cast<int64_t>(std::strtoull(length.c_str(), nullptr, 16));
    m.copySum = std::strtoull(sum.c_str(), nullptr, 16);
  } else if (version == kMarkVersionOne) {
    if (!next(m.token) || !next(device) || !next(inode)) return false;
    m.writing = true;
  } else {
    return false;
  }
  if (m.token.size() != kTokenLength || !std::all_of(m.token.begin(), m.token.end(), IsLetterOrDigit)) return false;
  m.device = std::strtoull(device.c_str(), nullptr, 16);
  m.inode = std::strtoull(inode.c_str(), nullptr, 16);
  m.folder = text.substr(at);
  return !m.folder.empty() && m.device == static_cast<uint64_t>(st.st_dev) &&
         m.inode == static_cast<uint64_t>(st.st_ino);
}

bool HasMark(int fd, const struct stat& st) {
  Mark m;
  return ReadMark(fd, st, m);
}

// Removes the journal's two names from dir and syncs it; what cannot go is
// left for the next sweep (without the mark it is only removed there). The
// extra name goes only when it is the file song (when one is given).
void DropJournal(int dir, const std::string& token, const struct stat* song = nullptr) {
  unlinkat(dir, CopyName(token).c_str(), 0);
  struct stat ls;
  if (!song || (fstatat(dir, SongName(token).c_str(), &ls, AT_SYMLINK_NOFOLLOW) == 0 && ls.st_ino == song->st_ino &&
                ls.st_dev == song->st_dev))
    unlinkat(dir, SongName(token).c_str(), 0);
  Sync(dir);
}

// Puts length bytes of copy back into song (from its start), cuts song to
// that length, gives it a change time of its own and syncs it. before is
// song as it was found. 0, or the error.
int PutBack(int copy, int song, int64_t length, const struct stat& before) {
  if (const int e = CopyRange(copy, 0, song, 0, length, nullptr)) return e;
  if (ftruncate(song, length) != 0) return errno;
  MarkChanged(song, before);
  return Sync(song);
}

// Ends a journal that has done its work or never began it (the file whole,
// its mark only naming the journal): the journal's names in its folder go
// (the extra name only when it is this file), then the mark. 0, or the
// error of the mark's removal.
int DropMarkedJournal(int song, const Mark& m) {
  struct stat st;
  if (fstat(song, &st) != 0) return errno;
  const int dir = ::open(m.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    DropJournal(dir, m.token, &st);
    close(dir);
  }
  if (fremovexattr(song, kMarkName) != 0 && errno != ENODATA) return errno;
  return 0;
}

// Puts the copy's content back into the marked file (open for reading and
// writing as song, its save and content locks held), then removes the
// journal and the mark. Only a copy of the length and checksum the mark
// records goes back. 0, or the error (kErrUnfinished when the copy is gone,
// does not match or cannot be read; the mark then stays).
int Restore(int song, int dir, const Mark& m) {
  const int copy = openat(dir, CopyName(m.token).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (copy < 0) return kErrUnfinished;
  struct stat cs, before;
  int e = 0;
  if (fstat(copy, &cs) != 0 || !S_ISREG(cs.st_mode) || fstat(song, &before) != 0) e = kErrUnfinished;
  if (e == 0 && m.checked) {
    uint64_t sum = 0;
    if (cs.st_size != m.copyLength || Checksum(copy, cs.st_size, sum) != 0 || sum != m.copySum) e = kErrUnfinished;
  }
  if (e == 0) e = PutBack(copy, song, cs.st_size, before);
  close(copy);
  if (e != 0) return e;
  // The file is whole again: the mark only names the journal until it is
  // gone, so that a kill from here on leaves nothing that a read misses.
  Mark done = m;
  done.writing = false;
  done.checked = false;
  done.copyLength = 0;
  done.copySum = 0;
  if (SetMark(song, done) != 0 || Sync(song) != 0) {
    // The mark cannot change: it goes at once (the journal is then left to
    // the next sweep of its folder).
    if (fremovexattr(song, kMarkName) != 0 && errno != ENODATA) return errno;
    return Sync(song);
  }
  DropJournal(dir, m.token, &before);
  if (fremovexattr(song, kMarkName) != 0 && errno != ENODATA) return errno;
  return 0;
}

// Finishes a killed rewrite of the file open as song (for reading and
// writing, its save lock held, and its content lock while the mark says the
// content may be torn): the copy's content goes back, or a journal that
// has done its work or never began it goes. 0 when there was nothing to do
// or it is done.
int RecoverLocked(int song) {
  struct stat st;
  if (fstat(song, &st) != 0) return errno;
  Mark m;
  if (!ReadMark(song, st, m)) return 0;
  if (!m.writing) return DropMarkedJournal(song, m);
  const int dir = ::open(m.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return kErrUnfinished;
  const int e = Restore(song, dir, m);
  close(dir);
  return e;
}

// For a save that holds the save lock on fd: a rewrite of the file that was
// killed is finished first (every save is made against the old content).
// 0, or the error.
int RecoverForSave(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !HasMark(fd, st)) return 0;
  const int song = Reopen(fd, O_RDWR);
  if (song < 0) return kErrUnfinished;
  int e = LockContent(song, F_WRLCK);
  if (e == 0) e = RecoverLocked(song);
  close(song);
  return e;
}

// Opens the file at path for a save (flags: O_WRONLY or O_RDWR) and takes its
// save lock, waiting a bounded time for another save; the name must still
// lead to the locked file (a save that finished meanwhile may have put a new
// one there: the lock is then taken on that). A killed rewrite of the file
// is undone. The descriptor with st filled in, or minus the error.
int OpenLocked(const std::string& path, int flags, struct stat& st) {
  for (int tries = 0; tries < 16; ++tries) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -errno;
    auto fail = [fd](int e) {
      close(fd);
      return -e;
    };
    if (fstat(fd, &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (const int e = Lock(fd, kSaveLock, F_WRLCK)) return fail(e);
    struct stat named;
    if (stat(path.c_str(), &named) != 0) return fail(errno);
    if (named.st_dev != st.st_dev || named.st_ino != st.st_ino) {
      close(fd);
      continue;
    }
    if (const int e = RecoverForSave(fd)) return fail(e);
    if (fstat(fd, &st) != 0) return fail(errno);
    return fd;
  }
  return -kErrBusy;  // the name changed with every look
}

// ---- the sweep ---------------------------------------------------------------

// Handles the journal with this token in dir, unless a live save holds it:
// when the file behind the extra name still carries the mark with this
// token, the journal is finished as that mark says (the copy's content goes
// back into it, or the journal and the mark go); otherwise both names are
// removed and nothing is written. 0, or the error (kErrBusy for a running
// save or a reader).
int SweepJournal(int dir, const std::string& token) {
  const int copy = openat(dir, CopyName(token).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (copy < 0 && errno != ENOENT) return errno;
  struct stat cs;
  if (copy >= 0 && (fstat(copy, &cs) != 0 || !S_ISREG(cs.st_mode))) {
    close(copy);
    return EINVAL;  // not ours: left as it is
  }
  if (copy >= 0 && !LockWhole(copy)) {
    close(copy);
    return kErrBusy;  // a save is making or using it
  }
  int result = 0;
  bool marked = false;
  const int song = openat(dir, SongName(token).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (song >= 0) {
    struct stat st;
    Mark m;
    if (fstat(song, &st) == 0 && S_ISREG(st.st_mode)) {
      if (TryLock(song, kSaveLock, F_WRLCK) != 0 || TryLock(song, kContentLock, F_WRLCK) != 0) {
        result = kErrBusy;
      } else if (ReadMark(song, st, m) && m.token == token) {
        marked = true;
        if (!m.writing) result = DropMarkedJournal(song, m);
        else result = copy >= 0 ? Restore(song, dir, m) : kErrUnfinished;
      }
    }
    close(song);
  }
  if (copy >= 0) close(copy);
  // Without the mark the save finished, or never began to overwrite: the
  // names go, and nothing is written anywhere.
  if (result == 0 && !marked) DropJournal(dir, token);
  return result;
}

// The birth time of a file (statx), when the file system keeps one.
bool BirthTime(int dir, const char* name, int flags, statx_timestamp& born) {
  struct statx sx{};
  if (statx(dir, name, flags | AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_INO, &sx) != 0) return false;
  if (!(sx.stx_mask & STATX_BTIME)) return false;
  born = sx.stx_btime;
  return true;
}

bool Before(const statx_timestamp& a, const statx_timestamp& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// A copy in the earlier form, named by an inode number alone: it goes back
// only into a file of this folder with that number and several names that
// was born before the copy (a file that took the number over after the
// song was deleted was born after it). A copy that no file matches is
// removed; one whose match cannot be told (a file system without birth
// times, or both born within one tick of its clock) is left alone. 0, or
// the error (kErrBusy while a save of that form holds it).
int SweepLegacyCopy(int dir, const std::string& copyName, ino_t inode) {
  const int copy = openat(dir, copyName.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (copy < 0) return errno == ENOENT ? 0 : errno;
  struct stat cs;
  if (fstat(copy, &cs) != 0 || !S_ISREG(cs.st_mode)) {
    close(copy);
    return EINVAL;
  }
  if (!LockWhole(copy)) {
    close(copy);
    return kErrBusy;
  }
  std::string name;
  const int listing = dup(dir);
  DIR* d = listing >= 0 ? fdopendir(listing) : nullptr;
  if (!d && listing >= 0) close(listing);
  if (d) {
    rewinddir(d);
    while (const dirent* e = readdir(d)) {
      if (e->d_ino == inode && copyName != e->d_name) {
        name = e->d_name;
        break;
      }
    }
    closedir(d);
  }
  int result = 0;
  bool keep = false;
  const int song = name.empty() ? -1 : openat(dir, name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (song >= 0 && fstat(song, &st) == 0 && S_ISREG(st.st_mode) && st.st_ino == inode && st.st_nlink > 1) {
    statx_timestamp songBorn{}, copyBorn{};
    if (!BirthTime(song, "", AT_EMPTY_PATH, songBorn) || !BirthTime(copy, "", AT_EMPTY_PATH, copyBorn)) {
      keep = true;
    } else if (Before(songBorn, copyBorn)) {
      if (TryLock(song, kSaveLock, F_WRLCK) != 0 || TryLock(song, kContentLock, F_WRLCK) != 0) result = kErrBusy;
      else result = PutBack(copy, song, cs.st_size, st);
    } else {
      keep = !Before(copyBorn, songBorn);  // born after the copy: another file, which is left alone
    }
  } else if (song < 0 && !name.empty() && errno != ENOENT) {
    result = errno;
  }
  if (song >= 0) close(song);
  close(copy);
  if (result != 0 || keep) return result;
  if (unlinkat(dir, copyName.c_str(), 0) != 0) return errno;
  return Sync(dir);
}

// Removes the hidden new files that killed saves left in the folder, gives
// the files whose rewrite in place was killed their old content back and
// removes the journals of the others. 0, or the first error met.
int SweepLeftovers(int dir) {
  const int listing = dup(dir);
  if (listing < 0) return errno;
  DIR* d = fdopendir(listing);
  if (!d) {
    const int e = errno;
    close(listing);
    return e;
  }
  rewinddir(d);
  std::vector<std::string> stale;
  std::set<std::string> tokens;
  std::vector<std::pair<std::string, ino_t>> legacy;
  while (const dirent* e = readdir(d)) {
    if (e->d_name[0] != '.') continue;
    ino_t inode = 0;
    std::string token = TokenOf(e->d_name, kCopyPrefix);
    if (token.empty()) token = TokenOf(e->d_name, kSongPrefix);
    if (!token.empty()) {
      tokens.insert(token);
      continue;
    }
    if (IsLegacyCopyName(e->d_name, inode)) {
      legacy.emplace_back(e->d_name, inode);
      continue;
    }
    if (!IsHiddenName(e->d_name)) continue;
    const int fd = openat(dir, e->d_name, O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && LockWhole(fd)) stale.push_back(e->d_name);
    close(fd);
  }
  closedir(d);
  for (const auto& name : stale) unlinkat(dir, name.c_str(), 0);
  int first = 0;
  for (const auto& token : tokens) {
    const int e = SweepJournal(dir, token);
    if (e != 0 && first == 0) first = e;
  }
  for (const auto& [name, inode] : legacy) {
    const int e = SweepLegacyCopy(dir, name, inode);
    if (e != 0 && first == 0) first = e;
  }
  return first;
}

}  // namespace

TestHooks& Hooks() {
  static TestHooks hooks;
  return hooks;
}

FileIdentity IdentityOf(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

bool FitsOnePage(int64_t offset, size_t length) {
  if (offset < 0 || length == 0 || length > static_cast<size_t>(kPageSize)) return false;
  return offset / kPageSize == (offset + static_cast<int64_t>(length) - 1) / kPageSize;
}

ByteRange ChangedRange(const uint8_t* before, const uint8_t* after, size_t n) {
  size_t first = 0;
  while (first < n && before[first] == after[first]) ++first;
  if (first == n) return {};
  size_t last = n - 1;
  while (last > first && before[last] == after[last]) --last;
  return {static_cast<int64_t>(first), last - first + 1};
}

int WriteInPlace(const std::string& path, int64_t offset, const void* data, size_t n) {
  return WriteInPlace(path, offset, data, n, nullptr, nullptr);
}

int TruncateInPlace(const std::string& path, int64_t length) { return TruncateInPlace(path, length, nullptr, nullptr); }

namespace {

// Whether the file open as fd is still in the state locked (the same file
// under path, of the same length and change time).
bool StillAsLocked(int fd, const std::string& path, const struct stat& locked) {
  struct stat now, named;
  return fstat(fd, &now) == 0 && IdentityOf(now) == IdentityOf(locked) && stat(path.c_str(), &named) == 0 &&
         named.st_dev == now.st_dev && named.st_ino == now.st_ino;
}

// A change within one page of the file at path under the save's lock:
// `change` (given the descriptor and the file's state before) makes it and
// gives 0 or the error; then the file gets a change time of its own and is
// synced. Nothing is changed when the file is not `expected`.
template <class Change>
int ChangeInPlace(const std::string& path, int64_t offset, int64_t length, const FileIdentity* expected,
                  FileIdentity* result, Change change) {
  struct stat st;
  const int fd = OpenLocked(path, O_WRONLY, st);
  if (fd < 0) return -fd;
  int e = expected && !(IdentityOf(st) == *expected) ? kErrChanged : 0;
  if (e == 0) {
    Report(Step::kInPlaceWrite, offset, length);
    // Another program takes no lock of ours: right before the write, the
    // name must still lead to this file, unchanged since it was locked.
    e = StillAsLocked(fd, path, st) ? change(fd, st) : kErrChanged;
  }
  if (e == 0) {
    Report(Step::kInPlaceWritten, offset, length);
    MarkChanged(fd, st);
    e = Sync(fd);
  }
  struct stat now, named;
  // Another program that put a file of its own under the name while this
  // write ran got its way: the write is not reported as done.
  if (e == 0 && (fstat(fd, &now) != 0 || stat(path.c_str(), &named) != 0 || named.st_ino != now.st_ino ||
                 named.st_dev != now.st_dev))
    e = kErrChanged;
  if (e == 0 && result) *result = IdentityOf(now);
  if (close(fd) != 0 && e == 0) e = errno;
  return e;
}

}  // namespace

int WriteInPlace(const std::string& path, int64_t offset, const void* data, size_t n, const FileIdentity* expected,
                 FileIdentity* result) {
  if (!FitsOnePage(offset, n)) return EINVAL;
  return ChangeInPlace(path, offset, static_cast<int64_t>(n), expected, result, [&](int fd, const struct stat& st) {
    ssize_t put;
    do put = ::pwrite(fd, data, n, offset);
    while (put < 0 && errno == EINTR);
    if (put == static_cast<ssize_t>(n)) return 0;
    const int e = put < 0 ? errno : ENOSPC;
    // An append that stopped short is cut off again.
    if (offset >= st.st_size && ftruncate(fd, st.st_size) == 0) Sync(fd);
    return e;
  });
}

int TruncateInPlace(const std::string& path, int64_t length, const FileIdentity* expected, FileIdentity* result) {
  return ChangeInPlace(path, length, 0, expected, result,
                       [&](int fd, const struct stat&) { return ftruncate(fd, length) == 0 ? 0 : errno; });
}

// ---- Rewrite -----------------------------------------------------------------

bool Rewrite::Failed(int e) {
  error_ = e ? e : EIO;
  Abort();
  return false;
}

bool Rewrite::Begin(const std::string& given, const FileIdentity* expected) {
  Abort();
  error_ = 0;
  written_ = 0;
  result_ = {};
  seen_ = {};
  // The file a symlink names (through every link on the way) is the one
  // that is written; the link stays a link.
  std::string real;
  bool exists = false;
  if (char* resolved = realpath(given.c_str(), nullptr)) {
    real = resolved;
    std::free(resolved);
    exists = true;
  } else {
    const int e = errno;
    struct stat lst;
    // Only a name that does not exist at all becomes a new file: a broken
    // link or an unreachable folder is an error.
    if (e != ENOENT || lstat(given.c_str(), &lst) == 0) return Failed(e);
    // A file the caller read is gone: it is not made anew.
    if (expected) return Failed(kErrChanged);
    std::string folder, name;
    SplitPath(given, folder, name);
    char* folderReal = realpath(folder.c_str(), nullptr);
    if (!folderReal) return Failed(errno);
    real = std::string(folderReal) + "/" + name;
    std::free(folderReal);
  }

  struct stat st{};
  if (exists) {
    if (stat(real.c_str(), &st) != 0) return Failed(errno);
    if (S_ISDIR(st.st_mode)) return Failed(EISDIR);
    if (!S_ISREG(st.st_mode)) return Failed(EINVAL);
    // Opening it for writing also refuses a file the user may not write,
    // whatever the folder allows. The lock keeps other saves out until the
    // end of this one.
    lock_ = OpenLocked(real, O_WRONLY, st);
    if (lock_ < 0) {
      const int e = -lock_;
      lock_ = -1;
      return Failed(e);
    }
    if (expected && !(IdentityOf(st) == *expected)) return Failed(kErrChanged);
    seen_ = IdentityOf(st);
    // A rename would give the other names of a hard-linked file the old
    // content: the new content goes into the file itself.
    inPlace_ = st.st_nlink > 1;
  }

  SplitPath(real, folder_, name_);
  dir_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_ < 0) return Failed(errno);
  SweepLeftovers(dir_);

  const bool linked = inPlace_;
  if (!CreateNew(exists ? 0600 : 0666)) {
    // Where the copy of the old content cannot be made beside a file with
    // several names, neither way keeps the file safe and whole.
    if (linked && (error_ == EACCES || error_ == EPERM)) error_ = kErrHardLinked;
    return false;
  }
  // The new file of an in-place rewrite only carries the content.
  if (exists && !inPlace_ && !CopyAttributes(real, st)) return false;
  Report(Step::kTempCreated);
  return true;
}

bool Rewrite::CreateNew(mode_t mode) {
  const int fd = NewLockedFile(dir_, mode, hidden_);
  if (fd < 0) return Failed(-fd);
  fd_ = fd;
  return true;
}

bool Rewrite::CopyAttributes(const std::string& from, const struct stat& st) {
  // Owner and group first (a change of owner clears the set-id bits), then
  // the mode, then the extended attributes: an access ACL sets the group
  // bits of the mode from its mask, as it did on the old file.
  struct stat now;
  if (fstat(fd_, &now) != 0) return Failed(errno);
  // Only what differs is set: file systems without owners and modes (FAT on
  // a memory stick) refuse any change, and there both already agree.
  if ((now.st_uid != st.st_uid || now.st_gid != st.st_gid) && fchown(fd_, st.st_uid, st.st_gid) != 0)
    return Failed(errno);  // the new file could not keep the owner or the group
  if (fstat(fd_, &now) != 0) return Failed(errno);
  if ((now.st_mode & 07777) != (st.st_mode & 07777) && fchmod(fd_, st.st_mode & 07777) != 0) return Failed(errno);

  std::vector<char> names(256);
  ssize_t size;
  for (;;) {
    size = listxattr(from.c_str(), names.data(), names.size());
    if (size >= 0) break;
    if (errno == ENOTSUP) return true;  // a file system without them
    if (errno != ERANGE) return Failed(errno);
    const ssize_t need = listxattr(from.c_str(), nullptr, 0);
    if (need < 0) return Failed(errno);
    names.resize(static_cast<size_t>(need) + 1);
  }
  std::vector<char> value, check;
  for (ssize_t at = 0; at < size;) {
    const char* name = names.data() + at;
    at += static_cast<ssize_t>(std::strlen(name)) + 1;
    // The mark of a rewrite in place belongs to the file it was set on.
    if (std::strcmp(name, kMarkName) == 0) continue;
    const int e = GetAttribute(from.c_str(), -1, name, value);
    if (e == ENODATA) continue;  // gone meanwhile
    if (e != 0) return Failed(e);
    if (fsetxattr(fd_, name, value.data(), value.size(), 0) == 0) continue;
    const int set = errno;
    // An attribute the system gave the new file already (a security label)
    // needs no setting.
    if (GetAttribute(nullptr, fd_, name, check) == 0 && check == value) continue;
    return Failed(set);
  }
  return true;
}

bool Rewrite::Write(const void* data, size_t n) {
  if (fd_ < 0) return false;
  if (n == 0) return true;
  if (const int e = WriteAllAt(fd_, static_cast<const uint8_t*>(data), n, written_)) return Failed(e);
  written_ += static_cast<int64_t>(n);
  return true;
}

bool Rewrite::CopyFrom(int src, int64_t offset, int64_t count) {
  if (fd_ < 0) return false;
  if (count <= 0) return true;
  if (offset < 0 || src < 0) return Failed(EINVAL);
  const Step chunk = Step::kCopied;
  if (const int e = CopyRange(src, offset, fd_, written_, count, &chunk)) return Failed(e);
  written_ += count;
  return true;
}

bool Rewrite::Commit() {
  if (fd_ < 0) return false;
  if (inPlace_) return CommitInPlace();
  Report(Step::kWritten);
  if (Hooks().written) Hooks().written(fd_);
  if (const int e = Sync(fd_)) return Failed(e);
  Report(Step::kSynced);
  // The new file must hold every byte written: a write that a full disk or
  // a size limit cut short without saying so never replaces the old file.
  struct stat st;
  if (fstat(fd_, &st) != 0) return Failed(errno);
  if (st.st_size != written_) return Failed(ENOSPC);
  if (hidden_.empty()) {
    // Name the unnamed file: through /proc, or by its descriptor where the
    // process may do that.
    for (int tries = 0; tries < 100 && hidden_.empty(); ++tries) {
      const std::string name = HiddenName();
      const int e = NameFile(fd_, dir_, std::string(), name);
      if (e == 0) hidden_ = name;
      else if (e != EEXIST) return Failed(e);
    }
    if (hidden_.empty()) return Failed(EEXIST);
  }
  Report(Step::kLinked);
  if (const int e = Replace()) return Failed(e);
  Report(Step::kRenamed);
  const int dirSync = Sync(dir_);
  result_ = IdentityOf(st);
  close(fd_);
  fd_ = -1;
  Abort();
  if (dirSync != 0) {
    error_ = dirSync;
    return false;
  }
  return true;
}

namespace {
bool CannotSwap(int e) { return e == EINVAL || e == ENOSYS || e == EOPNOTSUPP || e == ENOTSUP; }
}  // namespace

int Rewrite::Replace() {
  if (lock_ < 0) {
    // A new file: it takes the name only while no file has it.
    if (renameat2(dir_, hidden_.c_str(), dir_, name_.c_str(), RENAME_NOREPLACE) != 0) {
      if (!CannotSwap(errno)) return errno == EEXIST ? kErrChanged : errno;
      if (renameat(dir_, hidden_.c_str(), dir_, name_.c_str()) != 0) return errno;
    }
    hidden_.clear();
    return 0;
  }
  // Other programs take no lock of ours: the old file is swapped out in one
  // step, and what came out must be the file locked at the beginning, in
  // the state seen then. Anything else (another program's file put there by
  // a rename, or this one changed in place) is swapped back at once.
  const bool swapped =
      !Hooks().noExchange && renameat2(dir_, hidden_.c_str(), dir_, name_.c_str(), RENAME_EXCHANGE) == 0;
  if (swapped) {
    struct stat out;
    if (fstatat(dir_, hidden_.c_str(), &out, AT_SYMLINK_NOFOLLOW) == 0 && IdentityOf(out) == seen_) {
      unlinkat(dir_, hidden_.c_str(), 0);  // the old file
      hidden_.clear();
      return 0;
    }
    if (renameat2(dir_, hidden_.c_str(), dir_, name_.c_str(), RENAME_EXCHANGE) != 0) {
      // The other file goes back under the name all the same; ours is gone.
      if (renameat(dir_, hidden_.c_str(), dir_, name_.c_str()) != 0) {
        const int e = errno;
        hidden_.clear();  // holds the other program's file now: never removed by us
        return e;
      }
      hidden_.clear();
    }
    return kErrChanged;
  }
  if (!Hooks().noExchange) {
    if (errno == ENOENT) return kErrChanged;  // the old file lost its name
    if (!CannotSwap(errno)) return errno;
  }
  // A file system that cannot swap: the last check comes right before the
  // rename (a change between the two is not seen).
  struct stat named;
  if (fstatat(dir_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !(IdentityOf(named) == seen_))
    return kErrChanged;
  if (renameat(dir_, hidden_.c_str(), dir_, name_.c_str()) != 0) return errno;
  hidden_.clear();
  return 0;
}

bool Rewrite::CommitInPlace() {
  Report(Step::kWritten);
  if (Hooks().written) Hooks().written(fd_);
  // The new file must hold every byte written (it is only read from here on).
  struct stat ns;
  if (fstat(fd_, &ns) != 0) return Failed(errno);
  if (ns.st_size != written_) return Failed(ENOSPC);
  // The file itself, as locked since the beginning.
  const int tfd = Reopen(lock_, O_RDWR);
  if (tfd < 0) return Failed(-tfd);
  struct stat ts;
  if (fstat(tfd, &ts) != 0) {
    const int e = errno;
    close(tfd);
    return Failed(e);
  }
  const int64_t oldLength = ts.st_size;
  Mark mark;
  mark.token = RandomLetters(kTokenLength);
  mark.device = static_cast<uint64_t>(ts.st_dev);
  mark.inode = static_cast<uint64_t>(ts.st_ino);
  mark.folder = folder_;
  const std::string copyName = CopyName(mark.token), songName = SongName(mark.token);

  // The file is marked before the journal gets any name, and keeps its mark
  // until the journal is gone again: whatever meets the file after a kill
  // finds the journal through it, by any of the file's names.
  if (const int e = SetMark(tfd, mark)) {
    close(tfd);
    return Failed(e == ENOTSUP || e == EPERM || e == EACCES ? kErrHardLinked : e);
  }
  // The copy of the old content: complete, synced and locked before it gets
  // its name, so a named copy is always whole.
  std::string temp;
  const int cfd = NewLockedFile(dir_, 0600, temp);
  if (cfd < 0) {
    fremovexattr(tfd, kMarkName);
    close(tfd);
    return Failed(-cfd == EACCES || -cfd == EPERM ? kErrHardLinked : -cfd);
  }
  bool named = false, linked = false;
  auto giveUp = [&](int e) {
    if (!temp.empty()) unlinkat(dir_, temp.c_str(), 0);
    if (named) unlinkat(dir_, copyName.c_str(), 0);
    if (linked) unlinkat(dir_, songName.c_str(), 0);
    if (named || linked) Sync(dir_);
    fremovexattr(tfd, kMarkName);
    close(cfd);
    close(tfd);
    return Failed(e);
  };
  if (const int e = CopyRange(tfd, 0, cfd, 0, oldLength, nullptr)) return giveUp(e);
  if (const int e = Sync(cfd)) return giveUp(e);
  if (const int e = Checksum(cfd, oldLength, mark.copySum)) return giveUp(e);
  mark.copyLength = oldLength;
  if (const int e = NameFile(cfd, dir_, temp, copyName)) return giveUp(e);
  temp.clear();
  named = true;
  // The file's further name beside the copy.
  if (const int e = NameFile(tfd, dir_, std::string(), songName))
    return giveUp(e == EPERM || e == EACCES || e == EMLINK ? kErrHardLinked : e);
  linked = true;
  struct stat ls;
  if (fstatat(dir_, songName.c_str(), &ls, AT_SYMLINK_NOFOLLOW) != 0 || ls.st_ino != ts.st_ino ||
      ls.st_dev != ts.st_dev)
    return giveUp(ESTALE);
  if (const int e = Sync(dir_)) return giveUp(e);
  Report(Step::kJournalNamed);
  // Readers wait from here until the file is whole again.
  if (const int e = LockContent(tfd, F_WRLCK)) return giveUp(e);
  // Another program takes no lock of ours: right before the first write,
  // the name must still lead to this file, unchanged since it was locked
  // (and so since the copy was made).
  struct stat now, named2;
  if (fstat(tfd, &now) != 0) return giveUp(errno);
  if (!(IdentityOf(now) == seen_) || fstatat(dir_, name_.c_str(), &named2, 0) != 0 || named2.st_ino != now.st_ino ||
      named2.st_dev != now.st_dev)
    return giveUp(kErrChanged);
  mark.writing = true;
  if (const int e = SetMark(tfd, mark)) return giveUp(e);
  if (const int e = Sync(tfd)) return giveUp(e);
  Report(Step::kOldKept);

  // The new content over the old, cut to its length and synced.
  const Step chunk = Step::kOverwriting;
  int e = CopyRange(fd_, 0, tfd, 0, written_, &chunk);
  if (e == 0 && written_ < oldLength && ftruncate(tfd, written_) != 0) e = errno;
  if (e == 0) MarkChanged(tfd, now);
  if (e == 0) e = Sync(tfd);
  if (e == 0) {
    Report(Step::kOverwritten);
    Mark done = mark;
    done.writing = false;
    e = SetMark(tfd, done);
    if (e == 0) e = Sync(tfd);
  }
  if (e != 0) {
    // The old content goes back at once (the journal and the mark with it);
    // where even that fails the mark and the copy stay for the next read,
    // save or sweep.
    if (Restore(tfd, dir_, mark) == 0) named = linked = false;
    temp.clear();
    close(cfd);
    close(tfd);
    return Failed(e);
  }
  Report(Step::kUnmarked);
  struct stat done{};
  if (fstat(tfd, &done) == 0) result_ = IdentityOf(done);
  // The save is complete: the journal goes, then the mark; what a kill
  // leaves of them here goes at the next read or save through any name.
  unlinkat(dir_, copyName.c_str(), 0);
  unlinkat(dir_, songName.c_str(), 0);
  Report(Step::kOldDropped);
  Sync(dir_);
  fremovexattr(tfd, kMarkName);
  // Another program that put a file of its own under the name while the
  // new content went in got its way: the save is not reported as done.
  struct stat last;
  const bool stands = fstatat(dir_, name_.c_str(), &last, 0) == 0 && last.st_ino == done.st_ino &&
                      last.st_dev == done.st_dev;
  close(cfd);
  close(tfd);
  close(fd_);
  fd_ = -1;
  Abort();
  if (!stands) {
    error_ = kErrChanged;
    return false;
  }
  return true;
}

void Rewrite::Abort() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (dir_ >= 0) {
    if (!hidden_.empty()) unlinkat(dir_, hidden_.c_str(), 0);
    close(dir_);
    dir_ = -1;
  }
  if (lock_ >= 0) {
    close(lock_);
    lock_ = -1;
  }
  hidden_.clear();
  name_.clear();
  folder_.clear();
  inPlace_ = false;
}

std::string ErrorText(int error) {
  switch (error) {
    case kErrHardLinked:
      return "The file has several names (hard links), and its folder or its file system does not allow the copy "
             "of its old content that keeps a rewrite safe";
    case kErrChanged: return "The file was changed by another program since it was read";
    case kErrUnfinished:
      return "An earlier save of the file was cut short and its earlier content could not be put back";
    case kErrBusy: return "Another save of the file is running";
    default: return std::strerror(error);
  }
}

int WriteWholeFile(const std::string& path, const void* data, size_t n) {
  Rewrite rewrite;
  if (!rewrite.Begin(path) || !rewrite.Write(data, n) || !rewrite.Commit()) return rewrite.Error();
  return 0;
}

int SweepFolder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return errno;
  const int e = SweepLeftovers(dir);
  close(dir);
  return e;
}

int HoldForReading(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return 0;
  // Only a file with several names is ever rewritten in place (and a
  // journal keeps a further name while it runs); the content of any other
  // changes only by a write within one page, which cannot tear. A file
  // with one name that still carries a mark lost the journal's names (its
  // folder was deleted, say): it is met as any marked file below.
  if (st.st_nlink < 2 && !HasMark(fd, st)) return 0;
  if (const int e = LockContent(fd, F_RDLCK)) return e;
  Mark m;
  if (fstat(fd, &st) != 0 || !ReadMark(fd, st, m)) return 0;
  if (!m.writing) {
    // The content is whole. A journal that a save still running holds
    // (under its save lock) is left to it; one that a killed save left
    // goes now.
    const int song = Reopen(fd, O_RDWR);
    if (song >= 0) {
      if (TryLock(song, kSaveLock, F_WRLCK) == 0) RecoverLocked(song);
      close(song);
    }
    return 0;
  }
  // The rewrite that set the mark would hold the content lock: it was
  // killed. Its old content goes back under both locks.
  Unlock(fd, kContentLock);
  const int song = Reopen(fd, O_RDWR);
  if (song < 0) return kErrUnfinished;
  int e = Lock(song, kSaveLock, F_WRLCK);
  if (e == 0) e = LockContent(song, F_WRLCK);
  if (e == 0) e = RecoverLocked(song);
  close(song);
  if (e != 0) return e;
  return LockContent(fd, F_RDLCK);
}

void ReleaseReading(int fd) { Unlock(fd, kContentLock); }

int RecoverFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? 0 : errno;
  int e = HoldForReading(fd);
  ReleaseReading(fd);
  struct stat st;
  if (e == 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1) {
    // A copy of the earlier form beside the file.
    if (char* resolved = realpath(path.c_str(), nullptr)) {
      std::string folder, name;
      SplitPath(resolved, folder, name);
      std::free(resolved);
      char legacy[48];
      std::snprintf(legacy, sizeof legacy, "%s%" PRIx64, kLegacyPrefix, static_cast<uint64_t>(st.st_ino));
      const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (dir >= 0) {
        struct stat cs;
        if (fstatat(dir, legacy, &cs, AT_SYMLINK_NOFOLLOW) == 0) e = SweepLegacyCopy(dir, legacy, st.st_ino);
        close(dir);
      }
    }
  }
  close(fd);
  return e;
}

}  // namespace safefile
