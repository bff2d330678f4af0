#include "effects/Targets.h"

#include "audio/BassPlayer.h"
#include "decks/Transitions.h"
#include "ui/MainState.h"

namespace effects {

namespace {

bool Playing(const djvp::clsBassPlayer* p) { return p && p->IsPlaying(); }

}  // namespace

Target PlayerTarget(djvp::clsBassPlayer* p) {
  if (!p) return {};
  return Target{p, p->STRM(), p->PreSTRM(), p->hBPM()};
}

Target DeckTarget(const djvp::MainState& s, djvp::DeckId deck) {
  // The last running transition into the deck decides.
  const decks::Transition* incoming = nullptr;
  for (size_t slot = 0; slot < decks::kTransitions.size(); ++slot)
    if (s.Decks.FadeActive[slot] && decks::kTransitions[slot].inDeck == deck) incoming = &decks::kTransitions[slot];
  if (incoming) return PlayerTarget(s.Player(incoming->inDeck, incoming->inAB));
  djvp::clsBassPlayer* a = s.Player(deck, 0);
  djvp::clsBassPlayer* b = s.Player(deck, 1);
  if (Playing(b)) return PlayerTarget(b);
  if (Playing(a)) return PlayerTarget(a);
  return {};
}

}  // namespace effects
