// The player's render path and control surface: conversion to 16 bits (rounding, clamping, the
// volume divisor), levels and play-time statistics, pause, the no-loop end, and the start and
// stop sequences with the stand-in wave device.
#include "player.h"
#include "render_support.h"
#include "sources.h"
#include "xm_builder.h"

#include "test_paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>

#ifndef _WIN32
#include "posix/thread_control.h"
#include "posix/waveout_control.h"

// Every allocation of the test program is counted, so that a test can see that rendering makes
// none.
std::atomic<uint64_t> gAllocations{0};

void* operator new(size_t bytes) {
    ++gAllocations;
    if (void* block = std::malloc(bytes ? bytes : 1)) return block;
    throw std::bad_alloc();
}
void* operator new[](size_t bytes) {
    return operator new(bytes);
}
void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    ++gAllocations;
    return std::malloc(bytes ? bytes : 1);
}
void* operator new[](size_t bytes, const std::nothrow_t& tag) noexcept {
    return operator new(bytes, tag);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}
#endif

namespace {

const uint64_t kOne = uint64_t(1) << 32;

// A sample of its own for voices a test sets up by hand: two frames looped forward, followed by
// the guard frame and the spare frames, with the zero frame before them.
struct PairSample {
    int16_t frames[6] = {};
    Sample sample{};
    PairSample(int16_t first, int16_t second) {
        frames[1] = first;
        frames[2] = second;
        frames[3] = first;
        sample.length = sample.loopLength = 2;
        sample.loopType = 1;
        sample.data = frames + 1;
    }
};

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override { SetPlayerVolume(64); }
    void TearDown() override {
        StopPlayback();
        SetPlayerVolume(64);
    }

    // Starts the silent module offline: one channel, no instruments, so only voices a test sets
    // up by hand sound.
    void StartSilent(uint32_t flags = 0) {
        XmModulePlan silent = MinimalModule();
        silent.channels = 1;
        image_ = WriteXm(silent);
        ASSERT_TRUE(StartOfflineRender(image_.data(), image_.size(), PLAY_FROM_MEMORY | flags));
    }

    // A voice (10 and up, which the silent song never touches) that adds `value` to every frame
    // of one side at full gain: the interpolation halfway between two frames gives fractions.
    void AddConstant(int index, PairSample& pair, bool left, uint32_t fraction = 0) {
        Voice& voice = gPlayer.voices[index];
        voice.sample = &pair.sample;
        voice.step = 2 * kOne; // lands on the same place of the two-frame loop every frame
        voice.fraction = fraction;
        voice.leftVolume = voice.currentLeft = left ? 255 : 0;
        voice.rightVolume = voice.currentRight = left ? 0 : 255;
    }

    const int16_t* Block(uint32_t k) { return gPlayer.outputBuffer + k * kBlockFrames * 2; }

    std::string image_;
};

TEST_F(PlayerTest, MixedValuesAreRoundedToEvenAndClampedTo16Bits) {
    struct Case {
        uint32_t fraction; // of the voices' position: 0.5 interpolates halfway
        int16_t first, second, voices, expected;
    } cases[] = {
        {0, 20000, 20000, 2, 32767},             // 40000.0
        {0, -20000, -20000, 2, -32768},          // -40000.0
        {0x80000000, 2, 3, 1, 2},                // 2.5
        {0x80000000, 3, 4, 1, 4},                // 3.5
        {0x80000000, -3, -2, 1, -2},             // -2.5
        {0, 32767, 0, 1, 32767},                 // exactly the largest
        {0x80000000, -32768, -32768, 1, -32768}, // exactly the smallest
    };
    for (const Case& c : cases) {
        StartSilent();
        PairSample pair(c.first, c.second);
        for (int v = 0; v < c.voices; ++v) AddConstant(10 + v, pair, true, c.fraction);
        RenderBlock();
        EXPECT_EQ(Block(0)[0], c.expected) << c.first << " " << c.second;
        EXPECT_EQ(Block(0)[2 * 1023], c.expected);
        EXPECT_EQ(Block(0)[1], 0);
    }
}

