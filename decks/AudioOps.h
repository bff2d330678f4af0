// The few sound-engine calls the decks make on a player's streams beyond the
// player class itself: position, seconds to bytes, pause and play on.
#pragma once

#include "engine/Engine.h"

#include <cstdint>

namespace djvp {
class clsBassPlayer;
}

namespace decks {

// The stream's playback position in bytes from the file's start; -1 for a
// stream that is gone or never was.
int64_t ChannelGetPosition(engine::Handle h);
// Bytes of `seconds` in that stream; -1 on failure.
int64_t ChannelSeconds2Bytes(engine::Handle h, float seconds);
// Pauses the stream; harmless on 0 or a stream that is gone.
bool ChannelPause(engine::Handle h);
// Plays the stream on from where it stands (no restart).
bool ChannelPlay(engine::Handle h);

// The player's position in seconds from the file's start (a song started at a
// start mix point does not begin at 0); negative when its stream is gone.
float PlayerPosition(const djvp::clsBassPlayer& p);

}  // namespace decks
