// FAT listings and file data on volumes built entry by entry: which entries
// are listed, entering folders down a path, chains through 12- and 16-bit
// FATs (odd clusters, entries across sector boundaries, loops, other end
// marks), the reserved sectors and the root directory's size.
#include "fat_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "file_system_builders.h"
#include "list_directory.h"
#include "short_name.h"
#include "volume_test_helpers.h"

namespace {

using Names = std::vector<std::string>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const uint8_t kFolder = 0x10;
// 1999-12-31 23:59:58 in DOS form.
const uint16_t kDate = (19 << 9) | (12 << 5) | 31;
const uint16_t kTime = (23 << 11) | (59 << 5) | 29;

// Links clusters into a chain and lays data along it, a cluster's worth in each.
void PutFatFile(Bytes& image, const FatParams& p, bool fat16, const std::vector<uint32_t>& clusters,
                const Bytes& data) {
  PutFatChain(image, p, fat16, clusters);
  const size_t clusterBytes = static_cast<size_t>(p.bytesPerSector) * p.sectorsPerCluster;
  for (size_t i = 0; i < clusters.size() && i * clusterBytes < data.size(); ++i) {
    const size_t end = std::min(data.size(), (i + 1) * clusterBytes);
    PutFatClusterBytes(image, p, clusters[i], Bytes(data.begin() + i * clusterBytes, data.begin() + end));
  }
}

Bytes Pattern(size_t length, uint8_t seed) {
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(seed ^ (i * 13 + i / 509));
  return data;
}

// A 720 KB floppy (1,024-byte clusters) with README.TXT, deleted and
// long-name entries, a free slot, GAMES (cluster 2) holding OLD (cluster 3)
// and GAMES.BAK; OLD holds PAC.COM.
Bytes MakeSampleFloppy(const FatParams& p) {
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p,
                    {FatDirEntry("README  TXT", 0x20, 10, 1000, kDate, kTime), FatDirEntry("\xE5OST    TXT", 0x20, 11, 5),
                     FatDirEntry("Ae\0l\0o\0n\0g\0", 0x0F, 0, 0), FatDirEntry("", 0, 0, 0),
                     FatDirEntry("GAMES      ", kFolder, 2, 0), FatDirEntry("\x05SCAPE     ", 0x20, 0, 0),
                     FatDirEntry("GAMES   BAK", 0x20, 12, 3)});
  PutFatFile(image, p, false, {2},
             Bytes(FatDirEntry(".          ", kFolder, 2, 0)) + FatDirEntry("..         ", kFolder, 0, 0) +
                 FatDirEntry("OLD        ", kFolder, 3, 0));
  PutFatFile(image, p, false, {3},
             Bytes(FatDirEntry(".          ", kFolder, 3, 0)) + FatDirEntry("..         ", kFolder, 2, 0) +
                 FatDirEntry("PAC     COM", 0x20, 20, 1));
  PutFatFile(image, p, false, {10}, Pattern(1000, 1));
  return image;
}

TEST(FatShortName, LeavesOutBlanksAndALastDot) {
  char text[kShortNameTextBytes];
  const std::pair<const char*, const char*> cases[] = {
      {"README  TXT", "README.TXT"}, {"GAMES      ", "GAMES"}, {"A B C  D E ", "ABCD.E"},
      {"ABCDEFGHIJK", "ABCDEFGH.IJK"}, {"X\0\0\0\0\0\0\0T\0T", "X.TT"}, {"           ", ""},
  };
  for (const auto& c : cases) {
    FormatShortName(reinterpret_cast<const uint8_t*>(c.first), text);
    EXPECT_STREQ(c.second, text) << c.first;
  }
}

