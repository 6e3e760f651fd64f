// Fuzz target: arbitrary bytes loaded as a module through the memory source. A module that
// loads must keep every promise its records make to the player, its compacted rewrite must load
// into the same records, and the player started on it must render its first seconds with every
// mixed sample a finite number.
#include "module_checks.h"
#include "module_image.h"
#include "module_snapshot.h"
#include "player.h"
#include "snapshot_plan.h"
#include "sources.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// Records larger than this are checked but not copied for the rewrite: a few bytes of input can
// declare gigabytes of empty patterns, and copying them proves nothing more.
const uint64_t kLargestRewrite = 1u << 16;

// About two seconds of output at 48000 frames a second.
const uint32_t kRenderedBlocks = 94;

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

bool RegionIsFinite(uint32_t k) {
    for (float value : gPlayer.mixBuffer[k])
        if (!std::isfinite(value)) return false;
    return true;
}

// The player's own start on the image (looping or not, by the input's last byte, so that both
// song ends are reached), then up to kRenderedBlocks blocks, each mix region checked right after
// it is rendered. A start that fails after a successful load is a finding: both read the same
// bytes through the same source.
void CheckRender(const uint8_t* data, size_t size) {
    uint32_t flags = PLAY_FROM_MEMORY | ((data[size - 1] & 1) ? PLAY_NO_LOOP : 0);
    if (!StartOfflineRender(data, size, flags)) std::abort();
    for (uint32_t b = 0; b < kRenderedBlocks; ++b) {
        uint32_t k = gPlayer.nextBlock;
        RenderBlock();
        if (gPlayer.heap == nullptr) break;
        if (!RegionIsFinite(k)) std::abort();
    }
    StopPlayback();
}

} // namespace

// A heap that cannot supply a block is a load failure the loader handles, not a finding.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool loaded = ReadModuleImage(data, size) == LoadFailure::None;
    if (loaded) {
        if (!BrokenRecordPromise().empty()) std::abort();
        if (RecordBytes() <= kLargestRewrite) CheckRewrite();
    }
    ReleaseModuleImage();
    if (loaded) CheckRender(data, size);
    return 0;
}
