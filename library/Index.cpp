#include "library/Index.h"

#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"

#include <QFile>
#include <QFileInfo>

namespace library {

using djvp::ui::T;

QString IndexPath() { return djvp::DataFolder() + QStringLiteral("/djv.ndx"); }

void LoadLibraryIndex(djvp::MainState& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  const QString path = IndexPath();
  if (!grid || !QFileInfo::exists(path)) return;
  if (grid->LoadFromFile(path)) return;
  // Kept aside: the next save would otherwise replace the only copy of the
  // user's library with an empty one.
  const QString aside = path + QStringLiteral(".unreadable");
  QFile::remove(aside);
  const QString kept = QFile::rename(path, aside) ? aside : path;
  djvp::MsgBox(T(djvp::kStrIndexUnreadable) + QLatin1Char('\n') + kept + QStringLiteral("\n\n") + grid->LastError());
}

bool SaveLibraryIndex(djvp::MainState& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  if (!grid) return false;
  if (grid->SaveToFile(IndexPath())) return true;
  djvp::MsgBox(T(djvp::kStrIndexNotSaved) + QLatin1Char('\n') + grid->LastError());
  return false;
}

bool RefusedWhileAnalysing(djvp::MainState& s) {
  if (!s.AnalysisRunning) return false;
  djvp::MsgBox(T(djvp::kStrAnalysisBusy));
  return true;
}

}  // namespace library
