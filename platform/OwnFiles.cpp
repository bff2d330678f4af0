#include "platform/OwnFiles.h"

#include "safefile/FileName.h"
#include "safefile/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace djvp {

namespace {

QString SystemText(int error) { return QString::fromLocal8Bit(safefile::ErrorText(error)); }

// The six random letters that the old saves put behind a file's name.
// Letters of both cases are asked for: a name such as "djv.ndx.backup" that
// a user gave a copy is a word, not one of those, and stays.
bool IsOldSaveSuffix(QByteArrayView suffix) {
  if (suffix.size() != 6) return false;
  bool lower = false, upper = false;
  for (const char c : suffix) {
    if (c >= 'a' && c <= 'z') lower = true;
    else if (c >= 'A' && c <= 'Z') upper = true;
    else return false;
  }
  return lower && upper;
}

}  // namespace

QString FileNameText(QByteArrayView bytes) {
  const std::u16string text = safefile::NameToText(std::string_view(bytes.data(), static_cast<size_t>(bytes.size())));
  return QString::fromStdU16String(text);
}

QByteArray FileNameBytes(const QString& text) {
  const std::string bytes = safefile::TextToName(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                                     static_cast<size_t>(text.size())));
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString FileErrorText(int error) { return SystemText(error); }

QString WriteOwnFile(const QString& path, QByteArrayView bytes) {
  if (path.isEmpty()) return SystemText(ENOENT);
  const int e = safefile::WriteWholeFile(FileNameBytes(path).toStdString(), bytes.data(), static_cast<size_t>(bytes.size()));
  return e == 0 ? QString() : SystemText(e);
}

QString ReadOwnFile(const QString& path, qint64 limit, QByteArray& bytes) {
  bytes.clear();
  const int fd = ::open(FileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return SystemText(errno);
  struct stat st;
  QString why;
  if (fstat(fd, &st) != 0) {
    why = SystemText(errno);
  } else if (S_ISDIR(st.st_mode)) {
    why = SystemText(EISDIR);
  } else if (!S_ISREG(st.st_mode)) {
    why = QStringLiteral("not a plain file (a pipe or a device)");
  } else if (const int held = safefile::HoldForReading(fd); held != 0 || fstat(fd, &st) != 0) {
    // A file with several names is not read while a save rewrites it, and
    // one whose rewrite was killed gets its old content back first.
    why = SystemText(held != 0 ? held : errno);
  } else if (st.st_size > limit) {
    why = QStringLiteral("the file is too large (%1 bytes; at most %2 are read)").arg(st.st_size).arg(limit);
  } else {
    bytes.reserve(static_cast<qsizetype>(st.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        why = SystemText(errno);
        break;
      }
      if (n == 0) break;
      bytes.append(buffer, n);
      if (bytes.size() > limit) {
        why = QStringLiteral("the file is too large (at most %1 bytes are read)").arg(limit);
        break;
      }
    }
  }
  close(fd);
  if (!why.isEmpty()) bytes.clear();
  return why;
}

PathKind KindOf(const QString& path) {
  struct stat st;
  if (path.isEmpty()) return PathKind::Missing;
  if (::stat(FileNameBytes(path).constData(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::Unreachable;
  if (S_ISREG(st.st_mode)) return PathKind::File;
  if (S_ISDIR(st.st_mode)) return PathKind::Folder;
  return PathKind::Other;
}

QString KeepAside(const QString& path, bool copy, QString* why) {
  const QByteArray from = FileNameBytes(path);
  QByteArray bytes;
  if (copy) {
    const QString readWhy = ReadOwnFile(path, qint64(1) << 31, bytes);
    if (!readWhy.isEmpty()) {
      if (why) *why = readWhy;
      return {};
    }
  }
  for (int n = 1; n < 10000; ++n) {
    const QString aside = path + QStringLiteral(".unreadable") + (n == 1 ? QString() : QStringLiteral(".%1").arg(n));
    const QByteArray to = FileNameBytes(aside);
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) continue;  // kept earlier: never replaced
    if (errno != ENOENT) break;
    int e = 0;
    if (copy) {
      e = safefile::WriteWholeFile(to.toStdString(), bytes.constData(), static_cast<size_t>(bytes.size()));
    } else if (::link(from.constData(), to.constData()) == 0) {
      // A new name that cannot replace anything, then the old name goes.
      if (::unlink(from.constData()) != 0) e = errno;
    } else {
      e = errno;
      if (e == EEXIST) continue;  // taken meanwhile
      // A file system without hard links: a rename, after the test above.
      if (e == EPERM || e == EOPNOTSUPP || e == EMLINK) e = ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
    }
    if (e == 0) return aside;
    if (why) *why = SystemText(e);
    return {};
  }
  if (why) *why = SystemText(EEXIST);
  return {};
}

void RemoveOldSaveLeftovers(const QString& folder, const QStringList& ownNames) {
  const QByteArray base = FileNameBytes(folder);
  safefile::SweepFolder(base.toStdString());
  DIR* dir = ::opendir(base.constData());
  if (!dir) return;
  QList<QByteArray> stale;
  while (const dirent* e = ::readdir(dir)) {
    const QByteArray name(e->d_name);
    for (const QString& own : ownNames) {
      const QByteArray prefix = FileNameBytes(own) + '.';
      if (name.startsWith(prefix) && IsOldSaveSuffix(QByteArrayView(name).sliced(prefix.size()))) stale << name;
    }
  }
  ::closedir(dir);
  for (const QByteArray& name : stale) {
    const QByteArray path = base + '/' + name;
    struct stat st;
    if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.constData());
  }
}

}  // namespace djvp
