// The loader against broken and hostile images: modules that end early, sizes that would wrap
// or run away, and images cut at every byte, none of which may read or write outside a record.
#include "xm_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const Song& song = gPlayer.song;

// Two patterns, an instrument without samples and one with an 8-bit, a 16-bit and a packed
// sample, with loops and envelopes: every part of the format in a few hundred bytes.
XmModuleSpec EveryPart(XmLayout layout) {
    XmModuleSpec spec = MinimalModule(layout);
    spec.orders = {0, 1, 0};
    spec.patterns[0] = PatternOf(4, std::vector<Cell>(16, Cell{49, 2, 0x40, 0x0C, 0x20}));
    spec.patterns.push_back(PatternOf(2, std::vector<Cell>(8, Cell{0, 0, 0, 0x0F, 3})));
    spec.instruments.resize(1);
    XmSampleSpec looped = RampSample8(50);
    looped.type = 1;
    looped.loopStart = 10;
    looped.loopLength = 30;
    XmSampleSpec wide = Sample16({1000, -1000, 30000, -30000});
    wide.type = 0x12;
    wide.loopLength = 8;
    std::vector<int8_t> table = {0, 1, 2, 3, 4, 5, 6, 7, -8, -7, -6, -5, -4, -3, -2, -1};
    spec.instruments.push_back(
        InstrumentWith({looped, wide, PackedSample(9, table, {0x12, 0x34, 0x56, 0x78, 0x9A})}));
    XmInstrumentSpec& instrument = spec.instruments[1];
    instrument.volume = XmEnvelopeSpec{{{0, 64}, {10, 32}, {20, 0}}, 3, 1, 0, 2, 7};
    instrument.sampleMap[48] = 2;
    instrument.fadeout = 300;
    return spec;
}

TEST(LoaderTruncation, EveryCutOfAModuleLoadsOrFailsAsTruncated) {
    for (XmLayout layout : {XmLayout::Standard, XmLayout::Compacted}) {
        std::string image = WriteXm(EveryPart(layout));
        ASSERT_TRUE(LoadModuleImage(image.data(), image.size()));
        for (size_t size = 0; size < image.size(); ++size) {
            // A copy of exactly `size` bytes, so that a read past the cut is a memory fault.
            std::string cut = image.substr(0, size);
            int loaded = LoadModuleImage(cut.data(), cut.size());
            if (!loaded) {
                EXPECT_EQ(LastLoadFailure(), LoadFailure::Truncated) << "cut at " << size;
            }
        }
    }
}

TEST(LoaderTruncation, MissingBytesReadAsZeroBehindTheLastPatternHeader) {
    std::string image = WriteXm(EveryPart(XmLayout::Standard));
    std::string full = image;
    ASSERT_TRUE(LoadModuleImage(full.data(), full.size()));
    const Sample& whole = *song.instruments[1].samples[0];
    int lastLooped = whole.data[45];

    struct Case {
        const char* what;
        size_t cut; // bytes removed from the end
        bool loads;
    } cases[] = {
        {"inside the packed sample", 3, true},
        {"inside the first sample's data", 40, true},
        {"inside the sample headers", 200, true},
        {"inside the second instrument header", 400, true},
    };
    for (const Case& c : cases) {
        std::string cut = image.substr(0, image.size() - c.cut);
        ASSERT_EQ(LoadModuleImage(cut.data(), cut.size()) != 0, c.loads) << c.what;
        EXPECT_EQ(song.instrumentCount, 2) << c.what;
    }
    // Cut inside the first sample's data: its missing differences are 0, so its last frames
    // repeat the last frame present, and the samples behind it are all zero.
    std::string cut = image.substr(0, image.size() - 40);
    ASSERT_TRUE(LoadModuleImage(cut.data(), cut.size()));
    const Sample& first = *song.instruments[1].samples[0];
    EXPECT_EQ(first.length, 50u);
    EXPECT_NE(first.data[49], lastLooped);
    EXPECT_EQ(first.data[49], first.data[48]);
    const Sample& packed = *song.instruments[1].samples[2];
    for (uint32_t i = 0; i < packed.length + 3; ++i) ASSERT_EQ(packed.data[i], 0) << i;
}

