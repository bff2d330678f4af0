#include "platform/CommonDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace djvp {

namespace {
FileDialogHook& FileHook() {
  static FileDialogHook hook;
  return hook;
}
ColorDialogHook& ColorHook() {
  static ColorDialogHook hook;
  return hook;
}
FontDialogHook& FontHook() {
  static FontDialogHook hook;
  return hook;
}
PrintDialogHook& PrintHook() {
  static PrintDialogHook hook;
  return hook;
}
PageSetupDialogHook& PageSetupHook() {
  static PageSetupDialogHook hook;
  return hook;
}
}  // namespace

FileDialogHook clsCommonDialog::SetDialogHook(FileDialogHook hook) { return std::exchange(FileHook(), std::move(hook)); }
ColorDialogHook clsCommonDialog::SetColorDialogHook(ColorDialogHook hook) {
  return std::exchange(ColorHook(), std::move(hook));
}
FontDialogHook clsCommonDialog::SetFontDialogHook(FontDialogHook hook) {
  return std::exchange(FontHook(), std::move(hook));
}
PrintDialogHook clsCommonDialog::SetPrintDialogHook(PrintDialogHook hook) {
  return std::exchange(PrintHook(), std::move(hook));
}
PageSetupDialogHook clsCommonDialog::SetPageSetupDialogHook(PageSetupDialogHook hook) {
  return std::exchange(PageSetupHook(), std::move(hook));
}

void clsCommonDialog::SplitFilter(const QString& filter, QStringList& descriptions, QStringList& patterns) {
  descriptions.clear();
  patterns.clear();
  QString text = filter;
  text.replace(QLatin1Char(':'), QLatin1Char('|'));
  const QStringList parts = text.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    descriptions << parts[i];
    patterns << parts[i + 1];
  }
}

QString clsCommonDialog::GetToken(const QString& filter, int n) {
  QStringList descriptions, patterns;
  SplitFilter(filter, descriptions, patterns);
  if (n < 1 || n > descriptions.size()) return {};
  return descriptions[n - 1] + QChar(0) + patterns[n - 1];
}

