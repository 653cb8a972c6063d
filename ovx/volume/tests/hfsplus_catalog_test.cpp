// HFS+ and HFSX listings and file data on volumes built byte by byte: the
// top and the walk, what a file record puts into its DirEntry, names in
// UTF-8 and in the ANSI code page, hard links and their private folder,
// forks spilling into the extents overflow file, forks past 4 GB,
// compressed files, the key order of a catalog whose leaves were relinked,
// and damaged structures.
#include "hfsplus_catalog.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hfsplus_builder.h"
#include "hfsplus_names.h"
#include "list_directory.h"
#include "mac_time.h"
#include "volume_test_helpers.h"

namespace {

using Names = std::vector<std::string>;

// 2021-03-05 05:06:07 UTC in seconds since 1904.
const uint32_t kMarch2021 = 3697765567u;

Volume* OpenPlan(const ScratchDir& dir, const HfsPlusPlan& plan, int flags = OpenUtf8Names) {
  const std::string path = dir.File("plus.img");
  if (!WriteSparseImage(path, BuildHfsPlusVolume(plan))) return nullptr;
  return OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly | flags);
}

// Disk holds Letters (with Old and the file Draft), ReadMe (TEXT/ttxt,
// 5,000 bytes and a resource fork) and Icon (a resource fork only).
struct Sample {
  HfsPlusPlan plan;
  uint32_t letters, old;
  Bytes readMe = PatternBytes(5000, 1), resource = PatternBytes(300, 2), icon = PatternBytes(700, 3);
};

Sample MakeSample() {
  Sample s;
  s.plan.volumeName = u"Disk";
  s.plan.rootModified = kMarch2021;
  s.letters = AddHfsPlusFolder(s.plan, kHfsPlusRootId, u"Letters", kMarch2021 + 60);
  s.old = AddHfsPlusFolder(s.plan, s.letters, u"Old");
  AddHfsPlusFile(s.plan, s.letters, u"Draft", PatternBytes(10, 4));
  HfsPlusItem& readMe = AddHfsPlusFile(s.plan, kHfsPlusRootId, u"ReadMe", s.readMe, kMarch2021);
  readMe.type = "TEXT";
  readMe.creator = "ttxt";
  readMe.resource = s.resource;
  HfsPlusItem& icon = AddHfsPlusFile(s.plan, kHfsPlusRootId, u"Icon", {});
  icon.resource = s.icon;
  return s;
}

TEST(HfsPlusListing, TopHoldsTheRootFolderAndFilesCarryTheirForks) {
  ScratchDir dir;
  const Sample s = MakeSample();
  Volume* volume = OpenPlan(dir, s.plan);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(FormatHfsPlus, volume->format);
  std::vector<DirEntry> top = ListEntries(volume, "");
  ASSERT_EQ(1u, top.size());
  EXPECT_STREQ("Disk", top[0].name);
  EXPECT_EQ(2u, top[0].nodeId);
  EXPECT_EQ(1u, top[0].parentId);
  EXPECT_EQ(uint32_t{kDirEntryFolder}, top[0].attributes);

  // Key order: Icon, Letters, ReadMe (case does not count on HFS+).
  std::vector<DirEntry> disk = ListEntries(volume, "Disk:");
  EXPECT_EQ((Names{"Icon", "Letters", "ReadMe"}), EntryNames(disk));
  // The volume's catalog holds the folder last listed, with or without an array.
  EXPECT_EQ(3, volume->catalogCount);
  EXPECT_EQ(0, ListDirectory(volume, "Disk:Letters:", nullptr));
  ASSERT_EQ(2, volume->catalogCount);
  EXPECT_STREQ("Draft", volume->catalog[0].name);
  const DirEntry readMe = EntryNamed(disk, "ReadMe");
  EXPECT_EQ(5300u, readMe.size);
  EXPECT_EQ(5000u, readMe.dataSize);
  EXPECT_EQ(0, memcmp(readMe.macType, "TEXT", 4));
  EXPECT_EQ(0, memcmp(readMe.macCreator, "ttxt", 4));
  EXPECT_EQ(0u, readMe.attributes);
  // UTC as it is: the tests run without a time zone.
  EXPECT_EQ("2021-03-05 05:06:07", FileTimeText(readMe.modified));
  EXPECT_EQ("2021-03-05 05:07:07", FileTimeText(EntryNamed(disk, "Letters").modified));
  EXPECT_EQ(s.readMe, Head(ReadEntryBytes(volume, readMe), 5000));
  // A resource fork alone is what the file's data is.
  const DirEntry icon = EntryNamed(disk, "Icon");
  EXPECT_EQ(700u, icon.size);
  EXPECT_EQ(0u, icon.dataSize);
  EXPECT_EQ(s.icon, Head(ReadEntryBytes(volume, icon), 700));
  EXPECT_EQ(4096u, EntryDataBufferBytes(volume, &icon));

  MacFileInfo info;
  ASSERT_EQ(1, ReadMacFileInfo(volume, &readMe, &info));
  EXPECT_EQ(5000u, info.forkLength[MacDataFork]);
  EXPECT_EQ(300u, info.forkLength[MacResourceFork]);
  EXPECT_EQ(0, memcmp(info.finderInfo, "TEXTttxt", 8));
  Bytes resource(static_cast<size_t>(MacForkBufferBytes(volume, &info, MacResourceFork)));
  resource.resize(ReadMacFork(volume, &info, MacResourceFork, resource.data()));
  EXPECT_EQ(s.resource, Head(resource, 300));

  // The walk goes down, sideways and back up, and stops at a name not there.
  EXPECT_EQ((Names{"Draft", "Old"}), EntryNames(ListEntries(volume, "Disk:Letters:")));
  EXPECT_EQ(0u, ListEntries(volume, "Disk:Letters:Old:").size());
  EXPECT_EQ(3u, ListEntries(volume, "Disk").size());
  EXPECT_EQ(0u, ListEntries(volume, "Disk:letters:").size());
  EXPECT_EQ(0u, ListEntries(volume, "Disk:ReadMe:").size());
  EXPECT_EQ(2u, ListEntries(volume, "Disk:Letters").size());
  CloseVolume(volume);
}

