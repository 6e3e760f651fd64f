// The loader's sample records: header conversion, loops, the three data forms, the guard frame
// and the slots around the frames.
#include "xm_builder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Loads a module whose first instrument holds `samples`; false when the load fails.
bool LoadSamples(std::vector<XmSamplePlan> samples, int64_t headerSize = -1) {
    XmModulePlan plan = MinimalModule();
    plan.instruments.push_back(InstrumentWith(std::move(samples)));
    plan.instruments[0].sampleHeaderSize = headerSize;
    return LoadPlan(plan) != 0;
}

const Sample& SampleAt(int slot) {
    return *gPlayer.song.instruments[0].samples[slot];
}

std::vector<int> Frames(const Sample& sample, int from, int count) {
    std::vector<int> frames;
    for (int i = from; i < from + count; ++i) frames.push_back(sample.data[i]);
    return frames;
}

TEST(LoaderSamples, HeaderFieldsAreCopied) {
    XmSamplePlan stored = Sample8({1, 2});
    stored.volume = 48;
    stored.finetune = -16;
    stored.panning = 200;
    stored.relativeNote = -12;
    stored.type = 0xE0; // bits other than loop type and width are dropped
    ASSERT_TRUE(LoadSamples({stored}));
    const Sample& sample = SampleAt(0);
    EXPECT_EQ(sample.volume, 48);
    EXPECT_EQ(sample.finetune, -16);
    EXPECT_EQ(sample.panning, 200);
    EXPECT_EQ(sample.relativeNote, -12);
    EXPECT_EQ(sample.is16Bit, 0);
    EXPECT_EQ(sample.loopType, 0);
    EXPECT_EQ(sample.packing, 0);
}

TEST(LoaderSamples, EightBitDifferencesDecodeToScaledFrames) {
    XmSamplePlan stored;
    stored.data = "\x10\xF0\x10";
    stored.length = 3;
    ASSERT_TRUE(LoadSamples({stored}));
    EXPECT_EQ(Frames(SampleAt(0), 0, 3), (std::vector<int>{4096, 0, 4096}));
}

TEST(LoaderSamples, SixteenBitDifferencesWrapModulo65536) {
    XmSamplePlan stored;
    stored.type = 0x10;
    stored.data = std::string("\xFF\x7F\x02\x00\x00\x80", 6); // 32767, +2, +32768
    stored.length = 6;
    ASSERT_TRUE(LoadSamples({stored}));
    EXPECT_EQ(SampleAt(0).length, 3u);
    EXPECT_EQ(Frames(SampleAt(0), 0, 3), (std::vector<int>{32767, -32767, 1}));
}

// A 16-bit sample of an odd byte count has length / 2 frames; its last byte is still part of its
// data, so the next sample's data starts behind it.
TEST(LoaderSamples, SixteenBitOddByteCountKeepsTheNextSampleInStep) {
    XmSamplePlan odd;
    odd.type = 0x10;
    odd.length = 1001;
    odd.data.assign(1001, '\0');
    odd.data[0] = 0x10;    // first frame 16
    odd.data[1000] = 0x55; // the odd byte
    XmSamplePlan next = Sample8({7, 8});
    ASSERT_TRUE(LoadSamples({odd, next}));
    EXPECT_EQ(SampleAt(0).length, 500u);
    EXPECT_EQ(SampleAt(0).data[499], 16);
    EXPECT_EQ(SampleAt(0).data[500], 0);
    EXPECT_EQ(Frames(SampleAt(1), 0, 2), (std::vector<int>{7 * 256, 8 * 256}));
}

TEST(LoaderSamples, PackedDataDecodesThroughTheTableLowNibbleFirst) {
    std::vector<int8_t> table = {0, 1, 2, 4, 8, 16, 32, 64, -1, -2, -4, -8, -16, -32, -64, -128};
    // Pairs: (+1, +2), (+64, +64), (-128, step 0): the last, odd frame is the extra one.
    ASSERT_TRUE(LoadSamples({PackedSample(5, table, {0x21, 0x77, 0x0F})}));
    const Sample& sample = SampleAt(0);
    EXPECT_EQ(sample.length, 5u);
    EXPECT_EQ(sample.packing, 0xAD);
    // 1, 3, 67, 131 = -125, then -125 - 128 = 3, and the extra frame 3 in the first spare slot.
    EXPECT_EQ(Frames(sample, 0, 6), (std::vector<int>{256, 768, 67 * 256, -125 * 256, 768, 768}));
    EXPECT_EQ(sample.data[6], 0);
}

TEST(LoaderSamples, PackedDataOfEvenLengthEndsInAZeroSlot) {
    std::vector<int8_t> table(16, 0);
    table[3] = 3;
    ASSERT_TRUE(LoadSamples({PackedSample(40, table, std::vector<uint8_t>(20, 0x33))}));
    const Sample& sample = SampleAt(0);
    EXPECT_EQ(sample.data[39], 40 * 3 * 256);
    EXPECT_EQ(Frames(sample, 40, 3), (std::vector<int>{0, 0, 0})); // no packed bytes left over
}

TEST(LoaderSamples, PackedDataFollowsTheSampleBeforeIt) {
    std::vector<int8_t> table(16, 0);
    table[1] = 10;
    XmSamplePlan packed = PackedSample(4, table, {0x11, 0x11});
    ASSERT_TRUE(LoadSamples({Sample8({1, 2, 3}), packed, Sample8({-1})}));
    EXPECT_EQ(Frames(SampleAt(1), 0, 4), (std::vector<int>{2560, 5120, 7680, 10240}));
    EXPECT_EQ(SampleAt(2).data[0], -256);
}

