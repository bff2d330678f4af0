#include "ByteBuffer.h"

#include "Codepage.h"
#include "Module.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace sonavex {

namespace {
constexpr int32_t kMaxDecode = 32500;
}

CByteBuffer::CByteBuffer(const char* sz) { AppendSz(sz); }
CByteBuffer::CByteBuffer(const char16_t* wide) { AppendWide(wide); }

CByteBuffer::~CByteBuffer() {
  delete[] data_;
  data_ = nullptr;
  length_ = capacity_ = 0;
}

CByteBuffer& CByteBuffer::operator=(const CByteBuffer& other) {
  if (this == &other) return *this;
  if (other.length_ == 0) {
    length_ = 0;
    return *this;
  }
  if (AllocNewBuffer(other.length_)) {
    std::memcpy(data_, other.data_, static_cast<size_t>(other.length_));
    length_ = other.length_;
  }
  return *this;
}

bool CByteBuffer::Reserve(int32_t n, bool keep, const char16_t* failText) {
  if (n < 0) return false;
  if (data_ && static_cast<int64_t>(n) + 2 <= capacity_) return true;
  const int64_t want = (static_cast<int64_t>(n) + 1) / 256 * 256 + 256;
  if (want > std::numeric_limits<int32_t>::max()) {
    ShowMessage(u"", failText);
    return false;
  }
  uint8_t* block = new (std::nothrow) uint8_t[static_cast<size_t>(want)];
  if (!block) {
    ShowMessage(u"", failText);
    return false;  // the old content stays as it was
  }
  if (keep && data_ && length_ > 0) std::memcpy(block, data_, static_cast<size_t>(length_));
  delete[] data_;
  data_ = block;
  capacity_ = static_cast<int32_t>(want);
  if (!keep) length_ = 0;
  return true;
}

bool CByteBuffer::GrowBuffer(int32_t n) { return Reserve(n, true, u"GrowBuffer:Not enough Memory"); }

bool CByteBuffer::ReserveMore(int64_t count) {
  if (count < 0) return false;
  const int64_t n = static_cast<int64_t>(length_) + count;
  if (n > std::numeric_limits<int32_t>::max() - 2) return false;
  return GrowBuffer(static_cast<int32_t>(n));
}
bool CByteBuffer::AllocNewBuffer(int32_t n) { return Reserve(n, false, u"AllocNewBuffer: Not enough Memory"); }

void CByteBuffer::Terminate() {
  if (data_) data_[length_] = data_[length_ + 1] = 0;
}

void CByteBuffer::ReadFromFile(int32_t count, TagFile& file) {
  length_ = 0;
  if (count <= 0) return;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, file.Remaining()));
  if (n <= 0 || !AllocNewBuffer(n)) return;
  length_ = static_cast<int32_t>(file.Read(data_, static_cast<size_t>(n)));
}

void CByteBuffer::AppendFromFile(int32_t count, TagFile& file) {
  if (count <= 0) return;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, file.Remaining()));
  if (n <= 0) return;
  if (static_cast<int64_t>(length_) + n > std::numeric_limits<int32_t>::max() - 2) return;
  if (!GrowBuffer(length_ + n)) return;
  length_ += static_cast<int32_t>(file.Read(data_ + length_, static_cast<size_t>(n)));
}

int32_t CByteBuffer::WriteToFile(int32_t count, TagFile& file) const {
  const int32_t n = std::min(count, length_);
  if (n <= 0) return 0;
  return file.Write(data_, static_cast<size_t>(n)) ? n : 0;
}

uint8_t* CByteBuffer::Prepare(int32_t n) {
  if (n < 0 || n > std::numeric_limits<int32_t>::max() - 2 || !GrowBuffer(n)) return nullptr;
  length_ = n;
  return data_;
}

void CByteBuffer::AppendBytes(const void* bytes, int32_t count) {
  if (!bytes || count <= 0) return;
  if (static_cast<int64_t>(length_) + count > std::numeric_limits<int32_t>::max() - 2) return;
  if (!GrowBuffer(length_ + count)) return;
  std::memmove(data_ + length_, bytes, static_cast<size_t>(count));
  length_ += count;
}

void CByteBuffer::AppendByte(uint8_t byte) { AppendBytes(&byte, 1); }

void CByteBuffer::AppendFill(uint8_t byte, int32_t count) {
  if (count <= 0) return;
  if (static_cast<int64_t>(length_) + count > std::numeric_limits<int32_t>::max() - 2) return;
  if (!GrowBuffer(length_ + count)) return;
  std::memset(data_ + length_, byte, static_cast<size_t>(count));
  length_ += count;
}

void CByteBuffer::AppendBuffer(const CByteBuffer& other) {
  if (&other == this) {
    const CByteBuffer copy(other);
    AppendBytes(copy.data_, copy.length_);
  } else {
    AppendBytes(other.data_, other.length_);
  }
}

void CByteBuffer::AppendSz(const char* sz) {
  if (sz) AppendBytes(sz, static_cast<int32_t>(std::strlen(sz)));
}

void CByteBuffer::AppendWide(const char16_t* wide) {
  if (!wide) return;
  size_t n = 0;
  while (wide[n]) ++n;
  AppendWide(WString(wide, n));
}

