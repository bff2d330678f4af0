#include "engine/Decoder.h"

#include <FLAC/stream_decoder.h>
#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string_view>
#include <type_traits>
#include <utility>

namespace engine {

namespace {

void Fail(OpenFailure* why, OpenError error, int64_t detail = 0) {
  if (why) *why = OpenFailure{error, detail};
}

// A descriptor that closes itself.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      Reset();
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Gives the descriptor up without closing it.
  int Release() { return std::exchange(fd_, -1); }
  void Reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// Opens `path` for reading, never waiting on it: the open does not block
// (a FIFO without a writer, a device) and whatever is not a regular file of
// at least one byte is refused before anything reads from it.
Fd OpenChecked(const std::string& path, OpenFailure* why, struct stat* info = nullptr) {
  Fd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    Fail(why, OpenError::kSystem, errno);
    return Fd();
  }
  struct stat st{};
  if (fstat(fd.get(), &st) != 0) {
    Fail(why, OpenError::kSystem, errno);
    return Fd();
  }
  if (!S_ISREG(st.st_mode)) {
    Fail(why, OpenError::kNotRegular);
    return Fd();
  }
  if (st.st_size == 0) {
    Fail(why, OpenError::kEmpty);
    return Fd();
  }
  // A regular file reads the same either way; the decoders get a plain one.
  const int flags = fcntl(fd.get(), F_GETFL);
  if (flags >= 0) fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  if (info) *info = st;
  return fd;
}

// A copy of `fd` for a decoder to keep, read from the file's start.
Fd Duplicate(int fd) {
  Fd copy(fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (copy.get() >= 0) lseek(copy.get(), 0, SEEK_SET);
  return copy;
}

}  // namespace

// ================================================================ base

struct Decoder::Resampler {
  SwrContext* swr = nullptr;
  int inRate = 0;
  std::vector<float> out;
  ~Resampler() { swr_free(&swr); }
};

Decoder::~Decoder() = default;

int64_t Decoder::ToNative(int64_t frame) const {
  if (outRate_ <= 0 || outRate_ == nativeRate_) return frame;
  return frame * nativeRate_ / outRate_;
}

int64_t Decoder::FromNative(int64_t frame) const {
  if (nativeRate_ <= 0 || outRate_ == nativeRate_) return frame;
  return (frame * outRate_ + nativeRate_ / 2) / nativeRate_;
}

bool Decoder::Setup(int64_t rate, int64_t channels, int64_t length, OpenFailure* why) {
  if (rate < kMinFileRate || rate > kMaxFileRate) {
    Fail(why, OpenError::kRate, rate);
    return false;
  }
  if (channels < 1 || channels > kMaxFileChannels) {
    Fail(why, OpenError::kChannels, channels);
    return false;
  }
  if (length > kMaxFrames) {
    Fail(why, OpenError::kLength, length);
    return false;
  }
  nativeRate_ = static_cast<int>(rate);
  // The tempo stage takes up to kMaxTempoRate: a rate above it is divided by
  // the smallest whole number that brings it there, so that every delivered
  // frame stands for a whole number of the file's.
  const int divisor = (nativeRate_ + kMaxTempoRate - 1) / kMaxTempoRate;
  outRate_ = nativeRate_ / divisor;
  outChannels_ = channels == 1 ? 1 : 2;
  length_ = length > 0 ? FromNative(length) : 0;
  return true;
}

// The tables are plain arrays: a background job may still decode while the
// process ends, after objects with destructors are gone. Up to eight
// channels a format's table names their places; beyond eight the layout is
// the file's own affair: pairs, left and right.
void Decoder::AssignLayout(const Speaker (&layouts)[9][8], int channels, std::vector<Speaker>& out) {
  out.clear();
  if (channels >= 1 && channels <= 8) {
    out.assign(layouts[channels], layouts[channels] + channels);
    return;
  }
  for (int c = 0; c < channels; ++c) out.push_back(c % 2 ? kRightish : kLeftish);
}

void Decoder::VorbisSpeakers(int channels, std::vector<Speaker>& out) {
  static constexpr Speaker kLayouts[9][8] = {
      {},
      {kFC},
      {kFL, kFR},
      {kFL, kFC, kFR},
      {kFL, kFR, kBL, kBR},
      {kFL, kFC, kFR, kBL, kBR},
      {kFL, kFC, kFR, kBL, kBR, kLFE},
      {kFL, kFC, kFR, kSL, kSR, kBC, kLFE},
      {kFL, kFC, kFR, kSL, kSR, kBL, kBR, kLFE},
  };
  AssignLayout(kLayouts, channels, out);
}

void Decoder::FlacSpeakers(int channels, std::vector<Speaker>& out) {
  static constexpr Speaker kLayouts[9][8] = {
      {},
      {kFC},
      {kFL, kFR},
      {kFL, kFR, kFC},
      {kFL, kFR, kBL, kBR},
      {kFL, kFR, kFC, kBL, kBR},
      {kFL, kFR, kFC, kLFE, kBL, kBR},
      {kFL, kFR, kFC, kLFE, kBC, kSL, kSR},
      {kFL, kFR, kFC, kLFE, kBL, kBR, kSL, kSR},
  };
  AssignLayout(kLayouts, channels, out);
}

void Decoder::Remix(const float* data, const float* const* planes, int64_t frames, int channels,
                    const std::vector<Speaker>& speakers) {
  const auto n = static_cast<size_t>(frames);
  const auto ch = static_cast<size_t>(channels);
  const auto out = static_cast<size_t>(outChannels_);
  mixed_.resize(n * out);
  auto at = [&](size_t f, size_t c) { return planes ? planes[c][f] : data[f * ch + c]; };
  if (channels <= 2) {
    for (size_t f = 0; f < n; ++f) {
      const float l = at(f, 0);
      const float r = channels == 2 ? at(f, 1) : l;
      if (out == 1) {
        mixed_[f] = channels == 2 ? 0.5f * (l + r) : l;
      } else {
        mixed_[2 * f] = l;
        mixed_[2 * f + 1] = r;
      }
    }
    return;
  }
  // More channels than the mix takes: each goes to the side it sounds on,
  // the centre and the surrounds a little quieter, the low-frequency channel
  // left out; the sum is scaled so that it cannot clip.
  if (matrixChannels_ != channels || matrixSpeakers_ != speakers) {
    std::vector<Speaker> places = speakers;
    if (places.size() != ch) FlacSpeakers(channels, places);
    std::vector<float> left(ch, 0.0f), right(ch, 0.0f);
    constexpr float kHalfPower = 0.70710678f;
    for (size_t c = 0; c < ch; ++c) {
      switch (places[c]) {
        case kFL: case kLeftish: left[c] = 1.0f; break;
        case kFR: case kRightish: right[c] = 1.0f; break;
        case kFC: left[c] = right[c] = kHalfPower; break;
        case kBL: case kSL: left[c] = kHalfPower; break;
        case kBR: case kSR: right[c] = kHalfPower; break;
        case kBC: left[c] = right[c] = 0.5f; break;
        case kLFE: break;
      }
    }
    float sumL = 0, sumR = 0;
    for (size_t c = 0; c < ch; ++c) {
      sumL += left[c];
      sumR += right[c];
    }
    const float scale = std::max({sumL, sumR, 1.0f});
    matrix_.assign(2 * ch, 0.0f);
    for (size_t c = 0; c < ch; ++c) {
      matrix_[c] = left[c] / scale;
      matrix_[ch + c] = right[c] / scale;
    }
    matrixChannels_ = channels;
    matrixSpeakers_ = speakers;
  }
  for (size_t f = 0; f < n; ++f) {
    float l = 0, r = 0;
    for (size_t c = 0; c < ch; ++c) {
      const float v = at(f, c);
      l += matrix_[c] * v;
      r += matrix_[ch + c] * v;
    }
    if (out == 1) {
      mixed_[f] = 0.5f * (l + r);
    } else {
      mixed_[2 * f] = l;
      mixed_[2 * f + 1] = r;
    }
  }
}

void Decoder::EmitInterleaved(const float* data, int64_t frames, int rate, int channels,
                              const std::vector<Speaker>& speakers) {
  if (frames <= 0 || !data || rate < kMinFileRate || rate > kMaxFileRate || channels < 1 ||
      channels > kMaxFileChannels)
    return;
  if (channels == outChannels_) {
    Push(data, frames, rate);
    return;
  }
  Remix(data, nullptr, frames, channels, speakers);
  Push(mixed_.data(), frames, rate);
}

void Decoder::EmitPlanar(const float* const* planes, int64_t frames, int rate, int channels,
                         const std::vector<Speaker>& speakers) {
  if (frames <= 0 || !planes || rate < kMinFileRate || rate > kMaxFileRate || channels < 1 ||
      channels > kMaxFileChannels)
    return;
  Remix(nullptr, planes, frames, channels, speakers);
  Push(mixed_.data(), frames, rate);
}

int64_t Decoder::FifoFrames() const {
  return static_cast<int64_t>((fifo_.size() - fifoRead_) / static_cast<size_t>(outChannels_));
}

void Decoder::Push(const float* frames, int64_t count, int rate) {
  const auto ch = static_cast<size_t>(outChannels_);
  if (fifoRead_ > 0 && fifoRead_ * 2 >= fifo_.size()) {
    fifo_.erase(fifo_.begin(), fifo_.begin() + static_cast<std::ptrdiff_t>(fifoRead_));
    fifoRead_ = 0;
  }
  // A part at the delivered rate goes straight in, after whatever the
  // resampler still holds of a part before it.
  if (rate == outRate_ && !(resampler_ && resampler_->swr)) {
    fifo_.insert(fifo_.end(), frames, frames + static_cast<size_t>(count) * ch);
    return;
  }
  if (rate == outRate_ || (resampler_ && resampler_->inRate != rate)) Drain();
  if (rate == outRate_) {
    fifo_.insert(fifo_.end(), frames, frames + static_cast<size_t>(count) * ch);
    return;
  }
  if (!resampler_) resampler_ = std::make_unique<Resampler>();
  Resampler& rs = *resampler_;
  if (!rs.swr) {
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, outChannels_);
    if (swr_alloc_set_opts2(&rs.swr, &layout, AV_SAMPLE_FMT_FLT, outRate_, &layout, AV_SAMPLE_FMT_FLT, rate, 0,
                            nullptr) < 0 ||
        swr_init(rs.swr) < 0) {
      swr_free(&rs.swr);
      return;  // this part cannot be converted: it is left out
    }
    rs.inRate = rate;
  }
  const int outMax = swr_get_out_samples(rs.swr, static_cast<int>(count));
  if (outMax <= 0) return;
  rs.out.resize(static_cast<size_t>(outMax) * ch);
  auto* outPtr = reinterpret_cast<uint8_t*>(rs.out.data());
  const auto* inPtr = reinterpret_cast<const uint8_t*>(frames);
  const int got = swr_convert(rs.swr, &outPtr, outMax, &inPtr, static_cast<int>(count));
  if (got > 0) fifo_.insert(fifo_.end(), rs.out.begin(), rs.out.begin() + static_cast<std::ptrdiff_t>(got) * ch);
}

