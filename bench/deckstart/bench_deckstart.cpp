// Deck starts in the main window (offscreen unless QT_QPA_PLATFORM says
// otherwise), on the "No sound" device at the real pace: how long the
// window's thread is held up when Play starts a song, for a 3-minute MP3
// with an encoder's header frame, the same without one (its length must be
// scanned), and a 10-hour MP3 without one, each started alone and as a
// crossfade into the other deck's song with Auto BPM on (whose tempo
// matching waits for the start tempo).
//
// Reported per kind of start, the worst of five: "play ms", the time the
// Play button's handler took on the window's thread (the whole deck start:
// opening the song, its stream, the song start's effects and matching); and
// "loop block ms", the longest the window's event loop was held up while the
// start ran (the longest gap between two runs of a 1 ms timer, less the 1 ms,
// over a second from the press on, the playback and meter timers running);
// and the frames the other deck's sound came late (underruns, aim 0). The
// aim for both times is under 50 ms. The same two figures for a second
// without a start are the baseline.
//
// The songs are made once per machine in a temporary folder with sox and
// lame; the 10-hour one (44.1 kHz, 32 kbit/s, 143 MB) by repeating one frame
// of silence, which is fast. Run: bash scripts/bench.sh, or
// build-bench/bin/bench_deckstart.
#include "app/frmMain.h"
#include "bench/common/EventLoopWatch.h"
#include "bench/common/ProgramWorld.h"
#include "decks/Transport.h"
#include "engine/Engine.h"
#include "platform/Grid.h"
#include "playlists/TrackRow.h"
#include "ui/MainState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace ctl = djvp::ctl;

struct Figures {
  double playMs = 0;
  double loopBlockMs = 0;
  uint64_t underrunFrames = 0;
};

