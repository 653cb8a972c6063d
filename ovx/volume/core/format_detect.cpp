#include "format_detect.h"

#include "atari_directory.h"
#include "byte_order.h"
#include "floppy_geometry.h"
#include "hfsplus_volume.h"
#include "partition_map.h"
#include "sector_transfer.h"

namespace {

// Where the volume information block of HFS and MFS lies in the window: byte 0
// of its third sector.
const unsigned kVolumeInfo = 1024;
// FAT floors the cluster count for 12-bit entries below this.
const uint64_t kMinFat16Clusters = 4085;

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

bool IsFloppy9x(const Volume* volume) { return volume->kind == KindFloppy && !volume->isNT; }

// The tests that decide a format from one window; FormatNone with *decided
// false when none applies.
VolumeFormat TestWindow(Volume* volume, const uint8_t* w, bool* decided) {
  *decided = true;
  if (IsHfsPlusHeader(w + kVolumeInfo)) return FormatHfsPlus;
  // Mac OS 8 and 9 wrote HFS+ inside an HFS volume that says where it lies.
  if (w[kVolumeInfo] == 0x42 && w[kVolumeInfo + 1] == 0x44) {
    return EnterHfsWrapper(volume, w + kVolumeInfo) ? FormatHfsPlus : FormatHfs;
  }
  if (w[kVolumeInfo] == 0xD2 && w[kVolumeInfo + 1] == 0xD7) {
    if (IsFloppy9x(volume)) volume->sizeKB = MfsFloppySizeKB(w + kVolumeInfo);
    return FormatMfs;
  }
  if (w[0] == 0x00 && w[1] == 0x03) return FormatAtariDos;
  if (w[0] == 0x4D && w[1] == 0x03) return FormatMyDos;
  if (w[21] == 0xF8 && w[11] == 0 && w[16] == 2) {
    // Fixed disk: the 16-bit total sector count, or the 32-bit one when that is 0.
    uint32_t total = ReadLE16(w + 19);
    if (total == 0) total = ReadLE32(w + 32);
    volume->sizeKB = static_cast<int32_t>(total / 2);
    return FixedDiskFatFormat(w, volume->sizeKB);
  }
  if (w[33] == 0xF9 && w[23] == 0 && w[24] == 2 && w[28] == 2) {
    // A floppy boot sector 12 bytes into the sector, behind a short header.
    volume->headerLength = 12;
    volume->sizeKB = w[38] * w[36] * 40;
    return FormatFat12;
  }
  if ((w[0] == 0xE9 || w[0] == 0xEB || w[0] == 0x00 || w[21] == 0xF9) && w[11] == 0 && w[12] == 2 &&
      w[16] == 2) {
    // Floppy with 512-byte sectors and two FATs; only the BIOS path cannot ask
    // the drive for the disk's size, so it takes it from the boot sector.
    if (IsFloppy9x(volume)) volume->sizeKB = w[26] * w[24] * 40;
    return FormatFat12;
  }
  *decided = false;
  return FormatNone;
}

VolumeFormat NothingFound(Volume* volume) {
  // An unrecognised volume is used raw (disk imaging), from its very start.
  volume->partitionStart = 0;
  // Some tools leave a DOS 2 disk's boot sectors blank, without a signature.
  // Its VTOC and directory are tried only once every signature has failed,
  // and only in image files, so that devices are read as before.
  if (volume->kind == KindImageFile && IsDos2Disk(volume)) return FormatAtariDos;
  return FormatNone;
}

}  // namespace

VolumeFormat FixedDiskFatFormat(const uint8_t* boot, int32_t sizeKB) {
  const uint32_t bytesPerSector = ReadLE16(boot + 11);
  const uint32_t sectorsPerCluster = boot[13];
  uint32_t reservedSectors = ReadLE16(boot + 14);
  const uint32_t fatCount = boot[16];
  const uint32_t rootEntries = ReadLE16(boot + 17);
  uint32_t totalSectors = ReadLE16(boot + 19);
  if (totalSectors == 0) totalSectors = ReadLE32(boot + 32);
  const uint32_t sectorsPerFat = ReadLE16(boot + 22);
  if (reservedSectors == 0) reservedSectors = 1;  // readers take one reserved sector then

  const bool consistent = IsPowerOfTwo(bytesPerSector) && bytesPerSector >= 128 && bytesPerSector <= 4096 &&
                          IsPowerOfTwo(sectorsPerCluster) && sectorsPerFat != 0 && fatCount != 0 &&
                          totalSectors != 0;
  if (consistent) {
    const uint64_t rootSectors = (static_cast<uint64_t>(rootEntries) * 32 + bytesPerSector - 1) / bytesPerSector;
    const uint64_t overhead = reservedSectors + static_cast<uint64_t>(fatCount) * sectorsPerFat + rootSectors;
    if (totalSectors > overhead) {
      const uint64_t clusters = (totalSectors - overhead) / sectorsPerCluster;
      return clusters < kMinFat16Clusters ? FormatFat12 : FormatFat16;
    }
  }
  return sizeKB <= 720 ? FormatFat12 : FormatFat16;
}

VolumeFormat DetectFormat(Volume* volume) {
  if (!volume || volume->kind == KindLogicalDrive || volume->kind == 0) return FormatNone;
  uint8_t window[kDetectWindowSectors * kSectorBytes];
  for (int moves = 0;; ++moves) {
    if (!ReadSectors(volume, 0, kDetectWindowSectors, window)) return NothingFound(volume);
    int64_t next;
    if (IsDriverDescriptorMap(window)) {
      next = static_cast<int64_t>(volume->partitionStart) + 1;
    } else if (IsPartitionMapEntry(window)) {
      // An Apple_HFSX partition is taken only for the HFS+ volume it is made for.
      const bool take = IsAppleHfsEntry(window) ||
                        (IsAppleHfsxEntry(window) && HoldsHfsPlus(volume, PartitionEntryStart(window)));
      next = take ? PartitionEntryStart(window) : static_cast<int64_t>(volume->partitionStart) + 1;
    } else {
      bool decided;
      VolumeFormat format = TestWindow(volume, window, &decided);
      if (decided) return format;
      next = static_cast<int64_t>(volume->partitionStart) + 1;
      if (next >= kDetectMaxMoves) return NothingFound(volume);
    }
    // A map entry pointing back into the map, or an endless run of map
    // blocks, must not keep detection going.
    if (moves + 1 >= kDetectMaxMoves || next > INT32_MAX) return NothingFound(volume);
    volume->partitionStart = static_cast<int32_t>(next);
  }
}
