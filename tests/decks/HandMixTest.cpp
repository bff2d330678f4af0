// Mixing by hand (Auto Mix off, or pre-listen on) and switching between
// that and Auto Mix: sequences a DJ plays with the transport buttons, a
// double click on a row, the crossfader, the decks' volume sliders and the
// Auto Mix and pre-listen switches, on the window state under the manual
// clock. After every step the mix is checked for what a listener notices:
// no dead air, no jump in a playing song's volume, and one song of a deck
// heard unless a crossfade or the deck's slider brings in both. Chosen
// sequences make a table; seeded random ones try the orders nobody thought
// of, and a failing one is printed shortened, in the table's own terms.
#include "DeckTestEnv.h"
#include "audio/ModBass.h"
#include "decks/Transitions.h"
#include "decks/Transport.h"

#include <array>
#include <cstdlib>
#include <iostream>
#include <map>
#include <numbers>
#include <random>
#include <sstream>
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

enum class Do { kAutoMix, kPreListen, kPlay, kDblClick, kPause, kStop, kFader, kVolume, kTicks, kRunOut, kHeard, kVolumeIs };
struct Step {
  Do what;
  int a = 0;  // the deck, the switch (1 on), the slider value or the ticks
  int b = 0;  // the row of a double click; the deck of a volume slider; the player (0 A, 1 B)
  int c = 0;  // the volume a player is expected at
};

// The steps under the names the tables use; a failing sequence is printed
// in these names.
const Step on{Do::kAutoMix, 1}, off{Do::kAutoMix, 0}, pre{Do::kPreListen}, heard{Do::kHeard};
Step play(int deck) { return {Do::kPlay, deck}; }
Step dbl(int deck, int row) { return {Do::kDblClick, deck, row}; }
Step pause(int deck) { return {Do::kPause, deck}; }
Step stop(int deck) { return {Do::kStop, deck}; }
Step fader(int v) { return {Do::kFader, v}; }
Step vol(int deck, int v) { return {Do::kVolume, v, deck}; }
Step ticks(int n) { return {Do::kTicks, n}; }
Step runout(int deck) { return {Do::kRunOut, deck}; }
Step volIs(int deck, int ab, int v) { return {Do::kVolumeIs, deck, ab, v}; }

std::string Name(const Step& s) {
  auto call = [](const char* f, std::initializer_list<int> args) {
    std::string out = std::string(f) + "(";
    const char* sep = "";
    for (int v : args) {
      out += sep + std::to_string(v);
      sep = ", ";
    }
    return out + ")";
  };
  switch (s.what) {
    case Do::kAutoMix: return s.a ? "on" : "off";
    case Do::kPreListen: return "pre";
    case Do::kPlay: return call("play", {s.a});
    case Do::kDblClick: return call("dbl", {s.a, s.b});
    case Do::kPause: return call("pause", {s.a});
    case Do::kStop: return call("stop", {s.a});
    case Do::kFader: return call("fader", {s.a});
    case Do::kVolume: return call("vol", {s.b, s.a});
    case Do::kTicks: return call("ticks", {s.a});
    case Do::kRunOut: return call("runout", {s.a});
    case Do::kHeard: return "heard";
    case Do::kVolumeIs: return call("volIs", {s.a, s.b, s.c});
  }
  return "?";
}

std::string Names(const std::vector<Step>& steps) {
  std::string out = "{";
  for (size_t i = 0; i < steps.size(); ++i) out += (i ? ", " : "") + Name(steps[i]);
  return out + "}";
}

// The four players in the order 1A, 1B, 2A, 2B.
constexpr int kPlayers = 4;
int DeckNumberOfPlayer(int i) { return i < 2 ? 1 : 2; }
const char* PlayerName(int i) { return std::array{"1A", "1B", "2A", "2B"}[static_cast<size_t>(i)]; }
int PlayerIndex(djvp::DeckId deck, int ab) { return (deck.IsFirst() ? 0 : 2) + ab; }