namespace {

// A pattern that matches without regard to letter case: every letter becomes
// a class of its two cases ("*.mp3" -> "*.[mM][pP]3"); "*.*" means every file.
QString CaseFreePattern(const QString& pattern) {
  if (pattern == QLatin1String("*.*")) return QStringLiteral("*");
  QString out;
  for (const QChar c : pattern) {
    if (c.isLetter() && c.toLower() != c.toUpper()) {
      out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    } else {
      out += c;
    }
  }
  return out;
}

QString QtFilter(const QString& description, const QString& patterns) {
  QStringList list;
  for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) list << CaseFreePattern(p.trimmed());
  if (list.isEmpty()) list << QStringLiteral("*");
  // The dialog shows only the description; the case-free patterns stay out
  // of sight.
  return description + QStringLiteral(" (") + list.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString FolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QColor FromColorRef(int32_t c) {
  const auto v = static_cast<uint32_t>(c);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

int32_t ToColorRef(const QColor& c) {
  return static_cast<int32_t>(static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
                              (static_cast<uint32_t>(c.blue()) << 16));
}

// The caller's hook and template bits, which these dialogs have no use for.
constexpr int32_t kPdHookAndTemplateBits = 0x3F000;
constexpr int32_t kPsdHookAndTemplateBits = 0x6A000;

// The paper sizes known by number.
struct Paper {
  int16_t number;
  QPageSize::PageSizeId id;
};
constexpr Paper kPapers[] = {
    {kPaperLetter, QPageSize::Letter},        {3, QPageSize::Tabloid},         {4, QPageSize::Ledger},
    {kPaperLegal, QPageSize::Legal},          {6, QPageSize::Statement},       {7, QPageSize::Executive},
    {kPaperA3, QPageSize::A3},                {kPaperA4, QPageSize::A4},       {kPaperA5, QPageSize::A5},
    {12, QPageSize::JisB4},                   {13, QPageSize::JisB5},          {14, QPageSize::Folio},
    {15, QPageSize::Quarto},                  {20, QPageSize::Envelope10},     {27, QPageSize::EnvelopeDL},
    {28, QPageSize::EnvelopeC5},              {30, QPageSize::EnvelopeC4},     {31, QPageSize::EnvelopeC6},
    {37, QPageSize::EnvelopeMonarch},         {66, QPageSize::A2},             {70, QPageSize::A6},
};

int16_t PaperNumber(const QPageSize& size) {
  for (const Paper& p : kPapers)
    if (p.id == size.id()) return p.number;
  return static_cast<int16_t>(kPaperUser);
}

QPageSize PageSizeOf(int32_t number) {
  for (const Paper& p : kPapers)
    if (p.number == number) return QPageSize(p.id);
  return QPageSize(QPageSize::A4);
}

int16_t OrientationNumber(QPageLayout::Orientation o) {
  return static_cast<int16_t>(o == QPageLayout::Landscape ? kOrientLandscape : kOrientPortrait);
}

QPageLayout::Orientation OrientationOf(int32_t number) {
  return number == kOrientLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// A printer set up from the device-mode record.
void Prepare(QPrinter& printer, const DeviceMode& mode) {
  printer.setCopyCount(mode.copies > 0 ? mode.copies : 1);
  printer.setCollateCopies(mode.collate);
  printer.setPageSize(PageSizeOf(mode.paperSize));
  printer.setPageOrientation(OrientationOf(mode.orientation));
}

void SetPrinterObject(PrinterObject* printer, int16_t copies, int16_t orientation, int16_t paper, int16_t quality) {
  if (printer == nullptr) return;
  printer->Copies = copies;
  printer->Orientation = orientation;
  printer->PaperSize = paper;
  printer->PrintQuality = quality;
}

// A page-setup margin of whole millimetres goes to the dialog in hundredths
// of a millimetre, one of whole inches in thousandths of an inch.
int32_t UnitFactor(bool millimetres) { return millimetres ? 100 : 1000; }

// Back in whole units, rounded to the nearest.
int32_t WholeUnits(int32_t fine, bool millimetres) {
  const int32_t f = UnitFactor(millimetres);
  return fine >= 0 ? (fine + f / 2) / f : -((-fine + f / 2) / f);
}

}  // namespace

bool clsCommonDialog::RunFileDialog(const FileDialogRequest& request, FileDialogAnswer& answer) {
  if (FileHook()) {
    std::optional<FileDialogAnswer> a = FileHook()(request);
    if (!a || a->files.isEmpty()) return false;
    answer = *a;
    return true;
  }
  QFileDialog dialog(QApplication::activeWindow(), request.title, request.initDir);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (request.save) {
    dialog.setFileMode(QFileDialog::AnyFile);
  } else if (request.flags & kOfnAllowMultiSelect) {
    dialog.setFileMode(QFileDialog::ExistingFiles);
  } else {
    dialog.setFileMode((request.flags & kOfnFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  }
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & kOfnOverwritePrompt));
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  QStringList filters;
  for (qsizetype i = 0; i < request.descriptions.size(); ++i)
    filters << QtFilter(request.descriptions[i], request.patterns[i]);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size()));
    dialog.selectNameFilter(filters[index - 1]);
  }
  if (!request.defaultExt.isEmpty()) dialog.setDefaultSuffix(request.defaultExt);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
  if (dialog.exec() != QDialog::Accepted) return false;
  answer.files = dialog.selectedFiles();
  if (answer.files.isEmpty()) return false;
  // With the pattern details hidden the dialog may name the entry by its
  // description alone.
  const QString chosen = dialog.selectedNameFilter();
  qsizetype index = filters.indexOf(chosen);
  if (index < 0) index = request.descriptions.indexOf(chosen);
  answer.filterIndex = index < 0 ? 1 : static_cast<int>(index) + 1;
  // The dialog has no read-only box: the flag comes back as it went in.
  answer.readOnly = (request.flags & kOfnReadOnly) != 0;
  return true;
}

