// Player control and audio output: the start and stop sequences, the render thread that keeps
// the one looping output buffer filled, RenderBlock, and the small auxiliary operations.
#include "player.h"

#include "loader.h"
#include "mixer.h"
#include "sequencer.h"
#include "sources.h"

#include <cstring>
#include <emmintrin.h>

namespace {

const PCMWAVEFORMAT kOutputFormat = {{WAVE_FORMAT_PCM, 2, 48000, 192000, 4}, 16};
const int32_t kFullVolumeDivisor = 16;
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
    if (openDevice)
        waveOutOpen(&gPlayer.device, WAVE_MAPPER, reinterpret_cast<LPCWAVEFORMATEX>(&kOutputFormat),
                    0, 0, CALLBACK_NULL);
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
    StartSongPosition();
    return true;
}

// StopPlayback steps 2 to 4: everything but the render thread. Whoever runs this owns the
// device and the heap at that moment: the render thread (end of song) while no stop can touch
// them, the caller's thread only once no render thread runs.
void ReleasePlayback() {
    gPlayer.nextBlock = 0;
    HWAVEOUT device = gPlayer.device;
    if (device != nullptr) {
        gPlayer.device = nullptr;
        waveOutReset(device);
        waveOutUnprepareHeader(device, &gPlayer.waveHeader, sizeof(WAVEHDR));
        waveOutClose(device);
    }
    if (gPlayer.heap != nullptr) {
        DestroyPlayerHeap();
        gPlayer.statsIndex = 0;
        for (BlockStats& stats : gPlayer.blockStats) {
            stats.levels = 0;
            stats.timeMs = 0;
        }
        std::memset(gPlayer.songTitle, 0, 4);
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

// Eight floats rounded to the nearest integers, ties to even (the default rounding of the
// conversion), and clamped to 16 bits by the saturating pack. The mix stays far inside the 32-bit
// range of the conversion (64 voices of at most 32768 at gains up to 1), so rounding first and
// clamping after gives the 16-bit samples exactly.
inline __m128i RoundAndClamp(const float* values) {
    return _mm_packs_epi32(_mm_cvtps_epi32(_mm_loadu_ps(values)),
                           _mm_cvtps_epi32(_mm_loadu_ps(values + 4)));
}

// Four 32-bit samples times 16 divided by the divisor, rounding toward zero. The division is made
// in double: for integers below 2^52 the rounded quotient never crosses an integer, so cutting off
// its fraction gives the integer quotient exactly.
inline __m128i ScaleFour(__m128i samples, __m128d divisor) {
    samples = _mm_slli_epi32(samples, 4);
    __m128i low = _mm_cvttpd_epi32(_mm_div_pd(_mm_cvtepi32_pd(samples), divisor));
    __m128i high =
        _mm_cvttpd_epi32(_mm_div_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0x0E)), divisor));
    return _mm_unpacklo_epi64(low, high);
}

// Each of eight 16-bit samples times 16 divided by the divisor (at least 16: the results fit).
inline __m128i ScaleByVolume(__m128i samples, __m128d divisor) {
    __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(samples, samples), 16);
    __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(samples, samples), 16);
    return _mm_packs_epi32(ScaleFour(low, divisor), ScaleFour(high, divisor));
}

// The magnitudes of eight 16-bit samples as unsigned 16-bit values (-32768 gives 32768).
inline __m128i Magnitudes(__m128i samples) {
    __m128i sign = _mm_srai_epi16(samples, 15);
    return _mm_sub_epi16(_mm_xor_si128(samples, sign), sign);
}

// RenderBlock step 5: region k into output block k, eight samples (four frames) at a time; returns
// the sums of the absolute left and right samples. At full volume the division changes nothing.
// Each 32-bit lane of the samples holds one frame, left in its low half: masking and shifting the
// magnitudes sorts them into four left and four right sums.
void ConvertRegion(uint32_t k, uint32_t& leftSum, uint32_t& rightSum) {
    const float* region = gPlayer.mixBuffer[k];
    int16_t* block = gPlayer.outputBuffer + k * kBlockFrames * 2;
    int32_t divisor = gPlayer.volumeDivisor;
    bool scaled = divisor != kFullVolumeDivisor && divisor != 0;
    const __m128d divisors = _mm_set1_pd(divisor);
    const __m128i lowHalves = _mm_set1_epi32(0xFFFF);
    __m128i lefts = _mm_setzero_si128();
    __m128i rights = _mm_setzero_si128();
    for (int i = 0; i < kBlockFrames * 2; i += 8) {
        __m128i samples = RoundAndClamp(region + i);
        if (scaled) samples = ScaleByVolume(samples, divisors);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), samples);
        __m128i magnitudes = Magnitudes(samples);
        lefts = _mm_add_epi32(lefts, _mm_and_si128(magnitudes, lowHalves));
        rights = _mm_add_epi32(rights, _mm_srli_epi32(magnitudes, 16));
    }
    alignas(16) uint32_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), lefts);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 4), rights);
    leftSum = lanes[0] + lanes[1] + lanes[2] + lanes[3];
    rightSum = lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

// RenderThread step 1: the block the device is playing.
uint32_t PlayingBlock() {
    gPlayer.playCursor.wType = TIME_BYTES;
    waveOutGetPosition(gPlayer.device, &gPlayer.playCursor, sizeof(MMTIME));
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
    waveOutPrepareHeader(gPlayer.device, &header, sizeof(WAVEHDR));
    do RenderBlock();
    while (gPlayer.nextBlock != 0);
    gPlayer.stopRequest = 0;
    if (waveOutWrite(gPlayer.device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
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
    uint32_t leftSum, rightSum;
    ConvertRegion(k, leftSum, rightSum);
    gPlayer.nextBlock = (k + 1) % kBlockCount;
    gPlayer.blockStats[gPlayer.nextBlock].levels =
        ((leftSum >> 10) & 0xFFFF) << 16 | ((rightSum >> 10) & 0xFFFF);
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
    return gPlayer.songTitle;
}
