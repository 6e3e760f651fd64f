// The mixer's per-frame loops. Every sample value is formed exactly (in integers or in double),
// so the SSE2 and the AVX2 loops round the same products and sums and give the same bits.
#include "mixer_loops.h"

#include "simd.h"

#include <cstdint>
#include <cstring>
#include <immintrin.h>

namespace {

const double kFractionScale = 1.0 / 2147483648.0; // 2^-31: a scaled sample value to a value
const uint64_t kEvenMask = ~uint64_t(1);

// The interpolated sample value a + f x (b - a) at 32.32 position x, with f the top 31 bits of
// the fraction, times 2^31: an exact integer (48 bits), so that the value itself is exact in double
// and scaling by 2^-31 (a power of two) changes no rounding wherever it is applied.
inline int64_t ScaledSample(const int16_t* data, uint64_t x) {
    int32_t whole = static_cast<int32_t>(static_cast<uint32_t>(x >> 32));
    int64_t a = data[whole];
    int64_t difference = data[whole + 1] - a;
    int64_t f = static_cast<uint32_t>(x) >> 1;
    return a * 2147483648 + f * difference;
}

// Adds s x gain to both sides of one frame: left and right as one pair of doubles (low lane
// left), each sum made in double precision and stored back as floats.
inline void AddFrame(float* out, __m128d s, __m128d gains) {
    __m128 frame = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(out)));
    __m128d sum = _mm_add_pd(_mm_cvtps_pd(frame), _mm_mul_pd(s, gains));
    _mm_store_sd(reinterpret_cast<double*>(out), _mm_castps_pd(_mm_cvtpd_ps(sum)));
}

// The position keeps 31 fractional bits from frame to frame: the lowest bit is cleared before
// each move. `move` is the step, or its two's complement when moving backward. After the first
// move the lowest bit of x is the move's own, so each later move adds the move without its lowest
// bit: the stride.
inline uint64_t Move(uint64_t x, uint64_t move) {
    return (x & kEvenMask) + move;
}
inline uint64_t Stride(uint64_t move) {
    return move & kEvenMask;
}

// A steady run of frames as one arithmetic sequence: x with its lowest bit taken from the move.
// Frame k then lies at start + k x stride, the first frame included: the first position differs
// from x in the lowest bit only, which the sample value (top 31 fraction bits) does not read.
inline uint64_t SequenceStart(uint64_t x, uint64_t move) {
    return (x & kEvenMask) | (move & 1);
}

inline __m128d ScaledValue(const int16_t* data, uint64_t x) {
    return _mm_set1_pd(static_cast<double>(ScaledSample(data, x)));
}

// A voice without a ramp: two frames per pass, gains held in registers, no bound test. The gains
// carry the 2^-31 of the scaled sample values: s x g is then one rounding, as when s itself is
// multiplied.
uint64_t MixSteadySse2(const int16_t* data, uint64_t x, uint64_t move, double leftGain,
                       double rightGain, float* out, uint32_t frames) {
    if (frames == 0) return x;
    const __m128d gains = _mm_set_pd(rightGain * kFractionScale, leftGain * kFractionScale);
    const uint64_t stride = Stride(move);
    x = SequenceStart(x, move);
    for (uint32_t i = 0; i < frames / 2; ++i, out += 4) {
        __m128d s0 = ScaledValue(data, x);
        __m128d s1 = ScaledValue(data, x + stride);
        x += 2 * stride;
        AddFrame(out, s0, gains);
        AddFrame(out + 2, s1, gains);
    }
    if (frames & 1) {
        AddFrame(out, ScaledValue(data, x), gains);
        x += stride;
    }
    return x;
}

// Frames a and b at position x as one 32-bit word: a in the low half, b in the high half.
inline int32_t FramePair(const int16_t* data, uint64_t x) {
    int32_t pair;
    std::memcpy(&pair, data + static_cast<int32_t>(static_cast<uint32_t>(x >> 32)), sizeof pair);
    return pair;
}

