// Sound engine stress benchmark (never run by CTest).
//
// Two decks (tempo, ten bands, reverb, echo) and a headphone mirror (tempo,
// ten bands) play at the real pace on the "No sound" device, whose pacer
// takes blocks of 256 and then of 1024 frames as a sound card's callback
// would. Meanwhile two other players, on a thread of their own, start a
// song (opening a 5-minute MP3, which is scanned whole), seek or stop and
// free every 100 ms in turn, and a third thread measures the start BPM of a
// 5-minute MP3 (a 30-second span, its stream freed after) again and again.
//
// Reported per buffer size: underrun frames (the aim is 0), the longest
// output callback, the longest time a ring waited for its worker (from the
// callback finding room for a block until the worker had refilled it), the
// actions and BPM measurements done, and the longest start, seek and BPM
// call. The whole process's CPU time is given per second of sound.
//
// Run: bash scripts/bench.sh, or build-bench/bin/bench_engine_stress
// [seconds per buffer size, default 10].
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchUtil.h"
#include "bench/engine/Deck.h"
#include "engine/Engine.h"

namespace {

struct Longest {
  double ms = 0;
  void Add(double t0) { ms = std::max(ms, (benchutil::Monotonic() - t0) * 1000.0); }
};

struct Result {
  engine::RealTimeFigures figures;
  double cpuPercent = 0;
  int actions = 0, bpms = 0;
  Longest start, seek, bpm;
};

// The two other players: every 100 ms one action, in turn a start of a song,
// a seek and a stop (which frees the song).
void OtherPlayers(const std::string& song, const std::atomic<bool>& quit, Result& r) {
  std::mt19937 random(7);
  engine::Handle players[2] = {0, 0};
  for (int tick = 0; !quit.load(); ++tick) {
    engine::Handle& p = players[tick / 3 % 2];
    double t0 = benchutil::Monotonic();
    switch (tick % 3) {
      case 0: {
        if (p) engine::FreeStream(p);
        const engine::Handle dec = engine::OpenFileStream(false, song.c_str(), 0, 0, engine::kDecode);
        p = engine::CreateTempoStream(dec, engine::kFreeSource);
        engine::Play(p, false);
        r.start.Add(t0);
        break;
      }
      case 1: {
        const int64_t length = engine::Length(p);
        if (length > 0) engine::Seek(p, std::uniform_int_distribution<int64_t>(0, length - 1)(random) & ~int64_t{3});
        r.seek.Add(t0);
        break;
      }
      default:
        engine::Stop(p);
        engine::FreeStream(p);
        p = 0;
        break;
    }
    ++r.actions;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (engine::Handle p : players) engine::FreeStream(p);
}

// Start-BPM measurements, one after the other.
void Measurements(const std::string& song, const std::atomic<bool>& quit, Result& r) {
  while (!quit.load()) {
    const double t0 = benchutil::Monotonic();
    const engine::Handle h = engine::OpenFileStream(false, song.c_str(), 0, 0, engine::kDecode);
    engine::BpmOfSpan(h, 0, 30, 0, 0x10003);
    engine::FreeBpm(h);
    r.bpm.Add(t0);
    ++r.bpms;
  }
}

Result Run(int blockFrames, double seconds, const std::string& song30, const std::string& song300) {
  engine::SetManualClock(true);  // stops device 0's threads, so the new block size applies
  engine::SetNoSoundBlock(static_cast<size_t>(blockFrames));
  engine::SetManualClock(false);
  engine::DeviceSelect(0);
  const engine::Handle deck1 = benchdeck::OpenDeck(true, song30);
  const engine::Handle deck2 = benchdeck::OpenDeck(true, song30);
  const engine::Handle mirror = benchdeck::OpenDeck(false, song30);
  Result r;
  const uint64_t underruns0 = engine::Underruns();
  for (engine::Handle h : {deck1, deck2, mirror}) engine::Play(h, true);
  engine::TakeRealTimeFigures();
  const double cpu0 = benchutil::ProcessCpu(), wall0 = benchutil::Monotonic();
  std::atomic<bool> quit{false};
  std::thread players(OtherPlayers, std::cref(song300), std::cref(quit), std::ref(r));
  std::thread bpm(Measurements, std::cref(song300), std::cref(quit), std::ref(r));
  // The decks go on from the start whenever their 30-second song ends.
  const double until = wall0 + seconds;
  while (benchutil::Monotonic() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (engine::Handle h : {deck1, deck2, mirror})
      if (engine::IsActive(h) == engine::kStopped) engine::Play(h, true);
  }
  quit.store(true);
  players.join();
  bpm.join();
  r.figures = engine::TakeRealTimeFigures();
  r.figures.underrunFrames = engine::Underruns() - underruns0;
  r.cpuPercent = 100.0 * (benchutil::ProcessCpu() - cpu0) / (benchutil::Monotonic() - wall0);
  for (engine::Handle h : {deck1, deck2, mirror}) engine::FreeStream(h);
  engine::SetManualClock(true);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  // Google Benchmark options that scripts/bench.sh passes on are ignored.
  double seconds = 10;
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] != '-') seconds = std::max(1.0, std::atof(argv[i]));
  const std::string song30 = benchutil::MakeSong(30), song300 = benchutil::MakeSong(300);
  if (song30.empty() || song300.empty()) {
    std::fprintf(stderr, "sox or lame missing\n");
    return 1;
  }
  std::printf("Two decks and a mirror playing for %.0f s per buffer size, while two players start,\n"
              "seek and stop every 100 ms and start-BPM measurements run back to back.\n\n",
              seconds);
  std::printf("%-7s %10s %13s %14s %8s %6s %10s %9s %8s %8s\n", "buffer", "underruns", "callback max",
              "ring wait max", "actions", "BPMs", "start max", "seek max", "BPM max", "CPU %");
  for (int frames : {256, 1024}) {
    const Result r = Run(frames, seconds, song30, song300);
    std::printf("%-7d %10llu %10.3f ms %11.2f ms %8d %6d %7.1f ms %6.1f ms %5.1f ms %8.1f\n", frames,
                static_cast<unsigned long long>(r.figures.underrunFrames), r.figures.longestCallbackMs,
                r.figures.longestRingWaitMs, r.actions, r.bpms, r.start.ms, r.seek.ms, r.bpm.ms, r.cpuPercent);
  }
  return 0;
}
