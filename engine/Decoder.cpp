#include "engine/Decoder.h"

#include <FLAC/stream_decoder.h>
#include <mpg123.h>
#include <vorbis/vorbisfile.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace engine {

int64_t Decoder::Read(float* out, int64_t frames) {
  if (frames <= 0 || ended_) return 0;
  if (exactLength_ && position_ >= length_) {
    ended_ = true;
    return 0;
  }
  if (exactLength_) frames = std::min(frames, length_ - position_);
  const int64_t got = DoRead(out, frames);
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
  SettleLength();
  if (frame < 0 || frame > length_) return false;
  if (frame == length_ && exactLength_) {
    // The end itself: nothing more to read, no need to ask the format.
    position_ = frame;
    ended_ = true;
    return true;
  }
  if (!DoSeek(frame)) return false;
  position_ = frame;
  ended_ = false;
  return true;
}

namespace {

// ---------------------------------------------------------------- MPEG audio

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
  bool Open(const std::string& path, bool analysis, bool halve) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = 0;
    mh_ = mpg123_new(nullptr, &err);
    if (!mh_) return false;
    mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | (analysis ? MPG123_MONO_MIX : 0), 0);
    if (halve) mpg123_param(mh_, MPG123_DOWN_SAMPLE, 1, 0);
    // Only float output, at whatever rate and channel count the file has.
    mpg123_format_none(mh_);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
      mpg123_format(mh_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(mh_, path.c_str()) != MPG123_OK) return false;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK) return false;
    if (rate <= 0 || channels < 1 || channels > 2 || encoding != MPG123_ENC_FLOAT_32) return false;
    // Until the scan, the length is the header's figure or an estimate.
    exactLength_ = false;
    analysis_ = analysis;
    const off_t length = mpg123_length(mh_);
    if (length <= 0) return false;
    rate_ = static_cast<int>(rate);
    channels_ = channels;
    length_ = length;
    return true;
  }

 protected:
  int64_t DoRead(float* out, int64_t frames) override {
    int64_t total = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    const size_t frameBytes = sizeof(float) * static_cast<size_t>(channels_);
    while (total < frames) {
      size_t done = 0;
      const int rc = mpg123_read(mh_, bytes + total * frameBytes,
                                 static_cast<size_t>(frames - total) * frameBytes, &done);
      total += static_cast<int64_t>(done / frameBytes);
      if (rc == MPG123_NEW_FORMAT) {
        long rate = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(mh_, &rate, &channels, &encoding);
        // A stream that changes its layout midway ends there.
        if (rate != rate_ || channels != channels_) break;
        continue;
      }
      if (rc != MPG123_OK || done == 0) break;
    }
    return total;
  }

  bool DoSeek(int64_t frame) override {
    return mpg123_seek(mh_, static_cast<off_t>(frame), SEEK_SET) == static_cast<off_t>(frame);
  }

  // Scanning the whole file makes the length and every seek exact (mpg123
  // comes back to where it was). A file whose scan fails keeps its
  // estimate, corrected when reading reaches its end.
  void DoSettleLength() override {
    if (ended_) exactLength_ = true;  // the end has been read: the length is known
    if (analysis_ || ended_ || mpg123_scan(mh_) != MPG123_OK) return;
    const off_t length = mpg123_length(mh_);
    if (length <= 0) return;
    length_ = length;
    exactLength_ = true;
    if (position_ >= length_) ended_ = true;
  }

 private:
  mpg123_handle* mh_ = nullptr;
  bool analysis_ = false;
};

// ---------------------------------------------------------------- Ogg Vorbis

class VorbisDecoder final : public Decoder {
 public:
  ~VorbisDecoder() override {
    if (open_) ov_clear(&vf_);
  }

  bool Open(const std::string& path) {
    if (ov_fopen(path.c_str(), &vf_) != 0) return false;
    open_ = true;
    const vorbis_info* info = ov_info(&vf_, -1);
    if (!info || info->rate <= 0 || info->channels < 1) return false;
    const ogg_int64_t total = ov_pcm_total(&vf_, -1);
    if (total <= 0) return false;
    rate_ = static_cast<int>(info->rate);
    channels_ = info->channels;
    length_ = total;
    return true;
  }