TEST(LoaderTruncation, ImagesShorterThanTheirFixedHeaderFail) {
    std::string image = WriteXm(MinimalModule());
    for (size_t size : {size_t(0), size_t(1), size_t(64), size_t(79)}) {
        EXPECT_FALSE(LoadModuleImage(image.data(), size)) << size;
        EXPECT_EQ(LastLoadFailure(), LoadFailure::Truncated);
    }
}

TEST(LoaderTruncation, OrderEntriesTheModuleLacksAreZero) {
    XmModuleSpec spec = MinimalModule(XmLayout::Compacted);
    spec.orders = {0};
    spec.songLengthField = 200; // the module holds 1 entry, then the pattern
    std::string image = WriteXm(spec);
    std::memset(gPlayer.song.header, 0x77, sizeof gPlayer.song.header);
    ASSERT_TRUE(LoadModuleImage(image.data(), image.size()));
    EXPECT_EQ(song.songLength, 200);
    EXPECT_EQ(song.orderTable[199], 0);
    EXPECT_EQ(song.patternCount, 1 + image[81 + 5]); // pattern bytes stand in early entries
}

TEST(LoaderHostile, SizesThatWouldWrapOrSeekOutsideFailCleanly) {
    XmModuleSpec header = MinimalModule();
    header.headerSize = 0xFFFFFFF0;
    EXPECT_FALSE(LoadSpec(header));
    EXPECT_EQ(LastLoadFailure(), LoadFailure::Truncated);

    XmModuleSpec instrument = MinimalModule();
    instrument.instruments.push_back(InstrumentWith({Sample8({1})}));
    instrument.instruments[0].size = 0xFFFFFFFF;
    EXPECT_FALSE(LoadSpec(instrument));
    EXPECT_EQ(LastLoadFailure(), LoadFailure::Truncated);

    // An instrument size of 0 goes back over its own header: its samples' headers are read
    // from the instrument header itself, and the load ends without harm.
    XmModuleSpec zero = MinimalModule();
    zero.instruments.push_back(InstrumentWith({Sample8({1})}));
    zero.instruments[0].size = 0;
    zero.instruments.resize(40, zero.instruments[0]);
    LoadSpec(zero);
}

TEST(LoaderHostile, HugeDeclaredPatternsCostOnlyTheBytesPresent) {
    XmModuleSpec spec = MinimalModule();
    spec.channels = 32;
    spec.patterns[0].rows = 0xFFFF;
    spec.patterns[0].data = "\x81\x31";
    spec.patterns[0].packedSizeField = 0xFFFF;
    ASSERT_TRUE(LoadSpec(spec));
    EXPECT_EQ(song.patterns[0].rowCount, 0xFFFF);
    EXPECT_EQ(song.patterns[0].cells[0].note, 0x31);
    EXPECT_EQ(song.patterns[0].cells[0xFFFF * 32 - 1].note, 0);
}

TEST(LoaderHostile, HugeDeclaredSamplesWithoutDataCostNoDecoding) {
    XmModuleSpec spec = MinimalModule();
    XmSampleSpec huge;
    huge.length = (1u << 22) - 1;
    huge.type = 2;
    huge.loopStart = 5;
    huge.loopLength = 0xFFFFFFFF;
    spec.instruments.push_back(InstrumentWith(std::vector<XmSampleSpec>(16, huge)));
    spec.instruments.resize(255, spec.instruments[0]);
    ASSERT_TRUE(LoadSpec(spec));
    const Sample& sample = *song.instruments[0].samples[15];
    EXPECT_EQ(sample.loopStart + sample.loopLength, sample.length);
    EXPECT_EQ(song.instruments[1].samples[0], nullptr); // beyond the end: empty
}

} // namespace
