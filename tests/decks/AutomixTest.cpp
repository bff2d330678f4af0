// Automatic mixing: the next-row trigger and the crossfade ramps that the
// playback timer runs, tick by tick on the manual clock.
#include "DeckTestEnv.h"
#include "tests/support/DeckNumber.h"
#include "decks/StartRoutine.h"
#include "decks/Transport.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

using decks::DeckState;

// What one timer run left behind for a transition from `out` to `in`.
struct Sample {
  double outPos, inPos;
  int outVolume, inVolume;
  bool outPlaying;
  int volume1, volume2;
};

Sample Look(DeckWorld& d, const djvp::clsBassPlayer& out, const djvp::clsBassPlayer& in) {
  return {DeckWorld::Pos(out), DeckWorld::Pos(in), out.volume(), in.volume(), out.IsPlaying(),
          d.w->Volume1.value(), d.w->Volume2.value()};
}

// Runs ticks while the crossfade runs (at most `limit`), sampling after each.
std::vector<Sample> RunCrossfade(DeckWorld& d, const djvp::clsBassPlayer& out, const djvp::clsBassPlayer& in,
                                 int limit = 200) {
  std::vector<Sample> samples;
  for (int n = 0; n < limit && d.w->Decks.AnyTransition(); ++n) {
    d.Tick();
    samples.push_back(Look(d, out, in));
  }
  return samples;
}

// Plays row 1 of deck 1 and runs the timer until the next row has started.
void PlayUntilTheNextRowStarts(DeckWorld& d) {
  d.List(1).SetCurrentRow(1);
  decks::cmdPlayer_Transport(*d.w, 7);
  for (int n = 0; n < 200 && !d.w->Decks.AutomixTransition; ++n) d.Tick();
}

TEST(Automix, NextRowStartsInTheFirstRunPastTheMixTimeBeforeTheEnd) {
  for (int16_t mixTime : {1, 2, 4}) {
    for (int deck : {1, 2}) {
      DeckWorld d;
      d.w->MixTime = mixTime;
      d.Add(deck, "tone440.ogg");
      d.Add(deck, "tone660.ogg");
      d.List(deck).SetCurrentRow(1);
      decks::PlayDeck(*d.w, DeckNo(deck));
      djvp::clsBassPlayer& b = d.P(deck, 1);
      const double mixStart = 5.0 - mixTime;
      d.RenderSeconds(mixStart - 0.02);
      decks::tmrPlaying_ThatTime(*d.w);
      d.RenderSeconds(0.02);  // exactly at the mix start: not yet past it
      decks::tmrPlaying_ThatTime(*d.w);
      EXPECT_FALSE(b.IsPlaying()) << mixTime << " deck " << deck;
      EXPECT_FALSE(d.w->Decks.AutomixTransition);
      EXPECT_EQ(djvp::ui::SelectedRow(d.List(deck)), 1);
      d.RenderSeconds(0.01);
      decks::tmrPlaying_ThatTime(*d.w);
      EXPECT_TRUE(b.IsPlaying()) << mixTime << " deck " << deck;
      EXPECT_EQ(b.filename(), Fixture("tone660.ogg"));
      EXPECT_EQ(b.volume(), 0);
      EXPECT_EQ(djvp::ui::SelectedRow(d.List(deck)), 2);
      EXPECT_TRUE(d.w->Decks.AutomixTransition);
      EXPECT_TRUE(d.w->Decks.FadeActive[deck == 1 ? decks::k1A_1B : decks::k2A_2B]);
    }
  }
}

TEST(Automix, TheLastRowFiresOnceStartsNothingAndEndsWithItsSong) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.Add(2, "tone660.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  d.RenderSeconds(3.5);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_TRUE(d.w->Decks.AutomixTransition);
  EXPECT_FALSE(d.P(1, 1).IsPlaying());
  // Deck 2's song, started by hand and already near its end, gets no next
  // row while the trigger waits.
  DeckWorld::StartOn(d.P(2, 0), "tone660.ogg");
  d.RenderSeconds(1.0);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_EQ(djvp::ui::SelectedRow(d.List(2)), 0);
  // Deck 1's song runs out and is stopped, its deck reset.
  d.RenderSeconds(0.6);
  decks::tmrPlaying_ThatTime(*d.w);
  EXPECT_FALSE(d.P(1, 0).IsPlaying());
  EXPECT_EQ(d.w->ScrollerText[0], QStringLiteral("dj VORLAN") + QString(10, QLatin1Char(' ')));
}

