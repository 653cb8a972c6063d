// Windows NT floppy drives through the raw drive devices. Every transfer ends
// with dismount and unlock, so that the platform's file system does not keep a
// stale view of a disk read or written below it.
#include "floppy_nt.h"

#include <cstring>

#include "device_backends.h"
#include "device_platform.h"
#include "volume.h"

NtFloppyDrive ntFloppyDrives[2];

namespace {

enum {
  kAttempts = 3,
  kMaxSectors = INT32_MAX / kSectorBytes,
};

// A control call without data; true when it succeeded.
bool Control(HANDLE device, DWORD code, void* out = nullptr, DWORD outBytes = 0) {
  DWORD returned = 0;
  return devicePlatform.DeviceIoControl(device, code, nullptr, 0, out, outBytes, &returned, nullptr) != 0;
}

// Opens the drive's device at its first use, with critical-error boxes
// suppressed (no disk is no reason to ask the user), then takes the lock and
// reads the geometry. The lock is asked for once: when it fails, that
// transfer fails and later ones go on without it. The geometry is read
// before every transfer that follows a dismount (and until it can be read),
// since the disk may have been changed in between.
bool PrepareDrive(NtFloppyDrive& drive, int unit) {
  if (drive.geometryRead) return true;
  const UINT previousMode = devicePlatform.SetErrorMode(SEM_FAILCRITICALERRORS);
  if (!drive.device) {
    char path[] = "\\\\.\\A:";
    path[4] = static_cast<char>('A' + unit);
    HANDLE device =
        devicePlatform.CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device != INVALID_HANDLE_VALUE) drive.device = device;
  }
  bool ready = drive.device != nullptr;
  if (ready && !drive.lockTried) {
    drive.lockTried = 1;
    drive.locked = Control(drive.device, FSCTL_LOCK_VOLUME);
    ready = drive.locked != 0;
  }
  if (ready) {
    drive.geometryRead = Control(drive.device, IOCTL_DISK_GET_DRIVE_GEOMETRY, &drive.geometry, sizeof drive.geometry);
  }
  devicePlatform.SetErrorMode(previousMode);
  return drive.geometryRead != 0;
}

bool PositionDevice(HANDLE device, uint64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = devicePlatform.SetFilePointer(device, static_cast<LONG>(static_cast<uint32_t>(offset)), &high,
                                                  FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

// One attempt at the transfer through the page buffer; true when every byte moved.
bool MoveSectors(Volume* volume, HANDLE device, int64_t sector, uint8_t* page, DWORD bytes, uintptr_t write) {
  if (sector < 0 || !PositionDevice(device, static_cast<uint64_t>(sector) * kSectorBytes)) return false;
  const UINT previousMode = devicePlatform.SetErrorMode(SEM_FAILCRITICALERRORS);
  DWORD moved = 0;
  BOOL done;
  if (write) {
    memcpy(page, volume->buffer, bytes);
    done = devicePlatform.WriteFile(device, page, bytes, &moved, nullptr);
  } else {
    done = devicePlatform.ReadFile(device, page, bytes, &moved, nullptr);
    memcpy(volume->buffer, page, bytes);
  }
  devicePlatform.SetErrorMode(previousMode);
  // A short transfer (the end of the disk) is a failure, not a success with zeros.
  return done && moved == bytes;
}

}  // namespace

int FloppyTransferNT(Volume* volume, uintptr_t write) {
  const int32_t count = volume->sectorCount;
  volume->sectorCount = 0;
  if (count <= 0 || count > kMaxSectors || volume->unit < 0 || volume->unit > 1) return 0;
  NtFloppyDrive& drive = ntFloppyDrives[volume->unit];
  const DWORD bytes = static_cast<DWORD>(count) * kSectorBytes;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (!PrepareDrive(drive, volume->unit)) return 0;
    uint8_t* page = static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!page) return 0;
    const bool disk720 = drive.geometry.MediaType == F3_720_512;
    volume->sizeKB = disk720 ? 720 : 1440;
    const int64_t sectorsPerTrack = disk720 ? 9 : 18;
    const int64_t sector = static_cast<int64_t>(volume->partitionStart) +
                           (static_cast<int64_t>(volume->track) * 2 + volume->head) * sectorsPerTrack +
                           volume->startSector;
    const bool moved = MoveSectors(volume, drive.device, sector, page, bytes, write);
    VirtualFree(page, 0, MEM_RELEASE);
    Control(drive.device, FSCTL_DISMOUNT_VOLUME);
    Control(drive.device, FSCTL_UNLOCK_VOLUME);
    drive.geometryRead = 0;
    if (moved) return 1;
  }
  return 0;
}
