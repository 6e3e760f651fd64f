// Synthesises an instrument's one 8-bit sample from the settings in the score.
//
// Pitched waves (sine, triangle, saw, square, pulse) are built from their band-limited
// harmonics, one period every `cycle` frames, so note C-4 sounds at 8362 / 32 Hz whatever the
// cycle length (the relative note makes up for longer cycles). Over the first `decay` periods
// the level falls from 1 to `sustain` and the low-pass corner from harmonic `bright` to
// `dark`; then `loop` unchanging periods form a forward loop (none when `sustain` is 0, the
// sample then fades out). Settings: cycle (16..1024, a power of two), duty (pulse, 0..1),
// bright, dark, decay, sustain, loop, attack (periods of fade-in), curve (steepness of the fall),
// gain (peak, 0..1), volume (0..64), pan (0..255), finetune (-128..127).
//
// Drums (wave=drum) are one-shot: a sine whose period glides from `tone` to `toneEnd` frames,
// fading with time constant `toneDecay` frames, plus noise fading with `noiseDecay`, smoothed by
// a one-pole low-pass of coefficient `smooth` (0..1, 1 = none) and a high-pass `airy` (0..1,
// 0 = none); `length` frames long, `relnote` semitones above C-4, levels `toneLevel` and
// `noiseLevel`, `seed` for the noise.
#pragma once

#include "score.h"

#include <cstdint>
#include <vector>

struct SynthSample {
    std::vector<int8_t> frames;
    uint32_t loopStart = 0;
    uint32_t loopLength = 0; // 0: no loop
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
};

// Builds the sample of one instrument. Throws std::runtime_error for an unknown wave or
// setting, or a value out of range.
SynthSample SynthesiseInstrument(const ScoreInstrument& instrument);
