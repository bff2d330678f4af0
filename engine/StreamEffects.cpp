// The public effect calls: a playable stream's chain of DSP effects
// (engine/dsp), run by the worker after the time-stretcher, in descending
// priority. The chain itself changes only under the stream's lock; new
// parameter records reach the worker through each effect's own lock-free
// slot, at the start of its next block. On a sound chain's handle the calls
// go to the chain (Chains.cpp).
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "engine/EngineCore.h"

namespace engine {

using namespace core;

namespace {

// The effect of the type that is on (one fading out does not count).
EffectEntry* FindEffect(Stream& s, int32_t type) {
  for (auto& fx : s.chain)
    if (fx.type == type && fx.On()) return &fx;
  return nullptr;
}

}  // namespace

namespace core {

void ClearFadedOut(Stream& s, std::vector<std::unique_ptr<dsp::Effect>>& gone) {
  for (auto it = s.chain.begin(); it != s.chain.end();) {
    if (it->fadeLeft == 0) {
      gone.push_back(std::move(it->fx));
      it = s.chain.erase(it);
    } else {
      ++it;
    }
  }
}

bool ReadRecord(const dsp::Effect& fx, int32_t type, const std::map<int32_t, int32_t>& eqRates, void* record) {
  if (!record || dsp::RecordSize(type) == 0) return false;
  if (!fx.GetParameters(record)) return false;
  if (type == dsp::kPeakEq) {
    auto* eq = static_cast<dsp::PeakEqParams*>(record);
    auto it = eqRates.find(eq->band);
    if (it != eqRates.end()) eq->freq = it->second;
  }
  return true;
}

bool WriteRecord(dsp::Effect& fx, int32_t type, std::map<int32_t, int32_t>& eqRates, const void* record) {
  if (!record) return false;
  if (dsp::RecordSize(type) == 0) return true;  // nothing to set
  if (type == dsp::kPeakEq) {
    // The band is designed for the rate the data really has here; the rate
    // the caller named is kept only to be read back.
    dsp::PeakEqParams eq;
    std::memcpy(&eq, record, sizeof eq);
    const int32_t callerRate = eq.freq;
    eq.freq = 0;
    if (!fx.SetParameters(&eq)) return false;
    eqRates[eq.band] = callerRate;
    return true;
  }
  return fx.SetParameters(record);
}

}  // namespace core

bool AddEffect(Handle h, int32_t type, int priority) {
  if (auto c = FindChain(h)) return ChainAddEffect(*c, type, priority);
  // Created before the stream is locked, so that the worker never waits
  // for an allocation (and never allocates itself).
  std::unique_ptr<dsp::Effect> fx;
  {
    auto found = FindFree(h);
    if (!found || !found->playable) return false;
    fx = dsp::CreateEffect(type, kRate, found->channels);
  }
  std::vector<std::unique_ptr<dsp::Effect>> gone;
  Held s(h);
  if (!s || !s->playable) return false;
  ClearFadedOut(*s, gone);
  if (FindEffect(*s, type)) return true;
  if (!fx) return false;
  InsertByPriority(s->chain, EffectEntry{type, priority, s->nextOrder++, std::move(fx)});
  if (type == dsp::kPeakEq) s->eqRates.clear();
  return true;
}

bool RemoveEffect(Handle h, int32_t type) {
  if (auto c = FindChain(h)) return ChainRemoveEffect(*c, type);
  std::vector<std::unique_ptr<dsp::Effect>> gone;
  {
    Held s(h);
    if (!s || !s->playable) return false;
    EffectEntry* fx = FindEffect(*s, type);
    if (!fx) return false;
    // On a playing stream the effect fades out first; the worker leaves it
    // out from then on.
    fx->fadeLeft = s->state.load() == kPlaying ? kEffectFadeFrames : 0;
    ClearFadedOut(*s, gone);
    if (type == dsp::kPeakEq) s->eqRates.clear();
  }
  return true;  // effects are destroyed here, outside the stream's lock
}

bool GetEffectParameters(Handle h, int32_t type, void* record) {
  if (auto c = FindChain(h)) return ChainGetEffectParameters(*c, type, record);
  Held s(h);
  if (!s || !s->playable || !record) return false;
  EffectEntry* fx = FindEffect(*s, type);
  if (!fx) return false;
  return ReadRecord(*fx->fx, type, s->eqRates, record);
}

bool SetEffectParameters(Handle h, int32_t type, const void* record) {
  if (auto c = FindChain(h)) return ChainSetEffectParameters(*c, type, record);
  Held s(h);
  if (!s || !s->playable || !record) return false;
  EffectEntry* fx = FindEffect(*s, type);
  if (!fx) return false;
  // The effect hands the record to the worker through its own lock-free
  // slot; it reaches the sound at the start of the next block.
  return WriteRecord(*fx->fx, type, s->eqRates, record);
}

}  // namespace engine
