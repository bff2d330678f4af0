// A song's own effect record, read from its tag comment when the song
// starts: where each format keeps it, records that are short, shifted or
// hold odd lines, formats that carry none, and what the record does to the
// deck's sound.
#include "SongStartWorld.h"

#include "effects/SongStart.h"
#include "engine/dsp/Dsp.h"
#include "ui/SettingsKeys.h"

#include <string>

using namespace djvp;

namespace {

using Controls = std::vector<int>;

// The controls of a deck as a new window has them.
const Controls kUntouched = {26, 10, 10, 10, 0,   5, 5, 5, 5, 5, 5, 5,    5, 5, 5, 0, 44100, 0,
                             0,  1200, 200, 2, 0, 0, 0, 0, 1200, 0, 0, 0, 0, 0, 0, 0, 0,    0};
// Record A of the fixtures and record B, which follows A in record2.mp3.
const Controls kA = {30, 12, 8, 14, 20, 0,  1,  2, 3,  4,    6,   7,    8,   9,   10, 4, 44100, -2,
                     40, 3000, 1500, 4, -50, 60, 300, 70, 9000, 450, 55, 0, 1, 0, 0, 1, 1,    0};
const Controls kB = {20, 15, 8, 14, 30, 3,  3,  3, 3,  3,    3,   3,    3,   3,   3,  -3, 44100, 1,
                     40, 3000, 1500, 4, -50, 60, 300, 70, 9000, 450, 55, 0, 1, 0, 0, 1, 0,    1};

}  // namespace

TEST(EffectRecord, EachFormatKeepsItsRecordInItsOwnPlace) {
  // A without its header line: every value one control early. Values a
  // control cannot take (the sample rate as a tempo, ...) leave it.
  const Controls shifted = {12, 8,    14,  20, 0,  1,  2, 3, 4, 6, 7, 8, 9, 10, 4, 0, 44100, 0,
                            0,  1500, 200, 2,  60, 0, 70, 0, 1200, 55, 0, 1, 0, 0, 1, 1, 0, 0};
  // A with odd lines: 31.6 for the gain, "mid", " 2.5 " for the tempo, a
  // reverb level of 101 and an empty Echo line.
  Controls odd = kA;
  odd[0] = 32;
  odd[2] = 10;
  odd[15] = 2;
  odd[18] = 0;
  odd[34] = 0;
  // A cut after its tenth value.
  Controls cut = kUntouched;
  std::copy(kA.begin(), kA.begin() + 10, cut.begin());

  struct Case {
    std::string name;
    const char* file;
    Controls deck1;
  };
  const std::vector<Case> cases = {
      {"MP3: the first comment of the language SDE", "record.mp3", kA},
      {"MP3: a comment beginning with a marker line holds two records", "record2.mp3", kB},
      {"FLAC: a marker line among others", "record.flac", kA},
      {"Ogg: only a line that is exactly the marker", "record.ogg", kA},
      {"WMA: an empty header line", "record.wma", kA},
      {"FLAC: no header line", "noheader.flac", shifted},
      {"FLAC: lines that are no whole number or out of range", "broken.flac", odd},
      {"Ogg: a record cut short", "short.ogg", cut},
      {"MP3 without an ID3v2 tag: its APE comment is not read", "ape.mp3", kUntouched},
      {"MP4 carries no record", "record.m4a", kUntouched},
      {"a song without a record", "tone.mp3", kUntouched},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SongStartWorld world;
    world.Play(1, world.Add(1, k.file));
    ASSERT_TRUE(world.P(1, 0).IsPlaying());
    EXPECT_EQ(RecordControls(*world.w, 1), k.deck1);
    Controls deck2 = kUntouched;
    deck2[4] = k.deck1[4];  // the master volume is one for both decks
    EXPECT_EQ(RecordControls(*world.w, 2), deck2);
    EXPECT_FALSE(world.w->SongEffectsActive);
  }
}

TEST(EffectRecord, ARecordOnDeck2SetsDeck2AndTheMasterVolume) {
  SongStartWorld world;
  world.Play(2, world.Add(2, "record.flac"));
  EXPECT_EQ(RecordControls(*world.w, 2), kA);
  Controls deck1 = kUntouched;
  deck1[4] = kA[4];
  EXPECT_EQ(RecordControls(*world.w, 1), deck1);
}

