// Writing loaded modules out again: the compacted layout of the built-in module and the
// standard layout both load into the same records as the module they came from.
#include "module_snapshot.h"
#include "snapshot_spec.h"
#include "test_paths.h"
#include "xm_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

// Loads `image`, writes it in `layout`, loads that and compares; returns the written image.
std::string RoundTrip(const std::string& image, XmLayout layout, const std::string& name) {
    EXPECT_TRUE(LoadModuleImage(image.data(), image.size())) << name;
    ModuleSnapshot original = TakeSnapshot();
    std::string written = WriteXm(SpecFromSnapshot(original, layout));
    EXPECT_TRUE(LoadModuleImage(written.data(), written.size())) << name;
    EXPECT_EQ(FirstDifference(original, TakeSnapshot()), "") << name;
    return written;
}

// Samples of every kind, with the guard frame inside the data, and envelopes.
XmModuleSpec EveryKindOfSample() {
    XmModuleSpec spec = MinimalModule();
    spec.name = "every kind";
    spec.orders = {0, 3};
    spec.patterns[0] = PatternOf(2, std::vector<Cell>(8, Cell{97, 1, 0x10, 0x0E, 0xC3}));
    spec.instruments.resize(2);
    std::vector<XmSampleSpec> samples;
    for (uint8_t type : {0, 1, 2, 3}) {
        XmSampleSpec ramp = RampSample8(64);
        ramp.type = type;
        ramp.loopStart = 4;
        ramp.loopLength = 20; // the guard lands on frame 24, inside the data
        samples.push_back(ramp);
    }
    XmSampleSpec wide = Sample16({5, 500, -5000, 32767, -32768, 0, 7});
    wide.type = 0x12;
    wide.loopStart = 2;
    wide.loopLength = 6;
    samples.push_back(wide);
    std::vector<int8_t> table = {0, 1, -1, 2, -2, 4, -4, 8, -8, 16, -16, 32, -32, 64, -64, 127};
    for (uint8_t type : {0, 1, 2}) {
        XmSampleSpec packed = PackedSample(11, table, {0x3F, 0xE1, 0x5A, 0x77, 0x12, 0x9C});
        packed.type = type;
        packed.loopStart = 2;
        packed.loopLength = 5; // guard on frame 7, between decoded frames
        samples.push_back(packed);
    }
    XmSampleSpec packedToEnd = PackedSample(11, table, {0x3F, 0xE1, 0x5A, 0x77, 0x12, 0x9C});
    packedToEnd.type = 1;
    packedToEnd.loopStart = 3;
    packedToEnd.loopLength = 8; // guard on the extra decoded frame
    samples.push_back(packedToEnd);
    spec.instruments[1] = InstrumentWith(samples);
    spec.instruments[1].volume = XmEnvelopeSpec{{{0, 64}, {4, 10}, {30, 40}}, 3, 1, 0, 2, 7};
    spec.instruments[1].panning = XmEnvelopeSpec{{{0, 0}, {8, 64}}, 2, 0, 0, 1, 5};
    spec.instruments[1].fadeout = 0x8123;
    spec.instruments[1].vibratoDepth = 9;
    for (int i = 0; i < 96; ++i) spec.instruments[1].sampleMap[i] = uint8_t(i % 10);
    return spec;
}

TEST(XmCompaction, GeneratedModulesLoadTheSameInBothLayouts) {
    for (XmLayout from : {XmLayout::Standard, XmLayout::Compacted}) {
        XmModuleSpec spec = EveryKindOfSample();
        spec.layout = from;
        std::string image = WriteXm(spec);
        std::string compacted = RoundTrip(image, XmLayout::Compacted, "compacted");
        std::string expanded = RoundTrip(compacted, XmLayout::Standard, "expanded");
        EXPECT_LT(compacted.size(), expanded.size());
    }
}

TEST(XmCompaction, CompactedLayoutIsThatOfTheBuiltInModule) {
    XmModuleSpec spec = EveryKindOfSample();
    spec.instruments.resize(1); // the first has no samples; add one with a single sample
    spec.instruments.push_back(InstrumentWith({RampSample8(10)}));
    std::string image = RoundTrip(WriteXm(spec), XmLayout::Compacted, "compacted");
    const char zeros[60] = {};
    EXPECT_EQ(std::memcmp(image.data(), zeros, 17), 0);      // ID text
    EXPECT_EQ(image.substr(17, 10), "every kind");           // the title as Module name
    EXPECT_EQ(std::memcmp(image.data() + 37, zeros, 23), 0); // 0x1A, tracker, version
    EXPECT_EQ(image[60], 20 + 2);                            // Header size: 2 orders
    size_t instrument = image.size() - 10 - 18 - 241; // the last: header, sample header, data
    EXPECT_EQ(uint8_t(image[instrument]), 241);
    EXPECT_EQ(uint8_t(image[instrument + 29]), 18); // sample header size
}

TEST(XmCompaction, RobustnessModulesThatLoadRoundTrip) {
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SharedDataPath("xm/robustness"))) {
        std::string image = ReadWholeFile(entry.path().string());
        if (!LoadModuleImage(image.data(), image.size())) continue;
        ++loaded;
        std::string name = entry.path().filename().string();
        std::string compacted = RoundTrip(image, XmLayout::Compacted, name);
        RoundTrip(compacted, XmLayout::Standard, name);
    }
    EXPECT_GE(loaded, 50);
}

} // namespace
