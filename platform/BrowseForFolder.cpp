#include "platform/BrowseForFolder.h"

#include "platform/ModPublic.h"
#include "platform/OwnFiles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace djvp {

namespace {
FolderDialogHook& Hook() {
  static FolderDialogHook hook;
  return hook;
}


QString ExecutableName() {
  const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  return name.isEmpty() ? QStringLiteral("djvorlanpellix") : name;
}

}  // namespace

// The state of one displayed dialog: the selection, the status line and the
// OK button, driven by the real dialog or by a test hook.
class clsBrowseForFolder::Session : public FolderDialogDriver {
 public:
  explicit Session(clsBrowseForFolder& owner) : owner_(owner) {}

  void Select(const QString& path) override {
    selected_ = path;
    SetStatusLine(path);
    bool allowOk = true;
    if (owner_.SelectionChanged) owner_.SelectionChanged(path, allowOk);
    SetOkEnabled(allowOk);
  }

  bool TypeInvalid(const QString& text) override {
    SetOkEnabled(false);
    const QString message = QStringLiteral("Path invalid: ") + text;
    SetStatusLine(message);
    bool keepOpen = false;
    if (owner_.ValidationFailed) owner_.ValidationFailed(message, keepOpen);
    return keepOpen;
  }

  QString SelectedPath() const override { return selected_; }
  QString Status() const override { return status_; }
  bool OkEnabled() const override { return okEnabled_; }

  void SetStatusLine(const QString& text) {
    status_ = text;
    if (statusLabel_) statusLabel_->setText(text);
  }
  void SetOkEnabled(bool enabled) {
    okEnabled_ = enabled;
    if (okButton_) okButton_->setEnabled(enabled);
  }

  QPointer<QFileDialog> dialog_;
  QPointer<QLabel> statusLabel_;
  QPointer<QPushButton> okButton_;

 private:
  clsBrowseForFolder& owner_;
  QString selected_;
  QString status_;
  bool okEnabled_ = true;
};

BrowseForFolderError::BrowseForFolderError(int32_t n, const QString& s, const QString& d)
    : std::runtime_error(d.toStdString()), number(n), source(s), description(d) {}

clsBrowseForFolder::clsBrowseForFolder() : title_(QStringLiteral("Choose Folder")) {}

FolderDialogHook clsBrowseForFolder::SetDialogHook(FolderDialogHook hook) { return std::exchange(Hook(), std::move(hook)); }

QString clsBrowseForFolder::SpecialFolderLocation(int32_t eFolder) const {
  QStandardPaths::StandardLocation location;
  switch (eFolder) {
    case 0:
    case 16: location = QStandardPaths::DesktopLocation; break;
    case 5: location = QStandardPaths::DocumentsLocation; break;
    case 13: location = QStandardPaths::MusicLocation; break;
    case 14: location = QStandardPaths::MoviesLocation; break;
    case 26: location = QStandardPaths::GenericDataLocation; break;
    case 39: location = QStandardPaths::PicturesLocation; break;
    case 40: location = QStandardPaths::HomeLocation; break;
    default: return {};
  }
  return QStandardPaths::writableLocation(location);
}

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

QString clsBrowseForFolder::BrowseForFolder() {
  if (!rootDir_.isEmpty()) rootDir_ = FullPath(rootDir_);
  if (!initialDir_.isEmpty()) initialDir_ = FullPath(initialDir_);
  FolderDialogRequest request{title_, rootDir_, initialDir_, GetBrowseFlags()};

  Session session(*this);
  session_ = &session;
  struct Close {
    clsBrowseForFolder* self;
    ~Close() { self->session_ = nullptr; }
  } close{this};

  auto initialise = [&] {
    if (!initialDir_.isEmpty()) session.Select(initialDir_);
    if (Initialized) Initialized();
  };

  std::optional<QString> chosen;
  if (Hook()) {
    initialise();
    chosen = Hook()(request, session);
  } else {
    QFileDialog dialog(QApplication::activeWindow(), title_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // Our own dialog, so that the status line and the OK button can be reached.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setDirectory(!initialDir_.isEmpty() ? initialDir_ : (!rootDir_.isEmpty() ? rootDir_ : QDir::homePath()));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
      auto* label = new QLabel(&dialog);
      label->setVisible((request.flags & kBifStatusText) != 0);
      grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
      session.statusLabel_ = label;
    }
    if (auto* box = dialog.findChild<QDialogButtonBox*>()) {
      session.okButton_ = box->button(QDialogButtonBox::Open);
      if (!session.okButton_) session.okButton_ = box->button(QDialogButtonBox::Ok);
    }
    session.dialog_ = &dialog;
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [&session](const QString& path) {
      if (QFileInfo(path).isDir()) session.Select(QDir::cleanPath(path));
    });
    initialise();
    while (dialog.exec() == QDialog::Accepted) {
      const QStringList files = dialog.selectedFiles();
      const QString path = files.isEmpty() ? QString() : QDir::cleanPath(files.front());
      if (!QFileInfo(path).isDir() && (request.flags & kBifValidate)) {
        if (session.TypeInvalid(path)) continue;
        break;
      }
      if (!session.OkEnabled()) continue;
      chosen = path;
      break;
    }
  }

  QString result;
  if (chosen && !chosen->isEmpty()) {
    const QFileInfo info(FullPath(*chosen));
    const QString path = info.absoluteFilePath();
    const bool underRoot = rootDir_.isEmpty() || path == rootDir_ || path.startsWith(modPublic_AddBackslash(rootDir_));
    // By the name's bytes: a folder whose name is not UTF-8 is one too.
    if (KindOf(path) == PathKind::Folder && underRoot) result = QDir::cleanPath(path);
  }
  displayName_ = result.isEmpty() ? QString() : (result == QLatin1String("/") ? result : QFileInfo(result).fileName());
  return result;
}

void clsBrowseForFolder::SetFolder(const QString& sPath) {
  if (session_ == nullptr)
    throw BrowseForFolderError(26002, ExecutableName() + QStringLiteral(".cBrowseForFolder"),
                               QStringLiteral("Operation invalid unless dialog is displayed."));
  const QString path = FullPath(sPath);
  if (session_->dialog_) {
    session_->dialog_->setDirectory(path);
    session_->dialog_->activateWindow();
  }
  session_->Select(path);
}

void clsBrowseForFolder::SetStatus(const QString& sText) {
  if (session_ == nullptr)
    throw BrowseForFolderError(26002, ExecutableName() + QStringLiteral(".cBrowseForFolder"),
                               QStringLiteral("Operation invalid unless dialog is displayed."));
  session_->SetStatusLine(sText);
}

}  // namespace djvp
