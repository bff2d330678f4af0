// The DSP effects measured on test signals: each effect must change the
// sound the way its name says, take and report its parameter records, and
// stay stable for any record a caller can send.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>
#include <vector>

#include "engine/dsp/Dsp.h"
#include "engine/dsp/ParamSlot.h"

using namespace engine::dsp;

namespace {

constexpr double kPi = std::numbers::pi;

// Interleaved signal, `channels` copies of a sum of sines (amplitude each).
std::vector<float> Tones(int rate, int channels, double seconds, std::initializer_list<double> freqs,
                         float amplitude = 0.25f) {
  const size_t frames = static_cast<size_t>(seconds * rate);
  std::vector<float> s(frames * channels);
  for (size_t f = 0; f < frames; ++f) {
    double v = 0;
    for (double hz : freqs) v += amplitude * std::sin(2 * kPi * hz * f / rate);
    for (int c = 0; c < channels; ++c) s[f * channels + c] = static_cast<float>(v);
  }
  return s;
}

// Amplitude of one frequency in one channel over frames [from, to)
// (a correlation with a sine and a cosine; exact for whole periods).
double AmplitudeAt(const std::vector<float>& s, int channels, int channel, int rate, double hz, size_t from,
                   size_t to) {
  double re = 0, im = 0;
  for (size_t f = from; f < to; ++f) {
    const double x = s[f * channels + channel];
    re += x * std::cos(2 * kPi * hz * f / rate);
    im += x * std::sin(2 * kPi * hz * f / rate);
  }
  return 2 * std::hypot(re, im) / (to - from);
}

double Db(double ratio) { return 20 * std::log10(ratio); }

double Rms(const std::vector<float>& s, int channels, int channel, size_t from, size_t to) {
  double sum = 0;
  for (size_t f = from; f < to; ++f) sum += double(s[f * channels + channel]) * s[f * channels + channel];
  return std::sqrt(sum / (to - from));
}

// Runs the effect over the whole buffer in blocks of 512 frames, as a stream does.
void Feed(Effect& e, std::vector<float>& s, int channels) {
  const int frames = static_cast<int>(s.size() / channels);
  for (int done = 0; done < frames; done += 512) e.Process(s.data() + size_t(done) * channels, std::min(512, frames - done));
}

std::unique_ptr<Effect> Make(int32_t type, int rate = 44100, int channels = 2) {
  auto e = CreateEffect(type, rate, channels);
  EXPECT_NE(e, nullptr);
  return e;
}

PeakEqParams Band(int band, int freq, float centre, float gain, float bandwidth = 2.5f, float q = 0) {
  return PeakEqParams{band, freq, bandwidth, q, centre, gain};
}

}  // namespace

// ---- peaking equaliser --------------------------------------------------

TEST(DspPeakEq, BoostsOrCutsItsCentreAndLeavesFarFrequencies) {
  struct Case {
    int rate;
    float centre, gain, farHz;
  };
  for (const Case& c : {Case{44100, 1000, 10, 16000}, Case{48000, 80, -5, 3000}, Case{22050, 6000, 5, 170},
                        Case{44100, 12000, -10, 310}}) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, band at " << c.centre);
    auto eq = Make(kPeakEq, c.rate);
    auto rec = Band(3, 0, c.centre, c.gain);
    ASSERT_TRUE(eq->SetParameters(&rec));
    auto s = Tones(c.rate, 2, 1.0, {c.centre, c.farHz}, 0.1f);
    Feed(*eq, s, 2);
    const size_t from = c.rate / 2, to = c.rate;  // after the filter settled
    for (int ch = 0; ch < 2; ++ch) {
      EXPECT_NEAR(Db(AmplitudeAt(s, 2, ch, c.rate, c.centre, from, to) / 0.1), c.gain, 0.3);
      EXPECT_NEAR(Db(AmplitudeAt(s, 2, ch, c.rate, c.farHz, from, to) / 0.1), 0.0, 0.7);
    }
  }
}

