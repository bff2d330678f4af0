// The settings page's library group: "Create" builds or extends the library
// from the music folder, the folder button chooses that folder, and the help
// button opens the help.
#pragma once

namespace djvp {
class MainState;
}

namespace library {

enum SettingsButton : int { kCreate = 0, kChooseMusicFolder = 1, kHelp = 4 };

// The handler of cmdSettings(index); any other index does nothing.
void cmdSettings_Click(djvp::MainState& s, int index);

// "Create": with "Create a New Indexfile" (optSettings(1)) the library is
// emptied first, with "Add to the Existing Indexfile" the new rows follow
// the old ones; then every music file of the folder tree named in
// txtSettings(0) becomes a row (the same walk, masks and progress panel as a
// deck's folder import, so a song found twice is added twice), and the index
// is saved. A folder that does not exist changes nothing and is reported; an
// empty box scans nothing. Refused while songs are analysed.
void CreateLibrary(djvp::MainState& s);

// The folder browser for the music folder: the chosen folder is stored in
// the settings and shown in txtSettings(0) and its tooltip; cancelling
// changes nothing.
void ChooseMusicFolder(djvp::MainState& s);

}  // namespace library
