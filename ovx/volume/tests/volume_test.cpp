// Opening and closing volumes of every kind: the fields OpenVolume fills,
// header lengths by file size, the read-only fallback, creating images, the
// platform's error on failure, and what CloseVolume accepts.
#include "volume.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_devices.h"
#include "image_builders.h"
#include "volume_test_helpers.h"
#include "sector_transfer.h"
#include "test_files.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

Volume* OpenImage(const std::string& path, int flags) {
  return OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), flags);
}

// Keeps a file from being opened for writing while it lives. On Windows a
// program holding the file with read sharing only does that for everyone
// (Wine run as root ignores the read-only attribute); natively the file loses
// its write permission bits, which the native layer honours as the platform
// honours the read-only attribute.
class WriteProtection {
 public:
  explicit WriteProtection(const std::string& path) {
#ifdef _WIN32
    holder_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, holder_);
#else
    chmod(path.c_str(), 0444);
#endif
  }
  ~WriteProtection() {
#ifdef _WIN32
    if (holder_ != INVALID_HANDLE_VALUE) CloseHandle(holder_);
#endif
  }

 private:
#ifdef _WIN32
  HANDLE holder_;
#endif
};

int WriteOneSector(Volume* volume, int32_t sector, uint8_t fill) {
  uint8_t data[512];
  memset(data, fill, sizeof data);
  volume->startSector = sector;
  volume->sectorCount = 1;
  volume->buffer = data;
  return TransferSectors(volume, 1);
}

TEST(OpenVolume, ImageHeaderLengthAndSizeComeFromTheFileSizeAlone) {
  ScratchDir dir;
  struct Case {
    size_t bytes;
    int32_t headerLength;
    int32_t sizeKB;
  } cases[] = {
      {92176, 16, 90},     // 720 sectors of 128 bytes behind an ATR header
      {819284, 84, 800},   // 800 KB behind a Disk Copy 4.2 header
      {737280, 0, 720},
      {256 * 7 + 84, 84, 1},  // any content at all
      {256 * 9 + 16, 16, 2},
      {256 * 9 + 12, 0, 2},   // 12 bytes are found by detection, not by size
      {0, 0, 0},
  };
  for (const Case& c : cases) {
    std::string path = dir.File("image-" + std::to_string(c.bytes));
    ASSERT_TRUE(WriteFileBytes(path, Bytes(c.bytes, 0x84)));
    Volume* volume = OpenImage(path, OpenReadOnly | OpenNoDetect);
    ASSERT_NE(nullptr, volume) << c.bytes;
    EXPECT_EQ(c.headerLength, volume->headerLength) << c.bytes;
    EXPECT_EQ(c.sizeKB, volume->sizeKB) << c.bytes;
    EXPECT_EQ(KindImageFile, volume->kind);
    EXPECT_EQ(FormatNone, volume->format);
    EXPECT_EQ(512u, volume->sectorSize);
    EXPECT_EQ(0, volume->partitionStart);
    EXPECT_EQ(1, volume->readOnly);
    EXPECT_STREQ(path.c_str(), volume->imagePath);
    EXPECT_STREQ("", volume->deviceName);
    EXPECT_NE(nullptr, volume->catalog);
    EXPECT_EQ(0, volume->catalogCount);
    EXPECT_EQ(1, CloseVolume(volume));
  }
}

