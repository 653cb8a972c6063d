// The ASPI back-end under Wine, through the test-only WNASPI32.DLL beside this
// program: LoadAspi, OpenVolume of SCSI devices, the request blocks of every
// command compared byte for byte with the interface's layout, the 2,048-byte
// path with its cache, refused writes, and an HFS CD-ROM read like its image.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "aspi.h"
#include "build_interfaces.h"
#include "byte_order.h"
#include "device_backends.h"
#include "device_platform.h"
#include "fake_wnaspi32.h"
#include "format_detect.h"
#include "file_system_builders.h"
#include "image_builders.h"
#include "list_directory.h"
#include "sector_transfer.h"
#include "volume.h"

namespace {

// The test layer's own exports, looked up once.
struct FakeLayer {
  HMODULE module = nullptr;
  FakeAspiResetFunction Reset = nullptr;
  FakeAspiAddDeviceFunction AddDevice = nullptr;
  FakeAspiSetAlignmentMaskFunction SetAlignmentMask = nullptr;
  FakeAspiRequestCountFunction RequestCount = nullptr;
  FakeAspiGetRequestFunction GetRequest = nullptr;
};

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

FakeLayer LoadFakeLayer() {
  FakeLayer layer;
  layer.module = LoadLibraryA("WNASPI32.DLL");
  if (!layer.module || !GetProcAddress(layer.module, "FakeAspiMarker")) return FakeLayer();
  layer.Reset = Export<FakeAspiResetFunction>(layer.module, "FakeAspiReset");
  layer.AddDevice = Export<FakeAspiAddDeviceFunction>(layer.module, "FakeAspiAddDevice");
  layer.SetAlignmentMask = Export<FakeAspiSetAlignmentMaskFunction>(layer.module, "FakeAspiSetAlignmentMask");
  layer.RequestCount = Export<FakeAspiRequestCountFunction>(layer.module, "FakeAspiRequestCount");
  layer.GetRequest = Export<FakeAspiGetRequestFunction>(layer.module, "FakeAspiGetRequest");
  return layer;
}

// The execute-command block as the ASPI for Win32 interface lays it out,
// written from its byte offsets: what every command must look like on receipt.
Bytes ExecRequest(uint8_t hostAdapter, uint8_t target, uint8_t flags, uint32_t dataLength, uint32_t data,
                  const Bytes& cdb) {
  Bytes block(80, 0);
  block[0] = 0x02;  // execute SCSI command; status 0
  block[2] = hostAdapter;
  block[3] = flags;
  block[8] = target;  // logical unit 0
  PutLE32(block, 12, dataLength);
  PutLE32(block, 16, data);
  block[20] = 14;  // sense length
  block[21] = static_cast<uint8_t>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), block.begin() + 48);
  return block;
}

class AspiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPlatform_ = devicePlatform;
    savedAdapterCount_ = aspiAdapterCount;
    savedWaitLimit_ = aspiWaitLimitMs;
    REQUIRE_32BIT_INTERFACE(kTestAspiLayer);
    layer_ = LoadFakeLayer();
    ASSERT_NE(nullptr, layer_.module) << "the test layer WNASPI32.DLL must lie beside the test";
    // Commands complete on the layer's thread, as real ones do, so that the polling is exercised.
    layer_.Reset(2, 2);
  }
  void TearDown() override {
    devicePlatform = savedPlatform_;
    aspiAdapterCount = savedAdapterCount_;
    aspiWaitLimitMs = savedWaitLimit_;
    if (layer_.module) FreeLibrary(layer_.module);
  }

  // Writes the image and puts a device of the kind at (hostAdapter, target).
  std::string AddDevice(int hostAdapter, int target, FakeAspiDeviceKind kind, const Bytes& image) {
    std::string path = dir_.File("device-" + std::to_string(hostAdapter) + "-" + std::to_string(target) + ".img");
    EXPECT_TRUE(WriteFileBytes(path, image));
    EXPECT_EQ(1, layer_.AddDevice(hostAdapter, target, kind, path.c_str()));
    return path;
  }

  std::vector<FakeAspiRequest> Requests() {
    std::vector<FakeAspiRequest> requests(layer_.RequestCount());
    for (size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(1, layer_.GetRequest(static_cast<int>(i), &requests[i]));
    return requests;
  }
  // The bytes of the execute-command blocks received since the last call.
  // Every command's data goes through room that follows its own block from
  // the next page boundary on, never the caller's buffer; that pointer is
  // checked here and given as 0.
  std::vector<Bytes> NewBlocks() {
    std::vector<Bytes> blocks;
    std::vector<FakeAspiRequest> requests = Requests();
    for (size_t i = seen_; i < requests.size(); ++i) {
      blocks.emplace_back(requests[i].bytes, requests[i].bytes + requests[i].size);
      if (requests[i].size != 80) continue;
      const uint32_t data = ReadLE32(requests[i].bytes + 16);
      EXPECT_EQ(0u, data % 4096) << "request " << i;
      EXPECT_TRUE(data >= requests[i].address + 80 && data < requests[i].address + 80 + 4096) << "request " << i;
      PutLE32(blocks.back(), 16, 0);
    }
    seen_ = requests.size();
    return blocks;
  }

  FakeLayer layer_;
  ScratchDir dir_;
  size_t seen_ = 0;

 private:
  DevicePlatform savedPlatform_;
  uint16_t savedAdapterCount_;
  uint32_t savedWaitLimit_;
};

TEST_F(AspiTest, LoadAspiTakesTheAdapterCountOfACompletedAnswer) {
  layer_.Reset(3, 0);
  EXPECT_EQ(1, LoadAspi());
  EXPECT_EQ(3, aspiAdapterCount);
  EXPECT_NE(nullptr, devicePlatform.SendASPI32Command);

  // No host adapter: the layer answers SS_NO_ADAPTERS; the count stays as it was.
  layer_.Reset(0, 0);
  EXPECT_EQ(0, LoadAspi());
  EXPECT_EQ(3, aspiAdapterCount);
}

TEST_F(AspiTest, OpenVolumeAsksInquiryAndReadCapacity) {
  AddDevice(0, 1, FakeAspiDisk, MakeNumberedSectors(201));
  AddDevice(1, 3, FakeAspiCdrom, MakeNumberedSectors(4 * 300));
  AddDevice(0, 2, FakeAspiNoCapacity, MakeNumberedSectors(64));
  ASSERT_EQ(1, LoadAspi());

  Volume* disk = OpenVolume(KindScsi, (0 << 4) | 1, OpenNoDetect);
  ASSERT_NE(nullptr, disk);
  EXPECT_EQ(0, disk->hostAdapter);
  EXPECT_EQ(1, disk->unit);
  EXPECT_STREQ("ORVANTA FAKE DISK       ", disk->deviceName);
  EXPECT_EQ(512u, disk->sectorSize);
  EXPECT_EQ(100, disk->sizeKB);  // 200 blocks before the last one
  EXPECT_EQ(0, disk->readOnly);
  std::vector<FakeAspiRequest> requests = Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 32, ReadLE32(requests[0].bytes + 16), Bytes({0x12, 0, 0, 0, 32, 0})),
            Bytes(requests[0].bytes, requests[0].bytes + 80));
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 8, ReadLE32(requests[1].bytes + 16), Bytes({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
            Bytes(requests[1].bytes, requests[1].bytes + 80));
  EXPECT_NE(0u, ReadLE32(requests[0].bytes + 16));
  EXPECT_NE(0u, ReadLE32(requests[1].bytes + 16));
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

  // INQUIRY's allocation length is one byte: more is refused unsent.
  seen_ = Requests().size();
  Bytes inquiry(256, 0xEE);
  EXPECT_EQ(0, AspiInquiry(0, 1, inquiry.data(), 256));
  EXPECT_EQ(Bytes(256, 0), inquiry);
  EXPECT_TRUE(NewBlocks().empty());

  // An absent target, and a host adapter the layer does not have.
  EXPECT_EQ(nullptr, OpenVolume(KindScsi, 5, OpenNoDetect));
  EXPECT_EQ(nullptr, OpenVolume(KindScsi, (2 << 4) | 1, OpenNoDetect));
  std::vector<Bytes> blocks = NewBlocks();
  ASSERT_EQ(2u, blocks.size());  // one INQUIRY each, nothing after it
  EXPECT_EQ(5, blocks[0][8]);
  EXPECT_EQ(2, blocks[1][2]);
}

