// The real-time mix: what the output callback of each device runs (and the
// "No sound" device's pacer, and RenderNoSound on the manual clock).
//
// Real-time rules, for everything in this file:
//  * Never allocate, never lock a mutex, never decode, never touch the disk,
//    never wait for another thread. The callback only reads what the worker
//    has made ready in each stream's ring and writes what it consumed.
//  * Everything shared with other threads is an atomic: the slots, the ring
//    indexes, the state, volume, pan, levels and positions. A stream is only
//    ever reached through its device's slot; freeing clears the slot and
//    then waits (WaitCallbackPass) until the callback has left any pass that
//    may still have seen it.
//  * The one system call: when a ring has room for a block, the worker is
//    woken through an eventfd write, which never blocks (Wake::Signal), and
//    at most once until the worker has answered.
//  * Volume steps are smoothed (kVolumeStep per frame) so that they never
//    click; the sum goes through the device's limiter (engine/dsp/Limiter.h),
//    which keeps it below full scale, and a sample that is not a number is
//    passed on as silence.
#include <algorithm>
#include <cmath>

#include "engine/EngineCore.h"

namespace engine::core {

int64_t Stream::Ready(uint64_t from) const {
  const uint64_t w = writeIdx.load(std::memory_order_acquire);
  const uint64_t r = std::max({readIdx.load(std::memory_order_acquire),
                               discardTo.load(std::memory_order_acquire), from});
  return w > r ? static_cast<int64_t>(w - r) : 0;
}

namespace {

// Takes up to `frames` of one stream's ring into `out`; returns true when
// the ring has room for the worker to make another block.
bool MixStream(Stream& s, float* out, size_t frames, int outCh) {
  uint64_t r = s.readIdx.load(std::memory_order_relaxed);
  const uint64_t discard = s.discardTo.load(std::memory_order_acquire);
  if (discard > r) r = discard;
  const uint64_t w = s.writeIdx.load(std::memory_order_acquire);
  const size_t avail = static_cast<size_t>(w - r);
  const size_t n = std::min(frames, avail);
  const int ch = s.channels;
  const float target = s.volume.load(std::memory_order_relaxed);
  const float pan = s.pan.load(std::memory_order_relaxed);
  const float gl = pan > 0 ? 1.0f - pan : 1.0f;
  const float gr = pan < 0 ? 1.0f + pan : 1.0f;
  int base = s.pair * 2;
  if (base + 2 > outCh) base = 0;
  float peakL = 0, peakR = 0;
  const size_t levelFrom = n > static_cast<size_t>(kLevelFrames) ? n - static_cast<size_t>(kLevelFrames) : 0;
  float vol = s.curVolume.load(std::memory_order_relaxed);
  for (size_t i = 0; i < n; ++i) {
    const float* f = &s.ring[((r + i) & kRingMask) * static_cast<uint64_t>(ch)];
    const float left = f[0];
    const float right = ch > 1 ? f[1] : f[0];
    if (i >= levelFrom) {
      peakL = std::max(peakL, std::fabs(left));
      peakR = std::max(peakR, std::fabs(right));
    }
    const float diff = target - vol;
    vol += diff > kVolumeStep ? kVolumeStep : (diff < -kVolumeStep ? -kVolumeStep : diff);
    float* o = out + i * static_cast<size_t>(outCh);
    if (outCh == 1) {
      o[0] += 0.5f * (left * gl + right * gr) * vol;
    } else {
      o[base] += left * gl * vol;
      o[base + 1] += right * gr * vol;
    }
  }
  s.curVolume.store(vol, std::memory_order_relaxed);
  if (n > 0) {
    s.heard.store(static_cast<int64_t>(s.ringPos[(r + n - 1) & kRingMask]), std::memory_order_relaxed);
    uint32_t l = static_cast<uint32_t>(std::min(32768.0f, std::round(peakL * 32768.0f)));
    uint32_t rr = static_cast<uint32_t>(std::min(32768.0f, std::round(peakR * 32768.0f)));
    if (n < static_cast<size_t>(kLevelFrames)) {
      // Too little heard in this call for 20 ms: keep the louder of the last.
      const uint32_t old = s.level.load(std::memory_order_relaxed);
      l = std::max(l, old & 0xFFFFu);
      rr = std::max(rr, old >> 16);
    }
    s.level.store(l | (rr << 16), std::memory_order_relaxed);
  }
  s.readIdx.store(r + n, std::memory_order_release);
  const bool done = s.done.load(std::memory_order_acquire);
  if (n < frames) {
    if (done && n == avail) {
      // The end has been heard.
      s.heard.store(s.endFrame.load(std::memory_order_relaxed), std::memory_order_relaxed);
      uint32_t playing = kPlaying;
      s.state.compare_exchange_strong(playing, kStopped);
      s.level.store(0, std::memory_order_relaxed);
    } else {
      s.stalled.store(true, std::memory_order_relaxed);
      E().underruns.fetch_add(frames - n, std::memory_order_relaxed);
    }
  } else {
    s.stalled.store(false, std::memory_order_relaxed);
  }
  if (done || static_cast<int64_t>(avail - n) > kWakeBelow) return false;
  // Note when the ring began to want data, for the ring wait figure.
  int64_t none = 0;
  s.wantingSince.compare_exchange_strong(none, NowNs(), std::memory_order_relaxed);
  return true;
}

}  // namespace

void Mix(Device& d, float* out, size_t frames, int outCh) {
  const int64_t start = NowNs();
  d.inCallback.store(true);
  std::fill(out, out + frames * static_cast<size_t>(outCh), 0.0f);
  bool wantData = false;
  for (auto& slot : d.slots) {
    Stream* s = slot.load();
    if (!s || s->state.load(std::memory_order_acquire) != kPlaying) continue;
    wantData |= MixStream(*s, out, frames, outCh);
  }
  // Two decks, boosted bands or a song's gain can go over full scale: the
  // limiter keeps every sample below it (and passes on no sample that is not
  // a number), leaving sound below -1 dBFS as it is.
  if (E().limiterOn.load(std::memory_order_relaxed)) {
    d.limiter.Process(out, frames, outCh);
  } else {
    for (size_t i = 0; i < frames * static_cast<size_t>(outCh); ++i) {
      const float v = out[i];
      out[i] = v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : (v == v ? v : 0.0f));
    }
  }
  d.callbacks.fetch_add(1);
  d.inCallback.store(false);
  if (wantData) d.wake.Signal();
  StoreMax(E().longestCallbackNs, NowNs() - start);
}

int PaCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
               PaStreamCallbackFlags, void* user) {
  auto* d = static_cast<Device*>(user);
  Mix(*d, static_cast<float*>(output), frames, d->outChannels);
  PaceCallback(*d, frames);
  return paContinue;
}

void WaitCallbackPass(Device& d) {
  if (!d.inCallback.load()) return;
  const uint64_t c = d.callbacks.load();
  while (d.inCallback.load() && d.callbacks.load() == c) std::this_thread::yield();
}

}  // namespace engine::core
