#include "engine/Engine.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>
#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/Decoder.h"
#include "engine/bpm/BpmDetect.h"
#include "engine/dsp/Dsp.h"

namespace engine {
namespace {

constexpr int kRate = 44100;            // every device runs at this rate
constexpr uint64_t kRingFrames = 16384;  // per stream, a power of two
constexpr uint64_t kRingMask = kRingFrames - 1;
constexpr int64_t kAhead = 4096;         // frames the worker keeps ready (~93 ms)
constexpr int kBlock = 1024;             // frames decoded or stretched per step
constexpr int kSlots = 64;               // streams one device can play at once
constexpr int kPaFrames = 1024;          // frames per output callback
constexpr float kVolumeStep = 1.0f / 441.0f;  // a full volume swing takes 10 ms
constexpr int kLevelFrames = kRate / 50;       // levels cover the last 20 ms

struct Stream;

struct Device {
  int index = 0;
  bool ready = false;      // initialised
  int outChannels = 2;
  int latencyFrames = 0;  // frames between the callback and the ears
  PaDeviceIndex pa = paNoDevice;
  PaStream* paStream = nullptr;
  std::thread worker;
  std::thread pacer;  // "No sound" only: stands in for the output callback
  std::atomic<bool> quit{false};
  // The worker's list (it may lock), and the callback's lock-free slots.
  std::mutex listMutex;
  std::vector<std::shared_ptr<Stream>> streams;
  std::array<std::atomic<Stream*>, kSlots> slots{};
  std::atomic<bool> inCallback{false};
  std::atomic<uint64_t> callbacks{0};
};

struct EffectEntry {
  int32_t type;
  int priority;
  uint64_t order;
  std::unique_ptr<dsp::Effect> fx;
};

struct Stream {
  Handle handle = 0;
  int device = 0;
  uint32_t flags = 0;
  bool playable = false;
  bool tempo = false;
  int rate = 0;
  int channels = 0;

  // Decode streams (and plain playable streams) own their decoder; a tempo
  // stream reads from its source's.
  std::unique_ptr<Decoder> dec;
  std::shared_ptr<Stream> source;
  bool freeSource = false;
  Stream* owner = nullptr;  // the tempo stream a decode stream belongs to

  Decoder* input() { return tempo ? source->dec.get() : dec.get(); }
  int64_t lengthFrames() { return tempo ? source->dec->lengthFrames() : dec->lengthFrames(); }

  // ---- worker side, under m
  std::mutex m;
  std::unique_ptr<soundtouch::SoundTouch> st;
  uint32_t appliedTempoSeq = 0;
  double ratio = 1.0;   // source frames per output frame
  std::atomic<double> heardRatio{1.0};  // the same, for the control thread
  double outPos = 0;    // source position after the last frame produced
  bool fedEnd = false;
  std::vector<float> inBuf, outBuf;
  std::vector<EffectEntry> chain;
  uint64_t nextOrder = 0;

  // ---- control values, written by the control thread
  std::atomic<float> tempoPct{0}, rateHz{0}, pitch{0};
  std::atomic<uint32_t> tempoSeq{1};
  std::atomic<float> volume{1.0f}, pan{0.0f};
  // Sample rates the caller gave to each equaliser band (the bands always
  // run at the rate the data really has).
  std::map<int32_t, int32_t> eqRates;

  // ---- ring: producer = worker (under m), consumer = output callback
  std::unique_ptr<float[]> ring;
  std::unique_ptr<double[]> ringPos;  // source position after each frame
  std::atomic<uint64_t> writeIdx{0}, readIdx{0}, discardTo{0};
  std::atomic<bool> done{false};  // nothing more will be produced
  std::atomic<int64_t> endFrame{0};  // the source's end, once done

  // ---- callback side
  std::atomic<uint32_t> state{kStopped};
  std::atomic<bool> stalled{false};
  std::atomic<int64_t> heard{0};  // source frames heard
  std::atomic<int64_t> seekFrame{0};  // where the last seek went
  std::atomic<uint32_t> level{0};
  float curVolume = 1.0f;
  int slot = -1;
  int pair = 0;  // speaker pair 0..3
};

struct BpmState {
  float bpm = 0;
  int rate = 0;
};

struct Engine {
  std::recursive_mutex api;
  std::unordered_map<Handle, std::shared_ptr<Stream>> streams;
  std::unordered_map<Handle, BpmState> bpms;
  std::map<uint32_t, uint32_t> options;
  std::vector<std::unique_ptr<Device>> devices;  // [0] = "No sound"
  std::deque<std::string> names;                 // every name ever listed
  std::vector<const char*> nameList;             // current list, [0] = "No sound"
  bool paUp = false;
  bool listed = false;
  int selected = 0;
  Handle nextHandle = 1;
  bool manual = false;
  std::atomic<uint64_t> underruns{0};
  std::vector<float> renderScratch;

