// HFS B-tree files (the catalog and the extents overflow file) read node by
// node: the records of one 512-byte node, the node map that tells used nodes
// from free ones, and one sweep over the leaf nodes in node order.
#pragma once
#include <cstdint>

#include "hfs_fork.h"

enum {
  kHfsLeafNode = 0xFF,
  kHfsMapNode = 2,
};

struct HfsBTree {
  Volume* volume;
  const HfsVolumeInfo* info;
  const HfsFork* fork;
  uint32_t nodeCount;  // from the header node, cut to what the fork and medium hold
  uint8_t* nodeMap;    // one bit per node, most significant first; set = in use
  uint32_t mapBits;    // nodes the map covers; later ones count as in use
  uint32_t rootNode;   // from the header node; 0 for an empty tree
};

// Returns 1 and sets *record and *length when record `index` of the node
// starts between the node descriptor and the offset table; it ends where the
// next record (or the free space) begins, or at the offset table when that
// offset is out of place. Otherwise returns 0 and sets both to null and 0.
int GetNodeRecord(const uint8_t* node, int index, const uint8_t** record, unsigned* length);

// Reads the header node and the node map of the B-tree stored in fork.
// Returns 1; 0 when the header node cannot be read (then nothing is held).
// Release with CloseHfsBTree.
int OpenHfsBTree(Volume* volume, const HfsVolumeInfo* info, const HfsFork* fork, HfsBTree* tree);
void CloseHfsBTree(HfsBTree* tree);

// Orders a sought key against a record: below 0 when the key sorts before
// the record's key, 0 when they are equal, above 0 when it sorts after.
typedef int (*HfsKeyOrder)(const void* key, const uint8_t* record, unsigned length);

// Descends from the root node through the index nodes, which the tree keeps
// sorted by key, to the leaf record whose key equals key. Returns 1 and
// copies the record's node into node (512 bytes), pointing *record and
// *length into it; 0 when no record has the key or the way down is broken.
// At most one node per level is read, and no more levels than a tree can have.
int FindHfsRecord(const HfsBTree* tree, HfsKeyOrder order, const void* key, uint8_t* node, const uint8_t** record,
                  unsigned* length);

// Calls visit for every record of every leaf node that the node map does not
// mark free, in node order, then record order. Unreadable nodes are skipped.
typedef void (*HfsRecordVisitor)(void* context, const uint8_t* record, unsigned length);
void SweepHfsLeaves(const HfsBTree* tree, HfsRecordVisitor visit, void* context);
