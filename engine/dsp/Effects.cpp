// The engine's effects. Each one keeps two copies of its parameters: the
// control thread's copy, which SetParameters changes and GetParameters
// reports, and the audio thread's copy, which Process takes over from a
// ParamSlot at the start of a block. Everything an effect needs (delay lines,
// filter states) is allocated in its constructor.
//
// A new record never steps the sound: levels and mixes ramp to their new
// values (Ramp), a new delay is crossfaded from the old one (TapFade), the
// low pass and the equaliser bands glide to their new settings. Only the
// records taken before an effect's first block apply at once.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "engine/dsp/Biquad.h"
#include "engine/dsp/Dsp.h"
#include "engine/dsp/ParamSlot.h"

namespace engine::dsp {
namespace {

// Delays in the echo and reverb records count sample frames at this rate, so
// that one setting gives the same time on every file.
constexpr double kDelayReferenceRate = 44100.0;
constexpr int kMaxEchoDelayFrames = 44100;   // one second at the reference rate
constexpr double kMaxEcho3DelaySeconds = 2.0;
constexpr int kMaxEqBands = 32;

bool Finite(float v) { return std::isfinite(v); }
bool ValidChannel(int32_t channel, int channels) { return channel >= -1 && channel <= channels; }
// -1 and 0 select every channel, n selects channel n (counted from 1).
bool Selected(int32_t channel, int c) { return channel <= 0 || channel == c + 1; }

float Flush(float v) { return std::fabs(v) < 1e-15f ? 0.0f : v; }

// How long a level or mix takes to reach a new value, and how long the
// crossfade from an old delay to a new one lasts.
constexpr double kRampSeconds = 0.01;
constexpr double kTapFadeSeconds = 0.02;

int FramesOf(double seconds, int rate) { return std::max(1, static_cast<int>(std::lround(seconds * rate))); }

// A gain or mix that moves to a new target in a straight line over a fixed
// number of frames; a new target during a ramp starts a new ramp from where
// the value stands, so the value never jumps.
class Ramp {
 public:
  explicit Ramp(float initial = 0.0f) : value_(initial), target_(initial) {}
  // atOnce: take the target now (before the first block).
  void To(float target, int frames, bool atOnce) {
    target_ = target;
    if (atOnce || frames <= 0) {
      value_ = target;
      left_ = 0;
      return;
    }
    step_ = (target - value_) / static_cast<float>(frames);
    left_ = frames;
  }
  // The value for the next frame.
  float Next() {
    if (left_ > 0) value_ = --left_ == 0 ? target_ : value_ + step_;
    return value_;
  }
  // Moves on by `frames` at once and gives the value reached.
  float Skip(int frames) {
    if (left_ > 0) {
      if (frames >= left_) {
        left_ = 0;
        value_ = target_;
      } else {
        left_ -= frames;
        value_ += step_ * static_cast<float>(frames);
      }
    }
    return value_;
  }
  float value() const { return value_; }
  // Ends a ramp at its target now.
  void Finish() {
    value_ = target_;
    left_ = 0;
  }

 private:
  float value_, target_, step_ = 0;
  int left_ = 0;
};

// The delay at which a delay line is read. A new delay does not jump: for a
// short while both the old and the new delay are read and crossfaded. A new
// delay that comes during a crossfade waits for its end (only the latest one
// waits), so a slider moved quickly never makes the sound jump either.
class TapFade {
 public:
  explicit TapFade(int fadeFrames) : fade_(std::max(1, fadeFrames)) {}
  void Set(int delay, bool atOnce) {
    if (atOnce) {
      from_ = to_ = delay;
      left_ = 0;
      waiting_ = -1;
    } else if (left_ > 0) {
      waiting_ = delay;
    } else if (delay != from_) {
      Start(delay);
    }
  }
  bool Fading() const { return left_ > 0; }
  int from() const { return from_; }
  int to() const { return to_; }
  // Share of the new delay in this frame (0 at the start of a crossfade).
  float weight() const { return 1.0f - static_cast<float>(left_) / static_cast<float>(fade_); }
  // Ends a crossfade (and one that waits) at its new delay now.
  void Finish() {
    if (waiting_ >= 0) to_ = waiting_;
    from_ = to_;
    left_ = 0;
    waiting_ = -1;
  }
  // After each frame.
  void Advance() {
    if (left_ == 0 || --left_ > 0) return;
    from_ = to_;
    if (waiting_ >= 0 && waiting_ != from_) Start(waiting_);
    waiting_ = -1;
  }

 private:
  void Start(int delay) {
    to_ = delay;
    left_ = fade_;
  }
  const int fade_;
  int from_ = 0, to_ = 0, waiting_ = -1, left_ = 0;
};

// Shared handling of a parameter record: validation, the two copies and the
// hand-over to the audio thread.
template <typename Record>
class RecordEffect : public Effect {
 public:
  RecordEffect(int sampleRate, int channels, const Record& defaults)
      : rate_(sampleRate), channels_(channels), control_(defaults), slot_(defaults) {}

