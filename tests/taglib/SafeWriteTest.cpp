#include "Module.h"
#include "SafeWrite.h"
#include "SonavexCtrl.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
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

namespace {

std::string ReadText(const std::string& path) {
  const auto bytes = TempDir::Read(path);
  return std::string(bytes.begin(), bytes.end());
}

std::set<std::string> NamesIn(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// The names of a rewrite's journal in a folder.
std::set<std::string> JournalIn(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& n : NamesIn(dir))
    if (n.rfind(".sonavex-copy-", 0) == 0 || n.rfind(".sonavex-song-", 0) == 0) names.insert(n);
  return names;
}

bool TakesUserAttributes(const std::filesystem::path& folder) {
  const std::string probe = (folder / "attribute-probe").string();
  TempDir::Write(probe, std::string("x"));
  const bool ok = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
  unlink(probe.c_str());
  return ok;
}

// A song with a second name in another folder: <dir>/song.bin and <dir>/other/song.bin.
struct TwoNames {
  TempDir dir;
  std::string path = dir.file("song.bin");
  std::string twin = dir.file("other/song.bin");
  explicit TwoNames(const std::string& content) {
    TempDir::Write(path, content);
    std::filesystem::create_directory(dir.path() / "other");
    std::filesystem::create_hard_link(path, twin);
  }
};

// Runs a whole-file write in a child process that dies at the first report
// of `at`.
void WholeFileWriteKilledAt(const std::string& path, const std::string& content, safefile::Step at) {
  static safefile::Step target;
  target = at;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    safefile::Hooks().step = [](safefile::Step s, int64_t, int64_t) {
      if (s == target) raise(SIGKILL);
    };
    safefile::WriteWholeFile(path, content.data(), content.size());
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

struct ResetHooks {
  ~ResetHooks() { safefile::Hooks() = safefile::TestHooks{}; }
};

}  // namespace

// The rewrite of a file with several names keeps a mark on the file (a user
// extended attribute); the test folder's file system must take them, or the
// tests of that rewrite below are skipped.
TEST(SafeWrite, TheTestFolderTakesUserAttributes) {
  TempDir dir;
  EXPECT_TRUE(TakesUserAttributes(dir.path())) << "rewrites of files with several names are not tested here";
}

// What makes a save survive a power cut: the new content is synced before
// it replaces the old one (or before the rewrite in place is taken as done),
// and a new file that does not hold every byte written never replaces the
// old one. A sync that fails, or a new file that lost bytes, leaves the old
// content under every name and nothing beside it.
TEST(SafeWrite, NewContentIsSyncedAndWhollyWrittenBeforeItReplacesTheOld) {
  ResetHooks reset;
  static std::string newContent;
  newContent = std::string(9000, 'n');
  const std::string oldContent(12000, 'o');
  struct Fault {
    const char* name;
    int expected;
    void (*arm)();
  };
  const Fault faults[] = {
      // The sync that must come before the new content counts: of the new
      // file before it is named, or of the file rewritten in place while
      // its mark still says that the rewrite is under way.
      {"the sync of the new content fails", EIO,
       [] {
         safefile::Hooks().sync = [](int fd) -> int {
           struct stat st;
           const bool counts = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                               (st.st_nlink == 0 || fgetxattr(fd, "user.sonavex.rewrite", nullptr, 0) > 0);
           if (counts && st.st_size == static_cast<off_t>(newContent.size())) {
             std::string now(newContent.size(), '\0');
             if (pread(fd, now.data(), now.size(), 0) == static_cast<ssize_t>(now.size()) && now == newContent)
               return EIO;
           }
           return fsync(fd) == 0 ? 0 : errno;
         };
       }},
      {"the new file lost its last byte", ENOSPC,
       [] {
         safefile::Hooks().written = [](int fd) {
           struct stat st;
           if (fstat(fd, &st) == 0) (void)!ftruncate(fd, st.st_size - 1);
         };
       }},
  };
  for (const bool linked : {false, true}) {
    if (linked && !TakesUserAttributes(std::filesystem::temp_directory_path())) continue;
    for (const Fault& fault : faults) {
      SCOPED_TRACE(std::string(fault.name) + (linked ? ", a file with two names" : ", a file with one name"));
      TwoNames song(oldContent);
      if (!linked) std::filesystem::remove(song.twin);
      const auto before = NamesIn(song.dir.path());
      safefile::Hooks() = safefile::TestHooks{};
      fault.arm();
      EXPECT_EQ(safefile::WriteWholeFile(song.path, newContent.data(), newContent.size()), fault.expected);
      safefile::Hooks() = safefile::TestHooks{};
      EXPECT_EQ(ReadText(song.path), oldContent);
      if (linked) {
        EXPECT_EQ(ReadText(song.twin), oldContent);
        EXPECT_EQ(std::filesystem::hard_link_count(song.path), 2u);
      }
      EXPECT_EQ(NamesIn(song.dir.path()), before);
      // Without the fault the same write goes through.
      EXPECT_EQ(safefile::WriteWholeFile(song.path, newContent.data(), newContent.size()), 0);
      EXPECT_EQ(ReadText(song.path), newContent);
    }
  }
}

// Two saves of one file exclude each other: while one runs, another waits
// (here: not at all) and then fails with EBUSY; a save that waited while the
// first finished finds the file changed and writes nothing; one that
// expects the file as the first left it goes through. A read of a file with
// one name is not held up by a running save.
TEST(SafeWrite, SavesOfOneFileExcludeEachOther) {
  ResetHooks reset;
  for (const bool linked : {false, true}) {
    if (linked && !TakesUserAttributes(std::filesystem::temp_directory_path())) continue;
    SCOPED_TRACE(linked ? "a file with two names" : "a file with one name");
    TwoNames song(std::string(5000, 'o'));
    if (!linked) std::filesystem::remove(song.twin);
    struct stat st;
    ASSERT_EQ(stat(song.path.c_str(), &st), 0);
    const safefile::FileIdentity old = safefile::IdentityOf(st);

    static safefile::Rewrite* first;
    safefile::Rewrite one;
    first = &one;
    ASSERT_TRUE(one.Begin(song.path, &old));
    ASSERT_TRUE(one.Write("first", 5));

    safefile::Hooks().lockWaitMs = 0;
    safefile::Rewrite two;
    EXPECT_FALSE(two.Begin(song.path, &old));
    EXPECT_EQ(two.Error(), safefile::kErrBusy);
    EXPECT_EQ(safefile::WriteInPlace(song.path, 0, "x", 1), safefile::kErrBusy);
    EXPECT_EQ(safefile::TruncateInPlace(song.path, 1), safefile::kErrBusy);
    EXPECT_EQ(safefile::WriteWholeFile(song.path, "whole", 5), safefile::kErrBusy);
    if (!linked) {
      const int fd = open(song.path.c_str(), O_RDONLY);
      EXPECT_EQ(safefile::HoldForReading(fd), 0);
      close(fd);
    }
    EXPECT_EQ(ReadText(song.path), std::string(5000, 'o'));

    // The second save waits; the first finishes meanwhile.
    safefile::Hooks().lockBusy = [] { return first->Commit(); };
    EXPECT_FALSE(two.Begin(song.path, &old));
    EXPECT_EQ(two.Error(), safefile::kErrChanged);
    EXPECT_EQ(ReadText(song.path), "first");
    safefile::Hooks() = safefile::TestHooks{};
    ASSERT_TRUE(two.Begin(song.path, &one.Result()));
    ASSERT_TRUE(two.Write("second", 6));
    ASSERT_TRUE(two.Commit());
    EXPECT_EQ(ReadText(song.path), "second");
    if (linked) {
      EXPECT_EQ(ReadText(song.twin), "second");
    }
    // The in-place writes compare the same way.
    EXPECT_EQ(safefile::WriteInPlace(song.path, 0, "S", 1, &old, nullptr), safefile::kErrChanged);
    EXPECT_EQ(safefile::TruncateInPlace(song.path, 1, &old, nullptr), safefile::kErrChanged);
    safefile::FileIdentity now;
    EXPECT_EQ(safefile::WriteInPlace(song.path, 0, "S", 1, &two.Result(), &now), 0);
    EXPECT_NE(now, two.Result());  // even within one tick of the clock
    EXPECT_EQ(safefile::TruncateInPlace(song.path, 1, &now, nullptr), 0);
    EXPECT_EQ(ReadText(song.path), "S");
    // A file that is gone is not made anew for a save that read it.
    std::filesystem::remove(song.path);
    EXPECT_FALSE(two.Begin(song.path, &now));
    EXPECT_EQ(two.Error(), safefile::kErrChanged);
    EXPECT_FALSE(std::filesystem::exists(song.path));
  }
}

// The journal of a rewrite in place that was killed midway (the file torn:
// the first piece of the new content over the old) goes back into the file
// that carries its mark, and nowhere else: not into a file that took the
// folder's names after the song was deleted, not into a copy of the song
// that took its attributes along; without its copy, reads and saves of the
// song fail rather than see it torn.
TEST(SafeWrite, AJournalGoesOnlyIntoTheFileThatCarriesItsMark) {
  ResetHooks reset;
  if (!TakesUserAttributes(std::filesystem::temp_directory_path())) GTEST_SKIP() << "no user attributes here";
  const std::string oldContent(20000, 'o'), newContent(12000, 'n');
  enum class Then {
    kReadThroughOtherName,
    kSongDeletedAndANewFileMade,
    kSongCopiedWithItsAttributes,
    kCopyLost,
    kCopyCut,            // a cleaner or a bad disk took bytes off the copy
    kCopyChanged,        // the same length, other bytes
    kJournalFolderGone,  // the folder of the journal and of the name saved is deleted
  };
  for (const Then then : {Then::kReadThroughOtherName, Then::kSongDeletedAndANewFileMade,
                          Then::kSongCopiedWithItsAttributes, Then::kCopyLost, Then::kCopyCut, Then::kCopyChanged,
                          Then::kJournalFolderGone}) {
    SCOPED_TRACE(static_cast<int>(then));
    TwoNames song(oldContent);
    struct stat first;
    ASSERT_EQ(stat(song.path.c_str(), &first), 0);
    safefile::Hooks().copyChunk = 4096;
    ASSERT_NO_FATAL_FAILURE(WholeFileWriteKilledAt(song.path, newContent, safefile::Step::kOverwriting));
    safefile::Hooks() = safefile::TestHooks{};
    const std::string torn = ReadText(song.path);
    ASSERT_EQ(torn, std::string(4096, 'n') + std::string(20000 - 4096, 'o'));
    ASSERT_EQ(JournalIn(song.dir.path()).size(), 2u);
    switch (then) {
      case Then::kReadThroughOtherName: {
        const int fd = open(song.twin.c_str(), O_RDONLY);
        EXPECT_EQ(safefile::HoldForReading(fd), 0);
        close(fd);
        EXPECT_EQ(ReadText(song.twin), oldContent);
        EXPECT_EQ(std::filesystem::hard_link_count(song.path), 2u);
        break;
      }
      case Then::kSongDeletedAndANewFileMade: {
        std::filesystem::remove(song.path);
        std::filesystem::remove(song.twin);
        const std::string fresh = song.dir.file("fresh.bin");
        TempDir::Write(fresh, std::string("fresh"));
        struct stat st;
        ASSERT_EQ(stat(fresh.c_str(), &st), 0);
        EXPECT_NE(st.st_ino, first.st_ino);  // the journal keeps the song's number taken
        EXPECT_EQ(safefile::SweepFolder(song.dir.path().string()), 0);
        EXPECT_EQ(ReadText(fresh), "fresh");
        EXPECT_EQ(NamesIn(song.dir.path()), (std::set<std::string>{"fresh.bin", "other"}));
        break;
      }
      case Then::kSongCopiedWithItsAttributes: {
        // The copy has two names of its own, so that readers look at it.
        const std::string copy = song.dir.file("copy.bin");
        TempDir::Write(copy, torn);
        std::vector<char> mark(4096);
        const ssize_t n = getxattr(song.path.c_str(), "user.sonavex.rewrite", mark.data(), mark.size());
        ASSERT_GT(n, 0);
        ASSERT_EQ(setxattr(copy.c_str(), "user.sonavex.rewrite", mark.data(), static_cast<size_t>(n), 0), 0);
        std::filesystem::create_hard_link(copy, song.dir.file("copy2.bin"));
        const int fd = open(copy.c_str(), O_RDONLY);
        EXPECT_EQ(safefile::HoldForReading(fd), 0);
        close(fd);
        EXPECT_EQ(safefile::SweepFolder(song.dir.path().string()), 0);  // puts the song's old content back
        EXPECT_EQ(ReadText(copy), torn);
        EXPECT_EQ(safefile::WriteWholeFile(copy, "mine", 4), 0);
        EXPECT_EQ(ReadText(song.dir.file("copy2.bin")), "mine");
        EXPECT_EQ(getxattr(copy.c_str(), "user.sonavex.rewrite", nullptr, 0), -1);
        EXPECT_EQ(ReadText(song.twin), oldContent);
        break;
      }
      case Then::kCopyLost:
      case Then::kCopyCut:
      case Then::kCopyChanged:
      case Then::kJournalFolderGone: {
        // The copy is no longer what was made, or is gone: the song is
        // refused by every read and save, through any name and again and
        // again, and nothing is written into it.
        std::string copy;
        for (const auto& n : JournalIn(song.dir.path()))
          if (n.rfind(".sonavex-copy-", 0) == 0) copy = (song.dir.path() / n).string();
        ASSERT_FALSE(copy.empty());
        std::string left = song.path;  // a name the song keeps
        if (then == Then::kCopyLost) std::filesystem::remove(copy);
        if (then == Then::kCopyCut) std::filesystem::resize_file(copy, 1000);
        if (then == Then::kCopyChanged) {
          const int fd = open(copy.c_str(), O_WRONLY);
          ASSERT_EQ(pwrite(fd, "x", 1, 5000), 1);
          close(fd);
        }
        if (then == Then::kJournalFolderGone) {
          // The save went through the name in the main folder; the user
          // deletes that name and the journal beside it.
          std::filesystem::remove(song.path);
          for (const auto& n : JournalIn(song.dir.path())) std::filesystem::remove(song.dir.path() / n);
          left = song.twin;
          ASSERT_EQ(std::filesystem::hard_link_count(left), 1u);
        }
        for (int round = 0; round < 2; ++round) {
          const int fd = open(left.c_str(), O_RDONLY);
          EXPECT_EQ(safefile::HoldForReading(fd), safefile::kErrUnfinished);
          close(fd);
          TagFile file;
          EXPECT_FALSE(file.Open(left, TagFile::Mode::Read));
          EXPECT_EQ(file.Error(), kErrSaveUnfinished);
          EXPECT_EQ(safefile::RecoverFile(left), safefile::kErrUnfinished);
          EXPECT_EQ(safefile::WriteWholeFile(left, "x", 1), safefile::kErrUnfinished);
          EXPECT_EQ(safefile::WriteInPlace(left, 0, "x", 1), safefile::kErrUnfinished);
          const int sweep = safefile::SweepFolder(song.dir.path().string());
          EXPECT_EQ(sweep, then == Then::kJournalFolderGone ? 0 : safefile::kErrUnfinished);
          EXPECT_EQ(ReadText(left), torn);
        }
        // The library's text of the error names the song.
        CSonavexCtrl c;
        EXPECT_EQ(c.AUDIOAnalyzeFile(FromUtf8(left)), kFormatNone);
        EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrSaveUnfinished);
        EXPECT_NE(c.AUDIOGetLastErrorText().find(FromUtf8(left)), std::u16string::npos);
        c.SetAUDIOTitle(u"x");
        EXPECT_FALSE(c.AUDIOSaveChangesToFile(FromUtf8(left)));
        EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrSaveUnfinished);
        EXPECT_NE(c.AUDIOGetLastErrorText().find(FromUtf8(left)), std::u16string::npos);
        EXPECT_EQ(ReadText(left), torn);
        continue;
      }
    }
    EXPECT_TRUE(JournalIn(song.dir.path()).empty());
  }
}

