// CID3V2Tag: the ID3v2 tag at the start of an audio file (major versions 2, 3
// and 4). An analysis reads the tag into a table of at most 200 frames; the
// text, URL and list members read and change single frames in memory; a save
// writes the table back, in place when an existing small tag has room, else by
// a safe rewrite of the whole file.
#pragma once

#include "ByteBuffer.h"
#include "Module.h"
#include "TagFile.h"
#include "WString.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace sonavex {

// One slot of the frame table.
struct ID3V2_FRAME {
  // The id characters packed with the first one in the most significant byte;
  // a three-character (version 2) id has a space in the lowest byte. 0 marks
  // a free slot.
  int32_t id = 0;
  // The frame body as the file holds it, with unsynchronisation undone.
  CByteBuffer payload;
  // Status and format flag bytes of a version 3/4 frame as read; written back
  // while the body is untouched, zero for a rebuilt body.
  uint16_t flags = 0;
  // A large body that is still in the file the tag was read from: its
  // offset there (-1 when the payload holds the body) and its length. The
  // first use that needs its bytes reads it.
  int64_t deferredAt = -1;
  int32_t deferredLength = 0;
  // The body's length, read or not.
  int32_t Length() const { return deferredAt >= 0 ? deferredLength : payload.GetLength(); }
};