TEST_F(PlayerTest, VolumeDivisorScalesTheRoundedValueTowardsZero) {
    struct Case {
        uint32_t volume;
        int16_t fromPlus1000, fromMinus1000;
    } cases[] = {
        {64, 1000, -1000}, {100, 1000, -1000}, {48, 500, -500},
        {32, 333, -333},   {1, 202, -202},     {0, 0, 0},
    };
    for (const Case& c : cases) {
        StartSilent();
        PairSample plus(1000, 1000), minus(-1000, -1000);
        AddConstant(10, plus, true);
        AddConstant(11, minus, false);
        SetPlayerVolume(c.volume);
        RenderBlock();
        EXPECT_EQ(Block(0)[0], c.fromPlus1000) << "volume " << c.volume;
        EXPECT_EQ(Block(0)[1], c.fromMinus1000) << "volume " << c.volume;
    }
}

TEST_F(PlayerTest, StartWithoutAVolumeSetPlaysAtFullVolume) {
    gPlayer.volumeDivisor = 0;
    StartSilent();
    EXPECT_EQ(gPlayer.volumeDivisor, 16);
}

TEST_F(PlayerTest, LevelsOfABlockGoToTheNextRecordAndItsTimeToItsOwn) {
    StartSilent();
    PairSample plus(1000, 1000), minus(-500, -500);
    AddConstant(10, plus, true);
    AddConstant(11, minus, false);
    RenderBlock();
    EXPECT_EQ(gPlayer.blockStats[1].levels, (1000u << 16) | 500u);
    EXPECT_EQ(gPlayer.blockStats[0].timeMs, 21u);
    EXPECT_EQ(gPlayer.nextBlock, 1u);
    EXPECT_EQ(GetOutputLevels(), gPlayer.blockStats[0].levels.load());
}

// At BPM 125 a tick is 960 frames and a block 1024: the pieces between tick boundaries and block
// edges each add (n x 20) / 960 ms, rounded down.
TEST_F(PlayerTest, ElapsedTimeDropsTheFractionOfEachPiece) {
    StartSilent();
    const uint32_t expected[] = {
        21, // 960 frames (20) + 64 (1)
        41, // 896 (18) + 128 (2): the tick split 64 + 896 added 1 + 18 = 19
        62, // 832 (17) + 192 (4)
    };
    for (uint32_t k = 0; k < 3; ++k) {
        RenderBlock();
        EXPECT_EQ(gPlayer.blockStats[k].timeMs, expected[k]) << "block " << k;
    }
    EXPECT_EQ(gPlayer.song.elapsedMs, 62u);
}

TEST_F(PlayerTest, PausedStartRendersSilenceAndTheSongStartsOnResume) {
    std::string image = ToneModule(64);
    ASSERT_TRUE(StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY | PLAY_PAUSED));
    for (int k = 0; k < 4; ++k) RenderBlock();
    for (int i = 0; i < 4 * kBlockFrames * 2; ++i) ASSERT_EQ(gPlayer.outputBuffer[i], 0);
    EXPECT_EQ(GetPlayTime(), 0u);
    EXPECT_EQ(gPlayer.song.elapsedMs, 0u);
    EXPECT_EQ(gPlayer.song.tickFramesLeft, 0); // no tick has run
    ResumePlayback();
    RenderBlock();
    EXPECT_EQ(gPlayer.song.row, 0);
    EXPECT_EQ(gPlayer.song.order, 0);
    EXPECT_EQ(gPlayer.blockStats[4].timeMs, 21u);
    std::vector<int16_t> fromStart = RenderOffline(image, 1);
    ASSERT_EQ(fromStart.size(), size_t(kBlockFrames * 2));
    EXPECT_TRUE(std::equal(fromStart.begin(), fromStart.end(), Block(4)))
        << "the resumed song starts from its beginning";
}

TEST_F(PlayerTest, PauseKeepsTheTimeOfTheSilentBlocks) {
    std::string image = ToneModule(64);
    ASSERT_TRUE(StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY));
    for (int k = 0; k < 16; ++k) RenderBlock(); // a whole lap: every record holds a time
    uint32_t before = gPlayer.blockStats[0].timeMs;
    PausePlayback();
    RenderBlock();
    EXPECT_EQ(gPlayer.blockStats[0].timeMs, before);
    EXPECT_EQ(gPlayer.blockStats[1].levels, 0u);
}

