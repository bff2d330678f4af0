// Fuzzes the FLAC and Ogg Vorbis readers and writers directly: the input is
// read as a Vorbis comment block, as FLAC and as Ogg Vorbis; then a comment
// is saved into it as each format. A save that reports success must leave a
// file that the same reader reads back with the written title, and a save
// that fails must leave the file as it was.
#include "FLAC.h"
#include "FuzzFile.h"
#include "Module.h"
#include "OGG.h"
#include "VorbisComment.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<char> Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class Format>
bool ReadAs(Format& f, const std::string& path) {
  sonavex::TagFile file;
  if (!file.Open(path, sonavex::TagFile::Mode::Read)) return false;
  f.State().fileSize = static_cast<int32_t>(file.Length());
  const bool ok = f.Read(file);
  // Every figure must be computable for whatever was read.
  (void)f.GetDuration();
  (void)f.GetBitrate();
  (void)f.IsValid();
  (void)f.GetChannelMode();
  return ok;
}

template <class Format>
void SaveAndCheck(const uint8_t* data, size_t size, const char* ext) {
  FuzzFile file(data, size, ext);
  Format f;
  ReadAs(f, file.path());
  const std::u16string title = u"fuzz title ✓";
  f.m_Comment[sonavex::CVorbisComment::kTitle] = title;
  const std::vector<char> before = Contents(file.path());
  if (f.SaveChangesToFile(file.wpath())) {
    Format back;
    if (!ReadAs(back, file.path()) || back.m_Comment[sonavex::CVorbisComment::kTitle] != title) abort();
  } else if (Contents(file.path()) != before) {
    abort();  // a failed save changed the file
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sonavex::CVorbisComment comment;
  if (comment.Parse(data, size) > size) abort();
  sonavex::CByteBuffer out;
  comment.Serialize(out);

  SaveAndCheck<sonavex::CFLAC>(data, size, ".flac");
  SaveAndCheck<sonavex::COGG>(data, size, ".ogg");
  return 0;
}