// Where the size leaves no known header length, a double-density ATR image
// and a Disk Copy image with tags are known by their headers, and only when
// every field agrees.
TEST(OpenVolume, HeadersReadWhereTheSizeTellsNothing) {
  ScratchDir dir;
  const Bytes ddAtr = MakeAtariDisk(true, true, true);
  ASSERT_EQ(144u, ddAtr.size() % 256);
  const Bytes tagged = WithTaggedDiskCopyHeader(MakeMfsVolume(400, 391, 1024), "MFS");
  ASSERT_EQ(419284u, tagged.size());
  auto changed = [](Bytes image, size_t offset, uint8_t value) {
    image.at(offset) = value;
    return image;
  };
  struct Case {
    const char* name;
    Bytes image;
    int32_t headerLength;
    int32_t sizeKB;
    VolumeFormat format;
  } cases[] = {
      {"dd.atr", ddAtr, 16, 179, FormatMyDos},
      {"dd-sd-header.atr", changed(changed(ddAtr, 4, 128), 5, 0), 16, 179, FormatMyDos},
      {"dd-paragraphs.atr", changed(ddAtr, 2, ddAtr[2] + 1), 0, 179, FormatNone},
      {"dd-magic.atr", changed(ddAtr, 0, 0x97), 0, 179, FormatNone},
      {"dd-sector-size.atr", changed(ddAtr, 5, 2), 0, 179, FormatNone},
      {"tagged.dc42", tagged, 84, 400, FormatMfs},
      {"tagged-0x02.dc42", changed(tagged, 81, 0x02), 84, 400, FormatMfs},
      {"tag-size.dc42", changed(tagged, 71, tagged[71] + 12), 0, 409, FormatNone},
      {"disk-format.dc42", changed(tagged, 80, 1), 0, 409, FormatNone},
      {"format-byte.dc42", changed(tagged, 81, 0x13), 0, 409, FormatNone},
      {"private-word.dc42", changed(tagged, 83, 1), 0, 409, FormatNone},
      {"name-length.dc42", changed(tagged, 0, 64), 0, 409, FormatNone},
  };
  for (const Case& c : cases) {
    Volume* volume = OpenImageBytes(dir, c.name, c.image);
    ASSERT_NE(nullptr, volume) << c.name;
    EXPECT_EQ(c.headerLength, volume->headerLength) << c.name;
    EXPECT_EQ(c.sizeKB, volume->sizeKB) << c.name;
    EXPECT_EQ(c.format, volume->format) << c.name;
    CloseVolume(volume);
  }
}

TEST(OpenVolume, ReadWriteUnlessTheFileIsWriteProtected) {
  ScratchDir dir;
  std::string path = dir.File("disk.img");
  ASSERT_TRUE(WriteFileBytes(path, Bytes(4096, 0)));

  Volume* volume = OpenImage(path, 0);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(0, volume->readOnly);
  EXPECT_NE(0, WriteOneSector(volume, 1, 0x5A));
  CloseVolume(volume);
  EXPECT_EQ(0x5A, ReadFileBytes(path).at(512));

  // Without flags a write-protected image still opens, for reading only.
  {
    WriteProtection protection(path);
    volume = OpenImage(path, 0);
    ASSERT_NE(nullptr, volume);
    EXPECT_EQ(1, volume->readOnly);
    EXPECT_EQ(0, WriteOneSector(volume, 2, 0x77));
    CloseVolume(volume);
  }
  Bytes after = ReadFileBytes(path);
  EXPECT_EQ(4096u, after.size());
  EXPECT_EQ(0, after.at(1024));

  // OpenReadOnly refuses writes even where the file could take them.
  std::string writable = dir.File("writable.img");
  ASSERT_TRUE(WriteFileBytes(writable, Bytes(4096, 0)));
  volume = OpenImage(writable, OpenReadOnly);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(1, volume->readOnly);
  EXPECT_EQ(0, WriteOneSector(volume, 0, 0x11));
  CloseVolume(volume);
  EXPECT_EQ(Bytes(4096, 0), ReadFileBytes(writable));
}

