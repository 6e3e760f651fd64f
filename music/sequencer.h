// Walks the song row by row and tick by tick and turns channels into voice settings.
#pragma once

#include "player_state.h"

// Sets the sequencer's part of the start state: globalVolume, each voice's index and step of
// 1.0, speed, tick counters, the position (order 0, row 0 at the first tick), channel c on
// voice c, and the tick length from defaultBpm. Channels and voices must already be zero.
void StartSongPosition();

// Runs one tick of the song (a row tick or another tick), moves the tick counter on and sets
// tickFramesLeft to samplesPerTick. False when the song has ended with noLoop set: the caller
// then stops playback and mixes nothing more.
bool RunTick();

// samplesPerTick = 120000 / bpm (bpm 0 gives 120000).
void SetBpm(uint32_t bpm);

// Runs the row tick for every channel at the position taken from nextOrder and nextRow, and
// returns the pattern it played (an empty pattern of no rows when the order names none).
const Pattern& ProcessRow();

// Runs one of the ticks after the row tick for every channel.
void ProcessTick();

// Turns the channel's state into the values of its voice: auto-vibrato, note start with the
// hand-over to the partner voice, volume, panning, restart and pitch, as `flags` asks.
void UpdateVoice(Channel& channel, Sample& sample, const Instrument& instrument);

// Amiga-table period of note index n (C-4 = 48 gives 1712) with the sample's finetune.
int32_t AmigaPeriod(int32_t noteIndex, const Sample& sample);

// Linear-table period of note index n (C-4 = 48 gives 4608) with the sample's finetune.
int32_t LinearPeriod(int32_t noteIndex, const Sample& sample);

// Channel defaults when a row names an instrument or a delayed note starts: volume and panning
// from the sample, envelopes, fade-out and auto-vibrato from their start, keyOff cleared.
void StartInstrument(Channel& channel, const Sample& sample);

// The instrument the channel refers to; an empty one (no samples) when the song has none there.
const Instrument& ChannelInstrument(const Channel& channel);

// The sample the channel's instrument maps its key to, or EmptySample.
Sample& ChannelSample(const Channel& channel, const Instrument& instrument);

// The silent sample played where an instrument has none for a note: no frames, no loop. Its
// data points at zero slots so that a mixer never reads outside storage.
extern Sample EmptySample;
