// Drum patterns of an exactly known tempo made from a drum kit recorded by
// sox (tests/fixtures/bpm/make.sh), for the tempo detection's table test and
// its benchmark: the kit's sounds placed on a sixteenth-note grid, to the
// sample, at any tempo. The kit is read through the engine's own decoder.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/Engine.h"

namespace bpmtest {

enum class Pattern {
  kFour,       // kick on every beat, clap on 2 and 4
  kOffbeat,    // kick on every beat, a bright open hi-hat on every off-beat, a held bass
  kSixteenth,  // kick on every beat, clap on 2 and 4, closed hi-hats on every sixteenth, a held bass
  kHalftime,   // kick on every beat, snare on 3 only, closed hi-hats on the eighths
  kBreakbeat,  // kicks on 1, the "and" of 2 and the "a" of 3, snare on 2 and 4, hats on the eighths
  kBackbeat,   // kick on 1 and 3, snare on 2 and 4, closed hi-hats on the eighths
};

inline constexpr Pattern kPatterns[] = {Pattern::kFour,      Pattern::kOffbeat,   Pattern::kSixteenth,
                                        Pattern::kHalftime,  Pattern::kBreakbeat, Pattern::kBackbeat};

// The tempos of the table: the double of those below 100 BPM lies in the
// default range of 60 to 190 BPM too, and so does the half of those above 120.
inline constexpr double kPatternTempos[] = {60, 72, 80, 90, 95, 100, 110, 128, 140, 160, 174, 190};

inline const char* PatternName(Pattern p) {
  switch (p) {
    case Pattern::kFour: return "four";
    case Pattern::kOffbeat: return "offbeat";
    case Pattern::kSixteenth: return "sixteenth";
    case Pattern::kHalftime: return "halftime";
    case Pattern::kBreakbeat: return "breakbeat";
    case Pattern::kBackbeat: return "backbeat";
  }
  return "?";
}

struct DrumKit {
  int rate = 0;
  std::vector<float> kick, snare, clap, hat, openhat, bass;

  // Reads the kit from its folder; false when a sound is missing or the
  // sounds' rates differ.
  bool Load(const std::string& folder) {
    rate = 0;
    for (auto [name, sound] : {std::pair{"kick", &kick}, std::pair{"snare", &snare}, std::pair{"clap", &clap},
                               std::pair{"hat", &hat}, std::pair{"openhat", &openhat}, std::pair{"bass", &bass}}) {
      int soundRate = 0;
      if (!Read(folder + "/" + name + ".flac", *sound, soundRate) || (rate != 0 && soundRate != rate)) return false;
      rate = soundRate;
    }
    return true;
  }

 private:
  static bool Read(const std::string& path, std::vector<float>& out, int& rate) {
    const engine::Handle h = engine::OpenFileStream(false, path.c_str(), 0, 0, engine::kDecode);
    if (h == 0) return false;
    rate = static_cast<int>(engine::FileRate(h));
    out.clear();
    std::vector<int16_t> block(4096);
    for (;;) {
      const int32_t got = engine::ReadData(h, block.data(), static_cast<uint32_t>(block.size() * 2));
      if (got <= 0) break;
      for (int32_t i = 0; i < got / 2; ++i) out.push_back(block[static_cast<size_t>(i)] / 32768.0f);
    }
    engine::FreeStream(h);
    return !out.empty() && rate > 0;
  }
};

// Mono samples of the pattern at the kit's rate, peaking at 0.9, the first
// beat at the first sample.
inline std::vector<float> MakePattern(const DrumKit& kit, Pattern pattern, double bpm, double seconds = 30) {
  std::vector<float> out(static_cast<size_t>(seconds * kit.rate), 0.0f);
  const double step = 60.0 / bpm / 4;  // a sixteenth note
  // Adds a sound at `at` seconds, cut off after `hold` seconds when given.
  auto put = [&](const std::vector<float>& sound, double at, float gain, double hold = 0) {
    const auto start = static_cast<size_t>(std::llround(at * kit.rate));
    if (start >= out.size()) return;
    size_t length = std::min(sound.size(), out.size() - start);
    if (hold > 0) length = std::min(length, static_cast<size_t>(hold * kit.rate));
    float* to = out.data() + start;
    const float* from = sound.data();
    for (size_t i = 0; i < length; ++i) to[i] += gain * from[i];
  };
  for (long n = 0; n * step < seconds; ++n) {
    const double at = n * step;
    const int s = static_cast<int>(n % 16);
    const bool beat = s % 4 == 0, offbeat = s % 4 == 2, backbeat = s == 4 || s == 12;
    switch (pattern) {
      case Pattern::kFour:
        if (beat) put(kit.kick, at, 1.0f);
        if (backbeat) put(kit.clap, at, 0.8f);
        break;
      case Pattern::kOffbeat:
        if (beat) put(kit.kick, at, 1.0f);
        if (offbeat) put(kit.openhat, at, 1.0f);
        if (s % 8 == 0) put(kit.bass, at, 0.5f, 8 * step);
        break;
      case Pattern::kSixteenth:
        if (beat) put(kit.kick, at, 1.0f);
        if (backbeat) put(kit.clap, at, 0.8f);
        put(kit.hat, at, offbeat ? 1.0f : 0.5f);
        if (s % 8 == 0) put(kit.bass, at, 0.5f, 8 * step);
        break;
      case Pattern::kHalftime:
        if (beat) put(kit.kick, at, 1.0f);
        if (s == 8) put(kit.snare, at, 1.0f);
        if (s % 2 == 0) put(kit.hat, at, 0.8f);
        break;
      case Pattern::kBreakbeat:
        if (s == 0 || s == 6 || s == 10) put(kit.kick, at, 1.0f);
        if (backbeat) put(kit.snare, at, 1.0f);
        if (s % 2 == 0) put(kit.hat, at, 0.8f);
        break;
      case Pattern::kBackbeat:
        if (s == 0 || s == 8) put(kit.kick, at, 1.0f);
        if (backbeat) put(kit.snare, at, 1.0f);
        if (s % 2 == 0) put(kit.hat, at, 0.8f);
        break;
    }
  }
  float* v = out.data();
  const size_t n = out.size();
  float peak = 0;
  for (size_t i = 0; i < n; ++i) {
    const float a = v[i] < 0 ? -v[i] : v[i];
    if (a > peak) peak = a;
  }
  const float scale = peak > 0 ? 0.9f / peak : 1.0f;
  for (size_t i = 0; i < n; ++i) v[i] *= scale;
  return out;
}

inline std::string PatternCaseName(Pattern pattern, double bpm) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s_%03.0f", PatternName(pattern), bpm);
  return buf;
}

}  // namespace bpmtest
