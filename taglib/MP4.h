// CMP4: MPEG-4 and QuickTime files (.m4a and the like), read only. The reader
// recognises the file by its ftyp atom at the audio start (the ID3v2 size), walks
// the atom tree for the media header of the sound track and for the iTunes
// item list, and keeps 24 text items and the first ten cover pictures.
#pragma once

#include "AudioFormat.h"
#include "ByteBuffer.h"

#include <array>
#include <cstdint>

namespace sonavex {

class CMP4 : public CAudioFormat {
 public:
  static constexpr int kSlotCount = 25;  // slot 24: a cover stored as text (not exposed)
  static constexpr int kMaxPictures = 10;

  int32_t GetChannels() override { return m_nChannels; }
  float GetDuration() override { return m_fDuration; }
  // The sound track's time scale, or the rate its HE-AAC setup plays at.
  int32_t GetSampleRate() override { return m_nSampleRate; }
  int32_t GetBitrate() override;
  WString GetVersion() override;
  bool IsValid() override { return m_bValid; }

  void Clear() override;
  bool Read(TagFile& file) override;
  // The seven generic fields as this format's items hold them.
  GenericStrings GetGenericStrings();
  // Stores the seven generic fields into the items (memory only).
  void SetGenericStrings(const GenericStrings& g);
  // MP4 items are not written: error 207, the file is not touched.
  bool SaveChangesToFile(const WString& path);

  // Text items by slot.
  WString GetField(int slot) const;
  void SetField(int slot, const WString& value);
  // The creation year of the media header in decimal ("0" when not set).
  WString GetYear() const;
  // Cover items met (may exceed the ten that are kept).
  int32_t GetPictureCount() const { return m_nPictureCount; }
  const CByteBuffer& Picture(int index) const { return m_Pictures[static_cast<size_t>(index)]; }
  // Writes stored picture index (0-based) into a file of its own.
  bool SavePicture(const WString& path, int index);

 private:
  struct Media;
  bool WalkAtoms(TagFile& file, int64_t start, int64_t end, int depth, Media* media);
  void ReadMediaHeader(TagFile& file, uint64_t bodySize, Media* media);
  void ReadSampleDescription(TagFile& file, uint64_t bodySize, Media* media);
  void EndMedia(const Media& media);
  void ParseIlst();
  void ParseIlstItem(int slot, const uint8_t* data, size_t size);

  uint8_t m_MajorBrand[4] = {0, 0, 0, 0};
  std::array<WString, kSlotCount> m_Fields;
  std::array<CByteBuffer, kMaxPictures> m_Pictures;
  CByteBuffer m_ItemList;
  bool m_bValid = false;
  bool m_bSoundTrack = false;  // a track with a sound handler has given the figures
  int32_t m_nTimeScale = 0;
  int32_t m_nSampleRate = 0;
  int64_t m_nDataStart = 0;
  int64_t m_nMediaData = -1;  // bytes of media data atoms; -1 when none was met
  int32_t m_nChannels = 0;
  uint32_t m_nYear = 0;
  float m_fDuration = 0.0f;
  int32_t m_nPictureCount = 0;
};

}  // namespace sonavex
