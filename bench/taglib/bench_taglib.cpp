// Files per second: AUDIOAnalyzeFile over 1,000 MP3 files with ID3v2 tags,
// and TagLib reading the same files' tags and audio properties.
#include "SonavexCtrl.h"

#include <benchmark/benchmark.h>
#include <taglib/fileref.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kFiles = 1000;

// Removes the generated folder when the program ends.
struct Folder {
  std::string path;
  ~Folder() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
};
Folder g_folder;

// The folder of generated files, made once: the fixture's audio with a tag of
// the usual fields, several comments and (every tenth file) a small picture.
const std::vector<std::string>& Files() {
  static const std::vector<std::string> files = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "djvp-bench-XXXXXX").string();
    if (!mkdtemp(dir.data())) std::abort();
    g_folder.path = dir;
    const std::string fixtures = DJVP_TEST_FIXTURES "/id3v2/";
    std::vector<std::string> out;
    sonavex::CSonavexCtrl c;
    for (int i = 0; i < kFiles; ++i) {
      const std::string path = dir + "/song" + std::to_string(i) + ".mp3";
      std::filesystem::copy_file(fixtures + "plain.mp3", path);
      const std::u16string wpath = sonavex::FromUtf8(path);
      c.AUDIOAnalyzeFile(wpath);
      const std::u16string n = sonavex::FromUtf8(std::to_string(i));
      c.SetID3V2Title(u"Title of song " + n);
      c.SetID3V2Artist(u"Artist " + n);
      c.SetID3V2Album(u"Album");
      c.SetID3V2Genre(u"House");
      c.SetID3V2Track(n);
      c.SetID3V2Year(u"2020");
      c.SetID3V2BeatsPerMinute(u"128");
      c.ID3V2SetComment(1, u"ENG", u"", u"A comment");
      c.ID3V2SetComment(2, u"PEA", u"", u"-3.2");
      c.ID3V2SetComment(3, u"SMP", u"", u"1.5");
      c.ID3V2SetComment(4, u"EMP", u"", u"201.0");
      if (i % 10 == 0) c.ID3V2SetPicture(sonavex::FromUtf8(fixtures + "cover.jpg"), u"Cover", 1, 3, 0);
      if (!c.ID3V2SaveChangesToFile(wpath)) std::abort();
      out.push_back(path);
    }
    return out;
  }();
  return files;
}

void BM_SonavexAnalyzeFile(benchmark::State& state) {
  const auto& files = Files();
  sonavex::CSonavexCtrl c;
  std::vector<std::u16string> paths;
  for (const auto& f : files) paths.push_back(sonavex::FromUtf8(f));
  for (auto _ : state) {
    for (const auto& p : paths) {
      benchmark::DoNotOptimize(c.AUDIOAnalyzeFile(p));
      benchmark::DoNotOptimize(c.GetAUDIOTitle());
      benchmark::DoNotOptimize(c.AUDIOGetDuration());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files.size()));
}
BENCHMARK(BM_SonavexAnalyzeFile)->Unit(benchmark::kMillisecond);

void BM_TagLibReadTagsAndProperties(benchmark::State& state) {
  const auto& files = Files();
  for (auto _ : state) {
    for (const auto& p : files) {
      TagLib::MPEG::File f(p.c_str(), true, TagLib::AudioProperties::Average);
      benchmark::DoNotOptimize(f.tag()->title());
      benchmark::DoNotOptimize(f.audioProperties()->lengthInMilliseconds());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files.size()));
}
BENCHMARK(BM_TagLibReadTagsAndProperties)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
