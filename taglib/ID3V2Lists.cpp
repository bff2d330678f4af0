// CID3V2Tag: the lists of frames that may occur several times in one tag:
// comments, unsynchronised lyrics, user frames, user texts and user URLs.
// Items are numbered from 1 in table order.
#include "Codepage.h"
#include "ID3V2Tag.h"
#include "Module.h"

#include <cstring>

namespace sonavex {

int32_t CID3V2Tag::CommentId() const { return PickId(ID3V2FrameId("COMM"), ID3V2FrameId("COM")); }
int32_t CID3V2Tag::LyricsId() const { return PickId(ID3V2FrameId("USLT"), ID3V2FrameId("ULT")); }
int32_t CID3V2Tag::UserFrameId() const { return PickId(ID3V2FrameId("USER"), kNoFrameId); }
int32_t CID3V2Tag::UserTextId() const { return PickId(ID3V2FrameId("TXXX"), ID3V2FrameId("TXX")); }
int32_t CID3V2Tag::UserURLId() const { return PickId(ID3V2FrameId("WXXX"), ID3V2FrameId("WXX")); }
int32_t CID3V2Tag::SyncLyricsId() const { return PickId(ID3V2FrameId("SYLT"), ID3V2FrameId("SLT")); }
int32_t CID3V2Tag::PictureId() const { return PickId(ID3V2FrameId("APIC"), ID3V2FrameId("PIC")); }

namespace {

// The units of a text field from pos up to the first all-zero unit (which
// is included) or the end of the payload; moves pos behind it.
struct Span {
  const uint8_t* p;
  size_t n;
};
Span CollectField(const uint8_t* p, int32_t length, int32_t& pos, int unit) {
  const int32_t start = pos;
  while (pos + unit <= length) {
    const bool zero = p[pos] == 0 && (unit == 1 || p[pos + 1] == 0);
    pos += unit;
    if (zero) break;
  }
  if (pos > length) pos = length;
  const Span field{p + start, static_cast<size_t>(pos - start)};
  // A trailing odd byte of a two-byte text cannot form a unit.
  if (pos + unit > length && pos < length && unit == 2) pos = length;
  return field;
}

// The language field: each byte taken as the character of that code.
WString LanguageOf(const uint8_t* p, int32_t length) {
  WString lang;
  for (int32_t i = 1; i < 4 && i < length; ++i) lang += static_cast<char16_t>(p[i]);
  return lang;
}

// Single-byte text up to its first zero byte.
WString AnsiUpToZero(const uint8_t* p, int32_t n) {
  const char* s = reinterpret_cast<const char*>(p);
  const void* zero = std::memchr(s, 0, static_cast<size_t>(n));
  return AnsiToWide(std::string_view(s, zero ? static_cast<size_t>(static_cast<const char*>(zero) - s) : static_cast<size_t>(n)));
}

}  // namespace

CID3V2Tag::ListItem CID3V2Tag::ParseLangDescText(const CByteBuffer& payload, bool hasLanguage, bool hasDescription,
                                                  bool isURL) const {
  ListItem item;
  const uint8_t* p = payload.GetData();
  const int32_t length = payload.GetLength();
  if (length < 1) return item;
  const uint8_t encoding = p[0];
  const int unit = (encoding == 1 || encoding == 2) ? 2 : 1;
  int32_t pos = 1;
  if (hasLanguage) {
    item.language = LanguageOf(p, length);
    pos = std::min<int32_t>(4, length);
  }
  if (hasDescription) {
    const Span d = CollectField(p, length, pos, unit);
    item.description = DecodeText(d.p, d.n, encoding);
  }
  if (isURL) {
    item.text = AnsiUpToZero(p + pos, length - pos);
  } else {
    const Span t = CollectField(p, length, pos, unit);
    item.text = DecodeText(t.p, t.n, encoding);
  }
  return item;
}

int CID3V2Tag::FindItemForRead(int n, int32_t id) {
  if (n < 1 || n > m_used) {
    State().lastError = kErrIdOutOfRange;
    return -1;
  }
  return FindFrame(id, n - 1);
}

bool CID3V2Tag::ReadListItem(int n, int32_t id, bool hasLanguage, bool hasDescription, bool isURL, ListItem& out) {
  const int slot = FindItemForRead(n, id);
  if (slot < 0) return false;
  out = ParseLangDescText(Body(slot), hasLanguage, hasDescription, isURL);
  return true;
}

bool CID3V2Tag::WriteListItem(int n, int32_t id, bool hasLanguage, bool hasDescription, bool isURL,
                              const WString& language, const WString& description, const WString& text) {
  if (n < 1) {
    State().lastError = kErrIdOutOfRange;
    return false;
  }
  if (id == kNoFrameId) {
    State().lastError = kErrUnsupportedFrame;
    return false;
  }
  int slot = FindFrame(id, n - 1);
  if (text.empty() && slot >= 0) {
    FreeSlot(slot);
    return true;
  }
  // The language is exactly three bytes in the frame.
  const std::string lang = WideToAnsi(language);
  if (hasLanguage && (language.size() != 3 || lang.size() != 3)) {
    State().lastError = kErrLanguageLength;
    return false;
  }
  CByteBuffer payload;
  payload.AppendByte(1);
  if (hasLanguage) payload.AppendBytes(lang.data(), 3);
  // Every UTF-16 string has its byte-order mark, an empty one too: readers
  // that check it (ffmpeg) skip a frame whose string lacks it.
  if (hasDescription) {
    payload.AppendByte(0xFF);
    payload.AppendByte(0xFE);
    payload.AppendWide(description);
    payload.AppendFill(0, 2);
  }
  if (isURL) {
    payload.AddStringA(text);
  } else {
    payload.AppendByte(0xFF);
    payload.AppendByte(0xFE);
    payload.AppendWide(text);
    payload.AppendFill(0, 2);
  }
  if (slot < 0) slot = AllocFrame();
  if (slot < 0) return false;
  SetPayload(slot, id, payload);
  return true;
}

// ---- comments ----------------------------------------------------------------

WString CID3V2Tag::GetCommentLanguage(int n) {
  ListItem item;
  return ReadListItem(n, CommentId(), true, true, false, item) ? item.language : WString();
}
WString CID3V2Tag::GetCommentDescription(int n) {
  ListItem item;
  return ReadListItem(n, CommentId(), true, true, false, item) ? item.description : WString();
}
WString CID3V2Tag::GetComment(int n) {
  ListItem item;
  return ReadListItem(n, CommentId(), true, true, false, item) ? item.text : WString();
}
bool CID3V2Tag::SetComment(int n, const WString& language, const WString& description, const WString& text) {
  return WriteListItem(n, CommentId(), true, true, false, language, description, text);
}
int CID3V2Tag::GetCommentCount() { return CountFrames(CommentId()); }
void CID3V2Tag::DeleteComments() { DeleteFrames(CommentId()); }

// ---- unsynchronised lyrics -----------------------------------------------------

WString CID3V2Tag::GetLyricLanguage(int n) {
  ListItem item;
  return ReadListItem(n, LyricsId(), true, true, false, item) ? item.language : WString();
}
WString CID3V2Tag::GetLyricDescription(int n) {
  ListItem item;
  return ReadListItem(n, LyricsId(), true, true, false, item) ? item.description : WString();
}
WString CID3V2Tag::GetLyric(int n) {
  ListItem item;
  return ReadListItem(n, LyricsId(), true, true, false, item) ? item.text : WString();
}
bool CID3V2Tag::SetLyric(int n, const WString& language, const WString& description, const WString& text) {
  return WriteListItem(n, LyricsId(), true, true, false, language, description, text);
}
int CID3V2Tag::GetLyricCount() { return CountFrames(LyricsId()); }
void CID3V2Tag::DeleteLyrics() { DeleteFrames(LyricsId()); }

// ---- user frames (no version-2 frame) --------------------------------------------

WString CID3V2Tag::GetUserFrameLanguage(int n) {
  ListItem item;
  return ReadListItem(n, UserFrameId(), true, false, false, item) ? item.language : WString();
}
WString CID3V2Tag::GetUserFrame(int n) {
  ListItem item;
  return ReadListItem(n, UserFrameId(), true, false, false, item) ? item.text : WString();
}
bool CID3V2Tag::SetUserFrame(int n, const WString& language, const WString& text) {
  return WriteListItem(n, UserFrameId(), true, false, false, language, WString(), text);
}
int CID3V2Tag::GetUserFrameCount() { return CountFrames(UserFrameId()); }
void CID3V2Tag::DeleteUserFrames() { DeleteFrames(UserFrameId()); }

// ---- user texts ------------------------------------------------------------------

WString CID3V2Tag::GetUserTextDescription(int n) {
  ListItem item;
  return ReadListItem(n, UserTextId(), false, true, false, item) ? item.description : WString();
}
WString CID3V2Tag::GetUserText(int n) {
  ListItem item;
  return ReadListItem(n, UserTextId(), false, true, false, item) ? item.text : WString();
}
bool CID3V2Tag::SetUserText(int n, const WString& description, const WString& text) {
  return WriteListItem(n, UserTextId(), false, true, false, WString(), description, text);
}
int CID3V2Tag::GetUserTextCount() { return CountFrames(UserTextId()); }
void CID3V2Tag::DeleteUserTexts() { DeleteFrames(UserTextId()); }

// ---- user URLs ---------------------------------------------------------------------

WString CID3V2Tag::GetUserURLDescription(int n) {
  ListItem item;
  return ReadListItem(n, UserURLId(), false, true, true, item) ? item.description : WString();
}
WString CID3V2Tag::GetUserURL(int n) {
  ListItem item;
  return ReadListItem(n, UserURLId(), false, true, true, item) ? item.text : WString();
}
bool CID3V2Tag::SetUserURL(int n, const WString& description, const WString& url) {
  return WriteListItem(n, UserURLId(), false, true, true, WString(), description, url);
}
int CID3V2Tag::GetUserURLCount() { return CountFrames(UserURLId()); }
void CID3V2Tag::DeleteUserURLs() { DeleteFrames(UserURLId()); }

}  // namespace sonavex