// Lets the resampler give out what it holds back (the end of a part).
void Decoder::Drain() {
  if (!resampler_ || !resampler_->swr) return;
  Resampler& rs = *resampler_;
  const auto ch = static_cast<size_t>(outChannels_);
  for (int guard = 0; guard < 64; ++guard) {
    const int outMax = std::max(swr_get_out_samples(rs.swr, 0), 256);
    rs.out.resize(static_cast<size_t>(outMax) * ch);
    auto* outPtr = reinterpret_cast<uint8_t*>(rs.out.data());
    const int got = swr_convert(rs.swr, &outPtr, outMax, nullptr, 0);
    if (got <= 0) break;
    fifo_.insert(fifo_.end(), rs.out.begin(), rs.out.begin() + static_cast<std::ptrdiff_t>(got) * ch);
  }
  swr_free(&rs.swr);
  rs.inRate = 0;
}

void Decoder::ResetConversion() {
  fifo_.clear();
  fifoRead_ = 0;
  if (resampler_) {
    swr_free(&resampler_->swr);
    resampler_->inRate = 0;
  }
  drained_ = false;
}

int64_t Decoder::Read(float* out, int64_t frames) {
  if (frames <= 0 || ended_ || outChannels_ <= 0) return 0;
  DoTakeOverScan();
  if (exactLength_ && position_ >= length_) {
    ended_ = true;
    return 0;
  }
  if (exactLength_) frames = std::min(frames, length_ - position_);
  const auto ch = static_cast<size_t>(outChannels_);
  int64_t got = 0;
  while (got < frames) {
    const int64_t ready = FifoFrames();
    if (ready > 0) {
      const int64_t take = std::min(ready, frames - got);
      std::memcpy(out + static_cast<size_t>(got) * ch, fifo_.data() + fifoRead_,
                  static_cast<size_t>(take) * ch * sizeof(float));
      fifoRead_ += static_cast<size_t>(take) * ch;
      got += take;
      continue;
    }
    if (drained_) break;
    // Running out of memory for a part the file claims is the end of it.
    bool more = false;
    try {
      more = DecodeMore();
      if (!more) Drain();
    } catch (const std::exception&) {
      more = false;
    }
    if (!more) drained_ = true;
  }
  if (got <= 0) {
    // The data ended early (a file cut short, or a header that promised
    // more): the true end is here, so that positions can reach the length.
    ended_ = true;
    length_ = position_;
    return 0;
  }
  position_ += got;
  if (!exactLength_ && position_ > length_) length_ = position_;
  // The end is reached with the last frame, not only at the next read.
  if (exactLength_ && position_ >= length_) ended_ = true;
  return got;
}

bool Decoder::Seek(int64_t frame) {
  DoTakeOverScan();
  if (frame < 0 || frame > length_) return false;
  if (frame == length_ && exactLength_) {
    // The end itself: nothing more to read, no need to ask the format.
    position_ = frame;
    ended_ = true;
    return true;
  }
  ResetConversion();
  bool moved = false;
  try {
    moved = SeekNative(ToNative(frame));
    if (!moved) {
      // Back to where reading was, so that the position stays true.
      ResetConversion();
      SeekNative(ToNative(position_));
    }
  } catch (const std::exception&) {
    moved = false;
  }
  if (!moved) return false;
  position_ = frame;
  ended_ = false;
  return true;
}

namespace {

// ---------------------------------------------------------------- MPEG audio

void MpegSetUp(mpg123_handle* mh, bool analysis, bool halve) {
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | (analysis ? MPG123_MONO_MIX : 0), 0);
  if (halve) mpg123_param(mh, MPG123_DOWN_SAMPLE, 1, 0);
  // Only float output, at whatever rate and channel count the file has.
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
}

// Once the first frame has been found, a damaged stretch further on, however
// long, is searched through for the next frame instead of ending the song.
void SearchPastDamage(mpg123_handle* mh) { mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0); }

// Whether a tag (ID3v2, ID3v1, APE, Lyrics3) starts at `offset`.
bool TagAt(int fd, off_t offset) {
  char head[11] = {};
  if (offset < 0) return false;
  const ssize_t n = pread(fd, head, sizeof head, offset);
  if (n >= 3 && (std::memcmp(head, "ID3", 3) == 0 || std::memcmp(head, "TAG", 3) == 0)) return true;
  if (n >= 8 && std::memcmp(head, "APETAGEX", 8) == 0) return true;
  return n >= 11 && std::memcmp(head, "LYRICSBEGIN", 11) == 0;
}

// Frames are taken one at a time and each is held back until the next one
// shows whether it was whole: it was when the next frame begins where it
// ends, or a tag does, or the data ends there. A frame that a damaged stretch
// cuts short, and the false frames that the search finds inside the damage,
// are followed by a gap instead; they would sound as loud noise and are left
// out.
bool WholeBefore(int fd, off_t heldEnd, off_t next) {
  return heldEnd < 0 || next == heldEnd || TagAt(fd, heldEnd);
}

