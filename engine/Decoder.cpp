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
#include <limits>
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

namespace {
thread_local int64_t tSearchLimit = -1;
}  // namespace

SearchLimit::SearchLimit(int64_t bytes) : before_(tSearchLimit) { tSearchLimit = bytes; }
SearchLimit::~SearchLimit() { tSearchLimit = before_; }
int64_t SearchLimitNow() { return tSearchLimit; }

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
  waiting_ = false;
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
    if (waiting_) break;
  }
  if (got <= 0 && waiting_) return 0;
  if (got <= 0) {
    // The data ended early (a file cut short, or a header that promised
    // more), or where an estimate put it: the true end is here, so that
    // positions can reach the length, which is now known.
    ended_ = true;
    length_ = position_;
    exactLength_ = true;
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
  // The library reads through a view that holds whole frames only (see
  // FrameMap) and whose end is known only once the walk has reached it:
  // it is not to look for the end itself, and seeks all the same.
  mpg123_param(mh, MPG123_ADD_FLAGS,
               MPG123_QUIET | MPG123_GAPLESS | MPG123_NO_PEEK_END | MPG123_FORCE_SEEKABLE |
                   (analysis ? MPG123_MONO_MIX : 0),
               0);
  if (halve) mpg123_param(mh, MPG123_DOWN_SAMPLE, 1, 0);
  // Only float output, at whatever rate and channel count the file has.
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
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

// An MPEG audio frame header as the frame map reads it. A free-format frame
// (no bit rate in the header) has the size its stream's frames share, less
// padding (`freeBase`, found from the distance between two of its headers);
// without it, it is not taken.
struct MpegHeader {
  int version = 0;  // the two version bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  int layer = 0;    // 1, 2 or 3
  bool crc = false;
  bool mono = false;
  bool freeFormat = false;
  int rateIndex = 0;
  int64_t size = 0;  // bytes, header included
  // What the frames of one stream share: version, layer, rate, channels,
  // and whether their size is free.
  uint32_t Key() const {
    return static_cast<uint32_t>((freeFormat ? 1 << 12 : 0) | version << 8 | layer << 4 | rateIndex << 1 |
                                 (mono ? 1 : 0));
  }
};

bool ParseMpegHeader(const unsigned char* p, MpegHeader& h, int64_t freeBase = 0) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version = (p[1] >> 3) & 3, layerBits = (p[1] >> 1) & 3;
  const int bitrateIndex = p[2] >> 4, rateIndex = (p[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || (bitrateIndex == 0 && freeBase <= 0) || bitrateIndex == 15 ||
      rateIndex == 3 || (p[3] & 3) == 2)
    return false;
  static constexpr int kKbps[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr int kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
  const int layer = 4 - layerBits;
  const bool mpeg1 = version == 3;
  const int64_t bitrate = int64_t{kKbps[mpeg1 ? 0 : 1][layer - 1][bitrateIndex]} * 1000;
  const int64_t rate = kRates[version][rateIndex];
  const int64_t padding = (p[2] >> 1) & 1;
  h.freeFormat = bitrateIndex == 0;
  if (h.freeFormat)
    h.size = freeBase + padding * (layer == 1 ? 4 : 1);
  else if (layer == 1)
    h.size = (12 * bitrate / rate + padding) * 4;
  else if (layer == 3 && !mpeg1)
    h.size = 72 * bitrate / rate + padding;
  else
    h.size = 144 * bitrate / rate + padding;
  h.version = version;
  h.layer = layer;
  h.crc = (p[1] & 1) == 0;
  h.mono = (p[3] >> 6) == 3;
  h.rateIndex = rateIndex;
  return h.size > 4;
}

// What a layer III frame's side information says of its sound data: how
// many bytes before the frame's own data it begins (in the bit reservoir
// the frames ahead of it fill), how many bytes it takes in all, and how
// many bytes of sound data the frame itself carries (from `data` on).
struct Layer3Data {
  bool valid = true;
  int reachBack = 0;
  int64_t bytes = 0;
  const unsigned char* data = nullptr;
  int64_t carries = 0;
};

Layer3Data Layer3DataOf(const unsigned char* frame, const MpegHeader& h) {
  Layer3Data d;
  const unsigned char* side = frame + 4 + (h.crc ? 2 : 0);
  const bool mpeg1 = h.version == 3;
  const int channels = h.mono ? 1 : 2;
  auto bits = [side](int at, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i, ++at) v = v << 1 | ((side[at >> 3] >> (7 - (at & 7))) & 1);
    return v;
  };
  d.reachBack = bits(0, mpeg1 ? 9 : 8);
  // Each granule and channel's part2_3_length, the first field of its block.
  const int first = mpeg1 ? 9 + (h.mono ? 5 : 3) + 4 * channels : 8 + (h.mono ? 1 : 2);
  const int block = mpeg1 ? 59 : 63;
  int64_t total = 0;
  for (int k = 0; k < (mpeg1 ? 2 : 1) * channels; ++k) {
    total += bits(first + block * k, 12);
    // No more than 576 values in a granule: 288 pairs.
    if (bits(first + block * k + 12, 9) > 288) d.valid = false;
  }
  d.bytes = (total + 7) / 8;
  const int sideBytes = mpeg1 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17);
  d.data = side + sideBytes;
  d.carries = std::max<int64_t>(0, h.size - 4 - (h.crc ? 2 : 0) - sideBytes);
  return d;
}