void CByteBuffer::AppendWide(const WString& wide) {
  std::string bytes;
  bytes.reserve(wide.size() * 2);
  for (char16_t c : wide) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  AppendBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void CByteBuffer::AddStringA(const WString& text) {
  const std::string bytes = WideToAnsi(text);
  if (bytes.empty()) return;
  if (static_cast<int64_t>(length_) + static_cast<int64_t>(bytes.size()) > std::numeric_limits<int32_t>::max() - 2 ||
      !Reserve(length_ + static_cast<int32_t>(bytes.size()), true, u"AddStringA: Not enough Memory"))
    return;
  AppendBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void CByteBuffer::AddAsUTF8(const WString& text) {
  const std::string bytes = ToUtf8(text);
  if (bytes.empty()) return;
  if (static_cast<int64_t>(length_) + static_cast<int64_t>(bytes.size()) > std::numeric_limits<int32_t>::max() - 2 ||
      !Reserve(length_ + static_cast<int32_t>(bytes.size()), true, u"AddAsUTF8:Not enough Memory"))
    return;
  AppendBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void CByteBuffer::AddStringAFixed(const WString& text, int32_t width) {
  if (width <= 0) return;
  std::string bytes = WideToAnsi(text.substr(0, static_cast<size_t>(width)));
  if (bytes.size() > static_cast<size_t>(width)) bytes.resize(static_cast<size_t>(width));
  AppendBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
  AppendFill(0, width - static_cast<int32_t>(bytes.size()));
}

const char* CByteBuffer::GetSz() {
  if (!data_ && !AllocNewBuffer(0)) return "";
  Terminate();
  return reinterpret_cast<const char*>(data_);
}

WString CByteBuffer::GetStringA() const {
  if (length_ <= 0) return {};
  const auto* begin = reinterpret_cast<const char*>(data_);
  const auto* zero = static_cast<const char*>(std::memchr(begin, 0, static_cast<size_t>(length_)));
  return AnsiToWide(std::string_view(begin, zero ? static_cast<size_t>(zero - begin) : static_cast<size_t>(length_)));
}

WString CByteBuffer::MidA(int32_t position, int32_t count) const {
  if (length_ <= 0 || position < 0 || position >= length_ || count <= 0) return {};
  const int32_t n = std::min(count, length_ - position);
  return AnsiToWide(std::string_view(reinterpret_cast<const char*>(data_) + position, static_cast<size_t>(n)));
}

namespace {

WString DecodeUtf16(const uint8_t* p, size_t bytes, bool bigEndian) {
  WString out;
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    const char16_t u = bigEndian ? static_cast<char16_t>((p[i] << 8) | p[i + 1])
                                 : static_cast<char16_t>(p[i] | (p[i + 1] << 8));
    if (u == 0) break;
    out += u;
  }
  return out;
}

std::string_view UpToZero(const uint8_t* p, size_t bytes) {
  const auto* begin = reinterpret_cast<const char*>(p);
  const auto* zero = static_cast<const char*>(std::memchr(begin, 0, bytes));
  return std::string_view(begin, zero ? static_cast<size_t>(zero - begin) : bytes);
}

// Decodes bytes with one of the four text encodings of ID3v2.
WString Decode(const uint8_t* p, size_t bytes, int encoding) {
  switch (encoding) {
    case 0: return AnsiToWide(UpToZero(p, bytes));
    case 1:
      if (bytes >= 2 && p[0] == 0xFE && p[1] == 0xFF) return DecodeUtf16(p + 2, bytes - 2, true);
      if (bytes >= 2 && p[0] == 0xFF && p[1] == 0xFE) return DecodeUtf16(p + 2, bytes - 2, false);
      return {};
    case 2: return DecodeUtf16(p, bytes, true);
    case 3: return FromUtf8(UpToZero(p, bytes));
    default: return {};
  }
}

}  // namespace

WString DecodeText(const uint8_t* bytes, size_t n, int encoding) {
  if (!bytes || n == 0) return {};
  return Decode(bytes, n, encoding);
}

WString DecodeTextList(const uint8_t* bytes, size_t n, int encoding) {
  if (!bytes || n == 0) return {};
  std::vector<WString> values;
  size_t pos = 0;
  switch (encoding) {
    case 0:
    case 3:
      while (pos < n) {
        const void* zero = std::memchr(bytes + pos, 0, n - pos);
        const size_t end = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes) : n;
        values.push_back(Decode(bytes + pos, end - pos, encoding));
        pos = end + 1;
      }
      break;
    case 1:
    case 2: {
      bool bigEndian = encoding == 2;
      while (pos + 1 < n) {
        if (encoding == 1) {
          if (bytes[pos] == 0xFE && bytes[pos + 1] == 0xFF) {
            bigEndian = true;
            pos += 2;
          } else if (bytes[pos] == 0xFF && bytes[pos + 1] == 0xFE) {
            bigEndian = false;
            pos += 2;
          } else if (pos == 0) {
            return {};
          }
        }
        size_t end = pos;
        while (end + 1 < n && (bytes[end] | bytes[end + 1]) != 0) end += 2;
        values.push_back(DecodeUtf16(bytes + pos, end - pos, bigEndian));
        pos = end + 2;
      }
      break;
    }
    default: return {};
  }
  return JoinValues(values);
}

WString CByteBuffer::ConvertToUnicode() {
  if (length_ < 1 || length_ > kMaxDecode) return {};
  Terminate();
  return Decode(data_ + 1, static_cast<size_t>(length_ - 1), data_[0]);
}

WString CByteBuffer::ConvertToUnicode(int encoding) {
  if (length_ < 1 || length_ > kMaxDecode) return {};
  Terminate();
  return Decode(data_, static_cast<size_t>(length_), encoding);
}

}  // namespace sonavex