// Where the tags at the end of a file (ID3v1, APE, Lyrics3, in any order)
// begin: the end of its audio data.
off_t TrailingTagsStart(int fd) {
  struct stat st{};
  if (fstat(fd, &st) != 0) return -1;
  off_t end = st.st_size;
  auto bytesAt = [fd](off_t at, char* out, size_t n) {
    return at >= 0 && pread(fd, out, n, at) == static_cast<ssize_t>(n);
  };
  char id3[3];
  if (bytesAt(end - 128, id3, 3) && std::memcmp(id3, "TAG", 3) == 0) end -= 128;
  for (int guard = 0; guard < 4; ++guard) {
    unsigned char ape[32];
    char lyrics[15];
    if (bytesAt(end - 32, reinterpret_cast<char*>(ape), 32) && std::memcmp(ape, "APETAGEX", 8) == 0) {
      const uint32_t size = ape[12] | (ape[13] << 8) | (ape[14] << 16) | (static_cast<uint32_t>(ape[15]) << 24);
      const bool header = (ape[23] & 0x80) != 0;
      const off_t start = end - static_cast<off_t>(size) - (header ? 32 : 0);
      if (size < 32 || start < 0) break;
      end = start;
    } else if (bytesAt(end - 15, lyrics, 15) && std::memcmp(lyrics + 6, "LYRICS200", 9) == 0) {
      off_t size = 0;
      for (int i = 0; i < 6; ++i) {
        if (lyrics[i] < '0' || lyrics[i] > '9') return end;
        size = size * 10 + (lyrics[i] - '0');
      }
      const off_t start = end - 15 - size;
      char begin[11];
      if (!bytesAt(start, begin, 11) || std::memcmp(begin, "LYRICSBEGIN", 11) != 0) break;
      end = start;
    } else if (bytesAt(end - 9, lyrics, 9) && std::memcmp(lyrics, "LYRICSEND", 9) == 0) {
      // The older kind has no size: its start is the last "LYRICSBEGIN"
      // within its 5100 bytes at most.
      const off_t from = std::max<off_t>(0, end - 9 - 5100 - 11);
      std::vector<char> area(static_cast<size_t>(end - from));
      if (!bytesAt(from, area.data(), area.size())) break;
      const std::string_view text(area.data(), area.size());
      const size_t at = text.rfind("LYRICSBEGIN");
      if (at == std::string_view::npos) break;
      end = from + static_cast<off_t>(at);
    } else {
      break;
    }
  }
  return end;
}

// Whether the frame held back when the data ended, ending at `heldEnd`, was
// the last one: the audio data ends there (or within it, a file cut short),
// or zeros that a tagger padded with follow it, but not more damage.
bool WholeAtEnd(int fd, off_t heldEnd, off_t audioEnd) {
  if (heldEnd < 0 || heldEnd >= audioEnd || TagAt(fd, heldEnd)) return true;
  constexpr off_t kPadding = 8192;
  if (audioEnd - heldEnd > kPadding) return false;
  char rest[kPadding];
  const ssize_t n = pread(fd, rest, static_cast<size_t>(audioEnd - heldEnd), heldEnd);
  return n > 0 && std::all_of(rest, rest + n, [](char c) { return c == 0; });
}

// What a scan of the whole file found, handed from the scanning thread to
// the decoder.
struct MpegScan {
  std::mutex m;
  bool done = false;
  bool taken = false;
  bool mixedRates = false;  // the file changes its rate somewhere
  bool exact = false;       // `length` is what decoding delivers, to the frame
  off_t length = 0;         // frames at the first rate
  off_t step = 0;
  std::vector<off_t> index;
};

// Reads through a descriptor with pread, so that a scan and a decoder may
// share the open file without moving each other's offset.
struct PreadSource {
  int fd = -1;
  off_t at = 0;
};

mpg123_ssize_t PreadRead(void* handle, void* buffer, size_t bytes) {
  auto* source = static_cast<PreadSource*>(handle);
  for (;;) {
    const ssize_t n = pread(source->fd, buffer, bytes, source->at);
    if (n >= 0) {
      source->at += n;
      return n;
    }
    if (errno != EINTR) return -1;
  }
}

off_t PreadSeek(void* handle, off_t offset, int whence) {
  auto* source = static_cast<PreadSource*>(handle);
  off_t base = 0;
  if (whence == SEEK_CUR) {
    base = source->at;
  } else if (whence == SEEK_END) {
    struct stat st{};
    if (fstat(source->fd, &st) != 0) return -1;
    base = st.st_size;
  } else if (whence != SEEK_SET) {
    errno = EINVAL;
    return -1;
  }
  if (offset < -base) {
    errno = EINVAL;
    return -1;
  }
  source->at = base + offset;
  return source->at;
}

// Reads every frame of the file on `fd` without decoding it and puts what
// it found into `scan`: the length in frames of the first rate, counting
// only whole frames, each part of a file whose rate changes at its own rate
// (libmpg123 counts each part at that part's rate), and the frame index for
// quick far seeks. A file of whole frames in one format takes libmpg123's own
// count, which knows the encoder's delay and padding to the sample.
void ScanMpeg(int fd, MpegScan& scan) {
  {
    std::lock_guard<std::mutex> lock(scan.m);
    if (scan.done) return;
  }
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return;
  PreadSource source{fd, 0};
  MpegSetUp(mh, false, false);
  long firstRate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_replace_reader_handle(mh, &PreadRead, &PreadSeek, nullptr) == MPG123_OK &&
      mpg123_open_handle(mh, &source) == MPG123_OK &&
      mpg123_getformat(mh, &firstRate, &channels, &encoding) == MPG123_OK && firstRate > 0) {
    SearchPastDamage(mh);
    std::vector<std::pair<long, int64_t>> samples;  // of the whole frames, by rate
    auto count = [&samples](long rate, int64_t n) {
      for (auto& [r, total] : samples)
        if (r == rate) {
          total += n;
          return;
        }
      samples.emplace_back(rate, n);
    };
    bool damaged = false, holding = false;
    off_t heldEnd = -1;
    long heldRate = 0;
    int64_t heldSamples = 0;
    // The first frame has been read by the open already.
    int rc = MPG123_OK;
    do {
      mpg123_frameinfo info{};
      if (mpg123_info(mh, &info) != MPG123_OK || info.rate <= 0) break;
      const off_t at = mpg123_framepos(mh);
      if (holding) {
        if (WholeBefore(fd, heldEnd, at))
          count(heldRate, heldSamples);
        else
          damaged = true;
      }
      holding = true;
      heldRate = info.rate;
      heldSamples = mpg123_spf(mh);
      heldEnd = info.framesize > 0 ? at + info.framesize : -1;
      rc = mpg123_framebyframe_next(mh);
    } while (rc == MPG123_OK || rc == MPG123_NEW_FORMAT);
    if (holding && WholeAtEnd(fd, heldEnd, TrailingTagsStart(fd)))
      count(heldRate, heldSamples);
    else if (holding)
      damaged = true;
    const bool mixed = samples.size() > 1;
    off_t length = 0;
    bool exact = false;
    if (!damaged && !mixed) {
      // A header frame whose count the scan does not confirm (a file cut
      // short) leaves the decoder trimming elsewhere than the scan counts.
      long delay = -1;
      const bool header = mpg123_getstate(mh, MPG123_ENC_DELAY, &delay, nullptr) == MPG123_OK && delay >= 0;
      const off_t claimed = mpg123_length(mh);
      if (mpg123_scan(mh) == MPG123_OK) {
        length = mpg123_length(mh);
        exact = !header || length == claimed;
      }
    } else {
      double frames = 0;
      for (const auto& [rate, n] : samples) frames += static_cast<double>(n) * static_cast<double>(firstRate) / rate;
      // The encoder's delay and padding, which decoding leaves out.
      long delay = 0, padding = 0;
      if (mpg123_getstate(mh, MPG123_ENC_DELAY, &delay, nullptr) != MPG123_OK || delay < 0) delay = 0;
      if (mpg123_getstate(mh, MPG123_ENC_PADDING, &padding, nullptr) != MPG123_OK || padding < 0) padding = 0;
      if (frames < static_cast<double>(kMaxFrames))
        length = std::max<off_t>(0, static_cast<off_t>(std::llround(frames)) - delay - padding);
    }
    off_t* offsets = nullptr;
    off_t step = 0;
    size_t fill = 0;
    const bool indexed = mpg123_index(mh, &offsets, &step, &fill) == MPG123_OK && offsets;
    std::lock_guard<std::mutex> lock(scan.m);
    if (length > 0 && !scan.done) {
      scan.mixedRates = mixed;
      scan.exact = exact;
      scan.length = length;
      scan.step = step;
      if (indexed) scan.index.assign(offsets, offsets + fill);
      scan.done = true;
    }
  }
  mpg123_close(mh);
  mpg123_delete(mh);
}

void MpegInit() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

class MpegDecoder final : public Decoder {
 public:
  ~MpegDecoder() override {
    if (mh_) {
      mpg123_close(mh_);
      mpg123_delete(mh_);
    }
  }

