// Saves killed midway. For each kind of save, a child process runs the save
// and kills itself (SIGKILL) at one of the save's steps: after the new file is
// created, after each chunk copied into it, after it is written, synced,
// named and renamed, before and after an in-place write. Every step of every
// kind is tried, with unnamed temporary files and with the named fallback.
// Afterwards the file must be the old one or the new one, whole and readable,
// and nothing may be left beside it once the next save has looked at the
// folder.
#include "MpegTestSupport.h"
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
#include <unistd.h>

using namespace sonavex;

namespace {

using Bytes = std::vector<unsigned char>;

std::string FixturePath(const std::string& area, const std::string& name) {
  return std::string(DJVP_TEST_FIXTURES) + "/" + area + "/" + name;
}

std::u16string W(const std::string& s) { return FromUtf8(s); }

struct SaveKind {
  const char* name;
  const char* area;     // fixture folder
  const char* fixture;  // fixture file
  const char* as;       // name of the copy (its extension chooses the reader)
  int16_t format;       // what an analysis must find in the old and the new file
  bool inPlace;         // the save changes the file in place
  // Prepares the copy further (an earlier save), may be empty.
  std::function<void(const std::string&)> prepare;
  // The save, on a control that analysed the file.
  std::function<bool(CSonavexCtrl&, const std::u16string&)> save;
};

// Failures name the kind of save.
[[maybe_unused]] void PrintTo(const SaveKind& kind, std::ostream* os) { *os << kind.name; }

bool AnalyseAndSave(const SaveKind& kind, const std::string& path) {
  CSonavexCtrl c;
  c.AUDIOAnalyzeFile(W(path));
  return kind.save(c, W(path));
}

// An MP3 whose ID3v2 tag is padded to one page (an earlier save made it).
void GiveId3v2Tag(const std::string& path) {
  CSonavexCtrl c;
  c.AUDIOAnalyzeFile(W(path));
  c.SetID3V2Title(u"Old title");
  ASSERT_TRUE(c.ID3V2SaveChangesToFile(W(path)));
}

const SaveKind kKinds[] = {
    {"FlacCommentInPlace", "flac", "padded.flac", "song.flac", kFormatFLAC, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetFLACTitle(u"Killed title");
       return c.FLACSaveChangesToFile(p);
     }},
    {"FlacRewrite", "flac", "nopad.flac", "song.flac", kFormatFLAC, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetFLACDescription(std::u16string(3000, u'd'));
       return c.FLACSaveChangesToFile(p);
     }},
    {"OggRewrite", "ogg", "long.ogg", "song.ogg", kFormatOGG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetOGGTitle(u"Killed title");
       return c.OGGSaveChangesToFile(p);
     }},
    {"Id3v2InPlace", "mpeg", "cbr128_stereo_noinfo.mp3", "song.mp3", kFormatMPEG, true, GiveId3v2Tag,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetID3V2Title(u"Killed title");
       return c.ID3V2SaveChangesToFile(p);
     }},
    {"Id3v2Rewrite", "mpeg", "cbr128_stereo_noinfo.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetID3V2Title(u"Killed title");
       return c.ID3V2SaveChangesToFile(p);
     }},
    {"Id3v2Removal", "mpeg", "cbr128_stereo_noinfo.mp3", "song.mp3", kFormatMPEG, false, GiveId3v2Tag,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.ID3V2RemoveTagFromFile(p); }},
    {"Id3v1Save", "mpeg", "tag_id3v1.mp3", "song.mp3", kFormatMPEG, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetID3V1Title(u"Killed");
       return c.ID3V1SaveChangesToFile(p);
     }},
    {"Id3v1Append", "mpeg", "cbr128_stereo_noinfo.mp3", "song.mp3", kFormatMPEG, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetID3V1Title(u"Killed");
       return c.ID3V1SaveChangesToFile(p);
     }},
    {"Id3v1Removal", "mpeg", "tag_id3v1.mp3", "song.mp3", kFormatMPEG, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.ID3V1RemoveTagFromFile(p); }},
    {"ApeSave", "mpeg", "tag_ape_lyrics2_id3v1.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetAPETitle(u"Killed title");
       return c.APESaveChangesToFile(p);
     }},
    {"ApeRemoval", "mpeg", "tag_ape_id3v1.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.APERemoveTagFromFile(p); }},
    {"Lyrics3Save", "mpeg", "tag_lyrics2_id3v1.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetLYRICSTitle(u"Killed title");
       return c.LYRICSSaveChangesToFile(p);
     }},
    {"Lyrics3Removal", "mpeg", "tag_lyrics2_id3v1.mp3", "song.mp3", kFormatMPEG, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.LYRICSRemoveTagFromFile(p); }},
    {"WmaInPlace", "wma", "typed.wma", "song.wma", kFormatWMA, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetWMATitle(u"Killed");
       return c.WMASaveChangesToFile(p);
     }},
    {"WmaRewrite", "wma", "plain.wma", "song.wma", kFormatWMA, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetWMAComment(std::u16string(6000, u'c'));
       return c.WMASaveChangesToFile(p);
     }},
    {"MpegHeaderBit", "mpeg", "crc_stereo.mp3", "song.mp3", kFormatMPEG, true, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) { return c.MPEGModifyCopyrightBit(p, 1); }},
    {"GenericSaveMonkey", "monkey", "new_3990_tagged.ape", "song.ape", kFormatMonkey, false, nullptr,
     [](CSonavexCtrl& c, const std::u16string& p) {
       c.SetAUDIOTitle(u"Killed title");
       return c.AUDIOSaveChangesToFile(p);
     }},
};

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
    const size_t kept = indexOf(SaveStep::kOldKept), unmarked = indexOf(SaveStep::kUnmarked),
                 dropped = indexOf(SaveStep::kOldDropped);
    if (!inPlace) {
      ASSERT_LT(kept, unmarked);
      ASSERT_LT(unmarked, dropped);
      ASSERT_LT(dropped, steps.size());
      EXPECT_LT(indexOf(SaveStep::kOverwriting), indexOf(SaveStep::kOverwritten));
    }

    for (size_t k = 0; k < steps.size(); ++k) {
      SCOPED_TRACE("killed at step " + std::to_string(k));
      TempDir::Write(path, oldBytes);  // into the same file
      ASSERT_NO_FATAL_FAILURE(SaveKilledAt(kind, path, hooks, k));

      const bool journalLeft = !inPlace && k >= kept && k < dropped;
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
      // journal has gone.
      EXPECT_EQ(TempDir::Read(twin), done ? newBytes : oldBytes);
      EXPECT_EQ(safefile::SweepFolder(dir.path().string()), 0);
      checkOneFile(done ? newBytes : oldBytes);
      EXPECT_TRUE(journal().empty());
      CSonavexCtrl check;
      EXPECT_EQ(check.AUDIOAnalyzeFile(W(path)), kind.format);
      EXPECT_EQ(Names(dir.path()), (std::set<std::string>{kind.as, "other"}));
      EXPECT_EQ(Names(dir.path() / "other"), std::set<std::string>{kind.as});
    }
    SaveHooks() = SaveTestHooks{};
  }
}

// A save that is running keeps its copy of the old content: a sweep of the
// folder, a read of the file and another save's start leave it and the file
// alone, and the save then finishes with the new content.
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
  };
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  c.SetID3V2Title(u"While others look");
  const bool ok = c.ID3V2SaveChangesToFile(W(path));
  SaveHooks() = SaveTestHooks{};
  ASSERT_TRUE(ok) << c.AUDIOGetLastErrorNumber();
  EXPECT_EQ(results, (std::vector<int>{EBUSY, EBUSY, kErrFileBusy}));
  CSonavexCtrl r;
  ASSERT_EQ(r.AUDIOAnalyzeFile(W(dir.file("twin.mp3"))), kFormatMPEG);
  EXPECT_EQ(r.GetID3V2Title(), u"While others look");
  EXPECT_EQ(std::filesystem::hard_link_count(path), 2u);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"song.mp3", "twin.mp3"}));
}
