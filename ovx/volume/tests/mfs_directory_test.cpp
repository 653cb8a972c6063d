// MFS listings: the flat directory at the top and nothing elsewhere, entries
// end to end in each directory sector, and entries that would leave it.
#include "mfs_directory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "file_system_builders.h"
#include "list_directory.h"
#include "volume_test_helpers.h"

namespace {

using Names = std::vector<std::string>;

Bytes MfsEntry(const std::string& name, const std::string& typeCreator, uint32_t dataLength, uint32_t resourceLength,
               uint32_t modified) {
  Bytes entry(51 + name.size() + (name.size() % 2 == 0 ? 1 : 0));
  entry[0] = 0x80;
  std::copy_n(typeCreator.begin(), 8, entry.begin() + 2);
  PutBE32(entry, 24, dataLength);
  PutBE32(entry, 34, resourceLength);
  PutBE32(entry, 46, modified);
  entry[50] = static_cast<uint8_t>(name.size());
  std::copy(name.begin(), name.end(), entry.begin() + 51);
  return entry;
}

void PutEntries(Bytes& image, uint32_t sector, const std::vector<Bytes>& entries) {
  size_t at = sector * 512;
  for (const Bytes& entry : entries) {
    std::copy(entry.begin(), entry.end(), image.begin() + at);
    at += entry.size();
  }
}

TEST(MfsListing, ListsTheFlatDirectoryAtTheTopOnly) {
  ScratchDir dir;
  Bytes image = MakeMfsVolume(400, 391, 1024);
  PutBE16(image, 1024 + 14, 4);
  PutBE16(image, 1024 + 16, 3);
  PutEntries(image, 4, {MfsEntry("Letter", "TEXTMACA", 1000, 300, 3000000000u), MfsEntry("Odd", "APPLabcd", 0, 5, 0)});
  // Bit 7 clear ends the sector; the next sector is read all the same.
  Bytes ending = MfsEntry("Hidden", "TEXTttxt", 7, 0, 0);
  ending[0] = 0x00;
  PutEntries(image, 5, {MfsEntry("Later", "TEXTttxt", 7, 0, 0), ending});
  // An entry whose name would run past the sector ends that sector.
  const std::string a(255, 'a'), b(103, 'b');
  PutEntries(image, 6, {MfsEntry(a, "TEXTttxt", 1, 0, 0), MfsEntry(b, "TEXTttxt", 1, 0, 0),
                        MfsEntry("Past", "TEXTttxt", 1, 0, 0)});
  Volume* volume = OpenImageBytes(dir, "mfs.img", image);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(FormatMfs, volume->format);
  std::vector<DirEntry> entries = ListEntries(volume, "");
  ASSERT_EQ((Names{"Letter", "Odd", "Later", a, b}), EntryNames(entries));
  EXPECT_EQ(5, volume->catalogCount);
  EXPECT_EQ(1300u, entries[0].size);
  EXPECT_EQ(1000u, entries[0].dataSize);
  EXPECT_EQ(0, memcmp("TEXTMACA", entries[0].macType, 8));
  EXPECT_EQ("1999-01-24 05:20:00", FileTimeText(entries[0].modified));
  EXPECT_EQ(0u, entries[0].attributes);
  EXPECT_EQ(5u, entries[1].size);
  EXPECT_EQ(0u, entries[1].dataSize);
  // No data, and nothing for any other path.
  EXPECT_EQ(0u, EntryDataBufferBytes(volume, &entries[0]));
  uint8_t buffer[2048];
  EXPECT_EQ(0u, ReadEntryData(volume, buffer, &entries[0]));
  EXPECT_EQ(0, ListDirectory(volume, "Letter:", nullptr));
  EXPECT_STREQ("", volume->currentPath);
  EXPECT_EQ(5u, ListEntries(volume, "").size());
  CloseVolume(volume);

  // The directory's first sector is a 16-bit field.
  Bytes moved = MakeMfsVolume(400, 391, 1024);
  PutBE16(moved, 1024 + 14, 0x104);
  PutBE16(moved, 1024 + 16, 1);
  PutEntries(moved, 0x104, {MfsEntry("Far", "TEXTttxt", 1, 0, 0)});
  volume = OpenImageBytes(dir, "moved.img", moved);
  EXPECT_EQ((Names{"Far"}), EntryNames(ListEntries(volume, "")));
  CloseVolume(volume);
}

}  // namespace
