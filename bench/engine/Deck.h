// The deck the engine benchmarks play.
#pragma once

#include <string>

#include "engine/Engine.h"
#include "engine/dsp/Dsp.h"

namespace benchdeck {

// A deck as the program plays one: a tempo stream (+6 %) over the file with
// ten equaliser bands, and with `effects` reverb and echo besides.
inline engine::Handle OpenDeck(bool effects, const std::string& file) {
  const engine::Handle dec = engine::OpenFileStream(false, file.c_str(), 0, 0, engine::kDecode);
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  if (!h) return 0;
  engine::SetTempo(h, 6, -1, -100);
  engine::AddEffect(h, engine::dsp::kPeakEq, 0);
  const float centres[] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  for (int32_t band = 0; band < 10; ++band) {
    engine::dsp::PeakEqParams eq{band, 44100, 2.5f, 0.0f, centres[band], band % 2 ? 3.0f : -3.0f};
    engine::SetEffectParameters(h, engine::dsp::kPeakEq, &eq);
  }
  if (effects) {
    engine::AddEffect(h, engine::dsp::kReverb, 1);
    const engine::dsp::ReverbParams reverb{0.4f, 5000};
    engine::SetEffectParameters(h, engine::dsp::kReverb, &reverb);
    engine::AddEffect(h, engine::dsp::kEcho, 1);
    const engine::dsp::EchoParams echo{0.4f, 12000};
    engine::SetEffectParameters(h, engine::dsp::kEcho, &echo);
  }
  return h;
}

}  // namespace benchdeck