TEST(HfsPlusListing, NamesInUtf8AndInTheAnsiCodePage) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  // Stored decomposed, as Mac OS stores them: e and a combining acute accent.
  const uint32_t cafe = AddHfsPlusFolder(plan, kHfsPlusRootId, u"Cafe\u0301");
  AddHfsPlusFile(plan, cafe, u"A\u0308 \u0160 \u20AC", PatternBytes(3, 2));
  AddHfsPlusFile(plan, cafe, std::u16string(200, u'\u00E9'), {});  // 400 bytes of UTF-8, id 0x12
  AddHfsPlusFile(plan, cafe, u"\u03A9mega \u6F22\u5B57", PatternBytes(3, 1));
  AddHfsPlusFile(plan, cafe, u"\U0001F600", {});  // beyond the BMP

  Volume* utf8 = OpenPlan(dir, plan);
  ASSERT_NE(nullptr, utf8);
  ASSERT_EQ(1u, ListEntries(utf8, "").size());
  EXPECT_EQ((Names{"Cafe\xCC\x81"}), EntryNames(ListEntries(utf8, "Disk:")));
  // Too long for a DirEntry: whole characters, then the file's id.
  std::string shortened;
  for (int i = 0; i < 128; ++i) shortened += "\xC3\xA9";
  shortened += "#12";
  EXPECT_EQ((Names{"A\xCC\x88 \xC5\xA0 \xE2\x82\xAC", shortened, "\xCE\xA9mega \xE6\xBC\xA2\xE5\xAD\x97", "\xF0\x9F\x98\x80"}),
            EntryNames(ListEntries(utf8, "Disk:Cafe\xCC\x81:")));
  CloseVolume(utf8);

  // The browser's names: composed where the code page has the letter, '?' for the rest.
  Volume* ansi = OpenPlan(dir, plan, 0);
  ASSERT_NE(nullptr, ansi);
  ASSERT_EQ(1u, ListEntries(ansi, "").size());
  EXPECT_EQ((Names{"Caf\xE9"}), EntryNames(ListEntries(ansi, "Disk:")));
  const Names names = EntryNames(ListEntries(ansi, "Disk:Caf\xE9:"));
  ASSERT_EQ(4u, names.size());
  EXPECT_EQ("\xC4 \x8A \x80", names[0]);
  EXPECT_EQ(std::string(200, '\xE9'), names[1]);
  EXPECT_EQ("?mega ??", names[2]);
  EXPECT_EQ('?', names[3][0]);
  CloseVolume(ansi);

  // Two marks compose in two steps; Hangul by arithmetic.
  uint16_t units[] = {u'u', 0x0308, 0x0304, 0x1112, 0x1161, 0x11AB, u'x', 0x0301};
  ASSERT_EQ(4u, ComposeUnits(units, 8));
  EXPECT_EQ(0x01D6, units[0]);
  EXPECT_EQ(0xD55C, units[1]);
  EXPECT_EQ(u'x', units[2]);
  EXPECT_EQ(0x0301, units[3]);
}

