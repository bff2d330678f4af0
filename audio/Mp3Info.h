// clsMp3Info: the loudness figures of one MP3 file as the gain tool reports
// them. A double holds "no value" when it equals kNoValue exactly.
#pragma once

#include <cstdint>

namespace djvp {

class clsMp3Info {
 public:
  static constexpr double kNoValue = -666.24601;
  // Size in decibels of one gain step of the MP3 format.
  static constexpr double kStepDb = 1.50514997831991;

  clsMp3Info() { ResetVals(); }

  double RawAlbumdBGain() const { return albumDb_; }
  double RawRadiodBGain() const { return radioDb_; }

  double CurrMaxAmp() const { return maxAmp_; }
  void CurrMaxAmp(double v) { maxAmp_ = v; }
  int16_t CurrMaxGain() const { return maxGain_; }
  void CurrMaxGain(int16_t v) { maxGain_ = v; }
  int16_t CurrMinGain() const { return minGain_; }
  void CurrMinGain(int16_t v) { minGain_ = v; }

  double AlbumdBGain() const { return albumDb_ == kNoValue ? kNoValue : albumDb_ + modify_; }
  void AlbumdBGain(double v) { albumDb_ = v; }
  double RadiodBGain() const { return radioDb_ == kNoValue ? kNoValue : radioDb_ + modify_; }
  void RadiodBGain(double v) { radioDb_ = v; }
  int16_t RadioMp3Gain() const { return StepsOf(radioDb_); }
  // The largest whole number of gain steps that does not clip.
  int32_t MaxNoclipMp3Gain() const;

  double ModifydBGain() const { return modify_; }
  void ModifydBGain(double v) { modify_ = v; }

  // Shifts every stored figure by a change in decibels.
  void AlterDb(double change);
  // Sets the five figures to their no-value marks (not ModifydBGain).
  void ResetVals();

 private:
  int16_t StepsOf(double db) const;
  double radioDb_ = kNoValue;
  double albumDb_ = kNoValue;
  double modify_ = 0.0;
  double maxAmp_ = kNoValue;
  int16_t maxGain_ = -1;
  int16_t minGain_ = -1;
};

// Rounds half to even into 16 bits; false when the value does not fit.
bool RoundToInt16(double v, int16_t& out);

}  // namespace djvp
