#include "fake_floppy_drive.h"

#include <cstring>

#include "device_platform.h"
#include "floppy_nt.h"

FakeFloppyDrive fakeFloppy;

namespace {

const char kDrivePath[] = "\\\\.\\A:";
const DWORD kBytesOf720K = 737280;
DevicePlatform platform;  // the calls the drive stands in for

bool IsDrive(HANDLE handle) { return fakeFloppy.device && handle == fakeFloppy.device; }

HANDLE WINAPI OpenDrive(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                        DWORD attributes, HANDLE templateFile) {
  if (strcmp(path, kDrivePath) != 0) {
    return platform.CreateFileA(path, access, share, security, disposition, attributes, templateFile);
  }
  // Shared, so that a test can read the disk while the program holds the drive.
  HANDLE file = platform.CreateFileA(fakeFloppy.backingPath, GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) fakeFloppy.device = file;
  return file;
}

BOOL WINAPI ControlDrive(HANDLE device, DWORD code, LPVOID in, DWORD inBytes, LPVOID out, DWORD outBytes,
                         LPDWORD returned, LPOVERLAPPED overlapped) {
  if (!IsDrive(device)) return platform.DeviceIoControl(device, code, in, inBytes, out, outBytes, returned, overlapped);
  *returned = 0;
  if (code != IOCTL_DISK_GET_DRIVE_GEOMETRY) return TRUE;  // lock, dismount, unlock
  if (outBytes < sizeof(DISK_GEOMETRY)) return FALSE;
  const bool disk720 = GetFileSize(device, nullptr) == kBytesOf720K;
  DISK_GEOMETRY geometry = {};
  geometry.Cylinders.QuadPart = 80;
  geometry.MediaType = disk720 ? F3_720_512 : F3_1Pt44_512;
  geometry.TracksPerCylinder = 2;
  geometry.SectorsPerTrack = disk720 ? 9 : 18;
  geometry.BytesPerSector = 512;
  memcpy(out, &geometry, sizeof geometry);
  *returned = sizeof geometry;
  return TRUE;
}

// Whether bytes from the drive's position on reach the bad sector.
bool TouchesBadSector(HANDLE device, DWORD bytes) {
  if (fakeFloppy.badSector < 0 || bytes == 0) return false;
  LONG high = 0;
  const DWORD low = SetFilePointer(device, 0, &high, FILE_CURRENT);
  const int64_t first = (static_cast<int64_t>(high) << 32 | low) / 512;
  const int64_t last = ((static_cast<int64_t>(high) << 32 | low) + bytes - 1) / 512;
  return first <= fakeFloppy.badSector && fakeFloppy.badSector <= last;
}

BOOL WINAPI ReadDrive(HANDLE device, LPVOID memory, DWORD bytes, LPDWORD done, LPOVERLAPPED overlapped) {
  if (!IsDrive(device)) return platform.ReadFile(device, memory, bytes, done, overlapped);
  InterlockedIncrement(&fakeFloppy.reads);
  if (fakeFloppy.delayMs) Sleep(fakeFloppy.delayMs);
  *done = 0;
  if (TouchesBadSector(device, bytes)) {
    SetLastError(ERROR_CRC);
    return FALSE;
  }
  return platform.ReadFile(device, memory, bytes, done, overlapped);
}

BOOL WINAPI WriteDrive(HANDLE device, LPCVOID memory, DWORD bytes, LPDWORD done, LPOVERLAPPED overlapped) {
  if (!IsDrive(device)) return platform.WriteFile(device, memory, bytes, done, overlapped);
  InterlockedIncrement(&fakeFloppy.writes);
  if (fakeFloppy.delayMs) Sleep(fakeFloppy.delayMs);
  *done = 0;
  if (TouchesBadSector(device, bytes)) {
    SetLastError(ERROR_CRC);
    return FALSE;
  }
  return platform.WriteFile(device, memory, bytes, done, overlapped);
}

BOOL WINAPI CloseDrive(HANDLE handle) {
  if (IsDrive(handle)) fakeFloppy.device = nullptr;
  return platform.CloseHandle(handle);
}

// The NT back-end keeps the drive open for the whole run.
void ForgetDriveA() {
  if (ntFloppyDrives[0].device) CloseDrive(ntFloppyDrives[0].device);
  memset(&ntFloppyDrives[0], 0, sizeof ntFloppyDrives[0]);
}

}  // namespace

int InstallFakeFloppyDrive(const char* backingPath, int64_t badSector) {
  if (strlen(backingPath) >= sizeof fakeFloppy.backingPath) return 0;
  RemoveFakeFloppyDrive();
  platform = devicePlatform;
  ForgetDriveA();
  strcpy(fakeFloppy.backingPath, backingPath);
  fakeFloppy.badSector = badSector;
  fakeFloppy.reads = 0;
  fakeFloppy.writes = 0;
  fakeFloppy.delayMs = 0;
  devicePlatform.CreateFileA = OpenDrive;
  devicePlatform.DeviceIoControl = ControlDrive;
  devicePlatform.ReadFile = ReadDrive;
  devicePlatform.WriteFile = WriteDrive;
  devicePlatform.CloseHandle = CloseDrive;
  return 1;
}

void RemoveFakeFloppyDrive() {
  if (!platform.CreateFileA) return;
  ForgetDriveA();
  devicePlatform.CreateFileA = platform.CreateFileA;
  devicePlatform.DeviceIoControl = platform.DeviceIoControl;
  devicePlatform.ReadFile = platform.ReadFile;
  devicePlatform.WriteFile = platform.WriteFile;
  devicePlatform.CloseHandle = platform.CloseHandle;
  platform = DevicePlatform{};
}