  ~Engine();
};

Engine& E() {
  static Engine engine;
  return engine;
}

// ------------------------------------------------------------ producing

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

// Keeps `target` frames ready in the stream's ring, counting only frames
// from ring index `from` on (frames before it are about to be dropped by a
// seek). Called with s.m held.
void FillLocked(Stream& s, int64_t target, uint64_t from = 0) {
  Decoder* in = s.input();
  const int ch = s.channels;
  for (;;) {
    if (s.done.load(std::memory_order_relaxed)) return;
    const uint64_t w = s.writeIdx.load(std::memory_order_relaxed);
    // Frames the callback may still read must not be overwritten.
    const uint64_t r = std::max(s.readIdx.load(std::memory_order_acquire),
                                s.discardTo.load(std::memory_order_relaxed));
    const int64_t ready = static_cast<int64_t>(w - std::max(r, from));
    if (ready >= target) return;
    const int64_t room = static_cast<int64_t>(kRingFrames) - static_cast<int64_t>(w - r);
    if (room <= 0) return;
    ApplyTempo(s);
    const int want = static_cast<int>(std::min<int64_t>(room, kBlock));
    const int got = static_cast<int>(s.st->receiveSamples(s.outBuf.data(), static_cast<unsigned>(want)));
    if (got == 0) {
      if (s.fedEnd) {
        // Where the source really ended (the stretcher's output count only
        // approximates the source's).
        s.endFrame.store(std::min(in->position(), s.lengthFrames()), std::memory_order_relaxed);
        s.done.store(true, std::memory_order_release);
        return;
      }
      const int64_t n = in->Read(s.inBuf.data(), kBlock);
      if (n > 0) {
        s.st->putSamples(s.inBuf.data(), static_cast<unsigned>(n));
      } else {
        s.st->flush();
        s.fedEnd = true;
      }
      continue;
    }
    for (auto& e : s.chain) e.fx->Process(s.outBuf.data(), got);
    const double limit = static_cast<double>(std::min(in->position(), s.lengthFrames()));
    for (int i = 0; i < got; ++i) {
      const uint64_t at = (w + static_cast<uint64_t>(i)) & kRingMask;
      std::memcpy(&s.ring[at * static_cast<uint64_t>(ch)], &s.outBuf[static_cast<size_t>(i) * static_cast<size_t>(ch)],
                  sizeof(float) * static_cast<size_t>(ch));
      s.outPos = std::min(s.outPos + s.ratio, limit);
      s.ringPos[at] = s.outPos;
    }
    s.writeIdx.store(w + static_cast<uint64_t>(got), std::memory_order_release);
  }
}

void Fill(Stream& s, int64_t target) {
  std::lock_guard<std::mutex> lock(s.m);
  FillLocked(s, target);
}

void FillDevice(Device& d, int64_t target) {
  std::vector<std::shared_ptr<Stream>> list;
  {
    std::lock_guard<std::mutex> lock(d.listMutex);
    list = d.streams;
  }
  for (auto& s : list) {
    const uint32_t st = s->state.load();
    if (st == kPlaying || st == kPaused) Fill(*s, target);
  }
}

// ------------------------------------------------------------ mixing (real time)

// Mixes every playing stream of the device into `out` (frames x outCh).
// Never allocates, locks or decodes.
void Mix(Device& d, float* out, size_t frames, int outCh) {
  d.inCallback.store(true);
  std::fill(out, out + frames * static_cast<size_t>(outCh), 0.0f);
  for (auto& slot : d.slots) {
    Stream* s = slot.load();
    if (!s || s->state.load(std::memory_order_acquire) != kPlaying) continue;
    uint64_t r = s->readIdx.load(std::memory_order_relaxed);
    const uint64_t discard = s->discardTo.load(std::memory_order_acquire);
    if (discard > r) r = discard;
    const uint64_t w = s->writeIdx.load(std::memory_order_acquire);
    const size_t avail = static_cast<size_t>(w - r);
    const size_t n = std::min(frames, avail);
    const int ch = s->channels;
    const float target = s->volume.load(std::memory_order_relaxed);
    const float pan = s->pan.load(std::memory_order_relaxed);
    const float gl = pan > 0 ? 1.0f - pan : 1.0f;
    const float gr = pan < 0 ? 1.0f + pan : 1.0f;
    int base = s->pair * 2;
    if (base + 2 > outCh) base = 0;
    float peakL = 0, peakR = 0;
    const size_t levelFrom = n > static_cast<size_t>(kLevelFrames) ? n - static_cast<size_t>(kLevelFrames) : 0;
    float vol = s->curVolume;
    for (size_t i = 0; i < n; ++i) {
      const float* f = &s->ring[((r + i) & kRingMask) * static_cast<uint64_t>(ch)];
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
    s->curVolume = vol;
    if (n > 0) {
      s->heard.store(static_cast<int64_t>(s->ringPos[(r + n - 1) & kRingMask]), std::memory_order_relaxed);
      uint32_t l = static_cast<uint32_t>(std::min(32768.0f, std::round(peakL * 32768.0f)));
      uint32_t rr = static_cast<uint32_t>(std::min(32768.0f, std::round(peakR * 32768.0f)));
      if (n < static_cast<size_t>(kLevelFrames)) {
        // Too little heard in this call for 20 ms: keep the louder of the last.
        const uint32_t old = s->level.load(std::memory_order_relaxed);
        l = std::max(l, old & 0xFFFFu);
        rr = std::max(rr, old >> 16);
      }
      s->level.store(l | (rr << 16), std::memory_order_relaxed);
    }
    s->readIdx.store(r + n, std::memory_order_release);
    if (n < frames) {
      if (s->done.load(std::memory_order_acquire) && n == avail) {
        // The end has been heard.
        s->heard.store(s->endFrame.load(std::memory_order_relaxed), std::memory_order_relaxed);
        uint32_t playing = kPlaying;
        s->state.compare_exchange_strong(playing, kStopped);
        s->level.store(0, std::memory_order_relaxed);
      } else {
        s->stalled.store(true, std::memory_order_relaxed);
        E().underruns.fetch_add(frames - n, std::memory_order_relaxed);
      }
    } else {
      s->stalled.store(false, std::memory_order_relaxed);
    }
  }
  // Two decks with boosted bands can go over full scale: clip rather than
  // let the sound card's conversion wrap around, and never pass on a sample
  // that is not a number.
  for (size_t i = 0; i < frames * static_cast<size_t>(outCh); ++i) {
    const float v = out[i];
    out[i] = v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : (v == v ? v : 0.0f));
  }
  d.callbacks.fetch_add(1);
  d.inCallback.store(false);
}

int PaCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
               PaStreamCallbackFlags, void* user) {
  auto* d = static_cast<Device*>(user);
  Mix(*d, static_cast<float*>(output), frames, d->outChannels);
  return paContinue;
}

// Waits until the device's callback has left any pass that may have seen a
// slot before it was cleared.
void WaitCallbackPass(Device& d) {
  if (!d.inCallback.load()) return;
  const uint64_t c = d.callbacks.load();
  while (d.inCallback.load() && d.callbacks.load() == c) std::this_thread::yield();
}

// ------------------------------------------------------------ device threads

void WorkerLoop(Device* d) {
  while (!d->quit.load()) {
    FillDevice(*d, kAhead);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// "No sound" at the real pace: consumes one block per block time, like the
// callback of a real device, while the worker decodes ahead as it does for
// every device.
void NoSoundPacer(Device* d) {
  std::vector<float> scratch(static_cast<size_t>(kPaFrames) * 2);
  auto next = std::chrono::steady_clock::now();
  const auto period = std::chrono::nanoseconds(1000000000LL * kPaFrames / kRate);
  while (!d->quit.load()) {
    Mix(*d, scratch.data(), kPaFrames, 2);
    next += period;
    // After a long stall (a suspended process) start afresh rather than
    // race through the missed time, as a sound card would.
    const auto now = std::chrono::steady_clock::now();
    if (now - next > 4 * period) next = now;
    std::this_thread::sleep_until(next);
  }
}

void StartNoSoundThread(Engine& e) {
  Device& d = *e.devices[0];
  if (e.manual || d.worker.joinable()) return;
  d.quit.store(false);
  d.worker = std::thread(WorkerLoop, &d);
  d.pacer = std::thread(NoSoundPacer, &d);
}

void StopThread(Device& d) {
  d.quit.store(true);
  if (d.worker.joinable()) d.worker.join();
  if (d.pacer.joinable()) d.pacer.join();
}

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Device 0 needs no sound system at all.
void EnsureNoSound(Engine& e) {
  if (!e.devices.empty()) return;
  e.devices.push_back(std::make_unique<Device>());
  e.devices[0]->ready = true;
  e.names.emplace_back("No sound");
  e.nameList.assign(1, e.names.back().c_str());
}

// Lists the output devices; PortAudio (and ALSA) start only when a caller
// asks about a device above 0.
void ListDevices(Engine& e) {
  EnsureNoSound(e);
  if (e.listed) return;
  e.listed = true;
  e.nameList.resize(1);
  snd_lib_error_set_handler(&QuietAlsa);
  if (!e.paUp && Pa_Initialize() == paNoError) e.paUp = true;
  if (!e.paUp) return;
  const int count = Pa_GetDeviceCount();
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info || info->maxOutputChannels < 1) continue;
    auto d = std::make_unique<Device>();
    d->index = static_cast<int>(e.devices.size());
    d->pa = i;
    e.devices.push_back(std::move(d));
    e.names.emplace_back(info->name ? info->name : "");
    e.nameList.push_back(e.names.back().c_str());
  }
}

Engine& Ready() {
  Engine& e = E();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  EnsureNoSound(e);
  return e;
}

std::shared_ptr<Stream> Find(Engine& e, Handle h) {
  if (h == 0) return nullptr;
  auto it = e.streams.find(h);
  return it == e.streams.end() ? nullptr : it->second;
}

// A stream the caller may use directly (not one a tempo stream has taken).
std::shared_ptr<Stream> FindFree(Engine& e, Handle h) {
  auto s = Find(e, h);
  return s && !s->owner ? s : nullptr;
}

void Unslot(Engine& e, Stream& s) {
  if (s.slot < 0) return;
  Device& d = *e.devices[static_cast<size_t>(s.device)];
  d.slots[static_cast<size_t>(s.slot)].store(nullptr);
  WaitCallbackPass(d);
  s.slot = -1;
  std::lock_guard<std::mutex> lock(d.listMutex);
  d.streams.erase(std::remove_if(d.streams.begin(), d.streams.end(),
                                 [&](const std::shared_ptr<Stream>& p) { return p.get() == &s; }),
                  d.streams.end());
}

void FreeLocked(Engine& e, const std::shared_ptr<Stream>& s) {
  s->state.store(kStopped);
  Unslot(e, *s);
  {
    // Let a worker that is filling this stream finish with it.
    std::lock_guard<std::mutex> lock(s->m);
  }
  e.streams.erase(s->handle);
  if (s->tempo && s->source) {
    if (s->freeSource) {
      e.streams.erase(s->source->handle);
    } else {
      // The source becomes the caller's again, where the tempo stream left it.
      s->source->owner = nullptr;
    }
  }
}

Engine::~Engine() {
  for (auto& d : devices) {
    if (!d) continue;
    if (d->paStream) {
      Pa_StopStream(d->paStream);
      Pa_CloseStream(d->paStream);
      d->paStream = nullptr;
    }
    StopThread(*d);
  }
  if (paUp) Pa_Terminate();
}

bool CloseDevice(Engine& e, Device& d) {
  if (d.index == 0) {
    // "No sound" stays usable; only its streams go.
  } else if (!d.ready) {
    return true;
  }
  std::vector<std::shared_ptr<Stream>> gone;
  for (auto& [h, s] : e.streams)
    if (s->device == d.index) gone.push_back(s);
  for (auto& s : gone) FreeLocked(e, s);
  if (d.index == 0) return true;
  if (d.paStream) {
    Pa_StopStream(d.paStream);
    Pa_CloseStream(d.paStream);
    d.paStream = nullptr;
  }
  StopThread(d);
  d.ready = false;
  return true;
}

int SpeakerPair(uint32_t flags) {
  switch (flags & kSpeakerMask) {
    case kSpeakerRear: return 1;
    case kSpeakerCenterLfe: return 2;
    case kSpeakerRear2: return 3;
    default: return 0;
  }
}

// Makes a stream playable: its time-stretcher, buffers and ring.
void MakePlayable(Stream& s) {
  s.playable = true;
  s.st = std::make_unique<soundtouch::SoundTouch>();
  s.st->setChannels(static_cast<unsigned>(s.channels));
  s.st->setSampleRate(static_cast<unsigned>(s.rate));
  // The quick overlap search: a fraction of the full search's cost, with a
  // difference that is hard to hear on music.
  s.st->setSetting(SETTING_USE_QUICKSEEK, 1);
  s.rateHz.store(static_cast<float>(s.rate));
  s.inBuf.assign(static_cast<size_t>(kBlock) * static_cast<size_t>(s.channels), 0.0f);
  s.outBuf.assign(static_cast<size_t>(kBlock) * static_cast<size_t>(s.channels), 0.0f);
  s.ring.reset(new float[kRingFrames * static_cast<uint64_t>(s.channels)]());
  s.ringPos.reset(new double[kRingFrames]());
  s.outPos = static_cast<double>(s.input()->position());
  s.heard.store(s.input()->position());
  s.seekFrame.store(s.input()->position());
  s.pair = SpeakerPair(s.flags);
}

Handle NewHandle(Engine& e) {
  Handle h = e.nextHandle++;
  if (h == 0) h = e.nextHandle++;  // 0 is never a handle
  return h;
}

Handle OpenStream(bool fromMemory, const char* path, uint64_t offset, uint64_t length, uint32_t flags) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  if (fromMemory || !path || offset != 0 || length != 0) return 0;
  Device& d = *e.devices[static_cast<size_t>(e.selected)];
  if (!d.ready) return 0;
  auto dec = OpenDecoder(path);
  if (!dec) return 0;
  auto s = std::make_shared<Stream>();
  s->handle = NewHandle(e);
  s->device = e.selected;
  s->flags = flags;
  s->rate = dec->rate();
  s->channels = dec->channels();
  s->rateHz.store(static_cast<float>(s->rate));
  s->dec = std::move(dec);
  if (!(flags & kDecode)) MakePlayable(*s);
  e.streams[s->handle] = s;
  return s->handle;
}

