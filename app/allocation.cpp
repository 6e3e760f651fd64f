// The program's own allocation functions for its few small records (new (std::nothrow) and
// delete). They take memory from the process heap, so the runtime's exception machinery,
// which its own versions bring along, stays out of the program.
#include <windows.h>

#include <cstddef>
#include <new>

void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return HeapAlloc(GetProcessHeap(), 0, bytes != 0 ? bytes : 1);
}

void operator delete(void* block) noexcept {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}