 protected:
  int64_t DoRead(float* out, int64_t frames) override {
    int64_t total = 0;
    while (total < frames) {
      float** pcm = nullptr;
      int section = 0;
      const int want = static_cast<int>(std::min<int64_t>(frames - total, 4096));
      const long got = ov_read_float(&vf_, &pcm, want, &section);
      if (got == OV_HOLE) continue;  // a gap in the data: go on after it
      if (got <= 0) break;
      const vorbis_info* info = ov_info(&vf_, section);
      const int have = info ? info->channels : channels_;
      for (long i = 0; i < got; ++i)
        for (int c = 0; c < channels_; ++c)
          out[(total + i) * channels_ + c] = pcm[std::min(c, have - 1)][i];
      total += got;
    }
    return total;
  }

  bool DoSeek(int64_t frame) override { return ov_pcm_seek(&vf_, frame) == 0; }

 private:
  OggVorbis_File vf_{};
  bool open_ = false;
};

// ---------------------------------------------------------------------- FLAC

class FlacDecoder final : public Decoder {
 public:
  ~FlacDecoder() override {
    if (dec_) {
      FLAC__stream_decoder_finish(dec_);
      FLAC__stream_decoder_delete(dec_);
    }
  }

  bool Open(const std::string& path) {
    dec_ = FLAC__stream_decoder_new();
    if (!dec_) return false;
    if (FLAC__stream_decoder_init_file(dec_, path.c_str(), &Write, &Metadata, &Error, this) !=
        FLAC__STREAM_DECODER_INIT_STATUS_OK)
      return false;
    if (!FLAC__stream_decoder_process_until_end_of_metadata(dec_)) return false;
    if (rate_ <= 0 || channels_ < 1 || bits_ < 4 || bits_ > 32 || length_ <= 0) return false;
    return true;
  }

 protected:
  int64_t DoRead(float* out, int64_t frames) override {
    int64_t total = 0;
    while (total < frames) {
      if (offset_ >= buffer_.size()) {
        buffer_.clear();
        offset_ = 0;
        if (failed_ ||
            FLAC__stream_decoder_get_state(dec_) == FLAC__STREAM_DECODER_END_OF_STREAM)
          break;
        if (!FLAC__stream_decoder_process_single(dec_)) break;
        if (buffer_.empty() &&
            FLAC__stream_decoder_get_state(dec_) == FLAC__STREAM_DECODER_END_OF_STREAM)
          break;
        continue;
      }
      const size_t avail = (buffer_.size() - offset_) / static_cast<size_t>(channels_);
      const size_t take = std::min<size_t>(avail, static_cast<size_t>(frames - total));
      std::memcpy(out + total * channels_, buffer_.data() + offset_,
                  take * static_cast<size_t>(channels_) * sizeof(float));
      offset_ += take * static_cast<size_t>(channels_);
      total += static_cast<int64_t>(take);
    }
    return total;
  }

  bool DoSeek(int64_t frame) override {
    buffer_.clear();
    offset_ = 0;
    failed_ = false;
    if (FLAC__stream_decoder_seek_absolute(dec_, static_cast<FLAC__uint64>(frame))) return true;
    // A failed seek leaves the decoder needing a flush before it reads again.
    if (FLAC__stream_decoder_get_state(dec_) == FLAC__STREAM_DECODER_SEEK_ERROR)
      FLAC__stream_decoder_flush(dec_);
    buffer_.clear();
    // Go back to where we were, so that the position stays true.
    FLAC__stream_decoder_seek_absolute(dec_, static_cast<FLAC__uint64>(position_));
    return false;
  }

 private:
  static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const buffer[], void* data) {
    auto* self = static_cast<FlacDecoder*>(data);
    const unsigned blocksize = frame->header.blocksize;
    const unsigned have = frame->header.channels;
    const int bits = static_cast<int>(frame->header.bits_per_sample ? frame->header.bits_per_sample
                                                                     : self->bits_);
    if (have == 0 || bits < 4 || bits > 32) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    const float scale = 1.0f / static_cast<float>(1ULL << (bits - 1));
    const size_t start = self->buffer_.size();
    self->buffer_.resize(start + static_cast<size_t>(blocksize) * static_cast<size_t>(self->channels_));
    float* dst = self->buffer_.data() + start;
    for (unsigned i = 0; i < blocksize; ++i)
      for (int c = 0; c < self->channels_; ++c)
        dst[i * static_cast<unsigned>(self->channels_) + static_cast<unsigned>(c)] =
            static_cast<float>(buffer[std::min<unsigned>(static_cast<unsigned>(c), have - 1)][i]) * scale;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }
  static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* meta, void* data) {
    auto* self = static_cast<FlacDecoder*>(data);
    if (meta->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    self->rate_ = static_cast<int>(meta->data.stream_info.sample_rate);
    self->channels_ = static_cast<int>(meta->data.stream_info.channels);
    self->bits_ = static_cast<int>(meta->data.stream_info.bits_per_sample);
    self->length_ = static_cast<int64_t>(meta->data.stream_info.total_samples);
  }
  static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
    // A damaged frame is skipped by the decoder; nothing to do here.
    (void)data;
  }

  FLAC__StreamDecoder* dec_ = nullptr;
  std::vector<float> buffer_;
  size_t offset_ = 0;
  int bits_ = 0;
  bool failed_ = false;
};

