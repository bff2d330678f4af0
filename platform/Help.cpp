#include "platform/Help.h"

#include "platform/Paths.h"
#include "StringTable.h"

#include <QDesktopServices>
#include <QFileInfo>

#include <utility>

namespace djvp {

namespace {
HelpHook& Hook() {
  static HelpHook hook;
  return hook;
}

QString PageIn(const QString& language, const QString& topic) {
  const QFileInfo page(ProgramFolder() + QStringLiteral("/help/") + language + QLatin1Char('/') + topic);
  return page.isFile() ? page.absoluteFilePath() : QString();
}
}  // namespace

QUrl HelpPageUrl(const QString& topic) {
  // A topic is a file name inside the language folder, never a path out of it.
  if (topic.isEmpty() || topic.contains(QLatin1Char('/')) || topic.startsWith(QLatin1Char('.'))) return {};
  QString page = LangOffset == 1000 ? PageIn(QStringLiteral("nl"), topic) : QString();
  if (page.isEmpty()) page = PageIn(QStringLiteral("en"), topic);
  if (page.isEmpty()) return {};
  return QUrl::fromLocalFile(page);
}

bool ShowHelp(const QString& topic) {
  const QUrl page = HelpPageUrl(topic);
  if (page.isEmpty()) return false;
  if (Hook()) return Hook()(page);
  return QDesktopServices::openUrl(page);
}

HelpHook SetHelpHook(HelpHook hook) { return std::exchange(Hook(), std::move(hook)); }

}  // namespace djvp
