// Format detection on images built byte by byte and, natively, on images made
// by hformat and mkfs.fat: every format, headers, partition maps, the bounded
// walk, the FAT12/FAT16 decision, and what each test changes in the volume.
#include "format_detect.h"

#include <gtest/gtest.h>

#include <string>

#include "byte_order.h"
#include "fake_devices.h"
#include "file_system_builders.h"
#include "hfsplus_builder.h"
#include "image_builders.h"
#include "sector_transfer.h"
#include "test_files.h"
#include "tool_images.h"

namespace {

struct Detected {
  VolumeFormat format;
  int32_t partitionStart;
  int32_t headerLength;
  int32_t sizeKB;
  bool operator==(const Detected& o) const {
    return format == o.format && partitionStart == o.partitionStart && headerLength == o.headerLength &&
           sizeKB == o.sizeKB;
  }
};

void PrintTo(const Detected& d, std::ostream* os) {
  *os << "{format " << d.format << ", partitionStart " << d.partitionStart << ", headerLength "
      << d.headerLength << ", sizeKB " << d.sizeKB << "}";
}

class DetectTest : public ::testing::Test {
 protected:
  // Opens the image as a file, which runs detection, and reports the result.
  Detected DetectImage(const Bytes& image) {
    std::string path = dir_.File("image-" + std::to_string(++count_));
    EXPECT_TRUE(WriteFileBytes(path, image));
    Volume* volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly);
    if (!volume) {
      ADD_FAILURE() << "cannot open " << path;
      return {};
    }
    Detected detected = {volume->format, volume->partitionStart, volume->headerLength, volume->sizeKB};
    CloseVolume(volume);
    return detected;
  }
  // Serves the image from a fake SCSI device and reports the result; *windows
  // receives the first block of every window read.
  Detected DetectOnScsi(const Bytes& image, uint32_t blockLength, std::vector<uint32_t>* windows = nullptr) {
    FakeDevices devices;
    devices.scsi = image;
    devices.scsi.resize((image.size() + blockLength - 1) / blockLength * blockLength);
    devices.scsiBlockLength = blockLength;
    Volume* volume = OpenVolume(KindScsi, 0, 0);
    if (!volume) {
      ADD_FAILURE() << "cannot open the fake device";
      return {};
    }
    Detected detected = {volume->format, volume->partitionStart, volume->headerLength, volume->sizeKB};
    if (windows) {
      for (const ScsiCall& call : devices.scsiCalls) {
        if (call.command == 'R') windows->push_back(call.firstBlock);
      }
    }
    CloseVolume(volume);
    return detected;
  }
  // Detection on a floppy drive of the given platform, the disk in a fake drive.
  Detected DetectOnFloppy(const Bytes& disk, bool nt) {
    FakeDevices devices;
    devices.floppy = disk;
    Volume* volume = OpenVolume(KindFloppy, 0, OpenNoDetect);
    if (!volume) return {};
    volume->isNT = nt;
    volume->format = DetectFormat(volume);
    Detected detected = {volume->format, volume->partitionStart, volume->headerLength, volume->sizeKB};
    CloseVolume(volume);
    return detected;
  }
  ScratchDir dir_;
  int count_ = 0;
};

