#include "atari_directory.h"

#include <cstring>

#include "byte_order.h"
#include "image_transfer.h"
#include "entry_append.h"
#include "sector_transfer.h"
#include "short_name.h"

namespace {

enum {
  kDirectorySectors = 8,
  kDirectoryFirstSector = 361,  // numbered from 1
  kEntryBytes = 16,
  kInUse = 0x42,
  kInUseLocked = 0x62,
  kSingleDensityBytes = 128,
  kDoubleDensityBytes = 256,
  kDoubleDensityImageBytes = 720 * 256,
};

// Sectors are 128 bytes on image files smaller than a double-density disk;
// 256 on larger ones, and on devices, whose size is not known.
uint32_t SectorBytes(Volume* volume) {
  uint64_t fileBytes;
  if (volume->kind == KindImageFile && ImageFileSize(volume->file, &fileBytes) && fileBytes < kDoubleDensityImageBytes) {
    return kSingleDensityBytes;
  }
  return kDoubleDensityBytes;
}

}  // namespace

int ListAtariDirectory(Volume* volume, DirEntry** array) {
  const uint32_t sectorBytes = SectorBytes(volume);
  const uint32_t directoryBytes = sectorBytes * kDirectorySectors;
  // 2 sectors from sector 90, or 4 from sector 180.
  const uint32_t first = sectorBytes * (kDirectoryFirstSector - 1) / kSectorBytes;
  uint8_t directory[kDoubleDensityBytes * kDirectorySectors];
  if (!ReadSectors(volume, static_cast<int32_t>(first), static_cast<int32_t>(directoryBytes / kSectorBytes), directory)) {
    return 0;
  }
  int count = 0;
  for (uint32_t at = 0; at + kEntryBytes <= directoryBytes; at += kEntryBytes) {
    const uint8_t* e = directory + at;
    if (e[0] != kInUse && e[0] != kInUseLocked) continue;
    DirEntry entry;
    memset(&entry, 0, sizeof entry);
    FormatShortName(e + 5, entry.name);
    memcpy(entry.location, e + 3, 2);
    entry.size = static_cast<uint32_t>(ReadLE16(e + 1)) * sectorBytes;
    entry.dataSize = entry.size;
    AppendListedEntry(volume, array, &entry, &count);
  }
  return count;
}
