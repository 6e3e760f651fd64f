// xmcompact IN OUT: writes IN in the compacted layout of the built-in module.
// xmcompact --expand IN OUT: writes IN in the standard layout that trackers open.
// Either way OUT is loaded again before it is written and must give the same records as IN;
// OUT is never IN, appears only once complete, and what the compacted layout cannot hold is named
// on standard error.
#include "module_image.h"
#include "module_input.h"
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
    "standard error. A module that ends before something its song uses (the order table, a\n"
    "pattern it plays, an instrument a pattern names) is refused; one that lacks only parts the\n"
    "song cannot use is written whole, those parts as the player loads them.\n"
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

int Convert(const std::string& in, const std::string& out, XmLayout to) {
    if (SameFile(in, out)) return Refuse(out, "is the same file as IN, which it would destroy");
    ModuleInput input = ReadModuleInput(in);
    std::string fault = InputFault(input, "not loaded");
    if (!fault.empty()) return Refuse(in, fault);
    if (!input.cutShort.empty()) return Refuse(in, "cut short: " + input.cutShort);
    std::string written;
    std::string difference = RewriteModule(TakeSnapshot(), input.layout, input.bytes, to, written);
    ReleaseModuleImage();
    if (!difference.empty()) return Refuse(out, "the rewritten module " + difference);
    std::string why;
    if (!WriteOutputFile(out, written, why)) return Refuse(out, "cannot be written: " + why);
    std::string dropped = DroppedTexts(to, input.layout, input.bytes);
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
