#include "list_directory.h"

#include <cstring>

#include "volume_formats.h"

int ListDirectory(Volume* volume, const char* path, DirEntry** array) {
  if (!volume) return 0;
  if (!path) path = "";
  if (strlen(path) >= sizeof volume->currentPath) return 0;
  const VolumeFormatRow& row = FormatRow(volume->format);
  // The catalog holds the whole volume for HFS, which re-reads it only at
  // the top; for the other formats it holds the folder being listed.
  if (path[0] == '\0' || !row.wholeCatalog) volume->catalogCount = 0;
  const int count = row.list ? row.list(volume, path, array) : 0;
  if (count == kListingAbandoned) return 0;
  // An HFS walk leaves currentPath at the folder reached, each name with its
  // ':', so that a later walk continues from a name boundary even when path
  // lacked the last ':'.
  if (!row.wholeCatalog) strcpy(volume->currentPath, path);
  return count;
}

uint32_t ReadEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  if (!volume || !buffer || !entry) return 0;
  const VolumeFormatRow& row = FormatRow(volume->format);
  return row.readData ? row.readData(volume, buffer, entry) : 0;
}

uint64_t EntryDataBufferBytes(Volume* volume, const DirEntry* entry) {
  if (!volume || !entry) return 0;
  const VolumeFormatRow& row = FormatRow(volume->format);
  return row.dataBufferBytes ? row.dataBufferBytes(volume, entry) : 0;
}

uint32_t EntryDataLength(Volume* volume, const DirEntry* entry) {
  if (!entry) return 0;
  const auto dataLength = volume ? FormatRow(volume->format).dataLength : nullptr;
  if (dataLength) return dataLength(volume, entry);
  return entry->dataSize != 0 ? entry->dataSize : entry->size;
}

void EntrySizes(Volume* volume, const DirEntry* entry, uint64_t* size, uint64_t* dataSize) {
  *size = entry->size;
  *dataSize = entry->dataSize;
  const auto entrySizes = volume ? FormatRow(volume->format).entrySizes : nullptr;
  if (entrySizes) entrySizes(volume, entry, size, dataSize);
}

int EnterListedFolder(Volume* volume, const char* path, const DirEntry* folder) {
  if (!volume || !path || !folder || !(folder->attributes & kDirEntryFolder)) return 0;
  const auto enterFolder = FormatRow(volume->format).enterFolder;
  return enterFolder ? enterFolder(volume, path, folder) : 0;
}

int EntryDataReadable(Volume* volume, const DirEntry* entry) {
  if (!volume || !entry) return 1;
  const auto entryReadable = FormatRow(volume->format).entryReadable;
  return entryReadable ? entryReadable(volume, entry) : 1;
}
