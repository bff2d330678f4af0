#include "safefile/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cinttypes>
#include <dirent.h>
#include <fcntl.h>
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

constexpr int64_t kCopyChunk = 8 << 20;

void Report(Step step, int64_t offset = 0, int64_t length = 0) {
  if (Hooks().step) Hooks().step(step, offset, length);
}

std::string HiddenName() {
  static std::atomic<uint64_t> counter{0};
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t x = (uint64_t(getpid()) << 32) ^ uint64_t(ts.tv_nsec) ^ (uint64_t(ts.tv_sec) << 20) ^
               (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = kHiddenPrefix;
  for (size_t i = 0; i < kHiddenRandom; ++i) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 29;
    name += kChars[x % 62];
  }
  return name;
}

bool IsHiddenName(const char* name) {
  if (std::strncmp(name, kHiddenPrefix, kHiddenPrefixLength) != 0) return false;
  const char* rest = name + kHiddenPrefixLength;
  if (std::strlen(rest) != kHiddenRandom) return false;
  for (const char* c = rest; *c; ++c)
    if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9'))) return false;
  return true;
}

// The name of the copy of the old content of the file with this inode
// number, kept beside it while the file itself is rewritten.
constexpr char kOldPrefix[] = ".sonavex-old-";
constexpr size_t kOldPrefixLength = sizeof kOldPrefix - 1;

std::string OldCopyName(ino_t inode) {
  char name[48];
  std::snprintf(name, sizeof name, "%s%" PRIx64, kOldPrefix, static_cast<uint64_t>(inode));
  return name;
}

