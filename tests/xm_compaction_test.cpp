// Writing loaded modules out again: the compacted layout of the built-in module and the
// standard layout both load into the same records as the module they came from.
#include "file_layout.h"
#include "module_snapshot.h"
#include "snapshot_plan.h"
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
    std::string written = WriteXm(PlanFromSnapshot(original, layout));
    EXPECT_TRUE(LoadModuleImage(written.data(), written.size())) << name;
    EXPECT_EQ(FirstDifference(original, TakeSnapshot()), "") << name;
    return written;
}

// A module as a tracker leaves it: a title with a byte the player does not show, names, a
// tracker name and a chunk behind the data.
XmModulePlan NamedModule() {
    XmModulePlan plan = EveryFeatureModule();
    plan.name = std::string("credits \x85 here\0\x01", 16);
    plan.trackerName = "SomeTracker 1.0";
    plan.instruments.push_back(InstrumentWith({RampSample8(300)}));
    for (size_t i = 0; i < plan.instruments.size(); ++i) {
        plan.instruments[i].name = "instrument " + std::to_string(i + 1);
        for (XmSamplePlan& sample : plan.instruments[i].samples) sample.name = "by someone";
    }
    plan.trailing = std::string("TEXT\x05\0\0\0hello", 13);
    return plan;
}

// Loads `image` and writes it in `layout` with the texts it keeps.
std::string Rewrite(const std::string& image, XmLayout layout, std::string* dropped = nullptr) {
    EXPECT_TRUE(LoadModuleImage(image.data(), image.size()));
    XmModulePlan plan = PlanFromSnapshot(TakeSnapshot(), layout);
    XmFileLayout file = WalkXmFile(image);
    KeepFileTexts(plan, file, image);
    if (dropped != nullptr) *dropped = DroppedTexts(layout, file, image);
    return WriteXm(plan);
}

TEST(XmCompaction, GeneratedModulesLoadTheSameInBothLayouts) {
    for (XmLayout from : {XmLayout::Standard, XmLayout::Compacted}) {
        std::string image = WriteXm(EveryFeatureModule(from));
        std::string compacted = RoundTrip(image, XmLayout::Compacted, "compacted");
        std::string expanded = RoundTrip(compacted, XmLayout::Standard, "expanded");
        EXPECT_LT(compacted.size(), expanded.size());
    }
}

TEST(XmCompaction, CompactedLayoutIsThatOfTheBuiltInModule) {
    XmModulePlan plan = EveryFeatureModule();
    plan.instruments.push_back(InstrumentWith({RampSample8(10)}));
    std::string image = RoundTrip(WriteXm(plan), XmLayout::Compacted, "compacted");
    EXPECT_EQ(gPlayer.sourcePosition, int32_t(image.size())); // loading read it all, no more
    const char zeros[60] = {};
    EXPECT_EQ(std::memcmp(image.data(), zeros, 17), 0);      // ID text
    EXPECT_EQ(image.substr(17, 13), "every feature");        // the title as Module name
    EXPECT_EQ(std::memcmp(image.data() + 37, zeros, 23), 0); // 0x1A, tracker, version
    EXPECT_EQ(image[60], 20 + 3);                            // Header size: 3 order entries
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
        XmFileLayout file = WalkXmFile(image);
        if (!CutShortText(file, image.size()).empty()) continue; // names past the end are gone
        XmFileLayout expanded = WalkXmFile(Rewrite(image, XmLayout::Standard));
        EXPECT_EQ(expanded.instrumentNames, file.instrumentNames) << name;
        EXPECT_EQ(expanded.sampleNames, file.sampleNames) << name;
    }
    EXPECT_GE(loaded, 50);
}

TEST(XmCompaction, StandardLayoutKeepsTheTextsTheCompactedOneNamesWhatItDrops) {
    XmModulePlan plan = NamedModule();
    std::string image = WriteXm(plan);
    XmFileLayout original = WalkXmFile(image);
    std::string dropped;
    std::string compacted = Rewrite(image, XmLayout::Compacted, &dropped);
    size_t samples = 0;
    for (const XmInstrumentPlan& instrument : plan.instruments)
        samples += instrument.samples.size();
    EXPECT_EQ(dropped, "the tracker name \"SomeTracker 1.0\", " +
                           std::to_string(plan.instruments.size()) + " instrument names, " +
                           std::to_string(samples) +
                           " sample names, 13 bytes behind the module's data (such as a song "
                           "message)");
    EXPECT_EQ(WalkXmFile(compacted).moduleName, original.moduleName);
    for (const std::string& from : {image, compacted}) {
        std::string expanded = Rewrite(from, XmLayout::Standard);
        XmFileLayout file = WalkXmFile(expanded);
        EXPECT_EQ(file.moduleName, original.moduleName);
        EXPECT_EQ(file.trackerName == original.trackerName, from == image);
        EXPECT_EQ(expanded.size() - file.dataEnd, from == image ? 13u : 0u);
        EXPECT_EQ(file.instrumentNames == original.instrumentNames, from == image);
        EXPECT_EQ(file.sampleNames == original.sampleNames, from == image);
    }
}

