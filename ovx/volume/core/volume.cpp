#include "volume.h"

#include <cstring>

#include "block_cache.h"
#include "byte_order.h"
#include "device_backends.h"
#include "fat_volume.h"
#include "format_detect.h"
#include "image_transfer.h"
#include "sector_transfer.h"

namespace {

enum {
  kInquiryBytes = 32,
  kDeviceNameOffset = 8,  // vendor and product identification
  kDeviceNameBytes = 24,
  kCapacityBytes = 8,
};

// Releases the record and everything it owns, whatever its kind.
void ReleaseVolume(Volume* volume) {
  if (volume->kind == KindImageFile && volume->file && volume->file != INVALID_HANDLE_VALUE) {
    CloseHandle(volume->file);
  }
  ReleaseBlockCache(volume);
  if (volume->catalog) HeapFree(GetProcessHeap(), 0, volume->catalog);
  if (volume->catalogIndex) HeapFree(GetProcessHeap(), 0, volume->catalogIndex);
  ReleaseFatListingMemo(volume);
  HeapFree(GetProcessHeap(), 0, volume);
}

// Frees the half-made record but keeps the reason for the caller.
Volume* Fail(Volume* volume, DWORD error) {
  ReleaseVolume(volume);
  SetLastError(error);
  return nullptr;
}

bool OpenScsiDevice(Volume* volume, uintptr_t source) {
  // ASPI numbers host adapters with one byte; the drive list may pass any of them.
  volume->hostAdapter = static_cast<int32_t>((source >> 4) & 0xFF);
  volume->unit = static_cast<int32_t>(source & 7);
  if (aspiAdapterCount == 0) return false;
  uint8_t inquiry[kInquiryBytes];
  if (!deviceBackends.AspiInquiry(volume->hostAdapter, volume->unit, inquiry, sizeof inquiry)) return false;
  // As stored, trailing blanks kept.
  memcpy(volume->deviceName, inquiry + kDeviceNameOffset, kDeviceNameBytes);
  volume->deviceName[kDeviceNameBytes] = '\0';
  uint8_t capacity[kCapacityBytes];
  if (deviceBackends.AspiReadCapacity(volume->hostAdapter, volume->unit, capacity, sizeof capacity)) {
    const uint32_t lastBlock = ReadBE32(capacity);
    const uint32_t blockLength = ReadBE32(capacity + 4);
    // The last block itself is not counted. 64-bit, so that a size beyond
    // what sizeKB holds is seen rather than wrapped.
    const uint64_t kilobytes = static_cast<uint64_t>(blockLength / kSectorBytes) * lastBlock / 2;
    if (ScsiBlockLengthUsable(blockLength) && kilobytes <= INT32_MAX) {
      volume->sectorSize = blockLength;
      volume->sizeKB = static_cast<int32_t>(kilobytes);
    } else {
      // Blocks that do not hold whole sectors, or a size that cannot be told:
      // the device is listed by name, but every transfer on it fails.
      volume->sectorSize = 0;
      volume->sizeKB = 0;
    }
  }
  return true;
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
  // Only the size tells: 84 bytes front a Disk Copy 4.2 image of a Macintosh
  // disk, 16 bytes an ATR image of an Atari 8-bit disk. The header is never read.
  switch (size % 256) {
    case 84: volume->headerLength = 84; break;
    case 16: volume->headerLength = 16; break;
    default: volume->headerLength = 0; break;
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

uint64_t MediumBytes(const Volume* volume) {
  return volume->sizeKB > 0 ? static_cast<uint64_t>(volume->sizeKB) * 1024 : UINT64_MAX;
}