TEST_F(AspiTest, HostAdaptersAboveNineAreReached) {
  layer_.Reset(13, 2);
  AddDevice(12, 4, FakeAspiDisk, MakeNumberedSectors(64));
  ASSERT_EQ(1, LoadAspi());
  EXPECT_EQ(13, aspiAdapterCount);
  Volume* volume = OpenVolume(KindScsi, (12 << 4) | 4, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  EXPECT_EQ(12, volume->hostAdapter);
  EXPECT_EQ(4, volume->unit);
  Bytes sector(512);
  EXPECT_NE(0, ReadSectors(volume, 9, 1, sector.data()));
  EXPECT_EQ(9u, SectorNumberAt(sector.data()));
  for (const Bytes& block : NewBlocks()) EXPECT_EQ(12, block[2]);
  CloseVolume(volume);
}

TEST_F(AspiTest, ReadAndWriteChooseTheirFormByAddressCountAndBlockLength) {
  std::string path = AddDevice(0, 1, FakeAspiDisk, MakeNumberedSectors(66000));
  ASSERT_EQ(1, LoadAspi());
  Bytes data(300 * 512);

  // Four blocks at 100: READ(6).
  ASSERT_NE(0, AspiRead(0, 1, 100, 4, data.data(), 512));
  EXPECT_EQ(100u, SectorNumberAt(data.data()));
  EXPECT_EQ(103u, SectorNumberAt(data.data() + 3 * 512));
  std::vector<Bytes> blocks = NewBlocks();
  ASSERT_EQ(1u, blocks.size());
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 2048, 0, Bytes({0x08, 0x00, 0x00, 0x64, 0x04, 0x00})), blocks[0]);

  // 255 blocks still fit the one-byte count; 256 and more take READ(10).
  ASSERT_NE(0, AspiRead(0, 1, 0x1234, 255, data.data(), 512));
  ASSERT_NE(0, AspiRead(0, 1, 10, 256, data.data(), 512));
  EXPECT_EQ(265u, SectorNumberAt(data.data() + 255 * 512));
  blocks = NewBlocks();
  ASSERT_EQ(2u, blocks.size());
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 255 * 512, 0, Bytes({0x08, 0x00, 0x12, 0x34, 0xFF, 0x00})),
            blocks[0]);
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 256 * 512, 0,
                        Bytes({0x28, 0, 0x00, 0x00, 0x00, 0x0A, 0, 0x01, 0x00, 0})),
            blocks[1]);

  // Writes: WRITE(6) and WRITE(10) with data to the device; the image takes the data.
  Bytes written(300 * 512, 0x5C);
  ASSERT_NE(0, AspiWrite(0, 1, 7, 2, written.data(), 512));
  ASSERT_NE(0, AspiWrite(0, 1, 1000, 300, written.data(), 512));
  blocks = NewBlocks();
  ASSERT_EQ(2u, blocks.size());
  EXPECT_EQ(ExecRequest(0, 1, 0x10, 1024, 0, Bytes({0x0A, 0x00, 0x00, 0x07, 0x02, 0x00})),
            blocks[0]);
  EXPECT_EQ(ExecRequest(0, 1, 0x10, 300 * 512, 0,
                        Bytes({0x2A, 0, 0x00, 0x00, 0x03, 0xE8, 0, 0x01, 0x2C, 0})),
            blocks[1]);
  Bytes image = ReadFileBytes(path);
  EXPECT_EQ(Bytes(1024, 0x5C), Bytes(image.begin() + 7 * 512, image.begin() + 9 * 512));
  EXPECT_EQ(Bytes(300 * 512, 0x5C), Bytes(image.begin() + 1000 * 512, image.begin() + 1300 * 512));
  EXPECT_EQ(9u, SectorNumberAt(image.data() + 9 * 512));

  // More than 65,535 blocks: split, each command within its form.
  Bytes large(65537u * 512);
  ASSERT_NE(0, AspiRead(0, 1, 1, 65537, large.data(), 512));
  EXPECT_EQ(65537u, SectorNumberAt(large.data() + 65536u * 512));
  blocks = NewBlocks();
  ASSERT_EQ(2u, blocks.size());
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 65535u * 512, 0,
                        Bytes({0x28, 0, 0x00, 0x00, 0x00, 0x01, 0, 0xFF, 0xFF, 0})),
            blocks[0]);
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 1024, 0,
                        Bytes({0x08, 0x01, 0x00, 0x00, 0x02, 0x00})),
            blocks[1]);

  // No blocks: no command (the 6-byte form would read 256).
  EXPECT_EQ(0, AspiRead(0, 1, 5, 0, data.data(), 512));
  EXPECT_TRUE(NewBlocks().empty());

  // A failed read leaves the buffer zero-filled.
  data.assign(data.size(), 0xEE);
  EXPECT_EQ(0, AspiRead(0, 1, 65990, 20, data.data(), 512));
  EXPECT_EQ(Bytes(20 * 512, 0), Bytes(data.begin(), data.begin() + 20 * 512));
  EXPECT_EQ(0xEE, data[20 * 512]);
}

