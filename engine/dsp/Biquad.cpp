#include "engine/dsp/Biquad.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace engine::dsp {
namespace {

double Finite(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

// Normalised angular frequency, kept inside (0, pi) with a margin at both ends.
double Omega(double sampleRate, double hz) {
  const double rate = std::max(Finite(sampleRate, 44100.0), 1000.0);
  const double f = std::clamp(Finite(hz, 1000.0), 1.0, rate * kMaxNormalisedFrequency);
  return 2.0 * std::numbers::pi * f / rate;
}

BiquadCoeffs Normalise(double b0, double b1, double b2, double a0, double a1, double a2) {
  BiquadCoeffs c;
  c.b0 = b0 / a0;
  c.b1 = b1 / a0;
  c.b2 = b2 / a0;
  c.a1 = a1 / a0;
  c.a2 = a2 / a0;
  return c;
}

}  // namespace

BiquadCoeffs DesignPeaking(double sampleRate, double centreHz, double gainDb, double q,
                           double bandwidthOctaves) {
  const double w0 = Omega(sampleRate, centreHz);
  const double a = std::pow(10.0, std::clamp(Finite(gainDb, 0.0), -48.0, 48.0) / 40.0);
  const double sinW = std::sin(w0);
  double alpha;
  q = Finite(q, 0.0);
  if (q > 0) {
    alpha = sinW / (2.0 * std::clamp(q, 0.05, 50.0));
  } else {
    const double bw = std::clamp(Finite(bandwidthOctaves, 1.0), 0.05, 6.0);
    // The bandwidth form; its ratio w0/sin(w0) grows without bound towards
    // Nyquist, so the width is capped where it stops meaning anything.
    alpha = sinW * std::sinh(std::min(std::log(2.0) / 2.0 * bw * w0 / sinW, 10.0));
  }
  return Normalise(1 + alpha * a, -2 * std::cos(w0), 1 - alpha * a, 1 + alpha / a,
                   -2 * std::cos(w0), 1 - alpha / a);
}

}  // namespace engine::dsp
