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
  // In the header node, after the node descriptor: the header record.
  kRootNodeOffset = 16,
  kFirstLeafOffset = 24,
  kNodeSizeOffset = 32,
  kMaxKeyLengthOffset = 34,
  kNodeCountOffset = 36,
  kAttributesOffset = 52,
  kVariableIndexKeys = 4,  // in the attributes
  kIndexNode = 0x00,
  kMaxLevels = 16,         // trees are at most 8 levels deep; a longer way down is damage
  kHeaderMapRecord = 2,    // the header node's third record is the first part of the node map
  kSweepBytes = 64 * 1024, // read in one transfer while sweeping
};

// No tree comes near this many nodes; a larger count read from a disk is
// nonsense and must not drive a walk.
const uint32_t kMaxNodes = 1u << 24;

int16_t RecordCount(const uint8_t* node) { return static_cast<int16_t>(ReadBE16(node + kRecordCountOffset)); }

uint8_t* AllocateNode(const HfsBTree* tree) {
  return static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, tree->nodeBytes));
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
  if (!GetNodeRecord(header, tree->nodeBytes, kHeaderMapRecord, &record, &length) || !AddMapBits(tree, record, length)) {
    return;
  }
  uint8_t* node = AllocateNode(tree);
  if (!node) return;
  // Every map node adds at least 8 bits, so the links are followed at most
  // nodeCount / 8 + 1 times, however they loop.
  uint32_t next = ReadBE32(header + kForwardLinkOffset);
  for (uint32_t steps = 0; next != 0 && next < tree->nodeCount && steps <= tree->nodeCount / 8; ++steps) {
    if (!ReadHfsNode(tree, next, node) || node[kKindOffset] != kHfsMapNode) break;
    if (!GetNodeRecord(node, tree->nodeBytes, 0, &record, &length) || !AddMapBits(tree, record, length)) break;
    next = ReadBE32(node + kForwardLinkOffset);
  }
  HeapFree(GetProcessHeap(), 0, node);
}

// Records are visited only in the order of their offsets, each beginning
// past the one before: offsets that repeat or point back at earlier records
// would let one node's bytes yield many more records than it holds.
void VisitLeaf(const HfsBTree* tree, const uint8_t* node, uint32_t number, HfsRecordVisitor visit, void* context) {
  if (node[kKindOffset] != kHfsLeafNode) return;
  if (tree->leafLinks) tree->leafLinks[number] = ReadBE32(node + kForwardLinkOffset);
  const int16_t count = RecordCount(node);
  const uint8_t* last = nullptr;
  for (int r = 0; r < count; ++r) {
    HfsLeafRecord leaf = {nullptr, 0, number, r};
    if (!GetNodeRecord(node, tree->nodeBytes, r, &leaf.record, &leaf.length) || (last && leaf.record <= last)) continue;
    visit(context, leaf);
    last = leaf.record;
  }
}

bool IsNodeSize(uint32_t bytes) {
  return bytes >= kHfsNodeBytes && bytes <= kHfsMaxNodeBytes && (bytes & (bytes - 1)) == 0;
}

}  // namespace

int GetNodeRecord(const uint8_t* node, uint32_t nodeBytes, int index, const uint8_t** record, unsigned* length) {
  *record = nullptr;
  *length = 0;
  const int count = RecordCount(node);
  // The offset table holds count + 1 entries, the last one where free space begins.
  const int64_t tableStart = static_cast<int64_t>(nodeBytes) - 2 * (count + 1);
  if (index < 0 || index >= count || tableStart < kDescriptorBytes) return 0;
  const unsigned start = ReadBE16(node + nodeBytes - 2 - 2 * index);
  if (start < kDescriptorBytes || start >= tableStart) return 0;
  // A record ends where the next begins; when that offset is damaged, at the
  // offset table, so that one bad offset costs only its own record.
  unsigned end = ReadBE16(node + nodeBytes - 4 - 2 * index);
  if (end <= start || end > tableStart) end = static_cast<unsigned>(tableStart);
  *record = node + start;
  *length = end - start;
  return 1;
}

int ReadHfsNode(const HfsBTree* tree, uint32_t node, uint8_t* out) {
  const uint64_t offset = static_cast<uint64_t>(node) * tree->nodeBytes;
  return ReadHfsForkSectors(tree->volume, tree->info, tree->fork, offset, tree->nodeBytes, out) == tree->nodeBytes;
}

