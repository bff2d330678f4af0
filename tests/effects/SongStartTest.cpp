// The song start: the deck's settings on the new song, the automatic gain
// from the row's loudness figure and the automatic tempo matching, on real
// songs started by the decks.
#include "SongStartWorld.h"

#include "decks/AudioOps.h"
#include "effects/SongStart.h"
#include "engine/dsp/Dsp.h"
#include "ui/DeckState.h"

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <tuple>

using namespace djvp;

namespace {

float VolumeFactor(engine::Handle h) {
  engine::dsp::VolumeParams r{};
  if (!engine::GetEffectParameters(h, engine::dsp::kVolume, &r)) return -1;
  return r.volume;
}

}  // namespace

TEST(SongStart, TheDecksSettingsComeOntoEveryNewSong) {
  SongStartWorld world;
  MainState& w = *world.w;
  // Deck 2 set up while it is idle: nothing plays, so only the controls move.
  w.Effects[ctl::EffectBoxOf(djvp::kDeck2, ctl::kEchoBox)].setChecked(true);
  w.sldEffects[14 + 10].setValue(60);  // echo level
  w.Eq[10 + 4].setValue(0);            // 1 kHz band +5 dB
  w.UpDown[4].setValue(39);            // gain 1.5
  w.UpDown[4 + 2].setValue(14);        // Mid +4 dB
  w.sldEffects[14].setValue(7);        // tempo; an idle deck takes no tempo
  EXPECT_EQ(w.sldEffects[14].value(), 7);

  const int32_t row = world.Add(2, "tone.flac");
  world.Play(2, row);
  clsBassPlayer& p = world.P(2, 0);
  ASSERT_TRUE(p.IsPlaying());
  engine::dsp::EchoParams echo{};
  ASSERT_TRUE(engine::GetEffectParameters(p.STRM(), engine::dsp::kEcho, &echo)) << "the echo is on the new song";
  EXPECT_FLOAT_EQ(echo.level, 0.6f);
  EXPECT_NEAR(engine::RateRatio(p.STRM()), 1.07, 1e-4);
  EXPECT_FLOAT_EQ(VolumeFactor(p.STRM()), 1.5f);
  engine::dsp::PeakEqParams band{};
  band.band = 4;
  ASSERT_TRUE(engine::GetEffectParameters(p.STRM(), engine::dsp::kPeakEq, &band));
  EXPECT_FLOAT_EQ(band.gain, 4.0f) << "the Mid tone runs after the bands and wins the shared band";
  EXPECT_EQ(w.SCLabel1[ctl::kLblTempo2].text(), QStringLiteral("Tempo = 7 %"));
  // Deck 1 keeps its own settings.
  EXPECT_EQ(w.sldEffects[0].value(), 0);

  // Measured, with the echo off again: the song's 1 kHz tone (0.2 of full
  // scale) comes out with the gain 1.5 and the Mid +4 dB.
  w.Effects[ctl::EffectBoxOf(djvp::kDeck2, ctl::kEchoBox)].setChecked(false);
  EXPECT_NEAR(Db(AmplitudeAt(SoundWorld::Heard(), 0, 1000) / 0.2), Db(1.5) + 4, 0.5);
}

TEST(SongStart, ASongStartedAloneSoundsWithTheDecksSettingsFromItsFirstSample) {
  // The engine had made some of the song's sound before its settings were
  // on: that part is made again. Gain 0 silences the deck from the start.
  SongStartWorld world;
  world.w->UpDown[0].setValue(0);
  world.Play(1, world.Add(1, "tone.flac"));
  float peak = 0;
  for (float v : SoundWorld::Render(0.3)) peak = std::max(peak, std::fabs(v));
  EXPECT_EQ(peak, 0.0f);
  EXPECT_NEAR(decks::PlayerPosition(world.P(1, 0)), 0.3, 0.01) << "the song still runs from its start";
}

