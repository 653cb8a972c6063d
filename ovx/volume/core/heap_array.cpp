#include "heap_array.h"

#include <cstdint>

#include "win32_compat.h"

namespace {

// Room for this many elements at the least when a block grows, so short
// listings do not regrow at 1, 2, 4 and 8 entries.
const size_t kMinimumGrowth = 16;

}  // namespace

int ReserveHeapArray(void** block, size_t elementBytes, size_t count) {
  if (!block || elementBytes == 0 || count > SIZE_MAX / elementBytes) return 0;
  const size_t needed = count * elementBytes;
  HANDLE heap = GetProcessHeap();
  size_t have = 0;
  if (*block) {
    const SIZE_T size = HeapSize(heap, 0, *block);
    if (size != static_cast<SIZE_T>(-1)) have = size;
  }
  if (*block && have >= needed) return 1;
  size_t capacity = needed;
  if (have <= SIZE_MAX / 2 && have * 2 > capacity) capacity = have * 2;
  if (kMinimumGrowth <= SIZE_MAX / elementBytes && capacity < kMinimumGrowth * elementBytes) {
    capacity = kMinimumGrowth * elementBytes;
  }
  void* grown = *block ? HeapReAlloc(heap, 0, *block, capacity) : HeapAlloc(heap, 0, capacity);
  if (!grown) return 0;
  *block = grown;
  return 1;
}
