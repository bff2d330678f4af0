#include "Codepage.h"

namespace sonavex {

namespace {
// Code points of the bytes 0x80..0x9F.
constexpr char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

WString AnsiToWide(std::string_view bytes) {
  WString out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) out += (b >= 0x80 && b <= 0x9F) ? k1252High[b - 0x80] : static_cast<char16_t>(b);
  return out;
}

std::string WideToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k)
      if (k1252High[k] == c) { mapped = static_cast<char>(0x80 + k); break; }
    // A surrogate pair is one character: one default character for both units.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    out += mapped;
  }
  return out;
}

}  // namespace sonavex
