// The program's own files: names kept as the file system's bytes, copies of
// unreadable files that are never replaced, leftovers of old saves, two
// files replaced as one, and every own save killed, cut short by a full disk
// and run on links, other owners and attributes.
#include "platform/Grid.h"
#include "tests/support/AccessAcl.h"
#include "platform/OwnFiles.h"
#include "platform/Settings.h"
#include "safefile/FileName.h"
#include "safefile/FilePair.h"
#include "safefile/SafeFile.h"

#include "KillSave.h"
#include "TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <vector>
#include <algorithm>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace djvp;

namespace {

QString Q(const std::string& s) { return FileNameText(QByteArray::fromStdString(s)); }

std::string ReadAll(const std::string& path) {
  const auto bytes = TempDir::Read(path);
  return std::string(bytes.begin(), bytes.end());
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// A file size limit for the life of the object (as a full disk does, a write
// past it fails).
class SizeLimit {
 public:
  explicit SizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~SizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, handler_);
  }

 private:
  rlimit old_{};
  void (*handler_)(int) = nullptr;
};

const char* const kKeys[] = {"Artist", "Title", "Time", "Filename", "BPM", "Genre", "Album",
                             "Year", "Bitrate", "Freq", "Gain", "StartMixPoint", "EndMixPoint"};

// A library grid of `rows` rows (about 120 bytes each in the file).
void Fill(Grid& g, int rows, const QString& tag) {
  for (const char* key : kKeys) g.InsertColumn(QString::fromLatin1(key), QString::fromLatin1(key));
  for (int r = 1; r <= rows; ++r) {
    g.AddRow();
    g.SetTextAt(r, 1, QStringLiteral("Artist %1 %2").arg(r).arg(tag));
    g.SetTextAt(r, 2, QStringLiteral("Title %1").arg(r));
    g.SetTextAt(r, 4, QStringLiteral("/music/%1/song %2.mp3").arg(tag).arg(r));
    g.SetCellValue(r, 9, 128);
  }
}

}  // namespace

TEST(FileNames, EveryByteSequenceComesBackAsItWas) {
  struct Case {
    const char* what;
    std::string bytes;
    std::u16string text;  // the text it reads as
  };
  const Case cases[] = {
      {"ASCII", "song.mp3", u"song.mp3"},
      {"UTF-8", "caf\xc3\xa9.mp3", u"caf\u00e9.mp3"},
      {"Latin-1", "caf\xe9.mp3", u"caf\xdce9.mp3"},
      {"four-byte UTF-8", "\xf0\x9f\x8e\xb5", u"\U0001F3B5"},
      {"overlong slash", "a\xc0\xaf", u"a\xdcc0\xdcaf"},
      {"encoded surrogate", "\xed\xa0\x80", u"\xdced\xdca0\xdc80"},
      {"cut sequence", "\xe2\x82", u"\xdce2\xdc82"},
      {"past U+10FFFF", "\xf4\x90\x80\x80", u"\xdcf4\xdc90\xdc80\xdc80"},
      {"lone continuation and FF", "\x80\xff", u"\xdc80\xdcff"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(safefile::NameToText(c.bytes), c.text);
    EXPECT_EQ(safefile::TextToName(c.text), c.bytes);
    EXPECT_EQ(FileNameBytes(FileNameText(QByteArray::fromStdString(c.bytes))).toStdString(), c.bytes);
  }
  // Random bytes, mostly high ones.
  std::mt19937 rng(7);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes(static_cast<size_t>(rng() % 12), '\0');
    for (char& b : bytes) b = static_cast<char>(rng() % 3 == 0 ? 'a' + rng() % 26 : 0x80 + rng() % 128);
    ASSERT_EQ(safefile::TextToName(safefile::NameToText(bytes)), bytes);
  }
  // A surrogate that no name gives stays a replacement character.
  EXPECT_EQ(safefile::TextToName(u"a\xd800"), "a\xef\xbf\xbd");
}

