// The folder browser: the caller sets options, calls BrowseForFolder and gets
// the chosen folder's full path, or "" when the user cancels. While the
// dialog is up it reports its events to the handlers set on the object, which
// may move the selection, set the status line or refuse the OK button.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

namespace djvp {

// An error raised by the folder browser: its number, source and description.
class BrowseForFolderError : public std::runtime_error {
 public:
  BrowseForFolderError(int32_t number, const QString& source, const QString& description);
  int32_t number;
  QString source;
  QString description;
};

// Option bits passed to the dialog.
inline constexpr uint32_t kBifReturnOnlyFsDirs = 0x1;
inline constexpr uint32_t kBifStatusText = 0x4;
inline constexpr uint32_t kBifReturnFsAncestors = 0x8;
inline constexpr uint32_t kBifEditBox = 0x10;
inline constexpr uint32_t kBifValidate = 0x20;
inline constexpr uint32_t kBifNewDialogStyle = 0x40;

// What a test hook sees of the dialog, and how it drives it as a user would.
class FolderDialogDriver {
 public:
  virtual ~FolderDialogDriver() = default;
  // Selects a folder (the status line shows its path; SelectionChanged runs).
  virtual void Select(const QString& path) = 0;
  // Types a name the dialog rejects; true when the dialog stays open.
  virtual bool TypeInvalid(const QString& text) = 0;
  virtual QString SelectedPath() const = 0;
  virtual QString Status() const = 0;
  virtual bool OkEnabled() const = 0;
};
struct FolderDialogRequest {
  QString title;
  QString rootDir;     // "" = the whole file system
  QString initialDir;  // "" = none, else a full path
  uint32_t flags = 0;
};
// Returns the folder the user accepts (nullopt: cancelled).
using FolderDialogHook = std::function<std::optional<QString>(const FolderDialogRequest&, FolderDialogDriver&)>;

class clsBrowseForFolder {
 public:
  clsBrowseForFolder();

  // The path of a special folder (0 desktop, 5 documents, 13 music, 14
  // videos, 26 application data, 39 pictures, 40 home); "" for others.
  QString SpecialFolderLocation(int32_t eFolder) const;

  bool EditBox() const { return editBox_; }
  void EditBox(bool bState) { editBox_ = bState; }
  bool StatusText() const { return statusText_; }
  void StatusText(bool bState) { statusText_ = bState; }
  bool FileSystemOnly() const { return fileSystemOnly_; }
  void FileSystemOnly(bool bState) { fileSystemOnly_ = bState; }
  bool ValidateEditBox() const { return validateEditBox_; }
  void ValidateEditBox(bool bState) { validateEditBox_ = bState; }
  bool UseNewUI() const { return useNewUI_; }
  void UseNewUI(bool bState) { useNewUI_ = bState; }
  QString title() const { return title_; }
  void title(const QString& sTitle) { title_ = sTitle; }
  int32_t hWndOwner() const { return owner_; }
  void hWndOwner(int32_t lhWnd) { owner_ = lhWnd; }
  // Read back as full paths after a dialog.
  QString InitialDir() const { return initialDir_; }
  void InitialDir(const QString& sDir) { initialDir_ = sDir; }
  QString RootDir() const { return rootDir_; }
  void RootDir(const QString& sDir) { rootDir_ = sDir; }

  // Shows the dialog (modal) and returns the chosen folder, "" on cancel.
  QString BrowseForFolder();
  // The display name of the folder chosen last.
  QString DisplayName() const { return displayName_; }

  // While the dialog is displayed: move the selection, set the status line.
  // Otherwise they raise error 26002 "Operation invalid unless dialog is
  // displayed.".
  void SetFolder(const QString& sPath);
  void SetStatus(const QString& sText);

  // The option bits for the dialog.
  uint32_t GetBrowseFlags() const;

  // Events, run while the dialog is up.
  std::function<void()> Initialized;
  std::function<void(const QString& sPath, bool& bAllowOk)> SelectionChanged;
  std::function<void(const QString& sPath, bool& bKeepOpen)> ValidationFailed;

  static FolderDialogHook SetDialogHook(FolderDialogHook hook);

  // Internal: the dialog in use while displayed.
  class Session;

 private:
  QString FullPath(const QString& dir) const;

  int32_t owner_ = 0;
  QString title_;
  QString initialDir_;
  QString rootDir_;
  bool editBox_ = false;
  bool statusText_ = false;
  bool fileSystemOnly_ = false;
  bool validateEditBox_ = false;
  bool useNewUI_ = false;
  QString displayName_;
  Session* session_ = nullptr;
};

}  // namespace djvp
