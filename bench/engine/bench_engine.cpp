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
// * First of all, the longest wait on the caller's thread in the calls a
//   deck makes (open with its tempo stream, Play, a seek across the damage
//   while it plays) for damaged copies of the 30-second MP3 (random bytes or
//   zeros put in, up to 200 MB) against the clean one: searches through
//   junk run on the engine's threads, so the waits stay near the clean
//   file's.
//
// The inputs are stereo MP3s (30 s and 5 min) made with sox and lame, and
// the WAV and AAC made with sox and ffmpeg, in a temporary folder. Run: bash
// scripts/bench.sh (or build-bench/bin/bench_engine).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
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

// A copy of `song` with `junk` bytes (random, or zeros) put in at `at`
// (a fraction of the song), made once per machine beside the song.
std::string MakeDamaged(const std::string& song, const std::string& name, double at, size_t junk, bool zeros) {
  const std::string out = (std::filesystem::path(song).parent_path() / name).string();
  if (std::filesystem::exists(out)) return out;
  std::ifstream in(song, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto cut = static_cast<std::ptrdiff_t>(static_cast<double>(bytes.size()) * at);
  std::ofstream file(out + ".part", std::ios::binary);
  file.write(bytes.data(), cut);
  std::vector<char> block(1 << 20);
  std::mt19937 random(42);
  for (size_t left = junk; left > 0;) {
    const size_t n = std::min(left, block.size());
    for (size_t i = 0; i < n; ++i) block[i] = zeros ? 0 : static_cast<char>(random());
    file.write(block.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
  file.write(bytes.data() + cut, static_cast<std::streamsize>(bytes.size()) - cut);
  file.close();
  std::filesystem::rename(out + ".part", out);
  return out;
}

double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The longest the caller's thread waits in the calls a deck makes on a
// damaged MP3 (open, Play, a seek across the damage while it plays) against
// a clean one: the searches through junk belong to the engine's threads.
void CallerWaits() {
  const std::string song = Song();
  if (song.empty()) return;
  struct Case {
    const char* what;
    std::string file;
    double seekFrom, seekTo;  // seconds
  };
  const Case cases[] = {
      {"clean 30 s song", song, 2, 25},
      {"1 MB random bytes at 15 s", MakeDamaged(song, "junk1m.mp3", 0.5, 1 << 20, false), 2, 25},
      {"200 MB random bytes at 0.15 s", MakeDamaged(song, "junk200m_early.mp3", 0.005, size_t{200} << 20, false), 0, 25},
      {"64 KB random bytes at the start", MakeDamaged(song, "head64k.mp3", 0, 64 << 10, false), 2, 25},
      {"200 MB of zeros at the start", MakeDamaged(song, "zeros200m.mp3", 0, size_t{200} << 20, true), 2, 25},
      {"200 MB of zeros at 15 s", MakeDamaged(song, "zeros200m_mid.mp3", 0.5, size_t{200} << 20, true), 2, 25},
  };
  engine::SetManualClock(false);
  engine::DeviceSelect(0);
  std::printf("Longest wait on the caller's thread, ms (the longest of 3 runs)\n");
  std::printf("                                    open    Play    seek across\n");
  for (const Case& c : cases) {
    double open = 0, play = 0, seek = 0;
    for (int run = 0; run < 3; ++run) {
      engine::WaitForBackgroundWork();
      auto t = std::chrono::steady_clock::now();
      const engine::Handle dec = engine::OpenFileStream(false, c.file.c_str(), 0, 0, engine::kDecode);
      const engine::Handle h = dec ? engine::CreateTempoStream(dec, engine::kFreeSource) : 0;
      open = std::max(open, Ms(t));
      if (!h) {
        std::fprintf(stderr, "%s: refused\n", c.what);
        return;
      }
      engine::Seek(h, static_cast<uint64_t>(engine::SecondsToBytes(h, c.seekFrom)));
      t = std::chrono::steady_clock::now();
      if (!engine::Play(h, false)) std::fprintf(stderr, "%s: Play refused\n", c.what);
      play = std::max(play, Ms(t));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      t = std::chrono::steady_clock::now();
      engine::Seek(h, static_cast<uint64_t>(engine::SecondsToBytes(h, c.seekTo)));
      seek = std::max(seek, Ms(t));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      engine::FreeStream(h);
    }
    std::printf("  %-32s %7.2f %7.2f %7.2f\n", c.what, open, play, seek);
  }
  std::printf("\n");
  engine::SetManualClock(true);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CallerWaits();
  DecodeRatios();
  FfmpegDecodeRatios();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