TEST(DspPeakEq, QNarrowsTheBandWhileBandwidthWidensIt) {
  // A tone half an octave above the centre: 2.5 octaves of bandwidth lift it
  // nearly as much as the centre, Q 8 hardly at all.
  const int rate = 44100;
  const double off = 1000 * std::numbers::sqrt2;
  auto wide = Make(kPeakEq), narrow = Make(kPeakEq);
  auto w = Band(0, rate, 1000, 10, 2.5f, 0), n = Band(0, rate, 1000, 10, 2.5f, 8.0f);
  ASSERT_TRUE(wide->SetParameters(&w));
  ASSERT_TRUE(narrow->SetParameters(&n));
  auto a = Tones(rate, 2, 1.0, {off}, 0.1f), b = a;
  Feed(*wide, a, 2);
  Feed(*narrow, b, 2);
  EXPECT_GT(Db(AmplitudeAt(a, 2, 0, rate, off, rate / 2, rate) / 0.1), 6.0);
  EXPECT_LT(Db(AmplitudeAt(b, 2, 0, rate, off, rate / 2, rate) / 0.1), 1.5);
}

TEST(DspPeakEq, BandsAreAddressedByNumberAndReportTheirRecords) {
  // Ten flat bands as a deck installs them, then band 4 changed by query,
  // change, apply: the other fields keep what the query returned.
  const float centres[10] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  auto eq = Make(kPeakEq);
  for (int b = 0; b < 10; ++b) {
    auto rec = Band(b, 44100, centres[b], 0);
    ASSERT_TRUE(eq->SetParameters(&rec));
  }
  PeakEqParams q{};
  q.band = 4;
  ASSERT_TRUE(eq->GetParameters(&q));
  EXPECT_EQ(q.freq, 44100);
  EXPECT_FLOAT_EQ(q.center, 1000);
  EXPECT_FLOAT_EQ(q.bandwidth, 2.5f);
  q.gain = -5;
  ASSERT_TRUE(eq->SetParameters(&q));

  PeakEqParams back{};
  back.band = 4;
  ASSERT_TRUE(eq->GetParameters(&back));
  EXPECT_EQ(std::memcmp(&back, &q, sizeof q), 0);
  back = PeakEqParams{};
  back.band = 3;
  ASSERT_TRUE(eq->GetParameters(&back));
  EXPECT_FLOAT_EQ(back.gain, 0);
  EXPECT_FLOAT_EQ(back.center, 600);

  PeakEqParams unknown{};
  unknown.band = 42;
  EXPECT_FALSE(eq->GetParameters(&unknown));

  // Only band 4 acts: 1 kHz down 5 dB, 80 Hz and 12 kHz untouched.
  auto s = Tones(44100, 2, 1.0, {80, 1000, 12000}, 0.1f);
  Feed(*eq, s, 2);
  EXPECT_NEAR(Db(AmplitudeAt(s, 2, 1, 44100, 1000, 22050, 44100) / 0.1), -5, 0.5);
  EXPECT_NEAR(Db(AmplitudeAt(s, 2, 1, 44100, 80, 22050, 44100) / 0.1), 0, 0.5);
  EXPECT_NEAR(Db(AmplitudeAt(s, 2, 1, 44100, 12000, 22050, 44100) / 0.1), 0, 0.5);
}