bool clsCommonDialog::VBGetOpenFileName(QString& filename, QString& FileTitle, bool& FileMustExist,
                                        bool& MultiSelect, bool& ReadOnly, bool& HideReadOnly, QString& Filter,
                                        int32_t& FilterIndex, QString& InitDir, QString& DlgTitle,
                                        QString& DefaultExt, int32_t& /*Owner*/, int32_t& Flags) {
  apiReturn_ = 0;
  extendedError_ = 0;
  selected_.clear();
  FileDialogRequest request;
  request.flags = (FileMustExist ? kOfnFileMustExist : 0) | (MultiSelect ? kOfnAllowMultiSelect : 0) |
                  (ReadOnly ? kOfnReadOnly : 0) | (HideReadOnly ? kOfnHideReadOnly : 0) | (Flags & ~0x60);
  request.title = DlgTitle;
  request.initDir = InitDir;
  request.fileName = filename;
  request.defaultExt = DefaultExt;
  SplitFilter(Filter, request.descriptions, request.patterns);
  request.filterIndex = FilterIndex;
  FileDialogAnswer answer;
  if (!RunFileDialog(request, answer)) {
    filename.clear();
    FileTitle.clear();
    Filter.clear();
    Flags = 0;
    FilterIndex = -1;
    return false;
  }
  apiReturn_ = 1;
  selected_ = answer.files;
  filename = selected_.size() > 1 ? FolderOf(selected_.front()) : selected_.front();
  FileTitle = VBGetFileTitle(selected_.front());
  Flags = (request.flags & ~kOfnReadOnly) | (answer.readOnly ? kOfnReadOnly : 0);
  FilterIndex = answer.filterIndex;
  Filter = GetToken(Filter, answer.filterIndex);
  ReadOnly = answer.readOnly;
  return true;
}

bool clsCommonDialog::VBGetSaveFileName(QString& filename, QString& FileTitle, bool& OverWritePrompt,
                                        QString& Filter, int32_t& FilterIndex, QString& InitDir, QString& DlgTitle,
                                        QString& DefaultExt, int32_t& /*Owner*/, int32_t& Flags) {
  apiReturn_ = 0;
  extendedError_ = 0;
  selected_.clear();
  FileDialogRequest request;
  request.save = true;
  request.flags = (OverWritePrompt ? kOfnOverwritePrompt : 0) | kOfnHideReadOnly | (Flags & ~0x60);
  request.title = DlgTitle;
  request.initDir = InitDir;
  request.fileName = filename;
  request.defaultExt = DefaultExt;
  SplitFilter(Filter, request.descriptions, request.patterns);
  request.filterIndex = FilterIndex;
  FileDialogAnswer answer;
  if (!RunFileDialog(request, answer)) {
    filename.clear();
    FileTitle.clear();
    Filter.clear();
    Flags = 0;
    FilterIndex = 0;
    return false;
  }
  apiReturn_ = 1;
  selected_ = answer.files.mid(0, 1);
  filename = selected_.front();
  FileTitle = VBGetFileTitle(filename);
  Flags = request.flags;
  FilterIndex = answer.filterIndex;
  Filter = GetToken(Filter, answer.filterIndex);
  return true;
}

QString clsCommonDialog::VBGetFileTitle(const QString& sFile) {
  if (sFile.isEmpty() || sFile.endsWith(QLatin1Char('/')) || sFile.contains(QLatin1Char('*')) ||
      sFile.contains(QLatin1Char('?')))
    return {};
  return sFile.section(QLatin1Char('/'), -1);
}

