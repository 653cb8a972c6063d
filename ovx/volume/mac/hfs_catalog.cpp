#include "hfs_catalog.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "heap_array.h"
#include "hfs_btree.h"
#include "hfs_fork.h"
#include "entry_append.h"
#include "mac_time.h"
#include "sector_transfer.h"

namespace {

enum {
  kTopFolderId = 1,  // the parent of the root folder, which is named after the volume
  kMaxNameBytes = 31,
  kFolderRecord = 1,
  kFileRecord = 2,
  kFolderRecordBytes = 18,
  kFileRecordBytes = 98,
  kReadChunkSectors = 128,
  // The shortest record that makes an entry: key length, parent id, a one-byte
  // name (7 + 1 bytes) and the part of a folder record that is read.
  kMinEntryRecordBytes = 8 + kFolderRecordBytes,
};

uint32_t SaturatingSum(uint32_t a, uint32_t b) { return a > UINT32_MAX - b ? UINT32_MAX : a + b; }

// The data of a catalog leaf record after its key, and its length; null
// for a record without a name or without data.
const uint8_t* RecordData(const uint8_t* record, unsigned length, unsigned* dataLength) {
  if (length < 7 || record[0] < 7) return nullptr;
  const unsigned nameLength = record[6];
  if (nameLength == 0 || nameLength > kMaxNameBytes) return nullptr;
  // The data begins on an even offset after the key.
  const unsigned d = 7 + nameLength + (nameLength % 2 == 0 ? 1 : 0);
  if (d >= length) return nullptr;
  *dataLength = length - d;
  return record + d;
}

// Builds the DirEntry of one catalog leaf record; 0 for thread records and
// for records that do not hold what their kind needs.
int EntryFromRecord(const uint8_t* record, unsigned length, DirEntry* entry) {
  unsigned dataLength;
  const uint8_t* data = RecordData(record, length, &dataLength);
  if (!data) return 0;
  const unsigned nameLength = record[6];
  memset(entry, 0, sizeof *entry);
  memcpy(entry->name, record + 7, nameLength);
  entry->parentId = ReadBE32(record + 2);
  if (data[0] == kFolderRecord) {
    if (dataLength < kFolderRecordBytes) return 0;
    entry->attributes = kDirEntryFolder;
    entry->nodeId = ReadBE32(data + 6);
    entry->modified = MacDateToFileTime(ReadBE32(data + 14));
    return 1;
  }
  if (data[0] != kFileRecord || dataLength < kFileRecordBytes) return 0;
  const uint32_t dataFork = ReadBE32(data + 26);
  const uint32_t resourceFork = ReadBE32(data + 36);
  memcpy(entry->macType, data + 4, 4);
  memcpy(entry->macCreator, data + 8, 4);
  entry->nodeId = ReadBE32(data + 20);
  entry->dataSize = dataFork;
  entry->size = SaturatingSum(dataFork, resourceFork);
  entry->modified = MacDateToFileTime(ReadBE32(data + 48));
  memcpy(entry->location, data + (dataFork != 0 ? 74 : 86), kHfsExtentRecordBytes);
  return 1;
}

void AddCatalogRecord(void* context, const uint8_t* record, unsigned length) {
  Volume* volume = static_cast<Volume*>(context);
  // However its nodes are damaged, a catalog holds no more records than the
  // medium has room for.
  if (static_cast<uint64_t>(volume->catalogCount) >= MediumBytes(volume) / kMinEntryRecordBytes) return;
  // Made in its place at the catalog's end: a large catalog is megabytes of entries.
  DirEntry* room = CatalogRoom(volume, 1);
  if (room && EntryFromRecord(record, length, room)) ++volume->catalogCount;
}

void DropCatalogIndex(Volume* volume) {
  if (volume->catalogIndex) HeapFree(GetProcessHeap(), 0, volume->catalogIndex);
  volume->catalogIndex = nullptr;
  volume->catalogIndexCount = 0;
}

// Sorting (parentId, position) pairs keeps catalog order within each folder.
// Without memory for it the listings scan the whole catalog instead.
void BuildCatalogIndex(Volume* volume) {
  DropCatalogIndex(volume);
  const size_t count = static_cast<size_t>(volume->catalogCount);
  uint64_t* index = static_cast<uint64_t*>(HeapAlloc(GetProcessHeap(), 0, (count ? count : 1) * sizeof *index));
  if (!index) return;
  for (size_t i = 0; i < count; ++i) index[i] = static_cast<uint64_t>(volume->catalog[i].parentId) << 32 | i;
  // Leaf nodes keep their records in key order, parent first, so the sweep
  // usually yields them sorted already.
  if (!std::is_sorted(index, index + count)) std::stable_sort(index, index + count);
  volume->catalogIndex = index;
  volume->catalogIndexCount = volume->catalogCount;
}

// Calls visit for each catalog entry whose parent is folderId, in catalog
// order, until visit returns 0.
template <typename Visit>
void ForEachChild(const Volume* volume, uint32_t folderId, Visit visit) {
  if (volume->catalogIndex && volume->catalogIndexCount == volume->catalogCount) {
    const uint64_t* begin = volume->catalogIndex;
    const uint64_t* end = begin + volume->catalogIndexCount;
    const uint64_t* at = std::lower_bound(begin, end, static_cast<uint64_t>(folderId) << 32);
    for (; at != end && (*at >> 32) == folderId; ++at) {
      if (!visit(volume->catalog[static_cast<uint32_t>(*at)])) return;
    }
    return;
  }
  for (int32_t i = 0; i < volume->catalogCount; ++i) {
    if (volume->catalog[i].parentId == folderId && !visit(volume->catalog[i])) return;
  }
}

// The number of catalog entries whose parent is folderId, when the index
// tells it; -1 otherwise.
int32_t ChildCount(const Volume* volume, uint32_t folderId) {
  if (!volume->catalogIndex || volume->catalogIndexCount != volume->catalogCount) return -1;
  const uint64_t* begin = volume->catalogIndex;
  const uint64_t* end = begin + volume->catalogIndexCount;
  const uint64_t key = static_cast<uint64_t>(folderId) << 32;
  return static_cast<int32_t>(std::lower_bound(begin, end, key + (uint64_t{1} << 32)) - std::lower_bound(begin, end, key));
}

// Calls visit(context, record, length) for every leaf record of the catalog.
// Returns 0 when the catalog cannot be opened.
int SweepCatalog(Volume* volume, HfsRecordVisitor visit, void* context) {
  HfsVolumeInfo info;
  if (!ReadHfsVolumeInfo(volume, &info)) return 0;
  const uint64_t catalogBlocks = (static_cast<uint64_t>(info.catalogFileBytes) + info.blockBytes - 1) / info.blockBytes;
  HfsFork fork;
  int ok = LoadHfsFork(volume, &info, kHfsCatalogFileId, kHfsDataFork, info.catalogFileRecord, catalogBlocks, &fork);
  HfsBTree tree;
  if (ok) ok = OpenHfsBTree(volume, &info, &fork, &tree);
  if (ok) {
    SweepHfsLeaves(&tree, visit, context);
    CloseHfsBTree(&tree);
  }
  ReleaseHfsFork(&fork);
  return ok;
}

int ReadCatalog(Volume* volume) {
  DropCatalogIndex(volume);
  ReleaseHfsFileTable(volume);
  if (!SweepCatalog(volume, AddCatalogRecord, volume)) return 0;
  BuildCatalogIndex(volume);
  volume->currentPath[0] = '\0';
  volume->currentDirId = kTopFolderId;
  volume->hfsPathLevels = 0;
  return 1;
}

// The files of the catalog with what their listing entries leave out, sorted
// by file id; made by a sweep of its own on the first request after the
// catalog was read.
struct FileTableSweep {
  Volume* volume;
  MacFileInfo* files;
  size_t count;
  bool full;
};

void AddFileRecord(void* context, const uint8_t* record, unsigned length) {
  FileTableSweep* sweep = static_cast<FileTableSweep*>(context);
  unsigned dataLength;
  const uint8_t* data = RecordData(record, length, &dataLength);
  if (!data || data[0] != kFileRecord || dataLength < kFileRecordBytes || sweep->full) return;
  // No more files than the catalog could hold entries, as for the listing.
  if (sweep->count >= MediumBytes(sweep->volume) / kMinEntryRecordBytes) return;
  void* block = sweep->files;
  if (!ReserveHeapArray(&block, sizeof(MacFileInfo), sweep->count + 1)) {
    sweep->full = true;
    return;
  }
  sweep->files = static_cast<MacFileInfo*>(block);
  MacFileInfo& info = sweep->files[sweep->count++];
  memset(&info, 0, sizeof info);
  info.format = FormatHfs;
  memcpy(info.finderInfo, data + 4, 16);
  memcpy(info.finderInfo + 16, data + 56, 16);
  info.fileId = ReadBE32(data + 20);
  info.forkLength[MacDataFork] = ReadBE32(data + 26);
  info.forkLength[MacResourceFork] = ReadBE32(data + 36);
  memcpy(info.forkStart[MacDataFork], data + 74, kHfsExtentRecordBytes);
  memcpy(info.forkStart[MacResourceFork], data + 86, kHfsExtentRecordBytes);
}

int MakeFileTable(Volume* volume) {
  FileTableSweep sweep = {volume, nullptr, 0, false};
  if (!SweepCatalog(volume, AddFileRecord, &sweep) || sweep.full) {
    if (sweep.files) HeapFree(GetProcessHeap(), 0, sweep.files);
    return 0;
  }
  // Leaf order is key order, parent first: sorted by id only by chance.
  std::stable_sort(sweep.files, sweep.files + sweep.count,
                   [](const MacFileInfo& a, const MacFileInfo& b) { return a.fileId < b.fileId; });
  volume->hfsFiles = sweep.files;
  volume->hfsFileCount = static_cast<int32_t>(sweep.count);
  return 1;
}

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

// Walks from currentPath down to path, one folder name at a time. Returns 0
// at a name the current folder does not hold; the walk then stays at the
// deepest folder reached.
int WalkTo(Volume* volume, const char* path) {
  const size_t pathLength = strlen(path);
  size_t reached = strlen(volume->currentPath);
  while (reached < pathLength) {
    const char* name = path + reached;
    const char* colon = strchr(name, ':');
    const size_t nameLength = colon ? static_cast<size_t>(colon - name) : strlen(name);
    if (nameLength == 0 || nameLength > kMaxNameBytes || reached + nameLength + 1 >= sizeof volume->currentPath) {
      return 0;
    }
    const DirEntry* found = nullptr;
    ForEachChild(volume, volume->currentDirId, [&](const DirEntry& entry) {
      if ((entry.attributes & kDirEntryFolder) && strlen(entry.name) == nameLength &&
          memcmp(entry.name, name, nameLength) == 0) {
        found = &entry;
        return false;
      }
      return true;
    });
    const int32_t maxLevels = sizeof volume->hfsPathIds / sizeof *volume->hfsPathIds;
    if (!found || volume->hfsPathLevels >= maxLevels) return 0;
    volume->hfsPathIds[volume->hfsPathLevels++] = found->nodeId;
    memcpy(volume->currentPath + reached, name, nameLength);
    volume->currentPath[reached + nameLength] = ':';
    volume->currentPath[reached + nameLength + 1] = '\0';
    volume->currentDirId = found->nodeId;
    reached += nameLength + 1;
  }
  return 1;
}

// The fork ReadEntryData reads and its length.
void ForkOf(const DirEntry* entry, uint8_t* forkType, uint32_t* length) {
  *forkType = entry->dataSize != 0 ? kHfsDataFork : kHfsResourceFork;
  *length = entry->dataSize != 0 ? entry->dataSize : entry->size;
}

}  // namespace

