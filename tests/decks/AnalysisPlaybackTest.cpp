// A song analysis of the library while deck 1 plays its playlist with Auto
// Mix: the click returns at once, the playback timer keeps running between
// and during the measurements, and the deck's sound never drops out.
#include "DeckTestEnv.h"
#include "TempDir.h"
#include "decks/Transport.h"
#include "library/SearchButtons.h"
#include "ui/TrackColumns.h"

#include <QCoreApplication>
#include <QFile>
#include <QTableView>
#include <QThread>

#include <filesystem>

// ThreadSanitizer's runtime (clang 14) stops with an internal check when a
// thread other than the main one starts a child process, as the measuring
// thread does for the gain tool.
#if defined(__SANITIZE_THREAD__)
#define DJVP_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define DJVP_UNDER_TSAN 1
#endif
#endif

namespace {

// Deck 1 plays a playlist far longer than any run (5-second tones, mixed
// 2 s before their ends); the library holds copies of songs to measure.
class AnalysisWhilePlaying : public ::testing::Test {
 protected:
  void SetUp() override {
    d.w->MixTime = 2;
    for (int i = 0; i < 20; ++i) d.Add(1, i % 3 == 0 ? "tone440.ogg" : i % 3 == 1 ? "tone550.ogg" : "tone660.ogg");
  }

  void AddSongs(std::initializer_list<const char*> names) {
    djvp::Grid& library = *d.w->DummyPlaylist;
    for (const char* name : names) {
      const std::string copy =
          songs.file(std::to_string(library.RowCount() + 1) + "-" + std::filesystem::path(name).filename().string());
      std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES "/") + name, copy);
      const int32_t row = library.AddRow();
      library.SetTextAt(row, djvp::ui::kFilename, QString::fromStdString(copy));
    }
    library.View()->selectAll();
  }

  // 55 ms of sound and the playback timer, then the window's other events.
  void Tick() {
    const std::vector<float> block = d.Tick();
    heard.insert(heard.end(), block.begin(), block.end());
    QCoreApplication::processEvents();
  }

  // The longest run of silent frames in what deck 1 played.
  size_t LongestSilence() const {
    size_t quiet = 0, longest = 0;
    for (size_t i = 0; i < heard.size(); i += 2) {
      quiet = std::fabs(heard[i]) < 1e-4f ? quiet + 1 : 0;
      longest = std::max(longest, quiet);
    }
    return longest;
  }

  // Deck 1's players: the first song's, then its successor's.
  djvp::clsBassPlayer& A() { return d.P(1, 0); }
  djvp::clsBassPlayer& B() { return d.P(1, 1); }

  DeckWorld d;
  TempDir songs;
  std::vector<float> heard;
};

}  // namespace

TEST_F(AnalysisWhilePlaying, TheDeckPlaysAndMixesOnWithoutAGapDuringABpmRun) {
  AddSongs({"decks/tone440.ogg", "decks/tone550.ogg", "decks/loud.flac", "decks/quiet.flac", "player/gap.flac",
            "analysis/beat.mp3", "analysis/beat.ogg"});
  decks::cmdPlayer_Transport(*d.w, 7);  // Play on deck 1
  ASSERT_TRUE(A().IsPlaying());
  // Close to the mix time, so that Auto Mix has work to do during the run.
  while (DeckWorld::Pos(A()) < 2.5) Tick();

  d.w->cmdSearch[library::kCalculateBPM].click();
  ASSERT_TRUE(d.w->AnalysisRunning) << "the click returns while the songs are measured";
  int ticksDuringRun = 0;
  while (d.w->AnalysisRunning && ticksDuringRun < 1000) {
    Tick();
    ++ticksDuringRun;
    QThread::msleep(2);  // roughly a timer's pace; the measuring thread works meanwhile
  }
  ASSERT_FALSE(d.w->AnalysisRunning) << "the run ended while the playlist played";
  for (int n = 0; n < 10; ++n) Tick();

  EXPECT_TRUE(d.env().messages.empty());
  EXPECT_GE(ticksDuringRun, 1);
  EXPECT_TRUE(A().IsPlaying() || B().IsPlaying());
  EXPECT_LT(LongestSilence(), 44u) << "frames of silence in a row, of " << heard.size() / 2;
  const djvp::Grid& library = *d.w->DummyPlaylist;
  for (int32_t row = 1; row <= library.RowCount(); ++row)
    EXPECT_EQ(library.TextAt(row, djvp::ui::kBPM).size(), 5) << library.TextAt(row, djvp::ui::kBPM).toStdString();
}

// The gain tool stands in for a long measurement: it answers only when the
// test lets it. Meanwhile Auto Mix brings the next song in on time.
TEST_F(AnalysisWhilePlaying, AutoMixGoesOnWhileASongIsMeasured) {
#ifdef DJVP_UNDER_TSAN
  GTEST_SKIP() << "ThreadSanitizer's runtime cannot follow a child process started from a thread";
#endif
  TempDir tool;
  const std::string release = tool.file("release");
  TempDir::Write(tool.file("mp3gain"),
                 "#!/bin/sh\n"
                 "while [ ! -e '" + release + "' ]; do sleep 0.01; done\n"
                 "printf 'File\\tMP3 gain\\tdB gain\\tMax Amplitude\\tMax global_gain\\tMin global_gain\\n'\n"
                 "printf '%s\\t-3\\t-4.500000\\t30000.000000\\t210\\t120\\n' \"$4\"\n");
  std::filesystem::permissions(tool.file("mp3gain"), std::filesystem::perms::owner_all);
  const char* path = std::getenv("PATH");
  ScopedEnv withTool("PATH", tool.path().string() + ":" + (path ? path : "/usr/bin:/bin"));
  // The gain run asks the tag library whether a song is an MP3 file.
  QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libSonavex2.so"),
              d.env().program + QStringLiteral("/libSonavex2.so"));
  d.w->CreateSonavex(d.env().program);
  ASSERT_TRUE(d.w->Sonavex1);
  AddSongs({"gain/loud.mp3"});

  decks::cmdPlayer_Transport(*d.w, 7);
  d.w->cmdSearch[library::kCalculateGain].click();
  // Through the mix time of the first song and 1 s into the crossfade.
  while (DeckWorld::Pos(A()) < 4.0) Tick();
  EXPECT_TRUE(d.w->AnalysisRunning) << "the song is still being measured";
  EXPECT_TRUE(B().IsPlaying()) << "Auto Mix started the next song meanwhile";
  EXPECT_GT(DeckWorld::Pos(B()), 0.9);

  TempDir::Write(release, "");
  for (int n = 0; n < 1000 && d.w->AnalysisRunning; ++n) {
    Tick();
    QThread::msleep(1);
  }
  ASSERT_FALSE(d.w->AnalysisRunning);
  EXPECT_TRUE(d.env().messages.empty());
  EXPECT_EQ(d.w->DummyPlaylist->TextAt(1, djvp::ui::kGain), QStringLiteral("93.5"));  // 89 - (-4.5)
  EXPECT_LT(LongestSilence(), 44u);
}
