// The buttons of the "Search For Songs" page, cmdSearch(0..4): 0 and 1 copy
// the selected library rows to the end of deck 1's or deck 2's playlist;
// 2, 3 and 4 are the analysis commands (BPM, gain, mix points).
#pragma once

#include "ui/DeckId.h"

#include <cstdint>

namespace djvp {
class MainState;
}

namespace library {

enum SearchButton : int {
  kCopyToDeck1 = 0,
  kCopyToDeck2 = 1,
  kCalculateBPM = 2,
  kCalculateGain = 3,
  kCalculateMixPoints = 4,
};

// The handler of cmdSearch(index); an index without a command does nothing.
void cmdSearch_Click(djvp::MainState& s, int index);

// Appends one row per selected library row to the end of the playlist of
// deck 1 or 2, in the order of the library's selection (top to bottom), each
// with all thirteen cells as they are (the hidden ones too). The library,
// its selection and the playing songs are left alone. Returns the number of
// rows copied.
int32_t CopySelectedRows(djvp::MainState& s, djvp::DeckId deck);

}  // namespace library
