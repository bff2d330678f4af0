// Tempo detection of a span of decoded audio.
#pragma once

#include <cstddef>
#include <functional>

namespace engine::bpm {

// Detects the tempo of mono float samples (full scale -1..1) at the given
// rate. progress(percent 0..100) is called on the calling thread now and
// then while it works. Returns the BPM, or 0 when no tempo is found.
// minBpm/maxBpm bound the search.
float DetectBpm(const float* mono, size_t frames, int sampleRate,
                const std::function<void(float percent)>& progress = {}, float minBpm = 60.0f,
                float maxBpm = 190.0f);

}  // namespace engine::bpm
