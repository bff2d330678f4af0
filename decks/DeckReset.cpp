#include "decks/DeckReset.h"

#include "decks/DeckControls.h"
#include "decks/MixerTitles.h"
#include "ui/MainState.h"

namespace decks {

void ResetDeck(djvp::MainState& s, int deck) {
  if (deck != 1 && deck != 2) return;
  const size_t d = static_cast<size_t>(deck - 1);
  s.Decks.MasterBPM = 0;
  SetSliderQuietly(s.VolumeSlider(deck), 100);
  SetSliderQuietly(s.PositionSlider(deck), 0);
  s.Decks.CrossfadeRunning = false;
  for (int k = 0; k < 6; ++k) s.Decks.FadeActive[d * 6 + static_cast<size_t>(k)] = false;

  ShowScrollerIdle(s, deck - 1, true);
  s.cTime[d].setText(QStringLiteral(" 00:00.00"));
  s.rTime[d].setText(QStringLiteral(" 00:00.00"));
  s.tTime[d].setText(QStringLiteral(" 00:00"));
  s.lblBPM[d].setText(QStringLiteral("000.0"));
  s.lblBPM[d + 2].setText(QStringLiteral("000.0"));

  // The deck's meter and both master meters go dark; the next meter tick
  // draws over them.
  (deck == 1 ? s.pctVolume1 : s.pctVolume2).setLit(0);
  s.pctVolumeLeft.setLit(0);
  s.pctVolumeRight.setLit(0);
  s.cmdPlayer[deck == 1 ? djvp::ctl::kPlay : djvp::ctl::kDeckButtons + djvp::ctl::kPlay].setEnabled(true);
}

void VolumeToCrossfader(djvp::MainState& s, int deck) {
  if (deck != 1 && deck != 2) return;
  const int fader = s.Slider1.value();
  SetSliderQuietly(s.VolumeSlider(deck), deck == 1 ? fader : 100 - fader);
}

}  // namespace decks
