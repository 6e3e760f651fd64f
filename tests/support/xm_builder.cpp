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

int LoadSpec(const XmModuleSpec& spec) {
    std::string image = WriteXm(spec);
    return LoadModuleImage(image.data(), image.size());
}
