// The level meters on the window state: the thresholds of the ten LEDs, which
// player each meter follows when several play, songs on the manual clock
// lighting the meters, and meters that stand still while nothing plays.
//
// The songs "loud.flac" and "quiet.flac" hold a steady tone whose channels
// peak at known levels: loud left -2 dB (7 LEDs), right -6 dB (5 LEDs);
// quiet left -12.5 dB (3 LEDs), right -22.5 dB (1 LED).
#include "DeckTestEnv.h"
#include "decks/Meters.h"
#include "decks/Transport.h"

#include <cmath>
#include <limits>

namespace {

struct Lit {
  int deck1, deck2, left, right;
  bool operator==(const Lit&) const = default;
};
void PrintTo(const Lit& l, std::ostream* os) {
  *os << "deck 1 " << l.deck1 << ", deck 2 " << l.deck2 << ", left " << l.left << ", right " << l.right;
}

Lit Meters(const djvp::MainState& s) {
  return {s.pctVolume1.lit(), s.pctVolume2.lit(), s.pctVolumeLeft.lit(), s.pctVolumeRight.lit()};
}

// 55 ms of sound and the playback timer, then the three meter timers.
void MeterTick(DeckWorld& d) {
  d.Tick();
  decks::tmrdB1_ThatTime(*d.w);
  decks::tmrdB2_ThatTime(*d.w);
  decks::tmrdBVolume_ThatTime(*d.w);
}

// A few ticks, so that the meters read levels of the song's steady part.
void MeterTicks(DeckWorld& d, int n = 4) {
  for (int i = 0; i < n; ++i) MeterTick(d);
}

void StopAll(DeckWorld& d) {
  for (djvp::clsBassPlayer* p : d.Players()) p->StopPlay();
}

constexpr int kUntouched = -1;

TEST(Meters, LevelsLightOneLedForEachThresholdTheyAreAbove) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* name;
    float dB;
    int lit;  // kUntouched: the meter keeps what it showed
  };
  const Case cases[] = {
      {"not a number", nan, 0},
      {"minus infinity", -inf, 0},
      {"silence as the players read it", djvp::kSilenceDb, 0},
      {"exactly -25", -25.0f, 0},
      {"just above -25", std::nextafter(-25.0f, 0.0f), 1},
      {"-24.99", -24.99f, 1},
      {"-24.9", -24.9f, 1},
      {"exactly -20", -20.0f, 1},
      {"-17.5", -17.5f, 2},
      {"exactly -15", -15.0f, 2},
      {"exactly -10", -10.0f, 3},
      {"exactly -7", -7.0f, 4},
      {"-6", -6.0f, 5},
      {"exactly -5", -5.0f, 5},
      {"exactly -3", -3.0f, 6},
      {"-2", -2.0f, 7},
      {"exactly -1", -1.0f, 7},
      {"-0.9", -0.9f, 8},
      {"exactly -0.5", -0.5f, 8},
      {"-0.3 in single precision", static_cast<float>(-0.3), 9},
      {"just above -0.3 in single precision", std::nextafter(-0.3f, 0.0f), 10},
      {"0", 0.0f, 10},
      {"0.00001 in single precision", static_cast<float>(0.00001), 10},
      {"just above 0.00001 in single precision", std::nextafter(0.00001f, 1.0f), kUntouched},
      {"0.00002", 0.00002f, kUntouched},
      {"a failed read of about +6 dB", 6.02f, kUntouched},
      {"plus infinity", inf, kUntouched},
  };
  DeckWorld d;
  for (const Case& c : cases) {
    // From a dark and from a full meter: a level that is shown gives the same
    // picture from both, one that is not keeps each.
    for (const int before : {0, 10}) {
      for (djvp::ui::LedMeter* m : {&d.w->pctVolume1, &d.w->pctVolume2, &d.w->pctVolumeLeft, &d.w->pctVolumeRight}) {
        m->setLit(before);
        decks::ShowLevel(*m, c.dB);
        EXPECT_EQ(m->lit(), c.lit == kUntouched ? before : c.lit) << c.name << ", from " << before;
      }
    }
    EXPECT_EQ(decks::LitLeds(c.dB), c.lit == kUntouched ? 10 : c.lit) << c.name;
  }
}

TEST(Meters, NothingPlayingLeavesEveryMeterAsItWas) {
  DeckWorld d;
  d.w->pctVolume1.setLit(4);
  d.w->pctVolume2.setLit(2);
  d.w->pctVolumeLeft.setLit(7);
  d.w->pctVolumeRight.setLit(9);
  // A stopped player and a paused one count as not playing.
  DeckWorld::StartOn(d.P(2, 1), "loud.flac");
  d.P(2, 1).PausePlay();
  MeterTicks(d);
  EXPECT_EQ(Meters(*d.w), (Lit{4, 2, 7, 9}));
}

