// The sound engine: devices, decode and tempo streams, transport, positions,
// levels, sample data, DSP effects and BPM detection. No Qt.
//
// The model, for the player class and everything above it:
//
// * Handles. Every stream is a 32-bit handle; 0 is failure. Handles are never
//   reused within a process. Every call on 0, on a freed or on an unknown
//   handle fails quietly with the failure value its comment names.
//
// * Units. Positions and lengths are bytes of 16-bit interleaved sample data
//   at the file's own rate and channel count, counted from the file's start.
//   This holds for tempo streams too: their positions and lengths are those
//   of their source. BytesToSeconds/SecondsToBytes convert at the file's rate.
//
// * Devices. Device 0 is "No sound": it needs no hardware and no DeviceInit,
//   and consumes playing streams at the real pace. Devices 1..N are the
//   PortAudio (ALSA) output devices in the order DeviceName lists them: the
//   system's default output first (on a desktop the sound server, through
//   ALSA's "default"), then the others in PortAudio's own order. All
//   devices run at 44100 Hz. A device that takes sound faster than it plays
//   it (ALSA's "null", a file PCM) is found out within a second or two of
//   sound and from then on paced by the engine's own clock, as "No sound"
//   is, so that no thread races through it. Stream creation and the device calls act on the
//   device the calling thread selected last (DeviceSelect, or a successful
//   DeviceInit); a thread that has selected none acts on the device any
//   thread selected last. So a thread that measures songs on device 0 never
//   moves the window thread's next stream onto another device.
//
// * Streams. A decode stream (kDecode) is read by the caller with ReadData or
//   handed to CreateTempoStream, which makes a playable stream over it on the
//   selected device; the tempo stream owns and frees its source. A stream
//   opened without kDecode is playable itself (without tempo control).
//
// * Threads. All calls may be made from any thread; they are meant for one
//   control thread (the user interface). A call on one stream waits only
//   for that stream (a seek decoding ahead, a BPM detection, a read); it
//   never holds up the decoding or playing of another. Each device has a
//   worker thread that decodes, time-stretches and runs the effects ahead
//   of time into lock-free ring buffers, sleeping until a ring has room or
//   a call changed something; the output callback only mixes what is ready,
//   applying volume (smoothed, so steps never click) and measuring levels,
//   and limits the mix below full scale (sound below -1 dBFS untouched).
//   Effect parameter changes reach the worker through a lock-free slot.
//   Position is what has been heard. Work that takes long and that no call
//   waits for (the scan of a whole MPEG file, a tempo detection asked for
//   later) runs on engine threads of its own at a low priority.
//
// * Sound chains. A chain is a deck's sound settings kept apart from any
//   stream: effects with their parameter records, and tempo, rate and pitch.
//   It plays nothing and belongs to no device; it stays while songs come and
//   go. ApplyChain copies it onto a stream, which from its next sample on
//   sounds as if the same calls had been made on it; put on before Play,
//   from its first. The effect calls and SetTempo take a chain's handle as
//   they take a stream's; every other call fails on it as on an unknown
//   handle, and a chain's handle never names a stream.
//
// * Manual clock. SetManualClock(true) stops device 0's own pacing; a test
//   then calls RenderNoSound to advance time by an exact number of frames and
//   receive the mixed stereo output of every stream playing on device 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace engine {

using Handle = uint32_t;

// ---------------------------------------------------------------- flags

// Stream creation.
constexpr uint32_t kDecode = 0x200000;    // decode only: read with ReadData
// Scan an MPEG file whole while the stream is made, so that its length is
// exact from the start (the caller waits for it). Without it the length is
// the header's figure until an engine thread has scanned the file, which it
// starts at once; Vorbis and FLAC lengths are always exact.
constexpr uint32_t kPrescan = 0x20000;
constexpr uint32_t kFreeSource = 0x10000; // tempo stream / BPM: free the source with it
// Speaker pairs of a multi-channel device (ALSA order: front, rear, centre
// and LFE, side). On a device without those channels the front pair is used.
constexpr uint32_t kSpeakerFront = 0x1000000;
constexpr uint32_t kSpeakerRear = 0x2000000;
constexpr uint32_t kSpeakerCenterLfe = 0x3000000;
constexpr uint32_t kSpeakerRear2 = 0x4000000;
constexpr uint32_t kSpeakerMask = 0xF000000;
// DeviceInit: open every channel of the device so that speaker pairs work.
constexpr uint32_t kInitSpeakers = 2048;

// IsActive results.
constexpr uint32_t kStopped = 0;
constexpr uint32_t kPlaying = 1;
constexpr uint32_t kStalled = 2;
constexpr uint32_t kPaused = 3;

