// The handle registry: every stream and every sound chain by its handle, the
// BPM results kept per handle, and the freeing of streams. Streams and chains
// draw their handles from one counter, so that no handle names both. Handles
// are never reused; a call on 0, a freed or an unknown handle finds nothing.
// The registry's lock is held only to look up, insert or erase.
#include <algorithm>

#include "engine/EngineCore.h"

namespace engine::core {

namespace {
// Why the calling thread's last stream creation failed.
thread_local StreamError tLastError;
}  // namespace

Handle Refuse(int32_t code, int64_t detail) {
  tLastError = StreamError{code, detail};
  return 0;
}

void Accepted() { tLastError = StreamError{}; }

namespace {
// The next handle (under registryMutex); 0 once the counter has run out,
// since handles are never reused.
Handle NextHandle(Engine& e) {
  if (e.nextHandle == 0) return 0;
  return e.nextHandle++;
}

// The entry of `table` under handle h (under registryMutex); null for 0 and
// for a handle the table does not hold.
template <typename Table>
typename Table::mapped_type Lookup(Table& table, Handle h) {
  if (h == 0) return nullptr;
  std::lock_guard<std::mutex> lock(E().registryMutex);
  auto it = table.find(h);
  return it == table.end() ? nullptr : it->second;
}
}  // namespace

Handle Register(const std::shared_ptr<Stream>& s) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.registryMutex);
  // A device being closed takes no new streams: CloseDevice marks it first
  // and then collects its streams under this lock.
  if (!s->device->ready.load()) return 0;
  const Handle h = NextHandle(e);
  if (h == 0) return 0;
  s->handle = h;
  e.streams[h] = s;
  return h;
}

std::shared_ptr<Stream> Find(Handle h) { return Lookup(E().streams, h); }

std::shared_ptr<Stream> FindFree(Handle h) {
  auto s = Find(h);
  return s && !s->owner.load() ? s : nullptr;
}

bool LockFree(Stream& s, std::unique_lock<std::mutex>& lock) {
  lock = std::unique_lock<std::mutex>(s.m);
  if (!s.freed && !s.owner.load()) return true;
  lock.unlock();
  return false;
}

Held::Held(Handle h) {
  stream_ = FindFree(h);
  if (!stream_) return;
  stream_->callers.fetch_add(1, std::memory_order_acq_rel);
  const bool held = LockFree(*stream_, lock_);
  stream_->callers.fetch_sub(1, std::memory_order_acq_rel);
  if (!held) stream_.reset();
}

Held::~Held() {
  if (!lock_.owns_lock()) return;
  const bool wake = stream_->playable && !stream_->freed;
  lock_.unlock();
  // The worker may have passed the stream by while this call held it.
  if (wake) stream_->device->wake.Signal();
}

void FreeLocked(const std::shared_ptr<Stream>& s, std::unique_lock<std::mutex>& lock) {
  s->state.store(kStopped);
  s->freed = true;
  if (s->playable) RemoveFromWorker(*s);
  if (s->tempo && s->source && !s->freeSource) {
    std::lock_guard<std::mutex> source(s->source->m);
    s->source->Publish();
  }
  lock.unlock();
  Engine& e = E();
  std::lock_guard<std::mutex> registry(e.registryMutex);
  e.streams.erase(s->handle);
  if (s->tempo && s->source) {
    if (s->freeSource) {
      e.streams.erase(s->source->handle);
    } else {
      // The source becomes the caller's again, where the tempo stream left
      // it (the worker is done with it: it skips a freed stream).
      s->source->owner.store(nullptr);
    }
  }
}

Handle RegisterChain(const std::shared_ptr<Chain>& c) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.registryMutex);
  const Handle h = NextHandle(e);
  if (h != 0) e.chains[h] = c;
  return h;
}

std::shared_ptr<Chain> FindChain(Handle h) { return Lookup(E().chains, h); }

bool DropChain(Handle h) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.registryMutex);
  return e.chains.erase(h) > 0;
}

std::vector<std::shared_ptr<Stream>> StreamsOn(const Device& d) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.registryMutex);
  std::vector<std::shared_ptr<Stream>> out;
  for (auto& [h, s] : e.streams)
    if (s->device == &d) out.push_back(s);
  return out;
}

}  // namespace engine::core

namespace engine {

StreamError LastStreamError() { return core::tLastError; }

}  // namespace engine
