// The block cache on its own: where CacheStore puts blocks, that a block
// already held keeps its buffer, that lookups stop at the first gap and do
// not reorder, and that the scratch slot never shares a buffer.
#include "block_cache.h"

#include <gtest/gtest.h>

#include <vector>

#include "volume.h"

namespace {

const uint32_t kBlock = 2048;

class BlockCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { volume_.sectorSize = kBlock; }
  void TearDown() override { ReleaseBlockCache(&volume_); }
  // count blocks from first, each filled with its block number's low byte plus `salt`.
  std::vector<uint8_t> Blocks(uint32_t first, int count, uint8_t salt = 0) {
    std::vector<uint8_t> data(static_cast<size_t>(count) * kBlock);
    for (int i = 0; i < count; ++i) {
      std::fill_n(data.begin() + i * kBlock, kBlock, static_cast<uint8_t>(first + i + salt));
    }
    return data;
  }
  void Store(uint32_t first, int count, uint8_t salt = 0) {
    std::vector<uint8_t> data = Blocks(first, count, salt);
    EXPECT_EQ(1, CacheStore(&volume_, data.data(), first, count));
  }
  std::vector<int32_t> Slots() {
    std::vector<int32_t> blocks;
    for (int slot = 0; slot < kBlockCacheSlots; ++slot) {
      blocks.push_back(volume_.blockCache[slot].buffer ? volume_.blockCache[slot].block : -1);
    }
    return blocks;
  }
  Volume volume_ = {};
};

TEST_F(BlockCacheTest, StoresFillFromTheMostRecentEnd) {
  Store(5, 3);
  std::vector<int32_t> expected(13, -1);
  expected.insert(expected.end(), {5, 6, 7});
  EXPECT_EQ(expected, Slots());
  EXPECT_EQ(nullptr, volume_.blockCache[kBlockCacheSlots].buffer);

  // Storing a held block again refreshes it in its own buffer and moves it last.
  uint8_t* buffer5 = volume_.blockCache[13].buffer;
  Store(5, 1, 100);
  expected = std::vector<int32_t>(13, -1);
  expected.insert(expected.end(), {6, 7, 5});
  EXPECT_EQ(expected, Slots());
  EXPECT_EQ(buffer5, volume_.blockCache[15].buffer);
  EXPECT_EQ(105, buffer5[kBlock - 1]);
  EXPECT_EQ(nullptr, volume_.blockCache[kBlockCacheSlots].buffer);
}

TEST_F(BlockCacheTest, LookupCopiesUpToTheFirstGapWithoutReordering) {
  Store(20, 2);
  Store(23, 1);
  const std::vector<int32_t> before = Slots();
  std::vector<uint8_t> out(4 * kBlock, 0xEE);
  EXPECT_EQ(2, CacheLookup(&volume_, out.data(), 20, 4));
  EXPECT_EQ(Blocks(20, 2), std::vector<uint8_t>(out.begin(), out.begin() + 2 * kBlock));
  EXPECT_EQ(0xEE, out[2 * kBlock]);
  EXPECT_EQ(0, CacheLookup(&volume_, out.data(), 22, 2));
  EXPECT_EQ(1, CacheLookup(&volume_, out.data(), 23, 1));
  EXPECT_EQ(0, CacheLookup(&volume_, out.data(), 0, 1));  // empty slots hold "block 0" but no buffer
  EXPECT_EQ(before, Slots());
}

TEST_F(BlockCacheTest, SixteenBlocksAtMostInOneStore) {
  Store(100, 20);  // more than the cache holds: the last sixteen stay
  std::vector<int32_t> expected;
  for (int32_t block = 104; block < 120; ++block) expected.push_back(block);
  EXPECT_EQ(expected, Slots());
  std::vector<uint8_t> out(16 * kBlock);
  EXPECT_EQ(16, CacheLookup(&volume_, out.data(), 104, 16));
  EXPECT_EQ(Blocks(104, 16), out);
  // Every buffer is distinct, so releasing frees each once.
  for (int a = 0; a <= kBlockCacheSlots; ++a) {
    if (!volume_.blockCache[a].buffer) continue;
    for (int b = a + 1; b <= kBlockCacheSlots; ++b) {
      EXPECT_NE(volume_.blockCache[a].buffer, volume_.blockCache[b].buffer) << a << " and " << b;
    }
  }
}

}  // namespace
