// File decoders behind the engine's decode streams. Each one delivers
// interleaved float samples (full scale -1..1), counts in frames (one sample
// per channel) from the file's start, and seeks to an exact frame where the
// format allows it.
//
// What a decoder delivers is what the tempo stage and the mix can take: one
// or two channels (more are mixed down to stereo) at a rate from 1000 Hz to
// 192000 Hz (a file above that is resampled to its rate halved, thirded, ...
// until it fits: 352.8 kHz plays at 176.4 kHz, 384 kHz at 192 kHz). That
// delivered format is the stream's own for every caller: rate(), channels(),
// positions and lengths all count in it, so that a byte position and its
// seconds agree on every stream of the same file. A file whose rate or
// channel layout changes midway goes on in the format it began with, each
// part converted to it, so that it plays at its true speed and pitch.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine {

// Rates and lengths the engine plays.
constexpr int kMinFileRate = 1000;
constexpr int kMaxFileRate = 768000;
constexpr int kMaxTempoRate = 192000;  // the most the tempo stage takes
constexpr int kMaxFileChannels = 255;
// Longer than any song, and small enough that frames, bytes and seconds of
// it stay exact in every counter (bytes of 16-bit stereo fit an int64 by far).
constexpr int64_t kMaxFrames = int64_t{1} << 40;

// Why a file could not be opened for decoding.
enum class OpenError {
  kNone,
  kSystem,      // the system refused it: `detail` is the errno
  kNotRegular,  // a folder, a pipe (FIFO), a device or a socket
  kEmpty,       // zero bytes
  kFormat,      // no decoder reads it as sound
  kRate,        // its header's sample rate is impossible: `detail` is the rate
  kChannels,    // its header's channel count is impossible: `detail` is the count
  kLength,      // its header's length does not fit the counters
};
struct OpenFailure {
  OpenError error = OpenError::kNone;
  int64_t detail = 0;
};

// How far a search through damage may go on the calling thread before the
// decoder hands it to a thread that may wait: in bytes of the file, negative
// for no limit (the default). The engine's calls on the caller's thread
// (Play, seeks) set a small limit; the engine's own threads keep none.
class SearchLimit {
 public:
  explicit SearchLimit(int64_t bytes);
  ~SearchLimit();
  SearchLimit(const SearchLimit&) = delete;
  SearchLimit& operator=(const SearchLimit&) = delete;

 private:
  int64_t before_;
};
int64_t SearchLimitNow();

class Decoder {
 public:
  virtual ~Decoder();
  Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // The delivered format (see above).
  int rate() const { return outRate_; }
  int channels() const { return outChannels_; }
  // The rate the file itself has (its first part's).
  int fileRate() const { return nativeRate_; }
  // Length in frames; for formats without an exact count, the best estimate.
  // MPEG audio counts exactly once SettleLength has run, or once a scan of
  // the whole file made elsewhere (ScanJob) has been taken over (a damaged
  // file too: the scan counts the frames that play); a file whose rate
  // changes midway then has a measured length, which the end of reading
  // makes exact. Before that, an MPEG file's length is its header frame's
  // count or an estimate, which never ends reading: it plays to its last
  // whole frame. FLAC measures its length from its last frames where the
  // stream information's count is missing or wrong.
  int64_t lengthFrames() const { return length_; }
  bool lengthExact() const { return exactLength_; }
  // Makes the length exact where the format can (MPEG audio scans the whole
  // file, once, on the calling thread). Until then the length is the
  // header's figure or an estimate, which reading to the end corrects.
  void SettleLength() {
    if (!settled_) {
      settled_ = true;
      DoSettleLength();
    }
  }
  // A job that makes the length exact and seeking quick without holding up
  // the decoder (for MPEG audio: a scan of the whole file through a handle of
  // its own); the decoder takes its result over at its next Read, Seek or
  // TakeOverScan. Empty when the format needs none. The job may run on any
  // thread, also after the decoder is gone.
  virtual std::function<void()> ScanJob() { return {}; }
  // Takes over a finished scan (see ScanJob); true when one was taken.
  bool TakeOverScan() { return DoTakeOverScan(); }
  // The frame the next Read starts at.
  int64_t position() const { return position_; }
  // True once a read found the end of the data.
  bool ended() const { return ended_; }
  // True when the last Read stopped short of the end because going on
  // meant a search further than the calling thread's SearchLimit; a read
  // without that limit goes on from there.
  bool waiting() const { return waiting_; }
  // Reads up to `frames` frames; returns the frames read, 0 at the end, on
  // a decoding error that cannot be passed over, or while waiting().
  int64_t Read(float* out, int64_t frames);
  // Moves to frame `frame` (0..length). False when the file cannot seek
  // there; the position is then unchanged.
  bool Seek(int64_t frame);