int64_t FramesToBytes(const Stream& s, int64_t frames) { return frames * s.channels * 2; }

bool SeekLocked(Stream& s, uint64_t bytes) {
  const int64_t frame = static_cast<int64_t>(bytes / (static_cast<uint64_t>(s.channels) * 2));
  if (frame > s.lengthFrames()) return false;
  if (!s.playable) return s.dec->Seek(frame);
  std::lock_guard<std::mutex> lock(s.m);
  if (!s.input()->Seek(frame)) return false;
  s.st->clear();
  for (auto& fx : s.chain) fx.fx->Reset();
  s.outPos = static_cast<double>(frame);
  s.fedEnd = false;
  s.done.store(false);
  s.seekFrame.store(frame);
  s.heard.store(frame);
  s.level.store(0);
  // Everything in the ring before `stale` is from the old position. While
  // playing, the new sound is made ready first and the old dropped after,
  // so that the callback never finds the ring empty in between.
  const uint64_t stale = s.writeIdx.load();
  if (s.state.load() == kPlaying) FillLocked(s, kAhead, stale);
  s.discardTo.store(stale, std::memory_order_release);
  return true;
}

}  // namespace

// ================================================================ devices

bool DeviceInit(int device, uint32_t freq, uint32_t flags, void* window) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  if (device > 0) ListDevices(e);
  if (device < 0 || static_cast<size_t>(device) >= e.devices.size()) return false;
  if (freq != 0 && (freq < 1000 || freq > 768000)) return false;
  Device& d = *e.devices[static_cast<size_t>(device)];
  if (d.ready) {
    e.selected = device;
    return true;
  }
  const PaDeviceInfo* info = Pa_GetDeviceInfo(d.pa);
  if (!info) return false;
  int channels = std::min(info->maxOutputChannels, (flags & kInitSpeakers) ? 8 : 2);
  PaStreamParameters out{};
  out.device = d.pa;
  out.sampleFormat = paFloat32;
  out.suggestedLatency = info->defaultLowOutputLatency;
  PaError err = paInternalError;
  for (;;) {
    out.channelCount = channels;
    err = Pa_OpenStream(&d.paStream, nullptr, &out, kRate, kPaFrames, paClipOff, &PaCallback, &d);
    if (err == paNoError || channels <= 2) break;
    channels = 2;  // the device would not give all its channels
  }
  if (err != paNoError) {
    d.paStream = nullptr;
    return false;
  }
  d.outChannels = channels;
  if (const PaStreamInfo* si = Pa_GetStreamInfo(d.paStream))
    d.latencyFrames = static_cast<int>(std::lround(si->outputLatency * kRate));
  d.quit.store(false);
  d.worker = std::thread(WorkerLoop, &d);
  if (Pa_StartStream(d.paStream) != paNoError) {
    Pa_CloseStream(d.paStream);
    d.paStream = nullptr;
    StopThread(d);
    return false;
  }
  d.ready = true;
  e.selected = device;
  return true;
}

