// Where the program finds its files: read-only resources (skins, help pages,
// pictures) lie beside the executable; everything the program writes (the
// library index, playlists, equaliser presets, scratch files) goes to the
// user's data folder.
#pragma once

#include <QString>

namespace djvp {

// The folder of the running executable, without a trailing "/". The "Skins"
// and "help" folders lie in it.
QString ProgramFolder();

// $XDG_DATA_HOME/djvorlanpellix ($HOME/.local/share/djvorlanpellix when the
// variable is unset or not an absolute path), without a trailing "/". The
// folder is created when it does not exist yet.
QString DataFolder();

// Tests and tools that run from another folder point ProgramFolder() here; an
// empty text goes back to the executable's folder.
void SetProgramFolder(const QString& folder);

}  // namespace djvp