bool IsOldCopyName(const char* name, ino_t& inode) {
  if (std::strncmp(name, kOldPrefix, kOldPrefixLength) != 0) return false;
  const char* rest = name + kOldPrefixLength;
  const size_t n = std::strlen(rest);
  if (n == 0 || n > 16) return false;
  uint64_t v = 0;
  for (const char* c = rest; *c; ++c) {
    const int d = (*c >= '0' && *c <= '9') ? *c - '0' : (*c >= 'a' && *c <= 'f') ? *c - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  inode = static_cast<ino_t>(v);
  return OldCopyName(inode) == name;
}

// Holds an open file description's lock for as long as it is open: a live
// save keeps its new file (and the copy of an old content) locked, so a file
// of ours that can be locked was left by a save that died.
bool LockWhole(int fd) {
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

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

// Creates a file in dir that is ours while we hold it: unnamed, or on a
// file system without unnamed files under a hidden name (given in hidden),
// and locked. The descriptor, or minus the error.
int NewLockedFile(int dir, mode_t mode, std::string& hidden) {
  hidden.clear();
  if (!Hooks().noTmpfile) {
    const int fd = openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd >= 0) {
      LockWhole(fd);
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
      LockWhole(fd);
      return fd;
    }
    if (errno != EEXIST) return -errno;
  }
  return -EEXIST;
}

// Puts the content of the copy cfd (of the old content of the file named
// target in dir) back into that file, then removes the copy. 0, or the
// error (the copy then stays for the next try).
int PutOldBack(int dir, int cfd, const std::string& copyName, const std::string& target, ino_t inode) {
  struct stat cs;
  if (fstat(cfd, &cs) != 0) return errno;
  const int tfd = openat(dir, target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (tfd < 0) return errno;
  struct stat ts;
  int e = 0;
  if (fstat(tfd, &ts) != 0) e = errno;
  else if (!S_ISREG(ts.st_mode) || ts.st_ino != inode) e = ESTALE;
  if (e == 0) e = CopyRange(cfd, 0, tfd, 0, cs.st_size, nullptr);
  if (e == 0 && ftruncate(tfd, cs.st_size) != 0) e = errno;
  if (e == 0 && fsync(tfd) != 0) e = errno;
  close(tfd);
  if (e != 0) return e;
  if (unlinkat(dir, copyName.c_str(), 0) != 0) return errno;
  if (fsync(dir) != 0) return errno;
  return 0;
}

// Handles the copy of an old content found in dir: unless a live save holds
// it, the file it belongs to (target when given, else the name in dir with
// that inode) gets the old content back. 0, or the error (EBUSY for a live
// save; ENOENT when no name in the folder is that file any more: the copy
// stays).
int RecoverOldCopy(int dir, const std::string& copyName, ino_t inode, const std::string& target) {
  const int cfd = openat(dir, copyName.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (cfd < 0) return errno == ENOENT ? 0 : errno;
  struct stat cs;
  if (fstat(cfd, &cs) != 0 || !S_ISREG(cs.st_mode)) {
    close(cfd);
    return EINVAL;
  }
  if (!LockWhole(cfd)) {
    close(cfd);
    return EBUSY;  // a save of that file is running
  }
  std::string name = target;
  struct stat ts;
  if (name.empty() || fstatat(dir, name.c_str(), &ts, AT_SYMLINK_NOFOLLOW) != 0 || ts.st_ino != inode) {
    name.clear();
    const int listing = dup(dir);
    DIR* d = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!d && listing >= 0) close(listing);
    if (d) {
      rewinddir(d);
      while (const dirent* e = readdir(d)) {
        if (e->d_ino != inode || copyName == e->d_name) continue;
        if (fstatat(dir, e->d_name, &ts, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(ts.st_mode) && ts.st_ino == inode) {
          name = e->d_name;
          break;
        }
      }
      closedir(d);
    }
  }
  const int result = name.empty() ? ENOENT : PutOldBack(dir, cfd, copyName, name, inode);
  close(cfd);
  return result;
}

// Removes the hidden new files that killed saves left in the folder and
// gives the files whose rewrite in place was killed their old content back.
// 0, or the first error met.
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
  std::vector<std::pair<std::string, ino_t>> copies;
  while (const dirent* e = readdir(d)) {
    ino_t inode = 0;
    if (IsOldCopyName(e->d_name, inode)) {
      copies.emplace_back(e->d_name, inode);
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
  for (const auto& [name, inode] : copies) {
    const int e = RecoverOldCopy(dir, name, inode, std::string());
    if (e != 0 && first == 0) first = e;
  }
  return first;
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

}  // namespace

TestHooks& Hooks() {
  static TestHooks hooks;
  return hooks;
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
  if (!FitsOnePage(offset, n)) return EINVAL;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int e = errno ? errno : EINVAL;
    close(fd);
    return e;
  }
  // A file with several names whose rewrite was killed gets its old content
  // back first (the change was made against that), and one whose rewrite is
  // running is not touched.
  if (st.st_nlink > 1) {
    if (const int e = RecoverFile(path)) {
      close(fd);
      return e;
    }
    if (fstat(fd, &st) != 0) {
      const int e = errno;
      close(fd);
      return e;
    }
  }
  Report(Step::kInPlaceWrite, offset, static_cast<int64_t>(n));
  ssize_t put;
  do put = ::pwrite(fd, data, n, offset);
  while (put < 0 && errno == EINTR);
  if (put != static_cast<ssize_t>(n)) {
    const int e = put < 0 ? errno : ENOSPC;
    // An append that stopped short is cut off again.
    if (offset >= st.st_size && ftruncate(fd, st.st_size) == 0) fsync(fd);
    close(fd);
    return e;
  }
  Report(Step::kInPlaceWritten, offset, static_cast<int64_t>(n));
  if (fsync(fd) != 0) {
    const int e = errno;
    close(fd);
    return e;
  }
  if (close(fd) != 0) return errno;
  return 0;
}

int TruncateInPlace(const std::string& path, int64_t length) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_nlink > 1) {
    if (const int e = RecoverFile(path)) {
      close(fd);
      return e;
    }
  }
  Report(Step::kInPlaceWrite, length, 0);
  bool ok = ftruncate(fd, length) == 0;
  if (ok) {
    Report(Step::kInPlaceWritten, length, 0);
    ok = fsync(fd) == 0;
  }
  const int e = ok ? 0 : errno;
  close(fd);
  return e;
}

// ---- Rewrite -----------------------------------------------------------------

bool Rewrite::Failed(int e) {
  error_ = e ? e : EIO;
  Abort();
  return false;
}

bool Rewrite::Begin(const std::string& given) {
  Abort();
  error_ = 0;
  written_ = 0;
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
    // The replaced file must be one the user may write, whatever the folder allows.
    const int probe = ::open(real.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (probe < 0) return Failed(errno);
    close(probe);
    // A rename would give the other names of a hard-linked file the old
    // content: the new content goes into the file itself.
    inPlace_ = st.st_nlink > 1;
    device_ = st.st_dev;
    inode_ = st.st_ino;
  }

  std::string folder;
  SplitPath(real, folder, name_);
  dir_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_ < 0) return Failed(errno);
  SweepLeftovers(dir_);
  if (inPlace_) {
    // A copy of this file's old content that the sweep left: a rewrite of
    // it is running, or its old content could not be put back.
    struct stat cs;
    if (fstatat(dir_, OldCopyName(inode_).c_str(), &cs, AT_SYMLINK_NOFOLLOW) == 0) return Failed(EBUSY);
  }

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
  if (fsync(fd_) != 0) return Failed(errno);
  Report(Step::kSynced);
  // The new file must hold every byte written: a write that a full disk or
  // a size limit cut short without saying so never replaces the old file.
  struct stat st;
  if (fstat(fd_, &st) != 0) return Failed(errno);
  if (st.st_size != written_) return Failed(ENOSPC);
  if (hidden_.empty()) {
    // Name the unnamed file: through /proc, or by its descriptor where the
    // process may do that.
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd_);
    for (int tries = 0; tries < 100 && hidden_.empty(); ++tries) {
      const std::string name = HiddenName();
      if (linkat(AT_FDCWD, proc, dir_, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
          (errno != EEXIST && linkat(fd_, "", dir_, name.c_str(), AT_EMPTY_PATH) == 0)) {
        hidden_ = name;
      } else if (errno != EEXIST) {
        return Failed(errno);
      }
    }
    if (hidden_.empty()) return Failed(EEXIST);
  }
  Report(Step::kLinked);
  if (renameat(dir_, hidden_.c_str(), dir_, name_.c_str()) != 0) return Failed(errno);
  hidden_.clear();
  Report(Step::kRenamed);
  const int dirSync = fsync(dir_) == 0 ? 0 : errno;
  close(fd_);
  fd_ = -1;
  Abort();
  if (dirSync != 0) {
    error_ = dirSync;
    return false;
  }
  return true;
}

