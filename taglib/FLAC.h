// CFLAC: the FLAC format. Recognises a FLAC stream behind an optional ID3v2
// tag, reads the technical values of its STREAMINFO block and its Vorbis
// comment, and writes a changed comment back.
//
// A save rebuilds the metadata chain of the target file as it is at that
// moment: STREAMINFO, the comment, every other block in file order, and one
// PADDING block last. The new chain replaces the old one in place when it
// leaves at least one byte of padding in the old room; otherwise the whole
// file is rewritten (safely) with 1000 bytes of padding.
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
  // Looks for "fLaC" at g_nID3V2Size and walks the metadata chain.
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
  CByteBuffer m_CommentBlock;  // header and body of the comment block of the last save
  CByteBuffer m_KeptBlocks;    // other blocks (header and body) of the last save, in file order

  int32_t m_nChannels = 0;
  int32_t m_nSampleRate = 0;
  int32_t m_nBitsPerSample = 0;
  int32_t m_nTotalSamples = 0;  // low 32 bits of the sample count
  int32_t m_nMinBlockSize = 0;
  int32_t m_nMaxBlockSize = 0;
  int32_t m_nMinFrameSize = 0;
  int32_t m_nMaxFrameSize = 0;
  int32_t m_nMetadataSize = 0;  // from the marker to the end of the chain, marker included
  bool m_bRewrite = false;      // the last build did not fit the old room

 private:
  void ParseStreamInfo();
};

}  // namespace sonavex