TEST(SongStart, AutoGainSetsAnMp3SongsVolumeFromItsLoudnessFigure) {
  struct Case {
    std::string name;
    const char* file;
    QString gainCell;
    int spinner;
    bool autoGain;
    float factor;
  };
  const std::vector<Case> cases = {
      {"figure 90.0, spinner at unity: twice", "tone.mp3", "90.0", 26, true, 2.0f},
      {"figure 90.0, spinner at 52", "tone.mp3", "90.0", 52, true, 3.0f},
      {"figure 100.0", "tone.mp3", "100.0", 39, true, 1.0f},
      {"figure 95,0 with a comma", "tone.mp3", "95,0", 26, true, 1.5f},
      {"spinner at 0: the figure gives nothing, and the deck is not silent", "tone.mp3", "90.0", 0, true, 1.0f},
      {"no figure: 1 whatever the spinner", "tone.mp3", "", 39, true, 1.0f},
      {"a figure that is no number counts as none", "tone.mp3", "n/a", 39, true, 1.0f},
      {"a FLAC song keeps the spinner's factor", "tone.flac", "90.0", 39, true, 1.5f},
      {"Auto Gain off keeps the spinner's factor", "tone.mp3", "90.0", 39, false, 1.5f},
  };
  // What each song gives at the factor 1 (the MP3 coding costs a little).
  std::map<std::string, double> plain;
  for (const char* file : {"tone.mp3", "tone.flac"}) {
    SongStartWorld world;
    world.Play(1, world.Add(1, file));
    plain[file] = AmplitudeAt(SoundWorld::Heard(), 0, 1000);
  }
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SongStartWorld world;
    MainState& w = *world.w;
    w.Check1[ctl::kAutoGain].setChecked(k.autoGain);
    w.UpDown[0].setValue(k.spinner);
    const int32_t row = world.Add(1, k.file);
    EXPECT_EQ(ui::CellText(world.List(1), row, ui::kGain), QStringLiteral("90.0")) << "read from the song's tags";
    world.SetCell(1, row, ui::kGain, k.gainCell);
    world.Play(1, row);
    const engine::Handle h = world.P(1, 0).STRM();
    EXPECT_FLOAT_EQ(VolumeFactor(h), k.factor);
    EXPECT_NEAR(Db(AmplitudeAt(SoundWorld::Heard(), 0, 1000) / plain[k.file]), Db(k.factor), 0.1);
  }
}

TEST(SongStart, MatchedTempoIsTheBpmDifferenceWithinTheLimit) {
  struct Case {
    float outgoing, incoming;
    int32_t limit;
    std::optional<int32_t> tempo;
  };
  const Case cases[] = {
      {128, 125, 10, 3},     {140, 125, 10, {}},    {128, 125, 0, {}},       {125, 125, 10, {}},
      {110, 100, 10, 10},    {110.5f, 100, 10, {}}, {102.5f, 100, 10, 2},    {103.5f, 100, 10, 4},
      {97.5f, 100, 10, -2},  {99.6f, 100, 10, 0},   {0, 125, 10, {}},        {128, 0, 10, {}},
      {NAN, 125, 10, {}},    {175, 140, 30, 35},
  };
  for (const Case& k : cases)
    EXPECT_EQ(effects::MatchedTempo(k.outgoing, k.incoming, k.limit), k.tempo)
        << k.outgoing << " into " << k.incoming << ", limit " << k.limit;
}

