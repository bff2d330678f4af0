#include "SafeWrite.h"

#include "Module.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sonavex {

bool SafeRewrite::Failed(int e) {
  g_nLastError = e ? e : EIO;
  Abort();
  return false;
}

bool SafeRewrite::Begin(const WString& path) {
  Abort();
  target_ = PathToNative(path);
  mode_t mode = 0644;
  struct stat st;
  if (stat(target_.c_str(), &st) == 0) mode = st.st_mode & 07777;
  // mkstemp creates with O_EXCL, so an existing file is never reused.
  temp_ = target_ + "~XXXXXX";
  const int fd = mkstemp(temp_.data());
  if (fd < 0) {
    const int e = errno;
    temp_.clear();
    return Failed(e);
  }
  active_ = true;
  if (fchmod(fd, mode) != 0) {
    const int e = errno;
    close(fd);
    return Failed(e);
  }
  FILE* f = fdopen(fd, "w+b");
  if (!f) {
    const int e = errno;
    close(fd);
    return Failed(e);
  }
  out_.Adopt(f);
  return true;
}

bool SafeRewrite::Write(const void* data, size_t n) {
  if (!active_) return false;
  if (!out_.Write(data, n)) return Failed(out_.Error());
  return true;
}

bool SafeRewrite::CopyFrom(TagFile& src, int64_t offset, int64_t count) {
  if (!active_) return false;
  if (count <= 0) return true;
  if (!src.Seek(offset)) return Failed(src.Error());
  std::vector<unsigned char> chunk(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
  while (count > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(chunk.size())));
    const size_t got = src.Read(chunk.data(), want);
    if (got != want) return Failed(src.Error() ? src.Error() : EIO);  // the source shrank under us
    if (!Write(chunk.data(), got)) return false;
    count -= static_cast<int64_t>(got);
  }
  return true;
}

bool SafeRewrite::Commit() {
  if (!active_) return false;
  if (!out_.Flush()) return Failed(out_.Error());
  if (fsync(fileno(out_.handle())) != 0) return Failed(errno);
  if (!out_.Close()) return Failed(out_.Error());
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) return Failed(errno);
  active_ = false;
  temp_.clear();
  return true;
}

void SafeRewrite::Abort() {
  out_.Close();
  if (active_ && !temp_.empty()) unlink(temp_.c_str());
  active_ = false;
  temp_.clear();
}

bool WriteChecked(TagFile& f, const void* data, size_t n) {
  if (f.Write(data, n)) return true;
  g_nLastError = f.Error() ? f.Error() : EIO;
  return false;
}

}  // namespace sonavex
