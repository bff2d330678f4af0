// CFLAC: the FLAC format. Recognises a FLAC stream behind an optional ID3v2
// tag, reads the technical values of its STREAMINFO block and its Vorbis
// comment, and writes a changed comment back.
//
// A save reads the metadata chain of the target file as it is at that moment
// and refuses a chain that does not parse: STREAMINFO not first or not alone,
// a block that runs past the file, no audio frame behind the last block.
// The new comment takes the old one's place (or follows STREAMINFO), every
// other block keeps its place and bytes. When the first padding block behind
// the comment has the room, the chain keeps its length and only the bytes that
// change are written: in place when they lie in one page, else by a rewrite
// of the file. A chain that no longer fits is rewritten with the padding
// blocks replaced by one of 1000 bytes right behind the comment, where the
// next save finds it.
#pragma once

#include "AudioFormat.h"
#include "ByteBuffer.h"
#include "VorbisComment.h"

#include <cstdint>

namespace sonavex {

class CFLAC : public CAudioFormat {
 public:
  // Block types of the metadata chain.
  enum : uint8_t { kStreamInfo = 0, kPadding = 1, kVorbisComment = 4 };
  // Padding of a chain that no longer fits and is rewritten.
  static constexpr int32_t kRewritePadding = 1000;

  CFLAC() { Clear(); }

  int32_t GetChannels() override { return m_nChannels; }
  float GetDuration() override;
  int32_t GetSampleRate() override { return m_nSampleRate; }
  int32_t GetBitrate() override;
  bool IsValid() override;

  void Clear() override;
  // Looks for "fLaC" at the state's ID3v2 size and walks the metadata chain.
  bool Read(TagFile& file) override;

  // The seven generic fields as the comment holds them.
  GenericStrings GetGenericStrings();
  // Stores the seven generic fields into the comment (memory only).
  void SetGenericStrings(const GenericStrings& g);
  // Writes the comment into the FLAC file at path (format checked by the
  // caller; the file's chain is read again here).
  bool SaveChangesToFile(const WString& path);

  // The file size as a percentage of the raw sample data; 0 when not valid.
  float GetCompressionRatio();

  CVorbisComment m_Comment;
  CByteBuffer m_Image;         // the new chain of the last save
  CByteBuffer m_CommentBody;   // serialised comment of the last save
  CByteBuffer m_StreamInfo;    // STREAMINFO body as read

  int32_t m_nChannels = 0;
  int32_t m_nSampleRate = 0;
  int32_t m_nBitsPerSample = 0;
  int32_t m_nTotalSamples = 0;  // low 32 bits of the sample count
  int32_t m_nMinBlockSize = 0;
  int32_t m_nMaxBlockSize = 0;
  int32_t m_nMinFrameSize = 0;
  int32_t m_nMaxFrameSize = 0;
  int32_t m_nMetadataSize = 0;  // from the marker to the end of the chain, marker included
  bool m_bRewrite = false;      // the last save's chain did not fit the old room
  bool m_bInPlace = false;      // the last save changed the file in place

 private:
  void ParseStreamInfo();
};

}  // namespace sonavex
