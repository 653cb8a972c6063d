#include "hfsplus_volume.h"

#include <cstring>

#include "byte_order.h"
#include "sector_transfer.h"
#include "volume.h"

namespace {

enum {
  kVersionOffset = 2,
  kBlockBytesOffset = 40,
  kExtentsForkOffset = 192,
  kCatalogForkOffset = 272,
  kAttributesForkOffset = 352,
  kForkExtentsOffset = 16,  // in a fork's data: the logical size (64 bits), clump size and block count come first
  // In an HFS master directory block:
  kWrapperBlockBytesOffset = 20,
  kWrapperFirstBlockOffset = 28,
  kEmbeddedSignatureOffset = 124,
  kEmbeddedExtentOffset = 126,
};

void ReadSpecialFile(const uint8_t* header, unsigned offset, HfsSpecialFile* file) {
  file->bytes = ReadBE64(header + offset);
  memcpy(file->firstRecord, header + offset + kForkExtentsOffset, kHfsPlusExtentRecordBytes);
}

// Reads the sector 2 of a volume that would start at sector start (counted
// from partitionStart) and tells whether it is an HFS+ volume header.
int HeaderAt(Volume* volume, int64_t start) {
  if (start < 0 || static_cast<int64_t>(volume->partitionStart) + start + kHfsVolumeInfoSector > INT32_MAX) return 0;
  uint8_t sector[kSectorBytes];
  return ReadSectors(volume, static_cast<int32_t>(start + kHfsVolumeInfoSector), 1, sector) && IsHfsPlusHeader(sector);
}

}  // namespace

int IsHfsPlusHeader(const uint8_t* header) {
  const uint16_t version = ReadBE16(header + kVersionOffset);
  return (header[0] == 'H' && header[1] == '+' && version == 4) || (header[0] == 'H' && header[1] == 'X' && version == 5);
}

int EnterHfsWrapper(Volume* volume, const uint8_t* mdb) {
  if (mdb[kEmbeddedSignatureOffset] != 'H' || mdb[kEmbeddedSignatureOffset + 1] != '+') return 0;
  const uint32_t blockBytes = ReadBE32(mdb + kWrapperBlockBytesOffset);
  const uint32_t startBlock = ReadBE16(mdb + kEmbeddedExtentOffset);
  const uint32_t blockCount = ReadBE16(mdb + kEmbeddedExtentOffset + 2);
  if (blockBytes == 0 || blockBytes % kSectorBytes != 0 || blockCount == 0) return 0;
  const int64_t start = ReadBE16(mdb + kWrapperFirstBlockOffset) + static_cast<int64_t>(startBlock) * (blockBytes / kSectorBytes);
  if (!HeaderAt(volume, start)) return 0;
  volume->partitionStart += static_cast<int32_t>(start);
  return 1;
}

int HoldsHfsPlus(Volume* volume, uint32_t start) {
  return HeaderAt(volume, static_cast<int64_t>(start) - volume->partitionStart);
}

int ReadHfsPlusVolumeInfo(Volume* volume, HfsVolumeInfo* info) {
  memset(info, 0, sizeof *info);
  uint8_t header[kSectorBytes];
  if (!ReadSectors(volume, kHfsVolumeInfoSector, 1, header) || !IsHfsPlusHeader(header)) return 0;
  info->plus = true;
  info->blockBytes = ReadBE32(header + kBlockBytesOffset);
  if (info->blockBytes < kSectorBytes || (info->blockBytes & (info->blockBytes - 1)) != 0) return 0;
  info->firstBlockSector = 0;
  ReadSpecialFile(header, kExtentsForkOffset, &info->extentsFile);
  ReadSpecialFile(header, kCatalogForkOffset, &info->catalogFile);
  ReadSpecialFile(header, kAttributesForkOffset, &info->attributesFile);
  return 1;
}
