// Sound through real PortAudio: an ALSA PCM that writes to a file, defined in
// a temporary ~/.asoundrc, captures exactly what the engine played.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "EngineTestUtil.h"
#include "TempDir.h"
#include "engine/Engine.h"

#include <portaudio.h>

using namespace enginetest;

namespace {

constexpr size_t kClipFrames = 3000;

// The last kClipFrames frames of lr44s.flac (440 Hz left, 1 kHz right) as
// decoded, interleaved.
std::vector<int16_t> Clip() {
  const engine::Handle ref = engine::OpenFileStream(false, Fixture("lr44s.flac").c_str(), 0, 0, engine::kDecode);
  const std::vector<int16_t> all = ReadAll(ref);
  engine::FreeStream(ref);
  if (all.size() != 44100u * 2) return {};
  return std::vector<int16_t>(all.end() - kClipFrames * 2, all.end());
}

struct Capture {
  bool skipped = false;
  std::string why;
  std::vector<int16_t> samples;  // interleaved, `channels` per frame
};

// Plays the clip on an ALSA file PCM of `channels` channels, opened with
// `initFlags`, from a stream with speaker flag `speaker`. With `asDefault`
// the file PCM is the system's default output ("default") and the clip is
// played on device 1; otherwise it is "djvptest", found by its name.
// `listed` runs once the engine has listed the devices of that set-up.
Capture PlayClip(int channels, uint32_t initFlags, uint32_t speaker, bool asDefault = false,
                 const std::function<void()>& listed = {}) {
  Capture result;
  TempDir home;
  const std::string capture = home.file("capture.raw");
  const std::string ch = std::to_string(channels);
  TempDir::Write(home.file(".asoundrc"),
                 std::string(asDefault ? "pcm.!default {\n" : "pcm.djvptest {\n") +
                 "  type plug\n"
                 "  slave { pcm \"djvpfile\" format S16_LE rate 44100 channels " + ch + " }\n"
                 "}\n"
                 "pcm.djvpfile {\n"
                 "  type file\n"
                 "  slave.pcm \"null\"\n"
                 "  file \"" + capture + "\"\n"
                 "  format \"raw\"\n"
                 "}\n");
  ScopedEnv env("HOME", home.path().string());
  ScopedEnv noJack("JACK_NO_START_SERVER", "1");
  if (!engine::RescanDevices()) {
    result.skipped = true;
    result.why = "a sound device is in use by this process";
    return result;
  }
  int device = -1;
  for (int i = 1; engine::DeviceName(i); ++i)
    if (std::strcmp(engine::DeviceName(i), asDefault ? "default" : "djvptest") == 0) device = i;
  if (device < 0) {
    result.skipped = true;
    result.why = "PortAudio lists no ALSA devices here";
    return result;
  }
  if (asDefault) {
    EXPECT_EQ(device, 1) << "the system's default output comes first";
  }
  if (listed) listed();
  EXPECT_TRUE(engine::DeviceInit(device, 44100, initFlags));
  EXPECT_EQ(engine::SelectedDevice(), device);
  // A "null" PCM takes sound as fast as it is given, so the clip is kept
  // short enough to be decoded completely before it is played.
  const engine::Handle dec =
      engine::OpenFileStream(false, Fixture("lr44s.flac").c_str(), 0, 0, engine::kDecode | speaker);
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  EXPECT_NE(h, 0u);
  EXPECT_TRUE(engine::Seek(h, (44100 - kClipFrames) * 4));
  EXPECT_TRUE(engine::Play(h, false));
  for (long spin = 0; spin < 2000000000L && engine::IsActive(h) != engine::kStopped; ++spin)
    std::this_thread::yield();
  EXPECT_EQ(engine::IsActive(h), engine::kStopped) << "the clip was played to its end";
  EXPECT_EQ(engine::Position(h), engine::Length(h));
  EXPECT_TRUE(engine::DeviceFree());
  EXPECT_EQ(engine::Position(h), -1) << "freeing the device freed its streams";
  engine::DeviceSelect(0);
  engine::RescanDevices();

  const std::vector<unsigned char> bytes = TempDir::Read(capture);
  result.samples.resize(bytes.size() / 2);
  std::memcpy(result.samples.data(), bytes.data(), result.samples.size() * 2);
  return result;
}

// Finds the clip in channels `first`, `first + 1` of a capture and returns
// the largest difference; every other channel must stay silent.
int Compare(const std::vector<int16_t>& captured, int channels, int pair, const std::vector<int16_t>& clip) {
  const size_t frames = captured.size() / static_cast<size_t>(channels);
  size_t start = 0;
  while (start < frames && captured[start * static_cast<size_t>(channels) + static_cast<size_t>(pair)] == 0) ++start;
  size_t clipStart = 0;
  while (clipStart < kClipFrames && clip[clipStart * 2] == 0) ++clipStart;
  if (start < clipStart || start - clipStart + kClipFrames > frames) return 1 << 20;
  start -= clipStart;
  int worst = 0;
  for (size_t f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) {
      const int got = captured[f * static_cast<size_t>(channels) + static_cast<size_t>(c)];
      int want = 0;
      if ((c == pair || c == pair + 1) && f >= start && f < start + kClipFrames)
        want = clip[(f - start) * 2 + static_cast<size_t>(c - pair)];
      worst = std::max(worst, std::abs(got - want));
    }
  return worst;
}

}  // namespace