TEST_F(DetectTest, MacintoshVolumes) {
  const Bytes hfs = MakeHfsVolume(800, "Disk");
  EXPECT_EQ((Detected{FormatHfs, 0, 0, 800}), DetectImage(hfs));
  EXPECT_EQ((Detected{FormatHfs, 0, 84, 800}), DetectImage(WithDiskCopyHeader(hfs, "Disk")));
  // The HFS test comes before the Atari one.
  Bytes hfsAtariBoot = hfs;
  hfsAtariBoot[1] = 0x03;
  EXPECT_EQ(FormatHfs, DetectImage(hfsAtariBoot).format);

  const Bytes mfs = MakeMfsVolume(400, 391, 1024);
  EXPECT_EQ((Detected{FormatMfs, 0, 84, 400}), DetectImage(WithDiskCopyHeader(mfs, "MFS")));
  // Only a Windows 9x floppy takes its size from the block: 391 blocks of 1 KB are 400 KB, 782 are 800.
  Bytes mfsOnHighDensity = MakeMfsVolume(1440, 391, 1024);
  EXPECT_EQ((Detected{FormatMfs, 0, 0, 400}), DetectOnFloppy(mfsOnHighDensity, false));
  EXPECT_EQ((Detected{FormatMfs, 0, 0, 1440}), DetectOnFloppy(mfsOnHighDensity, true));
  EXPECT_EQ((Detected{FormatMfs, 0, 0, 800}), DetectOnFloppy(MakeMfsVolume(1440, 782, 1024), false));

  // A CD-ROM of 2,048-byte blocks holding HFS.
  EXPECT_EQ(FormatHfs, DetectOnScsi(MakeHfsVolume(2048, "CD"), 2048).format);
}

TEST_F(DetectTest, MacOsExtendedVolumes) {
  HfsPlusPlan plan;
  AddHfsPlusFile(plan, kHfsPlusRootId, u"File", Bytes(100, 'x'));
  const Bytes plus = FlattenImage(BuildHfsPlusVolume(plan));
  const int32_t sizeKB = static_cast<int32_t>(plus.size() / 1024);
  EXPECT_EQ((Detected{FormatHfsPlus, 0, 0, sizeKB}), DetectImage(plus));
  plan.hfsx = true;
  EXPECT_EQ(FormatHfsPlus, DetectImage(FlattenImage(BuildHfsPlusVolume(plan))).format);
  // Each signature with its own version only.
  Bytes wrongVersion = plus;
  wrongVersion[1024 + 3] = 5;
  EXPECT_NE(FormatHfsPlus, DetectImage(wrongVersion).format);

  // Inside an HFS wrapper of 512-byte blocks whose first block is sector 4:
  // the embedded volume, not the wrapper.
  const Bytes wrapped = WrapInHfs(plus, 10);
  const int32_t wrappedKB = static_cast<int32_t>(wrapped.size() / 1024);
  EXPECT_EQ((Detected{FormatHfsPlus, 4 + 10, 0, wrappedKB}), DetectImage(wrapped));
  // A wrapper whose embedded volume is not where it says is the HFS volume it is.
  Bytes emptyWrapper = wrapped;
  emptyWrapper[(4 + 10) * 512 + 1024] = 0;
  EXPECT_EQ((Detected{FormatHfs, 0, 0, wrappedKB}), DetectImage(emptyWrapper));
  Bytes wrapperOfHfs = wrapped;
  wrapperOfHfs[1024 + 124] = 0;
  EXPECT_EQ((Detected{FormatHfs, 0, 0, wrappedKB}), DetectImage(wrapperOfHfs));

  // Behind a partition map, as Apple_HFS or Apple_HFSX, plain or wrapped.
  const uint32_t blocks = static_cast<uint32_t>(wrapped.size() / 512);
  std::vector<PartitionSpec> map = UsualPartitionMap(96, blocks);
  const uint32_t diskBlocks = 96 + blocks;
  EXPECT_EQ((Detected{FormatHfsPlus, 96, 0, static_cast<int32_t>(diskBlocks / 2)}),
            DetectImage(MakePartitionedDisk(diskBlocks, map, {{}, {}, plus})));
  EXPECT_EQ((Detected{FormatHfsPlus, 96 + 14, 0, static_cast<int32_t>(diskBlocks / 2)}),
            DetectImage(MakePartitionedDisk(diskBlocks, map, {{}, {}, wrapped})));
  map[2].type = "Apple_HFSX";
  EXPECT_EQ((Detected{FormatHfsPlus, 96, 0, static_cast<int32_t>(diskBlocks / 2)}),
            DetectImage(MakePartitionedDisk(diskBlocks, map, {{}, {}, plus})));
  std::vector<uint32_t> windows;
  EXPECT_EQ(FormatHfsPlus, DetectOnScsi(MakePartitionedDisk(diskBlocks, map, {{}, {}, plus}), 512, &windows).format);
  // The Apple_HFSX entry's partition is looked at (its sector 2) before it is taken.
  EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 3, 98, 96}), windows);
}

