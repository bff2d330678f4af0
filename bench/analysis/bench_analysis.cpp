// The library's song analysis in the main window (offscreen unless
// QT_QPA_PLATFORM says otherwise), over 100 three-minute MP3 songs (192
// kbit/s stereo: a kick drum at 125 beats per minute over pink noise and a
// tone, each with an ID3v2 tag made by mutagen): "Calculate the BPM",
// "Calculate the Gain" (mp3gain) and "Calculate the Mixpoints", one after
// the other, while deck 1 plays its playlist on the "No sound" device at the
// real pace.
//
// Reported per run: seconds per song; the longest time the window's event
// loop was held up (the longest gap between two runs of a 1 ms timer, less
// the 1 ms; the aim is one frame, 16 ms); the frames the decks' sound came
// late (underruns, the aim is 0). The same two figures for two seconds
// without a run are the baseline.
//
// Then the same for "Calculate the BPM" and "Calculate the Mixpoints" on one
// long song (10 hours unless --hours=N says otherwise, 0 for none; 64
// kbit/s, its ID3v2 tag without padding, so that each value written makes
// the tag library copy the whole file).
//
// Run: bash scripts/bench.sh, or build-bench/bin/bench_analysis [songs,
// default 100] [--hours=N].
#include "app/frmMain.h"
#include "bench/BenchUtil.h"
#include "bench/common/EventLoopWatch.h"
#include "bench/common/ProgramWorld.h"
#include "decks/Transport.h"
#include "engine/Engine.h"
#include "library/SearchButtons.h"
#include "platform/Grid.h"
#include "playlists/TrackRow.h"
#include "ui/MainState.h"
#include "ui/TrackColumns.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

using Figures = bench::LoopFigures;

// Runs the event loop until `done` says so.
template <typename Done>
Figures Watch(Done done) {
  return bench::WatchEventLoop([&](int64_t) { return done(); });
}

// The benchmark's song, made with sox and lame once per machine in the
// temporary folder; empty when the tools are missing.
std::string MakeBeatSong() {
  const auto dir = std::filesystem::temp_directory_path() / "djvp-bench-analysis";
  std::filesystem::create_directories(dir);
  const std::string mp3 = (dir / "beat180.mp3").string();
  if (std::filesystem::exists(mp3)) return mp3;
  const std::string kick = (dir / "kick.wav").string(), beat = (dir / "beat.wav").string(),
                    bed = (dir / "bed.wav").string(), mix = (dir / "mix.wav").string();
  const std::string cmd =
      "sox -q -n -r 44100 -c 2 -b 16 '" + kick + "' synth 0.15 sine 90-50 fade q 0.002 0.15 0.14 pad 0 0.33 && "
      "sox -q '" + kick + "' '" + beat + "' repeat 374 && "
      "sox -q -n -r 44100 -c 2 -b 16 '" + bed + "' synth 180 pinknoise sine 220 vol 0.15 && "
      "sox -q -m '" + beat + "' '" + bed + "' '" + mix + "' && "
      "lame --quiet -b 192 '" + mix + "' '" + mp3 + ".part' && mv '" + mp3 + ".part' '" + mp3 + "'";
  const int rc = std::system(cmd.c_str());
  for (const std::string& f : {kick, beat, bed, mix}) std::filesystem::remove(f);
  return rc == 0 ? mp3 : std::string();
}

// A song of `hours` hours: the beat song at 64 kbit/s, repeated by ffmpeg
// without decoding, made once per machine; empty when that fails.
std::string MakeLongSong(const std::string& beat, int hours) {
  const auto dir = std::filesystem::temp_directory_path() / "djvp-bench-analysis";
  const std::string mp3 = (dir / ("long" + std::to_string(hours) + "h.mp3")).string();
  if (std::filesystem::exists(mp3)) return mp3;
  const std::string part = (dir / "beat64.mp3").string(), list = (dir / "long.txt").string();
  {
    std::ofstream out(list);
    for (int i = 0; i < hours * 20; ++i) out << "file '" << part << "'\n";  // 3 minutes each
  }
  const std::string cmd = "ffmpeg -v error -y -i '" + beat + "' -c:a libmp3lame -b:a 64k '" + part + "' && "
                          "ffmpeg -v error -y -f concat -safe 0 -i '" + list + "' -c copy -f mp3 '" + mp3 + ".part' && "
                          "mv '" + mp3 + ".part' '" + mp3 + "'";
  const int rc = std::system(cmd.c_str());
  std::filesystem::remove(list);
  return rc == 0 ? mp3 : std::string();
}

// Gives the song a fresh ID3v2 tag without padding (any earlier values
// gone), so the next value written grows the tag.
bool RetagWithoutPadding(const std::string& path) {
  return benchutil::RunChild({"/usr/bin/python3", "-c",
                              "import sys\n"
                              "from mutagen.id3 import ID3, TPE1, TIT2\n"
                              "t = ID3()\n"
                              "t.add(TPE1(encoding=3, text='Long artist'))\n"
                              "t.add(TIT2(encoding=3, text='Long title'))\n"
                              "t.save(sys.argv[1], v2_version=3, padding=lambda info: 0)\n",
                              path},
                             benchutil::Capture::kNothing)
             .status == 0;
}

