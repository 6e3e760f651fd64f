// A tool's input module: the file read whole, loaded with the player's own loader and walked, with
// what a tool tells its user about it.
#pragma once

#include "file_layout.h"

#include <string>

struct ModuleInput {
    std::string bytes;
    XmFileLayout layout;
    std::string unreadable; // the system's reason when the file cannot be read
    std::string refused;    // why the loader refused the bytes (RefusalText)
    std::string cutShort;   // what the song lacks of a module cut short (CutShortText)
    std::string trimmed;    // the note on a tail the song does not use (TrimmedTailText)
};

// Reads `path` ("-": standard input) and loads it into gPlayer's records, which stay there until
// the next load or ReleaseModuleImage.
ModuleInput ReadModuleInput(const std::string& path);

// Empty when the input loaded; otherwise "cannot be read: REASON", or `refusal` followed by ": "
// and the loader's rule.
std::string InputFault(const ModuleInput& input, const std::string& refusal);
