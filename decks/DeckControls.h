// The few control operations the decks repeat: slider moves with or without
// the sliders' events, captions, and the volume a player takes.
#pragma once

#include "ui/Controls.h"

#include <cstdint>

namespace djvp {
class clsBassPlayer;
}

namespace decks {

bool IsPlaying(const djvp::clsBassPlayer* p);

// Sets a slider's value (held to its range); its event runs for a change.
void SetSliderValue(djvp::ui::Slider* s, int64_t value);
// The same with the slider's event held back: code that moves the slider
// only to show a value.
void SetSliderQuietly(djvp::ui::Slider* s, int64_t value);

// Volumes go to a player held to 0..100.
int16_t ClampVolume(double v);

}  // namespace decks
