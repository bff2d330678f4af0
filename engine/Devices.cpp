// Devices: the list of output devices (PortAudio over ALSA), opening and
// closing them, the "No sound" device 0 with its real-time pacer and its
// manual clock, and the figures of the real-time side.
#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "engine/EngineCore.h"

namespace engine::core {

Engine& E() {
  static Engine engine;
  return engine;
}

Engine::Engine() {
  // Device 0 needs no sound system at all.
  devices.push_back(std::make_unique<Device>());
  devices[0]->ready.store(true);
  names.emplace_back("No sound");
  nameList.assign(1, names.back().c_str());
}

Engine::~Engine() {
  StopBackground();
  for (auto& d : devices) {
    if (!d) continue;
    if (d->paStream) {
      Pa_StopStream(d->paStream);
      Pa_CloseStream(d->paStream);
      d->paStream = nullptr;
    }
    StopThreads(*d);
  }
  if (paUp) Pa_Terminate();
}

namespace {

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Lists the output devices; PortAudio (and ALSA) start only when a caller
// asks about a device above 0. The system's default output (on a desktop
// the sound server, through ALSA's "default") comes first, so that device 1
// plays where the desktop plays; the others follow in PortAudio's order.
// Under deviceMutex.
void ListDevices(Engine& e) {
  if (e.listed) return;
  e.listed = true;
  e.nameList.resize(1);
  e.systemOrder.clear();
  snd_lib_error_set_handler(&QuietAlsa);
  if (!e.paUp && Pa_Initialize() == paNoError) e.paUp = true;
  if (!e.paUp) return;
  std::vector<PaDeviceIndex> outputs;
  const int count = Pa_GetDeviceCount();
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info && info->maxOutputChannels >= 1) outputs.push_back(i);
  }
  const auto def = std::find(outputs.begin(), outputs.end(), Pa_GetDefaultOutputDevice());
  std::vector<PaDeviceIndex> listed;
  if (def != outputs.end()) listed.push_back(*def);
  for (PaDeviceIndex i : outputs)
    if (def == outputs.end() || i != *def) listed.push_back(i);
  for (PaDeviceIndex i : listed) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    auto d = std::make_unique<Device>();
    d->index = static_cast<int>(e.devices.size());
    d->pa = i;
    e.devices.push_back(std::move(d));
    e.names.emplace_back(info->name ? info->name : "");
    e.nameList.push_back(e.names.back().c_str());
  }
  for (PaDeviceIndex i : outputs)
    e.systemOrder.push_back(1 + static_cast<int>(std::find(listed.begin(), listed.end(), i) - listed.begin()));
}

// "No sound" at the real pace: consumes one block per block time, like the
// callback of a real device, while the worker decodes ahead as it does for
// every device.
void NoSoundPacer(Device* d) {
  const size_t frames = static_cast<size_t>(d->pacerFrames.load());
  std::vector<float> scratch(frames * 2);
  auto next = std::chrono::steady_clock::now();
  const auto period = std::chrono::nanoseconds(1000000000LL * static_cast<int64_t>(frames) / kRate);
  while (!d->quit.load()) {
    Mix(*d, scratch.data(), frames, 2);
    next += period;
    // After a long stall (a suspended process) start afresh rather than
    // race through the missed time, as a sound card would.
    const auto now = std::chrono::steady_clock::now();
    if (now - next > 4 * period) next = now;
    std::this_thread::sleep_until(next);
  }
}

// Under deviceMutex.
void StartNoSoundLocked(Engine& e) {
  Device& d = *e.devices[0];
  if (e.manual || d.worker.joinable()) return;
  StartWorker(d);
  d.pacer = std::thread(NoSoundPacer, &d);
}

// Under deviceMutex.
bool CloseDevice(Engine& e, Device& d) {
  if (d.index != 0 && !d.ready.exchange(false)) return true;
  for (auto& s : StreamsOn(d)) {
    std::unique_lock<std::mutex> lock(s->m);
    if (!s->freed) FreeLocked(s, lock);
  }
  // "No sound" stays usable; only its streams go.
  if (d.index == 0) return true;
  if (d.paStream) {
    Pa_StopStream(d.paStream);
    Pa_CloseStream(d.paStream);
    d.paStream = nullptr;
  }
  StopThreads(d);
  return true;
}

}  // namespace

namespace {
// The calling thread's own choice of device, and the list generation it was
// made in; -1 until the thread chooses one.
thread_local int tSelected = -1;
thread_local uint64_t tGeneration = 0;
}  // namespace

int Selected(const Engine& e) {
  if (tSelected >= 0 && tGeneration == e.listGeneration && static_cast<size_t>(tSelected) < e.devices.size())
    return tSelected;
  return e.selected;
}

void Select(Engine& e, int device) {
  e.selected = device;
  tSelected = device;
  tGeneration = e.listGeneration;
}

