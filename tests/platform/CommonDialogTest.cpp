#include "TempDir.h"
#include "platform/CommonDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <optional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

using namespace djvp;

namespace {

// Answers every file dialog with a prepared answer and keeps the requests.
class FileDialogScript {
 public:
  explicit FileDialogScript(std::optional<FileDialogAnswer> answer) : answer_(std::move(answer)) {
    old_ = clsCommonDialog::SetDialogHook([this](const FileDialogRequest& r) {
      requests.push_back(r);
      return answer_;
    });
  }
  ~FileDialogScript() { clsCommonDialog::SetDialogHook(std::move(old_)); }
  std::vector<FileDialogRequest> requests;

 private:
  std::optional<FileDialogAnswer> answer_;
  FileDialogHook old_;
};

struct OpenArgs {
  QString filename, title;
  bool mustExist = true, multi = false, readOnly = false, hideReadOnly = false;
  QString filter = "Music|*.mp3;*.ogg|Playlists|*.vpl";
  int32_t filterIndex = 1;
  QString initDir = "/music", dlgTitle = "Open", defaultExt;
  int32_t owner = -1, flags = 0;

  bool Open(clsCommonDialog& d) {
    return d.VBGetOpenFileName(filename, title, mustExist, multi, readOnly, hideReadOnly, filter, filterIndex,
                               initDir, dlgTitle, defaultExt, owner, flags);
  }
};

const QChar kZero(0);

}  // namespace

TEST(CommonDialog, OpenReturnsTheChosenFileAndFilterEntry) {
  FileDialogAnswer answer;
  answer.files = {"/music/sets/list.vpl"};
  answer.filterIndex = 2;
  FileDialogScript script(answer);
  clsCommonDialog dialog;
  OpenArgs a;
  a.filename = "*.*";
  a.readOnly = true;
  a.hideReadOnly = true;
  a.flags = 0x20 | 0x40 | 0x80000;  // hook and template bits are dropped
  ASSERT_TRUE(a.Open(dialog));

  ASSERT_EQ(script.requests.size(), 1u);
  const FileDialogRequest& r = script.requests[0];
  EXPECT_FALSE(r.save);
  EXPECT_EQ(r.descriptions, QStringList({"Music", "Playlists"}));
  EXPECT_EQ(r.patterns, QStringList({"*.mp3;*.ogg", "*.vpl"}));
  EXPECT_EQ(r.fileName, "*.*");
  EXPECT_EQ(r.initDir, "/music");
  EXPECT_EQ(r.title, "Open");
  EXPECT_EQ(r.filterIndex, 1);
  EXPECT_EQ(r.flags, 0x1000 | 0x1 | 0x4 | 0x80000);

  EXPECT_EQ(a.filename, "/music/sets/list.vpl");
  EXPECT_EQ(a.title, "list.vpl");
  EXPECT_EQ(a.filterIndex, 2);
  EXPECT_EQ(a.filter, QString("Playlists") + kZero + "*.vpl");
  EXPECT_EQ(a.flags, 0x1000 | 0x4 | 0x80000);  // the read-only flag came back clear
  EXPECT_FALSE(a.readOnly);
  EXPECT_EQ(dialog.APIReturn(), 1);
  EXPECT_EQ(dialog.ExtendedError(), 0);
}

TEST(CommonDialog, CancelClearsTheOutputs) {
  FileDialogScript script(std::nullopt);
  clsCommonDialog dialog;
  OpenArgs a;
  a.filename = "/music/x.mp3";
  a.title = "x.mp3";
  a.flags = 0x1000;
  EXPECT_FALSE(a.Open(dialog));
  EXPECT_EQ(a.filename, "");
  EXPECT_EQ(a.title, "");
  EXPECT_EQ(a.filter, "");
  EXPECT_EQ(a.flags, 0);
  EXPECT_EQ(a.filterIndex, -1);
  EXPECT_EQ(dialog.APIReturn(), 0);

  QString file = "list", title, filter = "Playlist|*.vpl", init, dlgTitle = "Save", ext = "vpl";
  bool overwrite = true;
  int32_t index = 1, owner = -1, flags = 0;
  EXPECT_FALSE(dialog.VBGetSaveFileName(file, title, overwrite, filter, index, init, dlgTitle, ext, owner, flags));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(file, "");
  EXPECT_EQ(filter, "");
}

