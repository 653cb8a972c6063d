#include "atari_directory.h"

#include <cstring>

#include "byte_order.h"
#include "entry_append.h"
#include "image_transfer.h"
#include "sector_transfer.h"
#include "short_name.h"

namespace {

enum {
  kDirectorySectors = 8,
  kTopDirectorySector = 361,  // sectors are numbered from 1
  kEntryBytes = 16,
  kEntriesPerDirectory = kDirectorySectors * 128 / kEntryBytes,  // 64; the rest of 256-byte sectors is unused
  kInUse = 0x42,
  kInUseLocked = 0x62,
  kDeleted = 0x80,
  // The flags DOS 2 sets in an entry in use: in use, locked, written by DOS 2,
  // open for output. DOS 2.5 marks files reaching past sector 719 with 0x03
  // alone, which DOS 2.0 then does not take for in use.
  kDos2FlagBits = 0x63,
  kVtocSector = 360,
  kDos2Code = 2,
  kMyDosFolder = 0x10,
  kSingleDensityBytes = 128,
  kDoubleDensityBytes = 256,
  kDoubleDensityImageBytes = 720 * 256,
  kAtrHeaderBytes = 16,
  kBootSectors = 3,           // 128 bytes each in double-density ATR images
  kLinkBytes = 3,             // file number and next sector, then the count of bytes used
  kMaxLinkedSectors = 0x3FF,  // what a 10-bit link reaches, leaving 6 bits for the file number
  kMaxSectors = 0xFFFF,
};

// How the disk's sectors lie in the volume.
struct AtariDisk {
  uint32_t sectorBytes;   // 128 or 256
  bool shortBootSectors;  // sectors 1 to 3 of 128 bytes ahead of 256-byte ones
  uint32_t sectorCount;   // the highest sector number the medium holds
};

// An ATR header states the sector size; without one, image files smaller
// than a double-density disk have 128-byte sectors, larger ones and devices
// (whose size is not known) 256.
AtariDisk DiskOf(Volume* volume) {
  AtariDisk disk = {kDoubleDensityBytes, false, 0};
  uint64_t dataBytes = MediumBytes(volume);
  uint64_t fileBytes;
  if (volume->kind == KindImageFile && ImageFileSize(volume->file, &fileBytes)) {
    dataBytes = fileBytes > static_cast<uint64_t>(volume->headerLength) ? fileBytes - volume->headerLength : 0;
    uint8_t header[kAtrHeaderBytes];
    const uint32_t stated = volume->headerLength == kAtrHeaderBytes &&
                                    ReadImageBytes(volume->file, 0, header, sizeof header) == sizeof header &&
                                    header[0] == 0x96 && header[1] == 0x02
                                ? ReadLE16(header + 4)
                                : 0;
    if (stated == kSingleDensityBytes || stated == kDoubleDensityBytes) {
      disk.sectorBytes = stated;
      disk.shortBootSectors = stated == kDoubleDensityBytes && dataBytes % kDoubleDensityBytes == kSingleDensityBytes;
    } else if (fileBytes < kDoubleDensityImageBytes) {
      disk.sectorBytes = kSingleDensityBytes;
    }
  }
  uint64_t sectors = dataBytes / disk.sectorBytes;
  if (disk.shortBootSectors) {
    const uint64_t bootBytes = kBootSectors * kSingleDensityBytes;
    sectors = dataBytes < bootBytes ? 0 : kBootSectors + (dataBytes - bootBytes) / kDoubleDensityBytes;
  }
  disk.sectorCount = static_cast<uint32_t>(sectors > kMaxSectors ? static_cast<uint64_t>(kMaxSectors) : sectors);
  return disk;
}

uint32_t SectorBytesOf(const AtariDisk& disk, uint32_t sector) {
  return disk.shortBootSectors && sector <= kBootSectors ? static_cast<uint32_t>(kSingleDensityBytes) : disk.sectorBytes;
}

uint64_t SectorOffset(const AtariDisk& disk, uint32_t sector) {
  if (!disk.shortBootSectors) return static_cast<uint64_t>(sector - 1) * disk.sectorBytes;
  if (sector <= kBootSectors) return static_cast<uint64_t>(sector - 1) * kSingleDensityBytes;
  return kBootSectors * kSingleDensityBytes + static_cast<uint64_t>(sector - 1 - kBootSectors) * kDoubleDensityBytes;
}

// Reads Atari sector `sector` (from 1) into data through the 512-byte
// sectors that hold it, of which a 256-byte sector after the short boot
// sectors straddles two. Returns its length, or 0 when it cannot be read.
uint32_t ReadAtariSector(Volume* volume, const AtariDisk& disk, uint32_t sector, uint8_t* data) {
  if (sector == 0) return 0;
  const uint64_t offset = SectorOffset(disk, sector);
  const uint32_t bytes = SectorBytesOf(disk, sector);
  const uint64_t first = offset / kSectorBytes;
  const uint32_t count = static_cast<uint32_t>((offset + bytes - 1) / kSectorBytes - first + 1);
  uint8_t held[2 * kSectorBytes];
  if (first + count > INT32_MAX) return 0;
  if (ReadSectors(volume, static_cast<int32_t>(first), static_cast<int32_t>(count), held)) {
    memcpy(data, held + offset % kSectorBytes, bytes);
    return bytes;
  }
  // A double-density ATR image ends 128 bytes into a 512-byte sector, which
  // no whole-sector transfer can read: its last sector is taken from the file.
  if (volume->kind != KindImageFile || volume->headerLength < 0 || volume->partitionStart != 0) return 0;
  return ReadImageBytes(volume->file, volume->headerLength + offset, data, bytes) == bytes ? bytes : 0;
}

// The 64 entries of the directory whose first sector is first, read whole.
bool ReadDirectory(Volume* volume, const AtariDisk& disk, uint32_t first, uint8_t* entries) {
  uint8_t sector[kDoubleDensityBytes];
  for (uint32_t k = 0; k < kDirectorySectors; ++k) {
    if (first + k > kMaxSectors || !ReadAtariSector(volume, disk, first + k, sector)) return false;
    // Each sector holds eight entries, also when it is 256 bytes long.
    memcpy(entries + k * 128, sector, 128);
  }
  return true;
}

bool IsFile(uint8_t flags) { return flags == kInUse || flags == kInUseLocked; }
bool IsFolder(const Volume* volume, uint8_t flags) {
  return volume->format == FormatMyDos && (flags & kMyDosFolder) && !(flags & kDeleted);
}

uint32_t FirstSector(const DirEntry* entry) { return ReadLE16(entry->location); }

// The directory that path leads to, folder by folder from the top, as far
// as its names are folders there. Returns its first sector; sets *deeper
// when that is not the top.
bool WalkToFolder(Volume* volume, const AtariDisk& disk, const char* path, uint32_t* first, bool* deeper,
                  uint8_t* entries) {
  *first = kTopDirectorySector;
  *deeper = false;
  for (const char* rest = path; const char* separator = strchr(rest, '\\'); rest = separator + 1) {
    if (!ReadDirectory(volume, disk, *first, entries)) return false;
    const size_t nameLength = static_cast<size_t>(separator - rest);
    int found = -1;
    for (int i = 0; i < kEntriesPerDirectory && found < 0; ++i) {
      const uint8_t* e = entries + i * kEntryBytes;
      char name[kShortNameTextBytes];
      FormatShortName(e + 5, name);
      if (IsFolder(volume, e[0]) && strlen(name) == nameLength && memcmp(name, rest, nameLength) == 0) found = i;
    }
    if (found < 0) break;
    *first = ReadLE16(entries + found * kEntryBytes + 3);
    *deeper = true;
  }
  return true;
}

// Follows entry's chain, copying the bytes each sector holds to buffer
// unless it is null. Returns the bytes the chain holds.
uint32_t FollowChain(Volume* volume, const DirEntry* entry, uint8_t* buffer) {
  const AtariDisk disk = DiskOf(volume);
  if (disk.sectorCount == 0) return 0;
  const uint32_t sectorsListed = entry->size / disk.sectorBytes;
  const uint32_t fileNumber = entry->location[2];
  // DOS 2 and MyDOS on disks a 10-bit link reaches keep the file number in
  // the link's top 6 bits; larger MyDOS disks need all 16 for the sector.
  const bool numbered = volume->format == FormatAtariDos || disk.sectorCount <= kMaxLinkedSectors;
  uint8_t passed[(kMaxSectors + 1) / 8] = {};
  uint8_t sector[kDoubleDensityBytes];
  uint32_t total = 0;
  uint32_t s = FirstSector(entry);
  for (uint32_t k = 0; k < sectorsListed && s != 0 && s <= disk.sectorCount && !(passed[s / 8] & (1 << s % 8)); ++k) {
    passed[s / 8] |= static_cast<uint8_t>(1 << s % 8);
    const uint32_t bytes = ReadAtariSector(volume, disk, s, sector);
    if (bytes == 0) break;
    const uint8_t* link = sector + bytes - kLinkBytes;
    if (numbered && (link[0] >> 2) != fileNumber) break;
    // The count's top bit marks a short sector on single-density disks.
    uint32_t used = bytes == kSingleDensityBytes ? link[2] & 0x7Fu : link[2];
    if (used > bytes - kLinkBytes) used = bytes - kLinkBytes;
    if (buffer) memcpy(buffer + total, sector, used);
    total += used;
    s = numbered ? (link[0] & 3u) << 8 | link[1] : static_cast<uint32_t>(link[0]) << 8 | link[1];
  }
  return total;
}

}  // namespace

