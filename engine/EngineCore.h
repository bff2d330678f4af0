// The engine's inner parts, shared by its source files (not for callers:
// they use engine/Engine.h). Each file has one job:
//
//   Devices.cpp   the device list, output devices, the "No sound" device and
//                 its manual clock
//   Registry.cpp  handles: creation, lookup, freeing, and kept BPM results
//   Worker.cpp    the decoding worker of each device: decoding, tempo and
//                 effects ahead of time into the streams' rings
//   Mix.cpp       the real-time mix that the output callback runs
//   Pacing.cpp    pacing a device that takes sound faster than it plays it
//   Background.cpp  the engine's background threads (file scans, tempo
//                 detections that no caller waits for)
//   Chains.cpp    sound chains: a deck's effects and tempo settings kept
//                 apart from any stream, and their hand-over to a stream
//   Streams.cpp, StreamEffects.cpp, BpmSpan.cpp   the public calls
//
// Locks, outermost first (a thread holding one may take only those below):
//
//   1. Engine::deviceMutex  the device list, names, selection, options and
//                           the manual clock. Held by device calls, and
//                           briefly where a stream is registered on a device.
//   2. Stream::m            (a tempo stream's before its source's)
//                           everything about one stream that is not atomic:
//                           its decoder, time-stretcher, effect chain, ring
//                           writing. Held by API calls on that stream (a seek
//                           decodes ahead under it, a BPM detection decodes
//                           its span under it) and by the worker for one
//                           block at a time. The worker only ever try-locks
//                           it: a stream whose lock an API call holds is
//                           skipped, and the API call wakes the worker when
//                           it lets go. So no call on one stream can hold up
//                           the decoding of another.
//   3. Engine::registryMutex  the handle tables (streams and chains) and the
//                           BPM results; held for a
//                           lookup, an insertion or an erasure only.
//   4. Device::listMutex    the worker's list of streams; held to change it
//                           and by the worker to copy it after a change.
//
// A sound chain's own lock (Chain::m) stands apart: it is held by the chain
// calls with no other lock held, and none is taken under it. A chain is
// copied under it, then let go before the stream it is applied to is locked.
//
// The output callback (Mix.cpp) takes none of them. A background job takes
// them like an API call.
#pragma once

#include <portaudio.h>
#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/Decoder.h"
#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"
#include "engine/dsp/Limiter.h"

namespace engine::core {

constexpr int kRate = 44100;             // every device runs at this rate
constexpr uint64_t kRingFrames = 16384;  // per stream, a power of two
constexpr uint64_t kRingMask = kRingFrames - 1;
constexpr int64_t kAhead = 4096;         // frames the worker keeps ready (~93 ms)
constexpr int kBlock = 1024;             // frames decoded or stretched per step
// How far a call on the caller's thread (Play, a seek) may search through
// damage in a file before it leaves the search to the device's worker: a
// fraction of a millisecond at memory speed.
constexpr int64_t kCallerSearchBytes = 256 * 1024;
// The same for one step of a device's worker, which lets go of the stream
// between steps: well under a millisecond from memory.
constexpr int64_t kWorkerSearchBytes = 1024 * 1024;
// The callback wakes the worker once a ring has room for a whole block.
constexpr int64_t kWakeBelow = kAhead - kBlock;
constexpr int kSlots = 64;               // streams one device can play at once
constexpr int kPaFrames = 1024;          // frames per output callback
constexpr float kVolumeStep = 1.0f / 441.0f;  // a full volume swing takes 10 ms
constexpr int kLevelFrames = kRate / 50;       // levels cover the last 20 ms

// Wakes a sleeping worker: an eventfd that the worker waits on. Signal()
// never blocks and never allocates, so the output callback may call it; a
// signal while one is pending costs nothing more than an atomic exchange.
class Wake {
 public:
  Wake();
  ~Wake();
  Wake(const Wake&) = delete;
  Wake& operator=(const Wake&) = delete;
  void Signal();
  // Sleeps until a signal arrives (at once when one is pending), then
  // clears it.
  void Wait();

