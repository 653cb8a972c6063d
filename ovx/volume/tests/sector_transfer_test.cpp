// TransferSectors over the device back-ends, with fakes that count every
// command: the read-only refusal, folding of track and head, the Windows 9x
// floppy loop and its MFS size switch, and the SCSI paths for blocks of 512
// bytes and of 2,048 bytes with the block cache in front of them.
#include "sector_transfer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_devices.h"
#include "image_builders.h"
#include "volume.h"

namespace {

struct Piece {
  int32_t startSector, track, head, sectorCount;
  bool operator==(const Piece& other) const {
    return startSector == other.startSector && track == other.track && head == other.head &&
           sectorCount == other.sectorCount;
  }
};

void PrintTo(const Piece& p, std::ostream* os) {
  *os << "{index " << p.startSector << ", track " << p.track << ", head " << p.head << ", count " << p.sectorCount << "}";
}

std::vector<Piece> Pieces(const FakeDevices& devices) {
  std::vector<Piece> pieces;
  for (const FloppyCall& call : devices.floppyCalls) {
    pieces.push_back({call.startSector, call.track, call.head, call.sectorCount});
  }
  return pieces;
}

std::vector<uint32_t> SectorNumbers(const Bytes& data) {
  std::vector<uint32_t> numbers;
  for (size_t at = 0; at + 512 <= data.size(); at += 512) numbers.push_back(SectorNumberAt(data.data() + at));
  return numbers;
}

std::vector<uint32_t> Range(uint32_t first, uint32_t count) {
  std::vector<uint32_t> numbers;
  for (uint32_t i = 0; i < count; ++i) numbers.push_back(first + i);
  return numbers;
}

// A volume record of the given kind, opened without detection.
Volume* OpenDevice(VolumeKind kind, int flags = 0) { return OpenVolume(kind, 0, flags | OpenNoDetect); }

// A floppy volume on Windows NT or 9x, its drive serving a disk of numbered sectors.
Volume* OpenFloppy(FakeDevices& devices, bool nt, uint32_t sectors = 2880) {
  devices.floppy = MakeNumberedSectors(sectors);
  Volume* volume = OpenDevice(KindFloppy);
  if (volume) volume->isNT = nt;
  return volume;
}

// Sets the request as OVX's callers do (track and head 0) and transfers.
int Transfer(Volume* volume, int32_t first, int32_t count, uint8_t* buffer, bool write) {
  volume->track = 0;
  volume->head = 0;
  volume->startSector = first;
  volume->sectorCount = count;
  volume->buffer = buffer;
  return TransferSectors(volume, write ? 1 : 0);
}

TEST(TransferSectors, WritesToReadOnlyVolumesFailBeforeAnyDevice) {
  FakeDevices devices;
  devices.floppy = MakeNumberedSectors(2880);
  devices.scsi = MakeNumberedSectors(256);
  Bytes data(512, 0x42);
  for (bool nt : {false, true}) {
    Volume* volume = OpenDevice(KindFloppy, OpenReadOnly);
    ASSERT_NE(nullptr, volume);
    volume->isNT = nt;
    EXPECT_EQ(0, Transfer(volume, 0, 1, data.data(), true));
    EXPECT_NE(0, Transfer(volume, 0, 1, data.data(), false));
    CloseVolume(volume);
  }
  for (uint32_t blockLength : {512u, 2048u}) {
    devices.scsiBlockLength = blockLength;
    Volume* volume = OpenDevice(KindScsi, OpenReadOnly);
    ASSERT_NE(nullptr, volume);
    ASSERT_EQ(blockLength, volume->sectorSize);
    EXPECT_EQ(0, Transfer(volume, 0, 1, data.data(), true));
    CloseVolume(volume);
  }
  EXPECT_EQ(0, devices.ScsiCommands('W'));
  EXPECT_EQ(0, devices.ScsiCommands('R'));
  ASSERT_EQ(2u, devices.floppyCalls.size());  // the two reads
  EXPECT_FALSE(devices.floppyCalls[0].write);
  EXPECT_FALSE(devices.floppyCalls[1].write);
  EXPECT_EQ(MakeNumberedSectors(2880), devices.floppy);
  EXPECT_EQ(MakeNumberedSectors(256), devices.scsi);
}

TEST(TransferSectors, TrackAndHeadFoldIntoTheSectorExceptOnTheBiosPath) {
  FakeDevices devices;
  Volume* volume = OpenFloppy(devices, true);
  ASSERT_NE(nullptr, volume);
  struct Case {
    int32_t sizeKB, track, head, expected;
  } cases[] = {
      {360, 3, 1, 2 + 3 * 9},  // one side: the head adds nothing
      {400, 3, 1, 2 + 3 * 10},
      {720, 3, 1, 2 + 7 * 9},
      {800, 3, 1, 2 + 7 * 10},
      {820, 3, 1, 2 + 7 * 10},
      {1440, 3, 1, 2 + 7 * 18},
      {1000, 3, 1, 2},  // no geometry: nothing added
  };
  Bytes data(512);
  for (const Case& c : cases) {
    devices.floppyCalls.clear();
    volume->sizeKB = c.sizeKB;
    volume->track = c.track;
    volume->head = c.head;
    volume->startSector = 2;
    volume->sectorCount = 1;
    volume->buffer = data.data();
    EXPECT_NE(0, TransferSectors(volume, 0));
    ASSERT_EQ(1u, devices.floppyCalls.size());
    EXPECT_EQ(c.expected, devices.floppyCalls[0].startSector) << c.sizeKB;
    EXPECT_EQ(0, devices.floppyCalls[0].track);
    EXPECT_EQ(0, devices.floppyCalls[0].head);
    EXPECT_EQ(static_cast<uint32_t>(c.expected), SectorNumberAt(data.data())) << c.sizeKB;
  }
  CloseVolume(volume);

  // Image files fold too.
  ScratchDir dir;
  std::string path = dir.File("disk.img");
  ASSERT_TRUE(WriteFileBytes(path, MakeNumberedSectors(1440)));
  volume = OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path.c_str()), OpenReadOnly | OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  volume->track = 2;
  volume->head = 1;
  volume->startSector = 4;
  volume->sectorCount = 1;
  volume->buffer = data.data();
  EXPECT_NE(0, TransferSectors(volume, 0));
  EXPECT_EQ(4u + 5 * 9, SectorNumberAt(data.data()));
  EXPECT_EQ(0, volume->track);
  EXPECT_EQ(0, volume->head);
  CloseVolume(volume);
}