void Print(const char* what, const Figures& f, int songs) {
  std::printf("%-24s %10.3f %14.1f %12llu\n", what, songs > 0 ? f.seconds / songs : 0.0, f.longestBlockMs,
              static_cast<unsigned long long>(f.underrunFrames));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int songs = 100;
  int hours = 10;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--hours=", 8) == 0)
      hours = std::max(0, std::atoi(argv[i] + 8));
    else if (argv[i][0] != '-')
      songs = std::max(1, std::atoi(argv[i]));
  }
  QApplication app(argc, argv);
  QTemporaryDir dir;
  bench::MakeProgramWorld(dir);

  const std::string song = MakeBeatSong();
  if (song.empty()) {
    std::fprintf(stderr, "sox or lame missing\n");
    return 1;
  }
  const QString music = dir.filePath(QStringLiteral("music"));
  QDir().mkpath(music);
  std::vector<std::string> tagArgs = {"/usr/bin/python3", "-c",
                                      "import sys\n"
                                      "from mutagen.id3 import ID3, TPE1, TIT2, TALB, COMM\n"
                                      "for i, p in enumerate(sys.argv[1:]):\n"
                                      "    t = ID3()\n"
                                      "    t.add(TPE1(encoding=3, text='Artist %d' % i))\n"
                                      "    t.add(TIT2(encoding=3, text='Title %d' % i))\n"
                                      "    t.add(TALB(encoding=3, text='Album'))\n"
                                      "    t.add(COMM(encoding=3, lang='eng', desc='', text='a comment'))\n"
                                      "    t.save(p, v2_version=3)\n"};
  for (int i = 0; i < songs; ++i) {
    const QString to = music + QStringLiteral("/%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
    QFile::copy(QString::fromStdString(song), to);
    tagArgs.push_back(to.toStdString());
  }
  if (benchutil::RunChild(tagArgs, benchutil::Capture::kNothing).status != 0) {
    std::fprintf(stderr, "mutagen (python3-mutagen) missing\n");
    return 1;
  }

  auto form = std::make_unique<djvp::frmMain>();
  form->show();
  while (!form->windowHandle() || !form->windowHandle()->isExposed()) QApplication::processEvents();
  djvp::MainState& s = form->State();
  if (!s.Sonavex1) {
    std::fprintf(stderr, "the tag library could not be created (build the Sonavex2 target)\n");
    return 1;
  }
  // The library from the music folder.
  s.txtSettings[0].setText(music);
  s.optSettings[0].setChecked(false);
  s.optSettings[1].setChecked(true);
  s.cmdSettings[0].click();
  if (s.DummyPlaylist->RowCount() != songs) {
    std::fprintf(stderr, "the library holds %d songs, not %d\n", s.DummyPlaylist->RowCount(), songs);
    return 1;
  }
  // Deck 1 plays (Auto Mix on) a playlist longer than the runs.
  for (int i = 0; i < 10; ++i) playlists::AddTrackRow(s, QString::fromStdString(song), *s.PlayListView[0]);
  decks::cmdPlayer_Transport(s, 7);

  std::printf("%d songs of 3 minutes (MP3, 192 kbit/s); deck 1 playing meanwhile.\n\n", songs);
  std::printf("%-24s %10s %14s %12s\n", "run", "s per song", "longest block", "underruns");
  Print("none (2 s, baseline)", Watch([clock = QElapsedTimer()]() mutable {
          if (!clock.isValid()) clock.start();
          return clock.elapsed() >= 2000;
        }),
        0);
  const struct {
    int button;
    const char* name;
  } runs[] = {{library::kCalculateBPM, "Calculate the BPM"},
              {library::kCalculateGain, "Calculate the Gain"},
              {library::kCalculateMixPoints, "Calculate the Mixpoints"}};
  for (const auto& run : runs) {
    s.DummyPlaylist->View()->selectAll();
    s.cmdSearch[static_cast<size_t>(run.button)].click();
    Print(run.name, Watch([&s] { return !s.AnalysisRunning; }), songs);
  }
  const djvp::Grid& g = *s.DummyPlaylist;
  std::printf("\nfirst song: BPM %s, gain %s, mix points %s .. %s\n", qPrintable(g.TextAt(1, djvp::ui::kBPM)),
              qPrintable(g.TextAt(1, djvp::ui::kGain)), qPrintable(g.TextAt(1, djvp::ui::kStartMixPoint)),
              qPrintable(g.TextAt(1, djvp::ui::kEndMixPoint)));
  if (hours == 0) return 0;

  const std::string longSong = MakeLongSong(song, hours);
  if (longSong.empty()) {
    std::fprintf(stderr, "ffmpeg could not make the long song\n");
    return 1;
  }
  std::printf("\none song of %d hours (MP3, 64 kbit/s, %.0f MB, a tag without padding); deck 1 playing.\n\n",
              hours, static_cast<double>(std::filesystem::file_size(longSong)) / 1e6);
  std::printf("%-24s %10s %14s %12s\n", "run", "s per song", "longest block", "underruns");
  for (const auto& run : {runs[0], runs[2]}) {
    if (!RetagWithoutPadding(longSong)) {
      std::fprintf(stderr, "mutagen could not tag the long song\n");
      return 1;
    }
    s.DummyPlaylist->DeleteAllRows();
    playlists::AddTrackRow(s, QString::fromStdString(longSong), *s.DummyPlaylist);
    s.DummyPlaylist->View()->selectAll();
    s.cmdSearch[static_cast<size_t>(run.button)].click();
    Print(run.name, Watch([&s] { return !s.AnalysisRunning; }), 1);
    std::printf("%-24s BPM %s, mix points %s .. %s\n", "", qPrintable(g.TextAt(1, djvp::ui::kBPM)),
                qPrintable(g.TextAt(1, djvp::ui::kStartMixPoint)), qPrintable(g.TextAt(1, djvp::ui::kEndMixPoint)));
  }
  return 0;
}
