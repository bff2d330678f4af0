// CVorbisComment: one Vorbis comment block (vendor string and the values of
// sixteen known field names), as FLAC carries it in its VORBIS_COMMENT
// metadata block and Ogg Vorbis in its comment header packet.
//
// Each known name holds the values of all its entries in file order, U+0000
// between them (two ARTIST entries read as "One\0Two"), and a value given
// that way is written as one entry per value. A field whose value is not
// changed is written back with all its entries as they were read; a field
// given a new value, or cleared, loses all of them for the values given.
// Entries of other names are kept as they were read and written back behind
// the known ones.
#pragma once

#include "ByteBuffer.h"
#include "TagFile.h"
#include "WString.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sonavex {

class CVorbisComment {
 public:
  // The known fields, in the order in which they are stored and written.
  enum Field {
    kTitle,
    kArtist,
    kAlbum,
    kTrackNumber,
    kDate,
    kGenre,
    kComment,
    kPerformer,
    kDescription,
    kVersion,
    kCopyright,
    kLicense,
    kOrganization,
    kLocation,
    kContact,
    kISRC,
    kFieldCount
  };
  static constexpr const char16_t* kDefaultVendor = u"Xiph.Org libVorbis I 20020717";
  // Upper-case name of a field ("TITLE", "TRACKNUMBER", ...).
  static const char16_t* FieldName(int field);

  CVorbisComment() { Clear(); }
  virtual ~CVorbisComment() = default;

  // Back to the default vendor, every value empty, entry count 0.
  void Clear();

  // Reads one block from the file's current position and leaves the position
  // behind the last entry read. Sets the vendor and the values of the known
  // names the block holds; other values stay as they are. Lengths and counts
  // never lead past the end of the file.
  void Parse(TagFile& file);
  // The same from memory; returns the number of bytes the block took (at most
  // size: a block cut short ends where the data ends).
  size_t Parse(const uint8_t* data, size_t size);

  // Appends the block (vendor, the count of entries, per field in field
  // order its entries as read when its value is unchanged, else one entry for
  // each of its values, then the entries of other names as they were read)
  // to the buffer. Texts are written whole.
  void Serialize(CByteBuffer& out);

  // The seven generic fields: TITLE, ARTIST, ALBUM, COMMENT, GENRE,
  // TRACKNUMBER and DATE.
  GenericStrings GetGenericStrings() const;
  void SetGenericStrings(const GenericStrings& g);

  // Generic view of the fields.
  WString& operator[](Field f) { return m_strValues[f]; }
  // Gives the field these values (U+0000 between them), as a member or a
  // generic save puts them.
  void Put(Field f, const WString& values) {
    m_strValues[f] = values;
    m_put[f] = true;
  }
  const WString& operator[](Field f) const { return m_strValues[f]; }

  WString m_strVendor;
  WString m_strValues[kFieldCount];
  WString m_strEntry;         // working text of the entry being written
  int32_t m_nEntryCount = 0;  // count of the last parse; entries written by the last serialisation
  // Entries whose names are none of the known fields, raw as read.
  std::vector<std::string> m_otherEntries;
  // Per known field: the entries read before the last one (raw), the last
  // one's raw text, and the values as read (to tell whether they changed).
  std::vector<std::string> m_earlierEntries[kFieldCount];
  std::string m_lastEntry[kFieldCount];
  WString m_strRead[kFieldCount];
  // The field was read from an entry with a zero byte inside; it was put
  // since it was read.
  bool m_olderForm[kFieldCount] = {};
  bool m_put[kFieldCount] = {};

 private:
  template <class Source>
  void ParseFrom(Source& src);
  // Takes one entry; a known field's value is added to m_strRead and the
  // field marked in `taken` (its value is set once the block is read).
  void TakeEntry(const std::string& raw, bool (&taken)[kFieldCount]);
};

}  // namespace sonavex
