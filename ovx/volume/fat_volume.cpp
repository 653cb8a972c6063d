#include "fat_volume.h"

#include <cstring>

#include "byte_order.h"
#include "list_directory.h"
#include "sector_transfer.h"
#include "short_name.h"

namespace {

enum {
  kEntryBytes = 32,
  kFreeEntry = 0x00,
  kDeletedEntry = 0xE5,
  kEscapedE5 = 0x05,  // a stored first byte that stands for 0xE5
  kLongNameEntry = 0x0F,
  kAttributesOffset = 11,
  kTimeOffset = 22,
  kDateOffset = 24,
  kFirstClusterOffset = 26,
  kSizeOffset = 28,
  kMaxClusterBytes = 262144,
  kRootChunkSectors = 64,
};

// Values from here up mark bad clusters and the ends of chains.
const uint32_t kFat12Reserved = 0xFF7;
const uint32_t kFat16Reserved = 0xFFF7;

uint64_t ToTransferSectors(uint64_t sectors, uint32_t bytesPerSector) {
  return sectors * bytesPerSector / kSectorBytes;
}

// Remembers the clusters a chain has passed, so that a chain that comes back
// to one is known to loop. Most chains are a few clusters long: those are
// checked in a small list, and only a long chain gets a bit per cluster.
class ChainVisits {
 public:
  explicit ChainVisits(uint32_t lastCluster) : lastCluster_(lastCluster) {}
  ~ChainVisits() {
    if (bits_) HeapFree(GetProcessHeap(), 0, bits_);
  }
  ChainVisits(const ChainVisits&) = delete;
  ChainVisits& operator=(const ChainVisits&) = delete;

  // True the first time c is seen; false once it comes again (or when
  // memory for a long chain runs out, which ends the chain there).
  bool FirstVisit(uint32_t c) {
    if (!bits_) {
      for (uint32_t i = 0; i < count_; ++i) {
        if (recent_[i] == c) return false;
      }
      if (count_ < kRecent) {
        recent_[count_++] = c;
        return true;
      }
      bits_ = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, lastCluster_ / 8 + 1));
      if (!bits_) return false;
      for (uint32_t i = 0; i < count_; ++i) Mark(recent_[i]);
    }
    if (bits_[c / 8] & (1 << (c % 8))) return false;
    Mark(c);
    return true;
  }

 private:
  static const uint32_t kRecent = 32;
  void Mark(uint32_t c) { bits_[c / 8] |= static_cast<uint8_t>(1 << (c % 8)); }
  uint32_t lastCluster_;
  uint32_t recent_[kRecent];
  uint32_t count_ = 0;
  uint8_t* bits_ = nullptr;
};

// Follows the chain from firstCluster, reading whole clusters into buffer,
// until limit bytes are in. Two FAT sectors are held at a time, so that a
// 12-bit entry that straddles a sector boundary is read whole.
uint32_t ReadChain(Volume* volume, const FatGeometry* g, uint32_t firstCluster, uint32_t limit, uint8_t* buffer) {
  if (limit == 0) return 0;
  ChainVisits visits(g->lastCluster);
  uint8_t fat[2 * kSectorBytes];
  int64_t held = -1;
  uint32_t c = firstCluster;
  uint64_t total = 0;
  const uint32_t sectorsPerCluster = g->clusterBytes / kSectorBytes;
  while (c >= 2 && c <= g->lastCluster && visits.FirstVisit(c)) {
    const uint64_t sector = static_cast<uint64_t>(c - 2) * sectorsPerCluster + g->dataSector;
    if (sector + sectorsPerCluster > INT32_MAX ||
        !ReadSectors(volume, static_cast<int32_t>(sector), static_cast<int32_t>(sectorsPerCluster), buffer + total)) {
      break;
    }
    total += g->clusterBytes;
    if (total >= limit) {
      total = limit;
      break;
    }
    const uint64_t halfBytes = static_cast<uint64_t>(c) * g->entryHalfBytes;
    const int64_t fatSector = static_cast<int64_t>(g->fatSector + halfBytes / (2 * kSectorBytes));
    if (fatSector != held) {
      if (fatSector + 2 > INT32_MAX || !ReadSectors(volume, static_cast<int32_t>(fatSector), 2, fat)) break;
      held = fatSector;
    }
    const uint16_t value = ReadLE16(fat + halfBytes / 2 % kSectorBytes);
    if (g->entryHalfBytes == 4) {
      c = value;
    } else {
      c = ((c & 1) ? value >> 4 : value) & 0xFFF;
    }
  }
  return static_cast<uint32_t>(total);
}