TEST(FatListing, ListsUsedEntriesAndEntersFoldersDownThePath) {
  ScratchDir dir;
  Volume* volume = OpenImageBytes(dir, "floppy.img", MakeSampleFloppy(Fat720KFloppy()));
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(FormatFat12, volume->format);
  std::vector<DirEntry> root = ListEntries(volume, "");
  // Deleted and long-name entries are left out; a free slot does not end the directory.
  ASSERT_EQ((Names{"README.TXT", "GAMES", "\xE5SCAPE", "GAMES.BAK"}), EntryNames(root));
  EXPECT_EQ(4, volume->catalogCount);
  EXPECT_EQ(1000u, root[0].size);
  EXPECT_EQ(1000u, root[0].dataSize);
  EXPECT_EQ(0x20u, root[0].attributes);
  EXPECT_EQ(10, root[0].location[0]);
  EXPECT_EQ("1999-12-31 23:59:58", FileTimeText(root[0].modified));
  EXPECT_EQ(uint32_t{kFolder}, root[1].attributes);
  EXPECT_EQ((Names{"..", "OLD"}), EntryNames(ListEntries(volume, "GAMES\\")));
  EXPECT_STREQ("GAMES\\", volume->currentPath);
  EXPECT_EQ(2, volume->catalogCount);
  EXPECT_EQ((Names{"..", "PAC.COM"}), EntryNames(ListEntries(volume, "GAMES\\OLD\\")));
  // The listing is that of the deepest folder reached; a file's name enters nothing.
  EXPECT_EQ((Names{"README.TXT", "GAMES", "\xE5SCAPE", "GAMES.BAK"}), EntryNames(ListEntries(volume, "NOPE\\")));
  EXPECT_EQ((Names{"..", "OLD"}), EntryNames(ListEntries(volume, "GAMES\\NOPE\\")));
  EXPECT_EQ((Names{"README.TXT", "GAMES", "\xE5SCAPE", "GAMES.BAK"}), EntryNames(ListEntries(volume, "games\\")));
  EXPECT_EQ(4u, ListEntries(volume, "README.TXT\\").size());
  // array null: only the catalog is filled.
  EXPECT_EQ(0, ListDirectory(volume, "GAMES\\", nullptr));
  EXPECT_EQ(2, volume->catalogCount);
  CloseVolume(volume);
}

TEST(FatReadEntryData, FollowsTheChainUpToTheSize) {
  ScratchDir dir;
  const FatParams p = Fat720KFloppy();
  Bytes image = MakeSampleFloppy(p);
  // A file over four clusters, out of order, whose entry for cluster 341 lies
  // across the boundary of the first two FAT sectors (bytes 511 and 512).
  const Bytes long4 = Pattern(3500, 7);
  PutFatFile(image, p, false, {5, 341, 7, 4}, long4);
  PutFatRootEntries(image, p, {FatDirEntry("LONG    DAT", 0x20, 5, 3500), FatDirEntry("EMPTY   DAT", 0x20, 0, 0),
                               FatDirEntry("README  TXT", 0x20, 10, 1000), FatDirEntry("SHORT   DAT", 0x20, 10, 5000)});
  Volume* volume = OpenImageBytes(dir, "chains.img", image);
  ASSERT_NE(nullptr, volume);
  std::vector<DirEntry> root = ListEntries(volume, "");
  EXPECT_EQ(long4, ReadEntryBytes(volume, EntryNamed(root, "LONG.DAT")));
  EXPECT_EQ(4096u, EntryDataBufferBytes(volume, &root[0]));
  EXPECT_EQ(0u, ReadEntryBytes(volume, EntryNamed(root, "EMPTY.DAT")).size());
  // 1,000 bytes in one 1,024-byte cluster.
  EXPECT_EQ(Pattern(1000, 1), ReadEntryBytes(volume, EntryNamed(root, "README.TXT")));
  // A chain that ends before the size gives what it holds.
  EXPECT_EQ(1024u, ReadEntryBytes(volume, EntryNamed(root, "SHORT.DAT")).size());
  CloseVolume(volume);

  // FAT12 odd entries: cluster 3's entry is the upper 12 bits of bytes 4 and 5.
  Bytes odd = MakeFatVolume(p);
  PutFatRootEntries(odd, p, {FatDirEntry("ODD     DAT", 0x20, 3, 2048)});
  PutFatEntry(odd, p, false, 2, 0xABC);
  PutFatEntry(odd, p, false, 3, 0x008);
  PutFatEntry(odd, p, false, 8, 0xFFF);
  EXPECT_EQ(0x80, odd[512 + 4] & 0xF0);
  EXPECT_EQ(0x00, odd[512 + 5]);
  PutFatClusterBytes(odd, p, 3, Bytes(1024, 0x33));
  PutFatClusterBytes(odd, p, 8, Bytes(1024, 0x88));
  volume = OpenImageBytes(dir, "odd.img", odd);
  Bytes data = ReadEntryBytes(volume, ListEntries(volume, "")[0]);
  EXPECT_EQ(Bytes(1024, 0x33) + Bytes(1024, 0x88), data);
  CloseVolume(volume);
}

