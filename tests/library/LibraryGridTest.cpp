// The library page's grid: header clicks that sort, the search column that
// follows a dragged column, the quick find, the popup menu and the refused
// cell edits; and the row-changing commands held back while songs are
// analysed.
#include "LibraryTestEnv.h"

#include "StringTable.h"
#include "library/LibraryGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

using namespace djvp::ui;

namespace {

const QStringList kArtistsAscending = {"anna bell", "bob Marley Tribute", "Carla Voss", "Dave Kern",
                                       "\xc3\x89mile Roux", "Eve Lune", "Fritz Kalk", "Mira Stone",
                                       "Oscar Wild", "Zed Alpha"};

QStringList Reversed(QStringList l) {
  std::reverse(l.begin(), l.end());
  return l;
}

}  // namespace

class LibraryGridTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Create(true);
    ASSERT_EQ(Library().RowCount(), 10);
    Library().resize(900, 400);
    Library().show();
    QApplication::processEvents();
  }

  void ClickHeader(int column) { emit Library().ColumnClick(column); }
  // Presses a mouse button on row `row` (0: below the last row).
  void Press(Qt::MouseButton button, int32_t row) {
    QTableView* view = Library().View();
    const QPoint at = row > 0 ? view->visualRect(view->model()->index(row - 1, 0)).center()
                              : QPoint(10, view->viewport()->height() - 5);
    QMouseEvent e(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at), button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &e);
    QMouseEvent up(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at), button, Qt::NoButton,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &up);
  }
};

TEST_F(LibraryGridTest, HeaderClicksSortEachColumnAscendingThenAlternately) {
  ClickHeader(kArtist);
  EXPECT_EQ(Column(Library(), kArtist), kArtistsAscending);
  ClickHeader(kArtist);
  EXPECT_EQ(Column(Library(), kArtist), Reversed(kArtistsAscending));
  ClickHeader(kArtist);
  EXPECT_EQ(Column(Library(), kArtist), kArtistsAscending);

  // A number column sorts by value; the artist's mark ("DESC") stays, so
  // the artist's next click sorts descending.
  ClickHeader(kBPM);
  EXPECT_EQ(Column(Library(), kBPM),
            (QStringList{"75.5", "90", "98", "101", "110", "122.0", "128", "132.5", "138", "140"}));
  ClickHeader(kArtist);
  EXPECT_EQ(Column(Library(), kArtist), Reversed(kArtistsAscending));

  // Every cell moves with its row; the index changes only at the next save.
  for (int32_t r = 1; r <= 10; ++r) {
    const auto& songs = TreeSongs();
    const auto song = std::find_if(songs.begin(), songs.end(), [&](const Song& s) {
      return QString::fromUtf8(s.artist) == Library().TextAt(r, kArtist);
    });
    ASSERT_NE(song, songs.end());
    EXPECT_EQ(Library().TextAt(r, kFilename), Q(Tree() / song->file));
    EXPECT_EQ(Library().TextAt(r, kGain), QString::fromUtf8(song->gain));
  }
  EXPECT_EQ(IndexRows().front()[0].toString(), QStringLiteral("Zed Alpha"));
}

TEST_F(LibraryGridTest, QuickFindSearchesTheLeftMostColumnAlsoAfterADragInTheDutchInterface) {
  djvp::LangOffset = 1000;
  SetTrackHeaders(Library());
  ASSERT_EQ(Library().HeaderCaption(kTitle), QStringLiteral("Titel"));

  // At first the artists: case and accents do not matter.
  form->Text1.setText(QStringLiteral("emi"));
  EXPECT_EQ(Library().CurrentRow(), 5);
  form->Text1.setText(QStringLiteral("MIRA"));
  EXPECT_EQ(Library().CurrentRow(), 4);
  // A title is no artist: nothing changes.
  form->Text1.setText(QStringLiteral("Caf"));
  EXPECT_EQ(Library().CurrentRow(), 4);
  EXPECT_EQ(Library().SelectionCount(), 1);

  // The user drags "Titel" to the left: the titles are searched.
  QHeaderView* header = Library().View()->horizontalHeader();
  header->moveSection(header->visualIndex(kTitle - 1), 0);
  EXPECT_EQ(Library().LeftMostColumn(), kTitle);
  EXPECT_EQ(Library().SearchColumn(), kTitle);
  form->Text1.setText(QString::fromUtf8("caf\xc3\xa9"));
  EXPECT_EQ(Library().CurrentRow(), 5);
  form->Text1.setText(QStringLiteral("Quiet"));
  EXPECT_EQ(Library().CurrentRow(), 9);
  form->Text1.setText(QStringLiteral("Zed"));  // an artist now finds nothing
  EXPECT_EQ(Library().CurrentRow(), 9);

  // Another column dragged further left takes over.
  header->moveSection(header->visualIndex(kGenre - 1), 0);
  form->Text1.setText(QStringLiteral("tech"));
  EXPECT_EQ(Library().CurrentRow(), 6);
  djvp::LangOffset = 0;
}

TEST_F(LibraryGridTest, TheRightButtonOnSelectedRowsShowsThePopupMenuAndNoCellIsEdited) {
  int shown = 0;
  const djvp::ui::Caption* menu = nullptr;
  form->PopupMenu = [&](const djvp::ui::Caption& m) {
    ++shown;
    menu = &m;
  };
  Press(Qt::RightButton, 0);  // nothing selected
  EXPECT_EQ(shown, 0);
  Press(Qt::LeftButton, 3);
  EXPECT_EQ(Library().SelectionCount(), 1);
  EXPECT_EQ(shown, 0);
  Press(Qt::RightButton, 3);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(menu, &form->mnuTags);

  // Even a grid that allows editing gets no editor from a typed key or F2.
  Library().SetEditable(true);
  for (const auto& [key, text] : {std::pair{Qt::Key_X, QStringLiteral("x")}, std::pair{Qt::Key_F2, QString()}}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(Library().View(), &press);
    EXPECT_TRUE(Library().View()->findChildren<QLineEdit*>().isEmpty());
  }
  EXPECT_EQ(Library().TextAt(3, kTitle), QStringLiteral("Atlas"));
}

TEST_F(LibraryGridTest, WhileSongsAreAnalysedSortDeleteAndCreateAreRefused) {
  const auto before = GridRows(Library());
  form->AnalysisRunning = true;
  Select(Library(), {2});
  ClickHeader(kArtist);
  form->mnuDelete.click();
  Create(true, Q(Tree() / "Lounge"));
  EXPECT_EQ(GridRows(Library()), before);
  EXPECT_EQ(IndexRows(), before);
  EXPECT_TRUE(std::filesystem::exists(Tree() / TreeSongs()[1].file));
  ASSERT_EQ(env.messages.size(), 3u);
  for (const QString& m : env.messages)
    EXPECT_EQ(m, QStringLiteral("Songs of the library are being analysed. Try again when the analysis has finished."));

  // Finding and copying change no row of the library and go on.
  form->Text1.setText(QStringLiteral("eve"));
  EXPECT_EQ(Library().CurrentRow(), 10);
  form->cmdSearch[0].click();
  EXPECT_EQ(Deck(0).RowCount(), 1);

  form->AnalysisRunning = false;
  ClickHeader(kArtist);
  EXPECT_EQ(Column(Library(), kArtist), kArtistsAscending);
}
