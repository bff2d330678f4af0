// What the program's start sets up in its environment before anything else,
// so that a user's terminal stays quiet.
#pragma once

namespace djvp {

// The sound back end also asks a JACK server for its devices; when none runs,
// the JACK client library would fill the terminal with its attempts. It is
// told not to start a server and to keep its messages to itself.
void QuietSoundServers();

// Qt keeps per-user runtime files in $XDG_RUNTIME_DIR; a session without one
// (a remote login, a plain virtual terminal) gets a private folder of the
// same kind instead of a warning on every start.
void EnsureRuntimeFolder();

}  // namespace djvp
