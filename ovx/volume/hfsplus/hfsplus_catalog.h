// HFS+ and HFSX listings and file data. The first listing of a volume (empty
// path) sweeps the catalog B-tree's leaf nodes into a compact catalog,
// ordered as the tree orders its keys, with the private folders that hold
// hard-link targets left out and every hard link standing for its target;
// listing a folder afterwards walks that catalog name by name from the top.
// A listed file's entry names where its catalog record lies, so its data is
// read from that record's forks, those of the extents overflow file included.
#pragma once
#include <cstdint>

#include "dir_entry.h"
#include "mac_file.h"
#include "volume.h"

// Lists path (folder names each followed by ':'; empty = the top, whose one
// entry is the root folder) into *array. Returns the count, or
// kListingAbandoned when the catalog cannot be read or the walk meets a name
// the current folder does not hold.
int ListHfsPlusDirectory(Volume* volume, const char* path, DirEntry** array);

// EnterListedFolder: names shown in the ANSI code page may be alike where
// the volume's differ.
int EnterHfsPlusFolder(Volume* volume, const char* path, const DirEntry* folder);

// Releases what listings and reads of an HFS+ volume keep.
void ReleaseHfsPlusState(Volume* volume);

// ReadEntryData, EntryDataBufferBytes and the sizes of an HFS+ entry: the
// data fork, or the resource fork when the data fork is empty; nothing for a
// compressed file.
uint32_t ReadHfsPlusEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry);
uint64_t HfsPlusEntryDataBytes(Volume* volume, const DirEntry* entry);
void HfsPlusEntrySizes(Volume* volume, const DirEntry* entry, uint64_t* size, uint64_t* dataSize);
// 0 for a file that Mac OS X stored compressed, which this reader cannot read; else 1.
int HfsPlusEntryReadable(Volume* volume, const DirEntry* entry);

// The file whole, from its catalog record (mac_file.h).
int FindHfsPlusFile(Volume* volume, const DirEntry* entry, MacFileInfo* info);
uint64_t HfsPlusForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork);
uint32_t ReadHfsPlusFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer);
int OpenHfsPlusForkReader(Volume* volume, const MacFileInfo* info, MacFork fork, MacForkReader* reader);
