// A system mixer for tests: one Master volume control 0..maximum and a mute
// switch, recording what is written to the volume.
#pragma once

#include "platform/SystemMixer.h"

#include <QString>

#include <cstdint>

// A mixer with one Master volume control 0..maximum and a mute switch.
class FakeMixer : public djvp::MixerDevice {
 public:
  FakeMixer(int32_t maximum, int32_t volume, int32_t* written) : max_(maximum), volume_(volume), written_(written) {}
  int32_t FindVolumeControl(const QString& element, int32_t& min, int32_t& max) override {
    if (element != QStringLiteral("Master")) return 0;
    min = 0;
    max = max_;
    return 1;
  }
  int32_t FindMuteControl(const QString& element) override { return element == QStringLiteral("Master") ? 2 : 0; }
  int GetValue(int32_t control, int32_t& value) override {
    value = control == 1 ? volume_ : mute_;
    return 0;
  }
  int SetValue(int32_t control, int32_t value) override {
    if (control == 1) {
      volume_ = value;
      if (written_) *written_ = value;
    } else {
      mute_ = value;
    }
    return 0;
  }

 private:
  int32_t max_;
  int32_t volume_;
  int32_t mute_ = 1;
  int32_t* written_;
};

