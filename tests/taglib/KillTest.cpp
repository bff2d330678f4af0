// Saves killed midway. For each kind of save, a child process runs the save
// and kills itself (SIGKILL) at one of the save's steps: after the new file is
// created, after each chunk copied into it, after it is written, synced,
// named and renamed, before and after an in-place write. Every step of every
// kind is tried, with unnamed temporary files and with the named fallback.
// Afterwards the file must be the old one or the new one, whole and readable,
// and nothing may be left beside it once the next save has looked at the
// folder.
#include "SaveKinds.h"
#include "SafeWrite.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <ostream>
#include <set>
#include <sys/wait.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace sonavex;

namespace {

using namespace savekinds;
using mpegtest::W;

// The steps a save runs through, as the hook sees them.
struct Recorder {
  static std::vector<SaveStep> steps;
  static std::vector<std::pair<int64_t, int64_t>> inPlaceWrites;
  static void Hook(SaveStep step, int64_t offset, int64_t length) {
    steps.push_back(step);
    if (step == SaveStep::kInPlaceWrite) inPlaceWrites.emplace_back(offset, length);
  }
};
std::vector<SaveStep> Recorder::steps;
std::vector<std::pair<int64_t, int64_t>> Recorder::inPlaceWrites;

// In the child: dies at the step with this number.
int g_killAt = -1;
int g_seen = 0;
void KillHook(SaveStep, int64_t, int64_t) {
  if (g_seen++ == g_killAt) raise(SIGKILL);
}

// Runs the save in a child process that dies at step k.
void SaveKilledAt(const SaveKind& kind, const std::string& path, const SaveTestHooks& hooks, size_t k) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SaveHooks() = hooks;
    g_killAt = static_cast<int>(k);
    g_seen = 0;
    SaveHooks().step = KillHook;
    AnalyseAndSave(kind, path);
    _exit(3);  // the save ran through: the kill never came
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

std::set<std::string> Names(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

class KilledSave : public ::testing::TestWithParam<SaveKind> {
 protected:
  void TearDown() override { SaveHooks() = SaveTestHooks{}; }
};

}  // namespace

TEST_P(KilledSave, LeavesTheOldOrTheNewFileAndNothingElse) {
  const SaveKind& kind = GetParam();
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named fallback" : "unnamed temporary file");
    SaveTestHooks hooks;
    hooks.noTmpfile = named;
    hooks.copyChunk = 4096;  // many steps in the copy of the audio

    TempDir dir;
    const std::string path = dir.file(kind.as);
    std::filesystem::copy_file(FixturePath(kind.area, kind.fixture), path);
    if (kind.prepare) kind.prepare(path);
    const Bytes oldBytes = TempDir::Read(path);

    // The new file, from a save that runs through, and its steps.
    SaveHooks() = hooks;
    SaveHooks().step = Recorder::Hook;
    Recorder::steps.clear();
    Recorder::inPlaceWrites.clear();
    ASSERT_TRUE(AnalyseAndSave(kind, path));
    // A write in place cannot tear: it stays within one page (or cuts the file).
    for (const auto& [offset, length] : Recorder::inPlaceWrites)
      EXPECT_TRUE(length == 0 || FitsOnePage(offset, static_cast<size_t>(length))) << offset << "+" << length;
    const std::vector<SaveStep> steps = Recorder::steps;
    SaveHooks().step = nullptr;
    const Bytes newBytes = TempDir::Read(path);
    ASSERT_NE(newBytes, oldBytes);
    ASSERT_FALSE(steps.empty());
    {
      CSonavexCtrl check;
      ASSERT_EQ(check.AUDIOAnalyzeFile(W(path)), kind.format);
    }
    const bool inPlace = steps.front() == SaveStep::kInPlaceWrite;
    EXPECT_EQ(inPlace, kind.inPlace);

    for (size_t k = 0; k < steps.size(); ++k) {
      SCOPED_TRACE("killed at step " + std::to_string(k));
      TempDir::Write(path, oldBytes);
      ASSERT_NO_FATAL_FAILURE(SaveKilledAt(kind, path, hooks, k));

      // The old or the new file: the new one once it has replaced the old
      // one (or once the in-place write has happened).
      const Bytes now = TempDir::Read(path);
      const auto reached = steps.begin() + static_cast<std::ptrdiff_t>(k) + 1;
      const bool done =
          std::find(steps.begin(), reached, inPlace ? SaveStep::kInPlaceWritten : SaveStep::kRenamed) != reached;
      EXPECT_EQ(now, done ? newBytes : oldBytes);
      CSonavexCtrl check;
      EXPECT_EQ(check.AUDIOAnalyzeFile(W(path)), kind.format);

      // Only a named new file can be left: a hidden one, which the next
      // rewrite in the folder removes.
      std::set<std::string> names = Names(dir.path());
      names.erase(kind.as);
      for (const auto& n : names) EXPECT_EQ(n.rfind(".sonavex-", 0), 0u) << n;
      const bool mayLeave = named || steps[k] == SaveStep::kLinked;
      if (!mayLeave) {
        EXPECT_TRUE(names.empty());
      }
      FileState state;
      SafeRewrite next(state);
      ASSERT_TRUE(next.Begin(W(path))) << state.lastError;
      next.Abort();
      EXPECT_EQ(Names(dir.path()), std::set<std::string>{kind.as});
    }
    SaveHooks() = SaveTestHooks{};
  }
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfSave, KilledSave, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<SaveKind>& info) { return info.param.name; });

