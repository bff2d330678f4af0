// The tag editor's handlers: its opening from the library's popup menu, the
// tabs, the full save, the ID3v2 list pages, the removal of the ID3v2 tag and
// the Cover page. Each works on the editor's state (TagEditorState.h) and,
// through it, on the window state for the library row and index.
#pragma once

#include <functional>

#include "tageditor/TagEditorState.h"

#include <QString>

namespace djvp {
class MainState;
}

namespace tageditor {

// How the window shows an editor modally over itself (returns when the
// editor has closed).
using ShowEditor = std::function<void(TagEditorState& editor)>;

// Wires "Show/Edit the Tags" of the library's popup menu; `show` shows the
// editor it opens.
void ConnectHandlers(djvp::MainState& s, ShowEditor show);
// Wires the events of one editor's controls to their handlers.
void ConnectEditor(TagEditorState& ed);

// "Show/Edit the Tags": with a current row in the library, names its file in
// TagFileName, reads it into a new editor and shows the editor modally
// (`show`); a file the tag library cannot read is named in a message
// instead. Refused while songs are analysed.
void mnuTag_Click(djvp::MainState& s, const ShowEditor& show);

// Reads the file into the editor: the pages and tabs of its format, every
// field of its tag in its box and the ID3v2 lists. False (with the message
// to the user) when the tag library cannot read the file.
bool LoadSong(TagEditorState& ed, const QString& path);

// A tab was chosen: shows its page.
void TabStrip1_Click(TagEditorState& ed);

// "Save this Tag": writes the boxes of the shown pages that the user changed
// into the file; then the library rows of the file take the new artist,
// title, album, year, genre (and BPM) and the index is saved, and the editor
// closes. A save that fails leaves file, rows and index as they were, tells
// the user why and keeps the editor open.
void SSCommand16_Click(TagEditorState& ed);
// "Cancel": closes the editor; nothing more is written.
void SSCommand15_Click(TagEditorState& ed);
// "Delete this Tag": asks, removes the file's ID3v2 tag on Yes and closes
// the editor; a removal that fails is reported and the editor stays.
void SSCommand17_Click(TagEditorState& ed);

// The list pages: refill a page from the control, show the chosen item,
// save the item named in the list's edit field, delete the chosen item,
// delete every item.
void UpdateList(TagEditorState& ed, ListKind kind);
void ShowItem(TagEditorState& ed, ListKind kind);
void SaveItem(TagEditorState& ed, ListKind kind);
void DeleteItem(TagEditorState& ed, ListKind kind);
void DeleteAllItems(TagEditorState& ed, ListKind kind);

}  // namespace tageditor