TEST(EnginePortAudio, PlaysThroughAnAlsaFilePcm) {
  const std::vector<int16_t> clip = Clip();
  ASSERT_EQ(clip.size(), kClipFrames * 2);
  const Capture c = PlayClip(2, 0, 0);
  if (c.skipped) GTEST_SKIP() << c.why;
  EXPECT_LE(Compare(c.samples, 2, 0, clip), 8) << "the captured sound is the file's, channels in order";
}

TEST(EnginePortAudio, SpeakerFlagsPlayOnTheirPairOfAMultiChannelDevice) {
  const std::vector<int16_t> clip = Clip();
  ASSERT_EQ(clip.size(), kClipFrames * 2);
  // ALSA's channel order: front, rear, centre and LFE, side.
  const struct {
    uint32_t speaker;
    int pair;
  } cases[] = {{engine::kSpeakerFront, 0}, {engine::kSpeakerRear, 2}, {engine::kSpeakerCenterLfe, 4},
               {engine::kSpeakerRear2, 6}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.pair);
    const Capture c = PlayClip(8, engine::kInitSpeakers, k.speaker);
    if (c.skipped) GTEST_SKIP() << c.why;
    EXPECT_LE(Compare(c.samples, 8, k.pair, clip), 8);
  }
  // Without the speaker flag at initialisation the device is opened with two
  // channels and a rear stream falls back to the front.
  const Capture c = PlayClip(2, 0, engine::kSpeakerRear);
  if (c.skipped) GTEST_SKIP() << c.why;
  EXPECT_LE(Compare(c.samples, 2, 0, clip), 8);
}

