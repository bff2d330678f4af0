// The public calls on streams: creation, transport, positions, attributes,
// sample data and tempo. Calls that only read or set a value use the
// stream's atomics and take no lock; calls that use its decoder or ring
// hold that stream's own lock (Held), and nothing else, while they work.
#include <algorithm>
#include <cmath>
#include <exception>

#include "engine/EngineCore.h"
#include "engine/dsp/Samples.h"

namespace engine {

using namespace core;

namespace {

int SpeakerPair(uint32_t flags) {
  switch (flags & kSpeakerMask) {
    case kSpeakerRear: return 1;
    case kSpeakerCenterLfe: return 2;
    case kSpeakerRear2: return 3;
    default: return 0;
  }
}

// Makes a stream playable: its time-stretcher, buffers and ring. False (and
// the stream as it was) when the time-stretcher will not take it; the
// decoders deliver only what it takes, but it throws rather than refuse, so
// it is asked within a catch.
bool MakePlayable(Stream& s) {
  if (s.channels < 1 || s.channels > 2 || s.rate < kMinFileRate || s.rate > kMaxTempoRate) return false;
  try {
    auto st = std::make_unique<soundtouch::SoundTouch>();
    st->setChannels(static_cast<unsigned>(s.channels));
    st->setSampleRate(static_cast<unsigned>(s.rate));
    // The quick overlap search: a fraction of the full search's cost, with a
    // difference that is hard to hear on music.
    st->setSetting(SETTING_USE_QUICKSEEK, 1);
    s.st = std::move(st);
  } catch (const std::exception&) {
    return false;
  }
  s.playable = true;
  s.rateHz.store(static_cast<float>(s.rate));
  s.inBuf.assign(static_cast<size_t>(kBlock) * static_cast<size_t>(s.channels), 0.0f);
  s.outBuf.assign(static_cast<size_t>(kBlock) * static_cast<size_t>(s.channels), 0.0f);
  s.dryBuf.assign(static_cast<size_t>(kBlock) * static_cast<size_t>(s.channels), 0.0f);
  s.ring.reset(new float[kRingFrames * static_cast<uint64_t>(s.channels)]());
  s.ringPos.reset(new double[kRingFrames]());
  s.outPos = static_cast<double>(s.input()->position());
  s.heard.store(s.input()->position());
  s.seekFrame.store(s.input()->position());
  s.pair = SpeakerPair(s.flags);
  return true;
}

int32_t ErrorOf(OpenError error) {
  switch (error) {
    case OpenError::kSystem: return kErrFileOpen;
    case OpenError::kNotRegular: return kErrNotFile;
    case OpenError::kEmpty: return kErrEmpty;
    case OpenError::kRate: return kErrRate;
    case OpenError::kChannels: return kErrChannels;
    case OpenError::kLength: return kErrLength;
    case OpenError::kNone:
    case OpenError::kFormat: break;
  }
  return kErrFormat;
}

// Hands an MPEG file's whole-file scan to the scan lane: the length becomes
// exact and far seeks quick when it has run, and no call waits for it.
void ScanLater(Decoder& dec) {
  if (std::function<void()> job = dec.ScanJob()) RunInBackground(Lane::kScan, std::move(job));
}

int64_t FramesToBytes(const Stream& s, int64_t frames) { return frames * s.channels * 2; }

Handle OpenStream(bool fromMemory, const char* path, uint64_t offset, uint64_t length, uint32_t flags) {
  if (fromMemory || !path || offset != 0 || length != 0) return Refuse(kErrHandle);
  Device* d = SelectedReadyDevice(nullptr);
  if (!d) return Refuse(kErrDevice);
  // Opening holds no lock. An MPEG file is scanned whole (for its exact
  // length and quick far seeks) here only when the caller asks for it with
  // kPrescan; a stream that plays has it done by a background thread, and a
  // stream opened to measure a BPM never pays for it.
  OpenFailure why;
  std::unique_ptr<Decoder> dec;
  {
    const SearchLimit quick(kCallerSearchBytes);
    dec = OpenDecoder(path, &why);
  }
  if (!dec) return Refuse(ErrorOf(why.error), why.detail);
  if (flags & kPrescan)
    dec->SettleLength();
  else if (!(flags & kDecode))
    ScanLater(*dec);
  auto s = std::make_shared<Stream>();
  s->flags = flags;
  s->path = path;
  s->rate = dec->rate();
  s->channels = dec->channels();
  s->rateHz.store(static_cast<float>(s->rate));
  s->dec = std::move(dec);
  if (!(flags & kDecode) && !MakePlayable(*s)) return Refuse(kErrTempo);
  s->Publish();
  s->device = d;
  const Handle h = Register(s);
  if (!h) return Refuse(kErrDevice);
  Accepted();
  return h;
}

// Moves a stream whose lock the caller holds.
bool SeekLocked(Stream& s, uint64_t bytes) {
  s.Publish();
  const int64_t frame = static_cast<int64_t>(bytes / (static_cast<uint64_t>(s.channels) * 2));
  if (frame > s.lengthFrames()) return false;
  if (!s.playable) {
    const bool ok = s.dec->Seek(frame);
    s.Publish();
    return ok;
  }
  if (!s.input()->Seek(frame)) return false;
  s.Publish();
  s.st->clear();
  for (auto& fx : s.chain) {
    fx.fx->Reset();
    // A fade-out has nothing to go over from at the new position.
    if (!fx.On()) fx.fadeLeft = 0;
  }
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
  Device* d = SelectedReadyDevice(nullptr);
  if (!d) return Refuse(kErrDevice);
  Held src(source);
  if (!src || src->playable) return Refuse(kErrHandle);
  auto s = std::make_shared<Stream>();
  s->flags = (flags & ~kSpeakerMask) | ((flags & kSpeakerMask) ? (flags & kSpeakerMask) : (src->flags & kSpeakerMask));
  s->tempo = true;
  s->path = src->path;
  s->rate = src->rate;
  s->channels = src->channels;
  s->source = src.ptr();
  s->freeSource = (flags & kFreeSource) != 0;
  if (!MakePlayable(*s)) return Refuse(kErrTempo);
  ScanLater(*src->dec);
  s->Publish();
  s->device = d;
  const Handle h = Register(s);
  if (!h) return Refuse(kErrDevice);
  // From here on calls on the source find nothing.
  src->owner.store(s.get());
  Accepted();
  return h;
}

bool FreeStream(Handle h) {
  Held s(h);
  if (!s) return false;
  FreeLocked(s.ptr(), s.lock());
  return true;
}

bool CloseWmaEncoder(Handle) { return true; }

// ================================================================ transport

bool Play(Handle h, bool restart) {
  bool startNoSound = false;
  {
    const SearchLimit quick(kCallerSearchBytes);
    Held s(h);
    if (!s || !s->playable || !s->device->ready.load()) return false;
    if (restart && !SeekLocked(*s, 0)) return false;
    if (s->state.load() == kPlaying) return true;
    if (!AddToWorker(s.ptr())) return false;
    // A want from before a stop is no longer waiting.
    s->wantingSince.store(0);
    // Have the start ready before the device asks for it.
    FillLocked(*s, kAhead);
    // The callback leaves a stream alone while it is not playing: a volume
    // set before the start applies from its first sample, without a ramp.
    s->curVolume.store(s->volume.load());
    s->stalled.store(false);
    s->state.store(kPlaying, std::memory_order_release);
    startNoSound = s->device->index == 0;
  }
  if (startNoSound) StartNoSoundThreads();
  return true;
}

bool Pause(Handle h) {
  auto s = FindFree(h);
  if (!s || !s->playable) return false;
  uint32_t playing = kPlaying;
  return s->state.compare_exchange_strong(playing, kPaused);
}

bool Stop(Handle h) {
  auto s = FindFree(h);
  if (!s || !s->playable) return false;
  s->state.store(kStopped);
  return true;
}

uint32_t IsActive(Handle h) {
  auto s = FindFree(h);
  if (!s) return kStopped;
  if (!s->playable) return s->decEnded.load() ? kStopped : kPlaying;
  const uint32_t st = s->state.load();
  if (st == kPlaying && s->stalled.load()) return kStalled;
  return st;
}

// ================================================================ positions

int64_t Position(Handle h) {
  auto s = FindFree(h);
  if (!s) return -1;
  if (!s->playable) return FramesToBytes(*s, s->decPosition.load());
  // Until the callback has passed a seek, what it last reported is old.
  const int64_t seekFrame = s->seekFrame.load();
  if (s->discardTo.load(std::memory_order_acquire) > s->readIdx.load(std::memory_order_acquire))
    return FramesToBytes(*s, seekFrame);
  int64_t heard = s->heard.load();
  if (s->state.load() == kPlaying) {
    // What the callback gave the sound card is heard a little later.
    const auto behind = static_cast<int64_t>(s->device->latencyFrames * s->heardRatio.load());
    heard = std::max(std::min(heard, seekFrame), heard - behind);
  }
  return FramesToBytes(*s, heard);
}

int64_t Length(Handle h) {
  Held s(h);
  if (!s) return -1;
  // A scan of the file that has ended since counts from now on.
  s->Publish();
  return FramesToBytes(*s, s->length.load());
}

bool Seek(Handle h, uint64_t bytes) {
  const SearchLimit quick(kCallerSearchBytes);
  Held s(h);
  if (!s) return false;
  return SeekLocked(*s, bytes);
}

double BytesToSeconds(Handle h, uint64_t bytes) {
  auto s = FindFree(h);
  if (!s) return -1.0;
  return static_cast<double>(bytes) / (static_cast<double>(s->rate) * s->channels * 2);
}

int64_t SecondsToBytes(Handle h, double seconds) {
  auto s = FindFree(h);
  if (!s || !(seconds >= 0) || !std::isfinite(seconds)) return -1;
  // A hair of tolerance so that a time made from a whole frame count maps
  // back to that frame. Beyond any song's length there is nothing to give.
  const double exact = std::floor(seconds * s->rate + 1e-6);
  if (exact > static_cast<double>(kMaxFrames)) return -1;
  const auto frames = static_cast<int64_t>(exact);
  return FramesToBytes(*s, frames);
}

// ================================================================ attributes

bool SetAttributes(Handle h, int freq, int volume, int pan) {
  auto s = FindFree(h);
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
  auto s = FindFree(h);
  if (!s) return false;
  if (freq) *freq = static_cast<uint32_t>(std::lround(s->rateHz.load()));
  if (volume) *volume = static_cast<uint32_t>(std::lround(s->volume.load() * 100.0f));
  if (pan) *pan = static_cast<int>(std::lround(s->pan.load() * 100.0f));
  return true;
}

uint32_t FileRate(Handle h) {
  auto s = FindFree(h);
  return s ? static_cast<uint32_t>(s->rate) : 0u;
}

uint32_t Level(Handle h) {
  auto s = FindFree(h);
  if (!s || !s->playable || s->state.load() != kPlaying) return 0xFFFFFFFFu;
  if (s->stalled.load()) return 0;
  return s->level.load();
}

int32_t ReadData(Handle h, void* buffer, uint32_t bytes) {
  Held s(h);
  if (!s || s->playable || !buffer) return -1;
  const int ch = s->channels;
  const int64_t frames = static_cast<int64_t>(bytes / (static_cast<uint32_t>(ch) * 2u));
  if (frames == 0) return 0;
  constexpr int64_t kChunk = 8192;
  auto* out = static_cast<int16_t*>(buffer);
  s->scratch.resize(static_cast<size_t>(std::min(frames, kChunk)) * static_cast<size_t>(ch));
  float* tmp = s->scratch.data();
  int64_t done = 0;
  while (done < frames) {
    const int64_t got = s->dec->Read(tmp, std::min(frames - done, kChunk));
    if (got <= 0) break;
    dsp::FloatsToShorts(tmp, out + done * ch, got * ch);
    done += got;
  }
  s->Publish();
  if (done == 0) return -1;
  return static_cast<int32_t>(done * ch * 2);
}

// ================================================================ tempo

namespace core {

bool ValidTempo(float tempo, float rate, float pitch) {
  if (tempo != -100.0f && !(tempo >= -95.0f && tempo <= 5000.0f)) return false;
  if (rate != -1.0f && !(rate == 0.0f || (rate >= 100.0f && rate <= 200000.0f))) return false;
  return pitch == -100.0f || (pitch >= -60.0f && pitch <= 60.0f);
}

}  // namespace core

bool SetTempo(Handle h, float tempo, float rate, float pitch) {
  if (auto c = FindChain(h)) return ChainSetTempo(*c, tempo, rate, pitch);
  auto s = FindFree(h);
  if (!s || !s->tempo || !ValidTempo(tempo, rate, pitch)) return false;
  if (tempo != -100.0f) s->tempoPct.store(tempo);
  if (rate != -1.0f) s->rateHz.store(rate == 0.0f ? static_cast<float>(s->rate) : rate);
  if (pitch != -100.0f) s->pitch.store(pitch);
  s->tempoSeq.fetch_add(1, std::memory_order_release);
  return true;
}

float RateRatio(Handle h) {
  auto s = FindFree(h);
  if (!s || !s->tempo) return 0.0f;
  return static_cast<float>((1.0 + s->tempoPct.load() / 100.0) * s->rateHz.load() / s->rate);
}

}  // namespace engine
