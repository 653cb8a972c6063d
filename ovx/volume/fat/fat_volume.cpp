#include "fat_volume.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "byte_order.h"
#include "entry_append.h"
#include "sector_transfer.h"
#include "short_name.h"

struct FatListingMemo;

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
  kCatalogStepBytes = 2048,  // the catalog is made room for in steps of this many directory bytes
  kFatPieceBytes = 4096,
  kMaxFatPieces = (0xFFF6 * 2 + 2 + kFatPieceBytes - 1) / kFatPieceBytes,  // a whole FAT16
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

// The 16 bits at byte `at` of the first FAT, from the memo's copy; false
// when there is no memo or that part of the FAT cannot be read.
bool MemoFatBytes(Volume* volume, FatListingMemo* memo, uint64_t at, uint16_t* value);

// Follows the chain from firstCluster, reading whole clusters into buffer,
// until limit bytes are in. The chain's entries come from the FAT the memo
// holds when there is one; otherwise two FAT sectors are held at a time, so
// that a 12-bit entry that straddles a sector boundary is read whole.
uint32_t ReadChain(Volume* volume, const FatGeometry* g, FatListingMemo* memo, uint32_t firstCluster, uint32_t limit,
                   uint8_t* buffer) {
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
    uint16_t value;
    if (!MemoFatBytes(volume, memo, halfBytes / 2, &value)) {
      const int64_t fatSector = static_cast<int64_t>(g->fatSector + halfBytes / (2 * kSectorBytes));
      if (fatSector != held) {
        if (fatSector + 2 > INT32_MAX || !ReadSectors(volume, static_cast<int32_t>(fatSector), 2, fat)) break;
        held = fatSector;
      }
      value = ReadLE16(fat + halfBytes / 2 % kSectorBytes);
    }
    if (g->entryHalfBytes == 4) {
      c = value;
    } else {
      c = ((c & 1) ? value >> 4 : value) & 0xFFF;
    }
  }
  return static_cast<uint32_t>(total);
}

// DOS date and time as a FILETIME. Files copied together share their stamps,
// so the last one converted in a listing is kept.
class DosTimeStamps {
 public:
  FILETIME Of(uint16_t date, uint16_t time) {
    const uint32_t dosStamp = static_cast<uint32_t>(date) << 16 | time;
    if (!held_ || dosStamp != dosStamp_) {
      if (!DosDateTimeToFileTime(date, time, &stamp_)) memset(&stamp_, 0, sizeof stamp_);
      dosStamp_ = dosStamp;
      held_ = true;
    }
    return stamp_;
  }

 private:
  bool held_ = false;
  uint32_t dosStamp_ = 0;
  FILETIME stamp_ = {};
};

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
int EntryFromDirectory(const uint8_t* e, DirEntry* entry, DosTimeStamps* stamps) {
  if (!IsListedSlot(e)) return 0;
  memset(entry, 0, sizeof *entry);
  ShownName(e, entry->name);
  memcpy(entry->location, e + kFirstClusterOffset, 2);
  entry->size = ReadLE32(e + kSizeOffset);
  entry->dataSize = entry->size;
  entry->modified = stamps->Of(ReadLE16(e + kDateOffset), ReadLE16(e + kTimeOffset));
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
    DosTimeStamps stamps;
    return EntryFromDirectory(e, folder, &stamps);
  }
  return 0;
}

}  // namespace

// What listings of a FAT image opened read-only have learned. Nothing changes
// such an image under the volume, so a walk down a path need not read every
// folder on the way again: each folder reached is kept by its path with its
// first cluster, and once a folder has been scanned whole its sub-folders are
// known too, so that a walk passes through it without reading it. A recursive
// listing of a large volume thereby reads each folder once instead of the
// root and every parent again for each folder.
struct FatListingMemo {
  struct Folder {
    uint32_t firstCluster = 0;
    bool subFoldersKnown = false;
  };
  enum PieceState : uint8_t { kUnread, kRead, kUnreadable };
  ~FatListingMemo() {
    if (fat) HeapFree(GetProcessHeap(), 0, fat);
    if (directory) HeapFree(GetProcessHeap(), 0, directory);
  }
  VolumeFormat format;
  FatGeometry geometry;
  int geometryUsable;
  // The first FAT, as far as chains may reach into it, read in pieces of
  // kFatPieceBytes as chains first need them: listing a few folders of a
  // large volume reads a few pieces, not the whole FAT.
  uint8_t* fat = nullptr;
  uint32_t fatSectors = 0;
  PieceState fatPieces[kMaxFatPieces] = {};
  Folder root;
  std::unordered_map<std::string, Folder> folders;  // by path, each name followed by '\'
  uint8_t* directory = nullptr;  // the directory buffer, kept from one listing to the next
};