struct CurveCase {
  const char* name;
  int16_t leftU, leftD, rightU, rightD;
};

void PrintTo(const CurveCase& c, std::ostream* os) { *os << c.name; }

class CurvePresets : public ::testing::TestWithParam<CurveCase> {};

// Every sloped preset: the outgoing song falls with its position and stops
// near the fade-out's end, the incoming one rises linearly and is at full
// volume from 80 % of its fade-in on; at the end the outgoing player is
// stopped and every switch is clear.
TEST_P(CurvePresets, RampsFollowTheCurveAndTheCrossfadeEndsCleanly) {
  const CurveCase& c = GetParam();
  DeckWorld d;
  d.Curve(c.leftU, c.leftD, c.rightU, c.rightD);
  d.Add(1, "tone440.ogg");
  d.Add(1, "tone660.ogg");
  PlayUntilTheNextRowStarts(d);
  djvp::clsBassPlayer& out = d.P(1, 0);
  djvp::clsBassPlayer& in = d.P(1, 1);
  ASSERT_TRUE(d.w->Decks.FadeActive[decks::k1A_1B]);
  const double fadeOut = d.w->MixTime * d.w->Decks.FadeOutPercent / 100.0;  // seconds
  const double fadeIn = d.w->MixTime * d.w->Decks.FadeInPercent / 100.0;
  const double fadeOutEnd = d.w->Decks.FadeOutEndMs[decks::k1A_1B] / 1000.0;
  const bool outFlat = c.leftU == c.leftD;
  const std::vector<Sample> s = RunCrossfade(d, out, in);
  ASSERT_FALSE(s.empty());

  double stoppedAt = -1;
  for (size_t n = 0; n < s.size(); ++n) {
    if (n > 0) {
      EXPECT_GE(s[n].inVolume, s[n - 1].inVolume) << n;
      if (s[n].outPlaying) { EXPECT_LE(s[n].outVolume, s[n - 1].outVolume) << n; }
    }
    if (s[n].outPlaying) {
      const double expected = outFlat ? 100.0 : std::floor(100.0 / fadeOut * (fadeOutEnd - s[n].outPos));
      EXPECT_NEAR(s[n].outVolume, std::clamp(expected, 0.0, 100.0), 1.0) << n;
    } else if (stoppedAt < 0) {
      stoppedAt = s[n - 1].outPos + 0.055;
    }
    const double rise = 100.0 / fadeIn * s[n].inPos;
    if (s[n].inPos < fadeIn && rise < 80) { EXPECT_NEAR(s[n].inVolume, rise, 1.0) << n; }
    if (rise >= 80) { EXPECT_EQ(s[n].inVolume, 100) << n; }
  }
  // The outgoing player stops when less than 2 % of its fade is left.
  EXPECT_NEAR(stoppedAt, fadeOutEnd - 0.02 * fadeOut, 0.06);
  EXPECT_FALSE(out.IsPlaying());
  EXPECT_TRUE(in.IsPlaying());
  EXPECT_EQ(in.volume(), 100);
  EXPECT_EQ(d.w->Volume1.value(), 0);
  EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
  EXPECT_FALSE(d.w->Decks.AutomixTransition);
  EXPECT_FALSE(d.w->Decks.AnyTransition());
}

