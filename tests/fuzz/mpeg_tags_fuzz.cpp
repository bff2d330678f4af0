// Fuzzes the MPEG reader and the end-of-file tags with their writers: the
// input becomes an .mp3 file that is analysed, then each tag is saved and
// removed and the three header bits are changed. Saved tags must read back.
#include "FuzzFile.h"
#include "Module.h"
#include "SonavexCtrl.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  FuzzFile file(data + 1, size - 1, ".mp3");
  const std::u16string path = file.wpath();
  sonavex::CSonavexCtrl c;
  c.SetMPEGAnalyzeAllFrames((mode & 1) != 0);
  if (c.AUDIOAnalyzeFile(path) != sonavex::kFormatMPEG) return 0;
  c.MPEGGetFrames();
  c.AUDIOGetDuration();
  c.AUDIOGetBitrate();

  if (mode & 2) {
    c.SetAPETitle(u"fz");
    if (c.APESaveChangesToFile(path)) {
      sonavex::CSonavexCtrl r;
      if (r.AUDIOAnalyzeFile(path) == sonavex::kFormatMPEG && r.GetAPETitle() != u"fz") __builtin_trap();
    }
  }
  if (mode & 4) {
    c.SetLYRICSTitle(u"fz");
    if (c.LYRICSSaveChangesToFile(path)) {
      sonavex::CSonavexCtrl r;
      if (r.AUDIOAnalyzeFile(path) == sonavex::kFormatMPEG && r.GetLYRICSTitle() != u"fz") __builtin_trap();
    }
  }
  if (mode & 8) {
    c.SetID3V1Title(u"fz");
    c.ID3V1SaveChangesToFile(path);
  }
  if (mode & 16) c.MPEGModifyCopyrightBit(path, 1);
  if (mode & 32) c.MPEGModifyPrivateBit(path, 0);
  if (mode & 64) c.APERemoveTagFromFile(path);
  if (mode & 128) c.LYRICSRemoveTagFromFile(path);
  c.ID3V1RemoveTagFromFile(path);
  c.AUDIOAnalyzeFile(path);
  return 0;
}
