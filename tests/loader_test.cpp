// The module loader: header, patterns and cells, instruments and envelopes, sample headers and
// data, and failures, each checked against what the image says.
#include "xm_builder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const Song& song = gPlayer.song;

Cell CellOf(uint8_t note, uint8_t instrument, uint8_t volume, uint8_t effect, uint8_t parameter) {
    return Cell{note, instrument, volume, effect, parameter};
}

void ExpectCell(const Cell& cell, const Cell& expected, const char* what) {
    EXPECT_EQ(cell.note, expected.note) << what;
    EXPECT_EQ(cell.instrument, expected.instrument) << what;
    EXPECT_EQ(cell.volumeColumn, expected.volumeColumn) << what;
    EXPECT_EQ(cell.effect, expected.effect) << what;
    EXPECT_EQ(cell.parameter, expected.parameter) << what;
}

// A module with `instruments` instruments of no samples, for cells that name instruments.
XmModulePlan ModuleWithInstruments(int instruments) {
    XmModulePlan plan = MinimalModule();
    plan.instruments.resize(instruments);
    return plan;
}

// ---- Header and song fields.

TEST(LoaderHeader, CompactedLayoutWithZeroIdentificationLoads) {
    XmModulePlan plan = MinimalModule(XmLayout::Compacted);
    plan.name = "built-in tune";
    plan.channels = 4;
    plan.restartPosition = 3;
    plan.flags = 0;
    plan.tempo = 6;
    plan.bpm = 125;
    ASSERT_TRUE(LoadPlan(plan));
    EXPECT_STREQ(gPlayer.songTitle, "built-in tune");
    EXPECT_EQ(song.channelCount, 4u);
    EXPECT_EQ(song.songLength, 1);
    EXPECT_EQ(song.restartPosition, 3);
    EXPECT_EQ(song.flags, 0);
    EXPECT_EQ(song.defaultTempo, 6);
    EXPECT_EQ(song.defaultBpm, 125);
}

TEST(LoaderHeader, TitleKeepsBytes20To7FAndIsNotEndedByZeroBytes) {
    struct Case {
        std::string name;
        const char* title;
    } cases[] = {
        {std::string("Ab\0cd", 5), "Abcd"},
        {"\x01\x1F tab\tend\x7F\x80\xFF", " tabend\x7F"},
        {"12345678901234567890", "12345678901234567890"},
        {"", ""},
    };
    for (const Case& c : cases) {
        XmModulePlan plan = MinimalModule();
        plan.name = c.name;
        ASSERT_TRUE(LoadPlan(plan));
        EXPECT_STREQ(gPlayer.songTitle, c.title);
    }
}

TEST(LoaderHeader, HeaderSizeOf33PutsTheFirstPatternAt93AndIgnoresLaterOrderBytes) {
    XmModulePlan plan = MinimalModule(XmLayout::Compacted);
    plan.orders = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    plan.patterns[0] = PatternOf(2, std::vector<Cell>(8, CellOf(49, 0, 0, 0, 0)));
    std::string image = WriteXm(plan);
    ASSERT_EQ(image[60], 33);
    ASSERT_EQ(image[93 + 5], 2); // the pattern header's row count
    ASSERT_TRUE(LoadModuleImage(image.data(), image.size()));
    EXPECT_EQ(song.songLength, 13);
    EXPECT_EQ(song.patternCount, 1); // the pattern bytes standing in order entries 13.. count not
    EXPECT_EQ(song.patterns[0].rowCount, 2);
    EXPECT_EQ(song.patterns[0].cells[7].note, 49);
}

TEST(LoaderHeader, SongLengthMustBe1To256) {
    struct Case {
        int length;
        bool loads;
    } cases[] = {{0, false}, {1, true}, {256, true}, {257, false}, {0xFFFF, false}};
    for (const Case& c : cases) {
        XmModulePlan plan = MinimalModule();
        plan.songLengthField = c.length;
        EXPECT_EQ(LoadPlanFailure(plan), c.loads ? LoadFailure::None : LoadFailure::SongLength)
            << "song length " << c.length;
    }
    ASSERT_TRUE(LoadPlan([] {
        XmModulePlan plan = MinimalModule();
        plan.songLengthField = 256;
        return plan;
    }()));
    EXPECT_EQ(song.songLength, 256);
    EXPECT_EQ(song.patternCount, 1); // the standard order table's unused entries are 0
}

