#include "library/CreateIndex.h"

#include "library/Index.h"
#include "platform/BrowseForFolder.h"
#include "platform/Grid.h"
#include "platform/FileProblems.h"
#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/OwnFiles.h"
#include "playlists/Import.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"
#include "ui/Text.h"

#include <QFileInfo>

namespace library {

using djvp::ui::T;

void cmdSettings_Click(djvp::MainState& s, int index) {
  switch (index) {
    case kCreate: CreateLibrary(s); break;
    case kChooseMusicFolder: ChooseMusicFolder(s); break;
    case kHelp: djvp::ShowHelp(QStringLiteral("introduction.htm")); break;
    default: break;
  }
}

void CreateLibrary(djvp::MainState& s) {
  djvp::Grid* grid = s.DummyPlaylist;
  if (!grid || RefusedWhileAnalysing(s)) return;
  const QString folder = s.txtSettings[0].text();
  // A mistyped folder must not empty the library.
  if (!folder.isEmpty() && djvp::KindOf(folder) != djvp::PathKind::Folder) {
    djvp::MsgBox(T(djvp::kStrMusicFolderMissing) + QLatin1Char('\n') + folder);
    return;
  }
  {
    // The songs that cannot be taken are told once, after the progress panel.
    const djvp::FileProblemScope problems;
    {
      const playlists::ImportProgress progress(s, djvp::kStrScanningDrive);
      if (s.optSettings[1].isChecked()) grid->DeleteAllRows();
      playlists::ImportPath(s, folder, *grid, false);
    }
  }
  // After the progress panel, so that a failed save's message is not shown
  // under the wait cursor.
  SaveLibraryIndex(s);
}

void ChooseMusicFolder(djvp::MainState& s) {
  djvp::clsBrowseForFolder browser;
  browser.hWndOwner(s.hWnd);
  browser.UseNewUI(true);
  browser.title(T(djvp::kStrChooseMusicFolder));
  const QString folder = browser.BrowseForFolder();
  if (folder.isEmpty()) return;
  djvp::keys::Save(djvp::keys::kMusicFolder, folder);
  s.txtSettings[0].setText(folder);
  s.txtSettings[0].setToolTip(folder);
}

}  // namespace library
