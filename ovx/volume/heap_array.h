// Arrays on the process heap that grow with spare room: each growth at least
// doubles the block, so appending n elements one at a time copies O(n) bytes
// in all. The block's own size (HeapSize) is the capacity; nothing else is kept.
#pragma once
#include <cstddef>

// Makes *block hold at least count elements of elementBytes, zero-filling
// the room it adds; a null *block is allocated. Returns 1; 0 when the size
// overflows or memory runs out (then *block is unchanged).
int ReserveHeapArray(void** block, size_t elementBytes, size_t count);
