#include "TagFile.h"

#include "SafeWrite.h"
#include "safefile/FileName.h"
#include "safefile/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonavex {

// A name's bytes that are not UTF-8 come as lone surrogates and go back as
// those bytes (safefile/FileName.h), so that such a file can be opened.
std::string PathToNative(const WString& path) { return safefile::TextToName(path); }

bool TagFile::Open(const WString& path, Mode mode) { return Open(PathToNative(path), mode); }

bool TagFile::Open(const std::string& utf8Path, Mode mode) {
  Close();
  err_ = 0;
  // Not blocking: a FIFO must not hang the open.
  const int flags = (mode == Mode::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK;
  fd_ = ::open(utf8Path.c_str(), flags);
  if (fd_ < 0) {
    Fail(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd_, &st) != 0) {
    Fail(errno);
    Close();
    return false;
  }
  // A folder opens on Linux; refuse it as the file it is not.
  if (S_ISDIR(st.st_mode)) {
    Close();
    Fail(EISDIR);
    return false;
  }
  // No rewrite in place runs while the file is read, and one that was
  // killed midway is undone before (the file stays the same one).
  if (S_ISREG(st.st_mode)) {
    if (const int e = safefile::HoldForReading(fd_)) {
      Close();
      Fail(SaveError(e));
      return false;
    }
    if (fstat(fd_, &st) != 0) {
      Fail(errno);
      Close();
      return false;
    }
  }
  if (!S_ISREG(st.st_mode)) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  length_ = S_ISREG(st.st_mode) ? st.st_size : 0;
  pos_ = 0;
  path_ = utf8Path;
  regular_ = S_ISREG(st.st_mode);
  identity_ = safefile::IdentityOf(st);
  return true;
}

bool TagFile::Identify(Identity& out) {
  if (fd_ < 0 || !regular_) return false;
  out = identity_;
  return true;
}

void TagFile::ReleaseHold() {
  if (fd_ >= 0 && regular_) safefile::ReleaseReading(fd_);
}

bool TagFile::OpenDescriptor(int fd) {
  Close();
  path_.clear();
  err_ = 0;
  fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) {
    Fail(errno);
    Close();
    return false;
  }
  length_ = S_ISREG(st.st_mode) ? st.st_size : 0;
  pos_ = 0;
  return true;
}

bool TagFile::Close() {
  DropBlocks();
  path_.clear();
  regular_ = false;
  if (fd_ < 0) return true;
  const bool ok = ::close(fd_) == 0;
  if (!ok) Fail(errno);
  fd_ = -1;
  pos_ = length_ = 0;
  return ok;
}

void TagFile::DropBlocks() {
  // The memory stays for the next file this object opens.
  for (Block* b : {&head_, &tail_, &window_}) {
    b->start = 0;
    b->size = 0;
  }
}

int64_t TagFile::Length() { return fd_ >= 0 ? length_ : -1; }

bool TagFile::Seek(int64_t offset, int whence) {
  if (fd_ < 0) return false;
  int64_t to = offset;
  if (whence == SEEK_CUR) to = pos_ + offset;
  else if (whence == SEEK_END) to = length_ + offset;
  if (to < 0) {
    Fail(EINVAL);
    return false;
  }
  pos_ = to;
  return true;
}

int64_t TagFile::Tell() { return fd_ >= 0 ? pos_ : -1; }

size_t TagFile::ReadDirect(int64_t offset, void* dst, size_t count) {
  auto* out = static_cast<uint8_t*>(dst);
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, out + done, count - done, offset + static_cast<int64_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      break;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

bool TagFile::Load(Block& block, int64_t start, size_t count) {
  if (block.capacity < count) {
    block.bytes = std::make_unique_for_overwrite<uint8_t[]>(count);
    block.capacity = count;
  }
  block.start = start;
  block.size = ReadDirect(start, block.bytes.get(), count);
  return block.size > 0;
}

size_t TagFile::Read(void* dst, size_t n) {
  if (fd_ < 0 || n == 0) return 0;
  auto* out = static_cast<uint8_t*>(dst);
  size_t done = 0;
  while (done < n) {
    const int64_t pos = pos_;
    const size_t want = n - done;
    const Block* from = head_.Holds(pos) ? &head_ : tail_.Holds(pos) ? &tail_ : window_.Holds(pos) ? &window_ : nullptr;
    if (!from) {
      if (pos >= length_) {
        // Past the length known at the open: ask the file (it may have grown).
        const size_t got = ReadDirect(pos, out + done, want);
        pos_ += static_cast<int64_t>(got);
        done += got;
        break;
      }
      const int64_t tailStart = std::max<int64_t>(0, length_ - static_cast<int64_t>(kBlock));
      bool loaded = false;
      if (head_.size == 0 && pos < static_cast<int64_t>(kBlock)) {
        const int64_t end = std::min<int64_t>(length_, std::max<int64_t>(kBlock, std::min<int64_t>(pos + want, kMaxHead)));
        loaded = Load(head_, 0, static_cast<size_t>(end));
      } else if (pos >= tailStart && !(tail_.start == tailStart && tail_.size > 0)) {
        loaded = Load(tail_, tailStart, static_cast<size_t>(length_ - tailStart));
      } else if (want < kBlock) {
        loaded = Load(window_, pos, static_cast<size_t>(std::min<int64_t>(kBlock, length_ - pos)));
      }
      if (!loaded || !(head_.Holds(pos) || tail_.Holds(pos) || window_.Holds(pos))) {
        // A long read, or one the blocks could not take: straight from the file.
        const size_t got = ReadDirect(pos, out + done, want);
        pos_ += static_cast<int64_t>(got);
        done += got;
        break;
      }
      continue;
    }
    const size_t at = static_cast<size_t>(pos - from->start);
    const size_t take = std::min(want, from->size - at);
    std::memcpy(out + done, from->bytes.get() + at, take);
    pos_ += static_cast<int64_t>(take);
    done += take;
  }
  return done;
}

bool TagFile::Write(const void* src, size_t n) {
  if (fd_ < 0) return false;
  if (n == 0) return true;
  DropBlocks();
  const auto* in = static_cast<const uint8_t*>(src);
  size_t done = 0;
  while (done < n) {
    const ssize_t put = ::pwrite(fd_, in + done, n - done, pos_ + static_cast<int64_t>(done));
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return false;
    }
    done += static_cast<size_t>(put);
  }
  pos_ += static_cast<int64_t>(n);
  length_ = std::max(length_, pos_);
  return true;
}

bool TagFile::Truncate(int64_t length) {
  if (fd_ < 0) return false;
  DropBlocks();
  if (ftruncate(fd_, length) != 0) {
    Fail(errno);
    return false;
  }
  length_ = length;
  return true;
}

int64_t TagFile::Remaining() {
  const int64_t len = Length();
  const int64_t pos = Tell();
  if (len < 0 || pos < 0 || pos > len) return 0;
  return len - pos;
}

}  // namespace sonavex
