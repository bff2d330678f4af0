#include "SonavexCtrl.h"

#include "Module.h"

#include <initializer_list>

namespace sonavex {

CSonavexCtrl::CSonavexCtrl() {
  for (WithFileState* o : std::initializer_list<WithFileState*>{&m_Bare, &m_AAC, &m_APE, &m_FLAC, &m_ID3V1, &m_ID3V2,
                                                               &m_Lyrics, &m_Monkey, &m_MP4, &m_MPEG, &m_MPP, &m_OGG,
                                                               &m_WAV, &m_WMA})
    o->BindState(m_State);
  ResetAll();
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
  m_State.Reset();
}

}  // namespace sonavex