// The steady loop four frames at a time, with the work spread over the processor's ports rather
// than piled on its shuffle unit: the scaled values a x 2^31 + f x (b - a) are formed as 64-bit
// integers (exact) and turned into doubles by the 1.5 x 2^52 bit trick (exact below 2^51); the
// four positions sit in the order 0, 2, 1, 3 so that the left and right products interleave into
// frame order with in-lane unpacks; the sums are made in double and stored back as floats.
LINKMEND_TARGET_AVX2
uint64_t MixSteadyAvx2(const int16_t* data, uint64_t x, uint64_t move, double leftGain,
                       double rightGain, float* out, uint32_t frames) {
    if (frames == 0) return x;
    const __m128d pairGains = _mm_set_pd(rightGain * kFractionScale, leftGain * kFractionScale);
    const uint64_t stride = Stride(move);
    x = SequenceStart(x, move);
    // Single frames until the mix buffer is 32-byte aligned: every voice then loads and stores
    // the same 16-byte pieces, and a load finds the previous voice's store whole in the store
    // buffer instead of straddling two of them (which stalls it until both are written).
    for (; frames > 0 && (reinterpret_cast<uintptr_t>(out) & 31) != 0; --frames, out += 2) {
        AddFrame(out, ScaledValue(data, x), pairGains);
        x += stride;
    }
    const __m256d left = _mm256_set1_pd(leftGain * kFractionScale);
    const __m256d right = _mm256_set1_pd(rightGain * kFractionScale);
    const __m256i minusTwoPower31 = _mm256_set1_epi32(INT32_MIN);
    const __m256i magicBits = _mm256_set1_epi64x(0x4338000000000000); // 1.5 x 2^52
    const __m256d magic = _mm256_castsi256_pd(magicBits);
    const __m256i fourStrides = _mm256_set1_epi64x(static_cast<int64_t>(4 * stride));
    __m256i positions =
        _mm256_setr_epi64x(static_cast<int64_t>(x), static_cast<int64_t>(x + 2 * stride),
                           static_cast<int64_t>(x + stride), static_cast<int64_t>(x + 3 * stride));
    for (uint32_t i = 0; i < frames / 4; ++i, out += 8) {
        // Each 64-bit lane: a in the low half, b in the high half, both sign-extended.
        __m256i ab = _mm256_cvtepi16_epi32(
            _mm_setr_epi32(FramePair(data, x), FramePair(data, x + 2 * stride),
                           FramePair(data, x + stride), FramePair(data, x + 3 * stride)));
        __m256i difference = _mm256_sub_epi32(_mm256_srli_epi64(ab, 32), ab);
        __m256i f = _mm256_srli_epi32(positions, 1); // the low halves: the top 31 fraction bits
        __m256i scaled = _mm256_sub_epi64(_mm256_mul_epi32(f, difference),
                                          _mm256_mul_epi32(ab, minusTwoPower31));
        __m256d s = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(scaled, magicBits)), magic);
        __m256d lefts = _mm256_mul_pd(s, left);
        __m256d rights = _mm256_mul_pd(s, right);
        __m256d first =
            _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(out)), _mm256_unpacklo_pd(lefts, rights));
        __m256d second = _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(out + 4)),
                                       _mm256_unpackhi_pd(lefts, rights));
        _mm_storeu_ps(out, _mm256_cvtpd_ps(first));
        _mm_storeu_ps(out + 4, _mm256_cvtpd_ps(second));
        positions = _mm256_add_epi64(positions, fourStrides);
        x += 4 * stride;
    }
    for (uint32_t i = 0; i < frames % 4; ++i, out += 2) {
        AddFrame(out, ScaledValue(data, x), pairGains);
        x += stride;
    }
    return x;
}

} // namespace

uint64_t MixSteady(const int16_t* data, uint64_t x, uint64_t move, double leftGain,
                   double rightGain, float* out, uint32_t frames) {
    if (gUseAvx2) return MixSteadyAvx2(data, x, move, leftGain, rightGain, out, frames);
    return MixSteadySse2(data, x, move, leftGain, rightGain, out, frames);
}

// A ramping voice: each frame adds with the running gains, then moves them by their steps.
uint64_t MixRamp(const int16_t* data, uint64_t x, uint64_t move, RampGains& ramp, float* out,
                 uint32_t frames) {
    __m128d gains = _mm_set_pd(ramp.right, ramp.left);
    const __m128d steps = _mm_set_pd(ramp.rightStep, ramp.leftStep);
    for (uint32_t i = 0; i < frames; ++i, out += 2) {
        double s = static_cast<double>(ScaledSample(data, x)) * kFractionScale;
        AddFrame(out, _mm_set1_pd(s), gains);
        x = Move(x, move);
        gains = _mm_add_pd(gains, steps);
    }
    ramp.left = _mm_cvtsd_f64(gains);
    ramp.right = _mm_cvtsd_f64(_mm_unpackhi_pd(gains, gains));
    return x;
}

// Where `frames` moves would leave x, without visiting the frames between: a silent voice.
uint64_t AdvanceSilently(uint64_t x, uint64_t move, uint32_t frames) {
    if (frames == 0) return x;
    return SequenceStart(x, move) + Stride(move) * frames;
}
