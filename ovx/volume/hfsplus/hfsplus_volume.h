// HFS+ and HFSX volumes: the volume header in the third sector of the volume
// ("H+" version 4, "HX" version 5), how format detection finds one on its
// own, behind an Apple partition map or inside an HFS wrapper (the HFS
// volume that Mac OS 8 and 9 wrote around it), and the fields that place its
// allocation blocks and B-tree files.
#pragma once
#include <cstdint>

#include "hfs_fork.h"

struct Volume;

// 1 when the 512 bytes at header hold an HFS+ ("H+", version 4) or HFSX
// ("HX", version 5) volume header.
int IsHfsPlusHeader(const uint8_t* header);

// The HFS master directory block at mdb (512 bytes, read from the volume's
// sector 2) wraps an HFS+ volume: moves partitionStart to that volume and
// returns 1 when its header is there; otherwise leaves the volume as it was
// and returns 0.
int EnterHfsWrapper(Volume* volume, const uint8_t* mdb);

// 1 when the partition starting at 512-byte block start (counted from
// partitionStart) holds an HFS+ volume header.
int HoldsHfsPlus(Volume* volume, uint32_t start);

// Reads the volume header. Returns 1 when it is one and its allocation
// block size is a power of two of at least 512; otherwise 0.
int ReadHfsPlusVolumeInfo(Volume* volume, HfsVolumeInfo* info);
