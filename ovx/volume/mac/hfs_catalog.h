// HFS listings and file data. The first listing of a volume (empty path)
// reads every leaf record of the catalog B-tree into a compact catalog of
// its own, indexed by parent folder, and into the volume's catalog; listing a folder afterwards walks that
// in-memory catalog name by name from the volume's top. File data is read
// from the fork's extents, those of the extents overflow file included.
#pragma once
#include <cstdint>

#include "compact_catalog.h"
#include "dir_entry.h"
#include "mac_file.h"
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

// Reads fork forkType (kHfsDataFork or kHfsResourceFork) of file fileId,
// whose first extent record is firstRecord and whose length is length, in
// whole allocation blocks; buffer holds HfsForkBufferBytes(length). Returns
// the bytes placed, less when an extent cannot be read or found.
uint32_t ReadHfsFork(Volume* volume, uint32_t fileId, uint8_t forkType, const uint8_t* firstRecord, uint32_t length,
                     uint8_t* buffer);
uint64_t HfsForkBufferBytes(Volume* volume, uint32_t length);

// Fills *info with the catalog's file record of fileId. The first call after
// the catalog was read sweeps it once more for every file record. Returns 1;
// 0 when no file has that id, or the catalog or memory fails.
int FindHfsFileInfo(Volume* volume, uint32_t fileId, MacFileInfo* info);
// Releases what FindHfsFileInfo keeps.
void ReleaseHfsFileTable(Volume* volume);
