#include "TempDir.h"
#include "platform/CommonDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
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

namespace {

// The print dialog's arguments, as a caller holds them.
struct PrintArgs {
  int32_t hdc = 77, range = kPrintAllPages;
  bool disablePageNumbers = false;
  int32_t fromPage = 1, toPage = 10;
  bool disableSelection = true;
  int16_t copies = 2;
  bool showPrintToFile = true, disablePrintToFile = false, printToFile = true, collate = false, preventWarning = true;
  int32_t owner = -1, flags = 0x1000;  // a hook bit, dropped
  PrinterObject printer;

  bool Show(clsCommonDialog& d, bool withPrinter = true) {
    return d.VBPrintDlg(hdc, range, disablePageNumbers, fromPage, toPage, disableSelection, copies, showPrintToFile,
                        disablePrintToFile, printToFile, collate, preventWarning, owner,
                        withPrinter ? &printer : nullptr, flags);
  }
};

// The page-setup dialog's arguments.
struct PageArgs {
  int32_t owner = -1;
  bool disableMargins = false, disableOrientation = false, disablePaper = false, disablePrinter = false;
  int32_t left = 10, minLeft = 5, right = 12, minRight = 5, top = 15, minTop = 5, bottom = 20, minBottom = 5;
  int32_t paper = 0, orientation = 0, quality = 0, units = 1, flags = 0;
  PrinterObject printer;

  bool Show(clsCommonDialog& d) {
    return d.VBPageSetupDlg(owner, disableMargins, disableOrientation, disablePaper, disablePrinter, left, minLeft,
                            right, minRight, top, minTop, bottom, minBottom, paper, orientation, quality, units,
                            &printer, flags);
  }
};

template <typename Hook, typename Request, typename Answer>
class DialogScript {
 public:
  DialogScript(Hook (*set)(Hook), std::optional<Answer> answer) : set_(set) {
    old_ = set_([this, answer](const Request& r) {
      requests.push_back(r);
      return answer;
    });
  }
  ~DialogScript() { set_(std::move(old_)); }
  std::vector<Request> requests;

 private:
  Hook (*set_)(Hook);
  Hook old_;
};
using PrintScript = DialogScript<PrintDialogHook, PrintDialogRequest, PrintDialogAnswer>;
using PageScript = DialogScript<PageSetupDialogHook, PageSetupRequest, PageSetupAnswer>;

}  // namespace

