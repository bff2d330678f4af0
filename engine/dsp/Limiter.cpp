#include "engine/dsp/Limiter.h"

#include <algorithm>
#include <cmath>

namespace engine::dsp {

namespace {

// A gain this close to 1 is 1: the release would otherwise creep towards 1
// for ever and never hand the sound back untouched.
constexpr double kUnitySnap = 1e-5;

double Coefficient(float ms, int rate) { return 1.0 - std::exp(-1000.0 / (static_cast<double>(ms) * rate)); }

// What leaves the limiter for a sample that is still above the threshold
// after the gain: bent towards the ceiling, the slope 1 at the threshold so
// that the bend has no corner.
float Knee(float v) {
  constexpr float t = Limiter::kThreshold;
  constexpr float room = Limiter::kCeiling - Limiter::kThreshold;
  const float a = std::fabs(v);
  if (a <= t) return v;
  const float bent = t + room * std::tanh((a - t) / room);
  return std::copysign(std::min(bent, Limiter::kCeiling), v);
}

}  // namespace

Limiter::Limiter(int rate)
    : attack_(Coefficient(kAttackMs, rate)),
      release_(Coefficient(kReleaseMs, rate)),
      holdFrames_(static_cast<int>(std::lround(kHoldMs * static_cast<float>(rate) / 1000.0f))) {}

void Limiter::Reset() { pairs_.fill(Pair{}); }

void Limiter::Process(float* samples, size_t frames, int channels) {
  if (!samples || channels < 1) return;
  channels = std::min(channels, kMaxChannels);
  for (int first = 0, pair = 0; first < channels; first += 2, ++pair)
    ProcessPair(pairs_[static_cast<size_t>(pair)], samples, frames, channels, first, std::min(2, channels - first));
}

void Limiter::ProcessPair(Pair& p, float* samples, size_t frames, int channels, int first, int count) {
  double gain = p.gain, target = p.target;
  int hold = p.hold, silent = p.silent;
  for (size_t f = 0; f < frames; ++f) {
    float* s = samples + f * static_cast<size_t>(channels) + static_cast<size_t>(first);
    float peak = 0.0f;
    for (int c = 0; c < count; ++c) {
      if (!std::isfinite(s[c])) s[c] = 0.0f;
      peak = std::max(peak, std::fabs(s[c]));
    }
    // The quiet, untouched case first: nothing to do.
    if (gain == 1.0 && target == 1.0 && peak <= kThreshold) continue;
    if (peak == 0.0f) {
      if (++silent >= holdFrames_) {
        gain = target = 1.0;
        hold = silent = 0;
      }
      continue;
    }
    silent = 0;

    const double wanted = peak > kThreshold ? static_cast<double>(kThreshold) / peak : 1.0;
    if (wanted <= target) {
      target = wanted;
      hold = holdFrames_;
    } else if (hold > 0) {
      --hold;
    } else if (target < 1.0) {
      target += (1.0 - target) * release_;
      if (target > 1.0 - kUnitySnap) target = 1.0;
    }
    if (target < gain) {
      gain += (target - gain) * attack_;
    } else {
      gain = target;
    }
    const float g = static_cast<float>(gain);
    for (int c = 0; c < count; ++c) s[c] = Knee(gain == 1.0 ? s[c] : s[c] * g);
  }
  p.gain = gain;
  p.target = target;
  p.hold = hold;
  p.silent = silent;
}

}  // namespace engine::dsp
