// The player's life cycle across its two threads with the stand-in wave device: many starts and
// stops, a stop racing the end of a song, the title and device read while songs end, pause and
// resume while playing, and the sound the device plays compared sample for sample with an
// offline render.
#include "builtin_tune.h"
#include "player.h"
#include "posix/waveout_control.h"
#include "render_support.h"
#include "sources.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Polls `done` every millisecond for up to five seconds.
template <typename Condition> bool WaitFor(Condition done) {
    for (auto limit = Clock::now() + std::chrono::seconds(5); Clock::now() < limit;) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

bool Stopped() {
    return gPlayer.renderThread.load() == nullptr && gPlayer.device.load() == nullptr &&
           gPlayer.heap == nullptr && WaveOutOpenDevices() == 0;
}

class PlayerLifecycleTest : public ::testing::Test {
  protected:
    void TearDown() override {
        StopPlayback();
        WaveOutUseTestClock(false);
    }

    // Test clock: plays `count` blocks more at once and waits until the render thread has seen
    // it and refilled what they left (a position query after the one that saw the new position).
    static void PlayBlocks(int count = 1) {
        uint32_t queries = WaveOutAdvance(count * kBlockBytes);
        ASSERT_TRUE(WaitFor([&] { return WaveOutPositionQueries() >= queries + 2; }));
    }

    // Plays the built-in tune on the test clock started `startBytes` into play, `steps` times
    // `blocksPerStep` blocks, and compares what the device played with the offline render: every
    // block was refilled once, in order, before the device came back to it, and the play time
    // rose at every step.
    static void PlayAndCompareWithTheOfflineRender(uint64_t startBytes, int steps,
                                                   int blocksPerStep) {
        WaveOutUseTestClock(true);
        WaveOutStartClockAt(startBytes);
        WaveOutStartCapture();
        const void* tune = kBuiltinTune;
        ASSERT_NE(PlayModule(tune, kBuiltinTuneSize, PLAY_FROM_MEMORY), nullptr);
        uint32_t time = GetPlayTime();
        for (int step = 0; step < steps; ++step) {
            PlayBlocks(blocksPerStep);
            ASSERT_GT(GetPlayTime(), time) << "step " << step;
            time = GetPlayTime();
        }
        StopPlayback();
        const uint32_t blocks = steps * blocksPerStep;
        EXPECT_EQ(gPlayer.playCursor.u.cb, uint32_t(startBytes + blocks * kBlockBytes));
        std::vector<int16_t> played = WaveOutTakeCapture();
        std::string image(reinterpret_cast<const char*>(kBuiltinTune), kBuiltinTuneSize);
        std::vector<int16_t> offline = RenderOffline(image, blocks);
        ASSERT_EQ(played.size(), offline.size());
        for (size_t i = 0; i < played.size(); ++i)
            ASSERT_EQ(played[i], offline[i]) << "sample " << i << " of block " << i / 2048;
    }
};

TEST_F(PlayerLifecycleTest, ManyStartsAndStopsLeaveNothingBehind) {
    std::string image = ToneModule(64);
    for (int cycle = 0; cycle < 40; ++cycle) {
        ASSERT_NE(PlayModule(image.data(), image.size(), PLAY_FROM_MEMORY), nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 4 * 4));
        if (cycle % 3 == 0)
            PlayModule(nullptr, 0, 0);
        else
            StopPlayback();
        ASSERT_TRUE(Stopped()) << "cycle " << cycle;
    }
}

TEST_F(PlayerLifecycleTest, RealTimeDevicePlaysAndTheThreadKeepsUp) {
    std::string image = ToneModule(64);
    ASSERT_NE(PlayModule(image.data(), image.size(), PLAY_FROM_MEMORY), nullptr);
    EXPECT_TRUE(WaitFor([] { return GetPlayTime() >= 400; })) << GetPlayTime();
    EXPECT_NE(GetOutputLevels(), 0u);
    StopPlayback();
    EXPECT_TRUE(Stopped());
}

