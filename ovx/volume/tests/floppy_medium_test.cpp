// Finding the layout of the disk in a floppy drive, over the stand-in drive
// of the back-ends: a BIOS drive answers only for sectors its disk has.
#include "floppy_medium.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fake_devices.h"
#include "image_builders.h"
#include "sector_transfer.h"

namespace {

// A floppy volume as the copy opens one: without detection, so taken for 1.44 MB.
Volume* OpenDrive(bool nt) {
  Volume* volume = OpenVolume(KindFloppy, 0, OpenNoDetect);
  if (volume) volume->isNT = nt;
  return volume;
}

// Moves the whole disk as the copy does, nine sectors at a time, from or to disk.
bool CopyWholeDisk(Volume* volume, Bytes* disk, bool write) {
  const int32_t sectors = volume->sizeKB * 2;
  disk->resize(static_cast<size_t>(sectors) * 512);
  for (int32_t n = 0; n < sectors; n += 9) {
    volume->head = volume->track = 0;
    volume->startSector = n;
    volume->sectorCount = std::min(9, sectors - n);
    volume->buffer = disk->data() + static_cast<size_t>(n) * 512;
    if (!TransferSectors(volume, write)) return false;
  }
  return true;
}

TEST(MeasureFloppy, TheBiosPathFindsEachLayoutBeforeAWholeDiskCopy) {
  struct Layout {
    int sectorsPerTrack, sides, tracks;
    int32_t sizeKB;
  } layouts[] = {{18, 2, 80, 1440}, {10, 2, 82, 820}, {10, 2, 80, 800},
                 {9, 2, 80, 720},   {10, 1, 80, 400}, {9, 1, 80, 360}};
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.sizeKB);
    FakeDevices devices;
    devices.floppySectorsPerTrack = layout.sectorsPerTrack;
    devices.floppySides = layout.sides;
    devices.floppy = MakeNumberedSectors(layout.sectorsPerTrack * layout.sides * layout.tracks);
    Volume* volume = OpenDrive(false);
    ASSERT_NE(nullptr, volume);
    volume->partitionStart = 3;  // where detection may have left it: the probes go by the disk itself
    EXPECT_EQ(1, MeasureFloppy(volume));
    EXPECT_EQ(layout.sizeKB, volume->sizeKB);
    EXPECT_EQ(3, volume->partitionStart);
    volume->partitionStart = 0;
    Bytes copy;
    EXPECT_TRUE(CopyWholeDisk(volume, &copy, false));
    EXPECT_TRUE(copy == devices.floppy);
    // Written back as a whole, not as far as a wrong layout lets it go.
    Bytes written = MakeNumberedSectors(layout.sizeKB * 2);
    std::reverse(written.begin(), written.end());
    EXPECT_TRUE(CopyWholeDisk(volume, &written, true));
    EXPECT_TRUE(written == devices.floppy);
    CloseVolume(volume);
  }

  // No disk: nothing reads, and the size is left as it was.
  FakeDevices devices;
  Volume* volume = OpenDrive(false);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(0, MeasureFloppy(volume));
  EXPECT_EQ(1440, volume->sizeKB);

  // On Windows NT the drive reports the layout with the read of sector 0.
  devices.floppy = MakeNumberedSectors(1440);
  devices.floppyCalls.clear();
  volume->isNT = 1;
  volume->partitionStart = 5;
  EXPECT_EQ(1, MeasureFloppy(volume));
  ASSERT_EQ(1u, devices.floppyCalls.size());
  EXPECT_TRUE(devices.floppyCalls[0].nt);
  EXPECT_EQ(0, devices.floppyCalls[0].partitionStart + devices.floppyCalls[0].startSector);
  EXPECT_EQ(1, devices.floppyCalls[0].sectorCount);
  EXPECT_EQ(5, volume->partitionStart);
  CloseVolume(volume);
}

}  // namespace
