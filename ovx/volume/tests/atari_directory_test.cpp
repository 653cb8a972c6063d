// Atari DOS 2 and MyDOS listings: which flags are listed, sizes from the
// sector size, and where the directory lies on single- and double-density
// images with and without an ATR header.
#include "atari_directory.h"

#include <gtest/gtest.h>

#include "file_system_builders.h"
#include "list_directory.h"
#include "volume_test_helpers.h"

namespace {

using Names = std::vector<std::string>;

std::vector<Bytes> SampleEntries() {
  return {AtariDirEntry(0x42, 10, 4, "DOS     SYS"), AtariDirEntry(0x80, 3, 20, "GONE    BAS"),
          AtariDirEntry(0x00, 0, 0, "           "), AtariDirEntry(0x62, 2, 30, "LOCKED  OBJ"),
          AtariDirEntry(0x43, 1, 40, "OPEN    DAT"), AtariDirEntry(0x42, 1, 50, "NOEXT      ")};
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
    // The path is ignored, and the files cannot be read.
    EXPECT_EQ(3u, ListEntries(volume, "ANY\\").size()) << c.name;
    EXPECT_EQ(3, volume->catalogCount) << c.name;
    EXPECT_EQ(0u, ReadEntryBytes(volume, entries[0]).size()) << c.name;
    CloseVolume(volume);
  }
}

}  // namespace
