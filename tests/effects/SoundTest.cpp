// The deck sound controls measured on what the engine plays (the manual
// clock, the "No sound" device): equaliser bands, tone and gain spinners,
// tempo, sample rate and pitch, the seven effect switches, and what the
// headphone mirror gets.
#include "SoundWorld.h"

#include "ui/MainState.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

using namespace djvp;

namespace {

// The tones of tones.flac (left channel 0.08 of full scale each).
constexpr double kTones[] = {170, 250, 1000, 4000, 12000};

struct Levels {
  double left[5], right[5];
};

Levels Measure(const std::vector<float>& out) {
  Levels l{};
  for (int i = 0; i < 5; ++i) {
    l.left[i] = AmplitudeAt(out, 0, kTones[i]);
    l.right[i] = AmplitudeAt(out, 1, kTones[i]);
  }
  return l;
}

// The largest change of any tone on either side, in dB.
double LargestChange(const Levels& a, const Levels& b) {
  double most = 0;
  for (int i = 0; i < 5; ++i) {
    most = std::max(most, std::fabs(Db(b.left[i] / a.left[i])));
    most = std::max(most, std::fabs(Db(b.right[i] / a.right[i])));
  }
  return most;
}

int ToneIndex(double hz) {
  for (int i = 0; i < 5; ++i)
    if (kTones[i] == hz) return i;
  return -1;
}

}  // namespace

