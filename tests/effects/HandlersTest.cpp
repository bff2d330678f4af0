// The sound controls' handlers: which player's streams they act on, the
// records they write, what they store and show, the reset boxes, and what
// happens while the deck is idle.
#include "SoundWorld.h"
#include "tests/support/DeckNumber.h"

#include "effects/EffectControls.h"
#include "effects/Targets.h"
#include "engine/dsp/Dsp.h"
#include "ui/MainState.h"
#include "ui/SettingsKeys.h"

#include <string>

using namespace djvp;

namespace {

QString Stored(const char* section, const char* key) {
  return keys::Get(QLatin1String(section), QLatin1String(key), QStringLiteral("<none>"));
}

template <typename R>
R Record(engine::Handle h, int32_t type, R r = {}) {
  EXPECT_TRUE(engine::GetEffectParameters(h, type, &r)) << "type " << type << " on " << h;
  return r;
}

float BandGain(engine::Handle h, int32_t band) {
  engine::dsp::PeakEqParams r{};
  r.band = band;
  return Record(h, engine::dsp::kPeakEq, r).gain;
}

}  // namespace

TEST(EffectTargets, TheDecksControlsFollowTheIncomingPlayerElseThePlayingOne) {
  // Players by number: 0 1A, 1 1B, 2 2A, 3 2B; -1 none.
  struct Case {
    std::string name;
    bool playing[4];
    std::vector<int> transitions;
    int deck, target;
  };
  const std::vector<Case> cases = {
      {"nothing plays", {false, false, false, false}, {}, 1, -1},
      {"A plays", {true, false, false, false}, {}, 1, 0},
      {"both play", {true, true, false, false}, {}, 1, 1},
      {"A plays, B paused", {true, false, false, false}, {}, 1, 0},
      {"crossfade 1A to 1B", {true, true, false, false}, {0}, 1, 1},
      {"crossfade 1B to 1A", {true, true, false, false}, {1}, 1, 0},
      {"crossfade 1A to 2A, deck 1", {true, false, true, false}, {8}, 1, 0},
      {"crossfade 1A to 2A, deck 2", {true, false, true, false}, {8}, 2, 2},
      {"two crossfades into deck 1: the later slot", {true, true, true, true}, {2, 5}, 1, 1},
      {"crossfade 2B to 2A", {false, false, true, true}, {7}, 2, 2},
      {"an incoming player counts before it plays", {true, false, false, false}, {0}, 1, 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    StateTestEnv env;
    auto w = env.Open();
    clsBassPlayer* players[4] = {w->Player(djvp::kDeck1, 0), w->Player(djvp::kDeck1, 1), w->Player(djvp::kDeck2, 0), w->Player(djvp::kDeck2, 1)};
    for (int i = 0; i < 4; ++i) {
      players[i]->IsPlaying(k.playing[i]);
      players[i]->STRM(static_cast<engine::Handle>(100 + i));
      players[i]->PreSTRM(static_cast<engine::Handle>(200 + i));
      players[i]->hBPM(static_cast<engine::Handle>(300 + i));
    }
    for (int slot : k.transitions) w->Decks.FadeActive[static_cast<size_t>(slot)] = true;
    const effects::Target t = effects::DeckTarget(*w, DeckNo(k.deck));
    EXPECT_EQ(t.player, k.target < 0 ? nullptr : players[k.target]);
    EXPECT_EQ(t.main, k.target < 0 ? 0u : 100u + static_cast<unsigned>(k.target));
    EXPECT_EQ(t.headphone, k.target < 0 ? 0u : 200u + static_cast<unsigned>(k.target));
    EXPECT_EQ(t.bpm, k.target < 0 ? 0u : 300u + static_cast<unsigned>(k.target));
  }
}

TEST(EffectSliders, EachSliderSetsItsFieldOnTheMainAndHeadphoneStreamsAndStoresIt) {
  using namespace engine::dsp;
  struct Case {
    int slider, value;
    int32_t type;
    int field;
    float want;  // integer fields compare as their value
    bool isFloat;
    const char* key;
  };
  const Case cases[] = {
      {3, 50, kReverb, 0, 0.5f, true, "ReverbLevel"},          {4, 9000, kReverb, 1, 9000, false, "ReverbDelay"},
      {5, 1234, kLowPass, 2, 1234, true, "LowPassCut"},         {6, 10, kLowPass, 1, 10, true, "LowPassResonance"},
      {7, -200, kEcho3, 0, -20, true, "Echo3DryMix"},           {8, 150, kEcho3, 1, 15, true, "Echo3WetMix"},
      {9, 600, kEcho3, 2, 0.6f, true, "Echo3Delay"},            {10, 25, kEcho, 0, 0.25f, true, "EchoLevel"},
      {11, 30000, kEcho, 1, 30000, false, "EchoDelay"},         {12, 900, kFlanger, 1, 0.009f, true, "FlangerSpeed"},
      {13, 40, kFlanger, 0, 0.4f, true, "FlangerWetDry"},
  };
  for (int deck : {1, 2}) {
    SoundWorld world;
    MainState& w = *world.w;
    clsBassPlayer& p = world.P(deck, 0);
    SoundWorld::Start(p);
    SoundWorld::AttachMirror(p, 0);
    for (int box : {ctl::kReverbBox, ctl::kLowPassBox, ctl::kBigEchoBox, ctl::kEchoBox, ctl::kFlangerBox})
      w.Effects[static_cast<size_t>(ctl::EffectBoxOf(DeckNo(deck), box))].setChecked(true);
    // Channel fields that hold something else are set back to every channel.
    FlangerParams oneSide = Record<FlangerParams>(p.STRM(), kFlanger);
    oneSide.channel = 1;
    ASSERT_TRUE(engine::SetEffectParameters(p.STRM(), kFlanger, &oneSide));

    for (const Case& k : cases) {
      SCOPED_TRACE(std::string(k.key) + " on deck " + std::to_string(deck));
      const size_t slider = static_cast<size_t>(k.slider + (deck - 1) * 14);
      ASSERT_TRUE(w.sldEffects[slider].setValue(k.value));
      for (engine::Handle h : {p.STRM(), p.PreSTRM()}) {
        uint32_t r[8] = {};
        ASSERT_TRUE(engine::GetEffectParameters(h, k.type, r));
        if (k.isFloat) {
          float v;
          std::memcpy(&v, &r[k.field], sizeof v);
          EXPECT_FLOAT_EQ(v, k.want);
        } else {
          EXPECT_EQ(static_cast<int32_t>(r[k.field]), static_cast<int32_t>(k.want));
        }
        if (k.type == kEcho3) {
          EXPECT_EQ(static_cast<int32_t>(r[3]), -1);
        }
        if (k.type == kFlanger) {
          EXPECT_EQ(static_cast<int32_t>(r[2]), -1);
        }
      }
      EXPECT_EQ(Stored(keys::PlayerSection(DeckNo(deck)), k.key), QString::number(k.value));
    }
    // The other deck's streams carry none of it.
    EXPECT_FALSE(engine::GetEffectParameters(world.P(3 - deck, 0).STRM(), kReverb, nullptr));
  }
}

TEST(EffectSliders, DuringACrossfadeTheIncomingPlayerGetsTheValues) {
  using engine::dsp::kReverb;
  using engine::dsp::ReverbParams;
  SoundWorld world;
  MainState& w = *world.w;
  clsBassPlayer& a = world.P(1, 0);
  clsBassPlayer& b = world.P(1, 1);
  SoundWorld::Start(a);
  SoundWorld::Start(b);
  // The switch puts the effect on B (both play); a crossfade into B makes
  // the sliders act on B.
  w.Decks.FadeActive[decks::k1A_1B] = true;
  w.Effects[ctl::kReverbBox].setChecked(true);
  EXPECT_FALSE(engine::GetEffectParameters(a.STRM(), kReverb, nullptr));
  w.sldEffects[3].setValue(70);
  EXPECT_FLOAT_EQ(Record<ReverbParams>(b.STRM(), kReverb).level, 0.7f);

  // A crossfade into A: the sliders go to A, which has no reverb; B keeps
  // what it had. The value is stored all the same.
  w.Decks.FadeActive[decks::k1A_1B] = false;
  w.Decks.FadeActive[decks::k1B_1A] = true;
  w.sldEffects[3].setValue(20);
  EXPECT_FLOAT_EQ(Record<ReverbParams>(b.STRM(), kReverb).level, 0.7f);
  EXPECT_FALSE(engine::GetEffectParameters(a.STRM(), kReverb, nullptr));
  EXPECT_EQ(Stored("Player1", "ReverbLevel"), "20");
}

TEST(EffectSwitches, DuringACrossfadeAnEffectGoesOnThePlayerItsSlidersMove) {
  using engine::dsp::kEcho;
  using engine::dsp::EchoParams;
  // Players as (deck, A 0 / B 1).
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> playing;
    size_t transition;
    int deck;
    std::pair<int, int> gets;
  };
  const Case cases[] = {
      {"1B fades into 1A", {{1, 0}, {1, 1}}, decks::k1B_1A, 1, {1, 0}},
      {"1A fades into 1B", {{1, 0}, {1, 1}}, decks::k1A_1B, 1, {1, 1}},
      {"2B fades into 2A", {{2, 0}, {2, 1}}, decks::k2B_2A, 2, {2, 0}},
      {"2B fades into 1A", {{1, 0}, {2, 1}}, decks::k2B_1A, 1, {1, 0}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SoundWorld world;
    MainState& w = *world.w;
    for (const auto& [deck, ab] : k.playing) {
      SoundWorld::Start(world.P(deck, ab));
      SoundWorld::AttachMirror(world.P(deck, ab), 0);
    }
    w.Decks.FadeActive[k.transition] = true;
    const size_t box = static_cast<size_t>(ctl::EffectBoxOf(DeckNo(k.deck), ctl::kEchoBox));
    const size_t level = static_cast<size_t>((k.deck - 1) * 14 + 10);
    w.Effects[box].setChecked(true);
    w.sldEffects[level].setValue(60);
    for (const auto& [deck, ab] : k.playing) {
      clsBassPlayer& p = world.P(deck, ab);
      const bool gets = std::make_pair(deck, ab) == k.gets;
      SCOPED_TRACE(std::to_string(deck) + (ab == 0 ? "A" : "B"));
      for (engine::Handle h : {p.STRM(), p.PreSTRM()}) {
        EchoParams echo{};
        EXPECT_EQ(engine::GetEffectParameters(h, kEcho, &echo), gets);
        if (gets) {
          EXPECT_FLOAT_EQ(echo.level, 0.6f) << "the slider moved the effect the switch put on";
        }
      }
    }
    // Switched off, it goes from the same player.
    w.Effects[box].setChecked(false);
    for (const auto& [deck, ab] : k.playing)
      EXPECT_FALSE(engine::GetEffectParameters(world.P(deck, ab).STRM(), kEcho, nullptr));
  }
}

TEST(EffectSliders, TempoRateAndPitchShowStoreAndReachBothStreams) {
  SoundWorld world;
  MainState& w = *world.w;
  // Idle deck: tempo and sample rate reach no stream, but their captions
  // show the sliders and they are stored for the next program start; pitch
  // shows and stores.
  w.sldEffects[0].setValue(5);
  w.sldEffects[1].setValue(48000);
  w.sldEffects[2].setValue(3);
  EXPECT_EQ(w.SCLabel1[ctl::kLblTempo1].text(), "Tempo = 5 %");
  EXPECT_EQ(w.SCLabel1[ctl::kLblSampleRate1].text(), "Samplerate = 48000 Hz");
  EXPECT_EQ(Stored("Player1", "PitchTempo"), "5");
  EXPECT_EQ(Stored("Player1", "PitchSample"), "48000");
  EXPECT_EQ(Stored("Player2", "PitchTempo"), "<none>");
  EXPECT_EQ(w.SCLabel1[ctl::kLblPitch1].text(), "Pitch Scaling = 3 Semitones");
  EXPECT_EQ(Stored("Player1", "PitchScaling"), "3");

  // Playing, with a mirror. The song came through the deck's chain, which
  // holds the sample rate set while the deck was idle; the mirror made here
  // by hand did not.
  clsBassPlayer& p = world.P(1, 0);
  SoundWorld::Start(p);
  SoundWorld::AttachMirror(p, 0);
  EXPECT_FLOAT_EQ(engine::RateRatio(p.STRM()), 1.05f * 48000 / 44100);
  w.sldEffects[0].setValue(-5);
  EXPECT_EQ(w.SCLabel1[ctl::kLblTempo1].text(), "Tempo = -5 %");
  EXPECT_EQ(Stored("Player1", "PitchTempo"), "-5");
  EXPECT_FLOAT_EQ(engine::RateRatio(p.STRM()), 0.95f * 48000 / 44100);
  EXPECT_FLOAT_EQ(engine::RateRatio(p.PreSTRM()), 0.95f);
  // The recalculated BPM: the song's (none found in a steady tone) at the tempo.
  EXPECT_EQ(w.lblBPM[2].text(), "0.0");

  w.sldEffects[1].setValue(66150);
  EXPECT_EQ(w.SCLabel1[ctl::kLblSampleRate1].text(), "Samplerate = 66150 Hz");
  EXPECT_EQ(Stored("Player1", "PitchSample"), "66150");
  EXPECT_FLOAT_EQ(engine::RateRatio(p.PreSTRM()), 0.95f * 1.5f);
  engine::dsp::PeakEqParams band0{};
  EXPECT_EQ(Record(p.STRM(), engine::dsp::kPeakEq, band0).freq, 66150);  // told to the first band only
  engine::dsp::PeakEqParams band1{};
  band1.band = 1;
  EXPECT_EQ(Record(p.STRM(), engine::dsp::kPeakEq, band1).freq, 44100);

  w.sldEffects[2].setValue(-30);
  EXPECT_EQ(w.SCLabel1[ctl::kLblPitch1].text(), "Pitch Scaling = -30 Semitones");
  EXPECT_EQ(Stored("Player1", "PitchScaling"), "-30");

  // Paused: no target for tempo; the stream keeps its tempo, the value is
  // stored for the deck's next song.
  p.PausePlay();
  w.sldEffects[0].setValue(7);
  EXPECT_FLOAT_EQ(engine::RateRatio(p.STRM()), 0.95f * 1.5f);
  EXPECT_EQ(Stored("Player1", "PitchTempo"), "7");
}

TEST(EffectSwitches, SwitchingOnTakesTheStoredParametersOffLeavesThem) {
  using namespace engine::dsp;
  SoundWorld world;
  MainState& w = *world.w;
  // Idle deck: the sliders move and store, nothing else.
  keys::Save(QStringLiteral("Player1"), QStringLiteral("EchoLevel"), QStringLiteral("35"));
  w.Effects[ctl::kEchoBox].setChecked(true);
  EXPECT_EQ(w.sldEffects[10].value(), 35);
  EXPECT_EQ(w.sldEffects[11].value(), 1200) << "a missing key gives 10, outside the delay's range";
  EXPECT_EQ(Stored("Player1", "EchoDelay"), "1200");
  EXPECT_EQ(Stored("Player1", "Echo"), "1");
  w.Effects[ctl::kEchoBox].setChecked(false);
  EXPECT_EQ(Stored("Player1", "Echo"), "0");
  EXPECT_EQ(w.sldEffects[10].value(), 35);
  EXPECT_EQ(Stored("Player1", "EchoLevel"), "35");

  // Missing keys in range become 10; a key that is no number becomes 0.
  keys::Save(QStringLiteral("Player2"), QStringLiteral("Echo3DryMix"), QStringLiteral("loud"));
  w.Effects[17 - ctl::kBigEchoBox].setChecked(true);
  EXPECT_EQ(w.sldEffects[21].value(), 0);
  EXPECT_EQ(w.sldEffects[22].value(), 10);
  EXPECT_EQ(w.sldEffects[23].value(), 10);
  EXPECT_EQ(Stored("Player2", "Echo3"), "1");

  // Playing: the effect goes on the main and headphone streams with the
  // stored parameters; off takes it off both.
  clsBassPlayer& p = world.P(1, 0);
  SoundWorld::Start(p);
  SoundWorld::AttachMirror(p, 0);
  keys::Save(QStringLiteral("Player1"), QStringLiteral("FlangerSpeed"), QStringLiteral("500"));
  w.Effects[ctl::kFlangerBox].setChecked(true);
  for (engine::Handle h : {p.STRM(), p.PreSTRM()}) {
    EXPECT_FLOAT_EQ(Record<FlangerParams>(h, kFlanger).speed, 0.005f);
    EXPECT_FLOAT_EQ(Record<FlangerParams>(h, kFlanger).wetDry, 0.1f);
  }
  w.Effects[ctl::kFlangerBox].setChecked(false);
  EXPECT_FALSE(engine::GetEffectParameters(p.STRM(), kFlanger, nullptr));
  EXPECT_FALSE(engine::GetEffectParameters(p.PreSTRM(), kFlanger, nullptr));

  // While a song's own effect record is applied the sliders' values count
  // and no key is read.
  w.sldEffects[3].setValue(64);
  keys::Save(QStringLiteral("Player1"), QStringLiteral("ReverbLevel"), QStringLiteral("5"));
  w.SongEffectsActive = true;
  w.Effects[ctl::kReverbBox].setChecked(true);
  w.SongEffectsActive = false;
  EXPECT_EQ(w.sldEffects[3].value(), 64);
  EXPECT_FLOAT_EQ(Record<ReverbParams>(p.STRM(), kReverb).level, 0.64f);
  EXPECT_EQ(Stored("Player1", "ReverbLevel"), "64");
}

TEST(EffectSwitches, EqualizerAndPitchBoxesResetAndStayTicked) {
  SoundWorld world;
  MainState& w = *world.w;
  clsBassPlayer& p = world.P(2, 1);
  SoundWorld::Start(p);
  for (size_t band = 10; band < 20; ++band) w.Eq[band].setValue(static_cast<int>(band % 10));
  ASSERT_FLOAT_EQ(BandGain(p.STRM(), 9), -4.0f);
  // Deck 2's tones: High stored, Mid not a number (it takes High's), Bass
  // missing (10).
  keys::Save(QStringLiteral("Eq2"), QStringLiteral("High"), QStringLiteral("3"));
  keys::Save(QStringLiteral("Eq2"), QStringLiteral("Mid"), QStringLiteral("x"));
  {
    const ui::EventBlocker shownOnly(w.UpDown[7]);
    w.UpDown[7].setValue(15);
  }

  w.Effects[17].setChecked(true);  // deck 2's Equalizer
  // Flat bands, but for the two whose tones changed: those spinners' own
  // handlers put the tones (3: -7 dB) on them.
  for (size_t band = 10; band < 20; ++band) {
    EXPECT_EQ(w.Eq[band].value(), 5);
    EXPECT_EQ(Stored("Eq2", QString::number(band - 10).toLatin1().constData()), "5");
    const bool toned = band == 14 || band == 17;
    EXPECT_FLOAT_EQ(BandGain(p.STRM(), static_cast<int32_t>(band - 10)), toned ? -7.0f : 0.0f) << band;
  }
  EXPECT_EQ(w.UpDown[5].value(), 3);
  EXPECT_EQ(w.UpDown[6].value(), 3);
  EXPECT_EQ(w.UpDown[7].value(), 10);
  EXPECT_EQ(Stored("Player2", "Equalizer"), "0");
  EXPECT_TRUE(w.Effects[17].isChecked());
  // The user's click on the ticked box resets again and leaves it ticked.
  w.Eq[12].setValue(9);
  w.Effects[17].setChecked(false);
  EXPECT_TRUE(w.Effects[17].isChecked());
  EXPECT_EQ(w.Eq[12].value(), 5);

  // Pitch, deck 1 (nothing plays there: the tempo and rate are not
  // stored, pitch is).
  w.sldEffects[0].setValue(12);
  w.sldEffects[1].setValue(30000);
  w.sldEffects[2].setValue(-4);
  w.Effects[1].setChecked(true);
  EXPECT_EQ(w.sldEffects[0].value(), 0);
  EXPECT_EQ(w.sldEffects[1].value(), 44100);
  EXPECT_EQ(w.sldEffects[2].value(), 0);
  EXPECT_EQ(Stored("Player1", "PitchScaling"), "0");
  EXPECT_EQ(Stored("Player1", "Pitch"), "0");
  EXPECT_EQ(w.SCLabel1[ctl::kLblTempo1].text(), "Tempo = 0%");
  EXPECT_TRUE(w.Effects[1].isChecked());
}

TEST(EqualiserAndTone, BandsGainAndToneReachEveryPlayingMainStreamOfTheirDeck) {
  using namespace engine::dsp;
  SoundWorld world;
  MainState& w = *world.w;
  clsBassPlayer& a = world.P(1, 0);
  clsBassPlayer& b = world.P(1, 1);
  clsBassPlayer& other = world.P(2, 0);
  // Idle: stored, and both captions show the spinners.
  w.UpDown[0].setValue(23);
  w.UpDown[1].setValue(4);
  w.Eq[3].setValue(8);
  EXPECT_EQ(w.SCLabel1[ctl::kLblGain1].text(), "Gain(-3)");
  EXPECT_EQ(w.SCLabel1[ctl::kLblHigh1].text(), "High(-6)");
  EXPECT_EQ(Stored("Player1", "Gain"), "23");
  EXPECT_EQ(Stored("Eq1", "High"), "4");
  EXPECT_EQ(Stored("Eq1", "3"), "8");

  // Both players of deck 1 play (a crossfade within the deck), deck 2 too.
  SoundWorld::Start(a);
  SoundWorld::Start(b);
  SoundWorld::Start(other);
  SoundWorld::AttachMirror(a, 0);
  w.Decks.FadeActive[decks::k1A_1B] = true;
  w.Eq[3].setValue(2);
  w.UpDown[3].setValue(0);
  w.UpDown[0].setValue(52);
  for (clsBassPlayer* p : {&a, &b}) {
    EXPECT_FLOAT_EQ(BandGain(p->STRM(), 3), 3.0f);
    EXPECT_FLOAT_EQ(BandGain(p->STRM(), 1), -10.0f);
    const VolumeParams v = Record<VolumeParams>(p->STRM(), kVolume);
    EXPECT_EQ(v.channel, 0);
    EXPECT_FLOAT_EQ(v.volume, 2.0f);
  }
  EXPECT_EQ(w.SCLabel1[ctl::kLblHigh1 + 4].text(), "Low(-10)");
  EXPECT_EQ(w.SCLabel1[ctl::kLblGain1].text(), "Gain(26)");
  // Neither the headphone mirror nor the other deck.
  EXPECT_FALSE(engine::GetEffectParameters(a.PreSTRM(), kPeakEq, nullptr));
  EXPECT_FALSE(engine::GetEffectParameters(a.PreSTRM(), kVolume, nullptr));
  EXPECT_FLOAT_EQ(BandGain(other.STRM(), 3), 0.0f);
  EXPECT_FALSE(engine::GetEffectParameters(other.STRM(), kVolume, nullptr));

  // Deck 2's controls: deck 2's stream only. A paused player keeps its gains.
  w.Eq[10].setValue(0);
  EXPECT_FLOAT_EQ(BandGain(other.STRM(), 0), 5.0f);
  EXPECT_FLOAT_EQ(BandGain(a.STRM(), 0), 0.0f);
  b.PausePlay();
  w.Eq[3].setValue(5);
  EXPECT_FLOAT_EQ(BandGain(a.STRM(), 3), 0.0f);
  EXPECT_FLOAT_EQ(BandGain(b.STRM(), 3), 3.0f);
}
