// Editing a deck's playlist: delete, move up and down, save failures and
// killed saves, clear, and sorting by a header click.
#include "KillSave.h"
#include "PlaylistTestEnv.h"
#include "TempDir.h"

#include "audio/BassPlayer.h"
#include "engine/Engine.h"
#include "playlists/Playlists.h"
#include "ui/SettingsKeys.h"

#include <QVariant>

#include <filesystem>
#include <string>
#include <vector>

using namespace playlists;

namespace {
const QString kResting = QStringLiteral("dj VORLAN          ");
}

class EditTest : public PlaylistTest {
 protected:
  // Rows whose thirteen cells all differ: "r<row>c<column>", with a number
  // in the bit-rate column.
  void Fill(int d, int rows) {
    for (int r = 1; r <= rows; ++r) {
      const int32_t row = Deck(d).AddRow();
      for (int c = 1; c <= kTrackColumnCount; ++c)
        Deck(d).SetCellValue(row, c, QStringLiteral("r%1c%2").arg(r).arg(c));
      Deck(d).SetCellValue(row, kBitrate, int32_t{100 + r});
    }
  }
  // The original row numbers in today's order, read from column 1.
  QString Order(int d) {
    QString order;
    for (int32_t r = 1; r <= Deck(d).RowCount(); ++r) order += Deck(d).TextAt(r, 1).mid(1, 1);
    return order;
  }
  // Every cell of row r still belongs to the original row `original`.
  void ExpectWholeRow(int d, int32_t r, int original) {
    for (int c = 1; c <= kTrackColumnCount; ++c) {
      const QVariant expected = c == kBitrate ? QVariant(100 + original) : QVariant(QStringLiteral("r%1c%2").arg(original).arg(c));
      EXPECT_EQ(Deck(d).CellValue(r, c), expected) << "row " << r << " column " << c;
    }
  }
};

TEST_F(EditTest, DeleteRemovesTheSelectedRowOnly) {
  Fill(0, 3);
  Press(2);  // nothing selected
  EXPECT_EQ(Order(0), QStringLiteral("123"));
  Deck(0).SetCurrentRow(2);
  Press(12);  // deck 2's button leaves deck 1 alone
  EXPECT_EQ(Order(0), QStringLiteral("123"));
  Press(2);
  EXPECT_EQ(Order(0), QStringLiteral("13"));
  EXPECT_TRUE(Deck(0).DrawingEnabled());
}

TEST_F(EditTest, UpAndDownSwapAllThirteenCellsAndTheSelectionFollows) {
  Fill(1, 3);
  Deck(1).SetCurrentRow(2);
  Press(13);  // up
  EXPECT_EQ(Order(1), QStringLiteral("213"));
  ExpectWholeRow(1, 1, 2);
  ExpectWholeRow(1, 2, 1);
  EXPECT_EQ(Deck(1).CurrentRow(), 1);
  Press(13);  // up on row 1: nothing
  EXPECT_EQ(Order(1), QStringLiteral("213"));
  Press(14);  // down twice: to the end
  Press(14);
  EXPECT_EQ(Order(1), QStringLiteral("132"));
  ExpectWholeRow(1, 3, 2);
  EXPECT_EQ(Deck(1).CurrentRow(), 3);
  Press(14);  // down on the last row: nothing
  EXPECT_EQ(Order(1), QStringLiteral("132"));
  Deck(1).SetCurrentRow(0);
  Press(13);
  Press(14);
  EXPECT_EQ(Order(1), QStringLiteral("132"));
}

TEST_F(EditTest, ClearEmptiesTheListAndPutsItsDeckDisplayAtRest) {
  form->ScrollerText[1] = QStringLiteral("a title");
  form->ScrollerPos[1] = 7;
  Press(16);  // empty list: nothing
  EXPECT_EQ(form->ScrollerText[1], QStringLiteral("a title"));
  EXPECT_EQ(form->ScrollerPos[1], 7);
  Fill(1, 2);
  form->ScrollerText[0] = QStringLiteral("deck one");
  Press(16);
  EXPECT_EQ(Deck(1).RowCount(), 0);
  EXPECT_EQ(Deck(1).ColumnCount(), kTrackColumnCount);
  EXPECT_EQ(form->ScrollerText[1], kResting);
  EXPECT_EQ(form->ScrollerPos[1], 2);
  EXPECT_EQ(form->ScrollerText[0], QStringLiteral("deck one"));
}

TEST_F(EditTest, SaveCancelledWritesNothingAndAFailedSaveSaysSo) {
  Fill(0, 2);
  const std::string path = work.file("list.vpl");
  AnswerFileDialog(std::nullopt);
  Press(5);
  EXPECT_FALSE(std::filesystem::exists(path));
  // A confirmed save of an empty list still writes a playlist.
  AnswerFileDialog(QString::fromStdString(path));
  Press(15);
  ASSERT_TRUE(std::filesystem::exists(path));
  // A path that cannot be written (a folder of that name) fails visibly.
  std::filesystem::create_directory(work.file("taken.vpl"));
  AnswerFileDialog(QString::fromStdString(work.file("taken.vpl")));
  Press(5);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(env.messages[0].contains(QStringLiteral("taken.vpl")));
}

