// Private heaps: each block is its own zero-filled allocation on a list owned by the heap, so
// that memory checkers see every block's bounds and HeapDestroy releases them all at once.
#include "platform.h"

#include <cstdlib>
#include <new>

namespace {

struct BlockHeader {
    BlockHeader* next;
    SIZE_T bytes;
    alignas(16) unsigned char payload[1];
};

struct PrivateHeap {
    BlockHeader* blocks = nullptr;
    SIZE_T bytes = 0;
};

const SIZE_T kPayloadOffset = offsetof(BlockHeader, payload);
// Larger requests are refused, as a system heap refuses what it cannot map.
const SIZE_T kLargestBlock = SIZE_T(1) << 31;

} // namespace

HANDLE HeapCreate(DWORD, SIZE_T, SIZE_T) {
    return new (std::nothrow) PrivateHeap;
}

LPVOID HeapAlloc(HANDLE heap, DWORD, SIZE_T bytes) {
    if (heap == nullptr || bytes > kLargestBlock) return nullptr;
    auto* block = static_cast<BlockHeader*>(std::calloc(1, kPayloadOffset + (bytes ? bytes : 1)));
    if (block == nullptr) return nullptr;
    auto* owner = static_cast<PrivateHeap*>(heap);
    block->next = owner->blocks;
    block->bytes = bytes;
    owner->blocks = block;
    owner->bytes += bytes;
    return block->payload;
}

BOOL HeapDestroy(HANDLE heap) {
    if (heap == nullptr) return FALSE;
    auto* owner = static_cast<PrivateHeap*>(heap);
    for (BlockHeader* block = owner->blocks; block != nullptr;) {
        BlockHeader* next = block->next;
        std::free(block);
        block = next;
    }
    delete owner;
    return TRUE;
}

SIZE_T PlatformHeapBytes(HANDLE heap) {
    return heap ? static_cast<PrivateHeap*>(heap)->bytes : 0;
}
