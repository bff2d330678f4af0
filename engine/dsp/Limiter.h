// The output limiter of a device: keeps every sample that leaves the
// program below full scale, while sound that stays below about -1 dBFS
// passes bit for bit.
//
// No look-ahead (it would delay everything a device plays, and the
// positions the program shows are what has been heard): a gain that falls
// fast and rises slowly, and behind it a soft knee for the first
// milliseconds of a peak.
//
//  * Gain. Each frame asks for the gain that brings its louder channel down
//    to the threshold (-1 dBFS); the lowest gain asked for is held for
//    kHoldMs (so that it does not rise between the crests of a low tone),
//    then rises back towards 1 with a time constant of kReleaseMs. The gain
//    applied follows a fall with a time constant of kAttackMs (one-pole; 99 %
//    of it within 1 ms), so that it never steps, and a rise at once (the
//    rise is smooth already). A gain this close to 1 (1e-5) is 1,
//    and so is the gain after kHoldMs of digital silence (nothing to click
//    then): the next song starts untouched.
//  * Soft knee. A sample that is still above the threshold while the gain
//    falls is bent smoothly (tanh, slope 1 at the threshold) towards the
//    ceiling, which it never reaches.
//
// The channels of a device go in pairs (front, rear, centre and LFE, side),
// each pair with its own gain and both channels of a pair together, so
// that the stereo image holds and a loud pair does not duck another. Sound
// whose gain is 1 and whose samples stay at or below the threshold is not
// touched at all. A sample that is not a number, or infinite, is silence.
//
// Real-time: Process() never allocates, locks or waits; the state is a few
// numbers per pair, kept between calls (one caller at a time: the device's
// output callback).
#pragma once

#include <array>
#include <cstddef>

namespace engine::dsp {

class Limiter {
 public:
  static constexpr float kThreshold = 0.8912509f;  // -1 dBFS
  static constexpr float kCeiling = 0.99f;         // never reached
  static constexpr float kAttackMs = 0.2f;
  static constexpr float kHoldMs = 20.0f;
  static constexpr float kReleaseMs = 80.0f;
  static constexpr int kMaxChannels = 8;

  explicit Limiter(int rate = 44100);
  // Limits `frames` interleaved frames of `channels` (1..kMaxChannels)
  // channels in place.
  void Process(float* samples, size_t frames, int channels);
  // Forgets every pair's gain (back to 1).
  void Reset();
  // The gain pair `pair` applies now (for tests).
  float Gain(int pair) const { return static_cast<float>(pairs_[static_cast<size_t>(pair)].gain); }

 private:
  struct Pair {
    // In double: a float would stall a step short of 1 as the gain rises.
    double gain = 1.0;    // applied
    double target = 1.0;  // asked for (held, then released)
    int hold = 0;         // frames the target is still held
    int silent = 0;       // frames of silence in a row while the gain is below 1
  };
  void ProcessPair(Pair& p, float* samples, size_t frames, int channels, int first, int count);

  std::array<Pair, kMaxChannels / 2> pairs_{};
  double attack_;
  double release_;
  int holdFrames_;
};

}  // namespace engine::dsp
