#include "platform/Help.h"

#include "platform/Paths.h"
#include "StringTable.h"

#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>

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

QTextBrowser* HelpViewer() {
  static QPointer<QTextBrowser> viewer;
  if (!viewer) {
    viewer = new QTextBrowser();
    viewer->setObjectName(QStringLiteral("helpViewer"));
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    // Links to other pages of the help open in the viewer, links out of it
    // in the desktop's browser.
    viewer->setOpenLinks(true);
    viewer->setOpenExternalLinks(true);
    viewer->resize(760, 640);
    QTextBrowser* v = viewer;
    QObject::connect(v, &QTextBrowser::sourceChanged, v, [v] { v->setWindowTitle(v->documentTitle()); });
  }
  return viewer;
}

bool ShowHelp(const QString& topic) {
  const QUrl page = HelpPageUrl(topic);
  if (page.isEmpty()) return false;
  if (Hook()) return Hook()(page);
  QTextBrowser* viewer = HelpViewer();
  viewer->setSource(page);
  viewer->setWindowTitle(viewer->documentTitle());
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return true;
}

HelpHook SetHelpHook(HelpHook hook) { return std::exchange(Hook(), std::move(hook)); }

}  // namespace djvp