TEST(FatReadEntryData, ChainsThatLoopOrEndOddlyStop) {
  ScratchDir dir;
  const FatParams p = Fat720KFloppy();
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p, {FatDirEntry("LOOP    DAT", 0x20, 5, 100000), FatDirEntry("LOOPDIR    ", kFolder, 8, 0),
                               FatDirEntry("ENDS    DAT", 0x20, 20, 100000)});
  PutFatEntry(image, p, false, 5, 6);
  PutFatEntry(image, p, false, 6, 5);
  PutFatClusterBytes(image, p, 5, Bytes(1024, 5));
  PutFatClusterBytes(image, p, 6, Bytes(1024, 6));
  // A folder whose chain comes back to itself lists its entries once.
  PutFatEntry(image, p, false, 8, 8);
  PutFatClusterBytes(image, p, 8, FatDirEntry("INSIDE  TXT", 0x20, 0, 0));
  // 0xFF8 ends a chain as 0xFFF does; cluster 0xFF8 itself is never read.
  PutFatEntry(image, p, false, 20, 0xFF8);
  Volume* volume = OpenImageBytes(dir, "loops.img", image);
  ASSERT_NE(nullptr, volume);
  std::vector<DirEntry> root = ListEntries(volume, "");
  EXPECT_EQ(Bytes(1024, 5) + Bytes(1024, 6), ReadEntryBytes(volume, EntryNamed(root, "LOOP.DAT")));
  EXPECT_EQ((Names{"INSIDE.TXT"}), EntryNames(ListEntries(volume, "LOOPDIR\\")));
  EXPECT_EQ(1024u, ReadEntryBytes(volume, EntryNamed(root, "ENDS.DAT")).size());
  CloseVolume(volume);
}

// The buffer a read asks for is bounded by what the medium can hold: a size
// of 2 GB or more reads nothing and asks for nothing, and any other size for
// no more than the data area's clusters.
TEST(FatReadEntryData, BuffersAreBoundedByWhatTheMediumHolds) {
  ScratchDir dir;
  const FatParams p = Fat720KFloppy();
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p, {FatDirEntry("HUGE    DAT", 0x20, 5, 0x80000000u),
                               FatDirEntry("LARGE   DAT", 0x20, 5, 0x7FFFFFFFu)});
  PutFatChain(image, p, false, {5, 6});
  PutFatClusterBytes(image, p, 5, Bytes(1024, 5));
  PutFatClusterBytes(image, p, 6, Bytes(1024, 6));
  Volume* volume = OpenImageBytes(dir, "huge.img", image);
  ASSERT_NE(nullptr, volume);
  std::vector<DirEntry> root = ListEntries(volume, "");
  EXPECT_EQ(0u, EntryDataBufferBytes(volume, &root[0]));
  EXPECT_EQ(0u, ReadEntryBytes(volume, root[0]).size());
  EXPECT_LE(EntryDataBufferBytes(volume, &root[1]), 720u * 1024);
  EXPECT_EQ(Bytes(1024, 5) + Bytes(1024, 6), ReadEntryBytes(volume, root[1]));
  CloseVolume(volume);
}