// Packs a four-character frame id ("TIT2").
constexpr int32_t ID3V2FrameId(const char (&s)[5]) {
  return static_cast<int32_t>((uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
                              (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3])));
}
// Packs a three-character (version 2) frame id ("TT2") with its trailing space.
constexpr int32_t ID3V2FrameId(const char (&s)[4]) {
  return static_cast<int32_t>((uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
                              (uint32_t(uint8_t(s[2])) << 8) | 0x20u);
}
// The id of a field that has no frame in the table's version.
constexpr int32_t kNoFrameId = -1;

// The 44 single-valued fields: member name, id in versions 3 and 4, id in
// version 2 (nullptr when the field has none), text or URL frame.
#define SONAVEX_ID3V2_FIELDS(X)                          \
  X(Album, "TALB", "TAL", Text)                          \
  X(Artist, "TPE1", "TP1", Text)                         \
  X(ArtistURL, "WOAR", "WAR", URL)                       \
  X(AudiofileURL, "WOAF", "WAF", URL)                    \
  X(AudiosourceURL, "WOAS", "WAS", URL)                  \
  X(BeatsPerMinute, "TBPM", "TBP", Text)                 \
  X(Category, "TIT1", "TT1", Text)                       \
  X(CommercialURL, "WCOM", "WCM", URL)                   \
  X(Composer, "TCOM", "TCM", Text)                       \
  X(Conductor, "TPE3", "TP3", Text)                      \
  X(Copyright, "TCOP", "TCR", Text)                      \
  X(CopyrightURL, "WCOP", "WCP", URL)                    \
  X(Date, "TDAT", "TDA", Text)                           \
  X(Encoder, "TENC", "TEN", Text)                        \
  X(EncodingSettings, "TSSE", "TSS", Text)               \
  X(FileOwner, "TOWN", nullptr, Text)                    \
  X(FileType, "TFLT", "TFT", Text)                       \
  X(Genre, "TCON", "TCO", Text)                          \
  X(InetRadioName, "TRSN", nullptr, Text)                \
  X(InetRadioOwner, "TRSO", nullptr, Text)               \
  X(InitialKey, "TKEY", "TKE", Text)                     \
  X(Interpreted, "TPE4", "TP4", Text)                    \
  X(ISRC, "TSRC", "TRC", Text)                           \
  X(Language, "TLAN", "TLA", Text)                       \
  X(Length, "TLEN", "TLE", Text)                         \
  X(MediaType, "TMED", "TMT", Text)                      \
  X(Orchestra, "TPE2", "TP2", Text)                      \
  X(OriginalAlbum, "TOAL", "TOT", Text)                  \
  X(OriginalArtist, "TOPE", "TOA", Text)                 \
  X(OriginalFilename, "TOFN", "TOF", Text)               \
  X(OriginalTextwriter, "TOLY", "TOL", Text)             \
  X(PartofSet, "TPOS", "TPA", Text)                      \
  X(PaymentURL, "WPAY", nullptr, URL)                    \
  X(PlaylistDelay, "TDLY", "TDY", Text)                  \
  X(Publisher, "TPUB", "TPB", Text)                      \
  X(PublisherURL, "WPUB", "WPB", URL)                    \
  X(RadiostationURL, "WORS", nullptr, URL)               \
  X(RecordingTime, "TDRC", "TOR", Text)                  \
  X(Subtitle, "TIT3", "TT3", Text)                       \
  X(TextWriter, "TEXT", "TXT", Text)                     \
  X(Time, "TIME", "TIM", Text)                           \
  X(Title, "TIT2", "TT2", Text)                          \
  X(Track, "TRCK", "TRK", Text)                          \
  X(Year, "TYER", "TYE", Text)

class CID3V2Tag : public WithFileState {
 public:
  struct FrameBytes;
  static constexpr int kMaxFrames = 200;
  // Tags up to this size are overwritten in place when the frames fit; a
  // rewritten tag is padded to it.
  static constexpr int32_t kPaddedSize = 4096;
  // A frame's memory up to this size stays with its slot between analyses.
  static constexpr int32_t kKeptBlock = 1 << 20;
  // Bodies at least this long are read only when they are used.
  static constexpr int32_t kDeferredBody = 8192;

  CID3V2Tag() = default;
  virtual ~CID3V2Tag() = default;
  CID3V2Tag(const CID3V2Tag&) = delete;
  CID3V2Tag& operator=(const CID3V2Tag&) = delete;

  // ---- tag: reading, writing, removing --------------------------------
  // Empties the table and the headers; version 0; the state's ID3v2 size 0.
  void Clear();
  // Reads the tag at the start of the open file into the table and sets the
  // version and the state's ID3v2 size. True when the file begins with a tag.
  bool Read(TagFile& file);
  // Only the size: sets the ID3v2 size as Read would, reads no frame.
  void ReadSize(TagFile& file);
  // Detects the target's format (error 210 unless it may carry the tag), then
  // writes the table as the file's tag.
  bool SaveChangesToFile(const WString& path, bool fromID3V1 = true);
  // Writes the table as the file's tag without a format check: in place when
  // the old tag is at most 4096 bytes and has room, else by a safe rewrite.
  // A new tag on a file that ends in an ID3v1 tag starts with the ID3v1
  // fields that the table does not hold (they join the table), so that one
  // value written never hides the song's names from readers that prefer
  // ID3v2; fromID3V1 false leaves them out (the generic save, which writes
  // all seven fields as the analysis read them).
  bool WriteToFile(const WString& path, bool fromID3V1 = true);
  // Rewrites the file without its leading tag (205 when it has none). The
  // table is not changed.
  bool RemoveTagFromFile(const WString& path);
  // "2.3" for a version-3 tag; "" when the version is 0.
  WString GetVersion() const;
  uint8_t Version() const { return m_version; }

  // The seven generic fields as this tag supplies them to the analysis.
  GenericStrings GetGenericStrings();
  // What the generic save copies into the tag (memory only).
  void SetGenericStrings(const GenericStrings& g);

  // ---- frame table ----------------------------------------------------
  int SlotsInUse() const { return m_used; }
  // A slot, with its body read.
  const ID3V2_FRAME& Slot(int i) {
    Load(i);
    return m_frames[static_cast<size_t>(i)];
  }
  // The (n+1)-th present frame (non-empty payload) with this id, or -1.
  int FindFrame(int32_t id, int n) const;
  int CountFrames(int32_t id) const;
  // Every slot with this id, present or not, becomes free.
  void DeleteFrames(int32_t id);
  // A slot for a new frame: the first gap, else a new slot; -1 and error 204
  // when the table is full.
  int AllocFrame();
  // The id of a frame for the table's version: the three-character id in a
  // version-2 tag (kNoFrameId when there is none), else the four-character one.
  int32_t PickId(int32_t id34, int32_t id2) const { return m_version == 2 ? id2 : id34; }
  // The serialised tag of the last write.
  const CByteBuffer& BuildBuffer() const { return m_build; }
  // Zero bytes after the frames in the last write.
  int32_t Padding() const { return m_padding; }

  // ---- text and URL frames ---------------------------------------------
  WString GetTextFrame(int32_t id);
  WString GetURLFrame(int32_t id);
  bool SetTextFrame(const WString& text, int32_t id);
  bool SetURLFrame(const WString& text, int32_t id);

#define SONAVEX_ID3V2_DECLARE(Name, id34, id2, Kind) \
  WString Get##Name();                               \
  bool Set##Name(const WString& text);
  SONAVEX_ID3V2_FIELDS(SONAVEX_ID3V2_DECLARE)
#undef SONAVEX_ID3V2_DECLARE

  // ---- lists: comments, lyrics, user frames, user texts, user URLs -------
  // Numbers start at 1. A read of a number below 1 or above the slots in use
  // sets error 208; a write of a number that names no item adds one; an empty
  // text deletes the item.
  WString GetCommentLanguage(int n);
  WString GetCommentDescription(int n);
  WString GetComment(int n);
  bool SetComment(int n, const WString& language, const WString& description, const WString& text);
  int GetCommentCount();
  void DeleteComments();

  WString GetLyricLanguage(int n);
  WString GetLyricDescription(int n);
  WString GetLyric(int n);
  bool SetLyric(int n, const WString& language, const WString& description, const WString& text);
  int GetLyricCount();
  void DeleteLyrics();

  WString GetUserFrameLanguage(int n);
  WString GetUserFrame(int n);
  bool SetUserFrame(int n, const WString& language, const WString& text);
  int GetUserFrameCount();
  void DeleteUserFrames();

  WString GetUserTextDescription(int n);
  WString GetUserText(int n);
  bool SetUserText(int n, const WString& description, const WString& text);
  int GetUserTextCount();
  void DeleteUserTexts();

  WString GetUserURLDescription(int n);
  WString GetUserURL(int n);
  bool SetUserURL(int n, const WString& description, const WString& url);
  int GetUserURLCount();
  void DeleteUserURLs();

  // ---- synchronised lyrics ---------------------------------------------
  // The timed texts of item n as lines "[%08d]text" joined by CR LF.
  WString GetSyncLyric(int n);
  WString GetSyncLyricLanguage(int n);
  WString GetSyncLyricDescription(int n);
  // The time stamp format and content type bytes; -1 when missing.
  int GetSyncLyricTimeFormat(int n);
  int GetSyncLyricContentType(int n);
  // Parses the lines first: a text that does not parse (error 209) leaves
  // the table as it was.
  bool SetSyncLyric(int n, const WString& language, const WString& description, const WString& text,
                    int contentType, int timeStampFormat);
  int GetSyncLyricCount();
  void DeleteSyncLyrics();

  // ---- pictures ----------------------------------------------------------
  int GetPictureType(int n);
  WString GetPictureDescription(int n);
  // The MIME type; "-->" followed by the file name for a link.
  WString GetPictureMime(int n);
  // Writes picture n (or the linked file) to the file at path.
  bool GetPicture(int n, const WString& path);
  // Stores the file at path (or a link to it) as picture n. The new file is
  // read before the old picture is replaced; an empty path removes picture n
  // and answers false.
  bool SetPicture(const WString& path, const WString& description, int n, int pictureType, bool asLink);
  bool DeletePicture(int n);
  int GetPictureCount();
  void DeletePictures();

 private:
  struct ListItem {
    WString language, description, text;
  };
  struct Picture {
    uint8_t encoding = 0;
    WString mime;
    uint8_t type = 0;
    WString description;
    int32_t dataOffset = 0;
    int32_t dataLength = 0;
  };

  void ParseFrames(const FrameBytes& tag, uint8_t headerFlags);
  // Stores the frame whose body lies at `at`; false when its bytes cannot be read.
  bool StoreFrame(int32_t id, const FrameBytes& tag, int64_t at, int32_t size, uint16_t flags, bool unsync);
  // Reads the body of a slot that is still in the file; false (error set)
  // when the file is no longer the one the tag was read from.
  bool Load(int slot);
  // Every body read; false (error set) when one cannot be.
  bool LoadAll();
  // The body of a slot (empty when it cannot be read).
  const CByteBuffer& Body(int slot);
  void FreeSlot(int slot);
  void SetPayload(int slot, int32_t id, const CByteBuffer& payload);
  bool StoreSingleFrame(const WString& text, int32_t id, const CByteBuffer& payload);
  // Puts the ID3v1 fields that the table lacks in front of its frames.
  void TakeID3V1Fields(const class CID3V1Record& v1);
  // Builds the new header and the frames in m_build; false (error set) when a
  // frame or the tag is too large for the version's size fields.
  bool BuildTag(const uint8_t* oldHeader, int64_t fileLength);
  // The shared read of a list item; false when n is out of range (208) or no
  // item has that number.
  bool ReadListItem(int n, int32_t id, bool hasLanguage, bool hasDescription, bool isURL, ListItem& out);
  bool WriteListItem(int n, int32_t id, bool hasLanguage, bool hasDescription, bool isURL,
                     const WString& language, const WString& description, const WString& text);
  // Finds list item n for a read: -1 (208 set when n is out of range) or the slot.
  int FindItemForRead(int n, int32_t id);
  ListItem ParseLangDescText(const CByteBuffer& payload, bool hasLanguage, bool hasDescription, bool isURL) const;
  bool ParsePicture(const CByteBuffer& payload, Picture& out) const;
  int32_t CommentId() const;
  int32_t LyricsId() const;
  int32_t UserFrameId() const;
  int32_t UserTextId() const;
  int32_t UserURLId() const;
  int32_t SyncLyricsId() const;
  int32_t PictureId() const;

  std::array<ID3V2_FRAME, kMaxFrames> m_frames;
  int m_used = 0;
  bool m_rewrite = false;
  uint8_t m_version = 0;
  int32_t m_padding = 0;
  CByteBuffer m_build;
  uint8_t m_oldHeader[10] = {};
  uint8_t m_newHeader[10] = {};
  // The bytes of the last unsynchronised tag read, kept for the next one.
  std::unique_ptr<uint8_t[]> m_readBuffer;
  size_t m_readCapacity = 0;
  // The file the tag was read from, for the bodies still in it.
  std::string m_sourcePath;
  TagFile::Identity m_source;
};

}  // namespace sonavex
