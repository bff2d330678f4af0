// Which player of a deck the sound controls act on: the tempo, sample-rate,
// pitch and effect parameter sliders and the effect switches alike, so that
// an effect switched on is the one its sliders then set. DeckTarget is the
// incoming player of a crossfade into the deck that is running (the last
// one in transition order when several run), else the deck's playing B
// player, else its playing A player, else none. Transitions out of the deck
// into the other deck do not count.
//
// A paused player is not playing. The handles are the chosen player's main
// stream, headphone mirror stream (its present value, 0 for a player that
// never had one) and start-BPM handle; all 0 without a target.
#pragma once

#include "engine/Engine.h"
#include "ui/DeckId.h"

namespace djvp {
class MainState;
class clsBassPlayer;
}  // namespace djvp

namespace effects {

struct Target {
  djvp::clsBassPlayer* player = nullptr;
  engine::Handle main = 0;
  engine::Handle headphone = 0;
  engine::Handle bpm = 0;
};

Target DeckTarget(const djvp::MainState& s, djvp::DeckId deck);
// The handles of one player (no target for null).
Target PlayerTarget(djvp::clsBassPlayer* p);

}  // namespace effects
