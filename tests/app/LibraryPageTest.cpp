// The music library through the window's widgets: the settings page's
// library group (folder button, options, "Create", help), the library that
// comes back at the next start, the column drag and the search box in the
// Dutch interface, and the popup menu on the library grid.
#include "WindowTestEnv.h"

#include "platform/BrowseForFolder.h"
#include "platform/Grid.h"
#include "ui/TrackColumns.h"

#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace djvp::ui;

namespace {

class LibraryPage : public ::testing::Test {
 protected:
  LibraryPage() : home_("HOME", work.path().string()) {}
  void SetUp() override {
    const QString library = QCoreApplication::applicationDirPath() + "/libSonavex2.so";
    if (!QFile::exists(library)) GTEST_SKIP() << "libSonavex2.so is not built";
    ASSERT_TRUE(QFile::copy(library, env.program + "/libSonavex2.so"));
    for (const auto& [from, to] : {std::pair{"tagged.mp3", "a.mp3"}, std::pair{"song.flac", "Sub/b.flac"},
                                   std::pair{"song.ogg", "c.ogg"}}) {
      fs::create_directories((Tree() / to).parent_path());
      fs::copy_file(std::string(DJVP_TEST_FIXTURES "/playlists/") + from, Tree() / to);
    }
  }
  void TearDown() override { djvp::clsBrowseForFolder::SetDialogHook({}); }

  fs::path Tree() const { return work.path() / "music"; }
  static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }
  // Types text into a line edit as the user does.
  static void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QCoreApplication::sendEvent(edit, &key);
  }
  static void RightClick(djvp::Grid& g, int32_t row) {
    QTableView* view = g.View();
    const QPoint at = view->visualRect(view->model()->index(row - 1, 0)).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, at, view->viewport()->mapToGlobal(at), Qt::RightButton,
                    type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(view->viewport(), &e);
    }
  }

  TempDir work;
  WindowTestEnv env;

 private:
  ScopedEnv home_;
};

TEST_F(LibraryPage, TheSettingsGroupBuildsTheLibraryAndTheNextStartShowsItAgain) {
  auto w = env.Open();
  ASSERT_TRUE(w->view.cmdSettings[4]);
  EXPECT_EQ(w->view.cmdSettings[4]->text(), "? Help");
  EXPECT_EQ(w->view.cmdSettings[0]->text(), "Create");
  EXPECT_FALSE(w->view.cmdSettings[1]->icon().isNull());
  djvp::clsBrowseForFolder::SetDialogHook(
      [this](const djvp::FolderDialogRequest&, djvp::FolderDialogDriver&) { return std::optional<QString>(Q(Tree())); });
  w->view.cmdSettings[1]->click();
  EXPECT_EQ(w->view.txtSettings[0]->text(), Q(Tree()));
  EXPECT_EQ(w->view.txtSettings[0]->toolTip(), Q(Tree()));
  w->view.optSettings[1]->click();
  EXPECT_TRUE(w->State().optSettings[1].isChecked());
  EXPECT_FALSE(w->State().optSettings[0].isChecked());
  w->view.cmdSettings[0]->click();
  djvp::Grid& library = *w->State().DummyPlaylist;
  ASSERT_EQ(library.RowCount(), 3);
  EXPECT_EQ(library.TextAt(1, kTitle), "Tagged Title");
  EXPECT_TRUE(w->view.Frame11->isHidden());
  // A folder typed into the box is what "Create" takes; "Add" keeps the rows.
  Type(w->view.txtSettings[0], Q(Tree() / "Sub"));
  w->view.optSettings[0]->click();
  w->view.cmdSettings[0]->click();
  ASSERT_EQ(library.RowCount(), 4);
  EXPECT_EQ(library.TextAt(4, kTitle), "Flac Title");

  w->view.cmdSettings[4]->click();
  ASSERT_EQ(env.helpPages.size(), 1u);
  EXPECT_TRUE(env.helpPages[0].toString().endsWith("/help/en/introduction.htm"));

  // The next start: the same rows, and the chosen folder in the box.
  QStringList before;
  for (int32_t r = 1; r <= 4; ++r)
    for (int32_t c = 1; c <= kTrackColumnCount; ++c) before << library.TextAt(r, c);
  w.reset();
  w = env.Open();
  djvp::Grid& again = *w->State().DummyPlaylist;
  QStringList after;
  for (int32_t r = 1; r <= again.RowCount(); ++r)
    for (int32_t c = 1; c <= kTrackColumnCount; ++c) after << again.TextAt(r, c);
  EXPECT_EQ(after, before);
  EXPECT_EQ(w->view.txtSettings[0]->text(), Q(Tree()));
  EXPECT_TRUE(env.messages.empty());
}

TEST_F(LibraryPage, DutchColumnDragSearchBoxAndPopupMenu) {
  {
    auto w = env.Open();
    w->State().txtSettings[0].setText(Q(Tree()));
    w->State().optSettings[1].setChecked(true);
    w->State().cmdSettings[0].click();
  }
  auto w = env.Open();
  w->show();
  w->SelectListEntry(7, 1);
  djvp::Grid& library = *w->State().DummyPlaylist;
  ASSERT_EQ(library.RowCount(), 3);
  QHeaderView* header = library.View()->horizontalHeader();
  EXPECT_EQ(library.HeaderCaption(kTitle), "Titel");
  EXPECT_TRUE(header->sectionsMovable());

  // The titles are searched once "Titel" stands left-most.
  header->moveSection(header->visualIndex(kTitle - 1), 0);
  Type(w->view.Text1, QStringLiteral("flac t"));
  EXPECT_EQ(library.CurrentRow(), 3);
  EXPECT_EQ(w->State().Text1.text(), "flac t");

  // The right button on the selected row opens the menu, in Dutch; its copy
  // entry fills deck 1's playlist.
  RightClick(library, 3);
  EXPECT_TRUE(w->view.mnuTags->isVisible());
  EXPECT_EQ(w->view.mnuCopy1->text(), "Kopieer naar Speler 1");
  w->view.mnuTags->hide();
  w->view.mnuCopy1->trigger();
  ASSERT_EQ(w->State().PlayListView[0]->RowCount(), 1);
  EXPECT_EQ(w->State().PlayListView[0]->TextAt(1, kFilename), Q(Tree() / "Sub" / "b.flac"));

  // "Delete" removes the song's file and its row.
  w->view.mnuDelete->trigger();
  EXPECT_EQ(library.RowCount(), 2);
  EXPECT_FALSE(fs::exists(Tree() / "Sub" / "b.flac"));

  // A click on a header sorts by it, the next the other way.
  auto clickHeader = [&](int column) {
    const QPoint at(header->sectionViewportPosition(column - 1) + header->sectionSize(column - 1) / 2,
                    header->height() / 2);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, at, header->viewport()->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(header->viewport(), &e);
    }
  };
  clickHeader(kTitle);
  EXPECT_EQ(library.TextAt(1, kTitle), "Tagged Title");
  clickHeader(kTitle);
  EXPECT_EQ(library.TextAt(2, kTitle), "Tagged Title");
}

}  // namespace
