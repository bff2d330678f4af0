// Saves against what the file system holds around a file: symlinks, hard
// links, read-only files, other owners, extended attributes and ACLs, long
// names, file systems without unnamed files. Each situation is tried with an
// in-place save (an ID3v2 tag that keeps its page) and a rewrite (an APE tag).
#include "MpegTestSupport.h"
#include "SaveKinds.h"
#include "tests/support/AccessAcl.h"
#include "SafeWrite.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <set>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace sonavex;
using namespace mpegtest;

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
constexpr uid_t kDaemon = 1;

// An MP3 with a 4 KB ID3v2 tag titled "Old" and an APE tag titled "Old".
void MakeSong(const std::string& path) {
  std::filesystem::copy_file(Fixture("cbr128_stereo_noinfo.mp3"), path);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  c.SetID3V2Title(u"Old");
  ASSERT_TRUE(c.ID3V2SaveChangesToFile(W(path)));
  c.SetAPETitle(u"Old");
  ASSERT_TRUE(c.APESaveChangesToFile(W(path)));
}

struct Titles {
  std::u16string id3v2, ape;
};
Titles TitlesOf(const std::string& path) {
  CSonavexCtrl c;
  c.AUDIOAnalyzeFile(W(path));
  return {c.GetID3V2Title(), c.GetAPETitle()};
}

struct SaveKind {
  const char* name;
  bool inPlace;
  // Saves "New" into the file; the result and the error number.
  std::function<std::pair<bool, int>(const std::string&)> run;
  // The title the save writes, as read back.
  std::u16string Titles::*field;
};

const SaveKind kKinds[] = {
    {"in place", true,
     [](const std::string& path) {
       CSonavexCtrl c;
       c.AUDIOAnalyzeFile(W(path));
       c.SetID3V2Title(u"New");
       const bool ok = c.ID3V2SaveChangesToFile(W(path));
       return std::make_pair(ok, int(c.AUDIOGetLastErrorNumber()));
     },
     &Titles::id3v2},
    {"rewrite", false,
     [](const std::string& path) {
       CSonavexCtrl c;
       c.AUDIOAnalyzeFile(W(path));
       c.SetAPETitle(u"New");
       const bool ok = c.APESaveChangesToFile(W(path));
       return std::make_pair(ok, int(c.AUDIOGetLastErrorNumber()));
     },
     &Titles::ape},
};

// Runs the save as another user (a child process that gives up root), or
// directly when that user is the current one.
std::pair<bool, int> RunAs(uid_t uid, gid_t gid, const std::function<std::pair<bool, int>()>& save) {
  if (uid == geteuid()) return save();
  int fds[2];
  if (pipe(fds) != 0) return {false, -1};
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    int result[2] = {0, -1};
    if (setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0) {
      const auto r = save();
      result[0] = r.first;
      result[1] = r.second;
    }
    (void)!write(fds[1], result, sizeof result);
    _exit(0);
  }
  close(fds[1]);
  int result[2] = {0, -1};
  (void)!read(fds[0], result, sizeof result);
  close(fds[0]);
  waitpid(child, nullptr, 0);
  return {result[0] != 0, result[1]};
}

std::set<std::string> Names(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

std::vector<char> Attribute(const std::string& path, const char* name) {
  std::vector<char> v(4096);
  const ssize_t n = getxattr(path.c_str(), name, v.data(), v.size());
  v.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return v;
}

std::vector<char> Acl() { return AccessAclWithReader(kNobody); }

struct Situation {
  const char* name;
  bool needsRoot;
  // Prepares the folder; returns the path the save is given.
  std::function<std::string(const TempDir&)> setup;
  // Who saves.
  uid_t uid;
  gid_t gid;
  // Expected error of each kind (0: success).
  int inPlaceError, rewriteError;
  // Further checks after the save (the titles are checked by the test).
  std::function<void(const TempDir&, const std::string&, bool saved)> check;
  // A rewrite keeps the file (its inode) instead of replacing it.
  bool rewriteKeepsFile = false;
};

}  // namespace

