// The player over the engine's "No sound" device on the manual clock: no
// sound card, no waiting.
#include "FakeAnalysisHost.h"
#include "StringTable.h"
#include "TempDir.h"
#include "audio/BassPlayer.h"
#include "audio/Messages.h"
#include "audio/ModBass.h"
#include "engine/Engine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace djvp;

namespace {

QString Fixture(const char* name) { return QString(DJVP_TEST_FIXTURES "/") + name; }

// Captures the players' messages and resets the language around a test.
class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::SetManualClock(true);
    previous_ = SetMessageSink([this](const QString& text) { messages.push_back(text); });
    LangOffset = 0;
  }
  void TearDown() override {
    SetMessageSink(previous_);
    LangOffset = 0;
  }
  // Advances the "No sound" device and returns the mixed output.
  std::vector<float> Render(size_t frames) {
    std::vector<float> out(frames * 2);
    engine::RenderNoSound(out.data(), frames);
    return out;
  }
  std::vector<QString> messages;
  FakeAnalysisHost host;

 private:
  MessageSink previous_;
};

}  // namespace

TEST(PlayerSpeakers, SpeakerCodesSelectFlags) {
  struct Case {
    int16_t code;
    uint32_t flag;
  } cases[] = {{1, 0x1000000}, {2, 0x2000000}, {3, 0x3000000}, {4, 0x4000000}, {0, 0}, {7, 0}, {-1, 0}};
  for (const auto& c : cases) EXPECT_EQ(SpeakerFlag(c.code), c.flag) << c.code;
}

TEST(ModBassWords, WordsAndLongs) {
  const uint32_t level = (32768u << 16) | 100u;
  EXPECT_EQ(modBass_HiWord(level), 32768);
  EXPECT_EQ(modBass_LoWord(level), 100);
  EXPECT_EQ(modBass_MakeLong(2, 3), 196610);
  EXPECT_THROW(modBass_MakeLong(0, 40000), std::overflow_error);
}

TEST_F(PlayerTest, OpenPlayPauseResumeStop) {
  clsBassPlayer p;
  p.filename(Fixture("player/gap.flac"));
  ASSERT_TRUE(p.OpenFile());
  ASSERT_NE(p.STRM(), 0u);
  EXPECT_EQ(p.DummyTime(), 4);
  EXPECT_EQ(p.PreSTRM(), 0u);  // no headphone device: no mirror

  p.StartMixPoint(2 * 44100);  // half a second in (4 bytes a frame)
  p.volume(100);
  ASSERT_TRUE(p.Play());
  EXPECT_TRUE(p.IsPlaying());
  EXPECT_FALSE(p.IsPaused());
  EXPECT_NE(p.hBPM(), 0u);  // the start-BPM detection ran
  Render(44100);            // one second: from 0.5 s to 1.5 s
  EXPECT_NEAR(engine::BytesToSeconds(p.STRM(), engine::Position(p.STRM())), 1.5, 0.05);
  EXPECT_GT(p.dB(), -7.0f);  // the tone at half scale: about -6 dB
  EXPECT_LT(p.dB(), -5.0f);

  p.PausePlay();
  EXPECT_FALSE(p.IsPlaying());
  EXPECT_TRUE(p.IsPaused());
  const int64_t paused = engine::Position(p.STRM());
  Render(4410);
  EXPECT_EQ(engine::Position(p.STRM()), paused);
  EXPECT_EQ(p.dB(), kSilenceDb);  // a paused stream reads as silence, not 0 dB

  p.ResumePlay();
  EXPECT_TRUE(p.IsPlaying());
  Render(4410);
  EXPECT_GT(engine::Position(p.STRM()), paused);

  p.StopPlay();
  EXPECT_FALSE(p.IsPlaying());
  EXPECT_FALSE(p.IsPaused());
  EXPECT_EQ(engine::IsActive(p.STRM()), 0u);
  EXPECT_TRUE(messages.empty());
}

TEST_F(PlayerTest, LengthRoundsHalvesToEven) {
  struct Case {
    const char* file;
    int32_t seconds;
  } cases[] = {{"player/len2_5.flac", 2}, {"player/len3_5.flac", 4}};
  for (const auto& c : cases) {
    clsBassPlayer p;
    p.filename(Fixture(c.file));
    p.OpenFile();
    EXPECT_EQ(p.DummyTime(), c.seconds) << c.file;
  }
}

