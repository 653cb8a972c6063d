#include "hfs_btree.h"

#include <cstring>

#include "byte_order.h"
#include "sector_transfer.h"
#include "volume.h"

namespace {

enum {
  kDescriptorBytes = 14,
  kForwardLinkOffset = 0,
  kKindOffset = 8,
  kRecordCountOffset = 10,
  kRootNodeOffset = 16,   // in the header node: the root node
  kNodeCountOffset = 36,  // in the header node: total nodes of the file
  kIndexNode = 0x00,
  kMaxLevels = 16,        // trees are at most 8 levels deep; a longer way down is damage
  kHeaderMapRecord = 2,   // the header node's third record is the first part of the node map
  kRunNodes = 64,         // nodes read in one transfer while sweeping
};

// No catalog comes near this many 512-byte nodes (8 GB); a larger count
// read from a disk is nonsense and must not drive a walk.
const uint32_t kMaxNodes = 1u << 24;

int16_t RecordCount(const uint8_t* node) { return static_cast<int16_t>(ReadBE16(node + kRecordCountOffset)); }

int ReadNode(const HfsBTree* tree, uint32_t node, uint8_t* out) {
  int32_t sector;
  uint32_t run;
  if (!MapHfsFork(tree->info, tree->fork, static_cast<uint64_t>(node) * kHfsNodeBytes, &sector, &run)) return 0;
  return ReadSectors(tree->volume, sector, 1, out);
}

int IsNodeInUse(const HfsBTree* tree, uint32_t node) {
  if (node >= tree->mapBits) return 1;
  return (tree->nodeMap[node / 8] >> (7 - node % 8)) & 1;
}

// Appends one map record's bits. Returns 0 once the map covers every node.
int AddMapBits(HfsBTree* tree, const uint8_t* record, unsigned length) {
  for (unsigned i = 0; i < length && tree->mapBits < tree->nodeCount; ++i) {
    for (int bit = 7; bit >= 0 && tree->mapBits < tree->nodeCount; --bit, ++tree->mapBits) {
      if ((record[i] >> bit) & 1) tree->nodeMap[tree->mapBits / 8] |= static_cast<uint8_t>(0x80 >> (tree->mapBits % 8));
    }
  }
  return tree->mapBits < tree->nodeCount;
}

// The node map: the header node's map record, continued by map nodes linked
// forward from the header node. A map that breaks off leaves the rest of the
// nodes counted as in use.
void ReadNodeMap(HfsBTree* tree, const uint8_t* header) {
  tree->nodeMap = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, tree->nodeCount / 8 + 1));
  if (!tree->nodeMap) return;
  const uint8_t* record;
  unsigned length;
  if (!GetNodeRecord(header, kHeaderMapRecord, &record, &length) || !AddMapBits(tree, record, length)) return;
  // Every map node adds at least 8 bits, so the links are followed at most
  // nodeCount / 8 + 1 times, however they loop.
  uint32_t next = ReadBE32(header + kForwardLinkOffset);
  uint8_t node[kHfsNodeBytes];
  for (uint32_t steps = 0; next != 0 && next < tree->nodeCount && steps <= tree->nodeCount / 8; ++steps) {
    if (!ReadNode(tree, next, node) || node[kKindOffset] != kHfsMapNode) return;
    if (!GetNodeRecord(node, 0, &record, &length) || !AddMapBits(tree, record, length)) return;
    next = ReadBE32(node + kForwardLinkOffset);
  }
}

// Records are visited only in the order of their offsets, each beginning
// past the one before: offsets that repeat or point back at earlier records
// would let one node's bytes yield many more records than it holds.
void VisitLeaf(const uint8_t* node, HfsRecordVisitor visit, void* context) {
  if (node[kKindOffset] != kHfsLeafNode) return;
  const int16_t count = RecordCount(node);
  const uint8_t* last = nullptr;
  for (int r = 0; r < count; ++r) {
    const uint8_t* record;
    unsigned length;
    if (!GetNodeRecord(node, r, &record, &length) || (last && record <= last)) continue;
    visit(context, record, length);
    last = record;
  }
}

}  // namespace

int GetNodeRecord(const uint8_t* node, int index, const uint8_t** record, unsigned* length) {
  *record = nullptr;
  *length = 0;
  const int count = RecordCount(node);
  // The offset table holds count + 1 entries, the last one where free space begins.
  const int tableStart = kHfsNodeBytes - 2 * (count + 1);
  if (index < 0 || index >= count || tableStart < kDescriptorBytes) return 0;
  const unsigned start = ReadBE16(node + kHfsNodeBytes - 2 - 2 * index);
  if (start < kDescriptorBytes || start >= static_cast<unsigned>(tableStart)) return 0;
  // A record ends where the next begins; when that offset is damaged, at the
  // offset table, so that one bad offset costs only its own record.
  unsigned end = ReadBE16(node + kHfsNodeBytes - 4 - 2 * index);
  if (end <= start || end > static_cast<unsigned>(tableStart)) end = static_cast<unsigned>(tableStart);
  *record = node + start;
  *length = end - start;
  return 1;
}

