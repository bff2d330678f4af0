// The music library's speed, in the main window (offscreen unless
// QT_QPA_PLATFORM says otherwise):
//
// * Start: the program's main window made (the index read on the way) and
//   shown, with a library index of 100,000 songs in the data folder.
// * LoadIndex: the index read into the library grid of a shown window alone.
// * Create: "Create a New Indexfile" over a tree of 10,000 songs (MP3, FLAC
//   and Ogg Vorbis with tags, made from the test fixtures), warm file cache,
//   the index saved at the end; "files_per_second" is the rate.
// * Sort: one header click at 100,000 rows, on a text column (Artist) and on
//   a number column (BPM), alternating ascending and descending.
// * Search: one change of the search box's text at 100,000 rows, a text the
//   last row starts with and one that no row starts with.
//
// The songs and the index are generated in a temporary folder.
#include "app/frmMain.h"
#include "bench/common/LibraryFile.h"
#include "bench/common/ProgramWorld.h"
#include "library/Index.h"
#include "library/LibraryGrid.h"
#include "platform/Grid.h"
#include "ui/TrackColumns.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kIndexRows = 100000;
constexpr int kFolders = 100;
constexpr int kSongsPerFolder = 100;

QTemporaryDir* g_dir = nullptr;

QString Tree() { return g_dir->filePath(QStringLiteral("music")); }
QString IndexCopy() { return g_dir->filePath(QStringLiteral("library-100000.ndx")); }

// Puts the 100,000-song index in place of the program's index.
void RestoreIndex() {
  QFile::remove(library::IndexPath());
  QFile::copy(IndexCopy(), library::IndexPath());
}

// The window made and shown, as the start routine shows it.
std::unique_ptr<djvp::frmMain> OpenWindow() {
  auto form = std::make_unique<djvp::frmMain>();
  form->show();
  while (!form->windowHandle() || !form->windowHandle()->isExposed()) QApplication::processEvents();
  QApplication::processEvents();
  return form;
}

void BM_Start(benchmark::State& state) {
  RestoreIndex();
  int32_t rows = 0;
  for (auto _ : state) {
    auto form = OpenWindow();
    state.PauseTiming();
    rows = form->State().DummyPlaylist->RowCount();
    form.reset();
    state.ResumeTiming();
  }
  if (rows != kIndexRows) state.SkipWithError("the library did not come back whole");
  state.counters["rows"] = rows;
}
BENCHMARK(BM_Start)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_LoadIndex(benchmark::State& state) {
  RestoreIndex();
  auto form = OpenWindow();
  djvp::MainState& s = form->State();
  for (auto _ : state) {
    state.PauseTiming();
    s.DummyPlaylist->DeleteAllRows();
    QApplication::processEvents();
    state.ResumeTiming();
    library::LoadLibraryIndex(s);
  }
  if (s.DummyPlaylist->RowCount() != kIndexRows) state.SkipWithError("the index was not read whole");
}
BENCHMARK(BM_LoadIndex)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Create(benchmark::State& state) {
  auto form = OpenWindow();
  djvp::MainState& s = form->State();
  s.txtSettings[0].setText(Tree());
  s.optSettings[0].setChecked(false);
  s.optSettings[1].setChecked(true);
  s.cmdSettings[0].click();  // once first, so the file cache is warm
  int64_t files = 0;
  for (auto _ : state) {
    s.cmdSettings[0].click();
    files += s.DummyPlaylist->RowCount();
  }
  if (s.DummyPlaylist->RowCount() != kFolders * kSongsPerFolder) state.SkipWithError("not every song became a row");
  state.counters["files_per_second"] = benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Create)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Sort(benchmark::State& state) {
  RestoreIndex();
  auto form = OpenWindow();
  djvp::MainState& s = form->State();
  const int column = static_cast<int>(state.range(0));
  s.DummyPlaylist->SetCurrentRow(kIndexRows / 2);
  for (auto _ : state) library::DummyPlaylist_ColumnClick(s, column);
  state.SetLabel(column == djvp::ui::kArtist ? "Artist (text)" : "BPM (number)");
}
BENCHMARK(BM_Sort)->Arg(djvp::ui::kArtist)->Arg(djvp::ui::kBPM)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void BM_Search(benchmark::State& state) {
  RestoreIndex();
  auto form = OpenWindow();
  djvp::MainState& s = form->State();
  const QString text = state.range(0) == 0 ? QStringLiteral("zzz no such artist")
                                           : s.DummyPlaylist->TextAt(kIndexRows, djvp::ui::kArtist).toLower();
  {
    const djvp::ui::EventBlocker quiet(s.Text1);
    s.Text1.setText(text);
  }
  for (auto _ : state) library::Text1_Change(s);
  state.SetLabel(state.range(0) == 0 ? "no match" : "match in the last row");
  state.counters["row"] = s.DummyPlaylist->CurrentRow();
}
BENCHMARK(BM_Search)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  bench::MakeProgramWorld(dir);

  bench::WriteLibraryFile(IndexCopy(), kIndexRows);
  const char* const kSources[] = {"tagged.mp3", "song.flac", "song.ogg"};
  const char* const kEndings[] = {"mp3", "flac", "ogg"};
  for (int f = 0; f < kFolders; ++f) {
    const QString folder = Tree() + QStringLiteral("/Artist %1/Album").arg(f, 3, 10, QLatin1Char('0'));
    QDir().mkpath(folder);
    for (int i = 0; i < kSongsPerFolder; ++i) {
      const int kind = (f * kSongsPerFolder + i) % 3;
      QFile::copy(QStringLiteral(DJVP_FIXTURES "/playlists/") + QLatin1String(kSources[kind]),
                  folder + QStringLiteral("/Track %1.").arg(i, 3, 10, QLatin1Char('0')) + QLatin1String(kEndings[kind]));
    }
  }
  std::fprintf(stderr, "index: %lld bytes, %d rows; tree: %d songs\n",
               static_cast<long long>(QFile(IndexCopy()).size()), kIndexRows, kFolders * kSongsPerFolder);
  {
    // The tag library must be there, or "Create" measures nothing.
    djvp::frmMain probe;
    if (!probe.State().Sonavex1) {
      std::fprintf(stderr, "the tag library could not be created (build the Sonavex2 target)\n");
      return 1;
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
