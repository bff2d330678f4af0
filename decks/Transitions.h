// The table of the twelve crossfade transitions: which player fades out and
// which fades in, by slot (see DeckState.h for the slot names).
#pragma once

#include "ui/DeckId.h"
#include "ui/DeckState.h"

#include <array>

namespace decks {

struct Transition {
  djvp::DeckId outDeck;  // outgoing player: its deck, and 0 = A, 1 = B
  int outAB;
  djvp::DeckId inDeck;  // incoming player
  int inAB;
  constexpr bool SameDeck() const { return outDeck == inDeck; }
  // Player ab (0 = A, 1 = B) of the deck fades out or in.
  constexpr bool Involves(djvp::DeckId deck, int ab) const {
    return (outDeck == deck && outAB == ab) || (inDeck == deck && inAB == ab);
  }
};

namespace detail {
using djvp::kDeck1;
using djvp::kDeck2;
}  // namespace detail

constexpr std::array<Transition, kSlots> kTransitions = {{
    {detail::kDeck1, 0, detail::kDeck1, 1},  // 1A->1B
    {detail::kDeck1, 1, detail::kDeck1, 0},  // 1B->1A
    {detail::kDeck2, 0, detail::kDeck1, 0},  // 2A->1A
    {detail::kDeck2, 0, detail::kDeck1, 1},  // 2A->1B
    {detail::kDeck2, 1, detail::kDeck1, 0},  // 2B->1A
    {detail::kDeck2, 1, detail::kDeck1, 1},  // 2B->1B
    {detail::kDeck2, 0, detail::kDeck2, 1},  // 2A->2B
    {detail::kDeck2, 1, detail::kDeck2, 0},  // 2B->2A
    {detail::kDeck1, 0, detail::kDeck2, 0},  // 1A->2A
    {detail::kDeck1, 1, detail::kDeck2, 0},  // 1B->2A
    {detail::kDeck1, 0, detail::kDeck2, 1},  // 1A->2B
    {detail::kDeck1, 1, detail::kDeck2, 1},  // 1B->2B
}};

// The slot of the transition from one player to another; -1 when the table
// has none.
constexpr int SlotOf(djvp::DeckId outDeck, int outAB, djvp::DeckId inDeck, int inAB) {
  for (size_t k = 0; k < kTransitions.size(); ++k) {
    const Transition& t = kTransitions[k];
    if (t.outDeck == outDeck && t.outAB == outAB && t.inDeck == inDeck && t.inAB == inAB) return static_cast<int>(k);
  }
  return -1;
}
static_assert(SlotOf(djvp::kDeck2, 1, djvp::kDeck1, 1) == k2B_1B && SlotOf(djvp::kDeck1, 1, djvp::kDeck2, 1) == k1B_2B);

}  // namespace decks
