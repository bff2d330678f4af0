// The level meters: each deck's column of ten LEDs and the master's left and
// right columns. Their timers tick every 55 ms; a tick that finds one of its
// players playing reads the level of the one player the meter follows and
// lights, from the bottom up, one LED for each threshold the level is above.
//
// The meters remember nothing between ticks but their controls' lit counts:
// when none of a meter's players plays (all stopped or paused) its ticks do
// nothing and the meter stands as the last tick left it, until the deck
// reset darkens it.
#pragma once

#include "ui/DeckId.h"

#include <array>

namespace djvp {
class MainState;
namespace ui {
class LedMeter;
}
}  // namespace djvp

namespace decks {

// The LEDs' thresholds in dB, LED 0 (the bottom one) first: an LED is lit
// when the level is above its threshold. Levels and thresholds are compared
// in single precision.
inline constexpr std::array<float, 10> kLedThresholds{-25.0f, -20.0f, -15.0f, -10.0f, -7.0f,
                                                      -5.0f,  -3.0f,  -1.0f,  -0.5f,  -0.3f};
// A level above this is no level a stream can have: the meter is left as it
// was.
inline constexpr float kMeterCeiling = 0.00001f;

// The number of LEDs a level lights from the bottom (0..10): the thresholds
// it is above. Not a number and minus infinity light none.
int LitLeds(float dB);

// Shows a level on a meter: its LitLeds, or nothing changed when the level is
// above kMeterCeiling.
void ShowLevel(djvp::ui::LedMeter& meter, float dB);

// One tick of a deck's meter: when
// one of the deck's players plays, the meter shows its level (the louder
// channel); when both play, as in a crossfade within the deck, player B's.
void DeckMeterTick(djvp::MainState& s, djvp::DeckId deck);
void tmrdB1_ThatTime(djvp::MainState& s);
void tmrdB2_ThatTime(djvp::MainState& s);

// One tick of the master meters: when any deck player plays, the left and
// right meters show the left and right levels, scaled by the master volume,
// of the last playing player in the order deck 1 A, deck 1 B, deck 2 A,
// deck 2 B (deck 2 over deck 1, B over A).
void tmrdBVolume_ThatTime(djvp::MainState& s);

}  // namespace decks
