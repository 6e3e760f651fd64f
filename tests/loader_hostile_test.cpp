// The loader against broken and hostile images: modules that end early, sizes that would wrap
// or run away, and images cut at every byte, none of which may read or write outside a record.
#include "module_checks.h"
#include "module_snapshot.h"
#include "sources.h"
#include "test_paths.h"
#include "xm_builder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const Song& song = gPlayer.song;

TEST(LoaderTruncation, EveryCutOfAModuleLoadsOrFailsAsTruncated) {
    for (XmLayout layout : {XmLayout::Standard, XmLayout::Compacted}) {
        std::string image = WriteXm(EveryFeatureModule(layout));
        ASSERT_TRUE(LoadModuleImage(image.data(), image.size()));
        for (size_t size = 0; size < image.size(); ++size) {
            // A copy of exactly `size` bytes, so that a read past the cut is a memory fault.
            std::string cut = image.substr(0, size);
            LoadFailure outcome = ReadModuleImage(cut.data(), cut.size());
            bool loaded = outcome == LoadFailure::None;
            std::string broken = loaded ? BrokenRecordPromise() : "";
            ASSERT_EQ(broken, "") << "cut at " << size;
            ASSERT_EQ(outcome, loaded ? LoadFailure::None : LoadFailure::Truncated)
                << "cut at " << size;
        }
    }
}

// Cut inside the first sample's data: its missing differences are 0, so its frames from the cut
// on repeat the last frame present, and the samples behind it are all zero.
TEST(LoaderTruncation, MissingBytesReadAsZeroBehindTheLastPatternHeader) {
    XmModulePlan plan = EveryFeatureModule();
    size_t dataBytes = 0;
    for (const XmSamplePlan& sample : plan.instruments[1].samples) dataBytes += sample.data.size();
    std::string image = WriteXm(plan);
    size_t firstData = image.size() - dataBytes;
    std::string cut = image.substr(0, firstData + 10);
    ASSERT_TRUE(LoadModuleImage(cut.data(), cut.size()));
    ASSERT_EQ(song.instrumentCount, 2);
    const Instrument& instrument = song.instruments[1];
    const Sample& first = *instrument.samples[0];
    ASSERT_EQ(first.length, 64u);
    EXPECT_NE(first.data[9], 0);
    for (uint32_t i = 10; i < 64; ++i) ASSERT_EQ(first.data[i], first.data[9]) << i;
    for (int k = 1; k < 9; ++k)
        for (uint32_t i = 0; i < instrument.samples[k]->length + 3; ++i)
            ASSERT_EQ(instrument.samples[k]->data[i], 0) << "sample " << k << " frame " << i;
}

TEST(LoaderTruncation, ImagesShorterThanTheirFixedHeaderFail) {
    std::string image = WriteXm(MinimalModule());
    for (size_t size : {size_t(0), size_t(1), size_t(64), size_t(79)})
        EXPECT_EQ(ReadModuleImage(image.data(), size), LoadFailure::Truncated) << size;
}

TEST(LoaderTruncation, OrderEntriesTheModuleLacksAreZero) {
    XmModulePlan plan = MinimalModule(XmLayout::Compacted);
    plan.orders = {0};
    plan.songLengthField = 200; // the module holds 1 entry, then the pattern
    std::string image = WriteXm(plan);
    std::memset(gPlayer.song.header, 0x77, sizeof gPlayer.song.header);
    ASSERT_TRUE(LoadModuleImage(image.data(), image.size()));
    EXPECT_EQ(song.songLength, 200);
    EXPECT_EQ(song.orderTable[199], 0);
    EXPECT_EQ(song.patternCount, 1 + image[81 + 5]); // pattern bytes stand in early entries
}

TEST(LoaderHostile, SizesThatWouldWrapOrSeekOutsideFailCleanly) {
    XmModulePlan header = MinimalModule();
    header.headerSize = 0xFFFFFFF0;
    EXPECT_EQ(LoadPlanFailure(header), LoadFailure::Truncated);

    XmModulePlan instrument = MinimalModule();
    instrument.instruments.push_back(InstrumentWith({Sample8({1})}));
    instrument.instruments[0].size = 0xFFFFFFFF;
    EXPECT_EQ(LoadPlanFailure(instrument), LoadFailure::Truncated);

    // An instrument size of 0 goes back over its own header: its samples' headers are read
    // from the instrument header itself, and the load ends without harm.
    XmModulePlan zero = MinimalModule();
    zero.instruments.push_back(InstrumentWith({Sample8({1})}));
    zero.instruments[0].size = 0;
    zero.instruments.resize(40, zero.instruments[0]);
    LoadPlan(zero);
}

TEST(LoaderHostile, HugeDeclaredPatternsCostOnlyTheBytesPresent) {
    XmModulePlan plan = MinimalModule();
    plan.channels = 32;
    plan.patterns[0].rows = 0xFFFF;
    plan.patterns[0].data = "\x81\x31";
    plan.patterns[0].packedSizeField = 0xFFFF;
    ASSERT_TRUE(LoadPlan(plan));
    EXPECT_EQ(song.patterns[0].rowCount, 0xFFFF);
    EXPECT_EQ(song.patterns[0].cells[0].note, 0x31);
    EXPECT_EQ(song.patterns[0].cells[0xFFFF * 32 - 1].note, 0);
}

TEST(LoaderHostile, HugeDeclaredSamplesWithoutDataCostNoDecoding) {
    XmModulePlan plan = MinimalModule();
    XmSamplePlan huge;
    huge.length = (1u << 22) - 1;
    huge.type = 2;
    huge.loopStart = 5;
    huge.loopLength = 0xFFFFFFFF;
    plan.instruments.push_back(InstrumentWith(std::vector<XmSamplePlan>(16, huge)));
    plan.instruments.resize(255, plan.instruments[0]);
    ASSERT_TRUE(LoadPlan(plan));
    const Sample& sample = *song.instruments[0].samples[15];
    EXPECT_EQ(sample.loopStart + sample.loopLength, sample.length);
    EXPECT_EQ(song.instruments[1].samples[0], nullptr); // beyond the end: empty
}

// The file source cannot tell the module's size; short reads show in its position instead.
// Every cut of a module loads through it exactly as through the memory source.
TEST(LoaderTruncation, FileSourceSeesTheModuleEndLikeTheMemorySource) {
    std::string image = WriteXm(EveryFeatureModule(XmLayout::Compacted));
    std::string path = BinaryPath("loader_file_source.xm");
    for (size_t size = image.size(); size >= 60; size -= 37) {
        std::string cut = image.substr(0, size);
        LoadFailure fromMemory = ReadModuleImage(cut.data(), cut.size());
        bool loaded = fromMemory == LoadFailure::None;
        ModuleSnapshot memory = loaded ? TakeSnapshot() : ModuleSnapshot{};
        ASSERT_TRUE(WriteFileBytes(path.c_str(), cut));
        EXPECT_EQ(ReadModuleFromSource(PLAY_FROM_FILE, path.c_str(), 0), fromMemory) << size;
        if (loaded) {
            EXPECT_EQ(FirstDifference(memory, TakeSnapshot()), "") << size;
        }
    }
    std::remove(path.c_str());
}

} // namespace