namespace {

// The volume's memo, made on first use and made afresh when asked (a listing
// of the root starts over, as the HFS catalog is read again there); null for
// sources that can change (drives, images open for writing) and when memory
// runs out.
FatListingMemo* MemoFor(Volume* volume, bool afresh) {
  if (volume->kind != KindImageFile || !volume->readOnly) return nullptr;
  FatListingMemo* memo = volume->fatListingMemo;
  if (memo && memo->format == volume->format && !afresh) return memo;
  ReleaseFatListingMemo(volume);
  memo = new (std::nothrow) FatListingMemo;
  if (!memo) return nullptr;
  memo->format = volume->format;
  memo->geometryUsable = ReadFatGeometry(volume, &memo->geometry);
  volume->fatListingMemo = memo;
  return memo;
}

// The volume's layout: kept in the memo, or read from the boot sector.
int GeometryOf(Volume* volume, const FatListingMemo* memo, FatGeometry* g) {
  if (!memo) return ReadFatGeometry(volume, g);
  *g = memo->geometry;
  return memo->geometryUsable;
}

// A name the walk can match by the path's next component alone: one that is
// not empty and holds no '\' (such a name would match across separators).
bool IsPlainFolderName(const char* name) { return name[0] != '\0' && !strchr(name, '\\'); }

// Keeps a sub-folder of the folder at path unless one of the same name came
// before it (the walk takes the first). "." is never entered, and ".." is
// left to the walk itself. Returns false for a name that is not plain, which
// keeps the folder's sub-folders from being taken as known.
bool NoteSubFolder(FatListingMemo* memo, const std::string& path, const char* name, uint32_t firstCluster) {
  if (!IsPlainFolderName(name)) return false;
  if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return true;
  FatListingMemo::Folder folder;
  folder.firstCluster = firstCluster;
  memo->folders.try_emplace(path + name + '\\', folder);
  return true;
}

// NoteSubFolder for every folder among length bytes of directory entries.
bool NoteSubFolders(FatListingMemo* memo, const std::string& path, const uint8_t* buffer, uint32_t length) {
  bool plain = true;
  for (uint32_t at = 0; at + kEntryBytes <= length; at += kEntryBytes) {
    const uint8_t* e = buffer + at;
    if (!(e[kAttributesOffset] & kDirEntryFolder) || !IsListedSlot(e)) continue;
    char name[kShortNameTextBytes];
    ShownName(e, name);
    if (!NoteSubFolder(memo, path, name, ReadLE16(e + kFirstClusterOffset))) plain = false;
  }
  return plain;
}

bool MemoFatBytes(Volume* volume, FatListingMemo* memo, uint64_t at, uint16_t* value) {
  if (!memo || !memo->geometryUsable) return false;
  const FatGeometry& g = memo->geometry;
  if (!memo->fat) {
    // The entries of clusters up to the last a chain may name, and the byte
    // after the last one, which a 16-bit read of it takes too.
    const uint64_t bytes = static_cast<uint64_t>(g.lastCluster) * g.entryHalfBytes / 2 + 2;
    memo->fatSectors = static_cast<uint32_t>((bytes + kSectorBytes - 1) / kSectorBytes);
    memo->fat = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(memo->fatSectors) * kSectorBytes));
    if (!memo->fat) return false;
  }
  if (at + 2 > static_cast<uint64_t>(memo->fatSectors) * kSectorBytes) return false;
  const uint32_t sectorsPerPiece = kFatPieceBytes / kSectorBytes;
  for (uint64_t piece = at / kFatPieceBytes; piece <= (at + 1) / kFatPieceBytes; ++piece) {
    if (piece >= kMaxFatPieces) return false;
    FatListingMemo::PieceState& state = memo->fatPieces[piece];
    if (state == FatListingMemo::kUnread) {
      const uint32_t first = static_cast<uint32_t>(piece) * sectorsPerPiece;
      const uint32_t count = memo->fatSectors - first < sectorsPerPiece ? memo->fatSectors - first : sectorsPerPiece;
      const bool read = g.fatSector + static_cast<uint64_t>(first) + count <= INT32_MAX &&
                        ReadSectors(volume, static_cast<int32_t>(g.fatSector + first), static_cast<int32_t>(count),
                                    memo->fat + static_cast<size_t>(first) * kSectorBytes);
      state = read ? FatListingMemo::kRead : FatListingMemo::kUnreadable;
    }
    if (state != FatListingMemo::kRead) return false;
  }
  *value = ReadLE16(memo->fat + at);
  return true;
}