// What a step may change is judged against the state before it.
struct Snapshot {
  std::array<bool, kPlayers> playing{};
  std::array<bool, kPlayers> paused{};
  std::array<bool, kPlayers> heard{};
  std::array<int, kPlayers> volume{};
  std::array<engine::Handle, kPlayers> stream{};
  std::array<bool, decks::kSlots> fade{};
  bool automixRuns = false;
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
    d.Curve(10, 100, 50, 50);  // a sloped fade-out, a flat fade-in
    fader0_ = d.w->Slider1.value();
    volume0_ = {d.w->Volume1.value(), d.w->Volume2.value()};
  }
  ~HandMixWorld() { engine::SetOutputLimiter(true); }

  // Back to where a sequence begins: both decks stopped, no transition, Auto
  // Mix on, pre-listen off, the sliders as the window opened.
  void Reset() {
    djvp::MainState& w = *d.w;
    for (int deck : {1, 2}) Act(stop(deck));
    w.Decks.FadeActive.fill(false);
    w.Decks.CrossfadeRunning = false;
    w.Decks.AutomixTransition = false;
    if (w.PreListenOn) w.Command1.click();
    w.Check1[djvp::ctl::kAutomix].setChecked(true);
    w.AutomixOn = true;
    for (djvp::ui::Slider* s : {&w.Slider1, &w.Volume1, &w.Volume2}) {
      const djvp::ui::EventBlocker quiet(*s);
      s->setValueClamped(s == &w.Slider1 ? fader0_ : volume0_[s == &w.Volume1 ? 0 : 1]);
    }
    for (int deck : {1, 2}) d.List(deck).SetCurrentRow(1);
    bothByHand_.fill(false);
  }

  // Runs one step and checks the mix after it; returns what went wrong ("" when
  // nothing did).
  std::string Run(const Step& s) {
    const Snapshot before = Take();
    if (std::string bad = Act(s); !bad.empty()) return bad;
    const Snapshot after = Take();
    return Check(s, before, after);
  }

  // Each song that plays is heard at its player's volume; the others not at
  // all.
  std::string HeardAsSet() {
    d.Tick();
    d.Tick();  // volume steps are smoothed over a few milliseconds
    std::map<double, double> expected;
    for (const auto& [file, hz] : ToneOf()) expected[hz] = 0;
    for (const djvp::clsBassPlayer* p : d.Players())
      if (p->IsPlaying() && !RunOut(*p)) expected[ToneOf().at(p->filename())] += kToneLevel * p->volume() / 100.0;
    const std::vector<float> out = DeckWorld::Render(8820);  // 0.2 s: whole periods of every tone
    std::string bad;
    for (const auto& [hz, level] : expected)
      if (std::abs(ToneAmplitude(out, hz) - level) > 0.05)
        bad += std::to_string(hz) + " Hz heard at " + std::to_string(ToneAmplitude(out, hz)) + ", set " +
               std::to_string(level) + "; ";
    return bad;
  }

  DeckWorld d;

 private:
  djvp::clsBassPlayer& PlayerAt(int i) const { return d.P(DeckNumberOfPlayer(i), i % 2); }

  // A song that has run out plays nothing although its player still counts
  // as playing until the timer or a start stops it.
  static bool RunOut(const djvp::clsBassPlayer& p) {
    const float pos = decks::PlayerPosition(p);
    return engine::IsActive(p.STRM()) == engine::kStopped || (pos >= 0 && pos >= static_cast<float>(p.StreamTime()));
  }
  bool Heard(int i) const {
    const djvp::clsBassPlayer& p = PlayerAt(i);
    return p.IsPlaying() && p.volume() > 0 && !RunOut(p);
  }

  Snapshot Take() const {
    Snapshot n;
    for (int i = 0; i < kPlayers; ++i) {
      const djvp::clsBassPlayer& p = PlayerAt(i);
      n.playing[static_cast<size_t>(i)] = p.IsPlaying();
      n.paused[static_cast<size_t>(i)] = p.IsPaused();
      n.heard[static_cast<size_t>(i)] = Heard(i);
      n.volume[static_cast<size_t>(i)] = p.volume();
      n.stream[static_cast<size_t>(i)] = p.STRM();
    }
    n.fade = d.w->Decks.FadeActive;
    n.automixRuns = d.w->AutomixOn && !d.w->PreListenOn;
    return n;
  }

  // Of what was heard before the step in the deck whose first player is
  // first, or crossfaded into it from the other deck, nothing plays on: a
  // song of that deck that comes up from silence ends dead air rather than
  // jumps.
  static bool LeftSilent(const Snapshot& before, const Snapshot& after, int first) {
    auto stillHeard = [&](int j) {
      const auto u = static_cast<size_t>(j);
      return before.heard[u] && after.playing[u] && after.stream[u] == before.stream[u];
    };
    if (stillHeard(first) || stillHeard(first + 1)) return false;
    for (int k = 0; k < decks::kSlots; ++k) {
      const decks::Transition& t = decks::kTransitions[static_cast<size_t>(k)];
      if (before.fade[static_cast<size_t>(k)] && PlayerIndex(t.inDeck, 0) == first && !t.SameDeck() &&
          stillHeard(PlayerIndex(t.outDeck, t.outAB)))
        return false;
    }
    return true;
  }

  std::string Act(const Step& s) {
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
      case Do::kRunOut:
        // The deck's first playing song is taken to a few milliseconds
        // before its end, and the timer sees it end.
        for (int ab = 0; ab < 2; ++ab) {
          djvp::clsBassPlayer& p = d.P(s.a, ab);
          if (!p.IsPlaying()) continue;
          const int64_t end = engine::SecondsToBytes(p.STRM(), std::max(0.0, p.StreamTime() - 0.01));
          engine::Pause(p.STRM());
          djvp::modBass_SetPosition(p.STRM(), end);
          engine::Play(p.STRM(), false);
          break;
        }
        d.Tick();
        d.Tick();
        break;
      case Do::kHeard: return HeardAsSet();
      case Do::kVolumeIs:
        if (const int v = d.P(s.a, s.b).volume(); v != s.c)
          return "player " + std::string(PlayerName(PlayerIndex(DeckNo(s.a), s.b))) + " at volume " +
                 std::to_string(v) + ", expected " + std::to_string(s.c);
        break;
    }
    return {};
  }

  std::string Check(const Step& s, const Snapshot& before, const Snapshot& after) {
    djvp::MainState& w = *d.w;
    const bool switched = s.what == Do::kAutoMix || s.what == Do::kPreListen;
    const bool sliderMoved = s.what == Do::kFader || s.what == Do::kVolume;
    const bool timerRan = s.what == Do::kTicks || s.what == Do::kRunOut || s.what == Do::kHeard;
    auto armedWith = [](const Snapshot& n, int i) {
      for (int k = 0; k < decks::kSlots; ++k) {
        const decks::Transition& t = decks::kTransitions[static_cast<size_t>(k)];
        if (n.fade[static_cast<size_t>(k)] && (PlayerIndex(t.outDeck, t.outAB) == i || PlayerIndex(t.inDeck, t.inAB) == i))
          return true;
      }
      return false;
    };
    auto incomingOfArmed = [&](int i) {
      for (int k = 0; k < decks::kSlots; ++k) {
        const decks::Transition& t = decks::kTransitions[static_cast<size_t>(k)];
        if (after.fade[static_cast<size_t>(k)] && PlayerIndex(t.inDeck, t.inAB) == i) return true;
      }
      return false;
    };
    std::array<bool, kPlayers> plain{};
    bool anyPlain = false;
    for (int i = 0; i < kPlayers; ++i) {
      const auto u = static_cast<size_t>(i);
      const bool started = after.playing[u] && after.stream[u] != before.stream[u];
      plain[u] = started && !incomingOfArmed(i);
      anyPlain = anyPlain || plain[u];
    }

    // No jump: a switch changes no playing song's volume; between steps
    // without a slider move or a start a playing song's volume moves only
    // along a running crossfade's ramp. A song that comes up from silence
    // in a deck where nothing was heard (the song it waited on has gone)
    // ends dead air and is no jump.
    if (!sliderMoved && !anyPlain) {
      for (int i = 0; i < kPlayers; ++i) {
        const auto u = static_cast<size_t>(i);
        if (!before.playing[u] || !after.playing[u] || before.stream[u] != after.stream[u]) continue;
        if (before.volume[u] == after.volume[u]) continue;
        const bool ramp = !switched && timerRan && before.automixRuns && (armedWith(before, i) || armedWith(after, i));
        const bool takesOver = before.volume[u] == 0 && LeftSilent(before, after, i < 2 ? 0 : 2);
        if (!ramp && !takesOver)
          return std::string("jump: ") + PlayerName(i) + " from volume " + std::to_string(before.volume[u]) + " to " +
                 std::to_string(after.volume[u]);
      }
    }

    for (djvp::DeckId deck : djvp::kBothDecks) {
      const int first = PlayerIndex(deck, 0);
      const int slider = w.VolumeSlider(deck).value();
      const int n = deck.IsFirst() ? 1 : 2;
      int playing = 0, heardNow = 0;
      bool shows = false;
      for (int i = first; i < first + 2; ++i) {
        const djvp::clsBassPlayer& p = PlayerAt(i);
        playing += p.IsPlaying() ? 1 : 0;
        heardNow += Heard(i) ? 1 : 0;
        shows = shows || (p.IsPlaying() && !RunOut(p));
      }

      // A plain start is heard as the crossfader now stands: on the deck's
      // side, the deck's slider at full.
      for (int i = first; i < first + 2; ++i)
        if (plain[static_cast<size_t>(i)] && (PlayerAt(i).volume() != 100 || slider != 0))
          return std::string("a plain start on ") + PlayerName(i) + " at volume " + std::to_string(PlayerAt(i).volume()) +
                 ", deck slider " + std::to_string(slider);

      // No dead air: a deck that shows a song playing, with its slider and
      // the crossfader's side open, is heard, or a crossfade brings it in
      // from a song that is heard.
      const bool faderOpen = deck.IsFirst() ? w.Slider1.value() < 100 : w.Slider1.value() > 0;
      if (shows && slider < 100 && faderOpen && heardNow == 0) {
        bool broughtIn = false;
        for (int k = 0; k < decks::kSlots; ++k) {
          const decks::Transition& t = decks::kTransitions[static_cast<size_t>(k)];
          if (!after.fade[static_cast<size_t>(k)] || t.inDeck != deck) continue;
          if (after.automixRuns || Heard(PlayerIndex(t.outDeck, t.outAB))) broughtIn = true;
        }
        if (!broughtIn)
          return "dead air: deck " + std::to_string(n) + " shows a song playing, slider " + std::to_string(slider) +
                 ", crossfader " + std::to_string(w.Slider1.value()) + ", nothing heard";
      }

      // One song of a deck is heard unless a running crossfade or the
      // user's move of the deck's slider brought in both, or a plain start
      // loaded one beside the other.
      bool& both = bothByHand_[deck.IsFirst() ? 0 : 1];
      if (playing < 2) both = false;
      bool sameDeckArmed = false;
      for (int k = 0; k < decks::kSlots; ++k) {
        const decks::Transition& t = decks::kTransitions[static_cast<size_t>(k)];
        if (t.SameDeck() && t.inDeck == deck && (before.fade[static_cast<size_t>(k)] || after.fade[static_cast<size_t>(k)]))
          sameDeckArmed = true;
      }
      if (playing == 2 && ((timerRan && before.automixRuns && sameDeckArmed) ||
                           (sliderMoved && (s.what == Do::kFader || s.b == n)) || plain[static_cast<size_t>(first)] ||
                           plain[static_cast<size_t>(first + 1)]))
        both = true;
      if (heardNow == 2 && !both) return "two songs of deck " + std::to_string(n) + " heard together";
    }
    return {};
  }

  std::array<bool, 2> bothByHand_{};
  int fader0_ = 0;
  std::array<int, 2> volume0_{};
};

