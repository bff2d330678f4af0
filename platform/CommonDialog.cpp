#include "platform/CommonDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>

#include <algorithm>
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
}  // namespace

FileDialogHook clsCommonDialog::SetDialogHook(FileDialogHook hook) { return std::exchange(FileHook(), std::move(hook)); }
ColorDialogHook clsCommonDialog::SetColorDialogHook(ColorDialogHook hook) {
  return std::exchange(ColorHook(), std::move(hook));
}
FontDialogHook clsCommonDialog::SetFontDialogHook(FontDialogHook hook) {
  return std::exchange(FontHook(), std::move(hook));
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

}  // namespace djvp
