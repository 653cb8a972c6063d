#include "atari_directory.h"

#include <cstring>

#include "byte_order.h"
#include "image_transfer.h"
#include "list_directory.h"
#include "sector_transfer.h"
#include "short_name.h"

namespace {

enum {
  kDirectorySectors = 8,
  kDirectoryFirstSector = 361,  // numbered from 1
  kBootSectors = 3,
  kEntryBytes = 16,
  kInUse = 0x42,
  kInUseLocked = 0x62,
  kShortSectorBytes = 128,
  kLongSectorBytes = 256,
  // Below this many bytes of disk, sectors are 128 bytes: a double-density
  // ATR image whose three boot sectors are 128 bytes each holds 183,936.
  kDoubleDensityBytes = 3 * 128 + 717 * 256,
};

// Where the directory starts, in bytes from sector 1, and the sector size.
void DirectoryPlace(Volume* volume, uint32_t* offset, uint32_t* sectorBytes) {
  uint64_t fileBytes = 0;
  bool known = volume->kind == KindImageFile && ImageFileSize(volume->file, &fileBytes);
  const uint64_t diskBytes = fileBytes > static_cast<uint64_t>(volume->headerLength) ? fileBytes - volume->headerLength : 0;
  if (known && diskBytes < kDoubleDensityBytes) {
    *sectorBytes = kShortSectorBytes;
    *offset = kShortSectorBytes * (kDirectoryFirstSector - 1);
    return;
  }
  *sectorBytes = kLongSectorBytes;
  // Double-density images usually keep the boot sectors at 128 bytes, which
  // leaves the disk 128 bytes short of a multiple of 256.
  const bool shortBootSectors = known && diskBytes % kLongSectorBytes == kShortSectorBytes;
  *offset = shortBootSectors
                ? kBootSectors * kShortSectorBytes + kLongSectorBytes * (kDirectoryFirstSector - 1 - kBootSectors)
                : kLongSectorBytes * (kDirectoryFirstSector - 1);
}

}  // namespace

int ListAtariDirectory(Volume* volume, DirEntry** array) {
  uint32_t offset, sectorBytes;
  DirectoryPlace(volume, &offset, &sectorBytes);
  const uint32_t directoryBytes = sectorBytes * kDirectorySectors;
  // The directory need not begin on a 512-byte boundary: read the sectors around it.
  const uint32_t first = offset / kSectorBytes;
  const uint32_t skip = offset % kSectorBytes;
  const uint32_t sectors = (skip + directoryBytes + kSectorBytes - 1) / kSectorBytes;
  uint8_t buffer[(kLongSectorBytes * kDirectorySectors / kSectorBytes + 1) * kSectorBytes];
  if (!ReadSectors(volume, static_cast<int32_t>(first), static_cast<int32_t>(sectors), buffer)) return 0;
  const uint8_t* directory = buffer + skip;
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
    if (AppendEntry(&volume->catalog, &entry, volume->catalogCount)) ++volume->catalogCount;
    if (AppendEntry(array, &entry, count)) ++count;
  }
  return count;
}
