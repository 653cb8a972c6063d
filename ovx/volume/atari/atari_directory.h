// Atari 8-bit DOS 2 and MyDOS disks: a directory of 64 16-byte entries in
// eight sectors (361 to 368 for the top), files as chains of sectors that
// each end in a link to the next, and on MyDOS sub-folders, each a directory
// of its own. Sectors are 128 or 256 bytes; double-density ATR images keep
// the first three at 128.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "volume.h"

// Lists the files in use (flags 0x42, or 0x62 when locked) of the folder at
// path into *array and the catalog; on MyDOS also the sub-folders (flag
// 0x10), and ".." first in every sub-folder. DOS 2 lists the top whatever
// the path; MyDOS the deepest folder of path (names each followed by '\')
// that it reaches. Returns the count; 0 when the directory cannot be read.
int ListAtariDirectory(Volume* volume, const char* path, DirEntry** array);

// Whether a disk whose boot sector carries no signature holds DOS 2: sector
// 360 a VTOC of DOS code 2 whose usable and free sector counts fit the disk,
// and every entry in use in sectors 361 to 368 a DOS 2 file lying on it.
// Reads from partitionStart. Returns 1 or 0.
int IsDos2Disk(Volume* volume);

// Follows the file's sector chain and places the bytes its sectors hold.
// The chain ends at a next sector of 0, outside the disk or already passed,
// at a sector of another file (DOS 2 numbers the sectors of each file), a
// failed read, and after the directory's count of sectors. Returns the bytes
// placed, which may be fewer than the entry's size.
uint32_t ReadAtariEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry);

// The most ReadAtariEntryData places for entry: its size, within the medium.
uint64_t AtariEntryDataBytes(Volume* volume, const DirEntry* entry);

// The bytes ReadAtariEntryData would place, found by following the chain.
uint32_t AtariEntryDataLength(Volume* volume, const DirEntry* entry);