TEST(OpenVolume, CreateMakesOrTruncatesAWritableImage) {
  ScratchDir dir;
  std::string path = dir.File("new.img");
  Volume* volume = OpenImage(path, OpenCreate | OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(0, volume->readOnly);
  EXPECT_EQ(0, volume->sizeKB);
  EXPECT_NE(0, WriteOneSector(volume, 3, 0xC3));
  CloseVolume(volume);
  Bytes made = ReadFileBytes(path);
  ASSERT_EQ(4 * 512u, made.size());
  EXPECT_EQ(0, made[0]);
  EXPECT_EQ(0xC3, made[3 * 512]);

  // An existing file is truncated; detection on the empty file finds nothing
  // and, reading only, leaves it empty.
  volume = OpenImage(path, OpenCreate);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(FormatNone, volume->format);
  EXPECT_EQ(0, volume->partitionStart);
  CloseVolume(volume);
  bool exists = false;
  EXPECT_EQ(0u, ReadFileBytes(path, &exists).size());
  EXPECT_TRUE(exists);
}

TEST(OpenVolume, FailuresReturnNullWithThePlatformsReason) {
  ScratchDir dir;
  SetLastError(NO_ERROR);
  EXPECT_EQ(nullptr, OpenImage(dir.File("missing.img"), OpenReadOnly));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_EQ(nullptr, OpenImage(dir.File("missing.img"), 0));
  EXPECT_EQ(nullptr, OpenImage(dir.File("no-such-folder") + "/x.img", OpenCreate));
  EXPECT_FALSE(FileExists(dir.File("missing.img")));

  // A folder is no image.
  EXPECT_EQ(nullptr, OpenImage(dir.path(), OpenReadOnly));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

  EXPECT_EQ(nullptr, OpenVolume(KindImageFile, 0, OpenReadOnly));
  EXPECT_EQ(nullptr, OpenVolume(static_cast<VolumeKind>(0), 0, 0));
  EXPECT_EQ(nullptr, OpenVolume(static_cast<VolumeKind>(5), 0, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(OpenVolume, PathsOfUpTo259CharactersOpen) {
  ScratchDir dir;
  std::string prefix = dir.path() + (dir.path().find('\\') != std::string::npos ? "\\" : "/");
  const size_t fileLength = 20;
  ASSERT_LT(prefix.size() + fileLength + 2, 259u);
  // One folder fills the path up to the length wanted; the file name is the rest.
  std::string folder = prefix + std::string(259 - prefix.size() - fileLength - 1, 'd');
  ASSERT_TRUE(MakeDir(folder));
  std::string path = folder + prefix.back() + std::string(fileLength, 'f');
  ASSERT_EQ(259u, path.size());
  Bytes image = MakeHfsVolume(800, "Long");
  ASSERT_TRUE(WriteFileBytes(path, image));

  Volume* volume = OpenImage(path, OpenReadOnly);
  ASSERT_NE(nullptr, volume);
  EXPECT_STREQ(path.c_str(), volume->imagePath);
  EXPECT_EQ(FormatHfs, volume->format);
  CloseVolume(volume);

  std::string longer = path + "x";
  ASSERT_TRUE(WriteFileBytes(longer, image));
  SetLastError(NO_ERROR);
  EXPECT_EQ(nullptr, OpenImage(longer, OpenReadOnly));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
}

TEST(OpenVolume, LogicalDrivesHaveNoSectors) {
  Volume* volume = OpenVolume(KindLogicalDrive, 0, OpenReadOnly);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(FormatNone, volume->format);
  EXPECT_EQ(1, volume->readOnly);
  uint8_t sector[512];
  EXPECT_EQ(0, ReadSectors(volume, 0, 1, sector));
  EXPECT_EQ(1, CloseVolume(volume));

  volume = OpenVolume(KindLogicalDrive, 0, 0);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(0, WriteOneSector(volume, 0, 1));
  CloseVolume(volume);
}

TEST(CloseVolume, RefusesUnknownKinds) {
  EXPECT_EQ(0, CloseVolume(nullptr));
  Volume record = {};
  EXPECT_EQ(0, CloseVolume(&record));
  record.kind = static_cast<VolumeKind>(5);
  EXPECT_EQ(0, CloseVolume(&record));
}

TEST(OpenVolume, FloppyDrives) {
  FakeDevices devices;
  devices.floppy = MakeFatVolume(Fat720KFloppy());
  Volume* volume = OpenVolume(KindFloppy, 3, 0);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(1, volume->unit);
  EXPECT_EQ(512u, volume->sectorSize);
  // Both builds report a Windows NT platform; its drive gives the size itself.
  EXPECT_EQ(1, volume->isNT);
  EXPECT_EQ(1440, volume->sizeKB);
  EXPECT_EQ(FormatFat12, volume->format);
  ASSERT_FALSE(devices.floppyCalls.empty());
  EXPECT_TRUE(devices.floppyCalls[0].nt);
  EXPECT_EQ(0, volume->readOnly);
  CloseVolume(volume);

  // OpenReadOnly guards a floppy too.
  devices.floppyCalls.clear();
  volume = OpenVolume(KindFloppy, 0, OpenReadOnly | OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(0, volume->unit);
  EXPECT_EQ(FormatNone, volume->format);
  EXPECT_EQ(1, volume->readOnly);
  EXPECT_TRUE(devices.floppyCalls.empty());
  CloseVolume(volume);
}

TEST(OpenVolume, ScsiDevicesNeedAspiAndAnInquiry) {
  {
    // The build's own back-ends: no ASPI layer, so no SCSI volume.
    EXPECT_EQ(0, scsiAdapterCount);
    EXPECT_EQ(nullptr, OpenVolume(KindScsi, 0, OpenNoDetect));
  }
  FakeDevices devices;
  devices.scsi = Bytes(64 * 512);
  Volume* volume = OpenVolume(KindScsi, (3 << 4) | 5, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(3, volume->hostAdapter);
  EXPECT_EQ(5, volume->unit);
  EXPECT_STREQ("ORVANTA FAKE DISK       ", volume->deviceName);
  EXPECT_EQ(512u, volume->sectorSize);
  EXPECT_EQ(63 / 2, volume->sizeKB);  // the last block is not counted
  ASSERT_EQ(2u, devices.scsiCalls.size());
  EXPECT_EQ('I', devices.scsiCalls[0].command);
  EXPECT_EQ(32u, devices.scsiCalls[0].blockLength);
  EXPECT_EQ('C', devices.scsiCalls[1].command);
  EXPECT_EQ(8u, devices.scsiCalls[1].blockLength);
  CloseVolume(volume);

  // A CD-ROM reporting last block 299,999 of 2,048 bytes.
  devices.scsiBlockLength = 2048;
  devices.reportedLastBlock = 299999;
  volume = OpenVolume(KindScsi, 0, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(2048u, volume->sectorSize);
  EXPECT_EQ(599998, volume->sizeKB);
  CloseVolume(volume);

  // A capacity beyond what sizeKB holds counts as unknown, never wraps.
  devices.reportedLastBlock = 0xFFFFFFFF;
  devices.reportedBlockLength = 65536;
  volume = OpenVolume(KindScsi, 0, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(0, volume->sizeKB);
  CloseVolume(volume);

  // INQUIRY answered but READ CAPACITY not: open, size unknown.
  devices.answersReadCapacity = false;
  volume = OpenVolume(KindScsi, 0, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(512u, volume->sectorSize);
  EXPECT_EQ(0, volume->sizeKB);
  CloseVolume(volume);

  devices.answersInquiry = false;
  EXPECT_EQ(nullptr, OpenVolume(KindScsi, 0, OpenNoDetect));

  // Host adapters are numbered by ASPI with one byte; 12 is not taken for 4.
  devices.answersInquiry = true;
  devices.scsiCalls.clear();
  volume = OpenVolume(KindScsi, (12 << 4) | 3, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(12, volume->hostAdapter);
  EXPECT_EQ(3, volume->unit);
  ASSERT_FALSE(devices.scsiCalls.empty());
  EXPECT_EQ(12, devices.scsiCalls[0].unit.hostAdapter);
  CloseVolume(volume);
}

TEST(OpenVolume, ScsiDevicesWithUnusableBlocksOpenWithoutSizeAndTransferNothing) {
  FakeDevices devices;
  devices.scsi = MakeHfsVolume(64, "Blocks");
  struct Case {
    uint32_t lastBlock, blockLength;
    bool zero;
  } cases[] = {
      {127, 0, true},            // no block length at all
      {127, 1000, false},        // not a multiple of 512
      {255, 256, false},         // smaller than a sector
      {7, 131072, false},        // larger than any block a device has
      {0xFFFFFFFF, 2048, false}, // a size sizeKB cannot hold
  };
  for (const Case& c : cases) {
    devices.reportedLastBlock = c.lastBlock;
    devices.reportedBlockLength = c.blockLength;
    devices.reportsBlockLength0 = c.zero;
    devices.scsiCalls.clear();
    Volume* volume = OpenVolume(KindScsi, 1, 0);
    ASSERT_NE(nullptr, volume) << c.blockLength;
    EXPECT_STREQ("ORVANTA FAKE DISK       ", volume->deviceName);
    EXPECT_EQ(0u, volume->sectorSize) << c.blockLength;
    EXPECT_EQ(0, volume->sizeKB) << c.blockLength;
    EXPECT_EQ(FormatNone, volume->format) << c.blockLength;
    Bytes data(512);
    EXPECT_EQ(0, ReadSectors(volume, 2, 1, data.data())) << c.blockLength;
    EXPECT_EQ(0, ReadSectors(volume, 0, 0, data.data())) << c.blockLength;
    EXPECT_EQ(0, WriteOneSector(volume, 2, 0x11)) << c.blockLength;
    EXPECT_EQ(0, devices.ScsiCommands('R')) << c.blockLength;
    EXPECT_EQ(0, devices.ScsiCommands('W')) << c.blockLength;
    CloseVolume(volume);
  }
}

}  // namespace
