// The library's entry points: registration in the per-user class registry,
// the class factories of the control and its property page, and the unload
// check.
#include "MemberTable.h"
#include "Module.h"
#include "SonavexCtrl.h"
#include "automation/Registry.h"
#include "automation/Server.h"
#include "sonavex/Sonavex.h"

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <string>


using namespace sonavex;

#define SONAVEX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const std::string kVersion = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
constexpr const char* kMiscStatus = "132241";  // 0x20491

// Absolute path of this library, found from one of its own functions.
std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryPath), &info) == 0 || !info.dli_fname) return {};
  char resolved[4096];
  if (realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

// The property page has no members and holds nothing.
class CSonavexPropPage {};

template <class T>
struct Factory {
  AutoClassFactory iface;
  static uint32_t Release(AutoClassFactory* f) {
    delete reinterpret_cast<Factory*>(f);
    return 0;
  }
  static int32_t Create(AutoClassFactory*, AutoDispatch** out) {
    if (!out) return AUTO_E_INVALIDARG;
    *out = nullptr;
    try {
      if constexpr (std::is_same_v<T, CSonavexCtrl>) {
        auto* obj = new automation::DispatchObject<T>(std::make_unique<T>(), kMembers, kMemberCount);
        *out = obj->iface();
      } else {
        auto* obj = new automation::DispatchObject<T>(std::make_unique<T>(), nullptr, 0);
        *out = obj->iface();
      }
    } catch (const std::bad_alloc&) {
      return AUTO_E_OUTOFMEMORY;
    }
    return AUTO_S_OK;
  }
  static constexpr AutoClassFactoryVtbl kVtbl = {Release, Create};
};

}  // namespace

SONAVEX_EXPORT int32_t DllRegisterServer(void) {
  automation::Registry reg;
  const std::string lib = LibraryPath();
  if (!reg.Load() || lib.empty()) return AUTO_E_SELFREG_TYPELIB;
  // 1. The type library.
  const std::string tl = std::string("TypeLib\\") + SONAVEX_LIBID + "\\" + kVersion;
  reg.Set(tl, "Name", "SONAVEXLib");
  reg.Set(tl, "HelpFile", "Sonavex.hlp");
  reg.Set(tl, "HelpString", "Sonavex2 ActiveX-Modul");
  reg.Set(tl, "Locale", "0x409");
  reg.Set(tl, "Path", lib);
  if (!reg.Save()) return AUTO_E_SELFREG_TYPELIB;
  // 2. The classes.
  const std::string ctrl = std::string("CLSID\\") + SONAVEX_CLSID;
  reg.Set(ctrl, "ProgID", SONAVEX_PROGID);
  reg.Set(ctrl, "Name", "Sonavex2 Control");
  reg.Set(ctrl, "InprocServer", lib);
  reg.Set(ctrl, "ThreadingModel", "Apartment");
  reg.Set(ctrl, "MiscStatus", kMiscStatus);
  reg.Set(ctrl, "Insertable", "");
  reg.Set(ctrl, "ToolboxBitmap", lib + ",1");
  reg.Set(ctrl, "TypeLib", SONAVEX_LIBID);
  reg.Set(ctrl, "Version", kVersion);
  reg.Set(std::string("ProgID\\") + SONAVEX_PROGID, "CLSID", SONAVEX_CLSID);
  const std::string page = std::string("CLSID\\") + SONAVEX_PROPPAGE_CLSID;
  reg.Set(page, "ProgID", SONAVEX_PROPPAGE_PROGID);
  reg.Set(page, "Name", "Sonavex2 Property Page");
  reg.Set(page, "InprocServer", lib);
  reg.Set(page, "ThreadingModel", "Apartment");
  reg.Set(std::string("ProgID\\") + SONAVEX_PROPPAGE_PROGID, "CLSID", SONAVEX_PROPPAGE_CLSID);
  if (!reg.Save()) return AUTO_E_SELFREG_CLASS;
  return AUTO_S_OK;
}

SONAVEX_EXPORT int32_t DllUnregisterServer(void) {
  automation::Registry reg;
  if (!reg.Load()) return AUTO_E_SELFREG_TYPELIB;
  reg.RemoveSection(std::string("TypeLib\\") + SONAVEX_LIBID + "\\" + kVersion);
  if (!reg.Save()) return AUTO_E_SELFREG_TYPELIB;
  reg.RemoveSection(std::string("CLSID\\") + SONAVEX_CLSID);
  reg.RemoveSection(std::string("ProgID\\") + SONAVEX_PROGID);
  reg.RemoveSection(std::string("CLSID\\") + SONAVEX_PROPPAGE_CLSID);
  reg.RemoveSection(std::string("ProgID\\") + SONAVEX_PROPPAGE_PROGID);
  if (!reg.Save()) return AUTO_E_SELFREG_CLASS;
  return AUTO_S_OK;
}

SONAVEX_EXPORT int32_t DllGetClassObject(const char* clsid, AutoClassFactory** out) {
  if (!out || !clsid) return AUTO_E_INVALIDARG;
  *out = nullptr;
  if (strcasecmp(clsid, SONAVEX_CLSID) == 0) {
    auto* f = new Factory<CSonavexCtrl>{{&Factory<CSonavexCtrl>::kVtbl}};
    *out = &f->iface;
    return AUTO_S_OK;
  }
  if (strcasecmp(clsid, SONAVEX_PROPPAGE_CLSID) == 0) {
    auto* f = new Factory<CSonavexPropPage>{{&Factory<CSonavexPropPage>::kVtbl}};
    *out = &f->iface;
    return AUTO_S_OK;
  }
  return AUTO_E_CLASSNOTAVAILABLE;
}

SONAVEX_EXPORT int32_t DllCanUnloadNow(void) {
  return automation::LiveObjectCount().load() == 0 ? AUTO_S_OK : AUTO_S_FALSE;
}

SONAVEX_EXPORT void SonavexSetMessageHandler(SonavexMessageHandler handler, void* user) {
  SetMessageHandler(handler, user);
}