int OpenHfsBTree(Volume* volume, const HfsVolumeInfo* info, const HfsFork* fork, HfsBTree* tree) {
  memset(tree, 0, sizeof *tree);
  tree->volume = volume;
  tree->info = info;
  tree->fork = fork;
  uint8_t header[kHfsNodeBytes];
  if (!ReadNode(tree, 0, header)) return 0;
  uint64_t nodes = ReadBE32(header + kNodeCountOffset);
  const uint64_t forkNodes = fork->blocks * info->blockBytes / kHfsNodeBytes;
  if (nodes > forkNodes) nodes = forkNodes;
  if (volume->sizeKB > 0 && nodes > static_cast<uint64_t>(volume->sizeKB) * 2) nodes = static_cast<uint64_t>(volume->sizeKB) * 2;
  if (nodes > kMaxNodes) nodes = kMaxNodes;
  tree->nodeCount = static_cast<uint32_t>(nodes);
  tree->rootNode = ReadBE32(header + kRootNodeOffset);
  ReadNodeMap(tree, header);
  return 1;
}

int FindHfsRecord(const HfsBTree* tree, HfsKeyOrder order, const void* key, uint8_t* node, const uint8_t** record,
                  unsigned* length) {
  uint32_t next = tree->rootNode;
  for (int level = 0; level < kMaxLevels; ++level) {
    // Node 0 is the header node, never part of the way down.
    if (next == 0 || next >= tree->nodeCount || !ReadNode(tree, next, node)) return 0;
    const int16_t count = RecordCount(node);
    if (node[kKindOffset] == kHfsLeafNode) {
      for (int r = 0; r < count; ++r) {
        if (GetNodeRecord(node, r, record, length) && order(key, *record, *length) == 0) return 1;
      }
      return 0;
    }
    if (node[kKindOffset] != kIndexNode) return 0;
    // The last index record whose key is not above the sought one leads to
    // its leaf; the child's node number follows the key, on an even offset.
    next = 0;
    for (int r = 0; r < count; ++r) {
      const uint8_t* index;
      unsigned indexLength;
      if (!GetNodeRecord(node, r, &index, &indexLength)) continue;
      if (order(key, index, indexLength) < 0) break;
      const unsigned pointer = (1u + index[0] + 1u) & ~1u;
      if (pointer + 4 <= indexLength) next = ReadBE32(index + pointer);
    }
  }
  return 0;
}

void CloseHfsBTree(HfsBTree* tree) {
  if (tree->nodeMap) HeapFree(GetProcessHeap(), 0, tree->nodeMap);
  memset(tree, 0, sizeof *tree);
}

void SweepHfsLeaves(const HfsBTree* tree, HfsRecordVisitor visit, void* context) {
  static_assert(static_cast<int>(kHfsNodeBytes) == static_cast<int>(kSectorBytes), "a node is one sector");
  uint8_t run[kRunNodes * kHfsNodeBytes];
  uint32_t k = 0;
  while (k < tree->nodeCount) {
    if (!IsNodeInUse(tree, k)) {
      ++k;
      continue;
    }
    int32_t sector;
    uint32_t runSectors;
    if (!MapHfsFork(tree->info, tree->fork, static_cast<uint64_t>(k) * kHfsNodeBytes, &sector, &runSectors)) {
      ++k;
      continue;
    }
    // Consecutive nodes in one extent come in one transfer; when that fails,
    // node by node, so that one bad sector costs only its own node.
    uint32_t n = runSectors;
    if (n > kRunNodes) n = kRunNodes;
    if (n > tree->nodeCount - k) n = tree->nodeCount - k;
    if (static_cast<int64_t>(sector) + n > INT32_MAX) n = 1;
    if (ReadSectors(tree->volume, sector, static_cast<int32_t>(n), run)) {
      for (uint32_t i = 0; i < n; ++i) {
        if (IsNodeInUse(tree, k + i)) VisitLeaf(run + i * kHfsNodeBytes, visit, context);
      }
    } else {
      for (uint32_t i = 0; i < n; ++i) {
        if (IsNodeInUse(tree, k + i) && ReadSectors(tree->volume, sector + static_cast<int32_t>(i), 1, run)) {
          VisitLeaf(run, visit, context);
        }
      }
    }
    k += n;
  }
}
