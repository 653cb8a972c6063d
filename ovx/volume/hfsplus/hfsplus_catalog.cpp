#include "hfsplus_catalog.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "byte_order.h"
#include "compact_catalog.h"
#include "entry_append.h"
#include "heap_array.h"
#include "hfs_btree.h"
#include "hfs_fork.h"
#include "hfsplus_names.h"
#include "hfsplus_volume.h"
#include "mac_time.h"

namespace {

enum {
  kRootFolderId = 2,
  // Catalog records, after their key: the record type, then the record.
  kFolderRecord = 1,
  kFileRecord = 2,
  kFolderRecordBytes = 88,
  kFileRecordBytes = 248,
  kIdOffset = 8,
  kContentModDateOffset = 16,
  kOwnerFlagsOffset = 41,
  kSpecialOffset = 44,  // a hard link's reference number
  kFinderInfoOffset = 48,
  kDataForkOffset = 88,
  kResourceForkOffset = 168,
  kForkExtentsOffset = 16,
  // The shortest record that makes an entry: key length, parent id, name
  // length and one character (10 bytes), and a folder record.
  kMinEntryRecordBytes = 10 + kFolderRecordBytes,
  kCompressedFlag = 0x20,  // UF_COMPRESSED, among the owner's flags
};

// What a kept record stands for.
enum EntryKind : uint8_t {
  KindFolder,
  KindFile,
  KindFileLink,    // a hard link to a file, until its target is found
  KindFolderLink,  // a hard link to a folder (Time Machine), until its target is found
  KindHidden,      // a private folder of hard-link targets
};

// A DirEntry's location: where the file's record lies (node, record), then
// whether its data is compressed, and then, for a compressed file whose
// attribute gave its length, that length in 56 bits, which its record does
// not hold.
enum {
  kLocationFlags = 6,
  kLocationCompressed = 1,
  kLocationLengthKnown = 2,
  kLocationLength = 7,
  kLocationLengthBytes = 7,
};

struct PlusEntry {
  uint64_t dataLength;
  uint64_t resourceLength;
  uint32_t parentId;
  uint32_t nodeId;       // a hard link's: its target's
  uint32_t modified;     // Macintosh seconds, UTC
  uint32_t recordNode;   // the catalog node of the file's record (a hard link's: its target's)
  uint32_t linkNumber;   // a hard link's reference number
  uint16_t recordIndex;  // the record's place in that node
  uint8_t kind;
  uint8_t compressed;  // kLocationCompressed, and kLocationLengthKnown once the attribute gave the length
  uint8_t macType[4];
  uint8_t macCreator[4];
  uint16_t nameLength;
  char name[MAX_PATH];  // only nameLength bytes are stored
};

size_t StoredBytes(const PlusEntry& entry) { return (offsetof(PlusEntry, name) + entry.nameLength + 7) & ~size_t{7}; }

PlusEntry& EntryAt(HfsCatalog* catalog, uint64_t indexed) {
  return *reinterpret_cast<PlusEntry*>(catalog->records + static_cast<uint32_t>(indexed));
}

const PlusEntry& EntryAt(const HfsCatalog* catalog, uint64_t indexed) {
  return *reinterpret_cast<const PlusEntry*>(HfsCatalogRecord(catalog, indexed));
}

uint32_t Saturated(uint64_t value) { return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value); }

// Both forks' lengths together; a damaged record's may add up past 64 bits.
uint64_t ForksLength(uint64_t data, uint64_t resource) { return data > UINT64_MAX - resource ? UINT64_MAX : data + resource; }

// The private folders in the root folder whose names begin with NUL
// characters or end in a carriage return, so that no one names them.
const char16_t kFileLinkFolder[] = u"\0\0\0\0HFS+ Private Data";
const char16_t kFolderLinkFolder[] = u".HFS+ Private Directory Data\r";

bool NameIs(const uint8_t* units, size_t count, const char16_t* name, size_t nameCount) {
  if (count != nameCount) return false;
  for (size_t i = 0; i < count; ++i) {
    if (ReadBE16(units + 2 * i) != name[i]) return false;
  }
  return true;
}

}  // namespace

