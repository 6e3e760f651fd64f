// Turns an XM module image (standard or compacted layout) into the in-memory song records.
#pragma once

#include "player_state.h"

// Reads the module through gPlayer.activeSource, which stands just after the first
// kModuleHeaderBytes bytes, already read into gPlayer.song.header. Fills songTitle, the Song
// fields, patterns, instruments and samples, all taken from PlayerAlloc. Nonzero on success.
// Frees nothing on failure: what was built stays on the private heap until the player stops.
int LoadModule();