TEST(DspPeakEq, BandsAtOrPastNyquistStayStable) {
  struct Case {
    int streamRate;
    PeakEqParams rec;
  };
  const Case cases[] = {
      {44100, Band(0, 4100, 16000, 10)},          // band 0 after the sample-rate slider's minimum
      {44100, Band(1, 44100, 22050, 10)},         // centre exactly at Nyquist
      {22050, Band(2, 0, 16000, 10)},             // centre past the stream's Nyquist
      {44100, Band(3, 44100, 21000, 48, 6.0f)},   // widest band, largest boost, near Nyquist
      {44100, Band(4, 44100, 20000, -48, 0, 50)}, // sharp deep notch near Nyquist
      {44100, Band(5, 44100, 0.0f, 10)},          // centre 0
      {44100, Band(6, 1, 1000, 10)},              // absurd design rate
      {44100, Band(7, 44100, 1000, 1e30f, 1e30f, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "band " << c.rec.band);
    auto eq = Make(kPeakEq, c.streamRate);
    ASSERT_TRUE(eq->SetParameters(&c.rec));
    std::vector<float> s(size_t(c.streamRate) * 2);
    uint32_t seed = 1;
    for (auto& v : s) v = ((seed = seed * 1664525u + 1013904223u) >> 8) / 8388608.0f - 1.0f;
    Feed(*eq, s, 2);
    float peak = 0;
    for (float v : s) {
      ASSERT_TRUE(std::isfinite(v));
      peak = std::max(peak, std::fabs(v));
    }
    EXPECT_LT(peak, 2000.0f);  // at most +48 dB of a full-scale input
  }
  auto eq = Make(kPeakEq);
  auto bad = Band(0, 44100, std::nanf(""), 3);
  EXPECT_FALSE(eq->SetParameters(&bad));
  bad = Band(0, -44100, 1000, 3);
  EXPECT_FALSE(eq->SetParameters(&bad));
}

TEST(DspPeakEq, StereoGivesEachChannelWhatMonoGivesItWhateverTheBlocks) {
  // Stereo runs its own faster path; a channel must come out sample for
  // sample as the plain path makes it of the same signal, across blocks of
  // any size (one frame, fewer frames than bands, odd sizes) and a band
  // changed on the way.
  const std::vector<float> tone = Tones(44100, 1, 0.2, {60, 440, 5000, 15000}, 0.2f);
  const size_t frames = tone.size();
  std::vector<float> stereo(frames * 2);
  for (size_t f = 0; f < frames; ++f) {
    stereo[f * 2] = tone[f];
    stereo[f * 2 + 1] = -0.5f * tone[f];  // the right channel differs
  }
  std::vector<float> left = tone, right(frames);
  for (size_t f = 0; f < frames; ++f) right[f] = -0.5f * tone[f];
  auto st = Make(kPeakEq, 44100, 2), monoL = Make(kPeakEq, 44100, 1), monoR = Make(kPeakEq, 44100, 1);
  const float centres[] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  for (int b = 0; b < 10; ++b) {
    const auto rec = Band(b, 0, centres[b], b % 2 ? 4.0f : -5.0f);
    for (Effect* e : {st.get(), monoL.get(), monoR.get()}) ASSERT_TRUE(e->SetParameters(&rec));
  }
  const int blocks[] = {1, 3, 9, 1024, 517, 2};
  size_t at = 0;
  for (int i = 0; at < frames; ++i) {
    const int n = static_cast<int>(std::min<size_t>(blocks[i % 6], frames - at));
    if (i == 40) {
      const auto rec = Band(3, 0, 700, 9.0f);
      for (Effect* e : {st.get(), monoL.get(), monoR.get()}) ASSERT_TRUE(e->SetParameters(&rec));
    }
    st->Process(stereo.data() + at * 2, n);
    monoL->Process(left.data() + at, n);
    monoR->Process(right.data() + at, n);
    at += static_cast<size_t>(n);
  }
  for (size_t f = 0; f < frames; ++f) {
    ASSERT_EQ(stereo[f * 2], left[f]) << "frame " << f;
    ASSERT_EQ(stereo[f * 2 + 1], right[f]) << "frame " << f;
  }
}

// ---- low pass -----------------------------------------------------------

TEST(DspLowPass, CutsAboveItsCutOffAndResonatesAtIt) {
  const int rate = 48000;
  auto lp = Make(kLowPass, rate);
  LowPassParams rec{0, 0.7071f, 1000.0f, 0};
  ASSERT_TRUE(lp->SetParameters(&rec));
  auto s = Tones(rate, 2, 1.0, {200, 8000}, 0.1f);
  Feed(*lp, s, 2);
  EXPECT_NEAR(Db(AmplitudeAt(s, 2, 0, rate, 200, rate / 2, rate) / 0.1), 0, 0.5);
  EXPECT_LT(Db(AmplitudeAt(s, 2, 0, rate, 8000, rate / 2, rate) / 0.1), -30);

  // Resonance 10 (the slider's top) lifts the cut-off by about 20 dB.
  LowPassParams res{0, 10.0f, 1000.0f, 0};
  ASSERT_TRUE(lp->SetParameters(&res));
  lp->Reset();
  auto t = Tones(rate, 2, 1.0, {1000}, 0.01f);
  Feed(*lp, t, 2);
  EXPECT_NEAR(Db(AmplitudeAt(t, 2, 1, rate, 1000, rate / 2, rate) / 0.01), 20, 1.0);

  // The cut-off slider jumping from 5000 to 200 Hz while sound plays glides
  // there: no burst louder than the resonance itself can give.
  auto sweep = Make(kLowPass, rate);
  LowPassParams open{0, 2.0f, 5000.0f, 0}, shut{0, 2.0f, 200.0f, 0};
  ASSERT_TRUE(sweep->SetParameters(&open));
  auto m = Tones(rate, 2, 1.0, {150, 3000}, 0.25f);
  Feed(*sweep, m, 2);
  auto m2 = Tones(rate, 2, 1.0, {150, 3000}, 0.25f);
  ASSERT_TRUE(sweep->SetParameters(&shut));
  Feed(*sweep, m2, 2);
  for (float v : m2) ASSERT_LT(std::fabs(v), 2 * 0.5f);
  EXPECT_LT(Db(AmplitudeAt(m2, 2, 0, rate, 3000, rate / 2, rate) / 0.25), -40);

  // A cut-off past Nyquist or a zero resonance still gives a stable filter.
  for (LowPassParams odd : {LowPassParams{0, 0.0f, 1e9f, 0}, LowPassParams{0, 1e9f, 0.0f, 0}}) {
    ASSERT_TRUE(lp->SetParameters(&odd));
    auto n = Tones(rate, 2, 0.5, {300, 15000, 23000});
    Feed(*lp, n, 2);
    for (float v : n) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) < 100.0f);
  }
}