INSTANTIATE_TEST_SUITE_P(Presets, CurvePresets,
                         ::testing::Values(CurveCase{"Short", 75, 100, 25, 0}, CurveCase{"Long", 10, 100, 90, 0},
                                           CurveCase{"Middle", 25, 100, 75, 0},
                                           CurveCase{"OutDropsAtHalf", 50, 50, 90, 0},
                                           CurveCase{"InComesAtHalf", 10, 100, 50, 50}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Automix, AFadeOutShorterThanTheFadeInStillBringsTheNewSongToFullVolume) {
  DeckWorld d;
  d.Curve(50, 50, 90, 0);  // out ends at 50 %, in rises to 90 %
  d.Add(1, "tone440.ogg");
  d.Add(1, "tone660.ogg");
  PlayUntilTheNextRowStarts(d);
  djvp::clsBassPlayer& out = d.P(1, 0);
  djvp::clsBassPlayer& in = d.P(1, 1);
  // Run until the outgoing song is stopped: the new one is only about half up.
  for (int n = 0; n < 100 && out.IsPlaying(); ++n) d.Tick();
  ASSERT_FALSE(out.IsPlaying());
  EXPECT_LT(in.volume(), 80);
  EXPECT_TRUE(d.w->Decks.CrossfadeRunning);  // starts stay refused until it is in
  const std::vector<Sample> s = RunCrossfade(d, out, in);
  EXPECT_EQ(in.volume(), 100);
  EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
  EXPECT_FALSE(d.w->Decks.AutomixTransition);
}

TEST(Automix, FlatCurvesAndFadesOfNoLengthCutOverAtOnce) {
  struct {
    const char* name;
    int16_t mixTime, leftU, leftD, rightU, rightD;
  } const cases[] = {{"all at 50", 2, 50, 50, 50, 50}, {"mix time 0", 0, 10, 100, 90, 0}};
  for (const auto& c : cases) {
    DeckWorld d;
    d.w->MixTime = c.mixTime;
    d.Curve(c.leftU, c.leftD, c.rightU, c.rightD);
    d.Add(1, "tone440.ogg");
    d.Add(1, "tone660.ogg");
    PlayUntilTheNextRowStarts(d);
    djvp::clsBassPlayer& out = d.P(1, 0);
    djvp::clsBassPlayer& in = d.P(1, 1);
    ASSERT_TRUE(in.IsPlaying()) << c.name;
    d.Tick();
    EXPECT_FALSE(out.IsPlaying()) << c.name;
    EXPECT_EQ(in.volume(), 100) << c.name;
    EXPECT_EQ(d.w->Volume1.value(), 0) << c.name;
    EXPECT_FALSE(d.w->Decks.CrossfadeRunning) << c.name;
    EXPECT_FALSE(d.w->Decks.AutomixTransition) << c.name;
    EXPECT_FALSE(d.w->Decks.AnyTransition()) << c.name;
  }
}

TEST(Automix, ACurveDraggedPastItselfEndsTheOutgoingSongAtOnceAndStillFadesIn) {
  DeckWorld d;
  d.Curve(60, 40, 90, 0);  // fade-out of -20 %
  d.Add(1, "tone440.ogg");
  d.Add(1, "tone660.ogg");
  PlayUntilTheNextRowStarts(d);
  ASSERT_EQ(d.w->Decks.FadeOutPercent, -20);
  d.Tick();
  EXPECT_FALSE(d.P(1, 0).IsPlaying());
  const std::vector<Sample> s = RunCrossfade(d, d.P(1, 0), d.P(1, 1));
  EXPECT_GT(s.size(), 10u);  // the fade-in took its time
  EXPECT_EQ(d.P(1, 1).volume(), 100);
  EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
}

TEST(Automix, ACrossDeckCrossfadeMovesBothDecksSlidersAndResetsTheOutgoingDeck) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.Add(2, "tone660.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  d.Tick();
  decks::cmdPlayer_Transport(*d.w, 17);  // Play on deck 2 while deck 1 plays
  djvp::clsBassPlayer& out = d.P(1, 0);
  djvp::clsBassPlayer& in = d.P(2, 0);
  ASSERT_TRUE(d.w->Decks.FadeActive[decks::k1A_2A]);
  const std::vector<Sample> s = RunCrossfade(d, out, in);
  bool bothMoving = false;
  for (const Sample& x : s) {
    if (!x.outPlaying) break;
    EXPECT_EQ(x.volume1, std::abs(x.outVolume - 100));
    if (x.inVolume < 80) { EXPECT_NEAR(x.volume2, 100 - x.inVolume, 1); }
    bothMoving = bothMoving || (x.volume1 > 10 && x.volume1 < 90 && x.volume2 > 10 && x.volume2 < 90);
  }
  EXPECT_TRUE(bothMoving);
  EXPECT_FALSE(out.IsPlaying());
  EXPECT_EQ(in.volume(), 100);
  EXPECT_EQ(d.w->Volume1.value(), 100);
  EXPECT_EQ(d.w->Volume2.value(), 0);
  EXPECT_TRUE(d.w->cmdPlayer[7].isEnabled());  // deck 1 was reset
  EXPECT_EQ(d.w->ScrollerText[0], QStringLiteral("dj VORLAN") + QString(10, QLatin1Char(' ')));
  EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
}

TEST(Automix, AutoMixOffOrPreListenFreezesACrossfadeWhichResumesFromThePositions) {
  for (bool preListen : {false, true}) {
    DeckWorld d;
    d.Add(1, "tone440.ogg");
    d.Add(1, "tone660.ogg");
    PlayUntilTheNextRowStarts(d);
    djvp::clsBassPlayer& out = d.P(1, 0);
    djvp::clsBassPlayer& in = d.P(1, 1);
    for (int n = 0; n < 8; ++n) d.Tick();
    const Sample before = Look(d, out, in);
    ASSERT_GT(before.inVolume, 0);
    ASSERT_LT(before.outVolume, 100);
    if (preListen) d.w->PreListenOn = true; else d.w->AutomixOn = false;
    for (int n = 0; n < 4; ++n) d.Tick();
    const Sample frozen = Look(d, out, in);
    EXPECT_EQ(frozen.inVolume, before.inVolume);
    EXPECT_EQ(frozen.outVolume, before.outVolume);
    EXPECT_TRUE(d.w->Decks.CrossfadeRunning);
    d.w->PreListenOn = false;
    d.w->AutomixOn = true;
    d.Tick();
    const Sample resumed = Look(d, out, in);
    EXPECT_NEAR(resumed.inVolume, 100.0 / 1.8 * resumed.inPos, 1.0);  // from where it now stands
    RunCrossfade(d, out, in);
    EXPECT_FALSE(out.IsPlaying());
    EXPECT_EQ(in.volume(), 100);
  }
}

TEST(Automix, ACrossfadeStartedByHandKeepsTheTriggerFromSkippingARow) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.Add(1, "tone660.ogg");
  d.Add(1, "tone550.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  d.RenderSeconds(2.9);
  decks::tmrPlaying_ThatTime(*d.w);
  // The user starts row 2 by hand just before the mix time.
  d.List(1).SetCurrentRow(2);
  decks::PlayListView_DblClick(*d.w, djvp::kDeck1);
  ASSERT_TRUE(d.w->Decks.FadeActive[decks::k1A_1B]);
  // Row 1 passes its mix time meanwhile; row 3 must wait for row 2's end.
  RunCrossfade(d, d.P(1, 0), d.P(1, 1));
  EXPECT_EQ(djvp::ui::SelectedRow(d.List(1)), 2);
  EXPECT_FALSE(d.w->Decks.AutomixTransition);
  EXPECT_EQ(d.P(1, 1).filename(), Fixture("tone660.ogg"));
  // Row 2's own mix time brings row 3.
  for (int n = 0; n < 100 && djvp::ui::SelectedRow(d.List(1)) == 2; ++n) d.Tick();
  EXPECT_EQ(djvp::ui::SelectedRow(d.List(1)), 3);
  EXPECT_EQ(d.P(1, 0).filename(), Fixture("tone550.ogg"));
}

TEST(Automix, ASongThatRunsOutDuringItsFadeLeavesTheDeckPlayingTheNewOne) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  d.RenderSeconds(4.2);
  decks::tmrPlaying_ThatTime(*d.w);  // the trigger found no next row
  ASSERT_TRUE(d.w->Decks.AutomixTransition);
  // A row added and started by hand so late that row 1 ends before its
  // fade-out would.
  d.Add(1, "tone660.ogg");
  d.List(1).SetCurrentRow(2);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  ASSERT_TRUE(d.w->Decks.FadeActive[decks::k1A_1B]);
  for (int n = 0; n < 200 && d.P(1, 0).IsPlaying(); ++n) d.Tick();
  EXPECT_FALSE(d.P(1, 0).IsPlaying());
  EXPECT_TRUE(d.P(1, 1).IsPlaying());
  EXPECT_TRUE(d.w->Decks.FadeActive[decks::k1A_1B]);  // the deck was not reset
  EXPECT_LT(d.P(1, 1).volume(), 100);
  RunCrossfade(d, d.P(1, 0), d.P(1, 1));
  EXPECT_EQ(d.P(1, 1).volume(), 100);
  EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
  EXPECT_FALSE(d.w->Decks.AutomixTransition);
}

