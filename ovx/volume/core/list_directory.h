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
// EntryDataBufferBytes(volume, entry) bytes: on HFS and MFS the data fork
// (the resource fork when the data fork is empty) in whole allocation
// blocks, on FAT the cluster chain up to the size, on Atari DOS and MyDOS
// the bytes the file's sectors hold. Returns the number of bytes placed; 0
// for an empty file, a failed read or a format without files.
uint32_t ReadEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry);

// The most ReadEntryData writes for entry: HFS and MFS, the fork's length
// rounded up to whole allocation blocks; FAT, the size rounded up to a whole
// cluster; Atari, the size; never more than the medium holds. 0 for other
// formats or when the volume cannot be read.
uint64_t EntryDataBufferBytes(Volume* volume, const DirEntry* entry);

// The length of the file's data as ReadEntryData delivers it, cut to the
// file: the fork's length (data, or resource when the data fork is empty),
// the size on FAT; on Atari DOS and MyDOS, whose directories count only
// sectors, the bytes the chain holds, which takes a walk along it.
uint32_t EntryDataLength(Volume* volume, const DirEntry* entry);

// The entry's size and data fork length in full: as its size and dataSize
// give them, but on HFS+, whose forks may pass 4 GB and whose entries then
// hold UINT32_MAX, from the file's catalog record.
void EntrySizes(Volume* volume, const DirEntry* entry, uint64_t* size, uint64_t* dataSize);

// Tells the volume that path, the folder last listed followed by the name of
// folder (an entry of that listing) and the format's separator, is that very
// folder: the next listing of path lists it even where the folder last
// listed holds another of the same name, as a name turned into the ANSI code
// page can make it. Returns 1; 0 where folders are found by name only
// (every format but HFS+, whose names are shown otherwise than stored).
int EnterListedFolder(Volume* volume, const char* path, const DirEntry* folder);

// 0 for a file whose data this library cannot read, though it lists it (an
// HFS+ file that Mac OS X stored compressed); 1 otherwise.
int EntryDataReadable(Volume* volume, const DirEntry* entry);
