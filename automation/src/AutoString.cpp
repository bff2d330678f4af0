// Counted UTF-16 automation strings and variant clean-up.
#include "automation/abi.h"

#include <cstdlib>
#include <cstring>

extern "C" {

autochar* autostr_alloc_len(const autochar* text, uint32_t units) {
  if (units > (UINT32_MAX - 8) / 2) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(uint32_t) + (units + 1) * sizeof(autochar)));
  if (!block) return nullptr;
  const uint32_t bytes = units * sizeof(autochar);
  std::memcpy(block, &bytes, sizeof bytes);
  auto* s = reinterpret_cast<autochar*>(block + sizeof(uint32_t));
  if (text && units) std::memcpy(s, text, bytes);
  else if (units) std::memset(s, 0, bytes);
  s[units] = 0;
  return s;
}

autochar* autostr_alloc(const autochar* text) {
  uint32_t n = 0;
  if (text)
    while (text[n]) ++n;
  return autostr_alloc_len(text, n);
}

void autostr_free(autochar* s) {
  if (s) std::free(reinterpret_cast<unsigned char*>(s) - sizeof(uint32_t));
}

uint32_t autostr_len(const autochar* s) {
  if (!s) return 0;
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(s) - sizeof(uint32_t), sizeof bytes);
  return bytes / sizeof(autochar);
}

void autovariant_clear(AutoVariant* v) {
  if (!v) return;
  if (v->vt == AUTO_VT_STR) autostr_free(v->u.str);
  v->vt = AUTO_VT_EMPTY;
  v->u.i4 = 0;
}
}