bool Rewrite::CommitInPlace() {
  Report(Step::kWritten);
  // The new file must hold every byte written (it is only read from here on).
  struct stat ns;
  if (fstat(fd_, &ns) != 0) return Failed(errno);
  if (ns.st_size != written_) return Failed(ENOSPC);
  // The file itself, still the one the rewrite began with.
  const int tfd = openat(dir_, name_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (tfd < 0) return Failed(errno);
  struct stat ts;
  if (fstat(tfd, &ts) != 0) {
    const int e = errno;
    close(tfd);
    return Failed(e);
  }
  if (!S_ISREG(ts.st_mode) || ts.st_dev != device_ || ts.st_ino != inode_) {
    close(tfd);
    return Failed(ESTALE);  // another file has taken the name meanwhile
  }
  const int64_t oldLength = ts.st_size;
  const std::string copyName = OldCopyName(inode_);

  // The copy of the old content: complete, synced and locked before it gets
  // its name, so a named copy is always whole.
  std::string temp;
  const int cfd = NewLockedFile(dir_, 0600, temp);
  if (cfd < 0) {
    close(tfd);
    return Failed(-cfd);
  }
  auto giveUp = [&](int e) {
    if (!temp.empty()) unlinkat(dir_, temp.c_str(), 0);
    close(cfd);
    close(tfd);
    return Failed(e);
  };
  if (const int e = CopyRange(tfd, 0, cfd, 0, oldLength, nullptr)) return giveUp(e);
  if (fsync(cfd) != 0) return giveUp(errno);
  if (temp.empty()) {
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", cfd);
    if (linkat(AT_FDCWD, proc, dir_, copyName.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
        (errno == EEXIST || linkat(cfd, "", dir_, copyName.c_str(), AT_EMPTY_PATH) != 0))
      return giveUp(errno == EEXIST ? EBUSY : errno);
  } else {
    // A name that is taken is never replaced: it belongs to another save.
    if (linkat(dir_, temp.c_str(), dir_, copyName.c_str(), 0) != 0) return giveUp(errno == EEXIST ? EBUSY : errno);
    unlinkat(dir_, temp.c_str(), 0);
    temp.clear();
  }
  if (fsync(dir_) != 0) {
    const int e = errno;
    unlinkat(dir_, copyName.c_str(), 0);
    return giveUp(e);
  }
  Report(Step::kOldKept);

  // The new content over the old, cut to its length and synced.
  const Step chunk = Step::kOverwriting;
  int e = CopyRange(fd_, 0, tfd, 0, written_, &chunk);
  if (e == 0 && written_ < oldLength && ftruncate(tfd, written_) != 0) e = errno;
  if (e == 0 && fsync(tfd) != 0) e = errno;
  if (e != 0) {
    // The old content goes back at once; where even that fails the copy
    // stays for the next save, read or sweep to put back.
    PutOldBack(dir_, cfd, copyName, name_, inode_);
    close(cfd);
    close(tfd);
    return Failed(e);
  }
  Report(Step::kOverwritten);
  int dropped = unlinkat(dir_, copyName.c_str(), 0) == 0 ? 0 : errno;
  if (dropped != 0) {
    // The copy cannot go: it gets the new content, so that whatever finds
    // it later leaves the file as it is now.
    if (CopyRange(fd_, 0, cfd, 0, written_, nullptr) == 0 && ftruncate(cfd, written_) == 0) fsync(cfd);
  } else {
    Report(Step::kOldDropped);
    if (fsync(dir_) != 0) dropped = errno;
  }
  close(cfd);
  close(tfd);
  close(fd_);
  fd_ = -1;
  Abort();
  if (dropped != 0) {
    error_ = dropped;
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
  hidden_.clear();
  name_.clear();
  inPlace_ = false;
  device_ = 0;
  inode_ = 0;
}

}  // namespace safefile

namespace safefile {

std::string ErrorText(int error) {
  if (error == kErrHardLinked)
    return "The file has several names (hard links), and its folder does not allow the copy of its old content "
           "that keeps a rewrite safe";
  return std::strerror(error);
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

int RecoverFile(const std::string& path) {
  // The copy lies beside the file a symlink names.
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return errno == ENOENT ? 0 : errno;
  const std::string real = resolved;
  std::free(resolved);
  struct stat st;
  if (stat(real.c_str(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return 0;
  std::string folder, name;
  SplitPath(real, folder, name);
  const std::string copyName = OldCopyName(st.st_ino);
  struct stat cs;
  if (lstat((folder + "/" + copyName).c_str(), &cs) != 0) return errno == ENOENT ? 0 : errno;
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return errno;
  const int e = RecoverOldCopy(dir, copyName, st.st_ino, name);
  close(dir);
  return e;
}

}  // namespace safefile