TEST_F(PlayerTest, FailuresShowTheirMessageAndReportFailure) {
  clsBassPlayer p;
  p.filename(Fixture("audio/notaudio.mp3"));
  EXPECT_FALSE(p.OpenFile());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Can't create stream\n" + Fixture("audio/notaudio.mp3") + ": not sound that this program can play");

  // In Dutch, through the language offset; the system's own reason.
  LangOffset = 1000;
  p.filename("/no/such/song.mp3");
  EXPECT_FALSE(p.OpenFile());
  EXPECT_EQ(messages.back(), "Kan de stream niet creëeren\n/no/such/song.mp3: " + QString::fromLocal8Bit(std::strerror(ENOENT)));

  // Play of a player whose stream could not be made.
  clsBassPlayer never;
  EXPECT_FALSE(never.Play());
  EXPECT_EQ(messages.back(), QString::fromStdString(LoadResString(1212)));
  EXPECT_FALSE(never.IsPlaying());

  // Stop on a player never opened shows nothing.
  const size_t shown = messages.size();
  clsBassPlayer idle;
  idle.StopPlay();
  EXPECT_EQ(messages.size(), shown);
  EXPECT_FALSE(idle.IsPlaying());
}

TEST_F(PlayerTest, EachFileThatCannotPlayIsNamedWithWhy) {
  TempDir dir;
  const std::string fifo = dir.file("song.mp3");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string empty = dir.file("empty.flac");
  TempDir::Write(empty, std::string());
  struct Case {
    QString file;
    QString why;
  } const cases[] = {
      // A FIFO is refused at once: nothing waits for a writer.
      {QString::fromStdString(fifo), "not a regular file (a folder, a pipe or a device)"},
      {QString::fromStdString(dir.path().string()), "not a regular file (a folder, a pipe or a device)"},
      {QString::fromStdString(empty), "the file is empty"},
      {Fixture("unusual/rate8.flac"), "its header gives an impossible sample rate: 8 Hz"},
      {Fixture("unusual/granule.ogg"), "its header gives a length too long to play"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.toStdString());
    messages.clear();
    clsBassPlayer p;
    p.filename(c.file);
    EXPECT_FALSE(p.OpenFile());
    EXPECT_EQ(p.STRM(), 0u);
    EXPECT_EQ(messages, (std::vector<QString>{"Can't create stream\n" + c.file + ": " + c.why}));
  }
}

TEST_F(PlayerTest, UnusualSongsOpenPlayAndMeasure) {
  // Hi-res, twenty channels, a rate change midway: the player opens and
  // plays them like any other, and their start tempo is measured.
  for (const char* name : {"unusual/hires384.flac", "unusual/ch20.ogg", "unusual/rate_change.mp3"}) {
    SCOPED_TRACE(name);
    clsBassPlayer p;
    p.filename(Fixture(name));
    ASSERT_TRUE(p.OpenFile());
    p.volume(100);
    ASSERT_TRUE(p.Play());
    Render(1323);  // 30 ms: the shortest lasts 60
    EXPECT_GT(engine::Position(p.STRM()), 0);
    EXPECT_GT(p.dB(), -12.0f) << "the tone is heard";
    engine::WaitForBackgroundWork();
    EXPECT_FALSE(engine::BpmPending(p.hBPM()));
    p.StopPlay();
    EXPECT_TRUE(messages.empty());
  }
}

TEST_F(PlayerTest, PreVolumeIgnoredWithoutHeadphoneDevice) {
  clsBassPlayer p;
  p.PreVolume(40);
  EXPECT_EQ(p.PreVolume(), 0);
}

TEST_F(PlayerTest, MixPointsFollowTheSilenceLevel) {
  host.silence = 10;  // start: above 800, back to at most 200; end: above 400
  AnalysisRow = 7;
  AnalysisProgress = 0.95f;
  clsBassPlayer p;  // the analysis player: device 0, no speakers, never played
  p.filename(Fixture("player/gap.flac"));
  ASSERT_TRUE(p.OpenFile());

  const int32_t start = p.StartMixPoint();
  EXPECT_NEAR(start / 4.0 / 44100.0, 1.0, 0.001);  // the tone starts after 1 s
  EXPECT_EQ(host.Cell(7, kColStartMixPoint).toString(), "01.00 sec");
  EXPECT_EQ(p.StoredStartMixPoint(), 0);  // a measurement changes nothing Play uses

  const int32_t end = p.EndMixPoint();
  EXPECT_NEAR(end / 4.0 / 44100.0, 3.0, 0.001);
  EXPECT_EQ(host.Cell(7, kColEndMixPoint).toString(), "03.00 sec");

  // Progress: 0.95 + 0.1 passes 1 and starts again from 0.
  EXPECT_LT(AnalysisProgress, 0.95f);

  // A file the scan cannot open: 0 and no cell written.
  host.cells.clear();
  clsBassPlayer broken;
  broken.filename("/no/such/file.flac");
  EXPECT_EQ(broken.StartMixPoint(), 0);
  EXPECT_EQ(broken.EndMixPoint(), 0);
  EXPECT_TRUE(host.cells.empty());
}

