// Watching the window's event loop while a benchmark works in it: how long
// the loop was held up at most, and how many frames of sound came late.
#pragma once

#include "engine/Engine.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdint>

namespace bench {

struct LoopFigures {
  double seconds = 0;
  double longestBlockMs = 0;
  uint64_t underrunFrames = 0;
};

// Runs the event loop, calling `tick` with the milliseconds since the start
// about once a millisecond, until it returns true. A tick that takes long
// counts as the loop held up.
template <typename Tick>
LoopFigures WatchEventLoop(Tick tick) {
  LoopFigures f;
  const uint64_t underruns = engine::Underruns();
  QElapsedTimer clock, gap;
  clock.start();
  gap.start();
  QEventLoop loop;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    f.longestBlockMs = std::max(f.longestBlockMs, static_cast<double>(gap.nsecsElapsed()) / 1e6 - 1.0);
    gap.restart();
    if (tick(static_cast<int64_t>(clock.elapsed()))) loop.quit();
  });
  timer.start(1);
  loop.exec();
  f.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  f.underrunFrames = engine::Underruns() - underruns;
  return f;
}

}  // namespace bench