  bool SetParameters(const void* record) override {
    if (record == nullptr) return false;
    Record r;
    std::memcpy(&r, record, sizeof r);
    if (!Valid(r)) return false;
    control_ = r;
    slot_.Publish(r);
    return true;
  }
  bool GetParameters(void* record) const override {
    if (record == nullptr) return false;
    std::memcpy(record, &control_, sizeof control_);
    return true;
  }

 protected:
  virtual bool Valid(const Record& r) const = 0;
  // Takes new values on the audio thread.
  virtual void Apply(const Record& r) = 0;
  // Called at the start of Process.
  void Sync() {
    Record r;
    if (slot_.Fetch(r, seen_)) Apply(r);
    running_ = true;
  }
  // False until the first block (and again after a Reset): records taken
  // then apply at once.
  bool Running() const { return running_; }
  // After a Reset: the sound starts afresh, so nothing needs to glide.
  void Restart() { running_ = false; }

  const int rate_;
  const int channels_;

 private:
  Record control_;
  ParamSlot<Record> slot_;
  uint32_t seen_ = 0;
  bool running_ = false;
};

// ---- swap ---------------------------------------------------------------

class SwapEffect final : public Effect {
 public:
  explicit SwapEffect(int channels) : channels_(channels) {}
  void Process(float* s, int frames) override {
    if (channels_ < 2) return;
    for (int f = 0; f < frames; ++f, s += channels_)
      for (int c = 0; c + 1 < channels_; c += 2) std::swap(s[c], s[c + 1]);
  }
  bool SetParameters(const void*) override { return false; }
  bool GetParameters(void*) const override { return false; }
  void Reset() override {}

 private:
  const int channels_;
};

// ---- rotate -------------------------------------------------------------

// Pans the mix of each channel pair slowly from one side to the other and
// back, with equal power so the loudness stays the same.
class RotateEffect final : public Effect {
 public:
  static constexpr double kCycleHz = 0.2;
  RotateEffect(int sampleRate, int channels)
      : channels_(channels), step_(2.0 * std::numbers::pi * kCycleHz / sampleRate) {}
  void Process(float* s, int frames) override {
    if (channels_ < 2) return;
    for (int f = 0; f < frames; ++f, s += channels_) {
      const double theta = std::numbers::pi / 4 * (1.0 + std::sin(phase_));
      const float gl = static_cast<float>(std::cos(theta) * std::numbers::sqrt2);
      const float gr = static_cast<float>(std::sin(theta) * std::numbers::sqrt2);
      for (int c = 0; c + 1 < channels_; c += 2) {
        const float mid = 0.5f * (s[c] + s[c + 1]);
        s[c] = mid * gl;
        s[c + 1] = mid * gr;
      }
      phase_ += step_;
      if (phase_ >= 2.0 * std::numbers::pi) phase_ -= 2.0 * std::numbers::pi;
    }
  }
  bool SetParameters(const void*) override { return false; }
  bool GetParameters(void*) const override { return false; }
  void Reset() override {}

 private:
  const int channels_;
  const double step_;
  double phase_ = 0;
};

// ---- echo ---------------------------------------------------------------

// Feedback delay: each repeat comes `delay` later, the first at `level`, the
// following ones weaker.
class EchoEffect final : public RecordEffect<EchoParams> {
 public:
  EchoEffect(int sampleRate, int channels)
      : RecordEffect(sampleRate, channels, EchoParams{0.3f, 11025}),
        capacity_(static_cast<int>(std::ceil(kMaxEchoDelayFrames * sampleRate / kDelayReferenceRate)) + 1),
        line_(static_cast<size_t>(capacity_) * channels, 0.0f),
        ramp_(FramesOf(kRampSeconds, sampleRate)),
        tap_(FramesOf(kTapFadeSeconds, sampleRate)) {}

  void Process(float* s, int frames) override {
    Sync();
    for (int f = 0; f < frames; ++f, s += channels_) {
      const float level = level_.Next();
      const float feedback = kFeedbackShare * level;
      const float* r0 = Tap(tap_.from());
      const float* r1 = tap_.Fading() ? Tap(tap_.to()) : r0;
      const float g = tap_.Fading() ? tap_.weight() : 0.0f;
      float* w = &line_[static_cast<size_t>(write_) * channels_];
      for (int c = 0; c < channels_; ++c) {
        const float delayed = r0[c] + (r1[c] - r0[c]) * g;
        const float x = s[c];
        s[c] = x + level * delayed;
        w[c] = Flush(x + feedback * delayed);
      }
      tap_.Advance();
      if (++write_ == capacity_) write_ = 0;
    }
  }
  void Reset() override {
    std::fill(line_.begin(), line_.end(), 0.0f);
    level_.Finish();
    tap_.Finish();
    Restart();
  }

