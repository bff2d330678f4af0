#include "tageditor/TagEditor.h"

#include "ui/MainState.h"

#include <utility>

namespace tageditor {

void ConnectHandlers(djvp::MainState& s, ShowEditor show) {
  s.mnuTag.Click = [&s, show = std::move(show)] { mnuTag_Click(s, show); };
}

void ConnectEditor(TagEditorState& ed) {
  ed.TabStrip1.Click = [&ed] { TabStrip1_Click(ed); };
  ed.SSCommand[kCancel].Click = [&ed] { SSCommand15_Click(ed); };
  ed.SSCommand[kSaveTag].Click = [&ed] { SSCommand16_Click(ed); };
  ed.SSCommand[kDeleteTag].Click = [&ed] { SSCommand17_Click(ed); };
  for (const ListKind kind : {kComments, kUserUrls, kLyrics, kUserFrames}) {
    const ListPage& page = ListPages()[static_cast<size_t>(kind)];
    (ed.*page.list).Click = [&ed, kind] { ShowItem(ed, kind); };
    ed.SSCommand[static_cast<size_t>(page.saveButton)].Click = [&ed, kind] { SaveItem(ed, kind); };
    ed.SSCommand[static_cast<size_t>(page.deleteButton)].Click = [&ed, kind] { DeleteItem(ed, kind); };
    ed.SSCommand[static_cast<size_t>(page.deleteAllButton)].Click = [&ed, kind] { DeleteAllItems(ed, kind); };
  }
  // "Load an Image" and "Delete this Image" have no function: the Cover page
  // only shows the tag's first picture.
}

}  // namespace tageditor
