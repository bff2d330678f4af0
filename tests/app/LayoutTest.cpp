// The resize rules of the main window, the master volume from the system
// mixer, the display panels painted at load, and the tag library control.
#include "WindowTestEnv.h"

#include "platform/Grid.h"

#include <QCoreApplication>
#include <QFile>
#include "platform/Timer.h"
#include <QPushButton>
#include <QSlider>
#include <QTabBar>

#include <gtest/gtest.h>

namespace {
// Pixels of a length in twips of the design.
int Px(int twips) { return twips / 15; }
}  // namespace

TEST(Layout, GroupsFollowTheWindowSize) {
  WindowTestEnv env;
  auto w = env.Open();
  w->resize(1500, 900);  // 22500 x 13500 twips
  w->Form_Resize();
  const int W = 22500, H = 13500;
  EXPECT_EQ(w->view.Frame[1]->x() + w->view.Frame[1]->width(), 1500 - 4);
  EXPECT_EQ(w->view.Frame[2]->x(), (1500 - w->view.Frame[2]->width()) / 2);
  EXPECT_EQ(w->view.TabStrip1->geometry(), QRect(Px(120), Px(4680), Px(W - 200), Px(H - 340 - 4800)));
  const QRect tab = w->view.TabStrip1->geometry();
  const QRect page(tab.x() + Px(40), tab.y() + Px(360), Px(tab.width() * 15 - 80), Px(tab.height() * 15 - 400));
  EXPECT_EQ(w->view.fraSearch->geometry(), page);
  EXPECT_EQ(w->view.Settings->geometry(), page);
  EXPECT_EQ(w->view.Mixer->geometry(), page);
  const QRect grid = w->State().DummyPlaylist->geometry();
  EXPECT_EQ(grid.topLeft(), QPoint(Px(200), Px(1000)));
  EXPECT_EQ(grid.height(), Px(page.height() * 15 - 1200));
  EXPECT_EQ(grid.width(), Px(page.width() * 15 - 400 - w->view.cmdSearch[2]->width() * 15 - 100));
  EXPECT_EQ(w->view.cmdSearch[0]->x(), grid.x());
  EXPECT_EQ(w->view.cmdSearch[1]->x() + w->view.cmdSearch[1]->width(), grid.x() + grid.width());
  EXPECT_EQ(w->view.cmdSearch[2]->y(), grid.y());
  EXPECT_EQ(w->view.cmdSearch[3]->y(), w->view.cmdSearch[2]->y() + w->view.cmdSearch[2]->height() + Px(200));
  for (int k = 2; k < 5; ++k) EXPECT_EQ(w->view.cmdSearch[k]->x(), grid.x() + grid.width() + Px(100));
  // Effect pages against the tab strip's inner edges, at their own width.
  EXPECT_EQ(w->view.SoundEffects[0]->x(), page.x());
  EXPECT_EQ(w->view.SoundEffects[1]->x(),
            (tab.x() * 15 + tab.width() * 15 - 40 - w->view.SoundEffects[1]->width() * 15) / 15);
  // The curve panel in screen pixels.
  EXPECT_EQ(w->view.BackMix->geometry(), QRect(200, Px(600), 255, 130));
  EXPECT_EQ(w->view.pctDimmer->geometry(), QRect(0, 30, 255, 100));
  EXPECT_EQ(w->view.MixPreview[5]->pos(), QPoint(Px(900), Px(600 + 650 * 5)));
  // Pop-up panels centred on the outer size.
  EXPECT_EQ(w->view.pctEQ[1]->x(), (w->frameGeometry().width() - w->view.pctEQ[1]->width()) / 2);
}

TEST(Layout, TheWindowIsNeverSmallerThanItsControlsNeed) {
  WindowTestEnv env;
  auto w = env.Open();
  w->resize(300, 300);
  w->Form_Resize();
  EXPECT_GE(w->width(), 1272);
  EXPECT_GE(w->height(), 581);
  // At the least size the centre panel stands between the decks and the
  // pages have room.
  const QRect deck1 = w->view.Frame[0]->geometry(), deck2 = w->view.Frame[1]->geometry();
  const QRect centre = w->view.Frame[2]->geometry();
  EXPECT_FALSE(centre.intersects(deck1));
  EXPECT_FALSE(centre.intersects(deck2));
  EXPECT_GE(w->view.TabStrip1->height(), 200);
  EXPECT_GE(w->view.fraSearch->height(), 200);
}

TEST(MasterVolume, SliderFollowsTheMixerAndWritesItBack) {
  WindowTestEnv env;
  env.mixerMax = 200;
  env.mixerVolume = 150;
  auto w = env.Open();
  EXPECT_FLOAT_EQ(w->State().WaveVolumeStep, 2.0f);
  EXPECT_EQ(w->view.MainVolume->value(), 25);
  EXPECT_EQ(w->State().SystemVolume->WaveMute(), 0);
  w->view.MainVolume->setValue(40);
  EXPECT_EQ(env.mixerWritten, 120);
}

