// Disk images built byte by byte for the tests: each builder makes the
// smallest medium that carries one file system's signature and the fields
// format detection reads, so a test can break exactly one of them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"

void PutBE16(Bytes& image, size_t offset, uint16_t value);
void PutBE32(Bytes& image, size_t offset, uint32_t value);
void PutLE16(Bytes& image, size_t offset, uint16_t value);
void PutLE32(Bytes& image, size_t offset, uint32_t value);

// Every sector holds its own number in its first four bytes (big-endian) and
// a byte pattern after them, so a test sees which sector it got. No sector
// carries any file system's signature.
Bytes MakeNumberedSectors(uint32_t sectors);
// The number MakeNumberedSectors wrote into the 512 bytes at sector.
uint32_t SectorNumberAt(const uint8_t* sector);

// An HFS volume of sizeKB: "BD" in sector 2 with the volume's name.
Bytes MakeHfsVolume(uint32_t sizeKB, const std::string& name);
// An MFS volume: "\xD2\xD7" in sector 2 with the allocation block count and size.
Bytes MakeMfsVolume(uint32_t sizeKB, uint16_t allocationBlocks, uint32_t allocationBlockBytes);

// The disk preceded by an 84-byte Disk Copy 4.2 header.
Bytes WithDiskCopyHeader(const Bytes& disk, const std::string& name);
// A 400 KB disk as Disk Copy 4.2 keeps it with tag data: the header (disk
// format 0, format byte 0x12, data and tag sizes), the sectors, then 12 tag
// bytes per sector. 419,284 bytes.
Bytes WithTaggedDiskCopyHeader(const Bytes& disk400K, const std::string& name);
// The disk preceded by `length` bytes of `fill`.
Bytes WithHeader(const Bytes& disk, size_t length, uint8_t fill);

struct PartitionSpec {
  std::string name;
  std::string type;  // stored zero-padded in 32 bytes
  uint32_t start;    // 512-byte blocks
  uint32_t blocks;
};
// A partitioned Macintosh disk of totalBlocks: driver descriptor map in block
// 0, one map entry per partition from block 1, and each volume given in
// `contents` copied to the start of the partition of the same index.
Bytes MakePartitionedDisk(uint32_t totalBlocks, const std::vector<PartitionSpec>& partitions,
                          const std::vector<Bytes>& contents);
// The partition map of the usual layout: the map itself (63 blocks from 1), a
// driver partition and an Apple_HFS partition of hfsBlocks at hfsStart.
std::vector<PartitionSpec> UsualPartitionMap(uint32_t hfsStart, uint32_t hfsBlocks);

struct FatParams {
  uint8_t jump = 0xEB;  // first byte of the boot sector
  uint16_t bytesPerSector = 512;
  uint8_t sectorsPerCluster = 2;
  uint16_t reservedSectors = 1;
  uint8_t fatCount = 2;
  uint16_t rootEntries = 112;
  uint32_t totalSectors = 1440;  // stored in the 32-bit field when it exceeds 65535
  uint8_t media = 0xF9;
  uint16_t sectorsPerFat = 3;
  uint16_t sectorsPerTrack = 9;
  uint16_t sides = 2;
};
FatParams Fat720KFloppy();
FatParams Fat1440KFloppy();
// An Atari ST floppy: a 68000 branch instead of the 0xEB jump, media 0xF9.
FatParams AtariStFloppy();
// A fixed disk (media 0xF8) of totalSectors with the given cluster size.
FatParams FatHardDisk(uint32_t totalSectors, uint8_t sectorsPerCluster);
// The 512-byte boot sector alone.
Bytes MakeFatBootSector(const FatParams& params);
// The whole volume: boot sector, the media byte at the start of each FAT, zeros elsewhere.
Bytes MakeFatVolume(const FatParams& params);

// An Atari 8-bit disk of 720 sectors (128 bytes, or 256 for double density;
// the first three 128 bytes in ATR images) with a DOS 2 or MyDOS boot sector;
// atr puts the 16-byte ATR header in front.
Bytes MakeAtariDisk(bool myDos, bool atr, bool doubleDensity);