FILETIME DosTimeStamp(uint16_t date, uint16_t time) {
  FILETIME stamp = {};
  if (!DosDateTimeToFileTime(date, time, &stamp)) memset(&stamp, 0, sizeof stamp);
  return stamp;
}

// False for free, deleted and long-name slots, which list nothing.
bool IsListedSlot(const uint8_t* e) {
  return e[0] != kFreeEntry && e[0] != kDeletedEntry && e[kAttributesOffset] != kLongNameEntry;
}

// The shown name of a directory entry; name holds kShortNameTextBytes.
void ShownName(const uint8_t* e, char* name) {
  uint8_t stored[kShortNameBytes];
  memcpy(stored, e, sizeof stored);
  if (stored[0] == kEscapedE5) stored[0] = kDeletedEntry;
  FormatShortName(stored, name);
}

// The DirEntry of a used 32-byte directory entry; 0 for free, deleted and long-name entries.
int EntryFromDirectory(const uint8_t* e, DirEntry* entry) {
  if (!IsListedSlot(e)) return 0;
  memset(entry, 0, sizeof *entry);
  ShownName(e, entry->name);
  memcpy(entry->location, e + kFirstClusterOffset, 2);
  entry->size = ReadLE32(e + kSizeOffset);
  entry->dataSize = entry->size;
  entry->modified = DosTimeStamp(ReadLE16(e + kDateOffset), ReadLE16(e + kTimeOffset));
  entry->attributes = e[kAttributesOffset];
  return 1;
}

// The rest of a path (after the folders already entered) begins with name + '\'.
bool RestEnters(const char* rest, const char* name) {
  const size_t nameLength = strlen(name);
  return strncmp(rest, name, nameLength) == 0 && rest[nameLength] == '\\';
}

uint32_t FirstCluster(const DirEntry* entry) { return ReadLE16(entry->location); }

// Finds, among the length bytes of directory entries in buffer, the first
// folder (other than ".") that the path enters below prefix, and fills *folder
// with it. Returns 0 when the path enters none of them.
int FindFolderEntered(const uint8_t* buffer, uint32_t length, const char* path, const char* prefix,
                      size_t prefixLength, DirEntry* folder) {
  if (strncmp(path, prefix, prefixLength) != 0 || !strchr(path + prefixLength, '\\')) return 0;
  for (uint32_t at = 0; at + kEntryBytes <= length; at += kEntryBytes) {
    const uint8_t* e = buffer + at;
    if (!(e[kAttributesOffset] & kDirEntryFolder) || !IsListedSlot(e)) continue;
    // Only the name is needed to decide; the whole entry is built for the match.
    char name[kShortNameTextBytes];
    ShownName(e, name);
    if (strcmp(name, ".") == 0 || !RestEnters(path + prefixLength, name)) continue;
    return EntryFromDirectory(e, folder);
  }
  return 0;
}

}  // namespace

int ReadFatGeometry(Volume* volume, FatGeometry* g) {
  memset(g, 0, sizeof *g);
  uint8_t boot[kSectorBytes];
  if (!ReadSectors(volume, 0, 1, boot)) return 0;
  const uint32_t bytesPerSector = ReadLE16(boot + 11);
  const uint32_t sectorsPerCluster = boot[13];
  // The boot sector's reserved-sector count: many volumes reserve more than the boot sector itself.
  uint32_t reserved = ReadLE16(boot + 14);
  if (reserved == 0) reserved = 1;
  const uint32_t fatCount = boot[16];
  const uint32_t rootEntries = ReadLE16(boot + 17);
  const uint32_t sectorsPerFat = ReadLE16(boot + 22);
  if (bytesPerSector == 0 || bytesPerSector % kSectorBytes != 0 || sectorsPerCluster == 0 ||
      sectorsPerCluster * bytesPerSector > kMaxClusterBytes) {
    return 0;
  }
  g->clusterBytes = sectorsPerCluster * bytesPerSector;
  g->rootEntries = rootEntries;
  g->entryHalfBytes = volume->format == FormatFat16 ? 4 : 3;
  // The root directory fills whole sectors; a partly used last sector still
  // comes before cluster 2.
  const uint64_t rootSectors = (static_cast<uint64_t>(rootEntries) * kEntryBytes + bytesPerSector - 1) / bytesPerSector;
  const uint64_t fatSector = ToTransferSectors(reserved, bytesPerSector);
  const uint64_t rootSector = ToTransferSectors(reserved + static_cast<uint64_t>(fatCount) * sectorsPerFat, bytesPerSector);
  const uint64_t dataSector = rootSector + ToTransferSectors(rootSectors, bytesPerSector);
  if (dataSector > INT32_MAX) return 0;
  g->fatSector = static_cast<uint32_t>(fatSector);
  g->rootSector = static_cast<uint32_t>(rootSector);
  g->dataSector = static_cast<uint32_t>(dataSector);
  // A chain may only name clusters whose entries lie inside the FAT.
  const uint64_t entriesInFat = static_cast<uint64_t>(sectorsPerFat) * bytesPerSector * 2 / g->entryHalfBytes;
  uint64_t last = (g->entryHalfBytes == 4 ? kFat16Reserved : kFat12Reserved) - 1;
  if (entriesInFat < last + 1) last = entriesInFat == 0 ? 0 : entriesInFat - 1;
  g->lastCluster = static_cast<uint32_t>(last);
  return 1;
}

