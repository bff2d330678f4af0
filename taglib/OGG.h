// COGG: the Ogg Vorbis format. Recognises an Ogg Vorbis stream by its
// identification header on the first page, reads the technical values from
// that header and the sample count from the last page, reads the Vorbis
// comment from the comment header packet, and writes a changed comment back.
//
// A save rewrites the file safely. Only the pages that carry the comment and
// setup header packets are rebuilt (new lacing, new checksums); when they
// still take the same number of pages every later byte is copied unchanged,
// otherwise the later pages of the stream are renumbered and their checksums
// recomputed.
#pragma once

#include "AudioFormat.h"
#include "ByteBuffer.h"
#include "VorbisComment.h"

#include <cstddef>
#include <cstdint>

namespace sonavex {

// The header of one Ogg page: 27 bytes and the segment table.
struct OGG_PAGEHEADER {
  char capture[4] = {0, 0, 0, 0};  // "OggS"
  uint8_t version = 0;
  uint8_t flags = 0;  // 1 continued packet, 2 first page, 4 last page
  uint32_t granuleLow = 0;
  uint32_t granuleHigh = 0;
  uint32_t serial = 0;
  uint32_t sequence = 0;
  uint32_t checksum = 0;
  uint8_t segments = 0;
  uint8_t lacing[255] = {};

  // Sum of the lacing values.
  int32_t BodyLength() const;
  int32_t HeaderLength() const { return 27 + segments; }
  // Reads the header at the file's position; false when it is cut short or
  // does not begin with "OggS".
  bool Read(TagFile& file);
  // Lays the header out as the 27 + n bytes of the page.
  void Serialize(uint8_t* out) const;
};

// The Vorbis identification header (the first packet, 30 bytes).
struct VORBIS_IDHEADER {
  uint8_t packetType = 0;  // 1
  char signature[6] = {0, 0, 0, 0, 0, 0};  // "vorbis"
  uint32_t version = 0;
  uint8_t channels = 0;
  int32_t sampleRate = 0;
  int32_t bitrateMaximum = 0;
  int32_t bitrateNominal = 0;
  int32_t bitrateMinimum = 0;
  uint8_t blockSizes = 0;
  uint8_t framing = 0;

  static constexpr size_t kSize = 30;
  void Parse(const uint8_t* b);
};

// CRC-32 of Ogg pages (polynomial 0x04C11DB7, no reflection, start 0, no
// final inversion); crc continues an earlier run.
uint32_t OggChecksum(const uint8_t* data, size_t size, uint32_t crc = 0);

class COGG : public CAudioFormat {
 public:
  COGG() { Clear(); }

  int32_t GetChannels() override { return m_nChannels; }
  float GetDuration() override;
  int32_t GetSampleRate() override { return m_nSampleRate; }
  int32_t GetBitrate() override;
  // 1 "Mono", 2 "Stereo", 6 "Multi Channel", else "Unknown".
  WString GetChannelMode() override;
  bool IsValid() override;

  void Clear() override;
  bool Read(TagFile& file) override;
  // Reads the first two pages (and the comment when asked) at the state's ID3v2 size
  // and finds the last granule position. False when the stream is not Ogg
  // Vorbis.
  bool ReadPages(TagFile& file, bool readComment);

  // The seven generic fields as the comment holds them.
  GenericStrings GetGenericStrings();
  // Stores the seven generic fields into the comment (memory only).
  void SetGenericStrings(const GenericStrings& g);
  // Writes the comment into the Ogg Vorbis file at path.
  bool SaveChangesToFile(const WString& path);
  // Writes an empty comment (default vendor, no entries) into the file.
  bool RemoveTagFromFile(const WString& path);

  int32_t GetBitRateNominal() const { return m_nBitrateNominal; }

  CVorbisComment m_Comment;
  OGG_PAGEHEADER m_FirstPage;
  OGG_PAGEHEADER m_SecondPage;
  VORBIS_IDHEADER m_IdHeader;
  uint8_t m_CommentSignature[7] = {};
  int32_t m_nLastGranule = 0;
  int32_t m_nSecondPagePos = 0;  // file offset of the second page
  int32_t m_nCommentEnd = 0;     // file offset behind the last comment entry (when on the second page)
  uint8_t m_nChannels = 0;
  CByteBuffer m_CommentPacket;   // the comment packet of the last save
  int32_t m_nSampleRate = 0;
  int32_t m_nBitrateNominal = 0;  // kbit/s
  int32_t m_nTotalSamples = 0;

 private:
  int32_t FindLastGranule(TagFile& file);
  void TakeOverNumbers();
};

}  // namespace sonavex
