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
