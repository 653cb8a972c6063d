// HFS and HFS+ volumes and forks: the fields of the volume information block
// (HFS) or volume header (HFS+) that place allocation blocks and the B-tree
// files, and the way from a byte of a fork to a 512-byte sector through the
// fork's extents, those of its first extent record and those the extents
// overflow file keeps for it.
#pragma once
#include <cstdint>

struct Volume;

enum {
  kHfsVolumeInfoSector = 2,
  kHfsNodeBytes = 512,
  kHfsExtentsFileId = 3,
  kHfsCatalogFileId = 4,
  kHfsPlusAttributesFileId = 8,
  kHfsDataFork = 0x00,
  kHfsResourceFork = 0xFF,
  kHfsExtentRecordBytes = 12,      // HFS: three (start block, block count) pairs of 16 bits
  kHfsPlusExtentRecordBytes = 64,  // HFS+: eight pairs of 32 bits
};

struct HfsExtent {
  uint32_t startBlock;
  uint32_t blockCount;
};

// A B-tree file of the volume: its first extent record and its length.
struct HfsSpecialFile {
  uint8_t firstRecord[kHfsPlusExtentRecordBytes];  // HFS uses the first 12 bytes
  uint64_t bytes;
};

struct HfsVolumeInfo {
  bool plus;                  // HFS+ or HFSX: 32-bit extents, eight to a record, 16-bit key lengths
  uint32_t blockBytes;        // allocation block size: a non-zero multiple of 512
  uint32_t firstBlockSector;  // 512-byte sector of allocation block 0 (0 on HFS+)
  HfsSpecialFile extentsFile;
  HfsSpecialFile catalogFile;
  HfsSpecialFile attributesFile;  // HFS+ only; empty on HFS
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

// The bytes of one extent record of the volume's kind.
inline unsigned ExtentRecordBytes(const HfsVolumeInfo* info) {
  return info->plus ? kHfsPlusExtentRecordBytes : kHfsExtentRecordBytes;
}

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

// Reads bytes from byte offset of the fork into buffer, sector by sector
// through its extents; offset and bytes are multiples of 512. Returns the
// bytes read, less when an extent ends or a read fails.
uint64_t ReadHfsForkSectors(Volume* volume, const HfsVolumeInfo* info, const HfsFork* fork, uint64_t offset,
                            uint64_t bytes, uint8_t* buffer);
