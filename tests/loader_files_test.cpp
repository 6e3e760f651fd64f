// The loader on files from elsewhere: the shared robustness set (odd, broken and hostile
// modules) and a large real module from a Debian package.
#include "module_checks.h"
#include "module_snapshot.h"
#include "snapshot_plan.h"
#include "test_paths.h"
#include "xm_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

TEST(LoaderFiles, RobustnessModulesLoadOrFailForTheRuleTheyBreak) {
    // The modules that do not load, and why; every other one must load.
    const std::map<std::string, LoadFailure> refused = {
        {"f_load_xm_invalid_instsize.xm", LoadFailure::NoPatterns},
        {"f_load_xm_invalid_pattern_length.xm", LoadFailure::Truncated},
        {"f_load_xm_zero_samples.xm", LoadFailure::SongLength},
        {"ice21_ambiguous.xm", LoadFailure::SongLength}, // not an XM module at all
    };
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SharedDataPath("xm/robustness"))) {
        std::string name = entry.path().filename().string();
        std::string image = ReadWholeFile(entry.path().string());
        ASSERT_FALSE(image.empty()) << name;
        ++files;
        auto failure = refused.find(name);
        bool loads = failure == refused.end();
        EXPECT_EQ(ReadModuleImage(image.data(), image.size()),
                  loads ? LoadFailure::None : failure->second)
            << name;
        if (loads) {
            EXPECT_EQ(BrokenRecordPromise(), "") << name;
        }
        // The same module cut short must load or fail cleanly too.
        for (size_t size : {image.size() / 2, image.size() - 1, size_t(400)})
            if (size < image.size() && LoadModuleImage(image.data(), size)) {
                EXPECT_EQ(BrokenRecordPromise(), "") << name << " cut at " << size;
            }
    }
    EXPECT_EQ(files, 57);
}

// Fetched by scripts/fetch-real-xm.sh (the setup script runs it).
const char kRealModule[] = "build/realfiles/frozen-mainzik-2p.xm";

TEST(LoaderFiles, LargeRealModuleLoadsWithTheCountsItDeclares) {
    std::string image = ReadWholeFile(SourcePath(kRealModule));
    if (image.empty()) GTEST_SKIP() << kRealModule << " is absent: run scripts/fetch-real-xm.sh";
    ASSERT_EQ(image.size(), 2490278u);
    ASSERT_TRUE(LoadModuleImage(image.data(), image.size()));
    ModuleSnapshot module = TakeSnapshot();
    // The counts a tracker shows for this module, and what xminfo prints.
    EXPECT_EQ(module.channelCount, 22u);
    EXPECT_EQ(module.songLength, 115);
    EXPECT_EQ(module.storedPatterns, 145);
    EXPECT_EQ(module.patternCount, 145);
    EXPECT_EQ(module.instrumentCount, 88);
    EXPECT_EQ(module.flags & 1, 1); // linear frequency table
    EXPECT_EQ(module.defaultTempo, 2);
    EXPECT_EQ(module.defaultBpm, 182);
    int samples = 0, sixteenBit = 0, pingPong = 0;
    for (const InstrumentSnapshot& instrument : module.instruments)
        for (const SampleSnapshot& sample : instrument.samples) {
            ++samples;
            sixteenBit += sample.fields.is16Bit;
            pingPong += sample.fields.loopType == 2;
        }
    EXPECT_EQ(samples, 55);
    EXPECT_EQ(sixteenBit, 33);
    EXPECT_EQ(pingPong, 10);
}

TEST(LoaderFiles, LargeRealModuleRoundTripsThroughTheCompactedLayout) {
    std::string image = ReadWholeFile(SourcePath(kRealModule));
    if (image.empty()) GTEST_SKIP() << kRealModule << " is absent: run scripts/fetch-real-xm.sh";
    ASSERT_TRUE(LoadModuleImage(image.data(), image.size()));
    ModuleSnapshot original = TakeSnapshot();
    std::string compacted = WriteXm(PlanFromSnapshot(original, XmLayout::Compacted));
    ASSERT_TRUE(LoadModuleImage(compacted.data(), compacted.size()));
    EXPECT_EQ(FirstDifference(original, TakeSnapshot()), "");
    std::string expanded = WriteXm(PlanFromSnapshot(TakeSnapshot(), XmLayout::Standard));
    ASSERT_TRUE(LoadModuleImage(expanded.data(), expanded.size()));
    EXPECT_EQ(FirstDifference(original, TakeSnapshot()), "");
}

} // namespace
