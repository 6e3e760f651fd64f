// xmcompact IN OUT: writes IN in the compacted layout of the built-in module.
// xmcompact --expand IN OUT: writes IN in the standard layout that trackers open.
// Either way OUT is loaded again before it is written and must give the same records as IN;
// OUT is never IN, appears only once complete, and what the compacted layout cannot hold is named
// on standard error.
#include "file_layout.h"
#include "module_image.h"
#include "module_snapshot.h"
#include "snapshot_plan.h"
#include "tool_files.h"
#include "tool_main.h"
#include "tool_options.h"

#include <cstdio>
#include <string>

namespace {

const char kHelp[] =
    "Usage: xmcompact [--expand] IN OUT\n"
    "Rewrite the XM module IN as OUT in the compacted layout of the built-in tune (no\n"
    "identification text, only the used order entries, 241-byte instrument headers and 18-byte\n"
    "sample headers), or with --expand in the standard layout that trackers open.\n"
    "\n"
    "OUT is loaded again before it is written and must give the player exactly the records IN\n"
    "gives. OUT may not be IN (compared as files, not names); an existing OUT is replaced only\n"
    "once the new file is complete. IN or OUT of - is standard input or output (name a file\n"
    "called \"-\" as ./-).\n"
    "\n"
    "Kept: every record the player uses and the Module name bytes as stored. The standard\n"
    "layout also keeps the tracker name, the instrument and sample names and any bytes behind\n"
    "the module's data (such as a song message); the compacted layout drops them and says so on\n"
    "standard error. A module that ends before its data does is refused.\n"
    "\n"
    "      --expand   write the standard layout\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Exit status: 0 when OUT was written, 1 when it was not, 2 for a usage error.\n";

int Refuse(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "xmcompact: %s: %s\n", path.c_str(), why.c_str());
    ReleaseModuleImage();
    return 1;
}

// Loads IN's bytes into the player's records; empty when they load whole, else why not.
std::string LoadInput(const std::string& in, std::string& bytes, XmFileLayout& layout) {
    std::string why;
    if (!ReadInputFile(in, bytes, why)) return "cannot be read: " + why;
    LoadFailure outcome = ReadModuleImage(bytes.data(), bytes.size());
    layout = WalkXmFile(bytes);
    if (outcome != LoadFailure::None)
        return "not loaded: " + RefusalText(LoadFailureText(outcome), layout);
    std::string cut = CutShortText(layout, bytes.size());
    return cut.empty() ? "" : "cut short: " + cut;
}

int Convert(const std::string& in, const std::string& out, XmLayout to) {
    if (SameFile(in, out)) return Refuse(out, "is the same file as IN, which it would destroy");
    std::string bytes;
    XmFileLayout layout;
    std::string problem = LoadInput(in, bytes, layout);
    if (!problem.empty()) return Refuse(in, problem);
    ModuleSnapshot original = TakeSnapshot();
    XmModulePlan plan = PlanFromSnapshot(original, to);
    KeepFileTexts(plan, layout, bytes);
    std::string written = WriteXm(plan);
    if (!LoadModuleImage(written.data(), written.size()))
        return Refuse(out, "the rewritten module does not load");
    std::string difference = FirstDifference(original, TakeSnapshot());
    ReleaseModuleImage();
    if (!difference.empty()) return Refuse(out, "the rewritten module differs in " + difference);
    std::string why;
    if (!WriteOutputFile(out, written, why)) return Refuse(out, "cannot be written: " + why);
    std::string dropped = DroppedTexts(plan, layout, bytes);
    if (!dropped.empty())
        std::fprintf(stderr, "xmcompact: %s: not kept in the compacted layout: %s\n", in.c_str(),
                     dropped.c_str());
    return 0;
}

} // namespace

int ToolMain(int argc, char** argv) {
    ToolDescription tool{"xmcompact", kHelp, {"--expand"}, {}};
    CommandLine line;
    int status = SplitCommandLine(argc, argv, tool, line);
    if (status >= 0) return status;
    if (line.files.size() < 2)
        return UsageError(tool.name, line.files.empty() ? "no IN and OUT given" : "no OUT given");
    if (line.files.size() > 2) return UsageError(tool.name, "more than IN and OUT given");
    return Convert(line.files[0], line.files[1],
                   line.options.empty() ? XmLayout::Compacted : XmLayout::Standard);
}