// One stored pattern of empty rows, then a second of notes without instruments that the order
// table names only when `played`; the image ends 3 bytes into the second pattern's last cell.
std::string CutInsideSecondPattern(bool played) {
    XmModulePlan plan = MinimalModule();
    plan.patterns.push_back(PatternOf(2, std::vector<Cell>(8, Cell{49, 0, 0x40, 0x0C, 0x20})));
    if (played) plan.orders.push_back(1);
    std::string image = WriteXm(plan);
    return image.substr(0, image.size() - 3);
}

// A sample header of 2 bytes: the loader takes the Sample length from those two and reads 256
// data bytes; the two stored length bytes beyond the header are not its own.
std::string ShortSampleHeaders() {
    XmModulePlan plan = MinimalModule();
    plan.instruments.push_back(InstrumentWith({RampSample8(256)}));
    plan.instruments[0].sampleHeaderSize = 2;
    plan.instruments[0].samples[0].length = 0x00FF0100;
    return WriteXm(plan);
}

TEST(XmCompaction, MissingBytesAreLostOnlyWhereTheSongUsesThem) {
    XmModulePlan lastNamed = TailModule(true);
    lastNamed.instruments.resize(3);
    std::string whole = WriteXm(lastNamed);
    const size_t intoData = 263 + 40 + 200; // header, sample header, 200 of 300 data bytes
    auto stops = [](const std::string& where) {
        return "the file stops " + where + ", so the song misses nothing";
    };
    const std::string tail =
        stops("inside instrument 3 of 5; no pattern names it or any instrument after it");
    const struct {
        const char* cut;
        std::string image;
        std::string lost; // what the tools report as cut short
        std::string note; // what xminfo lists instead
    } cases[] = {
        {"nowhere", whole, "", ""},
        {"nowhere, with sample headers shorter than their fields", ShortSampleHeaders(), "", ""},
        {"into the header of an instrument no cell names",
         CutInsideInstrument(TailModule(false), 3, 24), "", tail},
        {"into the header of an instrument a cell names",
         CutInsideInstrument(TailModule(true), 3, 24),
         "the file ends at least 268 bytes before its module does; lost from instrument 3 on: 1 "
         "instrument header (played as silence or empty)",
         ""},
        {"just before an instrument no cell names", CutInsideInstrument(TailModule(false), 3, 0),
         "", stops("before instrument 3 of 5; no pattern names it or any instrument after it")},
        {"into the last instrument, which no cell names",
         CutInsideInstrument(TailModule(false), 5, 10), "",
         stops("inside instrument 5 of 5; no pattern names it")},
        {"into the sample data of an instrument no cell names",
         CutInsideInstrument(TailModule(false), 3, intoData), "", tail},
        {"into the sample data of an instrument a cell names",
         CutInsideInstrument(TailModule(true), 3, intoData),
         "the file ends at least 129 bytes before its module does; lost from the data of sample 1 "
         "of instrument 3 on: 1 sample's data (played as silence or empty)",
         ""},
        {"into the sample data of the last instrument, named", whole.substr(0, whole.size() - 100),
         "the file ends 100 bytes before its module does; lost from the data of sample 1 of "
         "instrument 3 on: 1 sample's data (played as silence or empty)",
         ""},
        {"into a pattern the song does not play", CutInsideSecondPattern(false), "",
         stops("inside pattern 1, which the song does not play; no pattern names an instrument")},
        {"into a pattern the song plays", CutInsideSecondPattern(true),
         "the file ends at least 3 bytes before its module does; lost from pattern 1 on: 1 "
         "pattern (played as silence or empty)",
         ""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadModuleImage(c.image.data(), c.image.size())) << c.cut;
        XmFileLayout file = WalkXmFile(c.image);
        EXPECT_EQ(CutShortText(file, c.image.size()), c.lost) << c.cut;
        EXPECT_EQ(TrimmedTailText(file, c.image.size()), c.note) << c.cut;
        if (!c.lost.empty()) continue;
        // Whole for every purpose: both layouts load into the same records, and the standard
        // one keeps the names, as far as the file holds them.
        ModuleSnapshot original = TakeSnapshot();
        for (XmLayout layout : {XmLayout::Compacted, XmLayout::Standard}) {
            std::string written;
            EXPECT_EQ(RewriteModule(original, file, c.image, layout, written), "") << c.cut;
            XmFileLayout rewritten = WalkXmFile(written);
            EXPECT_EQ(CutShortText(rewritten, written.size()) +
                          TrimmedTailText(rewritten, written.size()),
                      "")
                << c.cut;
            if (layout == XmLayout::Standard) {
                EXPECT_EQ(rewritten.instrumentNames, file.instrumentNames) << c.cut;
            }
        }
    }
}

TEST(XmCompaction, AFileOfAnotherVersionIsNamedAsSuch) {
    std::string image = WriteXm(MinimalModule());
    EXPECT_EQ(RefusalText("a rule", WalkXmFile(image)), "a rule");
    image[58] = 2; // version 1.02
    EXPECT_EQ(
        RefusalText("a rule", WalkXmFile(image)),
        "the file is an XM of version 1.02, and only the version 1.04 layout is read (a rule)");
}

} // namespace