// An adapter whose alignment mask asks for page-aligned data still reads
// and writes: the data room starts on a page boundary, whatever the heap does.
TEST_F(AspiTest, AdaptersThatNeedPageAlignedDataAreServed) {
  const std::string path = AddDevice(0, 2, FakeAspiDisk, MakeNumberedSectors(64));
  ASSERT_EQ(1, layer_.SetAlignmentMask(0, 2, 0xFFF));
  ASSERT_EQ(1, LoadAspi());
  for (uint32_t blocks : {1u, 9u, 64u}) {
    Bytes data(blocks * 512);
    ASSERT_NE(0, AspiRead(0, 2, 0, blocks, data.data(), 512)) << blocks;
    EXPECT_EQ(blocks - 1, SectorNumberAt(data.data() + (blocks - 1) * 512));
  }
  const Bytes written(3 * 512, 0x6D);
  ASSERT_NE(0, AspiWrite(0, 2, 5, 3, written.data(), 512));
  const Bytes image = ReadFileBytes(path);
  EXPECT_EQ(written, Bytes(image.begin() + 5 * 512, image.begin() + 8 * 512));
}

TEST_F(AspiTest, AddressesFrom2097152TakeTheTenByteForm) {
  // A sparse image of 1 GiB and four blocks; only the last blocks hold data.
  std::string path = dir_.File("large.img");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  LONG high = 0;
  SetFilePointer(file, 0x40000000, &high, FILE_BEGIN);
  Bytes tail = MakeNumberedSectors(4);
  DWORD moved = 0;
  ASSERT_TRUE(WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &moved, nullptr));
  CloseHandle(file);
  ASSERT_EQ(1, layer_.AddDevice(0, 1, FakeAspiDisk, path.c_str()));
  ASSERT_EQ(1, LoadAspi());

  Bytes data(2 * 512);
  ASSERT_NE(0, AspiRead(0, 1, 0x1FFFFF, 1, data.data(), 512));
  ASSERT_NE(0, AspiRead(0, 1, 0x200000, 2, data.data(), 512));
  EXPECT_EQ(0u, SectorNumberAt(data.data()));
  EXPECT_EQ(1u, SectorNumberAt(data.data() + 512));
  std::vector<Bytes> blocks = NewBlocks();
  ASSERT_EQ(2u, blocks.size());
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 512, 0, Bytes({0x08, 0x1F, 0xFF, 0xFF, 0x01, 0x00})), blocks[0]);
  EXPECT_EQ(ExecRequest(0, 1, 0x08, 1024, 0,
                        Bytes({0x28, 0, 0x00, 0x20, 0x00, 0x00, 0, 0x00, 0x02, 0})),
            blocks[1]);
}