TEST(OwnFiles, CopiesOfUnreadableFilesAreNeverReplaced) {
  TempDir dir;
  const std::string path = dir.file("djv.ndx");
  for (int n = 1; n <= 3; ++n) {
    TempDir::Write(path, "damaged " + std::to_string(n));
    const QString kept = KeepAside(Q(path), false);
    EXPECT_EQ(kept, Q(path) + (n == 1 ? QStringLiteral(".unreadable") : QStringLiteral(".unreadable.%1").arg(n)));
    EXPECT_FALSE(fs::exists(path));
  }
  EXPECT_EQ(ReadAll(path + ".unreadable"), "damaged 1");
  EXPECT_EQ(ReadAll(path + ".unreadable.2"), "damaged 2");
  EXPECT_EQ(ReadAll(path + ".unreadable.3"), "damaged 3");
  // A copy leaves the file where it is.
  TempDir::Write(path, "still used");
  EXPECT_EQ(KeepAside(Q(path), true), Q(path) + ".unreadable.4");
  EXPECT_EQ(ReadAll(path), "still used");
  EXPECT_EQ(ReadAll(path + ".unreadable.4"), "still used");
}

TEST(OwnFiles, OnlyWholeCopiesThatOldSavesLeftAreRemoved) {
  TempDir dir;
  struct Case {
    const char* name;
    bool removed;
  };
  const Case cases[] = {
      {"djv.ndx.KbUFpq", true},     {"EQ.vrn.HribqA", true},       {"djv.ndx.backup", false},
      {"djv.ndx.BACKUP", false},    {"djv.ndx.unreadable", false}, {"djv.ndx.AbCd1f", false},
      {"djv.ndx.AbCdEfG", false},   {"other.ndx.KbUFpq", false},   {"xdjv.ndx.KbUFpq", false},
      {"EQ2.vrn.KbUFpq", false},    {"djv.ndx", false},
      {".sonavex-Q3xk9Z", true},    // an unfinished new file of the safe-write layer
  };
  for (const Case& c : cases) TempDir::Write(dir.file(c.name), std::string("x"));
  fs::create_directory(dir.file("djv.ndx.DirDir"));
  RemoveOldSaveLeftovers(Q(dir.path().string()), {QStringLiteral("djv.ndx"), QStringLiteral("EQ.vrn")});
  for (const Case& c : cases) EXPECT_EQ(fs::exists(dir.file(c.name)), !c.removed) << c.name;
  EXPECT_TRUE(fs::is_directory(dir.file("djv.ndx.DirDir")));
}