// A playlist save killed at each of its steps (among them right before the
// new file takes the playlist's name): the next start finishes it in the
// playlist's folder, which then holds the playlist as it was or as saved and
// nothing else.
TEST_F(EditTest, ASaveKilledAtAnyStepLeavesNothingBesideThePlaylistAfterTheNextStart) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(work.path()) / "lists";
  fs::create_directories(folder);
  const std::string path = (folder / "list.vpl").string();
  AnswerFileDialog(QString::fromStdString(path));
  Press(5);  // the old playlist: an empty list
  const auto before = TempDir::Read(path);
  Fill(0, 40);
  // The folder the save stores for the next start: each run starts without it.
  djvp::keys::Save(djvp::keys::kPlaylistFolder, QString());
  int saved = 0;
  killsave::AtEveryStep(
      [&] { Press(5); },
      [&](int step, bool killed) {
        SCOPED_TRACE(step);
        playlists::FinishKilledPlaylistSave();  // the next start
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"list.vpl"});
        const auto now = TempDir::Read(path);
        const bool isNew = now != before;
        EXPECT_TRUE(!isNew || std::string(now.begin(), now.end()).find("r40c1") != std::string::npos);
        EXPECT_TRUE(killed || isNew);
        saved += isNew;
        TempDir::Write(path, before);
        djvp::keys::Save(djvp::keys::kPlaylistFolder, QString());
      });
  EXPECT_GE(saved, 1);
}

TEST_F(EditTest, HeaderClicksSortAscendingThenDescendingPerColumn) {
  const char* titles[] = {"b", "C", "a"};
  const char* times[] = {"10:00", "09:59", "00:30"};
  for (int i = 0; i < 3; ++i) {
    const int32_t r = Deck(0).AddRow();
    Deck(0).SetCellValue(r, kTitle, QString::fromLatin1(titles[i]));
    Deck(0).SetCellValue(r, kTime, QString::fromLatin1(times[i]));
  }
  auto column = [&](int c) {
    QStringList v;
    for (int32_t r = 1; r <= 3; ++r) v << Deck(0).TextAt(r, c);
    return v.join(QLatin1Char(','));
  };
  playlists::PlayListView_ColumnClick(*form, 0, kTitle);
  EXPECT_EQ(column(kTitle), QStringLiteral("a,b,C"));
  playlists::PlayListView_ColumnClick(*form, 0, kTime);  // another column in between
  EXPECT_EQ(column(kTime), QStringLiteral("00:30,09:59,10:00"));
  playlists::PlayListView_ColumnClick(*form, 0, kTitle);
  EXPECT_EQ(column(kTitle), QStringLiteral("C,b,a"));
  playlists::PlayListView_ColumnClick(*form, 0, kTitle);
  EXPECT_EQ(column(kTitle), QStringLiteral("a,b,C"));
  playlists::PlayListView_ColumnClick(*form, 0, kTime);
  EXPECT_EQ(column(kTime), QStringLiteral("10:00,09:59,00:30"));
  EXPECT_EQ(Deck(0).SortSpec().Count(), 1);
  // Clicks outside the grid's columns change nothing.
  playlists::PlayListView_ColumnClick(*form, 0, 0);
  playlists::PlayListView_ColumnClick(*form, 0, 14);
  EXPECT_EQ(column(kTime), QStringLiteral("10:00,09:59,00:30"));
}

// A song that plays from a row that was cleared or deleted can still be
// paused and stopped with the deck's buttons.
TEST_F(EditTest, ClearingOrDeletingThePlayingRowLeavesTheSongStoppable) {
  engine::SetManualClock(true);
  for (djvp::clsBassPlayer* p : {form->Player(djvp::kDeck1, 0), form->Player(djvp::kDeck1, 1)}) {
    p->device(0);
    p->PreDevice(0);
  }
  form->Decks.CrossfadeRunning = false;
  for (const char* step : {"clear", "delete"}) {
    AddTrackRow(*form, Fixture("plain.mp3"), Deck(0));
    Deck(0).SetCurrentRow(0);
    Press(7);  // Play: row 1
    ASSERT_TRUE(form->Player(djvp::kDeck1, 0)->IsPlaying() || form->Player(djvp::kDeck1, 1)->IsPlaying()) << step;
    if (std::string(step) == "clear") {
      Press(6);
    } else {
      Deck(0).SetCurrentRow(1);
      Press(2);
    }
    ASSERT_EQ(Deck(0).RowCount(), 0) << step;
    Press(8);  // Pause
    EXPECT_TRUE(form->Player(djvp::kDeck1, 0)->IsPaused() || form->Player(djvp::kDeck1, 1)->IsPaused()) << step;
    Press(9);  // Stop
    for (djvp::clsBassPlayer* p : {form->Player(djvp::kDeck1, 0), form->Player(djvp::kDeck1, 1)}) {
      EXPECT_FALSE(p->IsPlaying()) << step;
      EXPECT_FALSE(p->IsPaused()) << step;
    }
    EXPECT_TRUE(form->cmdPlayer[7].isEnabled());
    form->Decks.CrossfadeRunning = false;
  }
  engine::SetManualClock(false);
}