// Whether the n bytes at p are all zeros, eight at a time.
bool AllZeros(const unsigned char* p, size_t n) {
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    any |= word;
  }
  for (; i < n; ++i) any |= p[i];
  return any == 0;
}

// The size of an ID3v2 tag at p (n bytes available), 0 when none starts there.
int64_t Id3v2Size(const unsigned char* p, size_t n) {
  if (n < 10 || std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF) return 0;
  if ((p[6] | p[7] | p[8] | p[9]) & 0x80) return 0;
  const int64_t size = (int64_t{p[6]} << 21) | (int64_t{p[7]} << 14) | (int64_t{p[8]} << 7) | p[9];
  return 10 + size + ((p[5] & 0x10) ? 10 : 0);
}

// The frames of an MPEG audio file that can be played, found by walking the
// file from frame to frame, and the view of them that libmpg123 reads: the
// frames one after another, without what lies between them (tags, damage,
// stray bytes, zeros), so that the library never searches and never meets
// a false frame. The walk decides, in this one place, which frames are
// whole and which of them play:
//  - a frame is whole when the next frame begins where it ends and agrees
//    with it (version, layer, rate and channels), or a tag or zeros and
//    then the next frame begin there (zeros may stand for frames that are
//    gone: the frames after them are taken as after damage);
//  - the last frame of the file is whole when its bytes are all there,
//    whatever follows it (stray bytes, a frame cut short, tags);
//  - a frame after which the data does not go on but further frames follow
//    after other bytes was cut short by the damage between them and is
//    left out;
//  - after damage (and at the start) a frame is taken only when the two
//    frames after it follow it and agree with it (or the data ends with
//    them), so that chance patterns in junk are never taken for sound;
//  - a layer III frame whose sound data is not what an encoder writes
//    (reaching back past damage into bytes that are gone, running past the
//    frame, too many values, a run of zero bytes) is decoded, so that the
//    frames after it have what they reach back for, but not played, and
//    neither are the two frames after it, which carry its sound on
//    (Dropped).
// The walk goes forward only, as far as it is asked, at memory speed (the
// file is read in large blocks), and the memory it keeps grows with the
// number of damaged stretches, never with their length. A decoder and its
// whole-file scan each walk with a map of their own (the same walk gives
// the same view, and so the same seek index); the calls take the map's lock.
class FrameMap {
 public:
  // Null when the file has no frame that can be played (the search for the
  // first one goes through the whole file when it must).
  static std::shared_ptr<FrameMap> Open(int fd, OpenFailure* why) {
    auto map = std::shared_ptr<FrameMap>(new FrameMap);
    map->fd_ = Duplicate(fd);
    if (map->fd_.get() < 0) {
      Fail(why, OpenError::kSystem, errno);
      return nullptr;
    }
    struct stat st{};
    if (fstat(map->fd_.get(), &st) != 0) {
      Fail(why, OpenError::kSystem, errno);
      return nullptr;
    }
    map->end_ = std::min<int64_t>(st.st_size, TrailingTagsStart(map->fd_.get()));
    // Tags at the start are passed over.
    int64_t at = 0;
    for (int guard = 0; guard < 16; ++guard) {
      const unsigned char* p = map->Bytes(at, 10);
      const int64_t size = p ? Id3v2Size(p, 10) : 0;
      if (size <= 0 || at + size >= map->end_) break;
      at += size;
    }
    map->Search(at, -1, MpegHeader{});
    std::lock_guard<std::mutex> lock(map->m_);
    while (map->viewEnd_ == 0 && map->mode_ != Mode::kDone) {
      int64_t unlimited = -1;
      map->Step(unlimited);
    }
    if (map->viewEnd_ == 0) {
      Fail(why, OpenError::kFormat);
      return nullptr;
    }
    return map;
  }

