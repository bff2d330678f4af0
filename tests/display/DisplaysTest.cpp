// The display panels' LCD blend, the unlit meters and the skin listing.
#include "TempDir.h"
#include "display/Displays.h"
#include "ui/Controls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace djvp;

namespace {

// What one blend of `picture` over a cleared panel gives at a pixel.
QColor Expected(const LcdPanel& panel, const QImage& picture, QPoint panelPixel, QPoint offset) {
  QImage img(panel.size(), QImage::Format_ARGB32_Premultiplied);
  img.fill(panel.BackColor());
  QPainter p(&img);
  if (!panel.Picture().isNull()) p.drawImage(0, 0, panel.Picture());
  p.setOpacity(kLcdAlpha / 255.0);
  p.drawImage(offset, picture);
  p.end();
  return img.pixelColor(panelPixel);
}

}  // namespace

TEST(DisplayPanels, BlendIsTheSameAfterAnyNumberOfCalls) {
  LcdPanel panel;
  panel.resize(370, 27);
  panel.SetBackColor(QColor(10, 20, 30));
  panel.SetPicture(MakeTitlePanelPicture(368, 25));
  const QImage lcd = MakeLcdPicture(369, 25);
  BlendPanel(panel, lcd, 0, 0);
  const QImage once = panel.StoredImage();
  BlendPanel(panel, lcd, 0, 0);
  EXPECT_EQ(panel.StoredImage(), once);
  // The own picture under the LCD picture at 75/255 and 180/255; the column
  // past the LCD picture shows the panel alone.
  EXPECT_EQ(once.pixelColor(5, 5), Expected(panel, lcd, {5, 5}, {0, 0}));
  EXPECT_EQ(once.pixelColor(369, 26), panel.BackColor());
  EXPECT_FALSE(panel.AutoRedraw());
}

TEST(DisplayPanels, TimePanelPictureIsShiftedUpAndLeft) {
  LcdPanel panel;
  panel.resize(240, 28);
  panel.SetBackColor(QColor(0, 0, 0));
  // A picture whose first row and column are red, the rest blue.
  QImage pic(243, 29, QImage::Format_ARGB32_Premultiplied);
  pic.fill(Qt::blue);
  QPainter p(&pic);
  p.fillRect(0, 0, 243, 1, Qt::red);
  p.fillRect(0, 0, 1, 29, Qt::red);
  p.end();
  BlendPanel(panel, pic, -1, -1);
  const QColor corner = panel.StoredImage().pixelColor(0, 0);
  EXPECT_EQ(corner.red(), 0);
  EXPECT_GT(corner.blue(), 100);
}

TEST(DisplayPanels, DrawingWithTheSwitchOffGoesAwayWithTheNextClear) {
  LcdPanel panel;
  panel.resize(12, 180);
  panel.SetBackColor(Qt::black);
  panel.Cls();
  panel.Canvas().fill(Qt::white);  // a meter tick: to the screen only
  EXPECT_EQ(panel.Shown().pixelColor(6, 90), QColor(Qt::white));
  EXPECT_EQ(panel.StoredImage().pixelColor(6, 90), QColor(Qt::black));
  panel.Cls();
  EXPECT_EQ(panel.Shown().pixelColor(6, 90), QColor(Qt::black));
}

TEST(Meters, UnlitLedsAreDrawnIntoTheStoredImageAtTheirPlaces) {
  struct Case {
    MeterLeds leds;
    QSize size;
  };
  for (const Case& c : {Case{DeckMeterLeds(), {12, 180}}, Case{MasterMeterLeds(), {12, 79}}}) {
    LcdPanel meter;
    meter.resize(c.size);
    meter.SetBackColor(QColor(8, 8, 8));
    meter.Cls();
    meter.Canvas().fill(Qt::white);  // whatever a tick drew before
    DrawMeterUnlit(meter, c.leds);
    const QImage img = meter.StoredImage();
    const int cellHeight = c.leds.cell.height();
    // LED 9 (red) at the top, unlit: a dark red, never the full colour.
    const QColor top = img.pixelColor(c.leds.x + 2, c.leds.top[0] + cellHeight / 2);
    EXPECT_GT(top.red(), top.green());
    EXPECT_LT(top.red(), 140);
    // The bottom LED is green.
    const QColor bottom = img.pixelColor(c.leds.x + 2, c.leds.top[9] + cellHeight / 2);
    EXPECT_GT(bottom.green(), bottom.red());
    // Drawing twice gives the same picture.
    DrawMeterUnlit(meter, c.leds);
    EXPECT_EQ(meter.StoredImage(), img);
  }
}