// ---- swap, rotate -------------------------------------------------------

TEST(DspSwap, ExchangesTheChannelsOfEachPair) {
  auto swap = Make(kSwap, 44100, 4);
  std::vector<float> s = {1, 2, 3, 4, 5, 6, 7, 8};
  swap->Process(s.data(), 2);
  EXPECT_EQ(s, (std::vector<float>{2, 1, 4, 3, 6, 5, 8, 7}));

  auto mono = Make(kSwap, 44100, 1);
  std::vector<float> m = {0.5f, -0.5f};
  mono->Process(m.data(), 2);
  EXPECT_EQ(m, (std::vector<float>{0.5f, -0.5f}));
}

TEST(DspRotate, PansSlowlyFromSideToSideAtEqualPower) {
  const int rate = 8000;
  auto rot = Make(kRotate, rate);
  auto s = Tones(rate, 2, 10.0, {400}, 0.5f);
  Feed(*rot, s, 2);
  // Quarter-second windows: the left level sweeps from near 0 to near full
  // and back while left plus right power stays that of the input.
  double minL = 1e9, maxL = 0;
  for (size_t w = 0; w + rate / 4 <= s.size() / 2; w += rate / 4) {
    const double l = Rms(s, 2, 0, w, w + rate / 4), r = Rms(s, 2, 1, w, w + rate / 4);
    minL = std::min(minL, l);
    maxL = std::max(maxL, l);
    EXPECT_NEAR(l * l + r * r, 2 * (0.5 * 0.5 / 2), 0.01);
  }
  EXPECT_LT(minL, 0.1);
  EXPECT_GT(maxL, 0.45);
}

// ---- volume -------------------------------------------------------------

TEST(DspVolume, ScalesAndRampsWithoutSteps) {
  const int rate = 44100;
  auto vol = Make(kVolume, rate);
  VolumeParams half{0, 0.5f};
  ASSERT_TRUE(vol->SetParameters(&half));  // before any sound: taken at once
  std::vector<float> ones(2000 * 2, 1.0f);
  Feed(*vol, ones, 2);
  for (float v : ones) ASSERT_FLOAT_EQ(v, 0.5f);

  // From 0.5 to 2.0: a straight 10 ms ramp, never a jump.
  VolumeParams two{-1, 2.0f};
  ASSERT_TRUE(vol->SetParameters(&two));
  std::vector<float> s(2000 * 2, 1.0f);
  Feed(*vol, s, 2);
  const int ramp = rate / 100;
  float prev = 0.5f;
  for (int f = 0; f < 2000; ++f) {
    EXPECT_LE(std::fabs(s[f * 2] - prev), 1.5f / ramp + 1e-5f) << f;
    EXPECT_EQ(s[f * 2], s[f * 2 + 1]);
    prev = s[f * 2];
  }
  EXPECT_FLOAT_EQ(s[size_t(ramp) * 2], 2.0f);
  EXPECT_FLOAT_EQ(s.back(), 2.0f);

  // Channel 2 alone, then silence on all.
  VolumeParams right{2, 0.25f};
  ASSERT_TRUE(vol->SetParameters(&right));
  std::vector<float> t(2000 * 2, 1.0f);
  Feed(*vol, t, 2);
  EXPECT_FLOAT_EQ(t[t.size() - 2], 2.0f);
  EXPECT_FLOAT_EQ(t.back(), 0.25f);
  VolumeParams silent{0, 0.0f};
  ASSERT_TRUE(vol->SetParameters(&silent));
  std::vector<float> u(2000 * 2, 1.0f);
  Feed(*vol, u, 2);
  EXPECT_EQ(u.back(), 0.0f);

  VolumeParams got{};
  ASSERT_TRUE(vol->GetParameters(&got));
  EXPECT_EQ(got.channel, 0);
  EXPECT_EQ(got.volume, 0.0f);
}

