// Fuzz target: arbitrary bytes walked as the tools walk a file and loaded as a module through the
// memory source. A module that loads must keep every promise its records make to the player; its
// rewrites in both layouts must load into the same records, the standard one keeping the file's
// texts; the bytes behind the file's end must change nothing the walk says the song has whole;
// the player started on it must render its first seconds with every mixed sample a finite
// number; and the once-through end finder must end where that render ends.
#include "file_layout.h"
#include "module_checks.h"
#include "module_image.h"
#include "module_snapshot.h"
#include "player.h"
#include "snapshot_plan.h"
#include "song_end.h"
#include "sources.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Records larger than this are checked but not copied for the rewrites: a few bytes of input can
// declare gigabytes of empty patterns, and copying them proves nothing more.
const uint64_t kLargestRewrite = 1u << 16;

// About two seconds of output at 48000 frames a second.
const uint32_t kRenderedBlocks = 94;

void Check(bool kept) {
    if (!kept) std::abort();
}

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

// Both layouts load into the records of `original`; the standard one keeps the module and
// tracker names, every instrument and sample name and the bytes behind the module's data.
void CheckRewrites(const ModuleSnapshot& original, const XmFileLayout& file,
                   const std::string& bytes) {
    std::string image;
    Check(RewriteModule(original, file, bytes, XmLayout::Compacted, image).empty());
    Check(RewriteModule(original, file, bytes, XmLayout::Standard, image).empty());
    XmFileLayout expanded = WalkXmFile(image);
    Check(expanded.moduleName == file.moduleName);
    Check(!HasText(file.trackerName) || expanded.trackerName == file.trackerName);
    Check(expanded.instrumentNames == file.instrumentNames);
    Check(expanded.sampleNames == file.sampleNames);
    uint64_t behind = bytes.size() > file.dataEnd ? bytes.size() - file.dataEnd : 0;
    Check(expanded.dataEnd + behind == image.size());
}

// `module` with the stored patterns the song does not play and the instruments no cell names
// emptied: what the song uses of it.
ModuleSnapshot UsedParts(ModuleSnapshot module, const XmFileLayout& file) {
    for (size_t p = 0; p < module.patterns.size() && p < file.patternPlayed.size(); ++p)
        if (!file.patternPlayed[p]) module.patterns[p] = PatternSnapshot{};
    for (size_t i = 0; i < module.instruments.size() && i < file.instrumentNamed.size(); ++i)
        if (!file.instrumentNamed[i]) module.instruments[i] = InstrumentSnapshot{};
    return module;
}

// A file the walk does not call cut short keeps what its song uses whatever bytes follow its end
// (here the file once more): a file that holds all of its module gives the same records, one
// that lacks only parts the song cannot use the same records of the parts it uses, when the
// longer file loads at all.
void CheckWalk(const ModuleSnapshot& original, const XmFileLayout& file, const std::string& bytes) {
    if (!CutShortText(file, bytes.size()).empty()) return;
    bool whole = file.dataEnd <= bytes.size();
    Check(whole == TrimmedTailText(file, bytes.size()).empty());
    std::string longer = bytes + bytes;
    if (ReadModuleImage(longer.data(), longer.size()) != LoadFailure::None) {
        Check(!whole);
        return;
    }
    ModuleSnapshot again = TakeSnapshot();
    if (whole)
        Check(FirstDifference(original, again).empty());
    else
        Check(FirstDifference(UsedParts(original, file), UsedParts(again, file)).empty());
}

bool RegionIsFinite(uint32_t k) {
    for (float value : gPlayer.mixBuffer[k])
        if (!std::isfinite(value)) return false;
    return true;
}

// The player's own start on the image, then up to kRenderedBlocks blocks, each mix region
// checked right after it is rendered; returns how many blocks were rendered before the song
// ended (all of them when it did not). A start that fails after a successful load is a finding:
// both read the same bytes through the same source.
uint32_t CheckRender(const uint8_t* data, size_t size, uint32_t flags) {
    Check(StartOfflineRender(data, size, flags | PLAY_FROM_MEMORY));
    uint32_t b = 0;
    for (; b < kRenderedBlocks; ++b) {
        uint32_t k = gPlayer.nextBlock;
        RenderBlock();
        if (gPlayer.heap == nullptr) break;
        Check(RegionIsFinite(k));
    }
    StopPlayback();
    return b;
}

// The once-through end finder over the frames the render covered: without the loop, it finds the
// song's own end exactly when the render stopped, in the block where it stopped.
void CheckSongEnd(const uint8_t* data, size_t size, bool noLoop, uint32_t renderedBlocks) {
    const uint64_t limit = uint64_t(kRenderedBlocks) * kBlockFrames;
    SongEnd end = FindSongEnd(data, size, limit);
    Check(end.frames <= limit);
    if (!noLoop) return;
    bool stopped = renderedBlocks < kRenderedBlocks;
    Check((end.kind == SongEndKind::NoLoopEnd) == stopped);
    Check(!stopped || end.frames == uint64_t(renderedBlocks) * kBlockFrames);
}

} // namespace

// A heap that cannot supply a block is a load failure the loader handles, not a finding.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    XmFileLayout file = WalkXmFile(bytes);
    bool loaded = ReadModuleImage(data, size) == LoadFailure::None;
    if (loaded) {
        Check(BrokenRecordPromise().empty());
        if (RecordBytes() <= kLargestRewrite) {
            ModuleSnapshot original = TakeSnapshot();
            CheckRewrites(original, file, bytes);
            CheckWalk(original, file, bytes);
        }
    }
    ReleaseModuleImage();
    if (!loaded) return 0;
    // Looping or not by the input's last byte, so that both song ends are reached.
    bool noLoop = data[size - 1] & 1;
    uint32_t renderedBlocks = CheckRender(data, size, noLoop ? PLAY_NO_LOOP : 0);
    CheckSongEnd(data, size, noLoop, renderedBlocks);
    return 0;
}
