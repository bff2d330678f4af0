#include "library/LibraryGrid.h"

#include "library/Index.h"
#include "library/SearchButtons.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/OwnFiles.h"
#include "playlists/Playlists.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace library {

using djvp::ui::T;

void DummyPlaylist_ColumnClick(djvp::LibraryPage& s, int column) {
  if (!s.DummyPlaylist || RefusedWhileAnalysing(s)) return;
  playlists::SortByHeader(*s.DummyPlaylist, column);
}

void DummyPlaylist_ResetKeyColumn(djvp::LibraryPage& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  if (!grid) return;
  const int32_t column = grid->LeftMostColumn();
  if (column <= 0) return;
  grid->SetColumnInView(column);
  grid->SetSearchColumn(column);
}

void DummyPlaylist_RightClick(djvp::LibraryPage& s, int button) {
  if (button != 2 || !s.DummyPlaylist || s.DummyPlaylist->SelectionCount() <= 0) return;
  if (s.PopupMenu) s.PopupMenu(s.mnuTags);
}

void DummyPlaylist_SearchKey(bool* cancel) {
  if (cancel) *cancel = true;
}

void Text1_Change(djvp::LibraryPage& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  if (!grid) return;
  const int32_t row = grid->FindRowByText(s.Text1.text().toUpper());
  if (row > 0) grid->SetCurrentRow(row);
}

void mnuCopy1_Click(djvp::MainState& s) { cmdSearch_Click(s, kCopyToDeck1); }
void mnuCopy2_Click(djvp::MainState& s) { cmdSearch_Click(s, kCopyToDeck2); }

bool RemoveSongFile(const QString& path, QString* why) {
  // Qt's file calls see a name that is not UTF-8 as another name: such a
  // file is not taken for gone, it stays with its row and is named.
  if (djvp::FileNameBytes(path) != path.toUtf8()) {
    struct stat st;
    if (::lstat(djvp::FileNameBytes(path).constData(), &st) != 0 && errno == ENOENT) return true;
    if (why) *why = QStringLiteral("its name is not UTF-8 text, so it cannot be moved to the trash");
    return false;
  }
  const QFileInfo info(path);
  // A broken symbolic link does not "exist" but is still there to remove.
  if (!info.exists() && !info.isSymLink()) return true;
  if (info.isDir() && !info.isSymLink()) {
    if (why) *why = QString::fromLocal8Bit(std::strerror(EISDIR));
    return false;
  }
  // Where Qt finds no trash it can make, it makes one in the current folder
  // and answers with a relative path: that is no trash, so the file and its
  // record leave it again (with the folders, when they were made for them)
  // and the file is deleted, as where no trash exists.
  const bool hadFiles = QFileInfo::exists(QStringLiteral("files"));
  const bool hadInfo = QFileInfo::exists(QStringLiteral("info"));
  QString inTrash;
  if (QFile::moveToTrash(path, &inTrash)) {
    if (QDir::isAbsolutePath(inTrash)) return true;
    QFile moved(inTrash);
    const QString record = QStringLiteral("info/") + QFileInfo(inTrash).fileName() + QStringLiteral(".trashinfo");
    if (!moved.remove()) {
      if (why) *why = moved.errorString();
      return false;
    }
    QFile::remove(record);
    if (!hadFiles) QDir().rmdir(QStringLiteral("files"));
    if (!hadInfo) QDir().rmdir(QStringLiteral("info"));
    return true;
  }
  // No trash on that disk (or none that can be made): the file is deleted.
  QFile file(path);
  if (file.remove()) return true;
  if (why) *why = file.errorString();
  return false;
}

void mnuDelete_Click(djvp::LibraryPage& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  if (!grid || grid->SelectionCount() <= 0 || RefusedWhileAnalysing(s)) return;
  std::vector<int32_t> selected;
  for (int32_t i = 1, n = grid->SelectionCount(); i <= n; ++i) selected.push_back(grid->SelectedRowAt(i));

  grid->SetDrawingEnabled(false);
  std::vector<int32_t> gone;
  QStringList kept;
  // From the highest row down, as the rows will be removed.
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    const QString path = grid->TextAt(*it, djvp::ui::kFilename);
    QString why;
    if (RemoveSongFile(path, &why))
      gone.push_back(*it);
    else
      kept << path + QStringLiteral(": ") + why;
  }
  grid->DeleteRows(gone);
  grid->SetDrawingEnabled(true);
  SaveLibraryIndex(s);
  if (!kept.isEmpty()) djvp::MsgBox(T(djvp::kStrFilesNotRemoved) + QLatin1Char('\n') + kept.join(QLatin1Char('\n')));
}

}  // namespace library
