// Copying the loaded records out of the player's heap, and comparing two such copies.
#include "module_snapshot.h"

#include <cstring>

namespace {

SampleSnapshot CopySample(const Sample& sample) {
    SampleSnapshot copy;
    copy.fields = sample;
    copy.fields.data = nullptr;
    const int16_t* first = sample.data - 1;
    copy.frames.assign(first, first + sample.length + 4);
    return copy;
}

InstrumentSnapshot CopyInstrument(const Instrument& instrument) {
    InstrumentSnapshot copy;
    copy.fields = instrument;
    for (int k = 0; k < 16; ++k) {
        copy.fields.samples[k] = nullptr;
        if (instrument.samples[k] != nullptr)
            copy.samples.push_back(CopySample(*instrument.samples[k]));
    }
    return copy;
}

// The record fields of a sample or instrument as one byte string, pointers left out, so that
// two records compare without regard to padding.
std::string SampleFieldBytes(const Sample& s) {
    std::string bytes;
    for (uint32_t value : {s.length, s.loopStart, s.loopLength})
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    const char small[] = {char(s.volume),       char(s.finetune), char(s.is16Bit), char(s.panning),
                          char(s.relativeNote), char(s.packing),  char(s.loopType)};
    return bytes.append(small, sizeof small);
}

std::string InstrumentFieldBytes(const Instrument& i) {
    std::string bytes(reinterpret_cast<const char*>(i.sampleMap), sizeof i.sampleMap);
    bytes.append(reinterpret_cast<const char*>(i.volumeEnvelope), sizeof i.volumeEnvelope);
    bytes.append(reinterpret_cast<const char*>(i.panningEnvelope), sizeof i.panningEnvelope);
    const char small[] = {
        char(i.volumePointCount), char(i.panningPointCount), char(i.volumeSustain),
        char(i.volumeLoopStart),  char(i.volumeLoopEnd),     char(i.panningSustain),
        char(i.panningLoopStart), char(i.panningLoopEnd),    char(i.volumeType),
        char(i.panningType),      char(i.vibratoType),       char(i.vibratoSweep),
        char(i.vibratoDepth),     char(i.vibratoRate),       char(i.fadeout & 0xFF),
        char(i.fadeout >> 8)};
    return bytes.append(small, sizeof small);
}

std::string CompareSongs(const ModuleSnapshot& a, const ModuleSnapshot& b) {
    if (a.title != b.title) return "title";
    if (a.channelCount != b.channelCount) return "channel count";
    if (a.songLength != b.songLength || a.orders != b.orders) return "order table";
    if (a.restartPosition != b.restartPosition) return "restart position";
    if (a.patternCount != b.patternCount) return "pattern count";
    if (a.instrumentCount != b.instrumentCount) return "instrument count";
    if (a.flags != b.flags) return "flags";
    if (a.defaultTempo != b.defaultTempo || a.defaultBpm != b.defaultBpm) return "tempo or BPM";
    return "";
}

std::string ComparePatterns(const ModuleSnapshot& a, const ModuleSnapshot& b) {
    for (size_t p = 0; p < a.patterns.size(); ++p) {
        const PatternSnapshot& x = a.patterns[p];
        const PatternSnapshot& y = b.patterns[p];
        bool sameCells = x.cells.size() == y.cells.size() &&
                         (x.cells.empty() || std::memcmp(x.cells.data(), y.cells.data(),
                                                         x.cells.size() * sizeof(Cell)) == 0);
        if (x.rowCount != y.rowCount || !sameCells) return "pattern " + std::to_string(p);
    }
    return "";
}

std::string CompareInstruments(const ModuleSnapshot& a, const ModuleSnapshot& b) {
    for (size_t i = 0; i < a.instruments.size(); ++i) {
        const InstrumentSnapshot& x = a.instruments[i];
        const InstrumentSnapshot& y = b.instruments[i];
        std::string name = "instrument " + std::to_string(i + 1);
        if (InstrumentFieldBytes(x.fields) != InstrumentFieldBytes(y.fields)) return name;
        if (x.samples.size() != y.samples.size()) return name + " sample count";
        for (size_t k = 0; k < x.samples.size(); ++k) {
            if (SampleFieldBytes(x.samples[k].fields) != SampleFieldBytes(y.samples[k].fields))
                return name + " sample " + std::to_string(k) + " header";
            if (x.samples[k].frames != y.samples[k].frames)
                return name + " sample " + std::to_string(k) + " frames";
        }
    }
    return "";
}

} // namespace

ModuleSnapshot TakeSnapshot() {
    const Song& song = gPlayer.song;
    ModuleSnapshot copy;
    copy.title = gPlayer.songTitle;
    copy.channelCount = song.channelCount;
    copy.songLength = song.songLength;
    copy.restartPosition = song.restartPosition;
    copy.patternCount = song.patternCount;
    copy.instrumentCount = song.instrumentCount;
    copy.flags = song.flags;
    copy.defaultTempo = song.defaultTempo;
    copy.defaultBpm = song.defaultBpm;
    copy.storedPatterns = static_cast<uint16_t>(song.header[70] | song.header[71] << 8);
    copy.orders.assign(song.orderTable, song.orderTable + song.songLength);
    for (uint32_t p = 0; p < song.patternCount; ++p) {
        const Pattern& pattern = song.patterns[p];
        const Cell* cells = pattern.cells;
        copy.patterns.push_back(PatternSnapshot{
            pattern.rowCount, pattern.packedSize,
            std::vector<Cell>(cells, cells + pattern.rowCount * song.channelCount)});
    }
    for (uint32_t i = 0; i < song.instrumentCount; ++i)
        copy.instruments.push_back(CopyInstrument(song.instruments[i]));
    return copy;
}

std::string FirstDifference(const ModuleSnapshot& a, const ModuleSnapshot& b) {
    std::string difference = CompareSongs(a, b);
    if (difference.empty()) difference = ComparePatterns(a, b);
    if (difference.empty()) difference = CompareInstruments(a, b);
    return difference;
}
