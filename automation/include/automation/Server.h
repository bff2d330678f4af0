// Server side of the automation boundary: turns a plain C++ class and a table
// of its members into an AutoDispatch object. Each table entry names a member
// function (or a pair of accessors); thunks made from the function types
// convert the variants to typed arguments and the result back.
#pragma once

#include "automation/Variant.h"
#include "automation/abi.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

namespace automation {

using Thunk = int32_t (*)(void* target, const AutoVariant* args, uint32_t argc, AutoVariant* result);

struct Member {
  AutoMemberInfo info;
  Thunk call;  // method call, or property read
  Thunk put;   // property write (null for methods and read-only properties)
};

// ---- argument conversion ----------------------------------------------------

namespace detail {

inline bool NumberOf(const AutoVariant& v, double& out) {
  switch (v.vt) {
    case AUTO_VT_I2: out = v.u.i2; return true;
    case AUTO_VT_I4: out = v.u.i4; return true;
    case AUTO_VT_R4: out = v.u.r4; return true;
    case AUTO_VT_BOOL: out = v.u.boolVal; return true;
    case AUTO_VT_EMPTY: out = 0; return true;
    default: return false;
  }
}

template <class I>
int32_t ToInteger(const AutoVariant& v, I& out) {
  double d;
  if (!NumberOf(v, d)) return AUTO_E_TYPEMISMATCH;
  if (v.vt == AUTO_VT_R4) d = std::nearbyint(d);  // reals round half to even
  if (!(d >= static_cast<double>(std::numeric_limits<I>::min()) &&
        d <= static_cast<double>(std::numeric_limits<I>::max())))
    return AUTO_E_OVERFLOW;
  out = static_cast<I>(d);
  return AUTO_S_OK;
}

inline int32_t FromArg(const AutoVariant& v, std::u16string& out) {
  if (v.vt == AUTO_VT_STR) { out = ToU16(v.u.str); return AUTO_S_OK; }
  if (v.vt == AUTO_VT_EMPTY) { out.clear(); return AUTO_S_OK; }
  return AUTO_E_TYPEMISMATCH;
}
inline int32_t FromArg(const AutoVariant& v, int16_t& out) { return ToInteger(v, out); }
inline int32_t FromArg(const AutoVariant& v, int32_t& out) { return ToInteger(v, out); }
inline int32_t FromArg(const AutoVariant& v, float& out) {
  double d;
  if (!NumberOf(v, d)) return AUTO_E_TYPEMISMATCH;
  out = static_cast<float>(d);
  return AUTO_S_OK;
}
inline int32_t FromArg(const AutoVariant& v, bool& out) {
  double d;
  if (!NumberOf(v, d)) return AUTO_E_TYPEMISMATCH;
  out = d != 0;
  return AUTO_S_OK;
}

inline void ToResult(const std::u16string& s, AutoVariant* r) { r->vt = AUTO_VT_STR; r->u.str = MakeString(s); }
inline void ToResult(int16_t x, AutoVariant* r) { r->vt = AUTO_VT_I2; r->u.i2 = x; }
inline void ToResult(int32_t x, AutoVariant* r) { r->vt = AUTO_VT_I4; r->u.i4 = x; }
inline void ToResult(float x, AutoVariant* r) { r->vt = AUTO_VT_R4; r->u.r4 = x; }
inline void ToResult(bool x, AutoVariant* r) { r->vt = AUTO_VT_BOOL; r->u.boolVal = x ? -1 : 0; }

template <class F>
struct FnTraits;
template <class C, class R, class... A>
struct FnTraits<R (C::*)(A...)> {
  using Cls = C;
  using Ret = R;
  using Args = std::tuple<std::decay_t<A>...>;
};
template <class C, class R, class... A>
struct FnTraits<R (C::*)(A...) const> {
  using Cls = C;
  using Ret = R;
  using Args = std::tuple<std::decay_t<A>...>;
};

}  // namespace detail

// The thunk of one member function: checks the argument count, converts each
// argument, calls, converts the result.
template <auto Fn>
int32_t CallThunk(void* target, const AutoVariant* args, uint32_t argc, AutoVariant* result) {
  using T = detail::FnTraits<decltype(Fn)>;
  using Args = typename T::Args;
  constexpr size_t N = std::tuple_size_v<Args>;
  if (argc != N) return AUTO_E_BADPARAMCOUNT;
  Args tup;
  int32_t hr = AUTO_S_OK;
  [&]<size_t... I>(std::index_sequence<I...>) {
    ((hr = (hr == AUTO_S_OK ? detail::FromArg(args[I], std::get<I>(tup)) : hr)), ...);
  }(std::make_index_sequence<N>{});
  if (hr != AUTO_S_OK) return hr;
  auto* self = static_cast<typename T::Cls*>(target);
  if constexpr (std::is_void_v<typename T::Ret>) {
    std::apply([&](auto&... a) { (self->*Fn)(a...); }, tup);
    if (result) { result->vt = AUTO_VT_EMPTY; result->u.i4 = 0; }
  } else {
    auto r = std::apply([&](auto&... a) { return (self->*Fn)(a...); }, tup);
    if (result) detail::ToResult(r, result);
  }
  return AUTO_S_OK;
}

// An AutoDispatch object over a C++ object of type T and a sorted member table.
// Counts live objects so that a library can answer DllCanUnloadNow.
std::atomic<int>& LiveObjectCount();

template <class T>
class DispatchObject {
 public:
  DispatchObject(std::unique_ptr<T> target, const Member* table, int count)
      : target_(std::move(target)), table_(table), count_(count) {
    header_.iface.lpVtbl = &kVtbl;
    header_.owner = this;
    ++LiveObjectCount();
  }
  ~DispatchObject() { --LiveObjectCount(); }
  AutoDispatch* iface() { return &header_.iface; }
  T& target() { return *target_; }

