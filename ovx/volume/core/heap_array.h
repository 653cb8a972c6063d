// Arrays on the process heap that grow with spare room: each growth at least
// doubles the block, so appending n elements one at a time copies O(n) bytes
// in all. The block's own size (HeapSize) is the capacity; nothing else is kept.
#pragma once
#include <cstddef>

// Makes *block hold at least count elements of elementBytes; a null *block
// is allocated. The room it adds is not cleared: callers write each element
// before they use it. Returns 1; 0 when the size overflows or memory runs
// out (then *block is unchanged).
int ReserveHeapArray(void** block, size_t elementBytes, size_t count);
