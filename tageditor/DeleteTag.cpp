// "Delete this Tag": the ID3v2 tag leaves the editor's file after the user
// said Yes.
#include "tageditor/TagEditor.h"

#include "platform/MessageBox.h"
#include "resources/StringIds.h"
#include "sonavex/Dispids.h"
#include "tageditor/Failures.h"
#include "tageditor/TagControl.h"
#include "ui/Text.h"

namespace tageditor {

using djvp::ui::T;

void SSCommand17_Click(TagEditorState& ed) {
  const QString question = T(djvp::kStrDeleteTagQuestion) + QStringLiteral(" \n") + ed.TagFileName;
  if (djvp::MsgBox(question, djvp::MsgButtons::YesNo, T(djvp::kStrDeleteTagTitle)) == djvp::MsgResult::Yes) {
    const TagControl tags(ed.Tags);
    if (!tags.Succeeds(SX_ID3V2RemoveTagFromFile, {ed.TagFileName})) {
      // The editor stays open with what it showed.
      TellFailure(djvp::kStrTagNotRemoved, ed.TagFileName, FailureReason(tags, ed.TagFileName));
      return;
    }
  }
  if (ed.Unload) ed.Unload();
}

}  // namespace tageditor
