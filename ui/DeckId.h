// Which deck: deck 1 (the left one) or deck 2. The window's control arrays
// hold deck 1's controls first and deck 2's after them; DeckId is the one
// place where a deck becomes an array position or the number a user sees,
// and back, so the logic speaks of decks and never counts them.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace djvp {

class DeckId {
 public:
  // The deck a user calls `number` (1 or 2); nothing for any other number.
  static constexpr std::optional<DeckId> FromNumber(int number) {
    if (number == 1 || number == 2) return DeckId(static_cast<size_t>(number - 1));
    return std::nullopt;
  }

  // A control of a per-deck group: `index` in an array holding deck 1's
  // `groupSize` controls, then deck 2's. Nothing outside the two groups.
  struct InGroup;
  static constexpr std::optional<InGroup> FromGroupIndex(int index, int groupSize);

  // 1 or 2, as the user sees it (captions, settings sections, messages).
  constexpr int Number() const { return static_cast<int>(index_) + 1; }
  // 0 or 1: the deck's position in an array of one entry per deck.
  constexpr size_t Index() const { return index_; }
  // The position of the deck's k-th control in an array of per-deck groups
  // of `groupSize` (deck 1's group first).
  constexpr size_t Slot(int groupSize, int k) const {
    return index_ * static_cast<size_t>(groupSize) + static_cast<size_t>(k);
  }
  constexpr DeckId Other() const { return DeckId(1 - index_); }
  constexpr bool IsFirst() const { return index_ == 0; }

  friend constexpr bool operator==(DeckId a, DeckId b) { return a.index_ == b.index_; }
  friend constexpr bool operator!=(DeckId a, DeckId b) { return a.index_ != b.index_; }

 private:
  friend struct DeckIds;
  constexpr explicit DeckId(size_t index) : index_(index) {}
  size_t index_;
};

struct DeckId::InGroup {
  DeckId deck;
  int k;  // the control's place within its deck's group
};

constexpr std::optional<DeckId::InGroup> DeckId::FromGroupIndex(int index, int groupSize) {
  if (groupSize <= 0 || index < 0 || index >= 2 * groupSize) return std::nullopt;
  return InGroup{DeckId(static_cast<size_t>(index / groupSize)), index % groupSize};
}

struct DeckIds {
  static constexpr DeckId kFirst{0};
  static constexpr DeckId kSecond{1};
};

inline constexpr DeckId kDeck1 = DeckIds::kFirst;
inline constexpr DeckId kDeck2 = DeckIds::kSecond;
// Both decks, deck 1 first.
inline constexpr std::array<DeckId, 2> kBothDecks = {kDeck1, kDeck2};

}  // namespace djvp
