// Wide strings of the tag library: counted UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace sonavex {

using WString = std::u16string;

// UTF-8 <-> UTF-16 (invalid input decodes to U+FFFD).
std::string ToUtf8(std::u16string_view s);
WString FromUtf8(std::string_view s);
// ASCII-only upper-casing, for comparing ids and extensions.
WString UpperAscii(WString s);

// The seven generic tag fields of the control.
struct GenericStrings {
  WString title, artist, album, comment, genre, track, year;
};

}  // namespace sonavex
