// Pacing a device that has no clock of its own. A sound card asks for a
// block when it has played one; ALSA's "null" device (and a file PCM over
// it) takes every block at once, so its callback would run without pause,
// spinning a core and racing the decks through their songs. The callback
// measures how fast it is asked: once it has been asked faster than twice
// the real pace for several windows in a row, it waits after each block
// until that block is due by the steady clock, as the "No sound" device's
// pacer does.
#include <time.h>

#include <cerrno>

#include "engine/EngineCore.h"

namespace engine::core {

int64_t Pacer::Step(uint64_t frames, int64_t nowNs, int rate) {
  if (rate <= 0) return 0;
  if (paced_) {
    anchorFrames_ += frames;
    const int64_t due = anchorNs_ + static_cast<int64_t>(anchorFrames_ * 1'000'000'000ull / static_cast<uint64_t>(rate));
    if (due > nowNs) return due - nowNs;
    // Far behind (the process was stopped, the mix was slow): start afresh
    // rather than race through the missed time.
    if (nowNs - due > 1'000'000'000) {
      anchorNs_ = nowNs;
      anchorFrames_ = 0;
    }
    return 0;
  }
  if (windowStartNs_ < 0) {
    windowStartNs_ = nowNs;
    windowFrames_ = 0;
  }
  windowFrames_ += frames;
  const auto soundNs = static_cast<int64_t>(windowFrames_ * 1'000'000'000ull / static_cast<uint64_t>(rate));
  if (soundNs < kWindowNs) return 0;
  fastWindows_ = nowNs - windowStartNs_ < soundNs / 2 ? fastWindows_ + 1 : 0;
  windowStartNs_ = nowNs;
  windowFrames_ = 0;
  if (fastWindows_ >= kFastWindows) {
    paced_ = true;
    anchorNs_ = nowNs;
    anchorFrames_ = 0;
  }
  return 0;
}

void PaceCallback(Device& d, unsigned long frames) {
  const int64_t wait = d.pacer_.Step(frames, NowNs(), kRate);
  if (wait <= 0) return;
  // Only a device without a clock gets here: its callback has no deadline
  // to keep, and waiting is what keeps it from spinning.
  timespec ts{static_cast<time_t>(wait / 1'000'000'000), static_cast<long>(wait % 1'000'000'000)};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace engine::core