TEST(Automix, ACrossfadeWhoseOutgoingDeckWasStoppedEndsOnceTheNewSongIsIn) {
  DeckWorld d;
  d.w->MixTime = 1;
  d.Add(1, "tone440.ogg");
  d.Add(2, "tone660.ogg");
  d.Add(2, "tone550.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  d.Tick();
  decks::cmdPlayer_Transport(*d.w, 17);
  ASSERT_TRUE(d.w->Decks.FadeActive[decks::k1A_2A]);
  d.w->AutomixOn = false;  // the ramps wait ...
  d.RenderSeconds(1.5);   // ... while the new song passes its fade-in
  decks::cmdPlayer_Transport(*d.w, 9);  // and deck 1 is stopped by hand
  ASSERT_TRUE(d.w->Decks.FadeActive[decks::k1A_2A]);
  d.w->AutomixOn = true;
  d.Tick();
  EXPECT_FALSE(d.w->Decks.AnyTransition());
  EXPECT_EQ(d.P(2, 0).volume(), 100);
  EXPECT_FALSE(d.w->Decks.AutomixTransition);
  // Automatic mixing goes on: deck 2's next row follows its song.
  for (int n = 0; n < 100 && !d.P(2, 1).IsPlaying(); ++n) d.Tick();
  EXPECT_EQ(d.P(2, 1).filename(), Fixture("tone550.ogg"));
}

TEST(Automix, ASongStartedAtItsStartMixPointFadesInFromSilence) {
  DeckWorld d;
  d.w->UseMixPoints = true;
  d.Add(1, "tone440.ogg");
  d.Add(1, "tone660.ogg", {}, QStringLiteral("01.50 sec"));
  PlayUntilTheNextRowStarts(d);
  djvp::clsBassPlayer& in = d.P(1, 1);
  ASSERT_NEAR(DeckWorld::Pos(in), 1.5, 0.001);
  const std::vector<Sample> s = RunCrossfade(d, d.P(1, 0), in);
  ASSERT_GT(s.size(), 20u);
  EXPECT_LE(s[0].inVolume, 5);  // not 1.5 s into its ramp
  for (const Sample& x : s) {
    const double rise = 100.0 / 1.8 * (x.inPos - 1.5);
    if (rise < 80) { EXPECT_NEAR(x.inVolume, rise, 1.0); }
  }
  EXPECT_EQ(in.volume(), 100);
}

}  // namespace

