// Connects the events of the decks' and the mixer's controls to their
// handlers: the transport buttons, the playlists' double click, the deck and
// crossfader sliders, pre-listen and master volume, the automix settings and
// the crossfade curve editor.
#pragma once

namespace djvp {
class MainState;
}

namespace decks {

void ConnectHandlers(djvp::MainState& s);

}  // namespace decks