 private:
  static constexpr float kFeedbackShare = 0.6f;  // later repeats: this share of the level each

  const float* Tap(int delay) const {
    int read = write_ - delay;
    if (read < 0) read += capacity_;
    return &line_[static_cast<size_t>(read) * channels_];
  }
  bool Valid(const EchoParams& p) const override { return Finite(p.level); }
  void Apply(const EchoParams& p) override {
    level_.To(std::clamp(p.level, 0.0f, 1.0f), ramp_, !Running());
    const double frames = static_cast<double>(p.delay) * rate_ / kDelayReferenceRate;
    tap_.Set(static_cast<int>(std::clamp(std::lround(frames), 1L, static_cast<long>(capacity_ - 1))), !Running());
  }

  const int capacity_;
  std::vector<float> line_;
  const int ramp_;
  int write_ = 0;
  TapFade tap_;
  Ramp level_;
};

// ---- big echo -----------------------------------------------------------

// One repeat: out = dry * in + wet * in delayed by `delay` seconds.
class Echo3Effect final : public RecordEffect<Echo3Params> {
 public:
  Echo3Effect(int sampleRate, int channels)
      : RecordEffect(sampleRate, channels, Echo3Params{1.0f, 0.5f, 0.25f, -1}),
        capacity_(static_cast<int>(std::ceil(kMaxEcho3DelaySeconds * sampleRate)) + 1),
        line_(static_cast<size_t>(capacity_) * channels, 0.0f),
        ramp_(FramesOf(kRampSeconds, sampleRate)),
        tap_(FramesOf(kTapFadeSeconds, sampleRate)) {}

  void Process(float* s, int frames) override {
    Sync();
    for (int f = 0; f < frames; ++f, s += channels_) {
      const float dry = dry_.Next(), wet = wet_.Next();
      float* w = &line_[static_cast<size_t>(write_) * channels_];
      const float* r0 = Tap(tap_.from());
      const float* r1 = tap_.Fading() ? Tap(tap_.to()) : r0;
      const float g = tap_.Fading() ? tap_.weight() : 0.0f;
      for (int c = 0; c < channels_; ++c) {
        const float x = s[c];
        w[c] = x;  // written first so that a delay of 0 reads the sample itself
        if (Selected(channel_, c)) s[c] = dry * x + wet * (r0[c] + (r1[c] - r0[c]) * g);
      }
      tap_.Advance();
      if (++write_ == capacity_) write_ = 0;
    }
  }
  void Reset() override {
    std::fill(line_.begin(), line_.end(), 0.0f);
    dry_.Finish();
    wet_.Finish();
    tap_.Finish();
    Restart();
  }

 private:
  bool Valid(const Echo3Params& p) const override {
    return Finite(p.dryMix) && Finite(p.wetMix) && Finite(p.delay) && ValidChannel(p.channel, channels_);
  }
  const float* Tap(int delay) const {
    int read = write_ - delay;
    if (read < 0) read += capacity_;
    return &line_[static_cast<size_t>(read) * channels_];
  }
  void Apply(const Echo3Params& p) override {
    dry_.To(std::clamp(p.dryMix, -100.0f, 100.0f), ramp_, !Running());
    wet_.To(std::clamp(p.wetMix, -100.0f, 100.0f), ramp_, !Running());
    const double frames = std::clamp(static_cast<double>(p.delay), 0.0, kMaxEcho3DelaySeconds) * rate_;
    tap_.Set(std::min(static_cast<int>(std::lround(frames)), capacity_ - 1), !Running());
    channel_ = p.channel;
  }

  const int capacity_;
  std::vector<float> line_;
  const int ramp_;
  int write_ = 0;
  TapFade tap_;
  Ramp dry_{1.0f}, wet_{0.0f};
  int32_t channel_ = -1;
};

// ---- flanger ------------------------------------------------------------

// A short delay swept up and down by a triangle wave and mixed with the dry
// signal. `speed` is how many samples (at 44.1 kHz) the delay moves per
// sample, so 0.009 sweeps the whole depth back and forth about once a second.
class FlangerEffect final : public RecordEffect<FlangerParams> {
 public:
  static constexpr double kMinDelaySeconds = 0.0002;
  static constexpr double kMaxDelaySeconds = 0.005;
  static constexpr float kFeedback = 0.4f;

  FlangerEffect(int sampleRate, int channels)
      : RecordEffect(sampleRate, channels, FlangerParams{0.5f, 0.002f, -1}),
        minDelay_(kMinDelaySeconds * sampleRate),
        maxDelay_(kMaxDelaySeconds * sampleRate),
        capacity_(static_cast<int>(std::ceil(maxDelay_)) + 4),
        line_(static_cast<size_t>(capacity_) * channels, 0.0f),
        delay_(minDelay_),
        ramp_(FramesOf(kRampSeconds, sampleRate)) {}