// Rows whose song cannot play (a missing file, a file of no bytes, a FIFO
// named like a song) are passed over while Auto Mix is on: the deck goes on
// with the next row that plays, and the user is told once, in a notice that
// does not stop the mix, which files and why.
class BrokenRows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TempDir::Write(empty, std::string());
  }
  // The notice's lines after its heading.
  static QStringList Named(const QString& notice) { return notice.split(QLatin1Char('\n')).mid(1); }

  TempDir dir;
  const std::string missing = dir.file("missing.ogg");
  const std::string empty = dir.file("empty.ogg");
  const std::string fifo = dir.file("fifo.ogg");
  const QString gone = QString::fromLocal8Bit(std::strerror(ENOENT));
};

TEST_F(BrokenRows, TheNextRowStepPassesOverThemToTheNextSongThatPlays) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  for (const std::string& broken : {missing, empty, fifo}) d.Add(1, broken.c_str());
  d.Add(1, "tone660.ogg");
  PlayUntilTheNextRowStarts(d);
  djvp::clsBassPlayer& b = d.P(1, 1);
  EXPECT_TRUE(b.IsPlaying());
  EXPECT_EQ(b.filename(), Fixture("tone660.ogg"));
  EXPECT_EQ(djvp::ui::SelectedRow(d.List(1)), 5);
  EXPECT_TRUE(d.w->Decks.FadeActive[decks::k1A_1B]) << "it fades in over the song that plays";
  EXPECT_TRUE(d.env().messages.empty()) << "no message box stops the mix";
  ASSERT_EQ(d.env().notices.size(), 1u);
  EXPECT_TRUE(d.env().notices[0].startsWith(QStringLiteral("These songs could not be played and were skipped:")));
  // Each file under what failed and why.
  EXPECT_EQ(Named(d.env().notices[0]),
            (QStringList{"Can't create stream: " + gone + ":", QString::fromStdString(missing), "",
                         "Can't create stream: the file is empty:", QString::fromStdString(empty), "",
                         "Can't create stream: not a regular file (a folder, a pipe or a device):",
                         QString::fromStdString(fifo)}));
  // The crossfade runs to its end as always.
  for (int n = 0; n < 200 && d.w->Decks.AnyTransition(); ++n) d.Tick();
  EXPECT_FALSE(d.P(1, 0).IsPlaying());
  EXPECT_TRUE(b.IsPlaying());
  EXPECT_GT(b.volume(), 90);
}