#ifndef _WIN32
// Whenever memory runs out during a listing, later listings of the same
// volume are those of a fresh one: a folder cut short is never taken as
// known (its sub-folder SUB comes after the first 64 entries).
TEST(FatListing, RunningOutOfMemoryNeverLeavesAFolderTakenAsKnown) {
  ScratchDir dir;
  const FatParams p = Fat720KFloppy();
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p, {FatDirEntry("A          ", kFolder, 2, 0)});
  std::vector<Bytes> entries(150, FatDirEntry("F       TXT", 0x20, 0, 0));
  entries.push_back(FatDirEntry("SUB        ", kFolder, 20, 0));
  Bytes folder;
  for (const Bytes& e : entries) folder.insert(folder.end(), e.begin(), e.end());
  PutFatChain(image, p, false, {2, 3, 4, 5, 6});
  for (uint32_t c = 2; c <= 6; ++c) {
    PutFatClusterBytes(image, p, c, Bytes(folder.begin() + (c - 2) * 1024, folder.begin() + std::min<size_t>(folder.size(), (c - 1) * 1024)));
  }
  PutFatChain(image, p, false, {20});
  PutFatClusterBytes(image, p, 20, FatDirEntry("DEEP    TXT", 0x20, 0, 0));
  Volume* fresh = OpenImageBytes(dir, "oom.img", image);
  ASSERT_NE(nullptr, fresh);
  ListEntries(fresh, "");
  const Names inA = EntryNames(ListEntries(fresh, "A\\"));
  ASSERT_EQ(151u, inA.size());
  ASSERT_EQ((Names{"DEEP.TXT"}), EntryNames(ListEntries(fresh, "A\\SUB\\")));
  CloseVolume(fresh);
  for (long allowed = 0; allowed < 12; ++allowed) {
    Volume* volume = OpenImageBytes(dir, "oom.img", image);
    ASSERT_NE(nullptr, volume);
    ListEntries(volume, "");
    LimitHeapAllocations(allowed);
    DirEntry* array = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), 0, sizeof(DirEntry)));
    if (array) {
      ListDirectory(volume, "A\\", &array);
      HeapFree(GetProcessHeap(), 0, array);
    }
    LimitHeapAllocations(-1);
    EXPECT_EQ((Names{"DEEP.TXT"}), EntryNames(ListEntries(volume, "A\\SUB\\"))) << allowed;
    EXPECT_EQ(inA, EntryNames(ListEntries(volume, "A\\"))) << allowed;
    CloseVolume(volume);
  }
}
#endif

// A root directory whose second chunk cannot be read lists nothing, and the
// catalog keeps nothing of the first.
TEST(FatListing, AnUnreadableRootChunkLeavesNothingListed) {
  ScratchDir dir;
  FatParams p = FatHardDisk(32768, 4);
  p.rootEntries = 4096;
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p, std::vector<Bytes>(100, FatDirEntry("F       TXT", 0x20, 0, 0)));
  image.resize(FatRootOffset(p) + 3000 * 32);  // ends in the root's second chunk
  Volume* volume = OpenImageBytes(dir, "cut.img", image);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(FormatFat16, volume->format);
  EXPECT_EQ(0u, ListEntries(volume, "").size());
  EXPECT_EQ(0, volume->catalogCount);
  CloseVolume(volume);
}

TEST(FatGeometry, ReservedSectorsRootSizeAndSixteenBitEntries) {
  ScratchDir dir;
  // Four reserved sectors before the first FAT, as current tools make them.
  FatParams p = FatHardDisk(32768, 4);
  p.reservedSectors = 4;
  p.rootEntries = 500;  // the root's last sector is partly used
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p, {FatDirEntry("DATA    BIN", 0x20, 300, 5000), FatDirEntry("SUB        ", kFolder, 2, 0)});
  const Bytes data = Pattern(5000, 3);
  PutFatFile(image, p, true, {300, 0x1234, 301}, data);
  PutFatFile(image, p, true, {2}, FatDirEntry("IN      TXT", 0x20, 0, 0));
  Volume* volume = OpenImageBytes(dir, "fat16.img", image);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(FormatFat16, volume->format);
  std::vector<DirEntry> root = ListEntries(volume, "");
  ASSERT_EQ((Names{"DATA.BIN", "SUB"}), EntryNames(root));
  EXPECT_EQ(data, ReadEntryBytes(volume, root[0]));
  EXPECT_EQ((Names{"IN.TXT"}), EntryNames(ListEntries(volume, "SUB\\")));
  CloseVolume(volume);

  // Fewer than 16 root entries, or a sector size that is no multiple of 512: nothing.
  Bytes small = MakeSampleFloppy(Fat720KFloppy());
  PutLE16(small, 17, 15);
  volume = OpenImageBytes(dir, "small.img", small);
  EXPECT_EQ(0u, ListEntries(volume, "").size());
  CloseVolume(volume);
  FatParams oddParams = FatHardDisk(32768, 4);
  oddParams.bytesPerSector = 768;
  Bytes odd = MakeFatVolume(oddParams);
  PutFatRootEntries(odd, oddParams, {FatDirEntry("DATA    BIN", 0x20, 0, 0)});
  volume = OpenImageBytes(dir, "oddsector.img", odd);
  EXPECT_NE(FormatNone, volume->format);
  EXPECT_EQ(0u, ListEntries(volume, "").size());
  CloseVolume(volume);
}

}  // namespace

