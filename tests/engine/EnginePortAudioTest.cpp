// Sound through real PortAudio: an ALSA PCM that writes to a file, defined in
// a temporary ~/.asoundrc, captures exactly what the engine played.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "EngineTestUtil.h"
#include "TempDir.h"
#include "engine/Engine.h"

using namespace enginetest;

TEST(EnginePortAudio, PlaysThroughAnAlsaFilePcm) {
  TempDir home;
  const std::string capture = home.file("capture.raw");
  TempDir::Write(home.file(".asoundrc"),
                 "pcm.djvptest {\n"
                 "  type plug\n"
                 "  slave { pcm \"djvpfile\" format S16_LE rate 44100 channels 2 }\n"
                 "}\n"
                 "pcm.djvpfile {\n"
                 "  type file\n"
                 "  slave.pcm \"null\"\n"
                 "  file \"" + capture + "\"\n"
                 "  format \"raw\"\n"
                 "}\n");
  ScopedEnv env("HOME", home.path().string());
  ScopedEnv noJack("JACK_NO_START_SERVER", "1");
  if (!engine::RescanDevices()) GTEST_SKIP() << "a sound device is in use by this process";
  int device = -1;
  for (int i = 1; engine::DeviceName(i); ++i)
    if (std::strcmp(engine::DeviceName(i), "djvptest") == 0) device = i;
  if (device < 0) GTEST_SKIP() << "PortAudio lists no ALSA devices here";

  // The last 3000 frames of a file with 440 Hz on the left and 1 kHz on the
  // right. A "null" PCM takes sound as fast as it is given, so the clip is
  // kept short enough to be decoded completely before it is played.
  const engine::Handle ref = engine::OpenFileStream(false, Fixture("lr44s.flac").c_str(), 0, 0, engine::kDecode);
  const std::vector<int16_t> all = ReadAll(ref);
  engine::FreeStream(ref);
  ASSERT_EQ(all.size(), 44100u * 2);
  const size_t clipFrames = 3000;
  const std::vector<int16_t> clip(all.end() - clipFrames * 2, all.end());

  ASSERT_TRUE(engine::DeviceInit(device, 44100, 0));
  EXPECT_EQ(engine::SelectedDevice(), device);
  const engine::Handle dec = engine::OpenFileStream(false, Fixture("lr44s.flac").c_str(), 0, 0, engine::kDecode);
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(engine::Seek(h, (44100 - clipFrames) * 4));
  ASSERT_TRUE(engine::Play(h, false));
  for (long spin = 0; spin < 2000000000L && engine::IsActive(h) != engine::kStopped; ++spin)
    std::this_thread::yield();
  EXPECT_EQ(engine::IsActive(h), engine::kStopped) << "the clip was played to its end";
  EXPECT_EQ(engine::Position(h), engine::Length(h));
  ASSERT_TRUE(engine::DeviceFree());
  EXPECT_EQ(engine::Position(h), -1) << "freeing the device freed its streams";
  ASSERT_TRUE(engine::DeviceSelect(0));

  const std::vector<unsigned char> bytes = TempDir::Read(capture);
  std::vector<int16_t> captured(bytes.size() / 2);
  std::memcpy(captured.data(), bytes.data(), captured.size() * 2);
  // Find the clip's first loud sample and compare from there.
  size_t first = 0;
  while (first < captured.size() && captured[first] == 0) ++first;
  size_t clipFirst = 0;
  while (clipFirst < clip.size() && clip[clipFirst] == 0) ++clipFirst;
  ASSERT_GE(first, clipFirst);
  first -= clipFirst;
  first -= first % 2;
  ASSERT_LE(first + clip.size(), captured.size());
  int worst = 0;
  for (size_t i = 0; i < clip.size(); ++i)
    worst = std::max(worst, std::abs(int(captured[first + i]) - int(clip[i])));
  EXPECT_LE(worst, 8) << "the captured sound is the file's, channels in order";
  engine::RescanDevices();
}
