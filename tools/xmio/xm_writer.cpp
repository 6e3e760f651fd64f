// Writing XM images from their description, and encoding cells and sample frames.
#include "xm_writer.h"

#include <algorithm>

namespace {

const char kIdText[] = "Extended Module: ";
const char kTrackerName[] = "linkmend xmcompact";

void Put8(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
}

void Put16(std::string& out, uint32_t value) {
    Put8(out, value);
    Put8(out, value >> 8);
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value);
    Put16(out, value >> 16);
}

// `text` cut or padded with zero bytes to `size`.
void PutText(std::string& out, const std::string& text, size_t size) {
    out.append(text.substr(0, size));
    out.append(size - std::min(size, text.size()), '\0');
}

// Hostile size fields above this are stored but not padded out.
const size_t kLargestPadding = 1 << 20;

void PadTo(std::string& out, size_t start, size_t size) {
    if (size <= kLargestPadding && out.size() < start + size)
        out.append(start + size - out.size(), '\0');
}

void WriteHeader(std::string& out, const XmModulePlan& plan) {
    bool standard = plan.layout == XmLayout::Standard;
    PutText(out, standard ? kIdText : "", 17);
    PutText(out, plan.name, 20);
    Put8(out, standard ? 0x1A : 0);
    PutText(out, !standard ? "" : plan.trackerName.empty() ? kTrackerName : plan.trackerName, 20);
    Put16(out, standard ? 0x0104 : 0);
    size_t storedOrders = standard ? 256 : plan.orders.size();
    uint32_t headerSize = plan.headerSize >= 0 ? uint32_t(plan.headerSize) : 20 + storedOrders;
    Put32(out, headerSize);
    Put16(out, plan.songLengthField >= 0 ? plan.songLengthField : int32_t(plan.orders.size()));
    Put16(out, plan.restartPosition);
    Put16(out, plan.channels);
    Put16(out,
          plan.patternCountField >= 0 ? plan.patternCountField : int32_t(plan.patterns.size()));
    Put16(out, plan.instrumentCountField >= 0 ? plan.instrumentCountField
                                              : int32_t(plan.instruments.size()));
    Put16(out, plan.flags);
    Put16(out, plan.tempo);
    Put16(out, plan.bpm);
    for (size_t i = 0; i < storedOrders; ++i)
        Put8(out, i < plan.orders.size() ? plan.orders[i] : 0);
    PadTo(out, 60, headerSize);
}

void WritePattern(std::string& out, const XmPatternPlan& pattern) {
    Put32(out, 9);
    Put8(out, 0);
    Put16(out, pattern.rows);
    Put16(out,
          pattern.packedSizeField >= 0 ? pattern.packedSizeField : int32_t(pattern.data.size()));
    out.append(pattern.data);
}

void WriteEnvelopePoints(std::string& out, const XmEnvelopePlan& envelope) {
    for (const EnvelopePoint& point : envelope.points) {
        Put16(out, point.x);
        Put16(out, point.y);
    }
}

void WriteEnvelopeSettings(std::string& out, const XmInstrumentPlan& instrument) {
    Put8(out, instrument.volume.count);
    Put8(out, instrument.panning.count);
    for (const XmEnvelopePlan* envelope : {&instrument.volume, &instrument.panning}) {
        Put8(out, envelope->sustain);
        Put8(out, envelope->loopStart);
        Put8(out, envelope->loopEnd);
    }
    Put8(out, instrument.volume.type);
    Put8(out, instrument.panning.type);
    Put8(out, instrument.vibratoType);
    Put8(out, instrument.vibratoSweep);
    Put8(out, instrument.vibratoDepth);
    Put8(out, instrument.vibratoRate);
    Put16(out, instrument.fadeout);
}

void WriteSampleHeader(std::string& out, const XmSamplePlan& sample, uint32_t headerSize,
                       bool standard) {
    size_t start = out.size();
    Put32(out, sample.length);
    Put32(out, sample.loopStart);
    Put32(out, sample.loopLength);
    Put8(out, sample.volume);
    Put8(out, uint8_t(sample.finetune));
    Put8(out, sample.type);
    Put8(out, sample.panning);
    Put8(out, uint8_t(sample.relativeNote));
    Put8(out, sample.packing);
    PutText(out, standard ? sample.name : "", 22);
    out.resize(start + std::min<size_t>(headerSize, kLargestPadding));
}

