#include "list_directory.h"

#include <cstring>

#include "atari_directory.h"
#include "fat_volume.h"
#include "hfs_catalog.h"
#include "mfs_directory.h"

int ListDirectory(Volume* volume, const char* path, DirEntry** array) {
  if (!volume) return 0;
  if (!path) path = "";
  if (strlen(path) >= sizeof volume->currentPath) return 0;
  // The catalog holds the whole volume for HFS, which re-reads it only at
  // the top; for the other formats it holds the folder being listed.
  if (path[0] == '\0' || volume->format != FormatHfs) volume->catalogCount = 0;
  int count;
  switch (volume->format) {
    case FormatHfs: count = ListHfsDirectory(volume, path, array); break;
    case FormatMfs: count = ListMfsDirectory(volume, path, array); break;
    case FormatAtariDos:
    case FormatMyDos: count = ListAtariDirectory(volume, path, array); break;
    case FormatFat12:
    case FormatFat16: count = ListFatDirectory(volume, path, array); break;
    default: count = 0; break;
  }
  if (count == kListingAbandoned) return 0;
  // An HFS walk leaves currentPath at the folder reached, each name with its
  // ':', so that a later walk continues from a name boundary even when path
  // lacked the last ':'.
  if (volume->format != FormatHfs) strcpy(volume->currentPath, path);
  return count;
}

uint32_t ReadEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  if (!volume || !buffer || !entry) return 0;
  switch (volume->format) {
    case FormatHfs: return ReadHfsEntryData(volume, buffer, entry);
    case FormatMfs: return ReadMfsEntryData(volume, buffer, entry);
    case FormatAtariDos:
    case FormatMyDos: return ReadAtariEntryData(volume, buffer, entry);
    case FormatFat12:
    case FormatFat16: return ReadFatEntryData(volume, buffer, entry);
    default: return 0;
  }
}

uint64_t EntryDataBufferBytes(Volume* volume, const DirEntry* entry) {
  if (!volume || !entry) return 0;
  switch (volume->format) {
    case FormatHfs: return HfsEntryDataBytes(volume, entry);
    case FormatMfs: return MfsEntryDataBytes(volume, entry);
    case FormatAtariDos:
    case FormatMyDos: return AtariEntryDataBytes(volume, entry);
    case FormatFat12:
    case FormatFat16: return FatEntryDataBytes(volume, entry);
    default: return 0;
  }
}

uint32_t EntryDataLength(Volume* volume, const DirEntry* entry) {
  if (!entry) return 0;
  if (volume && (volume->format == FormatAtariDos || volume->format == FormatMyDos)) {
    return AtariEntryDataLength(volume, entry);
  }
  return entry->dataSize != 0 ? entry->dataSize : entry->size;
}
