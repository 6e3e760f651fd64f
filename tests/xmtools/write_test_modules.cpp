// Writes the test builder's modules into the folder given: the seeds of the fuzz target and the
// inputs of the tools' command-line checks.
#include "xm_builder.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xm_test_modules FOLDER\n");
        return 2;
    }
    const struct {
        const char* name;
        std::string image;
    } modules[] = {
        {"minimal-standard.xm", WriteXm(MinimalModule(XmLayout::Standard))},
        {"minimal-compacted.xm", WriteXm(MinimalModule(XmLayout::Compacted))},
        {"every-feature-standard.xm", WriteXm(EveryFeatureModule(XmLayout::Standard))},
        {"every-feature-compacted.xm", WriteXm(EveryFeatureModule(XmLayout::Compacted))},
        // Ends 24 bytes into instrument 3 of 5, which no cell names.
        {"tail-trimmed.xm", CutInsideInstrument(TailModule(false), 3, 24)},
    };
    for (const auto& module : modules) {
        std::string path = std::string(argv[1]) + "/" + module.name;
        if (!WriteFileBytes(path.c_str(), module.image)) {
            std::fprintf(stderr, "xm_test_modules: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
