// The player's control surface: start and stop, volume, pause, and the read-outs.
#pragma once

#include "player_state.h"

// Start-flag bits beyond the source choice (PLAY_FROM_MEMORY and PLAY_FROM_FILE, sources.h).
const uint32_t PLAY_NO_LOOP = 8;
const uint32_t PLAY_PAUSED = 16;

// Stops whatever plays; with a non-null source starts it. `source` is an image address, a
// resource name or id, or an ANSI file name by `flags`; `parameter` is the image size or the
// module handle of a resource. Returns the address of gPlayer.device on success, else null:
// an std::atomic<HWAVEOUT> that any thread may load, null from the moment playback stops.
void* PlayModule(const void* source, UINT_PTR parameter, uint32_t flags);

// Stops the render thread, closes the device and destroys the heap with the module.
void StopPlayback();

// Starts a song for rendering without a device or a render thread (tools, tests, benchmarks):
// the same start steps as PlayModule up to the song position. The caller then calls RenderBlock
// and reads each block from gPlayer.outputBuffer; StopPlayback ends it. A RenderBlock that
// leaves gPlayer.heap null has met the end of a PLAY_NO_LOOP song (that block is not rendered),
// and every later RenderBlock renders nothing.
// False, with the player stopped, when the module cannot be opened or loaded.
bool StartOfflineRender(const void* source, UINT_PTR parameter, uint32_t flags);

// Fills output block nextBlock (mixing, conversion to 16 bits, statistics) and moves on. Without
// a loaded song (none started, stopped, or ended) it does nothing at all.
void RenderBlock();

void SetPlayerVolume(uint32_t volume);
void PausePlayback();
void ResumePlayback();
uint32_t GetOutputLevels();
uint32_t GetPlayTime();
// The loaded song's title; empty when no song is loaded. Only a new start rewrites the text.
const char* GetSongTitle();
