// Tempo detection benchmark.
//
// 1. Accuracy: a set of generated drum loops (30 s each, four grooves,
//    70-180 BPM) is written as WAV and encoded to MP3 with `lame`. Each MP3
//    is measured four ways: by the engine's BPM call as the player's start
//    detection makes it (a decode stream, seconds 0..30, the span decoded
//    for analysis), by the detector on the full-rate decode (libmpg123 at
//    the file's rate, the channels mixed), by `soundstretch -bpm` on the MP3
//    decoded to WAV (`lame --decode`) and by `aubio tempo` on the MP3. All
//    are scored against the loops' true tempo: exact (within 0.5 BPM) and
//    up to an octave (the answer or its double or half within 0.5 BPM).
// 2. Accuracy on the drum patterns of the sox-made kit (tests/fixtures/bpm),
//    six patterns at twelve tempos from 60 to 190 BPM, each written as a
//    30-second WAV at the kit's rate (22.05 kHz mono) and measured on that
//    file by the engine's BPM call, by `soundstretch -bpm`, by `aubio tempo`
//    and by `aubiotrack` (60 over the median time between its beats).
// 3. Start-BPM speed on a 30-second stereo MP3 (the 128 BPM house loop,
//    192 kbit/s), each the best of several runs, measured in the same run:
//    the engine's call (opening the stream, decoding the span, detecting,
//    freeing) and its detection alone, against `soundstretch -bpm` on the
//    decoded WAV (a process) and SoundTouch's BPMDetect on the WAV's
//    samples in memory (this process), with `mpg123 -q -s` decoding the
//    MP3 as the floor that any detection from the MP3 pays. Both from the
//    MP3 in this process: the engine's call against libmpg123's decode at
//    the file's rate followed by BPMDetect.
// 4. Google Benchmark times one detection of a decoded 30-second MP3 span,
//    decoding plus detection, and the engine's call.
//
// Needs lame, soundstretch, mpg123, aubio and aubiotrack on the PATH
// (Debian: lame, soundstretch, mpg123, aubio-tools).
#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <soundtouch/BPMDetect.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchUtil.h"
#include "engine/Engine.h"
#include "engine/bpm/BpmDetect.h"
#include "tests/engine/BpmLoopSynth.h"
#include "tests/engine/BpmPatterns.h"

