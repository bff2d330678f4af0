// Fuzzes the sound engine's calls on a song file: the input becomes a file
// whose extension is picked by the first byte (FFmpeg takes the name as a
// hint), the second byte sets the tempo, pitch and seek points. The file is
// opened as a decode stream (read to its end, seeked and read again, its
// length scanned), as a tempo stream played on the manual clock with the
// tempo and pitch changed and a seek midway, and its start measured for a
// tempo. Every call must come back, whatever the file holds: no crash, no
// abort, no endless loop, and what comes out is finite sound.
#include "FuzzFile.h"
#include "engine/Engine.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const char* const kExtensions[] = {".mp3", ".ogg", ".flac", ".wma", ".aac", ".m4a", ".wav", ".mp2", ".opus", ".bin"};

// Reads a decode stream for at most `bytes` (a small file may decode to a
// great deal of sound); false when it gave out something that is not whole
// samples.
bool ReadSome(engine::Handle h, int64_t bytes) {
  std::vector<int16_t> block(8192);
  int64_t total = 0;
  while (total < bytes) {
    const int32_t got = engine::ReadData(h, block.data(), static_cast<uint32_t>(block.size() * 2));
    if (got <= 0) break;
    if (got % 2 != 0 || got > static_cast<int32_t>(block.size() * 2)) return false;
    total += got;
  }
  return true;
}

void DecodeStream(const char* path, uint8_t knobs) {
  const engine::Handle h = engine::OpenFileStream(false, path, 0, 0, engine::kDecode);
  if (!h) return;
  uint32_t rate = 0;
  if (!engine::GetAttributes(h, &rate, nullptr, nullptr) || rate < 1000 || rate > 192000) abort();
  const int64_t length = engine::Length(h);
  if (length < 0) abort();
  if (!ReadSome(h, 256 << 10)) abort();
  // Seek points from the knobs, inside what the length now says.
  const int64_t now = engine::Length(h);
  for (int64_t at : {now * (knobs & 15) / 16, now - 4 * ((knobs >> 4) + 1), int64_t{0}}) {
    if (at < 0) continue;
    engine::Seek(h, static_cast<uint64_t>(at));
    if (!ReadSome(h, 16 << 10)) abort();
  }
  engine::FreeStream(h);

  // The whole-file scan that kPrescan asks for, and the start's tempo.
  const engine::Handle scanned = engine::OpenFileStream(false, path, 0, 0, engine::kDecode | engine::kPrescan);
  if (scanned) {
    if (engine::Length(scanned) < 0) abort();
    const float bpm = engine::BpmOfSpan(scanned, 0, 2.2, 0, engine::kBpmMult2 | engine::kFreeSource);
    if (!std::isfinite(bpm) || bpm < 0) abort();
    engine::FreeBpm(scanned);
  }
}

void TempoStream(const char* path, uint8_t knobs) {
  const engine::Handle dec = engine::OpenFileStream(false, path, 0, 0, engine::kDecode);
  if (!dec) return;
  const engine::Handle h = engine::CreateTempoStream(dec, engine::kFreeSource);
  if (!h) {
    engine::FreeStream(dec);
    return;
  }
  std::vector<float> out(2 * 1024);
  auto render = [&](int blocks) {
    for (int i = 0; i < blocks && engine::IsActive(h) != engine::kStopped; ++i) {
      engine::RenderNoSound(out.data(), 1024);
      for (float v : out)
        if (!std::isfinite(v) || v > 1.0f || v < -1.0f) abort();
    }
  };
  engine::SetTempo(h, static_cast<float>((knobs & 7) * 40 - 80), -1, static_cast<float>((knobs >> 3) * 4 - 60));
  engine::Play(h, false);
  render(4);
  const int64_t length = engine::Length(h);
  if (length > 0) engine::Seek(h, static_cast<uint64_t>(length / 2));
  engine::SetTempo(h, 0, 0, 0);
  render(4);
  engine::FreeStream(h);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  engine::SetManualClock(true);
  engine::DeviceSelect(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const char* ext = kExtensions[data[0] % (sizeof kExtensions / sizeof kExtensions[0])];
  const uint8_t knobs = data[1];
  FuzzFile file(data + 2, size - 2, ext);
  DecodeStream(file.path().c_str(), knobs);
  TempoStream(file.path().c_str(), knobs);
  // A scan started for the tempo stream ends before the next input.
  engine::WaitForBackgroundWork();
  return 0;
}