TEST(LoaderHeader, ChannelCountIsTheLowByteAndMustBe1To32) {
    struct Case {
        uint16_t channels;
        uint32_t loaded; // 0: the load fails
    } cases[] = {{0, 0}, {1, 1}, {32, 32}, {33, 0}, {0x0104, 4}, {0x0100, 0}};
    for (const Case& c : cases) {
        XmModulePlan plan = MinimalModule();
        plan.channels = c.channels;
        LoadFailure outcome = LoadPlanFailure(plan);
        EXPECT_EQ(outcome, c.loaded ? LoadFailure::None : LoadFailure::ChannelCount)
            << "channels " << c.channels;
        if (c.loaded) {
            EXPECT_EQ(song.channelCount, c.loaded);
        }
    }
}

// ---- Patterns and cells.

TEST(LoaderPatterns, PatternsNamedOnlyByTheOrderTableAre64EmptyRows) {
    XmModulePlan plan = MinimalModule();
    plan.orders = {0, 11, 3};
    plan.patterns.resize(8, PatternOf(1, std::vector<Cell>(4, CellOf(1, 0, 0, 0, 0))));
    ASSERT_TRUE(LoadPlan(plan));
    EXPECT_EQ(song.patternCount, 12);
    EXPECT_EQ(static_cast<void*>(song.instruments), song.patterns + 12); // one block for both
    EXPECT_EQ(song.patterns[7].rowCount, 1);
    for (int p = 8; p < 12; ++p) {
        EXPECT_EQ(song.patterns[p].rowCount, 64) << p;
        EXPECT_EQ(song.patterns[p].packedSize, 0) << p;
        for (int c = 0; c < 64 * 4; ++c) ASSERT_EQ(song.patterns[p].cells[c].note, 0);
    }
}

TEST(LoaderPatterns, StoredPatternsBeyondTheOrderTableAreAllLoaded) {
    XmModulePlan plan = MinimalModule();
    plan.orders = {0, 1, 2, 3, 4};
    plan.patterns.resize(20);
    plan.patterns[19] = PatternOf(3, std::vector<Cell>(12, CellOf(2, 0, 0, 0, 0)));
    ASSERT_TRUE(LoadPlan(plan));
    EXPECT_EQ(song.patternCount, 20);
    EXPECT_EQ(song.patterns[19].rowCount, 3);
    EXPECT_EQ(song.patterns[19].cells[11].note, 2);
}

TEST(LoaderPatterns, NoStoredPatternOrAPatternOfNoRowsFails) {
    XmModulePlan none = MinimalModule();
    none.patternCountField = 0;
    EXPECT_EQ(LoadPlanFailure(none), LoadFailure::NoPatterns);
    XmModulePlan empty = MinimalModule();
    empty.patterns.push_back(XmPatternPlan{});
    empty.patterns[1].rows = 0;
    EXPECT_EQ(LoadPlanFailure(empty), LoadFailure::EmptyPattern);
}

TEST(LoaderPatterns, PackedSizeZeroMeansEmptyCellsAndTheNextHeaderFollowsAtOnce) {
    XmModulePlan plan = MinimalModule();
    plan.patterns[0].rows = 16;
    plan.patterns.push_back(PatternOf(2, std::vector<Cell>(8, CellOf(5, 0, 0, 0, 0))));
    plan.orders = {0, 1};
    ASSERT_TRUE(LoadPlan(plan));
    EXPECT_EQ(song.patterns[0].rowCount, 16);
    EXPECT_EQ(song.patterns[0].cells[63].note, 0);
    EXPECT_EQ(song.patterns[1].rowCount, 2);
    EXPECT_EQ(song.patterns[1].cells[0].note, 5);
}

TEST(LoaderPatterns, CellFormsConsumeTheirBytes) {
    XmModulePlan plan = ModuleWithInstruments(4);
    plan.channels = 1;
    plan.patterns[0].rows = 7;
    plan.patterns[0].data = std::string("\x00\x01\x02\x03\x04", 5) // plain, note 0
                            + "\x80"                               // empty
                            + "\x98\x0F\x20"                       // effect and parameter only
                            + "\x31\x03\x40\x0C\x30"               // plain, all fields
                            + "\x83\x31\x05"                       // instrument 5 of 4
                            + "\x9F\x61\x04\x10\x01\x02"           // all fields, bit-7 form
                            + "\x84\x22";                          // volume column only
    ASSERT_TRUE(LoadPlan(plan));
    const Cell* cells = song.patterns[0].cells;
    ExpectCell(cells[0], CellOf(0, 1, 2, 3, 4), "0x00 and four bytes");
    ExpectCell(cells[1], CellOf(0, 0, 0, 0, 0), "0x80");
    ExpectCell(cells[2], CellOf(0, 0, 0, 0x0F, 0x20), "0x98");
    ExpectCell(cells[3], CellOf(0x31, 3, 0x40, 0x0C, 0x30), "plain");
    ExpectCell(cells[4], CellOf(0x31, 0, 0, 0, 0), "instrument above the count");
    ExpectCell(cells[5], CellOf(0x61, 4, 0x10, 1, 2), "0x9F");
    ExpectCell(cells[6], CellOf(0, 0, 0x22, 0, 0), "0x84");
}

