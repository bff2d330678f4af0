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
constexpr uint32_t kStreamInfoLength = 34;

// One metadata block as a walk found it.
struct Block {
  uint8_t type = 0;
  int64_t offset = 0;   // of its 4-byte header
  uint32_t length = 0;  // of its body
  int64_t End() const { return offset + 4 + length; }
};

// The metadata chain of a file, as one walk over it found it.
struct Chain {
  int64_t start = 0;        // offset of "fLaC"
  int64_t end = 0;          // offset behind the chain: where the audio frames begin
  bool complete = false;    // ended by a last-block flag or at an audio frame, not by the file's end
  bool wellFormed = false;  // complete, STREAMINFO first and only there, and audio (or the end) behind it
  std::vector<Block> blocks;
};

// A frame header starts with the 14-bit sync code 11111111111110 followed by
// a reserved zero bit: FF F8 or FF F9.
bool IsFrameSync(const uint8_t* h) { return h[0] == 0xFF && (h[1] & 0xFE) == 0xF8; }

// Walks the chain that begins with "fLaC" at start. Every block ends at its
// declared length; the walk ends at the last-block flag, at an audio frame
// (a chain whose last block lacks the flag) or at the end of the file.
// Comment blocks are parsed into comment when given. False when there is no
// "fLaC" at start.
bool WalkChain(TagFile& file, int64_t start, Chain& chain, CVorbisComment* comment) {
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
      break;
    }
    Block block;
    block.type = h[0] & 0x7F;
    block.offset = pos;
    block.length = bytes::BE24(h + 1);
    if (block.End() > fileLength) {
      chain.end = fileLength;
      return true;  // a block that runs past the end of the file
    }
    if (block.type == CFLAC::kVorbisComment && comment && block.length > 0) {
      std::vector<uint8_t> body(block.length);
      if (file.ReadExact(body.data(), block.length)) comment->Parse(body.data(), body.size());
    }
    chain.blocks.push_back(block);
    pos = block.End();
    if (h[0] & 0x80) {
      chain.end = pos;
      chain.complete = true;
      break;
    }
  }
  // Only the first block may be the stream information, and the chain must
  // lead to the audio: a frame, or the end of a file without frames.
  bool ok = !chain.blocks.empty() && chain.blocks[0].type == CFLAC::kStreamInfo &&
            chain.blocks[0].length == kStreamInfoLength;
  for (size_t i = 1; ok && i < chain.blocks.size(); ++i) ok = chain.blocks[i].type != CFLAC::kStreamInfo;
  if (ok && chain.end < fileLength) {
    uint8_t h[2];
    ok = file.Seek(chain.end) && file.ReadExact(h, 2) && IsFrameSync(h);
  }
  chain.wellFormed = ok;
  return true;
}

void AppendHeader(CByteBuffer& out, uint8_t type, bool last, uint32_t length) {
  uint8_t h[4] = {static_cast<uint8_t>(type | (last ? 0x80 : 0)), uint8_t(length >> 16), uint8_t(length >> 8),
                  uint8_t(length)};
  out.AppendBytes(h, 4);
}

// One block of a new chain: a block of the old chain (its body taken from
// the old chain's bytes), the new comment, or padding.
struct Part {
  enum Kind { kOld, kComment, kPad } kind = kOld;
  const Block* old = nullptr;
  uint32_t padding = 0;
};

// Lays the parts out as a chain: the marker, each block with its header, the
// last one flagged.
void Assemble(const std::vector<Part>& parts, const std::vector<uint8_t>& oldChain, int64_t chainStart,
              const CByteBuffer& comment, CByteBuffer& out) {
  out.Empty();
  out.AppendSz("fLaC");
  for (size_t i = 0; i < parts.size(); ++i) {
    const Part& p = parts[i];
    const bool last = i + 1 == parts.size();
    switch (p.kind) {
      case Part::kOld:
        AppendHeader(out, p.old->type, last, p.old->length);
        out.AppendBytes(oldChain.data() + (p.old->offset + 4 - chainStart), static_cast<int32_t>(p.old->length));
        break;
      case Part::kComment:
        AppendHeader(out, CFLAC::kVorbisComment, last, static_cast<uint32_t>(comment.GetLength()));
        out.AppendBuffer(comment);
        break;
      case Part::kPad:
        AppendHeader(out, CFLAC::kPadding, last, p.padding);
        out.AppendFill(0, static_cast<int32_t>(p.padding));
        break;
    }
  }
}

}  // namespace

void CFLAC::Clear() {
  m_Comment.Clear();
  m_Image.Empty();
  m_CommentBody.Empty();
  m_StreamInfo.Empty();
  m_nChannels = m_nSampleRate = m_nBitsPerSample = m_nTotalSamples = 0;
  m_nMinBlockSize = m_nMaxBlockSize = m_nMinFrameSize = m_nMaxFrameSize = 0;
  m_nMetadataSize = 0;
  m_bRewrite = false;
  m_bInPlace = false;
}

bool CFLAC::Read(TagFile& file) {
  Clear();
  Chain chain;
  if (!WalkChain(file, State().id3v2Size, chain, &m_Comment)) {
    Clear();
    return false;
  }
  // The stream information is the first block, and only that one.
  if (!chain.blocks.empty() && chain.blocks[0].type == kStreamInfo && file.Seek(chain.blocks[0].offset + 4))
    m_StreamInfo.ReadFromFile(static_cast<int32_t>(chain.blocks[0].length), file);
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
  // Figures no real stream has (a rate of a few hertz, weeks of audio) are
  // not reported: the stream is not valid.
  const double seconds = m_nSampleRate > 0 ? double(uint32_t(m_nTotalSamples)) / m_nSampleRate : 0.0;
  if (!PlausibleFigures(m_nSampleRate, m_nChannels, m_nBitsPerSample, seconds))
    m_nSampleRate = m_nChannels = m_nBitsPerSample = m_nTotalSamples = 0;
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
  const int64_t audio = int64_t(State().fileSize) - m_nMetadataSize - State().id3v1Size - State().id3v2Size;
  return static_cast<int32_t>((audio * 8 / 1000) / seconds);
}

