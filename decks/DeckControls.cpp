#include "decks/DeckControls.h"

#include "audio/BassPlayer.h"

#include <cmath>

namespace decks {

bool IsPlaying(const djvp::clsBassPlayer* p) { return p && p->IsPlaying(); }

void SetSliderValue(djvp::ui::Slider* s, int64_t value) {
  if (s) s->setValueClamped(value);
}

void SetSliderQuietly(djvp::ui::Slider* s, int64_t value) {
  if (!s) return;
  const djvp::ui::EventBlocker quiet(*s);
  s->setValueClamped(value);
}

int16_t ClampVolume(double v) {
  if (!(v > 0)) return 0;  // NaN too
  if (v >= 100) return 100;
  return static_cast<int16_t>(std::nearbyint(v));
}

}  // namespace decks
