#include "TempDir.h"
#include "platform/SkinEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

using namespace djvp;

namespace {

const QString kShippedSkins = QStringLiteral(DJVP_TEST_SOURCE_DIR "/resources/skins");

// A window with the panels the main window gives the skins to style.
struct SkinnedWindow {
  QWidget window;
  QFrame* deck1;
  QLabel* lcd;
  QPushButton* button;
  SkinnedWindow() {
    window.resize(300, 120);
    deck1 = new QFrame(&window);
    deck1->setObjectName("deckPanel1");
    deck1->setGeometry(0, 0, 150, 120);
    lcd = new QLabel("128.00", deck1);
    lcd->setObjectName("lcdDisplay");
    lcd->setGeometry(10, 20, 120, 40);
    button = new QPushButton("Play", &window);
    button->setGeometry(170, 20, 100, 30);
  }
  QColor PixelOf(QWidget* w, int x, int y) {
    window.ensurePolished();
    const QImage image = window.grab().toImage();
    return image.pixelColor(w->mapTo(&window, QPoint(x, y)));
  }
};

}  // namespace

TEST(SkinEngine, SkinNamesComeFromTheFirstLine) {
  TempDir dir;
  struct Case {
    const char* file;
    std::string text;
    QString name;
  } cases[] = {
      {"a.skf", "name=Alpha\nQWidget { color: red; }\n", "Alpha"},
      {"crlf.skf", "name= Club Night \r\nQWidget {}\r\n", "Club Night"},
      {"bom.skf", "\xEF\xBB\xBFName=Beta\n", "Beta"},
      {"only.skf", "name=Gamma", "Gamma"},
      {"empty.skf", "name=\nQWidget {}\n", ""},
      {"other.skf", "QWidget { color: red; }\nname=Late\n", ""},
      {"blank.skf", "", ""},
      {"binary.skf", std::string("\x00\x01name=x", 8), ""},
  };
  for (const auto& c : cases) {
    TempDir::Write(dir.file(c.file), c.text);
    EXPECT_EQ(SkinEngine::SkinNameOf(QString::fromStdString(dir.file(c.file))), c.name) << c.file;
  }
  std::filesystem::create_directory(dir.path() / "folder.skf");
  EXPECT_EQ(SkinEngine::SkinNameOf(QString::fromStdString(dir.file("folder.skf"))), "");
  EXPECT_EQ(SkinEngine::SkinNameOf(QString::fromStdString(dir.file("missing.skf"))), "");
  // A huge file is no skin and is not read into memory.
  TempDir::Write(dir.file("huge.skf"), "name=Huge\n" + std::string(2 << 20, ' '));
  EXPECT_EQ(SkinEngine::SkinNameOf(QString::fromStdString(dir.file("huge.skf"))), "");
}

TEST(SkinEngine, PictureReferencesAreMadeAbsolute) {
  const QString sheet =
      "a { image: url(knob.png); } b { image: url( \"pics/fader.png\" ); } "
      "c { image: url('/usr/share/x.png'); } d { image: url(:/icons/y.png); } e { image: url(../up.png); }";
  const QString out = SkinEngine::ResolveStyleSheet(sheet, "/opt/dj/Skins");
  EXPECT_TRUE(out.contains("url(\"/opt/dj/Skins/knob.png\")")) << out.toStdString();
  EXPECT_TRUE(out.contains("url(\"/opt/dj/Skins/pics/fader.png\")"));
  EXPECT_TRUE(out.contains("url(\"/usr/share/x.png\")"));
  EXPECT_TRUE(out.contains("url(\":/icons/y.png\")"));
  EXPECT_TRUE(out.contains("url(\"/opt/dj/up.png\")"));
  EXPECT_TRUE(out.startsWith("a { image: "));
}

TEST(SkinEngine, LoadApplyAndShutdown) {
  TempDir dir;
  TempDir::Write(dir.file("red.skf"), std::string("name=Red\nQWidget { background-color: #ff0000; }\n"
                                                  "#lcdDisplay { background-color: #000000; color: #00ff00; }\n"));
  TempDir::Write(dir.file("bad.skf"), std::string("not a skin\n"));
  SkinEngine engine;
  auto second = std::make_unique<QWidget>();
  {
    SkinnedWindow w;
    ASSERT_TRUE(engine.LoadSkinFile(QString::fromStdString(dir.file("red.skf"))));
    EXPECT_EQ(engine.LoadedName(), "Red");
    engine.ApplySkin(&w.window);
    engine.ApplySkin(second.get());
    EXPECT_EQ(w.PixelOf(w.deck1, 140, 110), QColor(255, 0, 0));
    EXPECT_EQ(w.PixelOf(w.lcd, 2, 2), QColor(0, 0, 0));

    // A file that is no skin leaves the loaded skin in place.
    EXPECT_FALSE(engine.LoadSkinFile(QString::fromStdString(dir.file("bad.skf"))));
    EXPECT_EQ(engine.LoadedName(), "Red");

    TempDir::Write(dir.file("blue.skf"), std::string("name=Blue\nQWidget { background-color: #0000ff; }\n"));
    ASSERT_TRUE(engine.LoadSkinFile(QString::fromStdString(dir.file("blue.skf"))));
    engine.Apply();
    EXPECT_EQ(w.PixelOf(w.deck1, 140, 110), QColor(0, 0, 255));
    EXPECT_EQ(second->styleSheet(), engine.StyleSheet());
  }
  // A window that is gone is skipped.
  engine.Apply();
  engine.Shutdown();
  EXPECT_EQ(second->styleSheet(), "");
  EXPECT_EQ(engine.LoadedName(), "");
}

TEST(SkinEngine, ShippedSkinsAreDarkWithLcdPanelsAndComplete) {
  const QStringList files = QDir(kShippedSkins).entryList({"*.skf"}, QDir::Files);
  ASSERT_GE(files.size(), 3);
  QSet<QString> names;
  static const QRegularExpression kUrl(R"re(url\("([^"]+)"\))re");
  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    SkinEngine engine;
    ASSERT_TRUE(engine.LoadSkinFile(kShippedSkins + "/" + file));
    names.insert(engine.LoadedName());
    // Every picture the skin refers to exists and loads.
    auto it = kUrl.globalMatch(engine.StyleSheet());
    int pictures = 0;
    while (it.hasNext()) {
      const QString path = it.next().captured(1);
      EXPECT_FALSE(QImage(path).isNull()) << path.toStdString();
      ++pictures;
    }
    EXPECT_GT(pictures, 0);
    for (const char* selector : {"QPushButton", "QSlider", "QTabBar", "QLabel", "QComboBox", "QCheckBox",
                                 "QTableView", "QHeaderView", "QProgressBar", "QStatusBar", "#lcdDisplay",
                                 "#deckPanel1", "#deckPanel2", "#centrePanel"})
      EXPECT_TRUE(engine.StyleSheet().contains(selector)) << selector;

    SkinnedWindow w;
    engine.ApplySkin(&w.window);
    const QColor background = w.PixelOf(w.deck1, 140, 110);
    const QColor lcd = w.PixelOf(w.lcd, 2, 2);
    EXPECT_LT(background.lightness(), 60);
    EXPECT_LT(lcd.lightness(), 20);
    // The LCD text is bright on its dark panel.
    const QColor text = w.lcd->palette().color(QPalette::WindowText);
    EXPECT_GT(text.lightness(), 120);
  }
  EXPECT_EQ(names.size(), files.size());
}
