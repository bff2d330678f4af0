// The table of the twelve crossfade transitions: which player fades out and
// which fades in, by slot (see DeckState.h for the slot names).
#pragma once

#include "ui/DeckState.h"

#include <array>

namespace decks {

struct Transition {
  int outDeck, outAB;  // outgoing player: deck 1 or 2, 0 = A, 1 = B
  int inDeck, inAB;    // incoming player
  bool SameDeck() const { return outDeck == inDeck; }
};

constexpr std::array<Transition, kSlots> kTransitions = {{
    {1, 0, 1, 1},  // 1A->1B
    {1, 1, 1, 0},  // 1B->1A
    {2, 0, 1, 0},  // 2A->1A
    {2, 0, 1, 1},  // 2A->1B
    {2, 1, 1, 0},  // 2B->1A
    {2, 1, 1, 1},  // 2B->1B
    {2, 0, 2, 1},  // 2A->2B
    {2, 1, 2, 0},  // 2B->2A
    {1, 0, 2, 0},  // 1A->2A
    {1, 1, 2, 0},  // 1B->2A
    {1, 0, 2, 1},  // 1A->2B
    {1, 1, 2, 1},  // 1B->2B
}};

}  // namespace decks