TEST(CommonDialog, PrintDialogTakesTheArgumentsAndGivesTheChoices) {
  PrintDialogAnswer chosen;
  chosen.range = kPrintPageNumbers;
  chosen.fromPage = 2;
  chosen.toPage = 5;
  chosen.copies = 3;
  chosen.collate = true;
  chosen.printToFile = false;
  chosen.orientation = kOrientLandscape;
  chosen.paperSize = kPaperA3;
  chosen.printQuality = 600;
  PrintScript script(&clsCommonDialog::SetPrintDialogHook, chosen);
  clsCommonDialog dialog;
  PrintArgs a;
  ASSERT_TRUE(a.Show(dialog));

  ASSERT_EQ(script.requests.size(), 1u);
  const PrintDialogRequest& r = script.requests[0];
  EXPECT_EQ(r.range, kPrintAllPages);
  EXPECT_EQ(r.fromPage, 1);
  EXPECT_EQ(r.toPage, 10);
  EXPECT_EQ(r.copies, 2);
  EXPECT_TRUE(r.printToFile);
  EXPECT_EQ(r.flags, kPdNoSelection | kPdPrintToFile | kPdNoWarning | kPdReturnDc);

  EXPECT_EQ(a.hdc, 1);
  EXPECT_EQ(a.range, kPrintPageNumbers);
  EXPECT_EQ(a.fromPage, 2);
  EXPECT_EQ(a.toPage, 5);
  EXPECT_EQ(a.copies, 3);
  EXPECT_TRUE(a.collate);
  EXPECT_FALSE(a.printToFile);
  EXPECT_EQ(a.flags, kPdNoSelection | kPdPageNums | kPdCollate | kPdNoWarning | kPdReturnDc);
  EXPECT_EQ(a.printer.Copies, 3);
  EXPECT_EQ(a.printer.Orientation, kOrientLandscape);
  EXPECT_EQ(a.printer.PaperSize, kPaperA3);
  EXPECT_EQ(a.printer.PrintQuality, 600);
  EXPECT_EQ(dialog.APIReturn(), 1);
  // The class keeps the settings, and the printer to paint on has them.
  EXPECT_EQ(dialog.DevMode().copies, 3);
  EXPECT_TRUE(dialog.DevMode().collate);
  ASSERT_NE(dialog.PrintDevice(), nullptr);
  EXPECT_EQ(dialog.PrintDevice()->copyCount(), 3);
  EXPECT_EQ(dialog.PrintDevice()->pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_EQ(dialog.PrintDevice()->pageLayout().pageSize().id(), QPageSize::A3);
}

TEST(CommonDialog, PrintDialogChoicesTheCallerGreyedOutDoNotComeBack) {
  struct Case {
    bool disableSelection, disablePageNumbers, disablePrintToFile;
    int32_t answeredRange;
    int32_t range;       // what comes back
    bool printToFile;    // what comes back
  } cases[] = {
      {true, false, false, kPrintSelection, kPrintAllPages, true},
      {false, false, false, kPrintSelection, kPrintSelection, true},
      {false, true, false, kPrintPageNumbers, kPrintAllPages, true},
      {false, false, true, kPrintAllPages, kPrintAllPages, false},
  };
  for (const Case& c : cases) {
    PrintDialogAnswer chosen;
    chosen.range = c.answeredRange;
    chosen.printToFile = true;
    PrintScript script(&clsCommonDialog::SetPrintDialogHook, chosen);
    clsCommonDialog dialog;
    PrintArgs a;
    a.printToFile = false;
    a.disableSelection = c.disableSelection;
    a.disablePageNumbers = c.disablePageNumbers;
    a.disablePrintToFile = c.disablePrintToFile;
    ASSERT_TRUE(a.Show(dialog, false));
    EXPECT_EQ(a.range, c.range) << c.answeredRange;
    EXPECT_EQ(a.printToFile, c.printToFile) << c.answeredRange;
    EXPECT_EQ(a.fromPage, 1);  // not a page range: the pages stay
    EXPECT_EQ((script.requests[0].flags & kPdDisablePrintToFile) != 0, c.disablePrintToFile);
  }
}

TEST(CommonDialog, PageSetupInMillimetresOrInchesKeepsTheMinimums) {
  PageSetupAnswer chosen;
  chosen.left = 2540;    // 25.4 mm
  chosen.right = 300;    // below the minimum of 5 mm
  chosen.top = 1549;
  chosen.bottom = 2050;  // 20.5 mm rounds up
  chosen.paperSize = kPaperA5;
  chosen.orientation = kOrientLandscape;
  chosen.printQuality = 300;
  {
    PageScript script(&clsCommonDialog::SetPageSetupDialogHook, chosen);
    clsCommonDialog dialog;
    PageArgs a;
    a.flags = 0x2000;  // a hook bit, dropped
    ASSERT_TRUE(a.Show(dialog));
    const PageSetupRequest& r = script.requests[0];
    EXPECT_EQ(r.left, 1000);
    EXPECT_EQ(r.right, 1200);
    EXPECT_EQ(r.top, 1500);
    EXPECT_EQ(r.bottom, 2000);
    EXPECT_EQ(r.minLeft, 500);
    EXPECT_EQ(r.flags, kPsdMargins | kPsdMinMargins | kPsdInHundredthsOfMillimeters);
    EXPECT_EQ(a.left, 25);
    EXPECT_EQ(a.right, 5);
    EXPECT_EQ(a.top, 15);
    EXPECT_EQ(a.bottom, 21);
    EXPECT_EQ(a.paper, kPaperA5);
    EXPECT_EQ(a.orientation, kOrientLandscape);
    EXPECT_EQ(a.quality, 300);
    EXPECT_EQ(a.flags, r.flags);
    EXPECT_EQ(a.printer.PaperSize, kPaperA5);
    EXPECT_EQ(a.printer.Orientation, kOrientLandscape);
    EXPECT_EQ(a.printer.PrintQuality, 300);
    EXPECT_EQ(dialog.APIReturn(), 1);
  }
  // Whole inches, in thousandths; switched-off parts keep what came in.
  chosen.left = 1500;
  chosen.right = 1400;
  PageScript script(&clsCommonDialog::SetPageSetupDialogHook, chosen);
  clsCommonDialog dialog;
  PageArgs a;
  a.units = 0;
  a.left = a.right = a.top = a.bottom = 1;
  a.minLeft = a.minRight = a.minTop = a.minBottom = 0;
  ASSERT_TRUE(a.Show(dialog));
  EXPECT_EQ(script.requests[0].left, 1000);
  EXPECT_EQ(script.requests[0].flags & (kPsdInThousandthsOfInches | kPsdInHundredthsOfMillimeters),
            kPsdInThousandthsOfInches);
  EXPECT_EQ(a.left, 2);
  EXPECT_EQ(a.right, 1);
  a.disableMargins = a.disableOrientation = a.disablePaper = true;
  ASSERT_TRUE(a.Show(dialog));
  EXPECT_EQ(script.requests[1].flags & (kPsdDisableMargins | kPsdDisableOrientation | kPsdDisablePaper),
            kPsdDisableMargins | kPsdDisableOrientation | kPsdDisablePaper);
  EXPECT_EQ(a.left, 2);
  EXPECT_EQ(a.right, 1);
  EXPECT_EQ(a.orientation, kOrientPortrait);
  EXPECT_EQ(a.paper, kPaperA4);
}

TEST(CommonDialog, CancelledPrintAndPageSetupGiveFalseAndChangeNothing) {
  PrintScript print(&clsCommonDialog::SetPrintDialogHook, std::nullopt);
  PageScript page(&clsCommonDialog::SetPageSetupDialogHook, std::nullopt);
  clsCommonDialog dialog;
  PrintArgs p;
  EXPECT_FALSE(p.Show(dialog));
  EXPECT_EQ(p.hdc, 0);
  EXPECT_EQ(p.range, kPrintAllPages);
  EXPECT_EQ(p.copies, 2);
  EXPECT_EQ(p.flags, 0x1000);
  EXPECT_EQ(p.printer.Copies, PrinterObject().Copies);
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.PrintDevice(), nullptr);
  PageArgs g;
  EXPECT_FALSE(g.Show(dialog));
  EXPECT_EQ(g.left, 10);
  EXPECT_EQ(g.paper, 0);
  EXPECT_EQ(g.printer.PaperSize, PrinterObject().PaperSize);
  EXPECT_EQ(dialog.APIReturn(), 0);
}