// Speed 1: every tick is a row tick; the last row's tick ends the song at once. Nothing points
// into the destroyed heap afterwards, and a further block renders nothing (the sanitizer build
// checks that nothing is read).
TEST_F(PlayerTest, NoLoopEndStopsInTheMiddleOfABlockAndReleasesEverything) {
    std::string image = ToneModule(3, 1);
    ASSERT_TRUE(StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY | PLAY_NO_LOOP));
    RenderBlock(); // rows 0 and 1 (1920 frames) reach into block 1
    ASSERT_NE(gPlayer.heap, nullptr);
    RenderBlock(); // row 2's tick at frame 1920 ends the song
    EXPECT_EQ(gPlayer.heap, nullptr);
    EXPECT_EQ(gPlayer.nextBlock, 0u);
    EXPECT_NE(gPlayer.stopRequest, 0u);
    EXPECT_EQ(gPlayer.blockStats[0].timeMs, 0u);
    EXPECT_STREQ(GetSongTitle(), "");
    RenderBlock();
    EXPECT_EQ(gPlayer.nextBlock, 0u);
    EXPECT_EQ(gPlayer.blockStats[1].levels, 0u);
    EXPECT_EQ(gPlayer.song.patterns, nullptr);
    EXPECT_EQ(gPlayer.song.instruments, nullptr);
    for (const Voice& voice : gPlayer.voices) EXPECT_EQ(voice.sample, nullptr) << voice.index;
}

TEST_F(PlayerTest, WithoutNoLoopTheSongGoesOnPastItsEnd) {
    std::vector<int16_t> samples = RenderOffline(ToneModule(3, 1), 20);
    EXPECT_EQ(samples.size(), size_t(20 * kBlockFrames * 2));
}

TEST_F(PlayerTest, OfflineStartRefusesWhatDoesNotLoad) {
    const char garbage[400] = "not a module";
    EXPECT_FALSE(StartOfflineRender(garbage, sizeof garbage, PLAY_FROM_MEMORY));
    EXPECT_EQ(gPlayer.heap, nullptr);
    EXPECT_FALSE(StartOfflineRender("/nonexistent/linkmend.xm", 0, PLAY_FROM_FILE));
    EXPECT_EQ(gPlayer.heap, nullptr);
    EXPECT_FALSE(StartOfflineRender(nullptr, 0, PLAY_FROM_MEMORY));
}

TEST_F(PlayerTest, OfflineRenderIsTheSameEveryTime) {
    std::string image = ToneModule(32);
    std::vector<int16_t> first = RenderOffline(image, 40);
    std::vector<int16_t> second = RenderOffline(image, 40);
    EXPECT_EQ(first, second);
    EXPECT_NE(HashSamples(first), HashSamples(std::vector<int16_t>(first.size(), 0)));
}

#ifndef _WIN32 // the allocation count is kept on Linux only: the render path is the same code
TEST_F(PlayerTest, RenderingAllocatesNothingAfterTheStart) {
    std::string image = ToneModule(16);
    ASSERT_TRUE(StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY));
    SIZE_T heapBytes = PlatformHeapBytes(gPlayer.heap);
    uint64_t allocations = gAllocations;
    for (int k = 0; k < 200; ++k) RenderBlock();
    EXPECT_EQ(gAllocations - allocations, 0u);
    EXPECT_EQ(PlatformHeapBytes(gPlayer.heap), heapBytes);
}
#endif

// Whatever loads of the odd and broken modules renders without a fault (the sanitizer builds
// check the reads and writes).
TEST_F(PlayerTest, EveryRobustnessModuleThatLoadsRenders) {
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SharedDataPath("xm/robustness"))) {
        std::string image = ReadWholeFile(entry.path().string());
        if (!StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY)) continue;
        ++loaded;
        for (int k = 0; k < 100 && gPlayer.heap != nullptr; ++k) RenderBlock();
        StopPlayback();
    }
    EXPECT_GT(loaded, 40);
}

#ifndef _WIN32
// ---- The start and stop sequences with the stand-in device (its clock held still).

class PlayerDeviceTest : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        WaveOutUseTestClock(true);
    }
    void TearDown() override {
        PlayerTest::TearDown();
        WaveOutSetOpenResult(MMSYSERR_NOERROR);
        WaveOutUseTestClock(false);
    }
    void* Play(const std::string& image, uint32_t flags = PLAY_FROM_MEMORY) {
        return PlayModule(image.data(), image.size(), flags);
    }
};