  int fd() const { return fd_.get(); }

  // Walks until the view holds `viewEnd` bytes or the walk is complete,
  // passing at most `budget` bytes of the file (negative: no limit); false
  // when the budget ran out first.
  bool Reach(int64_t viewEnd, int64_t budget) {
    std::lock_guard<std::mutex> lock(m_);
    while (viewEnd_ < viewEnd && mode_ != Mode::kDone) {
      if (budget == 0) return false;
      Step(budget);
    }
    return true;
  }

  // Walks the whole file, letting go of the lock between blocks.
  void WalkAll() {
    while (!Reach(std::numeric_limits<int64_t>::max(), 1 << 20)) {
    }
  }

  bool Complete() {
    std::lock_guard<std::mutex> lock(m_);
    return mode_ == Mode::kDone;
  }

  // Where byte `at` of the view lies in the file, and how many bytes from
  // there on belong to the view without a break; false past the view's end.
  // Walks as far as needed.
  bool Locate(int64_t at, int64_t& file, int64_t& run) {
    std::lock_guard<std::mutex> lock(m_);
    while (at >= viewEnd_ && mode_ != Mode::kDone) {
      int64_t unlimited = -1;
      Step(unlimited);
    }
    if (at < 0 || at >= viewEnd_) return false;
    auto it = std::upper_bound(runs_.begin(), runs_.end(), at, [](int64_t v, const Run& r) { return v < r.view; });
    --it;
    file = it->file + (at - it->view);
    run = it->bytes - (at - it->view);
    return true;
  }

  // The view's size: exact once the walk is complete, an estimate before.
  int64_t ViewSize() {
    std::lock_guard<std::mutex> lock(m_);
    if (mode_ == Mode::kDone) return viewEnd_;
    const int64_t walked = runs_.empty() ? 0 : runs_.back().file + runs_.back().bytes;
    return viewEnd_ + std::max<int64_t>(0, end_ - walked);
  }

  // Whether the frame at `at` in the view is decoded but not played.
  bool Dropped(int64_t at) {
    std::lock_guard<std::mutex> lock(m_);
    return std::binary_search(dropped_.begin(), dropped_.end(), at);
  }

 private:
  FrameMap() = default;

  enum class Mode { kSearch, kChain, kDone };
  struct Run {
    int64_t file;
    int64_t view;
    int64_t bytes;
  };
  static constexpr int64_t kBlock = 256 * 1024;
  // Frames after a frame that must follow it and agree with it.
  static constexpr int kFollowers = 2;
  // The farthest a layer III frame reaches back for its sound data.
  static constexpr int64_t kMaxReachBack = 511;
  // Zero bytes in a row that no layer III sound data holds.
  static constexpr int kZeroRun = 12;

  // `n` bytes (kBlock at most) of the file at `at`, from the block in
  // memory, which is read anew from `at` when they are not in it; null
  // when the file has fewer.
  const unsigned char* Bytes(int64_t at, size_t n) {
    if (at < 0) return nullptr;
    if (at >= blockAt_ && at + static_cast<int64_t>(n) <= blockAt_ + static_cast<int64_t>(blockLen_))
      return block_.data() + (at - blockAt_);
    block_.resize(static_cast<size_t>(kBlock));
    blockAt_ = at;
    blockLen_ = 0;
    while (blockLen_ < block_.size()) {
      const ssize_t got = pread(fd_.get(), block_.data() + blockLen_, block_.size() - blockLen_,
                                blockAt_ + static_cast<int64_t>(blockLen_));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      blockLen_ += static_cast<size_t>(got);
    }
    if (static_cast<int64_t>(n) > static_cast<int64_t>(blockLen_)) return nullptr;
    return block_.data();
  }

  // The header of a frame at `at` whose bytes all lie in the audio data.
  bool HeaderAt(int64_t at, MpegHeader& h) {
    if (at + 4 > end_) return false;
    const unsigned char* p = Bytes(at, 4);
    return p && ParseMpegHeader(p, h, freeBase_) && at + h.size <= end_;
  }

  // For a free-format frame at `at`: its size without padding, from where
  // the next header of the same kind begins (the largest free-format frame
  // is 2880 bytes); 0 when none follows.
  int64_t FreeFormatBase(int64_t at) {
    constexpr int64_t kLargest = 2880;
    const auto n = static_cast<size_t>(std::min<int64_t>(end_ - at, kLargest + 5));
    const unsigned char* p = n >= 8 ? Bytes(at, n) : nullptr;
    if (!p) return 0;
    const int padding = ((p[2] >> 1) & 1) * (((p[1] >> 1) & 3) == 3 ? 4 : 1);
    for (size_t q = 5; q + 4 <= n; ++q)
      if (p[q] == p[0] && p[q + 1] == p[1] && (p[q + 2] & 0xFD) == (p[2] & 0xFD) && (p[q + 3] >> 6) == (p[3] >> 6))
        return static_cast<int64_t>(q) - padding;
    return 0;
  }

