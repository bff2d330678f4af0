// Second-order filter sections with the well-known RBJ cookbook designs.
// Coefficients and state are double so that low bands (80 Hz at 48 kHz and
// below) stay accurate; the design functions clamp their inputs so that a
// centre or cut-off at or past Nyquist still gives a stable filter.
#pragma once

namespace engine::dsp {

struct BiquadCoeffs {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // normalised by a0
};

struct BiquadState {
  double s1 = 0, s2 = 0;  // transposed direct form II
  double Run(const BiquadCoeffs& c, double x) {
    const double y = c.b0 * x + s1;
    s1 = c.b1 * x - c.a1 * y + s2;
    s2 = c.b2 * x - c.a2 * y;
    return y;
  }
  void Clear() { s1 = s2 = 0; }
};

// Highest frequency, as a share of the sample rate, that a design accepts.
inline constexpr double kMaxNormalisedFrequency = 0.45;

// Peaking band: +gainDb at centreHz. q > 0 sets the width directly,
// otherwise bandwidthOctaves does.
BiquadCoeffs DesignPeaking(double sampleRate, double centreHz, double gainDb, double q,
                           double bandwidthOctaves);

// Resonant low pass with cut-off cutoffHz and quality q.
BiquadCoeffs DesignLowPass(double sampleRate, double cutoffHz, double q);

}  // namespace engine::dsp
