// CByteBuffer: the growable byte array through which the tag readers and
// writers move bytes between files and memory, and through which most text
// passes between wide strings and the encodings tags store (Windows-1252,
// UTF-16 LE/BE, UTF-8).
//
// The block grows in steps of 256 bytes and always keeps two spare bytes
// behind the content for the terminators that the read operations write.
#pragma once

#include "TagFile.h"
#include "WString.h"

#include <cstdint>
#include <utility>

namespace sonavex {

class CByteBuffer {
 public:
  CByteBuffer() = default;
  explicit CByteBuffer(const char* sz);
  explicit CByteBuffer(const char16_t* wide);
  CByteBuffer(const CByteBuffer& other) { *this = other; }
  CByteBuffer& operator=(const CByteBuffer& other);
  // A move hands the block over (the source is left empty).
  CByteBuffer(CByteBuffer&& other) noexcept { Swap(other); }
  CByteBuffer& operator=(CByteBuffer&& other) noexcept {
    if (this != &other) {
      CByteBuffer gone;
      Swap(other);
      other.Swap(gone);  // the old block of this buffer goes with it
    }
    return *this;
  }
  void Swap(CByteBuffer& other) noexcept {
    std::swap(length_, other.length_);
    std::swap(capacity_, other.capacity_);
    std::swap(data_, other.data_);
  }
  virtual ~CByteBuffer();

  // Files. Counts that come from a file are clamped to the bytes the file
  // still holds, so a hostile size never allocates more than the file.
  void ReadFromFile(int32_t count, TagFile& file);
  void AppendFromFile(int32_t count, TagFile& file);
  int32_t WriteToFile(int32_t count, TagFile& file) const;

  // Makes room for count more content bytes at once (the capacity rule
  // applied to the whole length), so that a caller that knows how much it
  // will append copies the content once instead of at every 256-byte step.
  // False when memory could not be had.
  bool ReserveMore(int64_t count);
  // Appending.
  void AppendBytes(const void* bytes, int32_t count);
  void AppendByte(uint8_t byte);
  void AppendZero() { AppendByte(0); }
  void AppendFill(uint8_t byte, int32_t count);
  void AppendBuffer(const CByteBuffer& other);
  void AppendSz(const char* sz);
  void AppendWide(const char16_t* wide);
  void AppendWide(const WString& wide);
  void AddStringA(const WString& text);
  void AddAsUTF8(const WString& text);
  void AddStringAFixed(const WString& text, int32_t width);

  // Reading.
  uint8_t GetAt(int32_t position) const { return data_[position]; }
  const char* GetSz();
  WString GetStringA() const;
  WString MidA(int32_t position, int32_t count) const;
  // The content as text of an ID3v2 encoding (0 code page, 1 UTF-16 with
  // byte-order mark, 2 UTF-16 big-endian, 3 UTF-8) up to its first zero
  // character; the first byte selects the encoding where none is given. A
  // content of more than 32,500 bytes reads as "".
  WString ConvertToUnicode();
  WString ConvertToUnicode(int encoding);

  int32_t GetLength() const { return length_; }
  int32_t GetCapacity() const { return capacity_; }
  const uint8_t* GetData() const { return data_; }
  uint8_t* GetData() { return data_; }
  // Empties the content (the block stays).
  void Empty() { length_ = 0; }
  // Makes the content n bytes long, the bytes kept up to the old length and
  // left as they are behind it, for the caller to fill; nullptr when memory
  // could not be had.
  uint8_t* Prepare(int32_t n);

 private:
  // Make room for n content bytes (plus two spare), keeping (grow) or
  // dropping (alloc) the old content. False when memory could not be had.
  bool GrowBuffer(int32_t n);
  bool AllocNewBuffer(int32_t n);
  bool Reserve(int32_t n, bool keep, const char16_t* failText);
  void Terminate();

  int32_t length_ = 0;
  int32_t capacity_ = 0;
  uint8_t* data_ = nullptr;
};

// Text of an ID3v2 encoding as ConvertToUnicode reads it, of any length:
// the values the tag writers store are read back whole.
WString DecodeText(const uint8_t* bytes, size_t n, int encoding);
// Every string of an ID3v2 text (strings ended by a zero character, as a
// text frame holds several values) in the library's form of several values
// (WString.h). In UTF-16 with byte-order marks each string starts with its
// own mark; a later string without one is read in the order of the string
// before it. A first string without a mark reads as "", as in DecodeText.
WString DecodeTextList(const uint8_t* bytes, size_t n, int encoding);

}  // namespace sonavex