TEST(EffectRecord, TheRecordReachesTheSongsSoundAndBecomesTheDecksSettings) {
  SongStartWorld world;
  MainState& w = *world.w;
  // Echo is on before the song starts (at the stored level); the record
  // keeps it on with its own level, and switches Low Pass and Swap on.
  w.Effects[ctl::kEchoBox].setChecked(true);
  world.Play(1, world.Add(1, "record.flac"));
  const engine::Handle h = world.P(1, 0).STRM();

  engine::dsp::VolumeParams volume{};
  ASSERT_TRUE(engine::GetEffectParameters(h, engine::dsp::kVolume, &volume));
  EXPECT_FLOAT_EQ(volume.volume, 30.0f / 26);
  EXPECT_NEAR(engine::RateRatio(h), 1.04, 1e-4);
  engine::dsp::PeakEqParams band{};
  band.band = 0;
  ASSERT_TRUE(engine::GetEffectParameters(h, engine::dsp::kPeakEq, &band));
  EXPECT_FLOAT_EQ(band.gain, 5.0f);
  band.band = 7;  // the High tone's band: the tone runs first, the band after it
  ASSERT_TRUE(engine::GetEffectParameters(h, engine::dsp::kPeakEq, &band));
  EXPECT_FLOAT_EQ(band.gain, 5.0f - 8);
  engine::dsp::EchoParams echo{};
  ASSERT_TRUE(engine::GetEffectParameters(h, engine::dsp::kEcho, &echo));
  EXPECT_FLOAT_EQ(echo.level, 0.7f);
  EXPECT_EQ(echo.delay, 9000);
  engine::dsp::LowPassParams lowPass{};
  ASSERT_TRUE(engine::GetEffectParameters(h, engine::dsp::kLowPass, &lowPass)) << "switched on by the record";
  EXPECT_FLOAT_EQ(lowPass.cutoff, 1500.0f);
  EXPECT_FLOAT_EQ(lowPass.resonance, 4.0f);
  engine::dsp::ReverbParams reverb{};
  EXPECT_FALSE(engine::GetEffectParameters(h, engine::dsp::kReverb, &reverb)) << "off in the record";

  // Stored as the deck's settings, as if the user had set the controls.
  auto stored = [](const char* section, const char* key) {
    return keys::Get(QLatin1String(section), QLatin1String(key), QStringLiteral("<none>"));
  };
  EXPECT_EQ(stored("Player1", "Gain"), "30");
  EXPECT_EQ(stored("Player1", "PitchTempo"), "4");
  EXPECT_EQ(stored("Player1", "EchoLevel"), "70");
  EXPECT_EQ(stored("Player1", "LowPass"), "1");
  EXPECT_EQ(stored("Player1", "Swap"), "1");
  EXPECT_EQ(stored("Eq1", "High"), "12");
  EXPECT_EQ(stored("Eq1", "0"), "0");
}

TEST(EffectRecord, WithAutoBpmOnlyACrossfadeWhoseTempoIsMatchedReachesTheRecord) {
  {
    SCOPED_TRACE("a start without crossfade ends before the record");
    SongStartWorld world;
    world.w->Check1[ctl::kAutoBPM].setChecked(true);
    world.Play(1, world.Add(1, "record.flac"));
    EXPECT_EQ(RecordControls(*world.w, 1), kUntouched);
  }
  {
    SCOPED_TRACE("the record comes after the tempo matching and wins");
    SongStartWorld world;
    MainState& w = *world.w;
    w.Check1[ctl::kAutoBPM].setChecked(true);
    w.AutomationSlider[0].setValue(10);
    world.Play(2, world.Add(2, "beat128.mp3"));
    world.Play(1, world.Add(1, "beat125fx.mp3"));
    ASSERT_TRUE(w.Decks.FadeActive[decks::k2A_1A]);
    EXPECT_EQ(w.sldEffects[0].value(), 5) << "the record's tempo, not the matched 3";
    EXPECT_NEAR(engine::RateRatio(world.P(1, 0).STRM()), 1.05, 1e-4);
  }
}

TEST(EffectRecord, ARecordInMemoryIsReadLineByLine) {
  // Straight from a text: a marker as the last line still runs the handlers
  // of a record without values; a switch set to 2 counts as off.
  SongStartWorld world;
  MainState& w = *world.w;
  w.Effects[ctl::kRotateBox].setChecked(true);
  QStringList lines = {QStringLiteral("SDE"), QStringLiteral("h")};
  for (int i = 0; i < 32; ++i) lines << QString();
  lines << QStringLiteral("2") << QStringLiteral("1") << QStringLiteral("0") << QStringLiteral("0")
        << QStringLiteral("SDE");
  effects::ApplyEffectRecords(w, djvp::kDeck1, lines, false, nullptr);
  EXPECT_FALSE(w.Effects[ctl::kRotateBox].isChecked());
  EXPECT_TRUE(w.Effects[ctl::kSwapBox].isChecked());
  EXPECT_FALSE(w.SongEffectsActive);
  EXPECT_EQ(keys::Get(QStringLiteral("Player1"), QStringLiteral("Rotate"), {}), "0");
}