TEST(TransferSectors, BiosFloppyRequestsAreCutAtTrackEnds) {
  FakeDevices devices;
  Volume* volume = OpenFloppy(devices, false);
  ASSERT_NE(nullptr, volume);
  ASSERT_EQ(1440, volume->sizeKB);

  Bytes data(20 * 512);
  EXPECT_NE(0, Transfer(volume, 10, 20, data.data(), false));
  EXPECT_EQ((std::vector<Piece>{{10, 0, 0, 8}, {0, 0, 1, 12}}), Pieces(devices));
  EXPECT_EQ(Range(10, 20), SectorNumbers(data));
  EXPECT_EQ(data.data() + data.size(), volume->buffer);

  devices.floppyCalls.clear();
  data.assign(60 * 512, 0);
  EXPECT_NE(0, Transfer(volume, 30, 60, data.data(), false));
  EXPECT_EQ((std::vector<Piece>{{12, 0, 1, 6}, {0, 1, 0, 18}, {0, 1, 1, 18}, {0, 2, 0, 18}}), Pieces(devices));
  EXPECT_EQ(Range(30, 60), SectorNumbers(data));

  // 720 KB: nine sectors a track.
  devices.floppyCalls.clear();
  devices.floppySectorsPerTrack = 9;
  volume->sizeKB = 720;
  data.assign(5 * 512, 0);
  EXPECT_NE(0, Transfer(volume, 16, 5, data.data(), false));
  EXPECT_EQ((std::vector<Piece>{{7, 0, 1, 2}, {0, 1, 0, 3}}), Pieces(devices));
  EXPECT_EQ(Range(16, 5), SectorNumbers(data));

  // Writes take the same pieces.
  devices.floppyCalls.clear();
  Bytes written = MakeNumberedSectors(12);
  EXPECT_NE(0, Transfer(volume, 7, 3, written.data() + 9 * 512, true));
  EXPECT_EQ((std::vector<Piece>{{7, 0, 0, 2}, {0, 0, 1, 1}}), Pieces(devices));
  EXPECT_EQ(Bytes(written.begin() + 9 * 512, written.end()),
            Bytes(devices.floppy.begin() + 7 * 512, devices.floppy.begin() + 10 * 512));

  // Without a geometry the request goes whole, as given.
  devices.floppyCalls.clear();
  devices.floppySectorsPerTrack = 64;
  volume->sizeKB = 1000;
  data.assign(30 * 512, 0);
  EXPECT_NE(0, Transfer(volume, 20, 30, data.data(), false));
  EXPECT_EQ((std::vector<Piece>{{20, 0, 0, 30}}), Pieces(devices));

  // Nothing to move: fails without calling the drive.
  devices.floppyCalls.clear();
  EXPECT_EQ(0, Transfer(volume, 0, 0, data.data(), false));
  EXPECT_TRUE(devices.floppyCalls.empty());
  CloseVolume(volume);
}