int OpenHfsBTree(Volume* volume, const HfsVolumeInfo* info, const HfsFork* fork, HfsBTree* tree) {
  memset(tree, 0, sizeof *tree);
  tree->volume = volume;
  tree->info = info;
  tree->fork = fork;
  tree->nodeBytes = kHfsNodeBytes;
  uint8_t first[kHfsNodeBytes];
  if (!ReadHfsNode(tree, 0, first)) return 0;
  // HFS nodes are 512 bytes whatever the header says; HFS+ trees say how large theirs are.
  if (info->plus) {
    tree->nodeBytes = ReadBE16(first + kNodeSizeOffset);
    if (!IsNodeSize(tree->nodeBytes)) return 0;
  }
  uint8_t* header = first;
  if (tree->nodeBytes != kHfsNodeBytes) {
    header = AllocateNode(tree);
    if (!header || !ReadHfsNode(tree, 0, header)) {
      if (header) HeapFree(GetProcessHeap(), 0, header);
      return 0;
    }
  }
  uint64_t nodes = ReadBE32(header + kNodeCountOffset);
  const uint64_t forkNodes = fork->blocks * info->blockBytes / tree->nodeBytes;
  if (nodes > forkNodes) nodes = forkNodes;
  const uint64_t medium = MediumBytes(volume);
  if (medium != UINT64_MAX && nodes > medium / tree->nodeBytes) nodes = medium / tree->nodeBytes;
  if (nodes > kMaxNodes) nodes = kMaxNodes;
  tree->nodeCount = static_cast<uint32_t>(nodes);
  tree->rootNode = ReadBE32(header + kRootNodeOffset);
  tree->firstLeaf = ReadBE32(header + kFirstLeafOffset);
  tree->maxKeyBytes = ReadBE16(header + kMaxKeyLengthOffset);
  tree->variableIndexKeys = (ReadBE32(header + kAttributesOffset) & kVariableIndexKeys) != 0;
  ReadNodeMap(tree, header);
  if (header != first) HeapFree(GetProcessHeap(), 0, header);
  return 1;
}

unsigned HfsRecordDataOffset(const HfsBTree* tree, const uint8_t* record, unsigned length) {
  if (length < 2) return 0;
  const unsigned offset = tree->info->plus ? 2u + ReadBE16(record) : (1u + record[0] + 1u) & ~1u;
  return offset <= length ? offset : 0;
}

int FindHfsRecord(const HfsBTree* tree, HfsKeyOrder order, const void* key, uint8_t* node, const uint8_t** record,
                  unsigned* length) {
  uint32_t next = tree->rootNode;
  for (int level = 0; level < kMaxLevels; ++level) {
    // Node 0 is the header node, never part of the way down.
    if (next == 0 || next >= tree->nodeCount || !ReadHfsNode(tree, next, node)) return 0;
    const int16_t count = RecordCount(node);
    if (node[kKindOffset] == kHfsLeafNode) {
      for (int r = 0; r < count; ++r) {
        if (GetNodeRecord(node, tree->nodeBytes, r, record, length) && order(key, *record, *length) == 0) return 1;
      }
      return 0;
    }
    if (node[kKindOffset] != kIndexNode) return 0;
    // The last index record whose key is not above the sought one leads to
    // its leaf; the child's node number follows the key.
    next = 0;
    for (int r = 0; r < count; ++r) {
      const uint8_t* index;
      unsigned indexLength;
      if (!GetNodeRecord(node, tree->nodeBytes, r, &index, &indexLength)) continue;
      if (order(key, index, indexLength) < 0) break;
      unsigned pointer = HfsRecordDataOffset(tree, index, indexLength);
      if (tree->info->plus && !tree->variableIndexKeys) pointer = 2u + tree->maxKeyBytes;
      if (pointer != 0 && pointer + 4 <= indexLength) next = ReadBE32(index + pointer);
    }
  }
  return 0;
}

void CloseHfsBTree(HfsBTree* tree) {
  if (tree->nodeMap) HeapFree(GetProcessHeap(), 0, tree->nodeMap);
  memset(tree, 0, sizeof *tree);
}

void SweepHfsLeaves(const HfsBTree* tree, HfsRecordVisitor visit, void* context) {
  const uint32_t bufferBytes = tree->nodeBytes > kSweepBytes ? tree->nodeBytes : static_cast<uint32_t>(kSweepBytes);
  uint8_t* run = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, bufferBytes));
  if (!run) return;
  const uint32_t sectorsPerNode = tree->nodeBytes / kSectorBytes;
  uint32_t k = 0;
  while (k < tree->nodeCount) {
    if (!IsNodeInUse(tree, k)) {
      ++k;
      continue;
    }
    int32_t sector;
    uint32_t runSectors;
    if (!MapHfsFork(tree->info, tree->fork, static_cast<uint64_t>(k) * tree->nodeBytes, &sector, &runSectors)) {
      ++k;
      continue;
    }
    // Consecutive nodes in one extent come in one transfer; a node split
    // between extents, and every node of a transfer that fails, one by one,
    // so that one bad sector costs only its own node.
    uint32_t n = runSectors / sectorsPerNode;
    if (n > bufferBytes / tree->nodeBytes) n = bufferBytes / tree->nodeBytes;
    if (n > tree->nodeCount - k) n = tree->nodeCount - k;
    if (n == 0 || static_cast<int64_t>(sector) + static_cast<int64_t>(n) * sectorsPerNode > INT32_MAX ||
        !ReadSectors(tree->volume, sector, static_cast<int32_t>(n * sectorsPerNode), run)) {
      if (n == 0) n = 1;
      for (uint32_t i = 0; i < n; ++i) {
        if (IsNodeInUse(tree, k + i) && ReadHfsNode(tree, k + i, run)) VisitLeaf(tree, run, k + i, visit, context);
      }
    } else {
      for (uint32_t i = 0; i < n; ++i) {
        if (IsNodeInUse(tree, k + i)) VisitLeaf(tree, run + i * tree->nodeBytes, k + i, visit, context);
      }
    }
    k += n;
  }
  HeapFree(GetProcessHeap(), 0, run);
}