  // analysis: mono (the channels mixed), at half the rate with `halve`,
  // which mpg123 decodes for less work than the full sound, and never a
  // scan of the whole file (the length stays the header's or an estimate;
  // seeking reads forward frame by frame).
  bool Open(int fd, const std::string&, OpenFailure* why, bool analysis, bool halve) {
    MpegInit();
    fd_ = Duplicate(fd);
    if (fd_.get() < 0) {
      Fail(why, OpenError::kSystem, errno);
      return false;
    }
    int err = 0;
    mh_ = mpg123_new(nullptr, &err);
    if (!mh_) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    analysis_ = analysis;
    MpegSetUp(mh_, analysis, halve);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_open_fd(mh_, fd_.get()) != MPG123_OK ||
        mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK || encoding != MPG123_ENC_FLOAT_32 ||
        channels < 1 || channels > 2) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    // Until the scan, the length is an estimate, unless the encoder's header
    // frame counts the frames and says how much of the first and last is
    // padding (mpg123 then knows the length to the sample).
    long delay = -1;
    exactLength_ = !analysis && mpg123_getstate(mh_, MPG123_ENC_DELAY, &delay, nullptr) == MPG123_OK && delay >= 0;
    const off_t length = mpg123_length(mh_);
    if (length <= 0) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    if (!Setup(rate, channels, length, why)) return false;
    rate_ = static_cast<int>(rate);
    channels_ = channels;
    SearchPastDamage(mh_);
    // A file without one whole frame has nothing to play. The frames read
    // here wait for the first Read.
    while (!released_ && DecodeMore()) {
    }
    if (!released_) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    return true;
  }

  std::function<void()> ScanJob() override {
    if (analysis_ || scanned_ || scan_) return {};
    auto fd = std::make_shared<Fd>(fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
    if (fd->get() < 0) return {};
    scan_ = std::make_shared<MpegScan>();
    return [scan = scan_, fd] {
      if (scan.use_count() <= 1) return;  // the decoder is gone already
      ScanMpeg(fd->get(), *scan);
    };
  }

 protected:
  bool DecodeMore() override {
    for (;;) {
      off_t num = 0;
      unsigned char* audio = nullptr;
      size_t bytes = 0;
      const int rc = mpg123_decode_frame(mh_, &num, &audio, &bytes);
      if (rc == MPG123_NEW_FORMAT) {
        // The stream goes on in another format (joined files); each part
        // is converted to the one it began with.
        if (!TakeFormat()) {
          Release();
          return false;
        }
        continue;
      }
      if (rc == MPG123_ERR) {
        // A frame that cannot be given out (a false frame in damage whose
        // rate mpg123 cannot halve): it is passed over, and so is the frame
        // held back unless the bad one follows it directly.
        if (holding_ && WholeBefore(fd_.get(), heldEnd_, mpg123_framepos(mh_))) {
          Release();
        } else if (holding_) {
          holding_ = false;
          exactLength_ = false;
        }
        if (SkipFrame()) continue;
      }
      if (rc != MPG123_OK) {
        // The end of the data: the frame held back may have been the last.
        if (holding_ && WholeAtEnd(fd_.get(), heldEnd_, TrailingTagsStart(fd_.get()))) Release();
        holding_ = false;
        return false;
      }
      mpg123_frameinfo info{};
      const int size = mpg123_info(mh_, &info) == MPG123_OK ? info.framesize : 0;
      const off_t at = mpg123_framepos(mh_);
      bool released = false;
      if (holding_) {
        if (WholeBefore(fd_.get(), heldEnd_, at)) {
          released = Release();
        } else {
          // Damage: the header frame's count no longer says how much plays.
          holding_ = false;
          exactLength_ = false;
        }
      }
      Hold(reinterpret_cast<const float*>(audio), bytes / sizeof(float), at, size);
      if (released) return true;
    }
  }

  bool SeekNative(int64_t frame) override {
    holding_ = false;
    const off_t at = mpg123_seek(mh_, static_cast<off_t>(frame), SEEK_SET);
    // mpg123 counts each part of a file that changes its rate at that part's
    // rate: there a seek lands near the place, not on it.
    return at == static_cast<off_t>(frame) || (mixedRates_ && at >= 0);
  }

  // Scanning the whole file makes the length and every seek exact (a file
  // whose rate changes, or that is damaged, gets a measured length, which
  // the end of reading corrects). A file whose scan fails keeps its
  // estimate, corrected when reading reaches its end.
  void DoSettleLength() override {
    if (ended_) exactLength_ = true;  // the end has been read: the length is known
    if (analysis_ || scanned_ || ended_) return;
    if (!scan_) scan_ = std::make_shared<MpegScan>();
    ScanMpeg(fd_.get(), *scan_);
    DoTakeOverScan();
  }

  bool DoTakeOverScan() override {
    if (!scan_) return false;
    std::lock_guard<std::mutex> lock(scan_->m);
    if (!scan_->done || scan_->taken) return false;
    scan_->taken = true;
    scanned_ = true;
    if (scan_->mixedRates) mixedRates_ = true;
    // The scan's index makes far seeks jumps instead of reads.
    if (!scan_->index.empty()) mpg123_set_index(mh_, scan_->index.data(), scan_->step, scan_->index.size());
    // The end has been read: the length is what was read.
    if (ended_ || scan_->length <= 0 || scan_->length > kMaxFrames) return false;
    length_ = FromNative(scan_->length);
    exactLength_ = scan_->exact && !mixedRates_;
    if (!exactLength_ && position_ > length_) length_ = position_;
    if (exactLength_ && position_ >= length_) ended_ = true;
    return true;
  }

 private:
  // Keeps a decoded frame (`count` samples) until the next one shows that it
  // was whole.
  void Hold(const float* samples, size_t count, off_t at, int size) {
    held_.assign(samples, samples + (samples ? count : 0));
    heldRate_ = rate_;
    heldChannels_ = channels_;
    heldEnd_ = size > 0 ? at + size : -1;
    holding_ = true;
  }

  // Takes the format mpg123 gives out now as the one of the frames that
  // follow; false when it is none that can be played.
  bool TakeFormat() {
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK || channels < 1 || channels > 2 ||
        rate < kMinFileRate || rate > kMaxFileRate || encoding != MPG123_ENC_FLOAT_32)
      return false;
    rate_ = static_cast<int>(rate);
    channels_ = channels;
    return true;
  }

  // Goes past the frame mpg123 could not decode to the next one it can, as
  // long as reading goes forward; false at the end.
  bool SkipFrame() {
    for (;;) {
      const off_t before = mpg123_tell_stream(mh_);
      const int rc = mpg123_framebyframe_next(mh_);
      if (rc == MPG123_OK || rc == MPG123_NEW_FORMAT) return TakeFormat();
      if (rc != MPG123_ERR || mpg123_tell_stream(mh_) <= before) return false;
    }
  }

  // Hands the frame held back on; false when none was held.
  bool Release() {
    if (!holding_) return false;
    holding_ = false;
    const auto frames = static_cast<int64_t>(held_.size() / static_cast<size_t>(heldChannels_));
    if (frames <= 0) return true;
    if (heldRate_ != fileRate()) {
      // Its length in the first part's rate is not known before its end.
      mixedRates_ = true;
      exactLength_ = false;
    }
    EmitInterleaved(held_.data(), frames, heldRate_, heldChannels_);
    released_ = true;
    return true;
  }

  mpg123_handle* mh_ = nullptr;
  Fd fd_;
  bool analysis_ = false;
  bool mixedRates_ = false;
  bool scanned_ = false;  // a scan of the whole file has been taken over
  int rate_ = 0;      // of the part being decoded
  int channels_ = 0;  // of the part being decoded
  std::vector<float> held_;  // the frame held back
  int heldRate_ = 0;
  int heldChannels_ = 1;
  off_t heldEnd_ = -1;       // where it ends in the file
  bool holding_ = false;
  bool released_ = false;    // a frame with sound has been handed on
  std::shared_ptr<MpegScan> scan_;
};

// ---------------------------------------------------------------- Ogg Vorbis

size_t VorbisRead(void* ptr, size_t size, size_t count, void* source) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(source));
  if (size == 0) return 0;
  for (;;) {
    const ssize_t n = read(fd, ptr, size * count);
    if (n >= 0) return static_cast<size_t>(n) / size;
    if (errno != EINTR) return 0;
  }
}

