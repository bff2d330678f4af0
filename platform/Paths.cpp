#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>

namespace djvp {

namespace {
QString& ProgramFolderOverride() {
  static QString folder;
  return folder;
}

QString Trimmed(QString path) {
  while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
  return path;
}
}  // namespace

QString ProgramFolder() {
  if (!ProgramFolderOverride().isEmpty()) return ProgramFolderOverride();
  return Trimmed(QCoreApplication::applicationDirPath());
}

void SetProgramFolder(const QString& folder) {
  ProgramFolderOverride() = folder.isEmpty() ? QString() : Trimmed(QDir(folder).absolutePath());
}

QString DataFolder() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
  const QString folder = Trimmed(QDir::cleanPath(base + QStringLiteral("/djvorlanpellix")));
  QDir().mkpath(folder);
  return folder;
}

}  // namespace djvp
