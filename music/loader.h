// Turns an XM module image (standard or compacted layout) into the in-memory song records.
#pragma once

#include "player_state.h"

// Why a load failed (None when it succeeded).
enum class LoadFailure : uint8_t {
    None,
    Truncated,        // the module ends inside its header or a pattern header, or sends a
                      // seek outside 0..2^31 - 1
    SongLength,       // song length 0 or above 256
    NoPatterns,       // number of patterns 0
    ChannelCount,     // low byte of the channel count 0 or above 32
    EmptyPattern,     // a stored pattern of 0 rows
    TooManySamples,   // an instrument with more than 16 samples
    SampleHeaderSize, // an instrument whose sample headers are longer than 40 bytes
    SampleTooLong,    // a sample of 2^22 frames or more
    OutOfMemory,      // the player's heap refused a block
};

// Reads the module through gPlayer.activeSource, which stands just after the first
// kModuleHeaderBytes bytes, already read into gPlayer.song.header. Fills songTitle, the Song
// fields, patterns, instruments and samples, all taken from PlayerAlloc, and returns the load's
// outcome. Frees nothing on failure: what was built stays on the private heap until the player
// stops.
LoadFailure ReadModule();

// ReadModule in the player's terms: nonzero when the module is loaded, zero on failure.
int LoadModule();
