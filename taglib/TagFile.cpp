#include "TagFile.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace sonavex {

std::string PathToNative(const WString& path) { return ToUtf8(path); }

bool TagFile::Open(const WString& path, Mode mode) { return Open(PathToNative(path), mode); }

bool TagFile::Open(const std::string& utf8Path, Mode mode) {
  Close();
  err_ = 0;
  f_ = std::fopen(utf8Path.c_str(), mode == Mode::Read ? "rb" : "r+b");
  if (!f_) {
    Fail(errno);
    return false;
  }
  // A folder opens as a stream on Linux; refuse it as the file it is not.
  struct stat st;
  if (fstat(fileno(f_), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(f_);
    f_ = nullptr;
    Fail(EISDIR);
    return false;
  }
  return true;
}

bool TagFile::Close() {
  if (!f_) return true;
  const bool ok = std::fclose(f_) == 0;
  if (!ok) Fail(errno);
  f_ = nullptr;
  return ok;
}

int64_t TagFile::Length() {
  if (!f_) return -1;
  struct stat st;
  if (std::fflush(f_) != 0 || fstat(fileno(f_), &st) != 0) {
    Fail(errno);
    return -1;
  }
  return st.st_size;
}

bool TagFile::Seek(int64_t offset, int whence) {
  if (!f_) return false;
  if (fseeko(f_, offset, whence) != 0) {
    Fail(errno);
    return false;
  }
  return true;
}

int64_t TagFile::Tell() { return f_ ? ftello(f_) : -1; }

size_t TagFile::Read(void* dst, size_t n) {
  if (!f_ || n == 0) return 0;
  const size_t got = std::fread(dst, 1, n, f_);
  if (got < n && std::ferror(f_)) {
    Fail(errno);
    std::clearerr(f_);
  }
  return got;
}

bool TagFile::Write(const void* src, size_t n) {
  if (!f_) return false;
  if (n == 0) return true;
  if (std::fwrite(src, 1, n, f_) != n) {
    Fail(errno);
    std::clearerr(f_);
    return false;
  }
  return true;
}

bool TagFile::Flush() {
  if (!f_) return false;
  if (std::fflush(f_) != 0) {
    Fail(errno);
    return false;
  }
  return true;
}

bool TagFile::Truncate(int64_t length) {
  if (!Flush()) return false;
  if (ftruncate(fileno(f_), length) != 0) {
    Fail(errno);
    return false;
  }
  return true;
}

int64_t TagFile::Remaining() {
  const int64_t len = Length();
  const int64_t pos = Tell();
  if (len < 0 || pos < 0 || pos > len) return 0;
  return len - pos;
}

}  // namespace sonavex
