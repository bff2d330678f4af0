#include "playlists/Import.h"

#include "platform/BrowseForFolder.h"
#include "platform/Grid.h"
#include "platform/FileProblems.h"
#include "platform/MessageBox.h"
#include "platform/OwnFiles.h"
#include "playlists/TrackRow.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStringDecoder>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace playlists {

namespace {

using djvp::ui::T;
QString Blanks10() { return QString(10, QLatin1Char(' ')); }

// Windows-1252 characters 0x80..0x9F; the five unassigned bytes keep their
// C1 control code.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A name's bytes with its text (for the mask and the order).
struct Name {
  QByteArray bytes;
  QString text;
};

struct Listing {
  std::vector<Name> files;    // names matching the mask of regular files (or links to them)
  std::vector<Name> folders;  // names of folders (or links to them)
};

// A name's text as the mask can see it: a byte kept from a name that is not
// UTF-8 (a lone surrogate, which the pattern matcher refuses to look at)
// becomes U+FFFD, one character that "*" and "?" take.
QString Matchable(const QString& text) {
  QString out = text;
  for (qsizetype i = 0; i < out.size(); ++i) {
    if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
      ++i;
    } else if (out[i].isSurrogate()) {
      out[i] = QChar(0xFFFD);
    }
  }
  return out;
}

// The folder's entries by the names' bytes, so that a name that is not UTF-8
// is found and opened as it is; listed to the end before anything is added.
bool List(const QByteArray& base, const QRegularExpression& mask, Listing& out) {
  DIR* dir = ::opendir(base.constData());
  if (!dir) return false;
  while (const dirent* e = ::readdir(dir)) {
    Name name{QByteArray(e->d_name), {}};
    if (name.bytes == "." || name.bytes == "..") continue;
    name.text = djvp::FileNameText(name.bytes);
    bool isDir = e->d_type == DT_DIR;
    bool isFile = e->d_type == DT_REG;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      // A link (or a file system that does not say): what it names counts.
      struct stat st;
      if (::stat((base + name.bytes).constData(), &st) != 0) continue;
      isDir = S_ISDIR(st.st_mode);
      isFile = S_ISREG(st.st_mode);
    }
    if (isDir) out.folders.push_back(std::move(name));
    else if (isFile && mask.match(Matchable(name.text)).hasMatch()) out.files.push_back(std::move(name));
  }
  ::closedir(dir);
  // By name without regard to case (the same name in two cases by bytes).
  auto byName = [](const Name& a, const Name& b) {
    const int c = a.text.compare(b.text, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.bytes < b.bytes;
  };
  std::sort(out.files.begin(), out.files.end(), byName);
  std::sort(out.folders.begin(), out.folders.end(), byName);
  return true;
}

QByteArray Canonical(const QByteArray& path) {
  char* real = ::realpath(path.constData(), nullptr);
  if (!real) return {};
  QByteArray out(real);
  std::free(real);
  return out;
}

void Walk(djvp::MainState& s, const QByteArray& folder, const QRegularExpression& mask, djvp::Grid& grid,
          std::set<QByteArray>& visited) {
  // Each folder once per walk: a symbolic link back up the tree ends here.
  const QByteArray canonical = Canonical(folder);
  if (canonical.isEmpty() || !visited.insert(canonical).second) return;
  QByteArray base = folder;
  if (!base.endsWith('/')) base += '/';  // "/" keeps its one
  // The folder's files are listed to the end before its sub-folders are
  // walked, and added after them.
  Listing listing;
  if (!List(base, mask, listing)) return;
  for (const Name& sub : listing.folders) {
    // A link to this folder or to one above it would walk the tree again.
    const QByteArray target = Canonical(base + sub.bytes);
    if (target.isEmpty() || target == canonical || canonical.startsWith(target + '/') || target == "/") continue;
    Walk(s, base + sub.bytes, mask, grid, visited);
  }
  const QString text = djvp::FileNameText(base);
  for (const Name& name : listing.files) AddTrackRow(s, text + name.text, grid);
}

}  // namespace

QString DecodeText(const QByteArray& bytes, bool utf8) {
  QByteArrayView view(bytes);
  if (view.startsWith("\xEF\xBB\xBF")) {
    view = view.sliced(3);
    utf8 = true;
  }
  if (!utf8) {
    QStringDecoder probe(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = probe.decode(view);
    if (!probe.hasError()) return text;
    // Not UTF-8: the Windows code page that such lists are written in.
    QString out;
    out.reserve(view.size());
    for (const char c : view) {
      const auto b = static_cast<unsigned char>(c);
      out.append(b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b));
    }
    return out;
  }
  return QString::fromUtf8(view);
}

