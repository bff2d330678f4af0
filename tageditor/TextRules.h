// The few rules by which the editor turns what a box holds into what it
// hands the tag library.
#pragma once

#include <QString>

#include <cstdint>

namespace tageditor {

// The typed text with its line ends made like those of the text the box was
// loaded with: a field whose lines ended CR LF (the program's marker lines
// do) keeps CR LF where the window handed back bare line feeds. A loaded
// text without line ends leaves the typed one as it is.
QString WithLineEndsOf(const QString& typed, const QString& loaded);

// A URL for a frame that stores single-byte text only: every character
// above U+00FF becomes its UTF-8 bytes percent-encoded (an internationalised
// address as a plain one), so that no character turns into a question mark.
QString UrlForTag(const QString& url);

// The item number that an item list's edit field holds: the number at the
// start of the text, rounded to the nearest whole number (a half to the
// even neighbour); 0 when the text does not begin with a number or the
// number lies outside -32768..32767.
int16_t ItemNumber(const QString& text);

// A whole 16-bit number written as the whole text (blanks around it
// allowed, rounded as above); false for anything else.
bool ParseInt16(const QString& text, int16_t* value);

}  // namespace tageditor