// BpmOfSpan flags.
constexpr uint32_t kBpmBackground = 1;  // accepted; the detection always runs on the caller's thread
                                        // (and holds up no other stream)
constexpr uint32_t kBpmMult2 = 2;       // a result below the minimum is doubled
// Returns at once (0): the detection runs on an engine thread, without
// progress calls, and its result is kept under the handle when it is done
// (BpmPending tells when). With kFreeSource the stream is freed at once.
constexpr uint32_t kBpmLater = 0x100;

// TranslateBpm kinds.
constexpr uint32_t kBpmTimes2 = 0;       // the BPM doubled (and kept doubled)
constexpr uint32_t kBpmToFreq = 1;       // value = a BPM -> the playback rate in Hz that gives it
constexpr uint32_t kFreqToBpm = 2;       // value = a rate in Hz -> the BPM heard at that rate
constexpr uint32_t kBpmToPercent = 3;    // value = a BPM -> the speed in percent that gives it
constexpr uint32_t kPercentToBpm = 4;    // value = a speed in percent -> the BPM heard at it

// The engine's version: major number in the low word, minor in the high
// word (2.4), so that it is at least the 2.3 the program asks for.
constexpr uint32_t kVersion = 0x00040002;

// ---------------------------------------------------------------- devices

// Initialises device `device` for output (it runs at 44100 Hz whatever
// `freq` asks). flags: kInitSpeakers opens up to eight channels so that
// speaker pairs work; otherwise the device is opened in stereo. `window` is
// not used. Initialising an initialised device succeeds and selects it.
// Device 0 is always ready. Selects the device on success.
bool DeviceInit(int device, uint32_t freq = 44100, uint32_t flags = 0, void* window = nullptr);
// Releases the selected device and every stream on it. Harmless on a device
// that is not initialised.
bool DeviceFree();
// Stops every stream playing on the selected device.
bool DeviceStop();
// Selects the device the calling thread's later calls act on. False (and
// nothing changes) for a device that does not exist; selecting an
// uninitialised one is allowed.
bool DeviceSelect(int device);
// The device the calling thread acts on.
int SelectedDevice();
uint32_t Version();
// The name of device i: "No sound" for 0, the output device's name for
// 1..N, null past the last. The text stays valid for the process's life.
const char* DeviceName(int i);
// The device number (1..N) of the n-th output device (n from 1) in
// PortAudio's own order, the order the list had before the default output
// came first (stored device numbers of that time count in it); 0 past the
// last.
int DeviceInSystemOrder(int n);
// Stores an option of the outside library's configuration; no option
// changes the engine's behaviour.
bool SetOption(uint32_t option, uint32_t value);

// ---------------------------------------------------------------- errors

// Why the calling thread's last stream creation (the three open calls and
// CreateTempoStream) failed; kErrOk after a success.
constexpr int32_t kErrOk = 0;
constexpr int32_t kErrFileOpen = 1;  // the system would not open it: detail = errno
constexpr int32_t kErrNotFile = 2;   // a folder, a pipe (FIFO), a device or a socket
constexpr int32_t kErrEmpty = 3;     // the file has no bytes
constexpr int32_t kErrFormat = 4;    // no decoder reads it as sound
constexpr int32_t kErrRate = 5;      // an impossible sample rate in its header: detail = the rate
constexpr int32_t kErrChannels = 6;  // an impossible channel count in its header: detail = the count
constexpr int32_t kErrLength = 7;    // a length in its header that no counter of the engine holds
constexpr int32_t kErrTempo = 8;     // the tempo stage would not take the stream
constexpr int32_t kErrHandle = 9;    // a bad handle or argument
constexpr int32_t kErrDevice = 10;   // the selected device is not ready, or it plays all it can
struct StreamError {
  int32_t code = kErrOk;
  int64_t detail = 0;
};
StreamError LastStreamError();

// ---------------------------------------------------------------- streams

// Opens a file of any supported format (MP3/MP2/MP1, Ogg Vorbis, FLAC, WMA
// and whatever FFmpeg reads). `fromMemory` is not supported (0); offset and
// length must be 0. Flags: kDecode, kPrescan, a speaker flag. 0 on failure
// (LastStreamError says why).
//
// Only a regular file is opened, and never waited on: a FIFO, a device or a
// folder is refused at once, as is a header that makes no sense (a rate
// below 1000 Hz or above 768000 Hz, no channels or more than 255, a length
// beyond what the counters hold). What the stream gives is one or two
// channels (more are mixed down to stereo) at the file's rate, or, above the
// 192000 Hz the tempo stage takes, at the file's rate divided by the
// smallest whole number that brings it there (352.8 kHz plays at 176.4 kHz).
// That is the stream's own rate and channel count for positions, lengths,
// FileRate and ReadData alike. A file whose rate or layout changes midway
// goes on in the format it began with, converted, at its true speed.
Handle OpenFileStream(bool fromMemory, const char* path, uint64_t offset, uint64_t length,
                      uint32_t flags);
