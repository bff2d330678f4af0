#include "SonavexCtrl.h"

#include "Module.h"

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

}  // namespace sonavex
