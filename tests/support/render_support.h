// Module images and offline renders for the player's tests: a small tone module whose length is
// the test's choice, the offline render of an image, and a hash of rendered samples.
#pragma once

#include "platform.h"

#include <cstdint>
#include <string>
#include <vector>

// "tone": two channels, one pattern of `rows` rows at `speed` ticks per row and BPM 125 (960
// frames a tick): a looped 8-bit sample, a note on row 0 of channel 0 and one on row rows / 2 of
// channel 1 (ping-pong loop, panned right).
std::string ToneModule(uint16_t rows, uint8_t speed = 6);

// The first `blocks` output blocks of `image` as the device would get them (left, right, ...),
// rendered offline with `flags` (PLAY_FROM_MEMORY is added). Fewer when a no-loop song ends
// first. Leaves the player stopped.
std::vector<int16_t> RenderOffline(const std::string& image, uint32_t blocks, uint32_t flags = 0);

// The same from any source, with PlayModule's arguments.
std::vector<int16_t> RenderOfflineFrom(const void* source, UINT_PTR parameter, uint32_t flags,
                                       uint32_t blocks);

// FNV-1a over the samples' little-endian bytes.
uint64_t HashSamples(const std::vector<int16_t>& samples);
