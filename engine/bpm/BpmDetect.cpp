// Tempo detection in four steps:
//  1. Onset envelope: the signal is split into a low, a mid and a high band
//     by second-order filters; the energy of each band is taken every
//     ~5.8 ms, compressed (log), and its rises are summed, the high band
//     weighted least; a running mean is taken off so noise does not count.
//     A second envelope, of the body of the sound, sums the rises of the
//     low and mid bands only, each measured against the loudest band's
//     level rather than its own.
//  2. Candidates: the peaks of the envelope's autocorrelation within the
//     allowed beat periods, with their doubles, halves and thirds.
//  3. Each candidate's period is refined on the autocorrelation at far
//     multiples of the period (a long lag gives a fine period), then scored
//     by folding the envelope at that period: the strongest phase's mean
//     above the envelope's mean says how well onsets line up on the beat.
//  4. The strongest candidate is usually the slowest level of the rhythm
//     that is evenly strong (a bar, or two beats); the beat is the fastest
//     relative of it (x1.5, x2, x3, x4) that lines up nearly as well. A faster
//     level whose every other pulse is weak does not, and neither does one
//     whose extra pulses are hi-hats: a hat rises as suddenly as a kick, so
//     on the onset envelope the hats between the kicks of a four-on-the-floor
//     make the double tempo line up nearly as well as the kicks' own. The
//     relative must therefore also line up nearly as well on the body
//     envelope, where a hat's faint share below the high band is small next
//     to a kick, and a snare or clap between the kicks is not.
#include "engine/bpm/BpmDetect.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace engine::bpm {
namespace {

constexpr double kHopRate = 172.265625;  // envelope frames per second (hop 256 at 44.1 kHz)
constexpr float kBandWeights[3] = {1.0f, 1.0f, 0.5f};
constexpr double kLowBandHz = 150.0;   // low pass: kick drums, bass
constexpr double kMidBandHz = 1000.0;  // band pass: snares, claps, voices
constexpr double kHighBandHz = 5000.0; // high pass: hi-hats, cymbals
// A faster relative is the beat when it lines up at least this well
// compared with the strongest candidate.
constexpr double kFasterShare = 0.77;
// ... and at least this well on the body envelope. There a snare or clap
// between the kicks gives 0.65 and more, hi-hats between them, even bright
// ones nearly as loud as the kick, about 0.5 to 0.55.
constexpr double kBodyShare = 0.6;
// Below this strength (in standard deviations of the envelope) the best
// candidate is taken as no tempo at all.
constexpr double kMinStrength = 1.0;
constexpr double kMinSeconds = 2.0;
constexpr size_t kRiseReach = 3;  // hops a rise is measured against
// Smallest rise (natural log of energy) that counts as an onset: a steady
// tone's rounding noise stays far below it.
constexpr float kMinRise = 0.05f;
// The floor under the log of a band's energy, as a share of the band's own
// mean energy (onset envelope) or of the loudest band's (body envelope).
constexpr double kFloorShare = 0.02;

// The onset envelope and the body envelope, one value per hop.
struct Envelopes {
  std::vector<float> onsets;
  std::vector<float> body;
};

// An envelope folded at trial periods.
class Folded {
 public:
  explicit Folded(std::vector<float> env) : env_(std::move(env)) {
    double sum = 0;
    for (float v : env_) sum += v;
    mean_ = env_.empty() ? 0.0 : sum / static_cast<double>(env_.size());
  }
  const std::vector<float>& values() const { return env_; }
  double mean() const { return mean_; }

  // Folds the envelope at the period into phase bins (about one frame each)
  // and returns the strongest three-bin window's mean above the envelope's
  // overall mean.
  double Fold(double period) const {
    const int bins = std::max(8, static_cast<int>(period));
    sums_.assign(static_cast<size_t>(bins), 0.0);
    counts_.assign(static_cast<size_t>(bins), 0);
    const double perBin = bins / period;
    double phase = 0;
    for (float v : env_) {
      int b = static_cast<int>(phase * perBin);
      if (b >= bins) b = bins - 1;
      sums_[b] += v;
      ++counts_[b];
      phase += 1.0;
      if (phase >= period) phase -= period;
    }
    double best = -1e300;
    for (int b = 0; b < bins; ++b) {
      double s = 0;
      int n = 0;
      for (int d = -1; d <= 1; ++d) {
        const int i = (b + d + bins) % bins;
        s += sums_[i];
        n += counts_[i];
      }
      if (n > 0) best = std::max(best, s / n);
    }
    return best - mean_;
  }

