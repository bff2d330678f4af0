#include "FLAC.h"

#include "Bytes.h"
#include "Module.h"
#include "SafeWrite.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace sonavex {

namespace {

constexpr uint32_t kMaxBlockLength = 0xFFFFFF;  // 24-bit length field

// The metadata chain of a file, as one walk over it found it.
struct Chain {
  int64_t start = 0;        // offset of "fLaC"
  int64_t end = 0;          // offset behind the chain: where the audio frames begin
  bool complete = false;    // ended by a last-block flag or at an audio frame, not by the file's end
  bool haveStreamInfo = false;
  CByteBuffer streamInfo;   // STREAMINFO body
  CByteBuffer kept;         // other blocks (header with the last flag cleared, body)
};

// A frame header starts with the 14-bit sync code 11111111111110 followed by
// a reserved zero bit: FF F8 or FF F9.
bool IsFrameSync(const uint8_t* h) { return h[0] == 0xFF && (h[1] & 0xFE) == 0xF8; }

// Walks the chain that begins with "fLaC" at start. Every block ends at its
// declared length; the walk ends at the last-block flag, at an audio frame
// (a chain whose last block lacks the flag) or at the end of the file.
// Comment blocks are parsed into comment when given; other blocks are
// collected when keep is set. False when there is no "fLaC" at start.
bool WalkChain(TagFile& file, int64_t start, Chain& chain, CVorbisComment* comment, bool keep) {
  chain = Chain{};
  chain.start = start;
  uint8_t marker[4];
  if (!file.Seek(start) || !file.ReadExact(marker, 4) || std::memcmp(marker, "fLaC", 4) != 0) return false;
  const int64_t fileLength = file.Length();
  int64_t pos = start + 4;
  for (;;) {
    uint8_t h[4];
    if (pos + 4 > fileLength || !file.Seek(pos) || !file.ReadExact(h, 4)) {
      chain.end = std::min(pos, fileLength);
      return true;  // the file ends inside the chain
    }
    if (IsFrameSync(h)) {
      chain.end = pos;
      chain.complete = true;
      return true;
    }
    const bool last = (h[0] & 0x80) != 0;
    const uint8_t type = h[0] & 0x7F;
    const uint32_t length = bytes::BE24(h + 1);
    const int64_t bodyEnd = pos + 4 + length;
    if (bodyEnd > fileLength) {
      chain.end = fileLength;
      return true;  // a block that runs past the end of the file
    }
    switch (type) {
      case CFLAC::kStreamInfo:
        chain.streamInfo.ReadFromFile(static_cast<int32_t>(length), file);
        chain.haveStreamInfo = true;
        break;
      case CFLAC::kPadding:
        break;
      case CFLAC::kVorbisComment:
        if (comment && length > 0) {
          std::vector<uint8_t> body(length);
          if (file.ReadExact(body.data(), length)) comment->Parse(body.data(), body.size());
        }
        break;
      default:
        if (keep) {
          h[0] &= 0x7F;
          chain.kept.AppendBytes(h, 4);
          chain.kept.AppendFromFile(static_cast<int32_t>(length), file);
        }
        break;
    }
    pos = bodyEnd;
    if (last) {
      chain.end = pos;
      chain.complete = true;
      return true;
    }
  }
}

void AppendHeader(CByteBuffer& out, uint8_t typeAndFlag, uint32_t length) {
  uint8_t h[4] = {typeAndFlag, uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length)};
  out.AppendBytes(h, 4);
}

// Fills exactly room bytes (room >= 4) with PADDING blocks, the last one
// flagged. Room beyond one block's 24-bit length is split over several.
void AppendPadding(CByteBuffer& out, int64_t room) {
  while (room - 4 > kMaxBlockLength) {
    const int64_t body = std::min<int64_t>(kMaxBlockLength, room - 8);
    AppendHeader(out, CFLAC::kPadding, static_cast<uint32_t>(body));
    out.AppendFill(0, static_cast<int32_t>(body));
    room -= 4 + body;
  }
  AppendHeader(out, 0x80 | CFLAC::kPadding, static_cast<uint32_t>(room - 4));
  out.AppendFill(0, static_cast<int32_t>(room - 4));
}

}  // namespace

void CFLAC::Clear() {
  m_Comment.Clear();
  m_Image.Empty();
  m_CommentBody.Empty();
  m_StreamInfo.Empty();
  m_CommentBlock.Empty();
  m_KeptBlocks.Empty();
  m_nChannels = m_nSampleRate = m_nBitsPerSample = m_nTotalSamples = 0;
  m_nMinBlockSize = m_nMaxBlockSize = m_nMinFrameSize = m_nMaxFrameSize = 0;
  m_nMetadataSize = 0;
  m_bRewrite = false;
}

bool CFLAC::Read(TagFile& file) {
  Clear();
  Chain chain;
  if (!WalkChain(file, g_nID3V2Size, chain, &m_Comment, false)) {
    Clear();
    return false;
  }
  m_StreamInfo = chain.streamInfo;
  ParseStreamInfo();
  m_nMetadataSize = static_cast<int32_t>(chain.end - chain.start);
  return true;
}

