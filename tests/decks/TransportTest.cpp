// Play, Pause and Stop of both decks, the double click on a playlist, and the
// deck reset that Stop relies on.
#include "DeckTestEnv.h"
#include "tests/support/DeckNumber.h"
#include "decks/DeckReset.h"
#include "decks/Meters.h"
#include "decks/Transport.h"
#include "ui/Deck.h"

namespace {

using decks::cmdPlayer_Transport;

djvp::ui::Button* Button(DeckWorld& d, int index) { return &d.w->cmdPlayer[static_cast<size_t>(index)]; }

TEST(Transport, PlayWithoutSelectionStartsRowOneAndSwapsTheButtons) {
  for (int deck : {1, 2}) {
    DeckWorld d;
    d.Add(deck, "tone440.ogg");
    d.Add(deck, "tone660.ogg");
    const int base = deck == 1 ? 0 : 10;
    Button(d, base + 8)->setEnabled(false);
    cmdPlayer_Transport(*d.w, base + 7);
    EXPECT_EQ(djvp::ui::SelectedRow(d.List(deck)), 1);
    EXPECT_TRUE(d.P(deck, 0).IsPlaying());
    EXPECT_EQ(d.P(deck, 0).filename(), Fixture("tone440.ogg"));
    EXPECT_FALSE(Button(d, base + 7)->isEnabled());
    EXPECT_TRUE(Button(d, base + 8)->isEnabled());
  }
}

TEST(Transport, PlayStartsTheSelectedRowAndADoubleClickDoesTheSame) {
  DeckWorld d;
  d.Add(2, "tone440.ogg");
  d.Add(2, "tone660.ogg");
  d.List(2).SetCurrentRow(2);
  decks::PlayListView_DblClick(*d.w, djvp::kDeck2);
  EXPECT_EQ(d.P(2, 0).filename(), Fixture("tone660.ogg"));
  EXPECT_FALSE(Button(d, 17)->isEnabled());
}

TEST(Transport, PlayIsRefusedDuringACrossfadeOnAnEmptyListAndFromTheScratchGrid) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.w->PlayListView[2]->AddRow();
  d.w->Decks.CrossfadeRunning = true;
  cmdPlayer_Transport(*d.w, 7);
  decks::PlayListView_DblClick(*d.w, djvp::kDeck1);
  EXPECT_EQ(d.List(1).SelectionCount(), 0);
  EXPECT_TRUE(Button(d, 7)->isEnabled());
  d.w->Decks.CrossfadeRunning = false;
  cmdPlayer_Transport(*d.w, 17);  // deck 2's list is empty
  for (int index : {-1, 20, 5, 16}) cmdPlayer_Transport(*d.w, index);
  for (djvp::clsBassPlayer* p : d.Players()) EXPECT_FALSE(p->IsPlaying());
  EXPECT_TRUE(Button(d, 17)->isEnabled());
}

TEST(Transport, PauseTogglesPlayerAFirstAndKeepsPlayDisabledThroughTheResume) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  DeckWorld::StartOn(d.P(1, 0), "tone440.ogg");
  DeckWorld::StartOn(d.P(1, 1), "tone660.ogg");
  cmdPlayer_Transport(*d.w, 8);
  EXPECT_TRUE(d.P(1, 0).IsPaused());
  EXPECT_TRUE(d.P(1, 1).IsPlaying());
  EXPECT_FALSE(Button(d, 7)->isEnabled());
  d.RenderSeconds(0.5);
  const double held = DeckWorld::Pos(d.P(1, 0));
  cmdPlayer_Transport(*d.w, 8);
  EXPECT_TRUE(d.P(1, 0).IsPlaying());
  EXPECT_TRUE(d.P(1, 1).IsPlaying());
  EXPECT_FALSE(Button(d, 7)->isEnabled());
  d.RenderSeconds(0.5);
  EXPECT_NEAR(DeckWorld::Pos(d.P(1, 0)), held + 0.5, 0.001);  // on from where it stood
}

TEST(Transport, PauseWithNothingPlayingDoesNothing) {
  DeckWorld d;
  d.Add(2, "tone440.ogg");
  Button(d, 17)->setEnabled(true);
  cmdPlayer_Transport(*d.w, 18);
  EXPECT_TRUE(Button(d, 17)->isEnabled());
  EXPECT_FALSE(d.P(2, 0).IsPaused());
}