TEST(LoaderSamples, LoopsAreNormalisedAndKeptInsideTheSample) {
    struct Case {
        const char* what;
        uint8_t type;
        uint32_t loopStart, loopLength; // bytes, as stored
        uint8_t loopType;
        uint32_t keptStart, keptLength; // frames
    } cases[] = {
        {"no loop type", 0, 8, 32, 0, 0, 100},
        {"forward of no length", 1, 8, 0, 0, 0, 100},
        {"forward", 1, 8, 32, 1, 8, 32},
        {"ping-pong", 2, 8, 32, 2, 8, 32},
        {"type 3 kept", 3, 8, 32, 3, 8, 32},
        {"loop to the end", 1, 60, 40, 1, 60, 40},
        {"loop past the end", 1, 60, 100, 1, 60, 40},
        {"loop start at the end", 1, 100, 10, 0, 0, 100},
        {"huge loop", 2, 0xFFFFFFF0u, 0xFFFFFFF0u, 0, 0, 100},
        {"huge loop length", 1, 10, 0xFFFFFFFFu, 1, 10, 90},
        {"16-bit halved", 0x11, 16, 64, 1, 8, 32},
    };
    for (const Case& c : cases) {
        XmSamplePlan stored = RampSample8(100);
        if (c.type & 0x10) {
            stored = XmSamplePlan{};
            stored.length = 200;
            stored.data.assign(200, '\x01');
        }
        stored.type = c.type;
        stored.loopStart = c.loopStart;
        stored.loopLength = c.loopLength;
        ASSERT_TRUE(LoadSamples({stored})) << c.what;
        const Sample& sample = SampleAt(0);
        EXPECT_EQ(sample.length, 100u) << c.what;
        EXPECT_EQ(sample.loopType, c.loopType) << c.what;
        EXPECT_EQ(sample.loopStart, c.keptStart) << c.what;
        EXPECT_EQ(sample.loopLength, c.keptLength) << c.what;
    }
}

TEST(LoaderSamples, GuardFrameRepeatsTheLoopStartOrTheLoopEnd) {
    struct Case {
        uint8_t type;
        int guardFrom; // frame whose value the guard takes; -1: the slot stays 0
    } cases[] = {{1, 8}, {2, 39}, {0, -1}, {3, -1}};
    for (const Case& c : cases) {
        XmSamplePlan stored = RampSample8(40);
        stored.type = c.type;
        stored.loopStart = 8;
        stored.loopLength = 32;
        ASSERT_TRUE(LoadSamples({stored}));
        const Sample& sample = SampleAt(0);
        int expected = c.guardFrom < 0 ? 0 : sample.data[c.guardFrom];
        EXPECT_EQ(sample.data[40], expected) << "loop type " << int(c.type);
        EXPECT_NE(sample.data[8], sample.data[39]); // the two choices differ
    }
}

TEST(LoaderSamples, FramesHaveAZeroSlotBeforeAndTwoSpareSlotsAfter) {
    XmSamplePlan stored = Sample8({100, 100, 100});
    stored.type = 1;
    stored.loopStart = 0;
    stored.loopLength = 3;
    ASSERT_TRUE(LoadSamples({stored}));
    const Sample& sample = SampleAt(0);
    EXPECT_EQ(sample.data[-1], 0);
    EXPECT_EQ(sample.data[3], 100 * 256); // guard
    EXPECT_EQ(sample.data[4], 0);
    EXPECT_EQ(sample.data[5], 0);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(sample.data - 1),
              reinterpret_cast<const uint8_t*>(&sample) + sizeof(Sample)); // one block
}

TEST(LoaderSamples, SampleHeadersShorterThan18BytesLeaveTheRestZero) {
    XmSamplePlan stored = Sample8({1, 2, 3, 4});
    stored.volume = 33;
    stored.panning = 99;
    stored.type = 1;
    stored.loopLength = 2;
    // 13 bytes: length, loop start, loop length and volume; no type, so no loop.
    ASSERT_TRUE(LoadSamples({stored, Sample8({5})}, 13));
    EXPECT_EQ(SampleAt(0).length, 4u);
    EXPECT_EQ(SampleAt(0).volume, 33);
    EXPECT_EQ(SampleAt(0).panning, 0);
    EXPECT_EQ(SampleAt(0).loopType, 0);
    EXPECT_EQ(SampleAt(1).data[0], 5 * 256);
    ASSERT_TRUE(LoadSamples({stored}, 0)); // no header bytes at all: an empty sample
    EXPECT_EQ(SampleAt(0).length, 0u);
}

TEST(LoaderSamples, SamplesOf2To22FramesOrMoreFailBeforeAnyAllocation) {
    struct Case {
        uint32_t length;
        uint8_t type;
        bool loads;
    } cases[] = {
        {(1u << 22) - 1, 0, true}, {1u << 22, 0, false},    {(1u << 23) - 1, 0x10, true},
        {1u << 23, 0x10, false},   {0xFFFFFFFFu, 0, false}, {0xFFFFFFFFu, 0x10, false},
    };
    for (const Case& c : cases) {
        XmSamplePlan stored;
        stored.length = c.length;
        stored.type = c.type;
        XmModulePlan plan = MinimalModule();
        plan.instruments.push_back(InstrumentWith({stored}));
        EXPECT_EQ(LoadPlanFailure(plan), c.loads ? LoadFailure::None : LoadFailure::SampleTooLong)
            << c.length;
    }
}

} // namespace