  void Process(float* s, int frames) override {
    Sync();
    for (int f = 0; f < frames; ++f, s += channels_) {
      const float wet = wet_.Next();
      double readPos = write_ - delay_;
      if (readPos < 0) readPos += capacity_;
      const int i0 = static_cast<int>(readPos);
      const int i1 = i0 + 1 == capacity_ ? 0 : i0 + 1;
      const float frac = static_cast<float>(readPos - i0);
      float* w = &line_[static_cast<size_t>(write_) * channels_];
      const float* r0 = &line_[static_cast<size_t>(i0) * channels_];
      const float* r1 = &line_[static_cast<size_t>(i1) * channels_];
      for (int c = 0; c < channels_; ++c) {
        const float x = s[c];
        const float delayed = r0[c] + (r1[c] - r0[c]) * frac;
        w[c] = Flush(x + kFeedback * delayed);
        if (Selected(channel_, c)) s[c] = (1.0f - wet) * x + wet * delayed;
      }
      if (++write_ == capacity_) write_ = 0;
      delay_ += direction_ * step_;
      if (delay_ >= maxDelay_) {
        delay_ = maxDelay_;
        direction_ = -1;
      } else if (delay_ <= minDelay_) {
        delay_ = minDelay_;
        direction_ = 1;
      }
    }
  }
  void Reset() override {
    std::fill(line_.begin(), line_.end(), 0.0f);
    wet_.Finish();
    Restart();
  }

 private:
  bool Valid(const FlangerParams& p) const override {
    return Finite(p.wetDry) && Finite(p.speed) && ValidChannel(p.channel, channels_);
  }
  void Apply(const FlangerParams& p) override {
    wet_.To(std::clamp(p.wetDry, 0.0f, 1.0f), ramp_, !Running());
    step_ = std::clamp(static_cast<double>(p.speed), 0.0, 1.0) * rate_ / kDelayReferenceRate;
    channel_ = p.channel;
  }

  const double minDelay_, maxDelay_;
  const int capacity_;
  std::vector<float> line_;
  int write_ = 0;
  double delay_;
  double step_ = 0;
  int direction_ = 1;
  const int ramp_;
  Ramp wet_;
  int32_t channel_ = -1;
};

// ---- volume -------------------------------------------------------------

// Linear gain per channel. A change moves the gain in a straight line over
// kRampSeconds so that steps do not click; before the first block the gain
// is taken at once.
class VolumeEffect final : public Effect {
 public:
  static constexpr double kRampSeconds = 0.01;
  static constexpr int kMaxChannels = 32;

  VolumeEffect(int sampleRate, int channels)
      : channels_(channels),
        rampFrames_(std::max(1, static_cast<int>(std::lround(kRampSeconds * sampleRate)))),
        controlGains_(Unity()),
        slot_(Unity()),
        gain_(Unity()),
        target_(Unity()) {
    step_.fill(0.0f);
  }

  // A record changes the gains of the channels it selects. What travels to
  // the audio thread is every channel's gain, not the record: a record for
  // one channel that is followed by another's before the next block is not
  // lost.
  bool SetParameters(const void* record) override {
    if (record == nullptr) return false;
    VolumeParams p;
    std::memcpy(&p, record, sizeof p);
    if (!Finite(p.volume) || p.volume < 0.0f || !ValidChannel(p.channel, channels_)) return false;
    const float v = std::min(p.volume, 1000.0f);
    for (int c = 0; c < channels_; ++c)
      if (Selected(p.channel, c)) controlGains_[static_cast<size_t>(c)] = v;
    control_ = p;
    slot_.Publish(controlGains_);
    return true;
  }
  bool GetParameters(void* record) const override {
    if (record == nullptr) return false;
    std::memcpy(record, &control_, sizeof control_);
    return true;
  }

  void Process(float* s, int frames) override {
    Gains g;
    if (slot_.Fetch(g, seen_)) Apply(g);
    started_ = true;
    for (int f = 0; f < frames; ++f, s += channels_) {
      if (rampLeft_ > 0) {
        if (--rampLeft_ == 0) {
          gain_ = target_;
        } else {
          for (int c = 0; c < channels_; ++c) gain_[c] += step_[c];
        }
      }
      for (int c = 0; c < channels_; ++c) s[c] *= gain_[c];
    }
  }
  void Reset() override {}

 private:
  using Gains = std::array<float, kMaxChannels>;
  static Gains Unity() {
    Gains g;
    g.fill(1.0f);
    return g;
  }

