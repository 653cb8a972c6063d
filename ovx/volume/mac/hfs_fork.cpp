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
  kHfsExtentKeyBytes = 7,       // fork type, file id, start block
  kHfsPlusExtentKeyBytes = 10,  // fork type, a pad byte, file id, start block
  kReadChunkSectors = 128,
};

// The key of an extents overflow record: the file, its fork and the fork's
// own block number where the record continues it.
struct ExtentKey {
  uint32_t fileId;
  uint8_t forkType;
  uint32_t startBlock;
};

int AppendExtents(HfsFork* fork, const uint8_t* record, bool plus) {
  const int pairs = plus ? 8 : 3;
  for (int i = 0; i < pairs; ++i) {
    const HfsExtent extent = plus ? HfsExtent{ReadBE32(record + 8 * i), ReadBE32(record + 8 * i + 4)}
                                  : HfsExtent{ReadBE16(record + 4 * i), ReadBE16(record + 4 * i + 2)};
    if (extent.blockCount == 0) continue;
    void* block = fork->extents;
    if (!ReserveHeapArray(&block, sizeof(HfsExtent), fork->count + 1)) return 0;
    fork->extents = static_cast<HfsExtent*>(block);
    fork->extents[fork->count++] = extent;
    fork->blocks += extent.blockCount;
  }
  return 1;
}

int CompareKeyFields(const ExtentKey* key, uint32_t fileId, uint8_t forkType, uint32_t startBlock) {
  if (key->fileId != fileId) return key->fileId < fileId ? -1 : 1;
  if (key->forkType != forkType) return key->forkType < forkType ? -1 : 1;
  if (key->startBlock != startBlock) return key->startBlock < startBlock ? -1 : 1;
  return 0;
}

// The file system orders extent keys by file id, then fork, then start block.
int OrderHfsExtentKey(const void* sought, const uint8_t* record, unsigned length) {
  if (length < 1 + kHfsExtentKeyBytes || record[0] < kHfsExtentKeyBytes) return -1;
  return CompareKeyFields(static_cast<const ExtentKey*>(sought), ReadBE32(record + 2), record[1], ReadBE16(record + 6));
}

int OrderHfsPlusExtentKey(const void* sought, const uint8_t* record, unsigned length) {
  if (length < 2 + kHfsPlusExtentKeyBytes || ReadBE16(record) < kHfsPlusExtentKeyBytes) return -1;
  return CompareKeyFields(static_cast<const ExtentKey*>(sought), ReadBE32(record + 4), record[2], ReadBE32(record + 8));
}

// Appends, in the order the fork's blocks run, the overflow records that
// continue it, each looked up by the block where the fork so far ends. Every
// record found must add blocks, so the fork cannot loop; the lookups end at
// the blocks needed, which the medium bounds.
int ExtendFromOverflow(Volume* volume, const HfsVolumeInfo* info, uint32_t fileId, uint8_t forkType,
                       uint64_t neededBlocks, HfsFork* fork) {
  HfsFork extentsFork = {};
  int ok = AppendExtents(&extentsFork, info->extentsFile.firstRecord, info->plus);
  const uint64_t lastStart = info->plus ? UINT32_MAX : UINT16_MAX;
  HfsBTree tree;
  if (ok && OpenHfsBTree(volume, info, &extentsFork, &tree)) {
    uint8_t* node = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, tree.nodeBytes));
    while (ok && node && fork->blocks < neededBlocks && fork->blocks <= lastStart) {
      const ExtentKey key = {fileId, forkType, static_cast<uint32_t>(fork->blocks)};
      const uint8_t* record;
      unsigned length;
      if (!FindHfsRecord(&tree, info->plus ? OrderHfsPlusExtentKey : OrderHfsExtentKey, &key, node, &record, &length)) {
        break;
      }
      const unsigned dataOffset = HfsRecordDataOffset(&tree, record, length);
      if (dataOffset == 0 || dataOffset + ExtentRecordBytes(info) > length) break;
      const uint64_t before = fork->blocks;
      ok = AppendExtents(fork, record + dataOffset, info->plus);
      if (fork->blocks == before) break;
    }
    if (node) HeapFree(GetProcessHeap(), 0, node);
    CloseHfsBTree(&tree);
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
  info->extentsFile.bytes = ReadBE32(sector + kExtentsFileBytesOffset);
  memcpy(info->extentsFile.firstRecord, sector + kExtentsFileRecordOffset, kHfsExtentRecordBytes);
  info->catalogFile.bytes = ReadBE32(sector + kCatalogFileBytesOffset);
  memcpy(info->catalogFile.firstRecord, sector + kCatalogFileRecordOffset, kHfsExtentRecordBytes);
  return 1;
}

int LoadHfsFork(Volume* volume, const HfsVolumeInfo* info, uint32_t fileId, uint8_t forkType,
                const uint8_t* firstRecord, uint64_t neededBlocks, HfsFork* fork) {
  memset(fork, 0, sizeof *fork);
  if (!AppendExtents(fork, firstRecord, info->plus)) return 0;
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

uint64_t ReadHfsForkSectors(Volume* volume, const HfsVolumeInfo* info, const HfsFork* fork, uint64_t offset,
                            uint64_t bytes, uint8_t* buffer) {
  uint64_t total = 0;
  while (total < bytes) {
    int32_t sector;
    uint32_t run;
    if (!MapHfsFork(info, fork, offset + total, &sector, &run)) break;
    uint64_t sectors = (bytes - total) / kSectorBytes;
    if (sectors > run) sectors = run;
    if (sectors > kReadChunkSectors) sectors = kReadChunkSectors;
    if (static_cast<int64_t>(sector) + static_cast<int64_t>(sectors) > INT32_MAX) break;
    if (!ReadSectors(volume, sector, static_cast<int32_t>(sectors), buffer + total)) break;
    total += sectors * kSectorBytes;
  }
  return total;
}