bool DeviceFree() {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  return CloseDevice(e, *e.devices[static_cast<size_t>(e.selected)]);
}

bool DeviceStop() {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  for (auto& [h, s] : e.streams)
    if (s->device == e.selected && s->playable) {
      uint32_t st = s->state.load();
      if (st == kPlaying || st == kPaused) s->state.store(kStopped);
    }
  return true;
}

bool DeviceSelect(int device) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  if (device > 0) ListDevices(e);
  if (device < 0 || static_cast<size_t>(device) >= e.devices.size()) return false;
  e.selected = device;
  return true;
}

int SelectedDevice() {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  return e.selected;
}

uint32_t Version() { return kVersion; }

const char* DeviceName(int i) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  if (i > 0) ListDevices(e);
  if (i < 0 || static_cast<size_t>(i) >= e.nameList.size()) return nullptr;
  return e.nameList[static_cast<size_t>(i)];
}

bool SetOption(uint32_t option, uint32_t value) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  e.options[option] = value;
  return true;
}

bool RescanDevices() {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  for (size_t i = 1; i < e.devices.size(); ++i)
    if (e.devices[i]->ready) return false;
  e.devices.resize(1);
  if (e.selected != 0) e.selected = 0;
  if (e.paUp) Pa_Terminate();
  e.paUp = false;
  snd_config_update_free_global();
  e.listed = false;
  ListDevices(e);
  return true;
}