 private:
  // The interface pointer handed out is the first member of a plain struct
  // that also points back at its object.
  struct Header {
    AutoDispatch iface;
    DispatchObject* owner;
  };
  static DispatchObject* Self(AutoDispatch* d) { return reinterpret_cast<Header*>(d)->owner; }
  static uint32_t AddRef(AutoDispatch* d) { return ++Self(d)->refs_; }
  static uint32_t Release(AutoDispatch* d) {
    DispatchObject* self = Self(d);
    const uint32_t left = --self->refs_;
    if (left == 0) delete self;
    return left;
  }
  static int32_t IdOfName(AutoDispatch* d, const autochar* name, int32_t* dispid) {
    DispatchObject* self = Self(d);
    if (!name || !dispid) return AUTO_E_INVALIDARG;
    for (int i = 0; i < self->count_; ++i) {
      const char* n = self->table_[i].info.name;
      const autochar* p = name;
      for (;; ++n, ++p) {
        auto lower = [](uint32_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
        if (lower(static_cast<unsigned char>(*n)) != lower(*p)) break;
        if (*n == 0) { *dispid = self->table_[i].info.dispid; return AUTO_S_OK; }
      }
    }
    *dispid = -1;
    return AUTO_E_UNKNOWNNAME;
  }
  static int32_t Invoke(AutoDispatch* d, int32_t dispid, uint16_t flags, const AutoVariant* args, uint32_t argc,
                        AutoVariant* result) {
    DispatchObject* self = Self(d);
    if (result) { result->vt = AUTO_VT_EMPTY; result->u.i4 = 0; }
    const Member* m = nullptr;
    for (int i = 0; i < self->count_; ++i)
      if (self->table_[i].info.dispid == dispid) { m = &self->table_[i]; break; }
    if (!m) return AUTO_E_MEMBERNOTFOUND;
    if (argc && !args) return AUTO_E_INVALIDARG;
    if (m->info.kind == AUTO_MEMBER_METHOD) {
      if (!(flags & AUTO_INVOKE_METHOD)) return AUTO_E_MEMBERNOTFOUND;
      return m->call(self->target_.get(), args, argc, result);
    }
    if (flags & AUTO_INVOKE_PROPERTYPUT) {
      if (!m->put) return AUTO_E_MEMBERNOTFOUND;
      return m->put(self->target_.get(), args, argc, nullptr);
    }
    if (flags & (AUTO_INVOKE_PROPERTYGET | AUTO_INVOKE_METHOD)) return m->call(self->target_.get(), args, argc, result);
    return AUTO_E_MEMBERNOTFOUND;
  }
  static int32_t Count(AutoDispatch* d) { return Self(d)->count_; }
  static int32_t Info(AutoDispatch* d, int32_t index, AutoMemberInfo* out) {
    DispatchObject* self = Self(d);
    if (index < 0 || index >= self->count_ || !out) return AUTO_E_INVALIDARG;
    *out = self->table_[index].info;
    return AUTO_S_OK;
  }
  static constexpr AutoDispatchVtbl kVtbl = {AddRef, Release, IdOfName, Invoke, Count, Info};

  Header header_;
  std::atomic<uint32_t> refs_{1};
  std::unique_ptr<T> target_;
  const Member* table_;
  int count_;
};

}  // namespace automation
