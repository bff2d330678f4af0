// Deck sound benchmarks (never run by CTest). Everything is set through the
// program's own handlers on the window state, as the user's controls do.
//
// * OneDeck/1: one deck with all seven effects switched on, the ten
//   equaliser bands away from flat, the three tones, the gain and tempo
//   +6 %, rendered on the manual clock on the benchmark's thread, so that
//   decoding, time-stretching, effects and mixing share one core. The
//   counter "x_realtime" is seconds of sound made per second. OneDeck/0 is
//   the same deck at tempo +6 % with nothing else, for comparison.
// * SliderStress: deck 1 (every effect), deck 2 (equaliser, echo, flanger,
//   reverb) and deck 1's headphone mirror play while the sliders and
//   spinners of both decks are moved 1,000 times per second through their
//   handlers (each move stores its value in the settings, as always), for
//   10 seconds twice. The settings live in a RAM folder (/dev/shm) when
//   there is one: the settings store syncs its file to disk at every write
//   (1 to 8 ms each on a disk), which would set the pace of the moves
//   instead of the sound; "move_ms" is the mean time of one move.
//   - at the real pace of the "No sound" device (its worker decodes ahead,
//     its pacer takes 1024-frame blocks as a sound card would):
//     "underrun_frames" (aim 0), "longest_callback_ms" (the longest the
//     device's callback took to mix a block) and "moves_per_s";
//   - on the manual clock, driven at the real pace by a thread of the
//     benchmark that stands for the sound card, each 1024-frame block taken
//     in one call that also does the worker's share for it (decoding,
//     time-stretching, effects) before mixing: "longest_block_ms" against
//     the 23.2 ms a block lasts, "block_ms_p99" (99 in 100 blocks took no
//     longer), and "blocks_late", those that took longer than a block lasts.
//
// The song is a 30-second stereo MP3 made with sox and lame in a temporary
// folder. Run: bash scripts/bench.sh (or build-bench/bin/bench_effects).
#include "audio/BassPlayer.h"
#include "effects/EffectControls.h"
#include "engine/Engine.h"
#include "platform/MessageBox.h"
#include "ui/MainState.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using djvp::MainState;
namespace ctl = djvp::ctl;

constexpr int kBlock = 1024;
constexpr double kBlockMs = 1000.0 * kBlock / 44100.0;

QTemporaryDir* g_dir = nullptr;
MainState* g_state = nullptr;
QString g_song;

bool MakeSong() {
  const QString wav = g_dir->filePath(QStringLiteral("song.wav"));
  g_song = g_dir->filePath(QStringLiteral("song.mp3"));
  // Brown noise under a steady tone and a slow tremolo: broadband and busy.
  const QString command = QStringLiteral("sox -q -n -r 44100 -c 2 -b 16 '%1' synth 30 brownnoise sine 330 "
                                         "tremolo 3 40 vol 0.5 && lame --quiet -b 192 '%1' '%2'")
                              .arg(wav, g_song);
  return std::system(command.toUtf8().constData()) == 0;
}

void Start(djvp::clsBassPlayer& p) {
  p.device(0);
  p.PreDevice(0);
  p.filename(g_song);
  p.OpenFile();
  p.StartMixPoint(0);
  p.volume(100);
  p.Play();  // the deck's chain gave it the equaliser bands
}

// Deck 1's mirror on the "No sound" device, so that it plays (and costs) as
// a headphone stream does.
void AttachMirror(djvp::clsBassPlayer& p) {
  engine::DeviceSelect(0);
  const engine::Handle decode = engine::OpenFileStream(false, g_song.toUtf8().constData(), 0, 0, engine::kDecode);
  const engine::Handle mirror = engine::CreateTempoStream(decode, engine::kFreeSource);
  engine::SetAttributes(mirror, -1, 30, -101);
  engine::Play(mirror, false);
  p.PreSTRM(mirror);
  p.PreDevice(1);
}

void SwitchOn(MainState& s, djvp::DeckId deck, std::initializer_list<int> boxes) {
  for (int box : boxes) s.Effects[ctl::EffectBoxOf(deck, box)].setChecked(true);
}

void StopAll(MainState& s) {
  for (auto& box : s.Effects) box.setChecked(false);
  for (djvp::DeckId deck : djvp::kBothDecks)
    for (int ab = 0; ab < 2; ++ab) s.Player(deck, ab)->StopPlay();
}

