// HFS listings and file data on volumes built node by node: the top and the
// walk by path, what a file record puts into its DirEntry, reading forks
// through their extents (the extents overflow file included), catalogs in
// several pieces, the node map, and damaged structures.
#include "hfs_catalog.h"

#include <gtest/gtest.h>

#include <cstring>

#include "file_system_builders.h"
#include "list_directory.h"
#include "mac_time.h"
#include "volume_test_helpers.h"

namespace {

using Names = std::vector<std::string>;

size_t RecordOffset(const Bytes& node, int index) { return node[510 - 2 * index] << 8 | node[511 - 2 * index]; }

Bytes Pattern(size_t length, uint8_t seed) {
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return data;
}

// Disk (2) holds Letters (16), ReadMe (file 20, 2,500 bytes in three blocks
// of a clump of eight) and Icon (resource fork only); Letters holds a
// folder also named Letters (17) and letters (18); Letters:Letters holds Deep.
struct SampleVolume {
  HfsLayout layout;
  Bytes image;
  Bytes readMe = Pattern(2500, 1);
  Bytes icon = Pattern(700, 50);
};

SampleVolume MakeSample() {
  SampleVolume s;
  s.image = MakeHfsLayoutVolume(s.layout);
  PutEmptyExtentsTree(s.image, s.layout);
  HfsFileSpec readMe;
  readMe.fileId = 20;
  readMe.dataLength = 2500;
  readMe.modified = 3000000000u;
  readMe.dataExtents = {40, 8};
  HfsFileSpec icon;
  icon.type = "APPL";
  icon.creator = std::string("\x01Ic\xA9", 4);
  icon.fileId = 21;
  icon.resourceLength = 700;
  icon.dataExtents = {60, 1};  // stale: the data fork is empty
  icon.resourceExtents = {50, 1};
  HfsFileSpec deep;
  deep.fileId = 22;
  PutCatalogNode(s.image, s.layout, 0, MakeBTreeHeaderNode(4));
  PutCatalogNode(s.image, s.layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2, 0), HfsThreadRecord(2, 1, "Disk"),
                                      HfsFolderRecord(2, "Letters", 16), HfsFileRecord(2, "ReadMe", readMe),
                                      HfsFileRecord(2, "Icon", icon)}));
  PutCatalogNode(s.image, s.layout, 2, MakeBTreeNode(0, {HfsFolderRecord(2, "Index", 99)}));
  PutCatalogNode(s.image, s.layout, 3,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(16, "Letters", 17), HfsFolderRecord(16, "letters", 18),
                                      HfsFileRecord(17, "Deep", deep)}));
  PutForkBytes(s.image, s.layout, {40, 8}, 0, s.readMe);
  PutForkBytes(s.image, s.layout, {50, 1}, 0, s.icon);
  return s;
}

