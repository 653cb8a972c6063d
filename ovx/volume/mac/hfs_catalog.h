// HFS listings and file data. The first listing of a volume (empty path)
// reads every leaf record of the catalog B-tree into the volume's catalog
// and indexes it by parent folder; listing a folder afterwards walks that
// in-memory catalog name by name from the volume's top. File data is read
// from the fork's extents, those of the extents overflow file included.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "volume.h"

// Lists path (folder names each followed by ':'; empty = the top, whose one
// entry is the root folder) into *array. Returns the count, or
// kListingAbandoned when the catalog cannot be read or the walk meets a name
// the current folder does not hold.
int ListHfsDirectory(Volume* volume, const char* path, DirEntry** array);

// Reads the data fork of entry (its resource fork when the data fork is
// empty), at most its length rounded up to whole allocation blocks. Returns
// the bytes placed; less when an extent cannot be read or found.
uint32_t ReadHfsEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry);

// The fork's length rounded up to whole allocation blocks; 0 when the
// volume information block cannot be read.
uint64_t HfsEntryDataBytes(Volume* volume, const DirEntry* entry);