TEST_F(AspiTest, CdromReadsWholeBlocksOnceAndTakesNoWrites) {
  AddDevice(0, 3, FakeAspiCdrom, MakeNumberedSectors(4 * 64));
  ASSERT_EQ(1, LoadAspi());
  Volume* volume = OpenVolume(KindScsi, 3, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(2048u, volume->sectorSize);
  NewBlocks();

  // Sectors 4 to 7 are block 1; the run ends on a block boundary, so block 2 comes too.
  Bytes data(4 * 512);
  ASSERT_NE(0, ReadSectors(volume, 4, 4, data.data()));
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(4 + i, SectorNumberAt(data.data() + i * 512));
  std::vector<Bytes> blocks = NewBlocks();
  ASSERT_EQ(1u, blocks.size());
  EXPECT_EQ(ExecRequest(0, 3, 0x08, 4096, ReadLE32(blocks[0].data() + 16),
                        Bytes({0x28, 0, 0x00, 0x00, 0x00, 0x01, 0, 0x00, 0x02, 0})),
            blocks[0]);

  // The same sectors again come from the cache: no command.
  data.assign(data.size(), 0);
  ASSERT_NE(0, ReadSectors(volume, 4, 4, data.data()));
  EXPECT_EQ(7u, SectorNumberAt(data.data() + 3 * 512));
  EXPECT_TRUE(NewBlocks().empty());

  // Writing is not supported on 2,048-byte blocks, even on a volume opened for writing.
  EXPECT_EQ(0, volume->readOnly);
  volume->startSector = 0;
  volume->sectorCount = 1;
  volume->buffer = data.data();
  EXPECT_EQ(0, TransferSectors(volume, 1));
  EXPECT_TRUE(NewBlocks().empty());
  CloseVolume(volume);
}

TEST_F(AspiTest, ReadOnlyVolumesSendNoWrite) {
  std::string path = AddDevice(0, 1, FakeAspiDisk, MakeNumberedSectors(64));
  ASSERT_EQ(1, LoadAspi());
  Bytes data(512, 0x3D);
  for (int flags : {static_cast<int>(OpenReadOnly), 0}) {
    Volume* volume = OpenVolume(KindScsi, 1, flags | OpenNoDetect);
    ASSERT_NE(nullptr, volume);
    NewBlocks();
    volume->startSector = 5;
    volume->sectorCount = 1;
    volume->buffer = data.data();
    const int written = TransferSectors(volume, 1);
    std::vector<Bytes> blocks = NewBlocks();
    if (flags & OpenReadOnly) {
      EXPECT_EQ(0, written);
      EXPECT_TRUE(blocks.empty());
      EXPECT_EQ(5u, SectorNumberAt(ReadFileBytes(path).data() + 5 * 512));
    } else {
      EXPECT_NE(0, written);
      ASSERT_EQ(1u, blocks.size());
      EXPECT_EQ(ExecRequest(0, 1, 0x10, 512, 0, Bytes({0x0A, 0, 0, 5, 1, 0})), blocks[0]);
      const Bytes image = ReadFileBytes(path);
      EXPECT_EQ(data, Bytes(image.begin() + 5 * 512, image.begin() + 6 * 512));
    }
    CloseVolume(volume);
  }
}

TEST_F(AspiTest, HfsCdromReadsLikeItsImageFile) {
  // A partitioned Macintosh disk whose HFS volume starts inside a 2,048-byte
  // block; every sector after the volume's information block is numbered.
  const uint32_t hfsStart = 97, hfsBlocks = 1600, totalBlocks = 1700;
  Bytes disk = MakePartitionedDisk(totalBlocks, UsualPartitionMap(hfsStart, hfsBlocks),
                                   {Bytes(), Bytes(), MakeHfsVolume(hfsBlocks / 2, "Orvanta CD")});
  Bytes numbered = MakeNumberedSectors(totalBlocks);
  std::copy(numbered.begin() + (hfsStart + 3) * 512, numbered.end(), disk.begin() + (hfsStart + 3) * 512);
  std::string path = AddDevice(0, 3, FakeAspiCdrom, disk);
  ASSERT_EQ(1, LoadAspi());

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
TEST_F(AspiTest, HfsCdromListsAndReadsLikeItsImageFile) {
  HfsLayout layout;
  layout.name = "Orvanta CD";
  Bytes hfs = MakeHfsLayoutVolume(layout);
  PutEmptyExtentsTree(hfs, layout);
  Bytes readMe(2500);
  for (size_t i = 0; i < readMe.size(); ++i) readMe[i] = static_cast<uint8_t>(i * 13 + i / 256);
  HfsFileSpec readMeSpec;
  readMeSpec.fileId = 20;
  readMeSpec.dataLength = 2500;
  readMeSpec.dataExtents = {40, 3};
  HfsFileSpec oldSpec;
  oldSpec.fileId = 21;
  PutCatalogNode(hfs, layout, 0, MakeBTreeHeaderNode(3));
  PutCatalogNode(hfs, layout, 1,
                 MakeBTreeNode(0xFF, {HfsFolderRecord(1, "Orvanta CD", 2), HfsThreadRecord(2, 1, "Orvanta CD"),
                                      HfsFolderRecord(2, "Letters", 16), HfsFileRecord(2, "ReadMe", readMeSpec),
                                      HfsFileRecord(16, "Old", oldSpec)}));
  PutForkBytes(hfs, layout, {40, 3}, 0, readMe);
  const uint32_t hfsStart = 97, hfsBlocks = 1600, totalBlocks = 1700;
  Bytes disk = MakePartitionedDisk(totalBlocks, UsualPartitionMap(hfsStart, hfsBlocks), {Bytes(), Bytes(), hfs});
  std::string path = AddDevice(0, 4, FakeAspiCdrom, disk);
  ASSERT_EQ(1, LoadAspi());
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

TEST_F(AspiTest, CommandsThatNeverCompleteFailAfterTheWaitLimit) {
  AddDevice(0, 6, FakeAspiStalled, MakeNumberedSectors(16));
  ASSERT_EQ(1, LoadAspi());
  aspiWaitLimitMs = 300;

  uint8_t inquiry[32];
  EXPECT_EQ(0, AspiInquiry(0, 6, inquiry, sizeof inquiry));  // the path that sleeps between looks
  Bytes data(512, 0xEE);
  deviceTimedOut = 0;
  EXPECT_EQ(0, AspiRead(0, 6, 2, 1, data.data(), 512));  // the path that does not
  EXPECT_EQ(Bytes(512, 0), data);
  EXPECT_EQ(1, deviceTimedOut) << "a command given up is a time-out, not an error";

  // Each command was followed by an abort naming its block.
  std::vector<FakeAspiRequest> requests = Requests();
  ASSERT_EQ(4u, requests.size());
  for (size_t i = 0; i < 4; i += 2) {
    EXPECT_EQ(80u, requests[i].size);
    EXPECT_EQ(12u, requests[i + 1].size);
    Bytes abort(12, 0);
    abort[0] = 0x03;  // abort; host adapter 0
    PutLE32(abort, 8, requests[i].address);
    EXPECT_EQ(abort, Bytes(requests[i + 1].bytes, requests[i + 1].bytes + 12));
  }
  EXPECT_EQ(0x12, requests[0].bytes[48]);
  EXPECT_EQ(0x08, requests[2].bytes[48]);
}

// A command that neither completes nor can be aborted may still be written
// to by the layer later: never into the caller's buffer.
TEST_F(AspiTest, ALateCompletionNeverWritesIntoTheCallersBuffer) {
  AddDevice(0, 5, FakeAspiLate, MakeNumberedSectors(16));
  AddDevice(0, 6, FakeAspiDisk, MakeNumberedSectors(16));
  ASSERT_EQ(1, LoadAspi());
  aspiWaitLimitMs = 200;
  Bytes given(512, 0xEE);
  EXPECT_EQ(0, AspiRead(0, 5, 2, 1, given.data(), 512));
  Bytes next(512);
  EXPECT_NE(0, AspiRead(0, 6, 3, 1, next.data(), 512));  // the layer completes the first one now
  EXPECT_EQ(Bytes(512, 0), given);
  const Bytes disk = MakeNumberedSectors(16);
  EXPECT_EQ(Bytes(disk.begin() + 3 * 512, disk.begin() + 4 * 512), next);
}

// LoadAspi through stand-ins for the platform's library calls.
HMODULE const kLibrary = reinterpret_cast<HMODULE>(0x5A5A0000);
std::vector<std::string> libraryCalls;
DWORD supportAnswer;
bool hasSendCommand;

HMODULE WINAPI StandInLoadLibrary(LPCSTR name) {
  libraryCalls.push_back(std::string("load ") + name);
  return supportAnswer == 0xFFFFFFFF ? nullptr : kLibrary;
}

DWORD __cdecl StandInSupportInfo() {
  libraryCalls.push_back("support");
  return supportAnswer;
}

DWORD __cdecl StandInSendCommand(void*) { return SS_ERR; }

FARPROC WINAPI StandInGetProcAddress(HMODULE library, LPCSTR name) {
  EXPECT_EQ(kLibrary, library);
  if (!strcmp(name, "GetASPI32SupportInfo")) return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(StandInSupportInfo));
  if (!strcmp(name, "SendASPI32Command") && hasSendCommand) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(StandInSendCommand));
  }
  return nullptr;
}