TEST(TransferSectors, BiosFloppyFailureKeepsTheEarlierPieces) {
  FakeDevices devices;
  Volume* volume = OpenFloppy(devices, false, 18);  // track 0, side 0 only
  ASSERT_NE(nullptr, volume);
  Bytes data(20 * 512, 0);
  EXPECT_EQ(0, Transfer(volume, 10, 20, data.data(), false));
  EXPECT_EQ(2u, devices.floppyCalls.size());
  EXPECT_EQ(Range(10, 8), SectorNumbers(Bytes(data.begin(), data.begin() + 8 * 512)));
  CloseVolume(volume);
}

// A count near 2^31 is still cut at the track's end (no sum of count and
// index wraps round); the fake drive, one track long, fails the second piece.
TEST(TransferSectors, BiosFloppyCountNearTwoToTheThirtyFirstIsCutAtTheTrack) {
  FakeDevices devices;
  Volume* volume = OpenFloppy(devices, false, 18);
  ASSERT_NE(nullptr, volume);
  Bytes data(18 * 512);
  EXPECT_EQ(0, Transfer(volume, 10, INT32_MAX - 3, data.data(), false));
  ASSERT_LE(1u, devices.floppyCalls.size());
  EXPECT_EQ(8, devices.floppyCalls[0].sectorCount);
  EXPECT_EQ(10, devices.floppyCalls[0].startSector);
  CloseVolume(volume);
}