TEST_F(DetectTest, PartitionMapIsWalkedOneMapBlockAtATime) {
  const uint32_t hfsStart = 96, hfsBlocks = 1600;
  const Bytes disk = MakePartitionedDisk(hfsStart + hfsBlocks, UsualPartitionMap(hfsStart, hfsBlocks),
                                         {{}, {}, MakeHfsVolume(800, "Disk")});
  EXPECT_EQ((Detected{FormatHfs, 96, 0, (96 + 1600) / 2}), DetectImage(disk));
  std::vector<uint32_t> windows;
  EXPECT_EQ(FormatHfs, DetectOnScsi(disk, 512, &windows).format);
  EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 3, 96}), windows);
  // Through 2,048-byte blocks the map blocks fall inside device blocks.
  EXPECT_EQ(96, DetectOnScsi(disk, 2048).partitionStart);

  // The type's terminating zero is part of the match: a longer or padded type
  // is passed over and, the volume lying beyond the scan, nothing is found.
  for (const char* type : {"Apple_HFSX", "Apple_HFS "}) {
    std::vector<PartitionSpec> map = UsualPartitionMap(200, 1600);
    map[2].type = type;
    const Bytes distant = MakePartitionedDisk(1800, map, {{}, {}, MakeHfsVolume(800, "Disk")});
    EXPECT_EQ((Detected{FormatNone, 0, 0, 900}), DetectImage(distant)) << type;
    map[2].type = "Apple_HFS";
    EXPECT_EQ((Detected{FormatHfs, 200, 0, 900}), DetectImage(MakePartitionedDisk(1800, map, {{}, {}, MakeHfsVolume(800, "Disk")})));
  }
}

TEST_F(DetectTest, MalformedPartitionMapsEndTheWalk) {
  // An Apple_HFS entry pointing back at the map: at most 100 windows, then nothing.
  std::vector<PartitionSpec> map = UsualPartitionMap(96, 1600);
  map[2].start = 1;
  const Bytes loop = MakePartitionedDisk(1700, map, {});
  std::vector<uint32_t> windows;
  EXPECT_EQ((Detected{FormatNone, 0, 0, 1699 / 2}), DetectOnScsi(loop, 512, &windows));
  EXPECT_EQ(100u, windows.size());
  EXPECT_EQ((Detected{FormatNone, 0, 0, 850}), DetectImage(loop));

  // An unbroken run of map blocks.
  Bytes run(400 * 512);
  for (size_t block = 0; block < 400; ++block) {
    run[block * 512] = block == 0 ? 'E' : 'P';
    run[block * 512 + 1] = block == 0 ? 'R' : 'M';
  }
  windows.clear();
  EXPECT_EQ((Detected{FormatNone, 0, 0, 399 / 2}), DetectOnScsi(run, 512, &windows));
  EXPECT_EQ(100u, windows.size());
  EXPECT_EQ(99u, windows.back());

  // A start far beyond the medium (a damaged map) fails the read and finds nothing.
  for (uint32_t start : {0x7FFFFFFFu, 0x80000010u, 0xFFFFFFFFu}) {
    map = UsualPartitionMap(96, 1600);
    map[2].start = start;
    EXPECT_EQ((Detected{FormatNone, 0, 0, 850}), DetectImage(MakePartitionedDisk(1700, map, {}))) << start;
  }
}

TEST_F(DetectTest, AtariEightBitDisks) {
  EXPECT_EQ((Detected{FormatAtariDos, 0, 16, 90}), DetectImage(MakeAtariDisk(false, true, false)));
  EXPECT_EQ((Detected{FormatAtariDos, 0, 0, 90}), DetectImage(MakeAtariDisk(false, false, false)));
  EXPECT_EQ((Detected{FormatMyDos, 0, 16, 90}), DetectImage(MakeAtariDisk(true, true, false)));
  EXPECT_EQ((Detected{FormatMyDos, 0, 0, 90}), DetectImage(MakeAtariDisk(true, false, false)));
  EXPECT_EQ((Detected{FormatAtariDos, 0, 0, 180}), DetectImage(MakeAtariDisk(false, false, true)));
}

