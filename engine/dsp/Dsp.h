// The engine's DSP effects: small float processors that run on a stream's
// own worker thread, in a chain ordered by priority. Each effect type has a
// parameter record whose fields are 32 bits each, in the order the program
// fills them.
//
// Real-time rules: Process() and SetParameters() never allocate, lock or
// touch the disk; an effect allocates everything it can need (its longest
// delay line) when it is created.
//
// Threads: SetParameters/GetParameters belong to one control thread and
// Process/Reset to the audio thread; the two may run at the same time. A new
// record reaches the sound at the start of the next Process call.
//
// Channel fields (flanger, volume, big echo): -1 and 0 select every channel,
// n selects channel n counted from 1; a record naming a channel the stream
// does not have is refused.
#pragma once

#include <cstdint>
#include <memory>

namespace engine::dsp {

// Effect types.
enum EffectType : int32_t {
  kSwap = 0,        // channel swap (no parameters)
  kRotate = 1,      // slow auto-pan between the channels (no parameters)
  kEcho = 2,        // EchoParams
  kFlanger = 3,     // FlangerParams
  kVolume = 4,      // VolumeParams
  kPeakEq = 5,      // PeakEqParams, one filter per band number
  kReverb = 6,      // ReverbParams
  kLowPass = 7,     // LowPassParams
  kEcho3 = 13,      // Echo3Params (the "big echo")
};

struct EchoParams {
  float level;      // level of the first repeat 0..1; later repeats fade
  int32_t delay;    // sample frames at 44.1 kHz (1200..30000 is 27..680 ms;
                    // at most 44100), the same time at every stream rate
};
struct FlangerParams {
  float wetDry;     // 0 dry .. 1 wet
  float speed;      // samples (at 44.1 kHz) the delay moves per sample;
                    // 0 holds it still, 0.009 sweeps about once a second
  int32_t channel;  // -1 all channels
};
struct VolumeParams {
  int32_t channel;  // -1 or 0: all channels
  float volume;     // linear gain >= 0, 1 = unchanged; changes ramp over 10 ms
};
struct PeakEqParams {
  int32_t band;       // band number chosen by the caller
  int32_t freq;       // sample rate the band is designed for, Hz (0: the
                      // stream's); the centre is kept below 0.45 of it
  float bandwidth;    // octaves (used when q is 0)
  float q;            // quality (used when not 0)
  float center;       // centre frequency in Hz
  float gain;         // dB
};
struct ReverbParams {
  float level;      // wet level 0..1 (the dry signal stays)
  int32_t delay;    // room size, sample frames at 44.1 kHz: the tail falls
                    // by 60 dB in six times this time
};
struct LowPassParams {
  int32_t unused1;
  float resonance;  // Q of the filter (0.1..30)
  float cutoff;     // cut-off frequency in Hz (kept below 0.45 of the rate)
  int32_t unused2;
};
struct Echo3Params {
  float dryMix;     // 0..1 (may exceed 1 for gain)
  float wetMix;
  float delay;      // seconds (0..2)
  int32_t channel;  // -1 all channels
};

class Effect {
 public:
  virtual ~Effect() = default;
  // Processes interleaved float samples (full scale -1..1) in place.
  virtual void Process(float* samples, int frames) = 0;
  // Takes a new record of this effect's type; for kPeakEq the record's band
  // selects (or adds) the band it changes. False for a record it cannot take.
  virtual bool SetParameters(const void* record) = 0;
  // Fills the record with the current values; for kPeakEq the caller sets
  // the record's band first. False when there is nothing to report.
  virtual bool GetParameters(void* record) const = 0;
  // Clears delay lines and filter states (after a seek).
  virtual void Reset() = 0;
};

// An effect of the given type for a stream of that rate (1000..768000 Hz)
// and channel count (1..32), running with its own default values; null for
// an unknown type or an impossible stream.
std::unique_ptr<Effect> CreateEffect(int32_t type, int sampleRate, int channels);

// Size in bytes of the parameter record of a type (0 for types without one).
int RecordSize(int32_t type);

}  // namespace engine::dsp