int IsDos2Disk(Volume* volume) {
  const AtariDisk disk = DiskOf(volume);
  uint8_t vtoc[kDoubleDensityBytes];
  if (!ReadAtariSector(volume, disk, kVtocSector, vtoc)) return 0;
  const uint32_t usable = ReadLE16(vtoc + 1);
  const uint32_t free = ReadLE16(vtoc + 3);
  if (vtoc[0] != kDos2Code || usable == 0 || usable > disk.sectorCount || free > usable) return 0;
  uint8_t directory[kEntriesPerDirectory * kEntryBytes];
  if (!ReadDirectory(volume, disk, kTopDirectorySector, directory)) return 0;
  for (int i = 0; i < kEntriesPerDirectory; ++i) {
    const uint8_t* e = directory + i * kEntryBytes;
    // Free and deleted entries keep whatever they held.
    if (e[0] == 0 || (e[0] & kDeleted)) continue;
    const uint32_t sectors = ReadLE16(e + 1);
    const uint32_t first = ReadLE16(e + 3);
    if ((e[0] & ~kDos2FlagBits) || first == 0 || first > disk.sectorCount ||
        sectors > disk.sectorCount) {
      return 0;
    }
  }
  return 1;
}

int ListAtariDirectory(Volume* volume, const char* path, DirEntry** array) {
  const AtariDisk disk = DiskOf(volume);
  uint8_t directory[kEntriesPerDirectory * kEntryBytes];
  uint32_t first = kTopDirectorySector;
  bool deeper = false;
  if (volume->format == FormatMyDos && !WalkToFolder(volume, disk, path, &first, &deeper, directory)) return 0;
  if (!ReadDirectory(volume, disk, first, directory)) return 0;
  int count = 0;
  DirEntry entry;
  if (deeper) {
    // MyDOS keeps no entry for the folder above; the way back is listed all the same.
    memset(&entry, 0, sizeof entry);
    strcpy(entry.name, "..");
    entry.attributes = kDirEntryFolder;
    AppendListedEntry(volume, array, &entry, &count);
  }
  for (int i = 0; i < kEntriesPerDirectory; ++i) {
    const uint8_t* e = directory + i * kEntryBytes;
    const bool folder = IsFolder(volume, e[0]);
    if (!folder && !IsFile(e[0])) continue;
    memset(&entry, 0, sizeof entry);
    FormatShortName(e + 5, entry.name);
    memcpy(entry.location, e + 3, 2);
    entry.location[2] = static_cast<uint8_t>(i);  // the file number its sectors carry
    if (folder) {
      entry.attributes = kDirEntryFolder;
    } else {
      entry.size = static_cast<uint32_t>(ReadLE16(e + 1)) * disk.sectorBytes;
      entry.dataSize = entry.size;
    }
    AppendListedEntry(volume, array, &entry, &count);
  }
  return count;
}

uint32_t ReadAtariEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  return FollowChain(volume, entry, buffer);
}

uint32_t AtariEntryDataLength(Volume* volume, const DirEntry* entry) { return FollowChain(volume, entry, nullptr); }

uint64_t AtariEntryDataBytes(Volume* volume, const DirEntry* entry) {
  const uint64_t medium = MediumBytes(volume);
  return entry->size < medium ? entry->size : medium;
}