// Device 1 is the system's default output, so that a first start (the
// first device) plays where the desktop plays; the others keep PortAudio's
// order, which the earlier numbering maps onto.
TEST(EnginePortAudio, TheSystemsDefaultOutputIsDeviceOneAndPlaysThere) {
  const std::vector<int16_t> clip = Clip();
  ASSERT_EQ(clip.size(), kClipFrames * 2);
  // The list against PortAudio's own.
  auto compare = [] {
    ASSERT_EQ(Pa_Initialize(), paNoError);
    std::vector<std::string> outputs;
    for (int i = 0; i < Pa_GetDeviceCount(); ++i)
      if (const PaDeviceInfo* info = Pa_GetDeviceInfo(i); info && info->maxOutputChannels > 0)
        outputs.emplace_back(info->name);
    const PaDeviceInfo* def = Pa_GetDeviceInfo(Pa_GetDefaultOutputDevice());
    const std::string defaultName = def ? def->name : "";
    Pa_Terminate();
    std::vector<std::string> listed;
    for (int i = 1; engine::DeviceName(i); ++i) listed.emplace_back(engine::DeviceName(i));
    ASSERT_EQ(listed.size(), outputs.size());
    ASSERT_EQ(listed.front(), defaultName);
    std::vector<std::string> rest = outputs;
    rest.erase(std::find(rest.begin(), rest.end(), defaultName));
    EXPECT_EQ(std::vector<std::string>(listed.begin() + 1, listed.end()), rest);
    for (size_t n = 1; n <= outputs.size(); ++n) {
      const int device = engine::DeviceInSystemOrder(static_cast<int>(n));
      ASSERT_GE(device, 1);
      EXPECT_EQ(engine::DeviceName(device), outputs[n - 1]) << n;
    }
    EXPECT_EQ(engine::DeviceInSystemOrder(0), 0);
    EXPECT_EQ(engine::DeviceInSystemOrder(static_cast<int>(outputs.size()) + 1), 0);
  };
  const Capture c = PlayClip(2, 0, 0, true, compare);
  if (c.skipped) GTEST_SKIP() << c.why;
  EXPECT_LE(Compare(c.samples, 2, 0, clip), 8) << "device 1 played into the default output";
}

// Each thread acts on the device it selected itself: a thread that measures
// songs on "No sound" must not move the window thread's next stream onto
// that device, nor the other way round. A thread that never selected one
// acts on the device selected last.
TEST(EnginePortAudio, EachThreadActsOnTheDeviceItSelected) {
  TempDir home;
  TempDir::Write(home.file(".asoundrc"), "pcm.djvptest { type null }\n");
  ScopedEnv env("HOME", home.path().string());
  ScopedEnv noJack("JACK_NO_START_SERVER", "1");
  if (!engine::RescanDevices()) GTEST_SKIP() << "a sound device is in use by this process";
  int device = -1;
  for (int i = 1; engine::DeviceName(i); ++i)
    if (std::strcmp(engine::DeviceName(i), "djvptest") == 0) device = i;
  if (device < 0) GTEST_SKIP() << "PortAudio lists no ALSA devices here";

  // The window thread chooses the (not initialised) device, on which no
  // stream can be made.
  ASSERT_TRUE(engine::DeviceSelect(device));
  const std::string song = Fixture("lr44s.flac");
  int followed = -1;
  std::thread([&] { followed = engine::SelectedDevice(); }).join();
  EXPECT_EQ(followed, device) << "a thread that chose none follows the last choice";

  int measuring = -1;
  engine::Handle decoded = 0;
  std::thread([&] {
    engine::DeviceSelect(0);
    measuring = engine::SelectedDevice();
    decoded = engine::OpenFileStream(false, song.c_str(), 0, 0, engine::kDecode);
  }).join();
  EXPECT_EQ(measuring, 0);
  EXPECT_NE(decoded, 0u) << "the measuring thread makes its stream on device 0";
  EXPECT_EQ(engine::SelectedDevice(), device) << "the window thread's choice stays";
  const engine::Handle onDevice = engine::OpenFileStream(false, song.c_str(), 0, 0, engine::kDecode);
  EXPECT_EQ(onDevice, 0u) << "a stream of the window thread goes to its own (unready) device";

  std::thread([&] { followed = engine::SelectedDevice(); }).join();
  EXPECT_EQ(followed, 0) << "the last choice of any thread";

  engine::FreeStream(decoded);
  engine::FreeStream(onDevice);
  ASSERT_TRUE(engine::RescanDevices());
  EXPECT_EQ(engine::SelectedDevice(), 0) << "a rescan voids every thread's choice";
}