// Folders whose names the ANSI code page shows alike are still told apart
// when a folder is entered by its entry, as the browser does with its rows.
TEST(HfsPlusListing, FoldersShownAlikeAreEnteredByTheirEntry) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  const uint32_t first = AddHfsPlusFolder(plan, kHfsPlusRootId, u"\u0100");
  const uint32_t second = AddHfsPlusFolder(plan, kHfsPlusRootId, u"\u0101");
  AddHfsPlusFile(plan, first, u"In first", {});
  AddHfsPlusFile(plan, second, u"In second", {});
  Volume* volume = OpenPlan(dir, plan, 0);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  const std::vector<DirEntry> top = ListEntries(volume, "Disk:");
  ASSERT_EQ((Names{"?", "?"}), EntryNames(top));
  EXPECT_EQ((Names{"In first"}), EntryNames(ListEntries(volume, "Disk:?:")));
  ListEntries(volume, "Disk:");
  EXPECT_EQ(1, EnterListedFolder(volume, "Disk:?:", &top[1]));
  EXPECT_EQ((Names{"In second"}), EntryNames(ListEntries(volume, "Disk:?:")));
  EXPECT_EQ((Names{"In second"}), EntryNames(ListEntries(volume, "Disk:?:")));  // listed again (F5)
  EXPECT_EQ(2u, ListEntries(volume, "Disk:").size());
  EXPECT_EQ(1, EnterListedFolder(volume, "Disk:?:", &top[0]));
  EXPECT_EQ((Names{"In first"}), EntryNames(ListEntries(volume, "Disk:?:")));
  // Only a folder of the folder last listed, one name below it.
  EXPECT_EQ(0, EnterListedFolder(volume, "Disk:?:?:", &top[0]));
  EXPECT_EQ(0, EnterListedFolder(volume, "Disk:?:", &top[0]));
  EXPECT_EQ(0, EnterListedFolder(volume, "Other:", &top[0]));
  CloseVolume(volume);
}

TEST(HfsPlusListing, HardLinksStandForTheirTargetAndThePrivateFolderIsHidden) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  const uint32_t docs = AddHfsPlusFolder(plan, kHfsPlusRootId, u"Docs");
  HfsPlusItem& target = AddHfsPlusFile(plan, docs, u"Report", PatternBytes(9000, 5), kMarch2021);
  target.type = "TEXT";
  target.creator = "R*ch";
  const uint32_t targetId = target.id;
  AddHfsPlusHardLink(plan, kHfsPlusRootId, u"Report link", targetId);
  Volume* volume = OpenPlan(dir, plan);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  // The private folder ("\0\0\0\0HFS+ Private Data") is neither listed nor reached.
  const std::vector<DirEntry> top = ListEntries(volume, "Disk:");
  EXPECT_EQ((Names{"Docs", "Report link"}), EntryNames(top));
  const std::vector<DirEntry> inDocs = ListEntries(volume, "Disk:Docs:");
  ASSERT_EQ(1u, inDocs.size());
  for (const DirEntry& link : {top[1], inDocs[0]}) {
    EXPECT_EQ(targetId, link.nodeId) << link.name;
    EXPECT_EQ(9000u, link.size) << link.name;
    EXPECT_EQ(0, memcmp(link.macType, "TEXT", 4)) << link.name;
    EXPECT_EQ("2021-03-05 05:06:07", FileTimeText(link.modified)) << link.name;
    EXPECT_EQ(PatternBytes(9000, 5), Head(ReadEntryBytes(volume, link), 9000)) << link.name;
  }
  EXPECT_EQ(kHfsPlusRootId, top[1].parentId);
  CloseVolume(volume);
}

