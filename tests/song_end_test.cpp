// Where a once-through render ends: at the row where the song starts to repeat (breaks and jumps
// back, pattern loops counted), at the player's no-loop end as before, or at the cap; and that the
// frame found is where RenderBlock stands at the start of the repeated row.
#include "player.h"
#include "render_support.h"
#include "song_end.h"
#include "sources.h"
#include "test_paths.h"
#include "xm_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const uint64_t kNoCap = uint64_t(30) * 60 * 48000;

// One channel, one pattern of 16 rows at `speed` and BPM 125, with `cells` placed by row.
std::string OneChannelSong(uint8_t speed, const std::vector<std::pair<uint16_t, Cell>>& cells) {
    XmModulePlan plan = MinimalModule();
    plan.channels = 1;
    plan.tempo = speed;
    std::vector<Cell> rows(16);
    for (const auto& placed : cells) rows[placed.first] = placed.second;
    plan.patterns = {PatternOf(16, rows)};
    return WriteXm(plan);
}

SongEnd EndOf(const std::string& image, uint64_t limit = kNoCap) {
    return FindSongEnd(image.data(), image.size(), limit);
}

TEST(OnceThroughEnd, BreakBackEndsAtTheFirstTickOfTheRepeatedRowAsRenderBlockReachesIt) {
    // Rows 0-1 at 960 frames a tick, rows 2-5 at 1500 (F50 on row 2 is already 1500 long), then
    // D00 on row 5 goes back to row 0 of the only order.
    std::string image =
        OneChannelSong(3, {{2, Cell{0, 0, 0, 0xF, 0x50}}, {5, Cell{0, 0, 0, 0xD, 0}}});
    SongEnd end = EndOf(image);
    EXPECT_EQ(end.kind, SongEndKind::Repeat);
    ASSERT_EQ(end.frames, 2u * 3 * 960 + 4u * 3 * 1500);

    ASSERT_TRUE(StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY | PLAY_NO_LOOP));
    uint64_t blocks = end.frames / kBlockFrames;
    for (uint64_t b = 0; b < blocks; ++b) RenderBlock();
    const Song& song = gPlayer.song;
    EXPECT_EQ(uint64_t(song.tickFramesLeft), end.frames - blocks * kBlockFrames);
    EXPECT_EQ(song.tick, 0);
    EXPECT_EQ(song.nextOrder, 0);
    EXPECT_EQ(song.nextRow, 0);
    StopPlayback();
}

TEST(OnceThroughEnd, RobustnessFilesThatBreakOrJumpBackEndWhereTheyRepeat) {
    const struct {
        const char* file;
        uint64_t frames;
    } cases[] = {
        {"ft2_k00_defaults.xm", 8 * 6 * 960},         // one order, D00 on row 7
        {"xm_no_cxx_dxx_memory.xm", 10 * 6 * 960},    // one order, a break on row 9
        {"pattern_jump_ft2_break.xm", 16 * 2400},     // four orders, back to order 0 at the end
        {"pattern_loop_mpt_breakjump.xm", 12 * 2400}, // a loop start row left from the pass
        {"pattern_loop_mpt.xm", 576000},              // 237 rows with loops, back to order 0
    };
    for (const auto& c : cases) {
        std::string image = ReadWholeFile(SharedDataPath(std::string("xm/robustness/") + c.file));
        ASSERT_FALSE(image.empty()) << c.file;
        SongEnd end = EndOf(image);
        EXPECT_EQ(end.kind, SongEndKind::Repeat) << c.file;
        EXPECT_EQ(end.frames, c.frames) << c.file;
    }
}

TEST(OnceThroughEnd, PatternLoopReturnsAreNoRepeatAndALeftoverLoopStartDoesNotDelayTheEnd) {
    // E60 on row 1, E62 on row 3, D00 on row 4: rows 0 1 2 3 1 2 3 1 2 3 4, then row 0 again
    // with the loop start still at row 1 (row 1 sets it again before E62 reads it).
    std::string image = OneChannelSong(
        2,
        {{1, Cell{0, 0, 0, 0xE, 0x60}}, {3, Cell{0, 0, 0, 0xE, 0x62}}, {4, Cell{0, 0, 0, 0xD, 0}}});
    SongEnd end = EndOf(image);
    EXPECT_EQ(end.kind, SongEndKind::Repeat);
    EXPECT_EQ(end.frames, 11u * 2 * 960);
}

TEST(OnceThroughEnd, NoLoopEndKeepsTheWholeBlocksThePlayerRenders) {
    // 16 rows at speed 3 and 1200 frames a tick: the song ends at the row tick of its last row,
    // frame 54000, inside block 52, which the player does not render.
    XmModulePlan plan = MinimalModule();
    plan.tempo = 3;
    plan.bpm = 100;
    plan.patterns = {PatternOf(16, std::vector<Cell>(16 * 4))};
    std::string image = WriteXm(plan);
    SongEnd end = EndOf(image);
    EXPECT_EQ(end.kind, SongEndKind::NoLoopEnd);
    EXPECT_EQ(end.frames, 52u * kBlockFrames);
    EXPECT_EQ(RenderOffline(image, 100, PLAY_NO_LOOP).size(), end.frames * 2);

    std::string file = ReadWholeFile(SharedDataPath("xm/robustness/test.xm"));
    SongEnd fileEnd = EndOf(file);
    EXPECT_EQ(fileEnd.kind, SongEndKind::NoLoopEnd);
    EXPECT_EQ(fileEnd.frames, 714u * kBlockFrames);
}

TEST(OnceThroughEnd, CapEndsASongThatDoesNotEndOrRepeatWithinIt) {
    std::string image = OneChannelSong(6, {{7, Cell{0, 0, 0, 0xD, 0}}});
    SongEnd end = EndOf(image, 10000);
    EXPECT_EQ(end.kind, SongEndKind::Cap);
    EXPECT_EQ(end.frames, 10000u);
    EXPECT_EQ(EndOf(image).frames, 8u * 6 * 960);
}

} // namespace
