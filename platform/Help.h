// The program's help: HTML pages in the "help" folder beside the executable,
// one folder per language ("help/en", "help/nl"), shown in the program's own
// help viewer, so no web browser is needed.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace djvp {

// The page of the topic in the current interface language (LangOffset 1000:
// Dutch, otherwise English). Falls back to the English page when the
// language has none; an empty URL when neither exists.
QUrl HelpPageUrl(const QString& topic = QStringLiteral("introduction.htm"));

// Shows the topic's page in the help viewer (one window, opened on the first
// call and brought to the front later). Returns false when there is no page.
bool ShowHelp(const QString& topic = QStringLiteral("introduction.htm"));

// Replaces the viewer: ShowHelp hands the page's URL to the hook, whose
// result it returns. An empty hook restores the viewer. Returns the
// previous hook.
using HelpHook = std::function<bool(const QUrl& page)>;
HelpHook SetHelpHook(HelpHook hook);

}  // namespace djvp