TEST_F(PlayerTest, BpmInOneWindowOnTheAnalysisPlayer) {
  AnalysisRow = 2;
  clsBassPlayer p;
  p.filename(Fixture("audio/beat128.mp3"));
  p.OpenFile();
  const QString bpm = p.BPM1();
  EXPECT_NEAR(bpm.toDouble(), 128.0, 0.6) << bpm.toStdString();
  EXPECT_EQ(host.Cell(2, kColBPM).toString(), bpm);

  clsBassPlayer tone;
  tone.filename(Fixture("player/len2_5.flac"));  // silence: no tempo
  tone.OpenFile();
  EXPECT_EQ(tone.BPM1(), "000.0");
}

TEST_F(PlayerTest, LevelsScaleWithTheMasterVolume) {
  clsBassPlayer p;
  p.filename(Fixture("player/gap.flac"));
  p.OpenFile();
  p.StartMixPoint(44100 * 4 + 4 * 4410);  // 1.1 s: inside the tone
  p.volume(100);
  p.Play();
  Render(2205);
  host.mainVolume = 0;
  const float full = p.LeftdB();
  EXPECT_NEAR(full, -6.02f, 0.3f);
  host.mainVolume = 50;
  EXPECT_NEAR(p.LeftdB(), 2 * full, 0.6f);
  host.mainVolume = 100;  // the master at its bottom: silence, no division by zero
  EXPECT_EQ(p.RightdB(), kSilenceDb);
  p.StopPlay();
}

TEST_F(PlayerTest, PeakFromTheGainTool) {
  AnalysisRow = 4;
  clsBassPlayer p;
  p.filename(Fixture("gain/loud.mp3"));
  const auto figure = p.Peak();
  ASSERT_TRUE(figure.has_value());
  EXPECT_NEAR(*figure, 89.0 + 13.47, 0.2);
  EXPECT_FLOAT_EQ(host.Cell(4, kColGain).toFloat(), *figure);

  clsBassPlayer missing;
  missing.filename("/no/such/song.mp3");
  EXPECT_FALSE(missing.Peak().has_value());
  EXPECT_TRUE(host.Cell(4, kColGain).toString().isEmpty());
}

// The headphone mirror of a new song plays at once at the headphone volume
// the player was given before Play. The headphones are an ALSA "null" device
// named in a temporary ~/.asoundrc, so no sound card is needed.
TEST_F(PlayerTest, HeadphoneMirrorOfANewSongPlaysAtItsHeadphoneVolume) {
  TempDir home;
  TempDir::Write(home.file(".asoundrc"), "pcm.djvpphones {\n  type null\n}\n");
  ScopedEnv env("HOME", home.path().string());
  ScopedEnv noJack("JACK_NO_START_SERVER", "1");
  if (!engine::RescanDevices()) GTEST_SKIP() << "a sound device is in use by this process";
  int phones = -1;
  for (int i = 1; engine::DeviceName(i); ++i)
    if (std::string(engine::DeviceName(i)) == "djvpphones") phones = i;
  if (phones < 0) GTEST_SKIP() << "PortAudio lists no ALSA devices here";
  ASSERT_TRUE(engine::DeviceInit(phones, 44100, 0));

  clsBassPlayer p;
  p.device(0);
  p.PreDevice(static_cast<int16_t>(phones));
  p.filename(Fixture("player/gap.flac"));
  ASSERT_TRUE(p.OpenFile());
  p.StartMixPoint(0);
  p.PreVolume(60);  // the deck's headphone slider, as the start writes it
  p.volume(100);
  ASSERT_TRUE(p.Play());
  ASSERT_NE(p.PreSTRM(), 0u);
  uint32_t volume = 0;
  ASSERT_TRUE(engine::GetAttributes(p.PreSTRM(), nullptr, &volume, nullptr));
  EXPECT_EQ(volume, 60u);
  p.StopPlay();

  // Headphones that go away between the opening and the start: the start
  // fails, and the message names the song once, whether it is shown at once
  // or collected with others.
  const QString file = Fixture("player/gap.flac");
  std::vector<FileMessage> collected;
  for (bool collect : {false, true}) {
    if (collect) {
      ASSERT_TRUE(engine::DeviceInit(phones, 44100, 0));
    }
    ASSERT_TRUE(p.OpenFile());
    engine::DeviceSelect(phones);
    engine::DeviceFree();
    messages.clear();
    if (collect) SetThreadFileMessageSink([&](const FileMessage& m) { collected.push_back(m); });
    EXPECT_FALSE(p.Play());
    SetThreadFileMessageSink({});
    EXPECT_FALSE(p.IsPlaying());
    p.StopPlay();
    if (!collect) {
      EXPECT_EQ(messages, std::vector<QString>{"Can't play prestream\n" + file});
    }
  }
  ASSERT_EQ(collected.size(), 1u);
  EXPECT_EQ(collected[0].file, file);
  EXPECT_EQ(collected[0].Reason(), "Can't play prestream");
}
