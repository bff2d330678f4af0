#include "playlists/Import.h"

#include "platform/BrowseForFolder.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "playlists/TrackRow.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringDecoder>

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

void Walk(djvp::MainState& s, const QString& folder, const QString& mask, djvp::Grid& grid,
          std::set<QString>& visited) {
  const QFileInfo info(folder);
  if (!info.isDir()) return;
  // Each folder once per walk: a symbolic link back up the tree ends here.
  const QString canonical = info.canonicalFilePath();
  if (canonical.isEmpty() || !visited.insert(canonical).second) return;

  const QDir dir(folder);
  if (!dir.isReadable()) return;
  QString base = QDir::cleanPath(dir.absolutePath());
  if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');  // "/" keeps its one
  // The folder's files are listed to the end before its sub-folders are
  // walked, and added after them.
  const QStringList files =
      dir.entryList({mask}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
  const QStringList subfolders =
      dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QString& sub : subfolders) {
    // A link to this folder or to one above it would walk the tree again.
    const QString target = QFileInfo(base + sub).canonicalFilePath();
    if (target.isEmpty() || target == canonical || canonical.startsWith(target + QLatin1Char('/')) ||
        target == QLatin1String("/"))
      continue;
    Walk(s, base + sub, mask, grid, visited);
  }
  for (const QString& name : files) {
    const QString path = base + name;
    // A name matching the mask may still be a folder or a device: only
    // regular files (or links to them) become rows.
    if (QFileInfo(path).isFile()) AddTrackRow(s, path, grid);
  }
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
  for (size_t deck = 0; deck < 2; ++deck)
    if (&grid == s.PlayListView[deck]) s.ScrollerText[deck] = T(djvp::kStrImporting) + Blanks10();
  return path;
}

bool ImportFolder(djvp::MainState& s, djvp::Grid& grid) {
  const QString folder = AskImportFolder(s, grid);
  if (folder.isEmpty()) return false;
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
  std::set<QString> visited;
  Walk(s, folder, mask, grid, visited);
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
  const QDir folder = QFileInfo(path).absoluteDir();
  for (const QString& line : CommentLines(text)) {
    if (line.startsWith(QLatin1Char('#'))) continue;
    // A relative entry names a file beside the list, not beside the program.
    const QString entry = !line.isEmpty() && QFileInfo(line).isRelative() ? folder.filePath(line) : line;
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