// DOS 2 disks whose boot sectors are all zero are known last, by a VTOC that
// fits the disk and a directory whose files in use lie on it.
TEST_F(DetectTest, AtariDosWithBlankBootSectors) {
  const Bytes text(300, 't');
  EXPECT_EQ((Detected{FormatAtariDos, 0, 16, 90}), DetectImage(MakeBlankBootAtariDos(true, false, text)));
  EXPECT_EQ((Detected{FormatAtariDos, 0, 16, 179}), DetectImage(MakeBlankBootAtariDos(true, true, text)));
  EXPECT_EQ((Detected{FormatAtariDos, 0, 0, 90}), DetectImage(MakeBlankBootAtariDos(false, false, text)));
  EXPECT_EQ((Detected{FormatAtariDos, 0, 0, 180}), DetectImage(MakeBlankBootAtariDos(false, true, text)));

  // Free and deleted entries may hold anything; any mix of DOS 2's own flags is taken.
  Bytes leftovers = MakeBlankBootAtariDos(false, false, text);
  PutAtariDirectory(leftovers, false, false,
                    {AtariDirEntry(0x42, 3, 4, "README  TXT"), AtariDirEntry(0x80, 0xFFFF, 0xFFFF, "GONE       "),
                     AtariDirEntry(0x00, 0xFFFF, 0, "           "), AtariDirEntry(0x62, 1, 720, "LAST       "),
                     AtariDirEntry(0x03, 2, 700, "EXTENDED   "), AtariDirEntry(0x43, 0, 10, "OPEN       ")});
  EXPECT_EQ(FormatAtariDos, DetectImage(leftovers).format);

  // One fault each, on single- and double-density ATR images: nothing is recognised.
  struct Fault {
    const char* what;
    uint8_t dosCode;
    uint16_t usable, free;
    Bytes entry;
  } faults[] = {
      {"DOS code 0", 0, 707, 700, {}},
      {"DOS code 3", 3, 707, 700, {}},
      {"no usable sectors", 2, 0, 0, {}},
      {"more usable sectors than the disk", 2, 721, 700, {}},
      {"more free than usable", 2, 707, 708, {}},
      {"a MyDOS folder", 2, 707, 700, AtariDirEntry(0x10, 8, 400, "GAMES      ")},
      {"an unknown flag", 2, 707, 700, AtariDirEntry(0x46, 1, 10, "ODD        ")},
      {"first sector 0", 2, 707, 700, AtariDirEntry(0x42, 1, 0, "NOWHERE    ")},
      {"first sector past the disk", 2, 707, 700, AtariDirEntry(0x42, 1, 721, "BEYOND     ")},
      {"more sectors than the disk", 2, 707, 700, AtariDirEntry(0x62, 721, 10, "HUGE       ")},
  };
  for (bool doubleDensity : {false, true}) {
    for (const Fault& f : faults) {
      Bytes image = MakeBlankBootAtariDos(true, doubleDensity, text);
      PutAtariVtoc(image, true, doubleDensity, f.dosCode, f.usable, f.free);
      if (!f.entry.empty()) {
        PutAtariDirectory(image, true, doubleDensity, {AtariDirEntry(0x42, 3, 4, "README  TXT"), f.entry});
      }
      EXPECT_EQ(FormatNone, DetectImage(image).format) << f.what << (doubleDensity ? ", double density" : "");
    }
  }

  // The signatures still decide first: a FAT floppy holding a DOS 2 VTOC and
  // directory where an Atari disk keeps them stays FAT.
  Bytes fat = MakeFatVolume(Fat720KFloppy());
  PutAtariVtoc(fat, false, true, 2, 707, 700);
  PutAtariDirectory(fat, false, true, {AtariDirEntry(0x42, 3, 4, "README  TXT")});
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 720}), DetectImage(fat));
  fat[0] = fat[11] = fat[12] = fat[16] = fat[21] = 0;
  EXPECT_EQ(FormatAtariDos, DetectImage(fat).format);
  EXPECT_EQ(FormatNone, DetectImage(Bytes(720 * 128)).format);
}