TEST(Meters, ALevelLightsTheLowestLedsOnTheScreenOnly) {
  const MeterLeds leds = DeckMeterLeds();
  LcdPanel meter;
  meter.resize(12, 180);
  meter.SetBackColor(QColor(8, 8, 8));
  meter.Cls();
  DrawMeterUnlit(meter, leds);
  const QImage stored = meter.StoredImage();
  auto green = [&](int led) {
    // leds.top runs from LED 9 at the top down to LED 0.
    return meter.Shown().pixelColor(leds.x + 2, leds.top[static_cast<size_t>(9 - led)] + leds.cell.height() / 2).green();
  };
  DrawMeterOnScreen(meter, leds, 3);
  for (int led = 0; led < 3; ++led) EXPECT_GT(green(led), 140) << led;
  for (int led = 3; led < 7; ++led) EXPECT_LT(green(led), 140) << led;
  EXPECT_EQ(meter.StoredImage(), stored);
  DrawMeterOnScreen(meter, leds, 0);
  EXPECT_EQ(meter.Shown(), stored) << "dark again, as the panels drew it";
}

TEST(SkinList, NamedFilesAreListedWithTheirPaths) {
  TempDir dir;
  const QString folder = QString::fromStdString(dir.file("Skins"));
  QDir().mkpath(folder);
  auto write = [&](const QString& name, const QString& text) {
    TempDir::Write((folder + "/" + name).toStdString(), text.toStdString());
  };
  write("a.skf", "Alpha");
  write("b.skf", "");  // no skin
  write("c.skf", "Gamma");
  write("D.SKF", "Delta");
  write(".hidden.skf", "Hidden");
  write("readonly.skf", "Alpha");
  chmod(dir.file("Skins/readonly.skf").c_str(), 0444);
  write("notes.txt", "Text");
  QDir().mkpath(folder + "/y.skf");
  ui::ListBox list;
  list.addItem("old entry");
  std::array<QString, 1001> files;
  files[7] = "stale";
  auto nameOf = [](const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
  };
  EXPECT_EQ(ListSkins(folder, "*.skf", list, files, nameOf), 0);
  QStringList names;
  for (int i = 0; i < list.count(); ++i) names << list.itemText(i);
  EXPECT_EQ(names, (QStringList{"Hidden", "Alpha", "Gamma", "Delta", "Alpha"}));
  EXPECT_TRUE(files[1].endsWith("/a.skf"));
  EXPECT_TRUE(files[2].endsWith("/c.skf"));
  EXPECT_TRUE(files[3].endsWith("/D.SKF"));
  EXPECT_TRUE(files[4].endsWith("/readonly.skf"));
  EXPECT_TRUE(files[5].isEmpty());
  EXPECT_TRUE(files[7].isEmpty());
}

TEST(SkinList, MissingFolderGivesAnEmptyList) {
  ui::ListBox list;
  list.addItem("x");
  std::array<QString, 1001> files;
  ListSkins("/nonexistent/Skins", "*.skf", list, files, [](const QString&) { return QString("Name"); });
  EXPECT_EQ(list.count(), 0);
}

TEST(SkinList, PositionsPastOneThousandGetNoPath) {
  TempDir dir;
  const QString folder = QString::fromStdString(dir.file("Skins"));
  QDir().mkpath(folder);
  for (int i = 0; i < 1003; ++i)
    TempDir::Write((folder + QString("/s%1.skf").arg(i, 4, 10, QLatin1Char('0'))).toStdString(), "x");
  ui::ListBox list;
  std::array<QString, 1001> files;
  ListSkins(folder, "*.skf", list, files, [](const QString& p) { return QFileInfo(p).baseName(); });
  EXPECT_EQ(list.count(), 1003);
  EXPECT_TRUE(files[1000].endsWith("s1000.skf"));
  EXPECT_EQ(list.itemText(1002), "s1002");
}
