#include "MPEG.h"

#include "APETag.h"
#include "Bytes.h"
#include "Codepage.h"
#include "ID3V1Tag.h"
#include "LyricsTag.h"
#include "Module.h"
#include "SafeWrite.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sonavex {

namespace {

const char16_t* const kVersionNames[4] = {u"MPEG 2.5", u"Unknown", u"MPEG 2.0", u"MPEG 1.0"};
const char16_t* const kLayerNames[4] = {u"Unknown", u"Layer 3", u"Layer 2", u"Layer 1"};
const char16_t* const kEmphasisNames[4] = {u"None", u"50/15 ms", u"Unknown", u"CCIT J.17"};
const char16_t* const kChannelModeNames[4] = {u"Stereo", u"Joint Stereo", u"Dual Channel", u"Mono"};
const char16_t* const kEncoderNames[8] = {u"Unknown", u"Xing",  u"FhG",   u"LAME",
                                          u"Blade",   u"GoGo", u"Shine", u"QDesign"};

// kbit/s by [MPEG-1 or not][layer index][bitrate index].
const int16_t kBitrates[2][4][16] = {
    {  // MPEG-2 and 2.5
        {0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    },
    {  // MPEG-1
        {0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    },
};

// Hz by [version index][sample-rate index].
const int32_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

bool Is4(const uint8_t* p, const char* word) { return std::memcmp(p, word, 4) == 0; }

class BitReader {
 public:
  BitReader(const uint8_t* p, size_t bytes) : p_(p), bits_(bytes * 8) {}
  bool Read(int n, unsigned& v) {
    if (pos_ + static_cast<size_t>(n) > bits_) return false;
    v = 0;
    for (int i = 0; i < n; ++i, ++pos_) v = (v << 1) | ((p_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1u);
    return true;
  }
  size_t pos() const { return pos_; }

 private:
  const uint8_t* p_;
  size_t bits_;
  size_t pos_ = 0;
};

void CrcBits(uint16_t& crc, const uint8_t* p, size_t bits) {
  for (size_t i = 0; i < bits; ++i) {
    const unsigned bit = (p[i >> 3] >> (7 - (i & 7))) & 1u;
    const unsigned top = (crc >> 15) & 1u;
    crc = static_cast<uint16_t>(crc << 1);
    if (top ^ bit) crc ^= 0x8005;
  }
}

// Size of a leading ID3v2 tag from its 10-byte header (0 when there is none).
int64_t ID3V2SizeOf(TagFile& file) {
  uint8_t h[10];
  if (!file.Seek(0) || !file.ReadExact(h, sizeof h) || std::memcmp(h, "ID3", 3) != 0) return 0;
  int64_t size = 10 + bytes::Syncsafe32(h + 6);
  if (h[3] == 4 && (h[5] & 0x10)) size += 10;  // footer
  return size;
}

}  // namespace

bool CMPEG::IsValidHeader(const uint8_t* b) {
  return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[1] & 0x18) != 0x08 && (b[1] & 0x06) != 0 &&
         (b[2] & 0xF0) != 0xF0 && (b[2] & 0xF0) != 0 && (b[2] & 0x0C) != 0x0C && (b[3] & 0x03) != 2;
}

void CMPEG::Clear() {
  m_strEncoder.clear();
  std::memset(m_TailTag, 0, sizeof m_TailTag);
  m_nWindowStart = 0;
  m_nBitrateSum = 0;
  m_fSecondsPerFrame = 0.0f;
  m_Vbr = VbrInfo{};
  m_nInfoFrames = m_nEncoderDelay = m_nEncoderPadding = 0;
  m_nAudioStart = m_nAudioBitrate = 0;
  m_nFirstFramePosition = 0;
  m_nFrameSize = 0;
  m_nVersionIndex = 1;
  m_nLayerIndex = 0;
  m_nBitrateIndex = 0;
  m_nSampleRateIndex = 3;
  m_nChannelMode = 4;
  m_nModeExtension = 4;
  m_nEmphasis = 2;
  m_bFound = false;
  m_nProtectionBit = m_nPaddingBit = m_nPrivateBit = m_nCopyrightBit = m_nOriginalBit = 0;
  m_bZeroAfterHeader = false;
  m_Window.assign(kWindowSize, 0);
}

void CMPEG::DecodeHeader(const uint8_t* b) {
  m_nVersionIndex = (b[1] >> 3) & 3;
  m_nLayerIndex = (b[1] >> 1) & 3;
  m_nProtectionBit = b[1] & 1;
  m_nBitrateIndex = b[2] >> 4;
  m_nSampleRateIndex = (b[2] >> 2) & 3;
  m_nPaddingBit = (b[2] >> 1) & 1;
  m_nPrivateBit = b[2] & 1;
  m_nChannelMode = b[3] >> 6;
  m_nModeExtension = (b[3] >> 4) & 3;
  m_nCopyrightBit = (b[3] >> 3) & 1;
  m_nOriginalBit = (b[3] >> 2) & 1;
  m_nEmphasis = b[3] & 3;
}

int32_t CMPEG::GetFrameSizeFactor() const {
  if (m_nLayerIndex == 3) return 48;
  if (m_nVersionIndex == 3 || m_nLayerIndex == 2) return 144;
  return 72;
}

int32_t CMPEG::GetPaddingSize() const {
  if (!m_nPaddingBit) return 0;
  return m_nLayerIndex == 3 ? 4 : 1;
}

int32_t CMPEG::GetTableBitrate() const {
  if (m_nVersionIndex == 1 || m_nVersionIndex > 3 || m_nLayerIndex > 3 || m_nBitrateIndex > 15) return 0;
  return kBitrates[m_nVersionIndex == 3 ? 1 : 0][m_nLayerIndex][m_nBitrateIndex];
}

int32_t CMPEG::GetSampleRate() {
  if (m_nVersionIndex > 3 || m_nSampleRateIndex > 3) return 0;
  return kSampleRates[m_nVersionIndex][m_nSampleRateIndex];
}

int32_t CMPEG::GetFrameLength() const {
  const int32_t rate = const_cast<CMPEG*>(this)->GetSampleRate();
  if (rate == 0) return 0;
  return GetFrameSizeFactor() * GetTableBitrate() * 1000 / rate + GetPaddingSize();
}

int64_t CMPEG::GetAudioBytes() const {
  return int64_t{State().fileSize} - m_nWindowStart - State().apeSize - State().lyricsSize - State().id3v1Size;
}

void CMPEG::FindFirstFrame(TagFile& file, size_t got) {
  const uint8_t* w = m_Window.data();
  for (size_t i = 0; i < static_cast<size_t>(kWindowStep) && i + 4 <= got; ++i) {
    if (!IsValidHeader(w + i)) continue;
    DecodeHeader(w + i);
    const int32_t length = GetFrameLength();
    if (length <= 0) continue;
    // The next header must follow one frame later; past the bytes read it
    // is fetched from the file.
    uint8_t next[4];
    const size_t at = i + static_cast<size_t>(length);
    if (at + 4 <= got) {
      std::memcpy(next, w + at, 4);
    } else if (!file.Seek(int64_t{m_nWindowStart} + static_cast<int64_t>(at)) || !file.ReadExact(next, 4)) {
      continue;
    }
    if (!IsValidHeader(next)) continue;

    m_bFound = true;
    m_nFirstFramePosition = m_nWindowStart + static_cast<int32_t>(i);
    m_nFrameSize = length;
    // The window's unread part is zero, so these reads stay in this file.
    m_bZeroAfterHeader = std::all_of(w + i + 4, w + i + 10, [](uint8_t b) { return b == 0; });
    const bool mono = m_nChannelMode == 3;
    const size_t o = i + (m_nVersionIndex == 3 ? (mono ? 21 : 36) : (mono ? 13 : 21));
    if (Is4(w + o, "Xing")) {
      m_Vbr = VbrInfo{};
      m_Vbr.vbr = 1;
      std::memcpy(m_Vbr.tag, "Xing", 4);
      m_Vbr.frames = static_cast<int32_t>(bytes::BE32(w + o + 8));
      m_Vbr.bytes = static_cast<int32_t>(bytes::BE32(w + o + 12));
      m_Vbr.quality = w[o + 119];
      std::memcpy(m_Vbr.encoder, w + o + 120, 8);
    } else if (Is4(w + o, "Info") && (bytes::BE32(w + o + 4) & 1)) {
      // The same header for a constant-rate stream (lame): not VBR, but its
      // frame count, less the encoder's delay and padding of the LAME tag,
      // gives the length.
      m_nInfoFrames = static_cast<int32_t>(bytes::BE32(w + o + 8));
      if (Is4(w + o + 120, "LAME")) {
        const uint8_t* d = w + o + 120 + 21;
        m_nEncoderDelay = (d[0] << 4) | (d[1] >> 4);
        m_nEncoderPadding = ((d[1] & 0x0F) << 8) | d[2];
      }
    } else if (Is4(w + o, "VBRI")) {
      m_Vbr = VbrInfo{};
      m_Vbr.vbr = 1;
      std::memcpy(m_Vbr.tag, "VBRI", 4);
      m_Vbr.frames = static_cast<int32_t>(bytes::BE32(w + o + 14));
      m_Vbr.bytes = static_cast<int32_t>(bytes::BE32(w + o + 10));
      m_Vbr.quality = w[o + 9];
    }
    // The audio begins behind a frame that only holds such a header; the
    // confirming header is the first audio frame's.
    const bool headerFrame = m_Vbr.vbr || m_nInfoFrames > 0 || Is4(w + o, "Info");
    m_nAudioStart = m_nFirstFramePosition + (headerFrame ? length : 0);
    if (headerFrame) {
      const uint8_t first[4] = {w[i], w[i + 1], w[i + 2], w[i + 3]};
      DecodeHeader(next);
      m_nAudioBitrate = GetTableBitrate();
      DecodeHeader(first);
    } else {
      m_nAudioBitrate = GetTableBitrate();
    }
    return;
  }
}

void CMPEG::FindEncoderTag(size_t got, int32_t count) {
  const uint8_t* w = m_Window.data();
  const int64_t n = std::min<int64_t>(count, kWindowSize - 8);
  for (int64_t k = 0; k < n; ++k) {
    const int64_t at = static_cast<int64_t>(got) - 8 - k;
    if (at < 0) break;
    if (Is4(w + at, "LAME")) {
      std::memcpy(m_TailTag, w + at, 8);
      return;
    }
    if (Is4(w + at, "GOGO")) {
      std::memcpy(m_TailTag, "GOGO", 4);
      return;
    }
  }
  std::memset(m_TailTag, 0, 8);
}

int CMPEG::GuessEncoder() const {
  if (m_nOriginalBit && m_nProtectionBit) return 3;
  if (GetTableBitrate() <= 160 && m_nChannelMode == 0) return 4;
  if (m_nCopyrightBit && m_nOriginalBit && !m_nProtectionBit) return 1;
  if (m_bZeroAfterHeader && m_nOriginalBit) return 1;
  if (m_nLayerIndex == 2) return 7;
  if (m_nChannelMode == 2 && m_nProtectionBit) return 6;
  if (Is4(m_TailTag, "LAME")) return 3;
  if (Is4(m_TailTag, "GOGO")) return 5;
  return 2;
}

int CMPEG::EncoderId() const {
  if (!m_bFound) return 0;
  if (m_Vbr.vbr) {
    const uint8_t* e = m_Vbr.encoder;
    if (Is4(e, "LAME")) return 3;
    if (Is4(e, "GOGO") || Is4(e, "MPGE")) return 5;
    if (Is4(e, "Xing")) return 1;
    if (Is4(e, "VBRI")) return 2;
    return 0;
  }
  return GuessEncoder();
}

void CMPEG::BuildEncoderString() {
  const int id = EncoderId();
  m_strEncoder = kEncoderNames[id];
  uint8_t version[10] = {};
  auto anySet = [](const uint8_t* p) { return std::any_of(p, p + 6, [](uint8_t b) { return b != 0; }); };
  if (anySet(m_Vbr.encoder)) std::memcpy(version, m_Vbr.encoder, 8);
  if (anySet(m_TailTag)) std::memcpy(version, m_TailTag, 8);
  if (id == 3 && version[5] == '.') {
    const uint8_t* v = version + 4;
    size_t n = 0;
    while (n < 4 && v[n] != 0) ++n;
    m_strEncoder += u' ';
    m_strEncoder += AnsiToWide(std::string_view(reinterpret_cast<const char*>(v), n));
  }
}

void CMPEG::AnalyzeAllFrames(TagFile& file) {
  int32_t count = 0;
  int32_t previous = 0;
  int64_t sum = 0;
  m_Vbr.vbr = 0;
  int64_t position = m_nAudioStart;
  const int64_t end = int64_t{State().fileSize} - State().lyricsSize - State().id3v1Size;
  // The walk reads the file in large chunks rather than 4 bytes per seek.
  std::vector<uint8_t> chunk(1 << 16);
  int64_t chunkStart = 0;
  size_t chunkLength = 0;
  while (position < end) {
    if (position < chunkStart || position + 4 > chunkStart + static_cast<int64_t>(chunkLength)) {
      chunkStart = position;
      chunkLength = file.Seek(position) ? file.Read(chunk.data(), chunk.size()) : 0;
    }
    int64_t step = 1;
    const int64_t offset = position - chunkStart;
    if (offset + 4 <= static_cast<int64_t>(chunkLength) && IsValidHeader(chunk.data() + offset)) {
      ++count;
      DecodeHeader(chunk.data() + offset);
      step = std::max<int32_t>(1, GetFrameLength());
      const int32_t bitrate = GetTableBitrate();
      sum += bitrate;
      if (previous != 0 && previous != bitrate) m_Vbr.vbr = 1;
      previous = bitrate;
    }
    position += step;
  }
  m_Vbr.frames = count;
  m_nBitrateSum = static_cast<int32_t>(std::min<int64_t>(sum, INT32_MAX));
  const int32_t rate = GetSampleRate();
  m_fSecondsPerFrame = rate > 0 ? static_cast<float>(GetFrameSizeFactor() * 8.0 / rate) : 0.0f;
}

bool CMPEG::Read(TagFile& file) {
  Clear();
  const int64_t limit = int64_t{State().id3v2Size} + static_cast<int64_t>(State().fileSize * 0.5);
  m_nWindowStart = State().id3v2Size;
  for (;;) {
    std::fill(m_Window.begin(), m_Window.end(), 0);
    const size_t got = file.Seek(m_nWindowStart) ? file.Read(m_Window.data(), kWindowSize) : 0;
    FindFirstFrame(file, got);
    if (m_bFound || got < static_cast<size_t>(kWindowSize) || m_nWindowStart >= limit) break;
    m_nWindowStart += kWindowStep;
  }
  if (!m_bFound) {
    Clear();
    return false;
  }
  if (!m_Vbr.vbr) {
    // No VBR header: look for an encoder tag near the end of the audio.
    const int64_t tailEnd = int64_t{State().fileSize} - State().lyricsSize - State().id3v1Size;
    const int64_t take = std::clamp<int64_t>(tailEnd, 0, kWindowSize);
    std::fill(m_Window.begin(), m_Window.end(), 0);
    const size_t got = take > 0 && file.Seek(tailEnd - take) ? file.Read(m_Window.data(), static_cast<size_t>(take)) : 0;
    FindEncoderTag(got, 5 * m_nFrameSize);
  }
  BuildEncoderString();
  if (State().analyzeAllFrames) AnalyzeAllFrames(file);
  return true;
}

int32_t CMPEG::GetChannels() {
  if (m_nChannelMode == 3) return 1;
  if (m_nChannelMode > 3) return 0;
  return 2;
}

int32_t CMPEG::GetFrames() {
  if (!m_bFound) return 0;
  if (m_Vbr.vbr) return m_Vbr.frames;
  if (m_nInfoFrames > 0 && !State().analyzeAllFrames) return m_nInfoFrames;
  const int32_t length = GetFrameLength();
  if (length <= 0) return 0;
  return static_cast<int32_t>(static_cast<double>(GetAudioBytes()) / length + 0.9);
}

int32_t CMPEG::GetBitrate() {
  if (!m_bFound) return 0;
  if (m_Vbr.vbr && m_Vbr.frames > 0) {
    if (State().analyzeAllFrames) return m_nBitrateSum > 0 ? m_nBitrateSum / m_Vbr.frames : 0;
    const int32_t factor = GetFrameSizeFactor();
    const int32_t perSecond = GetSampleRate() / factor;
    const double frameBytes = static_cast<double>(m_Vbr.bytes) / m_Vbr.frames - GetPaddingSize();
    return static_cast<int32_t>(perSecond * 0.001 * frameBytes + 0.5);
  }
  // The audio frames' bitrate, not that of a frame holding lame's Info header.
  if (m_nInfoFrames > 0 && !State().analyzeAllFrames && m_nAudioBitrate > 0) return m_nAudioBitrate;
  return GetTableBitrate();
}

double CMPEG::Seconds() {
  if (!m_bFound) return 0.0;
  if (m_Vbr.vbr && m_Vbr.frames > 0) {
    if (State().analyzeAllFrames) return static_cast<float>(m_Vbr.frames * static_cast<double>(m_fSecondsPerFrame));
    const int32_t rate = GetSampleRate();
    if (rate <= 0) return 0.0;
    return static_cast<float>(static_cast<double>(m_Vbr.frames) * GetFrameSizeFactor() * 8 / rate);
  }
  if (m_nInfoFrames > 0 && !State().analyzeAllFrames) {
    const int32_t rate = GetSampleRate();
    if (rate <= 0) return 0.0;
    const int64_t samples = int64_t{m_nInfoFrames} * GetFrameSizeFactor() * 8 - m_nEncoderDelay - m_nEncoderPadding;
    return static_cast<float>(static_cast<double>(std::max<int64_t>(samples, 0)) / rate);
  }
  const int32_t bitrate = GetBitrate();
  if (bitrate <= 0) return 0.0;
  return static_cast<float>(static_cast<double>(GetAudioBytes()) / bitrate * 0.008);
}

float CMPEG::GetDuration() { return ReportedSeconds(Seconds()); }

WString CMPEG::GetChannelMode() { return m_nChannelMode < 4 ? kChannelModeNames[m_nChannelMode] : u"Unknown"; }
WString CMPEG::GetVersion() { return m_nVersionIndex < 4 ? kVersionNames[m_nVersionIndex] : u"Unknown"; }
WString CMPEG::GetLayer() const { return m_nLayerIndex < 4 ? kLayerNames[m_nLayerIndex] : u"Unknown"; }
WString CMPEG::GetEmphasis() const { return m_nEmphasis < 4 ? kEmphasisNames[m_nEmphasis] : u"Unknown"; }

bool CMPEG::IsValid() {
  return m_bFound && m_nVersionIndex != 1 && m_nSampleRateIndex != 3 && m_nChannelMode != 4 &&
         m_nModeExtension != 4 && m_nEmphasis != 2 && PlausibleFigures(GetSampleRate(), 0, 0, Seconds());
}

// ---- CRC of a protected frame --------------------------------------------

bool CMPEG::ComputeFrameCrc(const uint8_t* frame, size_t available, uint16_t& crc) {
  if (available < 6 || !IsValidHeader(frame) || (frame[1] & 1) != 0) return false;
  const int version = (frame[1] >> 3) & 3;
  const int layer = (frame[1] >> 1) & 3;
  const int mode = frame[3] >> 6;
  const int modeExt = (frame[3] >> 4) & 3;
  const int channels = mode == 3 ? 1 : 2;
  const bool mpeg1 = version == 3;
  const uint8_t* data = frame + 6;
  const size_t dataBytes = available - 6;
  size_t bits = 0;
  if (layer == 1) {  // Layer III: the side information
    bits = static_cast<size_t>(mpeg1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17)) * 8;
  } else if (layer == 3) {  // Layer I: the bit allocation
    const int bound = mode == 1 ? 4 * (modeExt + 1) : 32;
    bits = static_cast<size_t>(4 * (bound * channels + (32 - bound)));
  } else {  // Layer II: the bit allocation and the scale factor selection
    const int bitrate = kBitrates[mpeg1 ? 1 : 0][layer][frame[2] >> 4];
    const int rate = kSampleRates[version][(frame[2] >> 2) & 3];
    const int perChannel = bitrate / channels;
    int table;
    if (!mpeg1)
      table = 4;
    else if ((rate == 48000 && perChannel >= 56) || (perChannel >= 56 && perChannel <= 80))
      table = 0;
    else if (rate != 48000 && perChannel >= 96)
      table = 1;
    else if (rate != 32000 && perChannel <= 48)
      table = 2;
    else
      table = 3;
    static const int kSbLimit[5] = {27, 30, 8, 12, 30};
    auto allocationBits = [table](int sb) {
      switch (table) {
        case 0:
        case 1: return sb < 11 ? 4 : sb < 23 ? 3 : 2;
        case 2:
        case 3: return sb < 2 ? 4 : 3;
        default: return sb < 4 ? 4 : sb < 11 ? 3 : 2;
      }
    };
    const int sblimit = kSbLimit[table];
    const int bound = mode == 1 ? std::min(4 * (modeExt + 1), sblimit) : sblimit;
    BitReader reader(data, dataBytes);
    unsigned allocation[2][32] = {};
    for (int sb = 0; sb < sblimit; ++sb) {
      for (int ch = 0; ch < (sb < bound ? channels : 1); ++ch)
        if (!reader.Read(allocationBits(sb), allocation[ch][sb])) return false;
      if (sb >= bound) allocation[1][sb] = allocation[0][sb];
    }
    bits = reader.pos();
    for (int sb = 0; sb < sblimit; ++sb)
      for (int ch = 0; ch < channels; ++ch)
        if (allocation[ch][sb]) bits += 2;
  }
  if ((bits + 7) / 8 > dataBytes) return false;
  crc = 0xFFFF;
  CrcBits(crc, frame + 2, 16);
  CrcBits(crc, data, bits);
  return true;
}

// ---- Changing a header bit -----------------------------------------------

bool CMPEG::ModifyHeaderBit(const WString& path, int byteIndex, uint8_t mask, bool set) {
  TagFile f;
  if (!f.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), f, path);
    return false;
  }
  // Find the first frame of this file with this file's own tag sizes, on a
  // state of its own: the control keeps the sizes of its last analysis.
  FileState& own = State();
  FileState scratch;
  scratch.analyzeAllFrames = own.analyzeAllFrames;
  scratch.fileSize = static_cast<int32_t>(std::clamp<int64_t>(f.Length(), 0, INT32_MAX));
  scratch.id3v2Size = static_cast<int32_t>(std::clamp<int64_t>(ID3V2SizeOf(f), 0, INT32_MAX));
  {
    CID3V1Tag id3v1;
    id3v1.BindState(scratch);
    id3v1.Read(f);
    CLyricsTag lyrics;
    lyrics.BindState(scratch);
    lyrics.Read(f);
    CAPETag ape;
    ape.BindState(scratch);
    ape.Read(f);
  }
  BindState(scratch);
  const bool found = Read(f);
  BindState(own);
  if (!found) return false;

  uint8_t frame[64] = {};
  if (!f.Seek(m_nFirstFramePosition)) {
    State().lastError = f.Error() ? f.Error() : EIO;
    return false;
  }
  const size_t got = f.Read(frame, sizeof frame);
  if (got < 4) {
    State().lastError = f.Error() ? f.Error() : EIO;
    return false;
  }
  // A protected frame gets its CRC computed again, when the stored one
  // checks out against the old header.
  uint16_t oldCrc = 0;
  const bool protectedFrame = got >= 6 && (frame[1] & 1) == 0 && ComputeFrameCrc(frame, got, oldCrc) &&
                              oldCrc == bytes::BE16(frame + 4);
  uint8_t old[6];
  std::memcpy(old, frame, sizeof old);
  if (set)
    frame[byteIndex] |= mask;
  else
    frame[byteIndex] &= static_cast<uint8_t>(~mask);
  size_t writeBytes = 4;
  uint16_t newCrc = 0;
  if (protectedFrame && ComputeFrameCrc(frame, got, newCrc)) {
    bytes::PutBE16(frame + 4, newCrc);
    writeBytes = 6;
  }
  const ByteRange change = ChangedRange(old, frame, writeBytes);
  if (change.length == 0) return true;
  const int64_t at = m_nFirstFramePosition + change.offset;
  if (FitsOnePage(at, change.length)) {
    return WriteInPlace(State(), path, f, at, frame + change.offset, change.length);
  }
  // A header across a page boundary: the file is rewritten.
  const int64_t length = f.Length();
  const int64_t behind = at + static_cast<int64_t>(change.length);
  SafeRewrite out(State());
  return out.Begin(path, f) && out.CopyFrom(f, 0, at) && out.Write(frame + change.offset, change.length) &&
         out.CopyFrom(f, behind, length - behind) && out.Commit();
}

}  // namespace sonavex
