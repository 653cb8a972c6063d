// Atari DOS 2 and MyDOS: which flags are listed, sizes from the sector size,
// where the directory lies on single- and double-density images with and
// without an ATR header; file data along sector chains that end, loop, leave
// the disk or wander into another file; MyDOS sub-folders; DOS 2 disks with
// blank boot sectors.
#include "atari_directory.h"

#include <gtest/gtest.h>

#include "file_system_builders.h"
#include "image_builders.h"
#include "list_directory.h"
#include "volume_test_helpers.h"

namespace {

using Names = std::vector<std::string>;

std::vector<Bytes> SampleEntries() {
  return {AtariDirEntry(0x42, 10, 4, "DOS     SYS"), AtariDirEntry(0x80, 3, 20, "GONE    BAS"),
          AtariDirEntry(0x00, 0, 0, "           "), AtariDirEntry(0x62, 2, 30, "LOCKED  OBJ"),
          AtariDirEntry(0x43, 1, 40, "OPEN    DAT"), AtariDirEntry(0x42, 1, 50, "NOEXT      ")};
}

// Points the link of sector at next, keeping its file number.
void Relink(Bytes& image, bool atr, bool doubleDensity, uint16_t sector, uint8_t fileNumber, uint16_t next) {
  const size_t link = AtariSectorOffset(atr, doubleDensity, sector) + (doubleDensity ? 256 : 128) - 3;
  image.at(link) = static_cast<uint8_t>(fileNumber << 2 | next >> 8);
  image.at(link + 1) = static_cast<uint8_t>(next);
}

TEST(AtariListing, ListsFilesInUseFromSectorsOfEveryDensity) {
  ScratchDir dir;
  struct Case {
    const char* name;
    bool myDos, atr, doubleDensity;
    uint32_t sectorBytes;
  } cases[] = {
      {"sd.atr", false, true, false, 128},  // 92,176 bytes
      {"sd.xfd", false, false, false, 128},
      {"mydos-sd.atr", true, true, false, 128},
      {"dd.xfd", false, false, true, 256},  // 184,320 bytes
      {"mydos-dd.xfd", true, false, true, 256},
      {"dd.atr", false, true, true, 256},  // 183,952 bytes: three 128-byte boot sectors
  };
  for (const Case& c : cases) {
    Bytes image = MakeAtariDisk(c.myDos, c.atr, c.doubleDensity);
    PutAtariDirectory(image, c.atr, c.doubleDensity, SampleEntries());
    Volume* volume = OpenImageBytes(dir, c.name, image);
    ASSERT_NE(nullptr, volume) << c.name;
    std::vector<DirEntry> entries = ListEntries(volume, "");
    ASSERT_EQ((Names{"DOS.SYS", "LOCKED.OBJ", "NOEXT"}), EntryNames(entries)) << c.name;
    EXPECT_EQ(10 * c.sectorBytes, entries[0].size) << c.name;
    EXPECT_EQ(10 * c.sectorBytes, entries[0].dataSize) << c.name;
    EXPECT_EQ(4, entries[0].location[0]) << c.name;
    EXPECT_EQ(0, entries[0].location[1]) << c.name;
    EXPECT_EQ(0u, entries[0].modified.dwLowDateTime | entries[0].modified.dwHighDateTime) << c.name;
    // A path that names no folder lists the top.
    EXPECT_EQ(3u, ListEntries(volume, "ANY\\").size()) << c.name;
    EXPECT_EQ(3, volume->catalogCount) << c.name;
    CloseVolume(volume);
  }
}

// DOS 2 disks whose boot sectors are blank, known by their VTOC and directory.
TEST(AtariListing, DisksWithBlankBootSectorsListAndRead) {
  ScratchDir dir;
  for (bool atr : {true, false}) {
    for (bool doubleDensity : {false, true}) {
      SCOPED_TRACE(std::string(atr ? "ATR" : "XFD") + (doubleDensity ? " DD" : " SD"));
      const Bytes text = PatternBytes(600, 9);
      Volume* volume = OpenImageBytes(dir, "blank-boot.img", MakeBlankBootAtariDos(atr, doubleDensity, text));
      ASSERT_NE(nullptr, volume);
      EXPECT_EQ(FormatAtariDos, volume->format);
      const std::vector<DirEntry> entries = ListEntries(volume, "");
      ASSERT_EQ((Names{"README.TXT"}), EntryNames(entries));
      EXPECT_EQ(text, ReadEntryBytes(volume, entries[0]));
      CloseVolume(volume);
    }
  }
}

// A single-density, a double-density and a double-density ATR disk (whose
// 256-byte sectors after the three boot sectors straddle 512-byte ones),
// each under DOS 2 and MyDOS.
TEST(AtariFileData, ChainsEndAtTheirLastSectorALoopTheDisksEndAnotherFileOrTheCount) {
  ScratchDir dir;
  for (bool myDos : {false, true}) {
    for (bool atr : {false, true}) {
      for (bool doubleDensity : {false, true}) {
        SCOPED_TRACE(std::string(myDos ? "MyDOS" : "DOS 2") + (atr ? " ATR" : " XFD") + (doubleDensity ? " DD" : " SD"));
        const size_t room = doubleDensity ? 253 : 125, sectorBytes = doubleDensity ? 256 : 128;
        Bytes image = MakeAtariDisk(myDos, atr, doubleDensity);
        const Bytes text = PatternBytes(2 * room + 50, 1);
        PutAtariFile(image, atr, doubleDensity, 0, {400, 10, 720}, text);  // 720: the last sector
        const Bytes looped = PatternBytes(2 * room, 2);
        PutAtariFile(image, atr, doubleDensity, 1, {20, 21}, looped);
        Relink(image, atr, doubleDensity, 21, 1, 20);
        PutAtariFile(image, atr, doubleDensity, 2, {30}, PatternBytes(room, 3));
        Relink(image, atr, doubleDensity, 30, 2, 721);  // past the disk
        const Bytes other = PatternBytes(2 * room, 4);
        PutAtariFile(image, atr, doubleDensity, 3, {40, 41}, other);
        PutAtariFile(image, atr, doubleDensity, 5, {41}, PatternBytes(room, 5));  // 41 is file 5's
        const Bytes counted = PatternBytes(3 * room, 6);
        PutAtariFile(image, atr, doubleDensity, 4, {50, 51, 52}, counted);
        PutAtariDirectory(image, atr, doubleDensity,
                          {AtariDirEntry(0x42, 3, 400, "TEXT    TXT"), AtariDirEntry(0x42, 10, 20, "LOOP    DAT"),
                           AtariDirEntry(0x42, 10, 30, "LEAVES  DAT"), AtariDirEntry(0x62, 10, 40, "OTHER   DAT"),
                           AtariDirEntry(0x42, 2, 50, "COUNT   DAT"), AtariDirEntry(0x42, 0, 0, "EMPTY      ")});
        Volume* volume = OpenImageBytes(dir, "disk.img", image);
        ASSERT_NE(nullptr, volume);
        const std::vector<DirEntry> entries = ListEntries(volume, "");
        ASSERT_EQ(6u, entries.size());
        // What the sectors hold, fewer bytes than the size the directory gives.
        const DirEntry textFile = EntryNamed(entries, "TEXT.TXT");
        EXPECT_EQ(3 * sectorBytes, textFile.size);
        EXPECT_EQ(text, ReadEntryBytes(volume, textFile));
        EXPECT_EQ(text.size(), EntryDataLength(volume, &textFile));
        EXPECT_EQ(looped, ReadEntryBytes(volume, EntryNamed(entries, "LOOP.DAT")));
        EXPECT_EQ(room, ReadEntryBytes(volume, EntryNamed(entries, "LEAVES.DAT")).size());
        EXPECT_EQ(Head(other, room), ReadEntryBytes(volume, EntryNamed(entries, "OTHER.DAT")));
        EXPECT_EQ(Head(counted, 2 * room), ReadEntryBytes(volume, EntryNamed(entries, "COUNT.DAT")));
        EXPECT_EQ(0u, ReadEntryBytes(volume, EntryNamed(entries, "EMPTY")).size());
        CloseVolume(volume);
      }
    }
  }
}

// A MyDOS disk larger than a 10-bit link reaches gives every link bit to the
// sector number, and keeps no file number.
TEST(AtariFileData, LargeMyDosDisksLinkWithSixteenBits) {
  ScratchDir dir;
  Bytes image = MakeAtariDisk(true, false, true);
  image.resize(2000 * 256);
  const Bytes data = PatternBytes(3 * 253, 7);
  PutAtariFile(image, false, true, 0, {1500, 20, 1999}, data, false);
  PutAtariDirectory(image, false, true, {AtariDirEntry(0x42, 3, 1500, "BIG     DAT")});
  Volume* volume = OpenImageBytes(dir, "big.xfd", image);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(FormatMyDos, volume->format);
  EXPECT_EQ(data, ReadEntryBytes(volume, EntryNamed(ListEntries(volume, ""), "BIG.DAT")));
  CloseVolume(volume);
}

TEST(MyDosFolders, FoldersListWithTheWayBackAndCanBeEnteredToAnyDepth) {
  ScratchDir dir;
  for (bool myDos : {true, false}) {
    SCOPED_TRACE(myDos ? "MyDOS" : "DOS 2");
    Bytes image = MakeAtariDisk(myDos, true, false);
    PutAtariDirectory(image, true, false,
                      {AtariDirEntry(0x42, 1, 10, "DOS     SYS"), AtariDirEntry(0x10, 8, 400, "GAMES      "),
                       AtariDirEntry(0x90, 8, 410, "GONE       ")});
    PutAtariDirectoryAt(image, true, false, 400,
                        {AtariDirEntry(0x42, 1, 420, "PONG    BAS"), AtariDirEntry(0x10, 8, 430, "OLD        ")});
    PutAtariDirectoryAt(image, true, false, 430, {AtariDirEntry(0x00, 0, 0, "           "),
                                                  AtariDirEntry(0x42, 1, 440, "NOTE    TXT")});
    PutAtariFile(image, true, false, 0, {420}, Bytes{'1', '0', ' ', 'P', 0x9B});
    PutAtariFile(image, true, false, 1, {440}, Bytes{'H', 'I', 0x9B});
    Volume* volume = OpenImageBytes(dir, "folders.atr", image);
    ASSERT_NE(nullptr, volume);
    const std::vector<DirEntry> top = ListEntries(volume, "");
    if (!myDos) {
      // DOS 2 has no folders: the entry is not one of its files either.
      EXPECT_EQ(Names{"DOS.SYS"}, EntryNames(top));
      EXPECT_EQ(Names{"DOS.SYS"}, EntryNames(ListEntries(volume, "GAMES\\")));
      CloseVolume(volume);
      continue;
    }
    ASSERT_EQ((Names{"DOS.SYS", "GAMES"}), EntryNames(top));
    EXPECT_EQ(kDirEntryFolder, top[1].attributes);
    EXPECT_EQ(0u, top[1].size);
    const std::vector<DirEntry> games = ListEntries(volume, "GAMES\\");
    ASSERT_EQ((Names{"..", "PONG.BAS", "OLD"}), EntryNames(games));
    EXPECT_EQ(kDirEntryFolder, games[0].attributes);
    EXPECT_EQ(kDirEntryFolder, games[2].attributes);
    EXPECT_STREQ("GAMES\\", volume->currentPath);
    EXPECT_EQ((Bytes{'1', '0', ' ', 'P', 0x9B}), ReadEntryBytes(volume, games[1]));
    const std::vector<DirEntry> old = ListEntries(volume, "GAMES\\OLD\\");
    ASSERT_EQ((Names{"..", "NOTE.TXT"}), EntryNames(old));
    // The sectors of a file carry its place in its own folder.
    EXPECT_EQ((Bytes{'H', 'I', 0x9B}), ReadEntryBytes(volume, old[1]));
    // The listing is that of the deepest folder the path reaches.
    EXPECT_EQ((Names{"..", "PONG.BAS", "OLD"}), EntryNames(ListEntries(volume, "GAMES\\NONE\\")));
    EXPECT_EQ((Names{"DOS.SYS", "GAMES"}), EntryNames(ListEntries(volume, "PONG.BAS\\")));
    CloseVolume(volume);
  }
}

// A folder whose directory lies past the disk cannot be entered; one that
// is its own parent can, as deep as a path reaches, without end.
TEST(MyDosFolders, FoldersThatPointOutsideTheDiskOrBackAtThemselves) {
  ScratchDir dir;
  Bytes image = MakeAtariDisk(true, false, false);
  PutAtariDirectory(image, false, false,
                    {AtariDirEntry(0x10, 8, 361, "SELF       "), AtariDirEntry(0x10, 8, 716, "EDGE       ")});
  Volume* volume = OpenImageBytes(dir, "loops.xfd", image);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ((Names{"SELF", "EDGE"}), EntryNames(ListEntries(volume, "")));
  EXPECT_EQ((Names{"..", "SELF", "EDGE"}), EntryNames(ListEntries(volume, "SELF\\SELF\\SELF\\")));
  EXPECT_EQ(0u, ListEntries(volume, "EDGE\\").size());
  CloseVolume(volume);
}

}  // namespace