// The real dialogs, answered from inside their event loops.
TEST(CommonDialog, RealPrintAndPageSetupDialogsOpenAndAnswer) {
  auto press = [](bool accept) {
    QTimer::singleShot(0, [accept] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      if (accept) {
        d->accept();
      } else {
        d->reject();
      }
    });
  };
  clsCommonDialog dialog;
  PrintArgs p;
  p.range = kPrintPageNumbers;
  p.fromPage = 2;
  p.toPage = 3;
  p.printToFile = false;
  press(true);
  ASSERT_TRUE(p.Show(dialog));
  EXPECT_EQ(p.hdc, 1);
  EXPECT_EQ(p.range, kPrintPageNumbers);
  EXPECT_EQ(p.fromPage, 2);
  EXPECT_EQ(p.toPage, 3);
  EXPECT_EQ(p.copies, 2);
  EXPECT_EQ(p.printer.Copies, 2);
  EXPECT_NE(dialog.PrintDevice(), nullptr);
  press(false);
  EXPECT_FALSE(p.Show(dialog));
  EXPECT_EQ(p.hdc, 0);

  PageArgs g;
  press(true);
  ASSERT_TRUE(g.Show(dialog));
  EXPECT_EQ(g.left, 10);
  EXPECT_EQ(g.right, 12);
  EXPECT_EQ(g.top, 15);
  EXPECT_EQ(g.bottom, 20);
  EXPECT_EQ(g.paper, dialog.DevMode().paperSize);
  press(false);
  EXPECT_FALSE(g.Show(dialog));
}
