// Connects the events of the music library's controls to their handlers: the
// library grid's header clicks, column drags, mouse buttons and edit
// requests, the search box, the popup menu, the page's buttons and the
// settings page's library group.
#pragma once

namespace djvp {
class MainState;
}

namespace library {

void ConnectHandlers(djvp::MainState& s);

}  // namespace library
