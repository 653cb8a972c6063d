// The Apple partition map as format detection walks it: block 0 of a
// partitioned Macintosh disk holds the driver descriptor map ("ER"), the
// blocks after it one partition map entry each ("PM"); the Apple_HFS entry
// gives the first block of the HFS volume.
#pragma once
#include <cstdint>

// 1 when the 512-byte block begins with the driver descriptor signature "ER".
int IsDriverDescriptorMap(const uint8_t* block);

// 1 when the 512-byte block begins with the partition map entry signature "PM".
int IsPartitionMapEntry(const uint8_t* block);

// 1 when the entry's type is exactly "Apple_HFS" with its terminating zero.
int IsAppleHfsEntry(const uint8_t* block);

// 1 when the entry's type is exactly "Apple_HFSX" with its terminating zero.
int IsAppleHfsxEntry(const uint8_t* block);

// The entry's first physical block (512-byte blocks).
uint32_t PartitionEntryStart(const uint8_t* block);
