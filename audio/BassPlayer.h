// clsBassPlayer: one playback channel of the DJ program. It opens one song as
// a tempo stream on the deck's sound device and, when a headphone device is
// chosen, as a mirror stream on that device for pre-listening; it starts,
// pauses, resumes and stops both together, sets their volumes, reports the
// song's length and levels, and measures BPM, mix points and loudness.
//
// Properties are pairs of accessors under one name: Name() reads, Name(v)
// writes. The measuring reads (BPM1, Peak, dB, LeftdB, RightdB,
// StartMixPoint, EndMixPoint) measure afresh and report into the library
// grid's row AnalysisRow through the analysis host.
#pragma once

#include "audio/Messages.h"
#include "audio/Mp3Info.h"
#include "engine/Engine.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace djvp {

// What a level reads when the stream is silent or not playing.
constexpr float kSilenceDb = -100.0f;

// The engine's speaker flag of a speaker code (1 front, 2 rear, 3 centre and
// LFE, 4 rear 2; anything else the whole device).
uint32_t SpeakerFlag(int16_t speakerCode);

class clsBassPlayer {
 public:
  clsBassPlayer() = default;
  ~clsBassPlayer();
  clsBassPlayer(const clsBassPlayer&) = delete;
  clsBassPlayer& operator=(const clsBassPlayer&) = delete;

  // Each shows its message and returns false when a stream could not be
  // made or started; the caller then abandons the start. A message names
  // the file and, when a stream could not be made, why.
  bool OpenFile();
  bool Play();
  void StopPlay();
  void PausePlay();
  void ResumePlay();

  int16_t channel() const { return channel_; }
  void channel(int16_t v) { channel_ = v; }
  engine::Handle STRM() const { return strm_; }
  void STRM(engine::Handle v) { strm_ = v; }
  engine::Handle PreSTRM() const { return preStrm_; }
  void PreSTRM(engine::Handle v) { preStrm_ = v; }
  bool IsPlaying() const { return isPlaying_; }
  void IsPlaying(bool v) { isPlaying_ = v; }
  bool IsPaused() const { return isPaused_; }
  void IsPaused(bool v) { isPaused_ = v; }
  // The song's loudness figure: 89 minus the radio dB gain the gain tool
  // reports, to one decimal; written into the library's Gain cell. No
  // figure (and an empty cell) when the tool gives none.
  std::optional<float> Peak();
  void Peak(float v) { peakWritten_ = v; }
  // Level of STRM in decibels (the louder channel); kSilenceDb when silent.
  float dB();
  void dB(float v) { dBText_ = QString::number(v); }
  // The tempo measured in 30-second windows, as "000.0"; also written into
  // the library's BPM cell.
  QString BPM1();
  void BPM1(const QString& v) { bpmWritten_ = v; }
  const QString& filename() const { return filename_; }
  void filename(const QString& v) { filename_ = v; }
  int16_t volume() const { return volume_; }
  void volume(int16_t v);
  int16_t PreVolume() const { return preVolume_; }
  void PreVolume(int16_t v);
  int32_t StreamTime() const { return streamTime_; }
  void StreamTime(int32_t v) { streamTime_ = v; }
  int16_t device() const { return device_; }
  void device(int16_t v) { device_ = v; }
  int16_t Speaker() const { return speaker_; }
  void Speaker(int16_t v) { speaker_ = v; }
  int16_t PreSpeaker() const { return preSpeaker_; }
  void PreSpeaker(int16_t v) { preSpeaker_ = v; }
  int16_t PreDevice() const { return preDevice_; }
  void PreDevice(int16_t v) { preDevice_ = v; }
  // The sound chain the player's songs play through (engine::CreateChain):
  // every new stream of the player takes it before it plays, the headphone
  // mirror without the equaliser and the gain. 0: none.
  engine::Handle Chain() const { return chain_; }
  void Chain(engine::Handle chain) { chain_ = chain; }
  // Read: a fresh measurement of the first place the song rises above the
  // silence level (bytes); write: the position Play starts from.
  int32_t StartMixPoint();
  void StartMixPoint(int32_t v) { startMixPoint_ = v; }
  // Read: a fresh measurement of the last place above the silence level.
  int32_t EndMixPoint();
  void EndMixPoint(int32_t v) { endMixPointWritten_ = v; }
  // Level of one channel in decibels scaled by the master volume.
  float LeftdB();
  void LeftdB(float v) { leftdB_ = v; }
  float RightdB();
  void RightdB(float v) { rightdB_ = v; }
  bool IsMixing() const { return isMixing_; }
  void IsMixing(bool v) { isMixing_ = v; }
  int32_t DummyTime() const { return dummyTime_; }
  void DummyTime(int32_t v) { dummyTime_ = v; }
  // Takes the song's length as the engine knows it now into DummyTime: a
  // length the engine could only estimate when the file was opened becomes
  // exact once it has scanned the file. True when DummyTime changed.
  bool RefreshLength();
  // The start-BPM detection's handle; its tempo is known once
  // engine::BpmPending(hBPM) is false.
  engine::Handle hBPM() const { return hBPM_; }
  void hBPM(engine::Handle v) { hBPM_ = v; }

  // The start position stored for Play (StartMixPoint read measures).
  int32_t StoredStartMixPoint() const { return startMixPoint_; }

 private:
  // A decode stream of the song through the creation call its name asks for.
  engine::Handle OpenDecodeStream(uint32_t baseFlags, int16_t speakerCode) const;
  void ReleaseStream(engine::Handle& h);
  // Message n of the string table about this file, with why the engine
  // refused its stream.
  FileMessage Refusal(int n) const;
  void DetectBPMWindow(bool newStream, float from, float to);
  void DetectStartBPM(bool newStream, float from, float to, const QString& file);
  float ChannelDb(bool right, float& stored);
  void WriteMixPointCell(int column, int64_t bytes, engine::Handle scan);

  int16_t channel_ = 0;
  engine::Handle strm_ = 0;
  engine::Handle preStrm_ = 0;
  bool isPlaying_ = false;
  bool isPaused_ = false;
  float peakWritten_ = 0;
  QString dBText_;
  QString bpmWritten_;
  QString filename_;
  int16_t volume_ = 0;
  int16_t preVolume_ = 0;
  int32_t streamTime_ = 0;
  int16_t device_ = 0;
  int16_t speaker_ = 0;
  engine::Handle chain_ = 0;
  int16_t preSpeaker_ = 0;
  int16_t preDevice_ = 0;
  int32_t startMixPoint_ = 0;
  int32_t endMixPointWritten_ = 0;
  float leftdB_ = 0;
  float rightdB_ = 0;
  bool isMixing_ = false;
  int32_t dummyTime_ = 0;
  int64_t lengthBytes_ = -1;
  engine::Handle hBPM_ = 0;
  engine::Handle hBPMWindow_ = 0;
  float lastBPM_ = 0;
  QString bpmText_;
  clsMp3Info gainInfo_;
};

}  // namespace djvp