TEST(Meters, EachMeterFollowsItsPlayerWhenSeveralPlay) {
  struct Case {
    const char* name;
    const char* songs[4];  // deck 1 A, deck 1 B, deck 2 A, deck 2 B; null: not playing
    Lit lit;               // kUntouched (-1) where the meter stays dark from the start
  };
  const Case cases[] = {
      {"deck 1 A alone", {"loud.flac", nullptr, nullptr, nullptr}, {7, 0, 7, 5}},
      {"deck 1 A and B: B, though A is louder", {"loud.flac", "quiet.flac", nullptr, nullptr}, {3, 0, 3, 1}},
      {"deck 1 A and B: B", {"quiet.flac", "loud.flac", nullptr, nullptr}, {7, 0, 7, 5}},
      {"deck 1 A and deck 2 A: the master shows deck 2", {"loud.flac", nullptr, "quiet.flac", nullptr}, {7, 3, 3, 1}},
      {"deck 2 B alone", {nullptr, nullptr, nullptr, "loud.flac"}, {0, 7, 7, 5}},
      {"all four: deck 2 B", {"loud.flac", "loud.flac", "loud.flac", "quiet.flac"}, {7, 3, 3, 1}},
      {"all but deck 2 B: deck 2 A", {"quiet.flac", "quiet.flac", "loud.flac", nullptr}, {3, 7, 7, 5}},
  };
  for (const Case& c : cases) {
    DeckWorld d;
    d.w->AutomixOn = false;
    const std::vector<djvp::clsBassPlayer*> players = d.Players();
    for (size_t i = 0; i < 4; ++i)
      if (c.songs[i]) DeckWorld::StartOn(*players[i], c.songs[i]);
    MeterTicks(d);
    EXPECT_EQ(Meters(*d.w), c.lit) << c.name;
    StopAll(d);
  }
}

TEST(Meters, APausedPlayerIsPassedOverAndTheMeterFollowsTheOtherOne) {
  DeckWorld d;
  d.w->AutomixOn = false;
  DeckWorld::StartOn(d.P(1, 0), "loud.flac");
  DeckWorld::StartOn(d.P(1, 1), "quiet.flac");
  MeterTicks(d);
  EXPECT_EQ(Meters(*d.w), (Lit{3, 0, 3, 1}));
  d.P(1, 1).PausePlay();
  MeterTicks(d);
  EXPECT_EQ(Meters(*d.w), (Lit{7, 0, 7, 5}));
}

TEST(Meters, MasterMetersAreScaledByTheMasterVolume) {
  struct Case {
    int masterVolume;  // 0 full volume, 100 silent
    int left, right;
  };
  // At 50 every level reads doubled: -2 dB reads -4, -6 dB reads -12. At 100
  // the players read silence, so the master meters go dark.
  for (const Case& c : {Case{0, 7, 5}, Case{50, 6, 3}, Case{100, 0, 0}}) {
    DeckWorld d;
    d.w->AutomixOn = false;
    d.w->MainVolume.setValue(c.masterVolume);
    d.w->pctVolumeLeft.setLit(10);
    d.w->pctVolumeRight.setLit(10);
    DeckWorld::StartOn(d.P(1, 0), "loud.flac");
    MeterTicks(d);
    EXPECT_EQ(d.w->pctVolumeLeft.lit(), c.left) << "master volume " << c.masterVolume;
    EXPECT_EQ(d.w->pctVolumeRight.lit(), c.right) << "master volume " << c.masterVolume;
    EXPECT_EQ(d.w->pctVolume1.lit(), 7) << "the deck's meter is not scaled";
    StopAll(d);
  }
}

TEST(Meters, ASongStartedByPlayLightsItsDeckAndTheMasterAndAPauseFreezesThem) {
  DeckWorld d;
  d.w->AutomixOn = false;
  d.Add(1, "loud.flac");
  d.Add(2, "quiet.flac");
  // The first tick after the start already shows the song.
  decks::cmdPlayer_Transport(*d.w, djvp::ctl::kPlay);
  MeterTick(d);
  EXPECT_EQ(Meters(*d.w), (Lit{7, 0, 7, 5}));

  // Deck 1 paused: its meter and the master stand as they were, also while
  // the clock runs on.
  decks::cmdPlayer_Transport(*d.w, djvp::ctl::kPause);
  ASSERT_FALSE(d.P(1, 0).IsPlaying());
  MeterTicks(d, 6);
  EXPECT_EQ(Meters(*d.w), (Lit{7, 0, 7, 5}));

  // Deck 2 starts: the master follows it, deck 1's meter still stands.
  decks::cmdPlayer_Transport(*d.w, djvp::ctl::kDeckButtons + djvp::ctl::kPlay);
  MeterTicks(d);
  EXPECT_EQ(Meters(*d.w), (Lit{7, 3, 3, 1}));

  // Resumed, deck 1 is shown again on its meter; the master stays on deck 2.
  decks::cmdPlayer_Transport(*d.w, djvp::ctl::kPause);
  MeterTicks(d);
  EXPECT_EQ(Meters(*d.w), (Lit{7, 3, 3, 1}));

  // Stop resets deck 1: its meter and the master go dark; deck 2 lights the
  // master again on the next tick.
  decks::cmdPlayer_Transport(*d.w, djvp::ctl::kStop);
  EXPECT_EQ(Meters(*d.w), (Lit{0, 3, 0, 0}));
  MeterTick(d);
  EXPECT_EQ(Meters(*d.w), (Lit{0, 3, 3, 1}));
}

TEST(Meters, ASongThatRanOutReadsAsSilenceAndDarkensTheMeters) {
  // Until the playback timer's next run ends it, a song that ran out still
  // counts as playing, but its stream reads silence.
  DeckWorld d;
  d.w->AutomixOn = false;
  DeckWorld::StartOn(d.P(1, 0), "loud.flac");
  MeterTicks(d);
  EXPECT_EQ(d.w->pctVolume1.lit(), 7);
  DeckWorld::RenderSeconds(2.5);
  decks::tmrdB1_ThatTime(*d.w);
  decks::tmrdB2_ThatTime(*d.w);
  decks::tmrdBVolume_ThatTime(*d.w);
  ASSERT_TRUE(d.P(1, 0).IsPlaying());
  EXPECT_EQ(Meters(*d.w), (Lit{0, 0, 0, 0}));
  MeterTick(d);
  EXPECT_FALSE(d.P(1, 0).IsPlaying());
  EXPECT_EQ(Meters(*d.w), (Lit{0, 0, 0, 0}));
}

}  // namespace