// A sweep finishes a journal only as the mark of the file behind its extra
// name says, and only when the mark carries the journal's own token: the
// song here carries the mark of a later killed save (still overwriting, or
// done and not yet tidied), and a stale journal of an earlier save (another
// token, a copy of other content) leads to it too. That one is only
// removed; the song ends old (the later save undone) or new (it was done).
TEST(SafeWrite, ASweepFinishesOnlyTheJournalWhoseTokenTheSongCarries) {
  ResetHooks reset;
  if (!TakesUserAttributes(std::filesystem::temp_directory_path())) GTEST_SKIP() << "no user attributes here";
  const std::string oldContent(20000, 'o'), newContent(12000, 'n');
  struct Case {
    safefile::Step killedAt;
    const std::string* after;
  };
  for (const Case& c : {Case{safefile::Step::kOverwriting, &oldContent}, Case{safefile::Step::kUnmarked, &newContent}}) {
    SCOPED_TRACE(static_cast<int>(c.killedAt));
    TwoNames song(oldContent);
    safefile::Hooks().copyChunk = 4096;
    ASSERT_NO_FATAL_FAILURE(WholeFileWriteKilledAt(song.path, newContent, c.killedAt));
    safefile::Hooks() = safefile::TestHooks{};
    ASSERT_EQ(JournalIn(song.dir.path()).size(), 2u);
    // The stale journal sorts before the live one, so that a sweep meets it first.
    const std::string stale = "000000000000";
    TempDir::Write(song.dir.file(".sonavex-copy-" + stale), std::string(20000, 's'));
    std::filesystem::create_hard_link(song.path, song.dir.file(".sonavex-song-" + stale));
    EXPECT_EQ(safefile::SweepFolder(song.dir.path().string()), 0);
    EXPECT_EQ(ReadText(song.twin), *c.after);
    EXPECT_TRUE(JournalIn(song.dir.path()).empty());
    EXPECT_EQ(std::filesystem::hard_link_count(song.path), 2u);
  }
}

