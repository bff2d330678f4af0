// The deck start routine: which player gets the song, crossfade or plain
// start, fade lengths from the curve, mix points, failures.
#include "DeckTestEnv.h"
#include "tests/support/DeckNumber.h"
#include "decks/StartRoutine.h"
#include "engine/dsp/Dsp.h"

#include <QLabel>

#include <cerrno>
#include <cstring>

namespace {

using decks::DeckState;

struct ChoiceCase {
  const char* name;
  std::vector<std::pair<int, int>> playing;  // (deck, ab) playing before the start
  int deck;                                  // deck whose Play starts
  int newDeck, newAB;                        // player that gets the song
  int slot;                                  // transition armed; -1 for a plain start
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class StartChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(StartChoice, SongGoesToTheRightPlayerAndArmsTheRightTransition) {
  const ChoiceCase& c = GetParam();
  DeckWorld d;
  for (const auto& [deck, ab] : c.playing) DeckWorld::StartOn(d.P(deck, ab), "tone550.ogg");
  d.RenderSeconds(0.5);
  d.Add(c.deck, "tone660.ogg", "120.0");
  d.List(c.deck).SetCurrentRow(1);
  decks::PlayDeck(*d.w, DeckNo(c.deck));

  djvp::clsBassPlayer& p = d.P(c.newDeck, c.newAB);
  EXPECT_TRUE(p.IsPlaying());
  EXPECT_EQ(p.filename(), Fixture("tone660.ogg"));
  for (int k = 0; k < decks::kSlots; ++k) EXPECT_EQ(d.w->Decks.FadeActive[static_cast<size_t>(k)], k == c.slot) << k;
  if (c.slot >= 0) {
    EXPECT_TRUE(d.w->Decks.CrossfadeRunning);
    EXPECT_EQ(p.volume(), 0);
    // The outgoing player plays on untouched.
    for (const auto& [deck, ab] : c.playing) EXPECT_TRUE(d.P(deck, ab).IsPlaying());
  } else {
    EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
    EXPECT_EQ(p.volume(), 100);
    EXPECT_EQ(d.w->Volume1.value() * (c.deck == 1) + d.w->Volume2.value() * (c.deck == 2), 0);
    EXPECT_EQ(d.w->Slider1.value(), c.deck == 1 ? 0 : 100);
    EXPECT_FLOAT_EQ(d.w->Decks.MasterBPM, 120.0f);
  }
  EXPECT_EQ(d.w->lblBPM[static_cast<size_t>(c.deck - 1)].text(), "120.0");
  EXPECT_EQ(d.w->tTime[static_cast<size_t>(c.deck - 1)].text(), "00:05");
  EXPECT_TRUE(d.env().messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StartChoice,
    ::testing::Values(ChoiceCase{"AllIdleDeck1", {}, 1, 1, 0, -1}, ChoiceCase{"AllIdleDeck2", {}, 2, 2, 0, -1},
                      ChoiceCase{"Own1APlaying", {{1, 0}}, 1, 1, 1, decks::k1A_1B},
                      ChoiceCase{"Own1BPlaying", {{1, 1}}, 1, 1, 0, decks::k1B_1A},
                      ChoiceCase{"Both2Playing", {{2, 0}, {2, 1}}, 1, 1, 0, decks::k2A_1A},
                      ChoiceCase{"Only2BPlaying", {{2, 1}}, 1, 1, 0, decks::k2B_1A},
                      ChoiceCase{"Own2APlaying", {{2, 0}}, 2, 2, 1, decks::k2A_2B},
                      ChoiceCase{"Own2BPlaying", {{2, 1}}, 2, 2, 0, decks::k2B_2A},
                      ChoiceCase{"Other1APlaying", {{1, 0}}, 2, 2, 0, decks::k1A_2A},
                      ChoiceCase{"Only1BPlaying", {{1, 1}}, 2, 2, 0, decks::k1B_2A},
                      ChoiceCase{"BothOwnPlayingReloadsA", {{1, 0}, {1, 1}}, 1, 1, 0, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartRoutine, PausedPlayerCountsAsIdleAndIsReloaded) {
  DeckWorld d;
  DeckWorld::StartOn(d.P(1, 0), "tone550.ogg");
  d.P(1, 0).PausePlay();
  d.Add(1, "tone660.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  EXPECT_TRUE(d.P(1, 0).IsPlaying());
  EXPECT_EQ(d.P(1, 0).filename(), Fixture("tone660.ogg"));
  EXPECT_FALSE(d.P(1, 1).IsPlaying());
  EXPECT_FALSE(d.w->Decks.AnyTransition());
}

TEST(StartRoutine, RefusedWhileACrossfadeRunsChangesNothing) {
  DeckWorld d;
  d.Add(1, "tone660.ogg");
  d.List(1).SetCurrentRow(1);
  d.w->Decks.FadeOutPercent = 7;
  d.w->Decks.FadeInPercent = 8;
  d.w->Decks.CrossfadeRunning = true;
  decks::PlayDeck(*d.w, djvp::kDeck1);
  for (djvp::clsBassPlayer* p : d.Players()) EXPECT_FALSE(p->IsPlaying());
  EXPECT_EQ(d.w->Decks.FadeOutPercent, 7);
  EXPECT_EQ(d.w->Decks.FadeInPercent, 8);
  EXPECT_EQ(d.P(1, 0).filename(), "");
}

TEST(StartRoutine, FadeLengthsComeFromTheCurve) {
  struct {
    int16_t leftU, leftD, rightU, rightD, out, in;
  } const cases[] = {
      {50, 50, 50, 50, 50, 50},   // no slope: where the step lies
      {10, 100, 90, 0, 90, 90},   // the slopes' widths
      {0, 0, 25, 0, 0, 25},       // a step at 0 gives no fade-out
      {60, 40, 75, 0, -20, 75},   // points past each other: negative
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decks::FadeOutPercentOf(c.leftU, c.leftD), c.out);
    EXPECT_EQ(decks::FadeInPercentOf(c.rightU, c.rightD), c.in);
  }
}

TEST(StartRoutine, CrossfadeEndsTheFadeOutAtThePositionPlusItsShareOfTheMixTime) {
  struct {
    int16_t mixTime, leftU, leftD;
    int32_t expectedMs;  // outgoing player at 1.5 s
  } const cases[] = {{20, 50, 50, 11500}, {2, 10, 100, 3300}, {20, 0, 0, 1500}, {10, 60, 40, -500}};
  for (const auto& c : cases) {
    DeckWorld d;
    d.w->MixTime = c.mixTime;
    d.Curve(c.leftU, c.leftD, 90, 0);
    DeckWorld::StartOn(d.P(1, 0), "tone550.ogg");
    d.RenderSeconds(1.5);
    d.Add(1, "tone660.ogg");
    d.List(1).SetCurrentRow(1);
    decks::PlayDeck(*d.w, djvp::kDeck1);
    EXPECT_EQ(d.w->Decks.FadeOutEndMs[decks::k1A_1B], c.expectedMs) << c.mixTime << " " << c.leftU << " " << c.leftD;
    EXPECT_TRUE(d.w->Decks.FadeActive[decks::k1A_1B]);
  }
}

TEST(StartRoutine, MixPointsSetWherePlayStartsAndWhereTheSongEnds) {
  struct {
    const char* start;
    const char* end;
    double startSeconds;  // where Play begins
    int32_t streamTime;   // end of the playable part, from the file's start
  } const cases[] = {
      {"", "", 0, 5},
      {"01.50 sec", "", 1.5, 5},          // plays from 1.5 s to the file's end
      {"", "04.00 sec", 0, 4},            // ends at 4 s
      {"01.00 sec", "03.60 sec", 1.0, 4}, // 3.6 s taken to the nearest second
      {"01,25 sec", "", 1.25, 5},         // a comma as the decimal separator
      {"bad sec", "x", 0, 5},             // no number: no mix point
      {"-3.00 sec", "", 0, 5},            // negative: no mix point
  };
  for (const auto& c : cases) {
    DeckWorld d;
    d.w->UseMixPoints = true;
    d.Add(1, "tone440.ogg", {}, QString::fromUtf8(c.start), QString::fromUtf8(c.end));
    d.List(1).SetCurrentRow(1);
    decks::PlayDeck(*d.w, djvp::kDeck1);
    djvp::clsBassPlayer& a = d.P(1, 0);
    EXPECT_EQ(a.StreamTime(), c.streamTime) << c.start << "|" << c.end;
    EXPECT_NEAR(DeckWorld::Pos(a), c.startSeconds, 0.001) << c.start << "|" << c.end;
    EXPECT_EQ(d.w->Position1.maximum(), c.streamTime);
  }
}

TEST(StartRoutine, AnUnreadableMixPointIsNoMixPointNotThePreviousSongs) {
  DeckWorld d;
  d.w->UseMixPoints = true;
  d.Add(1, "tone440.ogg", {}, QStringLiteral("02.00 sec"));
  d.Add(2, "tone660.ogg", {}, QStringLiteral("garbage"));
  d.List(1).SetCurrentRow(1);
  d.List(2).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  EXPECT_GT(d.w->Decks.StartMixBytes, 0);
  d.P(1, 0).StopPlay();
  decks::PlayDeck(*d.w, djvp::kDeck2);
  EXPECT_EQ(d.w->Decks.StartMixBytes, 0);
  EXPECT_NEAR(DeckWorld::Pos(d.P(2, 0)), 0.0, 0.001);
}

TEST(StartRoutine, WithoutMixPointsTheWholeFilePlays) {
  DeckWorld d;
  d.w->UseMixPoints = false;
  d.Add(1, "tone440.ogg", {}, QStringLiteral("02.00 sec"), QStringLiteral("03.00 sec"));
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  EXPECT_EQ(d.P(1, 0).StreamTime(), 5);
  EXPECT_NEAR(DeckWorld::Pos(d.P(1, 0)), 0.0, 0.001);
}

// With Auto Mix off a plain start plays at the deck's slider and then moves
// the crossfader to the deck's side, which sets the deck's slider: the song
// is heard as the crossfader stands, also when the crossfader already stood
// there and its move changes nothing.
TEST(StartRoutine, PlainStartWithAutoMixOffIsHeardAsTheCrossfaderStands) {
  for (const int fader : {100, 50}) {
    SCOPED_TRACE(fader);
    DeckWorld d;
    d.w->AutomixOn = false;
    d.w->Slider1.setValue(fader);
    d.w->Volume2.setValue(30);
    d.Add(2, "tone440.ogg");
    d.List(2).SetCurrentRow(1);
    decks::PlayDeck(*d.w, djvp::kDeck2);
    EXPECT_EQ(d.w->Slider1.value(), 100);
    EXPECT_EQ(d.w->Volume2.value(), 0);
    EXPECT_EQ(d.P(2, 0).volume(), 100);
  }
}

TEST(StartRoutine, BpmCellSetsTheMasterTempoOnAPlainStart) {
  struct {
    const char* cell;
    float before, after;
    const char* label;
  } const cases[] = {{"128.5", 99, 128.5f, "128.5"}, {"", 99, 0, "000.0"}, {"fast", 99, 99, "fast"}};
  for (const auto& c : cases) {
    DeckWorld d;
    d.w->Decks.MasterBPM = c.before;
    d.Add(1, "tone440.ogg", QString::fromUtf8(c.cell));
    d.List(1).SetCurrentRow(1);
    decks::PlayDeck(*d.w, djvp::kDeck1);
    EXPECT_FLOAT_EQ(d.w->Decks.MasterBPM, c.after) << c.cell;
    EXPECT_EQ(d.w->lblBPM[0].text(), c.label);
  }
}

TEST(StartRoutine, AFileThatCannotBeOpenedArmsNothingAndClearsTheFailure) {
  DeckWorld d;
  DeckWorld::StartOn(d.P(1, 0), "tone550.ogg");
  d.Add(1, "/nonexistent/song.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  EXPECT_FALSE(d.w->Decks.CrossfadeRunning);
  EXPECT_FALSE(d.w->Decks.AnyTransition());
  EXPECT_FALSE(d.P(1, 1).IsPlaying());
  EXPECT_TRUE(d.P(1, 0).IsPlaying());
  ASSERT_EQ(d.env().messages.size(), 1u);
  EXPECT_EQ(d.env().messages[0], "Can't create stream\n/nonexistent/song.ogg: " + QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST(StartRoutine, StartSetsTheScrollingTitleFromTheRow) {
  DeckWorld d;
  d.Add(2, "tone440.ogg");
  d.List(2).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck2);
  EXPECT_TRUE(d.w->ScrollerText[1].startsWith("Artist: Artist 1")) << d.w->ScrollerText[1].toStdString();
  EXPECT_TRUE(d.w->ScrollerText[0].startsWith("dj VORLAN"));
}

TEST(StartRoutine, EveryStartedSongGetsTenFlatEqualiserBands) {
  DeckWorld d;
  d.Add(1, "tone440.ogg");
  d.List(1).SetCurrentRow(1);
  decks::PlayDeck(*d.w, djvp::kDeck1);
  const engine::Handle stream = d.P(1, 0).STRM();
  const float centres[10] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  for (int band = 0; band < 10; ++band) {
    engine::dsp::PeakEqParams p{};
    p.band = band;
    ASSERT_TRUE(engine::GetEffectParameters(stream, engine::dsp::kPeakEq, &p)) << band;
    EXPECT_FLOAT_EQ(p.center, centres[band]);
    EXPECT_FLOAT_EQ(p.gain, 0.0f);
    EXPECT_FLOAT_EQ(p.bandwidth, 2.5f);
  }
  // Flat bands leave the sound as it was.
  d.RenderSeconds(0.5);
  const std::vector<float> out = DeckWorld::Render(4410);
  double sum = 0;
  for (float v : out) sum += static_cast<double>(v) * v;
  EXPECT_NEAR(std::sqrt(sum / static_cast<double>(out.size())), 0.5 / std::sqrt(2.0), 0.02);
}

}  // namespace
