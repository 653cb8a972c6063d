// Pages of a read-only image file kept in memory. Listings of FAT folders
// start again from the root directory every time, and HFS and FAT readers
// read the same table sectors again and again; serving those from memory
// turns thousands of small file reads into a handful of larger ones.
#pragma once
#include <cstdint>

#include "win32_compat.h"

struct ImageReadCache;

// Reads bytes at offset of file into buffer through *cache (made on first
// use). Returns the number of bytes placed; fewer than asked only at the end
// of the file or when a read fails. Requests larger than the cache go to the
// file directly.
uint32_t CachedImageRead(ImageReadCache** cache, HANDLE file, uint64_t offset, uint8_t* buffer,
                         uint32_t bytes);

// Releases the cache; *cache becomes null.
void ReleaseImageReadCache(ImageReadCache** cache);
