// A self-contained copy of the loaded module records, so that two loads can be compared and a
// loaded module can be written out again.
#pragma once

#include "player_state.h"

#include <string>
#include <vector>

struct SampleSnapshot {
    Sample fields;               // data is null here
    std::vector<int16_t> frames; // data[-1] through data[length + 2]: the whole frame block
    const int16_t* Data() const { return frames.data() + 1; }
};

struct InstrumentSnapshot {
    Instrument fields;                   // samples are null here
    std::vector<SampleSnapshot> samples; // slots 0, 1, ... that hold a sample
};

struct PatternSnapshot {
    uint16_t rowCount;
    uint16_t packedSize;
    std::vector<Cell> cells;
};

struct ModuleSnapshot {
    std::string title;
    uint32_t channelCount;
    uint16_t songLength, restartPosition, patternCount, instrumentCount;
    uint16_t flags, defaultTempo, defaultBpm;
    uint16_t storedPatterns;     // Number of patterns as the header gives it
    std::vector<uint8_t> orders; // the first songLength entries
    std::vector<PatternSnapshot> patterns;
    std::vector<InstrumentSnapshot> instruments;
};

// Copies the records of the module last loaded into gPlayer.
ModuleSnapshot TakeSnapshot();

// Empty when the two modules play alike: every record field the player uses is equal (the
// stored pattern count and each pattern's packed size are not compared). Otherwise a short
// text naming the first field that differs.
std::string FirstDifference(const ModuleSnapshot& a, const ModuleSnapshot& b);
