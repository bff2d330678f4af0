// A song whose length the engine can only estimate when it starts (an MP3
// without a header frame, or one whose header frame counts less than plays):
// the start never waits for the scan of the whole file, and the deck, and
// with it Auto Mix, follows the length that plays once the engine has it.
#include "DeckTestEnv.h"
#include "decks/StartRoutine.h"

TEST(KnownLength, TheDeckTakesTheExactLengthOnceTheEngineHasScannedTheFile) {
  // Two seconds of silence and two of noise, VBR: estimated from its small
  // first frames at more than ten seconds.
  const QString song = QStringLiteral(DJVP_TEST_FIXTURES "/unusual/vbr_noheader.mp3");
  for (bool endMixPoint : {false, true}) {
    SCOPED_TRACE(endMixPoint);
    DeckWorld d;
    d.w->UseMixPoints = endMixPoint;
    d.Add(1, song.toUtf8().constData(), {}, {}, endMixPoint ? QStringLiteral("03.00 sec") : QString());
    d.List(1).SetCurrentRow(1);
    ASSERT_EQ(decks::PlayDeck(*d.w, djvp::kDeck1), decks::StartResult::kStarted);
    djvp::clsBassPlayer& a = d.P(1, 0);
    EXPECT_GT(a.DummyTime(), 8) << "the header's estimate";
    d.Tick();
    EXPECT_EQ(a.DummyTime(), 4);
    // The song ends where the file does, unless an end mix point says.
    EXPECT_EQ(a.StreamTime(), endMixPoint ? 3 : 4);
    EXPECT_EQ(d.w->Position1.maximum(), endMixPoint ? 3 : 4);
  }
}

TEST(KnownLength, AutoMixStartsTheNextSongAMixTimeBeforeTheEndThatPlays) {
  // Songs whose header gives a length they do not play: two MP3s joined
  // (2 s at 44.1 kHz, then 2 s at 22.05 kHz), whose first header frame
  // counts only its own part, and a FLAC of 2 s whose stream information
  // says 89,129 s.
  const struct {
    const char* file;
    int seconds;
  } cases[] = {{DJVP_TEST_FIXTURES "/decks/joined.mp3", 4}, {DJVP_TEST_FIXTURES "/damaged/count_huge.flac", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    DeckWorld d;
    d.w->MixTime = 1;
    d.Add(1, c.file);
    d.Add(1, "tone660.ogg");
    d.List(1).SetCurrentRow(1);
    ASSERT_EQ(decks::PlayDeck(*d.w, djvp::kDeck1), decks::StartResult::kStarted);
    djvp::clsBassPlayer& a = d.P(1, 0);
    d.Tick();
    EXPECT_EQ(a.DummyTime(), c.seconds);
    EXPECT_EQ(a.StreamTime(), c.seconds);
    EXPECT_EQ(d.w->Position1.maximum(), c.seconds);
    double startedAt = -1;
    for (int n = 0; n < 200 && startedAt < 0; ++n) {
      d.Tick();
      if (d.w->Decks.AutomixTransition) startedAt = DeckWorld::Pos(a);
    }
    EXPECT_TRUE(d.P(1, 1).IsPlaying());
    EXPECT_NEAR(startedAt, c.seconds - 1, 0.1) << "the next song starts a mix time before the end";
  }
}
