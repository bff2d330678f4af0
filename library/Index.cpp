#include "library/Index.h"

#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/OwnFiles.h"
#include "platform/Paths.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"


namespace library {

using djvp::ui::T;

QString IndexPath() { return djvp::DataFolder() + QStringLiteral("/djv.ndx"); }

void LoadLibraryIndex(djvp::LibraryPage& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  const QString path = IndexPath();
  // A save of an earlier version that was killed may have left a whole copy
  // beside the index; it goes. (The safe-write layer removes what its own
  // killed saves left at its next save in the folder.)
  djvp::RemoveOldSaveLeftovers(djvp::DataFolder(), {QStringLiteral("djv.ndx")});
  if (!grid || djvp::KindOf(path) == djvp::PathKind::Missing) return;
  if (grid->LoadFromFile(path)) return;
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
