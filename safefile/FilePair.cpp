#include "safefile/FilePair.h"

#include "safefile/SafeFile.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safefile {

namespace {

constexpr char kMagic[] = "DJVPPAIR\t1\n";
// The journal holds two small files; anything larger is not a journal.
constexpr off_t kMaxJournalBytes = off_t(64) << 20;

// The whole content of a regular file; ENOENT when it does not exist.
int ReadAll(const std::string& path, std::string& out, off_t limit) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat st;
  int e = 0;
  if (fstat(fd, &st) != 0) {
    e = errno;
  } else if (!S_ISREG(st.st_mode)) {
    e = EINVAL;
  } else if (st.st_size > limit) {
    e = EFBIG;
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        e = errno;
        break;
      }
      if (n == 0) break;
      out.append(buffer, static_cast<size_t>(n));
      if (static_cast<off_t>(out.size()) > limit) {
        e = EFBIG;
        break;
      }
    }
  }
  close(fd);
  return e;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Removes a file and makes the removal durable.
int RemoveDurably(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return errno;
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return errno;
  const int e = fsync(dir) == 0 ? 0 : errno;
  close(dir);
  return e;
}

struct Recorded {
  bool present = false;
  std::string bytes;
};

bool ParseJournal(const std::string& text, Recorded (&files)[2]) {
  constexpr size_t magicLength = sizeof kMagic - 1;
  if (text.compare(0, magicLength, kMagic) != 0) return false;
  size_t at = magicLength;
  for (Recorded& file : files) {
    // "<0|1> TAB <size> LF" then the bytes and an LF.
    if (at + 2 > text.size() || (text[at] != '0' && text[at] != '1') || text[at + 1] != '\t') return false;
    file.present = text[at] == '1';
    at += 2;
    const size_t lf = text.find('\n', at);
    if (lf == std::string::npos) return false;
    size_t size = 0;
    const auto res = std::from_chars(text.data() + at, text.data() + lf, size);
    if (res.ec != std::errc() || res.ptr != text.data() + lf) return false;
    at = lf + 1;
    if (size > text.size() - at || text.size() - at - size < 1 || text[at + size] != '\n') return false;
    if (!file.present && size != 0) return false;
    file.bytes = text.substr(at, size);
    at += size + 1;
  }
  return at == text.size();
}

std::string JournalText(const Recorded (&files)[2]) {
  std::string text = kMagic;
  for (const Recorded& file : files) {
    text += file.present ? "1\t" : "0\t";
    text += std::to_string(file.bytes.size());
    text += '\n';
    text += file.bytes;
    text += '\n';
  }
  return text;
}

}  // namespace

int RecoverPair(const std::string& journal, const std::string (&paths)[2]) {
  std::string text;
  if (const int e = ReadAll(journal, text, kMaxJournalBytes)) return e == ENOENT ? 0 : e;
  Recorded files[2];
  if (!ParseJournal(text, files)) return EINVAL;
  for (int i = 0; i < 2; ++i) {
    if (!files[i].present) {
      if (::unlink(paths[i].c_str()) != 0 && errno != ENOENT) return errno;
      continue;
    }
    // A file that holds its old bytes already is not written again.
    std::string now;
    if (ReadAll(paths[i], now, kMaxJournalBytes) == 0 && now == files[i].bytes) continue;
    if (const int e = WriteWholeFile(paths[i], files[i].bytes.data(), files[i].bytes.size())) return e;
  }
  return RemoveDurably(journal);
}

int ReplacePair(const std::string& journal, const std::string (&paths)[2], const std::string (&contents)[2]) {
  // A pair save that an earlier run left unfinished is undone first.
  if (const int e = RecoverPair(journal, paths)) return e;
  Recorded old[2];
  for (int i = 0; i < 2; ++i) {
    const int e = ReadAll(paths[i], old[i].bytes, kMaxJournalBytes / 2);
    if (e != 0 && e != ENOENT) return e;
    old[i].present = e == 0;
  }
  const std::string text = JournalText(old);
  if (const int e = WriteWholeFile(journal, text.data(), text.size())) return e;
  for (int i = 0; i < 2; ++i) {
    if (const int e = WriteWholeFile(paths[i], contents[i].data(), contents[i].size())) {
      RecoverPair(journal, paths);
      return e;
    }
  }
  if (const int e = RemoveDurably(journal)) {
    // The journal must not outlive a save reported as done: with it the next
    // start would take the save back. Both files go back to their old
    // contents instead, and the save is reported as failed.
    RecoverPair(journal, paths);
    return e;
  }
  return 0;
}

}  // namespace safefile
