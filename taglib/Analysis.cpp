// Format detection and file analysis: the order in which the readers are
// tried, what each outcome leaves behind, which tag supplies the seven generic
// strings, and the generic save.
#include "Analysis.h"

#include "Module.h"
#include "SafeWrite.h"
#include "SonavexCtrl.h"

#include <climits>
#include <cstring>
#include <initializer_list>
#include <memory>

namespace sonavex {

namespace {

struct Signature {
  unsigned char bytes[4];
  int length;
};

// First bytes of files that are plainly not audio, tested in this order.
constexpr Signature kSignatures[] = {
    {{0xFF, 0x4B, 0x45, 0x59}, 4},  //
    {{0x89, 0x50, 0x4E, 0x47}, 4},  // PNG image
    {{0xD0, 0xCF, 0x11, 0xE0}, 4},  // compound document
    {{0x55, 0x52, 0x4C, 0x20}, 4},  // "URL "
    {{0x21, 0x42, 0x44, 0x4E}, 4},  // "!BDN" mail store
    {{0xCF, 0xAD, 0x12, 0xFE}, 4},  // mail store
    {{0x25, 0x50, 0x44, 0x46}, 4},  // "%PDF"
    {{0x49, 0x49, 0x2A, 0x00}, 4},  // TIFF image
    {{0x49, 0x54, 0x53, 0x46}, 4},  // "ITSF" compiled help
    {{0x50, 0x4B, 0x03, 0x04}, 4},  // ZIP archive
    {{0x52, 0x61, 0x72, 0x21}, 4},  // "Rar!"
    {{0x3F, 0x5F, 0x03, 0x00}, 4},  // Windows help
    {{0x47, 0x49, 0x46, 0x38}, 4},  // "GIF8"
    {{0x4D, 0x53, 0x43, 0x46}, 4},  // "MSCF" cabinet
    {{0xCA, 0xFE, 0xBA, 0xBE}, 4},  // class file
    {{0x4D, 0x5A}, 2},              // "MZ" executable
    {{0x42, 0x4D}, 2},              // "BM" bitmap
    {{0xFF, 0xD8}, 2},              // JPEG image
};

// The file's length as the state's 32-bit size (files beyond 2 GiB are
// reported as the largest size it can hold).
int32_t ClampedLength(TagFile& file) {
  const int64_t len = file.Length();
  if (len <= 0) return 0;
  return len > INT32_MAX ? INT32_MAX : static_cast<int32_t>(len);
}

}  // namespace

bool CFileSignatureCheck::IsNonAudio(TagFile& file) {
  std::memset(m_buf, 0, sizeof m_buf);
  if (!file.Seek(0)) return false;
  const size_t got = file.Read(m_buf, sizeof m_buf);
  for (const auto& sig : kSignatures) {
    if (got < static_cast<size_t>(sig.length)) continue;
    if (std::memcmp(m_buf, sig.bytes, static_cast<size_t>(sig.length)) == 0) return true;
  }
  return false;
}

WString ExtensionOf(const WString& fileName) {
  if (fileName.size() <= 3) return fileName;
  return fileName.substr(fileName.size() - 4);
}

bool IsMpegExtension(const WString& extension) {
  const WString e = UpperAscii(extension);
  return e == u".MP3" || e == u".MP2" || e == u".MP1" || e == u"MP3~";
}

bool IsAacExtension(const WString& extension) { return UpperAscii(extension) == u".AAC"; }

bool FormatAllowsID3V2(int16_t format) {
  switch (format) {
    // The readers of these formats (ffmpeg, mutagen's Musepack and AAC
    // readers) skip a tag in front of the stream.
    case kFormatMPEG:
    case kFormatMPP:
    case kFormatAAC: return true;
    // An MP4 file's atoms point at absolute offsets: a tag in front would
    // move the audio away from them. An ASF file must begin with its header
    // object, and a Monkey's Audio file with its descriptor: readers that
    // hold to that (mutagen) cannot open such a file any more.
    default: return false;
  }
}

int16_t DetectFormatOfFile(const WString& path, FileState& state, WString* extension) {
  // Fresh readers on a state of their own: the control's objects keep what
  // the last analysis read. The sizes found are handed to the caller's state.
  struct Readers {
    CID3V2Tag id3v2;
    CWMA wma;
    CMP4 mp4;
    CWAV wav;
    CFLAC flac;
    COGG ogg;
    CMonkey monkey;
    CMPP mpp;
    CAAC aac;
    CMPEG mpeg;
  };
  state.unreadable = 0;
  TagFile file;
  if (!file.Open(path, TagFile::Mode::Read)) {
    // A file that another save holds too long, or whose killed save could
    // not be undone, is no format either; a save refused for it tells why.
    if (file.Error() == kErrFileBusy || file.Error() == kErrSaveUnfinished) {
      state.unreadable = file.Error();
      state.errorPath = PathToNative(path);
    }
    return kFormatNone;
  }
  const WString ext = ExtensionOf(path);
  if (extension) *extension = ext;
  FileState scratch;
  scratch.fileSize = ClampedLength(file);
  state.fileSize = scratch.fileSize;
  CFileSignatureCheck signature;
  if (signature.IsNonAudio(file)) return kFormatNone;

  auto r = std::make_unique<Readers>();
  for (WithFileState* o : std::initializer_list<WithFileState*>{&r->id3v2, &r->wma, &r->mp4, &r->wav, &r->flac,
                                                               &r->ogg, &r->monkey, &r->mpp, &r->aac, &r->mpeg})
    o->BindState(scratch);
  r->id3v2.ReadSize(file);
  state.id3v2Size = scratch.id3v2Size;
  if (r->wma.Read(file)) return kFormatWMA;
  if (r->mp4.Read(file)) return kFormatMP4;
  if (r->wav.Read(file)) return kFormatWAV;
  if (r->flac.Read(file)) return kFormatFLAC;
  if (r->ogg.Read(file)) return kFormatOGG;
  if (r->monkey.Read(file)) return kFormatMonkey;
  if (r->mpp.Read(file)) return kFormatMPP;
  if (IsAacExtension(ext) && r->aac.Read(file)) return kFormatAAC;
  if (IsMpegExtension(ext) && r->mpeg.Read(file)) return kFormatMPEG;
  return kFormatNone;
}

int16_t CSonavexCtrl::DetectFileFormat(const WString& path) {
  return DetectFormatOfFile(path, m_State, &m_strExtension);
}

namespace {
void Assign(CSonavexCtrl& c, const GenericStrings& g) {
  c.m_strTitle = g.title;
  c.m_strArtist = g.artist;
  c.m_strAlbum = g.album;
  c.m_strComment = g.comment;
  c.m_strGenre = g.genre;
  c.m_strTrack = g.track;
  c.m_strYear = g.year;
}
}  // namespace

int16_t CSonavexCtrl::AnalyzeFile(const WString& path) {
  ResetAll();
  TagFile& file = m_File;
  file.Close();  // closed whichever way this analysis ends
  struct CloseAtEnd {
    TagFile& f;
    ~CloseAtEnd() { f.Close(); }
  } closeAtEnd{file};
  if (!file.Open(path, TagFile::Mode::Read)) {
    OpenFailed(m_State, file, path);
    return kFormatNone;
  }
  // What the saves of this control compare the file with.
  m_State.analysedKnown = file.Identify(m_State.analysed);
  if (m_State.analysedKnown) m_State.analysedPath = file.Path();
  m_State.fileSize = ClampedLength(file);
  if (m_State.fileSize < 16) return kFormatNone;
  m_strExtension = ExtensionOf(path);
  if (m_SignatureCheck.IsNonAudio(file)) return kFormatNone;

  m_ID3V2.Read(file);

  // Containers that carry their own tags: no trailing tag is read for them.
  if (m_WMA.Read(file)) {
    m_nFormat = kFormatWMA;
    m_pFormat = &m_WMA;
    Assign(*this, m_WMA.GetGenericStrings());
    return m_nFormat;
  }
  if (m_MP4.Read(file)) {
    m_nFormat = kFormatMP4;
    m_pFormat = &m_MP4;
    Assign(*this, m_MP4.GetGenericStrings());
    return m_nFormat;
  }
  if (m_WAV.Read(file)) {
    m_nFormat = kFormatWAV;
    m_pFormat = &m_WAV;
    return m_nFormat;
  }

  m_ID3V1.Read(file);
  m_Lyrics.Read(file);
  m_APE.Read(file);

  if (m_FLAC.Read(file)) {
    m_nFormat = kFormatFLAC;
    m_pFormat = &m_FLAC;
    Assign(*this, m_FLAC.GetGenericStrings());
    return m_nFormat;
  }
  if (m_OGG.Read(file)) {
    m_nFormat = kFormatOGG;
    m_pFormat = &m_OGG;
    Assign(*this, m_OGG.GetGenericStrings());
    return m_nFormat;
  }

  // The first tag present supplies all seven strings; there is no
  // field-by-field fallback to the other tags.
  if (m_State.id3v2Size > 0) Assign(*this, m_ID3V2.GetGenericStrings());
  else if (m_State.apeSize > 0) Assign(*this, m_APE.GetGenericStrings());
  else if (m_State.id3v1Size > 0) Assign(*this, m_ID3V1.GetGenericStrings());
  else if (m_State.lyricsSize > 0) Assign(*this, m_Lyrics.GetGenericStrings());

  if (m_Monkey.Read(file)) {
    m_nFormat = kFormatMonkey;
    m_pFormat = &m_Monkey;
    // A Monkey's Audio file's own tag is its APE tag: the generic save
    // writes there, and other readers (ffmpeg, mutagen) take it over an
    // ID3v2 tag in front of the file. With both, each string comes from the
    // APE tag when it holds that field, so that a generic save reads back
    // as it was saved; a field the APE tag lacks (one that holds only other
    // items, a replay gain say) keeps the ID3v2 tag's.
    if (m_State.id3v2Size > 0 && m_State.apeSize > 0) {
      const GenericStrings ape = m_APE.GetGenericStrings();
      auto take = [](WString& field, const WString& value) {
        if (!value.empty()) field = value;
      };
      take(m_strTitle, ape.title);
      take(m_strArtist, ape.artist);
      take(m_strAlbum, ape.album);
      take(m_strComment, ape.comment);
      take(m_strGenre, ape.genre);
      take(m_strTrack, ape.track);
      take(m_strYear, ape.year);
    }
  } else if (m_MPP.Read(file)) {
    m_nFormat = kFormatMPP;
    m_pFormat = &m_MPP;
  } else if (IsAacExtension(m_strExtension) && m_AAC.Read(file)) {
    m_nFormat = kFormatAAC;
    m_pFormat = &m_AAC;
  } else if (IsMpegExtension(m_strExtension) && m_MPEG.Read(file)) {
    m_nFormat = kFormatMPEG;
    m_pFormat = &m_MPEG;
  }
  return m_nFormat;
}

bool CSonavexCtrl::SaveGenericStrings(const WString& path) {
  m_State.lastError = 0;
  m_nFormat = DetectFileFormat(path);
  const GenericStrings g{m_strTitle, m_strArtist, m_strAlbum, m_strComment, m_strGenre, m_strTrack, m_strYear};
  switch (m_nFormat) {
    case kFormatMPEG:
    case kFormatMPP:
    case kFormatAAC:
      m_ID3V2.SetGenericStrings(g);
      // The seven fields are those the analysis read (from the ID3v1 tag of
      // a file without ID3v2 among others): none is taken from ID3v1 again.
      return m_ID3V2.SaveChangesToFile(path, false);
    case kFormatWMA:
      m_WMA.SetGenericStrings(g);
      return m_WMA.SaveChangesToFile(path);
    case kFormatMonkey:
      m_APE.SetGenericStrings(g);
      return m_APE.SaveChangesToFile(path);
    case kFormatFLAC:
      m_FLAC.SetGenericStrings(g);
      return m_FLAC.SaveChangesToFile(path);
    case kFormatOGG:
      m_OGG.SetGenericStrings(g);
      return m_OGG.SaveChangesToFile(path);
    case kFormatMP4:
      // MP4 items are only read: the strings are kept in memory.
      m_MP4.SetGenericStrings(g);
      m_State.lastError = kErrMP4NotWritable;
      return false;
    default:
      m_State.lastError = RefusedFormat(m_State);
      return false;
  }
}

}  // namespace sonavex
