#include "runtime/platform/sound_mixer_simd.h"

#include <cstddef>

#if defined(__x86_64__) || defined(__i386__)
#define RT_HAVE_AVX2_KERNEL 1
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {
namespace {

// The plain loop for the frames the vector kernel leaves (and the whole run where there is no
// vector kernel): the same arithmetic as the mixer's own loop.
uint64_t MixMonoLinearPlain(const int16_t* data, uint64_t position, uint64_t step,
                            int32_t gain_left, int32_t gain_right, int32_t* accumulator,
                            int frames) {
  for (int i = 0; i < frames; ++i) {
    const size_t index = static_cast<size_t>(position >> 32);
    int32_t sample = data[index];
    const int32_t fraction = static_cast<int32_t>((position >> 17) & 0x7FFF);
    sample += ((data[index + 1] - sample) * fraction) >> 15;
    accumulator[2 * i] += (sample * gain_left) >> 15;
    accumulator[2 * i + 1] += (sample * gain_right) >> 15;
    position += step;
  }
  return position;
}

int32_t AddAndPeakPlain(const int32_t* sum, int32_t* mix, int count) {
  int32_t highest = 0;
  int32_t lowest = 0;
  for (int i = 0; i < count; ++i) {
    const int32_t value = sum[i];
    mix[i] += value;
    highest = value > highest ? value : highest;
    lowest = value < lowest ? value : lowest;
  }
  return highest > -lowest ? highest : -lowest;
}

}  // namespace

#ifdef RT_HAVE_AVX2_KERNEL
__attribute__((target("avx2"))) int32_t AddAndPeakWide(const int32_t* sum, int32_t* mix,
                                                       int count) {
  __m256i highest = _mm256_setzero_si256();
  __m256i lowest = _mm256_setzero_si256();
  const int wide = count & ~7;
  for (int i = 0; i < wide; i += 8) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sum + i));
    __m256i* out = reinterpret_cast<__m256i*>(mix + i);
    _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out), value));
    highest = _mm256_max_epi32(highest, value);
    lowest = _mm256_min_epi32(lowest, value);
  }
  alignas(32) int32_t high[8];
  alignas(32) int32_t low[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(high), highest);
  _mm256_store_si256(reinterpret_cast<__m256i*>(low), lowest);
  int32_t peak = AddAndPeakPlain(sum + wide, mix + wide, count - wide);
  for (int lane = 0; lane < 8; ++lane) {
    peak = high[lane] > peak ? high[lane] : peak;
    peak = -low[lane] > peak ? -low[lane] : peak;
  }
  return peak;
}
#endif

int32_t AddAndPeak(const int32_t* sum, int32_t* mix, int count, bool wide) {
#ifdef RT_HAVE_AVX2_KERNEL
  if (wide) return AddAndPeakWide(sum, mix, count);
#endif
  (void)wide;
  return AddAndPeakPlain(sum, mix, count);
}

void SaturateToInt16(const int32_t* in, int16_t* out, int count) {
  int i = 0;
#if defined(__SSE2__)
  // packssdw saturates each 32-bit value to 16 bits, exactly as the plain clamp does.
  for (; i + 8 <= count; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(a, b));
  }
#endif
  for (; i < count; ++i)
    out[i] = static_cast<int16_t>(in[i] < -32768 ? -32768 : in[i] > 32767 ? 32767 : in[i]);
}

#ifdef RT_HAVE_AVX2_KERNEL
bool HasWideMixKernel() {
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  return has_avx2;
}

// Eight frames a pass: the 32-bit gather at each sample index fetches that sample and the next
// one together (little-endian halves), so one gather serves the interpolation.
__attribute__((target("avx2"))) uint64_t MixMonoLinearWide(const int16_t* data, uint64_t position,
                                                           uint64_t step, int32_t gain_left,
                                                           int32_t gain_right, int32_t* accumulator,
                                                           int frames) {
  const int wide_frames = frames & ~7;
  if (wide_frames > 0) {
    const long long s = static_cast<long long>(step);
    const long long p = static_cast<long long>(position);
    __m256i first = _mm256_set_epi64x(p + 3 * s, p + 2 * s, p + s, p);
    __m256i second = _mm256_add_epi64(first, _mm256_set1_epi64x(4 * s));
    const __m256i advance = _mm256_set1_epi64x(8 * s);
    const __m256i left_gain = _mm256_set1_epi32(gain_left);
    const __m256i right_gain = _mm256_set1_epi32(gain_right);
    const __m256i fraction_mask = _mm256_set1_epi32(0x7FFF);
    const int* base = reinterpret_cast<const int*>(data);
    for (int i = 0; i < wide_frames; i += 8) {
      // Whole and fractional halves of the eight positions, in frame order.
      const __m256 a = _mm256_castsi256_ps(first);
      const __m256 b = _mm256_castsi256_ps(second);
      const __m256i high = _mm256_permute4x64_epi64(
          _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))),
          _MM_SHUFFLE(3, 1, 2, 0));
      const __m256i low = _mm256_permute4x64_epi64(
          _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
          _MM_SHUFFLE(3, 1, 2, 0));
      const __m256i fraction = _mm256_and_si256(_mm256_srli_epi32(low, 17), fraction_mask);
      const __m256i pair = _mm256_i32gather_epi32(base, high, 2);
      const __m256i s0 = _mm256_srai_epi32(_mm256_slli_epi32(pair, 16), 16);
      const __m256i s1 = _mm256_srai_epi32(pair, 16);
      const __m256i sample = _mm256_add_epi32(
          s0, _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(s1, s0), fraction), 15));
      const __m256i left = _mm256_srai_epi32(_mm256_mullo_epi32(sample, left_gain), 15);
      const __m256i right = _mm256_srai_epi32(_mm256_mullo_epi32(sample, right_gain), 15);
      const __m256i mixed_low = _mm256_unpacklo_epi32(left, right);
      const __m256i mixed_high = _mm256_unpackhi_epi32(left, right);
      __m256i* out = reinterpret_cast<__m256i*>(accumulator + 2 * i);
      const __m256i frames0to3 = _mm256_permute2x128_si256(mixed_low, mixed_high, 0x20);
      const __m256i frames4to7 = _mm256_permute2x128_si256(mixed_low, mixed_high, 0x31);
      _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out), frames0to3));
      _mm256_storeu_si256(out + 1, _mm256_add_epi32(_mm256_loadu_si256(out + 1), frames4to7));
      first = _mm256_add_epi64(first, advance);
      second = _mm256_add_epi64(second, advance);
    }
    position += step * static_cast<uint64_t>(wide_frames);
  }
  return MixMonoLinearPlain(data, position, step, gain_left, gain_right,
                            accumulator + 2 * wide_frames, frames - wide_frames);
}
#else
// No vector kernel on this processor: the mixer keeps to its plain loop.
bool HasWideMixKernel() { return false; }

uint64_t MixMonoLinearWide(const int16_t* data, uint64_t position, uint64_t step, int32_t gain_left,
                           int32_t gain_right, int32_t* accumulator, int frames) {
  return MixMonoLinearPlain(data, position, step, gain_left, gain_right, accumulator, frames);
}
#endif

}  // namespace platform
