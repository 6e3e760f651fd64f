// The output conversion: rounding, clamping, the volume division and the level sums, checked
// sample by sample against plain integer arithmetic, with the SSE2 and (where the processor has
// it) the AVX2 conversion.
#include "block_convert.h"
#include "simd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

const uint32_t kFrames = 1024;

// What one mixed value becomes: rounded half to even, clamped, then times 16 over the divisor.
int16_t Expected(float value, int32_t divisor) {
    double rounded = std::nearbyint(double(value));
    if (rounded > 32767) rounded = 32767;
    if (rounded < -32768) rounded = -32768;
    int64_t sample = static_cast<int64_t>(rounded);
    if (divisor != 16 && divisor != 0) sample = sample * 16 / divisor;
    return static_cast<int16_t>(sample);
}

// Ties, values at and past both ends of the 16-bit range, and ordinary mixed values, in no
// order, so that a sample landing in the wrong place shows.
std::vector<float> MixedRegion() {
    const float edges[] = {0.5f,     1.5f,      2.5f,     -0.5f,     -1.5f,     -2.5f,
                           32767.4f, 32767.5f,  32768.0f, -32768.4f, -32768.5f, -32769.0f,
                           40000.0f, -40000.0f, 1.0e9f,   -1.0e9f,   0.0f,      -0.0f};
    std::mt19937 random(11);
    std::vector<float> region(kFrames * 2);
    for (size_t i = 0; i < region.size(); ++i)
        region[i] = i % 5 == 0 ? edges[random() % (sizeof edges / sizeof edges[0])]
                               : float(int32_t(random() % 80000) - 40000) * 0.25f;
    return region;
}

void CheckConversion(bool avx2) {
    const bool had = gUseAvx2;
    gUseAvx2 = avx2;
    const std::vector<float> region = MixedRegion();
    for (int32_t divisor : {16, 0, 17, 48, 79, 2147483600}) {
        std::vector<int16_t> block(kFrames * 2, 0x5555);
        BlockSums sums = ConvertBlock(region.data(), block.data(), kFrames, divisor);
        uint32_t left = 0, right = 0;
        for (uint32_t i = 0; i < kFrames * 2; ++i) {
            int16_t expected = Expected(region[i], divisor);
            ASSERT_EQ(block[i], expected) << "sample " << i << " divisor " << divisor;
            (i % 2 ? right : left) += static_cast<uint32_t>(std::abs(int32_t(expected)));
        }
        EXPECT_EQ(sums.left, left) << "divisor " << divisor;
        EXPECT_EQ(sums.right, right) << "divisor " << divisor;
    }
    gUseAvx2 = had;
}

TEST(BlockConvert, Sse2ConversionMatchesTheIntegerRules) {
    CheckConversion(false);
}

TEST(BlockConvert, Avx2ConversionMatchesTheIntegerRules) {
    if (!gUseAvx2) GTEST_SKIP() << "the processor has no AVX2";
    CheckConversion(true);
}

} // namespace
