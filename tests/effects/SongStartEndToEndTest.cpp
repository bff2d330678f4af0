// The song start end to end: songs read from their tags into both decks'
// playlists, started by the Play buttons, a double click and the automix's
// next row, and mixed by the playback timer; what comes out is measured.
#include "SongStartWorld.h"

#include "decks/AudioOps.h"
#include "decks/PlaybackTimer.h"
#include "decks/Transport.h"
#include "engine/dsp/Dsp.h"

#include <algorithm>

using namespace djvp;

namespace {

constexpr size_t kTickFrames = 2426;  // the playback timer's 55 ms

// The tempo the engine measures in a song's first 30 seconds, as the
// library's analysis writes it into the BPM cell.
QString MeasuredBpm(const char* file) {
  const engine::Handle h =
      engine::OpenFileStream(false, SongFixture(file).toUtf8().constData(), 0, 0, engine::kDecode);
  const float bpm = engine::BpmOfSpan(h, 0, 30, 0, engine::kBpmMult2);
  engine::FreeBpm(h);
  engine::FreeStream(h);
  return playlists::FormatNumber(bpm, 3, 1);
}

// Seconds between the beats of the output: the thumps rise far above the
// hi-hats; a line through the onsets gives the period.
double BeatPeriod(const std::vector<float>& stereo) {
  std::vector<double> onsets;
  const size_t frames = stereo.size() / 2;
  for (size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / SoundWorld::kRate;
    if (std::fabs(stereo[f * 2]) > 0.2f && (onsets.empty() || t - onsets.back() > 0.25)) onsets.push_back(t);
  }
  if (onsets.size() < 3) return 0;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  const double n = static_cast<double>(onsets.size());
  for (size_t i = 0; i < onsets.size(); ++i) {
    const double x = static_cast<double>(i);
    sx += x, sy += onsets[i], sxx += x * x, sxy += x * onsets[i];
  }
  return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

class MixWorld : public SongStartWorld {
 public:
  MixWorld() {
    w->StartTime = QTime::currentTime();
    w->AutomixOn = true;
    w->MixTime = 2;
    // Out from 10 % to 100 % of the mix time, in from 0 % to 90 %.
    w->MixLeftU = 10;
    w->MixLeftD = 100;
    w->MixRightU = 90;
    w->MixRightD = 0;
  }
  // A row with the BPM cell from the measurement.
  int32_t AddMeasured(int deck, const char* file) {
    const int32_t row = Add(deck, file);
    SetCell(deck, row, ui::kBPM, MeasuredBpm(file));
    return row;
  }
  // One timer period: 55 ms of sound, then the timer's run (after the
  // engine's threads have measured what they were asked to meanwhile, which
  // takes them less than a period).
  std::vector<float> Tick() {
    std::vector<float> out(kTickFrames * 2);
    engine::RenderNoSound(out.data(), kTickFrames);
    engine::WaitForBackgroundWork();
    decks::tmrPlaying_ThatTime(*w);
    return out;
  }
  // Ticks until `done` (at most `limit` ticks); false when it never was.
  template <typename Done>
  bool TickUntil(Done done, int limit) {
    for (int n = 0; n < limit; ++n) {
      if (done()) return true;
      Tick();
    }
    return done();
  }
};

}  // namespace

TEST(SongStartEndToEnd, AutomixIntoA125BpmSongAfterA128BpmOnePlaysItThreePercentFaster) {
  MixWorld world;
  MainState& w = *world.w;
  w.Check1[ctl::kAutoBPM].setChecked(true);
  w.AutomationSlider[0].setValue(10);
  world.AddMeasured(1, "beat128.mp3");
  world.AddMeasured(1, "beat125.mp3");
  world.AddMeasured(2, "beat140.mp3");
  EXPECT_NEAR(ui::ParseNumber(ui::CellText(world.List(1), 1, ui::kBPM)).value_or(0), 128, 0.5);
  EXPECT_NEAR(ui::ParseNumber(ui::CellText(world.List(1), 2, ui::kBPM)).value_or(0), 125, 0.5);

  // Deck 1's Play button: nothing to match, the tempo stays.
  decks::cmdPlayer_Transport(w, ctl::kPlay);
  clsBassPlayer& a = world.P(1, 0);
  clsBassPlayer& b = world.P(1, 1);
  ASSERT_TRUE(a.IsPlaying());
  EXPECT_EQ(w.sldEffects[0].value(), 0);

  // Two seconds before the end the automix starts row 2 on deck 1's B player
  // and the tempo matching moves deck 1's tempo by the difference (at the
  // latest in the timer's next run, once the new song's tempo is measured).
  ASSERT_TRUE(world.TickUntil([&] { return b.IsPlaying(); }, 200));
  world.Tick();
  EXPECT_TRUE(w.Decks.FadeActive[decks::k1A_1B]);
  EXPECT_EQ(w.sldEffects[0].value(), 3);
  EXPECT_NEAR(w.Decks.MasterBPM, 128, 0.5);
  ASSERT_TRUE(world.TickUntil([&] { return !w.Decks.AnyTransition() && !a.IsPlaying(); }, 60));

  // Alone now: the song runs 3 % faster than the file, in its position and
  // in the beats that come out.
  const double from = decks::PlayerPosition(b);
  std::vector<float> heard;
  for (int n = 0; n < 80; ++n) {
    const std::vector<float> out = world.Tick();
    heard.insert(heard.end(), out.begin(), out.end());
  }
  const double seconds = 80.0 * kTickFrames / SoundWorld::kRate;
  EXPECT_NEAR((decks::PlayerPosition(b) - from) / seconds, 1.03, 0.003);
  EXPECT_NEAR(BeatPeriod(heard), 60.0 / 125 / 1.03, 60.0 / 125 * 0.003);

  // Deck 2's Play button fades from deck 1 into a 140 BPM song: deck 2's
  // tempo goes down by the difference to deck 1's 128.75.
  decks::cmdPlayer_Transport(w, ctl::kDeckButtons + ctl::kPlay);
  ASSERT_TRUE(w.Decks.FadeActive[decks::k1B_2A]);
  world.Tick();
  EXPECT_NEAR(w.Decks.MasterBPM, 125 * 1.03, 0.5);
  EXPECT_EQ(w.sldEffects[14].value(), -11);
  EXPECT_NEAR(engine::RateRatio(world.P(2, 0).STRM()), 0.89, 1e-4);
  EXPECT_EQ(w.sldEffects[0].value(), 3) << "deck 1 keeps its tempo";
}

TEST(SongStartEndToEnd, AutoGainPlaysASongWithTheFigure90TwiceAsLoud) {
  MixWorld world;
  MainState& w = *world.w;
  const int32_t row = world.Add(1, "tone.mp3");
  ASSERT_EQ(ui::CellText(world.List(1), row, ui::kGain), QStringLiteral("90.0"));
  world.Add(2, "tone.mp3");
  auto level = [] { return AmplitudeAt(SoundWorld::Heard(), 0, 1000); };

  w.Check1[ctl::kAutoGain].setChecked(true);
  decks::cmdPlayer_Transport(w, ctl::kPlay);
  const double on = level();
  decks::cmdPlayer_Transport(w, ctl::kStop);

  w.Check1[ctl::kAutoGain].setChecked(false);
  decks::PlayListView_DblClick(w, djvp::kDeck1);
  const double off = level();
  decks::cmdPlayer_Transport(w, ctl::kStop);
  EXPECT_NEAR(Db(on / off), Db(2.0), 0.5);

  // Deck 2's Play button, Auto Gain on again.
  w.Check1[ctl::kAutoGain].setChecked(true);
  decks::cmdPlayer_Transport(w, ctl::kDeckButtons + ctl::kPlay);
  ASSERT_TRUE(world.P(2, 0).IsPlaying());
  EXPECT_NEAR(Db(level() / off), Db(2.0), 0.5);
}

// A song at 0.8 of full scale whose loudness figure 95 makes Auto Gain play
// it 1.5 times as loud: the plain output would be cut flat at full scale
// thousands of times a second; what leaves the program stays below it and
// as loud as -1 dBFS allows. The figure's factor itself is as before.
TEST(SongStartEndToEnd, AutoGainPastFullScaleIsLimitedNotClipped) {
  std::vector<float> heard[2];
  for (bool limiter : {false, true}) {
    MixWorld world;
    MainState& w = *world.w;
    engine::SetOutputLimiter(limiter);
    SoundWorld::Render(0.05);  // silence: the limiter starts afresh
    const int32_t row = world.Add(1, "loud.mp3");
    ASSERT_EQ(ui::CellText(world.List(1), row, ui::kGain), QStringLiteral("95.0"));
    w.Check1[ctl::kAutoGain].setChecked(true);
    decks::cmdPlayer_Transport(w, ctl::kPlay);
    engine::dsp::VolumeParams factor{};
    ASSERT_TRUE(engine::GetEffectParameters(world.P(1, 0).STRM(), engine::dsp::kVolume, &factor));
    EXPECT_FLOAT_EQ(factor.volume, 1.5f);
    heard[limiter ? 1 : 0] = SoundWorld::Render(3.0);
    decks::cmdPlayer_Transport(w, ctl::kStop);
  }
  engine::SetOutputLimiter(true);
  size_t plainAtFull = 0, limitedAtFull = 0;
  float limitedPeak = 0;  // past the song's first 10 ms, which the soft knee takes
  for (float v : heard[0]) plainAtFull += std::fabs(v) >= 1.0f ? 1 : 0;
  for (size_t i = 0; i < heard[1].size(); ++i) {
    limitedAtFull += std::fabs(heard[1][i]) >= 1.0f ? 1 : 0;
    if (i >= 2 * 441) limitedPeak = std::max(limitedPeak, std::fabs(heard[1][i]));
  }
  EXPECT_GT(plainAtFull, 3000u);
  EXPECT_EQ(limitedAtFull, 0u);
  EXPECT_GT(limitedPeak, 0.885f);
  EXPECT_LT(limitedPeak, 0.944f);  // less than half a dB above -1 dBFS
}
