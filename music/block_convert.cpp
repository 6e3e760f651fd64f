// The output conversion. Each 32-bit lane of the 16-bit samples holds one frame, left in its low
// half: masking and shifting the magnitudes sorts them into left and right sums.
#include "block_convert.h"

#include "simd.h"

#include <immintrin.h>

namespace {

// Eight floats rounded to the nearest integers, ties to even (the default rounding of the
// conversion), and clamped to 16 bits by the saturating pack. The mix stays far inside the 32-bit
// range of the conversion (64 voices of at most 32768 at gains up to 1), so rounding first and
// clamping after gives the 16-bit samples exactly.
inline __m128i RoundAndClamp(const float* values) {
    return _mm_packs_epi32(_mm_cvtps_epi32(_mm_loadu_ps(values)),
                           _mm_cvtps_epi32(_mm_loadu_ps(values + 4)));
}

// Four 32-bit samples times 16 divided by the divisor, rounding toward zero. The division is made
// in double: for integers below 2^52 the rounded quotient never crosses an integer, so cutting off
// its fraction gives the integer quotient exactly.
inline __m128i ScaleFour(__m128i samples, __m128d divisor) {
    samples = _mm_slli_epi32(samples, 4);
    __m128i low = _mm_cvttpd_epi32(_mm_div_pd(_mm_cvtepi32_pd(samples), divisor));
    __m128i high =
        _mm_cvttpd_epi32(_mm_div_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0x0E)), divisor));
    return _mm_unpacklo_epi64(low, high);
}

// Each of eight 16-bit samples times 16 divided by the divisor (at least 16: the results fit).
inline __m128i ScaleByVolume(__m128i samples, __m128d divisor) {
    __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(samples, samples), 16);
    __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(samples, samples), 16);
    return _mm_packs_epi32(ScaleFour(low, divisor), ScaleFour(high, divisor));
}

// The magnitudes of eight 16-bit samples as unsigned 16-bit values (-32768 gives 32768).
inline __m128i Magnitudes(__m128i samples) {
    __m128i sign = _mm_srai_epi16(samples, 15);
    return _mm_sub_epi16(_mm_xor_si128(samples, sign), sign);
}

inline uint32_t SumOfLanes(__m128i lanes) {
    lanes = _mm_add_epi32(lanes, _mm_shuffle_epi32(lanes, 0x4E));
    lanes = _mm_add_epi32(lanes, _mm_shuffle_epi32(lanes, 0xB1));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(lanes));
}

BlockSums ConvertSse2(const float* region, int16_t* block, uint32_t frames, int32_t divisor) {
    const bool scaled = divisor != kFullVolumeDivisor && divisor != 0;
    const __m128d divisors = _mm_set1_pd(divisor);
    const __m128i lowHalves = _mm_set1_epi32(0xFFFF);
    __m128i lefts = _mm_setzero_si128();
    __m128i rights = _mm_setzero_si128();
    for (uint32_t i = 0; i < frames * 2; i += 8) {
        __m128i samples = RoundAndClamp(region + i);
        if (scaled) samples = ScaleByVolume(samples, divisors);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), samples);
        __m128i magnitudes = Magnitudes(samples);
        lefts = _mm_add_epi32(lefts, _mm_and_si128(magnitudes, lowHalves));
        rights = _mm_add_epi32(rights, _mm_srli_epi32(magnitudes, 16));
    }
    return BlockSums{SumOfLanes(lefts), SumOfLanes(rights)};
}

// Sixteen samples per pass. The pack works within 128-bit halves, so the 64-bit quarters are put
// back in order after it; the absolute value of -32768 is 0x8000, which read unsigned is 32768.
LINKMEND_TARGET_AVX2
BlockSums ConvertAvx2(const float* region, int16_t* block, uint32_t frames, int32_t divisor) {
    const bool scaled = divisor != kFullVolumeDivisor && divisor != 0;
    const __m128d divisors = _mm_set1_pd(divisor);
    const __m256i lowHalves = _mm256_set1_epi32(0xFFFF);
    __m256i lefts = _mm256_setzero_si256();
    __m256i rights = _mm256_setzero_si256();
    for (uint32_t i = 0; i < frames * 2; i += 16) {
        __m256i packed = _mm256_packs_epi32(_mm256_cvtps_epi32(_mm256_loadu_ps(region + i)),
                                            _mm256_cvtps_epi32(_mm256_loadu_ps(region + i + 8)));
        __m256i samples = _mm256_permute4x64_epi64(packed, 0xD8);
        if (scaled)
            samples = _mm256_inserti128_si256(
                _mm256_castsi128_si256(ScaleByVolume(_mm256_castsi256_si128(samples), divisors)),
                ScaleByVolume(_mm256_extracti128_si256(samples, 1), divisors), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + i), samples);
        __m256i magnitudes = _mm256_abs_epi16(samples);
        lefts = _mm256_add_epi32(lefts, _mm256_and_si256(magnitudes, lowHalves));
        rights = _mm256_add_epi32(rights, _mm256_srli_epi32(magnitudes, 16));
    }
    return BlockSums{SumOfLanes(_mm_add_epi32(_mm256_castsi256_si128(lefts),
                                              _mm256_extracti128_si256(lefts, 1))),
                     SumOfLanes(_mm_add_epi32(_mm256_castsi256_si128(rights),
                                              _mm256_extracti128_si256(rights, 1)))};
}

} // namespace

BlockSums ConvertBlock(const float* region, int16_t* block, uint32_t frames, int32_t divisor) {
    if (gUseAvx2) return ConvertAvx2(region, block, frames, divisor);
    return ConvertSse2(region, block, frames, divisor);
}
