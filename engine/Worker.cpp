// The decoding worker: one thread per device decodes, time-stretches and
// runs the effects of its playing streams ahead of time into their rings.
//
// It sleeps until woken (Wake): by the output callback when a ring has room
// for a block, or by an API call that changed a stream (a start, a seek, an
// effect). Awake, it gives every stream that wants data one block in turn
// until every ring holds its lead, so that one stream's decoding never
// holds up another's by more than a block. A stream whose lock an API call
// holds (a seek decoding ahead, an effect being added) is passed by; the
// call wakes the worker again when it lets go.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <thread>

#include "engine/EngineCore.h"

namespace engine::core {

// ------------------------------------------------------------ wake

Wake::Wake() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Wake::~Wake() {
  if (fd_ >= 0) close(fd_);
}

void Wake::Signal() {
  if (pending_.exchange(true, std::memory_order_acq_rel)) return;
  const uint64_t one = 1;
  // Cannot block: the counter is far from full, and the descriptor is
  // non-blocking besides.
  [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
}

void Wake::Wait() {
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    const int rc = poll(&p, 1, -1);
    if (rc > 0 || (rc < 0 && errno != EINTR)) break;
  }
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
  // Cleared after the read: a signal from now on writes again.
  pending_.store(false, std::memory_order_release);
}

// ------------------------------------------------------------ producing

namespace {

void ApplyTempo(Stream& s) {
  const uint32_t seq = s.tempoSeq.load(std::memory_order_acquire);
  if (seq == s.appliedTempoSeq) return;
  s.appliedTempoSeq = seq;
  const double tempo = 1.0 + s.tempoPct.load() / 100.0;
  const double rate = s.rateHz.load() / kRate;
  s.st->setTempo(tempo);
  s.st->setRate(rate);
  s.st->setPitchSemiTones(s.pitch.load());
  s.ratio = tempo * rate;
  s.heardRatio.store(s.ratio, std::memory_order_relaxed);
}

// Copies `got` frames of s.outBuf into the ring at index `w`, with the
// source position after each frame.
void WriteRing(Stream& s, uint64_t w, int got) {
  const size_t ch = static_cast<size_t>(s.channels);
  const size_t start = static_cast<size_t>(w & kRingMask);
  const size_t first = std::min(static_cast<size_t>(got), static_cast<size_t>(kRingFrames) - start);
  std::memcpy(&s.ring[start * ch], s.outBuf.data(), sizeof(float) * ch * first);
  std::memcpy(&s.ring[0], s.outBuf.data() + first * ch, sizeof(float) * ch * (static_cast<size_t>(got) - first));
  Decoder* in = s.input();
  const double limit = static_cast<double>(std::min(in->position(), s.lengthFrames()));
  double pos = s.outPos;
  for (int i = 0; i < got; ++i) {
    pos = std::min(pos + s.ratio, limit);
    s.ringPos[(w + static_cast<uint64_t>(i)) & kRingMask] = pos;
  }
  s.outPos = pos;
  s.writeIdx.store(w + static_cast<uint64_t>(got), std::memory_order_release);
}

// Runs the effect chain over `got` frames of s.outBuf. An effect that was
// removed goes over from its own sound into the sound it was given, along
// a straight line over its fade-out, and is then left out.
void RunEffects(Stream& s, int got) {
  const size_t ch = static_cast<size_t>(s.channels);
  const size_t n = static_cast<size_t>(got) * ch;
  float* out = s.outBuf.data();
  for (auto& e : s.chain) {
    if (e.On()) {
      e.fx->Process(out, got);
      continue;
    }
    if (e.fadeLeft == 0) continue;
    float* dry = s.dryBuf.data();
    std::copy(out, out + n, dry);
    e.fx->Process(out, got);
    for (size_t f = 0; f < static_cast<size_t>(got); ++f) {
      const int left = std::max(0, e.fadeLeft - static_cast<int>(f));
      const float wet = static_cast<float>(left) / kEffectFadeFrames;
      for (size_t c = 0; c < ch; ++c) out[f * ch + c] = dry[f * ch + c] + (out[f * ch + c] - dry[f * ch + c]) * wet;
    }
    e.fadeLeft = std::max(0, e.fadeLeft - got);
  }
}

enum class Step {
  kWrote,     // a block went into the ring
  kFed,       // the stretcher had nothing: a block of the source went into it
  kWaiting,   // the stream has its target ready, or its ring is full
  kFinished,  // the end is in the ring
  kSearching, // the source searches through damage: more to do, another time
};

// One step of production for a stream whose lock the caller holds. The
// target counts frames from ring index `from` on.
Step ProduceStep(Stream& s, int64_t target, uint64_t from) {
  if (s.done.load(std::memory_order_relaxed)) return Step::kFinished;
  const uint64_t w = s.writeIdx.load(std::memory_order_relaxed);
  // Frames the callback may still read must not be overwritten.
  const uint64_t r = std::max(s.readIdx.load(std::memory_order_acquire),
                              s.discardTo.load(std::memory_order_relaxed));
  const int64_t ready = static_cast<int64_t>(w - std::max(r, from));
  if (ready >= target) return Step::kWaiting;
  const int64_t room = static_cast<int64_t>(kRingFrames) - static_cast<int64_t>(w - r);
  if (room <= 0) return Step::kWaiting;
  ApplyTempo(s);
  const int want = static_cast<int>(std::min<int64_t>(room, kBlock));
  const int got = static_cast<int>(s.st->receiveSamples(s.outBuf.data(), static_cast<unsigned>(want)));
  if (got > 0) {
    RunEffects(s, got);
    WriteRing(s, w, got);
    return Step::kWrote;
  }
  Decoder* in = s.input();
  if (s.fedEnd) {
    // Where the source really ended (the stretcher's output count only
    // approximates the source's).
    s.endFrame.store(std::min(in->position(), s.lengthFrames()), std::memory_order_relaxed);
    s.done.store(true, std::memory_order_release);
    return Step::kFinished;
  }
  const int64_t n = in->Read(s.inBuf.data(), kBlock);
  if (n > 0) {
    s.st->putSamples(s.inBuf.data(), static_cast<unsigned>(n));
  } else if (in->waiting()) {
    // A search through damage that goes on in the next step (on the
    // worker, which lets go of the stream in between).
    return Step::kSearching;
  } else {
    s.st->flush();
    s.fedEnd = true;
  }
  s.Publish();
  return Step::kFed;
}

// Ends a stream where it is: what is in its ring plays, then it stops. For a
// tempo stage that threw.
void EndHere(Stream& s) {
  s.fedEnd = true;
  s.endFrame.store(std::min(s.input()->position(), s.lengthFrames()), std::memory_order_relaxed);
  s.done.store(true, std::memory_order_release);
}

// Steps a stream until it wrote a block, has what it wants or has fed
// kMaxFeeds blocks without sound; false when it fed that many (there is
// more to do, for another turn).
bool StepBounded(Stream& s, int64_t target, uint64_t from, Step& step) {
  try {
    for (int feeds = 0;;) {
      step = ProduceStep(s, target, from);
      if (step == Step::kSearching) return false;
      if (step != Step::kFed) return true;
      if (++feeds >= kMaxFeeds) return false;
    }
  } catch (const std::exception&) {
    EndHere(s);
    step = Step::kFinished;
    return true;
  }
}

// After a stream has its lead again: how long the ring waited for it.
void AnsweredWant(Stream& s) {
  const int64_t since = s.wantingSince.exchange(0, std::memory_order_relaxed);
  if (since != 0) StoreMax(E().longestRingWaitNs, NowNs() - since);
}

bool Wants(const Stream& s) {
  const uint32_t st = s.state.load(std::memory_order_acquire);
  return (st == kPlaying || st == kPaused) && !s.done.load(std::memory_order_acquire) && s.Ready() < kAhead;
}

void WorkerLoop(Device* d) {
  const SearchLimit perStep(kWorkerSearchBytes);
  std::vector<std::shared_ptr<Stream>> list;
  uint64_t seen = ~uint64_t{0};
  while (!d->quit.load()) {
    const uint64_t version = d->listVersion.load(std::memory_order_acquire);
    if (version != seen) {
      std::lock_guard<std::mutex> lock(d->listMutex);
      list = d->streams;
      seen = d->listVersion.load(std::memory_order_relaxed);
    }
    // A block for each stream that wants one, round after round.
    for (bool more = true; more && !d->quit.load();) {
      more = false;
      for (auto& s : list) {
        if (!Wants(*s)) continue;
        // A call waits for the stream: it goes first (the worker, taking
        // step after step of a long search, would else keep it waiting).
        if (s->callers.load(std::memory_order_acquire) > 0) {
          more = true;
          std::this_thread::yield();
          continue;
        }
        std::unique_lock<std::mutex> lock(s->m, std::try_to_lock);
        if (!lock.owns_lock() || s->freed) continue;
        Step step = Step::kWaiting;
        if (!StepBounded(*s, kAhead, 0, step) || (step == Step::kWrote && s->Ready() < kAhead)) {
          more = true;
        } else {
          AnsweredWant(*s);
        }
      }
    }
    d->wake.Wait();
  }
}

}  // namespace

void FillLocked(Stream& s, int64_t target, uint64_t from) {
  // Each round writes a block (at most a ring's worth in all) or stops.
  for (uint64_t rounds = 0; rounds <= kRingFrames / kBlock; ++rounds) {
    Step step = Step::kWaiting;
    if (!StepBounded(s, target, from, step) || step != Step::kWrote) break;
  }
  AnsweredWant(s);
}

void FillDeviceNow(Device& d, int64_t target) {
  std::vector<std::shared_ptr<Stream>> list;
  {
    std::lock_guard<std::mutex> lock(d.listMutex);
    list = d.streams;
  }
  for (auto& s : list) {
    const uint32_t st = s->state.load();
    if (st != kPlaying && st != kPaused) continue;
    std::lock_guard<std::mutex> lock(s->m);
    if (!s->freed) FillLocked(*s, target);
  }
}

void StartWorker(Device& d) {
  d.quit.store(false);
  d.worker = std::thread(WorkerLoop, &d);
}

void StopThreads(Device& d) {
  d.quit.store(true);
  d.wake.Signal();
  if (d.worker.joinable()) d.worker.join();
  if (d.pacer.joinable()) d.pacer.join();
}

bool AddToWorker(const std::shared_ptr<Stream>& s) {
  Device& d = *s->device;
  if (s->slot.load() < 0) {
    int claimed = -1;
    for (int i = 0; i < kSlots && claimed < 0; ++i) {
      Stream* none = nullptr;
      if (d.slots[static_cast<size_t>(i)].compare_exchange_strong(none, s.get())) claimed = i;
    }
    if (claimed < 0) return false;
    s->slot.store(claimed);
    std::lock_guard<std::mutex> lock(d.listMutex);
    d.streams.push_back(s);
    d.listVersion.fetch_add(1, std::memory_order_release);
  }
  return true;
}

void RemoveFromWorker(Stream& s) {
  Device& d = *s.device;
  const int slot = s.slot.exchange(-1);
  if (slot < 0) return;
  d.slots[static_cast<size_t>(slot)].store(nullptr);
  WaitCallbackPass(d);
  std::lock_guard<std::mutex> lock(d.listMutex);
  d.streams.erase(std::remove_if(d.streams.begin(), d.streams.end(),
                                 [&](const std::shared_ptr<Stream>& p) { return p.get() == &s; }),
                  d.streams.end());
  d.listVersion.fetch_add(1, std::memory_order_release);
}

}  // namespace engine::core
