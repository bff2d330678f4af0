// Copying selected library rows to the decks' playlists, and deleting the
// selected songs: their files to the trash, their rows out of the library,
// the index written again.
#include "LibraryTestEnv.h"

#include "platform/OwnFiles.h"
#include "platform/Paths.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;
using namespace djvp::ui;

class CopyDeleteTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Create(true);
    ASSERT_EQ(Library().RowCount(), 10);
  }
  fs::path TrashFiles() const { return fs::path(djvp::DataFolder().toStdString()).parent_path() / "Trash" / "files"; }
  fs::path SongPath(int32_t row) { return Library().TextAt(row, kFilename).toStdString(); }
};

TEST_F(CopyDeleteTest, SelectedRowsGoWholeToTheEndOfEitherDeck) {
  Deck(0).SetTextAt(Deck(0).AddRow(), kArtist, QStringLiteral("Already There"));
  // Nothing selected: nothing is copied.
  form->cmdSearch[0].click();
  EXPECT_EQ(Deck(0).RowCount(), 1);

  const auto library = GridRows(Library());
  Select(Library(), {9, 2, 5});
  form->cmdSearch[0].click();  // "Copy to Player 1"
  form->mnuCopy2.click();      // the popup menu's "Copy to Player 2"
  form->mnuCopy1.click();      // the menu does what the button does
  ASSERT_EQ(Deck(0).RowCount(), 7);
  ASSERT_EQ(Deck(1).RowCount(), 3);
  EXPECT_EQ(Deck(0).TextAt(1, kArtist), QStringLiteral("Already There"));
  const int32_t order[3] = {2, 5, 9};
  for (int k = 0; k < 3; ++k) {
    // All thirteen cells, the hidden ones too, of the same kind.
    const auto& row = library[static_cast<size_t>(order[k] - 1)];
    EXPECT_EQ(RowValues(Deck(0), 2 + k), row);
    EXPECT_EQ(RowValues(Deck(0), 5 + k), row);
    EXPECT_EQ(RowValues(Deck(1), 1 + k), row);
  }
  EXPECT_FALSE(Deck(0).ColumnVisible(kFilename));
  EXPECT_EQ(Deck(1).TextAt(3, kEndMixPoint), QStringLiteral("08.80 sec"));
  EXPECT_EQ(Deck(1).CellValue(1, kFreq).metaType().id(), QMetaType::Int);
  // The library and its selection stay as they were.
  EXPECT_EQ(GridRows(Library()), library);
  EXPECT_EQ(Library().SelectionCount(), 3);
  EXPECT_TRUE(env.messages.empty());
}

TEST_F(CopyDeleteTest, DeletingRowsTwoFiveAndNineTrashesTheirFilesAndRewritesTheIndex) {
  auto rows = GridRows(Library());
  const fs::path songs[3] = {SongPath(2), SongPath(5), SongPath(9)};
  std::vector<std::vector<unsigned char>> bytes;
  for (const fs::path& p : songs) bytes.push_back(TempDir::Read(p.string()));
  Select(Library(), {2, 5, 9});
  form->mnuDelete.click();

  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(songs[k].string());
    EXPECT_FALSE(fs::exists(songs[k]));
    // In the trash, whole, with the note of where it came from.
    EXPECT_EQ(TempDir::Read((TrashFiles() / songs[k].filename()).string()), bytes[static_cast<size_t>(k)]);
    const auto info = TempDir::Read((TrashFiles().parent_path() / "info" / (songs[k].filename().string() + ".trashinfo")).string());
    EXPECT_NE(std::string(info.begin(), info.end()).find("Path="), std::string::npos);
  }
  for (int r : {9, 5, 2}) rows.erase(rows.begin() + (r - 1));
  EXPECT_EQ(GridRows(Library()), rows);
  EXPECT_EQ(IndexRows(), rows);
  EXPECT_TRUE(env.messages.empty());
  for (int32_t r = 1; r <= Library().RowCount(); ++r) EXPECT_TRUE(fs::exists(SongPath(r)));

  // Nothing selected: nothing happens.
  Library().SetCurrentRow(0);
  form->mnuDelete.click();
  EXPECT_EQ(Library().RowCount(), 7);
}