TEST(SaveSafety, LinksOwnersPermissionsAndAttributesSurviveEverySave) {
  const bool root = geteuid() == 0;
  const uid_t me = geteuid();
  const gid_t myGroup = getegid();
  const std::string longName = std::string(246, 'n') + ".mp3";  // 250 bytes: as long as names get
  const Situation situations[] = {
      {"symlink to a file in another folder", false,
       [](const TempDir& d) {
         std::filesystem::create_directory(d.path() / "music");
         MakeSong(d.file("music/real.mp3"));
         std::filesystem::create_symlink("music/real.mp3", d.path() / "link.mp3");
         return d.file("link.mp3");
       },
       me, myGroup, 0, 0,
       [](const TempDir& d, const std::string& path, bool) {
         EXPECT_TRUE(std::filesystem::is_symlink(path));
         EXPECT_EQ(std::filesystem::read_symlink(path), "music/real.mp3");
         EXPECT_EQ(Names(d.path() / "music"), std::set<std::string>{"real.mp3"});
       }},
      {"hard link", false,
       [](const TempDir& d) {
         MakeSong(d.file("a.mp3"));
         std::filesystem::create_directory(d.path() / "other");
         std::filesystem::create_hard_link(d.file("a.mp3"), d.file("other/b.mp3"));
         return d.file("a.mp3");
       },
       me, myGroup, 0, 0,
       [](const TempDir& d, const std::string& path, bool) {
         // Still one file under both names, with the same content; no copy
         // of the old content is left beside it.
         EXPECT_EQ(std::filesystem::hard_link_count(path), 2u);
         EXPECT_EQ(TempDir::Read(d.file("other/b.mp3")), TempDir::Read(path));
         EXPECT_EQ(Names(d.path() / "other"), std::set<std::string>{"b.mp3"});
       },
       true},
      {"hard link in a folder the saver may not write", true,
       [](const TempDir& d) {
         MakeSong(d.file("linked.mp3"));
         std::filesystem::create_hard_link(d.file("linked.mp3"), d.file("twin.mp3"));
         chown(d.file("linked.mp3").c_str(), kNobody, kNogroup);
         chmod(d.file("linked.mp3").c_str(), 0644);
         chmod(d.path().c_str(), 0755);
         return d.file("linked.mp3");
       },
       kNobody, kNogroup, 0, kErrHardLinked,
       [](const TempDir& d, const std::string& path, bool) {
         EXPECT_EQ(std::filesystem::hard_link_count(path), 2u);
         EXPECT_EQ(TempDir::Read(d.file("twin.mp3")), TempDir::Read(path));
       },
       true},
      {"read-only file in a writable folder", false,
       [](const TempDir& d) {
         MakeSong(d.file("ro.mp3"));
         if (geteuid() == 0) {
           chown(d.path().c_str(), kNobody, kNogroup);
           chown(d.file("ro.mp3").c_str(), kNobody, kNogroup);
         }
         chmod(d.file("ro.mp3").c_str(), 0444);
         return d.file("ro.mp3");
       },
       root ? kNobody : me, root ? kNogroup : myGroup, EACCES, EACCES,
       [](const TempDir&, const std::string& path, bool) {
         struct stat st;
         ASSERT_EQ(stat(path.c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0444u);
       }},
      {"another user's file", true,
       [](const TempDir& d) {
         MakeSong(d.file("theirs.mp3"));
         chown(d.file("theirs.mp3").c_str(), kNobody, kNogroup);
         chmod(d.file("theirs.mp3").c_str(), 0640);
         return d.file("theirs.mp3");
       },
       me, myGroup, 0, 0,
       [](const TempDir&, const std::string& path, bool) {
         struct stat st;
         ASSERT_EQ(stat(path.c_str(), &st), 0);
         EXPECT_EQ(st.st_uid, kNobody);
         EXPECT_EQ(st.st_gid, kNogroup);
         EXPECT_EQ(st.st_mode & 07777, 0640u);
       }},
      {"writable file whose owner the saver cannot give", true,
       [](const TempDir& d) {
         MakeSong(d.file("shared.mp3"));
         chmod(d.path().c_str(), 0777);
         chown(d.file("shared.mp3").c_str(), kDaemon, kNogroup);
         chmod(d.file("shared.mp3").c_str(), 0666);
         return d.file("shared.mp3");
       },
       kNobody, kNogroup, 0, EPERM,
       [](const TempDir&, const std::string& path, bool) {
         struct stat st;
         ASSERT_EQ(stat(path.c_str(), &st), 0);
         EXPECT_EQ(st.st_uid, kDaemon);
       }},
      {"extended attributes and an ACL", false,
       [](const TempDir& d) {
         MakeSong(d.file("acl.mp3"));
         const std::string p = d.file("acl.mp3");
         setxattr(p.c_str(), "user.origin", "vinyl rip", 9, 0);
         const auto acl = Acl();
         EXPECT_EQ(setxattr(p.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0) << errno;
         return p;
       },
       me, myGroup, 0, 0,
       [](const TempDir&, const std::string& path, bool) {
         const auto origin = Attribute(path, "user.origin");
         EXPECT_EQ(std::string(origin.begin(), origin.end()), "vinyl rip");
         EXPECT_EQ(Attribute(path, "system.posix_acl_access"), Acl());
         struct stat st;
         ASSERT_EQ(stat(path.c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0660u);  // the group bits show the ACL's mask
       }},
      {"a name as long as names get", false,
       [&](const TempDir& d) {
         MakeSong(d.file(longName));
         return d.file(longName);
       },
       me, myGroup, 0, 0, [](const TempDir&, const std::string&, bool) {}},
  };

  for (const Situation& s : situations) {
    if (s.needsRoot && !root) continue;  // only root can hand files to other users
    for (const SaveKind& kind : kKinds) {
      SCOPED_TRACE(std::string(s.name) + ", " + kind.name);
      TempDir dir;
      const std::string path = s.setup(dir);
      ASSERT_FALSE(::testing::Test::HasFatalFailure());
      const std::set<std::string> names = Names(dir.path());
      const std::u16string before = TitlesOf(path).*kind.field;
      ASSERT_EQ(before, u"Old");
      struct stat old;
      ASSERT_EQ(stat(path.c_str(), &old), 0);

      const auto [ok, error] = RunAs(s.uid, s.gid, [&] { return kind.run(path); });
      const int expected = kind.inPlace ? s.inPlaceError : s.rewriteError;
      EXPECT_EQ(ok, expected == 0);
      if (expected != 0) {
        EXPECT_EQ(error, expected);
      }
      EXPECT_EQ(TitlesOf(path).*kind.field, ok ? u"New" : u"Old");
      struct stat now;
      ASSERT_EQ(stat(path.c_str(), &now), 0);
      if (ok) {
        EXPECT_EQ(now.st_ino == old.st_ino, kind.inPlace || s.rewriteKeepsFile);  // in place, or a new file
      }
      // Nothing but the files the situation made.
      EXPECT_EQ(Names(dir.path()), names);
      s.check(dir, path, ok);
    }
  }
}

TEST(SaveSafety, FileSystemWithoutUnnamedFilesUsesAHiddenNameAndLeavesNothing) {
  SaveHooks().noTmpfile = true;
  TempDir dir;
  const std::string path = dir.file("song.mp3");
  MakeSong(path);
  std::vector<std::string> during;
  SaveHooks().step = nullptr;
  // The hidden name is there while the new file is written.
  static std::vector<std::string>* seen = nullptr;
  static std::filesystem::path folder;
  seen = &during;
  folder = dir.path();
  SaveHooks().step = [](SaveStep step, int64_t, int64_t) {
    if (step == SaveStep::kWritten)
      for (const auto& n : Names(folder)) seen->push_back(n);
  };
  const auto [ok, error] = kKinds[1].run(path);
  SaveHooks() = SaveTestHooks{};
  EXPECT_TRUE(ok) << error;
  EXPECT_EQ(TitlesOf(path).ape, u"New");
  ASSERT_EQ(during.size(), 2u);
  EXPECT_EQ(during[0].rfind(".sonavex-", 0), 0u);
  EXPECT_EQ(during[0].size(), 15u);
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"song.mp3"});
}

TEST(SaveSafety, InPlaceWritesStayWithinOnePage) {
  EXPECT_TRUE(FitsOnePage(0, 4096));
  EXPECT_TRUE(FitsOnePage(4095, 1));
  EXPECT_TRUE(FitsOnePage(8192 + 100, 200));
  EXPECT_FALSE(FitsOnePage(4095, 2));
  EXPECT_FALSE(FitsOnePage(0, 4097));
  EXPECT_FALSE(FitsOnePage(10, 0));

  const uint8_t a[] = {1, 2, 3, 4, 5, 6};
  const uint8_t b[] = {1, 2, 9, 4, 9, 6};
  const ByteRange r = ChangedRange(a, b, sizeof a);
  EXPECT_EQ(r.offset, 2);
  EXPECT_EQ(r.length, 3u);
  EXPECT_EQ(ChangedRange(a, a, sizeof a).length, 0u);

  // The writer refuses anything else, and a missing file gives its errno.
  TempDir dir;
  const std::string path = dir.file("f.bin");
  TempDir::Write(path, std::string(10000, 'x'));
  FileState state;
  TagFile source;
  ASSERT_TRUE(source.Open(path, TagFile::Mode::Read));
  EXPECT_FALSE(WriteInPlace(state, W(path), source, 4000, "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz", 100));
  EXPECT_EQ(state.lastError, EINVAL);
  EXPECT_EQ(TempDir::Read(path), std::vector<unsigned char>(10000, 'x'));
  EXPECT_EQ(safefile::WriteInPlace(dir.file("none.bin"), 0, "y", 1), ENOENT);
  ASSERT_TRUE(source.Open(path, TagFile::Mode::Read));
  ASSERT_TRUE(WriteInPlace(state, W(path), source, 4096, "yy", 2));
  const auto now = TempDir::Read(path);
  EXPECT_EQ(now[4095], 'x');
  EXPECT_EQ(now[4096], 'y');
  EXPECT_EQ(now[4097], 'y');
  EXPECT_EQ(now[4098], 'x');
}

namespace {

// A save run in a child process that stops at its first step in the
// safe-write layer (it holds the file's save lock from there on) until the
// parent lets it go on.
class StalledSave {
 public:
  // stopAt: the step to stop at (the first one reported when not given).
  explicit StalledSave(const std::function<bool()>& save, std::optional<SaveStep> stopAt = std::nullopt) {
    if (pipe(ready_) != 0 || pipe(go_) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      static int readyFd, goFd;
      static std::optional<SaveStep> target;
      static bool stopped;
      readyFd = ready_[1];
      goFd = go_[0];
      target = stopAt;
      stopped = false;
      SaveHooks().step = [](SaveStep s, int64_t, int64_t) {
        if (stopped || (target && s != *target)) return;
        stopped = true;
        char c = 1;
        (void)!write(readyFd, &c, 1);
        (void)!read(goFd, &c, 1);
      };
      _exit(save() ? 0 : 1);
    }
    close(ready_[1]);
    close(go_[0]);
    char c;
    reached_ = read(ready_[0], &c, 1) == 1;  // the child stopped (or ended: nothing to read)
  }
  StalledSave(const StalledSave&) = delete;
  StalledSave& operator=(const StalledSave&) = delete;
  ~StalledSave() { Finish(); }

  bool Reached() const { return reached_; }
  // Lets the save go on and waits for its end: whether it succeeded.
  bool Finish() {
    if (child_ > 0) {
      char c = 1;
      (void)!write(go_[1], &c, 1);
      int status = 0;
      waitpid(child_, &status, 0);
      ok_ = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      child_ = -1;
      close(ready_[0]);
      close(go_[1]);
    }
    return ok_;
  }

 private:
  int ready_[2] = {-1, -1}, go_[2] = {-1, -1};
  pid_t child_ = -1;
  bool reached_ = false, ok_ = false;
};

StalledSave* g_running = nullptr;
// For a save or a read that finds the lock held: the stalled save finishes
// meanwhile, then the lock is tried again.
bool FinishTheRunningSave() {
  if (!g_running) return false;
  g_running->Finish();
  g_running = nullptr;
  return true;
}

struct TitleSave {
  const char* name;
  // Sets the title and saves; the result.
  bool (*save)(CSonavexCtrl&, const std::string& path, const std::u16string& title);
  std::u16string (*title)(CSonavexCtrl&);
};
const TitleSave kTitleSaves[] = {
    {"APE tag: a rewrite (in place when the file has two names)",
     [](CSonavexCtrl& c, const std::string& path, const std::u16string& title) {
       c.SetAPETitle(title);
       return c.APESaveChangesToFile(W(path));
     },
     [](CSonavexCtrl& c) { return c.GetAPETitle(); }},
    {"ID3v2 tag: a write within one page",
     [](CSonavexCtrl& c, const std::string& path, const std::u16string& title) {
       c.SetID3V2Title(title);
       return c.ID3V2SaveChangesToFile(W(path));
     },
     [](CSonavexCtrl& c) { return c.GetID3V2Title(); }},
};

bool TakesUserAttributes(const std::string& folder) {
  const std::string probe = folder + "/attribute-probe";
  TempDir::Write(probe, std::string("x"));
  const bool ok = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
  unlink(probe.c_str());
  return ok;
}

struct ResetHooks {
  ~ResetHooks() {
    SaveHooks() = SaveTestHooks{};
    g_running = nullptr;
  }
};

}  // namespace

// Two saves of one song from two programs at once, each after its own
// analysis: while the first runs, the second cannot change the file. Told
// not to wait, it fails with 214; waiting, it finds the file changed by the
// first and fails with 213. Either way the file is the first save's whole
// result, under every name.
TEST(SaveSafety, TwoSavesOfOneSongAtOnceLeaveOneSavesWholeResult) {
  ResetHooks reset;
  for (const bool linked : {false, true}) {
    if (linked && !TakesUserAttributes(std::filesystem::temp_directory_path().string())) continue;
    for (const TitleSave& kind : kTitleSaves) {
      SCOPED_TRACE(std::string(kind.name) + (linked ? ", two names" : ", one name"));
      TempDir dir;
      const std::string path = dir.file("song.mp3");
      MakeSong(path);
      if (linked) {
        std::filesystem::create_directory(dir.path() / "other");
        std::filesystem::create_hard_link(path, dir.file("other/song.mp3"));
      }
      CSonavexCtrl second;
      ASSERT_EQ(second.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
      {
        StalledSave first([&] {
          CSonavexCtrl c;
          c.AUDIOAnalyzeFile(W(path));
          return kind.save(c, path, u"First");
        });
        ASSERT_TRUE(first.Reached());
        const Bytes before = TempDir::Read(path);
        SaveHooks().lockWaitMs = 0;
        EXPECT_FALSE(kind.save(second, path, u"Second"));
        EXPECT_EQ(second.AUDIOGetLastErrorNumber(), kErrFileBusy);
        EXPECT_EQ(TempDir::Read(path), before);

        g_running = &first;
        SaveHooks().lockBusy = FinishTheRunningSave;
        EXPECT_FALSE(kind.save(second, path, u"Second"));
        EXPECT_EQ(second.AUDIOGetLastErrorNumber(), kErrFileChanged);
        EXPECT_TRUE(first.Finish());
        SaveHooks() = SaveTestHooks{};
      }
      CSonavexCtrl check;
      ASSERT_EQ(check.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
      EXPECT_EQ(kind.title(check), u"First");
      if (linked) {
        EXPECT_EQ(TempDir::Read(dir.file("other/song.mp3")), TempDir::Read(path));
        EXPECT_EQ(std::filesystem::hard_link_count(path), 2u);
      }
      EXPECT_EQ(Names(dir.path()), (linked ? std::set<std::string>{"song.mp3", "other"} : std::set<std::string>{"song.mp3"}));
    }
  }
}

// Reads of a song with two names while it is rewritten in place (stopped
// after the first piece of the new content went over the old one): a read
// that may not wait fails with 214 instead of reading the torn file, one
// that waits reads the new song whole. And a rewrite in place waits for a
// read that began before it (told not to wait, it fails with 214 and leaves
// the file as it was), while reads that come meanwhile queue behind it
// rather than keep it out.
TEST(SaveSafety, ReadsDuringARewriteInPlaceSeeNoTornFile) {
  ResetHooks reset;
  TempDir dir;
  if (!TakesUserAttributes(dir.path().string())) GTEST_SKIP() << "no user attributes here";
  const std::string path = dir.file("song.mp3");
  const std::string twin = dir.file("other/song.mp3");
  MakeSong(path);
  std::filesystem::create_directory(dir.path() / "other");
  std::filesystem::create_hard_link(path, twin);
  const Bytes oldBytes = TempDir::Read(path);
  SaveHooks().copyChunk = 4096;
  StalledSave save(
      [&] {
        CSonavexCtrl c;
        c.AUDIOAnalyzeFile(W(path));
        c.SetAPETitle(u"New");
        c.SetID3V2Title(std::u16string(3000, u'n'));  // a tag that no longer fits its page: everything moves
        return c.ID3V2SaveChangesToFile(W(path)) && c.APESaveChangesToFile(W(path));
      },
      SaveStep::kOverwriting);
  ASSERT_TRUE(save.Reached());
  SaveHooks().copyChunk = 0;
  const Bytes torn = TempDir::Read(twin);  // what a read without the lock would see
  EXPECT_NE(torn, oldBytes);

  SaveHooks().lockWaitMs = 0;
  for (const std::string& name : {path, twin}) {
    CSonavexCtrl early;
    EXPECT_EQ(early.AUDIOAnalyzeFile(W(name)), kFormatNone);
    EXPECT_EQ(early.AUDIOGetLastErrorNumber(), kErrFileBusy);
  }
  g_running = &save;
  SaveHooks().lockBusy = FinishTheRunningSave;
  CSonavexCtrl waited;
  ASSERT_EQ(waited.AUDIOAnalyzeFile(W(twin)), kFormatMPEG);
  EXPECT_TRUE(save.Finish());
  EXPECT_EQ(waited.GetID3V2Title(), std::u16string(3000, u'n'));
  EXPECT_EQ(waited.GetAPETitle(), u"New");

  const Bytes saved = TempDir::Read(path);
  SaveHooks() = SaveTestHooks{};
  SaveHooks().lockWaitMs = 0;
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  c.SetAPETitle(u"Later");
  TagFile reading;
  ASSERT_TRUE(reading.Open(twin, TagFile::Mode::Read));
  EXPECT_FALSE(c.APESaveChangesToFile(W(path)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrFileBusy);
  EXPECT_EQ(TempDir::Read(twin), saved);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"song.mp3", "other"}));

  static TagFile* earlier;
  static std::string name;
  static int later;
  earlier = &reading;
  name = twin;
  later = -1;
  // While the save waits for the earlier read, a new read comes; then the
  // earlier read ends.
  SaveHooks().lockBusy = [] {
    SaveHooks().lockBusy = nullptr;
    TagFile next;
    later = next.Open(name, TagFile::Mode::Read) ? 0 : next.Error();
    earlier->Close();
    return true;
  };
  EXPECT_TRUE(c.APESaveChangesToFile(W(path))) << c.AUDIOGetLastErrorNumber();
  EXPECT_EQ(later, kErrFileBusy);
  CSonavexCtrl check;
  ASSERT_EQ(check.AUDIOAnalyzeFile(W(twin)), kFormatMPEG);
  EXPECT_EQ(check.GetAPETitle(), u"Later");
}

// A save writes nothing into a file that another program changed (or
// replaced under its name) since the control analysed it: 213, for every
// kind of save, of a file with one name or two. After a new analysis the
// save goes through, and so does the next save through the same control
// without one: it compares with the file as its own save left it.
TEST(SaveSafety, AFileChangedSinceItsAnalysisIsNotWritten) {
  ResetHooks reset;
  const bool attributes = TakesUserAttributes(std::filesystem::temp_directory_path().string());
  enum class Change { kTouched, kReplaced };
  for (const savekinds::SaveKind& kind : savekinds::kKinds) {
    for (const bool linked : {false, true}) {
      if (linked && !attributes) continue;
      SCOPED_TRACE(std::string(kind.name) + (linked ? ", two names" : ", one name"));
      TempDir dir;
      const std::string path = dir.file(kind.as);
      savekinds::MakeSong(kind, path);
      if (linked) {
        std::filesystem::create_directory(dir.path() / "other");
        std::filesystem::create_hard_link(path, dir.file(std::string("other/") + kind.as));
      }
      for (const Change change : {Change::kTouched, Change::kReplaced}) {
        SCOPED_TRACE(change == Change::kTouched ? "touched" : "replaced");
        CSonavexCtrl c;
        ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kind.format);
        if (change == Change::kTouched) {
          struct stat st;
          ASSERT_EQ(stat(path.c_str(), &st), 0);
          const timespec times[2] = {{0, UTIME_OMIT}, {st.st_mtim.tv_sec - 10, st.st_mtim.tv_nsec}};
          ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        } else {
          std::filesystem::copy_file(path, dir.file("replacement"));
          std::filesystem::rename(dir.file("replacement"), path);
        }
        struct stat before;
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        const Bytes bytes = TempDir::Read(path);
        EXPECT_FALSE(kind.save(c, W(path)));
        EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrFileChanged);
        EXPECT_EQ(TempDir::Read(path), bytes);
        struct stat after;
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(safefile::IdentityOf(after), safefile::IdentityOf(before));
      }
      CSonavexCtrl c;
      ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kind.format);
      EXPECT_TRUE(kind.save(c, W(path))) << c.AUDIOGetLastErrorNumber();
      kind.save(c, W(path));
      EXPECT_NE(c.AUDIOGetLastErrorNumber(), kErrFileChanged);
      EXPECT_EQ(c.AUDIOAnalyzeFile(W(path)), kind.format);
    }
  }
}

