// Play, Pause and Stop of both decks, the double click on a playlist, and the
// deck reset that Stop relies on.
#include "DeckTestEnv.h"
#include "decks/DeckReset.h"
#include "decks/Transport.h"

#include <QLabel>
#include <QPushButton>

namespace {

using decks::cmdPlayer_Transport;

QPushButton* Button(DeckWorld& d, int index) { return d.w->cmdPlayer[static_cast<size_t>(index)]; }

TEST(Transport, PlayWithoutSelectionStartsRowOneAndSwapsTheButtons) {
  for (int deck : {1, 2}) {
    DeckWorld d;
    d.Add(deck, "tone440.ogg");
    d.Add(deck, "tone660.ogg");
    const int base = deck == 1 ? 0 : 10;
    Button(d, base + 8)->setEnabled(false);
    cmdPlayer_Transport(*d.w, base + 7);
    EXPECT_EQ(decks::SelectedRow(d.List(deck)), 1);
    EXPECT_TRUE(DeckWorld::P(deck, 0).IsPlaying());
    EXPECT_EQ(DeckWorld::P(deck, 0).filename(), Fixture("tone440.ogg"));
    EXPECT_FALSE(Button(d, base + 7)->isEnabled());
    EXPECT_TRUE(Button(d, base + 8)->isEnabled());
  }
}

TEST(Transport, PlayStartsTheSelectedRowAndADoubleClickDoesTheSame) {
  DeckWorld d;
  d.Add(2, "tone440.ogg");
  d.Add(2, "tone660.ogg");
  d.List(2).SetCurrentRow(2);
  decks::PlayListView_DblClick(*d.w, 1);
  EXPECT_EQ(DeckWorld::P(2, 0).filename(), Fixture("tone660.ogg"));
  EXPECT_FALSE(Button(d, 17)->isEnabled());
}

TEST(Transport, PlayIsRefusedDuringACrossfadeOnAnEmptyListAndFromTheScratchGrid) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.w->PlayListView[2]->AddRow();
  djvp::CrossfadeRunning = true;
  cmdPlayer_Transport(*d.w, 7);
  decks::PlayListView_DblClick(*d.w, 0);
  EXPECT_EQ(d.List(1).SelectionCount(), 0);
  EXPECT_TRUE(Button(d, 7)->isEnabled());
  djvp::CrossfadeRunning = false;
  cmdPlayer_Transport(*d.w, 17);  // deck 2's list is empty
  decks::PlayListView_DblClick(*d.w, 2);
  for (int index : {-1, 20, 5, 16}) cmdPlayer_Transport(*d.w, index);
  for (djvp::clsBassPlayer* p : DeckWorld::Players()) EXPECT_FALSE(p->IsPlaying());
  EXPECT_TRUE(Button(d, 17)->isEnabled());
}

TEST(Transport, PauseTogglesPlayerAFirstAndKeepsPlayDisabledThroughTheResume) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  DeckWorld::StartOn(DeckWorld::P(1, 0), "tone440.ogg");
  DeckWorld::StartOn(DeckWorld::P(1, 1), "tone660.ogg");
  cmdPlayer_Transport(*d.w, 8);
  EXPECT_TRUE(DeckWorld::P(1, 0).IsPaused());
  EXPECT_TRUE(DeckWorld::P(1, 1).IsPlaying());
  EXPECT_FALSE(Button(d, 7)->isEnabled());
  d.RenderSeconds(0.5);
  const double held = DeckWorld::Pos(DeckWorld::P(1, 0));
  cmdPlayer_Transport(*d.w, 8);
  EXPECT_TRUE(DeckWorld::P(1, 0).IsPlaying());
  EXPECT_TRUE(DeckWorld::P(1, 1).IsPlaying());
  EXPECT_FALSE(Button(d, 7)->isEnabled());
  d.RenderSeconds(0.5);
  EXPECT_NEAR(DeckWorld::Pos(DeckWorld::P(1, 0)), held + 0.5, 0.001);  // on from where it stood
}

TEST(Transport, PauseWithNothingPlayingDoesNothing) {
  DeckWorld d;
  d.Add(2, "tone440.ogg");
  Button(d, 17)->setEnabled(true);
  cmdPlayer_Transport(*d.w, 18);
  EXPECT_TRUE(Button(d, 17)->isEnabled());
  EXPECT_FALSE(DeckWorld::P(2, 0).IsPaused());
}