TEST_F(DetectTest, FatFloppies) {
  const Bytes dos720 = MakeFatVolume(Fat720KFloppy());
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 720}), DetectImage(dos720));
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 1440}), DetectImage(MakeFatVolume(Fat1440KFloppy())));
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 720}), DetectImage(MakeFatVolume(AtariStFloppy())));
  // The BIOS path takes the size from the boot sector; NT leaves it to the drive.
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 720}), DetectOnFloppy(dos720, false));
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 1440}), DetectOnFloppy(dos720, true));
  // Neither the jump nor the media byte 0xF9: not a FAT floppy.
  FatParams odd = AtariStFloppy();
  odd.media = 0xF0;
  EXPECT_EQ(FormatNone, DetectImage(MakeFatVolume(odd)).format);

  // 12 bytes in front of the boot sector.
  EXPECT_EQ((Detected{FormatFat12, 0, 12, 720}), DetectImage(WithHeader(dos720, 12, 0)));
  FatParams ss = Fat720KFloppy();
  ss.sides = 1;
  ss.totalSectors = 720;
  EXPECT_EQ((Detected{FormatFat12, 0, 12, 360}), DetectImage(WithHeader(MakeFatVolume(ss), 12, 0)));

  // Found three sectors in.
  EXPECT_EQ((Detected{FormatFat12, 3, 0, 721}), DetectImage(WithHeader(dos720, 3 * 512, 0x80)));
}

TEST_F(DetectTest, FixedDiskFatByClusterCount) {
  // The examples by size: 32,768 sectors are FAT16, 1,440 FAT12.
  EXPECT_EQ((Detected{FormatFat16, 0, 0, 16384}), DetectImage(MakeFatVolume(FatHardDisk(32768, 4))));
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 720}), DetectImage(MakeFatVolume(FatHardDisk(1440, 1))));
  // 8 MB in 4-sector clusters has fewer than 4,085 clusters: FAT12, whatever the size.
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 8192}), DetectImage(MakeFatVolume(FatHardDisk(16384, 4))));
  // The 32-bit total when the 16-bit one is 0.
  EXPECT_EQ((Detected{FormatFat16, 0, 0, 35000}), DetectImage(MakeFatVolume(FatHardDisk(70000, 8))));

  // Boundary of the cluster count: 4,084 clusters FAT12, 4,085 FAT16.
  Bytes boot = MakeFatBootSector(FatHardDisk(20000, 1));
  const uint32_t overhead = 1 + 2 * ReadLE16(boot.data() + 22) + 512 * 32 / 512;
  for (uint32_t clusters : {4084u, 4085u}) {
    PutLE16(boot, 19, static_cast<uint16_t>(overhead + clusters));
    EXPECT_EQ(clusters < 4085 ? FormatFat12 : FormatFat16, FixedDiskFatFormat(boot.data(), 0)) << clusters;
  }

  // An inconsistent parameter block falls back to the size.
  struct Damage {
    size_t offset;
    uint8_t value;
  } damages[] = {{13, 3}, {13, 0}, {12, 0}, {16, 0}, {22, 0}, {19, 0}};
  for (const Damage& d : damages) {
    Bytes damaged = MakeFatBootSector(FatHardDisk(1440, 1));
    damaged[d.offset] = d.value;
    if (d.offset == 22 || d.offset == 19) damaged[d.offset + 1] = 0;  // both bytes of a 16-bit field
    EXPECT_EQ(FormatFat12, FixedDiskFatFormat(damaged.data(), 720)) << d.offset;
    EXPECT_EQ(FormatFat16, FixedDiskFatFormat(damaged.data(), 721)) << d.offset;
  }
  // Bytes per sector above 4,096 or below 128, and more overhead than sectors.
  Bytes big = MakeFatBootSector(FatHardDisk(1440, 1));
  PutLE16(big, 11, 8192);
  EXPECT_EQ(FormatFat16, FixedDiskFatFormat(big.data(), 800));
  Bytes crowded = MakeFatBootSector(FatHardDisk(1440, 1));
  PutLE16(crowded, 22, 2000);
  EXPECT_EQ(FormatFat16, FixedDiskFatFormat(crowded.data(), 800));
}

