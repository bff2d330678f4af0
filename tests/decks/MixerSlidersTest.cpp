// The hand controls of the mix on players that really play (the "No sound"
// device on the manual clock): seek, deck and headphone volume, crossfader,
// pre-listen, master volume, and the mixing settings' switches and sliders.
#include "MixerTestEnv.h"

#include "decks/MixerSliders.h"
#include "engine/Engine.h"
#include "StringTable.h"

#include <gtest/gtest.h>

using namespace djvp;

namespace {

QString Song(const char* name) { return QStringLiteral(DJVP_TEST_FIXTURES "/") + QLatin1String(name); }

// Starts the song on the player as the deck start does: on device 0, at full
// volume, from its beginning.
void Start(clsBassPlayer* p, const char* song = "player/gap.flac") {
  p->device(0);
  p->PreDevice(0);
  p->filename(Song(song));
  ASSERT_TRUE(p->OpenFile());
  p->StartMixPoint(0);
  p->volume(100);
  ASSERT_TRUE(p->Play());
  ASSERT_TRUE(p->IsPlaying());
}

uint32_t EngineVolume(const clsBassPlayer* p) {
  uint32_t freq = 0, volume = 0;
  int pan = 0;
  engine::GetAttributes(p->STRM(), &freq, &volume, &pan);
  return volume;
}

double Seconds(const clsBassPlayer* p) {
  return engine::BytesToSeconds(p->STRM(), static_cast<uint64_t>(engine::Position(p->STRM())));
}

double MirrorSeconds(const clsBassPlayer* p) {
  return engine::BytesToSeconds(p->PreSTRM(), static_cast<uint64_t>(engine::Position(p->PreSTRM())));
}

uint32_t MirrorVolume(const clsBassPlayer* p) {
  uint32_t freq = 0, volume = 0;
  int pan = 0;
  engine::GetAttributes(p->PreSTRM(), &freq, &volume, &pan);
  return volume;
}

// Gives the playing player a headphone mirror of its song as the player
// keeps one for a headphone device: silent, at the player's position,
// playing. The mirror plays on the "No sound" device here, so that the
// manual clock moves it too.
void AttachMirror(clsBassPlayer* p) {
  engine::DeviceSelect(0);
  const engine::Handle decode =
      engine::OpenFileStream(false, p->filename().toUtf8().constData(), 0, 0, engine::kDecode);
  const engine::Handle mirror = engine::CreateTempoStream(decode, engine::kFreeSource);
  ASSERT_NE(mirror, 0u);
  engine::Seek(mirror, static_cast<uint64_t>(engine::Position(p->STRM())));
  engine::SetAttributes(mirror, -1, 0, -101);
  engine::Play(mirror, false);
  p->PreSTRM(mirror);
  p->PreDevice(1);
}

void Render(size_t frames) {
  std::vector<float> out(frames * 2);
  engine::RenderNoSound(out.data(), frames);
}

class MixerSliders : public ::testing::Test {
 protected:
  void SetUp() override { engine::SetManualClock(true); }
  void TearDown() override {
    for (clsBassPlayer* p : {Deck1PlayerA, Deck1PlayerB, Deck2PlayerA, Deck2PlayerB}) p->StopPlay();
  }
  MixerWindow m;
  MainState& w = *m.w;
  clsBassPlayer* Deck1PlayerA = w.Player(djvp::kDeck1, 0);
  clsBassPlayer* Deck1PlayerB = w.Player(djvp::kDeck1, 1);
  clsBassPlayer* Deck2PlayerA = w.Player(djvp::kDeck2, 0);
  clsBassPlayer* Deck2PlayerB = w.Player(djvp::kDeck2, 1);
};

}  // namespace