Device* SelectedReadyDevice(int* index) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  const int selected = Selected(e);
  Device& d = *e.devices[static_cast<size_t>(selected)];
  if (index) *index = selected;
  return d.ready.load() ? &d : nullptr;
}

void StartNoSoundThreads() {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  StartNoSoundLocked(e);
}

void StoreMax(std::atomic<int64_t>& slot, int64_t value) {
  int64_t old = slot.load(std::memory_order_relaxed);
  while (value > old && !slot.compare_exchange_weak(old, value, std::memory_order_relaxed)) {
  }
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace engine::core

namespace engine {

using namespace core;

bool DeviceInit(int device, uint32_t freq, uint32_t flags, void*) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  if (device > 0) ListDevices(e);
  if (device < 0 || static_cast<size_t>(device) >= e.devices.size()) return false;
  if (freq != 0 && (freq < 1000 || freq > 768000)) return false;
  Device& d = *e.devices[static_cast<size_t>(device)];
  if (d.ready.load()) {
    Select(e, device);
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
  d.pacer_ = Pacer();
  StartWorker(d);
  d.limiter.Reset();  // a device opened again starts with its sound untouched
  if (Pa_StartStream(d.paStream) != paNoError) {
    Pa_CloseStream(d.paStream);
    d.paStream = nullptr;
    StopThreads(d);
    return false;
  }
  d.ready.store(true);
  Select(e, device);
  return true;
}

bool DeviceFree() {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  return CloseDevice(e, *e.devices[static_cast<size_t>(Selected(e))]);
}

bool DeviceStop() {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  for (auto& s : StreamsOn(*e.devices[static_cast<size_t>(Selected(e))]))
    if (s->playable) {
      uint32_t playing = kPlaying, paused = kPaused;
      if (!s->state.compare_exchange_strong(playing, kStopped)) s->state.compare_exchange_strong(paused, kStopped);
    }
  return true;
}

bool DeviceSelect(int device) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  if (device > 0) ListDevices(e);
  if (device < 0 || static_cast<size_t>(device) >= e.devices.size()) return false;
  Select(e, device);
  return true;
}

int SelectedDevice() {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  return Selected(e);
}

uint32_t Version() { return kVersion; }

int DeviceInSystemOrder(int n) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  ListDevices(e);
  if (n < 1 || static_cast<size_t>(n) > e.systemOrder.size()) return 0;
  return e.systemOrder[static_cast<size_t>(n - 1)];
}

const char* DeviceName(int i) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  if (i > 0) ListDevices(e);
  if (i < 0 || static_cast<size_t>(i) >= e.nameList.size()) return nullptr;
  return e.nameList[static_cast<size_t>(i)];
}

bool SetOption(uint32_t option, uint32_t value) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  e.options[option] = value;
  return true;
}

bool RescanDevices() {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  for (size_t i = 1; i < e.devices.size(); ++i)
    if (e.devices[i]->ready.load()) return false;
  e.devices.resize(1);
  e.selected = 0;
  ++e.listGeneration;
  if (e.paUp) Pa_Terminate();
  e.paUp = false;
  snd_config_update_free_global();
  e.listed = false;
  ListDevices(e);
  return true;
}

// ================================================================ testing

void SetManualClock(bool manual) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  if (manual == e.manual) return;
  e.manual = manual;
  Device& d = *e.devices[0];
  if (manual) {
    StopThreads(d);
    return;
  }
  for (auto& slot : d.slots)
    if (Stream* s = slot.load(); s && s->state.load() == kPlaying) {
      StartNoSoundLocked(e);
      break;
    }
}

size_t RenderNoSound(float* out, size_t frames) {
  Engine& e = E();
  // Held throughout, so that the clock cannot change under the render.
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  if (!e.manual || !out) return 0;
  Device& d = *e.devices[0];
  size_t done = 0;
  while (done < frames) {
    const size_t n = std::min<size_t>(frames - done, kPaFrames);
    FillDeviceNow(d, std::max<int64_t>(kAhead, static_cast<int64_t>(n)));
    Mix(d, out + done * 2, n, 2);
    done += n;
  }
  return frames;
}

void SetNoSoundBlock(size_t frames) {
  Engine& e = E();
  std::lock_guard<std::mutex> lock(e.deviceMutex);
  e.devices[0]->pacerFrames.store(static_cast<int>(std::clamp<size_t>(frames, 64, 8192)));
}

void SetOutputLimiter(bool on) { E().limiterOn.store(on); }

uint64_t Underruns() { return E().underruns.load(); }

RealTimeFigures TakeRealTimeFigures() {
  Engine& e = E();
  RealTimeFigures f;
  f.underrunFrames = e.underruns.load();
  f.longestCallbackMs = static_cast<double>(e.longestCallbackNs.exchange(0)) / 1e6;
  f.longestRingWaitMs = static_cast<double>(e.longestRingWaitNs.exchange(0)) / 1e6;
  return f;
}

}  // namespace engine
