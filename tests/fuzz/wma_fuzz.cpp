// Fuzzes the WMA reader and its save: the input is read as an ASF file, every
// field is given a new text, and the file is saved. A save that reports
// success must leave a file that reads as WMA again, with the new title and
// with every byte behind the header unchanged.
#include "FuzzFile.h"
#include "Module.h"
#include "WMA.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {
std::vector<uint8_t> Slurp(const std::string& path) {
  std::vector<uint8_t> out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonavex;
  FuzzFile file(data, size, ".wma");
  CWMA wma;
  {
    TagFile f;
    if (!f.Open(file.path(), TagFile::Mode::Read)) return 0;
    wma.State().fileSize = static_cast<int32_t>(size);
    if (!wma.Read(f)) return 0;
  }
  wma.GetChannelMode();
  wma.GetBitrate();
  wma.GetGenericStrings();
  const int64_t oldEnd = wma.HeaderEnd();
  for (int i = 0; i < CWMA::kFieldCount; ++i) wma.SetField(i, wma.GetField(i) + u"x");
  wma.SetField(0, u"Fuzzed title");
  if (!wma.SaveChangesToFile(file.wpath())) return 0;

  // The save walked the whole header, so the old header ended at oldEnd only
  // if the read saw the same; compare the data behind both headers.
  const std::vector<uint8_t> now = Slurp(file.path());
  CWMA again;
  TagFile f;
  if (!f.Open(file.path(), TagFile::Mode::Read)) __builtin_trap();
  again.State().fileSize = static_cast<int32_t>(now.size());
  if (!again.Read(f) || again.GetField(0) != u"Fuzzed title") __builtin_trap();
  const int64_t newEnd = again.HeaderEnd();
  if (static_cast<int64_t>(size) - oldEnd != static_cast<int64_t>(now.size()) - newEnd) __builtin_trap();
  for (int64_t i = 0; i < static_cast<int64_t>(size) - oldEnd; ++i)
    if (data[oldEnd + i] != now[static_cast<size_t>(newEnd + i)]) __builtin_trap();
  return 0;
}