TEST(HfsListing, TopHoldsTheRootFolderAndThePathWalksDown) {
  ScratchDir dir;
  Volume* volume = OpenImageBytes(dir, "disk.img", MakeSample().image);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(FormatHfs, volume->format);
  std::vector<DirEntry> top = ListEntries(volume, "");
  ASSERT_EQ(1u, top.size());
  EXPECT_STREQ("Disk", top[0].name);
  EXPECT_EQ(2u, top[0].nodeId);
  EXPECT_EQ(1u, top[0].parentId);
  EXPECT_EQ(uint32_t{kDirEntryFolder}, top[0].attributes);
  // Thread records and records of index nodes are not listed.
  EXPECT_EQ(7, volume->catalogCount);
  EXPECT_EQ((Names{"Letters", "ReadMe", "Icon"}), EntryNames(ListEntries(volume, "Disk:")));
  // Two folders named Letters, told apart by their parents; names compare case-sensitively.
  EXPECT_EQ((Names{"Letters", "letters"}), EntryNames(ListEntries(volume, "Disk:Letters:")));
  EXPECT_EQ((Names{"Deep"}), EntryNames(ListEntries(volume, "Disk:Letters:Letters:")));
  EXPECT_EQ(17u, volume->currentDirId);
  EXPECT_EQ(Names{}, EntryNames(ListEntries(volume, "Disk:Letters:letters:")));
  EXPECT_EQ(18u, volume->currentDirId);
  // From a folder to its sibling, by way of the parent they share.
  EXPECT_EQ((Names{"Deep"}), EntryNames(ListEntries(volume, "Disk:Letters:Letters:")));
  EXPECT_EQ(17u, volume->currentDirId);
  EXPECT_EQ(Names{}, EntryNames(ListEntries(volume, "Disk:Letters:letters:")));
  // A name the folder does not hold: nothing, and the walk stays where it got to.
  EXPECT_EQ(Names{}, EntryNames(ListEntries(volume, "Disk:LETTERS:")));
  EXPECT_STREQ("Disk:", volume->currentPath);
  EXPECT_EQ(Names{}, EntryNames(ListEntries(volume, "Disk:ReadMe:")));  // a file, not a folder
  // Without the last ':' the walk still ends on a name boundary and goes on from it.
  EXPECT_EQ((Names{"Letters", "ReadMe", "Icon"}), EntryNames(ListEntries(volume, "Disk")));
  EXPECT_EQ((Names{"Letters", "letters"}), EntryNames(ListEntries(volume, "Disk:Letters:")));
  EXPECT_EQ((Names{"Deep"}), EntryNames(ListEntries(volume, "Disk:Letters:Letters:")));
  const std::vector<DirEntry> letters = ListEntries(volume, "Disk:Letters:");
  const std::vector<DirEntry> disk = ListEntries(volume, "Disk:");
  CloseVolume(volume);

  // Kept compact only, the catalog lists the same entries, byte for byte,
  // and leaves the volume's catalog empty.
  const std::string path = dir.File("disk.img");
  volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly | OpenCompactCatalog);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(1u, ListEntries(volume, "").size());
  EXPECT_EQ(0, volume->catalogCount);
  for (const auto& [folder, expected] : {std::make_pair("Disk:Letters:", letters), std::make_pair("Disk:", disk)}) {
    const std::vector<DirEntry> listed = ListEntries(volume, folder);
    ASSERT_EQ(expected.size(), listed.size()) << folder;
    for (size_t i = 0; i < listed.size(); ++i) {
      EXPECT_EQ(0, memcmp(&expected[i], &listed[i], sizeof(DirEntry))) << folder << " " << expected[i].name;
    }
  }
  CloseVolume(volume);

  // A folder path needs the catalog that a listing of the top reads.
  volume = OpenImageBytes(dir, "fresh.img", MakeSample().image);
  EXPECT_EQ(Names{}, EntryNames(ListEntries(volume, "Disk:")));
  EXPECT_EQ(0, ListDirectory(volume, "", nullptr));
  EXPECT_EQ(7, volume->catalogCount);
  EXPECT_EQ(3u, ListEntries(volume, "Disk:").size());
  CloseVolume(volume);
}