void OneDeck(benchmark::State& state) {
  if (g_song.isEmpty()) {
    state.SkipWithError("sox or lame missing");
    return;
  }
  MainState& s = *g_state;
  engine::SetManualClock(true);
  djvp::clsBassPlayer& p = *s.Player(djvp::kDeck1, 0);
  Start(p);
  s.sldEffects[0].setValue(6);
  if (state.range(0) != 0) {
    SwitchOn(s, djvp::kDeck1, {ctl::kReverbBox, ctl::kLowPassBox, ctl::kBigEchoBox, ctl::kRotateBox, ctl::kSwapBox, ctl::kEchoBox,
                    ctl::kFlangerBox});
    for (int band = 0; band < 10; ++band) s.Eq[static_cast<size_t>(band)].setValue(band % 2 ? 3 : 7);
    s.UpDown[1].setValue(14);
    s.UpDown[2].setValue(8);
    s.UpDown[3].setValue(12);
    s.UpDown[0].setValue(30);
  }
  std::vector<float> out(44100 * 2);
  int64_t frames = 0;
  for (auto _ : state) {
    engine::RenderNoSound(out.data(), 44100);
    frames += 44100;
    if (engine::IsActive(p.STRM()) != engine::kPlaying) engine::Play(p.STRM(), true);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
  StopAll(s);
  s.sldEffects[0].setValue(0);
}
BENCHMARK(OneDeck)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The controls the stress run moves, with their ranges.
std::vector<djvp::ui::Slider*> StressControls(MainState& s) {
  std::vector<djvp::ui::Slider*> c;
  for (auto& slider : s.sldEffects) c.push_back(&slider);
  for (auto& band : s.Eq) c.push_back(&band);
  for (auto& spinner : s.UpDown) c.push_back(&spinner);
  return c;
}

struct Moves {
  double perSecond = 0;
  double meanMs = 0;
};

// Moves a control every millisecond for `seconds`.
Moves MoveSliders(MainState& s, double seconds) {
  const std::vector<djvp::ui::Slider*> controls = StressControls(s);
  const auto t0 = Clock::now();
  const int moves = static_cast<int>(seconds * 1000);
  uint32_t pick = 12345;
  double busy = 0;
  for (int i = 0; i < moves; ++i) {
    std::this_thread::sleep_until(t0 + std::chrono::milliseconds(i));
    djvp::ui::Slider& c = *controls[static_cast<size_t>(i) % controls.size()];
    pick = pick * 1664525u + 1013904223u;
    const int64_t span = static_cast<int64_t>(c.maximum()) - c.minimum() + 1;
    const auto m0 = Clock::now();
    c.setValue(c.minimum() + static_cast<int64_t>(pick >> 8) % span);
    busy += std::chrono::duration<double, std::milli>(Clock::now() - m0).count();
  }
  return {moves / std::chrono::duration<double>(Clock::now() - t0).count(), busy / moves};
}

void SliderStress(benchmark::State& state) {
  if (g_song.isEmpty()) {
    state.SkipWithError("sox or lame missing");
    return;
  }
  MainState& s = *g_state;
  constexpr double kSeconds = 10.0;
  Moves realPace, manual;
  std::vector<double> blockMs;
  blockMs.reserve(static_cast<size_t>(kSeconds * 1000 / kBlockMs) + 100);
  uint64_t underruns = 0;
  double longestCallbackMs = 0;
  for (auto _ : state) {
    // At the real pace.
    engine::SetManualClock(false);
    Start(*s.Player(djvp::kDeck1, 0));
    Start(*s.Player(djvp::kDeck2, 0));
    AttachMirror(*s.Player(djvp::kDeck1, 0));
    SwitchOn(s, djvp::kDeck1, {ctl::kReverbBox, ctl::kLowPassBox, ctl::kBigEchoBox, ctl::kRotateBox, ctl::kSwapBox, ctl::kEchoBox,
                    ctl::kFlangerBox});
    SwitchOn(s, djvp::kDeck2, {ctl::kEchoBox, ctl::kFlangerBox, ctl::kReverbBox});
    const uint64_t u0 = engine::Underruns();
    engine::TakeRealTimeFigures();
    realPace = MoveSliders(s, kSeconds);
    underruns = engine::Underruns() - u0;
    longestCallbackMs = engine::TakeRealTimeFigures().longestCallbackMs;

    // On the manual clock, a thread of ours as the sound card.
    engine::SetManualClock(true);
    std::atomic<bool> stop{false};
    std::thread card([&] {
      std::vector<float> out(kBlock * 2);
      const auto t0 = Clock::now();
      for (int64_t block = 0; !stop.load(); ++block) {
        std::this_thread::sleep_until(t0 + std::chrono::microseconds(static_cast<int64_t>(block * kBlockMs * 1000)));
        const auto b0 = Clock::now();
        engine::RenderNoSound(out.data(), kBlock);
        blockMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - b0).count());
      }
    });
    manual = MoveSliders(s, kSeconds);
    stop = true;
    card.join();
    StopAll(s);
    engine::FreeStream(s.Player(djvp::kDeck1, 0)->PreSTRM());
    s.Player(djvp::kDeck1, 0)->PreDevice(0);
  }
  state.counters["moves_per_s"] = std::min(realPace.perSecond, manual.perSecond);
  state.counters["move_ms"] = realPace.meanMs;
  state.counters["underrun_frames"] = static_cast<double>(underruns);
  state.counters["longest_callback_ms"] = longestCallbackMs;
  std::sort(blockMs.begin(), blockMs.end());
  state.counters["longest_block_ms"] = blockMs.empty() ? 0 : blockMs.back();
  state.counters["block_ms_p99"] = blockMs.empty() ? 0 : blockMs[blockMs.size() * 99 / 100];
  state.counters["blocks_late"] =
      static_cast<double>(blockMs.end() - std::upper_bound(blockMs.begin(), blockMs.end(), kBlockMs));
}
BENCHMARK(SliderStress)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  // A world of its own: settings (in RAM where it can) and data in
  // temporary folders, no dialogs.
  QTemporaryDir ram(QStringLiteral("/dev/shm/djvp-bench-XXXXXX"));
  qputenv("XDG_CONFIG_HOME", (ram.isValid() ? ram.path() : dir.filePath(QStringLiteral("config"))).toUtf8());
  qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
  djvp::SetMsgBoxHook([](const QString&, djvp::MsgButtons) { return djvp::MsgResult::Ok; });
  if (!MakeSong()) g_song.clear();
  auto state = std::make_unique<MainState>();
  effects::ConnectHandlers(*state);
  g_state = state.get();

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  state.reset();
  return 0;
}
