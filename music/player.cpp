// Player control and audio output: the start and stop sequences, the render thread that keeps
// the one looping output buffer filled, RenderBlock, and the small auxiliary operations.
#include "player.h"

#include "block_convert.h"
#include "loader.h"
#include "mixer.h"
#include "sequencer.h"
#include "sources.h"

#include <cstring>

namespace {

const PCMWAVEFORMAT kOutputFormat = {{WAVE_FORMAT_PCM, 2, 48000, 192000, 4}, 16};
const int32_t kSilentDivisor = 2147483600;
const uint32_t kLargestVolume = 64;
const DWORD kPollMs = 5;

// Start steps 4 to 12: clears the song state, opens the device when asked, creates the heap,
// reads and loads the module and sets up the song position. False when the start must fail.
bool SetUpSong(const void* source, UINT_PTR parameter, uint32_t flags, bool openDevice) {
    PrepareModuleSource(parameter, flags);
    gPlayer.noLoop = (flags & PLAY_NO_LOOP) ? 1 : 0;
    gPlayer.paused = (flags & PLAY_PAUSED) ? 1 : 0;
    std::memset(gPlayer.voices, 0, sizeof gPlayer.voices);
    std::memset(gPlayer.channels, 0, sizeof gPlayer.channels);
    std::memset(&gPlayer.song, 0, sizeof gPlayer.song);
    if (openDevice) {
        HWAVEOUT device = nullptr;
        waveOutOpen(&device, WAVE_MAPPER, reinterpret_cast<LPCWAVEFORMATEX>(&kOutputFormat), 0, 0,
                    CALLBACK_NULL);
        gPlayer.device = device;
    }
    if (!CreatePlayerHeap()) return false;
    OpenModuleSource(source);
    bool loaded = false;
    if (!gPlayer.sourceFailed) {
        gPlayer.activeSource.read(gPlayer.song.header, kModuleHeaderBytes);
        loaded = LoadModule() != 0;
    }
    gPlayer.activeSource.close();
    if (!loaded) return false;
    if (gPlayer.volumeDivisor == 0) gPlayer.volumeDivisor = kFullVolumeDivisor;
    gPlayer.loadedTitle = gPlayer.songTitle;
    StartSongPosition();
    return true;
}

// The song's records go with the heap: no pointer into it is left behind, so nothing can mix or
// play from freed memory afterwards.
void ForgetSong() {
    Song& song = gPlayer.song;
    song.patterns = nullptr;
    song.instruments = nullptr;
    song.patternCount = 0;
    song.instrumentCount = 0;
    for (Voice& voice : gPlayer.voices) voice.sample = nullptr;
}

// StopPlayback steps 2 to 4: everything but the render thread. Whoever runs this owns the
// device and the heap at that moment: the render thread (end of song) while no stop can touch
// them, the caller's thread only once no render thread runs.
void ReleasePlayback() {
    gPlayer.nextBlock = 0;
    HWAVEOUT device = gPlayer.device.exchange(nullptr);
    if (device != nullptr) {
        waveOutReset(device);
        waveOutUnprepareHeader(device, &gPlayer.waveHeader, sizeof(WAVEHDR));
        waveOutClose(device);
    }
    if (gPlayer.heap != nullptr) {
        gPlayer.loadedTitle = nullptr;
        ForgetSong();
        DestroyPlayerHeap();
        gPlayer.statsIndex = 0;
        for (BlockStats& stats : gPlayer.blockStats) {
            stats.levels = 0;
            stats.timeMs = 0;
        }
    }
}

// The end-of-song stop, on whichever thread renders. The render thread's handle stays in
// renderThread: the thread ends at its next look at stopRequest, and the next StopPlayback
// waits for it (at most one poll) before anything is started or released again.
void StopAtSongEnd() {
    gPlayer.stopRequest = 1;
    ReleasePlayback();
}

void* FailStart() {
    StopPlayback();
    return nullptr;
}

// RenderBlock step 3: mixes the region's 1024 frames piece by piece between tick boundaries.
// False when the song ended with noLoop set.
bool MixRegion(float* region) {
    Song& song = gPlayer.song;
    uint32_t done = 0;
    while (done < uint32_t(kBlockFrames)) {
        if (song.tickFramesLeft == 0 && !RunTick()) return false;
        uint32_t missing = kBlockFrames - done;
        uint32_t n =
            uint32_t(song.tickFramesLeft) < missing ? uint32_t(song.tickFramesLeft) : missing;
        MixVoices(region + 2 * done, n);
        song.elapsedMs += n * 20 / 960;
        song.tickFramesLeft -= static_cast<int32_t>(n);
        done += n;
    }
    return true;
}

// RenderBlock step 5: region k into output block k; returns the sums of the absolute left and
// right samples. At full volume the division changes nothing.
BlockSums ConvertRegion(uint32_t k) {
    return ConvertBlock(gPlayer.mixBuffer[k], gPlayer.outputBuffer + k * kBlockFrames * 2,
                        kBlockFrames, gPlayer.volumeDivisor);
}

// RenderThread step 1: the block the device is playing.
uint32_t PlayingBlock() {
    gPlayer.playCursor.wType = TIME_BYTES;
    waveOutGetPosition(gPlayer.device.load(), &gPlayer.playCursor, sizeof(MMTIME));
    return (gPlayer.playCursor.u.cb >> 12) & 15;
}

DWORD WINAPI RenderThread(LPVOID) {
    uint32_t playing = PlayingBlock();
    for (;;) {
        Sleep(kPollMs);
        if (gPlayer.stopRequest != 0) return 0;
        if (gPlayer.nextBlock == playing) {
            playing = PlayingBlock();
            continue;
        }
        if (gPlayer.paused == 0) gPlayer.statsIndex = (gPlayer.statsIndex + 1) % kBlockCount;
        RenderBlock();
    }
}

} // namespace

