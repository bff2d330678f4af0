// Fuzzes the MP4 reader: the input is read as an MP4 file, every item and
// figure is asked for, and each stored cover is written out and must come
// back byte for byte.
#include "FuzzFile.h"
#include "MP4.h"
#include "Module.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonavex;
  FuzzFile file(data, size, ".m4a");
  CMP4 mp4;
  {
    TagFile f;
    if (!f.Open(file.path(), TagFile::Mode::Read)) return 0;
    mp4.State().fileSize = static_cast<int32_t>(size);
    if (!mp4.Read(f)) return 0;
  }
  mp4.GetBitrate();
  mp4.GetVersion();
  mp4.GetChannelMode();
  mp4.GetGenericStrings();
  for (int i = 0; i < CMP4::kSlotCount; ++i) mp4.GetField(i);
  const std::string out = file.path() + ".cover";
  for (int i = -1; i <= 11; ++i) {
    const bool stored = i >= 0 && i < mp4.GetPictureCount() && i < CMP4::kMaxPictures;
    if (mp4.SavePicture(std::u16string(out.begin(), out.end()), i) != stored) __builtin_trap();
    if (!stored) continue;
    const CByteBuffer& p = mp4.Picture(i);
    FILE* f = std::fopen(out.c_str(), "rb");
    if (!f) __builtin_trap();
    std::string got(static_cast<size_t>(p.GetLength()) + 1, '\0');
    const size_t n = std::fread(got.data(), 1, got.size(), f);
    std::fclose(f);
    if (n != static_cast<size_t>(p.GetLength()) || (n && std::memcmp(got.data(), p.GetData(), n) != 0))
      __builtin_trap();
  }
  std::remove(out.c_str());
  return 0;
}