// An image opened read-only keeps the folders its listings reach; one opened
// for writing walks from the root every time. Both must list every path alike,
// whatever was listed before, including paths through "." and "..", names
// holding '\', blank names, names that come twice and names that are files.
TEST(FatListing, KeptFoldersListAsAWalkFromTheRoot) {
  ScratchDir dir;
  const FatParams p = Fat720KFloppy();
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p,
                    {FatDirEntry("A          ", kFolder, 2, 0), FatDirEntry("FILE    TXT", 0x20, 0, 0),
                     FatDirEntry("A          ", kFolder, 6, 0), FatDirEntry("B          ", kFolder, 4, 0)});
  // A: ".", "..", C and a second C; C: "..", a file, and a "." pointing at the second C.
  PutFatFile(image, p, false, {2},
             Bytes(FatDirEntry(".          ", kFolder, 2, 0)) + FatDirEntry("..         ", kFolder, 0, 0) +
                 FatDirEntry("C          ", kFolder, 3, 0) + FatDirEntry("C          ", kFolder, 5, 0) +
                 FatDirEntry("IN_A    TXT", 0x20, 0, 0));
  PutFatFile(image, p, false, {3},
             Bytes(FatDirEntry("..         ", kFolder, 2, 0)) + FatDirEntry("IN_C    TXT", 0x20, 0, 0) +
                 FatDirEntry(".          ", kFolder, 5, 0));
  PutFatFile(image, p, false, {5}, FatDirEntry("SECOND  TXT", 0x20, 0, 0));
  PutFatFile(image, p, false, {6}, FatDirEntry("OTHER_A TXT", 0x20, 0, 0));
  // B holds a folder named "X\Y", one with a blank name, and X (after "X\Y").
  PutFatFile(image, p, false, {4},
             Bytes(FatDirEntry("..         ", kFolder, 0, 0)) + FatDirEntry("X\\Y        ", kFolder, 7, 0) +
                 FatDirEntry("           ", kFolder, 8, 0) + FatDirEntry("X          ", kFolder, 9, 0));
  PutFatFile(image, p, false, {7}, FatDirEntry("IN_XY   TXT", 0x20, 0, 0));
  PutFatFile(image, p, false, {8}, FatDirEntry("IN_BLANKTXT", 0x20, 0, 0));
  PutFatFile(image, p, false, {9},
             Bytes(FatDirEntry("Y          ", kFolder, 10, 0)) + FatDirEntry("IN_X    TXT", 0x20, 0, 0));
  PutFatFile(image, p, false, {10}, FatDirEntry("IN_X_Y  TXT", 0x20, 0, 0));
  const std::string path = dir.File("walks.img");
  WriteFileBytes(path, image);

  const std::vector<std::string> paths = {
      "",          "A\\",          "A\\C\\",    "A\\C\\..\\",    "A\\C\\..\\C\\", "A\\..\\",   "A\\.\\",
      "A\\C\\.\\", "A\\NOPE\\",    "NOPE\\",    "A",             "A\\C",          "FILE.TXT\\", "B\\",
      "B\\X\\Y\\", "B\\X\\",       "B\\X\\Y",   "B\\\\",         "B\\..\\A\\",    "\\",         "A\\C\\IN_C.TXT\\",
  };
  auto open = [&](int flags) {
    return OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), flags);
  };
  Volume* walking = open(0);
  ASSERT_NE(nullptr, walking);
  ASSERT_EQ(FormatFat12, walking->format);
  auto expectSame = [&](Volume* keeping, const std::string& folder, const std::string& when) {
    const std::vector<DirEntry> expected = ListEntries(walking, folder);
    const std::vector<DirEntry> got = ListEntries(keeping, folder);
    ASSERT_EQ(EntryNames(expected), EntryNames(got)) << folder << " " << when;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(0, memcmp(&expected[i], &got[i], sizeof(DirEntry))) << folder << " " << when;
    }
    EXPECT_EQ(walking->catalogCount, keeping->catalogCount) << folder << " " << when;
    EXPECT_STREQ(walking->currentPath, keeping->currentPath) << folder << " " << when;
  };
  // Each path as the first listing, after the root, and after the path itself.
  for (const std::string& folder : paths) {
    Volume* keeping = open(OpenReadOnly);
    expectSame(keeping, folder, "first");
    expectSame(keeping, "", "root");
    expectSame(keeping, folder, "after the root");
    expectSame(keeping, folder, "again");
    CloseVolume(keeping);
  }
  // All of them in order, then backwards, on one volume.
  Volume* keeping = open(OpenReadOnly);
  for (const std::string& folder : paths) expectSame(keeping, folder, "forwards");
  for (auto it = paths.rbegin(); it != paths.rend(); ++it) expectSame(keeping, *it, "backwards");
  CloseVolume(keeping);

  // A few of the listings, spelled out, so that both ways cannot agree on a wrong answer.
  keeping = open(OpenReadOnly);
  ListEntries(keeping, "");
  ListEntries(keeping, "A\\");
  EXPECT_EQ((Names{"..", "IN_C.TXT"}), EntryNames(ListEntries(keeping, "A\\C\\")));
  EXPECT_EQ(0u, ListEntries(keeping, "A\\..\\").size());  // ".." of A is cluster 0: nothing
  EXPECT_EQ((Names{"..", "C", "C", "IN_A.TXT"}), EntryNames(ListEntries(keeping, "A\\.\\")));
  // "." is never entered, wherever it points.
  EXPECT_EQ((Names{"..", "IN_C.TXT"}), EntryNames(ListEntries(keeping, "A\\C\\.\\")));
  EXPECT_EQ((Names{"IN_XY.TXT"}), EntryNames(ListEntries(keeping, "B\\X\\Y\\")));
  EXPECT_EQ((Names{"Y", "IN_X.TXT"}), EntryNames(ListEntries(keeping, "B\\X\\")));
  EXPECT_EQ((Names{"IN_BLANK.TXT"}), EntryNames(ListEntries(keeping, "B\\\\")));
  CloseVolume(keeping);
  CloseVolume(walking);
}