// A folder's hard link (as Time Machine makes them) lists as that folder,
// its contents reached through the link; the walk of every folder meets
// the folder once by its id.
TEST(HfsPlusListing, FolderHardLinksStandForTheirFolder) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  const uint32_t hidden = AddHfsPlusFolder(plan, kHfsPlusRootId, u".HFS+ Private Directory Data\r");
  const uint32_t target = AddHfsPlusFolder(plan, hidden, u"dir_77", kMarch2021);
  AddHfsPlusFile(plan, target, u"Inside", PatternBytes(30, 3));
  const uint32_t backups = AddHfsPlusFolder(plan, kHfsPlusRootId, u"Backups");
  for (const char16_t* name : {u"Monday", u"Tuesday"}) {
    HfsPlusItem& link = AddHfsPlusFile(plan, backups, name, {});
    link.type = "fdrp";
    link.creator = "MACS";
    link.special = 77;
  }
  HfsPlusItem& broken = AddHfsPlusFile(plan, backups, u"Gone", {});
  broken.type = "fdrp";
  broken.creator = "MACS";
  broken.special = 78;  // names no folder: stays the small file it is
  Volume* volume = OpenPlan(dir, plan);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  EXPECT_EQ((Names{"Backups"}), EntryNames(ListEntries(volume, "Disk:")));
  const std::vector<DirEntry> links = ListEntries(volume, "Disk:Backups:");
  ASSERT_EQ((Names{"Gone", "Monday", "Tuesday"}), EntryNames(links));
  EXPECT_EQ(0u, links[0].attributes);
  for (const DirEntry& link : {links[1], links[2]}) {
    EXPECT_EQ(uint32_t{kDirEntryFolder}, link.attributes) << link.name;
    EXPECT_EQ(target, link.nodeId) << link.name;
    EXPECT_EQ(backups, link.parentId) << link.name;
  }
  const std::vector<DirEntry> inside = ListEntries(volume, "Disk:Backups:Tuesday:");
  ASSERT_EQ((Names{"Inside"}), EntryNames(inside));
  EXPECT_EQ(PatternBytes(30, 3), Head(ReadEntryBytes(volume, inside[0]), 30));
  CloseVolume(volume);
}

TEST(HfsPlusReading, ForksThroughTheExtentsOverflowFileAndPast4GB) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  plan.blockBytes = 512;
  plan.extentsNodeBytes = 512;  // overflow records spread over several nodes and an index
  const Bytes scattered = PatternBytes(512 * 100, 6);
  AddHfsPlusFile(plan, kHfsPlusRootId, u"Scattered", scattered).fragmentBlocks = 1;  // 100 extents
  HfsPlusItem& large = AddHfsPlusFile(plan, kHfsPlusRootId, u"Large", PatternBytes(4096, 7));
  large.dataLength = (5ull << 30) + 1000;
  large.dataTail = PatternBytes(3000, 8);
  Volume* volume = OpenPlan(dir, plan);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  const std::vector<DirEntry> files = ListEntries(volume, "Disk:");
  ASSERT_EQ(2u, files.size());
  EXPECT_EQ(scattered, Head(ReadEntryBytes(volume, EntryNamed(files, "Scattered")), scattered.size()));

  // Past 4 GB the entry holds what it can; the full sizes come from the record.
  const DirEntry big = EntryNamed(files, "Large");
  EXPECT_EQ(UINT32_MAX, big.size);
  EXPECT_EQ(UINT32_MAX, big.dataSize);
  uint64_t size = 0, dataSize = 0;
  EntrySizes(volume, &big, &size, &dataSize);
  EXPECT_EQ((5ull << 30) + 1000, size);
  EXPECT_EQ(size, dataSize);
  MacForkReader reader;
  ASSERT_EQ(1, OpenEntryForkReader(volume, &big, &reader));
  EXPECT_EQ(size, reader.length);
  Bytes piece(4096);
  ASSERT_EQ(4096u, ReadMacForkAt(&reader, 0, piece.data(), 4096));
  EXPECT_EQ(PatternBytes(4096, 7), piece);
  // The last piece is cut at the fork's end; no 32-bit offset wraps on the way.
  const uint64_t tailStart = size - 3000;
  const uint64_t sectorStart = tailStart / 512 * 512;
  ASSERT_EQ(size - sectorStart, ReadMacForkAt(&reader, sectorStart, piece.data(), 4096));
  EXPECT_EQ(PatternBytes(3000, 8), Bytes(piece.begin() + (tailStart - sectorStart), piece.begin() + (size - sectorStart)));
  EXPECT_EQ(0u, ReadMacForkAt(&reader, size / 512 * 512 + 512, piece.data(), 512));
  CloseMacForkReader(&reader);
  CloseVolume(volume);
}

