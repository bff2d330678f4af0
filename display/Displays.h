// The pictures and procedures behind the main window's displays: the LCD
// pictures blended over the deck display panels, the LED cells of the level
// meters, and the listing of the skin files for the settings page.
#pragma once

#include "display/LcdPanel.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

namespace djvp {

namespace ui {
class ListBox;
}

// The constant alpha of every LCD blend: the picture gives 180/255 of the
// colour, the panel's own background 75/255.
constexpr int kLcdAlpha = 180;
// Constant alpha of a lit and of an unlit LED.
constexpr int kLedLit = 255;
constexpr int kLedUnlit = 100;

// An LCD picture of that size: a backlit, slightly graded glass with faint
// pixel rows.
QImage MakeLcdPicture(int width, int height);
// The title panels' own picture: the dark character-cell grid the scrolling
// title is drawn over.
QImage MakeTitlePanelPicture(int width, int height);
// An LED cell: the lit colour with a highlight, on a transparent edge.
QImage MakeLedPicture(const QColor& colour, int width, int height);
// A black cell of that size (the opaque background an LED is blended over).
QImage MakeBlackCell(int width, int height);

// Blends the source picture over the panel at (x, y) into its stored
// background: stored-image drawing on, the panel cleared, the picture drawn
// at the constant alpha kLcdAlpha unscaled (whatever lies outside the panel
// is clipped), stored-image drawing off again.
void BlendPanel(LcdPanel& panel, const QImage& source, int x, int y);

// The LEDs of one meter column and where they sit.
struct MeterLeds {
  QImage cell;    // the opaque background of every LED
  QImage red;     // LED 9
  QImage orange;  // LEDs 8 and 7
  QImage green;   // LEDs 6 to 0
  int x = 3;
  std::array<int, 10> top{};  // top of LED 9 first, down to LED 0
};
// LED layout of a deck meter (12 x 180) and of a master meter (12 x 79).
MeterLeds DeckMeterLeds();
MeterLeds MasterMeterLeds();

// Draws all ten LEDs unlit into the meter's stored background (stored-image
// drawing on for the time of the call). The panel is not cleared first:
// every cell is covered by its opaque background before its LED.
void DrawMeterUnlit(LcdPanel& meter, const MeterLeds& leds);
// Draws the ten LEDs on the meter's screen layer only, the lowest `lit` of
// them lit and the others unlit (0 draws the whole column dark).
void DrawMeterOnScreen(LcdPanel& meter, const MeterLeds& leds, int lit);

// Fills `list` with the skin names of the files in `folder` that match
// `mask` (letter case ignored; hidden and read-only files too, folders
// never), in name order; files whose name query gives "" are left out.
// files[n] is the full path of list entry n for n up to 1000. A missing
// folder gives an empty list. Always returns 0 (the callers ignore it).
int32_t ListSkins(const QString& folder, const QString& mask, ui::ListBox& list,
                  std::array<QString, 1001>& files,
                  const std::function<QString(const QString& path)>& skinNameOf);

}  // namespace djvp