// Two files replaced as one: killed at every step of the save and then
// recovered as the next start does, they are both old or both new; a save
// that fails leaves both old; nothing stays behind.
TEST(OwnFiles, APairOfFilesIsAlwaysBothOldOrBothNew) {
  for (const bool noTmpfile : {false, true}) {
    SCOPED_TRACE(noTmpfile ? "named temporary files" : "unnamed temporary files");
    TempDir dir;
    const std::string journal = dir.file("EQ.vrn.pair");
    const std::string paths[2] = {dir.file("EQ.vrn"), dir.file("EQ2.vrn")};
    const std::string olds[2] = {"[Old]\r\n1;\r\n", "[Old]\r\n1;\r\n[Other]\r\n"};
    const std::string news[2] = {"[New]\r\n2;\r\n", "[New]\r\n2;\r\n[More]\r\n"};
    int bothNew = 0;
    const int steps = killsave::AtEveryStep(
        [&] {
          TempDir::Write(paths[0], olds[0]);
          TempDir::Write(paths[1], olds[1]);
          if (safefile::ReplacePair(journal, paths, news) != 0) std::_Exit(3);
        },
        [&](int step, bool killed) {
          SCOPED_TRACE(step);
          ASSERT_EQ(safefile::RecoverPair(journal, paths), 0);
          const std::string now[2] = {ReadAll(paths[0]), ReadAll(paths[1])};
          const bool isOld = now[0] == olds[0] && now[1] == olds[1];
          const bool isNew = now[0] == news[0] && now[1] == news[1];
          EXPECT_TRUE(isOld || isNew) << now[0] << " | " << now[1];
          if (!killed) {
            EXPECT_TRUE(isNew);
          }
          bothNew += isNew;
          // The next save in the folder sweeps what the killed one left.
          ASSERT_EQ(safefile::ReplacePair(journal, paths, olds), 0);
          EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"EQ.vrn", "EQ2.vrn"}));
        },
        noTmpfile);
    EXPECT_GT(steps, 10);
    EXPECT_GE(bothNew, 1);
  }

  // A failed save (a size limit between the two new files' sizes) and a
  // missing second file.
  TempDir dir;
  const std::string journal = dir.file("EQ.vrn.pair");
  const std::string paths[2] = {dir.file("EQ.vrn"), dir.file("EQ2.vrn")};
  TempDir::Write(paths[0], std::string("old one"));
  const std::string news[2] = {std::string(100, 'a'), std::string(5000, 'b')};
  {
    const SizeLimit limit(4000);
    EXPECT_EQ(safefile::ReplacePair(journal, paths, news), EFBIG);
  }
  EXPECT_EQ(ReadAll(paths[0]), "old one");
  EXPECT_FALSE(fs::exists(paths[1]));
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"EQ.vrn"});
  ASSERT_EQ(safefile::ReplacePair(journal, paths, news), 0);
  EXPECT_EQ(ReadAll(paths[1]), news[1]);

  // A journal that is not one: left alone, and so are the files.
  TempDir::Write(journal, std::string("DJVPPAIR\t1\n1\t999\nshort"));
  EXPECT_EQ(safefile::RecoverPair(journal, paths), EINVAL);
  EXPECT_EQ(ReadAll(paths[1]), news[1]);
  EXPECT_TRUE(fs::exists(journal));
}

// The library index and a saved playlist (the grid's file) and the settings
// store, killed at every step of a save: the old file or the new one, whole,
// and nothing left once the next save has run.
TEST(OwnFiles, KilledSavesLeaveTheOldFileOrTheNewOne) {
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
  struct Kind {
    const char* name;
    std::function<void(int generation)> save;  // writes generation n
    std::function<int()> generation;           // which one is there (-1: neither)
    fs::path folder;
  };
  const std::string index = dir.file("djv.ndx");
  auto gridSave = [&](int n) {
    Grid g;
    // Above and below the 16 KB that a buffered writer would hold back.
    Fill(g, n % 2 ? 400 : 3, QString::number(n));
    if (!g.SaveToFile(Q(index))) std::_Exit(3);
  };
  auto gridGeneration = [&] {
    Grid g;
    for (const char* key : kKeys) g.InsertColumn(QString::fromLatin1(key), QString::fromLatin1(key));
    if (!g.LoadFromFile(Q(index))) return -1;
    return g.TextAt(1, 1).section(QLatin1Char(' '), 2, 2).toInt();
  };
  // One value that holds its generation, below or above 16 KB.
  auto settingsSave = [](int n) {
    const QString value = QString::number(n) + QLatin1Char(':') + QString(n % 2 ? 20000 : 10, QLatin1Char('p'));
    if (!SaveSetting("DJVP", "Mixer", "MixTime", value)) std::_Exit(3);
  };
  auto settingsGeneration = [] {
    const QString value = GetSetting("DJVP", "Mixer", "MixTime", "-1:");
    const int n = value.section(QLatin1Char(':'), 0, 0).toInt();
    return value.size() - value.indexOf(QLatin1Char(':')) - 1 == (n % 2 ? 20000 : 10) ? n : -2;
  };
  const Kind kinds[] = {
      {"library index", gridSave, gridGeneration, dir.path()},
      {"settings", settingsSave, settingsGeneration, dir.path() / "config" / "djvorlanpellix"},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    kind.save(1);
    ASSERT_EQ(kind.generation(), 1);
    const auto before = Names(kind.folder);
    int n = 1;
    killsave::AtEveryStep([&] { kind.save(n + 1); },
                          [&](int step, bool killed) {
                            SCOPED_TRACE(step);
                            const int now = kind.generation();
                            EXPECT_TRUE(now == n || now == n + 1) << now;
                            if (!killed) {
                              EXPECT_EQ(now, n + 1);
                            }
                            // The next save (in this process) sweeps the folder.
                            n = now + 1;
                            kind.save(n);
                            EXPECT_EQ(Names(kind.folder), before);
                          });
  }
}

