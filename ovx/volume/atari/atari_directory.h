// Atari 8-bit DOS 2 and MyDOS disks: one flat directory of 16-byte entries
// in sectors 361 to 368, listed whole whatever the path. Their files are
// not read.
#pragma once

#include "dir_entry.h"
#include "volume.h"

// Lists the files in use (flags 0x42, or 0x62 when locked) into *array and
// the catalog. Returns the count; 0 when the directory cannot be read.
int ListAtariDirectory(Volume* volume, DirEntry** array);