  // Whether the data ends at `at` (no room for another frame header).
  bool EndsAt(int64_t at) const { return at + 4 > end_; }

  int64_t TagAt(int64_t at) {
    const unsigned char* p = at + 10 <= end_ ? Bytes(at, 10) : nullptr;
    return p ? Id3v2Size(p, 10) : 0;
  }

  // Whether a frame at `at` starts a run of frames that follow each other
  // and agree, kFollowers after it, or up to the end of the data.
  bool ChainAt(int64_t at, MpegHeader& first) {
    const unsigned char* p = Bytes(at, 4);
    if (p && p[0] == 0xFF && (p[2] >> 4) == 0) {
      // Free format: the size the stream's frames share, tried on the run.
      const int64_t before = freeBase_;
      freeBase_ = FreeFormatBase(at);
      if (freeBase_ > 0 && RunAt(at, first)) return true;
      freeBase_ = before;
      return false;
    }
    return RunAt(at, first);
  }

  bool RunAt(int64_t at, MpegHeader& first) {
    if (!HeaderAt(at, first)) return false;
    int64_t q = at;
    MpegHeader h = first;
    for (int n = 0; n < kFollowers; ++n) {
      const int64_t next = PastZeros(q + h.size);
      if (EndsAt(next) || TagAt(next) > 0) return true;
      MpegHeader following;
      const unsigned char* p = Bytes(next, 4);
      if (!p || !ParseMpegHeader(p, following, freeBase_) || following.Key() != first.Key()) return false;
      if (next + following.size > end_) return true;  // a last frame cut short by the end
      q = next;
      h = following;
    }
    return true;
  }

  void Accept(int64_t at, const MpegHeader& h) {
    const int64_t view = viewEnd_;
    if (!runs_.empty() && runs_.back().file + runs_.back().bytes == at)
      runs_.back().bytes += h.size;
    else
      runs_.push_back(Run{at, view, h.size});
    viewEnd_ += h.size;
    if (h.layer == 3) {
      const unsigned char* p = Bytes(at, static_cast<size_t>(h.size));
      bool fromDamage = !p;
      if (p) {
        const Layer3Data d = Layer3DataOf(p, h);
        // Sound data that reaches back past damage into bytes that are
        // gone, that runs past the frame's end, that counts more values than a granule
        // has, or that holds a run of zero bytes (which no encoder's codes
        // make, and which decode as loud noise) comes from damage.
        fromDamage = !d.valid || (sinceDamage_ >= 0 && d.reachBack > sinceDamage_) || d.bytes - d.reachBack > d.carries ||
                     ZerosInSoundData(d);
        reservoir_.insert(reservoir_.end(), d.data, d.data + d.carries);
        if (reservoir_.size() > static_cast<size_t>(kMaxReachBack))
          reservoir_.erase(reservoir_.begin(), reservoir_.end() - kMaxReachBack);
        if (sinceDamage_ >= 0) sinceDamage_ += d.carries;
      }
      // The two frames after one decoded from damage carry its sound on
      // (the transform's overlapping windows, then the synthesis filter's
      // history), so they go as well.
      if (fromDamage || afterDamage_ > 0) dropped_.push_back(view);
      afterDamage_ = fromDamage ? 2 : std::max(0, afterDamage_ - 1);
      if (sinceDamage_ > kMaxReachBack && afterDamage_ == 0) sinceDamage_ = -1;
    }
  }

  // Whether the sound data a layer III frame decodes (the end of the
  // reservoir, then its own bytes) holds a run of kZeroRun zero bytes.
  bool ZerosInSoundData(const Layer3Data& d) const {
    int run = 0;
    auto look = [&run](unsigned char c) {
      run = c == 0 ? run + 1 : 0;
      return run >= kZeroRun;
    };
    // Its data begins reachBack bytes before the frame's own and may end
    // before the reservoir does.
    const auto begin = static_cast<int64_t>(reservoir_.size()) - std::min<int64_t>(d.reachBack, static_cast<int64_t>(reservoir_.size()));
    const int64_t end = std::min<int64_t>(static_cast<int64_t>(reservoir_.size()), begin + d.bytes);
    for (int64_t i = begin; i < end; ++i)
      if (look(reservoir_[static_cast<size_t>(i)])) return true;
    const int64_t own = std::clamp<int64_t>(d.bytes - d.reachBack, 0, d.carries);
    for (int64_t i = 0; i < own; ++i)
      if (look(d.data[i])) return true;
    return false;
  }