// An own file with a second name in another folder (a backup the user
// linked to it): its save goes into the file itself. Killed at every step,
// a read through either name gives the old content or the new one, whole;
// a sweep of the folder leaves the two names and nothing else.
TEST(OwnFiles, AKilledSaveOfAFileWithTwoNamesIsReadWhole) {
  TempDir dir;
  const std::string path = dir.file("djv.ndx"), twin = dir.file("backup/djv.ndx");
  fs::create_directory(dir.path() / "backup");
  const std::string olds(30000, 'o'), news(20000, 'n');
  TempDir::Write(path, olds);
  fs::create_hard_link(path, twin);
  safefile::Hooks().copyChunk = 4096;  // a rewrite of several pieces
  const int steps = killsave::AtEveryStep(
      [&] {
        if (!WriteOwnFile(Q(path), QByteArray::fromStdString(news)).isEmpty()) std::_Exit(3);
      },
      [&](int step, bool killed) {
        SCOPED_TRACE(step);
        QByteArray bytes;
        ASSERT_EQ(ReadOwnFile(Q(step % 2 ? path : twin), 1 << 20, bytes), QString());
        const std::string now = bytes.toStdString();
        EXPECT_TRUE(now == olds || now == news) << now.size();
        if (!killed) {
          EXPECT_EQ(now, news);
        }
        EXPECT_EQ(ReadAll(step % 2 ? twin : path), now);
        EXPECT_EQ(safefile::SweepFolder(dir.path().string()), 0);
        EXPECT_EQ(fs::hard_link_count(path), 2u);
        EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"djv.ndx", "backup"}));
        TempDir::Write(path, olds);  // into the same file, for the next run
      });
  safefile::Hooks() = safefile::TestHooks{};
  EXPECT_GT(steps, 10);
}

// A full disk (here a file size limit) under every own save, for files both
// below and above the 16 KB that a buffered writer holds back until its
// commit: the save says so and the old file stays byte for byte.
TEST(OwnFiles, AFullDiskNeverPassesForASave) {
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
  const std::string index = dir.file("djv.ndx");
  for (const int rows : {4, 110, 2000}) {
    SCOPED_TRACE(rows);
    Grid old;
    Fill(old, 2, QStringLiteral("old"));
    ASSERT_TRUE(old.SaveToFile(Q(index)));
    const std::string before = ReadAll(index);
    Grid big;
    Fill(big, rows, QStringLiteral("new"));
    for (const rlim_t limit : {rlim_t(0), rlim_t(100), rlim_t(before.size() + 10)}) {
      bool saved = true;
      {
        const SizeLimit small(limit);
        saved = big.SaveToFile(Q(index));
      }
      EXPECT_FALSE(saved) << limit;
      EXPECT_TRUE(big.LastError().contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << big.LastError().toStdString();
      EXPECT_EQ(ReadAll(index), before);
    }
  }
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"djv.ndx"});

  // The settings store: a value below and one above 16 KB.
  ASSERT_TRUE(SaveSetting("DJVP", "Mixer", "MixTime", "20"));
  const std::string ini = SettingsFilePath("DJVP").toStdString();
  const std::string before = ReadAll(ini);
  for (const int size : {100, 40000}) {
    bool saved = true;
    {
      const SizeLimit small(before.size() + 5);
      saved = SaveSetting("DJVP", "Mixer", "Big", QString(size, QLatin1Char('v')));
    }
    EXPECT_FALSE(saved) << size;
    EXPECT_EQ(ReadAll(ini), before);
    EXPECT_EQ(GetSetting("DJVP", "Mixer", "Big", "none"), "none") << "a failed write is not kept as if stored";
  }
}

