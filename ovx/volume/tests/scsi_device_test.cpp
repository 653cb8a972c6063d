// SCSI devices through each layer the build has, the platform's
// pass-through on both builds and the test WNASPI32.DLL on the 32-bit one,
// from the drive list's load of the layer to what the devices receive:
// opening with INQUIRY and READ CAPACITY, the forms and splits of READ and
// WRITE, the 2,048-byte path with its cache, refused writes, bad blocks and
// devices that never answer, and HFS CD-ROMs read like their image files.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "device_backends.h"
#include "fake_scsi_layers.h"
#include "file_system_builders.h"
#include "image_builders.h"
#include "list_directory.h"
#include "sector_transfer.h"
#include "volume.h"

namespace {

ReceivedScsiCommand Command(int hostAdapter, int target, std::vector<uint8_t> cdb, char direction, uint32_t length) {
  return {hostAdapter, target, 0, std::move(cdb), direction, length};
}

class ScsiDevice : public ::testing::TestWithParam<FakeScsiLayerKind> {
 protected:
  void SetUp() override {
    savedWaitLimit_ = scsiWaitLimitMs;
    layer_ = MakeFakeScsiLayer(GetParam());
    ASSERT_NE(nullptr, layer_) << "the test's WNASPI32.DLL must lie beside the test";
    // ASPI commands complete on the layer's thread, as real ones do, so that the polling is exercised.
    layer_->Reset(2, GetParam() == FakeAspi ? 2 : 0);
  }
  void TearDown() override {
    layer_.reset();
    scsiWaitLimitMs = savedWaitLimit_;
    scsiLayer = ScsiLayerNone;
    scsiAdapterCount = 0;
  }

  // Writes the image and puts a device of the kind at (hostAdapter, target).
  std::string AddDevice(int hostAdapter, int target, FakeScsiKind kind, const Bytes& image) {
    std::string path = dir_.File("device-" + std::to_string(hostAdapter) + "-" + std::to_string(target) + ".img");
    EXPECT_TRUE(WriteFileBytes(path, image));
    EXPECT_TRUE(layer_->AddDevice(hostAdapter, target, kind, path));
    return path;
  }

  // Decides the layer as the drive list does: it must be the one under test.
  void Load() {
    ASSERT_EQ(1, LoadScsiLayer());
    ASSERT_EQ(GetParam() == FakeAspi ? ScsiLayerAspi : ScsiLayerPassThrough, scsiLayer);
  }

  // The commands received since the last call.
  std::vector<ReceivedScsiCommand> NewCommands() {
    const std::vector<ReceivedScsiCommand> all = layer_->Commands();
    std::vector<ReceivedScsiCommand> fresh(all.begin() + std::min(seen_, all.size()), all.end());
    seen_ = all.size();
    return fresh;
  }