TEST(Transport, StopEndsBothPlayersOfTheDeckAndResetsIt) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.Add(2, "tone440.ogg");
  cmdPlayer_Transport(*d.w, 7);
  d.Tick();
  DeckWorld::StartOn(d.P(1, 1), "tone660.ogg");
  DeckWorld::StartOn(d.P(2, 0), "tone550.ogg");
  d.P(1, 1).PausePlay();
  d.RenderSeconds(1);
  decks::tmrPlaying_ThatTime(*d.w);
  ASSERT_NE(d.w->cTime[0].text(), " 00:00.00");
  d.w->Decks.FadeActive[decks::k1A_1B] = true;
  d.w->Decks.FadeActive[decks::k1A_2A] = true;
  d.w->Decks.MasterBPM = 120;
  d.w->Decks.CrossfadeRunning = true;

  cmdPlayer_Transport(*d.w, 9);
  EXPECT_FALSE(d.P(1, 0).IsPlaying());
  EXPECT_FALSE(d.P(1, 1).IsPaused());
  EXPECT_TRUE(d.P(2, 0).IsPlaying());
  EXPECT_TRUE(Button(d, 7)->isEnabled());
  EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
  EXPECT_FALSE(d.w->Decks.FadeActive[decks::k1A_1B]);
  EXPECT_TRUE(d.w->Decks.FadeActive[decks::k1A_2A]);  // a transition into deck 2 stays
  EXPECT_EQ(d.w->Decks.MasterBPM, 0.0f);
  EXPECT_EQ(d.w->Volume1.value(), d.w->Slider1.value());  // where the crossfader puts deck 1
  EXPECT_EQ(d.w->Position1.value(), 0);
  EXPECT_EQ(d.w->cTime[0].text(), " 00:00.00");
  EXPECT_EQ(d.w->rTime[0].text(), " 00:00.00");
  EXPECT_EQ(d.w->tTime[0].text(), " 00:00");
  EXPECT_EQ(d.w->lblBPM[0].text(), "000.0");
  EXPECT_EQ(d.w->lblBPM[2].text(), "000.0");
  EXPECT_EQ(d.w->ScrollerText[0], QStringLiteral("dj VORLAN") + QString(10, QLatin1Char(' ')));
  EXPECT_EQ(d.w->ScrollerPos[0], 2);
  EXPECT_TRUE(d.w->ScrollerText[1].startsWith("dj VORLAN"));
}

// With Auto Mix off a start plays at the deck's volume slider and moves the
// crossfader to the deck; after a Stop the crossfader already stands there,
// so the next Play must find the deck's slider where the crossfader has it,
// not at the silence that the deck's reset leaves.
TEST(Transport, PlayAfterStopWithAutoMixOffIsAudibleAgain) {
  for (int deck : {1, 2}) {
    DeckWorld d;
    d.w->AutomixOn = false;
    d.Add(deck, "tone440.ogg");
    const int base = deck == 1 ? 0 : 10;
    cmdPlayer_Transport(*d.w, base + 7);
    ASSERT_EQ(d.P(deck, 0).volume(), 100) << deck;
    cmdPlayer_Transport(*d.w, base + 9);
    ASSERT_FALSE(d.P(deck, 0).IsPlaying());
    cmdPlayer_Transport(*d.w, base + 7);
    EXPECT_TRUE(d.P(deck, 0).IsPlaying()) << deck;
    EXPECT_EQ(d.P(deck, 0).volume(), 100) << deck;
    EXPECT_EQ(d.w->VolumeSlider(DeckNo(deck)).value(), 0) << deck;
  }
}

