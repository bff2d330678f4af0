#include "library/Handlers.h"

#include "library/CreateIndex.h"
#include "library/LibraryGrid.h"
#include "library/SearchButtons.h"
#include "platform/Grid.h"
#include "ui/MainState.h"

#include <QObject>
#include <QPoint>

namespace library {

void ConnectHandlers(djvp::MainState& s) {
  if (djvp::Grid* grid = s.DummyPlaylist) {
    QObject::connect(grid, &djvp::Grid::ColumnClick, grid, [&s](int column) { DummyPlaylist_ColumnClick(s, column); });
    QObject::connect(grid, &djvp::Grid::ColumnsMoved, grid, [&s] { DummyPlaylist_ResetKeyColumn(s); });
    QObject::connect(grid, &djvp::Grid::MouseButton, grid,
                     [&s](int button, int, int, QPoint) { DummyPlaylist_RightClick(s, button); });
    QObject::connect(grid, &djvp::Grid::EditKeyRequest, grid,
                     [](int, int, int, bool* cancel) { DummyPlaylist_SearchKey(cancel); });
  }
  s.Text1.Change = [&s] { Text1_Change(s); };
  s.mnuCopy1.Click = [&s] { mnuCopy1_Click(s); };
  s.mnuCopy2.Click = [&s] { mnuCopy2_Click(s); };
  s.mnuDelete.Click = [&s] { mnuDelete_Click(s); };
  for (int i = 0; i < static_cast<int>(s.cmdSearch.size()); ++i)
    s.cmdSearch[static_cast<size_t>(i)].Click = [&s, i] { cmdSearch_Click(s, i); };
  for (const int i : {kCreate, kChooseMusicFolder, kHelp})
    s.cmdSettings[static_cast<size_t>(i)].Click = [&s, i] { cmdSettings_Click(s, i); };
}

}  // namespace library