TEST(CommonDialog, SaveAsksForOverwriteAndHidesTheReadOnlyBox) {
  FileDialogAnswer answer;
  answer.files = {"/data/deck1.vpl"};
  FileDialogScript script(answer);
  clsCommonDialog dialog;
  for (bool overwrite : {true, false}) {
    QString file, title, filter = "Playlist (*.vpl)|*.vpl", init, dlgTitle = "Save", ext = "vpl";
    int32_t index = 1, owner = -1, flags = 0x40;
    ASSERT_TRUE(dialog.VBGetSaveFileName(file, title, overwrite, filter, index, init, dlgTitle, ext, owner, flags));
    EXPECT_TRUE(script.requests.back().save);
    EXPECT_EQ(script.requests.back().defaultExt, "vpl");
    EXPECT_EQ(script.requests.back().flags, (overwrite ? 0x2 : 0) | 0x4);
    EXPECT_EQ(flags, (overwrite ? 0x2 : 0) | 0x4);
    EXPECT_EQ(file, "/data/deck1.vpl");
    EXPECT_EQ(title, "deck1.vpl");
    EXPECT_EQ(filter, QString("Playlist (*.vpl)") + kZero + "*.vpl");
  }
}

TEST(CommonDialog, MultiSelectGivesTheFolderAndEveryFile) {
  FileDialogAnswer answer;
  answer.files = {"/music/a.mp3", "/music/b.ogg"};
  FileDialogScript script(answer);
  clsCommonDialog dialog;
  OpenArgs a;
  a.multi = true;
  ASSERT_TRUE(a.Open(dialog));
  EXPECT_EQ(script.requests[0].flags & 0x200, 0x200);
  EXPECT_EQ(a.filename, "/music");
  EXPECT_EQ(dialog.SelectedFiles(), answer.files);
}