// Another tagger adds a genre to a FLAC file between our analysis and our
// save: the save is refused and the genre stays; after a new analysis both
// the genre and our title are kept.
TEST(SaveSafety, AGenreAnotherTaggerAddedBetweenAnalysisAndSaveIsKept) {
  ResetHooks reset;
  auto mutagen = [](const std::string& code, const std::string& path) {
    return RunCommand("/usr/bin/python3 -c 'import sys, mutagen.flac; f = mutagen.flac.FLAC(sys.argv[1]); " + code +
                      "' '" + path + "' 2>&1");
  };
  for (const char* fixture : {"padded.flac", "nopad.flac"}) {
    SCOPED_TRACE(fixture);
    TempDir dir;
    const std::string path = dir.file("song.flac");
    std::filesystem::copy_file(savekinds::FixturePath("flac", fixture), path);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatFLAC);
    c.SetFLACTitle(u"Ours");
    ASSERT_EQ(mutagen("f[\"genre\"] = \"Added\"; f.save()", path), "");
    const Bytes theirs = TempDir::Read(path);
    EXPECT_FALSE(c.FLACSaveChangesToFile(W(path)));
    EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrFileChanged);
    EXPECT_EQ(TempDir::Read(path), theirs);
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatFLAC);
    c.SetFLACTitle(u"Ours");
    ASSERT_TRUE(c.FLACSaveChangesToFile(W(path))) << c.AUDIOGetLastErrorNumber();
    EXPECT_EQ(mutagen("print(f[\"genre\"][0], f[\"title\"][0])", path), "Added Ours\n");
  }
}