int VorbisSeek(void* source, ogg_int64_t offset, int whence) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(source));
  return lseek(fd, static_cast<off_t>(offset), whence) < 0 ? -1 : 0;
}

long VorbisTell(void* source) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(source));
  return static_cast<long>(lseek(fd, 0, SEEK_CUR));
}

class VorbisDecoder final : public Decoder {
 public:
  ~VorbisDecoder() override {
    if (open_) ov_clear(&vf_);
  }

  bool Open(int fd, const std::string&, OpenFailure* why) {
    fd_ = Duplicate(fd);
    const ov_callbacks callbacks{&VorbisRead, &VorbisSeek, nullptr, &VorbisTell};
    if (fd_.get() < 0 ||
        ov_open_callbacks(reinterpret_cast<void*>(static_cast<intptr_t>(fd_.get())), &vf_, nullptr, 0, callbacks) != 0) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    open_ = true;
    const vorbis_info* info = ov_info(&vf_, -1);
    const ogg_int64_t total = ov_pcm_total(&vf_, -1);
    if (!info || total <= 0) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    return Setup(info->rate, info->channels, total, why);
  }

 protected:
  bool DecodeMore() override {
    float** pcm = nullptr;
    int section = 0;
    const long got = ov_read_float(&vf_, &pcm, 4096, &section);
    if (got == OV_HOLE) return true;  // a gap in the data: go on after it
    if (got <= 0) return false;
    // Each link of a chained file has its own rate and channels.
    const vorbis_info* info = ov_info(&vf_, section);
    if (!info) return true;
    const long rate = std::clamp<long>(info->rate, -1, kMaxFileRate + 1);
    if (speakersFor_ != info->channels) {
      VorbisSpeakers(info->channels, speakers_);
      speakersFor_ = info->channels;
    }
    EmitPlanar(pcm, got, static_cast<int>(rate), info->channels, speakers_);
    return true;
  }

  bool SeekNative(int64_t frame) override { return ov_pcm_seek(&vf_, frame) == 0; }

 private:
  OggVorbis_File vf_{};
  Fd fd_;
  bool open_ = false;
  std::vector<Speaker> speakers_;
  int speakersFor_ = -1;
};

// ---------------------------------------------------------------------- FLAC

// The FLAC frame header's checksum (CRC-8, polynomial x^8 + x^2 + x + 1).
uint8_t FlacCrc8(const unsigned char* p, size_t n) {
  uint8_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int b = 0; b < 8; ++b) crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}

// What the stream information says that a frame header must agree with.
struct FlacStream {
  int rate = 0;
  int channels = 0;
  int bits = 0;
  uint32_t fixedBlock = 0;  // the block size of a stream of fixed-size blocks
};

// A frame's place: its first sample and its number of samples.
struct FlacFrameSpan {
  int64_t first = -1;
  int64_t samples = 0;
  int64_t end() const { return first + samples; }
};

// The frame header at p (n bytes available), when it is one of `stream`'s:
// the sync code, fields that agree with the stream information and a
// matching checksum.
FlacFrameSpan FlacFrameAt(const unsigned char* p, size_t n, const FlacStream& stream) {
  FlacFrameSpan none;
  if (n < 6 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8 || (p[3] & 1) != 0) return none;
  const bool variable = (p[1] & 1) != 0;
  const int blockCode = p[2] >> 4, rateCode = p[2] & 0x0F, channelCode = p[3] >> 4, sizeCode = (p[3] >> 1) & 7;
  if (blockCode == 0 || rateCode == 15 || channelCode > 10 || sizeCode == 3) return none;
  if ((channelCode < 8 ? channelCode + 1 : 2) != stream.channels) return none;
  static const int kSizes[8] = {0, 8, 12, 0, 16, 20, 24, 32};
  if (sizeCode != 0 && kSizes[sizeCode] != stream.bits) return none;
  static const int kRates[12] = {0, 88200, 176400, 192000, 8000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};
  if (rateCode >= 1 && rateCode <= 11 && kRates[rateCode] != stream.rate) return none;
  // The frame or sample number, coded like UTF-8 (up to 36 bits).
  size_t at = 4;
  int extra = 0;
  uint64_t number = p[at];
  if (number < 0x80) {
  } else if ((number & 0xE0) == 0xC0) {
    extra = 1, number &= 0x1F;
  } else if ((number & 0xF0) == 0xE0) {
    extra = 2, number &= 0x0F;
  } else if ((number & 0xF8) == 0xF0) {
    extra = 3, number &= 0x07;
  } else if ((number & 0xFC) == 0xF8) {
    extra = 4, number &= 0x03;
  } else if ((number & 0xFE) == 0xFC) {
    extra = 5, number &= 0x01;
  } else if (number == 0xFE && variable) {
    extra = 6, number = 0;
  } else {
    return none;
  }
  if (at + 1 + static_cast<size_t>(extra) + 4 > n) return none;
  for (int i = 0; i < extra; ++i) {
    const unsigned char c = p[++at];
    if ((c & 0xC0) != 0x80) return none;
    number = (number << 6) | (c & 0x3F);
  }
  ++at;
  int64_t samples = 0;
  if (blockCode == 1) {
    samples = 192;
  } else if (blockCode <= 5) {
    samples = int64_t{576} << (blockCode - 2);
  } else if (blockCode == 6) {
    samples = p[at++] + 1;
  } else if (blockCode == 7) {
    samples = ((p[at] << 8) | p[at + 1]) + 1;
    at += 2;
  } else {
    samples = int64_t{256} << (blockCode - 8);
  }
  int coded = 0;
  if (rateCode == 12) {
    coded = p[at++] * 1000;
  } else if (rateCode == 13) {
    coded = (p[at] << 8) | p[at + 1];
    at += 2;
  } else if (rateCode == 14) {
    coded = ((p[at] << 8) | p[at + 1]) * 10;
    at += 2;
  }
  if (rateCode >= 12 && coded != stream.rate) return none;
  if (FlacCrc8(p, at) != p[at]) return none;
  if (!variable && stream.fixedBlock == 0) return none;
  const uint64_t first = variable ? number : number * stream.fixedBlock;
  if (first >= static_cast<uint64_t>(kMaxFrames)) return none;
  return FlacFrameSpan{static_cast<int64_t>(first), samples};
}