TEST(HfsListing, FileRecordsFillTheirEntries) {
  ScratchDir dir;
  Volume* volume = OpenImageBytes(dir, "disk.img", MakeSample().image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  std::vector<DirEntry> entries = ListEntries(volume, "Disk:");
  DirEntry readMe = EntryNamed(entries, "ReadMe");
  EXPECT_EQ(0u, readMe.attributes);
  EXPECT_EQ(0, memcmp("TEXTttxt", readMe.macType, 8));
  EXPECT_EQ(2500u, readMe.size);
  EXPECT_EQ(2500u, readMe.dataSize);
  EXPECT_EQ(20u, readMe.nodeId);
  EXPECT_EQ(2u, readMe.parentId);
  EXPECT_EQ("1999-01-24 05:20:00", FileTimeText(readMe.modified));
  const uint8_t readMeExtents[12] = {0, 40, 0, 8};
  EXPECT_EQ(0, memcmp(readMeExtents, readMe.location, 12));

  DirEntry icon = EntryNamed(entries, "Icon");
  EXPECT_EQ(0, memcmp("APPL\x01Ic\xA9", icon.macType, 8));
  EXPECT_EQ(0u, icon.dataSize);
  EXPECT_EQ(700u, icon.size);
  const uint8_t iconExtents[12] = {0, 50, 0, 1};
  EXPECT_EQ(0, memcmp(iconExtents, icon.location, 12));

  // The folder's date 0 is the Macintosh epoch itself.
  EXPECT_EQ("1904-01-01 00:00:00", FileTimeText(ListEntries(volume, "")[0].modified));
  const FILETIME epoch = MacDateToFileTime(0);
  EXPECT_EQ(95616288000000000ull, static_cast<uint64_t>(epoch.dwHighDateTime) << 32 | epoch.dwLowDateTime);
  EXPECT_EQ("2040-02-06 06:28:15", FileTimeText(MacDateToFileTime(UINT32_MAX)));
  CloseVolume(volume);
}

TEST(HfsReadEntryData, ReadsWholeBlocksUpToTheForkLength) {
  ScratchDir dir;
  SampleVolume sample = MakeSample();
  Volume* volume = OpenImageBytes(dir, "disk.img", sample.image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  std::vector<DirEntry> entries = ListEntries(volume, "Disk:");
  // 2,500 bytes in 1,024-byte blocks: three blocks, though the extent runs on for eight.
  DirEntry readMe = EntryNamed(entries, "ReadMe");
  EXPECT_EQ(3072u, EntryDataBufferBytes(volume, &readMe));
  Bytes data = ReadEntryBytes(volume, readMe);
  ASSERT_EQ(3072u, data.size());
  EXPECT_EQ(sample.readMe, Bytes(data.begin(), data.begin() + 2500));
  // A file with an empty data fork gives its resource fork.
  data = ReadEntryBytes(volume, EntryNamed(entries, "Icon"));
  ASSERT_EQ(1024u, data.size());
  EXPECT_EQ(sample.icon, Bytes(data.begin(), data.begin() + 700));
  // Nothing for an empty file or a folder.
  EXPECT_EQ(0u, ReadEntryBytes(volume, EntryNamed(ListEntries(volume, "Disk:Letters:Letters:"), "Deep")).size());
  EXPECT_EQ(0u, ReadEntryBytes(volume, ListEntries(volume, "")[0]).size());
  CloseVolume(volume);
}

TEST(HfsReadEntryData, ForkInMoreThanThreePiecesTakesTheRestFromTheExtentsFile) {
  ScratchDir dir;
  HfsLayout layout;
  Bytes image = MakeHfsLayoutVolume(layout);
  HfsFileSpec file;
  file.fileId = 30;
  file.dataLength = 5 * 1024 - 100;
  file.dataExtents = {100, 1, 102, 1, 104, 1};
  const std::vector<uint16_t> allExtents = {100, 1, 102, 1, 104, 1, 110, 1, 120, 1};
  const Bytes content = Pattern(file.dataLength, 9);
  PutForkBytes(image, layout, allExtents, 0, content);
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFileRecord(2, "Big", file)}));
  PutExtentsNode(image, layout, 0, MakeBTreeHeaderNode(2));
  // The record that continues the fork at block 3, beside records of other forks.
  PutExtentsNode(image, layout, 1,
                 MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 29, 3, {130, 1}),
                                      HfsExtentsRecord(0x00, 30, 3, {110, 1, 120, 1}),
                                      HfsExtentsRecord(0xFF, 30, 3, {140, 1})}));
  Volume* volume = OpenImageBytes(dir, "disk.img", image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  Bytes data = ReadEntryBytes(volume, EntryNamed(ListEntries(volume, "Disk:"), "Big"));
  ASSERT_EQ(5 * 1024u, data.size());
  EXPECT_EQ(content, Bytes(data.begin(), data.begin() + content.size()));
  CloseVolume(volume);

  // Without the overflow record the read ends after the first three extents.
  PutExtentsNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 30, 2, {110, 1, 120, 1})}));
  volume = OpenImageBytes(dir, "short.img", image);
  ListEntries(volume, "");
  EXPECT_EQ(3 * 1024u, ReadEntryBytes(volume, EntryNamed(ListEntries(volume, "Disk:"), "Big")).size());
  CloseVolume(volume);
}

