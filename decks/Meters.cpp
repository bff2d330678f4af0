#include "decks/Meters.h"

#include "audio/BassPlayer.h"
#include "ui/Controls.h"
#include "ui/MainState.h"

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

void DeckMeterTick(djvp::MainState& s, int deck) {
  djvp::clsBassPlayer* a = s.Player(deck, 0);
  djvp::clsBassPlayer* b = s.Player(deck, 1);
  if (!a || !b) return;
  // Only the player shown is asked for its level: reading the other one
  // would only cost time.
  djvp::clsBassPlayer* shown = b->IsPlaying() ? b : (a->IsPlaying() ? a : nullptr);
  if (!shown) return;
  ShowLevel(deck == 1 ? s.pctVolume1 : s.pctVolume2, shown->dB());
}

void tmrdB1_ThatTime(djvp::MainState& s) { DeckMeterTick(s, 1); }
void tmrdB2_ThatTime(djvp::MainState& s) { DeckMeterTick(s, 2); }

void tmrdBVolume_ThatTime(djvp::MainState& s) {
  djvp::clsBassPlayer* shown = nullptr;
  for (djvp::clsBassPlayer* p : {&s.Deck1PlayerA(), &s.Deck1PlayerB(), &s.Deck2PlayerA(), &s.Deck2PlayerB()})
    if (p->IsPlaying()) shown = p;
  if (!shown) return;
  ShowLevel(s.pctVolumeLeft, shown->LeftdB());
  ShowLevel(s.pctVolumeRight, shown->RightdB());
}

}  // namespace decks
