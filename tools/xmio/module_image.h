// Loading a module image from memory the way the player's start does, for the tools and tests.
#pragma once

#include "loader.h"

#include <cstddef>

// Loads the `size` bytes at `image` into gPlayer's records on a fresh private heap (the heap of
// an earlier load goes first): memory source, the 336-byte header block, then ReadModule. Returns
// the load's outcome, None when it loaded. The records stay until the next load or
// ReleaseModuleImage.
LoadFailure ReadModuleImage(const void* image, size_t size);

// ReadModuleImage in short: nonzero when the module loaded.
int LoadModuleImage(const void* image, size_t size);

// The same through any source, as the player's start chooses it: `flags` PLAY_FROM_MEMORY with
// an image and its size, PLAY_FROM_FILE with an ANSI file name, or 0 with a resource name and
// module handle.
LoadFailure ReadModuleFromSource(uint32_t flags, const void* source, UINT_PTR parameter);

// Destroys the private heap with every loaded record.
void ReleaseModuleImage();

// A one-line text naming the rule a module broke.
const char* LoadFailureText(LoadFailure failure);

#include <string>

// The whole contents of a file into `bytes`; false when it cannot be read (tool_files.h says
// why).
bool ReadFileBytes(const char* path, std::string& bytes);

// `bytes` as the whole contents of a file, written whole or not at all; false when it cannot be
// written.
bool WriteFileBytes(const char* path, const std::string& bytes);
