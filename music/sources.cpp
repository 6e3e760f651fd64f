// Module sources and the player's private heap. A source whose open fails sets sourceFailed and
// leaves every later read without effect, so that the start can tell and refuse to play.
#include "sources.h"

#include <cstring>

namespace {

// RT_RCDATA in its narrow form, whatever the character set of the build.
LPCSTR const kRcData = MAKEINTRESOURCEA(10);

void OpenNothing(const void*) {}
void CloseNothing() {}

// Reads of a memory image. The position may have been sought below zero; the bytes that would
// lie before the image are skipped (their destination bytes keep what they held), so no read
// reaches before sourceBase. 64-bit sums keep the signed comparisons free of overflow.
void ReadMemory(void* destination, int32_t bytes) {
    if (bytes <= 0) return;
    int64_t position = gPlayer.sourcePosition;
    int64_t end = position + bytes;
    int64_t size = gPlayer.sourceSize;
    if (position >= size) return; // nothing left: the position stays
    int64_t first = position < 0 ? 0 : position;
    int64_t last = end < size ? end : size;
    if (last > first && gPlayer.sourceBase != nullptr)
        std::memcpy(static_cast<uint8_t*>(destination) + (first - position),
                    gPlayer.sourceBase + first, static_cast<size_t>(last - first));
    gPlayer.sourcePosition = static_cast<int32_t>(end > INT32_MAX ? INT32_MAX : end);
}

int32_t SeekMemory(int32_t offset, int32_t mode) {
    int64_t target = mode == 0 ? offset : int64_t(gPlayer.sourcePosition) + offset;
    if (target < INT32_MIN) target = INT32_MIN;
    if (target > INT32_MAX) target = INT32_MAX;
    if (target <= gPlayer.sourceSize) gPlayer.sourcePosition = static_cast<int32_t>(target);
    return static_cast<int32_t>(target);
}

void OpenResource(const void* source) {
    HMODULE module = reinterpret_cast<HMODULE>(gPlayer.sourceParameter);
    HRSRC resource = FindResourceA(module, static_cast<LPCSTR>(source), kRcData);
    HGLOBAL bytes = resource ? LoadResource(module, resource) : nullptr;
    gPlayer.sourcePosition = 0;
    if (bytes == nullptr) {
        gPlayer.sourceFailed = 1;
        gPlayer.sourceSize = 0;
        gPlayer.sourceBase = nullptr;
        return;
    }
    DWORD size = SizeofResource(module, resource);
    gPlayer.sourceSize = size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
    gPlayer.sourceBase = static_cast<const uint8_t*>(bytes);
}

void OpenFile(const void* source) {
    gPlayer.sourceFile =
        CreateFileA(static_cast<LPCSTR>(source), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (gPlayer.sourceFile == INVALID_HANDLE_VALUE) gPlayer.sourceFailed = 1;
}

void ReadFromFile(void* destination, int32_t bytes) {
    if (bytes <= 0 || gPlayer.sourceFailed) return;
    DWORD got = 0;
    ReadFile(gPlayer.sourceFile, destination, static_cast<DWORD>(bytes), &got, nullptr);
}

int32_t SeekFile(int32_t offset, int32_t mode) {
    if (gPlayer.sourceFailed) return -1;
    return static_cast<int32_t>(
        SetFilePointer(gPlayer.sourceFile, offset, nullptr, mode == 0 ? FILE_BEGIN : FILE_CURRENT));
}

void CloseFile() {
    if (gPlayer.sourceFile != INVALID_HANDLE_VALUE && gPlayer.sourceFile != nullptr)
        CloseHandle(gPlayer.sourceFile);
    gPlayer.sourceFile = nullptr;
}

} // namespace

const ModuleSource MemorySource = {OpenNothing, ReadMemory, SeekMemory, CloseNothing, 1};
const ModuleSource ResourceSource = {OpenResource, ReadMemory, SeekMemory, CloseNothing, 1};
const ModuleSource FileSource = {OpenFile, ReadFromFile, SeekFile, CloseFile, 0};

void SelectModuleSource(uint32_t flags) {
    if (flags & PLAY_FROM_MEMORY)
        gPlayer.activeSource = MemorySource;
    else if (flags & PLAY_FROM_FILE)
        gPlayer.activeSource = FileSource;
    else
        gPlayer.activeSource = ResourceSource;
    gPlayer.sourceFailed = 0;
}

void PrepareModuleSource(UINT_PTR parameter, uint32_t flags) {
    gPlayer.sourceSize = static_cast<int32_t>(parameter);
    gPlayer.sourceParameter = parameter;
    gPlayer.sourcePosition = 0;
    SelectModuleSource(flags);
}

void OpenModuleSource(const void* source) {
    gPlayer.sourceBase = static_cast<const uint8_t*>(source);
    gPlayer.activeSource.open(source);
}

bool CreatePlayerHeap() {
    gPlayer.heap = HeapCreate(0, 0, 0);
    return gPlayer.heap != nullptr;
}

void* PlayerAlloc(uint32_t bytes) {
    if (gPlayer.heap == nullptr) return nullptr;
    return HeapAlloc(gPlayer.heap, HEAP_ZERO_MEMORY | HEAP_NO_SERIALIZE, bytes);
}

void DestroyPlayerHeap() {
    HANDLE heap = gPlayer.heap;
    if (heap == nullptr) return;
    gPlayer.heap = nullptr;
    HeapDestroy(heap);
}
