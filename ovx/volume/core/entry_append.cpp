#include "entry_append.h"

#include <cstring>

#include "heap_array.h"

int AppendEntry(DirEntry** array, const DirEntry* entry, int32_t index) {
  if (!array || index < 0) return 0;
  void* block = *array;
  if (!ReserveHeapArray(&block, sizeof(DirEntry), static_cast<size_t>(index) + 1)) return 0;
  *array = static_cast<DirEntry*>(block);
  (*array)[index] = *entry;
  return 1;
}

void AppendListedEntry(Volume* volume, DirEntry** array, const DirEntry* entry, int* count) {
  if (AppendEntry(&volume->catalog, entry, volume->catalogCount)) ++volume->catalogCount;
  if (AppendEntry(array, entry, *count)) ++*count;
}

DirEntry* CatalogRoom(Volume* volume, int32_t more) {
  if (volume->catalogCount < 0 || more < 0 || volume->catalogCount > INT32_MAX - more) return nullptr;
  void* block = volume->catalog;
  if (!ReserveHeapArray(&block, sizeof(DirEntry), static_cast<size_t>(volume->catalogCount) + more)) return nullptr;
  volume->catalog = static_cast<DirEntry*>(block);
  return volume->catalog + volume->catalogCount;
}

void AppendCatalogRun(Volume* volume, int32_t first, DirEntry** array, int* count) {
  if (!array || first < 0 || first >= volume->catalogCount || *count < 0) return;
  const size_t run = static_cast<size_t>(volume->catalogCount - first);
  void* block = *array;
  if (!ReserveHeapArray(&block, sizeof(DirEntry), static_cast<size_t>(*count) + run)) return;
  *array = static_cast<DirEntry*>(block);
  memcpy(*array + *count, volume->catalog + first, run * sizeof(DirEntry));
  *count += static_cast<int>(run);
}