  // Takes new gains on the audio thread: at once before the first block,
  // along a ramp afterwards.
  void Apply(const Gains& g) {
    target_ = g;
    if (!started_) {
      gain_ = target_;
      rampLeft_ = 0;
      return;
    }
    for (int c = 0; c < channels_; ++c) step_[c] = (target_[c] - gain_[c]) / rampFrames_;
    rampLeft_ = rampFrames_;
  }

  const int channels_;
  const int rampFrames_;
  // Control side.
  VolumeParams control_{-1, 1.0f};
  Gains controlGains_;
  // Shared.
  ParamSlot<Gains> slot_;
  // Audio side.
  uint32_t seen_ = 0;
  Gains gain_, target_, step_;
  int rampLeft_ = 0;
  bool started_ = false;
};

// ---- low pass -----------------------------------------------------------

// A resonant low pass with the response of the RBJ design, built as a
// trapezoidal state-variable filter: its states are integrator values, so
// the cut-off can move while sound runs without bursts. A new cut-off or
// resonance is reached by a short glide (log frequency, ~10 ms) rather than
// a jump; before the first block it is taken at once.
class LowPassEffect final : public RecordEffect<LowPassParams> {
 public:
  static constexpr int kGlideBlock = 32;
  static constexpr double kGlideSeconds = 0.01;

  LowPassEffect(int sampleRate, int channels)
      : RecordEffect(sampleRate, channels, LowPassParams{0, 2.0f, 1000.0f, 0}),
        state_(static_cast<size_t>(channels)),
        glide_(1.0 - std::exp(-kGlideBlock / (kGlideSeconds * sampleRate))) {}

  void Process(float* s, int frames) override {
    Sync();
    started_ = true;
    for (int done = 0; done < frames; done += kGlideBlock) {
      if (logCut_ != targetLogCut_ || q_ != targetQ_) Glide();
      const int n = std::min(kGlideBlock, frames - done);
      float* x = s + static_cast<size_t>(done) * channels_;
      for (int f = 0; f < n; ++f, x += channels_) {
        for (int c = 0; c < channels_; ++c) {
          State& st = state_[c];
          const double v3 = x[c] - st.ic2;
          const double v1 = a1_ * st.ic1 + a2_ * v3;
          const double v2 = st.ic2 + a2_ * st.ic1 + a3_ * v3;
          st.ic1 = 2 * v1 - st.ic1;
          st.ic2 = 2 * v2 - st.ic2;
          x[c] = static_cast<float>(v2);
        }
      }
    }
    for (auto& st : state_)
      if (std::fabs(st.ic1) + std::fabs(st.ic2) < 1e-30) st = State{};
  }
  void Reset() override { std::fill(state_.begin(), state_.end(), State{}); }

 private:
  struct State {
    double ic1 = 0, ic2 = 0;
  };
  bool Valid(const LowPassParams& p) const override { return Finite(p.resonance) && Finite(p.cutoff); }
  void Apply(const LowPassParams& p) override {
    const double cut = std::clamp(static_cast<double>(p.cutoff), 10.0, kMaxNormalisedFrequency * rate_);
    targetLogCut_ = std::log(cut);
    targetQ_ = std::clamp(static_cast<double>(p.resonance), 0.1, 30.0);
    if (!started_) {
      logCut_ = targetLogCut_;
      q_ = targetQ_;
      Design();
    }
  }
  void Glide() {
    logCut_ += (targetLogCut_ - logCut_) * glide_;
    q_ += (targetQ_ - q_) * glide_;
    if (std::fabs(targetLogCut_ - logCut_) < 1e-4) logCut_ = targetLogCut_;
    if (std::fabs(targetQ_ - q_) < 1e-4) q_ = targetQ_;
    Design();
  }
  void Design() {
    const double g = std::tan(std::numbers::pi * std::exp(logCut_) / rate_);
    const double k = 1.0 / q_;
    a1_ = 1.0 / (1.0 + g * (g + k));
    a2_ = g * a1_;
    a3_ = g * a2_;
  }

