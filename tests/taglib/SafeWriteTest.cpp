#include "Module.h"
#include "SafeWrite.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace sonavex;

TEST(SafeWrite, CommitReplacesTheFileAndKeepsItsMode) {
  TempDir dir;
  const std::string path = dir.file("song.mp3");
  TempDir::Write(path, std::string("old content"));
  chmod(path.c_str(), 0640);

  TagFile src;
  ASSERT_TRUE(src.Open(path, TagFile::Mode::Read));
  FileState state;
  SafeRewrite w(state);
  ASSERT_TRUE(w.Begin(FromUtf8(path)));
  ASSERT_TRUE(w.Write("NEW ", 4));
  ASSERT_TRUE(w.CopyFrom(src, 4, 7));
  // Until the commit the original is untouched.
  EXPECT_EQ(TempDir::Read(path), std::vector<unsigned char>({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'}));
  ASSERT_TRUE(w.Commit());
  const auto now = TempDir::Read(path);
  EXPECT_EQ(std::string(now.begin(), now.end()), "NEW content");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // No temporary file is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++files;
  EXPECT_EQ(files, 1);
}

TEST(SafeWrite, FailuresLeaveTheOriginalWhole) {
  TempDir dir;
  const std::string path = dir.file("song.mp3");
  TempDir::Write(path, std::string("precious"));
  FileState state;

  {  // Abandoned rewrite: original unchanged, temporary removed.
    SafeRewrite w(state);
    ASSERT_TRUE(w.Begin(FromUtf8(path)));
    ASSERT_TRUE(w.Write("garbage", 7));
  }
  auto now = TempDir::Read(path);
  EXPECT_EQ(std::string(now.begin(), now.end()), "precious");

  {  // Copying more than the source holds fails and reports an error.
    TagFile src;
    ASSERT_TRUE(src.Open(path, TagFile::Mode::Read));
    SafeRewrite w(state);
    ASSERT_TRUE(w.Begin(FromUtf8(path)));
    state.lastError = 0;
    EXPECT_FALSE(w.CopyFrom(src, 0, 1000));
    EXPECT_NE(state.lastError, 0);
    EXPECT_FALSE(w.Commit());
  }
  now = TempDir::Read(path);
  EXPECT_EQ(std::string(now.begin(), now.end()), "precious");

  if (geteuid() != 0) {  // root may write anywhere
    chmod(dir.path().c_str(), 0555);
    SafeRewrite w(state);
    state.lastError = 0;
    EXPECT_FALSE(w.Begin(FromUtf8(path)));
    EXPECT_EQ(state.lastError, EACCES);
    chmod(dir.path().c_str(), 0755);
  }

  // A full disk: /dev/full fails every write.
  if (access("/dev/full", W_OK) == 0) {
    TagFile full;
    ASSERT_TRUE(full.Open(std::string("/dev/full"), TagFile::Mode::ReadWrite));
    state.lastError = 0;
    const std::string big(1 << 16, 'x');
    EXPECT_FALSE(full.Write(big.data(), big.size()));
    EXPECT_EQ(full.Error(), ENOSPC);
  }
  state.lastError = 0;
}

// The program's own files go through the same layer: a whole-file write of a
// file with a second name (in another folder) keeps the two names one file,
// and a sweep finds nothing to do in a clean folder and tells a missing one.
TEST(SafeWrite, WholeFileWriteOfAFileWithSeveralNamesKeepsThemOneFile) {
  TempDir dir;
  const std::string path = dir.file("presets.ini");
  std::filesystem::create_directory(dir.path() / "backup");
  const std::string twin = dir.file("backup/presets.ini");
  TempDir::Write(path, std::string(10000, 'o'));
  std::filesystem::create_hard_link(path, twin);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  const std::string shorter = "[preset]\nname=New\n";
  ASSERT_EQ(safefile::WriteWholeFile(path, shorter.data(), shorter.size()), 0);
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_nlink, 2u);
  const auto now = TempDir::Read(twin);
  EXPECT_EQ(std::string(now.begin(), now.end()), shorter);
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++files;
  EXPECT_EQ(files, 2);  // the file and the folder: no copy left
  EXPECT_EQ(safefile::SweepFolder(dir.path().string()), 0);
  EXPECT_EQ(safefile::SweepFolder(dir.file("missing")), ENOENT);
  EXPECT_EQ(safefile::RecoverFile(dir.file("missing")), 0);
}
