#include "block_cache.h"

#include <cstring>

#include "volume.h"

int CacheLookup(Volume* volume, uint8_t* destination, uint32_t first, int count) {
  int found = 0;
  for (int i = 0; i < count; ++i) {
    const int32_t block = static_cast<int32_t>(first + static_cast<uint32_t>(i));
    const BlockCacheSlot* hit = nullptr;
    for (int slot = 0; slot < kBlockCacheSlots && !hit; ++slot) {
      const BlockCacheSlot& candidate = volume->blockCache[slot];
      if (candidate.buffer && candidate.block == block) hit = &candidate;
    }
    if (!hit) break;
    memcpy(destination, hit->buffer, volume->sectorSize);
    destination += volume->sectorSize;
    ++found;
  }
  return found;
}

int CacheStore(Volume* volume, const uint8_t* source, uint32_t first, int count) {
  BlockCacheSlot* slots = volume->blockCache;
  for (int i = 0; i < count; ++i) {
    const int32_t block = static_cast<int32_t>(first + static_cast<uint32_t>(i));
    // A block already held is refreshed in place; otherwise the least recent slot is taken.
    int taken = 0;
    for (int slot = kBlockCacheSlots - 1; slot >= 1; --slot) {
      if (slots[slot].buffer && slots[slot].block == block) {
        taken = slot;
        break;
      }
    }
    BlockCacheSlot& target = slots[taken];
    if (!target.buffer) {
      target.buffer = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, volume->sectorSize));
    }
    if (target.buffer) {
      memcpy(target.buffer, source + static_cast<size_t>(i) * volume->sectorSize, volume->sectorSize);
      target.block = block;
    }
    // Move the pair to slot 15 through the scratch slot; the others keep their order.
    slots[kBlockCacheSlots] = slots[taken];
    memmove(&slots[taken], &slots[taken + 1], (kBlockCacheSlots - taken) * sizeof *slots);
    // The scratch slot would otherwise hold a second pointer to slot 15's buffer.
    slots[kBlockCacheSlots] = BlockCacheSlot{};
  }
  return 1;
}

void ReleaseBlockCache(Volume* volume) {
  for (BlockCacheSlot& slot : volume->blockCache) {
    if (slot.buffer) HeapFree(GetProcessHeap(), 0, slot.buffer);
    slot = BlockCacheSlot{};
  }
}