// Where the audio of a FLAC file ends, in samples, read from the headers of
// its last frames (each names its place in the stream); -1 when they cannot
// be found. Two frames that follow each other are needed, so that a chance
// match inside the compressed data is not taken for a header.
int64_t MeasureFlacEnd(int fd, const FlacStream& stream, uint32_t maxFrameBytes) {
  struct stat st{};
  if (fstat(fd, &st) != 0 || st.st_size <= 0) return -1;
  const off_t window = std::clamp<off_t>(2 * static_cast<off_t>(maxFrameBytes) + 4096, 256 * 1024, 4 * 1024 * 1024);
  const off_t from = std::max<off_t>(0, st.st_size - window);
  std::vector<unsigned char> tail(static_cast<size_t>(st.st_size - from));
  size_t got = 0;
  while (got < tail.size()) {
    const ssize_t n = pread(fd, tail.data() + got, tail.size() - got, from + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  std::vector<FlacFrameSpan> frames;
  for (size_t i = 0; i + 1 < got; ++i) {
    if (tail[i] != 0xFF || (tail[i + 1] & 0xFE) != 0xF8) continue;
    const FlacFrameSpan f = FlacFrameAt(tail.data() + i, got - i, stream);
    if (f.first >= 0) frames.push_back(f);
  }
  for (size_t k = frames.size(); k-- > 0;) {
    for (size_t j = 0; j < k; ++j)
      if (frames[j].end() == frames[k].first) return frames[k].end();
  }
  return -1;
}

class FlacDecoder final : public Decoder {
 public:
  ~FlacDecoder() override {
    if (dec_) {
      FLAC__stream_decoder_finish(dec_);
      FLAC__stream_decoder_delete(dec_);
    }
  }

  bool Open(int fd, const std::string&, OpenFailure* why) {
    dec_ = FLAC__stream_decoder_new();
    Fd copy = Duplicate(fd);
    FILE* file = copy.get() >= 0 ? fdopen(copy.get(), "rb") : nullptr;
    if (!dec_ || !file) {
      if (file) fclose(file);
      Fail(why, OpenError::kFormat);
      return false;
    }
    copy.Release();  // the FILE has it now
    // Once initialised, the decoder closes the FILE when it finishes.
    if (FLAC__stream_decoder_init_FILE(dec_, file, &Write, &Metadata, &Error, this) !=
        FLAC__STREAM_DECODER_INIT_STATUS_OK) {
      fclose(file);
      Fail(why, OpenError::kFormat);
      return false;
    }
    opening_ = true;
    const bool ok = FLAC__stream_decoder_process_until_end_of_metadata(dec_);
    opening_ = false;
    if (!ok || !haveInfo_ || bits_ < 4 || bits_ > 32) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    // The stream information's count of samples may be missing (0) or
    // wrong; the last frames' headers say where the audio really ends. A
    // count that they do not confirm is not trusted: the end of reading
    // then has the last word.
    const FlacStream stream{rate_, channels_, bits_, minBlock_ == maxBlock_ ? maxBlock_ : 0};
    const int64_t measured = MeasureFlacEnd(fd, stream, maxFrameBytes_);
    int64_t length = total_;
    if (measured > 0 && measured != total_) {
      length = measured;
      exactLength_ = false;
    }
    if (length <= 0) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    return Setup(rate_, channels_, length, why);
  }

 protected:
  bool DecodeMore() override {
    const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(dec_);
    if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED ||
        state == FLAC__STREAM_DECODER_SEEK_ERROR || failed_)
      return false;
    return FLAC__stream_decoder_process_single(dec_) != 0;
  }

  bool SeekNative(int64_t frame) override {
    failed_ = false;
    skipTo_ = -1;
    if (exactLength_) {
      if (FLAC__stream_decoder_seek_absolute(dec_, static_cast<FLAC__uint64>(frame))) return true;
      // A failed seek leaves the decoder needing a flush before it reads again.
      if (FLAC__stream_decoder_get_state(dec_) == FLAC__STREAM_DECODER_SEEK_ERROR) FLAC__stream_decoder_flush(dec_);
      return false;
    }
    // libFLAC's seeking goes by the stream information's count, which is
    // wrong here: the frame is reached by reading forward, from the start
    // when it lies behind what has been decoded. Each frame's header names
    // its first sample, so the place is exact.
    if (frame < next_) {
      if (!FLAC__stream_decoder_reset(dec_)) return false;
      opening_ = true;
      const bool ok = FLAC__stream_decoder_process_until_end_of_metadata(dec_);
      opening_ = false;
      if (!ok) return false;
      next_ = 0;
    }
    skipTo_ = frame;
    return true;
  }

 private:
  // Called from within libFLAC: nothing may be thrown through it.
  static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder* decoder, const FLAC__Frame* frame,
                                              const FLAC__int32* const buffer[], void* data) {
    try {
      return Take(decoder, frame, buffer, data);
    } catch (const std::exception&) {
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
  }
  static FLAC__StreamDecoderWriteStatus Take(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                             const FLAC__int32* const buffer[], void* data) {
    auto* self = static_cast<FlacDecoder*>(data);
    // Nothing of the audio is taken while the metadata is read.
    if (self->opening_) return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    const unsigned blocksize = frame->header.blocksize;
    const int have = static_cast<int>(frame->header.channels);
    const int bits = static_cast<int>(frame->header.bits_per_sample ? frame->header.bits_per_sample : self->bits_);
    const int rate = static_cast<int>(frame->header.sample_rate ? frame->header.sample_rate : self->rate_);
    if (have < 1 || bits < 4 || bits > 32) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    // Where the frame lies in the stream, for a seek that reads forward.
    const int64_t first = frame->header.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
                              ? static_cast<int64_t>(frame->header.number.sample_number)
                              : static_cast<int64_t>(frame->header.number.frame_number) * self->minBlock_;
    self->next_ = first + blocksize;
    unsigned drop = 0;
    if (self->skipTo_ >= 0) {
      if (self->next_ <= self->skipTo_) return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
      drop = static_cast<unsigned>(std::clamp<int64_t>(self->skipTo_ - first, 0, blocksize));
      self->skipTo_ = -1;
    }
    const float scale = 1.0f / static_cast<float>(1ULL << (bits - 1));
    self->planes_.resize(static_cast<size_t>(have));
    self->pointers_.resize(static_cast<size_t>(have));
    for (int c = 0; c < have; ++c) {
      std::vector<float>& plane = self->planes_[static_cast<size_t>(c)];
      plane.resize(blocksize);
      for (unsigned i = 0; i < blocksize; ++i) plane[i] = static_cast<float>(buffer[c][i]) * scale;
      self->pointers_[static_cast<size_t>(c)] = plane.data() + drop;
    }
    if (self->speakersFor_ != have) {
      FlacSpeakers(have, self->speakers_);
      self->speakersFor_ = have;
    }
    self->EmitPlanar(self->pointers_.data(), blocksize - drop, rate, have, self->speakers_);
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }
  static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* meta, void* data) {
    auto* self = static_cast<FlacDecoder*>(data);
    if (meta->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    self->haveInfo_ = true;
    self->rate_ = static_cast<int>(meta->data.stream_info.sample_rate);
    self->channels_ = static_cast<int>(meta->data.stream_info.channels);
    self->bits_ = static_cast<int>(meta->data.stream_info.bits_per_sample);
    self->total_ = static_cast<int64_t>(meta->data.stream_info.total_samples);
    self->minBlock_ = meta->data.stream_info.min_blocksize;
    self->maxBlock_ = meta->data.stream_info.max_blocksize;
    self->maxFrameBytes_ = meta->data.stream_info.max_framesize;
  }
  static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {
    // A damaged frame is skipped by the decoder; nothing to do here.
  }

  FLAC__StreamDecoder* dec_ = nullptr;
  bool opening_ = false;
  bool haveInfo_ = false;
  bool failed_ = false;
  int rate_ = 0;
  int channels_ = 0;
  int bits_ = 0;
  int64_t total_ = 0;
  uint32_t minBlock_ = 0;
  uint32_t maxBlock_ = 0;
  uint32_t maxFrameBytes_ = 0;
  int64_t next_ = 0;     // the sample after the last frame decoded
  int64_t skipTo_ = -1;  // frames before it are left out (a seek reading forward)
  std::vector<std::vector<float>> planes_;
  std::vector<const float*> pointers_;
  std::vector<Speaker> speakers_;
  int speakersFor_ = -1;
};

// -------------------------------------------------------------------- FFmpeg

int AvRead(void* opaque, uint8_t* buf, int size) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(opaque));
  for (;;) {
    const ssize_t n = read(fd, buf, static_cast<size_t>(size));
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return AVERROR_EOF;
    if (errno != EINTR) return AVERROR(errno);
  }
}

int64_t AvSeek(void* opaque, int64_t offset, int whence) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(opaque));
  if (whence & AVSEEK_SIZE) {
    struct stat st{};
    return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
  }
  const off_t at = lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

