// The system mixer: volume and mute switches of six audio lines of the
// default sound card, over the ALSA simple mixer. The program uses only the
// Wave line (the master volume): its bounds, its volume and its mute switch.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace djvp {

// Bits of the six lines in VolumeFoundMask and MuteFoundMask, in the order
// in which they are looked up.
enum MixerLineBit : int32_t {
  kMixerWave = 1,
  kMixerMicro = 2,
  kMixerWaveIn = 4,
  kMixerLineIn = 8,
  kMixerCD = 16,
  kMixerMIDI = 32,
};

// A mixer device as clsVolume sees it: controls found by element name and
// read or written by their number (0 = no control; every call on it fails).
// Results are 0 on success and an error code otherwise.
class MixerDevice {
 public:
  virtual ~MixerDevice() = default;
  // The number of the element's volume control and its bounds; 0 when the
  // element or its volume control does not exist.
  virtual int32_t FindVolumeControl(const QString& element, int32_t& min, int32_t& max) = 0;
  // The number of the element's mute switch; 0 when there is none. A mute
  // control reads 1 when the line is muted, 0 when not, and any non-zero
  // value written mutes it.
  virtual int32_t FindMuteControl(const QString& element) = 0;
  virtual int GetValue(int32_t control, int32_t& value) = 0;
  virtual int SetValue(int32_t control, int32_t value) = 0;
};

// Opens the ALSA simple mixer of the default card; nullptr (and the ALSA
// error code in error) when there is none or ALSA cannot be loaded.
std::unique_ptr<MixerDevice> OpenAlsaMixer(int& error);

// The result code of a call on a control that was not found.
inline constexpr int kMixerInvalidControl = 1025;

class clsVolume {
 public:
  // Opens the default card's mixer. With none, shows message 218 ("No mixer
  // found") and stays usable: every bound is 0 and every call does nothing.
  clsVolume();
  // Uses the given device; nullptr behaves like a machine without a mixer.
  explicit clsVolume(std::unique_ptr<MixerDevice> device);
  ~clsVolume();
  clsVolume(const clsVolume&) = delete;
  clsVolume& operator=(const clsVolume&) = delete;

  // Whether a mixer device was opened.
  bool Found() const { return device_ != nullptr; }

  int32_t MinWaveVolume() const { return lines_[0].min; }
  int32_t MaxWaveVolume() const { return lines_[0].max; }
  int32_t MaxMicVolume() const { return lines_[1].max; }
  int32_t MinWavInVolume() const { return lines_[2].min; }
  int32_t MaxWavInVolume() const { return lines_[2].max; }
  int32_t MinLineInVolume() const { return lines_[3].min; }
  int32_t MaxLineInVolume() const { return lines_[3].max; }

  // Reads return what the mixer holds (0 when the call fails); a written
  // volume is first clamped to the line's bounds; a mute is written as given.
  int32_t WaveVolume() { return GetVolume(0); }
  void WaveVolume(int32_t NewVolume) { SetVolume(0, NewVolume); }
  int32_t MicroVolume() { return GetVolume(1); }
  void MicroVolume(int32_t NewVolume) { SetVolume(1, NewVolume); }
  int32_t WaveInVolume() { return GetVolume(2); }
  void WaveInVolume(int32_t NewVolume) { SetVolume(2, NewVolume); }
  int32_t LineInVolume() { return GetVolume(3); }
  void LineInVolume(int32_t NewVolume) { SetVolume(3, NewVolume); }
  int32_t CD_Volume() { return GetVolume(4); }
  void CD_Volume(int32_t NewVolume) { SetVolume(4, NewVolume); }
  int32_t MIDIVolume() { return GetVolume(5); }
  void MIDIVolume(int32_t NewVolume) { SetVolume(5, NewVolume); }

  int32_t WaveMute() { return GetMute(0); }
  void WaveMute(int32_t bState) { SetMute(0, bState); }
  int32_t MicroMute() { return GetMute(1); }
  void MicroMute(int32_t bState) { SetMute(1, bState); }
  int32_t WaveInMute() { return GetMute(2); }
  void WaveInMute(int32_t bState) { SetMute(2, bState); }
  int32_t LineInMute() { return GetMute(3); }
  void LineInMute(int32_t bState) { SetMute(3, bState); }
  int32_t CD_Mute() { return GetMute(4); }
  void CD_Mute(int32_t bState) { SetMute(4, bState); }
  int32_t MIDIMute() { return GetMute(5); }
  void MIDIMute(int32_t bState) { SetMute(5, bState); }

  // Whether the lines given as bits have a volume (mute) control.
  bool HasVolumeControl(int32_t line) const { return (line & volumeFoundMask_) != 0; }
  bool HasMuteControl(int32_t line) const { return (line & muteFoundMask_) != 0; }
  int32_t VolumeFoundMask() const { return volumeFoundMask_; }
  int32_t MuteFoundMask() const { return muteFoundMask_; }
  // The result of the last mixer call: 0 on success.
  int32_t LastMixerResult() const { return lastMixerResult_; }

 private:
  struct Line {
    int32_t volumeControl = 0;
    int32_t muteControl = 0;
    int32_t min = 0;
    int32_t max = 0;
  };
  void Create();
  int32_t GetVolume(int line);
  void SetVolume(int line, int32_t value);
  int32_t GetMute(int line);
  void SetMute(int line, int32_t value);
  int32_t GetControlValue(int32_t control);
  bool SetControlValue(int32_t control, int32_t value);

  std::unique_ptr<MixerDevice> device_;
  Line lines_[6];
  int32_t volumeFoundMask_ = 0;
  int32_t muteFoundMask_ = 0;
  int32_t lastMixerResult_ = 0;
};

}  // namespace djvp
