#include "TempDir.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace djvp;

TEST(Paths, ProgramFolderIsTheExecutablesFolderUnlessSet) {
  EXPECT_EQ(ProgramFolder(), QCoreApplication::applicationDirPath());
  TempDir dir;
  SetProgramFolder(QString::fromStdString(dir.path().string()) + "/");
  EXPECT_EQ(ProgramFolder(), QString::fromStdString(dir.path().string()));
  SetProgramFolder({});
  EXPECT_EQ(ProgramFolder(), QCoreApplication::applicationDirPath());
}

TEST(Paths, DataFolderIsCreatedUnderXdgDataHome) {
  TempDir dir;
  const QString base = QString::fromStdString(dir.path().string());
  {
    ScopedEnv data("XDG_DATA_HOME", dir.path().string());
    EXPECT_EQ(DataFolder(), base + "/djvorlanpellix");
    EXPECT_TRUE(QFileInfo(base + "/djvorlanpellix").isDir());
  }
  // Unset or relative: the folder under the home folder.
  ScopedEnv home("HOME", (dir.path() / "home").string());
  for (const char* value : {"", "relative/path"}) {
    ScopedEnv data("XDG_DATA_HOME", value);
    EXPECT_EQ(DataFolder(), base + "/home/.local/share/djvorlanpellix") << value;
    EXPECT_TRUE(QFileInfo(DataFolder()).isDir());
  }
}
