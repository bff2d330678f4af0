// The window state (without its window) whose deck players play on the
// engine's "No sound" device under the manual clock, with the effect
// handlers connected: a test starts a fixture on a player as a deck start
// does, moves the sound controls and measures what comes out.
#pragma once

#include "StateTestEnv.h"
#include "tests/support/DeckNumber.h"
#include "audio/BassPlayer.h"
#include "engine/Engine.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <ostream>
#include <vector>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline QString EffectsFixture(const char* name) {
  return QStringLiteral(DJVP_TEST_FIXTURES "/effects/") + QLatin1String(name);
}

class SoundWorld {
 public:
  static constexpr int kRate = 44100;

  // With the tag library, the state's tag control reads the songs' tags.
  explicit SoundWorld(bool withTagLibrary = false) : env_(std::make_unique<StateTestEnv>()) {
    engine::SetManualClock(true);
    w = env_->Open(withTagLibrary);
    for (djvp::clsBassPlayer* p : Players()) {
      p->device(0);
      p->PreDevice(0);
    }
  }
  ~SoundWorld() {
    for (djvp::clsBassPlayer* p : Players()) p->StopPlay();
    w.reset();
  }

  std::vector<djvp::clsBassPlayer*> Players() const {
    return {w->Player(djvp::kDeck1, 0), w->Player(djvp::kDeck1, 1), w->Player(djvp::kDeck2, 0), w->Player(djvp::kDeck2, 1)};
  }
  djvp::clsBassPlayer& P(int deck, int ab) const { return *w->Player(DeckNo(deck), ab); }

  // Starts a fixture on the player as a deck start does: from its
  // beginning, at `volume` (full unless given), through its deck's chain
  // (the ten equaliser bands among what it carries).
  static void Start(djvp::clsBassPlayer& p, const char* file = "tones.flac", int16_t volume = 100) {
    p.filename(EffectsFixture(file));
    ASSERT_TRUE(p.OpenFile());
    p.StartMixPoint(0);
    p.volume(volume);
    ASSERT_TRUE(p.Play());
  }

  // Gives the playing player a headphone mirror of its song as the player
  // keeps one for a headphone device, playing at its position at `volume`.
  // The mirror plays on the "No sound" device here, so that the manual clock
  // moves it and the output carries it.
  static void AttachMirror(djvp::clsBassPlayer& p, int volume) {
    engine::DeviceSelect(0);
    const engine::Handle decode =
        engine::OpenFileStream(false, p.filename().toUtf8().constData(), 0, 0, engine::kDecode);
    const engine::Handle mirror = engine::CreateTempoStream(decode, engine::kFreeSource);
    ASSERT_NE(mirror, 0u);
    engine::Seek(mirror, static_cast<uint64_t>(engine::Position(p.STRM())));
    engine::SetAttributes(mirror, -1, volume, -101);
    engine::Play(mirror, false);
    p.PreSTRM(mirror);
    p.PreDevice(1);
  }

  // Advances the clock; the mixed stereo output.
  static std::vector<float> Render(double seconds) {
    std::vector<float> out(static_cast<size_t>(std::lround(seconds * kRate)) * 2);
    engine::RenderNoSound(out.data(), out.size() / 2);
    return out;
  }
  // What is heard after a change has reached the ears: the engine makes the
  // sound a little ahead, and the change glides in; both are let pass first.
  static std::vector<float> Heard(double seconds = 0.25) {
    Render(0.2);
    return Render(seconds);
  }

  StateTestEnv& env() { return *env_; }

  std::unique_ptr<djvp::MainState> w;

 private:
  std::unique_ptr<StateTestEnv> env_;
};

// Amplitude of one frequency in one channel (0 left, 1 right) of stereo
// output (a correlation with a sine and a cosine).
inline double AmplitudeAt(const std::vector<float>& stereo, int channel, double hz) {
  const size_t frames = stereo.size() / 2;
  double re = 0, im = 0;
  for (size_t f = 0; f < frames; ++f) {
    const double x = stereo[f * 2 + static_cast<size_t>(channel)];
    re += x * std::cos(2 * std::numbers::pi * hz * f / SoundWorld::kRate);
    im += x * std::sin(2 * std::numbers::pi * hz * f / SoundWorld::kRate);
  }
  return 2 * std::hypot(re, im) / static_cast<double>(frames);
}

inline double Db(double ratio) { return 20 * std::log10(ratio); }

// Frequency of the left channel from its rising zero crossings.
inline double FrequencyOf(const std::vector<float>& stereo) {
  int first = -1, last = -1, count = 0;
  for (size_t f = 1; f < stereo.size() / 2; ++f) {
    if (stereo[(f - 1) * 2] < 0 && stereo[f * 2] >= 0) {
      if (first < 0) first = static_cast<int>(f);
      last = static_cast<int>(f);
      ++count;
    }
  }
  return count < 2 ? 0 : (count - 1) * static_cast<double>(SoundWorld::kRate) / (last - first);
}
