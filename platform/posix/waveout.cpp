// The stand-in wave output device: accepts the player's one format, plays one prepared header
// (a looping header endlessly) from its waveOutWrite until waveOutReset, reports the bytes played
// in real time or by a test-driven clock, can capture what it plays, and can refuse to open or
// to play.
#include "platform.h"
#include "posix/waveout_control.h"

#include <chrono>
#include <mutex>
#include <ratio>
#include <set>

namespace {

const MMRESULT kStillPlaying = 33; // WAVERR_STILLPLAYING
const uint32_t kBytesPerSecond = 192000;
const uint32_t kFrameBytes = 4;

// Time is counted in thirds of a nanosecond, the coarsest unit in which both a nanosecond of the
// system clock and the time of one byte (1/192000 s) are whole: the test clock then moves by
// exact byte counts, and turning a time into bytes is a division alone, which cannot overflow
// however long the device has played.
using Ticks = std::chrono::duration<int64_t, std::ratio<1, 3000000000>>;
using ByteTime = std::chrono::duration<int64_t, std::ratio<1, kBytesPerSecond>>;

struct Device {
    WAVEHDR* playing = nullptr; // the header being played, null when stopped
    bool testClock = false;     // plays by the test clock rather than real time
    Ticks origin{};             // when its byte count was 0 (the write, less any head start)
    uint64_t startBytes = 0;    // the byte count at the write
    uint64_t playedBytes = 0;   // counted on from startBytes
    uint64_t capturedBytes = 0; // of playedBytes, already in the capture
};

struct WaveOut {
    std::mutex mutex;
    std::set<Device*> devices;
    bool testClock = false;
    Ticks testTime{};            // moved only by WaveOutAdvance
    uint64_t nextStartBytes = 0; // for the next write only
    MMRESULT openResult = MMSYSERR_NOERROR;
    MMRESULT writeResult = MMSYSERR_NOERROR;
    bool capturing = false;
    std::vector<int16_t> capture;
    uint32_t queries = 0;
};

WaveOut& State() {
    static WaveOut state;
    return state;
}

Device* Find(WaveOut& state, HWAVEOUT handle) {
    auto* device = reinterpret_cast<Device*>(handle);
    return state.devices.count(device) ? device : nullptr;
}

bool Loops(const WAVEHDR& header) {
    return (header.dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP)) == (WHDR_BEGINLOOP | WHDR_ENDLOOP);
}

Ticks Now(const WaveOut& state, bool testClock) {
    if (testClock) return state.testTime;
    return std::chrono::steady_clock::now().time_since_epoch();
}

// Moves the device's byte count to `played`, capturing the bytes in between. A header without
// the loop flags plays once and stops at its end.
void PlayTo(WaveOut& state, Device& device, uint64_t played) {
    const WAVEHDR& header = *device.playing;
    uint32_t length = header.dwBufferLength - header.dwBufferLength % kFrameBytes;
    if (length == 0) return;
    if (!Loops(header) && played > device.startBytes + length) played = device.startBytes + length;
    if (played < device.playedBytes) return;
    device.playedBytes = played;
    if (!state.capturing) {
        device.capturedBytes = played;
        return;
    }
    const auto* samples = reinterpret_cast<const int16_t*>(header.lpData);
    for (; device.capturedBytes < played; device.capturedBytes += 2)
        state.capture.push_back(samples[(device.capturedBytes % length) / 2]);
}

// The position follows the device's clock, whole frames only.
void CatchUp(WaveOut& state, Device& device) {
    if (device.playing == nullptr) return;
    Ticks elapsed = Now(state, device.testClock) - device.origin;
    auto bytes = uint64_t(std::chrono::floor<ByteTime>(elapsed).count());
    PlayTo(state, device, bytes - bytes % kFrameBytes);
}

