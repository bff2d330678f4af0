// The four ID3v2 list pages (comments, user URLs, lyrics, user frames): each
// shows one item of its list at a time from the editor's control, which
// holds the list; its buttons change, add and delete items there, and the
// buttons that write the file write the whole tag as the control holds it.
#include "tageditor/TagEditor.h"

#include "platform/MessageBox.h"
#include "resources/StringIds.h"
#include "sonavex/Dispids.h"
#include "tageditor/Failures.h"
#include "tageditor/TagControl.h"
#include "tageditor/TextRules.h"
#include "ui/Text.h"

#include <vector>

namespace tageditor {

namespace {

using djvp::ui::T;

// A language field holds three single-byte characters ("eng", and the
// program's own markers such as "PEA").
bool IsLanguage(const QString& text) {
  if (text.size() != 3) return false;
  for (const QChar c : text)
    if (c.unicode() > 0xFF) return false;
  return true;
}

const ListPage& PageOf(ListKind kind) { return ListPages()[static_cast<size_t>(kind)]; }

int16_t Count(const TagEditorState& ed, const ListPage& page) {
  return static_cast<int16_t>(TagControl(ed.Tags).Int(page.count));
}

// Calls the page's setter with the item number and one text per field.
void SetItem(const TagEditorState& ed, const ListPage& page, int16_t number, const std::vector<QString>& values) {
  const TagControl tags(ed.Tags);
  switch (values.size()) {
    case 2: tags.SucceedsAt(page.setter, number, {values[0], values[1]}); break;
    case 3: tags.SucceedsAt(page.setter, number, {values[0], values[1], values[2]}); break;
    default: break;
  }
}

// Writes the tag as the control holds it; a failure is told with the
// library's or the system's reason (the change stays in the control).
void WriteTag(const TagEditorState& ed) {
  const TagControl tags(ed.Tags);
  if (!tags.Succeeds(SX_ID3V2SaveChangesToFile, {ed.TagFileName}))
    TellFailure(djvp::kStrTagsNotSaved, ed.TagFileName, FailureReason(tags, ed.TagFileName));
}

void TellNotChanged(const TagEditorState& ed) {
  const QString why = TagControl(ed.Tags).LastErrorText();
  djvp::MsgBox(T(djvp::kStrItemNotChanged) + (why.isEmpty() ? QString() : QLatin1Char('\n') + why));
}

}  // namespace

void UpdateList(TagEditorState& ed, ListKind kind) {
  const ListPage& page = PageOf(kind);
  for (auto field : page.fields) ed.Load(ed.*field, QString());
  ui::ListBox& list = ed.*page.list;
  list.clear();
  list.setText(QString());
  const int16_t n = Count(ed, page);
  for (int k = 1; k <= n; ++k) list.addItem(QString::number(k));
  // Choosing the first entry shows its item.
  if (list.count() > 0) list.setCurrentIndex(0);
}

void ShowItem(TagEditorState& ed, ListKind kind) {
  const ListPage& page = PageOf(kind);
  ui::ListBox& list = ed.*page.list;
  // The chosen entry's number also stands in the list's edit field.
  list.setText(list.currentText());
  const int16_t number = static_cast<int16_t>(list.currentText().toInt());
  const TagControl tags(ed.Tags);
  for (size_t i = 0; i < page.fields.size(); ++i) ed.Load(ed.*page.fields[i], tags.TextAt(page.getters[i], number));
}

void SaveItem(TagEditorState& ed, ListKind kind) {
  const ListPage& page = PageOf(kind);
  const int16_t number = ItemNumber((ed.*page.list).text());
  const int16_t before = Count(ed, page);
  if (number < 1) {
    djvp::MsgBox(T(djvp::kStrItemNumber));
    return;
  }
  std::vector<QString> values;
  for (auto field : page.fields) {
    const ui::TextBox& box = ed.*field;
    values.push_back(WithLineEndsOf(box.text(), ed.LoadedText(box)));
  }
  if (page.urlText) values.back() = UrlForTag(values.back());
  // An existing item given no text is deleted; anything else needs a
  // language of three characters where the list has languages.
  const bool deletes = number <= before && values.back().isEmpty();
  if (page.hasLanguage && !deletes && !IsLanguage(values.front())) {
    djvp::MsgBox(T(djvp::kStrLanguageThreeLetters));
    return;
  }
  SetItem(ed, page, number, values);
  const int16_t after = Count(ed, page);
  // An item that was to be added or deleted and was not (a tag whose frame
  // slots are all taken, a frame its version cannot hold).
  if ((number > before && after != before + 1) || (deletes && after != before - 1)) {
    TellNotChanged(ed);
    return;
  }
  if (page.saveWrites) WriteTag(ed);
  UpdateList(ed, kind);
}

void DeleteItem(TagEditorState& ed, ListKind kind) {
  const ListPage& page = PageOf(kind);
  const ui::ListBox& list = ed.*page.list;
  if (list.currentIndex() < 0) return;  // an empty list
  const int16_t number = static_cast<int16_t>(list.currentText().toInt());
  SetItem(ed, page, number, std::vector<QString>(page.fields.size()));
  if (page.deleteWrites) WriteTag(ed);
  UpdateList(ed, kind);
}

void DeleteAllItems(TagEditorState& ed, ListKind kind) {
  const ListPage& page = PageOf(kind);
  TagControl(ed.Tags).Run(page.deleteAll);
  UpdateList(ed, kind);
}

}  // namespace tageditor
