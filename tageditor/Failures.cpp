#include "tageditor/Failures.h"

#include "platform/MessageBox.h"
#include "tageditor/TagControl.h"
#include "ui/Text.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace tageditor {

QString FailureReason(const TagControl& tags, const QString& path) {
  const QFileInfo info(path);
  // A dangling symbolic link does not exist either; the library names that.
  if (!info.exists() && !info.isSymLink()) return QString::fromLocal8Bit(std::strerror(ENOENT));
  if (info.isDir()) return QString::fromLocal8Bit(std::strerror(EISDIR));
  return tags.LastErrorText();
}

void TellFailure(int32_t what, const QString& path, const QString& reason) {
  djvp::MsgBox(djvp::ui::T(what) + QLatin1Char('\n') + path + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
}

}  // namespace tageditor