TEST(Transport, StopEndsBothPlayersOfTheDeckAndResetsIt) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.Add(2, "tone440.ogg");
  cmdPlayer_Transport(*d.w, 7);
  d.Tick();
  DeckWorld::StartOn(DeckWorld::P(1, 1), "tone660.ogg");
  DeckWorld::StartOn(DeckWorld::P(2, 0), "tone550.ogg");
  DeckWorld::P(1, 1).PausePlay();
  d.RenderSeconds(1);
  d.w->tmrPlaying_ThatTime();
  ASSERT_NE(d.w->cTime[0]->text(), " 00:00.00");
  d.w->Decks.FadeActive[decks::k1A_1B] = true;
  d.w->Decks.FadeActive[decks::k1A_2A] = true;
  d.w->Decks.MasterBPM = 120;
  djvp::CrossfadeRunning = true;

  cmdPlayer_Transport(*d.w, 9);
  EXPECT_FALSE(DeckWorld::P(1, 0).IsPlaying());
  EXPECT_FALSE(DeckWorld::P(1, 1).IsPaused());
  EXPECT_TRUE(DeckWorld::P(2, 0).IsPlaying());
  EXPECT_TRUE(Button(d, 7)->isEnabled());
  EXPECT_FALSE(djvp::CrossfadeRunning);
  EXPECT_FALSE(d.w->Decks.FadeActive[decks::k1A_1B]);
  EXPECT_TRUE(d.w->Decks.FadeActive[decks::k1A_2A]);  // a transition into deck 2 stays
  EXPECT_EQ(d.w->Decks.MasterBPM, 0.0f);
  EXPECT_EQ(d.w->Volume1->value(), 100);
  EXPECT_EQ(d.w->Position1->value(), 0);
  EXPECT_EQ(d.w->cTime[0]->text(), " 00:00.00");
  EXPECT_EQ(d.w->rTime[0]->text(), " 00:00.00");
  EXPECT_EQ(d.w->tTime[0]->text(), " 00:00");
  EXPECT_EQ(d.w->lblBPM[0]->text(), "000.0");
  EXPECT_EQ(d.w->lblBPM[2]->text(), "000.0");
  EXPECT_EQ(d.w->ScrollerText1, QStringLiteral("dj VORLAN") + QString(10, QLatin1Char(' ')));
  EXPECT_EQ(d.w->ScrollerPos1, 2);
  EXPECT_TRUE(d.w->ScrollerText2.startsWith("dj VORLAN"));
}

TEST(Transport, StopWorksAlsoWhenThePlaylistWasClearedMeanwhile) {
  DeckWorld d;
  DeckWorld::StartOn(DeckWorld::P(2, 1), "tone440.ogg");
  Button(d, 17)->setEnabled(false);
  cmdPlayer_Transport(*d.w, 19);
  EXPECT_FALSE(DeckWorld::P(2, 1).IsPlaying());
  EXPECT_TRUE(Button(d, 17)->isEnabled());
}

TEST(Transport, StopWithNothingPlayingOnlyEnablesPlay) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.w->Volume1->setValue(40);
  Button(d, 7)->setEnabled(false);
  cmdPlayer_Transport(*d.w, 9);
  EXPECT_TRUE(Button(d, 7)->isEnabled());
  EXPECT_EQ(d.w->Volume1->value(), 40);  // no reset without a stopped player
}

TEST(DeckReset, MovesTheSlidersWithoutTouchingAnyPlayer) {
  DeckWorld d;
  DeckWorld::StartOn(DeckWorld::P(2, 0), "tone440.ogg");
  d.RenderSeconds(1.0);
  d.w->Position2->setMaximum(5);
  d.w->Volume2->setValue(0);
  djvp::SuppressSliderEvents = false;
  decks::ResetDeck2(*d.w);
  EXPECT_EQ(DeckWorld::P(2, 0).volume(), 100);       // the volume handler ignored the move
  EXPECT_NEAR(DeckWorld::Pos(DeckWorld::P(2, 0)), 1.0, 0.001);  // and no seek to 0
  EXPECT_EQ(d.w->Volume2->value(), 100);
  EXPECT_EQ(d.w->Position2->value(), 0);
  EXPECT_FALSE(djvp::SuppressSliderEvents);
  EXPECT_TRUE(DeckWorld::P(2, 0).IsPlaying());
}

}  // namespace

namespace {

// Lights every meter on the screen layer, as a meter tick does.
void LightUp(djvp::LcdPanel* meter) {
  meter->SetAutoRedraw(false);
  meter->Canvas().fill(Qt::white);
}

bool ShowsItsDarkPicture(djvp::LcdPanel* meter, const djvp::MeterLeds& leds) {
  const QImage shown = meter->Shown();
  const QImage& stored = meter->StoredImage();
  for (int top : leds.top) {
    const QPoint p(leds.x + leds.cell.width() / 2, top + leds.cell.height() / 2);
    if (shown.pixel(p) != stored.pixel(p)) return false;
  }
  return true;
}

TEST(DeckReset, DarkensTheDecksMeterAndBothMasterMetersOnly) {
  DeckWorld d;
  for (djvp::LcdPanel* m : {d.w->pctVolume1, d.w->pctVolume2, d.w->pctVolumeLeft, d.w->pctVolumeRight}) LightUp(m);
  decks::ResetDeck1(*d.w);
  EXPECT_TRUE(ShowsItsDarkPicture(d.w->pctVolume1, d.w->DeckLeds));
  EXPECT_TRUE(ShowsItsDarkPicture(d.w->pctVolumeLeft, d.w->MasterLeds));
  EXPECT_TRUE(ShowsItsDarkPicture(d.w->pctVolumeRight, d.w->MasterLeds));
  EXPECT_FALSE(ShowsItsDarkPicture(d.w->pctVolume2, d.w->DeckLeds));
  // The stored pictures stay as they were: the reset draws on the screen only.
  const QImage before = d.w->pctVolume2->StoredImage();
  decks::ResetDeck2(*d.w);
  EXPECT_TRUE(ShowsItsDarkPicture(d.w->pctVolume2, d.w->DeckLeds));
  EXPECT_EQ(d.w->pctVolume2->StoredImage(), before);
}

}  // namespace
