// A host of the tag library for trials from outside: each run is one
// process that analyses a song and saves it (or reads it many times), so
// that the trials can run several at once, stall or kill them (strace) and
// change the songs between an analysis and a save with other programs.
//
//   driver analyse PATH
//       prints "format=N error=N id3v2=TITLE pictures=N ape=TITLE genre=GENRE"
//   driver save PATH KIND VALUE [--wait]
//       analyses PATH, sets VALUE and saves; with --wait it prints
//       "analysed" after the analysis and saves once a line comes on
//       standard input. Prints "ok" or "fail N"; exit status 0 or 1.
//       KIND: id3v2 (title), id3v2-cover (title and the picture file named
//       by $DRIVER_COVER), ape (title), flac (title), generic (title).
//   driver reads PATH N
//       reads the whole of PATH N times through the library's file reader
//       (as an analysis reads it); prints a hash of what each read saw, or
//       "error N" for a read that could not be made.
#include "Module.h"
#include "SonavexCtrl.h"
#include "TagFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace sonavex;

namespace {

std::u16string W(const char* s) { return FromUtf8(s); }
std::string U(const std::u16string& s) { return ToUtf8(s); }

int Analyse(const char* path) {
  CSonavexCtrl c;
  const int format = c.AUDIOAnalyzeFile(W(path));
  std::printf("format=%d error=%d id3v2=%s pictures=%d ape=%s genre=%s\n", format, c.AUDIOGetLastErrorNumber(),
              U(c.GetID3V2Title()).c_str(), c.ID3V2GetPictures(), U(c.GetAPETitle()).c_str(),
              U(c.GetFLACGenre()).c_str());
  return format != 0 ? 0 : 1;
}

int Save(const char* path, const std::string& kind, const char* value, bool wait) {
  CSonavexCtrl c;
  c.AUDIOAnalyzeFile(W(path));
  if (wait) {
    std::printf("analysed\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
  }
  bool ok = false;
  if (kind == "id3v2" || kind == "id3v2-cover") {
    c.SetID3V2Title(W(value));
    if (kind == "id3v2-cover") {
      const char* cover = std::getenv("DRIVER_COVER");
      c.ID3V2SetPicture(W(cover ? cover : ""), u"Cover", 1, 3, 0);
    }
    ok = c.ID3V2SaveChangesToFile(W(path));
  } else if (kind == "ape") {
    c.SetAPETitle(W(value));
    ok = c.APESaveChangesToFile(W(path));
  } else if (kind == "flac") {
    c.SetFLACTitle(W(value));
    ok = c.FLACSaveChangesToFile(W(path));
  } else if (kind == "generic") {
    c.SetAUDIOTitle(W(value));
    ok = c.AUDIOSaveChangesToFile(W(path));
  } else {
    std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
    return 2;
  }
  if (ok) std::printf("ok\n");
  else std::printf("fail %d\n", c.AUDIOGetLastErrorNumber());
  return ok ? 0 : 1;
}

int Reads(const char* path, int n) {
  std::vector<unsigned char> buffer(1 << 16);
  for (int i = 0; i < n; ++i) {
    TagFile file;
    if (!file.Open(std::string(path), TagFile::Mode::Read)) {
      std::printf("error %d\n", file.Error());
      continue;
    }
    uint64_t hash = 0xcbf29ce484222325ull;
    while (const size_t got = file.Read(buffer.data(), buffer.size()))
      for (size_t k = 0; k < got; ++k) hash = (hash ^ buffer[k]) * 0x100000001b3ull;
    std::printf("%016llx\n", static_cast<unsigned long long>(hash));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "analyse") == 0) return Analyse(argv[2]);
  if (argc >= 5 && std::strcmp(argv[1], "save") == 0)
    return Save(argv[2], argv[3], argv[4], argc >= 6 && std::strcmp(argv[5], "--wait") == 0);
  if (argc >= 4 && std::strcmp(argv[1], "reads") == 0) return Reads(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: driver analyse PATH | save PATH KIND VALUE [--wait] | reads PATH N\n");
  return 2;
}
