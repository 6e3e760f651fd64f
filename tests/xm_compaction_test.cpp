// Writing loaded modules out again: the compacted layout of the built-in module and the
// standard layout both load into the same records as the module they came from.
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
    }
    EXPECT_GE(loaded, 50);
}

} // namespace