// The instrument header (29 bytes without samples, 241 with), its sample headers and data.
void WriteInstrument(std::string& out, const XmInstrumentPlan& instrument, XmLayout layout) {
    bool standard = layout == XmLayout::Standard;
    int32_t count = instrument.sampleCountField >= 0 ? instrument.sampleCountField
                                                     : int32_t(instrument.samples.size());
    bool body = count != 0 || !instrument.samples.empty();
    uint32_t size = instrument.size >= 0 ? uint32_t(instrument.size)
                    : !body              ? 29
                    : standard           ? 263
                                         : 241;
    uint32_t sampleHeaderSize = instrument.sampleHeaderSize >= 0
                                    ? uint32_t(instrument.sampleHeaderSize)
                                : standard ? 40
                                           : 18;
    size_t start = out.size();
    Put32(out, size);
    PutText(out, standard ? instrument.name : "", 22);
    Put8(out, 0); // type
    Put16(out, count);
    if (body || size >= 33) Put32(out, sampleHeaderSize);
    if (body) {
        out.append(reinterpret_cast<const char*>(instrument.sampleMap), 96);
        WriteEnvelopePoints(out, instrument.volume);
        WriteEnvelopePoints(out, instrument.panning);
        WriteEnvelopeSettings(out, instrument);
    }
    PadTo(out, start, size);
    for (const XmSamplePlan& sample : instrument.samples)
        WriteSampleHeader(out, sample, sampleHeaderSize, standard);
    for (const XmSamplePlan& sample : instrument.samples) out.append(sample.data);
}

uint8_t HighByte(int16_t frame) {
    return static_cast<uint8_t>(static_cast<uint16_t>(frame) >> 8);
}

// Two table steps whose sum is `target`, taken from `steps` or added to it (16 at most).
bool FindStepPair(std::vector<uint8_t>& steps, uint8_t target, uint8_t pair[2]) {
    for (uint8_t first : steps)
        if (std::find(steps.begin(), steps.end(), uint8_t(target - first)) != steps.end()) {
            pair[0] = first;
            pair[1] = uint8_t(target - first);
            return true;
        }
    pair[0] = steps.empty() ? 0 : steps[0];
    pair[1] = uint8_t(target - pair[0]);
    for (uint8_t step : {pair[0], pair[1]})
        if (std::find(steps.begin(), steps.end(), step) == steps.end()) steps.push_back(step);
    return steps.size() <= 16;
}

} // namespace

std::string WriteXm(const XmModulePlan& plan) {
    std::string out;
    WriteHeader(out, plan);
    for (const XmPatternPlan& pattern : plan.patterns) WritePattern(out, pattern);
    for (const XmInstrumentPlan& instrument : plan.instruments)
        WriteInstrument(out, instrument, plan.layout);
    return out.append(plan.trailing);
}

std::string PackCells(const Cell* cells, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t fields[5] = {cells[i].note, cells[i].instrument, cells[i].volumeColumn,
                                   cells[i].effect, cells[i].parameter};
        uint8_t present = 0;
        for (int bit = 0; bit < 5; ++bit)
            if (fields[bit]) present |= uint8_t(1 << bit);
        if (present == 31 && fields[0] < 0x80) {
            out.append(reinterpret_cast<const char*>(fields), 5);
            continue;
        }
        Put8(out, 0x80 | present);
        for (int bit = 0; bit < 5; ++bit)
            if (fields[bit]) Put8(out, fields[bit]);
    }
    return out;
}

std::string EncodeDifferences8(const int16_t* frames, size_t count) {
    std::string out;
    uint8_t previous = 0;
    for (size_t i = 0; i < count; ++i) {
        Put8(out, uint8_t(HighByte(frames[i]) - previous));
        previous = HighByte(frames[i]);
    }
    return out;
}

std::string EncodeDifferences16(const int16_t* frames, size_t count) {
    std::string out;
    uint16_t previous = 0;
    for (size_t i = 0; i < count; ++i) {
        Put16(out, uint16_t(uint16_t(frames[i]) - previous));
        previous = uint16_t(frames[i]);
    }
    return out;
}

std::string EncodePacked(const int16_t* frames, size_t count, size_t freeFrame) {
    // The step into each frame; the free frame and the one after it take a pair found later.
    std::vector<uint8_t> want(count), steps;
    uint8_t previous = 0;
    for (size_t i = 0; i < count; ++i) {
        want[i] = uint8_t(HighByte(frames[i]) - previous);
        previous = HighByte(frames[i]);
        bool free = freeFrame < count && (i == freeFrame || i == freeFrame + 1);
        if (!free && std::find(steps.begin(), steps.end(), want[i]) == steps.end())
            steps.push_back(want[i]);
    }
    if (freeFrame < count) {
        uint8_t before = freeFrame ? HighByte(frames[freeFrame - 1]) : 0;
        uint8_t after = freeFrame + 1 < count ? HighByte(frames[freeFrame + 1]) : before;
        uint8_t pair[2];
        if (!FindStepPair(steps, uint8_t(after - before), pair)) return "";
        want[freeFrame] = pair[0];
        if (freeFrame + 1 < count) want[freeFrame + 1] = pair[1];
    }
    if (steps.size() > 16) return "";
    steps.resize(16, 0);
    std::string out(steps.begin(), steps.end());
    for (size_t i = 0; i + 1 < count; i += 2) {
        auto low = std::find(steps.begin(), steps.end(), want[i]) - steps.begin();
        auto high = std::find(steps.begin(), steps.end(), want[i + 1]) - steps.begin();
        Put8(out, uint32_t(low | high << 4));
    }
    return out;
}
