// Where a module is read from (memory image, RT_RCDATA resource or file) and the private heap
// that holds every record of the loaded module.
#pragma once

#include "player_state.h"

extern const ModuleSource MemorySource;
extern const ModuleSource ResourceSource;
extern const ModuleSource FileSource;

// Start-flag bits that choose the source.
const uint32_t PLAY_FROM_MEMORY = 1;
const uint32_t PLAY_FROM_FILE = 2;

// Copies the source table chosen by `flags` into gPlayer.activeSource: bit 0 memory, else bit 1
// file, else resource.
void SelectModuleSource(uint32_t flags);

// The source state of a start before anything is read: sourceSize and sourceParameter from
// `parameter` (an image size or a module handle), position 0, and the table chosen by `flags`.
void PrepareModuleSource(UINT_PTR parameter, uint32_t flags);

// Sets sourceBase to `source` and opens it; sourceFailed tells whether it could be opened.
void OpenModuleSource(const void* source);

// Creates the growable private heap into gPlayer.heap; false when the system gives none.
bool CreatePlayerHeap();

// A zero-filled block of `bytes` from the private heap, or null. Blocks are never freed alone.
void* PlayerAlloc(uint32_t bytes);

// Destroys the private heap and every block in it; nothing when there is none.
void DestroyPlayerHeap();