 private:
  std::vector<float> env_;
  double mean_ = 0;
  mutable std::vector<double> sums_;
  mutable std::vector<int> counts_;
};

struct Candidate {
  double period = 0;  // envelope frames
  double score = 0;
};

class Detector {
 public:
  Detector(Envelopes env, double hopSeconds, double minBpm, double maxBpm)
      : onsets_(std::move(env.onsets)), body_(std::move(env.body)), hop_(hopSeconds), minBpm_(minBpm),
        maxBpm_(maxBpm) {
    const std::vector<float>& e = onsets_.values();
    const double mean = onsets_.mean();
    double var = 0;
    for (float v : e) var += (v - mean) * (v - mean);
    std_ = std::sqrt(var / e.size());
    centred_.resize(e.size());
    for (size_t i = 0; i < e.size(); ++i) centred_[i] = static_cast<float>(e[i] - mean);
  }

  double PeriodOf(double bpm) const { return 60.0 / (bpm * hop_); }
  double BpmOf(double period) const { return 60.0 / (period * hop_); }
  bool InRange(double bpm) const { return bpm >= minBpm_ * 0.999 && bpm <= maxBpm_ * 1.001; }

  float Run() {
    if (std_ <= 0) return 0;
    const double pMin = PeriodOf(maxBpm_), pMax = PeriodOf(minBpm_);
    const int lagMax = static_cast<int>(std::ceil(pMax)) + 2;
    if (static_cast<size_t>(lagMax) * 2 >= centred_.size()) return 0;

    std::vector<double> acf(static_cast<size_t>(lagMax) + 2);
    for (int lag = 1; lag < static_cast<int>(acf.size()); ++lag) acf[lag] = Acf(lag);

    // Peaks of the autocorrelation among the allowed periods.
    std::vector<std::pair<double, double>> peaks;  // value, period
    for (int lag = std::max(2, static_cast<int>(std::floor(pMin)) - 1); lag <= lagMax; ++lag) {
      if (acf[lag] > 0 && acf[lag] >= acf[lag - 1] && acf[lag] > acf[lag + 1])
        peaks.emplace_back(acf[lag], lag + Vertex(acf[lag - 1], acf[lag], acf[lag + 1]));
    }
    if (peaks.empty()) return 0;
    std::sort(peaks.begin(), peaks.end(), [](auto& a, auto& b) { return a.first > b.first; });
    if (peaks.size() > 4) peaks.resize(4);

    std::vector<Candidate> candidates;
    for (const auto& [value, period] : peaks) {
      for (double ratio : {1.0, 2.0, 0.5, 3.0, 1.0 / 3.0}) AddCandidate(candidates, BpmOf(period) * ratio);
    }
    if (candidates.empty()) return 0;
    const Candidate* best = &candidates[0];
    for (const auto& c : candidates)
      if (c.score > best->score) best = &c;
    if (best->score < kMinStrength * std_ || best->score < kMinRise) return 0;

    // The beat: the fastest relative of the strongest candidate that lines up
    // nearly as well as it, on the onsets and on the body. The relatives are
    // exact divisions of its polished period, so they are as precise as it
    // is. Where the body has no beat of its own, the onsets decide alone.
    const double bestPeriod = Polish(best->period);
    const double bestScore = Fold(bestPeriod);
    const double bestBody = body_.Fold(bestPeriod);
    double beatPeriod = bestPeriod;
    for (double factor : {1.5, 2.0, 3.0, 4.0}) {
      const double period = bestPeriod / factor;
      if (!InRange(BpmOf(period)) || Fold(period) < kFasterShare * bestScore) continue;
      if (bestBody > 0 && body_.Fold(period) < kBodyShare * bestBody) continue;
      beatPeriod = period;
    }
    const double bpm = BpmOf(beatPeriod);
    return static_cast<float>(std::clamp(bpm, minBpm_, maxBpm_));
  }

 private:
  // Autocorrelation at an integer lag, as a mean so long lags are not
  // penalised for their fewer terms.
  double Acf(int lag) const {
    const size_t n = centred_.size() - static_cast<size_t>(lag);
    const float* a = centred_.data();
    const float* b = centred_.data() + lag;
    float sum = 0;
    for (size_t i = 0; i < n; ++i) sum += a[i] * b[i];
    return sum / n;
  }

  // Offset (-0.5..0.5) of the top of a parabola through three points.
  static double Vertex(double l, double m, double r) {
    const double d = l - 2 * m + r;
    if (d >= 0) return 0;
    return std::clamp(0.5 * (l - r) / d, -0.5, 0.5);
  }

