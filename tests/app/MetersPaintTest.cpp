// The level meters as they are seen: levels shown through the meter controls
// light the LEDs of the bound panels from the bottom up, and the window's
// meter timers light its panels from a song that plays.
#include "WindowTestEnv.h"

#include "app/Binding.h"
#include "audio/BassPlayer.h"
#include "decks/Meters.h"
#include "display/Displays.h"
#include "engine/Engine.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace djvp;

namespace {

// Reads the meter's LEDs off the panel's picture: true for a lit LED (its
// colour at full strength), false for an unlit one (at 100/255), LED 0 first.
std::vector<bool> LedsOnPanel(const LcdPanel& panel, const MeterLeds& leds) {
  const QImage shown = panel.Shown();
  std::vector<bool> lit;
  for (int led = 0; led < 10; ++led) {
    const QColor c = shown.pixelColor(leds.x + 2, leds.top[static_cast<size_t>(9 - led)] + leds.cell.height() / 2);
    const int strongest = std::max({c.red(), c.green(), c.blue()});
    EXPECT_TRUE(strongest > 200 || (strongest > 60 && strongest < 130)) << "LED " << led << " is neither lit nor unlit";
    lit.push_back(strongest > 160);
  }
  return lit;
}

// The number of lit LEDs, which must be the lowest ones.
int LitOnPanel(const LcdPanel& panel, const MeterLeds& leds) {
  const std::vector<bool> lit = LedsOnPanel(panel, leds);
  int n = 0;
  while (n < 10 && lit[static_cast<size_t>(n)]) ++n;
  for (int led = n; led < 10; ++led) EXPECT_FALSE(lit[static_cast<size_t>(led)]) << "LED " << led << " lit above a dark one";
  return n;
}

TEST(MeterPanels, LevelsLightTheLowestLedsOnTheDeckAndMasterPanels) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float dB;
    int lit;  // -1: the panel keeps what it showed
  };
  const Case cases[] = {
      {nan, 0},
      {djvp::kSilenceDb, 0},
      {-25.0f, 0},
      {std::nextafter(-25.0f, 0.0f), 1},
      {-20.0f, 1},
      {-15.0f, 2},
      {-12.5f, 3},
      {-7.0f, 4},
      {-5.0f, 5},
      {-3.0f, 6},
      {-1.0f, 7},
      {-0.5f, 8},
      {-0.3f, 9},
      {std::nextafter(-0.3f, 0.0f), 10},
      {0.00001f, 10},
      {std::nextafter(0.00001f, 1.0f), -1},
  };
  struct Meter {
    MeterLeds leds;
    QSize size;
  };
  for (const Meter& m : {Meter{DeckMeterLeds(), {12, 180}}, Meter{MasterMeterLeds(), {12, 79}}}) {
    LcdPanel panel;
    panel.resize(m.size);
    panel.SetBackColor(QColor(8, 8, 8));
    panel.Cls();
    DrawMeterUnlit(panel, m.leds);
    ui::LedMeter meter;
    bind::Meter(meter, &panel, m.leds);
    EXPECT_EQ(LitOnPanel(panel, m.leds), 0) << "the panel starts dark";
    for (const Case& c : cases) {
      // From a full and from a dark meter.
      for (const int before : {10, 0}) {
        meter.setLit(before);
        ASSERT_EQ(LitOnPanel(panel, m.leds), before);
        decks::ShowLevel(meter, c.dB);
        EXPECT_EQ(LitOnPanel(panel, m.leds), c.lit < 0 ? before : c.lit)
            << c.dB << " dB from " << before << " on the " << m.size.height() << " pixel panel";
      }
    }
  }
}

TEST(MeterPanels, TheWindowsMeterTimersLightItsPanelsFromAPlayingSong) {
  WindowTestEnv env;
  auto w = env.Open();
  engine::SetManualClock(true);
  // Left -2 dB (7 LEDs), right -6 dB (5 LEDs).
  clsBassPlayer& p = w->State().Deck1PlayerA();
  p.device(0);
  p.PreDevice(0);
  p.filename(QStringLiteral(DJVP_TEST_FIXTURES "/decks/loud.flac"));
  ASSERT_TRUE(p.OpenFile());
  p.StartMixPoint(0);
  p.volume(100);
  ASSERT_TRUE(p.Play());
  std::vector<float> out(2 * 4410);
  engine::RenderNoSound(out.data(), 4410);

  w->tmrdB1_ThatTime();
  w->tmrdB2_ThatTime();
  w->tmrdBVolume_ThatTime();
  EXPECT_EQ(LitOnPanel(*w->view.pctVolume1, w->DeckLeds), 7);
  EXPECT_EQ(LitOnPanel(*w->view.pctVolume2, w->DeckLeds), 0);
  EXPECT_EQ(LitOnPanel(*w->view.pctVolumeLeft, w->MasterLeds), 7);
  EXPECT_EQ(LitOnPanel(*w->view.pctVolumeRight, w->MasterLeds), 5);

  // A change of tab repaints the display panels; a meter that stands still
  // (its song paused) goes on showing what it showed.
  p.PausePlay();
  w->TabStrip1_Click();
  w->tmrdB1_ThatTime();
  w->tmrdBVolume_ThatTime();
  EXPECT_EQ(LitOnPanel(*w->view.pctVolume1, w->DeckLeds), 7);
  EXPECT_EQ(LitOnPanel(*w->view.pctVolumeRight, w->MasterLeds), 5);

  p.StopPlay();
  engine::SetManualClock(false);
}

}  // namespace