float CFLAC::GetCompressionRatio() {
  if (!IsValid()) return 0.0f;
  const double raw = double(m_nTotalSamples) * m_nBitsPerSample * m_nChannels * 0.125;
  return static_cast<float>(State().fileSize / raw * 100.0);
}

GenericStrings CFLAC::GetGenericStrings() { return m_Comment.GetGenericStrings(); }

void CFLAC::SetGenericStrings(const GenericStrings& g) { m_Comment.SetGenericStrings(g); }

bool CFLAC::SaveChangesToFile(const WString& path) {
  m_bRewrite = m_bInPlace = false;
  TagFile src;
  if (!src.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), src, path);
    return false;
  }
  // The chain of the file as it is now, not as an earlier analysis saw it.
  Chain chain;
  if (!WalkChain(src, State().id3v2Size, chain, nullptr)) {
    State().lastError = kErrTagNotAllowed;
    return false;
  }
  if (!chain.complete || !chain.wellFormed) {
    State().lastError = kErrDamagedFile;  // a chain that does not parse is never written
    return false;
  }
  std::vector<uint8_t> old(static_cast<size_t>(chain.end - chain.start));
  if (!src.Seek(chain.start) || !src.ReadExact(old.data(), old.size())) {
    State().lastError = src.Error() ? src.Error() : EIO;
    return false;
  }

  m_CommentBody.Empty();
  m_Comment.Serialize(m_CommentBody);
  if (static_cast<uint32_t>(m_CommentBody.GetLength()) > kMaxBlockLength) {
    State().lastError = EFBIG;  // a comment block holds at most 16 MiB
    return false;
  }
  const int64_t newComment = 4 + int64_t{m_CommentBody.GetLength()};

  // The comment's place: the first comment block, else behind STREAMINFO.
  size_t slot = 1;
  int64_t oldComment = 0;
  int comments = 0;
  for (size_t i = 0; i < chain.blocks.size(); ++i) {
    if (chain.blocks[i].type != kVorbisComment) continue;
    if (comments++ == 0) {
      slot = i;
      oldComment = 4 + int64_t{chain.blocks[i].length};
    }
  }

  std::vector<Part> parts;
  // Same length: the first padding block behind the comment gives or takes
  // the difference (and disappears when the comment needs all of it).
  const int64_t delta = newComment - oldComment;
  size_t pad = chain.blocks.size();
  if (comments <= 1) {
    for (size_t i = comments ? slot + 1 : 1; i < chain.blocks.size(); ++i) {
      const Block& b = chain.blocks[i];
      if (b.type == kPadding && (int64_t{b.length} - delta >= 0 || int64_t{b.length} + 4 == delta) &&
          int64_t{b.length} - delta <= kMaxBlockLength) {
        pad = i;
        break;
      }
    }
  }
  if (pad < chain.blocks.size()) {
    for (size_t i = 0; i < chain.blocks.size(); ++i) {
      if (i == slot && comments == 0) parts.push_back({Part::kComment});
      const Block& b = chain.blocks[i];
      if (i == slot && comments == 1) {
        parts.push_back({Part::kComment});
      } else if (i == pad) {
        if (int64_t{b.length} + 4 != delta) parts.push_back({Part::kPad, nullptr, static_cast<uint32_t>(b.length - delta)});
      } else {
        parts.push_back({Part::kOld, &b});
      }
    }
    if (slot == chain.blocks.size() && comments == 0) parts.push_back({Part::kComment});
  } else {
    // A new layout: the padding blocks give way to one padding block right
    // behind the comment; the other blocks keep their order.
    m_bRewrite = true;
    for (size_t i = 0; i < chain.blocks.size(); ++i) {
      const Block& b = chain.blocks[i];
      if (i == slot) {
        parts.push_back({Part::kComment});
        parts.push_back({Part::kPad, nullptr, static_cast<uint32_t>(kRewritePadding)});
      }
      if (b.type == kPadding || b.type == kVorbisComment) continue;
      parts.push_back({Part::kOld, &b});
    }
    if (slot >= chain.blocks.size()) {
      parts.push_back({Part::kComment});
      parts.push_back({Part::kPad, nullptr, static_cast<uint32_t>(kRewritePadding)});
    }
  }
  Assemble(parts, old, chain.start, m_CommentBody, m_Image);

  if (!m_bRewrite) {
    if (m_Image.GetLength() != static_cast<int32_t>(old.size())) {
      State().lastError = EINVAL;
      return false;
    }
    const ByteRange change = ChangedRange(old.data(), m_Image.GetData(), old.size());
    if (change.length == 0) {
      m_bInPlace = true;
      return true;
    }
    const int64_t at = chain.start + change.offset;
    if (FitsOnePage(at, change.length)) {
      m_bInPlace = true;
      return WriteInPlace(State(), path, src, at, m_Image.GetData() + change.offset, change.length);
    }
  }

  const int64_t fileLength = src.Length();
  SafeRewrite rw(State());
  if (!rw.Begin(path, src)) return false;
  if (!rw.CopyFrom(src, 0, chain.start)) return false;  // the ID3v2 tag stays in front
  if (!rw.Write(m_Image.GetData(), static_cast<size_t>(m_Image.GetLength()))) return false;
  if (!rw.CopyFrom(src, chain.end, fileLength - chain.end)) return false;
  return rw.Commit();
}

}  // namespace sonavex
