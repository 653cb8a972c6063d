// HFS and HFS+ B-tree files (the catalog, the extents overflow file, the
// HFS+ attributes file) read node by node: the records of one node, the node
// map that tells used nodes from free ones, one sweep over the leaf nodes in
// node order, and the way down from the root to one key.
#pragma once
#include <cstdint>

#include "hfs_fork.h"

enum {
  kHfsLeafNode = 0xFF,
  kHfsMapNode = 2,
  kHfsMaxNodeBytes = 32768,
};

struct HfsBTree {
  Volume* volume;
  const HfsVolumeInfo* info;
  const HfsFork* fork;
  uint32_t nodeBytes;  // 512 on HFS; from the header node on HFS+
  uint32_t nodeCount;  // from the header node, cut to what the fork and medium hold
  uint8_t* nodeMap;    // one bit per node, most significant first; set = in use
  uint32_t mapBits;    // nodes the map covers; later ones count as in use
  uint32_t rootNode;   // from the header node; 0 for an empty tree
  uint32_t firstLeaf;  // from the header node
  uint16_t maxKeyBytes;       // HFS+: the key length of index records that do not carry their own
  bool variableIndexKeys;     // HFS+: index records carry their own key length
  uint32_t* leafLinks;        // when set, SweepHfsLeaves stores each leaf's forward link (else UINT32_MAX)
};

// Returns 1 and sets *record and *length when record `index` of the node of
// nodeBytes starts between the node descriptor and the offset table; it
// ends where the next record (or the free space) begins, or at the offset
// table when that offset is out of place. Otherwise returns 0 and sets both
// to null and 0.
int GetNodeRecord(const uint8_t* node, uint32_t nodeBytes, int index, const uint8_t** record, unsigned* length);

// Reads the header node and the node map of the B-tree stored in fork.
// Returns 1; 0 when the header node cannot be read or gives a node size
// that is not a power of two from 512 to 32,768 (then nothing is held).
// Release with CloseHfsBTree.
int OpenHfsBTree(Volume* volume, const HfsVolumeInfo* info, const HfsFork* fork, HfsBTree* tree);
void CloseHfsBTree(HfsBTree* tree);

// Reads node `node` (nodeBytes) into out. Returns 1; 0 when it lies beyond
// the fork or cannot be read.
int ReadHfsNode(const HfsBTree* tree, uint32_t node, uint8_t* out);

// Where a record's data begins after its key: on HFS the key's length byte
// and the key, padded to an even offset; on HFS+ the 16-bit length and the
// key. 0 when the key does not lie within length.
unsigned HfsRecordDataOffset(const HfsBTree* tree, const uint8_t* record, unsigned length);

// Orders a sought key against a record: below 0 when the key sorts before
// the record's key, 0 when they are equal, above 0 when it sorts after.
typedef int (*HfsKeyOrder)(const void* key, const uint8_t* record, unsigned length);

// Descends from the root node through the index nodes, which the tree keeps
// sorted by key, to the leaf record whose key equals key. Returns 1 and
// copies the record's node into node (nodeBytes), pointing *record and
// *length into it; 0 when no record has the key or the way down is broken.
// At most one node per level is read, and no more levels than a tree can have.
int FindHfsRecord(const HfsBTree* tree, HfsKeyOrder order, const void* key, uint8_t* node, const uint8_t** record,
                  unsigned* length);

// One record of a leaf node as a sweep hands it over.
struct HfsLeafRecord {
  const uint8_t* record;
  unsigned length;
  uint32_t node;  // the leaf's number
  int index;      // the record's place in it
};

// Calls visit for every record of every leaf node that the node map does not
// mark free, in node order, then record order. Unreadable nodes are skipped.
typedef void (*HfsRecordVisitor)(void* context, const HfsLeafRecord& leaf);
void SweepHfsLeaves(const HfsBTree* tree, HfsRecordVisitor visit, void* context);
