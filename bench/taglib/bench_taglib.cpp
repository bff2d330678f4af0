// Reading the tags and audio properties of 1,000 files per format, as the
// program reads songs into a playlist: Sonavex2 through the automation ABI
// (a control created by its ProgID; AUDIOAnalyzeFile, then the title and the
// duration) against TagLib reading the same files' tags and properties, in
// the same run. The files are realistic: a 10-second stereo song encoded by
// lame (VBR, with its Xing and LAME headers), flac and oggenc, each copy
// tagged by mutagen (ID3v2.4 for MP3, Vorbis comments) with the usual fields
// and a cover picture: every MP3 a 100 KB one, as most collections have,
// every tenth FLAC and Ogg file a 40 KB one. They are made in a temporary
// folder when the benchmark starts and removed at its end. The last lines
// give Sonavex2's time per format as a ratio to TagLib's.
//
// BM_Save times one save that rewrites an MP3 of them (a new title, through
// ID3V2SaveChangesToFile; the tag with its cover is too large to change in
// place): a file with one name, replaced by a new file, against a file with
// a second name, rewritten in place with its old content kept beside it.
#include "automation/Host.h"
#include "sonavex/Sonavex.h"

#include <benchmark/benchmark.h>
#include <taglib/flacfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kFiles = 1000;

struct Folder {
  std::string path;
  ~Folder() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
};
Folder g_folder;

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::abort();
  }
}

// Encodes the song once per format, copies it kFiles times and tags every
// copy with mutagen. Returns the paths by extension.
const std::map<std::string, std::vector<std::string>>& Files() {
  static const std::map<std::string, std::vector<std::string>> files = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "djvp-bench-XXXXXX").string();
    if (!mkdtemp(dir.data())) std::abort();
    g_folder.path = dir;
    const std::string q = "'" + dir + "'";
    // A song-like signal: chords over a beat and some noise, so that the
    // encoders give real bitrates.
    Shell("sox -R -n -r 44100 -c 2 -b 16 " + q + "/tones.wav synth 10 pluck C3 pluck E3 pluck G3 pluck C4 "
          "tremolo 2 60 2>/dev/null");
    Shell("sox -R -n -r 44100 -c 2 -b 16 " + q + "/noise.wav synth 10 pinknoise vol 0.15 2>/dev/null");
    Shell("sox -R -m " + q + "/tones.wav " + q + "/noise.wav " + q + "/song.wav");
    Shell("lame --quiet -V 2 " + q + "/song.wav " + q + "/song.mp3");
    Shell("flac --silent -5 -o " + q + "/song.flac " + q + "/song.wav");
    Shell("oggenc --quiet -q 5 -o " + q + "/song.ogg " + q + "/song.wav");
    Shell("ffmpeg -loglevel error -y -f lavfi -i testsrc2=s=500x500 -frames:v 1 -q:v 3 " + q + "/cover.jpg");
    Shell("ffmpeg -loglevel error -y -f lavfi -i testsrc2=s=1200x1200 -frames:v 1 -q:v 2 " + q + "/cover100.jpg");
    std::map<std::string, std::vector<std::string>> out;
    for (const std::string ext : {"mp3", "flac", "ogg"}) {
      const std::string sub = dir + "/" + ext;
      std::filesystem::create_directory(sub);
      for (int i = 0; i < kFiles; ++i) {
        const std::string path = sub + "/song" + std::to_string(i) + "." + ext;
        std::filesystem::copy_file(dir + "/song." + ext, path);
        out[ext].push_back(path);
      }
    }
    // One mutagen run tags every copy as taggers do.
    const std::string script = dir + "/tag.py";
    FILE* f = std::fopen(script.c_str(), "w");
    std::fputs(R"PY(import sys, glob, base64
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, TDRC, TCON, TBPM, COMM, APIC
from mutagen.flac import FLAC, Picture
from mutagen.oggvorbis import OggVorbis
d = sys.argv[1]
cover = open(d + "/cover.jpg", "rb").read()
cover100 = open(d + "/cover100.jpg", "rb").read()
def fields(i):
    return {"TITLE": "Title of song %d" % i, "ARTIST": "Artist %d" % (i % 50), "ALBUM": "Album %d" % (i % 80),
            "TRACKNUMBER": str(i % 12 + 1), "DATE": "2019", "GENRE": "House", "BPM": "128"}
for i in range(int(sys.argv[2])):
    f = fields(i)
    t = ID3()
    t.add(TIT2(encoding=3, text=f["TITLE"])); t.add(TPE1(encoding=3, text=f["ARTIST"]))
    t.add(TALB(encoding=3, text=f["ALBUM"])); t.add(TRCK(encoding=3, text=f["TRACKNUMBER"]))
    t.add(TDRC(encoding=3, text=f["DATE"])); t.add(TCON(encoding=3, text=f["GENRE"]))
    t.add(TBPM(encoding=3, text=f["BPM"]))
    t.add(COMM(encoding=3, lang="eng", desc="", text="A comment"))
    t.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="Cover", data=cover100))
    t.save("%s/mp3/song%d.mp3" % (d, i), v2_version=4)
    p = Picture(); p.type = 3; p.mime = "image/jpeg"; p.desc = "Cover"; p.data = cover
    fl = FLAC("%s/flac/song%d.flac" % (d, i))
    for k, v in f.items(): fl[k] = v
    if i % 10 == 0: fl.add_picture(p)
    fl.save()
    og = OggVorbis("%s/ogg/song%d.ogg" % (d, i))
    for k, v in f.items(): og[k] = v
    if i % 10 == 0: og["METADATA_BLOCK_PICTURE"] = base64.b64encode(p.write()).decode("ascii")
    og.save()
)PY",
               f);
    std::fclose(f);
    Shell("/usr/bin/python3 " + script + " " + q + " " + std::to_string(kFiles));
    return out;
  }();
  return files;
}