  void AddCandidate(std::vector<Candidate>& out, double bpm) const {
    if (!InRange(bpm)) return;
    for (const auto& c : out)
      if (std::fabs(BpmOf(c.period) / bpm - 1.0) < 0.01) return;
    out.push_back(Refine(PeriodOf(bpm)));
  }

  // Sharpens a period on the autocorrelation around far multiples of it,
  // then scores it.
  Candidate Refine(double period) const {
    const double maxLag = std::min(centred_.size() / 2.0, 12.0 / hop_);
    for (int k = 2; k * period + 3 < maxLag; k *= 2) {
      const int centre = static_cast<int>(std::lround(k * period));
      double values[7];
      int bestI = 1;
      for (int i = 0; i < 7; ++i) values[i] = Acf(centre - 3 + i);
      for (int i = 1; i < 6; ++i)
        if (values[i] > values[bestI]) bestI = i;
      if (values[bestI] < values[bestI - 1] || values[bestI] <= values[bestI + 1]) continue;
      const double lag = centre - 3 + bestI + Vertex(values[bestI - 1], values[bestI], values[bestI + 1]);
      period = lag / k;
    }
    return Candidate{period, Fold(period)};
  }

  // Finest step: the fold score over a narrow band of periods around the
  // refined one.
  double Polish(double period) const {
    constexpr int kSteps = 10;
    const double step = period * 0.0003;
    double scores[2 * kSteps + 1];
    int bestI = kSteps;
    for (int i = 0; i <= 2 * kSteps; ++i) {
      scores[i] = Fold(period + (i - kSteps) * step);
      if (scores[i] > scores[bestI]) bestI = i;
    }
    double offset = bestI - kSteps;
    if (bestI > 0 && bestI < 2 * kSteps) offset += Vertex(scores[bestI - 1], scores[bestI], scores[bestI + 1]);
    return period + offset * step;
  }

  double Fold(double period) const { return onsets_.Fold(period); }

