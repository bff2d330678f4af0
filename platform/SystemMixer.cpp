#include "platform/SystemMixer.h"

#include "platform/MessageBox.h"
#include "StringTable.h"

#include <utility>

namespace djvp {

namespace {

// The mixer elements of each line, in order of preference. LineIn falls back
// to the auxiliary input when the line input has no volume control.
const char* const kWave[] = {"Master", "PCM", nullptr};
const char* const kMicro[] = {"Mic", nullptr};
const char* const kWaveIn[] = {"PCM", nullptr};
const char* const kLineIn[] = {"Line", "Aux", nullptr};
const char* const kCD[] = {"CD", nullptr};
const char* const kMIDI[] = {"Synth", "MIDI", nullptr};
const char* const* const kLineElements[6] = {kWave, kMicro, kWaveIn, kLineIn, kCD, kMIDI};

}  // namespace

clsVolume::clsVolume() {
  int error = 0;
  device_ = OpenAlsaMixer(error);
  lastMixerResult_ = device_ ? 0 : (error != 0 ? error : kMixerInvalidControl);
  Create();
}

clsVolume::clsVolume(std::unique_ptr<MixerDevice> device) : device_(std::move(device)) {
  lastMixerResult_ = device_ ? 0 : kMixerInvalidControl;
  Create();
}

clsVolume::~clsVolume() = default;

void clsVolume::Create() {
  if (!device_) {
    try {
      MsgBox(QString::fromStdString(Tr(218)));
    } catch (const MissingString&) {
      MsgBox(QStringLiteral("No mixer found"));
    }
    return;
  }
  for (int line = 0; line < 6; ++line) {
    Line& l = lines_[line];
    for (const char* const* element = kLineElements[line]; *element != nullptr; ++element) {
      const QString name = QString::fromLatin1(*element);
      int32_t min = 0, max = 0;
      const int32_t volume = device_->FindVolumeControl(name, min, max);
      lastMixerResult_ = volume != 0 ? 0 : kMixerInvalidControl;
      if (volume == 0) continue;
      l.volumeControl = volume;
      l.min = min;
      l.max = max;
      volumeFoundMask_ |= 1 << line;
      // The mute switch is taken from the element whose volume was found.
      l.muteControl = device_->FindMuteControl(name);
      lastMixerResult_ = l.muteControl != 0 ? 0 : kMixerInvalidControl;
      if (l.muteControl != 0) muteFoundMask_ |= 1 << line;
      break;
    }
  }
}

int32_t clsVolume::GetControlValue(int32_t control) {
  if (!device_) {
    lastMixerResult_ = kMixerInvalidControl;
    return 0;
  }
  int32_t value = 0;
  lastMixerResult_ = device_->GetValue(control, value);
  return lastMixerResult_ == 0 ? value : 0;
}

bool clsVolume::SetControlValue(int32_t control, int32_t value) {
  if (!device_) {
    lastMixerResult_ = kMixerInvalidControl;
    return false;
  }
  lastMixerResult_ = device_->SetValue(control, value);
  return lastMixerResult_ == 0;
}

int32_t clsVolume::GetVolume(int line) { return GetControlValue(lines_[line].volumeControl); }

void clsVolume::SetVolume(int line, int32_t value) {
  const Line& l = lines_[line];
  if (value < l.min) value = l.min;
  if (value > l.max) value = l.max;
  SetControlValue(l.volumeControl, value);
}

int32_t clsVolume::GetMute(int line) { return GetControlValue(lines_[line].muteControl); }

void clsVolume::SetMute(int line, int32_t value) { SetControlValue(lines_[line].muteControl, value); }

std::unique_ptr<MixerDevice> OpenAlsaMixer(int& error) {
  error = kMixerInvalidControl;
  return nullptr;
}

}  // namespace djvp
