// MFS volumes: the flat file directory of a Macintosh volume without
// folders, listed whole at the volume's top, and file data read through the
// volume's allocation block map, which links each block of a fork to the next.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "mac_file.h"
#include "volume.h"

// Lists every file of the directory for the empty path into *array (and the
// catalog). Returns the count; kListingAbandoned for any other path or when
// the volume information block cannot be read.
int ListMfsDirectory(Volume* volume, const char* path, DirEntry** array);

// Reads the data fork of entry (its resource fork when the data fork is
// empty), at most its length rounded up to whole allocation blocks. Returns
// the bytes placed; less when the map ends the fork early, loops or leaves
// the volume, or a read fails.
uint32_t ReadMfsEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry);

// The fork's length rounded up to whole allocation blocks, within the
// medium; 0 when the volume information block cannot be read.
uint64_t MfsEntryDataBytes(Volume* volume, const DirEntry* entry);

// Reads the fork that starts at allocation block firstBlock and is length
// bytes long, as ReadMfsEntryData does; buffer holds MfsForkBufferBytes(length).
uint32_t ReadMfsFork(Volume* volume, uint32_t firstBlock, uint32_t length, uint8_t* buffer);
uint64_t MfsForkBufferBytes(Volume* volume, uint32_t length);

// Finds the directory entry of file number fileNumber and fills *info from
// it. Returns 1; 0 when no entry has that number.
int FindMfsFileInfo(Volume* volume, uint32_t fileNumber, MacFileInfo* info);
