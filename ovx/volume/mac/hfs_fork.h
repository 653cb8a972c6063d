// HFS volumes and forks: the fields of the volume information block that
// place allocation blocks and the two B-tree files, and the way from a byte
// of a fork to a 512-byte sector through the fork's extents, those of its
// first extent record and those the extents overflow file keeps for it.
#pragma once
#include <cstdint>

struct Volume;

enum {
  kHfsVolumeInfoSector = 2,
  kHfsNodeBytes = 512,
  kHfsExtentsFileId = 3,
  kHfsCatalogFileId = 4,
  kHfsDataFork = 0x00,
  kHfsResourceFork = 0xFF,
  kHfsExtentRecordBytes = 12,  // three (start block, block count) pairs, big-endian
};

struct HfsExtent {
  uint16_t startBlock;
  uint16_t blockCount;
};

struct HfsVolumeInfo {
  uint32_t blockBytes;        // allocation block size: a non-zero multiple of 512
  uint32_t firstBlockSector;  // 512-byte sector of allocation block 0
  uint8_t extentsFileRecord[kHfsExtentRecordBytes];
  uint32_t extentsFileBytes;
  uint8_t catalogFileRecord[kHfsExtentRecordBytes];
  uint32_t catalogFileBytes;
};

// A fork's non-empty extents in file order, on the process heap.
struct HfsFork {
  HfsExtent* extents;
  uint32_t count;
  uint64_t blocks;  // allocation blocks in all extents
};

// Reads sector 2. Returns 1 when it holds an HFS volume information block
// whose allocation block size (all 32 bits) is a non-zero multiple of 512;
// otherwise 0.
int ReadHfsVolumeInfo(Volume* volume, HfsVolumeInfo* info);

// Builds the fork of fileId (kHfsDataFork or kHfsResourceFork) from its first
// extent record and, while its extents hold fewer than neededBlocks, from
// the extents overflow file. Returns 1 (the fork may then still be shorter
// than needed when the overflow file lacks the rest); 0 when memory runs
// out. Release with ReleaseHfsFork in either case.
int LoadHfsFork(Volume* volume, const HfsVolumeInfo* info, uint32_t fileId, uint8_t forkType,
                const uint8_t* firstRecord, uint64_t neededBlocks, HfsFork* fork);
void ReleaseHfsFork(HfsFork* fork);

// The 512-byte sector that holds byte `offset` of the fork, and how many
// sectors from it on lie in the same extent. Returns 1; 0 when the offset is
// past the fork or the sector is beyond what a transfer can address.
int MapHfsFork(const HfsVolumeInfo* info, const HfsFork* fork, uint64_t offset, int32_t* sector,
               uint32_t* runSectors);