  std::vector<State> state_;
  const double glide_;
  double logCut_ = 0, targetLogCut_ = 0, q_ = 1, targetQ_ = 1;
  double a1_ = 0, a2_ = 0, a3_ = 0;
  bool started_ = false;
};

// ---- reverb -------------------------------------------------------------

// A Schroeder/Freeverb network per channel: eight damped feedback combs in
// parallel, then four allpasses. `delay` (frames at 44.1 kHz) sets how long
// the tail lasts: its time times six is the time to fall by 60 dB.
class ReverbEffect final : public RecordEffect<ReverbParams> {
 public:
  static constexpr std::array<int, 8> kCombs{1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  static constexpr std::array<int, 4> kAllpasses{556, 441, 341, 225};
  static constexpr int kSpread = 23;  // odd channels get slightly longer lines
  static constexpr float kInputGain = 0.015f;
  static constexpr float kWetScale = 3.0f;
  static constexpr float kDamping = 0.25f;

  ReverbEffect(int sampleRate, int channels)
      : RecordEffect(sampleRate, channels, ReverbParams{0.3f, 5000}),
        chans_(static_cast<size_t>(channels)),
        ramp_(FramesOf(kRampSeconds, sampleRate)) {
    const double scale = sampleRate / kDelayReferenceRate;
    for (int c = 0; c < channels; ++c) {
      const int spread = (c % 2) ? kSpread : 0;
      for (size_t i = 0; i < kCombs.size(); ++i)
        chans_[c].combs[i].Init(std::max(1, static_cast<int>((kCombs[i] + spread) * scale)));
      for (size_t i = 0; i < kAllpasses.size(); ++i)
        chans_[c].allpasses[i].Init(std::max(1, static_cast<int>((kAllpasses[i] + spread) * scale)));
    }
  }

  void Process(float* s, int frames) override {
    Sync();
    // The wet level moves in a straight line across the block when it is
    // ramping.
    const float wet0 = level_.value() * kWetScale;
    const float wet1 = level_.Skip(frames) * kWetScale;
    const float step = frames > 0 ? (wet1 - wet0) / static_cast<float>(frames) : 0.0f;
    for (int c = 0; c < channels_; ++c) {
      Channel& ch = chans_[c];
      float* x = s + c;
      float wet = wet0;
      for (int f = 0; f < frames; ++f, x += channels_) {
        const float in = *x * kInputGain;
        float out = 0;
        for (auto& comb : ch.combs) out += comb.Run(in, kDamping);
        for (auto& ap : ch.allpasses) out = ap.Run(out);
        wet += step;
        *x += wet * out;
      }
    }
  }
  void Reset() override {
    for (auto& ch : chans_) {
      for (auto& comb : ch.combs) comb.Clear();
      for (auto& ap : ch.allpasses) ap.Clear();
    }
    level_.Finish();
    Restart();
  }

 private:
  struct Comb {
    std::vector<float> buf;
    size_t pos = 0, length = 1;
    float feedback = 0.8f, store = 0;
    void Init(int n) {
      buf.assign(static_cast<size_t>(n), 0.0f);
      length = buf.size();
    }
    void Clear() {
      std::fill(buf.begin(), buf.end(), 0.0f);
      store = 0;
    }
    float Run(float in, float damp) {
      const float out = buf[pos];
      store = Flush(out * (1 - damp) + store * damp);
      buf[pos] = in + store * feedback;
      if (++pos == length) pos = 0;
      return out;
    }
  };
  struct Allpass {
    std::vector<float> buf;
    size_t pos = 0, length = 1;
    void Init(int n) {
      buf.assign(static_cast<size_t>(n), 0.0f);
      length = buf.size();
    }
    void Clear() { std::fill(buf.begin(), buf.end(), 0.0f); }
    float Run(float in) {
      const float delayed = buf[pos];
      buf[pos] = Flush(in + delayed * 0.5f);
      if (++pos == length) pos = 0;
      return delayed - in;
    }
  };
  struct Channel {
    std::array<Comb, 8> combs;
    std::array<Allpass, 4> allpasses;
  };

  bool Valid(const ReverbParams& p) const override { return Finite(p.level); }
  void Apply(const ReverbParams& p) override {
    level_.To(std::clamp(p.level, 0.0f, 1.0f), ramp_, !Running());
    const double rt60 = std::clamp(p.delay / kDelayReferenceRate * 6.0, 0.1, 20.0);
    for (auto& ch : chans_)
      for (auto& comb : ch.combs)
        comb.feedback = static_cast<float>(std::pow(10.0, -3.0 * comb.buf.size() / (rt60 * rate_)));
  }

  std::vector<Channel> chans_;
  const int ramp_;
  Ramp level_;
};

// ---- peaking equaliser --------------------------------------------------

// Up to kMaxEqBands bands, each addressed by the caller's band number. A
// band is added by its first record and stays; a band at 0 dB is skipped.
// A new gain glides there (kGlideDbPerSecond, the block run in short pieces
// meanwhile, each with the gains a step further); a band added while sound
// runs glides in from 0 dB. Centre, width and rate are taken at once.
class PeakEqEffect final : public Effect {
 public:
  static constexpr int kGlideFrames = 32;
  static constexpr double kGlideDbPerSecond = 500.0;

  PeakEqEffect(int sampleRate, int channels)
      : rate_(sampleRate), channels_(channels), state_(static_cast<size_t>(channels) * kMaxEqBands) {}

