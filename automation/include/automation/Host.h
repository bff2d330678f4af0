// Host side of the automation boundary: create a registered control by its
// ProgID and call its members by dispatch number or name.
#pragma once

#include "automation/Variant.h"
#include "automation/abi.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace automation {

// Holds one reference to an AutoDispatch object.
class DispatchPtr {
 public:
  DispatchPtr() = default;
  explicit DispatchPtr(AutoDispatch* adopt) : p_(adopt) {}
  DispatchPtr(const DispatchPtr& o) : p_(o.p_) { if (p_) p_->lpVtbl->add_ref(p_); }
  DispatchPtr(DispatchPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  DispatchPtr& operator=(DispatchPtr o) noexcept { std::swap(p_, o.p_); return *this; }
  ~DispatchPtr() { reset(); }
  void reset() { if (p_) { p_->lpVtbl->release(p_); p_ = nullptr; } }
  AutoDispatch* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Calls a member; returns the automation result code, the member's result in
  // *result (when given).
  int32_t Invoke(int32_t dispid, uint16_t flags, const std::vector<Variant>& args, Variant* result = nullptr) const;
  // Method call by number; a failed call gives an empty variant.
  Variant Call(int32_t dispid, std::initializer_list<Variant> args = {}) const;
  Variant Get(int32_t dispid) const;
  int32_t Put(int32_t dispid, const Variant& value) const;
  // Dispatch number of a member by name (without regard to case); -1 if none.
  int32_t IdOf(const std::u16string& name) const;

 private:
  AutoDispatch* p_ = nullptr;
};

// Looks the ProgID up in the class registry, loads the class's library and asks
// its class factory for a new object. AUTO_S_OK, or AUTO_E_CLASSNOTREG when the
// ProgID or its class is not registered, AUTO_E_CLASSNOTAVAILABLE when the
// library cannot be loaded or has no class factory for it.
int32_t CreateObject(const std::string& progId, DispatchPtr& out, std::string* error = nullptr);

// Runs a library's DllRegisterServer / DllUnregisterServer by the library's path.
int32_t RegisterLibrary(const std::string& libraryPath, bool unregister = false, std::string* error = nullptr);

}  // namespace automation