TEST(SongStart, AutoBpmMovesTheIncomingDecksTempoTowardsTheOutgoingSong) {
  struct Case {
    std::string name;
    int deck;
    const char* outgoing;
    const char* incoming;
    int limit, tempoBefore;
    std::optional<int> tempo;  // none: the slider stays
  };
  const std::vector<Case> cases = {
      {"128 into 125, limit 10", 1, "beat128.mp3", "beat125.mp3", 10, 0, 3},
      {"128 into 125 on deck 2", 2, "beat128.mp3", "beat125.mp3", 10, 0, 3},
      {"the incoming deck's tempo counts: 128 into 125 at +1 %", 1, "beat128.mp3", "beat125.mp3", 10, 1, 2},
      {"a set tempo is replaced: 125 into 128 at +4 %", 1, "beat125.mp3", "beat128.mp3", 10, 4, -8},
      {"140 into 125: beyond the limit", 1, "beat140.mp3", "beat125.mp3", 10, -1, {}},
      {"limit 0", 1, "beat128.mp3", "beat125.mp3", 0, -1, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SongStartWorld world;
    MainState& w = *world.w;
    w.Check1[ctl::kAutoBPM].setChecked(true);
    w.AutomationSlider[0].setValue(k.limit);
    const int other = 3 - k.deck;
    world.Play(other, world.Add(other, k.outgoing));
    const size_t tempo = static_cast<size_t>((k.deck - 1) * 14);
    w.sldEffects[tempo].setValue(k.tempoBefore);
    world.Play(k.deck, world.Add(k.deck, k.incoming));
    ASSERT_TRUE(w.Decks.FadeActive[k.deck == 1 ? decks::k2A_1A : decks::k1A_2A]);
    const int expected = k.tempo.value_or(k.tempoBefore);
    EXPECT_EQ(w.sldEffects[tempo].value(), expected);
    EXPECT_NEAR(engine::RateRatio(world.P(k.deck, 0).STRM()), 1 + expected / 100.0, 1e-4);
    EXPECT_NEAR(w.Decks.MasterBPM, QString::fromLatin1(k.outgoing).mid(4, 3).toDouble(), 0.5)
        << "the outgoing song's tempo";
  }
}

TEST(SongStart, TheRecalculatedTempoShowsTheStartTempoOnceTheEngineHasMeasuredIt) {
  // The start does not wait for the measurement; the playback timer's next
  // run shows it, at the deck's tempo.
  for (int tempo : {0, 10}) {
    SongStartWorld world;
    MainState& w = *world.w;
    w.sldEffects[14].setValue(tempo);
    world.List(2).SetCurrentRow(world.Add(2, "beat128.mp3"));
    ASSERT_EQ(decks::PlayDeck(w, djvp::kDeck2), decks::StartResult::kStarted);
    engine::WaitForBackgroundWork();
    w.PlaybackTick.Raise();
    EXPECT_NEAR(w.lblBPM[3].text().toDouble(), 128 * (1 + tempo / 100.0), 0.7) << tempo;
    EXPECT_EQ(w.StartTempoWaits[1].label, 0u);
  }
}

TEST(SongStart, AutoBpmTakesTheFirstCrossfadeIntoTheDeck) {
  // Deck 1's A player takes over from both players of deck 2 at once: 2A at
  // 128 BPM (transition 2A to 1A) comes before 2B at 140 (2B to 1A).
  struct Case {
    std::vector<size_t> flags;
    int tempo;
  };
  const Case cases[] = {{{decks::k2A_1A, decks::k2B_1A}, 3}, {{decks::k2B_1A}, 0}, {{decks::k2B_1A, decks::k2A_2B}, 0}};
  for (const Case& k : cases) {
    SongStartWorld world;
    MainState& w = *world.w;
    w.AutoBPMOn = true;
    w.AutomationSlider[0].setValue(10);
    for (auto [deck, ab, file] : {std::tuple{2, 0, "beat128.mp3"}, {2, 1, "beat140.mp3"}, {1, 0, "beat125.mp3"}}) {
      clsBassPlayer& p = world.P(deck, ab);
      p.filename(SongFixture(file));
      ASSERT_TRUE(p.OpenFile());
      ASSERT_TRUE(p.Play());
    }
    for (size_t flag : k.flags) w.Decks.FadeActive[flag] = true;
    engine::WaitForBackgroundWork();  // the three start tempos
    effects::SongStarted(w, djvp::kDeck1, world.P(1, 0));
    EXPECT_EQ(w.sldEffects[0].value(), k.tempo) << k.flags.front();
  }
}

TEST(SongStart, AnEffectSwitchedOnComesOntoTheIncomingSongWhileTheDecksOtherPlayerPlaysOut) {
  SongStartWorld world;
  MainState& w = *world.w;
  w.Effects[ctl::kEchoBox].setChecked(true);
  // B plays; the start goes to A and fades in over B (1B to 1A).
  const int32_t row = world.Add(1, "tone.mp3");
  SoundWorld::Start(world.P(1, 1), "sine1k.flac");
  world.Play(1, row);
  ASSERT_TRUE(w.Decks.FadeActive[decks::k1B_1A]);
  engine::dsp::EchoParams echo{};
  EXPECT_TRUE(engine::GetEffectParameters(world.P(1, 0).STRM(), engine::dsp::kEcho, &echo));
  EXPECT_FLOAT_EQ(echo.level, 0.1f) << "the stored level (10 where none was stored)";
}

// A song started without a crossfade sounds with the deck's settings from
// its first sample: its first 10 ms carry the deck's equaliser, gain and
// effects, against the same song on a deck left as it was, and sound as the
// song does a second later. tones.flac has each tone twice as loud on the
// left as on the right.
TEST(SongStart, APlainStartCarriesTheDecksSoundFromItsFirstTenMilliseconds) {
  struct Heard {
    std::vector<float> first, later;
  };
  auto start = [](bool deckSound) {
    SongStartWorld world;
    MainState& w = *world.w;
    if (deckSound) {
      // Set while the deck is idle: the channels swapped, the gain at 1.5
      // and the 1 kHz band 4 dB up.
      w.Effects[ctl::kSwapBox].setChecked(true);
      w.UpDown[0].setValue(39);
      w.Eq[4].setValue(1);
    }
    Grid& list = world.List(1);
    const int32_t row = list.AddRow();
    list.SetTextAt(row, ui::kFilename, EffectsFixture("tones.flac"));
    list.SetCurrentRow(row);
    EXPECT_EQ(decks::PlayDeck(w, djvp::kDeck1), decks::StartResult::kStarted);
    EXPECT_FALSE(w.Decks.AnyTransition());
    Heard heard;
    // A second apart: every tone of the song stands where it stood.
    heard.first = SoundWorld::Render(0.01);
    SoundWorld::Render(0.99);
    heard.later = SoundWorld::Render(0.01);
    return heard;
  };
  const Heard plain = start(false);
  const Heard set = start(true);
  const double boost = 1.5 * std::pow(10.0, 4 / 20.0);
  for (int channel : {0, 1}) {
    const double asFile = AmplitudeAt(plain.first, 1 - channel, 1000);  // swapped
    const double first = AmplitudeAt(set.first, channel, 1000);
    EXPECT_NEAR(first / asFile, boost, 0.05 * boost) << channel;
    EXPECT_NEAR(first, AmplitudeAt(set.later, channel, 1000), 0.05 * first) << channel;
  }
}
