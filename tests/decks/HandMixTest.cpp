// Mixing by hand (Auto Mix off, or pre-listen on): what comes out is what
// the window shows. Sequences a DJ plays with the transport buttons, the
// crossfader, Pause, Stop and the Auto Mix and pre-listen switches, each
// checked on the mixed sound of the "No sound" device under the manual
// clock: every playing song is heard at its deck's volume slider, so no deck
// that shows loud is silent and none that shows silent is heard. A crossfade
// armed meanwhile keeps waiting, and Auto Mix switched on completes it.
#include "DeckTestEnv.h"
#include "decks/Transport.h"

#include <map>
#include <numbers>
#include <string>

namespace {

using djvp::ctl::kPause;
using djvp::ctl::kPlay;
using djvp::ctl::kStop;

// The fixtures' tones, half of full scale each.
constexpr double kToneLevel = 0.5;
const std::map<QString, double>& ToneOf() {
  static const std::map<QString, double> tones = {
      {Fixture("tone440.ogg"), 440}, {Fixture("tone660.ogg"), 660}, {Fixture("tone550.ogg"), 550}};
  return tones;
}

// The amplitude of the tone at hz in the left channel.
double ToneAmplitude(const std::vector<float>& stereo, double hz) {
  const size_t n = stereo.size() / 2;
  double re = 0, im = 0;
  for (size_t i = 0; i < n; ++i) {
    const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / 44100.0;
    re += stereo[2 * i] * std::cos(phase);
    im -= stereo[2 * i] * std::sin(phase);
  }
  return 2.0 * std::hypot(re, im) / static_cast<double>(n);
}

enum class Do { kAutoMix, kPreListen, kPlay, kDblClick, kPause, kStop, kFader, kVolume, kTicks, kHeardAsShown };
struct Step {
  Do what;
  int a = 0;  // the deck, the switch (1 on), the slider value or the ticks
  int b = 0;  // the row of a double click; the deck of a volume slider
};

class HandMixWorld {
 public:
  HandMixWorld() {
    // The plain sum of the decks is measured: two songs at full volume may
    // reach full scale together.
    engine::SetOutputLimiter(false);
    d.Add(1, "tone440.ogg");
    d.Add(1, "tone660.ogg");
    d.Add(2, "tone550.ogg");
    d.w->Check1[djvp::ctl::kAutomix].setChecked(d.w->AutomixOn);
  }
  ~HandMixWorld() { engine::SetOutputLimiter(true); }

  void Run(const Step& s) {
    djvp::MainState& w = *d.w;
    auto button = [&w](int deck, djvp::ctl::PlayerButton b) {
      w.cmdPlayer[DeckNo(deck).Slot(djvp::ctl::kDeckButtons, b)].click();
    };
    switch (s.what) {
      case Do::kAutoMix: w.Check1[djvp::ctl::kAutomix].setChecked(s.a == 1); break;
      case Do::kPreListen: w.Command1.click(); break;
      case Do::kPlay: button(s.a, kPlay); break;
      case Do::kDblClick:
        d.List(s.a).SetCurrentRow(s.b);
        decks::PlayListView_DblClick(w, DeckNo(s.a));
        break;
      case Do::kPause: button(s.a, kPause); break;
      case Do::kStop: button(s.a, kStop); break;
      case Do::kFader: w.Slider1.setValue(s.a); break;
      case Do::kVolume: w.VolumeSlider(DeckNo(s.b)).setValue(s.a); break;
      case Do::kTicks:
        for (int i = 0; i < s.a; ++i) d.Tick();
        break;
      case Do::kHeardAsShown: ExpectHeardAsShown(); break;
    }
  }

  // Each song that plays is heard at its deck's volume slider; the others
  // not at all.
  void ExpectHeardAsShown() {
    d.Tick();
    d.Tick();  // volume steps are smoothed over a few milliseconds
    std::map<double, double> shown;
    for (const auto& [file, hz] : ToneOf()) shown[hz] = 0;
    for (djvp::DeckId deck : djvp::kBothDecks)
      for (int ab = 0; ab < 2; ++ab) {
        const djvp::clsBassPlayer* p = d.w->Player(deck, ab);
        if (p->IsPlaying())
          shown[ToneOf().at(p->filename())] += kToneLevel * (100 - d.w->VolumeSlider(deck).value()) / 100.0;
      }
    const std::vector<float> out = DeckWorld::Render(8820);  // 0.2 s: whole periods of every tone
    for (const auto& [hz, level] : shown)
      EXPECT_NEAR(ToneAmplitude(out, hz), level, 0.05)
          << hz << " Hz; sliders 1: " << d.w->Volume1.value() << ", 2: " << d.w->Volume2.value();
  }

