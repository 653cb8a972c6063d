// What is the pass-through back-end's own, through stand-ins for the
// platform's device calls (fake_scsi_bus.h): how adapters, buses and class
// devices become host adapters and units, which device each command goes
// through, the records as the platform takes them, time-outs and underruns,
// the devices it keeps open, Windows 95/98, and disks holding mounted volumes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_backends.h"
#include "fake_scsi_bus.h"
#include "image_builders.h"
#include "volume.h"

namespace {

class PassThrough : public ::testing::Test {
 protected:
  void SetUp() override {
    savedWaitLimit_ = scsiWaitLimitMs;
    InstallFakeScsiBus(1);
    disk_ = dir_.File("disk.img");
    ASSERT_TRUE(WriteFileBytes(disk_, MakeNumberedSectors(64)));
    cd_ = dir_.File("cd.iso");
    ASSERT_TRUE(WriteFileBytes(cd_, MakeNumberedSectors(4 * 16)));
  }
  void TearDown() override {
    RemoveFakeScsiBus();
    scsiWaitLimitMs = savedWaitLimit_;
  }

  int AddUnit(int port, int bus, int target, int lun, FakeScsiKind kind, int classNumber) {
    const int unit = AddFakeScsiUnit(port, target, lun, kind, kind == FakeScsiCdrom ? cd_.c_str() : disk_.c_str(),
                                     classNumber);
    fakeScsiBus.units[unit].bus = bus;
    return unit;
  }

  static std::vector<std::vector<int>> Probed() {
    std::vector<std::vector<int>> units;
    ScsiAddress unit;
    for (int i = 0; ScsiProbeAddress(i, &unit); ++i) units.push_back({unit.hostAdapter, unit.target, unit.lun});
    return units;
  }