  Folded onsets_;
  Folded body_;
  std::vector<float> centred_;  // the onset envelope less its mean
  double hop_;
  double minBpm_, maxBpm_;
  double std_ = 0;
};

// A float second-order section (RBJ designs), enough for an envelope.
struct Section {
  float b0, b1, b2, a1, a2, s1 = 0, s2 = 0;
  float Run(float x) {
    const float y = b0 * x + s1;
    s1 = b1 * x - a1 * y + s2;
    s2 = b2 * x - a2 * y;
    return y;
  }
  static Section Make(double b0, double b1, double b2, double a0, double a1, double a2) {
    return Section{static_cast<float>(b0 / a0), static_cast<float>(b1 / a0), static_cast<float>(b2 / a0),
                   static_cast<float>(a1 / a0), static_cast<float>(a2 / a0)};
  }
  static double W(int rate, double hz) { return 2 * std::numbers::pi * std::min(hz, 0.45 * rate) / rate; }
  static Section LowPass(int rate, double hz) {
    const double w = W(rate, hz), c = std::cos(w), a = std::sin(w) / (2 * std::numbers::sqrt2 / 2);
    return Make((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + a, -2 * c, 1 - a);
  }
  static Section HighPass(int rate, double hz) {
    const double w = W(rate, hz), c = std::cos(w), a = std::sin(w) / (2 * std::numbers::sqrt2 / 2);
    return Make((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + a, -2 * c, 1 - a);
  }
  static Section BandPass(int rate, double hz) {
    const double w = W(rate, hz), c = std::cos(w), a = std::sin(w) / (2 * 0.7);
    return Make(a, 0, -a, 1 + a, -2 * c, 1 - a);
  }
};

// The weighted sum of the bands' rises of log energy (over the given floors),
// less its running mean.
std::vector<float> Rises(const std::vector<float> (&energy)[3], const double (&floors)[3], const float (&weights)[3]) {
  const size_t count = energy[0].size();
  std::vector<float> env(count, 0.0f);
  for (int b = 0; b < 3; ++b) {
    if (weights[b] == 0.0f) continue;
    const double floor = floors[b] + 1e-12;
    // A rise counts above the highest of the last few hops, not just the
    // last one: held chords beat (their partials interfere a few dozen
    // times a second) and would otherwise rise and fall on every hop.
    float h1 = 0, h2 = 0, h3 = 0;
    for (size_t t = 0; t < count; ++t) {
      const float m = static_cast<float>(std::log1p(energy[b][t] / floor));
      const float ref = std::max(h1, std::max(h2, h3));
      if (t >= kRiseReach && m > ref) env[t] += weights[b] * (m - ref);
      h3 = h2;
      h2 = h1;
      h1 = m;
    }
  }
  // Rises that stand out from their surroundings only: a running mean over
  // about 0.2 s is taken off, which removes the steady flicker of noise.
  constexpr size_t kHalf = 16;
  std::vector<float> out(count, 0.0f);
  double run = 0;
  size_t lo = 0, hi = 0;
  for (size_t t = 0; t < count; ++t) {
    while (hi < count && hi <= t + kHalf) run += env[hi++];
    while (lo + kHalf < t) run -= env[lo++];
    out[t] = std::max(0.0f, env[t] - static_cast<float>(run / (hi - lo)));
  }
  return out;
}

// Step 1: the onset and body envelopes, with progress reported over the
// samples.
Envelopes OnsetEnvelopes(const float* mono, size_t frames, int sampleRate, size_t hop,
                         const std::function<void(float)>& progress) {
  const size_t count = frames / hop;
  std::vector<float> energy[3];
  for (auto& e : energy) e.resize(count);
  Section bands[3] = {Section::LowPass(sampleRate, kLowBandHz), Section::BandPass(sampleRate, kMidBandHz),
                      Section::HighPass(sampleRate, kHighBandHz)};
  const size_t reportEvery = std::max<size_t>(1, count / 20);
  for (size_t t = 0; t < count; ++t) {
    const float* x = mono + t * hop;
    float eL = 0, eM = 0, eH = 0;
    for (size_t i = 0; i < hop; ++i) {
      const float s = x[i];
      const float bl = bands[0].Run(s), bm = bands[1].Run(s), bh = bands[2].Run(s);
      eL += bl * bl;
      eM += bm * bm;
      eH += bh * bh;
    }
    if (!std::isfinite(eL + eM + eH)) {  // damaged samples: treat the hop as silent
      for (auto& band : bands) band.s1 = band.s2 = 0;
      eL = eM = eH = 0;
    }
    energy[0][t] = eL;
    energy[1][t] = eM;
    energy[2][t] = eH;
    if (progress && (t + 1) % reportEvery == 0) progress(90.0f * (t + 1) / count);
  }

  double means[3];
  for (int b = 0; b < 3; ++b) {
    double sum = 0;
    for (float e : energy[b]) sum += e;
    means[b] = sum / static_cast<double>(std::max<size_t>(1, count));
  }
  const double loudest = std::max({means[0], means[1], means[2]});
  Envelopes out;
  const double ownFloors[3] = {kFloorShare * means[0], kFloorShare * means[1], kFloorShare * means[2]};
  out.onsets = Rises(energy, ownFloors, kBandWeights);
  // The body: kicks, snares, claps and bass, against the loudest band's
  // level, so that the faint share a hi-hat leaves in the mid band is not
  // a full onset there just because nothing else sounds in that band.
  constexpr float kBodyWeights[3] = {1.0f, 1.0f, 0.0f};
  const double commonFloors[3] = {kFloorShare * loudest, kFloorShare * loudest, kFloorShare * loudest};
  out.body = Rises(energy, commonFloors, kBodyWeights);
  return out;
}

}  // namespace

float DetectBpm(const float* mono, size_t frames, int sampleRate,
                const std::function<void(float percent)>& progress, float minBpm, float maxBpm) {
  auto finish = [&](float bpm) {
    if (progress) progress(100.0f);
    return bpm;
  };
  if (progress) progress(0.0f);
  if (mono == nullptr || sampleRate < 4000 || sampleRate > 768000) return finish(0);
  double lo = std::isfinite(minBpm) && minBpm > 0 ? minBpm : 60.0;
  double hi = std::isfinite(maxBpm) && maxBpm > 0 ? maxBpm : 190.0;
  lo = std::max(lo, 20.0);
  hi = std::min(hi, 400.0);
  if (lo >= hi) return finish(0);
  if (frames < kMinSeconds * sampleRate || frames < 60.0 / lo * 4 * sampleRate) return finish(0);

  const size_t hop = std::max<size_t>(1, static_cast<size_t>(std::lround(sampleRate / kHopRate)));
  Detector detector(OnsetEnvelopes(mono, frames, sampleRate, hop, progress), static_cast<double>(hop) / sampleRate,
                    lo, hi);
  const float bpm = detector.Run();
  return finish(bpm);
}

}  // namespace engine::bpm