// ================================================================ streams

Handle OpenFileStream(bool fromMemory, const char* path, uint64_t offset, uint64_t length, uint32_t flags) {
  return OpenStream(fromMemory, path, offset, length, flags);
}
Handle OpenFlacStream(bool fromMemory, const char* path, uint64_t offset, uint64_t length, uint32_t flags) {
  return OpenStream(fromMemory, path, offset, length, flags);
}
Handle OpenWmaStream(bool fromMemory, const char* path, uint64_t offset, uint64_t length, uint32_t flags) {
  return OpenStream(fromMemory, path, offset, length, flags);
}

Handle CreateTempoStream(Handle source, uint32_t flags) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto src = FindFree(e, source);
  if (!src || src->playable) return 0;
  Device& d = *e.devices[static_cast<size_t>(e.selected)];
  if (!d.ready) return 0;
  auto s = std::make_shared<Stream>();
  s->handle = NewHandle(e);
  s->device = e.selected;
  s->flags = (flags & ~kSpeakerMask) | ((flags & kSpeakerMask) ? (flags & kSpeakerMask) : (src->flags & kSpeakerMask));
  s->tempo = true;
  s->rate = src->rate;
  s->channels = src->channels;
  s->source = src;
  s->freeSource = (flags & kFreeSource) != 0;
  src->owner = s.get();
  MakePlayable(*s);
  e.streams[s->handle] = s;
  return s->handle;
}