// What listings and reads keep of an HFS+ volume besides its catalog: the
// catalog file's extents and tree, so that a file's record is read again
// from where its entry says it lies.
struct HfsPlusState {
  HfsVolumeInfo info;
  HfsFork catalogFork;
  HfsBTree catalogTree;
  uint8_t* node;  // one node of the tree
  bool open;
};

namespace {

HfsPlusState* StateOf(Volume* volume) {
  if (volume->hfsPlus && volume->hfsPlus->open) return volume->hfsPlus;
  if (!volume->hfsPlus) {
    volume->hfsPlus = static_cast<HfsPlusState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(HfsPlusState)));
    if (!volume->hfsPlus) return nullptr;
  }
  HfsPlusState* state = volume->hfsPlus;
  if (!ReadHfsPlusVolumeInfo(volume, &state->info)) return nullptr;
  const uint64_t blocks = (state->info.catalogFile.bytes + state->info.blockBytes - 1) / state->info.blockBytes;
  if (!LoadHfsFork(volume, &state->info, kHfsCatalogFileId, kHfsDataFork, state->info.catalogFile.firstRecord, blocks,
                   &state->catalogFork) ||
      !OpenHfsBTree(volume, &state->info, &state->catalogFork, &state->catalogTree)) {
    ReleaseHfsFork(&state->catalogFork);
    return nullptr;
  }
  state->node = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, state->catalogTree.nodeBytes));
  if (!state->node) {
    CloseHfsBTree(&state->catalogTree);
    ReleaseHfsFork(&state->catalogFork);
    return nullptr;
  }
  state->open = true;
  return state;
}

void CloseState(Volume* volume) {
  HfsPlusState* state = volume->hfsPlus;
  if (!state || !state->open) return;
  CloseHfsBTree(&state->catalogTree);
  ReleaseHfsFork(&state->catalogFork);
  HeapFree(GetProcessHeap(), 0, state->node);
  memset(state, 0, sizeof *state);
}

// A catalog leaf record's key: its parent and name, and where its data begins.
struct CatalogKey {
  uint32_t parentId;
  const uint8_t* name;  // big-endian UTF-16
  size_t nameUnits;
  unsigned dataOffset;
};

bool ParseKey(const uint8_t* record, unsigned length, CatalogKey* key) {
  if (length < 8) return false;
  const unsigned keyLength = ReadBE16(record);
  key->nameUnits = ReadBE16(record + 6);
  key->parentId = ReadBE32(record + 2);
  key->name = record + 8;
  key->dataOffset = 2 + keyLength;
  return keyLength >= 6 && key->nameUnits <= kMaxHfsPlusNameUnits && 6 + 2 * key->nameUnits <= keyLength &&
         key->dataOffset + 2 <= length;
}

struct CatalogSweep {
  Volume* volume;
  HfsCatalog* catalog;
  uint64_t maxRecords;
  uint32_t fileLinkFolder;    // the folder ids of the private folders; 0 when there is none
  uint32_t folderLinkFolder;
  bool linked;                // some hard link waits for its target
  bool compressed;            // some file's data Mac OS X stored compressed
  PlusEntry entry;
};