TEST_F(MixerSliders, VolumeSlidersAttenuateOnlyThePlayingPlayers) {
  Start(Deck1PlayerA);
  Start(Deck2PlayerB);
  Deck1PlayerB->volume(55);  // idle player: left alone
  w.Volume1.setValue(30);
  EXPECT_EQ(Deck1PlayerA->volume(), 70);
  EXPECT_EQ(EngineVolume(Deck1PlayerA), 70u);
  EXPECT_EQ(Deck1PlayerB->volume(), 55);
  EXPECT_EQ(Deck2PlayerB->volume(), 100) << "deck 2 is not deck 1's slider's";
  w.Volume2.setValue(100);
  EXPECT_EQ(Deck2PlayerB->volume(), 0);
  EXPECT_EQ(EngineVolume(Deck2PlayerB), 0u);

  // A paused player is not touched.
  Deck1PlayerA->PausePlay();
  w.Volume1.setValue(0);
  EXPECT_EQ(Deck1PlayerA->volume(), 70);

  // Moves made while the sliders are only shown change no volume.
  const ui::EventBlocker quiet(w.Volume2);
  w.Volume2.setValue(40);
  EXPECT_EQ(Deck2PlayerB->volume(), 0);
}

TEST_F(MixerSliders, CrossfaderSetsBothDecksVolumeSliders) {
  Start(Deck1PlayerA);
  Start(Deck1PlayerB);
  Start(Deck2PlayerA);
  const struct {
    int crossfader, deck1, deck2;
  } cases[] = {{0, 100, 0}, {30, 70, 30}, {100, 0, 100}, {50, 50, 50}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.crossfader);
    w.Slider1.setValue(k.crossfader);
    mixer::Slider1_ValueChanged(w);  // also when the slider stood there already
    EXPECT_EQ(w.Volume1.value(), k.crossfader);
    EXPECT_EQ(w.Volume2.value(), 100 - k.crossfader);
    EXPECT_EQ(Deck1PlayerA->volume(), k.deck1);
    EXPECT_EQ(Deck1PlayerB->volume(), k.deck1);
    EXPECT_EQ(Deck2PlayerA->volume(), k.deck2);
    EXPECT_EQ(EngineVolume(Deck2PlayerA), static_cast<uint32_t>(k.deck2));
  }
  // With the slider events held back the volume sliders move, the players
  // keep their volumes.
  const ui::EventBlocker quiet1(w.Volume1), quiet2(w.Volume2);
  w.Slider1.setValue(10);
  EXPECT_EQ(w.Volume1.value(), 10);
  EXPECT_EQ(w.Volume2.value(), 90);
  EXPECT_EQ(Deck1PlayerA->volume(), 50);
  EXPECT_EQ(Deck2PlayerA->volume(), 50);
}

TEST_F(MixerSliders, SeekPutsBothPlayingPlayersOfTheDeckAtTheSecondAndPlaysOn) {
  Start(Deck1PlayerA);
  Start(Deck1PlayerB, "audio/beat128.mp3");
  Start(Deck2PlayerA);
  Render(4410);  // a tenth of a second
  w.Position1.setMaximum(10);
  w.Position1.setValue(2);
  EXPECT_NEAR(Seconds(Deck1PlayerA), 2.0, 0.001);
  EXPECT_NEAR(Seconds(Deck1PlayerB), 2.0, 0.001);
  EXPECT_NEAR(Seconds(Deck2PlayerA), 0.1, 0.001) << "the other deck plays on";
  EXPECT_EQ(engine::IsActive(Deck1PlayerA->STRM()), engine::kPlaying);
  Render(44100 / 2);
  EXPECT_NEAR(Seconds(Deck1PlayerA), 2.5, 0.01) << "played on from the new place";
  EXPECT_NEAR(Seconds(Deck1PlayerB), 2.5, 0.01);

  // Deck 2's slider moves deck 2 only.
  w.Position2.setMaximum(10);
  w.Position2.setValue(1);
  EXPECT_NEAR(Seconds(Deck2PlayerA), 1.0, 0.001);
  EXPECT_NEAR(Seconds(Deck1PlayerA), 2.5, 0.01);
}