  ScratchDir dir_;
  std::string disk_, cd_;
  uint32_t savedWaitLimit_ = 0;
};

// Each port and bus pair is a host adapter, in order, whether the pair comes
// from an adapter's buses or from a class device behind a port without one
// (USB mass storage); the slots of a card reader are logical units.
TEST_F(PassThrough, HostAdaptersAreEachPortAndBusInOrder) {
  fakeScsiBus.busesOfPort = {2, 0, 1};  // "\\.\Scsi1:" does not exist
  AddUnit(0, 1, 2, 0, FakeScsiDisk, 1);
  AddUnit(0, 0, 5, 0, FakeScsiDisk, -1);  // unclaimed: only through its adapter
  AddUnit(2, 0, 0, 0, FakeScsiCdrom, 0);
  AddUnit(5, 0, 0, 1, FakeScsiDisk, 2);   // a card reader's second slot, then its first
  AddUnit(5, 0, 0, 0, FakeScsiDisk, 0);
  AddUnit(2, 0, 16, 0, FakeScsiDisk, 3);  // beyond the targets a source names
  AddUnit(2, 0, 1, 8, FakeScsiDisk, 4);   // beyond its logical units
  ASSERT_EQ(1, LoadScsiLayer());
  EXPECT_EQ(ScsiLayerPassThrough, scsiLayer);
  EXPECT_EQ(4, scsiAdapterCount);  // (0,0) (0,1) (2,0) (5,0)
  EXPECT_EQ((std::vector<std::vector<int>>{{0, 5, 0}, {1, 2, 0}, {2, 0, 0}, {3, 0, 0}, {3, 0, 1}}), Probed());

  // A claimed unit takes its commands through its class device, an
  // unclaimed one through its adapter, addressed by bus, target and unit.
  uint8_t inquiry[32];
  for (const ScsiAddress& unit : std::vector<ScsiAddress>{{0, 5, 0}, {1, 2, 0}, {2, 0, 0}, {3, 0, 1}}) {
    EXPECT_EQ(1, ScsiInquiry(unit, inquiry, sizeof inquiry)) << unit.hostAdapter;
  }
  ASSERT_EQ(4u, fakeScsiBus.commands.size());
  EXPECT_EQ("\\\\.\\Scsi0:", fakeScsiBus.commands[0].path);
  EXPECT_EQ(0, fakeScsiBus.commands[0].pathId);
  EXPECT_EQ(5, fakeScsiBus.commands[0].targetId);
  EXPECT_EQ("\\\\.\\PhysicalDrive1", fakeScsiBus.commands[1].path);
  EXPECT_EQ("\\\\.\\CdRom0", fakeScsiBus.commands[2].path);
  EXPECT_EQ("\\\\.\\PhysicalDrive2", fakeScsiBus.commands[3].path);
  EXPECT_EQ(0, memcmp(inquiry + 8, "ORVANTA FAKE DISK", 17));
  EXPECT_EQ(0, ScsiInquiry({3, 0, 2}, inquiry, sizeof inquiry));
  EXPECT_EQ(0, ScsiInquiry({4, 0, 0}, inquiry, sizeof inquiry));
  EXPECT_EQ(4u, fakeScsiBus.commands.size()) << "a unit not found is sent nothing";

  // Devices stay open until the next load, which closes them first.
  const int open = fakeScsiBus.openHandles;
  EXPECT_LT(0, open);
  ASSERT_EQ(1, LoadScsiLayer());
  EXPECT_EQ(open, fakeScsiBus.openHandles);
  ClosePassThroughDevices();
  EXPECT_EQ(0, fakeScsiBus.openHandles);
  EXPECT_EQ(0, PassThroughUnitAddress(0, nullptr));
}

// Every command is a record the platform takes: its own length, the data in
// page-aligned room of its own, the direction, sense room inside the
// record, and a time-out in seconds from the wait limit.
TEST_F(PassThrough, CommandRecordsAreWhatThePlatformTakes) {
  AddUnit(0, 0, 1, 0, FakeScsiDisk, 0);
  fakeScsiBus.units[0].emulated.alignmentMask = 0xFFF;
  ASSERT_EQ(1, LoadScsiLayer());
  Bytes data(9 * 512);
  ASSERT_NE(0, ScsiRead({0, 1, 0}, 3, 9, data.data() + 1, 512));
  EXPECT_EQ(3u, SectorNumberAt(data.data() + 1));
  scsiWaitLimitMs = 45500;
  ASSERT_NE(0, ScsiWrite({0, 1, 0}, 20, 1, data.data() + 1, 512));
  scsiWaitLimitMs = 300;
  ASSERT_NE(0, ScsiReadCapacity({0, 1, 0}, data.data(), 8));
  ASSERT_EQ(3u, fakeScsiBus.commands.size());
  for (const FakePassThroughCommand& command : fakeScsiBus.commands) {
    EXPECT_TRUE(command.valid);
    EXPECT_EQ(0u, command.dataAddress % 4096);
    EXPECT_EQ(32u, command.senseLength);
  }
  EXPECT_EQ(1, fakeScsiBus.commands[0].dataIn);
  EXPECT_EQ(9u * 512, fakeScsiBus.commands[0].dataLength);
  EXPECT_EQ(30u, fakeScsiBus.commands[0].timeOutValue);
  EXPECT_EQ(0, fakeScsiBus.commands[1].dataIn);
  EXPECT_EQ(46u, fakeScsiBus.commands[1].timeOutValue);
  EXPECT_EQ(1u, fakeScsiBus.commands[2].timeOutValue);
  EXPECT_EQ(3u, SectorNumberAt(ReadFileBytes(disk_).data() + 20 * 512));
}

// The platform gives up a command that went unanswered for TimeOutValue
// seconds: a time-out. A device that answers good but moved less than asked
// has not read the blocks; only INQUIRY may answer short. A locked medium
// refuses writes.
TEST_F(PassThrough, TimeOutsUnderrunsAndRefusedWrites) {
  AddUnit(0, 0, 1, 0, FakeScsiStalled, 0);
  AddUnit(0, 0, 2, 0, FakeScsiDisk, 1);
  AddUnit(0, 0, 3, 0, FakeScsiDisk, 2);
  fakeScsiBus.units[1].answersShort = true;
  fakeScsiBus.units[2].emulated.writeProtected = true;
  ASSERT_EQ(1, LoadScsiLayer());
  Bytes data(4 * 512, 0xEE);
  deviceTimedOut = 0;
  EXPECT_EQ(0, ScsiRead({0, 1, 0}, 0, 4, data.data(), 512));
  EXPECT_EQ(1, deviceTimedOut);
  EXPECT_EQ(Bytes(4 * 512, 0), data);

  deviceTimedOut = 0;
  data.assign(data.size(), 0xEE);
  EXPECT_EQ(0, ScsiRead({0, 2, 0}, 0, 4, data.data(), 512));
  EXPECT_EQ(0, deviceTimedOut);
  EXPECT_EQ(Bytes(4 * 512, 0), data);
  uint8_t inquiry[32];
  EXPECT_EQ(1, ScsiInquiry({0, 2, 0}, inquiry, sizeof inquiry));
  EXPECT_EQ(0, memcmp(inquiry + 8, "ORVANTA ", 8));
  EXPECT_EQ(0, inquiry[16]) << "what the device did not send stays zero";

  EXPECT_EQ(0, ScsiWrite({0, 3, 0}, 0, 1, data.data(), 512));
  EXPECT_NE(0, ScsiRead({0, 3, 0}, 0, 1, data.data(), 512));
  EXPECT_EQ(0, deviceTimedOut);
}

TEST_F(PassThrough, WindowsNinetyFiveAndNinetyEightAreNeverAsked) {
  AddUnit(0, 0, 1, 0, FakeScsiDisk, 0);
  fakeScsiBus.windows9x = true;
  EXPECT_EQ(0, LoadScsiLayer());
  EXPECT_EQ(ScsiLayerNone, scsiLayer);
  EXPECT_EQ(0, scsiAdapterCount);
  EXPECT_TRUE(fakeScsiBus.opened.empty());
  EXPECT_EQ(nullptr, OpenVolume(KindScsi, 1, OpenNoDetect));
}

// A disk that holds a volume Windows mounted (a drive letter's volume has an
// extent on it) is told apart from the other disks, from CD-ROMs and from
// units reached through their adapter.
TEST_F(PassThrough, DisksHoldingAMountedVolumeAreTold) {
  AddUnit(0, 0, 0, 0, FakeScsiDisk, 0);
  AddUnit(0, 0, 1, 0, FakeScsiDisk, 1);
  AddUnit(0, 0, 2, 0, FakeScsiCdrom, 1);
  AddUnit(0, 0, 3, 0, FakeScsiDisk, -1);
  fakeScsiBus.mountedLetters = 1 << 2 | 1 << 25;  // C: and Z:
  fakeScsiBus.mountedDisk = 1;
  ASSERT_EQ(1, LoadScsiLayer());
  const int open = fakeScsiBus.openHandles;
  EXPECT_EQ(0, ScsiHoldsMountedVolume({0, 0, 0}));
  EXPECT_EQ(1, ScsiHoldsMountedVolume({0, 1, 0}));
  EXPECT_EQ(0, ScsiHoldsMountedVolume({0, 2, 0}));
  EXPECT_EQ(0, ScsiHoldsMountedVolume({0, 3, 0}));
  EXPECT_EQ(open, fakeScsiBus.openHandles) << "every volume asked is closed again";
  fakeScsiBus.mountedDisk = 7;
  EXPECT_EQ(0, ScsiHoldsMountedVolume({0, 1, 0}));
  fakeScsiBus.mountedLetters = 0;
  fakeScsiBus.mountedDisk = 0;
  EXPECT_EQ(0, ScsiHoldsMountedVolume({0, 0, 0}));
}

}  // namespace
