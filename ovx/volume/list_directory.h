// Listing the folders of a foreign volume and reading its files: the frame
// common to every format, which dispatches on the volume's format to the
// HFS, MFS, FAT and Atari DOS readers. Entries come back as DirEntry records
// in a process-heap block that the caller owns and this module grows.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "volume.h"

// What a format's lister returns when the listing must end at once with 0,
// leaving currentPath as it is.
enum { kListingAbandoned = -1 };

// Copies entry into place index of *array, growing the block with spare
// room (at least doubling it) when it is too small. Returns 1; 0 when array
// is null or memory runs out.
int AppendEntry(DirEntry** array, const DirEntry* entry, int32_t index);

// For the formats whose catalog holds the folder listed: appends entry to the
// volume's catalog and to *array at *count, counting it in each that took it.
void AppendListedEntry(Volume* volume, DirEntry** array, const DirEntry* entry, int* count);

// For listers that make entries in the catalog itself: the catalog's slot
// for its next entry, with room made for `more` entries from there; null when
// memory runs out. A lister fills the slot, keeps it with ++catalogCount, and
// hands what it kept to AppendCatalogRun.
DirEntry* CatalogRoom(Volume* volume, int32_t more);

// Appends the catalog's entries from index first to catalogCount to *array at
// *count in one piece, adding them to *count; nothing when array is null or
// memory runs out.
void AppendCatalogRun(Volume* volume, int32_t first, DirEntry** array, int* count);

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
