// Tempo detection benchmark.
//
// 1. Accuracy: a set of generated drum loops (30 s each, four grooves,
//    70-180 BPM) is written as WAV, encoded to MP3 with `lame`, decoded
//    again with libmpg123 and measured by the engine; `aubio tempo` measures
//    the same MP3 files as a child process. Both are scored against the
//    loops' true tempo: exact (within 0.5 BPM) and up to an octave (the
//    answer or its double or half within 0.5 BPM).
// 2. Speed: Google Benchmark times one detection of a decoded 30-second MP3
//    span, and decoding plus detection together.
//
// Needs lame and aubio on the PATH (Debian: lame, aubio-tools).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <mpg123.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/bpm/BpmDetect.h"
#include "tests/engine/BpmLoopSynth.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace bpmtest;

fs::path g_dir;
std::string g_benchMp3;  // the MP3 that the timing runs decode

void WriteWav(const fs::path& path, const std::vector<float>& mono, int rate) {
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t bytes = static_cast<uint32_t>(mono.size() * 2);
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * 2));
  u16(2);
  u16(16);
  out.write("data", 4);
  u32(bytes);
  for (float v : mono) u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767))));
}

// Runs a program (no shell) and returns its standard output; -1 in *status
// when it could not be started.
std::string RunChild(const std::vector<std::string>& args, int* status) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) {
    *status = -1;
    return {};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFd[1]);
  std::string out;
  if (rc == 0) {
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFd[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    int st = 0;
    waitpid(pid, &st, 0);
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  } else {
    *status = -1;
  }
  close(pipeFd[0]);
  return out;
}

