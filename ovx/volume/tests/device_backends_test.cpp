// The decisions of the device back-ends that every build makes the same way,
// tested here on each: how the BIOS disk service's answer is read, where a
// device command's data room lies, and the SCSI commands both layers send.
#include "device_backends.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

TEST(BiosTransferComplete, OnlyCarryClearWithEverySectorMovedIsSuccess) {
  const uint32_t kCarry = 1;
  struct Case {
    uint32_t eax, flags;
    int32_t count;
    int complete;
  } cases[] = {
      {0x0009, 0, 9, 1},           // AH 0 (no error), all nine moved
      {0x0309, 0x0246, 9, 1},      // other flags than carry do not matter
      {0x0404, kCarry, 9, 0},      // sector not found at the fifth: four moved, carry
      {0x0004, 0, 9, 0},           // a short count without carry is no success either
      {0x0009, kCarry, 9, 0},      // carry with the full count: an error all the same
      {0x0000, 0, 1, 0},           // nothing moved
      {0x0001, 0, 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.complete, BiosTransferComplete(c.eax, c.flags, c.count))
        << std::hex << "EAX " << c.eax << " flags " << c.flags << std::dec << " count " << c.count;
  }
}

TEST(AllocateCommandBlock, DataStartsOnAPageBoundaryBehindTheRecord) {
  for (size_t dataBytes : {size_t{0}, size_t{512}, size_t{32768}, size_t{65535 * 2048}}) {
    uint8_t* data = nullptr;
    uint8_t* block = AllocateCommandBlock(80, dataBytes, &data);
    ASSERT_NE(nullptr, block) << dataBytes;
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(data) % 4096) << dataBytes;
    EXPECT_GE(data, block + 80);
    EXPECT_LT(data, block + 80 + 4096);
    // Record and data room are both there to be written.
    memset(block, 0x5A, 80);
    if (dataBytes) memset(data, 0xA5, dataBytes);
    EXPECT_EQ(0x5A, block[79]);
    ReleaseCommandBlock(block);
  }
  uint8_t* data = nullptr;
  EXPECT_EQ(nullptr, AllocateCommandBlock(80, SIZE_MAX - 100, &data));
  ReleaseCommandBlock(nullptr);
}


// The commands both SCSI layers send, as the shared builder makes them.
struct Sent {
  ScsiAddress unit;
  std::vector<uint8_t> cdb;
  ScsiDirection direction;
  uint32_t dataLength;
  bool shortAnswerAllowed;
};
std::vector<Sent> sent;
int refuseFrom = -1;  // the command of this index on fails

int RecordCommand(const ScsiAddress& unit, const ScsiCommand& command) {
  sent.push_back({unit, std::vector<uint8_t>(command.cdb, command.cdb + command.cdbLength), command.direction,
                  command.dataLength, command.shortAnswerAllowed});
  // As a layer does, data reaches the buffer only from a command that completed.
  const bool completes = refuseFrom < 0 || static_cast<int>(sent.size()) <= refuseFrom;
  if (completes && command.direction == ScsiDataIn) memset(command.data, 0x5A, command.dataLength);
  return completes;
}

std::vector<std::vector<uint8_t>> SentCdbs() {
  std::vector<std::vector<uint8_t>> cdbs;
  for (const Sent& s : sent) cdbs.push_back(s.cdb);
  sent.clear();
  return cdbs;
}