int ListFatDirectory(Volume* volume, const char* path, DirEntry** array) {
  FatGeometry g;
  if (!ReadFatGeometry(volume, &g) || g.rootEntries < 16) return 0;
  const size_t bufferBytes = (kFatDirectoryBytes + g.clusterBytes - 1) / g.clusterBytes * g.clusterBytes;
  // Only the bytes read are scanned, so the buffer needs no clearing.
  uint8_t* buffer = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, bufferBytes));
  if (!buffer) return 0;
  char prefix[MAX_PATH] = "";
  size_t prefixLength = 0;
  int count = 0;
  const uint32_t rootBytes = g.rootEntries * kEntryBytes;
  const uint32_t rootTransferSectors = (rootBytes + kSectorBytes - 1) / kSectorBytes;
  uint32_t rootDone = 0;
  bool inRoot = true;
  uint32_t length = 0;
  for (;;) {
    if (inRoot) {
      if (rootDone >= rootTransferSectors) break;
      uint32_t n = rootTransferSectors - rootDone;
      if (n > kRootChunkSectors) n = kRootChunkSectors;
      if (!ReadSectors(volume, static_cast<int32_t>(g.rootSector + rootDone), static_cast<int32_t>(n), buffer)) {
        count = 0;
        break;
      }
      length = n * kSectorBytes;
      if (length > rootBytes - rootDone * kSectorBytes) length = rootBytes - rootDone * kSectorBytes;
      rootDone += n;
    }
    // The folder the path enters next is looked for first: when there is one,
    // everything on the way would be dropped, so it is not listed at all.
    DirEntry folder;
    if (FindFolderEntered(buffer, length, path, prefix, prefixLength, &folder)) {
      length = ReadChain(volume, &g, FirstCluster(&folder), kFatDirectoryBytes, buffer);
      const size_t nameLength = strlen(folder.name);
      memcpy(prefix + prefixLength, folder.name, nameLength);
      prefixLength += nameLength;
      prefix[prefixLength++] = '\\';
      prefix[prefixLength] = '\0';
      volume->catalogCount = 0;
      count = 0;
      inRoot = false;
      continue;  // scan the new folder from its first entry
    }
    for (uint32_t at = 0; at + kEntryBytes <= length; at += kEntryBytes) {
      DirEntry entry;
      if (!EntryFromDirectory(buffer + at, &entry)) continue;
      if ((entry.attributes & kDirEntryFolder) && strcmp(entry.name, ".") == 0) continue;
      AppendListedEntry(volume, array, &entry, &count);
    }
    if (!inRoot) break;
  }
  HeapFree(GetProcessHeap(), 0, buffer);
  return count;
}

uint32_t ReadFatEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  if (static_cast<int32_t>(entry->size) <= 0) return 0;
  FatGeometry g;
  if (!ReadFatGeometry(volume, &g)) return 0;
  return ReadChain(volume, &g, FirstCluster(entry), entry->size, buffer);
}

uint64_t FatEntryDataBytes(Volume* volume, const DirEntry* entry) {
  FatGeometry g;
  if (!ReadFatGeometry(volume, &g)) return 0;
  return (static_cast<uint64_t>(entry->size) + g.clusterBytes - 1) / g.clusterBytes * g.clusterBytes;
}