bool clsCommonDialog::VBChooseColor(int32_t& Color, bool& /*AnyColor*/, bool& /*FullOpen*/,
                                    bool& /*DisableFullOpen*/, int32_t& /*Owner*/, int32_t /*Flags*/) {
  apiReturn_ = 0;
  extendedError_ = 0;
  QColor custom[16];
  for (int i = 0; i < 16; ++i) custom[i] = FromColorRef(customColors_[i]);
  std::optional<QColor> chosen;
  if (ColorHook()) {
    chosen = ColorHook()(FromColorRef(Color), 0, custom);
  } else {
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) QColorDialog::setCustomColor(i, custom[i]);
    QColorDialog dialog(FromColorRef(Color), QApplication::activeWindow());
    if (dialog.exec() == QDialog::Accepted) chosen = dialog.selectedColor();
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) custom[i] = QColorDialog::customColor(i);
  }
  for (int i = 0; i < 16; ++i) customColors_[i] = ToColorRef(custom[i]);
  if (!chosen || !chosen->isValid()) {
    Color = -1;
    return false;
  }
  apiReturn_ = 1;
  Color = ToColorRef(*chosen);
  return true;
}

int32_t clsCommonDialog::CustomColor(int16_t i) const { return (i >= 0 && i < 16) ? customColors_[i] : -1; }

void clsCommonDialog::CustomColor(int16_t i, int32_t iValue) {
  if (i >= 0 && i < 16) customColors_[i] = iValue;
}

bool clsCommonDialog::VBChooseFont(QFont& CurFont, int32_t /*PrinterDC*/, int32_t /*Owner*/, int32_t& /*Color*/,
                                   int32_t MinSize, int32_t MaxSize, int32_t& Flags) {
  apiReturn_ = 0;
  extendedError_ = 0;
  std::optional<QFont> chosen;
  if (FontHook()) {
    chosen = FontHook()(CurFont, Flags);
  } else {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, CurFont, QApplication::activeWindow());
    if (ok) chosen = font;
  }
  if (!chosen) return false;
  QFont font = *chosen;
  // The size limits hold for the size that comes back.
  if (font.pointSize() > 0) {
    int size = font.pointSize();
    if (MinSize > 0 && size < MinSize) size = MinSize;
    if (MaxSize > 0 && size > MaxSize) size = MaxSize;
    font.setPointSize(size);
  }
  apiReturn_ = 1;
  CurFont = font;
  return true;
}