BOOL WINAPI StandInFreeLibrary(HMODULE library) {
  EXPECT_EQ(kLibrary, library);
  libraryCalls.push_back("free");
  return TRUE;
}

TEST(LoadAspi, UsesTheLayerOnlyWhenItLoadsAndAnswersCompleted) {
  REQUIRE_32BIT_INTERFACE(kTestAspiLayer);
  const DevicePlatform saved = devicePlatform;
  const uint16_t savedCount = aspiAdapterCount;
  devicePlatform.LoadLibraryA = StandInLoadLibrary;
  devicePlatform.GetProcAddress = StandInGetProcAddress;
  devicePlatform.FreeLibrary = StandInFreeLibrary;
  struct Case {
    DWORD answer;
    bool sendCommand;
    int result;
    uint16_t adapters;
    std::vector<std::string> calls;
  } cases[] = {
      {0x0105, true, 1, 5, {"load WNASPI32.DLL", "support"}},
      {0xE800, true, 0, 7, {"load WNASPI32.DLL", "support", "free"}},     // no adapters: count kept
      {0x0405, true, 0, 7, {"load WNASPI32.DLL", "support", "free"}},     // not completed
      {0x0103, false, 0, 7, {"load WNASPI32.DLL", "free"}},               // an entry point missing
      {0xFFFFFFFF, true, 0, 7, {"load WNASPI32.DLL"}},                    // no library
  };
  for (const Case& c : cases) {
    libraryCalls.clear();
    supportAnswer = c.answer;
    hasSendCommand = c.sendCommand;
    aspiAdapterCount = 7;
    devicePlatform.SendASPI32Command = nullptr;
    EXPECT_EQ(c.result, LoadAspi()) << std::hex << c.answer;
    EXPECT_EQ(c.adapters, aspiAdapterCount) << std::hex << c.answer;
    EXPECT_EQ(c.calls, libraryCalls) << std::hex << c.answer;
    EXPECT_EQ(c.result ? StandInSendCommand : nullptr, devicePlatform.SendASPI32Command);
  }
  devicePlatform = saved;
  aspiAdapterCount = savedCount;
}

}  // namespace
