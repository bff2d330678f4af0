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
// * Before those, a table of ratios measured in the same run on one
//   5-minute stereo MP3: the CPU time of the engine's decode-only path (a
//   decode stream read to its end with ReadData, opening included) and of
//   one full deck (tempo +6 %, ten bands, reverb and echo, rendered to the
//   end on the manual clock) against `mpg123 -q -s` decoding the same file
//   to /dev/null (Debian: mpg123). Each figure is the best of three runs.
//
// * Then the formats FFmpeg decodes for the engine: the same 5 minutes as a
//   16-bit WAV and as AAC (.m4a, 192 kbit/s), each through the engine's
//   decode-only path against `ffmpeg -f f32le` decoding the same file to
//   float samples (Debian: ffmpeg); best of three.
//
// The inputs are stereo MP3s (30 s and 5 min) made with sox and lame, and
// the WAV and AAC made with sox and ffmpeg, in a temporary folder. Run: bash
// scripts/bench.sh (or build-bench/bin/bench_engine).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchUtil.h"
#include "bench/engine/Deck.h"
#include "engine/Engine.h"

namespace {

const std::string& Song() {
  static const std::string path = benchutil::MakeSong(30);
  return path;
}

void OneDeck(benchmark::State& state) {
  if (Song().empty()) {
    state.SkipWithError("sox or lame missing");
    return;
  }
  engine::SetManualClock(true);
  engine::DeviceSelect(0);
  const engine::Handle h = benchdeck::OpenDeck(state.range(0) != 0, Song());
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

void WholeEngine(benchmark::State& state) {
  if (Song().empty()) {
    state.SkipWithError("sox or lame missing");
    return;
  }
  engine::SetManualClock(false);
  engine::DeviceSelect(0);
  const engine::Handle deck1 = benchdeck::OpenDeck(true, Song());
  const engine::Handle deck2 = benchdeck::OpenDeck(true, Song());
  const engine::Handle mirror = benchdeck::OpenDeck(false, Song());
  const double seconds = 10.0;
  double cpu = 0;
  uint64_t underruns = 0;
  for (auto _ : state) {
    const uint64_t u0 = engine::Underruns();
    engine::Play(deck1, true);
    engine::Play(deck2, true);
    engine::Play(mirror, true);
    const double c0 = benchutil::ProcessCpu();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu = (benchutil::ProcessCpu() - c0) / wall;
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

// CPU seconds of the engine's decode-only path over a whole file.
double DecodeOnly(const std::string& file) {
  const double t0 = benchutil::ThreadCpu();
  const engine::Handle h = engine::OpenFileStream(false, file.c_str(), 0, 0, engine::kDecode);
  std::vector<char> buf(1 << 16);
  while (engine::ReadData(h, buf.data(), static_cast<uint32_t>(buf.size())) > 0) {
  }
  const double cpu = benchutil::ThreadCpu() - t0;
  engine::FreeStream(h);
  return cpu;
}

// CPU seconds of one full deck played through a whole file on the manual
// clock (decoding, tempo, effects and mixing all on this thread).
double FullDeck(const std::string& file) {
  engine::SetManualClock(true);
  engine::DeviceSelect(0);
  const double t0 = benchutil::ThreadCpu();
  const engine::Handle h = benchdeck::OpenDeck(true, file);
  engine::Play(h, true);
  std::vector<float> out(8192 * 2);
  while (engine::IsActive(h) == engine::kPlaying) engine::RenderNoSound(out.data(), 8192);
  const double cpu = benchutil::ThreadCpu() - t0;
  engine::FreeStream(h);
  return cpu;
}

// The ratios against mpg123, best of three each. False when a tool is
// missing.
bool DecodeRatios() {
  const std::string song = benchutil::MakeSong(300);
  if (song.empty()) {
    std::fprintf(stderr, "sox or lame missing\n");
    return false;
  }
  double ref = 1e9, decode = 1e9, deck = 1e9;
  for (int run = 0; run < 3; ++run) {
    const benchutil::ChildResult r = benchutil::RunChild({"mpg123", "-q", "-s", song}, benchutil::Capture::kNothing);
    if (r.status != 0) {
      std::fprintf(stderr, "mpg123 failed (Debian: mpg123)\n");
      return false;
    }
    ref = std::min(ref, r.cpuSeconds);
    decode = std::min(decode, DecodeOnly(song));
    deck = std::min(deck, FullDeck(song));
  }
  std::printf("5-minute MP3, CPU seconds (best of 3)   ratio to mpg123 -q -s\n");
  std::printf("  mpg123 -q -s       %7.3f s            1.00\n", ref);
  std::printf("  engine decode-only %7.3f s            %.2f  (aim: within 1.2)\n", decode, decode / ref);
  std::printf("  engine full deck   %7.3f s            %.2f  (aim: within 2)\n\n", deck, deck / ref);
  return true;
}

// The 5-minute song as `ext` ("wav" or "m4a"), made once per machine beside
// the MP3s. Empty when a tool is missing.
std::string MakeFfmpegSong(const std::string& ext) {
  const auto dir = std::filesystem::temp_directory_path() / "djvp-bench-engine";
  std::filesystem::create_directories(dir);
  const std::string wav = (dir / "song300.wav").string();
  const std::string out = (dir / ("song300." + ext)).string();
  if (std::filesystem::exists(out)) return out;
  if (!std::filesystem::exists(wav)) {
    const std::string cmd = "sox -q -n -r 44100 -c 2 -b 16 '" + wav + ".part.wav' synth 300 pinknoise sine 220 vol 0.4 && mv '" +
                            wav + ".part.wav' '" + wav + "'";
    if (std::system(cmd.c_str()) != 0) return std::string();
  }
  if (ext == "wav") return wav;
  const std::string cmd = "ffmpeg -nostdin -v error -y -i '" + wav + "' -c:a aac -b:a 192k '" + out + ".part." + ext +
                          "' && mv '" + out + ".part." + ext + "' '" + out + "'";
  return std::system(cmd.c_str()) == 0 ? out : std::string();
}

// The engine's decode-only path against ffmpeg decoding to float, for the
// formats that go through FFmpeg, best of three each.
void FfmpegDecodeRatios() {
  std::printf("5 minutes through FFmpeg, CPU seconds (best of 3)\n");
  std::printf("                     ffmpeg -f f32le   engine decode-only   ratio\n");
  for (const char* ext : {"wav", "m4a"}) {
    const std::string song = MakeFfmpegSong(ext);
    if (song.empty()) {
      std::fprintf(stderr, "sox or ffmpeg missing\n");
      return;
    }
    double ref = 1e9, decode = 1e9;
    for (int run = 0; run < 3; ++run) {
      const benchutil::ChildResult r = benchutil::RunChild(
          {"ffmpeg", "-nostdin", "-v", "error", "-i", song, "-f", "f32le", "-"}, benchutil::Capture::kNothing);
      if (r.status != 0) {
        std::fprintf(stderr, "ffmpeg failed (Debian: ffmpeg)\n");
        return;
      }
      ref = std::min(ref, r.cpuSeconds);
      decode = std::min(decode, DecodeOnly(song));
    }
    std::printf("  %-4s               %7.3f s          %7.3f s          %.2f\n", ext, ref, decode, decode / ref);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  DecodeRatios();
  FfmpegDecodeRatios();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
