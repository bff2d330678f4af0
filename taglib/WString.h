// Wide strings of the tag library: counted UTF-16.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sonavex {

using WString = std::u16string;

// UTF-8 <-> UTF-16 (invalid input decodes to U+FFFD).
std::string ToUtf8(std::u16string_view s);
WString FromUtf8(std::string_view s);
// ASCII-only upper-casing, for comparing ids and extensions.
WString UpperAscii(WString s);

// A field of several values is one text: the values in order with U+0000
// between them (a tag that keeps each value apart, such as a Vorbis comment
// with two ARTIST entries, reads as "One\0Two", and such a text is written
// as two values). SplitValues gives the values of a text, empty ones left
// out (so a trailing or doubled U+0000 counts for nothing); JoinValues puts
// values together again, also leaving empty ones out.
std::vector<WString> SplitValues(std::u16string_view text);
WString JoinValues(const std::vector<WString>& values);
// The text with its values as SplitValues gives them.
inline WString NormalValues(std::u16string_view text) { return JoinValues(SplitValues(text)); }

// The seven generic tag fields of the control.
struct GenericStrings {
  WString title, artist, album, comment, genre, track, year;
};

}  // namespace sonavex
