// The effect calls on a playing stream: attaching changes what is heard,
// removing restores it, the chain runs in priority order, and parameter
// records go in and come back out. (The effects' own sound is tested with
// the DSP code.)
#include <gtest/gtest.h>

#include <vector>

#include "EngineTestUtil.h"
#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"

using namespace enginetest;
using namespace engine::dsp;

namespace {

using EffectsTest = ManualClockTest;

// Renders a block after the change has had time to reach the ears: the
// worker runs ahead of what is heard, so the first part is discarded.
std::vector<float> Heard(size_t frames = 4410) {
  Render(8192);
  return Render(frames);
}

}  // namespace

TEST_F(EffectsTest, AttachingChangesTheSoundAndRemovingRestoresIt) {
  // Left 440 Hz, right 1 kHz.
  const engine::Handle h = OpenTempo("lr44s.flac");
  ASSERT_TRUE(engine::Play(h, false));
  ASSERT_TRUE(engine::AddEffect(h, kSwap, 1));
  std::vector<float> out = Heard();
  EXPECT_NEAR(Frequency(Channel(out, 0), 44100), 1000, 10) << "swapped";
  EXPECT_NEAR(Frequency(Channel(out, 1), 44100), 440, 5);
  EXPECT_TRUE(engine::AddEffect(h, kSwap, 1)) << "a repeat is harmless";
  ASSERT_TRUE(engine::RemoveEffect(h, kSwap));
  EXPECT_FALSE(engine::RemoveEffect(h, kSwap)) << "one instance only, and it is gone";
  out = Heard();
  EXPECT_NEAR(Frequency(Channel(out, 0), 44100), 440, 5);
  EXPECT_NEAR(Frequency(Channel(out, 1), 44100), 1000, 10);
}

TEST_F(EffectsTest, TheChainRunsInDescendingPriority) {
  // Silencing the first channel and swapping do not commute: whichever runs
  // first decides which side ends up silent.
  const VolumeParams muteFirst{1, 0.0f};
  {
    const engine::Handle h = OpenTempo("lr44s.flac");
    ASSERT_TRUE(engine::Play(h, false));
    ASSERT_TRUE(engine::AddEffect(h, kSwap, 0));
    ASSERT_TRUE(engine::AddEffect(h, kVolume, 5));  // higher: runs first
    ASSERT_TRUE(engine::SetEffectParameters(h, kVolume, &muteFirst));
    const std::vector<float> out = Heard();
    EXPECT_GT(Rms(Channel(out, 0)), 0.3) << "the right side's sound came over";
    EXPECT_LT(Rms(Channel(out, 1)), 0.01) << "the muted left moved to the right";
    engine::FreeStream(h);
  }
  {
    const engine::Handle h = OpenTempo("lr44s.flac");
    ASSERT_TRUE(engine::Play(h, false));
    ASSERT_TRUE(engine::AddEffect(h, kSwap, 5));  // runs first now
    ASSERT_TRUE(engine::AddEffect(h, kVolume, 0));
    ASSERT_TRUE(engine::SetEffectParameters(h, kVolume, &muteFirst));
    const std::vector<float> out = Heard();
    EXPECT_LT(Rms(Channel(out, 0)), 0.01);
    EXPECT_NEAR(Frequency(Channel(out, 1), 44100), 440, 5);
  }
}