TEST_F(DetectTest, BlankAndShortMedia) {
  std::vector<uint32_t> windows;
  EXPECT_EQ((Detected{FormatNone, 0, 0, 1439 / 2}), DetectOnScsi(Bytes(720 * 1024), 512, &windows));
  ASSERT_EQ(100u, windows.size());
  for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(i, windows[i]);
  EXPECT_EQ((Detected{FormatNone, 0, 0, 720}), DetectImage(Bytes(720 * 1024)));
  // Too short for a window anywhere, or running out part-way: nothing, from sector 0.
  EXPECT_EQ((Detected{FormatNone, 0, 0, 1}), DetectImage(Bytes(1024)));
  EXPECT_EQ((Detected{FormatNone, 0, 0, 15}), DetectImage(Bytes(30 * 512)));
  EXPECT_EQ((Detected{FormatNone, 0, 0, 0}), DetectImage(Bytes()));
}

#ifndef _WIN32
// Images made by the independent tools; they run only natively.
TEST_F(DetectTest, ImagesMadeByHformat) {
  const Bytes floppy = MakeHformatImage(dir_, 800, "Orvanta");
  ASSERT_EQ(800 * 1024u, floppy.size());
  EXPECT_EQ((Detected{FormatHfs, 0, 0, 800}), DetectImage(floppy));
  EXPECT_EQ((Detected{FormatHfs, 0, 84, 800}), DetectImage(WithDiskCopyHeader(floppy, "Orvanta")));
  const Bytes large = MakeHformatImage(dir_, 1440, "Large");
  EXPECT_EQ((Detected{FormatHfs, 0, 0, 1440}), DetectImage(large));
  const Bytes disk = MakePartitionedDisk(96 + 1600, UsualPartitionMap(96, 1600), {{}, {}, floppy});
  EXPECT_EQ((Detected{FormatHfs, 96, 0, 848}), DetectImage(disk));
  EXPECT_EQ((Detected{FormatHfs, 0, 0, 4 * 1023 / 2}), DetectOnScsi(MakeHformatImage(dir_, 2048, "CD"), 2048));
}

TEST_F(DetectTest, ImagesMadeByMkfsFat) {
  const Bytes dos720 = MakeMkfsFatImage(dir_, 720, "");
  ASSERT_EQ(720 * 1024u, dos720.size());
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 720}), DetectImage(dos720));
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 720}), DetectOnFloppy(dos720, false));
  EXPECT_EQ((Detected{FormatFat12, 0, 12, 720}), DetectImage(WithHeader(dos720, 12, 0)));
  const Bytes dos1440 = MakeMkfsFatImage(dir_, 1440, "");
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 1440}), DetectImage(dos1440));
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 1440}), DetectOnFloppy(dos1440, false));
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 720}), DetectImage(MakeMkfsFatImage(dir_, 720, "-A")));
  EXPECT_EQ((Detected{FormatFat12, 0, 0, 8192}), DetectImage(MakeMkfsFatImage(dir_, 8192, "-F 12")));
  EXPECT_EQ((Detected{FormatFat16, 0, 0, 16384}), DetectImage(MakeMkfsFatImage(dir_, 16384, "-F 16")));
  EXPECT_EQ((Detected{FormatFat16, 0, 0, 40960}), DetectImage(MakeMkfsFatImage(dir_, 40960, "-F 16")));
}
#endif

}  // namespace
