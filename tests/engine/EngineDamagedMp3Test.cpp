// MP3s damaged at the end, at the head or in the middle play what libmpg123
// plays of them, to the last whole frame; no header frame's count ends a
// song; the length a scan gives is the length that plays; junk is never
// heard as sound; a search through junk is left by the caller's calls to
// the engine's own thread; the decoding library's messages stay off stderr.
// The seeded test damages clean songs of a few kinds at random and compares
// each with libmpg123's or FFmpeg's decoding of the same file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "EngineTestUtil.h"
#include "engine/Decoder.h"
#include "engine/Engine.h"

using namespace enginetest;

namespace {

std::string Damaged(const std::string& name) { return std::string(DJVP_TEST_FIXTURES) + "/damaged/" + name; }

std::vector<unsigned char> Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void Save(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// Frames libmpg123 decodes of a file, as its own player does (gapless, the
// usual limit on the search for the next frame).
int64_t Mpg123Frames(const std::string& path) {
  mpg123_init();
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
  int64_t samples = 0;
  long rate = 0;
  int channels = 1, encoding = 0;
  if (mpg123_open(mh, path.c_str()) == MPG123_OK && mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK) {
    const int bytesPerSample = mpg123_encsize(encoding);
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    off_t num = 0;
    for (int rc; (rc = mpg123_decode_frame(mh, &num, &audio, &bytes)) != MPG123_DONE;) {
      if (rc == MPG123_OK) samples += static_cast<int64_t>(bytes) / bytesPerSample;
      if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
    }
  }
  mpg123_close(mh);
  mpg123_delete(mh);
  return samples / std::max(channels, 1);
}

// Frames FFmpeg decodes of a file (the frames of its first audio stream,
// as its decoder gives them out); -1 when it cannot open the file.
int64_t FfmpegFrames(const std::string& path) {
  av_log_set_level(AV_LOG_QUIET);
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return -1;
  int64_t frames = -1;
  const AVCodec* codec = nullptr;
  const int stream = avformat_find_stream_info(format, nullptr) >= 0
                         ? av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0)
                         : -1;
  AVCodecContext* context = stream >= 0 ? avcodec_alloc_context3(codec) : nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (context && avcodec_parameters_to_context(context, format->streams[stream]->codecpar) >= 0 &&
      avcodec_open2(context, codec, nullptr) >= 0) {
    frames = 0;
    auto drain = [&] {
      while (avcodec_receive_frame(context, frame) >= 0) frames += frame->nb_samples;
    };
    while (av_read_frame(format, packet) >= 0) {
      if (packet->stream_index == stream && avcodec_send_packet(context, packet) >= 0) drain();
      av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    drain();
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  avformat_close_input(&format);
  return frames;
}

// Where the frames of a clean MPEG layer III file start, read from their
// headers (MPEG-1 and MPEG-2, as the test's songs are).
std::vector<size_t> FrameStarts(const std::vector<unsigned char>& bytes) {
  static constexpr int kKbps[2][15] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
                                       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
  static constexpr int kRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};
  std::vector<size_t> starts;
  for (size_t at = 0; at + 4 <= bytes.size() && bytes[at] == 0xFF && (bytes[at + 1] & 0xE0) == 0xE0;) {
    const int mpeg2 = ((bytes[at + 1] >> 3) & 1) ? 0 : 1;
    const int bitrate = kKbps[mpeg2][bytes[at + 2] >> 4] * 1000;
    const int rate = kRates[mpeg2][(bytes[at + 2] >> 2) & 3];
    const size_t size = static_cast<size_t>((mpeg2 ? 72 : 144) * bitrate / rate + ((bytes[at + 2] >> 1) & 1));
    if (size <= 4) break;
    starts.push_back(at);
    at += size;
  }
  return starts;
}

// What a decode stream of `path` gives: its samples, its channels and rate,
// and its length as the whole-file scan gives it before anything is read.
struct Played {
  std::vector<int16_t> samples;
  int channels = 0;
  int rate = 0;
  int64_t scannedBytes = -1;
  int64_t frames() const { return static_cast<int64_t>(samples.size()) / std::max(channels, 1); }
  double seconds() const { return static_cast<double>(frames()) / rate; }
};

Played PlayFile(const std::string& path) {
  Played p;
  const engine::Handle h = engine::OpenFileStream(false, path.c_str(), 0, 0, engine::kDecode | engine::kPrescan);
  EXPECT_NE(h, 0u) << path;
  if (!h) return p;
  p.scannedBytes = engine::Length(h);
  p.rate = static_cast<int>(engine::FileRate(h));
  // Bytes per second over frames per second: the channels.
  p.channels = static_cast<int>(std::lround(engine::SecondsToBytes(h, 1.0) / 2.0 / p.rate));
  p.samples = ReadAll(h);
  engine::FreeStream(h);
  return p;
}

// The loudest stretch of a song: the highest RMS over blocks of 1152 samples.
double Loudest(const std::vector<int16_t>& samples) {
  constexpr size_t kBlock = 1152;
  double loudest = 0;
  for (size_t at = 0; at + kBlock <= samples.size(); at += kBlock) {
    double sum = 0;
    for (size_t i = at; i < at + kBlock; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    loudest = std::max(loudest, std::sqrt(sum / kBlock) / 32768.0);
  }
  return loudest;
}

// Collects what the process writes on stderr while it lives.
class StderrCapture {
 public:
  StderrCapture() : path_(std::filesystem::temp_directory_path() / ("djvp-stderr-" + std::to_string(getpid()))) {
    fflush(stderr);
    saved_ = dup(2);
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  ~StderrCapture() { Stop(); }
  std::string Stop() {
    if (saved_ < 0) return text_;
    fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
    std::ifstream in(path_);
    text_.assign(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(path_);
    return text_;
  }

 private:
  std::filesystem::path path_;
  int saved_ = -1;
  std::string text_;
};

class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/djvp-damage-XXXXXX";
    path_ = mkdtemp(name);
  }
  // DJVP_DAMAGE_KEEP keeps the damaged files, to look into a failure.
  ~TempDir() {
    if (!std::getenv("DJVP_DAMAGE_KEEP")) std::filesystem::remove_all(path_);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace

TEST(EngineDamagedMp3, PlaysWhatLibmpg123PlaysAndTheScanMeasuresIt) {
  engine::DeviceSelect(0);
  // Each file plays exactly the frames libmpg123 decodes of it, and the
  // scan made at the open measures exactly that.
  const char* files[] = {
      "three_tail7.mp3",   // three frames and 7 stray bytes: all three
      "three_cut200.mp3",  // the third frame cut 200 bytes short: two
      "sine_tail7.mp3",    // 3 s with its header frame, 7 stray bytes after it
      "sine_cut.mp3",      // its last frame cut 100 bytes short
      "joined.mp3",        // 0.03 s with a header frame, then the 3 s song (cat)
      "tenth.mp3",         // the header frame counts a tenth of the frames
      "head64k.mp3",       // 64 KB of junk before the song
      "free_tail7.mp3",    // free format (no bit rate in the headers), 7 stray bytes
  };
  for (const char* name : files) {
    SCOPED_TRACE(name);
    const Played p = PlayFile(Damaged(name));
    EXPECT_EQ(p.frames(), Mpg123Frames(Damaged(name)));
    EXPECT_EQ(p.scannedBytes, static_cast<int64_t>(p.samples.size()) * 2) << "the scan measures what plays";
  }
}

TEST_F(ManualClockTest, AHeaderFrameThatCountsLessNeverEndsTheSongOnADeck) {
  // The joined file's first header frame counts 0.03 s of its 3.09 s; the
  // deck plays it all, before and after the background scan has come in,
  // and its length is what played.
  for (bool waitForScan : {false, true}) {
    SCOPED_TRACE(waitForScan);
    const engine::Handle dec =
        engine::OpenFileStream(false, Damaged("joined.mp3").c_str(), 0, 0, engine::kDecode);
    ASSERT_NE(dec, 0u);
    const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
    ASSERT_NE(h, 0u);
    if (waitForScan) engine::WaitForBackgroundWork();
    ASSERT_TRUE(engine::Play(h, true));
    const std::vector<float> first = Render(44100 * 2);
    EXPECT_EQ(engine::IsActive(h), engine::kPlaying);
    EXPECT_GT(Rms(Channel(first, 0), 44100, 88200), 0.2) << "the second second sounds";
    EXPECT_GE(engine::Length(h), engine::Position(h));
    Render(44100 * 2);
    EXPECT_EQ(engine::IsActive(h), engine::kStopped);
    EXPECT_EQ(engine::Length(h), 136107 * 4);
    engine::FreeStream(h);
  }
}

TEST(EngineDamagedMp3, ASearchThroughJunkIsLeftToAThreadThatMayWait) {
  engine::DeviceSelect(0);
  TempDir dir;
  // The 3 s song with 1 MB of random bytes 20 KB in (0.8 s into the song,
  // past what the open reads).
  std::vector<unsigned char> song = Load(Damaged("sine.mp3"));
  std::vector<unsigned char> junk(1 << 20);
  std::mt19937 random(7);
  for (auto& b : junk) b = static_cast<unsigned char>(random());
  song.insert(song.begin() + 20000, junk.begin(), junk.end());
  const std::string path = dir.File("junk1m.mp3");
  Save(path, song);

  // The decoder, read where a caller may not wait, stops short of the junk
  // without ending; read again without that limit, it goes on through it.
  auto d = engine::OpenDecoder(path);
  ASSERT_TRUE(d);
  std::vector<float> block(4096 * 2);
  int64_t before = 0;
  {
    const engine::SearchLimit quick(64 * 1024);
    for (int64_t n; (n = d->Read(block.data(), 4096)) > 0;) before += n;
    EXPECT_TRUE(d->waiting());
    EXPECT_FALSE(d->ended());
  }
  EXPECT_GT(before, 0);
  EXPECT_LT(before, 44100) << "stopped at the junk";
  int64_t after = 0;
  for (int64_t n; (n = d->Read(block.data(), 4096)) > 0;) after += n;
  EXPECT_FALSE(d->waiting());
  EXPECT_TRUE(d->ended());
  EXPECT_NEAR(static_cast<double>(before + after) / 44100, 3.0, 0.17);

  // A seek across the junk on a playing deck returns at once at its place;
  // the sound there follows on the engine's side.
  engine::SetManualClock(true);
  const engine::Handle dec = engine::OpenFileStream(false, path.c_str(), 0, 0, engine::kDecode);
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(engine::Play(h, true));
  Render(4410);
  const int64_t target = engine::SecondsToBytes(h, 2.0);
  ASSERT_TRUE(engine::Seek(h, static_cast<uint64_t>(target)));
  EXPECT_EQ(engine::Position(h), target);
  const std::vector<float> after2s = Render(22050);
  EXPECT_NEAR(Frequency(Channel(after2s, 0), 44100), 440.0, 3.0);
  EXPECT_GT(Rms(Channel(after2s, 0)), 0.3);
  engine::FreeStream(h);
  engine::SetManualClock(false);
}

// Damages clean songs at random and checks each against a reference
// decoding of the same file. DJVP_DAMAGE_CASES sets the number of cases per
// song (default 10; the fuzz script's long run takes many more).
TEST(EngineDamagedMp3, SeededDamageNeverSoundsLouderAndPlaysWhatTheReferencePlays) {
  engine::DeviceSelect(0);
  const char* songs[] = {"chord_cbr.mp3", "chord_vbr.mp3", "chord_plain.mp3", "chord_mpeg2.mp3"};
  const char* env = std::getenv("DJVP_DAMAGE_CASES");
  const int cases = env ? std::max(1, std::atoi(env)) : 10;
  TempDir dir;
  enum Kind { kStray, kCut, kZerosBetween, kInsertRandom, kInsertZeros, kOverwriteRandom, kOverwriteZeros, kKinds };
  const char* kindNames[] = {"stray bytes at the end", "last frames cut", "zeros between frames", "random inserted",
                             "zeros inserted",         "random written over", "zeros written over"};
  int worstCase = -1;
  double worstLoudness = 0, worstInside = 0, worstTight = 0, worstLoose = 0;
  int total = 0, unchecked = 0;
  StderrCapture messages;
  unsigned seed = 1000;
  for (const char* name : songs) {
    const std::vector<unsigned char> clean = Load(Damaged(name));
    const Played reference = PlayFile(Damaged(name));
    ASSERT_GT(reference.frames(), 0);
    const double cleanLoudest = Loudest(reference.samples);
    // The same cases with every compiler and library.
    std::mt19937 random(seed++);
    for (int c = 0; c < cases; ++c, ++total) {
      const Kind kind = static_cast<Kind>(random() % kKinds);
      std::vector<unsigned char> bytes = clean;
      const size_t size = clean.size();
      auto junk = [&random](size_t n, bool zeros) {
        std::vector<unsigned char> out(n, 0);
        if (!zeros)
          for (auto& b : out) b = static_cast<unsigned char>(random());
        return out;
      };
      // The head, the middle or near the end (each draw in a statement of
      // its own: the cases are the same whatever order a compiler gives
      // a call's arguments).
      const size_t head = random() % 512;
      const size_t middle = size / 4 + random() % (size / 2);
      const size_t end = size - 1024 - random() % 2048;
      const size_t where = random() % 3;
      const size_t place = where == 0 ? head : where == 1 ? middle : end;
      const size_t length = size_t{1} << (4 + random() % 13);  // 16 bytes .. 64 KB
      // Damage that breaks no frame plays what libmpg123 plays, to 0.03 s:
      // of the file, or, for stray bytes after the last frame (in which it
      // may find a false frame), of the clean song. Zeros between frames
      // are checked against the clean song too, to 1 s: they may stand
      // for frames that are gone, and the frames after them that reach
      // back across them are left out.
      bool tight = false, mpg123 = false, againstClean = false, insideFrame = false;
      switch (kind) {
        case kStray: {
          const size_t n = 1 + random() % 400;
          const bool zeros = random() % 2;
          const auto tail = junk(n, zeros);
          bytes.insert(bytes.end(), tail.begin(), tail.end());
          tight = mpg123 = againstClean = true;
          break;
        }
        case kCut:
          bytes.resize(size - 1 - random() % 1500);
          tight = mpg123 = true;
          break;
        case kZerosBetween: {
          // Before the first frame that starts from `place` on.
          const std::vector<size_t> starts = FrameStarts(clean);
          const auto next = std::lower_bound(starts.begin(), starts.end(), place);
          const size_t at = next == starts.end() ? size : *next;
          const auto zeros = junk(length, true);
          bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), zeros.begin(), zeros.end());
          mpg123 = againstClean = true;
          break;
        }
        case kInsertRandom:
        case kInsertZeros: {
          const auto j = junk(length, kind == kInsertZeros);
          bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(place), j.begin(), j.end());
          break;
        }
        case kOverwriteRandom:
        case kOverwriteZeros: {
          // At most half of what follows: some of the song is left.
          const size_t n = std::min(length, (size - place) / 2);
          const auto j = junk(n, kind == kOverwriteZeros);
          std::copy(j.begin(), j.end(), bytes.begin() + static_cast<std::ptrdiff_t>(place));
          // Bytes written inside one frame, its header and the others left
          // whole, are decoded as that frame's own data says: no check of
          // the file tells random bytes there from sound.
          const std::vector<size_t> starts = FrameStarts(clean);
          const auto hit = std::lower_bound(starts.begin(), starts.end(), place > 3 ? place - 3 : 0);
          insideFrame = hit == starts.end() || *hit >= place + n;
          break;
        }
        case kKinds: break;
      }
      const std::string path = dir.File("case" + std::to_string(total) + ".mp3");
      Save(path, bytes);
      SCOPED_TRACE(testing::Message() << name << " case " << c << ": " << kindNames[kind] << " at " << place
                                      << ", " << length << " bytes (" << path << ")");
      const Played p = PlayFile(path);
      if (p.rate <= 0) continue;  // reported by PlayFile
      // Tempo detection's decoder (mono, half the rate) reads it to its end
      // as well, without a word on stderr.
      if (auto analysis = engine::OpenAnalysisDecoder(path)) {
        EXPECT_EQ(analysis->channels(), 1);
        std::vector<float> block(4096 * 2);
        while (analysis->Read(block.data(), 4096) > 0) {
        }
      }
      // The length shown after the scan is the length that plays.
      EXPECT_EQ(p.scannedBytes, static_cast<int64_t>(p.samples.size()) * 2);
      // Never louder than the clean song (1 dB for the joins the damage
      // leaves between stretches of the song).
      const double loudness = Loudest(p.samples) / cleanLoudest;
      if (insideFrame) {
        worstInside = std::max(worstInside, loudness);
      } else {
        EXPECT_LE(loudness, 1.12);
        if (loudness > worstLoudness) {
          worstLoudness = loudness;
          worstCase = total;
        }
      }
      // Damage that breaks frames plays what FFmpeg plays, to 1 s.
      const int64_t frames = mpg123 ? Mpg123Frames(againstClean ? Damaged(name) : path) : FfmpegFrames(path);
      if (frames < 0) {
        ++unchecked;  // FFmpeg cannot open what is left of the song
        continue;
      }
      const double difference = std::fabs(p.seconds() - static_cast<double>(frames) / p.rate);
      EXPECT_LE(difference, tight ? 0.03 : 1.0);
      (tight ? worstTight : worstLoose) = std::max(tight ? worstTight : worstLoose, difference);
    }
  }
  EXPECT_EQ(messages.Stop(), "") << "the decoding library's messages stay off stderr";
  auto dB = [](double ratio) { return 20 * std::log10(std::max(ratio, 1e-9)); };
  std::printf("%d damaged songs: loudest %.2f dB against the clean song (case %d), %.2f dB where bytes were "
              "written inside one frame; length off by %.3f s at most where no frame broke, %.3f s where frames "
              "broke (%d that FFmpeg cannot open unchecked)\n",
              total, dB(worstLoudness), worstCase, dB(worstInside), worstTight, worstLoose, unchecked);
}
