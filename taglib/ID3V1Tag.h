// CID3V1Tag: the 128-byte ID3v1 tag (with the ID3v1.1 track number) that ends
// an audio file. CID3V1Record holds its fields; the tag reads, saves and
// removes it. Text is in the system code page (Windows-1252).
#pragma once

#include "ByteBuffer.h"
#include "Module.h"
#include "TagFile.h"
#include "WString.h"

#include <cstdint>

namespace sonavex {

// Number of names in the genre list (indexes 0..147).
constexpr int kID3V1GenreCount = 148;

class CID3V1Record {
 public:
  CID3V1Record() { Clear(); }
  virtual ~CID3V1Record() = default;

  void Clear();
  // Parses the 128 bytes of a tag (tag[0..2] is the signature).
  void Parse(const uint8_t* tag);
  // The 128 bytes of the tag as it is written.
  CByteBuffer Build() const;
  bool HasSignature() const;

  // The genre's name; "" for numbers above 147.
  WString GetGenre() const;
  // By name, without regard to ASCII case; unknown or empty names give 255.
  void SetGenre(const WString& name);
  static WString GetGenreItem(int index);
  // The track as decimal text; "" when 0.
  WString GetTrack() const;
  // The low 8 bits of the text's decimal value (as the C runtime reads it).
  void SetTrack(const WString& text);
  // "1.1" when a track is set, else "1.0".
  WString GetVersion() const { return track != 0 ? u"1.1" : u"1.0"; }

  char signature[3] = {0, 0, 0};
  WString title, artist, album, comment, year;
  uint8_t genre = 255;
  uint8_t track = 0;
};

class CID3V1Tag : public WithFileState {
 public:
  void Clear() { m_Record.Clear(); }
  // Reads the tag at the end of the open file; sets the state's ID3v1 size to 128 when
  // the file ends with one. True when found.
  bool Read(TagFile& file);
  // The seven generic fields as this tag holds them (genre by name, track as
  // text).
  GenericStrings GetGenericStrings();
  void SetGenericStrings(const GenericStrings& g);
  // Writes the record over the file's tag, or appends it when the file has
  // none. The format check is done by the member before it calls this.
  bool SaveChangesToFile(const WString& path);
  // Cuts the tag off the end of the file; 205 when there is none.
  bool RemoveTagFromFile(const WString& path);

  WString GetTrack() const { return m_Record.GetTrack(); }
  WString GetVersion() const { return m_Record.GetVersion(); }

  CID3V1Record m_Record;
};

// True when the last 128 bytes of the open file begin with "TAG" (the file is
// at least 128 bytes long) and do not end in an APE tag's footer: a file that
// ends in an APE tag ends there, whatever bytes its items hold 128 bytes
// before the end. The stream position is not kept.
bool FileEndsWithID3V1(TagFile& file, int64_t length);
// The same test on the last 128 bytes of a file.
bool IsID3V1Tail(const uint8_t* tail);

// Removes trailing white space (blanks, tabs, line ends), as the readers of
// the end-of-file tags do with their texts.
WString TrimRightSpace(WString s);

// The C runtime's reading of a decimal number: leading white space, an
// optional sign, digits; 0 when there are none. Saturates instead of
// overflowing.
int64_t ParseDecimal(const char* p, size_t n);

}  // namespace sonavex