namespace {

namespace fs = std::filesystem;
using namespace bpmtest;

using benchutil::Capture;
using benchutil::RunChild;

fs::path g_dir;
std::string g_benchMp3;  // the MP3 that the timing runs decode (stereo)
std::string g_benchWav;  // the same, decoded to WAV by lame

// Decodes an MP3 into mono float samples (with `halve` at half the rate, as
// the engine decodes for analysis); false when it cannot.
bool DecodeMp3(const std::string& path, std::vector<float>& mono, int& rate, bool halve = false) {
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  if (h == nullptr) return false;
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  if (halve) mpg123_param(h, MPG123_DOWN_SAMPLE, 1, 0);
  mpg123_format_none(h);
  for (long r : {22050L, 24000L, 44100L, 48000L}) mpg123_format(h, r, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
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

// The engine's BPM call as the player's start detection makes it.
float EngineStartBpm(const std::string& mp3) {
  const engine::Handle h = engine::OpenFileStream(false, mp3.c_str(), 0, 0, engine::kDecode);
  const float bpm = engine::BpmOfSpan(h, 0, 30, 0, engine::kBpmBackground | engine::kBpmMult2 | engine::kFreeSource);
  engine::FreeBpm(h);
  return bpm;
}

// soundstretch's answer on a WAV; 0 when it found none, -1 when it failed.
double SoundstretchBpm(const std::string& wav, double* cpu = nullptr) {
  const auto r = RunChild({"soundstretch", wav, "-bpm"}, Capture::kStderr);
  if (r.status != 0) return -1;
  if (cpu) *cpu = r.cpuSeconds;
  const size_t at = r.out.find("Detected BPM rate");
  return at == std::string::npos ? 0.0 : std::atof(r.out.c_str() + at + 17);
}

struct Score {
  int exact = 0, octave = 0;
  double error = 0;
  void Add(double got, double truth) {
    exact += Near(got, truth);
    octave += NearOctave(got, truth);
    if (Near(got, truth)) error += std::fabs(got - truth);
  }
  void Print(const char* name, int counted) const {
    std::printf("  %-28s exact %2d/%d, up to an octave %2d/%d, mean error of exact hits %.3f BPM\n", name, exact,
                counted, octave, counted, exact ? error / exact : 0.0);
  }
};

// Builds the loop set and prints the accuracy table. False when the tools
// are missing.
bool Accuracy() {
  std::vector<LoopSpec> loops;
  for (Groove g : {Groove::kRock, Groove::kHouse, Groove::kHipHop, Groove::kBreakbeat})
    for (double bpm : {70.0, 86.5, 100.0, 117.3, 128.0, 140.0, 155.0, 172.0, 180.0})
      loops.push_back(LoopSpec{bpm, g, 44100, 30.0, 0.25});

  Score call, full, stretch, aubio;
  int counted = 0;
  std::printf("%-22s %7s %9s %9s %12s %7s\n", "loop", "truth", "engine", "full-rate", "soundstretch", "aubio");
  for (const LoopSpec& loop : loops) {
    const std::string name = LoopName(loop);
    const fs::path wav = g_dir / (name + ".wav"), mp3 = g_dir / (name + ".mp3"), back = g_dir / (name + ".dec.wav");
    benchutil::WriteWav(wav.string(), MakeLoop(loop), loop.sampleRate, 1);
    if (RunChild({"lame", "--quiet", "-b", "128", wav.string(), mp3.string()}).status != 0 ||
        RunChild({"lame", "--quiet", "--decode", mp3.string(), back.string()}).status != 0) {
      std::fprintf(stderr, "lame failed (is it installed?)\n");
      return false;
    }
    std::vector<float> mono;
    int rate = 0;
    if (!DecodeMp3(mp3.string(), mono, rate)) {
      std::fprintf(stderr, "cannot decode %s\n", mp3.c_str());
      return false;
    }
    const double callBpm = EngineStartBpm(mp3.string());
    const double fullBpm = engine::bpm::DetectBpm(mono.data(), mono.size(), rate);
    const double stretchBpm = SoundstretchBpm(back.string());
    const auto aubioOut = RunChild({"aubio", "tempo", "-i", mp3.string()});
    if (stretchBpm < 0 || aubioOut.status != 0) {
      std::fprintf(stderr, "soundstretch or aubio tempo failed (Debian: soundstretch, aubio-tools)\n");
      return false;
    }
    const double aubioBpm = std::atof(aubioOut.out.c_str());
    ++counted;
    call.Add(callBpm, loop.bpm);
    full.Add(fullBpm, loop.bpm);
    stretch.Add(stretchBpm, loop.bpm);
    aubio.Add(aubioBpm, loop.bpm);
    std::printf("%-22s %7.2f %9.2f %9.2f %12.2f %7.2f\n", name.c_str(), loop.bpm, callBpm, fullBpm, stretchBpm,
                aubioBpm);
  }
  std::printf("\n");
  call.Print("engine call (analysis decode)", counted);
  full.Print("detector on full-rate decode", counted);
  stretch.Print("soundstretch -bpm", counted);
  aubio.Print("aubio tempo", counted);
  std::printf("\n");
  return true;
}

// aubiotrack's beats as a tempo: 60 over the median time between beats; 0
// when it found fewer than three beats, -1 when it failed.
double AubioTrackBpm(const std::string& path) {
  const auto r = RunChild({"aubiotrack", "-i", path});
  if (r.status != 0) return -1;
  std::vector<double> beats;
  const char* p = r.out.c_str();
  char* end = nullptr;
  for (double t = std::strtod(p, &end); end != p; t = std::strtod(p, &end)) {
    beats.push_back(t);
    p = end;
  }
  if (beats.size() < 3) return 0;
  std::vector<double> gaps;
  for (size_t i = 1; i < beats.size(); ++i) gaps.push_back(beats[i] - beats[i - 1]);
  std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
  const double gap = gaps[gaps.size() / 2];
  return gap > 0 ? 60.0 / gap : 0;
}

// The pattern table. False when the kit or a tool is missing.
bool PatternAccuracy() {
  DrumKit kit;
  if (!kit.Load(DJVP_FIXTURES "/bpm")) {
    std::fprintf(stderr, "cannot read the drum kit in %s\n", DJVP_FIXTURES "/bpm");
    return false;
  }
  Score call, stretch, aubio, track;
  int counted = 0;
  // Exact answers per pattern: engine, soundstretch, aubio tempo, aubiotrack.
  std::vector<std::array<int, 4>> perPattern;
  std::printf("%-16s %6s %8s %12s %11s %10s\n", "pattern", "truth", "engine", "soundstretch", "aubio tempo",
              "aubiotrack");
  for (Pattern pattern : kPatterns) {
    std::array<int, 4>& exact = perPattern.emplace_back(std::array<int, 4>{});
    for (double bpm : kPatternTempos) {
      const std::string name = PatternCaseName(pattern, bpm);
      const std::string wav = (g_dir / (name + ".wav")).string();
      benchutil::WriteWav(wav, MakePattern(kit, pattern, bpm), kit.rate, 1);
      const double callBpm = EngineStartBpm(wav);
      const double stretchBpm = SoundstretchBpm(wav);
      const auto aubioOut = RunChild({"aubio", "tempo", "-i", wav});
      const double trackBpm = AubioTrackBpm(wav);
      if (stretchBpm < 0 || aubioOut.status != 0 || trackBpm < 0) {
        std::fprintf(stderr, "soundstretch, aubio or aubiotrack failed (Debian: soundstretch, aubio-tools)\n");
        return false;
      }
      const double aubioBpm = std::atof(aubioOut.out.c_str());
      ++counted;
      call.Add(callBpm, bpm);
      stretch.Add(stretchBpm, bpm);
      aubio.Add(aubioBpm, bpm);
      track.Add(trackBpm, bpm);
      exact[0] += Near(callBpm, bpm);
      exact[1] += Near(stretchBpm, bpm);
      exact[2] += Near(aubioBpm, bpm);
      exact[3] += Near(trackBpm, bpm);
      std::printf("%-16s %6.0f %8.2f %12.2f %11.2f %10.2f\n", name.c_str(), bpm, callBpm, stretchBpm, aubioBpm,
                  trackBpm);
    }
  }
  std::printf("\nexact per pattern    engine soundstretch aubio-tempo aubiotrack\n");
  for (size_t i = 0; i < perPattern.size(); ++i)
    std::printf("  %-18s %6d %12d %11d %10d\n", PatternName(kPatterns[i]), perPattern[i][0], perPattern[i][1],
                perPattern[i][2], perPattern[i][3]);
  std::printf("\n");
  call.Print("engine call", counted);
  stretch.Print("soundstretch -bpm", counted);
  aubio.Print("aubio tempo", counted);
  track.Print("aubiotrack, median beat", counted);
  std::printf("\n");
  return true;
}

// The 30-second stereo MP3 of the speed runs and its decoded WAV.
bool MakeBenchFiles() {
  const LoopSpec loop{128.0, Groove::kHouse, 44100, 30.0, 0.25};
  const std::vector<float> mono = MakeLoop(loop);
  // Stereo: the right channel a little softer and later, so the channels differ.
  std::vector<float> stereo(mono.size() * 2);
  for (size_t i = 0; i < mono.size(); ++i) {
    stereo[i * 2] = mono[i];
    stereo[i * 2 + 1] = i >= 40 ? 0.8f * mono[i - 40] : 0.0f;
  }
  const std::string wav = (g_dir / "bench.wav").string();
  g_benchMp3 = (g_dir / "bench.mp3").string();
  g_benchWav = (g_dir / "bench.dec.wav").string();
  benchutil::WriteWav(wav, stereo, loop.sampleRate, 2);
  return RunChild({"lame", "--quiet", "-b", "192", wav, g_benchMp3}).status == 0 &&
         RunChild({"lame", "--quiet", "--decode", g_benchMp3, g_benchWav}).status == 0;
}

// Reads a 16-bit PCM WAV as written by lame (a plain 44-byte header).
bool ReadWav(const std::string& path, std::vector<float>& samples, int& rate, int& channels) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return false;
  uint16_t ch = 0;
  uint32_t r = 0;
  std::memcpy(&ch, bytes.data() + 22, 2);
  std::memcpy(&r, bytes.data() + 24, 4);
  // Find the data chunk.
  size_t at = 12;
  while (at + 8 <= bytes.size() && std::memcmp(bytes.data() + at, "data", 4) != 0) {
    uint32_t size = 0;
    std::memcpy(&size, bytes.data() + at + 4, 4);
    at += 8 + size;
  }
  if (at + 8 > bytes.size() || ch == 0) return false;
  const size_t count = (bytes.size() - at - 8) / 2;
  samples.resize(count);
  for (size_t i = 0; i < count; ++i) {
    int16_t v;
    std::memcpy(&v, bytes.data() + at + 8 + i * 2, 2);
    samples[i] = v / 32768.0f;
  }
  rate = static_cast<int>(r);
  channels = ch;
  return true;
}

float SoundTouchBpm(const std::vector<float>& samples, int rate, int channels) {
  soundtouch::BPMDetect detect(channels, rate);
  // In blocks, as soundstretch feeds it.
  constexpr size_t kBlock = 2048;
  const size_t frames = samples.size() / static_cast<size_t>(channels);
  for (size_t f = 0; f < frames; f += kBlock)
    detect.inputSamples(samples.data() + f * channels, static_cast<int>(std::min(kBlock, frames - f)));
  return detect.getBpm();
}

// The start-BPM speed table. False when a tool is missing.
bool Speed() {
  constexpr int kRuns = 7;
  std::vector<float> wav;
  int rate = 0, channels = 0;
  std::vector<float> analysis;
  int analysisRate = 0;
  if (!ReadWav(g_benchWav, wav, rate, channels) || !DecodeMp3(g_benchMp3, analysis, analysisRate, true)) {
    std::fprintf(stderr, "cannot read %s\n", g_benchWav.c_str());
    return false;
  }
  double callCpu = 1e9, detectCpu = 1e9, mpg123Cpu = 1e9, stretchCpu = 1e9, touchCpu = 1e9, decodeCpu = 1e9;
  float callBpm = 0, stretchBpm = 0, touchBpm = 0;
  for (int run = 0; run < kRuns; ++run) {
    double t0 = benchutil::ThreadCpu();
    callBpm = EngineStartBpm(g_benchMp3);
    callCpu = std::min(callCpu, benchutil::ThreadCpu() - t0);
    t0 = benchutil::ThreadCpu();
    benchmark::DoNotOptimize(engine::bpm::DetectBpm(analysis.data(), analysis.size(), analysisRate));
    detectCpu = std::min(detectCpu, benchutil::ThreadCpu() - t0);
    t0 = benchutil::ThreadCpu();
    touchBpm = SoundTouchBpm(wav, rate, channels);
    touchCpu = std::min(touchCpu, benchutil::ThreadCpu() - t0);
    t0 = benchutil::ThreadCpu();
    std::vector<float> full;
    int fullRate = 0;
    DecodeMp3(g_benchMp3, full, fullRate);
    decodeCpu = std::min(decodeCpu, benchutil::ThreadCpu() - t0);
    double cpu = 0;
    stretchBpm = static_cast<float>(SoundstretchBpm(g_benchWav, &cpu));
    const auto decode = RunChild({"mpg123", "-q", "-s", g_benchMp3}, Capture::kNothing);
    if (stretchBpm < 0 || decode.status != 0) {
      std::fprintf(stderr, "soundstretch or mpg123 failed (Debian: soundstretch, mpg123)\n");
      return false;
    }
    stretchCpu = std::min(stretchCpu, cpu);
    mpg123Cpu = std::min(mpg123Cpu, decode.cpuSeconds);
  }
  std::printf("Start BPM of a 30-second stereo MP3 (128 BPM, 192 kbit/s), CPU time, best of %d:\n", kRuns);
  std::printf("  engine call: open, decode the span for analysis, detect  %6.1f ms  BPM %.2f\n", callCpu * 1e3,
              callBpm);
  std::printf("    its detection alone, on the %d Hz mono samples         %6.1f ms\n", analysisRate,
              detectCpu * 1e3);
  std::printf("  soundstretch -bpm on the decoded WAV (a process)         %6.1f ms  BPM %.2f\n", stretchCpu * 1e3,
              stretchBpm);
  std::printf("  SoundTouch BPMDetect on the WAV's samples in memory      %6.1f ms  BPM %.2f\n", touchCpu * 1e3,
              touchBpm);
  std::printf("  mpg123 -q -s decoding the MP3 (a process)                %6.1f ms\n", mpg123Cpu * 1e3);
  std::printf("  libmpg123 decoding the MP3 at its rate (this process)    %6.1f ms\n", decodeCpu * 1e3);
  std::printf("  ratios: engine call / soundstretch %.2f;  detection alone / BPMDetect in memory %.2f;\n"
              "          both from the MP3 in this process: engine call / (decode + BPMDetect) %.2f\n\n",
              callCpu / stretchCpu, detectCpu / touchCpu, callCpu / (decodeCpu + touchCpu));
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

void BM_EngineStartBpm_30sMp3(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(EngineStartBpm(g_benchMp3));
}
BENCHMARK(BM_EngineStartBpm_30sMp3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char tmpl[] = "/tmp/bench_bpm.XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  g_dir = tmpl;
  const bool ok = MakeBenchFiles() && Accuracy() && PatternAccuracy() && Speed();
  if (ok) benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(g_dir, ec);
  return ok ? 0 : 1;
}
