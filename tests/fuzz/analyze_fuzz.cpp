// Fuzzes the whole read path: the input becomes a file whose extension is
// picked by the first byte (so every reader gets its turn), is analysed, and
// then every member that reads memory is called through the dispatch table.
// Finally the generic save runs on the file, which must never crash.
#include "FuzzFile.h"
#include "MemberTable.h"
#include "SonavexCtrl.h"

#include <cstdint>
#include <string>

namespace {
const char* const kExtensions[] = {".mp3", ".MP2", ".mp1", ".aac", ".wma", ".m4a", ".flac",
                                   ".ogg", ".wav", ".ape", ".mpc", ".bin", "mp3~"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const char* ext = kExtensions[data[0] % (sizeof kExtensions / sizeof kExtensions[0])];
  FuzzFile file(data + 1, size - 1, ext);
  sonavex::CSonavexCtrl ctrl;
  ctrl.AUDIOAnalyzeFile(file.wpath());

  AutoVariant index[1];
  index[0].vt = AUTO_VT_I2;
  for (int i = 0; i < sonavex::kMemberCount; ++i) {
    const auto& m = sonavex::kMembers[i];
    if (m.info.dispid == AUTO_DISPID_ABOUTBOX) continue;
    AutoVariant result{};
    if (m.info.argc == 0) {
      m.call(&ctrl, nullptr, 0, &result);
      autovariant_clear(&result);
    } else if (m.info.argc == 1 && m.info.argTypes[0] == AUTO_VT_I2) {
      for (int16_t k : {0, 1, 2, 3}) {
        index[0].u.i2 = k;
        m.call(&ctrl, index, 1, &result);
        autovariant_clear(&result);
      }
    }
  }
  ctrl.AUDIOSaveChangesToFile(file.wpath());
  return 0;
}
