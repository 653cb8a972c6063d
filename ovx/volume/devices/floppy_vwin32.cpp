// Windows 9x floppy drives through the VWIN32 device's BIOS disk service
// (INT 13h), which reads any format the PC's controller can handle.
#include <cstring>

#include "device_backends.h"
#include "device_platform.h"
#include "volume.h"

namespace {

// The platform's register record of VWIN32's control calls.
struct DIOC_REGISTERS {
  DWORD reg_EBX;
  DWORD reg_EDX;
  DWORD reg_ECX;
  DWORD reg_EAX;
  DWORD reg_EDI;
  DWORD reg_ESI;
  DWORD reg_Flags;
};
static_assert(sizeof(DIOC_REGISTERS) == 28, "DIOC_REGISTERS is seven 32-bit registers");

enum {
  VWIN32_DIOC_DOS_INT13 = 4,
  kBiosRead = 0x0200,   // AH = 2
  kBiosWrite = 0x0300,  // AH = 3
  kAttempts = 3,
};

}  // namespace

int FloppyTransferVwin32(Volume* volume, uintptr_t write) {
  if (volume->isNT) return FloppyTransferNT(volume, write);
  const int32_t count = volume->sectorCount;
  volume->sectorCount = 0;
  // AL holds the count, CL the sector number (1 to 63) and two cylinder bits,
  // CH the rest of a cylinder below 1,024, DH the side: a request they cannot
  // carry would spill into the function number or reach another sector.
  const int64_t sector = static_cast<int64_t>(volume->partitionStart) + volume->startSector + 1;
  if (count <= 0 || count > 0xFF || sector < 1 || sector > 0x3F || volume->track < 0 || volume->track > 0x3FF ||
      volume->head < 0 || volume->head > 0xFF) {
    return 0;
  }
  const DWORD track = static_cast<DWORD>(volume->track);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    HANDLE device = devicePlatform.CreateFileA("\\\\.\\VWIN32", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                               OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) continue;
    DIOC_REGISTERS registers;
    memset(&registers, 0, sizeof registers);
    registers.reg_EBX = static_cast<DWORD>(reinterpret_cast<uintptr_t>(volume->buffer));
    registers.reg_EDX = static_cast<DWORD>(volume->head) << 8 | static_cast<DWORD>(volume->unit);
    registers.reg_ECX = (static_cast<DWORD>(sector) & 0x3F) | ((track >> 2) & 0xC0) | track << 8;
    registers.reg_EAX = (write ? kBiosWrite : kBiosRead) | static_cast<DWORD>(count);
    DWORD returned = 0;
    const BOOL called = devicePlatform.DeviceIoControl(device, VWIN32_DIOC_DOS_INT13, &registers, sizeof registers,
                                                       &registers, sizeof registers, &returned, nullptr);
    devicePlatform.CloseHandle(device);
    if (called && BiosTransferComplete(registers.reg_EAX, registers.reg_Flags, count)) return 1;
  }
  return 0;
}
