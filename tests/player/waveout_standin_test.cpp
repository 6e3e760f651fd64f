// The stand-in wave output device: the player's format only, one prepared header played in an
// endless loop from its submission, positions in bytes, reset, unprepare and close.
#include "posix/waveout_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

const PCMWAVEFORMAT kFormat = {{WAVE_FORMAT_PCM, 2, 48000, 192000, 4}, 16};

LPCWAVEFORMATEX Format(const PCMWAVEFORMAT& format) {
    return reinterpret_cast<LPCWAVEFORMATEX>(&format);
}

class WaveOutStandInTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WaveOutUseTestClock(true);
        ASSERT_EQ(waveOutOpen(&device_, WAVE_MAPPER, Format(kFormat), 0, 0, CALLBACK_NULL), 0u);
        for (size_t i = 0; i < buffer_.size(); ++i) buffer_[i] = static_cast<int16_t>(i);
        header_.lpData = reinterpret_cast<char*>(buffer_.data());
        header_.dwBufferLength = 16;
        header_.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        header_.dwLoops = 0xFFFFFFFF;
    }
    void TearDown() override {
        waveOutReset(device_);
        waveOutUnprepareHeader(device_, &header_, sizeof header_);
        waveOutClose(device_);
        WaveOutUseTestClock(false);
    }
    DWORD Position() {
        MMTIME time = {};
        time.wType = TIME_BYTES;
        waveOutGetPosition(device_, &time, sizeof time);
        return time.u.cb;
    }

    HWAVEOUT device_ = nullptr;
    std::vector<int16_t> buffer_ = std::vector<int16_t>(8);
    WAVEHDR header_ = {};
};

TEST_F(WaveOutStandInTest, OpensOnlyThePlayersFormat) {
    PCMWAVEFORMAT mono = kFormat;
    mono.wf.nChannels = 1;
    HWAVEOUT other = nullptr;
    EXPECT_EQ(waveOutOpen(&other, WAVE_MAPPER, Format(mono), 0, 0, CALLBACK_NULL),
              WAVERR_BADFORMAT);
    EXPECT_EQ(other, nullptr);
    WaveOutSetOpenResult(MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOutOpen(&other, WAVE_MAPPER, Format(kFormat), 0, 0, CALLBACK_NULL),
              MMSYSERR_BADDEVICEID);
    WaveOutSetOpenResult(MMSYSERR_NOERROR);
}

TEST_F(WaveOutStandInTest, PlaysTheBufferInAnEndlessLoopFromTheWrite) {
    EXPECT_EQ(waveOutWrite(device_, &header_, sizeof header_), WAVERR_UNPREPARED);
    ASSERT_EQ(waveOutPrepareHeader(device_, &header_, sizeof header_), 0u);
    WaveOutStartCapture();
    ASSERT_EQ(waveOutWrite(device_, &header_, sizeof header_), 0u);
    EXPECT_EQ(Position(), 0u);
    WaveOutAdvance(12);
    buffer_[6] = 600; // not played yet: the device takes what the buffer holds when it plays
    WaveOutAdvance(24);
    EXPECT_EQ(Position(), 36u);
    EXPECT_EQ(WaveOutTakeCapture(),
              (std::vector<int16_t>{0, 1, 2, 3, 4, 5, 600, 7, 0, 1, 2, 3, 4, 5, 600, 7, 0, 1}));
}

TEST_F(WaveOutStandInTest, ResetStopsItAndOnlyThenTheHeaderAndDeviceGo) {
    waveOutPrepareHeader(device_, &header_, sizeof header_);
    waveOutWrite(device_, &header_, sizeof header_);
    EXPECT_TRUE(WaveOutPlaying());
    EXPECT_EQ(waveOutUnprepareHeader(device_, &header_, sizeof header_), 33u); // still playing
    EXPECT_EQ(waveOutClose(device_), 33u);
    EXPECT_EQ(waveOutReset(device_), 0u);
    EXPECT_FALSE(WaveOutPlaying());
    EXPECT_EQ(Position(), 0u);
    EXPECT_EQ(waveOutUnprepareHeader(device_, &header_, sizeof header_), 0u);
    EXPECT_EQ(header_.dwFlags & WHDR_PREPARED, 0u);
    int open = WaveOutOpenDevices();
    EXPECT_EQ(waveOutClose(device_), 0u);
    EXPECT_EQ(WaveOutOpenDevices(), open - 1);
    EXPECT_EQ(waveOutGetPosition(device_, nullptr, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutWrite(nullptr, &header_, sizeof header_), MMSYSERR_INVALHANDLE);
}

TEST_F(WaveOutStandInTest, RealTimeClockAdvances192000BytesPerSecond) {
    WaveOutUseTestClock(false);
    waveOutPrepareHeader(device_, &header_, sizeof header_);
    auto start = std::chrono::steady_clock::now();
    waveOutWrite(device_, &header_, sizeof header_);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    DWORD position = Position();
    auto elapsed = std::chrono::steady_clock::now() - start;
    double most = std::chrono::duration<double>(elapsed).count() * 192000;
    EXPECT_GE(position, 50u * 192);
    EXPECT_LE(position, most);
    EXPECT_EQ(position % 4, 0u);
}

} // namespace