TEST_F(BrokenRows, AtTheEndOfTheListTheDeckStopsWithItsSongAsAlways) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.Add(1, missing.c_str());
  d.Add(1, empty.c_str());
  PlayUntilTheNextRowStarts(d);
  EXPECT_FALSE(d.P(1, 1).IsPlaying());
  EXPECT_TRUE(d.P(1, 0).IsPlaying());
  EXPECT_TRUE(d.w->Decks.AutomixTransition) << "the step waits, as after the last row";
  ASSERT_EQ(d.env().notices.size(), 1u);
  const QStringList named = Named(d.env().notices[0]);
  EXPECT_TRUE(named.contains(QString::fromStdString(missing)) && named.contains(QString::fromStdString(empty)))
      << d.env().notices[0].toStdString();
  for (int n = 0; n < 60 && d.P(1, 0).IsPlaying(); ++n) d.Tick();
  EXPECT_FALSE(d.P(1, 0).IsPlaying());
  EXPECT_EQ(d.env().notices.size(), 1u) << "told once";
  EXPECT_TRUE(d.env().messages.empty());
}

TEST_F(BrokenRows, PlayWithAutoMixOnStartsTheFirstRowThatPlaysAndWithItOffShowsTheMessage) {
  for (bool automix : {true, false}) {
    SCOPED_TRACE(automix);
    DeckWorld d;
    d.w->AutomixOn = automix;
    d.Add(2, fifo.c_str());
    d.Add(2, "tone550.ogg");
    d.List(2).SetCurrentRow(1);
    decks::cmdPlayer_Transport(*d.w, djvp::ctl::kDeckButtons + djvp::ctl::kPlay);
    if (automix) {
      EXPECT_TRUE(d.P(2, 0).IsPlaying());
      EXPECT_EQ(djvp::ui::SelectedRow(d.List(2)), 2);
      EXPECT_TRUE(d.env().messages.empty());
      EXPECT_EQ(d.env().notices.size(), 1u);
    } else {
      EXPECT_FALSE(d.P(2, 0).IsPlaying());
      EXPECT_EQ(djvp::ui::SelectedRow(d.List(2)), 1);
      EXPECT_EQ(d.env().messages, (std::vector<QString>{"Can't create stream\n" + QString::fromStdString(fifo) +
                                                        ": not a regular file (a folder, a pipe or a device)"}));
      EXPECT_TRUE(d.env().notices.empty());
    }
  }
}

// With a headphone device chosen, a song that cannot play fails for the
// headphones and for the deck: the user still reads its name once, under
// why the deck could not play it, in the notice of the rows Auto Mix passed
// over and in the message of a start by hand alike.
TEST_F(BrokenRows, WithAHeadphoneDeviceEachFileIsNamedOnce) {
  const QString why = QStringLiteral("not a regular file (a folder, a pipe or a device)");
  for (bool automix : {true, false}) {
    SCOPED_TRACE(automix);
    DeckWorld d;
    d.w->AutomixOn = automix;
    for (int p : {0, 1}) d.P(2, p).PreDevice(1);
    d.Add(2, fifo.c_str());
    d.List(2).SetCurrentRow(1);
    decks::cmdPlayer_Transport(*d.w, djvp::ctl::kDeckButtons + djvp::ctl::kPlay);
    EXPECT_FALSE(d.P(2, 0).IsPlaying());
    if (automix) {
      EXPECT_TRUE(d.env().messages.empty());
      ASSERT_EQ(d.env().notices.size(), 1u);
      EXPECT_EQ(Named(d.env().notices[0]), (QStringList{"Can't create stream: " + why + ":", QString::fromStdString(fifo)}));
    } else {
      EXPECT_TRUE(d.env().notices.empty());
      EXPECT_EQ(d.env().messages, (std::vector<QString>{"Can't create stream\n" + QString::fromStdString(fifo) + ": " + why}));
    }
  }
}