TEST(DspVolume, RecordsForSeveralChannelsBetweenTwoBlocksAllCount) {
  // One channel's record and then the other's, with no block between them:
  // before the first block (both taken at once) and while sound runs (both
  // ramped to).
  auto vol = Make(kVolume);
  const VolumeParams left{1, 0.0f}, right{2, 0.25f};
  ASSERT_TRUE(vol->SetParameters(&left));
  ASSERT_TRUE(vol->SetParameters(&right));
  std::vector<float> s(1024 * 2, 1.0f);
  Feed(*vol, s, 2);
  EXPECT_EQ(s[0], 0.0f);
  EXPECT_EQ(s[1], 0.25f);
  const VolumeParams left2{1, 0.5f}, right2{2, 2.0f};
  ASSERT_TRUE(vol->SetParameters(&left2));
  ASSERT_TRUE(vol->SetParameters(&right2));
  std::vector<float> t(2048 * 2, 1.0f);
  Feed(*vol, t, 2);
  EXPECT_GT(t[2], 0.0f) << "ramped, not stepped";
  EXPECT_LT(t[2], 0.5f);
  EXPECT_FLOAT_EQ(t[t.size() - 2], 0.5f);
  EXPECT_FLOAT_EQ(t.back(), 2.0f);
}

// ---- echo, big echo, reverb, flanger ------------------------------------

TEST(DspEcho, RepeatsAnImpulseAfterItsDelayAndFades) {
  for (int rate : {44100, 48000}) {
    SCOPED_TRACE(rate);
    auto echo = Make(kEcho, rate, 1);
    EchoParams rec{0.5f, 4410};  // 4410 frames at 44.1 kHz: 100 ms
    ASSERT_TRUE(echo->SetParameters(&rec));
    std::vector<float> s(size_t(rate), 0.0f);
    s[0] = 1.0f;
    Feed(*echo, s, 1);
    const size_t d = size_t(rate) / 10;
    EXPECT_EQ(s[0], 1.0f);
    for (size_t i = 1; i < d; ++i) ASSERT_EQ(s[i], 0.0f) << i;
    EXPECT_FLOAT_EQ(s[d], 0.5f);
    EXPECT_GT(s[2 * d], 0.0f);
    EXPECT_LT(s[2 * d], s[d]);
    EXPECT_LT(s[3 * d], s[2 * d]);

    // Reset clears what is still in the delay line.
    echo->Reset();
    std::vector<float> quiet(size_t(rate), 0.0f);
    Feed(*echo, quiet, 1);
    for (float v : quiet) ASSERT_EQ(v, 0.0f);
  }
  // Delays beyond the line or below one frame are held to its ends.
  auto echo = Make(kEcho, 44100, 2);
  for (EchoParams odd : {EchoParams{1.0f, 2000000000}, EchoParams{0.5f, -5}, EchoParams{5.0f, 0}}) {
    ASSERT_TRUE(echo->SetParameters(&odd));
    auto s = Tones(44100, 2, 2.0, {440});
    Feed(*echo, s, 2);
    for (float v : s) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) < 10.0f);
  }
}

