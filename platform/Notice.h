// A notice: a message the user should read that must not stop the program
// meanwhile (the automatic mix goes on while it is shown). It opens a window
// that does not hold up the rest of the program; a notice that comes while
// the last one is still open is added to it. Tests install a capture hook
// instead, so no window ever opens in a test.
#pragma once

#include <QString>

#include <functional>

namespace djvp {

void Notice(const QString& text);

// Replaces the window: every notice goes to the hook. An empty hook restores
// the window. Returns the previous hook.
using NoticeHook = std::function<void(const QString& text)>;
NoticeHook SetNoticeHook(NoticeHook hook);

}  // namespace djvp