bool FreeStream(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s) return false;
  FreeLocked(e, s);
  return true;
}

bool CloseWmaEncoder(Handle) { return true; }

// ================================================================ transport

bool Play(Handle h, bool restart) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->playable) return false;
  Device& d = *e.devices[static_cast<size_t>(s->device)];
  if (!d.ready) return false;
  if (restart && !SeekLocked(*s, 0)) return false;
  if (s->state.load() == kPlaying) return true;
  if (s->slot < 0) {
    int free = -1;
    for (int i = 0; i < kSlots; ++i)
      if (!d.slots[static_cast<size_t>(i)].load()) {
        free = i;
        break;
      }
    if (free < 0) return false;
    {
      std::lock_guard<std::mutex> listLock(d.listMutex);
      d.streams.push_back(s);
    }
    s->slot = free;
    d.slots[static_cast<size_t>(free)].store(s.get());
  }
  // Have the start ready before the device asks for it.
  Fill(*s, kAhead);
  // The callback leaves a stream alone while it is not playing: a volume set
  // before the start applies from its first sample, without a ramp.
  s->curVolume = s->volume.load();
  s->stalled.store(false);
  s->state.store(kPlaying, std::memory_order_release);
  if (s->device == 0) StartNoSoundThread(e);
  return true;
}

bool Pause(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->playable) return false;
  uint32_t playing = kPlaying;
  return s->state.compare_exchange_strong(playing, kPaused);
}

bool Stop(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->playable) return false;
  s->state.store(kStopped);
  return true;
}

uint32_t IsActive(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s) return kStopped;
  if (!s->playable) return s->dec->ended() ? kStopped : kPlaying;
  const uint32_t st = s->state.load();
  if (st == kPlaying && s->stalled.load()) return kStalled;
  return st;
}

// ================================================================ positions

int64_t Position(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s) return -1;
  if (!s->playable) return FramesToBytes(*s, s->dec->position());
  // Until the callback has passed a seek, what it last reported is old.
  const int64_t seekFrame = s->seekFrame.load();
  if (s->discardTo.load(std::memory_order_acquire) > s->readIdx.load(std::memory_order_acquire))
    return FramesToBytes(*s, seekFrame);
  int64_t heard = s->heard.load();
  if (s->state.load() == kPlaying) {
    // What the callback gave the sound card is heard a little later.
    const Device& d = *e.devices[static_cast<size_t>(s->device)];
    const auto behind = static_cast<int64_t>(d.latencyFrames * s->heardRatio.load());
    heard = std::max(std::min(heard, seekFrame), heard - behind);
  }
  return FramesToBytes(*s, heard);
}

int64_t Length(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s) return -1;
  return FramesToBytes(*s, s->lengthFrames());
}

bool Seek(Handle h, uint64_t bytes) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s) return false;
  return SeekLocked(*s, bytes);
}

double BytesToSeconds(Handle h, uint64_t bytes) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s) return -1.0;
  return static_cast<double>(bytes) / (static_cast<double>(s->rate) * s->channels * 2);
}

int64_t SecondsToBytes(Handle h, double seconds) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !(seconds >= 0) || !std::isfinite(seconds)) return -1;
  // A hair of tolerance so that a time made from a whole frame count maps
  // back to that frame.
  const auto frames = static_cast<int64_t>(std::floor(seconds * s->rate + 1e-6));
  return FramesToBytes(*s, frames);
}

// ================================================================ attributes

bool SetAttributes(Handle h, int freq, int volume, int pan) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s) return false;
  if (!(freq == -1 || freq == 0 || (freq >= 100 && freq <= 200000))) return false;
  if (volume < -1 || volume > 100) return false;
  if (pan < -101 || pan > 100) return false;
  if (freq != -1) {
    s->rateHz.store(freq == 0 ? static_cast<float>(s->rate) : static_cast<float>(freq));
    s->tempoSeq.fetch_add(1, std::memory_order_release);
  }
  if (volume != -1) s->volume.store(static_cast<float>(volume) / 100.0f);
  if (pan != -101) s->pan.store(static_cast<float>(pan) / 100.0f);
  return true;
}

