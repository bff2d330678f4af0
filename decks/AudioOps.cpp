#include "decks/AudioOps.h"

#include "audio/BassPlayer.h"
#include "audio/ModBass.h"

namespace decks {

int64_t ChannelGetPosition(engine::Handle h) { return engine::Position(h); }

int64_t ChannelSeconds2Bytes(engine::Handle h, float seconds) {
  return engine::SecondsToBytes(h, static_cast<double>(seconds));
}

bool ChannelPause(engine::Handle h) { return engine::Pause(h); }

bool ChannelPlay(engine::Handle h) { return engine::Play(h, false); }

float PlayerPosition(const djvp::clsBassPlayer& p) {
  return djvp::modBass_Bytes2Seconds(p.STRM(), ChannelGetPosition(p.STRM()));
}

}  // namespace decks