TEST(DspEcho3, MixesDryAndOneDelayedCopy) {
  const int rate = 44100;
  auto echo = Make(kEcho3, rate);
  Echo3Params rec{0.5f, -2.0f, 0.25f, -1};
  ASSERT_TRUE(echo->SetParameters(&rec));
  std::vector<float> s(size_t(rate) * 2, 0.0f);
  s[0] = 1.0f;
  s[1] = 1.0f;
  Feed(*echo, s, 2);
  const size_t d = rate / 4;
  EXPECT_FLOAT_EQ(s[0], 0.5f);
  EXPECT_FLOAT_EQ(s[d * 2], -2.0f);
  EXPECT_FLOAT_EQ(s[d * 2 + 1], -2.0f);
  EXPECT_EQ(s[4 * d * 2 - 2], 0.0f);  // one repeat only

  // Channel 1 only; a delay of 0 adds wet to dry.
  Echo3Params left{1.0f, 1.0f, 0.0f, 1};
  ASSERT_TRUE(echo->SetParameters(&left));
  echo->Reset();
  std::vector<float> t = {0.25f, 0.25f, 0.25f, 0.25f};
  echo->Process(t.data(), 2);
  EXPECT_EQ(t, (std::vector<float>{0.5f, 0.25f, 0.5f, 0.25f}));

  Echo3Params badChannel{1, 1, 0.1f, 3};
  EXPECT_FALSE(echo->SetParameters(&badChannel));
  Echo3Params got{};
  ASSERT_TRUE(echo->GetParameters(&got));
  EXPECT_EQ(std::memcmp(&got, &left, sizeof got), 0);
}

TEST(DspReverb, AddsADecayingTailThatTheDelaySetsTheLengthOf) {
  const int rate = 44100;
  auto tail = [&](int32_t delay) {
    auto rev = Make(kReverb, rate);
    ReverbParams rec{1.0f, delay};
    EXPECT_TRUE(rev->SetParameters(&rec));
    std::vector<float> s(size_t(rate) * 3 * 2, 0.0f);
    s[0] = s[1] = 1.0f;
    Feed(*rev, s, 2);
    return s;
  };
  auto shortRoom = tail(1200), longRoom = tail(30000);
  const size_t ms = rate / 1000;
  // A tail exists after the impulse, on both channels, and falls away.
  EXPECT_GT(Rms(shortRoom, 2, 0, 50 * ms, 150 * ms), 1e-3);
  EXPECT_GT(Rms(shortRoom, 2, 1, 50 * ms, 150 * ms), 1e-3);
  EXPECT_LT(Rms(shortRoom, 2, 0, 400 * ms, 500 * ms), Rms(shortRoom, 2, 0, 50 * ms, 150 * ms) / 30);
  // The larger room rings far longer.
  EXPECT_GT(Rms(longRoom, 2, 0, 1500 * ms, 1600 * ms), 1e-4);
  EXPECT_GT(Rms(longRoom, 2, 0, 400 * ms, 500 * ms), 20 * Rms(shortRoom, 2, 0, 400 * ms, 500 * ms));
  // The two channels differ (a stereo tail, not a copy).
  EXPECT_NE(shortRoom[100 * ms * 2], shortRoom[100 * ms * 2 + 1]);

  // Level 0 leaves the sound as it was.
  auto rev = Make(kReverb, rate);
  ReverbParams dry{0.0f, 5000};
  ASSERT_TRUE(rev->SetParameters(&dry));
  auto s = Tones(rate, 2, 0.2, {440}), orig = s;
  Feed(*rev, s, 2);
  EXPECT_EQ(s, orig);
}

TEST(DspFlanger, SweepsANotchThroughTheSound) {
  const int rate = 44100;
  auto level = [&](float speed) {
    auto fl = Make(kFlanger, rate);
    FlangerParams rec{0.5f, speed, -1};
    EXPECT_TRUE(fl->SetParameters(&rec));
    auto s = Tones(rate, 2, 3.0, {1500}, 0.3f);
    Feed(*fl, s, 2);
    std::vector<double> windows;  // 20 ms windows after the first 50 ms
    for (size_t w = rate / 20; w + rate / 50 <= s.size() / 2; w += rate / 50)
      windows.push_back(Rms(s, 2, 0, w, w + rate / 50));
    return windows;
  };
  auto moving = level(0.009f);
  const auto [lo, hi] = std::minmax_element(moving.begin(), moving.end());
  EXPECT_LT(*lo, 0.4 * *hi);  // the sweeping notch passes the tone
  auto still = level(0.0f);
  const auto [slo, shi] = std::minmax_element(still.begin(), still.end());
  EXPECT_LT(*shi - *slo, 0.05 * *shi);  // no sweep, no modulation

  // One channel only: the other passes untouched.
  auto fl = Make(kFlanger, rate);
  FlangerParams right{1.0f, 0.009f, 2};
  ASSERT_TRUE(fl->SetParameters(&right));
  auto s = Tones(rate, 2, 0.5, {1500}), orig = s;
  Feed(*fl, s, 2);
  for (size_t f = 0; f < s.size() / 2; ++f) ASSERT_EQ(s[f * 2], orig[f * 2]);
  EXPECT_NE(s[1001 * 2 + 1], orig[1001 * 2 + 1]);
}

