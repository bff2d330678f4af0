// CWMA: Windows Media Audio files in the Advanced Systems Format (ASF). The
// reader walks the objects of the ASF header for the technical properties and
// the two description objects; the save rebuilds the header with new
// descriptions and a resized padding object, in place when the new header has
// exactly the old header's size, otherwise by a safe rewrite of the file.
// Offsets count from the ASF header, which begins at the ID3v2 size of the state (a WMA file
// may carry an ID3v2 tag in front; it is kept by every save).
#pragma once

#include "AudioFormat.h"
#include "ByteBuffer.h"

#include <array>
#include <cstdint>
#include <vector>

namespace sonavex {

// A GUID in its ASF byte layout.
struct AsfGuid {
  uint8_t b[16];
  bool operator==(const AsfGuid& o) const;
};

// The Content Description object: five fixed UTF-16 strings.
class CASFContentDescription {
 public:
  void Clear();
  // Parses an object body (without the 24-byte object header). Lengths that
  // run past the body end the parse; what was read stays.
  void Read(const uint8_t* body, size_t size);
  // Appends the body; false (error = EFBIG) when a text is too long for
  // its 16-bit length field.
  bool Serialize(CByteBuffer& out, int32_t& error);

  void SetTitle(const WString& s) { m_strTitle = s; }
  void SetAuthor(const WString& s) { m_strAuthor = s; }
  void SetCopyright(const WString& s) { m_strCopyright = s; }
  void SetDescription(const WString& s) { m_strDescription = s; }
  void SetRating(const WString& s) { m_strRating = s; }

  WString m_strTitle, m_strAuthor, m_strCopyright, m_strDescription, m_strRating;
  uint16_t m_nLengths[5] = {0, 0, 0, 0, 0};
};

// The Extended Content Description object: the 35 attribute names the
// library knows, plus every other descriptor kept byte for byte.
class CASFExtContentDescription {
 public:
  static constexpr int kKnownCount = 35;
  static const char16_t* const kNames[kKnownCount];

  // One descriptor kept as read: its bytes are written back unchanged.
  struct RawDescriptor {
    int known = -1;  // index of a known name whose value type has no text form, else -1
    CByteBuffer bytes;
  };

  void Clear();
  // Adds the descriptors of an object body to those already held (a header
  // with a second such object loses none of its attributes on a save).
  void Read(const uint8_t* body, size_t size);
  // Appends the body; false with error set (EFBIG for a text too long for
  // its 16-bit length, 204 for more descriptors than the count holds). A
  // field of several values (U+0000 between them) is one descriptor per
  // value.
  bool Serialize(CByteBuffer& out, int32_t& error);
  // Takes the text records of known names from a Metadata or Metadata
  // Library object body (other taggers put further values of a field
  // there); TakeElsewhere adds them to the fields' values once the header is
  // read, each value once.
  void ReadRecords(const uint8_t* body, size_t size);
  void TakeElsewhere();
  // Index 0..34 of a known name (ASCII letters compared without case), or -1.
  static int FindName(const WString& name);

  // Attributes that repeat a field under another name (ffmpeg writes its own
  // "title", "Author", "copyright" and "date" beside the content
  // description): read as that field, not written back, so that no stale
  // copy stays behind for other players to show.
  enum Alias { kAliasTitle, kAliasAuthor, kAliasCopyright, kAliasDescription, kAliasRating, kAliasDate, kAliasCount };
  static const char16_t* const kAliasNames[kAliasCount];
  static int FindAlias(const WString& name);

  // The values of each known name in file order, U+0000 between them.
  std::array<WString, kKnownCount> m_Values;
  std::array<WString, kKnownCount> m_Elsewhere;
  std::array<WString, kAliasCount> m_Aliases;
  std::vector<RawDescriptor> m_Raw;
};

class CWMA : public CAudioFormat {
 public:
  static constexpr int kFieldCount = 36;

  int32_t GetChannels() override { return m_nChannels; }
  float GetDuration() override { return m_fDuration; }
  int32_t GetSampleRate() override { return m_nSampleRate; }
  int32_t GetBitrate() override { return m_nBitrate; }
  WString GetChannelMode() override;
  bool IsValid() override { return m_bValid; }

  void Clear() override;
  bool Read(TagFile& file) override;
  // The seven generic fields as this format's tags hold them.
  GenericStrings GetGenericStrings();
  // Stores the seven generic fields into the tags (memory only).
  void SetGenericStrings(const GenericStrings& g);
  // Writes the 36 fields into the file's descriptions. The file must be an
  // ASF file whose header begins at the ID3v2 size.
  bool SaveChangesToFile(const WString& path);

  // The 36 output fields, by the index of the member table.
  WString GetField(int index) const;
  void SetField(int index, const WString& value);

  // A header object kept for a save. A Header Extension is held as its
  // 18-byte preamble, its children and any bytes behind them.
  struct RawObject {
    AsfGuid guid{};
    uint64_t size = 0;
    CByteBuffer body;
    bool container = false;
    std::vector<RawObject> children;
    CByteBuffer tail;
  };

  // Figures of the last walk, for tests and the save.
  uint64_t HeaderSize() const { return m_nHeaderSize; }
  int64_t HeaderEnd() const { return m_nHeaderEnd; }
  const std::vector<RawObject>& RawObjects() const { return m_Objects; }

  CASFContentDescription m_ContentDescription;
  CASFExtContentDescription m_ExtContentDescription;

 private:
  struct Walk;
  // Walks the header at the ID3v2 size. keepRaw: keep every object for a save
  // (the descriptions are then not read). False when no header object is there.
  bool ReadHeader(TagFile& file, bool keepRaw);
  void ParseObject(Walk& walk, const uint8_t* p, uint64_t size, int depth, RawObject* raw);
  void ParseStreamProperties(const uint8_t* body, size_t size);
  void FillFields();
  void ApplyFields();
  // Drops from the Metadata and Metadata Library objects (other taggers
  // write there) the copies of the fields that changed since the read, so
  // that no reader shows the old value beside the new one.
  void DropStaleCopies();
  bool BuildHeader(const CByteBuffer& cd, const CByteBuffer& ecd, uint32_t padding, std::vector<uint8_t>& out) const;
  void ClearProperties();

  std::vector<RawObject> m_Objects;
  std::array<WString, kFieldCount> m_Fields;
  // The fields as the last read gave them, to tell which a save changes.
  std::array<WString, kFieldCount> m_FieldsRead;
  bool m_bValid = false;
  bool m_bWalkComplete = false;
  uint16_t m_nChannels = 0;
  uint8_t m_nChannelByte = 0;
  int32_t m_nSampleRate = 0;
  int32_t m_nAudioSampleRate = 0;
  int32_t m_nAverageBytes = 0;
  int32_t m_nMaxBitrate = 0;
  int32_t m_nBitrate = 0;
  float m_fDuration = 0.0f;
  uint64_t m_nHeaderSize = 0;
  int64_t m_nHeaderStart = 0;
  int64_t m_nHeaderEnd = 0;
  uint8_t m_HeaderReserved[2] = {0, 0};
};

}  // namespace sonavex
