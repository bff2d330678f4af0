// CLyricsTag: a Lyrics3 block (version 1 or 2) between the audio data and the
// ID3v1 tag at the end of a file. It holds the nine fields of a version 2
// block and writes them back as version 2 in front of the ID3v1 tag.
//
// The end of a file is laid out as: audio, APE tag, Lyrics3 block, ID3v1 tag.
// The Lyrics3 writer replaces only the block (anything before it, an APE tag
// included, stays where it is); the APE writer keeps the block and the ID3v1
// tag behind its own tag.
#pragma once

#include "ByteBuffer.h"
#include "Module.h"
#include "TagFile.h"
#include "WString.h"

#include <cstdint>

namespace sonavex {

// Where a Lyrics3 block lies in a file: [start, end), end being where the
// ID3v1 tag begins.
struct LyricsBlockPlace {
  int version = 0;     // 0 none, 1 or 2
  int64_t start = 0;   // offset of "LYRICSBEGIN"
  int64_t end = 0;     // offset of the ID3v1 tag behind the block
  bool marked = false; // the end marker names a block, found or not
};

class CLyricsTag : public WithFileState {
 public:
  // Field indexes, in the order of the ids and of writing.
  enum Field { kIND, kLYR, kINF, kAUT, kEAL, kEAR, kETT, kIMG, kGRE, kFieldCount };
  static const char* const kFieldIds[kFieldCount];

  CLyricsTag() { Clear(); }
  virtual ~CLyricsTag() = default;

  // Every field empty, version 0, positions 0 and the lyrics size of the state 0.
  void Clear();
  // Detects and reads the block of the open file. True when one was read.
  bool Read(TagFile& file);
  // Album, artist, genre and title as this block supplies them.
  GenericStrings GetGenericStrings();
  void SetGenericStrings(const GenericStrings& g);
  // Writes the fields as a version 2 block in front of the file's ID3v1 tag
  // (which must exist: 201), replacing the file's own block. The format check
  // is done by the member before it calls this.
  bool SaveChangesToFile(const WString& path);
  // Cuts the file's block out, the ID3v1 tag staying the last 128 bytes.
  bool RemoveTagFromFile(const WString& path);
  // "1.00" or "2.00"; "" without a block.
  WString GetVersion() const;

  // Finds the block of an open file (from its end marker) without changing
  // any object. False when the file ends with no ID3v1 tag or no complete
  // block; place.marked still tells whether an end marker was there.
  static bool Locate(TagFile& file, int64_t length, LyricsBlockPlace& place);

  int32_t m_nStartPosition = 0;
  int32_t m_nMarkerPosition = 0;
  WString m_strFields[kFieldCount];
  CByteBuffer m_Buffer;
  uint8_t m_ID3V1Copy[128] = {};
  char m_Marker[9] = {};
  uint8_t m_nVersion = 0;

 private:
  // Reads the end marker and the ID3v1 tag; sets the version. False (and
  // 205 when the marker is not a Lyrics3 marker) when there is no block.
  bool DetectVersion(TagFile& file);
  void ReadV1(TagFile& file);
  void ReadV2(TagFile& file);
  // Builds the version 2 block from the fields (with its 15-byte trailer).
  CByteBuffer BuildBlock(int32_t& sizeWithoutTrailer) const;
};

}  // namespace sonavex
