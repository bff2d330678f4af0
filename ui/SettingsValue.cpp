#include "ui/SettingsValue.h"

#include <cmath>
#include <limits>

namespace djvp {

int64_t RoundHalfEven(double v) { return static_cast<int64_t>(std::nearbyint(v)); }

std::optional<double> SettingToDouble(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

namespace {
template <typename T>
std::optional<T> ToWhole(const QString& text) {
  const auto d = SettingToDouble(text);
  if (!d) return std::nullopt;
  const double r = std::nearbyint(*d);
  if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
      r > static_cast<double>(std::numeric_limits<T>::max()))
    return std::nullopt;
  return static_cast<T>(r);
}
}  // namespace

std::optional<int16_t> SettingToInt16(const QString& text) { return ToWhole<int16_t>(text); }
std::optional<int32_t> SettingToInt32(const QString& text) { return ToWhole<int32_t>(text); }

std::optional<bool> SettingToBool(const QString& text) {
  const auto d = SettingToDouble(text);
  if (!d) return std::nullopt;
  return *d != 0.0;
}

}  // namespace djvp
