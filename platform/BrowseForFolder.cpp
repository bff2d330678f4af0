#include "platform/BrowseForFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace djvp {

namespace {
FolderDialogHook& Hook() {
  static FolderDialogHook hook;
  return hook;
}
}  // namespace

class clsBrowseForFolder::Session {};

BrowseForFolderError::BrowseForFolderError(int32_t n, const QString& s, const QString& d)
    : std::runtime_error(d.toStdString()), number(n), source(s), description(d) {}

clsBrowseForFolder::clsBrowseForFolder() : title_(QStringLiteral("Choose Folder")) {}

FolderDialogHook clsBrowseForFolder::SetDialogHook(FolderDialogHook hook) { return std::exchange(Hook(), std::move(hook)); }

QString clsBrowseForFolder::SpecialFolderLocation(int32_t) const { return {}; }

uint32_t clsBrowseForFolder::GetBrowseFlags() const {
  uint32_t flags = 0;
  if (editBox_) flags |= kBifEditBox;
  if (statusText_) flags |= kBifStatusText;
  if (fileSystemOnly_) flags |= kBifReturnOnlyFsDirs | kBifReturnFsAncestors;
  if (validateEditBox_) flags |= kBifValidate;
  if (useNewUI_) flags |= kBifNewDialogStyle;
  return flags;
}

QString clsBrowseForFolder::FullPath(const QString& dir) const { return QDir::cleanPath(QDir::current().absoluteFilePath(dir)); }

QString clsBrowseForFolder::BrowseForFolder() { return {}; }

void clsBrowseForFolder::SetFolder(const QString&) {}

void clsBrowseForFolder::SetStatus(const QString&) {}

}  // namespace djvp
