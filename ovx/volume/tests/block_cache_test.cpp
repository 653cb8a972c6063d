// The block cache on its own, for what transfers do not show: a block already
// held keeps its buffer, a store of more blocks than slots keeps the last
// sixteen, and the scratch slot never shares a buffer (which would free it twice).
#include "block_cache.h"

#include <gtest/gtest.h>

#include <vector>

#include "volume.h"

namespace {

const uint32_t kBlock = 2048;

// count blocks from first, each filled with its block number's low byte plus salt.
std::vector<uint8_t> Blocks(uint32_t first, int count, uint8_t salt = 0) {
  std::vector<uint8_t> data(static_cast<size_t>(count) * kBlock);
  for (int i = 0; i < count; ++i) std::fill_n(data.begin() + i * kBlock, kBlock, static_cast<uint8_t>(first + i + salt));
  return data;
}

std::vector<int32_t> Slots(const Volume& volume) {
  std::vector<int32_t> blocks;
  for (int slot = 0; slot < kBlockCacheSlots; ++slot) {
    blocks.push_back(volume.blockCache[slot].buffer ? volume.blockCache[slot].block : -1);
  }
  return blocks;
}

TEST(BlockCache, StoresRefreshHeldBlocksAndKeepTheLastSixteen) {
  Volume volume = {};
  volume.sectorSize = kBlock;
  std::vector<uint8_t> data = Blocks(5, 3);
  EXPECT_EQ(1, CacheStore(&volume, data.data(), 5, 3));
  std::vector<int32_t> expected(13, -1);
  expected.insert(expected.end(), {5, 6, 7});
  EXPECT_EQ(expected, Slots(volume));

  // Storing a held block again refreshes it in its own buffer and moves it last.
  uint8_t* buffer5 = volume.blockCache[13].buffer;
  data = Blocks(5, 1, 100);
  CacheStore(&volume, data.data(), 5, 1);
  expected = std::vector<int32_t>(13, -1);
  expected.insert(expected.end(), {6, 7, 5});
  EXPECT_EQ(expected, Slots(volume));
  EXPECT_EQ(buffer5, volume.blockCache[15].buffer);
  EXPECT_EQ(105, buffer5[kBlock - 1]);

  data = Blocks(100, 20);
  CacheStore(&volume, data.data(), 100, 20);
  expected.clear();
  for (int32_t block = 104; block < 120; ++block) expected.push_back(block);
  EXPECT_EQ(expected, Slots(volume));
  std::vector<uint8_t> out(16 * kBlock);
  EXPECT_EQ(16, CacheLookup(&volume, out.data(), 104, 16));
  EXPECT_EQ(Blocks(104, 16), out);

  EXPECT_EQ(nullptr, volume.blockCache[kBlockCacheSlots].buffer);
  for (int a = 0; a < kBlockCacheSlots; ++a) {
    for (int b = a + 1; b < kBlockCacheSlots; ++b) {
      EXPECT_NE(volume.blockCache[a].buffer, volume.blockCache[b].buffer) << a << " and " << b;
    }
  }
  ReleaseBlockCache(&volume);
  EXPECT_EQ(std::vector<int32_t>(16, -1), Slots(volume));
}

}  // namespace