TEST(LoaderPatterns, CellsAreReadByCountWhateverThePackedSizeSays) {
    XmModulePlan plan = MinimalModule();
    plan.channels = 1;
    plan.patterns[0] = PatternOf(2, {CellOf(1, 0, 0, 0, 0), CellOf(2, 0, 0, 0, 0)});
    plan.patterns[0].packedSizeField = 1; // too small: still two cells are read
    plan.patterns.push_back(PatternOf(1, {CellOf(3, 0, 0, 0, 0)}));
    plan.patterns[1].packedSizeField = 200; // too large: the next header follows the cells
    plan.patterns.push_back(PatternOf(1, {CellOf(4, 0, 0, 0, 0)}));
    ASSERT_TRUE(LoadPlan(plan));
    EXPECT_EQ(song.patterns[0].cells[1].note, 2);
    EXPECT_EQ(song.patterns[1].cells[0].note, 3);
    EXPECT_EQ(song.patterns[2].cells[0].note, 4);
}

// ---- Instruments and envelopes.

TEST(LoaderInstruments, InstrumentOf29BytesWithoutSamplesIsFollowedByTheNextOne) {
    XmModulePlan plan = MinimalModule();
    plan.instruments.resize(1);
    plan.instruments[0].size = 29;
    plan.instruments.push_back(InstrumentWith({Sample8({1, 2, 3})}));
    plan.instruments[1].vibratoDepth = 7;
    ASSERT_TRUE(LoadPlan(plan));
    EXPECT_EQ(song.instrumentCount, 2);
    EXPECT_EQ(song.instruments[0].samples[0], nullptr);
    ASSERT_NE(song.instruments[1].samples[0], nullptr);
    EXPECT_EQ(song.instruments[1].vibratoDepth, 7);
    EXPECT_EQ(song.instruments[1].samples[0]->data[2], 3 * 256);
}

TEST(LoaderInstruments, ReservedTailIsSkippedByTheInstrumentSize) {
    XmModulePlan plan = MinimalModule();
    plan.instruments.push_back(InstrumentWith({Sample8({9})}));
    plan.instruments[0].size = 263 + 50;
    plan.instruments.push_back(InstrumentWith({Sample8({-5})}));
    ASSERT_TRUE(LoadPlan(plan));
    EXPECT_EQ(song.instruments[0].samples[0]->data[0], 9 * 256);
    EXPECT_EQ(song.instruments[1].samples[0]->data[0], -5 * 256);
}

TEST(LoaderInstruments, SampleCountAndSampleHeaderSizeLimits) {
    struct Case {
        int samples;
        uint32_t headerSize;
        LoadFailure failure;
    } cases[] = {
        {16, 40, LoadFailure::None},
        {17, 40, LoadFailure::TooManySamples},
        {1, 41, LoadFailure::SampleHeaderSize},
        {1, 18, LoadFailure::None},
        {0, 1000, LoadFailure::None}, // no samples: the header size plays no part
    };
    for (const Case& c : cases) {
        XmModulePlan plan = MinimalModule();
        plan.instruments.push_back(
            InstrumentWith(std::vector<XmSamplePlan>(size_t(c.samples), Sample8({1}))));
        plan.instruments[0].sampleHeaderSize = c.headerSize;
        EXPECT_EQ(LoadPlanFailure(plan), c.failure)
            << c.samples << " samples, headers of " << c.headerSize;
    }
    ASSERT_TRUE(LoadPlan([] {
        XmModulePlan plan = MinimalModule();
        plan.instruments.push_back(InstrumentWith(std::vector<XmSamplePlan>(16, Sample8({1}))));
        return plan;
    }()));
    EXPECT_NE(song.instruments[0].samples[15], nullptr);
}