namespace {
// The birth time of a file, when the file system keeps one.
bool BornAt(const std::string& path, statx_timestamp& born) {
  struct statx sx{};
  if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) != 0 || !(sx.stx_mask & STATX_BTIME))
    return false;
  born = sx.stx_btime;
  return true;
}
bool Later(const statx_timestamp& a, const statx_timestamp& b) {
  return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec);
}
// Makes a file at path born after `than` (the file system's clock moves in
// ticks of a few milliseconds: the file is made again until it has moved).
bool MakeBornAfter(const std::string& path, const std::string& content, const statx_timestamp& than) {
  for (int tries = 0; tries < 100000; ++tries) {
    std::filesystem::remove(path);
    TempDir::Write(path, content);
    statx_timestamp born{};
    if (!BornAt(path, born)) return false;
    if (Later(born, than)) return true;
  }
  return false;
}
}  // namespace

// A copy of the old content in an earlier form, named by the file's inode
// number alone, goes back only into the file it was made from: a file of
// the folder with that number and two names that was born before it. A
// file that took the number over after the song was gone, or one with one
// name, is never written; the copy is removed.
TEST(SafeWrite, ACopyOfTheEarlierFormGoesBackOnlyIntoTheFileItWasMadeFrom) {
  TempDir dir;
  statx_timestamp born{};
  TempDir::Write(dir.file("probe"), std::string("p"));
  if (!BornAt(dir.file("probe"), born)) GTEST_SKIP() << "no birth times here";
  auto legacyName = [&](const std::string& path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    char name[48];
    std::snprintf(name, sizeof name, ".sonavex-old-%llx", static_cast<unsigned long long>(st.st_ino));
    return std::string(name);
  };
  // The song, born first, torn by a killed save of that form.
  const std::string song = dir.file("song.bin");
  TempDir::Write(song, std::string("torn-content"));
  std::filesystem::create_hard_link(song, dir.file("twin.bin"));
  ASSERT_TRUE(BornAt(song, born));
  const std::string copy = dir.file("copy");
  ASSERT_TRUE(MakeBornAfter(copy, "old content", born));
  std::filesystem::rename(copy, dir.path() / legacyName(song));
  // A file born after its copy, that carries the number in the copy's name.
  const std::string early = dir.file("early");
  TempDir::Write(early, std::string("stale copy"));
  ASSERT_TRUE(BornAt(early, born));
  const std::string other = dir.file("other.bin");
  ASSERT_TRUE(MakeBornAfter(other, "other file", born));
  std::filesystem::create_hard_link(other, dir.file("other2.bin"));
  std::filesystem::rename(early, dir.path() / legacyName(other));
  // A copy whose number names a file with one name.
  const std::string single = dir.file("single.bin");
  TempDir::Write(single, std::string("single file"));
  TempDir::Write(dir.file(legacyName(single)), std::string("stale too"));

  EXPECT_EQ(safefile::SweepFolder(dir.path().string()), 0);
  EXPECT_EQ(ReadText(dir.file("twin.bin")), "old content");
  EXPECT_EQ(ReadText(other), "other file");
  EXPECT_EQ(ReadText(single), "single file");
  EXPECT_EQ(NamesIn(dir.path()),
            (std::set<std::string>{"probe", "song.bin", "twin.bin", "other.bin", "other2.bin", "single.bin"}));
}
