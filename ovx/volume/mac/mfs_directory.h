// MFS listings: the flat file directory of a Macintosh volume without
// folders, listed whole at the volume's top. MFS file data is not read.
#pragma once

#include "dir_entry.h"
#include "volume.h"

// Lists every file of the directory for the empty path into *array (and the
// catalog). Returns the count; kListingAbandoned for any other path or when
// the volume information block cannot be read.
int ListMfsDirectory(Volume* volume, const char* path, DirEntry** array);
