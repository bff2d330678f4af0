// The few rules by which the editor turns what a box holds into what it
// hands the tag library.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace tageditor {

// The typed text with its line ends made like those of the text the box was
// loaded with: a field whose lines ended CR LF (the program's marker lines
// do) keeps CR LF where the window handed back bare line feeds. A loaded
// text without line ends leaves the typed one as it is.
QString WithLineEndsOf(const QString& typed, const QString& loaded);

// A field of several values, which the tag library gives with U+0000
// between them, shown in one box: the values with "; " between them. Where
// the field holds several values or a ";", a ";" inside a value is written
// "\;" and a "\" is written "\\", so that the box reads back as the same
// values. One value without a ";" shows as it is. Empty values count for
// nothing, as in the tag library.
QString ValuesForBox(const QString& tagText);
// What a box holds as the field's values: a text without ";" is one value
// as it stands; otherwise each ";" that is not written "\;" ends a value
// (a blank after it belongs to the separator), "\;" and "\\" stand for ";"
// and "\", and any other "\" stays. Empty values are left out.
QStringList ValuesFromBox(const QString& boxText);
// The values of a box as the tag library takes several values (U+0000
// between them), and as a track row shows them ("; " between them).
QString ValuesForTag(const QString& boxText);
QString ValuesForRow(const QString& boxText);

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
