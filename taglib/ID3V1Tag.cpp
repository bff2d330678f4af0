#include "ID3V1Tag.h"

#include "Codepage.h"
#include "Module.h"
#include "SafeWrite.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace sonavex {

namespace {

constexpr int kTagSize = 128;

const char16_t* const kGenres[kID3V1GenreCount] = {
    u"Blues", u"Classic Rock", u"Country", u"Dance", u"Disco", u"Funk", u"Grunge", u"Hip-Hop", u"Jazz",
    u"Metal", u"New Age", u"Oldies", u"Other", u"Pop", u"R&B", u"Rap", u"Reggae", u"Rock", u"Techno",
    u"Industrial", u"Alternative", u"Ska", u"Death Metal", u"Pranks", u"Soundtrack", u"Euro-Techno",
    u"Ambient", u"Trip-Hop", u"Vocal", u"Jazz+Funk", u"Fusion", u"Trance", u"Classical", u"Instrumental",
    u"Acid", u"House", u"Game", u"Sound Clip", u"Gospel", u"Noise", u"AlternRock", u"Bass", u"Soul",
    u"Punk", u"Space", u"Meditative", u"Instrumental Pop", u"Instrumental Rock", u"Ethnic", u"Gothic",
    u"Darkwave", u"Techno-Industrial", u"Electronic", u"Pop-Folk", u"Eurodance", u"Dream",
    u"Southern Rock", u"Comedy", u"Cult", u"Gangsta", u"Top", u"Christian Rap", u"Pop & Funk", u"Jungle",
    u"Native American", u"Cabaret", u"New Wave", u"Psychadelic", u"Rave", u"Showtunes", u"Trailer",
    u"Lo-Fi", u"Tribal", u"Acid Punk", u"Acid Jazz", u"Polka", u"Retro", u"Musical", u"Rock & Roll",
    u"Hard Rock", u"Folk", u"Folk-Rock", u"National Folk", u"Swing", u"Fast Fusion", u"Bebob", u"Latin",
    u"Revival", u"Celtic", u"Bluegrass", u"Avantgarde", u"Gothic Rock", u"Progessive Rock",
    u"Psychedelic Rock", u"Symphonic Rock", u"Slow Rock", u"Big Band", u"Chorus", u"Easy Listening",
    u"Acoustic", u"Humour", u"Speech", u"Chanson", u"Opera", u"Chamber Music", u"Sonata", u"Symphony",
    u"Booty Bass", u"Primus", u"Porn Groove", u"Satire", u"Slow Jam", u"Club", u"Tango", u"Samba",
    u"Folklore", u"Ballad", u"Power Ballad", u"Rhythmic Soul", u"Freestyle", u"Duet", u"Punk Rock",
    u"Drum Solo", u"A capella", u"Euro-House", u"Dance Hall", u"Goa", u"Drum & Bass", u"Club-House",
    u"Hardcore", u"Terror", u"Indie", u"BritPop", u"Negerpunk", u"Polsk Punk", u"Beat",
    u"Christian Gangsta Rap", u"Heavy Metal", u"Black Metal", u"Crossover", u"Contemporary Christian",
    u"Christian Rock", u"Merengue", u"Salsa", u"Trash Metal", u"Anime", u"JPop", u"Synthpop",
};

// The ANSI text of a field up to its first zero byte, trailing white space
// removed.
WString FieldText(const uint8_t* p, size_t n) {
  const void* zero = std::memchr(p, 0, n);
  const size_t len = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : n;
  return TrimRightSpace(AnsiToWide(std::string_view(reinterpret_cast<const char*>(p), len)));
}

}  // namespace

WString TrimRightSpace(WString s) {
  while (!s.empty()) {
    const char16_t c = s.back();
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f')
      s.pop_back();
    else
      break;
  }
  return s;
}

