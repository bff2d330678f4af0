// Sound engine benchmarks (never run by CTest):
//
// * OneDeck/1: the real-time factor of one deck on one core: MP3 decoding,
//   tempo +6 %, ten equaliser bands, reverb and echo, rendered on the
//   manual clock (decoding and mixing on the benchmark's thread). The
//   counter "x_realtime" is seconds of sound made per second of CPU.
// * WholeEngine: two decks and a headphone mirror (each a tempo stream with
//   ten bands) playing at the real pace on the "No sound" device, whose
//   worker decodes ahead while its pacer takes 1024-frame blocks as a sound
//   card would. "cpu_percent" is the process's CPU time (all threads) per
//   second of sound in percent of one core; "underrun_frames" must be 0.
//
// The input is a 30-second stereo MP3 made with sox and lame in a temporary
// folder. Run: bash scripts/bench.sh (or build-<you>-bench/bin/bench_engine).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"

namespace {

const std::string& Song() {
  static const std::string path = [] {
    const auto dir = std::filesystem::temp_directory_path() / "djvp-bench-engine";
    std::filesystem::create_directories(dir);
    const std::string mp3 = (dir / "song30.mp3").string();
    if (!std::filesystem::exists(mp3)) {
      const std::string wav = (dir / "song30.wav").string();
      // Pink noise on the left, a chord on the right: broadband material.
      const std::string cmd = "sox -q -n -r 44100 -c 2 -b 16 '" + wav +
                              "' synth 30 pinknoise sine 220 vol 0.4 && lame --quiet -b 192 '" + wav + "' '" +
                              mp3 + "'";
      if (std::system(cmd.c_str()) != 0) return std::string();
    }
    return mp3;
  }();
  return path;
}

engine::Handle OpenDeck(bool effects) {
  // effects: reverb and echo besides the ten bands.
  const engine::Handle dec = engine::OpenFileStream(false, Song().c_str(), 0, 0, engine::kDecode);
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  if (!h) return 0;
  engine::SetTempo(h, 6, -1, -100);
  engine::AddEffect(h, engine::dsp::kPeakEq, 0);
  const float centres[] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  for (int32_t band = 0; band < 10; ++band) {
    engine::dsp::PeakEqParams eq{band, 44100, 2.5f, 0.0f, centres[band], band % 2 ? 3.0f : -3.0f};
    engine::SetEffectParameters(h, engine::dsp::kPeakEq, &eq);
  }
  if (effects) {
    engine::AddEffect(h, engine::dsp::kReverb, 1);
    const engine::dsp::ReverbParams reverb{0.4f, 5000};
    engine::SetEffectParameters(h, engine::dsp::kReverb, &reverb);
    engine::AddEffect(h, engine::dsp::kEcho, 1);
    const engine::dsp::EchoParams echo{0.4f, 12000};
    engine::SetEffectParameters(h, engine::dsp::kEcho, &echo);
  }
  return h;
}

void OneDeck(benchmark::State& state) {
  if (Song().empty()) {
    state.SkipWithError("sox or lame missing");
    return;
  }
  engine::SetManualClock(true);
  engine::DeviceSelect(0);
  const engine::Handle h = OpenDeck(state.range(0) != 0);
  engine::Play(h, true);
  std::vector<float> out(44100 * 2);
  int64_t frames = 0;
  for (auto _ : state) {
    engine::RenderNoSound(out.data(), 44100);
    frames += 44100;
    if (engine::IsActive(h) != engine::kPlaying) engine::Play(h, true);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
  engine::FreeStream(h);
}
// Argument 1: the whole deck; 0: without reverb and echo, to show what the
// effects cost.
BENCHMARK(OneDeck)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(3.0);

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void WholeEngine(benchmark::State& state) {
  if (Song().empty()) {
    state.SkipWithError("sox or lame missing");
    return;
  }
  engine::SetManualClock(false);
  engine::DeviceSelect(0);
  const engine::Handle deck1 = OpenDeck(true);
  const engine::Handle deck2 = OpenDeck(true);
  const engine::Handle mirror = OpenDeck(false);
  const double seconds = 10.0;
  double cpu = 0;
  uint64_t underruns = 0;
  for (auto _ : state) {
    const uint64_t u0 = engine::Underruns();
    engine::Play(deck1, true);
    engine::Play(deck2, true);
    engine::Play(mirror, true);
    const double c0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu = (ProcessCpuSeconds() - c0) / wall;
    underruns = engine::Underruns() - u0;
    state.SetIterationTime(wall);
  }
  state.counters["cpu_percent"] = cpu * 100.0;
  state.counters["underrun_frames"] = static_cast<double>(underruns);
  engine::FreeStream(deck1);
  engine::FreeStream(deck2);
  engine::FreeStream(mirror);
  engine::SetManualClock(true);
}
BENCHMARK(WholeEngine)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