bool clsCommonDialog::VBPrintDlg(int32_t& hdc, int32_t& PrintRange, bool& DisablePageNumbers, int32_t& FromPage,
                                 int32_t& ToPage, bool& DisableSelection, int16_t& Copies, bool& ShowPrintToFile,
                                 bool& DisablePrintToFile, bool& PrintToFile, bool& Collate, bool& PreventWarning,
                                 int32_t& /*Owner*/, PrinterObject* Printer, int32_t& Flags) {
  apiReturn_ = 0;
  extendedError_ = 0;
  hdc = 0;
  PrintDialogRequest request;
  request.range = PrintRange & (kPdSelection | kPdPageNums);
  request.fromPage = FromPage;
  request.toPage = ToPage;
  request.copies = Copies > 0 ? Copies : 1;
  request.collate = Collate;
  request.printToFile = PrintToFile;
  request.flags = request.range | (DisablePageNumbers ? kPdNoPageNums : 0) | (DisableSelection ? kPdNoSelection : 0) |
                  (ShowPrintToFile ? 0 : kPdHidePrintToFile) | (DisablePrintToFile ? kPdDisablePrintToFile : 0) |
                  (PrintToFile ? kPdPrintToFile : 0) | (Collate ? kPdCollate : 0) |
                  (PreventWarning ? kPdNoWarning : 0) | kPdReturnDc | (Flags & ~kPdHookAndTemplateBits);

  auto printer = std::make_shared<QPrinter>();
  Prepare(*printer, devMode_);
  printer->setCopyCount(request.copies);
  printer->setCollateCopies(request.collate);
  std::optional<PrintDialogAnswer> answer;
  if (PrintHook()) {
    answer = PrintHook()(request);
  } else {
    if (request.printToFile) printer->setOutputFormat(QPrinter::PdfFormat);
    QPrintDialog dialog(printer.get(), QApplication::activeWindow());
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintCollateCopies |
                                                       QAbstractPrintDialog::PrintShowPageSize;
    if (!(request.flags & kPdNoPageNums)) options |= QAbstractPrintDialog::PrintPageRange;
    if (!(request.flags & kPdNoSelection)) options |= QAbstractPrintDialog::PrintSelection;
    if (!(request.flags & (kPdHidePrintToFile | kPdDisablePrintToFile))) options |= QAbstractPrintDialog::PrintToFile;
    dialog.setOptions(options);
    const int last = std::max({1, request.fromPage, request.toPage});
    dialog.setMinMax(1, std::max(last, 9999));
    if (request.fromPage > 0 && request.toPage >= request.fromPage)
      dialog.setFromTo(request.fromPage, request.toPage);
    dialog.setPrintRange(request.range == kPrintSelection     ? QAbstractPrintDialog::Selection
                         : request.range == kPrintPageNumbers ? QAbstractPrintDialog::PageRange
                                                              : QAbstractPrintDialog::AllPages);
    if (dialog.exec() == QDialog::Accepted) {
      PrintDialogAnswer a;
      a.range = dialog.printRange() == QAbstractPrintDialog::Selection   ? kPrintSelection
                : dialog.printRange() == QAbstractPrintDialog::PageRange ? kPrintPageNumbers
                                                                         : kPrintAllPages;
      a.fromPage = dialog.fromPage();
      a.toPage = dialog.toPage();
      a.copies = static_cast<int16_t>(std::clamp(printer->copyCount(), 1, 32767));
      a.collate = printer->collateCopies();
      a.printToFile = !printer->outputFileName().isEmpty();
      a.orientation = OrientationNumber(printer->pageLayout().orientation());
      a.paperSize = PaperNumber(printer->pageLayout().pageSize());
      a.printQuality = static_cast<int16_t>(std::clamp(printer->resolution(), 0, 32767));
      answer = a;
    }
  }
  if (!answer) return false;

  apiReturn_ = 1;
  // What the user cannot choose stays as it came.
  if ((answer->range == kPrintSelection && (request.flags & kPdNoSelection)) ||
      (answer->range == kPrintPageNumbers && (request.flags & kPdNoPageNums)))
    answer->range = request.range;
  if (request.flags & (kPdHidePrintToFile | kPdDisablePrintToFile)) answer->printToFile = request.printToFile;
  devMode_.copies = answer->copies > 0 ? answer->copies : 1;
  devMode_.collate = answer->collate;
  devMode_.orientation = answer->orientation;
  devMode_.paperSize = answer->paperSize;
  devMode_.printQuality = answer->printQuality;
  Prepare(*printer, devMode_);
  printer_ = std::move(printer);
  hdc = 1;
  PrintRange = answer->range;
  if (answer->range == kPrintPageNumbers) {
    FromPage = answer->fromPage;
    ToPage = answer->toPage;
  }
  PrintToFile = answer->printToFile;
  Copies = devMode_.copies;
  Collate = devMode_.collate;
  Flags = (request.flags & ~(kPdSelection | kPdPageNums | kPdPrintToFile | kPdCollate)) | PrintRange |
          (PrintToFile ? kPdPrintToFile : 0) | (Collate ? kPdCollate : 0);
  SetPrinterObject(Printer, devMode_.copies, devMode_.orientation, devMode_.paperSize, devMode_.printQuality);
  return true;
}

