// Format detection: which file system a freshly opened volume holds and
// where on the medium it starts. A window of four sectors is tested against
// fixed signatures in a fixed order, walking an Apple partition map and
// moving on one sector at a time past headers and small partition tables.
#pragma once
#include <cstdint>

#include "volume.h"

enum {
  kDetectWindowSectors = 4,
  kDetectMaxMoves = 100,  // window moves in all, map blocks included
};

// Detects the volume's format; sets partitionStart to where the file system
// starts (0 when none is found) and may set headerLength and sizeKB. Returns
// the VolumeFormat; FormatNone for logical drives, failed reads and media
// where nothing is recognised within the bounded walk.
VolumeFormat DetectFormat(Volume* volume);

// FAT12 or FAT16 for a fixed-disk boot sector (at least 64 bytes): by the
// number of data clusters when its parameter block is consistent, otherwise
// by size (up to 720 KB: FAT12).
VolumeFormat FixedDiskFatFormat(const uint8_t* bootSector, int32_t sizeKB);