class FfmpegDecoder final : public Decoder {
 public:
  FfmpegDecoder() { exactLength_ = false; }
  ~FfmpegDecoder() override {
    av_channel_layout_uninit(&speakersLayout_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    if (io_) {
      av_freep(&io_->buffer);
      avio_context_free(&io_);
    }
  }

  bool Open(int fd, const std::string& path, OpenFailure* why) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    Fail(why, OpenError::kFormat);
    fd_ = Duplicate(fd);
    if (fd_.get() < 0) return false;
    constexpr int kIoBuffer = 32768;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    if (!buffer) return false;
    io_ = avio_alloc_context(buffer, kIoBuffer, 0, reinterpret_cast<void*>(static_cast<intptr_t>(fd_.get())),
                             &AvRead, nullptr, &AvSeek);
    if (!io_) {
      av_free(buffer);
      return false;
    }
    format_ = avformat_alloc_context();
    if (!format_) return false;
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The name only hints at the format; the data is read through io_.
    if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(format_, nullptr) < 0) return false;
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) return false;
    AVStream* st = format_->streams[stream_];
    codec_ = avcodec_alloc_context3(codec);
    if (!codec_ || avcodec_parameters_to_context(codec_, st->codecpar) < 0) return false;
    if (avcodec_open2(codec_, codec, nullptr) < 0) return false;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!frame_ || !packet_) return false;
    const int rate = codec_->sample_rate;
    const int channels = codec_->ch_layout.nb_channels;
    timeBase_ = av_q2d(st->time_base);
    startTime_ = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    double length = 0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0 && timeBase_ > 0)
      length = static_cast<double>(st->duration) * timeBase_ * rate;
    else if (format_->duration > 0)
      length = static_cast<double>(format_->duration) / AV_TIME_BASE * rate;
    if (!std::isfinite(length) || length >= static_cast<double>(kMaxFrames)) {
      Fail(why, OpenError::kLength, std::isfinite(length) ? static_cast<int64_t>(kMaxFrames) : 0);
      return false;
    }
    if (!(length >= 0.5)) return false;
    // A length worked out from the bit rate (raw AAC, MP3 without a header)
    // is only a guess; the packets' own durations tell it exactly.
    guessedLength_ = format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    return Setup(rate, channels, static_cast<int64_t>(length + 0.5), why);
  }

 protected:
  // Decodes the next frame and hands it over; false at the end.
  bool DecodeMore() override {
    for (int guard = 0; !finished_ && guard < 1024; ++guard) {
      const int rc = avcodec_receive_frame(codec_, frame_);
      if (rc == 0) {
        Deliver();
        av_frame_unref(frame_);
        return true;
      }
      if (rc != AVERROR(EAGAIN) || draining_) {
        finished_ = true;
        break;
      }
      // The decoder wants input.
      for (;;) {
        if (av_read_frame(format_, packet_) < 0) {
          avcodec_send_packet(codec_, nullptr);
          draining_ = true;
          break;
        }
        if (packet_->stream_index != stream_) {
          av_packet_unref(packet_);
          continue;
        }
        const int sendRc = avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
        if (sendRc < 0 && sendRc != AVERROR(EAGAIN)) continue;  // a bad packet: skip it
        break;
      }
    }
    return !finished_;
  }

  // Reads every packet (without decoding it) and adds up their durations,
  // then goes back to the start; only for a length the header guessed. An
  // ADTS frame's own header gives its rate, which may change midway (the
  // demuxer counts every frame at the first one).
  void DoSettleLength() override {
    if (!guessedLength_ || ended_ || timeBase_ <= 0) return;
    static const int kAdtsRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                       22050, 16000, 12000, 11025, 8000, 7350};
    double seconds = 0;
    bool counted = true, mixed = false;
    int firstRate = 0;
    std::vector<std::pair<int64_t, int64_t>> places;  // packet time stamp, frame on our timeline
    while (av_read_frame(format_, packet_) >= 0) {
      if (packet_->stream_index == stream_) {
        const uint8_t* d = packet_->data;
        if (packet_->pts != AV_NOPTS_VALUE)
          places.emplace_back(packet_->pts, static_cast<int64_t>(std::llround(seconds * fileRate())));
        if (packet_->size >= 7 && d[0] == 0xFF && (d[1] & 0xF6) == 0xF0 && ((d[2] >> 2) & 0x0F) < 13) {
          const int rate = kAdtsRates[(d[2] >> 2) & 0x0F];
          if (firstRate == 0) firstRate = rate;
          mixed |= rate != firstRate;
          seconds += 1024.0 * ((d[6] & 0x03) + 1) / rate;
        } else if (packet_->duration > 0) {
          seconds += static_cast<double>(packet_->duration) * timeBase_;
        } else {
          counted = false;
        }
      }
      av_packet_unref(packet_);
    }
    const double frames = seconds * fileRate();
    if (counted && frames >= 1 && frames < static_cast<double>(kMaxFrames)) {
      length_ = FromNative(static_cast<int64_t>(frames + 0.5));
      exactLength_ = true;
      // The demuxer's time stamps count every frame at the first rate: where
      // the rate changes, they are mapped to our timeline through the
      // packets' places.
      if (mixed) places_ = std::move(places);
    }
    SeekNative(0);
  }

  // A time stamp of the stream on our timeline (the file's first rate, real
  // time), through the packets' places where the rate changes.
  int64_t FrameAt(int64_t pts) const {
    if (!places_.empty()) {
      auto it = std::upper_bound(places_.begin(), places_.end(), pts,
                                 [](int64_t p, const std::pair<int64_t, int64_t>& e) { return p < e.first; });
      if (it != places_.begin()) return std::prev(it)->second;
      return 0;
    }
    const double at = (static_cast<double>(pts) - static_cast<double>(startTime_)) * timeBase_ * fileRate();
    return std::isfinite(at) && std::fabs(at) < 9.0e18 ? static_cast<int64_t>(std::llround(at)) : -1;
  }

  bool SeekNative(int64_t frame) override {
    const double seconds = static_cast<double>(frame) / fileRate();
    const double ticks = timeBase_ > 0 ? seconds / timeBase_ : 0;
    auto ts = static_cast<int64_t>(std::clamp(ticks, 0.0, 9.0e18)) + startTime_;
    if (!places_.empty()) {
      // The last packet that starts at or before the frame.
      auto it = std::upper_bound(places_.begin(), places_.end(), frame,
                                 [](int64_t f, const std::pair<int64_t, int64_t>& e) { return f < e.second; });
      ts = it != places_.begin() ? std::prev(it)->first : places_.front().first;
    }
    if (av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) {
      // Files without an index: go back to the start and decode forward.
      if (av_seek_frame(format_, stream_, startTime_, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0) return false;
    }
    avcodec_flush_buffers(codec_);
    draining_ = false;
    finished_ = false;
    skipTo_ = frame;
    next_ = -1;
    return true;
  }

 private:
  // The frame in frame_ as float samples, from where the last seek went on.
  void Deliver() {
    const int count = frame_->nb_samples;
    const int channels = frame_->ch_layout.nb_channels;
    const int rate = frame_->sample_rate > 0 ? frame_->sample_rate : codec_->sample_rate;
    if (count <= 0 || static_cast<int64_t>(count) * channels > (1 << 24) || channels < 1 ||
        channels > kMaxFileChannels || rate < kMinFileRate || rate > kMaxFileRate)
      return;
    const auto format = static_cast<AVSampleFormat>(frame_->format);
    if (!Readable(format, channels)) return;
    // Where this frame starts on the file's own timeline (its first rate).
    const double scale = static_cast<double>(fileRate()) / rate;
    int64_t start = next_;
    const int64_t pts = frame_->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE && timeBase_ > 0) {
      const int64_t at = FrameAt(pts);
      if (at >= 0) start = at;
    }
    if (start < 0 && next_ < 0) start = 0;
    if (start < 0) start = next_;
    const auto span = static_cast<int64_t>(std::llround(count * scale));
    next_ = start + span;
    int drop = 0;
    if (skipTo_ >= 0) {
      if (start + span <= skipTo_) return;  // wholly before the seek target
      drop = static_cast<int>(std::clamp<int64_t>(std::llround((skipTo_ - start) / scale), 0, count));
      skipTo_ = -1;
    }
    if (drop >= count) return;
    Speakers(channels);
    const auto first = static_cast<size_t>(drop);
    const auto n = static_cast<size_t>(count - drop);
    const auto ch = static_cast<size_t>(channels);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    // Float samples (what most codecs give) go on as they are.
    if (av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_FLT) {
      if (!planar) {
        EmitInterleaved(reinterpret_cast<const float*>(frame_->extended_data[0]) + first * ch, count - drop, rate,
                        channels, speakers_);
        return;
      }
      planes_.resize(ch);
      for (size_t c = 0; c < ch; ++c) planes_[c] = reinterpret_cast<const float*>(frame_->extended_data[c]) + first;
      EmitPlanar(planes_.data(), count - drop, rate, channels, speakers_);
      return;
    }
    converted_.resize(n * ch);
    switch (av_get_packed_sample_fmt(format)) {
      case AV_SAMPLE_FMT_U8: Interleave<uint8_t>(planar, first, n, ch); break;
      case AV_SAMPLE_FMT_S16: Interleave<int16_t>(planar, first, n, ch); break;
      case AV_SAMPLE_FMT_S32: Interleave<int32_t>(planar, first, n, ch); break;
      case AV_SAMPLE_FMT_S64: Interleave<int64_t>(planar, first, n, ch); break;
      case AV_SAMPLE_FMT_DBL: Interleave<double>(planar, first, n, ch); break;
      default: return;
    }
    EmitInterleaved(converted_.data(), count - drop, rate, channels, speakers_);
  }

  // Whether frame_ holds samples of a format that is sound, with a plane for
  // every channel.
  bool Readable(AVSampleFormat format, int channels) const {
    switch (av_get_packed_sample_fmt(format)) {
      case AV_SAMPLE_FMT_U8:
      case AV_SAMPLE_FMT_S16:
      case AV_SAMPLE_FMT_S32:
      case AV_SAMPLE_FMT_S64:
      case AV_SAMPLE_FMT_FLT:
      case AV_SAMPLE_FMT_DBL: break;
      default: return false;
    }
    if (!frame_->extended_data) return false;
    const int planes = av_sample_fmt_is_planar(format) ? channels : 1;
    for (int c = 0; c < planes; ++c)
      if (!frame_->extended_data[c]) return false;
    return true;
  }

  // One sample as a float of full scale -1..1.
  template <typename T>
  static float Unit(T v) {
    if constexpr (std::is_same_v<T, uint8_t>) {
      return (static_cast<float>(v) - 128.0f) * (1.0f / 128.0f);
    } else if constexpr (std::is_same_v<T, int16_t>) {
      return static_cast<float>(v) * (1.0f / 32768.0f);
    } else if constexpr (std::is_same_v<T, int32_t>) {
      return static_cast<float>(static_cast<double>(v) * (1.0 / 2147483648.0));
    } else if constexpr (std::is_same_v<T, int64_t>) {
      return static_cast<float>(static_cast<double>(v) * (1.0 / 9223372036854775808.0));
    } else {
      return static_cast<float>(v);
    }
  }

  // Samples [first, first + n) of every channel of frame_, whose samples
  // are of type T, as interleaved floats in converted_. The format is chosen
  // once per frame, so that the loops are plain conversions.
  template <typename T>
  void Interleave(bool planar, size_t first, size_t n, size_t ch) {
    float* out = converted_.data();
    if (!planar) {
      const T* in = reinterpret_cast<const T*>(frame_->extended_data[0]) + first * ch;
      for (size_t i = 0; i < n * ch; ++i) out[i] = Unit(in[i]);
      return;
    }
    for (size_t c = 0; c < ch; ++c) {
      const T* in = reinterpret_cast<const T*>(frame_->extended_data[c]) + first;
      for (size_t i = 0; i < n; ++i) out[i * ch + c] = Unit(in[i]);
    }
  }

  void Speakers(int channels) {
    const AVChannelLayout& layout = frame_->ch_layout;
    if (speakersFor_ == channels && av_channel_layout_compare(&layout, &speakersLayout_) == 0) return;
    speakers_.clear();
    for (int c = 0; c < channels; ++c) {
      Speaker place = c % 2 ? kRightish : kLeftish;
      switch (av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(c))) {
        case AV_CHAN_FRONT_LEFT: case AV_CHAN_FRONT_LEFT_OF_CENTER: case AV_CHAN_WIDE_LEFT: place = kFL; break;
        case AV_CHAN_FRONT_RIGHT: case AV_CHAN_FRONT_RIGHT_OF_CENTER: case AV_CHAN_WIDE_RIGHT: place = kFR; break;
        case AV_CHAN_FRONT_CENTER: place = kFC; break;
        case AV_CHAN_LOW_FREQUENCY: case AV_CHAN_LOW_FREQUENCY_2: place = kLFE; break;
        case AV_CHAN_BACK_LEFT: place = kBL; break;
        case AV_CHAN_BACK_RIGHT: place = kBR; break;
        case AV_CHAN_SIDE_LEFT: case AV_CHAN_SURROUND_DIRECT_LEFT: place = kSL; break;
        case AV_CHAN_SIDE_RIGHT: case AV_CHAN_SURROUND_DIRECT_RIGHT: place = kSR; break;
        case AV_CHAN_BACK_CENTER: place = kBC; break;
        default: break;
      }
      speakers_.push_back(place);
    }
    speakersFor_ = channels;
    av_channel_layout_uninit(&speakersLayout_);
    if (av_channel_layout_copy(&speakersLayout_, &layout) < 0) speakersFor_ = -1;
  }

  Fd fd_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int stream_ = -1;
  double timeBase_ = 0;
  int64_t startTime_ = 0;
  std::vector<float> converted_;
  std::vector<const float*> planes_;
  std::vector<Speaker> speakers_;
  AVChannelLayout speakersLayout_{};
  int speakersFor_ = -1;
  bool draining_ = false;
  bool finished_ = false;
  bool guessedLength_ = false;
  std::vector<std::pair<int64_t, int64_t>> places_;  // only for a rate that changes
  int64_t skipTo_ = -1;
  int64_t next_ = 0;
};