TEST(MasterVolume, NoMixerLeavesTheDesignedValue) {
  WindowTestEnv env;
  djvp::SystemMixerFactory() = [] { return std::make_unique<djvp::clsVolume>(nullptr); };
  auto w = env.Open();
  EXPECT_EQ(w->State().WaveVolumeStep, 0.0f);
  EXPECT_EQ(w->view.MainVolume->value(), 0);
}

TEST(Load, TitleDisplaysTimersAndPlayersAreSetUp) {
  WindowTestEnv env;
  auto w = env.Open();
  EXPECT_EQ(w->State().ScrollerText[0], "dj VORLAN          ");
  EXPECT_EQ(w->State().ScrollerText[1].size(), 19);
  EXPECT_EQ(w->State().ScrollerWidth[0], 19);
  EXPECT_EQ(w->State().ScrollerPos[1], 19);
  for (djvp::Timer* t : {w->tmrScroller1, w->tmrScroller2}) EXPECT_EQ(t->Interval(), 200);
  for (djvp::Timer* t : {w->tmrPlaying, w->tmrdBVolume, w->tmrdB1, w->tmrdB2}) {
    EXPECT_EQ(t->Interval(), 55);
    EXPECT_TRUE(t->Enabled());
  }
  EXPECT_NE(w->State().Player(djvp::kDeck1, 0), w->State().Player(djvp::kDeck2, 1));
  EXPECT_EQ(djvp::g_AnalysisHost, &w->State());
  EXPECT_TRUE(w->State().StartTime.isValid());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(w->State().PlayListView[i]->ColumnCount(), 13);
    EXPECT_TRUE(w->State().PlayListView[i]->ColumnVisible(w->State().PlayListView[i]->ColumnNumber("BPM")));
    EXPECT_FALSE(w->State().PlayListView[i]->ColumnVisible(w->State().PlayListView[i]->ColumnNumber("Filename")));
  }
  EXPECT_TRUE(w->State().DummyPlaylist->ColumnVisible(13));
  EXPECT_EQ(w->State().DummyPlaylist->ColumnPixelWidth(1), 200);
  w.reset();
  EXPECT_EQ(djvp::g_AnalysisHost, nullptr);
}

TEST(Load, LibraryIndexIsReadFromTheDataFolder) {
  WindowTestEnv env;
  {
    djvp::Grid grid;
    for (const char* key : {"Artist", "Title", "Time", "Filename", "BPM", "Genre", "Album", "Year", "Bitrate", "Freq",
                            "Gain", "StartMixPoint", "EndMixPoint"})
      grid.InsertColumn(key, key);
    grid.AddRow();
    grid.SetCellValue(1, 1, QStringLiteral("Orbital"));
    ASSERT_TRUE(grid.SaveToFile(djvp::DataFolder() + "/djv.ndx"));
  }
  auto w = env.Open();
  ASSERT_EQ(w->State().DummyPlaylist->RowCount(), 1);
  EXPECT_EQ(w->State().DummyPlaylist->TextAt(1, 1), "Orbital");
  w->State().SetLibraryCell(1, 5, QVariant(128.5f));
  EXPECT_EQ(w->State().DummyPlaylist->CellValue(1, 5).toFloat(), 128.5f);
}

TEST(Load, TagLibraryControlIsCreatedFromBesideTheProgram) {
  WindowTestEnv env;
  const QString library = QCoreApplication::applicationDirPath() + "/libSonavex2.so";
  if (!QFile::exists(library)) GTEST_SKIP() << "libSonavex2.so is not built";
  ASSERT_TRUE(QFile::copy(library, env.program + "/libSonavex2.so"));
  auto w = env.Open();
  ASSERT_TRUE(static_cast<bool>(w->State().Sonavex1));
  EXPECT_GE(w->State().Sonavex1.IdOf(u"AUDIOAnalyzeFile"), 0);
}

TEST(Layout, NothingMovesWhileMinimised) {
  WindowTestEnv env;
  auto w = env.Open();
  w->resize(1500, 900);
  w->Form_Resize();
  const QRect tab = w->view.TabStrip1->geometry();
  w->setWindowState(Qt::WindowMinimized);
  w->resize(1400, 800);
  w->Form_Resize();
  EXPECT_EQ(w->view.TabStrip1->geometry(), tab);
  w->setWindowState(Qt::WindowNoState);
  w->Form_Resize();
  EXPECT_EQ(w->view.TabStrip1->width(), Px(1400 * 15 - 200));
}
