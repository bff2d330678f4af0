// The playback timer's clock, position display and end-of-song stops.
#include "DeckTestEnv.h"
#include "decks/PlaybackTimer.h"
#include "decks/StartRoutine.h"

#include <QRegularExpression>

#include <chrono>

namespace {

TEST(PlaybackTimer, NothingPlayingChangesOnlyTheStatusBar) {
  DeckWorld d;
  d.w->cTime[0].setText("x");
  d.w->lblBPM[0].setText("123.0");
  d.w->SetStatusPanelText(1, "");
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_TRUE(QRegularExpression("^Current Time : \\d\\d:\\d\\d:\\d\\d$").match(d.w->StatusPanelText(1)).hasMatch())
      << d.w->StatusPanelText(1).toStdString();
  EXPECT_TRUE(d.w->StatusPanelText(2).startsWith("Time Elapsed : 00:00:0"));
  EXPECT_EQ(d.w->cTime[0].text(), "x");
  EXPECT_EQ(d.w->lblBPM[0].text(), "123.0");
}

TEST(PlaybackTimer, ElapsedTimeNeverRunsBackwardsAndGoesPastADay) {
  DeckWorld d;
  d.w->Decks.Created = std::chrono::steady_clock::now() - std::chrono::hours(25) - std::chrono::seconds(7);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(d.w->StatusPanelText(2), "Time Elapsed : 25:00:07");
  // A start point ahead of now (as a clock change could make it) shows 0.
  d.w->Decks.Created = std::chrono::steady_clock::now() + std::chrono::hours(1);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(d.w->StatusPanelText(2), "Time Elapsed : 00:00:00");
  // Without a start time the panel keeps its text.
  d.w->StartTime = QTime();
  d.w->SetStatusPanelText(2, "kept");
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(d.w->StatusPanelText(2), "kept");
}

TEST(PlaybackTimer, PositionSliderAndTimesFollowThePlayingSong) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  d.w->lblBPM[1].setText("140.0");
  d.RenderSeconds(1.5);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(d.w->Position1.value(), 2);  // 1.5 s: a half goes to the even second
  EXPECT_EQ(d.w->cTime[0].text(), " 00:01.50");
  EXPECT_EQ(d.w->rTime[0].text(), " 00:03.50");
  EXPECT_EQ(d.w->lblBPM[1].text(), "000.0");  // deck 2 plays nothing
  d.RenderSeconds(1.0);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(d.w->Position1.value(), 2);  // 2.5 s
  EXPECT_NEAR(DeckWorld::Pos(d.P(1, 0)), 2.5, 0.001);  // the display did not seek
}

TEST(PlaybackTimer, SongStartedAtAMixPointShowsItsPositionFromTheFilesStart) {
  DeckWorld d;
  d.w->UseMixPoints = true;
  d.Add(2, "tone440.ogg", {}, QStringLiteral("02.00 sec"));
  d.List(2).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck2);
  d.RenderSeconds(0.5);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(d.w->Position2.value(), 2);
  EXPECT_EQ(d.w->cTime[1].text(), " 00:02.50");
  EXPECT_EQ(d.w->rTime[1].text(), " 00:02.50");
}

TEST(PlaybackTimer, ManualDisplayShowsDeckOnesBAndDeckTwosA) {
  for (bool automix : {false, true}) {
    DeckWorld d;
    d.w->AutomixOn = automix;
    d.w->PreListenOn = automix;  // pre-listen with Auto Mix on counts as manual
    DeckWorld::StartOn(d.P(1, 0), "tone440.ogg");
    DeckWorld::StartOn(d.P(2, 1), "tone440.ogg");
    d.RenderSeconds(2.0);
    DeckWorld::StartOn(d.P(1, 1), "tone660.ogg");
    DeckWorld::StartOn(d.P(2, 0), "tone660.ogg");
    d.RenderSeconds(1.0);
    decks::tmrPlaying_ThatTime(*d.w);
    EXPECT_EQ(d.w->cTime[0].text(), " 00:01.00");  // 1B
    EXPECT_EQ(d.w->cTime[1].text(), " 00:01.00");  // 2A, not 2B at 3 s
  }
}

TEST(PlaybackTimer, AutomixDisplayFollowsTheRunningTransition) {
  DeckWorld d;
  d.w->AutomixOn = false;  // keep the mixing steps out: only the display is looked at
  DeckWorld::StartOn(d.P(1, 0), "tone440.ogg");
  d.RenderSeconds(2.0);
  DeckWorld::StartOn(d.P(2, 0), "tone660.ogg");
  d.RenderSeconds(1.0);
  d.w->AutomixOn = true;
  // No transition, both decks playing: only deck 1 is shown.
  decks::ShowPositions(*d.w);
  EXPECT_EQ(d.w->cTime[0].text(), " 00:03.00");
  EXPECT_EQ(d.w->cTime[1].text(), " 00:00.00");
  // 1A->2A shows both players, each on its deck.
  d.w->Decks.FadeActive[decks::k1A_2A] = true;
  decks::ShowPositions(*d.w);
  EXPECT_EQ(d.w->cTime[1].text(), " 00:01.00");
}

TEST(PlaybackTimer, SongsPastTheirEndAreStoppedOnlyWithAutoMixAndAboveVolumeZero) {
  struct {
    bool automix, preListen;
    int16_t volume;
    bool stopped;
  } const cases[] = {
      {true, false, 100, true}, {true, false, 0, false}, {false, false, 100, false}, {true, true, 100, false}};
  for (const auto& c : cases) {
    DeckWorld d;
    d.w->AutomixOn = c.automix;
    d.w->PreListenOn = c.preListen;
    djvp::clsBassPlayer& p = d.P(2, 1);
    DeckWorld::StartOn(p, "tone440.ogg", c.volume);
    p.StreamTime(2);
    d.w->Volume2.setValue(0);
    d.RenderSeconds(1.99);
    decks::tmrPlaying_ThatTime(*d.w);
    EXPECT_TRUE(p.IsPlaying());
    d.RenderSeconds(0.01);  // exactly at the end
    decks::tmrPlaying_ThatTime(*d.w);
    EXPECT_EQ(!p.IsPlaying(), c.stopped) << c.automix << c.preListen << c.volume;
    EXPECT_EQ(d.w->Volume2.value(), c.stopped ? 100 : 0);  // the deck reset
  }
}

}  // namespace

namespace {

TEST(PlaybackTimer, APositionSliderTheUserHoldsStaysUnderThePointer) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  // The user holds the handle (the seek comes when it is let go).
  d.w->Position1.setHeld(true);
  d.RenderSeconds(2.0);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(d.w->Position1.value(), 0) << "the timer leaves a held slider alone";
  EXPECT_EQ(d.w->cTime[0].text(), " 00:02.00") << "the times still follow the song";
  d.w->Position1.setHeld(false);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(d.w->Position1.value(), 2);
}

}  // namespace
