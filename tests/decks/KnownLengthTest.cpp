// A song whose length the engine can only estimate when it starts (an MP3
// without a header frame): the start never waits for the scan of the whole
// file, and the deck follows the exact length once the engine has it.
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
