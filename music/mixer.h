// Sums the 64 voices into the float stereo mix buffer with interpolation, loops and gain ramps.
#pragma once

#include "player_state.h"

// Adds n frames (1..1024) of every voice with a sample, in voice order 0..63, into the
// interleaved left/right floats starting at `destination`. Advances the voices.
void MixVoices(float* destination, uint32_t n);