TEST(TransferSectors, MfsBlockInSectorTwoSwitchesTheBiosFloppySize) {
  FakeDevices devices;
  Volume* volume = OpenFloppy(devices, false);
  ASSERT_NE(nullptr, volume);
  Bytes data(20 * 512);
  struct Case {
    uint16_t blocks;
    uint32_t blockBytes;
    int32_t sizeKB;
  } cases[] = {{391, 1024, 400}, {401, 1024, 800}, {400, 1024, 400}, {2, 0x80000000u, 800}};
  for (const Case& c : cases) {
    devices.floppy = MakeMfsVolume(1440, c.blocks, c.blockBytes);
    volume->sizeKB = 1440;
    EXPECT_NE(0, Transfer(volume, 2, 1, data.data(), false));
    EXPECT_EQ(c.sizeKB, volume->sizeKB) << c.blocks << " blocks of " << c.blockBytes;
  }

  // Later pieces of the same call use the new geometry: 10 sectors a track.
  devices.floppy = MakeMfsVolume(1440, 782, 1024);
  devices.floppyCalls.clear();
  volume->sizeKB = 1440;
  EXPECT_NE(0, Transfer(volume, 2, 20, data.data(), false));
  EXPECT_EQ(800, volume->sizeKB);
  EXPECT_EQ((std::vector<Piece>{{2, 0, 0, 16}, {8, 0, 1, 2}, {0, 1, 0, 2}}), Pieces(devices));

  // Only a piece that starts at sector 2 of a disk taken for 1440 KB, and only on reads.
  for (int32_t first : {0, 1}) {
    volume->sizeKB = 1440;
    EXPECT_NE(0, Transfer(volume, first, 4, data.data(), false));
    EXPECT_EQ(1440, volume->sizeKB) << first;
  }
  volume->sizeKB = 1440;
  Bytes mfs = MakeMfsVolume(1440, 391, 1024);
  EXPECT_NE(0, Transfer(volume, 2, 1, mfs.data() + 1024, true));
  EXPECT_EQ(1440, volume->sizeKB);
  volume->sizeKB = 720;
  EXPECT_NE(0, Transfer(volume, 2, 1, data.data(), false));
  EXPECT_EQ(720, volume->sizeKB);

  // On Windows NT the request goes to the NT back-end whole.
  devices.floppyCalls.clear();
  volume->isNT = 1;
  volume->sizeKB = 1440;
  EXPECT_NE(0, Transfer(volume, 2, 20, data.data(), false));
  EXPECT_EQ(1440, volume->sizeKB);
  ASSERT_EQ(1u, devices.floppyCalls.size());
  EXPECT_TRUE(devices.floppyCalls[0].nt);
  EXPECT_EQ(20, devices.floppyCalls[0].sectorCount);
  devices.floppyFailures = 1;
  EXPECT_EQ(0, Transfer(volume, 2, 1, data.data(), false));
  CloseVolume(volume);
}

TEST(TransferSectors, ScsiBlocksOf512BytesAreSectors) {
  FakeDevices devices;
  devices.scsi = MakeNumberedSectors(256);
  Volume* volume = OpenVolume(KindScsi, (1 << 4) | 6, OpenNoDetect);
  ASSERT_NE(nullptr, volume);
  devices.scsiCalls.clear();
  volume->partitionStart = 100;
  Bytes data(4 * 512);
  EXPECT_NE(0, Transfer(volume, 3, 4, data.data(), false));
  EXPECT_EQ(Range(103, 4), SectorNumbers(data));
  ASSERT_EQ(1u, devices.scsiCalls.size());
  const ScsiCall& read = devices.scsiCalls[0];
  EXPECT_EQ('R', read.command);
  EXPECT_EQ(1, read.unit.hostAdapter);
  EXPECT_EQ(6, read.unit.target);
  EXPECT_EQ(103u, read.firstBlock);
  EXPECT_EQ(4u, read.blockCount);
  EXPECT_EQ(512u, read.blockLength);
  // Nothing is cached on this path: the same read goes to the device again.
  EXPECT_NE(0, Transfer(volume, 3, 4, data.data(), false));
  EXPECT_EQ(2, devices.ScsiCommands('R'));

  Bytes written(2 * 512, 0x6B);
  EXPECT_NE(0, Transfer(volume, 10, 2, written.data(), true));
  EXPECT_EQ(1, devices.ScsiCommands('W'));
  EXPECT_EQ(written, Bytes(devices.scsi.begin() + 110 * 512, devices.scsi.begin() + 112 * 512));

  // No sectors: success without a command, both ways.
  devices.scsiCalls.clear();
  EXPECT_NE(0, Transfer(volume, 0, 0, data.data(), false));
  EXPECT_NE(0, Transfer(volume, 0, 0, data.data(), true));
  EXPECT_TRUE(devices.scsiCalls.empty());

  // Past the 32-bit block addresses, or without a SCSI layer, nothing is sent.
  volume->partitionStart = 0x7FFFFFFF;
  EXPECT_EQ(0, Transfer(volume, 0x7FFFFFFF, 4, data.data(), false));
  volume->partitionStart = 0;
  EXPECT_EQ(0, Transfer(volume, -1, 1, data.data(), false));
  scsiAdapterCount = 0;
  EXPECT_EQ(0, Transfer(volume, 0, 1, data.data(), false));
  EXPECT_TRUE(devices.scsiCalls.empty());
  CloseVolume(volume);
}

