#include "automation/Variant.h"

namespace automation {

autochar* MakeString(std::u16string_view text) {
  return autostr_alloc_len(text.data(), static_cast<uint32_t>(text.size()));
}

std::u16string ToU16(const autochar* s) {
  if (!s) return {};
  return std::u16string(s, autostr_len(s));
}

std::string ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // unpaired surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  auto cont = [&](size_t k) { return k < n && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80; };
  while (i < n) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    uint32_t c;
    size_t len;
    if (b < 0x80) { c = b; len = 1; }
    else if ((b & 0xE0) == 0xC0 && cont(i + 1)) {
      c = ((b & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F); len = 2;
      if (c < 0x80) c = 0xFFFD;
    } else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      c = ((b & 0x0F) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
          (static_cast<unsigned char>(s[i + 2]) & 0x3F);
      len = 3;
      if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    } else if ((b & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      c = ((b & 0x07) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 12) |
          ((static_cast<unsigned char>(s[i + 2]) & 0x3F) << 6) | (static_cast<unsigned char>(s[i + 3]) & 0x3F);
      len = 4;
      if (c < 0x10000 || c > 0x10FFFF) c = 0xFFFD;
    } else {
      c = 0xFFFD;  // invalid byte: one replacement character per byte
      len = 1;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += len;
  }
  return out;
}

}  // namespace automation
