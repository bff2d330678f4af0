// Folder import speed: a tree of 2,000 tagged MP3 files (20 folders of 100)
// imported into a deck's playlist by the Folder button's walk, with a warm
// file cache, the window and its progress frame shown. Reports files per
// second. And a tree of 20,000 files that only look like songs (empty
// "*.mp3" files, 20 folders of 1,000) imported by the Folder button: every
// one is refused, and the import ends with one message naming them.
#include "app/frmMain.h"
#include "bench/common/ProgramWorld.h"
#include "platform/BrowseForFolder.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "playlists/Import.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;
constexpr int kUnreadablePerFolder = 1000;

QTemporaryDir* g_dir = nullptr;
djvp::frmMain* g_form = nullptr;

QString Tree() { return g_dir->filePath(QStringLiteral("music")); }
QString Junk() { return g_dir->filePath(QStringLiteral("junk")); }

void BM_FolderImport(benchmark::State& state) {
  djvp::Grid& grid = *g_form->State().PlayListView[0];
  int64_t rows = 0;
  for (auto _ : state) {
    state.PauseTiming();
    grid.DeleteAllRows();
    state.ResumeTiming();
    playlists::ImportPath(g_form->State(), Tree() + QLatin1Char('/'), grid, false);
    rows += grid.RowCount();
  }
  if (grid.RowCount() != kFolders * kFilesPerFolder) state.SkipWithError("not every file became a row");
  state.SetItemsProcessed(rows);
  state.counters["files_per_second"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FolderImport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_UnreadableFolderImport(benchmark::State& state) {
  djvp::MainState& s = g_form->State();
  djvp::Grid& grid = *s.PlayListView[1];
  djvp::clsBrowseForFolder::SetDialogHook(
      [](const djvp::FolderDialogRequest&, djvp::FolderDialogDriver&) { return std::optional<QString>(Junk()); });
  int messages = 0;
  qsizetype longest = 0;
  const auto previous = djvp::SetMsgBoxHook([&](const QString& text, djvp::MsgButtons) {
    ++messages;
    longest = std::max(longest, text.size());
    return djvp::MsgResult::Ok;
  });
  int64_t files = 0;
  for (auto _ : state) {
    playlists::ImportFolder(s, grid);
    files += kFolders * kUnreadablePerFolder;
  }
  djvp::SetMsgBoxHook(previous);
  djvp::clsBrowseForFolder::SetDialogHook({});
  if (grid.RowCount() != 0) state.SkipWithError("a file that is no song became a row");
  if (messages != static_cast<int>(state.iterations())) state.SkipWithError("not one message per import");
  state.SetItemsProcessed(files);
  state.counters["messages_per_import"] = static_cast<double>(messages) / static_cast<double>(state.iterations());
  state.counters["message_chars"] = static_cast<double>(longest);
}
BENCHMARK(BM_UnreadableFolderImport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  // A world of its own: settings, data and class registry in the temporary
  // folder, no sound devices, no dialogs.
  bench::MakeProgramWorld(dir);

  const QString song = QStringLiteral(DJVP_FIXTURES "/playlists/tagged.mp3");
  for (int f = 0; f < kFolders; ++f) {
    const QString folder = Tree() + QStringLiteral("/Folder %1").arg(f, 2, 10, QLatin1Char('0'));
    QDir().mkpath(folder);
    for (int i = 0; i < kFilesPerFolder; ++i)
      QFile::copy(song, folder + QStringLiteral("/Track %1.mp3").arg(i, 3, 10, QLatin1Char('0')));
  }
  for (int f = 0; f < kFolders; ++f) {
    const QString folder = Junk() + QStringLiteral("/Folder %1").arg(f, 2, 10, QLatin1Char('0'));
    QDir().mkpath(folder);
    for (int i = 0; i < kUnreadablePerFolder; ++i) {
      QFile empty(folder + QStringLiteral("/Empty %1.mp3").arg(i, 4, 10, QLatin1Char('0')));
      if (!empty.open(QIODevice::WriteOnly)) return 1;
    }
  }
  auto form = std::make_unique<djvp::frmMain>();
  if (!form->State().Sonavex1) {
    std::fprintf(stderr, "the tag library could not be created (build the Sonavex2 target)\n");
    return 1;
  }
  g_form = form.get();
  // As during a real import: the window and its progress frame are shown,
  // so the bar and the path label paint for every file.
  form->show();
  form->State().Frame11.setVisible(true);
  QApplication::processEvents();
  // One import first, so the file cache is warm.
  playlists::ImportPath(g_form->State(), Tree() + QLatin1Char('/'), *g_form->State().PlayListView[0], false);

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  form.reset();
  return 0;
}