TEST(HfsPlusReading, CompressedFilesAreListedButNotRead) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  HfsPlusItem& packed = AddHfsPlusFile(plan, kHfsPlusRootId, u"Packed", {});
  packed.ownerFlags = 0x20;
  packed.resource = PatternBytes(600, 9);  // what Mac OS X keeps there is compressed data, not the file
  packed.compressedLength = 5000000000ull;
  HfsPlusItem& unsized = AddHfsPlusFile(plan, kHfsPlusRootId, u"Unsized", {});
  unsized.ownerFlags = 0x20;
  unsized.resource = PatternBytes(70, 9);
  AddHfsPlusFile(plan, kHfsPlusRootId, u"Plain", PatternBytes(10, 1));
  Volume* volume = OpenPlan(dir, plan);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  const std::vector<DirEntry> files = ListEntries(volume, "Disk:");
  ASSERT_EQ((Names{"Packed", "Plain", "Unsized"}), EntryNames(files));
  // Listed with the length Mac OS X shows, which its decmpfs attribute keeps;
  // without one, with its forks' lengths.
  uint64_t size = 0, dataSize = 0;
  EntrySizes(volume, &files[0], &size, &dataSize);
  EXPECT_EQ(UINT32_MAX, files[0].dataSize);
  EXPECT_EQ(5000000000ull, size);
  EXPECT_EQ(5000000000ull, dataSize);
  EXPECT_EQ(70u, files[2].size);
  EXPECT_EQ(0, EntryDataReadable(volume, &files[2]));
  EXPECT_EQ(0, EntryDataReadable(volume, &files[0]));
  EXPECT_EQ(1, EntryDataReadable(volume, &files[1]));
  Bytes buffer(4096, 0xEE);
  EXPECT_EQ(0u, ReadEntryData(volume, buffer.data(), &files[0]));
  EXPECT_EQ(0u, EntryDataBufferBytes(volume, &files[0]));
  MacForkReader reader;
  EXPECT_EQ(0, OpenEntryForkReader(volume, &files[0], &reader));
  CloseMacForkReader(&reader);
  CloseVolume(volume);
}

TEST(HfsPlusListing, KeyOrderOfRelinkedLeavesAndCaseOnHfsx) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  plan.catalogNodeBytes = 512;  // a few records a node: many leaves
  Names expected;
  for (int i = 0; i < 40; ++i) {
    char name[8];
    snprintf(name, sizeof name, "F%02d", i);
    AddHfsPlusFile(plan, kHfsPlusRootId, std::u16string(name, name + 3), {});
    expected.push_back(name);
  }
  plan.catalogLeavesBackward = true;
  Volume* volume = OpenPlan(dir, plan);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  EXPECT_EQ(expected, EntryNames(ListEntries(volume, "Disk:")));
  CloseVolume(volume);

  // HFSX tells names apart by case.
  HfsPlusPlan hfsx;
  hfsx.hfsx = true;
  hfsx.volumeName = u"X";
  AddHfsPlusFolder(hfsx, kHfsPlusRootId, u"Mail");
  const uint32_t lower = AddHfsPlusFolder(hfsx, kHfsPlusRootId, u"mail");
  AddHfsPlusFile(hfsx, lower, u"note", {});
  volume = OpenPlan(dir, hfsx);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  EXPECT_EQ((Names{"Mail", "mail"}), EntryNames(ListEntries(volume, "X:")));
  EXPECT_EQ((Names{"note"}), EntryNames(ListEntries(volume, "X:mail:")));
  EXPECT_EQ(0u, ListEntries(volume, "X:Mail:").size());
  CloseVolume(volume);
}

uint32_t Be32At(const Bytes& image, size_t at) {
  return static_cast<uint32_t>(image[at]) << 24 | image[at + 1] << 16 | image[at + 2] << 8 | image[at + 3];
}

// Where catalog node `node` of a volume built with 4,096-byte blocks and nodes lies.
size_t CatalogNodeAt(const Bytes& image, uint32_t node) {
  return static_cast<size_t>(Be32At(image, 1024 + 272 + 16)) * 4096 + static_cast<size_t>(node) * 4096;
}

