// The decisions of the device back-ends that every build makes the same way,
// tested here on each: how the BIOS disk service's answer is read, and where
// a device command's data room lies.
#include "device_backends.h"

#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
