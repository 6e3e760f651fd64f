// Loading a module image from memory with the player's own start steps.
#include "module_image.h"
#include "sources.h"
#include "tool_files.h"

#include <cstdint>
#include <cstring>

int LoadModuleImage(const void* image, size_t size) {
    return ReadModuleImage(image, size) == LoadFailure::None ? 1 : 0;
}

// An image larger than a 32-bit size can state is one the player has no room for.
LoadFailure ReadModuleImage(const void* image, size_t size) {
    if (size > size_t(INT32_MAX)) return LoadFailure::OutOfMemory;
    return ReadModuleFromSource(PLAY_FROM_MEMORY, image, static_cast<UINT_PTR>(size));
}

LoadFailure ReadModuleFromSource(uint32_t flags, const void* source, UINT_PTR parameter) {
    ReleaseModuleImage();
    if (!CreatePlayerHeap()) return LoadFailure::OutOfMemory;
    PrepareModuleSource(parameter, flags);
    OpenModuleSource(source);
    std::memset(gPlayer.song.header, 0, sizeof gPlayer.song.header);
    gPlayer.activeSource.read(gPlayer.song.header, kModuleHeaderBytes);
    LoadFailure outcome = ReadModule();
    gPlayer.activeSource.close();
    return outcome;
}

void ReleaseModuleImage() {
    DestroyPlayerHeap();
}

const char* LoadFailureText(LoadFailure failure) {
    switch (failure) {
    case LoadFailure::None:
        return "loaded";
    case LoadFailure::Truncated:
        return "the module ends inside its header or a pattern header, or seeks outside it";
    case LoadFailure::SongLength:
        return "song length is not 1..256";
    case LoadFailure::NoPatterns:
        return "the number of patterns is 0";
    case LoadFailure::ChannelCount:
        return "the number of channels is not 1..32";
    case LoadFailure::EmptyPattern:
        return "a pattern has 0 rows";
    case LoadFailure::TooManySamples:
        return "an instrument has more than 16 samples";
    case LoadFailure::SampleHeaderSize:
        return "a sample header size is above 40 bytes";
    case LoadFailure::SampleTooLong:
        return "a sample is 2^22 frames long or longer";
    case LoadFailure::OutOfMemory:
        return "out of memory";
    }
    return "unknown failure";
}

bool ReadFileBytes(const char* path, std::string& bytes) {
    std::string why;
    return ReadInputFile(path, bytes, why);
}

bool WriteFileBytes(const char* path, const std::string& bytes) {
    std::string why;
    return WriteOutputFile(path, bytes, why);
}
