// File decoders behind the engine's decode streams. Each one delivers
// interleaved float samples (full scale -1..1) at the file's own rate and
// channel count, counts in frames (one sample per channel) from the file's
// start, and seeks to an exact frame where the format allows it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace engine {

class Decoder {
 public:
  virtual ~Decoder() = default;
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  // Length in frames; for formats without an exact count, the best estimate.
  // MPEG audio counts exactly only once SettleLength has run.
  int64_t lengthFrames() const { return length_; }
  // Makes the length exact where the format can (MPEG audio scans the whole
  // file, once); Seek does it first. Until then the length is the header's
  // figure or an estimate, which reading to the end corrects.
  void SettleLength() {
    if (!settled_) {
      settled_ = true;
      DoSettleLength();
    }
  }
  // The frame the next Read starts at.
  int64_t position() const { return position_; }
  // True once a read found the end of the data.
  bool ended() const { return ended_; }
  // Reads up to `frames` frames; returns the frames read, 0 at the end or on
  // a decoding error that cannot be passed over.
  int64_t Read(float* out, int64_t frames);
  // Moves to frame `frame` (0..length). False when the file cannot seek
  // there; the position is then unchanged.
  bool Seek(int64_t frame);

 protected:
  virtual int64_t DoRead(float* out, int64_t frames) = 0;
  virtual bool DoSeek(int64_t frame) = 0;
  virtual void DoSettleLength() {}
  // Formats whose length is only an estimate take the true one at the end.
  bool exactLength_ = true;
  int rate_ = 0;
  int channels_ = 0;
  int64_t length_ = 0;
  int64_t position_ = 0;
  bool ended_ = false;

 private:
  bool settled_ = false;
};

// Opens any supported file: MPEG audio layers 1-3 through libmpg123, Ogg
// Vorbis through libvorbisfile, FLAC through libFLAC and everything else
// FFmpeg reads (WMA, WAV, ...). The format is recognised by the file's
// content, not by its name. Null when the file cannot be opened or decoded.
// Opening reads little of the file: an MPEG file is scanned whole only when
// SettleLength or Seek first needs it.
std::unique_ptr<Decoder> OpenDecoder(const std::string& path);

// A decoder for analysis rather than listening, made as cheap as the format
// allows: MPEG audio comes mono (the channels mixed) and at half the rate
// when the file has 32 kHz or more, without the whole-file scan, so its
// length is only an estimate; other formats decode as OpenDecoder's do. The
// rate and channels say what it delivers. Null when the file cannot be
// opened.
std::unique_ptr<Decoder> OpenAnalysisDecoder(const std::string& path);

}  // namespace engine
