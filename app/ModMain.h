// The program's start routine.
#pragma once

namespace djvp {

class frmSplash;

// Reads the interface language ("Language"/"Current": 0 English, 1 Dutch),
// marks the main window's skin for application and shows the start window,
// which carries on with the start from its first activation. Returns the
// start window (owned by itself: it deletes itself when unloaded).
frmSplash* modPublic_Main();

}  // namespace djvp
