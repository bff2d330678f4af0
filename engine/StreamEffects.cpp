// The public effect calls: a playable stream's chain of DSP effects
// (engine/dsp), run by the worker after the time-stretcher, in descending
// priority. The chain itself changes only under the stream's lock; new
// parameter records reach the worker through each effect's own lock-free
// slot, at the start of its next block.
#include <algorithm>
#include <cstring>
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

// Takes the effects that have faded out off the chain, into `gone`, to be
// destroyed once the stream's lock is let go.
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
  std::vector<std::unique_ptr<dsp::Effect>> gone;
  Held s(h);
  if (!s || !s->playable) return false;
  ClearFadedOut(*s, gone);
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
