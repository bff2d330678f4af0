#include "TempDir.h"
#include "StringTable.h"
#include "platform/MessageBox.h"
#include "platform/SystemMixer.h"

#include <QProcess>
#include <QStandardPaths>

#include <map>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

using namespace djvp;

namespace {

// A mixer whose elements a test lays out; it records what was written.
struct FakeElement {
  bool volume = true;
  int32_t min = 0, max = 0;
  bool mute = true;
  int32_t volumeValue = 0;
  int32_t muteValue = 0;
};

class FakeMixer : public MixerDevice {
 public:
  explicit FakeMixer(std::map<QString, FakeElement>* elements) : elements_(elements) {}

  int32_t FindVolumeControl(const QString& element, int32_t& min, int32_t& max) override {
    auto it = elements_->find(element);
    if (it == elements_->end() || !it->second.volume) return 0;
    min = it->second.min;
    max = it->second.max;
    controls_.push_back({&it->second.volumeValue});
    return static_cast<int32_t>(controls_.size());
  }
  int32_t FindMuteControl(const QString& element) override {
    auto it = elements_->find(element);
    if (it == elements_->end() || !it->second.mute) return 0;
    controls_.push_back({&it->second.muteValue});
    return static_cast<int32_t>(controls_.size());
  }
  int GetValue(int32_t control, int32_t& value) override {
    if (control < 1 || control > static_cast<int32_t>(controls_.size())) return kMixerInvalidControl;
    value = *controls_[static_cast<size_t>(control - 1)].value;
    return 0;
  }
  int SetValue(int32_t control, int32_t value) override {
    if (control < 1 || control > static_cast<int32_t>(controls_.size())) return kMixerInvalidControl;
    *controls_[static_cast<size_t>(control - 1)].value = value;
    return 0;
  }

 private:
  struct Control {
    int32_t* value;
  };
  std::map<QString, FakeElement>* elements_;
  std::vector<Control> controls_;
};

class MessageCapture {
 public:
  MessageCapture() {
    old_ = SetMsgBoxHook([this](const QString& text, MsgButtons buttons) {
      texts.push_back(text);
      EXPECT_EQ(buttons, MsgButtons::Ok);
      return MsgResult::Ok;
    });
  }
  ~MessageCapture() { SetMsgBoxHook(old_); }
  std::vector<QString> texts;

 private:
  MsgBoxHook old_;
};

}  // namespace

TEST(SystemMixer, NoMixerShowsMessage218AndEveryCallDoesNothing) {
  struct Case {
    int32_t offset;
    const char* text;
  } cases[] = {{0, "No mixer found"}, {1000, "Geen mixer gevonden"}};
  for (const auto& c : cases) {
    LangOffset = c.offset;
    MessageCapture messages;
    clsVolume volume(nullptr);
    LangOffset = 0;
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], c.text);
    EXPECT_FALSE(volume.Found());
    EXPECT_EQ(volume.MinWaveVolume(), 0);
    EXPECT_EQ(volume.MaxWaveVolume(), 0);
    volume.WaveVolume(500);
    volume.WaveMute(0);
    EXPECT_EQ(volume.WaveVolume(), 0);
    EXPECT_EQ(volume.WaveMute(), 0);
    EXPECT_NE(volume.LastMixerResult(), 0);
    EXPECT_EQ(volume.VolumeFoundMask(), 0);
    EXPECT_EQ(volume.MuteFoundMask(), 0);
  }
}

