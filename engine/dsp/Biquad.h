// Second-order peaking sections with the well-known RBJ cookbook design.
// Coefficients and state are double so that low bands (80 Hz at 48 kHz and
// below) stay accurate; the design clamps its inputs so that a centre at or
// past Nyquist still gives a stable filter.
#pragma once

#include <cmath>

namespace engine::dsp {

struct BiquadCoeffs {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // normalised by a0
};

// Direct form I: the state is the last inputs and outputs themselves, so a
// change of coefficients while sound runs (a slider moving) gives no burst,
// which a transposed form's internal state can give at low frequencies.
struct BiquadState {
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double Run(const BiquadCoeffs& c, double x) {
    // The history terms first, the new input last: a cascade of sections
    // then waits only one multiply-add per section for its input.
    const double y = (c.b1 * x1 + c.b2 * x2 - c.a2 * y2 - c.a1 * y1) + c.b0 * x;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
  void Clear() { x1 = x2 = y1 = y2 = 0; }
  // Clears a state that has decayed to nothing (keeps silence free of
  // denormal numbers).
  void FlushTiny() {
    if (std::fabs(x1) + std::fabs(x2) + std::fabs(y1) + std::fabs(y2) < 1e-30) Clear();
  }
};

// Highest frequency, as a share of the sample rate, that a design accepts.
inline constexpr double kMaxNormalisedFrequency = 0.45;

// Peaking band: +gainDb at centreHz. q > 0 sets the width directly,
// otherwise bandwidthOctaves does.
BiquadCoeffs DesignPeaking(double sampleRate, double centreHz, double gainDb, double q,
                           double bandwidthOctaves);

}  // namespace engine::dsp