  bool SetParameters(const void* record) override {
    if (record == nullptr) return false;
    PeakEqParams p;
    std::memcpy(&p, record, sizeof p);
    if (p.freq < 0 || !Finite(p.bandwidth) || !Finite(p.q) || !Finite(p.center) || !Finite(p.gain))
      return false;
    int slot = Find(p.band);
    if (slot < 0) {
      if (bandCount_ == kMaxEqBands) return false;
      slot = bandCount_++;
    }
    control_[slot] = p;
    slots_[slot].Publish(p);
    // The audio thread looks only at slots below the published count.
    used_.store(bandCount_, std::memory_order_release);
    return true;
  }
  bool GetParameters(void* record) const override {
    if (record == nullptr) return false;
    int32_t band;
    std::memcpy(&band, record, sizeof band);
    const int slot = Find(band);
    if (slot < 0) return false;
    std::memcpy(record, &control_[slot], sizeof(PeakEqParams));
    return true;
  }

  void Process(float* s, int frames) override {
    TakeRecords();
    if (!gliding_) return Run(s, frames);
    for (int done = 0; done < frames; done += kGlideFrames) {
      const int n = std::min(kGlideFrames, frames - done);
      Glide(n);
      Run(s + static_cast<size_t>(done) * channels_, n);
    }
  }
  void Reset() override {
    for (auto& st : state_) st.Clear();
    // The sound starts afresh: the gains are where they were going.
    for (int b = 0; b < bandsSeen_; ++b) {
      bands_[b].gain = bands_[b].targetGain;
      Design(bands_[b]);
    }
    gliding_ = false;
    running_ = false;
  }

 private:
  struct Band {
    BiquadCoeffs coeffs;
    uint32_t seen = 0;
    bool flat = true;
    bool known = false;
    PeakEqParams shape{};     // the record last taken
    float gain = 0;           // dB now
    float targetGain = 0;     // dB it glides to
  };

  void Design(Band& band) {
    const double rate = band.shape.freq > 0 ? band.shape.freq : rate_;
    band.flat = band.gain == 0.0f;
    band.coeffs = DesignPeaking(rate, band.shape.center, band.gain, band.shape.q, band.shape.bandwidth);
  }
  void TakeRecords() {
    bandsSeen_ = used_.load(std::memory_order_acquire);
    for (int b = 0; b < bandsSeen_; ++b) {
      Band& band = bands_[b];
      PeakEqParams p;
      if (!slots_[b].Fetch(p, band.seen)) continue;
      band.shape = p;
      band.targetGain = p.gain;
      if (!running_) {
        band.gain = p.gain;
      } else if (!band.known) {
        band.gain = 0.0f;
      }
      band.known = true;
      Design(band);
      if (band.gain != band.targetGain) gliding_ = true;
    }
    running_ = true;
  }
  // Moves every gliding band on by `frames`.
  void Glide(int frames) {
    const float step = static_cast<float>(kGlideDbPerSecond * frames / rate_);
    gliding_ = false;
    for (int b = 0; b < bandsSeen_; ++b) {
      Band& band = bands_[b];
      if (band.gain == band.targetGain) continue;
      const float d = band.targetGain - band.gain;
      band.gain = std::fabs(d) <= step ? band.targetGain : band.gain + (d > 0 ? step : -step);
      Design(band);
      if (band.gain != band.targetGain) gliding_ = true;
    }
  }
  void Run(float* s, int frames) {
    std::array<int, kMaxEqBands> active;
    int count = 0;
    for (int b = 0; b < bandsSeen_; ++b) {
      const Band& band = bands_[b];
      BiquadState* st = &state_[static_cast<size_t>(b) * channels_];
      if (band.flat) {
        for (int c = 0; c < channels_; ++c) st[c].Clear();
      } else {
        active[count++] = b;
      }
    }
    if (count == 0) return;
    if (channels_ == 2) {
      ProcessStereo(s, frames, active.data(), count);
    } else {
      // Sample by sample through every band: the bands of neighbouring
      // samples are independent, which lets the processor overlap them.
      float* x = s;
      for (int f = 0; f < frames; ++f, x += channels_) {
        for (int c = 0; c < channels_; ++c) {
          double v = x[c];
          for (int i = 0; i < count; ++i) {
            const int b = active[i];
            v = state_[static_cast<size_t>(b) * channels_ + c].Run(bands_[b].coeffs, v);
          }
          x[c] = static_cast<float>(v);
        }
      }
    }
    for (int i = 0; i < count; ++i)
      for (int c = 0; c < channels_; ++c) state_[static_cast<size_t>(active[i]) * channels_ + c].FlushTiny();
  }
  int Find(int32_t band) const {
    for (int i = 0; i < bandCount_; ++i)
      if (control_[i].band == band) return i;
    return -1;
  }

