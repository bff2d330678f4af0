// The program's file, colour, font, print and page-setup dialogs. Each
// dialog is one method
// whose reference arguments carry the settings in and the user's choices
// out; the result tells whether the user made a choice. Filters are written
// as description/pattern pairs separated by "|" (or ":"), patterns of one
// pair by ";": "Music|*.mp3;*.ogg|Playlists|*.vpl". Patterns match without
// regard to letter case. Tests answer the dialogs through hooks, so no
// dialog opens in a test.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class QPrinter;

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace djvp {

// Flag bits of the open and save dialogs, as the callers pass and get them.
inline constexpr int32_t kOfnReadOnly = 0x1;
inline constexpr int32_t kOfnOverwritePrompt = 0x2;
inline constexpr int32_t kOfnHideReadOnly = 0x4;
inline constexpr int32_t kOfnAllowMultiSelect = 0x200;
inline constexpr int32_t kOfnFileMustExist = 0x1000;

// What a file dialog is asked to show.
struct FileDialogRequest {
  bool save = false;
  QString title;
  QString initDir;
  QString fileName;        // the text in the name box ("*.*" shows that pattern)
  QString defaultExt;      // added to a typed name without extension
  QStringList descriptions;  // one per filter entry
  QStringList patterns;      // the entry's patterns, ";"-separated
  int filterIndex = 1;     // 1-based entry shown first
  int32_t flags = 0;       // the kOfn* bits in force
};

// The user's answer: nullopt when the dialog was closed without a choice.
struct FileDialogAnswer {
  QStringList files;    // full paths
  int filterIndex = 1;  // 1-based entry chosen
  bool readOnly = false;
};

using FileDialogHook = std::function<std::optional<FileDialogAnswer>(const FileDialogRequest&)>;
// Colour: the request's initial colour and custom colours in and the chosen
// colour out (nullopt: cancelled); the hook may change the custom colours.
using ColorDialogHook = std::function<std::optional<QColor>(const QColor& initial, int32_t flags, QColor custom[16])>;
using FontDialogHook = std::function<std::optional<QFont>(const QFont& initial, int32_t flags)>;

// Flag bits of the print dialog, as the callers pass and get them.
inline constexpr int32_t kPdSelection = 0x1;
inline constexpr int32_t kPdPageNums = 0x2;
inline constexpr int32_t kPdNoSelection = 0x4;
inline constexpr int32_t kPdNoPageNums = 0x8;
inline constexpr int32_t kPdCollate = 0x10;
inline constexpr int32_t kPdPrintToFile = 0x20;
inline constexpr int32_t kPdNoWarning = 0x80;
inline constexpr int32_t kPdReturnDc = 0x100;
inline constexpr int32_t kPdDisablePrintToFile = 0x80000;
inline constexpr int32_t kPdHidePrintToFile = 0x100000;
// Print ranges: every page, the selection, the pages FromPage to ToPage.
inline constexpr int32_t kPrintAllPages = 0;
inline constexpr int32_t kPrintSelection = kPdSelection;
inline constexpr int32_t kPrintPageNumbers = kPdPageNums;

// Flag bits of the page-setup dialog.
inline constexpr int32_t kPsdMinMargins = 0x1;
inline constexpr int32_t kPsdMargins = 0x2;
inline constexpr int32_t kPsdInThousandthsOfInches = 0x4;
inline constexpr int32_t kPsdInHundredthsOfMillimeters = 0x8;
inline constexpr int32_t kPsdDisableMargins = 0x10;
inline constexpr int32_t kPsdDisablePrinter = 0x20;
inline constexpr int32_t kPsdDisableOrientation = 0x100;
inline constexpr int32_t kPsdDisablePaper = 0x200;

// Page orientations and the paper sizes the dialogs know by number (any
// other paper is kPaperUser).
inline constexpr int32_t kOrientPortrait = 1;
inline constexpr int32_t kOrientLandscape = 2;
inline constexpr int32_t kPaperLetter = 1;
inline constexpr int32_t kPaperLegal = 5;
inline constexpr int32_t kPaperA3 = 8;
inline constexpr int32_t kPaperA4 = 9;
inline constexpr int32_t kPaperA5 = 11;
inline constexpr int32_t kPaperUser = 256;

// A printer's settings as a caller keeps them: copies, orientation, paper
// size (the kPaper numbers) and print quality (dots per inch). The print
// and page-setup dialogs set them on a choice when the caller passes one.
struct PrinterObject {
  int16_t Copies = 1;
  int16_t Orientation = kOrientPortrait;
  int16_t PaperSize = kPaperA4;
  int16_t PrintQuality = 0;
};

// The settings a print dialog was left with, kept by the class between
// dialogs: the next print dialog starts from them.
struct DeviceMode {
  int16_t copies = 1;
  int16_t orientation = kOrientPortrait;
  int16_t paperSize = kPaperA4;
  int16_t printQuality = 0;
  bool collate = false;
};

// What a print dialog is asked to show, and the user's choices.
struct PrintDialogRequest {
  int32_t range = kPrintAllPages;
  int32_t fromPage = 0, toPage = 0;
  int16_t copies = 1;
  bool collate = false;
  bool printToFile = false;
  int32_t flags = 0;  // the kPd* bits in force (which parts are offered)
};
struct PrintDialogAnswer {
  int32_t range = kPrintAllPages;
  int32_t fromPage = 0, toPage = 0;
  int16_t copies = 1;
  bool collate = false;
  bool printToFile = false;
  int16_t orientation = kOrientPortrait;
  int16_t paperSize = kPaperA4;
  int16_t printQuality = 0;
};
using PrintDialogHook = std::function<std::optional<PrintDialogAnswer>(const PrintDialogRequest&)>;

// A page-setup dialog's margins are in thousandths of an inch or hundredths
// of a millimetre, as the kPsdIn* flag says.
struct PageSetupRequest {
  int32_t left = 0, right = 0, top = 0, bottom = 0;
  int32_t minLeft = 0, minRight = 0, minTop = 0, minBottom = 0;
  int16_t paperSize = kPaperA4;
  int16_t orientation = kOrientPortrait;
  int32_t flags = 0;  // the kPsd* bits in force
};
struct PageSetupAnswer {
  int32_t left = 0, right = 0, top = 0, bottom = 0;
  int16_t paperSize = kPaperA4;
  int16_t orientation = kOrientPortrait;
  int16_t printQuality = 0;
};
using PageSetupDialogHook = std::function<std::optional<PageSetupAnswer>(const PageSetupRequest&)>;

class clsCommonDialog {
 public:
  clsCommonDialog() = default;

  // The result of the last dialog: 1 a choice was made, 0 none.
  int32_t APIReturn() const { return apiReturn_; }
  // The error code of the last dialog that failed (0 when none did).
  int32_t ExtendedError() const { return extendedError_; }

  // Open dialog. On a choice: filename = the chosen file (with MultiSelect
  // and several files chosen, their folder; SelectedFiles() lists them all),
  // FileTitle = its name without folder, FilterIndex = the entry chosen,
  // Filter = that entry's description, a zero character and its pattern,
  // Flags = the flags in force; result true. Without a choice filename,
  // FileTitle and Filter become "", Flags 0, FilterIndex -1; result false.
  // An Owner of -1 means no owner window.
  bool VBGetOpenFileName(QString& filename, QString& FileTitle, bool& FileMustExist, bool& MultiSelect,
                         bool& ReadOnly, bool& HideReadOnly, QString& Filter, int32_t& FilterIndex,
                         QString& InitDir, QString& DlgTitle, QString& DefaultExt, int32_t& Owner,
                         int32_t& Flags);
  // Save dialog; the same as the open dialog except that the overwrite
  // prompt comes from OverWritePrompt and, without a choice, FilterIndex is 0.
  bool VBGetSaveFileName(QString& filename, QString& FileTitle, bool& OverWritePrompt, QString& Filter,
                         int32_t& FilterIndex, QString& InitDir, QString& DlgTitle, QString& DefaultExt,
                         int32_t& Owner, int32_t& Flags);

  // Every file chosen in the last open or save dialog, as full paths.
  const QStringList& SelectedFiles() const { return selected_; }

  // The name of a file without its folder; "" for a name that cannot be a
  // file (empty, ending in "/", or holding a wildcard).
  QString VBGetFileTitle(const QString& sFile);

  // Colour dialog; colours are 0x00BBGGRR. A choice sets Color and returns
  // true; otherwise Color becomes -1.
  bool VBChooseColor(int32_t& Color, bool& AnyColor, bool& FullOpen, bool& DisableFullOpen, int32_t& Owner,
                     int32_t Flags = 0);
  // Custom colour 0..15 of the colour dialog; any other index reads -1 and
  // writes nothing.
  int32_t CustomColor(int16_t i) const;
  void CustomColor(int16_t i, int32_t iValue);

  // Font dialog starting from CurFont; a choice writes the chosen font back
  // into CurFont (and Color) and returns true. MinSize and MaxSize limit the
  // offered sizes when not 0.
  bool VBChooseFont(QFont& CurFont, int32_t PrinterDC, int32_t Owner, int32_t& Color, int32_t MinSize,
                    int32_t MaxSize, int32_t& Flags);

  // Print dialog. In: the range to offer first (kPrint*), its pages, the
  // copies, collation and print-to-file choice; DisablePageNumbers and
  // DisableSelection grey those ranges out, ShowPrintToFile offers the
  // print-to-file choice and DisablePrintToFile greys it out. A choice
  // returns true with hdc 1 (PrintDevice() is then the printer chosen, ready
  // to paint on), the range, pages, print-to-file choice, copies and
  // collation chosen; the device-mode record keeps them with the orientation,
  // paper and quality, and Printer, when given, takes its copies,
  // orientation, paper size and print quality. Flags = the kPd* bits in
  // force after the dialog. Without a choice: false, hdc 0 and the other
  // arguments as they were.
  bool VBPrintDlg(int32_t& hdc, int32_t& PrintRange, bool& DisablePageNumbers, int32_t& FromPage, int32_t& ToPage,
                  bool& DisableSelection, int16_t& Copies, bool& ShowPrintToFile, bool& DisablePrintToFile,
                  bool& PrintToFile, bool& Collate, bool& PreventWarning, int32_t& Owner, PrinterObject* Printer,
                  int32_t& Flags);
  // Page-setup dialog. Margins and minimum margins are whole millimetres
  // when Units is not 0, whole inches when it is 0; the Disable switches keep
  // the user from changing margins, orientation, paper or printer. A choice
  // returns true with the margins (in the same unit, never below their
  // minimums), paper size, orientation and print quality, which Printer,
  // when given, also takes. Without a choice: false and the arguments as
  // they were.
  bool VBPageSetupDlg(int32_t& Owner, bool& DisableMargins, bool& DisableOrientation, bool& DisablePaper,
                      bool& DisablePrinter, int32_t& LeftMargin, int32_t& MinLeftMargin, int32_t& RightMargin,
                      int32_t& MinRightMargin, int32_t& TopMargin, int32_t& MinTopMargin, int32_t& BottomMargin,
                      int32_t& MinBottomMargin, int32_t& PaperSize, int32_t& Orientation, int32_t& PrintQuality,
                      int32_t& Units, PrinterObject* Printer, int32_t& Flags);

  // The settings of the last print dialog.
  const DeviceMode& DevMode() const { return devMode_; }
  // The printer the last print dialog chose (null before the first choice).
  QPrinter* PrintDevice() const { return printer_.get(); }

  // Test hooks; an empty hook restores the real dialog. Each returns the
  // previous hook.
  static FileDialogHook SetDialogHook(FileDialogHook hook);
  static ColorDialogHook SetColorDialogHook(ColorDialogHook hook);
  static FontDialogHook SetFontDialogHook(FontDialogHook hook);
  static PrintDialogHook SetPrintDialogHook(PrintDialogHook hook);
  static PageSetupDialogHook SetPageSetupDialogHook(PageSetupDialogHook hook);

  // The n-th description/pattern pair (1-based) of a filter as "description",
  // a zero character and "pattern"; "" when there is no such pair.
  static QString GetToken(const QString& filter, int n);
  // Splits a filter into its descriptions and patterns ("|" and ":" both
  // separate); a description without pattern is dropped.
  static void SplitFilter(const QString& filter, QStringList& descriptions, QStringList& patterns);

 private:
  bool RunFileDialog(const FileDialogRequest& request, FileDialogAnswer& answer);

  int32_t apiReturn_ = 0;
  int32_t extendedError_ = 0;
  int32_t customColors_[16] = {};
  QStringList selected_;
  DeviceMode devMode_;
  std::shared_ptr<QPrinter> printer_;
};

}  // namespace djvp
