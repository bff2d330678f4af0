#include "decks/DeckServices.h"

#include "engine/dsp/Dsp.h"

namespace decks {

DeckServices& Services() {
  static DeckServices services{
      [] {},
      &DefaultInitEqualizerBands,
      [](djvp::MainState&, int, engine::Handle) {},
      [](djvp::MainState&) {},
  };
  return services;
}

void DefaultInitEqualizerBands(engine::Handle stream) {
  static constexpr float kCentres[10] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  engine::RemoveEffect(stream, engine::dsp::kPeakEq);
  if (!engine::AddEffect(stream, engine::dsp::kPeakEq, 0)) return;
  uint32_t rate = 0;
  engine::GetAttributes(stream, &rate, nullptr, nullptr);
  for (int band = 0; band < 10; ++band) {
    engine::dsp::PeakEqParams p{};
    p.band = band;
    p.freq = static_cast<int32_t>(rate);
    p.bandwidth = 2.5f;
    p.q = 0;
    p.center = kCentres[band];
    p.gain = 0;
    engine::SetEffectParameters(stream, engine::dsp::kPeakEq, &p);
  }
}

}  // namespace decks
