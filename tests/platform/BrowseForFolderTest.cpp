#include "TempDir.h"
#include "platform/BrowseForFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>

#include <filesystem>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

using namespace djvp;

namespace {

class FolderScript {
 public:
  explicit FolderScript(FolderDialogHook hook) { old_ = clsBrowseForFolder::SetDialogHook(std::move(hook)); }
  ~FolderScript() { clsBrowseForFolder::SetDialogHook(std::move(old_)); }

 private:
  FolderDialogHook old_;
};

// Runs the test from inside a folder and goes back afterwards.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCurrentDir() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

}  // namespace

TEST(BrowseForFolder, NewObjectAndOptionFlags) {
  clsBrowseForFolder b;
  EXPECT_EQ(b.title(), "Choose Folder");
  EXPECT_EQ(b.GetBrowseFlags(), 0u);
  b.FileSystemOnly(true);
  EXPECT_EQ(b.GetBrowseFlags(), 0x9u);
  b.UseNewUI(true);
  EXPECT_EQ(b.GetBrowseFlags(), 0x49u);
  b.EditBox(true);
  b.StatusText(true);
  b.ValidateEditBox(true);
  EXPECT_EQ(b.GetBrowseFlags(), 0x7Du);
}

TEST(BrowseForFolder, SetFolderAndSetStatusNeedADisplayedDialog) {
  clsBrowseForFolder b;
  for (int which = 0; which < 2; ++which) {
    try {
      if (which == 0) b.SetStatus("x");
      else b.SetFolder("/");
      FAIL() << "no error raised";
    } catch (const BrowseForFolderError& e) {
      EXPECT_EQ(e.number, 26002);
      EXPECT_EQ(e.description, "Operation invalid unless dialog is displayed.");
      EXPECT_TRUE(e.source.endsWith(".cBrowseForFolder")) << e.source.toStdString();
    }
  }
}

TEST(BrowseForFolder, RelativeInitialDirOpensAsFullPathAndEventsRun) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "music" / "house");
  ScopedCurrentDir cwd(dir.path());
  const QString base = QString::fromStdString(dir.path().string());

  clsBrowseForFolder b;
  b.title("Library folder");
  b.InitialDir("music");
  std::vector<QString> events;
  b.Initialized = [&] { events.push_back("init"); };
  b.SelectionChanged = [&](const QString& path, bool& allowOk) {
    events.push_back("sel " + path);
    allowOk = !path.endsWith("/music");  // only sub-folders may be chosen
    b.SetStatus("checked " + QDir(path).dirName());
  };
  FolderDialogRequest seen;
  FolderScript script([&](const FolderDialogRequest& r, FolderDialogDriver& d) -> std::optional<QString> {
    seen = r;
    EXPECT_EQ(d.SelectedPath(), base + "/music");
    EXPECT_FALSE(d.OkEnabled());
    EXPECT_EQ(d.Status(), "checked music");
    b.SetFolder(base + "/music/house");
    EXPECT_TRUE(d.OkEnabled());
    return d.SelectedPath();
  });
  EXPECT_EQ(b.BrowseForFolder(), base + "/music/house");
  EXPECT_EQ(seen.title, "Library folder");
  EXPECT_EQ(seen.initialDir, base + "/music");
  EXPECT_EQ(b.InitialDir(), base + "/music");
  EXPECT_EQ(b.DisplayName(), "house");
  ASSERT_EQ(events.size(), 3u);
  // The initial selection comes before the Initialized event.
  EXPECT_EQ(events[0], "sel " + base + "/music");
  EXPECT_EQ(events[1], "init");
  EXPECT_EQ(events[2], "sel " + base + "/music/house");
  // After the dialog the object is no longer displayed.
  EXPECT_THROW(b.SetStatus("late"), BrowseForFolderError);
}

TEST(BrowseForFolder, StatusLineShowsTheSelectionWithoutHandlers) {
  TempDir dir;
  const QString base = QString::fromStdString(dir.path().string());
  clsBrowseForFolder b;
  FolderScript script([&](const FolderDialogRequest&, FolderDialogDriver& d) -> std::optional<QString> {
    d.Select(base);
    EXPECT_EQ(d.Status(), base);
    EXPECT_TRUE(d.OkEnabled());
    // A typed name the dialog rejects: OK off, the message in the status
    // line, and without a handler the dialog closes.
    EXPECT_FALSE(d.TypeInvalid("no such"));
    EXPECT_EQ(d.Status(), "Path invalid: no such");
    EXPECT_FALSE(d.OkEnabled());
    return std::nullopt;
  });
  EXPECT_EQ(b.BrowseForFolder(), "");
  EXPECT_EQ(b.DisplayName(), "");
}

TEST(BrowseForFolder, ValidationHandlerKeepsTheDialogOpen) {
  clsBrowseForFolder b;
  QString reported;
  b.ValidationFailed = [&](const QString& text, bool& keepOpen) {
    reported = text;
    keepOpen = true;
  };
  FolderScript script([&](const FolderDialogRequest&, FolderDialogDriver& d) -> std::optional<QString> {
    EXPECT_TRUE(d.TypeInvalid("bad:name"));
    return std::nullopt;
  });
  b.BrowseForFolder();
  EXPECT_EQ(reported, "Path invalid: bad:name");
}

TEST(BrowseForFolder, OnlyExistingFoldersInsideTheRootAreReturned) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "root" / "inside");
  std::filesystem::create_directories(dir.path() / "rootless");
  TempDir::Write(dir.file("root/file.mp3"), std::string("x"));
  const QString base = QString::fromStdString(dir.path().string());
  struct Case {
    QString chosen, result;
  } cases[] = {
      {base + "/root/inside", base + "/root/inside"},
      {base + "/root/inside/", base + "/root/inside"},
      {base + "/root", base + "/root"},
      {base + "/rootless", ""},  // shares the root's name as a prefix only
      {base + "/root/file.mp3", ""},
      {base + "/root/missing", ""},
  };
  clsBrowseForFolder b;
  b.RootDir(base + "/root/");
  for (const auto& c : cases) {
    FolderScript script([&](const FolderDialogRequest& r, FolderDialogDriver&) -> std::optional<QString> {
      EXPECT_EQ(r.rootDir, base + "/root");
      return c.chosen;
    });
    EXPECT_EQ(b.BrowseForFolder(), c.result) << c.chosen.toStdString();
  }
}

TEST(BrowseForFolder, RealDialogReturnsTheChosenFolder) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "crate");
  const QString base = QString::fromStdString(dir.path().string());
  clsBrowseForFolder b;
  b.InitialDir(base);
  b.StatusText(true);
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    b.SetStatus("pick one");
    d->selectFile(base + "/crate");
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_EQ(b.BrowseForFolder(), base + "/crate");
  EXPECT_EQ(b.DisplayName(), "crate");
}
