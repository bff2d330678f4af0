// Helpers shared by the tests of the MPEG audio reader and the end-of-file
// tags (ID3v1, Lyrics3, APE): fixture copies, an independent reader (mutagen
// through Debian's Python) and calls through the control's dispatch table.
#pragma once

#include "RunCommand.h"
#include "MemberTable.h"
#include "Module.h"
#include "SonavexCtrl.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace mpegtest {

inline std::string Fixture(const std::string& name) { return std::string(DJVP_TEST_FIXTURES) + "/mpeg/" + name; }

inline std::u16string W(const std::string& s) { return sonavex::FromUtf8(s); }

using Bytes = std::vector<unsigned char>;

// Copies a fixture into the test's folder and returns the copy's path.
inline std::string Copy(const TempDir& dir, const std::string& fixture, const std::string& as = "") {
  const std::string to = dir.file(as.empty() ? fixture : as);
  std::filesystem::copy_file(Fixture(fixture), to, std::filesystem::copy_options::overwrite_existing);
  return to;
}

inline Bytes Slice(const Bytes& b, size_t from, size_t count) {
  if (from > b.size()) return {};
  count = std::min(count, b.size() - from);
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + count));
}

// Runs a Python snippet under Debian's interpreter (mutagen belongs to it)
// with the given file as sys.argv[1]; returns what it printed.
inline std::string Python(const std::string& code, const std::string& file) {
  TempDir dir;
  const std::string script = dir.file("check.py");
  TempDir::Write(script, code);
  const std::string cmd = "/usr/bin/python3 '" + script + "' '" + file + "' 2>&1";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    pclose(p);
  }
  return out;
}


// ---- dispatch ---------------------------------------------------------------

inline const automation::Member* FindMember(int32_t dispid) {
  for (int i = 0; i < sonavex::kMemberCount; ++i)
    if (sonavex::kMembers[i].info.dispid == dispid) return &sonavex::kMembers[i];
  return nullptr;
}

// The result of a member called by its dispatch number, as the boundary gives it.
struct Result {
  int32_t hr = -1;
  uint16_t vt = AUTO_VT_EMPTY;
  int32_t number = 0;
  float real = 0;
  std::u16string text;
};

inline AutoVariant StrArg(const std::u16string& s) {
  AutoVariant v{};
  v.vt = AUTO_VT_STR;
  v.u.str = autostr_alloc(reinterpret_cast<const autochar*>(s.c_str()));
  return v;
}

inline AutoVariant I2Arg(int16_t n) {
  AutoVariant v{};
  v.vt = AUTO_VT_I2;
  v.u.i2 = n;
  return v;
}

inline Result Call(sonavex::CSonavexCtrl& c, int32_t dispid, std::vector<AutoVariant> args = {}) {
  Result r;
  const automation::Member* m = FindMember(dispid);
  if (!m) return r;
  AutoVariant out{};
  r.hr = m->call(&c, args.data(), static_cast<uint32_t>(args.size()), &out);
  r.vt = out.vt;
  switch (out.vt) {
    case AUTO_VT_I2: r.number = out.u.i2; break;
    case AUTO_VT_I4: r.number = out.u.i4; break;
    case AUTO_VT_BOOL: r.number = out.u.boolVal; break;
    case AUTO_VT_R4: r.real = out.u.r4; break;
    case AUTO_VT_STR:
      if (out.u.str) r.text = std::u16string(reinterpret_cast<const char16_t*>(out.u.str), autostr_len(out.u.str));
      break;
    default: break;
  }
  autovariant_clear(&out);
  for (auto& a : args) autovariant_clear(&a);
  return r;
}

inline int32_t Put(sonavex::CSonavexCtrl& c, int32_t dispid, AutoVariant value) {
  const automation::Member* m = FindMember(dispid);
  if (!m || !m->put) return -1;
  const int32_t hr = m->put(&c, &value, 1, nullptr);
  autovariant_clear(&value);
  return hr;
}

}  // namespace mpegtest
