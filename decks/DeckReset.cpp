#include "decks/DeckReset.h"

#include "decks/DeckControls.h"
#include "decks/MixerTitles.h"
#include "decks/Transitions.h"
#include "ui/Deck.h"

namespace decks {

void ResetDeck(djvp::MainState& s, djvp::DeckId id) {
  const djvp::Deck deck(s, id);
  s.Decks.MasterBPM = 0;
  SetSliderQuietly(&deck.Volume(), 100);
  SetSliderQuietly(&deck.Position(), 0);
  s.Decks.CrossfadeRunning = false;
  for (int k = 0; k < djvp::Deck::kFadesInto; ++k) deck.FadeInto(k) = false;

  ShowScrollerIdle(s, id, true);
  deck.Elapsed().setText(QStringLiteral(" 00:00.00"));
  deck.Remaining().setText(QStringLiteral(" 00:00.00"));
  deck.Length().setText(QStringLiteral(" 00:00"));
  deck.RowBpm().setText(QStringLiteral("000.0"));
  deck.TempoBpm().setText(QStringLiteral("000.0"));

  // The deck's meter and both master meters go dark; the next meter tick
  // draws over them.
  deck.Meter().setLit(0);
  s.pctVolumeLeft.setLit(0);
  s.pctVolumeRight.setLit(0);
  deck.Button(djvp::ctl::kPlay).setEnabled(true);
}

void VolumeToCrossfader(djvp::MainState& s, djvp::DeckId deck) {
  const int fader = s.Slider1.value();
  SetSliderQuietly(&s.VolumeSlider(deck), deck.IsFirst() ? fader : 100 - fader);
}

bool LeaveTransitions(djvp::MainState& s, djvp::DeckId deck, int ab) {
  bool left = false;
  for (size_t k = 0; k < kTransitions.size(); ++k) {
    if (!s.Decks.FadeActive[k] || !kTransitions[k].Involves(deck, ab)) continue;
    s.Decks.FadeActive[k] = false;
    left = true;
  }
  return left;
}

}  // namespace decks