// Runs a sequence on a fresh start of the world; the failure and the index
// of the step it came at (-1: none).
std::pair<std::string, int> RunSequence(HandMixWorld& m, const std::vector<Step>& steps) {
  m.Reset();
  for (size_t i = 0; i < steps.size(); ++i)
    if (std::string bad = m.Run(steps[i]); !bad.empty()) return {bad, static_cast<int>(i)};
  return {{}, -1};
}

void RunTable(const char* name, const std::vector<Step>& steps) {
  SCOPED_TRACE(name);
  HandMixWorld m;
  const auto [bad, at] = RunSequence(m, steps);
  EXPECT_EQ(bad, "") << "at step " << at + 1 << " " << (at >= 0 ? Name(steps[static_cast<size_t>(at)]) : "")
                     << " of " << Names(steps);
}

TEST(HandMix, ChosenSequences) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      // Deck 2 starts silent under the crossfader on deck 1; deck 1's next
      // song comes in from it at deck 1's slider.
      {"Play over a deck the crossfader silences",
       {off, fader(0), play(1), ticks(2), play(2), ticks(2), heard, volIs(2, 0, 0), stop(1), play(1), volIs(1, 0, 100),
        heard, ticks(10), heard}},
      {"crossfader in the middle", {off, play(1), fader(50), play(2), heard, stop(1), play(1), heard}},
      {"a new song on the deck the crossfader turned away from",
       {off, play(1), play(2), fader(100), heard, stop(1), play(1), heard, fader(0), heard}},
      {"Stop of the incoming deck during a waiting crossfade",
       {off, play(1), play(2), stop(2), heard, play(2), heard, fader(100), heard}},
      {"Stop of the outgoing deck, then the crossfader over", {off, play(1), play(2), stop(1), heard, fader(100), heard}},
      {"pause, crossfader over, resume", {off, play(1), play(2), fader(100), pause(1), fader(0), pause(1), heard}},
      // Auto Mix's crossfade between the decks, the user having put idle
      // deck 2's slider at the top: switched off halfway, both songs keep
      // the volumes the ramp gave them.
      {"Auto Mix off in the middle of a crossfade between the decks",
       {on, play(1), ticks(2), vol(2, 0), play(2), ticks(5), off, heard, ticks(5), stop(1), heard}},
      {"pre-listen on in the middle of a crossfade between the decks",
       {on, play(1), ticks(2), vol(2, 0), play(2), ticks(5), pre, heard, ticks(5)}},
      // Auto Mix's own next-row start inside deck 1 (1A -> 1B), switched
      // off or pre-listen switched on halfway: the fading-out song stays
      // where the ramp had it, beside the incoming one.
      {"Auto Mix off in the middle of a crossfade inside a deck",
       {on, play(1), ticks(60), heard, off, heard, ticks(3), heard, runout(1), heard}},
      {"pre-listen on in the middle of a crossfade inside a deck", {on, play(1), ticks(60), pre, heard, ticks(3), heard}},
      // By hand, a start over the deck's own playing song waits silent
      // while that song plays on; it is heard once the other stops, runs
      // out or is paused, and the deck's slider brings in both.
      {"a start by hand over the deck's own song waits",
       {off, play(1), dbl(1, 2), volIs(1, 0, 100), volIs(1, 1, 0), heard, ticks(4), volIs(1, 1, 0), runout(1),
        volIs(1, 1, 100), heard, play(2), heard}},
      {"pre-listen on, a new song on the playing deck",
       {on, play(1), pre, dbl(1, 2), volIs(1, 1, 0), heard, pre, ticks(40), volIs(1, 1, 100), heard}},
      {"the waiting song is heard while the other is paused",
       {off, play(1), dbl(1, 2), pause(1), volIs(1, 1, 100), heard, pause(1), volIs(1, 0, 0), heard}},
      {"the deck's slider brings in both waiting songs",
       {off, play(1), dbl(1, 2), vol(1, 30), volIs(1, 0, 70), volIs(1, 1, 70), heard}},
      // Found by the random sequences: Auto Mix's crossfade inside deck 2
      // with its outgoing song paused, then pre-listen on; the incoming song
      // had not yet risen and the deck stayed silent.
      {"pre-listen on after the outgoing song of a crossfade was paused",
       {on, dbl(2, 1), dbl(2, 1), pause(2), pre, volIs(2, 1, 100), heard}},
      // Found so too: Auto Mix's crossfade from deck 2 into deck 1 stopped
      // by pre-listen before deck 1 rose; deck 2's slider pulled down.
      {"the outgoing deck silenced by its slider while its crossfade waits",
       {play(2), fader(70), dbl(1, 2), pre, vol(2, 100), volIs(1, 0, 30), heard}},
      {"a paused outgoing song resumed while Auto Mix's crossfade runs on",
       {dbl(1, 2), on, pre, dbl(1, 1), pause(1), pre, pause(1), heard, ticks(3), heard}},
      {"a crossfade into deck 2 loses its outgoing song to a Stop and a new start",
       {dbl(1, 1), fader(50), dbl(2, 1), stop(1), play(1), heard, ticks(3), heard}},
      // After Auto Mix's crossfade to deck 2 had left deck 1's slider at
      // silence and the crossfader already stood on deck 1's side, a start
      // on deck 1 by hand was not heard.
      {"a start by hand after Auto Mix's crossfade out of the deck",
       {off, play(1), play(2), on, ticks(40), off, stop(1), stop(2), dbl(1, 1), volIs(1, 0, 100), heard}},
  };
  for (const Case& k : cases) RunTable(k.name, k.steps);
}

