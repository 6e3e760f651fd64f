// Fuzz target: arbitrary bytes loaded as a module through the memory source. A module that
// loads must keep every promise its records make to the player, and its compacted rewrite must
// load into the same records.
#include "module_checks.h"
#include "module_image.h"
#include "module_snapshot.h"
#include "snapshot_plan.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Records larger than this are checked but not copied for the rewrite: a few bytes of input can
// declare gigabytes of empty patterns, and copying them proves nothing more.
const uint64_t kLargestRewrite = 1u << 16;

uint64_t RecordBytes() {
    const Song& song = gPlayer.song;
    uint64_t bytes = 0;
    for (uint32_t p = 0; p < song.patternCount; ++p)
        bytes += uint64_t(song.patterns[p].rowCount) * song.channelCount * sizeof(Cell);
    for (uint32_t i = 0; i < song.instrumentCount; ++i)
        for (const Sample* sample : song.instruments[i].samples)
            if (sample) bytes += 2 * uint64_t(sample->length);
    return bytes;
}

void CheckRewrite() {
    ModuleSnapshot original = TakeSnapshot();
    std::string compacted = WriteXm(PlanFromSnapshot(original, XmLayout::Compacted));
    if (!LoadModuleImage(compacted.data(), compacted.size())) std::abort();
    if (!FirstDifference(original, TakeSnapshot()).empty()) std::abort();
}

} // namespace

// A heap that cannot supply a block is a load failure the loader handles, not a finding.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (LoadModuleImage(data, size)) {
        if (!BrokenRecordPromise().empty()) std::abort();
        if (RecordBytes() <= kLargestRewrite) CheckRewrite();
    } else if (LastLoadFailure() == LoadFailure::None) {
        std::abort();
    }
    ReleaseModuleImage();
    return 0;
}