enum class Kind { kMpeg, kVorbis, kFlac, kOther };

// Recognises the format from the first bytes, past a leading ID3v2 tag.
Kind Sniff(int fd) {
  unsigned char head[16] = {};
  ssize_t n = pread(fd, head, sizeof head, 0);
  if (n >= 10 && std::memcmp(head, "ID3", 3) == 0) {
    const off_t size = (off_t(head[6] & 0x7f) << 21) | (off_t(head[7] & 0x7f) << 14) |
                       (off_t(head[8] & 0x7f) << 7) | off_t(head[9] & 0x7f);
    const off_t offset = 10 + size + ((head[5] & 0x10) ? 10 : 0);
    n = pread(fd, head, sizeof head, offset);
    if (n >= 4 && std::memcmp(head, "fLaC", 4) == 0) return Kind::kFlac;
    return Kind::kMpeg;  // an ID3v2 tag in front: MPEG audio
  }
  if (n >= 4 && std::memcmp(head, "fLaC", 4) == 0) return Kind::kFlac;
  if (n >= 4 && std::memcmp(head, "OggS", 4) == 0) return Kind::kVorbis;
  // An MPEG audio frame header: 11 sync bits, a known version and layer.
  if (n >= 4 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0 && (head[1] & 0x18) != 0x08 &&
      (head[1] & 0x06) != 0 && (head[2] & 0xF0) != 0xF0 && (head[2] & 0x0C) != 0x0C)
    return Kind::kMpeg;
  return Kind::kOther;
}

template <typename T, typename... Options>
std::unique_ptr<Decoder> Try(int fd, const std::string& path, OpenFailure* why, Options... options) {
  try {
    auto d = std::make_unique<T>();
    if (d->Open(fd, path, why, options...)) return d;
  } catch (const std::exception&) {
    Fail(why, OpenError::kFormat);
  }
  return nullptr;
}

// A refusal that says more than "not sound" wins over one that does not.
bool Telling(const OpenFailure& f) { return f.error != OpenError::kNone && f.error != OpenError::kFormat; }

std::unique_ptr<Decoder> OpenFrom(int fd, const std::string& path, OpenFailure* why, bool analysis) {
  OpenFailure first, second;
  std::unique_ptr<Decoder> d;
  const Kind kind = Sniff(fd);
  if (analysis && kind == Kind::kMpeg) {
    // Half the rate keeps what tempo detection listens to (up to 8 kHz and
    // more) only from 32 kHz files up (mpg123 has no half of the lowest).
    d = Try<MpegDecoder>(fd, path, &first, true, false);
    if (d && d->rate() >= 32000) {
      if (auto half = Try<MpegDecoder>(fd, path, &first, true, true)) d = std::move(half);
    }
    if (d) return d;
  }
  switch (kind) {
    case Kind::kMpeg: d = Try<MpegDecoder>(fd, path, &first, false, false); break;
    case Kind::kVorbis: d = Try<VorbisDecoder>(fd, path, &first); break;
    case Kind::kFlac: d = Try<FlacDecoder>(fd, path, &first); break;
    case Kind::kOther: break;
  }
  // Whatever the first choice could not open (Ogg FLAC, Opus, WMA, WAV,
  // MPEG audio behind other junk) goes to FFmpeg.
  if (!d) d = Try<FfmpegDecoder>(fd, path, &second);
  if (!d) {
    OpenFailure f = Telling(first) ? first : second;
    if (f.error == OpenError::kNone) f.error = OpenError::kFormat;
    if (why) *why = f;
  }
  return d;
}

}  // namespace

std::unique_ptr<Decoder> OpenDecoder(const std::string& path, OpenFailure* why) {
  const Fd fd = OpenChecked(path, why);
  if (fd.get() < 0) return nullptr;
  return OpenFrom(fd.get(), path, why, false);
}

std::unique_ptr<Decoder> OpenAnalysisDecoder(const std::string& path, OpenFailure* why) {
  const Fd fd = OpenChecked(path, why);
  if (fd.get() < 0) return nullptr;
  return OpenFrom(fd.get(), path, why, true);
}

}  // namespace engine