TEST(LoaderInstruments, InstrumentFieldsAreCopiedAndFadeoutDoubled) {
    XmModulePlan plan = MinimalModule();
    plan.instruments.push_back(InstrumentWith({Sample8({1})}));
    XmInstrumentPlan& instrument = plan.instruments[0];
    instrument.sampleMap[0] = 3;
    instrument.sampleMap[95] = 15;
    instrument.volume.count = 3;
    instrument.volume.points[2] = EnvelopePoint{40, 64};
    instrument.volume.type = 3;
    instrument.volume.sustain = 1;
    instrument.panning.count = 2;
    instrument.panning.points[1] = EnvelopePoint{7, 32};
    instrument.panning.type = 5;
    instrument.vibratoType = 1;
    instrument.vibratoSweep = 2;
    instrument.vibratoRate = 4;
    instrument.fadeout = 0x9000;
    ASSERT_TRUE(LoadPlan(plan));
    const Instrument& loaded = song.instruments[0];
    EXPECT_EQ(loaded.sampleMap[0], 3);
    EXPECT_EQ(loaded.sampleMap[95], 15);
    EXPECT_EQ(loaded.volumeEnvelope[2].x, 40);
    EXPECT_EQ(loaded.volumeEnvelope[2].y, 64);
    EXPECT_EQ(loaded.volumeType, 3);
    EXPECT_EQ(loaded.volumeSustain, 1);
    EXPECT_EQ(loaded.panningEnvelope[1].x, 7);
    EXPECT_EQ(loaded.panningType, 5);
    EXPECT_EQ(loaded.vibratoType, 1);
    EXPECT_EQ(loaded.vibratoSweep, 2);
    EXPECT_EQ(loaded.vibratoRate, 4);
    EXPECT_EQ(loaded.fadeout, 0x2000); // 2 x 0x9000, modulo 65536
}

TEST(LoaderInstruments, EnvelopesKeepTheirIndicesAndTypeWithinTwelvePoints) {
    struct Case {
        uint8_t count, sustain, loopStart, loopEnd, type;
        uint8_t keptCount, keptSustain, keptLoopStart, keptLoopEnd, keptType;
    } cases[] = {
        {6, 2, 1, 4, 7, 6, 2, 1, 4, 7},     // well formed: as read
        {3, 0, 1, 3, 5, 3, 0, 1, 3, 5},     // loop end at the count: as read, never reached
        {4, 9, 1, 11, 7, 4, 9, 1, 11, 7},   // sustain and loop end past the count: as read
        {1, 0, 0, 0, 1, 1, 0, 0, 0, 0},     // one point: off
        {0, 5, 5, 5, 7, 0, 5, 5, 5, 0},     // no points: off
        {20, 3, 2, 30, 7, 12, 3, 2, 30, 7}, // too many points: 12
        {6, 15, 6, 2, 7, 6, 15, 6, 2, 7},   // loop start at the count: as read
        {255, 255, 255, 255, 7, 12, 255, 255, 255, 7},
    };
    for (const Case& c : cases) {
        XmModulePlan plan = MinimalModule();
        plan.instruments.push_back(InstrumentWith({Sample8({1})}));
        XmEnvelopePlan& envelope = plan.instruments[0].volume;
        envelope = XmEnvelopePlan{{}, c.count, c.sustain, c.loopStart, c.loopEnd, c.type};
        plan.instruments[0].panning = envelope;
        ASSERT_TRUE(LoadPlan(plan));
        const Instrument& loaded = song.instruments[0];
        SCOPED_TRACE(testing::Message() << "count " << int(c.count));
        EXPECT_EQ(loaded.volumePointCount, c.keptCount);
        EXPECT_EQ(loaded.volumeSustain, c.keptSustain);
        EXPECT_EQ(loaded.volumeLoopStart, c.keptLoopStart);
        EXPECT_EQ(loaded.volumeLoopEnd, c.keptLoopEnd);
        EXPECT_EQ(loaded.volumeType, c.keptType);
        EXPECT_EQ(loaded.panningPointCount, c.keptCount);
        EXPECT_EQ(loaded.panningSustain, c.keptSustain);
        EXPECT_EQ(loaded.panningLoopStart, c.keptLoopStart);
        EXPECT_EQ(loaded.panningLoopEnd, c.keptLoopEnd);
        EXPECT_EQ(loaded.panningType, c.keptType);
    }
}

} // namespace
