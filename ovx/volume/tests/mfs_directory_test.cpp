// MFS listings: the flat directory at the top and nothing elsewhere, entries
// end to end in each directory sector, and entries that would leave it; file
// data through the allocation block map, whose links may loop or leave the volume.
#include "mfs_directory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fake_devices.h"
#include "file_system_builders.h"
#include "list_directory.h"
#include "mac_file.h"
#include "volume_test_helpers.h"

namespace {

using Names = std::vector<std::string>;

Bytes MfsEntry(const std::string& name, const std::string& typeCreator, uint32_t dataLength, uint32_t resourceLength,
               uint32_t modified) {
  MfsFileSpec file;
  file.type = typeCreator.substr(0, 4);
  file.creator = typeCreator.substr(4, 4);
  file.dataLength = dataLength;
  file.resourceLength = resourceLength;
  file.modified = modified;
  return MfsDirEntry(name, file);
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
  // Nothing for any other path.
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

  // A damaged length of 65,535 sectors: the walk ends at the medium's end.
  PutBE16(moved, 1024 + 16, 0xFFFF);
  FakeDevices devices;
  devices.scsi = moved;
  volume = OpenVolume(KindScsi, 0, OpenReadOnly);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(FormatMfs, volume->format);
  const size_t before = devices.scsiCalls.size();
  EXPECT_EQ((Names{"Far"}), EntryNames(ListEntries(volume, "")));
  const size_t mediumSectors = 799;  // the device's size leaves its last block out
  EXPECT_GE(mediumSectors - 0x104 + 2, devices.scsiCalls.size() - before);
  CloseVolume(volume);
}

TEST(MfsFileData, ForksFollowTheBlockMapUntilItEndsLoopsOrLeavesTheVolume) {
  ScratchDir dir;
  for (uint32_t blockBytes : {1024u, 2048u}) {
    SCOPED_TRACE(blockBytes);
    MfsLayout layout;
    layout.blockBytes = blockBytes;
    layout.blockCount = static_cast<uint16_t>(780 * 512 / blockBytes);
    Bytes image = MakeMfsLayoutVolume(layout);
    const Bytes letter = PatternBytes(2 * blockBytes + 500, 1), letterResource = PatternBytes(300, 2), icon = PatternBytes(blockBytes + 9, 3);
    // Blocks out of order and apart, as on a disk written over a long time.
    PutMfsFork(image, layout, {10, 4, 30}, letter);
    PutMfsFork(image, layout, {7}, letterResource);
    PutMfsFork(image, layout, {12, 13}, icon);
    const Bytes long1 = PatternBytes(5 * blockBytes, 4);
    PutMfsFork(image, layout, {20, 21}, long1);
    PutMfsMapEntry(image, 21, 20);  // back to the first block
    PutMfsFork(image, layout, {40}, long1);
    PutMfsMapEntry(image, 40, static_cast<uint16_t>(layout.blockCount + 2));  // past the last block
    PutMfsFork(image, layout, {41}, long1);
    PutMfsMapEntry(image, 41, 0);  // a free block
    MfsFileSpec record;
    auto file = [&](uint32_t number, uint32_t dataLength, uint16_t dataBlock, uint32_t resourceLength, uint16_t resourceBlock) {
      record.fileNumber = number;
      record.dataLength = dataLength;
      record.dataBlock = dataBlock;
      record.resourceLength = resourceLength;
      record.resourceBlock = resourceBlock;
      return record;
    };
    record.finderFlags = 0x2100;
    const Bytes letterEntry = MfsDirEntry("Letter", file(5, letter.size(), 10, 300, 7));
    record.finderFlags = 0;
    PutMfsDirectory(image, layout, {letterEntry, MfsDirEntry("Icon", file(6, 0, 0, icon.size(), 12)),
                                    MfsDirEntry("Loop", file(7, long1.size(), 20, 0, 0)),
                                    MfsDirEntry("Outside", file(8, long1.size(), 40, 0, 0)),
                                    MfsDirEntry("Free", file(9, long1.size(), 41, 0, 0)),
                                    MfsDirEntry("Huge", file(10, 0x7FFFFFF0u, 4, 0, 0)),
                                    MfsDirEntry("Empty", file(11, 0, 0, 0, 0))});
    Volume* volume = OpenImageBytes(dir, "mfs.img", image);
    ASSERT_NE(nullptr, volume);
    const std::vector<DirEntry> entries = ListEntries(volume, "");
    ASSERT_EQ(7u, entries.size());

    // Whole blocks of the data fork; the resource fork when the data fork is empty.
    const DirEntry letterFile = EntryNamed(entries, "Letter");
    EXPECT_EQ(3 * blockBytes, EntryDataBufferBytes(volume, &letterFile));
    Bytes read = ReadEntryBytes(volume, letterFile);
    EXPECT_EQ(3 * blockBytes, read.size());
    EXPECT_EQ(letter, Head(read, letter.size()));
    EXPECT_EQ(icon, Head(ReadEntryBytes(volume, EntryNamed(entries, "Icon")), icon.size()));
    EXPECT_EQ(2 * blockBytes, ReadEntryBytes(volume, EntryNamed(entries, "Loop")).size());
    EXPECT_EQ(blockBytes, ReadEntryBytes(volume, EntryNamed(entries, "Outside")).size());
    EXPECT_EQ(blockBytes, ReadEntryBytes(volume, EntryNamed(entries, "Free")).size());
    // A length no floppy holds asks for no more than the medium; its blocks
    // are the last two of Letter's.
    const DirEntry huge = EntryNamed(entries, "Huge");
    EXPECT_EQ(400u * 1024, EntryDataBufferBytes(volume, &huge));
    EXPECT_EQ(2 * blockBytes, ReadEntryBytes(volume, huge).size());
    EXPECT_EQ(0u, ReadEntryBytes(volume, EntryNamed(entries, "Empty")).size());
    EXPECT_EQ(letter.size(), EntryDataLength(volume, &letterFile));

    // Both forks and the Finder's information, found again by file number.
    MacFileInfo info;
    ASSERT_EQ(1, ReadMacFileInfo(volume, &letterFile, &info));
    EXPECT_EQ(5u, info.fileId);
    EXPECT_EQ(0, memcmp("TEXTMACA\x21\x00", info.finderInfo, 10));
    EXPECT_EQ(letter.size(), info.forkLength[MacDataFork]);
    EXPECT_EQ(300u, info.forkLength[MacResourceFork]);
    Bytes resource(static_cast<size_t>(MacForkBufferBytes(volume, &info, MacResourceFork)));
    resource.resize(ReadMacFork(volume, &info, MacResourceFork, resource.data()));
    EXPECT_EQ(letterResource, Head(resource, 300));
    DirEntry gone = letterFile;
    gone.nodeId = 99;
    EXPECT_EQ(0, ReadMacFileInfo(volume, &gone, &info));
    CloseVolume(volume);
  }
}

}  // namespace
