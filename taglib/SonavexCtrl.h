// CSonavexCtrl: the tag library's control. It owns one object of each format
// and tag class, the seven generic strings, the current format and the format
// id. Plain C++: the automation boundary (the member table) only converts
// arguments and results. Each family of members is defined in its own source
// under members/.
#pragma once

#include "AAC.h"
#include "Analysis.h"
#include "APETag.h"
#include "AudioFormat.h"
#include "FLAC.h"
#include "ID3V1Tag.h"
#include "ID3V2Tag.h"
#include "LyricsTag.h"
#include "MP4.h"
#include "MPEG.h"
#include "MPP.h"
#include "Monkey.h"
#include "OGG.h"
#include "WAV.h"
#include "WMA.h"
#include "WString.h"

#include <cstdint>
#include <string>

namespace sonavex {

class CSonavexCtrl {
 public:
  CSonavexCtrl();
  ~CSonavexCtrl();
  CSonavexCtrl(const CSonavexCtrl&) = delete;
  CSonavexCtrl& operator=(const CSonavexCtrl&) = delete;

  // Clears every format and tag object, the file's sizes and the last error,
  // the strings, and selects the bare format.
  void ResetAll();
  // Detects the format of a file for a save (fresh objects; the control's own
  // objects stay as they are). Returns the format id.
  int16_t DetectFileFormat(const WString& path);
  // The analysis behind AUDIOAnalyzeFile: returns the format id.
  int16_t AnalyzeFile(const WString& path);
  // The generic save behind AUDIOSaveChangesToFile.
  bool SaveGenericStrings(const WString& path);

  // The members of the automation interface, one declaration each.
#include "generated/MemberDecls.inc"

  // The state of this control's file, shared by its format and tag objects
  // (and by no other control).
  FileState m_State;

  // Objects in construction order.
  CAudioFormat m_Bare;
  CAAC m_AAC;
  CAPETag m_APE;
  CFLAC m_FLAC;
  CID3V1Tag m_ID3V1;
  CID3V2Tag m_ID3V2;
  CLyricsTag m_Lyrics;
  CMonkey m_Monkey;
  CMP4 m_MP4;
  CMPEG m_MPEG;
  CMPP m_MPP;
  COGG m_OGG;
  CWAV m_WAV;
  CWMA m_WMA;

  // The file an analysis reads, kept for the next one (its blocks' memory).
  TagFile m_File;

  CAudioFormat* m_pFormat = &m_Bare;
  WString m_strExtension;
  WString m_strTitle, m_strArtist, m_strAlbum, m_strComment, m_strGenre, m_strTrack, m_strYear;
  int16_t m_nFormat = 0;
  CFileSignatureCheck m_SignatureCheck;
};

}  // namespace sonavex