// The reported run: after it, deck 1 plays its new song while the crossfade
// from deck 2 into it waits. Auto Mix switched on completes that crossfade:
// deck 2 is let go and deck 1 plays on alone at full volume.
TEST(HandMix, AWaitingCrossfadeIsCompletedByAutoMixLater) {
  HandMixWorld m;
  m.Reset();
  for (const Step& s : {off, fader(0), play(1), play(2), stop(1), play(1)}) ASSERT_EQ(m.Run(s), "") << Name(s);
  djvp::MainState& w = *m.d.w;
  ASSERT_TRUE(w.Decks.FadeActive[decks::k2A_1A]);
  ASSERT_TRUE(w.Decks.CrossfadeRunning);
  EXPECT_FALSE(w.Decks.FadeActive[decks::k1A_2A]) << "the crossfade out of deck 1's stopped song is gone";
  EXPECT_EQ(m.d.P(1, 0).volume(), 100);
  ASSERT_EQ(m.Run(on), "");
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

// Mixed by hand, a crossfade inside a deck waits with its new song silent;
// when the outgoing one runs out the crossfade has nothing left to wait
// for, the new song takes the deck's slider, and both decks take starts
// again. Switched on, Auto Mix completes a waiting one instead.
TEST(HandMix, AWaitingCrossfadeInsideADeckEndsEitherWay) {
  {
    HandMixWorld m;
    m.Reset();
    djvp::MainState& w = *m.d.w;
    for (const Step& s : {off, play(1), ticks(40), dbl(1, 2)}) ASSERT_EQ(m.Run(s), "") << Name(s);
    ASSERT_TRUE(w.Decks.FadeActive[decks::k1A_1B]);
    EXPECT_EQ(m.d.P(1, 1).volume(), 0);
    for (int i = 0; i < 200 && m.d.P(1, 0).IsPlaying(); ++i) ASSERT_EQ(m.Run(ticks(1)), "");  // the first song's 5 s run out
    EXPECT_FALSE(w.Decks.CrossfadeRunning);
    EXPECT_FALSE(w.Decks.AnyTransition());
    EXPECT_TRUE(m.d.P(1, 1).IsPlaying());
    EXPECT_EQ(m.d.P(1, 1).volume(), 100);
    EXPECT_EQ(m.HeardAsSet(), "");
    ASSERT_EQ(m.Run(play(2)), "");
    EXPECT_TRUE(m.d.P(2, 0).IsPlaying()) << "the start is not refused";
  }
  {
    HandMixWorld m;
    m.Reset();
    djvp::MainState& w = *m.d.w;
    for (const Step& s : {off, play(1), ticks(10), dbl(1, 2), ticks(10), on}) ASSERT_EQ(m.Run(s), "") << Name(s);
    for (int i = 0; i < 80 && w.Decks.CrossfadeRunning; ++i) ASSERT_EQ(m.Run(ticks(1)), "");
    EXPECT_FALSE(w.Decks.CrossfadeRunning);
    EXPECT_FALSE(m.d.P(1, 0).IsPlaying());
    EXPECT_EQ(m.d.P(1, 1).volume(), 100);
    EXPECT_EQ(m.HeardAsSet(), "");
  }
}

// Seeded random sequences of a DJ's actions, every step checked as above.
// The test command runs a bounded number (fewer under the sanitizers, which
// run the same code many times slower); HANDMIX_SEQUENCES asks for more (the
// fuzz script's long run). A failing sequence is shortened (steps left out
// while it still fails) and printed as a table row.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kBoundedSequences = 30;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr int kBoundedSequences = 30;
#else
constexpr int kBoundedSequences = 400;
#endif
#else
constexpr int kBoundedSequences = 400;
#endif

TEST(HandMixSequences, NoDeadAirNoJumpOneSongADeck) {
  int sequences = kBoundedSequences;
  if (const char* n = std::getenv("HANDMIX_SEQUENCES")) sequences = std::max(1, std::atoi(n));
  uint32_t seed = 4111;
  if (const char* v = std::getenv("HANDMIX_SEED")) seed = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
  std::mt19937 rng(seed);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto randomStep = [&]() -> Step {
    const int deck = pick(1, 2);
    switch (pick(0, 15)) {
      case 0: return pick(0, 1) ? on : off;
      case 1: return pre;
      case 2: case 3: return play(deck);
      case 4: case 5: return dbl(deck, deck == 1 ? pick(1, 2) : 1);
      case 6: return pause(deck);
      case 7: return stop(deck);
      case 8: return fader(std::array{0, 30, 50, 70, 100}[static_cast<size_t>(pick(0, 4))]);
      case 9: return vol(deck, std::array{0, 30, 50, 100}[static_cast<size_t>(pick(0, 3))]);
      case 10: return runout(deck);
      case 11: return ticks(pick(10, 40));
      default: return ticks(pick(1, 4));
    }
  };
  HandMixWorld m;
  long steps = 0;
  for (int n = 0; n < sequences; ++n) {
    std::vector<Step> seq{pick(0, 1) ? on : off};
    for (int i = pick(4, 14); i > 0; --i) seq.push_back(randomStep());
    auto [bad, at] = RunSequence(m, seq);
    steps += static_cast<long>(seq.size());
    if (bad.empty()) continue;
    // Shortest first: the steps after the failure go, then each step that
    // the failure does not need.
    seq.resize(static_cast<size_t>(at) + 1);
    for (size_t i = seq.size(); i-- > 0;) {
      std::vector<Step> shorter = seq;
      shorter.erase(shorter.begin() + static_cast<std::ptrdiff_t>(i));
      if (const auto r = RunSequence(m, shorter); !r.first.empty()) {
        shorter.resize(static_cast<size_t>(r.second) + 1);
        seq = shorter;
        i = std::min(i, seq.size());
      }
    }
    const auto [why, where] = RunSequence(m, seq);
    ADD_FAILURE() << "sequence " << n << " (seed " << seed << "): " << (why.empty() ? bad : why) << "\n  " << Names(seq);
    return;
  }
  std::cout << "[ handmix ] " << sequences << " sequences, " << steps << " steps, seed " << seed << "\n";
}

}  // namespace