// The checks of every call that takes a header: a device of this stand-in and a whole WAVEHDR.
MMRESULT CheckHeaderCall(WaveOut& state, HWAVEOUT handle, const WAVEHDR* header, UINT size) {
    if (Find(state, handle) == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

bool AcceptsFormat(LPCWAVEFORMATEX format) {
    // Only the PCMWAVEFORMAT part is read: a PCM format carries no cbSize.
    return format != nullptr && format->wFormatTag == WAVE_FORMAT_PCM && format->nChannels == 2 &&
           format->nSamplesPerSec == 48000 && format->nAvgBytesPerSec == kBytesPerSecond &&
           format->nBlockAlign == kFrameBytes && format->wBitsPerSample == 16;
}

} // namespace

MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR, DWORD_PTR,
                     DWORD flags) {
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.openResult != MMSYSERR_NOERROR) return state.openResult;
    if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
    if (flags != CALLBACK_NULL) return MMSYSERR_INVALPARAM;
    if (!AcceptsFormat(format)) return WAVERR_BADFORMAT;
    auto* device = new Device;
    state.devices.insert(device);
    *handle = reinterpret_cast<HWAVEOUT>(device);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (MMRESULT refused = CheckHeaderCall(state, handle, header, size)) return refused;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT size) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (MMRESULT refused = CheckHeaderCall(state, handle, header, size)) return refused;
    Device* device = Find(state, handle);
    if (header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (device->playing != nullptr) return MMSYSERR_ERROR; // one header at a time here
    if (state.writeResult != MMSYSERR_NOERROR) return state.writeResult;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    device->playing = header;
    device->testClock = state.testClock;
    uint64_t start = state.nextStartBytes;
    device->origin = Now(state, state.testClock) - ByteTime(static_cast<int64_t>(start));
    device->startBytes = device->playedBytes = device->capturedBytes = start;
    state.nextStartBytes = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetPosition(HWAVEOUT handle, MMTIME* time, UINT size) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Device* device = Find(state, handle);
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (time == nullptr || size != sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
    ++state.queries;
    CatchUp(state, *device);
    time->wType = TIME_BYTES; // the one format this device reports, as Windows substitutes
    time->u.cb = static_cast<DWORD>(device->playing ? device->playedBytes : 0);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT handle) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Device* device = Find(state, handle);
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (device->playing != nullptr) {
        CatchUp(state, *device);
        device->playing->dwFlags = (device->playing->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        device->playing = nullptr;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT size) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (MMRESULT refused = CheckHeaderCall(state, handle, header, size)) return refused;
    if (header->dwFlags & WHDR_INQUEUE) return kStillPlaying;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT handle) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Device* device = Find(state, handle);
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (device->playing != nullptr) return kStillPlaying;
    state.devices.erase(device);
    delete device;
    return MMSYSERR_NOERROR;
}

void WaveOutUseTestClock(bool on) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.testClock = on;
}

uint32_t WaveOutAdvance(uint32_t bytes) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.testTime += ByteTime(bytes);
    for (Device* device : state.devices)
        if (device->testClock) CatchUp(state, *device);
    return state.queries;
}

uint32_t WaveOutPositionQueries() {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.queries;
}

void WaveOutSetOpenResult(MMRESULT result) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.openResult = result;
}

void WaveOutSetWriteResult(MMRESULT result) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.writeResult = result;
}

void WaveOutStartClockAt(uint64_t bytes) {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.nextStartBytes = bytes;
}

void WaveOutStartCapture() {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.capturing = true;
    state.capture.clear();
    for (Device* device : state.devices) device->capturedBytes = device->playedBytes;
}

std::vector<int16_t> WaveOutTakeCapture() {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    std::vector<int16_t> taken;
    taken.swap(state.capture);
    return taken;
}

int WaveOutOpenDevices() {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return static_cast<int>(state.devices.size());
}

bool WaveOutPlaying() {
    WaveOut& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    for (Device* device : state.devices)
        if (device->playing != nullptr) return true;
    return false;
}