// With Auto Mix off nothing stops a song that has run out by itself: its
// player still counts as playing, and a start would fade in silently over
// it. Play (the button or a double click, on the deck of the song or on the
// other one) starts the selected row and it is heard, whether or not the
// playback timer has run since the song ran out.
TEST(Transport, AfterASongRanOutWithAutoMixOffPlayStartsTheSelectedRow) {
  double crossings = 0;
  auto heardHz = [&crossings](const std::vector<float>& stereo) {
    crossings = 0;
    for (size_t i = 2; i < stereo.size(); i += 2)
      if ((stereo[i - 2] < 0) != (stereo[i] < 0)) ++crossings;
    return crossings / 2.0 / (static_cast<double>(stereo.size()) / 2.0 / 44100.0);
  };
  struct Case {
    const char* name;
    int playDeck;   // the deck whose Play is used
    bool dblClick;  // a double click on the row instead of the button
    bool tick;      // the playback timer ran between the end and Play
  };
  const Case cases[] = {
      {"Play on the same deck after a timer run", 1, false, true},
      {"double click on the same deck before the timer ran", 1, true, false},
      {"Play on the other deck after a timer run", 2, false, true},
      {"double click on the other deck before the timer ran", 2, true, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    DeckWorld d;
    d.w->AutomixOn = false;
    d.Add(1, "tone440.ogg");
    d.Add(1, "tone660.ogg");
    d.Add(2, "tone550.ogg");
    cmdPlayer_Transport(*d.w, 7);
    ASSERT_TRUE(d.P(1, 0).IsPlaying());
    d.Tick();
    // The song runs out (5 s).
    for (int i = 0; i < 100; ++i) d.Tick();
    ASSERT_EQ(engine::IsActive(d.P(1, 0).STRM()), engine::kStopped);
    if (k.tick) {
      d.Tick();
      // The ended song leaves the deck at rest, as Stop would.
      EXPECT_FALSE(d.P(1, 0).IsPlaying());
      EXPECT_TRUE(Button(d, 7)->isEnabled());
      EXPECT_EQ(d.w->cTime[0].text(), " 00:00.00");
    }

    const int deck = k.playDeck;
    d.List(deck).SetCurrentRow(deck == 1 ? 2 : 1);
    if (k.dblClick) {
      decks::PlayListView_DblClick(*d.w, DeckNo(deck));
    } else {
      ASSERT_TRUE(Button(d, deck == 1 ? 7 : 17)->isEnabled());
      cmdPlayer_Transport(*d.w, deck == 1 ? 7 : 17);
    }
    djvp::clsBassPlayer& a = d.P(deck, 0);
    EXPECT_TRUE(a.IsPlaying());
    EXPECT_EQ(a.filename(), Fixture(deck == 1 ? "tone660.ogg" : "tone550.ogg"));
    EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
    EXPECT_FALSE(d.w->Decks.AnyTransition());
    for (djvp::clsBassPlayer* p : d.Players()) EXPECT_EQ(p->IsPlaying(), p == &a);
    EXPECT_EQ(a.volume(), 100);
    // Heard, and the display follows it.
    d.Tick();
    const std::vector<float> out = d.Tick();
    EXPECT_NEAR(heardHz(out), deck == 1 ? 660 : 550, 20);
    EXPECT_EQ(d.w->cTime[static_cast<size_t>(deck - 1)].text().left(6), " 00:00");
    EXPECT_NE(d.w->cTime[static_cast<size_t>(deck - 1)].text(), " 00:00.00");
  }
}

TEST(Transport, StopWorksAlsoWhenThePlaylistWasClearedMeanwhile) {
  DeckWorld d;
  DeckWorld::StartOn(d.P(2, 1), "tone440.ogg");
  Button(d, 17)->setEnabled(false);
  cmdPlayer_Transport(*d.w, 19);
  EXPECT_FALSE(d.P(2, 1).IsPlaying());
  EXPECT_TRUE(Button(d, 17)->isEnabled());
}

TEST(Transport, StopWithNothingPlayingOnlyEnablesPlay) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.w->Volume1.setValue(40);
  Button(d, 7)->setEnabled(false);
  cmdPlayer_Transport(*d.w, 9);
  EXPECT_TRUE(Button(d, 7)->isEnabled());
  EXPECT_EQ(d.w->Volume1.value(), 40);  // no reset without a stopped player
}

TEST(DeckReset, MovesTheSlidersWithoutTouchingAnyPlayer) {
  DeckWorld d;
  DeckWorld::StartOn(d.P(2, 0), "tone440.ogg");
  d.RenderSeconds(1.0);
  d.w->Position2.setMaximum(5);
  d.w->Volume2.setValue(0);
  decks::ResetDeck(*d.w, djvp::kDeck2);
  EXPECT_EQ(d.P(2, 0).volume(), 100);       // the volume handler ignored the move
  EXPECT_NEAR(DeckWorld::Pos(d.P(2, 0)), 1.0, 0.001);  // and no seek to 0
  EXPECT_EQ(d.w->Volume2.value(), 100);
  EXPECT_EQ(d.w->Position2.value(), 0);
  EXPECT_FALSE(d.w->Volume2.Blocked());
  EXPECT_TRUE(d.P(2, 0).IsPlaying());
}

}  // namespace

