// Helpers shared by the FLAC, Ogg and Vorbis comment tests: fixtures copied
// into a temporary folder, independent tools run on the written files.
#pragma once

#include "RunCommand.h"
#include "MemberTable.h"
#include "SonavexCtrl.h"
#include "TempDir.h"
#include "automation/Variant.h"
#include "WString.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vorbistest {

inline std::string Fixture(const std::string& area, const std::string& name) {
  return std::string(DJVP_TEST_FIXTURES) + "/" + area + "/" + name;
}

// Copies a fixture into dir under its own name (or as), returns the new path.
inline std::string Copy(const TempDir& dir, const std::string& area, const std::string& name,
                        const std::string& as = "") {
  const std::string to = dir.file(as.empty() ? name : as);
  std::filesystem::copy_file(Fixture(area, name), to, std::filesystem::copy_options::overwrite_existing);
  return to;
}

// Reads a whole file in one piece (quicker than TempDir::Read for large files).
inline std::vector<unsigned char> ReadWhole(const std::string& path) {
  std::vector<unsigned char> data(static_cast<size_t>(std::filesystem::file_size(path)));
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return data;
}

inline sonavex::WString W(const std::string& utf8) { return sonavex::FromUtf8(utf8); }

// Runs a shell command; returns its exit status and (optionally) its output.
inline int Run(const std::string& cmd, std::string* out = nullptr) {
  int status = -1;
  const std::string text = RunCommand(cmd + " 2>&1", &status);
  if (out) *out = text;
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// MD5 of the decoded audio (ffmpeg), to show that a save left it alone.
inline std::string DecodedMd5(const std::string& path) {
  std::string out;
  if (Run("ffmpeg -v error -i " + Quote(path) + " -map 0:a -f md5 -", &out) != 0) return "ffmpeg failed: " + out;
  return out;
}

inline std::string Hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string h;
  for (unsigned char c : s) {
    h += digits[c >> 4];
    h += digits[c & 15];
  }
  return h;
}

// Asks mutagen for the file's comment fields: each pair is a field name and
// its one expected value (UTF-8), or "<absent>" for a field that must not be
// there. Returns "" when everything matches, else what mutagen saw.
inline std::string MutagenCheck(const std::string& path, const std::vector<std::pair<std::string, std::string>>& expect) {
  // The expectations go through a file: long values exceed the limit of one
  // command-line argument.
  std::string list;
  for (const auto& [k, v] : expect) {
    list.append(k).append(1, '=');
    if (v == "<absent>") {
      list.append(1, '-');
    } else {
      list.append(1, 'x').append(Hex(v));
    }
    list.append(1, '\n');
  }
  std::string listPath = (std::filesystem::temp_directory_path() / "djvp-mutagen-XXXXXX").string();
  const int fd = mkstemp(listPath.data());
  if (fd < 0) return "mkstemp failed";
  close(fd);
  TempDir::Write(listPath, list);
  // Double quotes only: the script travels inside single shell quotes.
  const std::string script =
      "import sys, mutagen\n"
      "f = mutagen.File(sys.argv[1])\n"
      "tags = f.tags\n"
      "bad = []\n"
      "for a in open(sys.argv[2]).read().split():\n"
      "    k, v = a.split(\"=\", 1)\n"
      "    got = tags.get(k, None) if tags is not None else None\n"
      "    if v == \"-\":\n"
      "        if got: bad.append(\"%s present: %r\" % (k, got))\n"
      "    else:\n"
      "        want = bytes.fromhex(v[1:]).decode(\"utf-8\")\n"
      "        if got != [want]: bad.append(\"%s: %r != %r\" % (k, got, want))\n"
      "print(chr(10).join(bad))\n";
  std::string out;
  const int rc = Run("/usr/bin/python3 -c " + Quote(script) + " " + Quote(path) + " " + Quote(listPath), &out);
  std::filesystem::remove(listPath);
  if (rc != 0) return "mutagen failed: " + out;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Calls a member of the control by its dispatch number, as a host does:
// a method or a property read (put = false), or a property write.
inline automation::Variant Dispatch(sonavex::CSonavexCtrl& c, int dispid, std::vector<automation::Variant> args = {},
                                    bool put = false) {
  automation::Variant result;
  std::vector<AutoVariant> raw;
  for (const auto& a : args) raw.push_back(a.raw());
  for (int i = 0; i < sonavex::kMemberCount; ++i) {
    const auto& m = sonavex::kMembers[i];
    if (m.info.dispid != dispid) continue;
    const auto thunk = put ? m.put : m.call;
    if (thunk) thunk(&c, raw.data(), static_cast<uint32_t>(raw.size()), result.out());
    break;
  }
  return result;
}

}  // namespace vorbistest
