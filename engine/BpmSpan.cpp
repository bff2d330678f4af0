// The public BPM calls: tempo detection over a span of a decode stream, the
// results kept per handle, and their translation.
//
// The span is decoded by a decoder of its own, opened for analysis (mono and
// at a lower rate where the format allows it, see OpenAnalysisDecoder): the
// stream itself is not touched, no lock is held while the span decodes and
// the detection runs, and the progress routine may call the engine. Only
// when the file can no longer be opened does the stream's own decoder read
// the span, under the stream's lock, which is let go for each progress call.
// A detection asked for later (kBpmLater) runs the same way on the engine's
// tempo lane; its stream is kept alive by the job, and when the caller asked
// for it to be freed, nothing else reaches its decoder any more.
#include <algorithm>
#include <cmath>

#include "engine/EngineCore.h"
#include "engine/bpm/BpmDetect.h"

namespace engine {

using namespace core;

namespace {

constexpr int64_t kChunk = 8192;  // frames decoded between progress calls

// Where the span's samples come from.
struct SpanReader {
  Decoder* dec = nullptr;
  // Set when `dec` is the stream's own: held while decoding.
  std::shared_ptr<Stream> stream;
};

// Decodes frames [start, end) of the reader's decoder (at its rate) as mono
// samples, calling progress(0..50) in steps of ten. Empty when the span
// cannot be reached.
std::vector<float> DecodeSpan(const SpanReader& reader, int64_t start, int64_t end,
                              const std::function<void(float)>& progress, const std::function<bool()>& cancelled) {
  std::vector<float> mono;
  Decoder& dec = *reader.dec;
  std::unique_lock<std::mutex> lock;
  if (reader.stream) lock = std::unique_lock<std::mutex>(reader.stream->m);
  if (reader.stream && reader.stream->freed) return mono;
  if (!dec.Seek(start)) return mono;
  const int ch = dec.channels();
  mono.reserve(static_cast<size_t>(end - start));
  std::vector<float> block(static_cast<size_t>(kChunk) * static_cast<size_t>(ch));
  int lastStep = -1;
  while (static_cast<int64_t>(mono.size()) < end - start) {
    if (cancelled && cancelled()) break;
    if (reader.stream && !lock.owns_lock()) {
      lock.lock();
      // A call from the progress routine may have moved or freed it.
      if (reader.stream->freed) break;
      const int64_t at = start + static_cast<int64_t>(mono.size());
      if (dec.position() != at && !dec.Seek(at)) break;
    }
    const int64_t want = std::min<int64_t>(kChunk, end - start - static_cast<int64_t>(mono.size()));
    const int64_t got = dec.Read(block.data(), want);
    if (got <= 0) break;
    if (ch == 1) {
      mono.insert(mono.end(), block.begin(), block.begin() + got);
    } else {
      for (int64_t i = 0; i < got; ++i) {
        float sum = 0;
        for (int c = 0; c < ch; ++c) sum += block[static_cast<size_t>(i * ch + c)];
        mono.push_back(sum / static_cast<float>(ch));
      }
    }
    // Decoding is the first half of the work.
    const int step = static_cast<int>(50.0 * static_cast<double>(mono.size()) / static_cast<double>(end - start) / 10.0);
    if (progress && step != lastStep) {
      lastStep = step;
      if (lock.owns_lock()) lock.unlock();
      progress(static_cast<float>(step * 10));
    }
  }
  return mono;
}

}  // namespace

namespace {

// Measures seconds t0..t1 of the stream's file, through a decoder of its own
// (or, when the file can no longer be opened, the stream's, which goes back
// to frame `saved` afterwards). `owned`: nothing but the caller can reach
// the stream any more (a stream freed for a later detection), so its
// decoder is read without its lock. `cancelled` is asked between chunks.
float Measure(const std::shared_ptr<Stream>& s, bool owned, int64_t saved, double t0, double t1, float minBpm,
              float maxBpm, uint32_t flags, const std::function<void(float)>& report,
              const std::function<void(float)>& inner, const std::function<bool()>& cancelled) {
  if (!(t1 > t0)) return 0.0f;
  SpanReader reader;
  std::unique_ptr<Decoder> own = OpenAnalysisDecoder(s->path);
  if (own) {
    reader.dec = own.get();
  } else {
    reader.dec = s->dec.get();
    if (!owned) reader.stream = s;
  }
  const int rate = reader.dec->rate();
  std::vector<float> mono =
      DecodeSpan(reader, static_cast<int64_t>(t0 * rate), static_cast<int64_t>(t1 * rate), report, cancelled);
  if (reader.stream) {
    // The stream's own decoder goes back to where it was.
    std::lock_guard<std::mutex> lock(s->m);
    if (!s->freed) {
      s->dec->Seek(saved);
      s->Publish();
    }
  }
  if (mono.empty() || (cancelled && cancelled())) return 0.0f;
  float bpm = bpm::DetectBpm(mono.data(), mono.size(), rate, inner, minBpm, maxBpm);
  if ((flags & kBpmMult2) && bpm > 0 && bpm < minBpm) bpm *= 2;
  if (!std::isfinite(bpm) || bpm < 0) bpm = 0;
  return bpm;
}

}  // namespace

float BpmOfSpan(Handle h, double from, double to, uint32_t minMax, uint32_t flags, const BpmProgress& progress) {
  float minBpm = 60.0f, maxBpm = 190.0f;
  if (minMax != 0) {
    minBpm = static_cast<float>(minMax & 0xFFFFu);
    maxBpm = static_cast<float>(minMax >> 16);
  }
  std::shared_ptr<Stream> s;
  int64_t length = 0, saved = 0;
  {
    Held held(h);
    if (!held || held->playable) return 0.0f;
    if (minMax != 0 && (minBpm < 1.0f || maxBpm <= minBpm)) return 0.0f;
    s = held.ptr();
    held->Publish();
    length = held->dec->lengthFrames();
    saved = held->dec->position();
  }
  // The span in seconds, within the file.
  const double fileSeconds = static_cast<double>(length) / s->rate;
  const double t0 = std::clamp(std::max(0.0, from), 0.0, fileSeconds);
  const double t1 = std::clamp(std::max(0.0, to), 0.0, fileSeconds);
  Engine& e = E();

  if (flags & kBpmLater) {
    // The result is kept under h as pending now, and filled in by the tempo
    // lane; a FreeBpm meanwhile drops it (and tells the job to stop).
    uint64_t job = 0;
    {
      std::lock_guard<std::mutex> lock(e.registryMutex);
      job = e.nextBpmJob++;
      e.bpms[h] = BpmState{0.0f, s->rate, true, job};
    }
    bool owned = false;
    if (flags & kFreeSource) {
      Held held(h);
      if (held) {
        FreeLocked(held.ptr(), held.lock());
        owned = true;
      }
    }
    auto current = [h, job] {
      Engine& en = E();
      std::lock_guard<std::mutex> lock(en.registryMutex);
      auto it = en.bpms.find(h);
      return it != en.bpms.end() && it->second.job == job;
    };
    RunInBackground(Lane::kBpm, [s, owned, saved, t0, t1, minBpm, maxBpm, flags, h, job, current] {
      const float bpm = Measure(s, owned, saved, t0, t1, minBpm, maxBpm, flags, {}, {}, [&] { return !current(); });
      Engine& en = E();
      std::lock_guard<std::mutex> lock(en.registryMutex);
      auto it = en.bpms.find(h);
      if (it != en.bpms.end() && it->second.job == job) it->second = BpmState{bpm, s->rate, false, job};
    });
    return 0.0f;
  }

  std::function<void(float)> report, inner;
  if (progress) {
    report = [&](float p) { progress(h, p); };
    inner = [&](float p) { progress(h, 50.0f + p / 2.0f); };
  }
  const float bpm = Measure(s, false, saved, t0, t1, minBpm, maxBpm, flags, report, inner, {});
  {
    std::lock_guard<std::mutex> lock(e.registryMutex);
    e.bpms[h] = BpmState{bpm, s->rate, false, 0};
  }
  if (flags & kFreeSource) {
    Held held(h);
    if (held) FreeLocked(held.ptr(), held.lock());
  }
  return bpm;
}

bool BpmPending(Handle h) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.registryMutex);
  auto it = e.bpms.find(h);
  return it != e.bpms.end() && it->second.pending;
}

bool FreeBpm(Handle h) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.registryMutex);
  return e.bpms.erase(h) > 0;
}

float TranslateBpm(Handle h, float value, uint32_t kind) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.registryMutex);
  auto it = e.bpms.find(h);
  if (it == e.bpms.end() || it->second.bpm <= 0 || !std::isfinite(value)) return 0.0f;
  BpmState& b = it->second;
  switch (kind) {
    case kBpmTimes2: b.bpm *= 2; return b.bpm;
    case kBpmToFreq: return static_cast<float>(static_cast<double>(b.rate) * value / b.bpm);
    case kFreqToBpm: return static_cast<float>(static_cast<double>(b.bpm) * value / b.rate);
    case kBpmToPercent: return static_cast<float>(100.0 * value / b.bpm);
    case kPercentToBpm: return static_cast<float>(static_cast<double>(b.bpm) * value / 100.0);
    default: return 0.0f;
  }
}

}  // namespace engine