TEST(DeckReset, DarkensTheDecksMeterAndBothMasterMetersOnly) {
  DeckWorld d;
  for (djvp::ui::LedMeter* m : {&d.w->pctVolume1, &d.w->pctVolume2, &d.w->pctVolumeLeft, &d.w->pctVolumeRight})
    m->setLit(10);
  decks::ResetDeck(*d.w, djvp::kDeck1);
  EXPECT_EQ(d.w->pctVolume1.lit(), 0);
  EXPECT_EQ(d.w->pctVolumeLeft.lit(), 0);
  EXPECT_EQ(d.w->pctVolumeRight.lit(), 0);
  EXPECT_EQ(d.w->pctVolume2.lit(), 10);
  decks::ResetDeck(*d.w, djvp::kDeck2);
  EXPECT_EQ(d.w->pctVolume2.lit(), 0);
}

// A deck's Stop resets that deck's displays alone: the other deck plays on
// and keeps every display, its fades into it included.
TEST(Transport, StopResetsTheStoppedDecksDisplaysAndLeavesTheOtherDecksAlone) {
  DeckWorld d;
  djvp::MainState& w = *d.w;
  d.w->AutomixOn = false;
  d.Add(1, "tone440.ogg", "120.0");
  d.Add(2, "tone550.ogg", "128.0");
  cmdPlayer_Transport(w, 7);
  d.Tick();
  cmdPlayer_Transport(w, 17);
  for (int i = 0; i < 20; ++i) d.Tick();
  decks::tmrdB1_ThatTime(w);
  decks::tmrdB2_ThatTime(w);
  w.lblBPM[2].setText(QStringLiteral("120.5"));
  w.lblBPM[3].setText(QStringLiteral("128.5"));
  w.Decks.FadeActive[decks::k1A_1B] = true;  // a fade into deck 1
  w.Decks.FadeActive[decks::k1A_2B] = true;  // a fade into deck 2

  struct Displays {
    QString elapsed, remaining, length, rowBpm, tempoBpm, title;
    int position, lit;
    bool fadeInto;
  };
  auto displays = [&w](djvp::DeckId id) {
    const djvp::Deck deck(w, id);
    return Displays{deck.Elapsed().text(), deck.Remaining().text(), deck.Length().text(),
                    deck.RowBpm().text(),  deck.TempoBpm().text(),  deck.ScrollerText(),
                    deck.Position().value(), deck.Meter().lit(),
                    w.Decks.FadeActive[id.IsFirst() ? decks::k1A_1B : decks::k1A_2B]};
  };
  const Displays deck1 = displays(djvp::kDeck1);
  for (const Displays& shown : {deck1, displays(djvp::kDeck2)}) {
    ASSERT_NE(shown.elapsed, " 00:00.00");
    ASSERT_NE(shown.rowBpm, "000.0");
    ASSERT_NE(shown.tempoBpm, "000.0");
    ASSERT_FALSE(shown.title.startsWith("dj VORLAN"));
    ASSERT_GT(shown.lit, 0);
  }

  cmdPlayer_Transport(w, 19);  // deck 2's Stop
  ASSERT_FALSE(d.P(2, 0).IsPlaying());
  ASSERT_TRUE(d.P(1, 0).IsPlaying());
  const Displays stopped = displays(djvp::kDeck2);
  EXPECT_EQ(stopped.elapsed, " 00:00.00");
  EXPECT_EQ(stopped.remaining, " 00:00.00");
  EXPECT_EQ(stopped.length, " 00:00");
  EXPECT_EQ(stopped.rowBpm, "000.0");
  EXPECT_EQ(stopped.tempoBpm, "000.0");
  EXPECT_TRUE(stopped.title.startsWith("dj VORLAN"));
  EXPECT_EQ(stopped.position, 0);
  EXPECT_EQ(stopped.lit, 0);
  EXPECT_FALSE(stopped.fadeInto);
  const Displays kept = displays(djvp::kDeck1);
  EXPECT_EQ(kept.elapsed, deck1.elapsed);
  EXPECT_EQ(kept.remaining, deck1.remaining);
  EXPECT_EQ(kept.length, deck1.length);
  EXPECT_EQ(kept.rowBpm, deck1.rowBpm);
  EXPECT_EQ(kept.tempoBpm, deck1.tempoBpm);
  EXPECT_EQ(kept.title, deck1.title);
  EXPECT_EQ(kept.position, deck1.position);
  EXPECT_EQ(kept.lit, deck1.lit);
  EXPECT_TRUE(kept.fadeInto);
}
