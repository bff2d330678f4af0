// The tag editor window: opened modally from the library's popup menu over
// the main window (whose skin it takes), laid out as designed, its widgets
// bound both ways to the editor's controls (tabs, boxes, editable item
// lists, the cover), its texts in Dutch, and its buttons closing it.
#include "RunCommand.h"
#include "WindowTestEnv.h"

#include "app/frmTags.h"
#include "platform/Grid.h"
#include "platform/SkinEngine.h"
#include "sonavex/Dispids.h"
#include "tageditor/TagEditor.h"
#include "ui/TrackColumns.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class TagEditorWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString library = QCoreApplication::applicationDirPath() + "/libSonavex2.so";
    if (!QFile::exists(library)) GTEST_SKIP() << "libSonavex2.so is not built";
    ASSERT_TRUE(QFile::copy(library, env.program + "/libSonavex2.so"));
    w = env.Open();
  }

  // A copy of a playlists fixture, tagged by mutagen with `script` (the file
  // is `f`), as the library's current row.
  QString Song(const char* fixture, const std::string& name, const std::string& script = {}) {
    const fs::path to = work.path() / name;
    fs::copy_file(std::string(DJVP_TEST_FIXTURES "/playlists/") + fixture, to);
    if (!script.empty()) {
      TempDir::Write(work.file("tag.py"), "import sys\nf = sys.argv[1]\n" + script);
      int status = 0;
      const std::string out = RunCommand("/usr/bin/python3 '" + work.file("tag.py") + "' '" + to.string() + "' 2>&1", &status);
      EXPECT_EQ(status, 0) << out;
    }
    const QString path = QString::fromStdString(to.string());
    djvp::Grid& g = *w->State().DummyPlaylist;
    const int32_t row = g.AddRow();
    g.SetTextAt(row, djvp::ui::kFilename, path);
    g.SetCurrentRow(row);
    return path;
  }

  // A window over an editor loaded with the song, shown without a modal
  // loop; its Unload hides it.
  struct Open {
    std::unique_ptr<tageditor::TagEditorState> ed;
    std::unique_ptr<djvp::frmTags> window;
  };
  Open Show(const QString& path) {
    Open o;
    o.ed = std::make_unique<tageditor::TagEditorState>(w->State());
    tageditor::ConnectEditor(*o.ed);
    EXPECT_TRUE(tageditor::LoadSong(*o.ed, path));
    o.window = std::make_unique<djvp::frmTags>(*o.ed, w.get());
    o.window->show();
    return o;
  }

  template <typename T>
  static T* Box(djvp::frmTags& t, const char* name) {
    T* box = qobject_cast<T*>(t.view.boxes.at(name));
    EXPECT_TRUE(box) << name;
    return box;
  }
  // Types text as the user does; a line feed is the Enter key.
  static void Type(QWidget* edit, const QString& text) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &enter);
      }
      if (lines[i].isEmpty()) continue;
      QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, lines[i]);
      QCoreApplication::sendEvent(edit, &key);
    }
  }

  TempDir work;
  WindowTestEnv env;
  std::unique_ptr<djvp::frmMain> w;
};

const char* const kId3v2 = R"PY(
from mutagen.id3 import ID3, TPE1, TIT2, COMM, USLT, APIC
t = ID3()
t.add(TPE1(encoding=1, text="Window Artist"))
t.add(TIT2(encoding=1, text="Window Title"))
t.add(COMM(encoding=1, lang="eng", desc="", text="a comment"))
t.add(USLT(encoding=1, lang="eng", desc="one", text="first"))
t.add(USLT(encoding=1, lang="deu", desc="two", text="zweite"))
t.add(APIC(encoding=1, mime="image/png", type=3, desc="", data=open(")PY" DJVP_TEST_FIXTURES R"PY(/id3v2/cover.png", "rb").read()))
t.save(f, v2_version=3)
)PY";

}  // namespace