  DeckWorld d;
};

TEST(HandMix, EverySongIsHeardAsTheDecksSlidersShow) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Step off{Do::kAutoMix, 0}, on{Do::kAutoMix, 1}, check{Do::kHeardAsShown};
  auto play = [](int deck) { return Step{Do::kPlay, deck}; };
  auto stop = [](int deck) { return Step{Do::kStop, deck}; };
  auto pause = [](int deck) { return Step{Do::kPause, deck}; };
  auto fader = [](int v) { return Step{Do::kFader, v}; };
  auto ticks = [](int n) { return Step{Do::kTicks, n}; };
  const Case cases[] = {
      // Deck 2 starts silent under the crossfader on deck 1; deck 1's next
      // song comes in over it and is heard at full volume, as deck 1 shows.
      {"Play over a deck the crossfader silences",
       {off, fader(0), play(1), ticks(2), play(2), ticks(2), check, stop(1), play(1), check, ticks(10), check}},
      {"crossfader in the middle", {off, play(1), fader(50), play(2), check, stop(1), play(1), check}},
      {"a new song on the deck the crossfader turned away from",
       {off, play(1), play(2), fader(100), check, stop(1), play(1), check, fader(0), check}},
      {"Stop of the incoming deck during a waiting crossfade",
       {off, play(1), play(2), stop(2), check, play(2), check, fader(100), check}},
      {"Stop of the outgoing deck, then the crossfader over",
       {off, play(1), play(2), stop(1), check, fader(100), check}},
      {"pause, crossfader over, resume", {off, play(1), play(2), fader(100), pause(1), fader(0), pause(1), check}},
      // The user put idle deck 2's slider at the top; the crossfade into it
      // with a flat fade-in leaves that slider there while the song rises
      // from silence. Auto Mix off halfway: deck 2 is heard as it shows.
      {"Auto Mix off in the middle of a crossfade",
       {on, play(1), ticks(2), Step{Do::kVolume, 0, 2}, play(2), ticks(5), off, check, stop(1), check}},
      {"pre-listen on in the middle of a crossfade",
       {on, play(1), ticks(2), Step{Do::kVolume, 0, 2}, play(2), ticks(5), Step{Do::kPreListen}, check}},
      // With pre-listen on, a song started over the deck's own plays at the
      // deck's volume beside it.
      {"pre-listen on, a new song on the playing deck",
       {on, play(1), Step{Do::kPreListen}, Step{Do::kDblClick, 1, 2}, check}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    HandMixWorld m;
    m.d.Curve(10, 100, 50, 50);  // a sloped fade-out, a flat fade-in
    for (size_t i = 0; i < k.steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i + 1));
      m.Run(k.steps[i]);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

// The reported run: after it, deck 1 plays its new song while the crossfade
// from deck 2 into it waits. Auto Mix switched on completes that crossfade:
// deck 2 is let go and deck 1 plays on alone at full volume.
TEST(HandMix, AWaitingCrossfadeIsCompletedByAutoMixLater) {
  HandMixWorld m;
  for (const Step& s : {Step{Do::kAutoMix, 0}, Step{Do::kFader, 0}, Step{Do::kPlay, 1}, Step{Do::kPlay, 2},
                        Step{Do::kStop, 1}, Step{Do::kPlay, 1}})
    m.Run(s);
  djvp::MainState& w = *m.d.w;
  ASSERT_TRUE(w.Decks.FadeActive[decks::k2A_1A]);
  ASSERT_TRUE(w.Decks.CrossfadeRunning);
  EXPECT_FALSE(w.Decks.FadeActive[decks::k1A_2A]) << "the crossfade out of deck 1's stopped song is gone";
  EXPECT_EQ(m.d.P(1, 0).volume(), 100);
  m.Run({Do::kAutoMix, 1});
  for (int i = 0; i < 60 && w.Decks.CrossfadeRunning; ++i) m.d.Tick();
  EXPECT_FALSE(w.Decks.CrossfadeRunning);
  EXPECT_FALSE(w.Decks.AnyTransition());
  EXPECT_FALSE(m.d.P(2, 0).IsPlaying());
  EXPECT_TRUE(m.d.P(1, 0).IsPlaying());
  EXPECT_EQ(m.d.P(1, 0).volume(), 100);
  EXPECT_EQ(w.Volume1.value(), 0);
  const std::vector<float> out = DeckWorld::Render(8820);
  EXPECT_NEAR(ToneAmplitude(out, 440), kToneLevel, 0.05);
  EXPECT_NEAR(ToneAmplitude(out, 550), 0, 0.05);
}

// Mixed by hand, a crossfade inside a deck waits with both songs heard; when
// the outgoing one runs out the crossfade has nothing left to wait for, and
// both decks take starts again.
TEST(HandMix, AWaitingCrossfadeEndsWithItsOutgoingSong) {
  HandMixWorld m;
  djvp::MainState& w = *m.d.w;
  for (const Step& s :
       {Step{Do::kAutoMix, 0}, Step{Do::kPlay, 1}, Step{Do::kTicks, 40}, Step{Do::kDblClick, 1, 2}})
    m.Run(s);
  ASSERT_TRUE(w.Decks.FadeActive[decks::k1A_1B]);
  m.ExpectHeardAsShown();
  for (int i = 0; i < 200 && m.d.P(1, 0).IsPlaying(); ++i) m.d.Tick();  // the first song's 5 s run out
  EXPECT_FALSE(w.Decks.CrossfadeRunning);
  EXPECT_FALSE(w.Decks.AnyTransition());
  EXPECT_TRUE(m.d.P(1, 1).IsPlaying());
  m.ExpectHeardAsShown();
  m.Run({Do::kPlay, 2});
  EXPECT_TRUE(m.d.P(2, 0).IsPlaying()) << "the start is not refused";
}

}  // namespace
