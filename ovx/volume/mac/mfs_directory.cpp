#include "mfs_directory.h"

#include <cstring>

#include "byte_order.h"
#include "entry_append.h"
#include "mac_time.h"
#include "sector_transfer.h"

namespace {

enum {
  kVolumeInfoSector = 2,
  kDirectoryStartOffset = 14,   // BE16: first sector of the file directory
  kDirectoryLengthOffset = 16,  // BE16: its length in sectors
  kEntryInUse = 0x80,
  kNameLengthOffset = 50,
  kNameOffset = 51,
};

}  // namespace

int ListMfsDirectory(Volume* volume, const char* path, DirEntry** array) {
  if (path[0] != '\0') return kListingAbandoned;
  uint8_t sector[kSectorBytes];
  if (!ReadSectors(volume, kVolumeInfoSector, 1, sector) || sector[0] != 0xD2 || sector[1] != 0xD7) {
    return kListingAbandoned;
  }
  // The whole 16-bit field: its high byte is 0 on floppies, but not on larger volumes.
  const uint32_t first = ReadBE16(sector + kDirectoryStartOffset);
  const uint32_t length = ReadBE16(sector + kDirectoryLengthOffset);
  int count = 0;
  for (uint32_t k = 0; k < length; ++k) {
    if (!ReadSectors(volume, static_cast<int32_t>(first + k), 1, sector)) continue;
    // Entries lie end to end, none spans two sectors; one that would reach
    // past the sector ends it.
    unsigned at = 0;
    while (at + kNameOffset <= kSectorBytes && (sector[at] & kEntryInUse)) {
      const uint8_t* e = sector + at;
      const unsigned nameLength = e[kNameLengthOffset];
      if (nameLength == 0 || at + kNameOffset + nameLength > kSectorBytes) break;
      DirEntry entry;
      memset(&entry, 0, sizeof entry);
      memcpy(entry.name, e + kNameOffset, nameLength);
      memcpy(entry.macType, e + 2, 4);
      memcpy(entry.macCreator, e + 6, 4);
      const uint32_t dataFork = ReadBE32(e + 24);
      const uint32_t resourceFork = ReadBE32(e + 34);
      entry.dataSize = dataFork;
      entry.size = dataFork > UINT32_MAX - resourceFork ? UINT32_MAX : dataFork + resourceFork;
      entry.modified = MacDateToFileTime(ReadBE32(e + 46));
      AppendListedEntry(volume, array, &entry, &count);
      at += kNameOffset + nameLength + (nameLength % 2 == 0 ? 1 : 0);
    }
  }
  return count;
}