// A caller tells a device that did not answer from one that answered with an
// error, for each transfer on its own, whatever the block length.
TEST(TransferSectors, EachTransferTellsWhetherItFailedForWantOfAnAnswer) {
  FakeDevices devices;
  for (uint32_t blockLength : {512u, 2048u}) {
    devices.scsiBlockLength = blockLength;
    devices.scsi = MakeNumberedSectors(64);
    Volume* volume = OpenDevice(KindScsi);
    ASSERT_NE(nullptr, volume);
    Bytes data(4 * 512);
    devices.scsiTimesOut = true;
    EXPECT_EQ(0, Transfer(volume, 0, 4, data.data(), false));
    EXPECT_EQ(1, volume->timedOut) << blockLength;
    devices.scsiTimesOut = false;
    EXPECT_EQ(0, Transfer(volume, 100, 4, data.data(), false));  // past the end: an error
    EXPECT_EQ(0, volume->timedOut) << blockLength;
    devices.scsiTimesOut = true;
    EXPECT_EQ(0, Transfer(volume, 0, 4, data.data(), false));
    devices.scsiTimesOut = false;
    EXPECT_NE(0, Transfer(volume, 0, 4, data.data(), false));
    EXPECT_EQ(0, volume->timedOut) << blockLength;
    CloseVolume(volume);
  }
}

class LargeBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    devices_.scsiBlockLength = 2048;
    devices_.scsi = MakeNumberedSectors(4 * 64);  // 64 blocks of 2,048 bytes
    volume_ = OpenDevice(KindScsi);
    ASSERT_NE(nullptr, volume_);
    ASSERT_EQ(2048u, volume_->sectorSize);
    devices_.scsiCalls.clear();
  }
  void TearDown() override { CloseVolume(volume_); }
  // Reads sectors and returns their numbers; {} when the read failed.
  std::vector<uint32_t> Read(int32_t first, int32_t count) {
    Bytes data(static_cast<size_t>(count) * 512 + 1, 0xEE);
    if (!Transfer(volume_, first, count, data.data(), false)) return {};
    EXPECT_EQ(0xEE, data.back()) << "read past the request";
    data.pop_back();
    return SectorNumbers(data);
  }
  // The blocks the device was asked for since the last call, as (first, count) pairs.
  std::vector<std::pair<uint32_t, uint32_t>> DeviceReads() {
    std::vector<std::pair<uint32_t, uint32_t>> reads;
    for (const ScsiCall& call : devices_.scsiCalls) {
      EXPECT_EQ('R', call.command);
      EXPECT_EQ(2048u, call.blockLength);
      reads.push_back({call.firstBlock, call.blockCount});
    }
    devices_.scsiCalls.clear();
    return reads;
  }
  std::vector<int32_t> CachedBlocks() {
    std::vector<int32_t> blocks;
    for (int slot = 0; slot < kBlockCacheSlots; ++slot) {
      if (volume_->blockCache[slot].buffer) blocks.push_back(volume_->blockCache[slot].block);
    }
    return blocks;
  }
  using Reads = std::vector<std::pair<uint32_t, uint32_t>>;
  FakeDevices devices_;
  Volume* volume_ = nullptr;
};