 private:
  int fd_ = -1;
  std::atomic<bool> pending_{false};
};

struct Stream;

// Finds out whether a device's callback runs faster than real time (a
// device without a clock of its own, such as ALSA's "null", which takes
// every block at once) and then paces it by the steady clock. Only the
// callback's thread uses it.
class Pacer {
 public:
  // Sound handed over per window while the pace is measured, and how many
  // windows in a row must go by in under half their time: a sound card's
  // first fill of its buffer goes fast once, a device without a clock
  // always does.
  static constexpr int64_t kWindowNs = 500'000'000;
  static constexpr int kFastWindows = 3;
  // After `frames` more were handed over at `nowNs` (steady clock): how long
  // the callback waits before it returns (0: not at all).
  int64_t Step(uint64_t frames, int64_t nowNs, int rate);
  bool paced() const { return paced_; }

 private:
  bool paced_ = false;
  int fastWindows_ = 0;
  int64_t windowStartNs_ = -1;
  uint64_t windowFrames_ = 0;
  int64_t anchorNs_ = 0;
  uint64_t anchorFrames_ = 0;
};

struct Device {
  int index = 0;
  std::atomic<bool> ready{false};  // initialised
  int outChannels = 2;
  int latencyFrames = 0;  // frames between the callback and the ears
  PaDeviceIndex pa = paNoDevice;
  PaStream* paStream = nullptr;
  std::thread worker;
  std::thread pacer;  // "No sound" only: stands in for the output callback
  std::atomic<bool> quit{false};
  std::atomic<int> pacerFrames{kPaFrames};  // "No sound": frames per block
  Wake wake;
  // The worker's list (changed under listMutex; the worker copies it only
  // when the version has moved), and the callback's lock-free slots.
  std::mutex listMutex;
  std::vector<std::shared_ptr<Stream>> streams;
  std::atomic<uint64_t> listVersion{0};
  std::array<std::atomic<Stream*>, kSlots> slots{};
  std::atomic<bool> inCallback{false};
  std::atomic<uint64_t> callbacks{0};
  // The callback's own: keeps the mixed sound below full scale.
  dsp::Limiter limiter{kRate};
  Pacer pacer_;  // the output callback's
};

// Frames over which a removed effect's sound goes over into the sound it
// was given (20 ms), so that switching an effect off never steps.
constexpr int kEffectFadeFrames = kRate / 50;

struct EffectEntry {
  int32_t type;
  int priority;
  uint64_t order;
  std::unique_ptr<dsp::Effect> fx;
  // -1 while the effect is on; once removed from a playing stream, the
  // frames its fade-out has left; 0 when it has faded out and only waits
  // to be cleared away (by the next call that adds or removes an effect).
  int fadeLeft = -1;
  bool On() const { return fadeLeft < 0; }
};

struct Stream {
  // ---- fixed at creation
  Handle handle = 0;
  Device* device = nullptr;
  uint32_t flags = 0;
  bool playable = false;
  bool tempo = false;
  int rate = 0;
  int channels = 0;
  int pair = 0;  // speaker pair 0..3
  std::string path;

  // Decode streams (and plain playable streams) own their decoder; a tempo
  // stream reads from its source's. Its rate and channels are what the
  // decoder delivers (engine/Decoder.h).
  std::unique_ptr<Decoder> dec;
  std::shared_ptr<Stream> source;
  bool freeSource = false;
  // The tempo stream a decode stream belongs to; callers cannot use it then.
  std::atomic<Stream*> owner{nullptr};

  // ---- under m
  std::mutex m;
  // Calls waiting for m (Held): the worker lets them go first.
  std::atomic<int> callers{0};
  bool freed = false;
  Decoder* input() { return tempo ? source->dec.get() : dec.get(); }
  int64_t lengthFrames() { return input()->lengthFrames(); }
  std::unique_ptr<soundtouch::SoundTouch> st;
  uint32_t appliedTempoSeq = 0;
  double ratio = 1.0;  // source frames per output frame
  double outPos = 0;   // source position after the last frame produced
  bool fedEnd = false;
  std::vector<float> inBuf, outBuf;
  std::vector<float> dryBuf;  // a fading effect's input
  std::vector<float> scratch;  // ReadData's conversion buffer
  std::vector<EffectEntry> chain;
  uint64_t nextOrder = 0;
  // Sample rates the caller gave to each equaliser band (the bands always
  // run at the rate the data really has).
  std::map<int32_t, int32_t> eqRates;

