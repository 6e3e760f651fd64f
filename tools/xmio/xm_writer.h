// Writing XM images from a field-by-field description, in the standard or the compacted layout.
// Every stored field can be given a value of its own, so hostile images are as easy to describe
// as well-formed ones.
#pragma once

#include "player_state.h"

#include <string>
#include <vector>

enum class XmLayout {
    Standard,  // ID text, tracker name, full order table, named 263-byte instruments, 40-byte
               // sample headers
    Compacted, // zero ID block, only the used order entries, 241-byte instruments, 18-byte
               // sample headers, no names
};

struct XmSamplePlan {
    uint32_t length = 0; // Sample length field, in bytes
    uint32_t loopStart = 0;
    uint32_t loopLength = 0;
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t type = 0; // bits 0-1 loop type, bit 4 16-bit data
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    uint8_t packing = 0; // 0xAD: 4-bit packed data
    std::string data;    // the data bytes exactly as stored behind the headers
    std::string name;    // Sample name (standard layout only), at most 22 bytes
};

struct XmEnvelopePlan {
    EnvelopePoint points[12] = {};
    uint8_t count = 0, sustain = 0, loopStart = 0, loopEnd = 0;
    uint8_t type = 0; // bit 0 on, bit 1 sustain, bit 2 loop
};

struct XmInstrumentPlan {
    int64_t size = -1;             // Instrument size field; -1 = the layout's own
    int32_t sampleCountField = -1; // Number of samples as stored; -1 = samples.size()
    int64_t sampleHeaderSize = -1; // -1 = the layout's own
    uint8_t sampleMap[96] = {};
    XmEnvelopePlan volume, panning;
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    uint16_t fadeout = 0; // as stored: the loader doubles it
    std::vector<XmSamplePlan> samples;
    std::string name; // Instrument name (standard layout only), at most 22 bytes
};

struct XmPatternPlan {
    uint16_t rows = 64;
    std::string data;             // packed cells as stored
    int32_t packedSizeField = -1; // -1 = data.size()
};

struct XmModulePlan {
    XmLayout layout = XmLayout::Standard;
    std::string name;             // Module name bytes, at most 20
    int64_t headerSize = -1;      // -1 = the layout's own (276, or 20 + stored order entries)
    std::vector<uint8_t> orders;  // order entries stored (the standard layout pads to 256)
    int32_t songLengthField = -1; // -1 = orders.size()
    uint16_t restartPosition = 0;
    uint16_t channels = 4;
    int32_t patternCountField = -1;    // -1 = patterns.size()
    int32_t instrumentCountField = -1; // -1 = instruments.size()
    uint16_t flags = 1, tempo = 6, bpm = 125;
    std::vector<XmPatternPlan> patterns;
    std::vector<XmInstrumentPlan> instruments;
    std::string trackerName; // standard layout only; empty = this writer's own name
    std::string trailing;    // bytes behind the last sample's data, as another tracker left them
};

// The image the description stands for. Headers shorter than their size fields are padded with
// zero bytes up to that size (sizes above 1 MiB are stored but not padded out).
std::string WriteXm(const XmModulePlan& plan);

// Cells in the usual packed form: all five fields as plain bytes when all are set and the note
// allows it, else a bit-7 byte naming the fields that follow.
std::string PackCells(const Cell* cells, size_t count);

// Sample data bytes that decode to `frames` (the frame values of a loaded sample): 8-bit
// differences of the high bytes, or 16-bit little-endian differences.
std::string EncodeDifferences8(const int16_t* frames, size_t count);
std::string EncodeDifferences16(const int16_t* frames, size_t count);

// 4-bit packed data (table and pairs) that decodes to the high bytes of `frames`, which must
// number an even count and use at most 16 distinct steps; frame `freeFrame` (if below count)
// may decode to any value. Empty when no table of 16 steps can produce the frames.
std::string EncodePacked(const int16_t* frames, size_t count, size_t freeFrame);
