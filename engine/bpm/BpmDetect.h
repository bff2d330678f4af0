// Tempo detection of a span of decoded audio.
#pragma once

#include <cstddef>
#include <functional>

namespace engine::bpm {

// Detects the tempo of mono float samples (full scale -1..1) at the given
// rate (4000..768000 Hz). progress(percent 0..100) is called on the calling
// thread now and then while it works, first with 0 and last with 100.
// Returns the BPM, or 0 when no tempo is found (silence, a steady tone,
// noise, a span shorter than 2 seconds or than four beats at minBpm).
// minBpm/maxBpm bound the search and the answer: a tempo outside them is
// reported as its double or half inside them. A bound of 0 or below means
// the default; bounds are kept within 20..400 BPM.
float DetectBpm(const float* mono, size_t frames, int sampleRate,
                const std::function<void(float percent)>& progress = {}, float minBpm = 60.0f,
                float maxBpm = 190.0f);

}  // namespace engine::bpm