// The overflow record is looked up through the index nodes by its key: a
// stale leaf outside the tree, swept first in node order, is never consulted.
TEST(HfsReadEntryData, OverflowExtentsAreLookedUpThroughTheIndexNodes) {
  ScratchDir dir;
  HfsLayout layout;
  Bytes image = MakeHfsLayoutVolume(layout);
  HfsFileSpec file;
  file.fileId = 30;
  file.dataLength = 4 * 1024;
  file.dataExtents = {100, 1, 102, 1, 104, 1};
  const Bytes content = Pattern(file.dataLength, 5);
  PutForkBytes(image, layout, {100, 1, 102, 1, 104, 1, 110, 1}, 0, content);
  PutForkBytes(image, layout, {200, 1}, 0, Bytes(1024, 0xEE));
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFileRecord(2, "Big", file)}));
  PutExtentsNode(image, layout, 0, MakeBTreeHeaderNode(5, {}, 0, 3));
  PutExtentsNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 30, 3, {200, 1})}));
  PutExtentsNode(image, layout, 2, MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 30, 3, {110, 1})}));
  PutExtentsNode(image, layout, 4, MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 40, 0, {300, 1})}));
  // Index records: the key (length 7, fork, file id, start block), then the child node.
  const Bytes toNode2 = {7, 0x00, 0, 0, 0, 1, 0, 0, 0, 0, 0, 2};
  const Bytes toNode4 = {7, 0x00, 0, 0, 0, 40, 0, 0, 0, 0, 0, 4};
  PutExtentsNode(image, layout, 3, MakeBTreeNode(0x00, {toNode2, toNode4}));
  Volume* volume = OpenImageBytes(dir, "index.img", image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  EXPECT_EQ(content, ReadEntryBytes(volume, EntryNamed(ListEntries(volume, "Disk:"), "Big")));
  CloseVolume(volume);
}

TEST(HfsCatalog, AllocationBlockSizeUsesAll32Bits) {
  ScratchDir dir;
  HfsLayout layout;
  layout.sizeKB = 320;
  layout.blockBytes = 65536;  // low 16 bits 0
  layout.catalogExtents = {0, 1};
  layout.catalogBytes = 65536;
  layout.extentsExtents = {1, 1};
  layout.extentsBytes = 65536;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  HfsFileSpec file;
  file.dataLength = 70000;
  file.dataExtents = {2, 2};
  const Bytes content = Pattern(70000, 3);
  PutForkBytes(image, layout, {2, 2}, 0, content);
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Big", 2), HfsFileRecord(2, "F", file)}));
  Volume* volume = OpenImageBytes(dir, "big.img", image);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ((Names{"Big"}), EntryNames(ListEntries(volume, "")));
  std::vector<DirEntry> entries = ListEntries(volume, "Big:");
  ASSERT_EQ((Names{"F"}), EntryNames(entries));
  Bytes data = ReadEntryBytes(volume, entries[0]);
  ASSERT_EQ(131072u, data.size());
  EXPECT_EQ(content, Bytes(data.begin(), data.begin() + 70000));
  CloseVolume(volume);
}

