// Program-wide state of the DJ program that every subsystem shares.
#pragma once

#include <cstdint>

namespace djvp {

class clsBassPlayer;

// Set by the start routine and by every skin choice; the main window's next
// activation hides, maximises, re-skins and shows the window, then clears it.
extern bool SkinApplyPending;
// Set while a crossfade transition runs; starts are refused meanwhile.
extern bool CrossfadeRunning;
// Set while code moves the position and volume sliders only to show a value.
extern bool SuppressSliderEvents;

// The four deck players, two per deck; created by the main window's load and
// held for the window's lifetime (null before and after).
extern clsBassPlayer* Deck1PlayerA;
extern clsBassPlayer* Deck1PlayerB;
extern clsBassPlayer* Deck2PlayerA;
extern clsBassPlayer* Deck2PlayerB;

// The program's version as the caption shows it.
constexpr int kVersionMajor = DJVP_VERSION_MAJOR;
constexpr int kVersionMinor = DJVP_VERSION_MINOR;

}  // namespace djvp