TEST_F(LargeBlockTest, WholeBlocksAreReadAndCut) {
  // Sectors 4 to 7 are block 1; ending on the block boundary takes block 2 as well.
  EXPECT_EQ(Range(4, 4), Read(4, 4));
  EXPECT_EQ((Reads{{1, 2}}), DeviceReads());
  EXPECT_EQ(Range(4, 4), Read(4, 4));
  EXPECT_EQ(Reads{}, DeviceReads());
  EXPECT_EQ((std::vector<int32_t>{1, 2}), CachedBlocks());

  EXPECT_EQ(Range(13, 2), Read(13, 2));  // inside block 3
  EXPECT_EQ((Reads{{3, 1}}), DeviceReads());
  EXPECT_EQ(Range(7, 6), Read(7, 6));  // blocks 1 to 3, all cached
  EXPECT_EQ(Reads{}, DeviceReads());
  EXPECT_EQ(Range(14, 7), Read(14, 7));  // blocks 3 and 4 wanted, 5 taken too; 3 cached
  EXPECT_EQ((Reads{{4, 2}}), DeviceReads());

  // Lookup stops at the first block not cached, even if later ones are.
  EXPECT_EQ(Range(40, 1), Read(40, 1));  // block 10
  EXPECT_EQ((Reads{{10, 1}}), DeviceReads());
  EXPECT_EQ(Range(36, 6), Read(36, 6));  // blocks 9 and 10: nothing cached at the front
  EXPECT_EQ((Reads{{9, 2}}), DeviceReads());

  volume_->partitionStart = 64;  // block 16
  EXPECT_EQ(Range(65, 2), Read(1, 2));
  EXPECT_EQ((Reads{{16, 1}}), DeviceReads());

  // Writes are not supported on such devices.
  Bytes data(512);
  EXPECT_EQ(0, Transfer(volume_, 0, 1, data.data(), true));
  EXPECT_EQ(0, devices_.ScsiCommands('W'));

  // The medium's last block: the block after it does not exist, and the
  // request is whole without it; nothing past the medium is cached.
  volume_->partitionStart = 0;
  DeviceReads();
  EXPECT_EQ(Range(252, 4), Read(252, 4));
  EXPECT_EQ((Reads{{63, 2}, {63, 1}}), DeviceReads());
  EXPECT_EQ(Range(252, 4), Read(252, 4));
  EXPECT_EQ((Reads{{64, 1}}), DeviceReads());
  EXPECT_EQ(Range(252, 3), Read(252, 3));
  EXPECT_EQ(Reads{}, DeviceReads());
  EXPECT_TRUE(Read(255, 2).empty());
  EXPECT_TRUE(Read(256, 1).empty());
}

TEST_F(LargeBlockTest, CacheDropsTheBlockLeastRecentlyUsedByATransfer) {
  for (int32_t block = 0; block <= 16; ++block) EXPECT_EQ(Range(4 * block, 1), Read(4 * block, 1));
  EXPECT_EQ(17u, DeviceReads().size());
  std::vector<int32_t> oneToSixteen;
  for (int32_t block = 1; block <= 16; ++block) oneToSixteen.push_back(block);
  EXPECT_EQ(oneToSixteen, CachedBlocks());

  // Block 1 from the cache moves to the most recent place; block 2 goes next.
  EXPECT_EQ(Range(4, 1), Read(4, 1));
  EXPECT_EQ(Reads{}, DeviceReads());
  EXPECT_EQ(Range(4 * 17, 1), Read(4 * 17, 1));
  EXPECT_EQ((Reads{{17, 1}}), DeviceReads());
  EXPECT_EQ(Range(4, 1), Read(4, 1));
  EXPECT_EQ(Range(12, 1), Read(12, 1));
  EXPECT_EQ(Reads{}, DeviceReads());
  EXPECT_EQ(Range(8, 1), Read(8, 1));
  EXPECT_EQ((Reads{{2, 1}}), DeviceReads());
  EXPECT_EQ(Range(0, 1), Read(0, 1));
  EXPECT_EQ((Reads{{0, 1}}), DeviceReads());
  // Oldest first: 6..17 were not touched since; then 1, 3, 2, 0.
  std::vector<int32_t> expected;
  for (int32_t block = 6; block <= 17; ++block) expected.push_back(block);
  for (int32_t block : {1, 3, 2, 0}) expected.push_back(block);
  EXPECT_EQ(expected, CachedBlocks());
}

}  // namespace