bool GetAttributes(Handle h, uint32_t* freq, uint32_t* volume, int* pan) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s) return false;
  if (freq) *freq = static_cast<uint32_t>(std::lround(s->rateHz.load()));
  if (volume) *volume = static_cast<uint32_t>(std::lround(s->volume.load() * 100.0f));
  if (pan) *pan = static_cast<int>(std::lround(s->pan.load() * 100.0f));
  return true;
}

uint32_t Level(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->playable || s->state.load() != kPlaying) return 0xFFFFFFFFu;
  if (s->stalled.load()) return 0;
  return s->level.load();
}

int32_t ReadData(Handle h, void* buffer, uint32_t bytes) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || s->playable || !buffer) return -1;
  const int ch = s->channels;
  const int64_t frames = static_cast<int64_t>(bytes / (static_cast<uint32_t>(ch) * 2u));
  if (frames == 0) return 0;
  auto* out = static_cast<int16_t*>(buffer);
  std::vector<float> tmp(static_cast<size_t>(std::min<int64_t>(frames, 8192)) * static_cast<size_t>(ch));
  int64_t done = 0;
  while (done < frames) {
    const int64_t want = std::min<int64_t>(frames - done, 8192);
    const int64_t got = s->dec->Read(tmp.data(), want);
    if (got <= 0) break;
    for (int64_t i = 0; i < got * ch; ++i) {
      const float x = tmp[static_cast<size_t>(i)];
      const float v = x == x ? std::round(x * 32768.0f) : 0.0f;  // a damaged frame's NaN reads as 0
      out[done * ch + i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
    }
    done += got;
  }
  if (done == 0) return -1;
  return static_cast<int32_t>(done * ch * 2);
}

// ================================================================ tempo

bool SetTempo(Handle h, float tempo, float rate, float pitch) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->tempo) return false;
  const bool keepTempo = tempo == -100.0f, keepRate = rate == -1.0f, keepPitch = pitch == -100.0f;
  if (!keepTempo && !(tempo >= -95.0f && tempo <= 5000.0f)) return false;
  if (!keepRate && !(rate == 0.0f || (rate >= 100.0f && rate <= 200000.0f))) return false;
  if (!keepPitch && !(pitch >= -60.0f && pitch <= 60.0f)) return false;
  if (!keepTempo) s->tempoPct.store(tempo);
  if (!keepRate) s->rateHz.store(rate == 0.0f ? static_cast<float>(s->rate) : rate);
  if (!keepPitch) s->pitch.store(pitch);
  s->tempoSeq.fetch_add(1, std::memory_order_release);
  return true;
}

float RateRatio(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->tempo) return 0.0f;
  return static_cast<float>((1.0 + s->tempoPct.load() / 100.0) * s->rateHz.load() / s->rate);
}

// ================================================================ effects

namespace {
EffectEntry* FindEffect(Stream& s, int32_t type) {
  for (auto& fx : s.chain)
    if (fx.type == type) return &fx;
  return nullptr;
}
}  // namespace

bool AddEffect(Handle h, int32_t type, int priority) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->playable) return false;
  if (FindEffect(*s, type)) return true;
  // Created here, on the control thread, so that the worker never allocates.
  auto fx = dsp::CreateEffect(type, kRate, s->channels);
  if (!fx) return false;
  std::lock_guard<std::mutex> streamLock(s->m);
  EffectEntry entry{type, priority, s->nextOrder++, std::move(fx)};
  auto at = std::find_if(s->chain.begin(), s->chain.end(),
                         [&](const EffectEntry& x) { return x.priority < priority; });
  s->chain.insert(at, std::move(entry));
  if (type == dsp::kPeakEq) s->eqRates.clear();
  return true;
}

bool RemoveEffect(Handle h, int32_t type) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->playable) return false;
  std::unique_ptr<dsp::Effect> gone;
  {
    std::lock_guard<std::mutex> streamLock(s->m);
    auto it = std::find_if(s->chain.begin(), s->chain.end(), [&](const EffectEntry& x) { return x.type == type; });
    if (it == s->chain.end()) return false;
    gone = std::move(it->fx);
    s->chain.erase(it);
  }
  if (type == dsp::kPeakEq) s->eqRates.clear();
  return true;  // the effect is destroyed here, outside the worker's lock
}

bool GetEffectParameters(Handle h, int32_t type, void* record) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->playable || !record) return false;
  EffectEntry* fx = FindEffect(*s, type);
  if (!fx || dsp::RecordSize(type) == 0) return false;
  if (!fx->fx->GetParameters(record)) return false;
  if (type == dsp::kPeakEq) {
    auto* eq = static_cast<dsp::PeakEqParams*>(record);
    auto it = s->eqRates.find(eq->band);
    if (it != s->eqRates.end()) eq->freq = it->second;
  }
  return true;
}

