#include "volume.h"

#include <cstring>

#include "block_cache.h"
#include "byte_order.h"
#include "device_backends.h"
#include "fat_volume.h"
#include "format_detect.h"
#include "hfs_catalog.h"
#include "hfsplus_catalog.h"
#include "image_transfer.h"
#include "sector_transfer.h"

namespace {

enum {
  kInquiryBytes = 32,
  kDeviceNameOffset = 8,  // vendor and product identification
  kDeviceNameBytes = 24,
  kCapacityBytes = 8,
  kDiskCopyHeaderBytes = 84,
  kAtrHeaderBytes = 16,
};

// Releases the record and everything it owns, whatever its kind.
void ReleaseVolume(Volume* volume) {
  if (volume->kind == KindImageFile && volume->file && volume->file != INVALID_HANDLE_VALUE) {
    CloseHandle(volume->file);
  }
  ReleaseBlockCache(volume);
  if (volume->catalog) HeapFree(GetProcessHeap(), 0, volume->catalog);
  ReleaseHfsCatalog(volume);
  ReleaseFatListingMemo(volume);
  ReleaseHfsFileTable(volume);
  ReleaseHfsPlusState(volume);
  HeapFree(GetProcessHeap(), 0, volume);
}

// Frees the half-made record but keeps the reason for the caller.
Volume* Fail(Volume* volume, DWORD error) {
  ReleaseVolume(volume);
  SetLastError(error);
  return nullptr;
}

bool OpenScsiDevice(Volume* volume, uintptr_t source) {
  // Host adapters are numbered with one byte; the drive list may pass any of them.
  volume->hostAdapter = static_cast<int32_t>((source >> 4) & 0xFF);
  volume->unit = static_cast<int32_t>(source & kMaxScsiTarget);
  volume->lun = static_cast<int32_t>((source >> 12) & kMaxScsiLun);
  if (scsiAdapterCount == 0) return false;
  uint8_t inquiry[kInquiryBytes];
  if (!deviceBackends.ScsiInquiry(VolumeScsiUnit(volume), inquiry, sizeof inquiry)) return false;
  // As stored, trailing blanks kept.
  memcpy(volume->deviceName, inquiry + kDeviceNameOffset, kDeviceNameBytes);
  volume->deviceName[kDeviceNameBytes] = '\0';
  uint32_t lastBlock, blockLength;
  if (ReadScsiCapacity(volume, &lastBlock, &blockLength)) {
    int32_t kilobytes;
    if (ScsiKilobytes(lastBlock, blockLength, &kilobytes)) {
      volume->sectorSize = blockLength;
      volume->sizeKB = kilobytes;
    } else {
      // Blocks that do not hold whole sectors, or a size that cannot be told:
      // the device is listed by name, but every transfer on it fails.
      volume->sectorSize = 0;
      volume->sizeKB = 0;
    }
  }
  return true;
}

// A double-density ATR image keeps its three boot sectors at 128 bytes, so
// that 144 bytes are left over 256: its header says so, with the image's
// length in 16-byte paragraphs and the sector size.
bool IsAtrImage(HANDLE file, uint64_t size) {
  uint8_t header[kAtrHeaderBytes];
  if (ReadImageBytes(file, 0, header, sizeof header) != sizeof header) return false;
  const uint64_t paragraphs = ReadLE16(header + 2) | static_cast<uint32_t>(header[6]) << 16;
  const uint32_t sectorBytes = ReadLE16(header + 4);
  return header[0] == 0x96 && header[1] == 0x02 && kAtrHeaderBytes + paragraphs * 16 == size &&
         (sectorBytes == 128 || sectorBytes == 256);
}

// A Disk Copy 4.2 image whose tag data (12 bytes a sector) follow its
// sectors, so that its size leaves other than 84 over 256 (a 400 KB disk:
// 419,284 bytes). Taken only when the header's own fields agree with one
// another and with the file's length; sets *diskBytes to the sectors' bytes.
bool IsTaggedDiskCopyImage(HANDLE file, uint64_t size, uint32_t* diskBytes) {
  static const uint32_t kDiskBytesByFormat[] = {400 * 1024, 800 * 1024, 720 * 1024, 1440 * 1024};
  uint8_t header[kDiskCopyHeaderBytes];
  if (ReadImageBytes(file, 0, header, sizeof header) != sizeof header) return false;
  const uint32_t dataBytes = ReadBE32(header + 64);
  const uint32_t tagBytes = ReadBE32(header + 68);
  const uint8_t diskFormat = header[80];
  const uint8_t formatByte = header[81];
  const bool consistent =
      header[0] <= 63 && diskFormat < sizeof kDiskBytesByFormat / sizeof *kDiskBytesByFormat &&
      dataBytes == kDiskBytesByFormat[diskFormat] && (tagBytes == 0 || tagBytes == dataBytes / 512 * 12) &&
      kDiskCopyHeaderBytes + static_cast<uint64_t>(dataBytes) + tagBytes == size &&
      (formatByte == 0x02 || formatByte == 0x12 || formatByte == 0x22 || formatByte == 0x24) &&
      ReadBE16(header + 82) == 0x0100;
  if (consistent) *diskBytes = dataBytes;
  return consistent;
}

// Opens the image file as the flags say. Returns false, with the platform's
// error set, when it cannot be opened.
bool OpenImageFile(Volume* volume, const char* path, int flags) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (strlen(path) > kMaxImagePath) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  strcpy(volume->imagePath, path);
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const DWORD readWrite = GENERIC_READ | GENERIC_WRITE;
  HANDLE file;
  if (flags & OpenCreate) {
    file = CreateFileA(path, readWrite, share, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  } else if (flags & OpenReadOnly) {
    file = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    volume->readOnly = 1;
  } else {
    file = CreateFileA(path, readWrite, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      file = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      volume->readOnly = 1;
    }
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  volume->file = file;
  uint64_t size;
  if (!ImageFileSize(file, &size)) return false;
  const uint64_t kilobytes = size >> 10;
  volume->sizeKB = kilobytes <= INT32_MAX ? static_cast<int32_t>(kilobytes) : INT32_MAX;
  // The size tells first: 84 bytes front a Disk Copy 4.2 image of a
  // Macintosh disk, 16 bytes an ATR image of an Atari 8-bit disk. Only where
  // it tells nothing is a header read, so that every image it recognises
  // opens as it always has.
  uint32_t diskBytes;
  switch (size % 256) {
    case 84: volume->headerLength = kDiskCopyHeaderBytes; break;
    case 16: volume->headerLength = kAtrHeaderBytes; break;
    default:
      if (IsAtrImage(file, size)) {
        volume->headerLength = kAtrHeaderBytes;
      } else if (IsTaggedDiskCopyImage(file, size, &diskBytes)) {
        volume->headerLength = kDiskCopyHeaderBytes;
        volume->sizeKB = static_cast<int32_t>(diskBytes >> 10);
      } else {
        volume->headerLength = 0;
      }
      break;
  }
  return true;
}

}  // namespace

Volume* OpenVolume(VolumeKind kind, uintptr_t source, int flags) {
  Volume* volume = static_cast<Volume*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *volume));
  if (!volume) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  volume->kind = kind;
  volume->sectorSize = kSectorBytes;
  volume->catalog = static_cast<DirEntry*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DirEntry)));
  if (!volume->catalog) return Fail(volume, ERROR_NOT_ENOUGH_MEMORY);

  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version)) volume->isNT = version.dwPlatformId == VER_PLATFORM_WIN32_NT;

  switch (kind) {
    case KindFloppy:
      volume->sizeKB = 1440;
      volume->unit = static_cast<int32_t>(source & 1);
      break;
    case KindScsi:
      if (!OpenScsiDevice(volume, source)) return Fail(volume, ERROR_NOT_READY);
      break;
    case KindImageFile:
      if (!OpenImageFile(volume, reinterpret_cast<const char*>(source), flags)) {
        return Fail(volume, GetLastError());
      }
      break;
    case KindLogicalDrive:
      break;
    default:
      return Fail(volume, ERROR_INVALID_PARAMETER);
  }
  if (flags & OpenReadOnly) volume->readOnly = 1;
  if (flags & OpenCompactCatalog) volume->compactCatalog = 1;
  if (flags & OpenUtf8Names) volume->utf8Names = 1;
  if (!(flags & OpenNoDetect)) volume->format = DetectFormat(volume);
  return volume;
}