// -------------------------------------------------------------------- FFmpeg

class FfmpegDecoder final : public Decoder {
 public:
  FfmpegDecoder() { exactLength_ = false; }
  ~FfmpegDecoder() override {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&swr_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
  }

  bool Open(const std::string& path) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(format_, nullptr) < 0) return false;
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) return false;
    AVStream* st = format_->streams[stream_];
    codec_ = avcodec_alloc_context3(codec);
    if (!codec_ || avcodec_parameters_to_context(codec_, st->codecpar) < 0) return false;
    if (avcodec_open2(codec_, codec, nullptr) < 0) return false;
    const int inChannels = codec_->ch_layout.nb_channels;
    if (codec_->sample_rate <= 0 || inChannels < 1) return false;
    rate_ = codec_->sample_rate;
    channels_ = std::min(inChannels, 2);
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, channels_);
    if (swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_FLT, rate_, &codec_->ch_layout,
                            codec_->sample_fmt, rate_, 0, nullptr) < 0 ||
        swr_init(swr_) < 0)
      return false;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!frame_ || !packet_) return false;
    timeBase_ = av_q2d(st->time_base);
    startTime_ = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
      length_ = static_cast<int64_t>(static_cast<double>(st->duration) * timeBase_ * rate_ + 0.5);
    else if (format_->duration > 0)
      length_ = static_cast<int64_t>(static_cast<double>(format_->duration) / AV_TIME_BASE * rate_ + 0.5);
    else
      return false;
    return length_ > 0;
  }

 protected:
  int64_t DoRead(float* out, int64_t frames) override {
    int64_t total = 0;
    while (total < frames) {
      if (offset_ < buffer_.size()) {
        const size_t avail = (buffer_.size() - offset_) / static_cast<size_t>(channels_);
        const size_t take = std::min<size_t>(avail, static_cast<size_t>(frames - total));
        std::memcpy(out + total * channels_, buffer_.data() + offset_,
                    take * static_cast<size_t>(channels_) * sizeof(float));
        offset_ += take * static_cast<size_t>(channels_);
        total += static_cast<int64_t>(take);
        continue;
      }
      buffer_.clear();
      offset_ = 0;
      if (!DecodeMore()) break;
    }
    return total;
  }

  bool DoSeek(int64_t frame) override {
    const auto ts = static_cast<int64_t>(static_cast<double>(frame) / rate_ / timeBase_) + startTime_;
    if (av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) {
      // Files without an index: go back to the start and decode forward.
      if (av_seek_frame(format_, stream_, startTime_, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0)
        return false;
    }
    avcodec_flush_buffers(codec_);
    swr_init(swr_);
    buffer_.clear();
    offset_ = 0;
    draining_ = false;
    finished_ = false;
    skipTo_ = frame;
    next_ = -1;
    return true;
  }

 private:
  // Decodes the next frame into buffer_; false at the end.
  bool DecodeMore() {
    while (!finished_) {
      const int rc = avcodec_receive_frame(codec_, frame_);
      if (rc == 0) {
        Convert();
        av_frame_unref(frame_);
        if (!buffer_.empty()) return true;
        continue;
      }
      if (rc == AVERROR_EOF) {
        finished_ = true;
        break;
      }
      if (rc != AVERROR(EAGAIN)) {
        finished_ = true;
        break;
      }
      if (draining_) {
        finished_ = true;
        break;
      }
      // The decoder wants input.
      for (;;) {
        const int readRc = av_read_frame(format_, packet_);
        if (readRc < 0) {
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
    return false;
  }

  void Convert() {
    const int inFrames = frame_->nb_samples;
    if (inFrames <= 0) return;
    // Where this frame starts, in frames from the file's start.
    int64_t start = next_;
    const int64_t pts = frame_->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE)
      start = static_cast<int64_t>(static_cast<double>(pts - startTime_) * timeBase_ * rate_ + 0.5);
    if (start < 0 && next_ < 0) start = 0;
    if (start < 0) start = next_;
    const int outMax = swr_get_out_samples(swr_, inFrames);
    if (outMax <= 0) return;
    convert_.resize(static_cast<size_t>(outMax) * static_cast<size_t>(channels_));
    auto* outPtr = reinterpret_cast<uint8_t*>(convert_.data());
    const int got = swr_convert(swr_, &outPtr, outMax, const_cast<const uint8_t**>(frame_->extended_data), inFrames);
    if (got <= 0) return;
    next_ = start + got;
    int64_t drop = 0;
    if (skipTo_ >= 0) {
      if (start + got <= skipTo_) return;  // wholly before the seek target
      drop = std::max<int64_t>(0, skipTo_ - start);
      skipTo_ = -1;
    }
    buffer_.assign(convert_.begin() + drop * channels_, convert_.begin() + static_cast<int64_t>(got) * channels_);
    offset_ = 0;
  }

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int stream_ = -1;
  double timeBase_ = 0;
  int64_t startTime_ = 0;
  std::vector<float> buffer_;
  std::vector<float> convert_;
  size_t offset_ = 0;
  bool draining_ = false;
  bool finished_ = false;
  int64_t skipTo_ = -1;
  int64_t next_ = 0;
};

enum class Kind { kMpeg, kVorbis, kFlac, kOther };

// Recognises the format from the first bytes, past a leading ID3v2 tag.
Kind Sniff(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Kind::kOther;
  unsigned char head[16] = {};
  size_t n = std::fread(head, 1, sizeof head, f);
  long offset = 0;
  if (n >= 10 && std::memcmp(head, "ID3", 3) == 0) {
    const long size = (long(head[6] & 0x7f) << 21) | (long(head[7] & 0x7f) << 14) |
                      (long(head[8] & 0x7f) << 7) | long(head[9] & 0x7f);
    offset = 10 + size + ((head[5] & 0x10) ? 10 : 0);
    if (std::fseek(f, offset, SEEK_SET) == 0)
      n = std::fread(head, 1, sizeof head, f);
    else
      n = 0;
    std::fclose(f);
    if (n >= 4 && std::memcmp(head, "fLaC", 4) == 0) return Kind::kFlac;
    return Kind::kMpeg;  // an ID3v2 tag in front: MPEG audio
  }
  std::fclose(f);
  if (n >= 4 && std::memcmp(head, "fLaC", 4) == 0) return Kind::kFlac;
  if (n >= 4 && std::memcmp(head, "OggS", 4) == 0) return Kind::kVorbis;
  // An MPEG audio frame header: 11 sync bits, a known version and layer.
  if (n >= 4 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0 && (head[1] & 0x18) != 0x08 &&
      (head[1] & 0x06) != 0 && (head[2] & 0xF0) != 0xF0 && (head[2] & 0x0C) != 0x0C)
    return Kind::kMpeg;
  return Kind::kOther;
}

template <typename T, typename... Options>
std::unique_ptr<Decoder> Try(const std::string& path, Options... options) {
  auto d = std::make_unique<T>();
  if (d->Open(path, options...)) return d;
  return nullptr;
}

}  // namespace

std::unique_ptr<Decoder> OpenDecoder(const std::string& path) {
  std::unique_ptr<Decoder> d;
  switch (Sniff(path)) {
    case Kind::kMpeg: d = Try<MpegDecoder>(path, false, false); break;
    case Kind::kVorbis: d = Try<VorbisDecoder>(path); break;
    case Kind::kFlac: d = Try<FlacDecoder>(path); break;
    case Kind::kOther: break;
  }
  // Whatever the first choice could not open (Ogg FLAC, Opus, WMA, WAV,
  // MPEG audio behind other junk) goes to FFmpeg.
  if (!d) d = Try<FfmpegDecoder>(path);
  return d;
}

std::unique_ptr<Decoder> OpenAnalysisDecoder(const std::string& path) {
  if (Sniff(path) == Kind::kMpeg) {
    // Half the rate keeps what tempo detection listens to (up to 8 kHz and
    // more) only from 32 kHz files up.
    auto d = Try<MpegDecoder>(path, true, true);
    if (d && d->rate() < 16000) d = Try<MpegDecoder>(path, true, false);
    if (d) return d;
  }
  return OpenDecoder(path);
}

}  // namespace engine
