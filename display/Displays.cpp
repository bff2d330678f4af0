#include "display/Displays.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>

#include "platform/ModPublic.h"
#include "ui/Controls.h"

namespace djvp {

QImage MakeLcdPicture(int width, int height) {
  QImage img(qMax(1, width), qMax(1, height), QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  QLinearGradient g(0, 0, 0, img.height());
  g.setColorAt(0.0, QColor(22, 58, 66));
  g.setColorAt(0.45, QColor(12, 40, 48));
  g.setColorAt(1.0, QColor(6, 24, 30));
  p.fillRect(img.rect(), g);
  // Faint pixel rows of the glass.
  p.setPen(QColor(0, 0, 0, 40));
  for (int y = 1; y < img.height(); y += 2) p.drawLine(0, y, img.width() - 1, y);
  // A thin bright rim at the top, a dark one at the bottom.
  p.setPen(QColor(90, 170, 180, 120));
  p.drawLine(0, 0, img.width() - 1, 0);
  p.setPen(QColor(0, 0, 0, 160));
  p.drawLine(0, img.height() - 1, img.width() - 1, img.height() - 1);
  return img;
}

QImage MakeTitlePanelPicture(int width, int height) {
  QImage img(qMax(1, width), qMax(1, height), QImage::Format_ARGB32_Premultiplied);
  img.fill(QColor(4, 14, 18));
  QPainter p(&img);
  p.setPen(QColor(30, 70, 78));
  // Character cells of the scrolling title: nineteen columns.
  const int cells = 19;
  for (int i = 1; i < cells; ++i) {
    const int x = i * img.width() / cells;
    for (int y = 3; y < img.height() - 3; y += 3) p.drawPoint(x, y);
  }
  return img;
}

QImage MakeLedPicture(const QColor& colour, int width, int height) {
  QImage img(qMax(1, width), qMax(1, height), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  QLinearGradient g(0, 0, img.width(), 0);
  g.setColorAt(0.0, colour.darker(140));
  g.setColorAt(0.5, colour.lighter(130));
  g.setColorAt(1.0, colour.darker(140));
  p.fillRect(QRect(0, 1, img.width(), img.height() - 2), g);
  return img;
}

QImage MakeBlackCell(int width, int height) {
  QImage img(qMax(1, width), qMax(1, height), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  return img;
}

void BlendPanel(LcdPanel& panel, const QImage& source, int x, int y) {
  panel.SetAutoRedraw(true);
  panel.Cls();
  {
    QImage& canvas = panel.Canvas();
    QPainter p(&canvas);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setOpacity(kLcdAlpha / 255.0);
    p.drawImage(QPoint(x, y), source);
  }
  panel.SetAutoRedraw(false);
  panel.update();
}

MeterLeds DeckMeterLeds() {
  MeterLeds m;
  m.cell = MakeBlackCell(5, 17);
  m.red = MakeLedPicture(QColor(235, 40, 30), 5, 17);
  m.orange = MakeLedPicture(QColor(250, 160, 20), 5, 17);
  m.green = MakeLedPicture(QColor(40, 220, 70), 5, 17);
  m.top = {5, 22, 39, 56, 73, 90, 107, 124, 141, 158};
  return m;
}

MeterLeds MasterMeterLeds() {
  MeterLeds m;
  m.cell = MakeBlackCell(5, 7);
  m.red = MakeLedPicture(QColor(235, 40, 30), 5, 7);
  m.orange = MakeLedPicture(QColor(250, 160, 20), 5, 7);
  m.green = MakeLedPicture(QColor(40, 220, 70), 5, 7);
  m.top = {4, 11, 18, 25, 32, 39, 46, 53, 60, 67};
  return m;
}

void DrawMeterUnlit(LcdPanel& meter, const MeterLeds& leds) {
  meter.SetAutoRedraw(true);
  QImage& canvas = meter.Canvas();
  for (int i = 0; i < 10; ++i) {
    // i = 0 is LED 9 at the top.
    const QImage& led = i == 0 ? leds.red : (i < 3 ? leds.orange : leds.green);
    modPublic_BlendPictures(leds.cell, led, kLedUnlit, static_cast<int16_t>(leds.x),
                            static_cast<int16_t>(leds.top[static_cast<size_t>(i)]), canvas);
  }
  meter.SetAutoRedraw(false);
  meter.update();
}

void DrawMeterOnScreen(LcdPanel& meter, const MeterLeds& leds, int lit) {
  if (leds.cell.isNull()) return;
  meter.SetAutoRedraw(false);
  QImage& canvas = meter.Canvas();
  for (int i = 0; i < 10; ++i) {
    // i = 0 is LED 9 at the top.
    const int led = 9 - i;
    const QImage& picture = i == 0 ? leds.red : (i < 3 ? leds.orange : leds.green);
    modPublic_BlendPictures(leds.cell, picture, led < lit ? kLedLit : kLedUnlit, static_cast<int16_t>(leds.x),
                            static_cast<int16_t>(leds.top[static_cast<size_t>(i)]), canvas);
  }
  meter.update();
}

int32_t ListSkins(const QString& folder, const QString& mask, ui::ListBox& list,
                  std::array<QString, 1001>& files,
                  const std::function<QString(const QString& path)>& skinNameOf) {
  list.clear();
  for (QString& f : files) f.clear();
  const QDir dir(folder);
  if (!dir.exists()) return 0;
  const QStringList names =
      dir.entryList({mask}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : names) {
    const QString path = dir.absoluteFilePath(name);
    QString skinName;
    if (skinNameOf) skinName = skinNameOf(path);
    if (skinName.isEmpty()) continue;
    list.addItem(skinName);
    const int n = list.count() - 1;
    if (n <= 1000) files[static_cast<size_t>(n)] = path;
  }
  return 0;
}

}  // namespace djvp
