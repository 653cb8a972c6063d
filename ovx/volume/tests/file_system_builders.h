// Builders for the file-system structures the listings read: HFS catalog
// and extents B-tree nodes placed through a fork's extents, FAT directory
// entries, chains and cluster contents, and Atari DOS directories. Each
// writes exactly what it is given, so a test can break one field at a time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image_builders.h"

// HFS volumes of these tests: allocation blocks from firstBlockSector on.
struct HfsLayout {
  uint32_t sizeKB = 800;
  std::string name = "Disk";
  uint32_t blockBytes = 1024;
  uint16_t firstBlockSector = 16;
  std::vector<uint16_t> catalogExtents = {0, 16};  // (start block, count) pairs, at most three in the volume info
  uint32_t catalogBytes = 16 * 1024;
  std::vector<uint16_t> extentsExtents = {16, 4};
  uint32_t extentsBytes = 4 * 1024;
};

// The volume information block of layout in an otherwise empty volume.
Bytes MakeHfsLayoutVolume(const HfsLayout& layout);
// Writes data at byte offset of the fork whose extents are given as (start, count) pairs.
void PutForkBytes(Bytes& image, const HfsLayout& layout, const std::vector<uint16_t>& extents, uint64_t offset,
                  const Bytes& data);
// Writes node number `node` (512 bytes) of the catalog file or of the extents overflow file.
void PutCatalogNode(Bytes& image, const HfsLayout& layout, uint32_t node, const Bytes& data);
void PutExtentsNode(Bytes& image, const HfsLayout& layout, uint32_t node, const Bytes& data);

// A 512-byte B-tree node of the kind (0xFF leaf, 0 index, 1 header, 2 map)
// holding the records end to end from byte 14, with the offset table (and
// the free-space offset) at its end.
Bytes MakeBTreeNode(uint8_t kind, const std::vector<Bytes>& records, uint32_t forwardLink = 0);
// The header node: the root node (node 1 in the small trees of these tests)
// at byte 16, totalNodes at byte 36 and a node map with every node below
// totalNodes in use except those in freeNodes; mapLink is the first map node.
Bytes MakeBTreeHeaderNode(uint32_t totalNodes, const std::vector<uint32_t>& freeNodes = {}, uint32_t mapLink = 0,
                          uint32_t rootNode = 1);
// A map node whose map record (494 bytes, or mapBytes) marks nodes
// firstNode.. in use, except those in freeNodes.
Bytes MakeBTreeMapNode(uint32_t firstNode, const std::vector<uint32_t>& freeNodes, uint32_t forwardLink,
                       size_t mapBytes = 494);

struct HfsFileSpec {
  std::string type = "TEXT";
  std::string creator = "ttxt";
  uint32_t fileId = 100;
  uint32_t dataLength = 0;
  uint32_t resourceLength = 0;
  uint32_t modified = 0;
  std::vector<uint16_t> dataExtents;  // up to three (start, count) pairs
  std::vector<uint16_t> resourceExtents;
};
Bytes HfsFolderRecord(uint32_t parentId, const std::string& name, uint32_t folderId, uint32_t modified = 0);
Bytes HfsFileRecord(uint32_t parentId, const std::string& name, const HfsFileSpec& file);
// A folder thread record (type 3): key of the folder's own id and an empty name.
Bytes HfsThreadRecord(uint32_t folderId, uint32_t parentId, const std::string& name);
// An extents overflow record continuing fork (0x00 data, 0xFF resource) of fileId at startBlock.
Bytes HfsExtentsRecord(uint8_t forkType, uint32_t fileId, uint16_t startBlock, const std::vector<uint16_t>& extents);
// An extents overflow file with no records: header node and one empty leaf.
void PutEmptyExtentsTree(Bytes& image, const HfsLayout& layout);