TEST_F(EffectsTest, ParameterRecordsGoInAndComeBackOut) {
  const engine::Handle h = OpenTempo("sine44s.mp3");
  ASSERT_TRUE(engine::Play(h, false));

  // Not attached: nothing to read or write, quietly.
  EchoParams echo{0.3f, 5000};
  EXPECT_FALSE(engine::SetEffectParameters(h, kEcho, &echo));
  EXPECT_FALSE(engine::GetEffectParameters(h, kEcho, &echo));
  EXPECT_FALSE(engine::AddEffect(h, 99, 1)) << "no such effect";

  ASSERT_TRUE(engine::AddEffect(h, kEcho, 1));
  ASSERT_TRUE(engine::SetEffectParameters(h, kEcho, &echo));
  EchoParams back{};
  ASSERT_TRUE(engine::GetEffectParameters(h, kEcho, &back));
  EXPECT_FLOAT_EQ(back.level, 0.3f);
  EXPECT_EQ(back.delay, 5000);

  ReverbParams reverb{0.5f, 3000};
  ASSERT_TRUE(engine::AddEffect(h, kReverb, 1));
  ASSERT_TRUE(engine::SetEffectParameters(h, kReverb, &reverb));
  ReverbParams reverbBack{};
  ASSERT_TRUE(engine::GetEffectParameters(h, kReverb, &reverbBack));
  EXPECT_FLOAT_EQ(reverbBack.level, 0.5f);
  EXPECT_EQ(reverbBack.delay, 3000);

  // Equaliser bands are addressed by their number; each keeps the sample
  // rate the caller gave it.
  ASSERT_TRUE(engine::AddEffect(h, kPeakEq, 0));
  const float centres[] = {80, 170, 310};
  for (int32_t band = 0; band < 3; ++band) {
    PeakEqParams eq{band, 44100 + band, 2.5f, 0.0f, centres[band], static_cast<float>(band)};
    ASSERT_TRUE(engine::SetEffectParameters(h, kPeakEq, &eq));
  }
  for (int32_t band = 0; band < 3; ++band) {
    PeakEqParams eq{};
    eq.band = band;
    ASSERT_TRUE(engine::GetEffectParameters(h, kPeakEq, &eq));
    EXPECT_EQ(eq.freq, 44100 + band);
    EXPECT_FLOAT_EQ(eq.center, centres[band]);
    EXPECT_FLOAT_EQ(eq.gain, static_cast<float>(band));
    EXPECT_FLOAT_EQ(eq.bandwidth, 2.5f);
  }
  PeakEqParams missing{};
  missing.band = 7;
  EXPECT_FALSE(engine::GetEffectParameters(h, kPeakEq, &missing)) << "band 7 was never set";
  // Removing the equaliser drops every band.
  ASSERT_TRUE(engine::RemoveEffect(h, kPeakEq));
  ASSERT_TRUE(engine::AddEffect(h, kPeakEq, 0));
  PeakEqParams first{};
  EXPECT_FALSE(engine::GetEffectParameters(h, kPeakEq, &first));

  // Effects only go on playable streams.
  const engine::Handle dec = engine::OpenFileStream(false, Fixture("sine44s.mp3").c_str(), 0, 0, engine::kDecode);
  EXPECT_FALSE(engine::AddEffect(dec, kSwap, 1));
  engine::FreeStream(dec);
}

TEST_F(EffectsTest, AnEqualiserBandActsAtItsCentreOnTheStreamsRealRate) {
  // The right side (1 kHz) gets +4 dB (x1.585) from a band at 1 kHz; the left side
  // (440 Hz) lies outside a narrow band and stays nearly as it was. The
  // caller names 48 kHz as the band's rate, yet the band acts at 1 kHz of
  // the data as it really runs.
  const engine::Handle h = OpenTempo("lr44s.flac");
  ASSERT_TRUE(engine::Play(h, false));
  const std::vector<float> before = Heard();
  ASSERT_TRUE(engine::AddEffect(h, kPeakEq, 0));
  PeakEqParams eq{0, 48000, 0.3f, 0.0f, 1000.0f, 4.0f};
  ASSERT_TRUE(engine::SetEffectParameters(h, kPeakEq, &eq));
  const std::vector<float> after = Heard();
  EXPECT_NEAR(Rms(Channel(after, 1)) / Rms(Channel(before, 1)), 1.585, 0.08);
  EXPECT_NEAR(Rms(Channel(after, 0)) / Rms(Channel(before, 0)), 1.0, 0.08);
}

TEST_F(EffectsTest, ASeekClearsTheEffectsTails) {
  // Clicks at 0, 0.5, 1.0 and 1.5 s with silence between. With a long echo
  // the click at 0 would repeat about 0.45 s of sound later; a seek into the
  // silence clears the delay line, so nothing is heard until the next click.
  const engine::Handle h = OpenTempo("clicks44m.flac");
  ASSERT_TRUE(engine::AddEffect(h, kEcho, 1));
  const EchoParams echo{0.9f, 20000};
  ASSERT_TRUE(engine::SetEffectParameters(h, kEcho, &echo));
  ASSERT_TRUE(engine::Play(h, false));
  const std::vector<float> first = Render(4410);
  EXPECT_GT(Rms(first), 0.0) << "the first click";
  ASSERT_TRUE(engine::Seek(h, 4410 * 2));  // 0.1 s, mono
  const std::vector<float> out = Render(15000);  // up to 0.44 s
  EXPECT_EQ(Rms(out), 0.0);
}