TEST(DeckSound, BandsTonesAndGainChangeTheirFrequenciesByTheirAmount) {
  struct Case {
    std::string name;
    std::function<void(MainState&)> act;
    double hz, db, tolerance;
  };
  const std::vector<Case> cases = {
      {"band 1 kHz at 0", [](MainState& w) { w.Eq[4].setValue(0); }, 1000, 5, 0.5},
      {"band 1 kHz at 0, two octaves below", [](MainState& w) { w.Eq[4].setValue(0); }, 250, 0, 1.5},
      {"band 1 kHz at 0, two octaves above", [](MainState& w) { w.Eq[4].setValue(0); }, 4000, 0, 1.5},
      {"band 1 kHz at 10", [](MainState& w) { w.Eq[4].setValue(10); }, 1000, -5, 0.5},
      {"band 1 kHz at 10, two octaves below", [](MainState& w) { w.Eq[4].setValue(10); }, 250, 0, 1.5},
      {"band 170 Hz at 10", [](MainState& w) { w.Eq[1].setValue(10); }, 170, -5, 0.5},
      {"band 12 kHz at 0", [](MainState& w) { w.Eq[7].setValue(0); }, 12000, 5, 0.5},
      {"High at 0", [](MainState& w) { w.UpDown[1].setValue(0); }, 12000, -10, 0.5},
      {"High at 20", [](MainState& w) { w.UpDown[1].setValue(20); }, 12000, 10, 0.5},
      {"Mid at 0", [](MainState& w) { w.UpDown[2].setValue(0); }, 1000, -10, 0.5},
      {"Mid at 20", [](MainState& w) { w.UpDown[2].setValue(20); }, 1000, 10, 0.5},
      {"Low at 0", [](MainState& w) { w.UpDown[3].setValue(0); }, 170, -10, 0.5},
      {"Low at 20", [](MainState& w) { w.UpDown[3].setValue(20); }, 170, 10, 0.5},
      {"gain at 26", [](MainState& w) { w.UpDown[0].setValue(25), w.UpDown[0].setValue(26); }, 1000, 0, 0.1},
      {"gain at 52", [](MainState& w) { w.UpDown[0].setValue(52); }, 1000, 20 * std::log10(2.0), 0.1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SoundWorld world;
    SoundWorld::Start(world.P(1, 0));
    const Levels before = Measure(SoundWorld::Heard());
    k.act(*world.w);
    const Levels after = Measure(SoundWorld::Heard());
    const int i = ToneIndex(k.hz);
    EXPECT_NEAR(Db(after.left[i] / before.left[i]), k.db, k.tolerance);
    EXPECT_NEAR(Db(after.right[i] / before.right[i]), k.db, k.tolerance);
  }

  // Gain 0 silences the deck.
  SoundWorld world;
  SoundWorld::Start(world.P(1, 0));
  world.w->UpDown[0].setValue(0);
  const std::vector<float> out = SoundWorld::Heard();
  float peak = 0;
  for (float v : out) peak = std::max(peak, std::fabs(v));
  EXPECT_EQ(peak, 0.0f);
}

TEST(DeckSound, TempoRateAndPitchChangeSpeedAndFrequencyAsTheySay) {
  struct Case {
    std::string name;
    int slider, value;
    double speed, hz;  // seconds of song per second heard, the 1 kHz tone's frequency
    const char* file = "sine1k.flac";
  };
  const Case cases[] = {
      {"tempo +10 %", 0, 10, 1.1, 1000},
      {"tempo -20 %", 0, -20, 0.8, 1000},
      {"pitch +12 semitones", 2, 12, 1.0, 2000},
      {"pitch -12 semitones", 2, -12, 1.0, 500},
      {"sample rate 66150 Hz", 1, 66150, 1.5, 1500},
      // The slider's rates are those of a song at 44100 Hz: a 48000 Hz song
      // plays as it is at 44100 and half as fast again at 66150.
      {"sample rate 44100 Hz, a 48000 Hz song", 1, 44100, 1.0, 1000, "../audio/sine48s.flac"},
      {"sample rate 66150 Hz, a 48000 Hz song", 1, 66150, 1.5, 1500, "../audio/sine48s.flac"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SoundWorld world;
    const engine::Handle h = (SoundWorld::Start(world.P(1, 0), k.file), world.P(1, 0).STRM());
    // Away first, so that the case's value is a change.
    world.w->sldEffects[static_cast<size_t>(k.slider)].setValue(k.value + 1);
    world.w->sldEffects[static_cast<size_t>(k.slider)].setValue(k.value);
    SoundWorld::Render(0.2);
    const double from = engine::BytesToSeconds(h, static_cast<uint64_t>(engine::Position(h)));
    const std::vector<float> heard = SoundWorld::Render(0.6);
    const double to = engine::BytesToSeconds(h, static_cast<uint64_t>(engine::Position(h)));
    EXPECT_NEAR((to - from) / 0.6, k.speed, k.speed * 0.01);
    EXPECT_NEAR(FrequencyOf(heard), k.hz, k.hz * 0.01);
  }

  // The whole 2-second song at +10 % is over in 2 / 1.1 seconds.
  SoundWorld world;
  SoundWorld::Start(world.P(1, 0), "sine1k.flac");
  world.w->sldEffects[0].setValue(10);
  std::vector<float> all;
  while (engine::IsActive(world.P(1, 0).STRM()) != engine::kStopped && all.size() < 10u * SoundWorld::kRate) {
    const std::vector<float> block = SoundWorld::Render(0.05);
    all.insert(all.end(), block.begin(), block.end());
  }
  size_t heard = all.size() / 2;
  while (heard > 0 && all[(heard - 1) * 2] == 0.0f) --heard;
  EXPECT_NEAR(static_cast<double>(heard) / SoundWorld::kRate, 2.0 / 1.1, 0.05);
}

TEST(DeckSound, EachEffectChangesTheSoundWhileOnAndLeavesItDryWhenOff) {
  struct Case {
    std::string name;
    int box;
    std::vector<std::pair<int, int>> sliders;  // set before switching on
  };
  const std::vector<Case> cases = {
      {"Reverb", 2, {{3, 100}, {4, 8000}}},
      {"Low Pass", 3, {{5, 500}, {6, 2}}},
      {"Big Echo", 4, {{7, 10}, {8, 10}, {9, 123}}},
      {"Rotate", 5, {}},
      {"Swap", 6, {}},
      {"Echo", 7, {{10, 80}, {11, 5000}}},
      {"Flanger", 8, {{12, 900}, {13, 100}}},
  };
  for (const Case& k : cases) {
    for (int deck : {1, 2}) {
      SCOPED_TRACE(k.name + " on deck " + std::to_string(deck));
      SoundWorld world;
      MainState& w = *world.w;
      SoundWorld::Start(world.P(deck, 1));
      for (const auto& [slider, value] : k.sliders)
        w.sldEffects[static_cast<size_t>(slider + (deck - 1) * 14)].setValue(value);
      const Levels dry = Measure(SoundWorld::Heard());
      EXPECT_LT(LargestChange(dry, Measure(SoundWorld::Heard())), 0.05) << "the sliders alone change nothing";

      const size_t box = static_cast<size_t>(deck == 1 ? k.box : 17 - k.box);
      w.Effects[box].setChecked(true);
      EXPECT_GT(LargestChange(dry, Measure(SoundWorld::Heard())), 1.0);
      w.Effects[box].setChecked(false);
      EXPECT_LT(LargestChange(dry, Measure(SoundWorld::Heard())), 0.05);
    }
  }
}

TEST(DeckSound, TheHeadphoneMirrorGetsTheEffectsButNoEqualiserGainOrTone) {
  SoundWorld world;
  MainState& w = *world.w;
  clsBassPlayer& p = world.P(1, 0);
  SoundWorld::Start(p);
  SoundWorld::AttachMirror(p, 0);
  // At half volume, so that the gains below keep the output under the
  // limiter's threshold.
  p.volume(50);
  const Levels dry = Measure(SoundWorld::Heard());

  w.Effects[6].setChecked(true);  // Swap
  w.Eq[7].setValue(0);            // +5 dB at 12 kHz
  w.UpDown[3].setValue(20);       // Low: +10 dB at 170 Hz
  w.UpDown[0].setValue(52);       // gain x2: +6 dB
  w.sldEffects[2].setValue(12);   // pitch up an octave (1 kHz becomes 2 kHz)
  w.sldEffects[2].setValue(0);    // and back: both streams follow

  const Levels deck = Measure(SoundWorld::Heard());
  engine::SetAttributes(p.STRM(), -1, 0, -101);
  engine::SetAttributes(p.PreSTRM(), -1, 50, -101);
  const Levels mirror = Measure(SoundWorld::Heard());

  const double gain = 20 * std::log10(2.0);
  // The deck: swapped, with band, tone and gain.
  EXPECT_NEAR(Db(deck.left[4] / dry.right[4]), 5 + gain, 0.5);
  EXPECT_NEAR(Db(deck.left[0] / dry.right[0]), 10 + gain, 0.5);
  EXPECT_NEAR(Db(deck.right[4] / dry.left[4]), 5 + gain, 0.5);
  // The mirror: swapped, nothing else.
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(Db(mirror.left[i] / dry.right[i]), 0, 0.1) << kTones[i];
    EXPECT_NEAR(Db(mirror.right[i] / dry.left[i]), 0, 0.1) << kTones[i];
  }
}

TEST(DeckSound, AnEffectSwitchedOffFadesOutWithoutAStep) {
  // A 1 kHz sine changes from one sample to the next by at most its peak
  // times 2 sin(pi 1000 / 44100); an effect cut off at once steps by up to
  // the difference between its sound and the dry one.
  const double kMostStep = 2 * std::sin(std::numbers::pi * 1000 / SoundWorld::kRate);
  struct Case {
    std::string name;
    int box;
    std::vector<std::pair<int, int>> sliders;  // set before switching on
  };
  const std::vector<Case> cases = {
      {"Reverb", 2, {{3, 100}, {4, 3000}}},       {"Low Pass", 3, {{5, 200}, {6, 2}}},
      {"Big Echo", 4, {{7, 10}, {8, 10}, {9, 3}}}, {"Rotate", 5, {}},
      {"Echo", 7, {{10, 100}, {11, 1300}}},       {"Flanger", 8, {{12, 900}, {13, 100}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SoundWorld world;
    MainState& w = *world.w;
    SoundWorld::Start(world.P(1, 0), "sine1k.flac");
    for (const auto& [slider, value] : k.sliders) w.sldEffects[static_cast<size_t>(slider)].setValue(value);
    w.Effects[static_cast<size_t>(k.box)].setChecked(true);
    SoundWorld::Render(0.5);
    w.Effects[static_cast<size_t>(k.box)].setChecked(false);
    const std::vector<float> out = SoundWorld::Render(0.4);
    for (int channel = 0; channel < 2; ++channel) {
      double peak = 0, step = 0;
      for (size_t f = 1; f < out.size() / 2; ++f) {
        const size_t i = f * 2 + static_cast<size_t>(channel);
        peak = std::max(peak, static_cast<double>(std::fabs(out[i])));
        step = std::max(step, static_cast<double>(std::fabs(out[i] - out[i - 2])));
      }
      EXPECT_LT(step, peak * kMostStep * 1.05) << "channel " << channel;
    }
    // Dry at the end: the song's quarter of full scale on both sides.
    const std::vector<float> tail(out.end() - 2 * 4410, out.end());
    EXPECT_NEAR(AmplitudeAt(tail, 0, 1000), 0.25, 0.0025);
    EXPECT_NEAR(AmplitudeAt(tail, 1, 1000), 0.25, 0.0025);
  }
}

namespace {

struct OutputFigures {
  float peak = 0;
  size_t atFullScale = 0;  // samples at or above full scale
};

OutputFigures Figures(const std::vector<float>& out) {
  OutputFigures f;
  for (float v : out) {
    f.peak = std::max(f.peak, std::fabs(v));
    if (std::fabs(v) >= 1.0f) ++f.atFullScale;
  }
  return f;
}

}  // namespace

// Two decks at full volume, on the main output or on the headphones (the
// players' mirrors at full headphone volume), go past full scale as a
// plain sum; what leaves the program never does, and stands at -1 dBFS.
// At half volume they come out exactly as their plain sum.
TEST(DeckSound, TwoFullDecksNeverReachFullScaleOnTheMainOrTheHeadphoneOutput) {
  struct Case {
    const char* name;
    const char* song;
    int deckVolume, headphoneVolume;
    bool loud;
  };
  const Case cases[] = {
      {"two loud decks on the main output", "loud.flac", 100, 0, true},
      {"two loud decks on the headphones", "loud.flac", 0, 100, true},
      {"two decks at half volume on the main output", "loud.flac", 50, 0, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::vector<float> heard[2];
    for (bool limiter : {false, true}) {
      SoundWorld world;
      engine::SetOutputLimiter(limiter);
      SoundWorld::Render(0.05);  // silence: the limiter starts afresh
      for (int deck : {1, 2}) {
        clsBassPlayer& p = world.P(deck, 0);
        SoundWorld::Start(p, k.song, static_cast<int16_t>(k.deckVolume));
        SoundWorld::AttachMirror(p, k.headphoneVolume);
      }
      heard[limiter ? 1 : 0] = SoundWorld::Render(2.5);
    }
    engine::SetOutputLimiter(true);
    const OutputFigures plain = Figures(heard[0]);
    const OutputFigures limited = Figures(heard[1]);
    EXPECT_EQ(limited.atFullScale, 0u);
    if (k.loud) {
      EXPECT_GT(plain.atFullScale, 1000u);
      // Past the songs' first few milliseconds (their start at full
      // loudness, which the soft knee takes), at the threshold: the highest
      // crests, which come once in 100 ms, less than half a dB above it.
      const float held = Figures(std::vector<float>(heard[1].begin() + 2 * 441, heard[1].end())).peak;
      EXPECT_GT(held, 0.885f);
      EXPECT_LT(held, 0.944f);
      // The song's tones keep their balance (0.62 at 110 Hz, 0.23 at
      // 1760 Hz on the left): the limiter turns the sound down, it does not
      // bend it.
      EXPECT_NEAR(Db(AmplitudeAt(heard[1], 0, 110) / AmplitudeAt(heard[1], 0, 1760)), Db(0.62 / 0.23), 0.5);
    } else {
      EXPECT_GT(plain.peak, 0.7f);
      EXPECT_EQ(std::memcmp(heard[0].data(), heard[1].data(), heard[0].size() * sizeof(float)), 0);
    }
  }
}
