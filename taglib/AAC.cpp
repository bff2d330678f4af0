#include "AAC.h"

#include "Module.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace sonavex {

namespace {

constexpr const char16_t* kHeaderTypeNames[] = {u"Unknown", u"ADIF", u"ADTS"};
constexpr const char16_t* kVersionNames[] = {u"Unknown", u"MPEG-2", u"MPEG-4"};
constexpr const char16_t* kProfileNames[] = {u"Unknown", u"AAC Main", u"AAC LC", u"AAC SSR", u"AAC LTP"};
constexpr const char16_t* kBitrateTypeNames[] = {u"Unknown", u"CBR", u"VBR"};

template <size_t N>
WString NameAt(const char16_t* const (&names)[N], unsigned index) {
  return index < N ? WString(names[index]) : WString(names[0]);
}

// Sampling-frequency index -> Hz; the indexes 12 to 15 are reserved.
int32_t SampleRateOf(uint32_t index) {
  static constexpr int32_t kRates[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                         16000, 12000, 11025, 8000,  0,     0,     0,     0};
  return kRates[index & 15];
}

// A window of the file's bytes, read once. Bytes the file does not have read
// as zero, so bit fields near the end never reach past the data.
class BitWindow {
 public:
  BitWindow(TagFile& file, int64_t offset, size_t size) : size_(std::min(size, sizeof buf_)) {
    std::memset(buf_, 0, sizeof buf_);
    if (offset >= 0 && file.Seek(offset)) got_ = file.Read(buf_, size_);
  }
  size_t Got() const { return got_; }
  const uint8_t* Bytes() const { return buf_; }

  // n bits (n <= 25), most significant first, from bit position p of the
  // window: the four bytes at p / 8 as a big-endian number, shifted left by
  // p % 8, top n bits kept.
  uint32_t Bits(uint32_t p, unsigned n) const {
    const size_t at = p / 8;
    uint32_t word = 0;
    for (size_t i = 0; i < 4; ++i) word = (word << 8) | (at + i < got_ ? buf_[at + i] : 0u);
    word <<= (p % 8);
    return word >> (32 - n);
  }

 private:
  uint8_t buf_[64];
  size_t size_;
  size_t got_ = 0;
};

bool IsSync(const uint8_t* b) { return b[0] == 0xFF && (b[1] & 0xF0) == 0xF0; }

bool SyncAt(TagFile& file, int64_t offset) {
  BitWindow w(file, offset, 2);
  return w.Got() == 2 && IsSync(w.Bytes());
}

}  // namespace

void CAAC::Clear() {
  m_nHeaderType = m_nVersion = m_nProfile = m_nChannels = m_nBitrateType = 0;
  m_nSampleRate = m_nBitRate = 0;
}

bool CAAC::Read(TagFile& file) {
  Clear();
  const int64_t start = State().id3v2Size;
  BitWindow head(file, start, 4);
  if (head.Got() == 4 && std::memcmp(head.Bytes(), "ADIF", 4) == 0) {
    m_nHeaderType = kHeaderADIF;
    ReadADIF(file, start);
    return true;
  }
  if (head.Got() >= 2 && IsSync(head.Bytes())) {
    m_nHeaderType = kHeaderADTS;
    ReadADTS(file, start);
    if (IsValid()) return true;
    // An ADTS stream without usable figures is not taken as AAC.
    Clear();
    return false;
  }
  return false;
}

void CAAC::ReadADIF(TagFile& file, int64_t start) {
  BitWindow w(file, start, 64);
  // Past "ADIF": the copyright flag; with it a 72-bit identification field
  // follows, then the original/copy and home flags.
  const uint32_t p = w.Bits(32, 1) ? 107 : 35;
  const bool vbr = w.Bits(p, 1) != 0;
  m_nBitrateType = vbr ? kBitrateVBR : kBitrateCBR;
  m_nBitRate = static_cast<int32_t>(w.Bits(p + 1, 23));
  // The first program configuration element: past the element count, the
  // buffer fullness (constant rate only) and the element tag.
  const uint32_t q = p + (vbr ? 32 : 52);
  m_nProfile = static_cast<uint8_t>(w.Bits(q, 2) + 1);
  m_nVersion = kVersionMPEG4;
  m_nSampleRate = SampleRateOf(w.Bits(q + 2, 4));
  // Counts of front, side, back and LFE channel elements.
  m_nChannels = static_cast<uint8_t>(w.Bits(q + 6, 4) + w.Bits(q + 10, 4) + w.Bits(q + 14, 4) + w.Bits(q + 18, 2));
}

