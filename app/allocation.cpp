// The program's own allocation functions: every plain, array, nothrow and sized form of new and
// delete takes memory from the process heap and gives it back there, so a block is always freed
// by the heap that made it. The runtime's versions would bring its exception machinery along.
// (The aligned forms stay the runtime's; they allocate and free through a pair of their own.)
#include <windows.h>

#include <cstddef>
#include <new>

namespace {

// A zero-byte request still gets a block of its own.
void* Allocate(std::size_t bytes, DWORD flags) {
    return HeapAlloc(GetProcessHeap(), flags, bytes != 0 ? bytes : 1);
}

void Free(void* block) {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

} // namespace

// Plain new cannot report a failure without exceptions, and its callers never test for null:
// the heap raises STATUS_NO_MEMORY instead of returning, and with no handler the process ends.
void* operator new(std::size_t bytes) {
    return Allocate(bytes, HEAP_GENERATE_EXCEPTIONS);
}

void* operator new[](std::size_t bytes) {
    return Allocate(bytes, HEAP_GENERATE_EXCEPTIONS);
}

void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return Allocate(bytes, 0);
}

void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return Allocate(bytes, 0);
}

void operator delete(void* block) noexcept {
    Free(block);
}

void operator delete[](void* block) noexcept {
    Free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    Free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    Free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    Free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Free(block);
}