// The song's last row tick comes in block 17, which the render thread renders about 43 ms after
// the start; stops are placed before, around and after that moment.
TEST_F(PlayerLifecycleTest, StopRacingTheEndOfTheSongReleasesEverythingOnce) {
    std::string image = ToneModule(20, 1);
    for (int delayMs = 30; delayMs < 60; ++delayMs) {
        ASSERT_NE(PlayModule(image.data(), image.size(), PLAY_FROM_MEMORY | PLAY_NO_LOOP), nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        StopPlayback();
        ASSERT_TRUE(Stopped()) << "stop after " << delayMs << " ms";
    }
}

TEST_F(PlayerLifecycleTest, SongEndStopsOnTheRenderThreadAndALaterStopReturns) {
    std::string image = ToneModule(20, 1);
    ASSERT_NE(PlayModule(image.data(), image.size(), PLAY_FROM_MEMORY | PLAY_NO_LOOP), nullptr);
    EXPECT_TRUE(WaitFor([] { return WaveOutOpenDevices() == 0; })); // closed by the render thread
    PlayModule(nullptr, 0, 0);
    EXPECT_TRUE(Stopped());
    // A new start right after an end of song plays normally.
    ASSERT_NE(PlayModule(image.data(), image.size(), PLAY_FROM_MEMORY), nullptr);
    EXPECT_EQ(WaveOutOpenDevices(), 1);
}

// The caller's thread reads the title and the device through the public calls while the render
// thread ends each song and releases both (the ThreadSanitizer build checks the hand-over).
TEST_F(PlayerLifecycleTest, TitleAndDeviceReadWhileSongsEndSeeTheSongOrNothing) {
    std::string image = ToneModule(20, 1);
    for (int song = 0; song < 5; ++song) {
        void* result = PlayModule(image.data(), image.size(), PLAY_FROM_MEMORY | PLAY_NO_LOOP);
        ASSERT_NE(result, nullptr);
        auto& device = *static_cast<std::atomic<HWAVEOUT>*>(result);
        EXPECT_STREQ(GetSongTitle(), "tone");
        EXPECT_TRUE(WaitFor([&] {
            std::string title = GetSongTitle();
            EXPECT_TRUE(title == "tone" || title.empty()) << title;
            // The release closes the device before it forgets the song.
            return device.load() == nullptr && title.empty();
        }));
    }
}

TEST_F(PlayerLifecycleTest, PauseHoldsThePlayTimeAndResumeMovesItOn) {
    WaveOutUseTestClock(true);
    std::string image = ToneModule(64);
    ASSERT_NE(PlayModule(image.data(), image.size(), PLAY_FROM_MEMORY), nullptr);
    PlayBlocks(4);
    PausePlayback();
    uint32_t statsIndex = gPlayer.statsIndex;
    PlayBlocks(4);
    EXPECT_EQ(gPlayer.statsIndex, statsIndex) << "paused blocks do not move the read-outs";
    ResumePlayback();
    uint32_t time = GetPlayTime();
    PlayBlocks(4);
    EXPECT_GT(GetPlayTime(), time);
}

// The device's clock starts one buffer (16 blocks) before its 32-bit byte count wraps, as after
// 6.2 hours of play: across the wrap no block is rendered twice or skipped.
TEST_F(PlayerLifecycleTest, PlayedSoundEqualsTheOfflineRenderAcrossThePositionWrap) {
    PlayAndCompareWithTheOfflineRender((uint64_t(1) << 32) - kOutputBytes, 160, 1);
}

// 31 hours in, one buffer before the fifth wrap: a clock that long in keeps counting.
TEST_F(PlayerLifecycleTest, PlayedSoundEqualsTheOfflineRenderAfterMoreThanADayOfPlay) {
    PlayAndCompareWithTheOfflineRender((uint64_t(5) << 32) - kOutputBytes, 40, 1);
}

// The device runs five blocks ahead of the render thread at a time: the thread renders each
// missing block once, in order, before it looks at the position again.
TEST_F(PlayerLifecycleTest, ARenderThreadFiveBlocksBehindRendersEachMissingBlockOnce) {
    PlayAndCompareWithTheOfflineRender(0, 20, 5);
}

} // namespace