// Runs the event loop for `ms`, calling `press` once after 100 ms; how long
// the press took, the longest the loop was held up, and the frames of sound
// that came late meanwhile.
template <typename Press>
Figures Watch(int ms, Press press) {
  Figures f;
  bool pressed = false;
  const bench::LoopFigures loop = bench::WatchEventLoop([&](int64_t elapsedMs) {
    if (!pressed && elapsedMs >= 100) {
      pressed = true;
      QElapsedTimer took;
      took.start();
      press();
      f.playMs = static_cast<double>(took.nsecsElapsed()) / 1e6;
    }
    return elapsedMs >= ms;
  });
  f.loopBlockMs = loop.longestBlockMs;
  f.underrunFrames = loop.underrunFrames;
  return f;
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// The benchmark's songs, made once per machine; empty when sox or lame is
// missing.
struct Songs {
  std::string short3, short3NoHeader, long10;
};

Songs MakeSongs() {
  const auto dir = std::filesystem::temp_directory_path() / "djvp-bench-deckstart";
  std::filesystem::create_directories(dir);
  Songs s{(dir / "three minutes.mp3").string(), (dir / "three minutes no header.mp3").string(),
          (dir / "ten hours.mp3").string()};
  const std::string wav = (dir / "song.wav").string(), quiet = (dir / "quiet.wav").string(),
                    frames = (dir / "quiet.mp3").string();
  if (!std::filesystem::exists(s.short3) || !std::filesystem::exists(s.short3NoHeader)) {
    if (!Run("sox -q -n -r 44100 -c 2 -b 16 '" + wav + "' synth 180 pinknoise sine 220 vol 0.3") ||
        !Run("lame --quiet -b 192 '" + wav + "' '" + s.short3 + "'") ||
        !Run("lame --quiet -t -b 192 '" + wav + "' '" + s.short3NoHeader + "'"))
      return {};
    std::filesystem::remove(wav);
  }
  if (!std::filesystem::exists(s.long10)) {
    // Frames without a header frame and without the bit reservoir stand
    // alone: one of them, repeated, is a valid ten-hour stream.
    if (!Run("sox -q -n -r 44100 -c 2 -b 16 '" + quiet + "' trim 0 1") ||
        !Run("lame --quiet -t --nores -b 32 --resample 44.1 '" + quiet + "' '" + frames + "'"))
      return {};
    std::ifstream in(frames, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    constexpr size_t kFrame = 104;  // 144 * 32000 / 44100, not padded
    if (bytes.size() < 8 * kFrame) return {};
    // A frame of steady silence past the first two, without the padding
    // byte (104 bytes).
    size_t at = 0;
    for (int k = 0; at + 4 <= bytes.size() && (k < 2 || (bytes[at + 2] & 0x02)); ++k)
      at += kFrame + ((bytes[at + 2] & 0x02) ? 1 : 0);
    if (at + kFrame > bytes.size() || static_cast<unsigned char>(bytes[at]) != 0xFF || (bytes[at + 2] & 0x02))
      return {};
    std::vector<char> block;
    for (int i = 0; i < 10000; ++i) block.insert(block.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                 bytes.begin() + static_cast<std::ptrdiff_t>(at + kFrame));
    const std::string part = s.long10 + ".part";
    {
      std::ofstream out(part, std::ios::binary);
      const size_t total = 36000ull * 44100 / 1152;  // ten hours of frames
      for (size_t n = 0; n < total; n += 10000) out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    std::filesystem::rename(part, s.long10);
    std::filesystem::remove(quiet);
    std::filesystem::remove(frames);
  }
  return s;
}

void Print(const char* what, const std::vector<Figures>& runs) {
  Figures worst;
  for (const Figures& f : runs) {
    worst.playMs = std::max(worst.playMs, f.playMs);
    worst.loopBlockMs = std::max(worst.loopBlockMs, f.loopBlockMs);
    worst.underrunFrames += f.underrunFrames;
  }
  std::printf("%-44s %10.1f %14.1f %12llu\n", what, worst.playMs, worst.loopBlockMs,
              static_cast<unsigned long long>(worst.underrunFrames));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  bench::MakeProgramWorld(dir);
  const Songs songs = MakeSongs();
  if (songs.long10.empty()) {
    std::fprintf(stderr, "sox or lame missing\n");
    return 1;
  }

  auto form = std::make_unique<djvp::frmMain>();
  form->show();
  while (!form->windowHandle() || !form->windowHandle()->isExposed()) QApplication::processEvents();
  djvp::MainState& s = form->State();
  s.Check1[ctl::kAutomix].setChecked(false);
  s.Check1[ctl::kAutoBPM].setChecked(true);
  playlists::AddTrackRow(s, QString::fromStdString(songs.short3), *s.PlayListView[1]);
  auto deck2Plays = [&s](bool on) {
    const bool playing = s.Player(djvp::kDeck2, 0)->IsPlaying() || s.Player(djvp::kDeck2, 1)->IsPlaying();
    if (on && !playing) {
      s.PlayListView[1]->SetCurrentRow(1);
      decks::cmdPlayer_Transport(s, ctl::kDeckButtons + ctl::kPlay);
    }
    if (!on && playing) decks::cmdPlayer_Transport(s, ctl::kDeckButtons + ctl::kStop);
  };

  std::printf("Deck 1's Play on the window's thread; worst of five.\n\n");
  std::printf("%-44s %10s %14s %12s\n", "start", "play ms", "loop block ms", "underruns");
  deck2Plays(true);
  std::vector<Figures> baseline;
  for (int i = 0; i < 5; ++i) baseline.push_back(Watch(1000, [] {}));
  Print("none, deck 2 playing (baseline)", baseline);

  const struct {
    const std::string* file;
    const char* name;
  } kinds[] = {{&songs.short3, "3-minute MP3"},
               {&songs.short3NoHeader, "3-minute MP3 without a header frame"},
               {&songs.long10, "10-hour MP3 without a header frame"}};
  djvp::Grid& deck1 = *s.PlayListView[0];
  for (const auto& kind : kinds) {
    deck1.DeleteAllRows();
    playlists::AddTrackRow(s, QString::fromStdString(*kind.file), deck1);
    // Alone: deck 2 is stopped, deck 1 starts plainly. Crossfade: deck 2
    // plays, deck 1's song comes in over it (its tempo matched to deck 2's).
    for (const bool crossfade : {false, true}) {
      std::vector<Figures> runs;
      for (int i = 0; i < 5; ++i) {
        deck2Plays(crossfade);
        Watch(300, [] {});
        deck1.SetCurrentRow(1);
        runs.push_back(Watch(1000, [&s] { decks::cmdPlayer_Transport(s, ctl::kPlay); }));
        decks::cmdPlayer_Transport(s, ctl::kStop);
      }
      const std::string what = std::string(kind.name) + (crossfade ? ", crossfade" : ", alone");
      Print(what.c_str(), runs);
    }
  }
  return 0;
}
