// xmcompact IN OUT: writes IN in the compacted layout of the built-in module.
// xmcompact --expand IN OUT: writes IN in the standard layout that trackers open.
// Either way OUT is loaded again before it is written and must give the same records as IN.
#include "module_image.h"
#include "module_snapshot.h"
#include "snapshot_plan.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Refuse(const char* path, const char* why) {
    std::fprintf(stderr, "xmcompact: %s: %s\n", path, why);
    ReleaseModuleImage();
    return 1;
}

int Convert(const char* in, const char* out, XmLayout layout) {
    std::string bytes;
    if (!ReadFileBytes(in, bytes)) return Refuse(in, "the file cannot be read");
    LoadFailure outcome = ReadModuleImage(bytes.data(), bytes.size());
    if (outcome != LoadFailure::None) return Refuse(in, LoadFailureText(outcome));
    ModuleSnapshot original = TakeSnapshot();
    std::string written = WriteXm(PlanFromSnapshot(original, layout));
    if (!LoadModuleImage(written.data(), written.size()))
        return Refuse(out, "the rewritten module does not load");
    std::string difference = FirstDifference(original, TakeSnapshot());
    ReleaseModuleImage();
    if (!difference.empty()) {
        std::string why = "the rewritten module differs in " + difference;
        return Refuse(out, why.c_str());
    }
    if (!WriteFileBytes(out, written)) return Refuse(out, "the file cannot be written");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool expand = argc == 4 && std::strcmp(argv[1], "--expand") == 0;
    if (argc != 3 && !expand) {
        std::fprintf(stderr, "usage: xmcompact [--expand] IN OUT\n");
        return 2;
    }
    return Convert(argv[argc - 2], argv[argc - 1],
                   expand ? XmLayout::Standard : XmLayout::Compacted);
}
