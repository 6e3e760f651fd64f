// Writes the fuzz target's seed modules (the test builder's images) into the folder given.
#include "xm_builder.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xm_fuzz_seeds FOLDER\n");
        return 2;
    }
    const struct {
        const char* name;
        XmModulePlan plan;
    } seeds[] = {
        {"minimal-standard.xm", MinimalModule(XmLayout::Standard)},
        {"minimal-compacted.xm", MinimalModule(XmLayout::Compacted)},
        {"every-feature-standard.xm", EveryFeatureModule(XmLayout::Standard)},
        {"every-feature-compacted.xm", EveryFeatureModule(XmLayout::Compacted)},
    };
    for (const auto& seed : seeds) {
        std::string path = std::string(argv[1]) + "/" + seed.name;
        if (!WriteFileBytes(path.c_str(), WriteXm(seed.plan))) {
            std::fprintf(stderr, "xm_fuzz_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