void AddCatalogRecord(void* context, const HfsLeafRecord& leaf) {
  CatalogSweep* sweep = static_cast<CatalogSweep*>(context);
  // However its nodes are damaged, a catalog holds no more records than the
  // medium has room for.
  if (static_cast<uint64_t>(sweep->catalog->count) >= sweep->maxRecords) return;
  CatalogKey key;
  if (!ParseKey(leaf.record, leaf.length, &key)) return;
  const uint8_t* data = leaf.record + key.dataOffset;
  const unsigned dataLength = leaf.length - key.dataOffset;
  const uint16_t type = ReadBE16(data);
  PlusEntry& entry = sweep->entry;
  memset(&entry, 0, offsetof(PlusEntry, name));
  entry.parentId = key.parentId;
  entry.recordNode = leaf.node;
  entry.recordIndex = static_cast<uint16_t>(leaf.index);
  if (type == kFolderRecord && dataLength >= kFolderRecordBytes) {
    entry.kind = KindFolder;
    entry.nodeId = ReadBE32(data + kIdOffset);
    entry.modified = ReadBE32(data + kContentModDateOffset);
    if (key.parentId == kRootFolderId) {
      const size_t fileLinks = sizeof kFileLinkFolder / sizeof *kFileLinkFolder - 1;
      const size_t folderLinks = sizeof kFolderLinkFolder / sizeof *kFolderLinkFolder - 1;
      if (NameIs(key.name, key.nameUnits, kFileLinkFolder, fileLinks)) {
        entry.kind = KindHidden;
        sweep->fileLinkFolder = entry.nodeId;
      } else if (NameIs(key.name, key.nameUnits, kFolderLinkFolder, folderLinks)) {
        entry.kind = KindHidden;
        sweep->folderLinkFolder = entry.nodeId;
      }
    }
  } else if (type == kFileRecord && dataLength >= kFileRecordBytes) {
    entry.kind = KindFile;
    entry.nodeId = ReadBE32(data + kIdOffset);
    entry.modified = ReadBE32(data + kContentModDateOffset);
    entry.compressed = (data[kOwnerFlagsOffset] & kCompressedFlag) ? kLocationCompressed : 0;
    sweep->compressed = sweep->compressed || entry.compressed;
    memcpy(entry.macType, data + kFinderInfoOffset, 4);
    memcpy(entry.macCreator, data + kFinderInfoOffset + 4, 4);
    entry.dataLength = ReadBE64(data + kDataForkOffset);
    entry.resourceLength = ReadBE64(data + kResourceForkOffset);
    if (memcmp(entry.macType, "hlnk", 4) == 0 && memcmp(entry.macCreator, "hfs+", 4) == 0) {
      entry.kind = KindFileLink;
    } else if (memcmp(entry.macType, "fdrp", 4) == 0 && memcmp(entry.macCreator, "MACS", 4) == 0) {
      entry.kind = KindFolderLink;
    }
    if (entry.kind != KindFile) {
      entry.linkNumber = ReadBE32(data + kSpecialOffset);
      sweep->linked = true;
    }
  } else {
    return;  // a thread record, or one too short for its kind
  }
  entry.nameLength = static_cast<uint16_t>(
      ConvertHfsPlusName(key.name, key.nameUnits, sweep->volume->utf8Names != 0, entry.nodeId, entry.name));
  if (entry.nameLength == 0) return;
  AddHfsCatalogRecord(sweep->catalog, &entry, StoredBytes(entry), entry.parentId);
}

// Puts the records in the order of the leaf chain, the tree's key order,
// where the sweep's node order differs from it: nodes are split and linked
// anew as a volume fills, so on a used volume a folder's records lie in
// nodes all over the catalog file. Leaves the chain does not reach follow in
// node order.
void OrderByLeafChain(HfsCatalog* catalog, const HfsBTree* tree, const uint32_t* links) {
  std::vector<uint32_t> rank(tree->nodeCount, UINT32_MAX);
  uint32_t next = 0;
  for (uint32_t node = tree->firstLeaf; node < tree->nodeCount && links[node] != UINT32_MAX && rank[node] == UINT32_MAX;
       node = links[node]) {
    rank[node] = next++;
  }
  for (uint32_t node = 0; node < tree->nodeCount; ++node) {
    if (links[node] != UINT32_MAX && rank[node] == UINT32_MAX) rank[node] = next++;
  }
  // The records of one node lie together; each such run moves whole.
  struct Run {
    uint32_t rank;
    size_t start, end;
  };
  std::vector<Run> runs;
  bool ordered = true;
  for (size_t at = 0; at < catalog->bytes;) {
    const PlusEntry& entry = *reinterpret_cast<const PlusEntry*>(catalog->records + at);
    if (runs.empty() || rank[entry.recordNode] != runs.back().rank) {
      ordered = ordered && (runs.empty() || rank[entry.recordNode] > runs.back().rank);
      runs.push_back(Run{rank[entry.recordNode], at, at});
    }
    at += StoredBytes(entry);
    runs.back().end = at;
  }
  if (ordered) return;
  uint8_t* records = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, catalog->bytes));
  if (!records) return;
  std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.rank < b.rank; });
  size_t to = 0;
  for (const Run& run : runs) {
    memcpy(records + to, catalog->records + run.start, run.end - run.start);
    to += run.end - run.start;
  }
  HeapFree(GetProcessHeap(), 0, catalog->records);
  catalog->records = records;
  int32_t i = 0;
  for (size_t at = 0; at < catalog->bytes; ++i) {
    const PlusEntry& entry = *reinterpret_cast<const PlusEntry*>(records + at);
    catalog->index[i] = static_cast<uint64_t>(entry.parentId) << 32 | at;
    at += StoredBytes(entry);
  }
}

