// Listing the folders of a foreign volume and reading its files: the frame
// common to every format, which dispatches on the volume's format to the
// HFS, MFS, FAT and Atari DOS readers. Entries come back as DirEntry records
// in a process-heap block that the caller owns and this module grows.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "entry_append.h"
#include "volume.h"

// Lists the folder at path (the volume's own syntax; empty = the top) into
// *array from index 0, and keeps the entries in the volume's catalog. array
// may be null: then only the catalog is filled. Returns the number of
// entries written to *array; 0 for an empty folder, an unknown path, an
// unreadable or unknown file system, or a null volume.
int ListDirectory(Volume* volume, const char* path, DirEntry** array);

// Reads the data of a listed file into buffer, which must hold
// EntryDataBufferBytes(volume, entry) bytes. Returns the number of bytes
// placed; 0 for an empty file, a failed read or a format whose files cannot
// be read (MFS, Atari DOS).
uint32_t ReadEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry);

// The most ReadEntryData writes for entry: HFS, the fork's length rounded up
// to whole allocation blocks; FAT, the size rounded up to a whole cluster; 0
// for other formats or when the volume cannot be read.
uint64_t EntryDataBufferBytes(Volume* volume, const DirEntry* entry);