// The memo's record of the folder at path (the root for ""), made when missing.
FatListingMemo::Folder* KeptFolder(FatListingMemo* memo, const std::string& path) {
  return path.empty() ? &memo->root : &memo->folders.try_emplace(path).first->second;
}

// Follows path through folders whose sub-folders are known, reading nothing.
// Leaves *prefix at the deepest folder reached (empty for the root, else with
// *firstCluster) and returns its record; sets *settled when that folder is the
// one to list: its sub-folders are known and the path enters none of them.
FatListingMemo::Folder* WalkKnownFolders(FatListingMemo* memo, const char* path, std::string* prefix,
                                         uint32_t* firstCluster, bool* settled) {
  prefix->clear();
  *firstCluster = 0;
  *settled = false;
  FatListingMemo::Folder* here = &memo->root;
  while (here->subFoldersKnown) {
    const char* rest = path + prefix->size();
    const char* separator = strchr(rest, '\\');
    if (separator && strncmp(rest, "..\\", 3) == 0) break;  // ".." is not kept; the walk reads this folder
    const auto next =
        separator ? memo->folders.find(*prefix + std::string(rest, separator + 1)) : memo->folders.end();
    if (next == memo->folders.end()) {
      *settled = true;
      break;
    }
    *prefix = next->first;
    *firstCluster = next->second.firstCluster;
    here = &next->second;
  }
  return here;
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
  FatListingMemo* memo = MemoFor(volume, path[0] == '\0');
  FatGeometry g;
  if (!GeometryOf(volume, memo, &g)) return 0;
  if (g.rootEntries < 16) return 0;
  const size_t bufferBytes = (kFatDirectoryBytes + g.clusterBytes - 1) / g.clusterBytes * g.clusterBytes;
  // Only the bytes read are scanned, so the buffer needs no clearing.
  uint8_t* buffer = memo ? memo->directory : nullptr;
  if (!buffer) buffer = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, bufferBytes));
  if (!buffer) return 0;
  if (memo) memo->directory = buffer;  // the memo owns it from here on
  DosTimeStamps stamps;
  int count = 0;
  try {
    std::string prefix;  // the folder being scanned, as a path
    uint32_t length = 0;
    bool inRoot = true, settled = false;
    FatListingMemo::Folder* kept = nullptr;  // the memo's record of the folder being scanned
    if (memo) {
      uint32_t firstCluster;
      kept = WalkKnownFolders(memo, path, &prefix, &firstCluster, &settled);
      inRoot = prefix.empty();
      if (!inRoot) length = ReadChain(volume, &g, memo, firstCluster, kFatDirectoryBytes, buffer);
    }
    const uint32_t rootBytes = g.rootEntries * kEntryBytes;
    const uint32_t rootTransferSectors = (rootBytes + kSectorBytes - 1) / kSectorBytes;
    uint32_t rootDone = 0;
    bool rootPlain = true;
    for (;;) {
      if (inRoot) {
        if (rootDone >= rootTransferSectors) {
          if (kept && rootPlain) kept->subFoldersKnown = true;
          break;
        }
        uint32_t n = rootTransferSectors - rootDone;
        if (n > kRootChunkSectors) n = kRootChunkSectors;
        if (!ReadSectors(volume, static_cast<int32_t>(g.rootSector + rootDone), static_cast<int32_t>(n), buffer)) {
          // The chunks listed so far go too, from the catalog as from the count.
          volume->catalogCount = 0;
          count = 0;
          break;
        }
        length = n * kSectorBytes;
        if (length > rootBytes - rootDone * kSectorBytes) length = rootBytes - rootDone * kSectorBytes;
        rootDone += n;
      }
      // The sub-folders of a folder read whole are kept, unless they are already.
      const bool noting = kept && !kept->subFoldersKnown;
      bool plain = true;
      // The folder the path enters next is looked for first: when there is one,
      // everything on the way would be dropped, so it is not listed at all.
      DirEntry folder;
      if (!settled && FindFolderEntered(buffer, length, path, prefix.c_str(), prefix.size(), &folder)) {
        if (noting && NoteSubFolders(memo, prefix, buffer, length) && !inRoot) kept->subFoldersKnown = true;
        length = ReadChain(volume, &g, memo, FirstCluster(&folder), kFatDirectoryBytes, buffer);
        prefix += folder.name;
        prefix += '\\';
        if (memo) kept = KeptFolder(memo, prefix);
        volume->catalogCount = 0;
        count = 0;
        inRoot = false;
        continue;  // scan the new folder from its first entry
      }
      // Entries are made in the catalog's own slots and go to the caller's
      // array together at the end.
      const int32_t first = volume->catalogCount;
      for (uint32_t at = 0; at + kEntryBytes <= length; at += kEntryBytes) {
        // Out of memory the rest is neither listed nor noted, so the folder's
        // sub-folders are not all known.
        if (at % kCatalogStepBytes == 0 && !CatalogRoom(volume, kCatalogStepBytes / kEntryBytes)) {
          plain = false;
          break;
        }
        DirEntry* entry = volume->catalog + volume->catalogCount;
        if (!EntryFromDirectory(buffer + at, entry, &stamps)) continue;
        if (entry->attributes & kDirEntryFolder) {
          if (noting && !NoteSubFolder(memo, prefix, entry->name, FirstCluster(entry))) plain = false;
          if (strcmp(entry->name, ".") == 0) continue;
        }
        ++volume->catalogCount;
      }
      AppendCatalogRun(volume, first, array, &count);
      if (noting) {
        if (inRoot) {
          rootPlain = rootPlain && plain;
        } else if (plain) {
          kept->subFoldersKnown = true;
        }
      }
      if (!inRoot) break;
    }
  } catch (const std::bad_alloc&) {
    // Without memory for the memo the listing is not to be trusted to have
    // finished; it lists nothing, and the memo starts again.
    ReleaseFatListingMemo(volume);  // frees the buffer too when the memo held it
    if (!memo) HeapFree(GetProcessHeap(), 0, buffer);
    volume->catalogCount = 0;
    return 0;
  }
  if (!memo) HeapFree(GetProcessHeap(), 0, buffer);
  return count;
}

