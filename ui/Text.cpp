#include "ui/Text.h"

#include "StringTable.h"

namespace djvp::ui {

std::optional<QString> FindText(int32_t n) {
  if (const std::optional<std::string> text = FindTr(n)) return QString::fromStdString(*text);
  return std::nullopt;
}

QString T(int32_t n) { return FindText(n).value_or(QString()); }

}  // namespace djvp::ui
