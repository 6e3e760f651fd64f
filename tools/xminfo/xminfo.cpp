// xminfo FILE...: prints what the player's loader makes of each XM file, or one line saying why
// a file does not load. Exit status 1 when any file does not load.
#include "module_image.h"
#include "module_snapshot.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* Layout(const uint8_t* header) {
    if (std::memcmp(header, "Extended Module: ", 17) == 0) return "standard";
    for (int i = 0; i < 60; ++i)
        if (i < 17 || (i >= 37 && i < 60))
            if (header[i] != 0) return "unrecognised identification";
    return "compacted";
}

struct SampleCounts {
    int all = 0, sixteenBit = 0, packed = 0;
    int loops[4] = {};
};

SampleCounts CountSamples(const ModuleSnapshot& module) {
    SampleCounts counts;
    for (const InstrumentSnapshot& instrument : module.instruments)
        for (const SampleSnapshot& sample : instrument.samples) {
            ++counts.all;
            counts.sixteenBit += sample.fields.is16Bit;
            counts.packed += sample.fields.packing == 0xAD;
            ++counts.loops[sample.fields.loopType & 3];
        }
    return counts;
}

void Describe(const char* path, const ModuleSnapshot& module) {
    SampleCounts samples = CountSamples(module);
    std::printf("%s\n", path);
    std::printf("  title: \"%s\"\n", module.title.c_str());
    std::printf("  layout: %s\n", Layout(gPlayer.song.header));
    std::printf("  channels: %u\n", module.channelCount);
    std::printf("  song length: %u, restart position: %u\n", module.songLength,
                module.restartPosition);
    std::printf("  patterns: %u stored, %u in all\n", module.storedPatterns, module.patternCount);
    std::printf("  instruments: %u\n", module.instrumentCount);
    std::printf("  samples: %d (%d 8-bit, %d 16-bit, %d packed; loops: %d none, %d forward, "
                "%d ping-pong, %d type 3)\n",
                samples.all, samples.all - samples.sixteenBit, samples.sixteenBit, samples.packed,
                samples.loops[0], samples.loops[1], samples.loops[2], samples.loops[3]);
    std::printf("  frequency table: %s\n", module.flags & 1 ? "linear" : "Amiga");
    std::printf("  tempo: %u, BPM: %u\n", module.defaultTempo, module.defaultBpm);
}

bool Inform(const char* path) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        std::fprintf(stderr, "%s: not loaded: the file cannot be read\n", path);
        return false;
    }
    LoadFailure outcome = ReadModuleImage(bytes.data(), bytes.size());
    if (outcome != LoadFailure::None) {
        std::fprintf(stderr, "%s: not loaded: %s\n", path, LoadFailureText(outcome));
        return false;
    }
    Describe(path, TakeSnapshot());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: xminfo FILE...\n");
        return 2;
    }
    bool allLoaded = true;
    for (int i = 1; i < argc; ++i) allLoaded = Inform(argv[i]) && allLoaded;
    ReleaseModuleImage();
    return allLoaded ? 0 : 1;
}
