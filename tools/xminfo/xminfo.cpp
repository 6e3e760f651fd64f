// xminfo FILE...: prints what the player's loader makes of each XM file, or one line saying why
// a file does not load or what its song lacks. Exit status 1 when any file does not load or lacks
// something its song uses.
#include "module_image.h"
#include "module_input.h"
#include "module_snapshot.h"
#include "tool_main.h"
#include "tool_options.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kHelp[] =
    "Usage: xminfo [OPTION]... FILE...\n"
    "Print what the player's own loader makes of each XM module FILE: title, layout, channels,\n"
    "song length, patterns, instruments, samples, frequency table, tempo and BPM.\n"
    "\n"
    "A FILE of - is standard input (name a file called \"-\" as ./-).\n"
    "A file that cannot be read or does not load gets one line on standard error naming the\n"
    "file and the system's reason or the rule it breaks. A file that ends before its module\n"
    "does is listed; when the missing bytes belong to something the song uses (the order table,\n"
    "a pattern it plays, an instrument a pattern names) one line on standard error says how\n"
    "many bytes are missing and what was lost, otherwise a note in the listing says where the\n"
    "file stops.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Exit status: 0 when every file loads with all its song uses, 1 when any file does not load\n"
    "or lacks something its song uses, 2 for a usage error.\n";

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

void Describe(const std::string& path, const ModuleSnapshot& module, const std::string& note) {
    SampleCounts samples = CountSamples(module);
    std::printf("%s\n", path.c_str());
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
    if (!note.empty()) std::printf("  note: %s\n", note.c_str());
}

// One line on standard error about `path`; standard output is flushed first so that a listing
// and the lines about the files stay in file order when both go to one pipe.
void Complain(const std::string& path, const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr, "xminfo: %s: %s\n", path.c_str(), what.c_str());
}

bool Inform(const std::string& path) {
    ModuleInput input = ReadModuleInput(path);
    std::string fault = InputFault(input, "not loaded");
    if (!fault.empty()) {
        Complain(path, fault);
        return false;
    }
    Describe(path, TakeSnapshot(), input.trimmed);
    std::string version = VersionText(input.layout);
    if (!version.empty()) Complain(path, "warning: " + version);
    if (!input.cutShort.empty()) Complain(path, "cut short: " + input.cutShort);
    std::fflush(stdout);
    return input.cutShort.empty();
}

} // namespace

int ToolMain(int argc, char** argv) {
    ToolDescription tool{"xminfo", kHelp, {}, {}};
    CommandLine line;
    int status = SplitCommandLine(argc, argv, tool, line);
    if (status >= 0) return status;
    if (line.files.empty()) return UsageError(tool.name, "no FILE given");
    bool allWhole = true;
    for (const std::string& path : line.files) allWhole = Inform(path) && allWhole;
    ReleaseModuleImage();
    return allWhole ? 0 : 1;
}