// Records whose offsets point back into earlier records are not listed
// again, so a node yields no more entries than its bytes hold; and a huge
// allocation block makes a read ask for no more than the medium.
TEST(HfsCatalog, OverlappingRecordsAndHugeBlocksStayWithinTheMedium) {
  ScratchDir dir;
  HfsLayout layout;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2));
  Bytes node = MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFolderRecord(2, "Once", 16)});
  const size_t once = RecordOffset(node, 1);
  // 20 records, all at the offset of the second.
  node[10] = 0;
  node[11] = 22;
  for (int r = 1; r < 22; ++r) {
    node[510 - 2 * r] = static_cast<uint8_t>(once >> 8);
    node[511 - 2 * r] = static_cast<uint8_t>(once);
  }
  node[510 - 2 * 22] = 0x01;  // free space starts at 0x1A0
  node[511 - 2 * 22] = 0xA0;
  PutCatalogNode(image, layout, 1, node);
  Volume* volume = OpenImageBytes(dir, "overlap.img", image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  EXPECT_EQ(2, volume->catalogCount);
  EXPECT_EQ((Names{"Once"}), EntryNames(ListEntries(volume, "Disk:")));
  CloseVolume(volume);

  HfsLayout huge;
  huge.blockBytes = 0x40000000;
  huge.firstBlockSector = 4;
  huge.catalogExtents = {0, 1};
  huge.catalogBytes = 1024;
  huge.extentsExtents = {0, 0};
  huge.extentsBytes = 0;
  image = MakeHfsLayoutVolume(huge);
  HfsFileSpec file;
  file.dataLength = 1;
  file.dataExtents = {0, 1};
  PutCatalogNode(image, huge, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(image, huge, 1, MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFileRecord(2, "One", file)}));
  volume = OpenImageBytes(dir, "huge.img", image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  const DirEntry one = EntryNamed(ListEntries(volume, "Disk:"), "One");
  EXPECT_EQ(800u * 1024, EntryDataBufferBytes(volume, &one));
  const Bytes data = ReadEntryBytes(volume, one);
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(image[4 * 512], data[0]);
  CloseVolume(volume);
}

TEST(HfsCatalog, CatalogInSeveralPiecesIsFollowedThroughItsExtents) {
  ScratchDir dir;
  HfsLayout layout;
  layout.catalogExtents = {0, 1, 30, 1, 10, 1};  // two nodes in each block
  layout.catalogBytes = 4 * 1024;
  Bytes image = MakeHfsLayoutVolume(layout);
  const std::vector<uint16_t> allExtents = {0, 1, 30, 1, 10, 1, 60, 1};
  PutExtentsNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutExtentsNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsExtentsRecord(0x00, 4, 3, {60, 1})}));
  PutForkBytes(image, layout, allExtents, 0, MakeBTreeHeaderNode(8));
  Names expected;
  for (uint32_t node = 1; node < 8; ++node) {
    const std::string name = "In node " + std::to_string(node);
    expected.push_back(name);
    PutForkBytes(image, layout, allExtents, node * 512, MakeBTreeNode(0xFF, {HfsFolderRecord(2, name, 100 + node)}));
  }
  PutForkBytes(image, layout, allExtents, 512, MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2),
                                                                    HfsFolderRecord(2, "In node 1", 101)}));
  Volume* volume = OpenImageBytes(dir, "pieces.img", image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  EXPECT_EQ(expected, EntryNames(ListEntries(volume, "Disk:")));
  CloseVolume(volume);
}