// What a read-only volume keeps is dropped when the root is listed, so that
// going back to the top shows an image another program has changed since.
TEST(FatListing, ListingTheRootStartsOver) {
  ScratchDir dir;
  const FatParams p = Fat720KFloppy();
  Bytes image = MakeFatVolume(p);
  PutFatRootEntries(image, p, {FatDirEntry("A          ", kFolder, 2, 0)});
  PutFatFile(image, p, false, {2}, FatDirEntry("X       TXT", 0x20, 0, 0));
  PutFatFile(image, p, false, {3}, FatDirEntry("Y       TXT", 0x20, 0, 0));
  Volume* volume = OpenImageBytes(dir, "changing.img", image);
  ASSERT_NE(nullptr, volume);
  ListEntries(volume, "");
  EXPECT_EQ((Names{"X.TXT"}), EntryNames(ListEntries(volume, "A\\")));
  PutFatRootEntries(image, p, {FatDirEntry("A          ", kFolder, 3, 0)});
  WriteFileBytes(dir.File("changing.img"), image);
  ListEntries(volume, "");
  EXPECT_EQ((Names{"Y.TXT"}), EntryNames(ListEntries(volume, "A\\")));
  CloseVolume(volume);
}

// On a 1.44 MB floppy the FAT12 entry of cluster 2,730 takes bytes 4,095 and
// 4,096 of the FAT. A chain through it reads alike from an image opened
// read-only (which keeps the FAT in memory) and from one opened for writing.
TEST(FatReadEntryData, AChainThroughTheFatsFourKilobyteMark) {
  ScratchDir dir;
  const FatParams p = Fat1440KFloppy();
  Bytes image = MakeFatVolume(p);
  const Bytes data = Pattern(2000, 9);
  PutFatFile(image, p, false, {2729, 2730, 758, 2731}, data);  // 758 = 0x2F6: its upper bits lie past the mark
  PutFatRootEntries(image, p, {FatDirEntry("ACROSS  DAT", 0x20, 2729, 2000)});
  const std::string path = dir.File("across.img");
  WriteFileBytes(path, image);
  for (int flags : {static_cast<int>(OpenReadOnly), 0}) {
    Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), flags);
    ASSERT_NE(nullptr, volume);
    EXPECT_EQ(data, ReadEntryBytes(volume, EntryNamed(ListEntries(volume, ""), "ACROSS.DAT"))) << flags;
    CloseVolume(volume);
  }
}
