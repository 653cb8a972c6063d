// Appending listed entries: the one way every format's lister puts what it
// finds into the volume's catalog and the caller's array, shared by the
// listing frame and the readers it calls.
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