// A save may name another file than the one analysed: the control's tag
// (as the analysis read it, with the changes since) goes into that file, as
// it always did; the analysed file is not compared or touched, and a save
// into it still goes through.
TEST(SaveSafety, ASaveIntoAnotherFileWritesTheAnalysedTagThere) {
  TempDir dir;
  const std::string analysed = dir.file("analysed.flac"), other = dir.file("other.flac");
  std::filesystem::copy_file(savekinds::FixturePath("flac", "padded.flac"), analysed);
  std::filesystem::copy_file(savekinds::FixturePath("flac", "nopad.flac"), other);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(analysed)), kFormatFLAC);
  const Bytes analysedBytes = TempDir::Read(analysed);
  c.SetFLACTitle(u"Carried over");
  ASSERT_TRUE(c.FLACSaveChangesToFile(W(other))) << c.AUDIOGetLastErrorNumber();
  EXPECT_EQ(TempDir::Read(analysed), analysedBytes);
  ASSERT_TRUE(c.FLACSaveChangesToFile(W(other))) << c.AUDIOGetLastErrorNumber();
  ASSERT_TRUE(c.FLACSaveChangesToFile(W(analysed))) << c.AUDIOGetLastErrorNumber();
  for (const std::string& path : {analysed, other}) {
    CSonavexCtrl check;
    ASSERT_EQ(check.AUDIOAnalyzeFile(W(path)), kFormatFLAC);
    EXPECT_EQ(check.GetFLACTitle(), u"Carried over");
  }
}