TEST_F(CopyDeleteTest, AFileAlreadyGoneLosesItsRowAFileThatCannotGoKeepsIt) {
  // Row 3's song was removed outside the program; row 6 names a folder,
  // which is never removed.
  const fs::path gone = SongPath(3);
  fs::remove(gone);
  Library().SetTextAt(6, kFilename, Q(Tree() / "Club"));
  const auto row6 = RowValues(Library(), 6);
  const fs::path kept = SongPath(7);
  Select(Library(), {3, 6, 7});
  form->mnuDelete.click();

  EXPECT_EQ(Library().RowCount(), 8);
  EXPECT_EQ(RowValues(Library(), 5), row6);
  EXPECT_TRUE(fs::is_directory(Tree() / "Club" / "Deeper"));
  EXPECT_FALSE(fs::exists(kept));
  EXPECT_FALSE(fs::exists(TrashFiles() / gone.filename()));
  EXPECT_EQ(IndexRows(), GridRows(Library()));
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0], QStringLiteral("These files could not be removed; their songs stay in the library:\n") +
                                 Q(Tree() / "Club") + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(EISDIR)));
}

TEST_F(CopyDeleteTest, ASongFileThatMayNotBeRemovedKeepsItsRowAndIsNamed) {
  // The immutable attribute makes both the move to the trash and the
  // deletion fail, as a file on a read-only mount would.
  const fs::path song = SongPath(5);
  int status = 0;
  RunCommand("chattr +i '" + song.string() + "' 2>/dev/null", &status);
  if (status != 0) GTEST_SKIP() << "the immutable attribute cannot be set here";
  const auto row5 = RowValues(Library(), 5);
  Select(Library(), {4, 5});
  form->mnuDelete.click();
  RunCommand("chattr -i '" + song.string() + "'");

  EXPECT_EQ(Library().RowCount(), 9);
  EXPECT_EQ(RowValues(Library(), 4), row5) << "the song that stays moves up one row";
  EXPECT_TRUE(fs::exists(song));
  EXPECT_EQ(IndexRows(), GridRows(Library()));
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0], QStringLiteral("These files could not be removed; their songs stay in the library:\n") +
                                 Q(song) + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(EPERM)));
}

TEST_F(CopyDeleteTest, WithoutATrashTheFileIsDeleted) {
  // The trash folder cannot be made: a file stands in its place.
  fs::create_directories(TrashFiles().parent_path().parent_path());
  TempDir::Write(TrashFiles().parent_path().string(), "not a folder");
  const fs::path song = SongPath(4);
  // Nothing lands in the current folder either (where Qt would make a trash).
  TempDir here;
  const fs::path before = fs::current_path();
  fs::current_path(here.path());
  Select(Library(), {4});
  form->mnuDelete.click();
  fs::current_path(before);
  EXPECT_FALSE(fs::exists(song));
  EXPECT_TRUE(fs::is_empty(here.path()));
  EXPECT_EQ(Library().RowCount(), 9);
  EXPECT_TRUE(env.messages.empty());
}

// A song whose name is not UTF-8 cannot go to the trash through Qt's calls,
// which see another name: it keeps its file and its row, and is named.
TEST_F(CopyDeleteTest, ASongWhoseNameIsNotUtf8IsNotTakenForGone) {
  const std::string latin1 = (Tree() / "caf\xe9.mp3").string();
  fs::copy_file(SongPath(5), latin1);
  Library().SetTextAt(5, kFilename, djvp::FileNameText(QByteArray::fromStdString(latin1)));
  Select(Library(), {5});
  form->mnuDelete.click();
  EXPECT_TRUE(fs::exists(latin1));
  EXPECT_EQ(Library().RowCount(), 10);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(env.messages[0].contains(QStringLiteral("not UTF-8"))) << env.messages[0].toStdString();
}