 protected:
  // ---- for the formats
  // Decodes the next piece of the file and hands it over with Emit; false at
  // the end of the data (or at an error that cannot be passed over). A
  // format that would have to search further than SearchLimitNow() allows
  // sets waiting_ and returns true without handing anything over.
  virtual bool DecodeMore() = 0;
  // Goes to frame `frame` of the file's own timeline (its first rate).
  virtual bool SeekNative(int64_t frame) = 0;
  virtual void DoSettleLength() {}
  virtual bool DoTakeOverScan() { return false; }

  // Where the channels of a file are meant to sound, for the mix down.
  enum Speaker : uint8_t { kFL, kFR, kFC, kLFE, kBL, kBR, kSL, kSR, kBC, kLeftish, kRightish };
  // The layouts of Vorbis (and Opus) and of FLAC (and WAV) by channel count,
  // each from its table of up to eight channels (AssignLayout).
  static void AssignLayout(const Speaker (&layouts)[9][8], int channels, std::vector<Speaker>& out);
  static void VorbisSpeakers(int channels, std::vector<Speaker>& out);
  static void FlacSpeakers(int channels, std::vector<Speaker>& out);

  // Called once by Open with the file's format and length (frames at its
  // rate; 0 or less when the header gives none): checks that they make sense
  // and chooses the delivered format. False (with `why`) when they do not.
  bool Setup(int64_t rate, int64_t channels, int64_t length, OpenFailure* why);
  // Hands over decoded frames of `rate` Hz and `channels` channels (which
  // may differ from the file's first ones midway), interleaved or one plane
  // per channel; `speakers` names each channel's place (empty: the usual
  // layout of that count). Frames in a format that makes no sense are dropped.
  void EmitInterleaved(const float* data, int64_t frames, int rate, int channels,
                       const std::vector<Speaker>& speakers = {});
  void EmitPlanar(const float* const* planes, int64_t frames, int rate, int channels,
                  const std::vector<Speaker>& speakers = {});
  // Frames of the file's own timeline for a delivered frame, and back.
  int64_t ToNative(int64_t frame) const;
  int64_t FromNative(int64_t frame) const;

  // Formats whose length is only an estimate take the true one at the end.
  bool exactLength_ = true;
  int64_t length_ = 0;  // delivered frames
  int64_t position_ = 0;
  bool ended_ = false;
  bool waiting_ = false;

 private:
  struct Resampler;
  // Mixes or spreads `channels` onto the delivered channels into mixed_.
  void Remix(const float* data, const float* const* planes, int64_t frames, int channels,
             const std::vector<Speaker>& speakers);
  void Push(const float* frames, int64_t count, int rate);
  void Drain();
  void ResetConversion();
  int64_t FifoFrames() const;

  int nativeRate_ = 0;
  int outRate_ = 0;
  int outChannels_ = 0;
  bool settled_ = false;
  bool drained_ = false;
  std::vector<float> fifo_;  // delivered frames ready to be read
  size_t fifoRead_ = 0;      // samples of fifo_ already read
  std::vector<float> mixed_;
  std::vector<float> matrix_;  // delivered x file channels, for the current layout
  int matrixChannels_ = 0;
  std::vector<Speaker> matrixSpeakers_;
  std::unique_ptr<Resampler> resampler_;
};

// Opens any supported file: MPEG audio layers 1-3 through libmpg123, Ogg
// Vorbis through libvorbisfile, FLAC through libFLAC and everything else
// FFmpeg reads (WMA, WAV, ...). The format is recognised by the file's
// content, not by its name. Only a regular file is opened, without ever
// waiting on it (a FIFO, a device or a folder is refused at once). Null when
// the file cannot be opened or decoded; `why` then tells why.
// Opening reads little of the file: an MPEG file is scanned whole only when
// SettleLength first needs it (or by its ScanJob). MPEG audio plays on past
// damaged stretches of any length, leaving out the frames they break and
// never playing junk; junk before its first frame is searched through (an
// MPEG file is recognised behind it where no other format's mark starts the
// file); a file in which no frame is whole is refused.
std::unique_ptr<Decoder> OpenDecoder(const std::string& path, OpenFailure* why = nullptr);

// A decoder for analysis rather than listening, made as cheap as the format
// allows: MPEG audio comes mono (the channels mixed) and at half the rate
// when the file has 32 kHz or more, without the whole-file scan, so its
// length is only an estimate; other formats decode as OpenDecoder's do. The
// rate and channels say what it delivers. Null when the file cannot be
// opened.
std::unique_ptr<Decoder> OpenAnalysisDecoder(const std::string& path, OpenFailure* why = nullptr);

}  // namespace engine