TEST_F(PlayerDeviceTest, StartPreRendersTheWholeBufferAndPlaysIt) {
    std::string image = ToneModule(64);
    void* result = Play(image);
    EXPECT_EQ(result, &gPlayer.device);
    EXPECT_EQ(WaveOutOpenDevices(), 1);
    EXPECT_TRUE(WaveOutPlaying());
    EXPECT_NE(gPlayer.renderThread.load(), nullptr);
    EXPECT_EQ(gPlayer.waveHeader.dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP), 12u);
    EXPECT_EQ(gPlayer.waveHeader.dwLoops, 0xFFFFFFFFu);
    EXPECT_EQ(gPlayer.waveHeader.dwBufferLength, 65536u);
    std::vector<int16_t> played(gPlayer.outputBuffer, gPlayer.outputBuffer + kOutputBytes / 2);
    StopPlayback();
    EXPECT_EQ(played, RenderOffline(image, kBlockCount));
}

TEST_F(PlayerDeviceTest, StopWithANullSourceClosesEverything) {
    Play(ToneModule(64));
    PlayModule(nullptr, 0, 0);
    EXPECT_EQ(WaveOutOpenDevices(), 0);
    EXPECT_EQ(gPlayer.device.load(), nullptr);
    EXPECT_EQ(gPlayer.heap, nullptr);
    EXPECT_EQ(gPlayer.renderThread.load(), nullptr);
    EXPECT_STREQ(GetSongTitle(), "");
    PlayModule(nullptr, 0, 0); // nothing plays: nothing changes
    EXPECT_EQ(WaveOutOpenDevices(), 0);
}

TEST_F(PlayerDeviceTest, StartWhilePlayingReplacesTheSong) {
    ASSERT_NE(Play(ToneModule(64)), nullptr);
    ASSERT_NE(Play(ToneModule(32), PLAY_FROM_MEMORY | PLAY_FROM_FILE), nullptr);
    EXPECT_EQ(WaveOutOpenDevices(), 1);
    EXPECT_EQ(gPlayer.song.patterns[0].rowCount, 32);
}

// Faults of the system services a start uses, switched on and off.
void NoFault(bool) {}
void NoDevice(bool on) {
    WaveOutSetOpenResult(on ? MMSYSERR_BADDEVICEID : MMSYSERR_NOERROR);
}
void WriteRefused(bool on) {
    WaveOutSetWriteResult(on ? MMSYSERR_ERROR : MMSYSERR_NOERROR);
}

TEST_F(PlayerDeviceTest, FailedStartsReturnNullAndLeaveThePlayerStopped) {
    struct Case {
        const char* what;
        std::string image;
        void (*fault)(bool on);
        uint32_t flags;
    } cases[] = {
        {"no device", ToneModule(64), NoDevice, PLAY_FROM_MEMORY},
        {"write refused", ToneModule(64), WriteRefused, PLAY_FROM_MEMORY},
        {"no thread", ToneModule(64), SetThreadCreationRefused, PLAY_FROM_MEMORY},
        {"not a module", std::string(400, 'x'), NoFault, PLAY_FROM_MEMORY},
        {"song ends in the pre-render", ToneModule(3, 1), NoFault, PLAY_FROM_MEMORY | PLAY_NO_LOOP},
        {"missing file", "/nonexistent/linkmend.xm", NoFault, PLAY_FROM_FILE},
        {"missing resource", "NO_SUCH_TUNE", NoFault, 0},
    };
    for (const Case& c : cases) {
        c.fault(true);
        const void* source = c.image.c_str();
        EXPECT_EQ(PlayModule(source, c.image.size(), c.flags), nullptr) << c.what;
        c.fault(false);
        EXPECT_EQ(WaveOutOpenDevices(), 0) << c.what;
        EXPECT_EQ(gPlayer.device.load(), nullptr) << c.what;
        EXPECT_EQ(gPlayer.heap, nullptr) << c.what;
        EXPECT_EQ(gPlayer.renderThread.load(), nullptr) << c.what;
    }
}

TEST_F(PlayerDeviceTest, PausedStartPlaysSilence) {
    ASSERT_NE(Play(ToneModule(64), PLAY_FROM_MEMORY | PLAY_PAUSED), nullptr);
    for (int i = 0; i < kOutputBytes / 2; ++i) ASSERT_EQ(gPlayer.outputBuffer[i], 0);
    EXPECT_EQ(GetPlayTime(), 0u);
}
#endif

} // namespace
