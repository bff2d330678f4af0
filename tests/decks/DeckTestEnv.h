// The window state (without its window) whose four deck players play on
// the engine's "No sound" device under the manual clock: a test fills the
// playlists, advances the clock by exact amounts and runs the playback
// timer's handler in between, then looks at volumes, positions, flags,
// controls and the mixed sound.
#pragma once

#include "StateTestEnv.h"
#include "tests/support/DeckNumber.h"
#include "audio/BassPlayer.h"
#include "decks/AudioOps.h"
#include "decks/DeckControls.h"
#include "decks/PlaybackTimer.h"
#include "engine/Engine.h"
#include "platform/Grid.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline void EnsureDeckQtApplication() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "decks_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

inline QString Fixture(const char* name) {
  return QStringLiteral(DJVP_TEST_FIXTURES "/decks/") + QLatin1String(name);
}

class DeckWorld {
 public:
  static constexpr size_t kTickFrames = 2426;  // 55 ms at 44100 Hz

  DeckWorld() : env_((EnsureDeckQtApplication(), std::make_unique<StateTestEnv>())) {
    engine::SetManualClock(true);
    w = env_->Open();
    w->StartTime = QTime::currentTime();  // as the window's load sets it
    for (djvp::clsBassPlayer* p : Players()) {
      p->device(0);
      p->PreDevice(0);
    }
    // A known mixing set-up: Auto Mix on, a short mix time, the default
    // curve (out from 10 % to 100 %, in from 0 % to 90 %).
    w->AutomixOn = true;
    w->PreListenOn = false;
    w->UseMixPoints = false;
    w->MixTime = 2;
    Curve(10, 100, 90, 0);
  }
  ~DeckWorld() {
    for (djvp::clsBassPlayer* p : Players())
      if (p) p->StopPlay();
    w.reset();
  }

  void Curve(int16_t leftU, int16_t leftD, int16_t rightU, int16_t rightD) {
    w->MixLeftU = leftU;
    w->MixLeftD = leftD;
    w->MixRightU = rightU;
    w->MixRightD = rightD;
  }

  djvp::Grid& List(int deck) { return *w->PlayListView[static_cast<size_t>(deck - 1)]; }

  // Appends a row for a fixture song (a path as given when it holds a "/")
  // with the Time cell "00:05"; empty cells stay unwritten.
  int32_t Add(int deck, const char* file, const QString& bpm = {}, const QString& startMix = {},
              const QString& endMix = {}) {
    djvp::Grid& g = List(deck);
    const int32_t row = g.AddRow();
    auto set = [&](const char* key, const QString& v) {
      if (!v.isEmpty()) g.SetCellValue(row, g.ColumnNumber(QLatin1String(key)), v);
    };
    set("Artist", QStringLiteral("Artist %1").arg(row));
    set("Title", QStringLiteral("Title %1").arg(row));
    set("Time", QStringLiteral("00:05"));
    set("Filename", QString::fromUtf8(file).contains(QLatin1Char('/')) ? QString::fromUtf8(file) : Fixture(file));
    set("BPM", bpm);
    set("StartMixPoint", startMix);
    set("EndMixPoint", endMix);
    return row;
  }

  std::vector<djvp::clsBassPlayer*> Players() const {
    return {w->Player(djvp::kDeck1, 0), w->Player(djvp::kDeck1, 1), w->Player(djvp::kDeck2, 0), w->Player(djvp::kDeck2, 1)};
  }
  djvp::clsBassPlayer& P(int deck, int ab) const { return *w->Player(DeckNo(deck), ab); }

  // Starts a song on a player directly, as if a start had put it there.
  static void StartOn(djvp::clsBassPlayer& p, const char* file, int16_t volume = 100) {
    p.filename(Fixture(file));
    p.OpenFile();
    p.StreamTime(p.DummyTime());
    p.StartMixPoint(0);
    p.volume(volume);
    p.Play();
  }

  // Advances the clock; returns the mixed stereo output.
  static std::vector<float> Render(size_t frames) {
    std::vector<float> out(frames * 2);
    engine::RenderNoSound(out.data(), frames);
    return out;
  }
  static void RenderSeconds(double seconds) { Render(static_cast<size_t>(std::lround(seconds * 44100.0))); }

  // One timer period: 55 ms of sound, then the timer's run (after the
  // engine's threads have measured what they were asked to meanwhile, which
  // takes them less than a period).
  std::vector<float> Tick() {
    std::vector<float> out = Render(kTickFrames);
    engine::WaitForBackgroundWork();
    decks::tmrPlaying_ThatTime(*w);
    return out;
  }

  static double Pos(const djvp::clsBassPlayer& p) { return decks::PlayerPosition(p); }

  StateTestEnv& env() { return *env_; }

  std::unique_ptr<djvp::MainState> w;

 private:
  std::unique_ptr<StateTestEnv> env_;
};
