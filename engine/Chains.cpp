// Sound chains: a deck's effects with their records and its tempo settings,
// kept apart from any stream so that they outlast the song, and handed to a
// new stream before it makes its first sample.
//
// A chain holds real effects that never run: records are checked, kept and
// read back by the same code as on a stream. Beside each effect it keeps the
// records that make up the effect's state, in the order a fresh effect must
// take them to end up the same; ApplyChain gives them to fresh effects made
// for the stream before the stream is locked, so that the worker never waits
// for an allocation, and then swaps them in under the stream's lock in one
// step.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/EngineCore.h"

namespace engine {

using namespace core;

namespace {

static_assert(sizeof(dsp::PeakEqParams) <= sizeof(ChainRecord::words) &&
                  sizeof(dsp::Echo3Params) <= sizeof(ChainRecord::words) &&
                  sizeof(dsp::LowPassParams) <= sizeof(ChainRecord::words),
              "a chain keeps every record whole");

ChainEffect* FindEffect(Chain& c, int32_t type) {
  for (auto& fx : c.effects)
    if (fx.type == type) return &fx;
  return nullptr;
}

// What a record is kept under: the equaliser's band, the volume's channel
// (0 for every channel). Another effect's record stands for its whole state.
int32_t KeyOf(int32_t type, const ChainRecord& r) {
  int32_t first;
  std::memcpy(&first, r.words.data(), sizeof first);
  if (type == dsp::kPeakEq) return first;  // PeakEqParams::band
  if (type == dsp::kVolume) return std::max<int32_t>(first, 0);  // VolumeParams::channel
  return 0;
}

// Adds the record the effect has just taken from `given` to the ones a
// fresh effect is to replay: a band's or channel's earlier record gives way
// to it, and a record for every channel (or of a type with one state) to
// all before it. What is kept is the record as the effect took it (a band
// with the rate it is designed for, which the stream's effect takes alike).
void Remember(ChainEffect& fx, const void* given) {
  ChainRecord r{0, {}};
  // An equaliser reads back the band named in the record's first field.
  std::memcpy(r.words.data(), given, sizeof(int32_t));
  if (!fx.fx->GetParameters(r.words.data())) return;
  r.key = KeyOf(fx.type, r);
  if (fx.type != dsp::kPeakEq && r.key == 0) fx.records.clear();
  auto same = std::find_if(fx.records.begin(), fx.records.end(), [&](const ChainRecord& x) { return x.key == r.key; });
  if (same != fx.records.end()) {
    same->words = r.words;
  } else {
    fx.records.push_back(r);
  }
}

// The stream's rate for a chain's rate setting: 0 is the song's own rate,
// another rate is the one for a song at kRate, scaled to the song's rate.
float StreamRate(float chainRate, int fileRate) {
  if (chainRate == 0.0f) return static_cast<float>(fileRate);
  const double scaled = static_cast<double>(chainRate) * fileRate / kRate;
  return static_cast<float>(std::clamp(scaled, 100.0, 200000.0));
}

}  // namespace

namespace core {

bool ChainAddEffect(Chain& c, int32_t type, int priority) {
  // Made before the chain is locked, like a stream's; dropped unused when
  // the chain has the type already.
  std::unique_ptr<dsp::Effect> fx = dsp::CreateEffect(type, kRate, 2);
  std::lock_guard<std::mutex> lock(c.m);
  if (c.freed) return false;
  if (FindEffect(c, type)) return true;
  if (!fx) return false;
  InsertByPriority(c.effects, ChainEffect{type, priority, c.nextOrder++, std::move(fx), {}});
  if (type == dsp::kPeakEq) c.eqRates.clear();
  return true;
}

bool ChainRemoveEffect(Chain& c, int32_t type) {
  std::unique_ptr<dsp::Effect> gone;
  std::lock_guard<std::mutex> lock(c.m);
  if (c.freed) return false;
  auto it = std::find_if(c.effects.begin(), c.effects.end(), [&](const ChainEffect& x) { return x.type == type; });
  if (it == c.effects.end()) return false;
  gone = std::move(it->fx);
  c.effects.erase(it);
  if (type == dsp::kPeakEq) c.eqRates.clear();
  return true;
}

bool ChainGetEffectParameters(Chain& c, int32_t type, void* record) {
  std::lock_guard<std::mutex> lock(c.m);
  if (c.freed || !record) return false;
  ChainEffect* fx = FindEffect(c, type);
  return fx && ReadRecord(*fx->fx, type, c.eqRates, record);
}

bool ChainSetEffectParameters(Chain& c, int32_t type, const void* record) {
  std::lock_guard<std::mutex> lock(c.m);
  if (c.freed || !record) return false;
  ChainEffect* fx = FindEffect(c, type);
  if (!fx || !WriteRecord(*fx->fx, type, c.eqRates, record)) return false;
  if (dsp::RecordSize(type) != 0) Remember(*fx, record);
  return true;
}

bool ChainSetTempo(Chain& c, float tempo, float rate, float pitch) {
  if (!ValidTempo(tempo, rate, pitch)) return false;
  std::lock_guard<std::mutex> lock(c.m);
  if (c.freed) return false;
  if (tempo != -100.0f) c.tempoPct = tempo;
  if (rate != -1.0f) c.rateHz = rate;
  if (pitch != -100.0f) c.pitch = pitch;
  return true;
}

}  // namespace core

Handle CreateChain() {
  return RegisterChain(std::make_shared<Chain>());
}

bool FreeChain(Handle chain) {
  auto c = FindChain(chain);
  if (!c || !DropChain(chain)) return false;
  std::vector<ChainEffect> gone;
  {
    // A call that found the chain before it was dropped finds it freed.
    std::lock_guard<std::mutex> lock(c->m);
    c->freed = true;
    gone.swap(c->effects);
  }
  return true;
}

bool ApplyChain(Handle stream, Handle chain, uint32_t flags) {
  if ((flags & ~kChainMirror) != 0) return false;
  const bool mirror = (flags & kChainMirror) != 0;
  auto c = FindChain(chain);
  if (!c) return false;
  int channels = 0;
  {
    auto found = FindFree(stream);
    if (!found || !found->playable) return false;
    channels = found->channels;
  }

  // The chain's state, copied into fresh effects for this stream's channel
  // count, while neither the stream nor anything else is locked.
  std::vector<EffectEntry> fresh;
  std::map<int32_t, int32_t> eqRates;
  float tempo = 0, rate = 0, pitch = 0;
  {
    std::lock_guard<std::mutex> lock(c->m);
    if (c->freed) return false;
    fresh.reserve(c->effects.size());
    for (const ChainEffect& e : c->effects) {
      if (mirror && (e.type == dsp::kPeakEq || e.type == dsp::kVolume)) continue;
      std::unique_ptr<dsp::Effect> fx = dsp::CreateEffect(e.type, kRate, channels);
      if (!fx) return false;
      // A record the stream cannot take (a channel it does not have) is
      // left out; the effect keeps its other values.
      for (const ChainRecord& r : e.records) fx->SetParameters(r.words.data());
      fresh.push_back(EffectEntry{e.type, e.priority, 0, std::move(fx)});
      if (e.type == dsp::kPeakEq) eqRates = c->eqRates;
    }
    tempo = c->tempoPct;
    rate = c->rateHz;
    pitch = c->pitch;
  }

  // The stream's old effects are destroyed after its lock is let go (with
  // `fresh`, which is empty by then unless the stream went away).
  std::vector<std::unique_ptr<dsp::Effect>> gone;
  Held s(stream);
  if (!s || !s->playable) return false;
  // The effects the stream had go as RemoveEffect takes them: on a playing
  // stream they fade out, otherwise at once.
  const bool playing = s->state.load() == kPlaying;
  for (auto& e : s->chain)
    if (e.On()) e.fadeLeft = playing ? kEffectFadeFrames : 0;
  ClearFadedOut(*s, gone);
  for (auto& e : fresh) {
    e.order = s->nextOrder++;
    InsertByPriority(s->chain, std::move(e));
  }
  s->eqRates.swap(eqRates);
  if (s->tempo) {
    // Read by the worker at the start of the stream's next block, which it
    // can make only once this call lets the stream go.
    s->tempoPct.store(tempo);
    s->rateHz.store(StreamRate(rate, s->rate));
    s->pitch.store(pitch);
    s->tempoSeq.fetch_add(1, std::memory_order_release);
  }
  return true;
}

}  // namespace engine
