// Heap accounting for reports on Windows: the bytes of the busy blocks of a heap.
#include "platform.h"

SIZE_T PlatformHeapBytes(HANDLE heap) {
    if (heap == nullptr) return 0;
    SIZE_T bytes = 0;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    return bytes;
}