// The same saves on a file with a second name in another folder. A rewrite
// goes into the file itself, with a journal beside the name saved (a copy
// of the old content and a further name of the file) from the moment the
// copy is complete until the new content is synced and the file's mark is
// gone. Killed at any step, the file stays one file under both names (the
// same inode); where the mark is left, whatever meets the file next (an
// analysis or a save's start through either name, in either folder, or a
// sweep of the folder, taken in turn) gives the old content back; a
// journal without the mark is only removed; otherwise the file is the old
// or the new one as it stands.
TEST_P(KilledSave, FileWithSeveralNamesStaysOneFileAndOldOrNew) {
  const SaveKind& kind = GetParam();
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named fallback" : "unnamed temporary file");
    SaveTestHooks hooks;
    hooks.noTmpfile = named;
    hooks.copyChunk = 4096;  // many steps in the copies
    hooks.lockWaitMs = 0;    // nothing here waits for a lock

    TempDir dir;
    const std::string path = dir.file(kind.as);
    const std::string twin = dir.file("other/" + std::string(kind.as));
    std::filesystem::copy_file(FixturePath(kind.area, kind.fixture), path);
    std::filesystem::create_directory(dir.path() / "other");
    std::filesystem::create_hard_link(path, twin);
    if (kind.prepare) kind.prepare(path);
    const Bytes oldBytes = TempDir::Read(path);
    struct stat first;
    ASSERT_EQ(stat(path.c_str(), &first), 0);
    ASSERT_EQ(first.st_nlink, 2u);

    // The journal's names left in the song's folder.
    auto journal = [&] {
      std::set<std::string> names = Names(dir.path());
      names.erase(kind.as);
      names.erase("other");
      std::set<std::string> ours;
      for (const auto& n : names)
        if (n.rfind(".sonavex-copy-", 0) == 0 || n.rfind(".sonavex-song-", 0) == 0) ours.insert(n);
      return ours;
    };
    // One file under both names, and nothing of ours beside it.
    auto checkOneFile = [&](const Bytes& content) {
      struct stat now;
      ASSERT_EQ(stat(path.c_str(), &now), 0);
      EXPECT_EQ(now.st_ino, first.st_ino);
      EXPECT_EQ(now.st_nlink, 2u);
      EXPECT_EQ(TempDir::Read(path), content);
      EXPECT_EQ(TempDir::Read(twin), content);
    };

    SaveHooks() = hooks;
    SaveHooks().step = Recorder::Hook;
    Recorder::steps.clear();
    ASSERT_TRUE(AnalyseAndSave(kind, path));
    const std::vector<SaveStep> steps = Recorder::steps;
    SaveHooks().step = nullptr;
    const Bytes newBytes = TempDir::Read(path);
    ASSERT_NE(newBytes, oldBytes);
    checkOneFile(newBytes);
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{kind.as, "other"}));
    const bool inPlace = steps.front() == SaveStep::kInPlaceWrite;
    EXPECT_EQ(inPlace, kind.inPlace);
    auto indexOf = [&](SaveStep s) {
      return static_cast<size_t>(std::find(steps.begin(), steps.end(), s) - steps.begin());
    };
    const size_t journalNamed = indexOf(SaveStep::kJournalNamed), kept = indexOf(SaveStep::kOldKept),
                 unmarked = indexOf(SaveStep::kUnmarked), dropped = indexOf(SaveStep::kOldDropped);
    if (!inPlace) {
      ASSERT_LT(journalNamed, kept);
      ASSERT_LT(kept, unmarked);
      ASSERT_LT(unmarked, dropped);
      ASSERT_LT(dropped, steps.size());
      EXPECT_LT(indexOf(SaveStep::kOverwriting), indexOf(SaveStep::kOverwritten));
    }

    for (size_t k = 0; k < steps.size(); ++k) {
      SCOPED_TRACE("killed at step " + std::to_string(k));
      TempDir::Write(path, oldBytes);  // into the same file
      ASSERT_NO_FATAL_FAILURE(SaveKilledAt(kind, path, hooks, k));

      const bool journalLeft = !inPlace && k >= journalNamed && k < dropped;
      const bool done = inPlace ? indexOf(SaveStep::kInPlaceWritten) <= k : k >= unmarked;
      EXPECT_EQ(journal().size(), journalLeft ? 2u : 0u);
      struct stat now;
      ASSERT_EQ(stat(path.c_str(), &now), 0);
      EXPECT_EQ(now.st_ino, first.st_ino);
      EXPECT_EQ(now.st_nlink, journalLeft ? 3u : 2u);  // the journal holds a further name
      if (!journalLeft) {
        checkOneFile(done ? newBytes : oldBytes);
      }

      // What finds the leftovers: an analysis or the next save's start
      // through the name in the other folder, a sweep of the song's folder,
      // or an analysis through the name saved. Then the file is whole: old,
      // or new when the save had finished.
      switch (k % 4) {
        case 0: {
          CSonavexCtrl check;
          EXPECT_EQ(check.AUDIOAnalyzeFile(W(twin)), kind.format);
          break;
        }
        case 1: {
          FileState state;
          SafeRewrite next(state);
          ASSERT_TRUE(next.Begin(W(twin))) << state.lastError;
          next.Abort();
          break;
        }
        case 2: EXPECT_EQ(safefile::SweepFolder(dir.path().string()), 0); break;
        default: {
          CSonavexCtrl check;
          EXPECT_EQ(check.AUDIOAnalyzeFile(W(path)), kind.format);
        }
      }
      // Never the old content once the save has finished, also after the
      // journal has gone. Each of them leaves no journal behind, in
      // whichever folder it is; a read or a save leaves no mark either.
      EXPECT_EQ(TempDir::Read(twin), done ? newBytes : oldBytes);
      EXPECT_TRUE(journal().empty());
      if (k % 4 != 2) {
        EXPECT_EQ(getxattr(path.c_str(), "user.sonavex.rewrite", nullptr, 0), -1);
      }
      EXPECT_EQ(safefile::SweepFolder(dir.path().string()), 0);
      checkOneFile(done ? newBytes : oldBytes);
      EXPECT_TRUE(journal().empty());
      CSonavexCtrl check;
      EXPECT_EQ(check.AUDIOAnalyzeFile(W(path)), kind.format);
      EXPECT_EQ(getxattr(path.c_str(), "user.sonavex.rewrite", nullptr, 0), -1);
      EXPECT_EQ(Names(dir.path()), (std::set<std::string>{kind.as, "other"}));
      EXPECT_EQ(Names(dir.path() / "other"), std::set<std::string>{kind.as});
    }
    SaveHooks() = SaveTestHooks{};
  }
}