int64_t ParseDecimal(const char* p, size_t n) {
  size_t i = 0;
  while (i < n && (p[i] == ' ' || (p[i] >= '\t' && p[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (p[i] == '+' || p[i] == '-')) negative = p[i++] == '-';
  int64_t v = 0;
  constexpr int64_t kLimit = std::numeric_limits<int32_t>::max();
  for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
    v = v * 10 + (p[i] - '0');
    if (v > kLimit) v = kLimit;
  }
  return negative ? -v : v;
}

bool IsID3V1Tail(const uint8_t* tail) {
  return std::memcmp(tail, "TAG", 3) == 0 && std::memcmp(tail + kTagSize - 32, "APETAGEX", 8) != 0;
}

bool FileEndsWithID3V1(TagFile& file, int64_t length) {
  if (length < kTagSize || !file.Seek(length - kTagSize)) return false;
  uint8_t tail[kTagSize];
  return file.ReadExact(tail, sizeof tail) && IsID3V1Tail(tail);
}

// ---- CID3V1Record ---------------------------------------------------------

void CID3V1Record::Clear() {
  std::memset(signature, 0, sizeof signature);
  title.clear();
  artist.clear();
  album.clear();
  comment.clear();
  year.clear();
  genre = 255;
  track = 0;
}

bool CID3V1Record::HasSignature() const { return std::memcmp(signature, "TAG", 3) == 0; }

void CID3V1Record::Parse(const uint8_t* tag) {
  std::memcpy(signature, tag, 3);
  title = FieldText(tag + 3, 30);
  artist = FieldText(tag + 33, 30);
  album = FieldText(tag + 63, 30);
  year = FieldText(tag + 93, 4);
  const uint8_t* c = tag + 97;
  comment = FieldText(c, 30);
  // ID3v1.1: a zero (or a blank) before the last comment byte marks that byte
  // as the track number.
  if ((c[28] == 0 && c[29] != 0) || (c[28] == 0x20 && c[29] != 0x20))
    track = c[29];
  else
    track = 0;
  genre = tag[127];
}

CByteBuffer CID3V1Record::Build() const {
  CByteBuffer b;
  b.AppendSz("TAG");
  b.AddStringAFixed(title, 30);
  b.AddStringAFixed(artist, 30);
  b.AddStringAFixed(album, 30);
  b.AddStringAFixed(year, 4);
  if (track != 0) {
    b.AddStringAFixed(comment, 28);
    b.AppendZero();
    b.AppendByte(track);
  } else {
    b.AddStringAFixed(comment, 30);
  }
  b.AppendByte(genre);
  return b;
}

WString CID3V1Record::GetGenre() const { return GetGenreItem(genre); }

void CID3V1Record::SetGenre(const WString& name) {
  genre = 255;
  const WString wanted = UpperAscii(name);
  if (wanted.empty()) return;
  for (int i = 0; i < kID3V1GenreCount; ++i) {
    if (UpperAscii(kGenres[i]) == wanted) {
      genre = static_cast<uint8_t>(i);
      return;
    }
  }
}

WString CID3V1Record::GetGenreItem(int index) {
  if (index < 0 || index >= kID3V1GenreCount) return {};
  return kGenres[index];
}

WString CID3V1Record::GetTrack() const {
  if (track == 0) return {};
  return FromUtf8(std::to_string(track));
}

void CID3V1Record::SetTrack(const WString& text) {
  // Only ASCII can form a number; anything else ends it.
  std::string ascii;
  for (char16_t c : text) ascii += c < 0x80 ? static_cast<char>(c) : '\x01';
  track = static_cast<uint8_t>(ParseDecimal(ascii.data(), ascii.size()) & 0xFF);
}

// ---- CID3V1Tag ------------------------------------------------------------

bool CID3V1Tag::Read(TagFile& file) {
  m_Record.Clear();
  const int64_t length = file.Length();
  if (length < kTagSize || !file.Seek(length - kTagSize)) return false;
  uint8_t tag[kTagSize];
  if (!file.ReadExact(tag, kTagSize) || !IsID3V1Tail(tag)) return false;
  m_Record.Parse(tag);
  State().id3v1Size = kTagSize;
  return true;
}

GenericStrings CID3V1Tag::GetGenericStrings() {
  GenericStrings g;
  g.title = m_Record.title;
  g.artist = m_Record.artist;
  g.album = m_Record.album;
  g.comment = m_Record.comment;
  g.genre = m_Record.GetGenre();
  g.track = m_Record.GetTrack();
  g.year = m_Record.year;
  return g;
}

void CID3V1Tag::SetGenericStrings(const GenericStrings& g) {
  m_Record.title = g.title;
  m_Record.artist = g.artist;
  m_Record.album = g.album;
  m_Record.comment = g.comment;
  m_Record.SetGenre(g.genre);
  m_Record.SetTrack(g.track);
  m_Record.year = g.year;
}

bool CID3V1Tag::SaveChangesToFile(const WString& path) {
  TagFile f;
  if (!f.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), f, path);
    return false;
  }
  const int64_t length = f.Length();
  if (length < 0) {
    State().lastError = f.Error() ? f.Error() : EIO;
    return false;
  }
  const CByteBuffer tag = m_Record.Build();
  // The new tag replaces the old one (the file keeps its length) or is
  // appended. Only the bytes that change are written in place, and only when
  // they lie in one page; otherwise the file is rewritten.
  const bool replace = FileEndsWithID3V1(f, length);
  const int64_t at = replace ? length - kTagSize : length;
  ByteRange change{0, kTagSize};
  if (replace) {
    uint8_t old[kTagSize];
    if (!f.Seek(at) || !f.ReadExact(old, sizeof old)) {
      State().lastError = f.Error() ? f.Error() : EIO;
      return false;
    }
    change = ChangedRange(old, tag.GetData(), kTagSize);
    if (change.length == 0) return true;  // nothing to write
  }
  if (FitsOnePage(at + change.offset, change.length)) {
    return WriteInPlace(State(), path, f, at + change.offset, tag.GetData() + change.offset, change.length);
  }
  SafeRewrite out(State());
  return out.Begin(path, f) && out.CopyFrom(f, 0, at) && out.Write(tag.GetData(), kTagSize) && out.Commit();
}

bool CID3V1Tag::RemoveTagFromFile(const WString& path) {
  TagFile f;
  if (!f.Open(path, TagFile::Mode::Read)) {
    OpenFailed(State(), f, path);
    return false;
  }
  const int64_t length = f.Length();
  if (!FileEndsWithID3V1(f, length)) {
    State().lastError = kErrTagMissing;
    return false;
  }
  // Cutting the end off cannot tear: the file is the old or the shorter one.
  return TruncateInPlace(State(), path, f, length - kTagSize);
}

}  // namespace sonavex