// The targets of the hard links in one private folder, by the number their
// names carry ("iNode123", "dir_123").
std::vector<std::pair<uint32_t, uint64_t>> LinkTargets(const HfsCatalog* catalog, uint32_t folderId, const char* prefix) {
  std::vector<std::pair<uint32_t, uint64_t>> targets;
  const size_t prefixLength = strlen(prefix);
  const uint64_t *child, *last;
  for (HfsChildRange(catalog, folderId, &child, &last); folderId != 0 && child != last; ++child) {
    const PlusEntry& entry = EntryAt(catalog, *child);
    if (entry.nameLength <= prefixLength || entry.nameLength > prefixLength + 10 ||
        memcmp(entry.name, prefix, prefixLength) != 0) {
      continue;
    }
    uint64_t number = 0;
    size_t i = prefixLength;
    while (i < entry.nameLength && entry.name[i] >= '0' && entry.name[i] <= '9') number = number * 10 + (entry.name[i++] - '0');
    if (i == entry.nameLength && number <= UINT32_MAX) targets.emplace_back(static_cast<uint32_t>(number), *child);
  }
  std::sort(targets.begin(), targets.end());
  return targets;
}

// Makes each hard link stand for its target: the target's id, forks, dates,
// type and creator under the link's own name and folder. A link whose target
// is missing stays the small file it is.
void ResolveLinks(HfsCatalog* catalog, uint32_t fileLinkFolder, uint32_t folderLinkFolder) {
  const auto files = LinkTargets(catalog, fileLinkFolder, "iNode");
  const auto folders = LinkTargets(catalog, folderLinkFolder, "dir_");
  for (int32_t i = 0; i < catalog->count; ++i) {
    PlusEntry& link = EntryAt(catalog, catalog->index[i]);
    if (link.kind != KindFileLink && link.kind != KindFolderLink) continue;
    const auto& targets = link.kind == KindFileLink ? files : folders;
    const auto found = std::lower_bound(targets.begin(), targets.end(), std::make_pair(link.linkNumber, uint64_t{0}));
    const EntryKind wanted = link.kind == KindFileLink ? KindFile : KindFolder;
    link.kind = KindFile;
    if (found == targets.end() || found->first != link.linkNumber) continue;
    const PlusEntry& target = EntryAt(catalog, found->second);
    if (target.kind != wanted) continue;
    const uint32_t parentId = link.parentId;
    memcpy(&link, &target, offsetof(PlusEntry, nameLength));
    link.parentId = parentId;
  }
}

// The lengths Mac OS X gave the files it stored compressed, by file id: the
// header of each one's "com.apple.decmpfs" attribute holds it.
struct CompressedLengths {
  std::vector<std::pair<uint32_t, uint64_t>> lengths;
  uint64_t maxRecords;
};

const char16_t kCompressionAttribute[] = u"com.apple.decmpfs";

void AddCompressedLength(void* context, const HfsLeafRecord& leaf) {
  enum { kNameOffset = 14, kInlineData = 0x10, kDataHeaderBytes = 16, kHeaderBytes = 16 };
  CompressedLengths* found = static_cast<CompressedLengths*>(context);
  // Key: its length, a pad, the file id, a start block, the name's length and the name.
  if (leaf.length < kNameOffset || found->lengths.size() >= found->maxRecords) return;
  const uint8_t* record = leaf.record;
  const unsigned dataOffset = 2u + ReadBE16(record);
  const size_t nameUnits = ReadBE16(record + 12);
  const size_t attributeUnits = sizeof kCompressionAttribute / sizeof *kCompressionAttribute - 1;
  if (kNameOffset + 2 * nameUnits > dataOffset || dataOffset + kDataHeaderBytes + kHeaderBytes > leaf.length ||
      !NameIs(record + kNameOffset, nameUnits, kCompressionAttribute, attributeUnits)) {
    return;
  }
  // Inline data: its type, 8 reserved bytes, its size, then the decmpfs
  // header (little-endian: "cmpf", the kind of compression, the length).
  const uint8_t* data = record + dataOffset;
  const uint8_t* header = data + kDataHeaderBytes;
  if (ReadBE32(data) != kInlineData || ReadBE32(data + 12) < kHeaderBytes || memcmp(header, "fpmc", 4) != 0) return;
  const uint64_t length = ReadLE32(header + 8) | static_cast<uint64_t>(ReadLE32(header + 12)) << 32;
  found->lengths.emplace_back(ReadBE32(record + 4), length);
}