int CloseVolume(Volume* volume) {
  if (!volume) return 0;
  switch (volume->kind) {
    case KindFloppy:
    case KindScsi:
    case KindImageFile:
    case KindLogicalDrive:
      ReleaseVolume(volume);
      return 1;
    default:
      return 0;
  }
}

uintptr_t ScsiSource(const ScsiAddress& unit) {
  return static_cast<uintptr_t>(unit.lun) << 12 | static_cast<uintptr_t>(unit.hostAdapter) << 4 |
         static_cast<uintptr_t>(unit.target);
}

ScsiAddress VolumeScsiUnit(const Volume* volume) { return {volume->hostAdapter, volume->unit, volume->lun}; }

int ReadScsiCapacity(const Volume* volume, uint32_t* lastBlock, uint32_t* blockLength) {
  uint8_t capacity[kCapacityBytes];
  if (!deviceBackends.ScsiReadCapacity(VolumeScsiUnit(volume), capacity, sizeof capacity)) return 0;
  *lastBlock = ReadBE32(capacity);
  *blockLength = ReadBE32(capacity + 4);
  return 1;
}

int ScsiKilobytes(uint32_t lastBlock, uint32_t blockLength, int32_t* kilobytes) {
  // The last block itself is not counted. 64-bit, so that a size beyond
  // what sizeKB holds is seen rather than wrapped.
  const uint64_t size = static_cast<uint64_t>(blockLength / kSectorBytes) * lastBlock / 2;
  if (!ScsiBlockLengthUsable(blockLength) || size > INT32_MAX) return 0;
  *kilobytes = static_cast<int32_t>(size);
  return 1;
}

uint64_t MediumBytes(const Volume* volume) {
  return volume->sizeKB > 0 ? static_cast<uint64_t>(volume->sizeKB) * 1024 : UINT64_MAX;
}

uint64_t WholeBlocksWithinMedium(const Volume* volume, uint64_t length, uint32_t blockBytes) {
  if (blockBytes == 0) return 0;
  const uint64_t blocks = (length + blockBytes - 1) / blockBytes * blockBytes;
  const uint64_t medium = MediumBytes(volume);
  const uint64_t mediumSectors = medium == UINT64_MAX ? medium : (medium + kSectorBytes - 1) / kSectorBytes * kSectorBytes;
  return blocks < mediumSectors ? blocks : mediumSectors;
}
