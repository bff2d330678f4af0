// Fuzzes the AAC, WAV, Monkey's Audio and Musepack header readers directly:
// the input becomes a file, the first bytes choose the offset of the audio
// (as a leading ID3v2 tag would) and the sizes of trailing tags, and every
// figure of each reader is asked for after its Read, found or not.
#include "AAC.h"
#include "FuzzFile.h"
#include "MPP.h"
#include "Module.h"
#include "Monkey.h"
#include "WAV.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void AskEverything(sonavex::CAudioFormat& f) {
  const float duration = f.GetDuration();
  Check(!std::isnan(duration) && duration >= 0.0f);
  Check(f.GetBitrate() >= 0);
  Check(f.GetChannels() >= 0);
  (void)f.GetSampleRate();
  (void)f.GetChannelMode();
  (void)f.GetVersion();
  (void)f.IsValid();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  using namespace sonavex;
  FuzzFile file(data + 4, size - 4, ".bin");
  TagFile f;
  if (!f.Open(file.path(), TagFile::Mode::Read)) return 0;
  FileState state;
  state.fileSize = static_cast<int32_t>(size - 4);
  state.id3v2Size = data[0] % 64;
  state.apeSize = data[1] & 0x80 ? data[1] * 16 : 0;
  state.id3v1Size = data[2] & 1 ? 128 : 0;
  state.lyricsSize = data[3];

  CAAC aac;
  aac.BindState(state);
  aac.Read(f);
  AskEverything(aac);
  (void)aac.GetHeaderTypeName();
  (void)aac.GetProfileName();
  (void)aac.GetBitrateTypeName();

  CWAV wav;
  wav.BindState(state);
  wav.Read(f);
  AskEverything(wav);
  Check(wav.GetSamples() >= 0);

  CMonkey monkey;
  monkey.BindState(state);
  monkey.Read(f);
  AskEverything(monkey);
  Check(monkey.GetSamples() >= 0 && monkey.GetBits() >= 0 && monkey.GetSamplesPerFrame() >= 0);
  const float ratio = monkey.GetCompressionRatio(), peak = monkey.GetPeak();
  Check(!std::isnan(ratio) && ratio >= 0.0f && !std::isnan(peak) && peak >= 0.0f);
  (void)monkey.GetCompressionName();
  (void)monkey.GetFrames();

  CMPP mpp;
  mpp.BindState(state);
  mpp.Read(f);
  AskEverything(mpp);
  Check(mpp.GetFrames() >= 0);
  return 0;
}