QString AskImportFolder(djvp::MainState& s, djvp::Grid& grid) {
  djvp::clsBrowseForFolder browser;
  browser.hWndOwner(s.hWnd);
  browser.UseNewUI(true);
  browser.title(T(djvp::kStrChooseImportFolder));
  QString path = browser.BrowseForFolder();
  if (!path.isEmpty() && !path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  for (djvp::DeckId deck : djvp::kBothDecks)
    if (&grid == s.Playlist(deck)) s.ScrollerText[deck.Index()] = T(djvp::kStrImporting) + Blanks10();
  return path;
}

bool ImportFolder(djvp::MainState& s, djvp::Grid& grid) {
  const QString folder = AskImportFolder(s, grid);
  if (folder.isEmpty()) return false;
  // The files that cannot be taken are told once, after the progress panel.
  const djvp::FileProblemScope problems;
  const ImportProgress progress(s, djvp::kStrFirstScanning);
  ImportPath(s, folder, grid, false);
  return true;
}

ImportProgress::ImportProgress(djvp::MainState& s, int firstLine) : s_(s) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  s.PB.setValue(0);
  s.SCLabel1[djvp::ctl::kLblImportPath].setText(T(firstLine));
  s.Frame11.setVisible(true);
  s.Frame11.refresh();
}

ImportProgress::~ImportProgress() {
  QGuiApplication::restoreOverrideCursor();
  s_.Frame11.setVisible(false);
}

void ImportPath(djvp::MainState& s, const QString& path, djvp::Grid& grid, bool isFile) {
  if (isFile) {
    AddTrackRow(s, path, grid);
    return;
  }
  for (const QString& mask : ImportMasks()) ScanFolder(s, path, mask, grid);
}

void ScanFolder(djvp::MainState& s, const QString& folder, const QString& mask, djvp::Grid& grid) {
  if (folder.isEmpty()) return;  // no folder named, none walked
  std::set<QByteArray> visited;
  const QString absolute = QDir::cleanPath(QDir(folder).absolutePath());
  Walk(s, djvp::FileNameBytes(absolute), QRegularExpression::fromWildcard(mask, Qt::CaseInsensitive), grid, visited);
}

bool ReadM3U(djvp::MainState& s, const QString& path, djvp::Grid& scratch) {
  scratch.DeleteAllRows();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    djvp::MsgBox(path + QLatin1Char('\n') + file.errorString(), djvp::MsgButtons::Ok);
    return false;
  }
  const QByteArray bytes = file.readAll();
  file.close();
  const QString text = DecodeText(bytes, path.right(4).toUpper() == QLatin1String("M3U8"));
  // A list that is not UTF-8 may name files whose names are not UTF-8
  // either: such a line also stands for the name of its very bytes.
  const QStringList lines = CommentLines(text);
  const QStringList byBytes = CommentLines(djvp::FileNameText(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes));
  const bool sameLines = byBytes.size() == lines.size();
  const QDir folder = QFileInfo(path).absoluteDir();
  auto resolved = [&](const QString& line) {
    // A relative entry names a file beside the list, not beside the program.
    return !line.isEmpty() && QFileInfo(line).isRelative() ? folder.filePath(line) : line;
  };
  // Every line that names no song is told once, with the others, at the end.
  const djvp::FileProblemScope problems;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (line.startsWith(QLatin1Char('#'))) continue;
    QString entry = resolved(line);
    if (sameLines && byBytes[i] != line && djvp::KindOf(entry) == djvp::PathKind::Missing &&
        djvp::KindOf(resolved(byBytes[i])) != djvp::PathKind::Missing)
      entry = resolved(byBytes[i]);
    ImportPath(s, entry, scratch, true);
  }
  return true;
}

bool ReadOwnPlaylist(const QString& path, djvp::Grid& scratch) {
  // Emptied first, so a load that fails leaves nothing to copy.
  scratch.DeleteAllRows();
  if (scratch.LoadFromFile(path)) return true;
  scratch.DeleteAllRows();
  djvp::MsgBox(T(djvp::kStrOpenPlaylist) + QStringLiteral(": ") + path + QLatin1Char('\n') + scratch.LastError(), djvp::MsgButtons::Ok);
  return false;
}

void CopyRows(const djvp::Grid& from, djvp::Grid& to) {
  const int32_t count = from.RowCount();
  for (int32_t i = 1; i <= count; ++i) CopyRow(from, i, to);
}

int32_t CopyRow(const djvp::Grid& from, int32_t row, djvp::Grid& to) {
  const int32_t r = to.AddRow();
  if (r <= 0) return 0;
  for (int32_t c = 1; c <= kTrackColumnCount; ++c) to.SetCellValue(r, c, from.CellValue(row, c));
  return r;
}

}  // namespace playlists
