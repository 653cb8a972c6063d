// Back-ends for builds without device access: there is no ASPI layer and no
// raw floppy drive, so SCSI volumes do not open and floppy transfers fail.
// The Win32 back-ends take this file's place in the Windows build.
#include <cstring>

#include "device_backends.h"
#include "volume.h"

int LoadAspi() { return 0; }

int AspiInquiry(int, int, uint8_t* buffer, uint32_t length) {
  if (buffer) memset(buffer, 0, length);
  return 0;
}

int AspiReadCapacity(int, int, uint8_t* buffer, uint32_t length) {
  if (buffer) memset(buffer, 0, length);
  return 0;
}

int AspiRead(int, int, uint32_t, uint32_t, uint8_t*, uint32_t) { return 0; }

int AspiWrite(int, int, uint32_t, uint32_t, const uint8_t*, uint32_t) { return 0; }

int FloppyTransferVwin32(Volume* volume, uintptr_t) {
  if (volume) volume->sectorCount = 0;
  return 0;
}

int FloppyTransferNT(Volume* volume, uintptr_t) {
  if (volume) volume->sectorCount = 0;
  return 0;
}