  // Stereo, the common case, with the same arithmetic as BiquadState::Run
  // (so the same samples) but arranged for speed: both channels at once in
  // a pair of doubles, and the bands as a wavefront. In step t band i works
  // on frame t - i, taking what band i - 1 made of that frame in step t - 1,
  // so the bands of one step never wait for each other; passing each frame
  // through the bands in turn would make every band wait for the one before.
  void ProcessStereo(float* s, int frames, const int* active, int count) {
    using Pair = double __attribute__((vector_size(16)));
    Pair b0[kMaxEqBands], b1[kMaxEqBands], b2[kMaxEqBands], a1[kMaxEqBands], a2[kMaxEqBands];
    Pair x1[kMaxEqBands], x2[kMaxEqBands], y1[kMaxEqBands], y2[kMaxEqBands];
    for (int i = 0; i < count; ++i) {
      const BiquadCoeffs& k = bands_[active[i]].coeffs;
      b0[i] = Pair{k.b0, k.b0};
      b1[i] = Pair{k.b1, k.b1};
      b2[i] = Pair{k.b2, k.b2};
      a1[i] = Pair{k.a1, k.a1};
      a2[i] = Pair{k.a2, k.a2};
      const BiquadState* st = &state_[static_cast<size_t>(active[i]) * 2];
      x1[i] = Pair{st[0].x1, st[1].x1};
      x2[i] = Pair{st[0].x2, st[1].x2};
      y1[i] = Pair{st[0].y1, st[1].y1};
      y2[i] = Pair{st[0].y2, st[1].y2};
    }
    // carry[i]: what enters band i in this step.
    Pair carry[kMaxEqBands + 1];
    for (int t = 0; t < frames + count - 1; ++t) {
      if (t < frames) carry[0] = Pair{s[2 * t], s[2 * t + 1]};
      const int first = std::max(0, t - frames + 1), last = std::min(count - 1, t);
      // Downwards, so that each band reads its input before the band below
      // passes on the next frame.
      for (int i = last; i >= first; --i) {
        const Pair x = carry[i];
        const Pair y = (b1[i] * x1[i] + b2[i] * x2[i] - a2[i] * y2[i] - a1[i] * y1[i]) + b0[i] * x;
        x2[i] = x1[i];
        x1[i] = x;
        y2[i] = y1[i];
        y1[i] = y;
        carry[i + 1] = y;
      }
      if (t >= count - 1) {
        const int f = t - (count - 1);
        s[2 * f] = static_cast<float>(carry[count][0]);
        s[2 * f + 1] = static_cast<float>(carry[count][1]);
      }
    }
    for (int i = 0; i < count; ++i) {
      BiquadState* st = &state_[static_cast<size_t>(active[i]) * 2];
      for (int c = 0; c < 2; ++c) {
        st[c].x1 = x1[i][c];
        st[c].x2 = x2[i][c];
        st[c].y1 = y1[i][c];
        st[c].y2 = y2[i][c];
      }
    }
  }

  const int rate_;
  const int channels_;
  // Control side.
  std::array<PeakEqParams, kMaxEqBands> control_{};
  int bandCount_ = 0;
  // Shared.
  std::array<ParamSlot<PeakEqParams>, kMaxEqBands> slots_;
  std::atomic<int> used_{0};
  // Audio side.
  std::array<Band, kMaxEqBands> bands_{};
  std::vector<BiquadState> state_;
  int bandsSeen_ = 0;
  bool running_ = false;
  bool gliding_ = false;
};

}  // namespace

std::unique_ptr<Effect> CreateEffect(int32_t type, int sampleRate, int channels) {
  if (sampleRate < 1000 || sampleRate > 768000 || channels < 1 || channels > VolumeEffect::kMaxChannels)
    return nullptr;
  switch (type) {
    case kSwap: return std::make_unique<SwapEffect>(channels);
    case kRotate: return std::make_unique<RotateEffect>(sampleRate, channels);
    case kEcho: return std::make_unique<EchoEffect>(sampleRate, channels);
    case kFlanger: return std::make_unique<FlangerEffect>(sampleRate, channels);
    case kVolume: return std::make_unique<VolumeEffect>(sampleRate, channels);
    case kPeakEq: return std::make_unique<PeakEqEffect>(sampleRate, channels);
    case kReverb: return std::make_unique<ReverbEffect>(sampleRate, channels);
    case kLowPass: return std::make_unique<LowPassEffect>(sampleRate, channels);
    case kEcho3: return std::make_unique<Echo3Effect>(sampleRate, channels);
    default: return nullptr;
  }
}

int RecordSize(int32_t type) {
  switch (type) {
    case kEcho: return sizeof(EchoParams);
    case kFlanger: return sizeof(FlangerParams);
    case kVolume: return sizeof(VolumeParams);
    case kPeakEq: return sizeof(PeakEqParams);
    case kReverb: return sizeof(ReverbParams);
    case kLowPass: return sizeof(LowPassParams);
    case kEcho3: return sizeof(Echo3Params);
    default: return 0;
  }
}

}  // namespace engine::dsp
