#include "SonavexCtrl.h"

#include "Module.h"

#include <cstring>

namespace sonavex {

CSonavexCtrl::CSonavexCtrl() {
  ResetAll();
  // The switch is module-wide: a new control turns it off for every control.
  g_bAnalyzeAllFrames = false;
}

CSonavexCtrl::~CSonavexCtrl() { ResetAll(); }

void CSonavexCtrl::ResetAll() {
  m_AAC.Clear();
  m_APE.Clear();
  m_MPP.Clear();
  m_FLAC.Clear();
  m_WAV.Clear();
  m_OGG.Clear();
  m_WMA.Clear();
  m_MP4.Clear();
  m_MPEG.Clear();
  m_ID3V1.Clear();
  m_ID3V2.Clear();
  m_Monkey.Clear();
  m_Lyrics.Clear();
  g_nFileSize = g_nID3V1Size = g_nID3V2Size = g_nLyricsSize = g_nAPESize = 0;
  m_pFormat = &m_Bare;
  m_nFormat = 0;
  m_strExtension.clear();
  m_strTitle.clear();
  m_strArtist.clear();
  m_strAlbum.clear();
  m_strComment.clear();
  m_strGenre.clear();
  m_strTrack.clear();
  m_strYear.clear();
  g_nLastError = 0;
}

namespace {
struct Signature {
  unsigned char bytes[4];
  int length;
};
constexpr Signature kSignatures[] = {
    {{0xFF, 0x4B, 0x45, 0x59}, 4}, {{0x89, 0x50, 0x4E, 0x47}, 4}, {{0xD0, 0xCF, 0x11, 0xE0}, 4},
    {{0x55, 0x52, 0x4C, 0x20}, 4}, {{0x21, 0x42, 0x44, 0x4E}, 4}, {{0xCF, 0xAD, 0x12, 0xFE}, 4},
    {{0x25, 0x50, 0x44, 0x46}, 4}, {{0x49, 0x49, 0x2A, 0x00}, 4}, {{0x49, 0x54, 0x53, 0x46}, 4},
    {{0x50, 0x4B, 0x03, 0x04}, 4}, {{0x52, 0x61, 0x72, 0x21}, 4}, {{0x3F, 0x5F, 0x03, 0x00}, 4},
    {{0x47, 0x49, 0x46, 0x38}, 4}, {{0x4D, 0x53, 0x43, 0x46}, 4}, {{0xCA, 0xFE, 0xBA, 0xBE}, 4},
    {{0x4D, 0x5A}, 2},             {{0x42, 0x4D}, 2},             {{0xFF, 0xD8}, 2},
};
}  // namespace

bool CFileSignatureCheck::IsNonAudio(TagFile& file) {
  std::memset(m_buf, 0, sizeof m_buf);
  if (!file.Seek(0)) return false;
  const size_t got = file.Read(m_buf, sizeof m_buf);
  for (const auto& sig : kSignatures) {
    // A short file never matches on bytes it does not have.
    if (got < static_cast<size_t>(sig.length)) continue;
    if (std::memcmp(m_buf, sig.bytes, static_cast<size_t>(sig.length)) == 0) return true;
  }
  return false;
}

}  // namespace sonavex
