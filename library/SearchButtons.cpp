#include "library/SearchButtons.h"

#include "library/Analysis.h"
#include "platform/Grid.h"
#include "playlists/Import.h"
#include "ui/MainState.h"

#include <vector>

namespace library {

void cmdSearch_Click(djvp::MainState& s, int index) {
  switch (index) {
    case kCopyToDeck1: CopySelectedRows(s, djvp::kDeck1); break;
    case kCopyToDeck2: CopySelectedRows(s, djvp::kDeck2); break;
    case kCalculateBPM:
    case kCalculateGain:
    case kCalculateMixPoints: StartAnalysis(s, index); break;
    default: break;
  }
}

int32_t CopySelectedRows(djvp::MainState& s, djvp::DeckId deck) {
  const djvp::Grid* library = s.DummyPlaylist;
  djvp::Grid* target = s.Playlist(deck);
  if (!library || !target) return 0;
  const int32_t count = library->SelectionCount();
  if (count <= 0) return 0;
  std::vector<int32_t> rows;
  rows.reserve(static_cast<size_t>(count));
  for (int32_t i = 1; i <= count; ++i) rows.push_back(library->SelectedRowAt(i));
  int32_t copied = 0;
  for (const int32_t row : rows)
    if (playlists::CopyRow(*library, row, *target) > 0) ++copied;
  return copied;
}

}  // namespace library