TEST(HfsCatalog, NodesTheNodeMapMarksFreeAreSkipped) {
  ScratchDir dir;
  HfsLayout layout;
  layout.sizeKB = 1300;
  layout.catalogExtents = {0, 1100};  // 2,200 nodes: the map goes on in a map node
  layout.catalogBytes = 1100 * 1024;
  layout.extentsExtents = {1100, 4};
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2200, {3}, 5));
  PutCatalogNode(image, layout, 5, MakeBTreeMapNode(2048, {2100}, 0));
  PutCatalogNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFolderRecord(2, "Kept", 20)}));
  // Stale records of deleted files in nodes freed since.
  PutCatalogNode(image, layout, 3, MakeBTreeNode(0xFF, {HfsFolderRecord(2, "Deleted", 21)}));
  PutCatalogNode(image, layout, 2100, MakeBTreeNode(0xFF, {HfsFolderRecord(2, "Kept", 20)}));
  PutCatalogNode(image, layout, 2150, MakeBTreeNode(0xFF, {HfsFolderRecord(2, "Last", 22)}));
  Volume* volume = OpenImageBytes(dir, "freed.img", image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  EXPECT_EQ((Names{"Kept", "Last"}), EntryNames(ListEntries(volume, "Disk:")));
  CloseVolume(volume);

  // A map node of one byte that links to itself: the walk over the map ends
  // (its byte, all nodes in use, repeated up to the node count).
  PutCatalogNode(image, layout, 5, MakeBTreeMapNode(2048, {}, 5, 1));
  volume = OpenImageBytes(dir, "loop.img", image);
  ListEntries(volume, "");
  EXPECT_EQ((Names{"Kept", "Kept", "Last"}), EntryNames(ListEntries(volume, "Disk:")));
  CloseVolume(volume);
  // A map that breaks off (its link names no map node) leaves the rest in use.
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2200, {3}, 1));
  volume = OpenImageBytes(dir, "broken.img", image);
  ListEntries(volume, "");
  EXPECT_EQ((Names{"Kept", "Kept", "Last"}), EntryNames(ListEntries(volume, "Disk:")));
  CloseVolume(volume);
}

TEST(HfsCatalog, DamagedRecordsAndNodesListWhatIsSound) {
  ScratchDir dir;
  HfsLayout layout;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(3));
  Bytes leaf = MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Disk", 2), HfsFolderRecord(2, "A", 20),
                                    HfsFolderRecord(2, "B", 21), HfsFolderRecord(2, "C", 22),
                                    HfsFolderRecord(2, "D", 23), HfsFolderRecord(2, "E", 24)});
  PutBE16(leaf, 510 - 2 * 2, 600);        // B: record offset past the node
  leaf[RecordOffset(leaf, 3) + 0] = 5;        // C: key length below 7
  leaf[RecordOffset(leaf, 4) + 6] = 40;       // D: name length above 31
  PutCatalogNode(image, layout, 1, leaf);
  Bytes second = MakeBTreeNode(0xFF, {HfsFolderRecord(2, "F", 25), HfsFolderRecord(2, "", 26)});
  PutBE16(second, 10, 300);  // more records than the node can hold an offset table for
  PutCatalogNode(image, layout, 2, second);
  Volume* volume = OpenImageBytes(dir, "damaged.img", image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  EXPECT_EQ((Names{"A", "E"}), EntryNames(ListEntries(volume, "Disk:")));
  CloseVolume(volume);

  // A node count far beyond the catalog is cut to what the catalog holds;
  // a catalog past the end of the medium lists nothing.
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(0xFFFFFFFF));
  volume = OpenImageBytes(dir, "count.img", image);
  EXPECT_EQ((Names{"Disk"}), EntryNames(ListEntries(volume, "")));
  CloseVolume(volume);
  PutBE16(image, 1024 + 150, 5000);
  volume = OpenImageBytes(dir, "away.img", image);
  EXPECT_EQ(Names{}, EntryNames(ListEntries(volume, "")));
  EXPECT_EQ(0, volume->catalogCount);
  CloseVolume(volume);
  // An allocation block size that is no multiple of 512.
  PutBE16(image, 1024 + 150, 0);
  PutBE32(image, 1024 + 20, 1000);
  volume = OpenImageBytes(dir, "odd.img", image);
  EXPECT_EQ(Names{}, EntryNames(ListEntries(volume, "")));
  CloseVolume(volume);
}

TEST(HfsCatalog, FirstBlockSectorUsesAll16Bits) {
  ScratchDir dir;
  HfsLayout layout;
  layout.firstBlockSector = 0x110;
  Bytes image = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(image, layout);
  PutCatalogNode(image, layout, 0, MakeBTreeHeaderNode(2));
  PutCatalogNode(image, layout, 1, MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Far", 2)}));
  Volume* volume = OpenImageBytes(dir, "far.img", image);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ((Names{"Far"}), EntryNames(ListEntries(volume, "")));
  CloseVolume(volume);
}

}  // namespace
