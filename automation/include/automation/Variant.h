// C++ side of the automation types: an owning variant and string helpers.
#pragma once

#include "automation/abi.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace automation {

// Makes a new automation string from a UTF-16 text (the caller frees it).
autochar* MakeString(std::u16string_view text);
// Copies an automation string (null is the empty string).
std::u16string ToU16(const autochar* s);

// Owns one AutoVariant; frees its string when destroyed.
class Variant {
 public:
  Variant() { v_.vt = AUTO_VT_EMPTY; v_.u.i4 = 0; }
  static Variant I2(int16_t x) { Variant r; r.v_.vt = AUTO_VT_I2; r.v_.u.i2 = x; return r; }
  static Variant I4(int32_t x) { Variant r; r.v_.vt = AUTO_VT_I4; r.v_.u.i4 = x; return r; }
  static Variant R4(float x) { Variant r; r.v_.vt = AUTO_VT_R4; r.v_.u.r4 = x; return r; }
  static Variant Str(std::u16string_view s) { Variant r; r.v_.vt = AUTO_VT_STR; r.v_.u.str = MakeString(s); return r; }
  // Takes ownership of a raw variant (for example an invoke result).
  static Variant Adopt(AutoVariant raw) { Variant r; r.v_ = raw; return r; }

  Variant(const Variant& o) : Variant() { *this = o; }
  Variant(Variant&& o) noexcept : v_(o.v_) { o.v_.vt = AUTO_VT_EMPTY; }
  Variant& operator=(const Variant& o) {
    if (this != &o) {
      autovariant_clear(&v_);
      v_ = o.v_;
      if (v_.vt == AUTO_VT_STR) v_.u.str = autostr_alloc_len(o.v_.u.str, autostr_len(o.v_.u.str));
    }
    return *this;
  }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) { autovariant_clear(&v_); v_ = o.v_; o.v_.vt = AUTO_VT_EMPTY; }
    return *this;
  }
  ~Variant() { autovariant_clear(&v_); }

  uint16_t type() const { return v_.vt; }
  const AutoVariant& raw() const { return v_; }
  AutoVariant* out() { autovariant_clear(&v_); return &v_; }

  int16_t i2() const { return v_.u.i2; }
  int32_t i4() const { return v_.u.i4; }
  float r4() const { return v_.u.r4; }
  bool boolean() const { return v_.u.boolVal != 0; }
  std::u16string str() const { return v_.vt == AUTO_VT_STR ? ToU16(v_.u.str) : std::u16string(); }
  // The value as a whole number, whatever numeric type a member answered
  // with: a float is cut towards zero (0 when not finite), a boolean is -1
  // or 0, a text or an empty variant 0.
  int32_t whole() const {
    switch (v_.vt) {
      case AUTO_VT_I2: return v_.u.i2;
      case AUTO_VT_I4: return v_.u.i4;
      case AUTO_VT_R4: return std::isfinite(v_.u.r4) ? static_cast<int32_t>(v_.u.r4) : 0;
      case AUTO_VT_BOOL: return v_.u.boolVal != 0 ? -1 : 0;
      default: return 0;
    }
  }

 private:
  AutoVariant v_;
};

// Text conversions used at the boundary.
std::string ToUtf8(std::u16string_view s);
std::u16string FromUtf8(std::string_view s);

}  // namespace automation
