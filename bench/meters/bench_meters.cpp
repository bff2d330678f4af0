// The meter ticks' cost on the window's thread: the three timers' handlers
// of the main window (deck 1, deck 2, master) run one after the other while
// all four deck players play on the "No sound" device, so each reads one
// player's level. "steady": the levels light what the meters already show,
// so nothing is drawn; "redraw": every meter was set to another picture
// before the round, so all four panels draw their ten LEDs.
#include "app/DeviceSet.h"
#include "app/frmMain.h"
#include "engine/Engine.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

djvp::frmMain* g_form = nullptr;

void Round() {
  g_form->tmrdB1_ThatTime();
  g_form->tmrdB2_ThatTime();
  g_form->tmrdBVolume_ThatTime();
}

void BM_MeterTicksSteady(benchmark::State& state) {
  Round();
  for (auto _ : state) Round();
}
BENCHMARK(BM_MeterTicksSteady)->Unit(benchmark::kMicrosecond);

void BM_MeterTicksRedraw(benchmark::State& state) {
  djvp::MainState& s = g_form->State();
  for (auto _ : state) {
    state.PauseTiming();
    for (djvp::ui::LedMeter* m : {&s.pctVolume1, &s.pctVolume2, &s.pctVolumeLeft, &s.pctVolumeRight})
      m->setLit(m->lit() == 0 ? 10 : 0);
    state.ResumeTiming();
    Round();
  }
}
BENCHMARK(BM_MeterTicksRedraw)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  // A world of its own: settings, data and class registry in the temporary
  // folder, no sound devices, no dialogs.
  qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
  qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
  qputenv("AUTOMATION_REGISTRY_FILE", dir.filePath(QStringLiteral("registry.ini")).toUtf8());
  djvp::SetProgramFolder(dir.filePath(QStringLiteral("program")));
  djvp::SetMsgBoxHook([](const QString&, djvp::MsgButtons) { return djvp::MsgResult::Ok; });
  djvp::DeviceNamesOverride() = std::vector<std::string>{};
  djvp::DeviceOpsOverride() = djvp::DeviceSet::Ops{[](int, uint32_t) { return true; }, [](int) {}};

  auto form = std::make_unique<djvp::frmMain>();
  g_form = form.get();
  form->show();
  QApplication::processEvents();

  // The four players play a steady tone on "No sound"; the manual clock
  // holds the levels still, so every round reads the same.
  engine::SetManualClock(true);
  for (djvp::DeckId deck : djvp::kBothDecks)
    for (int ab : {0, 1}) {
      djvp::clsBassPlayer& p = *form->State().Player(deck, ab);
      p.device(0);
      p.PreDevice(0);
      p.filename(QStringLiteral(DJVP_FIXTURES "/decks/loud.flac"));
      p.OpenFile();
      p.StartMixPoint(0);
      p.volume(100);
      p.Play();
    }
  std::vector<float> out(2 * 4410);
  engine::RenderNoSound(out.data(), 4410);

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (djvp::DeckId deck : djvp::kBothDecks)
    for (int ab : {0, 1}) form->State().Player(deck, ab)->StopPlay();
  form.reset();
  return 0;
}
