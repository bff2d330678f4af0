#include "decks/DeckReset.h"

#include "app/Globals.h"
#include "app/frmMain.h"
#include "decks/DeckControls.h"
#include "display/ScrollerDeck.h"
#include "platform/ModPublic.h"

#include <QPushButton>

namespace decks {

namespace {

// Draws the meter's ten LEDs unlit on the screen layer only: the stored
// picture is dark already, and the next meter tick draws over them.
void DarkenOnScreen(djvp::LcdPanel* meter, const djvp::MeterLeds& leds) {
  if (!meter || leds.cell.isNull()) return;
  meter->SetAutoRedraw(false);
  QImage& canvas = meter->Canvas();
  for (int i = 0; i < 10; ++i) {
    const QImage& led = i == 0 ? leds.red : (i < 3 ? leds.orange : leds.green);
    djvp::modPublic_BlendPictures(leds.cell, led, djvp::kLedUnlit, static_cast<int16_t>(leds.x),
                                  static_cast<int16_t>(leds.top[static_cast<size_t>(i)]), canvas);
  }
  meter->update();
}

}  // namespace

void ResetDeck(djvp::frmMain& form, int deck) {
  if (deck != 1 && deck != 2) return;
  const size_t d = static_cast<size_t>(deck - 1);
  form.Decks.MasterBPM = 0;
  djvp::SuppressSliderEvents = true;
  SetSliderValue(VolumeSlider(form, deck), 100);
  SetSliderValue(PositionSlider(form, deck), 0);
  djvp::SuppressSliderEvents = false;
  djvp::CrossfadeRunning = false;
  for (int k = 0; k < 6; ++k) form.Decks.FadeActive[d * 6 + static_cast<size_t>(k)] = false;

  djvp::ShowScrollerIdle(form, deck - 1, true);
  SetLabel(form.cTime[d], QStringLiteral(" 00:00.00"));
  SetLabel(form.rTime[d], QStringLiteral(" 00:00.00"));
  SetLabel(form.tTime[d], QStringLiteral(" 00:00"));
  SetLabel(form.lblBPM[d], QStringLiteral("000.0"));
  SetLabel(form.lblBPM[d + 2], QStringLiteral("000.0"));

  DarkenOnScreen(deck == 1 ? form.pctVolume1 : form.pctVolume2, form.DeckLeds);
  DarkenOnScreen(form.pctVolumeLeft, form.MasterLeds);
  DarkenOnScreen(form.pctVolumeRight, form.MasterLeds);
  if (QPushButton* play = form.cmdPlayer[deck == 1 ? 7 : 17]) play->setEnabled(true);
}

}  // namespace decks
