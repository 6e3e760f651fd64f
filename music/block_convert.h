// Turns a mixed region of floats into the 16-bit samples of an output block.
#pragma once

#include <cstdint>

// The divisor at full volume: 16 / 16 leaves the samples as they are.
const int32_t kFullVolumeDivisor = 16;

struct BlockSums {
    uint32_t left;  // sum of the absolute left samples
    uint32_t right; // sum of the absolute right samples
};

// Rounds the `frames` x 2 floats of `region` to the nearest integers (ties to even), clamps them
// to 16 bits and, for a divisor other than 16 and 0, scales them by 16 / divisor (toward zero);
// writes them to `block` and returns their sums. `frames` is a multiple of 8. Uses AVX2 where
// `gUseAvx2` allows it (same bits).
BlockSums ConvertBlock(const float* region, int16_t* block, uint32_t frames, int32_t divisor);