  void DamageBefore() { sinceDamage_ = 0; }

  // One piece of the walk: a frame of the run being followed, or a block
  // of the search for the next run. `budget` (when not negative) counts
  // down the bytes passed.
  void Step(int64_t& budget) {
    auto spend = [&budget](int64_t bytes) {
      if (budget >= 0) budget = std::max<int64_t>(0, budget - std::max<int64_t>(bytes, 1));
    };
    if (mode_ == Mode::kChain) {
      MpegHeader h;
      if (!HeaderAt(next_, h)) {  // cannot happen: the header was checked
        mode_ = Mode::kDone;
        return;
      }
      spend(h.size);
      const int64_t end = next_ + h.size;
      MpegHeader following;
      if (EndsAt(end)) {
        Accept(next_, h);
        mode_ = Mode::kDone;
      } else if (HeaderAt(end, following) && following.Key() == key_) {
        Accept(next_, h);
        next_ = end;
      } else if (const int64_t tag = TagAt(end); tag > 0) {
        // Files joined together, each with its tag.
        Accept(next_, h);
        Search(end + tag, -1, h);
      } else {
        // Damage, stray bytes, or a part in another format: what follows
        // decides whether this frame was whole.
        Search(end, next_, h);
      }
      return;
    }
    if (mode_ != Mode::kSearch) return;
    // The next run of frames, searched for a block at a time.
    const int64_t from = searchFrom_;
    const int64_t last = end_ - 4;  // the last place a header fits
    if (from > last) {
      Finish();
      return;
    }
    const int64_t stop = std::min(last + 1, from + kBlock - 1);
    int64_t at = from;
    while (at < stop) {
      const auto span = static_cast<size_t>(stop - at);
      const unsigned char* p = Bytes(at, span + 1);
      if (!p) break;
      const void* hit = std::memchr(p, 0xFF, span);
      const int64_t i = hit ? static_cast<const unsigned char*>(hit) - p : static_cast<int64_t>(span);
      if (onlyZeros_ && !AllZeros(p, static_cast<size_t>(i))) onlyZeros_ = false;
      if (!hit) {
        at = stop;
        break;
      }
      at += i;
      if ((p[i + 1] & 0xE0) == 0xE0) {
        MpegHeader h;
        if (ChainAt(at, h)) {
          spend(at - from);
          Found(at, h);
          return;
        }
      }
      onlyZeros_ = false;
      ++at;
    }
    spend(at - from);
    searchFrom_ = at;
    if (searchFrom_ > last) Finish();
  }

  // The search found the run starting at `at`.
  void Found(int64_t at, const MpegHeader& h) {
    if (held_ >= 0 && onlyZeros_) {
      // A part in another format follows the frame held, or zeros do: it
      // was whole. Zeros may stand for frames that are gone (a download's
      // hole) as well as for padding: the frames after them are taken as
      // after damage.
      Accept(held_, heldHeader_);
      if (at > held_ + heldHeader_.size) DamageBefore();
    } else if (held_ >= 0 || at > searchStart_) {
      DamageBefore();  // junk before it; a frame held was cut short by it
    }
    held_ = -1;
    key_ = h.Key();
    next_ = at;
    mode_ = Mode::kChain;
  }

  void Search(int64_t from, int64_t held, const MpegHeader& h) {
    mode_ = Mode::kSearch;
    onlyZeros_ = true;
    searchFrom_ = searchStart_ = from;
    held_ = held;
    heldHeader_ = h;
  }

  // Where the zero bytes from `at` on end (looking half a block ahead at
  // most): zeros between frames are padding.
  int64_t PastZeros(int64_t at) {
    const auto n = static_cast<size_t>(std::clamp<int64_t>(end_ - at, 0, kBlock / 2));
    const unsigned char* p = n > 0 ? Bytes(at, n) : nullptr;
    if (!p || p[0] != 0) return at;
    return at + (std::find_if(p, p + n, [](unsigned char c) { return c != 0; }) - p);
  }

  // The search reached the end of the data: a frame held back was the last.
  void Finish() {
    if (held_ >= 0) Accept(held_, heldHeader_);
    held_ = -1;
    mode_ = Mode::kDone;
  }

