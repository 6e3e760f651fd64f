// Control of the stand-in wave output device for tests: a clock the test drives instead of real
// time and may start hours into play, a capture of every byte the device plays, a device that
// refuses to open or to play, and read-outs.
#pragma once

#include "platform.h"

#include <cstdint>
#include <vector>

// With the test clock on, a device written from now on plays only as far as WaveOutAdvance moves
// it; with it off (the default) it plays in real time, 192000 bytes per second from its
// waveOutWrite. A device keeps the clock it was written under.
void WaveOutUseTestClock(bool on);

// Test clock: moves it on by the time of `bytes` bytes, so each device on it plays that much
// more of its buffer (capturing it when a capture runs).
// Returns the number of position queries made before this moment, so that a test can wait for
// the queries that see the new position (WaveOutPositionQueries).
uint32_t WaveOutAdvance(uint32_t bytes);

// The next waveOutWrite starts the device's clock `bytes` bytes' time before the write, as if it
// had played that long already (hours of play: the 32-bit position wraps at 2^32), on either
// clock. The buffer plays from its byte `bytes` modulo its length, so a multiple of the length
// starts at its beginning.
void WaveOutStartClockAt(uint64_t bytes);

// Position queries made so far on any device.
uint32_t WaveOutPositionQueries();

// The result waveOutOpen gives from now on; MMSYSERR_NOERROR opens devices again.
void WaveOutSetOpenResult(MMRESULT result);

// The result waveOutWrite gives from now on, after its checks of device and header (the header
// then does not play); MMSYSERR_NOERROR plays again.
void WaveOutSetWriteResult(MMRESULT result);

// Starts collecting every sample played from now on; WaveOutTakeCapture hands them over (left,
// right, left...) and empties the collection.
void WaveOutStartCapture();
std::vector<int16_t> WaveOutTakeCapture();

// Devices open now, and whether any of them is playing a header.
int WaveOutOpenDevices();
bool WaveOutPlaying();
