// A real song rendered once through (the no-loop end, as xmrender renders by default): the hash
// of its whole 16-bit output, a finite mix, clipping only where the mix itself leaves 16 bits,
// and sound wherever the pattern data plays notes. The one render is checked block by block.
#include "player.h"
#include "render_support.h"
#include "sources.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Fetched by scripts/fetch-real-xm.sh (the setup script runs it).
const char kRealModule[] = "build/realfiles/frozen-mainzik-2p.xm";

// The song's whole output; the same on every build (see golden_render_test.cpp).
const uint64_t kWholeSongHash = 0x17822a52ff1bde0c;
const size_t kWholeSongBlocks = 9697; // 9929728 frames, 206.9 s

// Clipping: an output sample at 32767 or -32768 is explained when the mix sample it comes from
// lies beyond the rounding edge of full scale, so that the conversion only clamps what the mix
// gave; an unexplained one is a fault of the conversion. Runs of up to kShortRun samples of one
// channel are the transients of a loud song. Longer runs are allowed only explained, at most
// kLongRuns of them and none over kLongestRun; and clipped samples stay below kClippedShare of
// the output, since a mixer gain fault clips explained but everywhere. (This song: 7 clipped
// samples, all explained, one run of 5.)
const int kShortRun = 4;
const size_t kLongRuns = 2;
const int kLongestRun = 16;
const double kClippedShare = 1e-5;

// Silence: a block plays notes when the row being played at its end has a note on some channel
// and the global volume is above 0 (this song fades out to global volume 0 over rows with
// notes). Every window of about one second (47 blocks) with a block that plays notes holds a
// sample whose magnitude reaches kAudibleLevel (about -54 dBFS).
const size_t kWindowBlocks = 47;
const int kAudibleLevel = 64;

struct ClipFigures {
    size_t clipped = 0;     // full-scale output samples
    size_t unexplained = 0; // of those, where the mix lies inside 16 bits
    size_t mixOutside = 0;  // mix samples beyond the rounding edge of full scale
    size_t longRuns = 0;    // runs longer than kShortRun
    int longestRun = 0;
    int run[2] = {0, 0}; // current run per channel
};

struct WindowFigures {
    size_t withNotes = 0;     // windows with a block that plays notes
    size_t silent = 0;        // of those, windows below kAudibleLevel
    size_t firstSilent = 0;   // the first block of the first silent one
    int quietestPeak = 32768; // the lowest peak of a window with notes
};

struct SongRender {
    std::vector<int16_t> samples;
    std::vector<bool> blockPlaysNotes; // at the block's end: a row with a note, global volume on
    std::vector<int> blockPeak;        // largest magnitude of the block's output samples
    size_t nonFinite = 0;              // mix samples that are NaN or infinite
    ClipFigures clips;
};

bool RowHasNote() {
    const Song& song = gPlayer.song;
    if (song.order < 0 || song.order >= 256 || song.patterns == nullptr) return false;
    uint8_t number = song.orderTable[song.order];
    if (number >= song.patternCount) return false;
    const Pattern& pattern = song.patterns[number];
    if (pattern.cells == nullptr || song.row < 0 || song.row >= pattern.rowCount) return false;
    const Cell* cells = pattern.cells + size_t(song.row) * song.channelCount;
    for (uint32_t c = 0; c < song.channelCount; ++c)
        if (cells[c].note >= 1 && cells[c].note <= 96) return true;
    return false;
}

void CountClip(ClipFigures& clips, int channel, int16_t output, float mix) {
    bool outside = mix > 32766.5f || mix <= -32767.5f;
    clips.mixOutside += outside;
    int& run = clips.run[channel];
    if (output != 32767 && output != -32768) {
        run = 0;
        return;
    }
    ++clips.clipped;
    clips.unexplained += !outside;
    if (++run == kShortRun + 1) ++clips.longRuns;
    if (run > clips.longestRun) clips.longestRun = run;
}