std::vector<std::string> ListTop(const ScratchDir& dir, const Bytes& image) {
  Volume* volume = OpenImageBytes(dir, "damaged.img", image);
  if (!volume) return {"cannot open"};
  std::vector<std::string> names = EntryNames(ListEntries(volume, ""));
  if (!names.empty()) {
    const std::vector<std::string> inside = EntryNames(ListEntries(volume, names[0] + ":"));
    names.insert(names.end(), inside.begin(), inside.end());
  }
  CloseVolume(volume);
  return names;
}

TEST(HfsPlusDamage, DamagedCatalogsListWhatTheyCanAndNoMore) {
  ScratchDir dir;
  HfsPlusPlan plan;
  plan.volumeName = u"Disk";
  for (const char16_t* name : {u"A", u"B", u"C"}) AddHfsPlusFile(plan, kHfsPlusRootId, name, PatternBytes(100, 1));
  const Bytes image = FlattenImage(BuildHfsPlusVolume(plan));
  ASSERT_EQ((Names{"Disk", "A", "B", "C"}), ListTop(dir, image));
  const size_t header = CatalogNodeAt(image, 0);
  const size_t leaf = CatalogNodeAt(image, Be32At(image, header + 24));

  Bytes badNodeSize = image;
  PutBE16(badNodeSize, header + 32, 1000);
  EXPECT_EQ((Names{}), ListTop(dir, badNodeSize));

  // A leaf linked to itself, a node count far beyond the file: the sweep
  // reads each node of the catalog file once.
  Bytes looping = image;
  PutBE32(looping, leaf, Be32At(image, header + 24));
  PutBE32(looping, header + 36, 0xFFFFFFFF);
  EXPECT_EQ((Names{"Disk", "A", "B", "C"}), ListTop(dir, looping));

  // A record offset beyond the offset table costs that record only; one
  // pointing back at an earlier record is not read twice.
  Bytes offsets = image;
  const uint16_t count = static_cast<uint16_t>(image[leaf + 10] << 8 | image[leaf + 11]);
  ASSERT_GE(count, 6);  // the root folder, its thread, A, B, C and their threads
  PutBE16(offsets, leaf + 4096 - 2 * 3, 0xFFF0);  // record 2
  PutBE16(offsets, leaf + 4096 - 2 * 5, static_cast<uint16_t>(image[leaf + 4096 - 2] << 8 | image[leaf + 4096 - 1]));
  EXPECT_EQ((Names{"Disk", "B"}), ListTop(dir, offsets));

  // A fork far longer than the medium: what is read stays within the medium.
  Bytes endless = image;
  const size_t recordA = leaf + (image[leaf + 4096 - 6] << 8 | image[leaf + 4096 - 5]);
  PutBE32(endless, recordA + 10 + 88, 0x40000000);  // the data fork's length: 2^62 + 100 bytes
  Volume* volume = OpenImageBytes(dir, "endless.img", endless);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  const DirEntry a = EntryNamed(ListEntries(volume, "Disk:"), "A");
  uint64_t size = 0, dataSize = 0;
  EntrySizes(volume, &a, &size, &dataSize);
  EXPECT_EQ((1ull << 62) + 100, dataSize);
  EXPECT_EQ(endless.size(), EntryDataBufferBytes(volume, &a));
  EXPECT_EQ(4096u, ReadEntryBytes(volume, a).size());  // the one block its extents hold
  CloseVolume(volume);

  // Forks whose lengths add up past 64 bits: the size stands at the most,
  // never wrapped round to a small one.
  PutBE32(endless, recordA + 10 + 88, 0xFFFFFFFF);
  PutBE32(endless, recordA + 10 + 168, 0x80000000);
  volume = OpenImageBytes(dir, "wrapping.img", endless);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1u, ListEntries(volume, "").size());
  const DirEntry wrapping = EntryNamed(ListEntries(volume, "Disk:"), "A");
  EXPECT_EQ(UINT32_MAX, wrapping.size);
  EntrySizes(volume, &wrapping, &size, &dataSize);
  EXPECT_EQ(UINT64_MAX, size);
  EXPECT_EQ(0xFFFFFFFF00000064ull, dataSize);
  CloseVolume(volume);
}

}  // namespace