void ReleaseFatListingMemo(Volume* volume) {
  delete volume->fatListingMemo;
  volume->fatListingMemo = nullptr;
}

uint32_t ReadFatEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  if (static_cast<int32_t>(entry->size) <= 0) return 0;
  FatListingMemo* memo = MemoFor(volume, false);
  FatGeometry g;
  if (!GeometryOf(volume, memo, &g)) return 0;
  // Never more than the buffer EntryDataBufferBytes asked for: a multiple of
  // the cluster size, so the last whole cluster read still fits.
  const uint64_t room = FatEntryDataBytes(volume, entry);
  const uint32_t limit = room < entry->size ? static_cast<uint32_t>(room) : entry->size;
  return ReadChain(volume, &g, memo, FirstCluster(entry), limit, buffer);
}

uint64_t FatEntryDataBytes(Volume* volume, const DirEntry* entry) {
  // Sizes of 2 GB and more read nothing (as ReadFatEntryData does).
  if (static_cast<int32_t>(entry->size) <= 0) return 0;
  FatGeometry g;
  if (!GeometryOf(volume, MemoFor(volume, false), &g)) return 0;
  uint64_t bytes = (static_cast<uint64_t>(entry->size) + g.clusterBytes - 1) / g.clusterBytes * g.clusterBytes;
  // A chain passes each cluster once, and no more of them than the medium holds.
  const uint64_t clusters = g.lastCluster >= 2 ? static_cast<uint64_t>(g.lastCluster - 1) * g.clusterBytes : 0;
  const uint64_t medium = MediumBytes(volume);
  const uint64_t mediumClusters =
      medium == UINT64_MAX ? medium : (medium + g.clusterBytes - 1) / g.clusterBytes * g.clusterBytes;
  if (bytes > clusters) bytes = clusters;
  if (bytes > mediumClusters) bytes = mediumClusters;
  return bytes;
}