TEST(ScsiCommands, FormsFollowAddressCountAndBlockLength) {
  const ScsiAddress unit = {2, 5, 1};
  std::vector<uint8_t> data(65537u * 512);
  sent.clear();
  refuseFrom = -1;
  ASSERT_EQ(1, SendScsiBlocks(RecordCommand, unit, false, 100, 4, data.data(), 512));
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(2, sent[0].unit.hostAdapter);
  EXPECT_EQ(5, sent[0].unit.target);
  EXPECT_EQ(1, sent[0].unit.lun);
  EXPECT_EQ(ScsiDataIn, sent[0].direction);
  EXPECT_EQ(2048u, sent[0].dataLength);
  EXPECT_FALSE(sent[0].shortAnswerAllowed);
  EXPECT_EQ((std::vector<std::vector<uint8_t>>{{0x08, 0x00, 0x00, 0x64, 0x04, 0x00}}), SentCdbs());

  // 255 blocks fit the one-byte count, 256 do not; 0x1FFFFF is the last
  // address of the short form; blocks above 512 bytes always take the long one.
  SendScsiBlocks(RecordCommand, unit, false, 0x1FFFFF, 255, data.data(), 512);
  SendScsiBlocks(RecordCommand, unit, false, 10, 256, data.data(), 512);
  SendScsiBlocks(RecordCommand, unit, true, 0x200000, 2, data.data(), 512);
  SendScsiBlocks(RecordCommand, unit, false, 1, 2, data.data(), 2048);
  EXPECT_EQ(ScsiDataOut, sent[2].direction);
  EXPECT_EQ(4096u, sent[3].dataLength);
  EXPECT_EQ((std::vector<std::vector<uint8_t>>{{0x08, 0x1F, 0xFF, 0xFF, 0xFF, 0x00},
                                                {0x28, 0, 0, 0, 0, 0x0A, 0, 0x01, 0x00, 0},
                                                {0x2A, 0, 0, 0x20, 0, 0, 0, 0, 0x02, 0},
                                                {0x28, 0, 0, 0, 0, 0x01, 0, 0, 0x02, 0}}),
            SentCdbs());

  // Beyond 65,535 blocks: split, each command in the form that fits it.
  ASSERT_EQ(1, SendScsiBlocks(RecordCommand, unit, true, 1, 65537, data.data(), 512));
  EXPECT_EQ(65535u * 512, sent[0].dataLength);
  EXPECT_EQ((std::vector<std::vector<uint8_t>>{{0x2A, 0, 0, 0, 0, 0x01, 0, 0xFF, 0xFF, 0},
                                                {0x0A, 0x01, 0x00, 0x00, 0x02, 0x00}}),
            SentCdbs());

  // No blocks, no buffer, or a run past the 32-bit addresses: nothing is sent.
  EXPECT_EQ(0, SendScsiBlocks(RecordCommand, unit, false, 5, 0, data.data(), 512));
  EXPECT_EQ(0, SendScsiBlocks(RecordCommand, unit, false, 5, 1, nullptr, 512));
  EXPECT_EQ(0, SendScsiBlocks(RecordCommand, unit, false, 0xFFFFFFFF, 2, data.data(), 512));
  EXPECT_TRUE(sent.empty());

  // A read that fails part-way: what the failed command would have read is
  // zero, not what the buffer held before.
  refuseFrom = 1;
  std::fill(data.begin(), data.end(), 0xEE);
  EXPECT_EQ(0, SendScsiBlocks(RecordCommand, unit, false, 0, 65536, data.data(), 512));
  EXPECT_EQ(2u, sent.size());
  EXPECT_EQ(0x5A, data[0]);
  EXPECT_EQ(0, data[65535u * 512]);
  EXPECT_EQ(0xEE, data[65536u * 512]);
  refuseFrom = -1;
  sent.clear();
}

TEST(ScsiCommands, InquiryAndReadCapacity) {
  const ScsiAddress unit = {0, 3, 0};
  sent.clear();
  uint8_t buffer[256];
  ASSERT_EQ(1, SendScsiInquiry(RecordCommand, unit, buffer, 32));
  ASSERT_EQ(1, SendScsiReadCapacity(RecordCommand, unit, buffer, 8));
  ASSERT_EQ(2u, sent.size());
  EXPECT_TRUE(sent[0].shortAnswerAllowed);
  EXPECT_EQ(32u, sent[0].dataLength);
  EXPECT_FALSE(sent[1].shortAnswerAllowed);
  EXPECT_EQ(8u, sent[1].dataLength);
  EXPECT_EQ((std::vector<std::vector<uint8_t>>{{0x12, 0, 0, 0, 32, 0}, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}}),
            SentCdbs());
  // The allocation length is one byte: 256 is refused unsent, the buffer zeroed.
  memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(0, SendScsiInquiry(RecordCommand, unit, buffer, 256));
  EXPECT_EQ(0, buffer[255]);
  EXPECT_TRUE(sent.empty());
}

// ASPI's units are probed as the drive list always has: targets 0 to 6 of
// each host adapter, logical unit 0; with no layer, none.
TEST(ScsiProbeAddress, AspiTargetsZeroToSixOfEachAdapter) {
  const ScsiLayer savedLayer = scsiLayer;
  const uint16_t savedCount = scsiAdapterCount;
  scsiLayer = ScsiLayerAspi;
  scsiAdapterCount = 2;
  std::vector<std::vector<int>> probed;
  ScsiAddress unit;
  for (int i = 0; ScsiProbeAddress(i, &unit); ++i) probed.push_back({unit.hostAdapter, unit.target, unit.lun});
  ASSERT_EQ(14u, probed.size());
  EXPECT_EQ((std::vector<int>{0, 6, 0}), probed[6]);
  EXPECT_EQ((std::vector<int>{1, 0, 0}), probed[7]);
  EXPECT_EQ(0, ScsiProbeAddress(-1, &unit));
  // A logical unit other than 0 is none of ASPI's devices.
  uint8_t inquiry[32];
  memset(inquiry, 0xEE, sizeof inquiry);
  EXPECT_EQ(0, ScsiInquiry({0, 1, 2}, inquiry, sizeof inquiry));
  EXPECT_EQ(0, inquiry[31]);
  scsiAdapterCount = 0;
  EXPECT_EQ(0, ScsiProbeAddress(0, &unit));
  scsiLayer = savedLayer;
  scsiAdapterCount = savedCount;
}

}  // namespace
