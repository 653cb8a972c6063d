// The image-file back-end through TransferSectors: where sectors are found
// (header, partition start), what a read past the end does to the file, how
// writes grow it, and offsets computed without wrapping.
#include "image_transfer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image_builders.h"
#include "sector_transfer.h"
#include "test_files.h"
#include "volume.h"

namespace {

const uint32_t kSectors = 64;

class ImageTransferTest : public ::testing::Test {
 protected:
  Volume* Open(const Bytes& image, int flags) {
    path_ = dir_.File("image-" + std::to_string(++count_));
    EXPECT_TRUE(WriteFileBytes(path_, image));
    return OpenVolume(KindImageFile, reinterpret_cast<uintptr_t>(path_.c_str()), flags | OpenNoDetect);
  }
  // The numbers of the sectors a read of `count` from `first` delivered, or {} when it failed.
  std::vector<uint32_t> Read(Volume* volume, int32_t first, int32_t count) {
    Bytes data(static_cast<size_t>(count) * 512 + 1, 0xEE);
    if (!ReadSectors(volume, first, count, data.data())) return {};
    EXPECT_EQ(0, volume->sectorCount);
    EXPECT_EQ(0xEE, data.back()) << "read past the request";
    std::vector<uint32_t> numbers;
    for (int32_t i = 0; i < count; ++i) numbers.push_back(SectorNumberAt(data.data() + 512 * i));
    return numbers;
  }
  ScratchDir dir_;
  std::string path_;
  int count_ = 0;
};

TEST_F(ImageTransferTest, SectorsCountFromPartitionStartBehindTheHeader) {
  for (size_t header : {0, 16, 84}) {
    Volume* volume = Open(WithHeader(MakeNumberedSectors(kSectors), header, 0x96), OpenReadOnly);
    ASSERT_NE(nullptr, volume);
    ASSERT_EQ(static_cast<int32_t>(header), volume->headerLength);
    EXPECT_EQ((std::vector<uint32_t>{0}), Read(volume, 0, 1)) << header;
    EXPECT_EQ((std::vector<uint32_t>{5, 6, 7}), Read(volume, 5, 3)) << header;
    volume->partitionStart = 10;
    EXPECT_EQ((std::vector<uint32_t>{15, 16}), Read(volume, 5, 2)) << header;
    EXPECT_EQ((std::vector<uint32_t>{63}), Read(volume, 53, 1)) << header;
    CloseVolume(volume);
  }
  // A 12-byte header set by detection is skipped the same way.
  Volume* volume = Open(WithHeader(MakeNumberedSectors(kSectors), 12, 0), OpenReadOnly);
  ASSERT_NE(nullptr, volume);
  volume->headerLength = 12;
  EXPECT_EQ((std::vector<uint32_t>{9}), Read(volume, 9, 1));
  CloseVolume(volume);
}

TEST_F(ImageTransferTest, ReadsPastTheEndFailAndNeverChangeTheFile) {
  const Bytes image = WithHeader(MakeNumberedSectors(kSectors), 84, 0);
  for (int flags : {static_cast<int>(OpenReadOnly), 0}) {
    Volume* volume = Open(image, flags);
    ASSERT_NE(nullptr, volume);
    ASSERT_EQ(flags ? 1 : 0, volume->readOnly);
    EXPECT_EQ((std::vector<uint32_t>{62, 63}), Read(volume, 62, 2));
    EXPECT_TRUE(Read(volume, 63, 2).empty()) << "flags " << flags;
    EXPECT_TRUE(Read(volume, 64, 1).empty());
    EXPECT_TRUE(Read(volume, 1000, 4).empty());
    CloseVolume(volume);
    EXPECT_EQ(image, ReadFileBytes(path_)) << "flags " << flags;
  }
}

TEST_F(ImageTransferTest, WritesPastTheEndGrowTheFile) {
  Volume* volume = Open(MakeNumberedSectors(4), 0);
  ASSERT_NE(nullptr, volume);
  Bytes data(2 * 512, 0xA5);
  volume->startSector = 9;
  volume->sectorCount = 2;
  volume->buffer = data.data();
  EXPECT_NE(0, TransferSectors(volume, 1));
  EXPECT_EQ(0, volume->sectorCount);
  EXPECT_EQ((std::vector<uint32_t>{3}), Read(volume, 3, 1));
  CloseVolume(volume);
  Bytes grown = ReadFileBytes(path_);
  ASSERT_EQ(11 * 512u, grown.size());
  EXPECT_EQ(Bytes(5 * 512, 0), Bytes(grown.begin() + 4 * 512, grown.begin() + 9 * 512));
  EXPECT_EQ(data, Bytes(grown.begin() + 9 * 512, grown.end()));
}

TEST_F(ImageTransferTest, BadRequestsFailWithoutWrappingOrTouchingTheBuffer) {
  Volume* volume = Open(MakeNumberedSectors(kSectors), 0);
  ASSERT_NE(nullptr, volume);
  uint8_t data[512];
  EXPECT_EQ(0, ReadSectors(volume, 0, 0, data));
  EXPECT_EQ(0, ReadSectors(volume, 0, -1, data));
  EXPECT_EQ(0, ReadSectors(volume, -1, 1, data));
  // 2^31 + 16 sectors would land on sector 16 if byte offsets wrapped at 32 bits.
  volume->partitionStart = 0x7FFFFFF0;
  EXPECT_TRUE(Read(volume, 0x20, 1).empty());
  volume->partitionStart = 0x00800000;  // byte offset 2^32: sector 0 when wrapped
  EXPECT_TRUE(Read(volume, 0, 1).empty());
  volume->partitionStart = 0;
  // A count whose byte length does not fit a 32-bit transfer is refused before any copying.
  memset(data, 0x3C, sizeof data);
  EXPECT_EQ(0, ReadSectors(volume, 0, 0x00800000, data));
  EXPECT_EQ(0x3C, data[0]);
  // No file: nothing to read.
  HANDLE file = volume->file;
  volume->file = nullptr;
  EXPECT_EQ(0, ReadSectors(volume, 0, 1, data));
  volume->file = file;
  CloseVolume(volume);
  EXPECT_EQ(MakeNumberedSectors(kSectors), ReadFileBytes(path_));
}

}  // namespace