  // ---- the decoder's figures, for calls that take no lock
  std::atomic<int64_t> decPosition{0};  // decode streams: frames read
  std::atomic<int64_t> length{0};       // frames (grows for inexact formats)
  std::atomic<bool> decEnded{false};
  // Copies the decoder's figures into the atomics above (under m), after
  // taking over a scan of the file that has ended meanwhile.
  void Publish() {
    Decoder* in = input();
    in->TakeOverScan();
    decPosition.store(in->position(), std::memory_order_relaxed);
    length.store(in->lengthFrames(), std::memory_order_relaxed);
    decEnded.store(in->ended(), std::memory_order_relaxed);
  }

  // ---- control values, written by the control thread
  std::atomic<float> tempoPct{0}, rateHz{0}, pitch{0};
  std::atomic<uint32_t> tempoSeq{1};
  std::atomic<float> volume{1.0f}, pan{0.0f};
  std::atomic<double> heardRatio{1.0};  // ratio, for Position

  // ---- ring: producer = whoever holds m, consumer = the output callback
  std::unique_ptr<float[]> ring;
  std::unique_ptr<double[]> ringPos;  // source position after each frame
  std::atomic<uint64_t> writeIdx{0}, readIdx{0}, discardTo{0};
  std::atomic<bool> done{false};     // nothing more will be produced
  std::atomic<int64_t> endFrame{0};  // the source's end, once done
  // When the callback first found the ring wanting (steady-clock ns, 0 when
  // it does not); the worker measures its answer time from it.
  std::atomic<int64_t> wantingSince{0};

  // ---- callback side
  std::atomic<uint32_t> state{kStopped};
  std::atomic<bool> stalled{false};
  std::atomic<int64_t> heard{0};      // source frames heard
  std::atomic<int64_t> seekFrame{0};  // where the last seek went
  std::atomic<uint32_t> level{0};
  std::atomic<float> curVolume{1.0f};  // the callback's, set by Play before a start
  std::atomic<int> slot{-1};

  // Frames in the ring that the callback has not yet taken (counting only
  // frames from ring index `from` on).
  int64_t Ready(uint64_t from = 0) const;
};

// ---- sound chains

// A record as a fresh effect takes it (every record field is 32 bits).
struct ChainRecord {
  int32_t key;  // the equaliser's band, the volume's channel (0: all)
  std::array<uint32_t, 8> words;
};

// An effect of a chain: a real effect that never runs, so that records are
// checked, kept and read back exactly as on a stream, and the records that
// make up its state in the order a stream's fresh effect takes them (the
// equaliser's bands in the order they came, the volume's channels after its
// last record for every channel, another effect's last record).
struct ChainEffect {
  int32_t type;
  int priority;
  uint64_t order;
  std::unique_ptr<dsp::Effect> fx;
  std::vector<ChainRecord> records;
};

struct Chain {
  // ---- under m
  std::mutex m;
  bool freed = false;
  std::vector<ChainEffect> effects;  // in the order they run
  uint64_t nextOrder = 0;
  // Sample rates the caller gave to each equaliser band, as on a stream.
  std::map<int32_t, int32_t> eqRates;
  float tempoPct = 0;
  float rateHz = 0;  // the rate for a song at kRate; 0 each song's own
  float pitch = 0;
};

struct BpmState {
  float bpm = 0;
  int rate = 0;
  bool pending = false;  // a detection started with kBpmLater still runs
  uint64_t job = 0;      // which detection the result belongs to
};

struct Engine {
  Engine();
  ~Engine();