// The control as a host creates it: registered in a class registry of its
// own, created by its ProgID.
automation::DispatchPtr& Control() {
  static automation::DispatchPtr control = [] {
    const std::string registry = (std::filesystem::temp_directory_path() / "djvp-bench-registry.ini").string();
    setenv("AUTOMATION_REGISTRY_FILE", registry.c_str(), 1);
    std::string error;
    if (automation::RegisterLibrary(SONAVEX_LIBRARY_PATH, false, &error) != AUTO_S_OK) {
      std::fprintf(stderr, "registration failed: %s\n", error.c_str());
      std::abort();
    }
    automation::DispatchPtr c;
    if (automation::CreateObject(SONAVEX_PROGID, c, &error) != AUTO_S_OK) {
      std::fprintf(stderr, "creation failed: %s\n", error.c_str());
      std::abort();
    }
    return c;
  }();
  return control;
}

void BM_Sonavex(benchmark::State& state, const std::string& ext) {
  const auto& files = Files().at(ext);
  const automation::DispatchPtr& c = Control();
  std::vector<std::u16string> paths;
  for (const auto& f : files) paths.emplace_back(f.begin(), f.end());
  for (auto _ : state) {
    for (const auto& p : paths) {
      automation::Variant format, title, duration;
      c.Invoke(SX_AUDIOAnalyzeFile, AUTO_INVOKE_METHOD, {automation::Variant::Str(p)}, &format);
      c.Invoke(SX_AUDIOTitle, AUTO_INVOKE_PROPERTYGET, {}, &title);
      c.Invoke(SX_AUDIOGetDuration, AUTO_INVOKE_METHOD, {}, &duration);
      if (format.raw().u.i2 == 0 || title.str().empty()) state.SkipWithError("a file was not read");
      benchmark::DoNotOptimize(duration.raw().u.r4);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files.size()));
}

template <class File>
void ReadWithTagLib(benchmark::State& state, const std::string& ext) {
  const auto& files = Files().at(ext);
  for (auto _ : state) {
    for (const auto& p : files) {
      File f(p.c_str(), true, TagLib::AudioProperties::Average);
      if (f.tag()->title().isEmpty()) state.SkipWithError("a file was not read");
      benchmark::DoNotOptimize(f.audioProperties()->lengthInMilliseconds());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files.size()));
}

void BM_TagLib(benchmark::State& state, const std::string& ext) {
  if (ext == "mp3") ReadWithTagLib<TagLib::MPEG::File>(state, ext);
  else if (ext == "flac") ReadWithTagLib<TagLib::FLAC::File>(state, ext);
  else ReadWithTagLib<TagLib::Ogg::Vorbis::File>(state, ext);
}