TEST_F(MixerSliders, SeekLeavesPausedStoppedAndShownMovesAlone) {
  w.Position1.setMaximum(10);
  w.Position1.setValue(3);  // nothing plays: nothing to do
  Start(Deck1PlayerA);
  Render(4410);
  Deck1PlayerA->PausePlay();
  w.Position1.setValue(1);
  EXPECT_NEAR(Seconds(Deck1PlayerA), 0.1, 0.001);
  EXPECT_EQ(engine::IsActive(Deck1PlayerA->STRM()), engine::kPaused) << "a paused player stays paused";
  EXPECT_EQ(w.Position1.value(), 1) << "the slider keeps its value";
  Deck1PlayerA->ResumePlay();
  const ui::EventBlocker quiet(w.Position1);
  w.Position1.setValue(3);
  EXPECT_NEAR(Seconds(Deck1PlayerA), 0.1, 0.001);
}

TEST_F(MixerSliders, HeadphoneMirrorFollowsItsSlidersAndTheSeek) {
  Start(Deck1PlayerA, "audio/beat128.mp3");
  Start(Deck2PlayerA);
  Render(4410);
  AttachMirror(Deck1PlayerA);
  ASSERT_NO_FATAL_FAILURE();
  EXPECT_EQ(MirrorVolume(Deck1PlayerA), 0u);

  w.VolumeHP1.setValue(25);
  EXPECT_EQ(Deck1PlayerA->PreVolume(), 75);
  EXPECT_EQ(MirrorVolume(Deck1PlayerA), 75u);
  EXPECT_EQ(EngineVolume(Deck1PlayerA), 100u) << "the deck's own output keeps its volume";
  w.Volume1.setValue(40);
  EXPECT_EQ(MirrorVolume(Deck1PlayerA), 75u) << "the deck volume is not the headphone volume";
  w.VolumeHP2.setValue(90);
  EXPECT_EQ(MirrorVolume(Deck1PlayerA), 75u) << "deck 2's headphone slider is deck 2's";

  // Pre-listening: the mirror plays on where the deck is; the playback
  // timer is told to mix nothing meanwhile.
  w.Command1.click();
  EXPECT_TRUE(w.PreListenOn);
  Render(4410);
  EXPECT_EQ(engine::IsActive(Deck1PlayerA->PreSTRM()), engine::kPlaying);
  EXPECT_NEAR(MirrorSeconds(Deck1PlayerA), Seconds(Deck1PlayerA), 0.001);

  // A seek takes the mirror along to the same second.
  w.Position1.setMaximum(12);
  w.Position1.setValue(7);
  EXPECT_NEAR(Seconds(Deck1PlayerA), 7.0, 0.001);
  EXPECT_NEAR(MirrorSeconds(Deck1PlayerA), 7.0, 0.001);
  Render(44100);
  EXPECT_NEAR(MirrorSeconds(Deck1PlayerA), 8.0, 0.01);
  EXPECT_NEAR(Seconds(Deck1PlayerA), 8.0, 0.01);

  // Paused, neither slider reaches the mirror.
  Deck1PlayerA->PausePlay();
  w.VolumeHP1.setValue(0);
  EXPECT_EQ(MirrorVolume(Deck1PlayerA), 75u);
  Deck1PlayerA->StopPlay();
}

TEST_F(MixerSliders, HeadphoneVolumeWithoutAHeadphoneDeviceChangesNothing) {
  Start(Deck1PlayerA);
  w.VolumeHP1.setValue(20);
  EXPECT_EQ(Deck1PlayerA->PreVolume(), 0);
  EXPECT_EQ(Deck1PlayerA->PreSTRM(), 0u);
  EXPECT_EQ(Deck1PlayerA->volume(), 100) << "the deck volume is not the headphone volume";
}