  // ---- under deviceMutex
  std::mutex deviceMutex;
  std::vector<std::unique_ptr<Device>> devices;  // [0] = "No sound"
  std::deque<std::string> names;                 // every name ever listed
  std::vector<const char*> nameList;             // current list, [0] = "No sound"
  // The device number of each output device in PortAudio's own order.
  std::vector<int> systemOrder;
  std::map<uint32_t, uint32_t> options;
  bool paUp = false;
  bool listed = false;
  // The device chosen last by any thread: a thread that has chosen none of
  // its own acts on it (see Selected()).
  int selected = 0;
  // Counts the rescans of the device list; a thread's own choice made before
  // the last rescan no longer counts.
  uint64_t listGeneration = 0;
  bool manual = false;

  // ---- under registryMutex
  std::mutex registryMutex;
  std::unordered_map<Handle, std::shared_ptr<Stream>> streams;
  std::unordered_map<Handle, BpmState> bpms;
  std::unordered_map<Handle, std::shared_ptr<Chain>> chains;
  Handle nextHandle = 1;
  uint64_t nextBpmJob = 1;

  // Off only in tests that compare with the plain sum (clipped at full
  // scale, as the output was before it had a limiter).
  std::atomic<bool> limiterOn{true};

  // ---- figures of the real-time side
  std::atomic<uint64_t> underruns{0};
  std::atomic<int64_t> longestCallbackNs{0};
  std::atomic<int64_t> longestRingWaitNs{0};
};

Engine& E();

int64_t NowNs();
// Raises `slot` to `value` when it is larger (lock-free).
void StoreMax(std::atomic<int64_t>& slot, int64_t value);

// ---- registry (Registry.cpp)
// Gives a stream its handle on its device; 0 when the device has closed.
Handle Register(const std::shared_ptr<Stream>& s);
std::shared_ptr<Stream> Find(Handle h);
// A stream the caller may use directly (not one a tempo stream has taken).
std::shared_ptr<Stream> FindFree(Handle h);
// Locks a stream found by FindFree; false (and nothing held) when it has
// been freed or taken by a tempo stream meanwhile.
bool LockFree(Stream& s, std::unique_lock<std::mutex>& lock);
// An API call's hold on one stream it may use: found and locked on
// construction (empty when there is none), and on release the stream's
// worker is woken, since it may have passed the stream by meanwhile.
class Held {
 public:
  explicit Held(Handle h);
  ~Held();
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  explicit operator bool() const { return stream_ != nullptr; }
  Stream* operator->() const { return stream_.get(); }
  Stream& operator*() const { return *stream_; }
  const std::shared_ptr<Stream>& ptr() const { return stream_; }
  std::unique_lock<std::mutex>& lock() { return lock_; }