  std::mutex m_;
  Fd fd_;
  int64_t end_ = 0;  // where the audio data ends (tags at the end excluded)
  std::vector<unsigned char> block_;
  int64_t blockAt_ = 0;
  size_t blockLen_ = 0;
  Mode mode_ = Mode::kSearch;
  int64_t searchFrom_ = 0;
  int64_t searchStart_ = 0;  // where the current search began
  bool onlyZeros_ = true;    // nothing but zeros has been passed since
  int64_t next_ = 0;
  uint32_t key_ = 0;
  int64_t freeBase_ = 0;  // the size a free-format stream's frames share, less padding
  int64_t held_ = -1;
  MpegHeader heldHeader_;
  int64_t sinceDamage_ = -1;  // sound data bytes since damage, while frames may reach back past it
  int afterDamage_ = 0;  // frames still to leave out after one decoded from damage
  std::vector<unsigned char> reservoir_;  // the last sound data bytes, as the decoder keeps them
  std::vector<Run> runs_;
  int64_t viewEnd_ = 0;
  std::vector<int64_t> dropped_;  // view offsets, ascending
};

// One reader's place in a FrameMap's view, for libmpg123, with a block of
// the file in memory so that the library's small reads cost no system call.
struct MapView {
  std::shared_ptr<FrameMap> map;
  int64_t at = 0;
  std::vector<unsigned char> cache;
  int64_t cacheAt = 0;
  size_t cacheLen = 0;
};

mpg123_ssize_t ViewRead(void* handle, void* buffer, size_t bytes) {
  auto& view = *static_cast<MapView*>(handle);
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  constexpr size_t kCache = 64 * 1024;
  while (done < bytes) {
    int64_t file = 0, run = 0;
    if (!view.map->Locate(view.at, file, run)) break;
    const auto take = static_cast<size_t>(std::min<int64_t>(run, static_cast<int64_t>(bytes - done)));
    if (file < view.cacheAt || file + static_cast<int64_t>(take) > view.cacheAt + static_cast<int64_t>(view.cacheLen)) {
      view.cache.resize(std::max(kCache, take));
      view.cacheAt = file;
      view.cacheLen = 0;
      while (view.cacheLen < view.cache.size()) {
        const ssize_t n = pread(view.map->fd(), view.cache.data() + view.cacheLen, view.cache.size() - view.cacheLen,
                                file + static_cast<int64_t>(view.cacheLen));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        view.cacheLen += static_cast<size_t>(n);
      }
      if (view.cacheLen < take) return done > 0 ? static_cast<mpg123_ssize_t>(done) : -1;
    }
    std::memcpy(out + done, view.cache.data() + (file - view.cacheAt), take);
    done += take;
    view.at += static_cast<int64_t>(take);
  }
  return static_cast<mpg123_ssize_t>(done);
}

off_t ViewSeek(void* handle, off_t offset, int whence) {
  auto& view = *static_cast<MapView*>(handle);
  int64_t base = 0;
  if (whence == SEEK_CUR) {
    base = view.at;
  } else if (whence == SEEK_END) {
    view.map->WalkAll();
    base = view.map->ViewSize();
  } else if (whence != SEEK_SET) {
    errno = EINVAL;
    return -1;
  }
  if (offset < -base) {
    errno = EINVAL;
    return -1;
  }
  view.at = base + offset;
  return static_cast<off_t>(view.at);
}

