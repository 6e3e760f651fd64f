// Builds small songs directly as the player's records, so that a test can state a module in a
// few lines and drive the tick engine tick by tick.
#pragma once

#include "player_state.h"

#include <functional>
#include <vector>

// Note values as a cell holds them: C-0 is 1, C-4 is 49; key-off is 97.
const uint8_t kNoteC4 = 49;
const uint8_t kKeyOff = 97;
inline uint8_t Note(int octave, int semitone) {
    return uint8_t(1 + 12 * octave + semitone);
}

// Effect numbers by their letters.
inline uint8_t Fx(char letter) {
    return uint8_t(letter <= '9' ? letter - '0' : letter - 'A' + 10);
}

// Starts a new song on a fresh private heap: `channels` channels, `patterns` patterns of `rows`
// empty rows each, played in order 0, 1, 2...; tempo 6, BPM 125, Amiga table, no instruments.
void NewSong(uint32_t channels = 1, uint32_t patterns = 1, uint16_t rows = 64);

// Adds instrument number instrumentCount + 1 with one sample of `frames` frames (a ramp of
// values) mapped to every note; a song holds at most 16 (a 17th throws std::length_error).
// loopType 0 none, 1 forward, 2 ping-pong; a loop covers the whole sample. Volume 64, panning
// 128, finetune 0, relative note 0.
Instrument& AddInstrument(uint32_t frames = 32, uint8_t loopType = 1);

// Adds a sample of `frames` frames to slot `slot` of the instrument (no loop).
Sample& AddSample(Instrument& instrument, int slot, uint32_t frames);

// The sample in slot 0 of instrument number `number` (1-based).
Sample& SampleOf(int number);

// Sets an envelope: points given as x, y pairs.
void SetVolumeEnvelope(Instrument& instrument, const std::vector<EnvelopePoint>& points,
                       uint8_t type = 1, uint8_t sustain = 0, uint8_t loopStart = 0,
                       uint8_t loopEnd = 0);
void SetPanningEnvelope(Instrument& instrument, const std::vector<EnvelopePoint>& points,
                        uint8_t type = 1, uint8_t sustain = 0, uint8_t loopStart = 0,
                        uint8_t loopEnd = 0);

// The cell at pattern, row and channel.
Cell& CellAt(uint32_t pattern, uint32_t row, uint32_t channel = 0);

// Writes a cell.
void Put(uint32_t pattern, uint32_t row, uint32_t channel, uint8_t note, uint8_t instrument,
         uint8_t volumeColumn = 0, uint8_t effect = 0, uint8_t parameter = 0);

// One channel, instrument 1 (a looped sample of 4000 frames), C-4 with the given volume column
// and effect on row 0; Amiga table unless `linear`.
void NoteWith(uint8_t effect, uint8_t parameter, bool linear = false, uint8_t volumeColumn = 0);

// Clears channels and voices and sets up the song position, as the player's start does.
void StartSong();

// Runs `ticks` ticks; false if the song ended on one of them.
bool RunTicks(int ticks);

// Runs `ticks` ticks and records `read()` after each.
std::vector<int32_t> Trace(int ticks, const std::function<int32_t()>& read);

// Per-tick traces of channel 0: period, periodOffset, volume, volumeOffset, voice number.
using Values = std::vector<int32_t>;
Values Periods(int ticks);
Values PeriodOffsets(int ticks);
Values Volumes(int ticks);
Values VolumeOffsets(int ticks);
Values VoiceNumbers(int ticks, uint32_t channel = 0);

// The channel and its current voice.
Channel& Ch(uint32_t channel = 0);
Voice& VoiceOf(uint32_t channel = 0);
