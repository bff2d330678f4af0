// File names as the file system keeps them: bytes, which need not be UTF-8
// (a collection copied from an older system may hold Latin-1 names). The
// program and the tag library carry names as UTF-16 text; these two
// conversions make that lossless. Valid UTF-8 becomes its characters; every
// byte that is not part of valid UTF-8 becomes the lone surrogate U+DC00 plus
// the byte (U+DC80..U+DCFF), which no valid UTF-8 name can produce, and turns
// back into that byte on the way to the file system.
#pragma once

#include <string>
#include <string_view>

namespace safefile {

// The text of a name's bytes.
std::u16string NameToText(std::string_view bytes);
// The bytes of a name's text: U+DC80..U+DCFF alone become their byte, the rest
// UTF-8 (any other lone surrogate becomes U+FFFD).
std::string TextToName(std::u16string_view text);

}  // namespace safefile