TEST_F(MixerSliders, PreListenLabelFollowsTheSwitchInEitherLanguage) {
  const ui::Caption& label = w.SCLabel1[ctl::kLblPreListenState];
  mixer::ShowPreListenState(w);
  EXPECT_EQ(label.text(), "OFF");
  EXPECT_FALSE(w.PreListenOn);
  w.Command1.click();
  EXPECT_TRUE(w.PreListenOn);
  EXPECT_EQ(label.text(), "ON");
  // In Dutch the switch still decides, whatever the label said before.
  LangOffset = 1000;
  w.Command1.click();
  EXPECT_FALSE(w.PreListenOn);
  EXPECT_EQ(label.text(), QString::fromStdString(Tr(537)));
  w.Command1.click();
  EXPECT_TRUE(w.PreListenOn);
  EXPECT_EQ(label.text(), QString::fromStdString(Tr(552)));
  EXPECT_NE(label.text(), "ON");
  LangOffset = 0;
}

TEST(MixerMasterVolume, SliderSetsTheSystemWaveVolume) {
  const struct {
    int32_t maximum;
    int slider;
    int32_t written;
  } cases[] = {{65535, 0, 65535}, {65535, 50, 32767}, {65535, 100, 0}, {100, 25, 75}, {31, 50, 16}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.maximum);
    SCOPED_TRACE(k.slider);
    MixerWindow m;
    m.UseMixer(k.maximum, k.maximum);
    m.w->MainVolume.setValue(k.slider);
    mixer::MainVolume_ValueChanged(*m.w);
    EXPECT_EQ(m.mixerWritten, k.written);
  }
}

TEST(MixerSettings, SwitchesAndSlidersAreAppliedAndStoredAtOnce) {
  MixerWindow m;
  MainState& w = *m.w;
  auto stored = MixerWindow::Stored;
  // Auto Mix off shows the crossfader, on hides it again.
  w.Check1[0].setChecked(false);
  EXPECT_FALSE(w.AutomixOn);
  EXPECT_TRUE(w.Slider1.isVisible());
  EXPECT_TRUE(w.SCLabel1[149].isVisible());
  EXPECT_EQ(stored("Settings", "Automix"), "0");
  w.Check1[0].setChecked(true);
  EXPECT_TRUE(w.AutomixOn);
  EXPECT_FALSE(w.Slider1.isVisible());
  EXPECT_EQ(stored("Settings", "Automix"), "1");

  const struct {
    size_t box;
    bool MainState::*field;
    const char* key;
  } boxes[] = {{1, &MainState::AutoGainOn, "AutoGain"}, {2, &MainState::AutoBPMOn, "AutoBPM"},
               {3, &MainState::UseMixPoints, "MixPoints"}};
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.key);
    for (bool on : {true, false}) {
      w.Check1[b.box].setChecked(on);
      EXPECT_EQ(w.*b.field, on);
      EXPECT_EQ(stored("Settings", b.key), on ? "1" : "0");
    }
  }

  for (int t : {0, 100, 35}) {
    w.MixerTime.setValue(t);
    EXPECT_EQ(w.MixTime, t);
    EXPECT_EQ(w.lblTime.text(), QString::number(t) + " Seconds");
    EXPECT_EQ(stored("Mixer", "MixTime"), QString::number(t));
  }
  // The caption takes the language of the moment of the change.
  LangOffset = 1000;
  EXPECT_EQ(w.lblTime.text(), "35 Seconds");
  w.MixerTime.setValue(20);
  EXPECT_EQ(w.lblTime.text(), "20 Seconden");
  LangOffset = 0;

  w.AutomationSlider[1].setValue(25);
  EXPECT_EQ(stored("Settings", "GainPercent"), "25");
  w.AutomationSlider[0].setValue(30);
  EXPECT_EQ(stored("Settings", "BPMPercent"), "30");
}
