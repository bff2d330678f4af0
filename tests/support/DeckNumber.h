// Test tables name decks by the number a user sees; this turns one into the
// program's deck type (a number other than 1 or 2 fails the test at once).
#pragma once

#include "ui/DeckId.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

inline djvp::DeckId DeckNo(int number) {
  const std::optional<djvp::DeckId> deck = djvp::DeckId::FromNumber(number);
  if (!deck) throw std::invalid_argument("no deck has that number");
  return *deck;
}