bool clsCommonDialog::VBPageSetupDlg(int32_t& /*Owner*/, bool& DisableMargins, bool& DisableOrientation,
                                     bool& DisablePaper, bool& DisablePrinter, int32_t& LeftMargin,
                                     int32_t& MinLeftMargin, int32_t& RightMargin, int32_t& MinRightMargin,
                                     int32_t& TopMargin, int32_t& MinTopMargin, int32_t& BottomMargin,
                                     int32_t& MinBottomMargin, int32_t& PaperSize, int32_t& Orientation,
                                     int32_t& PrintQuality, int32_t& Units, PrinterObject* Printer, int32_t& Flags) {
  apiReturn_ = 0;
  extendedError_ = 0;
  const bool mm = Units != 0;
  const int32_t f = UnitFactor(mm);
  PageSetupRequest request;
  request.left = LeftMargin * f;
  request.right = RightMargin * f;
  request.top = TopMargin * f;
  request.bottom = BottomMargin * f;
  request.minLeft = MinLeftMargin * f;
  request.minRight = MinRightMargin * f;
  request.minTop = MinTopMargin * f;
  request.minBottom = MinBottomMargin * f;
  request.paperSize = devMode_.paperSize;
  request.orientation = devMode_.orientation;
  request.flags = kPsdMargins | kPsdMinMargins | (mm ? kPsdInHundredthsOfMillimeters : kPsdInThousandthsOfInches) |
                  (DisableMargins ? kPsdDisableMargins : 0) | (DisableOrientation ? kPsdDisableOrientation : 0) |
                  (DisablePaper ? kPsdDisablePaper : 0) | (DisablePrinter ? kPsdDisablePrinter : 0) |
                  (Flags & ~(kPsdInHundredthsOfMillimeters | kPsdInThousandthsOfInches | kPsdHookAndTemplateBits));

  std::optional<PageSetupAnswer> answer;
  if (PageSetupHook()) {
    answer = PageSetupHook()(request);
  } else {
    QPrinter printer;
    Prepare(printer, devMode_);
    const QPageLayout::Unit unit = mm ? QPageLayout::Millimeter : QPageLayout::Inch;
    const double fine = f;
    printer.setPageMargins(QMarginsF(request.left / fine, request.top / fine, request.right / fine,
                                     request.bottom / fine),
                           unit);
    QPageSetupDialog dialog(&printer, QApplication::activeWindow());
    if (dialog.exec() == QDialog::Accepted) {
      const QMarginsF m = printer.pageLayout().margins(unit);
      PageSetupAnswer a;
      a.left = static_cast<int32_t>(std::lround(m.left() * fine));
      a.right = static_cast<int32_t>(std::lround(m.right() * fine));
      a.top = static_cast<int32_t>(std::lround(m.top() * fine));
      a.bottom = static_cast<int32_t>(std::lround(m.bottom() * fine));
      a.paperSize = PaperNumber(printer.pageLayout().pageSize());
      a.orientation = OrientationNumber(printer.pageLayout().orientation());
      a.printQuality = static_cast<int16_t>(std::clamp(printer.resolution(), 0, 32767));
      answer = a;
    }
  }
  if (!answer) return false;

  apiReturn_ = 1;
  // What the caller did not let the user change stays as it came; no margin
  // goes below its minimum.
  if (request.flags & kPsdDisableMargins) {
    answer->left = request.left;
    answer->right = request.right;
    answer->top = request.top;
    answer->bottom = request.bottom;
  }
  if (request.flags & kPsdDisableOrientation) answer->orientation = request.orientation;
  if (request.flags & kPsdDisablePaper) answer->paperSize = request.paperSize;
  LeftMargin = std::max(WholeUnits(answer->left, mm), MinLeftMargin);
  RightMargin = std::max(WholeUnits(answer->right, mm), MinRightMargin);
  TopMargin = std::max(WholeUnits(answer->top, mm), MinTopMargin);
  BottomMargin = std::max(WholeUnits(answer->bottom, mm), MinBottomMargin);
  PaperSize = answer->paperSize;
  Orientation = answer->orientation;
  PrintQuality = answer->printQuality;
  Flags = request.flags;
  SetPrinterObject(Printer, devMode_.copies, answer->orientation, answer->paperSize, answer->printQuality);
  return true;
}

}  // namespace djvp