// Lists a compressed file with the length of its data as Mac OS X shows it,
// rather than the lengths of the forks that hold it compressed.
void ApplyCompressedLengths(Volume* volume, HfsPlusState* state, HfsCatalog* catalog) {
  const HfsVolumeInfo& info = state->info;
  CompressedLengths found = {{}, MediumBytes(volume) / 64};
  HfsFork fork;
  HfsBTree tree;
  const uint64_t blocks = (info.attributesFile.bytes + info.blockBytes - 1) / info.blockBytes;
  if (LoadHfsFork(volume, &info, kHfsPlusAttributesFileId, kHfsDataFork, info.attributesFile.firstRecord, blocks,
                  &fork) &&
      OpenHfsBTree(volume, &info, &fork, &tree)) {
    SweepHfsLeaves(&tree, AddCompressedLength, &found);
    CloseHfsBTree(&tree);
  }
  ReleaseHfsFork(&fork);
  std::sort(found.lengths.begin(), found.lengths.end());
  for (int32_t i = 0; i < catalog->count; ++i) {
    PlusEntry& entry = EntryAt(catalog, catalog->index[i]);
    if (!entry.compressed || entry.kind == KindFolder || entry.kind == KindHidden) continue;
    const auto at = std::lower_bound(found.lengths.begin(), found.lengths.end(), std::make_pair(entry.nodeId, uint64_t{0}));
    if (at == found.lengths.end() || at->first != entry.nodeId) continue;
    entry.dataLength = at->second;
    entry.resourceLength = 0;
    entry.compressed |= kLocationLengthKnown;
  }
}

int ReadCatalog(Volume* volume) {
  CloseState(volume);
  HfsCatalog* catalog = NewHfsCatalog(volume);
  HfsPlusState* state = catalog ? StateOf(volume) : nullptr;
  if (!state) return 0;
  HfsBTree& tree = state->catalogTree;
  std::vector<uint32_t> links(tree.nodeCount, UINT32_MAX);
  tree.leafLinks = links.data();
  CatalogSweep* sweep = static_cast<CatalogSweep*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CatalogSweep)));
  if (!sweep) return 0;
  sweep->volume = volume;
  sweep->catalog = catalog;
  sweep->maxRecords = MediumBytes(volume) / kMinEntryRecordBytes;
  SweepHfsLeaves(&tree, AddCatalogRecord, sweep);
  tree.leafLinks = nullptr;
  OrderByLeafChain(catalog, &tree, links.data());
  SortHfsCatalogIndex(catalog);
  if (sweep->compressed) ApplyCompressedLengths(volume, state, catalog);
  if (sweep->linked) ResolveLinks(catalog, sweep->fileLinkFolder, sweep->folderLinkFolder);
  HeapFree(GetProcessHeap(), 0, sweep);
  ResetHfsWalk(volume);
  return 1;
}

bool IsListed(const PlusEntry& entry) { return entry.kind != KindHidden; }

bool IsFolder(const PlusEntry& entry) { return entry.kind == KindFolder; }