TEST(CommonDialog, FilterTokensAndSplitting) {
  struct Case {
    QString filter;
    int n;
    QString token;
  } cases[] = {
      {"Music|*.mp3|All|*.*", 1, QString("Music") + kZero + "*.mp3"},
      {"Music|*.mp3|All|*.*", 2, QString("All") + kZero + "*.*"},
      {"Music|*.mp3|All|*.*", 3, ""},
      {"Music|*.mp3|All|*.*", 0, ""},
      {"Music:*.mp3|All:*.*|", 2, QString("All") + kZero + "*.*"},  // ":" separates like "|"
      {"Orphan", 1, ""},
      {"", 1, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(clsCommonDialog::GetToken(c.filter, c.n), c.token) << c.filter.toStdString() << " " << c.n;
}

TEST(CommonDialog, FileTitles) {
  clsCommonDialog dialog;
  EXPECT_EQ(dialog.VBGetFileTitle("/music/song.mp3"), "song.mp3");
  EXPECT_EQ(dialog.VBGetFileTitle("song.mp3"), "song.mp3");
  EXPECT_EQ(dialog.VBGetFileTitle("/music/"), "");
  EXPECT_EQ(dialog.VBGetFileTitle("/music/*.mp3"), "");
  EXPECT_EQ(dialog.VBGetFileTitle(""), "");
}

TEST(CommonDialog, ColoursAndCustomColours) {
  clsCommonDialog dialog;
  for (int16_t i : {int16_t(-1), int16_t(16), int16_t(100)}) {
    dialog.CustomColor(i, 0x123456);
    EXPECT_EQ(dialog.CustomColor(i), -1);
  }
  EXPECT_EQ(dialog.CustomColor(15), 0);  // black at creation
  dialog.CustomColor(3, 0x0000FF);       // red as 0x00BBGGRR

  QColor seenInitial, seenCustom3;
  auto old = clsCommonDialog::SetColorDialogHook([&](const QColor& initial, int32_t, QColor custom[16]) {
    seenInitial = initial;
    seenCustom3 = custom[3];
    custom[4] = QColor(0, 255, 0);
    return std::optional<QColor>(QColor(0x10, 0x20, 0x30));
  });
  int32_t colour = 0xFF0000;  // blue
  bool any = true, full = false, disable = false;
  int32_t owner = -1;
  EXPECT_TRUE(dialog.VBChooseColor(colour, any, full, disable, owner));
  EXPECT_EQ(seenInitial, QColor(0, 0, 255));
  EXPECT_EQ(seenCustom3, QColor(255, 0, 0));
  EXPECT_EQ(colour, 0x302010);
  EXPECT_EQ(dialog.CustomColor(4), 0x00FF00);

  clsCommonDialog::SetColorDialogHook([](const QColor&, int32_t, QColor*) { return std::optional<QColor>(); });
  EXPECT_FALSE(dialog.VBChooseColor(colour, any, full, disable, owner));
  EXPECT_EQ(colour, -1);
  clsCommonDialog::SetColorDialogHook(std::move(old));
}

TEST(CommonDialog, FontChoiceKeepsTheSizeLimits) {
  clsCommonDialog dialog;
  auto old = clsCommonDialog::SetFontDialogHook([](const QFont& initial, int32_t) {
    QFont f(initial);
    f.setPointSize(48);
    f.setItalic(true);
    return std::optional<QFont>(f);
  });
  QFont font("DejaVu Sans", 10);
  int32_t colour = 0, flags = 0;
  EXPECT_TRUE(dialog.VBChooseFont(font, 0, -1, colour, 6, 24, flags));
  EXPECT_EQ(font.pointSize(), 24);
  EXPECT_TRUE(font.italic());
  clsCommonDialog::SetFontDialogHook([](const QFont&, int32_t) { return std::optional<QFont>(); });
  QFont unchanged("DejaVu Sans", 10);
  EXPECT_FALSE(dialog.VBChooseFont(unchanged, 0, -1, colour, 0, 0, flags));
  EXPECT_EQ(unchanged.pointSize(), 10);
  clsCommonDialog::SetFontDialogHook(std::move(old));
}

// The real dialog, answered from inside its event loop as a user would.
TEST(CommonDialog, RealDialogsFilterWithoutCaseAndAddTheDefaultExtension) {
  TempDir dir;
  TempDir::Write(dir.file("SONG.MP3"), std::string("x"));
  TempDir::Write(dir.file("notes.txt"), std::string("x"));
  const QString base = QString::fromStdString(dir.path().string());

  QStringList shownFilters;
  QString typed;
  auto answer = [&](const QString& name) {
    QTimer::singleShot(0, [&, name] {
      auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      shownFilters = d->nameFilters();
      d->selectNameFilter(shownFilters.value(1));
      d->selectFile(name);
      static_cast<QDialog*>(d)->accept();
    });
  };

  clsCommonDialog dialog;
  OpenArgs a;
  a.initDir = base;
  a.filter = "Text|*.txt|Music|*.mp3;*.ogg";
  answer("SONG.MP3");
  ASSERT_TRUE(a.Open(dialog));
  EXPECT_EQ(a.filename, base + "/SONG.MP3");
  EXPECT_EQ(a.filterIndex, 2);
  ASSERT_EQ(shownFilters.size(), 2);
  // The upper-case file matches the lower-case mask.
  const QString musicFilter = shownFilters[1];
  const QString patterns = musicFilter.mid(musicFilter.indexOf('(') + 1).chopped(1);
  EXPECT_TRUE(QDir(base).entryList(patterns.split(' '), QDir::Files).contains("SONG.MP3")) << patterns.toStdString();
  EXPECT_FALSE(QDir(base).entryList(patterns.split(' '), QDir::Files).contains("notes.txt"));

  QString file, title, filter = "Playlist|*.vpl|All files|*.*", init = base, dlgTitle = "Save", ext = "vpl";
  bool overwrite = true;
  int32_t index = 1, owner = -1, flags = 0;
  answer(base + "/deck1");
  ASSERT_TRUE(dialog.VBGetSaveFileName(file, title, overwrite, filter, index, init, dlgTitle, ext, owner, flags));
  EXPECT_EQ(file, base + "/deck1.vpl");
  EXPECT_EQ(index, 2);
}