int ListHfsDirectory(Volume* volume, const char* path, DirEntry** array) {
  if (path[0] == '\0') {
    if (!ReadCatalog(volume)) return kListingAbandoned;
  } else {
    BackUpTo(volume, path);
  }
  if (!WalkTo(volume, path)) return kListingAbandoned;
  // Room for the whole folder at once when its size is known; entry by entry otherwise.
  const int32_t children = ChildCount(volume, volume->currentDirId);
  bool room = false;
  if (array && children > 0) {
    void* block = *array;
    room = ReserveHeapArray(&block, sizeof(DirEntry), static_cast<size_t>(children)) != 0;
    if (room) *array = static_cast<DirEntry*>(block);
  }
  int count = 0;
  ForEachChild(volume, volume->currentDirId, [&](const DirEntry& entry) {
    if (room) {
      (*array)[count++] = entry;
    } else if (AppendEntry(array, &entry, count)) {
      ++count;
    }
    return true;
  });
  return count;
}

int FindHfsFileInfo(Volume* volume, uint32_t fileId, MacFileInfo* info) {
  if (!volume->hfsFiles && !MakeFileTable(volume)) return 0;
  const MacFileInfo* begin = volume->hfsFiles;
  const MacFileInfo* end = begin + volume->hfsFileCount;
  const MacFileInfo* found =
      std::lower_bound(begin, end, fileId, [](const MacFileInfo& a, uint32_t id) { return a.fileId < id; });
  if (found == end || found->fileId != fileId) return 0;
  *info = *found;
  return 1;
}