// What the tag library keeps for songs, the own files keep too: the owner
// and mode of a file that root saves for a user, extended attributes and
// ACLs, a symlink written through, a hard-linked file left one file.
TEST(OwnFiles, SavesKeepOwnersModesAttributesAndLinks) {
  const bool root = geteuid() == 0;
  constexpr uid_t kNobody = 65534;
  constexpr gid_t kNogroup = 65534;
  TempDir dir;
  ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
  const std::string ini = dir.file("config") + "/djvorlanpellix/DJVP.ini";
  struct Save {
    const char* name;
    std::string path;
    std::function<bool()> save;
  };
  const Save saves[] = {
      {"index", dir.file("djv.ndx"),
       [&] {
         Grid g;
         Fill(g, 3, QStringLiteral("x"));
         return g.SaveToFile(Q(dir.file("djv.ndx")));
       }},
      {"settings", ini, [] { return SaveSetting("DJVP", "Mixer", "MixTime", "30"); }},
      {"preset file", dir.file("EQ.vrn"), [&] { return WriteOwnFile(Q(dir.file("EQ.vrn")), "[A]\r\n1;\r\n").isEmpty(); }},
  };
  ASSERT_TRUE(SaveSetting("DJVP", "Mixer", "MixTime", "20"));
  for (const Save& s : saves) {
    SCOPED_TRACE(s.name);
    // Owner and mode.
    ASSERT_TRUE(s.save());
    if (root) {
      ASSERT_EQ(chown(s.path.c_str(), kNobody, kNogroup), 0);
    }
    for (const mode_t mode : {mode_t(0640), mode_t(0444), mode_t(0604)}) {
      ASSERT_EQ(chmod(s.path.c_str(), mode), 0);
      const bool saved = s.save();
      struct stat st;
      ASSERT_EQ(stat(s.path.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, mode);
      if (root) {
        EXPECT_TRUE(saved) << mode;
        EXPECT_EQ(st.st_uid, kNobody);
        EXPECT_EQ(st.st_gid, kNogroup);
      }
    }
    ASSERT_EQ(chmod(s.path.c_str(), 0644), 0);
    // Extended attributes and an access ACL.
    const std::vector<char> acl = AccessAclWithReader(kNobody);
    if (setxattr(s.path.c_str(), "user.origin", "mine", 4, 0) == 0 &&
        setxattr(s.path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0) {
      ASSERT_TRUE(s.save());
      char value[16] = {};
      EXPECT_EQ(getxattr(s.path.c_str(), "user.origin", value, sizeof value), 4);
      EXPECT_STREQ(value, "mine");
      std::vector<char> now(256);
      now.resize(static_cast<size_t>(std::max<ssize_t>(0, getxattr(s.path.c_str(), "system.posix_acl_access", now.data(), now.size()))));
      EXPECT_EQ(now, acl);
      removexattr(s.path.c_str(), "system.posix_acl_access");
    }
    // A symlink is written through and stays a link.
    const std::string real = s.path + ".real";
    fs::rename(s.path, real);
    fs::create_symlink(fs::path(real).filename(), s.path);
    ASSERT_TRUE(s.save());
    EXPECT_TRUE(fs::is_symlink(s.path));
    fs::remove(s.path);
    fs::rename(real, s.path);
    // A file with two names stays one file with the same content.
    const std::string other = s.path + ".other";
    fs::create_hard_link(s.path, other);
    s.save();
    EXPECT_EQ(fs::hard_link_count(s.path), 2u);
    EXPECT_EQ(ReadAll(other), ReadAll(s.path));
    fs::remove(other);
  }
}
