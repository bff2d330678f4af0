#include "automation/Host.h"

#include "automation/Registry.h"

#include <dlfcn.h>

namespace automation {

int32_t DispatchPtr::Invoke(int32_t dispid, uint16_t flags, const std::vector<Variant>& args, Variant* result) const {
  if (!p_) return AUTO_E_INVALIDARG;
  std::vector<AutoVariant> raw;
  raw.reserve(args.size());
  for (const auto& a : args) raw.push_back(a.raw());  // borrowed: the callee copies what it keeps
  AutoVariant out{};
  out.vt = AUTO_VT_EMPTY;
  const int32_t hr = p_->lpVtbl->invoke(p_, dispid, flags, raw.data(), static_cast<uint32_t>(raw.size()), &out);
  Variant owned = Variant::Adopt(out);
  if (result) *result = std::move(owned);
  return hr;
}

Variant DispatchPtr::Call(int32_t dispid, std::initializer_list<Variant> args) const {
  Variant r;
  Invoke(dispid, AUTO_INVOKE_METHOD, std::vector<Variant>(args), &r);
  return r;
}

Variant DispatchPtr::Get(int32_t dispid) const {
  Variant r;
  Invoke(dispid, AUTO_INVOKE_PROPERTYGET, {}, &r);
  return r;
}

int32_t DispatchPtr::Put(int32_t dispid, const Variant& value) const {
  return Invoke(dispid, AUTO_INVOKE_PROPERTYPUT, {value});
}

int32_t DispatchPtr::IdOf(const std::u16string& name) const {
  if (!p_) return -1;
  int32_t id = -1;
  return p_->lpVtbl->get_id_of_name(p_, name.c_str(), &id) == AUTO_S_OK ? id : -1;
}

namespace {
void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}
}  // namespace

int32_t CreateObject(const std::string& progId, DispatchPtr& out, std::string* error) {
  out.reset();
  Registry reg;
  if (!reg.Load()) {
    SetError(error, "cannot read the class registry " + reg.path());
    return AUTO_E_CLASSNOTREG;
  }
  const std::string clsid = reg.Get("ProgID\\" + progId, "CLSID");
  const std::string library = clsid.empty() ? std::string() : reg.Get("CLSID\\" + clsid, "InprocServer");
  if (library.empty()) {
    SetError(error, "class not registered: " + progId);
    return AUTO_E_CLASSNOTREG;
  }
  // The library stays loaded for the life of the process: objects and the
  // strings they hand out may outlive any one caller.
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* e = dlerror();
    SetError(error, e ? e : "cannot load " + library);
    return AUTO_E_CLASSNOTAVAILABLE;
  }
  auto getClass = reinterpret_cast<AutoDllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  if (!getClass) {
    SetError(error, library + " has no DllGetClassObject");
    return AUTO_E_CLASSNOTAVAILABLE;
  }
  AutoClassFactory* factory = nullptr;
  int32_t hr = getClass(clsid.c_str(), &factory);
  if (hr != AUTO_S_OK || !factory) {
    SetError(error, "no class factory for " + clsid);
    return hr != AUTO_S_OK ? hr : AUTO_E_CLASSNOTAVAILABLE;
  }
  AutoDispatch* obj = nullptr;
  hr = factory->lpVtbl->create_instance(factory, &obj);
  factory->lpVtbl->release(factory);
  if (hr != AUTO_S_OK || !obj) {
    SetError(error, "the class factory could not create " + progId);
    return hr != AUTO_S_OK ? hr : AUTO_E_FAIL;
  }
  out = DispatchPtr(obj);
  return AUTO_S_OK;
}

int32_t RegisterLibrary(const std::string& libraryPath, bool unregister, std::string* error) {
  void* handle = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* e = dlerror();
    SetError(error, e ? e : "cannot load " + libraryPath);
    return AUTO_E_CLASSNOTAVAILABLE;
  }
  auto fn = reinterpret_cast<AutoDllRegisterServerFn>(
      dlsym(handle, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
  if (!fn) {
    SetError(error, libraryPath + " is not self-registering");
    return AUTO_E_CLASSNOTAVAILABLE;
  }
  return fn();
}

}  // namespace automation
