#include "image_read_cache.h"

#include <cstring>

#include "image_transfer.h"

namespace {

const uint32_t kPageBytes = 4096;
const uint32_t kPageSlots = 256;              // 1 MB in all
const uint32_t kLargestCachedRead = 64 * 1024;  // larger reads are file data

}  // namespace

// Direct-mapped: page p lives in slot p % kPageSlots. A page past the end of
// the file is kept with the bytes that exist.
struct ImageReadCache {
  uint64_t page[kPageSlots];
  uint32_t valid[kPageSlots];  // bytes of the page that exist; 0 marks an empty slot
  uint8_t data[kPageSlots][kPageBytes];
  uint8_t span[kLargestCachedRead + 2 * kPageBytes];  // one aligned read of the missing pages
};

namespace {

bool Holds(const ImageReadCache* cache, uint64_t page) {
  const uint32_t slot = static_cast<uint32_t>(page % kPageSlots);
  return cache->valid[slot] != 0 && cache->page[slot] == page;
}

}  // namespace

uint32_t CachedImageRead(ImageReadCache** cachePointer, HANDLE file, uint64_t offset, uint8_t* buffer,
                         uint32_t bytes) {
  if (bytes == 0) return 0;
  if (bytes > kLargestCachedRead) return ReadImageBytes(file, offset, buffer, bytes);
  if (!*cachePointer) {
    *cachePointer = static_cast<ImageReadCache*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ImageReadCache)));
    if (!*cachePointer) return ReadImageBytes(file, offset, buffer, bytes);
  }
  ImageReadCache* cache = *cachePointer;
  const uint64_t firstPage = offset / kPageBytes;
  const uint64_t lastPage = (offset + bytes - 1) / kPageBytes;

  // Fetch the pages from the first missing one to the last missing one in a
  // single read, then take everything from the slots.
  uint64_t missingFirst = lastPage + 1, missingLast = 0;
  for (uint64_t p = firstPage; p <= lastPage; ++p) {
    if (Holds(cache, p)) continue;
    if (missingFirst > lastPage) missingFirst = p;
    missingLast = p;
  }
  if (missingFirst <= lastPage) {
    const uint32_t spanBytes = static_cast<uint32_t>(missingLast - missingFirst + 1) * kPageBytes;
    const uint32_t got = ReadImageBytes(file, missingFirst * kPageBytes, cache->span, spanBytes);
    for (uint64_t p = missingFirst; p <= missingLast; ++p) {
      const uint32_t at = static_cast<uint32_t>(p - missingFirst) * kPageBytes;
      const uint32_t slot = static_cast<uint32_t>(p % kPageSlots);
      if (got <= at) {
        cache->valid[slot] = 0;  // nothing of it exists (or the read failed)
        continue;
      }
      const uint32_t have = got - at < kPageBytes ? got - at : kPageBytes;
      memcpy(cache->data[slot], cache->span + at, have);
      cache->page[slot] = p;
      cache->valid[slot] = have;
    }
  }

  uint32_t placed = 0;
  for (uint64_t p = firstPage; p <= lastPage; ++p) {
    const uint32_t slot = static_cast<uint32_t>(p % kPageSlots);
    // A page can have been pushed out by another page of the same request
    // when the request is longer than the slots' reach; it is then missing.
    if (!Holds(cache, p)) break;
    const uint64_t pageStart = p * kPageBytes;
    const uint32_t from = p == firstPage ? static_cast<uint32_t>(offset - pageStart) : 0;
    uint32_t take = kPageBytes - from;
    if (take > bytes - placed) take = bytes - placed;
    const uint32_t available = cache->valid[slot] > from ? cache->valid[slot] - from : 0;
    const uint32_t copy = take < available ? take : available;
    memcpy(buffer + placed, cache->data[slot] + from, copy);
    placed += copy;
    if (copy < take) break;  // end of the file
  }
  return placed;
}

void ReleaseImageReadCache(ImageReadCache** cache) {
  if (*cache) HeapFree(GetProcessHeap(), 0, *cache);
  *cache = nullptr;
}
