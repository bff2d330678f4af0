#include "Mp3Info.h"

#include <cmath>
#include <limits>

namespace djvp {

bool RoundToInt16(double v, int16_t& out) {
  const double r = std::nearbyint(v);  // the default rounding mode: halves to even
  if (!(r >= std::numeric_limits<int16_t>::min() && r <= std::numeric_limits<int16_t>::max())) return false;
  out = static_cast<int16_t>(r);
  return true;
}

void clsMp3Info::ResetVals() {
  radioDb_ = albumDb_ = maxAmp_ = kNoValue;
  maxGain_ = minGain_ = -1;
}

int16_t clsMp3Info::StepsOf(double db) const {
  if (db == kNoValue) return 0;
  int16_t steps = 0;
  return RoundToInt16((db + modify_) / kStepDb, steps) ? steps : 0;
}

int32_t clsMp3Info::MaxNoclipMp3Gain() const {
  if (maxAmp_ <= 0 || maxAmp_ == kNoValue || maxAmp_ >= 1000000.0) return 0;
  return static_cast<int32_t>(std::floor(4.0 * std::log2(32767.0 / maxAmp_)));
}

void clsMp3Info::AlterDb(double change) {
  if (radioDb_ != kNoValue) radioDb_ += change;
  if (albumDb_ != kNoValue) albumDb_ += change;
  int16_t steps = 0;
  if (!RoundToInt16(-change / kStepDb, steps)) return;
  if (maxAmp_ != kNoValue) maxAmp_ *= std::pow(2.0, steps / 4.0);
  // A sum that leaves 16 bits ends the shift here.
  if (maxGain_ != -1) {
    const int sum = maxGain_ + steps;
    if (sum < std::numeric_limits<int16_t>::min() || sum > std::numeric_limits<int16_t>::max()) return;
    maxGain_ = static_cast<int16_t>(sum);
  }
  if (minGain_ != -1) {
    const int sum = minGain_ + steps;
    if (sum < std::numeric_limits<int16_t>::min() || sum > std::numeric_limits<int16_t>::max()) return;
    minGain_ = static_cast<int16_t>(sum);
  }
}

}  // namespace djvp
