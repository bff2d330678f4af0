// Generated drum loops with an exactly known tempo, for the tempo detection
// tests and its benchmark: kick, snare and hi-hat sounds placed on a
// sixteenth-note grid, sample-accurately, at any tempo and rate.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <numbers>
#include <string>
#include <vector>

namespace bpmtest {

enum class Groove {
  kRock,       // kick on 1 and 3, snare on 2 and 4, hats on eighths
  kHouse,      // kick on every beat, clap on 2 and 4, open hats off the beat
  kBreakbeat,  // syncopated kicks, snare on 2 and 4, sixteenth hats with accents
  kHipHop,     // kick on 1, the "and" of 2 and on 3, snare 2 and 4, hats on eighths
};

inline const char* GrooveName(Groove g) {
  switch (g) {
    case Groove::kRock: return "rock";
    case Groove::kHouse: return "house";
    case Groove::kBreakbeat: return "breakbeat";
    case Groove::kHipHop: return "hiphop";
  }
  return "?";
}

struct LoopSpec {
  double bpm = 120;
  Groove groove = Groove::kRock;
  int sampleRate = 44100;
  double seconds = 30;
  double leadIn = 0.0;  // silence before the first beat, seconds
};

namespace detail {

struct Noise {
  uint32_t state = 0x12345678u;
  float Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
  }
};

inline std::vector<float> Kick(int rate) {
  std::vector<float> s(static_cast<size_t>(0.35 * rate));
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double freq = 50.0 + 90.0 * std::exp(-t / 0.03);
    phase += 2 * std::numbers::pi * freq / rate;
    s[i] = static_cast<float>(0.9 * std::exp(-t / 0.12) * std::sin(phase));
  }
  return s;
}

inline std::vector<float> Snare(int rate, Noise& noise) {
  std::vector<float> s(static_cast<size_t>(0.25 * rate));
  float low = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const float n = noise.Next();
    low += 0.3f * (n - low);
    const double tone = std::sin(2 * std::numbers::pi * 185.0 * t) * std::exp(-t / 0.05);
    s[i] = static_cast<float>(0.45 * ((n - 0.5 * low) * std::exp(-t / 0.07) + 0.6 * tone));
  }
  return s;
}

inline std::vector<float> Hat(int rate, Noise& noise, double decay) {
  std::vector<float> s(static_cast<size_t>(6 * decay * rate));
  float low = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const float n = noise.Next();
    low += 0.5f * (n - low);
    s[i] = static_cast<float>(0.2 * (n - low) * std::exp(-t / decay));
  }
  return s;
}

inline void Mix(std::vector<float>& out, const std::vector<float>& sound, double at, int rate, float gain) {
  const auto start = static_cast<size_t>(std::llround(at * rate));
  for (size_t i = 0; i < sound.size() && start + i < out.size(); ++i) out[start + i] += gain * sound[i];
}

}  // namespace detail

// Mono samples of the loop, full scale -1..1.
inline std::vector<float> MakeLoop(const LoopSpec& loop) {
  using namespace detail;
  Noise noise;
  const auto kick = Kick(loop.sampleRate);
  const auto snare = Snare(loop.sampleRate, noise);
  const auto hat = Hat(loop.sampleRate, noise, 0.012);
  const auto openHat = Hat(loop.sampleRate, noise, 0.05);
  std::vector<float> out(static_cast<size_t>(loop.seconds * loop.sampleRate), 0.0f);
  const double step = 60.0 / loop.bpm / 4;  // a sixteenth note
  const auto steps = static_cast<long>((loop.seconds - loop.leadIn) / step) + 1;
  for (long n = 0; n < steps; ++n) {
    const double at = loop.leadIn + n * step;
    const int s = static_cast<int>(n % 16);
    auto hit = [&](std::initializer_list<int> set) {
      for (int v : set)
        if (v == s) return true;
      return false;
    };
    switch (loop.groove) {
      case Groove::kRock:
        if (hit({0, 8})) Mix(out, kick, at, loop.sampleRate, 1.0f);
        if (hit({4, 12})) Mix(out, snare, at, loop.sampleRate, 1.0f);
        if (s % 2 == 0) Mix(out, hat, at, loop.sampleRate, 1.0f);
        break;
      case Groove::kHouse:
        if (s % 4 == 0) Mix(out, kick, at, loop.sampleRate, 1.0f);
        if (hit({4, 12})) Mix(out, snare, at, loop.sampleRate, 0.8f);
        if (s % 4 == 2) Mix(out, openHat, at, loop.sampleRate, 1.0f);
        break;
      case Groove::kBreakbeat:
        if (hit({0, 6, 10})) Mix(out, kick, at, loop.sampleRate, 1.0f);
        if (hit({4, 12})) Mix(out, snare, at, loop.sampleRate, 1.0f);
        Mix(out, hat, at, loop.sampleRate, s % 4 == 0 ? 1.0f : (s % 2 == 0 ? 0.6f : 0.35f));
        break;
      case Groove::kHipHop:
        if (hit({0, 6, 8})) Mix(out, kick, at, loop.sampleRate, 1.0f);
        if (hit({4, 12})) Mix(out, snare, at, loop.sampleRate, 1.0f);
        if (s % 2 == 0) Mix(out, hat, at, loop.sampleRate, 0.8f);
        break;
    }
  }
  return out;
}

inline std::string LoopName(const LoopSpec& loop) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s_%.2f_%d", GrooveName(loop.groove), loop.bpm, loop.sampleRate);
  return buf;
}

}  // namespace bpmtest
