// The program's help: HTML pages in the "help" folder beside the executable,
// one folder per language ("help/en", "help/nl"), opened in the desktop's
// browser.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace djvp {

// The page of the topic in the current interface language (LangOffset 1000:
// Dutch, otherwise English). Falls back to the English page when the
// language has none; an empty URL when neither exists.
QUrl HelpPageUrl(const QString& topic = QStringLiteral("introduction.htm"));

// Opens the topic's page in the desktop's browser. Returns false when there
// is no page or the browser could not be started.
bool ShowHelp(const QString& topic = QStringLiteral("introduction.htm"));

// Replaces the browser: ShowHelp hands the page's URL to the hook, whose
// result it returns. An empty hook restores the browser. Returns the
// previous hook.
using HelpHook = std::function<bool(const QUrl& page)>;
HelpHook SetHelpHook(HelpHook hook);

}  // namespace djvp