// A save that is running keeps its copy of the old content: a sweep of the
// folder, a read of the file and another save's start leave it and the file
// alone (an analysis that may not wait fails rather than read the file
// torn), and the save then finishes with the new content.
TEST(KilledSave, RunningRewriteOfAFileWithSeveralNamesIsLeftAlone) {
  TempDir dir;
  const std::string path = dir.file("song.mp3");
  std::filesystem::copy_file(FixturePath("mpeg", "cbr128_stereo_noinfo.mp3"), path);
  std::filesystem::create_hard_link(path, dir.file("twin.mp3"));
  static std::string folder, song;
  static std::vector<int> results;
  folder = dir.path().string();
  song = path;
  results.clear();
  SaveHooks().copyChunk = 4096;
  SaveHooks().lockWaitMs = 0;
  SaveHooks().step = [](SaveStep step, int64_t, int64_t) {
    if (step != SaveStep::kOverwriting || !results.empty()) return;
    results.push_back(safefile::SweepFolder(folder));
    results.push_back(safefile::RecoverFile(song));
    FileState state;
    SafeRewrite other(state);
    results.push_back(other.Begin(W(song)) ? 0 : state.lastError);
    CSonavexCtrl reader;
    results.push_back(reader.AUDIOAnalyzeFile(W(folder + "/twin.mp3")) == kFormatNone ? reader.AUDIOGetLastErrorNumber()
                                                                                      : 0);
  };
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  c.SetID3V2Title(u"While others look");
  const bool ok = c.ID3V2SaveChangesToFile(W(path));
  SaveHooks() = SaveTestHooks{};
  ASSERT_TRUE(ok) << c.AUDIOGetLastErrorNumber();
  EXPECT_EQ(results, (std::vector<int>{safefile::kErrBusy, safefile::kErrBusy, kErrFileBusy, kErrFileBusy}));
  CSonavexCtrl r;
  ASSERT_EQ(r.AUDIOAnalyzeFile(W(dir.file("twin.mp3"))), kFormatMPEG);
  EXPECT_EQ(r.GetID3V2Title(), u"While others look");
  EXPECT_EQ(std::filesystem::hard_link_count(path), 2u);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"song.mp3", "twin.mp3"}));
}