// ---- records ------------------------------------------------------------

TEST(DspRecords, RoundTripAndRefuseWhatCannotBeRight) {
  EchoParams echo{0.25f, 9000};
  FlangerParams flanger{0.75f, 0.004f, -1};
  VolumeParams volume{-1, 1.5f};
  ReverbParams reverb{0.5f, 10000};
  LowPassParams lowpass{7, 4.0f, 2500.0f, 9};
  Echo3Params echo3{-20.0f, 20.0f, 0.6f, 0};
  struct Case {
    int32_t type;
    const void* rec;
    size_t size;
  };
  for (const Case& c : {Case{kEcho, &echo, sizeof echo}, Case{kFlanger, &flanger, sizeof flanger},
                        Case{kVolume, &volume, sizeof volume}, Case{kReverb, &reverb, sizeof reverb},
                        Case{kLowPass, &lowpass, sizeof lowpass}, Case{kEcho3, &echo3, sizeof echo3}}) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(RecordSize(c.type), static_cast<int>(c.size));
    auto e = Make(c.type);
    unsigned char defaults[32] = {}, got[32] = {};
    ASSERT_TRUE(e->GetParameters(defaults));  // the effect's own values
    ASSERT_TRUE(e->SetParameters(c.rec));
    ASSERT_TRUE(e->GetParameters(got));
    EXPECT_EQ(std::memcmp(got, c.rec, c.size), 0);
    // A record whose reals are not numbers is refused and changes nothing.
    unsigned char nan[32];
    std::memcpy(nan, c.rec, c.size);
    const float bad = std::nanf("");
    for (size_t off = 0; off < c.size; off += 4) std::memcpy(nan + off, &bad, 4);
    EXPECT_FALSE(e->SetParameters(nan));
    EXPECT_FALSE(e->SetParameters(nullptr));
    ASSERT_TRUE(e->GetParameters(got));
    EXPECT_EQ(std::memcmp(got, c.rec, c.size), 0);
    auto s = Tones(44100, 2, 0.1, {440});
    Feed(*e, s, 2);
    for (float v : s) ASSERT_TRUE(std::isfinite(v));
  }
  // Types without a record, unknown types and impossible streams.
  for (int32_t t : {kSwap, kRotate}) {
    EXPECT_EQ(RecordSize(t), 0);
    auto e = Make(t);
    unsigned char buf[32] = {};
    EXPECT_FALSE(e->GetParameters(buf));
  }
  for (int32_t t : {-1, 8, 12, 14}) {
    EXPECT_EQ(CreateEffect(t, 44100, 2), nullptr);
    EXPECT_EQ(RecordSize(t), 0);
  }
  EXPECT_EQ(CreateEffect(kEcho, 0, 2), nullptr);
  EXPECT_EQ(CreateEffect(kEcho, 44100, 0), nullptr);
  VolumeParams negative{-1, -1.0f}, noChannel{3, 1.0f};
  auto vol = Make(kVolume);
  EXPECT_FALSE(vol->SetParameters(&negative));
  EXPECT_FALSE(vol->SetParameters(&noChannel));
}

TEST(DspRecords, HandOverBetweenThreadsIsNeverTorn) {
  // The control thread publishes records whose four fields are always
  // equal; the audio thread must never see a mixture of two records.
  struct Rec {
    uint32_t a, b, c, d;
  };
  ParamSlot<Rec> slot(Rec{0, 0, 0, 0});
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (uint32_t i = 1; i <= 200000; ++i) slot.Publish(Rec{i, i, i, i});
    done = true;
  });
  uint32_t seen = 0, last = 0;
  int fetched = 0;
  Rec r{};
  while (!done.load()) {
    if (slot.Fetch(r, seen)) {
      ASSERT_TRUE(r.a == r.b && r.b == r.c && r.c == r.d);
      ASSERT_GE(r.a, last);
      last = r.a;
      ++fetched;
    }
  }
  writer.join();
  if (slot.Fetch(r, seen)) ++fetched;
  EXPECT_EQ(r.a, 200000u);  // the last record always arrives
  EXPECT_GT(fetched, 0);
}