// MFS volumes of these tests, laid out as a 400 KB floppy: the directory
// from sector 4, allocation block 2 at firstBlockSector.
struct MfsLayout {
  uint32_t sizeKB = 400;
  uint16_t blockCount = 391;
  uint32_t blockBytes = 1024;
  uint16_t firstBlockSector = 16;
  uint16_t directorySector = 4;
  uint16_t directorySectors = 12;
};
// The volume information block of layout, an empty block map and directory.
Bytes MakeMfsLayoutVolume(const MfsLayout& layout);
// Sets block's 12-bit entry of the block map (0 free, 1 last of its fork,
// else the next block).
void PutMfsMapEntry(Bytes& image, uint16_t block, uint16_t value);
// Writes data into the blocks in order and links them in the map, the last one ending the fork.
void PutMfsFork(Bytes& image, const MfsLayout& layout, const std::vector<uint16_t>& blocks, const Bytes& data);
struct MfsFileSpec {
  std::string type = "TEXT";
  std::string creator = "MACA";
  uint16_t finderFlags = 0;
  uint32_t fileNumber = 1;
  uint32_t dataLength = 0;
  uint16_t dataBlock = 0;  // first allocation block of each fork
  uint32_t resourceLength = 0;
  uint16_t resourceBlock = 0;
  uint32_t modified = 0;
};
// One directory entry (padded to an even length).
Bytes MfsDirEntry(const std::string& name, const MfsFileSpec& file);
// Writes entries end to end from the directory's first sector, going on in
// the next sector where one would not fit.
void PutMfsDirectory(Bytes& image, const MfsLayout& layout, const std::vector<Bytes>& entries);

// A 32-byte FAT directory entry; name11 is the stored 8 + 3 bytes.
Bytes FatDirEntry(const std::string& name11, uint8_t attributes, uint16_t firstCluster, uint32_t size,
                  uint16_t date = 0, uint16_t time = 0);
// Byte offset of the root directory and of a cluster's first byte.
size_t FatRootOffset(const FatParams& p);
size_t FatClusterOffset(const FatParams& p, uint32_t cluster);
// Writes entries end to end from the start of the root directory, or of the cluster.
void PutFatRootEntries(Bytes& image, const FatParams& p, const std::vector<Bytes>& entries);
void PutFatClusterBytes(Bytes& image, const FatParams& p, uint32_t cluster, const Bytes& data);
// Sets cluster's entry to value in every FAT; fat16 chooses 16-bit entries.
void PutFatEntry(Bytes& image, const FatParams& p, bool fat16, uint32_t cluster, uint32_t value);
// Links the clusters in order and ends the chain with 0xFFF or 0xFFFF.
void PutFatChain(Bytes& image, const FatParams& p, bool fat16, const std::vector<uint32_t>& clusters);

// A 16-byte Atari DOS directory entry; name11 is the stored 8 + 3 bytes.
Bytes AtariDirEntry(uint8_t flags, uint16_t sectors, uint16_t firstSector, const std::string& name11);
// Writes entries from the start of the directory (sector 361) of an image
// made by MakeAtariDisk with the same atr and doubleDensity.
void PutAtariDirectory(Bytes& image, bool atr, bool doubleDensity, const std::vector<Bytes>& entries);

// Where Atari sector `sector` (from 1) of an image made by MakeAtariDisk
// begins, header included: in double-density ATR images the first three
// sectors are 128 bytes long.
size_t AtariSectorOffset(bool atr, bool doubleDensity, uint32_t sector);
// Writes a directory of up to 64 entries into the eight sectors from first,
// eight entries to a sector as DOS keeps them.
void PutAtariDirectoryAt(Bytes& image, bool atr, bool doubleDensity, uint32_t first, const std::vector<Bytes>& entries);
// Writes data as a DOS 2 file: each sector of the chain holds what fits
// (125 or 253 bytes) and ends with the link: file number and next sector,
// then the count of bytes used. numbered = false writes MyDOS's 16-bit link.
void PutAtariFile(Bytes& image, bool atr, bool doubleDensity, uint8_t fileNumber, const std::vector<uint16_t>& sectors,
                  const Bytes& data, bool numbered = true);
// Writes the VTOC (sector 360) as DOS 2 keeps it: the DOS code, then the
// sectors files may use and those still free.
void PutAtariVtoc(Bytes& image, bool atr, bool doubleDensity, uint8_t dosCode, uint16_t usableSectors,
                  uint16_t freeSectors);
// A DOS 2 disk whose three boot sectors are all zero, as some tools write
// it: a VTOC of 707 usable sectors and README.TXT holding text from sector 4.
Bytes MakeBlankBootAtariDos(bool atr, bool doubleDensity, const Bytes& text);
