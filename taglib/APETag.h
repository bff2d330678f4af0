// CAPETag: the APE tag (version 1000 or 2000) at the end of the audio data,
// in front of a Lyrics3 block and an ID3v1 tag when the file has them. It
// holds eight text items and writes them back as a version 2000 tag with a
// header and a footer; an item whose value was not changed is written back
// byte for byte (all the values of a list item among them), and every other
// item (a BPM, a composer, cover art) is kept byte for byte and written back
// behind them.
#pragma once

#include "ByteBuffer.h"
#include "ID3V1Tag.h"
#include "Module.h"
#include "TagFile.h"
#include "WString.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sonavex {

// The 32-byte header or footer of an APE tag, as in the file.
struct APE_HEADER {
  char preamble[8];
  int32_t version;
  int32_t tagSize;    // items plus footer, without the header
  int32_t itemCount;
  uint32_t flags;     // bit 31: the tag has a header; bit 29: this is the header
  uint8_t reserved[8];

  void Clear();
  void Parse(const uint8_t* p);
  // Appends the 32 bytes (with the preamble "APETAGEX").
  void AppendTo(CByteBuffer& b) const;
  bool IsValid() const { return preamble[0] == 'A' && preamble[1] == 'P' && preamble[2] == 'E'; }
};

// Where an APE tag lies in a file: [start, end) with its header when it has
// one; end is where the Lyrics3 block or ID3v1 tag behind it begins.
struct APETagPlace {
  bool found = false;
  int64_t start = 0;
  int64_t end = 0;
  int64_t itemsStart = 0;
  APE_HEADER footer{};
  // The tag's extent is confirmed: its header is there, or its items fill
  // exactly the room between its start and its footer. Only a confirmed tag
  // is cut out of a file.
  bool confirmed = false;
};

class CAPETag : public WithFileState {
 public:
  enum Key { kTITLE, kARTIST, kALBUM, kTRACK, kYEAR, kGENRE, kCOMMENT, kCOPYRIGHT, kKeyCount };
  static const char* const kKeys[kKeyCount];

  // The tag's ID3v1 reader works on the tag's state.
  CAPETag() {
    m_ID3V1.BindState(State());
    Clear();
  }
  CAPETag(const CAPETag&) = delete;
  CAPETag& operator=(const CAPETag&) = delete;
  void BindState(FileState& state) override {
    WithFileState::BindState(state);
    m_ID3V1.BindState(state);
  }
  virtual ~CAPETag() = default;

  void Clear();
  // Reads the tag of the open file; sets the APE and ID3v1 sizes of the state.
  bool Read(TagFile& file);
  GenericStrings GetGenericStrings();
  void SetGenericStrings(const GenericStrings& g);
  // The save of the APE members: replaces the file's own tag (or adds one)
  // with the current values. The format check is done by the member.
  bool SaveChangesToFile(const WString& path) { return SaveToFile(path); }
  bool SaveToFile(const WString& path);
  bool RemoveFromFile(const WString& path);
  // "1000", "2000" or "" without a tag.
  WString GetVersion() const;

  // Finds the tag of an open file: in front of the ID3v1 tag (or at the end
  // of a file without one), else in front of a Lyrics3 block. Only a tag
  // whose sizes lie inside the file is found.
  static bool Locate(TagFile& file, int64_t length, APETagPlace& place);

  APE_HEADER m_Header{};
  WString m_strValues[kKeyCount];
  // The items of other keys (and of the known keys in a form without text),
  // whole as read: size, flags, key, value.
  std::vector<std::string> m_otherItems;
  // Per known key: its text items whole as read (a version 2000 tag only),
  // and the value as read, to tell whether it changed.
  std::vector<std::string> m_knownItems[kKeyCount];
  WString m_strRead[kKeyCount];
  int32_t m_nVersion = 0;
  CID3V1Tag m_ID3V1;
  CByteBuffer m_Buffer;

 private:
  void ReadItems(const uint8_t* p, int64_t n, int32_t count);
  // Takes a text item of a known key; false for any other key.
  bool SetItem(const std::string& key);
  // The value of a known key is as it was read, and its items can be
  // written back as they are.
  bool Unchanged(int k) const;
  // Index of a known key (compared without case), or -1.
  static int KeyIndex(const std::string& key);
  // The kept items that the tag writes back: those of a known key give way
  // to a changed text value.
  bool KeepsItem(const std::string& item) const;
  // Items plus footer of the tag that the values make.
  void ComputeSize();
  CByteBuffer BuildTag();
};

}  // namespace sonavex
