// Load, sort and find on a 100,000-row library file, in a grid that is shown
// (offscreen unless QT_QPA_PLATFORM says otherwise), as the library grid is.
#include "bench/common/LibraryFile.h"
#include "platform/Grid.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

using djvp::Grid;
using djvp::GridSortSpec;

namespace {

constexpr int kRows = 100000;
using bench::kTrackKeys;

QString g_file;  // the library file every benchmark reads

std::unique_ptr<Grid> NewGrid() {
  auto g = std::make_unique<Grid>();
  bench::AddTrackColumns(*g);
  g->SetMultiSelect(true);
  g->SetRowMode(true);
  g->resize(1200, 700);
  g->show();
  QApplication::processEvents();
  return g;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

void BM_LoadFromFile(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto g = NewGrid();
    state.ResumeTiming();
    if (!g->LoadFromFile(g_file)) state.SkipWithError("load failed");
    state.PauseTiming();
    state.counters["rows"] = g->RowCount();
    g.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_SaveToFile(benchmark::State& state) {
  auto g = NewGrid();
  g->LoadFromFile(g_file);
  const QString out = g_file + QStringLiteral(".out");
  for (auto _ : state) {
    if (!g->SaveToFile(out)) state.SkipWithError("save failed");
  }
  QFile::remove(out);
}
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// One header click: sort by that column, alternating ascending/descending,
// with one row selected that follows the sort.
void BM_SortByColumn(benchmark::State& state) {
  auto g = NewGrid();
  g->LoadFromFile(g_file);
  const int column = static_cast<int>(state.range(0));
  g->SetCurrentRow(kRows / 2);
  int order = GridSortSpec::kAscending;
  for (auto _ : state) {
    GridSortSpec& sortSpec = g->SortSpec();
    sortSpec.Clear();
    sortSpec.SetColumn(1, column);
    sortSpec.SetOrder(1, order);
    sortSpec.SetKind(1, g->ColumnSortKind(column));
    g->ApplySort();
    order = order == GridSortSpec::kAscending ? GridSortSpec::kDescending : GridSortSpec::kAscending;
  }
  state.SetLabel(std::string(kTrackKeys[column - 1]));
  state.counters["RSS_MiB"] = static_cast<double>(ResidentKiB()) / 1024.0;
}
BENCHMARK(BM_SortByColumn)->Arg(1)->Arg(3)->Arg(5)->Arg(9)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

// Filling the grid row by row and cell by cell, as the folder import and the
// copies to a deck do (without the tag reading around it).
void BM_AddRowsAndCells(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto g = NewGrid();
    state.ResumeTiming();
    for (int i = 0; i < kRows; ++i) {
      const int r = g->AddRow();
      for (int c = 1; c <= 13; ++c) g->SetTextAt(r, c, QStringLiteral("cell text"));
    }
    state.PauseTiming();
    g.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AddRowsAndCells)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Quick find: a text no row starts with (every row is looked at), and the
// artist of the last row.
void BM_FindRowByText(benchmark::State& state) {
  auto g = NewGrid();
  g->LoadFromFile(g_file);
  g->SetSearchColumn(1);
  const QString text = state.range(0) == 0 ? QStringLiteral("ZZZ NO SUCH ARTIST") : g->TextAt(kRows, 1).toUpper();
  int32_t found = 0;
  for (auto _ : state) {
    found = g->FindRowByText(text);
    benchmark::DoNotOptimize(found);
  }
  state.SetLabel(state.range(0) == 0 ? "no match" : "match in the last row");
  state.counters["row"] = found;
}
BENCHMARK(BM_FindRowByText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_file = QDir(dir.path()).filePath(QStringLiteral("djv.ndx"));
  bench::WriteLibraryFile(g_file, kRows);
  std::fprintf(stderr, "library file: %lld bytes, %d rows\n", static_cast<long long>(QFile(g_file).size()), kRows);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