void* PlayModule(const void* source, UINT_PTR parameter, uint32_t flags) {
    StopPlayback();
    if (source == nullptr) return nullptr;
    if (!SetUpSong(source, parameter, flags, true)) return FailStart();
    WAVEHDR& header = gPlayer.waveHeader;
    std::memset(&header, 0, sizeof header);
    header.lpData = reinterpret_cast<char*>(gPlayer.outputBuffer);
    header.dwBufferLength = kOutputBytes;
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = 0xFFFFFFFF;
    waveOutPrepareHeader(gPlayer.device.load(), &header, sizeof(WAVEHDR));
    do RenderBlock();
    while (gPlayer.nextBlock != 0);
    gPlayer.stopRequest = 0;
    if (waveOutWrite(gPlayer.device.load(), &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
        return FailStart();
    HANDLE thread = CreateThread(nullptr, 0, RenderThread, nullptr, 0, nullptr);
    if (thread == nullptr) return FailStart();
    gPlayer.renderThread = thread;
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    return &gPlayer.device;
}

bool StartOfflineRender(const void* source, UINT_PTR parameter, uint32_t flags) {
    StopPlayback();
    if (source != nullptr && SetUpSong(source, parameter, flags, false)) return true;
    StopPlayback();
    return false;
}

void StopPlayback() {
    HANDLE thread = gPlayer.renderThread.exchange(nullptr);
    if (thread != nullptr) {
        gPlayer.stopRequest = 1;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    ReleasePlayback();
}

void RenderBlock() {
    if (gPlayer.heap == nullptr) return; // no song loaded, or it has ended and been released
    uint32_t k = gPlayer.nextBlock;
    float* region = gPlayer.mixBuffer[k];
    std::memset(region, 0, sizeof gPlayer.mixBuffer[k]);
    if (gPlayer.paused == 0) {
        if (!MixRegion(region)) {
            StopAtSongEnd();
            return;
        }
        gPlayer.blockStats[k].timeMs = gPlayer.song.elapsedMs;
    }
    BlockSums sums = ConvertRegion(k);
    gPlayer.nextBlock = (k + 1) % kBlockCount;
    gPlayer.blockStats[gPlayer.nextBlock].levels =
        ((sums.left >> 10) & 0xFFFF) << 16 | ((sums.right >> 10) & 0xFFFF);
}

void SetPlayerVolume(uint32_t volume) {
    if (volume > kLargestVolume) volume = kLargestVolume;
    gPlayer.volumeDivisor = volume == 0 ? kSilentDivisor : 80 - static_cast<int32_t>(volume);
}

void PausePlayback() {
    gPlayer.paused = 1;
}

void ResumePlayback() {
    gPlayer.paused = 0;
}

uint32_t GetOutputLevels() {
    return gPlayer.blockStats[gPlayer.statsIndex].levels;
}

uint32_t GetPlayTime() {
    return gPlayer.blockStats[gPlayer.statsIndex].timeMs;
}

const char* GetSongTitle() {
    const char* title = gPlayer.loadedTitle;
    return title != nullptr ? title : "";
}