namespace {

// Another program's save of a song while ours runs: it takes no lock of
// ours. At the first report of `at`, it replaces the song by a rename (a
// new file beside it, then moved over it, as most taggers save) or writes
// a few bytes into it.
struct OtherProgram {
  static SaveStep at;
  static bool byRename, done;
  static std::string path;
  static Bytes theirs;
  static void Hook(SaveStep step, int64_t, int64_t) {
    if (done || step != at) return;
    done = true;
    Bytes bytes = TempDir::Read(path);
    if (byRename) {
      bytes.insert(bytes.end(), {'t', 'h', 'e', 'i', 'r', 's'});
      const std::string temp = path + ".their-temp";
      TempDir::Write(temp, std::string(bytes.begin(), bytes.end()));
      std::filesystem::rename(temp, path);
    } else {
      const int fd = open(path.c_str(), O_WRONLY);
      const off_t at = static_cast<off_t>(bytes.size() / 2);
      (void)!pwrite(fd, "THEM", 4, at);
      close(fd);
      std::copy_n("THEM", 4, bytes.begin() + at);
    }
    theirs = bytes;
  }
};
SaveStep OtherProgram::at;
bool OtherProgram::byRename, OtherProgram::done;
std::string OtherProgram::path;
Bytes OtherProgram::theirs;

}  // namespace