TEST(SystemMixer, LinesAreFoundByElementWithTheirFallbacks) {
  // No "Master": the Wave line takes "PCM", which also serves WaveIn. No
  // "Line" volume: LineIn takes "Aux". "CD" has a volume but no mute switch.
  // "Synth" has only a mute switch, so MIDI has neither.
  std::map<QString, FakeElement> elements = {
      {"PCM", {true, 0, 255, true, 0, 0}},   {"Mic", {true, 0, 31, true, 0, 0}},
      {"Line", {false, 0, 0, true, 0, 0}},   {"Aux", {true, -10, 10, true, 0, 0}},
      {"CD", {true, 0, 100, false, 0, 0}},   {"Synth", {false, 0, 0, true, 0, 0}},
  };
  MessageCapture messages;
  clsVolume volume(std::make_unique<FakeMixer>(&elements));
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_TRUE(volume.Found());
  EXPECT_EQ(volume.VolumeFoundMask(), kMixerWave | kMixerMicro | kMixerWaveIn | kMixerLineIn | kMixerCD);
  EXPECT_EQ(volume.MuteFoundMask(), kMixerWave | kMixerMicro | kMixerWaveIn | kMixerLineIn);
  EXPECT_TRUE(volume.HasVolumeControl(kMixerCD));
  EXPECT_FALSE(volume.HasMuteControl(kMixerCD));
  EXPECT_FALSE(volume.HasVolumeControl(kMixerMIDI | 64));
  EXPECT_EQ(volume.MaxWaveVolume(), 255);
  EXPECT_EQ(volume.MinLineInVolume(), -10);
  EXPECT_EQ(volume.MaxLineInVolume(), 10);
  EXPECT_EQ(volume.MaxMicVolume(), 31);

  volume.LineInVolume(7);
  EXPECT_EQ(elements["Aux"].volumeValue, 7);
  volume.WaveVolume(128);
  EXPECT_EQ(elements["PCM"].volumeValue, 128);
  EXPECT_EQ(volume.WaveInVolume(), 128);

  // A line without the control passes an empty control and gets 0.
  volume.MIDIVolume(5);
  EXPECT_EQ(volume.MIDIVolume(), 0);
  EXPECT_NE(volume.LastMixerResult(), 0);
  EXPECT_EQ(volume.CD_Mute(), 0);
}

TEST(SystemMixer, VolumeWritesAreClampedAndMuteIsWrittenAsGiven) {
  std::map<QString, FakeElement> elements = {{"Master", {true, 0, 65535, true, 1000, 1}},
                                             {"PCM", {true, 0, 255, true, 0, 0}}};
  MessageCapture messages;
  clsVolume volume(std::make_unique<FakeMixer>(&elements));
  EXPECT_EQ(volume.MaxWaveVolume(), 65535);
  EXPECT_EQ(volume.WaveVolume(), 1000);
  struct Case {
    int32_t written, stored;
  } cases[] = {{-5, 0}, {70000, 65535}, {32768, 32768}, {65535, 65535}, {0, 0}};
  for (const auto& c : cases) {
    volume.WaveVolume(c.written);
    EXPECT_EQ(elements["Master"].volumeValue, c.stored) << c.written;
    EXPECT_EQ(volume.WaveVolume(), c.stored);
    EXPECT_EQ(volume.LastMixerResult(), 0);
  }
  EXPECT_EQ(volume.WaveMute(), 1);
  volume.WaveMute(0);
  EXPECT_EQ(elements["Master"].muteValue, 0);
  volume.WaveMute(-1);
  EXPECT_EQ(elements["Master"].muteValue, -1);
  EXPECT_EQ(volume.WaveMute(), -1);
  // The master line is "Master", so PCM stays untouched.
  EXPECT_EQ(elements["PCM"].volumeValue, 0);
}

TEST(SystemMixer, AlsaWithoutACardReportsNoMixer) {
  // An ALSA configuration whose default control device is a card that does
  // not exist: opening the mixer fails the way it does on a machine without
  // a sound card.
  TempDir dir;
  const std::string conf = dir.file("asound.conf");
  TempDir::Write(conf, std::string("ctl.!default { type hw card 31 }\npcm.!default { type null }\n"));
  ScopedEnv path("ALSA_CONFIG_PATH", conf);
  int error = 0;
  auto device = OpenAlsaMixer(error);
  EXPECT_EQ(device, nullptr);
  EXPECT_NE(error, 0);

  MessageCapture messages;
  clsVolume volume;
  EXPECT_FALSE(volume.Found());
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_EQ(messages.texts[0], "No mixer found");
  volume.WaveVolume(100);
  EXPECT_EQ(volume.WaveVolume(), 0);
}