void MakeDirEntry(const PlusEntry& kept, DirEntry* entry) {
  memset(entry, 0, sizeof *entry);
  memcpy(entry->name, kept.name, kept.nameLength);
  entry->parentId = kept.parentId;
  entry->nodeId = kept.nodeId;
  // A date never set stays none, as on Windows' own volumes.
  if (kept.modified != 0) entry->modified = MacUtcDateToLocalFileTime(kept.modified);
  if (kept.kind == KindFolder) {
    entry->attributes = kDirEntryFolder;
    return;
  }
  memcpy(entry->macType, kept.macType, 4);
  memcpy(entry->macCreator, kept.macCreator, 4);
  // Lengths past 4 GB stand at UINT32_MAX; HfsPlusEntrySizes reads them whole.
  entry->dataSize = Saturated(kept.dataLength);
  entry->size = Saturated(ForksLength(kept.dataLength, kept.resourceLength));
  entry->location[0] = static_cast<uint8_t>(kept.recordNode >> 24);
  entry->location[1] = static_cast<uint8_t>(kept.recordNode >> 16);
  entry->location[2] = static_cast<uint8_t>(kept.recordNode >> 8);
  entry->location[3] = static_cast<uint8_t>(kept.recordNode);
  entry->location[4] = static_cast<uint8_t>(kept.recordIndex >> 8);
  entry->location[5] = static_cast<uint8_t>(kept.recordIndex);
  entry->location[kLocationFlags] = kept.compressed;
  for (int i = 0; (kept.compressed & kLocationLengthKnown) && i < kLocationLengthBytes; ++i) {
    entry->location[kLocationLength + i] = static_cast<uint8_t>(kept.dataLength >> (8 * (kLocationLengthBytes - 1 - i)));
  }
}

// The fork ReadEntryData reads: the data fork, or the resource fork when the data fork is empty.
MacFork EntryFork(const MacFileInfo& info) { return info.forkLength[MacDataFork] != 0 ? MacDataFork : MacResourceFork; }

}  // namespace

int ListHfsPlusDirectory(Volume* volume, const char* path, DirEntry** array) {
  if (path[0] == '\0' && !ReadCatalog(volume)) return kListingAbandoned;
  if (!WalkHfsPath(volume, path, FindCatalogFolder<PlusEntry, IsFolder>)) return kListingAbandoned;
  const uint64_t *first, *last;
  HfsChildRange(volume->hfsCatalog, volume->currentDirId, &first, &last);
  int count = 0;
  for (const uint64_t* child = first; child != last; ++child) count += IsListed(EntryAt(volume->hfsCatalog, *child));
  void* block = array ? *array : nullptr;
  const bool listed = array && count > 0 && ReserveHeapArray(&block, sizeof(DirEntry), static_cast<size_t>(count));
  if (listed) *array = static_cast<DirEntry*>(block);
  // The volume's catalog holds the folder last listed, unless only the
  // compact catalog is wanted.
  const bool kept = !volume->compactCatalog && count > 0 && CatalogRoom(volume, count);
  volume->catalogCount = kept ? count : 0;
  DirEntry* entry = listed ? *array : kept ? volume->catalog : nullptr;
  if (!entry) return 0;
  for (const uint64_t* child = first; child != last; ++child) {
    const PlusEntry& record = EntryAt(volume->hfsCatalog, *child);
    if (IsListed(record)) MakeDirEntry(record, entry++);
  }
  if (listed && kept) memcpy(volume->catalog, *array, static_cast<size_t>(count) * sizeof(DirEntry));
  return listed ? count : 0;
}

int EnterHfsPlusFolder(Volume* volume, const char* path, const DirEntry* folder) {
  // Only a folder of the folder last listed.
  return folder->parentId == volume->currentDirId && EnterHfsFolder(volume, path, folder->nodeId);
}

void ReleaseHfsPlusState(Volume* volume) {
  CloseState(volume);
  if (volume->hfsPlus) HeapFree(GetProcessHeap(), 0, volume->hfsPlus);
  volume->hfsPlus = nullptr;
}

