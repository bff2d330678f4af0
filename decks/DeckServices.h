// What a song start asks of the effects: the hook before Play, the
// equaliser bands of the new stream and the song's own effect settings.
// Each entry starts out as the plain version below; the effects code may put
// its own in.
#pragma once

#include "engine/Engine.h"

#include <functional>

namespace djvp {
class MainState;
}

namespace decks {

struct DeckServices {
  // Runs just before a started song's Play.
  std::function<void()> LoadTrackHook;
  // Flat equaliser bands on a started song's main stream.
  std::function<void(engine::Handle stream)> InitEqualizerBands;
  // The song's effect state, automatic gain and tempo matching, after every
  // successful start (deck 1 or 2, the new main stream).
  std::function<void(djvp::MainState& s, int deck, engine::Handle stream)> ApplyTrackSettings;
  // Runs at every run of the playback timer while a song plays: a started
  // song's tempo is measured by the engine after its start, and what waits
  // for it (the tempo shown, the tempo matching) goes on once it is known.
  std::function<void(djvp::MainState& s)> StartTempoCheck;
};

// The services in use.
DeckServices& Services();

// The plain version of the equaliser set-up.
// Removes the stream's equaliser and installs ten flat bands at 80, 170, 310,
// 600, 1000, 3000, 6000, 12000, 14000 and 16000 Hz.
void DefaultInitEqualizerBands(engine::Handle stream);

}  // namespace decks