void CFLAC::ParseStreamInfo() {
  if (m_StreamInfo.GetLength() < 18) return;
  const uint8_t* b = m_StreamInfo.GetData();
  m_nMinBlockSize = bytes::BE16(b);
  m_nMaxBlockSize = bytes::BE16(b + 2);
  m_nMinFrameSize = static_cast<int32_t>(bytes::BE24(b + 4));
  m_nMaxFrameSize = static_cast<int32_t>(bytes::BE24(b + 7));
  m_nSampleRate = (b[10] << 12) | (b[11] << 4) | (b[12] >> 4);
  m_nChannels = ((b[12] >> 1) & 0x07) + 1;
  m_nBitsPerSample = (((b[12] & 0x01) << 4) | (b[13] >> 4)) + 1;
  m_nTotalSamples = static_cast<int32_t>(bytes::BE32(b + 14));
}

bool CFLAC::IsValid() {
  return m_nChannels > 0 && m_nSampleRate > 0 && m_nBitsPerSample > 0 && m_nTotalSamples > 0;
}

float CFLAC::GetDuration() {
  if (!IsValid()) return 0.0f;
  return static_cast<float>(static_cast<double>(m_nTotalSamples) / m_nSampleRate);
}

int32_t CFLAC::GetBitrate() {
  const int64_t seconds = static_cast<int64_t>(GetDuration());
  if (seconds < 1) return 0;
  const int64_t audio = int64_t(g_nFileSize) - m_nMetadataSize - g_nID3V1Size - g_nID3V2Size;
  return static_cast<int32_t>((audio * 8 / 1000) / seconds);
}

float CFLAC::GetCompressionRatio() {
  if (!IsValid()) return 0.0f;
  const double raw = double(m_nTotalSamples) * m_nBitsPerSample * m_nChannels * 0.125;
  return static_cast<float>(g_nFileSize / raw * 100.0);
}

GenericStrings CFLAC::GetGenericStrings() { return m_Comment.GetGenericStrings(); }

void CFLAC::SetGenericStrings(const GenericStrings& g) { m_Comment.SetGenericStrings(g); }

bool CFLAC::SaveChangesToFile(const WString& path) {
  TagFile src;
  if (!src.Open(path, TagFile::Mode::Read)) {
    g_nLastError = src.Error();
    return false;
  }
  // The chain of the file as it is now, not as an earlier analysis saw it.
  Chain chain;
  if (!WalkChain(src, g_nID3V2Size, chain, nullptr, true)) {
    g_nLastError = kErrTagNotAllowed;
    return false;
  }
  if (!chain.complete || !chain.haveStreamInfo) {
    g_nLastError = EINVAL;  // a damaged chain is not rewritten
    return false;
  }

  // The new chain: STREAMINFO, comment, the other blocks, padding.
  m_CommentBody.Empty();
  m_Comment.Serialize(m_CommentBody);
  if (static_cast<uint32_t>(m_CommentBody.GetLength()) > kMaxBlockLength) {
    g_nLastError = EFBIG;  // a comment block holds at most 16 MiB
    return false;
  }
  m_CommentBlock.Empty();
  AppendHeader(m_CommentBlock, kVorbisComment, static_cast<uint32_t>(m_CommentBody.GetLength()));
  m_CommentBlock.AppendBuffer(m_CommentBody);
  m_KeptBlocks = chain.kept;

  m_Image.Empty();
  m_Image.AppendSz("fLaC");
  AppendHeader(m_Image, kStreamInfo, static_cast<uint32_t>(chain.streamInfo.GetLength()));
  m_Image.AppendBuffer(chain.streamInfo);
  m_Image.AppendBuffer(m_CommentBlock);
  m_Image.AppendBuffer(m_KeptBlocks);

  const int64_t oldSize = chain.end - chain.start;
  const int64_t room = oldSize - m_Image.GetLength();
  m_bRewrite = room - 4 <= 0;
  AppendPadding(m_Image, m_bRewrite ? kRewritePadding + 4 : room);

  if (!m_bRewrite) {
    // Same length as the old chain: nothing behind it moves.
    src.Close();
    TagFile out;
    if (!out.Open(path, TagFile::Mode::ReadWrite)) {
      g_nLastError = out.Error();
      return false;
    }
    if (!out.Seek(chain.start)) {
      g_nLastError = out.Error();
      return false;
    }
    if (!WriteChecked(out, m_Image.GetData(), static_cast<size_t>(m_Image.GetLength()))) return false;
    if (!out.Flush() || !out.Close()) {
      g_nLastError = out.Error() ? out.Error() : EIO;
      return false;
    }
    return true;
  }

  const int64_t fileLength = src.Length();
  SafeRewrite rw;
  if (!rw.Begin(path)) return false;
  if (!rw.CopyFrom(src, 0, chain.start)) return false;  // the ID3v2 tag stays in front
  if (!rw.Write(m_Image.GetData(), static_cast<size_t>(m_Image.GetLength()))) return false;
  if (!rw.CopyFrom(src, chain.end, fileLength - chain.end)) return false;
  return rw.Commit();
}

}  // namespace sonavex