// The FLAC and WMA creation calls: they open every format as well.
Handle OpenFlacStream(bool fromMemory, const char* path, uint64_t offset, uint64_t length,
                      uint32_t flags);
Handle OpenWmaStream(bool fromMemory, const char* path, uint64_t offset, uint64_t length,
                     uint32_t flags);
// A playable tempo stream over decode stream `source` on the selected device.
// With kFreeSource the source is freed with the tempo stream. The source
// cannot be used by itself afterwards. 0 on failure (LastStreamError says
// why); a failure leaves the source as it was.
Handle CreateTempoStream(Handle source, uint32_t flags);
// Frees a stream (and a tempo stream's source when it owns it).
bool FreeStream(Handle h);
// WMA encoding is not offered; this is a harmless no-op for the start-up call.
bool CloseWmaEncoder(Handle h);

// ---------------------------------------------------------------- transport

// Starts a playable stream from its current position (from 0 with restart).
bool Play(Handle h, bool restart = false);
bool Pause(Handle h);
bool Stop(Handle h);
// kStopped, kPlaying, kStalled or kPaused. A decode stream is kPlaying until
// its end has been read. 0 for a bad handle.
uint32_t IsActive(Handle h);

// ---------------------------------------------------------------- positions

// Bytes heard (playable streams) or bytes read (decode streams); -1 on failure.
int64_t Position(Handle h);
// Length in bytes; -1 on failure. Exact for Vorbis and FLAC, and for MPEG
// audio opened with kPrescan or once the engine's scan of it has ended (a
// header of the encoder's makes it exact before); otherwise the header's
// figure until the end has been decoded, and for a file that ends before
// its header says, the true length from then on. Never waits for a scan.
int64_t Length(Handle h);
// Moves to a byte position (rounded down to a whole frame); a tempo stream
// flushes its time-stretch buffers and effect states.
bool Seek(Handle h, uint64_t bytes);
// Seconds of `bytes` at the stream's file rate; negative (-1) on failure.
double BytesToSeconds(Handle h, uint64_t bytes);
// Bytes of `seconds` at the stream's file rate (whole frames); -1 on failure.
int64_t SecondsToBytes(Handle h, double seconds);

// ---------------------------------------------------------------- attributes

// freq: playback rate in Hz (100..200000; -1 unchanged, 0 the file's);
// volume: 0..100 (-1 unchanged); pan: -100..100 (-101 unchanged).
bool SetAttributes(Handle h, int freq, int volume, int pan);
bool GetAttributes(Handle h, uint32_t* freq, uint32_t* volume, int* pan);
// The sample rate of the stream's file in Hz (what a rate of 0 restores);
// 0 on failure.
uint32_t FileRate(Handle h);
// Peak levels of what was heard over the last ~20 ms, before the volume:
// left 0..32768 in the low 16 bits, right in the high 16 bits. 0xFFFFFFFF
// (-1) when the stream is not playing or on failure.
uint32_t Level(Handle h);
// Reads signed 16-bit interleaved samples from a decode stream into `buffer`
// (`bytes` long); returns the bytes given, -1 at the end or on failure.
int32_t ReadData(Handle h, void* buffer, uint32_t bytes);

// ---------------------------------------------------------------- tempo

// tempo: percent change of speed (-95..5000; -100 unchanged); rate: playback
// rate in Hz (100..200000; -1 unchanged, 0 the file's); pitch: semitones
// (-60..60; -100 unchanged). Only on tempo streams and chains. On a chain
// only the chain's settings change (a new chain has 0, 0, 0), and its rate is
// the rate for a song at 44100 Hz (0: each song's own rate): a stream the
// chain is applied to plays at rate * its FileRate / 44100, kept within
// 100..200000 Hz.
bool SetTempo(Handle h, float tempo, float rate, float pitch);
// The speed of playback against the file: (1 + tempo/100) * rate / file rate.
// 0 on failure.
float RateRatio(Handle h);

// ---------------------------------------------------------------- effects

