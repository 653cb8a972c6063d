// HFS+ and HFSX volumes built byte by byte for the tests, the way Mac OS
// lays them out: boot blocks and the volume header in the first allocation
// blocks, the allocation bitmap, the extents overflow and catalog B-trees
// (leaf nodes linked in key order under index nodes), the files' forks, and
// the alternate header near the end, and the attributes B-tree where a file
// says how long its compressed data is. Large files are left sparse: only the
// bytes given are written, so a volume with a 4 GB file stays small on disk.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image_builders.h"

enum : uint32_t {
  kHfsPlusRootId = 2,
  kHfsPlusFirstUserId = 16,
};

struct HfsPlusItem {
  uint32_t id = 0;
  uint32_t parentId = kHfsPlusRootId;
  std::u16string name;
  bool folder = false;
  uint32_t created = 0;   // seconds since 1904, UTC
  uint32_t modified = 0;
  std::string type, creator;  // four characters each, or empty
  uint16_t finderFlags = 0;
  Bytes data;                // the data fork's first bytes
  uint64_t dataLength = 0;   // at least data.size(); the bytes between data and dataTail are zero
  Bytes dataTail;            // the data fork's last bytes
  Bytes resource;
  uint32_t fragmentBlocks = 0;  // > 0: the data fork lies in runs of this many blocks with a free block between
  uint8_t ownerFlags = 0;       // 0x20: compressed
  uint64_t compressedLength = 0;  // > 0: the file's length in its "com.apple.decmpfs" attribute
  uint32_t special = 0;         // a hard link's reference number, an iNode's link count
  uint16_t fileMode = 0;        // 0: 0644 for files, 0755 for folders
};

struct HfsPlusPlan {
  std::u16string volumeName = u"Untitled";
  bool hfsx = false;
  uint32_t blockBytes = 4096;
  uint32_t catalogNodeBytes = 4096;
  uint32_t extentsNodeBytes = 4096;
  uint32_t created = 0;  // the volume header's creation date: local time
  uint32_t rootModified = 0;
  uint32_t freeBlocks = 16;  // left free at the end of the volume
  bool catalogLeavesBackward = false;  // the leaf chain runs from the last leaf node to the first
  std::vector<HfsPlusItem> items;
};

// A disk image of which only some pieces hold anything but zeros.
struct SparseImage {
  uint64_t size = 0;
  std::vector<std::pair<uint64_t, Bytes>> pieces;
};

// Adds a folder or a file to plan and returns its id (ids count from 16).
uint32_t AddHfsPlusFolder(HfsPlusPlan& plan, uint32_t parentId, const std::u16string& name, uint32_t modified = 0);
HfsPlusItem& AddHfsPlusFile(HfsPlusPlan& plan, uint32_t parentId, const std::u16string& name, const Bytes& data,
                            uint32_t modified = 0);
// A hard link to target (a file of plan) named name in parentId: the target
// moves into the private folder as "iNode<number>", as Mac OS X keeps it.
void AddHfsPlusHardLink(HfsPlusPlan& plan, uint32_t parentId, const std::u16string& name, uint32_t targetId);

// A photo library of `files` files: ten year folders, a hundred rolls in
// each, the files spread evenly over the rolls, with data lengths of up to
// 8 KB (left sparse), dates over twenty years and some names decomposed.
HfsPlusPlan ManyFilesHfsPlusPlan(uint32_t files);

SparseImage BuildHfsPlusVolume(const HfsPlusPlan& plan);
// The volume as bytes in memory (for volumes without sparse files).
Bytes FlattenImage(const SparseImage& image);
// Writes the image to path, leaving holes where it holds zeros.
bool WriteSparseImage(const std::string& path, const SparseImage& image);

// The HFS+ volume inside an HFS wrapper as Mac OS 8 and 9 wrote it: an HFS
// volume of 512-byte blocks whose master directory block names the embedded
// volume ("H+") and its extent, starting at wrapper block embedStartBlock.
Bytes WrapInHfs(const Bytes& plusVolume, uint16_t embedStartBlock);
