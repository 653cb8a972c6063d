#include "hfs_fork.h"

#include <cstring>

#include "byte_order.h"
#include "heap_array.h"
#include "hfs_btree.h"
#include "sector_transfer.h"
#include "volume.h"

namespace {

enum {
  kSignatureOffset = 0,
  kBlockBytesOffset = 20,
  kFirstBlockSectorOffset = 28,
  kExtentsFileBytesOffset = 130,
  kExtentsFileRecordOffset = 134,
  kCatalogFileBytesOffset = 146,
  kCatalogFileRecordOffset = 150,
  kExtentKeyBytes = 7,  // fork type, file id, start block
};

// One record of the extents overflow file for the fork being loaded.
struct OverflowRecord {
  uint16_t startBlock;  // the fork's own block number where the record continues it
  uint8_t used;
  uint8_t record[kHfsExtentRecordBytes];
};

struct OverflowSearch {
  uint32_t fileId;
  uint8_t forkType;
  OverflowRecord* records;
  uint32_t count;
  int failed;
};

int AppendExtents(HfsFork* fork, const uint8_t* record) {
  for (int i = 0; i < 3; ++i) {
    HfsExtent extent = {ReadBE16(record + 4 * i), ReadBE16(record + 4 * i + 2)};
    if (extent.blockCount == 0) continue;
    void* block = fork->extents;
    if (!ReserveHeapArray(&block, sizeof(HfsExtent), fork->count + 1)) return 0;
    fork->extents = static_cast<HfsExtent*>(block);
    fork->extents[fork->count++] = extent;
    fork->blocks += extent.blockCount;
  }
  return 1;
}

void CollectOverflowRecord(void* context, const uint8_t* record, unsigned length) {
  OverflowSearch* search = static_cast<OverflowSearch*>(context);
  if (length < 1 || record[0] < kExtentKeyBytes) return;
  const unsigned dataOffset = (1u + record[0] + 1u) & ~1u;
  if (dataOffset + kHfsExtentRecordBytes > length) return;
  if (record[1] != search->forkType || ReadBE32(record + 2) != search->fileId) return;
  void* block = search->records;
  if (!ReserveHeapArray(&block, sizeof(OverflowRecord), search->count + 1)) {
    search->failed = 1;
    return;
  }
  search->records = static_cast<OverflowRecord*>(block);
  OverflowRecord& found = search->records[search->count++];
  found.startBlock = ReadBE16(record + 6);
  found.used = 0;
  memcpy(found.record, record + dataOffset, kHfsExtentRecordBytes);
}

// Appends, in the order the fork's blocks run, the overflow records that
// continue it. Each record is taken at most once, so stale or repeated keys
// cannot make the fork loop.
int ExtendFromOverflow(Volume* volume, const HfsVolumeInfo* info, uint32_t fileId, uint8_t forkType,
                       uint64_t neededBlocks, HfsFork* fork) {
  HfsFork extentsFork = {};
  int ok = AppendExtents(&extentsFork, info->extentsFileRecord);
  HfsBTree tree;
  if (ok && OpenHfsBTree(volume, info, &extentsFork, &tree)) {
    OverflowSearch search = {fileId, forkType, nullptr, 0, 0};
    SweepHfsLeaves(&tree, CollectOverflowRecord, &search);
    CloseHfsBTree(&tree);
    if (search.failed) ok = 0;
    bool extended = true;
    while (ok && extended && fork->blocks < neededBlocks) {
      extended = false;
      for (uint32_t i = 0; i < search.count; ++i) {
        OverflowRecord& candidate = search.records[i];
        if (candidate.used || candidate.startBlock != fork->blocks) continue;
        candidate.used = 1;
        const uint64_t before = fork->blocks;
        ok = AppendExtents(fork, candidate.record);
        extended = fork->blocks > before;
        break;
      }
    }
    if (search.records) HeapFree(GetProcessHeap(), 0, search.records);
  }
  ReleaseHfsFork(&extentsFork);
  return ok;
}

}  // namespace

int ReadHfsVolumeInfo(Volume* volume, HfsVolumeInfo* info) {
  memset(info, 0, sizeof *info);
  uint8_t sector[kSectorBytes];
  if (!ReadSectors(volume, kHfsVolumeInfoSector, 1, sector)) return 0;
  if (sector[kSignatureOffset] != 0x42 || sector[kSignatureOffset + 1] != 0x44) return 0;
  // All 32 bits: volumes of 4 GB and more have blocks of 64 KB and up, whose low 16 bits are 0.
  info->blockBytes = ReadBE32(sector + kBlockBytesOffset);
  if (info->blockBytes == 0 || info->blockBytes % kSectorBytes != 0) return 0;
  info->firstBlockSector = ReadBE16(sector + kFirstBlockSectorOffset);
  info->extentsFileBytes = ReadBE32(sector + kExtentsFileBytesOffset);
  memcpy(info->extentsFileRecord, sector + kExtentsFileRecordOffset, kHfsExtentRecordBytes);
  info->catalogFileBytes = ReadBE32(sector + kCatalogFileBytesOffset);
  memcpy(info->catalogFileRecord, sector + kCatalogFileRecordOffset, kHfsExtentRecordBytes);
  return 1;
}

int LoadHfsFork(Volume* volume, const HfsVolumeInfo* info, uint32_t fileId, uint8_t forkType,
                const uint8_t* firstRecord, uint64_t neededBlocks, HfsFork* fork) {
  memset(fork, 0, sizeof *fork);
  if (!AppendExtents(fork, firstRecord)) return 0;
  // The extents overflow file never continues itself.
  if (fork->blocks >= neededBlocks || fileId == kHfsExtentsFileId) return 1;
  return ExtendFromOverflow(volume, info, fileId, forkType, neededBlocks, fork);
}

void ReleaseHfsFork(HfsFork* fork) {
  if (fork->extents) HeapFree(GetProcessHeap(), 0, fork->extents);
  memset(fork, 0, sizeof *fork);
}

int MapHfsFork(const HfsVolumeInfo* info, const HfsFork* fork, uint64_t offset, int32_t* sector,
               uint32_t* runSectors) {
  *sector = 0;
  *runSectors = 0;
  const uint64_t sectorsPerBlock = info->blockBytes / kSectorBytes;
  uint64_t block = offset / info->blockBytes;
  const uint64_t sectorInBlock = offset % info->blockBytes / kSectorBytes;
  for (uint32_t i = 0; i < fork->count; ++i) {
    const HfsExtent& extent = fork->extents[i];
    if (block >= extent.blockCount) {
      block -= extent.blockCount;
      continue;
    }
    const uint64_t first = info->firstBlockSector + (extent.startBlock + block) * sectorsPerBlock + sectorInBlock;
    if (first > INT32_MAX) return 0;
    const uint64_t run = (extent.blockCount - block) * sectorsPerBlock - sectorInBlock;
    *sector = static_cast<int32_t>(first);
    *runSectors = run > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(run);
    return 1;
  }
  return 0;
}