// Region k of the mix and output block k, right after RenderBlock made them.
void InspectBlock(SongRender& render, uint32_t k) {
    const float* mix = gPlayer.mixBuffer[k];
    const int16_t* block = gPlayer.outputBuffer + k * kBlockFrames * 2;
    int peak = 0;
    for (int i = 0; i < kBlockFrames * 2; ++i) {
        render.nonFinite += !std::isfinite(mix[i]);
        CountClip(render.clips, i & 1, block[i], mix[i]);
        int magnitude = std::abs(int(block[i]));
        if (magnitude > peak) peak = magnitude;
    }
    render.samples.insert(render.samples.end(), block, block + kBlockFrames * 2);
    render.blockPlaysNotes.push_back(RowHasNote() && gPlayer.song.globalVolume > 0);
    render.blockPeak.push_back(peak);
}

// Once through the song at full volume, ending at its end-of-song stop (an hour at most).
SongRender RenderSong(const std::string& image) {
    SongRender render;
    SetPlayerVolume(64);
    if (!StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY | PLAY_NO_LOOP))
        return render;
    for (uint32_t b = 0; b < 3600u * 48000 / kBlockFrames; ++b) {
        uint32_t k = gPlayer.nextBlock;
        RenderBlock();
        if (gPlayer.heap == nullptr) break;
        InspectBlock(render, k);
    }
    StopPlayback();
    return render;
}

// The sliding one-second windows of the render, block by block.
WindowFigures CheckWindows(const SongRender& render) {
    WindowFigures figures;
    size_t blocks = render.blockPeak.size();
    for (size_t first = 0; first + kWindowBlocks <= blocks; ++first) {
        bool notes = false;
        int peak = 0;
        for (size_t b = first; b < first + kWindowBlocks; ++b) {
            notes = notes || render.blockPlaysNotes[b];
            if (render.blockPeak[b] > peak) peak = render.blockPeak[b];
        }
        if (!notes) continue;
        ++figures.withNotes;
        if (peak < figures.quietestPeak) figures.quietestPeak = peak;
        if (peak < kAudibleLevel && figures.silent++ == 0) figures.firstSilent = first;
    }
    return figures;
}

TEST(RealSongRender, WholeSongIsTheSameEverywhereFiniteUnclippedAndSoundsWhereNotesPlay) {
    std::string image = ReadWholeFile(SourcePath(kRealModule));
    if (image.empty()) GTEST_SKIP() << kRealModule << " is absent: run scripts/fetch-real-xm.sh";
    SongRender render = RenderSong(image);
    ASSERT_EQ(render.blockPeak.size(), kWholeSongBlocks);

    uint64_t hash = HashSamples(render.samples);
    if (std::getenv("LINKMEND_PRINT_HASHES") != nullptr)
        std::printf("whole song: 0x%016" PRIx64 "\n", hash);
    EXPECT_EQ(hash, kWholeSongHash);

    EXPECT_EQ(render.nonFinite, 0u);

    const ClipFigures& clips = render.clips;
    std::printf("clipping: %zu full-scale samples of %zu, %zu with the mix inside 16 bits, "
                "%zu mix samples outside, longest run %d, %zu runs over %d\n",
                clips.clipped, render.samples.size(), clips.unexplained, clips.mixOutside,
                clips.longestRun, clips.longRuns, kShortRun);
    EXPECT_EQ(clips.unexplained, 0u);
    EXPECT_LE(clips.longRuns, kLongRuns);
    EXPECT_LE(clips.longestRun, kLongestRun);
    EXPECT_LE(double(clips.clipped), kClippedShare * double(render.samples.size()));

    WindowFigures windows = CheckWindows(render);
    std::printf("silence: %zu of %zu one-second windows with notes below %d, quietest peak %d\n",
                windows.silent, windows.withNotes, kAudibleLevel, windows.quietestPeak);
    EXPECT_GT(windows.withNotes, 0u);
    EXPECT_EQ(windows.silent, 0u) << "the first starts at block " << windows.firstSilent;
}

} // namespace
