// FAT12 and FAT16 volumes (MS-DOS and Atari ST): the layout the boot sector
// gives, folders found by scanning from the root directory down the path,
// and file data read by following a cluster chain through the first FAT.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "volume.h"

enum { kFatDirectoryBytes = 524288 };  // the most of one folder that is read (16,384 entries)

// Where things are, in 512-byte sectors of TransferSectors.
struct FatGeometry {
  uint32_t clusterBytes;
  uint32_t fatSector;      // the first FAT
  uint32_t rootSector;
  uint32_t rootEntries;
  uint32_t dataSector;     // cluster 2
  uint32_t lastCluster;    // highest cluster number a chain may name
  uint32_t entryHalfBytes; // 3 for FAT12, 4 for FAT16
};

// Reads the boot sector. Returns 1 when its sector size is a multiple of 512,
// the cluster size is at most 256 KB and every area lies within reach of a
// transfer; otherwise 0.
int ReadFatGeometry(Volume* volume, FatGeometry* geometry);

// Lists the deepest folder of path (names each followed by '\') that the
// scan from the root reaches. Returns the count (0 also when the boot sector
// or root directory cannot be read). For an image opened read-only the volume
// keeps the folders reached and their sub-folders, and later walks start from
// what is kept; the result is the same as a walk from the root. What is kept
// is dropped at each listing of the root.
int ListFatDirectory(Volume* volume, const char* path, DirEntry** array);

// Releases what listings of the volume kept (see ListFatDirectory).
void ReleaseFatListingMemo(Volume* volume);

// Reads the entry's cluster chain. Returns its size when the chain holds that
// much, less when the chain ends early, loops or a read fails; 0 for size 0.
uint32_t ReadFatEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry);

// The size rounded up to a whole cluster; 0 when the boot sector is unusable.
uint64_t FatEntryDataBytes(Volume* volume, const DirEntry* entry);
