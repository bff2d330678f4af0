// Saves against what the file system holds around a file: symlinks, hard
// links, read-only files, other owners, extended attributes and ACLs, long
// names, file systems without unnamed files. Each situation is tried with an
// in-place save (an ID3v2 tag that keeps its page) and a rewrite (an APE tag).
#include "MpegTestSupport.h"
#include "tests/support/AccessAcl.h"
#include "SafeWrite.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
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
  EXPECT_FALSE(WriteInPlace(state, W(path), 4000, "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz", 100));
  EXPECT_EQ(state.lastError, EINVAL);
  EXPECT_EQ(TempDir::Read(path), std::vector<unsigned char>(10000, 'x'));
  EXPECT_FALSE(WriteInPlace(state, W(dir.file("none.bin")), 0, "y", 1));
  EXPECT_EQ(state.lastError, ENOENT);
  ASSERT_TRUE(WriteInPlace(state, W(path), 4096, "yy", 2));
  const auto now = TempDir::Read(path);
  EXPECT_EQ(now[4095], 'x');
  EXPECT_EQ(now[4096], 'y');
  EXPECT_EQ(now[4097], 'y');
  EXPECT_EQ(now[4098], 'x');
}
