// The program's one message-box function: a QMessageBox with the text and
// the buttons asked for, under the program's own title. Tests install a
// capture hook instead, so no dialog ever opens in a test.
#pragma once

#include <QString>

#include <functional>

class QMessageBox;

namespace djvp {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

// The title every message box of the program carries.
QString ProgramTitle();

// Shows a modal message box and returns the button pressed.
MsgResult MsgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok);
// The same under a title of its own (a question's); the hook answers it as
// any other.
MsgResult MsgBox(const QString& text, MsgButtons buttons, const QString& title);

// Replaces the dialog: every MsgBox call goes to the hook, which answers it.
// An empty hook restores the dialog. Returns the previous hook.
using MsgBoxHook = std::function<MsgResult(const QString& text, MsgButtons buttons)>;
MsgBoxHook SetMsgBoxHook(MsgBoxHook hook);
// The same with the box's title; while set it answers before the hook above.
using TitledMsgBoxHook = std::function<MsgResult(const QString& text, MsgButtons buttons, const QString& title)>;
TitledMsgBoxHook SetTitledMsgBoxHook(TitledMsgBoxHook hook);

// The narrowest a message box may be so that a window manager's title bar
// shows the whole title beside its buttons.
int MsgBoxWidthForTitle(const QString& title);
// Keeps a message box at least that wide for its present title (a short text
// makes a narrow box, whose title bar would cut the title).
void KeepTitleWhole(QMessageBox& box);

}  // namespace djvp
