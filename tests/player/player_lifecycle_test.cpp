// The player's life cycle across its two threads with the stand-in wave device: many starts and
// stops, a stop racing the end of a song, pause and resume while playing, and the sound the
// device plays compared sample for sample with an offline render.
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
    return gPlayer.renderThread.load() == nullptr && gPlayer.device == nullptr &&
           gPlayer.heap == nullptr && WaveOutOpenDevices() == 0;
}

class PlayerLifecycleTest : public ::testing::Test {
  protected:
    void TearDown() override {
        StopPlayback();
        WaveOutUseTestClock(false);
    }

    // Test clock: plays one block more and waits until the render thread has seen it and
    // refilled what it left (a position query after the one that saw the new position).
    static void PlayOneBlock() {
        uint32_t queries = WaveOutAdvance(kBlockBytes);
        ASSERT_TRUE(WaitFor([&] { return WaveOutPositionQueries() >= queries + 2; }));
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

TEST_F(PlayerLifecycleTest, PauseHoldsThePlayTimeAndResumeMovesItOn) {
    WaveOutUseTestClock(true);
    std::string image = ToneModule(64);
    ASSERT_NE(PlayModule(image.data(), image.size(), PLAY_FROM_MEMORY), nullptr);
    for (int b = 0; b < 4; ++b) PlayOneBlock();
    PausePlayback();
    uint32_t statsIndex = gPlayer.statsIndex;
    for (int b = 0; b < 4; ++b) PlayOneBlock();
    EXPECT_EQ(gPlayer.statsIndex, statsIndex) << "paused blocks do not move the read-outs";
    ResumePlayback();
    uint32_t time = GetPlayTime();
    for (int b = 0; b < 4; ++b) PlayOneBlock();
    EXPECT_GT(GetPlayTime(), time);
}

// What the device plays is what an offline render gives, block after block: every block was
// refilled before the device came back to it. The device's clock starts one buffer (16 blocks)
// before its 32-bit byte count wraps, as after 6.2 hours of play: across the wrap no block is
// rendered twice or skipped, and the play time keeps rising.
TEST_F(PlayerLifecycleTest, PlayedSoundEqualsTheOfflineRenderAcrossThePositionWrap) {
    WaveOutUseTestClock(true);
    WaveOutStartClockAt((uint64_t(1) << 32) - kOutputBytes);
    WaveOutStartCapture();
    const void* tune = kBuiltinTune;
    ASSERT_NE(PlayModule(tune, kBuiltinTuneSize, PLAY_FROM_MEMORY), nullptr);
    const int blocks = 160; // 3.4 s
    uint32_t time = GetPlayTime();
    for (int b = 0; b < blocks; ++b) {
        PlayOneBlock();
        ASSERT_GT(GetPlayTime(), time) << "block " << b;
        time = GetPlayTime();
    }
    EXPECT_EQ(gPlayer.playCursor.u.cb, uint32_t(blocks * kBlockBytes - kOutputBytes));
    StopPlayback();
    std::vector<int16_t> played = WaveOutTakeCapture();
    std::string image(reinterpret_cast<const char*>(kBuiltinTune), kBuiltinTuneSize);
    std::vector<int16_t> offline = RenderOffline(image, blocks);
    ASSERT_EQ(played.size(), offline.size());
    for (size_t i = 0; i < played.size(); ++i)
        ASSERT_EQ(played[i], offline[i]) << "sample " << i << " of block " << i / 2048;
}

} // namespace
