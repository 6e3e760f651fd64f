// Checks of the loaded records against what the player's later steps rely on.
#include "module_checks.h"
#include "player_state.h"

namespace {

// Where the sum of every frame slot goes, so that reading them all is not optimised away.
volatile int64_t gSink;

std::string CheckPatterns(const Song& song) {
    if (song.channelCount < 1 || song.channelCount > 32) return "channel count";
    if (song.songLength < 1 || song.songLength > 256) return "song length";
    for (int i = 0; i < song.songLength; ++i)
        if (song.orderTable[i] >= song.patternCount) return "order entry " + std::to_string(i);
    for (uint32_t p = 0; p < song.patternCount; ++p) {
        const Pattern& pattern = song.patterns[p];
        if (pattern.rowCount == 0 || pattern.cells == nullptr)
            return "pattern " + std::to_string(p);
        for (uint32_t c = 0; c < pattern.rowCount * song.channelCount; ++c)
            if (pattern.cells[c].instrument > song.instrumentCount)
                return "cell instrument in pattern " + std::to_string(p);
    }
    return "";
}

// The sustain and loop indices may lie past the points: they are then never reached, and the
// envelope step ignores a loop that starts there.
bool EnvelopeInside(uint8_t count, uint8_t type) {
    return count <= 12 && (count >= 2 || type == 0);
}

std::string CheckSample(const Sample& sample) {
    if (sample.length >= (1u << 22)) return "sample length";
    if (sample.loopType == 0 && (sample.loopStart != 0 || sample.loopLength != sample.length))
        return "sample without a loop";
    if (uint64_t(sample.loopStart) + sample.loopLength > sample.length) return "sample loop";
    int64_t sum = 0;
    for (int64_t i = -1; i < int64_t(sample.length) + 3; ++i) sum += sample.data[i];
    gSink = sum;
    return sample.data[-1] == 0 ? "" : "frame before the sample";
}

std::string CheckInstruments(const Song& song) {
    for (uint32_t i = 0; i < song.instrumentCount; ++i) {
        const Instrument& in = song.instruments[i];
        std::string name = "instrument " + std::to_string(i + 1);
        if (!EnvelopeInside(in.volumePointCount, in.volumeType)) return name + " volume envelope";
        if (!EnvelopeInside(in.panningPointCount, in.panningType))
            return name + " panning envelope";
        for (const Sample* sample : in.samples) {
            std::string broken = sample ? CheckSample(*sample) : "";
            if (!broken.empty()) return name.append(" ").append(broken);
        }
    }
    return "";
}

} // namespace

std::string BrokenRecordPromise() {
    std::string broken = CheckPatterns(gPlayer.song);
    return broken.empty() ? CheckInstruments(gPlayer.song) : broken;
}
