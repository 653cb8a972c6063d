#include "hfs_catalog.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "compact_catalog.h"
#include "heap_array.h"
#include "hfs_btree.h"
#include "hfs_fork.h"
#include "entry_append.h"
#include "mac_time.h"
#include "sector_transfer.h"

namespace {

enum {
  kMaxNameBytes = 31,
  kFolderRecord = 1,
  kFileRecord = 2,
  kFolderRecordBytes = 18,
  kFileRecordBytes = 98,
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

struct HfsCatalogEntry {
  uint32_t parentId;
  uint32_t nodeId;
  uint32_t dataSize;
  uint32_t size;
  uint32_t modified;  // Macintosh seconds
  uint8_t macType[4];
  uint8_t macCreator[4];
  uint8_t location[kHfsExtentRecordBytes];
  uint8_t folder;
  uint8_t nameLength;
  char name[kMaxNameBytes];  // only nameLength bytes are stored
};

size_t StoredBytes(unsigned nameLength) { return (offsetof(HfsCatalogEntry, name) + nameLength + 3) & ~size_t{3}; }

const HfsCatalogEntry& EntryAt(const HfsCatalog* catalog, uint64_t indexed) {
  return *reinterpret_cast<const HfsCatalogEntry*>(HfsCatalogRecord(catalog, indexed));
}

// Fills *entry from one catalog leaf record; 0 for thread records and for
// records that do not hold what their kind needs.
int CatalogEntryFromRecord(const uint8_t* record, unsigned length, HfsCatalogEntry* entry) {
  unsigned dataLength;
  const uint8_t* data = RecordData(record, length, &dataLength);
  if (!data) return 0;
  const unsigned nameLength = record[6];
  memset(entry, 0, offsetof(HfsCatalogEntry, name));
  entry->nameLength = static_cast<uint8_t>(nameLength);
  memcpy(entry->name, record + 7, nameLength);
  entry->parentId = ReadBE32(record + 2);
  if (data[0] == kFolderRecord) {
    if (dataLength < kFolderRecordBytes) return 0;
    entry->folder = 1;
    entry->nodeId = ReadBE32(data + 6);
    entry->modified = ReadBE32(data + 14);
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
  entry->modified = ReadBE32(data + 48);
  memcpy(entry->location, data + (dataFork != 0 ? 74 : 86), kHfsExtentRecordBytes);
  return 1;
}

// The DirEntry a listing returns for a kept record.
void MakeDirEntry(const HfsCatalogEntry& kept, DirEntry* entry) {
  memset(entry, 0, sizeof *entry);
  memcpy(entry->name, kept.name, kept.nameLength);
  entry->parentId = kept.parentId;
  entry->nodeId = kept.nodeId;
  entry->attributes = kept.folder ? kDirEntryFolder : 0;
  entry->modified = MacDateToFileTime(kept.modified);
  memcpy(entry->macType, kept.macType, 4);
  memcpy(entry->macCreator, kept.macCreator, 4);
  entry->dataSize = kept.dataSize;
  entry->size = kept.size;
  memcpy(entry->location, kept.location, kHfsExtentRecordBytes);
}

struct CatalogSweep {
  Volume* volume;
  HfsCatalog* catalog;
};

void AddCatalogRecord(void* context, const HfsLeafRecord& leaf) {
  CatalogSweep* sweep = static_cast<CatalogSweep*>(context);
  HfsCatalog* catalog = sweep->catalog;
  // However its nodes are damaged, a catalog holds no more records than the
  // medium has room for.
  if (static_cast<uint64_t>(catalog->count) >= MediumBytes(sweep->volume) / kMinEntryRecordBytes) return;
  HfsCatalogEntry entry;
  if (!CatalogEntryFromRecord(leaf.record, leaf.length, &entry)) return;
  AddHfsCatalogRecord(catalog, &entry, StoredBytes(entry.nameLength), entry.parentId);
}

// Calls visit(context, record, length) for every leaf record of the catalog.
// Returns 0 when the catalog cannot be opened.
int SweepCatalog(Volume* volume, HfsRecordVisitor visit, void* context) {
  HfsVolumeInfo info;
  if (!ReadHfsVolumeInfo(volume, &info)) return 0;
  const uint64_t catalogBlocks = (info.catalogFile.bytes + info.blockBytes - 1) / info.blockBytes;
  HfsFork fork;
  int ok = LoadHfsFork(volume, &info, kHfsCatalogFileId, kHfsDataFork, info.catalogFile.firstRecord, catalogBlocks, &fork);
  HfsBTree tree;
  if (ok) ok = OpenHfsBTree(volume, &info, &fork, &tree);
  if (ok) {
    SweepHfsLeaves(&tree, visit, context);
    CloseHfsBTree(&tree);
  }
  ReleaseHfsFork(&fork);
  return ok;
}

// Reads the catalog afresh. Unless the volume was opened to keep it compact
// only, every record also becomes a DirEntry of the volume's catalog, in
// catalog order.
int ReadCatalog(Volume* volume) {
  ReleaseHfsFileTable(volume);
  HfsCatalog* catalog = NewHfsCatalog(volume);
  if (!catalog) return 0;
  CatalogSweep sweep = {volume, catalog};
  if (!SweepCatalog(volume, AddCatalogRecord, &sweep)) return 0;
  // Leaf nodes keep their records in key order, parent first, so the sweep
  // usually yields them sorted already.
  SortHfsCatalogIndex(catalog);
  if (!volume->compactCatalog && catalog->count > 0 && CatalogRoom(volume, catalog->count)) {
    for (size_t at = 0; at < catalog->bytes; ++volume->catalogCount) {
      const HfsCatalogEntry& kept = EntryAt(catalog, at);
      MakeDirEntry(kept, volume->catalog + volume->catalogCount);
      at += StoredBytes(kept.nameLength);
    }
  }
  ResetHfsWalk(volume);
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

void AddFileRecord(void* context, const HfsLeafRecord& leaf) {
  FileTableSweep* sweep = static_cast<FileTableSweep*>(context);
  unsigned dataLength;
  const uint8_t* data = RecordData(leaf.record, leaf.length, &dataLength);
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

bool IsFolder(const HfsCatalogEntry& entry) { return entry.folder != 0; }

// The fork ReadEntryData reads and its length.
void ForkOf(const DirEntry* entry, uint8_t* forkType, uint32_t* length) {
  *forkType = entry->dataSize != 0 ? kHfsDataFork : kHfsResourceFork;
  *length = entry->dataSize != 0 ? entry->dataSize : entry->size;
}

}  // namespace

int ListHfsDirectory(Volume* volume, const char* path, DirEntry** array) {
  if (path[0] == '\0' && !ReadCatalog(volume)) return kListingAbandoned;
  if (!WalkHfsPath(volume, path, FindCatalogFolder<HfsCatalogEntry, IsFolder>)) return kListingAbandoned;
  const uint64_t *first, *last;
  HfsChildRange(volume->hfsCatalog, volume->currentDirId, &first, &last);
  if (!array || first == last) return 0;
  void* block = *array;
  if (!ReserveHeapArray(&block, sizeof(DirEntry), static_cast<size_t>(last - first))) return 0;
  *array = static_cast<DirEntry*>(block);
  for (const uint64_t* child = first; child != last; ++child) {
    MakeDirEntry(EntryAt(volume->hfsCatalog, *child), *array + (child - first));
  }
  return static_cast<int>(last - first);
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
  const uint64_t total = ReadHfsForkSectors(volume, &info, &fork, 0, limit, buffer);
  ReleaseHfsFork(&fork);
  return total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
}