bool SetEffectParameters(Handle h, int32_t type, const void* record) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || !s->playable || !record) return false;
  EffectEntry* fx = FindEffect(*s, type);
  if (!fx) return false;
  if (dsp::RecordSize(type) == 0) return true;  // nothing to set
  if (type == dsp::kPeakEq) {
    // The band is designed for the rate the data really has here; the rate
    // the caller named is kept only to be read back.
    dsp::PeakEqParams eq;
    std::memcpy(&eq, record, sizeof eq);
    const int32_t callerRate = eq.freq;
    eq.freq = 0;
    // The effect hands the record to the worker through its own lock-free
    // slot; it reaches the sound at the start of the next block.
    if (!fx->fx->SetParameters(&eq)) return false;
    s->eqRates[eq.band] = callerRate;
    return true;
  }
  return fx->fx->SetParameters(record);
}

// ================================================================ BPM

float BpmOfSpan(Handle h, double from, double to, uint32_t minMax, uint32_t flags, const BpmProgress& progress) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  auto s = FindFree(e, h);
  if (!s || s->playable) return 0.0f;
  Decoder& dec = *s->dec;
  const int64_t length = dec.lengthFrames();
  const int64_t start = std::clamp<int64_t>(static_cast<int64_t>(std::max(0.0, from) * s->rate), 0, length);
  const int64_t end = std::clamp<int64_t>(static_cast<int64_t>(std::max(0.0, to) * s->rate), 0, length);
  float minBpm = 60.0f, maxBpm = 190.0f;
  if (minMax != 0) {
    minBpm = static_cast<float>(minMax & 0xFFFFu);
    maxBpm = static_cast<float>(minMax >> 16);
    if (minBpm < 1.0f || maxBpm <= minBpm) return 0.0f;
  }
  float bpm = 0.0f;
  const int64_t saved = dec.position();
  if (end > start && dec.Seek(start)) {
    const int ch = s->channels;
    std::vector<float> mono;
    mono.reserve(static_cast<size_t>(end - start));
    std::vector<float> block(static_cast<size_t>(8192) * static_cast<size_t>(ch));
    int lastStep = -1;
    while (static_cast<int64_t>(mono.size()) < end - start) {
      const int64_t want = std::min<int64_t>(8192, end - start - static_cast<int64_t>(mono.size()));
      const int64_t got = dec.Read(block.data(), want);
      if (got <= 0) break;
      for (int64_t i = 0; i < got; ++i) {
        float sum = 0;
        for (int c = 0; c < ch; ++c) sum += block[static_cast<size_t>(i * ch + c)];
        mono.push_back(sum / static_cast<float>(ch));
      }
      // Decoding is the first half of the work.
      const int step = static_cast<int>(50.0 * static_cast<double>(mono.size()) / static_cast<double>(end - start) / 10.0);
      if (progress && step != lastStep) {
        lastStep = step;
        progress(h, static_cast<float>(step * 10));
      }
    }
    if (!mono.empty()) {
      std::function<void(float)> inner;
      if (progress) inner = [&](float p) { progress(h, 50.0f + p / 2.0f); };
      bpm = bpm::DetectBpm(mono.data(), mono.size(), s->rate, inner, minBpm, maxBpm);
      if ((flags & kBpmMult2) && bpm > 0 && bpm < minBpm) bpm *= 2;
      if (!std::isfinite(bpm) || bpm < 0) bpm = 0;
    }
  }
  dec.Seek(saved);
  e.bpms[h] = BpmState{bpm, s->rate};
  if (flags & kFreeSource) FreeLocked(e, s);
  return bpm;
}

bool FreeBpm(Handle h) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  return e.bpms.erase(h) > 0;
}

float TranslateBpm(Handle h, float value, uint32_t kind) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
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

// ================================================================ testing

void SetManualClock(bool manual) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  if (manual == e.manual) return;
  e.manual = manual;
  Device& d = *e.devices[0];
  if (manual) {
    StopThread(d);
  } else {
    for (auto& slot : d.slots)
      if (Stream* s = slot.load(); s && s->state.load() == kPlaying) {
        StartNoSoundThread(e);
        break;
      }
  }
}

size_t RenderNoSound(float* out, size_t frames) {
  Engine& e = Ready();
  std::lock_guard<std::recursive_mutex> lock(e.api);
  if (!e.manual || !out) return 0;
  Device& d = *e.devices[0];
  size_t done = 0;
  while (done < frames) {
    const size_t n = std::min<size_t>(frames - done, kPaFrames);
    FillDevice(d, std::max<int64_t>(kAhead, static_cast<int64_t>(n)));
    Mix(d, out + done * 2, n, 2);
    done += n;
  }
  return frames;
}

uint64_t Underruns() { return E().underruns.load(); }

}  // namespace engine
