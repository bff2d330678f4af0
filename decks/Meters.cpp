#include "decks/Meters.h"

#include "audio/BassPlayer.h"
#include "ui/Controls.h"
#include "ui/Deck.h"

namespace decks {

int LitLeds(float dB) {
  int lit = 0;
  // The thresholds rise, so the lit LEDs are always the lowest ones; a value
  // that is not a number is above none of them.
  for (const float threshold : kLedThresholds)
    if (dB > threshold) ++lit;
  return lit;
}

void ShowLevel(djvp::ui::LedMeter& meter, float dB) {
  if (dB > kMeterCeiling) return;
  meter.setLit(LitLeds(dB));
}

void DeckMeterTick(djvp::MainState& s, djvp::DeckId id) {
  const djvp::Deck deck(s, id);
  djvp::clsBassPlayer* a = deck.Player(0);
  djvp::clsBassPlayer* b = deck.Player(1);
  // Only the player shown is asked for its level: reading the other one
  // would only cost time.
  djvp::clsBassPlayer* shown = b->IsPlaying() ? b : (a->IsPlaying() ? a : nullptr);
  if (!shown) return;
  ShowLevel(deck.Meter(), shown->dB());
}

void tmrdB1_ThatTime(djvp::MainState& s) { DeckMeterTick(s, djvp::kDeck1); }
void tmrdB2_ThatTime(djvp::MainState& s) { DeckMeterTick(s, djvp::kDeck2); }

void tmrdBVolume_ThatTime(djvp::MainState& s) {
  djvp::clsBassPlayer* shown = nullptr;
  for (djvp::DeckId deck : djvp::kBothDecks)
    for (int ab = 0; ab < 2; ++ab)
      if (djvp::clsBassPlayer* p = s.Player(deck, ab); p->IsPlaying()) shown = p;
  if (!shown) return;
  ShowLevel(s.pctVolumeLeft, shown->LeftdB());
  ShowLevel(s.pctVolumeRight, shown->RightdB());
}

}  // namespace decks