int FindHfsPlusFile(Volume* volume, const DirEntry* entry, MacFileInfo* info) {
  HfsPlusState* state = StateOf(volume);
  if (!state || !ReadHfsNode(&state->catalogTree, ReadBE32(entry->location), state->node)) return 0;
  const uint8_t* record;
  unsigned length;
  CatalogKey key;
  if (!GetNodeRecord(state->node, state->catalogTree.nodeBytes, ReadBE16(entry->location + 4), &record, &length) ||
      !ParseKey(record, length, &key) || length - key.dataOffset < kFileRecordBytes) {
    return 0;
  }
  const uint8_t* data = record + key.dataOffset;
  // The node may have changed since the listing, or the entry be another's.
  if (ReadBE16(data) != kFileRecord || ReadBE32(data + kIdOffset) != entry->nodeId) return 0;
  memset(info, 0, sizeof *info);
  info->format = FormatHfsPlus;
  info->fileId = entry->nodeId;
  memcpy(info->finderInfo, data + kFinderInfoOffset, sizeof info->finderInfo);
  info->compressed = (data[kOwnerFlagsOffset] & kCompressedFlag) != 0;
  const unsigned forks[2] = {kDataForkOffset, kResourceForkOffset};
  for (int fork = MacDataFork; fork <= MacResourceFork; ++fork) {
    info->forkLength[fork] = ReadBE64(data + forks[fork]);
    memcpy(info->forkStart[fork], data + forks[fork] + kForkExtentsOffset, kHfsPlusExtentRecordBytes);
  }
  return 1;
}

uint64_t HfsPlusForkBufferBytes(Volume* volume, const MacFileInfo* info, MacFork fork) {
  HfsPlusState* state = StateOf(volume);
  if (!state || info->compressed) return 0;
  return WholeBlocksWithinMedium(volume, info->forkLength[fork], state->info.blockBytes);
}

int OpenHfsPlusForkReader(Volume* volume, const MacFileInfo* info, MacFork fork, MacForkReader* reader) {
  memset(reader, 0, sizeof *reader);
  HfsPlusState* state = StateOf(volume);
  if (!state || info->compressed) return 0;
  reader->volume = volume;
  reader->info = state->info;
  reader->length = info->forkLength[fork];
  // No more blocks than the medium holds, however long the fork says it is.
  const uint64_t bytes = WholeBlocksWithinMedium(volume, reader->length, state->info.blockBytes);
  return LoadHfsFork(volume, &reader->info, info->fileId, fork == MacDataFork ? kHfsDataFork : kHfsResourceFork,
                     info->forkStart[fork], bytes / state->info.blockBytes, &reader->fork);
}

uint32_t ReadHfsPlusFork(Volume* volume, const MacFileInfo* info, MacFork fork, uint8_t* buffer) {
  MacForkReader reader;
  uint64_t total = 0;
  if (OpenHfsPlusForkReader(volume, info, fork, &reader)) {
    // Whole allocation blocks, as the other Macintosh readers deliver them.
    const uint64_t bytes = WholeBlocksWithinMedium(volume, reader.length, reader.info.blockBytes);
    total = ReadHfsForkSectors(volume, &reader.info, &reader.fork, 0, bytes, buffer);
  }
  CloseMacForkReader(&reader);
  return Saturated(total);
}

uint32_t ReadHfsPlusEntryData(Volume* volume, uint8_t* buffer, const DirEntry* entry) {
  MacFileInfo info;
  if (!FindHfsPlusFile(volume, entry, &info)) return 0;
  return ReadHfsPlusFork(volume, &info, EntryFork(info), buffer);
}

uint64_t HfsPlusEntryDataBytes(Volume* volume, const DirEntry* entry) {
  MacFileInfo info;
  if (!FindHfsPlusFile(volume, entry, &info)) return 0;
  return HfsPlusForkBufferBytes(volume, &info, EntryFork(info));
}

void HfsPlusEntrySizes(Volume* volume, const DirEntry* entry, uint64_t* size, uint64_t* dataSize) {
  *size = entry->size;
  *dataSize = entry->dataSize;
  if (entry->size != UINT32_MAX && entry->dataSize != UINT32_MAX) return;
  if (entry->location[kLocationFlags] & kLocationLengthKnown) {
    uint64_t length = 0;
    for (int i = 0; i < kLocationLengthBytes; ++i) length = length << 8 | entry->location[kLocationLength + i];
    *size = *dataSize = length;
    return;
  }
  MacFileInfo info;
  if (FindHfsPlusFile(volume, entry, &info)) {
    *dataSize = info.forkLength[MacDataFork];
    *size = ForksLength(info.forkLength[MacDataFork], info.forkLength[MacResourceFork]);
  }
}

int HfsPlusEntryReadable(Volume*, const DirEntry* entry) {
  return (entry->attributes & kDirEntryFolder) || !(entry->location[kLocationFlags] & kLocationCompressed);
}