// Another program saves the song while our save of it runs, at each step of
// ours up to its last check (the audio copied, synced, named, the journal
// of a song with two names made, right before a write within one page):
// ours then fails with 213 and writes nothing; their file stands under the
// name, whole, and nothing of ours is left. A rename of theirs while our
// write into the file itself runs leaves their file too, and ours is not
// reported as done. Every kind of save, of a song with one name (also on a
// file system that cannot exchange two names) or two.
TEST(SaveSafety, AnotherProgramsSaveDuringOursIsNeverLost) {
  ResetHooks reset;
  const bool attributes = TakesUserAttributes(std::filesystem::temp_directory_path().string());
  const std::set<SaveStep> beforeTheLastCheck = {SaveStep::kTempCreated, SaveStep::kCopied,       SaveStep::kWritten,
                                                 SaveStep::kSynced,      SaveStep::kLinked,       SaveStep::kJournalNamed,
                                                 SaveStep::kInPlaceWrite};
  // While our own write into the file runs, a rename is still told.
  const std::set<SaveStep> whileWriting = {SaveStep::kInPlaceWritten, SaveStep::kOverwriting};
  for (const savekinds::SaveKind& kind : savekinds::kKinds) {
    for (const bool linked : {false, true}) {
      if (linked && !attributes) continue;
      for (const bool exchange : {true, false}) {
        if (linked && !exchange) continue;
        SCOPED_TRACE(std::string(kind.name) + (linked ? ", two names" : ", one name") +
                     (exchange ? "" : ", no exchange"));
        TempDir dir;
        const std::string path = dir.file(kind.as), twin = dir.file(std::string("other/") + kind.as);
        auto make = [&] {
          std::filesystem::remove(path);
          std::filesystem::remove_all(dir.path() / "other");
          savekinds::MakeSong(kind, path);
          // Long unchanged, so that any later write gives it another time.
          struct stat st;
          ASSERT_EQ(stat(path.c_str(), &st), 0);
          const timespec times[2] = {{0, UTIME_OMIT}, {st.st_mtim.tv_sec - 100, 0}};
          ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
          if (linked) {
            std::filesystem::create_directory(dir.path() / "other");
            std::filesystem::create_hard_link(path, twin);
          }
        };
        // The steps this save reports.
        ASSERT_NO_FATAL_FAILURE(make());
        static std::vector<SaveStep> steps;
        steps.clear();
        SaveHooks().step = [](SaveStep s, int64_t, int64_t) { steps.push_back(s); };
        ASSERT_TRUE(savekinds::AnalyseAndSave(kind, path));
        SaveHooks() = SaveTestHooks{};
        std::set<SaveStep> tried;
        for (const SaveStep step : steps) {
          const bool late = whileWriting.count(step) > 0;
          if ((!late && !beforeTheLastCheck.count(step)) || !tried.insert(step).second) continue;
          for (const bool byRename : {true, false}) {
            if (late && !byRename) continue;
            SCOPED_TRACE("step " + std::to_string(static_cast<int>(step)) + (byRename ? ", renamed" : ", written"));
            ASSERT_NO_FATAL_FAILURE(make());
            const Bytes old = TempDir::Read(path);
            CSonavexCtrl c;
            ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kind.format);
            OtherProgram::at = step;
            OtherProgram::byRename = byRename;
            OtherProgram::done = false;
            OtherProgram::path = path;
            SaveHooks().noExchange = !exchange;
            SaveHooks().step = OtherProgram::Hook;
            const bool ok = kind.save(c, W(path));
            SaveHooks() = SaveTestHooks{};
            ASSERT_TRUE(OtherProgram::done);
            EXPECT_FALSE(ok);
            EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrFileChanged);
            EXPECT_EQ(TempDir::Read(path), OtherProgram::theirs);
            std::set<std::string> expected{kind.as};
            if (linked) {
              if (!late) {
                EXPECT_EQ(TempDir::Read(twin), byRename ? old : OtherProgram::theirs);
              }
              EXPECT_EQ(Names(dir.path() / "other"), std::set<std::string>{kind.as});
              expected.insert("other");
            }
            EXPECT_EQ(Names(dir.path()), expected);
          }
        }
        EXPECT_FALSE(tried.empty());
      }
    }
  }
}