TEST_F(TagEditorWindow, TheLibrarysMenuOpensTheModalEditorOverTheSkinnedMainWindowAndCancelClosesIt) {
  TempDir::Write(env.program.toStdString() + "/Skins/Tags.skf",
                 std::string("name=Tags\nQDialog#frmTags { background-color: #123456; }\n"));
  ASSERT_TRUE(w->skinEngine->LoadSkinFile(env.program + "/Skins/Tags.skf"));
  w->skinEngine->ApplySkin(w.get());
  const QString path = Song("tagged.mp3", "a.mp3", kId3v2);

  bool seen = false;
  QTimer::singleShot(0, w.get(), [&] {
    auto* t = qobject_cast<djvp::frmTags*>(QApplication::activeModalWidget());
    if (!t) return;
    seen = true;
    EXPECT_EQ(t->parentWidget(), w.get());
    EXPECT_TRUE(t->isModal());
    EXPECT_EQ(t->windowTitle(), "                   dj VORLAN Tag Editor");
    EXPECT_EQ(t->size(), QSize(500, 509));
    EXPECT_EQ(t->grab().toImage().pixelColor(3, 503), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(Box<QLineEdit>(*t, "txtArtist")->text(), "Window Artist");
    EXPECT_EQ(w->State().TagFileName, path);
    t->view.SSCommand[tageditor::kCancel]->click();
  });
  w->State().mnuTag.click();  // returns when the editor has closed
  EXPECT_TRUE(seen);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(TagEditorWindow, ThePagesBoxesAndButtonsStandWhereTheDesignPutsThem) {
  Open o = Show(Song("tagged.mp3", "a.mp3", kId3v2));
  djvp::frmTags& t = *o.window;
  EXPECT_EQ(t.view.TabBody->geometry(), QRect(8, 27, 485, 417));
  for (int i = 0; i < tageditor::kPages; ++i) {
    const bool overStrip = i == 6 || i == 7 || i == 11;
    const QSize size = i == 7 ? QSize(488, 456) : i >= 8 ? QSize(488, 410) : QSize(480, 410);
    EXPECT_EQ(t.view.Frame1[static_cast<size_t>(i)]->geometry(), QRect(overStrip ? QPoint(7, -4) : QPoint(9, 28), size)) << i;
  }
  EXPECT_EQ(Box<QLineEdit>(t, "txtArtist")->geometry(), QRect(113, 12, 360, 19));
  EXPECT_EQ(Box<QLineEdit>(t, "txtFileOwner")->geometry(), QRect(113, 12 + 25 * 15, 360, 19));
  EXPECT_EQ(t.view.SCLabel1[0]->geometry(), QRect(3, 15, 107, 14));
  EXPECT_EQ(t.view.SCLabel1[1]->geometry(), QRect(5, 40, 107, 14));
  EXPECT_EQ(Box<QLineEdit>(t, "txtCommercialURL")->geometry(), QRect(177, 18, 296, 22));
  EXPECT_EQ(Box<QLineEdit>(t, "txtPublisherURL")->geometry(), QRect(177, 18 + 30 * 7, 296, 22));
  EXPECT_EQ(t.view.Frame2->geometry(), QRect(5, 254, 470, 151));
  EXPECT_EQ(Box<QPlainTextEdit>(t, "Text12")->geometry(), QRect(113, 12 + 25 * 7, 360, 214));
  EXPECT_EQ(Box<QPlainTextEdit>(t, "Text25")->geometry(), QRect(113, 410, 360, 42));
  EXPECT_EQ(Box<QPlainTextEdit>(t, "Text64")->geometry(), QRect(113, 62, 360, 169));
  EXPECT_EQ(Box<QPlainTextEdit>(t, "Text61")->geometry(), QRect(113, 237, 360, 165));
  EXPECT_EQ(Box<QPlainTextEdit>(t, "txtCommentComments")->geometry(), QRect(8, 71, 445, 143));
  EXPECT_EQ(t.view.img->geometry(), QRect(22, 47, 317, 317));
  EXPECT_EQ(t.view.SSCommand[tageditor::kLoadImage]->geometry(), QRect(350, 160, 108, 36));
  EXPECT_EQ(t.view.SSCommand[tageditor::kCancel]->geometry(), QRect(9, 456, 104, 40));
  EXPECT_EQ(t.view.SSCommand[tageditor::kDeleteTag]->geometry(), QRect(264, 456, 104, 40));
  EXPECT_EQ(t.view.SSCommand[tageditor::kSaveTag]->geometry(), QRect(390, 456, 104, 40));
  EXPECT_EQ(t.view.SSCommand[tageditor::kSaveLyric]->geometry().top(), 358);
  EXPECT_EQ(t.view.SSCommand[tageditor::kSaveComment]->geometry().top(), 356);
  EXPECT_TRUE(t.view.SSCommand[tageditor::kSaveTag]->font().bold());
  EXPECT_FALSE(t.view.SCLabel1[0]->font().bold());
  // Every box, label and button of the page that shows stays inside it.
  for (QWidget* child : t.view.Frame1[0]->findChildren<QWidget*>())
    EXPECT_TRUE(t.view.Frame1[0]->rect().contains(child->geometry())) << child->objectName().toStdString();
  // Moving the window's size places the pages again at the same points.
  t.resize(700, 700);
  t.Form_Resize();
  EXPECT_EQ(t.view.Frame1[6]->pos(), QPoint(7, -4));
  EXPECT_EQ(t.view.Frame1[9]->pos(), QPoint(9, 28));
}

// The multi-line boxes without scroll bars show whole lines, none cut
// through at the bottom.
TEST_F(TagEditorWindow, TallBoxesShowWholeLines) {
  Open o = Show(Song("song.flac", "a.flac"));
  for (const char* name : {"Text12", "Text25", "Text64", "Text61"}) {
    SCOPED_TRACE(name);
    auto* box = Box<QPlainTextEdit>(*o.window, name);
    box->parentWidget()->show();  // its page
    QCoreApplication::processEvents();
    const int line = box->fontMetrics().lineSpacing();
    const int shown = box->viewport()->height() - static_cast<int>(box->document()->documentMargin());
    EXPECT_EQ(shown % line, 0) << shown;
    EXPECT_GE(shown / line, 2);
  }
}

TEST_F(TagEditorWindow, TabsBoxesAndItemListsWorkBothWays) {
  Open o = Show(Song("tagged.mp3", "a.mp3", kId3v2));
  djvp::frmTags& t = *o.window;
  tageditor::TagEditorState& ed = *o.ed;
  ASSERT_EQ(t.view.TabStrip1->count(), 6);
  EXPECT_EQ(t.view.TabStrip1->tabText(4), "Lyrics");
  EXPECT_TRUE(t.view.Frame1[0]->isVisible());
  t.view.TabStrip1->setCurrentIndex(4);  // as a click on the tab does
  EXPECT_TRUE(ed.Frame1[tageditor::kLyricsPage].isVisible());
  EXPECT_TRUE(t.view.Frame1[4]->isVisible());
  EXPECT_FALSE(t.view.Frame1[0]->isVisible());

  // The item list: its entries, the chosen one's fields, the edit field.
  QComboBox* songs = t.view.cboIDSong;
  EXPECT_TRUE(songs->isEditable());
  EXPECT_EQ(songs->count(), 2);
  EXPECT_EQ(songs->currentText(), "1");
  songs->setCurrentIndex(1);
  emit songs->activated(1);
  EXPECT_EQ(ed.cboIDSong.text(), "2");
  EXPECT_EQ(Box<QPlainTextEdit>(t, "txtSong")->toPlainText(), ed.txtSong.text());
  songs->lineEdit()->selectAll();
  Type(songs->lineEdit(), "3");
  EXPECT_EQ(ed.cboIDSong.text(), "3");

  // Typing into a box reaches its control; the control's text reaches the box.
  QLineEdit* artist = Box<QLineEdit>(t, "txtArtist");
  artist->selectAll();
  Type(artist, "Typed");
  EXPECT_EQ(ed.txtArtist.text(), "Typed");
  ed.txtTitle.setText("Set by code");
  EXPECT_EQ(Box<QLineEdit>(t, "txtTitle")->text(), "Set by code");
  EXPECT_EQ(artist->maxLength(), INT_MAX);

  // The cover shows the tag's picture.
  ASSERT_FALSE(t.view.img->pixmap().isNull());
  // Its two buttons have no function.
  EXPECT_FALSE(t.view.SSCommand[tageditor::kLoadImage]->isEnabled());
}

TEST_F(TagEditorWindow, ACommentTypedInTheWindowKeepsItsCrLfLineEndsInTheFile) {
  const QString path = Song("song.flac", "b.flac");  // COMMENT "BPM\r\n128.0\r\nPEA\r\n95.3"
  Open o = Show(path);
  djvp::frmTags& t = *o.window;
  QPlainTextEdit* comment = Box<QPlainTextEdit>(t, "Text25");
  EXPECT_EQ(comment->toPlainText(), "BPM\n128.0\nPEA\n95.3");
  comment->moveCursor(QTextCursor::End);
  Type(comment, "\nSMP");
  Type(comment, "\n");
  Type(comment, "01.00 sec");
  t.view.SSCommand[tageditor::kSaveTag]->click();
  EXPECT_TRUE(t.isHidden());
  const std::string out =
      RunCommand("/usr/bin/python3 -c \"import sys; from mutagen.flac import FLAC; sys.stdout.write(repr(FLAC(sys.argv[1])['COMMENT'][0]))\" '" +
                 path.toStdString() + "'");
  EXPECT_EQ(out, "'BPM\\r\\n128.0\\r\\nPEA\\r\\n95.3\\r\\nSMP\\r\\n01.00 sec'");
  EXPECT_EQ(w->State().DummyPlaylist->TextAt(1, djvp::ui::kArtist), "Flac Artist");
}

TEST_F(TagEditorWindow, TheTextsAreDutchWithTheDutchInterfaceButTheCaptionAndWmaLabels) {
  djvp::LangOffset = 1000;
  {
    Open o = Show(Song("tagged.mp3", "a.mp3", kId3v2));
    djvp::frmTags& t = *o.window;
    EXPECT_EQ(t.windowTitle(), "                   dj VORLAN Tag Editor");
    EXPECT_EQ(t.view.SSCommand[tageditor::kCancel]->text(), "Annuleer");
    EXPECT_EQ(t.view.SSCommand[tageditor::kSaveTag]->text(), "Tag Opslaan");
    EXPECT_EQ(t.view.SSCommand[tageditor::kDeleteAllComments]->text(), "Alle Commentaar Verwijderen");
    EXPECT_EQ(t.view.TabStrip1->tabText(0), "Gemeenschappelijk");
    // The six tabs fit the strip's width.
    EXPECT_LE(t.view.TabStrip1->tabRect(5).right(), t.view.TabStrip1->width());
    EXPECT_EQ(t.view.SCLabel1[15]->text(), "Eigenaar Bestand");
    // Every caption fits its button, on two lines where it must.
    for (djvp::WrappingButton* b : t.view.SSCommand) {
      if (!b) continue;
      const QRect room = b->rect().adjusted(4, 2, -4, -2);
      EXPECT_TRUE(room.contains(QFontMetrics(b->TextFont()).boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, b->text())))
          << b->text().toStdString();
    }
    EXPECT_EQ(t.view.SSCommand[tageditor::kCancel]->TextFont().pointSizeF(), 8.25);
  }
  Open o = Show(Song("song.wma", "c.wma"));
  EXPECT_EQ(o.window->view.TabStrip1->tabText(1), "Pagina 2");
  EXPECT_EQ(o.window->view.SCLabel1[64]->text(), "Artist");
}
