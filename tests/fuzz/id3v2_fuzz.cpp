// Fuzzes the ID3v2 tag as an MP3 file: the input is analysed, every reading
// member of the tag runs over its items, the table is changed, and the tag is
// written back and removed. Each write must keep the bytes behind the tag
// (the audio) exactly, and a failed write must leave the file as it was.
#include "FuzzFile.h"
#include "SonavexCtrl.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Size of a leading tag as the writer sees it (0 when the header is no tag).
size_t TagSize(const std::vector<uint8_t>& d) {
  if (d.size() < 10 || d[0] != 'I' || d[1] != 'D' || d[2] != '3' || ((d[6] | d[7] | d[8] | d[9]) & 0x80)) return 0;
  const size_t size = (size_t(d[6]) << 21) | (size_t(d[7]) << 14) | (size_t(d[8]) << 7) | d[9];
  return size + 10 + ((d[5] & 0x10) ? 10 : 0);
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// After a write, either the file is unchanged or its audio is.
void CheckWrite(bool written, const std::vector<uint8_t>& before, const std::string& path, bool tagRemoved) {
  const auto after = ReadAll(path);
  if (!written) {
    Check(after == before);
    return;
  }
  const size_t oldTag = TagSize(before);
  Check(oldTag <= before.size());
  const size_t newTag = tagRemoved ? 0 : TagSize(after);
  Check(newTag <= after.size());
  Check(after.size() - newTag == before.size() - oldTag);
  Check(std::equal(after.begin() + long(newTag), after.end(), before.begin() + long(oldTag)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzFile file(data, size, ".mp3");
  sonavex::CSonavexCtrl ctrl;
  ctrl.AUDIOAnalyzeFile(file.wpath());
  sonavex::CID3V2Tag& tag = ctrl.m_ID3V2;

  // Every reading member over the items that exist and one beyond.
  (void)ctrl.ID3V2GetVersion();
  (void)tag.GetGenericStrings();
  const int used = tag.SlotsInUse();
  for (int n = 0; n <= used + 1 && n <= 210; ++n) {
    const auto i = static_cast<int16_t>(n);
    (void)ctrl.ID3V2GetComment(i), (void)ctrl.ID3V2GetCommentLanguage(i), (void)ctrl.ID3V2GetCommentDescription(i);
    (void)ctrl.ID3V2GetLyric(i), (void)ctrl.ID3V2GetLyricLanguage(i), (void)ctrl.ID3V2GetLyricDescription(i);
    (void)ctrl.ID3V2GetUserFrame(i), (void)ctrl.ID3V2GetUserFrameLanguage(i);
    (void)ctrl.ID3V2GetUserText(i), (void)ctrl.ID3V2GetUserTextDescription(i);
    (void)ctrl.ID3V2GetUserURL(i), (void)ctrl.ID3V2GetUserURLDescription(i);
    (void)ctrl.ID3V2GetSyncLyric(i), (void)ctrl.ID3V2GetSyncLyricLanguage(i), (void)ctrl.ID3V2GetSyncLyricDescription(i);
    (void)ctrl.ID3V2GetSyncLyricTimeFormat(i), (void)ctrl.ID3V2GetSyncLyricContentType(i);
    (void)ctrl.ID3V2GetPictureMime(i), (void)ctrl.ID3V2GetPictureType(i), (void)ctrl.ID3V2GetPictureDescription(i);
  }
#define READ_FIELD(Name, id34, id2, Kind) (void)tag.Get##Name();
  SONAVEX_ID3V2_FIELDS(READ_FIELD)
#undef READ_FIELD

  // Change the table with texts taken from the input, then write and remove.
  std::u16string text;
  for (size_t k = 0; k + 1 < size && k < 64; k += 2) text += static_cast<char16_t>(data[k] | (data[k + 1] << 8));
  tag.SetTitle(text);
  tag.SetComment(1 + (size % 3), u"PEA", text, u"-1.5");
  tag.SetSyncLyric(1, u"ENG", u"", text, 1, 2);
  tag.SetSyncLyric(2, u"ENG", u"", u"[00000001]a\r\n" + text, 1, 2);
  tag.SetUserURL(2, text, text);
  const auto before = ReadAll(file.path());
  const bool written = tag.WriteToFile(file.wpath());
  CheckWrite(written, before, file.path(), false);
  const auto beforeRemoval = ReadAll(file.path());
  const bool removed = tag.RemoveTagFromFile(file.wpath());
  CheckWrite(removed, beforeRemoval, file.path(), true);
  return 0;
}
