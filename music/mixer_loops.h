// The mixer's per-frame loops (internal to the mixer): a steady voice, a ramping voice and a
// silent one, over a chunk that has no boundary inside it. Positions are 32.32 fixed point; `move`
// is the step, or its two's complement when moving backward.
#pragma once

#include <cstdint>

// The gains of a ramping voice (255 = 1.0 already divided out) and what each frame adds to them.
struct RampGains {
    double left;
    double right;
    double leftStep;
    double rightStep;
};

// Mixes `frames` frames at the gains (255 = 1.0 already divided out) and returns the position
// after them. Uses the AVX2 loop where `gUseAvx2` allows it (same bits).
uint64_t MixSteady(const int16_t* data, uint64_t x, uint64_t move, double leftGain,
                   double rightGain, float* out, uint32_t frames);

// Mixes `frames` frames with gains that move by their steps after each frame; leaves the gains
// reached in `gains` and returns the position.
uint64_t MixRamp(const int16_t* data, uint64_t x, uint64_t move, RampGains& gains, float* out,
                 uint32_t frames);

// The position after `frames` frames, without visiting them: a voice at gains 0.
uint64_t AdvanceSilently(uint64_t x, uint64_t move, uint32_t frames);
