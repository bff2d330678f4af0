#include "platform/CommonDialog.h"

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

bool clsCommonDialog::RunFileDialog(const FileDialogRequest&, FileDialogAnswer&) { return false; }

bool clsCommonDialog::VBGetOpenFileName(QString& filename, QString& FileTitle, bool&, bool&, bool&, bool&,
                                        QString& Filter, int32_t& FilterIndex, QString&, QString&, QString&,
                                        int32_t&, int32_t& Flags) {
  apiReturn_ = 0;
  extendedError_ = 0;
  filename.clear();
  FileTitle.clear();
  Filter.clear();
  Flags = 0;
  FilterIndex = -1;
  return false;
}

bool clsCommonDialog::VBGetSaveFileName(QString& filename, QString& FileTitle, bool&, QString& Filter,
                                        int32_t& FilterIndex, QString&, QString&, QString&, int32_t&,
                                        int32_t& Flags) {
  apiReturn_ = 0;
  extendedError_ = 0;
  filename.clear();
  FileTitle.clear();
  Filter.clear();
  Flags = 0;
  FilterIndex = 0;
  return false;
}

QString clsCommonDialog::VBGetFileTitle(const QString& sFile) {
  if (sFile.isEmpty() || sFile.endsWith(QLatin1Char('/')) || sFile.contains(QLatin1Char('*')) ||
      sFile.contains(QLatin1Char('?')))
    return {};
  return sFile.section(QLatin1Char('/'), -1);
}

bool clsCommonDialog::VBChooseColor(int32_t& Color, bool&, bool&, bool&, int32_t&, int32_t) {
  Color = -1;
  return false;
}

int32_t clsCommonDialog::CustomColor(int16_t i) const { return (i >= 0 && i < 16) ? customColors_[i] : -1; }

void clsCommonDialog::CustomColor(int16_t i, int32_t iValue) {
  if (i >= 0 && i < 16) customColors_[i] = iValue;
}

bool clsCommonDialog::VBChooseFont(QFont&, int32_t, int32_t, int32_t&, int32_t, int32_t, int32_t&) { return false; }

}  // namespace djvp