// A song with names in two folders, its save through the first killed
// after the new content went in but before the file was cut to its length:
// a read through the second name finds the song as it was, a save through
// it succeeds, and nothing puts the killed save's old content back over
// that save afterwards (a read or a sweep through the first folder).
TEST(KilledSave, UndoneThroughAnotherFolderAndNeverAfterALaterSave) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "a");
  std::filesystem::create_directory(dir.path() / "b");
  const std::string a = dir.file("a/song.mp3"), b = dir.file("b/song.mp3");
  std::filesystem::copy_file(FixturePath("mpeg", "tag_ape_lyrics2_id3v1.mp3"), a);
  std::filesystem::create_hard_link(a, b);
  const Bytes oldBytes = TempDir::Read(a);
  const SaveKind& kind = *std::find_if(std::begin(kKinds), std::end(kKinds),
                                       [](const SaveKind& k) { return std::string(k.name) == "ApeSave"; });
  SaveTestHooks hooks;
  hooks.copyChunk = 4096;
  SaveHooks() = hooks;
  SaveHooks().step = Recorder::Hook;
  Recorder::steps.clear();
  ASSERT_TRUE(AnalyseAndSave(kind, a));
  SaveHooks() = SaveTestHooks{};
  // The last piece of the new content is in: the next step cuts the file.
  const auto last = std::find(Recorder::steps.rbegin(), Recorder::steps.rend(), SaveStep::kOverwriting);
  ASSERT_NE(last, Recorder::steps.rend());
  const size_t k = static_cast<size_t>(Recorder::steps.rend() - last) - 1;
  ASSERT_EQ(Recorder::steps[k + 1], SaveStep::kOverwritten);

  TempDir::Write(a, oldBytes);
  ASSERT_NO_FATAL_FAILURE(SaveKilledAt(kind, a, hooks, k));
  ASSERT_NE(TempDir::Read(b), oldBytes);  // torn

  CSonavexCtrl throughB;
  ASSERT_EQ(throughB.AUDIOAnalyzeFile(W(b)), kFormatMPEG);
  EXPECT_EQ(TempDir::Read(b), oldBytes);
  throughB.SetAPETitle(u"Saved through B");
  ASSERT_TRUE(throughB.APESaveChangesToFile(W(b))) << throughB.AUDIOGetLastErrorNumber();
  const Bytes savedBytes = TempDir::Read(b);

  CSonavexCtrl throughA;
  ASSERT_EQ(throughA.AUDIOAnalyzeFile(W(a)), kFormatMPEG);
  EXPECT_EQ(throughA.GetAPETitle(), u"Saved through B");
  EXPECT_EQ(safefile::SweepFolder(dir.file("a")), 0);
  EXPECT_EQ(safefile::SweepFolder(dir.file("b")), 0);
  EXPECT_EQ(TempDir::Read(a), savedBytes);
  EXPECT_EQ(std::filesystem::hard_link_count(a), 2u);
  EXPECT_EQ(Names(dir.path() / "a"), std::set<std::string>{"song.mp3"});
  EXPECT_EQ(Names(dir.path() / "b"), std::set<std::string>{"song.mp3"});
}
