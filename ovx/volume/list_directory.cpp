#include "list_directory.h"

#include <cstring>

#include "atari_directory.h"
#include "fat_volume.h"
#include "heap_array.h"
#include "hfs_catalog.h"
#include "mfs_directory.h"

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

int ListDirectory(Volume* volume, const char* path, DirEntry** array) {
  if (!volume) return 0;
  if (!path) path = "";
  if (strlen(path) >= sizeof volume->currentPath) return 0;
  // The catalog holds the whole volume for HFS, which re-reads it only at
  // the top; for the other formats it holds the folder being listed.
  if (path[0] == '\0' || volume->format != FormatHfs) volume->catalogCount = 0;
  int count;
  switch (volume->format) {
    case FormatHfs: count = ListHfsDirectory(volume, path, array); break;
    case FormatMfs: count = ListMfsDirectory(volume, path, array); break;
    case FormatAtariDos:
    case FormatMyDos: count = ListAtariDirectory(volume, array); break;
    case FormatFat12:
    case FormatFat16: count = ListFatDirectory(volume, path, array); break;
    default: count = 0; break;
  }
  if (count == kListingAbandoned) return 0;
  // An HFS walk leaves currentPath at the folder reached, each name with its
  // ':', so that a later walk continues from a name boundary even when path
  // lacked the last ':'.
  if (volume->format != FormatHfs) strcpy(volume->currentPath, path);
  return count;
}

uint32_t ReadEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  if (!volume || !buffer || !entry) return 0;
  switch (volume->format) {
    case FormatHfs: return ReadHfsEntryData(volume, buffer, entry);
    case FormatFat12:
    case FormatFat16: return ReadFatEntryData(volume, buffer, entry);
    default: return 0;
  }
}

uint64_t EntryDataBufferBytes(Volume* volume, const DirEntry* entry) {
  if (!volume || !entry) return 0;
  switch (volume->format) {
    case FormatHfs: return HfsEntryDataBytes(volume, entry);
    case FormatFat12:
    case FormatFat16: return FatEntryDataBytes(volume, entry);
    default: return 0;
  }
}
