// Conversions of the texts of the settings store into the types the settings
// load needs. Each gives no value for text that is not a number (or does not
// fit), so that the caller skips its step and the target keeps its value.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace djvp {

// Whole numbers: the text read as a decimal number (blanks around it allowed,
// a fraction rounded to the nearest whole number, halves to the even one).
std::optional<int16_t> SettingToInt16(const QString& text);
std::optional<int32_t> SettingToInt32(const QString& text);
// A switch: any number; non-zero is true.
std::optional<bool> SettingToBool(const QString& text);
std::optional<double> SettingToDouble(const QString& text);
// Nearest whole number, halves to the even neighbour.
int64_t RoundHalfEven(double v);

}  // namespace djvp
