// Program-wide state of the DJ program's start.
#pragma once

namespace djvp {

// Set by the start routine and by every skin choice; the main window's next
// activation hides, maximises, re-skins and shows the window, then clears it.
extern bool SkinApplyPending;

// The program's version as the caption shows it.
constexpr int kVersionMajor = DJVP_VERSION_MAJOR;
constexpr int kVersionMinor = DJVP_VERSION_MINOR;

}  // namespace djvp