// Opens libmpg123 on a view; false when it cannot read its first frame.
bool OpenView(mpg123_handle* mh, MapView& view) {
  if (mpg123_replace_reader_handle(mh, &ViewRead, &ViewSeek, nullptr) != MPG123_OK ||
      mpg123_open_handle(mh, &view) != MPG123_OK)
    return false;
  // For the length the library estimates before the walk is complete.
  mpg123_set_filesize(mh, static_cast<off_t>(view.map->ViewSize()));
  return true;
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

// Walks the whole file (the walk is shared with the decoder) and counts what
// plays: the length in frames of the first rate, each part of a file whose
// rate changes at its own rate (libmpg123 counts each part at that part's
// rate), and the frame index for quick far seeks. A file in one format takes
// libmpg123's own count after the walk through its frames, which knows the
// encoder's delay and padding to the sample, less the frames left out of
// play after damage.
void ScanMpeg(const std::shared_ptr<FrameMap>& map, MpegScan& scan) {
  {
    std::lock_guard<std::mutex> lock(scan.m);
    if (scan.done) return;
  }
  map->WalkAll();
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return;
  MapView view;
  view.map = map;
  MpegSetUp(mh, false, false);
  long firstRate = 0;
  int channels = 0, encoding = 0;
  if (OpenView(mh, view) && mpg123_getformat(mh, &firstRate, &channels, &encoding) == MPG123_OK && firstRate > 0) {
    std::vector<std::pair<long, int64_t>> samples;  // of the frames that play, by rate
    auto count = [&samples](long rate, int64_t n) {
      for (auto& [r, total] : samples)
        if (r == rate) {
          total += n;
          return;
        }
      samples.emplace_back(rate, n);
    };
    int64_t droppedSamples = 0;
    // The encoder's delay and padding, which decoding leaves out.
    long delay = -1, padding = 0;
    const bool header = mpg123_getstate(mh, MPG123_ENC_DELAY, &delay, nullptr) == MPG123_OK && delay >= 0;
    if (mpg123_getstate(mh, MPG123_ENC_PADDING, &padding, nullptr) != MPG123_OK || padding < 0) padding = 0;
    // The first frame has been read by the open already.
    int rc = MPG123_OK;
    do {
      mpg123_frameinfo info{};
      if (mpg123_info(mh, &info) != MPG123_OK || info.rate <= 0) break;
      if (map->Dropped(mpg123_framepos(mh)))
        droppedSamples += mpg123_spf(mh);
      else
        count(info.rate, mpg123_spf(mh));
      rc = mpg123_framebyframe_next(mh);
    } while (rc == MPG123_OK || rc == MPG123_NEW_FORMAT);
    const bool mixed = samples.size() > 1;
    off_t length = 0;
    bool exact = false;
    if (!mixed && !samples.empty()) {
      // Having read every frame, the library knows what it decodes (the
      // encoder's delay and, where the end is reached, its padding, left
      // out); the frames left out of play come off that. Where its count
      // goes astray (a VBR file cut short), what decoding then delivers is
      // counted: every frame less the delays at the start.
      constexpr long kDecoderDelay = 529;
      const int64_t all = samples[0].second + droppedSamples;
      int64_t decoded = mpg123_length(mh);
      if (header && (decoded > all || decoded < all - delay - padding - 2 * kDecoderDelay))
        decoded = all - delay - kDecoderDelay;
      length = std::max<off_t>(0, static_cast<off_t>(decoded - droppedSamples));
      exact = decoded > 0;
    } else if (mixed) {
      double frames = 0;
      for (const auto& [rate, n] : samples) frames += static_cast<double>(n) * static_cast<double>(firstRate) / rate;
      if (frames < static_cast<double>(kMaxFrames))
        length = std::max<off_t>(0, static_cast<off_t>(std::llround(frames)) - std::max<long>(delay, 0) - padding);
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
    // A file without one whole frame has nothing to play.
    map_ = FrameMap::Open(fd, why);
    if (!map_) return false;
    view_.map = map_;
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
    if (!OpenView(mh_, view_) || mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK ||
        encoding != MPG123_ENC_FLOAT_32 || channels < 1 || channels > 2) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    // Until the scan the length is the header frame's count or an
    // estimate: neither ends the song, which plays to its last whole frame.
    exactLength_ = false;
    const off_t length = mpg123_length(mh_);
    if (length <= 0) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    if (!Setup(rate, channels, length, why)) return false;
    rate_ = static_cast<int>(rate);
    channels_ = channels;
    // The first sound, read here, waits for the first Read (unless damage
    // right after the first frames needs a search further than the calling
    // thread may go: the first Read on a thread that may goes on with it).
    while (!released_ && !waiting_ && DecodeMore()) {
    }
    if (!released_ && !waiting_) {
      Fail(why, OpenError::kFormat);
      return false;
    }
    return true;
  }

  std::function<void()> ScanJob() override {
    if (analysis_ || scanned_ || scan_) return {};
    // The scan walks the file with a walk of its own (the same walk, so the
    // same view and index): the decoder's never waits for a low-priority
    // thread's hold on it.
    auto fd = std::make_shared<Fd>(fcntl(map_->fd(), F_DUPFD_CLOEXEC, 0));
    if (fd->get() < 0) return {};
    scan_ = std::make_shared<MpegScan>();
    return [scan = scan_, fd] {
      if (scan.use_count() <= 1) return;  // the decoder is gone already
      if (auto map = FrameMap::Open(fd->get(), nullptr)) ScanMpeg(map, *scan);
    };
  }

 protected:
  bool DecodeMore() override {
    // The frames the library reads next must have been walked; where that
    // means searching further than the caller may wait for, the engine's
    // own thread goes on with it.
    constexpr int64_t kReadAhead = 16 * 1024;
    if (pendingSeek_ >= 0) {
      // The seek waits for the walk to be complete (where it lands is known
      // only then); a thread with a limit walks its share of it.
      if (SearchLimitNow() >= 0 && !map_->Reach(std::numeric_limits<int64_t>::max(), SearchLimitNow())) {
        waiting_ = true;
        return true;
      }
      const int64_t frame = std::exchange(pendingSeek_, -1);
      map_->WalkAll();
      mpg123_set_filesize(mh_, static_cast<off_t>(map_->ViewSize()));
      const off_t at = mpg123_seek(mh_, static_cast<off_t>(frame), SEEK_SET);
      if (at < 0 || (at != static_cast<off_t>(frame) && !mixedRates_)) return false;  // past the data's end
    }
    for (;;) {
      if (!map_->Reach(view_.at + kReadAhead, SearchLimitNow())) {
        waiting_ = true;
        return true;
      }
      off_t num = 0;
      unsigned char* audio = nullptr;
      size_t bytes = 0;
      const int rc = mpg123_decode_frame(mh_, &num, &audio, &bytes);
      if (rc == MPG123_NEW_FORMAT) {
        // The stream goes on in another format (joined files); each part
        // is converted to the one it began with.
        if (!TakeFormat()) return false;
        continue;
      }
      if (rc == MPG123_ERR) {
        // A frame that cannot be given out (one whose rate mpg123 cannot
        // halve): it is passed over.
        if (SkipFrame()) continue;
        return false;
      }
      if (rc != MPG123_OK) return false;  // the end of the data
      // A frame whose sound data lies partly in damage is left out.
      if (map_->Dropped(mpg123_framepos(mh_))) continue;
      const auto frames = static_cast<int64_t>(bytes / sizeof(float) / static_cast<size_t>(channels_));
      released_ = true;
      if (frames <= 0) return true;
      if (rate_ != fileRate()) {
        // Its length in the first part's rate is not known before its end.
        mixedRates_ = true;
        exactLength_ = false;
      }
      EmitInterleaved(reinterpret_cast<const float*>(audio), frames, rate_, channels_);
      return true;
    }
  }

  bool SeekNative(int64_t frame) override {
    // A seek waits for the walk to be complete (where it lands is known
    // only then); one that would have to walk further than the thread may
    // is left to the next read, on a thread that may.
    if (SearchLimitNow() >= 0 && !map_->Reach(std::numeric_limits<int64_t>::max(), SearchLimitNow())) {
      pendingSeek_ = frame;
      return true;
    }
    pendingSeek_ = -1;
    map_->WalkAll();
    mpg123_set_filesize(mh_, static_cast<off_t>(map_->ViewSize()));
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
    ScanMpeg(map_, *scan_);
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

  mpg123_handle* mh_ = nullptr;
  std::shared_ptr<FrameMap> map_;
  MapView view_;
  bool analysis_ = false;
  bool mixedRates_ = false;
  bool scanned_ = false;  // a scan of the whole file has been taken over
  int rate_ = 0;      // of the part being decoded
  int channels_ = 0;  // of the part being decoded
  bool released_ = false;  // a frame has been decoded
  int64_t pendingSeek_ = -1;  // a seek left to the next read
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

// Whether the file starts with the mark of a container or format that is
// not MPEG audio (which FFmpeg then reads).
bool ContainerMark(int fd) {
  unsigned char head[16] = {};
  const ssize_t n = pread(fd, head, sizeof head, 0);
  if (n < 12) return false;
  static constexpr const char* kMarks[] = {"RIFF", "FORM", "OggS", "fLaC", "MAC ", "wvpk", "MPCK", "MP+",
                                           "TTA1", ".snd", "#!AMR", "caff", "DSD ", "FRM8", "RF64", "BW64"};
  for (const char* mark : kMarks)
    if (std::memcmp(head, mark, std::strlen(mark)) == 0) return true;
  static constexpr unsigned char kAsf[4] = {0x30, 0x26, 0xB2, 0x75}, kMatroska[4] = {0x1A, 0x45, 0xDF, 0xA3};
  return std::memcmp(head, kAsf, 4) == 0 || std::memcmp(head, kMatroska, 4) == 0 || std::memcmp(head + 4, "ftyp", 4) == 0;
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
  // Damage or junk at the start of an MPEG file hides what it is: the
  // frame walk finds its frames, at memory speed, where no other format's
  // mark stands at the start.
  const Kind kind = Sniff(fd);
  const bool mpeg = kind == Kind::kMpeg || (kind == Kind::kOther && !ContainerMark(fd));
  if (analysis && mpeg) {
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
    case Kind::kOther:
      if (mpeg) d = Try<MpegDecoder>(fd, path, &first, false, false);
      break;
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
