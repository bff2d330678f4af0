// The public effect calls: a playable stream's chain of DSP effects
// (engine/dsp), run by the worker after the time-stretcher, in descending
// priority. The chain itself changes only under the stream's lock; new
// parameter records reach the worker through each effect's own lock-free
// slot, at the start of its next block.
#include <algorithm>
#include <cstring>

#include "engine/EngineCore.h"

namespace engine {

using namespace core;

namespace {

EffectEntry* FindEffect(Stream& s, int32_t type) {
  for (auto& fx : s.chain)
    if (fx.type == type) return &fx;
  return nullptr;
}

}  // namespace

bool AddEffect(Handle h, int32_t type, int priority) {
  // Created before the stream is locked, so that the worker never waits
  // for an allocation (and never allocates itself).
  std::unique_ptr<dsp::Effect> fx;
  {
    auto found = FindFree(h);
    if (!found || !found->playable) return false;
    fx = dsp::CreateEffect(type, kRate, found->channels);
  }
  Held s(h);
  if (!s || !s->playable) return false;
  if (FindEffect(*s, type)) return true;
  if (!fx) return false;
  EffectEntry entry{type, priority, s->nextOrder++, std::move(fx)};
  auto at = std::find_if(s->chain.begin(), s->chain.end(),
                         [&](const EffectEntry& x) { return x.priority < priority; });
  s->chain.insert(at, std::move(entry));
  if (type == dsp::kPeakEq) s->eqRates.clear();
  return true;
}

bool RemoveEffect(Handle h, int32_t type) {
  std::unique_ptr<dsp::Effect> gone;
  {
    Held s(h);
    if (!s || !s->playable) return false;
    auto it = std::find_if(s->chain.begin(), s->chain.end(), [&](const EffectEntry& x) { return x.type == type; });
    if (it == s->chain.end()) return false;
    gone = std::move(it->fx);
    s->chain.erase(it);
    if (type == dsp::kPeakEq) s->eqRates.clear();
  }
  return true;  // the effect is destroyed here, outside the stream's lock
}

bool GetEffectParameters(Handle h, int32_t type, void* record) {
  Held s(h);
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
  Held s(h);
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

}  // namespace engine
