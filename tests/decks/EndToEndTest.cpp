// Two decks mixed automatically from song to song and from deck to deck, the
// manual clock run through every song and crossfade: what comes out is never
// silent in between and never clips, and the right song is heard when.
#include "DeckTestEnv.h"
#include "decks/Transport.h"

#include <algorithm>

namespace {

struct Window {
  double rms = 0, peak = 0, hz = 0;
};

Window Measure(const std::vector<float>& stereo) {
  Window w;
  double sum = 0;
  int crossings = 0;
  for (size_t i = 0; i < stereo.size(); ++i) {
    sum += static_cast<double>(stereo[i]) * stereo[i];
    w.peak = std::max(w.peak, static_cast<double>(std::fabs(stereo[i])));
    if (i >= 2 && i % 2 == 0 && (stereo[i - 2] < 0) != (stereo[i] < 0)) ++crossings;
  }
  w.rms = std::sqrt(sum / static_cast<double>(stereo.size()));
  w.hz = crossings / 2.0 / (static_cast<double>(stereo.size()) / 2.0 / 44100.0);
  return w;
}

TEST(EndToEnd, TwoDecksMixFromSongToSongAndDeckToDeckWithoutSilenceOrClipping) {
  DeckWorld d;
  d.w->MixTime = 2;
  d.Curve(10, 100, 90, 0);
  d.Add(1, "tone440.ogg");
  d.Add(1, "tone660.ogg");
  d.Add(2, "tone550.ogg");

  std::vector<Window> heard;
  auto tick = [&] { heard.push_back(Measure(d.Tick())); };
  auto seconds = [&](size_t n) { return static_cast<double>(n) * DeckWorld::kTickFrames / 44100.0; };

  decks::cmdPlayer_Transport(*d.w, 7);  // Play on deck 1
  // Row 1, then Auto Mix brings row 2 of deck 1 on player 1B.
  while (!(d.P(1, 1).IsPlaying() && DeckWorld::Pos(d.P(1, 1)) >= 2.5) && heard.size() < 400) tick();
  ASSERT_FALSE(d.P(1, 0).IsPlaying());
  EXPECT_EQ(d.P(1, 1).filename(), Fixture("tone660.ogg"));
  EXPECT_EQ(d.w->cTime[0].text().left(6), " 00:02");
  // Deck 2 takes over from deck 1 by its Play button.
  const size_t handOver = heard.size();
  decks::cmdPlayer_Transport(*d.w, 17);
  ASSERT_TRUE(d.w->Decks.FadeActive[decks::k1B_2A]);
  // Everything runs until the last song has ended.
  const std::vector<djvp::clsBassPlayer*> players = d.Players();
  while (std::any_of(players.begin(), players.end(), [](const djvp::clsBassPlayer* p) { return p->IsPlaying(); }) &&
         heard.size() < 600)
    tick();
  const size_t end = heard.size();
  ASSERT_LT(end, 600u);
  EXPECT_NEAR(seconds(end), 3.0 + 2.5 + 5.0, 0.2);  // 3 s + 2.5 s + the whole last song

  for (size_t n = 0; n + 1 < end; ++n) {
    EXPECT_GT(heard[n].rms, 0.15) << "silent at " << seconds(n) << " s";
    EXPECT_LE(heard[n].peak, 1.0) << "clipped at " << seconds(n) << " s";
  }
  // The right song at the right time: row 1 alone, row 2 alone, deck 2.
  EXPECT_NEAR(heard[static_cast<size_t>(1.0 / seconds(1))].hz, 440, 25);
  EXPECT_NEAR(heard[handOver - 3].hz, 660, 25);
  EXPECT_NEAR(heard[end - 20].hz, 550, 25);
  // At rest: both decks reset, nothing armed.
  EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
  EXPECT_FALSE(d.w->Decks.AnyTransition());
  EXPECT_EQ(d.w->Volume1.value(), 100);
  EXPECT_EQ(d.w->Volume2.value(), 100);
  EXPECT_TRUE(d.w->cmdPlayer[7].isEnabled());
  EXPECT_TRUE(d.w->cmdPlayer[17].isEnabled());
  EXPECT_EQ(d.w->cTime[1].text(), " 00:00.00");
}

}  // namespace
