#include "library/Index.h"

#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/OwnFiles.h"
#include "platform/Paths.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QStringList>


namespace library {

using djvp::ui::T;

QString IndexPath() { return djvp::DataFolder() + QStringLiteral("/djv.ndx"); }

namespace {

// An index saved by an earlier version may hold a field of several values
// with U+0000 between them, as the tag library gives it; the rows show them
// as track rows do, with "; " between them (saved so at the next save).
void ShowSeveralValues(djvp::Grid& grid) {
  using namespace djvp::ui;
  for (int32_t r = 1, n = grid.RowCount(); r <= n; ++r)
    for (int32_t column : {kArtist, kTitle, kGenre, kAlbum, kYear}) {
      QString text = grid.TextAt(r, column);
      if (!text.contains(QChar(0))) continue;
      QStringList values = text.split(QChar(0));
      values.removeAll(QString());
      grid.SetTextAt(r, column, values.join(QStringLiteral("; ")));
    }
}

}  // namespace

void LoadLibraryIndex(djvp::LibraryPage& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  const QString path = IndexPath();
  // A save of an earlier version that was killed may have left a whole copy
  // beside the index; it goes. (The safe-write layer removes what its own
  // killed saves left at its next save in the folder.)
  djvp::RemoveOldSaveLeftovers(djvp::DataFolder(), {QStringLiteral("djv.ndx")});
  if (!grid || djvp::KindOf(path) == djvp::PathKind::Missing) return;
  if (grid->LoadFromFile(path)) {
    ShowSeveralValues(*grid);
    return;
  }
  // Kept aside: the next save would otherwise replace the only copy of the
  // user's library with an empty one. A copy kept at an earlier start is
  // never replaced: this one gets the next free name.
  const QString aside = djvp::KeepAside(path, false);
  const QString kept = aside.isEmpty() ? path : aside;
  djvp::MsgBox(T(djvp::kStrIndexUnreadable) + QLatin1Char('\n') + kept + QStringLiteral("\n\n") + grid->LastError());
}

bool SaveLibraryIndex(djvp::LibraryPage& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  if (!grid) return false;
  if (grid->SaveToFile(IndexPath())) return true;
  djvp::MsgBox(T(djvp::kStrIndexNotSaved) + QLatin1Char('\n') + grid->LastError());
  return false;
}

bool RefusedWhileAnalysing(const djvp::LibraryPage& s) {
  if (!s.AnalysisRunning) return false;
  djvp::MsgBox(T(djvp::kStrAnalysisBusy));
  return true;
}

}  // namespace library
