// Float samples (full scale 1.0) to signed 16-bit ones, as a decode stream
// hands them out: scaled by 32768, clipped to -32768..32767, rounded half
// away from zero, and a NaN (a damaged frame) read as 0. This conversion is
// a good part of what a plain decode costs, so on x86 it runs eight samples
// at a time; the plain loop gives the same numbers.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace engine::dsp {

inline int16_t FloatToShort(float x) {
  float v = x * 32768.0f;
  v = v == v ? v : 0.0f;
  v = v < -32768.0f ? -32768.0f : (v > 32767.0f ? 32767.0f : v);
  // Exact: |v| is far below 2^22, so adding the half loses nothing.
  return static_cast<int16_t>(v + (v < 0 ? -0.5f : 0.5f));
}

inline void FloatsToShorts(const float* in, int16_t* out, int64_t n) {
  int64_t i = 0;
#if defined(__SSE2__)
  const __m128 scale = _mm_set1_ps(32768.0f), lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
  const __m128 half = _mm_set1_ps(0.5f), sign = _mm_set1_ps(-0.0f);
  const auto four = [&](const float* p) {
    __m128 v = _mm_mul_ps(_mm_loadu_ps(p), scale);
    v = _mm_and_ps(v, _mm_cmpord_ps(v, v));        // NaN -> 0
    v = _mm_min_ps(_mm_max_ps(v, lo), hi);          // clip
    v = _mm_add_ps(v, _mm_or_ps(_mm_and_ps(v, sign), half));  // + half with v's sign
    return _mm_cvttps_epi32(v);                     // toward zero
  };
  for (; i + 8 <= n; i += 8)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(four(in + i), four(in + i + 4)));
#endif
  for (; i < n; ++i) out[i] = FloatToShort(in[i]);
}

}  // namespace engine::dsp
