#include "compact_catalog.h"

#include <algorithm>
#include <cstring>

#include "heap_array.h"

namespace {

// Backs currentPath up to the last folder, a whole name, that it shares
// with path: a recursive listing goes from folder to sibling, and walking
// to each from the top cost a scan of every folder above it.
void BackUpTo(Volume* volume, const char* path) {
  size_t shared = 0;
  int32_t levels = 0;
  for (size_t i = 0; volume->currentPath[i] != '\0' && volume->currentPath[i] == path[i]; ++i) {
    if (path[i] == ':') {
      shared = i + 1;
      ++levels;
    }
  }
  if (levels > volume->hfsPathLevels) {  // ids never recorded: from the top
    shared = 0;
    levels = 0;
  }
  volume->currentPath[shared] = '\0';
  volume->hfsPathLevels = levels;
  volume->currentDirId = levels > 0 ? volume->hfsPathIds[levels - 1] : static_cast<uint32_t>(kTopFolderId);
}

}  // namespace

HfsCatalog* NewHfsCatalog(Volume* volume) {
  ReleaseHfsCatalog(volume);
  volume->hfsCatalog = static_cast<HfsCatalog*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(HfsCatalog)));
  return volume->hfsCatalog;
}

void ReleaseHfsCatalog(Volume* volume) {
  HfsCatalog* catalog = volume->hfsCatalog;
  if (!catalog) return;
  if (catalog->records) HeapFree(GetProcessHeap(), 0, catalog->records);
  if (catalog->index) HeapFree(GetProcessHeap(), 0, catalog->index);
  HeapFree(GetProcessHeap(), 0, catalog);
  volume->hfsCatalog = nullptr;
}

int AddHfsCatalogRecord(HfsCatalog* catalog, const void* record, size_t bytes, uint32_t parentId) {
  // Offsets are kept in 32 bits.
  if (catalog->bytes + bytes > UINT32_MAX) return 0;
  void* records = catalog->records;
  void* index = catalog->index;
  if (!ReserveHeapArray(&records, 1, catalog->bytes + bytes)) return 0;
  catalog->records = static_cast<uint8_t*>(records);
  if (!ReserveHeapArray(&index, sizeof *catalog->index, static_cast<size_t>(catalog->count) + 1)) return 0;
  catalog->index = static_cast<uint64_t*>(index);
  memcpy(catalog->records + catalog->bytes, record, bytes);
  catalog->index[catalog->count++] = static_cast<uint64_t>(parentId) << 32 | catalog->bytes;
  catalog->bytes += bytes;
  return 1;
}

void SortHfsCatalogIndex(HfsCatalog* catalog) {
  if (!std::is_sorted(catalog->index, catalog->index + catalog->count)) {
    std::sort(catalog->index, catalog->index + catalog->count);
  }
}

void HfsChildRange(const HfsCatalog* catalog, uint32_t folderId, const uint64_t** first, const uint64_t** last) {
  *first = *last = nullptr;
  if (!catalog) return;
  const uint64_t* end = catalog->index + catalog->count;
  const uint64_t key = static_cast<uint64_t>(folderId) << 32;
  *first = std::lower_bound(static_cast<const uint64_t*>(catalog->index), end, key);
  *last = std::lower_bound(*first, end, key + (uint64_t{1} << 32));
}

void ResetHfsWalk(Volume* volume) {
  volume->currentPath[0] = '\0';
  volume->currentDirId = kTopFolderId;
  volume->hfsPathLevels = 0;
}

int EnterHfsFolder(Volume* volume, const char* path, uint32_t folderId) {
  const size_t reached = strlen(volume->currentPath);
  const size_t length = strlen(path);
  const int32_t maxLevels = sizeof volume->hfsPathIds / sizeof *volume->hfsPathIds;
  if (length <= reached + 1 || length >= sizeof volume->currentPath || path[length - 1] != ':' ||
      strncmp(path, volume->currentPath, reached) != 0 || memchr(path + reached, ':', length - reached - 1) ||
      volume->hfsPathLevels >= maxLevels) {
    return 0;
  }
  memcpy(volume->currentPath, path, length + 1);
  volume->hfsPathIds[volume->hfsPathLevels++] = folderId;
  volume->currentDirId = folderId;
  return 1;
}

int WalkHfsPath(Volume* volume, const char* path, HfsFolderFinder find) {
  if (path[0] != '\0') BackUpTo(volume, path);
  const size_t pathLength = strlen(path);
  size_t reached = strlen(volume->currentPath);
  while (reached < pathLength) {
    const char* name = path + reached;
    const char* colon = strchr(name, ':');
    const size_t nameLength = colon ? static_cast<size_t>(colon - name) : strlen(name);
    if (nameLength == 0 || reached + nameLength + 1 >= sizeof volume->currentPath) return 0;
    uint32_t found;
    const int32_t maxLevels = sizeof volume->hfsPathIds / sizeof *volume->hfsPathIds;
    if (!find(volume, volume->currentDirId, name, nameLength, &found) || volume->hfsPathLevels >= maxLevels) return 0;
    volume->hfsPathIds[volume->hfsPathLevels++] = found;
    memcpy(volume->currentPath + reached, name, nameLength);
    volume->currentPath[reached + nameLength] = ':';
    volume->currentPath[reached + nameLength + 1] = '\0';
    volume->currentDirId = found;
    reached += nameLength + 1;
  }
  return 1;
}