  std::unique_ptr<FakeScsiLayer> layer_;
  ScratchDir dir_;
  size_t seen_ = 0;
  uint32_t savedWaitLimit_ = 0;
};

TEST_P(ScsiDevice, OpenVolumeAsksInquiryAndReadCapacity) {
  AddDevice(0, 1, FakeScsiDisk, MakeNumberedSectors(201));
  AddDevice(1, 3, FakeScsiCdrom, MakeNumberedSectors(4 * 300));
  AddDevice(0, 2, FakeScsiNoCapacity, MakeNumberedSectors(64));
  Load();
  EXPECT_EQ(2, scsiAdapterCount);
  NewCommands();

  Volume* disk = OpenVolume(KindScsi, (0 << 4) | 1, OpenNoDetect);
  ASSERT_NE(nullptr, disk);
  EXPECT_EQ(0, disk->hostAdapter);
  EXPECT_EQ(1, disk->unit);
  EXPECT_EQ(0, disk->lun);
  EXPECT_STREQ("ORVANTA FAKE DISK       ", disk->deviceName);
  EXPECT_EQ(512u, disk->sectorSize);
  EXPECT_EQ(100, disk->sizeKB);  // 200 blocks before the last one
  EXPECT_EQ(0, disk->readOnly);
  EXPECT_EQ((std::vector<ReceivedScsiCommand>{Command(0, 1, {0x12, 0, 0, 0, 32, 0}, 'i', 32),
                                              Command(0, 1, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 'i', 8)}),
            NewCommands());
  CloseVolume(disk);

  Volume* cdrom = OpenVolume(KindScsi, (1 << 4) | 3, OpenReadOnly | OpenNoDetect);
  ASSERT_NE(nullptr, cdrom);
  EXPECT_STREQ("ORVANTA FAKE CD-ROM     ", cdrom->deviceName);
  EXPECT_EQ(2048u, cdrom->sectorSize);
  EXPECT_EQ(598, cdrom->sizeKB);
  EXPECT_EQ(1, cdrom->readOnly);
  CloseVolume(cdrom);

  // INQUIRY answered, READ CAPACITY not: open, with 512-byte sectors and no size.
  Volume* noCapacity = OpenVolume(KindScsi, 2, OpenNoDetect);
  ASSERT_NE(nullptr, noCapacity);
  EXPECT_EQ(512u, noCapacity->sectorSize);
  EXPECT_EQ(0, noCapacity->sizeKB);
  CloseVolume(noCapacity);

  // An absent target, a host adapter the layer does not have, a logical
  // unit nobody has: no volume, and nothing after an INQUIRY.
  NewCommands();
  EXPECT_EQ(nullptr, OpenVolume(KindScsi, 5, OpenNoDetect));
  EXPECT_EQ(nullptr, OpenVolume(KindScsi, (2 << 4) | 1, OpenNoDetect));
  EXPECT_EQ(nullptr, OpenVolume(KindScsi, (3 << 12) | 1, OpenNoDetect));
  for (const ReceivedScsiCommand& command : NewCommands()) EXPECT_EQ(0x12, command.cdb[0]);
}

TEST_P(ScsiDevice, HostAdaptersAboveNineAreReached) {
  layer_->Reset(13);
  AddDevice(12, 4, FakeScsiDisk, MakeNumberedSectors(64));
  Load();
  EXPECT_EQ(13, scsiAdapterCount);
  Volume* volume = OpenVolume(KindScsi, (12 << 4) | 4, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(12, volume->hostAdapter);
  EXPECT_EQ(4, volume->unit);
  Bytes sector(512);
  EXPECT_NE(0, ReadSectors(volume, 9, 1, sector.data()));
  EXPECT_EQ(9u, SectorNumberAt(sector.data()));
  const std::vector<ReceivedScsiCommand> commands = NewCommands();
  ASSERT_FALSE(commands.empty());
  for (const ReceivedScsiCommand& command : commands) EXPECT_EQ(12, command.hostAdapter);
  CloseVolume(volume);
}

TEST_P(ScsiDevice, ReadAndWriteChooseTheirFormByAddressCountAndBlockLength) {
  const std::string path = AddDevice(0, 1, FakeScsiDisk, MakeNumberedSectors(66000));
  Load();
  NewCommands();
  const ScsiAddress unit = {0, 1, 0};
  Bytes data(300 * 512);

  // Four blocks at 100: READ(6); 256 blocks take READ(10).
  ASSERT_NE(0, ScsiRead(unit, 100, 4, data.data(), 512));
  EXPECT_EQ(100u, SectorNumberAt(data.data()));
  EXPECT_EQ(103u, SectorNumberAt(data.data() + 3 * 512));
  ASSERT_NE(0, ScsiRead(unit, 10, 256, data.data(), 512));
  EXPECT_EQ(265u, SectorNumberAt(data.data() + 255 * 512));
  EXPECT_EQ((std::vector<ReceivedScsiCommand>{
                Command(0, 1, {0x08, 0x00, 0x00, 0x64, 0x04, 0x00}, 'i', 2048),
                Command(0, 1, {0x28, 0, 0x00, 0x00, 0x00, 0x0A, 0, 0x01, 0x00, 0}, 'i', 256 * 512)}),
            NewCommands());

  // Writes: WRITE(6) and WRITE(10) with data to the device; the image takes the data.
  const Bytes written(300 * 512, 0x5C);
  ASSERT_NE(0, ScsiWrite(unit, 7, 2, written.data(), 512));
  ASSERT_NE(0, ScsiWrite(unit, 1000, 300, written.data(), 512));
  EXPECT_EQ((std::vector<ReceivedScsiCommand>{
                Command(0, 1, {0x0A, 0x00, 0x00, 0x07, 0x02, 0x00}, 'o', 1024),
                Command(0, 1, {0x2A, 0, 0x00, 0x00, 0x03, 0xE8, 0, 0x01, 0x2C, 0}, 'o', 300 * 512)}),
            NewCommands());
  Bytes image = ReadFileBytes(path);
  EXPECT_EQ(Bytes(1024, 0x5C), Bytes(image.begin() + 7 * 512, image.begin() + 9 * 512));
  EXPECT_EQ(Bytes(300 * 512, 0x5C), Bytes(image.begin() + 1000 * 512, image.begin() + 1300 * 512));
  EXPECT_EQ(9u, SectorNumberAt(image.data() + 9 * 512));

  // More than 65,535 blocks: split, each command within its form.
  Bytes large(65537u * 512);
  ASSERT_NE(0, ScsiRead(unit, 1, 65537, large.data(), 512));
  EXPECT_EQ(65537u, SectorNumberAt(large.data() + 65536u * 512));
  EXPECT_EQ((std::vector<ReceivedScsiCommand>{
                Command(0, 1, {0x28, 0, 0x00, 0x00, 0x00, 0x01, 0, 0xFF, 0xFF, 0}, 'i', 65535u * 512),
                Command(0, 1, {0x08, 0x01, 0x00, 0x00, 0x02, 0x00}, 'i', 1024)}),
            NewCommands());

  // A read past the medium fails and leaves the buffer zero-filled.
  data.assign(data.size(), 0xEE);
  EXPECT_EQ(0, ScsiRead(unit, 65990, 20, data.data(), 512));
  EXPECT_EQ(Bytes(20 * 512, 0), Bytes(data.begin(), data.begin() + 20 * 512));
  EXPECT_EQ(0xEE, data[20 * 512]);
}

TEST_P(ScsiDevice, AddressesFrom2097152TakeTheTenByteForm) {
  // A sparse image of 1 GiB and four blocks; only the last blocks hold data.
  const std::string path = dir_.File("large.img");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  LONG high = 0;
  SetFilePointer(file, 0x40000000, &high, FILE_BEGIN);
  const Bytes tail = MakeNumberedSectors(4);
  DWORD moved = 0;
  ASSERT_TRUE(WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &moved, nullptr));
  CloseHandle(file);
  ASSERT_TRUE(layer_->AddDevice(0, 1, FakeScsiDisk, path));
  Load();
  NewCommands();

  Bytes data(2 * 512);
  ASSERT_NE(0, ScsiRead({0, 1, 0}, 0x1FFFFF, 1, data.data(), 512));
  ASSERT_NE(0, ScsiRead({0, 1, 0}, 0x200000, 2, data.data(), 512));
  EXPECT_EQ(0u, SectorNumberAt(data.data()));
  EXPECT_EQ(1u, SectorNumberAt(data.data() + 512));
  EXPECT_EQ((std::vector<ReceivedScsiCommand>{
                Command(0, 1, {0x08, 0x1F, 0xFF, 0xFF, 0x01, 0x00}, 'i', 512),
                Command(0, 1, {0x28, 0, 0x00, 0x20, 0x00, 0x00, 0, 0x00, 0x02, 0}, 'i', 1024)}),
            NewCommands());
}

TEST_P(ScsiDevice, CdromReadsWholeBlocksOnceAndTakesNoWrites) {
  AddDevice(0, 3, FakeScsiCdrom, MakeNumberedSectors(4 * 64));
  Load();
  Volume* volume = OpenVolume(KindScsi, 3, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(2048u, volume->sectorSize);
  NewCommands();

  // Sectors 4 to 7 are block 1; the run ends on a block boundary, so block 2 comes too.
  Bytes data(4 * 512);
  ASSERT_NE(0, ReadSectors(volume, 4, 4, data.data()));
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(4 + i, SectorNumberAt(data.data() + i * 512));
  EXPECT_EQ((std::vector<ReceivedScsiCommand>{
                Command(0, 3, {0x28, 0, 0x00, 0x00, 0x00, 0x01, 0, 0x00, 0x02, 0}, 'i', 4096)}),
            NewCommands());

  // The same sectors again come from the cache: no command.
  data.assign(data.size(), 0);
  ASSERT_NE(0, ReadSectors(volume, 4, 4, data.data()));
  EXPECT_EQ(7u, SectorNumberAt(data.data() + 3 * 512));
  EXPECT_TRUE(NewCommands().empty());

  // Writing is not supported on 2,048-byte blocks, even on a volume opened for writing.
  EXPECT_EQ(0, volume->readOnly);
  volume->startSector = 0;
  volume->sectorCount = 1;
  volume->buffer = data.data();
  EXPECT_EQ(0, TransferSectors(volume, 1));
  EXPECT_TRUE(NewCommands().empty());
  CloseVolume(volume);
}

TEST_P(ScsiDevice, ReadOnlyVolumesSendNoWrite) {
  const std::string path = AddDevice(0, 1, FakeScsiDisk, MakeNumberedSectors(64));
  Load();
  const Bytes data(512, 0x3D);
  for (int flags : {static_cast<int>(OpenReadOnly), 0}) {
    Volume* volume = OpenVolume(KindScsi, 1, flags | OpenNoDetect);
    ASSERT_NE(nullptr, volume);
    NewCommands();
    volume->startSector = 5;
    volume->sectorCount = 1;
    volume->buffer = const_cast<uint8_t*>(data.data());
    const int written = TransferSectors(volume, 1);
    const std::vector<ReceivedScsiCommand> commands = NewCommands();
    if (flags & OpenReadOnly) {
      EXPECT_EQ(0, written);
      EXPECT_TRUE(commands.empty());
      EXPECT_EQ(5u, SectorNumberAt(ReadFileBytes(path).data() + 5 * 512));
    } else {
      EXPECT_NE(0, written);
      EXPECT_EQ((std::vector<ReceivedScsiCommand>{Command(0, 1, {0x0A, 0, 0, 5, 1, 0}, 'o', 512)}), commands);
      const Bytes image = ReadFileBytes(path);
      EXPECT_EQ(data, Bytes(image.begin() + 5 * 512, image.begin() + 6 * 512));
    }
    CloseVolume(volume);
  }
}

// A bad block fails the command that reaches it, as an error; a device that
// never answers fails as timed out. Neither leaves stale data behind.
TEST_P(ScsiDevice, BadBlocksAndSilentDevicesFailTheirTransfers) {
  AddDevice(0, 1, FakeScsiDisk, MakeNumberedSectors(64));
  AddDevice(0, 6, FakeScsiStalled, MakeNumberedSectors(16));
  ASSERT_TRUE(layer_->SetFaults(0, 1, 40, 0));
  Load();
  scsiWaitLimitMs = 300;
  Bytes data(8 * 512, 0xEE);
  deviceTimedOut = 0;
  EXPECT_EQ(0, ScsiRead({0, 1, 0}, 36, 8, data.data(), 512));
  EXPECT_EQ(Bytes(8 * 512, 0), data);
  EXPECT_EQ(0, deviceTimedOut) << "a bad block is an error, not a time-out";
  ASSERT_NE(0, ScsiRead({0, 1, 0}, 41, 8, data.data(), 512));
  EXPECT_EQ(41u, SectorNumberAt(data.data()));

  uint8_t inquiry[32];
  EXPECT_EQ(0, ScsiInquiry({0, 6, 0}, inquiry, sizeof inquiry));
  data.assign(data.size(), 0xEE);
  deviceTimedOut = 0;
  EXPECT_EQ(0, ScsiRead({0, 6, 0}, 2, 1, data.data(), 512));
  EXPECT_EQ(Bytes(512, 0), Bytes(data.begin(), data.begin() + 512));
  EXPECT_EQ(1, deviceTimedOut) << "a command given up is a time-out, not an error";
}

TEST_P(ScsiDevice, HfsCdromReadsLikeItsImageFile) {
  // A partitioned Macintosh disk whose HFS volume starts inside a 2,048-byte
  // block; every sector after the volume's information block is numbered.
  const uint32_t hfsStart = 97, hfsBlocks = 1600, totalBlocks = 1700;
  Bytes disk = MakePartitionedDisk(totalBlocks, UsualPartitionMap(hfsStart, hfsBlocks),
                                   {Bytes(), Bytes(), MakeHfsVolume(hfsBlocks / 2, "Orvanta CD")});
  const Bytes numbered = MakeNumberedSectors(totalBlocks);
  std::copy(numbered.begin() + (hfsStart + 3) * 512, numbered.end(), disk.begin() + (hfsStart + 3) * 512);
  const std::string path = AddDevice(0, 3, FakeScsiCdrom, disk);
  Load();

  Volume* file = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly);
  ASSERT_NE(nullptr, file);
  Volume* cdrom = OpenVolume(KindScsi, 3, OpenReadOnly);
  ASSERT_NE(nullptr, cdrom);
  EXPECT_EQ(FormatHfs, file->format);
  EXPECT_EQ(FormatHfs, cdrom->format);
  EXPECT_EQ(static_cast<int32_t>(hfsStart), file->partitionStart);
  EXPECT_EQ(file->partitionStart, cdrom->partitionStart);
  EXPECT_EQ(2048u, cdrom->sectorSize);
  EXPECT_EQ(static_cast<int32_t>(totalBlocks / 4 - 1) * 2, cdrom->sizeKB);

  // Sector by sector as listings read, and in runs of every length up to nine.
  Bytes fromFile(9 * 512), fromCdrom(9 * 512);
  for (int32_t sector = 0; sector + hfsStart < totalBlocks; ++sector) {
    ASSERT_NE(0, ReadSectors(file, sector, 1, fromFile.data()));
    ASSERT_NE(0, ReadSectors(cdrom, sector, 1, fromCdrom.data())) << sector;
    ASSERT_EQ(fromFile, fromCdrom) << "sector " << sector;
  }
  for (int32_t count = 1; count <= 9; ++count) {
    for (int32_t sector = 0; sector + count + hfsStart < totalBlocks; sector += 37) {
      ASSERT_NE(0, ReadSectors(file, sector, count, fromFile.data()));
      ASSERT_NE(0, ReadSectors(cdrom, sector, count, fromCdrom.data()));
      ASSERT_EQ(fromFile, fromCdrom) << count << " sectors from " << sector;
    }
  }
  // Past the medium both fail.
  EXPECT_EQ(0, ReadSectors(cdrom, static_cast<int32_t>(totalBlocks - hfsStart), 1, fromCdrom.data()));
  EXPECT_EQ(0, ReadSectors(file, static_cast<int32_t>(totalBlocks - hfsStart), 1, fromFile.data()));
  CloseVolume(cdrom);
  CloseVolume(file);
}

// The same partitioned HFS disk as an image file and as a CD-ROM of
// 2,048-byte blocks: every folder lists alike and a file's data reads alike.
TEST_P(ScsiDevice, HfsCdromListsAndReadsLikeItsImageFile) {
  HfsLayout layout;
  layout.name = "Orvanta CD";
  Bytes hfs = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(hfs, layout);
  Bytes readMe(2500);
  for (size_t i = 0; i < readMe.size(); ++i) readMe[i] = static_cast<uint8_t>(i * 13 + i / 256);
  HfsFileSpec readMeFile;
  readMeFile.fileId = 20;
  readMeFile.dataLength = 2500;
  readMeFile.dataExtents = {40, 3};
  HfsFileSpec oldFile;
  oldFile.fileId = 21;
  PutCatalogNode(hfs, layout, 0, MakeBTreeHeaderNode(3));
  PutCatalogNode(hfs, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Orvanta CD", 2), HfsThreadRecord(2, 1, "Orvanta CD"),
                                      HfsFolderRecord(2, "Letters", 16), HfsFileRecord(2, "ReadMe", readMeFile),
                                      HfsFileRecord(16, "Old", oldFile)}));
  PutForkBytes(hfs, layout, {40, 3}, 0, readMe);
  const uint32_t hfsStart = 97, hfsBlocks = 1600, totalBlocks = 1700;
  const Bytes disk = MakePartitionedDisk(totalBlocks, UsualPartitionMap(hfsStart, hfsBlocks), {Bytes(), Bytes(), hfs});
  const std::string path = AddDevice(0, 4, FakeScsiCdrom, disk);
  Load();
  Volume* file = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly);
  Volume* cdrom = OpenVolume(KindScsi, 4, OpenReadOnly);
  ASSERT_NE(nullptr, file);
  ASSERT_NE(nullptr, cdrom);
  ASSERT_EQ(FormatHfs, cdrom->format);

  auto names = [](Volume* volume, const char* folder) {
    DirEntry* entries = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
    const int count = ListDirectory(volume, folder, &entries);
    std::vector<std::string> listed;
    for (int i = 0; i < count; ++i) listed.push_back(std::string(entries[i].name) + "/" + std::to_string(entries[i].size));
    HeapFree(GetProcessHeap(), 0, entries);
    return listed;
  };
  EXPECT_EQ((std::vector<std::string>{"Orvanta CD/0"}), names(cdrom, ""));
  EXPECT_EQ((std::vector<std::string>{"Letters/0", "ReadMe/2500"}), names(cdrom, "Orvanta CD:"));
  EXPECT_EQ((std::vector<std::string>{"Old/0"}), names(cdrom, "Orvanta CD:Letters:"));
  for (const char* folder : {"", "Orvanta CD:", "Orvanta CD:Letters:"}) {
    EXPECT_EQ(names(file, folder), names(cdrom, folder)) << folder;
  }

  DirEntry* entries = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  ASSERT_EQ(2, ListDirectory(cdrom, "Orvanta CD:", &entries));
  const DirEntry readMeEntry = entries[1];
  HeapFree(GetProcessHeap(), 0, entries);
  ASSERT_STREQ("ReadMe", readMeEntry.name);
  Bytes data(EntryDataBufferBytes(cdrom, &readMeEntry));
  ASSERT_EQ(3072u, data.size());
  ASSERT_EQ(3072u, ReadEntryData(cdrom, data.data(), &readMeEntry));
  EXPECT_EQ(readMe, Bytes(data.begin(), data.begin() + 2500));
  CloseVolume(cdrom);
  CloseVolume(file);
}

INSTANTIATE_TEST_SUITE_P(Layers, ScsiDevice, ::testing::ValuesIn(FakeScsiLayersOfThisBuild()),
                         [](const ::testing::TestParamInfo<FakeScsiLayerKind>& info) {
                           return std::string(FakeScsiLayerName(info.param));
                         });

}  // namespace