 private:
  std::shared_ptr<Stream> stream_;
  std::unique_lock<std::mutex> lock_;
};
// Frees a stream whose lock the caller holds (the lock is released).
void FreeLocked(const std::shared_ptr<Stream>& s, std::unique_lock<std::mutex>& lock);
// Gives a chain a handle from the streams' space; FindChain finds a live
// one, DropChain forgets it (false for anything else).
Handle RegisterChain(const std::shared_ptr<Chain>& c);
std::shared_ptr<Chain> FindChain(Handle h);
bool DropChain(Handle h);
// Every stream on a device, for the device calls.
std::vector<std::shared_ptr<Stream>> StreamsOn(const Device& d);

// ---- devices (Devices.cpp)
// The device the calling thread acts on: its own last choice, or the
// process-wide last choice when it made none. Under deviceMutex.
int Selected(const Engine& e);
// Records the calling thread's choice (and the process-wide one). Under
// deviceMutex.
void Select(Engine& e, int device);
// The selected device when it is ready, else null. Takes deviceMutex.
Device* SelectedReadyDevice(int* index);
// Starts device 0's worker and pacer unless the manual clock is on.
void StartNoSoundThreads();

// ---- errors (Registry.cpp)
// Records why the calling thread's stream creation failed; returns 0, for
// `return Refuse(...)`. Accepted records a success.
Handle Refuse(int32_t code, int64_t detail = 0);
void Accepted();

// ---- background (Background.cpp)
// Runs `job` on an engine thread of `lane`, after the jobs queued before it
// there, at a low priority. Scans of whole files and tempo detections have
// a lane each, so that a long scan never holds up the tempo of the next
// song. A job must not wait for a stream lock that an API call could hold
// for long.
enum class Lane { kScan, kBpm };
void RunInBackground(Lane lane, std::function<void()> job);
// Waits until every job queued so far has run.
void WaitForBackground();
// Stops the lanes: jobs not yet begun are dropped; the tempo lane's running
// job is waited for, the scan lane's (which touches nothing of the engine's)
// is left to end by itself.
void StopBackground();

// ---- worker (Worker.cpp)
void StartWorker(Device& d);
void StopThreads(Device& d);
// Keeps `target` frames ready in a stream's ring (from ring index `from`
// on); the caller holds s.m.
// One call does a bounded amount of work whatever the file claims: it stops
// after feeding kMaxFeeds blocks of the source that gave no sound yet (a
// tempo far from 1), and the worker goes on from there. An exception of the
// tempo stage ends the stream where it is.
void FillLocked(Stream& s, int64_t target, uint64_t from = 0);
constexpr int kMaxFeeds = 64;
// Fills every playing or paused stream of a device on the calling thread,
// waiting for each stream's lock (the manual clock).
void FillDeviceNow(Device& d, int64_t target);
// Gives a stream a slot of its device's callback and a place in its
// worker's list (false when every slot is taken); RemoveFromWorker takes
// both back and returns once the callback can no longer see the stream.
bool AddToWorker(const std::shared_ptr<Stream>& s);
void RemoveFromWorker(Stream& s);

// ---- tempo values (Streams.cpp)
// Whether SetTempo takes the values (-100, -1 and -100 leave one unchanged).
bool ValidTempo(float tempo, float rate, float pitch);

// ---- effects (StreamEffects.cpp), shared by streams and chains
// Puts an effect after every one of its priority or a higher one: effects
// run in descending priority, equal ones in the order they came.
template <typename Entry>
void InsertByPriority(std::vector<Entry>& chain, Entry entry) {
  const int priority = entry.priority;
  auto at = std::find_if(chain.begin(), chain.end(), [&](const Entry& x) { return x.priority < priority; });
  chain.insert(at, std::move(entry));
}
// Takes a stream's effects that have faded out off its chain, into `gone`,
// to be destroyed once the stream's lock is let go.
void ClearFadedOut(Stream& s, std::vector<std::unique_ptr<dsp::Effect>>& gone);
// Reads an effect's record as the caller wrote it (an equaliser band with
// the sample rate the caller gave it).
bool ReadRecord(const dsp::Effect& fx, int32_t type, const std::map<int32_t, int32_t>& eqRates, void* record);
// Writes a record; an equaliser band is designed for the rate the data has
// and the caller's rate is kept in eqRates.
bool WriteRecord(dsp::Effect& fx, int32_t type, std::map<int32_t, int32_t>& eqRates, const void* record);

// ---- chains (Chains.cpp): the chain side of the effect and tempo calls
bool ChainAddEffect(Chain& c, int32_t type, int priority);
bool ChainRemoveEffect(Chain& c, int32_t type);
bool ChainGetEffectParameters(Chain& c, int32_t type, void* record);
bool ChainSetEffectParameters(Chain& c, int32_t type, const void* record);
bool ChainSetTempo(Chain& c, float tempo, float rate, float pitch);

// ---- mix (Mix.cpp)
void Mix(Device& d, float* out, size_t frames, int outCh);
int PaCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
               PaStreamCallbackFlags, void* user);
// ---- pacing (Pacing.cpp)
// Paces a device's callback after it handed over `frames` (see Pacer).
void PaceCallback(Device& d, unsigned long frames);
// Waits until the device's callback has left any pass that may have seen a
// slot before it was cleared.
void WaitCallbackPass(Device& d);

}  // namespace engine::core