// Decodes an MP3 into mono float samples; false when it cannot.
bool DecodeMp3(const std::string& path, std::vector<float>& mono, int& rate) {
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  if (h == nullptr) return false;
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(h);
  for (long r : {22050L, 44100L, 48000L}) mpg123_format(h, r, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  if (mpg123_open(h, path.c_str()) != MPG123_OK) {
    mpg123_delete(h);
    return false;
  }
  long r = 0;
  int channels = 0, enc = 0;
  if (mpg123_getformat(h, &r, &channels, &enc) != MPG123_OK || channels < 1) {
    mpg123_delete(h);
    return false;
  }
  rate = static_cast<int>(r);
  mono.clear();
  std::vector<float> buf(16384);
  for (;;) {
    size_t done = 0;
    const int err = mpg123_read(h, reinterpret_cast<unsigned char*>(buf.data()), buf.size() * sizeof(float), &done);
    const size_t frames = done / sizeof(float) / channels;
    for (size_t f = 0; f < frames; ++f) {
      float sum = 0;
      for (int c = 0; c < channels; ++c) sum += buf[f * channels + c];
      mono.push_back(sum / channels);
    }
    if (err == MPG123_DONE) break;
    if (err != MPG123_OK && err != MPG123_NEW_FORMAT) break;
  }
  mpg123_close(h);
  mpg123_delete(h);
  return !mono.empty();
}

bool Near(double got, double truth) { return std::fabs(got - truth) <= 0.5; }
bool NearOctave(double got, double truth) {
  return Near(got, truth) || Near(got, truth * 2) || Near(got, truth / 2);
}

// Builds the loop set and prints the accuracy table. False when the tools
// are missing.
bool Accuracy() {
  std::vector<LoopSpec> loops;
  for (Groove g : {Groove::kRock, Groove::kHouse, Groove::kHipHop, Groove::kBreakbeat})
    for (double bpm : {70.0, 86.5, 100.0, 117.3, 128.0, 140.0, 155.0, 172.0, 180.0})
      loops.push_back(LoopSpec{bpm, g, 44100, 30.0, 0.25});

  int ours = 0, oursOct = 0, theirs = 0, theirsOct = 0, counted = 0;
  double oursErr = 0, theirsErr = 0;
  std::printf("%-22s %8s %9s %9s\n", "loop", "truth", "engine", "aubio");
  for (const LoopSpec& loop : loops) {
    const std::string name = LoopName(loop);
    const fs::path wav = g_dir / (name + ".wav"), mp3 = g_dir / (name + ".mp3");
    WriteWav(wav, MakeLoop(loop), loop.sampleRate);
    int status = 0;
    RunChild({"lame", "--quiet", "-b", "128", wav.string(), mp3.string()}, &status);
    if (status != 0) {
      std::fprintf(stderr, "lame failed (is it installed?)\n");
      return false;
    }
    if (g_benchMp3.empty() && loop.groove == Groove::kHouse && loop.bpm == 128.0) g_benchMp3 = mp3.string();

    std::vector<float> mono;
    int rate = 0;
    if (!DecodeMp3(mp3.string(), mono, rate)) {
      std::fprintf(stderr, "cannot decode %s\n", mp3.c_str());
      return false;
    }
    const double engineBpm = engine::bpm::DetectBpm(mono.data(), mono.size(), rate);
    const std::string out = RunChild({"aubio", "tempo", "-i", mp3.string()}, &status);
    if (status != 0) {
      std::fprintf(stderr, "aubio tempo failed (is aubio-tools installed?)\n");
      return false;
    }
    const double aubioBpm = std::atof(out.c_str());

    ++counted;
    ours += Near(engineBpm, loop.bpm);
    oursOct += NearOctave(engineBpm, loop.bpm);
    theirs += Near(aubioBpm, loop.bpm);
    theirsOct += NearOctave(aubioBpm, loop.bpm);
    if (Near(engineBpm, loop.bpm)) oursErr += std::fabs(engineBpm - loop.bpm);
    if (Near(aubioBpm, loop.bpm)) theirsErr += std::fabs(aubioBpm - loop.bpm);
    std::printf("%-22s %8.2f %9.2f %9.2f\n", name.c_str(), loop.bpm, engineBpm, aubioBpm);
  }
  std::printf("\nwithin 0.5 BPM:            engine %d/%d, aubio %d/%d\n", ours, counted, theirs, counted);
  std::printf("within 0.5 BPM or octave:  engine %d/%d, aubio %d/%d\n", oursOct, counted, theirsOct, counted);
  std::printf("mean error of exact hits:  engine %.3f BPM, aubio %.3f BPM\n\n", ours ? oursErr / ours : 0.0,
              theirs ? theirsErr / theirs : 0.0);
  return true;
}

void BM_DetectBpm_30sMp3Span(benchmark::State& state) {
  std::vector<float> mono;
  int rate = 0;
  if (!DecodeMp3(g_benchMp3, mono, rate)) {
    state.SkipWithError("cannot decode the MP3");
    return;
  }
  mono.resize(std::min(mono.size(), static_cast<size_t>(30 * rate)));
  float bpm = 0;
  for (auto _ : state) {
    bpm = engine::bpm::DetectBpm(mono.data(), mono.size(), rate);
    benchmark::DoNotOptimize(bpm);
  }
  state.counters["bpm"] = bpm;
}
BENCHMARK(BM_DetectBpm_30sMp3Span)->Unit(benchmark::kMillisecond);

void BM_DecodeAndDetect_30sMp3(benchmark::State& state) {
  std::vector<float> mono;
  int rate = 0;
  for (auto _ : state) {
    if (!DecodeMp3(g_benchMp3, mono, rate)) {
      state.SkipWithError("cannot decode the MP3");
      return;
    }
    benchmark::DoNotOptimize(engine::bpm::DetectBpm(mono.data(), mono.size(), rate));
  }
}
BENCHMARK(BM_DecodeAndDetect_30sMp3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char tmpl[] = "/tmp/bench_bpm.XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  g_dir = tmpl;
  const bool ok = Accuracy();
  if (ok) benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(g_dir, ec);
  return ok ? 0 : 1;
}