// The whole ALSA path against a control device in memory: an ALSA control
// plugin built from SystemMixerAlsaPlugin.c with the system's C compiler.
// Skipped when the machine has no compiler or no ALSA headers.
TEST(SystemMixer, AlsaMixerOfAnInMemoryCard) {
  TempDir dir;
  const QString compiler = QStandardPaths::findExecutable("cc");
  if (compiler.isEmpty()) GTEST_SKIP() << "no C compiler to build the test control plugin";
  const QString plugin = QString::fromStdString(dir.file("libasound_module_ctl_djvptest.so"));
  QProcess cc;
  cc.start(compiler, {"-shared", "-fPIC", "-DPIC", "-o", plugin,
                      QStringLiteral(DJVP_TEST_SOURCE_DIR "/tests/platform/SystemMixerAlsaPlugin.c"), "-lasound"});
  if (!cc.waitForFinished(120000) || cc.exitStatus() != QProcess::NormalExit || cc.exitCode() != 0)
    GTEST_SKIP() << "the test control plugin does not build here: " << cc.readAllStandardError().toStdString();

  const std::string conf = dir.file("asound.conf");
  TempDir::Write(conf, "ctl_type.djvptest { lib \"" + plugin.toStdString() + "\" }\nctl.!default { type djvptest }\n");
  ScopedEnv path("ALSA_CONFIG_PATH", conf);

  MessageCapture messages;
  clsVolume volume;
  ASSERT_TRUE(volume.Found());
  EXPECT_TRUE(messages.texts.empty());
  // Master has volume and switch; PCM (the wave source) a volume only; Line
  // only a switch, so LineIn falls back to Aux; Mic is a capture line; no CD
  // and no synthesizer.
  EXPECT_EQ(volume.VolumeFoundMask(), kMixerWave | kMixerMicro | kMixerWaveIn | kMixerLineIn);
  EXPECT_EQ(volume.MuteFoundMask(), kMixerWave | kMixerMicro);
  EXPECT_EQ(volume.MinWaveVolume(), 0);
  EXPECT_EQ(volume.MaxWaveVolume(), 87);
  EXPECT_EQ(volume.MaxWavInVolume(), 255);
  EXPECT_EQ(volume.MaxLineInVolume(), 31);
  EXPECT_EQ(volume.MaxMicVolume(), 63);
  EXPECT_EQ(volume.WaveVolume(), 60);
  EXPECT_EQ(volume.WaveInVolume(), 200);
  EXPECT_EQ(volume.WaveMute(), 0);   // switch on: sound passes
  EXPECT_EQ(volume.MicroMute(), 1);  // capture switch off

  volume.WaveVolume(1000);
  EXPECT_EQ(volume.LastMixerResult(), 0);
  EXPECT_EQ(volume.WaveVolume(), 87);
  volume.WaveMute(-1);
  EXPECT_EQ(volume.WaveMute(), 1);
  volume.LineInVolume(5);
  volume.MicroVolume(-3);

  // A second handle on the card sees what the first one wrote.
  int error = 0;
  auto observer = OpenAlsaMixer(error);
  ASSERT_NE(observer, nullptr) << error;
  int32_t min = 0, max = 0, value = -99;
  const int32_t master = observer->FindVolumeControl("Master", min, max);
  ASSERT_EQ(observer->GetValue(master, value), 0);
  EXPECT_EQ(value, 87);
  ASSERT_EQ(observer->GetValue(observer->FindMuteControl("Master"), value), 0);
  EXPECT_EQ(value, 1);
  ASSERT_EQ(observer->GetValue(observer->FindVolumeControl("Aux", min, max), value), 0);
  EXPECT_EQ(value, 5);
  ASSERT_EQ(observer->GetValue(observer->FindVolumeControl("Mic", min, max), value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(observer->FindVolumeControl("CD", min, max), 0);

  // Unmuting reaches the card too (a new handle reads the card afresh; the
  // test card sends no change events to handles already open).
  volume.WaveMute(0);
  EXPECT_EQ(volume.WaveMute(), 0);
  auto later = OpenAlsaMixer(error);
  ASSERT_NE(later, nullptr) << error;
  ASSERT_EQ(later->GetValue(later->FindMuteControl("Master"), value), 0);
  EXPECT_EQ(value, 0);
}
