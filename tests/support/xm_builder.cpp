// Small XM images for tests.
#include "xm_builder.h"

XmModulePlan MinimalModule(XmLayout layout) {
    XmModulePlan plan;
    plan.layout = layout;
    plan.orders = {0};
    plan.patterns.push_back(XmPatternPlan{});
    return plan;
}

XmPatternPlan PatternOf(uint16_t rows, const std::vector<Cell>& cells) {
    XmPatternPlan pattern;
    pattern.rows = rows;
    pattern.data = PackCells(cells.data(), cells.size());
    return pattern;
}

XmSamplePlan Sample8(std::initializer_list<int> values) {
    std::vector<int16_t> frames;
    for (int value : values) frames.push_back(static_cast<int16_t>(value * 256));
    XmSamplePlan sample;
    sample.data = EncodeDifferences8(frames.data(), frames.size());
    sample.length = static_cast<uint32_t>(sample.data.size());
    return sample;
}

XmSamplePlan Sample16(std::initializer_list<int> values) {
    std::vector<int16_t> frames(values.begin(), values.end());
    XmSamplePlan sample;
    sample.type = 0x10;
    sample.data = EncodeDifferences16(frames.data(), frames.size());
    sample.length = static_cast<uint32_t>(sample.data.size());
    return sample;
}

XmSamplePlan RampSample8(uint32_t count) {
    std::vector<int16_t> frames;
    for (uint32_t i = 0; i < count; ++i)
        frames.push_back(static_cast<int16_t>(((i * 7) % 200 - 100) * 256));
    XmSamplePlan sample;
    sample.data = EncodeDifferences8(frames.data(), frames.size());
    sample.length = count;
    return sample;
}

XmSamplePlan PackedSample(uint32_t frames, const std::vector<int8_t>& table,
                          const std::vector<uint8_t>& pairs) {
    XmSamplePlan sample;
    sample.length = frames;
    sample.packing = 0xAD;
    sample.data.assign(table.begin(), table.end());
    sample.data.resize(16, '\0');
    sample.data.append(pairs.begin(), pairs.end());
    return sample;
}

XmInstrumentPlan InstrumentWith(std::vector<XmSamplePlan> samples) {
    XmInstrumentPlan instrument;
    instrument.samples = std::move(samples);
    return instrument;
}

namespace {

std::vector<XmSamplePlan> EveryKindOfSample() {
    std::vector<XmSamplePlan> samples;
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

XmModulePlan EveryFeatureModule(XmLayout layout) {
    XmModulePlan plan = MinimalModule(layout);
    plan.name = "every feature";
    plan.orders = {0, 1, 3};
    plan.patterns[0] = PatternOf(4, std::vector<Cell>(16, Cell{49, 2, 0x40, 0x0C, 0x20}));
    plan.patterns.push_back(PatternOf(2, std::vector<Cell>(8, Cell{97, 1, 0x10, 0x0E, 0xC3})));
    plan.instruments.resize(1);
    plan.instruments.push_back(InstrumentWith(EveryKindOfSample()));
    XmInstrumentPlan& instrument = plan.instruments[1];
    instrument.volume = XmEnvelopePlan{{{0, 64}, {4, 10}, {30, 40}}, 3, 1, 0, 2, 7};
    instrument.panning = XmEnvelopePlan{{{0, 0}, {8, 64}}, 2, 0, 0, 1, 5};
    instrument.fadeout = 0x8123;
    instrument.vibratoType = 2;
    instrument.vibratoDepth = 9;
    for (int i = 0; i < 96; ++i) instrument.sampleMap[i] = static_cast<uint8_t>(i % 10);
    return plan;
}

XmModulePlan TailModule(bool named) {
    XmModulePlan plan = EveryFeatureModule();
    plan.instruments.push_back(InstrumentWith({RampSample8(300)}));
    plan.instruments.resize(5);
    for (size_t i = 0; i < plan.instruments.size(); ++i)
        plan.instruments[i].name = "instrument " + std::to_string(i + 1);
    if (named) {
        std::vector<Cell> cells(16, Cell{49, 2, 0x40, 0x0C, 0x20});
        cells[5].instrument = 3;
        plan.patterns[0] = PatternOf(4, cells);
    }
    return plan;
}

std::string CutInsideInstrument(const XmModulePlan& plan, size_t number, size_t bytes) {
    XmModulePlan before = plan;
    before.instruments.resize(number - 1);
    before.trailing.clear();
    return WriteXm(plan).substr(0, WriteXm(before).size() + bytes);
}

int LoadPlan(const XmModulePlan& plan) {
    return LoadPlanFailure(plan) == LoadFailure::None ? 1 : 0;
}

LoadFailure LoadPlanFailure(const XmModulePlan& plan) {
    std::string image = WriteXm(plan);
    return ReadModuleImage(image.data(), image.size());
}
