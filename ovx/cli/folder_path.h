// FOLDER arguments of ovxcli: written in the volume's own syntax (HFS
// Disk:Letters:, FAT GAMES\OLD\), with '/' accepted for the separator and
// the last separator added when missing; and finding named entries in the
// listings of a volume.
#pragma once
#include <cstdio>

#include "dir_entry.h"
#include "volume.h"

// The folder separator of the format: ':' for the Macintosh formats, '\' otherwise.
char FolderSeparator(VolumeFormat format);

// Writes the folder path for argument into path (MAX_PATH bytes). Returns 1;
// 0 when it does not fit.
int FolderPathFromArgument(VolumeFormat format, const char* argument, char* path);

// Lists the folder at path into *array when every name on the way is a
// folder of the listing above it. Returns the count, or -1 when the path
// names no folder.
int ListExistingFolder(Volume* volume, const char* path, DirEntry** array);

// A process-heap block with room for one entry, as ListDirectory wants it; null when out of memory.
DirEntry* NewListing();
void FreeListing(DirEntry* listing);