// One save after another into the same song, analysed first as a host
// does; "HardLinked" gives the song a second name before the first save.
void BM_Save(benchmark::State& state, bool hardLinked) {
  const std::filesystem::path dir = std::filesystem::path(g_folder.path) / "save";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / (hardLinked ? "linked.mp3" : "single.mp3")).string();
  std::filesystem::copy_file(Files().at("mp3").front(), path, std::filesystem::copy_options::overwrite_existing);
  if (hardLinked) {
    std::filesystem::remove(dir / "twin.mp3");
    std::filesystem::create_hard_link(path, dir / "twin.mp3");
  }
  const automation::DispatchPtr& c = Control();
  const std::u16string p(path.begin(), path.end());
  int n = 0;
  for (auto _ : state) {
    automation::Variant format, ok;
    c.Invoke(SX_AUDIOAnalyzeFile, AUTO_INVOKE_METHOD, {automation::Variant::Str(p)}, &format);
    c.Invoke(SX_ID3V2Title, AUTO_INVOKE_PROPERTYPUT, {automation::Variant::Str(++n % 2 ? u"Title A" : u"Title B")}, nullptr);
    c.Invoke(SX_ID3V2SaveChangesToFile, AUTO_INVOKE_METHOD, {automation::Variant::Str(p)}, &ok);
    if (format.raw().u.i2 == 0 || ok.raw().u.boolVal == 0) state.SkipWithError("a save failed");
  }
  if (hardLinked && std::filesystem::hard_link_count(path) != 2) state.SkipWithError("the names were split");
}

// Each benchmark runs five times; the ratios use the fastest run of each,
// which other work on the machine disturbs least.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
#define DJVP_READ_BENCH(function, format, ext)                                                            \
  BENCHMARK_CAPTURE(function, format, std::string(ext))                                                   \
      ->Unit(benchmark::kMillisecond)                                                                     \
      ->Repetitions(5)                                                                                    \
      ->DisplayAggregatesOnly(true)                                                                       \
      ->ComputeStatistics("min", Fastest)

DJVP_READ_BENCH(BM_Sonavex, MP3, "mp3");
DJVP_READ_BENCH(BM_TagLib, MP3, "mp3");
DJVP_READ_BENCH(BM_Sonavex, FLAC, "flac");
DJVP_READ_BENCH(BM_TagLib, FLAC, "flac");
DJVP_READ_BENCH(BM_Sonavex, Ogg, "ogg");
DJVP_READ_BENCH(BM_TagLib, Ogg, "ogg");
BENCHMARK_CAPTURE(BM_Save, Rewrite, false)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->DisplayAggregatesOnly(true)
    ->ComputeStatistics("min", Fastest);
BENCHMARK_CAPTURE(BM_Save, HardLinked, true)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->DisplayAggregatesOnly(true)
    ->ComputeStatistics("min", Fastest);

// Collects the fastest run of each benchmark to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Time {
    double real = 0, cpu = 0;
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs) {
      if (r.run_type != Run::RT_Aggregate || r.aggregate_name != "min" || r.error_occurred) continue;
      // "BM_Sonavex/MP3/repeats:5_min" -> "BM_Sonavex/MP3"
      std::string name = r.benchmark_name();
      name = name.substr(0, name.find("/repeats"));
      times_[name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    for (const char* format : {"MP3", "FLAC", "Ogg"}) {
      const auto mine = times_.find(std::string("BM_Sonavex/") + format);
      const auto theirs = times_.find(std::string("BM_TagLib/") + format);
      if (mine == times_.end() || theirs == times_.end() || theirs->second.real <= 0) continue;
      std::printf("ratio %s: Sonavex2 %.1f ms, TagLib %.1f ms per 1,000 files: %.2fx TagLib's time "
                  "(processor time %.2fx)\n",
                  format, mine->second.real, theirs->second.real, mine->second.real / theirs->second.real,
                  mine->second.cpu / theirs->second.cpu);
    }
    const auto plain = times_.find("BM_Save/Rewrite"), linked = times_.find("BM_Save/HardLinked");
    if (plain != times_.end() && linked != times_.end() && plain->second.real > 0)
      std::printf("save of a hard-linked song: %.2f ms against %.2f ms for a new file: %.2fx\n", linked->second.real,
                  plain->second.real, linked->second.real / plain->second.real);
  }

 private:
  std::map<std::string, Time> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Files();  // made before any timing
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
