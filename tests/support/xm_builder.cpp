// Small XM images for tests.
#include "xm_builder.h"

XmModuleSpec MinimalModule(XmLayout layout) {
    XmModuleSpec spec;
    spec.layout = layout;
    spec.orders = {0};
    spec.patterns.push_back(XmPatternSpec{});
    return spec;
}

XmPatternSpec PatternOf(uint16_t rows, const std::vector<Cell>& cells) {
    XmPatternSpec pattern;
    pattern.rows = rows;
    pattern.data = PackCells(cells.data(), cells.size());
    return pattern;
}

XmSampleSpec Sample8(std::initializer_list<int> values) {
    std::vector<int16_t> frames;
    for (int value : values) frames.push_back(static_cast<int16_t>(value * 256));
    XmSampleSpec sample;
    sample.data = EncodeDifferences8(frames.data(), frames.size());
    sample.length = static_cast<uint32_t>(sample.data.size());
    return sample;
}

XmSampleSpec Sample16(std::initializer_list<int> values) {
    std::vector<int16_t> frames(values.begin(), values.end());
    XmSampleSpec sample;
    sample.type = 0x10;
    sample.data = EncodeDifferences16(frames.data(), frames.size());
    sample.length = static_cast<uint32_t>(sample.data.size());
    return sample;
}

XmSampleSpec RampSample8(uint32_t count) {
    std::vector<int16_t> frames;
    for (uint32_t i = 0; i < count; ++i)
        frames.push_back(static_cast<int16_t>(((i * 7) % 200 - 100) * 256));
    XmSampleSpec sample;
    sample.data = EncodeDifferences8(frames.data(), frames.size());
    sample.length = count;
    return sample;
}

XmSampleSpec PackedSample(uint32_t frames, const std::vector<int8_t>& table,
                          const std::vector<uint8_t>& pairs) {
    XmSampleSpec sample;
    sample.length = frames;
    sample.packing = 0xAD;
    sample.data.assign(table.begin(), table.end());
    sample.data.resize(16, '\0');
    sample.data.append(pairs.begin(), pairs.end());
    return sample;
}

XmInstrumentSpec InstrumentWith(std::vector<XmSampleSpec> samples) {
    XmInstrumentSpec instrument;
    instrument.samples = std::move(samples);
    return instrument;
}

namespace {

std::vector<XmSampleSpec> EveryKindOfSample() {
    std::vector<XmSampleSpec> samples;
    for (uint8_t type : {0, 1, 2, 3}) {
        samples.push_back(RampSample8(64));
        samples.back().type = type;
        samples.back().loopStart = 4;
        samples.back().loopLength = 20;
    }
    samples.push_back(Sample16({5, 500, -5000, 32767, -32768, 0, 7}));
    samples.back().type = 0x12;
    samples.back().loopStart = 2;
    samples.back().loopLength = 6;
    std::vector<int8_t> table = {0, 1, -1, 2, -2, 4, -4, 8, -8, 16, -16, 32, -32, 64, -64, 127};
    std::vector<uint8_t> pairs = {0x3F, 0xE1, 0x5A, 0x77, 0x12, 0x9C};
    for (uint8_t type : {0, 1, 2, 1}) {
        samples.push_back(PackedSample(11, table, pairs));
        samples.back().type = type;
        samples.back().loopStart = samples.size() == 9 ? 3 : 2;
        samples.back().loopLength = samples.size() == 9 ? 8 : 5;
    }
    return samples;
}

} // namespace

XmModuleSpec EveryFeatureModule(XmLayout layout) {
    XmModuleSpec spec = MinimalModule(layout);
    spec.name = "every feature";
    spec.orders = {0, 1, 3};
    spec.patterns[0] = PatternOf(4, std::vector<Cell>(16, Cell{49, 2, 0x40, 0x0C, 0x20}));
    spec.patterns.push_back(PatternOf(2, std::vector<Cell>(8, Cell{97, 1, 0x10, 0x0E, 0xC3})));
    spec.instruments.resize(1);
    spec.instruments.push_back(InstrumentWith(EveryKindOfSample()));
    XmInstrumentSpec& instrument = spec.instruments[1];
    instrument.volume = XmEnvelopeSpec{{{0, 64}, {4, 10}, {30, 40}}, 3, 1, 0, 2, 7};
    instrument.panning = XmEnvelopeSpec{{{0, 0}, {8, 64}}, 2, 0, 0, 1, 5};
    instrument.fadeout = 0x8123;
    instrument.vibratoType = 2;
    instrument.vibratoDepth = 9;
    for (int i = 0; i < 96; ++i) instrument.sampleMap[i] = static_cast<uint8_t>(i % 10);
    return spec;
}

int LoadSpec(const XmModuleSpec& spec) {
    std::string image = WriteXm(spec);
    return LoadModuleImage(image.data(), image.size());
}

LoadFailure LoadSpecFailure(const XmModuleSpec& spec) {
    LoadSpec(spec);
    return LastLoadFailure();
}