void CAAC::ReadADTS(TagFile& file, int64_t start) {
  const int64_t end = State().fileSize;
  int64_t pos = start;
  int64_t total = 0;
  int64_t frames = 0;
  // MPEG-4 headers of the first drafts carried a 2-bit emphasis field before
  // the frame length; current streams do not. Which layout a stream uses is
  // decided on its first frame by where its frame length leads.
  int layoutShift = -1;
  for (;;) {
    BitWindow w(file, pos, 10);
    if (w.Got() < 2 || !IsSync(w.Bytes())) break;
    const uint8_t version = w.Bits(12, 1) ? kVersionMPEG2 : kVersionMPEG4;
    if (layoutShift < 0) {
      layoutShift = 0;
      if (version == kVersionMPEG4) {
        auto leadsOn = [&](uint32_t len) {
          return len >= 7 && (pos + len == end || (pos + len < end && SyncAt(file, pos + len)));
        };
        if (!leadsOn(w.Bits(30, 13)) && leadsOn(w.Bits(32, 13))) layoutShift = 2;
      }
    }
    const uint32_t length = w.Bits(30 + layoutShift, 13);
    // A frame shorter than its own header cannot be stepped over (and a
    // header cut off by the end of the file reads as such): the walk ends
    // there, and that frame counts for nothing.
    if (length < 7) break;
    // Each frame's header overwrites the fields: the last frame gives them.
    m_nVersion = version;
    m_nProfile = static_cast<uint8_t>(w.Bits(16, 2) + 1);
    m_nSampleRate = SampleRateOf(w.Bits(18, 4));
    m_nChannels = static_cast<uint8_t>(w.Bits(23, 3));
    m_nBitrateType = w.Bits(43 + layoutShift, 11) == 0x7FF ? kBitrateVBR : kBitrateCBR;
    total += length;
    ++frames;
    // A constant-rate stream is represented by its first frame.
    if (m_nBitrateType == kBitrateCBR || start + total >= end) break;
    pos = start + total;
  }
  if (frames == 0) {
    m_nBitRate = 0;
    return;
  }
  const double kbps = double(m_nSampleRate) * double(total) * 8.0 / 1024.0 / double(frames) / 1000.0 + 0.5;
  m_nBitRate = static_cast<int32_t>(std::min(std::floor(kbps), double(std::numeric_limits<int32_t>::max() / 1000)) * 1000);
}

double CAAC::Seconds() const {
  if (m_nBitRate <= 0) return 0.0;
  const int64_t bytes = std::max<int64_t>(0, int64_t(State().fileSize) - State().id3v2Size);
  return double(bytes) * 8.0 / double(m_nBitRate);
}

float CAAC::GetDuration() { return ReportedSeconds(Seconds()); }

int32_t CAAC::GetBitrate() { return m_nBitRate <= 0 ? 0 : (m_nBitRate + 500) / 1000; }

WString CAAC::GetVersion() { return NameAt(kVersionNames, m_nVersion); }

bool CAAC::IsValid() {
  return m_nHeaderType != kHeaderNone && m_nChannels > 0 && m_nSampleRate > 0 && m_nBitRate > 0 &&
         PlausibleFigures(m_nSampleRate, m_nChannels, 0, Seconds());
}

WString CAAC::GetHeaderTypeName() const { return NameAt(kHeaderTypeNames, m_nHeaderType); }
WString CAAC::GetProfileName() const { return NameAt(kProfileNames, m_nProfile); }
WString CAAC::GetBitrateTypeName() const { return NameAt(kBitrateTypeNames, m_nBitrateType); }

}  // namespace sonavex