void ReleaseHfsFileTable(Volume* volume) {
  if (volume->hfsFiles) HeapFree(GetProcessHeap(), 0, volume->hfsFiles);
  volume->hfsFiles = nullptr;
  volume->hfsFileCount = 0;
}

uint64_t HfsEntryDataBytes(Volume* volume, const DirEntry* entry) {
  uint8_t forkType;
  uint32_t length;
  ForkOf(entry, &forkType, &length);
  return HfsForkBufferBytes(volume, length);
}

uint32_t ReadHfsEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  uint8_t forkType;
  uint32_t length;
  ForkOf(entry, &forkType, &length);
  return ReadHfsFork(volume, entry->nodeId, forkType, entry->location, length, buffer);
}

uint64_t HfsForkBufferBytes(Volume* volume, uint32_t length) {
  HfsVolumeInfo info;
  if (!ReadHfsVolumeInfo(volume, &info)) return 0;
  return WholeBlocksWithinMedium(volume, length, info.blockBytes);
}

uint32_t ReadHfsFork(Volume* volume, uint32_t fileId, uint8_t forkType, const uint8_t* firstRecord, uint32_t length,
                     uint8_t* buffer) {
  HfsVolumeInfo info;
  if (!ReadHfsVolumeInfo(volume, &info)) return 0;
  // Whole allocation blocks, but no more of them than the fork's length
  // needs: the fork's last extent may run on for a whole clump.
  const uint64_t limit = WholeBlocksWithinMedium(volume, length, info.blockBytes);
  HfsFork fork;
  const uint64_t neededBlocks = (limit + info.blockBytes - 1) / info.blockBytes;
  if (!LoadHfsFork(volume, &info, fileId, forkType, firstRecord, neededBlocks, &fork)) {
    ReleaseHfsFork(&fork);
    return 0;
  }
  uint64_t total = 0;
  while (total < limit) {
    int32_t sector;
    uint32_t run;
    if (!MapHfsFork(&info, &fork, total, &sector, &run)) break;
    uint64_t sectors = (limit - total) / kSectorBytes;
    if (sectors > run) sectors = run;
    if (sectors > kReadChunkSectors) sectors = kReadChunkSectors;
    if (static_cast<int64_t>(sector) + static_cast<int64_t>(sectors) > INT32_MAX) break;
    if (!ReadSectors(volume, sector, static_cast<int32_t>(sectors), buffer + total)) break;
    total += sectors * kSectorBytes;
  }
  ReleaseHfsFork(&fork);
  return total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
}