// Attaches an effect of `type` (engine/dsp/Dsp.h) to a playable stream or a
// chain with its own default values. Effects run in descending priority;
// equal priorities in the order they were attached. Attaching an attached
// type again changes nothing and succeeds.
bool AddEffect(Handle h, int32_t type, int priority);
// False when no effect of the type is attached.
bool RemoveEffect(Handle h, int32_t type);
// Reads/writes the effect's parameter record (for the peaking equaliser the
// record's band chooses the band; writing a new band adds it). Effects run
// after the time-stretcher, at 44100 Hz: a band's sample-rate field is kept
// only to be read back, and every band acts at its centre whatever rate the
// file or the rate setting has. A new record reaches the sound within the
// worker's lead (under 0.1 s). On a chain the chain's records are read and
// written alike (a chain's effects take the records of a stereo stream), and
// no stream changes.
bool GetEffectParameters(Handle h, int32_t type, void* record);
bool SetEffectParameters(Handle h, int32_t type, const void* record);

// ---------------------------------------------------------------- sound chains

// A sound chain: effects with their parameter records (they run in descending
// priority, equal ones in the order they were attached, as on a stream) and
// tempo, rate and pitch settings. It plays nothing by itself. AddEffect,
// RemoveEffect, Get/SetEffectParameters and SetTempo work on it.
Handle CreateChain();  // a handle from the streams' never-reused space; 0 on failure
bool FreeChain(Handle chain);  // false for anything that is not a live chain
// Gives `stream` (a playable stream) the chain's effects with their records
// and, when it is a tempo stream, the chain's tempo settings, before the
// stream's next sample is made: put on before Play, the stream carries them
// from its first sample (on a playing stream, once the sound already made
// ahead, under 0.1 s, has played). The effects the stream had are replaced
// (on a playing stream they fade out as RemoveEffect has them). A record that
// names a channel the stream does not have is left out. The stream keeps no
// tie to the chain: later changes of the chain reach only the streams it is
// applied to afterwards, and either may be freed first. flags: kChainMirror
// leaves out the equaliser (dsp::kPeakEq) and the volume effect
// (dsp::kVolume), which only a deck's main output carries (a headphone copy
// of the song takes the other effects and the tempo settings alone). False
// (and the stream unchanged) for a handle that is not a playable stream, one
// that is not a live chain, or other flags.
constexpr uint32_t kChainMirror = 1;
bool ApplyChain(Handle stream, Handle chain, uint32_t flags = 0);

// ---------------------------------------------------------------- BPM

using BpmProgress = std::function<void(Handle h, float percent)>;
// Detects the tempo of seconds `from`..`to` of decode stream `h`, calling
// `progress` on this thread while it works. minMax: 0, or the lowest BPM in
// the low word and the highest in the high word. With kFreeSource the
// stream is freed afterwards; the result stays kept under `h` for
// TranslateBpm until FreeBpm. Returns the BPM, 0 when none was found or on
// failure.
float BpmOfSpan(Handle h, double from, double to, uint32_t minMax, uint32_t flags,
                const BpmProgress& progress = {});
// True while a detection started with kBpmLater for `h` runs.
bool BpmPending(Handle h);
// Forgets the BPM kept for `h` (a detection still running for it is
// dropped).
bool FreeBpm(Handle h);
// Translates the BPM kept for `h` (see the kinds above); 0 on failure.
float TranslateBpm(Handle h, float value, uint32_t kind);

// ---------------------------------------------------------------- testing

// Switches device 0 between its own real-time pacing and the manual clock.
void SetManualClock(bool manual);
// Manual clock only: advances device 0 by `frames` and writes the mixed
// stereo output (interleaved float) into `out` (2 * frames values). Returns
// the frames rendered (0 when the manual clock is off).
size_t RenderNoSound(float* out, size_t frames);
// Switches the limiter of every device's output (on unless switched off):
// off, the mixed sound is only clipped at full scale, so that a test can
// compare the limited sound with the plain sum.
void SetOutputLimiter(bool on);
// Frames that a playing stream wanted but its worker had not ready, summed
// over every stream since the start of the process.
uint64_t Underruns();
// Frames per block that device 0 takes at the real pace (its stand-in for a
// sound card's buffer; 1024 unless set, 64..8192). Takes effect the next
// time device 0 starts playing at the real pace.
void SetNoSoundBlock(size_t frames);
// Waits until no engine thread scans a file or detects a tempo for a
// stream (tests that want a scan's or a detection's result).
void WaitForBackgroundWork();
// Figures of the real-time side, for benchmarks: the underrun count (as
// Underruns), the longest output callback and the longest time a ring
// waited for its worker (from the callback finding room for a block to the
// worker having refilled it), each since the last call.
struct RealTimeFigures {
  uint64_t underrunFrames = 0;
  double longestCallbackMs = 0;
  double longestRingWaitMs = 0;
};
RealTimeFigures TakeRealTimeFigures();
// Re-reads the list of output devices (the ALSA configuration included).
// Only while no device above 0 is initialised; false otherwise. Every thread
// then acts on device 0 until it selects another.
bool RescanDevices();

}  // namespace engine
